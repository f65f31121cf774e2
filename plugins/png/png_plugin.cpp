// pngflt32: reads and writes PNG pictures through libpng.
//
// Every valid PNG becomes a bitmap of 1, 4, 8 or 24 bits with the right
// pixels: 16-bit samples are scaled to 8 bits, 2-bit pictures are widened to
// 4-bit pixels, grey pictures get a grey colour table, and transparency (an
// alpha channel or a tRNS chunk) is blended over white paper.  Rows that need
// converting are decoded into a scratch image first, so libpng only ever
// writes rows whose length has been checked against their destination.
//
// libpng reports errors by longjmp.  The functions that set the jump point
// keep every resource in a job record owned by their caller and hold no
// objects with destructors, so a jump back loses nothing.

#include <png.h>
#include <sys/stat.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"

using namespace reelcard::plugin;

namespace {

// How decoded PNG rows become bitmap rows.
enum class RowKind {
    Copy,        // libpng's rows are the bitmap's rows
    TwoToFour,   // 2-bit indices widened to 4-bit pixels
    GreyAlpha,   // grey + alpha blended over white, one byte per pixel
    ColourAlpha  // blue, green, red, alpha blended over white, three bytes per pixel
};

struct Layout {
    int depth = 24;  // source depth handed to the bitmap builder
    RowKind kind = RowKind::Copy;
    RgbPalette palette;
};

struct ReadJob {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool withPixels = false;
    bool outOfMemory = false;
    PackedDibHandle dib = nullptr;
    png_bytep* rows = nullptr;
    uint8_t* scratch = nullptr;
    uint16_t code = PluginErrorNone;
};

struct WriteJob {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    const DibView* view = nullptr;
    bool outOfMemory = false;
    png_bytep* rows = nullptr;
    uint8_t* scratch = nullptr;
    uint16_t code = PluginErrorNone;
};

// Value c seen through alpha a over white paper.
uint8_t OverWhite(unsigned c, unsigned a) {
    return static_cast<uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnPngWarning(png_structp, png_const_charp) {}

// libpng allocates through these so that running out of memory is told apart
// from a damaged file.
png_voidp ReadMalloc(png_structp png, png_alloc_size_t size) {
    // libpng's own buffers (rows, chunk data, zlib state) stay far below this;
    // a larger request comes from a damaged chunk length and is refused as a
    // damaged file, not as memory running out.
    constexpr png_alloc_size_t kLargestBuffer = 64u * 1024u * 1024u;
    if (size > kLargestBuffer) return nullptr;
    void* p = malloc(size);
    if (!p) static_cast<ReadJob*>(png_get_mem_ptr(png))->outOfMemory = true;
    return p;
}

png_voidp WriteMalloc(png_structp png, png_alloc_size_t size) {
    void* p = malloc(size);
    if (!p) static_cast<WriteJob*>(png_get_mem_ptr(png))->outOfMemory = true;
    return p;
}

void PngFree(png_structp, png_voidp p) { free(p); }

// Chooses bit count, colour table and row conversion for the picture, and
// when pixels are wanted asks libpng for the matching transformations.
void ChooseLayout(png_structp png, png_infop info, bool setTransforms, Layout* layout) {
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    ClearPalette(&layout->palette);

    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        layout->depth = bitDepth;
        layout->kind = bitDepth == 2 ? RowKind::TwoToFour : RowKind::Copy;
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count)) {
            png_bytep alpha = nullptr;
            int alphaCount = 0;
            if (hasTrns) png_get_tRNS(png, info, &alpha, &alphaCount, nullptr);
            for (int i = 0; i < count && i < 256; ++i) {
                const unsigned a = i < alphaCount ? alpha[i] : 255u;
                layout->palette.rgb[i][0] = OverWhite(entries[i].red, a);
                layout->palette.rgb[i][1] = OverWhite(entries[i].green, a);
                layout->palette.rgb[i][2] = OverWhite(entries[i].blue, a);
            }
        }
        return;
    }

    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) {
        layout->depth = bitDepth;
        layout->kind = bitDepth == 2 ? RowKind::TwoToFour : RowKind::Copy;
        SetGreyPalette(&layout->palette, bitDepth);
        png_color_16p transparent = nullptr;
        if (hasTrns && png_get_tRNS(png, info, nullptr, nullptr, &transparent) && transparent &&
            transparent->gray < (1u << bitDepth)) {
            memset(layout->palette.rgb[transparent->gray], 255, 3);
        }
        return;
    }

    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        // 16-bit grey, or grey with alpha: 8-bit grey pixels.
        layout->depth = 8;
        SetGreyPalette(&layout->palette, 8);
        const bool alpha = colourType == PNG_COLOR_TYPE_GRAY_ALPHA || hasTrns;
        layout->kind = alpha ? RowKind::GreyAlpha : RowKind::Copy;
        if (setTransforms) {
            if (hasTrns) png_set_tRNS_to_alpha(png);
            if (bitDepth == 16) png_set_scale_16(png);
        }
        return;
    }

    // RGB and RGB with alpha.
    layout->depth = 24;
    const bool alpha = colourType == PNG_COLOR_TYPE_RGB_ALPHA || hasTrns;
    layout->kind = alpha ? RowKind::ColourAlpha : RowKind::Copy;
    if (setTransforms) {
        if (hasTrns) png_set_tRNS_to_alpha(png);
        if (bitDepth == 16) png_set_scale_16(png);
        png_set_bgr(png);
    }
}

// Bytes libpng must deliver per row for the chosen conversion.
size_t ExpectedRowBytes(const Layout& layout, uint32_t width) {
    switch (layout.kind) {
        case RowKind::TwoToFour: return (static_cast<size_t>(width) * 2 + 7) / 8;
        case RowKind::GreyAlpha: return 2 * static_cast<size_t>(width);
        case RowKind::ColourAlpha: return 4 * static_cast<size_t>(width);
        case RowKind::Copy: break;
    }
    return (static_cast<size_t>(width) * static_cast<size_t>(layout.depth) + 7) / 8;
}

void ConvertRow(RowKind kind, const uint8_t* src, uint8_t* dst, uint32_t width) {
    switch (kind) {
        case RowKind::TwoToFour:
            for (uint32_t k = 0; k < width; ++k) {
                dst[k / 2] |= static_cast<uint8_t>(PixelIndex(src, k, 2) << (k % 2 ? 0 : 4));
            }
            break;
        case RowKind::GreyAlpha:
            for (uint32_t k = 0; k < width; ++k) dst[k] = OverWhite(src[2 * k], src[2 * k + 1]);
            break;
        case RowKind::ColourAlpha:
            for (uint32_t k = 0; k < width; ++k) {
                const uint8_t* p = src + 4 * k;
                dst[3 * k + 0] = OverWhite(p[0], p[3]);
                dst[3 * k + 1] = OverWhite(p[1], p[3]);
                dst[3 * k + 2] = OverWhite(p[2], p[3]);
            }
            break;
        case RowKind::Copy: break;
    }
}

// Sets job->code and, on success, job->dib.  Holds no destructible objects:
// libpng may jump back to the top at any call.
void RunRead(ReadJob* job) {
    if (setjmp(png_jmpbuf(job->png))) {
        job->code = job->outOfMemory ? PluginErrorMemory : PluginErrorCorrupt;
        return;
    }
    png_init_io(job->png, job->file);
    // A damaged chunk can claim any length.  No chunk a picture needs comes
    // near these limits, and a bad length then never asks for gigabytes.
    png_set_chunk_malloc_max(job->png, 8u * 1024u * 1024u);
    png_set_user_limits(job->png, 0xFFFF, 0xFFFF);
    png_read_info(job->png, job->info);

    const uint32_t width = png_get_image_width(job->png, job->info);
    const uint32_t height = png_get_image_height(job->png, job->info);
    // The bitmap carries its size in 16 bits.
    if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF) {
        job->code = PluginErrorCorrupt;
        return;
    }

    // Compressed image data expands at most about 1032 times: a file too
    // small to hold the picture is refused before any large bitmap is made.
    if (job->withPixels && !WithinPixelLimit(width, height)) {
        job->code = PluginErrorCorrupt;
        return;
    }
    if (job->withPixels) {
        struct stat st;
        const uint64_t rawBytes = (static_cast<uint64_t>(png_get_rowbytes(job->png, job->info)) + 1) * height;
        if (fstat(fileno(job->file), &st) != 0 ||
            rawBytes > static_cast<uint64_t>(st.st_size) * 1100 + 65536) {
            job->code = PluginErrorCorrupt;
            return;
        }
    }

    Layout layout;
    ChooseLayout(job->png, job->info, job->withPixels, &layout);
    job->dib = BuildPackedDib(static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                              layout.depth, &layout.palette, job->withPixels);
    if (!job->dib) {
        job->code = PluginErrorMemory;
        return;
    }
    png_uint_32 xPerMetre = 0, yPerMetre = 0;
    int resolutionUnit = PNG_RESOLUTION_UNKNOWN;
    if (png_get_pHYs(job->png, job->info, &xPerMetre, &yPerMetre, &resolutionUnit) &&
        resolutionUnit == PNG_RESOLUTION_METER) {
        SetDibResolution(job->dib, xPerMetre, yPerMetre);
    }
    if (!job->withPixels) {
        job->code = PluginErrorNone;
        return;
    }

    png_set_interlace_handling(job->png);
    png_read_update_info(job->png, job->info);

    const size_t rowBytes = png_get_rowbytes(job->png, job->info);
    const size_t stride = DibStride(width, BitCountForDepth(layout.depth));
    if (rowBytes != ExpectedRowBytes(layout, width) || (layout.kind == RowKind::Copy && rowBytes > stride)) {
        job->code = PluginErrorCorrupt;
        return;
    }

    job->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * height));
    if (!job->rows) {
        job->code = PluginErrorMemory;
        return;
    }
    if (layout.kind == RowKind::Copy) {
        for (uint32_t r = 0; r < height; ++r) job->rows[r] = DibRowAddress(job->dib, height - 1 - r);
    } else {
        job->scratch = static_cast<uint8_t*>(malloc(rowBytes * height));
        if (!job->scratch) {
            job->code = PluginErrorMemory;
            return;
        }
        for (uint32_t r = 0; r < height; ++r) job->rows[r] = job->scratch + rowBytes * r;
    }

    png_read_image(job->png, job->rows);
    png_read_end(job->png, nullptr);

    if (layout.kind != RowKind::Copy) {
        for (uint32_t r = 0; r < height; ++r) {
            ConvertRow(layout.kind, job->rows[r], DibRowAddress(job->dib, height - 1 - r), width);
        }
    }
    job->code = PluginErrorNone;
}

PackedDibHandle ReadPng(const char* fileName, bool withPixels) {
    SetPluginError(PluginErrorNone);
    ReadJob job;
    job.withPixels = withPixels;
    job.file = fileName ? fopen(fileName, "rb") : nullptr;
    if (!job.file) {
        SetPluginError(PluginErrorOpen);
        return nullptr;
    }
    job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, OnPngError, OnPngWarning, &job,
                                       ReadMalloc, PngFree);
    if (job.png) job.info = png_create_info_struct(job.png);
    if (!job.png || !job.info) {
        png_destroy_read_struct(job.png ? &job.png : nullptr, nullptr, nullptr);
        fclose(job.file);
        SetPluginError(PluginErrorMemory);
        return nullptr;
    }

    RunRead(&job);

    png_destroy_read_struct(&job.png, &job.info, nullptr);
    fclose(job.file);
    free(job.rows);
    free(job.scratch);
    if (job.code != PluginErrorNone) {
        free(job.dib);
        job.dib = nullptr;
    }
    SetPluginError(job.code);
    return job.dib;
}

// Sets job->code; like RunRead it holds nothing that a jump could leak.
void RunWrite(WriteJob* job) {
    if (setjmp(png_jmpbuf(job->png))) {
        job->code = job->outOfMemory ? PluginErrorMemory : PluginErrorWrite;
        return;
    }
    const DibView& view = *job->view;
    const uint32_t width = static_cast<uint32_t>(view.width);
    const uint32_t height = static_cast<uint32_t>(view.height);

    png_init_io(job->png, job->file);
    png_set_compression_level(job->png, Z_DEFAULT_COMPRESSION);

    RgbPalette palette;
    const int entries = ExtractPalette(view, &palette);
    const bool colour = view.bitCount > 8;
    png_set_IHDR(job->png, job->info, width, height, colour ? 8 : view.bitCount,
                 colour ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colour) {
        png_color plte[256];
        for (int i = 0; i < entries; ++i) {
            plte[i].red = palette.rgb[i][0];
            plte[i].green = palette.rgb[i][1];
            plte[i].blue = palette.rgb[i][2];
        }
        png_set_PLTE(job->png, job->info, plte, entries);
    }
    png_write_info(job->png, job->info);
    if (colour) png_set_bgr(job->png);
    if (view.bitCount == 32) png_set_filler(job->png, 0, PNG_FILLER_AFTER);

    job->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * height));
    if (!job->rows) {
        job->code = PluginErrorMemory;
        return;
    }
    if (view.bitCount == 16) {
        // 5-5-5 pixels are widened to blue, green, red bytes first.
        const size_t rowBytes = 3 * static_cast<size_t>(width);
        job->scratch = static_cast<uint8_t*>(malloc(rowBytes * height));
        if (!job->scratch) {
            job->code = PluginErrorMemory;
            return;
        }
        for (uint32_t r = 0; r < height; ++r) {
            const uint8_t* src = PictureRow(view, r);
            uint8_t* dst = job->scratch + rowBytes * r;
            for (uint32_t k = 0; k < width; ++k) {
                const unsigned v = src[2 * k] | (src[2 * k + 1] << 8);
                dst[3 * k + 0] = static_cast<uint8_t>((v & 0x1F) * 255 / 31);
                dst[3 * k + 1] = static_cast<uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
                dst[3 * k + 2] = static_cast<uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
            }
            job->rows[r] = dst;
        }
    } else {
        // libpng only reads these rows.
        for (uint32_t r = 0; r < height; ++r) job->rows[r] = const_cast<uint8_t*>(PictureRow(view, r));
    }

    png_write_image(job->png, job->rows);
    png_write_end(job->png, job->info);
    job->code = PluginErrorNone;
}

}  // namespace

extern "C" {

const char* GetFileExtension(void) { return "PNG"; }

uint16_t GetLibraryVersion(void) { return 256; }

const char* GetCopyright(void) { return "PNG graphics plugin for Reelcard, copyright (C) the Reelcard developers"; }

const char* GetNotice(void) {
    return "PNG supports from one to 24 bits of colour.\n"
           "\n"
           "Portions of this code are copyright (C) 1995-2022 Jean-loup Gailly and Mark Adler:\n"
           "the zlib compression library.\n"
           "\n"
           "Portions of this code are copyright (C) 1995-2023 the PNG Reference Library\n"
           "Authors, Glenn Randers-Pehrson, Andreas Dilger and Guy Eric Schalnat: libpng.";
}

PackedDibHandle GetFileInformation(const char* fileName) { return ReadPng(fileName, false); }

PackedDibHandle ReadGraphicFile(const char* fileName) { return ReadPng(fileName, true); }

uint16_t WriteGraphicFile(const char* fileName, PackedDibHandle dib) {
    DibView view;
    if (!ViewPackedDib(dib, &view)) {
        SetPluginError(PluginErrorUnsupported);
        return 0;
    }
    WriteJob job;
    job.view = &view;
    job.file = fileName ? fopen(fileName, "wb") : nullptr;
    if (!job.file) {
        SetPluginError(PluginErrorCreate);
        return 0;
    }
    job.png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, &job, OnPngError, OnPngWarning, &job,
                                        WriteMalloc, PngFree);
    if (job.png) job.info = png_create_info_struct(job.png);
    if (!job.png || !job.info) {
        png_destroy_write_struct(job.png ? &job.png : nullptr, nullptr);
        fclose(job.file);
        remove(fileName);
        SetPluginError(PluginErrorMemory);
        return 0;
    }

    RunWrite(&job);

    png_destroy_write_struct(&job.png, &job.info);
    free(job.rows);
    free(job.scratch);
    if (fclose(job.file) != 0 && job.code == PluginErrorNone) job.code = PluginErrorWrite;
    if (job.code != PluginErrorNone) remove(fileName);
    SetPluginError(job.code);
    return job.code == PluginErrorNone ? 1 : 0;
}

uint16_t GetError(char* buffer) { return CopyPluginError(buffer); }

}  // extern "C"
