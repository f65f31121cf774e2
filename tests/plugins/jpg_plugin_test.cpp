// jpgflt32, loaded from the build's output folder as the program loads it.
// The pictures are made here with libjpeg-turbo, and the plugin's pixels are
// compared with what the same library decodes from the same bytes.
#include <gtest/gtest.h>
#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <tuple>

#include <jpeglib.h>

#include "plugin_test_support.h"

using namespace plugin_test;

namespace {

struct JpegSpec {
    int width = 24;
    int height = 16;
    int components = 3;
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_UNKNOWN;  // the library's default for the input
    bool progressive = false;
    bool arithmetic = false;
    int restartRows = 0;
    int quality = 95;
    bool adobeMarker = true;
    std::vector<uint8_t> exif;  // APP1 body
    int densityUnit = 0;        // JFIF: 0 proportions only, 1 per inch, 2 per cm
    int xDensity = 1, yDensity = 1;
};

struct JpegFail {
    jpeg_error_mgr base;
    jmp_buf jump;
};

[[noreturn]] void Fail(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegFail*>(cinfo->err)->jump, 1); }

// A picture whose every pixel differs from its neighbours, so that turns and
// mirrors show.
std::vector<uint8_t> Pattern(const JpegSpec& s) {
    std::vector<uint8_t> samples(static_cast<size_t>(s.width) * s.height * s.components);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>((i * 37 + i / 7 * 11) & 0xFF);
    return samples;
}

std::vector<uint8_t> Encode(const JpegSpec& s, const std::vector<uint8_t>& samples) {
    jpeg_compress_struct cinfo;
    JpegFail err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = Fail;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(out);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(s.width);
    cinfo.image_height = static_cast<JDIMENSION>(s.height);
    cinfo.input_components = s.components;
    cinfo.in_color_space = s.input;
    jpeg_set_defaults(&cinfo);
    if (s.stored != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, s.stored);
    cinfo.write_Adobe_marker = s.adobeMarker ? cinfo.write_Adobe_marker : FALSE;
    jpeg_set_quality(&cinfo, s.quality, TRUE);
    cinfo.density_unit = static_cast<UINT8>(s.densityUnit);
    cinfo.X_density = static_cast<UINT16>(s.xDensity);
    cinfo.Y_density = static_cast<UINT16>(s.yDensity);
    if (s.progressive) jpeg_simple_progression(&cinfo);
    cinfo.arith_code = s.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = s.restartRows;
    jpeg_start_compress(&cinfo, TRUE);
    if (!s.exif.empty()) {
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, s.exif.data(), static_cast<unsigned>(s.exif.size()));
    }
    const size_t rowBytes = static_cast<size_t>(s.width) * s.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(samples.data()) + rowBytes * cinfo.next_scanline;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + size);
    free(out);
    return bytes;
}

// The library's own decode: top row first, in the colour space asked for.
struct Decoded {
    int width = 0;
    int height = 0;
    int components = 0;
    bool adobe = false;
    std::vector<uint8_t> samples;
};

Decoded DecodeDirectly(const std::vector<uint8_t>& bytes, J_COLOR_SPACE out) {
    Decoded d;
    jpeg_decompress_struct cinfo;
    JpegFail err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = Fail;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = out;
    jpeg_start_decompress(&cinfo);
    d.width = static_cast<int>(cinfo.output_width);
    d.height = static_cast<int>(cinfo.output_height);
    d.components = cinfo.output_components;
    d.adobe = cinfo.saw_Adobe_marker;
    d.samples.resize(static_cast<size_t>(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.samples.data() + static_cast<size_t>(d.width) * d.components * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return d;
}

// An EXIF block carrying only an orientation, in either byte order.
std::vector<uint8_t> ExifWithOrientation(int orientation, bool bigEndian) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
    auto u16 = [&](uint16_t v) {
        if (bigEndian) {
            b.push_back(static_cast<uint8_t>(v >> 8));
            b.push_back(static_cast<uint8_t>(v));
        } else {
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
        }
    };
    auto u32 = [&](uint32_t v) {
        if (bigEndian) {
            u16(static_cast<uint16_t>(v >> 16));
            u16(static_cast<uint16_t>(v));
        } else {
            u16(static_cast<uint16_t>(v));
            u16(static_cast<uint16_t>(v >> 16));
        }
    };
    b.push_back(bigEndian ? 'M' : 'I');
    b.push_back(bigEndian ? 'M' : 'I');
    u16(42);
    u32(8);
    u16(2);                    // two entries
    u16(0x010F), u16(2), u32(4), u32(0x00616263);  // Make, ASCII "abc"
    u16(0x0112), u16(3), u32(1), u16(static_cast<uint16_t>(orientation)), u16(0);
    u32(0);
    return b;
}

// An EXIF block with only a resolution (XResolution, YResolution as
// rationals, ResolutionUnit 2: inches), little-endian.
std::vector<uint8_t> ExifWithResolution(uint32_t x, uint32_t y) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](uint16_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    };
    const uint32_t rationals = 8 + 2 + 3 * 12 + 4;  // after the directory
    u16(3);
    u16(0x011A), u16(5), u32(1), u32(rationals);
    u16(0x011B), u16(5), u32(1), u32(rationals + 8);
    u16(0x0128), u16(3), u32(1), u16(2), u16(0);
    u32(0);
    u32(x), u32(1), u32(y * 2), u32(2);
    return b;
}

class JpgPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_ = &LoadPlugin("jpgflt32");
        ASSERT_TRUE(plugin_->Loaded()) << plugin_->loadError;
    }
    DibPtr Read(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.jpg");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->readGraphicFile(path.c_str()));
    }
    DibPtr Info(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.jpg");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->getFileInformation(path.c_str()));
    }
    uint16_t Error() const { return plugin_->getError(nullptr); }

    // Every pixel of the plugin's bitmap against the library's own RGB decode.
    void ExpectSameAsLibrary(const std::vector<uint8_t>& bytes) {
        const Decoded d = DecodeDirectly(bytes, JCS_RGB);
        ASSERT_GT(d.width, 0);
        DibPtr dib = Read(bytes);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        ASSERT_EQ(r.Width(), d.width);
        ASSERT_EQ(r.Height(), d.height);
        ASSERT_EQ(r.BitCount(), 24);
        for (int y = 0; y < d.height; ++y) {
            for (int x = 0; x < d.width; ++x) {
                const uint8_t* p = d.samples.data() + (static_cast<size_t>(y) * d.width + x) * 3;
                ASSERT_EQ(r.Colour(x, y), (Rgb{p[0], p[1], p[2]})) << x << "," << y;
            }
        }
    }

    const Plugin* plugin_ = nullptr;
    TempDir dir_;
};

TEST_F(JpgPluginTest, DescribesItself) {
    EXPECT_STREQ(plugin_->getFileExtension(), "JPG");
    EXPECT_EQ(plugin_->getLibraryVersion(), 256);
}

TEST_F(JpgPluginTest, ColourPicturesOfEveryCodingMatchTheLibraryExactly) {
    JpegSpec spec;
    spec.width = 37;
    spec.height = 21;
    const std::vector<uint8_t> pixels = Pattern(spec);
    ExpectSameAsLibrary(Encode(spec, pixels));
    spec.progressive = true;
    ExpectSameAsLibrary(Encode(spec, pixels));
    spec.progressive = false;
    spec.restartRows = 1;
    ExpectSameAsLibrary(Encode(spec, pixels));
    spec.arithmetic = true;
    const std::vector<uint8_t> arithmetic = Encode(spec, pixels);
    ASSERT_FALSE(arithmetic.empty());
    ExpectSameAsLibrary(arithmetic);
    // Stored as RGB rather than YCbCr.
    spec = JpegSpec{};
    spec.stored = JCS_RGB;
    ExpectSameAsLibrary(Encode(spec, Pattern(spec)));
}

TEST_F(JpgPluginTest, GreyPicturesBecomeEightBitsWithAGreyTable) {
    JpegSpec spec;
    spec.components = 1;
    spec.input = JCS_GRAYSCALE;
    const std::vector<uint8_t> bytes = Encode(spec, Pattern(spec));
    const Decoded d = DecodeDirectly(bytes, JCS_GRAYSCALE);
    DibPtr dib = Read(bytes);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    ASSERT_EQ(r.BitCount(), 8);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(r.TableEntry(i), (Rgb{uint8_t(i), uint8_t(i), uint8_t(i)}));
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) ASSERT_EQ(r.Index(x, y), d.samples[static_cast<size_t>(y) * d.width + x]);
    }
}

TEST_F(JpgPluginTest, CmykIsTurnedToRgbPlainAndAdobeInverted) {
    for (bool adobe : {true, false}) {
        JpegSpec spec;
        spec.components = 4;
        spec.input = JCS_CMYK;
        spec.stored = JCS_CMYK;
        spec.adobeMarker = adobe;
        const std::vector<uint8_t> bytes = Encode(spec, Pattern(spec));
        const Decoded d = DecodeDirectly(bytes, JCS_CMYK);
        ASSERT_EQ(d.adobe, adobe);
        DibPtr dib = Read(bytes);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        ASSERT_EQ(r.BitCount(), 24);
        auto light = [adobe](unsigned c, unsigned k) {
            if (!adobe) c = 255 - c, k = 255 - k;
            return static_cast<uint8_t>((c * k + 127) / 255);
        };
        for (int y = 0; y < d.height; ++y) {
            for (int x = 0; x < d.width; ++x) {
                const uint8_t* p = d.samples.data() + (static_cast<size_t>(y) * d.width + x) * 4;
                ASSERT_EQ(r.Colour(x, y), (Rgb{light(p[0], p[3]), light(p[1], p[3]), light(p[2], p[3])}))
                    << adobe << " " << x << "," << y;
            }
        }
    }
}

TEST_F(JpgPluginTest, ExifOrientationsStandThePictureUpright) {
    JpegSpec spec;
    spec.width = 5;
    spec.height = 3;
    const std::vector<uint8_t> pixels = Pattern(spec);
    DibPtr plain = Read(Encode(spec, pixels));
    ASSERT_TRUE(plain);
    DibReader p(plain.get());
    const int w = spec.width, h = spec.height;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (bool big : {false, true}) {
            JpegSpec turned = spec;
            turned.exif = ExifWithOrientation(orientation, big);
            const std::vector<uint8_t> bytes = Encode(turned, pixels);
            DibPtr info = Info(bytes);
            DibPtr dib = Read(bytes);
            ASSERT_TRUE(dib && info) << orientation;
            DibReader r(dib.get());
            const bool swapped = orientation >= 5;
            ASSERT_EQ(r.Width(), swapped ? h : w) << orientation;
            ASSERT_EQ(r.Height(), swapped ? w : h) << orientation;
            EXPECT_EQ(DibReader(info.get()).Width(), r.Width());
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    int ox = x, oy = y;
                    switch (orientation) {
                        case 2: ox = w - 1 - x; break;
                        case 3: ox = w - 1 - x, oy = h - 1 - y; break;
                        case 4: oy = h - 1 - y; break;
                        case 5: ox = y, oy = x; break;
                        case 6: ox = h - 1 - y, oy = x; break;
                        case 7: ox = h - 1 - y, oy = w - 1 - x; break;
                        case 8: ox = y, oy = w - 1 - x; break;
                        default: break;
                    }
                    ASSERT_EQ(r.Colour(ox, oy), p.Colour(x, y)) << orientation << " " << x << "," << y;
                }
            }
        }
    }
}

// The picture's own resolution reaches the host as pixels per metre: the JFIF
// density (per inch or per centimetre), else the EXIF one, else none.
TEST_F(JpgPluginTest, TheFilesResolutionIsGivenInPixelsPerMetre) {
    auto resolution = [&](const JpegSpec& spec) {
        DibPtr info = Info(Encode(spec, Pattern(spec)));
        EXPECT_TRUE(info);
        if (!info) return std::pair<int, int>{-1, -1};
        const PackedDibHeader h = DibReader(info.get()).Header();
        return std::pair<int, int>{h.xPixelsPerMeter, h.yPixelsPerMeter};
    };
    JpegSpec spec;
    spec.densityUnit = 1;
    spec.xDensity = 300;
    spec.yDensity = 150;
    EXPECT_EQ(resolution(spec), (std::pair<int, int>{11811, 5906}));
    spec.densityUnit = 2;
    spec.xDensity = spec.yDensity = 40;
    EXPECT_EQ(resolution(spec), (std::pair<int, int>{4000, 4000}));
    spec.densityUnit = 0;
    EXPECT_EQ(resolution(spec), (std::pair<int, int>{0, 0}));
    spec.exif = ExifWithResolution(72, 96);
    EXPECT_EQ(resolution(spec), (std::pair<int, int>{2835, 3780}));
}

TEST_F(JpgPluginTest, TwelveBitPicturesAreRefused) {
    std::vector<uint8_t> bytes = Encode(JpegSpec{}, Pattern(JpegSpec{}));
    // The start-of-frame marker turned into the extended kind with 12 bits.
    bool patched = false;
    for (size_t i = 0; i + 4 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 1] = 0xC1;
            bytes[i + 4] = 12;
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    EXPECT_EQ(Read(bytes), nullptr);
    EXPECT_EQ(Error(), 2);
    EXPECT_EQ(Info(bytes), nullptr);
    EXPECT_EQ(Error(), 2);
}

TEST_F(JpgPluginTest, TruncatedAndDamagedFilesFailCleanlyAtEveryCut) {
    JpegSpec spec;
    spec.width = 9;
    spec.height = 7;
    spec.quality = 50;
    spec.progressive = true;
    const std::vector<uint8_t> whole = Encode(spec, Pattern(spec));
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
        DibPtr dib = Read(part);
        if (!dib) {
            const uint16_t code = Error();
            EXPECT_TRUE(code == 2 || code == 3) << cut << " " << code;
        } else {
            EXPECT_GE(cut, whole.size() - 2) << "a picture missing its data was shown: " << cut;
        }
    }
    // Scrambled bytes in the middle: never a crash, never "out of memory".
    for (size_t at = 2; at < whole.size(); at += 7) {
        std::vector<uint8_t> bad = whole;
        bad[at] ^= 0x5A;
        DibPtr dib = Read(bad);
        if (!dib) {
            EXPECT_NE(Error(), 4) << at;
        }
    }
    EXPECT_EQ(Read({'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}), nullptr);
    EXPECT_EQ(Error(), 2);
    EXPECT_EQ(plugin_->readGraphicFile(dir_.Path("missing.jpg").c_str()), nullptr);
    EXPECT_EQ(Error(), 1);
}

TEST_F(JpgPluginTest, AGiantPictureClaimedInAFewBytesAllocatesNothing) {
    std::vector<uint8_t> bytes = Encode(JpegSpec{}, Pattern(JpegSpec{}));
    for (size_t i = 0; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            // 65500 x 65500, the most the library takes.
            for (size_t k = 5; k < 9; k += 2) bytes[i + k] = 0xFF, bytes[i + k + 1] = 0xDC;
            break;
        }
    }
    DibPtr info = Info(bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).Width(), 65500);
    EXPECT_EQ(Read(bytes), nullptr);  // 12 GB of pixels from under a kilobyte
    EXPECT_EQ(Error(), 2);
}

// A small picture whose frame header claims `width` x `height`, padded with
// comments before its scan to `size` bytes: the file looks large enough for
// the picture, but its scan holds a few hundred bytes.
std::vector<uint8_t> PaddedBomb(uint16_t width, uint16_t height, bool arithmetic, size_t size) {
    JpegSpec spec;
    spec.width = spec.height = 8;
    spec.arithmetic = arithmetic;
    std::vector<uint8_t> bytes = Encode(spec, Pattern(spec));
    size_t scan = 0;
    for (size_t i = 2; i + 8 < bytes.size(); ++i) {
        if (bytes[i] != 0xFF) continue;
        if (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC9) {  // frame header, Huffman or arithmetic
            bytes[i + 5] = static_cast<uint8_t>(height >> 8), bytes[i + 6] = static_cast<uint8_t>(height);
            bytes[i + 7] = static_cast<uint8_t>(width >> 8), bytes[i + 8] = static_cast<uint8_t>(width);
        }
        if (bytes[i + 1] == 0xDA) {
            scan = i;
            break;
        }
    }
    std::vector<uint8_t> padding;
    while (bytes.size() + padding.size() < size) {
        const size_t length = std::min<size_t>(65533, size - bytes.size() - padding.size());
        padding.insert(padding.end(), {0xFF, 0xFE, static_cast<uint8_t>((length + 2) >> 8),
                                       static_cast<uint8_t>(length + 2)});
        padding.insert(padding.end(), length, 'x');
    }
    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(scan), padding.begin(), padding.end());
    KeepBomb("padded-" + std::to_string(width) + (arithmetic ? "-arithmetic" : "") + ".jpg", bytes);
    return bytes;
}

TEST_F(JpgPluginTest, APictureCostsNoMoreThanItsScanHoldsOrThePixelLimitAllows) {
    // The sizes claimed are refused at once, however the file is padded.
    for (const auto& [side, arithmetic, size] :
         {std::tuple{uint16_t{32768}, true, size_t{800 * 1024}}, std::tuple{uint16_t{65500}, false, size_t{3300 * 1024}},
          std::tuple{uint16_t{6000}, true, size_t{40 * 1024}}}) {
        const std::vector<uint8_t> bomb = PaddedBomb(side, side, arithmetic, size);
        ASSERT_TRUE(Info(bomb)) << side;
        EXPECT_EQ(Read(bomb), nullptr) << side;
        EXPECT_EQ(Error(), 2) << side;
    }

    // An honest picture over the limit is refused as damaged; the setting
    // lets it through.
    JpegSpec spec;
    spec.width = 1200;
    spec.height = 1000;
    const std::vector<uint8_t> honest = Encode(spec, Pattern(spec));
    {
        PixelLimit limit("1");
        EXPECT_EQ(Read(honest), nullptr);
        EXPECT_EQ(Error(), 2);
    }
    PixelLimit limit("2");
    EXPECT_TRUE(Read(honest)) << Error();
}

TEST_F(JpgPluginTest, WritesBaselineJpegAtQualityNinety) {
    std::vector<Rgb> colours;
    for (int i = 0; i < 32 * 16; ++i) colours.push_back({uint8_t(i / 32 * 16), 128, uint8_t(i % 32 * 8)});
    DibPtr dib = MakeColourDib(32, 16, colours);
    const std::string path = dir_.Path("written.jpg");
    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), dib.get()), 1);
    const std::vector<uint8_t> bytes = ReadBytes(path);
    bool baseline = false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) baseline = baseline || (bytes[i] == 0xFF && bytes[i + 1] == 0xC0);
    EXPECT_TRUE(baseline);
    const Decoded d = DecodeDirectly(bytes, JCS_RGB);
    ASSERT_EQ(d.width, 32);
    ASSERT_EQ(d.height, 16);
    for (int i = 0; i < 32 * 16; ++i) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(d.samples[static_cast<size_t>(i) * 3 + c], colours[i][c], 12) << i;
    }
    EXPECT_EQ(plugin_->writeGraphicFile(dir_.Path("no/such/folder.jpg").c_str(), dib.get()), 0);
    EXPECT_EQ(Error(), 6);
}

}  // namespace
