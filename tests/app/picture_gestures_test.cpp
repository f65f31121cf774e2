// Pictures arranged on the view itself: click, Tab, arrows, drags of the
// body and the handles, snapping, the picture menu and Delete, each checked
// in twips and through Undo and Redo.
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QUrl>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app_test_support.h"
#include "document/liner_document.h"
#include "dialogs/format_pictures_dialog.h"
#include "document/measurement.h"
#include "render/picture_gestures.h"
#include "render/view.h"
#include "render/view_gestures.h"
#include "render/view_rulers.h"
#include <QLabel>
#include <QLineEdit>
#include <set>

namespace {

constexpr int W = 5760, F = 900, T = 720, P = 3600, O = 1800;

class PictureGesturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        Liner& liner = document.liner();
        liner.defaultUnits = kUnitInches;
        liner.width.twips = W;
        liner.flapHeight.twips = F;
        liner.titleHeight.twips = T;
        liner.primaryHeight.twips = P;
        liner.overflowHeight.twips = O;
        liner.overflowCount = 1;
        EnsureStandardFonts(liner);
        // A: 1 by 0.5 inch at (720, 2000); B: square, further down.
        AddPicture("a.bmp", {720, 2000, 1440, 720});
        AddPicture("b.bmp", {3000, 4000, 1000, 1000});
        document.Replaced(false);
        view = std::make_unique<LinerView>(document);
        view->SetPaintContext(&prompter, nullptr);
        view->resize(450, 380);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->UpdateScrollRanges();
        view->setFocus();
        QObject::connect(view.get(), &LinerView::commandRequested,
                         [this](int command) { commands.push_back(command); });
    }

    void AddPicture(const std::string& name, const PicturePlace& place) {
        QImage image(96, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const std::string path = folder.Path(name);
        ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP"));
        Picture p;
        p.fileName = path;
        p.naturalWidth = FromTwips(1440, kUnitInches);
        p.naturalHeight = FromTwips(-720, kUnitInches);
        SetPictureRect(p, place, kUnitInches);
        document.liner().pictures.push_back(p);
    }

    PicturePlace Rect(int i) const { return PictureRectOf(document.liner().pictures[static_cast<size_t>(i)]); }
    QWidget* port() const { return view->viewport(); }
    QPoint Pixel(int x, int depth) const { return view->PixelOf(x, depth); }
    // The twips a pixel step covers at this zoom.
    int Twips(int pixels) const { return view->PaperPoint(QPoint(pixels, 0)).x() - view->PaperPoint(QPoint(0, 0)).x(); }

    // A drag by the left button, the moves carrying `modifiers` (Alt: no snapping).
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::AltModifier) {
        QTest::mousePress(port(), Qt::LeftButton, {}, from);
        const QPoint middle = (from + to) / 2;
        for (QPoint at : {middle, to}) {
            QMouseEvent move(QEvent::MouseMove, at, port()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, modifiers);
            QApplication::sendEvent(port(), &move);
        }
        QTest::mouseRelease(port(), Qt::LeftButton, {}, to);
    }

    TempFolder folder;
    LinerDocument document;
    ScriptedPrompter prompter;
    std::unique_ptr<LinerView> view;
    std::vector<int> commands;
};

void ExpectRect(const PicturePlace& r, int left, int depth, int width, int height) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.depth, depth);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
}

TEST_F(PictureGesturesTest, ClickTabAndArrowsSelectAndNudgeInOneStep) {
    PictureGestures& g = view->gestures();
    QTest::mouseClick(port(), Qt::LeftButton, {}, Pixel(720 + 700, 2000 + 300));
    EXPECT_EQ(g.selected(), 0);
    // A burst of arrows is one step; Shift moves ten points.
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view.get(), Qt::Key_Left);
    ExpectRect(Rect(0), 720 + 40, 2000 + 200, 1440, 720);
    EXPECT_EQ(document.history().count(), 1);
    EXPECT_EQ(document.history().undoText(), "Move Picture");
    EXPECT_EQ(view->state().scrollY, 0);  // the arrows moved the picture, not the view
    document.Undo();
    ExpectRect(Rect(0), 720, 2000, 1440, 720);
    document.Redo();
    ExpectRect(Rect(0), 760, 2200, 1440, 720);
    // The numbers are exact in the default unit too.
    EXPECT_EQ(document.liner().pictures[0].left.unit, kUnitNone);
    EXPECT_EQ(ParseMeasurement(FormatMeasurement(document.liner().pictures[0].left), false, kUnitInches)->twips, 760);

    // Escape clears; Tab goes round the pictures, Shift+Tab back.
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(g.selected(), -1);
    QTest::keyClick(view.get(), Qt::Key_Tab);
    EXPECT_EQ(g.selected(), 0);
    QTest::keyClick(view.get(), Qt::Key_Tab);
    EXPECT_EQ(g.selected(), 1);
    QTest::keyClick(view.get(), Qt::Key_Tab);
    EXPECT_EQ(g.selected(), 0);
    QTest::keyClick(view.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(g.selected(), 1);
    // A click off the pictures clears the selection; without one the arrows scroll again.
    QTest::mouseClick(port(), Qt::LeftButton, {}, Pixel(100, 100));
    EXPECT_EQ(g.selected(), -1);
    ASSERT_GT(view->state().scrollMaxY, 270);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->state().scrollY, 270);

    // A liner put in the place of this one leaves nothing selected.
    QTest::keyClick(view.get(), Qt::Key_Tab);
    ASSERT_EQ(g.selected(), 0);
    document.AnnounceReplaced();
    EXPECT_EQ(g.selected(), -1);
}

// Drawing marks the fonts it selects; a click that only selects, after a
// paint, is still no change.
TEST_F(PictureGesturesTest, AClickThatOnlySelectsLeavesTheLinerUnchanged) {
    document.liner().title = {1, "Night Drive"};
    document.Replaced(false);
    view->viewport()->repaint();
    const auto& fonts = document.liner().fonts;
    ASSERT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](const FontEntry& f) { return f.logFont.clipPrecision; }));
    QTest::mouseClick(port(), Qt::LeftButton, {}, Pixel(720 + 700, 2000 + 300));
    EXPECT_EQ(view->gestures().selected(), 0);
    EXPECT_EQ(document.history().count(), 0);
    EXPECT_FALSE(document.modified());
}

TEST_F(PictureGesturesTest, DragsMoveAndResizeAsOneStepEach) {
    PictureGestures& g = view->gestures();
    const int step = Twips(20);
    // Move: the picture follows the pointer by whole pixels.
    Drag(Pixel(720 + 700, 2000 + 300), Pixel(720 + 700, 2000 + 300) + QPoint(20, 10));
    EXPECT_EQ(g.selected(), 0);
    ExpectRect(Rect(0), 720 + step, 2000 + step / 2, 1440, 720);
    EXPECT_EQ(document.history().count(), 1);
    EXPECT_EQ(document.history().undoText(), "Move Picture");
    const PicturePlace moved = Rect(0);

    // The corner keeps the proportions (2:1).
    const TwipSpot corner = HandleSpot(moved, PictureHandle::BottomRight);
    Drag(Pixel(corner.x, corner.depth), Pixel(corner.x, corner.depth) + QPoint(20, 0));
    ExpectRect(Rect(0), moved.left, moved.depth, 1440 + step, (1440 + step) / 2);
    EXPECT_EQ(document.history().undoText(), "Resize Picture");
    // Shift frees them.
    const PicturePlace kept = Rect(0);
    const TwipSpot corner2 = HandleSpot(kept, PictureHandle::BottomRight);
    Drag(Pixel(corner2.x, corner2.depth), Pixel(corner2.x, corner2.depth) + QPoint(0, 20),
         Qt::AltModifier | Qt::ShiftModifier);
    ExpectRect(Rect(0), kept.left, kept.depth, kept.width, kept.height + step);
    // An edge handle moves its side alone; the opposite side stays.
    const PicturePlace before = Rect(0);
    const TwipSpot left = HandleSpot(before, PictureHandle::Left);
    Drag(Pixel(left.x, left.depth), Pixel(left.x, left.depth) + QPoint(-10, 30));
    ExpectRect(Rect(0), before.left - step / 2, before.depth, before.width + step / 2, before.height);
    EXPECT_EQ(document.history().count(), 4);

    // Each drag undoes in one step, and comes back.
    document.Undo();
    ExpectRect(Rect(0), before.left, before.depth, before.width, before.height);
    document.Undo();
    document.Undo();
    document.Undo();
    ExpectRect(Rect(0), 720, 2000, 1440, 720);
    document.Redo();
    ExpectRect(Rect(0), moved.left, moved.depth, moved.width, moved.height);

    // Escape during a drag puts the picture back, with no step.
    const QPoint from = Pixel(moved.left + 100, moved.depth + 100);
    QTest::mousePress(port(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, from + QPoint(30, 30), port()->mapToGlobal(from + QPoint(30, 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::AltModifier);
    QApplication::sendEvent(port(), &move);
    EXPECT_NE(Rect(0).left, moved.left);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    QTest::mouseRelease(port(), Qt::LeftButton, {}, from + QPoint(30, 30));
    ExpectRect(Rect(0), moved.left, moved.depth, moved.width, moved.height);
    EXPECT_EQ(document.history().index(), 1);
}

// A step keeps the pictures decoded: none is read again (and shown as a
// placeholder meanwhile) after a move or its Undo.
TEST_F(PictureGesturesTest, AStepKeepsThePicturesDecoded) {
    view->viewport()->repaint();
    std::weak_ptr<DecodedPicture> decoded;
    {
        PictureImages probe;  // waits for the view's decoding
        decoded = probe.GetQuietly(0, document.liner().pictures[0]).picture;
    }
    ASSERT_FALSE(decoded.expired());
    QTest::keyClick(view.get(), Qt::Key_Tab);
    QTest::keyClick(view.get(), Qt::Key_Right);
    ASSERT_EQ(document.history().count(), 1);
    EXPECT_FALSE(decoded.expired());
    document.Undo();
    EXPECT_FALSE(decoded.expired());
}

// The screen keeps one scaled copy of a picture per size: a picture moved
// to a place between pixels keeps the size it is drawn at, so moving it
// never scales a large picture again.
TEST_F(PictureGesturesTest, AMovedPictureIsDrawnAtOneSize) {
    // The picture's width in pixels along the row through its middle.
    auto drawnWidth = [this] {
        const PicturePlace r = Rect(0);
        const QImage shot = port()->grab().toImage();
        const int row = Pixel(r.left, r.depth + r.height / 2).y();
        const QColor cyan(Qt::darkCyan);
        int width = 0;
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, row);
            width += std::abs(c.red() - cyan.red()) + std::abs(c.green() - cyan.green()) +
                         std::abs(c.blue() - cyan.blue()) < 12;
        }
        return width;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawnWidth() > 0; }, 30000));  // decoded
    std::set<int> widths;
    for (int nudge = 0; nudge < 4; ++nudge) {
        QTest::keyClick(view.get(), Qt::Key_Escape);  // the outline off the picture
        widths.insert(drawnWidth());
        QTest::keyClick(view.get(), Qt::Key_Tab);
        ASSERT_EQ(view->gestures().selected(), 0);
        QTest::keyClick(view.get(), Qt::Key_Right);  // a point: a third of a pixel at 96 dpi
    }
    EXPECT_EQ(widths.size(), 1u) << *widths.begin() << " to " << *widths.rbegin();
}

TEST_F(PictureGesturesTest, DraggingSnapsWithinFivePixelsWithAGuideAndAltDoesNot) {
    PictureGestures& g = view->gestures();
    // A's left edge is 720 twips in; drag it to 3 pixels right of the paper's edge.
    const int pixel = Twips(1);
    const QPoint from = Pixel(720 + 100, 2000 + 100);
    const QPoint to = from - QPoint((720 - 3 * pixel) / pixel, 0);
    QTest::mousePress(port(), Qt::LeftButton, {}, from);
    for (QPoint at : {from - QPoint(10, 0), to}) {
        QMouseEvent move(QEvent::MouseMove, at, port()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(port(), &move);
    }
    EXPECT_EQ(Rect(0).left, 0);
    ASSERT_TRUE(g.guideX().has_value());
    EXPECT_EQ(*g.guideX(), 0);
    QTest::mouseRelease(port(), Qt::LeftButton, {}, to);
    EXPECT_EQ(Rect(0).left, 0);
    EXPECT_FALSE(g.guideX().has_value());
    document.Undo();

    // With Alt it lands where the pointer put it.
    Drag(from, to, Qt::AltModifier);
    EXPECT_EQ(Rect(0).left, 720 - (720 - 3 * pixel) / pixel * pixel);
    EXPECT_NE(Rect(0).left, 0);
    document.Undo();

    // The bottom edge meets the title/primary fold: A's bottom is at 2720,
    // the fold at F + T = 1620; B's top edge (4000) snaps too.
    const TwipSpot bottom = HandleSpot(Rect(0), PictureHandle::Bottom);
    const QPoint grip = Pixel(bottom.x, bottom.depth);
    QTest::mousePress(port(), Qt::LeftButton, {}, grip);
    const QPoint near = Pixel(bottom.x, 4000 - 2 * pixel);
    QMouseEvent move(QEvent::MouseMove, near, port()->mapToGlobal(near), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(port(), &move);
    ASSERT_TRUE(g.guideDepth().has_value());
    EXPECT_EQ(*g.guideDepth(), 4000);
    QTest::mouseRelease(port(), Qt::LeftButton, {}, near);
    ExpectRect(Rect(0), 720, 2000, 1440, 2000);
    EXPECT_EQ(document.history().undoText(), "Resize Picture");
}

TEST_F(PictureGesturesTest, MenuDoubleClickAndDeleteWorkOnThePictureUnderThePointer) {
    PictureGestures& g = view->gestures();
    // Right-click on A: its menu, A selected.
    QTest::mouseClick(port(), Qt::RightButton, {}, Pixel(800, 2100));
    QMenu* menu = g.lastMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "POPUP_PICTURE");
    EXPECT_EQ(g.selected(), 0);
    EXPECT_FALSE(menu->findChild<QAction*>("SendToBack")->isEnabled());
    menu->findChild<QAction*>("BringToFront")->trigger();
    menu->close();
    EXPECT_EQ(g.selected(), 1);
    EXPECT_EQ(PictureDisplayName(document.liner().pictures[1].fileName), "a.bmp");
    EXPECT_EQ(document.history().undoText(), "Bring to Front");

    // Natural Size, then Fit to Area: the title area is 720 twips high.
    g.Select(1);
    g.NaturalSize();
    ExpectRect(Rect(1), 720, 2000, 1440, 720);
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ShiftModifier);
    ExpectRect(Rect(1), 720, 1600, 1440, 720);
    g.SendToBack();
    EXPECT_EQ(g.selected(), 0);
    // Its centre (1960) lies in the primary area: [1620, 5220).
    g.FitToArea();
    const PicturePlace fitted = FitPictureInside({0, F + T, W + 1, P}, 1440, -720);
    EXPECT_EQ(fitted.width, W + 1);
    ExpectRect(Rect(0), fitted.left, fitted.depth, fitted.width, fitted.height);
    EXPECT_EQ(document.history().undoText(), "Fit to Area");

    // A double-click opens Format Pictures.
    QTest::mouseDClick(port(), Qt::LeftButton, {}, Pixel(3100, 4100));
    EXPECT_EQ(commands, std::vector<int>{kCmdFormatPictures});

    // Delete asks first; No keeps the picture.
    g.Select(1);
    prompter.answers = {MessageResult::No, MessageResult::Yes};
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(prompter.LastText(), "Delete the reference to picture 'b.bmp'?");
    ASSERT_EQ(document.liner().pictures.size(), 2u);
    QTest::keyClick(view.get(), Qt::Key_Delete);
    ASSERT_EQ(document.liner().pictures.size(), 1u);
    EXPECT_EQ(g.selected(), -1);
    EXPECT_EQ(document.history().undoText(), "Delete Picture");
    document.Undo();
    EXPECT_EQ(document.liner().pictures.size(), 2u);
}

TEST_F(PictureGesturesTest, RulersHoverAndTheDropPlaceFollowThePointer) {
    // Rulers at first, in inches numbered every inch with eighths between.
    ViewRuler* across = view->ruler(Qt::Horizontal);
    ViewRuler* down = view->ruler(Qt::Vertical);
    ASSERT_TRUE(view->rulersVisible());
    EXPECT_TRUE(across->isVisible());
    EXPECT_EQ(across->height(), ViewRuler::kSize);
    EXPECT_EQ(across->geometry().left(), view->viewport()->geometry().left());
    EXPECT_EQ(across->TicksFor(96).step, 1440);
    EXPECT_EQ(across->TicksFor(96).subdivisions, 8);
    // Zoomed out the numbers spread to every other inch; centimetres go in tenths.
    EXPECT_EQ(across->TicksFor(24).step, 2 * 1440);
    document.liner().defaultUnits = kUnitCentimeters;
    EXPECT_EQ(across->TicksFor(96).step, 2 * 567);
    EXPECT_EQ(across->TicksFor(96).subdivisions, 10);

    // The pointer over the title: outlined and named, marked on both rulers.
    QSignalSpy named(&view->gestures(), &PictureGestures::areaHovered);
    const QPoint overTitle = Pixel(1000, F + 300);
    QTest::mouseMove(port(), overTitle);
    ASSERT_GE(named.count(), 1);
    EXPECT_EQ(named.last().at(0).toString(), "Title");
    EXPECT_EQ(across->pointer(), view->PaperPoint(overTitle).x());
    EXPECT_EQ(down->pointer(), view->PaperPoint(overTitle).y());
    QTest::mouseMove(port(), Pixel(1000, F + T + 300));
    EXPECT_EQ(named.last().at(0).toString(), "Primary songs");
    // A drag that ends over another area leaves that one outlined and named.
    QTest::mouseMove(port(), overTitle);
    Drag(Pixel(720 + 700, 2000 + 300), Pixel(1000, F + T + 600));
    EXPECT_EQ(named.last().at(0).toString(), "Primary songs");
    document.Undo();

    // Hidden, the view takes their room.
    const int width = view->viewport()->width();
    view->SetRulersVisible(false);
    EXPECT_FALSE(across->isVisible());
    EXPECT_EQ(view->viewport()->width(), width + ViewRuler::kSize);

    // A picture file dragged over the primary area shows where it will be
    // fitted: 2:1 across the width, centred in the 3600 twips of the area.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.Path("a.bmp")))});
    const QPoint pixel = Pixel(1000, F + T + 500);
    QDragEnterEvent enter(pixel, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port(), &enter);
    QDragMoveEvent move(pixel, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port(), &move);
    ASSERT_TRUE(view->gestures().dropPlace().has_value());
    ExpectRect(*view->gestures().dropPlace(), 0, F + T + (P - W / 2) / 2, W, W / 2);
    QDragLeaveEvent leave;
    QApplication::sendEvent(port(), &leave);
    EXPECT_FALSE(view->gestures().dropPlace().has_value());
}

}  // namespace

// An open Format Pictures shows the picture selected on the liner, and
// where the gestures put it.
TEST(PictureGesturesDialog, FormatPicturesFollowsTheSelectionAndTheMoves) {
    EnsureApplication();
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    Liner& liner = w.liner();
    liner.defaultUnits = kUnitPoints;
    for (int i = 0; i < 2; ++i) {
        Picture p;
        p.fileName = app.Path(i == 0 ? "one.bmp" : "two.bmp");
        SetPictureRect(p, {200 * (i + 1), 400, 400, 200}, kUnitPoints);
        liner.pictures.push_back(p);
    }
    w.document().Replaced(false);
    PictureGestures& g = w.view()->gestures();
    g.Select(1);
    w.Dispatch(kCmdFormatPictures);
    FormatPicturesDialog* dialog = w.findChild<FormatPicturesDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->current(), 1);
    EXPECT_EQ(dialog->field(0)->text(), "20");
    g.Select(0);
    EXPECT_EQ(dialog->current(), 0);
    w.view()->setFocus();
    QTest::keyClick(w.view(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(dialog->field(0)->text(), "20");
    EXPECT_EQ(PictureRectOf(liner.pictures[0]).left, 400);
    dialog->RequestClose();
}

// View > Rulers hides and shows them, and the choice is kept.
TEST(ViewRulers, TheMenuCommandTurnsThemOffAndTheSettingsKeepIt) {
    EnsureApplication();
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_TRUE(w.view()->rulersVisible());
    EXPECT_TRUE(w.action(kCmdRulers)->isChecked());
    w.Dispatch(kCmdRulers);
    EXPECT_FALSE(w.view()->rulersVisible());
    EXPECT_FALSE(w.action(kCmdRulers)->isChecked());
    EXPECT_FALSE(w.settings().rulers);
}

// In a first window, just as wide as the liner, the selected picture's
// place shows whole beside the name of the area under the pointer.
TEST(PictureGesturesStatus, ThePlaceShowsWholeInTheFirstWindow) {
    EnsureApplication();
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    Liner& liner = w.liner();
    Picture p;
    p.fileName = app.Path("one.bmp");
    SetPictureRect(p, {3481, 4680, 1234, 1234}, liner.defaultUnits);
    liner.pictures.push_back(p);
    w.document().Replaced(false);
    w.resize(w.view()->FittedWindowWidth(), 600);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.view()->gestures().Select(0);
    QTest::mouseMove(w.view()->viewport(), w.view()->PixelOf(1000, 3000));
    auto* area = w.findChild<QLabel*>("HoverArea");
    auto* place = w.findChild<QLabel*>("SelectionPlace");
    ASSERT_TRUE(area && place);
    ASSERT_EQ(area->text(), "Primary songs");
    QApplication::processEvents();
    EXPECT_GE(place->contentsRect().width(), place->fontMetrics().horizontalAdvance(place->text()))
        << place->text().toStdString() << " in " << place->width() << " px";
}
