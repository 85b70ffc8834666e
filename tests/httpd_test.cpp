// ztMediaHttpd through a real HTTP client (curl) against a private ztMediaDBd on the sample card:
// the responders' bytes arrive as ztMediaCGI prints them, keep-alive holds, only the routes and
// the page are served, and a worker that aborts is replaced within a second.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/server_process.h"

namespace {

// One ztMediaHttpd (supervisor and worker) on a free loopback port.
class Httpd {
public:
    explicit Httpd(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {ztBinPath("ztMediaHttpd"), "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (pipe(out) != 0)
            return;
        mPid = fork();
        if (mPid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(out[1], 1);
            std::vector<char *> argv;
            for (auto &a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        FILE *f = fdopen(out[0], "r");
        char line[256] = {};
        if (f && fgets(line, sizeof line, f))
            sscanf(line, "ztMediaHttpd: listening on http://127.0.0.1:%d/", &mPort);
        if (f)
            fclose(f);
    }
    ~Httpd()
    {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    bool ok() const { return mPid > 0 && mPort > 0; }
    pid_t pid() const { return mPid; }
    int port() const { return mPort; }
    std::string url(const std::string &path) const
    {
        return "'http://127.0.0.1:" + std::to_string(mPort) + path + "'";
    }

private:
    pid_t mPid = -1;
    int mPort = -1;
};

const std::string kCurl = "curl -s -g --path-as-is --max-time 10 ";

std::string fetch(const Httpd &h, const std::string &path)
{
    std::string out;
    runCommand(kCurl + "-i " + h.url(path), &out);
    return out;
}

std::string cgi(const std::string &command, const std::string &query)
{
    std::string out;
    runCommand("QUERY_STRING='" + query + "' " + ztBinPath("ztMediaCGI") + " " + command, &out);
    return out;
}

class HttpdTest : public ::testing::Test {
protected:
    ServerProcess db = ServerProcess::fromFile(std::string(ZT_SOURCE_DIR) + "/examples/sample-card.json");
    Httpd httpd;
};

struct Exchange {
    const char *path;      // what curl asks for
    const char *command;   // the same request to ztMediaCGI: command and query
    const char *query;
};

TEST_F(HttpdTest, AnswersWithTheBytesOfTheCgiProgram)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    const Exchange rows[] = {
        {"/media/list", "list", ""},
        {"/media/list?fields=%22n,s,zz%22&f=video", "list", "fields=%22n,s,zz%22&f=video"},
        {"/media/list?F=photogroups", "list", "F=photogroups"},
        {"/media/list?f=CLIPS", "list", "f=CLIPS"},
        {"/media/list?f=video&f=photos", "list", "f=video&f=photos"},
        {"/media/list?folder=100ZTCAM", "list", "folder=100ZTCAM"},
        {"/media/list?f=vid%", "list", "f=vid%"},
        {"/media/list?f=gumi&folder=100ZTCAM&files=ZX010001.MP4,ZX019999.MP4", "list",
         "f=gumi&folder=100ZTCAM&files=ZX010001.MP4,ZX019999.MP4"},
        {"/media/metadata?t=v5info&p=100ZTCAM/ZX010001.MP4", "metadata", "t=v5info&p=100ZTCAM/ZX010001.MP4"},
        {"/media/metadata?t=v4info&p=101ZTCAM/ZCAM0020.JPG", "metadata", "t=v4info&p=101ZTCAM/ZCAM0020.JPG"},
        {"/media/metadata?t=dur&p=../../etc/passwd", "metadata", "t=dur&p=../../etc/passwd"},
        {"/media/metadata", "metadata", ""},
        {"/media/paged?max=3&count=5&start=2&lo=0&qo=0xf07", "paged", "max=3&count=5&start=2&lo=0&qo=0xf07"},
        {"/media/paged?max=2&count=4&start=0&lo=0&qo=0&p1=0x10&p2=7", "paged",
         "max=2&count=4&start=0&lo=0&qo=0&p1=0x10&p2=7"},
        {"/media/paged?max=x", "paged", "max=x"},
        // The path is decoded by civetweb's own mg_url_decode; the query by the project's helpers.
        {"/media/%6Cist?f=photos", "list", "f=photos"},
    };
    for (const Exchange &r : rows) {
        const std::string expected = cgi(r.command, r.query);
        EXPECT_EQ(expected.compare(0, 9, "HTTP/1.1 "), 0) << r.path;
        EXPECT_EQ(fetch(httpd, r.path), expected) << r.path;
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
    EXPECT_EQ(out, cgi("list", "") + "[1]" + cgi("metadata", "t=dur&p=100ZTCAM/ZX010005.MP4") + "[0]");
}

TEST_F(HttpdTest, ServesThePageAndNothingOutsideTheRoutes)
{
    ASSERT_TRUE(httpd.ok());
    const struct {
        const char *curlArgs;
        const char *path;
        const char *status;
    } rows[] = {
        {"", "/", "200"},
        {"", "/index.html", "200"},
        {"", "/app.js", "200"},
        {"", "/style.css", "200"},
        {"", "/media/file/100ZTCAM/ZX010001.MP4", "404"},        // no --card: no card files
        {"", "/media/thumbnail/100ZTCAM/ZCAM0002.JPG", "404"},
        {"", "/../../etc/passwd", "404"},
        {"", "/%2e%2e/%2e%2e/etc/passwd", "404"},
        {"", "/media", "404"},
        {"", "/media/list/", "404"},
        {"", "/media/list/../../index.html", "200"},   // civetweb removes dot segments first
        {"", "/etc/passwd", "404"},
        {"-X POST ", "/media/list", "405"},
        {"", "/media/list?fields=n&f=gumi", "500"},   // the responder printed nothing
    };
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
        std::string body;
        runCommand(kCurl + httpd.url("/"), &body);
        EXPECT_EQ(body, "root page");
        for (const char *path : {"/link.html", "/sub/inner.html", "/sub", "/missing.js"})
            EXPECT_EQ(fetch(httpd, path).substr(0, 12), "HTTP/1.1 404") << path;
    }
    std::string ignored;
    runCommand("rm -rf '" + root + "'", &ignored);
}

TEST_F(HttpdTest, AnAbortedWorkerIsReplacedWithinASecond)
{
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(httpd.ok());
    std::string worker;
    ASSERT_EQ(runCommand("pgrep -P " + std::to_string(httpd.pid()), &worker), 0);
    const std::string expected = cgi("list", "f=video");
    ASSERT_EQ(fetch(httpd, "/media/list?f=video"), expected);

    ASSERT_EQ(kill(atoi(worker.c_str()), SIGABRT), 0);
    const auto killed = std::chrono::steady_clock::now();
    std::string got;
    while (got != expected && std::chrono::steady_clock::now() - killed < std::chrono::seconds(1))
        runCommand(kCurl + "--max-time 0.5 -i " + httpd.url("/media/list?f=video"), &got);
    EXPECT_EQ(got, expected) << "no answer within a second of the abort";

    std::string replacement;
    runCommand("pgrep -P " + std::to_string(httpd.pid()), &replacement);
    EXPECT_NE(replacement, worker);
    EXPECT_FALSE(replacement.empty());
}

// A worker that cannot listen is not restarted in a loop: the supervisor gives up at once.
TEST_F(HttpdTest, APortInUseEndsTheServiceInsteadOfRestarting)
{
    ASSERT_TRUE(httpd.ok());
    std::string out;
    EXPECT_EQ(runCommand("timeout 20 " + ztBinPath("ztMediaHttpd") + " --port " +
                             std::to_string(httpd.port()) + " 2>/dev/null",
                         &out),
              1);
    EXPECT_EQ(out, "");
}

// The project's URL helpers must not interpose on civetweb's exported ones: the host program
// defines none of those names where the dynamic linker would see them.
TEST(HttpdSymbols, CivetwebKeepsItsOwnUrlHelpers)
{
    std::string symbols;
    ASSERT_EQ(runCommand("nm -D --defined-only " + ztBinPath("ztMediaHttpd"), &symbols), 0);
    for (const char *name : {" mg_get_var\n", " mg_get_var2\n", " mg_url_decode\n", " mg_strncasecmp\n"})
        EXPECT_EQ(symbols.find(name), std::string::npos) << name;
}

}  // namespace
