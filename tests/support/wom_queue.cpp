#include "tests/support/wom_queue.h"

#include <fcntl.h>
#include <mqueue.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/ztmsg.h"

bool womIsolateQueue()
{
    if (geteuid() == 0 && unshare(CLONE_NEWIPC) == 0)
        return true;
    mq_unlink(ZT_WOM_QUEUE_NAME);
    return false;
}

Child::Child(const std::string &path, const std::vector<std::string> &args, const std::function<void()> &inChild)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> all = {path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    argv.reserve(all.size() + 1);
    for (std::string &a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    mPid = fork();
    if (mPid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        if (inChild)
            inChild();
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    mOut = fds[0];
    if (mPid < 0) {
        close(mOut);
        mOut = -1;
    }
}

Child::~Child()
{
    if (mPid > 0 && mStatus < 0) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
    if (mOut >= 0)
        close(mOut);
}

const std::string &Child::readUntil(const std::string &needle, int waitMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (mOut >= 0 && (needle.empty() || mText.find(needle) == std::string::npos)) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{mOut, POLLIN, 0};
        int r = poll(&p, 1, int(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        char buf[4096];
        ssize_t n = read(mOut, buf, sizeof buf);
        if (n <= 0) {
            close(mOut);
            mOut = -1;
            break;
        }
        mText.append(buf, size_t(n));
    }
    return mText;
}

int Child::wait()
{
    if (mPid <= 0)
        return -1;
    if (mStatus < 0) {
        readUntil("", INT_MAX);
        int status = 0;
        while (waitpid(mPid, &status, 0) < 0 && errno == EINTR) {
        }
        mStatus = status;
    }
    if (WIFEXITED(mStatus))
        return WEXITSTATUS(mStatus);
    return WIFSIGNALED(mStatus) ? 128 + WTERMSIG(mStatus) : -1;
}

bool Child::alive()
{
    if (mPid <= 0 || mStatus >= 0)
        return false;
    int status = 0;
    if (waitpid(mPid, &status, WNOHANG) == mPid) {
        mStatus = status;
        return false;
    }
    return true;
}

char Child::state() const
{
    std::ifstream in("/proc/" + std::to_string(mPid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return '?';
    size_t paren = line.rfind(')');  // the command name may hold blanks
    return paren != std::string::npos && paren + 2 < line.size() ? line[paren + 2] : '?';
}

std::vector<std::string> Child::openFiles() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &fd : std::filesystem::directory_iterator("/proc/" + std::to_string(mPid) + "/fd", ec))
        names.push_back(std::filesystem::read_symlink(fd.path(), ec).string());
    return names;
}

bool womReceive(int mqd, std::string *msg, int waitMs)
{
    auto at = std::chrono::system_clock::now().time_since_epoch() + std::chrono::milliseconds(waitMs);
    auto secs = std::chrono::duration_cast<std::chrono::seconds>(at);
    timespec deadline{static_cast<time_t>(secs.count()),
                      static_cast<long>(std::chrono::nanoseconds(at - secs).count())};
    char buf[ZT_WOM_QUEUE_MSGSIZE];
    ssize_t n;
    while ((n = mq_timedreceive(mqd, buf, sizeof buf, nullptr, &deadline)) < 0 && errno == EINTR) {
    }
    if (n < 0)
        return false;
    msg->assign(buf, size_t(n));
    return true;
}

bool womSendRaw(const std::string &bytes)
{
    mqd_t q = ztmsg_open_wom_queue(O_WRONLY);
    if (q == (mqd_t)-1)
        return false;
    bool ok = mq_send(q, bytes.data(), bytes.size(), 0) == 0;
    mq_close(q);
    return ok;
}
