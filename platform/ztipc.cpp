// Unix-socket stand-in for the camera's IPC library. Client calls dispatch through a replaceable
// table so tests can script failures; the socket functions below are the real implementation.
#include "platform/ztipc.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

int negErrno() { return errno ? -errno : -EIO; }

// Fills a sockaddr_un for `path`; false when the path does not fit.
bool makeAddress(const std::string &path, sockaddr_un *addr)
{
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof addr->sun_path)
        return false;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

int socketInit(const char *name, rtosConnection_t *conn)
{
    if (!name || !*name || !conn)
        return -EINVAL;
    conn->fd = -1;
    conn->connected = 0;
    sockaddr_un addr;
    if (!makeAddress(ztIpcChannelPath(name), &addr))
        return -ENAMETOOLONG;
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return negErrno();
    int rc;
    do {
        rc = connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        int err = negErrno();
        close(fd);
        return err;
    }
    // A lost reply must fail the caller eventually, even one that sets no time-out of its own.
    timeval tv{ZT_IPC_DEFAULT_RCV_TIMEOUT_S, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    conn->fd = fd;
    conn->connected = 1;
    std::strncpy(conn->channel, name, sizeof conn->channel - 1);
    conn->channel[sizeof conn->channel - 1] = '\0';
    return 0;
}

int socketSend(rtosConnection_t *conn, const void *buf, size_t len)
{
    if (!conn || (!buf && len))
        return -EINVAL;
    if (!conn->connected)
        return -ENOTCONN;
    if (len > ZT_IPC_FRAME_MAX)
        return -EMSGSIZE;
    ssize_t n;
    do {
        n = send(conn->fd, buf, len, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? negErrno() : static_cast<int>(n);
}

int socketReceive(rtosConnection_t *conn, void *buf, size_t cap)
{
    if (!conn || !buf || cap == 0)
        return -EINVAL;
    if (!conn->connected)
        return -ENOTCONN;
    ssize_t n;
    // MSG_TRUNC reports the whole packet's length, so an oversized frame is caught, not cut.
    do {
        n = recv(conn->fd, buf, cap, MSG_TRUNC);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return (errno == EWOULDBLOCK) ? -EAGAIN : negErrno();
    if (n == 0)
        return -ECONNRESET;  // orderly shutdown by the peer
    if (static_cast<size_t>(n) > cap)
        return -EMSGSIZE;
    return static_cast<int>(n);
}

int socketDestroy(rtosConnection_t *conn)
{
    if (!conn)
        return -EINVAL;
    if (conn->connected)
        close(conn->fd);
    conn->fd = -1;
    conn->connected = 0;
    return 0;
}

const ztIpcOps kSocketOps = {socketInit, socketSend, socketReceive, socketDestroy};
std::atomic<const ztIpcOps *> gOps{&kSocketOps};

// mkdir -p, the last component with mode 0700, parents 0755 at most; false with errno set.
bool makeDirs(const std::string &dir)
{
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        std::string part = dir.substr(0, pos);
        bool last = pos == dir.size() || dir.find_first_not_of('/', pos) == std::string::npos;
        if (mkdir(part.c_str(), last ? 0700 : 0755) < 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// Sets "<op> <path>: <system error>" and returns false.
bool setError(std::string *err, const char *op, const std::string &path, int code)
{
    if (err)
        *err = std::string(op) + " " + path + ": " + std::strerror(code);
    return false;
}

int fail(std::string *err, const char *op, const std::string &path, int code)
{
    setError(err, op, path, code);
    return -1;
}

// A socket file nobody listens on is left over from a dead server: remove it. A live one or a
// file that is not a socket is an error.
bool clearStaleSocket(const std::string &path, const sockaddr_un &addr, std::string *err)
{
    struct stat st;
    if (lstat(path.c_str(), &st) < 0)
        return errno == ENOENT || setError(err, "stat", path, errno);
    if (!S_ISSOCK(st.st_mode))
        return setError(err, "listen", path, EEXIST);
    int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return setError(err, "socket", path, errno);
    bool live = connect(probe, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    close(probe);
    if (live)
        return setError(err, "bind", path, EADDRINUSE);
    if (unlink(path.c_str()) < 0 && errno != ENOENT)
        return setError(err, "unlink", path, errno);
    return true;
}

// Another user who can write the channel directory can plant links or sockets in it, so it is
// used only when it is a real directory of ours that nobody else can write.
bool checkDirSafe(const std::string &dir, std::string *err)
{
    struct stat st;
    if (lstat(dir.c_str(), &st) < 0)
        return setError(err, "stat", dir, errno);
    std::string why;
    if (S_ISLNK(st.st_mode))
        why = "is a symbolic link";
    else if (!S_ISDIR(st.st_mode))
        why = "is not a directory";
    else if (st.st_uid != geteuid())
        why = "is owned by uid " + std::to_string(st.st_uid) + ", not by this user (uid " + std::to_string(geteuid()) +
              ")";
    else if (st.st_mode & (S_IWGRP | S_IWOTH))
        why = "is writable by group or others";
    if (why.empty())
        return true;
    if (err)
        *err = "channel directory " + dir + " " + why + "; refusing to use it";
    return false;
}

}  // namespace

int ztIpcInit(const char *name, rtosConnection_t *conn) { return gOps.load()->init(name, conn); }

int ztIpcSend(rtosConnection_t *conn, const void *buf, size_t len) { return gOps.load()->send(conn, buf, len); }

int ztIpcReceive(rtosConnection_t *conn, void *buf) { return gOps.load()->receive(conn, buf, ZT_IPC_FRAME_MAX); }

int ztIpcReceiveInto(rtosConnection_t *conn, void *buf, size_t cap) { return gOps.load()->receive(conn, buf, cap); }

int ztIpcDestroy(rtosConnection_t *conn) { return gOps.load()->destroy(conn); }

const ztIpcOps *ztIpcSocketOps() { return &kSocketOps; }

const ztIpcOps *ztIpcSetOps(const ztIpcOps *ops) { return gOps.exchange(ops ? ops : &kSocketOps); }

std::string ztIpcDir()
{
    const char *dir = std::getenv("ZT_IPC_DIR");
    return (dir && *dir) ? std::string(dir) : std::string(ZT_IPC_DEFAULT_DIR);
}

std::string ztIpcChannelPath(const char *name) { return ztIpcDir() + "/" + (name ? name : ""); }

std::string ztIpcCardIdPath() { return ztIpcDir() + "/card_id"; }

int ztIpcListen(const char *name, std::string *err)
{
    if (!name || !*name || std::strchr(name, '/'))
        return fail(err, "listen", name ? name : "(null)", EINVAL);
    std::string dir = ztIpcDir();
    if (!makeDirs(dir))
        return fail(err, "mkdir", dir, errno);
    if (!checkDirSafe(dir, err))
        return -1;
    std::string path = ztIpcChannelPath(name);
    sockaddr_un addr;
    if (!makeAddress(path, &addr))
        return fail(err, "bind", path, ENAMETOOLONG);
    if (!clearStaleSocket(path, addr, err))
        return -1;
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(err, "socket", path, errno);
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0) {
        int code = errno;
        close(fd);
        return fail(err, "bind", path, code);
    }
    // bind() honours the umask; nobody can connect before listen(), so this leaves no window.
    if (chmod(path.c_str(), 0600) < 0 || listen(fd, SOMAXCONN) < 0) {
        int code = errno;
        close(fd);
        unlink(path.c_str());
        return fail(err, "listen", path, code);
    }
    return fd;
}

bool ztIpcWriteFile(const char *name, const std::string &text, std::string *err)
{
    std::string dir = ztIpcDir(), path = ztIpcChannelPath(name);
    if (!checkDirSafe(dir, err))
        return false;
    std::string tmp = path + ".XXXXXX";
    int fd = mkostemp(&tmp[0], O_CLOEXEC);  // a new file of ours: follows no planted link
    if (fd < 0)
        return setError(err, "create", tmp, errno);
    bool ok = fchmod(fd, 0644) == 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    int code = errno;
    ok = (close(fd) == 0) && ok;
    // rename() replaces a link at `path` itself, never what it points to.
    if (ok && rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    code = ok ? errno : code;
    unlink(tmp.c_str());
    return setError(err, "write", path, code ? code : EIO);
}
