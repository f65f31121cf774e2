// Tape lengths and how a list of songs is split across the two sides of a
// tape, keeping the songs' order.
#pragma once

#include <QString>
#include <optional>
#include <string_view>
#include <vector>

// A cassette: C46, C60, C90, C100, C120, or any number of minutes for both
// sides together.
struct TapeLength {
    int minutes = 0;

    int SideSeconds() const { return minutes * 30; }
    // "C60" for the standard tapes, "74 min" for others.
    QString Name() const;
    bool operator==(const TapeLength&) const = default;
};

// The standard tapes, shortest first.
const std::vector<TapeLength>& StandardTapes();

// "C60" (any case) or a number of minutes from 1 to 600.
std::optional<TapeLength> ParseTapeLength(const QString& text);

enum class SplitMode {
    // The split point that makes the sides' totals closest, both within a
    // side's length.
    Balanced,
    // As many songs on Side A as it holds, the rest on Side B.
    FillSideAFirst,
};

struct TapeSplit {
    size_t sideACount = 0;  // the first songs go on Side A, the rest on Side B
    int sideASeconds = 0;
    int sideBSeconds = 0;
    // Time that fits on neither side (all of it on Side B); 0 when the songs
    // fit or when no tape was given.
    int missingSeconds = 0;
};

// Splits songs of the given lengths (-1 unknown, counted as 0).  Without a
// tape, Balanced puts the point where the totals are closest and Fill Side A
// first puts everything on Side A.  When no split fits both sides, Side A
// takes as many songs as it holds and the rest go on Side B.
TapeSplit SplitSongs(const std::vector<int>& seconds, std::optional<TapeLength> tape,
                     SplitMode mode);

// The totals of a split made by hand: the first `sideACount` songs on A.
TapeSplit SplitAt(const std::vector<int>& seconds, size_t sideACount,
                  std::optional<TapeLength> tape);

// m:ss, or h:mm:ss from an hour on.
QString FormatLength(int seconds);

// The total of the lengths found at the ends of the rows of a song text
// (display text or font-coded; rows end at CR, LF or both).
struct RowsTotal {
    int seconds = 0;
    int rows = 0;            // rows that are not empty
    int rowsWithLength = 0;  // of those, rows that end in a length
};
RowsTotal TotalOfRows(const QString& text);
RowsTotal TotalOfRows(std::string_view codePageText);

// "23:41 on this side", or "23:41 of 30:00 on this side" against a side's
// length, with what is over: "32:10 of 30:00 on this side, 2:10 too long".
QString SideTotalText(const RowsTotal& total, std::optional<TapeLength> tape);
