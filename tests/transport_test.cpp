// The client transport: retries, receive time-outs and assertions. Status, count and token
// rules are covered through the commands that use them (db_*_test.cpp, histogram_test.cpp).
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/client/dbTransport.h"
#include "support/scripted_peer.h"

namespace {

const db_request_header kRequest = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 2};

class Transport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok()) << peer.error();
        ASSERT_EQ(0, rtosConnectionCtor(&conn));
    }
    void TearDown() override { rtosConnectionDtor(&conn); }
    int call(int retries) { return rtosCall(&conn, &kRequest, sizeof kRequest, response, retries, 0); }

    ScriptedPeer peer;
    PauseRecorder pauses;
    rtosConnection_t conn = {};
    uint8_t response[DB_FRAME_MAX];
};

}  // namespace

TEST_F(Transport, SendFailingEveryTimeMakesElevenAttemptsThenGivesUp)
{
    IpcFaults faults;
    faults.failSend = -1;
    EXPECT_EQ(-1, call(DB_RETRIES_DEFAULT));
    EXPECT_EQ(11, faults.sends);
    EXPECT_EQ(0, faults.receives);
    EXPECT_EQ(std::vector<unsigned>(11, 100000u), pauses.pauses);
}

TEST_F(Transport, RecoversWhenALaterAttemptSucceeds)
{
    IpcFaults faults;
    faults.failSend = 2;
    peer.reply(frameOf(db_response_header{10, 0, 0, 7, 2}));
    EXPECT_EQ(20, call(2));
    EXPECT_EQ(3, faults.sends);
    EXPECT_EQ(2u, pauses.pauses.size());
    ASSERT_EQ(1u, peer.requestCount());
    EXPECT_EQ(frameOf(kRequest), peer.requests()[0].bytes);  // resent whole
}

TEST_F(Transport, ReceiveTimeoutArgumentReachesTheSocket)
{
    const struct {
        int argument;
        long seconds;
    } cases[] = {{0, 30}, {900, 900}, {5, 5}, {-1, 30}};
    for (const auto &c : cases) {
        peer.reply(Frame(24, 0xAB));
        ASSERT_EQ(static_cast<int>(sizeof kRequest), ztIpcSend(&conn, &kRequest, sizeof kRequest));
        EXPECT_EQ(24, rtosConnectionRecv(&conn, response, sizeof response, c.argument));
        timeval tv = {};
        socklen_t len = sizeof tv;
        ASSERT_EQ(0, getsockopt(conn.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, &len));
        EXPECT_EQ(c.seconds, tv.tv_sec) << "argument " << c.argument;
        EXPECT_EQ(0, tv.tv_usec);
    }
}

TEST(TransportDeathTest, AssertionIsReportedFromLevelFiveAndAborts)
{
    EXPECT_EXIT(
        {
            ztUtilSetLogLevel(5);
            rtosConnection_t conn = {};
            uint8_t buf[4];
            rtosConnectionRecv(&conn, buf, 0, 0);
        },
        ::testing::KilledBySignal(SIGABRT), "ASSERT");
    EXPECT_EXIT(
        {
            ztUtilSetLogLevel(4);
            rtosConnectionDtor(nullptr);
        },
        ::testing::KilledBySignal(SIGABRT), "^$");
    EXPECT_EXIT(
        {
            std::signal(SIGABRT, SIG_IGN);  // an ignored abort still ends the process
            rtosConnectionDtor(nullptr);
        },
        ::testing::ExitedWithCode(255), "");
}
