#include "render/fonts.h"

#include <gtest/gtest.h>

#include "platform/strings.h"
#include "render/fixed_surface.h"
#include "support/test_support.h"

namespace {

Liner SixFonts() {
    Liner liner;
    liner.fonts.resize(6);
    for (int i = 0; i < 6; ++i) {
        liner.fonts[i].logFont.height = 200 + 20 * i;
        liner.fonts[i].color = 0x100 + i;
    }
    return liner;
}

TEST(FontTableTest, NumbersNamingNoEntryFallBackToTheStandardFont) {
    Liner liner = SixFonts();
    EXPECT_EQ(ResolveFontNumber(liner, 6, kFontTitle), 6);
    EXPECT_EQ(ResolveFontNumber(liner, 7, kFontTitle), kFontTitle);
    EXPECT_EQ(ResolveFontNumber(liner, 0, kFontTitle), kFontTitle);
    EXPECT_EQ(FontEntryFor(liner, 200, kFontSong).logFont.height, 280);

    // Neither the number nor the standard font exists: a plain default.
    liner.fonts.resize(2);
    const FontEntry& bare = FontEntryFor(liner, 9, kFontSong);
    EXPECT_EQ(bare.logFont.height, 0);
    EXPECT_EQ(bare.color, 0u);
}

TEST(FontTableTest, SelectFontSetsFontAndColourUnlessQuietAndMarksTheEntry) {
    Liner liner = SixFonts();
    FixedSurface surface;
    surface.textColor = 0xABCDEF;
    EXPECT_EQ(SelectFont(surface, liner, 6, kFontSong), 0xABCDEFu);
    EXPECT_EQ(surface.font.height, 300);
    EXPECT_EQ(surface.textColor, 0x105u);
    EXPECT_EQ(liner.fonts[5].logFont.clipPrecision & kClipLhAngles, kClipLhAngles);

    surface.textColor = 0x42;
    SelectFont(surface, liner, 2, kFontSong, true);
    EXPECT_EQ(surface.textColor, 0x42u);
    EXPECT_EQ(surface.font.height, 220);

    // A missing number touches no entry.
    Liner copy = liner;
    SelectFont(surface, liner, 50, 60, false);
    EXPECT_EQ(liner, copy);
}

TEST(FontTableTest, RotationOfATextComesFromItsStartingFont) {
    Liner liner = SixFonts();
    liner.fonts[5].logFont.escapement = 900;
    liner.fonts[4].logFont.escapement = 1805;
    EXPECT_EQ(TextRotation(liner, kFontSong, "\x01\x06" "ab"), 90);
    EXPECT_EQ(TextRotation(liner, kFontSong, "ab\x01\x06"), 180);
    EXPECT_EQ(TextRotation(liner, kFontSong, "\x01\x63" "ab"), 180);
    EXPECT_EQ(TextRotation(liner, kFontTitle, ""), 0);
    EXPECT_EQ(StartingFont(liner, "\x01", kFontTitle), kFontTitle);
}

TEST(FontDialogTest, ChosenFontIsReusedOrAddedUntilTheTableIsFull) {
    Liner liner = SixFonts();
    ScriptedPrompter prompter;
    FontEntry existing = liner.fonts[3];
    EXPECT_EQ(FindOrAddFont(liner, existing, prompter), 4);

    FontEntry fresh;
    fresh.logFont.height = 999;
    EXPECT_EQ(FindOrAddFont(liner, fresh, prompter), 7);
    EXPECT_EQ(liner.fonts.size(), 7u);

    while (liner.fonts.size() < kMaxFonts) {
        fresh.logFont.height++;
        FindOrAddFont(liner, fresh, prompter);
    }
    EXPECT_TRUE(prompter.shown.empty());
    fresh.logFont.height = 5;
    EXPECT_EQ(FindOrAddFont(liner, fresh, prompter), 0);
    EXPECT_EQ(liner.fonts.size(), 255u);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, LoadString(IDS_TOO_MANY_FONTS, 1000));
    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Stop);
}

TEST(DisplayTextTest, DecodeSplitsCharactersFromTheirFonts) {
    DisplayText d = DecodeFontCodedText("\x01\x06" "ab\x01\x02" "c", kFontSong);
    EXPECT_EQ(d.text, "abc");
    EXPECT_EQ(d.fonts, (std::vector<uint8_t>{6, 6, 2, 2, 0}));

    DisplayText plain = DecodeFontCodedText("ab", kFontTitle);
    EXPECT_EQ(plain.fonts, (std::vector<uint8_t>{4, 4, 4, 0}));

    EXPECT_EQ(DecodeFontCodedText("", kFontSong), NewEmptyDisplayText(kFontSong));
    EXPECT_EQ(NewEmptyDisplayText(kFontSong).fonts, (std::vector<uint8_t>{5, 0}));
    // A change cut off at the end.
    EXPECT_EQ(DecodeFontCodedText("a\x01", kFontSong).text, "a");
}

TEST(DisplayTextTest, EncodeWritesAChangeWhereverTheFontDiffers) {
    DisplayText d = DecodeFontCodedText("\x01\x06" "ab\x01\x02" "c", kFontSong);
    EXPECT_EQ(EncodeFontCodedText(d), "\x01\x06" "ab\x01\x02" "c");
    // Encoding starts from font 0, so plain text gains its starting font.
    EXPECT_EQ(EncodeFontCodedText(DecodeFontCodedText("ab", kFontSong)), "\x01\x05" "ab");
    EXPECT_EQ(EncodeFontCodedText(NewEmptyDisplayText(kFontSong)), "");
    // A font array shorter than the text keeps the last font.
    EXPECT_EQ(EncodeFontCodedText(DisplayText{"abc", {3}}), "\x01\x03" "abc");
}

TEST(DisplayTextTest, SelectionSharesAFontAndTakesANewOne) {
    DisplayText d{"abcd", {6, 6, 0, 2, 2, 0}};
    EXPECT_EQ(SelectionFont(d, 0, 3), 6);
    EXPECT_EQ(SelectionFont(d, 0, 4), std::nullopt);
    EXPECT_EQ(SelectionFont(d, 2, 3), std::nullopt);
    ApplyFontToSelection(d, 1, 100, 9);
    EXPECT_EQ(d.fonts, (std::vector<uint8_t>{6, 9, 0, 9, 2, 0}));
}

}  // namespace
