// A writer keeps writing while the server is stopped (SIGTERM the first time, SIGKILL after) at
// random moments and restarted; after every restart each file holds at least its last
// acknowledged write. scripts/durability sets ZT_DURABILITY_WRITES and ZT_DURABILITY_KILLS for
// the long form (1,000 writes, 20 kills).
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/support/gcore_fixtures.h"
#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"

namespace {

constexpr size_t kFiles = 16;

unsigned envCount(const char *name, unsigned fallback)
{
    const char *v = std::getenv(name);
    return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : fallback;
}

std::string fileName(size_t i)
{
    char name[16];
    std::snprintf(name, sizeof name, "ZP01%04zu.JPG", i + 1);
    return name;
}

// The word of write number `seq`: the sequence in the high half (offload flags are free bits
// here), a valid upload state in the low half.
uint32_t wordOf(uint32_t seq) { return seq << 16 | (seq % 32); }

}  // namespace

TEST(MediadbDurability, AcknowledgedWritesSurviveKill9)
{
    const unsigned wantWrites = envCount("ZT_DURABILITY_WRITES", 200);
    const unsigned wantKills = envCount("ZT_DURABILITY_KILLS", 4);
    std::string json = R"({"card_id":"DUR","media":[)";
    for (size_t i = 0; i < kFiles; i++)
        json += std::string(i ? "," : "") + R"({"dir":"100ZTCAM","type":4,"file":")" + fileName(i) + "\"}";
    const TempDir dir;
    ServerProcess server(json + "]}", {"--state", dir.file("state.sqlite")});
    ASSERT_TRUE(server.ok()) << server.error();

    std::vector<uint32_t> acked(kFiles, 0);  // last acknowledged sequence per file (0: none)
    std::atomic<unsigned> writes{0};
    std::atomic<uint32_t> seq{0};
    std::mt19937 random(std::random_device{}());
    unsigned kills = 0;
    for (; (kills < wantKills || writes < wantWrites) && seq < 60000; kills++) {
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            while (!stop) {
                size_t file = seq % kFiles;
                uint32_t s = ++seq;  // stays far below 2^16, the room of the high half
                if (dbWriteUploadWord("100ZTCAM", fileName(file).c_str(), wordOf(s)) == 0) {
                    acked[file] = s;
                    writes++;
                }
            }
        });
        // Kill after a random share of this round's writes, a random moment into the next one.
        unsigned perRound = std::max(2u, 2 * wantWrites / std::max(1u, wantKills));
        unsigned target = writes + 1 + static_cast<unsigned>(random() % perRound);
        while (writes < target && seq < 60000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        server.stop(kills == 0 ? SIGTERM : SIGKILL);
        stop = true;
        writer.join();
        ASSERT_TRUE(server.restart()) << server.error();
        // A write whose acknowledgement was lost in the kill may be there too, never an older one.
        for (size_t f = 0; f < kFiles; f++)
            ASSERT_GE(dbUploadWord("100ZTCAM", fileName(f).c_str()) >> 16, acked[f])
                << fileName(f) << " after kill " << kills + 1;
    }
    EXPECT_GE(writes, wantWrites);
    std::printf("durability: %u acknowledged writes, %u kills, 0 lost\n", writes.load(), kills);
}
