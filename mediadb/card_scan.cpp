#include "mediadb/card_scan.h"

#include <cjson/cJSON.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/ztcamera.h"
#include "ztMedia/dbNameRules.h"

namespace {

struct ScanFile {
    std::string name;
    uint64_t size = 0;
    uint32_t cre = 0, mod = 0;
    int64_t mtimeNs = 0;
};

uint32_t digitsAt(const std::string &name, size_t from, size_t count)
{
    uint32_t v = 0;
    for (size_t i = from; i < from + count; i++)
        v = v * 10 + static_cast<uint32_t>(name[i] - '0');
    return v;
}

// Reads the names of `length` characters of an open directory; every entry, kept or not, spends
// the budget for the whole card. Takes ownership of fd.
Status readNames(int fd, const std::string &where, size_t length, size_t *budget, std::vector<std::string> *names)
{
    DIR *d = fdopendir(fd);
    if (!d) {
        close(fd);
        return Status::error(where + ": cannot be read: " + std::strerror(errno));
    }
    Status s;
    while (const dirent *de = readdir(d)) {
        if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0)
            continue;
        if (*budget == 0) {
            s = Status::error(where + ": the card holds more than " + std::to_string(CARD_SCAN_MAX_ENTRIES) +
                              " directory entries; not indexed");
            break;
        }
        --*budget;
        if (std::strlen(de->d_name) == length)
            names->push_back(de->d_name);
    }
    closedir(d);
    return s;
}

// What the file system says of `name` in dirFd, never through a link. Creation time is the
// birth time where the file system keeps one, else the modification time.
bool statNoFollow(int dirFd, const std::string &name, struct statx *st)
{
    return statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME, st) == 0;
}

// The regular files with camera names of one folder, in name order; *folderFd is the open
// folder (the caller closes it), -1 when it is gone or was replaced since it was listed.
Status readFolder(int dcimFd, const std::string &dir, const std::string &where, size_t *budget,
                  std::vector<ScanFile> *files, int *folderFd)
{
    *folderFd = -1;
    int fd = openat(dcimFd, dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};  // nothing to index
    std::vector<std::string> names;
    Status s = readNames(dup(fd), where + "/" + dir, DB_FILE_NAME_LEN, budget, &names);
    for (const std::string &name : names) {
        struct statx st {};
        if (!s.ok() || !isCameraFileName(name.c_str()) || !statNoFollow(fd, name, &st) || !S_ISREG(st.stx_mode))
            continue;
        const uint32_t mod = static_cast<uint32_t>(st.stx_mtime.tv_sec);
        const bool born = (st.stx_mask & STATX_BTIME) && st.stx_btime.tv_sec > 0;
        files->push_back({name, st.stx_size, born ? static_cast<uint32_t>(st.stx_btime.tv_sec) : mod, mod,
                          int64_t(st.stx_mtime.tv_sec) * 1000000000 + st.stx_mtime.tv_nsec});
    }
    std::sort(files->begin(), files->end(), [](const ScanFile &a, const ScanFile &b) { return a.name < b.name; });
    *folderFd = fd;
    return s;
}

bool cancelled(const ScanOptions &options) { return options.cancel && options.cancel->load(); }

// What the entries of one folder need from the files' bytes: taken from the previous scan while
// size and modification time are unchanged, else read (once) and recorded for the next scan.
class FactsSource {
public:
    FactsSource(int dirFd, std::shared_ptr<const FolderFacts> previous, const ScanOptions &options,
                ScanProgress *progress)
        : mDirFd(dirFd), mPrevious(std::move(previous)), mOptions(options), mProgress(progress),
          mOut(std::make_shared<FolderFacts>())
    {
    }
    const MediaInfo &of(const ScanFile &f)
    {
        auto known = mOut->find(f.name);
        if (known != mOut->end())
            return known->second.info;
        FileFacts facts{f.size, f.mtimeNs, {}};
        auto before = mPrevious ? mPrevious->find(f.name) : FolderFacts::const_iterator();
        if (mPrevious && before != mPrevious->end() && before->second.size == f.size &&
            before->second.mtimeNs == f.mtimeNs) {
            facts.info = before->second.info;
        } else if (!cancelled(mOptions)) {
            readMediaInfo(mDirFd, f.name, mediaKindOf(f.name), &facts.info);
            mProgress->filesRead++;
        }
        mProgress->filesDone++;
        if (mOptions.progress)
            mOptions.progress(*mProgress);  // per file: one folder may hold tens of thousands
        return mOut->emplace(f.name, std::move(facts)).first->second.info;
    }
    std::shared_ptr<const FolderFacts> facts() const { return mOut; }

private:
    int mDirFd;
    std::shared_ptr<const FolderFacts> mPrevious;
    const ScanOptions &mOptions;
    ScanProgress *mProgress;
    std::shared_ptr<FolderFacts> mOut;
};

void applyInfo(const MediaInfo &info, VideoRecord *v)
{
    v->durationMs = info.durationMs;
    v->avcProfile = info.avcProfile;
    v->highlights = info.highlights;
}

// How a name takes part in a group. `key` is empty for files that are entries of their own.
struct NameClass {
    uint32_t type = DB_CONTENT_TYPE_PHOTO;
    std::string key;      // photo and looping groups: files with the same key form one group
    uint32_t member = 0;  // the file's member number within that group
    bool listed = true;   // sidecars (.LRV, .THM) appear in the directory scan only
    bool chapterFirst = false;
    bool groupAlone = false;  // a lone file of this form is a group of one all the same
};

// The content type comes from the content-type table's card-name columns; the form says how
// the file groups.
NameClass classify(const std::string &name)
{
    NameClass c;
    const DbNameForm form = dbNameFormOf(name.c_str());
    c.type = dbContentTypeOfForm(form, name[1]);
    const uint32_t member = digitsAt(name, 4, 4);
    switch (form) {
    case DB_NAME_COMPANION: c.listed = false; break;
    case DB_NAME_CHAPTER: c.chapterFirst = c.type == DB_CONTENT_TYPE_VIDEO && name.compare(2, 2, "01") == 0; break;
    case DB_NAME_OLD_CHAPTER: c.chapterFirst = true; break;
    case DB_NAME_LOOP_PAIR:
    case DB_NAME_PHOTO_PAIR:
        c.key = (form == DB_NAME_LOOP_PAIR ? "L" : "P") + name.substr(1, 3);
        c.member = member;
        c.groupAlone = true;
        break;
    case DB_NAME_NUMBERED_VIDEO:
    case DB_NAME_NUMBERED_PHOTO:
        c.key = "N" + name.substr(1, 3) + name.substr(9);
        c.member = member;
        break;
    default: break;
    }
    return c;
}

// The type of a file listed on its own: a group form without its group is a plain video or photo.
uint32_t singleType(const std::string &name, const NameClass &c)
{
    if (c.key.empty())
        return c.type;
    const bool video = dbCameraExtension(name.c_str() + 9)->format == DbFileFormat::Mp4;
    return dbContentTypeOfForm(video ? DB_NAME_OTHER_VIDEO : DB_NAME_OTHER_PHOTO, name[1]);
}

// Number of the first file of a group, as the member-name rule expects it.
uint32_t groupNumberOf(const std::string &first)
{
    // The old scheme's first file (ZCAM) keeps its number where its chapters carry it.
    if (first.compare(0, 4, "ZCAM") == 0)
        return digitsAt(first, 4, 4);
    // A photo letter name keeps it in the letter pair, where its members' names put it back.
    if (isZetroNamePhotoLetter(first.c_str()))
        return dbGroupFromLetterPair(first[2], first[3]);
    return dbGroupNumberFromFirstName(first.c_str());
}

// One camera folder turned into entries: groups first planned over the whole folder, then
// emitted in the order of their first file.
class FolderIndex {
public:
    FolderIndex(std::string dir, std::vector<ScanFile> files, FactsSource *facts)
        : mDir(std::move(dir)), mFiles(std::move(files)), mTaken(mFiles.size(), false),
          mNewNumbering(dbIsNewNameFormat(ztc_state_get_model_number())), mFacts(facts)
    {
        for (size_t i = 0; i < mFiles.size(); i++)
            mByName.emplace(mFiles[i].name, i);
    }

    void emit(std::vector<MediaEntry> *out)
    {
        std::vector<NameClass> classes;
        for (const ScanFile &f : mFiles)
            classes.push_back(classify(f.name));
        planGroups(classes);
        for (size_t i = 0; i < mFiles.size(); i++) {
            if (mTaken[i] || !classes[i].listed)
                continue;
            auto plan = mPlans.find(i);
            if (plan != mPlans.end())
                out->push_back(groupEntry(plan->second));
            else if (classes[i].chapterFirst)
                out->push_back(chapterEntry(i));
            else
                out->push_back(fileEntry(i, singleType(mFiles[i].name, classes[i])));
        }
    }

private:
    struct Plan {
        uint32_t type;
        std::vector<std::pair<uint32_t, size_t>> files;  // member number, file index; in order
    };

    // Files sharing a key become groups of at most MANIFEST_MAX_GROUP_SPAN member numbers; a
    // member is kept only when the member-name rule builds its very name from the first file.
    void planGroups(const std::vector<NameClass> &classes)
    {
        std::map<std::string, std::vector<std::pair<uint32_t, size_t>>> byKey;
        for (size_t i = 0; i < mFiles.size(); i++)
            if (!classes[i].key.empty())
                byKey[classes[i].key].emplace_back(classes[i].member, i);
        for (auto &[key, files] : byKey) {
            const NameClass &form = classes[files.front().second];
            for (size_t at = 0; at < files.size();) {
                Plan plan{form.type, {files[at]}};
                const ScanFile &first = mFiles[files[at].second];
                const DbMemberPattern pattern = dbMemberPatternFor(form.type, first.name.c_str());
                const uint32_t group = groupNumberOf(first.name);
                size_t next = at + 1;
                for (; next < files.size() && files[next].first - files[at].first < MANIFEST_MAX_GROUP_SPAN; next++)
                    if (builtName(pattern, group, files[next].first) == mFiles[files[next].second].name)
                        plan.files.push_back(files[next]);
                at = next;
                if (plan.files.size() < 2 && !form.groupAlone)
                    continue;  // a lone numeric name is a plain photo or video
                for (size_t k = 1; k < plan.files.size(); k++)
                    mTaken[plan.files[k].second] = true;
                mPlans.emplace(plan.files.front().second, std::move(plan));
            }
        }
    }

    std::string builtName(const DbMemberPattern &pattern, uint32_t group, uint32_t n) const
    {
        char name[DB_NAME_BUF];
        return dbBuildMemberName(pattern, group, n, mNewNumbering, name) ? name : "";
    }

    // An entry of file i, with what its bytes say: a video's record and highlights, and for
    // every medium its dimensions and frame rate.
    MediaEntry fileEntry(size_t i, uint32_t type) const
    {
        const ScanFile &f = mFiles[i];
        MediaEntry e;
        e.dir = mDir;
        e.file = f.name;
        e.type = type;
        e.cre = f.cre;
        e.mod = f.mod;
        e.size = f.size;
        const MediaInfo &info = mFacts->of(f);
        if (mediaKindOf(f.name) == MediaKind::Video) {
            applyInfo(info, &e.video);
            e.highlightCount = static_cast<uint32_t>(info.highlights.size());
        }
        e.more.width = static_cast<int32_t>(info.width);
        e.more.height = static_cast<int32_t>(info.height);
        e.more.frame_rate_numerator = static_cast<int32_t>(info.fpsNum);
        e.more.frame_rate_denominator = static_cast<int32_t>(info.fpsDen);
        return e;
    }

    void addMember(MediaEntry *e, size_t i)
    {
        const ScanFile &f = mFiles[i];
        MemberFile m;
        m.file = f.name;
        m.size = f.size;
        m.cre = f.cre;
        m.mod = f.mod;
        applyInfo(mFacts->of(f), &m.video);
        e->members.push_back(std::move(m));
        e->group.groupSize += f.size;
        mTaken[i] = true;
    }

    MediaEntry groupEntry(const Plan &plan)
    {
        MediaEntry e = fileEntry(plan.files.front().second, plan.type);
        GroupRecord &g = e.group;
        g.groupNumber = groupNumberOf(e.file);
        g.first = plan.files.front().first;
        g.last = plan.files.back().first;
        g.groupSize = e.size;
        for (size_t k = 1; k < plan.files.size(); k++) {
            // Only grouped videos list their further files; a photo group is its first file.
            if (dbIsGroupedVideoType(plan.type))
                addMember(&e, plan.files[k].second);
            else
                g.groupSize += mFiles[plan.files[k].second].size;
        }
        for (uint32_t n = g.first, k = 0; n <= g.last; n++) {
            if (k < plan.files.size() && plan.files[k].first == n)
                k++;
            else
                g.missing.push_back(n);
        }
        return e;
    }

    // A chaptered video: its chapters are the files the member-name rule names, up to the first
    // absent one. Without a second chapter it is a single video.
    MediaEntry chapterEntry(size_t i)
    {
        MediaEntry e = fileEntry(i, DB_CONTENT_TYPE_VIDEO);
        const DbMemberPattern pattern = dbMemberPatternFor(DB_CONTENT_TYPE_CHAPTERED_VIDEO, e.file.c_str());
        const uint32_t group = groupNumberOf(e.file);
        e.group.groupSize = e.size;
        for (uint32_t n = 1; n < MANIFEST_MAX_GROUP_SPAN; n++) {
            auto it = mByName.find(builtName(pattern, group, n));
            if (it == mByName.end() || it->second == i || mTaken[it->second])
                break;
            addMember(&e, it->second);
        }
        if (e.members.empty())
            return fileEntry(i, DB_CONTENT_TYPE_VIDEO);
        e.type = DB_CONTENT_TYPE_CHAPTERED_VIDEO;
        e.group.groupNumber = group;
        e.group.first = 0;
        e.group.last = static_cast<uint32_t>(e.members.size());
        return e;
    }

    std::string mDir;
    std::vector<ScanFile> mFiles;
    std::vector<bool> mTaken;
    bool mNewNumbering;
    FactsSource *mFacts;
    std::unordered_map<std::string, size_t> mByName;
    std::map<size_t, Plan> mPlans;  // by the index of the group's first file
};

void addVideoJson(cJSON *parent, const VideoRecord &v)
{
    cJSON *o = cJSON_AddObjectToObject(parent, "video");
    cJSON_AddNumberToObject(o, "duration_ms", v.durationMs);
    cJSON_AddNumberToObject(o, "avc_profile", v.avcProfile);
    cJSON *h = cJSON_AddArrayToObject(o, "highlights");
    for (uint32_t at : v.highlights)
        cJSON_AddItemToArray(h, cJSON_CreateNumber(at));
}

// The entry as manifest JSON, the form in which a state store keeps entries.
std::string entryJson(const MediaEntry &e)
{
    cJSON *o = cJSON_CreateObject();
    cJSON_AddStringToObject(o, "dir", e.dir.c_str());
    cJSON_AddStringToObject(o, "file", e.file.c_str());
    cJSON_AddNumberToObject(o, "type", e.type);
    cJSON_AddNumberToObject(o, "cre", e.cre);
    cJSON_AddNumberToObject(o, "mod", e.mod);
    cJSON_AddNumberToObject(o, "size", static_cast<double>(e.size));
    cJSON_AddNumberToObject(o, "highlight_count", e.highlightCount);
    addVideoJson(o, e.video);
    cJSON *more = cJSON_AddObjectToObject(o, "more");
    cJSON_AddNumberToObject(more, "width", e.more.width);
    cJSON_AddNumberToObject(more, "height", e.more.height);
    cJSON_AddNumberToObject(more, "fps_num", e.more.frame_rate_numerator);
    cJSON_AddNumberToObject(more, "fps_den", e.more.frame_rate_denominator);
    if (dbIsGroupType(e.type)) {
        cJSON *g = cJSON_AddObjectToObject(o, "group");
        cJSON_AddNumberToObject(g, "group_number", e.group.groupNumber);
        cJSON_AddNumberToObject(g, "first", e.group.first);
        cJSON_AddNumberToObject(g, "last", e.group.last);
        cJSON *missing = cJSON_AddArrayToObject(g, "missing");
        for (uint32_t n : e.group.missing)
            cJSON_AddItemToArray(missing, cJSON_CreateNumber(n));
        cJSON_AddNumberToObject(g, "group_size", static_cast<double>(e.group.groupSize));
    }
    if (!e.members.empty()) {
        cJSON *members = cJSON_AddArrayToObject(o, "members");
        for (const MemberFile &m : e.members) {
            cJSON *x = cJSON_CreateObject();
            cJSON_AddStringToObject(x, "file", m.file.c_str());
            cJSON_AddNumberToObject(x, "size", static_cast<double>(m.size));
            cJSON_AddNumberToObject(x, "cre", m.cre);
            cJSON_AddNumberToObject(x, "mod", m.mod);
            addVideoJson(x, m.video);
            cJSON_AddItemToArray(members, x);
        }
    }
    char *text = cJSON_PrintUnformatted(o);
    std::string json = text ? text : "";
    cJSON_free(text);
    cJSON_Delete(o);
    return json;
}

}  // namespace

std::string cardDcimPath(const std::string &root) { return root + "/DCIM"; }

namespace {

Status dcimRefused(const std::string &root, const char *why)
{
    return Status::error("card " + root + ": " + cardDcimPath(root) + " cannot be opened as a folder: " + why);
}

// Opens ROOT/DCIM as a folder, never through a link.
Status openDcim(const std::string &root, int *fd)
{
    *fd = open(cardDcimPath(root).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return *fd < 0 ? dcimRefused(root, std::strerror(errno)) : Status{};
}

Status tooManyFolders(const std::string &where)
{
    return Status::error(where + ": more than " + std::to_string(CARD_SCAN_MAX_DIRS) + " camera folders");
}

// Reads camera folder `dir` of DCIM (dcimFd) into *out: entries, listing and facts, reusing the
// `before` facts of files whose size and modification time hold. Spends the card's budget.
Status indexFolder(int dcimFd, const std::string &dir, const std::string &where, size_t *budget,
                   std::shared_ptr<const FolderFacts> before, const ScanOptions &options, ScanProgress *progress,
                   FolderUpdate *out)
{
    std::vector<ScanFile> files;
    int folderFd = -1;
    Status s = readFolder(dcimFd, dir, where, budget, &files, &folderFd);
    progress->filesSeen += files.size();
    out->dir = dir;
    out->present = true;
    for (const ScanFile &f : files)
        out->listing.push_back({f.name, f.size, f.mod});
    FactsSource facts(folderFd, std::move(before), options, progress);
    FolderIndex(dir, std::move(files), &facts).emit(&out->media);
    out->facts = facts.facts();
    if (folderFd >= 0)
        close(folderFd);
    if (options.source == EntrySource::Keep)
        for (MediaEntry &e : out->media)
            e.source = entryJson(e);
    return s;
}

std::shared_ptr<const FolderFacts> factsOf(const CardIndex &index, const std::string &dir)
{
    auto it = index.find(dir);
    return it == index.end() ? nullptr : it->second;
}

// Lists the camera folders of DCIM (fd), in name order.
Status listFolders(int fd, const std::string &where, size_t *budget, std::vector<std::string> *dirs)
{
    std::vector<std::string> names;
    Status s = readNames(dup(fd), where, DB_DIR_NAME_LEN, budget, &names);
    std::sort(names.begin(), names.end());
    for (const std::string &dir : names) {
        struct statx st {};
        if (!s.ok() || !isCardFolderName(dir.c_str()) || !statNoFollow(fd, dir, &st) || !S_ISDIR(st.stx_mode))
            continue;
        if (dirs->size() == CARD_SCAN_MAX_DIRS)
            return tooManyFolders(where);
        dirs->push_back(dir);
    }
    return s;
}

}  // namespace

Status scanCard(const std::string &root, MediaCard *card, const ScanOptions &options, ScanProgress *done)
{
    *card = MediaCard{};
    const std::string where = "card " + root;
    int fd = -1;
    if (Status opened = openDcim(root, &fd); !opened.ok())
        return opened;
    size_t budget = CARD_SCAN_MAX_ENTRIES;
    std::vector<std::string> dirs;
    Status s = listFolders(fd, where, &budget, &dirs);
    ScanProgress progress;
    progress.foldersTotal = dirs.size();
    for (size_t i = 0; s.ok() && i < dirs.size() && !cancelled(options); i++, progress.foldersDone++) {
        FolderUpdate folder;
        s = indexFolder(fd, dirs[i], where, &budget,
                        options.previous ? factsOf(options.previous->index, dirs[i]) : nullptr, options, &progress,
                        &folder);
        card->media.insert(card->media.end(), std::make_move_iterator(folder.media.begin()),
                           std::make_move_iterator(folder.media.end()));
        card->dirs[dirs[i]] = std::move(folder.listing);
        card->index[dirs[i]] = std::move(folder.facts);
        if (options.progress)
            options.progress(progress);
    }
    close(fd);
    if (done)
        *done = progress;
    if (s.ok() && cancelled(options))
        s = Status::error(where + ": scan stopped");
    return s;
}

FolderBasis folderBasis(const MediaCard &served, const std::set<std::string> &dirs)
{
    FolderBasis basis;
    for (const std::string &dir : dirs)
        if (auto facts = factsOf(served.index, dir))
            basis.facts[dir] = facts;
    for (const auto &[dir, listing] : served.dirs)
        if (!dirs.count(dir)) {
            basis.otherFolders++;
            basis.otherEntries += listing.size();
        }
    return basis;
}

Status scanFolders(const std::string &root, const std::set<std::string> &dirs, const FolderBasis &basis,
                   const ScanOptions &options, std::vector<FolderUpdate> *out)
{
    out->clear();
    const std::string where = "card " + root;
    int fd = -1;
    if (Status opened = openDcim(root, &fd); !opened.ok())
        return opened;
    size_t budget = CARD_SCAN_MAX_ENTRIES - std::min<size_t>(basis.otherEntries, CARD_SCAN_MAX_ENTRIES);
    size_t folders = basis.otherFolders;
    ScanProgress progress;
    Status s;
    for (auto dir = dirs.begin(); s.ok() && dir != dirs.end(); ++dir) {
        FolderUpdate folder;
        folder.dir = *dir;
        struct statx st {};
        if (isCardFolderName(dir->c_str()) && statNoFollow(fd, *dir, &st) && S_ISDIR(st.stx_mode))
            s = ++folders > CARD_SCAN_MAX_DIRS
                    ? tooManyFolders(where)
                    : indexFolder(fd, *dir, where, &budget, factsOf(basis.facts, *dir), options, &progress, &folder);
        out->push_back(std::move(folder));
    }
    close(fd);
    return s;
}

Status cardFolderId(const std::string &root, std::string *id)
{
    const std::string dcim = cardDcimPath(root);
    struct statx st {};
    if (statx(AT_FDCWD, dcim.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO | STATX_BTIME, &st) != 0)
        return dcimRefused(root, std::strerror(errno));
    if (!S_ISDIR(st.stx_mode))
        return dcimRefused(root, S_ISLNK(st.stx_mode) ? "a link" : "not a folder");
    // A birth time survives remounting, a device number does not; without one, device and inode.
    const bool born = (st.stx_mask & STATX_BTIME) && (st.stx_btime.tv_sec || st.stx_btime.tv_nsec);
    char text[64];
    if (born)
        std::snprintf(text, sizeof text, "btime %lld.%09u", static_cast<long long>(st.stx_btime.tv_sec),
                      st.stx_btime.tv_nsec);
    else
        std::snprintf(text, sizeof text, "dev %u:%u ino %llu", st.stx_dev_major, st.stx_dev_minor,
                      static_cast<unsigned long long>(st.stx_ino));
    *id = hashedId({text});
    return {};
}
