// The program's settings and its list of recently used liner files, kept in
// the per-user settings store ("Options" and "Recent File List" groups).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/print_settings.h"

class QSettings;

struct FileTypeSlot {
    std::string extension;    // ".cas"; empty = the slot is free
    std::string description;  // "Cassette Files"
};

constexpr int kFileTypeSlots = 5;

struct WindowRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WindowRect&) const = default;
};

struct Settings {
    PrintSettings print;  // margins and 2-up
    bool applyLastFont = false;
    bool resizeWindow = false;
    int16_t copies = 1;
    int pictureFilterIndex = 0;
    int formatFilterIndex = 0;
    int linerFilterIndex = 0;
    int printFilterIndex = 0;
    std::string pictureFolder;
    std::string defaultFormatName = "default.fmt";
    std::string formatFolder;
    std::string linerFolder;
    std::string printFolder;
    WindowRect windowRect;
    std::array<FileTypeSlot, kFileTypeSlots> fileTypes;
    // File > Export: the folder, the format (filter index), the PDF's
    // content (the sheet as printed, or the liner alone), and the PNG's
    // resolution and background.
    std::string exportFolder;
    int exportFilterIndex = 0;
    bool exportSheet = false;
    int exportDpi = 300;
    bool exportTransparent = false;
    Measurement exportBleed;  // File > Export of a PDF: 0 for none
    // The view's zoom in per cent (100: true size).
    int zoom = 100;
    // View > Rulers.
    bool rulers = true;
};

// Where the file dialogs start before the user chose anything: the default
// format is the shipped one, liners and pictures start in the documents.
struct StartFolders {
    std::string formats;    // the folder of the shipped default.fmt
    std::string documents;  // the user's documents folder
};

// The start values: the format folder is `formats`, the liner, picture and
// print folders are `documents`.
Settings DefaultSettings(const StartFolders& folders);

// Reads the "Options" group.  Without it, every value takes its start value;
// with it but without any file type, the built-in types whose extension is
// associated with the program are offered.
Settings LoadSettings(QSettings& store, const StartFolders& folders,
                      const std::function<bool(const std::string& extension)>& isAssociated = {});
void SaveSettings(QSettings& store, const Settings& settings);

// The default format: the format folder and the default format name.
std::string DefaultFormatPath(const Settings& settings);

// Recent files: slot 0 is the most recent.
constexpr int kRecentFileCount = 4;
constexpr int kRecentFileCommand = 131;  // the oldest entry, and the greyed "Recent File"
constexpr int kPurgeRecentCommand = 132;

struct RecentMenuItem {
    int command;
    std::string text;
};

class RecentFiles {
public:
    void Load(QSettings& store);
    void Save(QSettings& store) const;
    void Add(const std::string& path);
    // Forgets every entry and removes them from the store.
    void Purge(QSettings& store);

    int count() const { return static_cast<int>(paths_.size()); }
    const std::vector<std::string>& paths() const { return paths_; }
    // The path of a recent-file command (128 to 131), or empty.
    std::string PathOfCommand(int command) const;
    // The File menu's entries, most recent first, commands 131 - n + 1 to 131.
    std::vector<RecentMenuItem> MenuItems() const;

private:
    std::vector<std::string> paths_;
};

// A path shortened to at most `limit` characters for a menu.
std::string ShortenPath(const std::string& path, int limit);
