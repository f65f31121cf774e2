// The BMP reader built into the program.  It answers like a graphics plugin:
// the same three operations the host calls on a plugin, returning PackedDib
// blocks from malloc that the caller releases with free().
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugins/common/graphics_plugin.h"

// Header, colour table (always 4-byte entries) and no pixels; null on failure.
PackedDibHandle BmpGetFileInformation(const char* fileName);
// The whole bitmap, bottom row first; null on failure.
PackedDibHandle BmpReadGraphicFile(const char* fileName);
// The code of the last read or information call; the argument is ignored.
uint16_t BmpGetError(char* buffer);

// Colour-table length of a bitmap header of `headerSize` bytes: a set
// colours-used field (low 16 bits) unless the header is the 12-byte kind,
// else 2, 16 or 256 for 1, 4 or 8 bits per pixel, else 0.
uint32_t HeaderColourCount(uint32_t headerSize, uint16_t bitCount, uint32_t coloursUsed);

// Bytes per pixel row, padded to four bytes; 0 when it does not fit in 32 bits.
uint64_t BitmapStride(uint64_t width, unsigned bitCount);
