#include "ztMedia/dbNameRules.h"

#include <cstdio>
#include <cstring>

#include "libztMediaRTOSDB/protocol/dbCameraNames.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

// Positions 4..7 are digits and not all '0' (the file or member number).
bool numberOk(const char *name)
{
    bool nonZero = false;
    for (int i = 4; i < 8; ++i) {
        if (!isDigit(name[i]))
            return false;
        nonZero = nonZero || name[i] != '0';
    }
    return nonZero;
}

// A video's extension, or a companion's (whose medium may be a video).
bool videoExtOk(const char *name)
{
    const DbCameraExtension *e = name[8] == '.' ? dbCameraExtension(name + 9) : nullptr;
    return e && (e->format == DbFileFormat::Mp4 || e->companion);
}

// The name is at least 12 characters long (a terminator earlier fails every test).
bool fullLength(const char *name) { return name && memchr(name, 0, DB_FILE_NAME_LEN) == nullptr; }

bool hasPrefixZCAM(const char *name) { return std::strncmp(name, "ZCAM", 4) == 0; }

}  // namespace

bool isZetroNameChapterVideo(const char *name)
{
    // Bit i stands for letter 'B' + i: B, F, H, L, M, P, S and X.
    constexpr uint32_t kChapterLetters = 0x424C51;
    if (!fullLength(name) || name[0] != 'Z')
        return false;
    const int letter = name[1] - 'B';
    if (letter < 0 || letter > 22 || !((kChapterLetters >> letter) & 1))
        return false;
    if (!isDigit(name[2]) || !isDigit(name[3]) || (name[2] == '0' && name[3] == '0'))
        return false;
    return numberOk(name) && videoExtOk(name);
}

bool isZetroNameLoopingVideo2A(const char *name)
{
    if (!fullLength(name) || name[0] != 'Z' || !std::strchr("HXLM", name[1]))
        return false;
    return isUpper(name[2]) && isUpper(name[3]) && numberOk(name) && videoExtOk(name);
}

bool isZetroNamePhotoLetter(const char *name)
{
    if (!fullLength(name) || name[0] != 'Z' || (name[1] != 'P' && name[1] != 'S'))
        return false;
    return isUpper(name[2]) && isUpper(name[3]) && numberOk(name) && std::memcmp(name + 8, ".JPG", 4) == 0;
}

bool dbIsNewNameFormat(int modelNumber) { return static_cast<uint8_t>(modelNumber) > 56; }

void dbLetterPairFromGroup(uint32_t groupNumber, char pair[2])
{
    const uint32_t k = groupNumber - DB_LETTER_PAIR_BASE;
    pair[0] = static_cast<char>('A' + k / 26);
    pair[1] = static_cast<char>('A' + k % 26);
}

uint32_t dbGroupFromLetterPair(char first, char second)
{
    return 26u * static_cast<uint32_t>(first - 'A') + static_cast<uint32_t>(second - 'A') + DB_LETTER_PAIR_BASE;
}

DbMemberPattern dbMemberPatternFor(uint32_t type, const char *firstName)
{
    DbMemberPattern p{};
    std::memcpy(p.first, firstName, DB_FILE_NAME_LEN);
    p.first[DB_FILE_NAME_LEN] = 0;
    const char *f = p.first;
    auto set = [&p](DbMemberKind kind, char lead, const char *ext) {
        p.kind = kind;
        p.lead = lead;
        std::memcpy(p.ext, ext, 4);
    };
    if (type == DB_CONTENT_TYPE_CHAPTERED_VIDEO) {
        if (hasPrefixZCAM(f))
            set(DbMemberKind::Chapter, 'P', "MP4");
        else
            set(DbMemberKind::Chapter, f[1], std::memcmp(f + 8, ".360", 4) == 0 ? "360" : "MP4");
    } else if (type == DB_CONTENT_TYPE_LOOPING_VIDEO) {
        if (isZetroNameLoopingVideo2A(f))
            set(DbMemberKind::LetterPair, f[1], "MP4");
        else
            set(DbMemberKind::Numeric, f[0], "MP4");
    } else if (type == DB_CONTENT_TYPE_BURST || type == DB_CONTENT_TYPE_TIME_LAPSE ||
               type == DB_CONTENT_TYPE_NIGHT_LAPSE || type == DB_CONTENT_TYPE_CONTINUOUS) {
        if (isZetroNamePhotoLetter(f))
            set(DbMemberKind::LetterPair, f[1], "JPG");
        else
            set(DbMemberKind::Numeric, f[0], "JPG");
    }
    static const char *const kText[] = {"", "Z%c%%02d%%04d.%s", "Z%c%%c%%c%%04d.%s", "%c%%03d%%04d.%s"};
    std::snprintf(p.text, sizeof p.text, kText[static_cast<int>(p.kind)], p.lead, p.ext);
    return p;
}

bool dbBuildMemberName(const DbMemberPattern &p, uint32_t groupNumber, uint32_t n, bool newNumbering,
                       char out[DB_NAME_BUF])
{
    // Built wide, then cut: numbers too large for their field push the extension out.
    char wide[48];
    const int group = static_cast<int>(groupNumber);
    switch (p.kind) {
    case DbMemberKind::Chapter: {
        if (n == 0) {
            std::memcpy(out, p.first, DB_NAME_BUF);
            return true;
        }
        const uint32_t chapter = newNumbering ? n + 1 : n;
        std::snprintf(wide, sizeof wide, "Z%c%02d%04d.%s", p.lead, static_cast<int>(chapter), group, p.ext);
        break;
    }
    case DbMemberKind::LetterPair: {
        char pair[2];
        dbLetterPairFromGroup(groupNumber, pair);
        std::snprintf(wide, sizeof wide, "Z%c%c%c%04d.%s", p.lead, pair[0], pair[1], static_cast<int>(n), p.ext);
        break;
    }
    case DbMemberKind::Numeric:
        std::snprintf(wide, sizeof wide, "%c%03d%04d.%s", p.lead, group, static_cast<int>(n), p.ext);
        break;
    case DbMemberKind::None: out[0] = 0; return false;
    }
    std::memcpy(out, wide, DB_FILE_NAME_LEN);
    out[DB_FILE_NAME_LEN] = 0;
    return true;
}

uint32_t dbGroupNumberFromFirstName(const char *firstName)
{
    char f[DB_NAME_BUF] = {0};
    std::memcpy(f, firstName, DB_FILE_NAME_LEN);
    if (hasPrefixZCAM(f))
        return 0;
    uint32_t value = 0;
    // A chapter name keeps its group in the file number (positions 4..7), where the chapter
    // patterns put it back; the looping form keeps it in the letter pair.
    if (isZetroNameChapterVideo(f)) {
        for (int i = 4; i < 8; ++i)
            value = value * 10 + static_cast<uint32_t>(f[i] - '0');
        return value;
    }
    if (isZetroNameLoopingVideo2A(f))
        return dbGroupFromLetterPair(f[2], f[3]);
    for (int i = 1; i < 4 && isDigit(f[i]); ++i)
        value = value * 10 + static_cast<uint32_t>(f[i] - '0');
    return value;
}
