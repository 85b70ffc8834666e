#include "progress.h"

#include <cmath>

namespace {

double secondsSince(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

Progress::Progress(FILE *out, const Tally &planned)
    : mOut(out), mTally(planned), mStart(std::chrono::steady_clock::now()), mLastLine(mStart)
{
}

std::string Progress::size(uint64_t bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < (1u << 20))
        std::snprintf(text, sizeof text, "%.1f KiB", double(bytes) / 1024);
    else if (bytes < (1ull << 30))
        std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / (1 << 20));
    else
        std::snprintf(text, sizeof text, "%.2f GiB", double(bytes) / (1ull << 30));
    return text;
}

double Progress::rate() const
{
    const double s = secondsSince(mStart);
    return s > 0 ? double(mTally.written) / s : 0;
}

std::string Progress::status()
{
    mLastLine = std::chrono::steady_clock::now();
    std::string s = size(mTally.bytesDone) + " of " + size(mTally.bytes) + ", " + size(uint64_t(rate())) + "/s";
    const uint64_t left = mTally.bytes > mTally.bytesDone ? mTally.bytes - mTally.bytesDone : 0;
    if (rate() > 0)
        s += ", " + std::to_string(std::llround(double(left) / rate())) + " s left";
    return s;
}

void Progress::wrote(uint64_t n, const std::string &rel)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mTally.written += n;
    mTally.bytesDone += n;
    if (secondsSince(mLastLine) >= 1.0) {
        std::fprintf(mOut, "  ... %s: %s\n", rel.c_str(), status().c_str());
        std::fflush(mOut);
    }
}

void Progress::file(const std::string &rel, const std::string &what, bool ok, uint64_t passed)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mTally.bytesDone += passed;
    if (!ok)
        ++mTally.filesFailed;
    std::fprintf(mOut, "[%zu/%zu] %s %s | %s\n", mTally.mediaDone + mTally.mediaFailed + 1, mTally.media, rel.c_str(),
                 what.c_str(), status().c_str());
    std::fflush(mOut);
}

void Progress::medium(bool ok)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    ++(ok ? mTally.mediaDone : mTally.mediaFailed);
}

void Progress::summary(const std::string &stopped)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    const Tally &t = mTally;
    const size_t notDone = t.media - t.mediaDone;
    std::fprintf(mOut, "ztOffload: %zu of %zu media offloaded (%zu files copied, %zu already on DEST)", t.mediaDone,
                 t.media, t.copied, t.alreadyThere);
    if (notDone)
        std::fprintf(mOut, "; %zu not offloaded (%zu failed, %zu not reached): running again retries them", notDone,
                     t.mediaFailed, notDone - t.mediaFailed);
    std::fprintf(mOut, "; %s written in %.1f s (%s/s)\n", size(t.written).c_str(), secondsSince(mStart),
                 size(uint64_t(rate())).c_str());
    if (!stopped.empty())
        std::fprintf(mOut, "ztOffload: stopped early: %s\n", stopped.c_str());
    std::fflush(mOut);
}
