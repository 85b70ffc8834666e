// List-entry reader and the member tables of the two list forms.
#include "libztMediaRTOSDB/src/ztMediaEntry.h"

#include <cstdarg>
#include <cstring>
#include <iterator>

#include "libztMediaRTOSDB/src/dbCommon.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/src/dbLog.h"
#include "libztMediaRTOSDB/src/ztMediaFormat.h"
#include "libztMediaRTOSDB/src/ztMediaJson.h"
#include "libztMediaRTOSDB/src/ztMediaQuery.h"

namespace ztmedia {
namespace {

EntryClass classOf(const DbContentTypeInfo &info, uint32_t listOptions, const db_content_info &ci)
{
    switch (info.cls) {
    case DbTypeClass::SingleVideo: return EC_SINGLE_VIDEO;
    case DbTypeClass::LoopingVideo:
    case DbTypeClass::ChapteredVideo:
        if (listOptions & DB_LIST_VIDEO_GROUPING)
            return EC_GROUPED_VIDEO;
        DBLOG(DB_LOG_HEADERS, "videogrouping=0, Grouped video content type %d, for file %.08s/%.12s\n",
              ci.content_type, ci.dir_name, ci.file_name);
        DBLOG(DB_LOG_HEADERS, "Treating file type %d as DB_CONTENT_TYPE_SINGLE_VIDEO\n", ci.content_type);
        return EC_SINGLE_VIDEO;
    case DbTypeClass::SinglePhoto: return EC_SINGLE_PHOTO;
    case DbTypeClass::PhotoGroup: return EC_PHOTO_GROUP;
    case DbTypeClass::SingleFile: return EC_SESSION_FILE;
    default: return EC_OTHER;
    }
}

bool blankGumi(const uint8_t *g)
{
    bool zeros = true, ones = true;
    for (uint32_t i = 0; i < DB_GUMI_LEN; ++i) {
        zeros = zeros && g[i] == 0;
        ones = ones && g[i] == 0xFF;
    }
    return zeros || ones;
}

uint32_t wordAt(const uint8_t *p, uint32_t i)
{
    uint32_t w;
    std::memcpy(&w, p + 4 * i, sizeof w);
    return w;
}

bool bitClear(const uint8_t *bitmap, uint32_t bit) { return !(bitmap[bit / 8] & (0x80u >> (bit % 8))); }

// --- Member writers ---------------------------------------------------------------------
struct Ctx {
    ztMediaDBOutput_t *out;
    OutBuf buf;
    const ListEntry &e;
    int status;
    void put(const char *format, ...) __attribute__((format(printf, 2, 3)));
};

void Ctx::put(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    if (outAppendV(out, buf, __FILE__, __LINE__, format, ap) != 200)
        status = 500;
    va_end(ap);
}

uint32_t flag(const Ctx &c, int bit) { return (c.e.ci.media_flags >> bit) & 1u; }

// The first `limit` member numbers from first_number upward whose bit is clear in `bitmap`,
// each written with `format`, separated by commas.
void clearMembers(Ctx &c, const uint8_t *bitmap, uint32_t limit, const char *format)
{
    if (!bitmap)
        return;
    const db_group_info &g = c.e.gi;
    const uint32_t bits = c.e.bitmapBytes * 8;
    uint32_t written = 0;
    for (uint32_t i = 0; i < bits && written < limit && g.first_number + i <= g.last_number; ++i) {
        if (!bitClear(bitmap, i))
            continue;
        if (written++)
            c.put(",");
        c.put(format, static_cast<int>(g.first_number + i));
    }
}

void writeHighlights(Ctx &c)
{
    c.put("\"hi\":[");
    const uint32_t n = c.e.ci.highlight_count < c.e.vsi.highlight_count ? c.e.ci.highlight_count
                                                                       : c.e.vsi.highlight_count;
    for (uint32_t i = 0; i < n; ++i)
        c.put(i ? ",%d" : "%d", static_cast<int>(wordAt(c.e.highlights, i)));
    c.put("]");
}

void writeGumi(Ctx &c, const char *key, const uint8_t *bytes)
{
    char hex[2 * DB_GUMI_LEN + 1];
    gumiHex(bytes, hex);
    c.put("\"%s\":\"%s\"", key, hex);
}

using W = void (*)(Ctx &);
using When = bool (*)(const ListEntry &);

bool hasBlankGumi(const ListEntry &e) { return e.gumi && blankGumi(e.gumi); }
bool hasGumi(const ListEntry &e) { return e.gumi && !blankGumi(e.gumi); }
bool hasParent(const ListEntry &e) { return e.pgumi != nullptr; }
bool groupHighlighted(const ListEntry &e) { return e.ci.highlight_count != 0; }

const W wName = [](Ctx &c) { c.put("\"n\":\"%s\"", jsonText(c.e.ci.file_name, DB_FILE_NAME_LEN).text); };
const W wMod = [](Ctx &c) { c.put("\"mod\":\"%u\"", c.e.ci.modified_time); };
const W wCre = [](Ctx &c) { c.put("\"cre\":\"%u\"", c.e.ci.creation_time); };
const W wUs = [](Ctx &c) { c.put("\"us\":\"%u\"", c.e.ci.upload_status & DB_UPLOAD_STATE_MASK); };
const W wTr = [](Ctx &c) { c.put("\"tr\":\"%u\"", flag(c, 10)); };
const W wDne = [](Ctx &c) { c.put("\"DNE\":\"%u\"", 1u); };
const W wGumi = [](Ctx &c) { writeGumi(c, "gumi", c.e.gumi); };
const W wPgumi = [](Ctx &c) { writeGumi(c, "pgumi", c.e.pgumi); };
const W wLs = [](Ctx &c) {
    if (c.e.vsi.ls == 0)
        c.put("\"ls\":\"-1\"");
    else
        c.put("\"ls\":\"%u\"", c.e.vsi.ls);
};
const W wCl = [](Ctx &c) { c.put("\"cl\":\"%u\"", c.e.vsi.cl); };
const W wEis = [](Ctx &c) { c.put("\"eis\":\"%u\"", flag(c, 1)); };
const W wPta = [](Ctx &c) { c.put("\"pta\":\"%u\"", (c.e.ci.media_flags & DB_MEDIA_FLAG_PTA_MASK) ? 1u : 0u); };
const W wAo = [](Ctx &c) { c.put("\"ao\":\"%s\"", getAudioOptionStr(c.e.ci.media_flags)); };
const W wMp = [](Ctx &c) { c.put("\"mp\":\"%u\"", flag(c, 11)); };
const W wDur = [](Ctx &c) { c.put("\"dur\":\"%u\"", durationSeconds(c.e.vsi.duration_ms)); };
const W wMahs = [](Ctx &c) { c.put("\"mahs\":\"%u\"", c.e.ci.mahs & 0x7F); };
const W wHc = [](Ctx &c) { c.put("\"hc\":\"%u\"", c.e.ci.highlight_count); };
const W wHi = writeHighlights;
const W wHdr = [](Ctx &c) { c.put("\"hdr\":\"%u\"", flag(c, 12)); };
const W wWdr = [](Ctx &c) { c.put("\"wdr\":\"%u\"", flag(c, 8)); };
const W wRaw = [](Ctx &c) { c.put("\"raw\":\"%u\"", flag(c, 9)); };
const W wGbl = [](Ctx &c) {
    c.put("\"g\":\"%d\",\"b\":\"%d\",\"l\":\"%d\"", static_cast<int>(c.e.gi.group_number),
          static_cast<int>(c.e.gi.first_number), static_cast<int>(c.e.gi.last_number));
};
const W wTm = [](Ctx &c) {
    const DbContentTypeInfo *info = dbContentTypeInfo(c.e.ci.content_type);
    c.put(",\"t\":\"%c\",\"m\":[", info ? info->groupLetter : '?');
    clearMembers(c, c.e.missing, c.e.gi.num_missing, "\"%d\"");
    c.put("]");
};
const W wGhcObject = [](Ctx &c) {
    c.put(",\"ghc\":{");
    clearMembers(c, c.e.second, c.e.ci.highlight_count, "\"%d\":\"1\"");
    c.put("}");
};
const W wGhcCount = [](Ctx &c) { c.put("\"ghc\":\"%d\"", static_cast<int>(c.e.ci.highlight_count)); };
const W wGhi = [](Ctx &c) {
    c.put("\"ghi\":[");
    clearMembers(c, c.e.second, c.e.ci.highlight_count, "\"%d\"");
    c.put("]");
};
const W wSize = [](Ctx &c) {
    c.put("\"s\":\"%lu\"", static_cast<unsigned long>(c.e.hasGroup && c.e.cls == EC_PHOTO_GROUP
                                                          ? c.e.gi.group_size
                                                          : c.e.ci.file_size));
};

struct MemberRow {
    uint64_t bit;      // field-mask bit; ~0 for members every entry of the form carries
    uint8_t classes;   // EntryClass bits the member applies to
    When when;         // further condition, or null
    bool ownComma;     // the writer spells its own leading comma
    W write;
};

constexpr uint64_t kAlways = ~0ull;
constexpr uint8_t SV = EC_SINGLE_VIDEO, SP = EC_SINGLE_PHOTO, PG = EC_PHOTO_GROUP, T7 = EC_SESSION_FILE;

const MemberRow kMediaListMembers[] = {
    {FM_N, EC_ALL, nullptr, false, wName},
    {FM_MOD, EC_ALL, nullptr, false, wMod},
    {FM_CRE, EC_ALL, nullptr, false, wCre},
    {FM_US, EC_ALL, nullptr, false, wUs},
    {FM_TR, EC_ALL, nullptr, false, wTr},
    {FM_DNE, EC_ALL, hasBlankGumi, false, wDne},
    {FM_GUMI, EC_ALL, hasGumi, false, wGumi},
    {FM_PGUMI, EC_ALL, hasParent, false, wPgumi},
    {FM_LS, SV, nullptr, false, wLs},
    {FM_CL, SV, nullptr, false, wCl},
    {FM_PTA, SV, nullptr, false, wPta},
    {FM_AO, SV, nullptr, false, wAo},
    {FM_MP, SV, nullptr, false, wMp},
    {FM_DUR, SV, nullptr, false, wDur},
    {FM_MAHS, SV, nullptr, false, wMahs},
    {FM_HC, SV | SP | T7, nullptr, false, wHc},
    {FM_HI, SV, nullptr, false, wHi},
    {FM_HDR, SP, nullptr, false, wHdr},
    {FM_WDR, SP, nullptr, false, wWdr},
    {FM_RAW, SP, nullptr, false, wRaw},
    {FM_GROUP, PG, nullptr, false, wGbl},
    {FM_GROUP, PG, nullptr, true, wTm},
    {FM_GROUP, PG, groupHighlighted, true, wGhcObject},
    {FM_S, EC_ALL, nullptr, false, wSize},
};

const MemberRow kPagedListMembers[] = {
    {kAlways, EC_ALL, nullptr, false, wName},
    {kAlways, EC_ALL, nullptr, false, wMod},
    {kAlways, EC_ALL, nullptr, false, wCre},
    {kAlways, EC_ALL, nullptr, false, wUs},
    {kAlways, EC_ALL, nullptr, false, wTr},
    {kAlways, EC_ALL, hasBlankGumi, false, wDne},
    {kAlways, EC_ALL, hasGumi, false, wGumi},
    {kAlways, EC_ALL, hasParent, false, wPgumi},
    {kAlways, T7, nullptr, false, wHc},
    {kAlways, SV, nullptr, false, wLs},
    {kAlways, SV, nullptr, false, wPta},
    {kAlways, SV, nullptr, false, wAo},
    {kAlways, SV, nullptr, false, wMp},
    {kAlways, SV, nullptr, false, wDur},
    {kAlways, SV, nullptr, false, wMahs},
    {kAlways, SV | SP, nullptr, false, wHc},
    {kAlways, SV, nullptr, false, wHi},
    {kAlways, SP, nullptr, false, wHdr},
    {kAlways, SP, nullptr, false, wWdr},
    {kAlways, SP, nullptr, false, wRaw},
    {kAlways, PG, nullptr, false, wGbl},
    {kAlways, PG, nullptr, true, wTm},
    {kAlways, PG, nullptr, false, wGhcCount},
    {kAlways, PG, nullptr, false, wGhi},
    {kAlways, EC_ALL & ~EC_GROUPED_VIDEO, nullptr, false, wSize},  // grouped: from its members
};

// A grouped video's entry continues with its first member's video members.
const MemberRow kGroupFirstMember[] = {
    {kAlways, EC_ALL, nullptr, false, wEis},  {kAlways, EC_ALL, nullptr, false, wPta},
    {kAlways, EC_ALL, nullptr, false, wAo},   {kAlways, EC_ALL, nullptr, false, wMp},
    {kAlways, EC_ALL, nullptr, false, wDur},  {kAlways, EC_ALL, nullptr, false, wMahs},
    {kAlways, EC_ALL, nullptr, false, wHc},   {kAlways, EC_ALL, nullptr, false, wHi},
    {kAlways, EC_ALL, nullptr, false, wLs},   {kAlways, EC_ALL, nullptr, false, wSize},
};

// Every further member of a grouped video is an entry of its own.
const MemberRow kGroupFurtherMember[] = {
    {kAlways, EC_ALL, nullptr, false, wName}, {kAlways, EC_ALL, nullptr, false, wMod},
    {kAlways, EC_ALL, nullptr, false, wCre},  {kAlways, EC_ALL, nullptr, false, wUs},
    {kAlways, EC_ALL, nullptr, false, wTr},   {kAlways, EC_ALL, nullptr, false, wLs},
    {kAlways, EC_ALL, nullptr, false, wEis},  {kAlways, EC_ALL, nullptr, false, wPta},
    {kAlways, EC_ALL, nullptr, false, wAo},   {kAlways, EC_ALL, nullptr, false, wMp},
    {kAlways, EC_ALL, nullptr, false, wDur},  {kAlways, EC_ALL, nullptr, false, wMahs},
    {kAlways, EC_ALL, nullptr, false, wHc},   {kAlways, EC_ALL, nullptr, false, wHi},
    {kAlways, EC_ALL, nullptr, false, wSize},
};

}  // namespace

bool ListReader::next(ListEntry *e)
{
    e->cls = EC_OTHER;
    if (mReader.next(e) != DbEntryRead::Ok)
        return false;
    const DbContentTypeInfo *info = dbContentTypeInfo(e->ci.content_type);
    if (!info && e->ci.content_type != DB_CONTENT_TYPE_NOT_FOUND) {
        DBLOG(DB_LOG_ERROR, "Invalid content type: %d\n", e->ci.content_type);
        return false;
    }
    if (!info)  // a file the database does not know: read, never shown
        return true;
    if (e->hasGroup && e->gi.last_number < e->gi.first_number)
        return false;
    e->cls = classOf(*info, header().list_options, e->ci);
    return true;
}

bool entryShown(const ListEntry &e, uint32_t queryOptions)
{
    return shouldOutput(static_cast<db_content_types_e>(e.ci.content_type), queryOptions);
}

int writeEntryMembers(ztMediaDBOutput_t *out, OutBuf buf, MemberForm form, const ListEntry &e,
                      uint64_t mask, bool continued)
{
    Ctx c{out, buf, e, 200};
    bool written = continued;
    auto each = [&](const MemberRow *rows, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const MemberRow &r = rows[i];
            if (!(mask & r.bit) || !(r.classes & e.cls) || (r.when && !r.when(e)))
                continue;
            if (written && !r.ownComma)
                c.put(",");
            r.write(c);
            written = true;
        }
    };
    switch (form) {
    case MemberForm::MediaList: each(kMediaListMembers, std::size(kMediaListMembers)); break;
    case MemberForm::PagedList: each(kPagedListMembers, std::size(kPagedListMembers)); break;
    case MemberForm::GroupFirstMember: each(kGroupFirstMember, std::size(kGroupFirstMember)); break;
    case MemberForm::GroupFurtherMember: each(kGroupFurtherMember, std::size(kGroupFurtherMember)); break;
    }
    return c.status;
}

}  // namespace ztmedia
