#include "mediadb/db_server.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "mediadb/request_handlers.h"
#include "platform/ztipc.h"

namespace {

int gWakeFd = -1;  // write end of the self-pipe the stop signals poke

void onStopSignal(int)
{
    char c = 1;
    if (gWakeFd >= 0 && write(gWakeFd, &c, 1) < 0) {
    }
}

std::vector<std::string> splitWords(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string join(const std::vector<std::string> &words)
{
    std::string line;
    for (const std::string &w : words)
        line += (line.empty() ? "" : " ") + w;
    return line;
}

}  // namespace

DbServer::DbServer(MediaCatalog &catalog, std::function<Status()> rescan)
    : mCatalog(catalog), mRescan(std::move(rescan))
{
}

Answer DbServer::answer(ChannelKind kind, const uint8_t *frame, int length)
{
    Answer a;
    if (kind == ChannelKind::Control) {
        // One line per connection: answered, then closed.
        a.keepOpen = false;
        if (length >= 0) {
            std::string text = control(std::string(reinterpret_cast<const char *>(frame), size_t(length)));
            text.resize(std::min<size_t>(text.size(), DB_FRAME_MAX));
            a.frames.emplace_back(text.begin(), text.end());
        }
        return a;
    }
    // An oversized frame is answered like any malformed one.
    a.frames = handleRequest(mCatalog, frame, length < 0 ? 0 : static_cast<size_t>(length));
    if (!mFaults.apply(&a.frames, &a.delayMs)) {
        a.frames.clear();  // dropped: the client times out on this one and may ask again
        return a;
    }
    // A frame cut to nothing cannot be told from a hang-up, so the cut closes the connection.
    for (const Frame &f : a.frames)
        if (f.empty()) {
            a.frames.clear();
            a.keepOpen = false;
        }
    return a;
}

std::string DbServer::control(const std::string &line)
{
    std::vector<std::string> words = splitWords(line);
    const bool changesCard = words.size() == 1 && (words[0] == "rescan" || words[0] == "bump-version");
    if (changesCard && mCatalog.indexing())
        return "error: the card is still being indexed";
    if (words.size() == 1 && words[0] == "ready")
        return mCatalog.indexing() ? "error: the card is still being indexed" : "ok ready";
    if (words.size() == 1 && words[0] == "rescan") {
        Status s = mRescan ? mRescan() : Status::error("nothing to rescan");
        malloc_trim(0);  // the old card and the parsed manifest are gone: give their memory back
        return s.ok() ? "ok version " + std::to_string(mCatalog.version()) : "error: " + s.message;
    }
    if (words.size() == 1 && words[0] == "bump-version") {
        Status s = mCatalog.bumpVersion();
        return s.ok() ? "ok version " + std::to_string(mCatalog.version()) : "error: " + s.message;
    }
    if (words.size() == 1 && words[0] == "version")
        return "ok version " + std::to_string(mCatalog.version());
    Status s = mFaults.arm(words);
    return s.ok() ? "ok " + join(words) : "error: " + s.message;
}

int DbServer::run(const std::string &cardId, const std::function<void()> &onServing)
{
    std::string err;
    // The card identifier is in place before the protocol channel accepts anyone, so a responder
    // that reaches the database also finds the identifier.
    int ctlFd = ztIpcListen(ZT_MEDIADB_CTL_CHANNEL, &err);
    if (ctlFd >= 0 && !ztIpcWriteFile("card_id", cardId + "\n", &err)) {
        std::fprintf(stderr, "ztMediaDBd: %s\n", err.c_str());
        err.clear();
    }
    int listenFd = ctlFd < 0 ? -1 : ztIpcListen(RTOS_MEDIA_DB_CHANNEL, &err);
    int wake[2] = {-1, -1};
    if (listenFd < 0 || ctlFd < 0 || pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "ztMediaDBd: %s\n", err.empty() ? std::strerror(errno) : err.c_str());
        return 2;
    }
    gWakeFd = wake[1];
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::fprintf(stderr, "ztMediaDBd: serving card %s (version %u) in %s\n", cardId.c_str(), mCatalog.version(),
                 ztIpcDir().c_str());
    if (onServing)
        onServing();

    const std::vector<Listener> listeners = {{listenFd, ChannelKind::Protocol}, {ctlFd, ChannelKind::Control}};
    const FrameHandler handler = [this](ChannelKind kind, const uint8_t *frame, int length) {
        return answer(kind, frame, length);
    };
    const int rc = serveConnections(listeners, wake[0], kWorkers, handler);
    if (rc < 0)
        std::fprintf(stderr, "ztMediaDBd: serve: %s\n", std::strerror(errno));
    std::fprintf(stderr, "ztMediaDBd: stopping\n");
    close(listenFd);
    close(ctlFd);
    unlink(ztIpcChannelPath(RTOS_MEDIA_DB_CHANNEL).c_str());
    unlink(ztIpcChannelPath(ZT_MEDIADB_CTL_CHANNEL).c_str());
    return rc < 0 ? 1 : 0;
}

int runControlCommand(const std::vector<std::string> &words)
{
    rtosConnection_t c{};
    int rc = ztIpcInit(ZT_MEDIADB_CTL_CHANNEL, &c);
    if (rc < 0) {
        std::fprintf(stderr, "ztMediaDBd ctl: connect %s: %s\n", ztIpcChannelPath(ZT_MEDIADB_CTL_CHANNEL).c_str(),
                     std::strerror(-rc));
        return 1;
    }
    std::string line = join(words);
    char answer[DB_FRAME_MAX + 1];
    int n = ztIpcSend(&c, line.data(), line.size()) < 0 ? -1 : ztIpcReceive(&c, answer);
    ztIpcDestroy(&c);
    if (n < 0) {
        std::fprintf(stderr, "ztMediaDBd ctl: no answer: %s\n", std::strerror(-n));
        return 1;
    }
    std::string text(answer, static_cast<size_t>(n));
    std::fprintf(text.compare(0, 2, "ok") == 0 ? stdout : stderr, "%s\n", text.c_str());
    return text.compare(0, 2, "ok") == 0 ? 0 : 1;
}
