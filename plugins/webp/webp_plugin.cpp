// webpflt32: reads WebP pictures through libwebp and writes lossless WebP
// files.
//
// Lossy and lossless pictures become 24-bit bitmaps; the library decodes an
// opaque picture straight into the bitmap's blue, green, red rows (bottom row
// first).  Transparency is blended over white paper, as the PNG plugin does.
// An animated file shows its first frame, composed on its canvas.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"

using namespace reelcard::plugin;

namespace {

// Lossless coding packs a plain area very tightly.
constexpr uint64_t kMostExpansion = 4096;

uint8_t OverWhite(unsigned c, unsigned a) {
    return static_cast<uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

uint16_t CodeOf(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OK: return PluginErrorNone;
        case VP8_STATUS_NOT_ENOUGH_DATA: return PluginErrorRead;
        default: return PluginErrorCorrupt;
    }
}

// Blue, green, red, alpha rows (top row first) blended over white into the bitmap.
void BlendRows(const uint8_t* bgra, size_t srcStride, PackedDibHandle dib, uint32_t w, uint32_t h) {
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = bgra + srcStride * y;
        uint8_t* dst = DibRowAddress(dib, h - 1 - y);
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = src + 4 * size_t{x};
            dst[3 * size_t{x}] = OverWhite(p[0], p[3]);
            dst[3 * size_t{x} + 1] = OverWhite(p[1], p[3]);
            dst[3 * size_t{x} + 2] = OverWhite(p[2], p[3]);
        }
    }
}

// The first frame of an animation, composed on the canvas.
uint16_t DecodeFirstFrame(const FileBytes& file, PackedDibHandle dib, uint32_t w, uint32_t h) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return PluginErrorCorrupt;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    WebPData data = {file.data, file.size};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder) return PluginErrorCorrupt;
    uint16_t code = PluginErrorCorrupt;
    WebPAnimInfo info;
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (WebPAnimDecoderGetInfo(decoder, &info) && info.canvas_width == w && info.canvas_height == h &&
        WebPAnimDecoderGetNext(decoder, &canvas, &timestamp) && canvas) {
        BlendRows(canvas, size_t{w} * 4, dib, w, h);
        code = PluginErrorNone;
    }
    WebPAnimDecoderDelete(decoder);
    return code;
}

uint16_t DecodePixels(const FileBytes& file, const WebPBitstreamFeatures& features, PackedDibHandle dib,
                      uint32_t w, uint32_t h) {
    if (features.has_animation) return DecodeFirstFrame(file, dib, w, h);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return PluginErrorCorrupt;
    config.options.use_threads = 0;
    uint8_t* scratch = nullptr;
    if (!features.has_alpha) {
        // Straight into the bitmap, turned upside down as it goes in.
        const size_t stride = DibStride(w, 24);
        config.output.colorspace = MODE_BGR;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = DibRowAddress(dib, 0);
        config.output.u.RGBA.stride = static_cast<int>(stride);
        config.output.u.RGBA.size = stride * h;
        config.options.flip = 1;
    } else {
        scratch = static_cast<uint8_t*>(malloc(size_t{w} * 4 * h));
        if (!scratch) return PluginErrorMemory;
        config.output.colorspace = MODE_BGRA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = scratch;
        config.output.u.RGBA.stride = static_cast<int>(w * 4);
        config.output.u.RGBA.size = size_t{w} * 4 * h;
    }
    const VP8StatusCode status = WebPDecode(file.data, file.size, &config);
    WebPFreeDecBuffer(&config.output);
    uint16_t code = CodeOf(status);
    if (status == VP8_STATUS_OUT_OF_MEMORY) code = PluginErrorMemory;
    if (code == PluginErrorNone && scratch) BlendRows(scratch, size_t{w} * 4, dib, w, h);
    free(scratch);
    return code;
}

PackedDibHandle ReadWebp(const char* fileName, bool withPixels) {
    FileBytes file;
    uint16_t code = ReadFileBytes(fileName, &file);
    if (code != PluginErrorNone) {
        SetPluginError(code);
        return nullptr;
    }
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(file.data, file.size, &features);
    code = status == VP8_STATUS_NOT_ENOUGH_DATA ? uint16_t{PluginErrorRead} : CodeOf(status);
    // Anything that is no WebP at all is a file of another format.
    if (code == PluginErrorRead && (file.size < 12 || memcmp(file.data, "RIFF", 4) != 0)) {
        code = PluginErrorCorrupt;
    }
    const uint32_t w = code == PluginErrorNone ? static_cast<uint32_t>(features.width) : 0;
    const uint32_t h = code == PluginErrorNone ? static_cast<uint32_t>(features.height) : 0;
    if (code == PluginErrorNone && (w == 0 || h == 0 || w > 0xFFFF || h > 0xFFFF)) code = PluginErrorCorrupt;
    // An animation's size is its canvas (every frame lies inside it), and
    // its decoder keeps two canvases of four bytes a pixel besides the
    // bitmap: it counts four times against the pixel limit.
    const uint64_t weight = features.has_animation ? 4 : 1;
    if (code == PluginErrorNone && withPixels &&
        (!WithinPixelLimit(uint64_t{w} * weight, h) ||
         !PlausibleExpansion(uint64_t{w} * h * 3, file.size, kMostExpansion))) {
        code = PluginErrorCorrupt;
    }
    PackedDibHandle dib = nullptr;
    if (code == PluginErrorNone) {
        dib = BuildPackedDib(static_cast<uint16_t>(w), static_cast<uint16_t>(h), 24, nullptr, withPixels);
        if (!dib) code = PluginErrorMemory;
    }
    if (code == PluginErrorNone && withPixels) code = DecodePixels(file, features, dib, w, h);
    FreeFileBytes(&file);
    if (code != PluginErrorNone) {
        free(dib);
        dib = nullptr;
    }
    SetPluginError(code);
    return dib;
}

uint16_t WriteWebpBody(FILE* file, const DibView& view) {
    const uint32_t w = static_cast<uint32_t>(view.width);
    const uint32_t h = static_cast<uint32_t>(view.height);
    RgbPalette palette;
    ExtractPalette(view, &palette);
    uint8_t* bgr = static_cast<uint8_t*>(malloc(size_t{w} * 3 * h));
    if (!bgr) return PluginErrorMemory;
    for (uint32_t r = 0; r < h; ++r) {
        const uint8_t* src = PictureRow(view, r);
        uint8_t* out = bgr + size_t{w} * 3 * r;
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = out + 3 * size_t{x};
            switch (view.bitCount) {
                case 24: memcpy(p, src + 3 * size_t{x}, 3); break;
                case 32: memcpy(p, src + 4 * size_t{x}, 3); break;
                case 16: {
                    const unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
                    p[0] = static_cast<uint8_t>((v & 0x1F) * 255 / 31);
                    p[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
                    p[2] = static_cast<uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
                    break;
                }
                default: {
                    const uint8_t* rgb = palette.rgb[PixelIndex(src, x, view.bitCount)];
                    p[0] = rgb[2];
                    p[1] = rgb[1];
                    p[2] = rgb[0];
                    break;
                }
            }
        }
    }
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessBGR(bgr, static_cast<int>(w), static_cast<int>(h),
                                              static_cast<int>(w * 3), &encoded);
    free(bgr);
    if (size == 0) {
        WebPFree(encoded);
        return PluginErrorWrite;
    }
    const bool ok = fwrite(encoded, 1, size, file) == size;
    WebPFree(encoded);
    return ok ? PluginErrorNone : PluginErrorWrite;
}

}  // namespace

extern "C" {

const char* GetFileExtension(void) { return "WEBP"; }

uint16_t GetLibraryVersion(void) { return 256; }

const char* GetCopyright(void) { return "WebP graphics plugin for Reelcard, copyright (C) the Reelcard developers"; }

const char* GetNotice(void) {
    return "WebP stores pictures of 24 bits of colour, with or\n"
           "without loss of detail, and eight bits of alpha.\n"
           "\n"
           "Portions of this code are copyright (C) Google Inc.: libwebp.";
}

PackedDibHandle GetFileInformation(const char* fileName) { return ReadWebp(fileName, false); }

PackedDibHandle ReadGraphicFile(const char* fileName) { return ReadWebp(fileName, true); }

uint16_t WriteGraphicFile(const char* fileName, PackedDibHandle dib) {
    // WebP pictures are at most 16383 pixels a side.
    return WritePictureFile(fileName, dib, 16383, WriteWebpBody);
}

uint16_t GetError(char* buffer) { return CopyPluginError(buffer); }

}  // extern "C"
