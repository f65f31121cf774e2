// The liner and format file dialogs: filters built from the string table and
// the file-type slots, remembered folders and filter indexes, and the title
// preview of the liner Open dialog.  The dialogs themselves sit behind an
// interface so that tests can answer them without a modal loop.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/settings.h"

class QWidget;

struct FileFilter {
    // Description and pattern pairs ("Cassette Files (*.cas)", "*.cas").
    std::vector<std::pair<std::string, std::string>> pairs;
    // The extension added to a name typed without one ("fmt"), or empty.
    std::string defaultExtension;
};

// Builds a filter from string `stringId`.  A string ending in '?' is preceded
// by one group per distinct description of the file-type slots, followed by
// the program's own liner types (".cas", ".dat") the slots do not hold; the
// default extension follows the pair at the 1-based `filterIndex` (0: the first).
FileFilter BuildFileFilter(uint16_t stringId, int filterIndex,
                           const std::array<FileTypeSlot, kFileTypeSlots>& fileTypes);

// The name filter QFileDialog is given for one pair: the description as shown
// and the patterns in a trailing group of their own ("*.*" stands for every file).
QString QtNameFilter(const std::string& description, const std::string& pattern);

// The default extension of a pattern ("*.fmt" gives "fmt"; "*.*" none).
std::string DefaultExtensionOf(const std::string& pattern);

struct FileDialogRequest {
    QString caption;
    FileFilter filter;
    int filterIndex = 0;   // 1-based; 0 = the first
    QString folder;        // initial folder
    QString fileName;      // pre-filled name (save) / ignored (open)
    bool preview = false;  // title preview under the file list (open)
    bool showReadOnly = false;
};

struct FileDialogResult {
    QString path;
    int filterIndex = 1;
    bool readOnly = false;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<FileDialogResult> Open(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogResult> Save(QWidget* owner, const FileDialogRequest& request) = 0;
};

// The program's dialogs: QFileDialog, non-native, with our widgets added.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<FileDialogResult> Open(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<FileDialogResult> Save(QWidget* owner, const FileDialogRequest& request) override;
};

// The text the Open dialog's preview shows for a file: its title lines, or
// nothing for a folder, a missing file or a file that is no liner.
QString TitlePreviewText(const QString& path);

// The folder of a chosen file as it is remembered for the next dialog.
std::string FolderOfChosenFile(const QString& path);

// The folder a save dialog opens in: the remembered `folder`, unless the name
// it is pre-filled with would there name a file the program ships, which is
// never written; then `ownFolder` (made when missing).
QString SaveDialogFolder(const std::string& folder, const QString& fileName, const std::string& dataFolder,
                         const std::string& ownFolder);
