#include "songs/track_list.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <future>
#include <memory>
#include <thread>

#include "fuzz/track_list_fuzz.h"
#include "songs/song_rows.h"
#include "songs/songs_test_support.h"
#include "support/test_support.h"

using namespace songs_test;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class TrackListTest : public ::testing::Test {
protected:
    QString Path(const std::string& name) const { return Q(dir_.Path(name)); }

    // a.wav: tagged, 3:12; sub/b.wav: no tags, 1:05.
    void MakeAudio() {
        QDir().mkpath(Path("sub"));
        WriteWav(Path("a.wav"), 192);
        ASSERT_TRUE(WriteTags(Path("a.wav"), {"Tagged One", "Band", "Record", 1, ""}));
        WriteWav(Path("sub/b.wav"), 65);
    }

    std::optional<TrackImport> Read(const QStringList& sources) {
        return ReadTrackSources(sources, &error_);
    }

    // The same on a thread of its own: a read that hangs fails the test
    // instead of stopping the suite (the thread is left to itself then).
    std::optional<TrackImport> ReadWithin(const QStringList& sources, int seconds = 60) {
        struct Job {
            QStringList sources;
            TrackListError error;
            std::optional<TrackImport> result;
        };
        auto job = std::make_shared<Job>();
        job->sources = sources;
        std::promise<void> done;
        std::future<void> finished = done.get_future();
        std::thread([job, done = std::move(done)]() mutable {
            job->result = ReadTrackSources(job->sources, &job->error);
            done.set_value();
        }).detach();
        if (finished.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
            ADD_FAILURE() << "the reading of " << sources.join(", ").toStdString() << " hangs";
            return std::nullopt;
        }
        error_ = job->error;
        return job->result;
    }

    TempFolder dir_;
    TrackListError error_;
};

TEST_F(TrackListTest, M3uTakesExtinfFirstAndTheFileForWhatItLacks) {
    MakeAudio();
    WriteText(Path("list.m3u8"),
              "#EXTM3U\n"
              "#EXTINF:200,Artist X - Given Title\n"
              "a.wav\n"
              "sub/b.wav\n" +
                  Path("a.wav").toUtf8() +
                  "\n"
                  "#EXTINF:-1,Lost Song\n"
                  "missing.mp3\n"
                  "#EXTINF:61 tvg-name=\"x,y\",Comma, in title\n"
                  "http://radio.example/stream\n");
    const auto import = Read({Path("list.m3u8")});
    ASSERT_TRUE(import) << error_.Message().toStdString();
    ASSERT_EQ(import->tracks.size(), 5u);
    const auto& t = import->tracks;
    // EXTINF wins over the tags; the file gives only what EXTINF lacks.
    EXPECT_EQ(t[0].title, "Given Title");
    EXPECT_EQ(t[0].artist, "Artist X");
    EXPECT_EQ(t[0].seconds, 200);
    EXPECT_EQ(t[0].album, "Record");
    // Relative path without tags: the file's name and its length.
    EXPECT_EQ(t[1].title, "b");
    EXPECT_EQ(t[1].seconds, 65);
    // Absolute path: everything from the tags.
    EXPECT_EQ(t[2].title, "Tagged One");
    EXPECT_EQ(t[2].artist, "Band");
    EXPECT_EQ(t[2].seconds, 192);
    // Missing: imported by name, listed with its line.
    EXPECT_EQ(t[3].title, "Lost Song");
    EXPECT_EQ(t[3].seconds, -1);
    ASSERT_EQ(import->missing.size(), 1u);
    EXPECT_EQ(import->missing[0].line, 7);
    EXPECT_TRUE(import->missing[0].file.endsWith("missing.mp3"));
    // Attributes before the comma; a stream is no file.
    EXPECT_EQ(t[4].title, "Comma, in title");
    EXPECT_EQ(t[4].seconds, 61);
    EXPECT_EQ(import->UnknownLengths(), 1);
}

TEST_F(TrackListTest, PlsXspfAndCueSheets) {
    MakeAudio();
    WriteText(Path("list.pls"),
              "[playlist]\nFile2=gone.wav\nTitle2=Gone\nLength2=-1\n"
              "File1=a.wav\nLength1=-1\nNumberOfEntries=2\nVersion=2\n");
    auto pls = Read({Path("list.pls")});
    ASSERT_TRUE(pls) << error_.Message().toStdString();
    ASSERT_EQ(pls->tracks.size(), 2u);
    EXPECT_EQ(pls->tracks[0].title, "Tagged One");
    EXPECT_EQ(pls->tracks[0].seconds, 192);
    EXPECT_EQ(pls->tracks[1].title, "Gone");
    ASSERT_EQ(pls->missing.size(), 1u);
    EXPECT_EQ(pls->missing[0].line, 2);

    const QByteArray absolute = QUrl::fromLocalFile(Path("sub/b.wav")).toEncoded();
    WriteText(Path("list.xspf"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
              "  <title>Summer Tape</title><creator>Me</creator>\n"
              "  <trackList>\n"
              "    <track><location>a.wav</location><title>First</title><creator>Ann</creator>"
              "<duration>61400</duration></track>\n"
              "    <track><location>" +
                  absolute +
                  "</location></track>\n"
                  "  </trackList>\n</playlist>\n");
    auto xspf = Read({Path("list.xspf")});
    ASSERT_TRUE(xspf) << error_.Message().toStdString();
    ASSERT_EQ(xspf->tracks.size(), 2u);
    EXPECT_EQ(xspf->tracks[0].title, "First");
    EXPECT_EQ(xspf->tracks[0].artist, "Ann");
    EXPECT_EQ(xspf->tracks[0].seconds, 61);
    EXPECT_EQ(xspf->tracks[1].title, "b");
    EXPECT_EQ(xspf->tracks[1].seconds, 65);
    EXPECT_EQ(xspf->album, "Summer Tape");
    EXPECT_EQ(xspf->albumArtist, "Me");

    // Lengths from consecutive INDEX 01 times; the last from the file.
    WriteWav(Path("whole.wav"), 420);
    WriteText(Path("disc.cue"),
              "REM GENRE Rock\n"
              "PERFORMER \"The Band\"\n"
              "TITLE \"The Album\"\n"
              "FILE \"whole.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"One\"\n"
              "    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"Two\"\n"
              "    PERFORMER \"Guest\"\n"
              "    INDEX 00 03:10:00\n"
              "    INDEX 01 03:12:37\n"
              "  TRACK 03 AUDIO\n"
              "    TITLE \"Three\"\n"
              "    INDEX 01 05:00:00\n");
    auto cue = Read({Path("disc.cue")});
    ASSERT_TRUE(cue) << error_.Message().toStdString();
    ASSERT_EQ(cue->tracks.size(), 3u);
    EXPECT_EQ(cue->tracks[0].seconds, 192);  // 3:12.49
    EXPECT_EQ(cue->tracks[1].seconds, 108);  // 5:00 - 3:12.49 = 1:47.51
    EXPECT_EQ(cue->tracks[2].seconds, 120);  // 7:00 - 5:00
    EXPECT_EQ(cue->tracks[0].artist, "The Band");
    EXPECT_EQ(cue->tracks[1].artist, "Guest");
    EXPECT_EQ(cue->album, "The Album");
    EXPECT_EQ(cue->albumArtist, "The Band");

    // A sheet whose audio file is missing: no length for the last track, and
    // the FILE line is named.
    WriteText(Path("lost.cue"),
              "FILE \"lost.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 01 01:00:00\n");
    auto lost = Read({Path("lost.cue")});
    ASSERT_TRUE(lost) << error_.Message().toStdString();
    EXPECT_EQ(lost->tracks[0].seconds, 60);
    EXPECT_EQ(lost->tracks[1].seconds, -1);
    EXPECT_EQ(lost->tracks[1].title, "Track 2");
    ASSERT_EQ(lost->missing.size(), 1u);
    EXPECT_EQ(lost->missing[0].line, 1);
}

TEST_F(TrackListTest, FoldersSortByDiscAndTrackAndTextGivesLengths) {
    QDir().mkpath(Path("album/cd2"));
    WriteWav(Path("album/zz.wav"), 10);
    WriteWav(Path("album/aa.wav"), 11);
    WriteWav(Path("album/cd2/first.wav"), 12);
    ASSERT_TRUE(WriteTags(Path("album/zz.wav"), {"One", "A", "Alb", 1, "1"}));
    ASSERT_TRUE(WriteTags(Path("album/aa.wav"), {"Two", "A", "Alb", 2, "1/2"}));
    ASSERT_TRUE(WriteTags(Path("album/cd2/first.wav"), {"Three", "A", "Alb", 1, "2/2"}));
    WriteText(Path("album/cover.jpg"), "not audio");
    // FLAC, when the encoder is there to make one.
    const QString flac = QStandardPaths::findExecutable("flac");
    if (!flac.isEmpty()) {
        WriteWav(Path("short.wav"), 3, 8000);
        ASSERT_EQ(QProcess::execute(
                      flac, {"--silent", "-f", "-o", Path("album/cd2/z.flac"), Path("short.wav")}),
                  0);
        ASSERT_TRUE(WriteTags(Path("album/cd2/z.flac"), {"Four", "A", "Alb", 2, "2"}));
    }
    WriteText(Path("songs.txt"),
              "One 3:12\nTwo (4:01)\n\nThree\t1:02:03\nFour - 0:59\nNo length here\n");

    auto import = Read({Path("album"), Path("songs.txt")});
    ASSERT_TRUE(import) << error_.Message().toStdString();
    QStringList titles;
    for (const Track& t : import->tracks) titles << t.title;
    QStringList expected{"One", "Two", "Three"};
    if (!flac.isEmpty()) expected << "Four";
    expected << "One"
             << "Two"
             << "Three"
             << "Four"
             << "No length here";
    EXPECT_EQ(titles, expected);
    EXPECT_EQ(import->tracks[2].seconds, 12);
    if (!flac.isEmpty()) {
        EXPECT_EQ(import->tracks[3].seconds, 3);
    }
    const size_t text = flac.isEmpty() ? 3 : 4;
    EXPECT_EQ(import->tracks[text].seconds, 192);
    EXPECT_EQ(import->tracks[text + 1].seconds, 241);
    EXPECT_EQ(import->tracks[text + 2].seconds, 3723);
    EXPECT_EQ(import->tracks[text + 3].seconds, 59);
    EXPECT_EQ(import->tracks[text + 4].seconds, -1);
    // Not every song is from the album.
    EXPECT_TRUE(import->album.isEmpty());

    auto album = Read({Path("album")});
    ASSERT_TRUE(album);
    EXPECT_EQ(album->album, "Alb");
    EXPECT_EQ(album->albumArtist, "A");
}

TEST_F(TrackListTest, BadSourcesNameFileAndLineAndImportNothing) {
    MakeAudio();
    struct Case {
        const char* name;
        QByteArray text;
        int line;
    };
    const Case cases[] = {
        {"nohead.pls", "\nFile1=a.wav\n", 2},
        {"bad.pls", "[playlist]\nFile1=a.wav\njust words\n", 3},
        {"bad.m3u", "#EXTM3U\n#EXTINF:abc,Song\na.wav\n", 2},
        {"bad.xspf", "<playlist>\n<trackList>\n<track><title>x</track>\n</trackList></playlist>",
         3},
        {"bad.cue", "FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 3:75:00\n", 3},
        {"early.cue", "TRACK 01 AUDIO\n", 1},
        {"mode.cue", "FILE \"a.wav\" WAVE\n TRACK 01 AUDIa\n", 2},
        {"binary.txt", QByteArray("one\ntwo\0three", 13), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(Path(c.name), c.text);
        error_ = {};
        // A good source before a bad one: still nothing is imported.
        EXPECT_FALSE(Read({Path("a.wav"), Path(c.name)}));
        EXPECT_EQ(error_.file, Path(c.name));
        EXPECT_EQ(error_.line, c.line);
        EXPECT_TRUE(error_.Message().contains(QStringLiteral(", line %1: ").arg(c.line)))
            << error_.Message().toStdString();
    }
    EXPECT_FALSE(Read({Path("nothing-here.m3u")}));
    EXPECT_EQ(error_.Message(),
              QDir::toNativeSeparators(Path("nothing-here.m3u")) + ": cannot be found");
}

TEST_F(TrackListTest, FoldersReadOnlyRegularFilesAndNameWhatIsLeftOut) {
    QDir().mkpath(Path("music/sub"));
    WriteWav(Path("music/a.wav"), 10);
    // A device and a FIFO with audio names would be read without end, or block.
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(Path("music/zero.mp3")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("music/sub/pipe.flac")).constData(), 0600), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(Path("nowhere.ogg")).constData(),
                        QFile::encodeName(Path("music/gone.ogg")).constData()),
              0);
    // Permissions keep nothing from root: the unreadable cases only for others.
    const bool root = ::geteuid() == 0;
    if (!root) {
        WriteWav(Path("music/locked.wav"), 5);
        QDir().mkpath(Path("music/closed"));
        WriteWav(Path("music/closed/c.wav"), 5);
        ASSERT_EQ(::chmod(QFile::encodeName(Path("music/locked.wav")).constData(), 0), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(Path("music/closed")).constData(), 0), 0);
    }
    const auto import = ReadWithin({Path("music")});
    ASSERT_TRUE(import) << error_.Message().toStdString();
    ASSERT_EQ(import->tracks.size(), 1u);
    EXPECT_EQ(import->tracks[0].title, "a");
    const QString notes = ImportNotes(*import, nullptr, {}, std::nullopt).join('\n');
    for (const char* name : {"zero.mp3", "pipe.flac", "gone.ogg"}) {
        EXPECT_TRUE(notes.contains(Path(QString("music/%1").arg(name).toStdString()).mid(0)) ||
                    notes.contains(QLatin1String(name)))
            << name << " is not named in: " << notes.toStdString();
    }
    if (!root) {
        EXPECT_TRUE(notes.contains("locked.wav")) << notes.toStdString();
        EXPECT_TRUE(notes.contains("closed")) << notes.toStdString();
        ::chmod(QFile::encodeName(Path("music/closed")).constData(), 0700);
    }

    // Named in a list, and as a source of its own: the same.
    WriteText(Path("list.m3u"), "music/zero.mp3\nmusic/sub/pipe.flac\nmusic/a.wav\n");
    const auto list = ReadWithin({Path("list.m3u")});
    ASSERT_TRUE(list) << error_.Message().toStdString();
    ASSERT_EQ(list->tracks.size(), 3u);
    EXPECT_EQ(list->tracks[1].title, "pipe");
    EXPECT_EQ(list->notes.size(), 2) << list->notes.join('\n').toStdString();
    EXPECT_FALSE(ReadWithin({Path("music/sub/pipe.flac")}));
    EXPECT_EQ(error_.reason, "not a regular file");
}

TEST_F(TrackListTest, TheTagReaderGivesUpOnHugeFilesAndStopsWhenCancelled) {
    // A sparse 4 GB file with an audio name: zeros all through, where the
    // tag library would search the whole file for a frame.
    {
        QFile huge(Path("huge.mp3"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(qint64{4} << 30));
    }
    QElapsedTimer clock;
    clock.start();
    const auto import = ReadWithin({Path("huge.mp3")});
    ASSERT_TRUE(import) << error_.Message().toStdString();
    EXPECT_LT(clock.elapsed(), 30'000);
    ASSERT_EQ(import->tracks.size(), 1u);
    EXPECT_EQ(import->tracks[0].title, "huge");
    EXPECT_EQ(import->tracks[0].seconds, -1);
    ASSERT_EQ(import->notes.size(), 1);
    EXPECT_TRUE(import->notes[0].contains("huge.mp3")) << import->notes[0].toStdString();

    TrackReadControl control;
    control.cancel = true;
    EXPECT_FALSE(ReadTrackSources({Path("huge.mp3")}, &error_, &control));
    EXPECT_TRUE(error_.cancelled);
}

TEST_F(TrackListTest, OverlongTextsAreCutOnACharacterBoundaryAndNamed) {
    // A 1 MB title in an audio file's tag, 1.2 MB of two-byte letters in a
    // playlist's title, and an album of 70,000 Cyrillic letters.
    WriteWav(Path("long.wav"), 60);
    ASSERT_TRUE(WriteTags(Path("long.wav"), {std::string(1 << 20, 'x'), "Band", "", 1, ""}));
    const QByteArray umlauts = QString(600'000, QChar(0xE4)).toUtf8();
    WriteText(Path("list.pls"), "[playlist]\nFile1=long.wav\nTitle2=Band - " + umlauts +
                                    "\nLength2=61\nTitle3=Short\n");
    WriteText(Path("album.m3u"),
              "#EXTALB:" + QString(70'000, QChar(0x436)).toUtf8() + "\n#EXTINF:30,Next\nnext.wav\n");

    const auto import = Read({Path("list.pls"), Path("album.m3u")});
    ASSERT_TRUE(import) << error_.Message().toStdString();
    ASSERT_EQ(import->tracks.size(), 4u);
    const QString& tagged = import->tracks[0].title;
    EXPECT_LE(tagged.toUtf8().size(), kMaxTrackTextBytes);
    EXPECT_TRUE(tagged.startsWith("xxxx"));
    EXPECT_TRUE(tagged.endsWith(QChar(0x2026)));
    // Cut between two letters, never inside one.
    const QString& listed = import->tracks[1].title;
    EXPECT_LE(listed.toUtf8().size(), kMaxTrackTextBytes);
    EXPECT_EQ(listed, QString(listed.size() - 1, QChar(0xE4)) + QChar(0x2026));
    EXPECT_EQ(import->tracks[2].title, "Short");
    EXPECT_TRUE(import->tracks[3].album.endsWith(QChar(0x2026)));
    ASSERT_EQ(import->notes.size(), 3) << import->notes.join('\n').toStdString();
    EXPECT_TRUE(import->notes[0].contains("list.pls, line 2: the title \"xxxx"));
    EXPECT_TRUE(import->notes[1].contains("list.pls, line 3: the title"));
    EXPECT_TRUE(import->notes[2].contains("album.m3u, line 3: the album"));

    // Both sides and the album's title can be kept in a liner.
    const auto texts = MakeSongTexts(import->tracks, 2, {}, import->tracks[3].album, QString());
    ASSERT_TRUE(texts);
    EXPECT_LE(texts->sideA.text.size(), 0xFFFFu);
    EXPECT_LE(texts->title.text.size(), 0xFFFFu);
    EXPECT_EQ(texts->title.text.back(), '\x85');  // the ellipsis
}

TEST_F(TrackListTest, WavInfoTagsGiveTitleArtistAlbumAndNumber) {
    QDir().mkpath(Path("wavs"));
    WriteWav(Path("wavs/a.wav"), 10, 100,
             RiffInfo({{"INAM", "Second Song"}, {"IART", "Info Band"}, {"IPRD", "Info Album"},
                       {"IPRT", "2"}}));
    WriteWav(Path("wavs/b.wav"), 11, 100,
             RiffInfo({{"INAM", "First Song"}, {"IART", "Info Band"}, {"IPRD", "Info Album"},
                       {"IPRT", "1"}}));
    const auto import = Read({Path("wavs")});
    ASSERT_TRUE(import) << error_.Message().toStdString();
    ASSERT_EQ(import->tracks.size(), 2u);
    EXPECT_EQ(import->tracks[0].title, "First Song");
    EXPECT_EQ(import->tracks[0].number, 1);
    EXPECT_EQ(import->tracks[0].seconds, 11);
    EXPECT_EQ(import->tracks[1].title, "Second Song");
    EXPECT_EQ(import->tracks[1].artist, "Info Band");
    EXPECT_EQ(import->album, "Info Album");
}

TEST_F(TrackListTest, OneLengthBoundListsInListsOnceAndCueTracksOutOfOrder) {
    WriteText(Path("long.pls"),
              "[playlist]\nTitle1=Forever\nLength1=2147483647\nTitle2=Song\nLength2=200\n");
    WriteText(Path("long.m3u"), "#EXTINF:2000000,Forever\nx.wav\n#EXTINF:200,Song\ny.wav\n");
    WriteText(Path("long.txt"), "Forever 999:00:00\nSong 3:20\n");
    for (const char* name : {"long.pls", "long.m3u", "long.txt"}) {
        SCOPED_TRACE(name);
        const auto import = Read({Path(name)});
        ASSERT_TRUE(import) << error_.Message().toStdString();
        ASSERT_EQ(import->tracks.size(), 2u);
        EXPECT_EQ(import->tracks[0].seconds, -1);
        EXPECT_EQ(import->tracks[1].seconds, 200);
    }

    // A list naming another, which names the first and itself: each is read
    // once, and the user is told.
    WriteText(Path("outer.m3u"), "#EXTINF:10,One\none.wav\ninner.pls\nouter.m3u\n");
    WriteText(Path("inner.pls"), "[playlist]\nFile1=outer.m3u\nFile2=two.wav\nTitle2=Two\n"
                                 "File3=inner.pls\n");
    const auto nested = Read({Path("outer.m3u")});
    ASSERT_TRUE(nested) << error_.Message().toStdString();
    QStringList titles;
    for (const Track& t : nested->tracks) titles << t.title;
    EXPECT_EQ(titles, QStringList({"One", "Two"}));
    ASSERT_EQ(nested->notes.size(), 3) << nested->notes.join('\n').toStdString();
    EXPECT_TRUE(nested->notes[0].contains("inner.pls, line 2: the list"));
    EXPECT_TRUE(nested->notes[0].contains("read already"));

    WriteWav(Path("x.wav"), 240);
    WriteText(Path("order.cue"),
              "FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 02:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 01 01:00:00\n  TRACK 03 AUDIO\n    INDEX 01 03:00:00\n");
    const auto cue = Read({Path("order.cue")});
    ASSERT_TRUE(cue) << error_.Message().toStdString();
    EXPECT_EQ(cue->tracks[0].seconds, -1);
    EXPECT_EQ(cue->tracks[2].seconds, 60);
    ASSERT_EQ(cue->notes.size(), 1);
    EXPECT_TRUE(cue->notes[0].contains("track 1 starts after track 2")) << cue->notes[0].toStdString();
}

// Every input the track list fuzz targets keep, through their checks.
TEST(TrackListFuzzInputs, KeptInputsReadWithinTheBounds) {
    const QString root = QStringLiteral(REELCARD_SOURCE_DIR);
    const std::pair<const char*, std::vector<const char*>> targets[] = {
        {"playlist", {"fuzz.m3u", "fuzz.pls", "fuzz.txt"}},
        {"cue", {"fuzz.cue"}},
        {"xspf", {"fuzz.xspf"}}};
    for (const auto& [target, names] : targets) {
        int inputs = 0;
        for (const QString& folder : {root + "/fuzz/corpus/" + target, root + "/tests/data/regressions/" + target}) {
            for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
                SCOPED_TRACE(file.filePath().toStdString());
                QFile f(file.filePath());
                ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                const QByteArray bytes = f.readAll();
                for (const char* name : names) EXPECT_TRUE(fuzz::ReadsWithinBounds(name, bytes)) << name;
                ++inputs;
            }
        }
        EXPECT_GT(inputs, 0) << target;
    }
}

TEST(TrailingLength, FormsOfLengthAtTheEnd) {
    QString rest;
    EXPECT_EQ(TrailingLength("Song 3:12", &rest), 192);
    EXPECT_EQ(rest, "Song");
    EXPECT_EQ(TrailingLength(QStringLiteral("1. Song\u00BB12:05"), &rest), 725);
    EXPECT_EQ(rest, "1. Song");
    EXPECT_EQ(TrailingLength("Song (3:12)"), 192);
    EXPECT_EQ(TrailingLength("Suite 1:02:03"), 3723);
    EXPECT_EQ(TrailingLength("Song 3:60"), -1);
    EXPECT_EQ(TrailingLength("Song3:12"), -1);
    EXPECT_EQ(TrailingLength("Song 3:12)"), -1);
    EXPECT_EQ(TrailingLength("Song"), -1);
}

}  // namespace
