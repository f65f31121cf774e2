// Drawing a whole liner: the frame and paper on the screen, the pictures,
// the fold and cut lines, the side letters, the title, the features and the
// songs of both sides, in that order.  The same routine serves the view, the
// printer, PDF files and images; only the surface and the printing flag
// change.
#pragma once

#include <string>
#include <vector>

#include "document/liner.h"
#include "platform/surface.h"
#include "render/geometry.h"

class Prompter;
class PictureImages;
class PictureReaderTable;

// Width of the band around the paper that the screen paint fills with the
// window colour.
constexpr int kScreenFrame = 540;

struct PaintOptions {
    // Where the liner's top-left corner goes, in the surface's logical
    // coordinates (twips, y upward) as they are when PaintLiner is called.
    int x = 0;
    int y = 0;
    // On paper nothing is filled: no frame and no white paper, so pictures
    // and text print on the page's own white.
    bool printing = false;
    // The picture readers; null means the program's table.
    PictureReaderTable* readers = nullptr;
    // Bleed for a print shop, in twips: when above 0 the cut lines give way
    // to crop marks outside the bleed, and pictures that touch a cut edge run
    // on into the bleed.
    int bleed = 0;
};

// How far outside the bleed the crop marks begin, and how long they are.
constexpr int kCropMarkGap = 72;
constexpr int kCropMarkLength = 360;
// The room a card with bleed needs on each side beyond its cut edge: the
// bleed, the marks and as much again as the gap, so the marks never touch
// the paper's edge.
constexpr int CropMarkRoom(int bleed) { return bleed + 2 * kCropMarkGap + kCropMarkLength; }

// The crop marks of a card with bleed: two at each corner, on the lines of
// the cut edges, outside the bleed.
std::vector<TwipSegment> BleedCropMarks(const LinerGeometry& g, int bleed);

// Where Side B's first song starts: its song area in flow order (0 the
// primary area, k + 1 overflow area k), and the position of the first row as
// the text layout reports it (x, and depth below the paper's top edge).
// With no songs on Side B, where its first song would have started.
struct SideBStartPosition {
    int area = 0;
    int x = 0;
    int depth = 0;

    bool operator==(const SideBStartPosition&) const = default;
};

// An area whose text did not all fit: where the mark that says so goes on
// the screen (the middle of its bottom edge, in twips from the paper's
// top-left corner, depth downward), and what it says.
struct OverflowMark {
    int x = 0;
    int depth = 0;
    std::string text;
};

struct PaintResult {
    SideBStartPosition sideBStart;
    bool allSongsFit = true;  // false when songs of either side were left out
    int songsLeftOut = 0;     // how many songs of both sides were left out
    std::vector<OverflowMark> overflows;  // the title's and each side's last area
};

// Draws `liner` on `surface`.  A picture not decoded yet in `pictures` is
// decoded first, or, when `pictures` decodes in the background, shown as a
// light placeholder until it is ready; when decoding fails the reason goes
// to `prompter` (once) and the picture is left out.  Songs that do not fit
// are left out, and so is what does not fit of a title turned along a low
// spine; if `songFitWarning` is armed the user is told once of each ("Not
// all songs will fit on %s", "Not all of the title will fit in the title
// area") and it is disarmed.
// The surface's origin, pen, brush, font and colours are given back as they
// were.
PaintResult PaintLiner(Surface& surface, Liner& liner, const PaintOptions& options,
                       PictureImages& pictures, Prompter& prompter, bool& songFitWarning);

// ---- The parts, for tests and for callers that draw one of them alone -----
// Each draws in liner coordinates (the paper's top-left corner at (0, 0)).

// Where a side letter went.  Upright and at 180 degrees `start` and `end` are
// depths (the letter's top and the depth below it, reverse-video margin
// included); at 90 and 270 degrees they are distances across the strip from
// the edge the glyph tops point to.  `box` is what it covers on the paper,
// the reverse-video box included.
struct LetterPlacement {
    bool drawn = false;
    int start = 0;
    int end = 0;
    TwipRect box;
    // The area the letter ended up in: the one it hangs from, or the next
    // song area when it had to leave the primary area.
    DepthSpan area;
};

// Draws one side letter.  Upright, it hangs from `depth` with its own `top`
// margin below that and its `side` margin from the left edge (Side A) or the
// right edge (`rightSide`, Side B); a letter that would straddle the bottom
// edge of the primary area moves to the top of the next song area.  At 180
// degrees it keeps its side of the paper and is mirrored within `area`.  At
// 90 and 270 degrees it runs along `area`: Side A's letter `side` in from
// the area's top end, Side B's `side` in from its bottom end, its glyph tops
// `depth` + `top` in from the edge they point to (the right edge at 90
// degrees, the left edge at 270).
LetterPlacement DrawSideLetter(Surface& surface, Liner& liner, const LinerGeometry& geometry,
                               const SideLetterFormat& letter, bool rightSide, int depth,
                               DepthSpan area);

// Draws one feature of the feature list.
void DrawFeature(Surface& surface, Liner& liner, const LinerGeometry& geometry,
                 const Feature& feature);

// The selected choice of a side (0 A, 1 B) of a sided feature, or null when
// the selection names no choice.
const std::string* SelectedChoice(const Feature& feature, int side);
