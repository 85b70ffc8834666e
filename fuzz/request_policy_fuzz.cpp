// Host and Origin header values of ztMediaHttpd's write check: any bytes are refused or accepted
// without a crash, and whatever is accepted really names the server's address or localhost.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "tools/ztMediaHttpd/requestPolicy.h"

namespace {

const char kAddress[] = "127.0.0.1";
const int kPort = 8080;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// What an accepted Host must look like: the address or localhost, then ":8080".
bool plausibleHost(const std::string &host)
{
    const std::string port = ":" + std::to_string(kPort);
    if (host.size() <= port.size() || host.compare(host.size() - port.size(), port.size(), port) != 0)
        return false;
    const std::string name = host.substr(0, host.size() - port.size());
    return name == kAddress || strcasecmp(name.c_str(), "localhost") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const char *value = text.c_str();  // a header value ends at its first NUL
    if (hostNamesServer(value, kAddress, kPort))
        check(plausibleHost(value));
    if (originIsServer(value, kAddress, kPort))
        check(strncasecmp(value, "http://", 7) == 0 && plausibleHost(value + 7));
    RequestView request;
    request.writes = true;
    request.host = value;
    request.origin = size % 2 ? value : nullptr;
    request.address = kAddress;
    request.port = kPort;
    const int refusal = refusalOf(request);
    check(refusal == 0 || refusal == 403);
    return 0;
}
