#include "ztMedia/dbProtocol.h"

namespace {

using C = DbTypeClass;
using B = DbListBlock;
constexpr uint32_t kVid = RTOS_DB_QUERY_VIDEOS;
constexpr uint32_t kPho = RTOS_DB_QUERY_PHOTOS;
constexpr uint32_t kSes = RTOS_DB_QUERY_METADATA_SESSION_FILES;

using K = DbMediaKind;

constexpr uint16_t kChapter = DB_NAME_CHAPTER, kOldChapter = DB_NAME_OLD_CHAPTER, kLoopPair = DB_NAME_LOOP_PAIR,
                   kPhotoPair = DB_NAME_PHOTO_PAIR, kNumVideo = DB_NAME_NUMBERED_VIDEO,
                   kNumPhoto = DB_NAME_NUMBERED_PHOTO, kOtherVideo = DB_NAME_OTHER_VIDEO,
                   kOtherPhoto = DB_NAME_OTHER_PHOTO;

// Indexed by content type. A new content type is one new row. The card names of a chaptered
// video are those of its first file (a video); a night-lapse cannot be told by its names.
constexpr DbContentTypeInfo kTypes[DB_CONTENT_TYPE_MAX + 1] = {
    // class             block     app output query  kind          vResp  vQuery more   2ndMap spanned letter
    //   card names                                letter
    {C::SingleVideo, B::Video, 0, kVid, kVid, K::Video, true, true, true, false, false, 0,  // 0
     kChapter | kOldChapter | kOtherVideo, 0},
    {C::LoopingVideo, B::Group, 1, kVid, kVid, K::Video, true, true, true, false, false, 0,  // 1
     kLoopPair | kNumVideo, 0},
    {C::ChapteredVideo, B::Group, 2, kVid, kVid, K::Video, true, true, true, false, false, 0,  // 2
     0, 0},
    {C::SingleVideo, B::Video, 3, kVid, kVid, K::TimeLapse, true, true, true, false, false, 0,  // 3
     0, 0},
    {C::SinglePhoto, B::None, 4, kPho, kPho, K::Photo, false, false, true, false, false, 0,  // 4
     kOtherPhoto, 0},
    {C::PhotoGroup, B::Group, 5, kPho, kPho, K::Burst, false, false, true, true, false, 'b',  // 5
     kNumPhoto, 0},
    {C::PhotoGroup, B::Group, 6, kPho, kPho, K::TimeLapse, false, false, true, true, true, 't',  // 6
     kPhotoPair, 'S'},
    {C::SingleFile, B::None, 7, kSes, kSes, K::Session, false, false, false, false, false, 0,  // 7
     kChapter, 'M'},
    {C::PhotoGroup, B::Group, 8, kPho, kPho, K::TimeLapse, false, false, true, true, true, 'n',  // 8
     0, 0},
    {C::SinglePhoto, B::None, 9, kPho, kPho, K::Photo, false, false, true, false, false, 0,  // 9
     0, 0},
    {C::PhotoGroup, B::Group, 10, kPho, kPho, K::Continuous, false, false, true, true, false, 'c',  // 10
     kPhotoPair, 'P'},
    {C::NeverListed, B::None, 11, 0, 0, K::None, false, false, true, false, false, 0,  // 11
     0, 0},
    {C::VideoRecord, B::Video, 12, 0, kVid, K::Burst, false, true, true, false, false, 0,  // 12
     0, 0},
    {C::SingleVideo, B::Video, 3, kVid, kVid, K::TimeLapse, true, true, true, false, false, 0,  // 13
     0, 0},
    {C::SingleVideo, B::Video, 3, kVid, kVid, K::TimeLapse, true, true, true, false, false, 0,  // 14
     0, 0},
};

}  // namespace

const DbCommandInfo kDbCommands[DB_COMMAND_COUNT] = {
    {DB_CMD_LIST, "list", sizeof(db_list_request), sizeof(db_list_response_header)},
    {DB_CMD_GET_CONTENT_INFO, "content info", sizeof(db_file_request), DB_REPLY_BLOCK_AT},
    {DB_CMD_GET_GROUP_CONTENT_INFO, "group content info", sizeof(db_file_request), DB_REPLY_GROUP_END},
    {DB_CMD_GET_VIDEO_SPECIFIC_INFO, "video information", sizeof(db_file_request), DB_REPLY_VIDEO_END},
    {DB_CMD_GET_FILE_NAME_BY_GUMI, "file name by GUMI", sizeof(db_gumi_request), DB_REPLY_NAMES_END},
    {DB_CMD_GET_GUMI_BY_FILE_NAME, "GUMI by file name", sizeof(db_file_request), DB_REPLY_PARENT_GUMI_END},
    {DB_CMD_GET_MORE_INFO, "extra information", sizeof(db_file_request), DB_REPLY_MORE_END},
    {DB_CMD_WRITE_UPLOAD_STATUS, "upload status write", sizeof(db_status_write_request), sizeof(db_response_header)},
    {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, "upload status histogram", sizeof(db_request_header),
     sizeof(db_histogram_response)},
    {DB_CMD_LIST_WITH_PARAMS, "list with parameters", sizeof(db_list_params_request), sizeof(db_list_response_header)},
    {DB_CMD_NON_DB_SCANDIR, "directory scan", sizeof(db_scandir_request), sizeof(db_scandir_response_header)},
};

const DbCommandInfo *dbCommandInfo(uint32_t code)
{
    for (const DbCommandInfo &c : kDbCommands)
        if (c.code == code)
            return &c;
    return nullptr;
}

const DbContentTypeInfo *dbContentTypeInfo(uint32_t type)
{
    return type <= DB_CONTENT_TYPE_MAX ? &kTypes[type] : nullptr;
}

uint32_t mapDbContentTypeToApp(uint32_t type)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(type);
    return info ? info->appType : type;
}

bool shouldOutput(db_content_types_e type, uint32_t filter)
{
    const DbContentTypeInfo *info = dbContentTypeInfo(type);
    if (!info || info->outputBit == 0)
        return false;
    return filter == 0 || (filter & info->outputBit) != 0;
}
