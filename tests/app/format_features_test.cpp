// Format Features and Format Sides: what Apply writes into the Liner's
// feature list and side letters, and that a field that does not read stops it.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <map>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app_test_support.h"
#include "dialogs/entry_dialog.h"
#include "dialogs/format_features_dialog.h"
#include "dialogs/format_sides_dialog.h"
#include "dialogs/text_dialog.h"
#include "render/fonts.h"

namespace {

// Answers the next entry dialog with `text`.
void Enter(const char* text) {
    QTimer::singleShot(0, [text] {
        auto* d = qobject_cast<EntryDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->editor()->selectAll();
        QTest::keyClicks(d->editor(), text);
        d->accept();
    });
}

void Type(QLineEdit* field, const char* text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

QPushButton* Button(QWidget* d, const char* name) { return d->findChild<QPushButton*>(name); }

Feature Named(const char* name, uint16_t style) {
    Feature f;
    f.style = style;
    f.name = EncodeFontCodedText(DecodeFontCodedText(name, IsSidedStyle(style) ? kFontFeatureName : kFontFeature));
    return f;
}

TEST(FormatFeatures, ApplyRebuildsTheListInOrderWithStylesAndChoicesAndABadFieldStopsIt) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    Liner& liner = w.liner();
    liner.features = {Named("Noise", kFeatureLeftJustified), Named("Tape", kFeatureCenteredWithSides),
                      Named("Caf\xE9", kFeatureCentered)};
    liner.features[1].sides[1] = {1, {"x", "y"}};
    w.SetModified(false);

    ASSERT_EQ(w.Dispatch(kCmdFormatFeatures), 1);
    auto* d = w.findChild<FormatFeaturesDialog*>("FormatFeaturesDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->HasChanges());

    // "Noise" becomes sided; renaming "Tape" moves it last; "Eq" goes.
    d->styleList()->setCurrentText("Adjacent with sides");
    Type(d->topField(), "0.5in");
    d->featureList()->setCurrentRow(1);
    EXPECT_EQ(d->featureList()->currentRow(), 1);
    Enter("Tape Type");
    Button(d, "ChangeButton")->click();
    d->featureList()->setCurrentRow(1);  // "Café"
    app.prompter.answers.push_back(MessageResult::Yes);
    Button(d, "DeleteButton")->click();
    EXPECT_EQ(app.prompter.LastText(), "Delete the feature 'Caf\xC3\xA9'?");  // shown as UTF-8

    // A margin that does not read keeps everything as it was.
    Type(d->sideField(), "wide");
    Button(d, "ApplyButton")->click();
    EXPECT_EQ(liner.features.size(), 3u);
    EXPECT_FALSE(w.modified());
    Type(d->sideField(), "0");
    Button(d, "ApplyButton")->click();

    ASSERT_EQ(liner.features.size(), 2u);
    EXPECT_EQ(StripFontChanges(liner.features[0].name), "Noise");
    EXPECT_EQ(liner.features[0].style, kFeatureAdjacentWithSides);
    EXPECT_EQ(liner.features[0].top, *ParseMeasurement("0.5in", false, kUnitInches));
    // The default-font characters follow the style into the name font.
    EXPECT_EQ(liner.features[0].name, Named("Noise", kFeatureCenteredWithSides).name);
    EXPECT_TRUE(liner.features[0].sides[0].choices.empty());
    EXPECT_TRUE(liner.features[0].sides[1].choices.empty());
    EXPECT_EQ(StripFontChanges(liner.features[1].name), "Tape Type");
    EXPECT_EQ(liner.features[1].sides[1], (ChoiceBlock{1, {"x", "y"}}));
    EXPECT_EQ(liner.sidedFeatureCount(), 2);
    EXPECT_TRUE(w.modified());
    EXPECT_FALSE(d->HasChanges());
}

TEST(FormatSides, ApplyWritesLettersAndSortedChoicesKeepsUpWithFeaturesAndStopsAtLimits) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    Liner& liner = w.liner();
    liner.features = {Named("Plain", kFeatureLeftJustified), Named("Tape", kFeatureCenteredWithSides),
                      Named("Dolby", kFeatureBlankWithSides)};
    liner.features[2].sides[0] = {0, {"B", "C"}};
    liner.features[2].sides[1].choices.assign(kMaxChoices, "z");
    w.SetModified(false);

    ASSERT_EQ(w.Dispatch(kCmdSidesBFlap), 1);
    auto* d = w.findChild<FormatSidesDialog*>("FormatSidesDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->locationList()->currentText(), "Side B - Flap");
    EXPECT_EQ(d->sideList()->currentText(), "Side B");
    EXPECT_EQ(d->featureList()->count(), 2);

    // Side letter: hidden, with its text and margins kept.
    d->letterStyleList()->setCurrentText("None");
    d->letterText()->selectAll();
    d->letterText()->insertPlainText("B");
    // Side A of "Dolby": "A" sorts first and is selected.
    d->sideList()->setCurrentText("Side A");
    d->featureList()->setCurrentIndex(1);
    Enter("A");
    Button(d, "AddButton")->click();
    EXPECT_EQ(d->choiceList()->currentIndex(), 0);

    // Format Features applies meanwhile: "Tape" goes, "Dolby" moves up; the
    // unapplied choice of "Dolby" stays.
    ASSERT_EQ(w.Dispatch(kCmdFormatFeatures), 1);
    auto* f = w.findChild<FormatFeaturesDialog*>("FormatFeaturesDialog");
    f->featureList()->setCurrentRow(1);
    app.prompter.answers.push_back(MessageResult::Yes);
    Button(f, "DeleteButton")->click();
    Button(f, "OkButton")->click();
    ASSERT_EQ(liner.features.size(), 2u);
    EXPECT_EQ(d->featureList()->count(), 1);
    EXPECT_EQ(d->choiceList()->count(), 3);

    d->topField()->setText("?");  // hidden: the margin it had is kept
    Button(d, "ApplyButton")->click();
    const std::string a = EncodeFontCodedText(DecodeFontCodedText("A", kFontFeature));
    EXPECT_EQ(liner.features[1].sides[0], (ChoiceBlock{0, {a, "B", "C"}}));
    EXPECT_EQ(liner.sideLetters[kSideBFlap].style, kLetterNone);
    EXPECT_EQ(StripFontChanges(liner.sideLetters[kSideBFlap].text), "B");
    EXPECT_EQ(liner.sidedFeatureCount(), 1);
    EXPECT_FALSE(d->HasChanges());

    // A full side refuses one more choice without asking for it.
    d->sideList()->setCurrentText("Side B");
    EXPECT_EQ(d->choiceList()->count(), kMaxChoices);
    const size_t messages = app.prompter.shown.size();
    Button(d, "AddButton")->click();
    EXPECT_EQ(app.prompter.shown.size(), messages + 1);
    EXPECT_EQ(d->choiceList()->count(), kMaxChoices);
}

// Every Alt+letter of a dialog reaches one control only.
TEST(FormatFeatures, ASidedFeatureSwitchedToAStyleWithoutSidesSaysItsChoicesGoBeforeApply) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.liner().features = {Named("Tape", kFeatureCenteredWithSides)};
    w.liner().features[0].sides[1] = {1, {"x", "y"}};
    ASSERT_EQ(w.Dispatch(kCmdFormatFeatures), 1);
    auto* d = w.findChild<FormatFeaturesDialog*>("FormatFeaturesDialog");
    ASSERT_NE(d, nullptr);
    auto* note = d->findChild<QLabel*>("SidesNote");
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isVisibleTo(d));
    d->styleList()->setCurrentText("Left Justified");
    EXPECT_TRUE(note->isVisibleTo(d));
    EXPECT_TRUE(note->text().contains("dropped")) << note->text().toStdString();
    d->styleList()->setCurrentText("Adjacent with sides");
    EXPECT_FALSE(note->isVisibleTo(d));
}

TEST(Keyboard, NoTwoControlsOfAFormatDialogShareAMnemonic) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    for (int command : {kCmdFormatFeatures, kCmdFormatSides, kCmdFormatLiner, kCmdFormatTitle, kCmdFormatSongs,
                        kCmdTitleLines}) {
        ASSERT_EQ(w.Dispatch(command), 1);
    }
    for (QDialog* d : w.findChildren<QDialog*>()) {
        if (!d->isVisible()) continue;
        std::map<QChar, QString> seen;
        QStringList texts;
        for (QLabel* l : d->findChildren<QLabel*>()) texts << l->text();
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>()) texts << b->text();
        for (QGroupBox* g : d->findChildren<QGroupBox*>()) texts << g->title();
        for (const QString& text : texts) {
            const int amp = text.indexOf('&');
            if (amp < 0 || amp + 1 >= text.size() || text[amp + 1] == '&') continue;
            const QChar key = text[amp + 1].toLower();
            EXPECT_FALSE(seen.count(key)) << d->objectName().toStdString() << ": " << text.toStdString() << " and "
                                          << seen[key].toStdString();
            seen[key] = text;
        }
    }
}

TEST(FormatSides, ALongFeatureNameIsElidedRatherThanWideningTheDialog) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.liner().features = {Named(std::string(300, 'N').c_str(), kFeatureCenteredWithSides)};
    w.liner().features[0].sides[0] = {0, {std::string(300, 'c')}};
    ASSERT_EQ(w.Dispatch(kCmdFormatSides), 1);
    auto* d = w.findChild<FormatSidesDialog*>("FormatSidesDialog");
    ASSERT_NE(d, nullptr);
    d->show();
    EXPECT_LT(d->sizeHint().width(), 900);
}

}  // namespace
