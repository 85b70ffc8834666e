// gcore::Mutex owns one recursive gcore mutex for its lifetime; gcore::AutoLock holds a Mutex
// for the lifetime of a scope. Both may be used from any thread; a Mutex whose inner mutex could
// not be created (or was already destroyed) silently does nothing.
#ifndef GCORE_GCOREMUTEX_H
#define GCORE_GCOREMUTEX_H

#include "gcore/gcore_mutex.h"

namespace gcore {

class Mutex {
public:
    Mutex();
    virtual ~Mutex();
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;

    // The POSIX result; 1 when there is no inner mutex.
    int lock();
    int unlock();
    gcore_mutex_t *getInternal() { return mMutex; }

private:
    gcore_mutex_t *mMutex;
};

class AutoLock {
public:
    explicit AutoLock(Mutex *mutex);  // locks it unless null
    virtual ~AutoLock();
    AutoLock(const AutoLock &) = delete;
    AutoLock &operator=(const AutoLock &) = delete;

private:
    Mutex *mMutex;
};

}  // namespace gcore

#endif
