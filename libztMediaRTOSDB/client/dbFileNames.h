// The client's side of the camera naming rules (ztMedia/dbNameRules.h): the chapter numbering
// follows this camera's model number. Thread-safe.
#ifndef ZT_DB_FILE_NAMES_H
#define ZT_DB_FILE_NAMES_H

#include "ztMedia/dbNameRules.h"

// True when the camera model (low 8 bits) is above 56: chapters are then numbered from 2.
bool is_new_media_name_format();

// Build member n of the group with this camera's chapter numbering (dbBuildMemberName).
bool dbMemberName(const DbMemberPattern &pattern, uint32_t groupNumber, uint32_t n, char out[DB_NAME_BUF]);

#endif
