// Camera-state stand-ins read from the environment and the server's card identifier file.
#include "platform/ztcamera.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/ztipc.h"

namespace {

// Copies `id` (cut to fit) into the ZT_CARD_ID_MAX-byte buffer, zero-padded.
void storeId(char *buf, const std::string &id)
{
    std::memset(buf, 0, ZT_CARD_ID_MAX);
    id.copy(buf, ZT_CARD_ID_MAX - 1);
}

// The first line of the server's card_id file without trailing blanks; empty when absent.
std::string cardIdFromFile()
{
    std::ifstream in(ztIpcCardIdPath());
    std::string line;
    if (!in || !std::getline(in, line))
        return std::string();
    size_t end = line.find_last_not_of(" \t\r\n");
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

}  // namespace

int ztc_state_get_model_number()
{
    const char *v = std::getenv("ZT_MODEL_NUMBER");
    if (!v || !*v)
        return ZT_DEFAULT_MODEL_NUMBER;
    char *end = nullptr;
    errno = 0;
    long n = std::strtol(v, &end, 10);
    if (*end != '\0' || errno || n < 0 || n > 0x7FFFFFFF)
        return ZT_DEFAULT_MODEL_NUMBER;
    return static_cast<int>(n);
}

int getCardIDStr(char *buf)
{
    if (!buf)
        return -1;
    const char *env = std::getenv("ZT_CARD_ID");
    std::string id = (env && *env) ? std::string(env) : cardIdFromFile();
    if (id.empty())
        return -1;
    storeId(buf, id);
    return 0;
}

int ss_printf(std::string &out, const char *format, ...)
{
    if (!format)
        return -1;
    va_list ap, copy;
    va_start(ap, format);
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        size_t at = out.size();
        out.resize(at + static_cast<size_t>(n) + 1);
        std::vsnprintf(&out[at], static_cast<size_t>(n) + 1, format, ap);
        out.resize(at + static_cast<size_t>(n));
    }
    va_end(ap);
    return n;
}
