// Sets or unsets one environment variable for the life of the object and restores it after.
// Not thread-safe (the environment is process-wide): use on the test's main thread.
#ifndef ZT_TEST_SCOPED_ENV_H
#define ZT_TEST_SCOPED_ENV_H

#include <cstdlib>
#include <string>

class ScopedEnv {
public:
    // `value` null unsets the variable.
    ScopedEnv(const char *name, const char *value) : mName(name)
    {
        if (const char *old = std::getenv(name)) {
            mHad = true;
            mOld = old;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (mHad)
            setenv(mName.c_str(), mOld.c_str(), 1);
        else
            unsetenv(mName.c_str());
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string mName;
    std::string mOld;
    bool mHad = false;
};

#endif
