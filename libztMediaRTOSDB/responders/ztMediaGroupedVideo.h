// Grouped videos of the paged list: when the list groups videos, one entry stands for a chaptered
// or looping group; its video members come from one multi-file video request for the group's
// existing members, and each further member becomes an entry of its own. Call-local state only.
#ifndef ZT_MEDIA_GROUPED_VIDEO_H
#define ZT_MEDIA_GROUPED_VIDEO_H

#include <cstdint>

#include "libztMediaRTOSDB/responders/ztMediaEntry.h"

namespace ztmedia {

// The member records of one group as the database returned them.
struct GroupMembers {
    uint8_t response[DB_FRAME_MAX];
    int bytes;
    uint32_t count;  // records in `response`; 0 when the group has no existing member
};

// Asks for the video records of every existing member of grouped entry `e` (group number derived
// from the first name when 0), with up to 10 retries after a failed exchange or a refused status.
// 200 (count may be 0), or 500 when the retries are spent.
int fetchGroupMembers(const ListEntry &e, GroupMembers *members);

// Continues the group's entry (head already written to `buf`) with its first member's video
// members, closes it, then writes every further member as an entry of its own, each behind a
// comma. 200, or 500 when a piece did not fit.
int writeGroupMembers(ztMediaDBOutput_t *out, OutBuf buf, const GroupMembers &members);

}  // namespace ztmedia

#endif
