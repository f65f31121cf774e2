// pcxflt32, loaded from the build's output folder as the program loads it.
// PCX files are made here byte by byte.
#include <gtest/gtest.h>
#include <string.h>

#include "plugin_test_support.h"

using namespace plugin_test;

namespace {

struct PcxSpec {
    int width = 1;
    int height = 1;
    int bits = 8;
    int planes = 1;
    int bytesPerLine = 0;  // 0: the least that holds a row, made even
    bool runLength = true;
    std::vector<Rgb> headerPalette;
};

int LineBytes(const PcxSpec& s) {
    if (s.bytesPerLine) return s.bytesPerLine;
    const int n = (s.width * s.bits + 7) / 8;
    return n + (n & 1);
}

std::vector<uint8_t> Header(const PcxSpec& s) {
    std::vector<uint8_t> h(128, 0);
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = s.runLength ? 1 : 0;
    h[3] = static_cast<uint8_t>(s.bits);
    h[8] = static_cast<uint8_t>(s.width - 1);
    h[9] = static_cast<uint8_t>((s.width - 1) >> 8);
    h[10] = static_cast<uint8_t>(s.height - 1);
    h[11] = static_cast<uint8_t>((s.height - 1) >> 8);
    for (size_t i = 0; i < s.headerPalette.size() && i < 16; ++i) memcpy(&h[16 + 3 * i], s.headerPalette[i].data(), 3);
    h[65] = static_cast<uint8_t>(s.planes);
    const int line = LineBytes(s);
    h[66] = static_cast<uint8_t>(line);
    h[67] = static_cast<uint8_t>(line >> 8);
    return h;
}

// Run-length encodes each scan line (all planes of a row, one after another).
std::vector<uint8_t> Encode(const std::vector<std::vector<uint8_t>>& lines) {
    std::vector<uint8_t> out;
    for (const auto& line : lines) {
        for (size_t i = 0; i < line.size();) {
            size_t run = 1;
            while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
            if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(line[i]);
            i += run;
        }
    }
    return out;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> TailPalette(const std::vector<Rgb>& colours) {
    std::vector<uint8_t> t(769, 0);
    t[0] = 0x0C;
    for (size_t i = 0; i < colours.size(); ++i) memcpy(&t[1 + 3 * i], colours[i].data(), 3);
    return t;
}

class PcxPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_ = &LoadPlugin("pcxflt32");
        ASSERT_TRUE(plugin_->Loaded()) << plugin_->loadError;
    }
    DibPtr Read(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.pcx");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->readGraphicFile(path.c_str()));
    }
    DibPtr Info(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.pcx");
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

TEST_F(PcxPluginTest, DescribesItself) {
    EXPECT_STREQ(plugin_->getFileExtension(), "PCX");
    EXPECT_EQ(plugin_->getLibraryVersion(), 256);
}

TEST_F(PcxPluginTest, EightBitPicturesTakeThePaletteAtTheEnd) {
    PcxSpec s;
    s.width = 3;
    s.height = 2;
    const auto file = Cat(Cat(Header(s), Encode({{1, 2, 2, 0}, {0, 0, 0, 0}})), TailPalette({kBlack, kRed, kGreen}));
    DibPtr info = Info(file);
    DibPtr dib = Read(file);
    ASSERT_TRUE(dib && info) << Error();
    DibReader r(dib.get());
    ASSERT_EQ(r.BitCount(), 8);
    EXPECT_EQ(r.Width(), 3);
    EXPECT_EQ(r.Colour(0, 0), kRed);
    EXPECT_EQ(r.Colour(1, 0), kGreen);
    EXPECT_EQ(r.Colour(2, 1), kBlack);
    EXPECT_EQ(DibReader(info.get()).TableEntry(1), kRed);
    // Without the palette mark the picture is shown in greys.
    const auto bare = Cat(Header(s), Encode({{1, 200, 2, 0}, {0, 0, 0, 0}}));
    DibPtr grey = Read(bare);
    ASSERT_TRUE(grey);
    EXPECT_EQ(DibReader(grey.get()).Colour(1, 0), (Rgb{200, 200, 200}));
}

TEST_F(PcxPluginTest, TwentyFourBitPicturesAreThreePlanes) {
    PcxSpec s;
    s.width = 2;
    s.height = 2;
    s.planes = 3;
    // Each row: the red line, the green line, the blue line.
    const auto file = Cat(Header(s), Encode({{255, 0, 0, 0, 0, 255}, {9, 0, 0, 0, 0, 200}}));
    DibPtr dib = Read(file);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    ASSERT_EQ(r.BitCount(), 24);
    EXPECT_EQ(r.Colour(0, 0), kRed);
    EXPECT_EQ(r.Colour(1, 0), kBlue);
    EXPECT_EQ(r.Colour(0, 1), (Rgb{9, 0, 0}));
    EXPECT_EQ(r.Colour(1, 1), (Rgb{0, 0, 200}));
}

TEST_F(PcxPluginTest, OneBitAndPlanarFourBitPictures) {
    PcxSpec mono;
    mono.width = 10;
    mono.height = 1;
    mono.bits = 1;
    DibPtr m = Read(Cat(Header(mono), Encode({{0xA5, 0x40}})));
    ASSERT_TRUE(m) << Error();
    DibReader rm(m.get());
    ASSERT_EQ(rm.BitCount(), 1);
    EXPECT_EQ(rm.Colour(0, 0), kWhite);
    EXPECT_EQ(rm.Colour(1, 0), kBlack);
    EXPECT_EQ(rm.Colour(9, 0), kWhite);

    PcxSpec planar;
    planar.width = 4;
    planar.height = 1;
    planar.bits = 1;
    planar.planes = 4;
    planar.headerPalette = {kBlack, kRed, kGreen, {1, 1, 1}, kBlue};
    // Pixel indices 1, 2, 4, 0: plane 0 has the bit of value 1, plane 1 of 2, plane 2 of 4.
    const auto file = Cat(Header(planar), Encode({{0x80, 0, 0x40, 0, 0x20, 0, 0, 0}}));
    DibPtr p = Read(file);
    ASSERT_TRUE(p) << Error();
    DibReader rp(p.get());
    ASSERT_EQ(rp.BitCount(), 4);
    EXPECT_EQ(rp.Index(0, 0), 1);
    EXPECT_EQ(rp.Index(1, 0), 2);
    EXPECT_EQ(rp.Index(2, 0), 4);
    EXPECT_EQ(rp.Index(3, 0), 0);
    EXPECT_EQ(rp.Colour(2, 0), kBlue);
    // An empty header palette stands for the EGA colours.
    planar.headerPalette.clear();
    DibPtr ega = Read(Cat(Header(planar), Encode({{0x80, 0, 0x40, 0, 0x20, 0, 0x10, 0}})));
    ASSERT_TRUE(ega);
    EXPECT_EQ(DibReader(ega.get()).Colour(0, 0), (Rgb{0, 0, 170}));
}

TEST_F(PcxPluginTest, RunsCrossingALineEndNeverWritePastTheRow) {
    PcxSpec s;
    s.width = 4;
    s.height = 2;
    s.bytesPerLine = 4;
    // One run of 6 fills row 0 and spills two bytes into row 1.
    const auto file = Cat(Cat(Header(s), {0xC6, 1, 2, 2}), TailPalette({kBlack, kRed, kGreen}));
    DibPtr dib = Read(file);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r.Index(x, 0), 1);
    EXPECT_EQ(r.Index(1, 1), 1);
    EXPECT_EQ(r.Index(2, 1), 2);
    EXPECT_EQ(r.Index(3, 1), 2);
}

TEST_F(PcxPluginTest, DamagedFilesAreRefusedAtEveryCut) {
    PcxSpec s;
    s.width = 5;
    s.height = 3;
    s.planes = 3;
    const auto whole = Cat(Header(s), Encode({{1, 2, 3, 4, 5, 0, 6, 6, 6, 6, 6, 0, 9, 8, 7, 6, 5, 0},
                                              {1, 1, 1, 1, 1, 0, 2, 2, 2, 2, 2, 0, 3, 3, 3, 3, 3, 0},
                                              {0xC1, 0xC2, 0, 0, 0, 0, 7, 7, 7, 7, 7, 0, 1, 2, 1, 2, 1, 0}}));
    ASSERT_TRUE(Read(whole));
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        EXPECT_FALSE(Read(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut)))) << cut;
        EXPECT_EQ(Error(), 3) << cut;
    }
    std::vector<uint8_t> bad = whole;
    bad[0] = 0x0B;
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(Error(), 2);
    bad = whole;
    bad[3] = 5;  // no such depth
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(Error(), 2);
    bad = whole;
    bad[66] = 1;  // lines shorter than the rows
    bad[67] = 0;
    EXPECT_FALSE(Info(bad));
    EXPECT_EQ(Error(), 2);
}

TEST_F(PcxPluginTest, AGiantPictureClaimedInAFewBytesAllocatesNothing) {
    PcxSpec s;
    s.width = 65534;
    s.height = 65535;
    s.planes = 3;
    const auto file = Cat(Header(s), {0xFF, 0, 0xFF, 0});
    DibPtr info = Info(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).Width(), 65534);
    EXPECT_FALSE(Read(file));
    EXPECT_EQ(Error(), 3);
}

TEST_F(PcxPluginTest, WrittenFilesReadBackTheSame) {
    const std::vector<Rgb> palette = {kBlack, kRed, kGreen, kBlue, kWhite, {7, 8, 9}};
    for (int depth : {1, 4, 8}) {
        std::vector<uint8_t> indices;
        for (int i = 0; i < 11 * 3; ++i) indices.push_back(static_cast<uint8_t>(i % (depth == 1 ? 2 : 6)));
        // One-bit PCX pictures are black and white.
        DibPtr dib = MakeIndexedDib(11, 3, depth, depth == 1 ? std::vector<Rgb>{kBlack, kWhite} : palette, indices);
        const std::string path = dir_.Path("written.pcx");
        ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), dib.get()), 1) << depth;
        DibPtr back(plugin_->readGraphicFile(path.c_str()));
        ASSERT_TRUE(back) << depth;
        DibReader a(dib.get()), b(back.get());
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 11; ++x) ASSERT_EQ(b.Colour(x, y), a.Colour(x, y)) << depth << " " << x << "," << y;
        }
    }
    std::vector<Rgb> colours;
    for (int i = 0; i < 70 * 2; ++i) colours.push_back({uint8_t(i), uint8_t(i < 70 ? 200 : 201), uint8_t(255 - i)});
    DibPtr dib = MakeColourDib(70, 2, colours);
    const std::string path = dir_.Path("colour.pcx");
    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), dib.get()), 1);
    DibPtr back(plugin_->readGraphicFile(path.c_str()));
    ASSERT_TRUE(back);
    for (int i = 0; i < 140; ++i) ASSERT_EQ(DibReader(back.get()).Colour(i % 70, i / 70), colours[i]) << i;
}

}  // namespace
