// The candidate list's collection and hand-out: the rule filter and key packing on items, paging
// and the hand-out against a scripted media database whose card a test changes between calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cah/CAHMediaList.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbList.h"
#include "tests/support/cah_probe.h"
#include "tests/support/db_list_frames.h"
#include "tests/support/scripted_peer.h"

namespace {

constexpr uint32_t kMiB = 1u << 20;

// A list item built by chained setters.
struct Item {
    cah_item_s v{};
    Item(uint32_t type, uint32_t state = 0)
    {
        v.content_type = type;
        v.upload_status = state;
    }
    Item &hl()
    {
        v.highlight_count = 1;
        return *this;
    }
    Item &mahs(uint32_t m)
    {
        v.mahs = m;
        return *this;
    }
    Item &dur(uint32_t s)
    {
        v.duration = s;
        return *this;
    }
    Item &cl()
    {
        v.cl = 1;
        return *this;
    }
    Item &files(uint32_t first, uint32_t last)
    {
        v.first_number = first;
        v.last_number = last;
        return *this;
    }
    Item &cre(uint32_t t)
    {
        v.creation_time = t;
        return *this;
    }
    Item &size(uint64_t s)
    {
        v.size = s;
        return *this;
    }
    Item &group(uint32_t g)
    {
        v.group_number = g;
        return *this;
    }
};

UploadRule rule(bool state, uint32_t kind, std::vector<uint32_t> range = {}, int which = 0)
{
    UploadRule r;
    r.isStateRule = state;
    r.kind = kind;
    uint32_t *lo[] = {&r.minScore, &r.minDuration, &r.minCount}, *hi[] = {&r.maxScore, &r.maxDuration, &r.maxCount};
    if (!range.empty()) {
        *lo[which] = range[0];
        *hi[which] = range[1];
    }
    return r;
}
UploadRule media(uint32_t kind) { return rule(false, kind); }
UploadRule state(uint32_t kind) { return rule(true, kind); }
UploadRule scored(uint32_t kind, uint32_t lo, uint32_t hi) { return rule(false, kind, {lo, hi}, 0); }
UploadRule timed(uint32_t kind, uint32_t lo, uint32_t hi) { return rule(false, kind, {lo, hi}, 1); }
UploadRule counted(uint32_t kind, uint32_t lo, uint32_t hi) { return rule(false, kind, {lo, hi}, 2); }

TEST(FilterItem, OneMediaAndOneStateRuleMustMatch)
{
    const UploadRule s0 = state(11);
    const struct {
        const char *name;
        Item item;
        std::vector<UploadRule> rules;
        bool accepted;
    } cases[] = {
        {"no rules", Item(4), {}, false},
        {"media rules only", Item(4), {media(0), media(10)}, false},
        {"state rules only", Item(4), {s0, state(12)}, false},
        {"state rule first", Item(4), {s0, media(0)}, true},
        {"type 7 never", Item(7), {media(0), s0}, false},
        {"type 11 never", Item(11), {media(0), s0}, false},
        {"state 4 by kind 15", Item(4, 4), {media(0), state(15)}, true},
        {"state 5 by no kind", Item(4, 5), {media(0), state(15), state(16)}, false},
        {"highlight scores 100", Item(4).hl().mahs(20), {scored(1, 90, 100), s0}, true},
        {"own score below range", Item(4).mahs(89), {scored(1, 90, 100), s0}, false},
        {"kind 1 takes photo 9", Item(9).mahs(95), {scored(1, 90, 100), s0}, true},
        {"kind 1 not videos", Item(0).mahs(95), {scored(1, 90, 100), s0}, false},
        {"kind 2 duration at bound", Item(2).dur(600), {timed(2, 0, 600), s0}, true},
        {"kind 2 duration past bound", Item(2).dur(601), {timed(2, 0, 600), s0}, false},
        {"kind 3 needs cl", Item(1), {media(3), s0}, false},
        {"kind 4 with cl", Item(1).cl(), {media(4), s0}, true},
        {"kind 6 lapse by count", Item(6).files(1, 10), {counted(6, 10, 20), s0}, true},
        {"kind 6 lapse count short", Item(8).files(1, 9), {counted(6, 10, 20), s0}, false},
        {"kind 6 video 13 by duration", Item(13).dur(30), {timed(6, 0, 60), s0}, true},
        {"kind 7 burst", Item(5), {media(7), s0}, true},
        {"kind 7 not photo", Item(4), {media(7), s0}, false},
        {"kind 8 continuous", Item(10).files(1, 5), {counted(8, 5, 5), s0}, true},
        {"kind 10 any type highlighted", Item(3).hl(), {media(10), s0}, true},
        {"kind 10 needs highlight", Item(3), {media(10), s0}, false},
        {"kinds 5 and 9 never", Item(4).hl(), {media(5), media(9), s0}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CAHMediaList::filterItem(c.item.v, c.rules), c.accepted) << c.name;
}

const std::vector<UploadRule> kAnyNew = {media(0), state(11)};

TEST(CountCb, PacksEachKeyFromItsItem)
{
    const struct {
        const char *name;
        Item item;
        uint32_t year, day, sizeMB;
    } cases[] = {
        {"1 January 2015", Item(4).cre(1420070400), 0, 0, 0},
        {"31 December 2016", Item(4).cre(1483142400), 1, 365, 0},
        {"31 December 2014 wraps", Item(4).cre(1420070399), 31, 364, 0},
        {"one byte short of 1 MiB", Item(4).size(kMiB - 1), 0, 0, 0},
        {"1 MiB", Item(4).size(kMiB), 0, 0, 1},
    };
    for (const auto &c : cases) {
        CAHMediaList list;
        CAHMediaListProbe p{list};
        p.setRules(kAnyNew);
        cah_item_s item = c.item.v;
        if (!item.creation_time)
            item.creation_time = 1420070400;
        CAHMediaList::countCb(&list, &item);
        ASSERT_EQ(p.blocks().size(), 1u) << c.name;
        const CompareBlock b = p.blocks()[0];
        EXPECT_EQ(b.year, c.year) << c.name;
        EXPECT_EQ(b.day, c.day) << c.name;
        EXPECT_EQ(b.sizeMB, c.sizeMB) << c.name;
    }

    CAHMediaList list;
    CAHMediaListProbe p{list};
    p.setRules(kAnyNew);
    cah_item_s video = Item(1).hl().cl().dur(95).files(3, 7).size(9 * kMiB).v;
    CAHMediaList::countCb(&list, &video);
    const CompareBlock b = p.blocks()[0];
    EXPECT_EQ(int(b.type), 1);
    EXPECT_EQ(int(b.highlight) + int(b.userClip), 2);
    EXPECT_EQ(b.duration, 95u);
    EXPECT_EQ(b.count, 5u);
    EXPECT_EQ(b.sizeMB, 9u);
}

TEST(CountCb, SpannedGroupWithARejectedMiddleEntryIsOneKey)
{
    CAHMediaList list;
    CAHMediaListProbe p{list};
    p.setRules(kAnyNew);
    cah_item_s parts[] = {Item(6).group(1002).files(1, 10).size(3 * kMiB).dur(40).v,
                          Item(6, 2).group(1002).files(11, 20).size(5 * kMiB).v,
                          Item(6).group(1002).files(21, 25).size(7 * kMiB + kMiB - 1).dur(9).v};
    for (cah_item_s &part : parts)
        CAHMediaList::countCb(&list, &part);
    ASSERT_EQ(p.blocks().size(), 1u);
    const CompareBlock b = p.blocks()[0];
    EXPECT_EQ(b.index, 0u);
    EXPECT_EQ(b.sizeMB, 10u);
    EXPECT_EQ(b.count, 15u);
    EXPECT_EQ(b.duration, 40u);
    EXPECT_EQ(p.spans().at(1002), (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(p.index(), 3u);
}

// One list entry of the scripted card.
struct Entry {
    uint32_t type;
    std::string dir, file;
    uint32_t state = 0, group = 0, first = 0, last = 0;
};

// The card the scripted peer lists: pages cut from `entries`, every page stamped with `session`.
struct Card {
    std::vector<Entry> entries;
    uint32_t session = 1;
    int emptyPages = 0;        // pages that claim the entries but send none (-1: every page)
    bool bumpSession = false;  // a new version for every page

    Frame page(const PeerRequest &r)
    {
        session += bumpSession;
        uint32_t start = 0;
        if (r.bytes.size() >= 16)
            memcpy(&start, r.bytes.data() + 12, 4);
        ListFrame f(DB_LIST_CAH_OPTIONS, r.word(2));
        for (uint32_t i = start; i < entries.size() && i < start + r.word(1); ++i) {
            const Entry &e = entries[i];
            db_content_info c = ListFrame::content(e.type, e.file.c_str());
            memcpy(c.dir_name, e.dir.c_str(), 8);
            c.upload_status = e.state;
            c.file_size = kMiB;
            f.put(c);
            if (dbContentTypeInfo(e.type)->block == DbListBlock::Group)
                f.put(db_group_info{e.group, e.first, e.last, 0, 2 * kMiB});
            ++f.entries;
        }
        const uint32_t n = f.entries;
        if (emptyPages) {
            emptyPages -= emptyPages > 0;
            f = ListFrame(DB_LIST_CAH_OPTIONS, r.word(2));
        }
        Frame bytes = f.done(uint32_t(entries.size()), n);
        memcpy(bytes.data() + offsetof(db_list_response_header, session_id), &session, 4);
        return bytes;
    }
};

Entry photo(const char *dir, int n, uint32_t st = 0)
{
    char name[16];
    snprintf(name, sizeof name, "ZCAM%04d.JPG", n);
    return {4, dir, name, st};
}
Entry lapse(const char *dir, const char *file, uint32_t first, uint32_t last)
{
    return {6, dir, file, 0, 1002, first, last};
}

class CandidateList : public ::testing::Test {
protected:
    ScriptedPeer peer;
    Card card;
    CAHMediaList list;
    CAHMediaListProbe probe{list};
    std::vector<UploadRule> rules = kAnyNew;

    void SetUp() override
    {
        ASSERT_TRUE(peer.ok()) << peer.error();
        peer.setHandler([this](const PeerRequest &r) { return PeerAction::reply(card.page(r)); });
        // Positions 1 and 6 are refused (state 2); the lapse spans positions 4, 5 and 7.
        card.entries = {photo("100ZTCAM", 0),
                        photo("100ZTCAM", 1, 2),
                        photo("100ZTCAM", 2),
                        photo("100ZTCAM", 3),
                        lapse("100ZTCAM", "ZSAB0001.JPG", 1, 2),
                        lapse("101ZTCAM", "ZSAB0003.JPG", 3, 4),
                        photo("101ZTCAM", 6, 2),
                        lapse("102ZTCAM", "ZSAB0005.JPG", 5, 5)};
    }
    // The result and the files of each further hand-out.
    std::vector<std::pair<int, std::vector<std::string>>> handOut(size_t calls)
    {
        std::vector<std::pair<int, std::vector<std::string>>> out;
        for (size_t i = 0; i < calls; ++i) {
            MediaShareInfo info;
            info.title = "left over";
            const int r = list.getNextMedia(info, rules);
            for (std::string &f : info.files)
                f = f.substr(CAHMediaList::pathPrefix.size());
            EXPECT_TRUE(r != 0 || info.title.empty());
            out.push_back({r, info.files});
        }
        return out;
    }
};

TEST_F(CandidateList, CountsPagesAndHandsOutEveryCandidateOnce)
{
    ASSERT_EQ(list.getMediaCount(rules), 4);
    EXPECT_EQ(probe.scanned(), 8u);
    ASSERT_EQ(peer.requestCount(), 2u);
    EXPECT_EQ(peer.requests()[0].word(1), 15u);
    EXPECT_EQ(peer.requests()[1].word(2), probe.token());
    EXPECT_EQ(probe.spans().at(1002), (std::vector<uint32_t>{4, 5, 7}));
    EXPECT_EQ(probe.blocks()[3].sizeMB, 6u);

    using F = std::vector<std::string>;
    const auto got = handOut(5);
    const std::vector<std::pair<int, F>> want = {
        {0, {"100ZTCAM/ZCAM0000.JPG"}},
        {0, {"100ZTCAM/ZCAM0002.JPG"}},
        {0, {"100ZTCAM/ZCAM0003.JPG"}},
        {0,
         {"100ZTCAM/ZSAB0001.JPG", "100ZTCAM/ZSAB0002.JPG", "101ZTCAM/ZSAB0003.JPG", "101ZTCAM/ZSAB0004.JPG",
          "102ZTCAM/ZSAB0005.JPG"}},
        {2, {}},
    };
    EXPECT_EQ(got, want);
}

TEST_F(CandidateList, CountFailures)
{
    const struct {
        const char *name;
        std::function<void(Card &)> change;
        int result;
    } cases[] = {
        {"empty card", [](Card &c) { c.entries.clear(); }, 0},
        {"session changes between pages",
         [](Card &c) {
             c.entries.resize(20, photo("100ZTCAM", 9));
             c.bumpSession = true;
         },
         -1},
        {"pages claim entries they lack", [](Card &c) { c.emptyPages = -1; }, -3},
        {"one short page is asked again", [](Card &c) { c.emptyPages = 1; }, 4},
    };
    for (const auto &c : cases) {
        Card saved = card;
        c.change(card);
        CAHMediaList l;
        CAHMediaListProbe p{l};
        EXPECT_EQ(l.getMediaCount(rules), c.result) << c.name;
        EXPECT_TRUE(c.result != -1 || p.blocks().empty()) << c.name;
        EXPECT_EQ(p.scanned(), c.result > 0 ? card.entries.size() : 0u) << c.name;
        card = saved;
    }
}

TEST_F(CandidateList, HandOutAfterTheCardChanged)
{
    const struct {
        const char *name;
        std::function<void(Card &)> change;
        size_t changeAfter;        // hand-outs before the change
        std::vector<int> results;  // of consecutive calls
        std::string firstFile;     // of the first medium handed out
    } cases[] = {
        {"refused entries are passed over", [](Card &c) { c.entries[0].state = 2; }, 0, {0}, "100ZTCAM/ZCAM0002.JPG"},
        // The count's version is forgotten; the hand-out's first answer sets the one it holds.
        {"new session", [](Card &c) { c.session = 2; }, 1, {0, 3, 2}, "100ZTCAM/ZCAM0000.JPG"},
        {"list shrank", [](Card &c) { c.entries.resize(2); }, 0, {0, 2, 2}, "100ZTCAM/ZCAM0000.JPG"},
        {"every entry refused",
         [](Card &c) {
             for (Entry &e : c.entries)
                 e.state = 1;
         },
         0,
         {2},
         ""},
    };
    for (const auto &c : cases) {
        CAHMediaList l;
        CAHMediaListProbe p{l};
        card = Card();
        SetUp();
        ASSERT_EQ(l.getMediaCount(rules), 4) << c.name;
        std::vector<int> results;
        std::string first;
        for (size_t i = 0; i < c.results.size(); ++i) {
            if (i == c.changeAfter)
                c.change(card);
            MediaShareInfo info;
            results.push_back(l.getNextMedia(info, rules));
            if (first.empty() && !info.files.empty())
                first = info.files[0].substr(CAHMediaList::pathPrefix.size());
        }
        EXPECT_EQ(results, c.results) << c.name;
        EXPECT_EQ(first, c.firstFile) << c.name;
        if (c.changeAfter == 1) {
            EXPECT_TRUE(p.blocks().empty()) << c.name;
        } else if (c.results.size() == 3) {
            EXPECT_EQ(p.cursor(), 1u) << c.name << ": the key past the end stays";
        }
    }
}

TEST_F(CandidateList, FailedQueryRetriesTheSameKey)
{
    ASSERT_EQ(list.getMediaCount(rules), 4);
    MediaShareInfo info;
    {
        IpcFaults faults;
        faults.failInit = 1;
        EXPECT_EQ(list.getNextMedia(info, rules), 1);
    }
    EXPECT_EQ(probe.cursor(), 0u);
    EXPECT_EQ(list.getNextMedia(info, rules), 0);
    EXPECT_EQ(info.files, std::vector<std::string>{CAHMediaList::pathPrefix + "100ZTCAM/ZCAM0000.JPG"});
    EXPECT_EQ(info.mediaType, 0u);
}

TEST(SetUploadState, RefusesPathsOfTheWrongFormWithoutWriting)
{
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    CAHMediaList list;
    for (const char *path : {"", "100ZTCAMZCAM00001.JPG", "100ZTCAM/ZCAM0001.JP", "100ZTCAMX/ZCAM0001.JP",
                             "100ZTCA/ZCAM00001.JPG", "100ZTCAM/ZCAM0001.JPG/"})
        EXPECT_EQ(list.setUploadState(path, 1), -1) << path;
    EXPECT_EQ(peer.requestCount(), 0u);
}

}  // namespace
