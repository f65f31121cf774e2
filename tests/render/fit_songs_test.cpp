#include "render/fit_songs.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>

#include "document/liner_file.h"
#include "document/liner_json.h"

namespace {

void App() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "reelcard_render_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
}

Liner LongAlbum() {
    QFile f(REELCARD_SOURCE_DIR "/resources/samples/long-album.json");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QString why;
    std::optional<Liner> liner =
        LinerFromJson(QJsonDocument::fromJson(f.readAll()).object(), FileKind::Liner, &why);
    EXPECT_TRUE(liner) << why.toStdString();
    return liner ? *liner : Liner();
}

TEST(FitSongs, ShrinksOnlyTheSongFontsUntilEverySongFits) {
    App();
    Liner liner = LongAlbum();
    EXPECT_EQ(SongsLeftOut(liner), 0);
    // Without its overflow panel the album does not fit the front.
    liner.overflowCount = 0;
    ASSERT_GT(SongsLeftOut(liner), 0);
    // A font of its own in one song, and one the title shares with a song.
    FontEntry own = liner.fonts[kFontSong - 1];
    own.logFont.italic = 1;
    liner.fonts.push_back(own);
    const int ownNumber = static_cast<int>(liner.fonts.size());
    FontEntry shared = own;
    shared.logFont.weight = 700;
    liner.fonts.push_back(shared);
    const int sharedNumber = ownNumber + 1;
    liner.songsA.text = std::string("\x01") + char(ownNumber) + liner.songsA.text + "\x01" +
                        char(sharedNumber) + "!";
    liner.title.text += std::string("\x01") + char(sharedNumber) + "!";
    EXPECT_EQ(SongOnlyFonts(liner), (std::set<int>{kFontSong, ownNumber}));

    const Liner before = liner;
    const SongFitResult result = FitSongs(liner);
    EXPECT_TRUE(result.fits);
    EXPECT_TRUE(result.changed);
    EXPECT_GT(result.steps, 0);
    EXPECT_EQ(SongsLeftOut(liner), 0);
    for (size_t i = 0; i < liner.fonts.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const LogFont& was = before.fonts[i].logFont;
        const LogFont& now = liner.fonts[i].logFont;
        if (i + 1 == kFontSong || static_cast<int>(i + 1) == ownNumber) {
            EXPECT_EQ(now.height, was.height - kFitStep * result.steps);
            EXPECT_GE(now.height, kFitSmallest);
            EXPECT_EQ(now.FaceName(), was.FaceName());
            EXPECT_EQ(now.escapement, was.escapement);
        } else {
            EXPECT_EQ(now, was);
        }
    }
    EXPECT_EQ(liner.songsA, before.songsA);
    EXPECT_EQ(liner.songsB, before.songsB);

    // Fitted once, the next run changes nothing.
    const SongFitResult again = FitSongs(liner);
    EXPECT_TRUE(again.fits);
    EXPECT_FALSE(again.changed);
}

TEST(FitSongs, ListThatCannotFitChangesNothing) {
    App();
    Liner liner = LongAlbum();
    std::string rows;
    for (int i = 0; i < 300; ++i)
        rows += (i ? "\r\n" : "") + std::string("Song ") + std::to_string(i);
    liner.songsA = {300, rows};
    const Liner before = liner;
    const SongFitResult result = FitSongs(liner);
    EXPECT_FALSE(result.fits);
    EXPECT_FALSE(result.changed);
    EXPECT_GT(result.songsLeftOut, 0);
    EXPECT_EQ(liner, before);
    // What is left out is what stays out at six points.
    Liner smallest = before;
    smallest.fonts[kFontSong - 1].logFont.height = kFitSmallest;
    EXPECT_EQ(result.songsLeftOut, SongsLeftOut(smallest));
}

}  // namespace
