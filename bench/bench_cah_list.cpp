// Latency of one candidate-list page (dbGetCAHList) against ztMediaDBd on
// examples/sample-card.json, and the floor it is held to: a bare SOCK_SEQPACKET connect, the same
// 24 request bytes out, the same reply back, close, on the same server in the same run. Each page
// of the card is timed three ways, one sample per call:
//   floor  the raw exchange;
//   items  dbGetCAHList with an item callback, as the candidate list counts; grouped videos then
//          cost one more exchange per member for their durations;
//   files  dbGetCAHList with a file callback only: the list exchange and the parse, no lookups.
// Prints the median of each and the ratios to the floor (target <= 1.5).
//   bench_cah_list [google benchmark flags]
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_figures.h"
#include "bench/bench_support.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbList.h"

namespace {

// Asked for more than fit: the server fills the frame and stops there.
constexpr uint32_t kPageAsk = 64;
constexpr uint32_t kToken = 0x5A5A;
constexpr int kIterations = 300;
constexpr int kRounds = 3;

struct Page {
    uint32_t start;
    int replyBytes;
    uint32_t entries, groupedVideos, lookups;
};
std::vector<Page> gPages;
std::map<std::string, std::vector<double>> gSamples;  // "kind/start" -> microseconds, all rounds

// Pools the samples of every round under `name`.
template <class Fn>
void timeEach(benchmark::State &state, const std::string &name, Fn fn)
{
    const std::vector<double> samples = timeEachCall(state, fn);
    std::vector<double> &all = gSamples[name];
    all.insert(all.end(), samples.begin(), samples.end());
}

// The floor: the request dbGetCAHList sends, and its reply; the reply's length or -1.
int rawExchange(uint32_t start, uint8_t *reply)
{
    const db_list_request req = {{DB_CMD_LIST, kPageAsk, kToken}, start, DB_LIST_CAH_OPTIONS, DB_QUERY_CAH_LIST};
    return rawSeqpacketExchange(&req, sizeof req, reply);
}

struct Counts {
    uint32_t entries = 0, groupedVideos = 0, lookups = 0, files = 0;
    bool inGroupedVideo = false;
};
void onItem(void *ctx, cah_item_s *item)
{
    auto *c = static_cast<Counts *>(ctx);
    ++c->entries;
    c->inGroupedVideo = dbIsGroupedVideoType(item->content_type);
    c->groupedVideos += c->inGroupedVideo;
}
// Each member of a grouped video that the parser names is one it looked up.
void onFile(void *ctx, char *, char *)
{
    auto *c = static_cast<Counts *>(ctx);
    c->lookups += c->inGroupedVideo;
}
void onFileOnly(void *ctx, char *, char *) { ++static_cast<Counts *>(ctx)->files; }

// Walks the card page by page with raw exchanges and notes what each page holds.
bool findPages()
{
    uint8_t reply[DB_FRAME_MAX];
    for (uint32_t start = 0;;) {
        Page p{start, rawExchange(start, reply), 0, 0, 0};
        Counts c;
        if (p.replyBytes < static_cast<int>(sizeof(db_list_response_header)) ||
            processQueryResponse(reply, p.replyBytes, static_cast<int>(start), onItem, &c, onFile, &c) != 0)
            return false;
        p.entries = c.entries;
        p.groupedVideos = c.groupedVideos;
        p.lookups = c.lookups;
        if (p.entries == 0)
            return !gPages.empty();
        gPages.push_back(p);
        start += p.entries;
    }
}

void BM_Floor(benchmark::State &state, const Page *p)
{
    uint8_t reply[DB_FRAME_MAX];
    timeEach(state, "floor/" + std::to_string(p->start), [&] { return rawExchange(p->start, reply) == p->replyBytes; });
}

void BM_List(benchmark::State &state, const Page *p, bool items)
{
    timeEach(state, (items ? "items/" : "files/") + std::to_string(p->start), [&] {
        Counts c;
        uint32_t session = 0;
        const int n =
            items ? dbGetCAHList(kPageAsk, p->start, kToken, onItem, &c, nullptr, nullptr, &session, nullptr)
                  : dbGetCAHList(kPageAsk, p->start, kToken, nullptr, nullptr, onFileOnly, &c, &session, nullptr);
        return n == static_cast<int>(p->entries) && (!items || c.entries == p->entries);
    });
}

// Rounds of floor, items and files in turn, so that drift of the machine's load affects all alike.
void registerAll()
{
    for (int round = 0; round < kRounds; ++round)
        for (const Page &p : gPages) {
            const std::string at = "/" + std::to_string(p.start);
            for (auto *b : {benchmark::RegisterBenchmark(("floor" + at).c_str(), BM_Floor, &p),
                            benchmark::RegisterBenchmark(("items" + at).c_str(), BM_List, &p, true),
                            benchmark::RegisterBenchmark(("files" + at).c_str(), BM_List, &p, false)})
                b->Iterations(kIterations)->Unit(benchmark::kMicrosecond);
        }
}

void printSummary()
{
    for (const Page &p : gPages) {
        const std::string at = "/" + std::to_string(p.start);
        if (!gSamples.count("floor" + at) || !gSamples.count("items" + at) || !gSamples.count("files" + at))
            continue;
        const double floor = median(gSamples["floor" + at]);
        const double items = median(gSamples["items" + at]), files = median(gSamples["files" + at]);
        std::printf("page at %u (%d bytes, %u entries, %u grouped videos, %u member lookups): "
                    "median floor %.1f us, items %.1f us (ratio %.2f), files %.1f us (ratio %.2f)\n",
                    p.start, p.replyBytes, p.entries, p.groupedVideos, p.lookups, floor, items, items / floor, files,
                    files / floor);
        // The page exchange itself is held to the floor; with items, each grouped-video member
        // costs a duration exchange of its own, so that figure is shown, not judged.
        const std::string name = "list_page_at_" + std::to_string(p.start);
        benchfig::report(name + "_vs_raw_exchange", files, "us", floor, 1.5);
        benchfig::note(name + "_with_items", items, "us", floor);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const std::unique_ptr<ServerProcess> server = startSampleCardServer();
    if (!server)
        return 1;
    if (!findPages()) {
        std::fprintf(stderr, "bench_cah_list: the card's list pages could not be read\n");
        return 1;
    }
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return benchfig::finish();
}
