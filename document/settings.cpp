#include "document/settings.h"

#include <QByteArray>
#include <QSettings>
#include <algorithm>
#include <cstring>

#include "platform/code_page.h"

namespace {

const char kOptions[] = "Options";
const char kRecent[] = "Recent File List";
constexpr size_t kMaxFolder = 255;  // the stored strings hold 256 bytes with the terminator
constexpr size_t kMaxRecentPath = 259;

Measurement ZeroInches() {
    Measurement m;
    m.unit = kUnitInches;
    return m;
}

template <typename T>
QByteArray Raw(const T& value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

// A raw value is taken only when it has exactly the variable's size.
template <typename T>
void ReadRaw(QSettings& s, const char* key, T& out) {
    QVariant v = s.value(key);
    if (!v.isValid()) return;
    QByteArray bytes = v.toByteArray();
    if (bytes.size() != static_cast<qsizetype>(sizeof out)) return;
    std::memcpy(&out, bytes.constData(), sizeof out);
}

void ReadMeasurementValue(QSettings& s, const char* key, Measurement& m) {
    int16_t fields[5];
    QVariant v = s.value(key);
    if (!v.isValid()) return;
    QByteArray bytes = v.toByteArray();
    if (bytes.size() != 10) return;
    for (int i = 0; i < 5; ++i) {
        fields[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                         (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    m = {fields[0], fields[1], fields[2], fields[3], fields[4]};
}

QByteArray MeasurementBytes(const Measurement& m) {
    QByteArray bytes;
    for (int16_t f : {m.whole, m.fraction, m.fractionDigits, m.unit, m.twips}) {
        bytes.append(static_cast<char>(f & 0xFF));
        bytes.append(static_cast<char>((f >> 8) & 0xFF));
    }
    return bytes;
}

void ReadFlag(QSettings& s, const char* key, size_t size, bool& out) {
    QVariant v = s.value(key);
    if (!v.isValid()) return;
    QByteArray bytes = v.toByteArray();
    if (static_cast<size_t>(bytes.size()) != size) return;
    out = bytes.count('\0') != bytes.size();
}

QByteArray FlagBytes(bool on, size_t size) {
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    bytes[0] = on ? 1 : 0;
    return bytes;
}

void ReadNumber(QSettings& s, const char* key, int& out) {
    bool ok = false;
    int v = s.value(key).toInt(&ok);
    if (ok) out = v;
}

void ReadString(QSettings& s, const char* key, std::string& out, size_t limit) {
    QVariant v = s.value(key);
    if (!v.isValid()) return;
    std::string text = v.toString().toStdString();
    if (text.size() > limit) return;  // does not fit: keep what we had
    out = text;
}

}  // namespace

Settings DefaultSettings(const StartFolders& folders) {
    Settings s;
    for (Measurement* m : {&s.print.marginLeft, &s.print.marginRight, &s.print.marginTop,
                           &s.print.marginBottom}) {
        *m = ZeroInches();
    }
    s.formatFolder = folders.formats;
    s.pictureFolder = s.linerFolder = s.printFolder = s.exportFolder = folders.documents;
    return s;
}

Settings LoadSettings(QSettings& store, const StartFolders& folders,
                      const std::function<bool(const std::string&)>& isAssociated) {
    Settings s = DefaultSettings(folders);
    const bool exists = store.childGroups().contains(kOptions);
    if (exists) {
        // Values that are missing or do not fit keep what the variable holds
        // before reading: zero or empty.
        Settings read;
        read.copies = 0;
        read.defaultFormatName.clear();
        store.beginGroup(kOptions);
        ReadFlag(store, "2Up", 1, read.print.print2Up);
        ReadFlag(store, "Aol", 4, read.applyLastFont);
        ReadNumber(store, "Bfx", read.pictureFilterIndex);
        ReadString(store, "Bid", read.pictureFolder, kMaxFolder);
        ReadString(store, "Dff", read.defaultFormatName, kMaxFolder);
        ReadNumber(store, "Ffx", read.formatFilterIndex);
        ReadString(store, "Fid", read.formatFolder, kMaxFolder);
        ReadFlag(store, "Fwn", 4, read.resizeWindow);
        ReadNumber(store, "Lfx", read.linerFilterIndex);
        ReadString(store, "Lid", read.linerFolder, kMaxFolder);
        ReadMeasurementValue(store, "Pbm", read.print.marginBottom);
        ReadRaw(store, "Pcp", read.copies);
        ReadNumber(store, "Pfx", read.printFilterIndex);
        ReadString(store, "Pid", read.printFolder, kMaxFolder);
        ReadMeasurementValue(store, "Plm", read.print.marginLeft);
        ReadMeasurementValue(store, "Prm", read.print.marginRight);
        ReadMeasurementValue(store, "Ptm", read.print.marginTop);
        ReadRaw(store, "Wrc", read.windowRect);
        // Added later than the rest: a store without them keeps the start values.
        read.exportFolder = s.exportFolder;
        ReadString(store, "Eid", read.exportFolder, kMaxFolder);
        ReadNumber(store, "Efx", read.exportFilterIndex);
        ReadFlag(store, "Esh", 1, read.exportSheet);
        ReadNumber(store, "Edp", read.exportDpi);
        if (read.exportDpi < 1 || read.exportDpi > 2400) read.exportDpi = 300;
        ReadFlag(store, "Etr", 1, read.exportTransparent);
        ReadNumber(store, "Zom", read.zoom);
        ReadFlag(store, "Nup", 1, read.print.printNUp);
        ReadMeasurementValue(store, "Pbl", read.print.bleed);
        ReadMeasurementValue(store, "Ebl", read.exportBleed);
        for (Measurement* bleed : {&read.print.bleed, &read.exportBleed}) {
            if (bleed->twips < 0 || bleed->twips > kMaxBleedTwips) *bleed = {};
        }
        ReadFlag(store, "Rul", 1, read.rulers);
        bool anySlot = false;
        for (int i = 0; i < kFileTypeSlots; ++i) {
            QString ext = QString("FTy%1").arg(i);
            if (!store.contains(ext)) continue;
            anySlot = true;
            const std::string extension = store.value(ext).toString().toStdString();
            // An extension already in an earlier slot is dropped: the dialog
            // could never be left with it twice.
            const auto begin = read.fileTypes.begin();
            const bool twice = std::any_of(begin, begin + i, [&](const FileTypeSlot& earlier) {
                return !extension.empty() &&
                       QString::fromStdString(earlier.extension).compare(QString::fromStdString(extension),
                                                                         Qt::CaseInsensitive) == 0;
            });
            if (twice) continue;
            read.fileTypes[static_cast<size_t>(i)].extension = extension;
            read.fileTypes[static_cast<size_t>(i)].description =
                store.value(QString("FDs%1").arg(i)).toString().toStdString();
        }
        store.endGroup();
        if (!anySlot && isAssociated) {
            size_t next = 0;
            for (auto [ext, description] : {std::pair{".cas", "Cassette Files"}, std::pair{".dat", "DAT Files"}}) {
                if (isAssociated(ext)) read.fileTypes[next++] = {ext, description};
            }
        }
        s = read;
    }
    // Margins typed without a unit count in the default unit of the moment:
    // inches, as no format has been read yet.
    for (Measurement* m : {&s.print.marginLeft, &s.print.marginRight, &s.print.marginTop,
                           &s.print.marginBottom}) {
        if (m->unit == kUnitNone) m->unit = kUnitInches;
    }
    return s;
}

void SaveSettings(QSettings& store, const Settings& s) {
    store.beginGroup(kOptions);
    store.setValue("2Up", FlagBytes(s.print.print2Up, 1));
    store.setValue("Aol", FlagBytes(s.applyLastFont, 4));
    store.setValue("Bfx", s.pictureFilterIndex);
    store.setValue("Bid", QString::fromStdString(s.pictureFolder));
    store.setValue("Dff", QString::fromStdString(s.defaultFormatName));
    store.setValue("Ffx", s.formatFilterIndex);
    store.setValue("Fid", QString::fromStdString(s.formatFolder));
    store.setValue("Fwn", FlagBytes(s.resizeWindow, 4));
    store.setValue("Lfx", s.linerFilterIndex);
    store.setValue("Lid", QString::fromStdString(s.linerFolder));
    store.setValue("Pbm", MeasurementBytes(s.print.marginBottom));
    store.setValue("Pcp", Raw(s.copies));
    store.setValue("Pfx", s.printFilterIndex);
    store.setValue("Pid", QString::fromStdString(s.printFolder));
    store.setValue("Plm", MeasurementBytes(s.print.marginLeft));
    store.setValue("Prm", MeasurementBytes(s.print.marginRight));
    store.setValue("Ptm", MeasurementBytes(s.print.marginTop));
    store.setValue("Wrc", Raw(s.windowRect));
    store.setValue("Eid", QString::fromStdString(s.exportFolder));
    store.setValue("Efx", s.exportFilterIndex);
    store.setValue("Esh", FlagBytes(s.exportSheet, 1));
    store.setValue("Edp", s.exportDpi);
    store.setValue("Etr", FlagBytes(s.exportTransparent, 1));
    store.setValue("Zom", s.zoom);
    store.setValue("Nup", FlagBytes(s.print.printNUp, 1));
    store.setValue("Pbl", MeasurementBytes(s.print.bleed));
    store.setValue("Ebl", MeasurementBytes(s.exportBleed));
    store.setValue("Rul", FlagBytes(s.rulers, 1));
    for (int i = 0; i < kFileTypeSlots; ++i) {
        // Every slot is written, so that none keeps what an earlier save put
        // there: an empty slot is cleared.
        const FileTypeSlot& slot = s.fileTypes[static_cast<size_t>(i)];
        if (slot.extension.empty()) {
            store.remove(QString("FTy%1").arg(i));
            store.remove(QString("FDs%1").arg(i));
            continue;
        }
        store.setValue(QString("FTy%1").arg(i), QString::fromStdString(slot.extension));
        store.setValue(QString("FDs%1").arg(i), QString::fromStdString(slot.description));
    }
    store.endGroup();
    store.sync();
}

std::string DefaultFormatPath(const Settings& settings) {
    std::string folder = settings.formatFolder;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + settings.defaultFormatName;
}

void RecentFiles::Load(QSettings& store) {
    paths_.clear();
    store.beginGroup(kRecent);
    // Entries are written from File1 on; a gap ends the list.
    for (int n = 1; n <= kRecentFileCount; ++n) {
        QVariant v = store.value(QString("File%1").arg(n));
        if (!v.isValid()) break;
        std::string path = v.toString().toStdString();
        if (path.empty() || path.size() > kMaxRecentPath) break;
        paths_.push_back(path);
    }
    store.endGroup();
}

void RecentFiles::Save(QSettings& store) const {
    store.beginGroup(kRecent);
    for (size_t i = 0; i < paths_.size(); ++i) {
        if (!paths_[i].empty()) store.setValue(QString("File%1").arg(i + 1), QString::fromStdString(paths_[i]));
    }
    store.endGroup();
    store.sync();
}

void RecentFiles::Add(const std::string& path) {
    if (!paths_.empty() && paths_.front() == path) return;
    for (size_t k = 1; k < paths_.size(); ++k) {
        if (paths_[k] == path) {
            paths_.erase(paths_.begin() + static_cast<long>(k));
            paths_.insert(paths_.begin(), path);
            return;
        }
    }
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kRecentFileCount) paths_.resize(kRecentFileCount);
}

void RecentFiles::Purge(QSettings& store) {
    store.remove(kRecent);
    store.sync();
    paths_.clear();
}

std::string RecentFiles::PathOfCommand(int command) const {
    const int n = count();
    int slot = command - (kRecentFileCommand - n + 1);  // 0-based, most recent first
    if (slot < 0 || slot >= n) return {};
    return paths_[static_cast<size_t>(slot)];
}

std::vector<RecentMenuItem> RecentFiles::MenuItems() const {
    std::vector<RecentMenuItem> items;
    const int n = count();
    for (int i = 1; i <= n; ++i) {
        std::string prefix = "&" + std::to_string(i) + " ";
        int limit = 40 - static_cast<int>(prefix.size());
        items.push_back({kRecentFileCommand - n + i, prefix + ShortenPath(paths_[static_cast<size_t>(i - 1)], limit)});
    }
    return items;
}

std::string ShortenPath(const std::string& p, int limit) {
    const size_t L = limit < 0 ? 0 : static_cast<size_t>(limit);
    if (p.size() < L) return p;
    const char sep = '/';
    const std::string ellipsis = std::string(1, sep) + "..." + sep;
    size_t lastSep = p.rfind(sep);
    if (lastSep != std::string::npos) {
        const std::string folder = p.substr(0, lastSep);
        const std::string name = p.substr(lastSep + 1);
        // Separators of the folder, left to right.
        std::vector<size_t> seps;
        for (size_t i = 0; i < folder.size(); ++i) {
            if (folder[i] == sep) seps.push_back(i);
        }
        // Leave out one folder component: the last, then each one further left.
        for (size_t k = seps.size(); k-- > 0;) {
            size_t end = (k + 1 < seps.size()) ? seps[k + 1] : folder.size();
            std::string head = folder.substr(0, seps[k]);
            std::string tail = (end < folder.size() ? folder.substr(end + 1) + sep : std::string()) + name;
            if (head.size() + tail.size() + 5 < L) return head + ellipsis + tail;
        }
        // Leave out ever longer runs at the end of the folder.
        for (size_t k = seps.size(); k-- > 0;) {
            std::string head = folder.substr(0, seps[k]);
            if (head.size() + name.size() + 5 < L) return head + ellipsis + name;
        }
    }
    std::string name = lastSep == std::string::npos ? p : p.substr(lastSep + 1);
    size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    long room = static_cast<long>(L) - static_cast<long>(ext.size()) - 2;
    if (room < 1) return Utf8Prefix(base, L > 0 ? L - 1 : 0);
    std::string out = Utf8Prefix(base, static_cast<size_t>(room));
    if (!ext.empty()) out += "." + ext;
    return out;
}
