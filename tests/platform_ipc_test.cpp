// The Unix-socket IPC stand-in: frames, time-outs, hang-ups, oversized frames, the listening side.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

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

// A client connected to a scripted peer; send() posts a one-byte request.
class PlatformIpc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok()) << peer.error();
        ASSERT_EQ(0, ztIpcInit("rtos_media_db", &conn));
    }
    void TearDown() override { ztIpcDestroy(&conn); }
    void send() { ASSERT_EQ(1, ztIpcSend(&conn, "?", 1)); }

    ScriptedPeer peer;
    rtosConnection_t conn = {};
    uint8_t buf[ZT_IPC_FRAME_MAX + 8];
};

}  // namespace

TEST_F(PlatformIpc, OneFrameEachWayKeepsFrameBoundaries)
{
    peer.push(PeerAction::replies({bytesOfSize(148), bytesOfSize(3, 9)}));
    Frame request = bytesOfSize(12, 40);
    EXPECT_EQ(12, ztIpcSend(&conn, request.data(), request.size()));
    ASSERT_EQ(148, ztIpcReceive(&conn, buf));
    EXPECT_EQ(bytesOfSize(148), Frame(buf, buf + 148));
    ASSERT_EQ(3, ztIpcReceive(&conn, buf));
    EXPECT_EQ(bytesOfSize(3, 9), Frame(buf, buf + 3));
    ASSERT_EQ(1u, peer.requestCount());
    EXPECT_EQ(request, peer.requests()[0].bytes);
}

TEST_F(PlatformIpc, SilenceTimesOutAndHangUpIsAFailureNotAnEmptyFrame)
{
    timeval tv = {0, 20000};
    ASSERT_EQ(0, setsockopt(conn.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv));
    peer.push(PeerAction::silence());
    peer.push(PeerAction::close());
    send();
    EXPECT_EQ(-EAGAIN, ztIpcReceive(&conn, buf));
    send();
    EXPECT_EQ(-ECONNRESET, ztIpcReceive(&conn, buf));
}

TEST_F(PlatformIpc, OversizedFrameIsRefusedAndTheNextOneStillArrives)
{
    peer.push(PeerAction::replies({bytesOfSize(ZT_IPC_FRAME_MAX + 1), bytesOfSize(10), bytesOfSize(10)}));
    send();
    EXPECT_EQ(-EMSGSIZE, ztIpcReceive(&conn, buf));
    EXPECT_EQ(10, ztIpcReceive(&conn, buf));
    EXPECT_EQ(-EMSGSIZE, ztIpcReceiveInto(&conn, buf, 9));  // smaller caller buffer
    Frame big = bytesOfSize(ZT_IPC_FRAME_MAX + 1);
    EXPECT_EQ(-EMSGSIZE, ztIpcSend(&conn, big.data(), big.size()));
    EXPECT_EQ(1u, peer.requestCount());
}

TEST(PlatformIpcBadUse, UnconnectedRecordsAndMissingListenerFail)
{
    ScriptedPeer other("other_channel");  // a private directory without rtos_media_db
    ASSERT_TRUE(other.ok()) << other.error();
    rtosConnection_t conn = {};
    uint8_t buf[ZT_IPC_FRAME_MAX];
    EXPECT_EQ(-ENOENT, ztIpcInit("rtos_media_db", &conn));
    EXPECT_FALSE(conn.connected);
    EXPECT_EQ(-EINVAL, ztIpcInit(nullptr, &conn));
    EXPECT_EQ(-EINVAL, ztIpcInit("rtos_media_db", nullptr));
    EXPECT_EQ(-ENOTCONN, ztIpcSend(&conn, buf, 1));
    EXPECT_EQ(-ENOTCONN, ztIpcReceive(&conn, buf));
    EXPECT_EQ(0, ztIpcDestroy(&conn));  // a zeroed record must not close descriptor 0
    EXPECT_EQ(-EINVAL, ztIpcDestroy(nullptr));
}

TEST(PlatformIpcBadUse, ChannelPathsFollowZtIpcDir)
{
    {
        ScopedEnv env("ZT_IPC_DIR", "");
        EXPECT_EQ("/tmp/ztipc/rtos_media_db", ztIpcChannelPath("rtos_media_db"));
    }
    ScopedEnv env("ZT_IPC_DIR", "/run/x");
    EXPECT_EQ("/run/x/rtos_media_db", ztIpcChannelPath("rtos_media_db"));
    EXPECT_EQ("/run/x/card_id", ztIpcCardIdPath());
}

// Listening under ZT_IPC_DIR=<private>/nested/ipc, a directory that does not exist yet.
class PlatformListen : public ::testing::Test {
protected:
    ScriptedPeer scratch{"unused"};  // lends its private directory and removes it afterwards
    std::string root = scratch.dir(), dir = root + "/nested/ipc", err;
    ScopedEnv env{"ZT_IPC_DIR", dir.c_str()};
};
TEST_F(PlatformListen, CreatesDirectoryAndReplacesStaleSocketButNotALiveOne)
{
    int first = ztIpcListen("chan", &err);
    ASSERT_GE(first, 0) << err;
    rtosConnection_t conn = {};
    EXPECT_EQ(0, ztIpcInit("chan", &conn));
    ztIpcDestroy(&conn);
    EXPECT_EQ(-1, ztIpcListen("chan", &err));
    EXPECT_EQ("bind " + dir + "/chan: Address already in use", err);
    close(first);  // the socket file stays behind, as after a crash
    int again = ztIpcListen("chan", &err);
    EXPECT_GE(again, 0) << err;
    close(again);
}

TEST_F(PlatformListen, LeavesFilesThatAreNotSocketsAndReportsWhy)
{
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/chan") << "keep me";
    EXPECT_EQ(-1, ztIpcListen("chan", &err));
    EXPECT_NE(std::string::npos, err.find(dir + "/chan: File exists")) << err;
    std::string content;
    std::getline(std::ifstream(dir + "/chan"), content);
    EXPECT_EQ("keep me", content);

    std::filesystem::remove_all(root + "/nested");
    std::ofstream(root + "/nested") << "a file where a directory should be";
    EXPECT_EQ(-1, ztIpcListen("chan", &err));
    EXPECT_EQ("mkdir " + dir + ": Not a directory", err);
    EXPECT_EQ(-1, ztIpcListen("a/b", &err));
}
