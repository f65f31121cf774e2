// Turning imported songs into the rows of the two song texts: one row a
// song, "Artist - Title", a tab mark and the length, in the liner's song
// font and its Windows-1252 code page.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "document/liner.h"
#include "songs/tape_split.h"
#include "songs/track_list.h"

// A character the code page lacks becomes its nearest letter ("ł" → "l",
// "ő" → "o") where there is one, and "?" otherwise.  `changed` is set when
// anything was replaced.
std::string ToCodePageNearest(const QString& text, bool* changed = nullptr);

// Whether the songs name more than one artist.
bool SeveralArtists(const std::vector<Track>& tracks);

struct RowOptions {
    bool artist = false;   // "Artist - " before each title
    bool numbers = false;  // "1. " before each row, counting on across the sides
};

// A song whose row had to change for the code page.
struct ChangedSong {
    int number = 0;  // 1-based, in the order of the import
    QString original;
    QString stored;
};

// Both song texts of an import, ready for the Liner.
struct SongTexts {
    TextBlock sideA, sideB;
    std::vector<ChangedSong> changed;
    // The title the liner gets when its own is empty: the album and its
    // artist on two lines; lineCount 0 when the songs name no album.
    TextBlock title;
};

// One row: "[n. ][Artist - ]Title", then a tab mark and the length when it
// is known.  In Unicode; the code page comes later.
QString SongRow(const Track& track, int number, const RowOptions& options);

// The rows of the first `sideACount` songs become Side A's text, the others
// Side B's.  The texts carry no font changes, so every row is set in the
// song font.  Nothing when a side is too long to be kept in a liner.
std::optional<SongTexts> MakeSongTexts(const std::vector<Track>& tracks, size_t sideACount,
                                       const RowOptions& options, const QString& album,
                                       const QString& albumArtist);

// Puts the texts into the Liner: both song texts, and the title when the
// Liner's title is empty.  True when the title was set too.
bool PutSongTexts(Liner& liner, const SongTexts& texts);

// What the user is told after reading: the missing files with their lines,
// the songs without a known length, the songs changed for the code page,
// and the time that does not fit on the tape.  One paragraph each.
QStringList ImportNotes(const TrackImport& import, const SongTexts* texts, const TapeSplit& split,
                        std::optional<TapeLength> tape);
