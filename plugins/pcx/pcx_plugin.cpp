// pcxflt32: reads ZSoft Paintbrush (PCX) pictures: 1 bit, 2 and 4 bits
// (packed or as 2 to 4 bit planes), 8 bits with the 256-colour palette at the
// end of the file, and 24 bits as three planes of 8 (a fourth, alpha plane is
// dropped).  Writes 1-, 4- (four planes), 8- and 24-bit PCX files, run-length
// encoded.
//
// The whole file is read into memory and every length in it is checked
// against what the file holds: the run-length decoder never writes past the
// row it fills, and a file whose rows cannot all be in it is refused before
// the bitmap is allocated.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"

using namespace reelcard::plugin;

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kTailPaletteSize = 769;  // 0x0C and 256 entries of red, green, blue

// The sixteen colours of the EGA palette, for files that leave the header's
// palette empty.
const uint8_t kEgaPalette[16][3] = {
    {0, 0, 0},       {0, 0, 170},   {0, 170, 0},   {0, 170, 170}, {170, 0, 0},     {170, 0, 170},
    {170, 85, 0},    {170, 170, 170}, {85, 85, 85}, {85, 85, 255}, {85, 255, 85},  {85, 255, 255},
    {255, 85, 85},   {255, 85, 255}, {255, 255, 85}, {255, 255, 255}};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// The pixel layouts we read.
enum class Kind {
    Mono,       // 1 bit, one plane
    Planar,     // 1 bit in 2 to 4 planes: the planes give the bits of a colour index
    Packed2,    // 2 bits, one plane (CGA)
    Packed4,    // 4 bits, one plane
    Indexed8,   // 8 bits, one plane, palette at the end
    Rgb         // 8 bits in 3 or 4 planes: red, green, blue (and alpha, dropped)
};

struct PcxPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t planes = 0;
    uint32_t bytesPerLine = 0;
    bool runLength = true;
    Kind kind = Kind::Mono;
    int depth = 1;  // source depth for the bitmap builder
    RgbPalette palette;
};

// Reads the header and the palette.  Returns the error code.
uint16_t ReadHeader(const FileBytes& file, PcxPicture* pic) {
    if (file.size < kHeaderSize) return PluginErrorRead;
    const uint8_t* h = file.data;
    if (h[0] != 0x0A || h[2] > 1) return PluginErrorCorrupt;
    const uint32_t bits = h[3];
    const uint16_t xMin = Le16(h + 4), yMin = Le16(h + 6), xMax = Le16(h + 8), yMax = Le16(h + 10);
    if (xMax < xMin || yMax < yMin) return PluginErrorCorrupt;
    pic->width = uint32_t{xMax} - xMin + 1;
    pic->height = uint32_t{yMax} - yMin + 1;
    pic->planes = h[65];
    pic->bytesPerLine = Le16(h + 66);
    pic->runLength = h[2] == 1;
    // The bitmap carries its size in 16 bits.
    if (pic->width > 0xFFFF || pic->height > 0xFFFF) return PluginErrorCorrupt;

    if (bits == 1 && pic->planes == 1) {
        pic->kind = Kind::Mono;
        pic->depth = 1;
    } else if (bits == 1 && pic->planes >= 2 && pic->planes <= 4) {
        pic->kind = Kind::Planar;
        pic->depth = 4;
    } else if (bits == 2 && pic->planes == 1) {
        pic->kind = Kind::Packed2;
        pic->depth = 4;
    } else if (bits == 4 && pic->planes == 1) {
        pic->kind = Kind::Packed4;
        pic->depth = 4;
    } else if (bits == 8 && pic->planes == 1) {
        pic->kind = Kind::Indexed8;
        pic->depth = 8;
    } else if (bits == 8 && (pic->planes == 3 || pic->planes == 4)) {
        pic->kind = Kind::Rgb;
        pic->depth = 24;
    } else {
        return PluginErrorCorrupt;
    }
    // Each plane's row must hold the row's pixels.
    if (uint64_t{pic->bytesPerLine} * 8 < uint64_t{pic->width} * bits) return PluginErrorCorrupt;

    ClearPalette(&pic->palette);
    switch (pic->kind) {
        case Kind::Mono:
            SetBlackWhitePalette(&pic->palette);
            break;
        case Kind::Planar:
        case Kind::Packed2:
        case Kind::Packed4: {
            bool empty = true;
            for (size_t i = 0; i < 48; ++i) empty = empty && h[16 + i] == 0;
            for (int i = 0; i < 16; ++i) {
                memcpy(pic->palette.rgb[i], empty ? kEgaPalette[i] : h + 16 + 3 * i, 3);
            }
            break;
        }
        case Kind::Indexed8:
            // The palette follows the pixel data, marked by 0x0C; a file
            // without one is shown in greys.
            if (file.size >= kHeaderSize + kTailPaletteSize &&
                file.data[file.size - kTailPaletteSize] == 0x0C) {
                memcpy(pic->palette.rgb, file.data + file.size - kTailPaletteSize + 1, 768);
            } else {
                SetGreyPalette(&pic->palette, 8);
            }
            break;
        case Kind::Rgb:
            break;
    }
    return PluginErrorNone;
}

// Run-length decoding of the scan lines, one at a time.  A run that goes on
// past the end of a line carries over into the next one; nothing is ever
// written past the line being filled.
class Decoder {
public:
    Decoder(const uint8_t* data, size_t size, bool runLength)
        : p_(data), end_(data + size), runLength_(runLength) {}

    bool Line(uint8_t* out, size_t length) {
        size_t filled = 0;
        while (filled < length) {
            if (pending_ == 0) {
                if (p_ == end_) return false;
                const uint8_t c = *p_++;
                if (runLength_ && (c & 0xC0) == 0xC0) {
                    if (p_ == end_) return false;
                    pending_ = c & 0x3Fu;
                    value_ = *p_++;
                    continue;  // a run of 0 gives nothing
                }
                pending_ = 1;
                value_ = c;
            }
            const size_t n = pending_ < length - filled ? pending_ : length - filled;
            memset(out + filled, value_, n);
            filled += n;
            pending_ -= n;
        }
        return true;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    bool runLength_;
    size_t pending_ = 0;
    uint8_t value_ = 0;
};

// One decoded scan line (all planes) into a bitmap row.
void ConvertLine(const PcxPicture& pic, const uint8_t* line, uint8_t* row) {
    const uint32_t w = pic.width;
    const uint8_t* plane[4] = {line, line + pic.bytesPerLine, line + 2 * size_t{pic.bytesPerLine},
                               line + 3 * size_t{pic.bytesPerLine}};
    switch (pic.kind) {
        case Kind::Mono:
            memcpy(row, line, (w + 7) / 8);
            break;
        case Kind::Packed4:
            memcpy(row, line, (w + 1) / 2);
            break;
        case Kind::Indexed8:
            memcpy(row, line, w);
            break;
        case Kind::Packed2:
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t index = PixelIndex(line, x, 2);
                row[x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4));
            }
            break;
        case Kind::Planar:
            for (uint32_t x = 0; x < w; ++x) {
                uint8_t index = 0;
                for (uint32_t p = 0; p < pic.planes; ++p) {
                    index |= static_cast<uint8_t>(((plane[p][x / 8] >> (7 - x % 8)) & 1) << p);
                }
                row[x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4));
            }
            break;
        case Kind::Rgb:
            for (uint32_t x = 0; x < w; ++x) {
                row[3 * x + 0] = plane[2][x];
                row[3 * x + 1] = plane[1][x];
                row[3 * x + 2] = plane[0][x];
            }
            break;
    }
}

PackedDibHandle ReadPcx(const char* fileName, bool withPixels) {
    FileBytes file;
    uint16_t code = ReadFileBytes(fileName, &file);
    if (code != PluginErrorNone) {
        SetPluginError(code);
        return nullptr;
    }
    PcxPicture pic;
    code = ReadHeader(file, &pic);

    const uint64_t lineBytes = uint64_t{pic.planes} * pic.bytesPerLine;
    if (code == PluginErrorNone && withPixels) {
        // Every encoded byte gives at most 63 bytes of a line (one, stored
        // plainly): rows the file cannot hold are refused before allocating.
        const uint64_t available = file.size - kHeaderSize;
        const uint64_t most = pic.runLength ? available * 63 : available;
        if (lineBytes * pic.height > most) code = PluginErrorRead;
        if (code == PluginErrorNone && !WithinPixelLimit(pic.width, pic.height)) code = PluginErrorCorrupt;
    }
    PackedDibHandle dib = nullptr;
    if (code == PluginErrorNone) {
        dib = BuildPackedDib(static_cast<uint16_t>(pic.width), static_cast<uint16_t>(pic.height), pic.depth,
                             &pic.palette, withPixels);
        if (!dib) code = PluginErrorMemory;
    }
    if (code == PluginErrorNone && withPixels) {
        uint8_t* line = static_cast<uint8_t*>(malloc(lineBytes ? lineBytes : 1));
        if (!line) {
            code = PluginErrorMemory;
        } else {
            Decoder decoder(file.data + kHeaderSize, file.size - kHeaderSize, pic.runLength);
            for (uint32_t r = 0; r < pic.height; ++r) {
                if (!decoder.Line(line, lineBytes)) {
                    code = PluginErrorRead;
                    break;
                }
                ConvertLine(pic, line, DibRowAddress(dib, pic.height - 1 - r));
            }
            free(line);
        }
    }
    FreeFileBytes(&file);
    if (code != PluginErrorNone) {
        free(dib);
        dib = nullptr;
    }
    SetPluginError(code);
    return dib;
}

// ---- writing ----------------------------------------------------------------------

class Encoder {
public:
    explicit Encoder(FILE* file) : file_(file) {}

    // One plane's line, runs never crossing its end.
    void Line(const uint8_t* data, size_t length) {
        size_t i = 0;
        while (i < length) {
            size_t run = 1;
            while (i + run < length && run < 63 && data[i + run] == data[i]) ++run;
            if (run > 1 || (data[i] & 0xC0) == 0xC0) Put(static_cast<uint8_t>(0xC0 | run));
            Put(data[i]);
            i += run;
        }
    }
    void Bytes(const uint8_t* data, size_t length) {
        for (size_t i = 0; i < length; ++i) Put(data[i]);
    }
    bool Finish() {
        if (fill_ > 0 && fwrite(buffer_, 1, fill_, file_) != fill_) ok_ = false;
        fill_ = 0;
        return ok_;
    }

private:
    void Put(uint8_t b) {
        if (fill_ == sizeof buffer_) {
            if (fwrite(buffer_, 1, fill_, file_) != fill_) ok_ = false;
            fill_ = 0;
        }
        buffer_[fill_++] = b;
    }

    FILE* file_;
    uint8_t buffer_[4096];
    size_t fill_ = 0;
    bool ok_ = true;
};

uint16_t WritePcxBody(FILE* file, const DibView& view) {
    RgbPalette palette;
    ExtractPalette(view, &palette);
    const uint32_t w = static_cast<uint32_t>(view.width);
    const uint32_t h = static_cast<uint32_t>(view.height);

    int bits, planes;
    if (view.bitCount == 1) {
        bits = 1, planes = 1;
    } else if (view.bitCount <= 4) {
        bits = 1, planes = 4;
    } else if (view.bitCount == 8) {
        bits = 8, planes = 1;
    } else {
        bits = 8, planes = 3;
    }
    // Lines hold an even number of bytes.
    uint32_t bytesPerLine = (w * static_cast<uint32_t>(bits) + 7) / 8;
    bytesPerLine += bytesPerLine & 1;

    uint8_t header[kHeaderSize] = {};
    header[0] = 0x0A;
    header[1] = 5;
    header[2] = 1;
    header[3] = static_cast<uint8_t>(bits);
    PutLe16(header + 8, static_cast<uint16_t>(w - 1));
    PutLe16(header + 10, static_cast<uint16_t>(h - 1));
    PutLe16(header + 12, 96);
    PutLe16(header + 14, 96);
    if (planes == 4) {
        for (int i = 0; i < 16; ++i) memcpy(header + 16 + 3 * i, palette.rgb[i], 3);
    }
    header[65] = static_cast<uint8_t>(planes);
    PutLe16(header + 66, static_cast<uint16_t>(bytesPerLine));
    header[68] = 1;

    uint8_t* line = static_cast<uint8_t*>(malloc(size_t{bytesPerLine} * 4));
    if (!line) return PluginErrorMemory;
    Encoder out(file);
    out.Bytes(header, sizeof header);
    for (uint32_t r = 0; r < h; ++r) {
        const uint8_t* src = PictureRow(view, r);
        memset(line, 0, size_t{bytesPerLine} * 4);
        for (uint32_t x = 0; x < w; ++x) {
            if (planes == 3) {
                const uint8_t* bgr;
                uint8_t widened[3];
                if (view.bitCount == 16) {
                    const unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
                    widened[0] = static_cast<uint8_t>((v & 0x1F) * 255 / 31);
                    widened[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
                    widened[2] = static_cast<uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
                    bgr = widened;
                } else {
                    bgr = src + (view.bitCount == 32 ? 4 : 3) * size_t{x};
                }
                line[x] = bgr[2];
                line[bytesPerLine + x] = bgr[1];
                line[2 * size_t{bytesPerLine} + x] = bgr[0];
            } else if (planes == 4) {
                const uint8_t index = PixelIndex(src, x, view.bitCount);
                for (int p = 0; p < 4; ++p) {
                    if (index & (1 << p)) line[p * size_t{bytesPerLine} + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            } else if (bits == 8) {
                line[x] = src[x];
            }
        }
        if (bits == 1 && planes == 1) memcpy(line, src, (w + 7) / 8);
        for (int p = 0; p < planes; ++p) out.Line(line + p * size_t{bytesPerLine}, bytesPerLine);
    }
    if (bits == 8 && planes == 1) {
        const uint8_t mark = 0x0C;
        out.Bytes(&mark, 1);
        out.Bytes(&palette.rgb[0][0], 768);
    }
    free(line);
    return out.Finish() ? PluginErrorNone : PluginErrorWrite;
}

}  // namespace

extern "C" {

const char* GetFileExtension(void) { return "PCX"; }

uint16_t GetLibraryVersion(void) { return 256; }

const char* GetCopyright(void) { return "PCX graphics plugin for Reelcard, copyright (C) the Reelcard developers"; }

const char* GetNotice(void) {
    return "PCX is the format of ZSoft's PC Paintbrush. It stores\n"
           "from one to 24 bits of colour, in bit planes or packed,\n"
           "run-length encoded.";
}

PackedDibHandle GetFileInformation(const char* fileName) { return ReadPcx(fileName, false); }

PackedDibHandle ReadGraphicFile(const char* fileName) { return ReadPcx(fileName, true); }

uint16_t WriteGraphicFile(const char* fileName, PackedDibHandle dib) {
    return WritePictureFile(fileName, dib, 0xFFFF, WritePcxBody);
}

uint16_t GetError(char* buffer) { return CopyPluginError(buffer); }

}  // extern "C"
