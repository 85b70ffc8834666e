// The JPEG reader over a file holding the fuzz input: segment lengths are the file's word only;
// the reader must not crash, loop or read past its budget.
#include <sys/mman.h>
#include <unistd.h>

#include "mediadb/media_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("jpeg", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size) || lseek(fd, 0, SEEK_SET) != 0)
        return 0;
    MediaInfo info;
    readJpegInfo(fd, &info);
    return 0;
}
