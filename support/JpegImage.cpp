#include "support/JpegImage.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h expects size_t and FILE to be declared before it.
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through a callback that must not return; jump back to the
// decode call instead of letting the library exit the process.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnFatalError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

// Everything that needs cleaning up lives outside the setjmp frame, so the jump skips no
// destructor.
bool Decode(jpeg_decompress_struct& info, ErrorManager& errors, const uint8_t* data, size_t size,
            JpegImage& out) {
    if (setjmp(errors.jump)) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    const size_t stride = static_cast<size_t>(info.output_width) * 3;
    out.rgb.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgb.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, JpegImage& out, std::string* error) {
    out = JpegImage{};
    if (!data || size == 0) {
        if (error) *error = "empty picture";
        return false;
    }
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnFatalError;
    errors.base.output_message = IgnoreMessage;
    const bool ok = Decode(info, errors, data, size, out);
    jpeg_destroy_decompress(&info);
    if (!ok) {
        out = JpegImage{};
        if (error) *error = errors.message[0] ? errors.message : "not a JPEG picture";
    }
    return ok;
}
