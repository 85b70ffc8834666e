// The dispatcher of the media database protocol: one request frame in, the response frames out
// (one, or several for a directory scan), through a table from command code to handler. Any
// frame, however malformed, gets a response with a non-zero status. Safe from many threads at
// once (the catalog does the locking).
#ifndef ZT_MEDIADB_REQUEST_HANDLERS_H
#define ZT_MEDIADB_REQUEST_HANDLERS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mediadb/media_catalog.h"
#include "mediadb/record_encoder.h"

std::vector<Frame> handleRequest(MediaCatalog &catalog, const uint8_t *request, size_t length);

#endif
