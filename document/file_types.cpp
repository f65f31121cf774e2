#include "document/file_types.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <map>

#include "platform/messages.h"
#include "platform/strings.h"

namespace {

constexpr const char* kTypePrefix = "application/x-reelcard-";
constexpr const char* kMimeNamespace = "http://www.freedesktop.org/standards/shared-mime-info";
constexpr const char* kDefaultsGroup = "[Default Applications]";
// Above the usual 50, so that an extension another type also claims opens
// as ours once the user let the program take it.
constexpr const char* kGlobWeight = "80";

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string HomeFolder(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    // Relative values are invalid and to be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return value.toStdString();
    return (QDir::homePath() + "/" + fallback).toStdString();
}

bool SameExtension(const std::string& a, const std::string& b) {
    // File-name patterns of the type database ignore letter case.
    return Q(a).compare(Q(b), Qt::CaseInsensitive) == 0;
}

// Our package: type, extension and the description the user gave it, in the
// order of the file.
struct PackageType {
    std::string type, extension, comment;
};
using PackageTypes = std::vector<PackageType>;

PackageTypes ReadPackage(const FileTypePlaces& places) {
    PackageTypes types;
    QFile file(Q(places.PackagePath()));
    if (!file.open(QIODevice::ReadOnly)) return types;
    QXmlStreamReader xml(&file);
    std::string current, comment;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement()) continue;
        if (xml.name() == u"mime-type") {
            current = xml.attributes().value("type").toString().toStdString();
            comment.clear();
        } else if (xml.name() == u"comment" && xml.attributes().value("xml:lang").isEmpty()) {
            comment = xml.readElementText().toStdString();
        } else if (xml.name() == u"glob" && !current.empty()) {
            const QString pattern = xml.attributes().value("pattern").toString();
            if (pattern.startsWith("*.")) types.push_back({current, pattern.mid(1).toStdString(), comment});
        }
    }
    return types;
}

bool WriteTextFile(const std::string& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(Q(path)).absolutePath());
    QSaveFile file(Q(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(bytes);
    return file.commit();
}

bool WritePackage(const FileTypePlaces& places, const PackageTypes& types) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("mime-info");
    xml.writeDefaultNamespace(kMimeNamespace);
    for (const auto& [type, extension, comment] : types) {
        xml.writeStartElement("mime-type");
        xml.writeAttribute("type", Q(type));
        xml.writeTextElement("comment", Q(comment.empty() ? LoadString(IDS_FILE_CLASS_DESCRIPTION) : comment));
        xml.writeEmptyElement("icon");
        xml.writeAttribute("name", kProgramIconName);
        xml.writeEmptyElement("glob");
        xml.writeAttribute("pattern", Q("*" + extension));
        xml.writeAttribute("weight", kGlobWeight);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return WriteTextFile(places.PackagePath(), bytes);
}

std::optional<std::string> OurTypeOf(const std::string& extension, const PackageTypes& types) {
    for (const auto& [type, ext, comment] : types) {
        if (SameExtension(ext, extension)) return type;
    }
    return std::nullopt;
}

QStringList ReadLines(const std::string& path) {
    QFile file(Q(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace("\r\n", "\n");
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

// The first application mimeapps.list names as the default for `type`.
std::string DefaultApplication(const FileTypePlaces& places, const std::string& type) {
    bool inDefaults = false;
    for (const QString& raw : ReadLines(places.MimeAppsPath())) {
        const QString line = raw.trimmed();
        if (line.startsWith('[')) {
            inDefaults = line == kDefaultsGroup;
            continue;
        }
        if (!inDefaults) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != Q(type)) continue;
        const QStringList apps = line.mid(equals + 1).split(';', Qt::SkipEmptyParts);
        return apps.isEmpty() ? std::string() : apps.front().trimmed().toStdString();
    }
    return {};
}

// Makes the program the default application of `types`, keeping every other
// line of the file as it was.
bool SetDefaultApplication(const FileTypePlaces& places, const std::vector<std::string>& types) {
    QStringList lines = ReadLines(places.MimeAppsPath());
    std::vector<std::string> missing = types;
    qsizetype groupStart = -1;
    qsizetype groupEnd = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith('[')) {
            if (groupStart >= 0 && groupEnd == lines.size()) groupEnd = i;
            if (line == kDefaultsGroup && groupStart < 0) groupStart = i;
            continue;
        }
        if (groupStart < 0 || groupEnd != lines.size()) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) continue;
        const std::string key = line.left(equals).trimmed().toStdString();
        for (auto it = missing.begin(); it != missing.end(); ++it) {
            if (*it == key) {
                lines[i] = Q(key) + "=" + kDesktopEntryId + ";";
                missing.erase(it);
                break;
            }
        }
    }
    if (groupStart < 0) {
        if (!lines.isEmpty() && !lines.back().trimmed().isEmpty()) lines.append(QString());
        lines.append(kDefaultsGroup);
        groupEnd = lines.size();
    } else {
        // New keys go after the group's last entry, not after blank lines.
        while (groupEnd > groupStart + 1 && lines[groupEnd - 1].trimmed().isEmpty()) --groupEnd;
    }
    for (const std::string& type : missing) lines.insert(groupEnd++, Q(type) + "=" + kDesktopEntryId + ";");
    return WriteTextFile(places.MimeAppsPath(), (lines.join('\n') + '\n').toUtf8());
}

// An argument of a desktop entry's Exec key: always quoted, with the
// characters that quoting does not cover escaped.
QString QuoteExecArgument(const QString& argument) {
    QString quoted = "\"";
    for (QChar ch : argument) {
        if (ch == u'"' || ch == u'`' || ch == u'$' || ch == u'\\') quoted += u'\\';
        if (ch == u'%') quoted += u'%';
        quoted += ch;
    }
    return quoted + "\"";
}

void RunQuietly(const QString& tool, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(path, arguments);
    process.waitForFinished(15000);
}

bool WellFormedExtension(const std::string& extension) {
    if (extension.size() < 2) return false;
    for (unsigned char c : extension) {
        if (c <= 0x20 || c == 0x7F) return false;
        if (c == '/' || c == '\\' || c == '*' || c == '?' || c == '[' || c == ']') return false;
    }
    return true;
}

}  // namespace

FileTypePlaces FileTypePlaces::Current() {
    return {HomeFolder("XDG_DATA_HOME", ".local/share"), HomeFolder("XDG_CONFIG_HOME", ".config")};
}

std::string FileTypePlaces::PackagePath() const { return dataHome + "/mime/packages/reelcard.xml"; }
std::string FileTypePlaces::DesktopEntryPath() const { return dataHome + "/applications/" + kDesktopEntryId; }
std::string FileTypePlaces::MimeAppsPath() const { return configHome + "/mimeapps.list"; }

std::string FileTypeOfExtension(const std::string& extension) {
    // Letters and digits as they are (lower case), anything else as _XX, so
    // that two extensions never share a type.
    std::string type = kTypePrefix;
    static const char* hex = "0123456789abcdef";
    for (unsigned char c : Q(extension.substr(extension.empty() || extension[0] != '.' ? 0 : 1))
                               .toLower()
                               .toStdString()) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+') {
            type += static_cast<char>(c);
        } else {
            type += '_';
            type += hex[c >> 4];
            type += hex[c & 15];
        }
    }
    return type;
}

bool IsAssociatedWithProgram(const std::string& extension, const FileTypePlaces& places) {
    if (extension.empty()) return false;
    const std::optional<std::string> type = OurTypeOf(extension, ReadPackage(places));
    return type && DefaultApplication(places, *type) == kDesktopEntryId;
}

bool IsAssociatedWithProgram(const std::string& extension) {
    return IsAssociatedWithProgram(extension, FileTypePlaces::Current());
}

std::optional<std::string> CurrentRegistration(const std::string& extension, const FileTypePlaces& places) {
    if (const std::optional<std::string> type = OurTypeOf(extension, ReadPackage(places))) {
        const std::string app = DefaultApplication(places, *type);
        if (app.empty() || app == kDesktopEntryId) return std::nullopt;
        const std::string suffix = ".desktop";
        if (app.size() > suffix.size() && app.compare(app.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return app.substr(0, app.size() - suffix.size());
        }
        return app;
    }
    const QMimeDatabase database;
    for (const QMimeType& type : database.mimeTypesForFileName(Q("file" + extension))) {
        if (type.name().startsWith(kTypePrefix) || type.isDefault()) continue;
        return (type.comment().isEmpty() ? type.name() : type.comment()).toStdString();
    }
    return std::nullopt;
}

bool AssociateExtensions(const std::vector<std::string>& extensions, const FileTypePlaces& places,
                         const std::vector<std::string>& descriptions) {
    if (extensions.empty()) return true;
    PackageTypes types = ReadPackage(places);
    std::vector<std::string> ours;
    bool grown = false;
    for (size_t i = 0; i < extensions.size(); ++i) {
        const std::string& extension = extensions[i];
        const std::string description = i < descriptions.size() ? descriptions[i] : std::string();
        std::optional<std::string> type = OurTypeOf(extension, types);
        if (!type) {
            type = FileTypeOfExtension(extension);
            types.push_back({*type, extension, description});
            grown = true;
        } else if (!description.empty()) {
            // The file manager names the type as the table describes it.
            for (PackageType& known : types) {
                if (known.type == *type && known.comment != description) {
                    known.comment = description;
                    grown = true;
                }
            }
        }
        ours.push_back(*type);
    }
    bool ok = !grown || WritePackage(places, types);
    ok = SetDefaultApplication(places, ours) && ok;
    return ok;
}

std::string DesktopExecLine(const std::string& programPath) {
    QString line = QuoteExecArgument(Q(programPath)) + " %f";
    // The value itself is a string of the entry file, whose escape is "\\".
    line.replace("\\", "\\\\");
    return line.toStdString();
}

bool WriteProgramEntry(const FileTypePlaces& places, const std::string& programPath, const QImage& icon) {
    bool ok = true;
    if (!icon.isNull()) {
        const QString folder = Q(places.dataHome) + QString("/icons/hicolor/%1x%1/apps").arg(icon.width());
        QDir().mkpath(folder);
        ok = icon.save(folder + "/" + kProgramIconName + ".png", "PNG");
    }
    QString types;
    for (const PackageType& type : ReadPackage(places)) types += Q(type.type) + ";";
    QString entry;
    entry += "[Desktop Entry]\n";
    entry += "Type=Application\n";
    entry += "Version=1.0\n";
    entry += "Name=Reelcard\n";
    entry += "Comment=Design and print cassette J-cards\n";
    entry += "Exec=" + Q(DesktopExecLine(programPath)) + "\n";
    entry += "Icon=" + QString(kProgramIconName) + "\n";
    entry += "Terminal=false\n";
    entry += "Categories=Office;\n";
    entry += "MimeType=" + types + "\n";
    ok = WriteTextFile(places.DesktopEntryPath(), entry.toUtf8()) && ok;

    RunQuietly("update-mime-database", {Q(places.dataHome + "/mime")});
    RunQuietly("update-desktop-database", {Q(places.dataHome + "/applications")});
    return ok;
}

FileTypeTable KeepAssociatedSlots(const FileTypeTable& table,
                                  const std::function<bool(const std::string&)>& isAssociated) {
    FileTypeTable kept;
    size_t next = 0;
    for (const FileTypeSlot& slot : table) {
        if (!slot.extension.empty() && isAssociated(slot.extension)) kept[next++] = slot;
    }
    return kept;
}

std::optional<FileTypeProblem> CheckFileTypeRows(const FileTypeTable& rows, const FileTypeTable& shown) {
    for (int i = 0; i < kFileTypeSlots; ++i) {
        const FileTypeSlot& row = rows[static_cast<size_t>(i)];
        const std::string& held = shown[static_cast<size_t>(i)].extension;
        auto problem = [i](bool onExtension, std::string message) {
            return FileTypeProblem{i, onExtension, std::move(message)};
        };
        if (!row.extension.empty()) {
            if (row.description.empty()) return problem(false, LoadString(IDS_EXT_AND_DESC_REQUIRED));
            if (row.extension[0] != '.') return problem(true, LoadString(IDS_EXT_NEEDS_PERIOD));
            if (!held.empty() && held != row.extension) return problem(true, LoadString(IDS_EXT_NO_OVERWRITE));
            if (!WellFormedExtension(row.extension)) {
                return problem(true, "An extension is a period followed by at least one character, without "
                                     "spaces or any of / \\ * ? [ ]");
            }
            for (int j = 0; j < i; ++j) {
                if (SameExtension(rows[static_cast<size_t>(j)].extension, row.extension)) {
                    return problem(true, FormatMessageText("The extension '%s' is already listed above",
                                                           {row.extension}));
                }
            }
        } else if (!row.description.empty()) {
            return problem(true, LoadString(IDS_EXT_AND_DESC_REQUIRED));
        } else if (!held.empty()) {
            return problem(true, LoadString(IDS_EXT_NO_BLANKING));
        }
    }
    return std::nullopt;
}
