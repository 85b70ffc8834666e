// ztMediaChecker: at boot, asks the media database whether media await automatic upload and
// tells the Wireless Offload Manager on "/to_wom" (24 to upload, 23 nothing, 25 check failed),
// then stays resident until it is killed.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "cah/CAHMediaList.h"
#include "checker/ztWirelessOffloadManager_if.h"
#include "gcore/GCoreLogger.h"

namespace {

constexpr uint32_t kComponent = 3;
// Upload states 0 (new) and 3 make media candidates for automatic upload.
constexpr uint32_t kUploadStateMask = 9;
// Threshold 0, no level mask: configured, but every levelled message is filtered out.
constexpr uint32_t kLogLevel = 0, kLogLevelMask = 0, kLogComponents = 0xFF;

uint32_t eventFor(int match)
{
    if (match > 0)
        return ZT_WOM_EVENT_MEDIA_TO_UPLOAD;
    return match == 0 ? ZT_WOM_EVENT_NOTHING_TO_UPLOAD : ZT_WOM_EVENT_CHECK_FAILED;
}

}  // namespace

int main(int argc, char **argv)
{
    (void)argc;
    gcore::Logger::configDebugLog(kLogLevel, kLogLevelMask, kLogComponents, GCORE_DEBUG_STDOUT, "");
    if (gcore::Logger *log = gcore::Logger::getLogger())
        log->log(kComponent, GCORE_LEVEL_INFO, "   [INFO]: %s\n", argv[0]);

    int mqd = ztWom_interface_open();
    if (mqd < 0) {
        if (gcore::Logger *log = gcore::Logger::getLogger())
            log->log(kComponent, GCORE_LEVEL_ERROR, "  [ERROR]: Failed to open message queue\n");
        exit(-1);
    }

    CAHMediaList list;  // main never returns, so the list lives as long as the process
    int match = list.matchHistogram(kUploadStateMask);
    gcore::Logger *log = gcore::Logger::getLogger();
    if (log)
        log->log(kComponent, GCORE_LEVEL_INFO, "   [INFO]: matchHistogram returned %d\n", match);
    if (match < 0 && log)
        log->log(kComponent, GCORE_LEVEL_ERROR, "  [ERROR]: match returned %d\n", match);
    ztWom_interface_send(mqd, eventFor(match));
    ztWom_interface_close(mqd);

    fflush(stdout);  // the process never exits, so nothing else would flush the dump
    for (;;)
        sleep(5000);
}
