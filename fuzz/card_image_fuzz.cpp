// Card files served by ztMediaHttpd: the EXIF thumbnail walk and the scaled decode take any
// JPEG bytes from the card, the Range parser any header text; none may crash or read past them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "card/byteRange.h"
#include "card/exifThumbnail.h"
#include "card/jpegThumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t offset = 0, length = 0;
    if (findExifThumbnail(data, size, &offset, &length) && (offset > size || length > size - offset))
        std::abort();
    std::string jpeg;
    scaleJpeg(data, size, &jpeg);
    const std::string header(reinterpret_cast<const char *>(data), size < 64 ? size : 64);
    ByteRange r = parseByteRange(header.c_str(), size);
    if (r.kind == RangeKind::Part && (r.length == 0 || r.first + r.length > size))
        std::abort();
    return 0;
}
