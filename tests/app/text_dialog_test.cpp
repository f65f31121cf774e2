// The title and song text dialogs: what they write into the Liner, the font
// buttons, and the questions on closing.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/commands.h"
#include "app_test_support.h"
#include "dialogs/format_features_dialog.h"
#include "dialogs/text_dialog.h"
#include "document/liner_file.h"
#include "document/liner_json.h"
#include "document/liner_text.h"
#include "songs/song_rows.h"

namespace {

TextDialog* Open(MainWindow& w, int command, const char* name) {
    EXPECT_EQ(w.Dispatch(command), 1);
    return w.findChild<TextDialog*>(name);
}

QPushButton* Button(TextDialog* d, const char* name) { return d->findChild<QPushButton*>(name); }

void Select(FontTextEdit* edit, int from, int to) {
    QTextCursor c = edit->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
}

// Types each character as a key press carrying it, as a keyboard layout of
// that script would.
void Type(FontTextEdit* edit, const QString& text) {
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &release);
    }
}

FontEntry Courier() {
    FontEntry e;
    e.logFont.height = 200;
    e.logFont.weight = 700;
    e.logFont.SetFaceName("Courier New");
    return e;
}

TEST(TextDialogs, TypedTextWithTabsAndAChosenFontIsStoredFontCoded) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Title Lines");
    EXPECT_EQ(Open(w, kCmdTitleLines, "TitleLinesDialog"), d);  // only activated
    EXPECT_FALSE(Button(d, "LastFontButton")->isEnabled());

    FontTextEdit* edit = d->editor();
    QTest::keyClicks(edit, "Side");
    QTest::keyClick(edit, Qt::Key_Tab);
    QTest::keyClicks(edit, "one");
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "Two");
    EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("Side\u2192one\nTwo"));

    app.fontAnswer = Courier();
    const int number = static_cast<int>(w.liner().fonts.size()) + 1;
    Select(edit, 5, 8);  // "one"
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);
    EXPECT_EQ(app.fontChoices, 1);
    EXPECT_EQ(w.lastFont(), number);
    EXPECT_TRUE(Button(d, "LastFontButton")->isEnabled());
    EXPECT_TRUE(w.liner().title.text.empty());  // nothing reaches the Liner before applying

    Select(edit, 8, 8);
    QTest::keyClicks(edit, "!");  // continues in the font before it
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(w.liner().title.lineCount, 2);
    EXPECT_EQ(w.liner().title.text, std::string("\x01\x04Side\xBB\x01") + char(number) + "one!\x01\x04\r\nTwo");
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(app.prompter.shown.empty());
}

TEST(TextDialogs, FontButtonsNeedASelectionAndLastFontCanApplyAtOnce) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.liner().songsA = {2, "\x01\x05Song\r\nMore"};
    TextDialog* d = Open(w, kCmdSongsSideA, "SongsSideADialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Songs - Side A");
    FontTextEdit* edit = d->editor();
    EXPECT_EQ(edit->toPlainText(), "Song\nMore");

    app.fontAnswer = Courier();
    Select(edit, 0, 2);
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);
    const int number = w.lastFont();
    EXPECT_TRUE(d->HasChanges());

    w.Dispatch(kCmdApplyLastFont);
    Select(edit, 5, 9);  // "More"
    QTest::mouseClick(Button(d, "LastFontButton"), Qt::LeftButton);
    const std::string f(1, char(number));
    EXPECT_EQ(w.liner().songsA.text, "\x01" + f + "So\x01\x05ng\r\n\x01" + f + "More");
    EXPECT_EQ(w.liner().songsA.lineCount, 2);
    EXPECT_FALSE(d->HasChanges());
    EXPECT_EQ(app.fontChoices, 1);

    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(d->focusWidget(), Button(d, "FontButton"));
}

TEST(TextDialogs, CtrlEnterIsOkAndFontButtonsTakeTheWordAtTheCursor) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.liner().songsA = {3, "\x01\x05Song\xBB" "1:12\r\n\r\nMore"};  // the tab mark shows as an arrow
    TextDialog* d = Open(w, kCmdSongsSideA, "SongsSideADialog");
    ASSERT_NE(d, nullptr);
    FontTextEdit* edit = d->editor();
    auto* status = d->findChild<QLabel*>("StatusLine");
    ASSERT_NE(status, nullptr);

    // No word at the cursor: the dialog says so in its status line, and no
    // message box takes the keys meant for the text.
    Select(edit, 10, 10);  // the empty line
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);
    EXPECT_TRUE(app.prompter.shown.empty());
    EXPECT_EQ(status->text(), "Text must be selected to use a font-related button");
    EXPECT_EQ(app.fontChoices, 0);
    EXPECT_FALSE(d->HasChanges());

    // In a word, the word takes the font; a word stops at the tab mark.
    app.fontAnswer = Courier();
    Select(edit, 12, 12);  // inside "More"
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);
    EXPECT_EQ(app.fontChoices, 1);
    EXPECT_TRUE(status->text().isEmpty());
    const std::string f(1, char(w.lastFont()));
    Select(edit, 4, 4);  // after "Song", before the tab mark
    QTest::mouseClick(Button(d, "LastFontButton"), Qt::LeftButton);
    EXPECT_EQ(edit->textCursor().selectedText(), "Song");

    // Return is a new line; Ctrl+Return is OK.
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(w.liner().songsA.lineCount, 3);
    EXPECT_EQ(w.liner().songsA.text, "\x01" + f + "Song\x01\x05\xBB" "1:12\r\n\r\n\x01" + f + "More");
    EXPECT_TRUE(app.prompter.shown.empty());
}

TEST(TextDialogs, ATypedGuillemetStaysALetterApartFromTheTabMark) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.liner().songsA = {1, "\x01\x05Old\xBB" "1:00"};  // a file's tab mark
    TextDialog* d = Open(w, kCmdSongsSideA, "SongsSideADialog");
    ASSERT_NE(d, nullptr);
    FontTextEdit* edit = d->editor();
    // The tab mark has its own glyph, never the letter's.
    EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("Old\u21921:00"));
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_Return);
    Type(edit, QString::fromUtf8("\u00ABNeu\u00BB"));
    QTest::keyClick(edit, Qt::Key_Tab);
    QTest::keyClicks(edit, "2:00");
    EXPECT_EQ(edit->Text(), QString::fromUtf8("Old\t1:00\n\u00ABNeu\u00BB\t2:00"));
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(app.prompter.shown.empty());

    // Two tab marks, and the letter in a font of its own byte.
    const Liner& liner = w.liner();
    const std::string& text = liner.songsA.text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\xBB'), 2) << text;
    EXPECT_EQ(FontCodedToUnicode(liner.fonts, text, kFontSong),
              QString::fromUtf8("Old\t1:00\r\n\u00ABNeu\u00BB\t2:00"));

    // Both come back through a saved file and through JSON.
    const std::string path = app.Path("guillemets.cas");
    ASSERT_TRUE(WriteLinerFile(w.liner(), path, app.prompter));
    Liner reread;
    ASSERT_TRUE(ReadLinerFile(reread, path, true, app.prompter));
    EXPECT_EQ(FontCodedToUnicode(reread.fonts, reread.songsA.text, kFontSong),
              FontCodedToUnicode(liner.fonts, text, kFontSong));
    QString why;
    const std::optional<Liner> imported = LinerFromJson(LinerToJson(reread, FileKind::Liner), FileKind::Liner, &why);
    ASSERT_TRUE(imported) << why.toStdString();
    EXPECT_EQ(imported->songsA, reread.songsA);
    EXPECT_EQ(imported->fonts, reread.fonts);

    // So does a "»" of an imported song's tags.
    std::vector<FontEntry> fonts = reread.fonts;
    int current = kFontSong;
    bool changed = true;
    const std::string song = ToFontCoded(QString::fromUtf8("A \u00BB B"), fonts, kFontSong, &current, &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(FontCodedToUnicode(fonts, song, kFontSong), QString::fromUtf8("A \u00BB B"));
}

TEST(TextDialogs, ClosingAsksOnlyAboutUnappliedChanges) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    TextDialog* d = Open(w, kCmdSongsSideB, "SongsSideBDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Songs - Side B");
    QTest::keyClicks(d->editor(), "A");

    app.prompter.answers = {MessageResult::Cancel};
    QTest::mouseClick(Button(d, "CancelButton"), Qt::LeftButton);
    EXPECT_EQ(app.prompter.LastText(), "Save changes to songs on Side B");
    EXPECT_FALSE(d->closing());

    // Quitting the program asks too, and Cancel keeps both open.
    app.prompter.answers = {MessageResult::Cancel};
    EXPECT_FALSE(w.close());
    EXPECT_EQ(app.prompter.shown.size(), 2u);

    QTest::mouseClick(Button(d, "ApplyButton"), Qt::LeftButton);
    EXPECT_EQ(Button(d, "CancelButton")->text(), "Close");
    EXPECT_EQ(w.liner().songsB.text, "\x01\x05" "A");
    EXPECT_EQ(w.liner().songsB.lineCount, 1);
    QTest::mouseClick(Button(d, "CancelButton"), Qt::LeftButton);
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(app.prompter.shown.size(), 2u);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // An emptied list leaves no text; No discards, Yes applies.
    d = Open(w, kCmdSongsSideB, "SongsSideBDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->editor()->toPlainText(), "A");
    d->editor()->selectAll();
    QTest::keyClick(d->editor(), Qt::Key_Delete);
    app.prompter.answers = {MessageResult::No};
    d->close();
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(w.liner().songsB.lineCount, 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    d = Open(w, kCmdSongsSideB, "SongsSideBDialog");
    d->editor()->selectAll();
    QTest::keyClick(d->editor(), Qt::Key_Delete);
    app.prompter.answers = {MessageResult::Yes};
    QTest::keyClick(d, Qt::Key_Escape);
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(w.liner().songsB.lineCount, 0);
    EXPECT_EQ(w.liner().songsB.text, "");
}

TEST(TextDialogs, CharactersNoCodePageHoldsAreReplacedAndReported) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    FontTextEdit* edit = d->editor();

    std::unique_ptr<QMenu> menu(edit->CreateEditMenu(nullptr));
    EXPECT_FALSE(menu->findChild<QAction*>("Cut")->isEnabled());
    EXPECT_FALSE(menu->findChild<QAction*>("Undo")->isEnabled());

    // One '?' for a character beyond the 16-bit range too.
    QApplication::clipboard()->setText(QString::fromUtf8("\u4E2D\t\u20AC\U0001F3B5"));
    edit->paste();
    EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("?\u2192\u20AC?"));
    edit->ReportRefusals();
    ASSERT_EQ(app.prompter.shown.size(), 1u);

    // A burst of typing with refused characters: the other keys all arrive,
    // and one message follows once the typing pauses.
    for (const char* key : {"\u4E2D", "a", "\u4E2D", "\u4E2D", "b"}) {
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8(key));
        QApplication::sendEvent(edit, &typed);
    }
    EXPECT_EQ(app.prompter.shown.size(), 1u);
    QTest::qWait(FontTextEdit::kRefusalPauseMs + 200);
    EXPECT_EQ(app.prompter.shown.size(), 2u);
    EXPECT_TRUE(edit->toPlainText().endsWith("ab"));
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(w.liner().title.text, "\x01\x04?\xBB\x80?ab");
}

TEST(TextDialogs, ARefusalIsReportedWhenTheDialogAppliesOrClosesAtOnce) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    for (const char* button : {"ApplyButton", "OkButton"}) {
        TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
        ASSERT_NE(d, nullptr);
        app.prompter.shown.clear();
        Type(d->editor(), QString::fromUtf8("a\u4E2D"));
        // Well within the pause that reports refusals while typing.
        QTest::mouseClick(Button(d, button), Qt::LeftButton);
        ASSERT_EQ(app.prompter.shown.size(), 1u) << button;
        EXPECT_NE(app.prompter.shown[0].text.find("cannot be kept"), std::string::npos);
    }
}

TEST(TextDialogs, MixedScriptsAreTypedAndPastedIntoFontVariants) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    const int first = static_cast<int>(w.liner().fonts.size()) + 1;
    const FontEntry title = w.liner().fonts[kFontTitle - 1];
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    FontTextEdit* edit = d->editor();

    const QString line = QString::fromUtf8("\u0141\u00F3d\u017A \u041F\u0440\u0438\u0432\u0435\u0442 "
                                           "\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
    Type(edit, line);
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::clipboard()->setText(line);
    edit->paste();
    EXPECT_EQ(edit->toPlainText(), line + "\n" + line);
    QTest::qWait(FontTextEdit::kRefusalPauseMs + 100);
    EXPECT_TRUE(app.prompter.shown.empty());
    QTest::mouseClick(Button(d, "ApplyButton"), Qt::LeftButton);

    // Three variants of the title font, each added once and used by both lines.
    ASSERT_EQ(w.liner().fonts.size(), static_cast<size_t>(first + 2));
    const uint8_t sets[] = {238, 204, 161};
    for (int i = 0; i < 3; ++i) {
        FontEntry expected = title;
        expected.logFont.charSet = sets[i];
        EXPECT_EQ(w.liner().fonts[static_cast<size_t>(first - 1 + i)], expected);
    }
    auto change = [](int n) { return std::string{kFontChange, static_cast<char>(n)}; };
    const std::string stored = change(first) + "\xA3\xF3" "d\x9F " + change(first + 1) +
                               "\xCF\xF0\xE8\xE2\xE5\xF2 " + change(first + 2) + "\xC5\xEB\xEB\xDC\xE4\xE1";
    EXPECT_EQ(w.liner().title.text, stored + "\r\n" + stored);
    EXPECT_EQ(w.liner().title.lineCount, 2);

    // A font given to the whole text keeps each script in a variant of it.
    app.fontAnswer = Courier();
    edit->selectAll();
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);
    const int courier = w.lastFont();
    EXPECT_EQ(edit->toPlainText(), line + "\n" + line);
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    const std::vector<FontEntry>& fonts = w.liner().fonts;
    ASSERT_EQ(fonts.size(), static_cast<size_t>(courier + 3));
    EXPECT_EQ(fonts[static_cast<size_t>(courier)].logFont.FaceName(), "Courier New");
    EXPECT_EQ(fonts[static_cast<size_t>(courier)].logFont.charSet, 238);
    EXPECT_EQ(FontCodedToUnicode(fonts, w.liner().title.text, kFontTitle), line + "\r\n" + line);

    // Opened again, the field shows the same letters.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TextDialog* again = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->editor()->toPlainText(), line + "\n" + line);
}

TEST(TextDialogs, LettersInOtherCharacterSetsFollowEveryLaterChangeOfTheirFont) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    TextDialog* d = Open(w, kCmdSongsSideA, "SongsSideADialog");
    ASSERT_NE(d, nullptr);
    Type(d->editor(), QString::fromUtf8("Za\u017C\u00F3\u0142\u0107 \u0436\u0430\u0440"));
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    const size_t standard = kFontSong;
    ASSERT_EQ(w.liner().fonts.size(), standard + 2);  // a Central European and a Cyrillic variant

    // Fonts > Song...: Italic 11 pt reaches the variants, in one step.
    FontEntry italic = w.liner().fonts[kFontSong - 1];
    italic.logFont.italic = 1;
    italic.logFont.height = 220;
    app.fontAnswer = italic;
    ASSERT_EQ(w.Dispatch(kCmdFontSong), 1);
    for (size_t i = standard; i < w.liner().fonts.size(); ++i) {
        EXPECT_EQ(w.liner().fonts[i].logFont.italic, 1);
        EXPECT_EQ(w.liner().fonts[i].logFont.height, 220);
        EXPECT_NE(w.liner().fonts[i].logFont.charSet, italic.logFont.charSet);
    }
    w.Dispatch(kCmdUndo);
    EXPECT_EQ(w.liner().fonts[standard].logFont.italic, 0);

    // A feature whose style picks the other area font takes that font's variants.
    w.liner().fonts.push_back(w.liner().fonts[kFontFeatureName - 1]);
    w.liner().fonts.back().logFont.charSet = 204;
    Feature f;
    f.style = kFeatureCenteredWithSides;
    f.name = "Caf\xE9 " + std::string{kFontChange, static_cast<char>(w.liner().fonts.size())} + "\xE6\xE0\xF0";
    w.liner().features = {f};
    ASSERT_EQ(w.Dispatch(kCmdFormatFeatures), 1);
    auto* features = w.findChild<FormatFeaturesDialog*>("FormatFeaturesDialog");
    ASSERT_NE(features, nullptr);
    features->styleList()->setCurrentIndex(features->styleList()->findText("Left Justified"));
    QTest::mouseClick(features->okButton(), Qt::LeftButton);
    const DisplayText name = DecodeFontCodedText(w.liner().features[0].name, kFontFeature);
    ASSERT_EQ(name.text.size(), 8u);
    const FontEntry& cyrillic = w.liner().fonts[name.fonts[5] - 1u];
    FontEntry expected = w.liner().fonts[kFontFeature - 1];
    expected.logFont.charSet = 204;
    EXPECT_EQ(cyrillic, expected);
    EXPECT_EQ(name.fonts[0], kFontFeature);
}

TEST(TextDialogs, ALetterKeepsItselfWhenItsFontChangesScriptMeanwhile) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    w.liner().fonts[kFontTitle - 1].logFont.charSet = 0;
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    Type(d->editor(), QString::fromUtf8("caf\u00E9"));
    // The title font turns Cyrillic (Fonts > Title...) before the text is applied.
    w.liner().fonts[kFontTitle - 1].logFont.charSet = 204;
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(FontCodedToUnicode(w.liner().fonts, w.liner().title.text, kFontTitle), QString::fromUtf8("caf\u00E9"));
    EXPECT_EQ(w.liner().fonts.back().logFont.charSet, 0);
}

TEST(TextDialogs, VietnameseIsKeptAsLettersAndTheirTones) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    const int first = static_cast<int>(w.liner().fonts.size()) + 1;
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    QApplication::clipboard()->setText(QString::fromUtf8("Vi\u1EC7t"));
    d->editor()->paste();
    Type(d->editor(), QString::fromUtf8(" \u1EBF"));
    EXPECT_EQ(d->editor()->toPlainText().normalized(QString::NormalizationForm_C), QString::fromUtf8("Vi\u1EC7t \u1EBF"));
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(app.prompter.shown.empty());
    const std::string variant{kFontChange, static_cast<char>(first)};
    EXPECT_EQ(w.liner().title.text, "\x01\x04Vi" + variant + "\xEA\xF2t \xEA\xEC");
    EXPECT_EQ(w.liner().fonts.back().logFont.charSet, 163);
}

TEST(TextDialogs, EveryByteOfEveryCodePageComesBackUnchanged) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    std::string text;
    int lines = 0;
    for (uint8_t charSet : {0, 238, 204, 161, 162, 177, 178, 186, 163, 222, 255, 2, 128}) {
        FontEntry font = w.liner().fonts[kFontSong - 1];
        font.logFont.charSet = charSet;
        w.liner().fonts.push_back(font);
        if (lines++ > 0) text += "\r\n";
        text += std::string{kFontChange, static_cast<char>(w.liner().fonts.size())};
        for (int b = 0x20; b < 0x100; ++b) text += static_cast<char>(b);
    }
    w.liner().songsA = {static_cast<int16_t>(lines), text};
    const size_t fonts = w.liner().fonts.size();
    TextDialog* d = Open(w, kCmdSongsSideA, "SongsSideADialog");
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->editor()->toPlainText().contains(QString::fromUtf8("\u0416\u0417")));  // Cyrillic line
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(w.liner().songsA.text, text);
    EXPECT_EQ(w.liner().fonts.size(), fonts);
}

TEST(TextDialogs, AFullFontTableRefusesCharactersThatNeedAVariant) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    while (w.liner().fonts.size() < 255) {
        FontEntry filler = Courier();
        filler.logFont.height = 100 + static_cast<int>(w.liner().fonts.size());
        w.liner().fonts.push_back(filler);
    }
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    Type(d->editor(), QString::fromUtf8("a\u0416\u0416b"));
    EXPECT_EQ(d->editor()->toPlainText(), "ab");
    EXPECT_TRUE(app.prompter.shown.empty());
    QTest::qWait(FontTextEdit::kRefusalPauseMs + 200);
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_NE(app.prompter.LastText().find("more fonts than this program can handle"), std::string::npos);
    EXPECT_EQ(w.liner().fonts.size(), 255u);
}

TEST(TextDialogs, SavingRenumbersTheFontsOfAnOpenDialogsText) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    FontEntry unused = Courier();
    unused.logFont.height = 400;
    w.liner().fonts.push_back(unused);  // font 6, which the save drops
    w.liner().fonts.push_back(Courier());  // font 7
    w.liner().title = {1, "\x01\x07Old"};
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);

    // A font chosen in the dialog and used nowhere else yet.
    FontEntry italic = Courier();
    italic.logFont.italic = 1;
    app.fontAnswer = italic;
    QTextCursor end = d->editor()->textCursor();
    end.movePosition(QTextCursor::End);
    d->editor()->setTextCursor(end);
    QTest::keyClicks(d->editor(), " new");
    Select(d->editor(), 4, 7);
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);

    app.dialogs.saveAnswers = {Chosen(app.Path("renumbered.cas"))};
    ASSERT_EQ(w.Dispatch(kCmdSaveAs), 1);
    EXPECT_EQ(w.liner().title.text, "\x01\x06Old");  // the file's fonts, renumbered

    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    const DisplayText shown = DecodeFontCodedText(w.liner().title.text, kFontTitle);
    ASSERT_EQ(shown.text, "Old new");
    EXPECT_EQ(FontEntryFor(w.liner(), shown.fonts[0], kFontTitle), Courier());
    EXPECT_EQ(FontEntryFor(w.liner(), shown.fonts[3], kFontTitle), Courier());
    EXPECT_EQ(FontEntryFor(w.liner(), shown.fonts[4], kFontTitle), italic);
}

TEST(TextDialogs, ANewOrOpenedLinerAsksAboutUnappliedEditsAndShowsItsOwnText) {
    AppHarness app;
    const std::string other = app.CopySample("other.cas");
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    TextDialog* d = Open(w, kCmdTitleLines, "TitleLinesDialog");
    ASSERT_NE(d, nullptr);
    QTest::keyClicks(d->editor(), "Draft");

    // Cancel keeps everything as it was.
    app.prompter.answers = {MessageResult::Cancel};
    app.dialogs.openAnswers = {Chosen(other)};
    EXPECT_EQ(w.Dispatch(kCmdOpen), 0);
    EXPECT_EQ(app.prompter.LastText(), "Save changes to title lines");
    EXPECT_TRUE(app.dialogs.openRequests.empty());
    EXPECT_EQ(d->editor()->toPlainText(), "Draft");

    // No drops the draft; the dialog shows the opened liner's title.
    app.prompter.answers = {MessageResult::No};
    ASSERT_EQ(w.Dispatch(kCmdOpen), 1);
    EXPECT_EQ(w.currentPath().toStdString(), other);
    EXPECT_FALSE(d->closing());
    EXPECT_FALSE(d->HasChanges());
    EXPECT_EQ(d->editor()->Read(kFontTitle).text,
              DecodeFontCodedText(w.liner().title.text, kFontTitle).text);
    EXPECT_FALSE(d->editor()->toPlainText().isEmpty());
}

}  // namespace
