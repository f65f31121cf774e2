#include "document/older_version.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "document/byte_io.h"
#include "document/liner.h"
#include "document/liner_file.h"
#include "support/test_support.h"

namespace {

// A font in the 50-byte form of the old files.
struct OldFont {
    uint16_t height = 240, width = 0, escapement = 0, orientation = 0, weight = 400;
    uint8_t italic = 0, charSet = 0;
    std::string face = "Arial";
};

struct OldSideSpec {
    std::string choices[4];  // old features 1 to 4
    uint8_t layout = 3;      // outside 3 to 8 the first choice sits two bytes later
    uint8_t primaryLetter = 1, flapLetter = 1;
    uint16_t alignment = 270;
    uint16_t marginWhole = 0, marginFraction = 0, wrapWhole = 0, wrapFraction = 0;
    uint8_t titleFlag1 = 0, titleFlag2 = 0;
};

// Builds a file of the earlier generation, field by field.
struct OldFile {
    OldSideSpec sides[2];
    TextBlock title, songsA, songsB;
    uint16_t cutCode = 202, foldCode = 207, letterCode = 211;
    OldFont fonts[5];
    uint8_t invertImage = 0, bisectSides = 0, splitTitle = 0;
    uint16_t titleAlignment = 249, titleMarginWhole = 0, titleMarginFraction = 0;
    std::vector<std::string> names = {"", "", "", ""};
    uint8_t oneUpSides = 0;
    uint16_t titleWrapWhole = 0, titleWrapFraction = 0;
    OldFont sideTitleFont;

    static void Field(ByteWriter& w, const std::string& text, size_t size) {
        std::string field = text.substr(0, size);
        field.resize(size, '\0');
        w.Bytes(field);
    }

    static void Font(ByteWriter& w, const OldFont& f) {
        for (uint16_t v : {f.height, f.width, f.escapement, f.orientation, f.weight}) w.U16(v);
        for (uint8_t b : {f.italic, uint8_t(0), uint8_t(0), f.charSet, uint8_t(0), uint8_t(0),
                          uint8_t(0), uint8_t(0)}) {
            w.U8(b);
        }
        Field(w, f.face, 32);
    }

    static void Side(ByteWriter& w, const OldSideSpec& s) {
        Field(w, s.choices[2], 20);
        Field(w, s.choices[3], 20);
        w.U8(s.layout);
        w.U8(0);
        w.U8(s.primaryLetter);
        w.U8(s.flapLetter);
        for (uint16_t v :
             {s.alignment, s.marginWhole, s.marginFraction, s.wrapWhole, s.wrapFraction}) {
            w.U16(v);
        }
        w.U8(s.titleFlag1);
        w.U8(s.titleFlag2);
        if (s.layout < 3 || s.layout > 8) {
            w.U16(0xBEEF);  // the field that precedes the first choice in this layout
            Field(w, s.choices[0], 18);
        } else {
            Field(w, s.choices[0], 20);
        }
        Field(w, s.choices[1], 20);
    }

    static void Text(ByteWriter& w, const TextBlock& block) {
        w.I16(block.lineCount);
        if (block.lineCount != 0) w.String(block.text);
    }

    // Where the texts end, and where the five fonts end.
    size_t textsEnd = 0, fontsEnd = 0;

    std::vector<uint8_t> Bytes() {
        ByteWriter w;
        Side(w, sides[0]);
        Side(w, sides[1]);
        Text(w, title);
        Text(w, songsA);
        Text(w, songsB);
        textsEnd = w.bytes().size();
        w.U16(cutCode);
        w.U16(foldCode);
        w.U16(letterCode);
        w.Zeros(8);
        for (const auto& f : fonts) Font(w, f);
        fontsEnd = w.bytes().size();
        w.Zeros(20);
        w.U8(invertImage);
        w.U8(bisectSides);
        w.U16(titleAlignment);
        w.U16(titleMarginWhole);
        w.U16(titleMarginFraction);
        w.U8(splitTitle);
        w.Zeros(8);
        for (const auto& name : names) w.String(name);
        w.U8(oneUpSides);
        w.Zeros(2);
        w.U16(titleWrapWhole);
        w.U16(titleWrapFraction);
        w.Zeros(24);
        Font(w, sideTitleFont);
        return w.bytes();
    }
};

FontEntry Font(const std::string& face, int32_t height, uint32_t color) {
    FontEntry f;
    f.logFont.SetFaceName(face);
    f.logFont.height = height;
    f.logFont.weight = 400;
    f.color = color;
    return f;
}

Feature SidedFeature(const std::string& name, std::vector<std::string> a,
                     std::vector<std::string> b, uint16_t style = kFeatureCenteredWithSides) {
    Feature f;
    f.style = style;
    f.name = name;
    f.sides[0].choices = std::move(a);
    f.sides[1].choices = std::move(b);
    return f;
}

// An open Liner with a recognisable Format.
Liner OpenLiner() {
    Liner l;
    for (int i = 0; i < 5; ++i)
        l.fonts.push_back(Font("Standard" + std::to_string(i), 200 + i, 0x112233 + i));
    l.titleFormat.alignment = kAlignCentered;
    l.titleFormat.left.twips = 111;
    l.titleFormat.right.twips = 222;
    l.titleFormat.wrap.twips = 333;
    for (auto& area : l.songFormats) {
        area.alignment = kAlignCentered;
        area.left.twips = 44;
        area.right.twips = 55;
        area.wrap.twips = 66;
    }
    l.cutLineStyle = 5;
    l.foldLineStyle = 6;
    l.invertImage = 1;
    l.oneUpSides = 1;
    l.bisectSides = 1;
    l.splitTitle = 1;
    for (auto& letter : l.sideLetters) letter.style = kLetterReverseVideo;
    l.features.push_back(
        SidedFeature("Noise \x01\x02Reduction", {"Dolby B", "None"}, {"dbx", "None"}));
    l.features.push_back(SidedFeature("Tape", {"Chrome", "Normal"}, {"Metal"}));
    l.title = {1, "old title"};
    l.songsA = {1, "old song"};
    return l;
}

ImportResult Merge(Liner& liner, const std::vector<uint8_t>& bytes, MergeChoice choice,
                   ScriptedPrompter* prompterOut = nullptr) {
    ScriptedPrompter local;
    ScriptedPrompter& prompter = prompterOut ? *prompterOut : local;
    prompter.mergeAnswers.push_back(choice);
    return ImportOlderVersion(liner, bytes, false, "old.cas", prompter);
}

// ---------------------------------------------------------------------------

TEST(OlderVersion, FileStartingWithChoiceTextIsMergedByTheLinerReader) {
    OldFile old;
    old.sides[0].choices[2] = "Chrome";  // the file's first bytes
    old.title = {1, "Road Songs"};
    old.songsA = {2, "One\r\nTwo"};
    old.names = {"", "", "Tape", ""};
    auto bytes = old.Bytes();

    Liner probe;
    EXPECT_EQ(ParseLinerBytes(bytes, FileKind::Liner, probe), ParseStatus::OlderVersion);

    TempFolder dir;
    const std::string path = dir.Path("road.cas");
    WriteBytes(path, bytes);
    Liner liner = OpenLiner();
    liner.defaultUnits = kUnitCentimeters;
    liner.tabStopsText = "1cm";
    liner.overflowCount = 3;
    ScriptedPrompter prompter;
    prompter.mergeAnswers.push_back(MergeChoice::Text);
    bool merged = false;
    ASSERT_TRUE(ReadLinerFile(liner, path, false, prompter, &merged));
    EXPECT_TRUE(merged);
    EXPECT_EQ(prompter.mergeCaptions, std::vector<std::string>{"road.cas"});
    EXPECT_EQ(liner.title, (TextBlock{1, "Road Songs"}));
    EXPECT_EQ(liner.songsA, (TextBlock{2, "One\r\nTwo"}));
    EXPECT_EQ(liner.songsB, TextBlock{});
    EXPECT_EQ(liner.features[1].sides[0].selected, 0);
    // A Text merge keeps the unit, tab stops and overflow count.
    EXPECT_EQ(liner.defaultUnits, kUnitCentimeters);
    EXPECT_EQ(liner.tabStopsText, "1cm");
    EXPECT_EQ(liner.overflowCount, 3);
}

TEST(OlderVersion, CancelAndUnattendedUse) {
    OldFile old;
    old.title = {1, "New"};
    old.sides[0].titleFlag1 = 1;
    auto bytes = old.Bytes();

    Liner liner = OpenLiner();
    const Liner before = liner;
    ScriptedPrompter prompter;
    EXPECT_EQ(Merge(liner, bytes, MergeChoice::Cancel, &prompter).outcome,
              ImportOutcome::Cancelled);
    EXPECT_EQ(liner, before);
    EXPECT_EQ(prompter.mergeCaptions, std::vector<std::string>{"old.cas"});

    // Unattended reads are not asked and merge the texts only.
    ScriptedPrompter silent;
    ImportResult result = ImportOlderVersion(liner, bytes, true, "old.cas", silent);
    EXPECT_EQ(result.outcome, ImportOutcome::Merged);
    EXPECT_EQ(result.choice, MergeChoice::Text);
    EXPECT_TRUE(silent.mergeCaptions.empty());
    EXPECT_EQ(liner.title.text, "New");
    EXPECT_EQ(liner.songsA, TextBlock{});  // no heading in a Text merge
    EXPECT_EQ(liner.fonts, before.fonts);
}

TEST(OlderVersion, TextMergeChangesOnlyTheTextsAndSelections) {
    OldFile old;
    old.title = {2, "Title\r\nSecond"};
    old.songsB = {1, "B song"};
    old.cutCode = 201;
    old.letterCode = 1;
    old.invertImage = 0;
    old.titleAlignment = 251;
    old.titleMarginWhole = 3;
    old.sides[0].primaryLetter = 0;
    old.sides[0].alignment = 272;
    old.sides[0].marginWhole = 2;
    old.sides[0].titleFlag1 = 1;
    old.fonts[0].face = "Courier";
    old.names = {"noise reduction", "Tape", "", ""};
    old.sides[0].choices[0] = "DOLBY B";
    old.sides[0].choices[1] = "Ferric";
    old.sides[1].choices[0] = "dbx";
    auto bytes = old.Bytes();

    Liner liner = OpenLiner();
    Liner expected = liner;
    ASSERT_EQ(Merge(liner, bytes, MergeChoice::Text).outcome, ImportOutcome::Merged);

    expected.title = {2, "Title\r\nSecond"};
    expected.songsA = {};
    expected.songsB = {1, "B song"};
    expected.features[0].sides[0].selected = 0;
    expected.features[0].sides[1].selected = 0;
    expected.features[1].sides[0] = {1, {"Chrome", "Ferric", "Normal"}};
    // Side B of "Tape" takes the empty choice of block B's feature 2.
    expected.features[1].sides[1] = {0, {"", "Metal"}};
    EXPECT_EQ(liner, expected);
}

TEST(OlderVersion, AllMergeTakesTheSettings) {
    OldFile old;
    old.cutCode = 203;   // dashed
    old.foldCode = 210;  // dash-dot-dot
    old.letterCode = 212;
    for (int i = 0; i < 5; ++i) old.fonts[i].face = "Old" + std::to_string(i);
    old.fonts[1].height = 0xFFF0;  // widened as unsigned
    old.fonts[1].escapement = 0x8000;
    old.invertImage = 1;
    old.bisectSides = 1;
    old.splitTitle = 1;
    old.titleAlignment = 251;
    old.titleMarginWhole = 1;
    old.titleMarginFraction = 25;
    old.oneUpSides = 1;
    old.titleWrapWhole = 0;
    old.titleWrapFraction = 5;
    old.sides[0].primaryLetter = 0;
    old.sides[1].flapLetter = 0;
    old.sides[0].alignment = 272;
    old.sides[0].marginWhole = 2;
    old.sides[0].wrapFraction = 25;
    old.sides[1].alignment = 270;
    old.sides[1].marginFraction = 75;
    old.sides[1].wrapWhole = 1;
    old.songsA = {1, "a"};  // no title-line flags: no heading
    auto bytes = old.Bytes();

    Liner liner = OpenLiner();
    const Liner before = liner;
    ImportResult result = Merge(liner, bytes, MergeChoice::All);
    ASSERT_EQ(result.outcome, ImportOutcome::Merged);
    EXPECT_EQ(result.choice, MergeChoice::All);

    EXPECT_EQ(liner.cutLineStyle, 1);
    EXPECT_EQ(liner.foldLineStyle, 4);
    EXPECT_EQ(liner.sideLetters[kSideAPrimary].style, kLetterNone);
    EXPECT_EQ(liner.sideLetters[kSideAFlap].style, kLetterReverseVideo);
    EXPECT_EQ(liner.sideLetters[kSideBPrimary].style, kLetterReverseVideo);
    EXPECT_EQ(liner.sideLetters[kSideBFlap].style, kLetterNone);

    EXPECT_EQ(liner.songsA, (TextBlock{1, "a"}));
    ASSERT_EQ(liner.fonts.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(liner.fonts[i].logFont.FaceName(), "Old" + std::to_string(i));
        EXPECT_EQ(liner.fonts[i].color, before.fonts[i].color);
    }
    EXPECT_EQ(liner.fonts[1].logFont.height, 65520);
    EXPECT_EQ(liner.fonts[1].logFont.escapement, 32768);

    EXPECT_EQ(liner.invertImage, 1);
    EXPECT_EQ(liner.bisectSides, 1);
    EXPECT_EQ(liner.splitTitle, 1);
    EXPECT_EQ(liner.oneUpSides, 1);
    EXPECT_EQ(liner.titleFormat.alignment, kAlignRight);
    EXPECT_EQ(liner.titleFormat.right.twips, 1800);  // 1.25 in the default unit, inches
    EXPECT_EQ(liner.titleFormat.left, before.titleFormat.left);
    EXPECT_EQ(liner.titleFormat.wrap.twips, 720);

    // Side A: right aligned, margin 2.0, wrap 0.25, primary and overflow alike.
    for (int area : {kSideAPrimaryArea, kSideAOverflowArea}) {
        EXPECT_EQ(liner.songFormats[area].alignment, kAlignRight);
        EXPECT_EQ(liner.songFormats[area].right.twips, 2880);
        EXPECT_EQ(liner.songFormats[area].left, before.songFormats[area].left);
        EXPECT_EQ(liner.songFormats[area].wrap.twips, 360);
    }
    // Side B: left aligned, margin 0.75, wrap 1.0.
    for (int area : {kSideBPrimaryArea, kSideBOverflowArea}) {
        EXPECT_EQ(liner.songFormats[area].alignment, kAlignLeft);
        EXPECT_EQ(liner.songFormats[area].left.twips, 1080);
        EXPECT_EQ(liner.songFormats[area].right, before.songFormats[area].right);
        EXPECT_EQ(liner.songFormats[area].wrap.twips, 1440);
    }
    EXPECT_EQ(liner.features, before.features);
}

TEST(OlderVersion, AllMergeDetails) {
    // Unknown line codes pass unchanged; 211 is the normal letter style; the
    // lengths mean the default unit in force.
    OldFile old;
    old.cutCode = 5;
    old.foldCode = 206;
    old.letterCode = 211;
    old.titleAlignment = 250;  // centred: the margin is ignored
    old.titleMarginWhole = 9;
    old.sides[0].alignment = 271;
    old.sides[0].marginWhole = 9;
    old.sides[1].alignment = 999;  // never written by the old program
    old.sides[1].marginWhole = 1;
    auto bytes = old.Bytes();

    Liner liner = OpenLiner();
    liner.defaultUnits = kUnitCentimeters;
    liner.songFormats[kSideBOverflowArea].alignment = kAlignLeft;
    const Liner before = liner;
    ASSERT_EQ(Merge(liner, bytes, MergeChoice::All).outcome, ImportOutcome::Merged);
    EXPECT_EQ(liner.cutLineStyle, 5);
    EXPECT_EQ(liner.foldLineStyle, 2);
    for (auto& letter : liner.sideLetters) EXPECT_EQ(letter.style, kLetterNormal);
    EXPECT_EQ(liner.titleFormat.alignment, kAlignCentered);
    EXPECT_EQ(liner.titleFormat.left, before.titleFormat.left);
    EXPECT_EQ(liner.titleFormat.right, before.titleFormat.right);
    EXPECT_EQ(liner.songFormats[kSideAPrimaryArea].left,
              before.songFormats[kSideAPrimaryArea].left);
    EXPECT_EQ(liner.songFormats[kSideAPrimaryArea].right,
              before.songFormats[kSideAPrimaryArea].right);
    // An unknown code keeps the overflow area's alignment, which the primary
    // area follows; the margin goes where that alignment puts it.
    EXPECT_EQ(liner.songFormats[kSideBPrimaryArea].alignment, kAlignLeft);
    EXPECT_EQ(liner.songFormats[kSideBOverflowArea].left.twips, 567);
    EXPECT_EQ(liner.songFormats[kSideBPrimaryArea].left.twips, 567);
    EXPECT_EQ(liner.songFormats[kSideAOverflowArea].wrap.twips, 0);  // "0.0"
}

TEST(OlderVersion, AllMergeTakesDefaultsForEverythingAfterTheFonts) {
    OldFile old;
    old.titleAlignment = 251;
    old.invertImage = 1;
    old.oneUpSides = 1;
    old.names = {"Tape", "", "", ""};
    old.sides[0].choices[0] = "Metal";
    auto full = old.Bytes();
    std::vector<uint8_t> bytes(full.begin(),
                               full.begin() + static_cast<std::ptrdiff_t>(old.fontsEnd));

    Liner liner = OpenLiner();
    liner.features.push_back(SidedFeature("", {"x"}, {"y"}));
    const Liner before = liner;
    ASSERT_EQ(Merge(liner, bytes, MergeChoice::All).outcome, ImportOutcome::Merged);
    EXPECT_EQ(liner.invertImage, 0);
    EXPECT_EQ(liner.bisectSides, 0);
    EXPECT_EQ(liner.splitTitle, 0);
    EXPECT_EQ(liner.oneUpSides, 0);
    EXPECT_EQ(liner.titleFormat.alignment, kAlignLeft);
    EXPECT_EQ(liner.titleFormat.left.twips, 720);  // 0.5
    EXPECT_EQ(liner.titleFormat.wrap.twips, 288);  // 0.2
    // The names were not read: no selection is merged, not even into a
    // feature without a name.
    EXPECT_EQ(liner.features, before.features);
}

TEST(OlderVersion, LayoutCodeMovesTheFirstChoice) {
    for (uint8_t layout : {2, 9}) {
        OldFile old;
        old.sides[0].layout = layout;
        old.sides[0].choices[0] = "Dolby C";
        old.names = {"Noise Reduction", "", "", ""};
        Liner liner = OpenLiner();
        ASSERT_EQ(Merge(liner, old.Bytes(), MergeChoice::Text).outcome, ImportOutcome::Merged);
        EXPECT_EQ(liner.features[0].sides[0].choices,
                  (std::vector<std::string>{"Dolby B", "Dolby C", "None"}))
            << "layout " << int(layout);
    }
    // Codes 3 to 8 keep the choice where it is.
    OldFile old;
    old.sides[1].layout = 8;
    old.sides[1].choices[0] = "Dolby S";
    old.names = {"Noise Reduction", "", "", ""};
    Liner liner = OpenLiner();
    ASSERT_EQ(Merge(liner, old.Bytes(), MergeChoice::Text).outcome, ImportOutcome::Merged);
    EXPECT_EQ(liner.features[0].sides[1].choices,
              (std::vector<std::string>{"dbx", "Dolby S", "None"}));
    EXPECT_EQ(liner.features[0].sides[1].selected, 1);
}

TEST(OlderVersion, FeatureNamesAndTheirChoices) {
    OldFile old;
    // A 30-byte name is read whole and matched on its first 25 bytes; the
    // names after it are still in step.
    old.names = {std::string(25, 'x') + "TRAIL", "", "tape", ""};
    old.sides[0].choices[0] = "long";
    old.sides[0].choices[2] = "Ferric";
    old.sides[1].choices[2] = "Chrome";
    // A choice field without a terminator keeps all of its 20 bytes.
    old.sides[1].choices[0] = std::string(20, 'z');
    auto bytes = old.Bytes();

    Liner liner = OpenLiner();
    liner.features.push_back(SidedFeature(std::string(25, 'X'), {}, {}));
    ASSERT_EQ(Merge(liner, bytes, MergeChoice::Text).outcome, ImportOutcome::Merged);
    EXPECT_EQ(liner.features[2].sides[0], (ChoiceBlock{0, {"long"}}));
    EXPECT_EQ(liner.features[2].sides[1], (ChoiceBlock{0, {std::string(20, 'z')}}));
    EXPECT_EQ(liner.features[1].sides[0], (ChoiceBlock{1, {"Chrome", "Ferric", "Normal"}}));
    EXPECT_EQ(liner.features[1].sides[1], (ChoiceBlock{0, {"Chrome", "Metal"}}));
}

// ---------------------------------------------------------------------------
// The selection merge on its own.

TEST(OlderVersionSelection, MatchesInsertsAndSelects) {
    Liner liner = OpenLiner();
    liner.features.insert(liner.features.begin(),
                          SidedFeature("Tape", {"Zzz"}, {}, kFeatureAdjacentWithSides));
    liner.features.push_back(SidedFeature("Tape", {"Later"}, {}));

    // Only the first "Centered with sides" feature of that name is used.
    MergeOldSelection(liner, "TAPE", "normal", 0);
    EXPECT_EQ(liner.features[2].sides[0], (ChoiceBlock{1, {"Chrome", "Normal"}}));
    EXPECT_EQ(liner.features[0].sides[0], (ChoiceBlock{0, {"Zzz"}}));
    EXPECT_EQ(liner.features[3].sides[0], (ChoiceBlock{0, {"Later"}}));

    // Font changes do not count in the comparison, on either text.
    liner.features[2].sides[0].choices[0] =
        "\x01\x04"
        "Chr\x01\x05ome";
    MergeOldSelection(liner,
                      "t\x01\x03"
                      "ape",
                      "chrome", 0);
    EXPECT_EQ(liner.features[2].sides[0].selected, 0);
    EXPECT_EQ(liner.features[2].sides[0].choices.size(), 2u);

    // Insertion in alphabetical order, by the loose comparison.
    MergeOldSelection(liner, "Tape", "cobalt", 0);
    MergeOldSelection(liner, "Tape", "ZINC", 0);
    MergeOldSelection(liner, "Tape", "", 0);
    EXPECT_EQ(liner.features[2].sides[0].choices,
              (std::vector<std::string>{"",
                                        "\x01\x04"
                                        "Chr\x01\x05ome",
                                        "cobalt", "Normal", "ZINC"}));
    EXPECT_EQ(liner.features[2].sides[0].selected, 0);
    MergeOldSelection(liner, "Tape", "ZINC", 0);
    EXPECT_EQ(liner.features[2].sides[0].selected, 4);

    // Side B is its own block; a name nobody has changes nothing.
    MergeOldSelection(liner, "Tape", "Metal", 1);
    EXPECT_EQ(liner.features[2].sides[1], (ChoiceBlock{0, {"Metal"}}));
    const Liner before = liner;
    MergeOldSelection(liner, "Tapes", "Metal", 1);
    MergeOldSelection(liner, "Reduction", "x", 0);
    EXPECT_EQ(liner, before);

    // Letters of Windows-1252 fold too.
    liner.features[2].name = "\xC9tat";
    MergeOldSelection(liner, "\xE9TAT", "Metal", 1);
    EXPECT_EQ(liner.features[2].sides[1].choices.size(), 1u);
}

TEST(OlderVersionSelection, LimitsOfTheBlockAndTheRecord) {
    Liner liner;
    std::vector<std::string> many;
    for (int i = 0; i < kMaxChoices; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "c%03d", i);
        many.push_back(name);
    }
    liner.features.push_back(SidedFeature("Full", many, {}));
    liner.features[0].sides[0].selected = 5;
    // A present choice is still selected; a new one does not fit.
    MergeOldSelection(liner, "Full", "C126", 0);
    EXPECT_EQ(liner.features[0].sides[0].selected, 126);
    MergeOldSelection(liner, "Full", "a", 0);
    EXPECT_EQ(liner.features[0].sides[0].choices.size(), 127u);
    EXPECT_EQ(liner.features[0].sides[0].selected, 126);

    // A record at its 16-bit limit takes no more bytes.
    Feature big = SidedFeature("Big", {std::string(1000, 'm')}, {});
    big.sides[1].choices.push_back(std::string(kMaxFeatureRecordSize - big.RecordSize() - 11, 'b'));
    liner.features.push_back(big);
    MergeOldSelection(liner, "Big", "123456789", 0);  // exactly fills the record
    EXPECT_EQ(liner.features[1].RecordSize(), kMaxFeatureRecordSize);
    EXPECT_EQ(liner.features[1].sides[0].selected, 0);
    MergeOldSelection(liner, "Big", "a", 0);
    EXPECT_EQ(liner.features[1].RecordSize(), kMaxFeatureRecordSize);
    EXPECT_EQ(liner.features[1].sides[0].choices.size(), 2u);
    EXPECT_EQ(SerializeLiner(liner, FileKind::Format).has_value(), true);
}

// ---------------------------------------------------------------------------
// Side headings.

TEST(OlderVersionHeadings, TwoLineTitleGoesToBothSides) {
    OldFile old;
    old.title = {2, "First\r\nSecond"};
    old.songsA = {2, "a1\r\na2"};
    old.sides[0].titleFlag1 = 1;
    old.sides[1].titleFlag2 = 1;
    old.fonts[2].face = "Feature";
    old.sideTitleFont.face = "Feature";  // standard font 3, whatever its colour
    Liner liner = OpenLiner();
    ASSERT_EQ(Merge(liner, old.Bytes(), MergeChoice::All).outcome, ImportOutcome::Merged);
    EXPECT_EQ(liner.fonts.size(), 5u);
    EXPECT_EQ(liner.songsA, (TextBlock{4,
                                       "\x01\x03"
                                       "First\r\n\r\n\x01\x05"
                                       "a1\r\na2"}));
    EXPECT_EQ(liner.songsB, (TextBlock{2,
                                       "\x01\x03"
                                       "Second\r\n\r\n\x01\x05"}));
}

TEST(OlderVersionHeadings, OneLineTitleAndNewFont) {
    OldFile old;
    old.title = {1, "Only"};
    old.songsB = {1, "b"};
    old.sides[0].titleFlag2 = 1;
    old.sides[1].titleFlag1 = 1;
    old.sideTitleFont.face = "Heading";
    old.sideTitleFont.italic = 1;
    Liner liner = OpenLiner();
    ASSERT_EQ(Merge(liner, old.Bytes(), MergeChoice::All).outcome, ImportOutcome::Merged);
    ASSERT_EQ(liner.fonts.size(), 6u);
    EXPECT_EQ(liner.fonts[5].logFont.FaceName(), "Heading");
    EXPECT_EQ(liner.fonts[5].logFont.italic, 1);
    EXPECT_EQ(liner.fonts[5].color, 0u);
    EXPECT_EQ(liner.songsA, (TextBlock{2, "\x01\x06Only\r\n\r\n\x01\x05"}));
    EXPECT_EQ(liner.songsB, (TextBlock{3,
                                       "\x01\x06Only\r\n\r\n\x01\x05"
                                       "b"}));
}

TEST(OlderVersionHeadings, SideTitleFontDefaultsToTheFeatureFont) {
    OldFile old;
    old.title = {1, "T"};
    old.sides[0].titleFlag1 = 1;
    for (int i = 0; i < 5; ++i) old.fonts[i].face = "F" + std::to_string(i);
    auto full = old.Bytes();
    // Without the side-title font the heading uses a copy of the font just
    // read as standard font 3.
    full.resize(full.size() - 50);
    Liner liner = OpenLiner();
    ASSERT_EQ(Merge(liner, full, MergeChoice::All).outcome, ImportOutcome::Merged);
    EXPECT_EQ(liner.fonts.size(), 5u);
    EXPECT_EQ(liner.songsA.text.substr(0, 2), "\x01\x03");
}

TEST(OlderVersionHeadings, FullFontTableKeepsTheSongFont) {
    OldFile old;
    old.title = {1, "T"};
    old.sides[0].titleFlag1 = 1;
    old.sideTitleFont.face = "Nowhere";
    Liner liner = OpenLiner();
    while (liner.fonts.size() < kMaxFonts) {
        liner.fonts.push_back(Font("Extra", static_cast<int32_t>(liner.fonts.size()), 0));
    }
    ScriptedPrompter prompter;
    ASSERT_EQ(Merge(liner, old.Bytes(), MergeChoice::All, &prompter).outcome,
              ImportOutcome::Merged);
    EXPECT_EQ(liner.fonts.size(), static_cast<size_t>(kMaxFonts));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.LastText().find("more fonts than this program can handle"),
              std::string::npos);
    EXPECT_EQ(liner.songsA, (TextBlock{2, "\x01\x05T\r\n\r\n\x01\x05"}));
}

TEST(OlderVersionHeadings, TitleLinesAndLimits) {
    // A font change whose number is the byte of a carriage return is not a line end.
    OldTitleLines lines = SplitOldTitle({2,
                                         "A\x01\x0D"
                                         "B\r\nC\r\nD"});
    EXPECT_EQ(lines.first,
              "A\x01\x0D"
              "B");
    EXPECT_EQ(lines.second, "C");
    lines = SplitOldTitle({2, "Top\r\n"});
    EXPECT_EQ(lines.second, "");
    lines = SplitOldTitle({1, "Lone\x01"});
    EXPECT_EQ(lines.first, "Lone\x01");
    EXPECT_EQ(lines.second, "Lone\x01");
    lines = SplitOldTitle({});
    EXPECT_EQ(lines.first, "");
    EXPECT_EQ(lines.second, "");

    // Songs that would outgrow a stored text get no heading.
    TextBlock songs{1, std::string(0xFFFF - 8, 's')};
    EXPECT_FALSE(InsertOldHeading(songs, "x", 6));
    EXPECT_EQ(songs.lineCount, 1);
    EXPECT_TRUE(InsertOldHeading(songs, "", 6));
    EXPECT_EQ(songs.text.size(), 0xFFFFu);
    TextBlock tall{INT16_MAX - 1, "many"};
    EXPECT_FALSE(InsertOldHeading(tall, "x", 6));
}

// ---------------------------------------------------------------------------

TEST(OlderVersion, TruncatedFilesMergeWithDefaultsOrFail) {
    OldFile old;
    old.title = {2, "First\r\nSecond"};
    old.songsA = {1, "a"};
    old.songsB = {1, "b"};
    old.names = {"Tape", "Noise Reduction", "x", "y"};
    old.sides[0].choices[0] = "Ferric";
    old.sides[0].titleFlag1 = 1;
    old.sides[1].titleFlag1 = 1;
    old.sides[1].layout = 1;
    const auto full = old.Bytes();

    for (MergeChoice choice : {MergeChoice::Text, MergeChoice::All}) {
        const size_t needed = choice == MergeChoice::All ? old.fontsEnd : old.textsEnd;
        for (size_t n = 0; n <= full.size(); ++n) {
            std::vector<uint8_t> bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            Liner liner = OpenLiner();
            ImportResult result = Merge(liner, bytes, choice);
            ASSERT_EQ(result.outcome, n < needed ? ImportOutcome::Failed : ImportOutcome::Merged)
                << "length " << n;
            if (result.outcome == ImportOutcome::Merged) {
                ASSERT_EQ(liner.title.text, "First\r\nSecond");
                ASSERT_TRUE(SerializeLiner(liner, FileKind::Liner).has_value());
            }
        }
    }
}

}  // namespace
