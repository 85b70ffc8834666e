// ztWomListen against the real "/to_wom": the checker's events, several messages, malformed
// messages, time-outs and arguments.
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

TEST_F(WomListen, PrintsTheRequestedNumberOfEventsInOrder)
{
    for (uint32_t code : {ZT_WOM_EVENT_NOTHING_TO_UPLOAD, ZT_WOM_EVENT_MEDIA_TO_UPLOAD, ZT_WOM_EVENT_CHECK_FAILED})
        sendEvent(code);
    std::string out;
    ASSERT_EQ(run({"--count", "2", "--timeout", "20"}, &out), 0) << out;
    const std::string elements = "  tag 0x44 (destination queue) size 7: \"/to_wom\"\n"
                                 "  tag 0x43 (reply queue) size 7: \"/to_wom\"\n"
                                 "  tag 0xFFFFFFEE (end) size 0: \n";
    EXPECT_EQ(out, "event 23\n" + elements + "event 24\n" + elements);  // the third stays queued
}

TEST_F(WomListen, MalformedMessagesFailWithAClearLine)
{
    struct Case {
        const char *name;
        std::string bytes;
        const char *words;
    };
    const Case cases[] = {
        {"too short", std::string("EV\x18\0\x04", 5), "malformed message of 5 bytes"},
        {"payload overrun", std::string("EV\x18\0\x40\0\0\0\x18\0\0\0", 12), "payload of 64 bytes"},
        {"not an event", std::string("XX\x18\0\x04\0\0\0\x18\0\0\0", 12), "kind 'XX'"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(womSendRaw(c.bytes)) << c.name;
        std::string out;
        EXPECT_EQ(run({"--timeout", "20"}, &out), 1) << c.name;
        EXPECT_NE(out.find(c.words), std::string::npos) << c.name << ": " << out;
        EXPECT_EQ(out.find("event "), std::string::npos) << c.name;
    }
}

TEST_F(WomListen, TimeOutFlushAndBadArguments)
{
    const struct {
        bool queued;  // one event waits before the run
        std::vector<std::string> args;
        int rc;
        const char *words;
    } kCases[] = {
        {false, {"--timeout", "0"}, 1, "no message on /to_wom within 0 s"},
        {true, {"--flush", "--timeout", "0"}, 1, "discarded 1 message"},
        {true, {"--new", "--timeout", "0"}, 1, "another program's queue: left alone"},
        {false, {"--timeout", "0"}, 0, "event 25"},  // the message --new found is still there
        {false, {"--count", "0"}, 2, "usage:"},
        {false, {"--timeout", "x"}, 2, "usage:"},
    };
    for (const auto &c : kCases) {
        if (c.queued)
            sendEvent(ZT_WOM_EVENT_CHECK_FAILED);
        std::string out;
        EXPECT_EQ(run(c.args, &out), c.rc) << c.args[0];
        EXPECT_NE(out.find(c.words), std::string::npos) << out;
    }
}

}  // namespace
