// The MP4 reader over a file holding the fuzz input: box sizes and counts are the file's word
// only, so the reader must stay inside what it read, in a bounded number of reads.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "mediadb/manifest.h"
#include "mediadb/media_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("mp4", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    MediaInfo info;
    readMp4Info(fd, size, &info);
    MediaInfo moov;  // the same bytes taken as a `moov` body
    parseMp4Moov(data, size, &moov);
    if (info.highlights.size() > MANIFEST_MAX_HIGHLIGHTS || moov.highlights.size() > MANIFEST_MAX_HIGHLIGHTS)
        std::abort();
    return 0;
}
