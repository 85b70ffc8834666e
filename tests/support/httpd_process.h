// Runs a ztMediaHttpd (supervisor and worker) on a free loopback port for a test or a benchmark,
// against the ztMediaDBd that ZT_IPC_DIR names. The destructor stops it (SIGTERM). Not
// thread-safe: create and destroy it on the main thread.
#ifndef ZT_TEST_HTTPD_PROCESS_H
#define ZT_TEST_HTTPD_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

class Httpd {
public:
    explicit Httpd(std::vector<std::string> extra = {});
    ~Httpd();
    Httpd(const Httpd &) = delete;
    Httpd &operator=(const Httpd &) = delete;

    bool ok() const { return mPid > 0 && mPort > 0; }
    pid_t pid() const { return mPid; }
    int port() const { return mPort; }
    // The URL of `path`, quoted for a shell command line.
    std::string url(const std::string &path) const { return "'http://127.0.0.1:" + std::to_string(mPort) + path + "'"; }

private:
    pid_t mPid = -1;
    int mPort = -1;
};

#endif
