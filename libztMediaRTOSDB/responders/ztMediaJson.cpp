// JSON string text: escaping echoed names and telling safe request text.
#include "libztMediaRTOSDB/responders/ztMediaJson.h"

#include <cstdio>

namespace ztmedia {

size_t utf8SequenceLength(const char *text, size_t len)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    if (len == 0)
        return 0;
    if (s[0] < 0x80)
        return 1;
    // The lead byte fixes the length and narrows the second byte (no overlong forms, no
    // surrogates, nothing above U+10FFFF); later bytes are plain continuations.
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (s[0] >= 0xC2 && s[0] <= 0xDF) {
        n = 2;
    } else if (s[0] >= 0xE0 && s[0] <= 0xEF) {
        n = 3;
        lo = s[0] == 0xE0 ? 0xA0 : 0x80;
        hi = s[0] == 0xED ? 0x9F : 0xBF;
    } else if (s[0] >= 0xF0 && s[0] <= 0xF4) {
        n = 4;
        lo = s[0] == 0xF0 ? 0x90 : 0x80;
        hi = s[0] == 0xF4 ? 0x8F : 0xBF;
    }
    if (n == 0 || n > len || s[1] < lo || s[1] > hi)
        return 0;
    for (size_t i = 2; i < n; ++i)
        if (s[i] < 0x80 || s[i] > 0xBF)
            return 0;
    return n;
}

bool jsonSafe(const char *text, size_t len)
{
    for (size_t i = 0; i < len;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = utf8SequenceLength(text + i, len - i);
        if (n == 0 || c < 0x20 || c == '"' || c == '\\')
            return false;
        i += n;
    }
    return true;
}

JsonText jsonText(const char *text, size_t max)
{
    JsonText out;
    size_t len = 0;
    while (len < max && len < ZT_JSON_TEXT_IN_MAX && text[len])
        ++len;
    char *p = out.text;
    for (size_t i = 0; i < len;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = utf8SequenceLength(text + i, len - i);
        if (c == '"' || c == '\\') {
            *p++ = '\\';
            *p++ = static_cast<char>(c);
        } else if (n == 0 || c < 0x20) {
            p += std::snprintf(p, 7, "\\u%04x", c);
        } else {
            for (size_t k = 0; k < n; ++k)
                *p++ = text[i + k];
            i += n;
            continue;
        }
        ++i;
    }
    *p = 0;
    return out;
}

}  // namespace ztmedia
