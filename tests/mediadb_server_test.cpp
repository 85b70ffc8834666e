// The media database server against raw frames: histogram, bad frames, bad manifests, restarts.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "libztMediaRTOSDB/src/dbRecords.h"
#include "platform/ztipc.h"
#include "tests/support/server_process.h"

namespace {

const char kManifest[] = R"({"card_id":"CARD1","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"upload_status":3},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"upload_status":1,
  "members":[{"file":"ZX020002.MP4"},{"file":"ZX030002.MP4","upload_status":3}]},
 {"dir":"100ZTCAM","file":"ZP010003.JPG","type":4,"upload_status":31}]})";

// Sends one frame and returns the first reply frame (empty on failure).
std::vector<uint8_t> exchange(const void *req, size_t len)
{
    rtosConnection_t c{};
    if (ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &c) < 0)
        return {};
    std::vector<uint8_t> buf(DB_FRAME_MAX);
    int n = ztIpcSend(&c, req, len) < 0 ? -1 : ztIpcReceive(&c, buf.data());
    ztIpcDestroy(&c);
    buf.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return buf;
}

db_histogram_response histogram()
{
    db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 42};
    std::vector<uint8_t> r = exchange(&req, sizeof req);
    db_histogram_response h{};
    EXPECT_EQ(r.size(), sizeof h);
    std::memcpy(&h, r.data(), std::min(r.size(), sizeof h));
    return h;
}

TEST(MediadbServer, HistogramCountsEntriesAndMembers)
{
    ServerProcess server(kManifest);
    ASSERT_TRUE(server.ok()) << server.error();
    db_histogram_response h = histogram();
    EXPECT_EQ(h.header.status, 0u);
    EXPECT_EQ(h.histogram[3], 2u);   // the video and the member with its own state
    EXPECT_EQ(h.histogram[1], 2u);   // the chaptered entry and the member that inherits
    EXPECT_EQ(h.histogram[31], 1u);
}

TEST(MediadbServer, GarbageFrameGetsErrorAndServerKeepsServing)
{
    ServerProcess server(kManifest);
    ASSERT_TRUE(server.ok()) << server.error();
    const uint8_t junk[] = {0x63, 0, 0, 0, 1};
    std::vector<uint8_t> r = exchange(junk, sizeof junk);
    ASSERT_GE(r.size(), sizeof(db_response_header));
    db_response_header h;
    std::memcpy(&h, r.data(), sizeof h);
    EXPECT_NE(h.status, 0u);
    db_request_header unknown{77, 1, 5};
    r = exchange(&unknown, sizeof unknown);
    ASSERT_GE(r.size(), sizeof(db_response_header));
    std::memcpy(&h, r.data(), sizeof h);
    EXPECT_NE(h.status, 0u);
    EXPECT_EQ(h.token, 5u);
    EXPECT_EQ(histogram().histogram[31], 1u);
}

TEST(MediadbServer, StatusWriteSurvivesRestart)
{
    char tmpl[] = "/tmp/ztmediadb-state-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    std::string state = std::string(tmpl) + "/s.sqlite";
    {
        ServerProcess server(kManifest, {"--state", state});
        ASSERT_TRUE(server.ok()) << server.error();
        db_status_write_request w{{DB_CMD_WRITE_UPLOAD_STATUS, 1, 9}, {}, {}, 7};
        std::memcpy(w.dir_name, "100ZTCAM", 8);
        std::memcpy(w.file_name, "ZP010003.JPG", 12);
        std::vector<uint8_t> r = exchange(&w, sizeof w);
        ASSERT_GE(r.size(), sizeof(db_response_header));
        EXPECT_EQ(r[4], 0);
        ASSERT_TRUE(server.restart()) << server.error();
        db_histogram_response h = histogram();
        EXPECT_EQ(h.histogram[31], 0u);
        EXPECT_EQ(h.histogram[7], 1u);
    }
    unlink(state.c_str());
    rmdir(tmpl);
}

TEST(MediadbServer, BadManifestsAreRefusedWithOneLine)
{
    const struct {
        const char *json, *expect;
    } kCases[] = {
        {"not json", "not valid JSON"},
        {R"({"media":[{"file":"ZX010001.MP4","type":0}]})", "field \"dir\": missing"},
        {R"({"media":[{"dir":"100ZTCA","file":"ZX010001.MP4","type":0}]})", "not 8 characters"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":15}]})", "\"type\": 15 is above 14"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"upload_status":32}]})", "above 31"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"gumi":"12"}]})", "32 hex digits"},
    };
    char tmpl[] = "/tmp/ztmediadb-bad-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    std::string path = std::string(tmpl) + "/m.json";
    for (const auto &c : kCases) {
        std::ofstream(path) << c.json;
        std::string err;
        EXPECT_EQ(ServerProcess::runToExit({"--manifest", path}, &err), 2) << c.json;
        EXPECT_NE(err.find(c.expect), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    unlink(path.c_str());
    rmdir(tmpl);
}

TEST(MediadbServer, ControlFaultsReachTheClient)
{
    ServerProcess server(kManifest);
    ASSERT_TRUE(server.ok()) << server.error();
    ASSERT_EQ(server.ctl({"status", "2"}), 0);
    db_histogram_response h = histogram();
    EXPECT_EQ(h.header.status, 2u);
    ASSERT_EQ(server.ctl({"cut", "10"}), 0);
    db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 42};
    EXPECT_EQ(exchange(&req, sizeof req).size(), 10u);
    EXPECT_NE(server.ctl({"bogus"}), 0);
}

}  // namespace
