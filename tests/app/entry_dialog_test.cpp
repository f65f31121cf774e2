// The one-line entry dialogs of feature names and sided feature choices.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "dialogs/date_time.h"
#include "dialogs/entry_dialog.h"
#include "dialogs/text_dialog.h"
#include "platform/strings.h"

namespace {

QPushButton* Button(QDialog& d, const char* name) { return d.findChild<QPushButton*>(name); }

void ShowAndFocus(QDialog& d) {
    d.show();
    QApplication::setActiveWindow(&d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
}

TEST(EntryDialogs, FeatureKeepsItsFontsRefusesBlankAndStaysOneLine) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();

    const std::string name = "\x01\x03" "Big\x01\x02 top";
    EntryDialog change(w, &w, {EntryKind::Feature, EntryMode::Change, name, {}, {}});
    EXPECT_EQ(change.windowTitle().toStdString(), LoadString(IDS_CAPTION_CHANGE_FEATURE));
    ShowAndFocus(change);
    QTest::keyClick(change.editor(), Qt::Key_Return);  // Enter is OK, never a new line
    EXPECT_EQ(change.result(), QDialog::Accepted);
    EXPECT_EQ(change.entered(), name);

    EntryDialog add(w, &w, {EntryKind::Feature, EntryMode::Add, {}, {}, {}});
    EXPECT_EQ(add.windowTitle().toStdString(), LoadString(IDS_CAPTION_ADD_FEATURE));
    ShowAndFocus(add);
    QTest::mouseClick(Button(add, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(add.isVisible());
    EXPECT_EQ(app.prompter.LastText(), LoadString(IDS_FEATURE_BLANK));

    QTest::keyClicks(add.editor(), "  ");
    QTest::keyClick(add.editor(), Qt::Key_Tab);
    EXPECT_TRUE(Button(add, "FontButton")->hasFocus());
    EXPECT_EQ(add.editor()->toPlainText(), "  ");
    QTest::mouseClick(Button(add, "OkButton"), Qt::LeftButton);
    EXPECT_FALSE(add.isVisible());
    EXPECT_EQ(add.entered(), "\x01\x02  ");  // only spaces is not blank
}

TEST(EntryDialogs, ChoiceDatesTakeTheFirstFontAndCancelAsksAfterAFontChange) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();

    EntryDialog d(w, &w, {EntryKind::SidedChoice, EntryMode::Add, {}, "Side A", "\x01\x02Noise"});
    EXPECT_EQ(d.windowTitle().toStdString(), LoadString(IDS_CAPTION_ADD_CHOICE));
    EXPECT_EQ(d.findChild<QLabel*>("PromptLabel")->text(), "Enter text for Side A Noise");
    ShowAndFocus(d);
    QTest::keyClick(d.editor(), Qt::Key_Tab);
    EXPECT_TRUE(Button(d, "LongDateButton")->hasFocus());

    QTest::mouseClick(Button(d, "ShortDateButton"), Qt::LeftButton);
    const std::string date = FormatCurrentDate(DTF_SHORT | DTF_NO_WEEKDAY);
    EXPECT_EQ(d.editor()->Read(kFontFeature).text, date);

    // A word in another font: the time follows it in that font.
    d.editor()->selectAll();
    QTest::keyClicks(d.editor(), "Dolby");
    d.editor()->selectAll();
    app.fontAnswer = FontEntry{};
    app.fontAnswer->logFont.height = 300;
    app.fontAnswer->logFont.SetFaceName("Courier New");
    QTest::mouseClick(Button(d, "FontButton"), Qt::LeftButton);
    const int number = w.lastFont();
    QTest::mouseClick(Button(d, "TimeButton"), Qt::LeftButton);
    const std::string time = FormatCurrentTime(DTF_NO_SECONDS);
    const DisplayText shown = d.editor()->Read(kFontFeature);
    EXPECT_EQ(shown.text, "Dolby " + time);
    EXPECT_EQ(shown.fonts.size(), shown.text.size() + 2);
    EXPECT_EQ(shown.fonts[6], number);

    // Cancel asks: Cancel stays, Yes keeps the text.
    app.prompter.answers = {MessageResult::Cancel, MessageResult::Yes};
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(app.prompter.LastText(), LoadString(IDS_SAVE_CHOICE));
    QTest::mouseClick(Button(d, "CancelButton"), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.entered(), "\x01" + std::string(1, char(number)) + "Dolby " + time);

    // A font change alone is a change too; No gives nothing back.
    EntryDialog c(w, &w, {EntryKind::SidedChoice, EntryMode::Change, "\x01\x03Stereo", "Side B", "Mode"});
    ShowAndFocus(c);
    c.editor()->selectAll();
    QTest::mouseClick(Button(c, "LastFontButton"), Qt::LeftButton);
    app.prompter.answers = {MessageResult::No};
    const size_t asked = app.prompter.shown.size();
    QTest::mouseClick(Button(c, "CancelButton"), Qt::LeftButton);
    EXPECT_EQ(app.prompter.shown.size(), asked + 1);
    EXPECT_FALSE(c.isVisible());
    EXPECT_FALSE(c.entered());
}

TEST(EntryDialogs, OtherScriptsAreTypedIntoFontVariantsAndShownBack) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EnsureStandardFonts(w.liner());
    const size_t before = w.liner().fonts.size();
    EntryDialog add(w, &w, {EntryKind::Feature, EntryMode::Add, {}, {}, {}});
    ShowAndFocus(add);
    const QString word = QString::fromUtf8("\u0416\u0430\u0440\u0430 x");
    for (QChar ch : word) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(add.editor(), &press);
    }
    QTest::mouseClick(Button(add, "OkButton"), Qt::LeftButton);
    ASSERT_EQ(w.liner().fonts.size(), before + 1);
    EXPECT_EQ(w.liner().fonts.back().logFont.charSet, 204);
    const std::string expected = std::string{kFontChange, static_cast<char>(before + 1)} + "\xC6\xE0\xF0\xE0 x";
    EXPECT_EQ(add.entered(), expected);

    // The sided choice dialog's prompt shows the feature's name in its script.
    EntryDialog choice(w, &w, {EntryKind::SidedChoice, EntryMode::Change, expected, "Side A", expected});
    EXPECT_EQ(choice.editor()->toPlainText(), word);
    EXPECT_TRUE(choice.findChild<QLabel*>("PromptLabel")->text().endsWith(word));
}

}  // namespace
