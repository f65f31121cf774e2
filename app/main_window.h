// The program's one top-level window: the view of the Liner, the menus, the
// toolbar, and the command table that every menu item, button, accelerator
// and pop-up item goes through.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/dialog_host.h"
#include "document/liner.h"
#include "document/liner_document.h"
#include "document/settings.h"
#include "platform/prompter.h"

class FileDialogs;
#include "app/help_window.h"
class LinerView;
class QAction;
class QMenu;
class QSessionManager;
class QSettings;
class QToolBar;
struct FileDialogResult;

// What the window needs from outside; tests pass their own.
struct MainWindowServices {
    QSettings* store = nullptr;
    Prompter* prompter = nullptr;
    FileDialogs* fileDialogs = nullptr;
    std::string programFolder;
    // Where liners and pictures are first looked for, and where the user's
    // own formats go (empty: the user's documents and $XDG_DATA_HOME/reelcard/formats).
    std::string documentsFolder;
    std::string userFormatFolder;
    // The font chooser (the real dialog unless a test answers for it).
    std::function<bool(QWidget* owner, FontEntry& entry, Prompter& prompter)> chooseFont;
    // New's gallery of `formats` (the real dialog unless a test answers for
    // it): the chosen format, an empty path for "Browse...", nothing on Cancel.
    std::function<std::optional<QString>(QWidget* owner, const QStringList& formats, const QString& current)>
        chooseFormat;
    // Whether a liner file extension is associated with the program.
    std::function<bool(const std::string& extension)> isAssociated;
    // Where copies of unsaved changes are kept against a crash (empty: the
    // user's data folder).
    std::string recoveryFolder;
};

class RecoveryCopies;

struct PicturePlace;

class MainWindow : public QMainWindow, public DialogHost {
    Q_OBJECT

public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Settings, recent files, the default format (asking for one until a
    // format is read) and the liner file of the command line.  False when
    // the user gave up choosing a format: the program then ends.
    bool Start(const QString& commandLine);

    // The command table.  Save and Save As give 1 when the Liner was
    // written, 0 otherwise; other commands give 1 when they ran.
    int Dispatch(int command);
    bool IsCommandEnabled(int command) const;
    // Lets a later dialog take over a command; the command is enabled.
    void SetCommandHandler(int command, std::function<void()> handler) override;

    MessageResult QuerySaveChanges() override;
    // A new Liner from a format file, or the Liner of a liner file, in place
    // of the open one (printing a batch brings the open Liner back with them).
    bool NewLinerFromFormat(const QString& path) override;
    bool OpenLinerFile(const QString& path) override;
    // Files dropped on the view: a liner or format file opens (after the
    // save prompt); a picture is added, fitted into the area it landed on.
    void OpenDroppedFile(const QString& path);
    void AddDroppedPicture(const QString& path, const PicturePlace& area);
    void UpdateWindowTitle();
    void UpdateScrollRanges() override;
    void FitWindowToLiner() override;

    LinerDocument& document() override { return document_; }
    QWidget* hostWindow() override { return this; }
    Liner& liner() { return document_.liner(); }
    LinerView* view() const override { return view_; }
    QToolBar* toolBar() const { return toolBar_; }
    QMenu* fileMenu() const { return fileMenu_; }
    QAction* action(int command) const;
    HelpWindow* helpWindow() const { return help_; }
    const Settings& settings() const { return settings_; }
    Settings& settings() override { return settings_; }
    const RecentFiles& recentFiles() const { return recent_; }

    bool modified() const { return document_.modified(); }
    // Marks the Liner changed without a step (or saved as it is).
    void SetModified(bool modified) {
        document_.SetModified(modified);
        // A change after the session's end was answered makes the answer void.
        if (modified) sessionAnswered_ = false;
    }
    bool readOnly() const { return document_.readOnly(); }
    const QString& currentPath() const { return document_.currentPath(); }
    const QString& currentTitle() const { return document_.currentTitle(); }
    const QString& formatPath() const { return document_.formatPath(); }
    bool songFitWarning() { return document_.songFitWarning(); }
    void ArmSongFitWarning() { document_.ArmSongFitWarning(); }
    // The font chosen last in a text dialog; 0xFFFF until one is chosen.
    uint16_t& lastFont() { return document_.lastFont(); }
    Prompter& prompter() override { return prompter_; }
    // The font chooser of the services, owned by `owner`.
    bool ChooseFontFor(QWidget* owner, FontEntry& entry) override {
        return services_.chooseFont(owner, entry, prompter_);
    }
    // Repaints the liner from the model after a dialog changed it.
    void RepaintLiner() override;
    bool helpUsed() const { return helpUsed_; }

    // The folder of the shipped help, or empty when its path would be too long.
    QString HelpFolder() const;
    // The folder of the shipped data: default.fmt, formats, samples, help.
    std::string DataFolderPath() const;

    // The desktop session is ending: asks to save changes unless that cannot
    // be asked.  False when the user cancelled (the session should not end).
    bool AnswerSessionEnd(bool allowsInteraction);
    // Writes the copy of unsaved changes now (the timer does it every minute).
    void WriteRecoveryCopy();
    // Asked to end from outside (`signal`: a shutdown, a closed terminal,
    // Ctrl+C): nothing is asked; unsaved changes stay as a copy offered at
    // the next start, the settings and recent files are kept, and the
    // program leaves its event loops with 128 + `signal`.
    void EndOnRequest(int signal);
    const RecoveryCopies& recovery() const { return *recovery_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    QAction* MakeAction(int command, const QString& text, const QKeySequence& shortcut = {});
    void RebuildRecentMenu();
    void RefreshChecks();

    bool SaveChangesFirst();
    std::optional<FileDialogResult> ChooseFormatFile();
    void NewCommand();
    void OpenCommand();
    int SaveCommand();
    int SaveAsCommand();
    void FormatSaveAsCommand();
    // Tells the user that a shipped file is never written; true for such a path.
    bool RefuseShippedFile(const QString& path);
    void OpenRecentFile(int command);
    // Opens a liner file by its path (recent files, dropped files).
    void OpenNamedLinerFile(const QString& path);
    void PurgeRecentFiles();
    void FontCommand(int fontIndex);
    void ShowHelp(bool search);
    void ShowAbout();
    void ScrollForNewLiner();
    void CommitData(QSessionManager& manager);
    void SaveState();
    // Compacts the font table as a save does; the function returned tells the
    // open dialogs the new numbers.
    std::function<void()> CompactFontsForSave();
    // A save wrote the Liner as it is: the history marks it, the copy of
    // unsaved changes goes.
    void LinerWasSaved();
    void LinerWasReplaced();
    // Shows a Liner that replaced the open one: its pictures, scroll ranges,
    // its start in view.
    void ShowNewLiner();
    // Keeps the Liner as it is now ready for a crash and due for the next copy.
    void ArmRecovery();
    // What the window does after a step, an Undo or a Redo.
    void FollowChange(unsigned parts);
    void UpdateUndoActions();
    // A copy of unsaved changes left by a run that ended abnormally is offered.
    void OfferRecovery();

    MainWindowServices services_;
    Prompter& prompter_;
    LinerDocument document_;
    Settings settings_;
    RecentFiles recent_;
    std::unique_ptr<RecoveryCopies> recovery_;

    bool helpUsed_ = false;
    bool stateSaved_ = false;
    bool sessionAnswered_ = false;
    bool endingOnRequest_ = false;
    // The Liner changed since the copy of unsaved changes was last written.
    bool recoveryDue_ = false;
    // Whether the Liner's image was turned upside down at the last change.
    bool wasInverted_ = false;
    QString recentPlaceholder_;

    LinerView* view_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* formatMenu_ = nullptr;
    QMenu* fontsMenu_ = nullptr;
    QMenu* textMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, QAction*> recentActions_;
    std::map<int, std::function<void()>> handlers_;
    QPointer<HelpWindow> help_;
};

// The about box.
void ShowAboutBox(QWidget* owner);
