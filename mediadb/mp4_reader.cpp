// ISO base media (MP4, .360) reader. Hand-written rather than a demuxer library: it needs a
// handful of fields from four boxes, one read per top-level box header plus one of `moov`, and
// the camera's own highlight box, which demuxers do not expose. Every box size is checked against
// its parent before use.
#include <unistd.h>

#include <cstring>
#include <memory>
#include <numeric>

#include "mediadb/manifest.h"
#include "mediadb/media_info.h"

namespace {

constexpr int kMaxTopBoxes = 64;               // top-level boxes walked before `moov` is given up
constexpr uint64_t kMaxMoovBytes = 16u << 20;  // larger `moov` boxes are not read
constexpr int kMaxChildren = 512;              // boxes looked at inside one parent

constexpr uint32_t fourcc(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 | uint8_t(s[3]);
}

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint64_t be64(const uint8_t *p) { return uint64_t(be32(p)) << 32 | be32(p + 4); }

// The size and header length of the box whose header starts at p (`avail` bytes there, `left`
// bytes up to the end of its parent); false when it does not fit.
bool boxHeader(const uint8_t *p, size_t avail, uint64_t left, uint64_t *size, uint64_t *header)
{
    if (avail < 8)
        return false;
    *size = be32(p);
    *header = 8;
    if (*size == 1) {
        if (avail < 16)
            return false;
        *size = be64(p + 8);
        *header = 16;
    } else if (*size == 0) {
        *size = left;  // to the end of the parent
    }
    return *size >= *header && *size <= left;
}

// A box inside a buffer: its type and body.
struct Box {
    uint32_t type = 0;
    const uint8_t *body = nullptr;
    size_t size = 0;
};

// The boxes of one parent body, in order; stops at the first that does not fit.
class Boxes {
public:
    Boxes(const uint8_t *data, size_t size) : mAt(data), mEnd(data + size) {}
    bool next(Box *b)
    {
        const size_t left = size_t(mEnd - mAt);
        uint64_t size = 0, header = 0;
        if (mSeen++ >= kMaxChildren || !boxHeader(mAt, left, left, &size, &header))
            return false;
        *b = {be32(mAt + 4), mAt + header, size_t(size - header)};
        mAt += size;
        return true;
    }
    bool find(uint32_t type, Box *b)
    {
        while (next(b))
            if (b->type == type)
                return true;
        return false;
    }

private:
    const uint8_t *mAt, *mEnd;
    int mSeen = 0;
};

Box child(const Box &parent, uint32_t type)
{
    Box b;
    return Boxes(parent.body, parent.size).find(type, &b) ? b : Box{};
}

// Time units per second and duration of a full box laid out as `mvhd` or `mdhd`.
bool readTimes(const Box &b, uint32_t *timescale, uint64_t *duration)
{
    if (b.size < 4)
        return false;
    const bool v1 = b.body[0] == 1;
    if (b.size < (v1 ? 32u : 20u))
        return false;
    *timescale = be32(b.body + (v1 ? 20 : 12));
    *duration = v1 ? be64(b.body + 24) : be32(b.body + 16);
    return true;
}

struct Track {
    bool video = false;
    uint32_t width = 0, height = 0, timescale = 0, delta = 0, profile = 0;
    uint64_t duration = 0;
};

// The first visual sample entry of `stsd`: its dimensions and the profile byte of its decoder
// configuration (`avcC` or `hvcC`).
void readSampleEntry(const Box &stsd, Track *t)
{
    if (stsd.size < 8 + 8 + 78)
        return;
    Box entry;
    if (!Boxes(stsd.body + 8, stsd.size - 8).next(&entry) || entry.size < 78)
        return;
    t->width = uint32_t(entry.body[24]) << 8 | entry.body[25];
    t->height = uint32_t(entry.body[26]) << 8 | entry.body[27];
    Boxes configs(entry.body + 78, entry.size - 78);
    for (Box c; configs.next(&c);)
        if ((c.type == fourcc("avcC") && c.size >= 2) || (c.type == fourcc("hvcC") && c.size >= 2)) {
            t->profile = c.type == fourcc("avcC") ? c.body[1] : c.body[1] & 0x1f;
            break;
        }
}

// The dominant frame duration of `stts`: the delta that covers most samples among the entries
// present (the count in the box is not trusted).
uint32_t frameDelta(const Box &stts)
{
    if (stts.size < 8)
        return 0;
    const size_t entries = std::min<size_t>(be32(stts.body + 4), (stts.size - 8) / 8);
    uint32_t best = 0, bestCount = 0;
    for (size_t i = 0; i < entries && i < 1024; i++) {
        const uint8_t *p = stts.body + 8 + i * 8;
        if (be32(p) > bestCount && be32(p + 4) != 0) {
            bestCount = be32(p);
            best = be32(p + 4);
        }
    }
    return best;
}

Track readTrack(const Box &trak)
{
    Track t;
    const Box mdia = child(trak, fourcc("mdia")), hdlr = child(mdia, fourcc("hdlr"));
    t.video = hdlr.size >= 12 && be32(hdlr.body + 8) == fourcc("vide");
    if (!t.video)
        return t;
    readTimes(child(mdia, fourcc("mdhd")), &t.timescale, &t.duration);
    const Box stbl = child(child(mdia, fourcc("minf")), fourcc("stbl"));
    readSampleEntry(child(stbl, fourcc("stsd")), &t);
    t.delta = frameDelta(child(stbl, fourcc("stts")));
    const Box tkhd = child(trak, fourcc("tkhd"));
    const size_t dims = tkhd.size >= 4 && tkhd.body[0] == 1 ? 88 : 76;  // width, height: 16.16
    if (tkhd.size >= dims + 8 && be32(tkhd.body + dims) >> 16 && be32(tkhd.body + dims + 4) >> 16) {
        t.width = be32(tkhd.body + dims) >> 16;
        t.height = be32(tkhd.body + dims + 4) >> 16;
    }
    return t;
}

uint32_t toMs(uint64_t duration, uint32_t timescale)
{
    if (timescale == 0)
        return 0;
    const unsigned __int128 ms = (static_cast<unsigned __int128>(duration) * 1000 + timescale / 2) / timescale;
    return ms > UINT32_MAX ? UINT32_MAX : uint32_t(ms);
}

// The camera's highlight tags: `moov/udta/ZHLT`, a run of 32-bit millisecond positions.
void readHighlights(const Box &moov, MediaInfo *info)
{
    const Box tags = child(child(moov, fourcc("udta")), fourcc("ZHLT"));
    for (size_t at = 0; at + 4 <= tags.size && info->highlights.size() < MANIFEST_MAX_HIGHLIGHTS; at += 4)
        info->highlights.push_back(be32(tags.body + at));
}

}  // namespace

bool parseMp4Moov(const uint8_t *data, size_t size, MediaInfo *info)
{
    const Box moov{fourcc("moov"), data, size};
    uint64_t duration = 0;
    const bool timed = readTimes(child(moov, fourcc("mvhd")), &info->timescale, &duration);
    Boxes traks(data, size);
    Track video;
    for (Box b; !video.video && traks.find(fourcc("trak"), &b);)
        video = readTrack(b);
    info->durationMs = toMs(duration, info->timescale);
    if (info->durationMs == 0)  // fragmented files leave the movie's duration at 0
        info->durationMs = toMs(video.duration, video.timescale);
    info->width = video.width;
    info->height = video.height;
    info->avcProfile = video.profile;
    if (video.timescale && video.delta) {
        const uint32_t g = std::gcd(video.timescale, video.delta);
        info->fpsNum = video.timescale / g;
        info->fpsDen = video.delta / g;
    }
    readHighlights(moov, info);
    return timed && video.video;
}

bool readMp4Info(int fd, uint64_t fileSize, MediaInfo *info)
{
    uint64_t at = 0;
    for (int i = 0; i < kMaxTopBoxes && at + 8 <= fileSize; i++) {
        uint8_t h[16];
        const ssize_t n = pread(fd, h, sizeof h, off_t(at));
        uint64_t size = 0, header = 0;
        if (n < 0 || !boxHeader(h, size_t(n), fileSize - at, &size, &header))
            return false;  // truncated, or lying about its size
        if (be32(h + 4) == fourcc("moov")) {
            if (size - header > kMaxMoovBytes)
                return false;
            const size_t body = size_t(size - header);
            std::unique_ptr<uint8_t[]> buf(new uint8_t[body ? body : 1]);
            if (pread(fd, buf.get(), body, off_t(at + header)) != ssize_t(body))
                return false;
            return parseMp4Moov(buf.get(), body, info);
        }
        at += size;
    }
    return false;
}
