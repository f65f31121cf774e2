// The view: hit test, area pop-up menus, double-click commands, scrolling.
#include <QMenu>
#include <QScrollBar>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app_test_support.h"
#include "document/liner.h"
#include "document/liner_document.h"
#include "render/view.h"

namespace {

// 4 inches wide; flap 0.625", title 0.5", primary 2.5", two 1.25" overflow areas.
Liner TestLiner() {
    Liner liner;
    liner.width.twips = 5760;
    liner.flapHeight.twips = 900;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 3600;
    liner.overflowHeight.twips = 1800;
    liner.overflowCount = 2;
    EnsureStandardFonts(liner);
    return liner;
}

constexpr int F = 900, T = 720, P = 3600, O = 1800, W = 5760;
constexpr int H = F + T + P + 2 * O;
const SideBStart kNoStart;

void SetSongRotation(Liner& liner, int degrees) {
    liner.fonts[kFontSong - 1].logFont.escapement = degrees * 10;
}

TEST(HitTestPaper, NormalOrderAreasAndBoundaries) {
    const Liner liner = TestLiner();
    const int half = (W + 1) / 2;
    // Flap halves; the flap wins its boundary with the title.
    EXPECT_EQ(HitTestPaper(liner, 10, 0, kNoStart), kAreaFlapSideA);
    EXPECT_EQ(HitTestPaper(liner, half, F / 2, kNoStart), kAreaFlapSideB);
    EXPECT_EQ(HitTestPaper(liner, half - 1, F, kNoStart), kAreaFlapSideA);
    // The fold line between title and primary area belongs to the title.
    EXPECT_EQ(HitTestPaper(liner, 100, F + T, kNoStart), kAreaTitle);
    // The bisecting x is Side A; one twip right of it Side B.
    EXPECT_EQ(HitTestPaper(liner, half, F + T + 10, kNoStart), kAreaSideAPrimary);
    EXPECT_EQ(HitTestPaper(liner, half + 1, F + T + 10, kNoStart), kAreaSideBPrimary);
    // The primary/overflow boundary is primary in the normal order.
    EXPECT_EQ(HitTestPaper(liner, 10, F + T + P, kNoStart), kAreaSideAPrimary);
    EXPECT_EQ(HitTestPaper(liner, 10, F + T + P + 1, kNoStart), kAreaSideAOverflow);
    EXPECT_EQ(HitTestPaper(liner, W + 1, H + 1, kNoStart), kAreaSideBOverflow);
}

TEST(HitTestPaper, OutsideThePaperIsNothing) {
    const Liner liner = TestLiner();
    EXPECT_EQ(HitTestPaper(liner, -1, 100, kNoStart), kAreaNone);
    EXPECT_EQ(HitTestPaper(liner, W + 2, 100, kNoStart), kAreaNone);
    EXPECT_EQ(HitTestPaper(liner, 100, -1, kNoStart), kAreaNone);
    EXPECT_EQ(HitTestPaper(liner, 100, H + 2, kNoStart), kAreaNone);
}

TEST(HitTestPaper, InvertedOrder) {
    Liner liner = TestLiner();
    liner.invertImage = 1;
    // Flap at the bottom: [H + 1 - F, H + 1]; title above it.
    EXPECT_EQ(HitTestPaper(liner, 10, H + 1, kNoStart), kAreaFlapSideA);
    EXPECT_EQ(HitTestPaper(liner, 10, H + 1 - F - 1, kNoStart), kAreaTitle);
    const int primaryTop = H + 1 - F - T - P;
    EXPECT_EQ(HitTestPaper(liner, 10, primaryTop + 1, kNoStart), kAreaSideAPrimary);
    // The boundary with the overflow areas counts as overflow here.
    EXPECT_EQ(HitTestPaper(liner, 10, primaryTop, kNoStart), kAreaSideAOverflow);
    EXPECT_EQ(HitTestPaper(liner, W, 0, kNoStart), kAreaSideBOverflow);
}

TEST(HitTestPaper, TurnedSongsSplitEachAreaInHalves) {
    Liner liner = TestLiner();
    SetSongRotation(liner, 90);
    const int primaryTop = F + T;
    EXPECT_EQ(HitTestPaper(liner, W, primaryTop + P / 2 - 1, kNoStart), kAreaSideAPrimary);
    EXPECT_EQ(HitTestPaper(liner, 0, primaryTop + P / 2, kNoStart), kAreaSideBPrimary);
    const int overflowTop = primaryTop + P;
    EXPECT_EQ(HitTestPaper(liner, 0, overflowTop + O + 10, kNoStart), kAreaSideAOverflow);
    EXPECT_EQ(HitTestPaper(liner, 0, overflowTop + O + O / 2 + 10, kNoStart), kAreaSideBOverflow);
    // The rotation comes from the font Side A's songs start in.
    Liner other = TestLiner();
    FontEntry turned = other.fonts[kFontSong - 1];
    turned.logFont.escapement = 2700;
    other.fonts.push_back(turned);
    other.songsA = {1, std::string("\x01\x06Song", 6)};
    EXPECT_EQ(SongRotation(other), 270);
    EXPECT_EQ(HitTestPaper(other, 0, primaryTop + P / 2 + 5, kNoStart), kAreaSideBPrimary);
}

TEST(HitTestPaper, OneColumnFollowsWhereSideBStarts) {
    Liner liner = TestLiner();
    liner.oneUpSides = 1;
    const int primaryTop = F + T;
    // Side B starts in overflow area 0 at depth overflowTop + 600.
    const int overflowTop = primaryTop + P;
    const SideBStart start{1, 0, overflowTop + 600};
    EXPECT_EQ(HitTestPaper(liner, W, primaryTop + 10, start), kAreaSideAPrimary);
    EXPECT_EQ(HitTestPaper(liner, 0, overflowTop + 599, start), kAreaSideAOverflow);
    EXPECT_EQ(HitTestPaper(liner, 0, overflowTop + 600, start), kAreaSideBOverflow);
    EXPECT_EQ(HitTestPaper(liner, 0, overflowTop + O + 10, start), kAreaSideBOverflow);
    // An empty Side B starting at the top of the primary area owns it all.
    const SideBStart atTop{0, 0, primaryTop};
    EXPECT_EQ(HitTestPaper(liner, 0, primaryTop + 1, atTop), kAreaSideBPrimary);
    // At 270 degrees Side B lies at or right of the start's x.
    SetSongRotation(liner, 270);
    const SideBStart across{0, 2000, primaryTop};
    EXPECT_EQ(HitTestPaper(liner, 1999, primaryTop + 10, across), kAreaSideAPrimary);
    EXPECT_EQ(HitTestPaper(liner, 2000, primaryTop + 10, across), kAreaSideBPrimary);
    // A slanted song font leaves nothing to hit.
    SetSongRotation(liner, 45);
    EXPECT_EQ(HitTestPaper(liner, 0, primaryTop + 10, start), kAreaNone);
}

TEST(HitTest, PixelsMapThroughTheMarginAndTheScrollPosition) {
    const Liner liner = TestLiner();
    ViewState state;
    // At 96 dpi a pixel is 15 twips: the paper starts 12 pixels in.
    EXPECT_EQ(HitTest(liner, state, QPoint(11, 20), 96, 96, kNoStart), kAreaNone);
    EXPECT_EQ(HitTest(liner, state, QPoint(12, 20), 96, 96, kNoStart), kAreaFlapSideA);
    EXPECT_EQ(HitTest(liner, state, QPoint(20, 11), 96, 96, kNoStart), kAreaNone);
    // Title fold line at depth F + T = 1620 twips = 108 pixels below the paper's top.
    EXPECT_EQ(HitTest(liner, state, QPoint(20, 12 + 108), 96, 96, kNoStart), kAreaTitle);
    state.scrollY = 1620;
    EXPECT_EQ(HitTest(liner, state, QPoint(20, 12), 96, 96, kNoStart), kAreaTitle);
    state.scrollX = 180;
    EXPECT_EQ(HitTest(liner, state, QPoint(0, 12), 96, 96, kNoStart), kAreaTitle);
}

TEST(AreaCommands, DoubleClicksAndMenuNames) {
    EXPECT_EQ(DoubleClickCommand(kAreaTitle), kCmdTitleLines);
    EXPECT_EQ(DoubleClickCommand(kAreaSideAOverflow), kCmdSongsSideA);
    EXPECT_EQ(DoubleClickCommand(kAreaSideBPrimary), kCmdSongsSideB);
    EXPECT_EQ(DoubleClickCommand(kAreaFlapSideA), 0);
    EXPECT_EQ(DoubleClickCommand(kAreaNone), 0);
    EXPECT_STREQ(PopupMenuName(kAreaFlapSideB), "POPUP_B_FLAP");
    EXPECT_EQ(PopupMenuName(kAreaNone), nullptr);
}

TEST(ScrollRanges, FollowTheLinerAndTheClient) {
    const Liner liner = TestLiner();
    ViewState s;
    s.clientWidth = 3000;
    s.clientHeight = 4000;
    s.scrollY = 99999;
    ComputeScrollRanges(liner, s);
    EXPECT_EQ(s.scrollMaxX, W - 3000 + 361);
    EXPECT_EQ(s.scrollMaxY, H - 4000 + 361);
    EXPECT_EQ(s.scrollY, s.scrollMaxY);  // lowered to the new maximum
    s.clientWidth = 20000;
    s.clientHeight = 20000;
    ComputeScrollRanges(liner, s);
    EXPECT_EQ(s.scrollMaxX, 0);
    EXPECT_EQ(s.scrollMaxY, 0);
    EXPECT_EQ(s.scrollY, 0);
    EXPECT_EQ(ClampedScrollChange(100, 500, -270), -100);
    EXPECT_EQ(ClampedScrollChange(400, 500, 270), 100);
    EXPECT_EQ(ClampedScrollChange(0, 500, -270), 0);
}

class ViewWidget : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        liner = TestLiner();
        view = std::make_unique<LinerView>(document);
        view->resize(300, 250);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->UpdateScrollRanges();
        QObject::connect(view.get(), &LinerView::commandRequested,
                         [this](int command) { commands.push_back(command); });
    }
    // The pixel of a paper point at the current scroll position.
    QPoint PixelOf(int x, int depth) const {
        const int dpi = view->dpiX();
        return QPoint(TwipsToPixels(kViewMargin + x - view->state().scrollX, dpi),
                      TwipsToPixels(kViewMargin + depth - view->state().scrollY, view->dpiY()));
    }

    LinerDocument document;
    Liner& liner = document.liner();
    std::unique_ptr<LinerView> view;
    std::vector<int> commands;
};

TEST_F(ViewWidget, ScrollsInLinesAndPagesWithinItsRange) {
    const ViewState& s = view->state();
    ASSERT_GT(s.scrollMaxY, 270);
    ASSERT_GT(s.scrollMaxX, 0);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(s.scrollY, 270);
    EXPECT_EQ(view->verticalScrollBar()->value(), 270);
    QTest::keyClick(view.get(), Qt::Key_Up);
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(s.scrollY, 0);
    EXPECT_FALSE(view->ScrollVertically(LinerView::Scroll::LineBack));
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(s.scrollY, s.scrollMaxY);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(s.scrollY, std::max(0, s.scrollMaxY - s.clientHeight));
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(s.scrollY, 0);
    // Left and Right move a whole page.
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(s.scrollX, std::min(s.clientWidth, s.scrollMaxX));
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_EQ(s.scrollX, 0);
    // The scroll bars step in the same units.
    EXPECT_EQ(view->verticalScrollBar()->singleStep(), 270);
    EXPECT_EQ(view->verticalScrollBar()->pageStep(), s.clientHeight);
    EXPECT_FALSE(view->verticalScrollBar()->hasTracking());
}

TEST_F(ViewWidget, AClampedStepDoesNotRepaint) {
    QTest::qWait(20);
    const int before = view->paintCount();
    EXPECT_FALSE(view->ScrollVertically(LinerView::Scroll::LineBack));
    EXPECT_FALSE(view->ScrollHorizontally(LinerView::Scroll::PageBack));
    QTest::qWait(20);
    EXPECT_EQ(view->paintCount(), before);
}

TEST_F(ViewWidget, ALargeWindowHasNothingToScroll) {
    view->resize(1400, 1200);
    QTest::qWait(10);
    view->UpdateScrollRanges();
    EXPECT_EQ(view->state().scrollMaxX, 0);
    EXPECT_EQ(view->state().scrollMaxY, 0);
    EXPECT_FALSE(view->ScrollVertically(LinerView::Scroll::LineForward));
    EXPECT_FALSE(view->ScrollVertically(LinerView::Scroll::End));
}

TEST_F(ViewWidget, RightClickShowsTheAreaMenu) {
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, PixelOf(100, F + T + 10));
    ASSERT_NE(view->lastPopup(), nullptr);
    QMenu* menu = view->lastPopup();
    EXPECT_EQ(menu->objectName(), "POPUP_SIDEA_PRIM");
    const QList<QAction*> items = menu->actions();
    ASSERT_GE(items.size(), 7);
    EXPECT_EQ(items[0]->text(), "( A Primary )");
    EXPECT_FALSE(items[0]->isEnabled());
    QStringList texts;
    for (QAction* a : items) {
        if (!a->isSeparator() && a->data().isValid()) texts << a->text();
    }
    EXPECT_EQ(texts, (QStringList{"Song &Format", "Song F&ont", "Song &Text", "Side Letter Fo&nt",
                                   "&Side Features && Letter"}));
    menu->close();

    // The title's fold line gives the title's menu; a choice there is a command.
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, PixelOf(100, F + T));
    ASSERT_NE(view->lastPopup(), nullptr);
    EXPECT_EQ(view->lastPopup()->objectName(), "POPUP_TITLE");
    for (QAction* a : view->lastPopup()->actions()) {
        if (a->data().toInt() == kCmdFontTitle) a->trigger();
    }
    EXPECT_EQ(commands, std::vector<int>{kCmdFontTitle});
    view->lastPopup()->close();
}

TEST_F(ViewWidget, TheFrameGivesNoMenuAndTheFlapNoDoubleClick) {
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(3, 3));
    EXPECT_EQ(view->lastPopup(), nullptr);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, PixelOf(100, 100));
    EXPECT_TRUE(commands.empty());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, PixelOf(W - 100, F + T + 100));
    EXPECT_EQ(commands, std::vector<int>{kCmdSongsSideB});
}

TEST_F(ViewWidget, GreyedCommandsAreGreyedInThePopups) {
    view->SetCommandEnabled([](int command) { return command != kCmdFormatFeatures; });
    QMenu* menu = view->MakePopup(kAreaFlapSideA);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "POPUP_A_FLAP");
    for (QAction* a : menu->actions()) {
        if (!a->data().isValid()) continue;
        EXPECT_EQ(a->isEnabled(), a->data().toInt() != kCmdFormatFeatures) << a->text().toStdString();
    }
    // Each new menu replaces the previous one.
    QPointer<QMenu> old = menu;
    view->MakePopup(kAreaFlapSideB);
    EXPECT_TRUE(old.isNull());
}

}  // namespace

// The zoom scales the drawing, the hit regions and the pixels a scroll step
// moves, while positions and steps stay in twips.
TEST_F(ViewWidget, HitTestScrollAndPopupsFollowTheZoom) {
    // Tall enough to show the title at 400%, short enough to scroll at 100%.
    view->resize(520, 420);
    QTest::qWait(10);
    int popups = 0;
    for (int zoom : {50, 100, 400}) {
        SCOPED_TRACE(zoom);
        view->SetZoom(zoom);
        EXPECT_EQ(view->zoom(), zoom);
        const int screenDpi = view->viewport()->logicalDpiX();
        EXPECT_EQ(view->dpiX(), screenDpi * zoom / 100);
        view->ScrollToTop();
        view->ScrollHorizontally(LinerView::Scroll::PageBack);
        // The client area in twips shrinks as the zoom grows.
        EXPECT_NEAR(view->state().clientWidth, view->viewport()->width() * 1440.0 / view->dpiX(), 1440.0 / view->dpiX());
        if (view->state().scrollMaxY >= 2 * 270) {
            EXPECT_TRUE(view->ScrollVertically(LinerView::Scroll::LineForward));
            EXPECT_EQ(view->state().scrollY, 270);
            EXPECT_EQ(view->verticalScrollBar()->value(), 270);
            EXPECT_EQ(view->verticalScrollBar()->pageStep(), view->state().clientHeight);
        }
        // Two pixels below the title's fold is Side A's primary area, two
        // above it the title, whatever the scale.
        view->ScrollToTop();
        const int pixelY = 1440 / view->dpiY() + 1;
        const int x = W / 4;
        EXPECT_EQ(view->AreaAt(PixelOf(x, F + T + 2 * pixelY)), kAreaSideAPrimary);
        EXPECT_EQ(view->AreaAt(PixelOf(x, F + T - 2 * pixelY)), kAreaTitle);
        EXPECT_EQ(view->AreaAt(PixelOf(W - x, F + T + 2 * pixelY)), kAreaSideBPrimary);
        const QPoint onTitle = PixelOf(W / 4, F + T / 2);
        if (view->viewport()->rect().contains(onTitle)) {
            QTest::mouseClick(view->viewport(), Qt::RightButton, {}, onTitle);
            ASSERT_NE(view->lastPopup(), nullptr);
            EXPECT_EQ(view->lastPopup()->objectName(), "POPUP_TITLE");
            view->lastPopup()->close();
            ++popups;
        }
    }
    EXPECT_EQ(popups, 3);
    // Zoom In and Out go by steps, and stop at the ends.
    view->SetZoom(100);
    view->ZoomIn();
    EXPECT_EQ(view->zoom(), 125);
    view->ZoomOut();
    view->ZoomOut();
    EXPECT_EQ(view->zoom(), 75);
    view->SetZoom(5000);
    EXPECT_EQ(view->zoom(), kMaxZoom);
    view->ZoomIn();
    EXPECT_EQ(view->zoom(), kMaxZoom);
    view->SetZoom(1);
    EXPECT_EQ(view->zoom(), kMinZoom);
}

TEST_F(ViewWidget, CtrlWheelZoomsAboutThePointerAndRowsStayTheSame) {
    // One column, so that where Side B starts depends on how Side A's rows break.
    liner.oneUpSides = 1;
    std::string songs = "\x01\x05";
    for (int i = 0; i < 8; ++i) songs += "A rather long song title number " + std::to_string(i) + " of the side\r\n";
    liner.songsA = {8, songs};
    liner.songsB = {1, "\x01\x05Last"};
    view->SetZoom(100);
    view->viewport()->repaint();
    const SideBStart atTrueSize = view->sideBStart();
    EXPECT_GT(atTrueSize.depth, F + T);
    for (int zoom : {50, 400}) {
        view->SetZoom(zoom);
        view->viewport()->repaint();
        EXPECT_EQ(view->sideBStart().area, atTrueSize.area) << zoom;
        EXPECT_EQ(view->sideBStart().x, atTrueSize.x) << zoom;
        EXPECT_EQ(view->sideBStart().depth, atTrueSize.depth) << zoom;
    }

    view->SetZoom(100);
    const QPoint pointer(120, 90);
    const QPoint paper = view->PaperPoint(pointer);
    QWheelEvent wheel(pointer, view->viewport()->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(view->zoom(), 125);
    // The paper point under the pointer stays there (to a pixel's worth of twips).
    const QPoint after = view->PaperPoint(pointer);
    EXPECT_NEAR(after.x(), paper.x(), 1440 / view->dpiX() + 1);
    EXPECT_NEAR(after.y(), paper.y(), 1440 / view->dpiY() + 1);
}
