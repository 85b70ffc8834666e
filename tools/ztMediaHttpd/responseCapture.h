// Runs a responder in-process and collects what it prints: standard output (descriptor 1) of the
// worker is a memory file, emptied before each call and read back after it. One call at a time
// (an internal mutex), since the responders print with stdio to the one standard output.
#ifndef ZT_HTTPD_RESPONSE_CAPTURE_H
#define ZT_HTTPD_RESPONSE_CAPTURE_H

#include <functional>
#include <mutex>
#include <string>

class ResponseCapture {
public:
    ResponseCapture() = default;
    ~ResponseCapture();
    ResponseCapture(const ResponseCapture &) = delete;
    ResponseCapture &operator=(const ResponseCapture &) = delete;

    // Points standard output at a fresh memory file; false (with *why) when that fails.
    bool install(std::string *why);
    // Calls `responder` under the lock; *out receives the bytes it printed. False when the
    // memory file could not be reset or read (*out is then empty).
    bool run(const std::function<void()> &responder, std::string *out);

private:
    bool rewind();
    std::mutex mLock;
    int mFd = -1;
};

#endif
