// Picture files made by the tests: BMP files byte by byte, TGA and PNG files
// through the plugins' own writers.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/picture_host.h"
#include "pictures/picture_image.h"

#include <dlfcn.h>
#include <cstdlib>
#include <cstring>

namespace picture_test {

struct BmpSpec {
    int32_t width = 2;
    int32_t height = 2;  // negative: top row first
    uint16_t bitCount = 24;
    bool fileHeader = true;
    bool coreHeader = false;      // the 12-byte header
    uint32_t headerSize = 0;      // 0: 40 or 12; else written as given
    uint32_t coloursUsed = 0;     // written into a 40-byte header
    uint32_t compression = 0;
    std::vector<QRgb> palette;    // written as the colour table
    std::vector<uint8_t> pixels;  // the rows exactly as stored
    int64_t pixelOffset = -1;     // -1: right behind the colour table
    size_t gap = 0;               // bytes between colour table and pixels
    uint32_t pelsPerMetre = 0;    // both resolutions; 0: none stored
};



inline void U16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void U32(std::vector<uint8_t>& out, uint32_t v) {
    U16(out, v & 0xFFFF);
    U16(out, v >> 16);
}
inline void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}


// A BMP file laid out as `s` describes.
inline std::vector<uint8_t> MakeBmp(const BmpSpec& s) {
    std::vector<uint8_t> out;
    if (s.fileHeader) {
        out = {'B', 'M'};
        U32(out, 0);  // file size, patched below
        U32(out, 0);
        U32(out, 0);  // pixel offset, patched below
    }
    const uint32_t headerSize = s.headerSize ? s.headerSize : (s.coreHeader ? 12 : 40);
    U32(out, headerSize);
    if (s.coreHeader) {
        U16(out, static_cast<uint32_t>(s.width));
        U16(out, static_cast<uint32_t>(s.height));
        U16(out, 1);
        U16(out, s.bitCount);
    } else {
        U32(out, static_cast<uint32_t>(s.width));
        U32(out, static_cast<uint32_t>(s.height));
        U16(out, 1);
        U16(out, s.bitCount);
        U32(out, s.compression);
        U32(out, 0);
        U32(out, s.pelsPerMetre);
        U32(out, s.pelsPerMetre);
        U32(out, s.coloursUsed);
        U32(out, 0);
        for (uint32_t i = 40; i < headerSize; ++i) out.push_back(0);
    }
    for (QRgb c : s.palette) {
        out.push_back(static_cast<uint8_t>(qBlue(c)));
        out.push_back(static_cast<uint8_t>(qGreen(c)));
        out.push_back(static_cast<uint8_t>(qRed(c)));
        if (!s.coreHeader) out.push_back(0);
    }
    out.insert(out.end(), s.gap, 0xEE);
    const size_t pixelsAt = out.size();
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    if (s.fileHeader) {
        PutU32(out, 2, static_cast<uint32_t>(out.size()));
        PutU32(out, 10, s.pixelOffset >= 0 ? static_cast<uint32_t>(s.pixelOffset)
                                           : static_cast<uint32_t>(pixelsAt));
    }
    return out;
}

// Stored rows of a picture given top row first, one value per pixel (an
// index, the raw value at 16 bits, 0xRRGGBB at 24 and 32), padded to four bytes.
inline std::vector<uint8_t> PackRows(int width, const std::vector<std::vector<uint32_t>>& topFirst,
                              int bitCount, bool bottomUp) {
    const size_t stride = static_cast<size_t>((width * bitCount + 31) / 32 * 4);
    std::vector<uint8_t> out(stride * topFirst.size(), 0);
    for (size_t r = 0; r < topFirst.size(); ++r) {
        uint8_t* row = out.data() + (bottomUp ? topFirst.size() - 1 - r : r) * stride;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = topFirst[r][static_cast<size_t>(x)];
            switch (bitCount) {
                case 1: row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
                case 4: row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
                case 8: row[x] = static_cast<uint8_t>(v); break;
                case 16:
                    row[x * 2] = static_cast<uint8_t>(v);
                    row[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
                    break;
                default: {
                    const int bytes = bitCount / 8;
                    row[x * bytes] = static_cast<uint8_t>(v);            // blue
                    row[x * bytes + 1] = static_cast<uint8_t>(v >> 8);   // green
                    row[x * bytes + 2] = static_cast<uint8_t>(v >> 16);  // red
                }
            }
        }
    }
    return out;
}

// A PackedDib built here (not by a plugin) for handing to a plugin's writer.
inline DibPtr MakeDib(int width, int height, int bitCount, const std::vector<QRgb>& palette,
               const std::vector<uint8_t>& storedRows) {
    const uint32_t colours = bitCount <= 8 ? (1u << bitCount) : 0;
    const size_t size = 40 + colours * 4 + storedRows.size();
    auto* block = static_cast<uint8_t*>(std::calloc(1, size));
    std::vector<uint8_t> header;
    U32(header, 40);
    U32(header, static_cast<uint32_t>(width));
    U32(header, static_cast<uint32_t>(height));
    U16(header, 1);
    U16(header, static_cast<uint32_t>(bitCount));
    U32(header, 0);
    U32(header, static_cast<uint32_t>(storedRows.size()));
    U32(header, 0);
    U32(header, 0);
    U32(header, colours);
    U32(header, colours);
    std::memcpy(block, header.data(), header.size());
    for (size_t i = 0; i < palette.size() && i < colours; ++i) {
        block[40 + i * 4] = static_cast<uint8_t>(qBlue(palette[i]));
        block[40 + i * 4 + 1] = static_cast<uint8_t>(qGreen(palette[i]));
        block[40 + i * 4 + 2] = static_cast<uint8_t>(qRed(palette[i]));
    }
    std::memcpy(block + 40 + colours * 4, storedRows.data(), storedRows.size());
    return DibPtr(block);
}

// Writes `dib` through the plugin library `name` ("tgaflt32", "pngflt32")
// of the build's output folder.
inline bool WriteThroughPlugin(const std::string& name, const std::string& path, const void* dib) {
    const std::string library = std::string(REELCARD_BIN_DIR) + "/" + name + ".so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    auto write = reinterpret_cast<WriteGraphicFileProc>(dlsym(handle, "WriteGraphicFile"));
    return write && write(path.c_str(), const_cast<void*>(dib)) == 1;
}

// The colour at (x, y from the top) of a decoded block.
inline QRgb PixelOf(const void* dib, int x, int y) {
    return PackedDibToImage(dib).pixel(x, y) & 0xFFFFFF;
}

}  // namespace picture_test
