// Upload and offload status writes: the merge rules, the raw write, the candidate-list write and
// the HTTP write against a scripted peer; the real server refusing a state out of range.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbContentInfo.h"
#include "libztMediaRTOSDB/client/dbStatus.h"
#include "support/db_reply_frames.h"
#include "support/server_process.h"

namespace {

const char kDir[] = "100ZTCAM";
const char kFile[] = "ZX010001.MP4";

class DbStatusPeer : public DbPeerTest {
protected:
    // Content queries get the word 0x50003; writes are accepted.
    void answerReadsAndWrites()
    {
        answerAll(peer, [this](const PeerRequest &r) {
            return r.word(0) == DB_CMD_GET_CONTENT_INFO ? contentAnswer(r, 4) : frameOf(answerHeader(r));
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
        {7, true, false, 0x50007},        {7, true, true, 0x50007},        {0x20007, true, false, 0x50007},
        {2, false, false, 0x70003},       {4, false, true, 0x10003},       {2, false, true, 0x50003},
        {0x10000, false, false, 0x50003}, {0x10001, false, true, 0x40003},
    };
    for (const auto &c : cases) {
        uint32_t value = c.value;
        EXPECT_EQ(0, getCurrUploadStatusAndMergeNewStatus(kDir, kFile, value, c.isUpload, c.clear));
        EXPECT_EQ(c.merged, value) << std::hex << c.value << " upload " << c.isUpload << " clear " << c.clear;
    }
    expectFileRequest(peer.requests().at(0), DB_CMD_GET_CONTENT_INFO);
    peer.setHandler(nullptr);  // the read fails: the value stays
    uint32_t value = 9;
    EXPECT_EQ(-1, getCurrUploadStatusAndMergeNewStatus(kDir, kFile, value, true, false));
    EXPECT_EQ(9u, value);
}

TEST_F(DbStatusPeer, RawWriteReportsRefusalsAsSuccessAndTransportFailures)
{
    const struct {
        const char *name;
        Frame reply;
        bool paused;  // a short or refused reply is noted after a pause
    } cases[] = {
        {"accepted", frameOf(db_response_header{9, 0, 1, 1, 0xABCD}), false},
        {"short", Frame(19, 0), true},
        {"refused", frameOf(db_response_header{9, 2, 0, 1, 0xABCD}), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        pauses.pauses.clear();
        peer.reply(c.reply);
        EXPECT_EQ(0, dbSetUploadStatusRawBits(kDir, kFile, 0x40011, 0xABCD));
        EXPECT_EQ(0x40011u, writtenWord(peer.requestCount() - 1));
        EXPECT_EQ(0xABCDu, peer.requests().back().word(2));
        EXPECT_EQ(c.paused ? 1u : 0u, pauses.pauses.size());
    }
    pauses.pauses.clear();
    EXPECT_EQ(-1, dbSetUploadStatusRawBits(kDir, kFile, 1, 2));  // the peer hangs up every time
    EXPECT_EQ(11u, pauses.pauses.size());
    IpcFaults faults;
    faults.failInit = 1;
    EXPECT_EQ(-1, dbSetUploadStatusRawBits(kDir, kFile, 1, 2));
    EXPECT_EQ(0, faults.sends);
}

TEST_F(DbStatusPeer, CandidateWriteChecksThenMergesThenWrites)
{
    const struct {
        const char *dir, *file;
        uint32_t state;
    } cases[] = {{kDir, kFile, 32}, {"100ZTCA", kFile, 1}, {kDir, "ZX010001.MP4X", 1}};
    for (const auto &c : cases)
        EXPECT_EQ(-1, dbSetCAHUploadStatus(c.dir, c.file, c.state, 1)) << c.dir << "/" << c.file;
    EXPECT_EQ(0u, peer.requestCount());
    EXPECT_EQ(-1, dbSetCAHUploadStatus(kDir, kFile, 3, 1));  // the read fails: nothing written
    ASSERT_EQ(1u, peer.requestCount());

    answerReadsAndWrites();
    EXPECT_EQ(0, dbSetCAHUploadStatus(kDir, kFile, 31, 0x77));
    ASSERT_EQ(3u, peer.requestCount());
    EXPECT_EQ(DB_CMD_GET_CONTENT_INFO, peer.requests()[1].word(0));
    EXPECT_EQ(0x5001Fu, writtenWord(2));
    EXPECT_EQ(0x77u, peer.requests()[2].word(2));
}

TEST_F(DbStatusPeer, HttpWriteMapsTheStatusAndReopensTheConnection)
{
    const struct {
        uint32_t status, count;
        int http;
    } cases[] = {{0, 1, 200}, {2, 1, 503}, {3, 1, 404}, {4, 1, 404}, {5, 1, 500}, {0, 2, 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        answerAll(peer, [&c](const PeerRequest &r) {
            if (r.word(0) == DB_CMD_GET_CONTENT_INFO)
                return contentAnswer(r, 4);
            return frameOf(answerHeader(r, c.status, c.count));
        });
        OpenConnection c0;
        EXPECT_EQ(c.http, getWriteUploadStatusResponse(&c0.conn, kDir, kFile, c0.response, 2, false, false));
        EXPECT_GT(c0.conn.fd, 0);
        EXPECT_EQ(0x70003u, writtenWord(peer.requestCount() - 1));
        EXPECT_EQ(1u, reinterpret_cast<db_response_header *>(c0.response)->count_returned);
    }
    OpenConnection c0;  // clearing a flag
    EXPECT_EQ(200, getWriteUploadStatusResponse(&c0.conn, kDir, kFile, c0.response, 4, false, true));
    EXPECT_EQ(0x10003u, writtenWord(peer.requestCount() - 1));
}

// Values out of range are refused before anything is sent and keep the connection; failures
// after that leave it closed.
TEST_F(DbStatusPeer, HttpWriteRefusalsAndFailures)
{
    OpenConnection c0;
    const int fd = c0.conn.fd;
    EXPECT_EQ(400, getWriteUploadStatusResponse(&c0.conn, kDir, kFile, c0.response, 0x10000, false, false));
    EXPECT_EQ(400, getWriteUploadStatusResponse(&c0.conn, kDir, kFile, c0.response, 32, true, false));
    EXPECT_EQ(fd, c0.conn.fd);
    EXPECT_EQ(0u, peer.requestCount());
    EXPECT_EQ(500, getWriteUploadStatusResponse(&c0.conn, kDir, kFile, c0.response, 3, true, false));
    EXPECT_EQ(0, c0.conn.fd);

    // The read succeeds, then the channel disappears before the connection is reopened.
    const std::string socketPath = peer.dir() + "/rtos_media_db";
    answerAll(peer, [socketPath](const PeerRequest &r) {
        unlink(socketPath.c_str());
        return contentAnswer(r, 4);
    });
    ASSERT_EQ(0, rtosConnectionCtor(&c0.conn));
    EXPECT_EQ(500, getWriteUploadStatusResponse(&c0.conn, kDir, kFile, c0.response, 3, true, false));
    EXPECT_EQ(0, c0.conn.fd);
}

// The server refuses a state out of range itself (the raw write reports refusals as success); the
// word stays. Writes read back through the server: mediadb_server_test and media_responders_test.
TEST(DbStatusServer, AStateOutOfRangeIsRefusedAndTheWordStays)
{
    ServerProcess server(R"({"card_id":"X","media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,
      "upload_status":327683}]})");
    ASSERT_TRUE(server.ok()) << server.error();
    EXPECT_EQ(0, dbSetUploadStatusRawBits(kDir, kFile, 40, 1));
    db_file_spec fs = fileSpec(kDir, kFile);
    db_content_info ci{};
    ASSERT_EQ(0, dbGetContentInfo(nullptr, &fs, &ci));
    EXPECT_EQ(0x50003u, ci.upload_status);
}
