#include <gtest/gtest.h>

#include "document/byte_io.h"
#include "document/liner_file.h"
#include "platform/save_file.h"
#include <QDir>
#include <QFile>
#include <cerrno>
#include <unistd.h>

#include "support/test_support.h"

namespace {

// Writes liner files in the layouts of earlier versions, field by field, so
// that the reader can be checked against files it did not write itself.
struct OldFile {
    int version;
    bool format = false;
    ByteWriter w;
    size_t fontsEnd = 0;     // where the features begin
    size_t featuresEnd = 0;  // where the default units (or the pictures) begin

    explicit OldFile(int v, bool isFormat = false) : version(v), format(isFormat) {
        w.U16(static_cast<uint16_t>(v / 100));
        w.U16(static_cast<uint16_t>(v % 100));
    }
    bool old() const { return version < 500; }
    void M(int16_t whole, int16_t twips, int16_t unit = kUnitInches) {
        w.I16(whole);
        w.I16(0);
        w.I16(0);
        w.I16(unit);
        w.I16(twips);
    }
};

// A small Liner with something in every part of the file.
// With `convertedFrom` set, writes the current layout holding what a file of
// that version becomes when it is read and saved again.
void WriteSample(OldFile& f, bool includeTail = true, int convertedFrom = 0) {
    const int from = convertedFrom ? convertedFrom : f.version;
    if (!f.format) {
        f.w.I16(2);
        f.w.String("Title\r\n\x01\x06Two");
        f.w.I16(1);
        f.w.String("Song\xBB" "3:00");
        f.w.I16(0);
    }
    // Format block: title format, flags, song formats, line styles, geometry.
    ByteWriter block;
    block.Zeros(kFormatBlockSize);
    auto& b = block.bytes();
    b[0] = 1;                  // title centered
    b[72] = 1;                 // split title
    b[362] = 6;                // crop marks
    b[366] = 1;                // invert
    b[369 + 8] = 0x80;         // width twips = 5760 (0x1680)
    b[369 + 9] = 0x16;
    f.w.Bytes(b.data(), b.size());
    for (int i = 0; i < 4; ++i) {
        f.w.U16(static_cast<uint16_t>(i == 1 ? kLetterReverseVideo : kLetterNormal));
        f.M(static_cast<int16_t>(i), static_cast<int16_t>(100 * i));
        f.M(0, 0);
        f.w.Zeros(f.old() ? 2 : 4);
        f.w.String(i == 0 ? "A" : (i == 2 ? "B" : ""));
    }
    // Six fonts; the sixth is used by the title.  Old entries hold 16-bit fields.
    f.w.U16(6);
    for (int i = 0; i < 6; ++i) {
        if (f.old()) {
            f.w.U16(static_cast<uint16_t>(i == 5 ? 0xFFF0 : 200 + i));
            f.w.U16(0);
            f.w.U16(i == 5 ? 900 : 0);
            f.w.U16(0);
            f.w.U16(400);
        } else {
            f.w.I32(i == 5 ? (from < 500 ? 65520 : -16) : 200 + i);
            f.w.I32(0);
            f.w.I32(i == 5 ? 900 : 0);
            f.w.I32(0);
            f.w.I32(400);
        }
        for (int k = 0; k < 8; ++k) f.w.U8(static_cast<uint8_t>(k == 0 && i == 5));
        char face[32] = {};
        std::snprintf(face, sizeof face, "Face%d", i);
        f.w.Bytes(face, 32);
        f.w.U32(0x00112233u + static_cast<uint32_t>(i));
    }
    f.fontsEnd = f.w.bytes().size();
    // Two features: a sided one with choices, and a plain one.
    f.w.U16(2);
    f.w.U16(1);
    auto feature = [&](uint16_t style, const std::string& name, bool sided) {
        ByteWriter rest;
        rest.U16(style);
        rest.Zeros(20);
        rest.ZeroTerminated(name);
        if (sided) {
            rest.I8(2);
            rest.I8(1);
            rest.ZeroTerminated("None");
            rest.ZeroTerminated("Dolby B");
            rest.I8(1);
            rest.I8(0);
            rest.ZeroTerminated("dbx");
        }
        rest.U8(0);
        size_t slot = f.old() ? 2 : 4;
        f.w.U16(static_cast<uint16_t>(2 + slot + rest.bytes().size()));
        f.w.Zeros(slot);
        f.w.Bytes(rest.bytes().data(), rest.bytes().size());
    };
    feature(kFeatureCenteredWithSides, "Noise", true);
    feature(kFeatureRightJustified, "Date", false);
    f.featuresEnd = f.w.bytes().size();
    if (f.version >= 402) {
        f.w.U16(from >= 402 ? kUnitCentimeters : kUnitInches);
        f.w.String(from >= 402 ? "1,3,2" : "");
    }
    f.w.U16(1);
    if (f.version >= 507) {
        f.w.Zeros(4);
        f.M(1, 1440);
        f.M(-1, -1440);
        f.M(2, 2880);
        f.M(-2, -2880);
        if (from >= 507) {
            f.M(3, 4320);
            f.M(-3, -4320);
        } else {
            f.M(2, 2880);
            f.M(-2, -2880);
        }
        f.w.U8(4);
        f.w.Zeros(4);
        f.w.String("pic.png");
    } else {
        const size_t fixed = f.old() ? 45 : 47;
        const std::string name = std::string("pic.png") + '\0' + "junk";
        f.w.U16(static_cast<uint16_t>(fixed + name.size()));
        f.w.Zeros(fixed - 43);
        f.M(1, 1440);
        f.M(-1, -1440);
        f.M(2, 2880);
        f.M(-2, -2880);
        f.w.U8(4);
        f.w.Bytes(name);
    }
    if (!includeTail) return;
    if (f.version >= 408) f.w.I16(from >= 408 ? 3 : 1);
    if (f.version >= 501) f.w.U8(from >= 501 ? 1 : 0);
}

Liner ReadOk(const std::vector<uint8_t>& bytes, FileKind kind = FileKind::Liner) {
    Liner liner;
    EXPECT_EQ(ParseLinerBytes(bytes, kind, liner), ParseStatus::Ok);
    return liner;
}

class VersionTest : public ::testing::TestWithParam<int> {};

TEST_P(VersionTest, ReadsAndConvertsTheLayout) {
    const int version = GetParam();
    OldFile f(version);
    WriteSample(f);
    Liner liner = ReadOk(f.w.bytes());

    EXPECT_EQ(liner.title.lineCount, 2);
    EXPECT_EQ(liner.title.text, "Title\r\n\x01\x06Two");
    EXPECT_EQ(liner.songsA.text, "Song\xBB" "3:00");
    EXPECT_EQ(liner.songsB.lineCount, 0);
    EXPECT_EQ(liner.titleFormat.alignment, kAlignCentered);
    EXPECT_EQ(liner.splitTitle, 1);
    EXPECT_EQ(liner.cutLineStyle, 6);
    EXPECT_EQ(liner.width.twips, 5760);
    EXPECT_EQ(liner.sideLetters[kSideAFlap].text, "A");
    EXPECT_EQ(liner.sideLetters[kSideBFlap].text, "B");  // third in the file
    EXPECT_EQ(liner.sideLetters[kSideAPrimary].style, kLetterReverseVideo);
    EXPECT_EQ(liner.sideLetters[kSideBPrimary].top.twips, 300);
    ASSERT_EQ(liner.fonts.size(), 6u);
    EXPECT_EQ(liner.fonts[5].logFont.height, version < 500 ? 65520 : -16);
    EXPECT_EQ(liner.fonts[5].logFont.escapement, 900);
    EXPECT_EQ(liner.fonts[5].logFont.italic, 1);
    EXPECT_EQ(liner.fonts[3].logFont.FaceName(), "Face3");
    EXPECT_EQ(liner.fonts[3].color, 0x00112236u);
    ASSERT_EQ(liner.features.size(), 2u);
    EXPECT_EQ(liner.features[0].name, "Noise");
    EXPECT_EQ(liner.features[0].sides[0].choices, (std::vector<std::string>{"None", "Dolby B"}));
    EXPECT_EQ(liner.features[0].sides[0].selected, 1);
    EXPECT_EQ(liner.features[0].sides[1].choices, (std::vector<std::string>{"dbx"}));
    EXPECT_EQ(liner.features[1].RecordSize(), 28u + 5 + 1);
    EXPECT_EQ(liner.defaultUnits, version >= 402 ? kUnitCentimeters : kUnitInches);
    EXPECT_EQ(liner.tabStops, version >= 402 ? (std::vector<int16_t>{567, 1134, 1701})
                                             : std::vector<int16_t>{});
    ASSERT_EQ(liner.pictures.size(), 1u);
    const Picture& p = liner.pictures[0];
    EXPECT_EQ(p.fileName, "pic.png");
    EXPECT_EQ(p.formatIndex, 4);
    EXPECT_EQ(p.height.twips, -2880);
    EXPECT_EQ(p.naturalWidth.twips, version >= 507 ? 4320 : 2880);
    EXPECT_EQ(p.naturalHeight.twips, version >= 507 ? -4320 : -2880);
    EXPECT_EQ(liner.overflowCount, version >= 408 ? 3 : 1);
    EXPECT_EQ(liner.bisectArea, version >= 501 ? 1 : 0);

    // Written back in the current layout and read again, nothing changes.
    auto bytes = SerializeLiner(liner, FileKind::Liner);
    ASSERT_TRUE(bytes);
    EXPECT_EQ((*bytes)[0], 5);
    EXPECT_EQ((*bytes)[2], 7);
    Liner again = ReadOk(*bytes);
    EXPECT_EQ(again, liner);
    // Byte for byte what the current layout of the converted values is.
    OldFile expected(507);
    WriteSample(expected, true, version);
    EXPECT_EQ(*bytes, expected.w.bytes());
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTest,
                         ::testing::Values(400, 402, 407, 408, 500, 501, 506, 507, 1099));

TEST(LinerFile, FeatureRecordsOfOlderVersionsGrowByTwoBytes) {
    OldFile f(407);
    WriteSample(f);
    Liner liner = ReadOk(f.w.bytes());
    auto bytes = *SerializeLiner(liner, FileKind::Liner);
    // Find the first feature record in the written file: its size is two
    // bytes larger than the stored one and it carries a four-byte slot.
    const size_t storedSize = 2 + 2 + 2 + 20 + 6 + (2 + 5 + 8) + (2 + 4) + 1;
    ByteReader r(bytes);
    std::vector<uint8_t> expected = {static_cast<uint8_t>(storedSize + 2), 0, 0, 0, 0, 0,
                                     kFeatureCenteredWithSides, 0};
    auto it = std::search(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    EXPECT_NE(it, bytes.end());
    EXPECT_EQ(liner.features[0].RecordSize(), storedSize + 2);
}

TEST(LinerFile, EmptyLinerBytes) {
    Liner liner;
    liner.fonts.resize(5);
    auto bytes = *SerializeLiner(liner, FileKind::Liner);
    ASSERT_GE(bytes.size(), 10u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10),
              (std::vector<uint8_t>{5, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes.size(), 4 + 6 + 419 + 4 * 28 + 2 + 5 * 64 + 4 + 2 + 2 + 2 + 2 + 1);

    auto format = *SerializeLiner(liner, FileKind::Format);
    // A format file is the liner file without the three texts.
    std::vector<uint8_t> withoutTexts(bytes.begin(), bytes.begin() + 4);
    withoutTexts.insert(withoutTexts.end(), bytes.begin() + 10, bytes.end());
    EXPECT_EQ(format, withoutTexts);
}

TEST(LinerFile, FormatFileOfTheEarlierGenerationUsesOldLayouts) {
    OldFile f(350, true);
    WriteSample(f);  // 3.50: no units, overflow count or bisect flag
    Liner liner;
    liner.title = {1, "kept"};
    liner.defaultUnits = kUnitPoints;
    ASSERT_EQ(ParseLinerBytes(f.w.bytes(), FileKind::Format, liner), ParseStatus::Ok);
    EXPECT_EQ(liner.title.text, "kept");
    EXPECT_EQ(liner.defaultUnits, kUnitInches);
    EXPECT_EQ(liner.overflowCount, 1);
    EXPECT_EQ(liner.fonts[5].logFont.height, 65520);

    // The same header on a liner file goes to the older-version import.
    OldFile g(1100);
    WriteSample(g);
    Liner other;
    EXPECT_EQ(ParseLinerBytes(g.w.bytes(), FileKind::Liner, other), ParseStatus::OlderVersion);
}

TEST(LinerFile, EveryTruncationIsRefusedWithoutChangingTheLiner) {
    OldFile f(507);
    WriteSample(f);
    const auto& full = f.w.bytes();
    Liner before;
    before.title = {1, "before"};
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
        Liner liner = before;
        EXPECT_EQ(ParseLinerBytes(cut, FileKind::Liner, liner), ParseStatus::Malformed) << n;
        EXPECT_EQ(liner, before) << n;
    }
}

TEST(LinerFile, FilesMayEndWhereFeaturesOrPicturesBegin) {
    auto prefix = [](const OldFile& f, size_t n) {
        return std::vector<uint8_t>(f.w.bytes().begin(), f.w.bytes().begin() + static_cast<long>(n));
    };
    // 4.00 has neither default units nor an overflow count.
    OldFile f(400);
    WriteSample(f);
    Liner liner = ReadOk(prefix(f, f.fontsEnd));
    EXPECT_TRUE(liner.features.empty());
    EXPECT_TRUE(liner.pictures.empty());
    EXPECT_EQ(liner.fonts.size(), 6u);
    Liner noPictures = ReadOk(prefix(f, f.featuresEnd));
    EXPECT_EQ(noPictures.features.size(), 2u);
    EXPECT_TRUE(noPictures.pictures.empty());
    EXPECT_EQ(noPictures.overflowCount, 1);

    // A 5.07 file that stops after the fonts still lacks its default units.
    OldFile k(507);
    WriteSample(k);
    Liner l2;
    EXPECT_EQ(ParseLinerBytes(prefix(k, k.fontsEnd), FileKind::Liner, l2), ParseStatus::Malformed);
    // Stopping inside the feature counts is not the same as having none.
    EXPECT_EQ(ParseLinerBytes(prefix(f, f.fontsEnd + 1), FileKind::Liner, l2), ParseStatus::Malformed);
}

// Hostile records: every length is checked against what it claims to hold.
TEST(LinerFile, MalformedRecordsAreRefused) {
    auto withFeature = [](const std::vector<uint8_t>& record) {
        Liner liner;
        liner.fonts.resize(5);
        auto bytes = *SerializeLiner(liner, FileKind::Liner);
        // Replace "no features" (0, 0) with one feature record.
        size_t at = bytes.size() - (4 + 2 + 2 + 2 + 2 + 1);
        std::vector<uint8_t> out(bytes.begin(), bytes.begin() + static_cast<long>(at));
        out.insert(out.end(), {1, 0, 1, 0});
        out.insert(out.end(), record.begin(), record.end());
        out.insert(out.end(), bytes.begin() + static_cast<long>(at + 4), bytes.end());
        return out;
    };
    auto record = [](uint16_t size, std::vector<uint8_t> rest) {
        std::vector<uint8_t> r = {static_cast<uint8_t>(size & 0xFF), static_cast<uint8_t>(size >> 8), 0, 0, 0, 0};
        r.insert(r.end(), rest.begin(), rest.end());
        return r;
    };
    std::vector<uint8_t> fixed(22, 0);  // style 0 (sided), top, side
    auto sided = [&](std::vector<uint8_t> tail) {
        std::vector<uint8_t> rest = fixed;
        rest.insert(rest.end(), tail.begin(), tail.end());
        return rest;
    };

    // A well-formed sided record reads.
    auto good = sided({'N', 0, 1, 0, 'x', 0, 0, 0, 0});
    Liner ok;
    ASSERT_EQ(ParseLinerBytes(withFeature(record(static_cast<uint16_t>(6 + good.size()), good)), FileKind::Liner, ok),
              ParseStatus::Ok);
    EXPECT_EQ(ok.features[0].sides[0].choices, std::vector<std::string>{"x"});

    const std::vector<std::vector<uint8_t>> bad = {
        record(3, {}),                                           // size below its own fields
        record(10, sided({'N', 0})),                             // size cuts the fixed part
        record(static_cast<uint16_t>(6 + 24), sided({'N', 'a'})),  // name without its zero
        record(static_cast<uint16_t>(6 + 27), sided({'N', 0, 5, 0, 'x'})),  // choices run past the record
        record(static_cast<uint16_t>(6 + 26), sided({'N', 0, 0xFF, 0})),    // negative count
        record(60000, sided({'N', 0, 0, 0, 0, 0, 0})),           // size longer than the file
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        Liner liner;
        EXPECT_EQ(ParseLinerBytes(withFeature(bad[i]), FileKind::Liner, liner), ParseStatus::Malformed) << i;
    }
}

TEST(LinerFile, MalformedCountsAndPicturesAreRefused) {
    Liner liner;
    liner.fonts.resize(5);
    auto bytes = *SerializeLiner(liner, FileKind::Liner);
    const size_t fontCountAt = 10 + 419 + 4 * 28;
    auto tooManyFonts = bytes;
    tooManyFonts[fontCountAt] = 0x00;
    tooManyFonts[fontCountAt + 1] = 0x01;  // 256 fonts
    Liner l1;
    EXPECT_EQ(ParseLinerBytes(tooManyFonts, FileKind::Liner, l1), ParseStatus::Malformed);

    auto badUnits = bytes;
    badUnits[bytes.size() - 9] = 0;  // default units 0
    Liner l2;
    EXPECT_EQ(ParseLinerBytes(badUnits, FileKind::Liner, l2), ParseStatus::Malformed);

    // A 5.00 picture record whose length is below its fixed part.
    OldFile f(500);
    WriteSample(f, false);
    auto pic = f.w.bytes();
    // The picture record length sits 2 + 47 + 12 bytes before the end.
    size_t lengthAt = pic.size() - (47 + 12);
    pic[lengthAt] = 46;
    pic[lengthAt + 1] = 0;
    Liner l3;
    EXPECT_EQ(ParseLinerBytes(pic, FileKind::Liner, l3), ParseStatus::Malformed);
}

TEST(LinerFile, ReadAndWriteThroughFiles) {
    TempFolder dir;
    ScriptedPrompter prompter;
    OldFile f(408);
    WriteSample(f);
    std::string oldPath = dir.Path("old.cas");
    WriteBytes(oldPath, f.w.bytes());

    Liner liner;
    ASSERT_TRUE(ReadLinerFile(liner, oldPath, false, prompter));
    EXPECT_EQ(prompter.busyDepth, 0);
    // The picture file of this old liner does not exist: it keeps the copied
    // natural size (the picture reader has said why it could not look).
    EXPECT_EQ(liner.pictures[0].naturalWidth.twips, 2880);
    prompter.shown.clear();
    std::string newPath = dir.Path("new.cas");
    uint16_t lastFont = 6;
    ASSERT_TRUE(WriteLinerFile(liner, newPath, prompter, &lastFont));
    EXPECT_TRUE(prompter.shown.empty());
    Liner again;
    ASSERT_TRUE(ReadLinerFile(again, newPath, false, prompter));
    EXPECT_EQ(again, liner);
    EXPECT_EQ(lastFont, 6);  // the title uses font 6

    auto preview = ReadTitlePreview(newPath);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->text, liner.title.text);
    EXPECT_FALSE(ReadTitlePreview(dir.Path("missing.cas")));

    EXPECT_FALSE(ReadLinerFile(again, dir.Path("missing.cas"), false, prompter));
    EXPECT_EQ(prompter.LastText(), "Cannot open file '" + dir.Path("missing.cas") + "'");
}

// A liner saved into another folder keeps its pictures: a name relative to
// the folder it was read from is written in full, unless the picture is
// found beside the new file too.
TEST(LinerFile, SavedIntoAnotherFolderItsPicturesAreStillFound) {
    TempFolder dir;
    ScriptedPrompter prompter;
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.Path("a"))));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.Path("b"))));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.Path("c"))));
    WriteBytes(dir.Path("a/pic.bmp"), {'B', 'M'});
    WriteBytes(dir.Path("c/pic.bmp"), {'B', 'M'});
    Liner liner;
    for (const char* name : {"pic.bmp", "gone.bmp"}) {
        Picture p;
        p.fileName = name;
        liner.pictures.push_back(p);
    }
    ASSERT_TRUE(WriteLinerFile(liner, dir.Path("a/tape.cas"), prompter, nullptr));
    Liner read;
    ASSERT_TRUE(ReadLinerFile(read, dir.Path("a/tape.cas"), true, prompter));
    EXPECT_EQ(read.pictures[0].fileName, "pic.bmp");  // beside its liner: kept

    ASSERT_TRUE(WriteLinerFile(read, dir.Path("b/tape.cas"), prompter, nullptr));
    EXPECT_EQ(read.pictures[0].fileName, "pic.bmp");  // the open liner is not changed
    Liner moved;
    ASSERT_TRUE(ReadLinerFile(moved, dir.Path("b/tape.cas"), true, prompter));
    EXPECT_EQ(moved.pictures[0].fileName, dir.Path("a/pic.bmp"));
    EXPECT_EQ(moved.pictures[1].fileName, "gone.bmp");  // missing anyway: as it was

    // A folder with a picture of that name beside the new file keeps the name.
    ASSERT_TRUE(ReadLinerFile(read, dir.Path("a/tape.cas"), true, prompter));
    ASSERT_TRUE(WriteLinerFile(read, dir.Path("c/tape.cas"), prompter, nullptr));
    ASSERT_TRUE(ReadLinerFile(moved, dir.Path("c/tape.cas"), true, prompter));
    EXPECT_EQ(moved.pictures[0].fileName, "pic.bmp");
}

TEST(LinerFile, CorruptFileIsReportedAndLeavesTheLiner) {
    TempFolder dir;
    ScriptedPrompter prompter;
    std::string path = dir.Path("bad.cas");
    WriteBytes(path, {5, 0, 7, 0, 1});
    Liner liner;
    liner.title = {1, "open"};
    EXPECT_FALSE(ReadLinerFile(liner, path, false, prompter));
    EXPECT_EQ(prompter.LastText(), "Cannot read file '" + path + "' from disk");
    EXPECT_EQ(liner.title.text, "open");

    // A file of the earlier generation whose texts cannot be read is refused the same way.
    WriteBytes(path, std::vector<uint8_t>(400, 'a'));
    EXPECT_FALSE(ReadLinerFile(liner, path, false, prompter));
    EXPECT_EQ(prompter.LastText(), "Cannot read file '" + path + "' from disk");
}

TEST(LinerFile, OverwritingAnOlderVersionAsks) {
    TempFolder dir;
    ScriptedPrompter prompter;
    std::string path = dir.Path("old.cas");
    std::vector<uint8_t> old = {3, 0, 0, 0, 9, 9, 9};
    WriteBytes(path, old);
    Liner liner;
    liner.fonts.resize(5);
    prompter.answers = {MessageResult::No};
    EXPECT_FALSE(WriteLinerFile(liner, path, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Question);
    EXPECT_EQ(prompter.shown[0].text,
              "This file was created by an older version of Reelcard.\n\rContinue with overwriting it?");
    EXPECT_EQ(ReadBytes(path), old);

    prompter.answers = {MessageResult::Yes};
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    EXPECT_EQ(ReadBytes(path)[0], 5);

    // A file too short for a header, and a format save, ask nothing.
    WriteBytes(path, {3});
    prompter.shown.clear();
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    WriteBytes(path, old);
    EXPECT_TRUE(WriteFormatFile(liner, path, prompter));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST(LinerFile, FormatSaveKeepsFontsUsedOnlyBySongs) {
    TempFolder dir;
    ScriptedPrompter prompter;
    Liner liner;
    liner.fonts.resize(7);
    liner.fonts[6].logFont.height = 777;
    liner.songsA = {1, "\x01\x07Song"};
    std::string path = dir.Path("a.fmt");
    ASSERT_TRUE(WriteFormatFile(liner, path, prompter));
    Liner read;
    read.songsA = {1, "mine"};
    ASSERT_TRUE(ReadFormatFile(read, path, prompter));
    ASSERT_EQ(read.fonts.size(), 6u);
    EXPECT_EQ(read.fonts[5].logFont.height, 777);
    EXPECT_EQ(read.songsA.text, "mine");
    auto bytes = ReadBytes(path);
    // The fifth byte starts the format block: the title alignment.
    EXPECT_EQ(bytes.size(), 4 + 419 + 4 * 28 + 2 + 6 * 64 + 4 + 2 + 2 + 2 + 2 + 1);
}

TEST(LinerFile, TextsTooLongForTheLayoutAreNotWritten) {
    TempFolder dir;
    ScriptedPrompter prompter;
    Liner liner;
    liner.songsA = {1, std::string(70000, 'x')};
    std::string path = dir.Path("long.cas");
    WriteBytes(path, {1, 2, 3});
    EXPECT_FALSE(WriteLinerFile(liner, path, prompter));
    EXPECT_EQ(prompter.LastText(), "Cannot write file '" + path + "' to disk");
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

// A file system whose n-th call of one kind fails.
class FailingFileSystem : public SaveFileSystem {
public:
    enum Op { kOpen, kWrite, kFlush, kClose, kRename, kShortWrite };
    FailingFileSystem(Op op, int n) : op_(op), n_(n) {}
    int Open(const std::string& p, int f, mode_t m) override {
        return Hit(kOpen) ? (errno = EACCES, -1) : SaveFileSystem::Open(p, f, m);
    }
    ssize_t Write(int fd, const void* d, size_t s) override {
        if (op_ == kShortWrite && s > 1) return SaveFileSystem::Write(fd, d, s / 2);
        return Hit(kWrite) ? (errno = ENOSPC, -1) : SaveFileSystem::Write(fd, d, s);
    }
    int Flush(int fd) override { return Hit(kFlush) ? (errno = EIO, -1) : SaveFileSystem::Flush(fd); }
    int Close(int fd) override {
        int r = SaveFileSystem::Close(fd);
        return Hit(kClose) ? (errno = EIO, -1) : r;
    }
    int Rename(const std::string& a, const std::string& b) override {
        return Hit(kRename) ? (errno = EXDEV, -1) : SaveFileSystem::Rename(a, b);
    }

private:
    bool Hit(Op op) { return op == op_ && --n_ == 0; }
    Op op_;
    int n_;
};

TEST(LinerFile, AFailedSaveKeepsTheOldFile) {
    TempFolder dir;
    std::string path = dir.Path("keep.cas");
    const std::vector<uint8_t> original = {5, 0, 7, 0, 42};
    Liner liner;
    liner.fonts.resize(5);
    liner.title = {1, "new"};
    for (auto op : {FailingFileSystem::kOpen, FailingFileSystem::kWrite, FailingFileSystem::kFlush,
                    FailingFileSystem::kClose, FailingFileSystem::kRename}) {
        WriteBytes(path, original);
        FailingFileSystem fs(op, 1);
        SetSaveFileSystem(&fs);
        ScriptedPrompter prompter;
        EXPECT_FALSE(WriteLinerFile(liner, path, prompter)) << op;
        SetSaveFileSystem(nullptr);
        EXPECT_EQ(ReadBytes(path), original) << op;
        EXPECT_EQ(prompter.LastText(), op == FailingFileSystem::kOpen
                                           ? "Cannot create file '" + path + "'"
                                           : "Cannot write file '" + path + "' to disk");
        EXPECT_EQ(QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files | QDir::Hidden).size(), 1)
            << "temporary file left behind after " << op;
    }
    // A write that transfers only part of the bytes is continued.
    FailingFileSystem shortWrites(FailingFileSystem::kShortWrite, 0);
    SetSaveFileSystem(&shortWrites);
    ScriptedPrompter prompter;
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    SetSaveFileSystem(nullptr);
    Liner back;
    ASSERT_TRUE(ReadLinerFile(back, path, true, prompter));
    EXPECT_EQ(back.title.text, "new");
}

TEST(LinerFile, ReadOnlyFilesAndFoldersAreNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempFolder dir;
    std::string path = dir.Path("ro.cas");
    WriteBytes(path, {1});
    QFile::setPermissions(QString::fromStdString(path), QFileDevice::ReadOwner);
    Liner liner;
    ScriptedPrompter prompter;
    EXPECT_FALSE(WriteLinerFile(liner, path, prompter));
    EXPECT_EQ(prompter.LastText(), "Cannot create file '" + path + "'");
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>{1});
}

}  // namespace
