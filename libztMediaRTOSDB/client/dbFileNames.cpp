#include "libztMediaRTOSDB/client/dbFileNames.h"

#include "platform/ztcamera.h"

bool is_new_media_name_format() { return dbIsNewNameFormat(ztc_state_get_model_number()); }

bool dbMemberName(const DbMemberPattern &pattern, uint32_t groupNumber, uint32_t n, char out[DB_NAME_BUF])
{
    return dbBuildMemberName(pattern, groupNumber, n, is_new_media_name_format(), out);
}
