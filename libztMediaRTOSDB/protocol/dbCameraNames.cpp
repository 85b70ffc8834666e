#include "libztMediaRTOSDB/protocol/dbCameraNames.h"

#include <algorithm>
#include <cstring>

#include "ztMedia/dbNameRules.h"

namespace {

constexpr DbCameraExtension kExtensions[] = {
    {"MP4", DbFileFormat::Mp4, false}, {"360", DbFileFormat::Mp4, false}, {"JPG", DbFileFormat::Jpeg, false},
    {"LRV", DbFileFormat::Mp4, true},  {"THM", DbFileFormat::Jpeg, true},
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpperOrDigit(char c) { return isDigit(c) || (c >= 'A' && c <= 'Z'); }

}  // namespace

bool isCardFolderName(const char *name)
{
    return std::strlen(name) == DB_DIR_NAME_LEN && std::all_of(name, name + DB_DIR_NAME_LEN, isUpperOrDigit);
}

bool isCameraFileName(const char *name)
{
    return std::strlen(name) == DB_FILE_NAME_LEN && name[0] == 'Z' && name[8] == '.' &&
           std::all_of(name + 1, name + 8, isUpperOrDigit) && dbCameraExtension(name + 9);
}

const DbCameraExtension *dbCameraExtension(const char *ext)
{
    for (const DbCameraExtension &e : kExtensions)
        if (std::memcmp(ext, e.ext, 3) == 0)
            return &e;
    return nullptr;
}

DbNameForm dbNameFormOf(const char *name)
{
    const DbCameraExtension *e = dbCameraExtension(name + 9);
    if (!e || e->companion)
        return DB_NAME_COMPANION;
    const bool video = e->format == DbFileFormat::Mp4;
    const bool mp4 = std::memcmp(e->ext, "MP4", 3) == 0;
    const bool numbered = std::all_of(name + 1, name + 8, isDigit);
    if (video && isZetroNameChapterVideo(name))
        return DB_NAME_CHAPTER;
    if (video && std::strncmp(name, "ZCAM", 4) == 0 && std::all_of(name + 4, name + 8, isDigit))
        return DB_NAME_OLD_CHAPTER;
    if (mp4 && isZetroNameLoopingVideo2A(name))
        return DB_NAME_LOOP_PAIR;
    if (isZetroNamePhotoLetter(name))
        return DB_NAME_PHOTO_PAIR;
    if (numbered && mp4)
        return DB_NAME_NUMBERED_VIDEO;
    if (numbered && !video)
        return DB_NAME_NUMBERED_PHOTO;
    return video ? DB_NAME_OTHER_VIDEO : DB_NAME_OTHER_PHOTO;
}

uint32_t dbContentTypeOfForm(DbNameForm form, char letter)
{
    uint32_t anyLetter = DB_CONTENT_TYPE_NOT_FOUND;
    for (uint32_t type = 0; type <= DB_CONTENT_TYPE_MAX; ++type) {
        const DbContentTypeInfo &info = *dbContentTypeInfo(type);
        if (!(info.nameForms & form))
            continue;
        if (info.nameLetter == letter)
            return type;
        if (info.nameLetter == 0 && anyLetter == DB_CONTENT_TYPE_NOT_FOUND)
            anyLetter = type;
    }
    return anyLetter;
}
