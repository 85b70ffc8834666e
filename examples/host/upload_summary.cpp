// A host program that links the installed client library through pkg-config:
//   c++ -std=c++17 upload_summary.cpp $(pkg-config --cflags --libs ztMediaRTOSDB)
// It asks the media database (on $ZT_IPC_DIR/rtos_media_db) for the upload-status histogram and
// prints the non-empty buckets. Exit status 0 on an answer, 1 when the database did not answer.
#include <cinttypes>
#include <cstdio>

#include "ztMedia/ztMediaDB.h"

int main()
{
    uint32_t version = 0;
    uint32_t histogram[DB_HISTOGRAM_BUCKETS] = {};
    if (dbGetUploadStatusHistogram(1, &version, histogram) < 0) {
        std::fprintf(stderr, "upload_summary: the media database did not answer\n");
        return 1;
    }
    std::printf("database version %" PRIu32 "\n", version);
    for (unsigned i = 0; i < DB_HISTOGRAM_BUCKETS; ++i)
        if (histogram[i] != 0)
            std::printf("upload state %u: %" PRIu32 " files\n", i, histogram[i]);
    return 0;
}
