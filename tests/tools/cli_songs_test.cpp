#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "document/liner_file.h"
#include "support/test_support.h"

namespace {

struct SongsRun {
    int status = -1;
    std::string out, err;
};

SongsRun Songs(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(REELCARD_BIN_DIR "/reelcard-cli"), QStringList{"songs"} + args);
    process.closeWriteChannel();
    SongsRun run;
    if (!process.waitForFinished(30000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void Write(const std::string& path, const QByteArray& text) {
    QFile f(Q(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(CliSongs, SplitsWritesAndCounts) {
    TempFolder dir;
    const QString format = QStringLiteral(REELCARD_BIN_DIR "/default.fmt");
    const std::string out = dir.Path("out.cas");
    Write(dir.Path("a.txt"), "One 10:00\nTwo 10:00\n");
    Write(dir.Path("b.m3u"), "#EXTINF:600,Three\nthree.mp3\n#EXTINF:600,Four\nfour.mp3\n");

    // Balanced on a C46; the sources in the order given.
    SongsRun run = Songs({format, "-o", Q(out), "--tape", "C46", "--numbers", "--fit",
                          Q(dir.Path("a.txt")), Q(dir.Path("b.m3u"))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Side A: 2 songs, 20:00 of 23:00\nSide B: 2 songs, 20:00 of 23:00\n");
    // The two missing files are named with their lines.
    EXPECT_NE(run.err.find("b.m3u, line 2: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("b.m3u, line 4: "), std::string::npos) << run.err;
    Liner liner;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadLinerFile(liner, out, true, prompter));
    EXPECT_EQ(liner.songsA.lineCount, 2);
    EXPECT_EQ(liner.songsA.text,
              "1. One\xBB"
              "10:00\r\n2. Two\xBB"
              "10:00");
    EXPECT_EQ(liner.songsB.text,
              "3. Three\xBB"
              "10:00\r\n4. Four\xBB"
              "10:00");

    // Fill Side A first on a C60, into the liner just written; no tape
    // gives the totals alone.
    run = Songs({Q(out), "-o", Q(out), "--tape", "C60", "--fill-a", Q(dir.Path("a.txt")),
                 Q(dir.Path("a.txt"))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Side A: 3 songs, 30:00 of 30:00\nSide B: 1 song, 10:00 of 30:00\n");
    run = Songs({Q(out), "-o", Q(out), Q(dir.Path("a.txt"))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Side A: 1 song, 10:00\nSide B: 1 song, 10:00\n");
}

TEST(CliSongs, ExitStatuses) {
    TempFolder dir;
    const QString format = QStringLiteral(REELCARD_BIN_DIR "/default.fmt");
    const std::string out = dir.Path("out.cas");
    Write(dir.Path("a.txt"), "One 10:00\n");
    Write(dir.Path("bad.pls"), "[playlist]\nnonsense\n");

    SongsRun run = Songs({format, "-o", Q(out), Q(dir.Path("a.txt")), Q(dir.Path("bad.pls"))});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad.pls, line 2: "), std::string::npos) << run.err;
    EXPECT_FALSE(QFileInfo::exists(Q(out)));
    EXPECT_EQ(Songs({format, "-o", Q(out), Q(dir.Path("nothing.m3u"))}).status, 1);

    // Each usage error names what is wrong in one line, without the usage.
    const std::pair<QStringList, std::string> usage[] = {
        {{format, Q(dir.Path("a.txt"))}, "songs needs -o OUT"},
        {{format, "-o", Q(out)}, "no SOURCE given"},
        {{format, "-o", Q(out), "--tape", "C75", Q(dir.Path("a.txt"))},
         "--tape must be C46, C60, C90, C100, C120 or a number of minutes"},
        {{format, "-o", Q(out), "--tape", "0", Q(dir.Path("a.txt"))},
         "--tape must be C46, C60, C90, C100, C120 or a number of minutes"},
        {{format, "-o", Q(out), "--fill-a", Q(dir.Path("a.txt"))}, "--fill-a needs --tape"},
        {{format, "-o", Q(out), "--shuffle", Q(dir.Path("a.txt"))}, "unknown option '--shuffle'"},
    };
    for (const auto& [args, line] : usage) {
        SCOPED_TRACE(args.join(' ').toStdString());
        run = Songs(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "reelcard-cli: " + line + "\nTry 'reelcard-cli --help' for more information.\n");
    }
    EXPECT_FALSE(QFileInfo::exists(Q(out)));
}

}  // namespace
