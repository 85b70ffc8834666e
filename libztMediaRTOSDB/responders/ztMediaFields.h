// The field table of the responders: every field code of the media list's "fields" key and every
// member key the answers write, with its field-mask bit, the answers that write it and the
// metadata data sets that carry it. The query parser, the list and paged member tables and the
// metadata members all read it; docs/responders.md shows it (a test compares the two).
// Constant data; safe from any thread.
#ifndef ZT_MEDIA_FIELDS_H
#define ZT_MEDIA_FIELDS_H

#include <cstddef>
#include <cstdint>

namespace ztmedia {

// Field-mask bits (dbSettings_t::whitelistMask).
enum : uint64_t {
    FM_N = 1ull << 0,
    FM_MOD = 1ull << 1,
    FM_CRE = 1ull << 2,
    FM_S = 1ull << 3,
    FM_LS = 1ull << 4,
    FM_CL = 1ull << 5,
    FM_AVC = 1ull << 6,
    FM_PROF = 1ull << 7,
    FM_MAHS = 1ull << 8,
    FM_HC = 1ull << 9,
    FM_HI = 1ull << 10,
    FM_GROUP = 1ull << 11,
    FM_GUMI = 1ull << 12,
    FM_PGUMI = 1ull << 13,
    FM_DNE = 1ull << 14,
    FM_US = 1ull << 15,
    FM_EIS = 1ull << 16,
    FM_WDR = 1ull << 17,
    FM_PTA = 1ull << 18,
    FM_AO = 1ull << 19,
    FM_RAW = 1ull << 20,
    FM_TR = 1ull << 21,
    FM_MP = 1ull << 22,
    FM_DUR = 1ull << 23,
    FM_WH = 1ull << 24,
    FM_FPS = 1ull << 25,
    FM_PROG = 1ull << 26,
    FM_SUBSAMPLE = 1ull << 27,
    FM_HDR = 1ull << 28,
    FM_CT = 1ull << 29,
    FM_ROT = 1ull << 30,
    FM_FOV = 1ull << 31,
    FM_LC = 1ull << 32,
    FM_PRJN = 1ull << 33,
    FM_MOS = 1ull << 34,
    FM_LEGACY = FM_N | FM_MOD | FM_S | FM_LS | FM_GROUP,
    FM_ALL = ~0ull,
};

// One row per code or key, in the order of the table below.
enum Field : uint8_t {
    F_N,
    F_MOD,
    F_CRE,
    F_S,
    F_LS,
    F_CL,
    F_AVC,
    F_PROF,
    F_MAHS,
    F_HC,
    F_HI,
    F_G,
    F_B,
    F_L,
    F_T,
    F_M,
    F_GHC,
    F_GHI,
    F_LEGACY,
    F_GUMI,
    F_PGUMI,
    F_DNE,
    F_US,
    F_EIS,
    F_WDR,
    F_PTA,
    F_AO,
    F_RAW,
    F_TR,
    F_MP,
    F_DUR,
    F_W,
    F_H,
    F_FPS,
    F_FPS_DENOM,
    F_PROG,
    F_SUBSAMPLE,
    F_HDR,
    F_CT,
    F_ROT,
    F_FOV,
    F_LC,
    F_PRJN,
    F_MOS,
    F_COUNT
};

// The list answers that write a member (FieldInfo::answers).
enum : uint8_t { FA_LIST = 1, FA_PAGED = 2 };
// The metadata data sets that carry a member (FieldInfo::sets): v4info and v5info by the file's
// kind, and the upload and offload answers.
enum : uint8_t {
    DS_V4_VIDEO = 1,
    DS_V4_OTHER = 2,
    DS_V5_VIDEO = 4,
    DS_V5_OTHER = 8,
    DS_UPLOAD = 16,
    DS_OFFLOAD = 32,
};

struct FieldInfo {
    Field id;
    const char *code;  // the "fields" code; null when the list does not accept it
    const char *key;   // the JSON key written; null for a code that only selects others
    uint64_t bit;      // the mask bit that lets the member be written
    uint64_t selects;  // the bits the code turns on
    uint8_t answers;   // FA_* bits
    uint8_t sets;      // DS_* bits
};

namespace fieldsets {
constexpr uint8_t V = DS_V4_VIDEO | DS_V5_VIDEO, O = DS_V4_OTHER | DS_V5_OTHER;
constexpr uint8_t V5 = DS_V5_VIDEO | DS_V5_OTHER, ALL = V | O;
constexpr uint8_t LP = FA_LIST | FA_PAGED;
}  // namespace fieldsets

inline constexpr FieldInfo kFields[] = {
    // clang-format off
    {F_N,         "n",      "n",           FM_N,      FM_N,      fieldsets::LP, 0},
    {F_MOD,       "mod",    "mod",         FM_MOD,    FM_MOD,    fieldsets::LP, 0},
    {F_CRE,       "cre",    "cre",         FM_CRE,    FM_CRE,    fieldsets::LP, fieldsets::ALL},
    {F_S,         "s",      "s",           FM_S,      FM_S,      fieldsets::LP, fieldsets::ALL},
    {F_LS,        "ls",     "ls",          FM_LS,     FM_LS,     fieldsets::LP, fieldsets::V},
    {F_CL,        "cl",     "cl",          FM_CL,     FM_CL,     FA_LIST,       fieldsets::V | DS_V5_OTHER},
    {F_AVC,       "avc",    "avc_profile", FM_AVC,    FM_AVC,    0,             DS_V5_VIDEO},
    {F_PROF,      "prof",   "profile",     FM_PROF,   FM_PROF,   0,             DS_V5_VIDEO},
    {F_MAHS,      "mahs",   "mahs",        FM_MAHS,   FM_MAHS,   fieldsets::LP, DS_V5_VIDEO},
    {F_HC,        "hc",     "hc",          FM_HC,     FM_HC,     fieldsets::LP, fieldsets::ALL},
    {F_HI,        "hi",     "hi",          FM_HI,     FM_HI | FM_HC | FM_MAHS, fieldsets::LP, fieldsets::V},
    {F_G,         "g",      "g",           FM_GROUP,  FM_GROUP,  fieldsets::LP, 0},
    {F_B,         "b",      "b",           FM_GROUP,  FM_GROUP,  fieldsets::LP, 0},
    {F_L,         "l",      "l",           FM_GROUP,  FM_GROUP,  fieldsets::LP, 0},
    {F_T,         "t",      "t",           FM_GROUP,  FM_GROUP,  fieldsets::LP, 0},
    {F_M,         "m",      "m",           FM_GROUP,  FM_GROUP,  fieldsets::LP, 0},
    {F_GHC,       "ghc",    "ghc",         FM_GROUP,  FM_GROUP,  fieldsets::LP, 0},
    {F_GHI,       "ghi",    "ghi",         FM_GROUP,  FM_GROUP,  FA_PAGED,      0},
    {F_LEGACY,    "legacy", nullptr,       0,         FM_LEGACY, 0,             0},
    {F_GUMI,      "gumi",   "gumi",        FM_GUMI,   FM_GUMI,   fieldsets::LP, fieldsets::ALL},
    {F_PGUMI,     "pgumi",  "pgumi",       FM_PGUMI,  FM_PGUMI,  fieldsets::LP, fieldsets::ALL},
    {F_DNE,       "DNE",    "DNE",         FM_DNE,    FM_DNE,    fieldsets::LP, 0},
    {F_US,        "us",     "us",          FM_US,     FM_US,     fieldsets::LP, fieldsets::ALL | DS_UPLOAD},
    {F_EIS,       "eis",    "eis",         FM_EIS,    FM_EIS,    FA_PAGED,      fieldsets::ALL},
    {F_WDR,       "wdr",    "wdr",         FM_WDR,    FM_WDR,    fieldsets::LP, fieldsets::O},
    {F_PTA,       "pta",    "pta",         FM_PTA,    FM_PTA,    fieldsets::LP, fieldsets::V},
    {F_AO,        "ao",     "ao",          FM_AO,     FM_AO,     fieldsets::LP, fieldsets::V},
    {F_RAW,       "raw",    "raw",         FM_RAW,    FM_RAW,    fieldsets::LP, fieldsets::O},
    {F_TR,        "tr",     "tr",          FM_TR,     FM_TR,     fieldsets::LP, fieldsets::ALL},
    {F_MP,        "mp",     "mp",          FM_MP,     FM_MP,     fieldsets::LP, fieldsets::V | DS_V5_OTHER},
    {F_DUR,       "dur",    "dur",         FM_DUR,    FM_DUR,    fieldsets::LP, fieldsets::V},
    {F_W,         nullptr,  "w",           FM_WH,     0,         0,             fieldsets::ALL},
    {F_H,         nullptr,  "h",           FM_WH,     0,         0,             fieldsets::ALL},
    {F_FPS,       nullptr,  "fps",         FM_FPS,    0,         0,             fieldsets::V},
    {F_FPS_DENOM, nullptr,  "fps_denom",   FM_FPS,    0,         0,             fieldsets::V},
    {F_PROG,      nullptr,  "prog",        FM_PROG,   0,         0,             fieldsets::V},
    {F_SUBSAMPLE, nullptr,  "subsample",   FM_SUBSAMPLE, 0,      0,             fieldsets::V},
    {F_HDR,       "hdr",    "hdr",         FM_HDR,    FM_HDR,    fieldsets::LP, DS_V5_OTHER},
    {F_CT,        nullptr,  "ct",          FM_CT,     0,         0,             fieldsets::V5},
    {F_ROT,       nullptr,  "rot",         FM_ROT,    0,         0,             fieldsets::V5},
    {F_FOV,       nullptr,  "fov",         FM_FOV,    0,         0,             fieldsets::V5},
    {F_LC,        nullptr,  "lc",          FM_LC,     0,         0,             fieldsets::V5},
    {F_PRJN,      nullptr,  "prjn",        FM_PRJN,   0,         0,             fieldsets::V5},
    {F_MOS,       "mos",    "mos",         FM_MOS,    FM_MOS,    0,             fieldsets::ALL | DS_OFFLOAD},
    // clang-format on
};
static_assert(sizeof kFields / sizeof kFields[0] == F_COUNT, "one row per Field");

constexpr const FieldInfo &field(Field f) { return kFields[f]; }
constexpr const char *fieldKey(Field f) { return kFields[f].key; }
constexpr uint64_t fieldBit(Field f) { return kFields[f].bit; }

// The mask bits of every member a data set (DS_*) carries.
constexpr uint64_t dataSetMask(uint8_t set)
{
    uint64_t mask = 0;
    for (const FieldInfo &f : kFields)
        if (f.sets & set)
            mask |= f.bit;
    return mask;
}

constexpr bool rowsInOrder()
{
    for (size_t i = 0; i < F_COUNT; ++i)
        if (kFields[i].id != i)
            return false;
    return true;
}
static_assert(rowsInOrder(), "kFields[f].id == f");

// The row of a "fields" code, or null when the list does not accept it.
const FieldInfo *findFieldCode(const char *code);

}  // namespace ztmedia

#endif
