// JSON string text of the responders: the one escape of every text they echo from the database
// or the card, and the test of whether a text from a request can be echoed as it is. Pure
// functions over caller-owned bytes; callable from any thread.
#ifndef ZT_MEDIA_JSON_H
#define ZT_MEDIA_JSON_H

#include <cstddef>

namespace ztmedia {

// Length of the well-formed UTF-8 sequence that starts at `text` (at most `len` bytes), 0 when
// none starts there.
size_t utf8SequenceLength(const char *text, size_t len);

// Whether a text can be echoed into a JSON string as it is: well-formed UTF-8 without '"', '\'
// or control bytes.
bool jsonSafe(const char *text, size_t len);

enum : size_t { ZT_JSON_TEXT_IN_MAX = 128 };
// Escaped text, terminated. A temporary lives to the end of the full expression that made it,
// so its .text can be passed straight to a format.
struct JsonText {
    char text[6 * ZT_JSON_TEXT_IN_MAX + 1];
};
// The text of a JSON string for at most `max` bytes of `text` (fewer when a NUL comes first;
// never more than ZT_JSON_TEXT_IN_MAX): '"' and '\' behind a backslash, control bytes and bytes
// outside well-formed UTF-8 as \u00XX, everything else as it is, so a camera name comes out
// unchanged. Fixed-width names need no terminator.
JsonText jsonText(const char *text, size_t max);

}  // namespace ztmedia

#endif
