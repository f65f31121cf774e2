// The PCX plugin's two reading exports, linked in directly.
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

// A 128-byte header and what follows it.
std::vector<uint8_t> Pcx(uint8_t bits, uint8_t planes, uint16_t width, uint16_t height, uint16_t lineBytes,
                         const std::vector<uint8_t>& body) {
    std::vector<uint8_t> b = {0x0A, 5, 1, bits};
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, static_cast<uint16_t>(width - 1));
    Put16(b, static_cast<uint16_t>(height - 1));
    b.resize(16);
    for (int i = 0; i < 48; ++i) b.push_back(static_cast<uint8_t>(i * 5));
    b.push_back(0);
    b.push_back(planes);
    Put16(b, lineBytes);
    b.resize(128);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

void WriteSeeds(const char* folder) {
    for (int depth : {1, 4, 8, 24}) {
        PackedDibHandle dib = Pattern(7, 3, depth);
        const std::string path = std::string(folder) + "/pcx-written-" + std::to_string(depth) + "bit";
        if (WriteGraphicFile(path.c_str(), dib) != 1) std::abort();
        std::free(dib);
    }
    // Kinds the writer never makes: packed 2 and 4 bits, three planes of 1,
    // a run crossing the line end, stored without run-length coding.
    fuzz::WriteSeed(folder, "pcx-2bit", Pcx(2, 1, 5, 2, 2, {0x1B, 0xC0, 0xC2, 0xE4}));
    fuzz::WriteSeed(folder, "pcx-4bit-packed", Pcx(4, 1, 3, 2, 2, {0x12, 0x30, 0xC2, 0x45}));
    fuzz::WriteSeed(folder, "pcx-3-planes", Pcx(1, 3, 9, 1, 2, {0xFF, 0x80, 0x0F, 0x00, 0xC2, 0xAA}));
    fuzz::WriteSeed(folder, "pcx-run-across-lines", Pcx(8, 1, 4, 2, 4, {0xC6, 1, 2, 3}));
    std::vector<uint8_t> plain = Pcx(8, 3, 2, 1, 2, {1, 2, 3, 4, 5, 6});
    plain[2] = 0;
    fuzz::WriteSeed(folder, "pcx-not-encoded", plain);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::CheckPictureReader(data, size, GetFileInformation, ReadGraphicFile, GetError);
    return 0;
}
