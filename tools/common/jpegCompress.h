// The start of an in-memory JPEG compression that the tools share (the card maker's test images,
// the web host's thumbnails). Header-only, so a tool takes it without linking another tool.
#ifndef ZT_TOOLS_JPEG_COMPRESS_H
#define ZT_TOOLS_JPEG_COMPRESS_H

#include <cstdio>

#include <jpeglib.h>

// Creates the compressor `c` (its error manager set by the caller) for a width x height image of
// `components` channels in `space` at `quality`, writing to *mem and *size, and starts it. The
// caller writes the scanlines, finishes and destroys `c`, and frees *mem.
inline void jpegStartMemoryCompress(jpeg_compress_struct &c, unsigned char **mem, unsigned long *size, unsigned width,
                                    unsigned height, int components, J_COLOR_SPACE space, int quality)
{
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, mem, size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
}

#endif
