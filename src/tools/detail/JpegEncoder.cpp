#include "tools/detail/JpegEncoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "platform/Errors.h"

namespace velora {

namespace {

// libjpeg's default error handler ends the process; ours jumps back to compress(),
// which has nothing to unwind, and the message becomes an error there.
struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jumpBack(j_common_ptr info) {
    auto* jump = reinterpret_cast<ErrorJump*>(info->err);
    (*info->err->format_message)(info, jump->message);
    std::longjmp(jump->back, 1);
}

struct Compressed {
    unsigned char* bytes = nullptr;   // malloc'ed by libjpeg
    unsigned long size = 0;
};

// Plain C data only between setjmp and longjmp, so the jump skips no destructor.
bool compress(const ScreenPicture& picture, int quality, bool grayscale, Compressed& out, ErrorJump& jump) {
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&jump.manager);
    jump.manager.error_exit = jumpBack;
    if (setjmp(jump.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out.bytes, &out.size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (grayscale) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    // Baseline: the scaled tables are kept within 8 bits.
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.rgb.data() + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::string JpegEncoder::encode(const ScreenPicture& picture, int quality, bool grayscale) {
    const std::size_t expected = static_cast<std::size_t>(std::max(picture.width, 0)) *
                                 static_cast<std::size_t>(std::max(picture.height, 0)) * 3;
    if (picture.width <= 0 || picture.height <= 0 || picture.rgb.size() != expected)
        throw Error("JPEG-Fehler: kein Bild zum Speichern");
    Compressed out;
    ErrorJump jump{};
    const bool done = compress(picture, std::clamp(quality, 1, 100), grayscale, out, jump);
    // After a failed compression the pointer may name a buffer libjpeg already let go
    // when it grew it; the little it holds is left alone rather than freed twice.
    if (!done) throw Error(std::string("JPEG-Fehler: ") + jump.message);
    std::string bytes(reinterpret_cast<const char*>(out.bytes), out.size);
    std::free(out.bytes);
    return bytes;
}

}  // namespace velora
