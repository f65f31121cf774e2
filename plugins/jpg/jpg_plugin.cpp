// jpgflt32: reads JPEG pictures through libjpeg-turbo and writes baseline
// JPEG files at quality 90.
//
// Baseline and progressive pictures, Huffman or arithmetic coded, with or
// without restart markers, as the library decodes them.  Greyscale becomes an
// 8-bit bitmap with a grey colour table; YCbCr and RGB become 24 bits, decoded
// by the library straight into the bitmap's blue, green, red rows; CMYK and
// YCCK (inverted when an Adobe marker says so) are converted to RGB here.
// 12-bit pictures are refused.  The EXIF orientation is applied, so that a
// phone photo stands the right way up; the information block reports the
// size as it stands.
//
// libjpeg reports errors by longjmp.  The function that sets the jump point
// keeps every resource in a job record owned by its caller and holds no
// objects with destructors.

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <utility>

#include <jpeglib.h>
#include <jerror.h>

#include "common/graphics_plugin.h"
#include "common/packed_dib.h"

using namespace reelcard::plugin;

namespace {

// No honest picture needs more scans than this; a damaged progressive file
// can otherwise make the library work through thousands of them.
constexpr int kMostScans = 1000;
// A compressed byte yields at most this many bytes of pixels (progressive
// and arithmetic coding pack a plain area very tightly).
constexpr uint64_t kMostExpansion = 4096;

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    bool outOfMemory = false;
    bool endOfFile = false;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (err->base.msg_code == JERR_OUT_OF_MEMORY) err->outOfMemory = true;
    longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    // Data running out before the picture is whole makes it a damaged file;
    // other warnings (stray bytes between markers and the like) are common in
    // files that show well and are let pass.
    if (level < 0 && err->base.msg_code == JWRN_JPEG_EOF) err->endOfFile = true;
}

void OnProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMostScans) {
        cinfo->err->msg_code = JERR_NOT_COMPILED;
        cinfo->err->error_exit(cinfo);
    }
}

uint16_t Get16(const uint8_t* p, bool big) {
    return big ? static_cast<uint16_t>((p[0] << 8) | p[1]) : static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p, bool big) {
    return big ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
               : uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// The first directory of an EXIF block: where its TIFF data starts, how long
// it is, its byte order and the directory's place and entry count.
struct ExifDirectory {
    const uint8_t* tiff = nullptr;
    size_t length = 0;
    bool big = false;
    uint32_t ifd = 0;
    uint32_t count = 0;
};

bool FirstExifDirectory(const uint8_t* data, size_t size, ExifDirectory* dir) {
    if (size < 14 || memcmp(data, "Exif\0\0", 6) != 0) return false;
    dir->tiff = data + 6;
    dir->length = size - 6;
    if (dir->tiff[0] == 'I' && dir->tiff[1] == 'I') {
        dir->big = false;
    } else if (dir->tiff[0] == 'M' && dir->tiff[1] == 'M') {
        dir->big = true;
    } else {
        return false;
    }
    if (Get16(dir->tiff + 2, dir->big) != 42) return false;
    dir->ifd = Get32(dir->tiff + 4, dir->big);
    if (dir->ifd > dir->length || dir->length - dir->ifd < 2) return false;
    dir->count = Get16(dir->tiff + dir->ifd, dir->big);
    return true;
}

// The orientation (1 to 8) from an EXIF block, or 1.
int ExifOrientation(const uint8_t* data, size_t size) {
    ExifDirectory dir;
    if (!FirstExifDirectory(data, size, &dir)) return 1;
    const uint8_t* tiff = dir.tiff;
    const size_t length = dir.length;
    const bool big = dir.big;
    const uint32_t ifd = dir.ifd;
    for (uint32_t i = 0; i < dir.count; ++i) {
        const uint64_t at = uint64_t{ifd} + 2 + 12 * uint64_t{i};
        if (at + 12 > length) return 1;
        const uint8_t* entry = tiff + at;
        if (Get16(entry, big) != 0x0112) continue;
        if (Get16(entry + 2, big) != 3) return 1;  // a SHORT
        const int value = Get16(entry + 8, big);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int OrientationOf(j_decompress_ptr cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) {
            const int orientation = ExifOrientation(m->data, m->data_length);
            if (orientation != 1) return orientation;
        }
    }
    return 1;
}

bool SwapsSides(int orientation) { return orientation >= 5; }

// The bytes of coded picture data from `at` (the first scan's data) to the
// end-of-image marker, leaving out the segments between scans (tables,
// comments, the next scan's header) and whatever follows the end: a file
// padded with comments or trailing bytes has no more picture in it than
// its scans hold.
uint64_t ScanBytes(const uint8_t* data, size_t size, size_t at) {
    uint64_t count = 0;
    size_t i = at;
    while (i < size) {
        if (data[i] != 0xFF) {
            ++count;
            ++i;
            continue;
        }
        if (i + 1 >= size) break;
        const uint8_t marker = data[i + 1];
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7)) {  // a stuffed byte, a restart
            count += 2;
            i += 2;
        } else if (marker == 0xFF) {  // fill
            ++i;
        } else if (marker == 0xD9) {  // end of image
            break;
        } else {
            if (i + 3 >= size) break;
            i += 2 + ((size_t{data[i + 2]} << 8) | data[i + 3]);
        }
    }
    return count;
}

// Pixels per metre from a density in pixels per inch (unit 1) or per
// centimetre (unit 2); 0 for anything else.
uint32_t PerMetre(double density, int unit) {
    if (!(density > 0) || density > 100000) return 0;
    if (unit == 1) return static_cast<uint32_t>(density * 10000 / 254 + 0.5);
    if (unit == 2) return static_cast<uint32_t>(density * 100 + 0.5);
    return 0;
}

// The resolution an EXIF block gives (XResolution, YResolution and
// ResolutionUnit of its first directory), in pixels per metre; false when it
// has none.
bool ExifResolution(const uint8_t* data, size_t size, uint32_t* x, uint32_t* y) {
    ExifDirectory dir;
    if (!FirstExifDirectory(data, size, &dir)) return false;
    const uint8_t* tiff = dir.tiff;
    const size_t length = dir.length;
    const bool big = dir.big;
    const uint32_t ifd = dir.ifd, count = dir.count;
    double xDensity = 0, yDensity = 0;
    int unit = 2;  // inches unless told otherwise
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = uint64_t{ifd} + 2 + 12 * uint64_t{i};
        if (at + 12 > length) break;
        const uint8_t* entry = tiff + at;
        const uint16_t tag = Get16(entry, big);
        const uint16_t type = Get16(entry + 2, big);
        if (tag == 0x0128 && type == 3) unit = Get16(entry + 8, big);
        if ((tag == 0x011A || tag == 0x011B) && type == 5) {  // a RATIONAL, stored elsewhere
            const uint32_t offset = Get32(entry + 8, big);
            if (offset > length || length - offset < 8) continue;
            const uint32_t denominator = Get32(tiff + offset + 4, big);
            if (denominator == 0) continue;
            const double value = static_cast<double>(Get32(tiff + offset, big)) / denominator;
            (tag == 0x011A ? xDensity : yDensity) = value;
        }
    }
    // EXIF counts inches as 2 and centimetres as 3.
    const int jfifUnit = unit == 2 ? 1 : unit == 3 ? 2 : 0;
    *x = PerMetre(xDensity, jfifUnit);
    *y = PerMetre(yDensity, jfifUnit);
    return *x != 0 && *y != 0;
}

// The picture's own resolution: the JFIF density, or else the EXIF one.
void ResolutionOf(j_decompress_ptr cinfo, uint32_t* x, uint32_t* y) {
    *x = *y = 0;
    if (cinfo->saw_JFIF_marker) {
        *x = PerMetre(cinfo->X_density, cinfo->density_unit);
        *y = PerMetre(cinfo->Y_density, cinfo->density_unit);
        if (*x != 0 && *y != 0) return;
    }
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && ExifResolution(m->data, m->data_length, x, y)) return;
    }
    *x = *y = 0;
}

struct ReadJob {
    const FileBytes* file = nullptr;
    bool withPixels = false;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    bool created = false;
    PackedDibHandle dib = nullptr;
    uint8_t* scratch = nullptr;  // decoded rows when they must be turned or converted
    uint16_t code = PluginErrorNone;
};

// Pixel (x, y) of the decoded picture goes to (x', y') of the picture as it stands.
void PlaceOf(int orientation, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t* ox, uint32_t* oy) {
    switch (orientation) {
        case 2: *ox = w - 1 - x; *oy = y; break;
        case 3: *ox = w - 1 - x; *oy = h - 1 - y; break;
        case 4: *ox = x; *oy = h - 1 - y; break;
        case 5: *ox = y; *oy = x; break;
        case 6: *ox = h - 1 - y; *oy = x; break;
        case 7: *ox = h - 1 - y; *oy = w - 1 - x; break;
        case 8: *ox = y; *oy = w - 1 - x; break;
        default: *ox = x; *oy = y; break;
    }
}

// Value c of an ink plane over paper; Adobe's files store the planes inverted.
inline uint8_t Ink(unsigned c, unsigned k, bool inverted) {
    if (!inverted) {
        c = 255 - c;
        k = 255 - k;
    }
    return static_cast<uint8_t>((c * k + 127) / 255);
}

void RunRead(ReadJob* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) {
        job->code = job->err.outOfMemory ? PluginErrorMemory : PluginErrorCorrupt;
        return;
    }
    jpeg_create_decompress(cinfo);
    job->created = true;
    cinfo->mem->max_memory_to_use = 1024L * 1024L * 1024L;
    job->progress.progress_monitor = OnProgress;
    cinfo->progress = &job->progress;
    jpeg_mem_src(cinfo, job->file->data, static_cast<unsigned long>(job->file->size));
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);

    if (cinfo->data_precision != 8 || cinfo->image_width == 0 || cinfo->image_height == 0 ||
        cinfo->image_width > 0xFFFF || cinfo->image_height > 0xFFFF) {
        job->code = PluginErrorCorrupt;
        return;
    }
    const int orientation = OrientationOf(cinfo);
    const uint32_t w = cinfo->image_width, h = cinfo->image_height;
    const uint32_t outW = SwapsSides(orientation) ? h : w;
    const uint32_t outH = SwapsSides(orientation) ? w : h;

    const bool grey = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    RgbPalette palette;
    ClearPalette(&palette);
    if (grey) SetGreyPalette(&palette, 8);
    const int depth = grey ? 8 : 24;

    if (job->withPixels) {
        // The picture may cost no more than the pixel limit, and no more than
        // its coded data can honestly expand to.
        const size_t scanAt = job->file->size - cinfo->src->bytes_in_buffer;
        if (!WithinPixelLimit(w, h) ||
            !PlausibleExpansion(uint64_t{w} * h * (grey ? 1 : 3), ScanBytes(job->file->data, job->file->size, scanAt),
                                kMostExpansion)) {
            job->code = PluginErrorCorrupt;
            return;
        }
    }
    job->dib = BuildPackedDib(static_cast<uint16_t>(outW), static_cast<uint16_t>(outH), depth, &palette,
                              job->withPixels);
    if (!job->dib) {
        job->code = PluginErrorMemory;
        return;
    }
    uint32_t xPerMetre = 0, yPerMetre = 0;
    ResolutionOf(cinfo, &xPerMetre, &yPerMetre);
    if (SwapsSides(orientation)) std::swap(xPerMetre, yPerMetre);
    SetDibResolution(job->dib, xPerMetre, yPerMetre);
    if (!job->withPixels) {
        job->code = PluginErrorNone;
        return;
    }

    cinfo->out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    const uint32_t components = static_cast<uint32_t>(cinfo->output_components);
    if (cinfo->output_width != w || cinfo->output_height != h ||
        components != (grey ? 1u : cmyk ? 4u : 3u)) {
        job->code = PluginErrorCorrupt;
        return;
    }

    // Rows go straight into the bitmap when they need neither turning nor
    // converting; otherwise through a top-down scratch copy.
    const bool direct = orientation == 1 && !cmyk;
    const size_t rowBytes = size_t{w} * components;
    if (!direct) {
        job->scratch = static_cast<uint8_t*>(malloc(rowBytes * (orientation == 1 ? 1 : h)));
        if (!job->scratch) {
            job->code = PluginErrorMemory;
            return;
        }
    }
    const bool inverted = cinfo->saw_Adobe_marker;
    const uint32_t pixelBytes = grey ? 1 : 3;
    while (cinfo->output_scanline < h) {
        const uint32_t y = cinfo->output_scanline;
        JSAMPROW rows[16];
        JDIMENSION want = h - y < 16 ? h - y : 16;
        for (JDIMENSION i = 0; i < want; ++i) {
            if (direct) {
                rows[i] = DibRowAddress(job->dib, h - 1 - (y + i));
            } else {
                rows[i] = job->scratch + (orientation == 1 ? 0 : rowBytes * (y + i));
            }
        }
        if (!direct && orientation == 1) want = 1;
        const JDIMENSION got = jpeg_read_scanlines(cinfo, rows, want);
        if (got == 0 || job->err.endOfFile) {
            job->code = PluginErrorRead;
            return;
        }
        if (cmyk) {
            // Ink to light in place: four bytes per pixel become three.
            for (JDIMENSION i = 0; i < got; ++i) {
                uint8_t* row = rows[i];
                for (uint32_t x = 0; x < w; ++x) {
                    const uint8_t* p = row + 4 * size_t{x};
                    const uint8_t k = p[3];
                    const uint8_t blue = Ink(p[2], k, inverted);
                    const uint8_t green = Ink(p[1], k, inverted);
                    const uint8_t red = Ink(p[0], k, inverted);
                    row[3 * size_t{x}] = blue;
                    row[3 * size_t{x} + 1] = green;
                    row[3 * size_t{x} + 2] = red;
                }
                if (orientation == 1) memcpy(DibRowAddress(job->dib, h - 1 - (y + i)), row, size_t{w} * 3);
            }
        }
    }
    if (job->err.endOfFile) {
        job->code = PluginErrorRead;
        return;
    }

    if (orientation != 1) {
        const size_t scratchRow = rowBytes;
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* src = job->scratch + scratchRow * y;
            for (uint32_t x = 0; x < w; ++x) {
                uint32_t ox, oy;
                PlaceOf(orientation, x, y, w, h, &ox, &oy);
                uint8_t* dst = DibRowAddress(job->dib, outH - 1 - oy) + size_t{ox} * pixelBytes;
                memcpy(dst, src + size_t{x} * pixelBytes, pixelBytes);
            }
        }
    }
    // The rest of the file (trailing markers) is not needed.
    jpeg_abort_decompress(cinfo);
    job->code = PluginErrorNone;
}

PackedDibHandle ReadJpeg(const char* fileName, bool withPixels) {
    FileBytes file;
    uint16_t code = ReadFileBytes(fileName, &file);
    if (code != PluginErrorNone) {
        SetPluginError(code);
        return nullptr;
    }
    ReadJob record;
    ReadJob* job = &record;
    job->file = &file;
    job->withPixels = withPixels;
    job->cinfo.err = jpeg_std_error(&job->err.base);
    job->err.base.error_exit = OnError;
    job->err.base.emit_message = OnMessage;

    RunRead(job);

    if (job->created) jpeg_destroy_decompress(&job->cinfo);
    free(job->scratch);
    PackedDibHandle dib = job->dib;
    code = job->code;
    if (code != PluginErrorNone) {
        free(dib);
        dib = nullptr;
    }
    FreeFileBytes(&file);
    SetPluginError(code);
    return dib;
}

// ---- writing ----------------------------------------------------------------------

struct WriteJob {
    FILE* file = nullptr;
    const DibView* view = nullptr;
    jpeg_compress_struct cinfo;
    ErrorManager err;
    bool created = false;
    uint8_t* row = nullptr;
    uint16_t code = PluginErrorNone;
};

void RunWrite(WriteJob* job) {
    j_compress_ptr cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) {
        job->code = job->err.outOfMemory ? PluginErrorMemory : PluginErrorWrite;
        return;
    }
    const DibView& view = *job->view;
    jpeg_create_compress(cinfo);
    job->created = true;
    jpeg_stdio_dest(cinfo, job->file);
    cinfo->image_width = static_cast<JDIMENSION>(view.width);
    cinfo->image_height = static_cast<JDIMENSION>(view.height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, 90, TRUE);
    jpeg_start_compress(cinfo, TRUE);

    RgbPalette palette;
    ExtractPalette(view, &palette);
    const uint32_t w = static_cast<uint32_t>(view.width);
    job->row = static_cast<uint8_t*>(malloc(size_t{w} * 3));
    if (!job->row) {
        job->code = PluginErrorMemory;
        return;
    }
    for (uint32_t r = 0; r < static_cast<uint32_t>(view.height); ++r) {
        const uint8_t* src = PictureRow(view, r);
        uint8_t* out = job->row;
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* bgr = out + 3 * size_t{x};
            switch (view.bitCount) {
                case 24: memcpy(bgr, src + 3 * size_t{x}, 3); break;
                case 32: memcpy(bgr, src + 4 * size_t{x}, 3); break;
                case 16: {
                    const unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
                    bgr[0] = static_cast<uint8_t>((v & 0x1F) * 255 / 31);
                    bgr[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
                    bgr[2] = static_cast<uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
                    break;
                }
                default: {
                    const uint8_t* rgb = palette.rgb[PixelIndex(src, x, view.bitCount)];
                    bgr[0] = rgb[2];
                    bgr[1] = rgb[1];
                    bgr[2] = rgb[0];
                    break;
                }
            }
        }
        JSAMPROW rows[1] = {job->row};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    job->code = PluginErrorNone;
}

}  // namespace

extern "C" {

const char* GetFileExtension(void) { return "JPG"; }

uint16_t GetLibraryVersion(void) { return 256; }

const char* GetCopyright(void) { return "JPEG graphics plugin for Reelcard, copyright (C) the Reelcard developers"; }

const char* GetNotice(void) {
    return "JPEG stores photographs in 8-bit grey or 24 bits of\n"
           "colour, compressed with some loss of detail.\n"
           "\n"
           "Portions of this code are copyright (C) the libjpeg-turbo\n"
           "project and the Independent JPEG Group: libjpeg-turbo.";
}

PackedDibHandle GetFileInformation(const char* fileName) { return ReadJpeg(fileName, false); }

PackedDibHandle ReadGraphicFile(const char* fileName) { return ReadJpeg(fileName, true); }

uint16_t WriteGraphicFile(const char* fileName, PackedDibHandle dib) {
    DibView view;
    if (!ViewPackedDib(dib, &view) || view.width > 0xFFFF || view.height > 0xFFFF) {
        SetPluginError(PluginErrorUnsupported);
        return 0;
    }
    WriteJob record;
    WriteJob* job = &record;
    job->file = fileName ? fopen(fileName, "wb") : nullptr;
    if (!job->file) {
        SetPluginError(PluginErrorCreate);
        return 0;
    }
    job->view = &view;
    job->cinfo.err = jpeg_std_error(&job->err.base);
    job->err.base.error_exit = OnError;
    job->err.base.emit_message = OnMessage;

    RunWrite(job);

    if (job->created) jpeg_destroy_compress(&job->cinfo);
    free(job->row);
    uint16_t code = job->code;
    if (fclose(job->file) != 0 && code == PluginErrorNone) code = PluginErrorWrite;
    if (code != PluginErrorNone) remove(fileName);
    SetPluginError(code);
    return code == PluginErrorNone ? 1 : 0;
}

uint16_t GetError(char* buffer) { return CopyPluginError(buffer); }

}  // extern "C"
