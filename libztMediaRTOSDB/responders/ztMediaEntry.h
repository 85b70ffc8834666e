// List entries for the list responders: a reader that walks the entries of one list response
// (records left in the caller's response buffer, every read checked against the bytes that
// arrived), and the member tables that turn an entry into JSON text, one table per response
// form and one loop. Stateless; valid while the response buffer is.
#ifndef ZT_MEDIA_ENTRY_H
#define ZT_MEDIA_ENTRY_H

#include <cstddef>
#include <cstdint>

#include "libztMediaRTOSDB/client/dbListEntry.h"
#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/responders/ztMediaOutput.h"

namespace ztmedia {

// How a list response shows an entry.
enum EntryClass : uint8_t {
    EC_SINGLE_VIDEO = 1,
    EC_SINGLE_PHOTO = 2,
    EC_PHOTO_GROUP = 4,
    EC_SESSION_FILE = 8,    // type 7
    EC_GROUPED_VIDEO = 16,  // types 1 and 2 when the response groups videos
    EC_OTHER = 32,          // never shown
    EC_ALL = 0x3F,
};

struct ListEntry : DbListEntry {
    EntryClass cls;
};

// Walks the entries of one list response of `bytes` bytes through the client's entry reader.
class ListReader {
public:
    ListReader(const uint8_t *response, int bytes) : mReader(response, bytes) {}
    const db_list_response_header &header() const { return mReader.header(); }
    // The next entry; false when the response ends inside it or it cannot be shown (unknown
    // type, a group whose last member precedes its first). An entry of content type all ones
    // (a file the database does not know) is read, of class EC_OTHER.
    bool next(ListEntry *e);

private:
    DbListReader mReader;
};

// Whether a list of these options shows the entry (shouldOutput on its content type).
bool entryShown(const ListEntry &e, uint32_t queryOptions);

// The member orders: the media list, the paged list, and the paged list's grouped video: the
// video members its first member record gives the group's entry, and a further member's entry.
enum class MemberForm { MediaList, PagedList, GroupFirstMember, GroupFurtherMember };
// Writes the members of `e` that `mask` and the entry's class allow, in the form's order, into
// buffer `buf`, each behind a comma but the first (that one too when `continued`). Returns 200,
// or 500 when a piece did not fit.
int writeEntryMembers(ztMediaDBOutput_t *out, OutBuf buf, MemberForm form, const ListEntry &e, uint64_t mask,
                      bool continued = false);

}  // namespace ztmedia

#endif
