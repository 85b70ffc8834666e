// The upload-status histogram query against a scripted database.
#include <algorithm>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/src/dbHistogram.h"
#include "support/klog_capture.h"
#include "support/scripted_peer.h"

namespace {

constexpr uint32_t kUnset = 0xDEADBEEF;

// A histogram response cut to `bytes`, with counters 100 + i and the given status and token.
Frame histogramFrame(size_t bytes, uint32_t status = 0, uint32_t token = 0x1234)
{
    db_histogram_response r = {};
    r.header = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, status, 1, 77, token};
    for (uint32_t i = 0; i < DB_HISTOGRAM_BUCKETS; ++i) r.histogram[i] = 100 + i;
    Frame f = frameOf(r);
    f.resize(bytes);
    return f;
}

class Histogram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok()) << peer.error();
        std::fill(std::begin(counters), std::end(counters), kUnset);
    }
    int query() { return dbGetUploadStatusHistogram(0x1234, &version, counters); }
    // How many counters equal 100 + their index, and how many are zero.
    int filled() const
    {
        int n = 0;
        for (uint32_t i = 0; i < DB_HISTOGRAM_BUCKETS; ++i) n += counters[i] == 100 + i;
        return n;
    }
    int zeros() const { return static_cast<int>(std::count(std::begin(counters), std::end(counters), 0u)); }

    ScriptedPeer peer;
    PauseRecorder pauses;
    uint32_t version = kUnset;
    uint32_t counters[DB_HISTOGRAM_BUCKETS];
};

}  // namespace

TEST_F(Histogram, SendsOneTwelveByteRequestOnItsOwnConnection)
{
    peer.reply(histogramFrame(148));
    ASSERT_EQ(0, query());
    ASSERT_EQ(1u, peer.requestCount());
    PeerRequest r = peer.requests()[0];
    EXPECT_EQ(12u, r.bytes.size());
    EXPECT_EQ(10u, r.word(0));
    EXPECT_EQ(1u, r.word(1));
    EXPECT_EQ(0x1234u, r.word(2));
    EXPECT_EQ(1, peer.connections());
}

TEST_F(Histogram, ResponseSizeDecidesWhatIsFilled)
{
    const struct {
        size_t bytes;
        int filled;
        bool versionWritten;
        size_t pauses;
    } cases[] = {
        {148, 32, true, 0},   // whole histogram
        {160, 32, true, 0},   // trailing bytes ignored
        {100, 20, true, 0},   // 20 counters arrived, the rest read as 0
        {20, 0, true, 0},     // header only
        {19, 0, false, 1},    // not even a header
        {1, 0, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        std::fill(std::begin(counters), std::end(counters), kUnset);
        version = kUnset;
        pauses.pauses.clear();
        peer.reply(histogramFrame(c.bytes));
        EXPECT_EQ(0, query());
        EXPECT_EQ(c.filled, filled());
        EXPECT_EQ(32 - c.filled, zeros());
        EXPECT_EQ(c.versionWritten ? 77u : kUnset, version);
        EXPECT_EQ(c.pauses, pauses.pauses.size());
    }
}

TEST_F(Histogram, ShortResponseIsReportedAndNotRetried)
{
    KlogCapture log(3);
    peer.reply(histogramFrame(19));
    EXPECT_EQ(0, query());
    EXPECT_EQ(1, log.count("19 bytes received, expecting 20, retrying\n")) << log.text();
    EXPECT_EQ(1u, peer.requestCount());
}

TEST_F(Histogram, ErrorStatusIsLoggedButCountersAreUsed)
{
    KlogCapture log(3);
    peer.reply(histogramFrame(148, 2));
    EXPECT_EQ(0, query());
    EXPECT_EQ(32, filled());
    EXPECT_EQ(1, log.count("error on IPC received, retrying, status 2\n")) << log.text();
    EXPECT_EQ(std::vector<unsigned>{100000u}, pauses.pauses);
}

TEST_F(Histogram, EchoedTokenIsNotCompared)
{
    KlogCapture log(5);
    peer.reply(histogramFrame(148, 0, 0x9999));
    EXPECT_EQ(0, query());
    EXPECT_EQ(32, filled());
    EXPECT_EQ(0, log.countContaining("Tokens"));
}

TEST_F(Histogram, HeadersAreLoggedAtLevelFour)
{
    KlogCapture log(4);
    peer.reply(histogramFrame(148));
    EXPECT_EQ(0, query());
    for (const char *line : {"Request: command_type 10", "         request_count 1", "         token 0x00001234",
                             "ResponseHeader: command_type 10", "                status 0",
                             "                count_returned 1", "                rtos_db_version 77",
                             "                token 0x00001234"})
        EXPECT_EQ(1, log.count(line)) << line << "\n" << log.text();
}

TEST_F(Histogram, TimedOutExchangeIsOneAttemptAndFails)
{
    KlogCapture log(2);
    IpcFaults faults;
    faults.timeoutReceive = -1;
    peer.setHandler([](const PeerRequest &) { return PeerAction::silence(); });
    EXPECT_EQ(-1, query());
    EXPECT_EQ(1, faults.sends);
    EXPECT_EQ(1, faults.receives);
    EXPECT_EQ(1, faults.destroys);
    EXPECT_EQ(1, log.count("RTOS transaction failed.\n")) << log.text();
    EXPECT_EQ(1, log.count("exhausted retries on IPC exchange, exiting\n"));
    EXPECT_EQ(kUnset, counters[0]);  // a failure leaves the outputs alone
}

TEST_F(Histogram, PeerHangingUpFails)
{
    peer.push(PeerAction::close());
    EXPECT_EQ(-1, query());
    EXPECT_EQ(kUnset, version);
}

TEST_F(Histogram, UnreachableDatabaseReturnsTheOpenResult)
{
    KlogCapture log(2);
    IpcFaults faults;
    faults.failInit = 1;
    EXPECT_EQ(-1, query());
    EXPECT_EQ(0, faults.sends);
    EXPECT_EQ(0, faults.destroys);
    EXPECT_EQ(1, log.count("Failed to ininialize IPC: -1\n")) << log.text();
}

TEST_F(Histogram, NullOutputsAreRefusedBeforeAnyExchange)
{
    KlogCapture log(2);
    EXPECT_EQ(-1, dbGetUploadStatusHistogram(1, nullptr, counters));
    EXPECT_EQ(-1, dbGetUploadStatusHistogram(1, &version, nullptr));
    EXPECT_EQ(0u, peer.requestCount());
    EXPECT_EQ(2, log.countAtLevel(2));
}
