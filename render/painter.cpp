#include "render/painter.h"

#include <new>

#include <algorithm>
#include <functional>
#include <vector>

#include "pictures/picture_host.h"
#include "pictures/picture_image.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/fonts.h"
#include "render/text_layout.h"

namespace {

// The margin of the reverse-video box around its letter, on every side.
constexpr int kBoxMargin = 50;
constexpr int kReverseVideoSpace = 2 * kBoxMargin;

// Everything PaintLiner changes on the surface, given back at the end.
class SurfaceState {
public:
    explicit SurfaceState(Surface& s)
        : surface_(s),
          pen_(s.Pen()),
          brush_(s.Brush()),
          font_(s.Font()),
          text_(s.TextColor()),
          background_(s.BackgroundColor()),
          mode_(s.Background()) {}
    ~SurfaceState() {
        surface_.SetPen(pen_);
        surface_.SetBrush(brush_);
        surface_.SetFont(font_);
        surface_.SetTextColor(text_);
        surface_.SetBackgroundColor(background_);
        surface_.SetBackground(mode_);
    }

private:
    Surface& surface_;
    SurfacePen pen_;
    SurfaceBrush brush_;
    LogFont font_;
    SurfaceColor text_;
    SurfaceColor background_;
    BackgroundMode mode_;
};

void Line(Surface& surface, TwipPoint from, TwipPoint to) {
    const SurfacePoint points[2] = {{from.x, from.y()}, {to.x, to.y()}};
    surface.Polyline(points, 2);
}

// A solid black line of one device pixel: bisect lines and the split title
// line.
void ThinLines(Surface& surface, const std::vector<TwipSegment>& segments) {
    if (segments.empty()) return;
    const SurfacePen previous = surface.Pen();
    surface.SetPen(SurfacePen{kLineSolid, kColorBlack});
    for (const TwipSegment& s : segments) Line(surface, s.from, s.to);
    surface.SetPen(previous);
}

void FillFrame(Surface& surface, const LinerGeometry& g) {
    const int W = g.width;
    const int H = g.totalHeight;
    const int f = kScreenFrame;
    const SurfaceBrush window = SurfaceBrush::Window();
    surface.FillRect(-f, f, W + 1 + f, 0, window);              // above
    surface.FillRect(W + 1, 0, W + 1 + f, -1 - H, window);      // right
    surface.FillRect(-f, -1 - H, W + 1 + f, -1 - H - f, window);  // below
    surface.FillRect(-f, 0, 0, -1 - H, window);                 // left
    surface.FillRect(0, 0, W + 1, -1 - H, SurfaceBrush::Solid(kColorWhite));
}

void DrawPictures(Surface& surface, const Liner& liner, PictureImages& images, Prompter& prompter,
                  PictureReaderTable& readers, const LinerGeometry& g, int bleed) {
    for (size_t i = 0; i < liner.pictures.size(); ++i) {
        const Picture& p = liner.pictures[i];
        const PictureLookup found = images.Get(i, p, prompter, readers);
        if (found.pending) {
            // Still being decoded: a light placeholder where it will be.
            surface.FillRect(p.left.twips, p.top.twips, p.left.twips + p.width.twips, p.top.twips + p.height.twips,
                             SurfaceBrush::Solid(0xEEEEEE));
            continue;
        }
        if (!found.picture) continue;
        // Past a cut edge a picture runs on as far as it reaches, as it is:
        // the print shop trims it, and only the bleed is kept.
        if (bleed > 0) surface.SetClip(-bleed, bleed, g.width + 1 + bleed, -1 - g.totalHeight - bleed);
        try {
            DrawPicture(surface, p.left.twips, p.top.twips, p.width.twips, p.height.twips, *found.picture);
        } catch (const std::bad_alloc&) {
            // The copy a PDF or the screen makes of a large picture can find
            // no memory even where decoding did: that picture goes alone.
            images.DrawingFailed(i, p, prompter);
        }
        if (bleed > 0) surface.ClearClip();
    }
}

void DrawCropMarks(Surface& surface, const LinerGeometry& g, int bleed) {
    const SurfacePen previous = surface.Pen();
    surface.SetPen(SurfacePen{kLineSolid, kColorBlack});
    for (const TwipSegment& s : BleedCropMarks(g, bleed)) Line(surface, s.from, s.to);
    surface.SetPen(previous);
}

void DrawLines(Surface& surface, const Liner& liner, const LinerGeometry& g, bool cutLines) {
    const SurfacePen previous = surface.Pen();
    surface.SetPen(SurfacePen{liner.foldLineStyle, kColorBlack});
    for (const TwipSegment& s : FoldLines(g)) Line(surface, s.from, s.to);
    surface.SetPen(SurfacePen{liner.cutLineStyle, kColorBlack});
    for (const TwipPolyline& line : cutLines ? CutLines(g) : std::vector<TwipPolyline>{}) {
        std::vector<SurfacePoint> points;
        points.reserve(line.size());
        for (const TwipPoint& p : line) points.push_back({p.x, p.y()});
        surface.Polyline(points.data(), points.size());
    }
    surface.SetPen(previous);
}

bool IsTurned(int rotation) { return rotation == 90 || rotation == 270; }

int TextRotationOf(const Liner& liner, int standard, const std::string& text) {
    return TextRotation(liner, standard, text);
}

// ---- Side letters ----------------------------------------------------------

// The bottom edge of the primary area as the letters see it, and the top of
// the song area that follows it in the flow (none without overflow areas).
int PrimaryBottomEdge(const LinerGeometry& g) { return PrimarySpan(g).bottom; }

// Draws `rows` (the letter) inside a reverse-video box: the box in the
// letter font's colour, the letter in the surface's background colour.
void DrawReverseVideo(Surface& surface, Liner& liner, const TwipRect& box, int ellipseWidth,
                      int ellipseHeight, const std::function<void()>& drawLetter) {
    const FontEntry& font = FontEntryFor(liner, kFontSideLetter, kFontSideLetter);
    const SurfacePen oldPen = surface.Pen();
    const SurfaceBrush oldBrush = surface.Brush();
    const SurfaceColor oldText = surface.TextColor();
    const SurfaceColor oldBack = surface.BackgroundColor();
    const BackgroundMode oldMode = surface.Background();

    surface.SetPen(SurfacePen{kLineSolid, font.color});
    surface.SetBrush(SurfaceBrush::Solid(font.color));
    surface.RoundRect(box.left, -box.top, box.right, -box.bottom, ellipseWidth, ellipseHeight);
    surface.SetBackground(BackgroundMode::Transparent);
    surface.SetTextColor(oldBack);
    surface.SetBackgroundColor(font.color);
    drawLetter();

    surface.SetBackground(oldMode);
    surface.SetTextColor(oldText);
    surface.SetBackgroundColor(oldBack);
    surface.SetPen(oldPen);
    surface.SetBrush(oldBrush);
}

}  // namespace

const std::string* SelectedChoice(const Feature& feature, int side) {
    const ChoiceBlock& block = feature.sides[side == 0 ? 0 : 1];
    if (block.selected < 0 || static_cast<size_t>(block.selected) >= block.choices.size()) return nullptr;
    return &block.choices[static_cast<size_t>(block.selected)];
}

LetterPlacement DrawSideLetter(Surface& surface, Liner& liner, const LinerGeometry& g,
                               const SideLetterFormat& letter, bool rightSide, int depth,
                               DepthSpan area) {
    LetterPlacement placed;
    placed.start = placed.end = depth;
    placed.area = area;
    if (letter.style == kLetterNone || letter.text.empty()) return placed;

    RowBuffer rows = LayOutUnbroken(surface, liner, kFontSideLetter, letter.text);
    if (rows.rows.empty()) return placed;
    const int h = rows.height;
    const int tw = rows.rows.front().width;
    const bool reverse = letter.style == kLetterReverseVideo;
    const int rv = reverse ? kReverseVideoSpace : 0;
    const int rotation = TextRotationOf(liner, kFontSideLetter, letter.text);
    const AreaFormat plain{};
    const int top = letter.top.twips;
    const int side = letter.side.twips;
    const int m = kBoxMargin;

    int drawX = 0;
    int drawY = 0;
    int extent = g.totalHeight + 1;
    TwipRect box;
    int ellipseWidth = 0;
    int ellipseHeight = 0;

    if (IsTurned(rotation)) {
        // Across the strip: from the edge the glyph tops point to.  Along it:
        // Side A from the area's top end, Side B from its bottom end.
        const int a1 = depth + top;
        const int alongStart = rightSide ? area.bottom - side - tw : area.top + side;
        placed.start = a1;
        placed.end = a1 + h + rv;
        if (rotation == 90) {
            // Glyph tops at x = W - a1, reading down the paper.
            drawX = alongStart;
            box = {g.width - a1 - h - m, alongStart - m, g.width - a1 + m, alongStart + tw + m};
        } else {
            // Glyph tops at x = a1, reading up the paper from its lower end.
            drawX = alongStart + tw;
            extent = 2 * drawX;
            box = {a1 - m, alongStart - m, a1 + h + m, alongStart + tw + m};
        }
        drawY = -a1;
        ellipseWidth = (h + m) / 4;
        ellipseHeight = (tw + m) / 4;
    } else {
        int d1 = depth + top;
        // Keep the letter off the bottom edge of the primary area: one that
        // would straddle it starts in the next song area instead.  Without a
        // next area (or with no room in it) it stays where it is.
        const int edge = PrimaryBottomEdge(g);
        if (d1 < edge && d1 + h + rv > edge && g.overflowCount > 0 && g.overflowHeight > 0) {
            const DepthSpan next = SongAreaSpan(g, 1);
            d1 = next.top + rv + top;
            area = next;
        }
        placed.area = area;
        placed.start = d1;
        placed.end = d1 + h + rv;
        const int x = rightSide ? g.width - side - tw + 1 : side;
        if (rotation == 180) {
            // Upside down: the same side of the paper, mirrored within the area.
            extent = 2 * area.top + area.height();
            drawX = x + tw;
            const int mirroredTop = extent - d1 - h;
            box = {x - m, mirroredTop - m, x + tw + m, mirroredTop + h + m};
        } else {
            drawX = x;
            box = {x - m, d1 - m, x + tw + m, d1 + h + m};
        }
        drawY = -d1;
        ellipseWidth = (tw + m) / 4;
        ellipseHeight = (h + m) / 4;
    }

    auto drawLetter = [&] {
        DrawRows(surface, liner, drawY, drawX, 0, rows, plain, reverse, extent);
    };
    if (reverse) {
        DrawReverseVideo(surface, liner, box, ellipseWidth, ellipseHeight, drawLetter);
        placed.box = box;
    } else {
        drawLetter();
        placed.box = {box.left + m, box.top + m, box.right - m, box.bottom - m};
    }
    placed.drawn = true;
    return placed;
}

// ---- Features ----------------------------------------------------------------

void DrawFeature(Surface& surface, Liner& liner, const LinerGeometry& g, const Feature& feature) {
    const int top = feature.top.twips;
    const int side = feature.side.twips;
    const int paper = g.width + 1;
    const int extent = g.totalHeight + 1;

    AreaFormat aligned{};
    aligned.left = feature.side;
    aligned.right = feature.side;

    if (!IsSidedStyle(feature.style)) {
        // The name alone, in the feature font, without row breaking.
        RowBuffer rows = LayOutUnbroken(surface, liner, kFontFeature, feature.name);
        if (feature.style == kFeatureCentered) {
            AreaFormat centred{};
            centred.alignment = kAlignCentered;
            if (IsTurned(TextRotationOf(liner, kFontFeature, feature.name))) {
                // Turned: centred along the strip, below the feature's side margin.
                DrawRows(surface, liner, -top, side, g.totalHeight - side + 1, rows, centred, false,
                         extent);
            } else {
                DrawRows(surface, liner, -top, 0, paper, rows, centred, false, extent);
            }
            return;
        }
        // Left Justified, Right Justified, and any unknown style as Left.
        aligned.alignment = feature.style == kFeatureRightJustified ? kAlignRight : kAlignLeft;
        DrawRows(surface, liner, -top, 0, paper, rows, aligned, false, extent);
        return;
    }

    const std::string* choiceA = SelectedChoice(feature, 0);
    const std::string* choiceB = SelectedChoice(feature, 1);

    if (feature.style == kFeatureAdjacentWithSides) {
        // One line: A's choice, the name, B's choice, each in its own font
        // unless it names one.
        auto withFont = [](const std::string& text, int font) {
            if (!text.empty() && text[0] == kFontChange) return text;
            return std::string{kFontChange, static_cast<char>(font)} + text;
        };
        std::string line;
        if (choiceA) line += withFont(*choiceA, kFontFeature) + ' ';
        line += withFont(feature.name, kFontFeatureName);
        if (choiceB) line += ' ' + withFont(*choiceB, kFontFeature);
        RowBuffer rows = LayOutUnbroken(surface, liner, kFontFeature, line);
        aligned.alignment = kAlignLeft;
        DrawRows(surface, liner, -top, 0, paper, rows, aligned, false, extent);
        return;
    }

    // The name and both choices on one baseline: each laid out on its own,
    // the baseline below the tallest ascent among them.
    struct Part {
        RowBuffer rows;
        AreaFormat format;
    };
    std::vector<Part> parts;
    if (feature.style == kFeatureCenteredWithSides) {
        Part name{LayOutUnbroken(surface, liner, kFontFeatureName, feature.name), AreaFormat{}};
        name.format.alignment = kAlignCentered;
        parts.push_back(std::move(name));
    }
    if (choiceA) {
        Part a{LayOutUnbroken(surface, liner, kFontFeature, *choiceA), aligned};
        a.format.alignment = kAlignLeft;
        parts.push_back(std::move(a));
    }
    if (choiceB) {
        Part b{LayOutUnbroken(surface, liner, kFontFeature, *choiceB), aligned};
        b.format.alignment = kAlignRight;
        parts.push_back(std::move(b));
    }
    int ascent = 0;
    for (const Part& p : parts) {
        for (const LayoutRow& row : p.rows.rows) ascent = std::max(ascent, row.height - row.descent);
    }
    const int baseline = top + ascent;
    for (const Part& p : parts) {
        if (p.rows.rows.empty()) continue;
        const LayoutRow& first = p.rows.rows.front();
        const int y = -(baseline - (first.height - first.descent));
        DrawRows(surface, liner, y, 0, paper, p.rows, p.format, false, extent);
    }
}

namespace {

// ---- Title -------------------------------------------------------------------

// A title in a font turned by 90 or 270 degrees reads along the title area:
// its lines are broken to the area's height less the left and right margins
// and follow each other across the strip from the edge the glyph tops face,
// starting `top` in from it, or spread evenly across the strip with Center
// Vertically.  Upright and upside-down titles are the text layout's.
//
// A spine lower than the text breaks it into many short rows.  What does
// not fit across the strip (within `bottom` of the far edge) is left out,
// the rest is kept inside the title area, and the result says so.
bool DrawTurnedTitle(Surface& surface, Liner& liner, const LinerGeometry& g) {
    const std::string text = liner.title.text;
    const std::vector<std::string_view> lines = SplitItems(text, liner.title.lineCount);
    if (lines.empty()) return true;
    const AreaFormat t = liner.titleFormat;
    const DepthSpan span = TitleSpan(g);
    const int length = span.height() - t.left.twips - t.right.twips;
    const int leftX = span.top + t.left.twips;
    const bool center = liner.centerTitleVertically != 0;
    const long long reach = static_cast<long long>(g.width) + 1 - t.bottom.twips;

    std::vector<RowBuffer> laid(lines.size());
    long long sum = 0;
    int font = kFontTitle;
    for (size_t i = 0; i < lines.size(); ++i) {
        sum += LayOut(surface, liner, font, length, lines[i], leftX, t.wrap.twips, t.within, laid[i]);
    }
    bool fits = true;
    for (const RowBuffer& rows : laid) {
        for (const LayoutRow& row : rows.rows) {
            if (row.width > length) fits = false;  // a character longer than the spine
        }
    }

    long long travel = t.top.twips;
    long long gap = 0;
    if (center) {
        const long long n = static_cast<long long>(lines.size());
        gap = (reach - sum - t.top.twips) / (n + 1);
        if (gap < 0) {
            // Overfull: the lines follow each other from the top margin
            // instead of spreading beyond both edges.
            fits = false;
            gap = 0;
        } else {
            travel += gap;
            if (gap == 0) travel += 2;
        }
    } else {
        long long end = travel;
        for (size_t i = 0; i < laid.size(); ++i) {
            end += laid[i].height;
            if (i + 1 < laid.size()) end += Spacing(t.between, laid[i].rows.back().height);
        }
        if (end > reach) fits = false;
    }

    if (!fits) {
        surface.SetClip(0, -span.top, g.width + 1, -span.bottom);
    }
    for (RowBuffer& rows : laid) {
        if (!fits) {
            // Only the rows that end within reach.
            long long edge = travel;
            size_t keep = 0;
            for (; keep < rows.rows.size(); ++keep) {
                const LayoutRow& row = rows.rows[keep];
                if (edge + row.height > reach) break;
                edge += row.height + Spacing(t.within, row.height);
            }
            rows.rows.resize(keep);
            if (rows.rows.empty()) break;
        }
        const int baseline = DrawRows(surface, liner, static_cast<int>(-travel), span.top, span.height(),
                                      rows, t, false, 2 * span.top);
        const LayoutRow& last = rows.rows.back();
        travel = -static_cast<long long>(baseline) + last.descent +
                 (center ? gap : Spacing(t.between, last.height));
    }
    if (!fits) surface.ClearClip();
    return fits;
}

// ---- Songs -------------------------------------------------------------------

struct SideFormats {
    const TextBlock* songs;
    const AreaFormat* primary;
    const AreaFormat* overflow;
    std::string name;
};

SideFormats SideOf(const Liner& liner, int side) {
    if (side == 0) {
        return {&liner.songsA, &liner.songFormats[kSideAPrimaryArea],
                &liner.songFormats[kSideAOverflowArea], LoadString(IDS_SIDE_A)};
    }
    return {&liner.songsB, &liner.songFormats[kSideBPrimaryArea],
            &liner.songFormats[kSideBOverflowArea], LoadString(IDS_SIDE_B)};
}

// The song area of `depth` in flow order, starting the search at `from`.
int AreaOfDepth(const LinerGeometry& g, int depth, int from) {
    for (int k = std::max(from, 0); k <= g.overflowCount; ++k) {
        if (SongAreaSpan(g, k).contains(depth)) return k;
    }
    return std::clamp(from, 0, std::max(g.overflowCount, 0));
}

void SongsDidNotFit(const SideFormats& side, Prompter& prompter, bool& songFitWarning) {
    if (!songFitWarning) return;
    songFitWarning = false;
    ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(), IDS_SONGS_WONT_FIT, {side.name});
}

struct SongPaint {
    Surface& surface;
    Liner& liner;
    const LinerGeometry& g;
    Prompter& prompter;
    bool& songFitWarning;
    PaintResult result;

    void Upright() {
        const int rotation = TextRotationOf(liner, kFontSong, liner.songsA.text);
        ThinLines(surface, BisectLines(g, liner, rotation));

        const SongColumns columns = ComputeSongColumns(g, liner);
        int overflowIndex = 0;
        const SideFormats a = SideOf(liner, 0);
        SongSide sideA{a.songs, a.name, columns.sideA.firstSongDepth, columns.sideA.x, columns.width,
                       a.primary, a.overflow};
        const SongSideResult doneA =
            DrawSongSide(surface, liner, g, sideA, overflowIndex, prompter, songFitWarning);
        if (!doneA.allFit) {
            result.allSongsFit = false;
            Overflowed(a, columns.sideA.x + columns.width / 2, SongAreaSpan(g, overflowIndex).bottom);
        }
        result.songsLeftOut += doneA.songsLeftOut;

        const SideFormats b = SideOf(liner, 1);
        SongSide sideB{b.songs, b.name, columns.sideB.firstSongDepth, columns.sideB.x, columns.width,
                       b.primary, b.overflow};
        if (columns.sideBContinuesSideA) {
            int depth = doneA.depth;
            const SideLetterFormat& letter = liner.sideLetters[kSideBPrimary];
            if (letter.style != kLetterNone) {
                const LetterPlacement placed =
                    DrawSideLetter(surface, liner, g, letter, false, depth, SongAreaSpan(g, overflowIndex));
                if (placed.drawn) {
                    depth = placed.end;
                    overflowIndex = AreaOfDepth(g, placed.start, overflowIndex);
                }
            }
            sideB.startDepth = depth;
            sideB.columnX = 0;
        } else {
            overflowIndex = 0;
        }
        const int startArea = overflowIndex;
        const SongSideResult doneB =
            DrawSongSide(surface, liner, g, sideB, overflowIndex, prompter, songFitWarning);
        if (!doneB.allFit) {
            result.allSongsFit = false;
            Overflowed(b, sideB.columnX + columns.width / 2, SongAreaSpan(g, overflowIndex).bottom);
        }
        result.songsLeftOut += doneB.songsLeftOut;
        if (doneB.firstSong.set) {
            const int depth = -doneB.firstSong.y;
            result.sideBStart = {AreaOfDepth(g, depth, startArea), doneB.firstSong.x, depth};
        } else {
            result.sideBStart = {startArea, sideB.columnX, sideB.startDepth};
        }
    }

    void Overflowed(const SideFormats& side, int x, int depth) {
        result.overflows.push_back({x, depth, FormatMessageText(LoadString(IDS_SONGS_WONT_FIT), {side.name})});
    }

    // The band of an area a side writes into with turned songs: Side A the
    // upper half, Side B the lower, both the whole area with oneUpSides.
    DepthSpan Band(int area, int side) const {
        const DepthSpan span = SongAreaSpan(g, area);
        if (g.oneUpSides) return span;
        const int half = span.height() / 2;
        const int split = g.invertImage ? span.bottom - half : span.top + half;
        return side == 0 ? DepthSpan{span.top, split} : DepthSpan{split, span.bottom};
    }

    // Songs turned by 90 or 270 degrees run along each band and follow each
    // other across the strip, from the edge their glyph tops point to.
    struct TurnedFlow {
        int area = 0;
        int travel = 0;  // across the strip, from the glyph tops' edge
    };

    // Draws one side from `flow`; returns where it ended.
    TurnedFlow TurnedSide(int sideIndex, TurnedFlow flow, FirstPosition* firstSong, bool* allFit) {
        const SideFormats side = SideOf(liner, sideIndex);
        if (firstSong) *firstSong = {};
        if (side.songs->lineCount <= 0) return flow;
        const std::string text = side.songs->text;
        const std::vector<std::string_view> songs = SplitItems(text, side.songs->lineCount);
        const int lastArea = std::max(g.overflowCount, 0);
        const int reach = g.width + 1;
        auto formatOf = [&](int area) -> const AreaFormat& {
            return area == 0 ? *side.primary : *side.overflow;
        };

        RowBuffer rows;
        int font = kFontSong;
        for (size_t i = 0; i < songs.size(); ++i) {
            const int songFont = font;
            auto layOut = [&](const DepthSpan& band) {
                const AreaFormat& format = formatOf(flow.area);
                font = songFont;
                LayOut(surface, liner, font, band.height() - format.left.twips - format.right.twips,
                       songs[i], band.top + format.left.twips, format.wrap.twips, format.within, rows);
            };
            DepthSpan band = Band(flow.area, sideIndex);
            layOut(band);
            if (static_cast<long long>(flow.travel) + rows.height > reach - formatOf(flow.area).bottom.twips) {
                if (flow.area >= lastArea) {
                    *allFit = false;
                    // Side A's mark left of the middle, Side B's right of it.
                    Overflowed(side, g.width * (1 + 2 * sideIndex) / 4, SongAreaSpan(g, flow.area).bottom);
                    result.songsLeftOut += static_cast<int>(songs.size() - i);
                    SongsDidNotFit(side, prompter, songFitWarning);
                    break;
                }
                ++flow.area;
                flow.travel = side.overflow->top.twips;
                band = Band(flow.area, sideIndex);
                // The song moves whole: its rows run along the new band, so
                // they are laid out again there, where its margins and tab
                // stops are those of that band.
                layOut(band);
            }
            const AreaFormat& current = formatOf(flow.area);
            FirstPosition first;
            const int baseline = DrawRows(surface, liner, -flow.travel, band.top, band.height(), rows,
                                          current, false, 2 * band.top, &first);
            if (i == 0 && firstSong) *firstSong = first;
            const LayoutRow& last = rows.rows.back();
            flow.travel = -baseline + last.descent;
            if (i + 1 < songs.size()) flow.travel += Spacing(current.between, last.height);
        }
        return flow;
    }

    void Turned() {
        TurnedFlow flow;
        flow.travel = liner.songFormats[kSideAPrimaryArea].top.twips;
        bool allFit = true;
        const TurnedFlow endA = TurnedSide(0, flow, nullptr, &allFit);

        TurnedFlow startB;
        startB.travel = liner.songFormats[kSideBPrimaryArea].top.twips;
        if (g.oneUpSides) {
            startB = endA;
            const SideLetterFormat& letter = liner.sideLetters[kSideBPrimary];
            if (letter.style != kLetterNone && !letter.text.empty()) {
                startB = TurnedLetter(letter, endA);
            }
        }
        FirstPosition firstB;
        TurnedSide(1, startB, &firstB, &allFit);
        if (!allFit) result.allSongsFit = false;
        if (firstB.set) {
            // The first song may have moved on to a later area.
            result.sideBStart = {AreaOfDepth(g, -firstB.y, startB.area), firstB.x, -firstB.y};
        } else {
            const int rotation = TextRotationOf(liner, kFontSong, liner.songsA.text);
            const int x = rotation == 90 ? g.width - startB.travel : startB.travel;
            result.sideBStart = {startB.area, x, Band(startB.area, 1).top};
        }

        const int rotation = TextRotationOf(liner, kFontSong, liner.songsA.text);
        ThinLines(surface, BisectLines(g, liner, rotation));
    }

    // The B-Primary letter after Side A's songs in the one-column turned
    // layout; one that would not fit across the strip moves to the next area.
    TurnedFlow TurnedLetter(const SideLetterFormat& letter, TurnedFlow flow) {
        const int reach = g.width + 1;
        const RowBuffer rows = LayOutUnbroken(surface, liner, kFontSideLetter, letter.text);
        if (rows.rows.empty()) return flow;
        const int rv = letter.style == kLetterReverseVideo ? kReverseVideoSpace : 0;
        // An upright letter among turned songs takes its width across the strip.
        const bool upright = !IsTurned(TextRotationOf(liner, kFontSideLetter, letter.text));
        const int across = upright ? rows.rows.front().width : rows.height;
        const int need = letter.top.twips + across + rv;
        if (flow.travel + need > reach && flow.area < g.overflowCount) {
            ++flow.area;
            flow.travel = rv;
        }
        const DepthSpan area = SongAreaSpan(g, flow.area);
        if (!upright) {
            const LetterPlacement placed = DrawSideLetter(surface, liner, g, letter, false, flow.travel, area);
            if (placed.drawn) flow.travel = placed.end;
            return flow;
        }
        // Upright: hung `side` below the area's top, `top` on from where the
        // songs reached, from the edge their glyph tops face.
        SideLetterFormat placedLetter = letter;
        placedLetter.top = letter.side;
        placedLetter.side.twips = static_cast<int16_t>(std::clamp(flow.travel + letter.top.twips, 0, 32767));
        const bool fromRight = TextRotationOf(liner, kFontSong, liner.songsA.text) == 90;
        const LetterPlacement placed = DrawSideLetter(surface, liner, g, placedLetter, fromRight, area.top, area);
        if (placed.drawn) flow.travel += need;
        return flow;
    }
};

}  // namespace

std::vector<TwipSegment> BleedCropMarks(const LinerGeometry& g, int bleed) {
    const int near = bleed + kCropMarkGap, far = near + kCropMarkLength;
    const int right = g.width + 1, bottom = g.totalHeight + 1;
    std::vector<TwipSegment> marks;
    for (int x : {0, right}) {
        const int out = x == 0 ? -1 : 1;
        for (int d : {0, bottom}) {
            const int down = d == 0 ? -1 : 1;
            marks.push_back({{x + out * near, d}, {x + out * far, d}});    // along the horizontal cut
            marks.push_back({{x, d + down * near}, {x, d + down * far}});  // along the vertical cut
        }
    }
    return marks;
}

PaintResult PaintLiner(Surface& surface, Liner& liner, const PaintOptions& options,
                       PictureImages& pictures, Prompter& prompter, bool& songFitWarning) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const SurfaceState saved(surface);
    const SurfaceOrigin origin = surface.MoveOrigin(options.x, options.y);

    if (!options.printing) FillFrame(surface, g);
    DrawPictures(surface, liner, pictures, prompter, options.readers ? *options.readers : PictureReaders(), g,
                 options.bleed);
    DrawLines(surface, liner, g, options.bleed <= 0);
    if (options.bleed > 0) DrawCropMarks(surface, g, options.bleed);

    // Side letters: the flap's at the flap top, the primary area's at the
    // primary top; in the one-column layout B-Primary follows Side A's songs.
    struct Place {
        SideLetterLocation location;
        bool right;
        DepthSpan area;
    };
    const Place places[] = {{kSideAFlap, false, FlapSpan(g)},
                            {kSideAPrimary, false, PrimarySpan(g)},
                            {kSideBFlap, true, FlapSpan(g)},
                            {kSideBPrimary, true, PrimarySpan(g)}};
    for (const Place& place : places) {
        if (place.location == kSideBPrimary && g.oneUpSides) continue;
        const SideLetterFormat& letter = liner.sideLetters[place.location];
        const int rotation = TextRotationOf(liner, kFontSideLetter, letter.text);
        const int depth = IsTurned(rotation) ? 0 : place.area.top;
        DrawSideLetter(surface, liner, g, letter, place.right, depth, place.area);
    }

    // The title and the songs each tell once when they do not fit.
    bool titleFitWarning = songFitWarning;
    bool titleFits = true;
    if (liner.title.lineCount > 0) {
        if (IsTurned(TextRotationOf(liner, kFontTitle, liner.title.text))) {
            titleFits = DrawTurnedTitle(surface, liner, g);
            if (!titleFits && titleFitWarning) {
                titleFitWarning = false;
                ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(), IDS_TITLE_WONT_FIT);
            }
        } else {
            titleFits = DrawTitleArea(surface, liner, g);
        }
    }
    if (const auto split = SplitTitleLine(g)) ThinLines(surface, {*split});

    for (const Feature& feature : liner.features) DrawFeature(surface, liner, g, feature);

    SongPaint songs{surface, liner, g, prompter, songFitWarning, {}};
    if (IsTurned(TextRotationOf(liner, kFontSong, liner.songsA.text))) {
        songs.Turned();
    } else {
        songs.Upright();
    }

    // A warning is for the change that armed it: a later paint that finds
    // the songs still too many stays silent.
    songFitWarning = false;
    if (!titleFits) {
        songs.result.overflows.insert(songs.result.overflows.begin(),
                                      {g.width / 2, TitleSpan(g).bottom, LoadString(IDS_TITLE_WONT_FIT)});
    }
    surface.RestoreOrigin(origin);
    return songs.result;
}
