// The WebP plugin's two reading exports, linked in directly.
#include <webp/encode.h>
#include <webp/mux.h>

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

std::vector<uint8_t> Pixels(int w, int h) {
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 41 + i / 5);
    return v;
}

std::vector<uint8_t> Taken(uint8_t* data, size_t size) {
    if (!size) std::abort();
    std::vector<uint8_t> v(data, data + size);
    WebPFree(data);
    return v;
}

// Two frames, so that the first one is composed on the canvas.
std::vector<uint8_t> Animation() {
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options)) std::abort();
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(6, 4, &options);
    WebPConfig config;
    if (!encoder || !WebPConfigInit(&config)) std::abort();
    for (int frame = 0; frame < 2; ++frame) {
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) std::abort();
        picture.use_argb = 1;
        picture.width = 6;
        picture.height = 4;
        if (!WebPPictureAlloc(&picture)) std::abort();
        for (int i = 0; i < 24; ++i) picture.argb[i] = 0x80000000u | static_cast<uint32_t>(i * 0x10203 + frame);
        if (!WebPAnimEncoderAdd(encoder, &picture, frame * 50, &config)) std::abort();
        WebPPictureFree(&picture);
    }
    WebPAnimEncoderAdd(encoder, nullptr, 100, nullptr);
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAssemble(encoder, &data)) std::abort();
    WebPAnimEncoderDelete(encoder);
    std::vector<uint8_t> bytes(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return bytes;
}

void WriteSeeds(const char* folder) {
    for (int depth : {8, 24}) {
        PackedDibHandle dib = Pattern(7, 3, depth);
        const std::string path = std::string(folder) + "/webp-written-" + std::to_string(depth) + "bit";
        if (WriteGraphicFile(path.c_str(), dib) != 1) std::abort();
        std::free(dib);
    }
    const std::vector<uint8_t> px = Pixels(9, 5);
    uint8_t* out = nullptr;
    size_t size = WebPEncodeBGRA(px.data(), 9, 5, 36, 70, &out);
    fuzz::WriteSeed(folder, "webp-lossy-alpha", Taken(out, size));
    size = WebPEncodeLosslessBGRA(px.data(), 9, 5, 36, &out);
    fuzz::WriteSeed(folder, "webp-lossless-alpha", Taken(out, size));
    size = WebPEncodeBGR(px.data(), 9, 5, 27, 70, &out);
    fuzz::WriteSeed(folder, "webp-lossy", Taken(out, size));
    fuzz::WriteSeed(folder, "webp-animated", Animation());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::CheckPictureReader(data, size, GetFileInformation, ReadGraphicFile, GetError);
    return 0;
}
