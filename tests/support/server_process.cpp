#include "tests/support/server_process.h"

#include "tests/support/mediadb_wire.h"
#include "tests/support/run_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr int kStartWaitMs = 20000;  // sanitizer builds start slowly on a busy machine

// The server answers with a histogram: a busy one (a card folder not yet indexed) has none.
bool servesCard() { return dbHistogram(0).header.command_type == DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM; }

// Forks and execs ztMediaDBd with `args`, its standard error to `errFd` when that is open.
pid_t spawn(std::vector<std::string> args, int errFd)
{
    args.insert(args.begin(), ztBinPath("ztMediaDBd"));
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (auto &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        // A test that dies without its cleanup must not leave a server holding ctest's pipes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (errFd >= 0)
            dup2(errFd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int exitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// Runs ztMediaDBd with `args` to its end through the shell; `redirect` chooses what *text gets.
int runToEnd(const std::vector<std::string> &args, const char *redirect, std::string *text)
{
    std::string line = ztBinPath("ztMediaDBd"), ignored;
    for (const std::string &a : args)
        line += " '" + a + "'";  // the tests' arguments hold no quote
    return runCommand(line + redirect, text ? text : &ignored);
}

}  // namespace

std::string ztBinPath(const std::string &name)
{
    const char *env = std::getenv("ZT_BIN_DIR");
    return std::string(env && *env ? env : ZT_BIN_DIR) + "/" + name;
}

ServerProcess::ServerProcess(const std::string &manifestJson, std::vector<std::string> extraArgs)
    : mArgs(std::move(extraArgs))
{
    if (!makeDir())
        return;
    mManifest = mDir + "/manifest.json";
    std::ofstream(mManifest, std::ios::binary) << manifestJson;
    start();
}

ServerProcess ServerProcess::fromFile(const std::string &manifestPath, std::vector<std::string> extraArgs)
{
    return ServerProcess(std::move(extraArgs), manifestPath);
}

ServerProcess ServerProcess::fromArgs(std::vector<std::string> args) { return ServerProcess(std::move(args), ""); }

ServerProcess::ServerProcess(std::vector<std::string> args, std::string manifestPath)
    : mManifest(std::move(manifestPath)), mArgs(std::move(args))
{
    if (makeDir())
        start();
}

ServerProcess::ServerProcess(ServerProcess &&o) noexcept
    : mDir(std::move(o.mDir)), mManifest(std::move(o.mManifest)), mArgs(std::move(o.mArgs)),
      mError(std::move(o.mError)), mSavedIpcDir(std::move(o.mSavedIpcDir)), mPid(o.mPid)
{
    o.mPid = -1;
    o.mDir.clear();
}

bool ServerProcess::makeDir()
{
    char tmpl[] = "/tmp/ztmediadb-test-XXXXXX";
    if (!mkdtemp(tmpl)) {
        mError = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    mDir = tmpl;
    if (const char *old = std::getenv("ZT_IPC_DIR"))
        mSavedIpcDir = old;
    setenv("ZT_IPC_DIR", mDir.c_str(), 1);
    return true;
}

bool ServerProcess::start(bool withManifest)
{
    std::vector<std::string> args;
    if (withManifest && !mManifest.empty())
        args = {"--manifest", mManifest};
    args.insert(args.end(), mArgs.begin(), mArgs.end());
    int logFd = open(path("server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    mPid = spawn(args, logFd);
    if (logFd >= 0)
        close(logFd);
    if (mPid < 0) {
        mError = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    for (int waited = 0; waited < kStartWaitMs; waited += 10) {
        int status = 0;
        if (waitpid(mPid, &status, WNOHANG) == mPid) {
            mPid = -1;
            mError = "ztMediaDBd exited with " + std::to_string(exitCode(status)) + ": " + log();
            return false;
        }
        if (servesCard()) {
            mError.clear();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    mError = "ztMediaDBd did not accept connections: " + log();
    return false;
}

ServerProcess::~ServerProcess()
{
    if (mDir.empty())
        return;
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(mDir, ignored);
    if (mSavedIpcDir)
        setenv("ZT_IPC_DIR", mSavedIpcDir->c_str(), 1);
    else
        unsetenv("ZT_IPC_DIR");
}

std::string ServerProcess::log() const
{
    std::ostringstream s;
    s << std::ifstream(path("server.log")).rdbuf();
    return s.str();
}

int ServerProcess::ctl(const std::vector<std::string> &args, std::string *out) const
{
    std::vector<std::string> all = {"ctl"};
    all.insert(all.end(), args.begin(), args.end());
    return runToEnd(all, "", out);
}

uint32_t ServerProcess::version() const
{
    std::string out;
    ctl({"version"}, &out);
    return static_cast<uint32_t>(std::strtoul(out.c_str() + out.find_last_of(' ') + 1, nullptr, 10));
}

int ServerProcess::stop(int sig)
{
    if (mPid <= 0)
        return -1;
    kill(mPid, sig);
    int status = 0;
    while (waitpid(mPid, &status, 0) < 0 && errno == EINTR) {
    }
    mPid = -1;
    return status;
}

bool ServerProcess::restart(bool withManifest)
{
    stop();
    return start(withManifest);
}

int ServerProcess::runToExit(const std::vector<std::string> &args, std::string *err)
{
    return runToEnd(args, " 2>&1 >/dev/null", err);
}
