#include "pictures/picture_host.h"

#include <dlfcn.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>

#include "document/liner.h"
#include "document/measurement.h"
#include "pictures/bmp_reader.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "platform/strings.h"

namespace {

const char* const kExtensions[kPictureReaderCount] = {"bmp", "jpg", "pcx", "png", "tga", "webp"};
const char* const kTypeNames[kPictureReaderCount] = {"BMP", "JPEG", "PCX", "PNG", "TGA (Targa)", "WebP"};

MessageStyle StopStyle() { return {MessageIcon::Stop, MessageButtons::Ok, false}; }

// For looking at what is installed without telling anyone.
class QuietPrompter : public Prompter {
public:
    MessageResult Show(const MessageOwner&, const MessageStyle& style, const std::string&) override {
        return DefaultAnswer(style.buttons);
    }
    MergeChoice AskMerge(const std::string&) override { return MergeChoice::Cancel; }
};

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

// Pixels per metre to twips, rounded: a length of `pixels` at that resolution.
long long PixelsAtResolution(long long pixels, long long perMetre) {
    // 1440 twips an inch, 0.0254 m an inch.
    return MulDivRound(pixels, 1440 * 10000, perMetre * 254);
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

const char* PictureTypeName(int index) {
    return index >= 0 && index < kPictureReaderCount ? kTypeNames[index] : "";
}

bool LoadPictureReader(int index, Prompter& prompter, PictureReaderTable& table, const std::string& fileName) {
    if (index < 0 || index >= kPictureReaderCount) return false;
    PictureReader& row = table.Row(index);
    if (row.loaded) return true;

    const std::string name = PluginLibraryName(index);
    void* library = OpenLibrary(table.folder(), name);
    if (!library) {
        if (!fileName.empty()) {
            ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(), IDS_PICTURE_TYPE_MISSING,
                        {std::string(kTypeNames[index]), fileName, name});
        } else {
            ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(), IDS_PLUGIN_NOT_FOUND, {name});
        }
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

bool PictureReaderAvailable(int index, PictureReaderTable& table) {
    if (index < 0 || index >= kPictureReaderCount) return false;
    if (table.Row(index).loaded) return true;
    QuietPrompter quiet;
    return LoadPictureReader(index, quiet, table);
}

std::vector<std::pair<std::string, std::string>> PictureFilterPairs(PictureReaderTable& table) {
    // The string table lists every type with its patterns; a type is offered
    // when the reader its patterns name is there.
    const std::vector<std::string> parts = [] {
        std::vector<std::string> out;
        std::string text = LoadString(IDS_FILTER_PICTURES, 1024), part;
        for (char c : text) {
            if (c == '|') {
                out.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        return out;
    }();
    std::vector<std::pair<std::string, std::string>> types;
    std::string everything, allFiles;
    std::string allDescription = "All Supported Images";
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string& pattern = parts[i + 1];
        if (pattern == "*.*") {
            allFiles = parts[i];
            continue;
        }
        // Which rows the entry's patterns name: the combined entry names them all.
        int row = -1, rows = 0;
        for (int r = 0; r < kPictureReaderCount; ++r) {
            const std::string own = std::string("*.") + kExtensions[r];
            size_t at = 0;
            bool named = false;
            while (at <= pattern.size()) {
                size_t end = pattern.find(';', at);
                if (end == std::string::npos) end = pattern.size();
                named = named || pattern.compare(at, end - at, own) == 0;
                at = end + 1;
            }
            if (named) {
                row = r;
                ++rows;
            }
        }
        if (rows > 1) {
            allDescription = parts[i];
            continue;
        }
        if (row < 0 || !PictureReaderAvailable(row, table)) continue;
        types.emplace_back(parts[i], pattern);
        everything += (everything.empty() ? "" : ";") + pattern;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.emplace_back(allDescription, everything);
    pairs.insert(pairs.end(), types.begin(), types.end());
    if (!allFiles.empty()) pairs.emplace_back(allFiles, "*.*");
    return pairs;
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
        // One picture too large for the memory there is goes without; the
        // program and the rest of the liner carry on.
        case PluginErrorMemory: id = IDS_PICTURE_NO_MEMORY; break;
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
std::string CurrentPictureBaseFolder() { return PictureBaseFolder(); }

std::string ResolvePicturePath(const std::string& fileName) {
    const std::string& base = PictureBaseFolder();
    if (fileName.empty() || fileName.front() == '/' || base.empty()) return fileName;
    if (QFileInfo::exists(QString::fromStdString(fileName))) return fileName;
    std::string beside = base + "/" + fileName;
    if (QFileInfo::exists(QString::fromStdString(beside))) return beside;
    return fileName;
}

namespace {

// The natural size of a picture of these pixels: at its own resolution (pixels
// per metre, as a bitmap header holds it; 0 when the file has none) or else
// the screen's, and never beyond what 16 bits of twips hold, proportions kept.
PictureExamination NaturalSize(long long pixelWidth, long long pixelHeight, long long xPerMetre,
                               long long yPerMetre, ScreenResolution screen) {
    // A picture's own resolution, where the file has one, says how large it
    // was meant to be; from 10 to 100000 pixels an inch are believed.
    auto plausible = [](long long perMetre) { return perMetre >= 394 && perMetre <= 3937008; };
    long long w = 0, h = 0;
    if (plausible(xPerMetre) && plausible(yPerMetre)) {
        w = PixelsAtResolution(std::llabs(pixelWidth), xPerMetre);
        h = PixelsAtResolution(std::llabs(pixelHeight), yPerMetre);
    } else {
        w = PixelsToTwips(std::llabs(pixelWidth), screen.x);
        h = PixelsToTwips(std::llabs(pixelHeight), screen.y);
    }
    // A length is held in 16 bits: a larger picture keeps its proportions at
    // the largest size that can be held.
    constexpr long long kLongest = 32767;
    if (w > kLongest || h > kLongest) {
        if (w >= h) {
            h = std::max<long long>(1, MulDivRound(h, kLongest, w));
            w = kLongest;
        } else {
            w = std::max<long long>(1, MulDivRound(w, kLongest, h));
            h = kLongest;
        }
    }
    PictureExamination result;
    // Device point (width, height) to the y-up twip mapping of the view.
    result.naturalWidth = static_cast<int>(w);
    result.naturalHeight = -static_cast<int>(h);
    return result;
}

}  // namespace

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
        if (!LoadPictureReader(matched, prompter, table, fileName)) return std::nullopt;
        PictureReader& row = table.Row(matched);
        block.reset(row.information(ResolvePicturePath(fileName).c_str()));
        if (!block) {
            ReportReaderError(row.error(nullptr), fileName, prompter);
            return std::nullopt;
        }
    } else {
        // Readers that are not installed are passed over: they cannot be
        // the one that reads this file.
        for (int i = 0; i < kPictureReaderCount && !block; ++i) {
            if (!PictureReaderAvailable(i, table)) continue;
            block.reset(table.Row(i).information(ResolvePicturePath(fileName).c_str()));
            reader = i;
        }
        if (!block) {
            ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(),
                        IDS_PICTURE_NOT_SUPPORTED, {fileName});
            return std::nullopt;
        }
    }

    PictureExamination result = NaturalSize(BlockI32(block.get(), 4), BlockI32(block.get(), 8),
                                            BlockI32(block.get(), 24), BlockI32(block.get(), 28), screen);
    result.formatIndex = static_cast<uint8_t>(reader);
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
    if (!LoadPictureReader(picture.formatIndex, prompter, table, picture.fileName)) return nullptr;
    PictureReader& row = table.Row(picture.formatIndex);
    DibPtr image(row.read(ResolvePicturePath(picture.fileName).c_str()));
    if (!image) ReportReaderError(row.error(nullptr), picture.fileName, prompter);
    return image;
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

PicturePlace FitPictureInside(const PicturePlace& area, int naturalWidth, int naturalHeight) {
    const long long nw = std::llabs(naturalWidth), nh = std::llabs(naturalHeight);
    if (nw == 0 || nh == 0 || area.width <= 0 || area.height <= 0) return area;
    // Rounded, so that a 4:3 picture in a 2 in wide area is 1.5 in high,
    // not a twip less; the side that is not full then stays within the area.
    long long w = area.width;
    long long h = MulDivRound(nh, area.width, nw);
    if (h > area.height) {
        h = area.height;
        w = MulDivRound(nw, area.height, nh);
    }
    PicturePlace fitted;
    fitted.width = static_cast<int>(w);
    fitted.height = static_cast<int>(h);
    fitted.left = area.left + static_cast<int>((area.width - w) / 2);
    fitted.depth = area.depth + static_cast<int>((area.height - h) / 2);
    return fitted;
}

bool AddFittedPicture(Liner& liner, const std::string& path, const PicturePlace& area, Prompter& prompter,
                      PictureReaderTable& table, ScreenResolution screen) {
    const std::optional<PictureExamination> examined = ExaminePictureFile(path, prompter, table, screen);
    if (!examined) return false;
    const PicturePlace place = FitPictureInside(area, examined->naturalWidth, examined->naturalHeight);
    auto length = [&](int twips) { return FromTwips(std::clamp(twips, -32768, 32767), liner.defaultUnits); };
    Picture picture;
    picture.formatIndex = examined->formatIndex;
    picture.fileName = path;
    picture.naturalWidth = length(examined->naturalWidth);
    picture.naturalHeight = length(examined->naturalHeight);
    // Top and height are held negated: they run downward.
    picture.left = length(place.left);
    picture.top = length(-place.depth);
    picture.width = length(place.width);
    picture.height = length(-place.height);
    liner.pictures.push_back(std::move(picture));
    return true;
}
