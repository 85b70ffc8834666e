// Replaceable allocator of the container library, with optional per-block debug accounting.
// Blocks returned belong to the caller and go back through gtl_free (or gtl_free_debug).
// Not thread-safe: the active interface, the tracking list and the counters are plain globals.
#ifndef GTL_GTL_MEM_H
#define GTL_GTL_MEM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The four allocation entry points, with the C library's signatures, in this order.
typedef struct gtl_mem_ifc {
    void *(*malloc)(size_t size);
    void (*free)(void *block);
    void *(*calloc)(size_t count, size_t size);
    void *(*realloc)(void *block, size_t size);
} gtl_mem_ifc;

// One record per block handed out by gtl_malloc_debug. Records come from the C library's
// malloc (never through the interface) and are chained in allocation order.
typedef struct gtl_mem_debug_rec {
    struct gtl_mem_debug_rec *next;
    struct gtl_mem_debug_rec *prev;
    void *block;
    uint64_t size;
    const char *file;
    int32_t line;
} gtl_mem_debug_rec;

extern gtl_mem_ifc gtl_mem_ifc_stdlib;   // the C library's malloc/free/calloc/realloc
extern gtl_mem_ifc *gtl_mem_ifc_active;  // interface in use; starts at &gtl_mem_ifc_stdlib
// An interface that allocates from the C library and tracks every block in
// gtl_mem_debug_list (file "gtl_mem_ifc_debug", line 0). Install it with gtl_mem_override to
// account for everything the containers allocate; frees of untracked blocks are passed through.
extern gtl_mem_ifc gtl_mem_ifc_debug;

extern gtl_mem_debug_rec *gtl_mem_debug_list;  // oldest tracked block first
extern uint64_t _gtl_mem_usage_current;        // bytes of tracked blocks now in use
extern uint64_t _gtl_mem_usage_highwater;      // most bytes ever in use at once

// Forward to the active interface; with no active interface the allocators return null and
// gtl_free does nothing.
void *gtl_malloc(size_t size);
void gtl_free(void *block);
void *gtl_calloc(size_t count, size_t size);
void *gtl_realloc(void *block, size_t size);

int gtl_mem_override(gtl_mem_ifc *ifc);  // 1 if ifc is null

uint64_t gtl_mem_usage_current(void);
uint64_t gtl_mem_usage_highwater(void);
void gtl_mem_usage_clear_current(void);
void gtl_mem_usage_clear_highwater(void);
// Prints the counters and one line per tracked block on standard output.
int gtl_mem_usage_dump(void);

// gtl_malloc plus a tracking record. The counters grow even when the record itself cannot be
// allocated (the block is then returned untracked).
void *gtl_malloc_debug(size_t size, const char *file, int line);
// Untracks and frees a block; prints an error line when the list is empty (and keeps the
// block) or when the block is unknown (and frees it anyway).
void gtl_free_debug(void *block);
// Untracked, like gtl_calloc and gtl_realloc.
void *gtl_calloc_debug(size_t count, size_t size, const char *file, int line);
void *gtl_realloc_debug(void *block, size_t size, const char *file, int line);

#define GTL_MALLOC_DEBUG(size) gtl_malloc_debug((size), __FILE__, __LINE__)

#ifdef __cplusplus
}
#endif

#endif
