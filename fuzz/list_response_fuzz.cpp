// The list-response parser over arbitrary bytes: it must never read past them nor crash.
#include <cstdlib>
#include <cstring>

#include "libztMediaRTOSDB/client/dbList.h"
#include "platform/ztklog.h"

namespace {
void onItem(void *, cah_item_s *item) { (void)item->file_name[0]; }
void onFile(void *, char *dir, char *file) { (void)(dir[0] + file[0]); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Grouped-video durations ask the database; point them at a directory with no server, and
    // keep the log of every refused connection from flooding the output.
    static const int quiet = (setenv("ZT_IPC_DIR", "/nonexistent-zt-fuzz", 1), ztUtilSetLogLevel(0));
    (void)quiet;
    if (size > DB_FRAME_MAX)
        size = DB_FRAME_MAX;
    uint8_t buf[DB_FRAME_MAX];
    std::memcpy(buf, data, size);
    std::memset(buf + size, 0, sizeof buf - size);
    processQueryResponse(buf, static_cast<int>(size), 0, onItem, nullptr, onFile, nullptr);
    return 0;
}
