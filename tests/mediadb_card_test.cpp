// ztMediaDBd --card against a real DCIM tree: grouping by the camera naming rules, junk skipped,
// rescans that see new files, and upload words carried across a rescan and a restart.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "mediadb/card_follow.h"
#include "mediadb/request_handlers.h"
#include "tests/support/gcore_fixtures.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/run_command.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kAllClasses = RTOS_DB_QUERY_VIDEOS | RTOS_DB_QUERY_PHOTOS | RTOS_DB_QUERY_METADATA_SESSION_FILES;

// A card folder, and a state file beside it (not in it: the card may leave), in a temporary
// directory removed at the end.
class CardTree {
public:
    CardTree() { fs::create_directories(dcim("100ZTCAM")); }
    const std::string &root() const { return mRoot; }
    std::string state() const { return mTop.file("state.sqlite"); }
    std::string dcim(const std::string &rel) const { return mRoot + "/DCIM/" + rel; }
    void file(const std::string &rel, size_t size = 100) const
    {
        fs::create_directories(fs::path(dcim(rel)).parent_path());
        std::ofstream(dcim(rel), std::ios::binary) << std::string(size, 'x');
    }

private:
    TempDir mTop;
    std::string mRoot = mTop.file("card");
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
                             "ZXAA0002.MP4", "Z0070001.JPG", "Z0070002.JPG", "Z0070004.JPG", "Z0074097.JPG",
                             "ZCAM0100.JPG", "ZM010050.MP4", "ZX010001.THM"})
        card.file(std::string("100ZTCAM/") + name);
    card.file("102ZTCAM/ZSAB0001.JPG");
    card.file("100ZTCAM/readme.txt");                 // not a camera name
    card.file("100ZTCAM/ZX010079.MP4/ZX010080.MP4");  // a folder with a camera name, and depth 2
    card.file("100ZTCAMX/ZX010081.MP4");              // a folder name of 9 characters
    card.file("x\",\"d\":\"/ZX010082.MP4");           // 8 characters, but not the camera's
    card.file("100ztcam/ZX010083.MP4");
    fs::create_symlink("ZX010001.MP4", card.dcim("100ZTCAM/ZX010077.MP4"));
    fs::create_directory_symlink("100ZTCAM", card.dcim("101ZTCAM"));
}

const Expected kGrouped[] = {
    {"100ZTCAM/Z0070001.JPG", DB_CONTENT_TYPE_BURST, 7, 1, 4, 1},
    {"100ZTCAM/Z0074097.JPG", DB_CONTENT_TYPE_PHOTO, 0, 0, 0, 0},  // a group spans at most 4096 numbers
    {"100ZTCAM/ZCAM0100.JPG", DB_CONTENT_TYPE_PHOTO, 0, 0, 0, 0},
    {"100ZTCAM/ZM010050.MP4", DB_CONTENT_TYPE_7, 0, 0, 0, 0},
    {"100ZTCAM/ZX010001.MP4", DB_CONTENT_TYPE_VIDEO, 0, 0, 0, 0},
    {"100ZTCAM/ZX010042.MP4", DB_CONTENT_TYPE_CHAPTERED_VIDEO, 42, 0, 2, 0},
    {"100ZTCAM/ZXAA0001.MP4", DB_CONTENT_TYPE_LOOPING_VIDEO, 1001, 1, 2, 0},
    {"102ZTCAM/ZSAB0001.JPG", DB_CONTENT_TYPE_TIME_LAPSE, 1002, 1, 1, 0},
};

std::vector<std::string> listKeys(uint32_t listOptions)
{
    std::string error;
    std::vector<std::string> keys = dbEntryKeys(dbListAll(4, listOptions, kAllClasses, &error));
    EXPECT_EQ(error, "");
    return keys;
}

bool listed(const std::string &key)
{
    std::vector<std::string> keys = listKeys(DB_LIST_VIDEO_GROUPING);
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

TEST(MediadbCard, ScanGroupsRescanSeesNewFilesAndStateKeepsUploadWords)
{
    CardTree card;
    buildCard(card);
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root(), "--state", card.state()});
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
    // Every file the database knows: 8 entries, 2 further chapters, 1 further loop member.
    EXPECT_EQ(dbHistogram().histogram[0], 11u);

    std::string before, after;
    ASSERT_EQ(server.ctl({"version"}, &before), 0);
    const std::string id = readFile(server.path("card_id"));
    EXPECT_EQ(id.size(), 17u);  // 16 characters and a line break
    ASSERT_EQ(dbWriteUploadWord("100ZTCAM", "ZX020042.MP4", 2), 0u);

    card.file("100ZTCAM/ZX010060.MP4");
    ASSERT_EQ(server.ctl({"rescan"}, &after), 0);
    EXPECT_NE(before, after);
    EXPECT_TRUE(listed("100ZTCAM/ZX010060.MP4"));
    EXPECT_EQ(dbHistogram().histogram[2], 1u);  // the acknowledged write survived the rescan

    ASSERT_TRUE(server.restart(false)) << server.error();
    EXPECT_EQ(dbHistogram().histogram[2], 1u);  // and the restart
    EXPECT_EQ(dbHistogram().histogram[0], 11u);
    EXPECT_EQ(readFile(server.path("card_id")), id);  // the same card, though its files changed (read once it serves)

    CardTree bad;
    fs::remove_all(bad.root() + "/DCIM");
    fs::create_directory_symlink("/tmp", bad.root() + "/DCIM");  // never followed
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--card", bad.root()}, {"--card", bad.root() + "/missing"}}) {
        std::string err;
        EXPECT_EQ(ServerProcess::runToExit(args, &err), 2) << args[1];
        EXPECT_NE(err.find("cannot be opened as a folder"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

bool waitFor(const std::function<bool()> &done)
{
    for (int i = 0; i < 200; i++, usleep(50 * 1000))
        if (done())
            return true;
    return false;
}

// --watch rescans by itself: each burst of changes is seen and moves the version once; upload
// words stay, and the store holds what was served (a restart does not move the version). The
// card folder leaves and comes back: an empty card is served meanwhile, then the files again.
TEST(MediadbCard, WatchAppliesEachBurstOnceAndFollowsTheCardLeaving)
{
    CardTree card;
    buildCard(card);
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root(), "--watch", "--state", card.state()});
    ASSERT_TRUE(server.ok()) << server.error();
    ASSERT_EQ(dbWriteUploadWord("100ZTCAM", "ZX020042.MP4", 2), 0u);
    const std::string a = "100ZTCAM/ZX010070.MP4", b = "100ZTCAM/ZX010071.MP4";
    const struct {
        std::function<void()> change;
        const char *seen, *gone;
    } kBursts[] = {
        {[&] { card.file(a), card.file("100ZTCAM/ZX010072.MP4"), card.file("103ZTCAM/ZX010073.MP4"); },
         "103ZTCAM/ZX010073.MP4", ""},
        {[&] { fs::rename(card.dcim(a), card.dcim(b)); }, b.c_str(), a.c_str()},
        {[&] { fs::remove(card.dcim(b)); }, "", b.c_str()},
        {[&] { fs::remove_all(card.dcim("103ZTCAM")); }, "", "103ZTCAM/ZX010073.MP4"},
    };
    for (const auto &burst : kBursts) {
        const uint32_t before = server.version();
        burst.change();
        EXPECT_TRUE(waitFor([&] {
            return (!*burst.seen || listed(burst.seen)) && (!*burst.gone || !listed(burst.gone));
        })) << burst.seen
            << burst.gone << "\n"
            << server.log();
        usleep(400 * 1000);  // longer than the quiet time: a second rescan would have run by now
        EXPECT_EQ(server.version(), before + 1) << burst.seen << burst.gone;
    }
    const std::vector<std::string> served = listKeys(0);
    const uint32_t last = server.version();
    ASSERT_TRUE(server.restart(false)) << server.error();
    EXPECT_EQ(listKeys(0), served);
    EXPECT_EQ(server.version(), last);
    EXPECT_EQ(dbHistogram().histogram[2], 1u);

    fs::rename(card.root(), card.root() + ".away");
    EXPECT_TRUE(waitFor([] { return dbHistogram().histogram[0] + dbHistogram().histogram[2] == 0; })) << server.log();
    EXPECT_GT(server.version(), last);
    fs::rename(card.root() + ".away", card.root());
    EXPECT_TRUE(waitFor([] { return listed("100ZTCAM/ZX010042.MP4"); })) << server.log();
    EXPECT_EQ(dbHistogram().histogram[2], 1u);
    card.file("100ZTCAM/ZX010074.MP4");
    EXPECT_TRUE(waitFor([] { return listed("100ZTCAM/ZX010074.MP4"); })) << server.log();
}

// What the generator wrote, as "DIR/FILE" -> kind, duration (ms), width, height.
struct Made {
    std::string kind;
    uint32_t ms = 0, width = 0, height = 0;
};
std::map<std::string, Made> makeCard(const std::string &root, int media)
{
    std::string out;
    EXPECT_EQ(runCommand(ztBinPath("ztMakeCard") + " " + root + " " + std::to_string(media), &out), 0);
    std::map<std::string, Made> made;
    std::istringstream in(out);
    for (std::string key; in >> key;)
        in >> made[key].kind >> made[key].ms >> made[key].width >> made[key].height;
    return made;
}

// A generated card: every medium listed with the duration and dimensions its file says (broken
// files with zeros), companions not listed. A restart reads no unchanged file (same size and
// time), keeps upload words, and takes a file replaced under its name as new: upload state 0.
TEST(MediadbCard, GeneratedCardIsServedWithWhatItsFilesSayAndRestartReusesTheIndex)
{
    CardTree card;
    const std::map<std::string, Made> made = makeCard(card.root(), 40);
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root(), "--state", card.state()});
    ASSERT_TRUE(server.ok()) << server.error();
    std::string error;
    const std::vector<ListEntry> grouped =
        dbListAll(4, DB_LIST_VIDEO_GROUPING | DB_LIST_INCLUDE_MORE_INFO, kAllClasses, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(grouped.size(), made.size());
    for (const ListEntry &e : grouped) {
        const auto it = made.find(e.dir + "/" + e.file);
        ASSERT_NE(it, made.end()) << e.file;
        const Made &m = it->second;
        const db_more_info more = e.more;
        EXPECT_EQ(uint32_t(more.width), m.width) << e.file;
        EXPECT_EQ(uint32_t(more.height), m.height) << e.file;
        const db_video_specific_info v = e.video;
        if (e.hasVideo) {
            EXPECT_EQ(uint32_t(v.duration_ms), m.ms) << e.file;
        }
    }
    // Every chapter on its own: the three of a chaptered video add up to what was written.
    std::map<std::string, uint32_t> chapters;
    for (const ListEntry &e : dbListAll(4, 0, kAllClasses, &error)) {
        const db_video_specific_info v = e.video;
        if (uint32_t(e.content.content_type) == DB_CONTENT_TYPE_CHAPTERED_VIDEO)
            chapters[e.dir + "/ZX01" + e.file.substr(4)] += v.duration_ms;
    }
    for (const auto &[key, ms] : chapters)
        EXPECT_EQ(ms, made.at(key).ms) << key;
    EXPECT_EQ(chapters.size(), 4u);

    ASSERT_EQ(dbWriteUploadWord("100ZTCAM", "ZX010001.MP4", 2), 0u);
    ASSERT_EQ(dbWriteUploadWord("100ZTCAM", "ZH010008.MP4", 3), 0u);
    auto durationOf = [&](const char *file) {
        for (const ListEntry &e : dbListAll(4, 0, kAllClasses, &error))
            if (e.file == file)
                return uint32_t(db_video_specific_info(e.video).duration_ms);
        return ~0u;
    };
    // Same size and time, other bytes: not opened again.
    const std::string same = card.dcim("100ZTCAM/ZX010001.MP4");
    struct stat st {};
    ASSERT_EQ(stat(same.c_str(), &st), 0);
    std::ofstream(same, std::ios::binary | std::ios::trunc) << std::string(size_t(st.st_size), '\0');
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, same.c_str(), times, 0), 0);
    // Replaced: another size.
    card.file("100ZTCAM/ZH010008.MP4", 50);
    ASSERT_TRUE(server.restart(false)) << server.error();
    EXPECT_EQ(durationOf("ZX010001.MP4"), made.at("100ZTCAM/ZX010001.MP4").ms);
    EXPECT_EQ(durationOf("ZH010008.MP4"), 0u);
    EXPECT_EQ(dbHistogram().histogram[2], 1u);
    EXPECT_EQ(dbHistogram().histogram[3], 0u);
}

// Media made by a real encoder (moov last, and moved first): duration, frame rate and dimensions
// as ffmpeg was asked to make them.
TEST(MediadbCard, EncodedMediaAreReadAsMade)
{
    std::string out;
    if (runCommand("ffmpeg -hide_banner -version >/dev/null 2>&1", &out) != 0)
        GTEST_SKIP() << "ffmpeg is not installed (scripts/setup installs it): media of a real encoder not tested";
    struct Encoded {
        const char *file, *args;
        uint32_t ms, width, height, fps;
    } const kEncoded[] = {
        {"ZX010001.MP4", "-i testsrc=size=64x48:rate=25:duration=1.2 -c:v libx264 -pix_fmt yuv420p", 1200, 64, 48, 25},
        {"ZX010002.MP4", "-i testsrc=size=48x32:rate=30:duration=1 -c:v libx264 -movflags +faststart", 1000, 48, 32,
         30},
        {"ZCAM0101.JPG", "-i testsrc=size=80x60 -frames:v 1", 0, 80, 60, 0},
    };
    CardTree card;
    for (const Encoded &x : kEncoded) {
        const std::string to = card.dcim(std::string("100ZTCAM/") + x.file);
        ASSERT_EQ(runCommand("ffmpeg -hide_banner -loglevel error -f lavfi " + std::string(x.args) + " " + to, &out), 0)
            << x.file;
    }
    ServerProcess server = ServerProcess::fromArgs({"--card", card.root()});
    ASSERT_TRUE(server.ok()) << server.error();
    std::string error;
    const std::vector<ListEntry> listed = dbListAll(4, DB_LIST_INCLUDE_MORE_INFO, kAllClasses, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(listed.size(), std::size(kEncoded));
    for (const Encoded &x : kEncoded) {
        const auto e = std::find_if(listed.begin(), listed.end(), [&](const ListEntry &l) { return l.file == x.file; });
        ASSERT_NE(e, listed.end()) << x.file;
        const db_more_info more = e->more;
        const db_video_specific_info video = e->video;
        EXPECT_EQ(uint32_t(more.width), x.width) << x.file;
        EXPECT_EQ(uint32_t(more.height), x.height) << x.file;
        EXPECT_EQ(uint32_t(more.frame_rate_numerator), x.fps * uint32_t(more.frame_rate_denominator)) << x.file;
        EXPECT_EQ(e->hasVideo ? uint32_t(video.duration_ms) : 0u, x.ms) << x.file;
    }
}

// Until the first index is in every request is answered busy (status 1, which the clients retry
// and the HTTP mapping shows as 503) under the card folder's own identifier; a change seen during
// the index is applied once it is served.
TEST(MediadbCard, AnswersBusyUntilTheFirstIndexIsServed)
{
    CardTree card;
    buildCard(card);
    // Folders made within one tick of the file system's clock share a birth time.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    CardTree other;
    MediaCard standIn;
    std::string again, otherId;
    ASSERT_TRUE(cardFolderId(card.root(), &standIn.cardId).ok());
    ASSERT_TRUE(cardFolderId(card.root(), &again).ok() && cardFolderId(other.root(), &otherId).ok());
    EXPECT_EQ(again, standIn.cardId);
    EXPECT_NE(otherId, standIn.cardId);

    MediaCatalog catalog(standIn, nullptr, true);
    CardFollower follower(card.root(), EntrySource::Drop, catalog);
    auto ask = [&] {
        const db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 42};
        const std::vector<Frame> out = handleRequest(catalog, reinterpret_cast<const uint8_t *>(&req), sizeof req);
        return out.empty() ? Frame{} : out[0];
    };
    const db_response_header busy = dbRecordAt<db_response_header>(ask(), 0);
    EXPECT_EQ(busy.status, uint32_t(DB_STATUS_BUSY));
    EXPECT_EQ(busy.command_type, uint32_t(DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM));
    EXPECT_EQ(busy.token, 42u);

    std::string applied;
    const Status s = follower.serveFirst(
        [&](MediaCard *next) {
            Status scanned = scanCard(card.root(), next);
            card.file("103ZTCAM/ZX010090.MP4");  // arrives after its folder was walked
            follower.apply({CardChange::Kind::Folders, {"103ZTCAM"}});
            return scanned;
        },
        &applied);
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_NE(applied, "");
    const db_histogram_response served = dbRecordAt<db_histogram_response>(ask(), 0);
    EXPECT_EQ(served.header.status, uint32_t(DB_STATUS_OK));
    EXPECT_EQ(served.histogram[0], 12u);  // the eleven of buildCard and the late one
}

}  // namespace
