// ztMediaCGI: the responders as a CGI program. Reads QUERY_STRING and writes one complete HTTP
// response (status line included) to standard output, nothing else there; a web server in front
// passes the status line through. Exit 0 when the answer was 200, 1 otherwise, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ztMedia/ztMediaResponders.h"

namespace {

struct Command {
    const char *name;
    int (*run)(mg_connection *, const char *);
};
const Command kCommands[] = {
    {"list", generateMediaList},
    {"metadata", generateMetadata},
    {"paged", generatePagedList},
};

}  // namespace

int main(int argc, char **argv)
{
    for (const Command &c : kCommands) {
        if (argc != 2 || std::strcmp(argv[1], c.name) != 0)
            continue;
        const char *query = std::getenv("QUERY_STRING");
        const int ret = c.run(nullptr, query ? query : "");
        std::fflush(stdout);
        return ret == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: ztMediaCGI list|metadata|paged (query in QUERY_STRING)\n");
    return 2;
}
