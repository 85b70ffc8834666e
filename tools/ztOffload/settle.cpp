#include "settle.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "record_state.h"

void RunState::stop(const std::string &why)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    if (mWhy.empty())
        mWhy = why;
}

bool RunState::stopped() const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    return !mWhy.empty();
}

std::string RunState::why() const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    return mWhy;
}

namespace {

bool whole(const CopyResult &r) { return r.outcome == CopyOutcome::Copied || r.outcome == CopyOutcome::AlreadyThere; }

std::string describe(const CopyResult &r, const std::string &folder)
{
    const std::string to = "-> " + folder + "/" + r.destName + ": ";
    if (r.outcome == CopyOutcome::AlreadyThere)
        return to + "already on DEST";
    std::string s = to + "copied " + Progress::size(r.written);
    if (r.resumedAt)
        s += " (resumed at " + Progress::size(r.resumedAt) + ")";
    return s;
}

// One sync of every folder that files of the batch were renamed into; a folder that fails it
// fails its files.
void syncFolders(std::vector<MediumJob> &batch)
{
    std::map<std::string, CopyResult> synced;  // folder -> how its sync went
    for (MediumJob &m : batch) {
        for (FileJob &f : m.files) {
            CopyResult &r = f.copy.result;
            if (!whole(r))
                continue;
            auto it = synced.find(f.folder);
            if (it == synced.end()) {
                CopyResult s;
                s.outcome = CopyOutcome::Copied;
                if (fsync(f.copy.dir.get()) != 0) {
                    s.outcome = destFullError(errno) ? CopyOutcome::DestFull : CopyOutcome::WriteFailed;
                    s.why = std::string("syncing the folder: ") + std::strerror(errno);
                }
                it = synced.emplace(f.folder, s).first;
            }
            if (it->second.outcome != CopyOutcome::Copied) {
                r.outcome = it->second.outcome;
                r.why = it->second.why;
            }
        }
    }
}

// Records every file of a medium whose files are all whole on DEST; the first file (the one
// the candidate list selects the medium by) last, so a medium recorded in part is handed out again.
bool recordMedium(RunState &run, const PlannedMedium &m)
{
    CAHMediaList list;
    for (auto it = m.files.rbegin(); it != m.files.rend(); ++it) {
        std::string why;
        const Recorded r = recordOffloaded(list, *it, run.dbWaitSec, &why);
        // Only the first file must be known: the others of a photo group have no state of their own.
        if (r == Recorded::Yes || (r == Recorded::NotTracked && &*it != &m.files.front()))
            continue;
        run.progress.file(*it, "copied, but its state was not recorded: " + why, false, 0);
        if (r == Recorded::Unreachable)
            run.stop("the media database does not answer");
        return false;
    }
    return true;
}

// Reports a medium's files and records it when they are all whole.
void finishMedium(RunState &run, MediumJob &m)
{
    Progress &p = run.progress;
    bool all = true;
    for (FileJob &f : m.files) {
        const CopyResult &r = f.copy.result;
        if (r.outcome == CopyOutcome::DestFull)
            run.stop("DEST is full (" + r.why + "); the partial copy is kept for the next run");
        if (!whole(r)) {
            all = false;
            p.file(f.rel, "not copied: " + r.why, false, f.size - r.written);
            continue;
        }
        ++(r.outcome == CopyOutcome::Copied ? p.tally().copied : p.tally().alreadyThere);
        p.file(f.rel, describe(r, f.folder), true, f.size - r.written);
    }
    const bool ok = all && !run.stopped() && recordMedium(run, *m.medium);
    if (!run.stopped())
        p.medium(ok);
}

}  // namespace

void settleBatch(RunState &run, std::vector<MediumJob> &batch)
{
    if (run.stopped())
        return;
    // All syncs first, then all renames: a sync that commits the file system's journal then
    // carries the other files' metadata along, and the renames share one folder sync.
    for (MediumJob &m : batch)
        for (FileJob &f : m.files)
            makeDurable(f.copy);
    for (MediumJob &m : batch)
        for (FileJob &f : m.files)
            putInPlace(f.copy);
    syncFolders(batch);
    for (MediumJob &m : batch) {
        if (run.stopped())
            return;
        finishMedium(run, m);
    }
}
