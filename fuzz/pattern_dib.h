// A patterned bitmap of any depth, for the seeds the plugins' writers make.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"
#include "fuzz_support.h"

namespace fuzz {

// A bitmap of the given depth with a pattern in it, for a plugin's writer.
inline PackedDibHandle Pattern(uint16_t width, uint16_t height, int depth) {
    reelcard::plugin::RgbPalette palette;
    for (int i = 0; i < 256; ++i) {
        palette.rgb[i][0] = static_cast<uint8_t>(i);
        palette.rgb[i][1] = static_cast<uint8_t>(255 - i);
        palette.rgb[i][2] = static_cast<uint8_t>(i * 3);
    }
    PackedDibHandle dib = reelcard::plugin::BuildPackedDib(width, height, depth, &palette, true);
    if (!dib) std::abort();
    uint8_t* p = static_cast<uint8_t*>(dib);
    const uint32_t colours = Le32(p + 32);
    const uint32_t imageSize = Le32(p + 20);
    uint8_t* bits = p + 40 + colours * 4;
    for (uint32_t i = 0; i < imageSize; ++i) bits[i] = static_cast<uint8_t>(i * 37 + 5);
    return dib;
}

}  // namespace fuzz
