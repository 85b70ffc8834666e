// Every client entry point once, called with fixed arguments against the fault catalogue's card,
// and the faults under which it reports a failure. The fault catalogue runs each call under
// each fault; the client-response fuzz target picks a call by the first input byte (rows keep
// their place: the seeds name calls by index). A new command adds its call here.
#ifndef ZT_TEST_CLIENT_CALLS_H
#define ZT_TEST_CLIENT_CALLS_H

#include <cstdint>
#include <cstring>
#include <iterator>

#include "libztMediaRTOSDB/client/dbContentInfo.h"
#include "libztMediaRTOSDB/client/dbGumi.h"
#include "libztMediaRTOSDB/client/dbHistogram.h"
#include "libztMediaRTOSDB/client/dbList.h"
#include "libztMediaRTOSDB/client/dbScandir.h"
#include "libztMediaRTOSDB/client/dbStatus.h"

namespace clientcalls {

// The faults the server's control command (and the test's kill) can bring about.
enum Fault : uint32_t {
    kDrop = 1u << 0,       // the reply is not sent
    kDelay = 1u << 1,      // the reply comes after the receive time-out
    kCutHeader = 1u << 2,  // cut to 10 bytes
    kCutBody = 1u << 3,    // cut to 30 bytes
    kCutAll = 1u << 4,     // cut to nothing: the server closes the connection
    kStatus = 1u << 5,     // status 1 to 5
    kToken = 1u << 6,      // another token
    kBump = 1u << 7,       // a version change
    kRestart = 1u << 8,    // killed and restarted before the call
    kKilled = 1u << 9,     // killed: no server
};
// Lost replies and cuts to nothing fail every call whose one attempt they spoil.
constexpr uint32_t kLost = kDrop | kDelay;
constexpr uint32_t kGone = kCutAll | kKilled;
constexpr uint32_t kQueryFails = kLost | kCutHeader | kCutBody | kGone;

inline db_file_spec fileSpec(const char *file)
{
    db_file_spec fs{};
    std::memcpy(fs.dir_name, "100ZTCAM", DB_DIR_NAME_LEN);
    std::memcpy(fs.file_name, file, DB_FILE_NAME_LEN);
    return fs;
}

inline void onItem(void *, cah_item_s *item) { (void)item->file_name[0]; }
inline void onFile(void *, char *dir, char *file) { (void)(dir[0] + file[0]); }

// A response-family call on a connection of its own.
template <class F>
int onConnection(F f)
{
    rtosConnection_t conn{};
    if (ztIpcInit(RTOS_MEDIA_DB_CHANNEL, &conn) < 0)
        return -1;
    uint8_t response[DB_FRAME_MAX];
    const int rc = f(&conn, response);
    ztIpcDestroy(&conn);
    return rc;
}

struct Call {
    const char *name;
    int (*call)();
    uint32_t failsUnder;  // Fault bits under which the result is a failure
};

inline const Call kCalls[] = {
    {"dbGetContentInfo",
     [] {
         db_file_spec fs = fileSpec("ZX010001.MP4");
         db_content_info ci;
         return dbGetContentInfo(nullptr, &fs, &ci);
     },
     kQueryFails},
    {"dbGetGroupContentInfo",
     [] {
         db_file_spec fs = fileSpec("ZX010002.MP4");
         db_group_info g;
         db_content_info ci;
         uint8_t a[DB_GROUP_BITMAP_MAX], b[DB_GROUP_BITMAP_MAX];
         return dbGetGroupContentInfo(nullptr, &fs, &g, &ci, a, b);
     },
     kQueryFails},
    {"dbGetVideoSpecificInfo",
     [] {
         db_file_spec fs = fileSpec("ZX010001.MP4");
         db_video_specific_info v;
         db_content_info ci;
         uint32_t h[4];
         return dbGetVideoSpecificInfo(nullptr, &fs, &v, &ci, h, 4);
     },
     kQueryFails},
    {"dbGetMoreInfo",
     [] {
         db_file_spec fs = fileSpec("ZX010001.MP4");
         db_more_info m;
         return dbGetMoreInfo(nullptr, &fs, &m);
     },
     kQueryFails},
    {"dbGetGUMIByFileName",
     [] {
         db_file_spec fs = fileSpec("ZX010001.MP4");
         uint8_t g[16], p[16];
         return dbGetGUMIByFileName(nullptr, &fs, g, p);
     },
     kQueryFails},
    {"dbGetFileNameByGUMI",
     [] {
         const uint8_t g[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
         char out[20];
         return dbGetFileNameByGUMI(nullptr, g, out);
     },
     kQueryFails},
    // Retries on its connection; maps a refused status to HTTP.
    {"dbGetChapteredVideoDuration",
     [] {
         uint32_t d;
         return dbGetChapteredVideoDuration("100ZTCAM", "ZX010001.MP4", &d);
     },
     kCutHeader | kCutBody | kStatus | kGone},
    // Takes whatever comes back.
    {"dbGetUploadStatusHistogram",
     [] {
         uint32_t v, h[DB_HISTOGRAM_BUCKETS];
         return dbGetUploadStatusHistogram(7, &v, h);
     },
     kLost | kGone},
    {"dbSetCAHUploadStatus", [] { return dbSetCAHUploadStatus("100ZTCAM", "ZP010003.JPG", 4, 7); }, kQueryFails},
    {"getFileGUMIResponse",
     [] {
         return onConnection([](rtosConnection_t *c, uint8_t *r) {
             db_content_info *ci;
             uint8_t *g, *p;
             return getFileGUMIResponse(c, "100ZTCAM", "ZX010001.MP4", r, &ci, &g, &p);
         });
     },
     kCutHeader | kCutBody | kStatus | kGone},
    {"getWriteUploadStatusResponse",
     [] {
         return onConnection([](rtosConnection_t *c, uint8_t *r) {
             return getWriteUploadStatusResponse(c, "100ZTCAM", "ZP010003.JPG", r, 0x10, false, false);
         });
     },
     kQueryFails},  // the merge reads the current word with a content query first
    // A list page's one attempt reads what arrived after the header.
    {"dbGetCAHList",
     [] {
         uint32_t s, t;
         return dbGetCAHList(2, 1, 7, onItem, nullptr, onFile, nullptr, &s, &t);
     },
     kLost | kCutHeader | kGone},
    {"dbGetCAHSessionFileList",
     [] {
         uint32_t s, t;
         return dbGetCAHSessionFileList(2, 0, 7, onItem, nullptr, onFile, nullptr, &s, &t);
     },
     kLost | kCutHeader | kGone},
    {"dbSetUploadStatusRawBits", [] { return dbSetUploadStatusRawBits("100ZTCAM", "ZP010003.JPG", 3, 7); }, kGone},
    {"scandirRTOSdb",
     [] {
         zt_file_info files[8];
         int n = 8;
         return scandirRTOSdb("100ZTCAM", files, &n, nullptr);
     },
     kCutHeader | kCutBody | kStatus | kGone},
};
constexpr size_t kCallCount = std::size(kCalls);

}  // namespace clientcalls

#endif
