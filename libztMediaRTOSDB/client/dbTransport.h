// The transport to the media database: one connection per command on the channel
// "rtos_media_db", one request frame out and one response frame back, with bounded retries.
// The caller owns the connection record (on its stack) and every buffer; nothing is kept between
// calls. Re-entrant: calls on different connections may run on different threads.
//
// The commands reach it through DbExchange (dbExchange.h), which adds the checks of the reply.
#ifndef ZT_DB_TRANSPORT_H
#define ZT_DB_TRANSPORT_H

#include <cstddef>
#include <cstdint>

#include "ztMedia/dbProtocol.h"
#include "platform/ztipc.h"

// Retry policies of the callers of rtosCall (attempts = 1 + retries).
enum : int {
    DB_RETRIES_NONE = 0,      // histogram, list query
    DB_RETRIES_DEFAULT = 10,  // status writes, scan, the response family, metadata upload
};
// Receive time-outs in seconds; 0 asks for the default of 30 s.
enum : int {
    DB_TIMEOUT_DEFAULT_S = 0,
    DB_TIMEOUT_FALLBACK_S = 30,  // what 0 means
    DB_TIMEOUT_LONG_S = 900,     // histogram, list query
};
// Pause after a failed send or receive and after a refused or short response.
constexpr unsigned DB_RETRY_PAUSE_US = 100000;

static_assert(DB_FRAME_MAX == ZT_IPC_FRAME_MAX, "the client and the platform agree on frames");

// Opens the channel "rtos_media_db" into the zero-filled record. 0, or the platform's negative
// result after logging "ztIpcInit fail, ret %d\n" (level 2) with it.
int dbOpenChannel(rtosConnection_t *pRtosConn);
// dbOpenChannel with -1 for every failure.
int rtosConnectionCtor(rtosConnection_t *pRtosConn);
// Closes a connection that rtosConnectionCtor opened. A null record is a programming error
// (assertion "pRtosConn"). Returns the platform's result (0).
int rtosConnectionDtor(rtosConnection_t *pRtosConn);
// Sets SO_RCVTIMEO to `timeoutSec` seconds (0 means 30) and receives one frame of at most
// `szDest` bytes into `pDest`. Returns the byte count, or a negative value on failure or
// time-out. szDest 0 is a programming error (assertion "szDest"). Dumps the frame at level 6.
int rtosConnectionRecv(rtosConnection_t *pRtosConn, void *pDest, size_t szDest, int timeoutSec);
// One exchange: sends the request and receives one response frame into `pResponse`, which must
// hold DB_FRAME_MAX bytes. On a failed send or receive: pause 100 ms, log, and try again whole,
// up to `retries` more times. Returns the response's byte count (0 or more; the header is not
// checked here), or -1 after "exhausted retries on IPC exchange, exiting\n".
int rtosCall(rtosConnection_t *pRtosConn, const void *pRequest, size_t requestLen, void *pResponse, int retries,
             int timeoutSec);

#endif
