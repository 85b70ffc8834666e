// Names a card request may use: a folder of DCIM and a camera file name (the protocol's camera
// names), and the Content-Type of each. Pure functions; thread-safe.
#ifndef ZT_HTTPD_CARD_NAMES_H
#define ZT_HTTPD_CARD_NAMES_H

#include <string>

#include "libztMediaRTOSDB/protocol/dbCameraNames.h"

// "DIR/FILE" split into its two names when both are of the camera's forms; false otherwise.
bool splitCardPath(const char *path, std::string *folder, std::string *file);

// Content-Type of a camera file name (its extension); "application/octet-stream" when unknown.
const char *cardContentType(const std::string &file);

// The companion thumbnail of a camera file: the same name with the extension THM.
std::string companionThumbnailName(const std::string &file);

#endif
