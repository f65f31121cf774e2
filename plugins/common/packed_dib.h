// Bitmap and error-state routines shared by the graphics plugins.
//
// Everything here is plain C++ without Qt and without exceptions: the plugins
// hand blocks across a C boundary and must never throw through it.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <stdint.h>

#include "graphics_plugin.h"

namespace reelcard::plugin {

// A working palette: up to 256 entries of red, green, blue.
struct RgbPalette {
    uint8_t rgb[256][3];
};

void ClearPalette(RgbPalette* palette);
void SetBlackWhitePalette(RgbPalette* palette);
// Entry i of 2^bits levels is the grey i * 255 / (2^bits - 1).
void SetGreyPalette(RgbPalette* palette, int bits);

// Source depth in bits per pixel to PackedDib bit count: 1 -> 1, 2..4 -> 4,
// 5..8 -> 8, anything else -> 24.
int BitCountForDepth(int depth);
uint32_t ColoursUsedForBitCount(int bitCount);
size_t DibStride(uint32_t width, int bitCount);

// Builds a zero-filled PackedDib for a picture of the given depth.  The colour
// table takes the palette's first colours-used entries; without a palette it
// stays black.  withPixels false gives an information block (no rows, image
// size 0).  Returns null when the block cannot be allocated.
PackedDibHandle BuildPackedDib(uint16_t width, uint16_t height, int depth,
                               const RgbPalette* palette, bool withPixels);

// Records the picture's own resolution in pixels per metre (0: none known),
// so that the host can show it at the size it was made for.
void SetDibResolution(PackedDibHandle dib, uint32_t xPerMetre, uint32_t yPerMetre);

// What a caller-supplied bitmap looks like, read from its header.
struct DibView {
    int32_t width = 0;
    int32_t height = 0;       // rows, always positive here
    bool topDown = false;     // negative height in the header
    int bitCount = 0;
    uint32_t colourCount = 0; // entries in the colour table
    size_t stride = 0;
    const uint8_t* colourTable = nullptr;
    const uint8_t* bits = nullptr;
};

// Colour-table length of a bitmap header: the colours-used field when it is
// set, else 2, 16 or 256 for 1, 4 or 8 bits, else none.
uint32_t DibColourCount(const PackedDibHeader& header);

// Reads the header of a bitmap handed to a plugin for writing.  Refuses what
// the plugins cannot write: no block, a header shorter than 40 bytes, a
// compressed bitmap, an empty picture or a bit count other than 1, 2, 4, 8,
// 16, 24 or 32.
bool ViewPackedDib(const void* dib, DibView* view);

// Address of picture row r counted from the top.
const uint8_t* PictureRow(const DibView& view, uint32_t r);

// Palette of a bitmap: its colour-table entries, at most 256 and never more
// than the table holds; the remaining entries are black.  Returns the number
// of entries the bitmap's bit count calls for (2^bit count, at most 256).
int ExtractPalette(const DibView& view, RgbPalette* palette);

// First byte of stored row index i of a PackedDib built by BuildPackedDib.
uint8_t* DibRowAddress(PackedDibHandle dib, uint32_t index);

// Colour index of pixel k of a row of 1, 2, 4 or 8 bits per pixel.
uint8_t PixelIndex(const uint8_t* row, uint32_t k, int bitCount);

// A whole picture file in memory, from malloc.  Only plain files are read (a
// name that leads to a pipe or a device is refused with code 1).  Returns the
// plugin error code: 1 cannot open, 3 cannot read, 4 no memory for the bytes.
struct FileBytes {
    uint8_t* data = nullptr;
    size_t size = 0;
};
uint16_t ReadFileBytes(const char* fileName, FileBytes* bytes);
void FreeFileBytes(FileBytes* bytes);

// Whether a bitmap of `pixelBytes` can honestly come out of a compressed file
// of `fileSize` bytes: anything up to 32 MB, beyond that at most `ratio`
// bytes of pixels for each byte of the file.  Checked before the bitmap is
// allocated, so that a few bytes claiming a giant picture cost nothing.
bool PlausibleExpansion(uint64_t pixelBytes, uint64_t fileSize, uint64_t ratio);

// The most pixels a picture may have before anything is allocated for it:
// 100 million (about 300 MB of bitmap), or the number of millions the
// environment variable REELCARD_PICTURE_MEGAPIXELS gives (the program sets
// it from its settings).  A picture over it is refused as damaged.
uint64_t PicturePixelLimit();
bool WithinPixelLimit(uint64_t width, uint64_t height);

// WriteGraphicFile for a plugin whose format is written by `body` into an
// open file: a bitmap that is no packed bitmap or has more than `maxSide`
// pixels a side is refused as unsupported; a file that was not written whole
// is removed.  Sets the plugin's error and returns 1 on success, 0 otherwise.
uint16_t WritePictureFile(const char* fileName, const void* dib, uint32_t maxSide,
                          uint16_t (*body)(FILE* file, const DibView& view));

// The plugin's error state: one code, set by every conversion call.
void SetPluginError(uint16_t code);
uint16_t PluginErrorCode();
const char* PluginErrorText(uint16_t code);
// GetError: copies the current code's text into buffer (if not null) and
// returns the code, which stays set.
uint16_t CopyPluginError(char* buffer);

}  // namespace reelcard::plugin
