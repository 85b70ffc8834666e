// Connection wrapper and the request/response exchange with bounded retries.
#include "libztMediaRTOSDB/client/dbTransport.h"

#include <sys/socket.h>
#include <sys/time.h>

#include "libztMediaRTOSDB/client/dbCommon.h"
#include "libztMediaRTOSDB/client/dbLog.h"

int dbOpenChannel(rtosConnection_t *pRtosConn)
{
    const int ret = ztIpcInit(RTOS_MEDIA_DB_CHANNEL, pRtosConn);
    if (ret < 0)
        DBLOG(DB_LOG_ERROR, "ztIpcInit fail, ret %d\n", ret);
    return ret < 0 ? ret : 0;
}

int rtosConnectionCtor(rtosConnection_t *pRtosConn) { return dbOpenChannel(pRtosConn) < 0 ? -1 : 0; }

int rtosConnectionDtor(rtosConnection_t *pRtosConn)
{
    DB_ASSERT(pRtosConn);
    return ztIpcDestroy(pRtosConn);
}

int rtosConnectionRecv(rtosConnection_t *pRtosConn, void *pDest, size_t szDest, int timeoutSec)
{
    DB_ASSERT(szDest);
    timeval tv = {};
    tv.tv_sec = timeoutSec > 0 ? timeoutSec : DB_TIMEOUT_FALLBACK_S;
    // A failure here leaves the previous time-out in force; the receive still reports its own.
    setsockopt(pRtosConn->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    int n = ztIpcReceiveInto(pRtosConn, pDest, szDest);
    dbTraceFrame(DB_DUMP_RECV, pDest, n);
    return n;
}

int rtosCall(rtosConnection_t *pRtosConn, const void *pRequest, size_t requestLen, void *pResponse, int retries,
             int timeoutSec)
{
    for (int attempt = 1;; ++attempt) {
        dbTraceFrame(DB_DUMP_SEND, pRequest, static_cast<int>(requestLen));
        int ret = ztIpcSend(pRtosConn, pRequest, requestLen);
        if (ret < 0) {
            dbPause();
            DBLOG(DB_LOG_ERROR, "error on IPC send, retrying, ret %d\n", ret);
        } else {
            int bytesRead = rtosConnectionRecv(pRtosConn, pResponse, DB_FRAME_MAX, timeoutSec);
            if (bytesRead >= 0)
                return bytesRead;
            dbPause();
            DBLOG(DB_LOG_ERROR, "error on IPC received, retrying, bytesRead %d\n", bytesRead);
        }
        if (attempt > retries)
            break;
    }
    DBLOG(DB_LOG_ERROR, "exhausted retries on IPC exchange, exiting\n");
    return -1;
}
