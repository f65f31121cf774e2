// The program's one top-level window: the view of the Liner, the menus, the
// toolbar, and the command table that every menu item, button, accelerator
// and pop-up item goes through.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "document/liner.h"
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
    // Whether a liner file extension is associated with the program.
    std::function<bool(const std::string& extension)> isAssociated;
};

struct PicturePlace;

class MainWindow : public QMainWindow {
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
    void SetCommandHandler(int command, std::function<void()> handler);

    MessageResult QuerySaveChanges();
    // A new Liner from a format file, or the Liner of a liner file, in place
    // of the open one (printing a batch brings the open Liner back with them).
    bool NewLinerFromFormat(const QString& path);
    bool OpenLinerFile(const QString& path);
    // Files dropped on the view: a liner or format file opens (after the
    // save prompt); a picture is added, fitted into the area it landed on.
    void OpenDroppedFile(const QString& path);
    void AddDroppedPicture(const QString& path, const PicturePlace& area);
    void UpdateWindowTitle();
    void UpdateScrollRanges();
    void FitWindowToLiner();

    Liner& liner() { return liner_; }
    LinerView* view() const { return view_; }
    QToolBar* toolBar() const { return toolBar_; }
    QMenu* fileMenu() const { return fileMenu_; }
    QAction* action(int command) const;
    HelpWindow* helpWindow() const { return help_; }
    const Settings& settings() const { return settings_; }
    Settings& settings() { return settings_; }
    const RecentFiles& recentFiles() const { return recent_; }

    bool modified() const { return modified_; }
    // A change after the session's end was answered makes the answer void.
    void SetModified(bool modified) {
        modified_ = modified;
        if (modified) sessionAnswered_ = false;
    }
    bool readOnly() const { return readOnly_; }
    const QString& currentPath() const { return currentPath_; }
    const QString& currentTitle() const { return currentTitle_; }
    const QString& formatPath() const { return formatPath_; }
    bool songFitWarning() const { return songFitWarning_; }
    void ArmSongFitWarning() { songFitWarning_ = true; }
    // The font chosen last in a text dialog; 0xFFFF until one is chosen.
    uint16_t& lastFont() { return lastFont_; }
    Prompter& prompter() { return prompter_; }
    // The font chooser of the services, owned by `owner`.
    bool ChooseFontFor(QWidget* owner, FontEntry& entry) { return services_.chooseFont(owner, entry, prompter_); }
    // Repaints the liner from the model after a dialog changed it.
    void RepaintLiner();
    bool helpUsed() const { return helpUsed_; }

    // The folder of the shipped help, or empty when its path would be too long.
    QString HelpFolder() const;
    // The folder of the shipped data: default.fmt, formats, samples, help.
    std::string DataFolderPath() const;

    // Asks every open dialog with unapplied edits whether to apply them before
    // the Liner is replaced; false when one of them was cancelled.
    bool FinishDialogEdits();
    // Open dialogs show the Liner afresh after its texts were replaced
    // wholesale (asked about with FinishDialogEdits first).
    void ShowReplacedTexts() { emit linerReplaced(); }
    // The desktop session is ending: asks to save changes unless that cannot
    // be asked.  False when the user cancelled (the session should not end).
    bool AnswerSessionEnd(bool allowsInteraction);

signals:
    // Before the Liner is replaced: each open dialog with unapplied edits asks
    // about them and clears `proceed` when the user cancels.
    void aboutToReplaceLiner(bool* proceed);
    // New, Open or a recent file replaced the Liner: open dialogs show it.
    void linerReplaced();
    // Saving renumbered the font table.  `newNumbers[n - 1]` is the new number
    // of font n, 0 when it was dropped; `oldFonts` is the table before.
    void fontsRenumbered(const std::vector<FontEntry>& oldFonts, const std::vector<int>& newNumbers);

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
    void LinerWasReplaced();

    MainWindowServices services_;
    Prompter& prompter_;
    Liner liner_;
    Settings settings_;
    RecentFiles recent_;

    bool modified_ = false;
    bool readOnly_ = false;
    bool songFitWarning_ = true;
    bool helpUsed_ = false;
    bool stateSaved_ = false;
    bool sessionAnswered_ = false;
    uint16_t lastFont_ = 0xFFFF;
    QString currentPath_;
    QString currentTitle_;
    QString formatPath_;
    QString recentPlaceholder_;

    LinerView* view_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
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
