// Find Album Online and From a CD, through the real windows, against a local
// stand-in for MusicBrainz and the Cover Art Archive.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <iostream>

#include "app_test_support.h"
#include "dialogs/find_album_dialog.h"
#include "dialogs/import_songs_dialog.h"
#include "document/liner_document.h"
#include "platform/commands.h"
#include "songs/music_samples.h"
#include "songs/music_server.h"

using songs_test::Answer;
using songs_test::MusicServer;
using songs_test::RunUntil;
using namespace songs_test::samples;

namespace {

const QByteArray kSearchPath = "/ws/2/release?query=Ana%20Night%20Drive&fmt=json";
const QByteArray kReleasePath = "/ws/2/release/" + kRelease + "?inc=recordings+artist-credits&fmt=json";
constexpr char kToc[] = "1 6 95462 150 15363 32314 46592 63414 80489";

// A window over the stand-in servers, with a cache of its own.
struct FindAlbumFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(app.Start());
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(cache.isValid());
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        qputenv("REELCARD_MUSICBRAINZ_URL", server.Url());
        qputenv("REELCARD_COVERART_URL", server.Url() + "/caa");
        // A step that failed halfway leaves no window waiting for ever.
        watchdog.setInterval(60000);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << dialog->objectName().toStdString() << " was left open";
                dialog->reject();
            }
        });
        watchdog.start();
    }
    void TearDown() override {
        qunsetenv("REELCARD_MUSICBRAINZ_URL");
        qunsetenv("REELCARD_COVERART_URL");
    }

    template <typename T>
    static T* Find(QWidget* dialog, const char* name) {
        T* child = dialog->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Search(QWidget* dialog, const QString& query) {
        auto* field = Find<QLineEdit>(dialog, "AlbumQuery");
        field->clear();
        QTest::keyClicks(field, query);
        QTest::mouseClick(Find<QPushButton>(dialog, "SearchButton"), Qt::LeftButton);
    }
    static QString Status(QWidget* dialog) { return Find<QLabel>(dialog, "LookupStatus")->text(); }

    AppHarness app;
    MusicServer server;
    QTemporaryDir cache;
    QTimer watchdog;
};

}  // namespace

// From the Text menu: a search, thumbnails as they come, the second disc of
// a two-disc release into Import Songs with the front cover, split across
// the sides, and OK puts both sides, the spine and the cover into the liner
// in one step.
TEST_F(FindAlbumFixture, SearchChooseADiscAndImportBothSidesInOneStep) {
    MainWindow& w = app.window();
    EXPECT_TRUE(w.IsCommandEnabled(kCmdFindAlbum));
    server.On(kSearchPath, Answer{200, kSearchJson});
    server.On(kReleasePath, Answer{200, kReleaseJson});
    server.On("/caa/release/" + kRelease + "/front-250", Answer{200, Png(250, 250)});
    // The other release has no cover (404).
    server.On("/caa/release/" + kRelease + "/front-500",
              Answer{307, {}, "Location: " + server.Url() + "/caa/images/front.png\r\n"});
    const QByteArray front = Png(500, 500);
    server.On("/caa/images/front.png", Answer{200, front});
    // The liner is new: saved first, as the cover goes beside it.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(app.Path("out"))));
    app.prompter.answers.push_back(MessageResult::Yes);
    app.dialogs.saveAnswers.push_back(Chosen(app.Path("out/tape.cas")));

    const int stepsBefore = w.document().history().count();
    QElapsedTimer clock;
    qint64 finishedMs = -1;
    bool found = false, imported = false;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<FindAlbumDialog*>(modal); dialog && !found) {
            found = true;
            clock.start();
            Search(dialog, "Ana Night Drive");
            auto* releases = Find<QTableWidget>(dialog, "ReleaseList");
            ASSERT_TRUE(RunUntil([&] { return releases->rowCount() == 2; })) << Status(dialog).toStdString();
            EXPECT_EQ(releases->item(0, 1)->text(), "Ana & Bo");
            EXPECT_EQ(releases->item(0, 2)->text(), "Night Drive");
            EXPECT_EQ(releases->item(0, 3)->text(), "1987");
            EXPECT_EQ(releases->item(0, 4)->text(), "GB");
            EXPECT_EQ(releases->item(0, 5)->text(), QString::fromUtf8("2×CD"));
            EXPECT_EQ(releases->item(0, 6)->text(), "5");
            EXPECT_EQ(releases->item(1, 5)->text(), "12\" Vinyl");
            // The thumbnail arrives; the release without a cover shows none.
            ASSERT_TRUE(RunUntil([&] { return !releases->item(0, 0)->icon().isNull(); }));
            EXPECT_TRUE(releases->item(1, 0)->icon().isNull());

            releases->setCurrentCell(0, 2);
            auto* tracks = Find<QTableWidget>(dialog, "TrackList");
            ASSERT_TRUE(RunUntil([&] { return tracks->rowCount() == 5; })) << Status(dialog).toStdString();
            auto* first = Find<QCheckBox>(dialog, "Disc1");
            auto* second = Find<QCheckBox>(dialog, "Disc2");
            ASSERT_TRUE(first && second);
            EXPECT_TRUE(first->isChecked() && second->isChecked());
            EXPECT_EQ(second->text(), "Disc 2: Bonus (CD)");
            QTest::mouseClick(first, Qt::LeftButton);
            ASSERT_EQ(tracks->rowCount(), 2);
            EXPECT_EQ(tracks->item(1, 3)->text(), "Exit");
            EXPECT_EQ(Find<QLabel>(dialog, "TrackTotal")->text(), "2 songs, 6:01");
            QTest::mouseClick(Find<QPushButton>(dialog, "UseSongsButton"), Qt::LeftButton);
            EXPECT_TRUE(RunUntil([&] { return !dialog->isVisible(); })) << Status(dialog).toStdString();
            return;
        }
        if (auto* dialog = qobject_cast<ImportSongsDialog*>(modal); dialog && found && !imported) {
            imported = true;
            auto* list = Find<QTableWidget>(dialog, "SongList");
            EXPECT_EQ(list->rowCount(), 2);
            EXPECT_EQ(dialog->sideACount(), 1u);
            EXPECT_EQ(Find<QLabel>(dialog, "TotalSideA")->text(), "Side A: 1 song, 5:00 of 23:00");
            EXPECT_EQ(Find<QLabel>(dialog, "TotalSideB")->text(), "Side B: 1 song, 1:01 of 23:00");
            // The front cover came along, redirect followed.
            EXPECT_FALSE(Find<QLabel>(dialog, "CoverThumbnail")->pixmap().isNull());
            EXPECT_EQ(Find<QLabel>(dialog, "CoverSource")->text(),
                      "From " + server.Url() + "/caa/release/" + kRelease + "/front-500 (500 x 500)");
            QTest::mouseClick(Find<QPushButton>(dialog, "OkButton"), Qt::LeftButton);
            finishedMs = clock.elapsed();
            driver.stop();
            if (dialog->isVisible()) {
                ADD_FAILURE() << "OK left the window open: " << app.prompter.LastText();
                dialog->reject();
            }
        }
    });
    driver.start();
    ASSERT_EQ(w.Dispatch(kCmdFindAlbum), 1);
    driver.stop();
    ASSERT_TRUE(found && imported);

    const Liner& liner = w.liner();
    EXPECT_EQ(liner.songsA.text.find("Exit"), std::string::npos);
    EXPECT_NE(liner.songsA.text.find("\xBB" "5:00"), std::string::npos) << liner.songsA.text;
    EXPECT_EQ(liner.songsB.text, "Exit\xBB" "1:01");
    EXPECT_NE(liner.title.text.find("Night Drive"), std::string::npos) << liner.title.text;
    EXPECT_NE(liner.title.text.find("Ana & Bo"), std::string::npos) << liner.title.text;
    QFile cover(QString::fromStdString(app.Path("out/tape-cover.png")));
    ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
    EXPECT_EQ(cover.readAll(), front);
    ASSERT_EQ(liner.pictures.size(), 1u);
    EXPECT_EQ(liner.pictures[0].fileName, "tape-cover.png");
    EXPECT_EQ(w.document().history().count(), stepsBefore + 1);
    w.Dispatch(kCmdUndo);
    EXPECT_TRUE(w.liner().songsB.text.empty());
    EXPECT_EQ(w.liner().title.text.find("Night Drive"), std::string::npos);
    EXPECT_TRUE(w.liner().pictures.empty());

    std::vector<QByteArray> asked;
    for (const auto& seen : server.requests) asked.push_back(seen.target);
    EXPECT_EQ(asked.size(), 6u);  // search, two thumbnails, release, cover and its redirect
    std::cout << "[ measured ] lookup to finished liner: " << finishedMs << " ms, " << server.requests.size()
              << " requests\n";
}

// The window goes on while the server holds its answer, and closing it then
// (or deleting it) drops the request: nothing arrives late, nothing changes.
TEST_F(FindAlbumFixture, WindowAnswersWhileTheServerHoldsAndClosingDropsTheRequest) {
    MainWindow& w = app.window();
    server.On(kSearchPath, Answer{200, kSearchJson});
    server.Hold();
    {
        FindAlbumDialog dialog(&w);
        dialog.show();
        Search(&dialog, "Ana Night Drive");
        ASSERT_TRUE(RunUntil([&] { return server.requests.size() == 1; }));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        EXPECT_TRUE(RunUntil([&] { return ticks >= 10; }));
        EXPECT_TRUE(dialog.busy());
        EXPECT_EQ(dialog.status(), "Searching MusicBrainz for \"Ana Night Drive\"...");

        // Closed: the request is given up (the server sees the connection
        // go), and the answer sent after all reaches nobody.
        dialog.reject();
        EXPECT_FALSE(dialog.busy());
        EXPECT_TRUE(RunUntil([&] { return server.Quiet(); }, 10000));
        server.LetGo();
        EXPECT_EQ(Find<QTableWidget>(&dialog, "ReleaseList")->rowCount(), 0);
    }

    // Deleted with a search on the network.
    server.Hold();
    auto* dialog = new FindAlbumDialog(&w);
    dialog->show();
    Search(dialog, "Ana Night Drive");
    ASSERT_TRUE(RunUntil([&] { return server.requests.size() == 2; }));
    delete dialog;
    EXPECT_TRUE(RunUntil([&] { return server.Quiet(); }, 10000));
    server.LetGo();
    QCoreApplication::processEvents();
    EXPECT_EQ(server.requests.size(), 2u);
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(w.document().history().count(), 0);
}

// Offline, a server error, a malformed answer, no match: each is named in
// the window, which stays usable for the next search.
TEST_F(FindAlbumFixture, FailuresAreNamedAndTheWindowStaysUsable) {
    MainWindow& w = app.window();
    {
        // Nothing listens on a port just given back.
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        qputenv("REELCARD_MUSICBRAINZ_URL", "http://127.0.0.1:" + QByteArray::number(port));
        FindAlbumDialog offline(&w);
        Search(&offline, "Ana Night Drive");
        ASSERT_TRUE(RunUntil([&] { return !offline.busy(); }));
        EXPECT_TRUE(offline.status().startsWith("The search on MusicBrainz failed: ")) << offline.status().toStdString();
        EXPECT_TRUE(offline.status().contains("refused")) << offline.status().toStdString();
        qputenv("REELCARD_MUSICBRAINZ_URL", server.Url());
    }

    server.On("/ws/2/release?query=error&fmt=json", Answer{500, "oops"});
    server.On("/ws/2/release?query=broken&fmt=json", Answer{200, "{\"releases\":[{\"id\":"});
    server.On("/ws/2/release?query=nothing&fmt=json", Answer{200, "{\"count\":0,\"releases\":[]}"});
    server.On(kSearchPath, Answer{200, kSearchJson});
    FindAlbumDialog dialog(&w);
    dialog.show();
    auto* releases = Find<QTableWidget>(&dialog, "ReleaseList");
    const struct {
        const char* query;
        const char* told;
    } cases[] = {
        {"error", "The search on MusicBrainz failed: "},
        {"broken", "could not be read"},
        {"nothing", "No release on MusicBrainz matches \"nothing\"."},
    };
    for (const auto& c : cases) {
        Search(&dialog, c.query);
        ASSERT_TRUE(RunUntil([&] { return !dialog.busy(); }));
        EXPECT_TRUE(dialog.status().contains(c.told)) << dialog.status().toStdString();
        EXPECT_EQ(releases->rowCount(), 0);
        EXPECT_FALSE(Find<QPushButton>(&dialog, "UseSongsButton")->isEnabled());
    }
    EXPECT_TRUE(dialog.status().contains("nothing"));
    ASSERT_NE(server.requests.size(), 0u);
    EXPECT_NE(server.requests[0].target.indexOf("query=error"), -1);
    Search(&dialog, "Ana Night Drive");
    ASSERT_TRUE(RunUntil([&] { return releases->rowCount() == 2; })) << dialog.status().toStdString();
    // A release that cannot be fetched says so; the list stays.
    releases->setCurrentCell(1, 2);
    ASSERT_TRUE(RunUntil([&] { return !dialog.busy(); }));
    EXPECT_TRUE(dialog.status().startsWith("The songs of the release could not be fetched from MusicBrainz: "))
        << dialog.status().toStdString();
    EXPECT_TRUE(dialog.status().contains("404")) << dialog.status().toStdString();
    EXPECT_EQ(releases->rowCount(), 2);
    EXPECT_FALSE(w.modified());
}

// From the Import Songs button: a disc's table of contents that two
// releases share; both are listed, and the one chosen gives the songs of that
// disc to the same Import Songs window, after those listed.
TEST_F(FindAlbumFixture, DiscTocGivesTwoReleasesToChooseFrom) {
    MainWindow& w = app.window();
    server.On("/ws/2/discid/49HHV7Eb8UKF3aQiNmu1GR8vKTY-?inc=recordings+artist-credits&fmt=json&toc=1+6+95462+150+"
              "15363+32314+46592+63414+80489",
              Answer{200, DiscIdJson()});
    ImportSongsDialog import(w);
    TrackImport listed;
    listed.tracks.push_back(Track{"Intro", "Cy", "", "", 0, 0, 60, ""});
    import.AddAlbum(listed);
    import.show();

    QString askedDrive = "unasked";
    bool chosen = false;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<FindAlbumDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        driver.stop();
        chosen = true;
        dialog->readToc = [&askedDrive](const QString& drive, QString*) {
            askedDrive = drive;
            return ParseDiscToc(kToc);
        };
        QTest::mouseClick(Find<QPushButton>(dialog, "FromCdButton"), Qt::LeftButton);
        auto* releases = Find<QTableWidget>(dialog, "ReleaseList");
        ASSERT_TRUE(RunUntil([&] { return releases->rowCount() == 2; })) << dialog->status().toStdString();
        EXPECT_EQ(askedDrive, "");  // the default drive
        EXPECT_EQ(dialog->status(), "2 releases hold this disc. Choose one to see its songs.");
        EXPECT_EQ(releases->item(0, 4)->text(), "GB");
        EXPECT_EQ(releases->item(1, 4)->text(), "US");

        releases->setCurrentCell(1, 2);
        auto* tracks = Find<QTableWidget>(dialog, "TrackList");
        ASSERT_EQ(tracks->rowCount(), 3);  // the disc read, not the whole release
        EXPECT_EQ(tracks->item(2, 3)->text(), "Dawn");
        EXPECT_FALSE(Find<QWidget>(dialog, "DiscChoice")->isVisible());
        QTest::mouseClick(Find<QPushButton>(dialog, "UseSongsButton"), Qt::LeftButton);
        EXPECT_TRUE(RunUntil([&] { return !dialog->isVisible(); })) << dialog->status().toStdString();
    });
    driver.start();
    QTest::mouseClick(Find<QPushButton>(&import, "FindAlbumButton"), Qt::LeftButton);
    ASSERT_TRUE(chosen);

    ASSERT_EQ(import.tracks().size(), 4u);
    EXPECT_EQ(import.tracks()[0].title, "Intro");
    EXPECT_EQ(import.tracks()[3].title, "Dawn");
    EXPECT_EQ(import.tracks()[3].album, "Night Drive");
    EXPECT_TRUE(Find<QPlainTextEdit>(&import, "ImportNotes")
                    ->toPlainText()
                    .contains("The Cover Art Archive has no front cover for \"Night Drive\"."));
    EXPECT_EQ(server.requests.back().target, "/caa/release/" + kOther + "/front-500");
    EXPECT_FALSE(w.modified());
}
