// GUMI lookups: file name to GUMI and parent, GUMI to file name, and the HTTP lookup, against a
// scripted peer (the server's side: mediadb_lookup_test).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbGumi.h"
#include "support/db_reply_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Header, content record with `flags`, GUMI of 0xAA bytes and parent of 0xBB bytes, cut to `bytes`.
Frame gumiAnswer(const PeerRequest &r, uint32_t flags, size_t bytes, uint32_t type = 4)
{
    Frame ids(16, 0xAA);
    ids.insert(ids.end(), 16, 0xBB);
    return sized(contentAnswer(r, type, flags, ids), bytes);
}

// A name answer: header, then the 20 bytes `names`.
Frame namesAnswer(const PeerRequest &r, const char (&names)[21], size_t bytes = 40)
{
    Frame f = frameOf(answerHeader(r));
    f.insert(f.end(), names, names + 20);
    return sized(f, bytes);
}

class DbGumiPeer : public DbPeerTest {};

}  // namespace

TEST_F(DbGumiPeer, GumiByNameFillsParentOnlyWhenFlaggedAndArrived)
{
    const struct {
        const char *name;
        uint32_t flags;
        size_t bytes;
        int result;
        uint8_t gumi, parent;
    } cases[] = {
        {"parent flagged", DB_MEDIA_FLAG_PARENT_GUMI, 128, 0, 0xAA, 0xBB},
        {"bit 0 clear", DB_MEDIA_FLAG_TR, 128, 0, 0xAA, 0},
        {"parent cut", DB_MEDIA_FLAG_PARENT_GUMI, 120, 0, 0xAA, 0},
        {"100 bytes", DB_MEDIA_FLAG_PARENT_GUMI, 100, 0, 0, 0},
        {"95 bytes", 0, 95, -1, 0xEE, 0xEE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler([&c](const PeerRequest &r) { return PeerAction::reply(gumiAnswer(r, c.flags, c.bytes)); });
        Bytes gumi(16, 0xEE), parent(16, 0xEE);
        EXPECT_EQ(c.result, dbGetGUMIByFileName(nullptr, &fs, gumi.data(), parent.data()));
        EXPECT_EQ(Bytes(16, c.gumi), gumi);
        EXPECT_EQ(Bytes(16, c.parent), parent);
    }
    expectFileRequest(peer.requests().at(0), DB_CMD_GET_GUMI_BY_FILE_NAME);
    IpcFaults faults;
    uint8_t gumi[16];
    EXPECT_EQ(-1, dbGetGUMIByFileName(nullptr, &fs, nullptr, gumi));
    EXPECT_EQ(-1, dbGetGUMIByFileName(nullptr, nullptr, gumi, gumi));
    EXPECT_EQ(0, faults.inits);
    faults.failSend = 1;
    EXPECT_EQ(-1, dbGetGUMIByFileName(nullptr, &fs, gumi, nullptr));
    answerAll(peer, [](const PeerRequest &r) { return gumiAnswer(r, 0, 128); });
    EXPECT_EQ(0, dbGetGUMIByFileName(nullptr, &fs, gumi, nullptr));  // the parent is optional
    EXPECT_EQ(faults.inits, faults.destroys);
}

TEST_F(DbGumiPeer, NameByGumiSendsTheGumiAndCopiesFixedWidthNames)
{
    const struct {
        const char *name;
        char wire[21];
        size_t bytes;
        int result;
        char out[21];
    } cases[] = {
        {"full width", "100ZTCAMZX010001.MP4", 40, 0, "100ZTCAMZX010001.MP4"},
        {"terminated early",
         {'1', '0', '0', 0, 'X', 'X', 'X', 'X', 'A', '.', 'J', 'P', 'G', 0, 'Y', 'Y'},
         40,
         0,
         {'1', '0', '0', 0, 0, 0, 0, 0, 'A', '.', 'J', 'P', 'G'}},
        {"39 bytes", "100ZTCAMZX010001.MP4", 39, -1, "~~~~~~~~~~~~~~~~~~~~"},
    };
    const Bytes gumi = {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler([&c](const PeerRequest &r) { return PeerAction::reply(namesAnswer(r, c.wire, c.bytes)); });
        char out[21];
        std::memset(out, '~', sizeof out);
        EXPECT_EQ(c.result, dbGetFileNameByGUMI(nullptr, gumi.data(), out));
        EXPECT_EQ(0, std::memcmp(c.out, out, 20));
        EXPECT_EQ('~', out[20]);
    }
    const PeerRequest r = peer.requests().at(0);  // the command itself: mediadb_faults_test
    EXPECT_EQ(gumi, Bytes(r.bytes.begin() + 12, r.bytes.end()));
    char out[20];
    EXPECT_EQ(-1, dbGetFileNameByGUMI(nullptr, nullptr, out));
}

TEST_F(DbGumiPeer, HttpLookupPointsIntoTheResponse)
{
    const struct {
        const char *name;
        uint32_t type, flags;
        size_t bytes;
        int http;
        bool gumi, parent;
    } cases[] = {
        {"with parent", 4, DB_MEDIA_FLAG_PARENT_GUMI, 128, 200, true, true},
        {"bit 10 only", 4, DB_MEDIA_FLAG_TR, 128, 200, true, false},
        {"100 bytes", 4, 0, 100, 200, true, false},
        {"not found", DB_CONTENT_TYPE_NOT_FOUND, 0, 128, 404, false, false},
        {"95 bytes", 4, 0, 95, 500, false, false},
    };
    OpenConnection c0;
    uint8_t *response = c0.response;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler(
            [&c](const PeerRequest &r) { return PeerAction::reply(gumiAnswer(r, c.flags, c.bytes, c.type)); });
        std::memset(response, 0xEE, DB_FRAME_MAX);
        db_content_info *ci = nullptr;
        uint8_t *gumi = nullptr, *parent = nullptr;
        EXPECT_EQ(c.http, getFileGUMIResponse(&c0.conn, "100ZTCAM", "ZX010001.MP4", response, &ci, &gumi, &parent));
        EXPECT_EQ(c.http == 200 ? reinterpret_cast<db_content_info *>(response + 20) : nullptr, ci);
        EXPECT_EQ(c.gumi ? response + 96 : nullptr, gumi);
        EXPECT_EQ(c.parent ? response + 112 : nullptr, parent);
        if (c.bytes == 100) {  // too short for the GUMIs: zeroed, not stale
            EXPECT_EQ(Bytes(32, 0), Bytes(response + 96, response + 128));
        } else if (c.gumi) {
            EXPECT_EQ(Bytes(16, 0xAA), Bytes(gumi, gumi + 16));
        }
        if (c.parent) {
            EXPECT_EQ(Bytes(16, 0xBB), Bytes(parent, parent + 16));
        }
    }
    expectFileRequest(peer.requests().at(0), DB_CMD_GET_GUMI_BY_FILE_NAME);
}
