// The debug channel: filters, line format, sinks, callbacks, files, null arguments, no memory.
#include <stdlib.h>
#include <time.h>

#include <sys/time.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gcore/gcore_debug.h"
#include "support/gcore_fixtures.h"
#include "support/gtl_tracked.h"
#include "support/scoped_env.h"

namespace {

std::vector<std::string> gLines;
std::string gOrder;

int captureLine(const char *line)
{
    gLines.push_back(line);
    return 0;
}
int tagA(const char *)
{
    gOrder += "A";
    return 0;
}
int tagB(const char *)
{
    gOrder += "B";
    return 0;
}

class DebugChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        gLines.clear();
        gOrder.clear();
        ASSERT_NE(dbg = gcore_debug_create(), nullptr);
        gcore_debug_set_mode(dbg, GCORE_DEBUG_CALLBACK);
        gcore_debug_set_component_mask(dbg, 1);
        gcore_debug_register_callback(dbg, captureLine);
    }
    void TearDown() override { EXPECT_EQ(gcore_debug_destroy(dbg), 0); }
    gcore_debug_t *dbg = nullptr;
};

TEST_F(DebugChannel, FiltersByComponentThresholdAndLevelMask)
{
    struct Case {
        uint32_t threshold, levelMask, componentMask, component, level;
        bool written;
    };
    const Case cases[] = {
        {0, 0, 0xFF, 3, 8, false},  // the checker's setting drops info
        {0, 0, 0xFF, 3, 0, true},   // ... while level 0 passes the threshold
        {8, 0, 0xFF, 3, 8, true},
        {8, 0, 0xFF, 3, 16, false},
        {8, 32, 0xFF, 3, 32, true},  // the mask lets a level past the threshold through
        {8, 32, 0xFF, 3, 16, false},
        {0, 16 | 32, 0xFF, 3, 16, true},
        {8, 0, 2, 3, 1, true},
        {8, 0, 4, 3, 1, false},                    // component and mask share no bit
        {0xFFFFFFFF, 0xFFFFFFFF, 0, 3, 1, false},  // no component passes an empty mask
    };
    for (const Case &c : cases) {
        gLines.clear();
        gcore_debug_set_level(dbg, c.threshold);
        gcore_debug_set_level_mask(dbg, c.levelMask);
        gcore_debug_set_component_mask(dbg, c.componentMask);
        EXPECT_EQ(gcore_debug_printf(dbg, c.component, c.level, "m"), 0);
        EXPECT_EQ(gLines.size(), c.written ? 1u : 0u)
            << "threshold " << c.threshold << " levelMask " << c.levelMask << " componentMask " << c.componentMask
            << " component " << c.component << " level " << c.level;
    }
}

TEST_F(DebugChannel, LineIsStampBlankMessageAndOneNewline)
{
    const char *cases[][2] = {
        {"abc", "abc\n"}, {"abc\n", "abc\n"}, {"abc\n\n", "abc\n\n"}, {"\n", "\n"}, {"  x=5", "  x=5\n"},
    };
    const std::regex stamp("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3} ");
    for (auto &c : cases) {
        gLines.clear();
        ASSERT_EQ(gcore_debug_printf(dbg, 1, 0, "%s", c[0]), 0);
        ASSERT_EQ(gLines.size(), 1u);
        EXPECT_EQ(std::regex_replace(gLines[0], stamp, ""), c[1]) << "message '" << c[0] << "'";
        EXPECT_TRUE(std::regex_search(gLines[0], stamp)) << gLines[0];
    }
    EXPECT_EQ(gcore_debug_printf(dbg, 1, 0, "%s", ""), 1);  // empty: refused, nothing written
    EXPECT_EQ(gLines.size(), 1u);
}

// The stamp is local time: in a zone 5:30 ahead of UTC it reads 19800 s past the UTC clock.
TEST_F(DebugChannel, StampIsLocalTimeToTheMillisecond)
{
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
    long long stampMs = (static_cast<long long>(timegm(&parsed)) - 19800) * 1000 + strtol(rest + 1, nullptr, 10);
    EXPECT_LE(before.tv_sec * 1000LL + before.tv_usec / 1000, stampMs);
    EXPECT_LE(stampMs, after.tv_sec * 1000LL + after.tv_usec / 1000);
}

TEST_F(DebugChannel, ModeBitsSelectTheSinksAndFileNameRules)
{
    TempDir dir;
    ASSERT_EQ(gcore_debug_set_filename(dbg, dir.file("log").c_str(), "a"), 0);
    size_t fileLines = 0;
    for (uint32_t mode : {0u, 1u, 2u, 4u, 8u, 15u}) {
        gLines.clear();
        gcore_debug_set_mode(dbg, mode);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        gcore_debug_printf(dbg, 1, 0, "mode %u", mode);
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        std::string tail = " mode " + std::to_string(mode) + "\n";
        EXPECT_EQ(out.find(tail) != std::string::npos, (mode & 1) != 0) << mode;
        EXPECT_EQ(err.find(tail) != std::string::npos, (mode & 2) != 0) << mode;
        EXPECT_EQ(gLines.size(), (mode & 8) ? 1u : 0u) << mode;
        fileLines += (mode & 4) ? 1 : 0;
        std::string file = readFile(dir.file("log"));
        EXPECT_EQ(static_cast<size_t>(std::count(file.begin(), file.end(), '\n')), fileLines) << mode;
    }

    const char *name = nullptr, *mode = nullptr;
    std::string missing = dir.file("no/such/dir/log");
    EXPECT_EQ(gcore_debug_set_filename(dbg, missing.c_str(), "a"), 1);
    ASSERT_EQ(gcore_debug_get_filename(dbg, &name, &mode), 0);
    EXPECT_EQ(name, missing);  // the names stay although nothing opened
    EXPECT_EQ(dbg->file, nullptr);
    ASSERT_EQ(gcore_debug_set_filename(dbg, dir.file("log").c_str(), "w"), 0);

    FILE *own = tmpfile();
    ASSERT_EQ(gcore_debug_set_file(dbg, own), 0);  // unsets the named file first
    EXPECT_EQ(gcore_debug_get_filename(dbg, &name, &mode), 0);
    EXPECT_EQ(name, nullptr);
    gcore_debug_destroy(dbg);  // leaves a handed-in stream open for its owner
    dbg = gcore_debug_create();
    EXPECT_GT(fprintf(own, "still open\n"), 0);
    EXPECT_EQ(fclose(own), 0);
}

TEST_F(DebugChannel, CallbacksRegisterOnceAndRunInOrder)
{
    for (auto cb : {tagA, tagB, tagA, captureLine})
        EXPECT_EQ(gcore_debug_register_callback(dbg, cb), 0);
    gcore_debug_printf(dbg, 1, 0, "one");
    EXPECT_EQ(gOrder, "AB");
    EXPECT_EQ(gLines.size(), 1u);
    EXPECT_EQ(gcore_debug_unregister_callback(dbg, tagA), 0);
    EXPECT_EQ(gcore_debug_unregister_callback(dbg, tagA), 0);  // unknown: nothing changes
    gcore_debug_printf(dbg, 1, 0, "two");
    EXPECT_EQ(gOrder, "ABB");
    EXPECT_EQ(gLines.size(), 2u);
}

TEST(DebugChannelArguments, NullArgumentsGiveOne)
{
    gcore_debug_t *dbg = gcore_debug_create();
    FILE *f = nullptr;
    const int results[] = {
        gcore_debug_set_mode(nullptr, 1),
        gcore_debug_get_level(dbg, nullptr),
        gcore_debug_set_filename(dbg, nullptr, "a"),
        gcore_debug_set_filename(dbg, "x", nullptr),
        gcore_debug_unset_filename(nullptr),
        gcore_debug_set_file(dbg, nullptr),
        gcore_debug_get_file(nullptr, &f),
        gcore_debug_register_callback(dbg, nullptr),
        gcore_debug_printf(nullptr, 1, 1, "x"),
        gcore_debug_printf(dbg, 1, 1, nullptr),
    };
    for (size_t i = 0; i < sizeof results / sizeof results[0]; ++i)
        EXPECT_EQ(results[i], 1) << "call " << i;
    EXPECT_EQ(gcore_debug_destroy(nullptr), 0);
    gcore_debug_destroy(dbg);
}

TEST_F(DebugChannel, FilteredMessagesAllocateNothingAndOutOfMemoryLeaksNothing)
{
    {
        TrackedAllocator counting;
        EXPECT_EQ(gcore_debug_printf(dbg, 2, 0, "dropped by component"), 0);
        EXPECT_EQ(gcore_debug_printf(dbg, 1, 8, "dropped by level"), 0);
        EXPECT_EQ(counting.allocations(), 0);
        EXPECT_EQ(gcore_debug_printf(dbg, 1, 0, "written"), 0);
        EXPECT_EQ(counting.allocations(), 2);  // the message and the line
        EXPECT_EQ(trackedBlocks(), 0);         // both freed before returning
    }
    for (int failAt : {1, 2}) {
        {
            TrackedAllocator failing(failAt);
            EXPECT_EQ(gcore_debug_printf(dbg, 1, 0, "lost"), 1) << failAt;
        }
        TrackedAllocator failing(failAt);  // the record, then its callback list
        EXPECT_EQ(gcore_debug_create(), nullptr);
        EXPECT_EQ(trackedBlocks(), 0) << failAt;
        EXPECT_EQ(gLines.size(), 1u) << failAt;
    }
    TrackedAllocator failing(1);
    EXPECT_EQ(gcore_debug_set_filename(dbg, "/dev/null", "a"), 1);
    EXPECT_EQ(gcore_debug_register_callback(dbg, tagA), 1);
}

}  // namespace
