// The picture host: the table of picture readers (the built-in BMP reader and
// the graphics plugins), examining picture files, decoding them for drawing
// and reporting what went wrong.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QSize>

#include "plugins/common/graphics_plugin.h"

class Prompter;
struct Liner;
struct Picture;

constexpr int kPictureReaderCount = 6;
enum PictureReaderIndex : uint8_t {
    kReaderBmp = 0,
    kReaderJpg = 1,
    kReaderPcx = 2,
    kReaderPng = 3,
    kReaderTga = 4,
    kReaderWebp = 5,
};

// One row of the reader table.  The three operations are null until the row
// is loaded; the built-in row is loaded from the start.
struct PictureReader {
    const char* extension = "";  // lower case, no dot
    void* library = nullptr;     // dlopen handle, never closed
    bool loaded = false;
    ReadGraphicFileProc read = nullptr;
    GetFileInformationProc information = nullptr;
    GetErrorProc error = nullptr;
};

// The five readers, in their fixed order.  The program uses one table for the
// whole run (PictureReaders()); tests make their own to choose where plugin
// libraries are looked for.
class PictureReaderTable {
public:
    // Plugin libraries are looked for in `folder` first, then in the
    // installed plugin folder found from it.  An empty folder means the
    // program's folder.
    explicit PictureReaderTable(std::string folder = {});

    PictureReader& Row(int index) { return rows_[static_cast<size_t>(index)]; }
    const PictureReader& Row(int index) const { return rows_[static_cast<size_t>(index)]; }
    const std::string& folder() const { return folder_; }

private:
    std::array<PictureReader, kPictureReaderCount> rows_;
    std::string folder_;
};

// The program's reader table.
PictureReaderTable& PictureReaders();

// The library file of a plugin row: extension + "flt32.so" (empty for the
// built-in row and for indices outside the table).
std::string PluginLibraryName(int index);

// The picture type a row reads, in plain words ("JPEG", "WebP").
const char* PictureTypeName(int index);

// Loads the row's plugin library if it has none yet.  A missing library or
// export is reported (stop icon, owned by the main window) and fails; a
// library lacking an export is not kept, so each later use reports it again.
// When the library is missing for a named picture file, the message says in
// plain words which picture type is not supported.
bool LoadPictureReader(int index, Prompter& prompter, PictureReaderTable& table = PictureReaders(),
                       const std::string& fileName = {});

// Whether the row can read pictures: the built-in row, or a plugin library
// that is there with its exports (it is loaded then).  Says nothing.
bool PictureReaderAvailable(int index, PictureReaderTable& table = PictureReaders());

// The Add Picture dialog's filter, as description and pattern pairs: first
// one filter showing every picture type that has a reader, then each of
// those types alone, then all files.  Types whose plugin is missing are
// left out.
std::vector<std::pair<std::string, std::string>> PictureFilterPairs(PictureReaderTable& table = PictureReaders());

// Logical pixels per inch of the screen pictures are measured against.
struct ScreenResolution {
    int x = 96;
    int y = 96;
};
// The primary screen's, or 96 by 96 when there is no screen.
ScreenResolution CurrentScreenResolution();

struct PictureExamination {
    uint8_t formatIndex = 0;
    int naturalWidth = 0;   // twips
    int naturalHeight = 0;  // twips, negative (downward)
};

// Which reader reads `fileName` and the picture's own size.  Failures are
// reported to the user, except an information call that fails while readers
// are tried one after another for an unknown extension.
// A picture named without a folder, or with a relative one, is looked for
// beside the liner file that names it (the folder set here, normally by the
// liner reader) when it is not found from the working folder.
void SetPictureBaseFolder(const std::string& folder);
std::string CurrentPictureBaseFolder();
std::string ResolvePicturePath(const std::string& fileName);

std::optional<PictureExamination> ExaminePictureFile(const std::string& fileName, Prompter& prompter,
                                                     PictureReaderTable& table,
                                                     ScreenResolution screen);
std::optional<PictureExamination> ExaminePictureFile(const std::string& fileName,
                                                     Prompter& prompter);

// Shows the message of a reader's error code for `fileName`: 1 cannot open,
// 2 corrupted, 3 cannot read (exclamation icon); 4 not enough memory for this picture;
// anything else shows nothing.
void ReportReaderError(uint16_t code, const std::string& fileName, Prompter& prompter);

struct FreeDib {
    void operator()(void* p) const { std::free(p); }
};
using DibPtr = std::unique_ptr<void, FreeDib>;

// Decodes a picture's file with the reader its formatIndex names.  Null when
// it cannot be drawn this time; the reason has been reported.
DibPtr LoadPictureImage(const Picture& picture, Prompter& prompter,
                        PictureReaderTable& table = PictureReaders());

// A picture decoded and made drawable once, shared by everything that draws
// it (the screen, the printer, PDF, PNG export, print preview) for as long as
// one of them holds it.  Its file is decoded off the window's thread when
// asked to; until then it is pending.
class DecodedPicture {
public:
    enum class State { Pending, Ready, Failed };

    State state() const;
    // The full-resolution picture (null until ready).
    QImage image() const;
    // The picture scaled to `size` device pixels, made on first use and kept
    // for the last few sizes asked (a screen copy per zoom).
    QImage ScaledTo(QSize size);
    uint16_t errorCode() const;

private:
    friend class PictureImages;
    friend struct PictureDecoding;
    mutable std::mutex mutex_;
    State state_ = State::Pending;
    QImage image_;
    uint16_t error_ = 0;
    bool reported_ = false;
    std::vector<std::pair<QSize, QImage>> scaled_;  // most recently used first
    std::vector<QImage> halvings_;                   // the picture at 1/2, 1/4, ... of its size

    // The smallest of the picture's halvings that holds `size`, or the
    // picture itself; halvings are made as they are first needed.
    QImage HalvingFor(const QImage& full, QSize size);
};

// What the painter gets for one picture.
struct PictureLookup {
    std::shared_ptr<DecodedPicture> picture;  // null: not drawn this time
    bool pending = false;                     // being decoded: draw a placeholder
};

// The decoded pictures of a Liner, by index.  An entry belongs to the
// picture at its index and file: a picture that now names another file, or
// whose file changed on disk, is decoded again.  A picture that could not be
// decoded is reported once and not tried again until its file name or file
// changes or the list is replaced.  Entries are shared through one cache of
// the program, so a picture is decoded once however many users draw it.
class PictureImages {
public:
    // With `background` the files are decoded on worker threads and
    // `ready` is called on this object's thread when one is done.
    explicit PictureImages(bool background = false, std::function<void()> ready = {});
    ~PictureImages();
    PictureImages(const PictureImages&) = delete;
    PictureImages& operator=(const PictureImages&) = delete;

    PictureLookup Get(size_t index, const Picture& picture, Prompter& prompter,
                      PictureReaderTable& table = PictureReaders());
    // The same, telling nothing (a decoding started ahead, a thumbnail): a
    // picture that cannot be read stays to be reported by the next Get of
    // any user, which a quiet look must not take from it.
    PictureLookup GetQuietly(size_t index, const Picture& picture, PictureReaderTable& table = PictureReaders());
    // Whether picture `index` holds a decoded picture for `fileName` now.
    bool Has(size_t index, const std::string& fileName) const;
    // A picture deleted from the list: later entries move down one place.
    void Erase(size_t index);
    // The picture list was replaced.
    void Clear() { entries_.clear(); }
    // Picture `index`, decoded, found no memory to be drawn: it is told once
    // and left out, as a picture that found none to be decoded.
    void DrawingFailed(size_t index, const Picture& picture, Prompter& prompter);
    // Whether a picture asked for could not be drawn (a missing or damaged
    // file, one too large for the pixel limit or for the memory there is).
    bool anyFailed() const { return failed_; }

private:
    // `prompter` null: quiet.
    PictureLookup Look(size_t index, const Picture& picture, Prompter* prompter, PictureReaderTable& table);
    struct Entry {
        std::string fileName;
        std::shared_ptr<DecodedPicture> decoded;
    };
    bool background_;
    std::shared_ptr<std::function<void()>> ready_;
    std::vector<Entry> entries_;
    bool failed_ = false;
};

// The picture a PackedDib holds as a QImage, sharing the block's memory
// where Qt can show it as it is (24-bit, 8-bit and 1-bit bitmaps, whose rows
// are turned top row first in place); the image owns the block then.
QImage TakePackedDib(DibPtr dib);

// Where a picture goes, in twips: left and depth below the liner's top edge,
// width and height (all positive).
struct PicturePlace {
    int left = 0;
    int depth = 0;
    int width = 0;
    int height = 0;
};

// The largest rectangle of a picture's own proportions (natural width by
// natural height, either sign) inside `area`, centred in it.  Without a
// natural size the whole area.
PicturePlace FitPictureInside(const PicturePlace& area, int naturalWidth, int naturalHeight);

// Adds the picture file at `path` to the Liner, fitted into `area` keeping
// its proportions.  False, with the reason told, when it cannot be examined.
bool AddFittedPicture(Liner& liner, const std::string& path, const PicturePlace& area, Prompter& prompter,
                      PictureReaderTable& table, ScreenResolution screen);

// Pictures of a liner or format file from before natural sizes were stored:
// each picture file is examined and, when it answers, gives the natural size
// (expressed in the Liner's default unit) and the reader.  A picture that
// cannot be examined keeps what it has.
void ExamineOlderPictures(Liner& liner, Prompter& prompter,
                          PictureReaderTable& table = PictureReaders());
void ExamineOlderPictures(Liner& liner, Prompter& prompter, PictureReaderTable& table,
                          ScreenResolution screen);
