#include "tools/ztMakeCard/media_writer.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "tools/common/jpegCompress.h"

namespace {

std::string be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
std::string be16(uint32_t v) { return {char(v >> 8), char(v)}; }
std::string zeros(size_t n) { return std::string(n, '\0'); }

std::string box(const char *type, const std::string &payload)
{
    return be32(uint32_t(payload.size() + 8)) + type + payload;
}
std::string fullBox(const char *type, uint32_t versionFlags, const std::string &payload)
{
    return box(type, be32(versionFlags) + payload);
}

const std::string kMatrix = be32(0x10000) + zeros(12) + be32(0x10000) + zeros(12) + be32(0x40000000);

std::string trak(const VideoSpec &s)
{
    const uint32_t mediaDuration = uint32_t(uint64_t(s.durationMs) * s.fpsNum / 1000);
    const uint32_t frames = s.fpsDen ? mediaDuration / s.fpsDen : 0;
    const std::string tkhd = fullBox("tkhd", 3,
                                     zeros(8) + be32(1) + zeros(4) + be32(s.durationMs) + zeros(16) + kMatrix +
                                         be32(s.width << 16) + be32(s.height << 16));
    const std::string mdhd =
        fullBox("mdhd", 0, zeros(8) + be32(s.fpsNum) + be32(mediaDuration) + be16(0x55c4) + zeros(2));
    const std::string hdlr = fullBox("hdlr", 0, zeros(4) + "vide" + zeros(12) + "VideoHandler" + zeros(1));
    const std::string avcC = box("avcC", std::string{1, 100, 0, 40, char(0xFF), char(0xE0), 0});
    const std::string avc1 =
        box("avc1", zeros(6) + be16(1) + zeros(16) + be16(s.width) + be16(s.height) + be32(0x480000) + be32(0x480000) +
                        zeros(4) + be16(1) + zeros(32) + be16(0x18) + be16(0xFFFF) + avcC);
    const std::string stbl = box(
        "stbl", fullBox("stsd", 0, be32(1) + avc1) + fullBox("stts", 0, be32(1) + be32(frames) + be32(s.fpsDen)) +
                    fullBox("stsc", 0, be32(0)) + fullBox("stsz", 0, be32(0) + be32(0)) + fullBox("stco", 0, be32(0)));
    const std::string minf = box("minf", fullBox("vmhd", 1, zeros(8)) +
                                             box("dinf", fullBox("dref", 0, be32(1) + fullBox("url ", 1, ""))) + stbl);
    return box("trak", tkhd + box("mdia", mdhd + hdlr + minf));
}

}  // namespace

std::string mp4Bytes(const VideoSpec &clip)
{
    const std::string ftyp = box("ftyp", std::string("mp41") + be32(0) + "mp41isom");
    std::string tags;
    for (uint32_t at : clip.highlights)
        tags += be32(at);
    const std::string mvhd = fullBox("mvhd", 0,
                                     zeros(8) + be32(1000) + be32(clip.durationMs) + be32(0x10000) + be16(0x100) +
                                         zeros(10) + kMatrix + zeros(24) + be32(2));
    const std::string moov = box("moov", mvhd + trak(clip) + (tags.empty() ? "" : box("udta", box("ZHLT", tags))));
    const std::string payload(64, '\x5a');
    const std::string mdat = clip.largeMdat ? be32(1) + "mdat" + be32(0) + be32(uint32_t(payload.size() + 16)) + payload
                                            : box("mdat", payload);
    return clip.moovAtEnd ? ftyp + mdat + moov : ftyp + moov + mdat;
}

std::string jpegBytes(uint32_t width, uint32_t height)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);  // the input is ours: an error here is a bug, and exits
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpegStartMemoryCompress(c, &out, &size, width, height, 1, JCS_GRAYSCALE, 50);
    const std::string exif = std::string("Exif") + zeros(2) + std::string(400, 'e');
    jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET *>(exif.data()), unsigned(exif.size()));
    std::vector<JSAMPLE> row(width, 128);
    while (c.next_scanline < c.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string bytes(reinterpret_cast<const char *>(out), size);
    std::free(out);
    return bytes;
}
