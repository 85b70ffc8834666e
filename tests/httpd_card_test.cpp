// The card files of ztMediaHttpd: Range headers, the names a request may use, files that are
// links or not files, and the EXIF thumbnail walk over well-formed and cut blocks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "card/byteRange.h"
#include "card/cardFolder.h"
#include "card/cardNames.h"
#include "card/exifThumbnail.h"
#include "tests/support/gcore_fixtures.h"

namespace {

TEST(ByteRange, AnswersEachFormOfTheHeader)
{
    const struct {
        const char *header;
        RangeKind kind;
        uint64_t first, length;
    } cases[] = {
        {nullptr, RangeKind::Whole, 0, 1000},
        {"bytes=0-99", RangeKind::Part, 0, 100},
        {"bytes=900-", RangeKind::Part, 900, 100},
        {"bytes=900-5000", RangeKind::Part, 900, 100},  // the end is cut to the file
        {"bytes=-10", RangeKind::Part, 990, 10},
        {"bytes=-5000", RangeKind::Part, 0, 1000},
        {"bytes=999-999", RangeKind::Part, 999, 1},
        {"bytes=1000-", RangeKind::Unsatisfiable, 0, 0},
        {"bytes=99999999999999999999999-", RangeKind::Unsatisfiable, 0, 0},
        {"bytes=-0", RangeKind::Unsatisfiable, 0, 0},
        {"bytes=5-3", RangeKind::Whole, 0, 1000},      // not a range: ignored
        {"bytes=0-1,5-6", RangeKind::Whole, 0, 1000},  // several ranges: the whole file
        {"items=0-1", RangeKind::Whole, 0, 1000},
        {"bytes=-", RangeKind::Whole, 0, 1000},
    };
    for (const auto &c : cases) {
        ByteRange r = parseByteRange(c.header, 1000);
        EXPECT_EQ(r.kind, c.kind) << (c.header ? c.header : "(none)");
        if (r.kind != RangeKind::Unsatisfiable) {
            EXPECT_EQ(r.first, c.first) << (c.header ? c.header : "(none)");
            EXPECT_EQ(r.length, c.length) << (c.header ? c.header : "(none)");
        }
    }
    EXPECT_EQ(parseByteRange("bytes=0-", 0).kind, RangeKind::Unsatisfiable);
    // Only ranges that name their start and end inside the file are left to the engine.
    EXPECT_TRUE(parseByteRange("bytes=0-999", 1000).plain);
    EXPECT_TRUE(parseByteRange("bytes=10-", 1000).plain);
    EXPECT_FALSE(parseByteRange("bytes=0-1000", 1000).plain);
    EXPECT_FALSE(parseByteRange("bytes=-10", 1000).plain);
}

TEST(CardNames, TakeOnlyTheCameraForms)
{
    const struct {
        const char *path;
        bool ok;
    } cases[] = {
        {"100ZTCAM/ZX010001.MP4", true},
        {"101ZTCAM/ZCAM0002.JPG", true},
        {"100ZTCAM/ZX010001.THM", true},
        {"100ZTCAM/zx010001.mp4", false},
        {"100ZTCAM/ZX010001.EXE", false},
        {"../../etc/passwd", false},
        {"100ZTCAM/../ZX01.MP4", false},
        {"100ZTCA/ZX010001.MP4", false},
        {"100ZTCAM/ZX010001.MP4/x", false},
        {"100ZTCAM", false},
        {"100ZTCAM/", false},
        {"100ZTCAM/AX010001.MP4", false},
    };
    for (const auto &c : cases) {
        std::string folder, file;
        EXPECT_EQ(splitCardPath(c.path, &folder, &file), c.ok) << c.path;
    }
    EXPECT_STREQ(cardContentType("ZX010001.MP4"), "video/mp4");
    EXPECT_STREQ(cardContentType("ZCAM0002.JPG"), "image/jpeg");
}

TEST(CardFolder, OpensRegularFilesOnlyAndNeverThroughALink)
{
    TempDir card;
    const std::string dcim = card.file("DCIM"), folder = dcim + "/100ZTCAM";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/ZCAM0001.JPG") << "photo";
    std::ofstream(card.file("secret")) << "not on the card";
    ASSERT_EQ(symlink(card.file("secret").c_str(), (folder + "/ZCAM0002.JPG").c_str()), 0);
    ASSERT_EQ(symlink(folder.c_str(), (dcim + "/101ZTCAM").c_str()), 0);
    ASSERT_EQ(mkfifo((folder + "/ZCAM0003.JPG").c_str(), 0600), 0);
    std::filesystem::create_directories(folder + "/ZCAM0004.JPG");

    CardFolder files;
    std::string why;
    ASSERT_TRUE(files.open(card.path(), &why)) << why;
    const struct {
        const char *folder, *file;
        bool opens;
    } cases[] = {
        {"100ZTCAM", "ZCAM0001.JPG", true},  {"100ZTCAM", "ZCAM0002.JPG", false}, {"101ZTCAM", "ZCAM0001.JPG", false},
        {"100ZTCAM", "ZCAM0003.JPG", false}, {"100ZTCAM", "ZCAM0004.JPG", false}, {"100ZTCAM", "ZCAM0009.JPG", false},
    };
    for (const auto &c : cases) {
        struct stat st;
        int fd = files.openFile(c.folder, c.file, &st);
        EXPECT_EQ(fd >= 0, c.opens) << c.folder << "/" << c.file;
        if (fd >= 0) {
            EXPECT_EQ(st.st_size, 5);
            close(fd);
        }
    }
    CardFolder none;
    EXPECT_FALSE(none.open(card.file("DCIM"), &why));  // DIR must hold DCIM/
}

// A JPEG head with an APP1 EXIF block whose IFD1 points at a 4-byte "thumbnail" FF D8 FF D9.
std::string exifJpeg(bool bigEndian)
{
    auto u16 = [&](uint16_t v) {
        return bigEndian ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
    };
    auto u32 = [&](uint32_t v) {
        return bigEndian ? u16(uint16_t(v >> 16)) + u16(uint16_t(v)) : u16(uint16_t(v)) + u16(uint16_t(v >> 16));
    };
    std::string tiff = std::string(bigEndian ? "MM" : "II") + u16(42) + u32(8);
    tiff += u16(0) + u32(14);                                  // IFD0: no tags, IFD1 at 14
    tiff += u16(2) + u16(0x0201) + u16(4) + u32(1) + u32(44);  // thumbnail offset
    tiff += u16(0x0202) + u16(4) + u32(1) + u32(4) + u32(0);   // thumbnail length
    tiff += std::string("\xFF\xD8\xFF\xD9", 4);
    std::string app1 = std::string("Exif\0\0", 6) + tiff;
    size_t len = app1.size() + 2;
    return std::string("\xFF\xD8\xFF\xE1", 4) + char(len >> 8) + char(len) + app1 + "\xFF\xDA";
}

TEST(ExifThumbnail, FoundInBothByteOrdersAndRefusedWhenCut)
{
    for (bool big : {false, true}) {
        std::string j = exifJpeg(big);
        size_t offset = 0, length = 0;
        const uint8_t *p = reinterpret_cast<const uint8_t *>(j.data());
        ASSERT_TRUE(findExifThumbnail(p, j.size(), &offset, &length)) << big;
        EXPECT_EQ(j.substr(offset, length), std::string("\xFF\xD8\xFF\xD9", 4));
        for (size_t cut = 0; cut < j.size() - 2; ++cut)  // every shorter head: no read past it
            EXPECT_FALSE(findExifThumbnail(p, cut, &offset, &length)) << cut;
    }
}

}  // namespace
