// pngflt32, loaded from the build's output folder as the program loads it.
// Pictures are made with libpng here and compared pixel by pixel.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>
#include <string.h>

#include "plugin_test_support.h"

using namespace plugin_test;

namespace {

// Packs samples into one stored PNG row of the given bit depth.
std::vector<uint8_t> Pack(const std::vector<int>& samples, int bitDepth) {
    std::vector<uint8_t> row;
    if (bitDepth == 16) {
        for (int s : samples) row.insert(row.end(), {static_cast<uint8_t>(s >> 8), static_cast<uint8_t>(s)});
        return row;
    }
    const int perByte = 8 / bitDepth;
    row.assign((samples.size() + perByte - 1) / perByte, 0);
    for (size_t k = 0; k < samples.size(); ++k) {
        const int shift = 8 - bitDepth * static_cast<int>(k % perByte + 1);
        row[k / perByte] |= static_cast<uint8_t>(samples[k] << shift);
    }
    return row;
}

uint8_t Level(int sample, int bitDepth) { return static_cast<uint8_t>(sample * 255 / ((1 << bitDepth) - 1)); }

class PngPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_ = &LoadPlugin("pngflt32");
        ASSERT_TRUE(plugin_->Loaded()) << plugin_->loadError;
    }

    std::string Save(const PngPicture& picture, const std::string& name = "picture.png") {
        const std::string path = dir_.Path(name);
        EXPECT_TRUE(WritePngFile(path, picture));
        return path;
    }
    DibPtr Read(const PngPicture& picture) { return DibPtr(plugin_->readGraphicFile(Save(picture).c_str())); }
    DibPtr Info(const PngPicture& picture) {
        return DibPtr(plugin_->getFileInformation(Save(picture).c_str()));
    }
    uint16_t Error() const { return plugin_->getError(nullptr); }

    const Plugin* plugin_ = nullptr;
    TempDir dir_;
};

const Rgb kWhite = {255, 255, 255};

// A palette picture of the given depth with an index pattern using every entry.
PngPicture PalettePicture(int bitDepth, uint32_t width, uint32_t height, size_t paletteSize) {
    PngPicture p;
    p.width = width;
    p.height = height;
    p.bitDepth = bitDepth;
    p.colourType = PNG_COLOR_TYPE_PALETTE;
    for (size_t i = 0; i < paletteSize; ++i) {
        p.palette.push_back({static_cast<uint8_t>(i * 11), static_cast<uint8_t>(200 - i), static_cast<uint8_t>(i * 3)});
    }
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<int> samples;
        for (uint32_t x = 0; x < width; ++x) samples.push_back(static_cast<int>((x + 3 * y) % paletteSize));
        p.rows.push_back(Pack(samples, bitDepth));
    }
    return p;
}

}  // namespace

TEST_F(PngPluginTest, DescribesItself) {
    EXPECT_STREQ(plugin_->getFileExtension(), "PNG");
    EXPECT_EQ(plugin_->getLibraryVersion(), 256);
    const std::string notice = plugin_->getNotice();
    EXPECT_EQ(notice.rfind("PNG supports from one to 24 bits of colour.\n\nPortions of this code are", 0), 0u);
    EXPECT_NE(notice.find("\n\nPortions of this code are", 50), std::string::npos);
    EXPECT_NE(notice.find("zlib"), std::string::npos);
    EXPECT_NE(notice.find("libpng"), std::string::npos);
    EXPECT_EQ(strchr(plugin_->getCopyright(), '\n'), nullptr);
}

// --- Palette pictures -------------------------------------------------------

TEST_F(PngPluginTest, PalettePicturesOfEveryDepthKeepTheirIndices) {
    struct Case {
        int bitDepth;
        int bitCount;
    } cases[] = {{1, 1}, {2, 4}, {4, 4}, {8, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitDepth);
        const size_t entries = size_t{1} << c.bitDepth;
        const PngPicture picture = PalettePicture(c.bitDepth, 13, 5, entries);
        DibPtr dib = Read(picture);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        EXPECT_EQ(r.BitCount(), c.bitCount);
        EXPECT_EQ(r.Header().coloursUsed, 1u << c.bitCount);
        for (size_t i = 0; i < entries; ++i) EXPECT_EQ(r.TableEntry(static_cast<int>(i)), picture.palette[i]);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(r.Index(x, y), static_cast<int>((x + 3 * y) % entries)) << x << "," << y;
            }
        }
        // The row padding beyond the picture stays clear.
        const uint8_t* lastRow = r.Row(4);
        for (size_t b = (13 * c.bitCount + 7) / 8; b < r.Stride(); ++b) EXPECT_EQ(lastRow[b], 0);
    }
}

TEST_F(PngPluginTest, TableEntriesBeyondThePngPaletteAreBlack) {
    DibPtr dib = Read(PalettePicture(8, 4, 1, 3));
    ASSERT_TRUE(dib);
    DibReader r(dib.get());
    EXPECT_EQ(r.TableEntry(2), (Rgb{22, 198, 6}));
    for (int i = 3; i < 256; ++i) EXPECT_EQ(r.TableEntry(i), (Rgb{0, 0, 0})) << i;
}

TEST_F(PngPluginTest, PaletteTransparencyIsBlendedIntoTheTable) {
    PngPicture p = PalettePicture(4, 3, 1, 3);
    p.palette = {{0, 0, 0}, {200, 100, 0}, {10, 20, 30}};
    p.paletteAlpha = {0, 255};  // entry 2 has no alpha: opaque
    DibPtr dib = Read(p);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.TableEntry(0), kWhite);
    EXPECT_EQ(r.TableEntry(1), (Rgb{200, 100, 0}));
    EXPECT_EQ(r.TableEntry(2), (Rgb{10, 20, 30}));
}

// --- Grey pictures ------------------------------------------------------------

TEST_F(PngPluginTest, GreyPicturesGetAGreyTable) {
    struct Case {
        int bitDepth;
        int bitCount;
    } cases[] = {{1, 1}, {2, 4}, {4, 4}, {8, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitDepth);
        const int levels = 1 << c.bitDepth;
        PngPicture p;
        p.width = 9;
        p.height = 2;
        p.bitDepth = c.bitDepth;
        p.colourType = PNG_COLOR_TYPE_GRAY;
        std::vector<int> samples;
        for (int x = 0; x < 9; ++x) samples.push_back((x * 5) % levels);
        p.rows = {Pack(samples, c.bitDepth), Pack(std::vector<int>(9, levels - 1), c.bitDepth)};
        DibPtr dib = Read(p);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        EXPECT_EQ(r.BitCount(), c.bitCount);
        EXPECT_EQ(r.TableEntry(0), (Rgb{0, 0, 0}));
        EXPECT_EQ(r.TableEntry(levels - 1), kWhite);
        for (int x = 0; x < 9; ++x) {
            const uint8_t g = Level(samples[x], c.bitDepth);
            EXPECT_EQ(r.Colour(x, 0), (Rgb{g, g, g})) << x;
            EXPECT_EQ(r.Colour(x, 1), kWhite);
        }
    }
}

TEST_F(PngPluginTest, SixteenBitGreyIsReducedToEightBits) {
    PngPicture p;
    p.width = 4;
    p.height = 1;
    p.bitDepth = 16;
    p.colourType = PNG_COLOR_TYPE_GRAY;
    p.rows = {Pack({0, 0xFFFF, 100 * 257, 7 * 257}, 16)};
    DibPtr dib = Read(p);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 8);
    EXPECT_EQ(r.Colour(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(r.Colour(1, 0), kWhite);
    EXPECT_EQ(r.Colour(2, 0), (Rgb{100, 100, 100}));
    EXPECT_EQ(r.Colour(3, 0), (Rgb{7, 7, 7}));
}

TEST_F(PngPluginTest, TransparentGreyLevelShowsThePaper) {
    for (int bitDepth : {2, 8, 16}) {
        SCOPED_TRACE(bitDepth);
        const int transparent = bitDepth == 16 ? 1000 : 1;
        PngPicture p;
        p.width = 3;
        p.height = 1;
        p.bitDepth = bitDepth;
        p.colourType = PNG_COLOR_TYPE_GRAY;
        p.hasTransparentColour = true;
        p.transparentGrey = static_cast<uint16_t>(transparent);
        p.rows = {Pack({0, transparent, 0}, bitDepth)};
        DibPtr dib = Read(p);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        EXPECT_EQ(r.Colour(0, 0), (Rgb{0, 0, 0}));
        EXPECT_EQ(r.Colour(1, 0), kWhite);
        EXPECT_EQ(r.Colour(2, 0), (Rgb{0, 0, 0}));
    }
}

TEST_F(PngPluginTest, GreyWithAlphaIsBlendedOverWhite) {
    for (int bitDepth : {8, 16}) {
        SCOPED_TRACE(bitDepth);
        const int full = bitDepth == 16 ? 0xFFFF : 255;
        const int half = bitDepth == 16 ? 0x8080 : 128;
        PngPicture p;
        p.width = 3;
        p.height = 1;
        p.bitDepth = bitDepth;
        p.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
        // Opaque dark grey, fully transparent black, half-transparent black.
        const int dark = bitDepth == 16 ? 60 * 257 : 60;
        p.rows = {Pack({dark, full, 0, 0, 0, half}, bitDepth)};
        DibPtr dib = Read(p);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        EXPECT_EQ(r.BitCount(), 8);
        EXPECT_EQ(r.Colour(0, 0), (Rgb{60, 60, 60}));
        EXPECT_EQ(r.Colour(1, 0), kWhite);
        const Rgb mid = r.Colour(2, 0);
        EXPECT_NEAR(mid[0], 127, 1);
        EXPECT_EQ(mid[0], mid[2]);
    }
}

// --- Colour pictures ----------------------------------------------------------

TEST_F(PngPluginTest, RgbPicturesBecomeBlueGreenRedRows) {
    PngPicture p;
    p.width = 3;  // nine bytes in a row of a twelve-byte stride
    p.height = 2;
    p.bitDepth = 8;
    p.colourType = PNG_COLOR_TYPE_RGB;
    p.rows = {{255, 0, 0, 0, 255, 0, 0, 0, 255}, {1, 2, 3, 4, 5, 6, 7, 8, 9}};
    DibPtr dib = Read(p);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 24);
    EXPECT_EQ(r.Header().coloursUsed, 0u);
    const uint8_t* top = r.Row(0);
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[2], 255);  // red lands in the third byte
    EXPECT_EQ(r.Colour(1, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(r.Colour(2, 1), (Rgb{7, 8, 9}));
    for (size_t b = 9; b < 12; ++b) EXPECT_EQ(top[b], 0);

    DibPtr info = Info(p);
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).BitCount(), 24);
    EXPECT_EQ(DibReader(info.get()).Header().xPixelsPerMeter, 0);

    // The picture's own resolution reaches the host.
    p.pixelsPerMetre = 11811;
    info = Info(p);
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).Header().xPixelsPerMeter, 11811);
    EXPECT_EQ(DibReader(info.get()).Header().yPixelsPerMeter, 11811);
}

TEST_F(PngPluginTest, SixteenBitColourIsReducedToEightBits) {
    PngPicture p;
    p.width = 2;
    p.height = 1;
    p.bitDepth = 16;
    p.colourType = PNG_COLOR_TYPE_RGB;
    p.rows = {Pack({255 * 257, 0, 10 * 257, 1 * 257, 2 * 257, 0xFFFF}, 16)};
    DibPtr dib = Read(p);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 24);
    EXPECT_EQ(r.Colour(0, 0), (Rgb{255, 0, 10}));
    EXPECT_EQ(r.Colour(1, 0), (Rgb{1, 2, 255}));
}

TEST_F(PngPluginTest, AlphaAndTransparentColourAreBlendedOverWhite) {
    for (int bitDepth : {8, 16}) {
        SCOPED_TRACE(bitDepth);
        const int scale = bitDepth == 16 ? 257 : 1;
        PngPicture rgba;
        rgba.width = 3;
        rgba.height = 1;
        rgba.bitDepth = bitDepth;
        rgba.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        rgba.rows = {Pack({10 * scale, 20 * scale, 30 * scale, 255 * scale,  // opaque
                           10 * scale, 20 * scale, 30 * scale, 0,            // clear
                           0, 0, 255 * scale, 128 * scale},                  // half blue
                          bitDepth)};
        DibPtr dib = Read(rgba);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        EXPECT_EQ(r.BitCount(), 24);
        EXPECT_EQ(r.Colour(0, 0), (Rgb{10, 20, 30}));
        EXPECT_EQ(r.Colour(1, 0), kWhite);
        const Rgb half = r.Colour(2, 0);
        EXPECT_NEAR(half[0], 127, 1);
        EXPECT_NEAR(half[1], 127, 1);
        EXPECT_EQ(half[2], 255);

        PngPicture keyed;
        keyed.width = 2;
        keyed.height = 1;
        keyed.bitDepth = bitDepth;
        keyed.colourType = PNG_COLOR_TYPE_RGB;
        keyed.hasTransparentColour = true;
        keyed.transparentRgb[0] = static_cast<uint16_t>(1 * scale);
        keyed.transparentRgb[1] = static_cast<uint16_t>(2 * scale);
        keyed.transparentRgb[2] = static_cast<uint16_t>(3 * scale);
        keyed.rows = {Pack({1 * scale, 2 * scale, 3 * scale, 1 * scale, 2 * scale, 4 * scale}, bitDepth)};
        dib = Read(keyed);
        ASSERT_TRUE(dib) << Error();
        DibReader k(dib.get());
        EXPECT_EQ(k.Colour(0, 0), kWhite);
        EXPECT_EQ(k.Colour(1, 0), (Rgb{1, 2, 4}));
    }
}

TEST_F(PngPluginTest, InterlacedPicturesMatchTheirPlainForm) {
    PngPicture colour;
    colour.width = 13;
    colour.height = 11;
    colour.bitDepth = 8;
    colour.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t y = 0; y < colour.height; ++y) {
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < colour.width; ++x) {
            row.insert(row.end(), {static_cast<uint8_t>(x * 19), static_cast<uint8_t>(y * 23),
                                   static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(x * y * 5)});
        }
        colour.rows.push_back(row);
    }
    for (const PngPicture& plain : {colour, PalettePicture(2, 13, 11, 4)}) {
        PngPicture interlaced = plain;
        interlaced.interlaced = true;
        DibPtr a(plugin_->readGraphicFile(Save(plain, "plain.png").c_str()));
        DibPtr b(plugin_->readGraphicFile(Save(interlaced, "interlaced.png").c_str()));
        ASSERT_TRUE(a && b) << Error();
        DibReader r(a.get());
        const size_t size = 40 + 4 * r.Header().coloursUsed + r.Header().imageSize;
        EXPECT_EQ(memcmp(a.get(), b.get(), size), 0);
    }
}

TEST_F(PngPluginTest, InformationBlockAgreesWithTheBitmap) {
    PngPicture grey16;
    grey16.width = 2;
    grey16.height = 2;
    grey16.bitDepth = 16;
    grey16.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    grey16.rows = {Pack({1, 2, 3, 4}, 16), Pack({5, 6, 7, 8}, 16)};
    for (const PngPicture& p : {PalettePicture(2, 7, 3, 4), PalettePicture(8, 7, 3, 10), grey16}) {
        DibPtr info = Info(p);
        DibPtr full = Read(p);
        ASSERT_TRUE(info && full);
        PackedDibHeader a = DibReader(info.get()).Header();
        PackedDibHeader b = DibReader(full.get()).Header();
        EXPECT_EQ(a.imageSize, 0u);
        b.imageSize = 0;
        EXPECT_EQ(memcmp(&a, &b, sizeof(a)), 0);
        EXPECT_EQ(memcmp(static_cast<uint8_t*>(info.get()) + 40, static_cast<uint8_t*>(full.get()) + 40,
                         4 * a.coloursUsed),
                  0);
    }
}

// --- Bad files ----------------------------------------------------------------

TEST_F(PngPluginTest, MissingFileIsAnOpenError) {
    EXPECT_EQ(plugin_->readGraphicFile(dir_.Path("absent.png").c_str()), nullptr);
    EXPECT_EQ(Error(), 1);
    EXPECT_EQ(plugin_->getFileInformation(dir_.Path("absent.png").c_str()), nullptr);
    char text[PLUGIN_ERROR_TEXT_SIZE];
    EXPECT_EQ(plugin_->getError(text), 1);
    EXPECT_STREQ(text, "Error opening the file");
}

TEST_F(PngPluginTest, DamagedFilesAreCorruptNeverOutOfMemory) {
    const std::string good = Save(PalettePicture(8, 40, 40, 200), "good.png");
    const std::vector<uint8_t> bytes = ReadBytes(good);
    ASSERT_GT(bytes.size(), 100u);

    std::vector<uint8_t> notPng(bytes.size(), 'x');
    std::vector<uint8_t> headerOnly(bytes.begin(), bytes.begin() + 20);
    std::vector<uint8_t> badCrc = bytes;
    badCrc[bytes.size() - 30] ^= 0xFF;  // inside the image data
    for (const auto& damaged : {notPng, headerOnly, std::vector<uint8_t>{}}) {
        const std::string path = dir_.Path("damaged.png");
        WriteBytes(path, damaged);
        EXPECT_EQ(plugin_->readGraphicFile(path.c_str()), nullptr);
        EXPECT_EQ(Error(), 2);
        EXPECT_EQ(plugin_->getFileInformation(path.c_str()), nullptr);
        EXPECT_EQ(Error(), 2);
    }
    // Damage after the header only shows when the pixels are read.
    std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size()) - 40);
    for (const auto& damaged : {truncated, badCrc}) {
        const std::string path = dir_.Path("damaged.png");
        WriteBytes(path, damaged);
        EXPECT_EQ(plugin_->readGraphicFile(path.c_str()), nullptr);
        EXPECT_EQ(Error(), 2);
        DibPtr info(plugin_->getFileInformation(path.c_str()));
        EXPECT_TRUE(info);
        EXPECT_EQ(Error(), 0);
    }
}

TEST_F(PngPluginTest, DamagedBytesAnywhereFailCleanly) {
    PngPicture p = PalettePicture(2, 21, 9, 4);
    p.interlaced = true;
    const std::vector<uint8_t> bytes = ReadBytes(Save(p, "good.png"));
    uint32_t seed = 7;
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> damaged = bytes;
        for (int hits = 0; hits < 3; ++hits) {
            seed = seed * 1664525u + 1013904223u;
            damaged[(seed >> 8) % damaged.size()] ^= static_cast<uint8_t>(seed | 1);
        }
        const std::string path = dir_.Path("damaged.png");
        WriteBytes(path, damaged);
        DibPtr dib(plugin_->readGraphicFile(path.c_str()));
        const uint16_t code = Error();
        EXPECT_TRUE(dib ? code == 0 : code == 2) << "round " << round << " code " << code;
    }
}

TEST_F(PngPluginTest, PicturesWiderThanABitmapCanHoldAreRefused) {
    PngPicture p;
    p.width = 70000;
    p.height = 1;
    p.bitDepth = 1;
    p.colourType = PNG_COLOR_TYPE_GRAY;
    p.rows = {std::vector<uint8_t>((70000 + 7) / 8, 0xAA)};
    EXPECT_EQ(Read(p), nullptr);
    EXPECT_EQ(Error(), 2);
    EXPECT_EQ(Info(p), nullptr);
    EXPECT_EQ(Error(), 2);
}

TEST_F(PngPluginTest, HugePicturesInTinyFilesAllocateNothing) {
    // A header claiming 60000 x 60000 true colour (10 GB of pixels) and no data.
    auto chunk = [](std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
        auto be32 = [&](uint32_t v) {
            for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(v >> shift));
        };
        be32(static_cast<uint32_t>(data.size()));
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        be32(static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(bytes, "IHDR", {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60, 8, 2, 0, 0, 0});
    std::vector<uint8_t> zeros(1000, 0), packed(2000);
    uLongf packedSize = static_cast<uLongf>(packed.size());
    ASSERT_EQ(compress(packed.data(), &packedSize, zeros.data(), static_cast<uLong>(zeros.size())), Z_OK);
    packed.resize(packedSize);
    chunk(bytes, "IDAT", packed);
    chunk(bytes, "IEND", {});
    const std::string path = dir_.Path("huge.png");
    WriteBytes(path, bytes);
    EXPECT_EQ(plugin_->readGraphicFile(path.c_str()), nullptr);
    EXPECT_EQ(Error(), 2);
    DibPtr info(plugin_->getFileInformation(path.c_str()));
    EXPECT_NE(info, nullptr);
}

TEST_F(PngPluginTest, AChunkClaimingGigabytesIsADamagedFile) {
    // Found by fuzzing: an ancillary chunk whose length says 1.9 GB (header
    // checksum put right, as the fuzzer does).  It must
    // neither be allocated nor be taken for memory running out (which ends the
    // program).
    const std::vector<uint8_t> bytes = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x04, 0x04, 0x03, 0x00, 0x00, 0x00, 0xb4, 0x1d, 0xe8, 0x73, 0x73, 0x00, 0x00, 0x30, 0x73, 0x50, 0x4c, 0x54, 0x99, 0x01, 0x06, 0xae, 0x42, 0x60, 0x82};
    const std::string path = dir_.Path("chunk.png");
    WriteBytes(path, bytes);
    EXPECT_EQ(plugin_->readGraphicFile(path.c_str()), nullptr);
    EXPECT_EQ(Error(), 2);
}

// --- Writing ------------------------------------------------------------------

class PngWriteTest : public PngPluginTest {
protected:
    std::string Write(const DibPtr& dib) {
        const std::string path = dir_.Path("out.png");
        EXPECT_EQ(plugin_->writeGraphicFile(path.c_str(), dib.get()), 1);
        EXPECT_EQ(Error(), 0);
        return path;
    }
};

TEST_F(PngWriteTest, TwentyFourBitBitmapBecomesAnRgbPngTopRowFirst) {
    const std::vector<Rgb> colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}, {1, 2, 3}, {4, 5, 6}};
    DibPtr dib = MakeColourDib(3, 2, colours);
    const std::string path = Write(dib);
    PngPicture written;
    ASSERT_TRUE(ReadPngFile(path, &written));
    EXPECT_EQ(written.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(written.bitDepth, 8);
    EXPECT_FALSE(written.interlaced);
    EXPECT_EQ(written.rows[0], (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255}));
    EXPECT_EQ(written.rows[1], (std::vector<uint8_t>{9, 8, 7, 1, 2, 3, 4, 5, 6}));

    DibPtr back(plugin_->readGraphicFile(path.c_str()));
    ASSERT_TRUE(back);
    const size_t size = 40 + DibReader(dib.get()).Header().imageSize;
    EXPECT_EQ(memcmp(back.get(), dib.get(), size), 0);
}

TEST_F(PngWriteTest, IndexedBitmapsBecomePalettePngsOfTheirDepth) {
    for (int depth : {1, 4, 8}) {
        SCOPED_TRACE(depth);
        const int entries = 1 << depth;
        std::vector<Rgb> palette;
        for (int i = 0; i < entries; ++i) palette.push_back({static_cast<uint8_t>(i), 50, static_cast<uint8_t>(255 - i)});
        std::vector<uint8_t> indices;
        for (int i = 0; i < 11 * 3; ++i) indices.push_back(static_cast<uint8_t>((i * 7) % entries));
        DibPtr dib = MakeIndexedDib(11, 3, depth, palette, indices);
        const std::string path = Write(dib);

        PngPicture written;
        ASSERT_TRUE(ReadPngFile(path, &written));
        EXPECT_EQ(written.colourType, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(written.bitDepth, depth);
        EXPECT_EQ(written.palette, palette);

        DibPtr back(plugin_->readGraphicFile(path.c_str()));
        ASSERT_TRUE(back);
        const DibReader r(back.get());
        const size_t size = 40 + 4 * r.Header().coloursUsed + r.Header().imageSize;
        EXPECT_EQ(memcmp(back.get(), dib.get(), size), 0);
    }
}

TEST_F(PngWriteTest, SixteenAndThirtyTwoBitBitmapsBecomeRgb) {
    uint8_t hi[40 + 4] = {};
    PackedDibHeader h{};
    h.headerSize = 40;
    h.width = 2;
    h.height = 1;
    h.planes = 1;
    h.bitCount = 16;
    memcpy(hi, &h, sizeof(h));
    const uint8_t hiPixels[4] = {0x00, 0x7C, 0xE0, 0x03};  // red, green
    memcpy(hi + 40, hiPixels, 4);
    uint8_t wide[40 + 8] = {};
    h.bitCount = 32;
    memcpy(wide, &h, sizeof(h));
    const uint8_t widePixels[8] = {10, 20, 30, 99, 40, 50, 60, 99};
    memcpy(wide + 40, widePixels, 8);

    const std::string path = dir_.Path("out.png");
    PngPicture written;
    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), hi), 1);
    ASSERT_TRUE(ReadPngFile(path, &written));
    EXPECT_EQ(written.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(written.rows[0], (std::vector<uint8_t>{255, 0, 0, 0, 255, 0}));

    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), wide), 1);
    ASSERT_TRUE(ReadPngFile(path, &written));
    EXPECT_EQ(written.rows[0], (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
}

TEST_F(PngWriteTest, FailuresLeaveNoFileBehind) {
    DibPtr dib = MakeColourDib(1, 1, {{1, 2, 3}});
    EXPECT_EQ(plugin_->writeGraphicFile(dir_.Path("no/such/folder.png").c_str(), dib.get()), 0);
    EXPECT_EQ(Error(), 6);
    EXPECT_EQ(plugin_->writeGraphicFile(dir_.Path("null.png").c_str(), nullptr), 0);
    EXPECT_EQ(Error(), 5);
    EXPECT_FALSE(FileExists(dir_.Path("null.png")));
}

namespace {

struct LimitedWrite {
    const Plugin* plugin;
    std::string path;
};

// Exit status 0: the write failed with code 7 and removed its file.
int WriteNoisyPng(void* context) {
    auto* job = static_cast<LimitedWrite*>(context);
    std::vector<Rgb> colours;
    uint32_t seed = 12345;
    for (int i = 0; i < 300 * 300; ++i) {
        seed = seed * 1103515245u + 12345u;
        colours.push_back({static_cast<uint8_t>(seed >> 24), static_cast<uint8_t>(seed >> 16),
                           static_cast<uint8_t>(seed >> 8)});
    }
    DibPtr dib = MakeColourDib(300, 300, colours);
    if (job->plugin->writeGraphicFile(job->path.c_str(), dib.get()) != 0) return 1;
    if (job->plugin->getError(nullptr) != 7) return 2;
    return FileExists(job->path) ? 3 : 0;
}

}  // namespace

TEST_F(PngWriteTest, AFailedWriteIsReportedAndDeleted) {
    LimitedWrite job{plugin_, dir_.Path("big.png")};
    EXPECT_EQ(RunWithFileSizeLimit(8192, WriteNoisyPng, &job), 0);
}
