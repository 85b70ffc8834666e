// See responderPool.h.
#include "responderPool.h"

#include <chrono>

ResponderPool::ResponderPool(size_t maxThreads, size_t maxQueued) : mMaxThreads(maxThreads), mMaxQueued(maxQueued) {}

ResponderPool::~ResponderPool()
{
    {
        std::lock_guard<std::mutex> hold(mLock);
        mStopping = true;
    }
    mWake.notify_all();
    for (std::thread &t : mThreads)
        t.join();
}

bool ResponderPool::submit(std::function<void()> job)
{
    std::lock_guard<std::mutex> hold(mLock);
    if (mJobs.size() >= mMaxQueued)
        return false;
    mJobs.push_back(std::move(job));
    // Each thread that runs no job takes one queued job: start another when they are too few.
    if (mJobs.size() > mThreads.size() - mRunning && mThreads.size() < mMaxThreads)
        mThreads.emplace_back([this] { serve(); });
    else
        mWake.notify_one();
    return true;
}

bool ResponderPool::drain(int ms)
{
    std::unique_lock<std::mutex> hold(mLock);
    return mIdle.wait_for(hold, std::chrono::milliseconds(ms), [this] { return mJobs.empty() && mRunning == 0; });
}

void ResponderPool::serve()
{
    std::unique_lock<std::mutex> hold(mLock);
    for (;;) {
        mWake.wait(hold, [this] { return mStopping || !mJobs.empty(); });
        if (mJobs.empty())
            return;  // stopping
        std::function<void()> job = std::move(mJobs.front());
        mJobs.pop_front();
        ++mRunning;
        hold.unlock();
        job();
        hold.lock();
        --mRunning;
        if (mJobs.empty() && mRunning == 0)
            mIdle.notify_all();
    }
}
