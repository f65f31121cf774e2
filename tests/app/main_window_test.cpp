// The main window: start-up, the command table, menus and toolbar, file
// commands, save prompts, recent files and settings.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QUndoStack>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app/help_window.h"
#include "dialogs/date_time.h"
#include "dialogs/new_liner_dialog.h"
#include "app_test_support.h"
#include "document/liner_file.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "render/view.h"

namespace {

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) texts << a->text();
    }
    return texts;
}

QMenu* TopMenu(MainWindow& w, const char* name) { return w.findChild<QMenu*>(name); }

TEST(MainWindowStart, UntitledLinerFromTheDefaultFormat) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_EQ(w.windowTitle(), "(untitled)[*] - Reelcard");
    EXPECT_TRUE(w.formatPath().endsWith("default.fmt"));
    EXPECT_FALSE(w.modified());
    EXPECT_GE(w.liner().fonts.size(), 5u);
    EXPECT_EQ(w.liner().title.lineCount, 0);
    EXPECT_TRUE(app.prompter.shown.empty());
    EXPECT_TRUE(app.dialogs.openRequests.empty());
}

TEST(MainWindowStart, OpensTheFileOnTheCommandLine) {
    AppHarness app;
    const std::string path = app.CopySample("tape one.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    EXPECT_EQ(w.windowTitle(), "tape one.cas[*] - Reelcard");
    EXPECT_EQ(w.currentPath().toStdString(), path);
    EXPECT_GT(w.liner().title.lineCount + w.liner().songsA.lineCount, 0);
    ASSERT_EQ(w.recentFiles().count(), 1);
    EXPECT_TRUE(w.action(kCmdRecentLast)->text().startsWith("&1 "));
    EXPECT_TRUE(w.action(kCmdPurgeRecent)->isEnabled());
}

TEST(MainWindowStart, AnUnreadableCommandLineFileLeavesTheLinerUntitled) {
    AppHarness app;
    ASSERT_TRUE(app.Start(QString::fromStdString(app.Path("missing.cas"))));
    EXPECT_EQ(app.window().windowTitle(), "(untitled)[*] - Reelcard");
    EXPECT_TRUE(app.window().currentPath().isEmpty());
    EXPECT_EQ(app.prompter.shown.size(), 1u);  // the reader said why
    EXPECT_EQ(app.window().recentFiles().count(), 0);
}

TEST(MainWindowStart, AsksForAFormatUntilOneIsRead) {
    AppHarness app(false);
    const std::string notAFormat = app.Path("notes.fmt");
    WriteBytes(notAFormat, {'h', 'e', 'l', 'l', 'o'});
    const std::string format = app.Path("my.fmt");
    QFile::copy(REELCARD_BIN_DIR "/default.fmt", QString::fromStdString(format));
    app.dialogs.openAnswers = {Chosen(notAFormat), Chosen(format)};
    ASSERT_TRUE(app.Start());
    ASSERT_EQ(app.dialogs.openRequests.size(), 2u);
    EXPECT_EQ(app.dialogs.openRequests[0].caption, "New");
    EXPECT_FALSE(app.dialogs.openRequests[0].preview);
    EXPECT_FALSE(app.dialogs.openRequests[0].showReadOnly);
    EXPECT_EQ(app.dialogs.openRequests[0].filter.pairs.front().first, "Format Files (*.fmt)");
    EXPECT_EQ(app.window().formatPath().toStdString(), format);
    EXPECT_EQ(app.window().settings().defaultFormatName, "my.fmt");
    // The missing default and the unreadable choice were both reported.
    EXPECT_EQ(app.prompter.shown.size(), 2u);
}

TEST(MainWindowStart, CancellingTheFormatChoiceEndsQuietly) {
    AppHarness app(false);
    EXPECT_FALSE(app.Start());
    EXPECT_EQ(app.dialogs.openRequests.size(), 1u);
    EXPECT_EQ(app.prompter.shown.size(), 1u);  // only the reader's own message
}

TEST(MainWindowCommands, MenusCarryTheirCommandsTextsAndShortcuts) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_EQ(MenuTexts(TopMenu(w, "MENU_FILE")),
              (QStringList{"&New...", "&Open...", "&Save", "Save &As...", "&Print...", "Print Pre&view...",
                           "Page Set&up...", "&Export...", "Register File &Types...", "Recent File",
                           "Pu&rge recent file list", "E&xit"}));
    EXPECT_EQ(MenuTexts(TopMenu(w, "MENU_FORMAT")),
              (QStringList{"&Features", "L&iner", "Si&des", "S&ongs", "&Title", "&Pictures", "&Save...",
                           "&Resize Window"}));
    EXPECT_EQ(MenuTexts(TopMenu(w, "MENU_FONTS")),
              (QStringList{"Side &Letter...", "Feature &Name...", "&Feature...", "&Title...", "&Song...",
                           "&Apply Last Font"}));
    EXPECT_EQ(MenuTexts(TopMenu(w, "MENU_TEXT")),
              (QStringList{"&Title...", "Songs Side &A...", "Songs Side &B...", "&Import Songs...",
                           "Find Album &Online...", "F&it Songs"}));
    EXPECT_EQ(MenuTexts(TopMenu(w, "MENU_VIEW")),
              (QStringList{"Zoom &In", "Zoom &Out", "&Actual Size", "Fit &Width", "Fit &Page", "&Rulers"}));
    EXPECT_EQ(MenuTexts(TopMenu(w, "MENU_HELP")), (QStringList{"&Contents", "&Search...", "&About Reelcard..."}));
    for (const char* name : {"MENU_FILE", "MENU_FORMAT", "MENU_FONTS", "MENU_TEXT", "MENU_VIEW", "MENU_HELP"}) {
        QMenu* menu = TopMenu(w, name);
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator()) {
                EXPECT_TRUE(a->data().isValid()) << a->text().toStdString();
            }
        }
    }
    EXPECT_EQ(w.action(kCmdNew)->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(w.action(kCmdOpen)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(w.action(kCmdSave)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(w.action(kCmdPrint)->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(w.action(kCmdTitleLines)->shortcut(), QKeySequence("Ctrl+T"));
    EXPECT_EQ(w.action(kCmdSongsSideA)->shortcut(), QKeySequence("Ctrl+A"));
    EXPECT_EQ(w.action(kCmdSongsSideB)->shortcut(), QKeySequence("Ctrl+B"));
    EXPECT_EQ(w.action(kCmdExit)->shortcut(), QKeySequence("Alt+F4"));
    EXPECT_EQ(w.action(kCmdZoomIn)->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")}));
    EXPECT_EQ(w.action(kCmdZoomOut)->shortcut(), QKeySequence("Ctrl+-"));
    EXPECT_EQ(w.action(kCmdActualSize)->shortcut(), QKeySequence("Ctrl+0"));
}

TEST(MainWindowCommands, ToolbarHasItsEntriesWithTooltips) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    const QList<QAction*> entries = app.window().toolBar()->actions();
    // The file, print and format commands, with Print Preview, Undo and Redo after Print.
    const int expected[] = {1, 2, 3, 0, 4, kCmdPrintPreview, 0, kCmdUndo, kCmdRedo, 0, 11, 6, 9, 8, 10, 5, 0, 7};
    ASSERT_EQ(entries.size(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < entries.size(); ++i) {
        if (expected[i] == 0) {
            EXPECT_TRUE(entries[i]->isSeparator()) << i;
            continue;
        }
        EXPECT_EQ(entries[i]->data().toInt(), expected[i]);
        if (expected[i] < kCmdUndo) {
            EXPECT_EQ(entries[i]->toolTip().toStdString(), LoadString(expected[i])) << i;
        }
        EXPECT_FALSE(entries[i]->icon().isNull()) << i;
    }
    EXPECT_EQ(entries[0]->toolTip(), "New Liner");
    EXPECT_EQ(entries[5]->toolTip(), "Print Preview");
    EXPECT_EQ(entries[7]->toolTip(), "Undo");
    EXPECT_FALSE(entries[7]->isEnabled());
    EXPECT_EQ(entries.back()->toolTip(), "Save Format");
}

TEST(MainWindowCommands, DialogsOfLaterWorkAreGreyedAndDoNothing) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    for (int command : {kCmdPrint, kCmdPageSetup, kCmdPrintPreview, kCmdExport}) {
        EXPECT_FALSE(w.action(command)->isEnabled()) << command;
        EXPECT_EQ(w.Dispatch(command), 0) << command;
    }
    EXPECT_EQ(w.Dispatch(999), 0);  // not in the table
    EXPECT_EQ(w.Dispatch(kCmdRecentFirst), 0);  // no such entry yet
    EXPECT_TRUE(app.prompter.shown.empty());
    EXPECT_TRUE(app.dialogs.openRequests.empty());
}

TEST(MainWindowCommands, AHandlerTakesOverACommandAndDoubleClicksReachIt) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    int opened = 0;
    w.SetCommandHandler(kCmdTitleLines, [&] { ++opened; });
    EXPECT_TRUE(w.action(kCmdTitleLines)->isEnabled());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    LinerView* view = w.view();
    const LinerGeometry g = ComputeLinerGeometry(w.liner());
    const int depth = TitleSpan(g).top + 30 - view->state().scrollY;
    const QPoint pixel(TwipsToPixels(kViewMargin + 300, view->dpiX()), TwipsToPixels(kViewMargin + depth, view->dpiY()));
    ASSERT_EQ(view->AreaAt(pixel), kAreaTitle);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, pixel);
    EXPECT_EQ(opened, 1);
}

TEST(MainWindowCommands, OptionsToggleTheirCheckMarks) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_FALSE(w.action(kCmdApplyLastFont)->isChecked());
    w.action(kCmdApplyLastFont)->trigger();
    EXPECT_TRUE(w.settings().applyLastFont);
    EXPECT_TRUE(w.action(kCmdApplyLastFont)->isChecked());
    w.Dispatch(kCmdResizeWindow);
    EXPECT_TRUE(w.settings().resizeWindow);
    EXPECT_TRUE(w.action(kCmdResizeWindow)->isChecked());
    w.Dispatch(kCmdResizeWindow);
    EXPECT_FALSE(w.settings().resizeWindow);
    EXPECT_FALSE(w.action(kCmdResizeWindow)->isChecked());
}

TEST(MainWindowCommands, FontCommandsChangeTheirEntryInPlace) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    const auto before = w.liner().fonts;
    w.Dispatch(kCmdFontTitle);  // cancelled
    EXPECT_EQ(w.liner().fonts, before);
    EXPECT_FALSE(w.modified());
    FontEntry chosen = before[kFontTitle - 1];
    chosen.logFont.escapement = 900;
    chosen.color = 0xFF;
    app.fontAnswer = chosen;
    w.Dispatch(kCmdFontTitle);
    EXPECT_EQ(w.liner().fonts[kFontTitle - 1], chosen);
    EXPECT_EQ(w.liner().fonts.size(), before.size());
    EXPECT_TRUE(w.modified());
    w.Dispatch(kCmdFontSideLetter);
    EXPECT_EQ(w.liner().fonts[kFontSideLetter - 1], chosen);
    EXPECT_EQ(app.fontChoices, 3);
}

TEST(MainWindowHelp, ContentsOpenTheShippedHelp) {
    AppHarness app;
    QDir().mkpath(QString::fromStdString(app.Path("help")));
    QFile::copy(REELCARD_BIN_DIR "/help/index.html", QString::fromStdString(app.Path("help/index.html")));
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_FALSE(w.helpUsed());
    w.Dispatch(kCmdHelpContents);
    ASSERT_NE(w.helpWindow(), nullptr);
    EXPECT_TRUE(w.helpWindow()->isVisible());
    EXPECT_TRUE(w.helpUsed());
    EXPECT_TRUE(w.helpWindow()->browser()->source().toString().endsWith("index.html"));
    w.helpWindow()->close();
    w.Dispatch(kCmdHelpSearch);
    EXPECT_TRUE(w.helpWindow()->isVisible());
}

TEST(MainWindowHelp, SearchFindsThePagesHoldingEveryWord) {
    EnsureApplication();
    HelpWindow help(REELCARD_BIN_DIR "/help");
    const QStringList pages = help.Search("rotation degrees");
    EXPECT_TRUE(pages.contains("fonts.html"));
    EXPECT_FALSE(pages.contains("printing.html") && pages.size() == 1);
    EXPECT_TRUE(help.Search("zzqqxx").isEmpty());
    EXPECT_TRUE(help.Search("   ").isEmpty());
}

TEST(MainWindowPaint, AMissingPictureIsReportedOnceNotAtEveryPaint) {
    AppHarness app;
    const std::string path = app.CopySample("pictured.cas", "mixtape.cas");  // cassette.bmp stays behind
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    ASSERT_FALSE(w.liner().pictures.empty());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // Looked for on a worker thread: the first report follows a later paint.
    w.view()->viewport()->repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.prompter.shown.empty(); }, 30000));
    for (int i = 0; i < 3; ++i) {
        w.view()->viewport()->repaint();
        QTest::qWait(10);
    }
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    for (int i = 0; i < 3; ++i) {
        w.view()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(app.prompter.shown.size(), 1u);
}

TEST(MainWindowPaint, ALinerOpenedWithAMissingPictureIsUnchangedAndClosesWithoutAsking) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // Format Pictures stays open: its thumbnail looks for the picture too,
    // quietly, and must not take the view's report from it.
    ASSERT_EQ(w.Dispatch(kCmdFormatPictures), 1);
    const std::string path = app.CopySample("mixtape.cas");  // cassette.bmp stays behind
    app.dialogs.openAnswers = {Chosen(path)};
    ASSERT_EQ(w.Dispatch(kCmdOpen), 1);
    ASSERT_FALSE(w.liner().pictures.empty());
    w.view()->viewport()->repaint();
    // The picture is looked for on a worker thread; its message follows the paint.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.prompter.shown.empty(); }, 30000));
    for (int i = 0; i < 3; ++i) {
        w.view()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_EQ(app.prompter.shown[0].text, "Cannot open file 'cassette.bmp'");
    EXPECT_FALSE(w.modified());
    EXPECT_FALSE(w.document().history().canUndo());
    w.Dispatch(kCmdExit);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
    EXPECT_EQ(app.prompter.shown.size(), 1u);  // no save question
}

// ---- file commands ----------------------------------------------------------------

TEST(FileCommands, OpenSetsTitleReadOnlyFoldersAndRecentFiles) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    const std::string path = app.CopySample("side.cas");
    app.dialogs.openAnswers = {Chosen(path, 2, true)};
    w.Dispatch(kCmdOpen);
    ASSERT_EQ(app.dialogs.openRequests.size(), 1u);
    const FileDialogRequest& r = app.dialogs.openRequests[0];
    EXPECT_EQ(r.caption, "File Open");
    EXPECT_TRUE(r.preview);
    EXPECT_TRUE(r.showReadOnly);
    EXPECT_EQ(w.windowTitle(), "side.cas[*] (Read-Only) - Reelcard");
    EXPECT_TRUE(w.readOnly());
    EXPECT_EQ(w.settings().linerFilterIndex, 2);
    EXPECT_EQ(QString::fromStdString(w.settings().linerFolder), QDir::cleanPath(QString::fromStdString(app.ProgramFolder())));
    EXPECT_EQ(w.recentFiles().count(), 1);
}

TEST(FileCommands, SavingAReadOnlyFileGoesThroughSaveAs) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    const std::string path = app.CopySample("locked.cas");
    const auto original = ReadBytes(path);
    app.dialogs.openAnswers = {Chosen(path, 1, true)};
    w.Dispatch(kCmdOpen);
    w.SetModified(true);
    EXPECT_EQ(w.Dispatch(kCmdSave), 0);  // Save As cancelled
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_EQ(app.prompter.shown[0].text, "This file is read-only");
    EXPECT_EQ(app.prompter.shown[0].style.icon, MessageIcon::Information);
    ASSERT_EQ(app.dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(app.dialogs.saveRequests[0].caption, "File Save As");
    EXPECT_EQ(app.dialogs.saveRequests[0].fileName, "locked.cas");
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(ReadBytes(path), original);

    const std::string copy = app.Path("unlocked.cas");
    app.dialogs.saveAnswers = {Chosen(copy)};
    EXPECT_EQ(w.Dispatch(kCmdSave), 1);
    EXPECT_FALSE(w.modified());
    EXPECT_FALSE(w.readOnly());
    EXPECT_EQ(w.windowTitle(), "unlocked.cas[*] - Reelcard");
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_FALSE(ReadBytes(copy).empty());
    EXPECT_EQ(w.recentFiles().paths().front(), copy);
}

TEST(FileCommands, SaveOnANamedFileWritesIt) {
    AppHarness app;
    const std::string path = app.CopySample("named.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    w.liner().title = {1, "Changed"};
    w.SetModified(true);
    EXPECT_EQ(w.Dispatch(kCmdSave), 1);
    EXPECT_TRUE(app.dialogs.saveRequests.empty());
    EXPECT_FALSE(w.modified());
    Liner reread;
    ScriptedPrompter quiet;
    ASSERT_TRUE(ReadLinerFile(reread, path, true, quiet));
    EXPECT_EQ(reread.title.text, "Changed");
}

TEST(FileCommands, TheTitleMarksUnsavedChangesUntilSavedOrUndone) {
    AppHarness app;
    const std::string path = app.CopySample("marked.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    EXPECT_FALSE(w.isWindowModified());
    w.liner().title = {1, "Changed"};
    ASSERT_TRUE(w.document().Commit("Title Lines", LinerDocument::kTexts));
    EXPECT_TRUE(w.isWindowModified());
    w.document().Undo();
    EXPECT_FALSE(w.isWindowModified());
    w.document().Redo();
    EXPECT_TRUE(w.isWindowModified());
    EXPECT_EQ(w.Dispatch(kCmdSave), 1);
    EXPECT_FALSE(w.isWindowModified());
    EXPECT_EQ(w.windowTitle(), "marked.cas[*] - Reelcard");
}

TEST(FileCommands, AFailedOpenKeepsTheLinerAndItsName) {
    AppHarness app;
    const std::string path = app.CopySample("kept.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    const Liner before = w.liner();
    const std::string junk = app.Path("junk.cas");
    WriteBytes(junk, {1, 2, 3});
    app.dialogs.openAnswers = {Chosen(junk, 1, true)};
    w.Dispatch(kCmdOpen);
    EXPECT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_EQ(w.liner(), before);
    EXPECT_EQ(w.currentPath().toStdString(), path);
    EXPECT_EQ(w.windowTitle(), "kept.cas[*] - Reelcard");
    EXPECT_EQ(w.recentFiles().count(), 1);
}

// Answers the gallery New shows: `act` gets its list and closes it.
static void InGallery(std::function<void(NewLinerDialog*, QListWidget*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<NewLinerDialog*>(QApplication::activeModalWidget());
        auto* list = dialog ? dialog->findChild<QListWidget*>("FormatList") : nullptr;
        EXPECT_TRUE(list);
        if (list) act(dialog, list);
        if (dialog && dialog->isVisible()) dialog->reject();
    });
}

TEST(FileCommands, NewOffersTheShippedAndTheUsersFormatsInAGallery) {
    AppHarness app;
    app.realGallery = true;
    QDir().mkpath(QString::fromStdString(app.Path("formats")));
    QDir().mkpath(QString::fromStdString(app.Path("formats-of-the-user")));
    QFile::copy(REELCARD_BIN_DIR "/formats/short-back.fmt", QString::fromStdString(app.Path("formats/short-back.fmt")));
    const std::string mine = app.Path("formats-of-the-user/my-tray-card.fmt");
    QFile::copy(REELCARD_BIN_DIR "/formats/cd-tray-card.fmt", QString::fromStdString(mine));
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    const auto startWidth = w.liner().width;

    // Cancel changes nothing.
    QStringList shown;
    InGallery([&shown](NewLinerDialog*, QListWidget* list) {
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
    });
    EXPECT_EQ(w.Dispatch(kCmdNew), 1);
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0].startsWith("Default\n")) << shown[0].toStdString();
    EXPECT_EQ(shown[1].toStdString(), "Short back\n4 \u00d7 3.562 in");
    EXPECT_TRUE(shown[2].startsWith("My tray card\n")) << shown[2].toStdString();
    EXPECT_EQ(w.liner().width, startWidth);
    EXPECT_TRUE(app.dialogs.openRequests.empty());

    // The user's format, then OK: the new liner starts from it.
    InGallery([](NewLinerDialog* dialog, QListWidget* list) {
        list->setCurrentRow(2);
        QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    w.Dispatch(kCmdNew);
    Liner expected;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadFormatFile(expected, mine, prompter));
    EXPECT_NE(expected.width, startWidth);
    EXPECT_EQ(w.liner().width, expected.width);
    EXPECT_EQ(w.formatPath().toStdString(), mine);
    EXPECT_EQ(w.windowTitle(), "(untitled)[*] - Reelcard");
    EXPECT_EQ(w.settings().defaultFormatName, "my-tray-card.fmt");
    EXPECT_TRUE(app.dialogs.openRequests.empty());

    // A double-click on a thumbnail other than the selected one starts the
    // new liner from that format at once, with no OK.
    const std::string shipped = app.Path("formats/short-back.fmt");
    QString selectedBefore;
    InGallery([&selectedBefore](NewLinerDialog*, QListWidget* list) {
        if (list->currentItem()) selectedBefore = list->currentItem()->text();
        list->doItemsLayout();
        const QRect thumbnail = list->visualItemRect(list->item(1));
        // As a mouse sends it: press, release, the second press, release.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, thumbnail.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, thumbnail.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, thumbnail.center());
    });
    EXPECT_EQ(w.Dispatch(kCmdNew), 1);
    EXPECT_TRUE(selectedBefore.startsWith("My tray card\n")) << selectedBefore.toStdString();
    Liner shortBack;
    ASSERT_TRUE(ReadFormatFile(shortBack, shipped, prompter));
    EXPECT_NE(shortBack.width, expected.width);
    EXPECT_EQ(w.liner().width, shortBack.width);
    EXPECT_EQ(w.formatPath().toStdString(), shipped);
    EXPECT_EQ(w.settings().defaultFormatName, "short-back.fmt");
    EXPECT_TRUE(app.dialogs.openRequests.empty());
}

TEST(FileCommands, NewStartsAnUntitledLinerFromTheChosenFormat) {
    AppHarness app;
    const std::string path = app.CopySample("old.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    const std::string format = app.Path("other.fmt");
    QFile::copy(REELCARD_BIN_DIR "/formats/short-back.fmt", QString::fromStdString(format));
    app.dialogs.openAnswers = {Chosen(format)};
    w.Dispatch(kCmdNew);
    EXPECT_EQ(w.windowTitle(), "(untitled)[*] - Reelcard");
    EXPECT_EQ(w.liner().title.lineCount, 0);
    EXPECT_EQ(w.liner().songsA.lineCount, 0);
    EXPECT_EQ(w.formatPath().toStdString(), format);
    EXPECT_EQ(w.settings().defaultFormatName, "other.fmt");
}

TEST(FileCommands, FormatSaveAsWritesTheFormatOnly) {
    AppHarness app;
    const std::string path = app.CopySample("tape.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    const std::string format = app.Path("saved.fmt");
    app.dialogs.saveAnswers = {Chosen(format)};
    w.Dispatch(kCmdFormatSaveAs);
    ASSERT_EQ(app.dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(app.dialogs.saveRequests[0].caption, "Format Save As");
    EXPECT_EQ(app.dialogs.saveRequests[0].fileName, "default.fmt");
    EXPECT_EQ(app.dialogs.saveRequests[0].filter.defaultExtension, "fmt");
    Liner reread;
    ScriptedPrompter quiet;
    ASSERT_TRUE(ReadFormatFile(reread, format, quiet));
    EXPECT_EQ(reread.width, w.liner().width);
    EXPECT_EQ(w.currentPath().toStdString(), path);
    EXPECT_FALSE(w.modified());
}

// ---- save prompts on the way out ----------------------------------------------------

TEST(SavePrompt, YesOnAnUntitledLinerOpensSaveAsAndCancelKeepsRunning) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.show();
    w.SetModified(true);
    app.prompter.answers = {MessageResult::Yes};
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.modified());
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_EQ(app.prompter.shown[0].text, "Save current changes: (untitled)");
    EXPECT_EQ(app.prompter.shown[0].style.icon, MessageIcon::Question);
    EXPECT_EQ(app.prompter.shown[0].style.buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(app.dialogs.saveRequests.size(), 1u);
}

TEST(SavePrompt, CancelStaysNoLeavesWithoutSaving) {
    AppHarness app;
    const std::string path = app.CopySample("mine.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    w.show();
    w.SetModified(true);
    app.prompter.answers = {MessageResult::Cancel};
    EXPECT_FALSE(w.close());
    EXPECT_EQ(app.prompter.LastText(), "Save current changes: mine.cas");
    const auto original = ReadBytes(path);
    w.liner().title = {1, "Unsaved"};
    app.prompter.answers = {MessageResult::No};
    EXPECT_TRUE(w.close());
    EXPECT_EQ(ReadBytes(path), original);
}

TEST(SavePrompt, ExitCommandAndOpenAskFirst) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.show();
    w.SetModified(true);
    app.prompter.answers = {MessageResult::Cancel};
    w.Dispatch(kCmdOpen);
    EXPECT_TRUE(app.dialogs.openRequests.empty());  // cancelled before the dialog
    app.prompter.answers = {MessageResult::Cancel};
    w.Dispatch(kCmdExit);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(app.prompter.shown.size(), 2u);
    app.prompter.answers = {MessageResult::No};
    w.Dispatch(kCmdExit);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
}

TEST(SavePrompt, AfterACancelledLogOutClosingAsksAgain) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.show();
    w.SetModified(true);
    // The session's end was answered with No; then the log-out was cancelled
    // elsewhere and the program goes on.
    app.prompter.answers = {MessageResult::No};
    EXPECT_TRUE(w.AnswerSessionEnd(true));
    EXPECT_EQ(app.prompter.shown.size(), 1u);
    app.prompter.answers = {MessageResult::Cancel};
    w.Dispatch(kCmdExit);
    QCoreApplication::processEvents();
    EXPECT_EQ(app.prompter.shown.size(), 2u);
    EXPECT_TRUE(w.isVisible());

    // So does a change made after the answer.
    app.prompter.answers = {MessageResult::No};
    EXPECT_TRUE(w.AnswerSessionEnd(true));
    w.SetModified(true);
    app.prompter.answers = {MessageResult::Cancel};
    EXPECT_FALSE(w.close());
    EXPECT_EQ(app.prompter.shown.size(), 4u);
}

TEST(SavePrompt, YesSavesANamedFileAndCloses) {
    AppHarness app;
    const std::string path = app.CopySample("close.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(path)));
    MainWindow& w = app.window();
    w.show();
    w.liner().title = {1, "Saved on exit"};
    w.SetModified(true);
    app.prompter.answers = {MessageResult::Yes};
    EXPECT_TRUE(w.close());
    Liner reread;
    ScriptedPrompter quiet;
    ASSERT_TRUE(ReadLinerFile(reread, path, true, quiet));
    EXPECT_EQ(reread.title.text, "Saved on exit");
}

// ---- recent files and settings ---------------------------------------------------------

TEST(RecentFiles, MenuShowsFourNewestOnTopAndPurges) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(app.CopySample("tape" + std::to_string(i) + ".cas"));
        app.dialogs.openAnswers = {Chosen(paths.back())};
        w.Dispatch(kCmdOpen);
    }
    ASSERT_EQ(w.recentFiles().count(), 4);
    QStringList entries;
    for (QAction* a : w.fileMenu()->actions()) {
        const int command = a->data().toInt();
        if (command >= kCmdRecentFirst && command <= kCmdRecentLast) entries << a->text();
    }
    ASSERT_EQ(entries.size(), 4);
    EXPECT_TRUE(entries[0].startsWith("&1 ") && entries[0].endsWith("tape5.cas")) << entries[0].toStdString();
    EXPECT_TRUE(entries[3].startsWith("&4 ") && entries[3].endsWith("tape2.cas")) << entries[3].toStdString();
    EXPECT_EQ(w.action(kCmdRecentFirst)->text(), entries[0]);

    // Opening the third moves it to the top.
    w.Dispatch(kCmdRecentFirst + 2);
    EXPECT_EQ(w.currentTitle(), "tape3.cas");
    EXPECT_FALSE(w.readOnly());
    EXPECT_TRUE(w.action(kCmdRecentFirst)->text().endsWith("tape3.cas"));
    EXPECT_TRUE(w.action(kCmdRecentFirst + 1)->text().endsWith("tape5.cas"));

    w.Dispatch(kCmdPurgeRecent);
    EXPECT_EQ(w.recentFiles().count(), 0);
    EXPECT_EQ(w.action(kCmdRecentLast)->text(), "Recent File");
    EXPECT_FALSE(w.action(kCmdRecentLast)->isEnabled());
    EXPECT_FALSE(w.action(kCmdPurgeRecent)->isEnabled());
    EXPECT_EQ(w.action(kCmdRecentFirst), nullptr);
}

TEST(Settings, RoundTripThroughTheSettingsFile) {
    AppHarness app;
    const std::string path = app.CopySample("remembered.cas");
    {
        ASSERT_TRUE(app.Start());
        MainWindow& w = app.window();
        w.Dispatch(kCmdApplyLastFont);
        w.Dispatch(kCmdResizeWindow);
        app.dialogs.openAnswers = {Chosen(path, 2)};
        w.Dispatch(kCmdOpen);
        w.show();
        w.setGeometry(40, 50, 600, 400);
        ASSERT_TRUE(w.close());
    }
    {
        QSettings raw(QString::fromStdString(app.SettingsPath()), QSettings::IniFormat);
        EXPECT_EQ(raw.value("Recent File List/File1").toString().toStdString(), path);
        EXPECT_TRUE(raw.contains("Options/Wrc"));
    }
    app.MakeWindow();
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_TRUE(w.settings().applyLastFont);
    EXPECT_TRUE(w.settings().resizeWindow);
    EXPECT_TRUE(w.action(kCmdApplyLastFont)->isChecked());
    EXPECT_EQ(w.settings().linerFilterIndex, 2);
    EXPECT_EQ(w.recentFiles().paths(), std::vector<std::string>{path});
    const WindowRect r = w.settings().windowRect;
    EXPECT_EQ(r.right - r.left, w.width());
    EXPECT_EQ(r.bottom - r.top, w.height());
}

TEST(Settings, ResizeWindowFitsTheWidthAndKeepsTheHeight) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.show();
    w.setGeometry(10, 10, 900, 500);
    w.FitWindowToLiner();  // option off: nothing moves
    EXPECT_EQ(w.width(), 900);
    w.Dispatch(kCmdResizeWindow);
    w.FitWindowToLiner();
    EXPECT_EQ(w.width(), w.view()->FittedWindowWidth());
    EXPECT_EQ(w.height(), 500);
    QTest::qWait(20);
    EXPECT_EQ(w.view()->state().scrollMaxX, 0);
}

TEST(Settings, DateAndTimeSettingsAreLoadedAtStartAndOnALocaleChange) {
    AppHarness app;
    {
        QSettings store(QString::fromStdString(app.SettingsPath()), QSettings::IniFormat);
        store.setValue("intl/sShortDate", "dd.MM.yy");
        store.setValue("intl/s2359", "pm");
    }
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(CurrentDateSettings().sShortDate, "dd.MM.yy");
    EXPECT_EQ(CurrentDateSettings().s2359, "pm");
    {
        QSettings store(QString::fromStdString(app.SettingsPath()), QSettings::IniFormat);
        store.setValue("intl/sShortDate", "yyyy-MM-dd");
    }
    QEvent change(QEvent::LocaleChange);
    QApplication::sendEvent(&app.window(), &change);
    EXPECT_EQ(CurrentDateSettings().sShortDate, "yyyy-MM-dd");
}

TEST(Warnings, TheSongWarningComesBackAfterEveryChangeOfTheSongs) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    std::string songs;
    for (int i = 0; i < 120; ++i) songs += "A song that takes its row\r\n";
    w.liner().songsA = {120, songs};
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto paint = [&] {
        w.view()->viewport()->repaint();
        QTest::qWait(20);
        int count = 0;
        for (const auto& m : app.prompter.shown) count += m.text.rfind("Not all songs will fit on", 0) == 0;
        return count;
    };
    EXPECT_EQ(paint(), 1);
    EXPECT_EQ(paint(), 1);  // once per arming
    w.ArmSongFitWarning();  // as Apply in Songs or a format dialog does
    EXPECT_EQ(paint(), 2);
}

TEST(Warnings, OnlyAChangeOfTheSongsWarnsAndTheAreaThatOverflowsIsMarked) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto paint = [&] {
        w.view()->viewport()->repaint();
        QCoreApplication::processEvents();  // the paint's messages come after it
        int count = 0;
        for (const auto& m : app.prompter.shown) count += m.text == "Not all songs will fit on Side B";
        return count;
    };
    EXPECT_EQ(paint(), 0);
    EXPECT_TRUE(w.view()->overflowMarks().empty());

    std::string songs;
    for (int i = 0; i < 120; ++i) songs += "A song that takes its row\r\n";
    w.liner().songsB = {120, songs};
    ASSERT_TRUE(w.document().Commit("Songs Side B", LinerDocument::kTexts));
    EXPECT_EQ(paint(), 1);
    // The last area of Side B carries a mark that says so.
    ASSERT_EQ(w.view()->overflowMarks().size(), 1u);
    EXPECT_EQ(w.view()->overflowMarks()[0].text, "Not all songs will fit on Side B");

    // A title edit, an Undo and a Redo leave the songs as they were: no
    // warning again, the mark stays.
    w.liner().title = {1, "Another title"};
    ASSERT_TRUE(w.document().Commit("Title Lines", LinerDocument::kTexts));
    EXPECT_EQ(paint(), 1);
    w.document().Undo();
    EXPECT_EQ(paint(), 1);
    w.document().Redo();
    EXPECT_EQ(paint(), 1);
    EXPECT_EQ(w.view()->overflowMarks().size(), 1u);

    // A title too long for its area is marked on the area too.
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += "Title line\r\n";
    w.liner().title = {30, lines};
    ASSERT_TRUE(w.document().Commit("Title Lines", LinerDocument::kTexts));
    paint();
    ASSERT_EQ(w.view()->overflowMarks().size(), 2u);
    EXPECT_EQ(w.view()->overflowMarks()[0].text, "Not all of the title will fit in the title area");

    // Songs that fit again take the marks away.
    w.liner().songsB = {1, "One song"};
    w.liner().title = {1, "Title"};
    ASSERT_TRUE(w.document().Commit("Songs Side B", LinerDocument::kTexts));
    EXPECT_EQ(paint(), 1);
    EXPECT_TRUE(w.view()->overflowMarks().empty());
}

TEST(Start, NoReachableDisplayIsReportedInWordsNotAsACrash) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", ":97");  // no server there
    env.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(env);
    program.start(REELCARD_BIN_DIR "/reelcard", {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);  // not SIGABRT
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(program.readAllStandardError().contains("Reelcard cannot open its window"));
}

TEST(FileCommands, FirstDialogsOpenInTheDocumentsAndShippedFilesAreNeverWritten) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    const QString documents = QString::fromStdString(app.Path("documents"));
    w.Dispatch(kCmdOpen);
    ASSERT_EQ(app.dialogs.openRequests.size(), 1u);
    EXPECT_EQ(app.dialogs.openRequests[0].folder, documents);
    EXPECT_EQ(app.dialogs.openRequests[0].filter.pairs[0].first, "Cassette Files (*.cas)");
    w.Dispatch(kCmdSaveAs);
    ASSERT_EQ(app.dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(app.dialogs.saveRequests[0].folder, documents);
    EXPECT_EQ(app.dialogs.saveRequests[0].filter.defaultExtension, "cas");

    // Format Save As over the shipped default format opens in the user's formats.
    const std::string shipped = app.Path("default.fmt");
    const auto original = ReadBytes(shipped);
    w.liner().width = *ParseMeasurement("3 in", false, kUnitInches);
    app.dialogs.saveAnswers = {Chosen(shipped)};
    w.Dispatch(kCmdFormatSaveAs);
    ASSERT_EQ(app.dialogs.saveRequests.size(), 2u);
    EXPECT_EQ(app.dialogs.saveRequests[1].folder, QString::fromStdString(app.Path("formats-of-the-user")));
    EXPECT_TRUE(QFileInfo(app.dialogs.saveRequests[1].folder).isDir());
    // Chosen all the same: refused.
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_EQ(app.prompter.shown[0].text, "This file is read-only");
    EXPECT_EQ(ReadBytes(shipped), original);
    EXPECT_EQ(w.settings().defaultFormatName, "default.fmt");

    // A shipped sample saves as a read-only file does: Save As, in the documents.
    QDir().mkpath(QString::fromStdString(app.Path("samples")));
    const std::string sample = app.CopySample("samples/mixtape.cas");
    const auto sampleBytes = ReadBytes(sample);
    app.dialogs.openAnswers = {Chosen(sample)};
    w.Dispatch(kCmdOpen);
    ASSERT_EQ(w.currentPath().toStdString(), sample);
    w.SetModified(true);
    app.prompter.shown.clear();
    EXPECT_EQ(w.Dispatch(kCmdSave), 0);  // Save As cancelled
    ASSERT_EQ(app.prompter.shown.size(), 1u);
    EXPECT_EQ(app.prompter.shown[0].text, "This file is read-only");
    ASSERT_EQ(app.dialogs.saveRequests.size(), 3u);
    EXPECT_EQ(app.dialogs.saveRequests[2].folder, documents);
    EXPECT_EQ(app.dialogs.saveRequests[2].fileName, "mixtape.cas");
    EXPECT_EQ(ReadBytes(sample), sampleBytes);
    EXPECT_TRUE(w.modified());
}

TEST(ProgramCommandLine, HelpAndVersionNeedNoWindowSystem) {
    // With no display to reach, making the application object would fail.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    auto run = [&](const QString& argument) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(REELCARD_BIN_DIR "/reelcard"), {argument});
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    EXPECT_TRUE(run("--help").startsWith("usage: reelcard [FILE]\n"));
    EXPECT_TRUE(run("-h").startsWith("usage: reelcard [FILE]\n"));
    EXPECT_EQ(run("--version"), QString("reelcard %1\n").arg(ProgramVersion()));
}

}  // namespace
