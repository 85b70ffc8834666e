// The field-code reference in docs/responders.md is the field table: on a mismatch the test
// prints the rows the document should hold.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "libztMediaRTOSDB/responders/ztMediaFields.h"

using namespace ztmedia;

namespace {

std::string either(uint8_t sets, uint8_t video, uint8_t other)
{
    if ((sets & video) && (sets & other))
        return "video, other";
    return (sets & video) ? "video" : (sets & other) ? "other" : "";
}

std::string quoted(const char *text) { return text ? std::string("`") + text + "`" : "—"; }

// The codes a code turns on besides its own member (hi, legacy).
std::string alsoSelects(const FieldInfo &f)
{
    std::string out;
    uint64_t seen = f.bit;
    for (const FieldInfo &o : kFields) {
        if (!o.code || !o.bit || !(f.selects & o.bit) || (seen & o.bit))
            continue;
        seen |= o.bit;
        out += (out.empty() ? "" : ", ") + quoted(o.code);
    }
    return out;
}

std::string row(const FieldInfo &f)
{
    std::ostringstream s;
    s << "| " << quoted(f.code) << " | " << quoted(f.key) << " | " << alsoSelects(f) << " | "
      << ((f.answers & FA_LIST) ? "yes" : "") << " | " << ((f.answers & FA_PAGED) ? "yes" : "") << " | "
      << either(f.sets, DS_V4_VIDEO, DS_V4_OTHER) << " | " << either(f.sets, DS_V5_VIDEO, DS_V5_OTHER) << " | "
      << ((f.sets & DS_UPLOAD)    ? "upload"
          : (f.sets & DS_OFFLOAD) ? "offload"
                                  : "")
      << " |";
    std::string text = s.str();
    for (size_t at; (at = text.find("  |")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

TEST(FieldReference, DocumentShowsTheFieldTable)
{
    const std::string doc = ZT_SOURCE_DIR "/docs/responders.md";
    std::ifstream in(doc);
    ASSERT_TRUE(in) << doc;
    std::string line, documented, expected;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0)
            inside = line == "## Field codes";
        else if (inside && line.rfind("| `", 0) == 0)
            documented += line + "\n";
        else if (inside && line.rfind("| —", 0) == 0)
            documented += line + "\n";
    }
    for (const FieldInfo &f : kFields)
        expected += row(f) + "\n";
    EXPECT_EQ(documented, expected);
}

}  // namespace
