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

const FileFacts *cardFacts(const MediaCard &card, const std::string &dir, const std::string &file)
{
    auto folder = card.index.find(dir);
    if (folder == card.index.end())
        return nullptr;
    auto it = folder->second->find(file);
    return it == folder->second->end() ? nullptr : &it->second;
}

namespace {

// A file's name, size and modification time (to the nanosecond where the scan recorded it).
std::string fileIdentity(const MediaCard &card, const FileRef &ref, const std::string &key)
{
    const MediaEntry &e = card.media[ref.entry];
    const bool own = ref.member < 0;
    const FileFacts *facts = cardFacts(card, e.dir, own ? e.file : e.members[ref.member].file);
    return key + ' ' + std::to_string(own ? e.size : e.members[ref.member].size) + ' ' +
           std::to_string(own ? e.mod : e.members[ref.member].mod) + ' ' +
           std::to_string(facts ? facts->mtimeNs : 0);
}

std::unordered_map<std::string, uint32_t> wordsByIdentity(const MediaCard &card)
{
    std::unordered_map<std::string, uint32_t> words;
    words.reserve(card.media.size());
    forEachFile(card, [&](const FileRef &ref, const std::string &key) {
        words[fileIdentity(card, ref, key)] = fileUploadWord(card.media[ref.entry], ref.member);
    });
    return words;
}

}  // namespace

void cardCarryOver(const MediaCard &previous, MediaCard *next)
{
    const std::unordered_map<std::string, uint32_t> words = wordsByIdentity(previous);
    bool same = true;
    size_t files = 0;
    forEachFile(*next, [&](const FileRef &ref, const std::string &key) {
        auto it = words.find(fileIdentity(*next, ref, key));
        files++;
        if (it != words.end())
            fileUploadWord(next->media[ref.entry], ref.member) = it->second;
        else
            same = false;
    });
    if (next->cardId.empty())
        next->cardId = previous.cardId;
    if (same && files == words.size()) {
        next->version = previous.version;
        next->sessionId = previous.sessionId;
    } else {
        next->version = std::max(next->version, previous.version + 1);
        next->sessionId = std::max(next->sessionId, previous.sessionId + 1);
    }
}

std::string hashedId(const std::vector<std::string> &parts)
{
    // FNV-1a over the parts, each ended by a line feed.
    uint64_t h = 14695981039346656037ull;
    for (const std::string &part : parts) {
        for (unsigned char c : part + '\n') {
            h ^= c;
            h *= 1099511628211ull;
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// The file names: the same card gives the same identifier on every start.
std::string cardDerivedId(const MediaCard &card) { return hashedId(cardFileKeys(card)); }
