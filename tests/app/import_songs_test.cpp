// The Import Songs window, the live totals of the song dialogs, Fit Songs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <QBuffer>
#include <QImage>

#include "platform/commands.h"
#include "app_test_support.h"
#include "render/geometry.h"
#include "songs/songs_test_support.h"
#include "dialogs/import_songs_dialog.h"
#include "dialogs/text_dialog.h"

namespace {

QString Cell(QTableWidget* list, int row, int column) {
    return list->item(row, column)->text();
}

QString WriteSource(AppHarness& app, const std::string& name, const QByteArray& text) {
    const QString path = QString::fromStdString(app.Path(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(text);
    return path;
}

TEST(ImportSongs, WindowSplitsMovesAndReplacesBothSidesInOneChange) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    EXPECT_TRUE(w.IsCommandEnabled(kCmdImportSongs));
    EXPECT_TRUE(w.IsCommandEnabled(kCmdFitSongs));
    const QString source = QString::fromStdString(app.Path("tape.txt"));
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "Ann - One 5:00\nBo - Two 6:00\nAnn - Three 7:00\nBo - Four 8:00\nAnn - Five 4:00\n");
    }

    // An open song dialog shows the imported songs afterwards.
    ASSERT_EQ(w.Dispatch(kCmdSongsSideA), 1);
    auto* songsA = w.findChild<TextDialog*>("SongsSideADialog");
    ASSERT_NE(songsA, nullptr);

    ImportSongsDialog dialog(w);
    ASSERT_TRUE(dialog.AddSources({source}));
    auto* list = dialog.findChild<QTableWidget*>("SongList");
    ASSERT_EQ(list->rowCount(), 5);
    EXPECT_EQ(Cell(list, 0, 2), "Ann - One");
    EXPECT_EQ(Cell(list, 3, 3), "8:00");
    // 30:00 in all: the shortest tape whose sides hold a balanced split.
    EXPECT_EQ(dialog.findChild<QComboBox*>("TapeLength")->currentText(), "C46");
    EXPECT_EQ(dialog.sideACount(), 3u);
    EXPECT_EQ(Cell(list, 2, 4), "A");
    EXPECT_EQ(Cell(list, 3, 4), "B");
    EXPECT_EQ(dialog.findChild<QLabel*>("TotalSideA")->text(), "Side A: 3 songs, 18:00 of 23:00");
    EXPECT_EQ(dialog.findChild<QLabel*>("TotalSideB")->text(), "Side B: 2 songs, 12:00 of 23:00");

    // By hand: the third song to Side B, the last one up a row.
    list->setCurrentCell(2, 2);
    QTest::mouseClick(dialog.findChild<QPushButton*>("OtherSideButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.sideACount(), 2u);
    EXPECT_EQ(Cell(list, 2, 4), "B");
    list->setCurrentCell(4, 2);
    QTest::mouseClick(dialog.findChild<QPushButton*>("MoveUpButton"), Qt::LeftButton);
    EXPECT_EQ(Cell(list, 3, 2), "Ann - Five");
    dialog.findChild<QCheckBox*>("NumbersCheck")->setChecked(true);
    EXPECT_EQ(dialog.findChild<QLabel*>("TotalSideB")->text(), "Side B: 3 songs, 19:00 of 23:00");

    QTest::mouseClick(dialog.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const Liner& liner = w.liner();
    EXPECT_EQ(liner.songsA.lineCount, 2);
    EXPECT_EQ(liner.songsA.text,
              "1. Ann - One\xBB"
              "5:00\r\n2. Bo - Two\xBB"
              "6:00");
    EXPECT_EQ(liner.songsB.text,
              "3. Ann - Three\xBB"
              "7:00\r\n4. Ann - Five\xBB"
              "4:00\r\n5. Bo - Four\xBB"
              "8:00");
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(w.songFitWarning());
    EXPECT_EQ(songsA->editor()->Text(), QString::fromUtf8("1. Ann - One\t5:00\n2. Bo - Two\t6:00"));
    EXPECT_FALSE(songsA->HasChanges());
    ASSERT_TRUE(ImportedTape(w));
    EXPECT_EQ(ImportedTape(w)->minutes, 46);

    // The song dialogs add up their rows as the user types, against the tape.
    ASSERT_EQ(w.Dispatch(kCmdSongsSideB), 1);
    auto* songs = w.findChild<TextDialog*>("SongsSideBDialog");
    ASSERT_NE(songs, nullptr);
    auto* total = songs->findChild<QLabel*>("SideTotal");
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->text(), "19:00 of 23:00 on this side");
    songs->editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(songs->editor(), Qt::Key_Return);
    QTest::keyClicks(songs->editor(), "Extra");
    QTest::keyClick(songs->editor(), Qt::Key_Tab);
    QTest::keyClicks(songs->editor(), "5:30");
    EXPECT_EQ(total->text(), "24:30 of 23:00 on this side, 1:30 too long");
    songs->editor()->document()->setModified(false);
    songs->RequestClose();

    // Everything fits: Fit Songs says so and changes nothing.
    const Liner before = w.liner();
    app.prompter.shown.clear();
    ASSERT_EQ(w.Dispatch(kCmdFitSongs), 1);
    EXPECT_EQ(app.prompter.LastText(), "Every song fits already.");
    EXPECT_EQ(w.liner(), before);
}

TEST(ImportSongs, OpensFirstWithAddButtonsAndTheTapeFollowsTheSongsUntilPicked) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    // 30 minutes, then 40 more.
    const QString three = WriteSource(app, "three.txt", "One 10:00\nTwo 10:00\nThree 10:00\n");
    const QString two = WriteSource(app, "two.m3u", "#EXTINF:1200,Four\nfour.wav\n#EXTINF:1200,Five\nfive.wav\n");
    using Kind = ImportSongsDialog::SourceKind;
    std::vector<Kind> asked;
    bool checked = false;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        auto* dialog = qobject_cast<ImportSongsDialog*>(modal);
        if (!dialog) {
            ADD_FAILURE() << "the first window is a " << modal->metaObject()->className();
            if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
            return;
        }
        timer.stop();
        auto* list = dialog->findChild<QTableWidget*>("SongList");
        auto* tape = dialog->findChild<QComboBox*>("TapeLength");
        QPushButton* add[3] = {dialog->findChild<QPushButton*>("AddFilesButton"),
                               dialog->findChild<QPushButton*>("AddFolderButton"),
                               dialog->findChild<QPushButton*>("AddPlaylistButton")};
        QPushButton* row[4] = {dialog->findChild<QPushButton*>("MoveUpButton"),
                               dialog->findChild<QPushButton*>("MoveDownButton"),
                               dialog->findChild<QPushButton*>("OtherSideButton"),
                               dialog->findChild<QPushButton*>("RemoveButton")};
        auto rowButtonsEnabled = [&] {
            int n = 0;
            for (QPushButton* b : row) n += b->isEnabled();
            return n;
        };
        if (std::find(std::begin(add), std::end(add), nullptr) != std::end(add) ||
            std::find(std::begin(row), std::end(row), nullptr) != std::end(row)) {
            ADD_FAILURE() << "a button is missing";
            dialog->reject();
            return;
        }
        dialog->choose = [&](Kind kind) {
            asked.push_back(kind);
            return kind == Kind::Files ? QStringList{three} : kind == Kind::Playlist ? QStringList{two} : QStringList();
        };
        EXPECT_EQ(list->rowCount(), 0);
        EXPECT_EQ(rowButtonsEnabled(), 0);

        QTest::mouseClick(add[0], Qt::LeftButton);
        EXPECT_EQ(list->rowCount(), 3);
        EXPECT_EQ(tape->currentText(), "C46");
        EXPECT_EQ(rowButtonsEnabled(), 0);
        // More songs, a longer tape.
        QTest::mouseClick(add[2], Qt::LeftButton);
        EXPECT_EQ(list->rowCount(), 5);
        EXPECT_EQ(tape->currentText(), "C90");
        QTest::mouseClick(add[1], Qt::LeftButton);
        EXPECT_EQ(list->rowCount(), 5);
        EXPECT_EQ(asked, (std::vector<Kind>{Kind::Files, Kind::Playlist, Kind::Folder}));

        // Fewer songs, a shorter tape again.
        list->selectRow(3);
        EXPECT_EQ(rowButtonsEnabled(), 4);
        QTest::mouseClick(row[3], Qt::LeftButton);
        QTest::mouseClick(row[3], Qt::LeftButton);
        EXPECT_EQ(list->rowCount(), 3);
        EXPECT_EQ(tape->currentText(), "C46");
        list->clearSelection();
        EXPECT_EQ(rowButtonsEnabled(), 0);

        // A tape the user picks stays.
        tape->setCurrentIndex(tape->findText("C120"));
        QTest::mouseClick(add[2], Qt::LeftButton);
        EXPECT_EQ(list->rowCount(), 5);
        EXPECT_EQ(tape->currentText(), "C120");
        checked = true;
        dialog->reject();
    });
    timer.start();
    ASSERT_EQ(w.Dispatch(kCmdImportSongs), 1);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(w.modified());
}

TEST(ImportSongs, NotesScrollInsideAWindowThatFitsASmallScreen) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    // 30 songs, each changed for the character sets: a note line each.
    QByteArray text;
    for (int i = 1; i <= 30; ++i) text += QStringLiteral("Snow \u2603 %1 3:00\n").arg(i).toUtf8();
    const QString source = WriteSource(app, "snow.txt", text);

    ImportSongsDialog dialog(app.window());
    const int emptyHeight = dialog.sizeHint().height();
    ASSERT_TRUE(dialog.AddSources({source}));
    auto* notes = dialog.findChild<QPlainTextEdit*>("ImportNotes");
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->toPlainText().contains("30. Snow"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // 768 pixels less a title bar and a panel.
    EXPECT_EQ(dialog.sizeHint().height(), emptyHeight);
    EXPECT_LE(dialog.sizeHint().height(), 680);
    EXPECT_GT(notes->verticalScrollBar()->maximum(), 0);
}

TEST(ImportSongs, ReadingRunsOffTheWindowsThreadWithProgressAndCancel) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    // A file with an audio name that is zeros all through: slow to give up on.
    const QString folder = QString::fromStdString(app.Path("slow"));
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        QFile zeros(folder + "/zeros.mp3");
        ASSERT_TRUE(zeros.open(QIODevice::WriteOnly));
        ASSERT_TRUE(zeros.resize(qint64{512} << 20));
    }
    ImportSongsDialog dialog(app.window());
    dialog.show();
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* progress = dialog.findChild<QProgressDialog*>("ImportProgress");
        if (!progress || !progress->isVisible()) return;
        auto* cancel = progress->findChild<QPushButton*>();
        if (!cancel) return;
        timer.stop();
        cancelledAt = clock.elapsed();
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    timer.start();
    clock.start();
    EXPECT_FALSE(dialog.AddSources({folder}));
    ASSERT_GE(cancelledAt, 0) << "no progress was shown";
    EXPECT_LT(clock.elapsed() - cancelledAt, 1500);
    EXPECT_TRUE(dialog.tracks().empty());
    EXPECT_TRUE(app.prompter.shown.empty());
}

// The cover beside the songs' files, written beside the liner (saved first,
// as the user agreed) with its own bytes, fitted into the place chosen, and
// taken back with the songs by one Undo; a file that is no picture is
// refused, and None imports the songs alone.
TEST(ImportSongs, TheCoverGoesBesideTheLinerAndComesBackWithTheSongsInOneStep) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(app.Path("album"))));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(app.Path("out"))));
    songs_test::WriteWav(QString::fromStdString(app.Path("album/01.wav")), 100);
    songs_test::WriteWav(QString::fromStdString(app.Path("album/02.wav")), 200);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImage image(300, 150, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(&buffer, "JPG"));
    }
    WriteSource(app, "album/Cover.jpg", jpeg);
    const QString notPicture = WriteSource(app, "notes.jpg", "liner notes, not a picture");
    const QString album = QString::fromStdString(app.Path("album"));

    // An unsaved liner: asked, and saved as out/tape.cas.
    app.prompter.answers.push_back(MessageResult::Yes);
    app.dialogs.saveAnswers.push_back(Chosen(app.Path("out/tape.cas")));
    QStringList places;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<ImportSongsDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        timer.stop();
        dialog->AddSources({album});
        EXPECT_FALSE(dialog->findChild<QLabel*>("CoverThumbnail")->pixmap().isNull());
        EXPECT_EQ(dialog->findChild<QLabel*>("CoverSource")->text(), "From Cover.jpg (300 x 150)");
        auto* place = dialog->findChild<QComboBox*>("CoverPlace");
        for (int i = 0; i < place->count(); ++i) places << place->itemText(i);
        // The default J-card's front carries the songs: the spine by default.
        EXPECT_EQ(place->currentText(), "Title area");
        const int flap = place->findText("Feature flap");
        place->setCurrentIndex(flap);
        emit place->activated(flap);
        QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
        if (dialog->isVisible()) dialog->reject();
    });
    timer.start();
    ASSERT_EQ(w.Dispatch(kCmdImportSongs), 1);
    EXPECT_TRUE(app.prompter.answers.empty());
    EXPECT_EQ(places, QStringList({"No cover", "Feature flap", "Title area"}));
    EXPECT_EQ(w.document().currentPath(), QString::fromStdString(app.Path("out/tape.cas")));

    QFile written(QString::fromStdString(app.Path("out/tape-cover.jpg")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), jpeg);
    const Liner& liner = w.liner();
    EXPECT_EQ(liner.songsA.lineCount + liner.songsB.lineCount, 2);
    ASSERT_EQ(liner.pictures.size(), 1u);
    const Picture& p = liner.pictures[0];
    EXPECT_EQ(p.fileName, "tape-cover.jpg");
    // Fitted into the 4 by 1 in flap: as high as it, twice as wide, centred.
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const DepthSpan flap = FlapSpan(g);
    EXPECT_EQ(-p.top.twips, flap.top);
    EXPECT_NEAR(-p.height.twips, flap.height(), 2);
    EXPECT_NEAR(p.width.twips, 2 * -p.height.twips, 4);
    EXPECT_NEAR(p.left.twips, (g.width - p.width.twips) / 2, 2);

    ASSERT_EQ(w.Dispatch(kCmdUndo), 1);
    EXPECT_TRUE(w.liner().pictures.empty());
    EXPECT_EQ(w.liner().songsA.lineCount + w.liner().songsB.lineCount, 0);

    // Change... refuses what is no picture and keeps the cover; None imports
    // the songs without it.
    ImportSongsDialog dialog(w);
    ASSERT_TRUE(dialog.AddSources({album}));
    ASSERT_TRUE(dialog.cover());
    dialog.chooseCover = [&] { return notPicture; };
    app.prompter.shown.clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("CoverChangeButton"), Qt::LeftButton);
    EXPECT_EQ(app.prompter.LastText(),
              "notes.jpg is not a picture Reelcard can use as a cover. Please choose a JPEG, PNG, WebP or BMP "
              "picture of at most 16 MB.");
    ASSERT_TRUE(dialog.cover());
    EXPECT_EQ(dialog.cover()->bytes, jpeg);
    // A pipe named like a picture is refused at once instead of holding the
    // window until something writes into it.
    const std::string pipe = app.Path("pipe.jpg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    dialog.chooseCover = [&] { return QString::fromStdString(pipe); };
    QTest::mouseClick(dialog.findChild<QPushButton*>("CoverChangeButton"), Qt::LeftButton);
    EXPECT_NE(app.prompter.LastText().find("pipe.jpg is not a picture"), std::string::npos) << app.prompter.LastText();
    EXPECT_EQ(dialog.cover()->bytes, jpeg);
    // A cover that cannot be written leaves everything as it was, and says why.
    const Liner before = w.liner();
    w.document().SetFile(QString::fromStdString(app.Path("gone/tape.cas")), "tape.cas");
    EXPECT_FALSE(dialog.Apply());
    EXPECT_NE(app.prompter.LastText().find("The cover could not be put beside the liner (cannot write the cover " +
                                           app.Path("gone/tape-cover.jpg")),
              std::string::npos)
        << app.prompter.LastText();
    EXPECT_EQ(w.liner(), before);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(app.Path("gone"))));
    QTest::mouseClick(dialog.findChild<QPushButton*>("CoverNoneButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.cover());
    EXPECT_TRUE(dialog.findChild<QLabel*>("CoverThumbnail")->pixmap().isNull());
    ASSERT_TRUE(dialog.Apply());
    EXPECT_EQ(w.liner().songsA.lineCount + w.liner().songsB.lineCount, 2);
    EXPECT_TRUE(w.liner().pictures.empty());
}

}  // namespace
