// The camera's names on a card: folder and file names, what each extension holds, and the form
// of a file name with the content type the content-type table gives it. One set of rules for the
// server's card scan and the web host's card routes. Pure functions; thread-safe.
#ifndef ZT_DB_CAMERA_NAMES_H
#define ZT_DB_CAMERA_NAMES_H

#include <cstdint>

#include "ztMedia/dbProtocol.h"

// A camera folder name: 8 upper-case letters or digits.
bool isCardFolderName(const char *name);
// A camera file name: 'Z', 7 upper-case letters or digits, '.', a camera extension.
bool isCameraFileName(const char *name);

enum class DbFileFormat : uint8_t { Mp4, Jpeg };
struct DbCameraExtension {
    char ext[4];
    DbFileFormat format;
    bool companion;  // .LRV and .THM: a medium's low-resolution copy and thumbnail
};
// The camera extension of the 3 characters at `ext` (no terminator needed), or null.
const DbCameraExtension *dbCameraExtension(const char *ext);

// The form of a camera file name (one that isCameraFileName takes).
DbNameForm dbNameFormOf(const char *name);
// The content type of a card file named in `form` with `letter` as its second character: the
// row naming that letter, else the row of any letter; DB_CONTENT_TYPE_NOT_FOUND for none.
uint32_t dbContentTypeOfForm(DbNameForm form, char letter);

#endif
