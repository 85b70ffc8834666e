// The serving process of ztMediaHttpd: libmicrohttpd on the given address, the media routes and the
// browser page. Runs until SIGTERM/SIGINT; the supervisor (supervisor.h) restarts it if it dies.
#ifndef ZT_HTTPD_HTTP_WORKER_H
#define ZT_HTTPD_HTTP_WORKER_H

#include <string>

struct HttpdOptions {
    int port = -1;
    std::string bind = "127.0.0.1";  // IPv4 only (the Host check compares dotted addresses)
    std::string root;                // empty: the embedded page
    std::string card;                // empty: no card files served
};

// Exit codes of the worker process.
enum : int {
    WORKER_STOPPED = 0,       // asked to stop
    WORKER_START_FAILED = 2,  // could not listen or set up; restarting would not help
};

// "ADDRESS:PORT" of the options (a URL's host part).
std::string hostPort(const HttpdOptions &options);

// Serves until asked to stop. Once listening, writes the bound port as decimal text and a
// newline to `readyFd` and closes it. Returns one of the exit codes above.
int runWorker(const HttpdOptions &options, int readyFd);

#endif
