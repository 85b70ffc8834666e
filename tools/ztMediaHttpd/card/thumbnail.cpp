// See thumbnail.h.
#include "card/thumbnail.h"

#include <unistd.h>

#include "card/cardNames.h"
#include "card/exifThumbnail.h"
#include "card/jpegThumbnail.h"

namespace {

const size_t kMaxCompanionBytes = 1 << 20;
const off_t kMaxDecodedFileBytes = 64L << 20;  // larger photos are not decoded on request

// Up to `max` bytes from the start of fd into *out.
bool readHead(int fd, size_t max, std::string *out)
{
    out->resize(max);
    size_t got = 0;
    while (got < max) {
        ssize_t n = pread(fd, &(*out)[got], max - got, (off_t)got);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += (size_t)n;
    }
    out->resize(got);
    return true;
}

bool isJpeg(const std::string &bytes)
{
    return bytes.size() > 3 && (uint8_t)bytes[0] == 0xFF && (uint8_t)bytes[1] == 0xD8;
}

bool companion(const CardFolder &card, const std::string &folder, const std::string &file, std::string *jpeg)
{
    struct stat st;
    int fd = card.openFile(folder, companionThumbnailName(file), &st);
    if (fd < 0)
        return false;
    bool ok = st.st_size <= (off_t)kMaxCompanionBytes && readHead(fd, (size_t)st.st_size, jpeg) && isJpeg(*jpeg);
    close(fd);
    return ok;
}

bool fromPhoto(int fd, const struct stat &st, std::string *jpeg)
{
    std::string head;
    if (!readHead(fd, kExifHeadBytes, &head))
        return false;
    size_t offset = 0, length = 0;
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(head.data());
    if (findExifThumbnail(bytes, head.size(), &offset, &length)) {
        jpeg->assign(head, offset, length);
        return true;
    }
    if (st.st_size > kMaxDecodedFileBytes)
        return false;
    std::string whole;
    if (!readHead(fd, (size_t)st.st_size, &whole))
        return false;
    return scaleJpeg(reinterpret_cast<const uint8_t *>(whole.data()), whole.size(), jpeg);
}

}  // namespace

bool cardThumbnail(const CardFolder &card, const std::string &folder, const std::string &file, std::string *jpeg)
{
    if (!isCardFolderName(folder.c_str()) || !isCameraFileName(file.c_str()))
        return false;
    if (file.compare(9, 3, "THM") != 0 && companion(card, folder, file, jpeg))
        return true;
    if (file.compare(9, 3, "JPG") != 0)
        return false;
    struct stat st;
    int fd = card.openFile(folder, file, &st);
    if (fd < 0)
        return false;
    bool ok = fromPhoto(fd, st, jpeg);
    close(fd);
    return ok;
}
