// See httpWorker.h. No document_root is given to civetweb: every request reaches the one
// callback below, which knows the three routes and the page and answers 404 to everything else.
#include "httpWorker.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include <civetweb.h>

#include "cardRoutes.h"
#include "mediaRoutes.h"
#include "staticPage.h"

namespace {

struct Worker {
    ResponseCapture capture;
    StaticPage page;
    CardFolder card;
};

// civetweb's begin_request: every request, answered here in full (the status returned).
int handleRequest(mg_connection *conn)
{
    Worker *worker = static_cast<Worker *>(mg_get_user_data(mg_get_context(conn)));
    const mg_request_info *ri = mg_get_request_info(conn);
    if (strcmp(ri->request_method, "GET") != 0) {
        mg_send_http_error(conn, 405, "%s", "Only GET is served\n");
        return 405;
    }
    int status = serveMediaRoute(worker->capture, conn, ri->local_uri, ri->query_string);
    if (!status)
        status = serveCardRoute(worker->card, conn, ri->local_uri);
    return status ? status : worker->page.serve(conn, ri->local_uri);
}

int logMessage(const mg_connection *, const char *message)
{
    fprintf(stderr, "ztMediaHttpd: %s\n", message);
    return 1;
}

bool reportPort(mg_context *ctx, int readyFd)
{
    mg_server_port ports[1];
    if (mg_get_server_ports(ctx, 1, ports) != 1)
        return false;
    std::string line = std::to_string(ports[0].port) + "\n";
    bool ok = write(readyFd, line.data(), line.size()) == (ssize_t)line.size();
    close(readyFd);
    return ok;
}

} // namespace

std::string hostPort(const HttpdOptions &o)
{
    return o.bind + ":" + std::to_string(o.port);
}

int runWorker(const HttpdOptions &options, int readyFd)
{
    Worker worker;
    std::string why;
    if ((!options.root.empty() && !worker.page.openRoot(options.root, &why)) ||
        (!options.card.empty() && !worker.card.open(options.card, &why)) ||
        !worker.capture.install(&why)) {
        fprintf(stderr, "ztMediaHttpd: %s\n", why.c_str());
        return WORKER_START_FAILED;
    }
    signal(SIGPIPE, SIG_IGN);   // a client that went away is an error return, not a death
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);   // civetweb's threads inherit the mask

    std::string ports = hostPort(options);
    // Threads >= the connections a client keeps open (a keep-alive connection holds a thread).
    const char *config[] = {
        "listening_ports", ports.c_str(), "num_threads", "16", "enable_keep_alive", "yes",
        "keep_alive_timeout_ms", "5000", "request_timeout_ms", "10000", "tcp_nodelay", "1",
        nullptr,
    };
    mg_callbacks callbacks;
    memset(&callbacks, 0, sizeof(callbacks));
    callbacks.log_message = logMessage;
    callbacks.begin_request = handleRequest;   // set before start: no request finds it missing
    mg_init_library(0);
    mg_context *ctx = mg_start(&callbacks, &worker, config);
    if (!ctx) {
        fprintf(stderr, "ztMediaHttpd: cannot listen on %s\n", ports.c_str());
        return WORKER_START_FAILED;
    }
    if (!reportPort(ctx, readyFd)) {
        fprintf(stderr, "ztMediaHttpd: cannot report the listening port\n");
        mg_stop(ctx);
        return WORKER_START_FAILED;
    }
    int sig = 0;
    sigwait(&stop, &sig);
    mg_stop(ctx);
    mg_exit_library();
    return WORKER_STOPPED;
}
