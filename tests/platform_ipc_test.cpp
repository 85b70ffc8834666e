// The Unix-socket IPC stand-in: frames, time-outs, hang-ups, oversized frames, the listening side.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "platform/ztipc.h"
#include "support/scoped_env.h"
#include "support/scripted_peer.h"

namespace {

Frame bytesOfSize(size_t n, uint8_t seed = 1)
{
    Frame f(n);
    for (size_t i = 0; i < n; ++i) f[i] = static_cast<uint8_t>(seed + i);
    return f;
}

struct Connected {
    rtosConnection_t conn = {};
    int rc;
    Connected() { rc = ztIpcInit("rtos_media_db", &conn); }
    ~Connected() { ztIpcDestroy(&conn); }
};

void setReceiveTimeoutMs(int fd, int ms)
{
    timeval tv = {0, ms * 1000};
    ASSERT_EQ(0, setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv));
}

}  // namespace

TEST(PlatformIpc, OneFrameEachWayKeepsFrameBoundaries)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    peer.push(PeerAction::replies({bytesOfSize(148), bytesOfSize(3, 9)}));
    Connected c;
    ASSERT_EQ(0, c.rc);
    EXPECT_TRUE(c.conn.connected);
    Frame request = bytesOfSize(12, 40);
    EXPECT_EQ(12, ztIpcSend(&c.conn, request.data(), request.size()));

    uint8_t buf[ZT_IPC_FRAME_MAX];
    ASSERT_EQ(148, ztIpcReceive(&c.conn, buf));
    EXPECT_EQ(bytesOfSize(148), Frame(buf, buf + 148));
    ASSERT_EQ(3, ztIpcReceive(&c.conn, buf));
    EXPECT_EQ(bytesOfSize(3, 9), Frame(buf, buf + 3));

    ASSERT_EQ(1u, peer.requestCount());
    EXPECT_EQ(request, peer.requests()[0].bytes);
}

TEST(PlatformIpc, ReceiveThatTimesOutFailsWithEagain)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    peer.push(PeerAction::silence());
    Connected c;
    ASSERT_EQ(0, c.rc);
    setReceiveTimeoutMs(c.conn.fd, 20);
    uint8_t req = 1, buf[ZT_IPC_FRAME_MAX];
    ASSERT_EQ(1, ztIpcSend(&c.conn, &req, 1));
    EXPECT_EQ(-EAGAIN, ztIpcReceive(&c.conn, buf));
}

TEST(PlatformIpc, PeerThatHangsUpIsAFailureNotAnEmptyFrame)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    peer.push(PeerAction::close());
    Connected c;
    ASSERT_EQ(0, c.rc);
    uint8_t req = 1, buf[ZT_IPC_FRAME_MAX];
    ASSERT_EQ(1, ztIpcSend(&c.conn, &req, 1));
    EXPECT_EQ(-ECONNRESET, ztIpcReceive(&c.conn, buf));
}

TEST(PlatformIpc, OversizedFrameIsRefusedAndTheNextOneStillArrives)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    peer.push(PeerAction::replies({bytesOfSize(ZT_IPC_FRAME_MAX + 1), bytesOfSize(10), bytesOfSize(10)}));
    Connected c;
    ASSERT_EQ(0, c.rc);
    uint8_t req = 1, buf[ZT_IPC_FRAME_MAX + 8];
    ASSERT_EQ(1, ztIpcSend(&c.conn, &req, 1));
    EXPECT_EQ(-EMSGSIZE, ztIpcReceive(&c.conn, buf));
    EXPECT_EQ(10, ztIpcReceive(&c.conn, buf));
    EXPECT_EQ(-EMSGSIZE, ztIpcReceiveInto(&c.conn, buf, 9));  // smaller caller buffer
}

TEST(PlatformIpc, SendRefusesFramesAboveTheLimitAndUnconnectedRecords)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    Connected c;
    ASSERT_EQ(0, c.rc);
    Frame big = bytesOfSize(ZT_IPC_FRAME_MAX + 1);
    EXPECT_EQ(-EMSGSIZE, ztIpcSend(&c.conn, big.data(), big.size()));

    rtosConnection_t closed = {};
    uint8_t buf[ZT_IPC_FRAME_MAX];
    EXPECT_EQ(-ENOTCONN, ztIpcSend(&closed, buf, 1));
    EXPECT_EQ(-ENOTCONN, ztIpcReceive(&closed, buf));
    EXPECT_EQ(0, ztIpcDestroy(&closed));  // a zeroed record must not close descriptor 0
    EXPECT_EQ(-EINVAL, ztIpcDestroy(nullptr));
    EXPECT_EQ(0u, peer.requestCount());
}

TEST(PlatformIpc, InitWithoutListenerFailsAndLeavesRecordUnconnected)
{
    char tmpl[] = "/tmp/ztipctest.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    ScopedEnv env("ZT_IPC_DIR", tmpl);
    rtosConnection_t conn = {};
    EXPECT_EQ(-ENOENT, ztIpcInit("rtos_media_db", &conn));
    EXPECT_FALSE(conn.connected);
    EXPECT_EQ(-EINVAL, ztIpcInit(nullptr, &conn));
    EXPECT_EQ(-EINVAL, ztIpcInit("rtos_media_db", nullptr));
    rmdir(tmpl);
}

TEST(PlatformIpc, ChannelPathsFollowZtIpcDir)
{
    {
        ScopedEnv env("ZT_IPC_DIR", nullptr);
        EXPECT_EQ("/tmp/ztipc/rtos_media_db", ztIpcChannelPath("rtos_media_db"));
    }
    {
        ScopedEnv env("ZT_IPC_DIR", "");
        EXPECT_EQ("/tmp/ztipc", ztIpcDir());
    }
    ScopedEnv env("ZT_IPC_DIR", "/run/x");
    EXPECT_EQ("/run/x/rtos_media_db", ztIpcChannelPath("rtos_media_db"));
    EXPECT_EQ("/run/x/card_id", ztIpcCardIdPath());
}

class PlatformListen : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/ztipctest.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        mRoot = tmpl;
        mDir = mRoot + "/nested/ipc";
        mEnv.reset(new ScopedEnv("ZT_IPC_DIR", mDir.c_str()));
    }
    void TearDown() override
    {
        mEnv.reset();
        unlink((mDir + "/chan").c_str());
        rmdir(mDir.c_str());
        rmdir((mRoot + "/nested").c_str());
        rmdir(mRoot.c_str());
    }
    std::string mRoot, mDir;
    std::unique_ptr<ScopedEnv> mEnv;
};

TEST_F(PlatformListen, CreatesDirectoryAndAcceptsClients)
{
    std::string err;
    int fd = ztIpcListen("chan", &err);
    ASSERT_GE(fd, 0) << err;
    rtosConnection_t conn = {};
    EXPECT_EQ(0, ztIpcInit("chan", &conn));
    ztIpcDestroy(&conn);
    close(fd);
}

TEST_F(PlatformListen, ReplacesStaleSocketButNotALiveOne)
{
    std::string err;
    int first = ztIpcListen("chan", &err);
    ASSERT_GE(first, 0) << err;
    int second = ztIpcListen("chan", &err);
    EXPECT_EQ(-1, second);
    EXPECT_EQ("bind " + mDir + "/chan: Address already in use", err);

    close(first);  // the socket file stays behind, as after a crash
    int third = ztIpcListen("chan", &err);
    EXPECT_GE(third, 0) << err;
    close(third);
}

TEST_F(PlatformListen, RefusesToRemoveAFileThatIsNotASocket)
{
    std::string err;
    ASSERT_GE(ztIpcListen("chan", &err), 0) << err;  // creates the directory
    unlink((mDir + "/chan").c_str());
    std::ofstream(mDir + "/chan") << "keep me";
    EXPECT_EQ(-1, ztIpcListen("chan", &err));
    EXPECT_NE(std::string::npos, err.find(mDir + "/chan: File exists")) << err;
    std::ifstream in(mDir + "/chan");
    std::string content;
    std::getline(in, content);
    EXPECT_EQ("keep me", content);
}

TEST_F(PlatformListen, ReportsUnusableDirectoryWithPathAndReason)
{
    std::ofstream(mRoot + "/nested") << "a file where a directory should be";
    std::string err;
    EXPECT_EQ(-1, ztIpcListen("chan", &err));
    EXPECT_EQ("mkdir " + mDir + ": Not a directory", err);
    unlink((mRoot + "/nested").c_str());
    EXPECT_EQ(-1, ztIpcListen("a/b", &err));
}
