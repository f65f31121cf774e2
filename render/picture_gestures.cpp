#include "render/picture_gestures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "document/measurement.h"
#include "render/geometry.h"

namespace {

// The rectangle as it shows on the paper: left <= right, top <= bottom.
struct Box {
    int left, top, right, bottom;
};

Box BoxOf(const PicturePlace& r) {
    return {std::min(r.left, r.left + r.width), std::min(r.depth, r.depth + r.height),
            std::max(r.left, r.left + r.width), std::max(r.depth, r.depth + r.height)};
}

// Back from a box to a rectangle with the signs `like` had, so that a
// mirrored picture stays mirrored.
PicturePlace PlaceOf(const Box& b, const PicturePlace& like) {
    PicturePlace r;
    r.width = like.width < 0 ? b.left - b.right : b.right - b.left;
    r.left = like.width < 0 ? b.right : b.left;
    r.height = like.height < 0 ? b.top - b.bottom : b.bottom - b.top;
    r.depth = like.height < 0 ? b.bottom : b.top;
    return r;
}

bool MovesLeft(PictureHandle h) {
    return h == PictureHandle::TopLeft || h == PictureHandle::Left || h == PictureHandle::BottomLeft;
}
bool MovesRight(PictureHandle h) {
    return h == PictureHandle::TopRight || h == PictureHandle::Right || h == PictureHandle::BottomRight;
}
bool MovesTop(PictureHandle h) {
    return h == PictureHandle::TopLeft || h == PictureHandle::Top || h == PictureHandle::TopRight;
}
bool MovesBottom(PictureHandle h) {
    return h == PictureHandle::BottomLeft || h == PictureHandle::Bottom || h == PictureHandle::BottomRight;
}

long long RoundedDiv(long long a, long long b) { return (2 * a + (a < 0 ? -b : b)) / (2 * b); }

// The nearest target to any of `edges` within `reach`: the distance to go.
struct Nearest {
    int delta = 0;
    int target = 0;
    int distance = -1;  // -1: nothing within reach
};

Nearest NearestTarget(std::initializer_list<int> edges, const std::vector<int>& targets, int reach) {
    Nearest best;
    for (int edge : edges) {
        for (int t : targets) {
            const int d = std::abs(t - edge);
            if (d <= reach && (best.distance < 0 || d < best.distance)) best = {t - edge, t, d};
        }
    }
    return best;
}

// A margin is a length unless it counts rows of text; rows have no place of
// their own on the paper.
bool IsLength(const Measurement& m) { return m.unit != kUnitLines; }

void AddMargins(SnapTargets& t, const AreaFormat& f, int left, int width, const DepthSpan& span) {
    if (IsLength(f.left)) t.xs.push_back(left + f.left.twips);
    if (IsLength(f.right)) t.xs.push_back(left + width - f.right.twips);
    if (IsLength(f.top)) t.depths.push_back(span.top + f.top.twips);
    if (IsLength(f.bottom)) t.depths.push_back(span.bottom - f.bottom.twips);
}

void SortUnique(std::vector<int>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

}  // namespace

bool IsCornerHandle(PictureHandle h) {
    return h == PictureHandle::TopLeft || h == PictureHandle::TopRight || h == PictureHandle::BottomRight ||
           h == PictureHandle::BottomLeft;
}

PicturePlace PictureRectOf(const Picture& p) {
    return {p.left.twips, -p.top.twips, p.width.twips, -p.height.twips};
}

Measurement ExactLength(int twips, int defaultUnit) {
    twips = std::clamp(twips, -32768, 32767);
    Measurement m = FromTwips(twips, defaultUnit);
    if (m.twips == twips) return m;
    // Three decimals of an inch are coarser than a twip.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4f",
                  static_cast<double>(twips) / UnitRow(kUnitNone, defaultUnit).twipsPerUnit);
    if (auto finer = ParseMeasurement(buffer, false, defaultUnit); finer && finer->twips == twips) return *finer;
    m.twips = static_cast<int16_t>(twips);
    return m;
}

void SetPictureRect(Picture& p, const PicturePlace& r, int defaultUnit) {
    auto store = [defaultUnit](Measurement& m, int twips) {
        if (m.twips != twips) m = ExactLength(twips, defaultUnit);
    };
    store(p.left, r.left);
    store(p.top, -r.depth);
    store(p.width, r.width);
    store(p.height, -r.height);
}

TwipSpot HandleSpot(const PicturePlace& rect, PictureHandle h) {
    const Box b = BoxOf(rect);
    const int midX = b.left + (b.right - b.left) / 2;
    const int midY = b.top + (b.bottom - b.top) / 2;
    const int x = MovesLeft(h) ? b.left : MovesRight(h) ? b.right : midX;
    const int y = MovesTop(h) ? b.top : MovesBottom(h) ? b.bottom : midY;
    return {x, y};
}

int PictureAt(const Liner& liner, int x, int depth) {
    for (int i = static_cast<int>(liner.pictures.size()) - 1; i >= 0; --i) {
        const Box b = BoxOf(PictureRectOf(liner.pictures[static_cast<size_t>(i)]));
        if (x >= b.left && x <= b.right && depth >= b.top && depth <= b.bottom) return i;
    }
    return -1;
}

PictureHandle HandleAt(const PicturePlace& rect, int x, int depth, int reach) {
    for (PictureHandle h : kPictureHandles) {
        const TwipSpot s = HandleSpot(rect, h);
        if (std::abs(s.x - x) <= reach && std::abs(s.depth - depth) <= reach) return h;
    }
    const Box b = BoxOf(rect);
    if (x >= b.left && x <= b.right && depth >= b.top && depth <= b.bottom) return PictureHandle::Body;
    return PictureHandle::None;
}

PicturePlace ResizedRect(const PicturePlace& start, PictureHandle h, int dx, int dDepth, bool free) {
    const Box s = BoxOf(start);
    Box b = s;
    if (MovesLeft(h)) b.left += dx;
    if (MovesRight(h)) b.right += dx;
    if (MovesTop(h)) b.top += dDepth;
    if (MovesBottom(h)) b.bottom += dDepth;
    // An edge dragged past the opposite one stops short of it.
    if (b.right - b.left < kSmallestPictureSide) {
        if (MovesLeft(h)) b.left = b.right - kSmallestPictureSide;
        if (MovesRight(h)) b.right = b.left + kSmallestPictureSide;
    }
    if (b.bottom - b.top < kSmallestPictureSide) {
        if (MovesTop(h)) b.top = b.bottom - kSmallestPictureSide;
        if (MovesBottom(h)) b.bottom = b.top + kSmallestPictureSide;
    }
    const long long w0 = s.right - s.left, h0 = s.bottom - s.top;
    if (IsCornerHandle(h) && !free && w0 > 0 && h0 > 0) {
        // The side that grew more (in proportion) leads; the other follows.
        long long w = b.right - b.left, hh = b.bottom - b.top;
        if (w * h0 >= hh * w0) {
            hh = std::max<long long>(RoundedDiv(w * h0, w0), 1);
        } else {
            w = std::max<long long>(RoundedDiv(hh * w0, h0), 1);
        }
        if (MovesLeft(h)) b.left = b.right - static_cast<int>(w);
        else b.right = b.left + static_cast<int>(w);
        if (MovesTop(h)) b.top = b.bottom - static_cast<int>(hh);
        else b.bottom = b.top + static_cast<int>(hh);
    }
    return PlaceOf(b, start);
}

SnapTargets CollectSnapTargets(const Liner& liner, int skip) {
    SnapTargets t;
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const int W = g.width, H = g.totalHeight;
    // The paper's edges and its centre lines.
    t.xs = {0, W + 1, (W + 1) / 2};
    t.depths = {0, H + 1, (H + 1) / 2};
    // Panel edges (the fold lines among them) and panel centres.
    std::vector<DepthSpan> spans = {FlapSpan(g), TitleSpan(g), PrimarySpan(g)};
    for (int k = 0; k < g.overflowCount; ++k) spans.push_back(OverflowSpan(g, k));
    for (const DepthSpan& s : spans) {
        if (s.height() <= 0) continue;
        t.depths.push_back(s.top);
        t.depths.push_back(s.bottom);
        t.depths.push_back(s.top + s.height() / 2);
    }
    // Margins: the title's across the paper, the songs' in their columns.
    if (g.titleHeight > 0) AddMargins(t, liner.titleFormat, 0, W + 1, TitleSpan(g));
    const int column = g.oneUpSides ? W + 1 : (W + 1) / 2;
    const int sideBLeft = g.oneUpSides ? 0 : column;
    if (g.primaryHeight > 0) {
        AddMargins(t, liner.songFormats[kSideAPrimaryArea], 0, column, PrimarySpan(g));
        AddMargins(t, liner.songFormats[kSideBPrimaryArea], sideBLeft, column, PrimarySpan(g));
    }
    for (int k = 0; k < g.overflowCount && g.overflowHeight > 0; ++k) {
        AddMargins(t, liner.songFormats[kSideAOverflowArea], 0, column, OverflowSpan(g, k));
        AddMargins(t, liner.songFormats[kSideBOverflowArea], sideBLeft, column, OverflowSpan(g, k));
    }
    for (size_t i = 0; i < liner.pictures.size(); ++i) {
        if (static_cast<int>(i) == skip) continue;
        const Box b = BoxOf(PictureRectOf(liner.pictures[i]));
        t.xs.push_back(b.left);
        t.xs.push_back(b.right);
        t.depths.push_back(b.top);
        t.depths.push_back(b.bottom);
    }
    SortUnique(t.xs);
    SortUnique(t.depths);
    return t;
}

SnapResult SnapMove(const PicturePlace& moved, const SnapTargets& targets, int reach) {
    const Box b = BoxOf(moved);
    SnapResult r{moved, std::nullopt, std::nullopt};
    const Nearest x = NearestTarget({b.left, b.right, b.left + (b.right - b.left) / 2}, targets.xs, reach);
    if (x.distance >= 0) {
        r.rect.left += x.delta;
        r.guideX = x.target;
    }
    const Nearest y = NearestTarget({b.top, b.bottom, b.top + (b.bottom - b.top) / 2}, targets.depths, reach);
    if (y.distance >= 0) {
        r.rect.depth += y.delta;
        r.guideDepth = y.target;
    }
    return r;
}

SnapResult SnapResize(const PicturePlace& start, PictureHandle h, const PicturePlace& resized, bool free,
                      const SnapTargets& targets, int reach) {
    SnapResult r{resized, std::nullopt, std::nullopt};
    const Box b = BoxOf(resized);
    Nearest x, y;
    if (MovesLeft(h) || MovesRight(h)) x = NearestTarget({MovesLeft(h) ? b.left : b.right}, targets.xs, reach);
    if (MovesTop(h) || MovesBottom(h)) y = NearestTarget({MovesTop(h) ? b.top : b.bottom}, targets.depths, reach);
    const bool proportional = IsCornerHandle(h) && !free;
    if (proportional && x.distance >= 0 && y.distance >= 0) {
        // One edge leads; the proportions place the other.
        if (x.distance <= y.distance) y.distance = -1;
        else x.distance = -1;
    }
    if (x.distance < 0 && y.distance < 0) return r;
    // Snapped as if the pointer had gone that much further.
    const Box s = BoxOf(start);
    Box target = b;
    if (x.distance >= 0) (MovesLeft(h) ? target.left : target.right) += x.delta;
    if (y.distance >= 0) (MovesTop(h) ? target.top : target.bottom) += y.delta;
    const int dx = MovesLeft(h) ? target.left - s.left : MovesRight(h) ? target.right - s.right : 0;
    const int dy = MovesTop(h) ? target.top - s.top : MovesBottom(h) ? target.bottom - s.bottom : 0;
    if (proportional) {
        // Only the leading side's movement counts: the other follows it.
        const long long w0 = s.right - s.left, h0 = s.bottom - s.top;
        Box lead = s;
        if (x.distance >= 0) {
            (MovesLeft(h) ? lead.left : lead.right) += dx;
            const long long w = lead.right - lead.left;
            const int follow = static_cast<int>(h0 > 0 && w0 > 0 ? RoundedDiv(w * h0, w0) : h0) - static_cast<int>(h0);
            r.rect = ResizedRect(start, h, dx, MovesTop(h) ? -follow : follow, true);
            r.guideX = x.target;
        } else {
            (MovesTop(h) ? lead.top : lead.bottom) += dy;
            const long long hh = lead.bottom - lead.top;
            const int follow = static_cast<int>(h0 > 0 && w0 > 0 ? RoundedDiv(hh * w0, h0) : w0) - static_cast<int>(w0);
            r.rect = ResizedRect(start, h, MovesLeft(h) ? -follow : follow, dy, true);
            r.guideDepth = y.target;
        }
        return r;
    }
    r.rect = ResizedRect(start, h, dx, dy, true);
    if (x.distance >= 0) r.guideX = x.target;
    if (y.distance >= 0) r.guideDepth = y.target;
    return r;
}

std::vector<LinerArea> LinerAreas(const Liner& liner) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    std::vector<LinerArea> areas;
    auto add = [&](std::string name, const DepthSpan& s) {
        if (s.height() > 0) areas.push_back({std::move(name), PicturePlace{0, s.top, g.width + 1, s.height()}});
    };
    add("Feature flap", FlapSpan(g));
    add("Title", TitleSpan(g));
    add("Primary songs", PrimarySpan(g));
    for (int k = 0; k < g.overflowCount && g.overflowHeight > 0; ++k) {
        add(g.overflowCount == 1 ? std::string("Overflow songs") : "Overflow songs " + std::to_string(k + 1),
            OverflowSpan(g, k));
    }
    return areas;
}

std::optional<LinerArea> LinerAreaAt(const Liner& liner, int x, int depth) {
    for (LinerArea& a : LinerAreas(liner)) {
        if (x >= 0 && x <= a.rect.width && depth >= a.rect.depth && depth < a.rect.depth + a.rect.height) {
            return std::move(a);
        }
    }
    return std::nullopt;
}

PicturePlace AreaForPicture(const Liner& liner, const PicturePlace& rect) {
    const Box b = BoxOf(rect);
    const std::vector<LinerArea> areas = LinerAreas(liner);
    const int cx = b.left + (b.right - b.left) / 2, cy = b.top + (b.bottom - b.top) / 2;
    if (std::optional<LinerArea> a = LinerAreaAt(liner, cx, cy)) return a->rect;
    long long most = 0;
    std::optional<PicturePlace> best;
    for (const LinerArea& a : areas) {
        const long long overlap =
            std::max(0LL, static_cast<long long>(std::min(b.bottom, a.rect.depth + a.rect.height) -
                                                 std::max(b.top, a.rect.depth)));
        if (overlap > most) {
            most = overlap;
            best = a.rect;
        }
    }
    if (best) return *best;
    const LinerGeometry g = ComputeLinerGeometry(liner);
    return {0, 0, g.width + 1, g.totalHeight + 1};
}

bool MovePictureInOrder(Liner& liner, int index, bool toFront) {
    const int n = static_cast<int>(liner.pictures.size());
    if (index < 0 || index >= n || (toFront ? index == n - 1 : index == 0)) return false;
    auto it = liner.pictures.begin() + index;
    if (toFront) {
        std::rotate(it, it + 1, liner.pictures.end());
    } else {
        std::rotate(liner.pictures.begin(), it, it + 1);
    }
    return true;
}
