// reelcard-cli's album lookups against the tests' stand-in server: the
// command runs as its own process while this one serves its requests.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "document/liner_file.h"
#include "render/geometry.h"
#include "songs/music_server.h"
#include "support/test_support.h"

namespace {

using songs_test::Answer;

const QByteArray kRelease = "8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11";
const QByteArray kReleaseJson = R"({"id":"8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11","title":"Night Drive",
 "date":"1987-03-02","country":"GB","artist-credit":[{"name":"Ana","joinphrase":" & "},{"name":"Bo"}],
 "media":[{"position":1,"format":"CD","discs":[{"id":"49HHV7Eb8UKF3aQiNmu1GR8vKTY-"}],"tracks":[
   {"position":1,"title":"Headlights","length":600000},{"position":2,"title":"Tunnel","length":null},
   {"position":3,"title":"Dawn","length":540000}]},
  {"position":2,"format":"CD","tracks":[{"position":1,"title":"Exit","length":300000}]}]})";
const QByteArray kOtherJson = R"({"id":"0c1e2d3f-4a5b-4c6d-8e7f-9a0b1c2d3e4f","title":"Night Drive",
 "country":"US","date":"1988","artist-credit":[{"name":"Ana"}],"media":[{"position":1,"tracks":[]}]})";

struct CliRun {
    int status = -1;
    std::string out, err;
};

struct CliAlbum : ::testing::Test {
    bool application = (songs_test::EnsureApplication(), true);
    songs_test::MusicServer server;
    QTemporaryDir cache;
    TempFolder dir;

    // Runs the command while this process goes on answering its requests.
    CliRun Run(const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("REELCARD_MUSICBRAINZ_URL", QString::fromLatin1(server.Url()));
        env.insert("REELCARD_COVERART_URL", QString::fromLatin1(server.Url()) + "/caa");
        env.insert("XDG_CACHE_HOME", cache.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(REELCARD_BIN_DIR "/reelcard-cli"), args);
        CliRun run;
        if (!songs_test::RunUntil([&] { return process.state() == QProcess::NotRunning; }, 60000)) return run;
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

QByteArray Png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray FileBytes(const std::string& path) {
    QFile f(Q(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The one picture of the liner: the cover file, fitted into the title area.
// The cover fitted into `area` (the title area unless given): a 2:1 picture
// as high as a low area, as wide as a tall one.
void ExpectCoverIn(const Liner& liner, const std::string& name, std::optional<DepthSpan> area = {}) {
    ASSERT_EQ(liner.pictures.size(), 1u);
    const Picture& p = liner.pictures[0];
    EXPECT_EQ(p.fileName, name);
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const DepthSpan span = area.value_or(TitleSpan(g));
    EXPECT_GE(-p.top.twips, span.top);
    EXPECT_LE(-p.top.twips - p.height.twips, span.bottom + 1);
    if (span.height() * 2 <= g.width) {
        EXPECT_NEAR(-p.height.twips, span.height(), 2);
    } else {
        EXPECT_NEAR(p.width.twips, g.width, 2);
    }
    EXPECT_NEAR(p.width.twips, 2 * -p.height.twips, 4);
}

}  // namespace

// A search printed one release a line; a liner from a release address and
// from a disc's table of contents (the disc of the release that has it).
TEST_F(CliAlbum, LookupReleaseAndDiscToc) {
    server.On("/ws/2/release?query=Ana%20Night%20Drive&fmt=json",
              Answer{200, "{\"releases\":[" + kReleaseJson + "," + kOtherJson + "]}"});
    server.On("/ws/2/release/" + kRelease + "?inc=recordings+artist-credits&fmt=json", Answer{200, kReleaseJson});
    server.On("/ws/2/discid/49HHV7Eb8UKF3aQiNmu1GR8vKTY-?inc=recordings+artist-credits&fmt=json"
              "&toc=1+6+95462+150+15363+32314+46592+63414+80489",
              Answer{200, "{\"releases\":[" + kOtherJson + "," + kReleaseJson + "]}"});
    const QByteArray cover = Png(200, 100);
    server.On("/caa/release/" + kRelease + "/front-500",
              Answer{307, {}, "Location: " + server.Url() + "/images/front.png\r\n"});
    server.On("/images/front.png", Answer{200, cover});
    ASSERT_TRUE(server.ok());

    CliRun run = Run({"lookup", "Ana Night Drive"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11\tAna & Bo\tNight Drive\t1987\tGB\t2×CD\t4\n"
              "0c1e2d3f-4a5b-4c6d-8e7f-9a0b1c2d3e4f\tAna\tNight Drive\t1988\tUS\t(unknown)\t0\n");

    const QString format = QStringLiteral(REELCARD_BIN_DIR "/default.fmt");
    const std::string out = dir.Path("night.cas");
    run = Run({"songs", format, "-o", Q(out), "--tape", "C46", "--release",
               "https://musicbrainz.org/release/" + QString::fromLatin1(kRelease)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Side A: 2 songs, 10:00 of 23:00\nSide B: 2 songs, 14:00 of 23:00\n");
    Liner liner;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadLinerFile(liner, out, true, prompter));
    EXPECT_EQ(liner.songsA.text, "Headlights\xBB" "10:00\r\nTunnel");
    EXPECT_EQ(liner.songsB.text, "Dawn\xBB" "9:00\r\nExit\xBB" "5:00");
    EXPECT_NE(liner.title.text.find("Night Drive"), std::string::npos) << liner.title.text;
    EXPECT_NE(liner.title.text.find("Ana & Bo"), std::string::npos) << liner.title.text;
    EXPECT_EQ(FileBytes(dir.Path("night-cover.png")), cover);
    ExpectCoverIn(liner, "night-cover.png");

    // From the table of contents: only the disc that has it, lengths the
    // answer lacks from the disc itself, the other release named.
    run = Run({"songs", format, "-o", Q(out), "--disc-toc", "1 6 95462 150 15363 32314 46592 63414 80489"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("0c1e2d3f-4a5b-4c6d-8e7f-9a0b1c2d3e4f"), std::string::npos) << run.err;
    ASSERT_TRUE(ReadLinerFile(liner, out, true, prompter));
    EXPECT_EQ(liner.songsA.text, "Headlights\xBB" "10:00");
    EXPECT_EQ(liner.songsB.text, "Tunnel\xBB" "3:46\r\nDawn\xBB" "9:00");
    // The same cover again: the same file, still one picture.
    ExpectCoverIn(liner, "night-cover.png");
    EXPECT_FALSE(QFile::exists(Q(dir.Path("night-cover-2.png"))));
}

// Songs of audio files take the image beside them; --no-cover leaves it.
TEST_F(CliAlbum, CoverBesideTheFiles) {
    QDir(Q(dir.Path(""))).mkpath("album");
    const QByteArray cover = Png(300, 150);
    QFile image(Q(dir.Path("album/Cover.png")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(cover);
    image.close();
    QFile list(Q(dir.Path("album/list.m3u")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("#EXTINF:100,One\none.mp3\n");
    list.close();
    // The playlist names a file that is not there: its folder still counts.
    const QString format = QStringLiteral(REELCARD_BIN_DIR "/default.fmt");
    ASSERT_TRUE(QDir().mkpath(Q(dir.Path("out"))));
    CliRun run = Run({"songs", format, "-o", Q(dir.Path("out/tape.cas")), Q(dir.Path("album/list.m3u"))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FileBytes(dir.Path("out/tape-cover.png")), cover);
    Liner liner;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadLinerFile(liner, dir.Path("out/tape.cas"), true, prompter));
    ExpectCoverIn(liner, "tape-cover.png");

    // A four-panel card whose songs stay on the front: the overflow panel
    // they leave free takes the cover.
    run = Run({"songs", QStringLiteral(REELCARD_BIN_DIR "/formats/four-panel.fmt"), "-o", Q(dir.Path("out/four.cas")),
               Q(dir.Path("album/list.m3u"))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("placed in the overflow panel 1"), std::string::npos) << run.err;
    ASSERT_TRUE(ReadLinerFile(liner, dir.Path("out/four.cas"), true, prompter));
    ExpectCoverIn(liner, "four-cover.png", OverflowSpan(ComputeLinerGeometry(liner), 0));

    run = Run({"songs", format, "-o", Q(dir.Path("out/plain.cas")), "--no-cover", Q(dir.Path("album/list.m3u"))});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(ReadLinerFile(liner, dir.Path("out/plain.cas"), true, prompter));
    EXPECT_TRUE(liner.pictures.empty());
    EXPECT_FALSE(QFile::exists(Q(dir.Path("out/plain-cover.png"))));
}

// A malformed id or table is refused before anything is asked (2); a
// release that is not there, a disc nobody knows and a missing drive fail
// (1) and leave the output as it was.
TEST_F(CliAlbum, FailuresLeaveTheOutput) {
    ASSERT_TRUE(server.ok());
    const QString format = QStringLiteral(REELCARD_BIN_DIR "/default.fmt");
    const std::string out = dir.Path("kept.cas");
    WriteBytes(out, {'k', 'e', 'p', 't'});
    for (const QStringList& bad : {QStringList{"--release", "8f8d6a9a"}, QStringList{"--disc-toc", "1 2 3"},
                                   QStringList{"--release", QString::fromLatin1(kRelease), "--cd"}}) {
        const CliRun run = Run(QStringList{"songs", format, "-o", Q(out)} + bad);
        EXPECT_EQ(run.status, 2) << bad.join(' ').toStdString();
    }
    EXPECT_TRUE(server.requests.empty());

    CliRun run = Run({"songs", format, "-o", Q(out), "--release", QString::fromLatin1(kRelease)});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("404"), std::string::npos) << run.err;
    run = Run({"songs", format, "-o", Q(out), "--disc-toc", "1 6 95462 150 15363 32314 46592 63414 80489"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no release with the disc id 49HHV7Eb8UKF3aQiNmu1GR8vKTY-"), std::string::npos) << run.err;
    run = Run({"songs", format, "-o", Q(out), "--cd", "/dev/no-such-drive"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no CD drive /dev/no-such-drive"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{'k', 'e', 'p', 't'}));
}
