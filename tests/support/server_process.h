// Runs a private ztMediaDBd for one test: its own ZT_IPC_DIR (mkdtemp), a manifest written there,
// the server started and awaited, ZT_IPC_DIR set for this process so in-process client calls reach
// it. The destructor stops the server (SIGTERM), restores ZT_IPC_DIR and removes the directory.
// Not thread-safe: create and destroy it on the test's main thread.
#ifndef ZT_TEST_SERVER_PROCESS_H
#define ZT_TEST_SERVER_PROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ServerProcess {
public:
    // Starts the server on the manifest `manifestJson` with the further arguments `extraArgs`
    // (e.g. {"--state", path}). Check ok() before use.
    explicit ServerProcess(const std::string &manifestJson, std::vector<std::string> extraArgs = {});
    // Starts the server on an existing manifest file.
    static ServerProcess fromFile(const std::string &manifestPath, std::vector<std::string> extraArgs = {});
    // Starts the server with `args` alone, no manifest (e.g. {"--card", dir}).
    static ServerProcess fromArgs(std::vector<std::string> args);
    ~ServerProcess();
    ServerProcess(ServerProcess &&other) noexcept;
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;
    ServerProcess &operator=(ServerProcess &&) = delete;

    bool ok() const { return mPid > 0 && mError.empty(); }
    const std::string &error() const { return mError; }  // why the start failed
    pid_t pid() const { return mPid; }
    std::string path(const std::string &name) const { return mDir + "/" + name; }
    std::string log() const;  // the server's standard error so far

    // Runs `ztMediaDBd ctl ARGS...` against this server; returns its exit status, output in *out.
    int ctl(const std::vector<std::string> &args, std::string *out = nullptr) const;
    // The card's version as `ctl version` reports it (0 when it does not answer).
    uint32_t version() const;
    // Stops the server with SIGTERM (or `sig`) and returns its wait status; idempotent.
    int stop(int sig = 15);
    // Stops and starts it again with the same arguments (the manifest file is kept); without
    // `withManifest` it starts from the further arguments alone (a --state restart).
    bool restart(bool withManifest = true);

    // Runs ztMediaDBd with `args` to its end (for start-up failures); returns the exit status
    // (or 128 + signal) and the standard error text in *err.
    static int runToExit(const std::vector<std::string> &args, std::string *err);

private:
    ServerProcess(std::vector<std::string> args, std::string manifestPath);
    bool makeDir();
    bool start(bool withManifest = true);

    std::string mDir;
    std::string mManifest;
    std::vector<std::string> mArgs;
    std::string mError;
    std::optional<std::string> mSavedIpcDir;
    pid_t mPid = -1;
};

// The path of a built program (ZT_BIN_DIR/name).
std::string ztBinPath(const std::string &name);

#endif
