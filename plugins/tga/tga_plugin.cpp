// tgaflt32: reads uncompressed and run-length encoded Truevision TGA pictures
// (colour-mapped, true-colour and black-and-white; 1, 8, 15, 16, 24 and 32
// bits per pixel) and writes uncompressed 1-, 8- and 24-bit TGA files.
//
// Every length in a file is checked against what the file holds and against
// the bitmap being filled: a damaged or hostile file is refused, never
// allowed to write outside its buffers.

#include <algorithm>
#include <sys/stat.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"

using namespace reelcard::plugin;

namespace {

constexpr size_t kIoBufferSize = 2048;
constexpr size_t kTgaHeaderSize = 18;

struct TgaHeader {
    uint8_t idLength;
    uint8_t colourMapType;
    uint8_t imageType;
    uint16_t firstEntry;
    uint16_t mapLength;
    uint8_t entrySize;
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;
    uint8_t descriptor;
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// floor(v * 255 / 31): a 5-bit colour component widened to 8 bits.
uint8_t Expand5(unsigned v) { return static_cast<uint8_t>(v * 255 / 31); }

// A 16-bit colour value, red in bits 10-14, green 5-9, blue 0-4, stored as
// blue, green, red.
void Expand16(uint16_t value, uint8_t* bgr) {
    bgr[0] = Expand5(value & 0x1F);
    bgr[1] = Expand5((value >> 5) & 0x1F);
    bgr[2] = Expand5((value >> 10) & 0x1F);
}

// Reads colour-map and pixel bytes through one buffer instead of a system
// call per byte.  Each reading call starts with an empty buffer.
class InputBuffer {
public:
    explicit InputBuffer(FILE* file) : file_(file) {}

    bool Read(uint8_t* out, size_t count) {
        while (count > 0) {
            if (pos_ == fill_) {
                fill_ = fread(data_, 1, kIoBufferSize, file_);
                pos_ = 0;
                if (fill_ == 0) return false;
            }
            size_t chunk = fill_ - pos_;
            if (chunk > count) chunk = count;
            memcpy(out, data_ + pos_, chunk);
            pos_ += chunk;
            out += chunk;
            count -= chunk;
        }
        return true;
    }

    bool Skip(size_t count) {
        uint8_t scratch[64];
        while (count > 0) {
            const size_t chunk = count < sizeof(scratch) ? count : sizeof(scratch);
            if (!Read(scratch, chunk)) return false;
            count -= chunk;
        }
        return true;
    }

private:
    FILE* file_;
    uint8_t data_[kIoBufferSize];
    size_t fill_ = 0;
    size_t pos_ = 0;
};

class OutputBuffer {
public:
    explicit OutputBuffer(FILE* file) : file_(file) {}

    bool Write(const uint8_t* data, size_t count) {
        while (count > 0) {
            if (fill_ == kIoBufferSize && !Flush()) return false;
            size_t chunk = kIoBufferSize - fill_;
            if (chunk > count) chunk = count;
            memcpy(data_ + fill_, data, chunk);
            fill_ += chunk;
            data += chunk;
            count -= chunk;
        }
        return true;
    }

    bool Flush() {
        if (fill_ > 0 && fwrite(data_, 1, fill_, file_) != fill_) return false;
        fill_ = 0;
        return true;
    }

private:
    FILE* file_;
    uint8_t data_[kIoBufferSize];
    size_t fill_ = 0;
};

bool IsRunLength(uint8_t imageType) { return imageType >= 9; }

// Types, depths and their combinations we can decode into the right pixels.
bool IsDecodable(const TgaHeader& h) {
    switch (h.imageType) {
        case 1: case 2: case 3: case 9: case 10: case 11: break;
        default: return false;
    }
    switch (h.pixelDepth) {
        case 1: case 8: case 15: case 16: case 24: case 32: break;
        default: return false;
    }
    // Colour-mapped and black-and-white pixels are indices of at most 8 bits.
    const bool indexed = h.imageType == 1 || h.imageType == 9 || h.imageType == 3 ||
                         h.imageType == 11;
    if (indexed && h.pixelDepth > 8) return false;
    return h.width > 0 && h.height > 0;
}

int SourceDepth(const TgaHeader& h) { return h.pixelDepth <= 8 ? h.pixelDepth : 24; }

// Bytes of one unit in the file and in the bitmap row.  A unit is a byte for
// depths 1 and 8 and a pixel otherwise.
size_t FileUnitSize(int depth) {
    switch (depth) {
        case 15: case 16: return 2;
        case 24: return 3;
        case 32: return 4;
        default: return 1;
    }
}

size_t RowUnitSize(int depth) { return depth <= 8 ? 1 : 3; }

bool ReadUnit(InputBuffer& in, int depth, uint8_t* out) {
    uint8_t raw[4];
    if (!in.Read(raw, FileUnitSize(depth))) return false;
    switch (depth) {
        case 15: case 16: Expand16(Le16(raw), out); break;
        case 24: case 32: memcpy(out, raw, 3); break;
        default: out[0] = raw[0]; break;
    }
    return true;
}

// Whether the rest of the file can hold the picture's pixels: stored rows
// need every unit's bytes; a run-length packet of 1 + unit bytes gives at
// most 128 units.
bool PixelsCanFit(FILE* file, const TgaHeader& h) {
    const int depth = h.pixelDepth;
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || st.st_size < static_cast<off_t>(kTgaHeaderSize)) return false;
    const uint64_t available = static_cast<uint64_t>(st.st_size) - kTgaHeaderSize;
    const uint64_t rowUnits = depth == 1 ? (h.width + 7u) / 8u : h.width;
    const uint64_t units = rowUnits * h.height;
    const uint64_t unitBytes = depth == 1 ? 1 : FileUnitSize(depth);
    if (IsRunLength(h.imageType)) return units <= available / (1 + unitBytes) * 128 + 128;
    return units * unitBytes <= available;
}

// Decodes one file row into row, which holds rowUnits * RowUnitSize bytes.
// Units a packet yields beyond the end of the row are dropped; the next row
// starts with a new packet.
bool DecodeRow(InputBuffer& in, const TgaHeader& h, uint8_t* row) {
    const int depth = h.pixelDepth;
    const size_t rowUnits = depth == 1 ? (h.width + 7u) / 8u : h.width;
    const size_t unitSize = RowUnitSize(depth);

    if (!IsRunLength(h.imageType)) {
        // Units stored as the bitmap holds them come in whole rows.
        if (depth == 1 || FileUnitSize(depth) == unitSize) return in.Read(row, rowUnits * unitSize);
        for (size_t u = 0; u < rowUnits; ++u) {
            if (!ReadUnit(in, depth, row + u * unitSize)) return false;
        }
        return true;
    }

    size_t produced = 0;
    while (produced < rowUnits) {
        uint8_t packet;
        if (!in.Read(&packet, 1)) return false;
        const size_t count = (packet & 0x7Fu) + 1;
        uint8_t unit[3];
        if (packet & 0x80) {
            if (!ReadUnit(in, depth, unit)) return false;
            for (size_t k = 0; k < count; ++k, ++produced) {
                if (produced < rowUnits) memcpy(row + produced * unitSize, unit, unitSize);
            }
        } else if (FileUnitSize(depth) == unitSize && depth != 1) {
            // Raw units stored as the bitmap holds them: those inside the row
            // are read in one go, any beyond its end are skipped.
            const size_t inside = produced < rowUnits ? std::min(count, rowUnits - produced) : 0;
            if (!in.Read(row + produced * unitSize, inside * unitSize)) return false;
            if (!in.Skip((count - inside) * unitSize)) return false;
            produced += count;
        } else {
            for (size_t k = 0; k < count; ++k, ++produced) {
                if (!ReadUnit(in, depth, unit)) return false;
                if (produced < rowUnits) memcpy(row + produced * unitSize, unit, unitSize);
            }
        }
    }
    return true;
}

// Reverses the pixels of a decoded row (descriptor bit 4: stored right to left).
void MirrorRow(uint8_t* row, uint32_t width, int depth) {
    if (depth == 1) {
        for (uint32_t a = 0, b = width - 1; a < b; ++a, --b) {
            const int bitA = (row[a / 8] >> (7 - a % 8)) & 1;
            const int bitB = (row[b / 8] >> (7 - b % 8)) & 1;
            if (bitA != bitB) {
                row[a / 8] ^= static_cast<uint8_t>(0x80 >> (a % 8));
                row[b / 8] ^= static_cast<uint8_t>(0x80 >> (b % 8));
            }
        }
        return;
    }
    const size_t unit = RowUnitSize(depth);
    for (uint32_t a = 0, b = width - 1; a < b; ++a, --b) {
        for (size_t i = 0; i < unit; ++i) {
            const uint8_t t = row[a * unit + i];
            row[a * unit + i] = row[b * unit + i];
            row[b * unit + i] = t;
        }
    }
}

// Reads the colour map into the palette.  All mapLength stored entries are
// consumed so that the pixel data is found where it begins, whatever their
// size; entries landing beyond index 255 are dropped.
bool ReadColourMap(InputBuffer& in, const TgaHeader& h, RgbPalette* palette) {
    const size_t entryBytes = (h.entrySize + 7u) / 8u;
    const bool usable = h.entrySize == 15 || h.entrySize == 16 || h.entrySize == 24 ||
                        h.entrySize == 32;
    for (uint32_t k = 0; k < h.mapLength; ++k) {
        uint8_t raw[4];
        if (!usable) {
            if (!in.Skip(entryBytes)) return false;
            continue;
        }
        if (!in.Read(raw, entryBytes)) return false;
        const uint32_t index = h.firstEntry + k;
        if (index > 255) continue;
        uint8_t* rgb = palette->rgb[index];
        if (entryBytes == 2) {
            uint8_t bgr[3];
            Expand16(Le16(raw), bgr);
            rgb[0] = bgr[2];
            rgb[1] = bgr[1];
            rgb[2] = bgr[0];
        } else {
            rgb[0] = raw[2];
            rgb[1] = raw[1];
            rgb[2] = raw[0];
        }
    }
    return true;
}

PackedDibHandle ReadTga(const char* fileName, bool withPixels) {
    FILE* file = fileName ? fopen(fileName, "rb") : nullptr;
    if (!file) {
        SetPluginError(PluginErrorOpen);
        return nullptr;
    }

    uint8_t raw[kTgaHeaderSize];
    if (fread(raw, 1, kTgaHeaderSize, file) != kTgaHeaderSize) {
        fclose(file);
        SetPluginError(PluginErrorRead);
        return nullptr;
    }
    TgaHeader h;
    h.idLength = raw[0];
    h.colourMapType = raw[1];
    h.imageType = raw[2];
    h.firstEntry = Le16(raw + 3);
    h.mapLength = Le16(raw + 5);
    h.entrySize = raw[7];
    h.width = Le16(raw + 12);
    h.height = Le16(raw + 14);
    h.pixelDepth = raw[16];
    h.descriptor = raw[17];

    RgbPalette palette;
    ClearPalette(&palette);
    SetBlackWhitePalette(&palette);

    if (!IsDecodable(h)) {
        fclose(file);
        SetPluginError(PluginErrorCorrupt);
        return nullptr;
    }
    const int depth = SourceDepth(h);

    InputBuffer in(file);
    bool ok = in.Skip(h.idLength);
    if (ok && h.colourMapType != 0) ok = ReadColourMap(in, h, &palette);
    if (!ok) {
        fclose(file);
        SetPluginError(PluginErrorRead);
        return nullptr;
    }
    if (depth == 1) {
        SetBlackWhitePalette(&palette);
    } else if (h.colourMapType == 0 && depth == 8) {
        SetGreyPalette(&palette, 8);
    }

    // Pixel data the file cannot hold is refused before the bitmap is made,
    // so a tiny file claiming a huge picture allocates nothing large.
    if (withPixels && !PixelsCanFit(file, h)) {
        fclose(file);
        SetPluginError(PluginErrorRead);
        return nullptr;
    }
    if (withPixels && !WithinPixelLimit(h.width, h.height)) {
        fclose(file);
        SetPluginError(PluginErrorCorrupt);
        return nullptr;
    }

    PackedDibHandle dib = BuildPackedDib(h.width, h.height, depth, &palette, withPixels);
    if (!dib) {
        fclose(file);
        SetPluginError(PluginErrorMemory);
        return nullptr;
    }
    if (!withPixels) {
        fclose(file);
        SetPluginError(PluginErrorNone);
        return dib;
    }

    const bool topFirst = (h.descriptor & 0x20) != 0;
    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    for (uint32_t n = 0; n < h.height; ++n) {
        // Rows are decoded straight into the bitmap, which is as wide as the row buffer.
        const uint32_t index = topFirst ? h.height - 1 - n : n;
        uint8_t* target = static_cast<uint8_t*>(DibRowAddress(dib, index));
        if (!DecodeRow(in, h, target)) {
            free(dib);
            fclose(file);
            SetPluginError(PluginErrorRead);
            return nullptr;
        }
        if (rightToLeft) MirrorRow(target, h.width, h.pixelDepth);
    }

    fclose(file);
    SetPluginError(PluginErrorNone);
    return dib;
}

// Fills out with one file row of the picture's row r at the output depth.
void EncodeRow(const DibView& view, uint32_t r, int outDepth, uint8_t* out) {
    const uint8_t* src = PictureRow(view, r);
    const uint32_t width = static_cast<uint32_t>(view.width);
    if (outDepth == 1) {
        memcpy(out, src, (width + 7) / 8);
        return;
    }
    if (outDepth == 8) {
        for (uint32_t k = 0; k < width; ++k) out[k] = PixelIndex(src, k, view.bitCount);
        return;
    }
    for (uint32_t k = 0; k < width; ++k) {
        uint8_t* bgr = out + 3 * k;
        switch (view.bitCount) {
            case 16: Expand16(Le16(src + 2 * k), bgr); break;
            case 32: memcpy(bgr, src + 4 * k, 3); break;
            default: memcpy(bgr, src + 3 * k, 3); break;
        }
    }
}

// Writes header, colour map and rows; returns the plugin error code.
uint16_t WriteTgaBody(FILE* file, const DibView& view) {
    RgbPalette palette;
    ExtractPalette(view, &palette);

    const uint32_t width = static_cast<uint32_t>(view.width);
    const uint32_t height = static_cast<uint32_t>(view.height);
    uint8_t header[kTgaHeaderSize] = {};
    int outDepth;
    size_t rowBytes;
    if (view.bitCount == 1) {
        header[2] = 3;
        outDepth = 1;
        rowBytes = (width + 7) / 8;
    } else if (view.bitCount <= 8) {
        header[1] = 1;
        header[2] = 1;
        PutLe16(header + 5, 256);
        header[7] = 24;
        outDepth = 8;
        rowBytes = width;
    } else {
        header[2] = 2;
        outDepth = 24;
        rowBytes = 3 * static_cast<size_t>(width);
    }
    PutLe16(header + 12, static_cast<uint16_t>(width));
    PutLe16(header + 14, static_cast<uint16_t>(height));
    header[16] = static_cast<uint8_t>(outDepth);
    header[17] = 32;

    uint8_t* row = static_cast<uint8_t*>(malloc(rowBytes));
    OutputBuffer* out = new (std::nothrow) OutputBuffer(file);
    if (!row || !out) {
        free(row);
        delete out;
        return PluginErrorMemory;
    }

    bool ok = out->Write(header, sizeof(header));
    for (int i = 0; ok && outDepth == 8 && i < 256; ++i) {
        const uint8_t bgr[3] = {palette.rgb[i][2], palette.rgb[i][1], palette.rgb[i][0]};
        ok = out->Write(bgr, 3);
    }
    for (uint32_t r = 0; ok && r < height; ++r) {
        EncodeRow(view, r, outDepth, row);
        ok = out->Write(row, rowBytes);
    }
    ok = ok && out->Flush();
    free(row);
    delete out;
    return ok ? PluginErrorNone : PluginErrorWrite;
}

}  // namespace

extern "C" {

const char* GetFileExtension(void) { return "TGA"; }

uint16_t GetLibraryVersion(void) { return 256; }

const char* GetCopyright(void) { return "TGA graphics plugin for Reelcard, copyright (C) the Reelcard developers"; }

const char* GetNotice(void) {
    return "TGA or Targa is the format native to TrueVision's\n"
           "Targa display hardware. It supports up to 32 bits of\n"
           "colour, which is 24 bits plus eight bits of alpha\n"
           "channels.";
}

PackedDibHandle GetFileInformation(const char* fileName) { return ReadTga(fileName, false); }

PackedDibHandle ReadGraphicFile(const char* fileName) { return ReadTga(fileName, true); }

uint16_t WriteGraphicFile(const char* fileName, PackedDibHandle dib) {
    // TGA carries width and height in 16 bits; larger pictures cannot be stored.
    return WritePictureFile(fileName, dib, 0xFFFF, WriteTgaBody);
}

uint16_t GetError(char* buffer) { return CopyPluginError(buffer); }

}  // extern "C"
