#include "document/liner_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "document/byte_io.h"
#include "document/older_version.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/prompter.h"
#include "platform/save_file.h"
#include "platform/strings.h"

namespace {

constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

// Layout choices that depend on the version number (major * 100 + minor).
struct Layout {
    int version = 507;
    bool knownMajor = true;  // major 4 to 10
    bool oldRecords() const { return version < 500; }
    bool hasUnits() const { return knownMajor && version >= 402; }
    bool hasOverflowCount() const { return knownMajor && version >= 408; }
    bool hasBisectArea() const { return knownMajor && version >= 501; }
    bool fullPictures() const { return version >= 507; }
};

bool ReadMeasurement(ByteReader& r, Measurement& m) {
    return r.I16(m.whole) && r.I16(m.fraction) && r.I16(m.fractionDigits) && r.I16(m.unit) &&
           r.I16(m.twips);
}

void WriteMeasurement(ByteWriter& w, const Measurement& m) {
    w.I16(m.whole);
    w.I16(m.fraction);
    w.I16(m.fractionDigits);
    w.I16(m.unit);
    w.I16(m.twips);
}

bool ReadAreaFormat(ByteReader& r, AreaFormat& a) {
    return r.U16(a.alignment) && ReadMeasurement(r, a.left) && ReadMeasurement(r, a.right) &&
           ReadMeasurement(r, a.top) && ReadMeasurement(r, a.bottom) &&
           ReadMeasurement(r, a.wrap) && ReadMeasurement(r, a.between) &&
           ReadMeasurement(r, a.within);
}

void WriteAreaFormat(ByteWriter& w, const AreaFormat& a) {
    w.U16(a.alignment);
    for (const Measurement* m : {&a.left, &a.right, &a.top, &a.bottom, &a.wrap, &a.between, &a.within}) {
        WriteMeasurement(w, *m);
    }
}

bool ReadTextBlock(ByteReader& r, TextBlock& block) {
    block = TextBlock{};
    if (!r.I16(block.lineCount)) return false;
    if (block.lineCount == 0) return true;
    if (!r.String(block.text)) return false;
    if (block.text.empty()) block.lineCount = 0;
    return true;
}

void WriteTextBlock(ByteWriter& w, const TextBlock& block) {
    if (block.lineCount == 0) {
        w.I16(0);
        return;
    }
    w.I16(block.lineCount);
    w.String(block.text);
}

bool ReadFormatBlock(ByteReader& r, Liner& l) {
    if (!ReadAreaFormat(r, l.titleFormat) || !r.U8(l.splitTitle) || !r.U8(l.centerTitleVertically)) {
        return false;
    }
    for (auto& area : l.songFormats) {
        if (!ReadAreaFormat(r, area)) return false;
    }
    return r.U16(l.cutLineStyle) && r.U16(l.foldLineStyle) && r.U8(l.invertImage) &&
           r.U8(l.oneUpSides) && r.U8(l.bisectSides) && ReadMeasurement(r, l.width) &&
           ReadMeasurement(r, l.flapHeight) && ReadMeasurement(r, l.titleHeight) &&
           ReadMeasurement(r, l.primaryHeight) && ReadMeasurement(r, l.overflowHeight);
}

void WriteFormatBlock(ByteWriter& w, const Liner& l) {
    WriteAreaFormat(w, l.titleFormat);
    w.U8(l.splitTitle);
    w.U8(l.centerTitleVertically);
    for (const auto& area : l.songFormats) WriteAreaFormat(w, area);
    w.U16(l.cutLineStyle);
    w.U16(l.foldLineStyle);
    w.U8(l.invertImage);
    w.U8(l.oneUpSides);
    w.U8(l.bisectSides);
    for (const Measurement* m : {&l.width, &l.flapHeight, &l.titleHeight, &l.primaryHeight,
                                 &l.overflowHeight}) {
        WriteMeasurement(w, *m);
    }
}

// Side letters are stored in the order A-Flap, A-Primary, B-Flap, B-Primary.
constexpr int kLetterFileOrder[4] = {kSideAFlap, kSideAPrimary, kSideBFlap, kSideBPrimary};

bool ReadSideLetters(ByteReader& r, const Layout& layout, Liner& l) {
    for (int location : kLetterFileOrder) {
        SideLetterFormat& letter = l.sideLetters[location];
        if (!r.U16(letter.style) || !ReadMeasurement(r, letter.top) ||
            !ReadMeasurement(r, letter.side) || !r.Skip(layout.oldRecords() ? 2 : 4) ||
            !r.String(letter.text)) {
            return false;
        }
    }
    return true;
}

bool ReadFonts(ByteReader& r, const Layout& layout, Liner& l) {
    uint16_t count;
    if (!r.U16(count) || count > kMaxFonts) return false;
    l.fonts.clear();
    for (uint16_t i = 0; i < count; ++i) {
        FontEntry entry;
        LogFont& f = entry.logFont;
        if (layout.oldRecords()) {
            // Older entries hold 16-bit fields; they widen as unsigned values.
            uint16_t h, wd, e, o, wt;
            if (!r.U16(h) || !r.U16(wd) || !r.U16(e) || !r.U16(o) || !r.U16(wt)) return false;
            f.height = h;
            f.width = wd;
            f.escapement = e;
            f.orientation = o;
            f.weight = wt;
        } else if (!r.I32(f.height) || !r.I32(f.width) || !r.I32(f.escapement) ||
                   !r.I32(f.orientation) || !r.I32(f.weight)) {
            return false;
        }
        if (!r.U8(f.italic) || !r.U8(f.underline) || !r.U8(f.strikeOut) || !r.U8(f.charSet) ||
            !r.U8(f.outPrecision) || !r.U8(f.clipPrecision) || !r.U8(f.quality) ||
            !r.U8(f.pitchAndFamily) || !r.Bytes(f.faceName.data(), f.faceName.size()) ||
            !r.U32(entry.color)) {
            return false;
        }
        l.fonts.push_back(entry);
    }
    return true;
}

void WriteFonts(ByteWriter& w, const Liner& l) {
    w.U16(static_cast<uint16_t>(l.fonts.size()));
    for (const auto& entry : l.fonts) {
        const LogFont& f = entry.logFont;
        w.I32(f.height);
        w.I32(f.width);
        w.I32(f.escapement);
        w.I32(f.orientation);
        w.I32(f.weight);
        for (uint8_t b : {f.italic, f.underline, f.strikeOut, f.charSet, f.outPrecision,
                          f.clipPrecision, f.quality, f.pitchAndFamily}) {
            w.U8(b);
        }
        w.Bytes(f.faceName.data(), f.faceName.size());
        w.U32(entry.color);
    }
}

// One feature record.  Every string and count must lie inside the record.
bool ReadFeature(ByteReader& r, const Layout& layout, Feature& feature) {
    uint16_t stored;
    if (!r.U16(stored)) return false;
    const size_t slot = layout.oldRecords() ? 2 : 4;
    if (stored < 2 + slot) return false;
    // Older records grow by two bytes in memory, for the wider link slot.
    if (stored + (4 - slot) > kMaxFeatureRecordSize) return false;
    ByteReader rec(nullptr, 0);
    if (!r.Sub(stored - 2, rec) || !rec.Skip(slot)) return false;

    if (!rec.U16(feature.style) || !ReadMeasurement(rec, feature.top) ||
        !ReadMeasurement(rec, feature.side) || !rec.ZeroTerminated(feature.name, rec.remaining())) {
        return false;
    }
    if (IsSidedStyle(feature.style)) {
        for (auto& side : feature.sides) {
            int8_t count;
            if (!rec.I8(count) || count < 0 || !rec.I8(side.selected)) return false;
            side.choices.resize(static_cast<size_t>(count));
            for (auto& choice : side.choices) {
                if (!rec.ZeroTerminated(choice, rec.remaining())) return false;
            }
        }
    }
    // The closing zero and anything after it are kept as they are.
    feature.padding.clear();
    if (rec.remaining() > 0) {
        uint8_t closing;
        rec.U8(closing);
        if (closing != 0) return false;
        rec.Bytes(feature.padding, rec.remaining());
    }
    return true;
}

void WriteFeature(ByteWriter& w, const Feature& feature) {
    size_t size = feature.RecordSize();
    if (size > kMaxFeatureRecordSize) {
        w.MarkBad();
        return;
    }
    w.U16(static_cast<uint16_t>(size));
    w.Zeros(4);
    w.U16(feature.style);
    WriteMeasurement(w, feature.top);
    WriteMeasurement(w, feature.side);
    w.ZeroTerminated(feature.name);
    if (IsSidedStyle(feature.style)) {
        for (const auto& side : feature.sides) {
            if (side.choices.size() > static_cast<size_t>(kMaxChoices)) {
                w.MarkBad();
                return;
            }
            w.I8(static_cast<int8_t>(side.choices.size()));
            w.I8(side.selected);
            for (const auto& choice : side.choices) w.ZeroTerminated(choice);
        }
    }
    w.U8(0);
    w.Bytes(feature.padding);
}

bool ReadPicture(ByteReader& r, const Layout& layout, Picture& p) {
    if (layout.fullPictures()) {
        return r.Skip(4) && ReadMeasurement(r, p.left) && ReadMeasurement(r, p.top) &&
               ReadMeasurement(r, p.width) && ReadMeasurement(r, p.height) &&
               ReadMeasurement(r, p.naturalWidth) && ReadMeasurement(r, p.naturalHeight) &&
               r.U8(p.formatIndex) && r.Skip(4) && r.String(p.fileName);
    }
    // Earlier records: a length covering the record and its name.
    const size_t fixed = layout.oldRecords() ? 45 : 47;
    uint16_t length;
    if (!r.U16(length) || length < fixed) return false;
    if (!r.Skip(fixed - 43) || !ReadMeasurement(r, p.left) || !ReadMeasurement(r, p.top) ||
        !ReadMeasurement(r, p.width) || !ReadMeasurement(r, p.height) || !r.U8(p.formatIndex) ||
        !r.Bytes(p.fileName, length - fixed)) {
        return false;
    }
    size_t zero = p.fileName.find('\0');
    if (zero != std::string::npos) p.fileName.resize(zero);
    // Their natural size starts as the size they were placed at; once the
    // whole file has been read, ExamineOlderPictures asks the picture files.
    p.naturalWidth = p.width;
    p.naturalHeight = p.height;
    return true;
}

void WritePicture(ByteWriter& w, const Picture& p) {
    w.Zeros(4);
    for (const Measurement* m : {&p.left, &p.top, &p.width, &p.height, &p.naturalWidth,
                                 &p.naturalHeight}) {
        WriteMeasurement(w, *m);
    }
    w.U8(p.formatIndex);
    w.Zeros(4);
    w.String(p.fileName);
}

bool ParseBody(ByteReader& r, const Layout& layout, FileKind kind, Liner& l) {
    if (kind == FileKind::Liner) {
        if (!ReadTextBlock(r, l.title) || !ReadTextBlock(r, l.songsA) || !ReadTextBlock(r, l.songsB)) {
            return false;
        }
    }
    if (!ReadFormatBlock(r, l) || !ReadSideLetters(r, layout, l) || !ReadFonts(r, layout, l)) {
        return false;
    }

    // A file may end where the features begin: it has none.
    l.features.clear();
    if (!r.AtEnd()) {
        uint16_t featureCount, sidedCount;
        if (!r.U16(featureCount) || !r.U16(sidedCount)) return false;
        for (uint16_t i = 0; i < featureCount; ++i) {
            Feature feature;
            if (!ReadFeature(r, layout, feature)) return false;
            l.features.push_back(std::move(feature));
        }
    }

    l.defaultUnits = kUnitInches;
    l.tabStopsText.clear();
    if (layout.hasUnits()) {
        if (!r.U16(l.defaultUnits) || !r.String(l.tabStopsText)) return false;
        if (!IsDefaultUnitChoice(l.defaultUnits) && l.defaultUnits != kUnitInchMark &&
            l.defaultUnits != kUnitLines) {
            return false;
        }
    }
    ParseTabStops(l);

    // Likewise a file may end where the pictures begin.
    l.pictures.clear();
    if (!r.AtEnd()) {
        uint16_t pictureCount;
        if (!r.U16(pictureCount)) return false;
        for (uint16_t i = 0; i < pictureCount; ++i) {
            Picture picture;
            if (!ReadPicture(r, layout, picture)) return false;
            l.pictures.push_back(std::move(picture));
        }
    }

    l.overflowCount = 1;
    if (layout.hasOverflowCount() && !r.I16(l.overflowCount)) return false;
    l.bisectArea = 0;
    if (layout.hasBisectArea() && !r.U8(l.bisectArea)) return false;
    return true;
}

bool ReadHeader(ByteReader& r, uint16_t& major, uint16_t& minor) {
    return r.U16(major) && r.U16(minor);
}

// Whether the file's pictures were written without their natural sizes.
bool LacksNaturalSizes(const std::vector<uint8_t>& bytes) {
    ByteReader r(bytes);
    uint16_t major, minor;
    return ReadHeader(r, major, minor) && !Layout{major * 100 + minor}.fullPictures();
}

void ShowFileMessage(Prompter& prompter, uint16_t id, const std::string& path) {
    ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(), id, {path});
}

// Shows the busy cursor for the length of a scope.
class BusyScope {
public:
    BusyScope(Prompter& prompter, bool show) : prompter_(prompter), show_(show) {
        if (show_) prompter_.SetBusy(true);
    }
    ~BusyScope() {
        if (show_) prompter_.SetBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Prompter& prompter_;
    bool show_;
};

// A picture named relative to where the liner was read from, written into a
// file in another folder, would not be found beside that file when it is
// read again (a sample saved into the documents folder would lose its
// pictures).  Such names are written out in full; a name that is found
// beside the new file is kept as it is.
std::optional<Liner> PicturesNamedFor(const Liner& liner, const std::string& path) {
    std::optional<Liner> renamed;
    const QString folder = QString::fromStdString(FolderOf(path));
    for (size_t i = 0; i < liner.pictures.size(); ++i) {
        const std::string& name = liner.pictures[i].fileName;
        if (name.empty() || name.front() == '/') continue;
        const QString local = QString::fromStdString(name);
        if (QFileInfo::exists(folder + QLatin1Char('/') + local)) continue;
        const QFileInfo found(QString::fromStdString(ResolvePicturePath(name)));
        if (!found.isFile()) continue;  // missing wherever it is looked for
        if (!renamed) renamed = liner;
        renamed->pictures[i].fileName = QDir::cleanPath(found.absoluteFilePath()).toStdString();
    }
    return renamed;
}

bool WriteFile(Liner& liner, const std::string& path, FileKind kind, Prompter& prompter,
               uint16_t* lastFont) {
    BusyScope busy(prompter, true);
    CompactFonts(liner, lastFont);
    const std::optional<Liner> renamed = PicturesNamedFor(liner, path);
    auto bytes = SerializeLiner(renamed ? *renamed : liner, kind);
    if (!bytes) {
        ShowFileMessage(prompter, IDS_CANNOT_WRITE_FILE, path);
        return false;
    }
    switch (SaveFileAtomically(path, *bytes)) {
        case SaveError::None:
            return true;
        case SaveError::Create:
            ShowFileMessage(prompter, IDS_CANNOT_CREATE_FILE, path);
            return false;
        case SaveError::Write:
            ShowFileMessage(prompter, IDS_CANNOT_WRITE_FILE, path);
            return false;
    }
    return false;
}

}  // namespace

ParseStatus ParseLinerBytes(const std::vector<uint8_t>& bytes, FileKind kind, Liner& out) {
    ByteReader r(bytes);
    uint16_t major, minor;
    if (!ReadHeader(r, major, minor)) return ParseStatus::Malformed;
    const bool olderMajor = IsOlderMajor(major);
    if (olderMajor && kind == FileKind::Liner) return ParseStatus::OlderVersion;

    Layout layout;
    layout.version = major * 100 + minor;
    layout.knownMajor = !olderMajor;
    Liner result = out;
    if (!ParseBody(r, layout, kind, result)) return ParseStatus::Malformed;
    out = std::move(result);
    return ParseStatus::Ok;
}

std::optional<std::vector<uint8_t>> SerializeLiner(const Liner& l, FileKind kind) {
    ByteWriter w;
    w.U16(kFileMajor);
    w.U16(kFileMinor);
    if (kind == FileKind::Liner) {
        WriteTextBlock(w, l.title);
        WriteTextBlock(w, l.songsA);
        WriteTextBlock(w, l.songsB);
    }
    WriteFormatBlock(w, l);
    for (int location : kLetterFileOrder) {
        const SideLetterFormat& letter = l.sideLetters[location];
        w.U16(letter.style);
        WriteMeasurement(w, letter.top);
        WriteMeasurement(w, letter.side);
        w.Zeros(4);
        w.String(letter.text);
    }
    if (l.fonts.size() > kMaxFonts || l.features.size() > 0xFFFF || l.pictures.size() > 0xFFFF) {
        return std::nullopt;
    }
    WriteFonts(w, l);
    w.U16(static_cast<uint16_t>(l.features.size()));
    w.U16(l.sidedFeatureCount());
    for (const auto& feature : l.features) WriteFeature(w, feature);
    w.U16(l.defaultUnits);
    w.String(l.tabStopsText);
    w.U16(static_cast<uint16_t>(l.pictures.size()));
    for (const auto& picture : l.pictures) WritePicture(w, picture);
    w.I16(l.overflowCount);
    w.U8(l.bisectArea);
    if (!w.ok()) return std::nullopt;
    return std::move(w.bytes());
}

std::optional<std::vector<uint8_t>> LoadFileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    std::vector<uint8_t> bytes;
    const qint64 size = file.size();
    if (size > kMaxFileBytes) return std::vector<uint8_t>{};  // refused as unreadable
    bytes.resize(static_cast<size_t>(size));
    qint64 got = size > 0 ? file.read(reinterpret_cast<char*>(bytes.data()), size) : 0;
    if (got != size) bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
}

std::string FolderOf(const std::string& path) {
    QFileInfo info(QString::fromStdString(path));
    return info.absolutePath().toStdString();
}

std::string FileTitle(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadLinerFile(Liner& liner, const std::string& path, bool unattended, Prompter& prompter,
                   bool* merged) {
    if (merged) *merged = false;
    auto bytes = LoadFileBytes(path);
    if (!bytes) {
        ShowFileMessage(prompter, IDS_CANNOT_OPEN_FILE, path);
        return false;
    }
    BusyScope busy(prompter, !unattended);
    switch (ParseLinerBytes(*bytes, FileKind::Liner, liner)) {
        case ParseStatus::Ok:
            SetPictureBaseFolder(FolderOf(path));
            if (LacksNaturalSizes(*bytes)) ExamineOlderPictures(liner, prompter);
            return true;
        case ParseStatus::Malformed:
            break;
        case ParseStatus::OlderVersion: {
            Liner work = liner;
            ImportResult result =
                ImportOlderVersion(work, *bytes, unattended, FileTitle(path), prompter);
            if (result.outcome == ImportOutcome::Cancelled) return false;
            if (result.outcome == ImportOutcome::Merged) {
                if (result.choice == MergeChoice::All) {
                    work.defaultUnits = kUnitInches;
                    work.tabStopsText.clear();
                    work.tabStops.clear();
                    work.overflowCount = 1;
                    work.bisectArea = 0;
                }
                liner = std::move(work);
                if (merged) *merged = true;
                return true;
            }
            break;
        }
    }
    ShowFileMessage(prompter, IDS_CANNOT_READ_FILE, path);
    return false;
}

bool WriteLinerFile(Liner& liner, const std::string& path, Prompter& prompter, uint16_t* lastFont) {
    // Overwriting a file of the earlier generation needs the user's consent.
    // Only a plain file is looked into: a pipe would wait for a writer.
    if (auto existing = IsRegularFile(path) ? LoadFileBytes(path) : std::nullopt) {
        ByteReader r(*existing);
        uint16_t major, minor;
        if (ReadHeader(r, major, minor) && IsOlderMajor(major)) {
            MessageResult answer = ShowMessage(
                prompter, MessageOwner::MainWindow(),
                {MessageIcon::Question, MessageButtons::YesNo, false}, IDS_OVERWRITE_OLDER_VERSION);
            if (answer != MessageResult::Yes) return false;
        }
    }
    return WriteFile(liner, path, FileKind::Liner, prompter, lastFont);
}

bool ReadFormatFile(Liner& liner, const std::string& path, Prompter& prompter) {
    auto bytes = LoadFileBytes(path);
    if (!bytes) {
        ShowFileMessage(prompter, IDS_CANNOT_OPEN_FILE, path);
        return false;
    }
    BusyScope busy(prompter, true);
    if (ParseLinerBytes(*bytes, FileKind::Format, liner) == ParseStatus::Ok) {
        if (LacksNaturalSizes(*bytes)) ExamineOlderPictures(liner, prompter);
        return true;
    }
    ShowFileMessage(prompter, IDS_CANNOT_READ_FILE, path);
    return false;
}

bool WriteFormatFile(Liner& liner, const std::string& path, Prompter& prompter, uint16_t* lastFont) {
    return WriteFile(liner, path, FileKind::Format, prompter, lastFont);
}

std::optional<TextBlock> ReadTitlePreview(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // The header and the title need at most 4 + 2 + 2 + 65535 bytes; an older
    // file's title starts at byte 192.
    QByteArray head = file.read(192 + 2 + 2 + 0xFFFF);
    std::vector<uint8_t> bytes(head.begin(), head.end());
    ByteReader r(bytes);
    uint16_t major, minor;
    if (!ReadHeader(r, major, minor)) return std::nullopt;
    if (IsOlderMajor(major) && !r.Seek(192)) return std::nullopt;
    TextBlock title;
    if (!ReadTextBlock(r, title)) return std::nullopt;
    return title;
}
