// What the candidate list hands to its host: the record of one medium to upload and the upload
// state written back for one file. Plain values owned by the caller; no shared state.
#ifndef ZT_CAH_MEDIASHAREINFO_H
#define ZT_CAH_MEDIASHAREINFO_H

#include <cstdint>
#include <string>
#include <vector>

// Upload state of one file, passed through to the database unchanged (it accepts 0 to 31; the
// state rules test 0 to 4).
using UploadState = uint32_t;

// One handed-out medium. The list appends to files and sets mediaType; it empties title and
// description when it accepts a medium, so a host that fills them per upload never carries one
// medium's text over to the next. The list never empties files: empty it before reusing a record.
struct MediaShareInfo {
    std::vector<std::string> files;  // full paths, in the order the database reports them
    uint32_t mediaType = 0;          // kind code: 0 photo, 1 video, 2 burst, 3 time-lapse, ...
    std::string title;               // the host's caption for the upload service
    std::string description;         // the host's longer text for the upload service
};

#endif
