#include <gtest/gtest.h>

#include "document/liner.h"
#include "support/test_support.h"

namespace {

FontEntry Font(int height, const char* face = "Arial", uint32_t color = 0) {
    FontEntry f;
    f.logFont.height = height;
    f.logFont.weight = 400;
    f.logFont.SetFaceName(face);
    f.color = color;
    return f;
}

std::string Change(int number) { return std::string{kFontChange, static_cast<char>(number)}; }

Liner WithFonts(int count) {
    Liner liner;
    for (int i = 0; i < count; ++i) liner.fonts.push_back(Font(100 + i));
    return liner;
}

TEST(FontTable, AddReusesEqualEntriesAndStopsAt255) {
    ScriptedPrompter prompter;
    Liner liner = WithFonts(5);
    EXPECT_EQ(AddFont(liner, Font(102), prompter), 3);
    EXPECT_EQ(AddFont(liner, Font(102, "Arial", 0xFF), prompter), 6);
    while (liner.fonts.size() < 255) AddFont(liner, Font(1000 + static_cast<int>(liner.fonts.size())), prompter);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(AddFont(liner, Font(9999), prompter), 0);
    EXPECT_EQ(liner.fonts.size(), 255u);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.LastText().find("more fonts than this program can handle"), std::string::npos);
    // An equal font is still found in a full table.
    EXPECT_EQ(AddFont(liner, Font(104), prompter), 5);
}

TEST(FontTable, FaceNamesCompareUpToTheirTerminator) {
    // A file may leave bytes behind the face name's terminator; the font
    // dialog's entry has none.  They are the same font.
    ScriptedPrompter prompter;
    Liner liner = WithFonts(5);
    FontEntry stored = Font(300, "Arial");
    const char leftovers[] = "Arial\0Helvetica";
    std::copy(std::begin(leftovers), std::end(leftovers), stored.logFont.faceName.begin());
    liner.fonts.push_back(stored);
    EXPECT_EQ(AddFont(liner, Font(300, "Arial"), prompter), 6);
    EXPECT_EQ(AddFont(liner, stored, prompter), 6);
    EXPECT_EQ(liner.fonts.size(), 6u);
    // A different name is a different font.
    EXPECT_EQ(AddFont(liner, Font(300, "Arial Black"), prompter), 7);
}

TEST(FontTable, EnsureStandardFonts) {
    Liner liner = WithFonts(2);
    EnsureStandardFonts(liner);
    EXPECT_EQ(liner.fonts.size(), 5u);
    EXPECT_EQ(liner.fonts[0].logFont.height, 100);
}

TEST(FontCompaction, KeepsReferencedFontsAndRenumbersEveryText) {
    Liner liner = WithFonts(255);
    // Texts use fonts 7, 200 and 255; everything else beyond the five goes.
    liner.title = {1, "A" + Change(200) + "B"};
    liner.songsA = {2, Change(7) + "x\r\ny" + Change(255)};
    liner.songsB = {0, Change(9) + "ignored: no lines"};
    liner.sideLetters[kSideBFlap].text = Change(200) + "B";
    Feature sided;
    sided.style = kFeatureAdjacentWithSides;
    sided.name = Change(7) + "Noise";
    sided.sides[1].choices = {"None", Change(255) + "Dolby"};
    Feature plain;
    plain.style = kFeatureCentered;
    plain.name = "Plain";
    plain.sides[0].choices = {Change(100) + "not scanned: style is not sided"};
    liner.features = {sided, plain};
    uint16_t lastFont = 200;

    CompactFonts(liner, &lastFont);
    ASSERT_EQ(liner.fonts.size(), 8u);
    EXPECT_EQ(liner.fonts[5].logFont.height, 106);
    EXPECT_EQ(liner.fonts[6].logFont.height, 299);
    EXPECT_EQ(liner.fonts[7].logFont.height, 354);
    EXPECT_EQ(liner.title.text, "A" + Change(7) + "B");
    EXPECT_EQ(liner.songsA.text, Change(6) + "x\r\ny" + Change(8));
    EXPECT_EQ(liner.songsB.text, Change(9) + "ignored: no lines");
    EXPECT_EQ(liner.sideLetters[kSideBFlap].text, Change(7) + "B");
    EXPECT_EQ(liner.features[0].name, Change(6) + "Noise");
    EXPECT_EQ(liner.features[0].sides[1].choices[1], Change(8) + "Dolby");
    EXPECT_EQ(lastFont, 7);
}

TEST(FontCompaction, LastFontOfAnUnusedFontBecomesOne) {
    Liner liner = WithFonts(8);
    uint16_t lastFont = 8;
    CompactFonts(liner, &lastFont);
    EXPECT_EQ(liner.fonts.size(), 5u);
    EXPECT_EQ(lastFont, 1);
    uint16_t none = 0xFFFF;
    CompactFonts(liner, &none);
    EXPECT_EQ(none, 0xFFFF);
    uint16_t standard = 3;
    CompactFonts(liner, &standard);
    EXPECT_EQ(standard, 3);
}

TEST(FontCompaction, DanglingNumbersAreLeftAlone) {
    Liner liner = WithFonts(6);
    liner.title = {1, Change(40) + "x" + Change(6) + std::string(1, kFontChange)};
    CompactFonts(liner, nullptr);
    EXPECT_EQ(liner.fonts.size(), 6u);
    EXPECT_EQ(liner.title.text, Change(40) + "x" + Change(6) + std::string(1, kFontChange));
}

TEST(TabStops, ParsedSortedAndInvalidTokensSkipped) {
    Liner liner;
    liner.defaultUnits = kUnitInches;
    liner.tabStopsText = "3in,1in,,2 in";
    ParseTabStops(liner);
    EXPECT_EQ(liner.tabStops, (std::vector<int16_t>{1440, 2880, 4320}));
    liner.tabStopsText = "1 cm, junk,0.5,";
    ParseTabStops(liner);
    EXPECT_EQ(liner.tabStops, (std::vector<int16_t>{567, 720}));
    liner.tabStopsText.clear();
    ParseTabStops(liner);
    EXPECT_TRUE(liner.tabStops.empty());
}

TEST(Liner, DerivedValues) {
    Liner liner;
    liner.flapHeight.twips = 1440;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 3690;
    liner.overflowHeight.twips = 3690;
    liner.overflowCount = 2;
    EXPECT_EQ(liner.totalHeight(), 1440 + 720 + 3 * 3690);
    liner.overflowCount = 10;  // kept to 16 bits, as the layout expects
    EXPECT_EQ(liner.totalHeight(), static_cast<int16_t>(1440 + 720 + 11 * 3690));

    Feature a, b, c;
    a.style = kFeatureCenteredWithSides;
    b.style = kFeatureLeftJustified;
    c.style = kFeatureBlankWithSides;
    liner.features = {a, b, c};
    EXPECT_EQ(liner.sidedFeatureCount(), 2);
    EXPECT_EQ(a.RecordSize(), 28u + 1 + 2 + 2 + 1);
    EXPECT_EQ(b.RecordSize(), 28u + 1 + 1);
}

TEST(Liner, CopyFormatKeepsTheTexts) {
    Liner a, b;
    a.title = {1, "mine"};
    b.title = {1, "theirs"};
    b.width.twips = 5760;
    a.CopyFormatFrom(b);
    EXPECT_EQ(a.title.text, "mine");
    EXPECT_EQ(a.width.twips, 5760);
}

}  // namespace
