// The camera's inter-processor message channel, stood in by SOCK_SEQPACKET Unix sockets at
// $ZT_IPC_DIR/<channel> (default /tmp/ztipc): one packet is one frame. Client side for the
// library, listening side for the server. Callers own every record and buffer they pass in.
// Calls on different connections may run on different threads; the test seam (ztIpcSetOps) is
// process-wide and meant to be set while no exchange runs.
#ifndef ZT_PLATFORM_ZTIPC_H
#define ZT_PLATFORM_ZTIPC_H

#include <cstddef>
#include <string>

// Largest frame either side sends; a receive buffer of this size holds any frame.
constexpr size_t ZT_IPC_FRAME_MAX = 1500;
// Directory of the channel sockets when ZT_IPC_DIR is unset or empty.
#define ZT_IPC_DEFAULT_DIR "/tmp/ztipc"
// Receive time-out (seconds) of a new channel, until its caller sets its own SO_RCVTIMEO.
constexpr int ZT_IPC_DEFAULT_RCV_TIMEOUT_S = 30;

// One open channel. The library zero-fills it before ztIpcInit and reads only `fd`.
struct rtosConnection_t {
    int fd;         // the connected socket descriptor; must stay the first member
    int connected;  // 1 between a successful ztIpcInit and ztIpcDestroy
    char channel[64];
};

// Connects to the channel `name`, with a receive time-out of ZT_IPC_DEFAULT_RCV_TIMEOUT_S. 0 on success; negative
// (-errno) on failure, with the record left unconnected.
int ztIpcInit(const char *name, rtosConnection_t *conn);
// Sends one frame of `len` bytes (at most ZT_IPC_FRAME_MAX). Bytes sent, or negative (-errno).
int ztIpcSend(rtosConnection_t *conn, const void *buf, size_t len);
// Receives one frame into `buf`, which must hold ZT_IPC_FRAME_MAX bytes. Honours the socket's
// SO_RCVTIMEO. Bytes received (>= 1), or negative (-errno): -EAGAIN on time-out, -ECONNRESET when
// the peer closed or sent a zero-length frame (the two look the same on this transport), -EMSGSIZE when the frame was
// larger than the buffer (the frame is dropped).
int ztIpcReceive(rtosConnection_t *conn, void *buf);
// As ztIpcReceive with an explicit capacity; frames larger than `cap` fail with -EMSGSIZE.
int ztIpcReceiveInto(rtosConnection_t *conn, void *buf, size_t cap);
// Closes the channel; harmless on a record that is not connected. 0, or -EINVAL for null.
int ztIpcDestroy(rtosConnection_t *conn);

// --- Server side --------------------------------------------------------------------------
// The directory of the channel sockets: $ZT_IPC_DIR when set and non-empty, else the default.
std::string ztIpcDir();
// The socket path of channel `name`.
std::string ztIpcChannelPath(const char *name);
// The file where the media database server publishes the card identifier ($ZT_IPC_DIR/card_id).
std::string ztIpcCardIdPath();
// Creates the directory (mode 0700) when missing and refuses it when it is a symbolic link, not
// a directory, owned by another user or writable by group or others; removes a stale socket file
// and listens on channel `name` (SOCK_SEQPACKET, close-on-exec, mode 0600 whatever the umask). Returns the listening
// descriptor, or -1 with `*err` set to a message naming the operation, the path and the system error
// ("bind /tmp/ztipc/rtos_media_db: Address already in use").
int ztIpcListen(const char *name, std::string *err);
// Replaces the file `name` in the (safe) channel directory by `text`: written to a new temporary
// file, then renamed into place, so a link planted at that name is replaced, never followed.
// False with `*err` set on failure.
bool ztIpcWriteFile(const char *name, const std::string &text, std::string *err);

// --- Test seam ------------------------------------------------------------------------------
// Every client call goes through this table, so a test can script failures without a server.
struct ztIpcOps {
    int (*init)(const char *name, rtosConnection_t *conn);
    int (*send)(rtosConnection_t *conn, const void *buf, size_t len);
    int (*receive)(rtosConnection_t *conn, void *buf, size_t cap);
    int (*destroy)(rtosConnection_t *conn);
};
// The socket implementation (what a wrapper should forward to).
const ztIpcOps *ztIpcSocketOps();
// Installs `ops` (null restores the socket implementation); returns the previous table.
const ztIpcOps *ztIpcSetOps(const ztIpcOps *ops);

#endif
