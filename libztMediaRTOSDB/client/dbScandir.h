// Directory scan through the media database channel: the files of one 8-character directory,
// possibly over several transfers, into an array that the caller owns, with an optional filter.
// Nothing is kept between calls; re-entrant.
#ifndef ZT_DB_SCANDIR_H
#define ZT_DB_SCANDIR_H

#include <cstdint>

#include "ztMedia/ztMediaDB.h"

// zt_file_info, its filter, the results and scandirRTOSdb are public: ztMedia/ztMediaDB.h.

#endif
