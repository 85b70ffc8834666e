// ztMediaHttpd: the camera's HTTP media service for the phone app. An HTTP/1.1 server
// (libmicrohttpd) answering /media/list, /media/metadata and /media/paged with the responders'
// status, headers and body, and a media browser page under /. Listens on loopback unless --bind says otherwise.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "supervisor.h"

namespace {

int usage()
{
    fprintf(stderr, "usage: ztMediaHttpd --port P [--bind ADDRESS] [--root DIR] [--card DIR]\n"
                    "  --port P     TCP port (0: any free port, printed on standard output)\n"
                    "  --bind A     IPv4 address to listen on (default 127.0.0.1)\n"
                    "  --root DIR   serve the browser page's files from DIR instead of the built-in page\n"
                    "  --card DIR   serve the card's files and thumbnails from DIR/DCIM\n");
    return 2;
}

bool parsePort(const char *text, int *out)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (!*text || *end || errno || v < 0 || v > 65535)
        return false;
    *out = (int)v;
    return true;
}

bool parseArgs(int argc, char **argv, HttpdOptions *o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i];
        const char *value = argv[i + 1];
        if (key == "--port" && parsePort(value, &o->port))
            continue;
        in_addr ipv4;
        if (key == "--bind" && inet_pton(AF_INET, value, &ipv4) == 1)
            o->bind = value;
        else if (key == "--root" && *value)
            o->root = value;
        else if (key == "--card" && *value)
            o->card = value;
        else
            return false;
    }
    return argc % 2 == 1 && o->port >= 0;
}

}  // namespace

int main(int argc, char **argv)
{
    HttpdOptions options;
    if (!parseArgs(argc, argv, &options))
        return usage();
    return superviseWorkers(options);
}
