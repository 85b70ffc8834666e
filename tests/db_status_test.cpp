// Upload and offload status writes: the merge rules, the raw write, the candidate-list write and
// the HTTP write against a scripted peer; writes read back from the real server.
#include <unistd.h>

#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/src/dbContentInfo.h"
#include "libztMediaRTOSDB/src/dbStatus.h"
#include "support/db_reply_frames.h"
#include "support/klog_capture.h"
#include "support/server_process.h"

namespace {

const char kDir[] = "100ZTCAM";
const char kFile[] = "ZX010001.MP4";

class DbStatusPeer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.ok()) << peer.error(); }
    // Content queries get the word 0x50003; writes get `writeStatus`.
    void answerReadsAndWrites()
    {
        answerAll(peer, [this](const PeerRequest &r) {
            return r.word(0) == DB_CMD_GET_CONTENT_INFO ? contentAnswer(r, 4)
                                                        : frameOf(answerHeader(r, writeStatus));
        });
    }
    uint32_t writtenWord(size_t index) const
    {
        const PeerRequest r = peer.requests().at(index);
        EXPECT_EQ(sizeof(db_status_write_request), r.bytes.size());
        db_status_write_request w{};
        std::memcpy(&w, r.bytes.data(), std::min(sizeof w, r.bytes.size()));
        EXPECT_EQ(DB_CMD_WRITE_UPLOAD_STATUS, w.header.command_type);
        EXPECT_EQ(1u, w.header.request_count);
        EXPECT_EQ(0, std::memcmp(w.dir_name, kDir, 8));
        EXPECT_EQ(0, std::memcmp(w.file_name, kFile, 12));
        return w.upload_status;
    }

    ScriptedPeer peer;
    PauseRecorder pauses;
    std::atomic<uint32_t> writeStatus{0};
};

}  // namespace

TEST_F(DbStatusPeer, MergeReplacesOneHalfAndKeepsTheOther)
{
    answerReadsAndWrites();  // current word: offload flags 5, upload state 3
    const struct {
        uint32_t value;
        bool isUpload, clear;
        uint32_t merged;
    } cases[] = {
        {7, true, false, 0x50007},       {7, true, true, 0x50007},
        {0x20007, true, false, 0x50007}, {2, false, false, 0x70003},
        {4, false, true, 0x10003},       {2, false, true, 0x50003},
        {0x10000, false, false, 0x50003}, {0x10001, false, true, 0x40003},
    };
    for (const auto &c : cases) {
        uint32_t value = c.value;
        EXPECT_EQ(0, getCurrUploadStatusAndMergeNewStatus(kDir, kFile, value, c.isUpload, c.clear));
        EXPECT_EQ(c.merged, value) << std::hex << c.value << " upload " << c.isUpload << " clear " << c.clear;
    }
    const PeerRequest r = peer.requests().at(0);
    ASSERT_EQ(sizeof(db_file_request), r.bytes.size());
    EXPECT_EQ(DB_CMD_GET_CONTENT_INFO, r.word(0));
    EXPECT_EQ(0, std::memcmp(r.bytes.data() + 12, "100ZTCAMZX010001.MP4", 20));
}

TEST_F(DbStatusPeer, FailedReadLeavesTheValue)
{
    KlogCapture log;
    uint32_t value = 9;
    EXPECT_EQ(-1, getCurrUploadStatusAndMergeNewStatus(kDir, kFile, value, true, false));
    EXPECT_EQ(9u, value);
    EXPECT_EQ(1, log.count("dbGetContentInfoFailed, ret = -1\n")) << log.text();
}

TEST_F(DbStatusPeer, RawWriteSendsTheWordAndReportsRefusalsAsSuccess)
{
    const struct {
        const char *name;
        Frame reply;
        const char *message;
    } cases[] = {
        {"accepted", frameOf(db_response_header{9, 0, 1, 1, 0xABCD}), nullptr},
        {"short", Frame(19, 0), "19 bytes received, expecting 20, retrying\n"},
        {"refused", frameOf(db_response_header{9, 2, 0, 1, 0xABCD}),
         "error on IPC received, retrying, status 2\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        KlogCapture log(3);
        pauses.pauses.clear();
        peer.reply(c.reply);
        EXPECT_EQ(0, dbSetUploadStatusRawBits(kDir, kFile, 0x40011, 0xABCD));
        EXPECT_EQ(0x40011u, writtenWord(peer.requestCount() - 1));
        EXPECT_EQ(0xABCDu, peer.requests().back().word(2));
        EXPECT_EQ(c.message ? 1u : 0u, pauses.pauses.size());
        if (c.message) {
            EXPECT_EQ(1, log.count(c.message)) << log.text();
        }
        EXPECT_EQ(0, log.countAtLevel(2)) << log.text();
    }
}

TEST_F(DbStatusPeer, RawWriteReturnsTransportFailures)
{
    KlogCapture log;
    EXPECT_EQ(-1, dbSetUploadStatusRawBits(kDir, kFile, 1, 2));  // the peer hangs up every time
    EXPECT_EQ(1, log.count("RTOS transaction failed.\n")) << log.text();
    EXPECT_EQ(11u, pauses.pauses.size());
    IpcFaults faults;
    faults.failInit = 1;
    EXPECT_EQ(-1, dbSetUploadStatusRawBits(kDir, kFile, 1, 2));
    EXPECT_EQ(1, log.count("Failed to ininialize IPC: -1\n")) << log.text();
    EXPECT_EQ(0, faults.sends);
}

TEST_F(DbStatusPeer, CandidateWriteMergesThenWritesWithTheCallersToken)
{
    answerReadsAndWrites();
    EXPECT_EQ(0, dbSetCAHUploadStatus(kDir, kFile, 31, 0x77));
    ASSERT_EQ(2u, peer.requestCount());
    EXPECT_EQ(DB_CMD_GET_CONTENT_INFO, peer.requests()[0].word(0));
    EXPECT_EQ(0x5001Fu, writtenWord(1));
    EXPECT_EQ(0x77u, peer.requests()[1].word(2));
}

TEST_F(DbStatusPeer, CandidateWriteRefusesBeforeSending)
{
    KlogCapture log;
    const struct {
        const char *dir, *file;
        uint32_t state;
    } cases[] = {{kDir, kFile, 32}, {"100ZTCA", kFile, 1}, {"100ZTCAMX", kFile, 1},
                 {kDir, "ZX010001.MP", 1}, {kDir, "ZX010001.MP4X", 1}};
    for (const auto &c : cases)
        EXPECT_EQ(-1, dbSetCAHUploadStatus(c.dir, c.file, c.state, 1)) << c.dir << "/" << c.file;
    EXPECT_EQ(0u, peer.requestCount());
    EXPECT_EQ(1, log.count("Out of Bounds upload status value = 00000020\n")) << log.text();
    EXPECT_EQ(1, static_cast<int>(log.lines().size()));

    EXPECT_EQ(-1, dbSetCAHUploadStatus(kDir, kFile, 3, 1));  // the read fails: nothing written
    EXPECT_EQ(1, log.count("getCurrUploadStatusAndMergeNewStatus FAILED\n"));
    ASSERT_EQ(1u, peer.requestCount());
    EXPECT_EQ(DB_CMD_GET_CONTENT_INFO, peer.requests()[0].word(0));
}

TEST_F(DbStatusPeer, HttpWriteRefusesValuesOutOfRangeAndKeepsTheConnection)
{
    KlogCapture log;
    rtosConnection_t conn{};
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    const int fd = conn.fd;
    uint8_t response[DB_FRAME_MAX];
    EXPECT_EQ(400, getWriteUploadStatusResponse(&conn, kDir, kFile, response, 0x10000, false, false));
    EXPECT_EQ(400, getWriteUploadStatusResponse(&conn, kDir, kFile, response, 32, true, false));
    EXPECT_EQ(fd, conn.fd);
    EXPECT_EQ(1, log.count("Out of Bounds upload / offload status value = 00010000, isUpload = false\n"));
    EXPECT_EQ(1, log.count("Out of Bounds upload / offload status value = 00000020, isUpload = true\n"));
    rtosConnectionDtor(&conn);
    EXPECT_EQ(0u, peer.requestCount());
}

TEST_F(DbStatusPeer, HttpWriteMapsTheStatusAndReopensTheConnection)
{
    answerReadsAndWrites();
    const struct {
        uint32_t status;
        int http;
        bool logged;
    } cases[] = {{0, 200, false}, {1, 503, false}, {2, 503, false},
                 {3, 404, true},  {4, 404, false}, {5, 500, true}};
    for (const auto &c : cases) {
        KlogCapture log(5);
        writeStatus = c.status;
        rtosConnection_t conn{};
        ASSERT_EQ(0, rtosConnectionCtor(&conn));
        uint8_t response[DB_FRAME_MAX];
        EXPECT_EQ(c.http, getWriteUploadStatusResponse(&conn, kDir, kFile, response, 2, false, false));
        EXPECT_GT(conn.fd, 0) << "status " << c.status;
        EXPECT_EQ(0x70003u, writtenWord(peer.requestCount() - 1));
        const std::string exiting = "error on IPC received, exiting, status " + std::to_string(c.status) + "\n";
        EXPECT_EQ(c.logged ? 1 : 0, log.count(exiting)) << log.text();
        EXPECT_EQ(1, log.count("Request: command_type 9"));
        EXPECT_EQ(0, log.countContaining("Tokens don't match"));
        rtosConnectionDtor(&conn);
    }
}

TEST_F(DbStatusPeer, HttpWriteLogsTokenMismatchAndClampsTheCount)
{
    KlogCapture log(3);
    answerAll(peer, [](const PeerRequest &r) {
        if (r.word(0) == DB_CMD_GET_CONTENT_INFO) return contentAnswer(r, 4);
        db_response_header h = answerHeader(r, 0, 3);
        h.token += 1;
        return frameOf(h);
    });
    rtosConnection_t conn{};
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    uint8_t response[DB_FRAME_MAX];
    EXPECT_EQ(200, getWriteUploadStatusResponse(&conn, kDir, kFile, response, 4, false, true));
    EXPECT_EQ(0x10003u, writtenWord(peer.requestCount() - 1));
    EXPECT_EQ(1, log.count("command 9 requested 1, response returned 3, setting response returned to 1\n"));
    EXPECT_EQ(1, log.countContaining("Tokens don't match"));
    db_response_header h;
    std::memcpy(&h, response, sizeof h);
    EXPECT_EQ(1u, h.count_returned);
    rtosConnectionDtor(&conn);
}

TEST_F(DbStatusPeer, HttpWriteFailuresLeaveTheConnectionClosed)
{
    KlogCapture log;
    uint8_t response[DB_FRAME_MAX];
    rtosConnection_t conn{};
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    EXPECT_EQ(500, getWriteUploadStatusResponse(&conn, kDir, kFile, response, 3, true, false));
    EXPECT_EQ(0, conn.fd);
    EXPECT_EQ(1, log.count("getCurrUploadStatusAndMergeNewStatus FAILED\n")) << log.text();

    // The read succeeds, then the channel disappears before the connection is reopened.
    const std::string socketPath = peer.dir() + "/rtos_media_db";
    answerAll(peer, [socketPath](const PeerRequest &r) {
        unlink(socketPath.c_str());
        return contentAnswer(r, 4);
    });
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    EXPECT_EQ(500, getWriteUploadStatusResponse(&conn, kDir, kFile, response, 3, true, false));
    EXPECT_EQ(0, conn.fd);
    EXPECT_EQ(1, log.count("rtosConnectionCtor ret < 0")) << log.text();
}

TEST(DbStatusServer, WritesAreReadBack)
{
    ServerProcess server(smallCardJson());
    ASSERT_TRUE(server.ok()) << server.error();
    auto wordOf = [](const char *dir, const char *file) {
        db_file_spec fs = fileSpec(dir, file);
        db_content_info ci{};
        EXPECT_EQ(0, dbGetContentInfo(nullptr, &fs, &ci)) << file;
        return ci.upload_status;
    };
    EXPECT_EQ(0x50003u, wordOf(kDir, kFile));
    EXPECT_EQ(0, dbSetCAHUploadStatus(kDir, kFile, 7, 0x1234));
    EXPECT_EQ(0x50007u, wordOf(kDir, kFile));

    rtosConnection_t conn{};
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    uint8_t response[DB_FRAME_MAX];
    EXPECT_EQ(200, getWriteUploadStatusResponse(&conn, kDir, kFile, response, OFFLOAD_PC >> 16, false, false));
    EXPECT_EQ(0x70007u, wordOf(kDir, kFile));
    EXPECT_EQ(200, getWriteUploadStatusResponse(&conn, kDir, kFile, response, OFFLOAD_OTHER >> 16, false, true));
    EXPECT_EQ(0x30007u, wordOf(kDir, kFile));

    // A chapter's word is its own; a state out of range is refused by the server, unchanged.
    EXPECT_EQ(0, dbSetCAHUploadStatus("101ZTCAM", "ZX020123.MP4", 9, 1));
    EXPECT_EQ(9u, wordOf("101ZTCAM", "ZX020123.MP4"));
    EXPECT_EQ(0u, wordOf("101ZTCAM", "ZX010123.MP4"));
    EXPECT_EQ(0, dbSetUploadStatusRawBits(kDir, kFile, 40, 1));
    EXPECT_EQ(0x30007u, wordOf(kDir, kFile));

    EXPECT_EQ(500, getWriteUploadStatusResponse(&conn, kDir, "ZX019999.MP4", response, 1, true, false));
    EXPECT_EQ(0, conn.fd);  // closed by the failed merge
}
