// Camera file names: recognisers of the name forms, the member-name rule that builds the names of
// a group's members from its first file, and the group number read back from a first name. Shared
// by the client's list parsing and the server's card scan, so both read names by one set of rules.
// Pure functions over caller buffers; thread-safe.
#ifndef ZT_MEDIA_DB_NAME_RULES_H
#define ZT_MEDIA_DB_NAME_RULES_H

#include <cstdint>

#include "ztMedia/dbProtocol.h"
#include "ztMedia/ztMediaExport.h"

enum : uint32_t {
    DB_NAME_BUF = DB_FILE_NAME_LEN + 1,  // a built name: 12 characters and a terminator
    DB_LETTER_PAIR_BASE = 1001,          // group number of the letter pair AA
};

// Tests of the first 12 characters; a shorter name fails at its terminator.
ZT_MEDIA_API
bool isZetroNameChapterVideo(const char *name);  // Z, B/F/H/L/M/P/S/X, chapter, number, ext
ZT_MEDIA_API
bool isZetroNameLoopingVideo2A(const char *name);  // Z, H/X/L/M, letter pair, number, ext
ZT_MEDIA_API
bool isZetroNamePhotoLetter(const char *name);  // Z, P/S, letter pair, number, .JPG

// True when a camera model number (low 8 bits) is above 56: chapters are then numbered from 2.
ZT_MEDIA_API
bool dbIsNewNameFormat(int modelNumber);

// Letter pair of a group number (1001 is AA, 1027 is BA) and the reverse.
ZT_MEDIA_API
void dbLetterPairFromGroup(uint32_t groupNumber, char pair[2]);
ZT_MEDIA_API
uint32_t dbGroupFromLetterPair(char first, char second);

// The pattern chosen once per group; dbBuildMemberName then fills in each member.
enum class DbMemberKind : uint8_t { None, Chapter, LetterPair, Numeric };
struct DbMemberPattern {
    DbMemberKind kind;
    char lead;                // Chapter/LetterPair: position 1 of the name; Numeric: position 0
    char ext[4];              // "MP4", "360" or "JPG"
    char first[DB_NAME_BUF];  // the first file's name: member 0 of a chaptered group
    char text[24];            // the pattern in printf form, for the logs
};

// Choose the pattern for a group of content type `type` whose first file is `firstName`
// (12 characters, not necessarily terminated). Kind None for non-group types.
ZT_MEDIA_API
DbMemberPattern dbMemberPatternFor(uint32_t type, const char *firstName);

// Build member n of the group into out (13 bytes, cut to 12 characters); `newNumbering` is
// dbIsNewNameFormat of the camera model. Returns false when the pattern is None.
ZT_MEDIA_API
bool dbBuildMemberName(const DbMemberPattern &pattern, uint32_t groupNumber, uint32_t n, bool newNumbering,
                       char out[DB_NAME_BUF]);

// Group number of a grouped entry that arrived with 0, derived from its first file's name.
ZT_MEDIA_API
uint32_t dbGroupNumberFromFirstName(const char *firstName);

#endif
