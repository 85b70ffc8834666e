// JPEG dimensions through libjpeg's header reader, fed from the file by a source that reads in
// small chunks, seeks over the segments libjpeg skips (EXIF and other APP segments) instead of
// reading them, and stops after a fixed number of reads. libjpeg reports errors by calling
// error_exit, which here jumps back to readJpegInfo.
#include <unistd.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "mediadb/media_info.h"

namespace {

constexpr size_t kChunk = 4096;
constexpr int kMaxReads = 16;  // at most 64 KiB read per photo, whatever its segments claim

struct FileSource {
    jpeg_source_mgr pub;
    int fd;
    int reads;
    JOCTET buf[kChunk];
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// End of file, a read error or the read budget spent: an end-of-image marker stands in, so
// libjpeg stops with an error of its own instead of asking again.
boolean fillInput(j_decompress_ptr cinfo)
{
    auto *src = reinterpret_cast<FileSource *>(cinfo->src);
    const ssize_t n = src->reads++ < kMaxReads ? read(src->fd, src->buf, kChunk) : 0;
    if (n <= 0) {
        src->pub.next_input_byte = kFakeEoi;
        src->pub.bytes_in_buffer = sizeof kFakeEoi;
    } else {
        src->pub.next_input_byte = src->buf;
        src->pub.bytes_in_buffer = size_t(n);
    }
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    auto *src = reinterpret_cast<FileSource *>(cinfo->src);
    if (count <= 0)
        return;
    if (size_t(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
        return;
    }
    const off_t beyond = off_t(size_t(count) - src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
    if (lseek(src->fd, beyond, SEEK_CUR) < 0)
        src->reads = kMaxReads;  // cannot move on: the next fill ends the read
}

struct ErrorJump {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void errorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorJump *>(cinfo->err)->jump, 1); }
void silent(j_common_ptr) {}

}  // namespace

bool readJpegInfo(int fd, MediaInfo *info)
{
    jpeg_decompress_struct cinfo{};
    ErrorJump err{};
    FileSource src{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silent;
    src.fd = fd;
    src.pub.init_source = initSource;
    src.pub.fill_input_buffer = fillInput;
    src.pub.skip_input_data = skipInput;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = termSource;
    bool ok = false;
    if (setjmp(err.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        cinfo.src = &src.pub;
        ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    }
    // The frame header may have been read before a later segment failed: keep what it said.
    info->width = cinfo.image_width;
    info->height = cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return ok;
}
