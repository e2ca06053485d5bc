#pragma once
// Reads a JPEG file's bytes back with libjpeg, so tests check what a viewer would see:
// size, components, baseline or progressive, the first entry of the luminance
// quantisation table, and the pixels. A file libjpeg cannot read raises an error.
#include <array>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace velora::test {

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    int firstLumaQuant = 0;              // quantisation table 0 at the DC position
    std::vector<unsigned char> pixels;   // rows top to bottom, `components` bytes per pixel

    // Red, green, blue at (x, y); a gray picture gives the same value three times.
    std::array<int, 3> at(int x, int y) const {
        const std::size_t i = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(components);
        if (components == 1) return {pixels[i], pixels[i], pixels[i]};
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }
};

namespace detail {
struct JpegJump {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};
inline void jpegJumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegJump*>(info->err)->back, 1); }

inline bool decodeInto(const std::string& bytes, DecodedJpeg& out, JpegJump& jump) {
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&jump.manager);
    jump.manager.error_exit = jpegJumpBack;
    if (setjmp(jump.back)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    out.progressive = info.progressive_mode != 0;
    out.firstLumaQuant = info.quant_tbl_ptrs[0] ? info.quant_tbl_ptrs[0]->quantval[0] : 0;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.components = info.output_components;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height) * std::size_t(out.components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + std::size_t(info.output_scanline) * std::size_t(out.width) *
                                               std::size_t(out.components);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}
}  // namespace detail

inline DecodedJpeg decodeJpeg(const std::string& bytes) {
    DecodedJpeg out;
    detail::JpegJump jump{};
    if (!detail::decodeInto(bytes, out, jump)) throw std::runtime_error("not a JPEG libjpeg can read");
    return out;
}

}  // namespace velora::test
