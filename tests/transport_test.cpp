// The client transport: retries of rtosCall, receive time-outs, frame dumps, assertions, and
// the shared command steps of dbCommon.
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/src/dbCommon.h"
#include "libztMediaRTOSDB/src/dbTransport.h"
#include "support/klog_capture.h"
#include "support/scoped_env.h"
#include "support/scripted_peer.h"

namespace {

const db_request_header kRequest = {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 2};

std::string dumpOf(const char *label, const Frame &f)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    dbDumpFrame(out, label, f.data(), f.size());
    std::fclose(out);
    std::string s(text, size);
    free(text);
    return s;
}

class Transport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok()) << peer.error();
        ASSERT_EQ(0, rtosConnectionCtor(&conn));
    }
    void TearDown() override { rtosConnectionDtor(&conn); }

    ScriptedPeer peer;
    PauseRecorder pauses;
    rtosConnection_t conn = {};
    uint8_t response[DB_FRAME_MAX];
};

}  // namespace

TEST_F(Transport, SendFailingEveryTimeMakesElevenAttemptsThenGivesUp)
{
    KlogCapture log(2);
    IpcFaults faults;
    faults.failSend = -1;
    EXPECT_EQ(-1, rtosCall(&conn, &kRequest, sizeof kRequest, response, DB_RETRIES_DEFAULT, 0));
    EXPECT_EQ(11, faults.sends);
    EXPECT_EQ(0, faults.receives);
    EXPECT_EQ(std::vector<unsigned>(11, 100000u), pauses.pauses);
    EXPECT_EQ(11, log.count("error on IPC send, retrying, ret -32\n")) << log.text();
    EXPECT_EQ(1, log.count("exhausted retries on IPC exchange, exiting\n"));
    EXPECT_EQ(12, static_cast<int>(log.lines().size()));
}

TEST_F(Transport, TimedOutReceiveWithoutRetriesIsOneAttempt)
{
    KlogCapture log(2);
    IpcFaults faults;
    faults.timeoutReceive = -1;
    peer.setHandler([](const PeerRequest &) { return PeerAction::silence(); });
    EXPECT_EQ(-1, rtosCall(&conn, &kRequest, sizeof kRequest, response, DB_RETRIES_NONE, DB_TIMEOUT_LONG_S));
    EXPECT_EQ(1, faults.sends);
    EXPECT_EQ(1, faults.receives);
    EXPECT_EQ(1u, pauses.pauses.size());
    EXPECT_EQ(1, log.count("error on IPC received, retrying, bytesRead -11\n")) << log.text();
    EXPECT_EQ(1, log.count("exhausted retries on IPC exchange, exiting\n"));
}

TEST_F(Transport, RecoversWhenALaterAttemptSucceeds)
{
    IpcFaults faults;
    faults.failSend = 2;
    peer.reply(frameOf(db_response_header{10, 0, 0, 7, 2}));
    EXPECT_EQ(20, rtosCall(&conn, &kRequest, sizeof kRequest, response, 2, 0));
    EXPECT_EQ(3, faults.sends);
    EXPECT_EQ(2u, pauses.pauses.size());
    ASSERT_EQ(1u, peer.requestCount());
    EXPECT_EQ(frameOf(kRequest), peer.requests()[0].bytes);  // resent whole
}

TEST_F(Transport, PeerHangingUpCountsAsReceiveFailure)
{
    KlogCapture log(2);
    peer.push(PeerAction::close());
    EXPECT_EQ(-1, rtosCall(&conn, &kRequest, sizeof kRequest, response, 0, 0));
    EXPECT_EQ(1, log.countContaining("error on IPC received, retrying, bytesRead -104"));
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

TEST_F(Transport, ReceiveIntoSmallBufferRefusesLargerFrame)
{
    peer.reply(Frame(40, 1));
    ASSERT_GT(ztIpcSend(&conn, &kRequest, sizeof kRequest), 0);
    EXPECT_LT(rtosConnectionRecv(&conn, response, 39, 0), 0);
}

TEST_F(Transport, FramesAreDumpedOnStdoutAtLevelSix)
{
    KlogCapture log(6);
    peer.reply(Frame(3, 0xEE));
    testing::internal::CaptureStdout();
    EXPECT_EQ(3, rtosCall(&conn, &kRequest, sizeof kRequest, response, 0, 0));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(dumpOf(DB_DUMP_SEND, frameOf(kRequest)) + dumpOf(DB_DUMP_RECV, Frame(3, 0xEE)), out);
    EXPECT_EQ(0u, log.lines().size());  // dumps never go to the kernel log
}

TEST_F(Transport, NothingIsDumpedBelowLevelSix)
{
    KlogCapture log(5);
    peer.reply(Frame(3, 0xEE));
    testing::internal::CaptureStdout();
    EXPECT_EQ(3, rtosCall(&conn, &kRequest, sizeof kRequest, response, 0, 0));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST(FrameDump, TwelveByteRequestIsOneLineOfThreeGroups)
{
    db_request_header h = {10, 1, 2};
    EXPECT_EQ("\nSnd :\n[00000/00012]: 0a 00 00 00  01 00 00 00   02 00 00 00 \n",
              dumpOf(DB_DUMP_SEND, frameOf(h)));
}

TEST(FrameDump, ThirtyThreeBytesWrapAfterThirtyTwo)
{
    Frame f(33);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i);
    std::string want = "L:\n[00000/00033]:";
    for (int i = 0; i < 32; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, " %02x", i);
        want += b;
        want += std::string((i % 4 == 3) + (i % 8 == 7) + (i % 16 == 15), ' ');
    }
    want += "\n[00032/00033]: 20\n";
    EXPECT_EQ(want, dumpOf("L", f));
}

TEST(FrameDump, FailedReceivePrintsOnlyANewline)
{
    KlogCapture log(6);
    testing::internal::CaptureStdout();
    dbTraceFrame(DB_DUMP_RECV, nullptr, -11);
    dbTraceFrame(DB_DUMP_RECV, "x", 0);
    EXPECT_EQ("\n\n", testing::internal::GetCapturedStdout());
}

TEST(TransportConnect, ConstructorReportsPlatformFailure)
{
    char tmpl[] = "/tmp/zttransport.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    ScopedEnv env("ZT_IPC_DIR", tmpl);
    KlogCapture log(2);
    rtosConnection_t conn = {};
    EXPECT_EQ(-1, rtosConnectionCtor(&conn));
    EXPECT_EQ(1, log.count("ztIpcInit fail, ret -2\n")) << log.text();
    {
        IpcFaults faults;
        faults.failInit = 1;
        DbConnection c;
        EXPECT_EQ(-1, c.open());
        EXPECT_FALSE(c.isOpen());
    }
    EXPECT_EQ(1, log.count("ztIpcInit fail, ret -111\n"));
    rmdir(tmpl);
}

TEST(TransportConnect, DbConnectionClosesOnEveryPath)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    IpcFaults faults;
    {
        DbConnection c;
        ASSERT_EQ(0, c.open());
        EXPECT_TRUE(c.isOpen());
        EXPECT_GE(c.get()->fd, 0);
    }
    EXPECT_EQ(1, faults.inits);
    EXPECT_EQ(1, faults.destroys);
}

using TransportDeathTest = ::testing::Test;

TEST_F(TransportDeathTest, ZeroReceiveBufferIsAnAssertion)
{
    EXPECT_EXIT(
        {
            ztUtilSetLogLevel(5);
            rtosConnection_t conn = {};
            uint8_t buf[4];
            rtosConnectionRecv(&conn, buf, 0, 0);
        },
        ::testing::KilledBySignal(SIGABRT),
        "zt\\[5\\] ztMediaDBApp:[0-9]+: .*ASSERT:libztMediaRTOSDB/src/ztMediaDBApp/rtosConnectionRecv:[0-9]+:szDest");
}

TEST_F(TransportDeathTest, NullConnectionIsAnAssertionReportedOnlyFromLevelFive)
{
    EXPECT_EXIT(
        {
            ztUtilSetLogLevel(5);
            rtosConnectionDtor(nullptr);
        },
        ::testing::KilledBySignal(SIGABRT), "ASSERT:libztMediaRTOSDB/src/ztMediaDBApp/rtosConnectionDtor:[0-9]+:pRtosConn");
    EXPECT_EXIT(
        {
            ztUtilSetLogLevel(4);
            rtosConnectionDtor(nullptr);
        },
        ::testing::KilledBySignal(SIGABRT), "^$");
}

TEST_F(TransportDeathTest, IgnoredAbortStillEndsTheProcessWithMinusOne)
{
    EXPECT_EXIT(
        {
            std::signal(SIGABRT, SIG_IGN);
            rtosConnectionDtor(nullptr);
        },
        ::testing::ExitedWithCode(255), "");
}

// --- Shared command steps -----------------------------------------------------------------

TEST(DbCommon, DatabaseStatusMapsToHttp)
{
    const struct {
        uint32_t status;
        int http;
        bool logged;
    } cases[] = {{0, 200, false}, {1, 503, false}, {2, 503, false}, {3, 404, true},
                 {4, 404, false}, {5, 500, true},  {0xFFFFFFFF, 500, true}};
    for (const auto &c : cases) {
        KlogCapture log(2);
        EXPECT_EQ(c.http, dbHttpStatusFromDb(c.status)) << c.status;
        char msg[80];
        std::snprintf(msg, sizeof msg, "error on IPC received, exiting, status %d\n", static_cast<int>(c.status));
        EXPECT_EQ(c.logged ? 1 : 0, log.count(msg)) << c.status;
        EXPECT_EQ(c.logged ? 1u : 0u, log.lines().size()) << c.status;
    }
}

TEST(DbCommon, CountIsClampedToWhatWasAsked)
{
    KlogCapture log(3);
    db_response_header h = {4, 0, 3, 0, 0};
    EXPECT_FALSE(dbClampCount(&h, 3, DB_LOG_NOTICE));
    EXPECT_TRUE(dbClampCount(&h, 1, DB_LOG_NOTICE));
    EXPECT_EQ(1u, h.count_returned);
    EXPECT_EQ(1, log.count("command 4 requested 1, response returned 3, setting response returned to 1"));
}

TEST(DbCommon, TokenMismatchIsLoggedNotFatal)
{
    KlogCapture log(3);
    EXPECT_TRUE(dbCheckToken(7, 7));
    EXPECT_FALSE(dbCheckToken(7, 8));
    EXPECT_EQ(1u, log.lines().size());
    EXPECT_EQ(1, log.countAtLevel(DB_LOG_NOTICE));
    EXPECT_EQ(1, log.count("Tokens don't match 7 8"));
}

TEST(DbCommon, ShortResponseNoticePausesOnlyBelowAHeader)
{
    KlogCapture log(3);
    PauseRecorder pauses;
    EXPECT_FALSE(dbNoteShortResponse(20));
    EXPECT_TRUE(dbNoteShortResponse(19));
    EXPECT_TRUE(dbNoteShortResponse(-1));
    EXPECT_EQ(2u, pauses.pauses.size());
    EXPECT_EQ(1, log.count("19 bytes received, expecting 20, retrying\n"));
    dbNoteErrorStatus(6);
    EXPECT_EQ(1, log.count("error on IPC received, retrying, status 6\n"));
    EXPECT_EQ(3u, pauses.pauses.size());
}

TEST(DbCommon, NamesAreCopiedFixedWidth)
{
    const struct {
        const char *src;
        const char *want;  // 8 bytes
    } cases[] = {{"100ZTCAM", "100ZTCAM"}, {"100ZTCAMX", "100ZTCAM"}, {"ABC", "ABC\0\0\0\0\0"}, {nullptr, "\0\0\0\0\0\0\0\0"}};
    for (const auto &c : cases) {
        char dst[9];
        std::memset(dst, '#', sizeof dst);
        dbCopyName(dst, c.src, 8);
        EXPECT_EQ(0, std::memcmp(dst, c.want, 8)) << (c.src ? c.src : "(null)");
        EXPECT_EQ('#', dst[8]);
    }
}

TEST(DbCommon, HeadersAreLoggedAtTheCallersLevel)
{
    KlogCapture log(4);
    dbLogRequestHeader(4, db_request_header{9, 1, 0xAB});
    dbLogResponseHeader(4, db_response_header{9, 0, 1, 3, 0xAB}, false);
    dbLogRequestHeader(5, db_request_header{9, 1, 0xAB});
    std::vector<std::string> want = {"Request: command_type 9", "         request_count 1", "         token 0x000000AB",
                                     "ResponseHeader: command_type 9", "                status 0",
                                     "                count_returned 1", "                rtos_db_version 3"};
    ASSERT_EQ(want.size(), log.lines().size()) << log.text();
    for (const std::string &w : want) EXPECT_EQ(1, log.count(w)) << w;
}
