// Turning imported songs into the rows of the two song texts: one row a
// song, "Artist - Title", a tab mark and the length, in the liner's song
// font, or in variants of it for letters its code page lacks.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "document/liner.h"
#include "songs/tape_split.h"
#include "songs/track_list.h"

// A character the Western code page lacks becomes its nearest letter ("ł" →
// "l", "ő" → "o") where there is one, and "?" otherwise.  `changed` is set
// when anything was replaced.
std::string ToCodePageNearest(const QString& text, bool* changed = nullptr);

// `text` as font-coded text that goes on in font `*current` (kept up to
// date; `standard` is the text's standard font): a character the font lacks
// is stored with a variant of it, added to `fonts` when there is none yet;
// one that no code page holds, or whose variant the full table cannot
// take, becomes its nearest letter as above, and `changed` is set.
std::string ToFontCoded(const QString& text, std::vector<FontEntry>& fonts, int standard, int* current,
                        bool* changed = nullptr);

// Whether the songs name more than one artist.
bool SeveralArtists(const std::vector<Track>& tracks);

struct RowOptions {
    bool artist = false;   // "Artist - " before each title
    bool numbers = false;  // "1. " before each row, counting on across the sides
};

// A song whose row had to change for the code pages.
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
    // The liner's font table with the variants the texts use; empty when
    // the texts were made without one (Western only).
    std::vector<FontEntry> fonts;
};

// One row: "[n. ][Artist - ]Title", then a tab mark and the length when it
// is known.  In Unicode; the code page comes later.
QString SongRow(const Track& track, int number, const RowOptions& options);

// The rows of the first `sideACount` songs become Side A's text, the others
// Side B's, set in the song font, the album in the title font.  With the
// liner's `fonts`, letters those fonts' code pages lack are set in font
// variants (SongTexts::fonts); without, they become their nearest Western
// letters.  Nothing when a side is too long to be kept in a liner.
std::optional<SongTexts> MakeSongTexts(const std::vector<Track>& tracks, size_t sideACount,
                                       const RowOptions& options, const QString& album,
                                       const QString& albumArtist,
                                       const std::vector<FontEntry>* fonts = nullptr);

// Puts the texts into the Liner: both song texts, the font table they were
// made with, and the title when the Liner's title is empty.  True when the
// title was set too.
bool PutSongTexts(Liner& liner, const SongTexts& texts);

// What the user is told after reading: what the readers left out or cut,
// the missing files with their lines,
// the songs without a known length, the songs changed for the code page,
// and the time that does not fit on the tape.  One paragraph each.
QStringList ImportNotes(const TrackImport& import, const SongTexts* texts, const TapeSplit& split,
                        std::optional<TapeLength> tape);
