// Copies of unsaved changes: written while the liner is changed, left behind
// by a program that was killed, offered at the next start, removed after a
// save; a damaged copy is refused and kept; a running program's copy is never
// offered to another.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/commands.h"
#include "app_test_support.h"
#include "document/liner_file.h"
#include "document/recovery.h"

namespace {

std::string Folder(AppHarness& app) { return app.Path("recovery"); }

QStringList Copies(AppHarness& app, const char* pattern = "*.cas") {
    return QDir(QString::fromStdString(Folder(app))).entryList({pattern}, QDir::Files);
}

// A program of its own that arms a copy of `liner` (and writes it unless it
// is to crash), then ends: killed by the test, or by the crash it causes.
pid_t ChildWithCopy(const std::string& folder, const Liner& liner, const QString& original, int crash) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        RecoveryCopies copies(folder);
        if (crash) RecoveryCopies::InstallCrashHandler();
        copies.Arm(liner, original);
        if (crash) raise(crash);
        copies.Write();
        const char done = 1;
        (void)!write(ready[1], &done, 1);
        for (;;) pause();
    }
    close(ready[1]);
    if (!crash) {
        char done = 0;
        (void)!read(ready[0], &done, 1);
        kill(child, SIGKILL);
    }
    close(ready[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST(Recovery, AKilledProgramsChangesAreOfferedRecoveredAndGoneAfterASave) {
    AppHarness app;
    const std::string named = app.CopySample("mix.cas");
    Liner changed;
    ASSERT_TRUE(ReadLinerFile(changed, named, true, app.prompter));
    changed.title = {1, "Changed before the crash"};
    ASSERT_GT(ChildWithCopy(Folder(app), changed, QString::fromStdString(named), 0), 0);
    ASSERT_EQ(Copies(app).size(), 1);

    app.prompter.recoverAnswers = {RecoveryChoice::Recover};
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();  // the offer comes once the window shows
    MainWindow& w = app.window();
    ASSERT_EQ(app.prompter.recoverTexts.size(), 1u);
    EXPECT_EQ(app.prompter.recoverTexts[0],
              "Reelcard closed unexpectedly. Recover the unsaved changes to 'mix.cas'?");
    EXPECT_EQ(w.liner().title.text, "Changed before the crash");
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(w.currentPath().toStdString(), named);
    // The recovered changes are this run's own copy now.
    EXPECT_EQ(Copies(app), QStringList{QFileInfo(QString::fromStdString(w.recovery().copyPath())).fileName()});

    ASSERT_EQ(w.Dispatch(kCmdSave), 1);
    EXPECT_TRUE(Copies(app).isEmpty());
    Liner saved;
    ASSERT_TRUE(ReadLinerFile(saved, named, true, app.prompter));
    EXPECT_EQ(saved.title.text, "Changed before the crash");
}

TEST(Recovery, ACrashWritesTheLatestChangesAndLaterKeepsThemForTheNextStart) {
    AppHarness app;
    Liner changed;
    changed.title = {1, "Armed, never written"};
    EnsureStandardFonts(changed);
    ChildWithCopy(Folder(app), changed, {}, SIGSEGV);
    ASSERT_EQ(Copies(app).size(), 1);

    app.prompter.recoverAnswers = {RecoveryChoice::Later};
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();
    ASSERT_EQ(app.prompter.recoverTexts.size(), 1u);
    EXPECT_NE(app.prompter.recoverTexts[0].find("'(untitled)'"), std::string::npos);
    EXPECT_FALSE(app.window().modified());
    EXPECT_EQ(Copies(app).size(), 1);  // Later: still there

    // Next start: Discard.
    app.prompter.recoverAnswers = {RecoveryChoice::Discard};
    app.MakeWindow();
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();
    EXPECT_EQ(app.prompter.recoverTexts.size(), 2u);
    EXPECT_TRUE(Copies(app).isEmpty());
}

TEST(Recovery, ADamagedCopyIsRefusedAndKeptAndARunningProgramsCopyIsNotOffered) {
    AppHarness app;
    QDir().mkpath(QString::fromStdString(Folder(app)));
    WriteBytes(Folder(app) + "/reelcard-2999999-1.cas", {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'e', 'r'});
    // Another program that runs holds the lock of its copy.
    Liner other;
    EnsureStandardFonts(other);
    WriteBytes(Folder(app) + "/reelcard-2999998-1.cas", *SerializeLiner(other, FileKind::Liner));
    QLockFile running(QString::fromStdString(Folder(app) + "/reelcard-2999998-1.lock"));
    ASSERT_TRUE(running.tryLock(0));

    app.prompter.recoverAnswers = {RecoveryChoice::Recover};
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();
    ASSERT_EQ(app.prompter.recoverTexts.size(), 1u);  // the damaged one only
    ASSERT_EQ(app.prompter.shown.size(), 1u);         // the usual message
    EXPECT_FALSE(app.window().modified());
    const QStringList kept = Copies(app, "damaged-*.cas");
    EXPECT_EQ(kept.size(), 1);
    EXPECT_EQ(Copies(app, "reelcard-*.cas"), QStringList{"reelcard-2999998-1.cas"});

    // The kept copy is not offered again.
    app.MakeWindow();
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();
    EXPECT_EQ(app.prompter.recoverTexts.size(), 1u);
}

TEST(Recovery, ACopyIsWrittenWhileChangedAndRemovedByASaveOrACleanExit) {
    AppHarness app;
    const std::string named = app.CopySample("mix.cas");
    ASSERT_TRUE(app.Start(QString::fromStdString(named)));
    MainWindow& w = app.window();
    w.WriteRecoveryCopy();
    EXPECT_TRUE(Copies(app).isEmpty());  // nothing changed

    w.liner().title = {1, "Changed"};
    w.document().Commit("Change", LinerDocument::kTexts);
    w.WriteRecoveryCopy();
    ASSERT_EQ(Copies(app).size(), 1);
    Liner copy;
    ASSERT_TRUE(ReadLinerFile(copy, w.recovery().copyPath(), true, app.prompter));
    EXPECT_EQ(copy.title.text, "Changed");

    // Undoing back to the saved state leaves nothing to recover.
    w.Dispatch(kCmdUndo);
    EXPECT_TRUE(Copies(app).isEmpty());
    w.Dispatch(kCmdRedo);
    w.WriteRecoveryCopy();
    ASSERT_EQ(Copies(app).size(), 1);
    app.prompter.answers = {MessageResult::No};
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(Copies(app).isEmpty());
}

}  // namespace
