// The checks every picture reader must pass on any input, shared by the
// picture fuzz targets.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "plugins/common/graphics_plugin.h"
#include "fuzz_support.h"

namespace fuzz {

// Runs a reader's information and read operations on `data`: a refusal always
// comes with an error code, every bitmap holds the bytes its header describes,
// and both calls describe the same picture.
template <typename Info, typename Read, typename Error>
void CheckPictureReader(const uint8_t* data, size_t size, Info information, Read read, Error error) {
    MemoryFile file(data, size);
    void* info = information(file.path());
    if (!info && error(nullptr) == PluginErrorNone) std::abort();
    TouchPackedDib(info, false);
    void* dib = read(file.path());
    if (!dib && error(nullptr) == PluginErrorNone) std::abort();
    TouchPackedDib(dib, true);
    ExpectSamePicture(info, dib);
    std::free(info);
    std::free(dib);
}

}  // namespace fuzz
