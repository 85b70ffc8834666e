// Latency of the histogram query against the media database server, and the floor it is held
// to: a bare SOCK_SEQPACKET connect, 12 bytes out, one frame back, close, on the same server in
// the same run. Prints the median of each (one sample per query) and their ratio (target <= 1.5).
//   bench_histogram [--manifest FILE] [google benchmark flags]
// The server is started on examples/sample-card.json in a private ZT_IPC_DIR unless
// ZT_BENCH_PEER=scripted asks for the in-process scripted peer instead (client cost alone).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_figures.h"
#include "libztMediaRTOSDB/client/dbHistogram.h"
#include "platform/ztipc.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/server_process.h"

namespace {

std::map<std::string, double> gMedianUs;

// Times each call of `fn`; reports the median in microseconds and remembers it for the ratio.
template <class Fn>
void timeEach(benchmark::State &state, const char *name, Fn fn)
{
    std::vector<double> samples;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (!fn()) {
            state.SkipWithError("exchange failed");
            return;
        }
        samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    double median = samples[samples.size() / 2];
    state.counters["median_us"] = median;
    gMedianUs[name] = median;
}

bool histogramQuery()
{
    uint32_t version = 0, counters[DB_HISTOGRAM_BUCKETS];
    return dbGetUploadStatusHistogram(0x5A5A, &version, counters) == 0;
}

// The floor: what any client must do for one exchange of these sizes.
bool rawExchange()
{
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::string path = ztIpcChannelPath(RTOS_MEDIA_DB_CHANNEL);
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    db_request_header req = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 0x5A5A};
    uint8_t buf[DB_FRAME_MAX];
    ok = ok && send(fd, &req, sizeof req, MSG_NOSIGNAL) == sizeof req;
    ok = ok && recv(fd, buf, sizeof buf, 0) == static_cast<ssize_t>(sizeof(db_histogram_response));
    if (fd >= 0)
        close(fd);
    return ok;
}

void BM_HistogramQuery(benchmark::State &state) { timeEach(state, "query", histogramQuery); }
void BM_RawSeqpacketFloor(benchmark::State &state) { timeEach(state, "floor", rawExchange); }

// Alternate the two so drift of the machine's load affects both alike.
BENCHMARK(BM_RawSeqpacketFloor)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistogramQuery)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawSeqpacketFloor)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistogramQuery)->Iterations(2000)->Unit(benchmark::kMicrosecond);

std::string takeManifestArg(int *argc, char **argv)
{
    std::string manifest = std::string(ZT_SOURCE_DIR) + "/examples/sample-card.json";
    for (int i = 1; i + 1 < *argc; ++i) {
        if (std::strcmp(argv[i], "--manifest") != 0)
            continue;
        manifest = argv[i + 1];
        for (int j = i; j + 2 <= *argc; ++j)
            argv[j] = argv[j + 2];
        *argc -= 2;
        break;
    }
    return manifest;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string manifest = takeManifestArg(&argc, argv);
    const char *mode = std::getenv("ZT_BENCH_PEER");
    std::unique_ptr<ScriptedPeer> peer;
    std::unique_ptr<ServerProcess> server;
    if (mode && std::strcmp(mode, "scripted") == 0) {
        peer.reset(new ScriptedPeer());
        db_histogram_response r = {};
        r.header = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 0, 1, 1, 0x5A5A};
        Frame answer = frameOf(r);
        peer->setHandler([answer](const PeerRequest &) { return PeerAction::reply(answer); });
        if (!peer->ok()) {
            std::fprintf(stderr, "scripted peer: %s\n", peer->error().c_str());
            return 1;
        }
    } else {
        server.reset(new ServerProcess(ServerProcess::fromFile(manifest)));
        if (!server->ok()) {
            std::fprintf(stderr, "ztMediaDBd: %s\n", server->error().c_str());
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!gMedianUs.count("query") || !gMedianUs.count("floor"))
        return 1;
    benchfig::report("histogram_query_vs_raw_exchange", gMedianUs["query"], "us", gMedianUs["floor"], 1.5);
    return benchfig::finish();
}
