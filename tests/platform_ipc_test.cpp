// The Unix-socket IPC stand-in: frames, time-outs, hang-ups, oversized frames, the listening side.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/ztipc.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "support/scripted_peer.h"

namespace {

Frame bytesOfSize(size_t n, uint8_t seed = 1)
{
    Frame f(n);
    for (size_t i = 0; i < n; ++i)
        f[i] = static_cast<uint8_t>(seed + i);
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

TEST_F(PlatformIpc, SilenceTimesOutAndHangUpIsAFailureNotAnEmptyFrame)
{
    timeval tv = {};
    socklen_t len = sizeof tv;
    ASSERT_EQ(0, getsockopt(conn.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, &len));
    EXPECT_EQ(ZT_IPC_DEFAULT_RCV_TIMEOUT_S, tv.tv_sec);  // a caller that sets none still gets one
    tv = {0, 20000};
    ASSERT_EQ(0, setsockopt(conn.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv));
    peer.push(PeerAction::silence());
    peer.push(PeerAction::close());
    send();
    EXPECT_EQ(-EAGAIN, ztIpcReceive(&conn, buf));
    send();
    EXPECT_EQ(-ECONNRESET, ztIpcReceive(&conn, buf));
}

TEST_F(PlatformIpc, FramesKeepTheirBoundsAndAnOversizedOneIsRefusedAlone)
{
    peer.push(PeerAction::replies({bytesOfSize(148), bytesOfSize(3, 9), bytesOfSize(ZT_IPC_FRAME_MAX + 1),
                                   bytesOfSize(ZT_IPC_FRAME_MAX), bytesOfSize(10), bytesOfSize(10)}));
    Frame request = bytesOfSize(12, 40);
    EXPECT_EQ(12, ztIpcSend(&conn, request.data(), request.size()));
    ASSERT_EQ(148, ztIpcReceive(&conn, buf));
    EXPECT_EQ(bytesOfSize(148), Frame(buf, buf + 148));
    ASSERT_EQ(3, ztIpcReceive(&conn, buf));
    EXPECT_EQ(bytesOfSize(3, 9), Frame(buf, buf + 3));
    EXPECT_EQ(-EMSGSIZE, ztIpcReceive(&conn, buf));
    EXPECT_EQ(int(ZT_IPC_FRAME_MAX), ztIpcReceive(&conn, buf));  // exactly the capacity fits
    EXPECT_EQ(10, ztIpcReceiveInto(&conn, buf, 10));
    EXPECT_EQ(-EMSGSIZE, ztIpcReceiveInto(&conn, buf, 9));  // smaller caller buffer
    Frame big = bytesOfSize(ZT_IPC_FRAME_MAX + 1);
    EXPECT_EQ(-EMSGSIZE, ztIpcSend(&conn, big.data(), big.size()));
    ASSERT_EQ(1u, peer.requestCount());
    EXPECT_EQ(request, peer.requests()[0].bytes);
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
    // A socket path needs room for its terminator: 107 characters fit, 108 do not.
    rtosConnection_t conn = {};
    for (const size_t length : {size_t{107}, size_t{108}}) {
        const std::string dir = "/" + std::string(length - 15, 'x');  // + "/rtos_media_db"
        ScopedEnv longDir("ZT_IPC_DIR", dir.c_str());
        EXPECT_EQ(length < 108 ? -ENOENT : -ENAMETOOLONG, ztIpcInit("rtos_media_db", &conn)) << length;
    }
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
    chmod(dir.c_str(), 0700);  // safe under any umask
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

// The channel directory is hostile ground: every unsafe form is refused by the platform and makes
// the server exit 2 with one line; a safe one gets sockets of mode 0600 even under umask 000.
TEST_F(PlatformListen, RefusesUnsafeDirectoriesAndKeepsSocketsPrivate)
{
    namespace fs = std::filesystem;
    const struct {
        const char *name;
        mode_t mode;  // 0: the directory is not made
        bool link, otherOwner;
        const char *refusal;  // null: the directory is safe
    } kCases[] = {
        {"missing", 0, false, false, nullptr},
        {"own 0755", 0755, false, false, nullptr},
        {"link", 0700, true, false, "is a symbolic link"},
        {"other-writable", 0777, false, false, "writable by group or others"},
        {"group-writable", 0770, false, false, "writable by group or others"},
        {"other owner", 0700, false, true, "not by this user"},
    };
    mode_t oldMask = umask(0);
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root + "/nested");
        fs::remove_all(root + "/real");
        const std::string made = c.link ? root + "/real" : dir;
        if (c.mode) {
            fs::create_directories(made);
            chmod(made.c_str(), c.mode);
        }
        if (c.link) {
            fs::create_directories(fs::path(dir).parent_path());
            fs::create_symlink(made, dir);
        }
        if (c.otherOwner && chown(dir.c_str(), 65534, 65534) != 0)
            continue;  // not root: cannot make another user's directory
        int fd = ztIpcListen("chan", &err);
        if (c.refusal) {
            EXPECT_EQ(-1, fd);
            EXPECT_NE(std::string::npos, err.find(c.refusal)) << err;
            std::string serverErr;
            EXPECT_EQ(2,
                      ServerProcess::runToExit({"--manifest", ZT_SOURCE_DIR "/examples/sample-card.json"}, &serverErr));
            EXPECT_NE(std::string::npos, serverErr.find(c.refusal)) << serverErr;
            EXPECT_EQ(1, std::count(serverErr.begin(), serverErr.end(), '\n')) << serverErr;
            EXPECT_FALSE(ztIpcWriteFile("card_id", "x", &err));
            continue;
        }
        ASSERT_GE(fd, 0) << err;
        struct stat st {};
        ASSERT_EQ(0, stat(dir.c_str(), &st));
        EXPECT_EQ(c.mode ? c.mode : 0700u, st.st_mode & 0777) << std::oct << st.st_mode;
        ASSERT_EQ(0, stat((dir + "/chan").c_str(), &st));
        EXPECT_EQ(0600u, st.st_mode & 0777) << std::oct << st.st_mode;
        close(fd);
        // A link planted where the card identifier goes is replaced, its target left alone.
        std::ofstream(root + "/victim") << "precious";
        fs::create_symlink(root + "/victim", dir + "/card_id");
        EXPECT_TRUE(ztIpcWriteFile("card_id", "CARD\n", &err)) << err;
        EXPECT_FALSE(fs::is_symlink(dir + "/card_id"));
        std::string line;
        std::getline(std::ifstream(root + "/victim"), line);
        EXPECT_EQ("precious", line);
        std::getline(std::ifstream(dir + "/card_id"), line);
        EXPECT_EQ("CARD", line);
        fs::remove(root + "/victim");
    }
    umask(oldMask);
}
