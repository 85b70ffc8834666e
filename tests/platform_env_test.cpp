// Environment-driven platform pieces: log level, model number, card identifier, the kernel-log
// line format and where it goes, ss_printf.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "platform/ztcamera.h"
#include "platform/ztklog.h"
#include "support/klog_capture.h"
#include "support/scoped_env.h"

namespace {

struct EnvCase {
    const char *value;  // null: unset
    int expected;
};

// Runs `fn` with fds 1 and 2 redirected to files; returns what each received.
template <class Fn>
std::pair<std::string, std::string> captureStdoutAndStderr(Fn fn)
{
    std::fflush(stdout);
    FILE *out = std::tmpfile(), *err = std::tmpfile();
    int savedOut = dup(1), savedErr = dup(2);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    fn();
    std::fflush(stdout);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    auto slurp = [](FILE *f) {
        std::string s;
        std::rewind(f);
        for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(static_cast<char>(c));
        std::fclose(f);
        return s;
    };
    std::string o = slurp(out);
    return {o, slurp(err)};
}

}  // namespace

TEST(PlatformEnv, LogLevelComesFromZtLogLevelWhenValid)
{
    const EnvCase cases[] = {{nullptr, 2}, {"", 2}, {"5", 5}, {"0", 0}, {"6", 6}, {"99", 99},
                             {"100", 2}, {"-1", 2}, {"abc", 2}, {"7x", 2}, {" 3", 2}, {"+4", 2}};
    for (const EnvCase &c : cases) {
        ScopedEnv env("ZT_LOG_LEVEL", c.value);
        EXPECT_EQ(c.expected, ztKlogLevelFromEnv()) << (c.value ? c.value : "(unset)");
    }
}

TEST(PlatformEnv, ModelNumberDefaultsTo57)
{
    const EnvCase cases[] = {{nullptr, 57}, {"", 57}, {"42", 42}, {"56", 56}, {"x", 57}, {"12ab", 57}};
    for (const EnvCase &c : cases) {
        ScopedEnv env("ZT_MODEL_NUMBER", c.value);
        EXPECT_EQ(c.expected, ztc_state_get_model_number()) << (c.value ? c.value : "(unset)");
    }
}

class CardId : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/ztcardtest.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        mDir = tmpl;
        mIpc.reset(new ScopedEnv("ZT_IPC_DIR", mDir.c_str()));
    }
    void TearDown() override
    {
        mIpc.reset();
        unlink((mDir + "/card_id").c_str());
        rmdir(mDir.c_str());
    }
    void writeFile(const std::string &text) { std::ofstream(mDir + "/card_id") << text; }
    std::string mDir;
    std::unique_ptr<ScopedEnv> mIpc;
};

TEST_F(CardId, EnvironmentWinsOverFile)
{
    writeFile("FROMFILE\n");
    ScopedEnv env("ZT_CARD_ID", "FROMENV");
    char buf[ZT_CARD_ID_MAX] = {};
    ASSERT_EQ(0, getCardIDStr(buf));
    EXPECT_STREQ("FROMENV", buf);
}

TEST_F(CardId, FileIsUsedWhenEnvironmentIsEmpty)
{
    writeFile("0123456789ABCDEF \r\nsecond line\n");
    ScopedEnv env("ZT_CARD_ID", "");
    char buf[ZT_CARD_ID_MAX] = {};
    ASSERT_EQ(0, getCardIDStr(buf));
    EXPECT_STREQ("0123456789ABCDEF", buf);
}

TEST_F(CardId, FailsWithoutSourceOrBuffer)
{
    ScopedEnv env("ZT_CARD_ID", nullptr);
    char buf[ZT_CARD_ID_MAX] = {};
    EXPECT_EQ(-1, getCardIDStr(buf));
    writeFile("\n");
    EXPECT_EQ(-1, getCardIDStr(buf));
    EXPECT_EQ(-1, getCardIDStr(nullptr));
}

TEST_F(CardId, LongIdentifierIsCutAndTerminated)
{
    std::string longId(40, 'Z');
    ScopedEnv env("ZT_CARD_ID", longId.c_str());
    char buf[ZT_CARD_ID_MAX + 1];
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(0, getCardIDStr(buf));
    EXPECT_EQ(std::string(ZT_CARD_ID_MAX - 1, 'Z'), std::string(buf));
    EXPECT_EQ('#', buf[ZT_CARD_ID_MAX]);  // nothing written past the 32 bytes
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
    std::vector<std::string> want = {"zt[3] ztMediaDBApp:17: count 5\n",
                                     "zt[2] ztMediaDBApp:18: no newline here\n",
                                     "zt[2] ztMediaDBApp:19: \n"};
    EXPECT_EQ(want, log.lines());
}

TEST(PlatformKlog, WritesToStandardErrorOnlyAndLevelSetterRejectsNegative)
{
    int saved = g_logLevel;
    ASSERT_EQ(0, ztUtilSetLogLevel(2));
    EXPECT_EQ(-1, ztUtilSetLogLevel(-3));
    EXPECT_EQ(2, g_logLevel);
    auto io = captureStdoutAndStderr([] {
        ztUtilKlogMsgLevel(2, 7, "f", "to stderr\n");
        ztUtilKlogMsgLevel(3, 8, "f", "suppressed\n");
    });
    EXPECT_EQ("", io.first);
    EXPECT_EQ("zt[2] f:7: to stderr\n", io.second);
    ztUtilSetLogLevel(saved);
}
