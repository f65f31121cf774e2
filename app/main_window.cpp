#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSessionManager>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>

#include "platform/commands.h"
#include "render/view_rulers.h"
#include "dialogs/file_dialogs.h"
#include "app/help_window.h"
#include "dialogs/icons.h"
#include "app/view_commands.h"
#include "dialogs/date_time.h"
#include "dialogs/font_dialog.h"
#include "dialogs/import_songs_dialog.h"
#include "dialogs/register_types_dialog.h"
#include "dialogs/format_commands.h"
#include "dialogs/format_pictures_dialog.h"
#include "dialogs/new_liner_dialog.h"
#include "dialogs/text_dialog.h"
#include "document/file_types.h"
#include "document/liner_file.h"
#include "document/liner_text.h"
#include "document/recovery.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "render/view.h"

namespace {

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// Commands carried out by the dialogs and printing installed after the window
// is made (SetCommandHandler): greyed until their handler is installed.
constexpr int kInstalledCommands[] = {
    kCmdPrint,         kCmdPageSetup,       kCmdFormatFeatures,
    kCmdFormatLiner,   kCmdFormatSides,     kCmdFormatSongs,       kCmdFormatTitle,
    kCmdFormatPictures, kCmdTitleLines,     kCmdSongsSideA,        kCmdSongsSideB,
    kCmdSidesAFlap,    kCmdSidesBFlap,      kCmdSidesAPrimary,     kCmdSidesBPrimary,
    kCmdSongsAPrimary, kCmdSongsAOverflow,  kCmdSongsBPrimary,     kCmdSongsBOverflow,
    kCmdExport,        kCmdPrintPreview,    kCmdFindAlbum,
};

bool NeedsInstalledHandler(int command) {
    for (int c : kInstalledCommands) {
        if (c == command) return true;
    }
    return false;
}

// "&1 path": the path's own ampersands must not turn into mnemonics.
QString RecentText(const std::string& text) {
    const size_t space = text.find(' ');
    if (space == std::string::npos) return QString::fromStdString(text);
    QString path = QString::fromStdString(text.substr(space + 1));
    path.replace("&", "&&");
    return QString::fromStdString(text.substr(0, space + 1)) + path;
}

std::optional<QString> ChooseFormatInGallery(QWidget* owner, const QStringList& formats, const QString& current) {
    NewLinerDialog dialog(formats, current, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.browse() ? QString() : dialog.chosenPath();
}

}  // namespace

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent), services_(services), prompter_(*services.prompter) {
    setObjectName("MainWindow");
    setWindowIcon(ProgramIcon());
    if (!services_.chooseFont) services_.chooseFont = ChooseFont;
    if (!services_.chooseFormat) services_.chooseFormat = ChooseFormatInGallery;
    if (!services_.isAssociated) {
        services_.isAssociated = [](const std::string& ext) { return IsAssociatedWithProgram(ext); };
    }

    EnsureStandardFonts(document_.liner());
    view_ = new LinerView(document_, this);
    view_->SetCommandEnabled([this](int command) { return IsCommandEnabled(command); });
    view_->SetPaintContext(&prompter_, &document_.songFitWarning());
    connect(view_, &LinerView::commandRequested, this, [this](int command) { Dispatch(command); });
    connect(view_, &LinerView::fileDropped, this, &MainWindow::OpenDroppedFile);
    connect(view_, &LinerView::pictureDropped, this, &MainWindow::AddDroppedPicture);
    setCentralWidget(view_);

    BuildActions();
    BuildToolBar();
    BuildMenus();
    InstallTextDialogs(*this);
    InstallSongCommands(*this, [this] { return SaveAsCommand() != 0; });
    InstallRegisterTypesDialog(*this);
    InstallFormatDialogs(*this);
    InstallFeatureDialogs(*this);
    InstallPicturesDialog(*this);
    InstallViewCommands(*this);

    connect(&document_, &LinerDocument::changed, this, &MainWindow::FollowChange);
    connect(&document_, &LinerDocument::fileChanged, this, &MainWindow::UpdateWindowTitle);
    // A step, an Undo, a Redo and a cleared history all move the index.
    connect(&document_.history(), &QUndoStack::indexChanged, this, &MainWindow::UpdateUndoActions);
    UpdateUndoActions();

    // Unsaved changes are copied every minute, and kept ready for a crash
    // after every change.
    recovery_ = std::make_unique<RecoveryCopies>(services_.recoveryFolder.empty() ? RecoveryFolder()
                                                                                   : services_.recoveryFolder);
    // Back to the saved state (a save, New, Open, Undo): nothing to recover.
    connect(&document_, &LinerDocument::modifiedChanged, this, [this](bool modified) {
        setWindowModified(modified);
        if (modified) {
            ArmRecovery();
        } else {
            recovery_->Remove();
        }
    });
    auto* recoveryTimer = new QTimer(this);
    recoveryTimer->setObjectName("RecoveryTimer");
    recoveryTimer->setInterval(60 * 1000);
    connect(recoveryTimer, &QTimer::timeout, this, &MainWindow::WriteRecoveryCopy);
    recoveryTimer->start();

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { ShowHelp(false); });

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager& manager) { CommitData(manager); });
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { SaveState(); });
    }
    UpdateWindowTitle();
}

MainWindow::~MainWindow() {
    if (help_) delete help_;
}

// ---- actions, menus, toolbar --------------------------------------------------

QAction* MainWindow::MakeAction(int command, const QString& text, const QKeySequence& shortcut) {
    auto* a = new QAction(text, this);
    a->setData(command);
    a->setObjectName(QString("Command%1").arg(command));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    const QString tip = Str(static_cast<uint16_t>(command));
    if (command <= kCmdFormatFeatures && !tip.isEmpty()) a->setToolTip(tip);
    if (NeedsInstalledHandler(command)) a->setEnabled(false);
    connect(a, &QAction::triggered, this, [this, command] { Dispatch(command); });
    actions_[command] = a;
    return a;
}

void MainWindow::BuildActions() {
    MakeAction(kCmdNew, tr("&New..."), QKeySequence(Qt::CTRL | Qt::Key_N));
    MakeAction(kCmdOpen, tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    MakeAction(kCmdSave, tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S));
    MakeAction(kCmdSaveAs, tr("Save &As..."));
    MakeAction(kCmdPrint, tr("&Print..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    MakeAction(kCmdPrintPreview, tr("Print Pre&view..."))->setToolTip(tr("Print Preview"));
    MakeAction(kCmdExport, tr("&Export..."));
    MakeAction(kCmdPageSetup, tr("Page Set&up..."));
    MakeAction(kCmdRegisterFileTypes, tr("Register File &Types..."));
    MakeAction(kCmdRecentLast, tr("Recent File"))->setEnabled(false);
    MakeAction(kCmdPurgeRecent, tr("Pu&rge recent file list"))->setEnabled(false);
    MakeAction(kCmdExit, tr("E&xit"), QKeySequence(Qt::ALT | Qt::Key_F4));

    MakeAction(kCmdUndo, tr("&Undo"))->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    MakeAction(kCmdRedo, tr("&Redo"))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});

    MakeAction(kCmdFormatFeatures, tr("&Features"));
    MakeAction(kCmdFormatLiner, tr("L&iner"));
    MakeAction(kCmdFormatSides, tr("Si&des"));
    MakeAction(kCmdFormatSongs, tr("S&ongs"));
    MakeAction(kCmdFormatTitle, tr("&Title"));
    MakeAction(kCmdFormatPictures, tr("&Pictures"));
    MakeAction(kCmdFormatSaveAs, tr("&Save..."));
    MakeAction(kCmdResizeWindow, tr("&Resize Window"))->setCheckable(true);
    MakeAction(kCmdRulers, tr("&Rulers"))->setCheckable(true);

    MakeAction(kCmdFontSideLetter, tr("Side &Letter..."));
    MakeAction(kCmdFontFeatureName, tr("Feature &Name..."));
    MakeAction(kCmdFontFeature, tr("&Feature..."));
    MakeAction(kCmdFontTitle, tr("&Title..."));
    MakeAction(kCmdFontSong, tr("&Song..."));
    MakeAction(kCmdApplyLastFont, tr("&Apply Last Font"))->setCheckable(true);

    MakeAction(kCmdTitleLines, tr("&Title..."), QKeySequence(Qt::CTRL | Qt::Key_T));
    MakeAction(kCmdSongsSideA, tr("Songs Side &A..."), QKeySequence(Qt::CTRL | Qt::Key_A));
    MakeAction(kCmdSongsSideB, tr("Songs Side &B..."), QKeySequence(Qt::CTRL | Qt::Key_B));
    MakeAction(kCmdImportSongs, tr("&Import Songs..."));
    MakeAction(kCmdFindAlbum, tr("Find Album &Online..."));
    MakeAction(kCmdFitSongs, tr("F&it Songs"));

    MakeAction(kCmdZoomIn, tr("Zoom &In"));
    actions_[kCmdZoomIn]->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    MakeAction(kCmdZoomOut, tr("Zoom &Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus));
    MakeAction(kCmdActualSize, tr("&Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_0));
    MakeAction(kCmdFitWidth, tr("Fit &Width"));
    MakeAction(kCmdFitPage, tr("Fit &Page"));

    MakeAction(kCmdHelpContents, tr("&Contents"));
    MakeAction(kCmdHelpSearch, tr("&Search..."));
    MakeAction(kCmdAbout, tr("&About Reelcard..."));

    for (int command : {kCmdNew, kCmdOpen, kCmdSave, kCmdPrint, kCmdPrintPreview, kCmdFormatFeatures, kCmdFormatLiner,
                        kCmdFormatSides, kCmdFormatSongs, kCmdFormatTitle, kCmdFormatPictures,
                        kCmdFormatSaveAs, kCmdUndo, kCmdRedo}) {
        actions_[command]->setIcon(CommandIcon(command));
    }
}

void MainWindow::BuildMenus() {
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    fileMenu_->setObjectName("MENU_FILE");
    for (int c : {kCmdNew, kCmdOpen, kCmdSave, kCmdSaveAs}) fileMenu_->addAction(actions_[c]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[kCmdPrint]);
    fileMenu_->addAction(actions_[kCmdPrintPreview]);
    fileMenu_->addAction(actions_[kCmdPageSetup]);
    fileMenu_->addAction(actions_[kCmdExport]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[kCmdRegisterFileTypes]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[kCmdRecentLast]);
    fileMenu_->addAction(actions_[kCmdPurgeRecent]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[kCmdExit]);
    recentPlaceholder_ = actions_[kCmdRecentLast]->text();
    recentActions_[kCmdRecentLast] = actions_[kCmdRecentLast];

    editMenu_ = menuBar()->addMenu(tr("&Edit"));
    editMenu_->setObjectName("MENU_EDIT");
    editMenu_->addAction(actions_[kCmdUndo]);
    editMenu_->addAction(actions_[kCmdRedo]);

    formatMenu_ = menuBar()->addMenu(tr("F&ormat"));
    formatMenu_->setObjectName("MENU_FORMAT");
    for (int c : {kCmdFormatFeatures, kCmdFormatLiner, kCmdFormatSides, kCmdFormatSongs, kCmdFormatTitle,
                  kCmdFormatPictures}) {
        formatMenu_->addAction(actions_[c]);
    }
    formatMenu_->addSeparator();
    formatMenu_->addAction(actions_[kCmdFormatSaveAs]);
    formatMenu_->addSeparator();
    formatMenu_->addAction(actions_[kCmdResizeWindow]);

    fontsMenu_ = menuBar()->addMenu(tr("Fo&nts"));
    fontsMenu_->setObjectName("MENU_FONTS");
    for (int c : {kCmdFontSideLetter, kCmdFontFeatureName, kCmdFontFeature, kCmdFontTitle, kCmdFontSong}) {
        fontsMenu_->addAction(actions_[c]);
    }
    fontsMenu_->addSeparator();
    fontsMenu_->addAction(actions_[kCmdApplyLastFont]);

    textMenu_ = menuBar()->addMenu(tr("&Text"));
    textMenu_->setObjectName("MENU_TEXT");
    for (int c : {kCmdTitleLines, kCmdSongsSideA, kCmdSongsSideB}) textMenu_->addAction(actions_[c]);
    textMenu_->addSeparator();
    textMenu_->addAction(actions_[kCmdImportSongs]);
    textMenu_->addAction(actions_[kCmdFindAlbum]);
    textMenu_->addAction(actions_[kCmdFitSongs]);

    viewMenu_ = menuBar()->addMenu(tr("&View"));
    viewMenu_->setObjectName("MENU_VIEW");
    for (int c : {kCmdZoomIn, kCmdZoomOut, kCmdActualSize, kCmdFitWidth, kCmdFitPage}) {
        viewMenu_->addAction(actions_[c]);
    }
    viewMenu_->addSeparator();
    viewMenu_->addAction(actions_[kCmdRulers]);

    helpMenu_ = menuBar()->addMenu(tr("&Help"));
    helpMenu_->setObjectName("MENU_HELP");
    helpMenu_->addAction(actions_[kCmdHelpContents]);
    helpMenu_->addAction(actions_[kCmdHelpSearch]);
    helpMenu_->addSeparator();
    helpMenu_->addAction(actions_[kCmdAbout]);

    for (QMenu* menu : {fileMenu_, editMenu_, formatMenu_, fontsMenu_, textMenu_, helpMenu_}) {
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::RefreshChecks);
    }
}

void MainWindow::BuildToolBar() {
    toolBar_ = addToolBar(tr("Toolbar"));
    toolBar_->setObjectName("ToolBar");
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(16, 16));
    const int layout[] = {kCmdNew, kCmdOpen, kCmdSave, 0, kCmdPrint, kCmdPrintPreview, 0, kCmdUndo, kCmdRedo, 0,
                          kCmdFormatFeatures, kCmdFormatLiner,
                          kCmdFormatSides, kCmdFormatSongs, kCmdFormatTitle, kCmdFormatPictures, 0,
                          kCmdFormatSaveAs};
    for (int command : layout) {
        if (command == 0) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(actions_[command]);
        }
    }
}

void MainWindow::RefreshChecks() {
    actions_[kCmdApplyLastFont]->setChecked(settings_.applyLastFont);
    actions_[kCmdResizeWindow]->setChecked(settings_.resizeWindow);
    actions_[kCmdRulers]->setChecked(settings_.rulers);
}

QAction* MainWindow::action(int command) const {
    if (auto it = recentActions_.find(command); it != recentActions_.end()) return it->second;
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::RebuildRecentMenu() {
    const std::vector<RecentMenuItem> items = recent_.MenuItems();
    // Entries that no longer exist go; 131 stays as the placeholder.
    for (auto it = recentActions_.begin(); it != recentActions_.end();) {
        const int command = it->first;
        const bool used = std::any_of(items.begin(), items.end(),
                                      [command](const RecentMenuItem& i) { return i.command == command; });
        if (command != kCmdRecentLast && !used) {
            fileMenu_->removeAction(it->second);
            delete it->second;
            it = recentActions_.erase(it);
        } else {
            ++it;
        }
    }
    QAction* last = recentActions_[kCmdRecentLast];
    if (items.empty()) {
        last->setText(recentPlaceholder_);
        last->setEnabled(false);
        actions_[kCmdPurgeRecent]->setEnabled(false);
        return;
    }
    last->setEnabled(true);
    actions_[kCmdPurgeRecent]->setEnabled(true);
    // From the oldest (131) up, each entry goes before the one after it, so
    // the most recent ends on top.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const int command = it->command;
        QAction* a = recentActions_.count(command) ? recentActions_[command] : nullptr;
        if (!a) {
            a = new QAction(this);
            a->setData(command);
            a->setObjectName(QString("Command%1").arg(command));
            connect(a, &QAction::triggered, this, [this, command] { Dispatch(command); });
            fileMenu_->insertAction(recentActions_[command + 1], a);
            recentActions_[command] = a;
        }
        a->setText(RecentText(it->text));
        a->setEnabled(true);
    }
}

bool MainWindow::IsCommandEnabled(int command) const {
    if (handlers_.count(command)) return true;
    if (NeedsInstalledHandler(command)) return false;
    if (QAction* a = action(command)) return a->isEnabled();
    return true;
}

void MainWindow::SetCommandHandler(int command, std::function<void()> handler) {
    handlers_[command] = std::move(handler);
    if (QAction* a = action(command)) a->setEnabled(true);
}

// ---- state shown to the user ------------------------------------------------------

void MainWindow::UpdateWindowTitle() {
    // The document first, then the program, with the window system's mark of
    // unsaved changes after the name.
    const QString& name = document_.currentTitle();
    QString title = (name.isEmpty() ? Str(IDS_UNTITLED) : name) + "[*]";
    if (document_.readOnly()) title += Str(IDS_READ_ONLY_SUFFIX);
    setWindowTitle(title + " - " + Str(IDS_APP_NAME));
    setWindowModified(document_.modified());
}

void MainWindow::UpdateScrollRanges() { view_->UpdateScrollRanges(); }

void MainWindow::FitWindowToLiner() {
    if (!settings_.resizeWindow) return;
    const int chrome = width() - view_->width();
    const int wanted = view_->FittedWindowWidth() + std::max(chrome, 0);
    if (width() == wanted) return;
    QRect g = geometry();
    int left = g.left();
    if (QScreen* s = screen()) {
        const QRect area = s->geometry();
        if (left + wanted + 1 > area.right() + 1) left = area.right() + 2 - wanted;
        left = std::max(left, area.left());
    }
    setGeometry(left, g.top(), wanted, g.height());
    view_->viewport()->update();
}

void MainWindow::RepaintLiner() { view_->viewport()->update(); }

void MainWindow::ScrollForNewLiner() {
    wasInverted_ = document_.liner().invertImage != 0;
    if (wasInverted_) {
        view_->ScrollToBottom();
    } else {
        view_->ScrollToTop();
    }
}

std::string MainWindow::DataFolderPath() const {
    return DataFolder(services_.programFolder.empty() ? GetProgramFolder() : services_.programFolder);
}

QString MainWindow::HelpFolder() const {
    const std::string folder = DataFolderPath();
    // The shipped help must be reachable by a path of ordinary length.
    if (folder.size() + 14 >= 260) return {};
    return QDir(QString::fromStdString(folder)).filePath("help");
}

// ---- start and end ------------------------------------------------------------------

bool MainWindow::Start(const QString& commandLine) {
    const StartFolders start{DataFolderPath(), services_.documentsFolder.empty() ? DocumentsFolder()
                                                                                : services_.documentsFolder};
    settings_ = LoadSettings(*services_.store, start, services_.isAssociated);
    // The date and time buttons follow the user's locale and "intl" overrides.
    LoadDateSettings(QLocale::system(), *services_.store);
    recent_.Load(*services_.store);
    RebuildRecentMenu();
    RefreshChecks();
    view_->SetZoom(settings_.zoom);
    view_->SetRulersVisible(settings_.rulers);

    Liner& liner = document_.liner();
    QString path = QString::fromStdString(DefaultFormatPath(settings_));
    if (!ReadFormatFile(liner, path.toStdString(), prompter_)) {
        for (;;) {
            const std::optional<FileDialogResult> chosen = ChooseFormatFile();
            if (!chosen) return false;
            if (ReadFormatFile(liner, chosen->path.toStdString(), prompter_)) {
                path = chosen->path;
                settings_.defaultFormatName = FileTitle(path.toStdString());
                break;
            }
        }
    }
    liner.title = {};
    liner.songsA = {};
    liner.songsB = {};
    document_.SetFormatPath(path);
    document_.SetReadOnly(false);
    EnsureStandardFonts(liner);
    document_.Replaced(false);

    const WindowRect& r = settings_.windowRect;
    if (r == WindowRect{}) {
        // A first start: a window that shows the liner's width and most of its height.
        const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
        const int linerHeight = TwipsToPixels(liner.totalHeight() + 361, view_->dpiY());
        int chrome = menuBar()->sizeHint().height() + toolBar_->sizeHint().height() + 40;
        // The rulers take their band above the liner; without it the
        // liner's foot would start out of sight.
        if (view_->rulersVisible()) chrome += ViewRuler::kSize;
        resize(std::min(view_->FittedWindowWidth(), available.width()),
               std::min(linerHeight + chrome, available.height() - 60));
        FitWindowToLiner();
    } else {
        setGeometry(r.left, r.top, std::max(r.right - r.left, 200), std::max(r.bottom - r.top, 150));
    }

    document_.SetFile({}, {});
    if (!commandLine.isEmpty() && OpenLinerFile(commandLine)) {
        recent_.Add(commandLine.toStdString());
        RebuildRecentMenu();
    }
    UpdateWindowTitle();
    UpdateScrollRanges();
    // A copy of unsaved changes that a crash left behind is offered once the
    // window shows (the command line's file stays open on Later or Discard).
    QTimer::singleShot(0, this, &MainWindow::OfferRecovery);
    return true;
}

void MainWindow::SaveState() {
    if (stateSaved_) return;
    stateSaved_ = true;
    const QRect g = geometry();
    settings_.windowRect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    SaveSettings(*services_.store, settings_);
    recent_.Save(*services_.store);
    services_.store->sync();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange && services_.store) {
        LoadDateSettings(QLocale::system(), *services_.store);
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::EndOnRequest(int signal) {
    if (endingOnRequest_) return;
    endingOnRequest_ = true;
    std::fprintf(stderr, "reelcard: ending on signal %d (%s)\n", signal, strsignal(signal));
    if (modified()) {
        ArmRecovery();
        if (recovery_->Write()) {
            std::fprintf(stderr, "reelcard: the unsaved changes were kept in %s\n", recovery_->copyPath().c_str());
        } else {
            std::fprintf(stderr, "reelcard: the unsaved changes could not be kept\n");
        }
    }
    recovery_->Release();
    SaveState();
    if (help_) help_->close();
    hide();
    // Every event loop, a dialog's too, returns.
    QCoreApplication::exit(128 + signal);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (endingOnRequest_) return event->accept();
    // The answer given for an ending session holds only for the windows that
    // close with it, never for a close the user asks for later.
    const bool answered = sessionAnswered_ && !event->spontaneous();
    if (modified() && !answered && QuerySaveChanges() == MessageResult::Cancel) {
        event->ignore();
        return;
    }
    // A clean end: the copy of unsaved changes is not needed any more.
    recovery_->Remove();
    SaveState();
    if (help_) help_->close();
    event->accept();
}

void MainWindow::CommitData(QSessionManager& manager) {
    if (!modified()) return;
    if (!manager.allowsInteraction()) {
        // The session ends without asking: the changes survive as a copy.
        WriteRecoveryCopy();
        return;
    }
    const bool proceed = AnswerSessionEnd(true);
    manager.release();
    if (!proceed) manager.cancel();
}

bool MainWindow::AnswerSessionEnd(bool allowsInteraction) {
    sessionAnswered_ = false;
    if (!modified() || !allowsInteraction) return true;
    if (QuerySaveChanges() == MessageResult::Cancel) return false;
    // Answered: the windows closing with the session do not ask again.
    sessionAnswered_ = true;
    return true;
}

void MainWindow::LinerWasReplaced() { document_.AnnounceReplaced(); }

void MainWindow::ShowNewLiner() {
    view_->ForgetPictures();
    UpdateScrollRanges();
    view_->viewport()->update();
    ScrollForNewLiner();
}

std::function<void()> MainWindow::CompactFontsForSave() {
    std::vector<FontEntry> before;
    std::vector<int> numbers = document_.CompactFontsForSave(&before);
    if (numbers.empty()) return [] {};
    // Told once the file was written (its own compaction then changes
    // nothing), so that fonts the dialogs bring back stay in the table.
    return [this, before = std::move(before), numbers = std::move(numbers)] {
        document_.AnnounceRenumbered(before, numbers);
    };
}

void MainWindow::LinerWasSaved() {
    document_.SetReadOnly(false);
    document_.SetModified(false);
}

void MainWindow::FollowChange(unsigned parts) {
    sessionAnswered_ = false;
    if (modified()) ArmRecovery();
    if (parts & (LinerDocument::kGeometry | LinerDocument::kFormats)) {
        UpdateScrollRanges();
        const bool inverted = document_.liner().invertImage != 0;
        if (inverted != wasInverted_) {
            wasInverted_ = inverted;
            if (inverted) {
                view_->ScrollToBottom();
            } else {
                view_->ScrollToTop();
            }
        }
        FitWindowToLiner();
    }
    RepaintLiner();
}

void MainWindow::UpdateUndoActions() {
    QUndoStack& history = document_.history();
    QAction* undo = actions_[kCmdUndo];
    QAction* redo = actions_[kCmdRedo];
    // "&Undo Format Liner": the step's name, greyed when there is none.
    undo->setText(history.canUndo() ? tr("&Undo %1").arg(history.undoText()) : tr("&Undo"));
    redo->setText(history.canRedo() ? tr("&Redo %1").arg(history.redoText()) : tr("&Redo"));
    undo->setToolTip(undo->text().remove('&'));
    redo->setToolTip(redo->text().remove('&'));
    undo->setEnabled(history.canUndo());
    redo->setEnabled(history.canRedo());
}

void MainWindow::WriteRecoveryCopy() {
    if (!modified() || !recoveryDue_) return;
    if (recovery_->Write()) recoveryDue_ = false;
}

void MainWindow::ArmRecovery() {
    recovery_->Arm(document_.liner(), document_.currentPath());
    recoveryDue_ = true;
}

void MainWindow::OfferRecovery() {
    for (const RecoveryCopies::Left& left : recovery_->LeftBehind()) {
        const QString name = left.originalPath.isEmpty()
                                 ? Str(IDS_UNTITLED)
                                 : QString::fromStdString(FileTitle(left.originalPath.toStdString()));
        const RecoveryChoice choice = prompter_.AskRecover(
            FormatMessageText(LoadString(IDS_RECOVER_CHANGES), {name.toStdString()}));
        if (choice == RecoveryChoice::Later) continue;
        if (choice == RecoveryChoice::Discard) {
            RecoveryCopies::Discard(left);
            continue;
        }
        // Recover: the copy opens as the changed liner it was, under its own
        // file's name, in place of the liner open now (asked about first).
        if (!document_.FinishDialogEdits() || !SaveChangesFirst()) continue;
        Liner recovered = document_.liner();
        if (!ReadLinerFile(recovered, left.copyPath, true, prompter_)) {
            // Kept for the user under a name that is not offered again.
            RecoveryCopies::SetAside(left);
            continue;
        }
        EnsureStandardFonts(recovered);
        // Pictures named relative to the liner's file are found beside it.
        if (!left.originalPath.isEmpty()) SetPictureBaseFolder(FolderOf(left.originalPath.toStdString()));
        document_.liner() = std::move(recovered);
        document_.SetReadOnly(false);
        document_.SetFile(left.originalPath, left.originalPath.isEmpty()
                                                 ? QString()
                                                 : QString::fromStdString(FileTitle(left.originalPath.toStdString())));
        document_.Replaced(true);
        RecoveryCopies::Discard(left);
        // Protected again at once, as this run's own copy.
        WriteRecoveryCopy();
        ShowNewLiner();
        LinerWasReplaced();
        FitWindowToLiner();
        break;
    }
}

MessageResult MainWindow::QuerySaveChanges() {
    const QString& name = document_.currentTitle();
    const std::string title = name.isEmpty() ? LoadString(IDS_UNTITLED) : name.toStdString();
    const MessageResult answer =
        ShowMessage(prompter_, MessageOwner::MainWindow(),
                    {MessageIcon::Question, MessageButtons::YesNoCancel, false}, IDS_SAVE_CURRENT_CHANGES, {title});
    if (answer == MessageResult::Yes) {
        if (Dispatch(kCmdSave) == 0) return MessageResult::Cancel;
    }
    return answer;
}

bool MainWindow::SaveChangesFirst() {
    return !modified() || QuerySaveChanges() != MessageResult::Cancel;
}

// ---- the command table ------------------------------------------------------------

int MainWindow::Dispatch(int command) {
    if (!IsCommandEnabled(command)) return 0;
    if (auto it = handlers_.find(command); it != handlers_.end()) {
        it->second();
        return 1;
    }
    switch (command) {
        case kCmdNew:
            if (!document_.FinishDialogEdits() || !SaveChangesFirst()) return 0;
            NewCommand();
            return 1;
        case kCmdOpen:
            if (!document_.FinishDialogEdits() || !SaveChangesFirst()) return 0;
            OpenCommand();
            return 1;
        case kCmdSave: return SaveCommand();
        case kCmdSaveAs: return SaveAsCommand();
        case kCmdFormatSaveAs: FormatSaveAsCommand(); return 1;
        case kCmdUndo: document_.Undo(); return 1;
        case kCmdRedo: document_.Redo(); return 1;
        case kCmdExit:
            sessionAnswered_ = false;
            QMetaObject::invokeMethod(this, "close", Qt::QueuedConnection);
            return 1;
        case kCmdFontSideLetter:
        case kCmdFontFeatureName:
        case kCmdFontFeature:
        case kCmdFontTitle:
        case kCmdFontSong: FontCommand(command - kCmdFontSideLetter); return 1;
        case kCmdApplyLastFont:
            settings_.applyLastFont = !settings_.applyLastFont;
            RefreshChecks();
            return 1;
        case kCmdResizeWindow:
            settings_.resizeWindow = !settings_.resizeWindow;
            RefreshChecks();
            return 1;
        case kCmdHelpContents: ShowHelp(false); return 1;
        case kCmdHelpSearch: ShowHelp(true); return 1;
        case kCmdAbout: ShowAboutBox(this); return 1;
        case kCmdPurgeRecent: PurgeRecentFiles(); return 1;
        default: break;
    }
    if (command >= kCmdRecentFirst && command <= kCmdRecentLast) {
        if (recent_.PathOfCommand(command).empty()) return 0;
        if (!document_.FinishDialogEdits() || !SaveChangesFirst()) return 0;
        OpenRecentFile(command);
        return 1;
    }
    return 0;
}

// ---- file commands -------------------------------------------------------------------

std::optional<FileDialogResult> MainWindow::ChooseFormatFile() {
    FileDialogRequest request;
    request.caption = Str(IDS_CAPTION_NEW);
    request.filter = BuildFileFilter(IDS_FILTER_FORMAT_FILES, settings_.formatFilterIndex, settings_.fileTypes);
    request.filterIndex = settings_.formatFilterIndex;
    request.folder = QString::fromStdString(settings_.formatFolder);
    request.fileName = QString::fromStdString(settings_.defaultFormatName);
    std::optional<FileDialogResult> chosen = services_.fileDialogs->Open(this, request);
    if (chosen) {
        settings_.formatFolder = FolderOfChosenFile(chosen->path);
        settings_.formatFilterIndex = chosen->filterIndex;
    }
    return chosen;
}

bool MainWindow::NewLinerFromFormat(const QString& path) {
    Liner& liner = document_.liner();
    if (!ReadFormatFile(liner, path.toStdString(), prompter_)) return false;
    document_.SetFormatPath(path);
    liner.title = {};
    liner.songsA = {};
    liner.songsB = {};
    EnsureStandardFonts(liner);
    document_.SetReadOnly(false);
    document_.SetFile({}, {});
    document_.Replaced(false);
    ShowNewLiner();
    return true;
}

void MainWindow::NewCommand() {
    const QString data = QString::fromStdString(DataFolderPath());
    const QString user = QString::fromStdString(services_.userFormatFolder.empty() ? UserFormatFolder()
                                                                                   : services_.userFormatFolder);
    const QStringList formats = GalleryFormats(data + "/default.fmt", data + "/formats", user);
    std::optional<QString> path =
        services_.chooseFormat(this, formats, QString::fromStdString(settings_.defaultFormatName));
    if (!path) return;
    if (path->isEmpty()) {
        const std::optional<FileDialogResult> chosen = ChooseFormatFile();
        if (!chosen) return;
        path = chosen->path;
    } else {
        settings_.formatFolder = FolderOfChosenFile(*path);
    }
    if (!NewLinerFromFormat(*path)) return;
    // The format chosen here is the one the next start begins with.
    settings_.defaultFormatName = FileTitle(path->toStdString());
    LinerWasReplaced();
    FitWindowToLiner();
}

bool MainWindow::OpenLinerFile(const QString& path) {
    // Read into a copy: a file of the earlier generation merges into the
    // open Liner's format, and a file that cannot be read changes nothing.
    Liner next = document_.liner();
    bool merged = false;
    if (!ReadLinerFile(next, path.toStdString(), false, prompter_, &merged)) return false;
    EnsureStandardFonts(next);
    document_.liner() = std::move(next);
    document_.SetFile(path, QString::fromStdString(FileTitle(path.toStdString())));
    // A merged file holds changes not saved anywhere yet.
    document_.Replaced(merged);
    ShowNewLiner();
    return true;
}

void MainWindow::OpenCommand() {
    FileDialogRequest request;
    request.caption = Str(IDS_CAPTION_FILE_OPEN);
    request.filter = BuildFileFilter(IDS_FILTER_LINER_FILES, settings_.linerFilterIndex, settings_.fileTypes);
    request.filterIndex = settings_.linerFilterIndex;
    request.folder = QString::fromStdString(settings_.linerFolder);
    request.preview = true;
    request.showReadOnly = true;
    const std::optional<FileDialogResult> chosen = services_.fileDialogs->Open(this, request);
    if (!chosen) return;
    settings_.linerFolder = FolderOfChosenFile(chosen->path);
    settings_.linerFilterIndex = chosen->filterIndex;

    // The Liner in memory stays the old one when the file cannot be read,
    // and so does the name it is saved under.
    if (!OpenLinerFile(chosen->path)) return;
    document_.SetReadOnly(chosen->readOnly);
    recent_.Add(chosen->path.toStdString());
    RebuildRecentMenu();
    LinerWasReplaced();
    FitWindowToLiner();
}

void MainWindow::OpenRecentFile(int command) {
    OpenNamedLinerFile(QString::fromStdString(recent_.PathOfCommand(command)));
}

void MainWindow::OpenNamedLinerFile(const QString& path) {
    if (!OpenLinerFile(path)) return;
    document_.SetReadOnly(false);
    recent_.Add(path.toStdString());
    RebuildRecentMenu();
    LinerWasReplaced();
    FitWindowToLiner();
}

void MainWindow::OpenDroppedFile(const QString& path) {
    // As New and Open: open dialogs and unsaved changes are asked about first.
    if (!document_.FinishDialogEdits() || !SaveChangesFirst()) return;
    if (QFileInfo(path).suffix().compare(QLatin1String("fmt"), Qt::CaseInsensitive) == 0) {
        if (!NewLinerFromFormat(path)) return;
        LinerWasReplaced();
        FitWindowToLiner();
        return;
    }
    OpenNamedLinerFile(path);
}

void MainWindow::AddDroppedPicture(const QString& path, const PicturePlace& area) {
    if (!AddFittedPicture(document_.liner(), path.toStdString(), area, prompter_, PictureReaders(),
                          {view_->dpiX(), view_->dpiY()})) {
        return;
    }
    document_.Commit(tr("Add Picture"), LinerDocument::kPictures);
}

int MainWindow::SaveCommand() {
    const QString path = document_.currentPath();
    if (document_.currentTitle().isEmpty() || path.isEmpty()) return SaveAsCommand();
    // A shipped sample is never written: it saves as a read-only file does.
    if (document_.readOnly() || IsShippedFile(path.toStdString(), DataFolderPath())) {
        ShowMessage(prompter_, MessageOwner::MainWindow(), {MessageIcon::Information, MessageButtons::Ok, false},
                    IDS_FILE_IS_READ_ONLY);
        return SaveAsCommand();
    }
    const auto announce = CompactFontsForSave();
    const bool written = WriteLinerFile(document_.liner(), path.toStdString(), prompter_, &document_.lastFont());
    announce();
    if (!written) return 0;
    LinerWasSaved();
    return 1;
}

int MainWindow::SaveAsCommand() {
    FileDialogRequest request;
    request.caption = Str(IDS_CAPTION_FILE_SAVE_AS);
    request.filter = BuildFileFilter(IDS_FILTER_LINER_FILES, settings_.linerFilterIndex, settings_.fileTypes);
    request.filterIndex = settings_.linerFilterIndex;
    request.fileName = document_.currentTitle();
    request.folder = SaveDialogFolder(settings_.linerFolder, request.fileName, DataFolderPath(),
                                      services_.documentsFolder.empty() ? DocumentsFolder()
                                                                        : services_.documentsFolder);
    const std::optional<FileDialogResult> chosen = services_.fileDialogs->Save(this, request);
    if (!chosen) return 0;
    settings_.linerFolder = FolderOfChosenFile(chosen->path);
    settings_.linerFilterIndex = chosen->filterIndex;
    if (RefuseShippedFile(chosen->path)) return 0;
    const auto announce = CompactFontsForSave();
    const bool written =
        WriteLinerFile(document_.liner(), chosen->path.toStdString(), prompter_, &document_.lastFont());
    announce();
    if (!written) return 0;
    document_.SetFile(chosen->path, QString::fromStdString(FileTitle(chosen->path.toStdString())));
    recent_.Add(chosen->path.toStdString());
    RebuildRecentMenu();
    LinerWasSaved();
    return 1;
}

void MainWindow::FormatSaveAsCommand() {
    FileDialogRequest request;
    request.caption = Str(IDS_CAPTION_FORMAT_SAVE_AS);
    request.filter = BuildFileFilter(IDS_FILTER_FORMAT_FILES, settings_.formatFilterIndex, settings_.fileTypes);
    request.filterIndex = settings_.formatFilterIndex;
    request.fileName = QString::fromStdString(settings_.defaultFormatName);
    // Over a shipped format the user's own formats folder is offered instead.
    request.folder = SaveDialogFolder(settings_.formatFolder, request.fileName, DataFolderPath(),
                                      services_.userFormatFolder.empty() ? UserFormatFolder()
                                                                         : services_.userFormatFolder);
    const std::optional<FileDialogResult> chosen = services_.fileDialogs->Save(this, request);
    if (!chosen) return;
    settings_.formatFolder = FolderOfChosenFile(chosen->path);
    settings_.formatFilterIndex = chosen->filterIndex;
    if (RefuseShippedFile(chosen->path)) return;
    const auto announce = CompactFontsForSave();
    const bool written =
        WriteFormatFile(document_.liner(), chosen->path.toStdString(), prompter_, &document_.lastFont());
    announce();
    if (written) {
        settings_.defaultFormatName = FileTitle(chosen->path.toStdString());
    }
}

bool MainWindow::RefuseShippedFile(const QString& path) {
    if (!IsShippedFile(path.toStdString(), DataFolderPath())) return false;
    ShowMessage(prompter_, MessageOwner::MainWindow(), {MessageIcon::Information, MessageButtons::Ok, false},
                IDS_FILE_IS_READ_ONLY);
    return true;
}

void MainWindow::PurgeRecentFiles() {
    recent_.Purge(*services_.store);
    RebuildRecentMenu();
}

// ---- fonts, help, about -----------------------------------------------------------

void MainWindow::FontCommand(int fontIndex) {
    Liner& liner = document_.liner();
    EnsureStandardFonts(liner);
    FontEntry entry = liner.fonts[fontIndex];
    if (!services_.chooseFont(this, entry, prompter_)) return;
    // Letters kept in other character sets follow the font.
    ChangeFontAndVariants(liner.fonts, fontIndex + 1, entry);
    static const char* const kNames[] = {QT_TR_NOOP("Side Letter Font"), QT_TR_NOOP("Feature Name Font"),
                                         QT_TR_NOOP("Feature Font"), QT_TR_NOOP("Title Font"),
                                         QT_TR_NOOP("Song Font")};
    document_.Commit(tr(kNames[fontIndex]), LinerDocument::kFonts);
}

void MainWindow::ShowHelp(bool search) {
    const QString folder = HelpFolder();
    if (folder.isEmpty() || !QFileInfo(QDir(folder).filePath("index.html")).isFile()) return;
    helpUsed_ = true;
    if (!help_) help_ = new HelpWindow(folder);
    help_->setWindowIcon(windowIcon());
    if (search) {
        help_->ShowSearch();
    } else {
        help_->ShowContents();
    }
}

void ShowAboutBox(QWidget* owner) {
    QDialog dialog(owner);
    dialog.setObjectName("AboutDialog");
    dialog.setWindowTitle(QObject::tr("About Reelcard"));
    auto* icons = new QVBoxLayout;
    auto* appIcon = new QLabel(&dialog);
    appIcon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* cassette = new QLabel(&dialog);
    cassette->setPixmap(CassettePixmap(48));
    icons->addWidget(appIcon);
    icons->addWidget(cassette);
    icons->addStretch();
    auto* text = new QLabel(QString("Reelcard %1\n%2-bit version\n\n%3")
                                .arg(ProgramVersion())
                                .arg(QSysInfo::WordSize)
                                .arg(QObject::tr("Designs and prints J-cards, the folded paper "
                                                 "liners of cassette tape cases.")),
                            &dialog);
    text->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addLayout(icons);
    top->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(top);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(320);
    dialog.exec();
}
