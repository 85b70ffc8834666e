// See requestPolicy.h. Host and Origin are compared as text against what the socket says, so
// no name is ever resolved; anything unusual (user info, a path, IPv6, a second colon) fails.
#include "requestPolicy.h"

#include <cstring>
#include <strings.h>

namespace {

const int kDefaultHttpPort = 80;

// The port text after the colon, exactly as the port is written (no sign, no leading zero).
bool portMatches(const char *text, int port) { return std::to_string(port) == text; }

}  // namespace

bool hostNamesServer(const char *host, const std::string &address, int port)
{
    if (!host)
        return false;
    const char *colon = strchr(host, ':');
    size_t nameLength = colon ? (size_t)(colon - host) : strlen(host);
    if (colon ? !portMatches(colon + 1, port) : port != kDefaultHttpPort)
        return false;
    const std::string name(host, nameLength);
    return (!address.empty() && name == address) || strcasecmp(name.c_str(), "localhost") == 0;
}

bool originIsServer(const char *origin, const std::string &address, int port)
{
    const char scheme[] = "http://";
    if (!origin || strncasecmp(origin, scheme, sizeof(scheme) - 1) != 0)
        return false;
    return hostNamesServer(origin + sizeof(scheme) - 1, address, port);
}

int refusalOf(const RequestView &r)
{
    if (strcmp(r.method, "GET") != 0)
        return 405;
    if (r.upgrade)
        return 400;
    if (!r.writes)
        return 0;
    if (!hostNamesServer(r.host, r.address, r.port))
        return 403;
    return r.origin && !originIsServer(r.origin, r.address, r.port) ? 403 : 0;
}
