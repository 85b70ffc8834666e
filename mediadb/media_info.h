// What a camera file's own bytes say about it: duration, frame rate, dimensions and highlight tags
// of a video (ISO base media boxes, mediadb/mp4_reader.cpp), dimensions of a photo (JPEG frame
// header, mediadb/jpeg_reader.cpp). Every read is bounded in reads and bytes and trusts no size
// or count found in the file; what cannot be read stays 0. Plain values; safe from any thread.
#ifndef ZT_MEDIADB_MEDIA_INFO_H
#define ZT_MEDIADB_MEDIA_INFO_H

#include <cstdint>
#include <string>
#include <vector>

struct MediaInfo {
    uint32_t durationMs = 0, timescale = 0;  // the movie's duration and time units per second
    uint32_t fpsNum = 0, fpsDen = 0;         // the video track's frame rate, reduced
    uint32_t width = 0, height = 0;
    uint32_t avcProfile = 0;           // profile byte of an AVC/HEVC configuration record
    std::vector<uint32_t> highlights;  // highlight tags, milliseconds from the start
    bool operator==(const MediaInfo &o) const;
};

// How a camera file is read, by its extension: videos (.MP4, .360), photos (.JPG); companions
// (.LRV, .THM) and anything else are never opened.
enum class MediaKind { Video, Photo, None };
MediaKind mediaKindOf(const std::string &name);

// Reads `name` in dirFd (never through a link, never blocking on a device or pipe) as `kind`.
// False when the file could not be opened or did not parse; *info keeps what could be read.
bool readMediaInfo(int dirFd, const std::string &name, MediaKind kind, MediaInfo *info);

// The readers of an open file (the MP4 one takes the size its caller has from fstat). Each costs
// at most a fixed number of reads.
bool readMp4Info(int fd, uint64_t fileSize, MediaInfo *info);
bool readJpegInfo(int fd, MediaInfo *info);
// The part of the MP4 reader that parses a `moov` box body held in memory.
bool parseMp4Moov(const uint8_t *data, size_t size, MediaInfo *info);

#endif
