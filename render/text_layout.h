// Breaking font-coded text into rows, drawing the rows, and filling the
// title and song areas.  All measuring goes through the Surface, whose
// extents are the same on every device, so a liner breaks alike on the
// screen, on paper and in an image.
//
// Vertical positions passed to DrawRows and returned from it are logical y
// values (upward, y = -depth); the area routines take and return depths.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/liner.h"
#include "platform/surface.h"
#include "render/geometry.h"

class Prompter;

// A width that never breaks a row: features and side letters.
constexpr int kUnbrokenWidth = 32767;

// One element of a laid-out row.
struct RowItem {
    enum class Kind : uint8_t {
        Char,  // `value` is the byte, `width` its measured width
        Font,  // `value` is the font number (resolved: it names an entry or
               // is the text kind's standard font)
        Tab,   // `value` is the index into Liner::tabStops
    };
    Kind kind = Kind::Char;
    int value = 0;
    int width = 0;

    bool operator==(const RowItem&) const = default;
};

struct LayoutRow {
    int width = 0;    // measured width in twips
    int height = 0;   // largest cell height of the fonts in the row
    int descent = 0;  // largest descent of those fonts
    // Always starts with the font the row starts in.
    std::vector<RowItem> items;

    // The row's characters without fonts and tabs, for tests and tools.
    std::string Text() const;
};

// The result of laying out one item (a title line, a song, a side letter, a
// feature text).
struct RowBuffer {
    std::vector<LayoutRow> rows;
    int height = 0;     // rows and the within spacing between them
    int startFont = 0;  // the font the first row starts in
};

// The gap a "between" or "within" measurement stands for after a row of
// `rowHeight`: without a unit, or in lines, it counts rows.
int Spacing(const Measurement& spacing, int rowHeight);

// The items of a multi-item text (title lines, songs): at most `count`, each
// ending at CR (with its LF) or at the end; a NUL ends the text.
std::vector<std::string_view> SplitItems(std::string_view text, int count);

// Breaks one item (up to CR, NUL or its end) into rows `width` twips wide
// whose left edge lies at `leftX` on the paper (tab stops count from the
// paper's left edge).  `fontNumber` is the font the item starts in unless
// it begins with a font change; on return it holds the font in effect at the
// item's end, whichever side of the line break a change was stored on, so
// that the next item starts in the font its first character carries.
// Continuation rows are indented by `wrapIndent`.  Measures on
// `surface`, whose font is restored afterwards.  Returns rows.height.
int LayOut(Surface& surface, Liner& liner, int& fontNumber, int width, std::string_view item,
           int leftX, int wrapIndent, const Measurement& within, RowBuffer& rows);

// Convenience: the rows of one item without breaking (features, letters).
RowBuffer LayOutUnbroken(Surface& surface, Liner& liner, int standardFont, std::string_view text);

// Where DrawRows put the first thing it drew (see DrawRows).
struct FirstPosition {
    bool set = false;
    int x = 0;
    int y = 0;
};

// Draws laid-out rows with the top of the first row at logical `y`, within
// `width` twips from `x`, aligned and inset by `format` (left, right, wrap,
// within).  `reverseVideo` keeps the text colour the caller set.  Rows in a
// font turned by 90, 180 or 270 degrees are placed across the strip:
// `turnedExtent` is the mirror sum for 180 degrees (2 x area top + area
// height) and the reach for 270.  Returns the baseline of the last row.
// `first` receives the first segment's position raised by its row height
// (for upright text), or (x, last baseline) when nothing was drawn.
int DrawRows(Surface& surface, Liner& liner, int y, int x, int width, const RowBuffer& rows,
             const AreaFormat& format, bool reverseVideo, int turnedExtent,
             FirstPosition* first = nullptr);

// Fills the title area: every title line laid out in the title font (and its
// own font changes), spaced by the title format, or spread evenly with
// Center Vertically.  Draws nothing when the title has no lines.
// False when the lines reach beyond the area (below its bottom, or, centred
// vertically, above its top as well).
bool DrawTitleArea(Surface& surface, Liner& liner, const LinerGeometry& geometry);

// One side's songs in its column, flowing from area to area.
struct SongSide {
    const TextBlock* songs = nullptr;
    std::string sideName;  // "Side A" or "Side B", for the warning
    int startDepth = 0;    // depth of the first song's top
    int columnX = 0;
    int columnWidth = 0;
    const AreaFormat* primary = nullptr;
    const AreaFormat* overflow = nullptr;
};

struct SongSideResult {
    int depth = 0;  // below the last song drawn; the start depth with none
    FirstPosition firstSong;  // where the first song's first row went
    bool allFit = true;       // false when songs were left out
    int songsLeftOut = 0;     // how many were left out
};

// Lays out and draws a side's songs from `side.startDepth`.  `overflowIndex`
// is the area the flow is in (0 the primary area, k overflow area k - 1); it
// moves on as areas fill, and Side B continues it in the one-column layout.
// Songs that do not fit after the last overflow area are left out; then, if
// `songFitWarning` is armed, the user is told "Not all songs will fit on
// <side>" and the warning disarmed.
SongSideResult DrawSongSide(Surface& surface, Liner& liner, const LinerGeometry& geometry,
                            const SongSide& side, int& overflowIndex, Prompter& prompter,
                            bool& songFitWarning);
