// The media database protocol, the one definition that the client, the server, the tests and the
// benchmarks share: frame limits, command and status codes, request and response records, and
// the content-type table. Every record is packed little-endian; the static_asserts pin the sizes
// the peer relies on. Plain data and pure lookups only: safe to use from any thread.
#ifndef ZT_MEDIA_DB_PROTOCOL_H
#define ZT_MEDIA_DB_PROTOCOL_H

#include <cstddef>
#include <cstdint>

#include "ztMedia/ztMediaExport.h"

// --- Transport constants -------------------------------------------------------------------
#define RTOS_MEDIA_DB_CHANNEL "rtos_media_db"
enum : uint32_t {
    DB_FRAME_MAX = 1500,  // receive buffer of every exchange; no frame is larger
    DB_DIR_NAME_LEN = 8,  // fixed-width, not terminated on the wire
    DB_FILE_NAME_LEN = 12,
    DB_GUMI_LEN = 16,
    DB_HISTOGRAM_BUCKETS = 32,
};

// --- Command codes -------------------------------------------------------------------------
enum db_command_e : uint32_t {
    DB_CMD_LIST = 0,
    DB_CMD_GET_CONTENT_INFO = 2,
    DB_CMD_GET_GROUP_CONTENT_INFO = 3,
    DB_CMD_GET_VIDEO_SPECIFIC_INFO = 4,
    DB_CMD_GET_FILE_NAME_BY_GUMI = 6,
    DB_CMD_GET_GUMI_BY_FILE_NAME = 7,
    DB_CMD_GET_MORE_INFO = 8,
    DB_CMD_WRITE_UPLOAD_STATUS = 9,
    DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM = 10,
    DB_CMD_LIST_WITH_PARAMS = 11,
    DB_CMD_NON_DB_SCANDIR = 12,
};

// --- Response status words ----------------------------------------------------------------
// 0 is success; the client's HTTP readers map 1 and 2 to 503, 3 and 4 to 404, anything else to 500.
enum : uint32_t {
    DB_STATUS_OK = 0,
    DB_STATUS_BUSY = 1,
    DB_STATUS_UNAVAILABLE = 2,  // the store could not record a write
    DB_STATUS_FAILED = 3,
    DB_STATUS_NOT_FOUND = 4,    // no such file, GUMI or directory
    DB_STATUS_BAD_REQUEST = 5,  // malformed frame, unknown command, value out of range
};

// --- list_options and query_options bits ----------------------------------------------------
enum : uint32_t {
    DB_LIST_SORT_ORDER = 1u << 0,
    DB_LIST_VIDEO_GROUPING = 1u << 1,
    DB_LIST_INCLUDE_GUMI = 1u << 2,
    DB_LIST_INCLUDE_MORE_INFO = 1u << 3,
};
enum : uint32_t {
    RTOS_DB_QUERY_VIDEOS = 0x100,
    RTOS_DB_QUERY_PHOTOS = 0x200,
    RTOS_DB_QUERY_METADATA_SESSION_FILES = 0x400,
    RTOS_DB_QUERY_RAW_PHOTOS = 0x800,
    DB_QUERY_CAH_LIST = 0xFFFFFB00,  // every bit from 8 up but the session files
    DB_QUERY_SESSION_FILE_LIST = 0x2400,
};

// --- media_flags bits and the upload_status word --------------------------------------------
enum : uint32_t {
    DB_MEDIA_FLAG_PARENT_GUMI = 1u << 0,
    DB_MEDIA_FLAG_EIS = 1u << 1,
    DB_MEDIA_FLAG_PTA_MASK = 7u << 2,
    DB_MEDIA_FLAG_AUDIO_STEREO = 1u << 5,
    DB_MEDIA_FLAG_AUDIO_WIND = 1u << 6,
    DB_MEDIA_FLAG_AUDIO_AUTO = 1u << 7,
    DB_MEDIA_FLAG_WDR = 1u << 8,
    DB_MEDIA_FLAG_RAW = 1u << 9,
    DB_MEDIA_FLAG_TR = 1u << 10,
    DB_MEDIA_FLAG_MP = 1u << 11,
    DB_MEDIA_FLAG_HDR = 1u << 12,
};
enum : uint32_t {
    DB_UPLOAD_STATE_MASK = 0xFFFF,
    DB_UPLOAD_STATE_MAX = 31,
    DB_OFFLOAD_FLAGS_SHIFT = 16,
    OFFLOAD_APP = 1u << 16,
    OFFLOAD_PC = 1u << 17,
    OFFLOAD_OTHER = 1u << 18,
};

// --- Content types --------------------------------------------------------------------------
enum db_content_types_e : uint32_t {
    DB_CONTENT_TYPE_VIDEO = 0,
    DB_CONTENT_TYPE_LOOPING_VIDEO = 1,
    DB_CONTENT_TYPE_CHAPTERED_VIDEO = 2,
    DB_CONTENT_TYPE_VIDEO_3 = 3,
    DB_CONTENT_TYPE_PHOTO = 4,
    DB_CONTENT_TYPE_BURST = 5,
    DB_CONTENT_TYPE_TIME_LAPSE = 6,
    DB_CONTENT_TYPE_7 = 7,
    DB_CONTENT_TYPE_NIGHT_LAPSE = 8,
    DB_CONTENT_TYPE_PHOTO_9 = 9,
    DB_CONTENT_TYPE_CONTINUOUS = 10,
    DB_CONTENT_TYPE_11 = 11,
    DB_CONTENT_TYPE_VIDEO_12 = 12,
    DB_CONTENT_TYPE_VIDEO_13 = 13,
    DB_CONTENT_TYPE_VIDEO_14 = 14,
    DB_CONTENT_TYPE_MAX = 14,
    DB_CONTENT_TYPE_NOT_FOUND = 0xFFFFFFFF,
};

#pragma pack(push, 1)

// --- Common headers -------------------------------------------------------------------------
struct db_request_header {
    uint32_t command_type;
    uint32_t request_count;
    uint32_t token;
};

struct db_response_header {
    uint32_t command_type;
    uint32_t status;
    uint32_t count_returned;
    uint32_t rtos_db_version;
    uint32_t token;
};

// --- Request bodies -------------------------------------------------------------------------
struct db_list_request {
    db_request_header header;
    uint32_t starting_index;
    uint32_t list_options;
    uint32_t query_options;
};

struct db_list_params_request {
    db_list_request list;
    uint32_t param1;
    uint32_t param2;
};

struct db_file_name_pair {
    char dir_name[DB_DIR_NAME_LEN];
    char file_name[DB_FILE_NAME_LEN];
};

struct db_file_request {
    db_request_header header;
    char dir_name[DB_DIR_NAME_LEN];
    char file_name[DB_FILE_NAME_LEN];
};

struct db_gumi_request {
    db_request_header header;
    uint8_t gumi[DB_GUMI_LEN];
};

struct db_status_write_request {
    db_request_header header;
    char dir_name[DB_DIR_NAME_LEN];
    char file_name[DB_FILE_NAME_LEN];
    uint32_t upload_status;
};

struct db_scandir_request {
    db_request_header header;
    char dir_name[DB_DIR_NAME_LEN];
};

// --- Response records -----------------------------------------------------------------------
struct db_histogram_response {
    db_response_header header;
    uint32_t histogram[DB_HISTOGRAM_BUCKETS];
};

struct db_list_response_header {
    db_response_header header;
    uint32_t start_index;
    uint32_t list_options;
    uint32_t query_options;
    uint32_t total_entries;
    uint32_t session_id;
};

struct db_content_info {
    uint32_t content_type;
    char dir_name[DB_DIR_NAME_LEN];
    char file_name[DB_FILE_NAME_LEN];
    uint32_t creation_time;
    uint32_t modified_time;
    uint32_t highlight_count;
    uint32_t media_flags;
    uint32_t upload_status;
    uint64_t file_size;  // offset 44: never 8-aligned, read it through the packed record
    uint32_t mahs;
    uint32_t reserved;
    uint32_t rot;
    uint32_t fov;
    uint32_t lc;
    uint32_t prjn;
};

struct db_video_specific_info {
    uint32_t ls;
    uint32_t duration_ms;
    uint32_t profile;
    uint32_t avc_profile;
    uint32_t highlight_count;
    uint32_t cl;
    // highlight_count u32 highlight positions follow on the wire
};

struct db_group_info {
    uint32_t group_number;
    uint32_t first_number;
    uint32_t last_number;
    uint32_t num_missing;
    uint64_t group_size;
    // the missing bitmap follows when num_missing != 0, then (photo groups with highlights)
    // a second bitmap of the same size
};

struct db_more_info {
    int32_t width;
    int32_t height;
    int32_t frame_rate_numerator;
    int32_t frame_rate_denominator;
    int32_t is_progressive;
    int32_t is_subsampled;
    uint32_t reserved;
};

struct db_scandir_response_header {
    uint32_t command_type;
    uint32_t status;
    uint32_t number_transfers;
    uint32_t number_file_names;
    uint32_t token;
};

struct db_scandir_wire_entry {
    char file_name[DB_FILE_NAME_LEN];
    uint64_t first_value;   // file size, as the server fills it
    uint64_t second_value;  // modification time in seconds
};

#pragma pack(pop)

static_assert(sizeof(db_request_header) == 12, "request header");
static_assert(sizeof(db_response_header) == 20, "response header");
static_assert(sizeof(db_list_request) == 24, "list request");
static_assert(sizeof(db_list_params_request) == 32, "list request with parameters");
static_assert(sizeof(db_file_name_pair) == 20, "name pair");
static_assert(sizeof(db_file_request) == 32, "file request");
static_assert(sizeof(db_gumi_request) == 28, "GUMI request");
static_assert(sizeof(db_status_write_request) == 36, "status write request");
static_assert(sizeof(db_scandir_request) == 20, "scandir request");
static_assert(sizeof(db_histogram_response) == 148, "histogram response");
static_assert(sizeof(db_list_response_header) == 40, "list response header");
static_assert(sizeof(db_content_info) == 76, "content record");
static_assert(offsetof(db_content_info, file_size) == 44, "file_size offset");
static_assert(sizeof(db_video_specific_info) == 24, "video record");
static_assert(sizeof(db_group_info) == 24, "group record");
static_assert(sizeof(db_more_info) == 28, "extra information record");
static_assert(sizeof(db_scandir_response_header) == 20, "scandir response header");
static_assert(sizeof(db_scandir_wire_entry) == 28, "scandir wire entry");

// --- Where the records of a reply to one file stand ----------------------------------------
// The response header, the content record (or the extra information, or a name pair), then
// what the command adds: the video or group record, or the GUMI and the parent GUMI. Signed, as
// the byte counts of a receive are.
constexpr int DB_REPLY_RECORD_AT = sizeof(db_response_header);                               // 20
constexpr int DB_REPLY_BLOCK_AT = DB_REPLY_RECORD_AT + int{sizeof(db_content_info)};         // 96
constexpr int DB_REPLY_VIDEO_END = DB_REPLY_BLOCK_AT + int{sizeof(db_video_specific_info)};  // 120
constexpr int DB_REPLY_GROUP_END = DB_REPLY_BLOCK_AT + int{sizeof(db_group_info)};           // 120
constexpr int DB_REPLY_MORE_END = DB_REPLY_RECORD_AT + int{sizeof(db_more_info)};            // 48
constexpr int DB_REPLY_NAMES_END = DB_REPLY_RECORD_AT + int{sizeof(db_file_name_pair)};      // 40
constexpr int DB_REPLY_PARENT_GUMI_AT = DB_REPLY_BLOCK_AT + DB_GUMI_LEN;                     // 112
constexpr int DB_REPLY_PARENT_GUMI_END = DB_REPLY_PARENT_GUMI_AT + DB_GUMI_LEN;              // 128

// --- Command table ----------------------------------------------------------------------------
// Each command once (dbProtocol.cpp): the server takes no shorter request, and a successful
// reply carries at least replyBytes (a list or a scan may then hold no entry). A new command is
// a code above, a row there, a handler in the server's table and a client function.
struct DbCommandInfo {
    uint32_t code;
    const char *name;
    uint32_t requestBytes;
    uint32_t replyBytes;
};
enum : uint32_t { DB_COMMAND_COUNT = 11 };
extern const DbCommandInfo kDbCommands[DB_COMMAND_COUNT];
// The row of a command code, or null.
ZT_MEDIA_API
const DbCommandInfo *dbCommandInfo(uint32_t code);

// Bytes of one group bitmap: whole 32-bit words covering first..last (unsigned subtraction).
inline uint32_t dbGroupBitmapBytes(const db_group_info &g) { return ((g.last_number - g.first_number) / 32 + 1) * 4; }

// Whether member n of a group is present in its missing bitmap: bit (n - first), most significant
// bit first. The caller has checked that the bitmap covers n.
inline bool dbGroupMemberPresent(const uint8_t *bitmap, uint32_t first, uint32_t n)
{
    const uint32_t bit = n - first;
    return (bitmap[bit / 8] & (0x80u >> (bit % 8))) != 0;
}

// Whether a content record announces a parent GUMI after its own GUMI. One rule for every writer
// and parser of list entries and lookups: media_flags bit 0 alone (bit 10 is the "tr" flag).
inline bool dbHasParentGumi(uint32_t media_flags) { return (media_flags & DB_MEDIA_FLAG_PARENT_GUMI) != 0; }

// --- Content-type table -----------------------------------------------------------------------
// The facts about each content type, in one table (dbProtocol.cpp) that every command, parser,
// the responders, the comparators and the server read: class, list block, app type, output and
// query bits, kind of medium, video-ness per command and answer, extra information.
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

// The kind of medium a type holds, as the upload order ranks it.
enum class DbMediaKind : uint8_t { Photo, Burst, Continuous, TimeLapse, Video, Session, None };

// The forms of a camera file name that tell its content type (dbCameraNames.h reads a name's
// form); a content type's row lists the forms its files are named in.
enum DbNameForm : uint16_t {
    DB_NAME_COMPANION = 1u << 0,       // .LRV or .THM beside a medium: never an entry of its own
    DB_NAME_CHAPTER = 1u << 1,         // Z, chapter letter, two-digit chapter, number; a video
    DB_NAME_OLD_CHAPTER = 1u << 2,     // ZCAM and a number; a video: the old scheme's first file
    DB_NAME_LOOP_PAIR = 1u << 3,       // Z, H/X/L/M, letter pair, number, .MP4
    DB_NAME_PHOTO_PAIR = 1u << 4,      // Z, P/S, letter pair, number, .JPG
    DB_NAME_NUMBERED_VIDEO = 1u << 5,  // Z and seven digits, .MP4
    DB_NAME_NUMBERED_PHOTO = 1u << 6,  // Z and seven digits, .JPG
    DB_NAME_OTHER_VIDEO = 1u << 7,     // any other .MP4 or .360
    DB_NAME_OTHER_PHOTO = 1u << 8,     // any other .JPG
};

struct DbContentTypeInfo {
    DbTypeClass cls;
    DbListBlock block;
    uint32_t appType;    // mapDbContentTypeToApp
    uint32_t outputBit;  // shouldOutput filter bit; 0: never shown
    uint32_t queryBit;   // query_options bit that selects the type in a list; 0: none
    DbMediaKind kind;
    bool videoForResponse;  // getVideoSpecificInfoResponse checks the highlight size; v4info
                            // metadata answers it as a video
    bool videoForQuery;     // dbGetVideoSpecificInfo accepts it; v5info and videoinfo metadata
                            // answer it as a video
    bool moreInfo;          // the database keeps an extra-information record for it
    bool secondBitmap;      // a group entry with highlights carries a second bitmap
    bool spanned;           // one group may be listed once per directory (lapses)
    char groupLetter;       // photo groups: 'b', 't', 'n', 'c'; else 0
    uint16_t nameForms;     // DbNameForm bits of the card file names that have this type
    char nameLetter;        // ... when the name's second character is this one; 0: any
};

// The row of a content type, or null for values above DB_CONTENT_TYPE_MAX (file not found too).
ZT_MEDIA_API
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
ZT_MEDIA_API
uint32_t mapDbContentTypeToApp(uint32_t type);

// Whether an HTTP list shows an entry of this type under filter (0 shows everything listable).
ZT_MEDIA_API
bool shouldOutput(db_content_types_e type, uint32_t filter);

#endif
