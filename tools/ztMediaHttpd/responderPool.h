// The threads that run responders, apart from the engine's event loop: a responder may wait on
// the media database for its whole receive time-out, and only its own request waits with it.
// Threads are started as jobs need them, up to a cap, and then kept; beyond the cap jobs queue.
#ifndef ZT_HTTPD_RESPONDER_POOL_H
#define ZT_HTTPD_RESPONDER_POOL_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ResponderPool {
public:
    explicit ResponderPool(size_t maxThreads, size_t maxQueued);
    ~ResponderPool();  // waits for the running jobs
    ResponderPool(const ResponderPool &) = delete;
    ResponderPool &operator=(const ResponderPool &) = delete;

    // Queues `job`; false when the queue is full (the caller answers 503).
    bool submit(std::function<void()> job);
    // Waits up to `ms` milliseconds for every job to finish; true when none is left.
    bool drain(int ms);

private:
    void serve();

    const size_t mMaxThreads;
    const size_t mMaxQueued;
    std::mutex mLock;
    std::condition_variable mWake;
    std::condition_variable mIdle;
    std::deque<std::function<void()>> mJobs;
    std::vector<std::thread> mThreads;
    size_t mRunning = 0;  // jobs being run
    bool mStopping = false;
};

#endif
