// Camera state the library asks the platform for: the model number (file-numbering scheme), the
// memory card's identifier and the string helper of the HTTP responders. Values come from the
// environment or the file the media database server writes. Nothing is cached; thread-safe as
// far as getenv is (do not change the environment while other threads call these).
#ifndef ZT_PLATFORM_ZTCAMERA_H
#define ZT_PLATFORM_ZTCAMERA_H

#include <cstddef>
#include <string>

// Size of the buffer getCardIDStr fills, terminator included.
constexpr size_t ZT_CARD_ID_MAX = 32;
// The model number when ZT_MODEL_NUMBER is unset or not a number (new chapter numbering).
constexpr int ZT_DEFAULT_MODEL_NUMBER = 57;

// ZT_MODEL_NUMBER when set to a decimal number, else 57.
int ztc_state_get_model_number();
// Copies the card identifier into `buf` (ZT_CARD_ID_MAX bytes, always terminated, longer
// identifiers cut): ZT_CARD_ID when set and non-empty, else the first line of
// $ZT_IPC_DIR/card_id when present and non-empty. 0 on success, -1 when neither is available
// or `buf` is null.
int getCardIDStr(char *buf);
// Appends printf-formatted text to `out`. Returns the number of characters appended, or -1 on
// a format error (nothing appended).
int ss_printf(std::string &out, const char *format, ...) __attribute__((format(printf, 2, 3)));

#endif
