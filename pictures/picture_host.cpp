#include "pictures/picture_host.h"

#include <dlfcn.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>

#include "document/liner.h"
#include "document/measurement.h"
#include "pictures/bmp_reader.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/strings.h"

namespace {

const char* const kExtensions[kPictureReaderCount] = {"bmp", "jpg", "pcx", "png", "tga"};

MessageStyle StopStyle() { return {MessageIcon::Stop, MessageButtons::Ok, false}; }

void* OpenLibrary(const std::string& folder, const std::string& name) {
    // The program's own folder first (a build tree), then the installed
    // plugin folder found from it; never a library of the same name elsewhere.
    if (folder.empty()) return nullptr;
    for (const std::string& place : PluginFolders(folder)) {
        std::string path = place == "/" ? "/" + name : place + "/" + name;
        if (QFileInfo::exists(QString::fromStdString(path))) {
            if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
        }
    }
    return nullptr;
}

// Pixels to twips, rounded; large pictures are held at the int range.
int PixelsToTwips(long long pixels, int pixelsPerInch) {
    if (pixelsPerInch <= 0) pixelsPerInch = 96;
    long long twips = MulDivRound(pixels, 1440, pixelsPerInch);
    if (twips > INT_MAX) return INT_MAX;
    if (twips < INT_MIN) return INT_MIN;
    return static_cast<int>(twips);
}

int32_t BlockI32(const void* block, size_t offset) {
    int32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(block) + offset, sizeof v);
    return v;
}

std::string LowerExtension(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = fileName.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

PictureReaderTable::PictureReaderTable(std::string folder)
    : folder_(folder.empty() ? GetProgramFolder() : NormalizeFolder(std::move(folder))) {
    for (int i = 0; i < kPictureReaderCount; ++i) rows_[static_cast<size_t>(i)].extension = kExtensions[i];
    PictureReader& bmp = rows_[kReaderBmp];
    bmp.loaded = true;
    bmp.read = BmpReadGraphicFile;
    bmp.information = BmpGetFileInformation;
    bmp.error = BmpGetError;
}

PictureReaderTable& PictureReaders() {
    static PictureReaderTable table;
    return table;
}

std::string PluginLibraryName(int index) {
    if (index <= kReaderBmp || index >= kPictureReaderCount) return {};
    return std::string(kExtensions[index]) + "flt32.so";
}

bool LoadPictureReader(int index, Prompter& prompter, PictureReaderTable& table) {
    if (index < 0 || index >= kPictureReaderCount) return false;
    PictureReader& row = table.Row(index);
    if (row.loaded) return true;

    const std::string name = PluginLibraryName(index);
    void* library = OpenLibrary(table.folder(), name);
    if (!library) {
        ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(), IDS_PLUGIN_NOT_FOUND, {name});
        return false;
    }
    // Looked up in this order; the first one missing is the one reported.
    void* read = dlsym(library, "ReadGraphicFile");
    void* information = read ? dlsym(library, "GetFileInformation") : nullptr;
    void* error = information ? dlsym(library, "GetError") : nullptr;
    if (!error) {
        const char* missing = !read ? "ReadGraphicFile"
                              : !information ? "GetFileInformation"
                                             : "GetError";
        // The library stays mapped (libraries are never unloaded) but unused.
        ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(), IDS_PLUGIN_FUNCTION_MISSING,
                    {std::string(missing), name});
        return false;
    }
    row.library = library;
    row.read = reinterpret_cast<ReadGraphicFileProc>(read);
    row.information = reinterpret_cast<GetFileInformationProc>(information);
    row.error = reinterpret_cast<GetErrorProc>(error);
    row.loaded = true;
    return true;
}

ScreenResolution CurrentScreenResolution() {
    ScreenResolution resolution;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            int x = static_cast<int>(std::lround(screen->logicalDotsPerInchX()));
            int y = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
            if (x > 0 && y > 0) resolution = {x, y};
        }
    }
    return resolution;
}

void ReportReaderError(uint16_t code, const std::string& fileName, Prompter& prompter) {
    uint16_t id;
    switch (code) {
        case PluginErrorOpen: id = IDS_CANNOT_OPEN_FILE; break;
        case PluginErrorCorrupt: id = IDS_PICTURE_CORRUPTED; break;
        case PluginErrorRead: id = IDS_CANNOT_READ_FILE; break;
        case PluginErrorMemory: FatalOutOfMemory(prompter); return;
        default: return;
    }
    ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(), id, {fileName});
}

namespace {
std::string& PictureBaseFolder() {
    static std::string folder;
    return folder;
}
}  // namespace

void SetPictureBaseFolder(const std::string& folder) { PictureBaseFolder() = folder; }

std::string ResolvePicturePath(const std::string& fileName) {
    const std::string& base = PictureBaseFolder();
    if (fileName.empty() || fileName.front() == '/' || base.empty()) return fileName;
    if (QFileInfo::exists(QString::fromStdString(fileName))) return fileName;
    std::string beside = base + "/" + fileName;
    if (QFileInfo::exists(QString::fromStdString(beside))) return beside;
    return fileName;
}

std::optional<PictureExamination> ExaminePictureFile(const std::string& fileName, Prompter& prompter,
                                                     PictureReaderTable& table,
                                                     ScreenResolution screen) {
    const std::string ext = LowerExtension(fileName);
    int matched = -1;
    for (int i = 0; i < kPictureReaderCount; ++i) {
        if (ext == kExtensions[i]) {
            matched = i;
            break;
        }
    }

    DibPtr block;
    int reader = matched;
    if (matched >= 0) {
        if (!LoadPictureReader(matched, prompter, table)) return std::nullopt;
        PictureReader& row = table.Row(matched);
        block.reset(row.information(ResolvePicturePath(fileName).c_str()));
        if (!block) {
            ReportReaderError(row.error(nullptr), fileName, prompter);
            return std::nullopt;
        }
    } else {
        for (int i = 0; i < kPictureReaderCount && !block; ++i) {
            if (!LoadPictureReader(i, prompter, table)) return std::nullopt;
            block.reset(table.Row(i).information(ResolvePicturePath(fileName).c_str()));
            reader = i;
        }
        if (!block) {
            ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(),
                        IDS_PICTURE_NOT_SUPPORTED, {fileName});
            return std::nullopt;
        }
    }

    // Device point (width, height) to the y-up twip mapping of the view.
    PictureExamination result;
    result.formatIndex = static_cast<uint8_t>(reader);
    result.naturalWidth = PixelsToTwips(BlockI32(block.get(), 4), screen.x);
    result.naturalHeight = PixelsToTwips(-static_cast<long long>(BlockI32(block.get(), 8)), screen.y);
    return result;
}

std::optional<PictureExamination> ExaminePictureFile(const std::string& fileName,
                                                     Prompter& prompter) {
    return ExaminePictureFile(fileName, prompter, PictureReaders(), CurrentScreenResolution());
}

DibPtr LoadPictureImage(const Picture& picture, Prompter& prompter, PictureReaderTable& table) {
    if (picture.formatIndex >= kPictureReaderCount) {
        // A damaged file can name a reader the table does not have.
        ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(), IDS_PICTURE_NOT_SUPPORTED,
                    {picture.fileName});
        return nullptr;
    }
    if (!LoadPictureReader(picture.formatIndex, prompter, table)) return nullptr;
    PictureReader& row = table.Row(picture.formatIndex);
    DibPtr image(row.read(ResolvePicturePath(picture.fileName).c_str()));
    if (!image) ReportReaderError(row.error(nullptr), picture.fileName, prompter);
    return image;
}

const void* PictureImages::Get(size_t index, const Picture& picture, Prompter& prompter,
                               PictureReaderTable& table) {
    if (index >= entries_.size()) entries_.resize(index + 1);
    Entry& entry = entries_[index];
    if (entry.tried && entry.fileName == picture.fileName) return entry.image.get();
    entry.image.reset();
    entry.fileName = picture.fileName;
    entry.image = LoadPictureImage(picture, prompter, table);
    entry.tried = true;
    return entry.image.get();
}

bool PictureImages::Has(size_t index, const std::string& fileName) const {
    return index < entries_.size() && entries_[index].image && entries_[index].fileName == fileName;
}

void PictureImages::Erase(size_t index) {
    if (index < entries_.size()) entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(index));
}

void ExamineOlderPictures(Liner& liner, Prompter& prompter, PictureReaderTable& table,
                          ScreenResolution screen) {
    for (Picture& picture : liner.pictures) {
        auto examined = ExaminePictureFile(picture.fileName, prompter, table, screen);
        if (!examined) continue;
        picture.naturalWidth = FromTwips(examined->naturalWidth, liner.defaultUnits);
        picture.naturalHeight = FromTwips(examined->naturalHeight, liner.defaultUnits);
        picture.formatIndex = examined->formatIndex;
    }
}

void ExamineOlderPictures(Liner& liner, Prompter& prompter, PictureReaderTable& table) {
    ExamineOlderPictures(liner, prompter, table, CurrentScreenResolution());
}
