// tgaflt32, loaded from the build's output folder as the program loads it.
#include <gtest/gtest.h>
#include <string.h>

#include "plugin_test_support.h"

using namespace plugin_test;

namespace {

struct TgaSpec {
    uint8_t imageType = 2;
    uint16_t width = 1;
    uint16_t height = 1;
    uint8_t depth = 24;
    uint8_t descriptor = 0;
    uint8_t colourMapType = 0;
    uint16_t firstEntry = 0;
    uint16_t mapLength = 0;
    uint8_t entrySize = 0;
    std::vector<uint8_t> id;
};

std::vector<uint8_t> Tga(const TgaSpec& s, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(s.id.size()),
                                  s.colourMapType,
                                  s.imageType,
                                  static_cast<uint8_t>(s.firstEntry),
                                  static_cast<uint8_t>(s.firstEntry >> 8),
                                  static_cast<uint8_t>(s.mapLength),
                                  static_cast<uint8_t>(s.mapLength >> 8),
                                  s.entrySize,
                                  0, 0, 0, 0,
                                  static_cast<uint8_t>(s.width),
                                  static_cast<uint8_t>(s.width >> 8),
                                  static_cast<uint8_t>(s.height),
                                  static_cast<uint8_t>(s.height >> 8),
                                  s.depth,
                                  s.descriptor};
    bytes.insert(bytes.end(), s.id.begin(), s.id.end());
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

class TgaPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_ = &LoadPlugin("tgaflt32");
        ASSERT_TRUE(plugin_->Loaded()) << plugin_->loadError;
    }

    // Writes the bytes to a file and reads it through the plugin.
    DibPtr Read(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.tga");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->readGraphicFile(path.c_str()));
    }
    DibPtr Info(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.tga");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->getFileInformation(path.c_str()));
    }
    uint16_t Error() const { return plugin_->getError(nullptr); }

    const Plugin* plugin_ = nullptr;
    TempDir dir_;
};

const Rgb kRed = {255, 0, 0};
const Rgb kGreen = {0, 255, 0};
const Rgb kBlue = {0, 0, 255};
const Rgb kWhite = {255, 255, 255};
const Rgb kBlack = {0, 0, 0};

}  // namespace

TEST_F(TgaPluginTest, DescribesItself) {
    EXPECT_STREQ(plugin_->getFileExtension(), "TGA");
    EXPECT_EQ(plugin_->getLibraryVersion(), 256);
    EXPECT_STREQ(plugin_->getNotice(),
                 "TGA or Targa is the format native to TrueVision's\n"
                 "Targa display hardware. It supports up to 32 bits of\n"
                 "colour, which is 24 bits plus eight bits of alpha\n"
                 "channels.");
    EXPECT_NE(plugin_->getCopyright(), nullptr);
    EXPECT_EQ(strchr(plugin_->getCopyright(), '\n'), nullptr);
}

// --- True colour -----------------------------------------------------------

TEST_F(TgaPluginTest, SixteenBitPixelsExpandEachFiveBitComponent) {
    TgaSpec s;
    s.width = 4;
    s.depth = 16;
    // Pure blue, pure red, pure green, and red 1 / green 2 / blue 3.
    const uint16_t mixed = (1 << 10) | (2 << 5) | 3;
    DibPtr dib = Read(Tga(s, {0x1F, 0x00, 0x00, 0x7C, 0xE0, 0x03, static_cast<uint8_t>(mixed),
                              static_cast<uint8_t>(mixed >> 8)}));
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 24);
    EXPECT_EQ(r.Colour(0, 0), kBlue);
    EXPECT_EQ(r.Colour(1, 0), kRed);
    EXPECT_EQ(r.Colour(2, 0), kGreen);
    EXPECT_EQ(r.Colour(3, 0), (Rgb{8, 16, 24}));
    EXPECT_EQ(Error(), 0);
}

TEST_F(TgaPluginTest, ThirtyTwoBitPixelsDropTheAlphaByte) {
    TgaSpec s;
    s.width = 2;
    s.depth = 32;
    DibPtr dib = Read(Tga(s, {10, 20, 30, 0, 40, 50, 60, 255}));
    ASSERT_TRUE(dib);
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 24);
    EXPECT_EQ(r.Colour(0, 0), (Rgb{30, 20, 10}));
    EXPECT_EQ(r.Colour(1, 0), (Rgb{60, 50, 40}));
}

TEST_F(TgaPluginTest, BottomUpAndTopDownFilesGiveTheSameBitmap) {
    TgaSpec s;
    s.width = 2;
    s.height = 3;
    const std::vector<uint8_t> top = {0, 0, 255, 0, 0, 254};
    const std::vector<uint8_t> middle = {0, 255, 0, 0, 254, 0};
    const std::vector<uint8_t> bottom = {255, 0, 0, 254, 0, 0};
    std::vector<uint8_t> upward = bottom;
    upward.insert(upward.end(), middle.begin(), middle.end());
    upward.insert(upward.end(), top.begin(), top.end());
    std::vector<uint8_t> downward = top;
    downward.insert(downward.end(), middle.begin(), middle.end());
    downward.insert(downward.end(), bottom.begin(), bottom.end());

    DibPtr a = Read(Tga(s, upward));
    s.descriptor = 0x20;
    DibPtr b = Read(Tga(s, downward));
    ASSERT_TRUE(a && b);
    DibReader ra(a.get());
    EXPECT_EQ(ra.Colour(0, 0), kRed);
    EXPECT_EQ(ra.Colour(0, 1), kGreen);
    EXPECT_EQ(ra.Colour(1, 2), (Rgb{0, 0, 254}));
    const size_t size = 40 + 3 * ra.Stride();
    EXPECT_EQ(memcmp(a.get(), b.get(), size), 0);
}

TEST_F(TgaPluginTest, RightToLeftRowsAreMirrored) {
    TgaSpec s;
    s.width = 3;
    s.descriptor = 0x10;
    DibPtr dib = Read(Tga(s, {255, 0, 0, 0, 255, 0, 0, 0, 255}));
    ASSERT_TRUE(dib);
    DibReader r(dib.get());
    EXPECT_EQ(r.Colour(0, 0), kRed);
    EXPECT_EQ(r.Colour(1, 0), kGreen);
    EXPECT_EQ(r.Colour(2, 0), kBlue);

    // One bit per pixel: pixel k moves to width - 1 - k.
    TgaSpec mono;
    mono.imageType = 3;
    mono.depth = 1;
    mono.width = 10;
    mono.descriptor = 0x10;
    dib = Read(Tga(mono, {0b11000000, 0b01000000}));
    ASSERT_TRUE(dib);
    DibReader m(dib.get());
    const int expected[10] = {1, 0, 0, 0, 0, 0, 0, 0, 1, 1};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(m.Index(x, 0), expected[x]) << x;
}

// --- Run-length encoding -----------------------------------------------------

TEST_F(TgaPluginTest, RunLengthRowsStartWithANewPacket) {
    TgaSpec s;
    s.imageType = 10;
    s.width = 2;
    s.height = 2;
    s.descriptor = 0x20;
    // Row 1: a run of three reds (one too many, dropped); row 2: raw green, blue.
    DibPtr dib = Read(Tga(s, {0x82, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0}));
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.Colour(0, 0), kRed);
    EXPECT_EQ(r.Colour(1, 0), kRed);
    EXPECT_EQ(r.Colour(0, 1), kGreen);
    EXPECT_EQ(r.Colour(1, 1), kBlue);
}

TEST_F(TgaPluginTest, OversizedPacketsNeverWritePastTheRow) {
    // Every row of a one-pixel picture gets a 128-unit packet; the excess of
    // each must go nowhere, including after the last row.
    TgaSpec s;
    s.imageType = 10;
    s.width = 1;
    s.height = 3;
    s.descriptor = 0x20;
    std::vector<uint8_t> body;
    for (int row = 0; row < 3; ++row) {
        body.push_back(0xFF);  // run of 128
        body.insert(body.end(), {static_cast<uint8_t>(row), 1, 2});
    }
    // A raw packet of 128 pixels as well, for the same row width.
    TgaSpec raw = s;
    raw.height = 1;
    std::vector<uint8_t> rawBody = {0x7F};
    for (int k = 0; k < 128; ++k) rawBody.insert(rawBody.end(), {9, 8, static_cast<uint8_t>(k)});

    DibPtr dib = Read(Tga(s, body));
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    for (int y = 0; y < 3; ++y) EXPECT_EQ(r.Colour(0, y), (Rgb{2, 1, static_cast<uint8_t>(y)}));
    dib = Read(Tga(raw, rawBody));
    ASSERT_TRUE(dib);
    EXPECT_EQ(DibReader(dib.get()).Colour(0, 0), (Rgb{0, 8, 9}));
}

TEST_F(TgaPluginTest, RunLengthWorksForEveryUnitSize) {
    // 8-bit grey: a run and a raw packet of bytes.
    TgaSpec grey;
    grey.imageType = 11;
    grey.depth = 8;
    grey.width = 4;
    DibPtr dib = Read(Tga(grey, {0x81, 7, 0x01, 100, 200}));
    ASSERT_TRUE(dib);
    DibReader g(dib.get());
    EXPECT_EQ(g.Index(0, 0), 7);
    EXPECT_EQ(g.Index(1, 0), 7);
    EXPECT_EQ(g.Index(3, 0), 200);
    EXPECT_EQ(g.Colour(3, 0), (Rgb{200, 200, 200}));

    // 1-bit: units are bytes, 16 pixels are two bytes.
    TgaSpec mono;
    mono.imageType = 11;
    mono.depth = 1;
    mono.width = 16;
    dib = Read(Tga(mono, {0x81, 0xF0}));
    ASSERT_TRUE(dib);
    DibReader m(dib.get());
    EXPECT_EQ(m.Index(0, 0), 1);
    EXPECT_EQ(m.Index(4, 0), 0);
    EXPECT_EQ(m.Index(8, 0), 1);

    // 16-bit pixels in a run.
    TgaSpec hi;
    hi.imageType = 10;
    hi.depth = 16;
    hi.width = 3;
    dib = Read(Tga(hi, {0x82, 0x00, 0x7C}));
    ASSERT_TRUE(dib);
    EXPECT_EQ(DibReader(dib.get()).Colour(2, 0), kRed);
}

TEST_F(TgaPluginTest, ArbitraryRunLengthStreamsDecodeOrFailCleanly) {
    // Random packet streams of every decodable kind: each read either gives a
    // bitmap or reports a read error, and never touches memory it should not
    // (the sanitizer build checks the latter).
    struct Kind {
        uint8_t type, depth;
    } kinds[] = {{9, 8}, {10, 15}, {10, 16}, {10, 24}, {10, 32}, {11, 1}, {11, 8}};
    uint32_t seed = 2024;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<uint8_t>(seed >> 24);
    };
    for (const Kind& kind : kinds) {
        for (int round = 0; round < 40; ++round) {
            TgaSpec s;
            s.imageType = kind.type;
            s.depth = kind.depth;
            s.width = static_cast<uint16_t>(1 + next() % 40);
            s.height = static_cast<uint16_t>(1 + next() % 8);
            s.descriptor = next() & 0x30;
            std::vector<uint8_t> body(next() * 4);
            for (uint8_t& b : body) b = next();
            DibPtr dib = Read(Tga(s, body));
            if (!dib) EXPECT_EQ(Error(), 3);
            else EXPECT_EQ(DibReader(dib.get()).Width(), s.width);
        }
    }
}

// --- Colour maps and palettes -------------------------------------------------

TEST_F(TgaPluginTest, ColourMapFillsOnlyItsEntries) {
    TgaSpec s;
    s.imageType = 1;
    s.depth = 8;
    s.width = 2;
    s.colourMapType = 1;
    s.mapLength = 16;
    s.entrySize = 24;
    std::vector<uint8_t> body;
    for (int i = 0; i < 16; ++i) body.insert(body.end(), {static_cast<uint8_t>(i), 0, 100});
    body.insert(body.end(), {15, 200});
    DibPtr dib = Read(Tga(s, body));
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 8);
    EXPECT_EQ(r.Header().coloursUsed, 256u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r.TableEntry(i), (Rgb{100, 0, static_cast<uint8_t>(i)}));
    EXPECT_EQ(r.TableEntry(16), kBlack);
    EXPECT_EQ(r.Colour(0, 0), (Rgb{100, 0, 15}));
    EXPECT_EQ(r.Index(1, 0), 200);
}

TEST_F(TgaPluginTest, ColourMapWithAFirstIndexKeepsThePixelsAligned) {
    // Three stored entries for indices 2, 3 and 4, then the pixels.
    TgaSpec s;
    s.imageType = 1;
    s.depth = 8;
    s.width = 3;
    s.colourMapType = 1;
    s.firstEntry = 2;
    s.mapLength = 3;
    s.entrySize = 32;
    s.id = {'h', 'e', 'l', 'l', 'o'};
    DibPtr dib = Read(Tga(s, {255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9, 2, 3, 4}));
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.TableEntry(0), kBlack);
    EXPECT_EQ(r.TableEntry(1), kWhite);
    EXPECT_EQ(r.Colour(0, 0), kBlue);
    EXPECT_EQ(r.Colour(1, 0), kGreen);
    EXPECT_EQ(r.Colour(2, 0), kRed);
}

TEST_F(TgaPluginTest, FifteenBitColourMapAndUnknownEntrySizesAreSkippedCorrectly) {
    TgaSpec s;
    s.imageType = 1;
    s.depth = 8;
    s.width = 1;
    s.colourMapType = 1;
    s.mapLength = 1;
    s.entrySize = 15;
    DibPtr dib = Read(Tga(s, {0x00, 0x7C, 0}));
    ASSERT_TRUE(dib);
    EXPECT_EQ(DibReader(dib.get()).Colour(0, 0), kRed);

    // Entries of 8 bits are not colours we know, but they still take space.
    s.entrySize = 8;
    s.mapLength = 2;
    dib = Read(Tga(s, {0x11, 0x22, 1}));
    ASSERT_TRUE(dib) << Error();
    EXPECT_EQ(DibReader(dib.get()).Colour(0, 0), kWhite);
}

TEST_F(TgaPluginTest, OneBitPicturesAreAlwaysBlackAndWhite) {
    TgaSpec s;
    s.imageType = 3;
    s.depth = 1;
    s.width = 33;
    s.colourMapType = 1;
    s.mapLength = 2;
    s.entrySize = 24;
    DibPtr dib = Read(Tga(s, {1, 2, 3, 4, 5, 6, 0x80, 0, 0, 0, 0x80}));
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.BitCount(), 1);
    EXPECT_EQ(r.Header().coloursUsed, 2u);
    EXPECT_EQ(r.Stride(), 8u);
    EXPECT_EQ(r.TableEntry(0), kBlack);
    EXPECT_EQ(r.TableEntry(1), kWhite);
    EXPECT_EQ(r.Colour(0, 0), kWhite);
    EXPECT_EQ(r.Colour(1, 0), kBlack);
    EXPECT_EQ(r.Colour(32, 0), kWhite);
}

TEST_F(TgaPluginTest, EightBitWithoutColourMapIsGrey) {
    TgaSpec s;
    s.imageType = 3;
    s.depth = 8;
    DibPtr info = Info(Tga(s, {0}));
    ASSERT_TRUE(info);
    DibReader r(info.get());
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        EXPECT_EQ(r.TableEntry(i), (Rgb{v, v, v}));
    }
}

// --- Information blocks -----------------------------------------------------

TEST_F(TgaPluginTest, InformationBlockMatchesTheBitmapHeader) {
    TgaSpec s;
    s.width = 300;
    s.height = 2;
    s.depth = 15;
    DibPtr info = Info(Tga(s, {}));  // pixels are not needed for the header
    ASSERT_TRUE(info) << Error();
    DibReader r(info.get());
    EXPECT_EQ(r.Width(), 300);
    EXPECT_EQ(r.Height(), 2);
    EXPECT_EQ(r.BitCount(), 24);
    EXPECT_EQ(r.Header().imageSize, 0u);
    EXPECT_EQ(r.Header().coloursUsed, 0u);
    EXPECT_EQ(Error(), 0);
}

// --- Bad files --------------------------------------------------------------

TEST_F(TgaPluginTest, MissingFileIsAnOpenError) {
    EXPECT_EQ(plugin_->readGraphicFile(dir_.Path("absent.tga").c_str()), nullptr);
    char text[PLUGIN_ERROR_TEXT_SIZE];
    EXPECT_EQ(plugin_->getError(text), 1);
    EXPECT_STREQ(text, "Error opening the file");
    EXPECT_EQ(plugin_->getError(nullptr), 1);
    EXPECT_EQ(plugin_->getFileInformation(dir_.Path("absent.tga").c_str()), nullptr);
    EXPECT_EQ(Error(), 1);
}

TEST_F(TgaPluginTest, ShortHeaderIsAReadError) {
    for (size_t length : {0, 1, 17}) {
        EXPECT_EQ(Read(std::vector<uint8_t>(length, 2)), nullptr);
        EXPECT_EQ(Error(), 3) << length;
        EXPECT_EQ(Info(std::vector<uint8_t>(length, 2)), nullptr);
        EXPECT_EQ(Error(), 3) << length;
    }
}

TEST_F(TgaPluginTest, HugePicturesInTinyFilesAllocateNothing) {
    // 65535 x 65535 true colour would need gigabytes; the file holds two pixels.
    TgaSpec s;
    s.width = 0xFFFF;
    s.height = 0xFFFF;
    EXPECT_EQ(Read(Tga(s, {1, 2, 3, 4, 5, 6})), nullptr);
    EXPECT_EQ(Error(), 3);
    s.imageType = 10;
    EXPECT_EQ(Read(Tga(s, {0xFF, 1, 2, 3})), nullptr);
    EXPECT_EQ(Error(), 3);
    // The information block alone needs no pixels and is still given.
    EXPECT_NE(Info(Tga(s, {0xFF, 1, 2, 3})), nullptr);
    // A run-length file that really does cover its picture with long runs reads.
    s.width = 256;
    s.height = 2;
    std::vector<uint8_t> runs;
    for (int k = 0; k < 4; ++k) runs.insert(runs.end(), {0xFF, 9, 8, 7});
    EXPECT_NE(Read(Tga(s, runs)), nullptr) << Error();
}

TEST_F(TgaPluginTest, UnknownImageTypesAreCorrupt) {
    for (uint8_t type : {0, 4, 8, 12, 32, 33, 255}) {
        TgaSpec s;
        s.imageType = type;
        EXPECT_EQ(Read(Tga(s, {1, 2, 3})), nullptr);
        EXPECT_EQ(Error(), 2) << int(type);
    }
}

TEST_F(TgaPluginTest, UndecodableHeadersAreCorrupt) {
    TgaSpec depth4;
    depth4.depth = 4;
    TgaSpec mappedWide;
    mappedWide.imageType = 1;
    mappedWide.depth = 24;
    TgaSpec empty;
    empty.width = 0;
    for (const TgaSpec& s : {depth4, mappedWide, empty}) {
        EXPECT_EQ(Read(Tga(s, std::vector<uint8_t>(64, 0))), nullptr);
        EXPECT_EQ(Error(), 2);
    }
}

TEST_F(TgaPluginTest, TruncatedDataIsAReadError) {
    TgaSpec s;
    s.width = 2;
    s.height = 2;
    // One pixel short.
    EXPECT_EQ(Read(Tga(s, {1, 2, 3, 4, 5, 6, 7, 8, 9})), nullptr);
    EXPECT_EQ(Error(), 3);

    // Run-length data ending inside a raw packet and after a packet header.
    s.imageType = 10;
    EXPECT_EQ(Read(Tga(s, {0x01, 1, 2, 3})), nullptr);
    EXPECT_EQ(Error(), 3);
    EXPECT_EQ(Read(Tga(s, {0x81, 1, 2, 3, 0x81})), nullptr);
    EXPECT_EQ(Error(), 3);

    // A colour map longer than the file; an identification field likewise.
    TgaSpec mapped;
    mapped.imageType = 1;
    mapped.depth = 8;
    mapped.colourMapType = 1;
    mapped.mapLength = 200;
    mapped.entrySize = 24;
    EXPECT_EQ(Info(Tga(mapped, {1, 2, 3})), nullptr);
    EXPECT_EQ(Error(), 3);
    TgaSpec withId;
    std::vector<uint8_t> bytes = Tga(withId, {});
    bytes[0] = 200;
    bytes.resize(bytes.size() + 20);
    EXPECT_EQ(Read(bytes), nullptr);
    EXPECT_EQ(Error(), 3);

    // A good read afterwards clears the code.
    TgaSpec good;
    EXPECT_NE(Read(Tga(good, {1, 2, 3})), nullptr);
    EXPECT_EQ(Error(), 0);
}

// --- Writing ----------------------------------------------------------------

class TgaWriteTest : public TgaPluginTest {
protected:
    // Writes the bitmap, checks success and returns the file's bytes.
    std::vector<uint8_t> Write(const DibPtr& dib) {
        const std::string path = dir_.Path("out.tga");
        EXPECT_EQ(plugin_->writeGraphicFile(path.c_str(), dib.get()), 1);
        EXPECT_EQ(Error(), 0);
        return ReadBytes(path);
    }
};

TEST_F(TgaWriteTest, TwentyFourBitRoundTrip) {
    const std::vector<Rgb> colours = {kRed, kGreen, kBlue, {1, 2, 3}, {250, 128, 7}, kWhite};
    DibPtr dib = MakeColourDib(3, 2, colours);
    const std::vector<uint8_t> file = Write(dib);
    ASSERT_EQ(file.size(), 18u + 6 * 3);
    EXPECT_EQ(file[2], 2);
    EXPECT_EQ(file[16], 24);
    EXPECT_EQ(file[17], 32);
    // Top row first, blue-green-red.
    EXPECT_EQ(file[18], 0);
    EXPECT_EQ(file[20], 255);

    DibPtr back = Read(file);
    ASSERT_TRUE(back);
    DibReader r(back.get());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.Colour(i % 3, i / 3), colours[i]) << i;
}

TEST_F(TgaWriteTest, OneBitRoundTrip) {
    std::vector<uint8_t> indices(19 * 2);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = (i * 7 % 3) == 0;
    DibPtr dib = MakeIndexedDib(19, 2, 1, {kBlack, kWhite}, indices);
    const std::vector<uint8_t> file = Write(dib);
    EXPECT_EQ(file[2], 3);
    EXPECT_EQ(file[16], 1);
    ASSERT_EQ(file.size(), 18u + 2 * 3);
    DibPtr back = Read(file);
    ASSERT_TRUE(back);
    DibReader r(back.get());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 19; ++x) EXPECT_EQ(r.Index(x, y), indices[y * 19 + x]);
}

TEST_F(TgaWriteTest, FourBitBitmapBecomesAnEightBitColourMappedFile) {
    std::vector<Rgb> palette;
    for (int i = 0; i < 16; ++i) palette.push_back({static_cast<uint8_t>(i * 16), 7, static_cast<uint8_t>(255 - i)});
    std::vector<uint8_t> indices = {0, 1, 2, 15, 14, 13, 5, 6, 7};
    DibPtr dib = MakeIndexedDib(3, 3, 4, palette, indices);
    const std::vector<uint8_t> file = Write(dib);
    ASSERT_EQ(file.size(), 18u + 256 * 3 + 9);
    EXPECT_EQ(file[1], 1);
    EXPECT_EQ(file[2], 1);
    EXPECT_EQ(file[5] | (file[6] << 8), 256);
    EXPECT_EQ(file[7], 24);
    EXPECT_EQ(file[16], 8);
    // Map entry 15 in blue, green, red; entries beyond the bitmap's 16 are black.
    EXPECT_EQ(file[18 + 15 * 3 + 0], 240);
    EXPECT_EQ(file[18 + 15 * 3 + 2], 240);
    EXPECT_EQ(file[18 + 16 * 3] | file[18 + 255 * 3 + 2], 0);
    // One byte per pixel, top row first.
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 18 + 768, file.end()), indices);

    DibPtr back = Read(file);
    ASSERT_TRUE(back);
    DibReader r(back.get());
    EXPECT_EQ(r.BitCount(), 8);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(r.Colour(i % 3, i / 3), palette[indices[i]]);
}

TEST_F(TgaWriteTest, EightBitRoundTripKeepsThePalette) {
    std::vector<Rgb> palette;
    for (int i = 0; i < 256; ++i) palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i ^ 0x55), 3});
    std::vector<uint8_t> indices = {0, 255, 128, 77, 1};
    DibPtr dib = MakeIndexedDib(5, 1, 8, palette, indices);
    DibPtr back = Read(Write(dib));
    ASSERT_TRUE(back);
    DibReader r(back.get());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(r.TableEntry(i), palette[i]);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(r.Index(x, 0), indices[x]);
}

TEST_F(TgaWriteTest, SixteenAndThirtyTwoBitBitmapsAreWrittenAsTwentyFourBit) {
    // 2 x 1 pictures built by hand: 5-5-5 and blue-green-red-unused.
    uint8_t hi[40 + 4] = {};
    PackedDibHeader h{};
    h.headerSize = 40;
    h.width = 2;
    h.height = 1;
    h.planes = 1;
    h.bitCount = 16;
    memcpy(hi, &h, sizeof(h));
    hi[40] = 0x00;
    hi[41] = 0x7C;  // red
    hi[42] = 0x1F;
    hi[43] = 0x00;  // blue
    uint8_t wide[40 + 8] = {};
    h.bitCount = 32;
    memcpy(wide, &h, sizeof(h));
    const uint8_t pixels[8] = {10, 20, 30, 99, 40, 50, 60, 99};
    memcpy(wide + 40, pixels, 8);

    const std::string path = dir_.Path("out.tga");
    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), hi), 1);
    DibPtr back(plugin_->readGraphicFile(path.c_str()));
    ASSERT_TRUE(back);
    EXPECT_EQ(DibReader(back.get()).Colour(0, 0), kRed);
    EXPECT_EQ(DibReader(back.get()).Colour(1, 0), kBlue);

    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), wide), 1);
    back.reset(plugin_->readGraphicFile(path.c_str()));
    ASSERT_TRUE(back);
    EXPECT_EQ(DibReader(back.get()).Colour(1, 0), (Rgb{60, 50, 40}));
}

TEST_F(TgaWriteTest, FailuresLeaveNoFileBehind) {
    DibPtr dib = MakeColourDib(1, 1, {kRed});
    EXPECT_EQ(plugin_->writeGraphicFile(dir_.Path("no/such/folder.tga").c_str(), dib.get()), 0);
    EXPECT_EQ(Error(), 6);

    EXPECT_EQ(plugin_->writeGraphicFile(dir_.Path("null.tga").c_str(), nullptr), 0);
    EXPECT_EQ(Error(), 5);
    EXPECT_FALSE(FileExists(dir_.Path("null.tga")));
}

namespace {

struct LimitedWrite {
    const Plugin* plugin;
    std::string path;
};

// Exit status 0: the write failed with code 7 and removed its file.
int WriteLargeTga(void* context) {
    auto* job = static_cast<LimitedWrite*>(context);
    std::vector<Rgb> colours(200 * 200, Rgb{1, 2, 3});
    DibPtr dib = MakeColourDib(200, 200, colours);
    if (job->plugin->writeGraphicFile(job->path.c_str(), dib.get()) != 0) return 1;
    if (job->plugin->getError(nullptr) != 7) return 2;
    return FileExists(job->path) ? 3 : 0;
}

}  // namespace

TEST_F(TgaWriteTest, AFailedWriteIsReportedAndDeleted) {
    LimitedWrite job{plugin_, dir_.Path("big.tga")};
    EXPECT_EQ(RunWithFileSizeLimit(4096, WriteLargeTga, &job), 0);
}
