// Offload-manager message encoding: builders and decoder over the same walk of the elements.
#include "platform/ztmsg.h"

#include <fcntl.h>
#include <mqueue.h>

#include <cstdio>
#include <cstring>

namespace {

uint32_t rd32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void wr32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool is_kind_char(uint8_t c) { return c > 0x20 && c < 0x7F; }

// Walks the header and the elements of data[0, limit). On success stores the offset just past
// the last element (where the end mark is, or limit) in *end. On failure sets why.
bool walk(const uint8_t *data, size_t limit, size_t *end, std::vector<ztmsg_element> *out, std::string *why)
{
    char text[96];
    if (limit < ZTMSG_HEADER_SIZE) {
        snprintf(text, sizeof text, "message of %zu bytes is shorter than its 8-byte header", limit);
        if (why)
            *why = text;
        return false;
    }
    if (!is_kind_char(data[0]) || !is_kind_char(data[1])) {
        if (why)
            *why = "header kind is not two printable characters";
        return false;
    }
    uint32_t payload = rd32(data + 4);
    if (payload > limit - ZTMSG_HEADER_SIZE) {
        snprintf(text, sizeof text, "payload of %u bytes overruns the %zu-byte message", payload, limit);
        if (why)
            *why = text;
        return false;
    }
    size_t off = ZTMSG_HEADER_SIZE + payload;
    while (limit - off >= ZTMSG_ELEMENT_HEADER_SIZE) {
        uint32_t tag = rd32(data + off), size = rd32(data + off + 4);
        if (tag == 0 && size == 0)
            break;
        if (size > limit - off - ZTMSG_ELEMENT_HEADER_SIZE) {
            snprintf(text, sizeof text, "element 0x%X at offset %zu: %u bytes overrun the message", tag, off, size);
            if (why)
                *why = text;
            return false;
        }
        if (out)
            out->push_back({tag, size, data + off + ZTMSG_ELEMENT_HEADER_SIZE});
        off += ZTMSG_ELEMENT_HEADER_SIZE + size;
    }
    *end = off;
    return true;
}

}  // namespace

int ztmsg_open_wom_queue(int oflag)
{
    mq_attr attr{};
    attr.mq_flags = 0;
    attr.mq_maxmsg = ZT_WOM_QUEUE_MAXMSG;
    attr.mq_msgsize = ZT_WOM_QUEUE_MSGSIZE;
    attr.mq_curmsgs = 0;
    return mq_open(ZT_WOM_QUEUE_NAME, oflag | O_CREAT, 0664, &attr);
}

uint32_t ztmsg_build(ztmsg_t *record, const char *kind, const void *payload, uint32_t size, uint16_t id)
{
    if (!record || !kind || strlen(kind) != 2 || (!payload && size))
        return 0;
    if (!is_kind_char(uint8_t(kind[0])) || !is_kind_char(uint8_t(kind[1])))
        return 0;
    if (record->capacity > sizeof record->data || size > record->capacity ||
        record->capacity - size < ZTMSG_HEADER_SIZE)
        return 0;
    uint8_t *d = record->data;
    d[0] = uint8_t(kind[0]);
    d[1] = uint8_t(kind[1]);
    d[2] = uint8_t(id);
    d[3] = uint8_t(id >> 8);
    wr32(d + 4, size);
    if (size)
        memcpy(d + ZTMSG_HEADER_SIZE, payload, size);
    record->length = ZTMSG_HEADER_SIZE + size;
    return record->length;
}

uint32_t sntlv_add_bin(uint8_t *data, uint32_t capacity, uint32_t tag, uint32_t size, const void *bytes)
{
    if (!data || (!bytes && size) || (tag == 0 && size == 0))
        return 0;
    size_t end = 0;
    if (!walk(data, capacity, &end, nullptr, nullptr))
        return 0;
    if (capacity - end < ZTMSG_ELEMENT_HEADER_SIZE || size > capacity - end - ZTMSG_ELEMENT_HEADER_SIZE)
        return 0;
    wr32(data + end, tag);
    wr32(data + end + 4, size);
    if (size)
        memcpy(data + end + ZTMSG_ELEMENT_HEADER_SIZE, bytes, size);
    return ZTMSG_ELEMENT_HEADER_SIZE + size;
}

uint32_t sntlv_add_dat(uint8_t *data, uint32_t capacity, uint32_t tag, const void *value, uint32_t size)
{
    return sntlv_add_bin(data, capacity, tag, size, value);
}

bool ztmsg_decode(const void *msg, size_t len, ztmsg_view &out, std::string &error)
{
    out = ztmsg_view{};
    if (!msg) {
        error = "no message";
        return false;
    }
    const uint8_t *d = static_cast<const uint8_t *>(msg);
    size_t end = 0;
    if (!walk(d, len, &end, &out.elements, &error)) {
        out.elements.clear();
        return false;
    }
    // A message is sent with its exact length, so stray bytes after the last element that do
    // not form the end mark mean it was cut or corrupted.
    for (size_t i = end; i < len; ++i) {
        if (d[i] != 0) {
            error = "stray bytes after the last element at offset " + std::to_string(end);
            out.elements.clear();
            return false;
        }
    }
    out.kind[0] = char(d[0]);
    out.kind[1] = char(d[1]);
    out.kind[2] = '\0';
    out.id = uint16_t(d[2] | d[3] << 8);
    out.payload_size = rd32(d + 4);
    out.payload = d + ZTMSG_HEADER_SIZE;
    return true;
}

std::string ztmsg_format_value(const ztmsg_element &element)
{
    bool text = element.size > 0;
    for (uint32_t i = 0; i < element.size && text; ++i)
        text = element.value[i] >= 0x20 && element.value[i] < 0x7F;
    std::string s;
    if (text) {
        s = "\"";
        s.append(reinterpret_cast<const char *>(element.value), element.size);
        return s + "\"";
    }
    char hex[4];
    for (uint32_t i = 0; i < element.size; ++i) {
        snprintf(hex, sizeof hex, i ? " %02x" : "%02x", element.value[i]);
        s += hex;
    }
    return s;
}
