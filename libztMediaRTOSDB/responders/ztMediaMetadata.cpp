// The metadata responder: one JSON object about one file, by data set.
#include <cstdio>
#include <cstring>
#include <string>

#include "libztMediaRTOSDB/client/dbCommon.h"
#include "libztMediaRTOSDB/client/dbContentInfo.h"
#include "libztMediaRTOSDB/client/dbExchange.h"
#include "libztMediaRTOSDB/client/dbGumi.h"
#include "libztMediaRTOSDB/client/dbLog.h"
#include "libztMediaRTOSDB/client/dbStatus.h"
#include "libztMediaRTOSDB/responders/ztMediaFormat.h"
#include "libztMediaRTOSDB/responders/ztMediaJson.h"
#include "libztMediaRTOSDB/responders/ztMediaMetadata.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"
#include "platform/ztcamera.h"

namespace ztmedia {
namespace {

// Every member but "n", "mod" and "DNE": the metadata request has no "fields" key.
constexpr uint64_t kMetadataMask = ~(FM_N | FM_MOD | FM_DNE);

// Members of the two content data sets: {video, other types}, from the field table.
struct DataSetMasks {
    int32_t filter;
    uint64_t video;
    uint64_t other;
};
constexpr DataSetMasks kDataSetMasks[] = {
    {FILTER_V5INFO, dataSetMask(DS_V5_VIDEO), dataSetMask(DS_V5_OTHER)},
    {FILTER_V4INFO, dataSetMask(DS_V4_VIDEO), dataSetMask(DS_V4_OTHER)},
};

// v4info predates the video record of type 12 and answers it as another type.
bool isVideoType(uint32_t type, int32_t filter)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(type);
    return info && (filter == FILTER_V4INFO ? info->videoForResponse : info->videoForQuery);
}

bool hasMoreInfo(uint32_t type)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(type);
    return info && info->moreInfo;
}

int openObject(ztMediaDBOutput_t *out) { return ZT_OUT(out, OutBuf::Entry, "{"); }
int closeObject(ztMediaDBOutput_t *out, int status) { return worst(status, ZT_OUT(out, OutBuf::Entry, "}")); }

int moreInfo(ztMediaDBOutput_t *out, rtosConnection_t *db, const dbSettings_t &s, uint64_t mask)
{
    uint8_t response[DB_FRAME_MAX] = {0};
    db_more_info *mi = nullptr;
    const int status = getMoreInfoResponse(db, s.dirName, s.fileName, response, &mi);
    return status == 200 ? formatMoreInfo(out, mask, ",", mi) : status;
}

int contentDataSet(ztMediaDBOutput_t *out, rtosConnection_t *db, const dbSettings_t &s)
{
    int status = openObject(out);
    if (status != 200)
        return status;
    uint8_t response[DB_FRAME_MAX] = {0};
    db_content_info *ci = nullptr;
    uint8_t *gumi = nullptr, *pgumi = nullptr;
    status = getFileGUMIResponse(db, s.dirName, s.fileName, response, &ci, &gumi, &pgumi);
    if (status != 200)
        return status;
    const uint32_t type = ci->content_type;
    const bool video = isVideoType(type, s.filter);
    const DataSetMasks &m = s.filter == FILTER_V5INFO ? kDataSetMasks[0] : kDataSetMasks[1];
    const uint64_t a = (video ? m.video : m.other) & s.whitelistMask;
    const uint64_t contentMask = video ? a & ~(FM_HC | FM_HI) : a;
    if ((status = formatContentInfo(out, contentMask, ci)) != 200)
        return status;
    if ((status = formatGUMI(out, contentMask, ",", gumi, pgumi)) != 200)
        return status;
    if (video) {
        uint8_t vresponse[DB_FRAME_MAX] = {0};
        db_content_info *vci = nullptr;
        db_video_specific_info *vsi = nullptr;
        status = getVideoSpecificInfoResponse(db, s.dirName, s.fileName, vresponse, &vci, &vsi);
        if (status == 200)
            status = formatVideoInfo(out, a, ",", vsi);
        if (status != 200)
            return status;
    }
    if (hasMoreInfo(type) && (status = moreInfo(out, db, s, a)) != 200)
        return status;
    return closeObject(out, 200);
}

// "videoinfo" (full) and "dur" (short) from the video record.
int videoDataSet(ztMediaDBOutput_t *out, rtosConnection_t *db, const dbSettings_t &s, bool full)
{
    int status = openObject(out);
    if (status != 200)
        return status;
    uint8_t response[DB_FRAME_MAX] = {0};
    db_content_info *ci = nullptr;
    db_video_specific_info *vsi = nullptr;
    status = getVideoSpecificInfoResponse(db, s.dirName, s.fileName, response, &ci, &vsi);
    if (status != 200)
        return status;
    if (!isVideoType(ci->content_type, FILTER_V5INFO)) {
        DBLOG(DB_LOG_ERROR, "not implemented for content_type %d\n", ci->content_type);
        return 501;
    }
    if (!vsi)
        dbAssertFail(full ? "formatMetadataVideoInfo" : "formatMetadataDur", __LINE__, "pVideoInfo");
    db_video_specific_info v;
    std::memcpy(&v, vsi, sizeof v);
    MemberWriter w(out, "");
    w.member("\"dur\":\"%u\"", durationSeconds(v.duration_ms));
    w.member("\"c\":\"%u\"", v.cl);
    if (full)
        w.member("\"avc_profile\":\"%u\"", v.avc_profile);
    w.member("\"profile\":\"%u\"", v.profile);
    if (full) {
        w.member("\"tag_count\":%u,\"tags\":[", v.highlight_count);
        w.positions(vsi, v.highlight_count);
        w.piece("]");
    }
    status = w.status();
    if (full && status == 200 && hasMoreInfo(ci->content_type))
        status = moreInfo(out, db, s, FM_ALL);
    return closeObject(out, status);
}

// The content record of the file by the response family (command 2).
int readContent(rtosConnection_t *db, const dbSettings_t &s, uint8_t *response, db_content_info *ci)
{
    int bytes = 0;
    return dbContentResponse(db, DB_CMD_GET_CONTENT_INFO, s.dirName, s.fileName, response, &bytes, ci);
}

void sendMetadata(const Reply &reply, int status, const ztMediaDBOutput_t &out)
{
    writeHttpResponseHeader(reply, status);
    if (status != 200) {
        writeHttpContentLength(reply, 0);
        return;
    }
    std::string body;
    ss_printf(body, "%s\r\n", out.localEntryBuffer);
    writeHttpContentLength(reply, static_cast<int>(body.size()));
    replyWrite(reply, body);
}

}  // namespace

int generateMetadataUpload(ztMediaDBOutput_t *out, rtosConnection_t *db, const dbSettings_t &s, bool isUpload)
{
    int status = openObject(out);
    if (status != 200)
        return closeObject(out, status);
    const uint64_t mask = dataSetMask(isUpload ? DS_UPLOAD : DS_OFFLOAD);
    uint8_t response[DB_FRAME_MAX] = {0};
    if (s.filter == FILTER_META_UPLOAD_SET)
        status = getWriteUploadStatusResponse(db, s.dirName, s.fileName, response, s.newUploadStatus, true, false);
    else if (s.filter == FILTER_META_OFFLOAD_SET)
        status = getWriteUploadStatusResponse(db, s.dirName, s.fileName, response, s.newOffloadStatus, false,
                                              s.clearOffloadStatus);
    if (status == 200) {
        db_content_info ci;
        status = readContent(db, s, response, &ci);
        if (status == 200)
            status = formatContentInfo(out, mask, &ci);
    }
    return closeObject(out, status);
}

}  // namespace ztmedia

int generateMetadata(mg_connection *conn, const char *queryString)
{
    return generateMetadataTo(ztMediaStdoutSink(), conn, queryString);
}

int generateMetadataTo(const ztMediaSink *sink, mg_connection *conn, const char *queryString)
{
    using namespace ztmedia;
    const Reply reply{sink, conn};
    dbSettings_t s = freshSettings(kMetadataMask);
    int status = parseMetadataQuery(queryString, queryString ? std::strlen(queryString) : 0, &s);
    if (status != 200) {
        DBLOG(DB_LOG_ERROR, "parseMetadataQuery ret: %d, query:'%s'", status,
              jsonText(queryString, ZT_JSON_TEXT_IN_MAX).text);
        return refuseRequest(reply, status);
    }
    ztMediaDBOutput_t out;
    if (ztMediaDBOutputCtor(&out, conn) < 0) {
        DBLOG(DB_LOG_ERROR, "ztMediaDBOutputCtor ret < 0");
        return refuseRequest(reply, 500);
    }
    rtosConnection_t db = {};
    char id[ZT_CARD_ID_MAX] = {0};
    const bool opened = rtosConnectionCtor(&db) == 0;
    if (!opened)
        DBLOG(DB_LOG_ERROR, "rtosConnectionCtor ret < 0");
    if (getCardIDStr(id) < 0) {
        DBLOG(DB_LOG_ERROR, "getCardIDStr ret < 0");
        status = 404;
    } else if (!opened) {
        status = 500;
    } else if (s.filter == FILTER_V5INFO || s.filter == FILTER_V4INFO) {
        status = contentDataSet(&out, &db, s);
    } else if (s.filter == FILTER_VIDEOINFO || s.filter == FILTER_DUR) {
        status = videoDataSet(&out, &db, s, s.filter == FILTER_VIDEOINFO);
    } else if (s.filter >= FILTER_META_UPLOAD && s.filter <= FILTER_META_OFFLOAD_SET) {
        const bool upload = s.filter == FILTER_META_UPLOAD || s.filter == FILTER_META_UPLOAD_SET;
        status = generateMetadataUpload(&out, &db, s, upload);
    } else {
        DBLOG(DB_LOG_ERROR, "Invalid dataSet (%d)", s.filter);
        status = 500;
    }
    sendMetadata(reply, status, out);
    rtosConnectionDtor(&db);
    ztMediaDBOutputDtor(&out);
    return status == 200 ? 0 : -1;
}
