// Helpers of the window tests: an application object, file dialogs answered
// from a script, and a main window started in a folder of its own.
#pragma once

#include <QSettings>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "dialogs/file_dialogs.h"
#include "app/main_window.h"
#include "support/test_support.h"

// The QApplication every widget test needs (created once).
void EnsureApplication();

class ScriptedFileDialogs : public FileDialogs {
public:
    std::optional<FileDialogResult> Open(QWidget*, const FileDialogRequest& request) override;
    std::optional<FileDialogResult> Save(QWidget*, const FileDialogRequest& request) override;

    // Answers in order; once they run out, the dialog is cancelled.
    std::deque<std::optional<FileDialogResult>> openAnswers;
    std::deque<std::optional<FileDialogResult>> saveAnswers;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
};

FileDialogResult Chosen(const std::string& path, int filterIndex = 1, bool readOnly = false);

// A program folder (with default.fmt unless told otherwise), a settings file
// in it, and a main window over them.
class AppHarness {
public:
    explicit AppHarness(bool withDefaultFormat = true);

    // Makes a new window over the same folder and settings file.
    MainWindow& MakeWindow();
    bool Start(const QString& commandLine = {});
    MainWindow& window() { return *window_; }

    std::string ProgramFolder() const { return folder_.Path(""); }
    std::string Path(const std::string& name) const { return folder_.Path(name); }
    // A copy of a bundled sample liner in the program folder, under `name`.
    std::string CopySample(const std::string& name, const std::string& sample = "mixtape.cas");
    std::string SettingsPath() const { return folder_.Path("settings.ini"); }

    ScriptedPrompter prompter;
    ScriptedFileDialogs dialogs;
    int fontChoices = 0;
    std::optional<FontEntry> fontAnswer;  // nothing = the chooser is cancelled
    bool realGallery = false;             // New shows its real format gallery

private:
    TempFolder folder_;
    std::unique_ptr<QSettings> store_;
    std::unique_ptr<MainWindow> window_;
};
