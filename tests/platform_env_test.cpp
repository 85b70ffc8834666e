// Environment-driven platform pieces, the kernel-log line and ss_printf.
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/ztcamera.h"
#include "platform/ztklog.h"
#include "support/gcore_fixtures.h"
#include "support/klog_capture.h"
#include "support/scoped_env.h"

TEST(PlatformEnv, LogLevelAndModelNumberComeFromTheEnvironmentWhenValid)
{
    const auto check = [](const char *name, int (*read)(), const std::vector<std::pair<const char *, int>> &cases) {
        for (const auto &c : cases) {
            ScopedEnv env(name, c.first);  // null: unset
            EXPECT_EQ(c.second, read()) << name << "=" << (c.first ? c.first : "(unset)");
        }
    };
    check("ZT_LOG_LEVEL", ztKlogLevelFromEnv,
          {{nullptr, 2},
           {"", 2},
           {"5", 5},
           {"0", 0},
           {"99", 99},
           {"100", 2},
           {"-1", 2},
           {"7x", 2},
           {" 3", 2},
           {"+4", 2}});
    check("ZT_MODEL_NUMBER", ztc_state_get_model_number, {{nullptr, 57}, {"42", 42}, {"12ab", 57}});
}

TEST(PlatformEnv, CardIdComesFromTheEnvironmentThenTheFile)
{
    TempDir dir;
    ScopedEnv ipc("ZT_IPC_DIR", dir.path().c_str());
    const std::string longId(40, 'Z');
    const struct {
        const char *env, *file;  // null: unset / no file
        int rc;
        std::string id;
    } cases[] = {
        {"FROMENV", "FROMFILE\n", 0, "FROMENV"},
        {"", "0123456789ABCDEF \r\nsecond line\n", 0, "0123456789ABCDEF"},
        {nullptr, "\n", -1, ""},
        {nullptr, nullptr, -1, ""},
        {longId.c_str(), nullptr, 0, std::string(ZT_CARD_ID_MAX - 1, 'Z')},  // cut and terminated
    };
    for (const auto &c : cases) {
        std::filesystem::remove(dir.file("card_id"));
        if (c.file)
            std::ofstream(dir.file("card_id")) << c.file;
        ScopedEnv env("ZT_CARD_ID", c.env);
        char buf[ZT_CARD_ID_MAX + 1];
        std::memset(buf, 0, sizeof buf);
        buf[ZT_CARD_ID_MAX] = '#';
        EXPECT_EQ(c.rc, getCardIDStr(buf)) << c.id;
        EXPECT_EQ(c.id, std::string(buf)) << c.id;
        EXPECT_EQ('#', buf[ZT_CARD_ID_MAX]);  // nothing written past the 32 bytes
    }
    EXPECT_EQ(-1, getCardIDStr(nullptr));
}

TEST(PlatformEnv, SsPrintfAppends)
{
    std::string s = "{";
    EXPECT_EQ(9, ss_printf(s, "\"id\":\"%s\"", "AB"));
    EXPECT_EQ(0, ss_printf(s, "%s", ""));
    std::string big(3000, 'q');
    EXPECT_EQ(3000, ss_printf(s, "%s", big.c_str()));
    EXPECT_EQ("{\"id\":\"AB\"" + big, s);
}

TEST(PlatformKlog, LineFormatWithoutDoubledNewline)
{
    KlogCapture log(3);
    ztUtilKlogMsgLevel(3, 17, "ztMediaDBApp", "count %d\n", 5);
    ztUtilKlogMsgLevel(2, 18, "ztMediaDBApp", "no newline %s", "here");
    ztUtilKlogMsgLevel(2, 19, "ztMediaDBApp", "%s", "");
    ztUtilKlogMsgLevel(4, 20, "ztMediaDBApp", "too detailed\n");
    std::vector<std::string> want = {"zt[3] ztMediaDBApp:17: count 5\n", "zt[2] ztMediaDBApp:18: no newline here\n",
                                     "zt[2] ztMediaDBApp:19: \n"};
    EXPECT_EQ(want, log.lines());
}

TEST(PlatformKlog, WritesToStandardErrorOnlyAndLevelSetterRejectsNegative)
{
    int saved = g_logLevel;
    ASSERT_EQ(0, ztUtilSetLogLevel(2));
    EXPECT_EQ(-1, ztUtilSetLogLevel(-3));
    EXPECT_EQ(2, g_logLevel);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ztUtilKlogMsgLevel(2, 7, "f", "to stderr\n");
    ztUtilKlogMsgLevel(3, 8, "f", "suppressed\n");
    EXPECT_EQ("zt[2] f:7: to stderr\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    ztUtilSetLogLevel(saved);
}
