// Texts in the code pages of their fonts: reading them, font variants for
// characters a font lacks, and the JSON form, which keeps texts in Unicode.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "document/liner_file.h"
#include "document/liner_json.h"
#include "document/liner_text.h"
#include "support/test_support.h"

namespace {

FontEntry Font(int height, uint8_t charSet = 0) {
    FontEntry f;
    f.logFont.height = height;
    f.logFont.weight = 700;
    f.logFont.escapement = 900;
    f.logFont.charSet = charSet;
    f.logFont.SetFaceName("Arial");
    f.color = 0x0000FF;
    return f;
}

std::vector<FontEntry> FiveFonts() {
    std::vector<FontEntry> fonts;
    for (int i = 0; i < 5; ++i) fonts.push_back(Font(200 + 20 * i));
    return fonts;
}

std::string Change(int number) { return std::string{kFontChange, static_cast<char>(number)}; }

TEST(LinerText, RunsAreReadInTheirFontsCodePages) {
    std::vector<FontEntry> fonts = FiveFonts();
    fonts.push_back(Font(280, 238));  // 6: Central European
    fonts.push_back(Font(280, 204));  // 7: Cyrillic
    fonts[3].logFont.charSet = 161;   // the title font itself is Greek
    const std::string coded = "\xC5\xEB " + Change(6) + "\xA3\xF3" "d\x9F\xBB" + Change(7) + "\xCF\xF0\r\n" +
                              Change(9) + "\xD0";  // 9 names no font: the title font's
    EXPECT_EQ(FontCodedToUnicode(fonts, coded, kFontTitle),
              QString::fromUtf8("\u0395\u03BB \u0141\u00F3d\u017A\t\u041F\u0440\r\n\u03A0"));
    EXPECT_EQ(CodePageOfFont(fonts, 7, kFontTitle), 1251);
    EXPECT_EQ(CodePageOfFont({}, 7, kFontTitle), 1252);
}

TEST(LinerText, VariantsKeepTheFontButItsCharacterSetAndAreReused) {
    std::vector<FontEntry> fonts = FiveFonts();
    EXPECT_EQ(FindFontForCharacter(fonts, 4, 4, u'\u00E9').fit, FontFit::Holds);
    const FontForCharacter pl = FindFontForCharacter(fonts, 4, 4, u'\u0141');
    EXPECT_EQ(pl.fit, FontFit::Variant);
    ASSERT_EQ(pl.number, 6);
    FontEntry expected = fonts[3];
    expected.logFont.charSet = 238;
    EXPECT_EQ(fonts[5], expected);
    // Reused, from the original and from any other variant of it.
    EXPECT_EQ(FindFontForCharacter(fonts, 4, 4, u'\u017A').number, 6);
    const FontForCharacter ru = FindFontForCharacter(fonts, 6, 4, u'\u0416');
    EXPECT_EQ(ru.number, 7);
    EXPECT_EQ(fonts[6].logFont.charSet, 204);
    EXPECT_EQ(FindFontForCharacter(fonts, 7, 4, u'\u00E9').number, 4);  // back to Western
    EXPECT_EQ(FindFontForCharacter(fonts, 4, 4, u'\u4E2D').fit, FontFit::Unsupported);
    EXPECT_EQ(fonts.size(), 7u);
    // "Şarkı": Central European has the S with cedilla but not the dotless i;
    // the text that follows picks Turkish, which has both.
    const FontForCharacter tr = FindFontForCharacter(fonts, 4, 4, u'\u015E', u"ark\u0131");
    EXPECT_EQ(tr.number, 8);
    EXPECT_EQ(fonts[7].logFont.charSet, 162);
    fonts.pop_back();

    // The 255th entry may be a variant; the 256th is not added.
    while (fonts.size() < 254) fonts.push_back(Font(1000 + static_cast<int>(fonts.size())));
    EXPECT_EQ(FindFontForCharacter(fonts, 4, 4, u'\u03A9').number, 255);
    const FontForCharacter full = FindFontForCharacter(fonts, 4, 4, u'\u05D0');
    EXPECT_EQ(full.fit, FontFit::TableFull);
    EXPECT_EQ(full.number, 0);
    EXPECT_EQ(fonts.size(), 255u);
    // A variant already there is still found; another font's is not made.
    EXPECT_EQ(FindFontForCharacter(fonts, 4, 4, u'\u0416').number, 7);
    EXPECT_EQ(FindFontForCharacter(fonts, 5, 5, u'\u0416').fit, FontFit::TableFull);
}

TEST(LinerText, VietnameseLettersAreStoredWithTheirTonesApart) {
    // "Tiếng Việt": the letters with a circumflex are in the code page, the
    // tones follow them as marks of their own.
    const QString text = QString::fromUtf8("Ti\u1EBFng Vi\u1EC7t");
    const QString storable = StorableForm(text);
    EXPECT_EQ(storable, QString::fromUtf8("Ti\u00EA\u0301ng Vi\u00EA\u0323t"));
    EXPECT_EQ(storable.normalized(QString::NormalizationForm_C), text);
    EXPECT_EQ(StorableForm(QString::fromUtf8("\u0141\u4E2D")), QString::fromUtf8("\u0141\u4E2D"));
    std::vector<FontEntry> fonts = FiveFonts();
    QString error;
    const auto coded = FontCodedFromJson(text, &error, &fonts, kFontTitle);
    ASSERT_TRUE(coded) << error.toStdString();
    EXPECT_EQ(*coded, "Ti" + Change(6) + "\xEA\xECng Vi\xEA\xF2t");
    EXPECT_EQ(fonts[5].logFont.charSet, 163);
}

TEST(LinerText, CentralEuropeanFileIsReadAndWrittenByteForByte) {
    Liner liner;
    liner.fonts = FiveFonts();
    for (FontEntry& f : liner.fonts) f.logFont.charSet = 238;
    std::string every;
    for (int b = 0x20; b < 0x100; ++b) every += static_cast<char>(b);
    liner.title = {1, every};
    liner.songsA = {1, "\xA3\xF3" "d\x9F"};
    auto bytes = SerializeLiner(liner, FileKind::Liner);
    ASSERT_TRUE(bytes);
    Liner read;
    ASSERT_EQ(ParseLinerBytes(*bytes, FileKind::Liner, read), ParseStatus::Ok);
    EXPECT_EQ(FontCodedToUnicode(read.fonts, read.songsA.text, kFontSong), QString::fromUtf8("\u0141\u00F3d\u017A"));
    EXPECT_EQ(SerializeLiner(read, FileKind::Liner), bytes);

    // Through JSON and back: the same bytes, the same JSON.
    const QJsonObject json = LinerToJson(read, FileKind::Liner);
    EXPECT_EQ(json["songsA"].toObject()["text"].toString(), QString::fromUtf8("\u0141\u00F3d\u017A"));
    QString error;
    auto back = LinerFromJson(json, FileKind::Liner, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->title, read.title);
    EXPECT_EQ(back->fonts, read.fonts);
    EXPECT_EQ(LinerToJson(*back, FileKind::Liner), json);
}

TEST(LinerText, JsonTextsTakeFontVariantsAndComeBackTheSame) {
    Liner liner;
    liner.fonts = FiveFonts();
    QJsonObject json = LinerToJson(liner, FileKind::Liner);
    json["title"] = QString::fromUtf8("\u0141\u00F3d\u017A \u041F\u0440\u0438\u0432\u0435\u0442 {font 5}caf\u00E9{tab}");
    QJsonArray letters = json["sideLetters"].toArray();
    QJsonObject letter = letters[0].toObject();
    letter["text"] = QString::fromUtf8("\u0391");
    letters[0] = letter;
    json["sideLetters"] = letters;
    QString error;
    auto imported = LinerFromJson(json, FileKind::Liner, &error);
    ASSERT_TRUE(imported) << error.toStdString();
    ASSERT_EQ(imported->fonts.size(), 8u);
    EXPECT_EQ(imported->fonts[5].logFont.charSet, 238);  // of the title font
    EXPECT_EQ(imported->fonts[5].logFont.height, liner.fonts[3].logFont.height);
    EXPECT_EQ(imported->fonts[6].logFont.charSet, 204);
    EXPECT_EQ(imported->fonts[7].logFont.charSet, 161);  // of the side letter font
    EXPECT_EQ(imported->fonts[7].logFont.height, liner.fonts[0].logFont.height);
    EXPECT_EQ(imported->title.text, Change(6) + "\xA3\xF3" "d\x9F " + Change(7) + "\xCF\xF0\xE8\xE2\xE5\xF2 " +
                                        Change(5) + "caf\xE9\xBB");
    EXPECT_EQ(imported->sideLetters[0].text, Change(8) + "\xC1");

    // Exported, imported and exported again: unchanged.
    const QJsonObject once = LinerToJson(*imported, FileKind::Liner);
    auto again = LinerFromJson(once, FileKind::Liner, &error);
    ASSERT_TRUE(again) << error.toStdString();
    EXPECT_EQ(again->title, imported->title);
    EXPECT_EQ(again->fonts, imported->fonts);
    EXPECT_EQ(LinerToJson(*again, FileKind::Liner), once);

    // What no code page holds is refused, as is a variant past 255 fonts.
    json["title"] = QString::fromUtf8("\u4E2D");
    EXPECT_FALSE(LinerFromJson(json, FileKind::Liner, &error));
    EXPECT_NE(error.indexOf("U+4e2d"), -1);
    QJsonArray fonts = json["fonts"].toArray();
    while (fonts.size() < 255) fonts.append(fonts[0]);
    json["fonts"] = fonts;
    json["title"] = QString::fromUtf8("\u0416");
    EXPECT_FALSE(LinerFromJson(json, FileKind::Liner, &error));
    EXPECT_NE(error.indexOf("font table is full"), -1);
}

}  // namespace
