// ztMediaDBd with several clients at once (threads of this test), and status writes: what the
// server acknowledges is still there after a clean restart and after kill -9.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <thread>

#include "libztMediaRTOSDB/src/ztMediaDBApp.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

struct Collected {
    std::vector<std::string> keys;
    uint32_t durationSum = 0;
};

void onItem(void *context, cah_item_s *item)
{
    Collected *c = static_cast<Collected *>(context);
    c->keys.push_back(std::string(item->dir_name) + "/" + item->file_name);
    c->durationSum += item->duration;
}

// The candidate list through the client, pages of 15.
Collected clientList()
{
    Collected c;
    uint32_t session = 0, total = 1;
    for (uint32_t start = 0; start < total;) {
        int got = dbGetCAHList(15, start, start, onItem, &c, nullptr, nullptr, &session, &total);
        if (got <= 0)
            break;
        start += static_cast<uint32_t>(got);
    }
    return c;
}

uint32_t wordOf(const std::string &dir, const std::string &file)
{
    db_file_request req = dbFileRequest(DB_CMD_GET_CONTENT_INFO, dir.c_str(), file.c_str());
    return dbRecordAt<db_content_info>(dbExchangeOne(&req, sizeof req), 20).upload_status;
}

TEST(MediadbClients, ConcurrentClientsGetTheSameAnswersAsOne)
{
    GeneratedCard card = generateCard(600);
    ServerProcess server(card.json);
    ASSERT_TRUE(server.ok()) << server.error();
    std::string error;
    const std::vector<std::string> rawAlone = dbEntryKeys(dbListAll(40, 2 | 4 | 8, DB_QUERY_CAH_LIST, &error));
    ASSERT_EQ(error, "");
    const Collected clientAlone = clientList();
    ASSERT_EQ(clientAlone.keys, rawAlone);

    constexpr int kThreads = 4, kRounds = 3;
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds && failures[t].empty(); round++) {
                if (t % 2) {
                    Collected c = clientList();
                    if (c.keys != clientAlone.keys || c.durationSum != clientAlone.durationSum)
                        failures[t] = "client list differs in round " + std::to_string(round);
                    continue;
                }
                std::string err;
                std::vector<std::string> keys = dbEntryKeys(dbListAll(40, 2 | 4 | 8, DB_QUERY_CAH_LIST, &err));
                if (!err.empty() || keys != rawAlone)
                    failures[t] = "raw list differs in round " + std::to_string(round) + ": " + err;
                const GeneratedCard::Row &row = card.rows[static_cast<size_t>(round * 7 + t)];
                db_file_request req = dbFileRequest(DB_CMD_GET_CONTENT_INFO, row.dir.c_str(), row.file.c_str());
                if (dbRecordAt<db_content_info>(dbExchangeOne(&req, sizeof req), 20).creation_time != row.cre)
                    failures[t] = "content of " + row.file + " differs";
            }
        });
    for (std::thread &t : threads)
        t.join();
    for (int t = 0; t < kThreads; t++)
        EXPECT_EQ(failures[t], "") << "thread " << t;
}

// A store file in a directory of its own, removed at the end.
class StateDir {
public:
    StateDir()
    {
        char tmpl[] = "/tmp/ztmediadb-state-XXXXXX";
        mDir = mkdtemp(tmpl) ? tmpl : "";
    }
    ~StateDir()
    {
        for (const char *suffix : {"", "-journal", "-wal", "-shm"})
            unlink((file() + suffix).c_str());
        rmdir(mDir.c_str());
    }
    std::string file() const { return mDir + "/state.sqlite"; }

private:
    std::string mDir;
};

TEST(MediadbClients, AcknowledgedWritesSurviveRestartAndKill)
{
    GeneratedCard card = generateCard(120);
    StateDir state;
    ServerProcess server(card.json, {"--state", state.file()});
    ASSERT_TRUE(server.ok()) << server.error();
    const uint32_t version = dbListPage(0, 1, 2, DB_QUERY_CAH_LIST).header.header.rtos_db_version;

    // Two writers at once on different files; each write is acknowledged before the next.
    std::vector<std::string> failures(2);
    auto writer = [&](size_t from, int which) {
        for (size_t i = from; i < card.rows.size(); i += 2) {
            const GeneratedCard::Row &r = card.rows[i];
            uint32_t state = static_cast<uint32_t>(i % 32);
            int rc = i % 4 < 2 ? dbSetCAHUploadStatus(r.dir.c_str(), r.file.c_str(), state, 1)
                               : dbSetUploadStatusRawBits(r.dir.c_str(), r.file.c_str(), OFFLOAD_PC | state, 2);
            if (rc != 0 && failures[which].empty())
                failures[which] = "write of " + r.file + " returned " + std::to_string(rc);
        }
    };
    std::thread a(writer, 0, 0), b(writer, 1, 1);
    a.join();
    b.join();
    EXPECT_EQ(failures, std::vector<std::string>(2));

    db_status_write_request tooHigh{{DB_CMD_WRITE_UPLOAD_STATUS, 1, 4}, {}, {}, 32};
    std::memcpy(tooHigh.dir_name, card.rows[5].dir.data(), 8);
    std::memcpy(tooHigh.file_name, card.rows[5].file.data(), 12);
    EXPECT_EQ(dbRecordAt<db_response_header>(dbExchangeOne(&tooHigh, sizeof tooHigh), 0).status, 5u);
    std::memcpy(tooHigh.file_name, "ZZZZ9999.MP4", 12);
    tooHigh.upload_status = 1;
    EXPECT_EQ(dbRecordAt<db_response_header>(dbExchangeOne(&tooHigh, sizeof tooHigh), 0).status, 4u);

    std::vector<uint32_t> expect;
    for (size_t i = 0; i < card.rows.size(); i++)
        expect.push_back(static_cast<uint32_t>(i % 32) | (i % 4 < 2 ? 0u : uint32_t{OFFLOAD_PC}));
    for (int sig : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE("stopped with signal " + std::to_string(sig));
        expect[3] = (expect[3] & ~DB_UPLOAD_STATE_MASK) | static_cast<uint32_t>(sig);  // the last word before the stop
        ASSERT_EQ(dbSetCAHUploadStatus(card.rows[3].dir.c_str(), card.rows[3].file.c_str(), sig, 3), 0);
        server.stop(sig);
        ASSERT_TRUE(server.restart()) << server.error();
        for (size_t i = 0; i < card.rows.size(); i++)
            ASSERT_EQ(wordOf(card.rows[i].dir, card.rows[i].file), expect[i]) << card.rows[i].file;
        EXPECT_EQ(dbListPage(0, 1, 2, DB_QUERY_CAH_LIST).header.header.rtos_db_version, version);
    }
}

}  // namespace
