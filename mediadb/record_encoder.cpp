#include "mediadb/record_encoder.h"

#include <algorithm>

#include "ztMedia/dbProtocol.h"

namespace {

void copyName(char *dst, size_t width, const std::string &name)
{
    std::memset(dst, 0, width);
    name.copy(dst, width);  // a name of the full width has no terminator
}

// Member n is bit (n - first), most significant bit first, in whole 32-bit words.
std::vector<uint8_t> bitmap(const GroupRecord &g, const std::vector<uint32_t> &marked, bool markedValue)
{
    db_group_info wire{};
    wire.first_number = g.first;
    wire.last_number = g.last;
    std::vector<uint8_t> bytes(dbGroupBitmapBytes(wire), 0);
    for (uint32_t n = g.first; n <= g.last && n - g.first < bytes.size() * 8; n++) {
        bool isMarked = std::find(marked.begin(), marked.end(), n) != marked.end();
        if (isMarked == markedValue)
            bytes[(n - g.first) / 8] |= static_cast<uint8_t>(0x80u >> ((n - g.first) % 8));
        if (n == UINT32_MAX)
            break;
    }
    return bytes;
}

}  // namespace

bool hasParentGumi(const MediaEntry &e) { return (e.flags & DB_MEDIA_FLAG_PARENT_GUMI) != 0; }

db_content_info contentInfoOf(const MediaEntry &e, int member)
{
    db_content_info c{};
    c.content_type = e.type;
    copyName(c.dir_name, DB_DIR_NAME_LEN, e.dir);
    const MemberFile *m = member >= 0 ? &e.members[member] : nullptr;
    copyName(c.file_name, DB_FILE_NAME_LEN, m ? m->file : e.file);
    c.creation_time = m ? m->cre : e.cre;
    c.modified_time = m ? m->mod : e.mod;
    c.highlight_count = e.highlightCount;
    c.media_flags = e.flags;
    c.upload_status = fileUploadWord(e, member);
    c.file_size = m ? m->size : e.size;
    c.mahs = e.mahs;
    c.rot = e.rot;
    c.fov = e.fov;
    c.lc = e.lc;
    c.prjn = e.prjn;
    return c;
}

db_content_info contentNotFound(const char *dir, const char *file)
{
    db_content_info c{};
    c.content_type = DB_CONTENT_TYPE_NOT_FOUND;
    std::memcpy(c.dir_name, dir, DB_DIR_NAME_LEN);
    std::memcpy(c.file_name, file, DB_FILE_NAME_LEN);
    return c;
}

bool putVideoBlock(FrameWriter &w, const MediaEntry &e, int member)
{
    const VideoRecord &v = member >= 0 ? e.members[member].video : e.video;
    db_video_specific_info info{v.ls, v.durationMs, v.profile, v.avcProfile, static_cast<uint32_t>(v.highlights.size()),
                                v.cl};
    size_t mark = w.size();
    if (w.put(info) && w.putBytes(v.highlights.data(), v.highlights.size() * sizeof(uint32_t)))
        return true;
    w.truncate(mark);
    return false;
}

bool putGroupBlock(FrameWriter &w, const MediaEntry &e, SecondBitmap rule)
{
    const GroupRecord &g = e.group;
    db_group_info info{g.groupNumber, g.first, g.last, static_cast<uint32_t>(g.missing.size()), g.groupSize};
    size_t mark = w.size();
    bool ok = w.put(info);
    if (ok && !g.missing.empty()) {
        std::vector<uint8_t> present = bitmap(g, g.missing, false);  // set: the member exists
        ok = w.putBytes(present.data(), present.size());
    }
    const DbContentTypeInfo *type = dbContentTypeInfo(e.type);
    bool wanted = rule == SecondBitmap::WheneverHighlighted || (type && type->secondBitmap);
    if (ok && wanted && e.highlightCount != 0) {
        std::vector<uint8_t> plain = bitmap(g, g.highlighted, false);  // clear: highlighted
        ok = w.putBytes(plain.data(), plain.size());
    }
    if (!ok)
        w.truncate(mark);
    return ok;
}

bool putListEntry(FrameWriter &w, const MediaEntry &e, int member, uint32_t listOptions)
{
    const DbContentTypeInfo *type = dbContentTypeInfo(e.type);
    size_t mark = w.size();
    bool ok = w.put(contentInfoOf(e, member));
    if (ok && (listOptions & DB_LIST_INCLUDE_GUMI)) {
        ok = w.putBytes(e.gumi, DB_GUMI_LEN);
        if (ok && hasParentGumi(e))
            ok = w.putBytes(e.pgumi, DB_GUMI_LEN);
    }
    if (ok && (listOptions & DB_LIST_INCLUDE_MORE_INFO))
        ok = w.put(e.more);
    bool chapterRow = dbIsGroupedVideoType(e.type) && !(listOptions & DB_LIST_VIDEO_GROUPING);
    if (ok && type && type->block == DbListBlock::Group && !chapterRow)
        ok = putGroupBlock(w, e, SecondBitmap::PhotoGroupsOnly);
    else if (ok && type && (type->block == DbListBlock::Video || chapterRow))
        ok = putVideoBlock(w, e, member);
    if (!ok)
        w.truncate(mark);
    return ok;
}
