// Query-string parsing of the responders: finding and decoding one variable, and the parsers
// that fill a request's dbSettings_t. Every parser returns an HTTP status (200 to go on). The
// names of civetweb's own URL helpers are kept inside this namespace so that neither side's
// calls can bind to the other's definitions. Pure functions over caller-owned data.
#ifndef ZT_MEDIA_QUERY_H
#define ZT_MEDIA_QUERY_H

#include <cstddef>
#include <cstdint>

#include "ztMedia/ztMediaResponders.h"

namespace ztmedia {

// Request kinds (dbSettings_t::filter).
enum : int32_t {
    FILTER_ALL = 0,
    FILTER_GUMI = 13,
    FILTER_UPLOAD = 15,
    FILTER_UPLOAD_SET = 16,
    FILTER_OFFLOAD = 17,
    FILTER_OFFLOAD_SET = 18,
    FILTER_VIDEOINFO = 19,
    FILTER_DUR = 20,
    FILTER_V4INFO = 21,
    FILTER_V5INFO = 22,
    FILTER_META_UPLOAD = 23,
    FILTER_META_UPLOAD_SET = 24,
    FILTER_META_OFFLOAD = 25,
    FILTER_META_OFFLOAD_SET = 26,
};

// Field-mask bits (dbSettings_t::whitelistMask).
enum : uint64_t {
    FM_N = 0x1, FM_MOD = 0x2, FM_CRE = 0x4, FM_S = 0x8, FM_LS = 0x10, FM_CL = 0x20,
    FM_AVC = 0x40, FM_PROF = 0x80, FM_MAHS = 0x100, FM_HC = 0x200, FM_HI = 0x400,
    FM_GROUP = 0x800, FM_GUMI = 0x1000, FM_PGUMI = 0x2000, FM_DNE = 0x4000, FM_US = 0x8000,
    FM_EIS = 0x10000, FM_WDR = 0x20000, FM_PTA = 0x40000, FM_AO = 0x80000, FM_RAW = 0x100000,
    FM_TR = 0x200000, FM_MP = 0x400000, FM_DUR = 0x800000, FM_WH = 0x1000000,
    FM_FPS = 0x2000000, FM_PROG = 0x4000000, FM_SUBSAMPLE = 0x8000000, FM_HDR = 0x10000000,
    FM_CT = 0x20000000, FM_ROT = 0x40000000, FM_FOV = 0x80000000ull, FM_LC = 0x100000000ull,
    FM_PRJN = 0x200000000ull, FM_MOS = 0x400000000ull,
    FM_LEGACY = 0x81b,
    FM_ALL = ~0ull,
};

int mg_strncasecmp(const char *s1, const char *s2, size_t len);
int mg_url_decode(const char *src, int src_len, char *dst, int dst_len, int is_form_url_encoded);
int mg_get_var2(const char *data, size_t data_len, const char *name, char *dst, size_t dst_len,
                size_t occurrence);
int mg_get_var(const char *data, size_t data_len, const char *name, char *dst, size_t dst_len);

// A zeroed record with the given field mask.
dbSettings_t freshSettings(uint64_t whitelistMask);

int parseQueryFields(const char *query, size_t len, dbSettings_t *s);
int parseQueryFolder(const char *query, size_t len, dbSettings_t *s);
int parseQueryStatus(const char *query, size_t len, dbSettings_t *s);
// The whole media-list parse into a fresh record (freshSettings(FM_ALL)).
int parseMediaListQuery(const char *query, size_t len, dbSettings_t *s);
// The metadata parse ("t", "p", then the status keys) into freshSettings(metadata mask).
int parseMetadataQuery(const char *query, size_t len, dbSettings_t *s);

}  // namespace ztmedia

#endif
