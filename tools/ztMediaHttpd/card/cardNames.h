// Names a card request may use: a folder of DCIM (8 upper-case letters or digits) and a camera
// file name ('Z', seven upper-case letters or digits, '.', a known extension), and the
// Content-Type of each extension. Pure functions; thread-safe.
#ifndef ZT_HTTPD_CARD_NAMES_H
#define ZT_HTTPD_CARD_NAMES_H

#include <string>

bool isCardFolderName(const char *name);
bool isCardFileName(const char *name);

// "DIR/FILE" split into its two names when both are of the camera's forms; false otherwise.
bool splitCardPath(const char *path, std::string *folder, std::string *file);

// Content-Type of a camera file name (its extension); "application/octet-stream" when unknown.
const char *cardContentType(const std::string &file);

// The companion thumbnail of a camera file: the same name with the extension THM.
std::string companionThumbnailName(const std::string &file);

#endif
