// ztMediaDBd per-file commands: content, group, video (one file and several) and extra
// information, GUMI lookups both ways, and the directory scan over several transfers. Raw frames
// where the exact bytes matter, the client's functions where they drive the server naturally.
#include <gtest/gtest.h>

#include "libztMediaRTOSDB/src/ztMediaDBApp.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

const char kGumi1[] = "0102030405060708090A0B0C0D0E0F10";
const Bytes kGumi1Bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr size_t kScanFiles = 130;  // three transfers: 52, 53 and 25 names

std::string card()
{
    std::string json = std::string(R"({"card_id":"LOOK1","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"size":5000,"mod":77,"upload_status":3,"gumi":")") +
                       kGumi1 + R"(",
  "video":{"ls":2,"duration_ms":4200,"profile":4,"avc_profile":100,"cl":1,"highlights":[10,20,30]},
  "more":{"width":3840,"height":2160,"fps_num":30000,"fps_den":1001,"progressive":1,"subsampled":1}},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":2,"flags":1,"gumi":"22222222222222222222222222222222",
  "pgumi":")" + kGumi1 + R"(","video":{"duration_ms":1000},
  "members":[{"file":"ZX020002.MP4","size":2000,"mod":88,"upload_status":6,"video":{"duration_ms":2000}}]},
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

db_response_header header(const Bytes &frame)
{
    return dbRecordAt<db_response_header>(frame, 0);
}

db_content_info content(const Bytes &frame, size_t offset = sizeof(db_response_header))
{
    return dbRecordAt<db_content_info>(frame, offset);
}

TEST_F(MediadbLookup, ContentInfoOfEntriesMembersAndUnknownFiles)
{
    const struct {
        const char *file;
        uint32_t status, type;
        uint64_t size;
        uint32_t word;
    } kCases[] = {
        {"ZX010001.MP4", 0, 0, 5000, 3},
        {"ZX020002.MP4", 0, 2, 2000, 6},  // a chapter: its own name, size and word, the entry's type
        {"ZX090009.MP4", 4, DB_CONTENT_TYPE_NOT_FOUND, 0, 0},
    };
    for (const auto &c : kCases) {
        db_file_request req = dbFileRequest(DB_CMD_GET_CONTENT_INFO, "100ZTCAM", c.file, 0x1234);
        Bytes r = dbExchangeOne(&req, sizeof req);
        ASSERT_EQ(r.size(), 96u) << c.file;
        EXPECT_EQ(header(r).status, c.status) << c.file;
        EXPECT_EQ(header(r).token, 0x1234u);
        EXPECT_EQ(header(r).count_returned, c.status ? 0u : 1u);
        db_content_info ci = content(r);
        EXPECT_EQ(ci.content_type, c.type) << c.file;
        EXPECT_EQ(dbName(ci.file_name, 12), c.file);
        EXPECT_EQ(ci.file_size, c.size) << c.file;
        EXPECT_EQ(ci.upload_status, c.word) << c.file;
    }
}

using Words = std::vector<uint32_t>;

TEST_F(MediadbLookup, GroupInfoCarriesBothBitmaps)
{
    db_file_request req = dbFileRequest(DB_CMD_GET_GROUP_CONTENT_INFO, "100ZTCAM", "ZB010003.JPG");
    Bytes r = dbExchangeOne(&req, sizeof req);
    ASSERT_EQ(r.size(), 20u + 76 + 24 + 4 + 4);
    db_group_info g = dbRecordAt<db_group_info>(r, 96);
    EXPECT_EQ(Words({g.group_number, g.first_number, g.last_number, g.num_missing}), Words({3, 1, 20, 1}));
    // Set for members present (4 is missing); then clear for the highlighted member (20).
    EXPECT_EQ(Bytes(r.begin() + 120, r.end()), Bytes({0xEF, 0xFF, 0xF0, 0, 0xFF, 0xFF, 0xE0, 0}));
}

TEST_F(MediadbLookup, VideoAndExtraInformation)
{
    db_file_spec fs;
    std::memcpy(&fs, "100ZTCAMZX010001.MP4", sizeof fs);
    db_video_specific_info v{};
    db_content_info ci{};
    uint32_t highlights[8] = {};
    ASSERT_EQ(dbGetVideoSpecificInfo(nullptr, &fs, &v, &ci, highlights, 8), 0);
    EXPECT_EQ(Words({v.ls, v.duration_ms, v.profile, v.avc_profile, v.cl, v.highlight_count}),
              Words({2, 4200, 4, 100, 1, 3}));
    EXPECT_EQ(Words(highlights, highlights + 4), Words({10, 20, 30, 0}));

    db_more_info m{};
    ASSERT_EQ(dbGetMoreInfo(nullptr, &fs, &m), 0);
    EXPECT_EQ(std::vector<int32_t>({m.width, m.height, m.frame_rate_numerator, m.frame_rate_denominator,
                                    m.is_progressive, m.is_subsampled}),
              std::vector<int32_t>({3840, 2160, 30000, 1001, 1, 1}));
    db_file_request unknown = dbFileRequest(DB_CMD_GET_MORE_INFO, "100ZTCAM", "ZX090009.MP4");
    EXPECT_EQ(header(dbExchangeOne(&unknown, sizeof unknown)).status, 4u);
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
    EXPECT_EQ(dbRecordAt<db_video_specific_info>(r, 196).highlight_count, 3u);
    EXPECT_EQ(dbRecordAt<uint32_t>(r, 228), 30u);

    req.h.request_count = 1;
    std::memcpy(&req.pairs[0], &req.pairs[1], sizeof req.pairs[0]);
    r = dbExchangeOne(&req, sizeof(db_file_request));
    EXPECT_EQ(header(r).status, 4u);
    EXPECT_EQ(content(r).content_type, DB_CONTENT_TYPE_NOT_FOUND);
}

TEST_F(MediadbLookup, GumiLookupsBothWays)
{
    const struct {
        const char *file;
        uint32_t status;
        Bytes gumi, pgumi;
    } kByName[] = {
        {"ZX010001.MP4", 0, kGumi1Bytes, Bytes(16, 0)},
        {"ZX010002.MP4", 0, Bytes(16, 0x22), kGumi1Bytes},
        {"ZX090009.MP4", 4, {}, {}},
    };
    for (const auto &c : kByName) {
        db_file_request req = dbFileRequest(DB_CMD_GET_GUMI_BY_FILE_NAME, "100ZTCAM", c.file);
        Bytes r = dbExchangeOne(&req, sizeof req);
        EXPECT_EQ(header(r).status, c.status) << c.file;
        if (c.status == 0) {
            ASSERT_EQ(r.size(), 128u);
            EXPECT_EQ(Bytes(r.begin() + 96, r.begin() + 112), c.gumi) << c.file;
            EXPECT_EQ(Bytes(r.begin() + 112, r.end()), c.pgumi) << c.file;
        }
    }
    const struct {
        Bytes gumi;
        uint32_t status;
        const char *name;  // directory and file, 20 characters
    } kByGumi[] = {
        {Bytes(16, 0x44), 0, "100ZTCAMZCAM0004.JPG"},
        {kGumi1Bytes, 0, "100ZTCAMZX010001.MP4"},  // the parent GUMI of ZX010002 names its parent
        {Bytes(16, 0xEE), 4, ""},
    };
    for (const auto &c : kByGumi) {
        db_gumi_request req{{DB_CMD_GET_FILE_NAME_BY_GUMI, 1, 3}, {}};
        std::memcpy(req.gumi, c.gumi.data(), DB_GUMI_LEN);
        Bytes r = dbExchangeOne(&req, sizeof req);
        EXPECT_EQ(header(r).status, c.status);
        if (c.status == 0) {
            EXPECT_EQ(std::string(r.begin() + 20, r.end()), c.name);
        }
    }
    uint8_t gumi[16], pgumi[16];
    db_file_spec fs;
    std::memcpy(&fs, "100ZTCAMZX010002.MP4", sizeof fs);
    ASSERT_EQ(dbGetGUMIByFileName(nullptr, &fs, gumi, pgumi), 0);
    char name[20];
    ASSERT_EQ(dbGetFileNameByGUMI(nullptr, pgumi, name), 0);
    EXPECT_EQ(std::string(name, 20), "100ZTCAMZX010001.MP4");
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

    std::vector<zt_file_info> files(kScanFiles + 10);
    int count = static_cast<int>(files.size());
    ASSERT_EQ(scandirRTOSdb("102ZTCAM", files.data(), &count, nullptr), 0);
    ASSERT_EQ(count, static_cast<int>(kScanFiles));
    for (size_t i = 0; i < kScanFiles; i++) {
        EXPECT_EQ(std::string(files[i].file_name), "ZF" + std::to_string(100000 + i) + ".JPG");
        EXPECT_EQ(files[i].file_size, i * 1000);
        EXPECT_EQ(files[i].modified_time, i + 5);
    }

    // A directory without a listing answers the card's files: size first, modification time second.
    count = static_cast<int>(files.size());
    ASSERT_EQ(scandirRTOSdb("100ZTCAM", files.data(), &count, nullptr), 0);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(std::string(files[2].file_name), "ZX020002.MP4");
    EXPECT_EQ(files[2].file_size, 2000u);
    EXPECT_EQ(files[2].modified_time, 88u);
    count = static_cast<int>(files.size());
    EXPECT_EQ(scandirRTOSdb("199ZTCAM", files.data(), &count, nullptr), DB_SCAN_STATUS);
}

}  // namespace
