// Helpers for the plugin tests: loading a plugin the way the program does,
// reading the bitmaps it returns, making picture files and temporary folders.
#pragma once

#include <stdint.h>
#include <stdlib.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "common/graphics_plugin.h"

namespace plugin_test {

// One plugin library from the build's output folder, with its eight exports.
struct Plugin {
    void* library = nullptr;
    GetFileExtensionProc getFileExtension = nullptr;
    GetLibraryVersionProc getLibraryVersion = nullptr;
    GetCopyrightProc getCopyright = nullptr;
    GetNoticeProc getNotice = nullptr;
    GetFileInformationProc getFileInformation = nullptr;
    ReadGraphicFileProc readGraphicFile = nullptr;
    WriteGraphicFileProc writeGraphicFile = nullptr;
    GetErrorProc getError = nullptr;
    std::string loadError;

    bool Loaded() const { return loadError.empty(); }
};

// Loads REELCARD_BIN_DIR/<name>.so once per process and keeps it loaded.
const Plugin& LoadPlugin(const std::string& name);

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
using DibPtr = std::unique_ptr<void, FreeDeleter>;

using Rgb = std::array<uint8_t, 3>;  // red, green, blue

// Read-only view of a PackedDib's header, colour table and rows.
class DibReader {
public:
    explicit DibReader(const void* dib) : block_(static_cast<const uint8_t*>(dib)) {}

    PackedDibHeader Header() const;
    int Width() const { return Header().width; }
    int Height() const { return Header().height; }
    int BitCount() const { return Header().bitCount; }
    size_t Stride() const;
    Rgb TableEntry(int i) const;
    uint8_t TableReserved(int i) const;
    // Row r counted from the picture's top.
    const uint8_t* Row(int r) const;
    // Colour index of pixel (x, y from the top) in a bitmap of 8 bits or less.
    int Index(int x, int y) const;
    // Colour of a pixel, through the colour table for indexed bitmaps.
    Rgb Colour(int x, int y) const;

private:
    const uint8_t* block_;
};

// Builds a bitmap with the plugins' own builder and fills its pixels.  For 24
// bits each pixel is red, green, blue in `colours`; otherwise `indices`.
DibPtr MakeIndexedDib(int width, int height, int depth, const std::vector<Rgb>& palette,
                      const std::vector<uint8_t>& indices);
DibPtr MakeColourDib(int width, int height, const std::vector<Rgb>& colours);

// A fresh folder removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A picture built to cost too much, also written to the folder
// REELCARD_KEEP_BOMBS names (to measure what reading it costs elsewhere).
void KeepBomb(const std::string& name, const std::vector<uint8_t>& bytes);

// The plugins' pixel limit (in millions) for as long as it lives.
class PixelLimit {
public:
    explicit PixelLimit(const char* megapixels);
    ~PixelLimit();
    PixelLimit(const PixelLimit&) = delete;
    PixelLimit& operator=(const PixelLimit&) = delete;
};
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// A PNG described sample by sample.  Each row holds the samples exactly as
// they are stored: packed for depths below 8, big-endian pairs for 16.
struct PngPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 8;
    int colourType = 0;
    bool interlaced = false;
    std::vector<Rgb> palette;
    std::vector<uint8_t> paletteAlpha;  // tRNS for palette pictures
    bool hasTransparentColour = false;  // tRNS for grey and RGB pictures
    uint16_t transparentGrey = 0;
    uint16_t transparentRgb[3] = {0, 0, 0};
    uint32_t pixelsPerMetre = 0;  // pHYs, the same both ways; 0: none
    std::vector<std::vector<uint8_t>> rows;
};

bool WritePngFile(const std::string& path, const PngPicture& picture);

// What libpng itself finds in a PNG file, without transformations.
bool ReadPngFile(const std::string& path, PngPicture* picture);

// Runs body in a child process whose files may not grow beyond limitBytes;
// returns the child's exit status (or -1 when it did not exit normally).
int RunWithFileSizeLimit(long limitBytes, int (*body)(void* context), void* context);

}  // namespace plugin_test
