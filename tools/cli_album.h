// reelcard-cli's album lookups: `lookup QUERY`, and the songs of a release
// or a CD for `songs --release / --disc-toc / --cd`.  Each waits for its
// answers in an event loop of its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "songs/disc_toc.h"
#include "songs/music_answers.h"
#include "songs/track_list.h"

// Where the songs of an album come from: a release, or a disc's table of
// contents (given, or read from a drive).
struct AlbumSource {
    QString releaseId;
    std::optional<DiscToc> toc;
    bool readDrive = false;
    QString device;  // empty: the default drive
    bool cover = true;
};

struct AlbumTracks {
    TrackImport import;
    QByteArray cover;  // empty when there is none or none was asked for
};

// Looks the album up; nothing, and what failed, on any failure.  Notes (the
// other releases of a disc, a missing cover) go to standard error.
std::optional<AlbumTracks> FetchAlbum(const AlbumSource& source, QString* error);

// Prints the releases matching `query`, one a line:
// MBID, artist, title, year, country, format, tracks, separated by tabs.
// The exit status: 0, or 1 when the search failed.
int LookupCommand(const QString& query);
