// Copies of unsaved changes: written while the liner is changed, left behind
// by a program that was killed, offered at the next start, removed after a
// save; a damaged copy is refused and kept; a running program's copy is never
// offered to another.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/commands.h"
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

// What a program of its own that runs `body` with the crash handler
// installed wrote on standard error, and how it ended.
volatile int g_depthLimit = 0;  // 0: none
int RunOutOfStack(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (g_depthLimit != 0 && depth >= g_depthLimit) return 0;
    return RunOutOfStack(depth + 1) + frame[0];
}

struct Ending {
    int status = 0;
    std::string stderrText;
};
Ending RunWithCrashHandler(const std::function<void()>& body) {
    int err[2];
    if (pipe(err) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(err[0]);
        dup2(err[1], STDERR_FILENO);
        qInstallMessageHandler(nullptr);  // Qt's own: to standard error
        RecoveryCopies::InstallCrashHandler();
        body();
        _exit(0);
    }
    close(err[1]);
    Ending ending;
    char buffer[512];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        ending.stderrText.append(buffer, static_cast<size_t>(n));
    }
    close(err[0]);
    waitpid(child, &ending.status, 0);
    return ending;
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
    // The damaged copy is set aside unoffered; the running program's is left alone.
    EXPECT_TRUE(app.prompter.recoverTexts.empty());
    EXPECT_TRUE(app.prompter.shown.empty());
    EXPECT_FALSE(app.window().modified());
    const QStringList kept = Copies(app, "damaged-*.cas");
    EXPECT_EQ(kept.size(), 1);
    EXPECT_EQ(Copies(app, "reelcard-*.cas"), QStringList{"reelcard-2999998-1.cas"});

    // The kept copy is not offered later either.
    app.MakeWindow();
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.prompter.recoverTexts.empty());
}

TEST(Recovery, OnlyWholeCopiesInPlainFilesAreReadTheRestIsSetAsideAndNothingWaits) {
    TempFolder dir;
    const std::string folder = dir.Path("recovery");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    auto at = [&](const char* name) { return folder + "/" + name; };
    // A pipe, a link to an endless device, and random bytes that read as the
    // earlier generation's liner file.
    ASSERT_EQ(mkfifo(at("reelcard-2999990-1.cas").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", at("reelcard-2999991-1.cas").c_str()), 0);
    std::vector<uint8_t> noise(100 * 1024);
    uint32_t state = 12345;
    for (uint8_t& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    noise[0] = 2, noise[1] = 0;  // an older major version
    WriteBytes(at("reelcard-2999992-1.cas"), noise);
    // A whole copy whose note of the original file is a pipe.
    Liner liner;
    EnsureStandardFonts(liner);
    WriteBytes(at("reelcard-2999993-1.cas"), *SerializeLiner(liner, FileKind::Liner));
    ASSERT_EQ(mkfifo(at("reelcard-2999993-1.path").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", at("reelcard-2999994-1.path").c_str()), 0);
    WriteBytes(at("reelcard-2999994-1.cas"), *SerializeLiner(liner, FileKind::Liner));

    RecoveryCopies copies(folder);
    const std::vector<RecoveryCopies::Left> left = copies.LeftBehind();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].copyPath, at("reelcard-2999993-1.cas"));
    EXPECT_EQ(left[1].copyPath, at("reelcard-2999994-1.cas"));
    EXPECT_TRUE(left[0].originalPath.isEmpty());
    EXPECT_TRUE(left[1].originalPath.isEmpty());
    const QStringList aside =
        QDir(QString::fromStdString(folder)).entryList({"damaged-*.cas"}, QDir::Files | QDir::System);
    EXPECT_EQ(aside.size(), 3) << aside.join(' ').toStdString();
    // Set aside as they are: the device stays a device, nothing was written into it.
    struct stat st;
    EXPECT_EQ(stat("/dev/zero", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(Recovery, ACopyOnAFullDiskWhoseLockCannotBeMadeIsStillOffered) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root (in a private mount namespace)";
    TempFolder dir;
    const std::string folder = dir.Path("full");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("reelcard-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,nr_inodes=16,mode=0700") !=
                0) {
            _exit(77);
        }
        Liner liner;
        EnsureStandardFonts(liner);
        WriteBytes(folder + "/reelcard-2999995-1.cas", *SerializeLiner(liner, FileKind::Liner));
        // Full to the last byte, and no room for another file either.
        std::vector<char> block(4096, 'x');
        const int filler = open((folder + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        for (size_t size = block.size(); filler >= 0 && size > 0;) {
            if (write(filler, block.data(), size) < 0) size /= 2;
        }
        for (int i = 0; i < 64; ++i) {
            const int fd = open((folder + "/f" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT, 0600);
            if (fd < 0) break;
            close(fd);
        }
        RecoveryCopies copies(folder);
        const auto left = copies.LeftBehind();
        _exit(left.size() == 1 && left[0].copyPath == folder + "/reelcard-2999995-1.cas" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private tmpfs here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
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

TEST(Recovery, AnEndBySignalIsToldOnStandardErrorAndAClosedPipeEndsNothing) {
    TempFolder dir;
    // A write into a pipe nobody reads any more fails; the program goes on.
    const Ending piped = RunWithCrashHandler([] {
        int fds[2];
        if (pipe(fds) != 0) _exit(2);
        close(fds[0]);
        const bool refused = write(fds[1], "x", 1) < 0 && errno == EPIPE;
        _exit(refused ? 0 : 3);
    });
    ASSERT_TRUE(WIFEXITED(piped.status)) << "ended by signal " << WTERMSIG(piped.status);
    EXPECT_EQ(WEXITSTATUS(piped.status), 0);
    EXPECT_EQ(piped.stderrText, "");

    // A crash says which signal ended the program and where the changes went.
    const std::string folder = dir.Path("recovery");
    const Ending crashed = RunWithCrashHandler([&folder] {
        RecoveryCopies copies(folder);
        Liner liner;
        EnsureStandardFonts(liner);
        copies.Arm(liner, {});
        raise(SIGSEGV);
    });
    ASSERT_TRUE(WIFSIGNALED(crashed.status));
    EXPECT_EQ(WTERMSIG(crashed.status), SIGSEGV);
    const QStringList kept = QDir(QString::fromStdString(folder)).entryList({"reelcard-*.cas"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(crashed.stderrText, "reelcard: ended by signal 11 (SIGSEGV, a segmentation fault)\n"
                                  "reelcard: the unsaved changes were kept in " +
                                      QDir(QString::fromStdString(folder)).filePath(kept[0]).toStdString() + "\n");

    // A stack that ran out still has its end told.
    const Ending overflowed = RunWithCrashHandler([] { RunOutOfStack(0); });
    ASSERT_TRUE(WIFSIGNALED(overflowed.status));
    EXPECT_EQ(WTERMSIG(overflowed.status), SIGSEGV);
    EXPECT_EQ(overflowed.stderrText, "reelcard: ended by signal 11 (SIGSEGV, a segmentation fault)\n");

    // Qt's own last words come first, then the signal they end with.
    const Ending fatal = RunWithCrashHandler([] { qFatal("The window system went away"); });
    ASSERT_TRUE(WIFSIGNALED(fatal.status));
    EXPECT_EQ(WTERMSIG(fatal.status), SIGABRT);
    EXPECT_EQ(fatal.stderrText, "The window system went away\nreelcard: ended by signal 6 (SIGABRT, an abort)\n");
}

TEST(Recovery, ARequestToEndFromOutsideKeepsTheChangesAndTheRecentFilesAndLeavesNoLock) {
    AppHarness app;
    const std::string named = app.CopySample("mix.cas");
    QFile::copy(REELCARD_BIN_DIR "/samples/cassette.bmp", QString::fromStdString(app.Path("cassette.bmp")));
    ASSERT_TRUE(app.Start(QString::fromStdString(named)));
    MainWindow& w = app.window();
    w.show();
    w.liner().title = {1, "Changed before the terminal closed"};
    w.document().Commit("Change", LinerDocument::kTexts);
    ASSERT_EQ(Copies(app, "*.lock").size(), 1);

    RecoveryCopies::EndInOrderOn(&w, [&w](int signal) { w.EndOnRequest(signal); });
    QObject guard;
    QTimer::singleShot(0, &guard, [] { raise(SIGHUP); });
    QTimer::singleShot(60000, &guard, [] { QCoreApplication::exit(-1); });
    const int status = QCoreApplication::exec();
    RecoveryCopies::EndInOrderOn(nullptr, {});

    EXPECT_EQ(status, 128 + SIGHUP);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(app.prompter.shown.empty());  // nothing asked
    // The changes wait for the next start, the lock is gone, the recent files are kept.
    ASSERT_EQ(Copies(app).size(), 1);
    EXPECT_TRUE(Copies(app, "*.lock").isEmpty());
    Liner kept;
    ASSERT_TRUE(ReadLinerFile(kept, Folder(app) + "/" + Copies(app)[0].toStdString(), true, app.prompter));
    EXPECT_EQ(kept.title.text, "Changed before the terminal closed");
    QSettings settings(QString::fromStdString(app.SettingsPath()), QSettings::IniFormat);
    EXPECT_EQ(settings.value("Recent File List/File1").toString().toStdString(), named);

    app.prompter.recoverAnswers = {RecoveryChoice::Recover};
    app.MakeWindow();
    ASSERT_TRUE(app.Start());
    QCoreApplication::processEvents();
    EXPECT_EQ(app.window().liner().title.text, "Changed before the terminal closed");
}

}  // namespace
