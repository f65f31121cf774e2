// A CD's table of contents and its MusicBrainz disc id, from a TOC string or
// from the disc in a drive (through libdiscid).
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "songs/music_answers.h"

struct DiscToc {
    int first = 0, last = 0;   // track numbers
    int leadout = 0;           // sectors on the disc (its audio part)
    std::vector<int> offsets;  // the tracks' first sectors, first to last

    // MusicBrainz's form: "FIRST LAST LEADOUT OFFSET...".
    QString Text() const;
    // The disc id as MusicBrainz computes it; empty when the table is not
    // one libdiscid accepts.
    QString DiscId() const;
    // The tracks' lengths in seconds (75 sectors a second).
    std::vector<int> TrackSeconds() const;
};

// "FIRST LAST LEADOUT OFFSET..." (blanks or "+" between the numbers), with
// one offset for each track, rising, all before the lead-out.
std::optional<DiscToc> ParseDiscToc(const QString& text);

// The drive libdiscid reads when none is named.
QString DefaultDiscDrive();

// The songs of the disc of `release` that has the table of contents: the
// disc MusicBrainz lists the disc id for, else the first with as many
// tracks; lengths MusicBrainz lacks come from the table.  Nothing when the
// release has no such disc.
std::optional<std::vector<Track>> TracksOfDisc(const Release& release, const DiscToc& toc);

// Reads the table of contents of the disc in `device` (the default drive
// when empty); nothing, and the reason, when there is no drive or no disc.
std::optional<DiscToc> ReadDiscToc(const QString& device, QString* error);
