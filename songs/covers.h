// The front cover of an album: found in the audio files' own tags or beside
// them, written beside the liner and placed on it.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "document/liner.h"
#include "pictures/picture_host.h"
#include "platform/prompter.h"
#include "songs/track_list.h"

struct CoverImage {
    QByteArray bytes;   // as stored, never re-encoded
    QString extension;  // "jpg", "png", "webp" or "bmp"
    QString source;     // the audio or image file it came from, or the address
};

// The picture embedded in an audio file (FLAC picture blocks, ID3v2 APIC
// frames, MP4 covr atoms, Ogg METADATA_BLOCK_PICTURE), the front cover
// where the file has several; nothing when it has none.  The file is read
// within the bounds of `control` (the tag reader's defaults when null).
std::optional<CoverImage> EmbeddedCover(const QString& audioFile, const TrackReadControl* control = nullptr);

// The cover of the songs: the first picture embedded in their files, else an
// image beside them named cover, folder, front or album (in that order, any
// case; JPEG, PNG, WebP or BMP).  Only regular files are read, each within
// the bounds of `control`; nothing once it is cancelled.
std::optional<CoverImage> FindCover(const std::vector<Track>& tracks, const TrackReadControl* control = nullptr);

// Cover bytes from elsewhere (a download), when they are a picture we read.
std::optional<CoverImage> CoverFromBytes(const QByteArray& bytes, const QString& source);

// Writes the cover beside the liner as NAME-cover.EXT (NAME-cover-2.EXT and
// so on when that name holds another file; a file with the same bytes is
// used as it is).  The file's name, or nothing and the reason.  `created`
// tells whether the file is new (and so to be removed if the liner is not
// written after all).
std::optional<QString> WriteCoverBeside(const QString& linerPath, const CoverImage& cover, bool* created,
                                        QString* error);

// A place of the liner a cover can take: a whole area across the width.
struct CoverArea {
    enum class Kind { None, Flap, Title, Primary, Overflow };
    Kind kind = Kind::None;
    int overflow = 0;    // which overflow area, from 0
    PicturePlace place;  // the area, in twips
    // In words, to follow "in the": "title area", "overflow panel 2".
    QString Name() const;
};

// Where the Liner, with its songs in it, can take a cover: "no cover" first,
// then the title area and every panel the songs leave free (the flap, the
// front when it holds no songs, the overflow panels the songs do not reach),
// in the strip's order.  Only the format's geometry and the songs decide;
// the format files carry nothing of it.
std::vector<CoverArea> CoverAreas(const Liner& liner);

// The area a cover takes unless the user chooses: the first panel of the
// front's size the songs leave free (the front itself, then the overflow
// panels, then the flap), else the title area.  An index into `areas`.
size_t DefaultCoverArea(const std::vector<CoverArea>& areas, const Liner& liner);

// Adds the cover file (written beside `linerPath`) to the Liner, fitted into
// `area` keeping its proportions, named relative to the liner (in place of a
// picture of that name).  False, with the reason told, when the picture
// cannot be examined or its name not stored.
bool PlaceCover(Liner& liner, const QString& linerPath, const QString& coverFile, const PicturePlace& area,
                Prompter& prompter);
