// ztMediaDBd --card against a real DCIM tree: grouping by the camera naming rules, junk skipped,
// rescans that see new files, and upload words carried across a rescan and a restart.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kAllClasses = RTOS_DB_QUERY_VIDEOS | RTOS_DB_QUERY_PHOTOS | RTOS_DB_QUERY_METADATA_SESSION_FILES;

// A card folder in its own temporary directory, removed at the end.
class CardTree {
public:
    CardTree()
    {
        char tmpl[] = "/tmp/ztcard-test-XXXXXX";
        mRoot = mkdtemp(tmpl) ? tmpl : "";
        fs::create_directories(dcim("100ZTCAM"));
    }
    ~CardTree() { fs::remove_all(mRoot); }
    const std::string &root() const { return mRoot; }
    std::string dcim(const std::string &rel) const { return mRoot + "/DCIM/" + rel; }
    void file(const std::string &rel, size_t size = 100) const
    {
        fs::create_directories(fs::path(dcim(rel)).parent_path());
        std::ofstream(dcim(rel), std::ios::binary) << std::string(size, 'x');
    }

private:
    std::string mRoot;
};

struct Expected {
    const char *key;
    uint32_t type, groupNumber, first, last;
    size_t missing;
};

// The files of every kind the camera writes, and junk that must not be indexed.
void buildCard(const CardTree &card)
{
    for (const char *name : {"ZX010001.MP4", "ZX010042.MP4", "ZX020042.MP4", "ZX030042.MP4", "ZXAA0001.MP4",
                             "ZXAA0002.MP4", "Z0070001.JPG", "Z0070002.JPG", "Z0070004.JPG", "ZCAM0100.JPG",
                             "ZM010050.MP4", "ZX010001.THM"})
        card.file(std::string("100ZTCAM/") + name);
    card.file("102ZTCAM/ZSAB0001.JPG");
    card.file("100ZTCAM/readme.txt");             // not a camera name
    card.file("100ZTCAM/ZX010079.MP4/ZX010080.MP4");  // a folder with a camera name, and depth 2
    card.file("100ZTCAMX/ZX010081.MP4");           // a folder name of 9 characters
    fs::create_symlink("ZX010001.MP4", card.dcim("100ZTCAM/ZX010077.MP4"));
    fs::create_directory_symlink("100ZTCAM", card.dcim("101ZTCAM"));
}

const Expected kGrouped[] = {
    {"100ZTCAM/Z0070001.JPG", DB_CONTENT_TYPE_BURST, 7, 1, 4, 1},
    {"100ZTCAM/ZCAM0100.JPG", DB_CONTENT_TYPE_PHOTO, 0, 0, 0, 0},
    {"100ZTCAM/ZM010050.MP4", DB_CONTENT_TYPE_7, 0, 0, 0, 0},
    {"100ZTCAM/ZX010001.MP4", DB_CONTENT_TYPE_VIDEO, 0, 0, 0, 0},
    {"100ZTCAM/ZX010042.MP4", DB_CONTENT_TYPE_CHAPTERED_VIDEO, 42, 0, 2, 0},
    {"100ZTCAM/ZXAA0001.MP4", DB_CONTENT_TYPE_LOOPING_VIDEO, 1001, 1, 2, 0},
    {"102ZTCAM/ZSAB0001.JPG", DB_CONTENT_TYPE_TIME_LAPSE, 1002, 1, 1, 0},
};

db_histogram_response histogram()
{
    const db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 42};
    return dbRecordAt<db_histogram_response>(dbExchangeOne(&req, sizeof req), 0);
}

uint32_t writeUploadStatus(const char *dir, const char *file, uint32_t word)
{
    db_status_write_request w{{DB_CMD_WRITE_UPLOAD_STATUS, 1, 9}, {}, {}, word};
    std::memcpy(w.dir_name, dir, DB_DIR_NAME_LEN);
    std::memcpy(w.file_name, file, DB_FILE_NAME_LEN);
    return dbRecordAt<db_response_header>(dbExchangeOne(&w, sizeof w), 0).status;
}

std::vector<std::string> listKeys(uint32_t listOptions)
{
    std::string error;
    std::vector<std::string> keys = dbEntryKeys(dbListAll(4, listOptions, kAllClasses, &error));
    EXPECT_EQ(error, "");
    return keys;
}

TEST(MediadbCard, ScanGroupsByNamingRulesAndSkipsJunk)
{
    CardTree card;
    buildCard(card);
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root()});
    ASSERT_TRUE(server.ok()) << server.error();

    std::string error;
    std::vector<ListEntry> grouped = dbListAll(4, DB_LIST_VIDEO_GROUPING, kAllClasses, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(grouped.size(), std::size(kGrouped)) << ::testing::PrintToString(dbEntryKeys(grouped));
    for (size_t i = 0; i < grouped.size(); i++) {
        const Expected &x = kGrouped[i];
        const ListEntry &e = grouped[i];
        EXPECT_EQ(e.dir + "/" + e.file, x.key);
        // Copies: the wire records are packed and may not bind to references.
        const db_group_info g = e.group;
        EXPECT_EQ(uint32_t(e.content.content_type), x.type) << x.key;
        EXPECT_EQ(uint64_t(e.content.file_size), 100u) << x.key;
        EXPECT_EQ(e.hasGroup, x.groupNumber != 0) << x.key;
        EXPECT_EQ(uint32_t(g.group_number), x.groupNumber) << x.key;
        EXPECT_EQ(uint32_t(g.first_number), x.first) << x.key;
        EXPECT_EQ(uint32_t(g.last_number), x.last) << x.key;
        EXPECT_EQ(uint32_t(g.num_missing), x.missing) << x.key;
    }
    // Without grouping every chapter and loop member is an entry of its own.
    std::vector<std::string> flat = listKeys(0);
    EXPECT_EQ(flat.size(), std::size(kGrouped) + 3);
    EXPECT_NE(std::find(flat.begin(), flat.end(), "100ZTCAM/ZX030042.MP4"), flat.end());
    // Every file the database knows: 7 entries, 2 further chapters, 1 further loop member.
    EXPECT_EQ(histogram().histogram[0], 10u);
}

TEST(MediadbCard, RescanSeesNewFilesAndStateKeepsUploadWords)
{
    CardTree card;
    buildCard(card);
    const std::string state = card.root() + "/state.sqlite";
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root(), "--state", state});
    ASSERT_TRUE(server.ok()) << server.error();
    std::string before, after;
    ASSERT_EQ(server.ctl({"version"}, &before), 0);
    auto cardId = [&] {
        std::string id;
        std::getline(std::ifstream(server.path("card_id")), id);
        return id;
    };
    const std::string id = cardId();
    EXPECT_EQ(id.size(), 16u);
    ASSERT_EQ(writeUploadStatus("100ZTCAM", "ZX020042.MP4", 2), 0u);

    card.file("100ZTCAM/ZX010060.MP4");
    ASSERT_EQ(server.ctl({"rescan"}, &after), 0);
    EXPECT_NE(before, after);
    std::vector<std::string> keys = listKeys(DB_LIST_VIDEO_GROUPING);
    EXPECT_NE(std::find(keys.begin(), keys.end(), "100ZTCAM/ZX010060.MP4"), keys.end());
    EXPECT_EQ(histogram().histogram[2], 1u);  // the acknowledged write survived the rescan

    ASSERT_TRUE(server.restart(false)) << server.error();
    EXPECT_EQ(histogram().histogram[2], 1u);  // and the restart
    EXPECT_EQ(histogram().histogram[0], 10u);
    EXPECT_EQ(cardId(), id);  // the same card, though its files changed (read once it serves)
}

bool listed(const std::string &key)
{
    std::vector<std::string> keys = listKeys(DB_LIST_VIDEO_GROUPING);
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// --watch rescans by itself, in folders that existed at start and in new ones.
TEST(MediadbCard, WatchRescansWhenTheCardChanges)
{
    CardTree card;
    buildCard(card);
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root(), "--watch"});
    ASSERT_TRUE(server.ok()) << server.error();
    for (const std::string key : {"100ZTCAM/ZX010061.MP4", "103ZTCAM/ZCAM0200.JPG", "103ZTCAM/ZCAM0201.JPG"}) {
        card.file(key);
        bool seen = false;
        for (int i = 0; i < 200 && !seen; i++) {
            usleep(50 * 1000);
            seen = listed(key);
        }
        EXPECT_TRUE(seen) << key << "\n" << server.log();
    }
}

TEST(MediadbCard, BadCardFoldersAreRefusedWithOneLine)
{
    CardTree card;
    fs::remove_all(card.root() + "/DCIM");
    fs::create_directory_symlink("/tmp", card.root() + "/DCIM");  // never followed
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--card", card.root()}, {"--card", card.root() + "/missing"}}) {
        std::string err;
        EXPECT_EQ(ServerProcess::runToExit(args, &err), 2) << args[1];
        EXPECT_NE(err.find("cannot be opened as a folder"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

}  // namespace
