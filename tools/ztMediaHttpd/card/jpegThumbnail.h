// A small JPEG made from a large one: decoded at 1/2, 1/4 or 1/8 scale by the decoder's DCT
// scaling (cheap: most of the image is never fully decoded), reduced further by averaging
// when still too large, and encoded again. The input is untrusted card bytes: a corrupt or
// oversized image is refused, never a crash. Thread-safe (no shared state).
#ifndef ZT_HTTPD_JPEG_THUMBNAIL_H
#define ZT_HTTPD_JPEG_THUMBNAIL_H

#include <cstddef>
#include <cstdint>
#include <string>

const unsigned kThumbnailEdge = 320;  // the longer side of a made thumbnail, in pixels at most

// True with the JPEG bytes of the thumbnail in *out.
bool scaleJpeg(const uint8_t *data, size_t size, std::string *out);

#endif
