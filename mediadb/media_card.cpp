#include "mediadb/media_card.h"

#include <algorithm>
#include <cstdio>

std::string fileKey(const std::string &dir, const std::string &file) { return dir + "/" + file; }

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

namespace {

using WordsByIdentity = std::unordered_map<std::string, uint32_t>;

const FolderFacts *folderFacts(const MediaCard &card, const std::string &dir)
{
    auto folder = card.index.find(dir);
    return folder == card.index.end() ? nullptr : folder->second.get();
}

// File `member` of e (-1: its own) by name, size and modification time (to the nanosecond where
// the scan recorded it in `facts`).
std::string fileIdentity(const MediaEntry &e, int member, const FolderFacts *facts)
{
    const bool own = member < 0;
    const std::string &file = own ? e.file : e.members[member].file;
    auto f = facts ? facts->find(file) : FolderFacts::const_iterator();
    return fileKey(e.dir, file) + ' ' + std::to_string(own ? e.size : e.members[member].size) + ' ' +
           std::to_string(own ? e.mod : e.members[member].mod) + ' ' +
           std::to_string(facts && f != facts->end() ? f->second.mtimeNs : 0);
}

void addWords(const MediaEntry &e, const FolderFacts *facts, WordsByIdentity *words)
{
    for (int m = -1; m < static_cast<int>(e.members.size()); m++)
        (*words)[fileIdentity(e, m, facts)] = fileUploadWord(e, m);
}

// Gives e's files the words `words` knows them by; true when it knew every one.
bool takeWords(const WordsByIdentity &words, const FolderFacts *facts, MediaEntry *e, size_t *files)
{
    bool all = true;
    for (int m = -1; m < static_cast<int>(e->members.size()); m++, ++*files) {
        auto it = words.find(fileIdentity(*e, m, facts));
        if (it != words.end())
            fileUploadWord(*e, m) = it->second;
        else
            all = false;
    }
    return all;
}

}  // namespace

void cardCarryOver(const MediaCard &previous, MediaCard *next)
{
    WordsByIdentity words;
    words.reserve(previous.media.size());
    for (const MediaEntry &e : previous.media)
        addWords(e, folderFacts(previous, e.dir), &words);
    bool same = true;
    size_t files = 0;
    for (MediaEntry &e : next->media)
        same = takeWords(words, folderFacts(*next, e.dir), &e, &files) && same;
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

bool folderCarryOver(const MediaCard &previous, size_t from, size_t to, const FolderFacts *before, FolderUpdate *next)
{
    WordsByIdentity words;
    for (size_t i = from; i < to; i++)
        addWords(previous.media[i], before, &words);
    bool same = true;
    size_t files = 0;
    for (MediaEntry &e : next->media)
        same = takeWords(words, next->facts.get(), &e, &files) && same;
    return same && files == words.size();
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
