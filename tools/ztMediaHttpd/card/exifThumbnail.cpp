// See exifThumbnail.h. Layout: SOI, then segments FF xx LL LL (length counts itself); APP1
// (FF E1) starts "Exif\0\0" and holds a TIFF block: byte order, IFD0 offset; IFD0's next-IFD
// link leads to IFD1, whose tags 0x0201/0x0202 give the thumbnail's offset and length in TIFF.
#include "card/exifThumbnail.h"

#include <cstring>

namespace {

const uint16_t kTagThumbOffset = 0x0201;
const uint16_t kTagThumbLength = 0x0202;
const size_t kIfdEntryBytes = 12;

// A TIFF block: its bytes and byte order.
struct Tiff {
    const uint8_t *p;
    size_t size;
    bool bigEndian;

    bool u16(size_t at, uint16_t *v) const
    {
        if (at > size || size - at < 2)
            return false;
        *v = bigEndian ? (uint16_t)(p[at] << 8 | p[at + 1]) : (uint16_t)(p[at + 1] << 8 | p[at]);
        return true;
    }
    bool u32(size_t at, uint32_t *v) const
    {
        uint16_t a, b;
        if (!u16(at, &a) || !u16(at + 2, &b))
            return false;
        *v = bigEndian ? ((uint32_t)a << 16 | b) : ((uint32_t)b << 16 | a);
        return true;
    }
};

// Offset and length of the thumbnail from IFD1, inside the TIFF block.
bool thumbnailInTiff(const Tiff &t, size_t *offset, size_t *length)
{
    uint32_t ifd0 = 0, ifd1 = 0, thumbOffset = 0, thumbLength = 0;
    uint16_t count = 0;
    if (!t.u32(4, &ifd0) || !t.u16(ifd0, &count) || !t.u32((size_t)ifd0 + 2 + (size_t)count * kIfdEntryBytes, &ifd1) ||
        ifd1 == 0 || !t.u16(ifd1, &count))
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        size_t entry = (size_t)ifd1 + 2 + (size_t)i * kIfdEntryBytes;
        uint16_t tag = 0;
        uint32_t value = 0;
        if (!t.u16(entry, &tag) || !t.u32(entry + 8, &value))
            return false;
        if (tag == kTagThumbOffset)
            thumbOffset = value;
        else if (tag == kTagThumbLength)
            thumbLength = value;
    }
    if (thumbOffset == 0 || thumbLength < 4 || thumbOffset > t.size || t.size - thumbOffset < thumbLength)
        return false;
    const uint8_t *thumb = t.p + thumbOffset;
    if (thumb[0] != 0xFF || thumb[1] != 0xD8)
        return false;
    *offset = thumbOffset;
    *length = thumbLength;
    return true;
}

bool thumbnailInApp1(const uint8_t *seg, size_t size, size_t *offset, size_t *length)
{
    static const uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (size < sizeof kExif + 8 || std::memcmp(seg, kExif, sizeof kExif) != 0)
        return false;
    Tiff t{seg + sizeof kExif, size - sizeof kExif, false};
    if (t.p[0] == 'M' && t.p[1] == 'M')
        t.bigEndian = true;
    else if (!(t.p[0] == 'I' && t.p[1] == 'I'))
        return false;
    if (!thumbnailInTiff(t, offset, length))
        return false;
    *offset += (size_t)(t.p - seg);
    return true;
}

}  // namespace

bool findExifThumbnail(const uint8_t *data, size_t size, size_t *offset, size_t *length)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    size_t at = 2;
    while (size - at >= 4) {
        if (data[at] != 0xFF)
            return false;
        uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)  // the scan or the end: no EXIF before it
            return false;
        size_t segLen = (size_t)data[at + 2] << 8 | data[at + 3];
        if (segLen < 2 || segLen > size - at - 2)
            return false;
        const uint8_t *seg = data + at + 4;
        if (marker == 0xE1 && thumbnailInApp1(seg, segLen - 2, offset, length)) {
            *offset += (size_t)(seg - data);
            return true;
        }
        at += 2 + segLen;
    }
    return false;
}
