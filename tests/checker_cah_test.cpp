// The candidate list's core: reset, clearState, the packed key layout and matchHistogram against
// a scripted media database; the checker's queue close.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "cah/CAHMediaList.h"
#include "checker/ztWirelessOffloadManager_if.h"
#include "tests/support/cah_probe.h"
#include "ztMedia/dbProtocol.h"
#include "tests/support/scripted_peer.h"

namespace {

using Buckets = std::vector<std::pair<int, uint32_t>>;

Frame histogramFrame(const Buckets &buckets, uint32_t version = 5)
{
    db_histogram_response r{};
    r.header = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 0, DB_HISTOGRAM_BUCKETS, version, 0};
    for (auto &b : buckets)
        r.histogram[b.first] = b.second;
    return frameOf(r);
}

TEST(CAHMediaList, ResetRewindsOnlyTheHandOutAndClearStateKeepsTheVersion)
{
    CAHMediaList list, cleared;
    CAHMediaListProbe p{list}, c{cleared};
    list.reset();  // empty list: the cursor stays at the (empty) beginning
    EXPECT_TRUE(p.cursorAtBegin());
    p.populate();
    list.reset();
    EXPECT_TRUE(p.cursorAtBegin());
    EXPECT_FALSE(p.versionValid());
    EXPECT_EQ(p.version(), 77u);
    EXPECT_EQ(p.blocks().size(), 3u);
    EXPECT_EQ(p.spans().size(), 1u);

    c.populate();
    cleared.clearState();
    EXPECT_EQ(c.blocks().size(), 0u);
    EXPECT_EQ(c.spans().size(), 0u);
    EXPECT_TRUE(c.versionValid());
    EXPECT_EQ(c.version(), 77u);
}

class MatchHistogram : public ::testing::Test {
protected:
    ScriptedPeer peer;
    CAHMediaList list;
    CAHMediaListProbe probe{list};
    void SetUp() override { ASSERT_TRUE(peer.ok()) << peer.error(); }
};

TEST_F(MatchHistogram, MaskSelectsOnlyStatesZeroToFour)
{
    Buckets allBut03;
    for (int i = 0; i < 32; ++i)
        if (i != 0 && i != 3)
            allBut03.push_back({i, uint32_t(i + 1)});
    const struct {
        const char *name;
        Buckets buckets;
        uint32_t mask;
        int expected;
    } cases[] = {
        {"bucket 3, mask 9", {{3, 2}}, 9, 1},
        {"bucket 0, mask 9", {{0, 1}}, 9, 1},
        {"buckets 1, 2 and 4-31, mask 9", allBut03, 9, 0},
        {"bucket 5 only, all bits", {{5, 9}}, 0xFFFFFFFF, 0},
        {"bucket 31 only, all bits", {{31, 1}}, 0xFFFFFFFF, 0},
        {"bucket 4, mask bit 4", {{4, 1}}, 0x10, 1},
        {"bucket 3, mask 0", {{3, 1}}, 0, 0},
    };
    for (const auto &c : cases) {
        peer.reply(histogramFrame(c.buckets));
        EXPECT_EQ(list.matchHistogram(c.mask), c.expected) << c.name;
    }
    ASSERT_EQ(peer.requestCount(), std::size(cases));
    EXPECT_EQ(peer.requests()[0].word(2), probe.token());
}

TEST_F(MatchHistogram, ChangedVersionUnderAHeldOneFails)
{
    probe.holdVersion(4);
    peer.reply(histogramFrame({{3, 1}}, 5));
    EXPECT_EQ(list.matchHistogram(9), -1);
    EXPECT_EQ(probe.version(), 4u);  // the failed check records nothing
    peer.reply(histogramFrame({{3, 1}}, 4));
    EXPECT_EQ(list.matchHistogram(9), 1);
    peer.reply(Frame(19, 0));  // no version at all is not a change
    EXPECT_EQ(list.matchHistogram(9), 0);
    EXPECT_EQ(probe.version(), 4u);

    // Without a held version any version is recorded. The dump prints the counters as signed.
    CAHMediaList fresh;
    CAHMediaListProbe f{fresh};
    peer.reply(histogramFrame({{0, 7}, {31, 4000000000u}}, 99));
    testing::internal::CaptureStdout();
    EXPECT_EQ(fresh.matchHistogram(9), 1);
    std::string dump = "\nCAHMediaList::matchHistogram() histogram dump:\n";
    for (int i = 0; i < 32; ++i)
        dump += " h[" + std::to_string(i) + "]=" + (i == 0 ? "7" : i == 31 ? "-294967296" : "0") + " ";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), dump + "\n");
    EXPECT_EQ(f.version(), 99u);
    EXPECT_FALSE(f.versionValid());
}

TEST(MatchHistogramNoServer, UnreachableDatabaseFailsAndStillClearsTheKeys)
{
    ScriptedPeer peer("some_other_channel");  // a private, empty channel directory
    ASSERT_TRUE(peer.ok());
    CAHMediaList list;
    CAHMediaListProbe probe{list};
    probe.populate();
    testing::internal::CaptureStdout();
    EXPECT_EQ(list.matchHistogram(9), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no dump without a histogram";
    EXPECT_EQ(probe.blocks().size(), 0u);
    EXPECT_EQ(probe.spans().size(), 0u);
}

TEST(WomInterface, CloseOfMinusOneDoesNothing)
{
    errno = 0;
    ztWom_interface_close(-1);
    EXPECT_EQ(errno, 0) << "close was attempted: " << strerror(errno);
}

}  // namespace
