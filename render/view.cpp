#include "render/view.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

#include "platform/commands.h"
#include "document/liner.h"
#include "document/liner_document.h"
#include "platform/code_page.h"
#include "platform/prompter.h"
#include "platform/qt_surface.h"
#include "render/painter.h"
#include "render/view_gestures.h"
#include "render/view_rulers.h"
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <deque>

namespace {

// Inclusive at both ends: a point on a fold line belongs to the area tested first.
bool InSpan(const DepthSpan& span, int depth) {
    return depth >= span.top && depth <= span.bottom;
}

int SongAreaCode(bool sideA, bool primary) {
    if (primary) return sideA ? kAreaSideAPrimary : kAreaSideBPrimary;
    return sideA ? kAreaSideAOverflow : kAreaSideBOverflow;
}

// Turned songs: Side A writes into the upper half of each area, Side B into
// the lower one, split where the bisect line is drawn.
bool InUpperHalf(const LinerGeometry& g, const DepthSpan& span, int areaHeight, int depth) {
    const int split = g.invertImage ? span.bottom - areaHeight / 2 : span.top + areaHeight / 2;
    return depth < split;
}

// Holds what the painter has to say until the paint is over: a modal box
// must not open inside a paint event.
class DeferredPrompter : public Prompter {
public:
    struct Message {
        MessageOwner owner;
        MessageStyle style;
        std::string text;
    };
    MessageResult Show(const MessageOwner& owner, const MessageStyle& style, const std::string& text) override {
        messages.push_back({owner, style, text});
        return DefaultAnswer(style.buttons);
    }
    MergeChoice AskMerge(const std::string&) override { return MergeChoice::Cancel; }
    void RequestClose() override { closeRequested = true; }

    std::deque<Message> messages;
    bool closeRequested = false;
};

}  // namespace

void ComputeScrollRanges(const Liner& liner, ViewState& s) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    s.scrollMaxY = std::max(0, g.totalHeight - s.clientHeight - s.toolbarAllowance + 361);
    s.scrollMaxX = std::max(0, g.width - s.clientWidth + 361);
    s.scrollX = std::clamp(s.scrollX, 0, s.scrollMaxX);
    s.scrollY = std::clamp(s.scrollY, 0, s.scrollMaxY);
}

int ClampedScrollChange(int position, int maximum, int change) {
    const long long target = std::clamp<long long>(static_cast<long long>(position) + change, 0,
                                                   std::max(maximum, 0));
    return static_cast<int>(target - position);
}

int SongRotation(const Liner& liner) {
    int font = kFontSong;
    const std::string& text = liner.songsA.text;
    if (liner.songsA.lineCount != 0 && text.size() >= 2 && text[0] == kFontChange) {
        font = static_cast<unsigned char>(text[1]);
    }
    if (font < 1 || font > static_cast<int>(liner.fonts.size())) return 0;
    return liner.fonts[font - 1].logFont.RotationDegrees();
}

int HitTestPaper(const Liner& liner, int x, int depth, const SideBStart& sideB) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    if (x < 0 || x > g.width + 1) return kAreaNone;
    const int half = (g.width + 1) / 2;

    if (InSpan(FlapSpan(g), depth)) return x < half ? kAreaFlapSideA : kAreaFlapSideB;
    if (InSpan(TitleSpan(g), depth)) return kAreaTitle;

    const int rotation = SongRotation(liner);
    const bool upright = rotation == 0 || rotation == 180;
    const DepthSpan primary = PrimarySpan(g);

    if (!g.oneUpSides) {
        if (upright) {
            const int H = g.totalHeight;
            const DepthSpan region = g.invertImage
                                         ? DepthSpan{0, H + 1 - g.flapHeight - g.titleHeight}
                                         : DepthSpan{g.flapHeight + g.titleHeight, H + 1};
            if (!InSpan(region, depth)) return kAreaNone;
            const bool sideA = x <= half;
            bool inPrimary = InSpan(primary, depth);
            // The boundary with the overflow areas: primary in the normal
            // order, overflow in the inverted one (when there is overflow).
            if (g.invertImage && depth == primary.top && g.overflowCount > 0 &&
                g.overflowHeight > 0) {
                inPrimary = false;
            }
            if (g.overflowCount == 0 || g.overflowHeight == 0) inPrimary = true;
            return SongAreaCode(sideA, inPrimary);
        }
        if (InSpan(primary, depth)) {
            return SongAreaCode(InUpperHalf(g, primary, g.primaryHeight, depth), true);
        }
        for (int k = 0; k < g.overflowCount; ++k) {
            const DepthSpan span = OverflowSpan(g, k);
            if (InSpan(span, depth)) {
                return SongAreaCode(InUpperHalf(g, span, g.overflowHeight, depth), false);
            }
        }
        return kAreaNone;
    }

    // One column: the areas in the order the songs flow through them.
    if (!upright && rotation != 90 && rotation != 270) return kAreaNone;
    int area = -1;
    if (InSpan(primary, depth)) {
        area = 0;
    } else {
        for (int k = 0; k < g.overflowCount && area < 0; ++k) {
            if (InSpan(OverflowSpan(g, k), depth)) area = k + 1;
        }
    }
    if (area < 0) return kAreaNone;
    bool sideA;
    if (area != sideB.area) {
        sideA = area < sideB.area;
    } else if (upright) {
        sideA = depth < sideB.depth;
    } else if (rotation == 270) {
        sideA = x < sideB.x;
    } else {
        sideA = x > sideB.x;
    }
    return SongAreaCode(sideA, area == 0);
}

int HitTest(const Liner& liner, const ViewState& s, QPoint pixel, int dpiX, int dpiY,
            const SideBStart& sideB) {
    const LogicalPoint p = DeviceToTwips(MakeTwipMapping(dpiX, dpiY), DevicePoint{pixel.x(), pixel.y()});
    const int px = p.x + s.scrollX;
    const int py = p.y - s.scrollY;
    const int x = px - kViewMargin;
    const int depth = (s.toolbarAllowance - kViewMargin) - py;
    return HitTestPaper(liner, x, depth, sideB);
}

const char* PopupMenuName(int area) {
    switch (area) {
        case kAreaSideAPrimary: return "POPUP_SIDEA_PRIM";
        case kAreaSideBPrimary: return "POPUP_SIDEB_PRIM";
        case kAreaSideAOverflow: return "POPUP_SIDEA_OFLO";
        case kAreaSideBOverflow: return "POPUP_SIDEB_OFLO";
        case kAreaTitle: return "POPUP_TITLE";
        case kAreaFlapSideA: return "POPUP_A_FLAP";
        case kAreaFlapSideB: return "POPUP_B_FLAP";
        default: return nullptr;
    }
}

int DoubleClickCommand(int area) {
    switch (area) {
        case kAreaSideAPrimary:
        case kAreaSideAOverflow: return kCmdSongsSideA;
        case kAreaSideBPrimary:
        case kAreaSideBOverflow: return kCmdSongsSideB;
        case kAreaTitle: return kCmdTitleLines;
        default: return 0;
    }
}

// ---- LinerView ---------------------------------------------------------------

LinerView::LinerView(LinerDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent),
      document_(document),
      liner_(document.liner()),
      pictures_(true, [this] { viewport()->update(); }) {
    gestures_ = new PictureGestures(*this, document);
    horizontalRuler_ = new ViewRuler(*this, Qt::Horizontal);
    verticalRuler_ = new ViewRuler(*this, Qt::Vertical);
    connect(this, &LinerView::pointerMoved, this, [this](std::optional<QPoint> paper) {
        horizontalRuler_->MarkPointer(paper ? std::optional<int>(paper->x()) : std::nullopt);
        verticalRuler_->MarkPointer(paper ? std::optional<int>(paper->y()) : std::nullopt);
    });
    // Steps, Undo and Redo: a changed picture list is taken up afresh.  The
    // decoded pictures are shared, and those drawn now are held until then,
    // so a picture still in the list is not decoded again.
    connect(&document, &LinerDocument::aboutToChange, this, [this] {
        for (size_t i = 0; i < liner_.pictures.size(); ++i) {
            if (pictures_.Has(i, liner_.pictures[i].fileName)) {
                held_.push_back(pictures_.GetQuietly(i, liner_.pictures[i]).picture);
            }
        }
    });
    connect(&document, &LinerDocument::changed, this, [this](unsigned parts) {
        if (parts & LinerDocument::kPictures) ForgetPictures();
        held_.clear();
        viewport()->update();
    });
    setObjectName("LinerView");
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        // Dragging the thumb scrolls when it is released.
        bar->setTracking(false);
        bar->setSingleStep(kScrollLine);
    }
    SetRulersVisible(true);
}

void LinerView::SetRulersVisible(bool visible) {
    rulersVisible_ = visible;
    const int size = visible ? ViewRuler::kSize : 0;
    setViewportMargins(size, size, 0, 0);
    horizontalRuler_->setVisible(visible);
    verticalRuler_->setVisible(visible);
    PlaceRulers();
    UpdateScrollRanges();
}

void LinerView::PlaceRulers() {
    const QRect port = viewport()->geometry();
    horizontalRuler_->setGeometry(port.left(), port.top() - ViewRuler::kSize, port.width(), ViewRuler::kSize);
    verticalRuler_->setGeometry(port.left() - ViewRuler::kSize, port.top(), ViewRuler::kSize, port.height());
}

void LinerView::UpdateRulers() {
    if (!rulersVisible_) return;
    horizontalRuler_->update();
    verticalRuler_->update();
}

void LinerView::ForgetPictures() {
    pictures_.Clear();
    // Decoding starts now; what cannot be read is told at the paint that
    // draws it (also when the decoding already failed by the time it started).
    for (size_t i = 0; i < liner_.pictures.size(); ++i) pictures_.GetQuietly(i, liner_.pictures[i]);
}

int NextZoomStep(int zoom, bool in) {
    if (in) {
        for (int step : kZoomSteps) {
            if (step > zoom) return step;
        }
        return kMaxZoom;
    }
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
        if (*it < zoom) return *it;
    }
    return kMinZoom;
}

namespace {

int Zoomed(int dpi, int zoom) {
    return std::max(static_cast<int>(std::lround(static_cast<double>(std::max(dpi, 1)) * zoom / 100.0)), 1);
}

}  // namespace

int LinerView::dpiX() const { return Zoomed(viewport()->logicalDpiX(), zoom_); }
int LinerView::dpiY() const { return Zoomed(viewport()->logicalDpiY(), zoom_); }

QPoint LinerView::PaperPoint(QPoint pixel) const {
    const LogicalPoint p = DeviceToTwips(MakeTwipMapping(dpiX(), dpiY()), DevicePoint{pixel.x(), pixel.y()});
    return {p.x + state_.scrollX - kViewMargin, (state_.toolbarAllowance - kViewMargin) - (p.y - state_.scrollY)};
}

QPoint LinerView::PixelOf(int x, int depth) const {
    const DevicePoint d = TwipsToDevice(MakeTwipMapping(dpiX(), dpiY()),
                                        LogicalPoint{kViewMargin + x - state_.scrollX,
                                                     state_.toolbarAllowance - kViewMargin - depth + state_.scrollY});
    return {d.x, d.y};
}

void LinerView::SetZoom(int percent, std::optional<QPoint> anchor) {
    percent = std::clamp(percent, kMinZoom, kMaxZoom);
    if (percent == zoom_) return;
    const QPoint pixel = anchor.value_or(viewport()->rect().center());
    const QPoint paper = PaperPoint(pixel);
    zoom_ = percent;
    // The same paper point under the same pixel at the new scale.
    const LogicalPoint p = DeviceToTwips(MakeTwipMapping(dpiX(), dpiY()), DevicePoint{pixel.x(), pixel.y()});
    state_.scrollX = std::max(0, paper.x() + kViewMargin - p.x);
    state_.scrollY = std::max(0, paper.y() - (state_.toolbarAllowance - kViewMargin) + p.y);
    UpdateScrollRanges();
    emit zoomChanged(zoom_);
}

int LinerView::FitWidthZoom() const {
    const LinerGeometry g = ComputeLinerGeometry(liner_);
    const int logical = std::max(viewport()->logicalDpiX(), 1);
    int width = viewport()->width();
    // A liner shown at its full width is nearly always taller than the
    // window: leave room for the vertical scroll bar that will then appear.
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && !verticalScrollBar()->isVisible()) {
        width -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    }
    const double wanted = (g.width + 361) / 1440.0 * logical;
    int zoom = std::clamp(static_cast<int>(100.0 * width / wanted), kMinZoom, kMaxZoom);
    // The resolution is rounded to whole dots per inch: step back until the
    // scroll range left is none at all.
    while (zoom > kMinZoom && g.width + 361 > PixelsToTwips(width, Zoomed(logical, zoom))) --zoom;
    return zoom;
}

int LinerView::FitPageZoom() const {
    const LinerGeometry g = ComputeLinerGeometry(liner_);
    const double tall = (g.totalHeight - state_.toolbarAllowance + 361) / 1440.0 *
                        std::max(viewport()->logicalDpiY(), 1);
    const int byHeight = static_cast<int>(100.0 * viewport()->height() / tall);
    return std::clamp(std::min(FitWidthZoom(), byHeight), kMinZoom, kMaxZoom);
}

void LinerView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) return event->accept();
    int zoom = zoom_;
    for (int i = 0; i < std::abs(notches); ++i) zoom = NextZoomStep(zoom, notches > 0);
    SetZoom(zoom, event->position().toPoint());
    event->accept();
}

void LinerView::mouseMoveEvent(QMouseEvent* event) {
    emit pointerMoved(PaperPoint(event->position().toPoint()));
    if (gestures_->Move(event)) return;
    QAbstractScrollArea::mouseMoveEvent(event);
}

void LinerView::mouseReleaseEvent(QMouseEvent* event) {
    if (gestures_->Release(event)) return;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void LinerView::keyReleaseEvent(QKeyEvent* event) {
    if (gestures_->KeyRelease(event)) return;
    QAbstractScrollArea::keyReleaseEvent(event);
}

bool LinerView::focusNextPrevChild(bool next) {
    // Tab goes from picture to picture while there are pictures.
    if (gestures_->Cycle(next)) return true;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void LinerView::leaveEvent(QEvent* event) {
    gestures_->Leave();
    emit pointerMoved(std::nullopt);
    QAbstractScrollArea::leaveEvent(event);
}

void LinerView::UpdateScrollRanges() {
    state_.clientWidth = PixelsToTwips(viewport()->width(), dpiX());
    state_.clientHeight = PixelsToTwips(viewport()->height(), dpiY());
    ComputeScrollRanges(liner_, state_);
    const ViewState wanted = state_;
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setPageStep(std::max(wanted.clientWidth, 1));
    v->setPageStep(std::max(wanted.clientHeight, 1));
    h->setRange(0, wanted.scrollMaxX);
    v->setRange(0, wanted.scrollMaxY);
    h->setValue(wanted.scrollX);
    v->setValue(wanted.scrollY);
    state_.scrollX = h->value();
    state_.scrollY = v->value();
    viewport()->update();
    UpdateRulers();
}

bool LinerView::ScrollBy(Qt::Orientation orientation, int change) {
    const bool horizontal = orientation == Qt::Horizontal;
    int& position = horizontal ? state_.scrollX : state_.scrollY;
    const int maximum = horizontal ? state_.scrollMaxX : state_.scrollMaxY;
    const int step = ClampedScrollChange(position, maximum, change);
    if (step == 0) return false;
    position += step;
    (horizontal ? horizontalScrollBar() : verticalScrollBar())->setValue(position);
    viewport()->update();
    UpdateRulers();
    return true;
}

bool LinerView::ScrollHorizontally(Scroll request) {
    switch (request) {
        case Scroll::LineBack: return ScrollBy(Qt::Horizontal, -kScrollLine);
        case Scroll::LineForward: return ScrollBy(Qt::Horizontal, kScrollLine);
        case Scroll::PageBack: return ScrollBy(Qt::Horizontal, -state_.clientWidth);
        case Scroll::PageForward: return ScrollBy(Qt::Horizontal, state_.clientWidth);
        case Scroll::Start:
        case Scroll::End: return false;  // not a horizontal request
    }
    return false;
}

bool LinerView::ScrollVertically(Scroll request) {
    switch (request) {
        case Scroll::LineBack: return ScrollBy(Qt::Vertical, -kScrollLine);
        case Scroll::LineForward: return ScrollBy(Qt::Vertical, kScrollLine);
        case Scroll::PageBack: return ScrollBy(Qt::Vertical, -state_.clientHeight);
        case Scroll::PageForward: return ScrollBy(Qt::Vertical, state_.clientHeight);
        case Scroll::Start: return ScrollBy(Qt::Vertical, -state_.scrollY);
        case Scroll::End: return ScrollBy(Qt::Vertical, state_.scrollMaxY - state_.scrollY);
    }
    return false;
}

void LinerView::scrollContentsBy(int, int) {
    // The scroll bars moved (thumb released, arrows, wheel): follow them.
    const int x = horizontalScrollBar()->value();
    const int y = verticalScrollBar()->value();
    if (x == state_.scrollX && y == state_.scrollY) return;
    state_.scrollX = x;
    state_.scrollY = y;
    viewport()->update();
    UpdateRulers();
}

int LinerView::AreaAt(QPoint pixel) const {
    return HitTest(liner_, state_, pixel, dpiX(), dpiY(), sideB_);
}

int LinerView::FittedWindowWidth() const {
    const LinerGeometry g = ComputeLinerGeometry(liner_);
    const int content = TwipsToPixels(g.width + 368, dpiX());
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return content + scrollBar + 2 * frameWidth() + (rulersVisible_ ? ViewRuler::kSize : 0);
}

void LinerView::paintEvent(QPaintEvent* event) {
    ++paintCount_;
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    PaintOptions options;
    options.x = kViewMargin - state_.scrollX;
    options.y = state_.toolbarAllowance - kViewMargin + state_.scrollY;
    options.printing = false;
    DeferredPrompter deferred;
    bool noWarning = false;
    PaintResult result;
    {
        QtSurface surface(painter, dpiX(), dpiY());
        result = PaintLiner(surface, liner_, options, pictures_, deferred,
                            songFitWarning_ ? *songFitWarning_ : noWarning);
    }
    sideB_ = {result.sideBStart.area, result.sideBStart.x, result.sideBStart.depth};
    DrawOverflowMarks(painter, result.overflows);
    painter.resetTransform();
    gestures_->Paint(painter);

    if (prompter_ && (!deferred.messages.empty() || deferred.closeRequested)) {
        QPointer<LinerView> self(this);
        auto messages = std::make_shared<DeferredPrompter>(std::move(deferred));
        QTimer::singleShot(0, this, [self, messages] {
            if (!self || !self->prompter_) return;
            for (const auto& m : messages->messages) {
                self->prompter_->Show(m.owner, m.style, m.text);
                if (!self) return;
            }
            if (messages->closeRequested) self->prompter_->RequestClose();
        });
    }
}

// A small red wedge at the bottom edge of an area whose text did not all
// fit, so that the warning is never the only sign; the screen's alone.
void LinerView::DrawOverflowMarks(QPainter& painter, const std::vector<OverflowMark>& marks) {
    overflowMarks_.clear();
    if (marks.empty()) return;
    const TwipMapping mapping = MakeTwipMapping(dpiX(), dpiY());
    const int half = std::max(5, TwipsToPixels(60, dpiX()));
    const int height = half + half / 2;
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x80, 0, 0), 1));
    painter.setBrush(QColor(0xE0, 0x20, 0x20));
    for (const OverflowMark& mark : marks) {
        const LogicalPoint at{mark.x - state_.scrollX + kViewMargin,
                              state_.toolbarAllowance - kViewMargin + state_.scrollY - mark.depth};
        const DevicePoint edge = TwipsToDevice(mapping, at);
        // Pointing down at the edge, from inside the area.
        const QPoint tip(edge.x, edge.y - 1);
        const QPolygon wedge({QPoint(tip.x() - half, tip.y() - height), QPoint(tip.x() + half, tip.y() - height), tip});
        painter.drawPolygon(wedge);
        overflowMarks_.push_back({wedge.boundingRect().adjusted(-2, -2, 2, 2), DecodeCodePage(mark.text)});
    }
    painter.restore();
}

bool LinerView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (const OverflowMarkShown& mark : overflowMarks_) {
            if (mark.rect.contains(help->pos())) {
                QToolTip::showText(help->globalPos(), mark.text, viewport(), mark.rect);
                return true;
            }
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void LinerView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    PlaceRulers();
    UpdateScrollRanges();
}

QMenu* LinerView::MakePopup(int area) {
    delete popup_;
    const char* name = PopupMenuName(area);
    if (!name) return nullptr;

    struct Item {
        const char* text;
        int command;
    };
    const char* caption = "";
    std::vector<Item> items;
    switch (area) {
        case kAreaTitle:
            caption = "( Title )";
            items = {{"&Format", kCmdFormatTitle}, {"F&ont", kCmdFontTitle}, {"&Text", kCmdTitleLines}};
            break;
        case kAreaSideAPrimary:
            caption = "( A Primary )";
            items = {{"Song &Format", kCmdSongsAPrimary}, {"Song F&ont", kCmdFontSong},
                     {"Song &Text", kCmdSongsSideA}, {"Side Letter Fo&nt", kCmdFontSideLetter},
                     {"&Side Features && Letter", kCmdSidesAPrimary}};
            break;
        case kAreaSideAOverflow:
            caption = "( A Overflow )";
            items = {{"Song &Format", kCmdSongsAOverflow}, {"Song F&ont", kCmdFontSong},
                     {"Song &Text", kCmdSongsSideA}, {"&Side Features", kCmdSidesAPrimary}};
            break;
        case kAreaSideBPrimary:
            caption = "( B Primary )";
            items = {{"Song &Format", kCmdSongsBPrimary}, {"Song F&ont", kCmdFontSong},
                     {"Song &Text", kCmdSongsSideB}, {"Side Letter Fo&nt", kCmdFontSideLetter},
                     {"&Side Features && Letter", kCmdSidesBPrimary}};
            break;
        case kAreaSideBOverflow:
            caption = "( B Overflow )";
            items = {{"Song &Format", kCmdSongsBOverflow}, {"Song F&ont", kCmdFontSong},
                     {"Song &Text", kCmdSongsSideB}, {"&Side Features", kCmdSidesBPrimary}};
            break;
        case kAreaFlapSideA:
        case kAreaFlapSideB:
            caption = "( Feature Flap )";
            items = {{"Features", kCmdFormatFeatures},
                     {"Side Features && Letter",
                      area == kAreaFlapSideA ? kCmdSidesAFlap : kCmdSidesBFlap},
                     {"Feature Name Font", kCmdFontFeatureName},
                     {"Side Letter Font", kCmdFontSideLetter},
                     {"Feature Font", kCmdFontFeature}};
            break;
        default: break;
    }

    QMenu* menu = new QMenu(this);
    menu->setObjectName(name);
    menu->setAttribute(Qt::WA_DeleteOnClose, false);
    QAction* title = menu->addAction(QString::fromLatin1(caption));
    title->setEnabled(false);
    menu->addSeparator();
    for (const Item& item : items) {
        QAction* action = menu->addAction(QString::fromLatin1(item.text));
        action->setData(item.command);
        action->setEnabled(!commandEnabled_ || commandEnabled_(item.command));
        const int command = item.command;
        connect(action, &QAction::triggered, this, [this, command] { emit commandRequested(command); });
    }
    popup_ = menu;
    return menu;
}

void LinerView::ShowPopup(QPoint pixel) {
    if (QMenu* menu = gestures_->MakeMenu(pixel)) {
        menu->popup(viewport()->mapToGlobal(pixel));
        return;
    }
    QMenu* menu = MakePopup(AreaAt(pixel));
    if (menu) menu->popup(viewport()->mapToGlobal(pixel));
}

void LinerView::ShowKeyboardPopup() {
    // The area under the mouse pointer, or the title's when it is over none.
    QPoint pixel = viewport()->mapFromGlobal(QCursor::pos());
    int area = viewport()->rect().contains(pixel) ? AreaAt(pixel) : -1;
    if (!PopupMenuName(area)) {
        area = kAreaTitle;
        pixel = viewport()->rect().center();
    }
    if (QMenu* menu = MakePopup(area)) menu->popup(viewport()->mapToGlobal(pixel));
}

void LinerView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        ShowPopup(event->position().toPoint());
        return;
    }
    if (gestures_->Press(event)) return;
    QAbstractScrollArea::mousePressEvent(event);
}

void LinerView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pixel = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        ShowPopup(pixel);
        return;
    }
    if (gestures_->DoubleClick(event)) return;
    if (event->button() == Qt::LeftButton) {
        const int command = DoubleClickCommand(AreaAt(pixel));
        if (command != 0) emit commandRequested(command);
        return;
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void LinerView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        ShowKeyboardPopup();
        event->accept();
        return;
    }
    if (gestures_->Key(event)) {
        event->accept();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Home: ScrollVertically(Scroll::Start); break;
        case Qt::Key_End: ScrollVertically(Scroll::End); break;
        case Qt::Key_PageUp: ScrollVertically(Scroll::PageBack); break;
        case Qt::Key_PageDown: ScrollVertically(Scroll::PageForward); break;
        case Qt::Key_Up: ScrollVertically(Scroll::LineBack); break;
        case Qt::Key_Down: ScrollVertically(Scroll::LineForward); break;
        case Qt::Key_Left: ScrollHorizontally(Scroll::PageBack); break;
        case Qt::Key_Right: ScrollHorizontally(Scroll::PageForward); break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

// ---- drag and drop -------------------------------------------------------------------

namespace {

// The one local file a drag carries, or nothing.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

bool IsPictureName(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("jpeg")) return true;
    for (int i = 0; i < kPictureReaderCount; ++i) {
        if (ext == QLatin1String(PictureReaders().Row(i).extension)) return true;
    }
    return false;
}

}  // namespace

std::optional<PicturePlace> LinerView::DropArea(QPoint pixel) const {
    const LogicalPoint p = DeviceToTwips(MakeTwipMapping(dpiX(), dpiY()), DevicePoint{pixel.x(), pixel.y()});
    const int x = p.x + state_.scrollX - kViewMargin;
    const int depth = (state_.toolbarAllowance - kViewMargin) - (p.y - state_.scrollY);
    const LinerGeometry g = ComputeLinerGeometry(liner_);
    if (x < 0 || x > g.width) return std::nullopt;
    std::vector<DepthSpan> spans = {FlapSpan(g), TitleSpan(g), PrimarySpan(g)};
    for (int k = 0; k < g.overflowCount; ++k) spans.push_back(OverflowSpan(g, k));
    for (const DepthSpan& span : spans) {
        if (span.bottom > span.top && depth >= span.top && depth < span.bottom) {
            return PicturePlace{0, span.top, g.width, span.bottom - span.top};
        }
    }
    return std::nullopt;
}

void LinerView::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void LinerView::dragMoveEvent(QDragMoveEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    const bool picture = !path.isEmpty() && IsPictureName(path);
    const std::optional<PicturePlace> place =
        picture ? FittedDropPlace(path, event->position().toPoint()) : std::nullopt;
    gestures_->ShowDropPlace(place);
    // A picture is taken only over an area of the liner; other files anywhere.
    if (!path.isEmpty() && (!picture || place)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void LinerView::dragLeaveEvent(QDragLeaveEvent* event) {
    gestures_->ShowDropPlace(std::nullopt);
    QAbstractScrollArea::dragLeaveEvent(event);
}

std::optional<PicturePlace> LinerView::FittedDropPlace(const QString& path, QPoint pixel) {
    const std::optional<PicturePlace> area = DropArea(pixel);
    if (!area) return std::nullopt;
    if (path != dragPath_) {
        // Examined once per drag; what cannot be read is told at the drop.
        dragPath_ = path;
        dragNatural_.reset();
        DeferredPrompter quiet;
        if (const auto examined = ExaminePictureFile(path.toStdString(), quiet, PictureReaders(), {dpiX(), dpiY()})) {
            dragNatural_ = std::make_pair(examined->naturalWidth, examined->naturalHeight);
        }
    }
    return dragNatural_ ? FitPictureInside(*area, dragNatural_->first, dragNatural_->second) : *area;
}

void LinerView::dropEvent(QDropEvent* event) {
    gestures_->ShowDropPlace(std::nullopt);
    dragPath_.clear();
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) return event->ignore();
    if (!IsPictureName(path)) {
        event->acceptProposedAction();
        emit fileDropped(path);
        return;
    }
    const std::optional<PicturePlace> area = DropArea(event->position().toPoint());
    if (!area) return event->ignore();
    event->acceptProposedAction();
    emit pictureDropped(path, *area);
}
