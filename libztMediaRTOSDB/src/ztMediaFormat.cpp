// JSON member writers: one table per record, one loop each.
#include "libztMediaRTOSDB/src/ztMediaFormat.h"

#include <cstdio>
#include <cstring>

#include "libztMediaRTOSDB/src/dbContentTypes.h"

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
    {0x1, "n", Kind::Name, nullptr, [](CI c) -> const char * { return c.file_name; }},
    {0x2, "mod", Kind::Number, [](CI c) -> uint64_t { return c.modified_time; }, nullptr},
    {0x4, "cre", Kind::Number, [](CI c) -> uint64_t { return c.creation_time; }, nullptr},
    {0x8, "s", Kind::Number, [](CI c) -> uint64_t { return c.file_size; }, nullptr},
    {0x100, "mahs", Kind::Number, [](CI c) -> uint64_t { return c.mahs & 0x7F; }, nullptr},
    {0x200, "hc", Kind::Number, [](CI c) -> uint64_t { return c.highlight_count; }, nullptr},
    {0x8000, "us", Kind::Number, [](CI c) -> uint64_t { return c.upload_status & DB_UPLOAD_STATE_MASK; }, nullptr},
    {0x400000000ull, "mos", Kind::Raw, nullptr, [](CI c) { return getOffloadStatusStr(c.upload_status); }},
    {0x10000, "eis", Kind::Number, [](CI c) { return flagBit(c.media_flags, 1); }, nullptr},
    {0x10000000, "hdr", Kind::Number, [](CI c) { return flagBit(c.media_flags, 12); }, nullptr},
    {0x20000, "wdr", Kind::Number, [](CI c) { return flagBit(c.media_flags, 8); }, nullptr},
    {0x40000, "pta", Kind::Number, [](CI c) -> uint64_t { return (c.media_flags & DB_MEDIA_FLAG_PTA_MASK) != 0; }, nullptr},
    {0x80000, "ao", Kind::Word, nullptr, [](CI c) { return getAudioOptionStr(c.media_flags); }},
    {0x100000, "raw", Kind::Number, [](CI c) { return flagBit(c.media_flags, 9); }, nullptr},
    {0x200000, "tr", Kind::Number, [](CI c) { return flagBit(c.media_flags, 10); }, nullptr},
    {0x400000, "mp", Kind::Number, [](CI c) { return flagBit(c.media_flags, 11); }, nullptr},
    {0x20000000, "ct", Kind::Number, [](CI c) -> uint64_t { return mapDbContentTypeToApp(c.content_type); }, nullptr},
    {0x40000000, "rot", Kind::Number, [](CI c) -> uint64_t { return c.rot; }, nullptr},
    {0x80000000ull, "fov", Kind::Number, [](CI c) -> uint64_t { return c.fov; }, nullptr},
    {0x100000000ull, "lc", Kind::Number, [](CI c) -> uint64_t { return c.lc; }, nullptr},
    {0x200000000ull, "prjn", Kind::Number, [](CI c) -> uint64_t { return c.prjn; }, nullptr},
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

int formatContentInfo(ztMediaDBOutput_t *out, uint64_t fields, const db_content_info *info)
{
    if (!info)
        return 200;
    db_content_info ci;
    std::memcpy(&ci, info, sizeof ci);  // the record may sit unaligned in a response
    int status = 200;
    const char *sep = "";
    for (const ContentMember &m : kContentMembers) {
        if (!(fields & m.bit))
            continue;
        int r;
        if (m.kind == Kind::Number)
            r = ZT_OUT(out, OutBuf::Entry, "%s\"%s\":\"%llu\"", sep, m.key,
                       static_cast<unsigned long long>(m.number(ci)));
        else if (m.kind == Kind::Raw)
            r = ZT_OUT(out, OutBuf::Entry, "%s\"%s\":%s", sep, m.key, m.text(ci));
        else if (m.kind == Kind::Name)  // fixed-width, not terminated
            r = ZT_OUT(out, OutBuf::Entry, "%s\"%s\":\"%.12s\"", sep, m.key, m.text(ci));
        else
            r = ZT_OUT(out, OutBuf::Entry, "%s\"%s\":\"%s\"", sep, m.key, m.text(ci));
        if (r != 200)
            status = 500;
        sep = ",";
    }
    return status;
}

int formatVideoInfo(ztMediaDBOutput_t *out, uint32_t mask, const char *separator,
                    const db_video_specific_info *vsi)
{
    if (!vsi)
        return 200;
    db_video_specific_info v;
    std::memcpy(&v, vsi, sizeof v);
    int status = 200;
    const char *sep = separator;
    auto num = [&](uint32_t bit, const char *key, uint32_t value) {
        if (!(mask & bit))
            return;
        if (ZT_OUT(out, OutBuf::Entry, "%s\"%s\":\"%u\"", sep, key, value) != 200)
            status = 500;
        sep = ",";
    };
    if ((mask & FM_LS) && v.ls == 0) {
        if (ZT_OUT(out, OutBuf::Entry, "%s\"ls\":\"-1\"", sep) != 200)
            status = 500;
        sep = ",";
    } else {
        num(FM_LS, "ls", v.ls);
    }
    num(FM_CL, "cl", v.cl);
    num(FM_AVC, "avc_profile", v.avc_profile);
    num(FM_PROF, "profile", v.profile);
    num(FM_HC, "hc", v.highlight_count);
    if (mask & FM_HI) {
        const uint8_t *words = reinterpret_cast<const uint8_t *>(vsi) + sizeof v;
        int r = ZT_OUT(out, OutBuf::Entry, "%s\"hi\":[", sep);
        const uint32_t n = v.highlight_count < ZT_META_HIGHLIGHTS_MAX ? v.highlight_count : ZT_META_HIGHLIGHTS_MAX;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t pos;
            std::memcpy(&pos, words + 4 * i, sizeof pos);
            r = worst(r, ZT_OUT(out, OutBuf::Entry, "%s%u", i ? "," : "", pos));
        }
        r = worst(r, ZT_OUT(out, OutBuf::Entry, "]"));
        if (r != 200)
            status = 500;
        sep = ",";
    }
    num(FM_DUR, "dur", durationSeconds(v.duration_ms));
    return status;
}

int formatMoreInfo(ztMediaDBOutput_t *out, uint32_t mask, const char *separator,
                   const db_more_info *mi)
{
    if (!mi)
        return 200;
    db_more_info m;
    std::memcpy(&m, mi, sizeof m);
    int status = 200;
    const char *sep = separator;
    auto put = [&](int r) {
        if (r != 200)
            status = 500;
        sep = ",";
    };
    if (mask & FM_WH)
        put(ZT_OUT(out, OutBuf::Entry, "%s\"w\":\"%d\",\"h\":\"%d\"", sep, m.width, m.height));
    if (mask & FM_FPS)
        put(ZT_OUT(out, OutBuf::Entry, "%s\"fps\":\"%d\",\"fps_denom\":\"%d\"", sep,
                   m.frame_rate_numerator, m.frame_rate_denominator));
    if (mask & FM_PROG)
        put(ZT_OUT(out, OutBuf::Entry, "%s\"prog\":\"%d\"", sep, m.is_progressive));
    if (mask & FM_SUBSAMPLE)
        put(ZT_OUT(out, OutBuf::Entry, "%s\"subsample\":\"%d\"", sep, m.is_subsampled));
    return status;
}

int formatGUMI(ztMediaDBOutput_t *out, uint32_t mask, const char *separator, const uint8_t *gumi,
               const uint8_t *pgumi)
{
    if (!gumi)
        return 200;
    int status = 200;
    const char *sep = separator;
    char hex[2 * DB_GUMI_LEN + 1];
    const struct { uint32_t bit; const char *key; const uint8_t *bytes; } rows[] = {
        {FM_GUMI, "gumi", gumi}, {FM_PGUMI, "pgumi", pgumi}};
    for (const auto &row : rows) {
        if (!(mask & row.bit) || !row.bytes)
            continue;
        gumiHex(row.bytes, hex);
        if (ZT_OUT(out, OutBuf::Entry, "%s\"%s\":\"%s\"", sep, row.key, hex) != 200)
            status = 500;
        sep = ",";
    }
    return status;
}

}  // namespace ztmedia
