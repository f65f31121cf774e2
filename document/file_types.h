// Associating liner file extensions with the program on a freedesktop
// desktop.  Each extension the program takes gets a file type of its own
// (application/x-reelcard-<ext>) in a shared-mime-info package, the program
// is described by reelcard.desktop, and mimeapps.list names that entry as the
// default application of the type.  An extension counts as associated with
// the program while its type is in our package and its default application
// is still ours.  Nothing here ever removes an association.
#pragma once

#include <QImage>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/settings.h"

inline constexpr const char* kDesktopEntryId = "reelcard.desktop";
inline constexpr const char* kProgramIconName = "reelcard";

// Where the files go: the user's data and configuration folders.
struct FileTypePlaces {
    std::string dataHome;    // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome;  // $XDG_CONFIG_HOME, else ~/.config

    static FileTypePlaces Current();

    std::string PackagePath() const;       // <data>/mime/packages/reelcard.xml
    std::string DesktopEntryPath() const;  // <data>/applications/reelcard.desktop
    std::string MimeAppsPath() const;      // <config>/mimeapps.list
};

// The file type the program gives files of `extension` (".cas").
std::string FileTypeOfExtension(const std::string& extension);

bool IsAssociatedWithProgram(const std::string& extension, const FileTypePlaces& places);
// The same in the user's own folders.
bool IsAssociatedWithProgram(const std::string& extension);

// What `extension` belongs to when it is not the program: the application
// another program made the default for our type of it, or else the type the
// desktop's file-type database gives such files.  Nothing when the extension
// is free or ours.
std::optional<std::string> CurrentRegistration(const std::string& extension, const FileTypePlaces& places);

// Gives each extension our file type (added to those the package already
// has) with the program as its default application, named in the file
// manager by the matching entry of `descriptions` (the program's file class
// name when there is none).  False when a file could not be written.
bool AssociateExtensions(const std::vector<std::string>& extensions, const FileTypePlaces& places,
                         const std::vector<std::string>& descriptions = {});

// Writes the desktop entry (opening files with `programPath`, listing every
// type of our package) and the program's icon, then asks the desktop to
// rebuild its file-type database when its tool is installed.
bool WriteProgramEntry(const FileTypePlaces& places, const std::string& programPath, const QImage& icon);

// The Exec line of the desktop entry for a program at `programPath`.
std::string DesktopExecLine(const std::string& programPath);

// ---- the table of the Register File Types dialog ----------------------------

using FileTypeTable = std::array<FileTypeSlot, kFileTypeSlots>;

// Opening the dialog: the slots whose extension is still associated, moved
// up in their order; the rest emptied.
FileTypeTable KeepAssociatedSlots(const FileTypeTable& table,
                                  const std::function<bool(const std::string&)>& isAssociated);

struct FileTypeProblem {
    int row = 0;               // 0-based
    bool onExtension = true;   // which field gets the focus
    std::string message;
};

// The first problem of the rows typed, checked against the slots they show;
// nothing when every row may be kept.
std::optional<FileTypeProblem> CheckFileTypeRows(const FileTypeTable& rows, const FileTypeTable& shown);
