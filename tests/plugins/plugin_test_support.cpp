#include "plugin_test_support.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <png.h>
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "common/packed_dib.h"

namespace plugin_test {

namespace {

template <typename Proc>
void Resolve(Plugin& plugin, Proc* target, const char* name) {
    if (!plugin.Loaded()) return;
    void* symbol = dlsym(plugin.library, name);
    if (!symbol) {
        plugin.loadError = std::string("missing export ") + name;
        return;
    }
    *target = reinterpret_cast<Proc>(symbol);
}

}  // namespace

const Plugin& LoadPlugin(const std::string& name) {
    static std::map<std::string, Plugin> loaded;
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second;

    Plugin& plugin = loaded[name];
    const std::string path = std::string(REELCARD_BIN_DIR) + "/" + name + ".so";
    plugin.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plugin.library) {
        plugin.loadError = dlerror();
        return plugin;
    }
    Resolve(plugin, &plugin.getFileExtension, "GetFileExtension");
    Resolve(plugin, &plugin.getLibraryVersion, "GetLibraryVersion");
    Resolve(plugin, &plugin.getCopyright, "GetCopyright");
    Resolve(plugin, &plugin.getNotice, "GetNotice");
    Resolve(plugin, &plugin.getFileInformation, "GetFileInformation");
    Resolve(plugin, &plugin.readGraphicFile, "ReadGraphicFile");
    Resolve(plugin, &plugin.writeGraphicFile, "WriteGraphicFile");
    Resolve(plugin, &plugin.getError, "GetError");
    return plugin;
}

PackedDibHeader DibReader::Header() const {
    PackedDibHeader header;
    memcpy(&header, block_, sizeof(header));
    return header;
}

size_t DibReader::Stride() const {
    return reelcard::plugin::DibStride(static_cast<uint32_t>(Width()), BitCount());
}

Rgb DibReader::TableEntry(int i) const {
    const uint8_t* entry = block_ + PACKED_DIB_HEADER_SIZE + 4 * i;
    return {entry[2], entry[1], entry[0]};
}

uint8_t DibReader::TableReserved(int i) const { return block_[PACKED_DIB_HEADER_SIZE + 4 * i + 3]; }

const uint8_t* DibReader::Row(int r) const {
    const PackedDibHeader h = Header();
    return block_ + PACKED_DIB_HEADER_SIZE + 4 * h.coloursUsed + (h.height - 1 - r) * Stride();
}

int DibReader::Index(int x, int y) const {
    return reelcard::plugin::PixelIndex(Row(y), static_cast<uint32_t>(x), BitCount());
}

Rgb DibReader::Colour(int x, int y) const {
    if (BitCount() <= 8) return TableEntry(Index(x, y));
    const uint8_t* p = Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

DibPtr MakeIndexedDib(int width, int height, int depth, const std::vector<Rgb>& palette,
                      const std::vector<uint8_t>& indices) {
    reelcard::plugin::RgbPalette table;
    reelcard::plugin::ClearPalette(&table);
    for (size_t i = 0; i < palette.size() && i < 256; ++i) memcpy(table.rgb[i], palette[i].data(), 3);
    DibPtr dib(reelcard::plugin::BuildPackedDib(static_cast<uint16_t>(width),
                                                static_cast<uint16_t>(height), depth, &table, true));
    const int bitCount = reelcard::plugin::BitCountForDepth(depth);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = reelcard::plugin::DibRowAddress(dib.get(), static_cast<uint32_t>(height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const uint8_t v = indices[static_cast<size_t>(y * width + x)];
            switch (bitCount) {
                case 1: row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
                case 4: row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
                default: row[x] = v; break;
            }
        }
    }
    return dib;
}

DibPtr MakeColourDib(int width, int height, const std::vector<Rgb>& colours) {
    DibPtr dib(reelcard::plugin::BuildPackedDib(static_cast<uint16_t>(width),
                                                static_cast<uint16_t>(height), 24, nullptr, true));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = reelcard::plugin::DibRowAddress(dib.get(), static_cast<uint32_t>(height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const Rgb& c = colours[static_cast<size_t>(y * width + x)];
            row[3 * x + 0] = c[2];
            row[3 * x + 1] = c[1];
            row[3 * x + 2] = c[0];
        }
    }
    return dib;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/reelcard-plugins-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

namespace {

// The libpng calls live in functions without destructible locals, since an
// error jumps straight back to setjmp.
bool WritePngBody(png_structp png, png_infop info, FILE* file, const PngPicture& picture,
                  png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colourType,
                 picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!picture.palette.empty()) {
        png_color entries[256];
        for (size_t i = 0; i < picture.palette.size(); ++i) {
            entries[i].red = picture.palette[i][0];
            entries[i].green = picture.palette[i][1];
            entries[i].blue = picture.palette[i][2];
        }
        png_set_PLTE(png, info, entries, static_cast<int>(picture.palette.size()));
    }
    if (!picture.paletteAlpha.empty()) {
        png_set_tRNS(png, info, picture.paletteAlpha.data(),
                     static_cast<int>(picture.paletteAlpha.size()), nullptr);
    } else if (picture.hasTransparentColour) {
        png_color_16 colour{};
        colour.gray = picture.transparentGrey;
        colour.red = picture.transparentRgb[0];
        colour.green = picture.transparentRgb[1];
        colour.blue = picture.transparentRgb[2];
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    if (picture.pixelsPerMetre != 0) {
        png_set_pHYs(png, info, picture.pixelsPerMetre, picture.pixelsPerMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool ReadPngBody(png_structp png, png_infop info, FILE* file, PngPicture* picture,
                 std::vector<png_bytep>* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    picture->width = png_get_image_width(png, info);
    picture->height = png_get_image_height(png, info);
    picture->bitDepth = png_get_bit_depth(png, info);
    picture->colourType = png_get_color_type(png, info);
    picture->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_colorp entries = nullptr;
    int count = 0;
    picture->palette.clear();
    if (png_get_PLTE(png, info, &entries, &count)) {
        for (int i = 0; i < count; ++i) picture->palette.push_back({entries[i].red, entries[i].green, entries[i].blue});
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    picture->rows.assign(picture->height, std::vector<uint8_t>(rowBytes));
    rows->clear();
    for (auto& row : picture->rows) rows->push_back(row.data());
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool WritePngFile(const std::string& path, const PngPicture& picture) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    for (const auto& row : picture.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    const bool ok = WritePngBody(png, info, file, picture, rows.data());
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return ok;
}

bool ReadPngFile(const std::string& path, PngPicture* picture) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    const bool ok = ReadPngBody(png, info, file, picture, &rows);
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return ok;
}

int RunWithFileSizeLimit(long limitBytes, int (*body)(void* context), void* context) {
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(body(context));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace plugin_test

namespace plugin_test {

void KeepBomb(const std::string& name, const std::vector<uint8_t>& bytes) {
    const char* folder = getenv("REELCARD_KEEP_BOMBS");
    if (folder && *folder) WriteBytes(std::string(folder) + "/" + name, bytes);
}

PixelLimit::PixelLimit(const char* megapixels) { setenv("REELCARD_PICTURE_MEGAPIXELS", megapixels, 1); }
PixelLimit::~PixelLimit() { unsetenv("REELCARD_PICTURE_MEGAPIXELS"); }

}  // namespace plugin_test
