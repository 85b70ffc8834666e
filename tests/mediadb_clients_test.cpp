// ztMediaDBd with several clients at once (threads of this test), and status writes: what the
// server acknowledges is still there after a clean restart and after kill -9.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>

#include <filesystem>
#include <thread>

#include "mediadb/db_server.h"
#include "platform/ztipc.h"
#include "ztMedia/ztMediaDB.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

void onItem(void *context, cah_item_s *item)
{
    static_cast<std::vector<std::string> *>(context)->push_back(std::string(item->dir_name) + "/" +
                                                                 item->file_name);
}

// The candidate list through the client, pages of 15.
std::vector<std::string> clientList()
{
    std::vector<std::string> keys;
    uint32_t session = 0, total = 1;
    for (uint32_t start = 0; start < total;) {
        int got = dbGetCAHList(15, start, start, onItem, &keys, nullptr, nullptr, &session, &total);
        if (got <= 0)
            break;
        start += static_cast<uint32_t>(got);
    }
    return keys;
}

std::vector<std::string> rawList(std::string *error)
{
    return dbEntryKeys(dbListAll(40, 2 | 4 | 8, DB_QUERY_CAH_LIST, error));
}

TEST(MediadbClients, ConcurrentClientsGetTheSameAnswersAsOne)
{
    ServerProcess server(generateCard(600).json);
    ASSERT_TRUE(server.ok()) << server.error();
    std::string error;
    const std::vector<std::string> alone = rawList(&error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(clientList(), alone);

    std::vector<std::string> failures(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < failures.size(); t++)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; round++) {
                std::string err;
                if ((t % 2 ? clientList() : rawList(&err)) != alone)
                    failures[t] = "list differs in round " + std::to_string(round) + " " + err;
            }
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(failures, std::vector<std::string>(4));
}

// Silent clients on either channel, and a reply held back for another client, leave a new client's
// question answered at once: none of them holds a worker.
TEST(MediadbClients, NoClientHoldsUpAnother)
{
    ServerProcess server(generateCard(20).json);
    ASSERT_TRUE(server.ok()) << server.error();
    rtosConnection_t silentCtl{}, silent{}, held{};
    ASSERT_EQ(ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &silent), 0);
    ASSERT_EQ(ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &held), 0);
    ASSERT_EQ(server.ctl({"delay", "1", "5000"}), 0);
    const db_request_header req = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 0x11};
    ASSERT_GE(ztIpcSend(&held, &req, sizeof req), 0);
    ASSERT_EQ(ztIpcInit(ZT_MEDIADB_CTL_CHANNEL, &silentCtl), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the held request takes the delay

    // Well inside the 2 s that a silent control client used to hold every new connection.
    rtosConnection_t asker{};
    ASSERT_EQ(ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &asker), 0);
    const timeval wait{1, 0};
    setsockopt(asker.fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    uint8_t reply[DB_FRAME_MAX];
    ASSERT_GE(ztIpcSend(&asker, &req, sizeof req), 0);
    EXPECT_EQ(ztIpcReceive(&asker, reply), static_cast<int>(sizeof(db_histogram_response)));
    EXPECT_LT(recv(held.fd, reply, sizeof reply, MSG_DONTWAIT), 0) << "the held reply came early";
    for (rtosConnection_t *c : {&silentCtl, &silent, &held, &asker})
        ztIpcDestroy(c);
}

uint32_t wordOf(const GeneratedCard::Row &r)
{
    db_file_request req = dbFileRequest(DB_CMD_GET_CONTENT_INFO, r.dir.c_str(), r.file.c_str());
    return dbRecordAt<db_content_info>(dbExchangeOne(&req, sizeof req), 20).upload_status;
}

TEST(MediadbClients, AcknowledgedWritesSurviveRestartAndKill)
{
    GeneratedCard card = generateCard(120);
    char dir[] = "/tmp/ztmediadb-state-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    ServerProcess server(card.json, {"--state", std::string(dir) + "/state.sqlite"});
    ASSERT_TRUE(server.ok()) << server.error();

    // Two writers at once on different files, through both write paths.
    std::vector<uint32_t> expect(card.rows.size());
    auto writer = [&](size_t from) {
        for (size_t i = from; i < card.rows.size(); i += 2) {
            const GeneratedCard::Row &r = card.rows[i];
            uint32_t state = static_cast<uint32_t>(i % 32);
            expect[i] = i % 4 < 2 ? state : OFFLOAD_PC | state;
            int rc = i % 4 < 2 ? dbSetCAHUploadStatus(r.dir.c_str(), r.file.c_str(), state, 1)
                               : dbSetUploadStatusRawBits(r.dir.c_str(), r.file.c_str(), expect[i], 2);
            if (rc != 0)
                expect[i] = ~0u;  // shows up as a mismatch below
        }
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();

    for (int sig : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE("stopped with signal " + std::to_string(sig));
        // The last write before the stop must be there too.
        expect[3] = (expect[3] & ~DB_UPLOAD_STATE_MASK) | static_cast<uint32_t>(sig);
        ASSERT_EQ(dbSetCAHUploadStatus(card.rows[3].dir.c_str(), card.rows[3].file.c_str(), sig, 3), 0);
        server.stop(sig);
        ASSERT_TRUE(server.restart()) << server.error();
        for (size_t i = 0; i < card.rows.size(); i++)
            ASSERT_EQ(wordOf(card.rows[i]), expect[i]) << card.rows[i].file;
    }
    server.stop();
    std::filesystem::remove_all(dir);
}

}  // namespace
