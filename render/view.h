// The main window's view of the Liner: drawn at its true size, scrolled in
// twips, with the hit test that maps a mouse point to an area and the area
// pop-up menus.
#pragma once

#include <QAbstractScrollArea>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>

#include "pictures/picture_host.h"
#include "render/geometry.h"

struct Liner;
class Prompter;
struct OverflowMark;

// What lies under a mouse point.
enum AreaCode : int {
    kAreaNone = 0,
    kAreaSideAPrimary = 1,
    kAreaSideBPrimary = 2,
    kAreaSideAOverflow = 3,
    kAreaSideBOverflow = 4,
    kAreaTitle = 5,
    kAreaFlapSideA = 6,
    kAreaFlapSideB = 7,
};

// The liner sits this far from the client area's left and top edges.
constexpr int kViewMargin = 180;
// One line of scrolling (3/16 inch).
constexpr int kScrollLine = 270;

// The zoom in per cent: 100 is the true size.  Zoom In and Zoom Out go from
// step to step; fitting may land between them.
constexpr int kZoomSteps[] = {25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 600, 800};
constexpr int kMinZoom = 25;
constexpr int kMaxZoom = 800;
int NextZoomStep(int zoom, bool in);

// Scroll positions and ranges in twips, and the client area's size in twips.
struct ViewState {
    int scrollX = 0;
    int scrollY = 0;
    int scrollMaxX = 0;
    int scrollMaxY = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    // Extra room above the liner for a toolbar that covers the client area
    // (negative: y runs upward).  Our toolbar sits outside the view, so the
    // view keeps it at 0.
    int toolbarAllowance = 0;
};

// Where Side B's first song starts in the one-column layout: its song area
// in flow order (0 the primary area, k + 1 overflow area k), its x and its
// depth below the top of the paper.  The painter reports it at every paint.
struct SideBStart {
    int area = 0;
    int x = 0;
    int depth = 0;
};

// The scroll maxima for the client size in `state`, with both positions
// lowered to their maxima when needed.
void ComputeScrollRanges(const Liner& liner, ViewState& state);

// A scroll step clamped so that the position stays within 0 ... maximum.
int ClampedScrollChange(int position, int maximum, int change);

// The rotation in degrees (0 to 359) of the font that Side A's songs start in.
int SongRotation(const Liner& liner);

// The area at paper position x (from the left edge) and depth (below the top edge).
int HitTestPaper(const Liner& liner, int x, int depth, const SideBStart& sideB);

// The area under a pixel of the client area.
int HitTest(const Liner& liner, const ViewState& state, QPoint pixel, int dpiX, int dpiY,
            const SideBStart& sideB);

// The object name of an area's pop-up menu ("POPUP_TITLE" ...), or nullptr.
const char* PopupMenuName(int area);
// The command a left double-click on an area sends, or 0.
int DoubleClickCommand(int area);

class LinerDocument;
class PictureGestures;
class ViewRuler;

class LinerView : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class Scroll { LineBack, LineForward, PageBack, PageForward, Start, End };

    // Shows the document's Liner and follows its changes.
    explicit LinerView(LinerDocument& document, QWidget* parent = nullptr);

    const ViewState& state() const { return state_; }
    // The resolution the liner is drawn and hit-tested at: the screen's,
    // times the zoom.
    int dpiX() const;
    int dpiY() const;

    int zoom() const { return zoom_; }
    // Sets the zoom (clamped to 25 ... 800), keeping the liner point under
    // `anchor` (a viewport pixel; the centre when none is given) in place.
    void SetZoom(int percent, std::optional<QPoint> anchor = std::nullopt);
    void ZoomIn() { SetZoom(NextZoomStep(zoom_, true)); }
    void ZoomOut() { SetZoom(NextZoomStep(zoom_, false)); }
    // The zoom that shows the liner's whole width (with its margins), or the
    // whole liner, in the viewport.
    int FitWidthZoom() const;
    int FitPageZoom() const;
    // The paper position (twips from the paper's top-left corner, depth
    // downward) under a viewport pixel.
    QPoint PaperPoint(QPoint viewportPixel) const;
    // The viewport pixel of a paper point (twips from the left edge, depth
    // below the top edge).
    QPoint PixelOf(int x, int depth) const;

    LinerDocument& document() const { return document_; }
    // Selecting, moving and resizing pictures on the liner.
    PictureGestures& gestures() const { return *gestures_; }
    // The rulers along the top and the left (View > Rulers).
    void SetRulersVisible(bool visible);
    bool rulersVisible() const { return rulersVisible_; }
    ViewRuler* ruler(Qt::Orientation orientation) const {
        return orientation == Qt::Horizontal ? horizontalRuler_ : verticalRuler_;
    }
    // Where questions go (the paint context's prompter), or nullptr.
    Prompter* prompter() const { return prompter_; }

    // Recomputes the ranges after the Liner's size or the client area changed.
    void UpdateScrollRanges();
    // One scroll request; returns whether the position moved.
    bool ScrollHorizontally(Scroll request);
    bool ScrollVertically(Scroll request);
    void ScrollToTop() { ScrollVertically(Scroll::Start); }
    void ScrollToBottom() { ScrollVertically(Scroll::End); }

    int AreaAt(QPoint viewportPixel) const;
    // The window width that shows the whole liner with its margins.
    int FittedWindowWidth() const;

    // Builds the pop-up menu of an area (owned by the view, replacing the
    // previous one); commands for which `commandEnabled` says no are greyed.
    QMenu* MakePopup(int area);
    QMenu* lastPopup() const { return popup_; }
    void SetCommandEnabled(std::function<bool(int)> enabled) { commandEnabled_ = std::move(enabled); }

    void SetSideBStart(const SideBStart& start) { sideB_ = start; }
    const SideBStart& sideBStart() const { return sideB_; }
    // What the paint reports to: messages of the painter (shown once the
    // paint is over) and the armed song-fit warning.
    void SetPaintContext(Prompter* prompter, bool* songFitWarning) {
        prompter_ = prompter;
        songFitWarning_ = songFitWarning;
    }
    // The picture list was replaced (a new or opened liner): its pictures
    // start decoding in the background at once.
    void ForgetPictures();
    // Picture `index` was taken out of the list: the later ones move down.
    void ForgetPicture(size_t index) { pictures_.Erase(index); }
    // Counts paint events; tests use it to see that a clamped step repaints nothing.
    int paintCount() const { return paintCount_; }
    // The marks drawn at the last paint on areas whose text did not all fit
    // (viewport pixels) and what their tooltips say.
    struct OverflowMarkShown {
        QRect rect;
        QString text;
    };
    const std::vector<OverflowMarkShown>& overflowMarks() const { return overflowMarks_; }

    // The area a picture dropped at a pixel of the viewport is fitted into
    // (twips from the paper's top-left corner), or nothing off the areas.
    std::optional<PicturePlace> DropArea(QPoint viewportPixel) const;

signals:
    void commandRequested(int command);
    // A picture file dropped on an area of the liner, to be fitted into it.
    void pictureDropped(const QString& path, const PicturePlace& area);
    // A liner or format file dropped on the view, to be opened.
    void fileDropped(const QString& path);
    void zoomChanged(int percent);
    // The pointer moved over the view: its paper position, or none once it left.
    void pointerMoved(std::optional<QPoint> paperTwips);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void leaveEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;

private:
    void DrawOverflowMarks(QPainter& painter, const std::vector<OverflowMark>& marks);

    bool ScrollBy(Qt::Orientation orientation, int change);
    void ShowPopup(QPoint viewportPixel);
    // Shift+F10 and the Menu key.
    void ShowKeyboardPopup();

    // Where a picture file dragged over an area would go, fitted into it.
    std::optional<PicturePlace> FittedDropPlace(const QString& path, QPoint viewportPixel);

    LinerDocument& document_;
    Liner& liner_;
    PictureGestures* gestures_ = nullptr;
    ViewRuler* horizontalRuler_ = nullptr;
    ViewRuler* verticalRuler_ = nullptr;
    bool rulersVisible_ = false;
    void PlaceRulers();
    void UpdateRulers();
    // The natural size of the picture file being dragged over the view.
    QString dragPath_;
    std::optional<std::pair<int, int>> dragNatural_;
    ViewState state_;
    SideBStart sideB_;
    QPointer<QMenu> popup_;
    std::function<bool(int)> commandEnabled_;
    int paintCount_ = 0;
    int zoom_ = 100;
    Prompter* prompter_ = nullptr;
    bool* songFitWarning_ = nullptr;
    std::vector<OverflowMarkShown> overflowMarks_;
    // Decoded off this thread; each one done repaints the view.
    PictureImages pictures_;
    // The pictures drawn before a change, held while the list is taken up again.
    std::vector<std::shared_ptr<DecodedPicture>> held_;
    // What the painter reported for the liner shown, so that each message
    // is shown once.
};
