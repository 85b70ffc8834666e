// The facts about each media database content type, in one table that every command, parser
// and the server read: class, list block, app type, output and query bits, video-ness per command.
// Returns pointers into static read-only data; safe to call from any thread.
#ifndef ZT_DB_CONTENT_TYPES_H
#define ZT_DB_CONTENT_TYPES_H

#include <cstdint>

#include "libztMediaRTOSDB/src/dbRecords.h"

enum class DbTypeClass : uint8_t {
    SingleVideo,
    LoopingVideo,    // grouped video, letter-pair member names
    ChapteredVideo,  // grouped video, chapter member names
    SinglePhoto,
    PhotoGroup,
    SingleFile,
    NeverListed,
    VideoRecord,  // carries a video record but is never listed
};

// What follows the content record (and the optional GUMIs) of a list entry.
enum class DbListBlock : uint8_t { None, Video, Group };

struct DbContentTypeInfo {
    DbTypeClass cls;
    DbListBlock block;
    uint32_t appType;       // mapDbContentTypeToApp
    uint32_t outputBit;     // shouldOutput filter bit; 0: never shown
    uint32_t queryBit;      // query_options bit that selects the type in a list; 0: none
    bool videoForResponse;  // getVideoSpecificInfoResponse checks the highlight size
    bool videoForQuery;     // dbGetVideoSpecificInfo accepts it
    bool secondBitmap;      // a group entry with highlights carries a second bitmap
    bool spanned;           // one group may be listed once per directory (lapses)
    char groupLetter;       // photo groups: 'b', 't', 'n', 'c'; else 0
};

// The row of a content type, or null for values above DB_CONTENT_TYPE_MAX (file not found too).
const DbContentTypeInfo *dbContentTypeInfo(uint32_t type);

inline bool dbIsGroupType(uint32_t type)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(type);
    return info && info->block == DbListBlock::Group;
}

inline bool dbIsGroupedVideoType(uint32_t type)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(type);
    return info && (info->cls == DbTypeClass::LoopingVideo || info->cls == DbTypeClass::ChapteredVideo);
}

// App type of a content type: 13 and 14 read as 3, every other value as itself.
uint32_t mapDbContentTypeToApp(uint32_t type);

// Whether an HTTP list shows an entry of this type under filter (0 shows everything listable).
bool shouldOutput(db_content_types_e type, uint32_t filter);

#endif
