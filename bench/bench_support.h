// What the benchmarks against the media database server share: a private ztMediaDBd on the sample
// card, the raw SOCK_SEQPACKET exchange that is the floor of every query, and per-call timing
// summed up by medians. Use from the benchmark's main thread.
#ifndef ZT_BENCH_SUPPORT_H
#define ZT_BENCH_SUPPORT_H

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "ztMedia/dbProtocol.h"
#include "platform/ztipc.h"
#include "tests/support/server_process.h"

// ztMediaDBd on examples/sample-card.json, reachable by this process; null (reason printed) when
// it did not start.
inline std::unique_ptr<ServerProcess> startSampleCardServer()
{
    auto server = std::make_unique<ServerProcess>(
        ServerProcess::fromFile(std::string(ZT_SOURCE_DIR) + "/examples/sample-card.json"));
    if (server->ok())
        return server;
    std::fprintf(stderr, "ztMediaDBd: %s\n", server->error().c_str());
    return nullptr;
}

// The least any client does for one exchange: connect, send the request, receive one frame into
// `reply` (DB_FRAME_MAX bytes), close. Returns the reply's length, or -1.
inline int rawSeqpacketExchange(const void *request, size_t length, uint8_t *reply)
{
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    const std::string path = ztIpcChannelPath(RTOS_MEDIA_DB_CHANNEL);
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ok = ok && send(fd, request, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
    const ssize_t got = ok ? recv(fd, reply, DB_FRAME_MAX, 0) : -1;
    if (fd >= 0)
        close(fd);
    return static_cast<int>(got);
}

inline double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// Times each call of `fn` (which returns false on failure) in microseconds; reports the median as
// the counter median_us and returns the samples, none after a failure.
template <class Fn>
std::vector<double> timeEachCall(benchmark::State &state, Fn fn)
{
    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!fn()) {
            state.SkipWithError("exchange failed");
            return {};
        }
        samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    state.counters["median_us"] = median(samples);
    return samples;
}

#endif
