// What ztMediaHttpd refuses before any route runs: other methods, protocol upgrades, and state
// writes whose Host or Origin do not name this server (a web page the user visits, or a
// rebinding DNS name, can reach a loopback port but cannot forge these two headers).
// Pure functions of the header values; no engine types, so the fuzz target links this alone.
#ifndef ZT_HTTPD_REQUEST_POLICY_H
#define ZT_HTTPD_REQUEST_POLICY_H

#include <string>

// The parts of one request the policy looks at; absent headers are null.
struct RequestView {
    const char *method = "GET";
    const char *upgrade = nullptr;
    const char *host = nullptr;
    const char *origin = nullptr;
    bool writes = false;  // the request changes state (an upload or offload write)
    std::string address;  // the IPv4 address the connection reached, dotted
    int port = 0;         // and its port
};

// 0 when the request may go on, else the status to answer: 405 for a method other than GET,
// 400 for an Upgrade, 403 for a write whose Host or Origin is not this server's.
int refusalOf(const RequestView &request);

// True when `host` ("NAME" or "NAME:PORT") names `address` or localhost on `port` (no port
// part: 80).
bool hostNamesServer(const char *host, const std::string &address, int port);
// True when `origin` is "http://" and a host part that hostNamesServer accepts.
bool originIsServer(const char *origin, const std::string &address, int port);

#endif
