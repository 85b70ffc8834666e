// ztOffload's progress on standard output: one line per file finished (what happened to it, then
// files and bytes done, rate and time left), a line at most every second during a long copy, and
// the summary at the end. Lines are flushed as written, so a reader sees each file as it lands.
// The copying thread reports bytes while the thread that settles files reports them.
#ifndef ZT_TOOLS_OFFLOAD_PROGRESS_H
#define ZT_TOOLS_OFFLOAD_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

struct Tally {
    size_t media = 0, files = 0;  // planned
    uint64_t bytes = 0;           // planned (sizes on the card when the run began)
    size_t mediaDone = 0, mediaFailed = 0;
    size_t copied = 0, alreadyThere = 0, filesFailed = 0;
    uint64_t bytesDone = 0;  // of files finished or passed over
    uint64_t written = 0;    // bytes written to DEST by this run
};

class Progress {
public:
    Progress(FILE *out, const Tally &planned);
    // Bytes written during a copy; prints a line when a second has passed since the last one.
    void wrote(uint64_t n, const std::string &rel);
    // A file finished: `what` says how ("copied 4.0 MiB", "already on DEST"), `ok` whether it
    // is whole on DEST; `passed` its bytes on the card that this run did not write (they count
    // as done for the time left).
    void file(const std::string &rel, const std::string &what, bool ok, uint64_t passed);
    void medium(bool ok);
    // The closing summary; `stopped` names why the run ended early (empty: it did not).
    void summary(const std::string &stopped);
    const Tally &tally() const { return mTally; }
    Tally &tally() { return mTally; }

    static std::string size(uint64_t bytes);  // "4.0 MiB"

private:
    std::string status();  // "48.0 of 800.0 MiB, 120.5 MiB/s, 6 s left"
    double rate() const;   // bytes per second written so far

    std::mutex mMutex;
    FILE *mOut;
    Tally mTally;
    std::chrono::steady_clock::time_point mStart, mLastLine;
};

#endif
