// The TGA plugin's two reading exports, linked in directly.
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
using fuzz::Put16;

// An 18-byte header and what follows it.
std::vector<uint8_t> Tga(uint8_t imageType, uint16_t width, uint16_t height, uint8_t depth,
                         uint8_t descriptor, const std::vector<uint8_t>& map, uint16_t mapLength,
                         uint8_t entrySize, const std::vector<uint8_t>& body, const std::string& id = {}) {
    std::vector<uint8_t> b;
    b.push_back(static_cast<uint8_t>(id.size()));
    b.push_back(mapLength ? 1 : 0);
    b.push_back(imageType);
    Put16(b, 0);
    Put16(b, mapLength);
    b.push_back(entrySize);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, width);
    Put16(b, height);
    b.push_back(depth);
    b.push_back(descriptor);
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), map.begin(), map.end());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

std::vector<uint8_t> Ramp(size_t n, uint8_t step) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * step + 1);
    return v;
}

void WriteSeeds(const char* folder) {
    // What the plugin itself writes.
    for (int depth : {1, 4, 8, 24}) {
        PackedDibHandle dib = Pattern(7, 3, depth);
        const std::string path = std::string(folder) + "/tga-written-" + std::to_string(depth) + "bit";
        if (WriteGraphicFile(path.c_str(), dib) != 1) std::abort();
        std::free(dib);
    }
    // What other programs write: 15/16/32-bit, grey, run-length packets,
    // bottom-up and top-down rows, a short colour map and an image id.
    fuzz::WriteSeed(folder, "tga-16bit", Tga(2, 3, 2, 16, 0, {}, 0, 0, {0x1F, 0, 0, 0x7C, 0xE0, 3, 1, 2, 3, 4, 5, 6}));
    fuzz::WriteSeed(folder, "tga-32bit-top-down", Tga(2, 2, 2, 32, 0x28, {}, 0, 0, Ramp(16, 9)));
    fuzz::WriteSeed(folder, "tga-grey", Tga(3, 4, 2, 8, 0, {}, 0, 0, Ramp(8, 30), "an image id"));
    fuzz::WriteSeed(folder, "tga-mapped-15bit-map", Tga(1, 4, 2, 8, 0, Ramp(32, 5), 16, 15, Ramp(8, 2)));
    // Run-length: a repeat packet crossing the row end, then a raw packet.
    fuzz::WriteSeed(folder, "tga-rle-24bit", Tga(10, 3, 2, 24, 0, {}, 0, 0,
                                                 {0x83, 10, 20, 30, 0x01, 1, 2, 3, 4, 5, 6, 0x80, 7, 8, 9}));
    fuzz::WriteSeed(folder, "tga-rle-mapped", Tga(9, 4, 2, 8, 0, Ramp(48, 3), 16, 24, {0x83, 2, 0x03, 1, 2, 3, 4}));
    fuzz::WriteSeed(folder, "tga-rle-grey-16bit", Tga(11, 4, 1, 8, 0x20, {}, 0, 0, {0x81, 9, 0x01, 7, 8}));
    fuzz::WriteSeed(folder, "tga-rle-16bit", Tga(10, 2, 2, 16, 0, {}, 0, 0, {0x83, 0x1F, 0x00}));
    fuzz::WriteSeed(folder, "tga-1bit", Tga(3, 9, 2, 1, 0, {}, 0, 0, {0xA5, 0x80, 0x5A, 0x00}));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::CheckPictureReader(data, size, GetFileInformation, ReadGraphicFile, GetError);
    return 0;
}
