#include "render/geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

int NonNegative(int value) {
    return std::max(value, 0);
}

int ClampToInt(long long value) {
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Mirrors a band about the paper's height when the stack is inverted.
DepthSpan Place(const LinerGeometry& g, int top, int bottom) {
    if (!g.invertImage) return {top, bottom};
    return {g.totalHeight + 1 - bottom, g.totalHeight + 1 - top};
}

// Normal-order bounds of the areas.
int NormalOverflowTop(const LinerGeometry& g, int k) {
    // k is at most overflowCount for real areas; anything larger is clamped
    // rather than allowed to overflow.
    return ClampToInt(static_cast<long long>(g.flapHeight) + g.titleHeight + g.primaryHeight +
                      static_cast<long long>(k) * g.overflowHeight);
}

TwipSegment Line(int x0, int d0, int x1, int d1) {
    return {{x0, d0}, {x1, d1}};
}

// Overflow areas that get their own fold and bisect lines: none when the
// overflow height is 0, however many there are.
int LinedOverflowCount(const LinerGeometry& g) {
    return g.overflowHeight == 0 ? 0 : g.overflowCount;
}

// value * num / den rounded to the nearest, halves away from zero; den > 0.
int ScaleRounded(long long value, long long num, long long den) {
    long long product = value * num;
    long long half = den / 2;
    long long q = product >= 0 ? (product + half) / den : -((-product + half) / den);
    return ClampToInt(q);
}

// A resolution of zero or below would divide by zero; such a device is
// treated as one pixel per inch.
long long Dpi(int dpi) {
    return std::max(dpi, 1);
}

}  // namespace

LinerGeometry ComputeLinerGeometry(const Liner& liner) {
    LinerGeometry g;
    g.width = NonNegative(liner.width.twips);
    g.flapHeight = NonNegative(liner.flapHeight.twips);
    g.titleHeight = NonNegative(liner.titleHeight.twips);
    g.primaryHeight = NonNegative(liner.primaryHeight.twips);
    g.overflowHeight = NonNegative(liner.overflowHeight.twips);
    g.overflowCount = NonNegative(liner.overflowCount);
    // At most 32767 * 32767 + 3 * 32767: fits an int.
    g.totalHeight =
        g.overflowCount * g.overflowHeight + g.flapHeight + g.titleHeight + g.primaryHeight;
    g.cutLineStyle = liner.cutLineStyle;
    g.foldLineStyle = liner.foldLineStyle;
    g.invertImage = liner.invertImage != 0;
    g.oneUpSides = liner.oneUpSides != 0;
    g.bisectSides = liner.bisectSides != 0;
    g.bisectArea = liner.bisectArea != 0;
    g.splitTitle = liner.splitTitle != 0;

    g.flapTop = FlapSpan(g).top;
    g.titleTop = TitleSpan(g).top;
    g.primaryTop = PrimarySpan(g).top;
    g.firstOverflowTop = OverflowSpan(g, 0).top;
    return g;
}

bool TotalHeightFits(const Liner& liner) {
    long long sum = static_cast<long long>(liner.overflowCount) * liner.overflowHeight.twips +
                    liner.flapHeight.twips + liner.titleHeight.twips + liner.primaryHeight.twips;
    return sum >= std::numeric_limits<int16_t>::min() && sum <= std::numeric_limits<int16_t>::max();
}

// ---- Area stack -------------------------------------------------------------

DepthSpan FlapSpan(const LinerGeometry& g) {
    return Place(g, 0, g.flapHeight);
}

DepthSpan TitleSpan(const LinerGeometry& g) {
    return Place(g, g.flapHeight, g.flapHeight + g.titleHeight);
}

DepthSpan PrimarySpan(const LinerGeometry& g) {
    int top = g.flapHeight + g.titleHeight;
    return Place(g, top, top + g.primaryHeight);
}

DepthSpan OverflowSpan(const LinerGeometry& g, int k) {
    return Place(g, NormalOverflowTop(g, k), NormalOverflowTop(g, k + 1));
}

DepthSpan SongAreaSpan(const LinerGeometry& g, int overflowIndex) {
    return overflowIndex <= 0 ? PrimarySpan(g) : OverflowSpan(g, overflowIndex - 1);
}

TwipRect AreaRect(const LinerGeometry& g, DepthSpan span) {
    return {0, span.top, g.width + 1, span.bottom};
}

TwipRect PaperRect(const LinerGeometry& g) {
    return {0, 0, g.width + 1, g.totalHeight + 1};
}

// ---- Cut and fold lines -----------------------------------------------------

std::vector<TwipPolyline> CutLines(const LinerGeometry& g) {
    const int right = g.width + 1;
    const int bottom = g.totalHeight + 1;
    if (g.cutLineStyle != kLineCropMarks) {
        return {{{0, 0}, {right, 0}, {right, bottom}, {0, bottom}, {0, 0}}};
    }
    const int W = g.width;
    const int H = g.totalHeight;
    const int arm = kMarkLength;
    return {
        {{arm, 0}, {0, 0}, {0, arm}},
        {{0, H - (arm - 1)}, {0, bottom}, {arm, bottom}},
        {{W - (arm - 1), bottom}, {right, bottom}, {right, H - (arm - 1)}},
        {{right, arm}, {right, 0}, {W - (arm - 1), 0}},
    };
}

std::vector<int> FoldPositions(const LinerGeometry& g) {
    const int lined = LinedOverflowCount(g);
    std::vector<int> positions;
    positions.reserve(2 + static_cast<size_t>(lined));
    if (g.invertImage) {
        positions.push_back(FlapSpan(g).top);
        positions.push_back(TitleSpan(g).top);
        for (int k = 0; k < lined; ++k) positions.push_back(OverflowSpan(g, k).bottom);
    } else {
        positions.push_back(TitleSpan(g).top);
        positions.push_back(PrimarySpan(g).top);
        for (int k = 0; k < lined; ++k) positions.push_back(OverflowSpan(g, k).top);
    }
    return positions;
}

std::vector<TwipSegment> FoldLines(const LinerGeometry& g) {
    const std::vector<int> positions = FoldPositions(g);
    const int W = g.width;
    const int tick = kMarkLength;
    std::vector<TwipSegment> lines;
    if (g.foldLineStyle != kLineCropMarks) {
        lines.reserve(positions.size());
        for (int d : positions) lines.push_back(Line(0, d, W, d));
        return lines;
    }
    lines.reserve(positions.size() * 4);
    for (int d : positions) {
        lines.push_back(Line(0, d - tick, 0, d + tick));
        lines.push_back(Line(0, d, tick, d));
        lines.push_back(Line(W, d - tick, W, d + tick));
        lines.push_back(Line(W, d, W - tick, d));
    }
    return lines;
}

std::optional<TwipSegment> SplitTitleLine(const LinerGeometry& g) {
    if (!g.splitTitle) return std::nullopt;
    const int d = g.titleTop + g.titleHeight / 2;
    return Line(0, d, g.width + 1, d);
}

// ---- Song columns and bisect lines ------------------------------------------

bool IsTurnedRotation(int rotation) {
    return rotation == 90 || rotation == 270;
}

SongColumns ComputeSongColumns(const LinerGeometry& g, int sideAPrimaryTop, int sideBPrimaryTop) {
    SongColumns c;
    c.sideA = {0, g.primaryTop + sideAPrimaryTop};
    if (g.oneUpSides) {
        c.width = g.width + 1;
        c.sideB = {0, c.sideA.firstSongDepth};
        c.sideBContinuesSideA = true;
    } else {
        c.width = (g.width + 1) / 2;
        c.sideB = {c.width, g.primaryTop + sideBPrimaryTop};
    }
    return c;
}

SongColumns ComputeSongColumns(const LinerGeometry& g, const Liner& liner) {
    return ComputeSongColumns(g, liner.songFormats[kSideAPrimaryArea].top.twips,
                              liner.songFormats[kSideBPrimaryArea].top.twips);
}

RowExtent SongRowExtent(const SongColumns& columns, const SongColumn& column,
                        const AreaFormat& format) {
    return {column.x + format.left.twips, columns.width - format.right.twips - format.left.twips};
}

std::vector<TwipSegment> BisectLines(const LinerGeometry& g, int rotation,
                                     const AreaFormat& sideAPrimary,
                                     const AreaFormat& sideAOverflow) {
    std::vector<TwipSegment> lines;
    if (!g.bisectArea && !g.bisectSides) return lines;
    const int lined = LinedOverflowCount(g);
    const DepthSpan primary = PrimarySpan(g);

    if (!IsTurnedRotation(rotation)) {
        const int x = (g.width + 1) / 2;
        if (g.bisectArea) {
            // The whole song region, without margins.
            if (g.invertImage) {
                lines.push_back(Line(x, 0, x, primary.bottom));
            } else {
                lines.push_back(Line(x, primary.top, x, g.totalHeight + 1));
            }
            return lines;
        }
        // A font turned upside down puts its top margin at the bottom.
        auto inset = [&](DepthSpan area, const AreaFormat& f) {
            int upper = rotation == 0 ? f.top.twips : f.bottom.twips;
            int lower = rotation == 0 ? f.bottom.twips : f.top.twips;
            return Line(x, area.top + upper, x, area.bottom - lower);
        };
        lines.reserve(1 + static_cast<size_t>(lined));
        lines.push_back(inset(primary, sideAPrimary));
        for (int k = 0; k < lined; ++k) lines.push_back(inset(OverflowSpan(g, k), sideAOverflow));
        return lines;
    }

    // Turned: Side A above Side B in each area, split at half its height.
    auto across = [&](int d, const AreaFormat& f) {
        if (g.bisectArea) return Line(0, d, g.width + 1, d);
        int a = rotation == 90 ? f.bottom.twips : f.top.twips;
        int b = rotation == 90 ? f.top.twips : f.bottom.twips;
        return Line(a, d, g.width + 1 - b, d);
    };
    lines.reserve(1 + static_cast<size_t>(lined));
    lines.push_back(across(primary.top + g.primaryHeight / 2, sideAPrimary));
    for (int k = 0; k < lined; ++k) {
        const DepthSpan area = OverflowSpan(g, k);
        const int d =
            g.invertImage ? area.bottom - g.overflowHeight / 2 : area.top + g.overflowHeight / 2;
        lines.push_back(across(d, sideAOverflow));
    }
    return lines;
}

std::vector<TwipSegment> BisectLines(const LinerGeometry& g, const Liner& liner, int rotation) {
    return BisectLines(g, rotation, liner.songFormats[kSideAPrimaryArea],
                       liner.songFormats[kSideAOverflowArea]);
}

// ---- Side letters -----------------------------------------------------------

SideLetterAnchor SideLetterPlace(const LinerGeometry& g, SideLetterLocation location,
                                 int depthBelowSideA) {
    switch (location) {
        case kSideAFlap:
            return {false, g.flapTop};
        case kSideBFlap:
            return {true, g.flapTop};
        case kSideAPrimary:
            return {false, g.primaryTop};
        case kSideBPrimary:
            if (g.oneUpSides) return {false, depthBelowSideA};
            return {true, g.primaryTop};
    }
    return {false, g.flapTop};
}

int SideLetterX(const LinerGeometry& g, const SideLetterAnchor& anchor, int side, int letterWidth) {
    return anchor.rightEdge ? g.width - side - letterWidth + 1 : side;
}

// ---- Mapping to a device ----------------------------------------------------

TwipMapping MakeTwipMapping(int dpiX, int dpiY) {
    return {dpiX, dpiY, {0, 0}};
}

DevicePoint TwipsToDevice(const TwipMapping& m, LogicalPoint p) {
    // Window extent (1440, -1440) against a viewport of (dpiX, dpiY).
    return {ClampToInt(m.origin.x + static_cast<long long>(ScaleRounded(p.x, Dpi(m.dpiX), 1440))),
            ClampToInt(m.origin.y - static_cast<long long>(ScaleRounded(p.y, Dpi(m.dpiY), 1440)))};
}

LogicalPoint DeviceToTwips(const TwipMapping& m, DevicePoint p) {
    long long dx = static_cast<long long>(p.x) - m.origin.x;
    long long dy = static_cast<long long>(m.origin.y) - p.y;
    return {ScaleRounded(dx, 1440, Dpi(m.dpiX)), ScaleRounded(dy, 1440, Dpi(m.dpiY))};
}

int TwipsToPixels(int twips, int dpi) {
    return ScaleRounded(twips, Dpi(dpi), 1440);
}

int PixelsToTwips(int pixels, int dpi) {
    return ScaleRounded(pixels, 1440, Dpi(dpi));
}

DevicePoint MoveOriginTo(TwipMapping& m, LogicalPoint p) {
    DevicePoint previous = m.origin;
    m.origin = TwipsToDevice(m, p);
    return previous;
}
