// JSON member writers of the responders: the members of a content record, a video record, an
// extra-information record and the identifiers, each written into the entry buffer by the
// bounded append when its field-mask bit is set. Stateless; the caller owns every record.
#ifndef ZT_MEDIA_FORMAT_H
#define ZT_MEDIA_FORMAT_H

#include <cstdint>

#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/responders/ztMediaOutput.h"
#include "libztMediaRTOSDB/responders/ztMediaFields.h"

namespace ztmedia {

// "[", the quoted names of the offload bits 16 ("app"), 17 ("pc") and 18 ("other") that are
// set, "]". A constant string.
const char *getOffloadStatusStr(uint32_t status);
// "auto" (bit 7), else "wind" (bit 6), else "stereo" (bit 5), else "off".
const char *getAudioOptionStr(uint32_t flags);

// Each writes its members in table order, the first behind `separator` (formatContentInfo: no
// separator), every later one behind ","; 200, or 500 when a piece did not fit. A null record
// writes nothing and answers 200.
int formatContentInfo(ztMediaDBOutput_t *out, uint64_t fields, const db_content_info *info);
int formatVideoInfo(ztMediaDBOutput_t *out, uint64_t mask, const char *separator, const db_video_specific_info *vsi);
int formatMoreInfo(ztMediaDBOutput_t *out, uint64_t mask, const char *separator, const db_more_info *mi);
// "gumi" and (when pgumi is not null) "pgumi" as 32 lower-case hex digits each.
int formatGUMI(ztMediaDBOutput_t *out, uint64_t mask, const char *separator, const uint8_t *gumi, const uint8_t *pgumi);

// Writes the members of one JSON object into the entry buffer: each member behind the separator
// (the one given first, "," after any member, also after one that did not fit), each piece by
// the bounded append. status() is 200, or 500 once a piece did not fit.
class MemberWriter {
public:
    MemberWriter(ztMediaDBOutput_t *out, const char *separator) : mOut(out), mSep(separator) {}
    // One member: the separator and the formatted text as one piece.
    void member(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // A piece inside a member (array items, closing brackets): no separator.
    void piece(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // The highlight positions "%u" separated by commas, at most ZT_META_HIGHLIGHTS_MAX of them.
    void positions(const db_video_specific_info *vsi, uint32_t count);
    int status() const { return mStatus; }

private:
    ztMediaDBOutput_t *mOut;
    const char *mSep;
    int mStatus = 200;
};

// At most this many highlight positions are written by the metadata members.
enum : uint32_t { ZT_META_HIGHLIGHTS_MAX = 99 };
// (duration_ms + 500) / 1000 in 32 bits.
inline uint32_t durationSeconds(uint32_t ms) { return (ms + 500u) / 1000u; }
// The 32 lower-case hex digits of a GUMI (out holds 33 bytes).
void gumiHex(const uint8_t *gumi, char *out);

}  // namespace ztmedia

#endif
