#include "mediadb/media_card.h"

#include <algorithm>
#include <cstdio>

std::string fileKey(const std::string &dir, const std::string &file)
{
    return dir + "/" + file;
}

uint32_t &fileUploadWord(MediaEntry &e, int member)
{
    return member < 0 ? e.uploadStatus : e.members[member].uploadStatus;
}

uint32_t fileUploadWord(const MediaEntry &e, int member)
{
    return member < 0 ? e.uploadStatus : e.members[member].uploadStatus;
}

void forEachFile(const MediaCard &card, const std::function<void(const FileRef &, const std::string &)> &fn)
{
    for (size_t i = 0; i < card.media.size(); i++) {
        const MediaEntry &e = card.media[i];
        fn({i, -1}, fileKey(e.dir, e.file));
        for (size_t m = 0; m < e.members.size(); m++)
            fn({i, static_cast<int>(m)}, fileKey(e.dir, e.members[m].file));
    }
}

void cardApplyWords(MediaCard *card, const std::map<std::string, uint32_t> &words)
{
    forEachFile(*card, [&](const FileRef &ref, const std::string &key) {
        auto it = words.find(key);
        if (it != words.end())
            fileUploadWord(card->media[ref.entry], ref.member) = it->second;
    });
}

std::vector<std::string> cardFileKeys(const MediaCard &card)
{
    std::vector<std::string> keys;
    forEachFile(card, [&](const FileRef &, const std::string &key) { keys.push_back(key); });
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

void cardCarryOver(const MediaCard &previous, MediaCard *next)
{
    std::map<std::string, uint32_t> words;
    forEachFile(previous, [&](const FileRef &ref, const std::string &key) {
        words[key] = fileUploadWord(previous.media[ref.entry], ref.member);
    });
    cardApplyWords(next, words);
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
