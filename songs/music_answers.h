// Reading the answers of the MusicBrainz web service and the Cover Art
// Archive (JSON) into releases and tracks.  Plain functions over bytes: the
// answers come from the network and are read as hostile input.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "songs/track_list.h"

// One release of a search or a disc-id answer, as the list shows it.
struct ReleaseSummary {
    QString id;  // the MBID
    QString artist;
    QString title;
    QString year;
    QString country;
    QString format;  // "CD", "2×CD", "12\" Vinyl + CD"
    int tracks = 0;
};

struct ReleaseDisc {
    int position = 0;  // 1-based
    QString format;
    QString title;
    QStringList discIds;  // the disc ids MusicBrainz knows for this disc
    std::vector<Track> tracks;
};

struct Release {
    ReleaseSummary summary;
    std::vector<ReleaseDisc> discs;

    // The songs of the chosen discs (all when `discs` is empty), in order,
    // each with the album and its artist.
    std::vector<Track> Tracks(const std::vector<int>& discs = {}) const;
    // Those songs as an import of this album: its title and artist go to
    // the spine.
    TrackImport Import(std::vector<Track> tracks) const;
};

// The release list of `/ws/2/release?query=...`.
std::optional<std::vector<ReleaseSummary>> ReadReleaseSearch(const QByteArray& json, QString* error);
// One release of `/ws/2/release/MBID?inc=recordings+artist-credits`.
std::optional<Release> ReadRelease(const QByteArray& json, QString* error);
// The releases of `/ws/2/discid/ID?inc=recordings+artist-credits` (empty
// when the disc is not known).
std::optional<std::vector<Release>> ReadDiscIdAnswer(const QByteArray& json, QString* error);
// A release's MBID from an MBID or a MusicBrainz address
// (`https://musicbrainz.org/release/MBID`); nothing when it holds none.
std::optional<QString> ParseReleaseId(const QString& text);

// The picture kind of image bytes by their signature: "jpg", "png",
// "webp", "bmp", or empty.
QString ImageExtension(const QByteArray& bytes);
