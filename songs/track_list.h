// Reading the songs of a tape from where the music is: playlists (M3U, M3U8,
// PLS, XSPF), cue sheets, audio files and folders of them, and plain text
// with one song a line.  Nothing is looked up anywhere; titles, artists and
// lengths come from the sources and, for entries that name audio files, from
// the files' own tags.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// One song as a source describes it, in Unicode.
struct Track {
    QString title;
    QString artist;
    QString album;
    QString albumArtist;
    int disc = 0;      // 0 when not known
    int number = 0;    // track number, 0 when not known
    int seconds = -1;  // -1 when the length is not known
    QString file;      // the audio file the entry names, if any
};

// An entry that names an audio file that is not there: it is imported by
// name, and the user is told.
struct MissingFile {
    QString source;  // the playlist or cue sheet
    int line = 0;
    QString file;  // as resolved
};

// Why a source could not be read.  Nothing of a failed import is kept.
struct TrackListError {
    QString file;
    int line = 0;  // 0 when the fault is not on one line
    QString reason;

    // "FILE, line N: REASON" or "FILE: REASON".
    QString Message() const;
};

struct TrackImport {
    std::vector<Track> tracks;
    std::vector<MissingFile> missing;
    // The album and its artist when every song comes from the same one.
    QString album;
    QString albumArtist;

    int UnknownLengths() const;
};

// The audio file extensions read through the tag library.
bool IsAudioFileName(const QString& path);

// Reads the sources in the order given and puts their songs one after the
// other.  A source is a playlist, a cue sheet, an audio file, a folder (its
// audio files and those of its subfolders, by disc, track number and name)
// or a text file.  Nothing is returned when any source cannot be read.
std::optional<TrackImport> ReadTrackSources(const QStringList& sources, TrackListError* error);

// The same for one source held in memory, read as the kind its name tells
// (for tests and fuzzing).  Entries naming files are resolved against the
// folder of `name`.
std::optional<TrackImport> ReadTrackListBytes(const QString& name, const QByteArray& bytes,
                                              TrackListError* error);

// A length written as m:ss, (m:ss) or h:mm:ss at the end of `text`, which
// is cut off (with the blanks, tab marks and dashes before it) when
// `rest` is given.  -1 when the text does not end in a length.
int TrailingLength(const QString& text, QString* rest = nullptr);
