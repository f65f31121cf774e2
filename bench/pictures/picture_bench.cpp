// How fast the plugins decode large pictures, measured against stb_image (TGA)
// and libpng's simplified API (PNG) on the same files in the same run.
//
//   build/bin/reelcard_picture_bench --benchmark_repetitions=5

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <png.h>
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

struct Files {
    std::string folder, tga, tgaRle, png;
    Files() {
        folder = (std::filesystem::temp_directory_path() / "reelcard-picture-bench").string();
        std::filesystem::create_directories(folder);
        tga = folder + "/plain.tga";
        tgaRle = folder + "/rle.tga";
        png = folder + "/rgb.png";
        auto rgb = MakePixels();
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
    static Plugin tga("tgaflt32.so"), png("pngflt32.so");
    Plugin& plugin = std::string(library) == "tgaflt32.so" ? tga : png;
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

}  // namespace

BENCHMARK_MAIN();
