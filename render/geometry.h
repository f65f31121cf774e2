// Where every area, line and mark of a liner lies, in twips, and how twips
// map to a device.  Pure functions: the painter, the view's hit test and
// printing draw or test against these numbers; nothing here touches a device.
//
// Liner coordinates: origin at the paper's top-left corner, x to the right,
// y upward, so every point of the paper has y <= 0.  The routines below work
// in depth d = -y (distance below the top edge); TwipPoint::y() gives the
// drawing coordinate.  Every line is drawn from its first point towards its
// last, the last point itself not drawn.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "document/liner.h"

// How the cut and fold lines are drawn (Liner::cutLineStyle, foldLineStyle).
enum LineStyle : uint16_t {
    kLineSolid = 0,
    kLineDashed = 1,
    kLineDotted = 2,
    kLineDashDot = 3,
    kLineDashDotDot = 4,
    kLineNone = 5,  // drawn with a null pen: the lines exist, nothing shows
    kLineCropMarks = 6,
};
constexpr int kLineStyleCount = 7;

// Arm length of a crop mark and half length of a fold-mark tick (3/64 inch).
constexpr int kMarkLength = 69;

struct TwipPoint {
    int x = 0;
    int depth = 0;  // below the top edge of the paper

    constexpr int y() const { return -depth; }
    bool operator==(const TwipPoint&) const = default;
};

struct TwipSegment {
    TwipPoint from, to;

    bool operator==(const TwipSegment&) const = default;
};

using TwipPolyline = std::vector<TwipPoint>;

// A band of the paper in depth: [top, bottom).
struct DepthSpan {
    int top = 0;
    int bottom = 0;

    constexpr int height() const { return bottom - top; }
    constexpr bool contains(int depth) const { return depth >= top && depth < bottom; }
    bool operator==(const DepthSpan&) const = default;
};

// A rectangle in x and depth, right and bottom exclusive.
struct TwipRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const TwipRect&) const = default;
};

// The geometry fields of a Liner as the routines below use them, with the
// derived positions.  Lengths and the overflow count below zero (possible
// only from a damaged file or a Repeat value above 32767) count as zero, and
// the total height is summed in full precision rather than in 16 bits, so the
// stack always runs downward from the top edge to the bottom edge.
struct LinerGeometry {
    int width = 0;           // W
    int flapHeight = 0;      // F
    int titleHeight = 0;     // T
    int primaryHeight = 0;   // P
    int overflowHeight = 0;  // O
    int overflowCount = 0;   // R
    int totalHeight = 0;     // H = R * O + F + T + P
    uint16_t cutLineStyle = kLineSolid;
    uint16_t foldLineStyle = kLineSolid;
    bool invertImage = false;
    bool oneUpSides = false;
    bool bisectSides = false;
    bool bisectArea = false;
    bool splitTitle = false;

    // Derived positions, in either order (depth of each area's top edge).
    int flapTop = 0;
    int titleTop = 0;
    int primaryTop = 0;
    // Top of overflow area 0: the primary bottom in the normal order.  With no
    // overflow areas it is only where one would begin.
    int firstOverflowTop = 0;
};

LinerGeometry ComputeLinerGeometry(const Liner& liner);

// Whether the Liner's heights sum to at most 32767 twips, i.e. whether
// Liner::totalHeight() (formed in 16 bits) is the true height.  A format
// that fails this should be refused before it is applied.
bool TotalHeightFits(const Liner& liner);

// ---- Area stack -----------------------------------------------------------

DepthSpan FlapSpan(const LinerGeometry& g);
DepthSpan TitleSpan(const LinerGeometry& g);
DepthSpan PrimarySpan(const LinerGeometry& g);
// Overflow area k, 0 <= k < overflowCount (k is not checked).
DepthSpan OverflowSpan(const LinerGeometry& g, int k);
// The song area of an overflow index as the song flow counts it: 0 is the
// primary area, k >= 1 overflow area k - 1.
DepthSpan SongAreaSpan(const LinerGeometry& g, int overflowIndex);

// Any area across the full width of the paper.
TwipRect AreaRect(const LinerGeometry& g, DepthSpan span);
// The paper including both edge lines: W + 1 by H + 1 twips.
TwipRect PaperRect(const LinerGeometry& g);

// ---- Cut and fold lines ---------------------------------------------------

// The outline as one closed polyline (styles other than crop marks), or the
// four L-shaped crop marks, each one polyline: top-left, bottom-left,
// bottom-right, top-right.
std::vector<TwipPolyline> CutLines(const LinerGeometry& g);

// Depths of the fold lines in drawing order: flap/title, title/primary, then
// the top edge of each overflow area (none when the overflow height is 0).
std::vector<int> FoldPositions(const LinerGeometry& g);

// The fold lines (x = 0 to W at each fold position), or with crop marks four
// ticks per fold: left vertical, left horizontal, right vertical, right
// horizontal.
std::vector<TwipSegment> FoldLines(const LinerGeometry& g);

// The line through the middle of the title area, when splitTitle is set.
std::optional<TwipSegment> SplitTitleLine(const LinerGeometry& g);

// ---- Song columns and bisect lines ----------------------------------------

// Whether songs in a font of this rotation (degrees) use the turned layout.
bool IsTurnedRotation(int rotation);

struct SongColumn {
    int x = 0;
    int firstSongDepth = 0;  // not meaningful when the column continues Side A
};

struct SongColumns {
    int width = 0;  // w: (W + 1) div 2, or W + 1 with oneUpSides
    SongColumn sideA;
    SongColumn sideB;
    // With oneUpSides Side B starts at x = 0 below Side A's last row and
    // continues Side A's overflow sequence; its start depth is known only
    // after Side A has been laid out.
    bool sideBContinuesSideA = false;
};

// Upright layout.  The margins are the `top` of Side A's and Side B's
// primary AreaFormat.
SongColumns ComputeSongColumns(const LinerGeometry& g, int sideAPrimaryTop, int sideBPrimaryTop);
SongColumns ComputeSongColumns(const LinerGeometry& g, const Liner& liner);

// The text extent of a song in a column: [x + left, x + w - right).
struct RowExtent {
    int left = 0;
    int width = 0;
};
RowExtent SongRowExtent(const SongColumns& columns, const SongColumn& column,
                        const AreaFormat& format);

// The bisect lines for a song font of the given rotation: Bisect Area when
// bisectArea is set, else Bisect Sides when bisectSides is set, else none.
// Side A's primary and overflow formats give the insets of Bisect Sides.
std::vector<TwipSegment> BisectLines(const LinerGeometry& g, int rotation,
                                     const AreaFormat& sideAPrimary,
                                     const AreaFormat& sideAOverflow);
std::vector<TwipSegment> BisectLines(const LinerGeometry& g, const Liner& liner, int rotation);

// ---- Side letters ---------------------------------------------------------

// Where a side letter hangs: the depth its own `top` margin counts from and
// the edge its `side` margin counts from.
struct SideLetterAnchor {
    bool rightEdge = false;
    int depth = 0;
};

// A-Flap and B-Flap hang from the flap top, A-Primary and B-Primary from the
// primary top; Side B's letters sit at the right edge.  With oneUpSides the
// B-Primary letter sits at the left edge at `depthBelowSideA`, the depth
// below Side A's last song.
SideLetterAnchor SideLetterPlace(const LinerGeometry& g, SideLetterLocation location,
                                 int depthBelowSideA = 0);

// The x of a letter `letterWidth` wide: `side` on the left, W - side -
// letterWidth + 1 on the right.
int SideLetterX(const LinerGeometry& g, const SideLetterAnchor& anchor, int side, int letterWidth);

// ---- Mapping to a device --------------------------------------------------

struct DevicePoint {
    int x = 0;
    int y = 0;

    bool operator==(const DevicePoint&) const = default;
};

// A point in a context's logical coordinates: twips, y upward.
struct LogicalPoint {
    int x = 0;
    int y = 0;

    bool operator==(const LogicalPoint&) const = default;
};

// One twip per logical unit, y upward, on a device of the given resolution;
// `origin` is the device pixel where logical (0, 0) lies.  Device pixels are
// rounded to the nearest, halves away from zero.
struct TwipMapping {
    int dpiX = 96;
    int dpiY = 96;
    DevicePoint origin;
};

TwipMapping MakeTwipMapping(int dpiX, int dpiY);

DevicePoint TwipsToDevice(const TwipMapping& m, LogicalPoint p);
inline DevicePoint TwipsToDevice(const TwipMapping& m, TwipPoint p) {
    return TwipsToDevice(m, LogicalPoint{p.x, p.y()});
}
LogicalPoint DeviceToTwips(const TwipMapping& m, DevicePoint p);

// Lengths, without the origin and the sign of y.
int TwipsToPixels(int twips, int dpi);
int PixelsToTwips(int pixels, int dpi);

// Moves the origin so that logical point `p` (in the mapping as it is) becomes
// the new logical (0, 0), as when a liner is drawn with its top-left corner
// at p.  Returns the previous origin, for RestoreOrigin.
DevicePoint MoveOriginTo(TwipMapping& m, LogicalPoint p);
inline void RestoreOrigin(TwipMapping& m, DevicePoint previous) {
    m.origin = previous;
}
