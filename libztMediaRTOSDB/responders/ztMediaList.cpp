// The media-list responder: the general list and the identifier lookup.
#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/client/dbCommon.h"
#include "libztMediaRTOSDB/client/dbGumi.h"
#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/responders/ztMediaFormat.h"
#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "libztMediaRTOSDB/responders/ztMediaListing.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"
#include "platform/ztcamera.h"

namespace ztmedia {
namespace {

// The card identifier, or "0" with status 404 when the card has none.
int cardId(char *id)
{
    std::memset(id, 0, ZT_CARD_ID_MAX);
    if (getCardIDStr(id) >= 0)
        return 200;
    DBLOG(DB_LOG_ERROR, "getCardIDStr ret < 0");
    std::snprintf(id, ZT_CARD_ID_MAX, "0");
    return 404;
}

// Directory state of a general list.
struct DirectoryState : ListDirectory {
    bool anyAppended;  // some directory object was appended to the media buffer
};

int closeDirectory(ztMediaDBOutput_t *out, DirectoryState &d)
{
    int status = 200;
    if (d.open && d.hasEntry) {
        status = outMoveDirectory(out);
        d.anyAppended = true;
    }
    return status;
}

int listEntry(ztMediaDBOutput_t *out, const dbSettings_t &s, DirectoryState &d, const ListEntry &e)
{
    int status = 200;
    auto keep = [&](int r) { status = worst(status, r) == 200 ? 200 : 500; };
    if (d.isNewFor(e.ci.dir_name)) {
        keep(closeDirectory(out, d));
        outRewind(out, OutBuf::Directory);
        if (d.anyAppended)
            keep(ZT_OUT(out, OutBuf::Directory, ","));
        keep(d.start(out, OutBuf::Directory, e.ci.dir_name));
    }
    if (!entryShown(e, s.rtosDBQueryOptions))
        return status;
    keep(ZT_OUT(out, OutBuf::Entry, "{"));
    keep(writeEntryMembers(out, OutBuf::Entry, MemberForm::MediaList, e, s.whitelistMask));
    if (d.hasEntry)
        keep(ZT_OUT(out, OutBuf::Directory, ","));
    keep(outMoveEntry(out));
    d.hasEntry = true;
    return status;
}

void logElapsed(const char *format, const DbTimer &timer)
{
    if (g_logLevel < DB_LOG_HEADERS)
        return;
    unsigned long sec, usec;
    timer.elapsed(&sec, &usec);
    DBLOG(DB_LOG_HEADERS, format, sec, usec);
}

int generalList(const Reply &reply, const dbSettings_t &s)
{
    ztMediaDBOutput_t out;
    if (ztMediaDBOutputCtor(&out, reply.conn) < 0)
        return refuseRequest(reply, 500);
    DbTimer timer;
    char id[ZT_CARD_ID_MAX];
    rtosConnection_t db = {};
    int status;
    if (rtosConnectionCtor(&db) < 0) {
        status = worst(cardId(id), 500);
    } else if ((status = cardId(id)) == 200) {
        DirectoryState d{};
        ListingRequest lr{0, 10, 0, 0, s.rtosDBQueryOptions, 0, {0, 0}};
        auto restart = [&] {
            d = DirectoryState{};
            outRewind(&out, OutBuf::Media);
            out.localBuffer[0] = 0;
        };
        status = runListing(&db, lr, restart, [&](const ListEntry &e) { return listEntry(&out, s, d, e); });
        status = worst(status, closeDirectory(&out, d));
    }
    rtosConnectionDtor(&db);
    std::string extra;
    if (s.unsupported[0])
        ss_printf(extra, ",\"unsupported_fields\":\"%s\"", s.unsupported);
    sendListResponse(reply, status, id, extra, out.localBuffer, "]}\r\n");
    logElapsed("generateMediaList time %lu sec, %lu usec\n", timer);
    ztMediaDBOutputDtor(&out);
    return status == 200 ? 0 : -1;
}

// The fixed layout of a lookup: "f=gumi&folder=DIR&files=A,B[&...]", not URL-decoded.
struct LookupQuery {
    char folder[DB_DIR_NAME_LEN + 1];
    const char *files;  // the list after "&files=", up to '&' or the end
    const char *filesEnd;
};

int parseLookup(const char *q, LookupQuery *lq)
{
    const char *p = q + 6;  // after "f=gumi"
    if (std::strncmp(p, "&folder=", 8) != 0) {
        DBLOG(DB_LOG_ERROR, "Required '&folder=' key missing, aborting\n");
        return 400;
    }
    p += 8;
    const char *amp = std::strchr(p, '&');
    if (!amp || amp - p > static_cast<long>(DB_DIR_NAME_LEN)) {
        DBLOG(DB_LOG_ERROR, "&folder= value too long (8 char max), aborting\n");
        return 400;
    }
    *lq = LookupQuery{};
    std::memcpy(lq->folder, p, static_cast<size_t>(amp - p));
    if (std::strncmp(amp, "&files=", 7) != 0) {
        DBLOG(DB_LOG_ERROR, "Required '&files=' key missing, aborting\n");
        return 400;
    }
    lq->files = amp + 7;
    const char *end = std::strchr(lq->files, '&');
    lq->filesEnd = end ? end : lq->files + std::strlen(lq->files);
    // Names are echoed into the answer as they are: refused where that would break it.
    const struct {
        const char *key, *text;
        size_t len;
    } echoed[] = {{"folder", lq->folder, std::strlen(lq->folder)},
                  {"files", lq->files, static_cast<size_t>(lq->filesEnd - lq->files)}};
    for (const auto &e : echoed) {
        if (!jsonSafe(e.text, e.len)) {
            DBLOG(DB_LOG_ERROR, "%s=%s is an invalid value\n", e.key, jsonText(e.text, e.len).text);
            return 400;
        }
    }
    return 200;
}

// Looks one name up and writes its entry. Returns the lookup's status (200 and 404 go on, any
// other ends the file loop); *written becomes 500 when the entry did not fit.
int lookupFile(ztMediaDBOutput_t *out, rtosConnection_t *db, const char *folder, const char *name, const char *sep,
               int *written)
{
    char dir[DB_DIR_NAME_LEN + 1] = {0};
    char file[DB_FILE_NAME_LEN + 1] = {0};
    std::snprintf(dir, sizeof dir, "%s", folder);
    std::snprintf(file, sizeof file, "%s", name);
    uint8_t response[DB_FRAME_MAX] = {0};
    db_content_info *ci = nullptr;
    uint8_t *gumi = nullptr, *pgumi = nullptr;
    const int found = getFileGUMIResponse(db, dir, file, response, &ci, &gumi, &pgumi);
    int status;
    if (found == 200) {
        status = ZT_OUT(out, OutBuf::Entry, "%s{\"n\":\"%s\"", sep, jsonText(ci->file_name, DB_FILE_NAME_LEN).text);
        status = worst(status, formatGUMI(out, FM_ALL, ",", gumi, pgumi));
        status = worst(status, ZT_OUT(out, OutBuf::Entry, "}"));
    } else if (found == 404) {
        // A name cut to 12 bytes may end inside a character: escaped like the database's names.
        status =
            ZT_OUT(out, OutBuf::Entry, "%s{\"n\":\"%s\",\"DNE\":\"1\"}", sep, jsonText(file, DB_FILE_NAME_LEN).text);
    } else {
        return found;
    }
    status = worst(status, ZT_OUT(out, OutBuf::Directory, "%s", out->localEntryBuffer));
    std::memset(out->localEntryBuffer, 0, ZT_OUT_ENTRY_BUFFER_SIZE);
    outRewind(out, OutBuf::Entry);
    if (status != 200)
        *written = 500;
    return found;
}

int lookupFiles(ztMediaDBOutput_t *out, rtosConnection_t *db, const LookupQuery &lq)
{
    int status = outOpenDirectory(out, OutBuf::Directory, lq.folder);
    const char *sep = "";
    for (const char *p = lq.files; p < lq.filesEnd && lq.folder[0];) {
        const size_t left = static_cast<size_t>(lq.filesEnd - p);
        const char *comma = static_cast<const char *>(std::memchr(p, ',', left));
        const char *end = comma ? comma : lq.filesEnd;
        char name[DB_FILE_NAME_LEN + 1] = {0};
        std::memcpy(name, p, std::min<size_t>(static_cast<size_t>(end - p), DB_FILE_NAME_LEN));
        p = comma ? comma + 1 : lq.filesEnd;
        if (!name[0])
            continue;
        const int found = lookupFile(out, db, lq.folder, name, sep, &status);
        if (found != 200 && found != 404)
            return found;
        sep = ",";
    }
    return worst(status, outMoveDirectory(out));
}

int identifierLookup(const Reply &reply, const char *q)
{
    ztMediaDBOutput_t out;
    if (ztMediaDBOutputCtor(&out, reply.conn) < 0) {
        DBLOG(DB_LOG_ERROR, "ztMediaDBOutputCtor ret < 0");
        return refuseRequest(reply, 500);
    }
    char id[ZT_CARD_ID_MAX] = "0";
    rtosConnection_t db = {};
    int status;
    LookupQuery lq;
    if (rtosConnectionCtor(&db) < 0) {
        DBLOG(DB_LOG_ERROR, "rtosConnectionCtor ret < 0");
        status = worst(cardId(id), 500);
    } else if ((status = cardId(id)) == 200 && (status = parseLookup(q, &lq)) == 200) {
        status = lookupFiles(&out, &db, lq);
    }
    sendListResponse(reply, status, id, std::string(), out.localBuffer, "]}\r\n");
    rtosConnectionDtor(&db);
    ztMediaDBOutputDtor(&out);
    return status == 200 ? 0 : -1;
}

}  // namespace
}  // namespace ztmedia

int generateMediaList(mg_connection *conn, const char *queryString)
{
    return generateMediaListTo(ztMediaStdoutSink(), conn, queryString);
}

int generateMediaListTo(const ztMediaSink *sink, mg_connection *conn, const char *queryString)
{
    using namespace ztmedia;
    const Reply reply{sink, conn};
    const char *q = queryText(queryString);
    dbSettings_t s = freshSettings(FM_ALL);
    const int status = parseMediaListQuery(q, std::strlen(q), &s);
    if (status != 200)
        return refuseRequest(reply, status);
    if (s.filter != FILTER_GUMI)
        return generalList(reply, s);
    if (std::strncmp(q, "f=gumi", 6) != 0) {
        DBLOG(DB_LOG_ERROR, "Required 'gumi=' key missing, aborting\n");
        return -1;
    }
    return identifierLookup(reply, q);
}
