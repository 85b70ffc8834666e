// Offload-manager messages: the builders the media checker uses to encode one event for the
// queue "/to_wom", and the decoder its listener uses, so the encoding lives in one place.
// Records and views are owned by the caller; a view points into the caller's bytes. No shared
// state: safe from any thread.
#ifndef ZT_PLATFORM_ZTMSG_H
#define ZT_PLATFORM_ZTMSG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Layout, all integers little-endian: header kind(2 ASCII) id(u16) size(u32) payload(size),
// then tag(u32) length(u32) value(length) elements back to back. The first 8 zero bytes after
// the last element mark the end, which is why a record starts zeroed.
enum : uint32_t {
    ZTMSG_DATA_MAX = 1500,
    ZTMSG_HEADER_SIZE = 8,
    ZTMSG_ELEMENT_HEADER_SIZE = 8,
};

// Identifiers of the offload-manager event the media checker sends.
enum : uint32_t {
    ZTMSG_ID_WOM_EVENT = 24,       // message id of an event for the offload manager
    ZTMSG_TAG_DEST_QUEUE = 0x44,   // queue the message is addressed to
    ZTMSG_TAG_REPLY_QUEUE = 0x43,  // queue the sender listens on
    ZTMSG_TAG_END = 0xFFFFFFEEu,   // closes the element list (-18 as a 32-bit word)
};
#define ZTMSG_KIND_EVENT "EV"

// The offload manager's queue and the attributes both ends open it with.
#define ZT_WOM_QUEUE_NAME "/to_wom"
enum : long {
    ZT_WOM_QUEUE_MAXMSG = 10,
    ZT_WOM_QUEUE_MSGSIZE = ZTMSG_DATA_MAX,
};

// Opens (creating when missing) the offload manager's queue with oflag (O_RDONLY, O_WRONLY or
// O_RDWR) plus O_CREAT, permission bits 0664 and the attributes above. The descriptor, or -1
// with errno set.
int ztmsg_open_wom_queue(int oflag);

struct ztmsg_t {
    uint32_t capacity;  // size of data; given to every append
    uint32_t length;    // bytes of data in use; this many are sent
    uint8_t data[ZTMSG_DATA_MAX];
};

// Writes the header and payload at the start of record->data and sets record->length to
// 8 + size. Returns that length, or 0 (record untouched) for a null record or kind, a kind
// that is not 2 characters, a null payload with a non-zero size, or a message too large.
uint32_t ztmsg_build(ztmsg_t *record, const char *kind, const void *payload, uint32_t size, uint16_t id);

// Appends one element after the header and the elements already in data (found by walking
// them). Returns the bytes appended (8 + size), or 0 when it would not fit in capacity, when
// data does not hold a well-formed message, or for an element indistinguishable from the end
// mark (tag 0 with size 0).
uint32_t sntlv_add_bin(uint8_t *data, uint32_t capacity, uint32_t tag, uint32_t size, const void *bytes);
// The same with size bytes at value; a null value with size 0 appends a bare tag.
uint32_t sntlv_add_dat(uint8_t *data, uint32_t capacity, uint32_t tag, const void *value, uint32_t size);

struct ztmsg_element {
    uint32_t tag;
    uint32_t size;
    const uint8_t *value;  // points into the decoded bytes
};

struct ztmsg_view {
    char kind[3];  // the two kind characters, terminated
    uint16_t id;
    uint32_t payload_size;
    const uint8_t *payload;
    std::vector<ztmsg_element> elements;
};

// Decodes len bytes of one received message into out. Returns true on success; on a
// malformed message returns false and sets error to what is wrong (with the offset).
bool ztmsg_decode(const void *msg, size_t len, ztmsg_view &out, std::string &error);

// Renders an element value for a log line: quoted text when every byte is printable,
// hex bytes otherwise.
std::string ztmsg_format_value(const ztmsg_element &element);

#endif
