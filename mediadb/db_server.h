// The media database server's listener: serves the protocol on channel "rtos_media_db" and the
// control commands on "rtos_media_db.ctl" with a fixed set of workers (mediadb/serve_loop.h);
// publishes the card identifier; stops on SIGTERM/SIGINT and removes its sockets. One DbServer
// per process; run() blocks.
#ifndef ZT_MEDIADB_DB_SERVER_H
#define ZT_MEDIADB_DB_SERVER_H

#include <functional>
#include <string>
#include <vector>

#include "mediadb/fault_injector.h"
#include "mediadb/media_catalog.h"
#include "mediadb/serve_loop.h"

#define ZT_MEDIADB_CTL_CHANNEL "rtos_media_db.ctl"

class DbServer {
public:
    // `rescan` reads the card's source again and hands the catalog its new card (the control
    // command "rescan").
    DbServer(MediaCatalog &catalog, std::function<Status()> rescan);
    // Listens, writes the card identifier, serves until a stop signal; 0, or 2 after a start error
    // (an unsafe channel directory, a channel already served). `onServing` (when set) is called
    // once both channels listen and a stop signal is handled.
    int run(const std::string &cardId, const std::function<void()> &onServing = {});
    // Answers one control line ("rescan", "bump-version", "drop 2", ...): "ok ..." or "error: ...".
    std::string control(const std::string &line);

private:
    // Enough workers that a slow store write or a rescan leaves others to answer.
    static constexpr unsigned kWorkers = 4;
    Answer answer(ChannelKind kind, const uint8_t *frame, int length);

    MediaCatalog &mCatalog;
    std::function<Status()> mRescan;
    FaultInjector mFaults;
};

// The client side of the control channel: sends `words` as one line and prints the answer.
// Exit status 0 when the server answered "ok", 1 otherwise.
int runControlCommand(const std::vector<std::string> &words);

#endif
