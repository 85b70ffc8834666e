// Thread, mutex, condition and semaphore wrappers on real threads, and running out of memory.
#include <errno.h>
#include <fcntl.h>
#include <semaphore.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "gcore/GCoreMutex.h"
#include "gcore/gcore_cond.h"
#include "gcore/gcore_mutex.h"
#include "gcore/gcore_sem.h"
#include "gcore/gcore_stopwatch.h"
#include "gcore/gcore_thread.h"
#include "gcore/gcore_time.h"
#include "support/gtl_tracked.h"

namespace {

struct ThreadProbe {
    gcore_thread_handle_t self;
    size_t stackSize = 0;
};

void *probeThread(void *arg)
{
    ThreadProbe *probe = static_cast<ThreadProbe *>(arg);
    gcore_thread_self(&probe->self);
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &probe->stackSize);
        pthread_attr_destroy(&attr);
    }
    gcore_thread_exit(reinterpret_cast<void *>(static_cast<intptr_t>(42)));
    return nullptr;
}

void *postThread(void *arg)
{
    gcore_sem_post(static_cast<gcore_sem_t *>(arg));
    return nullptr;
}

TEST(GcoreThread, CreateStoresValueNameAndJoinsWithResult)
{
    ThreadProbe probe;
    gcore_thread_t *t = gcore_thread_create(nullptr, probeThread, &probe, 0xBEEF, "a-name-longer-than-16", 3);
    ASSERT_NE(t, nullptr);
    void *result = nullptr;
    ASSERT_EQ(gcore_thread_join(&t->handle, &result), 0);
    EXPECT_EQ(reinterpret_cast<intptr_t>(result), 42);
    EXPECT_EQ(std::string(t->name, sizeof t->name), "a-name-longer-th");
    EXPECT_EQ(probe.stackSize, static_cast<size_t>(GCORE_THREAD_STACK_SIZE));
    // The record doubles as a handle pointer.
    EXPECT_EQ(gcore_thread_equal(reinterpret_cast<gcore_thread_handle_t *>(t), &probe.self), 1);
    gcore_thread_handle_t mine;
    ASSERT_EQ(gcore_thread_self_id(&mine), 0);
    EXPECT_EQ(gcore_thread_equal(&mine, &probe.self), 0);
    EXPECT_EQ(gcore_thread_destroy(t), 0);

    // The wrappers' own rule: state 1 is detached, 0 joinable, anything else refused.
    gcore_threadattr_t *attr = gcore_threadattr_create();
    ASSERT_EQ(gcore_threadattr_init(attr), 0);
    EXPECT_EQ(gcore_threadattr_setdetachstate(attr, 2), 1);
    ASSERT_EQ(gcore_threadattr_setdetachstate(attr, 1), 0);
    int state = -1;
    pthread_attr_getdetachstate(attr, &state);
    EXPECT_EQ(state, PTHREAD_CREATE_DETACHED);
    EXPECT_EQ(gcore_threadattr_destroy(attr), 0);
}

int tryFromOtherThread(gcore_mutex_t *m)
{
    int result = -1;
    std::thread([&] {
        result = gcore_mutex_trylock(m);
        if (result == 0)
            gcore_mutex_unlock(m);
    }).join();
    return result;
}

TEST(GcoreMutex, DefaultIsRecursiveAndExcludesOtherThreads)
{
    gcore::Mutex mutex;
    gcore_mutex_t *m = mutex.getInternal();
    ASSERT_NE(m, nullptr);
    {
        gcore::AutoLock outer(&mutex);
        gcore::AutoLock inner(&mutex);  // recursive
        struct timespec past = {1, 0};
        EXPECT_EQ(gcore_mutex_timedlock(m, &past), 0);  // recursion succeeds whatever the deadline
        EXPECT_EQ(gcore_mutex_unlock(m), 0);
        EXPECT_EQ(tryFromOtherThread(m), EBUSY);
    }
    EXPECT_EQ(tryFromOtherThread(m), 0);

    gcore_mutexattr_t *attr = gcore_mutexattr_create();  // given attributes are used
    ASSERT_EQ(gcore_mutexattr_init(attr), 0);
    ASSERT_EQ(pthread_mutexattr_settype(attr, PTHREAD_MUTEX_ERRORCHECK), 0);
    gcore_mutex_t *checked = gcore_mutex_create();
    ASSERT_EQ(gcore_mutex_init(checked, attr), 0);
    ASSERT_EQ(gcore_mutex_lock(checked), 0);
    EXPECT_EQ(gcore_mutex_lock(checked), EDEADLK);
    EXPECT_EQ(gcore_mutex_unlock(checked), 0);
    EXPECT_EQ(gcore_mutex_destroy(checked), 0);
    EXPECT_EQ(gcore_mutexattr_destroy(attr), 0);
}

TEST(GcoreCond, RelativeDeadlineArithmetic)
{
    struct Case {
        long nowSec, nowUsec;
        int32_t ms;
        long sec, nsec;
    };
    const Case cases[] = {
        {100, 600000, 1500, 102, 100000000}, {100, 0, 0, 100, 0},
        {100, 999999, 999, 101, 998999000},  // needs 64 bits before normalising
        {100, 250000, 750, 101, 0},          {0, 0, 2147483647, 2147483, 647000000},
        {100, 0, -1500, 99, -500000000},  // truncation toward zero is kept as is
    };
    for (const Case &c : cases) {
        struct timeval now = {c.nowSec, c.nowUsec};
        struct timespec deadline = {};
        ASSERT_EQ(gcore_cond_deadline(&now, c.ms, &deadline), 0);
        EXPECT_EQ(deadline.tv_sec, c.sec) << c.nowSec << "." << c.nowUsec << " + " << c.ms;
        EXPECT_EQ(deadline.tv_nsec, c.nsec) << c.nowSec << "." << c.nowUsec << " + " << c.ms;
    }
}

TEST(GcoreCond, TimedWaitsReportTimeoutOrWakeup)
{
    gcore_mutex_t *m = gcore_mutex_create();
    gcore_mutex_init(m, nullptr);
    gcore_cond_t *c = gcore_cond_create();
    ASSERT_EQ(gcore_cond_init(c, nullptr), 0);
    gcore_mutex_lock(m);
    struct timespec past = {1, 0}, bad = {1, -5};
    EXPECT_EQ(gcore_cond_timedwait(c, m, &past), 100);
    EXPECT_EQ(gcore_cond_relwait(c, m, 0), GCORE_COND_TIMEDOUT);
    EXPECT_EQ(gcore_cond_timedwait(c, m, &bad), 1);

    bool ready = false;
    std::thread signaller([&] {
        gcore_mutex_lock(m);
        ready = true;
        gcore_cond_signal(c);
        gcore_mutex_unlock(m);
    });
    int rc = 0;
    while (!ready && rc == 0)
        rc = gcore_cond_relwait(c, m, 600000);
    EXPECT_EQ(rc, 0);
    gcore_mutex_unlock(m);
    signaller.join();
    EXPECT_EQ(gcore_cond_destroy(c), 0);
    gcore_mutex_destroy(m);
}

TEST(GcoreSem, UnnamedStartsAtItsValueNamedOpensByFlags)
{
    gcore_sem_t *s = gcore_sem_create(0, 2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(gcore_sem_trywait(s), 0);
    EXPECT_EQ(gcore_sem_trywait(s), 0);
    EXPECT_EQ(gcore_sem_trywait(s), -1);
    EXPECT_EQ(gcore_sem_destroy(s), 0);

    std::string name = "/gcore_test_sem_" + std::to_string(getpid());
    sem_unlink(name.c_str());
    EXPECT_EQ(gcore_sem_open(name.c_str(), 0, 0600, 0), nullptr);  // does not exist yet
    const int exclusive = GCORE_SEM_CREATE | GCORE_SEM_EXCLUSIVE;
    gcore_sem_t *created = gcore_sem_open(name.c_str(), exclusive, 0600, 1);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(gcore_sem_open(name.c_str(), exclusive, 0600, 1), nullptr);
    gcore_sem_t *opened = gcore_sem_open(name.c_str(), 0, 0, 0);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(gcore_sem_post(opened), 0);
    int value = -1;
    EXPECT_EQ(gcore_sem_getvalue(created, &value), 0);
    EXPECT_EQ(value, 2);
    for (gcore_sem_t *sem : {opened, created}) {
        EXPECT_EQ(gcore_sem_close(sem), 0);
        EXPECT_EQ(gcore_sem_destroy(sem), 0);
    }
    sem_unlink(name.c_str());
}

TEST(GcoreWrappers, CreatorsReturnNullWhenMemoryRunsOut)
{
    {
        TrackedAllocator failing(1);
        EXPECT_EQ(gcore_mutex_create(), nullptr);
        EXPECT_EQ(gcore_threadattr_create(), nullptr);
        EXPECT_EQ(gcore_cond_create(), nullptr);
        EXPECT_EQ(gcore_sem_open("/gcore_never_made", 0, 0, 0), nullptr);
        EXPECT_EQ(gcore_stopwatch_create(), nullptr);
        EXPECT_EQ(gcore_thread_create(nullptr, postThread, nullptr, 0, nullptr, 0), nullptr);
        gcore::Mutex silent;  // a Mutex without its inner mutex does nothing
        EXPECT_EQ(silent.lock(), 1);
    }
    TrackedAllocator failing(2);  // the semaphore record comes, its storage does not
    EXPECT_EQ(gcore_sem_create(0, 1), nullptr);
    EXPECT_EQ(trackedBlocks(), 0);
}

}  // namespace
