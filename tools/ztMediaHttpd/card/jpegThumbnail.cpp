// See jpegThumbnail.h. libjpeg reports fatal errors through error_exit, which must not return:
// it longjmps back to the call that started the work, where nothing but C state is live.
#include "card/jpegThumbnail.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "tools/common/jpegCompress.h"

namespace {

const unsigned long kMaxPixels = 100UL * 1000 * 1000;  // refuse absurd declared sizes
const long kMaxDecoderMemory = 256L << 20;             // progressive images buffer coefficients
const int kQuality = 78;

struct ErrorTrap {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void trapError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorTrap *>(info->err)->jump, 1); }

void quiet(j_common_ptr, int) {}

// Decodes at the DCT scale that brings the longer side nearest above kThumbnailEdge.
bool decodeScaled(const uint8_t *data, size_t size, std::vector<uint8_t> *rgb, unsigned *w, unsigned *h)
{
    jpeg_decompress_struct d;
    ErrorTrap trap;
    d.err = jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = trapError;
    trap.mgr.emit_message = quiet;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    d.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&d, data, (unsigned long)size);
    jpeg_read_header(&d, TRUE);
    if ((unsigned long)d.image_width * d.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    unsigned longer = d.image_width > d.image_height ? d.image_width : d.image_height;
    d.scale_num = 1;
    d.scale_denom = 1;
    while (d.scale_denom < 8 && longer / (d.scale_denom * 2) >= kThumbnailEdge)
        d.scale_denom *= 2;
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    *w = d.output_width;
    *h = d.output_height;
    rgb->resize((size_t)*w * *h * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = rgb->data() + (size_t)d.output_scanline * *w * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return *w > 0 && *h > 0;
}

// Averages f x f blocks so the longer side ends at most kThumbnailEdge.
void reduce(std::vector<uint8_t> *rgb, unsigned *w, unsigned *h)
{
    unsigned longer = *w > *h ? *w : *h;
    unsigned f = (longer + kThumbnailEdge - 1) / kThumbnailEdge;
    if (f <= 1)
        return;
    unsigned nw = *w / f ? *w / f : 1, nh = *h / f ? *h / f : 1;
    std::vector<uint8_t> out((size_t)nw * nh * 3);
    for (unsigned y = 0; y < nh; ++y)
        for (unsigned x = 0; x < nw; ++x)
            for (unsigned c = 0; c < 3; ++c) {
                unsigned sum = 0, n = 0;
                for (unsigned dy = 0; dy < f && y * f + dy < *h; ++dy)
                    for (unsigned dx = 0; dx < f && x * f + dx < *w; ++dx, ++n)
                        sum += (*rgb)[((size_t)(y * f + dy) * *w + x * f + dx) * 3 + c];
                out[((size_t)y * nw + x) * 3 + c] = (uint8_t)(sum / n);
            }
    rgb->swap(out);
    *w = nw;
    *h = nh;
}

bool encode(const std::vector<uint8_t> &rgb, unsigned w, unsigned h, std::string *out)
{
    jpeg_compress_struct c;
    ErrorTrap trap;
    unsigned char *mem = nullptr;
    unsigned long memSize = 0;
    c.err = jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = trapError;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&c);
        free(mem);
        return false;
    }
    jpegStartMemoryCompress(c, &mem, &memSize, w, h, 3, JCS_RGB, kQuality);
    while (c.next_scanline < h) {
        JSAMPROW row = const_cast<uint8_t *>(rgb.data()) + (size_t)c.next_scanline * w * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    out->assign(reinterpret_cast<const char *>(mem), memSize);
    free(mem);
    return true;
}

}  // namespace

bool scaleJpeg(const uint8_t *data, size_t size, std::string *out)
{
    std::vector<uint8_t> rgb;
    unsigned w = 0, h = 0;
    if (size < 4 || !decodeScaled(data, size, &rgb, &w, &h))
        return false;
    reduce(&rgb, &w, &h);
    return encode(rgb, w, h, out);
}
