// Query-string parsing of the responders: finding and decoding one variable, and the parsers
// that fill a request's dbSettings_t. Every parser returns an HTTP status (200 to go on). The
// names of civetweb's own URL helpers are kept inside this namespace so that neither side's
// calls can bind to the other's definitions. Pure functions over caller-owned data.
#ifndef ZT_MEDIA_QUERY_H
#define ZT_MEDIA_QUERY_H

#include <cstddef>
#include <cstdint>

#include "libztMediaRTOSDB/responders/ztMediaFields.h"
#include "ztMedia/ztMediaResponders.h"

// The parsed settings of one media request.
struct dbSettings_t {
    int32_t filter;
    uint32_t rtosDBQueryOptions;
    uint32_t newUploadStatus;
    uint32_t newOffloadStatus;
    bool clearOffloadStatus;
    char dirName[9];
    char fileName[13];
    uint64_t whitelistMask;
    char unsupported[101];
};

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

int mg_strncasecmp(const char *s1, const char *s2, size_t len);
int mg_url_decode(const char *src, int src_len, char *dst, int dst_len, int is_form_url_encoded);
int mg_get_var2(const char *data, size_t data_len, const char *name, char *dst, size_t dst_len, size_t occurrence);
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
