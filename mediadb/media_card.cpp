#include "mediadb/media_card.h"

#include <algorithm>
#include <cstdio>

std::string fileKey(const std::string &dir, const std::string &file)
{
    return dir + "/" + file;
}

std::vector<std::string> cardFileKeys(const MediaCard &card)
{
    std::vector<std::string> keys;
    for (const MediaEntry &e : card.media) {
        keys.push_back(fileKey(e.dir, e.file));
        for (const MemberFile &m : e.members)
            keys.push_back(fileKey(e.dir, m.file));
    }
    return keys;
}

bool cardDirListing(const MediaCard &card, const std::string &dir, std::vector<DirListing> *out)
{
    out->clear();
    auto it = card.dirs.find(dir);
    if (it != card.dirs.end()) {
        *out = it->second;
        return true;
    }
    bool known = false;
    for (const MediaEntry &e : card.media) {
        if (e.dir != dir)
            continue;
        known = true;
        out->push_back({e.file, e.size, e.mod});
        for (const MemberFile &m : e.members)
            out->push_back({m.file, m.size, m.mod});
    }
    return known;
}

void cardHistogram(const MediaCard &card, uint32_t buckets[DB_HISTOGRAM_BUCKETS])
{
    for (uint32_t i = 0; i < DB_HISTOGRAM_BUCKETS; i++)
        buckets[i] = 0;
    auto count = [&](uint32_t word) {
        uint32_t state = word & DB_UPLOAD_STATE_MASK;
        if (state < DB_HISTOGRAM_BUCKETS)
            buckets[state]++;
    };
    for (const MediaEntry &e : card.media) {
        count(e.uploadStatus);
        for (const MemberFile &m : e.members)
            count(m.uploadStatus);
    }
}

void cardCarryOver(const MediaCard &previous, MediaCard *next)
{
    std::map<std::string, uint32_t> words;
    for (const MediaEntry &e : previous.media) {
        words[fileKey(e.dir, e.file)] = e.uploadStatus;
        for (const MemberFile &m : e.members)
            words[fileKey(e.dir, m.file)] = m.uploadStatus;
    }
    auto carry = [&](const std::string &dir, const std::string &file, uint32_t *word) {
        auto it = words.find(fileKey(dir, file));
        if (it != words.end())
            *word = it->second;
    };
    for (MediaEntry &e : next->media) {
        carry(e.dir, e.file, &e.uploadStatus);
        for (MemberFile &m : e.members)
            carry(e.dir, m.file, &m.uploadStatus);
    }
    if (next->cardId.empty())
        next->cardId = previous.cardId;
    if (cardFileKeys(previous) == cardFileKeys(*next)) {
        next->version = previous.version;
        next->sessionId = previous.sessionId;
    } else {
        next->version = std::max(next->version, previous.version + 1);
        next->sessionId = std::max(next->sessionId, previous.sessionId + 1);
    }
}

std::string cardDerivedId(const MediaCard &card)
{
    // FNV-1a over the file names: the same card gives the same identifier on every start.
    uint64_t h = 14695981039346656037ull;
    for (const std::string &key : cardFileKeys(card)) {
        for (unsigned char c : key + '\n') {
            h ^= c;
            h *= 1099511628211ull;
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}
