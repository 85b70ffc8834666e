// The debug channel: filters, the line format and newline rule, sinks, callbacks, file handling,
// null arguments and running out of memory.
#include <stdlib.h>
#include <time.h>

#include <sys/time.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gcore/gcore_debug.h"
#include "gtl/gtl_list.h"
#include "support/gcore_fixtures.h"
#include "support/gtl_tracked.h"
#include "support/scoped_env.h"

namespace {

std::vector<std::string> gLines;
std::vector<std::string> gOrder;

int captureLine(const char *line) {
    gLines.push_back(line);
    return 0;
}
int tagA(const char *) {
    gOrder.push_back("A");
    return 0;
}
int tagB(const char *) {
    gOrder.push_back("B");
    return 0;
}

const char kStampPattern[] = "\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3} ";

class DebugChannel : public ::testing::Test {
protected:
    void SetUp() override {
        gLines.clear();
        gOrder.clear();
        dbg = gcore_debug_create();
        ASSERT_NE(dbg, nullptr);
        gcore_debug_set_mode(dbg, GCORE_DEBUG_CALLBACK);
        gcore_debug_register_callback(dbg, captureLine);
    }
    void TearDown() override { EXPECT_EQ(gcore_debug_destroy(dbg), 0); }

    uint32_t callbackCount() {
        uint32_t n = 0;
        gtl_list_size(dbg->callbacks, &n);
        return n;
    }

    gcore_debug_t *dbg = nullptr;
};

TEST_F(DebugChannel, NewChannelIsSilentUntilConfigured) {
    uint32_t value = 99;
    for (auto get : {gcore_debug_get_mode, gcore_debug_get_level, gcore_debug_get_level_mask,
                     gcore_debug_get_component_mask}) {
        gcore_debug_t *fresh = gcore_debug_create();
        ASSERT_EQ(get(fresh, &value), 0);
        EXPECT_EQ(value, 0u);
        EXPECT_EQ(fresh->file, nullptr);
        gcore_debug_destroy(fresh);
    }
    EXPECT_EQ(gcore_debug_printf(dbg, 0xFF, 8, "x"), 0);
    EXPECT_TRUE(gLines.empty());
}

TEST_F(DebugChannel, FiltersByComponentThresholdAndLevelMask) {
    struct Case {
        uint32_t threshold, levelMask, componentMask, component, level;
        bool written;
    };
    const Case cases[] = {
        {0, 0, 0xFF, 3, 8, false},   // the checker's setting drops info
        {0, 0, 0xFF, 3, 0, true},    // ... while level 0 passes the threshold
        {8, 0, 0xFF, 3, 1, true},    {8, 0, 0xFF, 3, 2, true},   {8, 0, 0xFF, 3, 8, true},
        {8, 0, 0xFF, 3, 16, false},  {8, 0, 0xFF, 3, 32, false},
        {8, 32, 0xFF, 3, 32, true},  // the mask lets a level past the threshold through
        {8, 32, 0xFF, 3, 16, false},
        {0, 16 | 32, 0xFF, 3, 16, true},
        {8, 0, 1, 3, 1, true},       {8, 0, 2, 3, 1, true},
        {8, 0, 4, 3, 1, false},      // component 3 shares no bit with 4
        {0xFFFFFFFF, 0xFFFFFFFF, 0, 3, 1, false},  // no component passes an empty mask
    };
    for (const Case &c : cases) {
        gLines.clear();
        gcore_debug_set_level(dbg, c.threshold);
        gcore_debug_set_level_mask(dbg, c.levelMask);
        gcore_debug_set_component_mask(dbg, c.componentMask);
        EXPECT_EQ(gcore_debug_printf(dbg, c.component, c.level, "m"), 0);
        EXPECT_EQ(gLines.size(), c.written ? 1u : 0u)
            << "threshold " << c.threshold << " levelMask " << c.levelMask << " componentMask "
            << c.componentMask << " component " << c.component << " level " << c.level;
    }
}

TEST_F(DebugChannel, LineIsStampPointMillisBlankMessageAndOneNewline) {
    gcore_debug_set_level(dbg, 32);
    gcore_debug_set_component_mask(dbg, 0xFF);
    struct Case {
        const char *message, *expectedTail;
    };
    const Case cases[] = {
        {"abc", "abc\n"},   {"abc\n", "abc\n"},          {"abc\n\n", "abc\n\n"},
        {"\n", "\n"},       {"  [ERROR]: x=5", "  [ERROR]: x=5\n"},
    };
    for (const Case &c : cases) {
        gLines.clear();
        ASSERT_EQ(gcore_debug_printf(dbg, 1, 1, "%s", c.message), 0);
        ASSERT_EQ(gLines.size(), 1u);
        std::regex shape(std::string("^") + kStampPattern + std::regex_replace(c.expectedTail, std::regex("[\\[\\]]"), "\\$&") + "$");
        EXPECT_TRUE(std::regex_match(gLines[0], shape)) << "message '" << c.message << "' gave '" << gLines[0] << "'";
    }
}

TEST_F(DebugChannel, EmptyMessageIsRefusedAndNothingWritten) {
    gcore_debug_set_component_mask(dbg, 1);
    EXPECT_EQ(gcore_debug_printf(dbg, 1, 0, "%s", ""), 1);
    EXPECT_TRUE(gLines.empty());
}

// The stamp is local time: in a zone 5:30 ahead of UTC it reads 19800 s past the UTC clock.
TEST_F(DebugChannel, StampIsLocalTimeToTheMillisecond) {
    gcore_debug_set_component_mask(dbg, 1);
    struct timeval before, after;
    {
        ScopedEnv zone("TZ", "IST-05:30");
        tzset();
        gettimeofday(&before, nullptr);
        ASSERT_EQ(gcore_debug_printf(dbg, 1, 0, "t"), 0);
        gettimeofday(&after, nullptr);
    }
    tzset();

    ASSERT_EQ(gLines.size(), 1u);
    struct tm parsed = {};
    const char *rest = strptime(gLines[0].c_str(), "%Y-%m-%dT%H:%M:%S", &parsed);
    ASSERT_NE(rest, nullptr);
    long millis = strtol(rest + 1, nullptr, 10);
    long long stampMs = (static_cast<long long>(timegm(&parsed)) - 19800) * 1000 + millis;
    long long beforeMs = static_cast<long long>(before.tv_sec) * 1000 + before.tv_usec / 1000;
    long long afterMs = static_cast<long long>(after.tv_sec) * 1000 + after.tv_usec / 1000;
    EXPECT_LE(beforeMs, stampMs);
    EXPECT_LE(stampMs, afterMs);
}

TEST_F(DebugChannel, ModeBitsSelectTheSinks) {
    TempDir dir;
    gcore_debug_set_component_mask(dbg, 1);
    ASSERT_EQ(gcore_debug_set_filename(dbg, dir.file("log").c_str(), "a"), 0);
    const uint32_t modes[] = {0, 1, 2, 4, 8, 1 | 4, 15};
    int fileLines = 0;
    for (uint32_t mode : modes) {
        gLines.clear();
        gcore_debug_set_mode(dbg, mode);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        gcore_debug_printf(dbg, 1, 0, "mode %u", mode);
        std::string out = ::testing::internal::GetCapturedStdout();
        std::string err = ::testing::internal::GetCapturedStderr();
        std::string tail = "mode " + std::to_string(mode) + "\n";
        auto endsWith = [&](const std::string &s) { return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0; };
        EXPECT_EQ(endsWith(out), (mode & 1) != 0) << mode;
        EXPECT_EQ(endsWith(err), (mode & 2) != 0) << mode;
        EXPECT_EQ(gLines.size(), (mode & 8) ? 1u : 0u) << mode;
        if (mode & 4) ++fileLines;
        std::string file = readFile(dir.file("log"));
        EXPECT_EQ(static_cast<int>(std::count(file.begin(), file.end(), '\n')), fileLines) << mode;
    }
}

TEST_F(DebugChannel, CallbacksRegisterOnceAndRunInOrder) {
    gcore_debug_set_component_mask(dbg, 1);
    EXPECT_EQ(gcore_debug_register_callback(dbg, tagA), 0);
    EXPECT_EQ(gcore_debug_register_callback(dbg, tagB), 0);
    EXPECT_EQ(gcore_debug_register_callback(dbg, tagA), 0);
    EXPECT_EQ(gcore_debug_register_callback(dbg, captureLine), 0);
    EXPECT_EQ(callbackCount(), 3u);

    gcore_debug_printf(dbg, 1, 0, "one");
    EXPECT_EQ(gOrder, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(gLines.size(), 1u);

    EXPECT_EQ(gcore_debug_unregister_callback(dbg, tagA), 0);
    EXPECT_EQ(gcore_debug_unregister_callback(dbg, tagA), 0);  // unknown: nothing changes
    EXPECT_EQ(callbackCount(), 2u);
    gOrder.clear();
    gcore_debug_printf(dbg, 1, 0, "two");
    EXPECT_EQ(gOrder, (std::vector<std::string>{"B"}));
}

TEST_F(DebugChannel, FileNameRulesAndHandedInStreams) {
    TempDir dir;
    const char *name = nullptr, *mode = nullptr;
    std::string missing = dir.file("no/such/dir/log");
    EXPECT_EQ(gcore_debug_set_filename(dbg, missing.c_str(), "a"), 1);
    ASSERT_EQ(gcore_debug_get_filename(dbg, &name, &mode), 0);
    EXPECT_EQ(std::string(name), missing);  // the names stay although nothing opened
    EXPECT_STREQ(mode, "a");
    EXPECT_EQ(dbg->file, nullptr);

    std::string path = dir.file("log");
    ASSERT_EQ(gcore_debug_set_filename(dbg, path.c_str(), "w"), 0);
    EXPECT_TRUE(dbg->owns_file);
    EXPECT_EQ(gcore_debug_get_filename(dbg, &name, nullptr), 0);
    EXPECT_EQ(std::string(name), path);

    FILE *own = tmpfile();
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(gcore_debug_set_file(dbg, own), 0);  // unsets the named file first
    FILE *got = nullptr;
    EXPECT_EQ(gcore_debug_get_file(dbg, &got), 0);
    EXPECT_EQ(got, own);
    EXPECT_FALSE(dbg->owns_file);
    EXPECT_EQ(gcore_debug_get_filename(dbg, &name, &mode), 0);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(mode, nullptr);

    // Destroying the channel leaves a handed-in stream open for its owner.
    gcore_debug_destroy(dbg);
    dbg = gcore_debug_create();
    EXPECT_GT(fprintf(own, "still open\n"), 0);
    EXPECT_EQ(fflush(own), 0);
    fclose(own);

    ASSERT_EQ(gcore_debug_set_filename(dbg, path.c_str(), "a"), 0);
    EXPECT_EQ(gcore_debug_unset_filename(dbg), 0);
    EXPECT_EQ(dbg->file, nullptr);
    EXPECT_FALSE(dbg->owns_file);
    EXPECT_EQ(gcore_debug_flush(dbg), 0);
}

TEST(DebugChannelArguments, NullArgumentsGiveOne) {
    gcore_debug_t *dbg = gcore_debug_create();
    uint32_t v = 0;
    FILE *f = nullptr;
    const int results[] = {
        gcore_debug_set_mode(nullptr, 1),         gcore_debug_get_mode(nullptr, &v),
        gcore_debug_get_mode(dbg, nullptr),       gcore_debug_set_level(nullptr, 1),
        gcore_debug_get_level(dbg, nullptr),      gcore_debug_set_level_mask(nullptr, 1),
        gcore_debug_get_level_mask(dbg, nullptr), gcore_debug_set_component_mask(nullptr, 1),
        gcore_debug_get_component_mask(dbg, nullptr),
        gcore_debug_set_filename(nullptr, "x", "a"), gcore_debug_set_filename(dbg, nullptr, "a"),
        gcore_debug_set_filename(dbg, "x", nullptr), gcore_debug_get_filename(nullptr, nullptr, nullptr),
        gcore_debug_unset_filename(nullptr),      gcore_debug_set_file(nullptr, stderr),
        gcore_debug_set_file(dbg, nullptr),       gcore_debug_get_file(nullptr, &f),
        gcore_debug_get_file(dbg, nullptr),       gcore_debug_register_callback(nullptr, captureLine),
        gcore_debug_register_callback(dbg, nullptr), gcore_debug_unregister_callback(nullptr, captureLine),
        gcore_debug_printf(nullptr, 1, 1, "x"),   gcore_debug_printf(dbg, 1, 1, nullptr),
        gcore_debug_flush(nullptr),
    };
    for (size_t i = 0; i < sizeof results / sizeof results[0]; ++i) EXPECT_EQ(results[i], 1) << "call " << i;
    EXPECT_EQ(gcore_debug_destroy(nullptr), 0);
    gcore_debug_destroy(dbg);
}

TEST(DebugChannelMemory, FilteredMessageAllocatesNothing) {
    gcore_debug_t *dbg = gcore_debug_create();
    gcore_debug_set_mode(dbg, GCORE_DEBUG_CALLBACK);
    gcore_debug_register_callback(dbg, captureLine);
    gcore_debug_set_component_mask(dbg, 1);
    {
        TrackedAllocator counting;
        EXPECT_EQ(gcore_debug_printf(dbg, 2, 0, "dropped by component"), 0);
        EXPECT_EQ(gcore_debug_printf(dbg, 1, 8, "dropped by level"), 0);
        EXPECT_EQ(counting.allocations(), 0);
        EXPECT_EQ(gcore_debug_printf(dbg, 1, 0, "written"), 0);
        EXPECT_EQ(counting.allocations(), 2);  // the message and the line
        EXPECT_EQ(trackedBlocks(), 0);         // both freed before returning
    }
    gcore_debug_destroy(dbg);
}

TEST(DebugChannelMemory, OutOfMemoryDropsTheLineAndLeaksNothing) {
    gcore_debug_t *dbg = gcore_debug_create();
    gcore_debug_set_mode(dbg, GCORE_DEBUG_CALLBACK);
    gcore_debug_register_callback(dbg, captureLine);
    gcore_debug_set_component_mask(dbg, 1);
    for (int failAt : {1, 2}) {
        gLines.clear();
        TrackedAllocator failing(failAt);
        EXPECT_EQ(gcore_debug_printf(dbg, 1, 0, "lost"), 1) << failAt;
        EXPECT_TRUE(gLines.empty()) << failAt;
        EXPECT_EQ(trackedBlocks(), 0) << failAt;
    }
    {
        TrackedAllocator failing(1);
        EXPECT_EQ(gcore_debug_create(), nullptr);
        EXPECT_EQ(gcore_debug_set_filename(dbg, "/dev/null", "a"), 1);
        EXPECT_EQ(gcore_debug_register_callback(dbg, tagA), 1);
    }
    {
        TrackedAllocator failing(2);  // the record is allocated, its callback list is not
        EXPECT_EQ(gcore_debug_create(), nullptr);
        EXPECT_EQ(trackedBlocks(), 0);
    }
    gcore_debug_destroy(dbg);
}

}  // namespace
