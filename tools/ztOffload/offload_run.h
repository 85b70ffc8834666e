// One offload run: plan from the candidate list, then each medium's files copied whole onto
// DEST, and only then their upload state recorded. A run that stops early (DEST full, card
// removed, database gone, a signal) leaves everything a later run needs to go on.
#ifndef ZT_TOOLS_OFFLOAD_OFFLOAD_RUN_H
#define ZT_TOOLS_OFFLOAD_OFFLOAD_RUN_H

#include <csignal>
#include <string>
#include <vector>

#include "cah/CAHMediaList.h"
#include "dest_tree.h"

struct RunOptions {
    std::string card, dest;
    Layout layout = Layout::Folder;
    std::vector<UploadRule> rules;
    bool sorted = false;  // sortDoc holds a sort document (empty: the default order)
    std::string sortDoc;
    unsigned dbWaitSec = 30;  // how long an unanswering database is waited for
};

// Exit statuses of a run.
enum RunExit {
    kRunAllDone = 0,     // every candidate is on DEST and recorded (or there was none)
    kRunSomeFailed = 1,  // the run went through, but some media were not offloaded
    kRunBadInput = 2,    // arguments, files or folders that cannot be used
    kRunStopped = 3,     // stopped early: DEST full, card removed, database gone, signal
};

int runOffload(const RunOptions &o, const volatile std::sig_atomic_t &stop);

#endif
