// Helpers for tests that use the offload manager's queue "/to_wom": a private queue per test
// process, programs run as children with their standard output captured, and a receiver.
// Single-threaded test code only; a Child kills and reaps its process when destroyed.
#ifndef ZT_TEST_WOM_QUEUE_H
#define ZT_TEST_WOM_QUEUE_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Gives this process (and its future children) a "/to_wom" nobody else sees: a private IPC
// namespace when allowed (root), otherwise the shared queue is removed so no stale message
// survives (the queue tests hold a ctest resource lock). Returns true for a private namespace.
bool womIsolateQueue();

// A program run with its standard output (and error, merged) on a pipe.
class Child {
public:
    // Runs path with args; inChild runs in the child just before exec (e.g. setrlimit).
    Child(const std::string &path, const std::vector<std::string> &args, const std::function<void()> &inChild = {});
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool started() const { return mPid > 0; }
    pid_t pid() const { return mPid; }
    // Reads output until it contains needle, the pipe closes or waitMs pass; returns all read.
    const std::string &readUntil(const std::string &needle, int waitMs = 20000);
    // Reads output to the end and reaps the child; its exit code (128 + signal when killed).
    int wait();
    bool alive();
    // Single-letter state from /proc/PID/stat ('S' sleeping, 'R' running...), '?' if gone.
    char state() const;
    // Names of the descriptors the process holds open (readlink of /proc/PID/fd/*).
    std::vector<std::string> openFiles() const;

private:
    pid_t mPid = -1;
    int mOut = -1;
    int mStatus = -1;
    std::string mText;
};

// Receives one message within waitMs; its bytes, or false on time-out or error.
bool womReceive(int mqd, std::string *msg, int waitMs = 20000);
bool womSendRaw(const std::string &bytes);

#endif
