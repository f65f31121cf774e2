#include "songs/song_rows.h"

#include <gtest/gtest.h>

#include "render/fonts.h"
#include "songs/tape_split.h"

namespace {

std::vector<int> Minutes(std::initializer_list<double> minutes) {
    std::vector<int> seconds;
    for (double m : minutes) seconds.push_back(static_cast<int>(m * 60));
    return seconds;
}

TEST(TapeSplit, BalancedAndFillSideAFirstOnHandCheckedLists) {
    const TapeLength c46{46}, c60{60};
    // 5, 6, 7, 8, 4 minutes.  On a C60 (30:00 a side) Fill A takes them all;
    // Balanced splits after the third (18:00 | 12:00, closer than 11 | 19).
    const auto list = Minutes({5, 6, 7, 8, 4});
    TapeSplit fill = SplitSongs(list, c60, SplitMode::FillSideAFirst);
    EXPECT_EQ(fill.sideACount, 5u);
    EXPECT_EQ(fill.sideASeconds, 1800);
    EXPECT_EQ(fill.sideBSeconds, 0);
    TapeSplit balanced = SplitSongs(list, c60, SplitMode::Balanced);
    EXPECT_EQ(balanced.sideACount, 3u);
    EXPECT_EQ(balanced.sideASeconds, 18 * 60);
    EXPECT_EQ(balanced.sideBSeconds, 12 * 60);
    EXPECT_EQ(balanced.missingSeconds, 0);

    // A list that fills both sides of a C60 exactly.
    const auto exact = Minutes({10, 10, 10, 10, 10, 10});
    for (SplitMode mode : {SplitMode::Balanced, SplitMode::FillSideAFirst}) {
        const TapeSplit s = SplitSongs(exact, c60, mode);
        EXPECT_EQ(s.sideACount, 3u);
        EXPECT_EQ(s.sideASeconds, 1800);
        EXPECT_EQ(s.sideBSeconds, 1800);
        EXPECT_EQ(s.missingSeconds, 0);
    }

    // One song longer than a side of a C46 (23:00): Side A keeps what it
    // holds, the rest goes on Side B, and 5:00 is missing.
    const auto tooLong = Minutes({5, 25, 3});
    for (SplitMode mode : {SplitMode::Balanced, SplitMode::FillSideAFirst}) {
        const TapeSplit s = SplitSongs(tooLong, c46, mode);
        EXPECT_EQ(s.sideACount, 1u);
        EXPECT_EQ(s.sideBSeconds, 28 * 60);
        EXPECT_EQ(s.missingSeconds, 5 * 60);
    }

    // Unknown lengths count as nothing; without a tape the totals are closest.
    const TapeSplit open = SplitSongs({600, -1, 300, 300}, std::nullopt, SplitMode::Balanced);
    EXPECT_EQ(open.sideACount, 2u);
    EXPECT_EQ(open.sideASeconds, 600);
    EXPECT_EQ(open.sideBSeconds, 600);
}

TEST(TapeSplit, TapesAndLengths) {
    EXPECT_EQ(ParseTapeLength("c90"), TapeLength{90});
    EXPECT_EQ(ParseTapeLength("74"), TapeLength{74});
    EXPECT_FALSE(ParseTapeLength("C70"));
    EXPECT_FALSE(ParseTapeLength("0"));
    EXPECT_FALSE(ParseTapeLength("ninety"));
    EXPECT_EQ(TapeLength{46}.SideSeconds(), 23 * 60);
    EXPECT_EQ(TapeLength{46}.Name(), "C46");
    EXPECT_EQ(TapeLength{74}.Name(), "74 min");
    EXPECT_EQ(FormatLength(59), "0:59");
    EXPECT_EQ(FormatLength(600), "10:00");
    EXPECT_EQ(FormatLength(3723), "1:02:03");

    const RowsTotal total =
        TotalOfRows(std::string_view("\x01\x06One\xBB"
                                     "3:12\r\nTwo (4:01)\r\nNo length\r\n"));
    EXPECT_EQ(total.seconds, 433);
    EXPECT_EQ(total.rows, 3);
    EXPECT_EQ(total.rowsWithLength, 2);
    EXPECT_EQ(SideTotalText(total, std::nullopt), "7:13 on this side");
    EXPECT_EQ(SideTotalText({1421, 1, 1}, TapeLength{60}), "23:41 of 30:00 on this side");
    EXPECT_EQ(SideTotalText({1930, 1, 1}, TapeLength{60}),
              "32:10 of 30:00 on this side, 2:10 too long");
}

TEST(SongRows, RowsHaveTabMarksLengthsAndTheSongFont) {
    std::vector<Track> tracks(4);
    tracks[0] = {QStringLiteral("\u0141\u00F3d\u017A Nights"), "Anna", "", "", 0, 0, 192, ""};
    tracks[1] = {"Long Suite", "Bo", "", "", 0, 0, 3723, ""};
    tracks[2] = {QStringLiteral("Caf\u00E9 \u4E2D"), "Anna", "", "", 0, 0, -1, ""};
    tracks[3] = {QStringLiteral("Sz\u0151l\u0151"), "Bo", "", "", 0, 0, 59, ""};
    EXPECT_TRUE(SeveralArtists(tracks));

    RowOptions options;
    options.artist = true;
    options.numbers = true;
    const auto texts = MakeSongTexts(tracks, 2, options, "Album", "Anna");
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->sideA.lineCount, 2);
    EXPECT_EQ(texts->sideA.text,
              "1. Anna - L\xF3"
              "dz Nights\xBB"
              "3:12\r\n2. Bo - Long Suite\xBB"
              "1:02:03");
    EXPECT_EQ(texts->sideB.lineCount, 2);
    EXPECT_EQ(texts->sideB.text,
              "3. Anna - Caf\xE9 ?\r\n4. Bo - Szolo\xBB"
              "0:59");
    // No font changes: every character is in the song font.
    const DisplayText display = DecodeFontCodedText(texts->sideA.text, kFontSong);
    for (size_t i = 0; i < display.text.size(); ++i) EXPECT_EQ(display.fonts[i], kFontSong);

    ASSERT_EQ(texts->changed.size(), 3u);
    EXPECT_EQ(texts->changed[0].number, 1);
    EXPECT_EQ(texts->changed[0].original, QStringLiteral("Anna - \u0141\u00F3d\u017A Nights"));
    EXPECT_EQ(texts->changed[0].stored, QStringLiteral("Anna - L\u00F3dz Nights"));
    EXPECT_EQ(texts->changed[1].number, 3);
    EXPECT_EQ(texts->changed[2].number, 4);

    bool changed = true;
    EXPECT_EQ(ToCodePageNearest(QStringLiteral("\u00E9t\u00E9"), &changed), "\xE9t\xE9");
    EXPECT_FALSE(changed);
    EXPECT_EQ(ToCodePageNearest(QStringLiteral("\u01D8 \uFB01 \u00BB \u0142")), "\xFC fi >> l");

    // The title: album and artist on two lines, only where there was none.
    Liner liner;
    ASSERT_TRUE(PutSongTexts(liner, *texts));
    EXPECT_EQ(liner.title.lineCount, 2);
    EXPECT_EQ(liner.title.text, "Album\r\nAnna");
    EXPECT_EQ(liner.songsB, texts->sideB);
    liner.title = {1, "Mine"};
    EXPECT_FALSE(PutSongTexts(liner, *texts));
    EXPECT_EQ(liner.title.text, "Mine");

    // One artist: no "Artist - " unless asked.
    tracks[1].artist = tracks[3].artist = "Anna";
    EXPECT_FALSE(SeveralArtists(tracks));
    const auto plain = MakeSongTexts(tracks, 4, RowOptions{}, "", "");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->sideA.text.substr(0, 17),
              "L\xF3"
              "dz Nights\xBB"
              "3:12\r");
    EXPECT_EQ(plain->sideB.lineCount, 0);
    EXPECT_EQ(plain->title.lineCount, 0);
}

TEST(SongRows, WithTheLinersFontsLettersTakeFontVariants) {
    std::vector<FontEntry> fonts(5);
    for (size_t i = 0; i < fonts.size(); ++i) fonts[i].logFont.height = static_cast<int32_t>(200 + 20 * i);
    std::vector<Track> tracks(2);
    tracks[0] = {QStringLiteral("\u0141\u00F3d\u017A \u041D\u043E\u0447\u044C"), "", "", "", 0, 0, 192, ""};
    tracks[1] = {QStringLiteral("Caf\u00E9 \u4E2D"), "", "", "", 0, 0, 59, ""};
    const auto texts = MakeSongTexts(tracks, 2, RowOptions{}, QStringLiteral("\u0395\u03BB"), "", &fonts);
    ASSERT_TRUE(texts);
    ASSERT_EQ(texts->fonts.size(), 8u);
    EXPECT_EQ(fonts.size(), 5u);  // the liner's own table is left alone
    EXPECT_EQ(texts->fonts[5].logFont.charSet, 238);
    EXPECT_EQ(texts->fonts[5].logFont.height, 280);  // the song font's variant
    EXPECT_EQ(texts->fonts[6].logFont.charSet, 204);
    EXPECT_EQ(texts->fonts[7].logFont.charSet, 161);
    EXPECT_EQ(texts->fonts[7].logFont.height, 260);  // the title font's
    EXPECT_EQ(texts->sideA.text, "\x01\x06\xA3\xF3" "d\x9F \x01\x07\xCD\xEE\xF7\xFC\xBB" "3:12\r\n"
                                 "Caf\x01\x05\xE9 ?\xBB" "0:59");
    EXPECT_EQ(texts->title.text, "\x01\x08\xC5\xEB");
    // Only what no code page holds is told.
    ASSERT_EQ(texts->changed.size(), 1u);
    EXPECT_EQ(texts->changed[0].number, 2);
    EXPECT_EQ(texts->changed[0].stored, QStringLiteral("Caf\u00E9 ?"));

    Liner liner;
    liner.fonts = fonts;
    PutSongTexts(liner, *texts);
    EXPECT_EQ(liner.fonts, texts->fonts);
}

}  // namespace
