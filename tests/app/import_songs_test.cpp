// The Import Songs window, the live totals of the song dialogs, Fit Songs.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/commands.h"
#include "app_test_support.h"
#include "dialogs/import_songs_dialog.h"
#include "dialogs/text_dialog.h"

namespace {

QString Cell(QTableWidget* list, int row, int column) {
    return list->item(row, column)->text();
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

}  // namespace
