// The candidate list's own costs, each against its floor in the same run:
//   count  getMediaCount over a generated card of 10,000 entries, against the raw exchanges the
//          protocol needs for it: the same 15-entry page requests and one video request per
//          grouped-video member whose duration the parser must ask for (target ratio <= 1.5);
//   sort   CAHMediaList::sort of 100,000 keys with the default order and with a three-rule
//          document, against std::sort of 100,000 plain uint64 (target ratio <= 4);
//   memory bytes per candidate after a count: 13 per key, 4 per spanned-group member position.
//   bench_cah [google benchmark flags]
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_figures.h"
#include "bench/bench_support.h"
#include "cah/CAHMediaList.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbList.h"
#include "tests/support/cah_probe.h"
#include "tests/support/mediadb_wire.h"

namespace {

constexpr uint32_t kPage = 15;
constexpr size_t kCardEntries = 10000;
constexpr size_t kSortKeys = 100000;
constexpr int kRounds = 3;
const char *kThreeRules =
    R"({"sort_rules":["hilighted_first","media_type","date_by_day_newest_first"],"media_type_order":["video","photo","burst"]})";

std::vector<UploadRule> allRules()
{
    std::vector<UploadRule> rules(6);
    for (uint32_t k = 0; k < 5; ++k) {
        rules[k].isStateRule = true;
        rules[k].kind = 11 + k;
    }
    return rules;  // the last one is media rule 0: every kind
}

std::map<std::string, std::vector<double>> gSamples;
std::vector<std::vector<uint8_t>> gFloorRequests;  // what the count sends, in order
size_t gPages = 0;

template <class Fn>
void timeInto(benchmark::State &state, const std::string &name, Fn fn)
{
    const std::vector<double> s = timeEachCall(state, fn);
    gSamples[name].insert(gSamples[name].end(), s.begin(), s.end());
}

// Grouped-video members named by the parser: each is one duration request of the count.
struct Lookups {
    bool grouped = false;
    std::vector<std::vector<uint8_t>> *out;
};
void noteItem(void *ctx, cah_item_s *item)
{
    static_cast<Lookups *>(ctx)->grouped = dbIsGroupedVideoType(item->content_type);
}
void noteFile(void *ctx, char *dir, char *file)
{
    auto *l = static_cast<Lookups *>(ctx);
    if (!l->grouped)
        return;
    const db_file_request req = dbFileRequest(DB_CMD_GET_VIDEO_SPECIFIC_INFO, dir, file);
    const auto *p = reinterpret_cast<const uint8_t *>(&req);
    l->out->emplace_back(p, p + sizeof req);
}

// Walks the card as the count does and keeps every request it makes.
bool planFloor()
{
    uint8_t reply[DB_FRAME_MAX];
    Lookups lookups{false, &gFloorRequests};
    for (uint32_t start = 0;; ++gPages) {
        const db_list_request req = {{DB_CMD_LIST, kPage, 1}, start, DB_LIST_CAH_OPTIONS, DB_QUERY_CAH_LIST};
        const auto *p = reinterpret_cast<const uint8_t *>(&req);
        gFloorRequests.emplace_back(p, p + sizeof req);
        const int n = rawSeqpacketExchange(&req, sizeof req, reply);
        if (n < int(sizeof(db_list_response_header)))
            return false;
        db_list_response_header h;
        memcpy(&h, reply, sizeof h);
        if (h.header.count_returned == 0)
            return true;
        processQueryResponse(reply, n, int(start), noteItem, &lookups, noteFile, &lookups);
        start += h.header.count_returned;
    }
}

void BM_CountFloor(benchmark::State &state)
{
    uint8_t reply[DB_FRAME_MAX];
    timeInto(state, "count floor", [&] {
        for (const auto &r : gFloorRequests)
            if (rawSeqpacketExchange(r.data(), r.size(), reply) < 0)
                return false;
        return true;
    });
}

void BM_Count(benchmark::State &state)
{
    std::vector<UploadRule> rules = allRules();
    timeInto(state, "getMediaCount", [&] {
        CAHMediaList list;
        return list.getMediaCount(rules) > 0;
    });
}

std::vector<CompareBlock> randomKeys()
{
    std::mt19937 rng(12);
    std::vector<CompareBlock> keys(kSortKeys);
    for (size_t i = 0; i < keys.size(); ++i) {
        keys[i].index = CAH_KEY_BITS(i, 18);
        keys[i].type = CAH_KEY_BITS(rng() % 15, 4);
        keys[i].highlight = rng() % 8 == 0;
        keys[i].year = rng() % 4;
        keys[i].day = CAH_KEY_BITS(rng() % 366, 9);
        keys[i].sizeMB = rng() % 4096;
    }
    return keys;
}

void BM_Sort(benchmark::State &state, const char *json, const char *name)
{
    const std::vector<CompareBlock> keys = randomKeys();
    CAHMediaList list;
    CAHMediaListProbe probe{list};
    for (auto _ : state) {
        state.PauseTiming();
        probe.setBlocks(keys);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        list.sort(json);
        gSamples[name].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
}

void BM_SortFloor(benchmark::State &state)
{
    std::mt19937_64 rng(12);
    std::vector<uint64_t> values(kSortKeys);
    for (uint64_t &v : values)
        v = rng();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<uint64_t> v = values;
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        std::sort(v.begin(), v.end());
        gSamples["std::sort uint64"].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
}

void printMemory(const char *card)
{
    CAHMediaList list;
    CAHMediaListProbe probe{list};
    std::vector<UploadRule> rules = allRules();
    const int n = list.getMediaCount(rules);
    size_t positions = 0;
    for (const auto &s : probe.spans())
        positions += s.second.size();
    const size_t bytes = probe.blocks().size() * sizeof(CompareBlock) + positions * sizeof(uint32_t);
    std::printf("memory (%s): %d candidates, %zu keys x %zu bytes + %zu span positions x 4 bytes = %zu bytes, "
                "%.2f bytes per candidate (key vector capacity %zu; map nodes not counted)\n",
                card, n, probe.blocks().size(), sizeof(CompareBlock), positions, bytes, n > 0 ? double(bytes) / n : 0.0,
                probe.blocks().capacity());
    benchfig::note(std::string("candidate_bytes_") + (std::strcmp(card, "sample card") ? "generated" : "sample"),
                   n > 0 ? double(bytes) / n : 0.0, "B");
}

void printSummary()
{
    auto m = [](const char *name) { return gSamples.count(name) ? median(gSamples[name]) : 0.0; };
    const double count = m("getMediaCount"), floor = m("count floor");
    std::printf("count of %zu entries: %zu page requests + %zu duration requests; median getMediaCount %.1f ms, "
                "raw exchanges %.1f ms, ratio %.2f (target <= 1.5)\n",
                kCardEntries, gPages + 1, gFloorRequests.size() - gPages - 1, count / 1000, floor / 1000,
                count / floor);
    const double base = m("std::sort uint64");
    for (const char *name : {"sort default", "sort three rules"})
        std::printf("%s of %zu keys: median %.2f ms, std::sort of uint64 %.2f ms, ratio %.2f (target <= 4)\n", name,
                    kSortKeys, m(name), base, m(name) / base);
    benchfig::report("candidate_count_vs_raw_exchanges", count, "us", floor, 1.5);
    benchfig::report("sort_default_100000_vs_std_sort", m("sort default"), "ms", base, 4);
    benchfig::report("sort_three_rules_100000_vs_std_sort", m("sort three rules"), "ms", base, 4);
}

}  // namespace

int main(int argc, char **argv)
{
    {
        auto server = std::make_unique<ServerProcess>(generateCard(kCardEntries).json);
        if (!server->ok() || !planFloor()) {
            std::fprintf(stderr, "bench_cah: the generated card could not be served: %s\n", server->error().c_str());
            return 1;
        }
        for (int round = 0; round < kRounds; ++round) {
            benchmark::RegisterBenchmark("count/floor", BM_CountFloor)->Iterations(3)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("count/getMediaCount", BM_Count)->Iterations(3)->Unit(benchmark::kMillisecond);
        }
        for (int round = 0; round < kRounds; ++round) {
            benchmark::RegisterBenchmark("sort/std::sort uint64", BM_SortFloor)
                ->Iterations(10)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("sort/default", BM_Sort, nullptr, "sort default")
                ->Iterations(10)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("sort/three rules", BM_Sort, kThreeRules, "sort three rules")
                ->Iterations(10)
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        printMemory("generated card");
    }
    if (auto sample = startSampleCardServer())
        printMemory("sample card");
    printSummary();
    return benchfig::finish();
}
