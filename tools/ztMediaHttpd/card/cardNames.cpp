// See cardNames.h.
#include "card/cardNames.h"

#include <cstring>

bool splitCardPath(const char *path, std::string *folder, std::string *file)
{
    const char *slash = std::strchr(path, '/');
    if (!slash)
        return false;
    *folder = std::string(path, (size_t)(slash - path));
    *file = slash + 1;
    return isCardFolderName(folder->c_str()) && isCameraFileName(file->c_str());
}

const char *cardContentType(const std::string &file)
{
    if (!isCameraFileName(file.c_str()))
        return "application/octet-stream";
    return dbCameraExtension(file.c_str() + 9)->format == DbFileFormat::Jpeg ? "image/jpeg" : "video/mp4";
}

std::string companionThumbnailName(const std::string &file) { return file.substr(0, 9) + "THM"; }
