// ztMediaChecker end to end against a private ztMediaDBd and the real "/to_wom" queue.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

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

    // Runs the checker against a card with these upload states (no server at all when there
    // are none), checks it stays resident after the event, and returns the event code.
    uint32_t eventForCard(const std::vector<uint32_t> &states, std::string *out)
    {
        ServerProcess server(cardWithStates(states));
        EXPECT_TRUE(server.ok()) << server.error();
        if (states.empty())
            server.stop();
        if (mReader < 0)
            mReader = ztmsg_open_wom_queue(O_RDONLY);
        Child checker(ztBinPath("ztMediaChecker"), {});
        std::string msg;
        ztmsg_view v{};
        std::string err;
        if (!womReceive(mReader, &msg) || !ztmsg_decode(msg.data(), msg.size(), v, err) || v.payload_size != 4) {
            ADD_FAILURE() << "no event: " << err << checker.readUntil("", 0);
            return 0;
        }
        EXPECT_EQ(msg.size(), 50u);
        uint32_t code;
        memcpy(&code, v.payload, 4);

        // Once the queue descriptor is closed the checker has nothing left to do but sleep.
        auto holdsQueue = [&] {
            std::vector<std::string> open = checker.openFiles();
            return std::find(open.begin(), open.end(), ZT_WOM_QUEUE_NAME) != open.end();
        };
        for (int i = 0; i < 2000 && holdsQueue(); ++i)
            usleep(10000);
        EXPECT_FALSE(holdsQueue()) << "the queue was never closed";
        // Only the dump's last line ends in a blank; without a dump, give it a moment to show.
        *out = checker.readUntil(states.empty() ? "histogram dump" : " \n", states.empty() ? 500 : 20000);
        server.stop();  // the checker needs the database no longer
        EXPECT_TRUE(checker.alive());
        EXPECT_EQ(checker.state(), 'S');
        return code;
    }
};

// Only bucket 3 means upload; offload flags in the high half do not move a file out of its
// bucket. Without a server the check fails and nothing is dumped.
TEST_F(CheckerE2E, EventAndDumpFollowTheBuckets)
{
    std::vector<uint32_t> allButThree = {1, 2};
    for (uint32_t s = 4; s <= 31; ++s)
        allButThree.push_back(s);
    const struct {
        std::vector<uint32_t> states;
        uint32_t event;
    } kCases[] = {{{3, 3}, 24}, {allButThree, 23}, {{5, 5, 5}, 23}, {{0, 3, 3, 7, 31, 0x30000 | 7}, 24}, {{}, 25}};
    for (const auto &c : kCases) {
        std::string out;
        EXPECT_EQ(eventForCard(c.states, &out), c.event) << c.states.size() << " files";
        uint32_t h[32] = {};
        for (uint32_t s : c.states)
            h[s & 31]++;
        if (c.states.empty())
            EXPECT_EQ(out.find("histogram dump"), std::string::npos) << out;
        else
            EXPECT_EQ(out, expectedDump(h));
    }
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
