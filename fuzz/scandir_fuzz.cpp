// The directory scan over transfers taken from the fuzz input (see fuzz_ipc.h): counts and sizes
// in the frames are the peer's word only, so the scan must stay inside its frames and the
// caller's array whatever they claim.
#include <cstdlib>

#include "fuzz/fuzz_ipc.h"
#include "libztMediaRTOSDB/client/dbScandir.h"

namespace {
int keepOdd(const char *name, int length) { return length > 0 && (name[0] & 1); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    zt_file_info files[64];
    int count = 1 + data[0] % 64;  // the caller's capacity, from the input too
    fuzzipc::feed(data + 1, size - 1);
    scandirRTOSdb("100ZTCAM", files, &count, (data[0] & 0x80) ? keepOdd : nullptr);
    if (count < 0 || count > 64)
        std::abort();
    return 0;
}
