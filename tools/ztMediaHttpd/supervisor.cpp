// See supervisor.h. The first worker resolves --port 0 to a real port; later workers reuse that
// port, so a restart keeps the address. A worker that fails to start is not retried in a loop.
// Between signals the supervisor sends the worker a heartbeat request each second; after
// kMissedBeats unanswered in a row the worker is killed, and so replaced like one that died.
#include "supervisor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "heartbeat.h"

namespace {

const long kMinRestartGapMs = 100;  // a worker dying at once again is restarted no faster
const long kBeatGapMs = 1000;       // one heartbeat a second
const int kBeatTimeoutMs = 1000;    // a heartbeat not answered by then is missed
const int kMissedBeats = 3;         // then the worker is taken as hung

struct Started {
    pid_t pid = -1;
    int port = -1;  // -1: the worker died before listening
};

long nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

// Reads the worker's "PORT\n" line; -1 when the pipe closed without one.
int readPort(int fd)
{
    char text[16] = {};
    size_t used = 0;
    while (used + 1 < sizeof(text)) {
        ssize_t got = read(fd, text + used, sizeof(text) - 1 - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        used += (size_t)got;
        if (memchr(text, '\n', used))
            return atoi(text);
    }
    return -1;
}

Started startWorker(const HttpdOptions &options, const sigset_t &parentMask)
{
    Started s;
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        fprintf(stderr, "ztMediaHttpd: pipe: %s\n", strerror(errno));
        return s;
    }
    fflush(nullptr);
    s.pid = fork();
    if (s.pid == 0) {
        close(ready[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the supervisor
        sigprocmask(SIG_SETMASK, &parentMask, nullptr);
        _exit(runWorker(options, ready[1]));
    }
    close(ready[1]);
    if (s.pid > 0)
        s.port = readPort(ready[0]);
    else
        fprintf(stderr, "ztMediaHttpd: fork: %s\n", strerror(errno));
    close(ready[0]);
    return s;
}

// Waits for a watched signal up to `ms`; 0 on time-out.
int waitSignal(const sigset_t &watched, long ms)
{
    timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    int sig = sigtimedwait(&watched, nullptr, &ts);
    return sig > 0 ? sig : 0;
}

void describeEnd(pid_t pid, int status)
{
    if (WIFSIGNALED(status))
        fprintf(stderr, "ztMediaHttpd: worker %d killed by signal %d, restarting\n", (int)pid, WTERMSIG(status));
    else
        fprintf(stderr, "ztMediaHttpd: worker %d exited with %d, restarting\n", (int)pid, WEXITSTATUS(status));
}

}  // namespace

int superviseWorkers(HttpdOptions options)
{
    sigset_t watched, original;
    sigemptyset(&watched);
    sigaddset(&watched, SIGCHLD);
    sigaddset(&watched, SIGTERM);
    sigaddset(&watched, SIGINT);
    sigprocmask(SIG_BLOCK, &watched, &original);

    Started worker = startWorker(options, original);
    if (worker.port < 0) {
        if (worker.pid > 0)
            waitpid(worker.pid, nullptr, 0);
        return 1;
    }
    options.port = worker.port;
    printf("ztMediaHttpd: listening on http://%s/\n", hostPort(options).c_str());
    fflush(stdout);

    long lastStart = nowMs();
    int missed = 0;
    for (;;) {
        int sig = waitSignal(watched, kBeatGapMs);
        if (sig == 0) {
            missed = workerAnswers(options, kBeatTimeoutMs) ? 0 : missed + 1;
            if (missed == kMissedBeats) {
                fprintf(stderr, "ztMediaHttpd: worker %d does not answer, killing it\n", (int)worker.pid);
                kill(worker.pid, SIGKILL);
            }
            continue;
        }
        if (sig != SIGCHLD) {
            kill(worker.pid, SIGTERM);
            waitpid(worker.pid, nullptr, 0);
            return 0;
        }
        int status = 0;
        if (waitpid(worker.pid, &status, WNOHANG) != worker.pid)
            continue;
        describeEnd(worker.pid, status);
        long gap = nowMs() - lastStart;
        if (gap < kMinRestartGapMs)
            usleep((useconds_t)(kMinRestartGapMs - gap) * 1000);
        lastStart = nowMs();
        missed = 0;
        worker = startWorker(options, original);
        if (worker.port < 0) {
            fprintf(stderr, "ztMediaHttpd: the worker did not come back, stopping\n");
            if (worker.pid > 0)
                waitpid(worker.pid, nullptr, 0);
            return 1;
        }
    }
}
