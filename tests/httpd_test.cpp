// ztMediaHttpd through a real HTTP client (curl) against a private ztMediaDBd on the sample card:
// the responders' bytes arrive as ztMediaCGI prints them, keep-alive holds, only the routes and
// the page are served, a slow database or hostile connections hold no one else up, and a worker
// that aborts or stops answering is replaced.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/httpd_process.h"
#include "tests/support/run_command.h"
#include "tests/support/server_process.h"

namespace {

const std::string kCurl = "curl -s -g --path-as-is --max-time 10 ";

std::string fetch(const Httpd &h, const std::string &path)
{
    std::string out;
    runCommand(kCurl + "-i " + h.url(path), &out);
    return out;
}

// The fetched bytes with the status line's reason phrase taken out ("HTTP/1.1 200 OK" becomes
// "HTTP/1.1 200 "): the engine writes one, the responders none; everything after it is theirs.
std::string withoutReason(const std::string &response)
{
    const size_t end = response.find("\r\n");
    if (response.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos || end < 12)
        return response;
    return response.substr(0, 13) + response.substr(end);
}

// ztMediaCGI's answer to the same request; its exit status is 0 exactly for a 200 answer.
std::string cgi(const std::string &command, const std::string &query)
{
    std::string out;
    const int status =
        runCommand("QUERY_STRING='" + query + "' " + ztBinPath("ztMediaCGI") + " " + command + " 2>/dev/null", &out);
    EXPECT_EQ(status, out.compare(0, 13, "HTTP/1.1 200 ") == 0 ? 0 : 1) << command << " " << query;
    return out;
}

class HttpdTest : public ::testing::Test {
protected:
    ServerProcess db = ServerProcess::fromFile(std::string(ZT_SOURCE_DIR) + "/examples/sample-card.json");
    Httpd httpd;
};

// One request to ztMediaHttpd as /media/COMMAND?QUERY and to ztMediaCGI.
struct Exchange {
    const char *command;
    const char *query;
};

TEST_F(HttpdTest, AnswersWithTheBytesOfTheCgiProgram)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    const Exchange rows[] = {
        {"list", ""},
        {"list", "fields=%22n,s,zz%22&f=video"},
        {"list", "f=vid%"},
        {"list", "f=gumi&folder=100ZTCAM&files=ZX010001.MP4,ZX019999.MP4"},
        {"metadata", "t=v5info&p=100ZTCAM/ZX010001.MP4"},
        {"metadata", "t=dur&p=../../etc/passwd"},
        {"paged", "max=2&count=4&start=0&lo=0&qo=0&p1=0x10&p2=7"},
        {"paged", "max=x"},
    };
    // The path is decoded by the engine; the query by the project's helpers.
    EXPECT_EQ(withoutReason(fetch(httpd, "/media/%6Cist?f=photos")), cgi("list", "f=photos"));
    for (const Exchange &r : rows) {
        const std::string path = std::string("/media/") + r.command + (*r.query ? "?" : "") + r.query;
        const std::string expected = cgi(r.command, r.query);
        EXPECT_EQ(expected.compare(0, 9, "HTTP/1.1 "), 0) << path;
        EXPECT_EQ(withoutReason(fetch(httpd, path)), expected) << path;
    }
}

TEST_F(HttpdTest, KeepAliveCarriesSeveralResponsesOnOneConnection)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    std::string out;
    runCommand(kCurl + "-i -w '[%{num_connects}]' " + httpd.url("/media/list") + " " +
                   httpd.url("/media/metadata?t=dur&p=100ZTCAM/ZX010005.MP4"),
               &out);
    EXPECT_EQ(out.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_NE(out.find("[1]HTTP/1.1 200 OK"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 3), "[0]") << "a second connection was opened";
}

TEST_F(HttpdTest, ServesThePageAndNothingOutsideTheRoutes)
{
    ASSERT_TRUE(httpd.ok());
    const struct {
        const char *curlArgs;
        const char *path;
        const char *status;
    } rows[] = {
        {"", "/index.html", "200"},
        {"", "/style.css", "200"},
        {"", "/media/file/100ZTCAM/ZX010001.MP4", "404"},  // no --card: no card files
        {"", "/media/thumbnail/100ZTCAM/ZCAM0002.JPG", "404"},
        {"", "/%2e%2e/%2e%2e/etc/passwd", "404"},
        {"", "/media", "404"},
        {"", "/media/list/../../index.html", "404"},
        {"-X POST ", "/media/list", "405"},
        {"", "/media/list?fields=n&f=gumi", "500"},  // the responder printed nothing
        {"-H 'Upgrade: websocket' -H 'Connection: Upgrade' ", "/media/list", "400"},
        // Writes only with this server's Host and Origin; reads with any.
        {"-H 'Host: rebound.example' ", "/media/metadata?t=upload&p=100ZTCAM/ZX010001.MP4&status=7", "403"},
        {"-H 'Origin: http://rebound.example' ",
         "/media/metadata?t=offload&p=100ZTCAM/ZX010001.MP4&status=app&value=true", "403"},
        {"-H 'Origin: null' ", "/media/metadata?t=upload&p=100ZTCAM/ZX010001.MP4&status=7", "403"},
        {"-H 'Host: localhost' ", "/media/metadata?t=upload&p=100ZTCAM/ZX010001.MP4&status=7", "403"},
        {"-H 'Host: rebound.example' ", "/media/metadata?t=upload&p=100ZTCAM/ZX010001.MP4", "200"},
        {"", "/media/metadata?t=upload&p=100ZTCAM/ZX010001.MP4&status=7", "200"},
    };
    ASSERT_TRUE(db.ok()) << db.error();
    for (const auto &r : rows) {
        std::string status;
        runCommand(kCurl + r.curlArgs + "-o /dev/null -w '%{http_code}' " + httpd.url(r.path), &status);
        EXPECT_EQ(status, r.status) << r.curlArgs << r.path;
    }
    std::string page, script;
    runCommand(kCurl + httpd.url("/"), &page);
    runCommand(kCurl + httpd.url("/app.js"), &script);
    EXPECT_NE(page.find("<script src=\"app.js\">"), std::string::npos);
    EXPECT_NE(script.find("/media/paged?"), std::string::npos);
}

TEST(HttpdRoot, ServesPlainFilesOfTheRootOnly)
{
    char dir[] = "/tmp/zthttpd-root-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string root = dir;
    std::ofstream(root + "/index.html") << "root page";
    mkdir((root + "/sub").c_str(), 0700);
    std::ofstream(root + "/sub/inner.html") << "inner";
    ASSERT_EQ(symlink("/etc/hostname", (root + "/link.html").c_str()), 0);
    {
        Httpd httpd({"--root", root});
        ASSERT_TRUE(httpd.ok());
        EXPECT_EQ(fetch(httpd, "/").substr(0, 15), "HTTP/1.1 200 OK");
        EXPECT_EQ(fetch(httpd, "/index.html").find("Content-Type: text/html; charset=utf-8\r\n"), 17u);
        std::string body;
        runCommand(kCurl + httpd.url("/"), &body);
        EXPECT_EQ(body, "root page");
        for (const char *path : {"/link.html", "/sub/inner.html", "/sub", "/missing.js"})
            EXPECT_EQ(fetch(httpd, path).substr(0, 12), "HTTP/1.1 404") << path;
    }
    std::string ignored;
    runCommand("rm -rf '" + root + "'", &ignored);
}

// A worker that dies (a responder's abort) is replaced at once; one that stops answering
// (SIGSTOP) misses its heartbeats and is replaced too.
TEST_F(HttpdTest, AWorkerThatDiesOrStopsAnsweringIsReplaced)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    const std::string expected = cgi("list", "f=video");
    const struct {
        int sig;
        int seconds;  // the answer comes back within
    } rows[] = {{SIGABRT, 1}, {SIGSTOP, 20}};
    for (const auto &r : rows) {
        std::string worker;
        ASSERT_EQ(runCommand("pgrep -P " + std::to_string(httpd.pid()), &worker), 0);
        ASSERT_EQ(withoutReason(fetch(httpd, "/media/list?f=video")), expected);
        ASSERT_EQ(kill(atoi(worker.c_str()), r.sig), 0);
        const auto sent = std::chrono::steady_clock::now();
        std::string got;
        while (got != expected && std::chrono::steady_clock::now() - sent < std::chrono::seconds(r.seconds))
            got = withoutReason(fetch(httpd, "/media/list?f=video"));
        EXPECT_EQ(got, expected) << "no answer within " << r.seconds << " s of signal " << r.sig;
        std::string replacement;
        runCommand("pgrep -P " + std::to_string(httpd.pid()), &replacement);
        EXPECT_NE(replacement, worker);
        EXPECT_FALSE(replacement.empty());
    }
}

// A worker that cannot listen is not restarted in a loop: the supervisor gives up at once.
TEST_F(HttpdTest, APortInUseEndsTheServiceInsteadOfRestarting)
{
    ASSERT_TRUE(httpd.ok());
    std::string out;
    EXPECT_EQ(runCommand("timeout 20 " + ztBinPath("ztMediaHttpd") + " --port " + std::to_string(httpd.port()) +
                             " 2>/dev/null",
                         &out),
              1);
    EXPECT_EQ(out, "");
}

// A request whose database reply is late or lost waits alone: a second client started after it
// is answered while it still waits.
TEST_F(HttpdTest, ASlowDatabaseReplyHoldsUpOnlyItsOwnRequest)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    const std::string expected = cgi("metadata", "t=dur&p=100ZTCAM/ZX010005.MP4");
    for (const std::vector<std::string> &fault :
         {std::vector<std::string>{"delay", "1", "4000"}, std::vector<std::string>{"drop", "1"}}) {
        ASSERT_EQ(db.ctl(fault), 0) << fault[0];
        std::string slow;
        std::thread first([&] { runCommand(kCurl + "--max-time 5 " + httpd.url("/media/list"), &slow); });
        usleep(500 * 1000);  // the first request reaches the database and takes the fault
        std::string second;
        runCommand(kCurl + "--max-time 3 -i " + httpd.url("/media/metadata?t=dur&p=100ZTCAM/ZX010005.MP4"), &second);
        EXPECT_EQ(withoutReason(second), expected) << fault[0];
        first.join();
    }
}

// A TCP connection to the server that misbehaves: `send` is written once, then nothing is read.
int openConnection(int port, const std::string &send)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, (sockaddr *)&addr, sizeof addr) != 0 ||
        (!send.empty() && write(fd, send.data(), send.size()) != (ssize_t)send.size())) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

// Connections that stay idle, send a request a byte at a time, or send requests and never read
// the answers cost the server no thread: a probe request is answered while 200 of them are open.
TEST_F(HttpdTest, HostileConnectionsHoldNoOneElseUp)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    std::string pipelined;
    for (int i = 0; i < 64; ++i)
        pipelined += "GET /media/list HTTP/1.1\r\nHost: x\r\n\r\n";
    const struct {
        const char *kind;
        std::string send;
    } rows[] = {
        {"idle", ""},
        {"slow", "GET /media/list HTTP/1.1\r\nHo"},
        {"not reading", pipelined},
    };
    const std::string expected = cgi("list", "f=video");
    for (const auto &r : rows) {
        std::vector<int> open;
        for (int i = 0; i < 200; ++i) {
            int fd = openConnection(httpd.port(), r.send);
            if (fd >= 0)
                open.push_back(fd);
        }
        EXPECT_EQ(open.size(), 200u) << r.kind;
        std::string probe;
        runCommand(kCurl + "--max-time 5 -i " + httpd.url("/media/list?f=video"), &probe);
        EXPECT_EQ(withoutReason(probe), expected) << r.kind;
        for (int fd : open)
            close(fd);
    }
}

}  // namespace
