// Card folder indexing (ztMediaDBd --card) on cards made by ztMakeCard:
// - first index of a card of 1,000, 10,000 (and with ZT_BENCH_FULL=1, 100,000) media against a
//   floor that walks the same folders and opens and reads each camera file whole (the generated
//   files are smaller than what the readers may read, so the floor reads every byte they could);
//   target: at most 1.5x the floor, and time per file at the largest size at most 1.5x the
//   smallest (linear growth). Both run on a warm page cache, in interleaved rounds; the medians
//   are compared, so a burst of load from elsewhere lands on one round, not on one side.
// - memory per indexed file (heap held by the scanned card, mallinfo2), for the record;
// - a file added to a watched card served with a state file: time from the write until the
//   histogram counts it, less the watcher's quiet time (300 ms), the median of ten adds;
//   target under 100 ms at every size, and the largest card's at most 1.5x the smallest's (plus
//   5 ms, below which the figure is timer and scheduling noise).
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "mediadb/card_scan.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/run_command.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::string makeCard(size_t media)
{
    std::string root =
        fs::temp_directory_path() / ("ztcard-bench-" + std::to_string(getpid()) + "-" + std::to_string(media));
    std::string out;
    if (runCommand(ztBinPath("ztMakeCard") + " " + root + " " + std::to_string(media) + " >/dev/null", &out) != 0)
        std::exit(2);
    return root;
}

// The floor: every camera file opened and read whole.
size_t readEveryFile(const std::string &root)
{
    size_t files = 0;
    static char buf[1 << 16];
    for (const auto &folder : fs::directory_iterator(cardDcimPath(root)))
        for (const auto &f : fs::directory_iterator(folder.path())) {
            if (!isCameraFileName(f.path().filename().c_str()))
                continue;
            const int fd = open(f.path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            struct stat st {};
            if (fd >= 0 && fstat(fd, &st) == 0 && read(fd, buf, sizeof buf) >= 0)
                files++;
            if (fd >= 0)
                close(fd);
        }
    return files;
}

struct IndexRun {
    double floorS = 0, indexS = 0, bytesPerFile = 0;
    size_t files = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

IndexRun indexRounds(const std::string &root)
{
    constexpr int kRounds = 5;
    IndexRun r;
    std::vector<double> floors, indexes;
    readEveryFile(root);  // warm the cache for both
    for (int round = 0; round < kRounds; round++) {
        auto t = Clock::now();
        r.files = readEveryFile(root);
        floors.push_back(secondsSince(t));
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        MediaCard card;
        ScanOptions options;
        options.source = EntrySource::Drop;
        t = Clock::now();
        if (!scanCard(root, &card, options).ok())
            std::exit(2);
        indexes.push_back(secondsSince(t));
        r.bytesPerFile = double(mallinfo2().uordblks - before) / double(r.files);
    }
    r.floorS = median(floors);
    r.indexS = median(indexes);
    return r;
}

uint32_t filesCounted()
{
    const db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 7};
    const auto h = dbRecordAt<db_histogram_response>(dbExchangeOne(&req, sizeof req), 0);
    uint32_t total = 0;
    for (uint32_t n : h.histogram)
        total += n;
    return total;
}

// Milliseconds from writing a new file into a watched card (with a state file) until the
// histogram counts it, the median of ten adds, two into each of the first five folders.
double watchedAddMs(const std::string &root)
{
    constexpr double kQuietMs = 300;
    ServerProcess server = ServerProcess::fromArgs({"--card", root, "--watch", "--state", root + "/state.sqlite"});
    if (!server.ok())
        std::exit(2);
    std::vector<double> adds;
    for (int add = 0; add < 10; add++) {
        const std::string file = "/10" + std::to_string(add % 5) + "ZTCAM/ZCAM999" + std::to_string(add) + ".JPG";
        const uint32_t before = filesCounted();
        const auto t = Clock::now();
        std::ofstream(cardDcimPath(root) + file) << "x";
        while (filesCounted() == before && secondsSince(t) < 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        adds.push_back(secondsSince(t) * 1000 - kQuietMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the burst is over
    }
    return median(adds);
}

}  // namespace

int main()
{
    std::vector<size_t> sizes = {1000, 10000};
    if (const char *full = std::getenv("ZT_BENCH_FULL"); full && *full == '1')
        sizes.push_back(100000);
    IndexRun first, last;
    double firstAdd = 0, lastAdd = 0;
    for (size_t n : sizes) {
        const std::string root = makeCard(n);
        const IndexRun r = indexRounds(root);
        const std::string name = std::to_string(n);
        benchfig::report("card_index_" + name + "_vs_floor", r.indexS * 1000, "ms", r.floorS * 1000, 1.5);
        benchfig::note("card_index_" + name + "_bytes_per_file", r.bytesPerFile, "B");
        benchfig::note("card_index_" + name + "_files_per_s", double(r.files) / r.indexS, "files/s");
        (n == sizes.front() ? first : last) = r;
        const double add = watchedAddMs(root);
        benchfig::report("card_watch_add_" + name, add, "ms", 1, 100);
        (n == sizes.front() ? firstAdd : lastAdd) = add;
        fs::remove_all(root);
    }
    const std::string span = std::to_string(sizes.back()) + "_vs_" + std::to_string(sizes.front());
    benchfig::report("card_index_per_file_" + span, last.indexS / double(last.files) * 1e6, "us",
                     first.indexS / double(first.files) * 1e6, 1.5);
    constexpr double kNoiseMs = 5;
    benchfig::report("card_watch_add_" + span, lastAdd, "ms", firstAdd + kNoiseMs, 1.5);
    return benchfig::finish();
}
