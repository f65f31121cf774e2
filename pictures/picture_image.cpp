#include "pictures/picture_image.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "pictures/bmp_reader.h"
#include "pictures/picture_host.h"
#include "platform/surface.h"

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Pictures beyond this many pixels a side are not drawn.
constexpr int64_t kMaxSide = 65535;

}  // namespace

QImage PackedDibToImage(const void* dib) {
    if (!dib) return {};
    const uint8_t* block = static_cast<const uint8_t*>(dib);
    const uint32_t headerSize = U32(block);
    int64_t width, height;
    uint16_t bitCount;
    uint32_t compression = 0, coloursUsed = 0;
    if (headerSize == 12) {
        width = U16(block + 4);
        height = U16(block + 6);
        bitCount = U16(block + 10);
    } else if (headerSize >= 40 && headerSize <= 1024) {
        width = static_cast<int32_t>(U32(block + 4));
        height = static_cast<int32_t>(U32(block + 8));
        bitCount = U16(block + 14);
        compression = U32(block + 16);
        coloursUsed = U32(block + 32);
    } else {
        return {};
    }
    const bool known = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                       bitCount == 24 || bitCount == 32;
    const bool topDown = height < 0;
    const int64_t rows = topDown ? -height : height;
    if (!known || compression != 0 || width <= 0 || rows <= 0 || width > kMaxSide ||
        rows > kMaxSide) {
        return {};
    }

    const uint32_t colourCount = HeaderColourCount(headerSize, bitCount, coloursUsed);
    const size_t entryBytes = headerSize == 12 ? 3 : 4;
    const uint8_t* table = block + headerSize;
    const uint8_t* bits = table + size_t{colourCount} * entryBytes;
    const size_t stride = static_cast<size_t>(BitmapStride(static_cast<uint64_t>(width), bitCount));

    // Every index a pixel can hold gets a colour, black past the table's end.
    std::array<QRgb, 256> palette;
    palette.fill(qRgb(0, 0, 0));
    if (bitCount <= 8) {
        const uint32_t entries = std::min<uint32_t>(colourCount, 1u << bitCount);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = table + i * entryBytes;
            palette[i] = qRgb(e[2], e[1], e[0]);
        }
    }

    QImage image(static_cast<int>(width), static_cast<int>(rows), QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* row = bits + static_cast<size_t>(topDown ? y : rows - 1 - y) * stride;
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < width; ++x) {
            QRgb colour;
            switch (bitCount) {
                case 1: colour = palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
                case 4: colour = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
                case 8: colour = palette[row[x]]; break;
                case 16: {
                    const uint16_t v = U16(row + x * 2);
                    auto widen = [](int c) { return (c << 3) | (c >> 2); };
                    colour = qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
                    break;
                }
                case 24: colour = qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]); break;
                default: colour = qRgb(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]); break;
            }
            out[x] = colour;
        }
    }
    return image;
}

bool DrawPicture(Surface& surface, int x, int y, int width, int height, const void* image) {
    QImage picture = PackedDibToImage(image);
    if (picture.isNull()) return false;
    surface.DrawImage(picture, x, y, width, height);
    return true;
}

void DrawPicture(Surface& surface, int x, int y, int width, int height, DecodedPicture& picture) {
    const QImage image = picture.image();
    if (image.isNull()) return;
    surface.DrawScaledImage(image, [&picture](const QSize& size) { return picture.ScaledTo(size); }, x, y, width, height);
}
