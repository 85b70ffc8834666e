// ztCahTool end to end against ztMediaDBd on the sample card: the count, the hand-out in the
// order of the example sort document, an upload-state write that keeps the offload flags, and
// the refusals of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/mediadb_wire.h"
#include "tests/support/server_process.h"
#include "tests/support/wom_queue.h"

namespace {

const std::string kExamples = std::string(ZT_SOURCE_DIR) + "/examples/";
const std::string kRules = kExamples + "upload-rules.json";

class CahTool : public ::testing::Test {
protected:
    ServerProcess server = ServerProcess::fromFile(kExamples + "sample-card.json");
    void SetUp() override { ASSERT_TRUE(server.ok()) << server.error(); }

    // Exit status and merged output of one run.
    std::pair<int, std::string> run(const std::vector<std::string> &args)
    {
        Child c(ztBinPath("ztCahTool"), args);
        const int status = c.wait();
        return {status, c.readUntil("", 0)};
    }
    std::string file(const std::string &name, const std::string &text)
    {
        std::ofstream(server.path(name)) << text;
        return server.path(name);
    }
};

// The first file name of every handed-out medium, and the final result line.
std::vector<std::string> firstFiles(const std::string &out, std::string *last)
{
    std::vector<std::string> names;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("ZTCAM/");
        if (at != std::string::npos)
            names.push_back(line.substr(at + 6, 12));
        *last = line;
    }
    return names;
}

TEST_F(CahTool, CountListSetStateAndRefusals)
{
    EXPECT_EQ(run({"count", "--rules", kRules}), std::make_pair(0, std::string("15\n")));

    auto [status, out] = run({"list", "--rules", kRules, "--sort", kExamples + "sort-highlights-videos-newest.json"});
    EXPECT_EQ(status, 0) << out;
    std::string last;
    const std::vector<std::string> got = firstFiles(out, &last);
    EXPECT_EQ(last, "{\"result\":2}");
    // Every medium is of one day: highlighted first, then by kind; the order within a set is open.
    const std::vector<std::set<std::string>> runs = {
        {"ZX010028.MP4", "ZX010047.MP4"},
        {"ZCAM0002.JPG", "ZCAM0024.JPG"},
        {"Z0070001.JPG"},
        {"ZXAA0001.MP4", "ZHAE0001.MP4"},
        {"ZX010010.MP4", "ZSAB0001.JPG", "ZX010017.MP4", "ZSAC0001.JPG", "ZX010034.MP4", "ZX010036.MP4"},
        {"ZCAM0027.JPG", "ZCAM0044.JPG"}};
    size_t at = 0;
    for (const auto &r : runs) {
        ASSERT_LE(at + r.size(), got.size()) << out;
        EXPECT_EQ(std::set<std::string>(got.begin() + long(at), got.begin() + long(at + r.size())), r) << out;
        at += r.size();
    }
    EXPECT_EQ(at, got.size());
    // Grouped videos come with all their files, the time-lapse with both directories' members.
    EXPECT_NE(out.find(R"("/tmp/fuse_d/DCIM/100ZTCAM/ZXAA0003.MP4","/tmp/fuse_d/DCIM/100ZTCAM/ZXAA0005.MP4"])"),
              std::string::npos);
    EXPECT_NE(out.find(R"(ZSAB0074.JPG","/tmp/fuse_d/DCIM/101ZTCAM/ZSAB0076.JPG")"), std::string::npos);

    // ZCAM0042.JPG: offload flags 2, upload state 2, which no state rule takes; state 3 is taken.
    EXPECT_EQ(run({"set-state", "102ZTCAM/ZCAM0042.JPG", "3"}), std::make_pair(0, std::string("0\n")));
    EXPECT_EQ(dbUploadWord("102ZTCAM", "ZCAM0042.JPG"), 0x20003u);
    EXPECT_EQ(run({"count", "--rules", kRules}).second, "16\n");

    // Chaptered videos come with their chapters.
    const std::string rules = file("all.json", R"({"rules":[{"state":false,"kind":7},{"state":false,"kind":0},
        {"state":true,"kind":11},{"state":true,"kind":12}]})");
    std::tie(status, out) = run({"list", "--rules", rules});
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(R"(["/tmp/fuse_d/DCIM/100ZTCAM/ZX010123.MP4","/tmp/fuse_d/DCIM/100ZTCAM/ZX020123.MP4",)"
                       R"("/tmp/fuse_d/DCIM/100ZTCAM/ZX040123.MP4"])"),
              std::string::npos)
        << out;

    int n = 0;
    auto count = [&](const std::string &json) {
        return std::vector<std::string>{"count", "--rules", file("r" + std::to_string(n++) + ".json", json)};
    };
    const struct {
        std::vector<std::string> args;
        int status;
        const char *says;
    } cases[] = {
        {count(R"({"rules":[{"state":false}]})"), 2, R"("state" and "kind" are required)"},
        {count(R"({"rules":[{"state":true,"kind":-1}]})"), 2, R"("kind" must be)"},
        {count(R"({"rules":[{"state":true,"kind":1,"scores":[1,2]}]})"), 2, R"(unknown field "scores")"},
        {count(R"({"rules":[{"state":true,"kind":1,"count":[5,1]}]})"), 2, R"("count" must be)"},
        {count(R"({"rules":[{"state":false,"kind":1,"count":[5,5]}]})"), 0, ""},
        {count("rules"), 2, "not valid JSON"},
        {count(R"({"rules":[{"state":true,"kind":99}]})"), 2, R"(rule 0: "kind" 99)"},
        {count(R"({"rules":[{"state":false,"kind":11}]})"), 2, R"(rule 0: "kind" 11)"},
        {count(R"({"rules":[],"rule":[]})"), 2, R"("rule")"},
        {count("{\"rules\":[]}\n{}"), 2, "line 2, column 1"},
        {count(std::string("{\"rules\":[]}\0", 13)), 2, "column 13"},
        {{"list", "--rules", file("none.json", "{\"rules\":[]}"), "--sort",
          file("s1.json", R"({"sort_rules":["media_type","newest"],"media_type_order":["video"]})")},
         0,
         "\"newest\""},
        {{"list", "--rules", kRules, "--sort", file("s2.json", "{\"sort_rules\":[]}]")}, 2, "column 18"},
        {{"count", "--rules", server.path("missing.json")}, 2, "No such file"},
        {{"list", "--rules", kRules, "--sort", file("bad-sort.json", R"({"sort_rules":["media_type"]})")},
         2,
         "not a valid sort-rule document"},
        {{"list", "--rules", kRules, "--sort", kExamples}, 2, "not a regular file"},
        {{"set-state", "102ZTCAM/ZCAM0042.JP", "3"}, 1, "-1\n"},
        {{"set-state", "102ZTCAM/ZCAM0042.JPG", "x"}, 2, "STATE must be"},
        {{"list", "--rules"}, 2, "usage:"},
        {{"--help"}, 0, "set-state DIR/FILE STATE"},
    };
    for (const auto &c : cases) {
        std::tie(status, out) = run(c.args);
        EXPECT_EQ(status, c.status) << c.args[0] << ": " << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
        EXPECT_EQ(out.find("/tmp/fuse_d"), std::string::npos) << out;  // nothing handed out
    }
}

}  // namespace
