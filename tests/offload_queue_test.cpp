// ztOffload end to end: it waits on /to_wom for the boot-time check's event, copies the media that
// await upload (a chaptered video with all its chapters), records them, and the next check finds
// nothing to upload. Also: the date layout, a name on DEST holding other bytes, and bad input.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "tests/support/offload_card.h"
#include "tests/support/wom_queue.h"

namespace {

const std::vector<std::pair<std::string, size_t>> kCard = {
    {"100ZTCAM/ZX010050.MP4", 300000}, {"100ZTCAM/ZX020050.MP4", 200000}, {"100ZTCAM/ZX030050.MP4", 1000},
    {"100ZTCAM/ZCAM0001.JPG", 5000},   {"101ZTCAM/ZCAM0001.JPG", 7000},
};

std::pair<int, std::string> run(const std::vector<std::string> &args)
{
    Child c(ztBinPath("ztOffload"), args);
    const int status = c.wait();
    return {status, c.readUntil("", 0)};
}

TEST(OffloadQueue, WaitsForTheEventThenOffloadsEverythingOnce)
{
    womIsolateQueue();
    OffloadCard card(kCard);
    ASSERT_TRUE(card.server().ok()) << card.server().error();
    for (const char *expect : {"offload event 24", "offload event 23"}) {
        std::vector<std::string> args = card.args();
        args.pop_back();  // no --once: wait for the event
        Child offload(ztBinPath("ztOffload"), args);
        Child checker(ztBinPath("ztMediaChecker"), {});
        EXPECT_EQ(offload.wait(), 0);
        EXPECT_NE(offload.readUntil("", 0).find(expect), std::string::npos) << offload.readUntil("", 0);
    }
    EXPECT_EQ(card.offloaded().size(), kCard.size());
    for (const std::string &rel : card.files())
        EXPECT_TRUE(card.wholeOnDest(rel)) << rel;
}

TEST(OffloadQueue, RefusesBadInputAndTheDateLayoutKeepsOtherFiles)
{
    OffloadCard card(kCard);
    ASSERT_TRUE(card.server().ok()) << card.server().error();
    std::ofstream(card.root() + "/bad.json") << R"({"rules":[{"state":true}]})";
    std::filesystem::create_directories(card.root() + "/nodcim");
    const struct {
        std::vector<std::string> args;
        int status;
        const char *says;
    } cases[] = {
        {{"--card", card.card()}, 2, "usage:"},
        {card.args({"--layout", "year"}), 2, "usage:"},
        {{"--card", card.root() + "/nodcim", "--to", card.dest(), "--once"}, 2, "DCIM"},
        {card.args({"--rules", card.root() + "/bad.json"}), 2, "rules file"},
        {card.args({"--sort", card.root() + "/bad.json"}), 2, "sort document"},
        {{"--help"}, 0, "Exit status"},
    };
    for (const auto &c : cases) {
        auto [status, out] = run(c.args);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
    }
    EXPECT_TRUE(card.offloaded().empty());

    char day[16];
    const time_t now = time(nullptr);
    strftime(day, sizeof day, "%Y-%m-%d", localtime(&now));
    std::filesystem::create_directories(card.dest() + "/" + day);
    std::ofstream(card.dest() + "/" + day + "/ZCAM0001.JPG") << "someone else's photo";
    auto [status, out] = run(card.args({"--layout", "date"}));
    EXPECT_EQ(status, 0) << out;
    // Both folders' ZCAM0001.JPG land beside the file that was there, which stays as it was.
    for (const char *name : {"ZCAM0001~2.JPG", "ZCAM0001~3.JPG", "ZX030050.MP4"})
        EXPECT_TRUE(std::filesystem::exists(card.dest() + "/" + day + "/" + name)) << name << "\n" << out;
    EXPECT_EQ(std::filesystem::file_size(card.dest() + "/" + day + "/ZCAM0001.JPG"), 20u);
    EXPECT_EQ(card.offloaded().size(), kCard.size());
}

}  // namespace
