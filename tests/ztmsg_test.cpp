// Offload-manager messages: builders against capacity, the event layout, malformed bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ztmsg.h"

namespace {

ztmsg_t freshRecord(uint32_t capacity = ZTMSG_DATA_MAX)
{
    ztmsg_t m{};
    m.capacity = capacity;
    return m;
}

const char kQueue[] = "/to_wom";

// Builds the event exactly as the media checker does.
ztmsg_t checkerEvent(uint32_t code)
{
    ztmsg_t m = freshRecord();
    ztmsg_build(&m, ZTMSG_KIND_EVENT, &code, sizeof code, ZTMSG_ID_WOM_EVENT);
    m.length += sntlv_add_bin(m.data, m.capacity, 0x44, 7, kQueue);
    m.length += sntlv_add_bin(m.data, m.capacity, 0x43, 7, kQueue);
    m.length += sntlv_add_dat(m.data, m.capacity, uint32_t(-18), nullptr, 0);
    return m;
}

TEST(ZtMsg, CheckerEventIs50BytesInTheFixedLayout)
{
    ztmsg_t m = checkerEvent(24);
    const uint8_t expected[50] = {
        'E',  'V',  24,   0,    4, 0, 0, 0, 24,  0,   0,   0,                   // header + code
        0x44, 0,    0,    0,    7, 0, 0, 0, '/', 't', 'o', '_', 'w', 'o', 'm',  // destination
        0x43, 0,    0,    0,    7, 0, 0, 0, '/', 't', 'o', '_', 'w', 'o', 'm',  // reply queue
        0xEE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,                                     // end tag
    };
    ASSERT_EQ(m.length, 50u);
    EXPECT_EQ(0, memcmp(m.data, expected, sizeof expected));
    EXPECT_EQ(m.data[50], 0);  // the rest of the area stays zeroed
}

TEST(ZtMsg, AppendsRefuseWhatWouldOverflow)
{
    // Capacity 30: header 8 + payload 4 leaves 18, one 8+7 element fits and 3 bytes remain.
    ztmsg_t m = freshRecord(30), full = freshRecord(27);
    uint32_t code = 23;
    ASSERT_EQ(ztmsg_build(&m, "EV", &code, 4, 24), 12u);
    EXPECT_EQ(sntlv_add_bin(m.data, m.capacity, 0x44, 7, kQueue), 15u);
    uint8_t before[30];
    memcpy(before, m.data, sizeof before);
    EXPECT_EQ(sntlv_add_bin(m.data, m.capacity, 0x43, 7, kQueue), 0u);
    EXPECT_EQ(sntlv_add_dat(m.data, m.capacity, ZTMSG_TAG_END, nullptr, 0), 0u);
    EXPECT_EQ(0, memcmp(before, m.data, sizeof before)) << "a refused append wrote bytes";

    // An element that exactly fills the area is accepted; the next one is not.
    ASSERT_EQ(ztmsg_build(&full, "EV", &code, 4, 24), 12u);
    EXPECT_EQ(sntlv_add_bin(full.data, full.capacity, 0x44, 7, kQueue), 15u);
    EXPECT_EQ(sntlv_add_dat(full.data, full.capacity, ZTMSG_TAG_END, nullptr, 0), 0u);
}

TEST(ZtMsg, BuilderAndAppendsRejectBadArguments)
{
    uint32_t code = 25;
    struct Case {
        const char *kind;
        const void *payload;
        uint32_t capacity;
    };
    const Case bad[] = {
        {nullptr, &code, ZTMSG_DATA_MAX},
        {"E", &code, ZTMSG_DATA_MAX},
        {"EVX", &code, ZTMSG_DATA_MAX},
        {"E ", &code, ZTMSG_DATA_MAX},
        {"EV", nullptr, ZTMSG_DATA_MAX},  // size without bytes
        {"EV", &code, 11},                // payload does not fit
        {"EV", &code, ZTMSG_DATA_MAX + 1},
    };
    for (const Case &c : bad) {
        ztmsg_t m = freshRecord(c.capacity);
        EXPECT_EQ(ztmsg_build(&m, c.kind, c.payload, 4, 24), 0u) << (c.kind ? c.kind : "null");
        EXPECT_EQ(m.length, 0u);
    }
    ztmsg_t m = freshRecord();
    // No header yet: there is nothing to append to.
    EXPECT_EQ(sntlv_add_bin(m.data, m.capacity, 0x44, 7, kQueue), 0u);
    ASSERT_EQ(ztmsg_build(&m, "EV", &code, 4, 24), 12u);
    // A tag-0 empty element would read as the end mark and vanish.
    EXPECT_EQ(sntlv_add_dat(m.data, m.capacity, 0, nullptr, 0), 0u);
    EXPECT_EQ(sntlv_add_bin(m.data, m.capacity, 0x44, 7, nullptr), 0u);
}

TEST(ZtMsg, DecoderNamesWhatIsMalformed)
{
    ztmsg_t good = checkerEvent(24);
    // Overwrite byte `offset` (SIZE_MAX: none) with `value`, decode `length` bytes, expect `words`.
    struct Case {
        const char *name;
        size_t offset;
        uint8_t value;
        size_t length;
        const char *words;
    };
    const Case cases[] = {
        {"short header", SIZE_MAX, 0, 7, "shorter than its 8-byte header"},
        {"kind not text", 0, 0x01, 50, "kind"},
        {"payload overruns", 4, 200, 50, "payload of 200 bytes"},
        {"element overruns", 16, 60, 50, "element 0x44 at offset 12"},
        {"cut inside element", SIZE_MAX, 0, 35, "element 0x43 at offset 27"},
        {"trailing partial element", SIZE_MAX, 0, 46, "stray bytes"},
        {"stray byte after end", 53, 7, 54, "stray bytes"},
    };
    for (const Case &c : cases) {
        ztmsg_t m = good;
        if (c.offset != SIZE_MAX)
            m.data[c.offset] = c.value;
        ztmsg_view v;
        std::string err;
        EXPECT_FALSE(ztmsg_decode(m.data, c.length, v, err)) << c.name;
        EXPECT_NE(err.find(c.words), std::string::npos) << c.name << ": " << err;
        EXPECT_TRUE(v.elements.empty()) << c.name;
    }
    ztmsg_view v;
    std::string err;
    // The end mark may follow the last element when the sender transmits it.
    ASSERT_TRUE(ztmsg_decode(good.data, 58, v, err)) << err;
    ASSERT_EQ(v.elements.size(), 3u);
    EXPECT_STREQ(v.kind, "EV");
    EXPECT_EQ(v.elements[2].tag, uint32_t(ZTMSG_TAG_END));
    const uint8_t bytes[] = {0x00, 0x7f, 0x41};  // not text: printed as hex
    EXPECT_EQ(ztmsg_format_value({1, 3, bytes}), "00 7f 41");
}

}  // namespace
