#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "pictures/bmp_reader.h"
#include "pictures/picture_image.h"
#include "pictures/picture_test_support.h"
#include "support/test_support.h"

// Picture descriptions name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace picture_test;

namespace {

const QRgb kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF,
           kBlack = 0x000000, kGrey = 0x808080;

uint32_t Field32(const void* block, size_t at) {
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(block) + at, 4);
    return v;
}
uint16_t Field16(const void* block, size_t at) {
    uint16_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(block) + at, 2);
    return v;
}

class BmpReaderTest : public ::testing::Test {
protected:
    std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "p.bmp") {
        std::string path = folder_.Path(name);
        WriteBytes(path, bytes);
        return path;
    }
    DibPtr Read(const std::vector<uint8_t>& bytes) {
        return DibPtr(BmpReadGraphicFile(Write(bytes).c_str()));
    }
    DibPtr Info(const std::vector<uint8_t>& bytes) {
        return DibPtr(BmpGetFileInformation(Write(bytes).c_str()));
    }
    // Both operations refuse the file with `code`.
    void ExpectRefused(const std::vector<uint8_t>& bytes, uint16_t code) {
        EXPECT_EQ(Read(bytes), nullptr);
        EXPECT_EQ(BmpGetError(nullptr), code);
    }

    TempFolder folder_;
};

// A 3 by 2 picture: top row red, green, blue; bottom row white, black, grey.
const std::vector<std::vector<uint32_t>> kColours = {{0xFF0000, 0x00FF00, 0x0000FF},
                                                     {0xFFFFFF, 0x000000, 0x808080}};

void ExpectColours(const void* dib) {
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(PixelOf(dib, 0, 0), kRed);
    EXPECT_EQ(PixelOf(dib, 1, 0), kGreen);
    EXPECT_EQ(PixelOf(dib, 2, 0), kBlue);
    EXPECT_EQ(PixelOf(dib, 0, 1), kWhite);
    EXPECT_EQ(PixelOf(dib, 1, 1), kBlack);
    EXPECT_EQ(PixelOf(dib, 2, 1), kGrey);
}

TEST_F(BmpReaderTest, ReadsEveryDepthWithRightPixels) {
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        BmpSpec spec{.width = 3, .height = 2, .bitCount = static_cast<uint16_t>(bits)};
        spec.pixels = PackRows(3, kColours, bits, true);
        DibPtr dib = Read(MakeBmp(spec));
        ExpectColours(dib.get());
        EXPECT_EQ(BmpGetError(nullptr), 0);
        EXPECT_EQ(Field32(dib.get(), 8), 2u);
    }
    // Indexed depths: the same picture through a colour table.
    const std::vector<QRgb> palette = {kRed, kGreen, kBlue, kWhite, kBlack, kGrey};
    const std::vector<std::vector<uint32_t>> indices = {{0, 1, 2}, {3, 4, 5}};
    for (int bits : {4, 8}) {
        SCOPED_TRACE(bits);
        BmpSpec spec{.width = 3, .height = 2, .bitCount = static_cast<uint16_t>(bits)};
        spec.palette = palette;
        spec.palette.resize(size_t{1} << bits, kBlack);
        spec.pixels = PackRows(3, indices, bits, true);
        ExpectColours(Read(MakeBmp(spec)).get());
    }
    // One bit: nine pixels so that a row spills into a second byte.
    BmpSpec mono{.width = 9, .height = 1, .bitCount = 1};
    mono.palette = {kBlack, kWhite};
    mono.pixels = PackRows(9, {{1, 0, 0, 0, 0, 0, 0, 1, 1}}, 1, true);
    DibPtr dib = Read(MakeBmp(mono));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(PixelOf(dib.get(), 0, 0), kWhite);
    EXPECT_EQ(PixelOf(dib.get(), 1, 0), kBlack);
    EXPECT_EQ(PixelOf(dib.get(), 7, 0), kWhite);
    EXPECT_EQ(PixelOf(dib.get(), 8, 0), kWhite);
    // Sixteen bits: five bits each of red, green, blue.
    BmpSpec rgb555{.width = 2, .height = 1, .bitCount = 16};
    rgb555.pixels = PackRows(2, {{0x7C00, 0x001F}}, 16, true);
    dib = Read(MakeBmp(rgb555));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(PixelOf(dib.get(), 0, 0), kRed);
    EXPECT_EQ(PixelOf(dib.get(), 1, 0), kBlue);
}

TEST_F(BmpReaderTest, TopDownPicturesComeOutBottomUp) {
    BmpSpec spec{.width = 3, .height = -2, .bitCount = 24};
    spec.pixels = PackRows(3, kColours, 24, false);
    DibPtr dib = Read(MakeBmp(spec));
    ExpectColours(dib.get());
    EXPECT_EQ(static_cast<int32_t>(Field32(dib.get(), 8)), 2);

    DibPtr info = Info(MakeBmp(spec));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(static_cast<int32_t>(Field32(info.get(), 8)), 2);
}

TEST_F(BmpReaderTest, BareHeaderWithoutFileHeader) {
    BmpSpec spec{.width = 3, .height = 2, .bitCount = 24, .fileHeader = false};
    spec.pixels = PackRows(3, kColours, 24, true);
    ExpectColours(Read(MakeBmp(spec)).get());
}

TEST_F(BmpReaderTest, CoreHeaderBecomesFortyByteHeaderWithFourByteEntries) {
    BmpSpec spec{.width = 3, .height = 2, .bitCount = 4, .coreHeader = true};
    spec.palette = {kRed, kGreen, kBlue, kWhite, kBlack, kGrey};
    spec.palette.resize(16, kBlack);
    spec.pixels = PackRows(3, {{0, 1, 2}, {3, 4, 5}}, 4, true);
    DibPtr dib = Read(MakeBmp(spec));
    ExpectColours(dib.get());
    EXPECT_EQ(Field32(dib.get(), 0), 40u);
    EXPECT_EQ(Field32(dib.get(), 4), 3u);
    EXPECT_EQ(Field16(dib.get(), 14), 4);
    EXPECT_EQ(Field32(dib.get(), 32), 16u);
    const uint8_t* table = static_cast<const uint8_t*>(dib.get()) + 40;
    EXPECT_EQ(table[2 * 4 + 0], 0xFF);  // blue entry: blue, green, red, 0
    EXPECT_EQ(table[2 * 4 + 2], 0x00);
    EXPECT_EQ(table[5 * 4 + 1], 0x80);
    EXPECT_EQ(table[5 * 4 + 3], 0x00);

    // A tiny core picture is shorter than a 40-byte header and still read.
    BmpSpec tiny{.width = 1, .height = 1, .bitCount = 24, .coreHeader = true};
    tiny.pixels = PackRows(1, {{0x00FF00}}, 24, true);
    ASSERT_LT(MakeBmp(tiny).size(), 14u + 40u);
    dib = Read(MakeBmp(tiny));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(PixelOf(dib.get(), 0, 0), kGreen);
}

TEST_F(BmpReaderTest, PixelOffsetAndColoursUsed) {
    // Two colours used by an 8-bit picture, and pixels placed after a gap.
    BmpSpec spec{.width = 2, .height = 1, .bitCount = 8, .coloursUsed = 2};
    spec.palette = {kBlue, kRed};
    spec.pixels = PackRows(2, {{1, 0}}, 8, true);
    spec.gap = 10;
    DibPtr dib = Read(MakeBmp(spec));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(Field32(dib.get(), 32), 2u);
    EXPECT_EQ(PixelOf(dib.get(), 0, 0), kRed);
    EXPECT_EQ(PixelOf(dib.get(), 1, 0), kBlue);

    // The colours-used field counts by its low 16 bits.
    spec.coloursUsed = 0x10002;
    spec.gap = 0;
    dib = Read(MakeBmp(spec));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(Field32(dib.get(), 32), 2u);
    EXPECT_EQ(PixelOf(dib.get(), 0, 0), kRed);
}

TEST_F(BmpReaderTest, InformationReadsOnlyHeaderAndColourTable) {
    BmpSpec spec{.width = 96, .height = 48, .bitCount = 8};
    spec.palette.assign(256, kGrey);
    std::vector<uint8_t> bytes = MakeBmp(spec);  // no pixels at all
    DibPtr info = Info(bytes);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(BmpGetError(nullptr), 0);
    EXPECT_EQ(Field32(info.get(), 4), 96u);
    EXPECT_EQ(Field32(info.get(), 8), 48u);
    EXPECT_EQ(Field32(info.get(), 32), 256u);
    // Reading needs the pixels.
    ExpectRefused(bytes, PluginErrorRead);
}

TEST_F(BmpReaderTest, ColourCountAndStrideEdges) {
    EXPECT_EQ(HeaderColourCount(40, 24, 7), 7u);
    EXPECT_EQ(HeaderColourCount(12, 8, 5), 256u);  // a core header has no such field
    EXPECT_EQ(BitmapStride(1, 24), 4u);
    EXPECT_EQ(BitmapStride(3, 8), 4u);
    EXPECT_EQ(BitmapStride(33, 1), 8u);
    EXPECT_EQ(BitmapStride(0x7FFFFFFF, 32), 0u);  // does not fit
}

TEST_F(BmpReaderTest, MissingFileAndErrorCodeKept) {
    EXPECT_EQ(BmpReadGraphicFile(folder_.Path("none.bmp").c_str()), nullptr);
    EXPECT_EQ(BmpGetError(nullptr), PluginErrorOpen);
    EXPECT_EQ(BmpGetError(nullptr), PluginErrorOpen);
    EXPECT_EQ(BmpGetFileInformation(folder_.Path("").c_str()), nullptr);  // a folder
    EXPECT_EQ(BmpGetError(nullptr), PluginErrorOpen);
    // A pipe nobody writes to is refused at once instead of waited on.
    const std::string pipe = folder_.Path("pipe.bmp");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(BmpGetFileInformation(pipe.c_str()), nullptr);
    EXPECT_EQ(BmpGetError(nullptr), PluginErrorOpen);
}

TEST_F(BmpReaderTest, LongerHeadersAndUnknownLayoutsAreCorrupt) {
    BmpSpec spec{.width = 2, .height = 2, .bitCount = 24};
    spec.pixels = PackRows(2, {{0, 0}, {0, 0}}, 24, true);
    for (uint32_t size : {108u, 124u, 64u}) {
        spec.headerSize = size;
        ExpectRefused(MakeBmp(spec), PluginErrorCorrupt);
        EXPECT_EQ(Info(MakeBmp(spec)), nullptr);
        EXPECT_EQ(BmpGetError(nullptr), PluginErrorCorrupt);
    }
    spec.headerSize = 0;
    const std::vector<void (*)(BmpSpec&)> changes = {
        [](BmpSpec& s) { s.compression = 1; },  // run-length coding is for 8 and 4 bits only
        [](BmpSpec& s) { s.bitCount = 2; },
        [](BmpSpec& s) { s.bitCount = 0; },
        [](BmpSpec& s) { s.width = 0; },
        [](BmpSpec& s) { s.width = -5; },
        [](BmpSpec& s) { s.height = INT32_MIN; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        BmpSpec bad = spec;
        changes[i](bad);
        ExpectRefused(MakeBmp(bad), PluginErrorCorrupt);
    }
    spec.height = 0;
    ExpectRefused(MakeBmp(spec), PluginErrorCorrupt);
}

// Run-length encoded pictures: runs, literals (padded to 16 bits), line ends,
// deltas and the end mark, in 8 and 4 bits.
TEST_F(BmpReaderTest, RunLengthPicturesAreDecoded) {
    BmpSpec spec{.width = 5, .height = 3, .bitCount = 8, .coloursUsed = 5, .compression = 1};
    spec.palette = {kBlack, kRed, kGreen, kBlue, kWhite};
    // Bottom row: three red, one green, one blue.  Middle row: delta
    // two right, then a run of white.  Top row: literal of three (padded).
    spec.pixels = {3, 1, 1, 2, 1, 3, 0, 0,
                   0, 2, 2, 0, 3, 4, 0, 0,
                   0, 3, 2, 1, 4, 0, 0, 1};
    DibPtr dib = Read(MakeBmp(spec));
    ASSERT_TRUE(dib) << BmpGetError(nullptr);
    EXPECT_EQ(Field32(dib.get(), 16), 0u);  // handed on uncompressed
    const QImage image = PackedDibToImage(dib.get());
    ASSERT_EQ(image.size(), QSize(5, 3));
    const std::vector<std::vector<QRgb>> expected = {{kGreen, kRed, kWhite, kBlack, kBlack},
                                                     {kBlack, kBlack, kWhite, kWhite, kWhite},
                                                     {kRed, kRed, kRed, kGreen, kBlue}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF, expected[y][x]) << x << "," << y;
    }

    BmpSpec four{.width = 5, .height = 2, .bitCount = 4, .coloursUsed = 5, .compression = 2};
    four.palette = {kBlack, kRed, kGreen, kBlue, kWhite};
    // Bottom: a run of 5 alternating red, green.  Top: literal 4 3 2 1 0.
    four.pixels = {5, 0x12, 0, 0, 0, 5, 0x43, 0x21, 0x00, 0, 0, 1};
    DibPtr d4 = Read(MakeBmp(four));
    ASSERT_TRUE(d4) << BmpGetError(nullptr);
    const QImage i4 = PackedDibToImage(d4.get());
    const std::vector<std::vector<QRgb>> e4 = {{kWhite, kBlue, kGreen, kRed, kBlack},
                                               {kRed, kGreen, kRed, kGreen, kRed}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(i4.pixel(x, y) & 0xFFFFFF, e4[y][x]) << x << "," << y;
    }
}

TEST_F(BmpReaderTest, RunLengthStreamsThatLeaveTheBitmapAreRefused) {
    BmpSpec spec{.width = 4, .height = 2, .bitCount = 8, .coloursUsed = 2, .compression = 1};
    spec.palette = {kBlack, kRed};
    const std::vector<std::vector<uint8_t>> streams = {
        {5, 1, 0, 1},                    // a run past the row's end
        {0, 5, 1, 1, 1, 1, 1, 0, 0, 1},  // a literal past the row's end
        {0, 2, 5, 0, 0, 1},              // a delta past the right edge
        {0, 2, 0, 3, 0, 1},              // a delta above the top row
        {0, 0, 0, 0, 1, 1, 0, 1},        // a run above the top row
        {4, 1, 0, 0},                    // rows missing and no end mark
        {0, 4, 1, 1},                    // a literal cut short
        {0, 2, 1},                       // a delta cut short
    };
    for (size_t i = 0; i < streams.size(); ++i) {
        BmpSpec bad = spec;
        bad.pixels = streams[i];
        ExpectRefused(MakeBmp(bad), PluginErrorCorrupt);
    }
    // Top-down rows cannot be run-length encoded.
    spec.height = -2;
    spec.pixels = {4, 1, 0, 0, 4, 1, 0, 1};
    ExpectRefused(MakeBmp(spec), PluginErrorCorrupt);
    // Every cut of a good stream: refused, never half drawn.
    spec.height = 2;
    const std::vector<uint8_t> whole = MakeBmp(spec);
    ASSERT_TRUE(Read(whole));
    for (size_t cut = 0; cut + 2 < whole.size(); ++cut) {
        EXPECT_EQ(Read(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut))), nullptr) << cut;
    }
    // A giant picture claimed by a few bytes allocates nothing.
    BmpSpec giant{.width = 60000, .height = 60000, .bitCount = 8, .coloursUsed = 1, .compression = 1};
    giant.palette = {kBlack};
    giant.pixels = {0, 1};
    ExpectRefused(MakeBmp(giant), PluginErrorCorrupt);
}

TEST_F(BmpReaderTest, EveryTruncationIsRefusedCleanly) {
    BmpSpec spec{.width = 5, .height = 3, .bitCount = 8};
    spec.palette.assign(256, kRed);
    spec.pixels.assign(8 * 3, 1);
    const std::vector<uint8_t> whole = MakeBmp(spec);
    ASSERT_NE(Read(whole), nullptr);
    for (size_t n = 0; n < whole.size(); ++n) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n));
        SCOPED_TRACE(n);
        EXPECT_EQ(Read(cut), nullptr);
        const uint16_t code = BmpGetError(nullptr);
        EXPECT_TRUE(code == PluginErrorRead || code == PluginErrorCorrupt) << code;
    }
}

TEST_F(BmpReaderTest, HugeDimensionsAreRefusedBeforeAllocating) {
    for (auto [w, h] : {std::pair{INT32_MAX, INT32_MAX}, std::pair{INT32_MAX, 1},
                        std::pair{1, INT32_MAX}, std::pair{1 << 20, -(1 << 20)}}) {
        SCOPED_TRACE(w);
        BmpSpec spec{.width = w, .height = h, .bitCount = 32};
        spec.pixels.assign(64, 0);
        const std::vector<uint8_t> bytes = MakeBmp(spec);
        EXPECT_EQ(Read(bytes), nullptr);
        const uint16_t code = BmpGetError(nullptr);
        EXPECT_TRUE(code == PluginErrorRead || code == PluginErrorCorrupt) << code;
    }
}

TEST_F(BmpReaderTest, ColourTablePastTheEndIsRefused) {
    BmpSpec spec{.width = 1, .height = 1, .bitCount = 24, .coloursUsed = 0xFFFF};
    spec.pixels.assign(4, 0);
    ExpectRefused(MakeBmp(spec), PluginErrorRead);
    EXPECT_EQ(Info(MakeBmp(spec)), nullptr);
    EXPECT_EQ(BmpGetError(nullptr), PluginErrorRead);
    // A core header's three-byte table cut short.
    BmpSpec core{.width = 1, .height = 1, .bitCount = 8, .coreHeader = true};
    core.palette.assign(100, kRed);
    ExpectRefused(MakeBmp(core), PluginErrorRead);
}

TEST_F(BmpReaderTest, PixelOffsetsOutsideTheFileAreRefused) {
    BmpSpec spec{.width = 2, .height = 2, .bitCount = 24};
    spec.pixels = PackRows(2, {{0, 0}, {0, 0}}, 24, true);
    const size_t size = MakeBmp(spec).size();
    for (int64_t offset : {int64_t{0xFFFFFFFF}, int64_t{0x80000000}, static_cast<int64_t>(size),
                           static_cast<int64_t>(size - 1)}) {
        SCOPED_TRACE(offset);
        spec.pixelOffset = offset;
        ExpectRefused(MakeBmp(spec), PluginErrorRead);
    }
    // An offset back into the headers reads what lies there, within the file.
    spec.pixelOffset = 14;
    EXPECT_NE(Read(MakeBmp(spec)), nullptr);
}

TEST(PackedDibImageTest, IndicesPastTheColourTableAreBlack) {
    // An 8-bit bitmap with a two-entry table whose pixels use index 200.
    BmpSpec spec{.width = 2, .height = 1, .bitCount = 8, .fileHeader = false, .coloursUsed = 2};
    spec.palette = {kRed, kGreen};
    spec.pixels = PackRows(2, {{1, 200}}, 8, true);
    std::vector<uint8_t> block = MakeBmp(spec);
    QImage image = PackedDibToImage(block.data());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, kGreen);
    EXPECT_EQ(image.pixel(1, 0) & 0xFFFFFF, kBlack);
}

TEST(PackedDibImageTest, RefusesBlocksItCannotDraw) {
    EXPECT_TRUE(PackedDibToImage(nullptr).isNull());
    BmpSpec spec{.width = 2, .height = 1, .bitCount = 24, .fileHeader = false};
    spec.pixels.assign(8, 0);
    for (auto change : {+[](BmpSpec& s) { s.compression = 2; }, +[](BmpSpec& s) { s.bitCount = 3; },
                        +[](BmpSpec& s) { s.width = 0; }, +[](BmpSpec& s) { s.headerSize = 20; },
                        +[](BmpSpec& s) { s.width = 70000; }}) {
        BmpSpec bad = spec;
        change(bad);
        std::vector<uint8_t> block = MakeBmp(bad);
        EXPECT_TRUE(PackedDibToImage(block.data()).isNull());
    }
    // A 12-byte header with three-byte entries.
    BmpSpec core{.width = 1, .height = 1, .bitCount = 1, .fileHeader = false, .coreHeader = true};
    core.palette = {kBlue, kRed};
    core.pixels = PackRows(1, {{1}}, 1, true);
    std::vector<uint8_t> block = MakeBmp(core);
    EXPECT_EQ(PackedDibToImage(block.data()).pixel(0, 0) & 0xFFFFFF, kRed);
}

}  // namespace
