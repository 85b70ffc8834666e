// Card folder indexing (ztMediaDBd --card) on cards made by ztMakeCard:
// - first index of a card of 1,000, 10,000 (and with ZT_BENCH_FULL=1, 100,000) media against a
//   floor that walks the same folders and opens and reads each camera file whole (the generated
//   files are smaller than what the readers may read, so the floor reads every byte they could);
//   target: at most 1.5x the floor, and time per file at the largest size at most 1.5x the
//   smallest (linear growth). Both run on a warm page cache.
// - memory per indexed file (heap held by the scanned card, mallinfo2), for the record;
// - a file added to a watched card: time from the write until the histogram counts it, less
//   the watcher's quiet time (300 ms); target under 100 ms, at 1,000 and at 10,000 media.
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

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
    std::string root = fs::temp_directory_path() / ("ztcard-bench-" + std::to_string(getpid()) + "-" +
                                                         std::to_string(media));
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

IndexRun indexOnce(const std::string &root)
{
    IndexRun r;
    readEveryFile(root);  // warm the cache for both
    auto t = Clock::now();
    r.files = readEveryFile(root);
    r.floorS = secondsSince(t);
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    MediaCard card;
    ScanOptions options;
    options.source = EntrySource::Drop;
    t = Clock::now();
    if (!scanCard(root, &card, options).ok())
        std::exit(2);
    r.indexS = secondsSince(t);
    r.bytesPerFile = double(mallinfo2().uordblks - before) / double(r.files);
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

// Milliseconds from writing a new file into a watched card until the histogram counts it.
double watchedAddMs(const std::string &root)
{
    ServerProcess server = ServerProcess::fromArgs({"--card", root, "--watch"});
    if (!server.ok())
        std::exit(2);
    const uint32_t before = filesCounted();
    const auto t = Clock::now();
    std::ofstream(cardDcimPath(root) + "/100ZTCAM/ZCAM9999.JPG") << "x";
    while (filesCounted() == before && secondsSince(t) < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return secondsSince(t) * 1000;
}

}  // namespace

int main()
{
    std::vector<size_t> sizes = {1000, 10000};
    if (const char *full = std::getenv("ZT_BENCH_FULL"); full && *full == '1')
        sizes.push_back(100000);
    IndexRun first, last;
    for (size_t n : sizes) {
        const std::string root = makeCard(n);
        const IndexRun r = indexOnce(root);
        const std::string name = std::to_string(n);
        benchfig::report("card_index_" + name + "_vs_floor", r.indexS * 1000, "ms", r.floorS * 1000, 1.5);
        benchfig::note("card_index_" + name + "_bytes_per_file", r.bytesPerFile, "B");
        benchfig::note("card_index_" + name + "_files_per_s", double(r.files) / r.indexS, "files/s");
        (n == sizes.front() ? first : last) = r;
        if (n <= 10000) {
            constexpr double kQuietMs = 300;
            benchfig::report("card_watch_add_" + name, watchedAddMs(root) - kQuietMs, "ms", 1, 100);
        }
        fs::remove_all(root);
    }
    benchfig::report("card_index_per_file_" + std::to_string(sizes.back()) + "_vs_" + std::to_string(sizes.front()),
                     last.indexS / double(last.files) * 1e6, "us", first.indexS / double(first.files) * 1e6, 1.5);
    return benchfig::finish();
}
