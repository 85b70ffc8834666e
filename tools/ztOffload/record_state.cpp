#include "record_state.h"

#include <unistd.h>

#include <chrono>

#include "tools/common/uploadState.h"
#include "ztMedia/ztMediaDB.h"

namespace {

// The database's version word; false when it did not answer. Version 0 is a server still
// indexing its card (it answers busy, which reads as an empty card).
bool databaseVersion(uint32_t *version)
{
    uint32_t buckets[DB_HISTOGRAM_BUCKETS];
    *version = 0;
    return dbGetUploadStatusHistogram(0, version, buckets) == 0;
}

// Whether the database answers at all: tells a file it does not know from a channel that is down.
bool databaseAnswers()
{
    uint32_t version;
    return databaseVersion(&version) && version != 0;
}

}  // namespace

bool databaseIndexing()
{
    uint32_t version;
    return databaseVersion(&version) && version == 0;
}

Recorded recordOffloaded(CAHMediaList &list, const std::string &rel, unsigned waitSec, std::string *why)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSec);
    unsigned pauseMs = 100, keptNot = 0;
    for (;;) {
        const int written = list.setUploadState(rel, kOffloadedState);
        UploadState now = 0;
        const bool read = readUploadState(rel, &now) == 0;
        if (read && now == kOffloadedState)
            return Recorded::Yes;
        if (!read && databaseAnswers()) {
            *why = "the database keeps no state for this file";
            return Recorded::NotTracked;
        }
        // Answered, yet not kept: the store refused it. Try twice more, then say so.
        if (read && written == 0 && ++keptNot >= 3) {
            *why = "the database acknowledged the write but still holds state " + std::to_string(now) +
                   " (it could not keep the write)";
            return Recorded::Refused;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            *why = "the database did not answer for " + std::to_string(waitSec) + " s (write result " +
                   std::to_string(written) + ")";
            return Recorded::Unreachable;
        }
        usleep(pauseMs * 1000);
        pauseMs = pauseMs < 1600 ? pauseMs * 2 : pauseMs;
    }
}
