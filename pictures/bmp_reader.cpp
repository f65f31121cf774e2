#include "pictures/bmp_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The code of the last information or read call on this thread, like a
// plugin's error state.
thread_local uint16_t g_bmpError = PluginErrorNone;

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class OpenFile {
public:
    explicit OpenFile(const char* name) {
        // Opened without waiting, so that a name that leads to a pipe or a
        // device cannot hang the program; only plain files are read.
        const int fd = name ? open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
        if (fd < 0) return;
        struct stat info;
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !(file_ = fdopen(fd, "rb"))) {
            close(fd);
            return;
        }
        size_ = static_cast<uint64_t>(info.st_size);
    }
    ~OpenFile() {
        if (file_) std::fclose(file_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool ok() const { return file_ != nullptr; }
    uint64_t size() const { return size_; }
    uint64_t position() const {
        long at = std::ftell(file_);
        return at < 0 ? size_ : static_cast<uint64_t>(at);
    }
    bool Seek(uint64_t at) {
        return at <= size_ && fseeko(file_, static_cast<off_t>(at), SEEK_SET) == 0;
    }
    // Reads exactly n bytes.
    bool Read(void* into, size_t n) { return n == 0 || std::fread(into, 1, n, file_) == n; }

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

struct FreeBlock {
    void operator()(void* p) const { std::free(p); }
};

// What the header part of a BMP file tells, with its block (header and
// colour table) already built.
struct HeaderPart {
    uint8_t* block = nullptr;  // malloc'd, 40 + 4 * colourCount bytes
    uint32_t colourCount = 0;
    uint64_t pixelStart = 0;   // file position of the first pixel row
    uint64_t imageSize = 0;    // stride * rows
    uint64_t stride = 0;
    uint32_t rows = 0;
    bool topDown = false;
    uint32_t compression = 0;     // 0, or 1 (RLE8) and 2 (RLE4), decoded on reading
    uint32_t compressedSize = 0;  // the header's image size: bytes of run-length data
    uint64_t width = 0;
};

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool KnownBitCount(uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads the optional file header, the bitmap header and the colour table.
// Returns the error code; on success `part.block` is owned by the caller.
uint16_t ReadHeaderPart(OpenFile& file, HeaderPart& part) {
    const uint64_t start = file.position();
    uint8_t fileHeader[kFileHeaderSize];
    if (!file.Read(fileHeader, sizeof fileHeader)) return PluginErrorRead;
    uint32_t pixelOffset = 0;
    if (fileHeader[0] == 'B' && fileHeader[1] == 'M') {
        pixelOffset = U32(fileHeader + 10);
    } else if (!file.Seek(start)) {
        return PluginErrorRead;
    }

    // The header's own length says how much of it there is, so that a small
    // picture with the 12-byte header is not refused for lacking 28 bytes it
    // never needed.
    uint8_t header[kInfoHeaderSize] = {};
    if (!file.Read(header, 4)) return PluginErrorRead;
    const uint32_t headerSize = U32(header);
    if (headerSize == kCoreHeaderSize) {
        if (!file.Read(header + 4, kCoreHeaderSize - 4)) return PluginErrorRead;
    } else {
        if (!file.Read(header + 4, kInfoHeaderSize - 4)) return PluginErrorRead;
        if (headerSize != kInfoHeaderSize) return PluginErrorCorrupt;
    }

    int64_t width, height;
    uint16_t planes, bitCount;
    uint32_t compression = 0, coloursUsed = 0, coloursImportant = 0;
    int32_t xResolution = 0, yResolution = 0;
    if (headerSize == kCoreHeaderSize) {
        width = U16(header + 4);
        height = U16(header + 6);
        planes = U16(header + 8);
        bitCount = U16(header + 10);
    } else {
        width = static_cast<int32_t>(U32(header + 4));
        height = static_cast<int32_t>(U32(header + 8));
        planes = U16(header + 12);
        bitCount = U16(header + 14);
        compression = U32(header + 16);
        xResolution = static_cast<int32_t>(U32(header + 24));
        yResolution = static_cast<int32_t>(U32(header + 28));
        coloursUsed = U32(header + 32);
        coloursImportant = U32(header + 36);
    }
    part.colourCount = HeaderColourCount(headerSize, bitCount, coloursUsed);

    // Accepted: uncompressed rows of a known depth, or run-length encoded
    // 8-bit and 4-bit pictures (stored bottom row first, as they must be);
    // at least one pixel each way.
    const bool runLength = (compression == kRle8 && bitCount == 8) || (compression == kRle4 && bitCount == 4);
    if ((compression != 0 && !runLength) || !KnownBitCount(bitCount) || width <= 0 || height == 0 ||
        height == INT32_MIN || (runLength && height < 0)) {
        return PluginErrorCorrupt;
    }
    part.compression = compression;
    part.compressedSize = U32(header + 20);
    part.width = static_cast<uint64_t>(width);
    part.topDown = height < 0;
    part.rows = static_cast<uint32_t>(height < 0 ? -height : height);
    part.stride = BitmapStride(static_cast<uint64_t>(width), bitCount);
    if (part.stride == 0) return PluginErrorCorrupt;
    part.imageSize = part.stride * part.rows;  // below 2^63: both factors below 2^32

    const size_t entryBytes = headerSize == kCoreHeaderSize ? 3 : 4;
    const uint64_t tableBytes = uint64_t{part.colourCount} * entryBytes;
    if (tableBytes > file.size() - file.position()) return PluginErrorRead;

    const size_t blockSize = kInfoHeaderSize + size_t{part.colourCount} * 4;
    uint8_t* block = static_cast<uint8_t*>(std::calloc(1, blockSize));
    if (!block) return PluginErrorMemory;
    std::unique_ptr<uint8_t, FreeBlock> owned(block);

    PutU32(block, kInfoHeaderSize);
    PutU32(block + 4, static_cast<uint32_t>(width));
    PutU32(block + 8, part.rows);  // always bottom row first in the block
    PutU16(block + 12, planes);
    PutU16(block + 14, bitCount);
    PutU32(block + 16, 0);
    PutU32(block + 20, part.imageSize > UINT32_MAX ? 0 : static_cast<uint32_t>(part.imageSize));
    PutU32(block + 24, static_cast<uint32_t>(xResolution));
    PutU32(block + 28, static_cast<uint32_t>(yResolution));
    PutU32(block + 32, part.colourCount);
    PutU32(block + 36, headerSize == kCoreHeaderSize ? part.colourCount : coloursImportant);

    uint8_t* table = block + kInfoHeaderSize;
    if (entryBytes == 4) {
        if (!file.Read(table, tableBytes)) return PluginErrorRead;
    } else {
        if (!file.Read(table, tableBytes)) return PluginErrorRead;
        // Widen in place from the last entry down: blue, green, red, 0.
        for (uint32_t i = part.colourCount; i-- > 0;) {
            uint8_t blue = table[i * 3], green = table[i * 3 + 1], red = table[i * 3 + 2];
            table[i * 4] = blue;
            table[i * 4 + 1] = green;
            table[i * 4 + 2] = red;
            table[i * 4 + 3] = 0;
        }
    }

    part.pixelStart = pixelOffset != 0 ? start + pixelOffset : file.position();
    part.block = owned.release();
    return PluginErrorNone;
}

// Decodes run-length encoded rows into `bits` (zero-filled, `rows` rows of
// `stride` bytes, bottom row first).  Every run, literal and delta is checked
// against the bitmap before it is written; a stream that would leave the
// bitmap, or that ends before the last row, is refused whole.
bool DecodeRunLength(const uint8_t* data, size_t size, const HeaderPart& part, uint8_t* bits) {
    const bool four = part.compression == kRle4;
    const uint64_t width = part.width;
    uint64_t x = 0, y = 0;
    size_t at = 0;
    auto put = [&](uint64_t column, uint8_t value) {
        uint8_t* row = bits + y * part.stride;
        if (four) {
            row[column / 2] |= static_cast<uint8_t>((value & 0x0F) << (column % 2 ? 0 : 4));
        } else {
            row[column] = value;
        }
    };
    while (at + 2 <= size) {
        const uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            // A run: `count` pixels of one value (two alternating ones in 4 bits).
            if (y >= part.rows || x + count > width) return false;
            for (unsigned i = 0; i < count; ++i) {
                put(x + i, four ? static_cast<uint8_t>(i % 2 ? value & 0x0F : value >> 4) : value);
            }
            x += count;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of picture
                return true;
            case 2: {  // move right and up
                if (at + 2 > size) return false;
                x += data[at];
                y += data[at + 1];
                at += 2;
                if (x > width || y > part.rows) return false;
                break;
            }
            default: {  // `value` pixels stored as they are, padded to a 16-bit boundary
                const size_t bytes = four ? (value + 1u) / 2u : value;
                if (y >= part.rows || x + value > width || bytes > size - at) return false;
                for (unsigned i = 0; i < value; ++i) {
                    const uint8_t b = data[at + (four ? i / 2 : i)];
                    put(x + i, four ? static_cast<uint8_t>(i % 2 ? b & 0x0F : b >> 4) : b);
                }
                x += value;
                at += bytes + (bytes & 1);
                break;
            }
        }
    }
    // Without its end mark the picture must at least have all its rows.
    return y >= part.rows || (y + 1 == part.rows && x == width);
}

}  // namespace

uint32_t HeaderColourCount(uint32_t headerSize, uint16_t bitCount, uint32_t coloursUsed) {
    if (headerSize != kCoreHeaderSize && coloursUsed != 0) return coloursUsed & 0xFFFF;
    switch (bitCount) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

uint64_t BitmapStride(uint64_t width, unsigned bitCount) {
    const uint64_t stride = (width * bitCount + 31) / 32 * 4;
    return stride > UINT32_MAX ? 0 : stride;
}

PackedDibHandle BmpGetFileInformation(const char* fileName) {
    g_bmpError = PluginErrorNone;
    OpenFile file(fileName);
    if (!file.ok()) {
        g_bmpError = PluginErrorOpen;
        return nullptr;
    }
    HeaderPart part;
    g_bmpError = ReadHeaderPart(file, part);
    return part.block;
}

namespace {

// Grows the block (header and colour table) to hold the pixel rows too and
// returns where they go; nothing, with the memory error set, when it cannot.
uint8_t* GrowForPixels(std::unique_ptr<uint8_t, FreeBlock>& block, const HeaderPart& part) {
    const size_t tableEnd = kInfoHeaderSize + size_t{part.colourCount} * 4;
    uint8_t* grown =
        static_cast<uint8_t*>(std::realloc(block.get(), tableEnd + static_cast<size_t>(part.imageSize)));
    if (!grown) {
        g_bmpError = PluginErrorMemory;
        return nullptr;
    }
    block.release();
    block.reset(grown);
    return grown + tableEnd;
}

// The rows of a run-length encoded picture, decoded into the block.
PackedDibHandle ReadRunLength(OpenFile& file, const HeaderPart& part, std::unique_ptr<uint8_t, FreeBlock> block) {
    if (part.pixelStart > file.size() || !file.Seek(part.pixelStart)) {
        g_bmpError = PluginErrorRead;
        return nullptr;
    }
    const uint64_t available = file.size() - part.pixelStart;
    const uint64_t size = part.compressedSize != 0 && part.compressedSize < available ? part.compressedSize
                                                                                       : available;
    // A delta or an early end can leave much of a picture blank, but a few
    // bytes claiming a giant one are a damaged file, refused before the
    // bitmap is allocated.
    constexpr uint64_t kAlwaysAllowed = 32u * 1024u * 1024u;
    if (part.imageSize > kAlwaysAllowed && (size == 0 || part.imageSize / size >= 1024)) {
        g_bmpError = PluginErrorCorrupt;
        return nullptr;
    }
    std::unique_ptr<uint8_t, FreeBlock> data(static_cast<uint8_t*>(std::malloc(size ? size : 1)));
    if (!data) {
        g_bmpError = PluginErrorMemory;
        return nullptr;
    }
    if (!file.Read(data.get(), static_cast<size_t>(size))) {
        g_bmpError = PluginErrorRead;
        return nullptr;
    }
    uint8_t* bits = GrowForPixels(block, part);
    if (!bits) return nullptr;
    std::memset(bits, 0, static_cast<size_t>(part.imageSize));
    if (!DecodeRunLength(data.get(), static_cast<size_t>(size), part, bits)) {
        g_bmpError = PluginErrorCorrupt;
        return nullptr;
    }
    return block.release();
}

}  // namespace

PackedDibHandle BmpReadGraphicFile(const char* fileName) {
    g_bmpError = PluginErrorNone;
    OpenFile file(fileName);
    if (!file.ok()) {
        g_bmpError = PluginErrorOpen;
        return nullptr;
    }
    HeaderPart part;
    g_bmpError = ReadHeaderPart(file, part);
    if (g_bmpError != PluginErrorNone) return nullptr;
    std::unique_ptr<uint8_t, FreeBlock> block(part.block);

    if (part.compression != 0) return ReadRunLength(file, part, std::move(block));

    // The rows must lie inside the file before anything is allocated for
    // them, so that a header claiming a huge picture costs nothing.
    if (part.pixelStart > file.size() || part.imageSize > file.size() - part.pixelStart ||
        !file.Seek(part.pixelStart)) {
        g_bmpError = PluginErrorRead;
        return nullptr;
    }
    uint8_t* bits = GrowForPixels(block, part);
    if (!bits) return nullptr;
    if (!file.Read(bits, static_cast<size_t>(part.imageSize))) {
        g_bmpError = PluginErrorRead;
        return nullptr;
    }
    if (part.topDown) {
        // Stored top row first: turn it round so that every block is bottom-up.
        std::vector<uint8_t> swap(static_cast<size_t>(part.stride));
        for (uint32_t low = 0, high = part.rows - 1; low < high; ++low, --high) {
            uint8_t* a = bits + low * part.stride;
            uint8_t* b = bits + high * part.stride;
            std::memcpy(swap.data(), a, swap.size());
            std::memcpy(a, b, swap.size());
            std::memcpy(b, swap.data(), swap.size());
        }
    }
    return block.release();
}

uint16_t BmpGetError(char*) { return g_bmpError; }
