#include "mediadb/media_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

bool MediaInfo::operator==(const MediaInfo &o) const
{
    return durationMs == o.durationMs && timescale == o.timescale && fpsNum == o.fpsNum && fpsDen == o.fpsDen &&
           width == o.width && height == o.height && avcProfile == o.avcProfile && highlights == o.highlights;
}

MediaKind mediaKindOf(const std::string &name)
{
    const size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (ext == "MP4" || ext == "360")
        return MediaKind::Video;
    return ext == "JPG" ? MediaKind::Photo : MediaKind::None;
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
        ok = kind == MediaKind::Video ? readMp4Info(fd, info) : readJpegInfo(fd, info);
    close(fd);
    return ok;
}
