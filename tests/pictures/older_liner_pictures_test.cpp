#include <gtest/gtest.h>

#include "document/byte_io.h"
#include "document/liner_file.h"
#include "document/measurement.h"
#include "pictures/picture_test_support.h"
#include "support/test_support.h"

// Picture descriptions name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace picture_test;

namespace {

Measurement Inches(int whole) {
    Measurement m;
    m.whole = static_cast<int16_t>(whole);
    m.unit = kUnitInches;
    m.twips = static_cast<int16_t>(whole * 1440);
    return m;
}

// A liner file of version 5.06, whose picture records (47 bytes and a name)
// have no natural size: the current layout with its picture list rewritten.
std::vector<uint8_t> Version506(const Liner& base, FileKind kind, const std::vector<Picture>& pictures) {
    Liner empty = base;
    empty.pictures.clear();
    std::vector<uint8_t> bytes = SerializeLiner(empty, kind).value();
    bytes[2] = 6;  // minor version
    // The file ends with pictureCount (0), overflowCount and bisectArea.
    std::vector<uint8_t> tail(bytes.end() - 3, bytes.end());
    bytes.erase(bytes.end() - 5, bytes.end());
    ByteWriter w;
    w.U16(static_cast<uint16_t>(pictures.size()));
    for (const Picture& p : pictures) {
        w.U16(static_cast<uint16_t>(47 + p.fileName.size() + 1));
        w.Zeros(4);
        for (const Measurement* m : {&p.left, &p.top, &p.width, &p.height}) {
            w.I16(m->whole);
            w.I16(m->fraction);
            w.I16(m->fractionDigits);
            w.I16(m->unit);
            w.I16(m->twips);
        }
        w.U8(p.formatIndex);
        for (char c : p.fileName) w.U8(static_cast<uint8_t>(c));
        w.U8(0);
    }
    bytes.insert(bytes.end(), w.bytes().begin(), w.bytes().end());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

std::vector<uint8_t> BlankBmp(int width, int height) {
    BmpSpec spec{.width = width, .height = height, .bitCount = 1};
    spec.palette = {0x000000, 0xFFFFFF};
    spec.pixels.assign(static_cast<size_t>((width + 31) / 32 * 4 * height), 0);
    return MakeBmp(spec);
}

class OlderLinerPicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_.defaultUnits = kUnitCentimeters;
        placed_.left = Inches(1);
        placed_.top = Inches(-1);
        placed_.width = Inches(3);
        placed_.height = Inches(-2);
        placed_.formatIndex = 3;
    }

    TempFolder folder_;
    ScriptedPrompter prompter_;
    Liner base_;
    Picture placed_;
};

TEST_F(OlderLinerPicturesTest, NaturalSizeAndReaderComeFromThePictureFile) {
    // A 96 by 48 pixel BMP under a name that matches no reader.
    placed_.fileName = folder_.Path("photo.jpeg");
    WriteBytes(placed_.fileName, BlankBmp(96, 48));
    const std::string path = folder_.Path("old.lnr");
    WriteBytes(path, Version506(base_, FileKind::Liner, {placed_}));

    Liner liner;
    ASSERT_TRUE(ReadLinerFile(liner, path, true, prompter_));
    EXPECT_TRUE(prompter_.shown.empty());
    ASSERT_EQ(liner.pictures.size(), 1u);
    const Picture& p = liner.pictures[0];
    EXPECT_EQ(p.formatIndex, kReaderBmp);
    // 1440 by -720 twips in centimeters: 2.54 by -1.27, unit-less.
    EXPECT_EQ(p.naturalWidth, FromTwips(1440, kUnitCentimeters));
    EXPECT_EQ(p.naturalWidth.whole, 2);
    EXPECT_EQ(p.naturalWidth.fraction, 54);
    EXPECT_EQ(p.naturalWidth.unit, kUnitNone);
    EXPECT_EQ(p.naturalHeight, FromTwips(-720, kUnitCentimeters));
    EXPECT_EQ(p.naturalHeight.twips, -720);
    // The placement stays as stored.
    EXPECT_EQ(p.width, placed_.width);
    EXPECT_EQ(p.height, placed_.height);
}

TEST_F(OlderLinerPicturesTest, UnexaminableFileKeepsThePlacedSize) {
    placed_.fileName = folder_.Path("moved.bmp");
    Picture second = placed_;
    second.fileName = folder_.Path("there.bmp");
    WriteBytes(second.fileName, BlankBmp(48, 48));
    const std::string path = folder_.Path("old.lnr");
    WriteBytes(path, Version506(base_, FileKind::Liner, {placed_, second}));

    Liner liner;
    ASSERT_TRUE(ReadLinerFile(liner, path, true, prompter_));
    ASSERT_EQ(liner.pictures.size(), 2u);
    EXPECT_EQ(liner.pictures[0].naturalWidth, placed_.width);
    EXPECT_EQ(liner.pictures[0].naturalHeight, placed_.height);
    EXPECT_EQ(liner.pictures[0].formatIndex, 3);
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(prompter_.LastText(), "Cannot open file '" + placed_.fileName + "'");
    // The next picture is still examined.
    EXPECT_EQ(liner.pictures[1].naturalWidth.twips, 720);
    EXPECT_EQ(liner.pictures[1].formatIndex, kReaderBmp);
}

TEST_F(OlderLinerPicturesTest, FormatFilesAreExaminedToo) {
    placed_.fileName = folder_.Path("p.bmp");
    WriteBytes(placed_.fileName, BlankBmp(96, 96));
    const std::string path = folder_.Path("old.fmt");
    WriteBytes(path, Version506(base_, FileKind::Format, {placed_}));

    Liner liner;
    ASSERT_TRUE(ReadFormatFile(liner, path, prompter_));
    ASSERT_EQ(liner.pictures.size(), 1u);
    EXPECT_EQ(liner.pictures[0].naturalWidth.twips, 1440);
    EXPECT_EQ(liner.pictures[0].naturalHeight.twips, -1440);
    EXPECT_EQ(liner.pictures[0].formatIndex, kReaderBmp);
}

TEST_F(OlderLinerPicturesTest, CurrentFilesKeepTheirStoredNaturalSize) {
    placed_.fileName = folder_.Path("p.bmp");
    WriteBytes(placed_.fileName, BlankBmp(96, 96));
    placed_.naturalWidth = Inches(5);
    placed_.naturalHeight = Inches(-4);
    Liner stored = base_;
    stored.pictures = {placed_};
    const std::string path = folder_.Path("new.lnr");
    WriteBytes(path, SerializeLiner(stored, FileKind::Liner).value());

    Liner liner;
    ASSERT_TRUE(ReadLinerFile(liner, path, true, prompter_));
    ASSERT_EQ(liner.pictures.size(), 1u);
    EXPECT_EQ(liner.pictures[0].naturalWidth, Inches(5));
    EXPECT_EQ(liner.pictures[0].formatIndex, 3);

    // A parse alone never looks at picture files.
    Liner parsed;
    ASSERT_EQ(ParseLinerBytes(Version506(base_, FileKind::Liner, {placed_}), FileKind::Liner, parsed),
              ParseStatus::Ok);
    EXPECT_EQ(parsed.pictures[0].naturalWidth, placed_.width);
    EXPECT_EQ(parsed.pictures[0].formatIndex, 3);
}

}  // namespace
