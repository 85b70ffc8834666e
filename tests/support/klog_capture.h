// Captures kernel-log lines for assertions and sets g_logLevel for the span of a test; both are
// undone by the destructor. Lines are kept whole ("zt[L] FILE:LINE: MESSAGE\n").
// Use on the test's main thread; the sink itself tolerates calls from the peer thread.
#ifndef ZT_TEST_KLOG_CAPTURE_H
#define ZT_TEST_KLOG_CAPTURE_H

#include <mutex>
#include <string>
#include <vector>

class KlogCapture {
public:
    // Starts capturing and sets g_logLevel to `level`.
    explicit KlogCapture(int level = 2);
    ~KlogCapture();
    KlogCapture(const KlogCapture &) = delete;
    KlogCapture &operator=(const KlogCapture &) = delete;

    std::vector<std::string> lines() const;

private:
    static void sink(void *ctx, int level, const char *line);
    mutable std::mutex mMutex;
    std::vector<std::string> mLines;
    int mSavedLevel;
};

#endif
