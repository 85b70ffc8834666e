// generateMediaList over a card of 1,000 media in four directories of 250 (videos with
// highlights, photos with flags, bursts with missing and highlighted members) served by a private
// ztMediaDBd: time per response and bytes per second of response produced. Standard output goes
// to /dev/null while the responder runs. (A single directory of 1,000 entries does not fit the
// 64 KiB directory buffer and answers 500.)
//   bench_media_list [google benchmark flags]
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_figures.h"
#include "ztMedia/ztMediaResponders.h"
#include "tests/support/server_process.h"
#include "tests/support/stdout_capture.h"

namespace {

std::string card()
{
    std::string j = R"({"card_id":"BENCH","media":[)";
    for (int i = 0; i < 1000; ++i) {
        char row[400];
        const int dir = 100 + i / 250, n = i % 250 + 1;
        switch (i % 3) {
        case 0:
            std::snprintf(
                row, sizeof row,
                R"({"dir":"%dZTCAM","file":"ZX01%04d.MP4","type":0,"cre":%d,"mod":%d,"size":%d,"flags":2216,"highlight_count":3,"video":{"ls":1,"duration_ms":%d,"highlights":[1000,5000,9000]}})",
                dir, n, 1600000000 + i, 1600000100 + i, 1000000 + i, 30000 + i);
            break;
        case 1:
            std::snprintf(
                row, sizeof row,
                R"({"dir":"%dZTCAM","file":"ZCAM%04d.JPG","type":4,"cre":%d,"mod":%d,"size":%d,"flags":4864})", dir, n,
                1600000000 + i, 1600000100 + i, 4000000 + i);
            break;
        default:
            std::snprintf(
                row, sizeof row,
                R"({"dir":"%dZTCAM","file":"Z%03d0001.JPG","type":5,"cre":%d,"mod":%d,"highlight_count":2,"group":{"group_number":%d,"first":1,"last":30,"missing":[4,7],"highlighted":[2,20]}})",
                dir, n, 1600000000 + i, 1600000100 + i, n);
        }
        j += (i ? "," : "") + std::string(row);
    }
    return j + "]}";
}

// The media list of `server`'s card under `query`, timed per response over wall-clock time and
// reported as the figure `figure` (microseconds per response) beside Google Benchmark's own.
void timeMediaList(benchmark::State &state, ServerProcess &server, const char *query, const std::string &figure)
{
    if (!server.ok()) {
        state.SkipWithError(server.error().c_str());
        return;
    }
    int result = -1;
    const size_t bytes = captureStdout([&] { result = generateMediaList(nullptr, query); }).size();
    if (result != 0) {
        state.SkipWithError("the list did not answer 200");
        return;
    }
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(generateMediaList(nullptr, query));
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(null);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["response_bytes"] = static_cast<double>(bytes);
    benchfig::note(figure + "_us", us / double(state.iterations()), "us");
    benchfig::note(figure + "_bytes_per_s", double(bytes) * double(state.iterations()) / us * 1e6, "B/s");
}

void BM_MediaList(benchmark::State &state, const char *query)
{
    ServerProcess server(card());
    timeMediaList(state, server, query, std::string("media_list_1000_") + (*query ? "five_fields" : "default"));
}

// The sample card's list, the one ztMediaHttpd's load benchmark asks for over HTTP.
void BM_SampleCardList(benchmark::State &state)
{
    ServerProcess server = ServerProcess::fromFile(std::string(ZT_SOURCE_DIR) + "/examples/sample-card.json");
    timeMediaList(state, server, "", "media_list_sample_card_in_process");
}

}  // namespace

// The responder waits on the server, so rates are over wall-clock time. Every member of every
// entry would not fit the 128 KiB media buffer for this card; the second query asks for five.
BENCHMARK_CAPTURE(BM_MediaList, default_fields, "")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_MediaList, five_fields, "f=none&fields=n,cre,s,us,hc")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_SampleCardList)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char **argv) { return benchfig::runRegistered(argc, argv); }
