// List queries and the list-response parser: failure paths against scripted bytes and a scripted
// peer (the server's pages: mediadb_list_test).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbList.h"
#include "support/db_list_frames.h"
#include "support/scripted_peer.h"

namespace {

struct Seen {
    std::vector<cah_item_s> items;
    std::vector<std::string> gumis, files;
};
void onItem(void *ctx, cah_item_s *item)
{
    auto *s = static_cast<Seen *>(ctx);
    s->items.push_back(*item);
    s->gumis.push_back(item->gumi ? item->gumi : "-");
}
void onFile(void *ctx, char *dir, char *file)
{
    static_cast<Seen *>(ctx)->files.push_back(std::string(dir) + "/" + file);
}

int parse(const std::vector<uint8_t> &bytes, int start, Seen &seen)
{
    std::vector<uint8_t> buf(DB_FRAME_MAX, 0xEE);  // stale bytes beyond the end must not be read
    std::copy(bytes.begin(), bytes.end(), buf.begin());
    return processQueryResponse(buf.data(), static_cast<int>(bytes.size()), start, onItem, &seen, onFile, &seen);
}

// `f` with `n` photos more.
ListFrame photos(int n, ListFrame f = ListFrame())
{
    for (int i = 0; i < n; ++i)
        f.photo("ZP010001.JPG");
    return f;
}

// `frame` without its last `bytes` bytes.
std::vector<uint8_t> cut(std::vector<uint8_t> frame, size_t bytes)
{
    frame.resize(frame.size() - bytes);
    return frame;
}

// Answers the per-member video requests of grouped-video durations with `ms` each.
PeerAction videoReply(const PeerRequest &r, uint32_t ms)
{
    Frame f;
    appendRecord(f, db_response_header{DB_CMD_GET_VIDEO_SPECIFIC_INFO, 0, 1, 1, r.word(2)});
    appendRecord(f, ListFrame::content(0, "ZXAA0001.MP4"));
    db_video_specific_info v{};
    v.duration_ms = ms;
    appendRecord(f, v);
    return PeerAction::reply(f);
}

}  // namespace

TEST(DbListParse, FillsItemsFilesGumisAndDurations)
{
    ListFrame lf(DB_LIST_VIDEO_GROUPING | DB_LIST_INCLUDE_GUMI);
    MediaEntry derived = ListFrame::entry(4, "ZP010001.JPG", DB_MEDIA_FLAG_PARENT_GUMI);
    std::memset(derived.gumi, 0xAB, DB_GUMI_LEN);
    std::memset(derived.pgumi, 0x01, DB_GUMI_LEN);
    lf.add(derived);
    MediaEntry plain = ListFrame::entry(4, "ZP010002.JPG", DB_MEDIA_FLAG_TR);  // bit 10 alone: no parent
    std::memset(plain.gumi, 0xCD, DB_GUMI_LEN);
    lf.add(plain);
    Seen s;
    ASSERT_EQ(0, parse(lf.done(), 0, s));
    ASSERT_EQ(2u, s.items.size());
    EXPECT_EQ((std::vector<std::string>{"ABABABABABABABABABABABABABABABAB", "CDCDCDCDCDCDCDCDCDCDCDCDCDCDCDCD"}),
              s.gumis);
    EXPECT_EQ(3u, s.items[0].upload_status);
    EXPECT_EQ(5u, s.items[0].mahs);
    EXPECT_EQ((std::vector<std::string>{"100ZTCAM/ZP010001.JPG", "100ZTCAM/ZP010002.JPG"}), s.files);

    ListFrame videos;  // without GUMIs; durations rounded to seconds
    videos.video("ZX010001.MP4", 1499, 2);
    videos.video("ZX010002.MP4", 1500);
    Seen v;
    ASSERT_EQ(0, parse(videos.done(), 0, v));
    ASSERT_EQ(2u, v.items.size());
    EXPECT_EQ(1u, v.items[0].duration);
    EXPECT_EQ(2u, v.items[1].duration);
    EXPECT_EQ(1u, v.items[0].cl);
    EXPECT_EQ(nullptr, v.items[0].pgumi);
}

TEST(DbListParse, EarlyEndsTruncationAndBadEntries)
{
    ScriptedPeer peer;  // answers the duration lookups of grouped videos
    ASSERT_TRUE(peer.ok()) << peer.error();
    peer.setHandler([](const PeerRequest &r) { return videoReply(r, 1000); });
    const struct {
        const char *name;
        std::vector<uint8_t> frame;
        int result;
        size_t items;
        int start = 0;
    } cases[] = {
        {"no entries", ListFrame().done(), 0, 0},
        {"page past total_entries", photos(10).done(20), 0, 5, 15},
        {"header cut", cut(ListFrame().done(3, 3), sizeof(db_list_response_header) - 24), 0, 0},
        {"second cut", cut(photos(2).done(), 1), 1, 1},
        {"type 15", photos(1).raw(ListFrame::content(15, "XXXXXXXX.JPG")).done(), -1, 1},
        {"type -1 passes", ListFrame().raw(ListFrame::content(~0u, "ZP010001.JPG")).done(), 0, 1},
        {"bitmap too large",
         photos(10).raw(ListFrame::content(6, "G0010001.JPG"), db_group_info{1, 0, 20000, 1, 5000}).done(), -1, 10},
        {"wide photo group", ListFrame().group(10, "G0010001.JPG", 1, 0, 20000).done(), 0, 1},
        {"wide grouped video", ListFrame().group(1, "ZXAA0001.MP4", 1001, 9900, 20000).done(), 0, 1},
        {"more-info bit not looked at",
         [] {
             ListFrame f = photos(2);
             f.listOptions |= DB_LIST_INCLUDE_MORE_INFO;
             return f.done();
         }(),
         0, 2},
        {"bitmap cut", cut(ListFrame().group(6, "G0010001.JPG", 1, 1, 40, {3}).done(), 7), 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Seen s;
        EXPECT_EQ(c.result, parse(c.frame, c.start, s));
        EXPECT_EQ(c.items, s.items.size());
    }
    EXPECT_EQ(size_t{DB_GROUP_DURATION_MEMBER_MAX - 9900 + 1}, peer.requestCount());  // no name holds more
}

TEST(DbListParse, PhotoGroupMembersFollowTheBitmap)
{
    ListFrame lf;
    std::vector<uint32_t> missing = {2};  // of members 1..40 only 1 and 3 exist
    for (uint32_t n = 4; n <= 40; ++n)
        missing.push_back(n);
    lf.group(6, "ZPAA0001.JPG", 1001, 1, 40, missing, 2);  // highlights add a second map
    lf.photo("ZP010009.JPG");
    Seen s;
    ASSERT_EQ(0, parse(lf.done(), 0, s));
    ASSERT_EQ(2u, s.items.size());
    EXPECT_EQ(5000u, s.items[0].size);
    EXPECT_EQ(1001u, s.items[0].group_number);
    EXPECT_EQ((std::vector<std::string>{"100ZTCAM/ZPAA0001.JPG", "100ZTCAM/ZPAA0003.JPG", "100ZTCAM/ZP010009.JPG"}),
              s.files);
}

TEST(DbListParse, GroupedVideoDurationSumsPresentMembers)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    peer.setHandler([](const PeerRequest &r) { return videoReply(r, 1300); });
    ListFrame lf;
    lf.group(1, "ZXAA0001.MP4", 1001, 1, 3, {2});
    lf.group(2, "ZX010007.MP4", 7, 0, 2);
    lf.group(1, "ZXAB0001.MP4", 1002, 1, 150);
    lf.group(1, "ZXAC0001.MP4", 1003, 1, 1);
    Seen s;
    ASSERT_EQ(0, parse(lf.done(), 0, s));
    ASSERT_EQ(4u, s.items.size());
    EXPECT_EQ(3u, s.items[0].duration);    // 2 x 1300 ms
    EXPECT_EQ(4u, s.items[1].duration);    // 3 x 1300 ms
    EXPECT_EQ(195u, s.items[2].duration);  // every one of 150 members, not the first 100
    EXPECT_EQ(1u, s.items[3].duration);    // a group of one member
    EXPECT_EQ("100ZTCAM/ZXAA0003.MP4", s.files[1]);
    EXPECT_EQ("100ZTCAM/ZX010007.MP4", s.files[2]);  // chapter member 0: the first file itself
    EXPECT_EQ(156u, peer.requestCount());
}

TEST(DbListQuery, ClampsCountToleratesMismatchesAndTriesOnce)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    std::vector<uint8_t> frame = photos(4, ListFrame(DB_LIST_VIDEO_GROUPING, 999)).done(10);
    frame[4] = 2;  // status 2: logged only
    peer.reply(frame);
    Seen s;
    uint32_t session = 0, total = 0;
    EXPECT_EQ(2, dbGetCAHList(2, 0, 7, onItem, &s, nullptr, nullptr, &session, &total));
    EXPECT_EQ(2u, s.items.size());
    EXPECT_EQ(0x55u, session);
    EXPECT_EQ(10u, total);
    peer.reply(Frame(19, 0));
    EXPECT_EQ(-3, dbGetCAHSessionFileList(5, 0, 1, onItem, &s, onFile, &s, &session, nullptr));
    peer.push(PeerAction::close());
    EXPECT_EQ(-1, dbGetCAHList(5, 0, 1, onItem, &s, onFile, &s, &session, nullptr));
    EXPECT_EQ(3u, peer.requestCount());  // one attempt each
    EXPECT_EQ(2u, s.items.size());
    // List and query options of the candidate list and the session list.
    const std::vector<PeerRequest> r = peer.requests();
    ASSERT_EQ(24u, r[0].bytes.size());
    EXPECT_EQ((std::vector<uint32_t>{2, 0xFFFFFB00, 0, 0x2400}),
              (std::vector<uint32_t>{r[0].word(4), r[0].word(5), r[1].word(4), r[1].word(5)}));
}
