// The second half of an offload, on a thread of its own so that it overlaps the copying of the
// next files: each copied file synced, read back and checked, renamed into place, its folder
// synced (once per batch for all the files renamed into it), and only then the media whose files
// are all whole recorded as offloaded, a medium's first file last.
#ifndef ZT_TOOLS_OFFLOAD_SETTLE_H
#define ZT_TOOLS_OFFLOAD_SETTLE_H

#include <mutex>
#include <string>
#include <vector>

#include "copy_file.h"
#include "plan.h"
#include "progress.h"

// What both threads of a run share. The reason a run ends early is set once, by either thread.
class RunState {
public:
    RunState(Progress &p, unsigned waitSec) : progress(p), dbWaitSec(waitSec) {}
    void stop(const std::string &why);
    bool stopped() const;
    std::string why() const;

    Progress &progress;
    const unsigned dbWaitSec;

private:
    mutable std::mutex mMutex;
    std::string mWhy;
};

struct FileJob {
    std::string rel;     // "DIR/FILE" on the card
    uint64_t size = 0;   // on the card
    std::string folder;  // under DEST
    PendingCopy copy;    // after step 1 (copyToPartial): Copied or AlreadyThere, else the failure
};

struct MediumJob {
    const PlannedMedium *medium = nullptr;
    std::vector<FileJob> files;
};

// Settles a batch of media copied by the other thread, in order. Drops the batch when the run
// is stopping (the partial files stay for the next run).
void settleBatch(RunState &run, std::vector<MediumJob> &batch);

#endif
