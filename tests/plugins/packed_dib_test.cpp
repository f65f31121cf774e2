// The bitmap builder, palette extraction and error state shared by the plugins.
#include <gtest/gtest.h>
#include <string.h>

#include "common/packed_dib.h"
#include "plugin_test_support.h"

using namespace reelcard::plugin;
using plugin_test::DibPtr;
using plugin_test::DibReader;
using plugin_test::Rgb;

TEST(BitCountRule, MapsEveryDepthToABitmapBitCount) {
    EXPECT_EQ(BitCountForDepth(1), 1);
    for (int depth = 2; depth <= 4; ++depth) EXPECT_EQ(BitCountForDepth(depth), 4) << depth;
    for (int depth = 5; depth <= 8; ++depth) EXPECT_EQ(BitCountForDepth(depth), 8) << depth;
    for (int depth : {0, 9, 15, 16, 24, 32, 48, 64}) EXPECT_EQ(BitCountForDepth(depth), 24) << depth;
}

TEST(BitCountRule, RowsArePaddedToFourBytes) {
    EXPECT_EQ(DibStride(1, 24), 4u);
    EXPECT_EQ(DibStride(3, 8), 4u);
    EXPECT_EQ(DibStride(33, 1), 8u);
    EXPECT_EQ(DibStride(32, 1), 4u);
    EXPECT_EQ(DibStride(9, 4), 8u);
    EXPECT_EQ(DibStride(65535, 24), 196608u);
}

TEST(BuildPackedDib, ColourTableLengthFollowsTheBitCount) {
    struct Case {
        int depth;
        uint32_t colours;
    } cases[] = {{1, 2}, {2, 16}, {4, 16}, {8, 256}, {24, 0}, {32, 0}};
    for (const Case& c : cases) {
        DibPtr dib(BuildPackedDib(5, 3, c.depth, nullptr, true));
        ASSERT_TRUE(dib);
        const PackedDibHeader h = DibReader(dib.get()).Header();
        EXPECT_EQ(h.headerSize, 40u);
        EXPECT_EQ(h.width, 5);
        EXPECT_EQ(h.height, 3);
        EXPECT_EQ(h.planes, 1);
        EXPECT_EQ(h.bitCount, BitCountForDepth(c.depth));
        EXPECT_EQ(h.compression, 0u);
        EXPECT_EQ(h.coloursUsed, c.colours) << c.depth;
        EXPECT_EQ(h.coloursImportant, c.colours);
        EXPECT_EQ(h.imageSize, 3 * DibStride(5, h.bitCount));
        EXPECT_EQ(h.xPixelsPerMeter, 0);
        EXPECT_EQ(h.yPixelsPerMeter, 0);
    }
}

TEST(BuildPackedDib, InformationBlockHasNoRows) {
    DibPtr info(BuildPackedDib(100, 50, 24, nullptr, false));
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).Header().imageSize, 0u);
    EXPECT_EQ(DibReader(info.get()).Header().coloursUsed, 0u);
}

TEST(BuildPackedDib, PaletteBecomesBlueGreenRedZero) {
    RgbPalette palette;
    ClearPalette(&palette);
    for (int i = 0; i < 256; ++i) {
        palette.rgb[i][0] = static_cast<uint8_t>(i);
        palette.rgb[i][1] = static_cast<uint8_t>(255 - i);
        palette.rgb[i][2] = static_cast<uint8_t>(i / 2);
    }
    DibPtr dib(BuildPackedDib(2, 2, 4, &palette, true));
    DibReader reader(dib.get());
    const uint8_t* table = static_cast<const uint8_t*>(dib.get()) + 40;
    EXPECT_EQ(table[0 * 4 + 0], 0);    // blue of entry 0
    EXPECT_EQ(table[0 * 4 + 1], 255);  // green
    EXPECT_EQ(table[0 * 4 + 2], 0);    // red
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(reader.TableEntry(i), (Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                             static_cast<uint8_t>(i / 2)}));
        EXPECT_EQ(reader.TableReserved(i), 0);
    }
}

TEST(BuildPackedDib, RowsAreStoredBottomUpAfterTheTable) {
    DibPtr dib(BuildPackedDib(3, 4, 8, nullptr, true));
    uint8_t* base = static_cast<uint8_t*>(dib.get());
    EXPECT_EQ(DibRowAddress(dib.get(), 0), base + 40 + 1024);
    EXPECT_EQ(DibRowAddress(dib.get(), 3), base + 40 + 1024 + 3 * 4);
    // The picture's top row is the last stored row.
    DibRowAddress(dib.get(), 3)[0] = 77;
    EXPECT_EQ(DibReader(dib.get()).Index(0, 0), 77);
}

TEST(ExtractPalette, ReadsOnlyTheEntriesTheTableHolds) {
    // A 24-bit bitmap has no table: nothing must be read from its pixels.
    DibPtr colour(BuildPackedDib(1, 1, 24, nullptr, true));
    memset(DibRowAddress(colour.get(), 0), 0xAB, 4);
    DibView view;
    ASSERT_TRUE(ViewPackedDib(colour.get(), &view));
    RgbPalette palette;
    EXPECT_EQ(ExtractPalette(view, &palette), 256);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(palette.rgb[i][0] | palette.rgb[i][1] | palette.rgb[i][2], 0);

    // A 4-bit bitmap with a table of three colours: the rest stay black.
    DibPtr indexed = plugin_test::MakeIndexedDib(2, 1, 4, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {0, 1});
    PackedDibHeader h = DibReader(indexed.get()).Header();
    h.coloursUsed = 3;
    memcpy(indexed.get(), &h, sizeof(h));
    ASSERT_TRUE(ViewPackedDib(indexed.get(), &view));
    EXPECT_EQ(view.colourCount, 3u);
    EXPECT_EQ(ExtractPalette(view, &palette), 16);
    EXPECT_EQ(palette.rgb[2][0], 7);
    EXPECT_EQ(palette.rgb[2][2], 9);
    EXPECT_EQ(palette.rgb[3][0] | palette.rgb[15][2], 0);
}

TEST(ViewPackedDib, RefusesBitmapsThatCannotBeWritten) {
    DibPtr dib(BuildPackedDib(4, 4, 8, nullptr, true));
    DibView view;
    EXPECT_FALSE(ViewPackedDib(nullptr, &view));
    ASSERT_TRUE(ViewPackedDib(dib.get(), &view));

    auto withHeader = [&](auto change) {
        PackedDibHeader h = DibReader(dib.get()).Header();
        const PackedDibHeader saved = h;
        change(h);
        memcpy(dib.get(), &h, sizeof(h));
        const bool accepted = ViewPackedDib(dib.get(), &view);
        memcpy(dib.get(), &saved, sizeof(saved));
        return accepted;
    };
    EXPECT_FALSE(withHeader([](PackedDibHeader& h) { h.headerSize = 12; }));
    EXPECT_FALSE(withHeader([](PackedDibHeader& h) { h.compression = 1; }));
    EXPECT_FALSE(withHeader([](PackedDibHeader& h) { h.bitCount = 3; }));
    EXPECT_FALSE(withHeader([](PackedDibHeader& h) { h.width = 0; }));
    EXPECT_FALSE(withHeader([](PackedDibHeader& h) { h.height = 0; }));
    EXPECT_TRUE(withHeader([](PackedDibHeader& h) { h.height = -4; }));
}

TEST(ViewPackedDib, TopDownBitmapsAreReadFromTheTop) {
    DibPtr dib(BuildPackedDib(1, 2, 8, nullptr, true));
    PackedDibHeader h = DibReader(dib.get()).Header();
    h.height = -2;
    memcpy(dib.get(), &h, sizeof(h));
    DibView view;
    ASSERT_TRUE(ViewPackedDib(dib.get(), &view));
    EXPECT_EQ(view.height, 2);
    EXPECT_EQ(PictureRow(view, 0), static_cast<uint8_t*>(dib.get()) + 40 + 1024);
}

TEST(PixelIndex, ReadsEveryPackedWidth) {
    const uint8_t row[] = {0b10110100, 0x5A};
    EXPECT_EQ(PixelIndex(row, 0, 1), 1);
    EXPECT_EQ(PixelIndex(row, 1, 1), 0);
    EXPECT_EQ(PixelIndex(row, 0, 2), 2);
    EXPECT_EQ(PixelIndex(row, 3, 2), 0);
    EXPECT_EQ(PixelIndex(row, 2, 4), 5);
    EXPECT_EQ(PixelIndex(row, 3, 4), 0xA);
    EXPECT_EQ(PixelIndex(row, 1, 8), 0x5A);
}

TEST(PluginErrorState, GetErrorCopiesTheTextAndKeepsTheCode) {
    const char* texts[] = {"No error",
                           "Error opening the file",
                           "Corrupted or badly formed file",
                           "Error reading the file",
                           "Error allocating memory",
                           "Unsupported function",
                           "Error creating the file",
                           "Error writing the file",
                           "Too many bits for the destination"};
    for (uint16_t code = 0; code <= 8; ++code) {
        SetPluginError(code);
        char buffer[PLUGIN_ERROR_TEXT_SIZE];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(CopyPluginError(buffer), code);
        EXPECT_STREQ(buffer, texts[code]);
        EXPECT_EQ(CopyPluginError(nullptr), code);
        EXPECT_EQ(CopyPluginError(buffer), code);
    }
    SetPluginError(9);
    char buffer[PLUGIN_ERROR_TEXT_SIZE];
    EXPECT_EQ(CopyPluginError(buffer), 9);
    EXPECT_STREQ(buffer, "Unknown error");
    SetPluginError(0);
}

TEST(PluginErrorState, LongestTextFitsTheAdvertisedBuffer) {
    for (uint16_t code = 0; code <= 9; ++code) {
        EXPECT_LT(strlen(PluginErrorText(code)), static_cast<size_t>(PLUGIN_ERROR_TEXT_SIZE));
    }
}
