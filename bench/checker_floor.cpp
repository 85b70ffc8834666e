// The floor for bench/checker_latency: the least a program can do for the media check. It
// connects to the media database, makes one histogram exchange and sends one event on /to_wom,
// with raw system calls and nothing else, then exits. Not a benchmark by itself.
#include <fcntl.h>
#include <mqueue.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ztMedia/dbProtocol.h"
#include "platform/ztmsg.h"

int main()
{
    const char *dir = getenv("ZT_IPC_DIR");
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s/%s", dir && *dir ? dir : "/tmp/ztipc", RTOS_MEDIA_DB_CHANNEL);
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        perror("checker_floor: connect");
        return 1;
    }
    db_request_header req{DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, 1, 0};
    db_histogram_response resp{};
    if (send(fd, &req, sizeof req, 0) != sizeof req || recv(fd, &resp, sizeof resp, 0) < 20) {
        perror("checker_floor: exchange");
        return 1;
    }
    close(fd);
    uint32_t code = resp.histogram[0] || resp.histogram[3] ? 24 : 23;

    ztmsg_t msg{};
    msg.capacity = ZTMSG_DATA_MAX;
    ztmsg_build(&msg, ZTMSG_KIND_EVENT, &code, sizeof code, ZTMSG_ID_WOM_EVENT);
    msg.length += sntlv_add_bin(msg.data, msg.capacity, ZTMSG_TAG_DEST_QUEUE, 7, ZT_WOM_QUEUE_NAME);
    msg.length += sntlv_add_bin(msg.data, msg.capacity, ZTMSG_TAG_REPLY_QUEUE, 7, ZT_WOM_QUEUE_NAME);
    msg.length += sntlv_add_dat(msg.data, msg.capacity, ZTMSG_TAG_END, nullptr, 0);
    mqd_t q = mq_open(ZT_WOM_QUEUE_NAME, O_WRONLY);
    if (q == (mqd_t)-1 || mq_send(q, reinterpret_cast<char *>(msg.data), msg.length, 0) != 0) {
        perror("checker_floor: mq_send");
        return 1;
    }
    mq_close(q);
    return 0;
}
