// The parent process of ztMediaHttpd: forks the worker, prints where it listens, and forks a new
// worker whenever the running one dies (a responder that aborts takes its worker with it).
// Forwards SIGTERM/SIGINT to the worker and exits when it has stopped. Single-threaded.
#ifndef ZT_HTTPD_SUPERVISOR_H
#define ZT_HTTPD_SUPERVISOR_H

#include "httpWorker.h"

// Returns the process exit status: 0 after a requested stop, 1 when no worker could start.
int superviseWorkers(HttpdOptions options);

#endif
