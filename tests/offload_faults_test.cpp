// ztOffload under faults: after each, no file is recorded as offloaded without a whole copy on
// DEST, a later run finishes the job, and no file is copied in full twice. ctest kills over 200
// files; scripts/offload-kills runs 1,000 (ZT_OFFLOAD_FILES).
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/support/offload_card.h"
#include "tests/support/wom_queue.h"

namespace {

using namespace std::chrono_literals;

// How often each file was reported copied (a resumed copy counts once, when it completes).
void countCopies(const std::string &out, std::map<std::string, int> *copies)
{
    static const std::regex line(R"(^\[\d+/\d+\] (\S+) -> \S+: copied)");
    std::istringstream in(out);
    std::smatch m;
    for (std::string l; std::getline(in, l);)
        if (std::regex_search(l, m, line))
            ++(*copies)[m[1]];
}

void expectFinished(OffloadCard &card, const std::map<std::string, int> &copies)
{
    EXPECT_EQ(card.offloaded(), card.tracked());
    for (const std::string &rel : card.files())
        EXPECT_TRUE(card.wholeOnDest(rel)) << rel;
    for (const auto &[rel, n] : copies)
        EXPECT_LE(n, 1) << rel << " was copied in full " << n << " times";
}

std::pair<int, std::string> runOffload(OffloadCard &card, const std::function<void()> &inChild = {})
{
    Child c(ztBinPath("ztOffload"), card.args(), inChild);
    const int status = c.wait();
    return {status, c.readUntil("", 0)};
}

TEST(OffloadFaults, Kill9AtRandomMomentsNeverRecordsAPartialCopy)
{
    const char *env = std::getenv("ZT_OFFLOAD_FILES");
    const size_t files = env && *env ? std::strtoul(env, nullptr, 10) : 200;
    OffloadCard card(OffloadCard::photos(files, 1000, 100000, 40, 6 << 20));
    ASSERT_TRUE(card.server().ok()) << card.server().error();
    std::mt19937 random(std::random_device{}());
    std::map<std::string, int> copies;
    int status = -1, kills = 0;
    for (int round = 0; round < 400 && status != 0; ++round) {
        Child c(ztBinPath("ztOffload"), card.args());
        // The first kills come early: on a fast disk a whole run can take well under a second.
        std::this_thread::sleep_for(std::chrono::milliseconds(kills < 3 ? 5 + random() % 40 : 50 + random() % 250));
        if (c.alive() && kill(c.pid(), SIGKILL) == 0)
            ++kills;
        status = c.wait();
        countCopies(c.readUntil("", 0), &copies);
        ASSERT_EQ(card.markedWithoutCopy(), std::vector<std::string>()) << "after round " << round;
    }
    EXPECT_EQ(status, 0);
    EXPECT_GE(kills, 3);
    std::printf("%d runs killed with SIGKILL over %zu files\n", kills, files);
    expectFinished(card, copies);
}

// DEST as a small file system of its own where mounting is allowed (root), else a file size limit
// on the tool (one file larger than the limit fails as a full disk would).
struct SmallDest {
    std::string path;
    bool mounted = false;
    explicit SmallDest(const std::string &p) : path(p)
    {
        std::filesystem::create_directories(p);
        mounted = mount("tmpfs", p.c_str(), "tmpfs", 0, "size=3m") == 0;
    }
    ~SmallDest()
    {
        if (mounted)
            umount2(path.c_str(), MNT_DETACH);
    }
    std::function<void()> limit() const
    {
        if (mounted)
            return {};
        return [] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit r{1 << 20, 1 << 20};
            setrlimit(RLIMIT_FSIZE, &r);
        };
    }
    void grow() const
    {
        if (mounted)
            mount("tmpfs", path.c_str(), "tmpfs", MS_REMOUNT, "size=64m");
    }
};

TEST(OffloadFaults, EachFaultLeavesNoFalseRecordAndTheNextRunFinishes)
{
    std::atomic<bool> appending{false};
    std::thread appender;
    struct Fault {
        const char *name;
        std::vector<std::pair<std::string, size_t>> files;
        std::function<void(OffloadCard &)> before;  // starts the fault before the run
        std::function<void(OffloadCard &)> during;  // runs once the first file landed
        std::function<void(OffloadCard &)> after;   // undoes the fault
        int status;
        const char *says;
    } faults[] = {
        // More than the copying may run ahead of the first file's report, so the card goes mid-run.
        {"card removed",
         OffloadCard::photos(30, 3000000, 4000000),
         {},
         [](OffloadCard &c) { std::filesystem::rename(c.card(), c.card() + ".out"); },
         [](OffloadCard &c) { std::filesystem::rename(c.card() + ".out", c.card()); },
         3,
         "card was removed"},
        {"database restarts",
         OffloadCard::photos(40, 600000, 900000),
         {},
         [](OffloadCard &c) {
             c.server().stop(SIGKILL);
             std::this_thread::sleep_for(300ms);
             c.server().restart(false);
         },
         {},
         0,
         "40 of 40 media offloaded"},
        // The file keeps changing from before the run: on a fast disk the copying runs far ahead
        // of the first report, so a change started there could come after the file was copied.
        {"file changes while copied",
         OffloadCard::photos(4, 1000, 2000, 2, 48 << 20),
         [&](OffloadCard &c) {
             appending = true;
             appender = std::thread([&c, &appending] {
                 while (appending) {
                     std::ofstream(c.card() + "/DCIM/101ZTCAM/ZP010004.JPG", std::ios::app) << "x";
                     std::this_thread::sleep_for(1ms);
                 }
             });
         },
         {},
         [&](OffloadCard &) {
             appending = false;
             appender.join();
         },
         1,
         "changed on the card while it was copied"},
        // One medium whose further files have no state of their own: recorded at once, no wait.
        {"photo group with a gap in its numbering",
         {{"100ZTCAM/Z0030001.JPG", 300000}, {"100ZTCAM/Z0030002.JPG", 300000}, {"100ZTCAM/Z0030004.JPG", 300000}},
         {},
         {},
         {},
         0,
         "1 of 1 media offloaded"},
    };
    for (const Fault &f : faults) {
        SCOPED_TRACE(f.name);
        OffloadCard card(f.files);
        ASSERT_TRUE(card.server().ok()) << card.server().error();
        std::map<std::string, int> copies;
        if (f.before)
            f.before(card);
        {
            Child c(ztBinPath("ztOffload"), card.args());
            ASSERT_NE(c.readUntil("[1/").find("[1/"), std::string::npos);
            if (f.during)
                f.during(card);
            EXPECT_EQ(c.wait(), f.status);
            const std::string out = c.readUntil("", 0);
            EXPECT_NE(out.find(f.says), std::string::npos) << out;
            countCopies(out, &copies);
        }
        if (f.after)
            f.after(card);
        EXPECT_EQ(card.markedWithoutCopy(), std::vector<std::string>());
        auto [status, out] = runOffload(card);
        EXPECT_EQ(status, 0) << out;
        countCopies(out, &copies);
        expectFinished(card, copies);
    }
}

TEST(OffloadFaults, FullDestinationStopsAndTheNextRunResumes)
{
    OffloadCard card(OffloadCard::photos(12, 200000, 300000, 6, 4 << 20));
    ASSERT_TRUE(card.server().ok()) << card.server().error();
    SmallDest dest(card.dest());
    std::map<std::string, int> copies;
    auto [status, out] = runOffload(card, dest.limit());
    EXPECT_EQ(status, 3) << out;
    EXPECT_NE(out.find("DEST is full"), std::string::npos) << out;
    EXPECT_LT(card.offloaded().size(), card.files().size());
    EXPECT_EQ(card.markedWithoutCopy(), std::vector<std::string>());
    countCopies(out, &copies);
    dest.grow();
    std::tie(status, out) = runOffload(card);
    EXPECT_EQ(status, 0) << out;
    countCopies(out, &copies);
    expectFinished(card, copies);
}

}  // namespace
