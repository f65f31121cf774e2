// The view's hand on the pictures: selecting, moving, resizing and nudging
// them with the pointer and the keys, snapping while dragging, the picture
// menu, and the marks drawn over the liner for all of it (handles, dashed
// outline, guides, the hovered area, the place a dropped picture will take).
// Each finished gesture becomes one step of the document.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QString>
#include <optional>

#include "render/picture_gestures.h"

class LinerDocument;
class LinerView;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class QPainter;

class PictureGestures : public QObject {
    Q_OBJECT

public:
    PictureGestures(LinerView& view, LinerDocument& document);

    // The selected picture, or -1.
    int selected() const { return selected_; }
    void Select(int index);
    void ClearSelection() { Select(-1); }
    bool dragging() const { return drag_.has_value(); }
    // The lines the last snap met, while a drag lasts.
    std::optional<int> guideX() const { return guideX_; }
    std::optional<int> guideDepth() const { return guideDepth_; }

    // Pointer and keys, in viewport pixels; true when the event was taken.
    bool Press(QMouseEvent* event);
    bool Move(QMouseEvent* event);
    bool Release(QMouseEvent* event);
    bool DoubleClick(QMouseEvent* event);
    bool Key(QKeyEvent* event);
    bool KeyRelease(QKeyEvent* event);
    // Tab and Shift+Tab: the next or previous picture.
    bool Cycle(bool next);
    // The pointer left the view.
    void Leave();

    // The menu of the picture under a pixel (selecting it), or nullptr.
    QMenu* MakeMenu(QPoint pixel);
    QMenu* lastMenu() const { return menu_; }

    // Deletes the selected picture after asking; true when it went.
    bool DeleteSelected();
    // The menu's commands on the selected picture.
    void BringToFront();
    void SendToBack();
    void FitToArea();
    void NaturalSize();

    // A picture file is being dragged over the view: where it would land
    // (twips), or nothing.
    void ShowDropPlace(std::optional<PicturePlace> place);
    std::optional<PicturePlace> dropPlace() const { return dropPlace_; }

    // Draws the marks over the liner; the painter is in viewport pixels.
    void Paint(QPainter& painter) const;

signals:
    // The selection changed, or the selected picture moved or changed size.
    void selectionChanged(int index);
    // The pointer is over a named area ("" when over none).
    void areaHovered(const QString& name);

private:
    struct Drag {
        int picture = -1;
        PictureHandle handle = PictureHandle::None;
        QPoint pressPixel;
        QPoint pressPaper;
        PicturePlace start;
        bool started = false;  // went beyond the drag distance
        QPoint lastPixel;
        SnapTargets targets;
    };

    void Follow(QPoint pixel, Qt::KeyboardModifiers modifiers);
    void Finish();
    void Cancel();
    void Nudge(int dx, int dDepth);
    // Stores a picture's new rectangle, live (not a step yet).
    void Place(int index, const PicturePlace& rect);
    // One whole change of the selected picture as one step.
    void Commit(const QString& name);
    void FollowDocument();
    // The part of the viewport the marks of the selection, the guides and
    // the hovered area cover now; repainted before and after a change.
    QRegion MarksRegion() const;
    void Repaint(const QRegion& before);
    QRect PixelRect(const PicturePlace& rect, int grow = 0) const;
    void UpdateCursor(QPoint pixel);
    void Hover(QPoint pixel);

    LinerView& view_;
    LinerDocument& document_;
    int selected_ = -1;
    std::optional<Drag> drag_;
    std::optional<int> guideX_, guideDepth_;
    std::optional<PicturePlace> hoverArea_;
    std::optional<PicturePlace> dropPlace_;
    QString hoverName_;
    // A run of arrow presses is one step: the runs are numbered.
    quint64 burst_ = 0;
    quint64 bursts_ = 0;
    int burstPicture_ = -1;
    QElapsedTimer lastNudge_;
    QPointer<QMenu> menu_;
};
