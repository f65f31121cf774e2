#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/messages.h"

// The build gives the version and the installed layout; builds of parts of
// the sources (the fuzz targets) fall back to the usual layout.
#ifndef REELCARD_VERSION
#define REELCARD_VERSION "0"
#endif
#ifndef REELCARD_BIN_TO_DATA
#define REELCARD_BIN_TO_DATA "../share/reelcard"
#endif
#ifndef REELCARD_BIN_TO_PLUGINS
#define REELCARD_BIN_TO_PLUGINS "../lib/reelcard/plugins"
#endif

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Beside(const std::string& folder, const char* relative) {
    return NormalizeFolder(QDir::cleanPath(QDir(Q(folder)).filePath(relative)).toStdString());
}

// The absolute form of a path whose file may not exist yet, with the links
// of its folder resolved.
QString ResolvedPath(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + "/" + info.fileName();
}

}  // namespace

const char* ProgramVersion() { return REELCARD_VERSION; }

std::string DataFolder(const std::string& programFolder) {
    if (QFileInfo(QDir(Q(programFolder)).filePath("default.fmt")).isFile()) return programFolder;
    const std::string installed = Beside(programFolder, REELCARD_BIN_TO_DATA);
    if (QFileInfo(Q(installed)).isDir()) return installed;
    return programFolder;
}

std::string DataFolder() { return DataFolder(GetProgramFolder()); }

std::vector<std::string> PluginFolders(const std::string& programFolder) {
    return {programFolder, Beside(programFolder, REELCARD_BIN_TO_PLUGINS)};
}

std::string BundledDefaultFormat() { return QDir(Q(DataFolder())).filePath("default.fmt").toStdString(); }

std::string UserFormatFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return NormalizeFolder(QDir::cleanPath(data + "/reelcard/formats").toStdString());
}

std::string RecoveryFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return NormalizeFolder(QDir::cleanPath(data + "/reelcard/recovery").toStdString());
}

std::string DocumentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return NormalizeFolder(documents.toStdString());
    return NormalizeFolder(QDir::homePath().toStdString());
}

bool IsShippedFile(const std::string& path, const std::string& dataFolder) {
    if (path.empty()) return false;
    const QString data = QFileInfo(Q(dataFolder)).canonicalFilePath();
    if (data.isEmpty()) return false;
    const QString relative = QDir(data).relativeFilePath(ResolvedPath(Q(path)));
    return relative == "default.fmt" || relative.startsWith("formats/") || relative.startsWith("samples/") ||
           relative.startsWith("help/");
}
