// What the track list targets share: one input read as a list of a given
// kind, with nothing looked up on the disk, and the bounds every import
// keeps whatever it reads.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
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

// A target's seeds: file names (telling the kind) and their texts.
using Seeds = std::vector<std::pair<std::string, std::string>>;

// A track list target's LLVMFuzzerInitialize: writes its seeds in seed mode.
inline int WriteTrackListSeedsWhenAsked(const Seeds& seeds) {
    return WriteSeedsWhenAsked([&seeds](const char* folder) {
        for (const auto& [name, text] : seeds) WriteSeed(folder, name, {text.begin(), text.end()});
    });
}

// A track list target's LLVMFuzzerTestOneInput: the input read as each of
// the kinds named, aborting when a reading breaks a bound.
inline int ReadAsTrackLists(const uint8_t* data, size_t size, std::initializer_list<const char*> names) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const char* name : names) {
        if (!ReadsWithinBounds(name, bytes)) std::abort();
    }
    return 0;
}

}  // namespace fuzz
