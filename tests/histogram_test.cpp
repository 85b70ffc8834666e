// The upload-status histogram query against a scripted database.
#include <algorithm>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbHistogram.h"
#include "support/db_reply_frames.h"

namespace {

constexpr uint32_t kUnset = 0xDEADBEEF;

// A histogram response cut to `bytes`, with counters 100 + i and the given status.
Frame histogramFrame(size_t bytes, uint32_t status)
{
    db_histogram_response r = {};
    r.header = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, status, 1, 77, 0x1234};
    for (uint32_t i = 0; i < DB_HISTOGRAM_BUCKETS; ++i)
        r.histogram[i] = 100 + i;
    Frame f = frameOf(r);
    f.resize(bytes);
    return f;
}

class Histogram : public DbPeerTest {
protected:
    int query()
    {
        version = kUnset;
        std::fill(std::begin(counters), std::end(counters), kUnset);
        return dbGetUploadStatusHistogram(0x1234, &version, counters);
    }
    // How many counters equal 100 + their index.
    int filled() const
    {
        int n = 0;
        for (uint32_t i = 0; i < DB_HISTOGRAM_BUCKETS; ++i)
            n += counters[i] == 100 + i;
        return n;
    }

    uint32_t version = kUnset;
    uint32_t counters[DB_HISTOGRAM_BUCKETS];
};

}  // namespace

TEST_F(Histogram, ResponseSizeAndStatusDecideWhatIsFilled)
{
    const struct {
        size_t bytes;
        uint32_t status;
        int filled;
        bool versionWritten;
        size_t pauses;
    } cases[] = {
        {148, 0, 32, true, 0},                         // whole histogram
        {160, 0, 32, true, 0},                         // trailing bytes ignored
        {100, 0, 20, true, 0},                         // missing counters read as 0
        {20, 0, 0, true, 0},                           // header only
        {19, 0, 0, false, 1},  {148, 2, 32, true, 1},  // a refusal is used anyway, after a pause
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        pauses.pauses.clear();
        peer.reply(histogramFrame(c.bytes, c.status));
        EXPECT_EQ(0, query());
        EXPECT_EQ(c.filled, filled());
        EXPECT_EQ(32 - c.filled, std::count(std::begin(counters), std::end(counters), 0u));
        EXPECT_EQ(c.versionWritten ? 77u : kUnset, version);
        EXPECT_EQ(c.pauses, pauses.pauses.size());
    }
    // One 12-byte request per query, each on its own connection, never retried.
    ASSERT_EQ(std::size(cases), peer.requestCount());
    EXPECT_EQ(static_cast<int>(std::size(cases)), peer.connections());
    PeerRequest r = peer.requests()[0];
    EXPECT_EQ(12u, r.bytes.size());
    EXPECT_EQ(10u, r.word(0));
    EXPECT_EQ(1u, r.word(1));
    EXPECT_EQ(0x1234u, r.word(2));
}

TEST_F(Histogram, FailuresLeaveTheOutputsAlone)
{
    EXPECT_EQ(-1, dbGetUploadStatusHistogram(1, nullptr, counters));
    EXPECT_EQ(-1, dbGetUploadStatusHistogram(1, &version, nullptr));
    IpcFaults faults;
    faults.failInit = 1;
    EXPECT_EQ(-1, query());
    EXPECT_EQ(0, faults.sends);
    EXPECT_EQ(0, faults.destroys);
    EXPECT_EQ(0u, peer.requestCount());
    faults.timeoutReceive = -1;  // a timed-out exchange is one attempt
    peer.setHandler([](const PeerRequest &) { return PeerAction::silence(); });
    EXPECT_EQ(-1, query());
    EXPECT_EQ(1, faults.sends);
    EXPECT_EQ(1, faults.receives);
    EXPECT_EQ(1, faults.destroys);
    EXPECT_EQ(kUnset, counters[0]);
}
