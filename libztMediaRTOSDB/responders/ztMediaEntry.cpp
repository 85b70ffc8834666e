// List-entry reader and the member tables of the two list forms.
#include "libztMediaRTOSDB/responders/ztMediaEntry.h"

#include <cstdarg>
#include <cstring>

#include "libztMediaRTOSDB/client/dbCommon.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaFields.h"
#include "libztMediaRTOSDB/responders/ztMediaFormat.h"
#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"

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
        DBLOG(DB_LOG_HEADERS, "videogrouping=0, Grouped video content type %d, for file %.08s/%.12s\n", ci.content_type,
              ci.dir_name, ci.file_name);
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
    c.put("\"%s\":[", fieldKey(F_HI));
    const uint32_t n =
        c.e.ci.highlight_count < c.e.vsi.highlight_count ? c.e.ci.highlight_count : c.e.vsi.highlight_count;
    for (uint32_t i = 0; i < n; ++i)
        c.put(i ? ",%d" : "%d", static_cast<int>(wordAt(c.e.highlights, i)));
    c.put("]");
}

void writeGumi(Ctx &c, Field f, const uint8_t *bytes)
{
    char hex[2 * DB_GUMI_LEN + 1];
    gumiHex(bytes, hex);
    c.put("\"%s\":\"%s\"", fieldKey(f), hex);
}

using W = void (*)(Ctx &);
using When = bool (*)(const ListEntry &);

bool hasBlankGumi(const ListEntry &e) { return e.gumi && blankGumi(e.gumi); }
bool hasGumi(const ListEntry &e) { return e.gumi && !blankGumi(e.gumi); }
bool hasParent(const ListEntry &e) { return e.pgumi != nullptr; }
bool groupHighlighted(const ListEntry &e) { return e.ci.highlight_count != 0; }

// One member "key":"value" with the key from the field table.
void num(Ctx &c, Field f, unsigned long v) { c.put("\"%s\":\"%lu\"", fieldKey(f), v); }
void word(Ctx &c, Field f, const char *v) { c.put("\"%s\":\"%s\"", fieldKey(f), v); }

constexpr W wName = [](Ctx &c) { word(c, F_N, jsonText(c.e.ci.file_name, DB_FILE_NAME_LEN).text); };
constexpr W wMod = [](Ctx &c) { num(c, F_MOD, c.e.ci.modified_time); };
constexpr W wCre = [](Ctx &c) { num(c, F_CRE, c.e.ci.creation_time); };
constexpr W wUs = [](Ctx &c) { num(c, F_US, c.e.ci.upload_status & DB_UPLOAD_STATE_MASK); };
constexpr W wTr = [](Ctx &c) { num(c, F_TR, flag(c, 10)); };
constexpr W wDne = [](Ctx &c) { num(c, F_DNE, 1u); };
constexpr W wGumi = [](Ctx &c) { writeGumi(c, F_GUMI, c.e.gumi); };
constexpr W wPgumi = [](Ctx &c) { writeGumi(c, F_PGUMI, c.e.pgumi); };
constexpr W wLs = [](Ctx &c) {
    if (c.e.vsi.ls == 0)
        word(c, F_LS, "-1");
    else
        num(c, F_LS, c.e.vsi.ls);
};
constexpr W wCl = [](Ctx &c) { num(c, F_CL, c.e.vsi.cl); };
constexpr W wEis = [](Ctx &c) { num(c, F_EIS, flag(c, 1)); };
constexpr W wPta = [](Ctx &c) { num(c, F_PTA, (c.e.ci.media_flags & DB_MEDIA_FLAG_PTA_MASK) ? 1u : 0u); };
constexpr W wAo = [](Ctx &c) { word(c, F_AO, getAudioOptionStr(c.e.ci.media_flags)); };
constexpr W wMp = [](Ctx &c) { num(c, F_MP, flag(c, 11)); };
constexpr W wDur = [](Ctx &c) { num(c, F_DUR, durationSeconds(c.e.vsi.duration_ms)); };
constexpr W wMahs = [](Ctx &c) { num(c, F_MAHS, c.e.ci.mahs & 0x7F); };
constexpr W wHc = [](Ctx &c) { num(c, F_HC, c.e.ci.highlight_count); };
constexpr W wHi = writeHighlights;
constexpr W wHdr = [](Ctx &c) { num(c, F_HDR, flag(c, 12)); };
constexpr W wWdr = [](Ctx &c) { num(c, F_WDR, flag(c, 8)); };
constexpr W wRaw = [](Ctx &c) { num(c, F_RAW, flag(c, 9)); };
constexpr W wGbl = [](Ctx &c) {
    c.put("\"%s\":\"%d\",\"%s\":\"%d\",\"%s\":\"%d\"", fieldKey(F_G), static_cast<int>(c.e.gi.group_number),
          fieldKey(F_B), static_cast<int>(c.e.gi.first_number), fieldKey(F_L), static_cast<int>(c.e.gi.last_number));
};
constexpr W wTm = [](Ctx &c) {
    const DbContentTypeInfo *info = dbContentTypeInfo(c.e.ci.content_type);
    c.put(",\"%s\":\"%c\",\"%s\":[", fieldKey(F_T), info ? info->groupLetter : '?', fieldKey(F_M));
    clearMembers(c, c.e.missing, c.e.gi.num_missing, "\"%d\"");
    c.put("]");
};
constexpr W wGhcObject = [](Ctx &c) {
    c.put(",\"%s\":{", fieldKey(F_GHC));
    clearMembers(c, c.e.second, c.e.ci.highlight_count, "\"%d\":\"1\"");
    c.put("}");
};
constexpr W wGhcCount = [](Ctx &c) {
    c.put("\"%s\":\"%d\"", fieldKey(F_GHC), static_cast<int>(c.e.ci.highlight_count));
};
constexpr W wGhi = [](Ctx &c) {
    c.put("\"%s\":[", fieldKey(F_GHI));
    clearMembers(c, c.e.second, c.e.ci.highlight_count, "\"%d\"");
    c.put("]");
};
constexpr W wSize = [](Ctx &c) {
    num(c, F_S, c.e.hasGroup && c.e.cls == EC_PHOTO_GROUP ? c.e.gi.group_size : c.e.ci.file_size);
};

struct MemberRow {
    Field field;      // its row of the field table, whose bit lets it be written
    uint8_t classes;  // EntryClass bits the member applies to
    When when;        // further condition, or null
    bool ownComma;    // the writer spells its own leading comma
    W write;
};

constexpr uint8_t SV = EC_SINGLE_VIDEO, SP = EC_SINGLE_PHOTO, PG = EC_PHOTO_GROUP, T7 = EC_SESSION_FILE;

// The members every list entry starts with, in both list forms.
constexpr MemberRow kEntryHead[] = {
    {F_N, EC_ALL, nullptr, false, wName},    {F_MOD, EC_ALL, nullptr, false, wMod},
    {F_CRE, EC_ALL, nullptr, false, wCre},   {F_US, EC_ALL, nullptr, false, wUs},
    {F_TR, EC_ALL, nullptr, false, wTr},     {F_DNE, EC_ALL, hasBlankGumi, false, wDne},
    {F_GUMI, EC_ALL, hasGumi, false, wGumi}, {F_PGUMI, EC_ALL, hasParent, false, wPgumi},
};

constexpr MemberRow kMediaListRest[] = {
    {F_LS, SV, nullptr, false, wLs},
    {F_CL, SV, nullptr, false, wCl},
    {F_PTA, SV, nullptr, false, wPta},
    {F_AO, SV, nullptr, false, wAo},
    {F_MP, SV, nullptr, false, wMp},
    {F_DUR, SV, nullptr, false, wDur},
    {F_MAHS, SV, nullptr, false, wMahs},
    {F_HC, SV | SP | T7, nullptr, false, wHc},
    {F_HI, SV, nullptr, false, wHi},
    {F_HDR, SP, nullptr, false, wHdr},
    {F_WDR, SP, nullptr, false, wWdr},
    {F_RAW, SP, nullptr, false, wRaw},
    {F_G, PG, nullptr, false, wGbl},
    {F_T, PG, nullptr, true, wTm},
    {F_GHC, PG, groupHighlighted, true, wGhcObject},
    {F_S, EC_ALL, nullptr, false, wSize},
};

constexpr MemberRow kPagedListRest[] = {
    {F_HC, T7, nullptr, false, wHc},
    {F_LS, SV, nullptr, false, wLs},
    {F_PTA, SV, nullptr, false, wPta},
    {F_AO, SV, nullptr, false, wAo},
    {F_MP, SV, nullptr, false, wMp},
    {F_DUR, SV, nullptr, false, wDur},
    {F_MAHS, SV, nullptr, false, wMahs},
    {F_HC, SV | SP, nullptr, false, wHc},
    {F_HI, SV, nullptr, false, wHi},
    {F_HDR, SP, nullptr, false, wHdr},
    {F_WDR, SP, nullptr, false, wWdr},
    {F_RAW, SP, nullptr, false, wRaw},
    {F_G, PG, nullptr, false, wGbl},
    {F_T, PG, nullptr, true, wTm},
    {F_GHC, PG, nullptr, false, wGhcCount},
    {F_GHI, PG, nullptr, false, wGhi},
    {F_S, EC_ALL & ~EC_GROUPED_VIDEO, nullptr, false, wSize},  // grouped: from its members
};

// The video members of a grouped video's member, in both group forms.
constexpr MemberRow kGroupVideo[] = {
    {F_EIS, EC_ALL, nullptr, false, wEis}, {F_PTA, EC_ALL, nullptr, false, wPta},
    {F_AO, EC_ALL, nullptr, false, wAo},   {F_MP, EC_ALL, nullptr, false, wMp},
    {F_DUR, EC_ALL, nullptr, false, wDur}, {F_MAHS, EC_ALL, nullptr, false, wMahs},
    {F_HC, EC_ALL, nullptr, false, wHc},   {F_HI, EC_ALL, nullptr, false, wHi},
};
// A grouped video's entry continues with its first member's: the video members, then these.
constexpr MemberRow kGroupFirstTail[] = {
    {F_LS, EC_ALL, nullptr, false, wLs},
    {F_S, EC_ALL, nullptr, false, wSize},
};
// Every further member of a grouped video is an entry of its own: these, the video members, size.
constexpr MemberRow kGroupFurtherHead[] = {
    {F_N, EC_ALL, nullptr, false, wName}, {F_MOD, EC_ALL, nullptr, false, wMod}, {F_CRE, EC_ALL, nullptr, false, wCre},
    {F_US, EC_ALL, nullptr, false, wUs},  {F_TR, EC_ALL, nullptr, false, wTr},   {F_LS, EC_ALL, nullptr, false, wLs},
};
constexpr MemberRow kGroupFurtherTail[] = {{F_S, EC_ALL, nullptr, false, wSize}};

struct Rows {
    const MemberRow *rows;
    size_t count;
};
template <size_t N>
constexpr Rows rowsOf(const MemberRow (&rows)[N])
{
    return {rows, N};
}

// Each form's runs of rows in the order it writes them, indexed by MemberForm.
constexpr Rows kForms[][3] = {
    {rowsOf(kEntryHead), rowsOf(kMediaListRest), {}},
    {rowsOf(kEntryHead), rowsOf(kPagedListRest), {}},
    {rowsOf(kGroupVideo), rowsOf(kGroupFirstTail), {}},
    {rowsOf(kGroupFurtherHead), rowsOf(kGroupVideo), rowsOf(kGroupFurtherTail)},
};

// A writer of several members names the first: "b" and "l" come with "g", "m" with "t".
constexpr size_t writtenWith(size_t f) { return f == F_B || f == F_L ? size_t{F_G} : f == F_M ? size_t{F_T} : f; }

constexpr bool writes(MemberForm form, size_t f)
{
    for (const Rows &run : kForms[static_cast<int>(form)])
        for (size_t i = 0; i < run.count; ++i)
            if (run.rows[i].field == writtenWith(f))
                return true;
    return false;
}

// The field table's answers column says which list forms write each member.
constexpr bool answersMatch()
{
    for (size_t f = 0; f < F_COUNT; ++f) {
        const bool paged = writes(MemberForm::PagedList, f) || writes(MemberForm::GroupFirstMember, f) ||
                           writes(MemberForm::GroupFurtherMember, f);
        if (writes(MemberForm::MediaList, f) != bool(kFields[f].answers & FA_LIST) ||
            paged != bool(kFields[f].answers & FA_PAGED))
            return false;
    }
    return true;
}
static_assert(answersMatch(), "kFields answers column and the member tables agree");

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

int writeEntryMembers(ztMediaDBOutput_t *out, OutBuf buf, MemberForm form, const ListEntry &e, uint64_t mask,
                      bool continued)
{
    Ctx c{out, buf, e, 200};
    bool written = continued;
    for (const Rows &run : kForms[static_cast<int>(form)]) {
        for (size_t i = 0; i < run.count; ++i) {
            const MemberRow &r = run.rows[i];
            if (!(mask & fieldBit(r.field)) || !(r.classes & e.cls) || (r.when && !r.when(e)))
                continue;
            if (written && !r.ownComma)
                c.put(",");
            r.write(c);
            written = true;
        }
    }
    return c.status;
}

}  // namespace ztmedia
