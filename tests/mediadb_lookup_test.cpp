// ztMediaDBd per-file commands against raw frames: content, group, video (one file and several),
// GUMI to name, and the directory scan over several transfers (extra information and GUMIs by
// name through the server: media_responders_test).
#include <gtest/gtest.h>

#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

const Bytes kGumi1Bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr size_t kScanFiles = 130;  // three transfers: 52, 53 and 25 names

std::string card()
{
    std::string json = R"({"card_id":"LOOK1","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"size":5000,"upload_status":3,
  "gumi":"0102030405060708090A0B0C0D0E0F10",
  "video":{"ls":2,"duration_ms":4200,"profile":4,"avc_profile":100,"cl":1,"highlights":[10,20,30]}},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"video":{"duration_ms":1000},
  "members":[{"file":"ZX020002.MP4","size":2000,"upload_status":6,"video":{"duration_ms":2000}}]},
 {"dir":"100ZTCAM","file":"ZB010003.JPG","type":5,"highlight_count":1,
  "group":{"group_number":3,"first":1,"last":20,"missing":[4],"highlighted":[20]}},
 {"dir":"100ZTCAM","file":"ZCAM0004.JPG","type":4,"gumi":"44444444444444444444444444444444"}],
 "dirs":{"102ZTCAM":[)";
    for (size_t i = 0; i < kScanFiles; i++)
        json += (i ? "," : "") + std::string(R"({"file":"ZF)") + std::to_string(100000 + i) + R"(.JPG","a":)" +
                std::to_string(i * 1000) + R"(,"b":)" + std::to_string(i + 5) + "}";
    return json + "]}}";
}

class MediadbLookup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mServer.ok()) << mServer.error(); }
    ServerProcess mServer{card()};
};

db_response_header header(const Bytes &frame) { return dbRecordAt<db_response_header>(frame, 0); }

db_content_info content(const Bytes &frame, size_t offset = sizeof(db_response_header))
{
    return dbRecordAt<db_content_info>(frame, offset);
}

Bytes ask(uint32_t command, const char *file, uint32_t token = 0x77)
{
    db_file_request req = dbFileRequest(command, "100ZTCAM", file, token);
    return dbExchangeOne(&req, sizeof req);
}

using Words = std::vector<uint32_t>;

TEST_F(MediadbLookup, UnknownFilesAreStatusFourAndGumisNameTheirFiles)
{
    for (uint32_t command : {DB_CMD_GET_CONTENT_INFO, DB_CMD_GET_GROUP_CONTENT_INFO, DB_CMD_GET_VIDEO_SPECIFIC_INFO,
                             DB_CMD_GET_MORE_INFO, DB_CMD_GET_GUMI_BY_FILE_NAME}) {
        Bytes r = ask(command, "ZX090009.MP4", 0x1234);
        EXPECT_EQ(header(r).status, 4u) << "command " << command;
        EXPECT_EQ(header(r).token, 0x1234u) << "command " << command;
    }
    for (const auto &c : {std::make_pair(Bytes(16, 0xEE), ""), std::make_pair(Bytes(16, 0x44), "100ZTCAMZCAM0004.JPG"),
                          std::make_pair(kGumi1Bytes, "100ZTCAMZX010001.MP4")}) {
        db_gumi_request req{{DB_CMD_GET_FILE_NAME_BY_GUMI, 1, 3}, {}};
        std::memcpy(req.gumi, c.first.data(), DB_GUMI_LEN);
        Bytes r = dbExchangeOne(&req, sizeof req);
        EXPECT_EQ(header(r).status, *c.second ? 0u : 4u);
        EXPECT_EQ(std::string(r.begin() + 20, r.end()), c.second);
    }
}

TEST_F(MediadbLookup, ContentAndGroupInformation)
{
    // A chapter: its own name, size and word, the entry's type (a whole file: media_responders_test).
    Bytes r = ask(DB_CMD_GET_CONTENT_INFO, "ZX020002.MP4");
    ASSERT_EQ(r.size(), 96u);
    EXPECT_EQ(header(r).count_returned, 1u);
    db_content_info ci = content(r);
    EXPECT_EQ(dbName(ci.file_name, 12), "ZX020002.MP4");
    EXPECT_EQ(Words({ci.content_type, static_cast<uint32_t>(ci.file_size), ci.upload_status}), Words({2, 2000, 6}));

    r = ask(DB_CMD_GET_GROUP_CONTENT_INFO, "ZB010003.JPG");
    ASSERT_EQ(r.size(), 20u + 76 + 24 + 4 + 4);
    db_group_info g = dbRecordAt<db_group_info>(r, 96);
    EXPECT_EQ(Words({g.group_number, g.first_number, g.last_number, g.num_missing}), Words({3, 1, 20, 1}));
    // Set for members present (4 is missing); then clear for the highlighted member (20).
    EXPECT_EQ(Bytes(r.begin() + 120, r.end()), Bytes({0xEF, 0xFF, 0xF0, 0, 0xFF, 0xFF, 0xE0, 0}));
}

TEST_F(MediadbLookup, MultiFileVideoRequestAnswersFoundFilesInRequestOrder)
{
    struct {
        db_request_header h;
        db_file_name_pair pairs[3];
    } req{{DB_CMD_GET_VIDEO_SPECIFIC_INFO, 3, 9}, {}};
    std::memcpy(&req.pairs, "100ZTCAMZX020002.MP4100ZTCAMZX090009.MP4100ZTCAMZX010001.MP4", sizeof req.pairs);
    Bytes r = dbExchangeOne(&req, sizeof req);
    ASSERT_EQ(r.size(), 20u + (76 + 24) + (76 + 24 + 12));
    EXPECT_EQ(header(r).status, 0u);
    EXPECT_EQ(header(r).count_returned, 2u);
    EXPECT_EQ(dbName(content(r).file_name, 12), "ZX020002.MP4");
    EXPECT_EQ(dbRecordAt<db_video_specific_info>(r, 96).duration_ms, 2000u);
    EXPECT_EQ(dbName(content(r, 120).file_name, 12), "ZX010001.MP4");
    db_video_specific_info v = dbRecordAt<db_video_specific_info>(r, 196);
    EXPECT_EQ(Words({v.ls, v.duration_ms, v.profile, v.avc_profile, v.cl, v.highlight_count}),
              Words({2, 4200, 4, 100, 1, 3}));
    EXPECT_EQ(dbRecordAt<uint32_t>(r, 228), 30u);  // the last highlight
}

TEST_F(MediadbLookup, DirectoryScanSpansSeveralTransfers)
{
    db_scandir_request req{{DB_CMD_NON_DB_SCANDIR, 1, 5}, {}};
    std::memcpy(req.dir_name, "102ZTCAM", 8);
    std::vector<Bytes> frames = dbExchange(&req, sizeof req, 3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].size(), 20u + 52 * 28);
    EXPECT_EQ(frames[1].size(), 53u * 28);
    EXPECT_EQ(frames[2].size(), 25u * 28);
    db_scandir_response_header h = dbRecordAt<db_scandir_response_header>(frames[0], 0);
    EXPECT_EQ(h.number_transfers, 3u);
    EXPECT_EQ(h.number_file_names, kScanFiles);
    EXPECT_EQ(h.token, 5u);

    // Names run on across the transfers: the third starts with the 106th file.
    db_scandir_wire_entry e = dbRecordAt<db_scandir_wire_entry>(frames[2], 0);
    EXPECT_EQ(dbName(e.file_name, DB_FILE_NAME_LEN), "ZF100105.JPG");
    EXPECT_EQ(uint64_t{e.first_value}, 105000u);  // packed fields: copy before binding
    EXPECT_EQ(uint64_t{e.second_value}, 110u);
}

}  // namespace
