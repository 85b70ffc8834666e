#include "copy_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <xxhash.h>

namespace {

constexpr size_t kChunk = 1 << 20;
constexpr int kVariants = 9;

struct HashState {
    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t *)> s{XXH3_createState(), XXH3_freeState};
    HashState() { XXH3_64bits_reset(s.get()); }
    void add(const char *p, size_t n) { XXH3_64bits_update(s.get(), p, n); }
    uint64_t value() const { return XXH3_64bits_digest(s.get()); }
};

// The checksum and length of everything fd holds; false on a read error.
bool hashWhole(int fd, std::vector<char> &buf, uint64_t *hash, uint64_t *length)
{
    HashState h;
    uint64_t off = 0;
    for (;;) {
        const ssize_t n = pread(fd, buf.data(), buf.size(), off_t(off));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        h.add(buf.data(), size_t(n));
        off += uint64_t(n);
    }
    *hash = h.value();
    *length = off;
    return true;
}

bool writeAll(int fd, const char *p, size_t n, uint64_t off)
{
    while (n > 0) {
        const ssize_t w = pwrite(fd, p, n, off_t(off));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
        off += uint64_t(w);
    }
    return true;
}

std::string variant(const std::string &name, int k)
{
    if (k == 1)
        return name;
    const size_t dot = name.rfind('.');
    const std::string stem = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot);
    return stem + "~" + std::to_string(k) + ext;
}

bool sameStat(const struct stat &a, const struct stat &b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

enum class Slot { Free, Same, Other, Unreadable };

// What DEST holds under `name` compared with the card file.
Slot probe(int destDir, const std::string &name, const CardFile &src, std::vector<char> &buf)
{
    struct stat st {};
    if (fstatat(destDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Slot::Free : Slot::Unreadable;
    if (!S_ISREG(st.st_mode) || st.st_size != src.opened().st_size)
        return Slot::Other;
    OwnedFd dest(openat(destDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    uint64_t hd = 0, hs = 0, ld = 0, ls = 0;
    if (dest.get() < 0 || !hashWhole(dest.get(), buf, &hd, &ld) || !hashWhole(src.fd(), buf, &hs, &ls))
        return Slot::Unreadable;
    return hd == hs && ld == ls ? Slot::Same : Slot::Other;
}

CopyResult fail(CopyResult r, CopyOutcome o, const std::string &what, int err)
{
    r.outcome = o;
    r.why = what + (err ? std::string(": ") + std::strerror(err) : "");
    return r;
}

// Copies into the open partial file `out` (continuing after what it holds). Leaves the outcome
// Copied, and the card's checksum and length in *hash and *length, when every byte is in.
CopyResult fillPartial(const CardFile &src, int out, CopyResult r, std::vector<char> &buf,
                       const std::function<void(uint64_t)> &onBytes, const volatile std::sig_atomic_t &stop,
                       uint64_t *hash, uint64_t *length)
{
    struct stat have {};
    if (fstat(out, &have) != 0 || !S_ISREG(have.st_mode))
        return fail(r, CopyOutcome::WriteFailed, "the partial file is not a regular file", 0);
    r.resumedAt = uint64_t(have.st_size) <= uint64_t(src.opened().st_size) ? uint64_t(have.st_size) : 0;
    if (r.resumedAt == 0 && have.st_size > 0 && ftruncate(out, 0) != 0)
        return fail(r, CopyOutcome::WriteFailed, "truncating the partial file", errno);
    posix_fadvise(src.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    HashState card;
    uint64_t off = 0;
    for (;;) {
        if (stop)
            return fail(r, CopyOutcome::Stopped, "stopped", 0);
        const ssize_t n = pread(src.fd(), buf.data(), buf.size(), off_t(off));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(r, CopyOutcome::ReadFailed, "reading the card", errno);
        if (n == 0)
            break;
        card.add(buf.data(), size_t(n));
        const uint64_t end = off + uint64_t(n);
        if (end > r.resumedAt) {
            const uint64_t from = off > r.resumedAt ? off : r.resumedAt;
            if (!writeAll(out, buf.data() + (from - off), size_t(end - from), from))
                return fail(r, destFullError(errno) ? CopyOutcome::DestFull : CopyOutcome::WriteFailed, "writing",
                            errno);
            // Start writing back now so the sync finds little left to do.
            sync_file_range(out, off_t(from), off_t(end - from), SYNC_FILE_RANGE_WRITE);
            r.written += end - from;
            onBytes(end - from);
        }
        off = end;
    }
    struct stat now {};
    if (fstat(src.fd(), &now) != 0 || !sameStat(now, src.opened()) || off != uint64_t(now.st_size))
        return fail(r, CopyOutcome::Changed, "the file changed on the card while it was copied", 0);
    *hash = card.value();
    *length = off;
    r.outcome = CopyOutcome::Copied;
    return r;
}

std::string partialName(const std::string &destName) { return "." + destName + ".part"; }

CopyOutcome syncFailure() { return destFullError(errno) ? CopyOutcome::DestFull : CopyOutcome::WriteFailed; }

}  // namespace

bool destFullError(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

OwnedFd::~OwnedFd()
{
    if (mFd >= 0)
        close(mFd);
}

OwnedFd &OwnedFd::operator=(OwnedFd &&o) noexcept
{
    if (this != &o) {
        if (mFd >= 0)
            close(mFd);
        mFd = o.mFd;
        o.mFd = -1;
    }
    return *this;
}

PendingCopy copyToPartial(const CardFile &src, OwnedFd destDir, const std::string &name,
                          const std::function<bool(const std::string &)> &taken,
                          const std::function<void(uint64_t)> &onBytes, const volatile std::sig_atomic_t &stop)
{
    PendingCopy p;
    p.dir = std::move(destDir);
    CopyResult &r = p.result;
    std::vector<char> buf(kChunk);
    for (int k = 1; k <= kVariants && r.destName.empty(); ++k) {
        const std::string v = variant(name, k);
        if (taken(v))
            continue;
        switch (probe(p.dir.get(), v, src, buf)) {
        case Slot::Same:
            r.destName = v;
            r.outcome = CopyOutcome::AlreadyThere;
            return p;
        case Slot::Free: r.destName = v; break;
        case Slot::Unreadable: r = fail(r, CopyOutcome::ReadFailed, "comparing with " + v, errno); return p;
        case Slot::Other: break;
        }
    }
    if (r.destName.empty()) {
        r = fail(r, CopyOutcome::NameTaken, name + " and its variants hold other files", 0);
        return p;
    }
    const std::string partial = partialName(r.destName);
    p.partial = OwnedFd(openat(p.dir.get(), partial.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (p.partial.get() < 0) {
        r = fail(r, syncFailure(), partial, errno);
        return p;
    }
    r = fillPartial(src, p.partial.get(), r, buf, onBytes, stop, &p.cardHash, &p.length);
    if (r.outcome == CopyOutcome::Changed)
        unlinkat(p.dir.get(), partial.c_str(), 0);  // its bytes are no base for the next attempt
    return p;
}

void makeDurable(PendingCopy &p)
{
    CopyResult &r = p.result;
    if (r.outcome == CopyOutcome::AlreadyThere) {
        const OwnedFd there(openat(p.dir.get(), r.destName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (there.get() < 0 || fsync(there.get()) != 0)
            r = fail(r, syncFailure(), "syncing " + r.destName, errno);
        return;
    }
    if (r.outcome != CopyOutcome::Copied)
        return;
    if (fsync(p.partial.get()) != 0) {
        r = fail(r, syncFailure(), "syncing", errno);
        return;
    }
    // Read back what the file system returns for the synced file. Dropping the cache first to
    // re-read the medium itself doubled the disk traffic and halved the copy rate.
    std::vector<char> buf(kChunk);
    uint64_t back = 0, backLength = 0;
    if (!hashWhole(p.partial.get(), buf, &back, &backLength)) {
        r = fail(r, CopyOutcome::WriteFailed, "reading the copy back", errno);
    } else if (back != p.cardHash || backLength != p.length) {
        r = fail(r, CopyOutcome::Mismatch, "the copy read back differs from the card", 0);
        unlinkat(p.dir.get(), partialName(r.destName).c_str(), 0);  // its bytes are no base for the next attempt
    }
}

void putInPlace(PendingCopy &p)
{
    CopyResult &r = p.result;
    if (r.outcome != CopyOutcome::Copied)
        return;
    p.partial = OwnedFd();
    if (renameat2(p.dir.get(), partialName(r.destName).c_str(), p.dir.get(), r.destName.c_str(), RENAME_NOREPLACE) != 0)
        r = fail(r, CopyOutcome::WriteFailed, "renaming into place", errno);
}
