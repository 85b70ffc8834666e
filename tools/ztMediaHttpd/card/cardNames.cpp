// See cardNames.h.
#include "card/cardNames.h"

#include <cstring>

namespace {

const size_t kFolderLen = 8;
const size_t kFileLen = 12;

struct Extension {
    const char *ext;
    const char *contentType;
};
const Extension kExtensions[] = {
    {"JPG", "image/jpeg"},
    {"MP4", "video/mp4"},
    {"360", "video/mp4"},
    {"LRV", "video/mp4"},
    {"THM", "image/jpeg"},
};

bool isUpperOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

const Extension *extensionOf(const char *name)
{
    for (const Extension &e : kExtensions)
        if (std::strcmp(name + 9, e.ext) == 0)
            return &e;
    return nullptr;
}

} // namespace

bool isCardFolderName(const char *name)
{
    if (std::strlen(name) != kFolderLen)
        return false;
    for (size_t i = 0; i < kFolderLen; ++i)
        if (!isUpperOrDigit(name[i]))
            return false;
    return true;
}

bool isCardFileName(const char *name)
{
    if (std::strlen(name) != kFileLen || name[0] != 'Z' || name[8] != '.')
        return false;
    for (size_t i = 1; i < 8; ++i)
        if (!isUpperOrDigit(name[i]))
            return false;
    return extensionOf(name) != nullptr;
}

bool splitCardPath(const char *path, std::string *folder, std::string *file)
{
    const char *slash = std::strchr(path, '/');
    if (!slash)
        return false;
    *folder = std::string(path, (size_t)(slash - path));
    *file = slash + 1;
    return isCardFolderName(folder->c_str()) && isCardFileName(file->c_str());
}

const char *cardContentType(const std::string &file)
{
    const Extension *e = isCardFileName(file.c_str()) ? extensionOf(file.c_str()) : nullptr;
    return e ? e->contentType : "application/octet-stream";
}

std::string companionThumbnailName(const std::string &file)
{
    return file.substr(0, 9) + "THM";
}
