// The server and the candidate list as the card grows: 100, 1,000, 10,000 and 100,000 entries of
// the generated mix. For each size: ztMediaDBd's start-up (manifest load, store, index) until the
// channel accepts, resident memory after start and its peak after a rescan, the rescan itself,
// the median histogram query and list page; the HTTP media list of the whole card (its body is
// bounded at 128 KiB: past that it answers 500); then the candidate count over the whole card and
// the sort of its keys in the default order. Figures are named scale_<what>_<entries>, which
// docs/plot_scale.py draws.
//   bench_server_scale [largest]   (largest card, default 100000)
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "cah/CAHMediaList.h"
#include "tests/support/stdout_capture.h"
#include "ztMedia/ztMediaResponders.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"
#include "ztMedia/dbProtocol.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A line of /proc/PID/status ("VmRSS", "VmHWM") in MB.
double procMB(pid_t pid, const std::string &field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::strtod(line.c_str() + field.size() + 1, nullptr) / 1024.0;
    return 0;
}

template <class Fn>
double medianUs(int runs, Fn fn)
{
    std::vector<double> us;
    for (int i = 0; i < runs; i++) {
        const Clock::time_point t0 = Clock::now();
        if (!fn())
            return -1;
        us.push_back(secondsSince(t0) * 1e6);
    }
    std::nth_element(us.begin(), us.begin() + us.size() / 2, us.end());
    return us[us.size() / 2];
}

bool histogram()
{
    const db_request_header req = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 0x42};
    return dbExchangeOne(&req, sizeof req).size() == sizeof(db_histogram_response);
}

struct Sample {
    size_t entries, manifestBytes;
    double startS, rssMB, rescanS, peakMB, histogramUs, pageUs, countS, sortMs;
    double listMs, listBytes;
    bool listFits;
};

// The media list responder over the whole card, its answer captured: time, size, and whether it
// answered 200.
void mediaList(Sample *s)
{
    int result = -1;
    const Clock::time_point t0 = Clock::now();
    const std::string out = captureStdout([&] { result = generateMediaList(nullptr, ""); });
    s->listMs = secondsSince(t0) * 1e3;
    s->listBytes = double(out.size());
    s->listFits = result == 0;
}

// Every medium of every state is a candidate, so the count walks the whole card.
bool countAndSort(Sample *s)
{
    std::vector<UploadRule> rules(6);
    for (uint32_t k = 0; k < 5; ++k) {
        rules[k].isStateRule = true;
        rules[k].kind = 11 + k;
    }
    CAHMediaList list;
    const Clock::time_point t0 = Clock::now();
    if (list.getMediaCount(rules) <= 0)
        return false;
    s->countS = secondsSince(t0);
    const Clock::time_point t1 = Clock::now();
    if (list.sort(nullptr) != 0)
        return false;
    s->sortMs = secondsSince(t1) * 1e3;
    return true;
}

bool measure(size_t entries, Sample *s)
{
    const GeneratedCard card = generateCard(entries);
    const Clock::time_point t0 = Clock::now();
    ServerProcess server(card.json);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_server_scale: ztMediaDBd on %zu entries: %s\n", entries, server.error().c_str());
        return false;
    }
    s->entries = entries;
    s->manifestBytes = card.json.size();
    s->startS = secondsSince(t0);
    s->rssMB = procMB(server.pid(), "VmRSS");
    const uint32_t middle = static_cast<uint32_t>(entries / 2);
    s->histogramUs = medianUs(300, histogram);
    mediaList(s);
    s->pageUs =
        medianUs(300, [&] { return dbListPage(middle, 15, DB_LIST_VIDEO_GROUPING, DB_QUERY_CAH_LIST).error.empty(); });
    const Clock::time_point r0 = Clock::now();
    if (server.ctl({"rescan"}) != 0)
        return false;
    s->rescanS = secondsSince(r0);
    s->peakMB = procMB(server.pid(), "VmHWM");
    return s->histogramUs > 0 && s->pageUs > 0 && countAndSort(s);
}

// The largest generated card, in steps of 50 entries, whose whole media list still answers 200.
size_t largestListThatFits()
{
    size_t fits = 0;
    for (size_t n = 50; n <= 2000; n += 50) {
        ServerProcess server(generateCard(n).json);
        Sample s{};
        if (!server.ok())
            break;
        mediaList(&s);
        if (!s.listFits)
            break;
        fits = n;
    }
    return fits;
}

void reportAll(const std::vector<Sample> &samples)
{
    for (const Sample &s : samples) {
        const std::string n = std::to_string(s.entries);
        benchfig::note("scale_server_start_s_" + n, s.startS, "s");
        benchfig::note("scale_server_rss_mb_" + n, s.rssMB, "MB");
        benchfig::note("scale_server_peak_mb_" + n, s.peakMB, "MB");
        benchfig::note("scale_rescan_s_" + n, s.rescanS, "s");
        benchfig::note("scale_histogram_us_" + n, s.histogramUs, "us");
        benchfig::note("scale_list_page_us_" + n, s.pageUs, "us");
        benchfig::note("scale_candidate_count_s_" + n, s.countS, "s");
        benchfig::note("scale_sort_ms_" + n, s.sortMs, "ms");
        benchfig::note("scale_media_list_ms_" + n, s.listMs, "ms");
        benchfig::note(std::string("media_list_") + (s.listFits ? "answers_200_bytes_" : "answers_500_bytes_") + n,
                       s.listBytes, "B");
    }
    const Sample &small = samples.front(), &large = samples.back();
    const std::string n = std::to_string(large.entries);
    // Counters kept as the card changes: a histogram costs the same at any size.
    benchfig::report("histogram_at_" + n + "_vs_" + std::to_string(small.entries), large.histogramUs, "us",
                     small.histogramUs, 1.5);
    if (large.entries < 100000)
        return;
    benchfig::report("server_start_" + n + "_entries", large.startS, "s", 1, 1.0);
    benchfig::report("server_rss_" + n + "_entries", large.rssMB, "MB", 1, 100);
    // A rescan holds the manifest text and the new catalogue beside the old one, nothing more.
    benchfig::report("server_peak_after_rescan_" + n + "_entries", large.peakMB, "MB",
                     2 * large.rssMB + double(large.manifestBytes) / (1 << 20), 1.0);
    // Linear: a tenth of the entries costs at least about a tenth of the time.
    const Sample &tenth = samples[samples.size() - 2];
    benchfig::report("rescan_" + n + "_vs_10x_" + std::to_string(tenth.entries), large.rescanS, "s",
                     tenth.rescanS * double(large.entries) / double(tenth.entries), 1.5);
}

}  // namespace

int main(int argc, char **argv)
{
    const size_t largest = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    std::vector<Sample> samples;
    for (size_t n = 100; n <= largest; n *= 10) {
        Sample s{};
        if (!measure(n, &s))
            return 1;
        std::fprintf(stderr, "bench_server_scale: %zu entries measured\n", n);
        samples.push_back(s);
    }
    if (samples.size() < 2)
        return 1;
    benchfig::note("media_list_largest_card_that_fits", double(largestListThatFits()), "entries");
    reportAll(samples);
    return benchfig::finish();
}
