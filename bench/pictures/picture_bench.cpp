// How fast the plugins decode large pictures, measured against stb_image (TGA)
// and libpng's simplified API (PNG) on the same files in the same run.
//
//   build/bin/reelcard_picture_bench --benchmark_repetitions=5

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <png.h>
#include <stb_image.h>
#include <jpeglib.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/graphics_plugin.h"

namespace {

constexpr int kSide = 2000;

struct Plugin {
    ReadGraphicFileProc read = nullptr;
    explicit Plugin(const char* name) {
        std::string path = std::string(REELCARD_BIN_DIR) + "/" + name;
        void* library = dlopen(path.c_str(), RTLD_NOW);
        if (library) read = reinterpret_cast<ReadGraphicFileProc>(dlsym(library, "ReadGraphicFile"));
        if (!read) std::fprintf(stderr, "cannot load %s\n", path.c_str());
    }
};

// A picture with flat bands (which run-length coding shortens) and noisy
// stretches (which it does not), as scanned artwork has.
std::vector<uint8_t> MakePixels() {
    std::vector<uint8_t> rgb(static_cast<size_t>(kSide) * kSide * 3);
    std::mt19937 random(7);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * kSide + x) * 3];
            if ((x / 100 + y / 100) % 3 == 0) {
                p[0] = static_cast<uint8_t>(random());
                p[1] = static_cast<uint8_t>(random());
                p[2] = static_cast<uint8_t>(random());
            } else {
                p[0] = static_cast<uint8_t>(x / 8);
                p[1] = static_cast<uint8_t>(y / 8);
                p[2] = 128;
            }
        }
    }
    return rgb;
}

void WriteTga(const std::string& path, const std::vector<uint8_t>& rgb, bool rle) {
    FILE* f = std::fopen(path.c_str(), "wb");
    uint8_t header[18] = {0, 0, static_cast<uint8_t>(rle ? 10 : 2)};
    header[12] = kSide & 0xFF;
    header[13] = kSide >> 8;
    header[14] = kSide & 0xFF;
    header[15] = kSide >> 8;
    header[16] = 24;
    header[17] = 0x20;  // top-down
    std::fwrite(header, 1, sizeof header, f);
    for (int y = 0; y < kSide; ++y) {
        const uint8_t* row = &rgb[static_cast<size_t>(y) * kSide * 3];
        auto bgr = [&](int x, std::vector<uint8_t>& out) {
            out.push_back(row[x * 3 + 2]);
            out.push_back(row[x * 3 + 1]);
            out.push_back(row[x * 3]);
        };
        std::vector<uint8_t> out;
        if (!rle) {
            for (int x = 0; x < kSide; ++x) bgr(x, out);
        } else {
            int x = 0;
            while (x < kSide) {
                int run = 1;
                while (x + run < kSide && run < 128 &&
                       std::equal(row + x * 3, row + x * 3 + 3, row + (x + run) * 3)) {
                    ++run;
                }
                if (run > 1) {
                    out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
                    bgr(x, out);
                    x += run;
                    continue;
                }
                int raw = 1;
                while (x + raw < kSide && raw < 128 &&
                       !std::equal(row + (x + raw) * 3, row + (x + raw) * 3 + 3,
                                   row + (x + raw - 1) * 3)) {
                    ++raw;
                }
                out.push_back(static_cast<uint8_t>(raw - 1));
                for (int k = 0; k < raw; ++k) bgr(x + k, out);
                x += raw;
            }
        }
        std::fwrite(out.data(), 1, out.size(), f);
    }
    std::fclose(f);
}

void WritePng(const std::string& path, const std::vector<uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_RGB;
    png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
}

void WriteJpeg(const std::string& path, const std::vector<uint8_t>& rgb) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = kSide;
    cinfo.image_height = kSide;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&rgb[static_cast<size_t>(cinfo.next_scanline) * kSide * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
}

void WriteWebp(const std::string& path, const std::vector<uint8_t>& rgb) {
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeRGB(rgb.data(), kSide, kSide, kSide * 3, 90, &out);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(out, 1, size, f);
    std::fclose(f);
    WebPFree(out);
}

std::vector<uint8_t> Bytes(const std::string& path) {
    std::vector<uint8_t> bytes(std::filesystem::file_size(path));
    FILE* f = std::fopen(path.c_str(), "rb");
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
    return bytes;
}

struct Files {
    std::string folder, tga, tgaRle, png, jpg, webp;
    Files() {
        folder = (std::filesystem::temp_directory_path() / "reelcard-picture-bench").string();
        std::filesystem::create_directories(folder);
        tga = folder + "/plain.tga";
        tgaRle = folder + "/rle.tga";
        png = folder + "/rgb.png";
        jpg = folder + "/photo.jpg";
        webp = folder + "/photo.webp";
        auto rgb = MakePixels();
        WriteJpeg(jpg, rgb);
        WriteWebp(webp, rgb);
        WriteTga(tga, rgb, false);
        WriteTga(tgaRle, rgb, true);
        WritePng(png, rgb);
    }
    ~Files() { std::filesystem::remove_all(folder); }
};

Files& TheFiles() {
    static Files files;
    return files;
}

void PluginDecode(benchmark::State& state, const char* library, const std::string& path) {
    static Plugin tga("tgaflt32.so"), png("pngflt32.so"), jpg("jpgflt32.so"), webp("webpflt32.so");
    const std::string name(library);
    Plugin& plugin = name == "tgaflt32.so" ? tga : name == "pngflt32.so" ? png : name == "jpgflt32.so" ? jpg : webp;
    if (!plugin.read) {
        state.SkipWithError("plugin not found");
        return;
    }
    for (auto _ : state) {
        void* dib = plugin.read(path.c_str());
        if (!dib) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(dib);
        std::free(dib);
    }
}

void StbDecode(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 0);
        if (!pixels) {
            state.SkipWithError("stb_image failed");
            return;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}

void LibpngSimplifiedDecode(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) {
            state.SkipWithError("libpng failed");
            return;
        }
        image.format = PNG_FORMAT_BGR;
        std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// libjpeg-turbo called directly on the file's bytes, as the plugin calls it
// (blue, green, red rows into a buffer allocated for the picture, as every
// decoder that hands a picture on must).
void JpegDirectDecode(benchmark::State& state, const std::string& path) {
    const std::vector<uint8_t> bytes = Bytes(path);
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[static_cast<size_t>(kSide) * kSide * 3]);
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &pixels[static_cast<size_t>(cinfo.output_scanline) * kSide * 3];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.get());
    }
}

void WebpDecodeRgb(benchmark::State& state, const std::string& path) {
    const std::vector<uint8_t> bytes = Bytes(path);
    for (auto _ : state) {
        int w, h;
        uint8_t* pixels = WebPDecodeRGB(bytes.data(), bytes.size(), &w, &h);
        benchmark::DoNotOptimize(pixels);
        WebPFree(pixels);
    }
}

void BM_Jpeg_Plugin(benchmark::State& s) { PluginDecode(s, "jpgflt32.so", TheFiles().jpg); }
void BM_Jpeg_LibjpegTurbo(benchmark::State& s) { JpegDirectDecode(s, TheFiles().jpg); }
void BM_Webp_Plugin(benchmark::State& s) { PluginDecode(s, "webpflt32.so", TheFiles().webp); }
void BM_Webp_WebPDecodeRGB(benchmark::State& s) { WebpDecodeRgb(s, TheFiles().webp); }

void BM_TgaPlain_Plugin(benchmark::State& s) { PluginDecode(s, "tgaflt32.so", TheFiles().tga); }
void BM_TgaPlain_StbImage(benchmark::State& s) { StbDecode(s, TheFiles().tga); }
void BM_TgaRle_Plugin(benchmark::State& s) { PluginDecode(s, "tgaflt32.so", TheFiles().tgaRle); }
void BM_TgaRle_StbImage(benchmark::State& s) { StbDecode(s, TheFiles().tgaRle); }
void BM_PngRgb_Plugin(benchmark::State& s) { PluginDecode(s, "pngflt32.so", TheFiles().png); }
void BM_PngRgb_LibpngSimplified(benchmark::State& s) { LibpngSimplifiedDecode(s, TheFiles().png); }

BENCHMARK(BM_TgaPlain_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaPlain_StbImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaRle_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaRle_StbImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgb_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgb_LibpngSimplified)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_LibjpegTurbo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Webp_Plugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Webp_WebPDecodeRGB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
