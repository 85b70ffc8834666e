#include "offload_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <thread>

#include "bounded_queue.h"
#include "card_source.h"
#include "copy_file.h"
#include "plan.h"
#include "progress.h"
#include "settle.h"

namespace {

// How far the copying may run ahead of the settling thread: enough for a file's sync to overlap
// the next file's copy, little enough that its writeback does not slow the database's own syncs
// (each record waits for one). A file weighs its bytes plus kFileWeight.
constexpr uint64_t kQueueWeight = 32ull << 20;
constexpr uint64_t kFileWeight = 128 << 10;
// Media settled at a time: their renames share a folder sync, and none is recorded before the
// whole batch is synced, so a run stopped midway has recorded what it settled early.
constexpr size_t kBatchMedia = 16;

struct Run {
    Run(const RunOptions &opts, const volatile std::sig_atomic_t &flag) : o(opts), stop(flag) {}
    const RunOptions &o;
    const volatile std::sig_atomic_t &stop;
    RunState *state = nullptr;   // once the plan is made
    std::set<std::string> used;  // "FOLDER/NAME" of the files this run put on DEST or is putting there
    CardSource card;
    DestTree dest;
};

void failed(FileJob &f, CopyOutcome o, const std::string &why)
{
    f.copy.result.outcome = o;
    f.copy.result.why = why;
}

// Step 1 for one file (see copy_file.h). Stops the run for the faults that end it.
// A medium's files share the folder of its first file: *folder is set from that one.
FileJob copyFile(Run &run, const std::string &rel, std::string *folder)
{
    FileJob f;
    f.rel = rel;
    CardFile card;
    std::string why;
    if (run.card.open(rel, &card, &why) != CardOpen::Ok) {
        if (!run.card.present())
            run.state->stop("the card was removed (" + run.card.root() + "/DCIM is gone)");
        failed(f, CopyOutcome::ReadFailed, why);
        return f;
    }
    f.size = uint64_t(card.opened().st_size);
    if (folder->empty())
        *folder = run.dest.folderName(rel, card.opened());
    f.folder = *folder;
    OwnedFd dir(run.dest.openFolder(f.folder, &why));
    if (dir.get() < 0) {
        if (destFullError(errno))
            run.state->stop("DEST is full: " + why);
        failed(f, CopyOutcome::WriteFailed, why);
        return f;
    }
    const auto onBytes = [&](uint64_t n) { run.state->progress.wrote(n, rel); };
    const auto taken = [&](const std::string &name) { return run.used.count(f.folder + "/" + name) > 0; };
    f.copy = copyToPartial(card, std::move(dir), rel.substr(rel.find('/') + 1), taken, onBytes, run.stop);
    if (!f.copy.result.destName.empty())
        run.used.insert(f.folder + "/" + f.copy.result.destName);
    switch (f.copy.result.outcome) {
    case CopyOutcome::DestFull:
        run.state->stop("DEST is full (" + f.copy.result.why + "); the partial copy is kept for the next run");
        break;
    case CopyOutcome::Stopped: run.state->stop("asked to stop; the partial copy is kept for the next run"); break;
    case CopyOutcome::ReadFailed:
        if (!run.card.present())
            run.state->stop("the card was removed during the copy; the partial copy is kept for the next run");
        break;
    default: break;
    }
    return f;
}

// Copies every file of every medium and hands each medium to the settling thread.
void copyAll(Run &run, const Plan &plan, BoundedQueue<MediumJob> &queue)
{
    for (const PlannedMedium &m : plan.media) {
        MediumJob job;
        job.medium = &m;
        uint64_t weight = 0;
        std::string folder;
        for (const std::string &rel : m.files) {
            job.files.push_back(copyFile(run, rel, &folder));
            if (run.state->stopped())
                return;
            weight += job.files.back().copy.result.written + kFileWeight;
        }
        queue.push(std::move(job), weight);
    }
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
    const Tally &t = progress.tally();
    std::printf("ztOffload: %zu media (%zu files, %s) to offload from %s to %s\n", t.media, t.files,
                Progress::size(t.bytes).c_str(), o.card.c_str(), o.dest.c_str());
    RunState state(progress, o.dbWaitSec);
    run.state = &state;
    BoundedQueue<MediumJob> queue(kQueueWeight);
    std::thread settler([&] {
        std::vector<MediumJob> batch;
        while (queue.popSome(kBatchMedia, &batch))
            settleBatch(state, batch);
    });
    copyAll(run, plan, queue);
    queue.close();
    settler.join();
    progress.summary(state.why());
    if (state.stopped())
        return kRunStopped;
    return t.mediaFailed || !plan.refused.empty() ? kRunSomeFailed : kRunAllDone;
}
