// The media database server against raw frames: histogram, bad frames, bad manifests and state
// files, and its failure paths (the control faults themselves: mediadb_faults_test).
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <fstream>

#include "libztMediaRTOSDB/client/dbStatus.h"
#include "mediadb/manifest.h"
#include "mediadb/media_card.h"
#include "platform/ztipc.h"
#include "tests/support/gcore_fixtures.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

const char kManifest[] = R"({"card_id":"CARD1","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"upload_status":3},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"upload_status":1,
  "members":[{"file":"ZX020002.MP4"},{"file":"ZX030002.MP4","upload_status":3}]},
 {"dir":"100ZTCAM","file":"ZP010003.JPG","type":4,"upload_status":31}]})";

const db_request_header kHistogramReq{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 42};

// A start that must fail: exit status 2 and one line naming `expect`.
void expectRefused(const std::vector<std::string> &args, const std::string &expect)
{
    std::string err;
    EXPECT_EQ(ServerProcess::runToExit(args, &err), 2) << args.back();
    EXPECT_NE(err.find(expect), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(MediadbServer, HistogramBadFramesBadManifestsAndBadStateFiles)
{
    const TempDir dir;
    const std::string state = dir.file("state.sqlite"), pristine = dir.file("pristine.sqlite");
    ServerProcess server(kManifest, {"--state", state});
    ASSERT_TRUE(server.ok()) << server.error();
    EXPECT_EQ(dbExchangeOne(&kHistogramReq, sizeof kHistogramReq).size(), sizeof(db_histogram_response));
    const db_histogram_response h = dbHistogram();
    EXPECT_EQ(h.header.status, 0u);
    EXPECT_EQ(h.histogram[3], 2u);  // the video and the member with its own state
    EXPECT_EQ(h.histogram[1], 2u);  // the chaptered entry and the member that inherits
    EXPECT_EQ(h.histogram[31], 1u);
    const uint8_t junk[] = {0x63, 0, 0, 0, 1};
    EXPECT_NE(dbRecordAt<db_response_header>(dbExchangeOne(junk, sizeof junk), 0).status, 0u);
    db_request_header unknown{77, 1, 5};
    const db_response_header u = dbRecordAt<db_response_header>(dbExchangeOne(&unknown, sizeof unknown), 0);
    EXPECT_NE(u.status, 0u);
    EXPECT_EQ(u.token, 5u);
    EXPECT_EQ(dbHistogram().histogram[31], 1u);

    const struct {
        const char *json, *expect;
    } kCases[] = {
        {"not json", "not valid JSON"},
        {R"({"media":[{"file":"ZX010001.MP4","type":0}]})", "field \"dir\": missing"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":15}]})", "\"type\": 15 is above 14"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"gumi":"12"}]})", "32 hex digits"},
        {R"({"media":[{"dir":"100ZTCAM","file":"ZB010001.JPG","type":5,"group":{"first":1,"last":4097}}]})",
         "spans more than 4096"},
    };
    std::string path = server.path("bad.json");
    for (const auto &c : kCases) {
        std::ofstream(path) << c.json;
        expectRefused({"--manifest", path}, c.expect);
    }
    // Too big to read whole: refused from its size (a sparse file) or as it streams (a device).
    std::filesystem::resize_file(path, MANIFEST_MAX_BYTES + 1);
    for (const std::string &big : {path, std::string("/dev/zero")})
        expectRefused({"--manifest", big}, "manifest " + big + ": ");

    // A state file is outside input like a manifest: each bad row is refused with exit 2 and one
    // line naming it, and the file is left exactly as it was.
    const struct {
        const char *sql, *expect;
    } kRows[] = {
        {"UPDATE file_status SET word = 99 WHERE file = 'ZX010001.MP4'",
         "file_status row \"100ZTCAM/ZX010001.MP4\" field \"word\": upload state 99 is above 31"},
        {"UPDATE file_status SET word = -1 WHERE file = 'ZX020002.MP4'", "ZX020002.MP4\" field \"word\""},
        {"INSERT INTO file_status VALUES('100ZTCAM', 'ZX099999.MP4', 0)", "ZX099999.MP4\" field \"file\""},
        {"UPDATE meta SET value = '1099511627776' WHERE key = 'session_id'", "meta row session_id"},
        {"UPDATE meta SET value = printf('%.300c', 'x') WHERE key = 'card_id'", "meta row card_id"},
        {"UPDATE meta SET value = 'a' || char(10) || 'b' WHERE key = 'version'", "\"a\\x0Ab\" is not"},
        {"INSERT INTO media SELECT 9, dir, file, record FROM media WHERE pos = 0", "is already listed by media[0]"},
        {"UPDATE media SET file = 'ZX010009.MP4' WHERE pos = 0", "does not match"},
        {"UPDATE media SET record = '{\"dir\":\"100ZTCAM\"}' WHERE pos = (SELECT pos FROM media ORDER BY pos LIMIT 1 "
         "OFFSET 1)",
         "media[1] field \"file\": missing"},
        {"INSERT INTO dir_listing VALUES('100', 0, 'A', 0, 0)", "dir_listing row \"100 0\" field \"dir\""},
    };
    server.stop();
    std::filesystem::copy_file(state, pristine);
    for (const auto &c : kRows) {
        std::filesystem::copy_file(pristine, state, std::filesystem::copy_options::overwrite_existing);
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(state.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK) << c.sql << sqlite3_errmsg(db);
        sqlite3_close(db);
        const std::string before = readFile(state);
        expectRefused({"--state", state}, c.expect);
        EXPECT_TRUE(before == readFile(state)) << c.sql;
    }
}

// Not in name order, so a restart that sorts instead of keeping the stored order shows.
const char kUnsorted[] = R"({"card_id":"CARD2","version":4,"session_id":6,"media":[
 {"dir":"101ZTCAM","file":"ZX010009.MP4","type":0,"upload_status":3},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"members":[{"file":"ZX020002.MP4"}]},
 {"dir":"100ZTCAM","file":"ZP010001.JPG","type":4,"upload_status":31}]})";
const char kAddedEntry[] = R"(,{"dir":"100ZTCAM","file":"ZP010005.JPG","type":4}]})";

std::vector<std::string> listed()
{
    std::string error;
    std::vector<std::string> keys = dbEntryKeys(dbListAll(2, 0, RTOS_DB_QUERY_VIDEOS | RTOS_DB_QUERY_PHOTOS, &error));
    EXPECT_EQ(error, "");
    return keys;
}

// The server's own failure paths, each through what a client sees.
TEST(MediadbServerFaults, FailurePathsAsClientsSeeThem)
{
    const struct {
        const char *name;
        void (*run)(ServerProcess &server, const std::string &state);
    } kCases[] = {
        {"store refuses writes",
         [](ServerProcess &server, const std::string &state) {
             uint32_t before = server.version();
             std::filesystem::create_directory(state + "-journal");  // no journal: no transaction
             EXPECT_EQ(dbWriteUploadWord("101ZTCAM", "ZX010009.MP4", 7), uint32_t(DB_STATUS_UNAVAILABLE));
             EXPECT_EQ(dbUploadWord("101ZTCAM", "ZX010009.MP4"), 3u);
             EXPECT_NE(server.log().find("101ZTCAM/ZX010009.MP4"), std::string::npos) << server.log();
             EXPECT_NE(server.ctl({"bump-version"}), 0);
             std::ofstream(server.path("manifest.json")) << std::string(kUnsorted, sizeof kUnsorted - 3) + kAddedEntry;
             EXPECT_NE(server.ctl({"rescan"}), 0);
             EXPECT_EQ(server.version(), before);
             EXPECT_EQ(listed().size(), 4u);  // the old card, chapters included
             std::filesystem::remove(state + "-journal");
             ASSERT_TRUE(server.restart(false)) << server.error();
             EXPECT_EQ(dbUploadWord("101ZTCAM", "ZX010009.MP4"), 3u);
             EXPECT_EQ(server.version(), before);
         }},
        {"a rescan of a changed card, and restarts from the state alone",
         [](ServerProcess &server, const std::string &) {
             const uint32_t before = server.version();
             ASSERT_EQ(server.ctl({"rescan"}), 0);
             EXPECT_EQ(server.version(), before);  // same files: same version
             std::ofstream(server.path("manifest.json")) << std::string(kUnsorted, sizeof kUnsorted - 3) + kAddedEntry;
             ASSERT_EQ(server.ctl({"rescan"}), 0);
             EXPECT_EQ(server.version(), 5u);
             ASSERT_TRUE(server.restart(false)) << server.error();
             EXPECT_EQ(server.version(), 5u);
             const std::vector<std::string> served = listed();
             EXPECT_EQ(served.back(), "100ZTCAM/ZP010005.JPG");
             ASSERT_EQ(dbSetCAHUploadStatus("100ZTCAM", "ZX020002.MP4", 9, 1), 0);
             ASSERT_EQ(server.ctl({"bump-version"}), 0);
             ASSERT_TRUE(server.restart(false)) << server.error();
             EXPECT_EQ(listed(), served);
             EXPECT_EQ(server.version(), 6u);  // the bump was committed
             EXPECT_EQ(dbUploadWord("100ZTCAM", "ZX020002.MP4"), 9u);
             EXPECT_EQ(dbUploadWord("100ZTCAM", "ZX010002.MP4"), 0u);
         }},
        {"a second server on the same store; faults; frame sizes; more connections than descriptors",
         [](ServerProcess &server, const std::string &state) {
             {
                 ServerProcess second(kUnsorted, {"--state", state});  // a channel directory of its own
                 EXPECT_FALSE(second.ok());
                 EXPECT_NE(second.error().find("exited with 2"), std::string::npos) << second.error();
                 EXPECT_EQ(std::count(second.error().begin(), second.error().end(), '\n'), 1) << second.error();
             }
             EXPECT_EQ(server.version(), 4u);
             auto statusOfNext = [] {
                 std::vector<Bytes> r = dbExchange(&kHistogramReq, sizeof kHistogramReq, 1, 300);
                 return r.empty() ? -1 : static_cast<int>(dbRecordAt<db_response_header>(r[0], 0).status);
             };
             ASSERT_EQ(server.ctl({"drop", "1"}), 0);
             EXPECT_EQ(statusOfNext(), -1);
             EXPECT_EQ(statusOfNext(), 0);
             ASSERT_EQ(server.ctl({"status", "2", "2"}), 0);
             EXPECT_EQ(statusOfNext(), 2);
             EXPECT_EQ(statusOfNext(), 2);
             EXPECT_EQ(statusOfNext(), 0);
             ASSERT_EQ(server.ctl({"token", "9"}), 0);
             EXPECT_EQ(dbHistogram().header.token, 9u);
             EXPECT_EQ(dbHistogram().header.token, 42u);
             rtosConnection_t c{};
             ASSERT_EQ(ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &c), 0);
             timeval tv{2, 0};
             setsockopt(c.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
             for (size_t size : {size_t{DB_FRAME_MAX} + 1, size_t{DB_FRAME_MAX}}) {
                 Bytes req(size);
                 std::memcpy(req.data(), &kHistogramReq, sizeof kHistogramReq);
                 // A raw send: the client's own refuses a frame over the limit.
                 ASSERT_EQ(send(c.fd, req.data(), req.size(), 0), static_cast<ssize_t>(size));
                 uint8_t reply[DB_FRAME_MAX];
                 ASSERT_GE(ztIpcReceive(&c, reply), DB_REPLY_RECORD_AT) << size << " bytes: no reply";
                 const db_response_header h =
                     dbRecordAt<db_response_header>(Bytes(reply, reply + DB_REPLY_RECORD_AT), 0);
                 EXPECT_EQ(h.status, size > DB_FRAME_MAX ? DB_STATUS_BAD_REQUEST : DB_STATUS_OK) << size;
             }
             ztIpcDestroy(&c);
             const rlimit low{40, 40};
             ASSERT_EQ(prlimit(server.pid(), RLIMIT_NOFILE, &low, nullptr), 0) << std::strerror(errno);
             std::vector<rtosConnection_t> clients(100);
             for (rtosConnection_t &client : clients)
                 ASSERT_EQ(ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &client), 0);
             const size_t logBefore = server.log().size();
             std::string out;
             for (int i = 0; i < 2; i++)  // the second after the spare descriptor was spent once
                 EXPECT_EQ(server.ctl({"version"}, &out), 0) << out;
             std::this_thread::sleep_for(std::chrono::milliseconds(300));
             EXPECT_LT(server.log().size() - logBefore, 1000u) << "accept failures must not flood the log";
             for (rtosConnection_t &client : clients)
                 ztIpcDestroy(&client);
             EXPECT_EQ(dbHistogram().header.status, 0u);  // served again once descriptors are free
         }},
        {"a store file emptied",
         [](ServerProcess &server, const std::string &state) {
             server.stop();
             std::filesystem::resize_file(state, 0);
             for (const std::vector<std::string> &args :
                  {std::vector<std::string>{"--state", state},
                   {"--manifest", server.path("manifest.json"), "--state", state}}) {
                 expectRefused(args, "");
                 EXPECT_EQ(std::filesystem::file_size(state), 0u);
             }
             ServerProcess fresh = ServerProcess::fromArgs(
                 {"--manifest", server.path("manifest.json"), "--state", state, "--fresh-state"});
             EXPECT_TRUE(fresh.ok()) << fresh.error();
         }},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        ServerProcess server(kUnsorted, {"--state", dir.file("state.sqlite")});
        ASSERT_TRUE(server.ok()) << server.error();
        c.run(server, dir.file("state.sqlite"));
    }
}

}  // namespace
