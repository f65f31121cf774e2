#include "packed_dib.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reelcard::plugin {

static_assert(sizeof(PackedDibHeader) == PACKED_DIB_HEADER_SIZE, "header must be 40 bytes");

namespace {

// Each plugin links its own copy of this library, so each has its own code.
// One per thread: pictures are decoded off the window's thread, and a call
// followed by GetError on the same thread must see its own code.
thread_local uint16_t g_errorCode = PluginErrorNone;

const char* const kErrorTexts[PLUGIN_ERROR_TEXT_COUNT] = PLUGIN_ERROR_TEXTS;

}  // namespace

void ClearPalette(RgbPalette* palette) { memset(palette, 0, sizeof(*palette)); }

void SetBlackWhitePalette(RgbPalette* palette) {
    memset(palette->rgb[0], 0, 3);
    memset(palette->rgb[1], 255, 3);
}

void SetGreyPalette(RgbPalette* palette, int bits) {
    const int levels = 1 << bits;
    for (int i = 0; i < levels; ++i) {
        const uint8_t grey = static_cast<uint8_t>(i * 255 / (levels - 1));
        memset(palette->rgb[i], grey, 3);
    }
}

int BitCountForDepth(int depth) {
    if (depth == 1) return 1;
    if (depth >= 2 && depth <= 4) return 4;
    if (depth >= 5 && depth <= 8) return 8;
    return 24;
}

uint32_t ColoursUsedForBitCount(int bitCount) {
    return bitCount <= 8 ? (1u << bitCount) : 0u;
}

size_t DibStride(uint32_t width, int bitCount) {
    return ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32) * 4;
}

PackedDibHandle BuildPackedDib(uint16_t width, uint16_t height, int depth,
                               const RgbPalette* palette, bool withPixels) {
    const int bitCount = BitCountForDepth(depth);
    const uint32_t coloursUsed = ColoursUsedForBitCount(bitCount);
    const size_t stride = DibStride(width, bitCount);
    const size_t imageSize = withPixels ? stride * height : 0;
    const size_t total = PACKED_DIB_HEADER_SIZE + 4 * static_cast<size_t>(coloursUsed) + imageSize;

    uint8_t* block = static_cast<uint8_t*>(calloc(1, total));
    if (!block) return nullptr;

    PackedDibHeader header{};
    header.headerSize = PACKED_DIB_HEADER_SIZE;
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = static_cast<uint16_t>(bitCount);
    header.compression = 0;
    header.imageSize = static_cast<uint32_t>(imageSize);
    header.coloursUsed = coloursUsed;
    header.coloursImportant = coloursUsed;
    memcpy(block, &header, sizeof(header));

    if (palette) {
        uint8_t* table = block + PACKED_DIB_HEADER_SIZE;
        for (uint32_t i = 0; i < coloursUsed; ++i) {
            table[4 * i + 0] = palette->rgb[i][2];
            table[4 * i + 1] = palette->rgb[i][1];
            table[4 * i + 2] = palette->rgb[i][0];
            table[4 * i + 3] = 0;
        }
    }
    return block;
}

void SetDibResolution(PackedDibHandle dib, uint32_t xPerMetre, uint32_t yPerMetre) {
    if (!dib || xPerMetre > INT32_MAX || yPerMetre > INT32_MAX) return;
    PackedDibHeader header;
    memcpy(&header, dib, sizeof(header));
    header.xPixelsPerMeter = static_cast<int32_t>(xPerMetre);
    header.yPixelsPerMeter = static_cast<int32_t>(yPerMetre);
    memcpy(dib, &header, sizeof(header));
}

uint32_t DibColourCount(const PackedDibHeader& header) {
    if (header.coloursUsed != 0) return header.coloursUsed & 0xFFFFu;
    switch (header.bitCount) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

bool ViewPackedDib(const void* dib, DibView* view) {
    if (!dib) return false;
    PackedDibHeader header;
    memcpy(&header, dib, sizeof(header));
    if (header.headerSize < PACKED_DIB_HEADER_SIZE || header.headerSize > 4096) return false;
    if (header.compression != 0) return false;
    switch (header.bitCount) {
        case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
        default: return false;
    }
    if (header.width <= 0 || header.height == 0 || header.height == INT32_MIN) return false;

    const uint8_t* block = static_cast<const uint8_t*>(dib);
    view->width = header.width;
    view->topDown = header.height < 0;
    view->height = header.height < 0 ? -header.height : header.height;
    view->bitCount = header.bitCount;
    view->colourCount = DibColourCount(header);
    view->stride = DibStride(static_cast<uint32_t>(header.width), header.bitCount);
    view->colourTable = block + header.headerSize;
    view->bits = view->colourTable + 4 * static_cast<size_t>(view->colourCount);
    return true;
}

const uint8_t* PictureRow(const DibView& view, uint32_t r) {
    const uint32_t index = view.topDown ? r : static_cast<uint32_t>(view.height) - 1 - r;
    return view.bits + static_cast<size_t>(index) * view.stride;
}

int ExtractPalette(const DibView& view, RgbPalette* palette) {
    ClearPalette(palette);
    const uint32_t wanted = view.bitCount <= 8 ? (1u << view.bitCount) : 256u;
    uint32_t available = view.colourCount < wanted ? view.colourCount : wanted;
    if (available > 256) available = 256;
    for (uint32_t i = 0; i < available; ++i) {
        palette->rgb[i][0] = view.colourTable[4 * i + 2];
        palette->rgb[i][1] = view.colourTable[4 * i + 1];
        palette->rgb[i][2] = view.colourTable[4 * i + 0];
    }
    return static_cast<int>(wanted);
}

uint8_t* DibRowAddress(PackedDibHandle dib, uint32_t index) {
    PackedDibHeader header;
    memcpy(&header, dib, sizeof(header));
    return static_cast<uint8_t*>(dib) + PACKED_DIB_HEADER_SIZE + 4 * static_cast<size_t>(header.coloursUsed) +
           static_cast<size_t>(index) * DibStride(static_cast<uint32_t>(header.width), header.bitCount);
}

uint8_t PixelIndex(const uint8_t* row, uint32_t k, int bitCount) {
    switch (bitCount) {
        case 1: return (row[k / 8] >> (7 - k % 8)) & 0x01;
        case 2: return (row[k / 4] >> (6 - 2 * (k % 4))) & 0x03;
        case 4: return (row[k / 2] >> (k % 2 ? 0 : 4)) & 0x0F;
        default: return row[k];
    }
}

uint16_t ReadFileBytes(const char* fileName, FileBytes* bytes) {
    bytes->data = nullptr;
    bytes->size = 0;
    const int fd = fileName ? open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (fd < 0) return PluginErrorOpen;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return PluginErrorOpen;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    uint8_t* data = static_cast<uint8_t*>(malloc(size ? size : 1));
    if (!data) {
        close(fd);
        return PluginErrorMemory;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (done != size) {
        free(data);
        return PluginErrorRead;
    }
    bytes->data = data;
    bytes->size = size;
    return PluginErrorNone;
}

void FreeFileBytes(FileBytes* bytes) {
    free(bytes->data);
    bytes->data = nullptr;
    bytes->size = 0;
}

bool PlausibleExpansion(uint64_t pixelBytes, uint64_t fileSize, uint64_t ratio) {
    constexpr uint64_t kAlwaysAllowed = 32u * 1024u * 1024u;
    if (pixelBytes <= kAlwaysAllowed) return true;
    return fileSize != 0 && pixelBytes / fileSize < ratio;
}

uint64_t PicturePixelLimit() {
    constexpr uint64_t kDefaultMegapixels = 100;
    // A million megapixels is past any memory; anything else given is the user's choice.
    constexpr uint64_t kMostMegapixels = 1000000;
    uint64_t megapixels = kDefaultMegapixels;
    if (const char* text = getenv("REELCARD_PICTURE_MEGAPIXELS"); text && *text) {
        char* end = nullptr;
        const unsigned long long value = strtoull(text, &end, 10);
        if (end && *end == '\0' && value > 0 && value <= kMostMegapixels) megapixels = value;
    }
    return megapixels * 1000000u;
}

bool WithinPixelLimit(uint64_t width, uint64_t height) {
    return width * height <= PicturePixelLimit();
}

void SetPluginError(uint16_t code) { g_errorCode = code; }

uint16_t WritePictureFile(const char* fileName, const void* dib, uint32_t maxSide,
                          uint16_t (*body)(FILE* file, const DibView& view)) {
    DibView view;
    if (!ViewPackedDib(dib, &view) || static_cast<uint32_t>(view.width) > maxSide ||
        static_cast<uint32_t>(view.height) > maxSide) {
        SetPluginError(PluginErrorUnsupported);
        return 0;
    }
    FILE* file = fileName ? fopen(fileName, "wb") : nullptr;
    if (!file) {
        SetPluginError(PluginErrorCreate);
        return 0;
    }
    uint16_t code = body(file, view);
    if (fclose(file) != 0 && code == PluginErrorNone) code = PluginErrorWrite;
    if (code != PluginErrorNone) {
        remove(fileName);
        SetPluginError(code);
        return 0;
    }
    SetPluginError(PluginErrorNone);
    return 1;
}

uint16_t PluginErrorCode() { return g_errorCode; }

const char* PluginErrorText(uint16_t code) {
    return code < PLUGIN_ERROR_TEXT_COUNT ? kErrorTexts[code] : PLUGIN_UNKNOWN_ERROR_TEXT;
}

uint16_t CopyPluginError(char* buffer) {
    if (buffer) {
        const char* text = PluginErrorText(g_errorCode);
        memcpy(buffer, text, strlen(text) + 1);
    }
    return g_errorCode;
}

}  // namespace reelcard::plugin
