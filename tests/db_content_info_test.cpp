// Content, group, video and extra information of one file: the query family and the response
// family against a scripted peer (the server's answers: mediadb_lookup_test).
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbContentInfo.h"
#include "support/db_reply_frames.h"
#include "support/server_process.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A video block announcing `count` highlights, followed by `sent` highlight words 10, 11, ...
Frame videoBlock(uint32_t count, uint32_t sent)
{
    Frame f = frameOf(db_video_specific_info{2, 1234, 4, 100, count, 1});
    for (uint32_t i = 0; i < sent; ++i)
        appendRecord(f, 10 + i);
    return f;
}

// A content answer of type 4 whose header claims `count` records.
Frame counted(const PeerRequest &r, uint32_t count)
{
    Frame f = frameOf(answerHeader(r, 0, count));
    return appendRecord(f, ListFrame::content(4, "ZX010001.MP4"));
}

// Bytes from, from + 1, ... (n of them).
Bytes counting(uint8_t from, uint8_t n)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), from);
    return b;
}

class DbContentPeer : public DbPeerTest {};

}  // namespace

TEST_F(DbContentPeer, BadArgumentsAndTransportFailures)
{
    IpcFaults faults;
    db_content_info ci;
    db_group_info gi;
    db_more_info mi;
    db_video_specific_info vi;
    EXPECT_EQ(-1, dbGetContentInfo(nullptr, nullptr, &ci));
    EXPECT_EQ(-1, dbGetContentInfo(nullptr, &fs, nullptr));
    EXPECT_EQ(-1, dbGetGroupContentInfo(nullptr, &fs, nullptr, &ci, nullptr, nullptr));
    EXPECT_EQ(-1, dbGetGroupContentInfo(nullptr, &fs, &gi, nullptr, nullptr, nullptr));
    EXPECT_EQ(-1, dbGetVideoSpecificInfo(nullptr, &fs, nullptr, &ci, nullptr, 0));
    EXPECT_EQ(-1, dbGetMoreInfo(nullptr, nullptr, &mi));
    EXPECT_EQ(0, faults.inits);  // refused before the channel opens
    faults.failInit = 1;
    EXPECT_EQ(-111, dbGetContentInfo(nullptr, &fs, &ci));
    faults.failSend = 2;
    EXPECT_EQ(-1, dbGetContentInfo(nullptr, &fs, &ci));
    EXPECT_EQ(-32, dbGetVideoSpecificInfo(nullptr, &fs, &vi, &ci, nullptr, 0));
    EXPECT_EQ(-1, dbGetContentInfo(nullptr, &fs, &ci));  // the peer hangs up
    EXPECT_EQ(faults.inits - 1, faults.destroys);        // every opened channel was closed
    EXPECT_TRUE(pauses.pauses.empty());                  // no retries in this family
}

TEST_F(DbContentPeer, ContentQueryChecksSizeAndCount)
{
    const ReplyCase cases[] = {
        {"95 bytes", [](const PeerRequest &r) { return sized(counted(r, 1), 95); }, -1},
        {"count 0", [](const PeerRequest &r) { return counted(r, 0); }, -1},
        {"count 3", [](const PeerRequest &r) { return counted(r, 3); }, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        IpcFaults faults;  // counts only
        answerAll(peer, c.reply);
        db_content_info ci{};
        EXPECT_EQ(c.result, dbGetContentInfo(nullptr, &fs, &ci));
        EXPECT_EQ(1, faults.destroys);
        EXPECT_EQ(c.result == 0 ? 4u : 0u, ci.content_type);
        EXPECT_EQ(c.result == 0 ? 1000u : 0u, uint64_t{ci.file_size});  // packed: compare a copy
    }
    expectFileRequest(peer.requests().at(0), DB_CMD_GET_CONTENT_INFO);
    db_file_spec shortNames = fileSpec("100", "A.JPG");
    db_content_info ci{};
    ASSERT_EQ(0, dbGetContentInfo(nullptr, &shortNames, &ci));
    const char padded[20] = {'1', '0', '0', 0, 0, 0, 0, 0, 'A', '.', 'J', 'P', 'G'};
    EXPECT_EQ(0, std::memcmp(peer.requests().back().bytes.data() + 12, padded, 20));
}

TEST_F(DbContentPeer, VideoQueryTypesAndHighlightCopies)
{
    const struct {
        const char *name;
        uint32_t type, announced, sent;
        int capacity, result;
        size_t copied;
    } cases[] = {
        {"photo", 4, 0, 0, 8, -1, 0},         {"type 12", 12, 2, 2, 8, 0, 2},
        {"capacity 4", 0, 10, 10, 4, 0, 4},   {"fewer arrived", 3, 5, 2, 8, 0, 2},
        {"no highlights", 14, 0, 0, 8, 0, 0}, {"negative capacity", 0, 3, 3, -2, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler([&c](const PeerRequest &r) {
            return PeerAction::reply(contentAnswer(r, c.type, 0, videoBlock(c.announced, c.sent)));
        });
        db_video_specific_info vi{};
        db_content_info ci{};
        std::vector<uint32_t> hl(9, 0xEEEEEEEE);
        EXPECT_EQ(c.result, dbGetVideoSpecificInfo(nullptr, &fs, &vi, &ci, hl.data(), c.capacity));
        for (size_t i = 0; i < hl.size(); ++i)
            EXPECT_EQ(i < c.copied ? 10 + i : 0xEEEEEEEE, hl[i]) << i;
        EXPECT_EQ(c.result == 0 ? c.announced : 0u, vi.highlight_count);
    }
}

TEST_F(DbContentPeer, GroupQueryCopiesTheBitmapBytesThatCoverTheMembers)
{
    const struct {
        const char *name;
        uint32_t type, first, last, missing, highlights;
        Bytes maps;
        int result;
        Bytes missingCopy, secondCopy;
    } cases[] = {
        {"photo", 4, 1, 20, 1, 0, {0xEF, 0xFF, 0xF0, 0}, -1, {}, {}},
        {"missing 1..20", 6, 1, 20, 1, 0, {0xEF, 0xFF, 0xF0, 0}, 0, {0xEF, 0xFF, 0xF0}, {}},
        {"both maps", 10, 1, 40, 2, 1, counting(1, 16), 0, counting(1, 5), counting(9, 5)},
        {"second only", 5, 3, 3, 0, 2, {0x80, 0, 0, 0}, 0, {}, {0x80}},
        {"map not sent", 8, 1, 20, 1, 0, {}, 0, {0, 0, 0}, {}},  // as the cleared buffer holds it
        {"second map cut", 6, 1, 40, 1, 1, counting(1, 9), 0, counting(1, 5), {9, 0, 0, 0, 0}},
        {"second map past the buffer", 6, 0, 7999, 1, 1, {}, -1, Bytes(1000, 0), {}},
        {"wrapped range", 2, 5, 4, 1, 0, {0xFF, 0xFF, 0xFF, 0xFF}, -1, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler([&c](const PeerRequest &r) {
            Frame f = frameOf(answerHeader(r));
            db_content_info ci = ListFrame::content(c.type, "ZSAB0001.JPG");
            ci.highlight_count = c.highlights;
            appendRecord(appendRecord(f, ci), db_group_info{77, c.first, c.last, c.missing, 9000});
            f.insert(f.end(), c.maps.begin(), c.maps.end());
            return PeerAction::reply(f);
        });
        db_group_info gi{};
        db_content_info ci{};
        Bytes missing(DB_GROUP_BITMAP_MAX, 0xEE), second(DB_GROUP_BITMAP_MAX, 0xEE);
        EXPECT_EQ(c.result, dbGetGroupContentInfo(nullptr, &fs, &gi, &ci, missing.data(), second.data()));
        auto expectCopy = [](const Bytes &buf, Bytes want) {
            want.resize(want.size() + 2, 0xEE);  // nothing beyond the bytes that cover the members
            EXPECT_EQ(want, Bytes(buf.begin(), buf.begin() + want.size()));
        };
        expectCopy(missing, c.missingCopy);
        expectCopy(second, c.secondCopy);
        if (c.result == 0) {
            EXPECT_EQ(c.last, gi.last_number);
        }
    }
}

TEST_F(DbContentPeer, ResponseFamilyMapsStatusSizeAndType)
{
    const struct {
        const char *name;
        uint32_t status, type;
        size_t bytes;
        int http;
        bool video;
    } cases[] = {
        {"139 bytes", 0, 0, 139, 500, false},
        {"140 bytes", 0, 0, 140, 200, true},
        {"not found", 0, DB_CONTENT_TYPE_NOT_FOUND, 96, 404, false},
        {"photo", 0, 4, 96, 200, true},
        {"95 bytes", 0, 4, 95, 500, false},
        {"status 2", 2, 0, 140, 503, false},
    };
    OpenConnection c0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        peer.setHandler([&c](const PeerRequest &r) {
            return PeerAction::reply(sized(contentAnswer(r, c.type, 0, videoBlock(5, 5), c.status), c.bytes));
        });
        db_content_info *ci = reinterpret_cast<db_content_info *>(1);
        db_video_specific_info *vi = reinterpret_cast<db_video_specific_info *>(1);
        EXPECT_EQ(c.http, getVideoSpecificInfoResponse(&c0.conn, "100ZTCAM", "ZX010001.MP4", c0.response, &ci, &vi));
        EXPECT_EQ(c.http == 200 ? reinterpret_cast<db_content_info *>(c0.response + 20) : nullptr, ci);
        EXPECT_EQ(c.video ? reinterpret_cast<db_video_specific_info *>(c0.response + 96) : nullptr, vi);
    }
    expectFileRequest(peer.requests().at(0), DB_CMD_GET_VIDEO_SPECIFIC_INFO);

    // Extra information: a refusal and a short frame are retried, a count above one is clamped.
    const struct {
        uint32_t status, count;
        size_t bytes;
        int http;
    } more[] = {{2, 1, 48, 503}, {0, 1, 47, 500}, {0, 2, 48, 200}};
    db_more_info *mi = nullptr;
    for (const auto &c : more) {
        peer.setHandler([&c](const PeerRequest &r) {
            Frame f = frameOf(answerHeader(r, c.status, c.count));
            return PeerAction::reply(sized(appendRecord(f, db_more_info{7, 8, 0, 1, 1, 0, 0}), c.bytes));
        });
        EXPECT_EQ(c.http, getMoreInfoResponse(&c0.conn, "100ZTCAM", "ZX010001.MP4", c0.response, &mi));
    }
    ASSERT_EQ(reinterpret_cast<db_more_info *>(c0.response + 20), mi);
    EXPECT_EQ(8, mi->height);
    EXPECT_EQ(1u, reinterpret_cast<db_response_header *>(c0.response)->count_returned);
    peer.setHandler([](const PeerRequest &) { return PeerAction::close(); });
    IpcFaults faults;
    EXPECT_EQ(500, getMoreInfoResponse(&c0.conn, "100ZTCAM", "ZX010001.MP4", c0.response, &mi));
    EXPECT_EQ(11, faults.sends);
    EXPECT_EQ(nullptr, mi);
}

TEST_F(DbContentPeer, MoreInfoAndChapteredDuration)
{
    answerAll(peer, [](const PeerRequest &r) {
        Frame f = frameOf(answerHeader(r));
        return appendRecord(f, db_more_info{1920, 1080, 60, 1, 1, 0, 0});
    });
    db_more_info mi{};
    EXPECT_EQ(0, dbGetMoreInfo(nullptr, &fs, &mi));
    EXPECT_EQ(1080, mi.height);
    expectFileRequest(peer.requests().at(0), DB_CMD_GET_MORE_INFO);
    answerAll(peer, [](const PeerRequest &r) { return sized(frameOf(answerHeader(r)), 47); });
    EXPECT_EQ(-1, dbGetMoreInfo(nullptr, &fs, &mi));
    uint32_t ms = 99;  // durations that arrive: DbListParse.GroupedVideoDurationSumsPresentMembers
    answerAll(peer, [](const PeerRequest &r) { return contentAnswer(r, DB_CONTENT_TYPE_NOT_FOUND, 0, {}, 4); });
    EXPECT_EQ(404, dbGetChapteredVideoDuration("100ZTCAM", "ZX029999.MP4", &ms));
    EXPECT_EQ(0u, ms);
    IpcFaults faults;
    faults.failInit = 1;
    ms = 99;
    EXPECT_EQ(-1, dbGetChapteredVideoDuration("100ZTCAM", "ZX020001.MP4", &ms));
    EXPECT_EQ(0u, ms);
}

// A group answer carries the second bitmap whenever the content record counts highlights, for
// video groups too; without it the client cannot tell the answer from a cut one.
TEST(DbContentServer, GroupedVideoWithHighlightsCarriesTheSecondBitmap)
{
    ServerProcess server(R"({"card_id":"X","media":[{"dir":"103ZTCAM","file":"ZXAA0001.MP4","type":1,
      "highlight_count":2,"video":{"highlights":[10,20]},"members":[{"file":"ZXAA0002.MP4"}],
      "group":{"group_number":1001,"first":1,"last":3,"missing":[3]}}]})");
    ASSERT_TRUE(server.ok()) << server.error();
    db_file_spec looping = fileSpec("103ZTCAM", "ZXAA0001.MP4");
    db_group_info gi{};
    db_content_info ci{};
    Bytes missing(DB_GROUP_BITMAP_MAX), second(DB_GROUP_BITMAP_MAX);
    EXPECT_EQ(0, dbGetGroupContentInfo(nullptr, &looping, &gi, &ci, missing.data(), second.data()));
    EXPECT_EQ(2u, ci.highlight_count);
    EXPECT_EQ(0xC0, missing[0]);  // members 1 and 2 present, 3 missing
}
