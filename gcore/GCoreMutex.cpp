#include "gcore/GCoreMutex.h"

namespace gcore {

Mutex::Mutex() : mMutex(gcore_mutex_create())
{
    if (mMutex && gcore_mutex_init(mMutex, nullptr) != 0) {
        gcore_mutex_destroy(mMutex);
        mMutex = nullptr;
    }
}

Mutex::~Mutex()
{
    // Cleared so that a static Mutex used by another static's destructor after ours degrades to
    // a no-op instead of touching freed memory.
    gcore_mutex_t *inner = mMutex;
    mMutex = nullptr;
    if (inner)
        gcore_mutex_destroy(inner);
}

int Mutex::lock() { return mMutex ? gcore_mutex_lock(mMutex) : 1; }

int Mutex::unlock() { return mMutex ? gcore_mutex_unlock(mMutex) : 1; }

AutoLock::AutoLock(Mutex *mutex) : mMutex(mutex)
{
    if (mMutex)
        mMutex->lock();
}

AutoLock::~AutoLock()
{
    if (mMutex)
        mMutex->unlock();
}

}  // namespace gcore
