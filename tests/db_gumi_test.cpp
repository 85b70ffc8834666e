// GUMI lookups: file name to GUMI and parent, GUMI to file name, and the HTTP lookup, against a
// scripted peer; both directions against the real server.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/src/dbGumi.h"
#include "support/db_reply_frames.h"
#include "support/klog_capture.h"
#include "support/server_process.h"

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

Bytes hexBytes(const char *hex)
{
    Bytes out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
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
    const PeerRequest r = peer.requests().at(0);
    ASSERT_EQ(32u, r.bytes.size());
    EXPECT_EQ(DB_CMD_GET_GUMI_BY_FILE_NAME, r.word(0));
    EXPECT_EQ(0, std::memcmp(r.bytes.data() + 12, "100ZTCAMZX010001.MP4", 20));
}

TEST_F(DbGumiPeer, GumiByNameRefusalsAndMessages)
{
    KlogCapture log(4);
    uint8_t gumi[16];
    EXPECT_EQ(-1, dbGetGUMIByFileName(nullptr, &fs, nullptr, gumi));
    EXPECT_EQ(-1, dbGetGUMIByFileName(nullptr, nullptr, gumi, gumi));
    EXPECT_EQ(2, log.countContaining("Invalid input: fs = "));
    EXPECT_EQ(0, peer.connections());
    IpcFaults faults;
    faults.failSend = 1;
    EXPECT_EQ(-1, dbGetGUMIByFileName(nullptr, &fs, gumi, nullptr));
    EXPECT_EQ(1, log.count(" error on IPC send -32\n")) << log.text();
    answerAll(peer, [](const PeerRequest &r) { return gumiAnswer(r, 0, 128); });
    EXPECT_EQ(0, dbGetGUMIByFileName(nullptr, &fs, gumi, nullptr));  // the parent is optional
    EXPECT_EQ(1, log.count("getContentInfo got 128 bytes\n"));
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
        {"terminated early", {'1', '0', '0', 0, 'X', 'X', 'X', 'X', 'A', '.', 'J', 'P', 'G', 0, 'Y', 'Y'}, 40, 0,
         {'1', '0', '0', 0, 0, 0, 0, 0, 'A', '.', 'J', 'P', 'G'}},
        {"39 bytes", "100ZTCAMZX010001.MP4", 39, -1, "~~~~~~~~~~~~~~~~~~~~"},
    };
    const Bytes gumi = hexBytes(kCardVideoGumi);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler([&c](const PeerRequest &r) { return PeerAction::reply(namesAnswer(r, c.wire, c.bytes)); });
        char out[21];
        std::memset(out, '~', sizeof out);
        EXPECT_EQ(c.result, dbGetFileNameByGUMI(nullptr, gumi.data(), out));
        EXPECT_EQ(0, std::memcmp(c.out, out, 20));
        EXPECT_EQ('~', out[20]);
    }
    const PeerRequest r = peer.requests().at(0);
    ASSERT_EQ(28u, r.bytes.size());
    EXPECT_EQ(DB_CMD_GET_FILE_NAME_BY_GUMI, r.word(0));
    EXPECT_EQ(1u, r.word(1));
    EXPECT_EQ(gumi, Bytes(r.bytes.begin() + 12, r.bytes.end()));

    KlogCapture log;
    char out[20];
    EXPECT_EQ(-1, dbGetFileNameByGUMI(nullptr, nullptr, out));
    EXPECT_EQ(1, log.countContaining("Invalid input: fs = 0x")) << log.text();  // the output comes first
}

TEST_F(DbGumiPeer, HttpLookupPointsIntoTheResponse)
{
    const struct {
        const char *name;
        uint32_t status, type, flags;
        size_t bytes;
        int http;
        bool gumi, parent;
        const char *message;
    } cases[] = {
        {"with parent", 0, 4, DB_MEDIA_FLAG_PARENT_GUMI, 128, 200, true, true, nullptr},
        {"bit 10 only", 0, 4, DB_MEDIA_FLAG_TR, 128, 200, true, false, nullptr},
        {"100 bytes", 0, 4, 0, 100, 200, true, false, "Insufficient response size (100), invalidating GUMIs\n"},
        {"not found", 0, DB_CONTENT_TYPE_NOT_FOUND, 0, 128, 404, false, false,
         "Invalid content type (-1), inferring FILE NOT_FOUND\n"},
        {"95 bytes", 0, 4, 0, 95, 500, false, false, "Invalid response size (95), discarding\n"},
        {"status 2", 2, 4, 0, 128, 503, false, false, nullptr},
    };
    rtosConnection_t conn{};
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        KlogCapture log(3);
        peer.setHandler([&c](const PeerRequest &r) {
            Frame f = gumiAnswer(r, c.flags, c.bytes, c.type);
            f[4] = static_cast<uint8_t>(c.status);
            return PeerAction::reply(f);
        });
        uint8_t response[DB_FRAME_MAX];
        std::memset(response, 0xEE, sizeof response);
        db_content_info *ci = nullptr;
        uint8_t *gumi = nullptr, *parent = nullptr;
        EXPECT_EQ(c.http, getFileGUMIResponse(&conn, "100ZTCAM", "ZX010001.MP4", response, &ci, &gumi, &parent));
        EXPECT_EQ(c.http == 200 ? reinterpret_cast<db_content_info *>(response + 20) : nullptr, ci);
        EXPECT_EQ(c.gumi ? response + 96 : nullptr, gumi);
        EXPECT_EQ(c.parent ? response + 112 : nullptr, parent);
        if (c.message) {
            EXPECT_EQ(1, log.count(c.message)) << log.text();
        }
        if (c.bytes == 100) {
            EXPECT_EQ(Bytes(32, 0), Bytes(response + 96, response + 128));
        } else if (c.gumi) {
            EXPECT_EQ(Bytes(16, 0xAA), Bytes(gumi, gumi + 16));
        }
        if (c.parent) {
            EXPECT_EQ(Bytes(16, 0xBB), Bytes(parent, parent + 16));
        }
    }
    rtosConnectionDtor(&conn);
    EXPECT_EQ(DB_CMD_GET_GUMI_BY_FILE_NAME, peer.requests().at(0).word(0));
}

TEST(DbGumiServer, LooksUpBothWays)
{
    ServerProcess server(smallCardJson());
    ASSERT_TRUE(server.ok()) << server.error();
    db_file_spec child = fileSpec("100ZTCAM", "ZX010002.MP4");
    Bytes gumi(16), parent(16);
    ASSERT_EQ(0, dbGetGUMIByFileName(nullptr, &child, gumi.data(), parent.data())) << server.log();
    EXPECT_EQ(hexBytes(kCardChildGumi), gumi);
    EXPECT_EQ(hexBytes(kCardVideoGumi), parent);

    const struct {
        Bytes gumi;
        const char *names;
    } lookups[] = {{gumi, "100ZTCAMZX010002.MP4"}, {parent, "100ZTCAMZX010001.MP4"}};
    for (const auto &l : lookups) {
        char out[20] = {};
        ASSERT_EQ(0, dbGetFileNameByGUMI(nullptr, l.gumi.data(), out));
        EXPECT_EQ(std::string(l.names), std::string(out, 20));
        db_file_spec back = fileSpec(std::string(out, 8).c_str(), std::string(out + 8, 12).c_str());
        Bytes again(16), againParent(16, 0xEE);
        ASSERT_EQ(0, dbGetGUMIByFileName(nullptr, &back, again.data(), againParent.data()));
        EXPECT_EQ(l.gumi, again);
    }
    db_file_spec video = fileSpec("100ZTCAM", "ZX010001.MP4");
    ASSERT_EQ(0, dbGetGUMIByFileName(nullptr, &video, gumi.data(), parent.data()));
    EXPECT_EQ(Bytes(16, 0), parent);  // no parent announced
    char out[20];
    EXPECT_EQ(-1, dbGetFileNameByGUMI(nullptr, Bytes(16, 0x5A).data(), out));

    rtosConnection_t conn{};
    ASSERT_EQ(0, rtosConnectionCtor(&conn));
    uint8_t response[DB_FRAME_MAX];
    db_content_info *ci = nullptr;
    uint8_t *g = nullptr, *p = nullptr;
    ASSERT_EQ(200, getFileGUMIResponse(&conn, "100ZTCAM", "ZX010002.MP4", response, &ci, &g, &p));
    EXPECT_EQ(12u, ci->content_type);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(hexBytes(kCardVideoGumi), Bytes(p, p + 16));
    EXPECT_EQ(404, getFileGUMIResponse(&conn, "100ZTCAM", "ZX019999.MP4", response, &ci, &g, &p));
    rtosConnectionDtor(&conn);
}
