// Reading the songs of a tape from where the music is: playlists (M3U, M3U8,
// PLS, XSPF), cue sheets, audio files and folders of them, and plain text
// with one song a line.  Nothing is looked up anywhere; titles, artists and
// lengths come from the sources and, for entries that name audio files, from
// the files' own tags.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
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
    bool cancelled = false;  // the user stopped the reading

    // "FILE, line N: REASON" or "FILE: REASON".
    QString Message() const;
};

struct TrackImport {
    std::vector<Track> tracks;
    std::vector<MissingFile> missing;
    // What was left out or changed on the way, one line each, naming the
    // file (and line) it concerns: files that are not regular files or
    // cannot be read, tags given up on, texts cut, lists not followed.
    QStringList notes;
    // The album and its artist when every song comes from the same one.
    QString album;
    QString albumArtist;

    int UnknownLengths() const;
};

// The audio file extensions read through the tag library.
bool IsAudioFileName(const QString& path);

// The track list files a playlist may name in place of a song.
bool IsTrackListFileName(const QString& path);

// A text longer than this many bytes (UTF-8) is cut on a character boundary
// and ends in "…": with room for the rest of a row, a song still fits a side
// of a liner, and an album and its artist the title.
constexpr int kMaxTrackTextBytes = 4096;

// The longest length taken from any source, in seconds; a longer one (or
// none at all) is an unknown length.
constexpr int kMaxTrackSeconds = 1'000'000;

// How a reading goes on: it may run on a thread of its own, told to stop
// through `cancel`, and reports each file it starts on.
struct TrackReadControl {
    std::atomic<bool> cancel{false};
    // Called on the reading thread before each audio file or list is read.
    std::function<void(const QString& file, int filesRead)> progress;
    // The tag library gives up on one file past these; the song is then
    // named after the file.
    qint64 maxTagBytes = 64 * 1024 * 1024;
    int maxTagMilliseconds = 3000;
    // Off for bytes that must not reach out to the disk (fuzzing): entries
    // naming files are taken by name only.
    bool openFiles = true;
};

// Reads the sources in the order given and puts their songs one after the
// other.  A source is a playlist, a cue sheet, an audio file, a folder (its
// audio files and those of its subfolders, by disc, track number and name)
// or a text file.  Only regular files are read.  Nothing is returned when
// any source cannot be read, or when `control` was cancelled (then
// `error->cancelled` is set).
std::optional<TrackImport> ReadTrackSources(const QStringList& sources, TrackListError* error,
                                            TrackReadControl* control = nullptr);

// The same for one source held in memory, read as the kind its name tells
// (for tests and fuzzing).  Entries naming files are resolved against the
// folder of `name`.
std::optional<TrackImport> ReadTrackListBytes(const QString& name, const QByteArray& bytes,
                                              TrackListError* error,
                                              TrackReadControl* control = nullptr);

// A length written as m:ss, (m:ss) or h:mm:ss at the end of `text`, which
// is cut off (with the blanks, tab marks and dashes before it) when
// `rest` is given.  -1 when the text does not end in a length.
int TrailingLength(const QString& text, QString* rest = nullptr);
