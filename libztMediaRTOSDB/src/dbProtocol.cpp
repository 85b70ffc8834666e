#include "ztMedia/dbProtocol.h"

namespace {

using C = DbTypeClass;
using B = DbListBlock;
constexpr uint32_t kVid = RTOS_DB_QUERY_VIDEOS;
constexpr uint32_t kPho = RTOS_DB_QUERY_PHOTOS;
constexpr uint32_t kSes = RTOS_DB_QUERY_METADATA_SESSION_FILES;

// Indexed by content type. A new content type is one new row.
constexpr DbContentTypeInfo kTypes[DB_CONTENT_TYPE_MAX + 1] = {
    // class             block     app  output query  vResp  vQuery 2ndMap spanned letter
    {C::SingleVideo,    B::Video, 0,  kVid, kVid, true,  true,  false, false, 0},    // 0
    {C::LoopingVideo,   B::Group, 1,  kVid, kVid, true,  true,  false, false, 0},    // 1
    {C::ChapteredVideo, B::Group, 2,  kVid, kVid, true,  true,  false, false, 0},    // 2
    {C::SingleVideo,    B::Video, 3,  kVid, kVid, true,  true,  false, false, 0},    // 3
    {C::SinglePhoto,    B::None,  4,  kPho, kPho, false, false, false, false, 0},    // 4
    {C::PhotoGroup,     B::Group, 5,  kPho, kPho, false, false, true,  false, 'b'},  // 5
    {C::PhotoGroup,     B::Group, 6,  kPho, kPho, false, false, true,  true,  't'},  // 6
    {C::SingleFile,     B::None,  7,  kSes, kSes, false, false, false, false, 0},    // 7
    {C::PhotoGroup,     B::Group, 8,  kPho, kPho, false, false, true,  true,  'n'},  // 8
    {C::SinglePhoto,    B::None,  9,  kPho, kPho, false, false, false, false, 0},    // 9
    {C::PhotoGroup,     B::Group, 10, kPho, kPho, false, false, true,  false, 'c'},  // 10
    {C::NeverListed,    B::None,  11, 0,    0,    false, false, false, false, 0},    // 11
    {C::VideoRecord,    B::Video, 12, 0,    kVid, false, true,  false, false, 0},    // 12
    {C::SingleVideo,    B::Video, 3,  kVid, kVid, true,  true,  false, false, 0},    // 13
    {C::SingleVideo,    B::Video, 3,  kVid, kVid, true,  true,  false, false, 0},    // 14
};

}  // namespace

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
