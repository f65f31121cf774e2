#include "app_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>

void EnsureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "reelcard_app_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

std::optional<FileDialogResult> ScriptedFileDialogs::Open(QWidget*, const FileDialogRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) return std::nullopt;
    const bool cancelled = !openAnswers.front().has_value();
    FileDialogResult answer = cancelled ? FileDialogResult{} : *openAnswers.front();
    openAnswers.pop_front();
    if (cancelled) return std::nullopt;
    return answer;
}

std::optional<FileDialogResult> ScriptedFileDialogs::Save(QWidget*, const FileDialogRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return std::nullopt;
    const bool cancelled = !saveAnswers.front().has_value();
    FileDialogResult answer = cancelled ? FileDialogResult{} : *saveAnswers.front();
    saveAnswers.pop_front();
    if (cancelled) return std::nullopt;
    return answer;
}

FileDialogResult Chosen(const std::string& path, int filterIndex, bool readOnly) {
    FileDialogResult result;
    result.path = QString::fromStdString(path);
    result.filterIndex = filterIndex;
    result.readOnly = readOnly;
    return result;
}

AppHarness::AppHarness(bool withDefaultFormat) {
    EnsureApplication();
    if (withDefaultFormat) {
        QFile::copy(REELCARD_BIN_DIR "/default.fmt", QString::fromStdString(folder_.Path("default.fmt")));
    }
}

MainWindow& AppHarness::MakeWindow() {
    window_.reset();
    store_ = std::make_unique<QSettings>(QString::fromStdString(SettingsPath()), QSettings::IniFormat);
    MainWindowServices services;
    services.store = store_.get();
    services.prompter = &prompter;
    services.fileDialogs = &dialogs;
    std::string folder = folder_.Path("");
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    services.programFolder = folder;
    services.documentsFolder = folder_.Path("documents");
    services.userFormatFolder = folder_.Path("formats-of-the-user");
    services.recoveryFolder = folder_.Path("recovery");
    QDir().mkpath(QString::fromStdString(services.documentsFolder));
    services.chooseFont = [this](QWidget*, FontEntry& entry, Prompter&) {
        ++fontChoices;
        if (!fontAnswer) return false;
        entry = *fontAnswer;
        return true;
    };
    // New goes straight on to the file dialog, as "Browse..." in the gallery,
    // unless a test looks at the gallery itself.
    if (!realGallery) {
        services.chooseFormat = [](QWidget*, const QStringList&, const QString&) {
            return std::optional<QString>(QString());
        };
    }
    window_ = std::make_unique<MainWindow>(services);
    return *window_;
}

bool AppHarness::Start(const QString& commandLine) {
    if (!window_) MakeWindow();
    return window_->Start(commandLine);
}

std::string AppHarness::CopySample(const std::string& name, const std::string& sample) {
    const std::string target = folder_.Path(name);
    QFile::remove(QString::fromStdString(target));
    QFile::copy(QString::fromStdString(std::string(REELCARD_BIN_DIR "/samples/") + sample),
                QString::fromStdString(target));
    QFile(QString::fromStdString(target)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return target;
}
