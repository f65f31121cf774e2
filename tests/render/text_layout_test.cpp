#include "render/text_layout.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "platform/strings.h"
#include "render/fonts.h"
#include "platform/qt_surface.h"
#include "render/fixed_surface.h"
#include "support/test_support.h"

using namespace std::literals;

namespace {

Measurement Twips(int twips) {
    Measurement m;
    m.whole = static_cast<int16_t>(twips / 1440);
    m.unit = kUnitInches;
    m.twips = static_cast<int16_t>(twips);
    return m;
}

// A spacing without unit: counts rows.
Measurement Rows(int whole, int fraction = 0, int digits = 0) {
    Measurement m;
    m.whole = static_cast<int16_t>(whole);
    m.fraction = static_cast<int16_t>(fraction);
    m.fractionDigits = static_cast<int16_t>(digits);
    m.unit = kUnitNone;
    return m;
}

// Five standard fonts of 240 twips, then font 6: 480 twips, red.
Liner MakeLiner() {
    Liner liner;
    liner.fonts.resize(6);
    for (int i = 0; i < 5; ++i) {
        liner.fonts[i].logFont.height = 240;
        liner.fonts[i].color = 0x000010 + i;
    }
    liner.fonts[5].logFont.height = 480;
    liner.fonts[5].color = 0x0000FF;
    liner.width.twips = 5039;
    return liner;
}

std::vector<std::string> Texts(const RowBuffer& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows.rows) out.push_back(row.Text());
    return out;
}

std::vector<int> Widths(const RowBuffer& rows) {
    std::vector<int> out;
    for (const auto& row : rows.rows) out.push_back(row.width);
    return out;
}

class LayOutTest : public ::testing::Test {
protected:
    RowBuffer Lay(std::string_view text, int width, int leftX = 0, int wrap = 0,
                  Measurement within = Rows(0), int font = kFontSong) {
        RowBuffer rows;
        fontOut = font;
        LayOut(surface, liner, fontOut, width, text, leftX, wrap, within, rows);
        return rows;
    }

    FixedSurface surface;
    Liner liner = MakeLiner();
    int fontOut = 0;
};

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

// ---- Row breaking ------------------------------------------------------------

TEST_F(LayOutTest, TextThatFitsIsOneRowWithItsMeasuredWidth) {
    RowBuffer rows = Lay("ab cd", 1000);
    EXPECT_EQ(Texts(rows), Strings{"ab cd"});
    EXPECT_EQ(Widths(rows), Ints{450});
    EXPECT_EQ(rows.height, 240);
    EXPECT_EQ(rows.rows[0].descent, 48);
}

TEST_F(LayOutTest, RowBrokenBeforeAWordKeepsThePrecedingSpace) {
    RowBuffer rows = Lay("aaa bbb", 500);
    EXPECT_EQ(Texts(rows), (Strings{"aaa ", "bbb"}));
    EXPECT_EQ(Widths(rows), (Ints{350, 300}));
}

TEST_F(LayOutTest, CharacterFillingTheRowExactlyStillFits) {
    EXPECT_EQ(Texts(Lay("aaaaa", 500)), Strings{"aaaaa"});
}

TEST_F(LayOutTest, WordLongerThanTheRowIsSplitWithAHyphen) {
    RowBuffer rows = Lay("abcdefgh", 450);
    EXPECT_EQ(Texts(rows), (Strings{"abc-", "def-", "gh"}));
    // The hyphen's own width replaces the width of the character it stands
    // for, and the moved character counts in the next row.
    EXPECT_EQ(Widths(rows), (Ints{360, 360, 200}));
}

TEST_F(LayOutTest, TrailingSpacesAreRemovedAndLeadingSpacesOfTheNextRowSkipped) {
    RowBuffer rows = Lay("aaaa     bb", 450);
    EXPECT_EQ(Texts(rows), (Strings{"aaaa", "bb"}));
    EXPECT_EQ(Widths(rows), (Ints{400, 200}));
}

TEST_F(LayOutTest, SpacesThatOverflowAtTheEndLeaveOneRow) {
    RowBuffer rows = Lay("aaaa      ", 450);
    EXPECT_EQ(Texts(rows), Strings{"aaaa"});
    EXPECT_EQ(Widths(rows), Ints{400});
}

TEST_F(LayOutTest, ContinuationRowsAreNarrowerByTheWrapIndent) {
    // The second row has only 400 twips: "bbb " and a "c" would need 450.
    // The row breaks before the word's first character, so its space goes.
    RowBuffer rows = Lay("aaa bbb ccc", 500, 0, 100);
    EXPECT_EQ(Texts(rows), (Strings{"aaa ", "bbb", "ccc"}));
}

TEST_F(LayOutTest, RowsNarrowerThanOneCharacterStillEnd) {
    EXPECT_EQ(Texts(Lay("abc", 50)), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Texts(Lay("ab", -300)), (Strings{"a", "b"}));
    EXPECT_EQ(Texts(Lay("ab cd", 150)), (Strings{"a", "b", "c", "d"}));
}

TEST_F(LayOutTest, ItemEndsAtCarriageReturnOrNul) {
    EXPECT_EQ(Texts(Lay("ab\r\ncd", 1000)), Strings{"ab"});
    EXPECT_EQ(Texts(Lay(std::string_view("ab\0cd", 5), 1000)), Strings{"ab"});
    EXPECT_EQ(Texts(Lay("", 1000)), Strings{""});
}

// ---- Fonts in rows -------------------------------------------------------------

TEST_F(LayOutTest, RowsTakeTheLargestFontAndItemsSumRowsAndWithinSpacing) {
    RowBuffer rows = Lay("a\x01\x06" "b", 1000);
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0].height, 480);
    EXPECT_EQ(rows.rows[0].descent, 96);
    EXPECT_EQ(rows.rows[0].width, 100 + 200);

    RowBuffer two = Lay("aaa bbb", 500, 0, 0, Rows(0, 5, 1));
    EXPECT_EQ(two.height, 240 + 120 + 240);
}

TEST_F(LayOutTest, FontChangeEndingARowMovesToTheNextRow) {
    RowBuffer rows = Lay("aaa \x01\x06" "bb", 500);
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0].Text(), "aaa");
    EXPECT_EQ(rows.rows[0].items.back(), (RowItem{RowItem::Kind::Char, 'a', 100}));
    EXPECT_EQ(rows.rows[0].height, 240);
    EXPECT_EQ(rows.rows[1].items.front(), (RowItem{RowItem::Kind::Font, 6, 0}));
    EXPECT_EQ(rows.rows[1].height, 480);
    EXPECT_EQ(rows.rows[1].width, 400);
}

TEST_F(LayOutTest, SplitWordKeepsEachCharacterInItsOwnFont) {
    // "ab" in font 5 (100 each), "cd" in font 6 (200 each).
    RowBuffer rows = Lay("ab\x01\x06" "cd", 350);
    EXPECT_EQ(Texts(rows), (Strings{"a-", "b-", "cd"}));
    EXPECT_EQ(Widths(rows), (Ints{160, 220, 400}));
    using K = RowItem::Kind;
    EXPECT_EQ(rows.rows[1].items, (std::vector<RowItem>{
                                      {K::Font, 5, 0}, {K::Char, 'b', 100}, {K::Font, 6, 0}, {K::Char, '-', 120}}));
    EXPECT_EQ(rows.rows[2].items.front(), (RowItem{K::Font, 6, 0}));
    EXPECT_EQ(rows.rows[1].height, 480);
}

TEST_F(LayOutTest, StartingFontComesFromALeadingChangeAndIsReturned) {
    RowBuffer rows = Lay("\x01\x06" "ab", 1000);
    EXPECT_EQ(fontOut, 6);
    EXPECT_EQ(rows.startFont, 6);
    EXPECT_EQ(rows.rows[0].width, 400);

    Lay("ab", 1000, 0, 0, Rows(0), 6);
    EXPECT_EQ(fontOut, 6);
}

TEST_F(LayOutTest, FontNumbersNamingNoEntryFallBackToTheStandardFont) {
    RowBuffer rows = Lay("\x01\x63" "ab\x01" "\x00" "c\x01\x07" "d"sv, 1000);
    EXPECT_EQ(fontOut, kFontSong);
    for (const auto& item : rows.rows[0].items) {
        if (item.kind == RowItem::Kind::Font) {
            EXPECT_EQ(item.value, kFontSong);
        }
    }
    EXPECT_EQ(rows.rows[0].width, 400);

    // An empty table: the plain default entry, never an index past the end.
    liner.fonts.clear();
    RowBuffer bare = Lay("\x01\x02xy", 1000);
    EXPECT_EQ(bare.rows[0].width, 200);
    EXPECT_EQ(bare.rows[0].height, 240);
}

TEST_F(LayOutTest, FontChangeCutOffAtTheEndIsIgnored) {
    EXPECT_EQ(Texts(Lay("ab\x01", 1000)), Strings{"ab"});
    EXPECT_EQ(Texts(Lay("\x01", 1000)), Strings{""});
}

TEST_F(LayOutTest, MeasuringLeavesTheSurfaceFontAsItWas) {
    surface.font.height = 999;
    Lay("\x01\x06" "abc", 1000);
    EXPECT_EQ(surface.font.height, 999);
}

// ---- Tabs ------------------------------------------------------------------------

TEST_F(LayOutTest, TabAdvancesToTheNextStopBeyondThePosition) {
    liner.tabStops = {150, 1000, 2000};
    RowBuffer rows = Lay("ab\xBB" "cd\xBB" "e", 3000);
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0].width, 2000 + 100);
    std::vector<RowItem> tabs;
    for (const auto& item : rows.rows[0].items) {
        if (item.kind == RowItem::Kind::Tab) tabs.push_back(item);
    }
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[0].value, 1);
    EXPECT_EQ(tabs[1].value, 2);
}

TEST_F(LayOutTest, TabStopsCountFromThePapersLeftEdge) {
    liner.tabStops = {1000};
    RowBuffer rows = Lay("a\xBB" "b", 3000, 400);
    EXPECT_EQ(rows.rows[0].width, 600 + 100);
}

TEST_F(LayOutTest, TabWithoutAStopInsideTheRowIsASpace) {
    liner.tabStops = {3000};
    RowBuffer rows = Lay("ab\xBB" "cd", 3000);
    EXPECT_EQ(Texts(rows), Strings{"ab cd"});
    EXPECT_EQ(Widths(rows), Ints{450});

    liner.tabStops.clear();
    EXPECT_EQ(Texts(Lay("ab\xBB" "cd", 3000)), Strings{"ab cd"});
}

TEST_F(LayOutTest, TabFollowedByAWordTooLongBreaksBeforeTheTab) {
    liner.tabStops = {200, 1000};
    RowBuffer rows = Lay("abc\xBB" "defgh", 1500);
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0].Text(), "abc");
    EXPECT_EQ(rows.rows[0].width, 300);
    // On the new row the tab reaches the first stop and the word fits.
    EXPECT_EQ(rows.rows[1].items[1].kind, RowItem::Kind::Tab);
    EXPECT_EQ(rows.rows[1].Text(), "defgh");
    EXPECT_EQ(rows.rows[1].width, 200 + 500);
}

TEST_F(LayOutTest, TabBeforeAWordThatFitsNowhereStillEnds) {
    liner.tabStops = {1000};
    RowBuffer rows = Lay("ab\xBB" "cdefghijkl", 1500);
    // Breaking before the tab again and again would never end: the tab
    // keeps a row of its own and the word follows.
    EXPECT_EQ(Texts(rows), (Strings{"ab", "", "cdefghijkl"}));
}

// ---- Spacing and items ----------------------------------------------------------

TEST(SpacingTest, BareNumbersAndLinesCountRowsOtherUnitsAreTwips) {
    EXPECT_EQ(Spacing(Rows(1), 240), 240);
    EXPECT_EQ(Spacing(Rows(0, 5, 1), 240), 120);
    EXPECT_EQ(Spacing(Rows(2, 25, 2), 200), 450);
    Measurement lines = Rows(1);
    lines.unit = kUnitLines;
    EXPECT_EQ(Spacing(lines, 300), 300);
    EXPECT_EQ(Spacing(Twips(144), 240), 144);
}

TEST(SplitItemsTest, SplitsAtCarriageReturnLineFeedUpToTheCount) {
    EXPECT_EQ(SplitItems("a\r\nbb\r\nc", 3), (std::vector<std::string_view>{"a", "bb", "c"}));
    EXPECT_EQ(SplitItems("a\r\nbb\r\nc", 2), (std::vector<std::string_view>{"a", "bb"}));
    EXPECT_EQ(SplitItems("a\r\nbb", 5), (std::vector<std::string_view>{"a", "bb"}));
    EXPECT_EQ(SplitItems("a\r\n", 2), (std::vector<std::string_view>{"a", ""}));
    EXPECT_TRUE(SplitItems("a", 0).empty());
}

TEST(SplitItemsTest, FontNumbersThatLookLikeLineEndsDoNotSplit) {
    std::string text = "\x01\x0D" "a\r\n\x01\x0A" "b";
    auto items = SplitItems(text, 2);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], std::string_view("\x01\x0D" "a"));
    EXPECT_EQ(items[1], std::string_view("\x01\x0A" "b"));
    std::string withNul("a\0\r\nb", 5);
    EXPECT_EQ(SplitItems(withNul, 2), (std::vector<std::string_view>{"a"}));
}

// ---- Drawing rows -----------------------------------------------------------------

class DrawRowsTest : public LayOutTest {
protected:
    AreaFormat Format(int alignment, int left, int right, int wrap = 0) {
        AreaFormat f;
        f.alignment = static_cast<uint16_t>(alignment);
        f.left = Twips(left);
        f.right = Twips(right);
        f.wrap = Twips(wrap);
        f.within = Rows(0);
        return f;
    }
};

TEST_F(DrawRowsTest, UprightAlignmentsPlaceRowsWithMarginsAndWrap) {
    RowBuffer rows = Lay("aaa bbb", 500);  // rows of 350 and 300
    // Left: x + indent + left.
    int last = DrawRows(surface, liner, -1000, 1000, 1000, rows, Format(kAlignLeft, 100, 50, 70), false, 0);
    ASSERT_EQ(surface.texts.size(), 2u);
    EXPECT_EQ(surface.texts[0].x, 1100);
    EXPECT_EQ(surface.texts[0].y, -1192);
    EXPECT_EQ(surface.texts[1].x, 1170);
    EXPECT_EQ(surface.texts[1].y, -1192 - 48 - 192);
    EXPECT_EQ(last, -1432);

    // Centred: x + left + (width - rw - left - right - indent) div 2.
    surface.texts.clear();
    DrawRows(surface, liner, -1000, 1000, 1000, rows, Format(kAlignCentered, 100, 50, 70), false, 0);
    EXPECT_EQ(surface.texts[0].x, 1000 + 100 + (1000 - 350 - 150) / 2);
    EXPECT_EQ(surface.texts[1].x, 1000 + 100 + (1000 - 300 - 150 - 70) / 2);

    // Right: x + width - rw - right - indent; odd values count as left.
    surface.texts.clear();
    DrawRows(surface, liner, -1000, 1000, 1000, rows, Format(kAlignRight, 100, 50, 70), false, 0);
    EXPECT_EQ(surface.texts[0].x, 1000 + 1000 - 350 - 50);
    EXPECT_EQ(surface.texts[1].x, 1000 + 1000 - 300 - 50 - 70);
    surface.texts.clear();
    DrawRows(surface, liner, -1000, 1000, 1000, rows, Format(7, 100, 50), false, 0);
    EXPECT_EQ(surface.texts[0].x, 1100);
}

TEST_F(DrawRowsTest, CentredRowWithAWrappedWordSitsHalfASpaceLeft) {
    RowBuffer rows = Lay("aaa bbb", 500);
    DrawRows(surface, liner, 0, 0, 1000, rows, Format(kAlignCentered, 0, 0), false, 0);
    EXPECT_EQ(surface.texts[0].x, (1000 - 350) / 2);
    EXPECT_EQ(surface.texts[0].text, "aaa ");
}

TEST_F(DrawRowsTest, WithinSpacingSeparatesRowsAndFontsSwitchPerSegment) {
    RowBuffer rows;
    int font = kFontSong;
    LayOut(surface, liner, font, 500, "aaa \x01\x06" "bb", 0, 0, Rows(1), rows);
    AreaFormat f = Format(kAlignLeft, 0, 0);
    f.within = Rows(1);
    DrawRows(surface, liner, 0, 0, 1000, rows, f, false, 0);
    ASSERT_EQ(surface.texts.size(), 2u);
    // Next baseline: -192 - 48 - 240 (one row of 240) - (480 - 96).
    EXPECT_EQ(surface.texts[1].y, -192 - 48 - 240 - 384);
    EXPECT_EQ(surface.texts[1].fontHeight, 480);
    EXPECT_EQ(surface.texts[1].color, 0x0000FFu);
    EXPECT_EQ(surface.texts[0].color, 0x000014u);
}

TEST_F(DrawRowsTest, TabStopsPlaceSegmentsAtTheirPaperPosition) {
    liner.tabStops = {1500};
    AreaFormat f = Format(kAlignLeft, 200, 0);
    RowBuffer rows = Lay("ab\xBB" "cd", 2000, 1200);
    DrawRows(surface, liner, 0, 1000, 2200, rows, f, false, 0);
    ASSERT_EQ(surface.texts.size(), 2u);
    EXPECT_EQ(surface.texts[0].x, 1200);
    EXPECT_EQ(surface.texts[1].x, 1500);
}

TEST_F(DrawRowsTest, ReverseVideoKeepsTheCallersColourAndStateIsRestored) {
    surface.textColor = 0xABCDEF;
    surface.mode = BackgroundMode::Opaque;
    surface.font.height = 77;
    RowBuffer rows = Lay("\x01\x06" "ab", 1000);
    DrawRows(surface, liner, 0, 0, 1000, rows, Format(kAlignLeft, 0, 0), true, 0);
    ASSERT_EQ(surface.texts.size(), 1u);
    EXPECT_EQ(surface.texts[0].color, 0xABCDEFu);
    EXPECT_EQ(surface.textColor, 0xABCDEFu);
    EXPECT_EQ(surface.mode, BackgroundMode::Opaque);
    EXPECT_EQ(surface.font.height, 77);
}

TEST_F(DrawRowsTest, FirstPositionIsTheFirstSegmentRaisedByItsRow) {
    RowBuffer rows = Lay("ab", 1000);
    FirstPosition first;
    DrawRows(surface, liner, -500, 300, 1000, rows, Format(kAlignLeft, 100, 0), false, 0, &first);
    EXPECT_TRUE(first.set);
    EXPECT_EQ(first.x, 400);
    // The baseline (-692) raised by the row's height, not its ascent.
    EXPECT_EQ(first.y, -692 + 240);

    RowBuffer empty = Lay("", 1000);
    int last = DrawRows(surface, liner, -500, 300, 1000, empty, Format(kAlignLeft, 100, 0), false, 0, &first);
    EXPECT_FALSE(first.set);
    EXPECT_EQ(first.x, 300);
    EXPECT_EQ(first.y, last);
}

// Turned rows: font 6 turned, 480 high (ascent 384); item top y = -1000,
// x = 2000, width 3000, paper width 5039, rows "ab" (400 wide).
class TurnedRowsTest : public DrawRowsTest {
protected:
    void Turn(int degrees) { liner.fonts[5].logFont.escapement = degrees * 10; }
    FixedSurface::Text DrawOne(int alignment, int left, int right, int extent = 9000) {
        RowBuffer rows = Lay("\x01\x06" "ab", 5000);
        surface.texts.clear();
        DrawRows(surface, liner, -1000, 2000, 3000, rows, Format(alignment, left, right), false,
                 extent, &first);
        EXPECT_EQ(surface.texts.size(), 1u);
        return surface.texts.empty() ? FixedSurface::Text{} : surface.texts[0];
    }
    FirstPosition first;
    static constexpr int kBaseline = -1000 - 384;
};

TEST_F(TurnedRowsTest, NinetyDegreesRunDownThePaperFromTheRightEdge) {
    Turn(90);
    auto t = DrawOne(kAlignLeft, 100, 50);
    EXPECT_EQ(t.x, kBaseline + 5039);
    EXPECT_EQ(t.y, -(2000 + 100));
    EXPECT_EQ(first.x, t.x + 480);
    EXPECT_EQ(t.escapement, 900);
    EXPECT_EQ(DrawOne(kAlignCentered, 100, 50).y, -(2000 + 100 + (3000 - 400 - 150) / 2));
    EXPECT_EQ(DrawOne(kAlignRight, 100, 50).y, -(2000 + 3000 - 400 - 50));
}

TEST_F(TurnedRowsTest, OneEightyDegreesMirrorAboutTheExtentAndSwapSides) {
    Turn(180);
    auto t = DrawOne(kAlignLeft, 100, 50);
    // Left becomes right with the margins traded: from base X + rw.
    EXPECT_EQ(t.x, 2000 + 400 + 3000 - 400 - 100);
    EXPECT_EQ(t.y, -(kBaseline + 9000));
    EXPECT_EQ(first.y, t.y - 480);
    EXPECT_EQ(DrawOne(kAlignRight, 100, 50).x, 2000 + 400 + 50);
    EXPECT_EQ(DrawOne(kAlignCentered, 100, 50).x, 2000 + 400 + 50 + (3000 - 400 - 150) / 2);
}

TEST_F(TurnedRowsTest, TwoSeventyDegreesRunUpThePaperFromTheLeftEdge) {
    Turn(270);
    auto t = DrawOne(kAlignLeft, 100, 50);
    EXPECT_EQ(t.x, -kBaseline);
    EXPECT_EQ(t.y, -(2000 + 3000 - 100));
    EXPECT_EQ(first.x, t.x - 480);
    EXPECT_EQ(DrawOne(kAlignRight, 100, 50).y, -(2000 + 400 + 50));
    EXPECT_EQ(DrawOne(kAlignCentered, 100, 50).y, -(2000 + 400 + 50 + (3000 - 150 - 400) / 2));
}

TEST_F(TurnedRowsTest, SegmentsAdvanceAlongTheTurnedText) {
    Turn(180);
    RowBuffer rows = Lay("\x01\x06" "a\x01\x06" "b", 5000);
    DrawRows(surface, liner, -1000, 2000, 3000, rows, Format(kAlignLeft, 0, 0), false, 9000);
    ASSERT_EQ(surface.texts.size(), 2u);
    EXPECT_EQ(surface.texts[1].x, surface.texts[0].x - 200);
    surface.texts.clear();
    Turn(90);
    DrawRows(surface, liner, -1000, 2000, 3000, rows, Format(kAlignLeft, 0, 0), false, 9000);
    EXPECT_EQ(surface.texts[1].y, surface.texts[0].y - 200);
}

// ---- Title area ------------------------------------------------------------------------

class TitleAreaTest : public LayOutTest {
protected:
    void SetUp() override {
        liner.width.twips = 5039;
        liner.flapHeight.twips = 360;
        liner.titleHeight.twips = 1440;
        liner.primaryHeight.twips = 3600;
        liner.titleFormat.top = Twips(100);
        liner.titleFormat.bottom = Twips(60);
        liner.titleFormat.between = Rows(0, 5, 1);
        liner.titleFormat.alignment = kAlignCentered;
    }
    void SetTitle(int count, const std::string& text) {
        liner.title.lineCount = static_cast<int16_t>(count);
        liner.title.text = text;
    }
    void Draw() { DrawTitleArea(surface, liner, ComputeLinerGeometry(liner)); }
};

TEST_F(TitleAreaTest, NoLinesDrawNothing) {
    SetTitle(0, "ignored");
    Draw();
    EXPECT_TRUE(surface.texts.empty());
}

TEST_F(TitleAreaTest, LinesStackWithTheBetweenSpacingAndAreCentredAcrossThePaper) {
    SetTitle(2, "ab\r\ncd");
    Draw();
    ASSERT_EQ(surface.texts.size(), 2u);
    // First baseline: depth 360 + 100 + ascent 192.
    EXPECT_EQ(surface.texts[0].y, -652);
    EXPECT_EQ(surface.texts[0].x, (5040 - 200) / 2);
    // Next: + descent 48 + half a row 120 + ascent 192.
    EXPECT_EQ(surface.texts[1].y, -(652 + 48 + 120 + 192));
    EXPECT_EQ(surface.texts[0].color, 0x000013u);
}

TEST_F(TitleAreaTest, LaterLinesStartInTheFirstLinesStartingFont) {
    SetTitle(2, "\x01\x06" "ab\r\ncd");
    Draw();
    ASSERT_EQ(surface.texts.size(), 2u);
    EXPECT_EQ(surface.texts[1].fontHeight, 480);
}

TEST_F(TitleAreaTest, CenterVerticallySpreadsTheGapEvenly) {
    liner.centerTitleVertically = 1;
    SetTitle(2, "ab\r\ncd");
    Draw();
    // gap = (1440 - 480 - 100 - 60) div 3 = 266.
    ASSERT_EQ(surface.texts.size(), 2u);
    EXPECT_EQ(surface.texts[0].y, -(360 + 100 + 266 + 192));
    EXPECT_EQ(surface.texts[1].y, -(360 + 100 + 266 + 240 + 266 + 192));
}

TEST_F(TitleAreaTest, CenterVerticallyWithAZeroGapStartsTwoTwipsLower) {
    liner.centerTitleVertically = 1;
    liner.titleHeight.twips = 480 + 160 + 2;  // gap (642 - 640) div 3 = 0
    SetTitle(2, "ab\r\ncd");
    Draw();
    EXPECT_EQ(surface.texts[0].y, -(360 + 100 + 2 + 192));
}

TEST_F(TitleAreaTest, OverfullTitleGetsANegativeGapAndOverlapsUpward) {
    liner.centerTitleVertically = 1;
    liner.titleHeight.twips = 400;
    SetTitle(3, "a\r\nb\r\nc");
    Draw();
    // gap = (400 - 720 - 160) div 4 = -120.
    ASSERT_EQ(surface.texts.size(), 3u);
    EXPECT_EQ(surface.texts[0].y, -(360 + 100 - 120 + 192));
    EXPECT_EQ(surface.texts[1].y, surface.texts[0].y - 48 + 120 - 192);
}

TEST_F(TitleAreaTest, InvertedStackPutsTheTitleAboveTheFlap) {
    liner.invertImage = 1;
    SetTitle(1, "ab");
    Draw();
    // H = 5400; title top = 5401 - 360 - 1440 = 3601.
    EXPECT_EQ(surface.texts[0].y, -(3601 + 100 + 192));
}

// ---- Song areas -------------------------------------------------------------------------

class SongAreaTest : public LayOutTest {
protected:
    void SetUp() override {
        liner.width.twips = 5039;
        liner.flapHeight.twips = 0;
        liner.titleHeight.twips = 0;
        liner.primaryHeight.twips = 1000;
        liner.overflowHeight.twips = 600;
        liner.overflowCount = 1;
        for (auto& f : liner.songFormats) {
            f.top = Twips(10);
            f.bottom = Twips(20);
            f.between = Twips(0);
        }
        liner.songFormats[kSideAOverflowArea].top = Twips(30);
        geometry = ComputeLinerGeometry(liner);
    }
    SongSideResult DrawSide(int count, const std::string& text, int& overflowIndex, bool& armed,
                            int startDepth = 10) {
        songs.lineCount = static_cast<int16_t>(count);
        songs.text = text;
        SongSide side;
        side.songs = &songs;
        side.sideName = LoadString(IDS_SIDE_A);
        side.startDepth = startDepth;
        side.columnX = 0;
        side.columnWidth = 2520;
        side.primary = &liner.songFormats[kSideAPrimaryArea];
        side.overflow = &liner.songFormats[kSideAOverflowArea];
        return DrawSongSide(surface, liner, geometry, side, overflowIndex, prompter, armed);
    }

    LinerGeometry geometry;
    TextBlock songs;
    ScriptedPrompter prompter;
};

TEST_F(SongAreaTest, NoSongsDrawNothingAndKeepTheDepth) {
    int index = 0;
    bool armed = true;
    SongSideResult r = DrawSide(0, "a", index, armed, 123);
    EXPECT_EQ(r.depth, 123);
    EXPECT_FALSE(r.firstSong.set);
    EXPECT_TRUE(surface.texts.empty());
}

TEST_F(SongAreaTest, SongsFlowIntoTheOverflowAreaAtItsTopMargin) {
    // Primary limit 1000 - 20 = 980: songs at 10, 250, 490, 730 fit; the
    // fifth (970 + 240) moves to the overflow area at 1000 + 30.
    int index = 0;
    bool armed = true;
    SongSideResult r = DrawSide(5, "a\r\nb\r\nc\r\nd\r\ne", index, armed);
    ASSERT_EQ(surface.texts.size(), 5u);
    EXPECT_EQ(surface.texts[3].y, -(730 + 192));
    EXPECT_EQ(surface.texts[4].y, -(1030 + 192));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(r.depth, 1270);
    EXPECT_TRUE(r.allFit);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(r.firstSong.set);
    EXPECT_EQ(r.firstSong.y, -(10 + 192) + 240);
}

TEST_F(SongAreaTest, SongsBeyondTheLastAreaAreLeftOutWithOneWarning) {
    int index = 0;
    bool armed = true;
    std::string text = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni";
    SongSideResult r = DrawSide(9, text, index, armed);
    // Overflow limit 1600 - 20: songs at 1030 and 1270 fit, 1510 does not.
    EXPECT_EQ(surface.texts.size(), 6u);
    EXPECT_FALSE(r.allFit);
    EXPECT_EQ(r.depth, 1510);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Not all songs will fit on Side A");
    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Exclamation);
    EXPECT_FALSE(armed);

    // A repaint while disarmed stays silent.
    index = 0;
    DrawSide(9, text, index, armed);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(SongAreaTest, TallSongMovedToAnOverflowAreaIsDrawnWhole) {
    liner.overflowHeight.twips = 100;
    geometry = ComputeLinerGeometry(liner);
    int index = 0;
    bool armed = true;
    liner.fonts[4].logFont.height = 960;
    SongSideResult r = DrawSide(1, "a", index, armed, 500);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(surface.texts.size(), 1u);
    EXPECT_EQ(surface.texts[0].y, -(1030 + 768));
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(r.depth, 1030 + 960);
}

TEST_F(SongAreaTest, OneColumnSideBContinuesTheOverflowSequence) {
    int index = 1;
    bool armed = true;
    DrawSide(3, "a\r\nb\r\nc", index, armed, 1100);
    EXPECT_EQ(surface.texts.size(), 2u);
    ASSERT_EQ(prompter.shown.size(), 1u);
}

TEST_F(SongAreaTest, BetweenSpacingCountsRowsOfTheLastRow) {
    liner.songFormats[kSideAPrimaryArea].between = Rows(1);
    int index = 0;
    bool armed = true;
    SongSideResult r = DrawSide(2, "a\r\nb", index, armed);
    ASSERT_EQ(surface.texts.size(), 2u);
    EXPECT_EQ(surface.texts[1].y, -(10 + 240 + 240 + 192));
    EXPECT_EQ(r.depth, 10 + 240 + 240 + 240);
}

// ---- On the real surface ----------------------------------------------------------

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "reelcard_render_tests";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);
        }
    }
};
[[maybe_unused]] ::testing::Environment* const kGui =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QImage WhiteImage(int w, int h, int dotsPerMeter) {
    QImage image(w, h, QImage::Format_RGB32);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    return image;
}

Liner ArialLiner() {
    Liner liner = MakeLiner();
    for (auto& f : liner.fonts) f.logFont.SetFaceName("Arial");
    return liner;
}

TEST(QtLayoutTest, RowsBreakAlikeOnScreenAndPrinterResolutions) {
    const std::string song = "Side by side the cassettes spin on through the night";
    std::vector<Strings> results;
    for (int dotsPerMeter : {3780, 23622}) {  // 96 and 600 dpi
        QImage image = WhiteImage(10, 10, dotsPerMeter);
        QPainter painter(&image);
        QtSurface surface(painter);
        Liner liner = ArialLiner();
        RowBuffer rows;
        int font = kFontSong;
        LayOut(surface, liner, font, 2000, song, 0, 0, Rows(0), rows);
        results.push_back(Texts(rows));
        for (const auto& row : rows.rows) EXPECT_LE(row.width, 2000);
    }
    EXPECT_GT(results[0].size(), 2u);
    EXPECT_EQ(results[0], results[1]);
}

TEST(QtLayoutTest, RightAlignedRowEndsAtTheColumnEdgeOnAnImage) {
    QImage image = WhiteImage(300, 200, 3780);
    Liner liner = ArialLiner();
    {
        QPainter painter(&image);
        QtSurface surface(painter);
        RowBuffer rows;
        int font = kFontSong;
        LayOut(surface, liner, font, 3000, "HHHH", 0, 0, Rows(0), rows);
        AreaFormat f;
        f.alignment = kAlignRight;
        DrawRows(surface, liner, -300, 0, 3000, rows, f, false, 0);
    }
    // Ink ends just inside x = 3000 twips = 200 pixels.
    int right = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) right = std::max(right, x);
        }
    }
    EXPECT_NEAR(right, 199, 3);
}

}  // namespace
