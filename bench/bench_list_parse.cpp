// Cost of walking one full list page (as near 1500 bytes as the entries allow) for several mixes
// of entries, in entries per second. Each mix runs two ways:
//   files  file callback only: pure parsing, groups expanded into their member names;
//   items  item and file callbacks, as the candidate list calls it. Grouped videos then ask the
//          server for every member's duration, so a ztMediaDBd on examples/sample-card.json runs
//          and the grouped-video entries name groups that card holds.
//   bench_list_parse [google benchmark flags]
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "libztMediaRTOSDB/client/dbList.h"
#include "tests/support/db_list_frames.h"

namespace {

std::string numbered(const char *format, uint32_t n)
{
    char name[16];
    std::snprintf(name, sizeof name, format, n % 10000);
    return name;
}

uint32_t parentGumiIf(bool derived) { return derived ? uint32_t(DB_MEDIA_FLAG_PARENT_GUMI) : 0u; }

// An entry with GUMIs, which the page carries when its options ask.
MediaEntry entry(uint32_t type, const std::string &file, uint32_t flags = 0)
{
    MediaEntry e = ListFrame::entry(type, file.c_str(), flags);
    std::memset(e.gumi, 0x5A, DB_GUMI_LEN);
    std::memset(e.pgumi, 0xA5, DB_GUMI_LEN);
    return e;
}

// Every third photo is a derived one and carries a parent GUMI when GUMIs are listed.
void photo(ListFrame &page, uint32_t n)
{
    page.add(entry(DB_CONTENT_TYPE_PHOTO, numbered("ZCAM%04u.JPG", n), parentGumiIf(n % 3 == 0)));
}

// Single videos of three types with 0 to 3 highlights; every other one is derived (parent GUMI).
void video(ListFrame &page, uint32_t n)
{
    static const uint32_t kTypes[] = {DB_CONTENT_TYPE_VIDEO, DB_CONTENT_TYPE_VIDEO_3, DB_CONTENT_TYPE_VIDEO_13};
    MediaEntry e = entry(kTypes[n % 3], numbered("ZX01%04u.MP4", n), parentGumiIf(n % 2));
    e.video = {1, 30000 + 997 * n, 4, 100, n % 2, {}};
    for (uint32_t i = 0; i < n % 4; ++i)
        e.video.highlights.push_back(1000 * (i + 1));
    page.add(e);
}

// Photo groups of 10, 40 and 90 members; every other one misses member 2 and every third one has
// highlights, which adds the second bitmap.
void photoGroup(ListFrame &page, uint32_t n)
{
    static const uint32_t kTypes[] = {DB_CONTENT_TYPE_BURST, DB_CONTENT_TYPE_TIME_LAPSE, DB_CONTENT_TYPE_NIGHT_LAPSE,
                                      DB_CONTENT_TYPE_CONTINUOUS};
    static const uint32_t kLast[] = {10, 40, 90};
    MediaEntry e = entry(kTypes[n % 4], "ZSAB0001.JPG");
    e.highlightCount = n % 3 == 1 ? 2 : 0;
    e.group = {1002, 1, kLast[n % 3], {}, {}, 3800000ull * kLast[n % 3]};
    if (n % 2)
        e.group.missing = {2};
    page.add(e);
}

// The grouped videos of examples/sample-card.json, so that member lookups find their files.
void groupedVideo(ListFrame &page, uint32_t n)
{
    struct Group {
        uint32_t type;
        const char *file;
        GroupRecord group;
    };
    static const Group kGroups[] = {
        {DB_CONTENT_TYPE_CHAPTERED_VIDEO, "ZX010123.MP4", {123, 0, 3, {2}, {}, 18000000000ull}},
        {DB_CONTENT_TYPE_LOOPING_VIDEO, "ZXAA0001.MP4", {1001, 1, 5, {4}, {}, 3000000000ull}},
        {DB_CONTENT_TYPE_CHAPTERED_VIDEO, "ZX010222.MP4", {222, 0, 2, {}, {}, 9000000000ull}},
        {DB_CONTENT_TYPE_LOOPING_VIDEO, "ZHAE0001.MP4", {1005, 1, 4, {2}, {}, 2250000000ull}},
    };
    const Group &g = kGroups[n % 4];
    MediaEntry e = entry(g.type, g.file);
    e.group = g.group;
    page.add(e);
}

using Make = void (*)(ListFrame &page, uint32_t n);

struct Mix {
    const char *name;
    uint32_t listOptions;
    std::vector<Make> makers;  // taken in turn
};

const uint32_t kGrouped = DB_LIST_VIDEO_GROUPING;
const uint32_t kGumi = DB_LIST_VIDEO_GROUPING | DB_LIST_INCLUDE_GUMI;
const Mix kMixes[] = {
    {"photos", kGrouped, {photo}},
    {"videos", kGrouped, {video}},
    {"videos_gumi", kGumi, {video}},
    {"photo_groups", kGrouped, {photoGroup, photo}},
    {"grouped_videos", kGrouped, {groupedVideo, video}},
    {"card", kGrouped, {photo, photo, video, photoGroup, photo, groupedVideo}},
    {"card_gumi", kGumi, {photo, photo, video, photoGroup, photo, groupedVideo}},
};

// Takes the mix's entries in turn while they fit; one that does not is passed over, and the page
// is full once a whole round of them has been passed over.
std::vector<uint8_t> fullPage(const Mix &mix)
{
    ListFrame page(mix.listOptions);
    size_t passed = 0;
    for (uint32_t n = 0; passed < mix.makers.size(); ++n) {
        const size_t mark = page.bytes.size();
        mix.makers[n % mix.makers.size()](page, n);
        if (page.bytes.size() > DB_FRAME_MAX) {
            page.bytes.resize(mark);
            --page.entries;
            ++passed;
            continue;
        }
        passed = 0;
    }
    return page.done();
}

struct Sink {
    uint64_t items = 0, files = 0, checksum = 0;
};
void onItem(void *ctx, cah_item_s *item)
{
    auto *s = static_cast<Sink *>(ctx);
    ++s->items;
    s->checksum += item->size + item->duration + (item->gumi ? item->gumi[0] : 0);
}
void onFile(void *ctx, char *, char *file)
{
    auto *s = static_cast<Sink *>(ctx);
    ++s->files;
    s->checksum += static_cast<uint8_t>(file[7]);
}

void BM_ParsePage(benchmark::State &state, const Mix *mix, bool items)
{
    const std::vector<uint8_t> bytes = fullPage(*mix);
    std::vector<uint8_t> buf(DB_FRAME_MAX, 0);
    std::copy(bytes.begin(), bytes.end(), buf.begin());
    const int size = static_cast<int>(bytes.size());
    const cah_item_callback itemCallback = items ? onItem : nullptr;
    db_list_response_header h;
    std::memcpy(&h, bytes.data(), sizeof h);
    const uint32_t entries = h.header.count_returned;

    Sink sink;
    for (auto _ : state) {
        if (processQueryResponse(buf.data(), size, 0, itemCallback, &sink, onFile, &sink) != 0) {
            state.SkipWithError("page not parsed whole");
            return;
        }
    }
    benchmark::DoNotOptimize(sink.checksum);
    if (items && sink.items != uint64_t(entries) * uint64_t(state.iterations())) {
        state.SkipWithError("items lost");
        return;
    }
    state.counters["entries/s"] =
        benchmark::Counter(double(entries) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["entries"] = entries;
    state.counters["bytes"] = size;
    state.counters["files"] = double(sink.files) / double(state.iterations());
}

}  // namespace

int main(int argc, char **argv)
{
    const std::unique_ptr<ServerProcess> server = startSampleCardServer();
    if (!server)
        return 1;
    // Wall time, since the item runs of grouped videos wait for the server; repetitions give
    // medians that a busy machine moves less.
    for (const Mix &mix : kMixes)
        for (bool items : {false, true})
            benchmark::RegisterBenchmark((std::string(items ? "items/" : "files/") + mix.name).c_str(), BM_ParsePage,
                                         &mix, items)
                ->UseRealTime()
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
