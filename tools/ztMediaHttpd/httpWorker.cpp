// See httpWorker.h. libmicrohttpd's event loop owns every connection, so an idle, slow or
// non-reading client costs a socket and a little memory, never a thread. A media request is
// suspended while a pool thread runs its responder, and resumed with the answer.
#include "httpWorker.h"

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include <microhttpd.h>

#include "cardRoutes.h"
#include "logLimit.h"
#include "mediaRoutes.h"
#include "requestPolicy.h"
#include "responderPool.h"
#include "staticPage.h"

namespace {

// Limits of the engine (see docs/httpd.md for how they were chosen).
const unsigned kMaxConnections = 1000;    // below the descriptor limit of 1024
const unsigned kMaxPerClient = 256;       // one address cannot take every connection
const unsigned kIdleSeconds = 10;         // a connection without progress is closed
const size_t kRequestMemory = 32 * 1024;  // request line and headers of one request
const size_t kResponderThreads = 64;      // responders waiting on the database at once
const size_t kQueuedResponders = 1024;    // beyond that, 503

struct Worker {
    ResponderPool pool{kResponderThreads, kQueuedResponders};
    StaticPage page;
    CardFolder card;
};

// One request from its request line to its end: the target as sent, and the answer once a
// pool thread has made it (`done` publishes it to the event loop).
struct Request {
    explicit Request(const char *sent) : target(sent) {}
    std::string target;
    bool started = false;
    std::atomic<bool> done{false};
    HttpAnswer answer;

    ~Request()
    {
        if (answer.fileFd >= 0)  // answered before it could be sent
            close(answer.fileFd);
    }

    const char *query() const
    {
        size_t mark = target.find('?');
        return mark == std::string::npos ? "" : target.c_str() + mark + 1;
    }
};

void *onRequestLine(void *, const char *uri, MHD_Connection *) { return new Request(uri ? uri : ""); }

void onCompleted(void *, MHD_Connection *, void **context, MHD_RequestTerminationCode)
{
    delete static_cast<Request *>(*context);
    *context = nullptr;
}

void engineLog(void *, const char *format, va_list ap) { logLineV(format, ap); }

// The engine's response for `a`; a file answer's descriptor passes to it.
MHD_Response *makeResponse(HttpAnswer &a)
{
    if (a.fileFd < 0)
        return MHD_create_response_from_buffer(a.body.size(), const_cast<char *>(a.body.data()), MHD_RESPMEM_MUST_COPY);
    MHD_Response *response = MHD_create_response_from_fd_at_offset64(a.fileLength, a.fileFd, a.fileOffset);
    if (response)
        a.fileFd = -1;
    return response;
}

MHD_Result queueAnswer(MHD_Connection *conn, HttpAnswer &&answer)
{
    HttpAnswer a = std::move(answer);
    MHD_Response *response = makeResponse(a);
    if (!response) {
        if (a.fileFd >= 0)
            close(a.fileFd);
        return MHD_NO;
    }
    for (const auto &h : a.headers)
        MHD_add_response_header(response, h.first.c_str(), h.second.c_str());
    MHD_Result queued = MHD_queue_response(conn, (unsigned)a.status, response);
    MHD_destroy_response(response);
    return queued;
}

// The address and port the client connected to, as the Host check compares them.
void localEnd(MHD_Connection *conn, RequestView *view)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(conn, MHD_CONNECTION_INFO_CONNECTION_FD);
    sockaddr_in local;
    socklen_t size = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    if (!info || getsockname(info->connect_fd, (sockaddr *)&local, &size) != 0 || local.sin_family != AF_INET ||
        !inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
        return;
    view->address = text;
    view->port = ntohs(local.sin_port);
}

HttpAnswer refusalAnswer(int status)
{
    HttpAnswer a = textAnswer(status, status == 405   ? "Only GET is served\n"
                                      : status == 400 ? "Protocol upgrades are not served\n"
                                                      : "Writes only from this server's own pages\n");
    if (status == 405)
        a.headers.emplace_back("Allow", "GET");
    return a;
}

// Hands the work of an answer that may block (a responder, a card file) to a pool thread; the
// connection sleeps until the answer is there.
MHD_Result startResponder(Worker *worker, MHD_Connection *conn, Request *req, std::function<HttpAnswer()> work)
{
    MHD_suspend_connection(conn);
    bool queued = worker->pool.submit([conn, req, work = std::move(work)] {
        req->answer = work();
        req->done.store(true, std::memory_order_release);
        MHD_resume_connection(conn);
    });
    if (queued)
        return MHD_YES;
    MHD_resume_connection(conn);
    logLine("too many media requests at once, answering 503");
    return queueAnswer(conn, textAnswer(503, "Busy\n"));
}

// Called when the headers are in (answered nothing: an answer queued before the request is read
// to its end would close the connection), once per piece of body (dropped: GET has none), and
// once at the end, where the request is answered; after a resume, once more with the answer.
MHD_Result handleRequest(void *cls, MHD_Connection *conn, const char *url, const char *method, const char *,
                         const char *, size_t *uploadSize, void **context)
{
    Worker *worker = static_cast<Worker *>(cls);
    Request *req = static_cast<Request *>(*context);
    if (req->done.load(std::memory_order_acquire))
        return queueAnswer(conn, std::move(req->answer));
    if (!req->started || *uploadSize != 0) {
        req->started = true;
        *uploadSize = 0;
        return MHD_YES;
    }
    const MediaRoute *route = findMediaRoute(url);
    RequestView view;
    view.method = method;
    view.upgrade = MHD_lookup_connection_value(conn, MHD_HEADER_KIND, MHD_HTTP_HEADER_UPGRADE);
    view.host = MHD_lookup_connection_value(conn, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
    view.origin = MHD_lookup_connection_value(conn, MHD_HEADER_KIND, "Origin");
    view.writes = route && writesState(*route, req->query());
    if (view.writes)
        localEnd(conn, &view);
    if (int refused = refusalOf(view))
        return queueAnswer(conn, refusalAnswer(refused));
    if (route)
        return startResponder(worker, conn, req, [req, route] { return runMediaRoute(*route, req->query()); });
    if (isCardRoute(url)) {
        const char *range = MHD_lookup_connection_value(conn, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE);
        const bool hasRange = range != nullptr;
        std::string path = url, header = hasRange ? range : "";
        return startResponder(worker, conn, req, [worker, path, header, hasRange] {
            return serveCardRoute(worker->card, path.c_str(), hasRange ? header.c_str() : nullptr);
        });
    }
    return queueAnswer(conn, worker->page.serve(url));
}

bool parseBind(const HttpdOptions &o, sockaddr_in *addr)
{
    memset(addr, 0, sizeof *addr);
    addr->sin_family = AF_INET;
    addr->sin_port = htons((uint16_t)o.port);
    return inet_pton(AF_INET, o.bind.c_str(), &addr->sin_addr) == 1;
}

MHD_Daemon *startEngine(Worker *worker, const sockaddr_in &addr)
{
    const unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_INTERNAL_POLLING_THREAD | MHD_ALLOW_SUSPEND_RESUME |
                           MHD_USE_SUPPRESS_DATE_NO_CLOCK | MHD_USE_ERROR_LOG;
    return MHD_start_daemon(flags, ntohs(addr.sin_port), nullptr, nullptr, handleRequest, worker,
                            MHD_OPTION_EXTERNAL_LOGGER, engineLog, nullptr,  // first, so every engine message uses it
                            MHD_OPTION_SOCK_ADDR, &addr, MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
                            MHD_OPTION_PER_IP_CONNECTION_LIMIT, kMaxPerClient, MHD_OPTION_CONNECTION_TIMEOUT,
                            kIdleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kRequestMemory,
                            MHD_OPTION_URI_LOG_CALLBACK, onRequestLine, nullptr, MHD_OPTION_NOTIFY_COMPLETED,
                            onCompleted, nullptr, MHD_OPTION_END);
}

bool reportPort(MHD_Daemon *daemon, int readyFd)
{
    const MHD_DaemonInfo *info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    if (!info)
        return false;
    std::string line = std::to_string(info->port) + "\n";
    bool ok = write(readyFd, line.data(), line.size()) == (ssize_t)line.size();
    close(readyFd);
    return ok;
}

}  // namespace

std::string hostPort(const HttpdOptions &o) { return o.bind + ":" + std::to_string(o.port); }

int runWorker(const HttpdOptions &options, int readyFd)
{
    limitResponderLog();
    Worker worker;
    std::string why;
    sockaddr_in addr;
    if (!parseBind(options, &addr) || (!options.root.empty() && !worker.page.openRoot(options.root, &why)) ||
        (!options.card.empty() && !worker.card.open(options.card, &why))) {
        logLine("%s", why.empty() ? "bad --bind address" : why.c_str());
        return WORKER_START_FAILED;
    }
    signal(SIGPIPE, SIG_IGN);  // a client that went away is an error return, not a death
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // the engine's and the pool's threads inherit it

    MHD_Daemon *daemon = startEngine(&worker, addr);
    if (!daemon) {
        logLine("cannot listen on %s", hostPort(options).c_str());
        return WORKER_START_FAILED;
    }
    if (!reportPort(daemon, readyFd)) {
        logLine("cannot report the listening port");
        MHD_stop_daemon(daemon);
        return WORKER_START_FAILED;
    }
    int sig = 0;
    sigwait(&stop, &sig);
    MHD_quiesce_daemon(daemon);
    // A responder still waiting on the database keeps its connection suspended, and the engine
    // cannot stop under it: then the process ends without the orderly stop.
    if (worker.pool.drain(2000))
        MHD_stop_daemon(daemon);
    else
        _exit(WORKER_STOPPED);
    return WORKER_STOPPED;
}
