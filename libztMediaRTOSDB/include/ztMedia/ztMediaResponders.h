// The HTTP media responders: given a query string, each writes one complete HTTP response
// (status line, headers, JSON body) to standard output with stdio, or, through the *To forms,
// to an output sink the caller chooses for that one call. Every buffer, connection and sink
// lives for one call and no lock is taken: calls with their own sinks may run on any number of
// threads at once.
#ifndef ZT_MEDIA_RESPONDERS_H
#define ZT_MEDIA_RESPONDERS_H

#include <cstddef>
#include <cstdint>

#include "ztMedia/ztMediaExport.h"

// The host web server's connection handle: carried along, never dereferenced.
struct mg_connection;

// Where one responder call writes its response: `write` receives the bytes in order (a few
// pieces per response), with `context` passed back unchanged.
struct ztMediaSink {
    void (*write)(void *context, const char *data, size_t size);
    void *context;
};
// The sink of the plain entry points: standard output through stdio.
ZT_MEDIA_API
const ztMediaSink *ztMediaStdoutSink();

// Media list (keys "f", "fields", "folder", "files", "status", "value") and identifier lookup
// ("f=gumi&folder=D&files=A,B"). 0 when the answer was 200, else -1.
ZT_MEDIA_API
int generateMediaList(mg_connection *conn, const char *queryString);
// Metadata of one file (keys "t", "p", "status", "value"). 0 when a 200 with a body was
// printed, else -1. A null query is a programming error (the process aborts).
ZT_MEDIA_API
int generateMetadata(mg_connection *conn, const char *queryString);
// A window of the list with the host's decoded parameters: at most maxRequests list requests of
// request_count entries from starting_index; paramCount 0 sends the plain list request, else the
// list with parameters (params[0], and params[1] unless paramCount is 1). 0 for 200, else -1.
ZT_MEDIA_API
int dbGetPagedList(mg_connection *conn, int maxRequests, int request_count, int starting_index, uint32_t list_options,
                   uint32_t query_options, int paramCount, const uint32_t *params);
// The paged list from a query string: "max", "count", "start", "lo", "qo" (required) and "p1",
// "p2" (optional; no p1: paramCount 0, p1 alone: 1, both: 2), each decimal or 0x-hex. A missing,
// repeated or malformed value answers 400 with the error header; otherwise dbGetPagedList.
// 0 for 200, else -1.
ZT_MEDIA_API
int generatePagedList(mg_connection *conn, const char *queryString);
// The same four, writing to `sink` instead of standard output.
ZT_MEDIA_API
int generateMediaListTo(const ztMediaSink *sink, mg_connection *conn, const char *queryString);
ZT_MEDIA_API
int generateMetadataTo(const ztMediaSink *sink, mg_connection *conn, const char *queryString);
ZT_MEDIA_API
int dbGetPagedListTo(const ztMediaSink *sink, mg_connection *conn, int maxRequests, int request_count,
                     int starting_index, uint32_t list_options, uint32_t query_options, int paramCount,
                     const uint32_t *params);
ZT_MEDIA_API
int generatePagedListTo(const ztMediaSink *sink, mg_connection *conn, const char *queryString);
// Their log level is the client's: dbSetLogLvl (ztMediaDB.h).

#endif
