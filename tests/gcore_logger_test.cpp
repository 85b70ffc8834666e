// The process logger: update in place, its file, a handed-in channel, the tracer, four threads.
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gcore/GCoreLogger.h"
#include "support/gcore_fixtures.h"
#include "support/gtl_tracked.h"

namespace {

using gcore::Logger;

std::vector<std::string> gLines;
std::string gStream;  // appended to character by character: only whole lines under the lock

int captureLine(const char *line)
{
    gLines.push_back(line);
    return 0;
}

// Yields mid-line so that, were the logger not serialising callers, another writer would get in.
int appendByChar(const char *line)
{
    for (const char *p = line; *p; ++p) {
        gStream.push_back(*p);
        if ((p - line) % 32 == 31)
            sched_yield();
    }
    return 0;
}

size_t lineCount(const std::string &text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// Each test starts with no process logger and leaves none behind.
class ProcessLogger : public ::testing::Test {
protected:
    void SetUp() override
    {
        drop();
        gLines.clear();
    }
    void TearDown() override { drop(); }
    static void drop()
    {
        delete Logger::sDebugLog;
        Logger::sDebugLog = nullptr;
    }
    static Logger *logger() { return Logger::getLogger(); }
};

TEST_F(ProcessLogger, ConfigUpdatesInPlaceAndTracerLogsEnterAndExit)
{
    {
        gcore::Tracer quiet(3, 32, "no logger");
    }  // nothing to log to: no effect
    ASSERT_EQ(Logger::configDebugLog(0, 0, 0xFF, GCORE_DEBUG_CALLBACK, ""), 0);
    Logger *first = logger();
    ASSERT_NE(first, nullptr);
    gcore_debug_register_callback(first->getChannel(), captureLine);
    EXPECT_EQ(logger()->log(3, 8, "   [INFO]: n=%d\n", 7), 0);  // filtered by the threshold
    ASSERT_EQ(Logger::configDebugLog(8, 16, 2, GCORE_DEBUG_CALLBACK, ""), 0);
    EXPECT_EQ(logger(), first);
    logger()->log(3, 8, "   [INFO]: n=%d\n", 7);
    logger()->log(3, 16, "  [NOISE]: let through by the mask\n");
    logger()->log(3, 32, "dropped");
    logger()->log(4, 1, "dropped by component");
    ASSERT_EQ(gLines.size(), 2u);
    EXPECT_NE(gLines[0].find(" [INFO]: n=7\n"), std::string::npos);
    ASSERT_EQ(Logger::configDebugLog(32, 0, 0xFF, GCORE_DEBUG_CALLBACK, ""), 0);
    {
        gcore::Tracer trace(3, 32, "scan");
        ASSERT_EQ(gLines.size(), 3u);
    }
    ASSERT_EQ(gLines.size(), 4u);
    EXPECT_TRUE(std::regex_search(gLines[2], std::regex(" {2}\\[TRACE\\]: scan Enter\n$")));
    EXPECT_TRUE(std::regex_search(gLines[3], std::regex(" {2}\\[TRACE\\]: scan Exit\n$")));
}

TEST_F(ProcessLogger, FileFollowsUpdateResetAndClose)
{
    TempDir dir;
    std::string first = dir.file("first.log"), second = dir.file("second.log");
    ASSERT_EQ(Logger::configDebugLog(1, 0, 1, GCORE_DEBUG_FILE, first), 0);
    logger()->log(1, 1, "a");
    EXPECT_EQ(lineCount(readFile(first)), 1u);

    // Same name: the open stream is kept, so a file removed meanwhile is not created again.
    ASSERT_EQ(unlink(first.c_str()), 0);
    ASSERT_EQ(logger()->updateDebugLog(1, 0, 1, GCORE_DEBUG_FILE, first), 0);
    logger()->log(1, 1, "b");
    EXPECT_FALSE(fileExists(first));

    // New name: opened for appending; the old file gets nothing more.
    FILE *seed = fopen(second.c_str(), "w");
    fputs("kept\n", seed);
    fclose(seed);
    ASSERT_EQ(logger()->updateDebugLog(1, 0, 1, GCORE_DEBUG_FILE, second), 0);
    logger()->log(1, 1, "c");
    std::string text = readFile(second);
    EXPECT_EQ(text.rfind("kept\n", 0), 0u);
    EXPECT_EQ(lineCount(text), 2u);

    // Empty name after a named one: the file is closed.
    ASSERT_EQ(logger()->updateDebugLog(1, 0, 1, GCORE_DEBUG_FILE, ""), 0);
    logger()->log(1, 1, "d");
    EXPECT_EQ(lineCount(readFile(second)), 2u);
    EXPECT_EQ(logger()->updateDebugLog(1, 0, 1, GCORE_DEBUG_FILE, dir.file("none/x.log")), 1);

    // Reset truncates the file; close keeps the name, so only a reset opens it again.
    std::string path = dir.file("log");
    ASSERT_EQ(Logger::configDebugLog(1, 0, 1, GCORE_DEBUG_FILE, path), 0);
    logger()->log(1, 1, "before reset");
    ASSERT_EQ(lineCount(readFile(path)), 1u);
    EXPECT_EQ(logger()->resetLog(), 0);
    EXPECT_EQ(readFile(path), "");
    logger()->log(1, 1, "after reset");
    text = readFile(path);
    EXPECT_NE(text.find("after reset\n"), std::string::npos);
    EXPECT_EQ(lineCount(text), 1u);

    EXPECT_EQ(logger()->closeLog(), 0);
    logger()->log(1, 1, "after close");
    ASSERT_EQ(Logger::configDebugLog(1, 0, 1, GCORE_DEBUG_FILE, path), 0);  // same name: stays shut
    logger()->log(1, 1, "after config");
    EXPECT_EQ(readFile(path), text);
    EXPECT_EQ(logger()->resetLog(), 0);  // the name is kept: truncated and reopened
    logger()->log(1, 1, "after second reset");
    EXPECT_EQ(lineCount(readFile(path)), 1u);
}

TEST_F(ProcessLogger, SetLoggingCoreWrapsAChannelItDoesNotOwn)
{
    EXPECT_EQ(Logger::setLoggingCore(nullptr), 1);
    gcore_debug_t *own = gcore_debug_create();
    gcore_debug_set_mode(own, GCORE_DEBUG_CALLBACK);
    gcore_debug_set_component_mask(own, 1);
    gcore_debug_register_callback(own, captureLine);
    ASSERT_EQ(Logger::configDebugLog(0, 0, 0, 0, ""), 0);
    ASSERT_EQ(Logger::setLoggingCore(own), 0);
    EXPECT_EQ(logger()->getChannel(), own);
    logger()->log(1, 0, "via handed-in channel");
    // Handing the same channel in again, then dropping the logger, leaves it usable.
    ASSERT_EQ(Logger::setLoggingCore(own), 0);
    drop();
    EXPECT_EQ(gcore_debug_printf(own, 1, 0, "still alive"), 0);
    EXPECT_EQ(gLines.size(), 2u);
    gcore_debug_destroy(own);
}

TEST_F(ProcessLogger, WithoutAChannelItAcceptsEverythingSilently)
{
    {
        TrackedAllocator failing(1);
        EXPECT_EQ(Logger::configDebugLog(0xFF, 0, 0xFF, 15, ""), 1);
    }
    ASSERT_NE(logger(), nullptr);
    EXPECT_EQ(logger()->log(1, 1, "dropped"), 0);
    EXPECT_EQ(logger()->updateDebugLog(1, 1, 1, 1, "x"), 1);
    EXPECT_EQ(logger()->resetLog(), 0);
    EXPECT_EQ(logger()->closeLog(), 0);
}

// Every line, on the file and through a callback that writes one character at a time, is whole
// and each writer's lines keep their order.
TEST_F(ProcessLogger, FourThreadsNeverInterleaveWithinALine)
{
    TempDir dir;
    std::string path = dir.file("log");
    ASSERT_EQ(Logger::configDebugLog(1, 0, 1, GCORE_DEBUG_FILE | GCORE_DEBUG_CALLBACK, path), 0);
    gcore_debug_register_callback(logger()->getChannel(), appendByChar);
    gStream.clear();
    gStream.reserve(1 << 20);

    const int kThreads = 4, kLines = 300;
    pthread_barrier_t start;
    pthread_barrier_init(&start, nullptr, kThreads);
    std::thread threads[kThreads];
    for (int t = 0; t < kThreads; ++t)
        threads[t] = std::thread([&start, t] {
            pthread_barrier_wait(&start);
            std::string body(120, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i)
                Logger::getLogger()->log(1, 1, "T%d %04d %s\n", t, i, body.c_str());
        });
    for (std::thread &th : threads)
        th.join();
    pthread_barrier_destroy(&start);

    const std::regex line("\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3} T(\\d) (\\d{4}) ([a-z])\\3{119}");
    for (const std::string &text : {readFile(path), gStream}) {
        int next[kThreads] = {};
        size_t count = 0, begin = 0;
        for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1, ++count) {
            std::smatch m;
            std::string one = text.substr(begin, end - begin);
            ASSERT_TRUE(std::regex_match(one, m, line)) << one;
            int id = std::stoi(m[1]);
            EXPECT_EQ(m[3].str()[0], 'a' + id);
            EXPECT_EQ(std::stoi(m[2]), next[id]++);
        }
        EXPECT_EQ(begin, text.size());
        EXPECT_EQ(count, static_cast<size_t>(kThreads * kLines));
    }
}

}  // namespace
