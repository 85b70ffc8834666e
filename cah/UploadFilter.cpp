// The upload-rule filter: which list items are upload candidates. A media rule selects by kind of
// medium (one table row per kind and content-type set), a state rule by upload state; an item
// passes when one rule of each sort matches it.
#include "cah/CAHMediaList.h"

#include "libztMediaRTOSDB/client/dbList.h"

namespace {

constexpr uint32_t typeBit(uint32_t t) { return 1u << t; }
constexpr uint32_t kAnyType = ~0u;
constexpr uint32_t kVideos = typeBit(0) | typeBit(1) | typeBit(2);
constexpr uint32_t kNeverCandidates = typeBit(7) | typeBit(11);

// What a media rule row tests besides the content type.
enum Check : uint8_t { kScore = 1, kDuration = 2, kCount = 4, kUserClip = 8, kHighlight = 16 };

struct MediaRuleRow {
    uint32_t kind;
    uint32_t types;  // content-type bits, or kAnyType
    uint8_t checks;
};

// A kind with two rows matches when either does. Kinds 5, 9 and unknown kinds match nothing.
const MediaRuleRow kMediaRules[] = {
    {0, kAnyType, 0},
    {1, typeBit(4) | typeBit(9), kScore},
    {2, kVideos, kScore | kDuration},
    {3, kVideos, kUserClip | kScore},
    {4, kVideos, kUserClip | kScore},
    {6, typeBit(3) | typeBit(13) | typeBit(14), kDuration},
    {6, typeBit(6) | typeBit(8), kCount},
    {7, typeBit(5) | typeBit(12), 0},
    {8, typeBit(10), kCount},
    {10, kAnyType, kHighlight},
};

// State rules 11 to 15 select upload states 0 to 4.
constexpr uint32_t kFirstStateRule = 11;
constexpr uint32_t kStateRuleCount = 5;

bool inRange(uint32_t v, uint32_t lo, uint32_t hi) { return v >= lo && v <= hi; }

bool typeIn(uint32_t types, uint32_t type) { return types == kAnyType || (type < 32 && (types >> type & 1)); }

bool rowMatches(const MediaRuleRow &row, const UploadRule &rule, const cah_item_s &item)
{
    // Highlighted media score full marks whatever their own score.
    const uint32_t score = item.highlight_count ? 100 : item.mahs;
    const uint32_t count = item.last_number - item.first_number + 1;
    return typeIn(row.types, item.content_type) &&
           (!(row.checks & kScore) || inRange(score, rule.minScore, rule.maxScore)) &&
           (!(row.checks & kDuration) || inRange(item.duration, rule.minDuration, rule.maxDuration)) &&
           (!(row.checks & kCount) || inRange(count, rule.minCount, rule.maxCount)) &&
           (!(row.checks & kUserClip) || item.cl != 0) && (!(row.checks & kHighlight) || item.highlight_count != 0);
}

bool mediaRuleMatches(const UploadRule &rule, const cah_item_s &item)
{
    for (const MediaRuleRow &row : kMediaRules)
        if (row.kind == rule.kind && rowMatches(row, rule, item))
            return true;
    return false;
}

bool stateRuleMatches(const UploadRule &rule, const cah_item_s &item)
{
    return rule.kind - kFirstStateRule < kStateRuleCount && item.upload_status == rule.kind - kFirstStateRule;
}

}  // namespace

bool CAHMediaList::ruleCanMatch(const UploadRule &rule)
{
    if (rule.isStateRule)
        return rule.kind - kFirstStateRule < kStateRuleCount;
    for (const MediaRuleRow &row : kMediaRules)
        if (row.kind == rule.kind)
            return true;
    return false;
}

bool CAHMediaList::filterItem(const cah_item_s &item, const std::vector<UploadRule> &rules)
{
    if (typeIn(kNeverCandidates, item.content_type))
        return false;
    bool media = false, state = false;
    for (const UploadRule &rule : rules) {
        if (rule.isStateRule)
            state = state || stateRuleMatches(rule, item);
        else
            media = media || mediaRuleMatches(rule, item);
        if (media && state)
            return true;
    }
    return false;
}
