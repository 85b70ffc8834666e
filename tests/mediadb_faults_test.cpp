// The fault catalogue: every client entry point against every fault the server's control command
// can inject, plus a server killed and restarted or gone. Each cell checks the entry's documented
// result class, that the call came back (receive time-outs are cut to 200 ms through the IPC test
// seam, retry pauses are recorded, not slept) and that the next clean call works again.
#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "tests/support/client_calls.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/server_process.h"

namespace {

const char kCard[] = R"({"card_id":"FAULTS","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"gumi":"000102030405060708090a0b0c0d0e0f",
  "video":{"duration_ms":5000,"highlights":[10,20]},"more":{"width":1920}},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":1,"members":[{"file":"ZX020002.MP4"}]},
 {"dir":"100ZTCAM","file":"ZP010003.JPG","type":4},
 {"dir":"100ZTCAM","file":"ZS010004.JSN","type":7}]})";

constexpr int kReceiveMs = 200;

int shortReceive(rtosConnection_t *conn, void *buf, size_t cap)
{
    timeval tv{0, kReceiveMs * 1000};
    setsockopt(conn->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return ztIpcSocketOps()->receive(conn, buf, cap);
}

using namespace clientcalls;

const struct Fault {
    const char *name;
    std::vector<std::string> ctl;  // armed before the call; empty: see `kill`
    int kill;                      // 1: kill -9 and restart before the call; 2: kill -9, call, restart
    uint32_t bit;
} kFaults[] = {
    {"none", {}, 0, 0},
    {"drop", {"drop", "1"}, 0, kDrop},
    {"delay past time-out", {"delay", "1", "600"}, 0, kDelay},
    {"cut inside the header", {"cut", "10"}, 0, kCutHeader},
    {"cut after the header", {"cut", "30"}, 0, kCutBody},
    {"cut to nothing", {"cut", "0"}, 0, kCutAll},
    {"status 1", {"status", "1"}, 0, kStatus},
    {"status 3", {"status", "3"}, 0, kStatus},
    {"status 5", {"status", "5"}, 0, kStatus},
    {"wrong token", {"token", "99"}, 0, kToken},
    {"version change", {"bump-version"}, 0, kBump},
    {"killed and restarted", {}, 1, kRestart},
    {"killed", {}, 2, kKilled},
};

// A call's result: success (0, 200 or a page count) or failure (anything else).
bool failed(int rc) { return !(rc == 0 || rc == 200 || (rc > 0 && rc < 100)); }

TEST(MediadbFaults, EveryEntryPointThroughEveryFault)
{
    ServerProcess server(kCard);
    ASSERT_TRUE(server.ok()) << server.error();
    ztIpcOps ops = *ztIpcSocketOps();
    ops.receive = shortReceive;
    const ztIpcOps *saved = ztIpcSetOps(nullptr);
    PauseRecorder pauses;
    for (const Fault &f : kFaults) {
        for (const Call &c : kCalls) {
            SCOPED_TRACE(std::string(f.name) + " / " + c.name);
            if (!f.ctl.empty()) {
                ASSERT_EQ(server.ctl(f.ctl), 0);
            }
            if (f.kill)
                server.stop(SIGKILL);
            if (f.kill == 1) {
                ASSERT_TRUE(server.restart()) << server.error();
            }
            // Only a silent server needs the short wait; every other call may be slow on a busy
            // machine and still must succeed.
            ztIpcSetOps(f.bit == kDrop || f.bit == kDelay ? &ops : saved);
            EXPECT_EQ(failed(c.call()), (c.failsUnder & f.bit) != 0);
            ztIpcSetOps(saved);
            if (f.kill == 2) {
                ASSERT_TRUE(server.restart()) << server.error();
            }
            ASSERT_EQ(server.ctl({"clear"}), 0);
            EXPECT_FALSE(failed(c.call())) << "the clean call after the fault";
        }
    }
}

}  // namespace
