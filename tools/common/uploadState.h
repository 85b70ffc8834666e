// Reading back the upload state the database holds for a medium, which the tools that write one
// do: the candidate list reports a write as done even when the database could not keep it.
// Header-only, so a tool takes it without linking another tool.
#ifndef ZT_TOOLS_UPLOAD_STATE_H
#define ZT_TOOLS_UPLOAD_STATE_H

#include <cstring>
#include <string>

#include "cah/CAHMediaList.h"
#include "ztMedia/ztMediaDB.h"

// The upload state (low 16 bits of the word) held for "DIR/FILE" into *state. Returns the query's
// result (0: read), or -1 without asking when `rel` is not of that form.
inline int readUploadState(const std::string &rel, UploadState *state)
{
    db_file_spec fs{};
    if (rel.find('/') != DB_DIR_NAME_LEN || rel.size() != DB_DIR_NAME_LEN + 1 + DB_FILE_NAME_LEN)
        return -1;
    std::memcpy(fs.dir_name, rel.data(), DB_DIR_NAME_LEN);
    std::memcpy(fs.file_name, rel.data() + DB_DIR_NAME_LEN + 1, DB_FILE_NAME_LEN);
    db_content_info ci{};
    const int rc = dbGetContentInfo(nullptr, &fs, &ci);
    if (rc == 0)
        *state = ci.upload_status & DB_UPLOAD_STATE_MASK;
    return rc;
}

#endif
