// The fault catalogue: every client entry point against every fault the server's control command
// can inject, plus a server killed and restarted or gone. Each cell checks the entry's documented
// result class, that the call came back (receive time-outs are cut to 200 ms through the IPC test
// seam, retry pauses are recorded, not slept) and that the next clean call works again.
#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "libztMediaRTOSDB/src/dbContentInfo.h"
#include "libztMediaRTOSDB/src/dbExchange.h"
#include "libztMediaRTOSDB/src/dbGumi.h"
#include "libztMediaRTOSDB/src/dbHistogram.h"
#include "libztMediaRTOSDB/src/dbList.h"
#include "libztMediaRTOSDB/src/dbScandir.h"
#include "libztMediaRTOSDB/src/dbStatus.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/server_process.h"

namespace {

const char kCard[] = R"({"card_id":"FAULTS","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"gumi":"000102030405060708090a0b0c0d0e0f",
  "video":{"duration_ms":5000,"highlights":[10,20]},"more":{"width":1920}},
 {"dir":"100ZTCAM","file":"ZX010002.MP4","type":1,"members":[{"file":"ZX020002.MP4"}]},
 {"dir":"100ZTCAM","file":"ZP010003.JPG","type":4},
 {"dir":"100ZTCAM","file":"ZS010004.JSN","type":7}]})";

constexpr int kReceiveMs = 200;

int shortReceive(rtosConnection_t *conn, void *buf, size_t cap)
{
    timeval tv{0, kReceiveMs * 1000};
    setsockopt(conn->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return ztIpcSocketOps()->receive(conn, buf, cap);
}

db_file_spec fileSpec(const char *file)
{
    db_file_spec fs{};
    std::memcpy(fs.dir_name, "100ZTCAM", DB_DIR_NAME_LEN);
    std::memcpy(fs.file_name, file, DB_FILE_NAME_LEN);
    return fs;
}

void onItem(void *, cah_item_s *) {}
void onFile(void *, char *, char *) {}

// An entry's result reduced to 'o' (0, 200 or a page count) or 'x' (anything else).
char classOf(int rc) { return rc == 0 || rc == 200 || (rc > 0 && rc < 100) ? 'o' : 'x'; }

const struct Entry {
    const char *name;
    int (*call)();
} kEntries[] = {
    {"dbGetContentInfo", [] { db_file_spec fs = fileSpec("ZX010001.MP4"); db_content_info ci;
                              return dbGetContentInfo(nullptr, &fs, &ci); }},
    {"dbGetGroupContentInfo", [] { db_file_spec fs = fileSpec("ZX010002.MP4"); db_group_info g; db_content_info ci;
                                   uint8_t a[DB_GROUP_BITMAP_MAX], b[DB_GROUP_BITMAP_MAX];
                                   return dbGetGroupContentInfo(nullptr, &fs, &g, &ci, a, b); }},
    {"dbGetVideoSpecificInfo", [] { db_file_spec fs = fileSpec("ZX010001.MP4"); db_video_specific_info v;
                                    db_content_info ci; uint32_t h[4];
                                    return dbGetVideoSpecificInfo(nullptr, &fs, &v, &ci, h, 4); }},
    {"dbGetMoreInfo", [] { db_file_spec fs = fileSpec("ZX010001.MP4"); db_more_info m;
                           return dbGetMoreInfo(nullptr, &fs, &m); }},
    {"dbGetGUMIByFileName", [] { db_file_spec fs = fileSpec("ZX010001.MP4"); uint8_t g[16], p[16];
                                 return dbGetGUMIByFileName(nullptr, &fs, g, p); }},
    {"dbGetFileNameByGUMI", [] { const uint8_t g[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
                                 char out[20]; return dbGetFileNameByGUMI(nullptr, g, out); }},
    {"dbGetChapteredVideoDuration", [] { uint32_t d; return dbGetChapteredVideoDuration("100ZTCAM", "ZX010001.MP4", &d); }},
    {"dbGetUploadStatusHistogram", [] { uint32_t v, h[DB_HISTOGRAM_BUCKETS]; return dbGetUploadStatusHistogram(7, &v, h); }},
    {"dbGetCAHList", [] { uint32_t s, t; return dbGetCAHList(2, 1, 7, onItem, nullptr, onFile, nullptr, &s, &t); }},
    {"dbGetCAHSessionFileList", [] { uint32_t s, t;
                                     return dbGetCAHSessionFileList(2, 0, 7, onItem, nullptr, onFile, nullptr, &s, &t); }},
    {"dbSetUploadStatusRawBits", [] { return dbSetUploadStatusRawBits("100ZTCAM", "ZP010003.JPG", 3, 7); }},
    {"dbSetCAHUploadStatus", [] { return dbSetCAHUploadStatus("100ZTCAM", "ZP010003.JPG", 4, 7); }},
    {"scandirRTOSdb", [] { zt_file_info files[8]; int n = 8; return scandirRTOSdb("100ZTCAM", files, &n, nullptr); }},
};

// Faults, and per entry (in kEntries order) the documented result class under it. The query
// family and the list and histogram queries make one attempt, so a lost reply fails them; the
// response family, status writes and scans retry on the same connection, which a reply cut to
// nothing has closed. Error statuses and tokens are only logged by the query family, the lists,
// the histogram and the raw write; the duration lookup maps them to HTTP and the scan to -7.
const struct Fault {
    const char *name;
    std::vector<std::string> ctl;  // armed before the call; empty: see `kill`
    int kill;                      // 1: kill -9 and restart before the call; 2: kill -9, call, restart
    const char *expect;
} kFaults[] = {
    {"none", {}, 0, "ooooooooooooo"},
    {"drop", {"drop", "1"}, 0, "xxxxxxoxxxoxo"},
    {"delay past time-out", {"delay", "1", "600"}, 0, "xxxxxxoxxxoxo"},
    {"cut inside the header", {"cut", "10"}, 0, "xxxxxxxoxxoxx"},
    {"cut after the header", {"cut", "30"}, 0, "xxxxxxxooooxx"},
    {"cut to nothing", {"cut", "0"}, 0, "xxxxxxxxxxxxx"},
    {"status 1", {"status", "1"}, 0, "ooooooxooooox"},
    {"status 2", {"status", "2"}, 0, "ooooooxooooox"},
    {"status 3", {"status", "3"}, 0, "ooooooxooooox"},
    {"status 4", {"status", "4"}, 0, "ooooooxooooox"},
    {"status 5", {"status", "5"}, 0, "ooooooxooooox"},
    {"wrong token", {"token", "99"}, 0, "ooooooooooooo"},
    {"version change", {"bump-version"}, 0, "ooooooooooooo"},
    {"killed and restarted", {}, 1, "ooooooooooooo"},
    {"killed", {}, 2, "xxxxxxxxxxxxx"},
};

TEST(MediadbFaults, EveryEntryPointThroughEveryFault)
{
    ServerProcess server(kCard);
    ASSERT_TRUE(server.ok()) << server.error();
    ztIpcOps ops = *ztIpcSocketOps();
    ops.receive = shortReceive;
    const ztIpcOps *saved = ztIpcSetOps(&ops);
    PauseRecorder pauses;
    for (const Fault &f : kFaults) {
        std::string actual;
        for (const Entry &e : kEntries) {
            SCOPED_TRACE(std::string(f.name) + " / " + e.name);
            if (!f.ctl.empty()) {
                ASSERT_EQ(server.ctl(f.ctl), 0);
            }
            if (f.kill)
                server.stop(SIGKILL);
            if (f.kill == 1) {
                ASSERT_TRUE(server.restart()) << server.error();
            }
            actual += classOf(e.call());
            if (f.kill == 2) {
                ASSERT_TRUE(server.restart()) << server.error();
            }
            ASSERT_EQ(server.ctl({"clear"}), 0);
            EXPECT_EQ(classOf(e.call()), 'o') << "the clean call after the fault";
        }
        EXPECT_EQ(actual, f.expect) << f.name;
    }
    ztIpcSetOps(saved);
}

}  // namespace
