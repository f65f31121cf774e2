// The formats shipped beside the program, filled as a user fills them.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "document/liner_file.h"
#include "pictures/picture_host.h"
#include "platform/qt_surface.h"
#include "render/geometry.h"
#include "render/painter.h"
#include "support/test_support.h"

namespace {

// Remembers the texts drawn, in order.
class RecordingSurface : public QtSurface {
public:
    using QtSurface::QtSurface;
    void DrawText(int x, int y, std::string_view text) override {
        texts.emplace_back(text);
        QtSurface::DrawText(x, y, text);
    }
    std::vector<std::string> texts;
};

// Fonts need a GUI application, though never a display.
void App() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "reelcard_tools_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

// A side of 15 songs of one row each, such as most albums have.
TextBlock Side(const std::string& name) {
    TextBlock block;
    for (int i = 1; i <= 15; ++i) {
        if (i > 1) block.text += "\r\n";
        block.text += name + " song number " + std::to_string(i) + "\xBB" "3:17";
    }
    block.lineCount = 15;
    return block;
}

// A card whose song area is at least as large as a cassette's front (3.5 by
// 2.5 in) is expected to hold a whole album; smaller ones (a MiniDisc, a DAT,
// a microcassette insert, a spine label) only their title.
bool HoldsAnAlbum(const Liner& liner) {
    return liner.width.twips >= 3.5 * 1440 && liner.primaryHeight.twips >= 2.5 * 1440;
}

TEST(GalleryFormats, HoldAFifteenAndFifteenAlbumAtTheirSongSize) {
    App();
    const QStringList formats =
        QDir(QStringLiteral(REELCARD_BIN_DIR "/formats")).entryList({QStringLiteral("*.fmt")});
    ASSERT_FALSE(formats.isEmpty());
    for (const QString& name : formats) {
        SCOPED_TRACE(name.toStdString());
        Liner liner;
        ScriptedPrompter prompter;
        ASSERT_TRUE(ReadFormatFile(liner, REELCARD_BIN_DIR "/formats/" + name.toStdString(), prompter));
        liner.title = {1, "An Album"};
        const bool album = HoldsAnAlbum(liner);
        if (album) {
            liner.songsA = Side("First");
            liner.songsB = Side("Second");
        }

        const LinerGeometry g = ComputeLinerGeometry(liner);
        QImage image(TwipsToPixels(g.width + 1, 96) + 1, TwipsToPixels(g.totalHeight + 1, 96) + 1,
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        RecordingSurface surface(painter, 96, 96);
        PictureImages pictures;
        bool warning = true;
        PaintOptions options;
        options.printing = true;
        const PaintResult result = PaintLiner(surface, liner, options, pictures, prompter, warning);
        EXPECT_TRUE(result.allSongsFit);
        // Nothing left out, the title included, and nothing went wrong.
        EXPECT_TRUE(prompter.shown.empty()) << prompter.LastText();
        EXPECT_NE(std::find(surface.texts.begin(), surface.texts.end(), "An Album"), surface.texts.end());

        // With both sides in one column, something is drawn between the
        // last song of Side A and the first of Side B.
        if (liner.oneUpSides) {
            const auto& t = surface.texts;
            auto song = [&t](const std::string& name) {
                return std::find_if(t.begin(), t.end(), [&name](const std::string& text) {
                    return text == name || text.rfind(name + " ", 0) == 0;
                });
            };
            const auto lastA = song("First song number 15");
            const auto firstB = song("Second song number 1");
            ASSERT_TRUE(lastA != t.end() && firstB != t.end());
            // Side A's last song (and its time), then the mark, then Side B.
            const auto afterA = lastA->find("3:17") == std::string::npos ? lastA + 2 : lastA + 1;
            EXPECT_LT(afterA, firstB);
        }
    }
}

}  // namespace
