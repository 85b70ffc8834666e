// Query-string rules of the responders: URL decoding, variable lookup and the two request parsers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/responders/ztMediaQuery.h"
#include "support/klog_capture.h"

using namespace ztmedia;

namespace {

// Rejections log at level 2; the tests keep those lines off the terminal.
class MediaQuery : public ::testing::Test {
protected:
    KlogCapture klog{1};
};

struct DecodeRow {
    std::string src;
    int dstSize;
    int form;
    int result;
    std::string out;
};

TEST_F(MediaQuery, UrlDecode)
{
    const DecodeRow rows[] =
        {
            {"a%41b", 16, 1, 3, "aAb"},  {"%4a%4A", 16, 1, 2, "JJ"},
            {"a+b", 16, 1, 3, "a b"},    {"a+b", 16, 0, 3, "a+b"},
            {"x%4", 16, 1, 3, "x%4"},  // '%' in the last two positions stays
            {"x%zz", 16, 1, 4, "x%zz"},  {"abc%", 16, 1, 4, "abc%"},
            {"abcdef", 4, 1, -1, "abc"},  // destination filled first
            {"", 16, 1, 0, ""},          {"ab", 1, 1, -1, ""},
        };
    for (const DecodeRow &r : rows) {
        char dst[16];
        std::memset(dst, 'Z', sizeof dst);
        EXPECT_EQ(mg_url_decode(r.src.data(), static_cast<int>(r.src.size()), dst, r.dstSize, r.form), r.result)
            << r.src;
        EXPECT_EQ(std::string(dst), r.out) << r.src;
    }
}

struct VarRow {
    std::string query;
    const char *name;
    size_t occurrence;
    size_t dstSize;
    int result;
    std::string value;
};

TEST_F(MediaQuery, GetVar)
{
    const VarRow rows[] = {
        {"f=photos", "f", 0, 64, 6, "photos"},
        {"F=photos", "f", 0, 64, 6, "photos"},  // key names in any case
        {"ff=1&f=2", "f", 0, 64, 1, "2"},       // only at the start or after '&'
        {"xf=1", "f", 0, 64, -1, ""},
        {"f=1&f=2", "f", 1, 64, 1, "2"},
        {"f=1&f=2", "f", 2, 64, -1, ""},
        {"f=&g=1", "f", 0, 64, 0, ""},
        {"f=abcdef", "f", 0, 4, -2, "abc"},
        {"f=a%20b+c", "f", 0, 64, 5, "a b c"},
        {"", "f", 0, 64, -1, ""},
    };
    for (const VarRow &r : rows) {
        char dst[64] = "junk";
        EXPECT_EQ(mg_get_var2(r.query.c_str(), r.query.size(), r.name, dst, r.dstSize, r.occurrence), r.result)
            << r.query;
        EXPECT_EQ(std::string(dst), r.value) << r.query;
    }
    char dst[4];
    EXPECT_EQ(mg_get_var("f=1", 3, "f", dst, 0), -2);
    EXPECT_EQ(mg_strncasecmp("ABC", "abd", 2), 0);
    EXPECT_LT(mg_strncasecmp("ABC", "abd", 3), 0);
    EXPECT_EQ(mg_strncasecmp("a", "b", 0), 0);
}

struct ListRow {
    std::string query;
    int status;
    int32_t filter;
    uint32_t options;
    uint64_t mask;
    std::string unsupported;
    std::string dir;
};

TEST_F(MediaQuery, MediaList)
{
    const std::string longFields = "fields=" + std::string(60, 'x') + "," + std::string(60, 'y');
    const ListRow rows[] = {
        {"", 200, 0, 0xfffffb00, 0x81b, "", ""},
        {"f=clips", 200, 4, 0x300, ~0ull, "", ""},
        {"f=none", 200, 14, 0xf00, ~0ull, "", ""},
        {"f=CLIPS", 501, 0, 0, ~0ull, "", ""},
        {"f=clips&f=video", 400, 4, 0x300, ~0ull, "", ""},
        {"f=", 400, 0, 0, ~0ull, "", ""},
        {"f=" + std::string(64, 'a'), 400, 0, 0, ~0ull, "", ""},
        {"fields=%22n,mod,zz,yy%22", 200, 0, 0, 0x3, "zz,yy", ""},
        {"fields=hi,legacy,,mos", 200, 0, 0, 0x400000f1b, "", ""},
        {"fields=n&fields=s", 400, 0, 0, 0x1, "", ""},
        {longFields, 500, 0, 0, ~0ull, std::string(60, 'x') + "," + std::string(39, 'y'), ""},
        {"fields=n,a%22b", 400, 0, 0, ~0ull, "", ""},             // would break the JSON it is echoed in
        {"fields=n,a%5Cb", 400, 0, 0, ~0ull, "", ""},             // as would a backslash
        {"f=photos&fields=n,%ff", 400, 1, 0x200, ~0ull, "", ""},  // so would a byte outside UTF-8
        {"f=photos%00&fields=n,caf%C3%A9", 200, 1, 0x200, 0x1, "caf\xC3\xA9", ""},  // as C strings
        {"f=upload", 200, 15, 0, 0x8000, "", ""},
        {"f=upload&status=12", 200, 16, 0, 0x8000, "", ""},
        {"f=upload&status=12x", 400, 15, 0, 0x8000, "", ""},
        {"f=upload&status=-1", 200, 16, 0, 0x8000, "", ""},  // strtoul takes it whole
        {"f=upload&status=", 400, 15, 0, 0x8000, "", ""},
        {"f=upload&status=1&status=2", 400, 16, 0, 0x8000, "", ""},
        {"f=photos&status=", 200, 1, 0x200, ~0ull, "", ""},
        {"f=offload&status=pc&value=false", 200, 18, 0, 0x400000000, "", ""},
        {"f=offload&status=pc", 400, 17, 0, 0x400000000, "", ""},
        {"f=offload&status=usb&value=true", 400, 17, 0, 0x400000000, "", ""},
        {"folder=100ZTCAM&files=A", 200, 0, 0, ~0ull, "", "100ZTCAM"},
        {"folder=100ZTCAMX&files=A", 400, 0, 0, ~0ull, "", ""},
        {"folder=100ZTCAM", 400, 0, 0, ~0ull, "", "100ZTCAM"},
        {"files=A", 400, 0, 0, ~0ull, "", ""},
        {"folder=&files=", 200, 0, 0, ~0ull, "", ""},
        {"folder=A&folder=B&files=x", 400, 0, 0, ~0ull, "", "A"},
        {"f=%", 501, 0, 0, ~0ull, "", ""},
    };
    for (const ListRow &r : rows) {
        dbSettings_t s = freshSettings(FM_ALL);
        EXPECT_EQ(parseMediaListQuery(r.query.c_str(), r.query.size(), &s), r.status) << r.query;
        EXPECT_EQ(s.filter, r.filter) << r.query;
        EXPECT_EQ(s.rtosDBQueryOptions, r.options) << r.query;
        EXPECT_EQ(s.whitelistMask, r.mask) << r.query;
        EXPECT_EQ(std::string(s.unsupported), r.unsupported) << r.query;
        EXPECT_EQ(std::string(s.dirName), r.dir) << r.query;
    }
}

struct MetaRow {
    std::string query;
    int status;
    int32_t filter;
    std::string dir, file;
};

TEST_F(MediaQuery, Metadata)
{
    const MetaRow rows[] = {
        {"t=v5info&p=100ZTCAM/ZX010001.MP4", 200, 22, "100ZTCAM", "ZX010001.MP4"},
        {"t=v4info&p=/100ZTCAM/ZCAM0002.JPG", 200, 21, "100ZTCAM", "ZCAM0002.JPG"},
        {"t=dur&p=100ZTCAM/ZB010301.360", 200, 20, "100ZTCAM", "ZB010301.360"},
        {"t=v5info&p=100ZTCAM/ZX010001.mp4", 404, 22, "100ZTCAM", "ZX010001.mp4"},
        {"t=v5info&p=100ZTCAMX/ZX010001.MP4", 400, 22, "", ""},
        {"t=v5info&p=../ZX010001.MP4", 200, 22, "..", "ZX010001.MP4"},  // a key, never a path
        {"t=v5info&p=100ZTCAM/ZX010001.MP4X", 400, 22, "", ""},
        {"t=v5info&p=100ZTCAM", 400, 22, "", ""},
        {"t=v5info&p=100ZTCAM/ZX010001.MP4/x", 200, 22, "100ZTCAM", "ZX010001.MP4"},
        {"t=v5info", 400, 22, "", ""},
        {"p=100ZTCAM/ZX010001.MP4", 400, 0, "", ""},
        {"t=v6info&p=100ZTCAM/ZX010001.MP4", 501, 0, "", ""},
        {"t=dur&t=dur&p=100ZTCAM/ZX010001.MP4", 400, 20, "", ""},
        {"t=dur&p=100ZTCAM/ZX010001.MP4&p=100ZTCAM/ZX010001.MP4", 400, 20, "100ZTCAM", "ZX010001.MP4"},
        {"t=upload&p=100ZTCAM/ZX010001.MP4&status=3", 200, 24, "100ZTCAM", "ZX010001.MP4"},
        {"t=offload&p=100ZTCAM/ZX010001.MP4&status=app&value=true", 200, 26, "100ZTCAM", "ZX010001.MP4"},
        {"t=offload&p=100ZTCAM/ZX010001.MP4&status=", 400, 25, "100ZTCAM", "ZX010001.MP4"},
        {"t=v5info&p=100ZTCAM/ZX01%0001.MP4", 404, 22, "100ZTCAM", "ZX01"},
    };
    for (const MetaRow &r : rows) {
        dbSettings_t s = freshSettings(FM_ALL);
        EXPECT_EQ(parseMetadataQuery(r.query.c_str(), r.query.size(), &s), r.status) << r.query;
        EXPECT_EQ(s.filter, r.filter) << r.query;
        EXPECT_EQ(std::string(s.dirName), r.dir) << r.query;
        EXPECT_EQ(std::string(s.fileName), r.file) << r.query;
    }
}

// civetweb exports mg_get_var and friends and calls them through the dynamic linker: the
// archive a host links beside it must define none of those names as a C symbol or a global C++
// function, only inside its own namespace.
TEST_F(MediaQuery, UrlHelpersStayInTheirNamespace)
{
    const std::string cmd = std::string("nm --defined-only ") + ZT_BIN_DIR + "/../lib/libztMediaRTOSDB.a 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string symbols = "\n";
    char line[4096];
    while (std::fgets(line, sizeof line, p))
        if (const char *name = std::strrchr(line, ' '))
            symbols += std::string(name + 1);  // keeps the newline as a separator
    EXPECT_EQ(pclose(p), 0);
    for (const std::string name : {"mg_get_var", "mg_get_var2", "mg_url_decode", "mg_strncasecmp"}) {
        const std::string len = std::to_string(name.size());
        EXPECT_EQ(symbols.find("\n" + name + "\n"), std::string::npos) << name;
        EXPECT_EQ(symbols.find("\n_Z" + len + name), std::string::npos) << name;
        EXPECT_NE(symbols.find("\n_ZN7ztmedia" + len + name + "E"), std::string::npos) << name;
    }
}

}  // namespace
