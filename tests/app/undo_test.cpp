// Undo and Redo through the real window and dialogs: every kind of step goes
// back to exactly what was there (the saved bytes are the opened file's), the
// saved state, fonts across a save, and open dialogs showing what Undo
// brought back.
#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app_test_support.h"
#include "dialogs/format_pictures_dialog.h"
#include "dialogs/format_songs_dialog.h"
#include "dialogs/format_title_dialog.h"
#include "dialogs/text_dialog.h"
#include "document/liner_file.h"
#include "render/fonts.h"

namespace {

QPushButton* Button(QWidget* d, const char* name) { return d->findChild<QPushButton*>(name); }

void Type(QLineEdit* field, const char* text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

QString UndoText(MainWindow& w) { return w.action(kCmdUndo)->text(); }

class UndoRedo : public ::testing::Test {
protected:
    void SetUp() override {
        path = app.CopySample("mix.cas");
        original = ReadBytes(path);
        ASSERT_TRUE(app.Start(QString::fromStdString(path)));
        ASSERT_FALSE(w().modified());
        ASSERT_FALSE(w().action(kCmdUndo)->isEnabled());
    }
    MainWindow& w() { return app.window(); }

    void Undo(int times) {
        for (int i = 0; i < times; ++i) ASSERT_EQ(w().Dispatch(kCmdUndo), 1);
    }
    void Redo(int times) {
        for (int i = 0; i < times; ++i) ASSERT_EQ(w().Dispatch(kCmdRedo), 1);
    }

    AppHarness app;
    std::string path;
    std::vector<uint8_t> original;
};

TEST_F(UndoRedo, EveryKindOfStepGoesBackToTheOpenedBytesAndComesAgain) {
    std::vector<Liner> states{w().liner()};
    const PrintSettings margins = w().settings().print;

    // Format Title: a dialog's Apply.
    w().Dispatch(kCmdFormatTitle);
    auto* title = w().findChild<FormatTitleDialog*>("FormatTitleDialog");
    ASSERT_NE(title, nullptr);
    Type(title->findChild<QLineEdit*>("LeftField"), "0.3in");
    QTest::mouseClick(Button(title, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(UndoText(w()), "&Undo Format Title");
    states.push_back(w().liner());

    // Format Liner with a new default unit, which re-expresses the margins.
    w().Dispatch(kCmdFormatLiner);
    QWidget* linerDialog = w().findChild<QWidget*>("FormatLinerDialog");
    ASSERT_NE(linerDialog, nullptr);
    auto* units = linerDialog->findChild<QComboBox*>("DefaultUnitsList");
    units->setCurrentIndex(units->currentIndex() == 0 ? 1 : 0);
    QTest::mouseClick(Button(linerDialog, "OkButton"), Qt::LeftButton);
    ASSERT_NE(w().liner().defaultUnits, states.back().defaultUnits);
    const PrintSettings reexpressed = w().settings().print;
    EXPECT_EQ(UndoText(w()), "&Undo Format Liner");
    states.push_back(w().liner());

    // A font from the Fonts menu.
    FontEntry courier;
    courier.logFont.SetFaceName("Courier New");
    courier.logFont.height = 280;
    app.fontAnswer = courier;
    w().Dispatch(kCmdFontTitle);
    EXPECT_EQ(UndoText(w()), "&Undo Title Font");
    states.push_back(w().liner());

    // The title's text.
    w().Dispatch(kCmdTitleLines);
    auto* text = w().findChild<TextDialog*>("TitleLinesDialog");
    ASSERT_NE(text, nullptr);
    text->editor()->selectAll();
    QTest::keyClicks(text->editor(), "Side by side");
    QTest::mouseClick(Button(text, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(UndoText(w()), "&Undo Title Lines");
    states.push_back(w().liner());

    // A picture dropped on the title, then deleted in Format Pictures.
    QImage image(96, 48, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    const std::string picture = app.Path("drop.bmp");
    ASSERT_TRUE(image.save(QString::fromStdString(picture), "BMP"));
    w().AddDroppedPicture(QString::fromStdString(picture), PicturePlace{0, 0, 1440, 720});
    EXPECT_EQ(UndoText(w()), "&Undo Add Picture");
    states.push_back(w().liner());
    w().Dispatch(kCmdFormatPictures);
    auto* pictures = w().findChild<FormatPicturesDialog*>("FormatPicturesDialog");
    ASSERT_NE(pictures, nullptr);
    app.prompter.answers = {MessageResult::Yes};
    QTest::mouseClick(Button(pictures, "DeleteButton"), Qt::LeftButton);
    EXPECT_EQ(UndoText(w()), "&Undo Delete Picture");
    states.push_back(w().liner());
    pictures->RequestClose();

    // Back, step by step, to the Liner that was opened.
    for (size_t i = states.size() - 1; i > 0; --i) {
        Undo(1);
        EXPECT_EQ(w().liner(), states[i - 1]) << i;
        if (i == 2) {
            EXPECT_EQ(w().settings().print.marginLeft, margins.marginLeft);
        }
    }
    EXPECT_FALSE(w().action(kCmdUndo)->isEnabled());
    EXPECT_EQ(w().action(kCmdRedo)->text(), "&Redo Format Title");
    EXPECT_FALSE(w().modified());
    ASSERT_EQ(w().Dispatch(kCmdSave), 1);
    EXPECT_EQ(ReadBytes(path), original);

    // And forward again to the last step.
    Redo(static_cast<int>(states.size()) - 1);
    EXPECT_EQ(w().liner(), states.back());
    EXPECT_EQ(w().settings().print.marginLeft, reexpressed.marginLeft);
    EXPECT_TRUE(w().modified());
    EXPECT_FALSE(w().action(kCmdRedo)->isEnabled());
    EXPECT_TRUE(app.prompter.shown.size() <= 1u) << app.prompter.LastText();
}

TEST_F(UndoRedo, ModifiedFollowsTheSavedStateAndNewStartsAfresh) {
    w().liner().title = {1, "One"};
    w().document().Commit("First", LinerDocument::kTexts);
    w().liner().title = {1, "Two"};
    w().document().Commit("Second", LinerDocument::kTexts);
    EXPECT_TRUE(w().modified());
    Undo(2);
    EXPECT_FALSE(w().modified());  // back where the file is
    Redo(1);
    ASSERT_EQ(w().Dispatch(kCmdSave), 1);
    EXPECT_FALSE(w().modified());
    Undo(1);
    EXPECT_TRUE(w().modified());
    Redo(1);
    EXPECT_FALSE(w().modified());
    Redo(1);
    EXPECT_TRUE(w().modified());

    // New (and Open) clear the history.
    app.prompter.answers = {MessageResult::No};
    app.dialogs.openAnswers = {Chosen(app.Path("default.fmt"))};
    ASSERT_EQ(w().Dispatch(kCmdNew), 1);
    EXPECT_FALSE(w().modified());
    EXPECT_FALSE(w().action(kCmdUndo)->isEnabled());
    EXPECT_FALSE(w().action(kCmdRedo)->isEnabled());
}

TEST_F(UndoRedo, FontsComeBackRightAfterASaveRenumberedThem) {
    FontEntry unused = FontEntryFor(w().liner(), kFontTitle, kFontTitle);
    unused.logFont.height = 500;
    FontEntry italic = unused;
    italic.logFont.italic = 1;
    Liner& liner = w().liner();
    liner.fonts.push_back(unused);  // a font the save drops
    const int italicNumber = static_cast<int>(liner.fonts.size()) + 1;
    liner.fonts.push_back(italic);
    liner.title = {1, std::string("\x01") + static_cast<char>(italicNumber) + "Leaning"};
    w().document().Commit("Italic Title", LinerDocument::kTexts | LinerDocument::kFonts);
    const Liner italicState = w().liner();
    liner.title = {1, "Upright"};
    w().document().Commit("Plain Title", LinerDocument::kTexts);

    ASSERT_EQ(w().Dispatch(kCmdSave), 1);
    Undo(1);
    const DisplayText shown = DecodeFontCodedText(w().liner().title.text, kFontTitle);
    ASSERT_EQ(shown.text, "Leaning");
    EXPECT_EQ(FontEntryFor(w().liner(), shown.fonts[0], kFontTitle), italic);
    EXPECT_EQ(w().liner(), italicState);
    // The saved state again, with the table the save wrote.
    Redo(1);
    EXPECT_FALSE(w().modified());
    ASSERT_EQ(w().Dispatch(kCmdSave), 1);
    Liner reread;
    ASSERT_TRUE(ReadLinerFile(reread, path, true, app.prompter));
    EXPECT_EQ(reread.fonts, w().liner().fonts);
}

TEST_F(UndoRedo, OpenDialogsShowWhatUndoBringsBackAndKeepUnappliedEdits) {
    w().Dispatch(kCmdFormatTitle);
    auto* title = w().findChild<FormatTitleDialog*>("FormatTitleDialog");
    ASSERT_NE(title, nullptr);
    auto* left = title->findChild<QLineEdit*>("LeftField");
    const QString before = left->text();
    Type(left, "0.4in");
    QTest::mouseClick(Button(title, "ApplyButton"), Qt::LeftButton);
    w().Dispatch(kCmdTitleLines);
    auto* text = w().findChild<TextDialog*>("TitleLinesDialog");
    ASSERT_NE(text, nullptr);
    QTest::keyClicks(text->editor(), "draft ");

    Undo(1);
    EXPECT_EQ(left->text(), before);  // shows the Liner as it is again
    EXPECT_FALSE(title->HasChanges());
    EXPECT_TRUE(text->editor()->toPlainText().startsWith("draft "));  // kept as typed
    EXPECT_TRUE(text->HasChanges());
    Redo(1);
    EXPECT_EQ(left->text(), "0.4 in");
    EXPECT_TRUE(app.prompter.shown.empty()) << app.prompter.LastText();
}

TEST_F(UndoRedo, UntouchedFieldsFollowEveryStepWhileTypedOnesStayAndOkAppliesNothingStale) {
    w().Dispatch(kCmdFormatTitle);
    auto* title = w().findChild<FormatTitleDialog*>("FormatTitleDialog");
    ASSERT_NE(title, nullptr);
    QComboBox* alignment = title->area().alignment;
    const int was = alignment->currentIndex();
    const uint16_t before = w().liner().titleFormat.alignment;
    alignment->setCurrentIndex(was == 1 ? 0 : 1);
    QTest::mouseClick(Button(title, "ApplyButton"), Qt::LeftButton);
    const uint16_t applied = w().liner().titleFormat.alignment;
    ASSERT_NE(applied, before);
    auto* top = title->findChild<QLineEdit*>("TopField");
    Type(top, "0.4in");  // not applied

    Undo(1);
    EXPECT_EQ(alignment->currentIndex(), was);
    EXPECT_EQ(top->text(), "0.4in");
    Redo(1);
    EXPECT_NE(alignment->currentIndex(), was);
    Undo(1);
    QTest::mouseClick(Button(title, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(w().liner().titleFormat.alignment, before);
    EXPECT_EQ(w().liner().titleFormat.top.twips, 576);

    // Format Songs: an area not on show follows too, the one typed in keeps it.
    w().Dispatch(kCmdFormatSongs);
    auto* songs = w().findChild<FormatSongsDialog*>("FormatSongsDialog");
    ASSERT_NE(songs, nullptr);
    const int first = songs->areaList()->currentIndex(), other = first == 0 ? 1 : 0;
    const AreaFormat firstBefore = w().liner().songFormats[songs->areaShown()];
    auto* left = songs->findChild<QLineEdit*>("LeftField");
    const QString shownBefore = left->text();
    Type(left, "0.3in");
    QTest::mouseClick(Button(songs, "ApplyButton"), Qt::LeftButton);
    songs->areaList()->setCurrentIndex(other);
    const int otherArea = songs->areaShown();
    Type(left, "0.2in");
    Undo(1);
    EXPECT_EQ(left->text(), "0.2in");
    songs->areaList()->setCurrentIndex(first);
    EXPECT_EQ(left->text(), shownBefore);
    QTest::mouseClick(Button(songs, "OkButton"), Qt::LeftButton);
    EXPECT_EQ(w().liner().songFormats[songs->areaShown()], firstBefore);
    EXPECT_EQ(w().liner().songFormats[otherArea].left.twips, 288);
    EXPECT_TRUE(app.prompter.shown.empty()) << app.prompter.LastText();
}

TEST_F(UndoRedo, AFontChosenInAnOpenDialogSurvivesAnUndoElsewhere) {
    w().liner().songsA = {1, "Only song"};
    w().document().Commit("Songs", LinerDocument::kTexts);
    w().Dispatch(kCmdTitleLines);
    auto* text = w().findChild<TextDialog*>("TitleLinesDialog");
    ASSERT_NE(text, nullptr);
    FontEntry chosen = FontEntryFor(w().liner(), kFontTitle, kFontTitle);
    chosen.logFont.height = 620;
    app.fontAnswer = chosen;
    text->editor()->selectAll();
    QTest::mouseClick(Button(text, "FontButton"), Qt::LeftButton);

    Undo(1);  // a table without the chosen font
    QTest::mouseClick(Button(text, "OkButton"), Qt::LeftButton);
    const DisplayText shown = DecodeFontCodedText(w().liner().title.text, kFontTitle);
    ASSERT_FALSE(shown.fonts.empty());
    EXPECT_EQ(FontEntryFor(w().liner(), shown.fonts[0], kFontTitle), chosen);
}

}  // namespace
