#include "render/view_gestures.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "platform/commands.h"
#include "dialogs/format_pictures_dialog.h"
#include "document/liner_document.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/geometry.h"
#include "render/view.h"

namespace {

// Handles are squares this many pixels wide; the pointer takes one a pixel
// beyond its edge.
constexpr int kHandleSize = 7;
constexpr int kHandleReach = kHandleSize / 2 + 1;
// Snapping reaches this many screen pixels.
constexpr int kSnapPixels = 5;
// Arrow presses further apart than this start a new step.
constexpr int kBurstPause = 1000;
// A nudge: one point, ten with Shift.
constexpr int kNudge = 20;
constexpr int kBigNudge = 200;

const QColor kGuideColour(220, 0, 140);
const QColor kHoverColour(0, 120, 215, 110);
const QColor kDropColour(0, 120, 215);

Qt::CursorShape CursorFor(PictureHandle h) {
    switch (h) {
        case PictureHandle::TopLeft:
        case PictureHandle::BottomRight: return Qt::SizeFDiagCursor;
        case PictureHandle::TopRight:
        case PictureHandle::BottomLeft: return Qt::SizeBDiagCursor;
        case PictureHandle::Left:
        case PictureHandle::Right: return Qt::SizeHorCursor;
        case PictureHandle::Top:
        case PictureHandle::Bottom: return Qt::SizeVerCursor;
        case PictureHandle::Body: return Qt::SizeAllCursor;
        case PictureHandle::None: break;
    }
    return Qt::ArrowCursor;
}

}  // namespace

PictureGestures::PictureGestures(LinerView& view, LinerDocument& document)
    : QObject(&view), view_(view), document_(document) {
    connect(&document_, &LinerDocument::changed, this, [this] { FollowDocument(); });
    connect(&document_, &LinerDocument::linerReplaced, this, [this] { ClearSelection(); });
}

void PictureGestures::Select(int index) {
    if (index >= static_cast<int>(document_.liner().pictures.size())) index = -1;
    if (index == selected_) return;
    const QRegion before = MarksRegion();
    selected_ = index;
    burst_ = 0;
    Repaint(before);
    emit selectionChanged(selected_);
}

void PictureGestures::FollowDocument() {
    // An Undo may take the selected picture away or put it elsewhere.
    if (drag_) Cancel();
    if (selected_ >= static_cast<int>(document_.liner().pictures.size())) {
        Select(-1);
    } else if (selected_ >= 0) {
        emit selectionChanged(selected_);
    }
    view_.viewport()->update();
}

// ---- pixels --------------------------------------------------------------------------

QRect PictureGestures::PixelRect(const PicturePlace& r, int grow) const {
    const QPoint a = view_.PixelOf(r.left, r.depth);
    const QPoint b = view_.PixelOf(r.left + r.width, r.depth + r.height);
    return QRect(a, b).normalized().adjusted(-grow, -grow, grow, grow);
}

QRegion PictureGestures::MarksRegion() const {
    QRegion region;
    const Liner& liner = document_.liner();
    if (selected_ >= 0 && selected_ < static_cast<int>(liner.pictures.size())) {
        region += PixelRect(PictureRectOf(liner.pictures[static_cast<size_t>(selected_)]), kHandleSize);
    }
    const QRect all = view_.viewport()->rect();
    if (guideX_) region += QRect(view_.PixelOf(*guideX_, 0).x() - 1, 0, 3, all.height());
    if (guideDepth_) region += QRect(0, view_.PixelOf(0, *guideDepth_).y() - 1, all.width(), 3);
    if (hoverArea_) region += PixelRect(*hoverArea_, 2);
    if (dropPlace_) region += PixelRect(*dropPlace_, 2);
    return region;
}

void PictureGestures::Repaint(const QRegion& before) {
    view_.viewport()->update(before + MarksRegion());
}

// ---- the pointer -----------------------------------------------------------------------

bool PictureGestures::Press(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    const QPoint pixel = event->position().toPoint();
    const QPoint paper = view_.PaperPoint(pixel);
    const Liner& liner = document_.liner();
    const int reach = PixelsToTwips(kHandleReach, view_.dpiX());
    PictureHandle handle = PictureHandle::None;
    int picture = -1;
    if (selected_ >= 0) {
        handle = HandleAt(PictureRectOf(liner.pictures[static_cast<size_t>(selected_)]), paper.x(), paper.y(), reach);
        if (handle != PictureHandle::None && handle != PictureHandle::Body) picture = selected_;
    }
    if (picture < 0) {
        picture = PictureAt(liner, paper.x(), paper.y());
        handle = PictureHandle::Body;
    }
    if (picture < 0) {
        ClearSelection();
        return false;
    }
    Select(picture);
    Drag drag;
    drag.picture = picture;
    drag.handle = handle;
    drag.pressPixel = drag.lastPixel = pixel;
    drag.pressPaper = paper;
    drag.start = PictureRectOf(liner.pictures[static_cast<size_t>(picture)]);
    drag.targets = CollectSnapTargets(liner, picture);
    drag_ = std::move(drag);
    view_.setFocus(Qt::MouseFocusReason);
    return true;
}

bool PictureGestures::Move(QMouseEvent* event) {
    const QPoint pixel = event->position().toPoint();
    if (!drag_) {
        Hover(pixel);
        UpdateCursor(pixel);
        return false;
    }
    Follow(pixel, event->modifiers());
    return true;
}

void PictureGestures::Follow(QPoint pixel, Qt::KeyboardModifiers modifiers) {
    Drag& d = *drag_;
    d.lastPixel = pixel;
    if (!d.started) {
        if ((pixel - d.pressPixel).manhattanLength() < QApplication::startDragDistance()) return;
        d.started = true;
    }
    const QPoint paper = view_.PaperPoint(pixel);
    const int dx = paper.x() - d.pressPaper.x();
    const int dDepth = paper.y() - d.pressPaper.y();
    const bool snap = !(modifiers & Qt::AltModifier);
    const bool free = modifiers & Qt::ShiftModifier;
    const int reach = PixelsToTwips(kSnapPixels, view_.dpiX());
    SnapResult r;
    if (d.handle == PictureHandle::Body) {
        r.rect = d.start;
        r.rect.left += dx;
        r.rect.depth += dDepth;
        if (snap) r = SnapMove(r.rect, d.targets, reach);
    } else {
        r.rect = ResizedRect(d.start, d.handle, dx, dDepth, free);
        if (snap) r = SnapResize(d.start, d.handle, r.rect, free, d.targets, reach);
    }
    const QRegion before = MarksRegion();
    guideX_ = r.guideX;
    guideDepth_ = r.guideDepth;
    Place(d.picture, r.rect);
    Repaint(before);
    emit selectionChanged(selected_);
}

bool PictureGestures::Release(QMouseEvent* event) {
    if (!drag_ || event->button() != Qt::LeftButton) return false;
    Finish();
    // The outline and name follow the pointer to where the drag ended.
    Hover(event->position().toPoint());
    return true;
}

void PictureGestures::Finish() {
    const bool resized = drag_->handle != PictureHandle::Body;
    const QRegion before = MarksRegion();
    drag_.reset();
    guideX_.reset();
    guideDepth_.reset();
    Repaint(before);
    Commit(resized ? tr("Resize Picture") : tr("Move Picture"));
}

void PictureGestures::Cancel() {
    const Drag d = *drag_;
    const QRegion before = MarksRegion() + PixelRect(PictureRectOf(document_.liner().pictures[static_cast<size_t>(d.picture)]), 1);
    drag_.reset();
    guideX_.reset();
    guideDepth_.reset();
    Place(d.picture, d.start);
    Repaint(before + PixelRect(d.start, 1));
    emit selectionChanged(selected_);
}

bool PictureGestures::DoubleClick(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    const QPoint paper = view_.PaperPoint(event->position().toPoint());
    const int picture = PictureAt(document_.liner(), paper.x(), paper.y());
    if (picture < 0) return false;
    if (drag_) Cancel();
    Select(picture);
    emit view_.commandRequested(kCmdFormatPictures);
    return true;
}

void PictureGestures::Leave() {
    if (!hoverArea_) return;
    const QRegion before = MarksRegion();
    hoverArea_.reset();
    hoverName_.clear();
    Repaint(before);
    emit areaHovered(QString());
}

void PictureGestures::Hover(QPoint pixel) {
    const QPoint paper = view_.PaperPoint(pixel);
    const std::optional<LinerArea> area = LinerAreaAt(document_.liner(), paper.x(), paper.y());
    const QString name = area ? QString::fromStdString(area->name) : QString();
    if (name == hoverName_ && (area.has_value() == hoverArea_.has_value())) return;
    const QRegion before = MarksRegion();
    hoverName_ = name;
    if (area) {
        hoverArea_ = area->rect;
    } else {
        hoverArea_.reset();
    }
    Repaint(before);
    emit areaHovered(name);
}

void PictureGestures::UpdateCursor(QPoint pixel) {
    const QPoint paper = view_.PaperPoint(pixel);
    const Liner& liner = document_.liner();
    PictureHandle h = PictureHandle::None;
    if (selected_ >= 0) {
        h = HandleAt(PictureRectOf(liner.pictures[static_cast<size_t>(selected_)]), paper.x(), paper.y(),
                     PixelsToTwips(kHandleReach, view_.dpiX()));
    }
    if (h == PictureHandle::None && PictureAt(liner, paper.x(), paper.y()) >= 0) h = PictureHandle::Body;
    if (h == PictureHandle::None) {
        view_.viewport()->unsetCursor();
    } else {
        view_.viewport()->setCursor(CursorFor(h));
    }
}

// ---- keys ----------------------------------------------------------------------------

bool PictureGestures::Key(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (drag_) {
        if (event->key() == Qt::Key_Escape) {
            Cancel();
            return true;
        }
        // Shift and Alt change the drag as soon as they go down.
        if (event->key() == Qt::Key_Shift || event->key() == Qt::Key_Alt) {
            Follow(drag_->lastPixel, mods | (event->key() == Qt::Key_Shift ? Qt::ShiftModifier : Qt::AltModifier));
        }
        return true;
    }
    if (selected_ < 0) return false;
    const int step = (mods & Qt::ShiftModifier) ? kBigNudge : kNudge;
    switch (event->key()) {
        case Qt::Key_Escape: ClearSelection(); return true;
        case Qt::Key_Delete: DeleteSelected(); return true;
        case Qt::Key_Left: Nudge(-step, 0); return true;
        case Qt::Key_Right: Nudge(step, 0); return true;
        case Qt::Key_Up: Nudge(0, -step); return true;
        case Qt::Key_Down: Nudge(0, step); return true;
        default: return false;
    }
}

bool PictureGestures::KeyRelease(QKeyEvent* event) {
    if (!drag_) return false;
    if (event->key() == Qt::Key_Shift || event->key() == Qt::Key_Alt) {
        Follow(drag_->lastPixel,
               event->modifiers() & ~(event->key() == Qt::Key_Shift ? Qt::ShiftModifier : Qt::AltModifier));
    }
    return true;
}

bool PictureGestures::Cycle(bool next) {
    const int n = static_cast<int>(document_.liner().pictures.size());
    if (n == 0 || drag_) return false;
    if (selected_ < 0) {
        Select(next ? 0 : n - 1);
    } else {
        Select((selected_ + (next ? 1 : n - 1)) % n);
    }
    return true;
}

void PictureGestures::Nudge(int dx, int dDepth) {
    if (burst_ == 0 || burstPicture_ != selected_ || !lastNudge_.isValid() || lastNudge_.elapsed() > kBurstPause) {
        burst_ = ++bursts_;
        burstPicture_ = selected_;
    }
    lastNudge_.restart();
    const QRegion before = MarksRegion();
    PicturePlace r = PictureRectOf(document_.liner().pictures[static_cast<size_t>(selected_)]);
    r.left += dx;
    r.depth += dDepth;
    Place(selected_, r);
    Repaint(before);
    const quint64 burst = burst_;
    document_.CommitInBurst(tr("Move Picture"), LinerDocument::kPictures, burst);
    burst_ = burst;  // the step's own signals do not end the run
}

// ---- changes -------------------------------------------------------------------------

void PictureGestures::Place(int index, const PicturePlace& rect) {
    Liner& liner = document_.liner();
    SetPictureRect(liner.pictures[static_cast<size_t>(index)], rect, liner.defaultUnits);
}

void PictureGestures::Commit(const QString& name) {
    burst_ = 0;
    document_.Commit(name, LinerDocument::kPictures);
}

bool PictureGestures::DeleteSelected() {
    Liner& liner = document_.liner();
    if (selected_ < 0 || selected_ >= static_cast<int>(liner.pictures.size()) || !view_.prompter()) return false;
    const std::string name = PictureDisplayName(liner.pictures[static_cast<size_t>(selected_)].fileName);
    const MessageResult answer =
        ShowMessage(*view_.prompter(), MessageOwner::MainWindow(),
                    {MessageIcon::Question, MessageButtons::YesNo, false}, IDS_DELETE_PICTURE, {name});
    if (answer != MessageResult::Yes) return false;
    const int index = selected_;
    ClearSelection();
    liner.pictures.erase(liner.pictures.begin() + index);
    view_.ForgetPicture(static_cast<size_t>(index));
    Commit(tr("Delete Picture"));
    return true;
}

void PictureGestures::BringToFront() {
    if (!MovePictureInOrder(document_.liner(), selected_, true)) return;
    selected_ = static_cast<int>(document_.liner().pictures.size()) - 1;
    Commit(tr("Bring to Front"));
    emit selectionChanged(selected_);
}

void PictureGestures::SendToBack() {
    if (!MovePictureInOrder(document_.liner(), selected_, false)) return;
    selected_ = 0;
    Commit(tr("Send to Back"));
    emit selectionChanged(selected_);
}

void PictureGestures::FitToArea() {
    if (selected_ < 0) return;
    const Picture& p = document_.liner().pictures[static_cast<size_t>(selected_)];
    const PicturePlace area = AreaForPicture(document_.liner(), PictureRectOf(p));
    PicturePlace fitted = FitPictureInside(area, p.naturalWidth.twips, p.naturalHeight.twips);
    // A mirrored picture stays mirrored.
    const PicturePlace now = PictureRectOf(p);
    if (now.width < 0) fitted = {fitted.left + fitted.width, fitted.depth, -fitted.width, fitted.height};
    if (now.height < 0) fitted = {fitted.left, fitted.depth + fitted.height, fitted.width, -fitted.height};
    Place(selected_, fitted);
    Commit(tr("Fit to Area"));
}

void PictureGestures::NaturalSize() {
    if (selected_ < 0) return;
    const Picture& p = document_.liner().pictures[static_cast<size_t>(selected_)];
    PicturePlace r = PictureRectOf(p);
    r.width = std::abs(p.naturalWidth.twips) * (r.width < 0 ? -1 : 1);
    r.height = std::abs(p.naturalHeight.twips) * (r.height < 0 ? -1 : 1);
    Place(selected_, r);
    Commit(tr("Natural Size"));
}

QMenu* PictureGestures::MakeMenu(QPoint pixel) {
    const QPoint paper = view_.PaperPoint(pixel);
    const Liner& liner = document_.liner();
    const int picture = PictureAt(liner, paper.x(), paper.y());
    if (picture < 0) return nullptr;
    if (drag_) Cancel();
    Select(picture);
    delete menu_;
    auto* menu = new QMenu(&view_);
    menu->setObjectName("POPUP_PICTURE");
    const Picture& p = liner.pictures[static_cast<size_t>(picture)];
    const int last = static_cast<int>(liner.pictures.size()) - 1;
    auto add = [&](const QString& text, const char* name, bool enabled, void (PictureGestures::*run)()) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, run);
    };
    add(tr("Bring to &Front"), "BringToFront", picture < last, &PictureGestures::BringToFront);
    add(tr("Send to &Back"), "SendToBack", picture > 0, &PictureGestures::SendToBack);
    menu->addSeparator();
    add(tr("F&it to Area"), "FitToArea", p.naturalWidth.twips != 0 && p.naturalHeight.twips != 0,
        &PictureGestures::FitToArea);
    add(tr("&Natural Size"), "NaturalSize", p.naturalWidth.twips != 0 && p.naturalHeight.twips != 0,
        &PictureGestures::NaturalSize);
    menu->addSeparator();
    QAction* remove = menu->addAction(tr("&Delete"));
    remove->setObjectName("DeletePicture");
    remove->setEnabled(view_.prompter() != nullptr);
    connect(remove, &QAction::triggered, this, [this] { DeleteSelected(); });
    QAction* format = menu->addAction(tr("F&ormat..."));
    format->setObjectName("FormatPicture");
    connect(format, &QAction::triggered, this, [this] { emit view_.commandRequested(kCmdFormatPictures); });
    menu_ = menu;
    return menu;
}

void PictureGestures::ShowDropPlace(std::optional<PicturePlace> place) {
    const bool same = place.has_value() == dropPlace_.has_value() &&
                      (!place || (place->left == dropPlace_->left && place->depth == dropPlace_->depth &&
                                  place->width == dropPlace_->width && place->height == dropPlace_->height));
    if (same) return;
    const QRegion before = MarksRegion();
    dropPlace_ = place;
    Repaint(before);
}

// ---- drawing -------------------------------------------------------------------------

void PictureGestures::Paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const Liner& liner = document_.liner();
    if (hoverArea_ && !drag_) {
        painter.setPen(QPen(kHoverColour, 1));
        painter.drawRect(PixelRect(*hoverArea_).adjusted(0, 0, -1, -1));
    }
    if (dropPlace_) {
        const QRect r = PixelRect(*dropPlace_);
        painter.fillRect(r, QColor(kDropColour.red(), kDropColour.green(), kDropColour.blue(), 40));
        painter.setPen(QPen(kDropColour, 1, Qt::DashLine));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    if (selected_ >= 0 && selected_ < static_cast<int>(liner.pictures.size())) {
        const PicturePlace place = PictureRectOf(liner.pictures[static_cast<size_t>(selected_)]);
        const QRect r = PixelRect(place).adjusted(0, 0, -1, -1);
        // White under black dashes shows on any picture.
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(r);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(r);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::white);
        for (PictureHandle h : kPictureHandles) {
            const TwipSpot s = HandleSpot(place, h);
            const QPoint c = view_.PixelOf(s.x, s.depth);
            painter.drawRect(QRect(c.x() - kHandleSize / 2, c.y() - kHandleSize / 2, kHandleSize - 1, kHandleSize - 1));
        }
        painter.setBrush(Qt::NoBrush);
    }
    painter.setPen(QPen(kGuideColour, 1));
    const QRect all = painter.viewport();
    if (guideX_) {
        const int x = view_.PixelOf(*guideX_, 0).x();
        painter.drawLine(x, all.top(), x, all.bottom());
    }
    if (guideDepth_) {
        const int y = view_.PixelOf(0, *guideDepth_).y();
        painter.drawLine(all.left(), y, all.right(), y);
    }
    painter.restore();
}
