// /media/list of the largest generated card whose whole list still answers 200, through
// ztMediaHttpd on loopback, against a private ztMediaDBd:
//   httpd_list_largest_vs_raw_exchanges  one request on a keep-alive connection (median) against
//       the floor: the database exchanges the responder makes for it, recorded once and replayed
//       raw on connections opened as the responder's were (median); target <= 1.5; the responder
//       called in this process is shown beside them;
//   httpd_list_largest_8_connections     requests per second of 8 keep-alive connections for
//       5 s; target >= 150, and no request may fail.
// Floor and HTTP requests alternate, so that the machine's load drifts over both alike.
//   bench_httpd_list
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_support.h"
#include "tests/support/httpd_process.h"
#include "tests/support/mediadb_wire.h"
#include "ztMedia/ztMediaResponders.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSamples = 100;
constexpr int kConnections = 8;
constexpr std::chrono::seconds kLoadTime{5};

// One request of the responder and how many reply frames it took, grouped by the connection
// that carried them.
struct Exchange {
    Bytes request;
    size_t frames = 0;
};
std::vector<std::vector<Exchange>> gConnections;

size_t exchangeCount()
{
    size_t n = 0;
    for (const auto &c : gConnections)
        n += c.size();
    return n;
}

int recordInit(const char *name, rtosConnection_t *conn)
{
    gConnections.emplace_back();
    return ztIpcSocketOps()->init(name, conn);
}

int recordSend(rtosConnection_t *conn, const void *buf, size_t len)
{
    const auto *p = static_cast<const uint8_t *>(buf);
    if (!gConnections.empty())
        gConnections.back().push_back({Bytes(p, p + len), 0});
    return ztIpcSocketOps()->send(conn, buf, len);
}

int recordReceive(rtosConnection_t *conn, void *buf, size_t cap)
{
    const int n = ztIpcSocketOps()->receive(conn, buf, cap);
    if (n >= 0 && !gConnections.empty() && !gConnections.back().empty())
        ++gConnections.back().back().frames;
    return n;
}

void countBytes(void *context, const char *, size_t size) { *static_cast<size_t *>(context) += size; }

// The media list responder in this process; the exchanges it made when `record`. 0 for a 200.
int listInProcess(bool record, size_t *bytes)
{
    static const ztIpcOps recorder = {recordInit, recordSend, recordReceive, ztIpcSocketOps()->destroy};
    const ztMediaSink sink = {countBytes, bytes};
    *bytes = 0;
    if (record) {
        gConnections.clear();
        ztIpcSetOps(&recorder);
    }
    const int result = generateMediaListTo(&sink, nullptr, "");
    ztIpcSetOps(nullptr);
    return result;
}

bool listFits(size_t entries)
{
    ServerProcess server(generateCard(entries).json);
    size_t bytes = 0;
    return server.ok() && listInProcess(false, &bytes) == 0;
}

// The largest generated card, in steps of 50 entries, whose whole media list answers 200.
size_t largestFittingCard()
{
    size_t lo = 0, hi = 200;  // in steps: lo fits (0: none known), hi does not
    while (listFits(hi * 50))
        lo = hi, hi *= 2;
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        (listFits(mid * 50) ? lo : hi) = mid;
    }
    return lo * 50;
}

// The floor: the recorded exchanges on connections of their own, each opened as the responder's
// were, with no decoding of the replies.
bool replayFloor()
{
    const std::string path = ztIpcChannelPath(RTOS_MEDIA_DB_CHANNEL);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    uint8_t reply[DB_FRAME_MAX];
    for (const std::vector<Exchange> &c : gConnections) {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
        for (size_t i = 0; ok && i < c.size(); ++i) {
            ok = send(fd, c[i].request.data(), c[i].request.size(), MSG_NOSIGNAL) == ssize_t(c[i].request.size());
            for (size_t f = 0; ok && f < c[i].frames; ++f)
                ok = recv(fd, reply, sizeof reply, 0) >= 0;
        }
        if (fd >= 0)
            close(fd);
        if (!ok)
            return false;
    }
    return true;
}

// One keep-alive HTTP/1.1 connection to the loopback port.
class HttpConnection {
public:
    explicit HttpConnection(int port) : mFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (mFd >= 0 && connect(mFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            close(mFd);
            mFd = -1;
        }
    }
    ~HttpConnection()
    {
        if (mFd >= 0)
            close(mFd);
    }
    HttpConnection(const HttpConnection &) = delete;
    HttpConnection &operator=(const HttpConnection &) = delete;

    // GET of `path`: true when the whole response arrived with status 200.
    bool get(const char *path)
    {
        const std::string req = std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (mFd < 0 || send(mFd, req.data(), req.size(), MSG_NOSIGNAL) != ssize_t(req.size()))
            return false;
        size_t head;
        while ((head = mIn.find("\r\n\r\n")) == std::string::npos)
            if (!fill())
                return false;
        const size_t at = mIn.find("\r\nContent-Length: ");
        if (at == std::string::npos || at > head)
            return false;
        const size_t end = head + 4 + std::stoul(mIn.substr(at + 18));
        while (mIn.size() < end)
            if (!fill())
                return false;
        const bool ok = mIn.compare(0, 13, "HTTP/1.1 200 ") == 0;
        mIn.erase(0, end);
        return ok;
    }

private:
    bool fill()
    {
        char buf[65536];
        const ssize_t n = recv(mFd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        mIn.append(buf, size_t(n));
        return true;
    }

    int mFd;
    std::string mIn;
};

// Microseconds of one call of `fn`, or -1 when it failed.
template <class Fn>
double timeUs(Fn fn)
{
    const Clock::time_point t0 = Clock::now();
    return fn() ? std::chrono::duration<double, std::micro>(Clock::now() - t0).count() : -1;
}

// Requests per second of `kConnections` keep-alive connections; failures in *failed.
double loadRate(int port, long *failed)
{
    std::atomic<long> done{0}, bad{0};
    const Clock::time_point end = Clock::now() + kLoadTime;
    std::vector<std::thread> threads;
    threads.reserve(kConnections);
    for (int i = 0; i < kConnections; i++)
        threads.emplace_back([&] {
            HttpConnection c(port);
            while (Clock::now() < end)
                ++(c.get("/media/list") ? done : bad);
        });
    for (std::thread &t : threads)
        t.join();
    *failed = bad;
    return double(done) / std::chrono::duration<double>(kLoadTime).count();
}

}  // namespace

int main()
{
    const size_t entries = largestFittingCard();
    ServerProcess server(generateCard(entries).json);
    Httpd httpd;
    size_t bytes = 0;
    if (entries == 0 || !server.ok() || !httpd.ok() || listInProcess(true, &bytes) != 0) {
        std::fprintf(stderr, "bench_httpd_list: could not set up (%zu entries): %s\n", entries, server.error().c_str());
        return 1;
    }
    HttpConnection one(httpd.port());
    std::vector<double> floorUs, httpUs, inProcessUs;
    for (int i = 0; i < kSamples; i++) {
        floorUs.push_back(timeUs(replayFloor));
        inProcessUs.push_back(timeUs([] {
            size_t ignored;
            return listInProcess(false, &ignored) == 0;
        }));
        httpUs.push_back(timeUs([&] { return one.get("/media/list"); }));
        if (floorUs.back() < 0 || httpUs.back() < 0 || inProcessUs.back() < 0) {
            std::fprintf(stderr, "bench_httpd_list: a %s request failed\n", floorUs.back() < 0 ? "database" : "HTTP");
            return 1;
        }
    }
    const double floor = median(floorUs), http = median(httpUs), inProcess = median(inProcessUs);
    long failed = 0;
    const double rate = loadRate(httpd.port(), &failed);
    std::printf("/media/list of %zu entries (%zu B of JSON): %zu database exchanges on %zu connections, "
                "replayed raw %.0f us, the responder in-process %.0f us (%.2fx), through ztMediaHttpd %.0f us (%.2fx); "
                "%d connections: %.0f req/s, %ld failed\n",
                entries, bytes, exchangeCount(), gConnections.size(), floor, inProcess, inProcess / floor, http,
                http / floor, kConnections, rate, failed);
    benchfig::note("httpd_list_largest_card_entries", double(entries), "entries");
    benchfig::note("httpd_list_largest_exchanges", double(exchangeCount()), "exchanges");
    benchfig::note("httpd_list_largest_in_process", inProcess, "us", floor);
    benchfig::report("httpd_list_largest_vs_raw_exchanges", http, "us", floor, 1.5);
    benchfig::report("httpd_list_largest_8_connections", rate, "req/s", 1, 150, benchfig::Bound::AtLeast);
    benchfig::report("httpd_list_largest_failed_requests", double(failed), "requests", 1, 0);
    return benchfig::finish();
}
