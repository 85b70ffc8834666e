// Camera file-name rules and the content-type table.
#include <string>

#include <gtest/gtest.h>

#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbFileNames.h"
#include "libztMediaRTOSDB/protocol/dbCameraNames.h"
#include "support/scoped_env.h"

namespace {

std::string member(uint32_t type, const char *first, uint32_t group, uint32_t n)
{
    char out[DB_NAME_BUF];
    EXPECT_TRUE(dbMemberName(dbMemberPatternFor(type, first), group, n, out));
    return out;
}

}  // namespace

TEST(DbFileNames, Recognisers)
{
    const struct {
        const char *name;
        bool chapter, looping, photoLetter;
    } cases[] = {
        {"ZX010001.MP4", true, false, false},  {"ZB990001.360", true, false, false},
        {"ZP010001.THM", true, false, false},  {"ZX000001.MP4", false, false, false},
        {"ZX010000.MP4", false, false, false}, {"ZA010001.MP4", false, false, false},
        {"ZX010001.JPG", false, false, false}, {"ZX010001MP4x", false, false, false},
        {"ZXAA0001.MP4", false, true, false},  {"ZLZZ0001.360", false, true, false},
        {"ZPAA0001.MP4", false, false, false}, {"ZXAa0001.MP4", false, false, false},
        {"ZXAA0000.MP4", false, false, false}, {"ZPAB0001.JPG", false, false, true},
        {"ZSZZ0009.JPG", false, false, true},  {"ZXAB0001.JPG", false, false, false},
        {"ZX01", false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.chapter, isZetroNameChapterVideo(c.name));
        EXPECT_EQ(c.looping, isZetroNameLoopingVideo2A(c.name));
        EXPECT_EQ(c.photoLetter, isZetroNamePhotoLetter(c.name));
    }
}

TEST(DbFileNames, ChapterMembersUnderBothNumberings)
{
    {
        ScopedEnv env("ZT_MODEL_NUMBER", "57");
        EXPECT_EQ("ZX020123.MP4", member(2, "ZX010123.MP4", 123, 1));
        EXPECT_EQ("ZX040123.MP4", member(2, "ZX010123.MP4", 123, 3));
        EXPECT_EQ("ZH030042.360", member(2, "ZH010042.360", 42, 2));
    }
    ScopedEnv env("ZT_MODEL_NUMBER", "56");
    EXPECT_EQ("ZX010123.MP4", member(2, "ZX010123.MP4", 123, 1));
    EXPECT_EQ("ZX030123.MP4", member(2, "ZX010123.MP4", 123, 3));
    // The old scheme: member 0 keeps the first file's own name.
    EXPECT_EQ("ZCAM0123.MP4", member(2, "ZCAM0123.MP4", 123, 0));
    EXPECT_EQ("ZP010123.MP4", member(2, "ZCAM0123.MP4", 123, 1));
}

TEST(DbFileNames, LoopingAndPhotoMembers)
{
    EXPECT_EQ("ZXAA0003.MP4", member(1, "ZXAA0001.MP4", 1001, 3));
    EXPECT_EQ("Z0120003.MP4", member(1, "Z0120001.MP4", 12, 3));
    EXPECT_EQ("ZPBA0007.JPG", member(6, "ZPBA0001.JPG", 1027, 7));
    EXPECT_EQ("ZPAA0002.JPG", member(5, "ZPAA0001.JPG", 1001, 2));  // bursts use the pair too
    EXPECT_EQ("G0050010.JPG", member(8, "G0050001.JPG", 5, 10));
    // Numbers wider than their field are cut at 12 characters, never overflow the buffer.
    EXPECT_EQ("Z12345670003", member(1, "Z0120001.MP4", 1234567, 3));
    char out[DB_NAME_BUF];
    EXPECT_FALSE(dbMemberName(dbMemberPatternFor(4, "ZP010001.JPG"), 1, 1, out));
}

TEST(DbFileNames, GroupNumberFromFirstName)
{
    const struct {
        const char *name;
        uint32_t group;
    } cases[] = {{"ZCAM0123.MP4", 0},    {"ZX010123.MP4", 123}, {"ZXBA0001.MP4", 1027},
                 {"ZXZZ0001.MP4", 1676}, {"G0120001.JPG", 12},  {"Z0070001.MP4", 7}};
    for (const auto &c : cases)
        EXPECT_EQ(c.group, dbGroupNumberFromFirstName(c.name)) << c.name;
}

TEST(DbContentTypes, AppTypesAndOutputFilter)
{
    EXPECT_EQ(3u, mapDbContentTypeToApp(13));
    EXPECT_EQ(0xFFFFFFFFu, mapDbContentTypeToApp(0xFFFFFFFF));
    const struct {
        uint32_t type, filter;
        bool shown;
    } cases[] = {{7, 0x100, false}, {7, 0x400, true}, {12, 0xFFFFFFFF, false}, {4, 0, true}, {0xFFFFFFFF, 0, false}};
    for (const auto &c : cases)
        EXPECT_EQ(c.shown, shouldOutput(static_cast<db_content_types_e>(c.type), c.filter))
            << c.type << " " << c.filter;
}

// The card scan's type of each name form comes from the content-type table (the forms missing from
// mediadb_card_test's card).
TEST(DbContentTypes, CardNamesGiveTheirType)
{
    const struct {
        const char *name;
        uint32_t type;
    } cases[] = {
        {"ZCAM0001.MP4", DB_CONTENT_TYPE_VIDEO},         {"ZXAA0001.360", DB_CONTENT_TYPE_VIDEO},
        {"Z0070001.MP4", DB_CONTENT_TYPE_LOOPING_VIDEO}, {"Z0070001.360", DB_CONTENT_TYPE_VIDEO},
        {"ZPAB0001.JPG", DB_CONTENT_TYPE_CONTINUOUS},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dbContentTypeOfForm(dbNameFormOf(c.name), c.name[1]), c.type) << c.name;
}
