// The JPEG plugin's two reading exports, linked in directly.
#include <setjmp.h>
#include <stdio.h>

#include <jpeglib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"
#include "fuzz_support.h"
#include "pattern_dib.h"
#include "picture_fuzz.h"

namespace {

using fuzz::Pattern;

struct Fail {
    jpeg_error_mgr base;
    jmp_buf jump;
};
[[noreturn]] void OnError(j_common_ptr cinfo) { longjmp(reinterpret_cast<Fail*>(cinfo->err)->jump, 1); }

// The kinds the plugin's writer never makes, written with libjpeg.
std::vector<uint8_t> Jpeg(int components, J_COLOR_SPACE space, bool progressive, bool arithmetic, int restart,
                          int orientation) {
    jpeg_compress_struct cinfo;
    Fail err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnError;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) std::abort();
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 19;
    cinfo.image_height = 11;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    if (space == JCS_CMYK) jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, 75, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    cinfo.arith_code = arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = restart;
    jpeg_start_compress(&cinfo, TRUE);
    if (orientation) {
        const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                0x12, 1, 3, 0, 1, 0, 0, 0, static_cast<uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<uint8_t> row(static_cast<size_t>(19 * components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 13 + cinfo.next_scanline * 29);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

void WriteSeeds(const char* folder) {
    for (int depth : {8, 24}) {
        PackedDibHandle dib = Pattern(7, 3, depth);
        const std::string path = std::string(folder) + "/jpg-written-" + std::to_string(depth) + "bit";
        if (WriteGraphicFile(path.c_str(), dib) != 1) std::abort();
        std::free(dib);
    }
    fuzz::WriteSeed(folder, "jpg-grey", Jpeg(1, JCS_GRAYSCALE, false, false, 0, 0));
    fuzz::WriteSeed(folder, "jpg-progressive", Jpeg(3, JCS_RGB, true, false, 0, 0));
    fuzz::WriteSeed(folder, "jpg-arithmetic-restarts", Jpeg(3, JCS_RGB, false, true, 1, 0));
    fuzz::WriteSeed(folder, "jpg-ycck", Jpeg(4, JCS_CMYK, false, false, 0, 0));
    fuzz::WriteSeed(folder, "jpg-exif-turned", Jpeg(3, JCS_RGB, false, false, 0, 6));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::CheckPictureReader(data, size, GetFileInformation, ReadGraphicFile, GetError);
    return 0;
}
