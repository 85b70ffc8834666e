// ztMediaDBd list pages (commands 0 and 11) against raw frames: selection by query options, video
// grouping, GUMIs and extra information in entries, group bitmaps, the creation-time window, and
// paging through a card many pages long without losing, repeating or overflowing anything.
#include <gtest/gtest.h>

#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

const char kCard[] = R"({"card_id":"LIST1","version":5,"session_id":11,"media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"cre":100,"size":5000,"upload_status":65539,
  "gumi":"0102030405060708090A0B0C0D0E0F10","video":{"duration_ms":4200,"cl":1,"highlights":[10,20]},
  "more":{"width":3840,"height":2160,"fps_num":30000,"fps_den":1001,"progressive":1}},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"cre":200,"size":1000,"flags":1,
  "gumi":"22222222222222222222222222222222","pgumi":"0102030405060708090A0B0C0D0E0F10",
  "video":{"duration_ms":1000},
  "members":[{"file":"ZX020002.MP4","cre":210,"size":2000,"upload_status":5,
              "video":{"duration_ms":2000,"highlights":[7]}},
             {"file":"ZX030002.MP4","cre":220,"size":3000,"video":{"duration_ms":3000}}]},
 {"dir":"100ZTCAM","file":"ZCAM0003.JPG","type":4,"cre":300},
 {"dir":"100ZTCAM","file":"ZB010004.JPG","type":5,"cre":400,"highlight_count":2,
  "group":{"group_number":4,"first":1,"last":40,"missing":[2,33],"highlighted":[1,9],"group_size":77}},
 {"dir":"101ZTCAM","file":"ZRAW0005.GPR","type":9,"cre":500,"flags":512},
 {"dir":"101ZTCAM","file":"ZCAM0006.JPG","type":9,"cre":600},
 {"dir":"101ZTCAM","file":"ZSES0007.BIN","type":7,"cre":700},
 {"dir":"101ZTCAM","file":"ZX010008.MP4","type":13,"cre":800},
 {"dir":"101ZTCAM","file":"ZNVR0009.BIN","type":11,"cre":900},
 {"dir":"101ZTCAM","file":"ZLP10010.MP4","type":1,"cre":1000,"members":[{"file":"ZLP20010.MP4","cre":1010}]}]})";

constexpr uint32_t kAllClasses = RTOS_DB_QUERY_VIDEOS | RTOS_DB_QUERY_PHOTOS | RTOS_DB_QUERY_METADATA_SESSION_FILES;

// File names (without directory) of a whole list, paged by three.
std::vector<std::string> names(uint32_t command, uint32_t listOptions, uint32_t queryOptions, uint32_t p1 = 0,
                               uint32_t p2 = 0)
{
    std::string error;
    std::vector<ListEntry> all = dbListAll(3, listOptions, queryOptions, &error, command, p1, p2);
    EXPECT_EQ(error, "");
    std::vector<std::string> out;
    out.reserve(all.size());
    for (const ListEntry &e : all)
        out.push_back(e.file);
    return out;
}

using Names = std::vector<std::string>;
using Words = std::vector<uint32_t>;

class MediadbList : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mServer.ok()) << mServer.error(); }
    ServerProcess mServer{kCard};
};

// Query options select classes; grouping hides chapters (shown: the paging test); command 11 keeps
// creation times in p1..p2.
TEST_F(MediadbList, SelectionByClassGroupingAndTimeWindow)
{
    constexpr uint32_t L = DB_CMD_LIST, W = DB_CMD_LIST_WITH_PARAMS;
    const struct {
        uint32_t command, listOptions, queryOptions, from, to;
        Names expect;
    } kCases[] = {
        {L, 2, 0x100, 0, 0, {"ZX010001.MP4", "ZX010002.MP4", "ZX010008.MP4", "ZLP10010.MP4"}},
        {L, 2, 0x200, 0, 0, {"ZCAM0003.JPG", "ZB010004.JPG", "ZRAW0005.GPR", "ZCAM0006.JPG"}},
        {L, 2, 0x900, 0, 0, {"ZX010001.MP4", "ZX010002.MP4", "ZRAW0005.GPR", "ZX010008.MP4", "ZLP10010.MP4"}},
        {L, 0, 0x2400, 0, 0, {"ZSES0007.BIN"}},
        {L, 2, 0x1000, 0, 0, {}},
        {W, 0, kAllClasses, 205, 300, {"ZX020002.MP4", "ZX030002.MP4", "ZCAM0003.JPG"}},
        {W, 0, kAllClasses, 800, 0, {"ZX010008.MP4", "ZLP10010.MP4", "ZLP20010.MP4"}},
        {W, 0, kAllClasses, 1005, 0, {"ZLP20010.MP4"}},  // a chapter is in the window on its own time
        {W, 0, kAllClasses, 901, 899, {}},
    };
    for (const auto &c : kCases)
        EXPECT_EQ(names(c.command, c.listOptions, c.queryOptions, c.from, c.to), c.expect)
            << "command " << c.command << " list_options " << c.listOptions << " query_options 0x" << std::hex
            << c.queryOptions << std::dec << " [" << c.from << ", " << c.to << "]";
}

TEST_F(MediadbList, EntriesCarryGumisExtraInformationAndBlocks)
{
    ListPage page = dbListPage(0, 4, 2 | 4 | 8, DB_QUERY_CAH_LIST);
    ASSERT_EQ(page.error, "");
    const db_list_response_header &h = page.header;
    EXPECT_EQ(Words({h.header.token, h.header.rtos_db_version, h.session_id, h.list_options, h.total_entries}),
              Words({0x5150, 5, 11, 14, 8}));
    ASSERT_EQ(page.entries.size(), 4u);

    const ListEntry &video = page.entries[0];
    EXPECT_EQ(video.gumi, Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_TRUE(video.pgumi.empty());
    EXPECT_EQ(Words({static_cast<uint32_t>(video.more.width), static_cast<uint32_t>(video.more.frame_rate_denominator),
                     video.content.upload_status, static_cast<uint32_t>(video.content.file_size),
                     video.video.duration_ms, video.video.cl}),
              Words({3840, 1001, 65539, 5000, 4200, 1}));
    EXPECT_EQ(video.highlights, Words({10, 20}));

    const ListEntry &chaptered = page.entries[1];
    EXPECT_EQ(chaptered.pgumi, video.gumi);
    const db_group_info &g = chaptered.group;
    EXPECT_EQ(Words({g.first_number, g.last_number, g.num_missing, static_cast<uint32_t>(g.group_size)}),
              Words({0, 2, 0, 6000}));

    // Missing bitmap: set for every member present; second bitmap: clear for the highlighted.
    const ListEntry &burst = page.entries[3];
    const db_group_info &b = burst.group;
    EXPECT_EQ(Words({b.group_number, b.num_missing, static_cast<uint32_t>(b.group_size)}), Words({4, 2, 77}));
    EXPECT_EQ(burst.missingMap, Bytes({0xBF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0}));
    EXPECT_EQ(burst.secondMap, Bytes({0x7F, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0}));

    // Ungrouped, a chapter is an entry with its own time, size, word and video block; the
    // entry's type and flags (so its parent GUMI too).
    page = dbListPage(2, 1, DB_LIST_INCLUDE_GUMI, RTOS_DB_QUERY_VIDEOS);
    ASSERT_EQ(page.entries.size(), 1u) << page.error;
    const ListEntry &chapter = page.entries[0];
    const db_content_info &c = chapter.content;
    EXPECT_EQ(chapter.file, "ZX020002.MP4");
    EXPECT_EQ(Words({c.content_type, c.creation_time, static_cast<uint32_t>(c.file_size), c.upload_status,
                     c.media_flags, chapter.video.duration_ms}),
              Words({2, 210, 2000, 5, 1, 2000}));
    EXPECT_EQ(chapter.pgumi.size(), 16u);
    EXPECT_EQ(chapter.highlights, Words({7}));
}

// The keys a generated card lists under grouping and query bits (videos, photos, session files).
std::vector<std::string> expectedKeys(const GeneratedCard &card, bool grouping, uint32_t queryOptions)
{
    std::vector<std::string> keys;
    for (const GeneratedCard::Row &r : card.rows) {
        uint32_t bit = r.type == 7 ? 0x400u : r.type == 0 || r.type == 2 ? 0x100u : 0x200u;
        if (!(queryOptions & bit))
            continue;
        keys.push_back(r.dir + "/" + r.file);
        for (const auto &chapter : r.chapters)
            if (!grouping)
                keys.push_back(r.dir + "/" + chapter.first);
    }
    return keys;
}

TEST(MediadbListLarge, PagingLosesAndRepeatsNothingAndNeverOverflows)
{
    GeneratedCard card = generateCard(1200);
    ServerProcess server(card.json);
    ASSERT_TRUE(server.ok()) << server.error();
    const struct {
        uint32_t listOptions, queryOptions, pageSize;
    } kCases[] = {
        {0, kAllClasses, 100},
        {2 | 4 | 8, kAllClasses, 100},
        {4 | 8, 0x300, 7},
        {2, 0x2400, 1000},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE("list_options " + std::to_string(c.listOptions) + " page " + std::to_string(c.pageSize));
        std::string error;
        std::vector<ListEntry> all = dbListAll(c.pageSize, c.listOptions, c.queryOptions, &error);
        EXPECT_EQ(error, "");
        EXPECT_EQ(dbEntryKeys(all), expectedKeys(card, c.listOptions & 2, c.queryOptions));
    }
    ListPage full = dbListPage(0, 1000, 2 | 4 | 8, kAllClasses);
    EXPECT_LT(full.entries.size(), 100u);  // a page holds what fits, not what was asked
    EXPECT_GT(full.bytes, DB_FRAME_MAX - 400);
    ListPage past = dbListPage(full.header.total_entries, 10, 2, kAllClasses);
    EXPECT_EQ(past.error, "");
    EXPECT_EQ(past.header.header.status, 0u);
    EXPECT_EQ(past.header.header.count_returned, 0u);
    EXPECT_EQ(past.header.total_entries, full.header.total_entries);
}

}  // namespace
