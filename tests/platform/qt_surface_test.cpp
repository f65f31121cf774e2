#include "platform/qt_surface.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QBuffer>
#include <QImage>
#include <QPdfWriter>
#include <new>
#include <QPainter>
#include <cmath>

namespace {

// Fonts need a GUI application; the offscreen platform serves.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "reelcard_platform_tests";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);
        }
    }
};
[[maybe_unused]] ::testing::Environment* const kGui =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

LogFont Arial(int height, int escapement = 0) {
    LogFont f;
    f.SetFaceName("Arial");
    f.height = height;
    f.weight = 400;
    f.escapement = escapement;
    return f;
}

// A white image at 96 dpi: 15 twips to the pixel.
QImage WhiteImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    return image;
}

// The bounding box of every pixel that is not white.
QRect InkBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TEST(QtSurfaceTest, TwipsMapToDevicePixelsWithYUpwardAndAMovableOrigin) {
    QImage image = WhiteImage(200, 200);
    {
        QPainter painter(&image);
        QtSurface surface(painter);
        EXPECT_EQ(surface.ToDevice(1440, -1440), QPointF(96, 96));
        surface.FillRect(0, 0, 1440, -720, SurfaceBrush::Solid(MakeSurfaceColor(255, 0, 0)));
        SurfaceOrigin old = surface.MoveOrigin(1440, -1440);
        EXPECT_EQ(surface.ToDevice(0, 0), QPointF(96, 96));
        surface.FillRect(0, 0, 720, -720, SurfaceBrush::Solid(MakeSurfaceColor(0, 0, 255)));
        surface.RestoreOrigin(old);
        EXPECT_EQ(surface.ToDevice(0, 0), QPointF(0, 0));
    }
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(95, 47), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(10, 60), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(100, 100), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(150, 150), qRgb(255, 255, 255));
}

TEST(QtSurfaceTest, PositiveHeightIsTheCellNegativeTheEm) {
    QFont cell = MakeQFont(Arial(240));
    QFontMetricsF m(cell);
    EXPECT_NEAR(m.ascent() + m.descent(), 240.0, 2.0);
    EXPECT_LT(cell.pixelSize(), 240);
    EXPECT_FALSE(cell.kerning());
    EXPECT_EQ(MakeQFont(Arial(-240)).pixelSize(), 240);

    LogFont styled = Arial(300);
    styled.weight = 700;
    styled.italic = 1;
    styled.underline = 1;
    styled.strikeOut = 1;
    QFont f = MakeQFont(styled);
    EXPECT_EQ(f.weight(), QFont::Bold);
    EXPECT_TRUE(f.italic());
    EXPECT_TRUE(f.underline());
    EXPECT_TRUE(f.strikeOut());
    // An empty description still gives a usable font of the default size.
    QFontMetricsF bare(MakeQFont(LogFont{}));
    EXPECT_NEAR(bare.ascent() + bare.descent(), 240.0, 3.0);
}

TEST(QtSurfaceTest, ExtentsAreDeviceIndependentAndAddUpCharacterByCharacter) {
    const std::string line = "The quick brown fox jumps ov";  // 28 characters
    QImage low = WhiteImage(10, 10);
    QImage high = WhiteImage(10, 10);
    high.setDotsPerMeterX(23622);  // 600 dpi
    high.setDotsPerMeterY(23622);
    QPainter lowPainter(&low);
    QPainter highPainter(&high);
    QtSurface a(lowPainter);
    QtSurface b(highPainter);
    a.SetFont(Arial(240));
    b.SetFont(Arial(240));
    int sum = 0;
    for (char c : line) sum += a.TextExtent(std::string_view(&c, 1));
    EXPECT_EQ(a.TextExtent(line), sum);
    EXPECT_EQ(b.TextExtent(line), sum);
    EXPECT_EQ(a.Metrics(), b.Metrics());
    // Rounding each advance costs at most half a twip per character.
    QFontMetricsF m(MakeQFont(Arial(240)));
    EXPECT_NEAR(sum, m.horizontalAdvance(QString::fromStdString(line)), 14.0);
    EXPECT_GT(a.TextExtent("\xBB"), 0);  // Windows-1252 bytes, not UTF-8
}

TEST(QtSurfaceTest, BytesAreMeasuredAndDrawnInTheCodePageOfTheFontsCharacterSet) {
    LogFont western = Arial(480);
    LogFont cyrillic = western;
    cyrillic.charSet = 204;
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
    QFontMetricsF m(MakeQFont(cyrillic));
    long expected = 0;
    for (QChar ch : QString::fromUtf8("\u041F\u0440\u0438\u0432\u0435\u0442")) {
        expected += std::lround(m.horizontalAdvance(ch));
    }
    // The byte 0xCF: a capital Pe in Cyrillic, an I with diaeresis in Western,
    // whose dots stand above the capitals.
    auto inkOf = [](const LogFont& font, const std::string& text, int* extent) {
        QImage image = WhiteImage(300, 300);
        {
            QPainter painter(&image);
            QtSurface surface(painter);
            surface.SetFont(font);
            surface.SetBackground(BackgroundMode::Transparent);
            surface.DrawText(1440, -1440, text);
            if (extent) *extent = surface.TextExtent(text);
        }
        return InkBox(image);
    };
    int extent = 0;
    inkOf(cyrillic, privet, &extent);
    EXPECT_EQ(extent, expected);
    int westernExtent = 0;
    inkOf(western, privet, &westernExtent);
    EXPECT_NE(westernExtent, expected);
    const QRect capital = inkOf(western, "H", nullptr);
    const QRect pe = inkOf(cyrillic, "\xCF", nullptr);
    const QRect dotted = inkOf(western, "\xCF", nullptr);
    EXPECT_NEAR(pe.top(), capital.top(), 1);
    EXPECT_NEAR(pe.width(), capital.width(), 2);
    EXPECT_LT(dotted.top(), capital.top() - 2);
    // Realized once per code page: the two are different fonts.
    QtFontCache cache;
    EXPECT_NE(cache.Get(western), cache.Get(cyrillic));
    LogFont centralEuropean = western;
    centralEuropean.charSet = 238;
    EXPECT_EQ(cache.Get(centralEuropean)->glyph[0xA3], u'\u0141');
}

TEST(QtSurfaceTest, HebrewWordsRunRightToLeftInTheRoomTheyWereMeasuredFor) {
    LogFont hebrew = Arial(480);
    hebrew.charSet = 177;
    auto draw = [&](const std::vector<std::pair<int, std::string>>& parts) {
        QImage image = WhiteImage(300, 200);
        QPainter painter(&image);
        QtSurface surface(painter);
        surface.SetFont(hebrew);
        surface.SetBackground(BackgroundMode::Transparent);
        for (const auto& [x, text] : parts) surface.DrawText(x, -1440, text);
        return image;
    };
    QImage unused = WhiteImage(1, 1);
    QPainter measuring(&unused);
    QtSurface surface(measuring);
    surface.SetFont(hebrew);
    const int bet = surface.TextExtent("\xE1");
    // Alef then bet as stored: bet on the left, alef on its right.
    const QImage word = draw({{1440, "\xE0\xE1"}});
    const QImage apart = draw({{1440, "\xE1"}, {1440 + bet, "\xE0"}});
    const QImage stored = draw({{1440, "\xE0"}, {1440 + surface.TextExtent("\xE0"), "\xE1"}});
    auto differing = [](const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
        }
        return n;
    };
    EXPECT_LT(differing(word, apart), differing(word, stored) / 2);
    EXPECT_EQ(InkBox(word).left(), InkBox(apart).left());
}

TEST(QtSurfaceTest, RealizedFontsAreCachedByDescription) {
    QtFontCache cache;
    auto first = cache.Get(Arial(240));
    EXPECT_EQ(cache.Get(Arial(240)), first);
    EXPECT_NE(cache.Get(Arial(241)), first);
    EXPECT_EQ(cache.size(), 2u);
    cache.Clear();
    EXPECT_EQ(first->metrics.height, first->metrics.ascent + first->metrics.descent);
}

// Draws "HHHH" in a 480-twip font at (1440, -1440), device (96, 96).
struct Drawn {
    QRect ink;
    double extentPx = 0;
    double ascentPx = 0;
};

Drawn DrawH(int escapement, bool opaque = false) {
    QImage image = WhiteImage(300, 300);
    Drawn d;
    {
        QPainter painter(&image);
        QtSurface surface(painter);
        surface.SetFont(Arial(480, escapement));
        surface.SetBackground(opaque ? BackgroundMode::Opaque : BackgroundMode::Transparent);
        surface.SetBackgroundColor(MakeSurfaceColor(0, 255, 0));
        surface.DrawText(1440, -1440, "HHHH");
        d.extentPx = surface.TextExtent("HHHH") / 15.0;
        d.ascentPx = surface.Metrics().ascent / 15.0;
    }
    d.ink = InkBox(image);
    return d;
}

TEST(QtSurfaceTest, UprightTextSitsOnItsBaselineAndCoversItsExtent) {
    Drawn d = DrawH(0);
    ASSERT_FALSE(d.ink.isNull());
    EXPECT_NEAR(d.ink.bottom(), 95, 1);                   // on the baseline
    EXPECT_GT(d.ink.top(), 96 - d.ascentPx - 1);          // below the cell top
    EXPECT_NEAR(d.ink.left(), 96, 3);                     // side bearing only
    EXPECT_NEAR(d.ink.right(), 96 + d.extentPx, 4);
}

TEST(QtSurfaceTest, NinetyDegreesRunDownWithTopsTowardTheRight) {
    Drawn d = DrawH(900);
    ASSERT_FALSE(d.ink.isNull());
    EXPECT_GE(d.ink.left(), 95);
    EXPECT_LE(d.ink.right(), 96 + d.ascentPx + 1);
    EXPECT_NEAR(d.ink.top(), 96, 3);
    EXPECT_NEAR(d.ink.bottom(), 96 + d.extentPx, 4);
}

TEST(QtSurfaceTest, OneEightyDegreesRunLeftUpsideDown) {
    Drawn d = DrawH(1800);
    ASSERT_FALSE(d.ink.isNull());
    EXPECT_GE(d.ink.top(), 95);
    EXPECT_LE(d.ink.bottom(), 96 + d.ascentPx + 1);
    EXPECT_NEAR(d.ink.right(), 95, 3);
    EXPECT_NEAR(d.ink.left(), 96 - d.extentPx, 4);
}

TEST(QtSurfaceTest, TwoSeventyDegreesRunUpWithTopsTowardTheLeft) {
    Drawn d = DrawH(2700);
    ASSERT_FALSE(d.ink.isNull());
    EXPECT_LE(d.ink.right(), 96);
    EXPECT_GE(d.ink.left(), 96 - d.ascentPx - 1);
    EXPECT_NEAR(d.ink.bottom(), 95, 3);
    EXPECT_NEAR(d.ink.top(), 96 - d.extentPx, 4);
}

TEST(QtSurfaceTest, OpaqueTextFillsItsCellWithTheBackgroundColour) {
    Drawn d = DrawH(0, true);
    EXPECT_NEAR(d.ink.top(), 96 - d.ascentPx, 1.5);
    EXPECT_NEAR(d.ink.left(), 96, 1);
}

TEST(QtSurfaceTest, PensOfTheLineStylesAndTheNullPen) {
    QImage image = WhiteImage(200, 50);
    {
        QPainter painter(&image);
        QtSurface surface(painter);
        SurfacePoint solid[] = {{0, -150}, {2880, -150}};
        surface.SetPen({0, kColorBlack});
        surface.Polyline(solid, 2);
        SurfacePoint none[] = {{0, -450}, {2880, -450}};
        surface.SetPen({5, kColorBlack});
        surface.Polyline(none, 2);
        SurfacePoint dotted[] = {{0, -600}, {2880, -600}};
        surface.SetPen({2, kColorBlack});
        surface.Polyline(dotted, 2);
    }
    int solidInk = 0, noneInk = 0, dottedInk = 0;
    for (int x = 0; x < 190; ++x) {
        solidInk += image.pixel(x, 10) != qRgb(255, 255, 255);
        noneInk += image.pixel(x, 30) != qRgb(255, 255, 255);
        dottedInk += image.pixel(x, 40) != qRgb(255, 255, 255);
    }
    EXPECT_GE(solidInk, 185);
    EXPECT_EQ(noneInk, 0);
    EXPECT_GT(dottedInk, 20);
    EXPECT_LT(dottedInk, 170);
}

TEST(QtSurfaceTest, PicturesStoredWithNegatedHeightAppearUpright) {
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(255, 0, 0));
    picture.setPixel(0, 1, qRgb(0, 0, 255));
    picture.setPixel(1, 1, qRgb(0, 0, 255));
    QImage image = WhiteImage(100, 100);
    {
        QPainter painter(&image);
        QtSurface surface(painter);
        surface.DrawImage(picture, 0, 0, 1440, -1440);
    }
    EXPECT_EQ(image.pixel(20, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(20, 80), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(98, 98), qRgb(255, 255, 255));
}

// A PDF holds a 32-bit copy of most pictures.  Where that copy cannot be
// made (here: too wide for one, as a huge picture finds no memory), the
// picture fails alone instead of going in as an image no reader can open.
TEST(QtSurfaceTest, APdfPictureWithoutRoomForItsCopyFailsAloneAndTheFileStaysWhole) {
    QImage huge(68'000'000, 1, QImage::Format_Grayscale8);
    ASSERT_FALSE(huge.isNull());
    huge.fill(0);
    QImage small(2, 2, QImage::Format_Grayscale8);
    small.fill(128);
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    {
        QPdfWriter writer(&buffer);
        QPainter painter(&writer);
        QtSurface surface(painter);
        EXPECT_THROW(surface.DrawImage(huge, 0, 0, 1440, -20), std::bad_alloc);
        surface.DrawImage(small, 0, 0, 1440, -1440);
    }
    EXPECT_FALSE(buffer.data().contains("/Width 0")) << "an empty image object was written";
    EXPECT_TRUE(buffer.data().contains("/Width 2"));
}

TEST(QtSurfaceTest, RoundedBoxUsesThePenAndBrush) {
    QImage image = WhiteImage(100, 100);
    {
        QPainter painter(&image);
        QtSurface surface(painter);
        surface.SetPen({0, MakeSurfaceColor(0, 0, 255)});
        surface.SetBrush(SurfaceBrush::Solid(MakeSurfaceColor(0, 0, 255)));
        surface.RoundRect(150, -150, 1290, -1290, 300, 300);
    }
    EXPECT_EQ(image.pixel(48, 48), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(11, 11), qRgb(255, 255, 255));  // the corner is rounded off
    EXPECT_EQ(image.pixel(48, 11), qRgb(0, 0, 255));
}

TEST(QtSurfaceTest, SurfaceGivesThePainterItsTransformBack) {
    QImage image = WhiteImage(10, 10);
    QPainter painter(&image);
    painter.translate(3, 4);
    QTransform before = painter.transform();
    {
        QtSurface surface(painter);
        surface.MoveOrigin(100, 100);
    }
    EXPECT_EQ(painter.transform(), before);
}

}  // namespace
