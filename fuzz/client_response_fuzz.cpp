// The client's per-file, histogram and status-write calls over responses taken from the fuzz
// input (see fuzz_ipc.h): the first byte picks the call, the rest are the frames it receives.
// Whatever arrives, a call must return without reading past a frame or crashing.
#include <cstdlib>

#include "fuzz/fuzz_ipc.h"
#include "libztMediaRTOSDB/src/dbContentInfo.h"
#include "libztMediaRTOSDB/src/dbExchange.h"
#include "libztMediaRTOSDB/src/dbGumi.h"
#include "libztMediaRTOSDB/src/dbHistogram.h"
#include "libztMediaRTOSDB/src/dbList.h"
#include "libztMediaRTOSDB/src/dbLog.h"
#include "libztMediaRTOSDB/src/dbStatus.h"

namespace {

const db_file_spec kSpec = {{'1', '0', '0', 'Z', 'T', 'C', 'A', 'M'},
                            {'Z', 'X', '0', '1', '0', '0', '0', '1', '.', 'M', 'P', '4'}};

void onItem(void *, cah_item_s *item) { (void)item->file_name[0]; }
void onFile(void *, char *dir, char *file) { (void)(dir[0] + file[0]); }

int call(uint8_t which)
{
    db_content_info ci;
    uint8_t response[DB_FRAME_MAX], a[DB_GROUP_BITMAP_MAX], b[DB_GROUP_BITMAP_MAX];
    uint32_t words[DB_HISTOGRAM_BUCKETS], v = 0, s = 0, t = 0;
    rtosConnection_t conn = {};
    ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &conn);
    switch (which % 12) {
    case 0: return dbGetContentInfo(nullptr, &kSpec, &ci);
    case 1: { db_group_info g; return dbGetGroupContentInfo(nullptr, &kSpec, &g, &ci, a, b); }
    case 2: { db_video_specific_info vi; return dbGetVideoSpecificInfo(nullptr, &kSpec, &vi, &ci, words, 32); }
    case 3: { db_more_info m; return dbGetMoreInfo(nullptr, &kSpec, &m); }
    case 4: return dbGetGUMIByFileName(nullptr, &kSpec, a, b);
    case 5: { char out[20]; return dbGetFileNameByGUMI(nullptr, a, out); }
    case 6: return dbGetChapteredVideoDuration("100ZTCAM", "ZX010001.MP4", &v);
    case 7: return dbGetUploadStatusHistogram(1, &v, words);
    case 8: return dbSetCAHUploadStatus("100ZTCAM", "ZX010001.MP4", 3, 1);
    case 9: { db_content_info *pc; uint8_t *pg, *pp; return getFileGUMIResponse(&conn, "100ZTCAM", "ZX010001.MP4", response, &pc, &pg, &pp); }
    case 10: return getWriteUploadStatusResponse(&conn, "100ZTCAM", "ZX010001.MP4", response, 0x10, false, false);
    default: return dbGetCAHList(4, 0, 1, onItem, nullptr, onFile, nullptr, &s, &t);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    fuzzipc::feed(data + 1, size - 1);
    call(data[0]);
    return 0;
}
