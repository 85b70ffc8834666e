// Replaceable allocator and the debug accounting of tracked blocks.
#include "gtl/gtl_mem.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

gtl_mem_ifc gtl_mem_ifc_stdlib = {malloc, free, calloc, realloc};
gtl_mem_ifc *gtl_mem_ifc_active = &gtl_mem_ifc_stdlib;

gtl_mem_debug_rec *gtl_mem_debug_list = nullptr;
uint64_t _gtl_mem_usage_current = 0;
uint64_t _gtl_mem_usage_highwater = 0;

void *gtl_malloc(size_t size) { return gtl_mem_ifc_active ? gtl_mem_ifc_active->malloc(size) : nullptr; }

void gtl_free(void *block)
{
    if (gtl_mem_ifc_active)
        gtl_mem_ifc_active->free(block);
}

void *gtl_calloc(size_t count, size_t size)
{
    return gtl_mem_ifc_active ? gtl_mem_ifc_active->calloc(count, size) : nullptr;
}

void *gtl_realloc(void *block, size_t size)
{
    return gtl_mem_ifc_active ? gtl_mem_ifc_active->realloc(block, size) : nullptr;
}

int gtl_mem_override(gtl_mem_ifc *ifc)
{
    if (!ifc)
        return 1;
    gtl_mem_ifc_active = ifc;
    return 0;
}

uint64_t gtl_mem_usage_current(void) { return _gtl_mem_usage_current; }
uint64_t gtl_mem_usage_highwater(void) { return _gtl_mem_usage_highwater; }
void gtl_mem_usage_clear_current(void) { _gtl_mem_usage_current = 0; }
void gtl_mem_usage_clear_highwater(void) { _gtl_mem_usage_highwater = 0; }

int gtl_mem_usage_dump(void)
{
    printf("memory usage: %lu (%lu highwater)\n", (unsigned long)_gtl_mem_usage_current,
           (unsigned long)_gtl_mem_usage_highwater);
    int index = 0;
    for (gtl_mem_debug_rec *rec = gtl_mem_debug_list; rec; rec = rec->next, ++index) {
        printf("  %4d: %8lu %12p %s:%d\n", index, (unsigned long)rec->size, rec->block, rec->file, (int)rec->line);
    }
    return 0;
}

namespace {

void count_block(uint64_t size)
{
    _gtl_mem_usage_current += size;
    if (_gtl_mem_usage_current > _gtl_mem_usage_highwater)
        _gtl_mem_usage_highwater = _gtl_mem_usage_current;
}

// Appends a record for the block at the end of the list (records never use the interface, so
// an interface built on this accounting cannot recurse). Returns 1 if the record is missing.
int track_block(void *block, uint64_t size, const char *file, int line)
{
    gtl_mem_debug_rec *rec = static_cast<gtl_mem_debug_rec *>(malloc(sizeof *rec));
    if (!rec)
        return 1;
    *rec = gtl_mem_debug_rec{nullptr, nullptr, block, size, file, line};
    if (!gtl_mem_debug_list) {
        gtl_mem_debug_list = rec;
        return 0;
    }
    gtl_mem_debug_rec *last = gtl_mem_debug_list;
    while (last->next)
        last = last->next;
    last->next = rec;
    rec->prev = last;
    return 0;
}

gtl_mem_debug_rec *find_block(const void *block)
{
    for (gtl_mem_debug_rec *rec = gtl_mem_debug_list; rec; rec = rec->next)
        if (rec->block == block)
            return rec;
    return nullptr;
}

void untrack(gtl_mem_debug_rec *rec)
{
    _gtl_mem_usage_current -= rec->size;
    if (rec->prev)
        rec->prev->next = rec->next;
    else
        gtl_mem_debug_list = rec->next;
    if (rec->next)
        rec->next->prev = rec->prev;
    free(rec);
}

const char kDebugIfcFile[] = "gtl_mem_ifc_debug";

void *debug_ifc_malloc(size_t size)
{
    void *block = malloc(size);
    if (block) {
        count_block(size);
        track_block(block, size, kDebugIfcFile, 0);
    }
    return block;
}

void debug_ifc_free(void *block)
{
    if (gtl_mem_debug_rec *rec = block ? find_block(block) : nullptr)
        untrack(rec);
    free(block);
}

void *debug_ifc_calloc(size_t count, size_t size)
{
    void *block = calloc(count, size);
    if (block) {
        count_block(uint64_t(count) * size);
        track_block(block, uint64_t(count) * size, kDebugIfcFile, 0);
    }
    return block;
}

void *debug_ifc_realloc(void *block, size_t size)
{
    if (size == 0 && block) {  // realloc would free it: keep the accounting in step
        debug_ifc_free(block);
        return nullptr;
    }
    gtl_mem_debug_rec *rec = block ? find_block(block) : nullptr;
    void *moved = realloc(block, size);
    if (!moved)
        return nullptr;  // the old block is still valid and still tracked
    if (rec)
        untrack(rec);
    count_block(size);
    track_block(moved, size, kDebugIfcFile, 0);
    return moved;
}

}  // namespace

gtl_mem_ifc gtl_mem_ifc_debug = {debug_ifc_malloc, debug_ifc_free, debug_ifc_calloc, debug_ifc_realloc};

void *gtl_malloc_debug(size_t size, const char *file, int line)
{
    void *block = gtl_malloc(size);
    if (!block)
        return nullptr;
    count_block(size);
    track_block(block, size, file, line);
    return block;
}

void gtl_free_debug(void *block)
{
    if (!gtl_mem_debug_list) {
        printf("error: gtl_mem_debug_list is empty but shoulw not be!\n");
        return;
    }
    gtl_mem_debug_rec *rec = find_block(block);
    if (!rec) {
        printf("error: can't find memory block in gtl_mem_debug_list!\n");
        gtl_free(block);
        return;
    }
    untrack(rec);
    gtl_free(block);
}

void *gtl_calloc_debug(size_t count, size_t size, const char *, int) { return gtl_calloc(count, size); }

void *gtl_realloc_debug(void *block, size_t size, const char *, int) { return gtl_realloc(block, size); }
