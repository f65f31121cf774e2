// Pictures arranged on the liner by hand: which picture or handle lies under
// a point, how a drag moves or resizes a picture, and what its edges snap
// to.  Pure functions over the Liner's geometry, in twips (x from the
// paper's left edge, depth below its top edge); the view turns pointer and
// keys into these numbers and draws what they give.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/liner.h"
#include "pictures/picture_host.h"

// The parts of a selected picture a drag can take hold of.
enum class PictureHandle {
    None,
    Body,  // inside the picture: a move
    TopLeft,
    Top,
    TopRight,
    Right,
    BottomRight,
    Bottom,
    BottomLeft,
    Left,
};

// The eight handles in drawing order, corners first.
constexpr PictureHandle kPictureHandles[] = {
    PictureHandle::TopLeft, PictureHandle::TopRight,    PictureHandle::BottomRight, PictureHandle::BottomLeft,
    PictureHandle::Top,     PictureHandle::Right,       PictureHandle::Bottom,      PictureHandle::Left,
};

bool IsCornerHandle(PictureHandle handle);

// A picture's rectangle as it is drawn: left and depth of its top-left
// corner, width and height as stored (either sign; top and height are held
// negated in the Picture).
PicturePlace PictureRectOf(const Picture& picture);

// Stores a rectangle into the picture, each length in the liner's default
// unit with exactly these twips.  Lengths that did not change keep their
// Measurement as it was typed.
void SetPictureRect(Picture& picture, const PicturePlace& rect, int defaultUnit);

// A Measurement in the default unit holding exactly `twips` (clamped to 16
// bits): three decimals where they suffice, four where they do not.
Measurement ExactLength(int twips, int defaultUnit);

// The centre of a handle on a rectangle, as (x, depth).
struct TwipSpot {
    int x = 0;
    int depth = 0;
};
TwipSpot HandleSpot(const PicturePlace& rect, PictureHandle handle);

// The topmost picture (the last drawn) whose rectangle holds the point, or -1.
int PictureAt(const Liner& liner, int x, int depth);

// The handle of `rect` within `reach` twips of the point, else Body when the
// point is inside the rectangle, else None.
PictureHandle HandleAt(const PicturePlace& rect, int x, int depth, int reach);

// The smallest width or height a resize leaves (one point).
constexpr int kSmallestPictureSide = 20;

// `start` dragged by its handle by (dx, dDepth).  An edge handle moves that
// edge only; a corner moves two, keeping the proportions of `start` unless
// `free`.  The corner or edge opposite the handle stays where it was.
PicturePlace ResizedRect(const PicturePlace& start, PictureHandle handle, int dx, int dDepth, bool free);

// What edges snap to: x positions across the paper and depths down it.
struct SnapTargets {
    std::vector<int> xs;
    std::vector<int> depths;
};

// The panel edges and fold lines, the areas' margins, the centre lines of the
// liner and of each panel, and the edges of every picture but `skip`.
SnapTargets CollectSnapTargets(const Liner& liner, int skip);

// A snapped drag: how far the rectangle moved to meet its targets, and the
// lines it met (for the guides).
struct SnapResult {
    PicturePlace rect;
    std::optional<int> guideX;
    std::optional<int> guideDepth;
};

// A moved rectangle: its left and right edges and its centre line are
// tried against the targets in each direction, the nearest within `reach`
// twips wins.
SnapResult SnapMove(const PicturePlace& moved, const SnapTargets& targets, int reach);

// A resized rectangle (`resized` = ResizedRect(start, handle, ...)): the
// edges the handle moves are snapped; a corner keeping proportions snaps
// the nearer of its two edges and takes the other from the proportions.
SnapResult SnapResize(const PicturePlace& start, PictureHandle handle, const PicturePlace& resized, bool free,
                      const SnapTargets& targets, int reach);

// The areas of the liner as a pointer names them: the feature flap, the
// title, the primary and the overflow song areas, each across the paper.
struct LinerArea {
    std::string name;  // "Feature flap", "Title", "Primary songs", "Overflow songs 2"
    PicturePlace rect;
};
std::vector<LinerArea> LinerAreas(const Liner& liner);
// The area under a point (x, depth), if any.
std::optional<LinerArea> LinerAreaAt(const Liner& liner, int x, int depth);

// The area a picture fits into with Fit to Area: the one holding its centre,
// else the one it overlaps most, else the whole paper.
PicturePlace AreaForPicture(const Liner& liner, const PicturePlace& rect);

// Picture `index` moved to the end of the drawing order (front) or the start
// (back).  False when it is there already or out of range.
bool MovePictureInOrder(Liner& liner, int index, bool toFront);
