// The formats shipped beside the program, filled as a user fills them.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "document/liner_file.h"
#include "pictures/picture_host.h"
#include "platform/qt_surface.h"
#include "render/geometry.h"
#include "render/liner_export.h"
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
        // Every length stands at a tab stop, apart from its title, so that
        // the lengths line up.
        if (album) {
            EXPECT_EQ(std::count(surface.texts.begin(), surface.texts.end(), "3:17"), 30);
        }

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

TEST(PngExport, TheFarCutLinesAreTheImagesLastColumnAndRowAtEveryResolution) {
    // 5850 twips tall: at 300 dpi the bottom cut line (at 5851 twips) lies
    // at 1218.96 pixels, in row 1218, which rounding would not make the last.
    App();
    Liner liner;
    EnsureStandardFonts(liner);
    liner.width.twips = 5760;
    liner.flapHeight.twips = 1440;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 3690;
    for (auto& letter : liner.sideLetters) letter.style = kLetterNone;
    for (int dpi : {72, 96, 150, 200, 300, 600, 1200, 333}) {
        SCOPED_TRACE(dpi);
        PictureImages pictures;
        ScriptedPrompter prompter;
        bool warning = false;
        const QImage image = RenderLinerImage(liner, dpi, false, ExportContext{pictures, prompter, warning});
        ASSERT_FALSE(image.isNull());
        const int w = image.width(), h = image.height();
        for (int k = 1; k < 4; ++k) {
            EXPECT_LT(qGray(image.pixel(w * k / 4, h - 1)), 128) << w << "x" << h;
            EXPECT_LT(qGray(image.pixel(w - 1, h * k / 4)), 128) << w << "x" << h;
        }
    }
}

}  // namespace
