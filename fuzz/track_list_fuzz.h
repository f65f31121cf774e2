// What the track list targets share: one input read as a list of a given
// kind, with nothing looked up on the disk, and the bounds every import
// keeps whatever it reads.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "songs/track_list.h"

namespace fuzz {

// Reads `bytes` as the track list `name` (its extension tells the kind).
// False when the result breaks a bound: too many songs, a text longer than
// a liner keeps, a length out of range, or a refusal without a reason.
inline bool ReadsWithinBounds(const char* name, const QByteArray& bytes) {
    TrackReadControl control;
    control.openFiles = false;
    TrackListError error;
    const std::optional<TrackImport> import = ReadTrackListBytes(
        QStringLiteral("/nonexistent-fuzz-folder/") + QLatin1String(name), bytes, &error, &control);
    if (!import) return !error.cancelled && !error.reason.isEmpty();
    if (import->tracks.size() > 5000) return false;
    for (const Track& t : import->tracks) {
        for (const QString* text : {&t.title, &t.artist, &t.album, &t.albumArtist}) {
            if (text->toUtf8().size() > kMaxTrackTextBytes) return false;
        }
        if (t.seconds < -1 || t.seconds > kMaxTrackSeconds) return false;
    }
    return true;
}

using Seeds = std::vector<std::pair<std::string, std::string>>;

}  // namespace fuzz
