// JSON member writers: one table per record, one loop each.
#include "libztMediaRTOSDB/responders/ztMediaFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "ztMedia/dbProtocol.h"

namespace ztmedia {
namespace {

const char *const kOffloadNames[8] = {
    "[]",          "[\"app\"]",           "[\"pc\"]",           "[\"app\",\"pc\"]",
    "[\"other\"]", "[\"app\",\"other\"]", "[\"pc\",\"other\"]", "[\"app\",\"pc\",\"other\"]",
};

uint64_t flagBit(uint32_t flags, int bit) { return (flags >> bit) & 1u; }

enum class Kind { Number, Name, Word, Raw };
struct ContentMember {
    Field field;
    Kind kind;
    uint64_t (*number)(const db_content_info &);
    const char *(*text)(const db_content_info &);
};
using CI = const db_content_info &;
// Members of a content record in output order.
const ContentMember kContentMembers[] = {
    {F_N, Kind::Name, nullptr, [](CI c) -> const char * { return c.file_name; }},
    {F_MOD, Kind::Number, [](CI c) -> uint64_t { return c.modified_time; }, nullptr},
    {F_CRE, Kind::Number, [](CI c) -> uint64_t { return c.creation_time; }, nullptr},
    {F_S, Kind::Number, [](CI c) -> uint64_t { return c.file_size; }, nullptr},
    {F_MAHS, Kind::Number, [](CI c) -> uint64_t { return c.mahs & 0x7F; }, nullptr},
    {F_HC, Kind::Number, [](CI c) -> uint64_t { return c.highlight_count; }, nullptr},
    {F_US, Kind::Number, [](CI c) -> uint64_t { return c.upload_status & DB_UPLOAD_STATE_MASK; }, nullptr},
    {F_MOS, Kind::Raw, nullptr, [](CI c) { return getOffloadStatusStr(c.upload_status); }},
    {F_EIS, Kind::Number, [](CI c) { return flagBit(c.media_flags, 1); }, nullptr},
    {F_HDR, Kind::Number, [](CI c) { return flagBit(c.media_flags, 12); }, nullptr},
    {F_WDR, Kind::Number, [](CI c) { return flagBit(c.media_flags, 8); }, nullptr},
    {F_PTA, Kind::Number, [](CI c) -> uint64_t { return (c.media_flags & DB_MEDIA_FLAG_PTA_MASK) != 0; }, nullptr},
    {F_AO, Kind::Word, nullptr, [](CI c) { return getAudioOptionStr(c.media_flags); }},
    {F_RAW, Kind::Number, [](CI c) { return flagBit(c.media_flags, 9); }, nullptr},
    {F_TR, Kind::Number, [](CI c) { return flagBit(c.media_flags, 10); }, nullptr},
    {F_MP, Kind::Number, [](CI c) { return flagBit(c.media_flags, 11); }, nullptr},
    {F_CT, Kind::Number, [](CI c) -> uint64_t { return mapDbContentTypeToApp(c.content_type); }, nullptr},
    {F_ROT, Kind::Number, [](CI c) -> uint64_t { return c.rot; }, nullptr},
    {F_FOV, Kind::Number, [](CI c) -> uint64_t { return c.fov; }, nullptr},
    {F_LC, Kind::Number, [](CI c) -> uint64_t { return c.lc; }, nullptr},
    {F_PRJN, Kind::Number, [](CI c) -> uint64_t { return c.prjn; }, nullptr},
};

// A member of one number, or of two written as one ("w" and "h"), when the mask holds its field.
struct NumberMember {
    Field field;
    int64_t value;
    Field second = F_COUNT;  // F_COUNT: a member of one number
    int64_t secondValue = 0;
};

template <size_t N>
void numberMembers(MemberWriter &w, uint64_t mask, const NumberMember (&rows)[N])
{
    for (const NumberMember &r : rows) {
        if (!(mask & fieldBit(r.field)))
            continue;
        if (r.second == F_COUNT)
            w.member("\"%s\":\"%lld\"", fieldKey(r.field), static_cast<long long>(r.value));
        else
            w.member("\"%s\":\"%lld\",\"%s\":\"%lld\"", fieldKey(r.field), static_cast<long long>(r.value),
                     fieldKey(r.second), static_cast<long long>(r.secondValue));
    }
}

}  // namespace

const char *getOffloadStatusStr(uint32_t status) { return kOffloadNames[(status >> DB_OFFLOAD_FLAGS_SHIFT) & 7]; }

const char *getAudioOptionStr(uint32_t flags)
{
    if (flags & DB_MEDIA_FLAG_AUDIO_AUTO)
        return "auto";
    if (flags & DB_MEDIA_FLAG_AUDIO_WIND)
        return "wind";
    if (flags & DB_MEDIA_FLAG_AUDIO_STEREO)
        return "stereo";
    return "off";
}

void gumiHex(const uint8_t *gumi, char *out)
{
    for (uint32_t i = 0; i < DB_GUMI_LEN; ++i)
        std::snprintf(out + 2 * i, 3, "%02x", gumi[i]);
}

void MemberWriter::member(const char *format, ...)
{
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    const int n = std::vsnprintf(nullptr, 0, format, ap);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    va_end(ap);
    if (ZT_OUT(mOut, OutBuf::Entry, "%s%s", mSep, text.c_str()) != 200)
        mStatus = 500;
    mSep = ",";
}

void MemberWriter::piece(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    if (outAppendV(mOut, OutBuf::Entry, __FILE__, __LINE__, format, ap) != 200)
        mStatus = 500;
    va_end(ap);
}

void MemberWriter::positions(const db_video_specific_info *vsi, uint32_t count)
{
    const uint8_t *words = reinterpret_cast<const uint8_t *>(vsi) + sizeof *vsi;
    const uint32_t n = count < ZT_META_HIGHLIGHTS_MAX ? count : ZT_META_HIGHLIGHTS_MAX;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t pos;
        std::memcpy(&pos, words + 4 * i, sizeof pos);
        piece(i ? ",%u" : "%u", pos);
    }
}

int formatContentInfo(ztMediaDBOutput_t *out, uint64_t fields, const db_content_info *info)
{
    if (!info)
        return 200;
    db_content_info ci;
    std::memcpy(&ci, info, sizeof ci);  // the record may sit unaligned in a response
    MemberWriter w(out, "");
    for (const ContentMember &m : kContentMembers) {
        if (!(fields & fieldBit(m.field)))
            continue;
        const char *key = fieldKey(m.field);
        if (m.kind == Kind::Number)
            w.member("\"%s\":\"%llu\"", key, static_cast<unsigned long long>(m.number(ci)));
        else if (m.kind == Kind::Raw)
            w.member("\"%s\":%s", key, m.text(ci));
        else if (m.kind == Kind::Name)  // fixed-width, not terminated
            w.member("\"%s\":\"%s\"", key, jsonText(m.text(ci), DB_FILE_NAME_LEN).text);
        else
            w.member("\"%s\":\"%s\"", key, m.text(ci));
    }
    return w.status();
}

int formatVideoInfo(ztMediaDBOutput_t *out, uint64_t mask, const char *separator, const db_video_specific_info *vsi)
{
    if (!vsi)
        return 200;
    db_video_specific_info v;
    std::memcpy(&v, vsi, sizeof v);
    MemberWriter w(out, separator);
    const int64_t ls = v.ls ? int64_t{v.ls} : -1;  // -1: no low-resolution file
    numberMembers(w, mask,
                  {{F_LS, ls}, {F_CL, v.cl}, {F_AVC, v.avc_profile}, {F_PROF, v.profile}, {F_HC, v.highlight_count}});
    if (mask & FM_HI) {
        w.member("\"%s\":[", fieldKey(F_HI));
        w.positions(vsi, v.highlight_count);
        w.piece("]");
    }
    if (mask & FM_DUR)
        w.member("\"%s\":\"%u\"", fieldKey(F_DUR), durationSeconds(v.duration_ms));
    return w.status();
}

int formatMoreInfo(ztMediaDBOutput_t *out, uint64_t mask, const char *separator, const db_more_info *mi)
{
    if (!mi)
        return 200;
    db_more_info m;
    std::memcpy(&m, mi, sizeof m);
    MemberWriter w(out, separator);
    // Width and height, and the rate's two terms, are one member each for the separator.
    numberMembers(w, mask,
                  {{F_W, m.width, F_H, m.height},
                   {F_FPS, m.frame_rate_numerator, F_FPS_DENOM, m.frame_rate_denominator},
                   {F_PROG, m.is_progressive},
                   {F_SUBSAMPLE, m.is_subsampled}});
    return w.status();
}

int formatGUMI(ztMediaDBOutput_t *out, uint64_t mask, const char *separator, const uint8_t *gumi, const uint8_t *pgumi)
{
    if (!gumi)
        return 200;
    MemberWriter w(out, separator);
    char hex[2 * DB_GUMI_LEN + 1];
    const struct {
        Field field;
        const uint8_t *bytes;
    } rows[] = {{F_GUMI, gumi}, {F_PGUMI, pgumi}};
    for (const auto &row : rows) {
        if (!(mask & fieldBit(row.field)) || !row.bytes)
            continue;
        gumiHex(row.bytes, hex);
        w.member("\"%s\":\"%s\"", fieldKey(row.field), hex);
    }
    return w.status();
}

}  // namespace ztmedia
