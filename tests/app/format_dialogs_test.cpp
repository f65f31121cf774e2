// Format Title, Format Songs and Format Liner: what Apply writes into the
// Liner, and what a field that does not read stops.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app_test_support.h"
#include "dialogs/format_liner_dialog.h"
#include "dialogs/format_songs_dialog.h"
#include "dialogs/format_title_dialog.h"
#include "document/liner_file.h"
#include "render/geometry.h"

namespace {

template <typename D>
D* Open(MainWindow& w, int command, const char* name) {
    EXPECT_EQ(w.Dispatch(command), 1);
    return w.findChild<D*>(name);
}

QLineEdit* Field(QWidget* d, const char* name) { return d->findChild<QLineEdit*>(name); }
QPushButton* Button(QWidget* d, const char* name) { return d->findChild<QPushButton*>(name); }

void Type(QLineEdit* field, const char* text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

Measurement M(const char* text, int unit = kUnitInches) { return *ParseMeasurement(text, false, unit); }

TEST(FormatDialogs, TitleApplyWritesTheChangedValuesAndABadFieldStopsEverything) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.SetModified(false);
    const Liner before = w.liner();
    auto* d = Open<FormatTitleDialog>(w, kCmdFormatTitle, "FormatTitleDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->HasChanges());

    Type(Field(d, "LeftField"), "-0.25in");  // margins may be negative here
    d->splitBox()->click();
    d->area().alignment->setCurrentIndex(2);
    QTest::mouseClick(Button(d, "ApplyButton"), Qt::LeftButton);
    AreaFormat expected = before.titleFormat;
    expected.left = *ParseMeasurement("-0.25in", false, kUnitInches);
    expected.alignment = kAlignRight;
    EXPECT_EQ(w.liner().titleFormat, expected);
    EXPECT_EQ(w.liner().splitTitle, before.splitTitle ? 0 : 1);
    EXPECT_EQ(w.liner().centerTitleVertically, before.centerTitleVertically);
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(Button(d, "CancelButton")->text(), "Close");
    EXPECT_TRUE(app.prompter.shown.empty());

    // Letters alone are no measurement: closing asks, Yes fails and keeps it open.
    QLineEdit* bottom = Field(d, "BottomField");
    Type(bottom, "abc");
    app.prompter.answers = {MessageResult::Yes};
    QTest::mouseClick(Button(d, "CancelButton"), Qt::LeftButton);
    ASSERT_EQ(app.prompter.shown.size(), 2u);
    EXPECT_EQ(app.prompter.shown[0].text, "Save changes to title format");
    EXPECT_EQ(app.prompter.shown[1].text, "Invalid measurement");
    EXPECT_FALSE(d->closing());
    EXPECT_EQ(bottom->selectedText(), "abc");
    EXPECT_EQ(w.liner().titleFormat, expected);

    // An emptied field reads as zero.
    bottom->clear();
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(w.liner().titleFormat.bottom, Measurement{});
}

TEST(FormatDialogs, SongAreasKeepTheirEditsAcrossSwitchesAndABadFieldKeepsItsArea) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    const Liner before = w.liner();
    auto* d = Open<FormatSongsDialog>(w, kCmdSongsBOverflow, "FormatSongsDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->areaList()->currentText(), "Side B - Overflow");
    EXPECT_EQ(Open<FormatSongsDialog>(w, kCmdSongsAPrimary, "FormatSongsDialog"), d);
    EXPECT_EQ(d->areaShown(), kSideBOverflowArea);  // only brought forward

    QLineEdit* top = Field(d, "TopField");
    Type(top, "1x");
    d->areaList()->setCurrentIndex(0);
    EXPECT_EQ(app.prompter.LastText().rfind("Invalid measurement: 'x' is not a unit.", 0), 0u);
    EXPECT_EQ(d->areaShown(), kSideBOverflowArea);
    EXPECT_EQ(d->areaList()->currentText(), "Side B - Overflow");
    EXPECT_EQ(top->selectedText(), "1x");

    Type(top, "0.5in");
    d->areaList()->setCurrentIndex(0);
    EXPECT_EQ(d->areaShown(), kSideAPrimaryArea);
    Type(Field(d, "WithinField"), "2");
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(d->closing());

    std::array<AreaFormat, 4> expected = before.songFormats;
    expected[kSideBOverflowArea].top = M("0.5in");
    expected[kSideAPrimaryArea].within = M("2", before.defaultUnits);
    EXPECT_EQ(w.liner().songFormats, expected);
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(w.songFitWarning());
}

TEST(FormatDialogs, LinerRefusesBadFieldsAndApplyingANewUnitReexpressesBareNumbers) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    Liner& liner = w.liner();
    liner.defaultUnits = kUnitInches;
    liner.titleHeight = M("0.5");
    liner.overflowHeight = M("1in");
    liner.overflowCount = 1;
    w.settings().print.marginLeft = M("0.5in");
    const Liner before = liner;
    auto* d = Open<FormatLinerDialog>(w, kCmdFormatLiner, "FormatLinerDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->HasChanges());

    auto* units = d->findChild<QComboBox*>("DefaultUnitsList");
    units->setCurrentIndex(units->findText("centimeters"));
    EXPECT_TRUE(d->HasChanges());

    auto refused = [&](const char* message) {
        app.prompter.shown.clear();
        QTest::mouseClick(Button(d, "ApplyButton"), Qt::LeftButton);
        EXPECT_EQ(app.prompter.LastText(), message);
        EXPECT_EQ(w.liner(), before);
    };
    QLineEdit* tabs = Field(d, "TabStopsField");
    Type(tabs, "1in, 2x, 3in");
    refused("Tab stop # 2 is not a valid measurement");
    Type(tabs, "1in, 2in, 0.5in");

    QLineEdit* primary = Field(d, "PrimarySongField");
    const QString primaryText = primary->text();
    Type(primary, "-1in");
    refused("Measurement may not be less than zero");
    EXPECT_EQ(primary->selectedText(), "-1in");
    Type(primary, primaryText.toLatin1().constData());

    QLineEdit* repeat = Field(d, "RepeatField");
    Type(repeat, "-1");
    refused("The number of song overflow areas may not be less than zero");
    Type(repeat, "40");  // 40 inches of overflow areas: taller than a liner can be
    refused("The areas add up to more than the tallest liner there can be (about 22.75 inches or 57.8 cm). "
            "Make an area lower or repeat the overflow area fewer times.");
    Type(repeat, "0");

    // A liner needs a width and a height.
    QLineEdit* width = Field(d, "WidthField");
    const QString widthText = width->text();
    Type(width, "0");
    refused("A liner must be wider than zero. Type the width of the card.");
    Type(width, widthText.toLatin1().constData());
    std::vector<std::pair<QLineEdit*, QString>> heights;
    for (const char* name : {"FeatureFlapField", "TitleField", "PrimarySongField"}) {
        heights.emplace_back(Field(d, name), Field(d, name)->text());
        Type(heights.back().first, "0");
    }
    refused("A liner must be higher than zero. Give at least one of its areas a height.");
    for (auto& [field, text] : heights) Type(field, text.toLatin1().constData());

    d->findChild<QCheckBox*>("BisectAreaBox")->click();
    auto* fold = d->findChild<QComboBox*>("FoldLinesList");
    fold->setCurrentIndex(6);
    w.SetModified(false);
    QTest::mouseClick(Button(d, "OkButton"), Qt::LeftButton);
    EXPECT_TRUE(d->closing());

    EXPECT_EQ(liner.defaultUnits, kUnitCentimeters);
    EXPECT_EQ(liner.titleHeight.twips, 284);  // 0.5 now counts centimeters
    EXPECT_EQ(liner.overflowHeight, before.overflowHeight);
    EXPECT_EQ(liner.overflowCount, 0);
    EXPECT_EQ(liner.tabStopsText, "1in, 2in, 0.5in");
    EXPECT_EQ(liner.tabStops, (std::vector<int16_t>{720, 1440, 2880}));
    EXPECT_EQ(liner.foldLineStyle, 6);
    EXPECT_EQ(liner.cutLineStyle, before.cutLineStyle);
    EXPECT_EQ(liner.bisectArea, before.bisectArea ? 0 : 1);
    EXPECT_EQ(liner.totalHeight(), liner.flapHeight.twips + liner.titleHeight.twips + liner.primaryHeight.twips);
    EXPECT_EQ(w.settings().print.marginLeft.unit, kUnitCentimeters);
    EXPECT_EQ(FormatMeasurement(w.settings().print.marginLeft), "1.27 cm");
    EXPECT_TRUE(w.modified());
}

TEST(FormatDialogs, TickingInvertImageOffersToMoveTheFeaturesWithTheFlapInOneStep) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    Feature feature;
    feature.top = M("0.1in");
    feature.name = "Noise";
    w.liner().features = {feature};
    w.liner().invertImage = 0;
    w.document().Commit("Features", LinerDocument::kFeatures);
    auto* d = Open<FormatLinerDialog>(w, kCmdFormatLiner, "FormatLinerDialog");
    ASSERT_NE(d, nullptr);
    d->findChild<QCheckBox*>("InvertImageBox")->setChecked(true);
    app.prompter.answers = {MessageResult::Yes};
    QTest::mouseClick(Button(d, "ApplyButton"), Qt::LeftButton);
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_NE(app.prompter.LastText().find("Move the features with it?"), std::string::npos);
    EXPECT_EQ(w.liner().invertImage, 1);
    EXPECT_EQ(w.liner().features[0].top.twips, 144 + ComputeLinerGeometry(w.liner()).flapTop);
    w.Dispatch(kCmdUndo);
    EXPECT_EQ(w.liner().invertImage, 0);
    EXPECT_EQ(w.liner().features[0].top, M("0.1in"));
}

TEST(FormatDialogs, ANewLinerAsksAboutUnappliedEditsAndEveryDialogShowsIt) {
    AppHarness app;
    const std::string other = app.Path("other.fmt");
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    // Another format: a wider liner with another title margin.
    Liner changed = w.liner();
    changed.width = M("5in");
    changed.titleFormat.top = M("0.3in");
    ASSERT_TRUE(WriteFormatFile(changed, other, app.prompter));

    auto* liner = Open<FormatLinerDialog>(w, kCmdFormatLiner, "FormatLinerDialog");
    auto* title = Open<FormatTitleDialog>(w, kCmdFormatTitle, "FormatTitleDialog");
    ASSERT_TRUE(liner && title);
    Type(Field(liner, "WidthField"), "3in");

    // Cancel in the question: nothing is replaced.
    app.prompter.answers = {MessageResult::Cancel};
    app.dialogs.openAnswers = {Chosen(other)};
    EXPECT_EQ(w.Dispatch(kCmdNew), 0);
    EXPECT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_TRUE(app.dialogs.openRequests.empty());

    // No: the edit is dropped and both dialogs show the new liner.
    app.prompter.answers = {MessageResult::No};
    ASSERT_EQ(w.Dispatch(kCmdNew), 1);
    EXPECT_EQ(w.liner().width, M("5in"));
    EXPECT_EQ(Field(liner, "WidthField")->text().toStdString(), FormatMeasurement(M("5in")));
    EXPECT_EQ(title->area().fields[2]->text().toStdString(), FormatMeasurement(M("0.3in")));
    EXPECT_FALSE(liner->HasChanges());
    EXPECT_FALSE(title->HasChanges());
    // Closing asks nothing, and Apply writes nothing old.
    app.prompter.shown.clear();
    QTest::mouseClick(Button(liner, "ApplyButton"), Qt::LeftButton);
    EXPECT_EQ(w.liner().width, M("5in"));
    QTest::mouseClick(Button(liner, "CancelButton"), Qt::LeftButton);
    EXPECT_TRUE(liner->closing());
    EXPECT_TRUE(app.prompter.shown.empty());

    // After Apply the focus is on Top, the title's first field.
    title->show();
    title->activateWindow();
    QTest::mouseClick(Button(title, "ApplyButton"), Qt::LeftButton);
    EXPECT_EQ(title->focusWidget(), title->area().fields[2]);
}

}  // namespace
