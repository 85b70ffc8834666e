// Sort rules: each comparator's verdict on pairs of keys, the case rules of names and keys, and
// every document the factory refuses leaving the list's order and cursor alone.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cah/CAHMediaList.h"
#include "cah/CompareFactory.h"
#include "cah/CompareOrdinal.h"
#include "tests/support/cah_probe.h"

namespace {

// A key built by chained setters.
struct Key {
    CompareBlock b{};
    explicit Key(uint32_t type = 4) { b.type = CAH_KEY_BITS(type, 4); }
    Key &on(uint32_t year, uint32_t day)
    {
        b.year = CAH_KEY_BITS(year, 5);
        b.day = CAH_KEY_BITS(day, 9);
        return *this;
    }
    Key &mb(uint32_t s)
    {
        b.sizeMB = CAH_KEY_BITS(s, 22);
        return *this;
    }
    Key &hl()
    {
        b.highlight = 1;
        return *this;
    }
    Key &clip()
    {
        b.userClip = 1;
        return *this;
    }
};

int sign(int32_t v) { return (v > 0) - (v < 0); }

// A host's own rule derived from an installed one: the adapter must ask its compare.
struct HostOldestFirst : CompareByDayNewestFirst {
    int32_t compare(const CompareBlock &a, const CompareBlock &b) const override
    {
        return -CompareByDayNewestFirst::compare(a, b);
    }
};
Comparinator *hostTree()
{
    auto *c = new CompoundCompare;
    c->add(new HostOldestFirst);
    return c;
}

TEST(CompareFactory, EachRuleOrdersAPairOfKeys)
{
    const char *kKinds = R"({"sort_rules":["media_type"],"media_type_order":["video","no_such_kind","photo"]})";
    const struct {
        const char *name;
        const char *json;
        Key a, b;
        int expected;                       // sign of compare(a, b): 1 a first, -1 b first, 0 tie
        Comparinator *(*make)() = nullptr;  // instead of the factory
    } cases[] = {
        {"default: later day first", nullptr, Key().on(3, 10), Key().on(3, 9).mb(1), 1},
        {"default: same day, smaller first", nullptr, Key().on(3, 10).mb(5), Key().on(3, 10).mb(4), -1},
        {"default: same day and size tie", nullptr, Key(0).on(3, 10).mb(4), Key(4).on(3, 10).mb(4), 0},
        {"year before day", R"({"sort_rules":["date_by_day_newest_first"]})", Key().on(6, 365), Key().on(7, 0), -1},
        {"oldest first", R"({"sort_rules":["date_by_day_oldest_first"]})", Key().on(6, 365), Key().on(7, 0), 1},
        {"size only", R"({"sort_rules":["filesize_smallest_first"]})", Key().on(1, 0).mb(0), Key().on(9, 0).mb(1), 1},
        {"highlight", R"({"sort_rules":["hilighted_first"]})", Key(), Key().hl(), -1},
        {"auto highlight is the same", R"({"sort_rules":["hilighted_auto_first"]})", Key().hl(), Key(), 1},
        {"manual highlight is the same", R"({"sort_rules":["hilighted_manual_first"]})", Key().hl(), Key(), 1},
        {"no rules tie", R"({"sort_rules":[]})", Key().hl(), Key().on(5, 5), 0},
        {"video before photo", kKinds, Key(4), Key(2), -1},
        {"photo 9 before time-lapse", kKinds, Key(9), Key(6), 1},
        {"user clip is not a video", kKinds, Key(0).clip(), Key(10), 0},
        {"unlisted kinds tie", kKinds, Key(5), Key(7), 0},
        {"earlier rule decides", R"({"sort_rules":["hilighted_first","date_by_day_newest_first"]})",
         Key().on(1, 0).hl(), Key().on(2, 0), 1},
        {"later rule breaks ties", R"({"sort_rules":["hilighted_first","date_by_day_newest_first"]})", Key().on(1, 0),
         Key().on(2, 0), -1},
        {"user clip kind", R"({"sort_rules":["media_type"],"media_type_order":["user_video_clip"]})", Key(1).clip(),
         Key(1), 1},
        {"rule names are case-sensitive", R"({"sort_rules":["MEDIA_TYPE","Hilighted_first"]})", Key().hl(), Key(), 0},
        {"keys are not", R"({"SORT_RULES":["hilighted_first"]})", Key().hl(), Key(), 1},
        {"unknown rules are skipped", R"({"sort_rules":["biggest_first","hilighted_first"],"x":1})", Key().hl(), Key(),
         1},
        {"a host's own compare", nullptr, Key().on(3, 10), Key().on(3, 9), -1, hostTree},
    };
    for (const auto &c : cases) {
        Comparinator *cmp = c.make ? c.make() : CompareFactory::create(c.json);
        ASSERT_NE(cmp, nullptr) << c.name;
        EXPECT_EQ(sign(cmp->compare(c.a.b, c.b.b)), c.expected) << c.name;
        EXPECT_EQ(sign(cmp->compare(c.b.b, c.a.b)), -c.expected) << c.name << " (swapped)";
        // The sort's predicate flattens the rules into one number per key; it must agree.
        const CompareAdapter before(cmp);
        EXPECT_EQ(before(c.a.b, c.b.b), c.expected > 0) << c.name;
        EXPECT_EQ(before(c.b.b, c.a.b), c.expected < 0) << c.name;
        CompareFactory::destroy(cmp);
    }
}

TEST(CAHMediaListSort, RefusedDocumentsLeaveOrderAndCursorThenTheDefaultSorts)
{
    CAHMediaList list;
    CAHMediaListProbe p{list};
    std::vector<CompareBlock> keys;
    for (uint32_t i = 0; i < 6; ++i) {
        Key k = Key().on(1, i % 3).mb(6 - i);
        k.b.index = CAH_KEY_BITS(i, 18);
        keys.push_back(k.b);
    }
    p.setBlocks(keys, 2);
    for (const char *bad : {"", "{", "[]", "{}", R"({"sort_rules":"media_type"})", R"({"sort_rules":[1]})",
                            R"({"sort_rules":["hilighted_first",null]})", R"({"sort_rules":["media_type"]})",
                            R"({"sort_rules":["media_type"],"media_type_order":{"video":1}})",
                            R"({"sort_rules":["media_type"],"media_type_order":["video",4]})"}) {
        EXPECT_EQ(list.sort(bad), -1) << bad;
        EXPECT_EQ(memcmp(p.blocks().data(), keys.data(), keys.size() * sizeof keys[0]), 0) << bad;
        EXPECT_EQ(p.cursor(), 2u) << bad;
    }
    ASSERT_EQ(list.sort(nullptr), 0);
    std::vector<uint32_t> order;
    for (const CompareBlock &b : p.blocks())
        order.push_back(uint32_t(b.index));
    // Day 2 (keys 5, 2), day 1 (4, 1), day 0 (3, 0); smaller first within a day.
    EXPECT_EQ(order, (std::vector<uint32_t>{5, 2, 4, 1, 3, 0}));
    EXPECT_TRUE(p.cursorAtBegin());
}

}  // namespace
