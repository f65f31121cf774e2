// Format Pictures: adding a picture file, placing it by the Stretch and
// Center choices, a field that does not read, Cancel Add and Delete.
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "platform/commands.h"
#include "document/liner_document.h"
#include "document/print_settings.h"
#include "dialogs/format_pictures_dialog.h"
#include "pictures/picture_host.h"
#include "render/view.h"

namespace {

class FormatPicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_TRUE(app.Start());
        Liner& liner = app.window().liner();
        liner.defaultUnits = kUnitInches;
        liner.invertImage = 0;
        liner.width = FromTwips(2880, kUnitInches);         // 2 in
        liner.flapHeight = FromTwips(720, kUnitInches);     // 0.5 in
        liner.titleHeight = FromTwips(1440, kUnitInches);   // 1 in
        liner.primaryHeight = FromTwips(2160, kUnitInches); // 1.5 in
        liner.overflowHeight = FromTwips(720, kUnitInches);
        liner.overflowCount = 2;
        liner.pictures.clear();
        app.window().SetModified(false);
    }

    // A 96 by 48 pixel picture: 1 by 0.5 inch on a 96 pixels-per-inch screen.
    std::string Bitmap(const std::string& name) {
        QImage image(96, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const std::string path = app.Path(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP"));
        return path;
    }

    FormatPicturesDialog* Open() {
        auto* d = new FormatPicturesDialog(app.window(), [this](QWidget*, const FileDialogRequest& request) {
            requests.push_back(request);
            std::optional<FileDialogResult> answer;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            return answer;
        });
        d->show();
        return d;
    }

    static void Type(QLineEdit* field, const char* text) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    static void Choose(QComboBox* box, const char* text) {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text;
        box->setCurrentIndex(index);
    }

    AppHarness app;
    std::deque<std::optional<FileDialogResult>> answers;
    std::vector<FileDialogRequest> requests;
};

TEST_F(FormatPicturesTest, AddingGivesTheNaturalSizeAndStretchAndCenterPlaceItExactly) {
    MainWindow& w = app.window();
    w.settings().pictureFolder = app.Path("");
    w.settings().pictureFilterIndex = 4;
    FormatPicturesDialog* d = Open();
    // Without pictures only Add and Cancel work.
    EXPECT_FALSE(d->okButton()->isEnabled());
    EXPECT_FALSE(d->field(0)->isEnabled());
    EXPECT_FALSE(d->deleteButton()->isEnabled());
    // The numbered overflow areas are offered, and "(original size)" by Stretch only.
    EXPECT_GE(d->centerList()->findText("(overflow song #2)"), 0);
    EXPECT_LT(d->centerList()->findText("(original size)"), 0);

    answers.push_back(Chosen(Bitmap("bird.bmp"), 1));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].caption, "Picture Add");
    // It opens on the one filter that shows every picture type with a reader.
    EXPECT_EQ(requests[0].filterIndex, 1);
    ASSERT_FALSE(requests[0].filter.pairs.empty());
    EXPECT_EQ(requests[0].filter.pairs[0].first, "All Supported Images");
    EXPECT_EQ(requests[0].filter.pairs[0].second, "*.bmp;*.jpg;*.jpeg;*.pcx;*.png;*.tga;*.webp");
    EXPECT_EQ(requests[0].filter.pairs.back().second, "*.*");
    EXPECT_EQ(requests[0].folder.toStdString(), app.Path(""));
    EXPECT_EQ(w.settings().pictureFilterIndex, 1);
    // Held by the dialog until it is stored.
    EXPECT_TRUE(w.liner().pictures.empty());
    ASSERT_TRUE(d->addedPicture());
    const Picture& added = *d->addedPicture();
    EXPECT_EQ(added.formatIndex, kReaderBmp);
    EXPECT_EQ(added.naturalWidth.twips, 1440);
    EXPECT_EQ(added.naturalHeight.twips, -720);
    EXPECT_EQ(d->pictureList()->currentText(), "bird.bmp");
    EXPECT_EQ(d->field(2)->text(), "1");
    EXPECT_EQ(d->field(3)->text(), "0.5");
    EXPECT_EQ(d->addButton()->text(), "Cancel Add");
    EXPECT_TRUE(d->okButton()->isEnabled());

    // The whole liner: one screen pixel wider, and one twip more in height
    // for the bottom edge line.
    Choose(d->stretchList(), "(entire liner)");
    QTest::mouseClick(d->applyButton(), Qt::LeftButton);
    EXPECT_EQ(d->field(2)->text(), "2.01");  // 2895 twips, shown to three decimals
    EXPECT_FALSE(d->adding());
    EXPECT_EQ(d->addButton()->text(), "&Add");
    EXPECT_TRUE(d->deleteButton()->isEnabled());
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(w.liner().pictures[0].width, *ParseMeasurement("2.01", false, kUnitInches));

    // Centred in the title area (0.5 in below the top, 1 in high).
    // Typing a size drops the Stretch choice that would overwrite it.
    Choose(d->centerList(), "(title)");
    Type(d->field(2), "1");
    EXPECT_EQ(d->stretchList()->currentText(), "(none)");
    EXPECT_EQ(d->centerList()->currentText(), "(title)");
    Type(d->field(3), "0.25");
    QTest::mouseClick(d->applyButton(), Qt::LeftButton);
    const Picture& placed = w.liner().pictures[0];
    EXPECT_EQ(placed.left.twips, 720);
    EXPECT_EQ(placed.top.twips, -1260);  // 720 + (1440 - 360) / 2, held negated
    EXPECT_EQ(placed.height.twips, -360);
    EXPECT_EQ(d->field(1)->text(), "0.875");

    // Larger than the title by more than a pixel: left where it is.
    Type(d->field(3), "1.1");
    QTest::mouseClick(d->applyButton(), Qt::LeftButton);
    EXPECT_EQ(w.liner().pictures[0].top.twips, -1260);
    EXPECT_EQ(w.liner().pictures[0].height.twips, -1584);
    EXPECT_TRUE(app.prompter.shown.empty());

    // Turned upside down, the feature flap lies at the bottom of the liner.
    w.liner().invertImage = 1;
    Choose(d->centerList(), "(none)");
    Choose(d->stretchList(), "(feature flap)");
    QTest::mouseClick(d->applyButton(), Qt::LeftButton);
    EXPECT_EQ(w.liner().pictures[0].top.twips, -(2 * 720 + 2160 + 1440));
    d->RequestClose();
}

TEST_F(FormatPicturesTest, ABadFieldStoresNothingCancelAddAndDeleteTakePicturesOut) {
    MainWindow& w = app.window();
    FormatPicturesDialog* d = Open();
    answers.push_back(Chosen(Bitmap("a.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    QTest::mouseClick(d->applyButton(), Qt::LeftButton);
    const Picture stored = w.liner().pictures.at(0);
    EXPECT_EQ(stored.width.twips, 1440);

    // Letters are no measurement: nothing is stored, the field is selected.
    w.SetModified(false);
    Type(d->field(1), "abc");
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    EXPECT_EQ(app.prompter.LastText(), "Invalid measurement");
    EXPECT_FALSE(d->closing());
    EXPECT_EQ(w.liner().pictures.at(0), stored);
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(d->focusWidget(), d->field(1));

    // Adding asks about the unstored field first; No keeps the stored one.
    app.prompter.answers.push_back(MessageResult::No);
    answers.push_back(Chosen(Bitmap("b.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    EXPECT_EQ(app.prompter.LastText(), "Save changes to picture 'a.bmp'");
    ASSERT_EQ(w.liner().pictures.size(), 1u);
    EXPECT_EQ(w.liner().pictures[0], stored);
    EXPECT_TRUE(d->adding());

    // Cancel Add: the picture goes and the one before comes back.
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    ASSERT_EQ(w.liner().pictures.size(), 1u);
    EXPECT_EQ(d->pictureList()->count(), 1);
    EXPECT_EQ(d->current(), 0);
    EXPECT_EQ(d->field(1)->text(), "0");
    EXPECT_TRUE(d->deleteButton()->isEnabled());

    // A file that is no picture adds nothing.
    const size_t shown = app.prompter.shown.size();
    {
        QFile text(QString::fromStdString(app.Path("notes.bmp")));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("not a picture");
    }
    answers.push_back(Chosen(app.Path("notes.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    EXPECT_GT(app.prompter.shown.size(), shown);
    EXPECT_EQ(w.liner().pictures.size(), 1u);
    EXPECT_FALSE(d->adding());

    // Delete, answered Yes: the list is empty and the controls greyed.
    app.prompter.answers.push_back(MessageResult::Yes);
    QTest::mouseClick(d->deleteButton(), Qt::LeftButton);
    EXPECT_EQ(app.prompter.LastText(), "Delete the reference to picture 'a.bmp'?");
    EXPECT_TRUE(w.liner().pictures.empty());
    EXPECT_EQ(d->pictureList()->count(), 0);
    EXPECT_FALSE(d->okButton()->isEnabled());
    EXPECT_FALSE(d->deleteButton()->isEnabled());
    EXPECT_EQ(d->cancelButton()->text(), "Close");
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(d->RequestClose());
}

}  // namespace

namespace {

// Fit: the largest rectangle of the picture's proportions inside the area,
// centred; typing a length drops the choice.  The thumbnail shows the picture.
TEST_F(FormatPicturesTest, FitPlacesThePictureInsideTheAreaKeepingItsProportions) {
    FormatPicturesDialog* d = Open();
    answers.push_back(Chosen(Bitmap("wide.bmp"), 1));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    ASSERT_TRUE(d->adding());
    ASSERT_FALSE(d->thumbnail()->pixmap().isNull());
    EXPECT_EQ(d->thumbnail()->pixmap().size(), QSize(120, 60));  // 2:1, like the picture

    // The title is 2 in by 1 in: a 2:1 picture fills it exactly.
    Choose(d->fitList(), "(title)");
    ASSERT_TRUE(d->Apply());
    const Picture& p = app.window().liner().pictures[0];
    EXPECT_EQ(p.left.twips, 0);
    EXPECT_EQ(p.top.twips, -720);
    EXPECT_EQ(p.width.twips, 2880);
    EXPECT_EQ(p.height.twips, -1440);

    // The primary song area is 2 in by 1.5 in: full width, 1 in high, centred
    // in its height (0.25 in below its top at 1.5 in).
    Choose(d->fitList(), "(primary song)");
    ASSERT_TRUE(d->Apply());
    EXPECT_EQ(p.left.twips, 0);
    EXPECT_EQ(p.top.twips, -(2160 + 360));
    EXPECT_EQ(p.width.twips, 2880);
    EXPECT_EQ(p.height.twips, -1440);

    // The feature flap is 0.5 in high: 1 in wide, centred across the liner.
    Choose(d->fitList(), "(feature flap)");
    ASSERT_TRUE(d->Apply());
    EXPECT_EQ(p.left.twips, 720);
    EXPECT_EQ(p.top.twips, 0);
    EXPECT_EQ(p.width.twips, 1440);
    EXPECT_EQ(p.height.twips, -720);

    Type(d->field(2), "1");
    EXPECT_EQ(d->fitList()->currentIndex(), 0);
    d->RequestClose();
}

// Files dropped from the file manager: a picture onto an area is added and
// fitted into it; a liner file opens.
TEST_F(FormatPicturesTest, DroppedFilesAreFittedOrOpened) {
    MainWindow& w = app.window();
    LinerView* view = w.view();
    w.resize(900, 900);
    w.show();
    view->UpdateScrollRanges();
    auto drop = [&](const std::string& path, QPoint pixel) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(pixel, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(pixel, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QDropEvent dropped(QPointF(pixel), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &dropped);
        return move.isAccepted();
    };
    // The title area runs from 0.5 in to 1.5 in below the paper's top edge,
    // which sits kViewMargin below the view's top.
    const int dpi = view->dpiY();
    const QPoint inTitle(TwipsToPixels(kViewMargin + 1440, view->dpiX()), TwipsToPixels(kViewMargin + 1080, dpi));
    EXPECT_TRUE(drop(Bitmap("dropped.bmp"), inTitle));
    for (const auto& m : app.prompter.shown) ADD_FAILURE() << m.text;
    ASSERT_EQ(w.liner().pictures.size(), 1u);
    const Picture& p = w.liner().pictures[0];
    EXPECT_EQ(p.width.twips, 2880);
    EXPECT_EQ(p.height.twips, -1440);
    EXPECT_EQ(p.top.twips, -720);
    EXPECT_TRUE(w.modified());

    // Beside the paper a picture is not taken.
    EXPECT_FALSE(drop(Bitmap("beside.bmp"), QPoint(2, 2)));
    EXPECT_EQ(w.liner().pictures.size(), 1u);

    // A liner file opens, after the save question.
    const std::string droppedPicture = p.fileName;
    app.prompter.answers.push_back(MessageResult::No);
    const std::string liner = app.CopySample("dropped.cas");
    drop(liner, QPoint(2, 2));
    EXPECT_EQ(w.currentPath().toStdString(), liner);
    EXPECT_FALSE(w.modified());
    EXPECT_TRUE(w.liner().pictures.empty() || w.liner().pictures[0].fileName != droppedPicture);
}


// A picture being added is the dialog's until it is stored: another dialog's
// step and its Undo leave it and the fields typed for it alone.
TEST_F(FormatPicturesTest, APictureBeingAddedKeepsItsFieldsThroughOtherStepsAndUndo) {
    MainWindow& w = app.window();
    FormatPicturesDialog* d = Open();
    answers.push_back(Chosen(Bitmap("kept.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    Type(d->field(0), "0.25");
    w.liner().cutLineStyle = 2;
    ASSERT_TRUE(w.document().Commit("Format Liner", LinerDocument::kFormats));
    w.document().Undo();
    EXPECT_TRUE(d->adding());
    EXPECT_EQ(d->field(0)->text(), "0.25");
    EXPECT_EQ(d->field(2)->text(), "1");
    EXPECT_EQ(d->field(3)->text(), "0.5");
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    ASSERT_EQ(w.liner().pictures.size(), 1u);
    EXPECT_EQ(w.liner().pictures[0].left.twips, 360);
    EXPECT_EQ(w.liner().pictures[0].width.twips, 1440);
    EXPECT_EQ(w.liner().pictures[0].height.twips, -720);
}

// Only what the dialog stores enters the history: a cancelled picture never
// comes back through Undo or Redo.
TEST_F(FormatPicturesTest, ACancelledPictureNeverEntersTheHistory) {
    MainWindow& w = app.window();
    FormatPicturesDialog* d = Open();
    answers.push_back(Chosen(Bitmap("dropped.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    w.liner().cutLineStyle = 2;
    ASSERT_TRUE(w.document().Commit("Format Liner", LinerDocument::kFormats));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);  // Cancel Add
    EXPECT_FALSE(d->adding());
    w.liner().foldLineStyle = 3;
    ASSERT_TRUE(w.document().Commit("Format Liner", LinerDocument::kFormats));
    for (int i = 0; i < 2; ++i) {
        w.document().Undo();
        EXPECT_TRUE(w.liner().pictures.empty()) << i;
    }
    for (int i = 0; i < 2; ++i) {
        w.document().Redo();
        EXPECT_TRUE(w.liner().pictures.empty()) << i;
    }
    EXPECT_EQ(d->pictureList()->count(), 0);
}

// A screen pixel at the true size, whatever the zoom: Stretch gives the same
// length at 25% as at 100%.
TEST_F(FormatPicturesTest, StretchDoesNotDependOnTheZoom) {
    app.window().view()->SetZoom(25);
    FormatPicturesDialog* d = Open();
    answers.push_back(Chosen(Bitmap("zoomed.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    Choose(d->stretchList(), "(entire liner)");
    ASSERT_TRUE(d->Apply());
    // 2 in and one 96-dpi pixel (2895), shown as 2.01 and read back, as at 100%.
    EXPECT_EQ(app.window().liner().pictures.at(0).width.twips, 2894);
}

// No to the save question while adding keeps the added picture, with a zero
// rectangle, and shows the one chosen.
TEST_F(FormatPicturesTest, NoWhileAddingKeepsTheAddedPicture) {
    MainWindow& w = app.window();
    FormatPicturesDialog* d = Open();
    answers.push_back(Chosen(Bitmap("first.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    ASSERT_TRUE(d->Apply());
    answers.push_back(Chosen(Bitmap("second.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    app.prompter.answers.push_back(MessageResult::No);
    Choose(d->pictureList(), "first.bmp");
    EXPECT_EQ(app.prompter.LastText(), "Save changes to picture 'second.bmp'");
    ASSERT_EQ(w.liner().pictures.size(), 2u);
    EXPECT_EQ(w.liner().pictures[1].width.twips, 0);
    EXPECT_EQ(w.liner().pictures[1].left.twips, 0);
    EXPECT_EQ(d->pictureList()->count(), 2);
    EXPECT_EQ(d->current(), 0);
    EXPECT_FALSE(d->adding());
    EXPECT_TRUE(d->SelectPicture(1));
    EXPECT_EQ(d->pictureList()->currentText(), "second.bmp");
}

// Enter means OK alone: with no pictures (OK greyed) it does nothing,
// whichever button has the focus.
TEST_F(FormatPicturesTest, EnterDoesNothingWhileOkIsGreyed) {
    FormatPicturesDialog* d = Open();
    ASSERT_FALSE(d->okButton()->isEnabled());
    for (QPushButton* button : {d->cancelButton(), d->addButton()}) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
    }
    EXPECT_FALSE(d->closing());
    EXPECT_TRUE(requests.empty());
    d->RequestClose();
}

// A new default unit: a unit-less number too large for it keeps its length,
// written out with a unit, so the dialog shows what is drawn and has nothing
// to store.  Format Liner says beforehand what the change does.
TEST_F(FormatPicturesTest, ANewDefaultUnitKeepsTheLengthOfANumberTooLargeForIt) {
    MainWindow& w = app.window();
    Liner& liner = w.liner();
    ChangeDefaultUnit(liner, kUnitPoints, nullptr);
    Picture picture;
    picture.fileName = Bitmap("points.bmp");
    picture.left = *ParseMeasurement("36", false, kUnitPoints);
    picture.width = *ParseMeasurement("72", false, kUnitPoints);
    picture.height = *ParseMeasurement("36", true, kUnitPoints);
    liner.pictures.push_back(picture);
    w.document().Replaced(false);
    FormatPicturesDialog* d = Open();
    EXPECT_EQ(d->field(0)->text(), "36");

    w.Dispatch(kCmdFormatLiner);
    QWidget* linerDialog = w.findChild<QWidget*>("FormatLinerDialog");
    ASSERT_NE(linerDialog, nullptr);
    auto* units = linerDialog->findChild<QComboBox*>("DefaultUnitsList");
    auto* note = linerDialog->findChild<QLabel*>("UnitNote");
    EXPECT_TRUE(note->text().isEmpty());
    units->setCurrentIndex(units->findText("inches"));
    EXPECT_TRUE(note->text().endsWith("lengths without a unit will mean inches")) << note->text().toStdString();
    QTest::mouseClick(linerDialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    ASSERT_EQ(liner.defaultUnits, kUnitInches);

    EXPECT_EQ(liner.pictures[0].left.twips, 720);
    EXPECT_EQ(d->field(0)->text(), "0.5 in");
    EXPECT_EQ(d->field(2)->text(), "1 in");
    EXPECT_EQ(d->field(3)->text(), "0.5 in");
    EXPECT_FALSE(d->HasChanges());
    EXPECT_TRUE(d->Apply());
    EXPECT_TRUE(app.prompter.shown.empty());
}

// Large pictures: the file's own resolution gives the natural size; larger
// than the liner, the largest size of its proportions that fits is offered,
// and said; Fit keeps the proportions.
TEST_F(FormatPicturesTest, ALargePictureIsOfferedAtTheLargestSizeThatFits) {
    MainWindow& w = app.window();
    auto save = [&](const char* name, int width, int height, int perMetre) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        image.setDotsPerMeterX(perMetre);
        image.setDotsPerMeterY(perMetre);
        const std::string path = app.Path(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP"));
        return path;
    };
    FormatPicturesDialog* d = Open();
    // 600 by 300 pixels at 300 dpi: 2 by 1 inch.
    answers.push_back(Chosen(save("fine.bmp", 600, 300, 11811)));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    EXPECT_EQ(d->field(2)->text(), "2");
    EXPECT_EQ(d->field(3)->text(), "1");
    EXPECT_TRUE(d->sizeNote()->isHidden());
    QTest::mouseClick(d->addButton(), Qt::LeftButton);  // Cancel Add

    // 2400 by 1800 at 96 dpi is 25 by 18.75 in: beyond what a length holds,
    // and beyond the 2 by 4 in liner.
    answers.push_back(Chosen(save("photo.bmp", 2400, 1800, 3780)));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    ASSERT_TRUE(d->addedPicture());
    EXPECT_EQ(d->addedPicture()->naturalWidth.twips * 3 / 4, -d->addedPicture()->naturalHeight.twips);
    EXPECT_EQ(d->field(2)->text(), "2");
    EXPECT_EQ(d->field(3)->text(), "1.5");
    EXPECT_FALSE(d->sizeNote()->isHidden());
    EXPECT_TRUE(d->sizeNote()->text().contains("larger than the liner"));
    ASSERT_TRUE(d->Apply());
    EXPECT_TRUE(d->sizeNote()->isHidden());
    const Picture& p = w.liner().pictures.at(0);
    EXPECT_EQ(p.width.twips, 2880);
    EXPECT_EQ(p.height.twips, -2160);

    Choose(d->fitList(), "(entire liner)");
    ASSERT_TRUE(d->Apply());
    EXPECT_EQ(p.width.twips, 2880);
    EXPECT_EQ(p.height.twips, -2160);
    d->RequestClose();
}

// Fit belongs to the picture it was chosen for: choosing another picture, or
// Add, sets it back, and OK with nothing edited changes nothing.
TEST_F(FormatPicturesTest, FitDoesNotCarryOverToAnotherPicture) {
    MainWindow& w = app.window();
    FormatPicturesDialog* d = Open();
    for (const char* name : {"one.bmp", "two.bmp"}) {
        answers.push_back(Chosen(Bitmap(name)));
        QTest::mouseClick(d->addButton(), Qt::LeftButton);
        ASSERT_TRUE(d->Apply());
    }
    Choose(d->fitList(), "(primary song)");
    ASSERT_TRUE(d->Apply());
    answers.push_back(Chosen(Bitmap("three.bmp")));
    QTest::mouseClick(d->addButton(), Qt::LeftButton);
    EXPECT_EQ(d->fitList()->currentIndex(), 0);
    QTest::mouseClick(d->addButton(), Qt::LeftButton);  // Cancel Add
    Choose(d->fitList(), "(primary song)");
    ASSERT_TRUE(d->SelectPicture(0));
    EXPECT_EQ(d->fitList()->currentIndex(), 0);
    const Picture before = w.liner().pictures[0];
    const int steps = w.document().history().count();
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    EXPECT_TRUE(d->closing());
    EXPECT_EQ(w.liner().pictures[0], before);
    EXPECT_EQ(w.document().history().count(), steps);
}

}  // namespace
