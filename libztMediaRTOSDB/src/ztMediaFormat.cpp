// JSON member writers: one table per record, one loop each.
#include "libztMediaRTOSDB/src/ztMediaFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/src/ztMediaJson.h"
#include "ztMedia/dbProtocol.h"

namespace ztmedia {
namespace {

const char *const kOffloadNames[8] = {
    "[]", "[\"app\"]", "[\"pc\"]", "[\"app\",\"pc\"]", "[\"other\"]", "[\"app\",\"other\"]",
    "[\"pc\",\"other\"]", "[\"app\",\"pc\",\"other\"]",
};

uint64_t flagBit(uint32_t flags, int bit) { return (flags >> bit) & 1u; }

enum class Kind { Number, Name, Word, Raw };
struct ContentMember {
    uint64_t bit;
    const char *key;
    Kind kind;
    uint64_t (*number)(const db_content_info &);
    const char *(*text)(const db_content_info &);
};
using CI = const db_content_info &;
// Members of a content record in output order.
const ContentMember kContentMembers[] = {
    {FM_N, "n", Kind::Name, nullptr, [](CI c) -> const char * { return c.file_name; }},
    {FM_MOD, "mod", Kind::Number, [](CI c) -> uint64_t { return c.modified_time; }, nullptr},
    {FM_CRE, "cre", Kind::Number, [](CI c) -> uint64_t { return c.creation_time; }, nullptr},
    {FM_S, "s", Kind::Number, [](CI c) -> uint64_t { return c.file_size; }, nullptr},
    {FM_MAHS, "mahs", Kind::Number, [](CI c) -> uint64_t { return c.mahs & 0x7F; }, nullptr},
    {FM_HC, "hc", Kind::Number, [](CI c) -> uint64_t { return c.highlight_count; }, nullptr},
    {FM_US, "us", Kind::Number, [](CI c) -> uint64_t { return c.upload_status & DB_UPLOAD_STATE_MASK; }, nullptr},
    {FM_MOS, "mos", Kind::Raw, nullptr, [](CI c) { return getOffloadStatusStr(c.upload_status); }},
    {FM_EIS, "eis", Kind::Number, [](CI c) { return flagBit(c.media_flags, 1); }, nullptr},
    {FM_HDR, "hdr", Kind::Number, [](CI c) { return flagBit(c.media_flags, 12); }, nullptr},
    {FM_WDR, "wdr", Kind::Number, [](CI c) { return flagBit(c.media_flags, 8); }, nullptr},
    {FM_PTA, "pta", Kind::Number, [](CI c) -> uint64_t { return (c.media_flags & DB_MEDIA_FLAG_PTA_MASK) != 0; }, nullptr},
    {FM_AO, "ao", Kind::Word, nullptr, [](CI c) { return getAudioOptionStr(c.media_flags); }},
    {FM_RAW, "raw", Kind::Number, [](CI c) { return flagBit(c.media_flags, 9); }, nullptr},
    {FM_TR, "tr", Kind::Number, [](CI c) { return flagBit(c.media_flags, 10); }, nullptr},
    {FM_MP, "mp", Kind::Number, [](CI c) { return flagBit(c.media_flags, 11); }, nullptr},
    {FM_CT, "ct", Kind::Number, [](CI c) -> uint64_t { return mapDbContentTypeToApp(c.content_type); }, nullptr},
    {FM_ROT, "rot", Kind::Number, [](CI c) -> uint64_t { return c.rot; }, nullptr},
    {FM_FOV, "fov", Kind::Number, [](CI c) -> uint64_t { return c.fov; }, nullptr},
    {FM_LC, "lc", Kind::Number, [](CI c) -> uint64_t { return c.lc; }, nullptr},
    {FM_PRJN, "prjn", Kind::Number, [](CI c) -> uint64_t { return c.prjn; }, nullptr},
};

}  // namespace

const char *getOffloadStatusStr(uint32_t status)
{
    return kOffloadNames[(status >> DB_OFFLOAD_FLAGS_SHIFT) & 7];
}

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
        if (!(fields & m.bit))
            continue;
        if (m.kind == Kind::Number)
            w.member("\"%s\":\"%llu\"", m.key, static_cast<unsigned long long>(m.number(ci)));
        else if (m.kind == Kind::Raw)
            w.member("\"%s\":%s", m.key, m.text(ci));
        else if (m.kind == Kind::Name)  // fixed-width, not terminated
            w.member("\"%s\":\"%s\"", m.key, jsonText(m.text(ci), DB_FILE_NAME_LEN).text);
        else
            w.member("\"%s\":\"%s\"", m.key, m.text(ci));
    }
    return w.status();
}

int formatVideoInfo(ztMediaDBOutput_t *out, uint32_t mask, const char *separator,
                    const db_video_specific_info *vsi)
{
    if (!vsi)
        return 200;
    db_video_specific_info v;
    std::memcpy(&v, vsi, sizeof v);
    MemberWriter w(out, separator);
    if ((mask & FM_LS) && v.ls == 0)
        w.member("\"ls\":\"-1\"");
    else if (mask & FM_LS)
        w.member("\"ls\":\"%u\"", v.ls);
    const struct { uint32_t bit; const char *key; uint32_t value; } numbers[] = {
        {FM_CL, "cl", v.cl}, {FM_AVC, "avc_profile", v.avc_profile}, {FM_PROF, "profile", v.profile},
        {FM_HC, "hc", v.highlight_count}};
    for (const auto &n : numbers)
        if (mask & n.bit)
            w.member("\"%s\":\"%u\"", n.key, n.value);
    if (mask & FM_HI) {
        w.member("\"hi\":[");
        w.positions(vsi, v.highlight_count);
        w.piece("]");
    }
    if (mask & FM_DUR)
        w.member("\"dur\":\"%u\"", durationSeconds(v.duration_ms));
    return w.status();
}

int formatMoreInfo(ztMediaDBOutput_t *out, uint32_t mask, const char *separator,
                   const db_more_info *mi)
{
    if (!mi)
        return 200;
    db_more_info m;
    std::memcpy(&m, mi, sizeof m);
    MemberWriter w(out, separator);
    if (mask & FM_WH)
        w.member("\"w\":\"%d\",\"h\":\"%d\"", m.width, m.height);
    if (mask & FM_FPS)
        w.member("\"fps\":\"%d\",\"fps_denom\":\"%d\"", m.frame_rate_numerator, m.frame_rate_denominator);
    if (mask & FM_PROG)
        w.member("\"prog\":\"%d\"", m.is_progressive);
    if (mask & FM_SUBSAMPLE)
        w.member("\"subsample\":\"%d\"", m.is_subsampled);
    return w.status();
}

int formatGUMI(ztMediaDBOutput_t *out, uint32_t mask, const char *separator, const uint8_t *gumi,
               const uint8_t *pgumi)
{
    if (!gumi)
        return 200;
    MemberWriter w(out, separator);
    char hex[2 * DB_GUMI_LEN + 1];
    const struct { uint32_t bit; const char *key; const uint8_t *bytes; } rows[] = {
        {FM_GUMI, "gumi", gumi}, {FM_PGUMI, "pgumi", pgumi}};
    for (const auto &row : rows) {
        if (!(mask & row.bit) || !row.bytes)
            continue;
        gumiHex(row.bytes, hex);
        w.member("\"%s\":\"%s\"", row.key, hex);
    }
    return w.status();
}

}  // namespace ztmedia
