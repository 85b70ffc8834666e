#include "mediadb/media_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "libztMediaRTOSDB/protocol/dbCameraNames.h"

bool MediaInfo::operator==(const MediaInfo &o) const
{
    return durationMs == o.durationMs && timescale == o.timescale && fpsNum == o.fpsNum && fpsDen == o.fpsDen &&
           width == o.width && height == o.height && avcProfile == o.avcProfile && highlights == o.highlights;
}

MediaKind mediaKindOf(const std::string &name)
{
    const size_t dot = name.rfind('.');
    const DbCameraExtension *e =
        dot != std::string::npos && name.size() - dot == 4 ? dbCameraExtension(name.c_str() + dot + 1) : nullptr;
    if (!e || e->companion)
        return MediaKind::None;
    return e->format == DbFileFormat::Mp4 ? MediaKind::Video : MediaKind::Photo;
}

bool readMediaInfo(int dirFd, const std::string &name, MediaKind kind, MediaInfo *info)
{
    *info = MediaInfo{};
    if (kind == MediaKind::None)
        return false;
    // O_NONBLOCK: a file swapped for a pipe since it was listed must not stall the scan.
    const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok)
        ok = kind == MediaKind::Video ? readMp4Info(fd, uint64_t(st.st_size), info) : readJpegInfo(fd, info);
    close(fd);
    return ok;
}
