// ztMediaChecker end to end: a private ztMediaDBd, the real "/to_wom" queue (private IPC
// namespace when root), the event it sends, its histogram dump and what it does afterwards.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/ztmsg.h"
#include "tests/support/server_process.h"
#include "tests/support/wom_queue.h"

namespace {

// A card with one photo per listed upload state (repeats allowed).
std::string cardWithStates(const std::vector<uint32_t> &states)
{
    std::string json = R"({"card_id":"e2e","version":3,"media":[)";
    for (size_t i = 0; i < states.size(); ++i)
        json += std::string(i ? "," : "") + R"({"dir":"100ZTCAM","file":"ZCAM)" + std::to_string(1000 + i) +
                R"(.JPG","type":4,"upload_status":)" + std::to_string(states[i]) + "}";
    return json + "]}";
}

std::string expectedDump(const uint32_t (&h)[32])
{
    std::string s = "\nCAHMediaList::matchHistogram() histogram dump:\n";
    for (int i = 0; i < 32; ++i)
        s += " h[" + std::to_string(i) + "]=" + std::to_string(h[i]) + " ";
    return s + "\n";
}

class CheckerE2E : public ::testing::Test {
protected:
    int mReader = -1;

    void SetUp() override { womIsolateQueue(); }
    void TearDown() override
    {
        if (mReader >= 0)
            close(mReader);
    }

    // Starts the checker and returns the event code it sent (0 when none arrived).
    uint32_t runAndReceive(Child &checker)
    {
        std::string msg;
        if (!womReceive(mReader, &msg)) {
            ADD_FAILURE() << "no event; output: " << checker.readUntil("", 0);
            return 0;
        }
        ztmsg_view v;
        std::string err;
        EXPECT_TRUE(ztmsg_decode(msg.data(), msg.size(), v, err)) << err;
        EXPECT_EQ(msg.size(), 50u);
        if (v.payload_size != 4)
            return 0;
        uint32_t code;
        memcpy(&code, v.payload, 4);
        return code;
    }

    uint32_t eventForCard(const std::vector<uint32_t> &states, std::string *out = nullptr)
    {
        ServerProcess server(cardWithStates(states));
        EXPECT_TRUE(server.ok()) << server.error();
        if (mReader < 0)
            mReader = womOpenReader();
        Child checker(ztBinPath("ztMediaChecker"), {});
        uint32_t code = runAndReceive(checker);
        if (out)
            *out = checker.readUntil(" \n");  // only the dump's last line ends in a blank
        return code;
    }
};

// Only bucket 3 means upload; offload flags in the high half do not move a file out of its bucket.
TEST_F(CheckerE2E, EventAndDumpFollowTheBuckets)
{
    std::vector<uint32_t> allButThree = {1, 2};
    for (uint32_t s = 4; s <= 31; ++s)
        allButThree.push_back(s);
    const struct {
        std::vector<uint32_t> states;
        uint32_t event;
    } kCases[] = {{{3, 3}, 24}, {allButThree, 23}, {{5, 5, 5}, 23}, {{0, 3, 3, 7, 31, 0x30000 | 7}, 24}};
    for (const auto &c : kCases) {
        std::string out;
        EXPECT_EQ(eventForCard(c.states, &out), c.event) << c.states.size() << " files";
        uint32_t h[32] = {};
        for (uint32_t s : c.states)
            h[s & 31]++;
        EXPECT_EQ(out, expectedDump(h));
    }
}

TEST_F(CheckerE2E, NoServerMeansTheCheckFailed)
{
    char dir[] = "/tmp/ztchecker-noserver-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("ZT_IPC_DIR", dir, 1);
    mReader = womOpenReader();
    Child checker(ztBinPath("ztMediaChecker"), {});
    EXPECT_EQ(runAndReceive(checker), 25u);
    EXPECT_EQ(checker.readUntil("", 0).find("histogram dump"), std::string::npos);
    unsetenv("ZT_IPC_DIR");
    rmdir(dir);
}

TEST_F(CheckerE2E, StaysResidentAfterTheEvent)
{
    ServerProcess server(cardWithStates({0}));
    ASSERT_TRUE(server.ok()) << server.error();
    mReader = womOpenReader();
    Child checker(ztBinPath("ztMediaChecker"), {});
    ASSERT_EQ(runAndReceive(checker), 24u);
    // Once the queue descriptor is closed the checker has nothing left to do but sleep.
    auto holdsQueue = [&] {
        for (const std::string &f : checker.openFiles())
            if (f == ZT_WOM_QUEUE_NAME)
                return true;
        return false;
    };
    for (int i = 0; i < 2000 && holdsQueue(); ++i)
        usleep(10000);
    EXPECT_FALSE(holdsQueue()) << "the queue was never closed";
    server.stop();  // the checker needs the database no longer
    EXPECT_TRUE(checker.alive());
    EXPECT_EQ(checker.state(), 'S');
}

TEST_F(CheckerE2E, UnopenableQueueExitsWith255)
{
    // A zero message-queue allowance makes creating the queue fail, even as root, as long as
    // the queue does not exist yet (guaranteed in a private namespace).
    Child checker(ztBinPath("ztMediaChecker"), {}, [] {
        rlimit none{0, 0};
        setrlimit(RLIMIT_MSGQUEUE, &none);
    });
    EXPECT_EQ(checker.wait(), 255);
    EXPECT_EQ(checker.readUntil("", 0), "mq_open() failed for '/to_wom': Too many open files\n");
}

}  // namespace
