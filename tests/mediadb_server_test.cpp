// The media database server against raw frames: histogram, bad frames, bad manifests, control faults.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

const char kManifest[] = R"({"card_id":"CARD1","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"upload_status":3},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"upload_status":1,
  "members":[{"file":"ZX020002.MP4"},{"file":"ZX030002.MP4","upload_status":3}]},
 {"dir":"100ZTCAM","file":"ZP010003.JPG","type":4,"upload_status":31}]})";

const db_request_header kHistogramReq{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 42};

db_histogram_response histogram()
{
    Bytes r = dbExchangeOne(&kHistogramReq, sizeof kHistogramReq);
    EXPECT_EQ(r.size(), sizeof(db_histogram_response));
    return dbRecordAt<db_histogram_response>(r, 0);
}

class MediadbServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mServer.ok()) << mServer.error(); }
    ServerProcess mServer{kManifest};
};

TEST_F(MediadbServer, HistogramCountsEntriesAndMembers)
{
    db_histogram_response h = histogram();
    EXPECT_EQ(h.header.status, 0u);
    EXPECT_EQ(h.histogram[3], 2u);   // the video and the member with its own state
    EXPECT_EQ(h.histogram[1], 2u);   // the chaptered entry and the member that inherits
    EXPECT_EQ(h.histogram[31], 1u);
}

TEST_F(MediadbServer, GarbageFrameGetsErrorAndServerKeepsServing)
{
    const uint8_t junk[] = {0x63, 0, 0, 0, 1};
    EXPECT_NE(dbRecordAt<db_response_header>(dbExchangeOne(junk, sizeof junk), 0).status, 0u);
    db_request_header unknown{77, 1, 5};
    db_response_header h = dbRecordAt<db_response_header>(dbExchangeOne(&unknown, sizeof unknown), 0);
    EXPECT_NE(h.status, 0u);
    EXPECT_EQ(h.token, 5u);
    EXPECT_EQ(histogram().histogram[31], 1u);
}

TEST_F(MediadbServer, ControlFaultsReachTheClient)
{
    ASSERT_EQ(mServer.ctl({"status", "2"}), 0);
    EXPECT_EQ(histogram().header.status, 2u);
    ASSERT_EQ(mServer.ctl({"cut", "10"}), 0);
    EXPECT_EQ(dbExchangeOne(&kHistogramReq, sizeof kHistogramReq).size(), 10u);
    EXPECT_NE(mServer.ctl({"bogus"}), 0);
}

TEST(MediadbServerStart, BadManifestsAreRefusedWithOneLine)
{
    const struct {
        const char *json, *expect;
    } kCases[] = {
        {"not json", "not valid JSON"},
        {R"({"media":[{"file":"ZX010001.MP4","type":0}]})", "field \"dir\": missing"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":15}]})", "\"type\": 15 is above 14"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"gumi":"12"}]})", "32 hex digits"},
    };
    ServerProcess dir(kManifest);  // only for its private directory
    std::string path = dir.path("bad.json");
    for (const auto &c : kCases) {
        std::ofstream(path) << c.json;
        std::string err;
        EXPECT_EQ(ServerProcess::runToExit({"--manifest", path}, &err), 2) << c.json;
        EXPECT_NE(err.find(c.expect), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

}  // namespace
