// The supervisor's check that the worker still answers: one HTTP request to the worker's own
// address, answered at all (any status) within a deadline. A stopped or wedged worker fails it.
#ifndef ZT_HTTPD_HEARTBEAT_H
#define ZT_HTTPD_HEARTBEAT_H

#include "httpWorker.h"

// True when a status line came back from the worker listening per `options` within `timeoutMs`.
bool workerAnswers(const HttpdOptions &options, int timeoutMs);

#endif
