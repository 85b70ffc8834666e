// The offload manager's queue as the media checker uses it.
#include "checker/ztWirelessOffloadManager_if.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mqueue.h>

#include "platform/ztmsg.h"

int ztWom_interface_open()
{
    int mqd = ztmsg_open_wom_queue(O_RDWR);
    if (mqd == -1) {
        printf("mq_open() failed for '%s': %s\n", ZT_WOM_QUEUE_NAME, strerror(errno));
        return -1;
    }
    return mqd;
}

void ztWom_interface_close(int mqd)
{
    if (mqd != -1)
        mq_close(mqd);
}

int ztWom_interface_send(int mqd, uint32_t code)
{
    static const char kQueue[] = ZT_WOM_QUEUE_NAME;
    const uint32_t nameLen = sizeof kQueue - 1;  // the name travels without its terminator
    ztmsg_t msg{};
    msg.capacity = ZTMSG_DATA_MAX;
    uint32_t event = code;

    ztmsg_build(&msg, ZTMSG_KIND_EVENT, &event, sizeof event, ZTMSG_ID_WOM_EVENT);
    msg.length += sntlv_add_bin(msg.data, msg.capacity, ZTMSG_TAG_DEST_QUEUE, nameLen, kQueue);
    msg.length += sntlv_add_bin(msg.data, msg.capacity, ZTMSG_TAG_REPLY_QUEUE, nameLen, kQueue);
    msg.length += sntlv_add_dat(msg.data, msg.capacity, ZTMSG_TAG_END, nullptr, 0);
    return mq_send(mqd, reinterpret_cast<const char *>(msg.data), msg.length, 0) == 0 ? 1 : 0;
}
