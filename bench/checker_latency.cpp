// Wall time from starting ztMediaChecker to its event arriving on /to_wom, against the floor
// program checker_floor doing the least the same job needs, both against one ztMediaDBd
// serving the sample card. Runs alternate so drift on a shared machine hits both alike.
// Counters: checker_us and floor_us (medians), ratio = checker / floor.
//   bin/checker_latency [--card MANIFEST.json] [benchmark flags]
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <limits.h>
#include <mqueue.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "platform/ztmsg.h"

namespace {

constexpr int kRuns = 60;  // pairs of runs; the medians come from these

std::string gBinDir, gCard, gIpcDir;
pid_t gServer = -1;
mqd_t gQueue = (mqd_t)-1;

pid_t spawnQuiet(const std::string &path, std::vector<std::string> args = {})
{
    args.insert(args.begin(), path);
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

bool accepts(const std::string &path)
{
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    if (fd >= 0)
        close(fd);
    return ok;
}

bool startServer()
{
    char dir[] = "/tmp/ztbench-XXXXXX";
    if (!mkdtemp(dir))
        return false;
    gIpcDir = dir;
    setenv("ZT_IPC_DIR", dir, 1);
    gServer = spawnQuiet(gBinDir + "/ztMediaDBd", {"--manifest", gCard});
    std::string sock = gIpcDir + "/rtos_media_db";
    for (int i = 0; i < 1000 && gServer > 0; ++i) {
        if (accepts(sock))
            return true;
        usleep(10000);
    }
    return false;
}

void stopServer()
{
    if (gServer > 0) {
        kill(gServer, SIGTERM);
        waitpid(gServer, nullptr, 0);
    }
    unlink((gIpcDir + "/rtos_media_db").c_str());
    unlink((gIpcDir + "/card_id").c_str());
    rmdir(gIpcDir.c_str());
}

// One run: microseconds from spawning prog to its event leaving the queue, or -1.
double timeOneRun(const std::string &prog)
{
    char buf[ZT_WOM_QUEUE_MSGSIZE];
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = spawnQuiet(prog);
    if (pid < 0)
        return -1;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += 30;
    ssize_t got = mq_timedreceive(gQueue, buf, sizeof buf, nullptr, &deadline);
    auto t1 = std::chrono::steady_clock::now();
    kill(pid, SIGKILL);  // the checker stays resident; the floor may have exited already
    waitpid(pid, nullptr, 0);
    if (got <= 0)
        return -1;
    return std::chrono::duration<double, std::micro>(t1 - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void BM_CheckerVsFloor(benchmark::State &state)
{
    std::vector<double> checker, floor;
    for (auto _ : state) {
        double c = timeOneRun(gBinDir + "/ztMediaChecker");
        double f = timeOneRun(gBinDir + "/checker_floor");
        if (c < 0 || f < 0) {
            state.SkipWithError("a run sent no event");
            return;
        }
        checker.push_back(c);
        floor.push_back(f);
    }
    double mc = median(checker), mf = median(floor);
    state.counters["checker_us"] = mc;
    state.counters["floor_us"] = mf;
    state.counters["ratio"] = mc / mf;
    benchfig::report("checker_exec_to_event_vs_minimal", mc, "us", mf, 1.5);
}
BENCHMARK(BM_CheckerVsFloor)->Iterations(kRuns)->Unit(benchmark::kMillisecond);

std::string exeDir()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string s(path, n > 0 ? size_t(n) : 0);
    return s.substr(0, s.rfind('/'));
}

}  // namespace

int main(int argc, char **argv)
{
    gBinDir = exeDir();
    gCard = gBinDir + "/../../examples/sample-card.json";
    std::vector<char *> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--card") == 0 && i + 1 < argc)
            gCard = argv[++i];
        else
            rest.push_back(argv[i]);
    }
    int restc = int(rest.size());
    benchmark::Initialize(&restc, rest.data());

    // A private /to_wom when allowed; otherwise the shared queue, emptied first.
    if (!(geteuid() == 0 && unshare(CLONE_NEWIPC) == 0))
        mq_unlink(ZT_WOM_QUEUE_NAME);
    gQueue = ztmsg_open_wom_queue(O_RDONLY);
    if (gQueue == (mqd_t)-1 || !startServer()) {
        fprintf(stderr, "checker_latency: cannot set up the queue or ztMediaDBd on %s\n", gCard.c_str());
        stopServer();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopServer();
    mq_close(gQueue);
    return benchfig::finish();
}
