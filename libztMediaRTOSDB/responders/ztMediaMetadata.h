// The metadata responder's data-set writers that other code may drive directly: the upload and
// offload data sets on an open connection. Call-local state only.
#ifndef ZT_MEDIA_METADATA_H
#define ZT_MEDIA_METADATA_H

#include "libztMediaRTOSDB/client/dbTransport.h"
#include "libztMediaRTOSDB/responders/ztMediaOutput.h"
#include "libztMediaRTOSDB/responders/ztMediaQuery.h"

namespace ztmedia {

// "upload" (isUpload) or "offload": the status write the settings ask for (filter 24 or 26),
// then the file's upload state {"us":"N"} or offload flags {"mos":[...]} read back into the
// entry buffer. Returns the HTTP status.
int generateMetadataUpload(ztMediaDBOutput_t *out, rtosConnection_t *db, const dbSettings_t &settings, bool isUpload);

}  // namespace ztmedia

#endif
