// Finds the thumbnail a camera embeds in a JPEG's EXIF block (APP1, IFD1's JPEG offset and
// length). The bytes come from the card and are untrusted: every offset and count is checked
// against the buffer, and the walk stops at the first image scan. Pure; thread-safe.
#ifndef ZT_HTTPD_EXIF_THUMBNAIL_H
#define ZT_HTTPD_EXIF_THUMBNAIL_H

#include <cstddef>
#include <cstdint>

// How much of a file's head to read: the markers before the scan and one full APP1 segment.
const size_t kExifHeadBytes = 128 * 1024;

// True with the thumbnail's place in `data` (*offset, *length; it starts with a JPEG SOI)
// when the head of a JPEG file carries one.
bool findExifThumbnail(const uint8_t *data, size_t size, size_t *offset, size_t *length);

#endif
