// The media database client library for host programs: every database command, the list parser
// and its item record, the content-type facts and the camera file-name rules. Each command owns
// its connection for the duration of the call; see the module headers for ownership and threads.
#ifndef ZT_MEDIA_DB_APP_H
#define ZT_MEDIA_DB_APP_H

#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/src/dbLog.h"
#include "libztMediaRTOSDB/src/dbTransport.h"
#include "libztMediaRTOSDB/src/dbCommon.h"
#include "libztMediaRTOSDB/src/dbHistogram.h"
#include "libztMediaRTOSDB/src/dbFileNames.h"
#include "libztMediaRTOSDB/src/dbList.h"
#include "libztMediaRTOSDB/src/dbFileQuery.h"
#include "libztMediaRTOSDB/src/dbContentInfo.h"
#include "libztMediaRTOSDB/src/dbGumi.h"
#include "libztMediaRTOSDB/src/dbStatus.h"
#include "libztMediaRTOSDB/src/dbScandir.h"

#endif
