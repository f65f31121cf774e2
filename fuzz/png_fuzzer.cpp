// The PNG plugin's two reading exports, linked in directly.
#include <png.h>
#include <zlib.h>

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


void Append(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void NoFlush(png_structp) {}

// The PNG kinds the plugin's writer never makes, written with libpng.
std::vector<uint8_t> Png(uint32_t width, uint32_t height, int bitDepth, int colourType, bool interlaced,
                         bool transparency = false) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, width, height, bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[16];
        for (int i = 0; i < 16; ++i) palette[i] = {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 5)};
        png_set_PLTE(png, info, palette, 1 << (bitDepth < 4 ? bitDepth : 4));
        if (transparency) {
            png_byte alpha[2] = {0, 128};
            png_set_tRNS(png, info, alpha, 2, nullptr);
        }
    }
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<uint8_t> row(rowBytes);
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t y = 0; y < height; ++y) {
            for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>((i * 29 + y * 7) & (colourType == PNG_COLOR_TYPE_PALETTE ? 0x33 : 0xFF));
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

void WriteSeeds(const char* folder) {
    for (int depth : {1, 4, 8, 24}) {
        PackedDibHandle dib = Pattern(7, 3, depth);
        const std::string path = std::string(folder) + "/png-written-" + std::to_string(depth) + "bit";
        if (WriteGraphicFile(path.c_str(), dib) != 1) std::abort();
        std::free(dib);
    }
    fuzz::WriteSeed(folder, "png-grey-8", Png(5, 3, 8, PNG_COLOR_TYPE_GRAY, false));
    fuzz::WriteSeed(folder, "png-grey-2", Png(9, 2, 2, PNG_COLOR_TYPE_GRAY, false));
    fuzz::WriteSeed(folder, "png-grey-alpha", Png(3, 3, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false));
    fuzz::WriteSeed(folder, "png-rgba", Png(4, 2, 8, PNG_COLOR_TYPE_RGB_ALPHA, false));
    fuzz::WriteSeed(folder, "png-rgb-16", Png(2, 2, 16, PNG_COLOR_TYPE_RGB, false));
    fuzz::WriteSeed(folder, "png-palette-2-interlaced", Png(9, 9, 2, PNG_COLOR_TYPE_PALETTE, true));
    fuzz::WriteSeed(folder, "png-palette-4-transparent", Png(5, 4, 4, PNG_COLOR_TYPE_PALETTE, false, true));
    fuzz::WriteSeed(folder, "png-rgb-interlaced", Png(10, 7, 8, PNG_COLOR_TYPE_RGB, true));
}

// libpng refuses a chunk whose checksum is wrong, so almost every mutation
// would end at the first chunk.  The checksums are put right before the file
// is handed over, which lets the mutations reach the decoding itself.
std::vector<uint8_t> FixChunkChecksums(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                                uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length > bytes.size() - at - 12) break;
        const uint32_t crc = static_cast<uint32_t>(crc32(0, bytes.data() + at + 4, length + 4));
        uint8_t* out = bytes.data() + at + 8 + length;
        out[0] = static_cast<uint8_t>(crc >> 24);
        out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8);
        out[3] = static_cast<uint8_t>(crc);
        at += 12 + length;
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes = FixChunkChecksums(data, size);
    fuzz::CheckPictureReader(bytes.data(), bytes.size(), GetFileInformation, ReadGraphicFile, GetError);
    return 0;
}
