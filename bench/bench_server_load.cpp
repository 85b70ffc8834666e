// ztMediaDBd under load: a generated 10,000-entry card, N clients at once each paging through
// the whole candidate list (raw list frames of 15 entries, a connection per page as the client
// library does). Counters: pages_per_s over all clients, page_us (median latency of one page),
// and for N > 1 load_ratio = that median / the median of one client alone (run Arg(1) first).
//   bin/bench_server_load [benchmark flags]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "bench/bench_figures.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kPage = 15;
double gAloneMedianUs = 0;
double gAlonePagesPerS = 0;

ServerProcess &server()
{
    static std::unique_ptr<ServerProcess> s(new ServerProcess(generateCard(10000).json));
    return *s;
}

// One pass through the list; appends each page's latency in microseconds. False on a bad page.
bool pageThrough(std::vector<double> *latencies)
{
    for (uint32_t start = 0, total = 1; start < total;) {
        Clock::time_point t0 = Clock::now();
        ListPage page = dbListPage(start, kPage, DB_LIST_VIDEO_GROUPING, DB_QUERY_CAH_LIST);
        latencies->push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (!page.error.empty() || page.entries.empty())
            return false;
        total = page.header.total_entries;
        start += static_cast<uint32_t>(page.entries.size());
    }
    return true;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

void BM_ClientsPagingTheCard(benchmark::State &state)
{
    if (!server().ok()) {
        state.SkipWithError(("server did not start: " + server().error()).c_str());
        return;
    }
    const int clients = static_cast<int>(state.range(0));
    std::vector<double> all;
    double seconds = 0;
    bool ok = true;
    for (auto _ : state) {
        std::vector<std::vector<double>> latencies(clients);
        std::vector<char> good(clients, 0);
        Clock::time_point t0 = Clock::now();
        std::vector<std::thread> threads;
        threads.reserve(static_cast<size_t>(clients));
        for (int c = 0; c < clients; c++)
            threads.emplace_back([&, c] { good[c] = pageThrough(&latencies[c]); });
        for (std::thread &t : threads)
            t.join();
        double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        for (int c = 0; c < clients; c++) {
            ok = ok && good[c];
            all.insert(all.end(), latencies[c].begin(), latencies[c].end());
        }
    }
    if (!ok)
        state.SkipWithError("a page failed to decode or came back empty");
    double pageUs = median(all);
    if (clients == 1)
        gAloneMedianUs = pageUs;
    state.counters["pages_per_s"] = static_cast<double>(all.size()) / seconds;
    state.counters["page_us"] = pageUs;
    if (clients == 1)
        gAlonePagesPerS = static_cast<double>(all.size()) / seconds;
    if (clients > 1 && gAloneMedianUs > 0) {
        state.counters["load_ratio"] = pageUs / gAloneMedianUs;
        const std::string n = std::to_string(clients);
        benchfig::report("server_pages_per_s_" + n + "_clients_vs_1", static_cast<double>(all.size()) / seconds,
                         "pages/s", gAlonePagesPerS, 1.3, benchfig::Bound::AtLeast);
        benchfig::report("server_page_latency_" + n + "_clients_vs_1", pageUs, "us", gAloneMedianUs, 5);
    }
}

BENCHMARK(BM_ClientsPagingTheCard)->Arg(1)->Arg(8)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) { return benchfig::runRegistered(argc, argv); }
