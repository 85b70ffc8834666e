// Grouped videos of the paged list: the multi-file video request and the member entries.
#include "libztMediaRTOSDB/responders/ztMediaGroupedVideo.h"

#include <cstring>

#include "libztMediaRTOSDB/client/dbFileNames.h"
#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaListing.h"

namespace ztmedia {
namespace {

// Pairs that fit one request frame after its header.
constexpr uint32_t kMaxPairs = (DB_FRAME_MAX - sizeof(db_request_header)) / sizeof(db_file_name_pair);

// The request for every existing member; returns its length (0: no member exists).
size_t buildRequest(const ListEntry &e, uint8_t *req)
{
    uint32_t group = e.gi.group_number;
    if (group == 0) {
        char first[DB_NAME_BUF] = {0};
        std::memcpy(first, e.ci.file_name, DB_FILE_NAME_LEN);
        group = dbGroupNumberFromFirstName(first);
        DBLOG(DB_LOG_HEADERS, "using group number %d\n", group);
    }
    const DbMemberPattern pattern = dbMemberPatternFor(e.ci.content_type, e.ci.file_name);
    uint32_t pairs = 0;
    for (uint32_t i = 0; e.gi.first_number + i <= e.gi.last_number && pairs < kMaxPairs; ++i) {
        if (e.missing && !dbGroupMemberPresent(e.missing, e.gi.first_number, e.gi.first_number + i))
            continue;
        char name[DB_NAME_BUF];
        if (!dbMemberName(pattern, group, e.gi.first_number + i, name))
            break;
        db_file_name_pair p;
        std::memcpy(p.dir_name, e.ci.dir_name, DB_DIR_NAME_LEN);
        dbCopyName(p.file_name, name, DB_FILE_NAME_LEN);
        std::memcpy(req + sizeof(db_request_header) + pairs++ * sizeof p, &p, sizeof p);
    }
    const db_request_header h = {DB_CMD_GET_VIDEO_SPECIFIC_INFO, pairs, dbTokenOf(req)};
    std::memcpy(req, &h, sizeof h);
    return pairs ? sizeof h + pairs * sizeof(db_file_name_pair) : 0;
}

// A connection of its own per attempt and no header logs.
constexpr DbExchangePolicy memberPolicy()
{
    DbExchangePolicy p = listingExchangePolicy();
    p.responseLogAt = DbStep::Never;
    return p;
}
constexpr DbExchangePolicy kMemberPolicy = memberPolicy();

}  // namespace

int fetchGroupMembers(const ListEntry &e, GroupMembers *m)
{
    m->count = 0;
    m->bytes = 0;
    uint8_t req[DB_FRAME_MAX] = {0};
    const size_t len = buildRequest(e, req);
    if (len == 0)
        return 200;
    for (int retries = 0;; ++retries) {
        DbExchange x(kMemberPolicy);
        const bool ok = x.run(req, len, m->response);
        m->bytes = x.bytes();
        db_response_header h{};
        if (m->bytes >= static_cast<int>(sizeof h))
            h = dbResponseHeaderOf(m->response);
        if (ok) {
            m->count = h.count_returned;
            DBLOG(DB_LOG_HEADERS, "===== count_returned %d\n", h.count_returned);
            return 200;
        }
        if (retries >= ZT_LIST_RETRIES) {
            DBLOG(DB_LOG_ERROR, "error on IPC received, exiting, status %d, bytesRead %d\n", h.status, m->bytes);
            return 500;
        }
        if (m->bytes >= 0)  // rtosCall has paused after a failed send or receive already
            dbPause();
        DBLOG(DB_LOG_NOTICE, "error on IPC received, retrying, status %d, bytesRead %d\n", h.status, m->bytes);
    }
}

int writeGroupMembers(ztMediaDBOutput_t *out, OutBuf buf, const GroupMembers &m)
{
    int status = 200;
    DbListReader rd = DbListReader::videoRecords(m.response, m.bytes);
    ListEntry member;
    for (uint32_t i = 0; i < m.count && rd.next(&member) == DbEntryRead::Ok; ++i) {
        member.cls = EC_SINGLE_VIDEO;
        if (i > 0 && ZT_OUT(out, buf, ",{") != 200)
            status = 500;
        const MemberForm form = i == 0 ? MemberForm::GroupFirstMember : MemberForm::GroupFurtherMember;
        if (writeEntryMembers(out, buf, form, member, ~0ull, i == 0) != 200 || ZT_OUT(out, buf, "}") != 200)
            status = 500;
    }
    return status;
}

}  // namespace ztmedia
