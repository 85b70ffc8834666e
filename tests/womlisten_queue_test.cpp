// ztWomListen against the real "/to_wom": the checker's events, several messages, malformed
// messages and time-outs.
#include <gtest/gtest.h>

#include "checker/ztWirelessOffloadManager_if.h"
#include "tests/support/server_process.h"
#include "tests/support/wom_queue.h"

namespace {

class WomListen : public ::testing::Test {
protected:
    void SetUp() override { womIsolateQueue(); }

    static int run(const std::vector<std::string> &args, std::string *out)
    {
        Child c(ztBinPath("ztWomListen"), args);
        EXPECT_TRUE(c.started());
        int rc = c.wait();
        *out = c.readUntil("");
        return rc;
    }

    static void sendEvent(uint32_t code)
    {
        int q = ztWom_interface_open();
        ASSERT_GE(q, 0);
        ASSERT_EQ(ztWom_interface_send(q, code), 1);
        ztWom_interface_close(q);
    }
};

TEST_F(WomListen, PrintsTheCheckersEventAndItsElements)
{
    sendEvent(ZT_WOM_EVENT_MEDIA_TO_UPLOAD);
    std::string out;
    ASSERT_EQ(run({"--timeout", "20"}, &out), 0) << out;
    EXPECT_EQ(out,
              "event 24\n"
              "  tag 0x44 (destination queue) size 7: \"/to_wom\"\n"
              "  tag 0x43 (reply queue) size 7: \"/to_wom\"\n"
              "  tag 0xFFFFFFEE (end) size 0: \n");
}

TEST_F(WomListen, ReceivesTheRequestedNumberInOrder)
{
    sendEvent(ZT_WOM_EVENT_NOTHING_TO_UPLOAD);
    sendEvent(ZT_WOM_EVENT_CHECK_FAILED);
    sendEvent(ZT_WOM_EVENT_MEDIA_TO_UPLOAD);
    std::string out;
    ASSERT_EQ(run({"--count", "2", "--timeout", "20"}, &out), 0) << out;
    size_t first = out.find("event 23\n"), second = out.find("event 25\n");
    EXPECT_NE(first, std::string::npos) << out;
    EXPECT_NE(second, std::string::npos) << out;
    EXPECT_LT(first, second);
    EXPECT_EQ(out.find("event 24"), std::string::npos) << "read past --count";
}

TEST_F(WomListen, MalformedMessagesFailWithAClearLine)
{
    struct Case { const char *name; std::string bytes; const char *words; };
    const Case cases[] = {
        {"too short", std::string("EV\x18\0\x04", 5), "malformed message of 5 bytes"},
        {"payload overrun", std::string("EV\x18\0\x40\0\0\0\x18\0\0\0", 12), "payload of 64 bytes"},
        {"not an event", std::string("XX\x18\0\x04\0\0\0\x18\0\0\0", 12), "kind 'XX'"},
        {"event without code", std::string("EV\x18\0\0\0\0\0", 8), "0-byte payload"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(womSendRaw(c.bytes)) << c.name;
        std::string out;
        EXPECT_EQ(run({"--timeout", "20"}, &out), 1) << c.name;
        EXPECT_NE(out.find(c.words), std::string::npos) << c.name << ": " << out;
        EXPECT_EQ(out.find("event "), std::string::npos) << c.name;
    }
}

TEST_F(WomListen, TimeOutAndBadArgumentsFail)
{
    std::string out;
    EXPECT_EQ(run({"--timeout", "0"}, &out), 1);
    EXPECT_NE(out.find("no message on /to_wom within 0 s"), std::string::npos) << out;
    for (auto args : std::vector<std::vector<std::string>>{
             {"--count"}, {"--count", "0"}, {"--count", "-3"}, {"--timeout", "x"}, {"--what"}}) {
        EXPECT_EQ(run(args, &out), 2) << args[0];
        EXPECT_NE(out.find("usage:"), std::string::npos);
    }
}

TEST_F(WomListen, FlushDropsWhatWasWaiting)
{
    sendEvent(ZT_WOM_EVENT_CHECK_FAILED);
    std::string out;
    EXPECT_EQ(run({"--flush", "--timeout", "0"}, &out), 1);
    EXPECT_NE(out.find("discarded 1 message"), std::string::npos) << out;
}

}  // namespace
