// Small but well-formed camera files for generated cards: an MP4 whose boxes carry a duration,
// frame rate, dimensions, an AVC profile and the camera's highlight tags (no decodable frames),
// and a real JPEG made by libjpeg with an EXIF-like APP1 segment before its frame header.
#ifndef ZT_MAKECARD_MEDIA_WRITER_H
#define ZT_MAKECARD_MEDIA_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

struct VideoSpec {
    uint32_t durationMs = 0, width = 0, height = 0;
    uint32_t fpsNum = 30000, fpsDen = 1001;
    std::vector<uint32_t> highlights;
    bool moovAtEnd = false;  // as a camera writes it when it cannot seek back
    bool largeMdat = false;  // a 64-bit box size
};

std::string mp4Bytes(const VideoSpec &clip);
// A JPEG of the given size (a plain grey picture, so it stays a few hundred bytes).
std::string jpegBytes(uint32_t width, uint32_t height);

#endif
