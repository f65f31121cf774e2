// Album lookups against a local stand-in for MusicBrainz and the Cover Art
// Archive: what is asked (paths, User-Agent, spacing), what is read from the
// answers, and how busy, broken and oversized answers are met.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "songs/disc_toc.h"
#include "songs/music_answers.h"
#include "songs/music_lookup.h"
#include "songs/music_samples.h"
#include "songs/music_server.h"

using songs_test::Answer;
using songs_test::MusicServer;
using songs_test::RunUntil;
using namespace songs_test::samples;

namespace {

// One lookup on the stand-in server, with its own empty cache.
struct LookupFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(cache.isValid());
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        qputenv("REELCARD_MUSICBRAINZ_URL", server.Url() + "/");
        qputenv("REELCARD_COVERART_URL", server.Url() + "/caa");
        lookup = std::make_unique<MusicLookup>();
        QObject::connect(lookup.get(), &MusicLookup::failed, [this](int id, const QString& why) { failures[id] = why; });
        QObject::connect(lookup.get(), &MusicLookup::releaseFound,
                         [this](int id, const Release& r) { releases[id] = r; });
        QObject::connect(lookup.get(), &MusicLookup::coverFound,
                         [this](int id, const QByteArray& b) { covers[id] = b; });
    }
    void TearDown() override {
        lookup.reset();
        qunsetenv("REELCARD_MUSICBRAINZ_URL");
        qunsetenv("REELCARD_COVERART_URL");
    }
    bool Answered(int id) { return failures.count(id) || releases.count(id) || covers.count(id); }

    // The application first: the server's socket needs its event loop.
    bool application = (songs_test::EnsureApplication(), true);
    MusicServer server;
    QTemporaryDir cache;
    std::unique_ptr<MusicLookup> lookup;
    std::map<int, QString> failures;
    std::map<int, Release> releases;
    std::map<int, QByteArray> covers;
};

}  // namespace

// A search, then the release: the answers read into releases and songs, the
// requests spaced a second apart with the program's User-Agent, and the
// event loop kept running meanwhile.
TEST_F(LookupFixture, SearchAndReleaseWithTwoDiscs) {
    server.On("/ws/2/release?query=Ana%20Night%20Drive&fmt=json", Answer{200, kSearchJson});
    server.On("/ws/2/release/" + kRelease + "?inc=recordings+artist-credits&fmt=json", Answer{200, kReleaseJson});

    std::vector<ReleaseSummary> found;
    bool searched = false;
    QObject::connect(lookup.get(), &MusicLookup::searchFound, [&](int, const std::vector<ReleaseSummary>& list) {
        found = list;
        searched = true;
    });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);

    lookup->SearchReleases("  Ana   Night Drive ");
    const int release = lookup->LookUpRelease(QString::fromLatin1(kRelease));
    ASSERT_TRUE(RunUntil([&] { return (searched || !failures.empty()) && Answered(release); }));
    ASSERT_TRUE(failures.empty()) << failures.begin()->second.toStdString();

    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].artist, "Ana & Bo");
    EXPECT_EQ(found[0].title, "Night Drive");
    EXPECT_EQ(found[0].year, "1987");
    EXPECT_EQ(found[0].country, "GB");
    EXPECT_EQ(found[0].format, QString::fromUtf8("2×CD"));
    EXPECT_EQ(found[0].tracks, 5);
    EXPECT_EQ(found[1].format, "12\" Vinyl");
    EXPECT_EQ(found[1].tracks, 4);

    const Release& r = releases[release];
    ASSERT_EQ(r.discs.size(), 2u);
    EXPECT_EQ(r.discs[1].title, "Bonus");
    EXPECT_EQ(r.discs[0].discIds, QStringList{"49HHV7Eb8UKF3aQiNmu1GR8vKTY-"});
    const std::vector<Track> all = r.Tracks();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].artist, "Ana & Bo");
    EXPECT_EQ(all[0].seconds, 201);  // 201.499 s
    EXPECT_EQ(all[0].album, "Night Drive");
    EXPECT_EQ(all[0].albumArtist, "Ana & Bo");
    EXPECT_EQ(all[1].artist, "Ana feat. Cy");
    EXPECT_EQ(all[1].seconds, 96);  // from the recording
    EXPECT_EQ(all[2].seconds, -1);
    EXPECT_EQ(all[3].title, QString::fromUtf8("Łódź"));
    EXPECT_EQ(all[3].disc, 2);
    EXPECT_EQ(r.Tracks({2}).size(), 2u);

    ASSERT_EQ(server.requests.size(), 2u);
    for (const auto& seen : server.requests) {
        EXPECT_TRUE(seen.userAgent.startsWith("Reelcard/")) << seen.userAgent.toStdString();
        EXPECT_TRUE(seen.userAgent.contains("( ")) << seen.userAgent.toStdString();
    }
    EXPECT_GE(server.requests[1].atMs - server.requests[0].atMs, 1000);
    // The loop ran on while the second request waited its turn.
    EXPECT_GE(ticks, 5);  // a blocked loop would have ticked once
    EXPECT_EQ(lookup->RequestsSent(), 2);
}

// A disc id that two releases share, one nobody entered (404), a release
// that is not there, and the same release asked again (from the cache).
TEST_F(LookupFixture, DiscIdsNotFoundAndCache) {
    server.On("/ws/2/discid/49HHV7Eb8UKF3aQiNmu1GR8vKTY-?inc=recordings+artist-credits&fmt=json",
              Answer{200, DiscIdJson()});
    server.On("/ws/2/release/" + kRelease + "?inc=recordings+artist-credits&fmt=json", Answer{200, kReleaseJson});

    std::map<int, std::vector<Release>> discs;
    QObject::connect(lookup.get(), &MusicLookup::discReleasesFound,
                     [&](int id, const std::vector<Release>& list) { discs[id] = list; });
    const int known = lookup->LookUpDiscId("49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
    const int unknown = lookup->LookUpDiscId("unknownDiscId0000000000000-", "1 2 1000 150 500");
    const int missing = lookup->LookUpRelease(QString::fromLatin1(kOther));
    ASSERT_TRUE(RunUntil([&] { return discs.count(known) && discs.count(unknown) && failures.count(missing); }));
    ASSERT_EQ(discs[known].size(), 2u);
    EXPECT_EQ(discs[known][1].summary.country, "US");
    EXPECT_EQ(discs[known][0].Tracks().size(), 5u);
    EXPECT_TRUE(discs[unknown].empty());
    EXPECT_EQ(server.requests[1].target,
              "/ws/2/discid/unknownDiscId0000000000000-?inc=recordings+artist-credits&fmt=json&toc=1+2+1000+150+500");
    EXPECT_TRUE(failures[missing].contains("404")) << failures[missing].toStdString();
    EXPECT_TRUE(failures[missing].contains(QString::fromLatin1(kOther))) << failures[missing].toStdString();

    const int first = lookup->LookUpRelease(QString::fromLatin1(kRelease));
    ASSERT_TRUE(RunUntil([&] { return Answered(first); }));
    const size_t asked = server.requests.size();
    MusicLookup again;
    int second = 0;
    bool cached = false;
    QObject::connect(&again, &MusicLookup::releaseFound, [&](int id, const Release& r) {
        cached = id == second && r.discs.size() == 2;
    });
    second = again.LookUpRelease(QString::fromLatin1(kRelease));
    ASSERT_TRUE(RunUntil([&] { return cached; }));
    EXPECT_EQ(server.requests.size(), asked);
    EXPECT_EQ(again.RequestsSent(), 0);

    // A kept answer that is now a pipe nobody writes is asked for again.
    const QDir kept(cache.path() + "/reelcard");
    for (const QString& name : kept.entryList(QDir::Files)) {
        ASSERT_TRUE(QFile::remove(kept.filePath(name)));
        ASSERT_EQ(mkfifo(QFile::encodeName(kept.filePath(name)).constData(), 0600), 0);
    }
    MusicLookup third;
    int fresh = 0;
    bool found = false;
    QObject::connect(&third, &MusicLookup::releaseFound, [&](int id, const Release&) { found = id == fresh; });
    fresh = third.LookUpRelease(QString::fromLatin1(kRelease));
    ASSERT_TRUE(RunUntil([&] { return found; }));
    EXPECT_EQ(third.RequestsSent(), 1);
}

// A busy server is asked again after the pause it names; answers cut short,
// too large, not JSON or not a picture fail with a message naming the
// address; a cover is followed through its redirect.
TEST_F(LookupFixture, BusyBrokenAndRedirectedAnswers) {
    server.On("/ws/2/release/" + kRelease + "?inc=recordings+artist-credits&fmt=json",
              std::vector{Answer{503, "busy", "Retry-After: 1\r\n"}, Answer{200, kReleaseJson}});
    server.On("/ws/2/release/" + kOther + "?inc=recordings+artist-credits&fmt=json", Answer{200, "{\"id\": 12"});
    server.On("/caa/release/" + kRelease + "/front-500",
              Answer{307, {}, "Location: " + server.Url() + "/images/cover.jpg\r\n"});
    server.On("/images/cover.jpg", Answer{200, kJpeg});
    server.On("/caa/release/" + kOther + "/front-500", Answer{200, kJpeg.left(10), {}, 5000});
    server.On("/caa/release/" + kOther + "/front-250", Answer{200, "x", {}, 50LL * 1024 * 1024});
    server.On("/caa/release/" + kRelease + "/front-250", Answer{200, "<html>not a picture</html>"});

    const int busy = lookup->LookUpRelease(QString::fromLatin1(kRelease));
    const int broken = lookup->LookUpRelease(QString::fromLatin1(kOther));
    const int cover = lookup->FetchCover(QString::fromLatin1(kRelease));
    const int cut = lookup->FetchCover(QString::fromLatin1(kOther));
    const int huge = lookup->FetchCover(QString::fromLatin1(kOther), 250);
    const int html = lookup->FetchCover(QString::fromLatin1(kRelease), 250);
    const int none = lookup->FetchCover("00000000-0000-0000-0000-000000000000");
    ASSERT_TRUE(RunUntil([&] {
        for (int id : {busy, broken, cover, cut, huge, html, none}) {
            if (!Answered(id)) return false;
        }
        return true;
    }));
    EXPECT_EQ(releases[busy].discs.size(), 2u);
    EXPECT_TRUE(failures[broken].contains("could not be read")) << failures[broken].toStdString();
    EXPECT_EQ(covers[cover], kJpeg) << failures[cover].toStdString();
    EXPECT_TRUE(failures[cut].contains("/caa/release/" + QString::fromLatin1(kOther) + "/front-500"))
        << failures[cut].toStdString();
    EXPECT_TRUE(failures[huge].contains("larger than 16 MB")) << failures[huge].toStdString();
    EXPECT_TRUE(failures[html].contains("not a JPEG")) << failures[html].toStdString();
    EXPECT_TRUE(covers.count(none) && covers[none].isEmpty());

    // The busy release was asked three times in all: once busy, once more
    // after the second it named, with the broken one in between.
    std::vector<qint64> busyTimes;
    for (const auto& seen : server.requests) {
        if (seen.target.contains("/ws/2/release/" + kRelease)) busyTimes.push_back(seen.atMs);
    }
    ASSERT_EQ(busyTimes.size(), 2u);
    EXPECT_GE(busyTimes[1] - busyTimes[0], 1000);
}

// Release ids as MBIDs or addresses; anything else is refused before a
// request is made.
TEST(MusicAnswers, ReleaseIdsAndMalformedAnswers) {
    EXPECT_EQ(ParseReleaseId(" 8F8D6A9A-6a3b-4c8e-9f8e-3b3a0b0d5a11 "), QString::fromLatin1(kRelease));
    EXPECT_EQ(ParseReleaseId("https://musicbrainz.org/release/" + kRelease + "/cover-art"), QString::fromLatin1(kRelease));
    for (const char* bad : {"", "8f8d6a9a", "https://musicbrainz.org/artist/8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11",
                            "8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11x", "release/../8f8d6a9a"}) {
        EXPECT_FALSE(ParseReleaseId(bad)) << bad;
    }
    QString why;
    EXPECT_FALSE(ReadRelease("[1,2]", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(ReadRelease("{\"title\":\"no id\"}", &why));
    EXPECT_FALSE(ReadReleaseSearch("{\"releases\":3}", &why));
    EXPECT_FALSE(ReadDiscIdAnswer("{\"releases\":[{\"id\":\"bad\"}]}", &why));
}

// The disc id of MusicBrainz's example table of contents, as libdiscid
// computes it, and tables that are not ones.
TEST(DiscToc, IdOfTocString) {
    const auto toc = ParseDiscToc("1 6 95462 150 15363 32314 46592 63414 80489");
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->DiscId(), "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
    EXPECT_EQ(ParseDiscToc("1+6+95462+150+15363+32314+46592+63414+80489")->DiscId(), "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
    EXPECT_EQ(toc->TrackSeconds().front(), (15363 - 150 + 37) / 75);
    for (const char* bad : {"", "1 6 95462", "1 6 95462 150 15363 32314 46592 63414",  // one offset short
                            "1 2 95462 150 150", "1 2 1000 150 2000", "0 1 1000 150", "1 x 1000 150",
                            "2 1 1000 150", "1 100 1000 150"}) {
        EXPECT_FALSE(ParseDiscToc(bad)) << bad;
    }
}

// A real drive, where the machine has one with an audio CD in it.
TEST(DiscToc, ReadsTheDrive) {
    const QString drive = DefaultDiscDrive();
    QString why;
    const auto toc = ReadDiscToc(drive, &why);
    if (!toc) GTEST_SKIP() << "no audio CD to read: " << why.toStdString();
    EXPECT_EQ(toc->DiscId().size(), 28);
    EXPECT_EQ(toc->offsets.size(), size_t(toc->last - toc->first + 1));
}

// The inputs the reader's fuzz target keeps, replayed through the readers.
TEST(MusicAnswers, KeptFuzzInputs) {
    int read = 0;
    const QString root = QStringLiteral(REELCARD_SOURCE_DIR);
    for (const QString& folder : {root + "/fuzz/corpus/music_answers", root + "/tests/data/regressions/music_answers"}) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
            QFile f(file.absoluteFilePath());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            QString why;
            if (ReadReleaseSearch(bytes, &why) || ReadRelease(bytes, &why) || ReadDiscIdAnswer(bytes, &why)) ++read;
        }
    }
    EXPECT_EQ(read, 3);  // the seeds: a search, a release, a disc id
}
