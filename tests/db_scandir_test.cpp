// Directory scan: transfers, capacities, filters and header failures against a scripted peer
// (the server's side: mediadb_lookup_test).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbScandir.h"
#include "support/db_reply_frames.h"

namespace {

constexpr int kShortFrame = -1;  // a transfer shorter than one entry

// Wire name i: even ones are photos, odd ones their thumbnails.
std::string nameOf(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "ZCAM%04d.%s", i, i % 2 ? "THM" : "JPG");
    return name;
}

db_scandir_wire_entry entryOf(const std::string &name, uint64_t first, uint64_t second)
{
    db_scandir_wire_entry e{};
    std::memcpy(e.file_name, name.data(), std::min<size_t>(name.size(), DB_FILE_NAME_LEN));
    e.first_value = first;
    e.second_value = second;
    return e;
}

// The transfers of one answer: the header, then perTransfer[k] entries in transfer k.
std::vector<Frame> transfers(const PeerRequest &r, uint32_t announced, uint32_t names,
                             const std::vector<int> &perTransfer, uint32_t status = 0)
{
    std::vector<Frame> frames;
    Frame f = frameOf(db_scandir_response_header{DB_CMD_NON_DB_SCANDIR, status, announced, names, r.word(2)});
    int next = 0;
    for (int count : perTransfer) {
        if (count == kShortFrame)
            f.resize(27, 'x');
        for (int i = 0; i < count; ++i, ++next)
            appendRecord(f, entryOf(nameOf(next), 100 + next, next));
        frames.push_back(f);
        f.clear();
    }
    return frames;
}

int noThumbnails(const char *name, int length) { return !(length == 12 && std::memcmp(name + 9, "THM", 3) == 0); }

std::vector<std::string> storedNames(const std::vector<zt_file_info> &files, int count)
{
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        names.push_back(files[i].file_name);
    return names;
}

// Wire names 0..n-1, or the listed ones.
std::vector<std::string> namesOf(int n, std::vector<int> indices = {})
{
    for (int i = 0; i < n; ++i)
        indices.push_back(i);
    std::vector<std::string> names;
    names.reserve(indices.size());
    for (int i : indices)
        names.push_back(nameOf(i));
    return names;
}

class DbScanPeer : public DbPeerTest {
protected:
    int scan(int capacity, zt_file_filter filter = nullptr, const char *dir = "100ZTCAM")
    {
        files.assign(capacity + 2, zt_file_info{});
        count = capacity;
        return scandirRTOSdb(dir, files.data(), &count, filter);
    }
    std::vector<zt_file_info> files;
    int count = 0;
};

}  // namespace

TEST_F(DbScanPeer, TransfersCapacitiesAndFilters)
{
    const struct {
        const char *name;
        uint32_t announced, names;
        std::vector<int> perTransfer;
        int capacity;
        zt_file_filter filter;
        int result;
        std::vector<std::string> stored;
        int receives;
    } cases[] = {
        {"empty directory", 1, 0, {0}, 8, nullptr, 0, {}, 1},
        {"names without entries", 1, 3, {0}, 8, nullptr, -5, {}, 1},
        {"entries only later", 2, 3, {0, 3}, 8, nullptr, -5, namesOf(3), 2},
        {"three transfers", 3, 7, {3, 3, 1}, 8, nullptr, 0, namesOf(7), 3},
        {"capacity below the first", 1, 3, {3}, 2, nullptr, -10, namesOf(2), 1},
        {"capacity reached later", 2, 4, {2, 2}, 3, nullptr, -10, namesOf(3), 2},
        {"thumbnails filtered", 2, 6, {4, 2}, 8, noThumbnails, 0, namesOf(0, {0, 2, 4}), 2},
        {"filtered names leave room", 2, 3, {2, 1}, 2, noThumbnails, 0, namesOf(0, {0, 2}), 2},
        {"more entries than names", 2, 30, {50}, 64, nullptr, 0, namesOf(30), 1},
        {"transfer fails midway", 4, 12, {3, 3, kShortFrame, 3}, 16, nullptr, 0, namesOf(6), 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        IpcFaults faults;  // counts only
        peer.setHandler([&c](const PeerRequest &r) {
            return PeerAction::replies(transfers(r, c.announced, c.names, c.perTransfer));
        });
        EXPECT_EQ(c.result, scan(c.capacity, c.filter));
        EXPECT_EQ(c.stored, storedNames(files, count));
        EXPECT_EQ(c.receives, faults.receives);
        EXPECT_EQ(1, faults.destroys);
    }
}

TEST_F(DbScanPeer, StoredEntryAndRequest)
{
    peer.setHandler([](const PeerRequest &r) {
        Frame f = frameOf(db_scandir_response_header{DB_CMD_NON_DB_SCANDIR, 0, 1, 2, r.word(2)});
        appendRecord(f, entryOf("ZX010001.MP4", 5000000000ull, 1773489804));
        return PeerAction::reply(appendRecord(f, entryOf("", 1, 2)));
    });
    files.assign(2, zt_file_info{});
    std::memset(files.data(), 0xEE, files.size() * sizeof files[0]);
    count = 2;
    ASSERT_EQ(0, scandirRTOSdb("100ZTCAM", files.data(), &count, nullptr));
    ASSERT_EQ(2, count);
    EXPECT_EQ(std::string("ZX010001.MP4"), files[0].file_name);
    EXPECT_EQ(5000000000ull, files[0].file_size);
    EXPECT_EQ(1773489804ull, files[0].modified_time);
    EXPECT_EQ((std::vector<uint8_t>{0xEE, 0xEE, 0xEE}), std::vector<uint8_t>(files[0].reserved, files[0].reserved + 3));
    EXPECT_EQ(std::string(), files[1].file_name);

    // The command itself: mediadb_faults_test.
    EXPECT_EQ(0, std::memcmp(peer.requests().at(0).bytes.data() + 12, "100ZTCAM", 8));
    for (const char *dir : {"100ZTCA", "100ZTCAMX", ""}) {  // bad names never reach the channel
        EXPECT_EQ(-4, scan(5, nullptr, dir)) << dir;
        EXPECT_EQ(0, count);
    }
    EXPECT_EQ(1, peer.connections());
}

TEST_F(DbScanPeer, HeaderFailures)
{
    const ReplyCase cases[] = {
        {"19 bytes", [](const PeerRequest &r) { return sized(transfers(r, 1, 1, {1})[0], 19); }, -3},
        {"status 4", [](const PeerRequest &r) { return transfers(r, 1, 1, {1}, 4)[0]; }, -7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        answerAll(peer, c.reply);
        EXPECT_EQ(c.result, scan(4));
        EXPECT_EQ(0, count);
    }
    peer.setHandler(nullptr);  // hang up on every attempt
    EXPECT_EQ(-1, scan(4));
    EXPECT_EQ(0, count);
    EXPECT_EQ(11u, pauses.pauses.size());
}
