#include "offload_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "card_source.h"
#include "copy_file.h"
#include "plan.h"
#include "progress.h"
#include "record_state.h"

namespace {

struct Run {
    Run(const RunOptions &opts, const volatile std::sig_atomic_t &flag) : o(opts), stop(flag) {}
    const RunOptions &o;
    const volatile std::sig_atomic_t &stop;
    CardSource card;
    DestTree dest;
    Progress *progress = nullptr;
    std::string stopped;  // why the run ends early
};

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

// Copies one file; true when it is whole on DEST. Sets run.stopped for the faults that end a run.
// A medium's files share the folder of its first file: *folder is set from that one.
bool offloadFile(Run &run, const std::string &rel, std::string *folderOut)
{
    Progress &p = *run.progress;
    CardFile f;
    std::string why;
    if (run.card.open(rel, &f, &why) != CardOpen::Ok) {
        if (!run.card.present())
            run.stopped = "the card was removed (" + run.card.root() + "/DCIM is gone)";
        else
            p.file(rel, "not copied: " + why, false, 0);
        return false;
    }
    const uint64_t size = uint64_t(f.opened().st_size);
    if (folderOut->empty())
        *folderOut = run.dest.folderName(rel, f.opened());
    const std::string &folder = *folderOut;
    const int dir = run.dest.openFolder(folder, &why);
    if (dir < 0) {
        if (destFullError(errno))
            run.stopped = "DEST is full: " + why;
        p.file(rel, "not copied: " + why, false, size);
        return false;
    }
    const auto onBytes = [&](uint64_t n) { p.wrote(n, rel); };
    const std::string name = rel.substr(rel.find('/') + 1);
    CopyResult r = copyToDest(f, dir, name, onBytes, run.stop);
    if (r.outcome == CopyOutcome::Mismatch)  // the partial file was dropped: once more from the start
        r = copyToDest(f, dir, name, onBytes, run.stop);
    close(dir);
    switch (r.outcome) {
    case CopyOutcome::Copied:
    case CopyOutcome::AlreadyThere:
        ++(r.outcome == CopyOutcome::Copied ? p.tally().copied : p.tally().alreadyThere);
        p.file(rel, describe(r, folder), true, size - r.written);
        return true;
    case CopyOutcome::DestFull:
        run.stopped = "DEST is full (" + r.why + "); the partial copy is kept for the next run";
        break;
    case CopyOutcome::Stopped:
        run.stopped = "asked to stop; the partial copy is kept for the next run";
        break;
    case CopyOutcome::ReadFailed:
        if (!run.card.present())
            run.stopped = "the card was removed during the copy; the partial copy is kept for the next run";
        break;
    default:
        break;
    }
    p.file(rel, "not copied: " + r.why, false, size - r.written);
    return false;
}

// Records every file of a medium whose files are all whole on DEST; the first file (the one
// the candidate list selects the medium by) last, so a medium recorded in part is handed out again.
bool recordMedium(Run &run, const PlannedMedium &m)
{
    CAHMediaList list;
    for (auto it = m.files.rbegin(); it != m.files.rend(); ++it) {
        std::string why;
        const Recorded r = recordOffloaded(list, *it, run.o.dbWaitSec, &why);
        // Only the first file must be known: the others of a photo group have no state of their own.
        if (r == Recorded::Yes || (r == Recorded::NotTracked && &*it != &m.files.front()))
            continue;
        run.progress->file(*it, "copied, but its state was not recorded: " + why, false, 0);
        if (r == Recorded::Unreachable)
            run.stopped = "the media database does not answer";
        return false;
    }
    return true;
}

void offloadMedium(Run &run, const PlannedMedium &m)
{
    std::string folder;
    bool whole = true;
    for (const std::string &rel : m.files) {
        whole = offloadFile(run, rel, &folder) && whole;
        if (!run.stopped.empty())
            return;
    }
    const bool ok = whole && recordMedium(run, m);
    if (run.stopped.empty())
        run.progress->medium(ok);
}

Tally plannedTally(const CardSource &card, const Plan &plan)
{
    Tally t;
    t.media = plan.media.size();
    for (const PlannedMedium &m : plan.media) {
        for (const std::string &rel : m.files) {
            CardFile f;
            std::string why;
            if (card.open(rel, &f, &why) == CardOpen::Ok)
                t.bytes += uint64_t(f.opened().st_size);
            ++t.files;
        }
    }
    return t;
}

}  // namespace

int runOffload(const RunOptions &o, const volatile std::sig_atomic_t &stop)
{
    Run run(o, stop);
    std::string why;
    if (!run.card.attach(o.card, &why) || !run.dest.attach(o.dest, o.layout, &why)) {
        std::fprintf(stderr, "ztOffload: %s\n", why.c_str());
        return kRunBadInput;
    }
    Plan plan;
    if (!buildPlan(o.rules, o.sorted ? &o.sortDoc : nullptr, o.dbWaitSec, &plan, &why)) {
        std::fprintf(stderr, "ztOffload: no candidate list: %s\n", why.c_str());
        return kRunStopped;
    }
    for (const std::string &path : plan.refused)
        std::fprintf(stderr, "ztOffload: refused a handed-out path that is not a camera file: %s\n", path.c_str());
    Progress progress(stdout, plannedTally(run.card, plan));
    run.progress = &progress;
    const Tally &t = progress.tally();
    std::printf("ztOffload: %zu media (%zu files, %s) to offload from %s to %s\n", t.media, t.files,
                Progress::size(t.bytes).c_str(), o.card.c_str(), o.dest.c_str());
    for (const PlannedMedium &m : plan.media) {
        offloadMedium(run, m);
        if (!run.stopped.empty())
            break;
    }
    progress.summary(run.stopped);
    if (!run.stopped.empty())
        return kRunStopped;
    return t.mediaFailed || !plan.refused.empty() ? kRunSomeFailed : kRunAllDone;
}
