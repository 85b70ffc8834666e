// The Range header of a file request: one "bytes=" range (first-last, first-, or -suffix) of a
// file of known size. A header this does not understand, or one naming several ranges, is
// ignored (the whole file is sent), as HTTP allows. Pure; thread-safe; takes any bytes.
#ifndef ZT_HTTPD_BYTE_RANGE_H
#define ZT_HTTPD_BYTE_RANGE_H

#include <cstdint>

enum class RangeKind { Whole, Part, Unsatisfiable };

struct ByteRange {
    RangeKind kind;
    uint64_t first;  // Whole and Part: the bytes to send
    uint64_t length;
    bool plain;  // Part from "first-last" inside the file or "first-": no end was cut
};

// `header` may be null (no Range header).
ByteRange parseByteRange(const char *header, uint64_t size);

#endif
