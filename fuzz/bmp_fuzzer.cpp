// The BMP reader built into the program, through both of its operations.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "picture_fuzz.h"
#include "pictures/bmp_reader.h"

namespace {

using fuzz::Put16;
using fuzz::Put32;

// A BMP file: optional file header, 40- or 12-byte header, colour table,
// rows filled with a pattern.
std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint16_t bits, bool fileHeader = true,
                         bool core = false, uint32_t coloursUsed = 0) {
    const uint32_t headerSize = core ? 12 : 40;
    const uint32_t colours = HeaderColourCount(headerSize, bits, coloursUsed);
    const uint32_t entry = core ? 3 : 4;
    const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
    const uint32_t stride = static_cast<uint32_t>(BitmapStride(static_cast<uint64_t>(width), bits));
    const uint32_t pixelOffset = (fileHeader ? 14 : 0) + headerSize + colours * entry;
    std::vector<uint8_t> b;
    if (fileHeader) {
        b.push_back('B');
        b.push_back('M');
        Put32(b, pixelOffset + stride * rows);
        Put32(b, 0);
        Put32(b, pixelOffset);
    }
    Put32(b, headerSize);
    if (core) {
        Put16(b, static_cast<uint16_t>(width));
        Put16(b, static_cast<uint16_t>(height));
        Put16(b, 1);
        Put16(b, bits);
    } else {
        Put32(b, static_cast<uint32_t>(width));
        Put32(b, static_cast<uint32_t>(height));
        Put16(b, 1);
        Put16(b, bits);
        Put32(b, 0);
        Put32(b, stride * rows);
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, coloursUsed);
        Put32(b, 0);
    }
    for (uint32_t i = 0; i < colours * entry; ++i) b.push_back(static_cast<uint8_t>(i * 7));
    for (uint32_t i = 0; i < stride * rows; ++i) b.push_back(static_cast<uint8_t>(i * 13 + 1));
    return b;
}

void WriteSeeds(const char* folder) {
    fuzz::WriteSeed(folder, "bmp-1bit", Bmp(9, 2, 1));
    fuzz::WriteSeed(folder, "bmp-4bit", Bmp(5, 3, 4));
    fuzz::WriteSeed(folder, "bmp-8bit", Bmp(4, 4, 8));
    fuzz::WriteSeed(folder, "bmp-8bit-3-colours", Bmp(3, 2, 8, true, false, 3));
    fuzz::WriteSeed(folder, "bmp-16bit", Bmp(3, 1, 16));
    fuzz::WriteSeed(folder, "bmp-24bit", Bmp(3, 3, 24));
    fuzz::WriteSeed(folder, "bmp-32bit", Bmp(2, 2, 32));
    fuzz::WriteSeed(folder, "bmp-24bit-top-down", Bmp(3, -4, 24));
    fuzz::WriteSeed(folder, "bmp-core-8bit", Bmp(4, 2, 8, true, true));
    fuzz::WriteSeed(folder, "bmp-core-1bit-bare", Bmp(7, 3, 1, false, true));
    fuzz::WriteSeed(folder, "bmp-bare-info-header", Bmp(4, 2, 4, false));
    fuzz::WriteSeed(folder, "bmp-cassette", fuzz::ReadWholeFile(REELCARD_SOURCE_DIR "/resources/samples/cassette.bmp"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::CheckPictureReader(data, size, BmpGetFileInformation, BmpReadGraphicFile, BmpGetError);
    return 0;
}
