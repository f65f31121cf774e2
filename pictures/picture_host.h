// The picture host: the table of picture readers (the built-in BMP reader and
// the graphics plugins), examining picture files, decoding them for drawing
// and reporting what went wrong.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugins/common/graphics_plugin.h"

class Prompter;
struct Liner;
struct Picture;

constexpr int kPictureReaderCount = 5;
enum PictureReaderIndex : uint8_t {
    kReaderBmp = 0,
    kReaderJpg = 1,
    kReaderPcx = 2,
    kReaderPng = 3,
    kReaderTga = 4,
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

// Loads the row's plugin library if it has none yet.  A missing library or
// export is reported (stop icon, owned by the main window) and fails; a
// library lacking an export is not kept, so each later use reports it again.
bool LoadPictureReader(int index, Prompter& prompter, PictureReaderTable& table = PictureReaders());

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
std::string ResolvePicturePath(const std::string& fileName);

std::optional<PictureExamination> ExaminePictureFile(const std::string& fileName, Prompter& prompter,
                                                     PictureReaderTable& table,
                                                     ScreenResolution screen);
std::optional<PictureExamination> ExaminePictureFile(const std::string& fileName,
                                                     Prompter& prompter);

// Shows the message of a reader's error code for `fileName`: 1 cannot open,
// 2 corrupted, 3 cannot read (exclamation icon); 4 is fatal out of memory;
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

// The decoded bitmaps of a Liner's pictures, kept between paints.  An entry
// belongs to the picture at its index and file name: a picture that now names
// another file is decoded again.  Pictures that could not be decoded are
// tried again on every paint.
class PictureImages {
public:
    // The bitmap of picture `index`, decoding it first when needed.  A
    // picture whose file could not be read is not tried again (and its
    // message not shown again) until its file name changes or the list is
    // replaced.
    const void* Get(size_t index, const Picture& picture, Prompter& prompter,
                    PictureReaderTable& table = PictureReaders());
    // Whether picture `index` holds a bitmap for `fileName` now.
    bool Has(size_t index, const std::string& fileName) const;
    // A picture deleted from the list: later entries move down one place.
    void Erase(size_t index);
    // The picture list was replaced.
    void Clear() { entries_.clear(); }

private:
    struct Entry {
        std::string fileName;
        DibPtr image;
        bool tried = false;
    };
    std::vector<Entry> entries_;
};

// Pictures of a liner or format file from before natural sizes were stored:
// each picture file is examined and, when it answers, gives the natural size
// (expressed in the Liner's default unit) and the reader.  A picture that
// cannot be examined keeps what it has.
void ExamineOlderPictures(Liner& liner, Prompter& prompter,
                          PictureReaderTable& table = PictureReaders());
void ExamineOlderPictures(Liner& liner, Prompter& prompter, PictureReaderTable& table,
                          ScreenResolution screen);
