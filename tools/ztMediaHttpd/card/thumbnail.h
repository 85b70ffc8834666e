// The thumbnail of one card file, in order of cost: the companion .THM file the camera wrote,
// else the EXIF thumbnail embedded in a photo, else a photo decoded at reduced scale. Reads
// bounded amounts of the file; thread-safe.
#ifndef ZT_HTTPD_THUMBNAIL_H
#define ZT_HTTPD_THUMBNAIL_H

#include <string>

#include "card/cardFolder.h"

// True with the thumbnail's JPEG bytes in *jpeg; false when the file is missing or has no
// thumbnail that can be found or made (a video without a companion file).
bool cardThumbnail(const CardFolder &card, const std::string &folder, const std::string &file, std::string *jpeg);

#endif
