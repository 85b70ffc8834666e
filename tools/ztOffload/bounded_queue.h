// A queue between two threads that holds at most `capacity` units of weight (one item of any
// weight fits into an empty queue), so a fast producer waits for a slow consumer instead of
// piling up work. The consumer takes what is queued (up to a number of items) at once, to handle
// it as one batch.
#ifndef ZT_TOOLS_OFFLOAD_BOUNDED_QUEUE_H
#define ZT_TOOLS_OFFLOAD_BOUNDED_QUEUE_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

template <class T>
class BoundedQueue {
public:
    explicit BoundedQueue(uint64_t capacity) : mCapacity(capacity) {}

    // Waits while the item does not fit.
    void push(T item, uint64_t weight)
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mNotFull.wait(lock, [&] { return mItems.empty() || mLoad + weight <= mCapacity; });
        mItems.emplace_back(std::move(item), weight);
        mLoad += weight;
        mNotEmpty.notify_one();
    }

    // Waits for items and moves up to `most` of them to *out (cleared first); false once the
    // queue is closed and empty.
    bool popSome(size_t most, std::vector<T> *out)
    {
        out->clear();
        std::unique_lock<std::mutex> lock(mMutex);
        mNotEmpty.wait(lock, [&] { return !mItems.empty() || mClosed; });
        while (!mItems.empty() && out->size() < most) {
            out->push_back(std::move(mItems.front().first));
            mLoad -= mItems.front().second;
            mItems.pop_front();
        }
        mNotFull.notify_all();
        return !out->empty();
    }

    // No more pushes: popSome returns what is left, then false.
    void close()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mClosed = true;
        mNotEmpty.notify_all();
    }

private:
    std::mutex mMutex;
    std::condition_variable mNotFull, mNotEmpty;
    std::deque<std::pair<T, uint64_t>> mItems;
    uint64_t mLoad = 0;
    const uint64_t mCapacity;
    bool mClosed = false;
};

#endif
