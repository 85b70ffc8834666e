// ztMediaDBd with several clients at once (threads of this test).
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <thread>

#include "mediadb/db_server.h"
#include "platform/ztipc.h"
#include "ztMedia/ztMediaDB.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

void onItem(void *context, cah_item_s *item)
{
    static_cast<std::vector<std::string> *>(context)->push_back(std::string(item->dir_name) + "/" + item->file_name);
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

}  // namespace
