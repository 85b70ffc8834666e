// ztWomListen against the real "/to_wom".
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

// A malformed message fails with one clear line and prints no event.
TEST_F(WomListen, TimeOutFlushMalformedMessagesAndBadArguments)
{
    const struct {
        std::string queued;  // waits before the run ("event": the checker's event)
        std::vector<std::string> args;
        int rc;
        const char *words;
    } kCases[] = {
        {"", {"--timeout", "0"}, 1, "no message on /to_wom within 0 s"},
        {"event", {"--flush", "--timeout", "0"}, 1, "discarded 1 message"},
        {"event", {"--new", "--timeout", "0"}, 1, "another program's queue: left alone"},
        {"", {"--timeout", "0"}, 0, "event 25"},  // the message --new found is still there
        {std::string("EV\x18\0\x04", 5), {"--timeout", "0"}, 1, "malformed message of 5 bytes"},
        {std::string("XX\x18\0\x04\0\0\0\x18\0\0\0", 12), {"--timeout", "0"}, 1, "kind 'XX'"},
        {"", {"--count", "0"}, 2, "usage:"},
        {"", {"--timeout", "x"}, 2, "usage:"},
    };
    for (const auto &c : kCases) {
        if (c.queued == "event")
            sendEvent(ZT_WOM_EVENT_CHECK_FAILED);
        ASSERT_TRUE(c.queued.empty() || c.queued == "event" || womSendRaw(c.queued));
        std::string out;
        EXPECT_EQ(run(c.args, &out), c.rc) << c.words;
        EXPECT_NE(out.find(c.words), std::string::npos) << out;
        EXPECT_TRUE(c.rc != 1 || out.find("event ") == std::string::npos) << out;
    }
}

}  // namespace
