#include "render/painter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <optional>

#include "pictures/picture_host.h"
#include "pictures/picture_test_support.h"
#include "platform/qt_surface.h"
#include "render/fixed_surface.h"
#include "render/text_layout.h"
#include "support/test_support.h"

namespace {

// 144 dpi: ten twips to the pixel, so positions read straight off the image.
constexpr int kDpi = 144;
constexpr int kTwipsPerPixel = 10;

constexpr int kW = 5759;  // the paper is 5760 twips wide with its edges
constexpr int kF = 1440;
constexpr int kT = 720;
constexpr int kP = 3600;

// Fonts need a GUI application; the render tests share one.
void App() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "reelcard_render_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
}

Measurement Twips(int twips) {
    Measurement m;
    m.unit = kUnitInches;
    m.twips = static_cast<int16_t>(twips);
    return m;
}

FontEntry Font(int height, uint32_t color = 0, int escapement = 0) {
    FontEntry f;
    f.logFont.height = height;
    f.logFont.weight = 400;
    f.logFont.escapement = escapement;
    f.logFont.SetFaceName("Liberation Sans");
    f.color = color;
    return f;
}

// A bare liner: four-inch strip, flap, title and primary area, no overflow
// area, no texts, letters and features; solid lines; 240-twip fonts.
Liner BareLiner() {
    Liner liner;
    for (int i = 0; i < 5; ++i) liner.fonts.push_back(Font(240));
    liner.width = Twips(kW);
    liner.flapHeight = Twips(kF);
    liner.titleHeight = Twips(kT);
    liner.primaryHeight = Twips(kP);
    liner.overflowHeight = Twips(0);
    for (auto& letter : liner.sideLetters) letter.style = kLetterNone;
    return liner;
}

TextBlock Block(const std::vector<std::string>& items) {
    TextBlock block;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) block.text += "\r\n";
        block.text += items[i];
    }
    block.lineCount = static_cast<int16_t>(items.size());
    return block;
}

struct Rendered {
    QImage image;
    PaintResult result;
};

// Paints on a white image the size of the paper (printing), or with the
// frame around it (screen); the liner's top-left corner at pixel
// (frame, frame).
Rendered Render(Liner& liner, bool printing = true, ScriptedPrompter* prompter = nullptr,
                bool* warning = nullptr, PictureImages* images = nullptr,
                PictureReaderTable* readers = nullptr, int frame = 0) {
    App();
    ScriptedPrompter localPrompter;
    bool localWarning = true;
    PictureImages localImages;
    const LinerGeometry g = ComputeLinerGeometry(liner);
    Rendered out;
    out.image = QImage((g.width + 1 + 2 * frame) / kTwipsPerPixel + 1,
                       (g.totalHeight + 1 + 2 * frame) / kTwipsPerPixel + 1, QImage::Format_RGB32);
    out.image.fill(Qt::white);
    QPainter painter(&out.image);
    QtSurface surface(painter, kDpi, kDpi);
    PaintOptions options;
    options.printing = printing;
    options.x = frame;
    options.y = -frame;
    options.readers = readers;
    out.result = PaintLiner(surface, liner, options, images ? *images : localImages,
                            prompter ? *prompter : localPrompter, warning ? *warning : localWarning);
    return out;
}

bool IsInk(QRgb c) { return qGray(c) < 160; }
bool IsWhite(QRgb c) { return (c & 0xFFFFFF) == 0xFFFFFF; }

QRgb At(const QImage& image, int x, int depth) {
    return image.pixel(x / kTwipsPerPixel, depth / kTwipsPerPixel);
}

// The box (in pixels) of ink within a rectangle of the paper given in twips
// (x and depth, right and bottom exclusive), or nothing.
std::optional<QRect> InkBox(const QImage& image, int left, int top, int right, int bottom,
                            bool (*ink)(QRgb) = IsInk) {
    std::optional<QRect> box;
    const int x0 = std::max(0, left / kTwipsPerPixel);
    const int x1 = std::min(image.width(), right / kTwipsPerPixel);
    const int y0 = std::max(0, top / kTwipsPerPixel);
    const int y1 = std::min(image.height(), bottom / kTwipsPerPixel);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (!ink(image.pixel(x, y))) continue;
            box = box ? box->united(QRect(x, y, 1, 1)) : QRect(x, y, 1, 1);
        }
    }
    return box;
}

// The interior of an area, clear of its fold lines and the paper's edges.
std::optional<QRect> InkInside(const QImage& image, int top, int bottom) {
    return InkBox(image, 3 * kTwipsPerPixel, top + 3 * kTwipsPerPixel, kW + 1 - 2 * kTwipsPerPixel,
                  bottom - 2 * kTwipsPerPixel);
}

int TextWidth(Liner& liner, int standard, const std::string& text) {
    App();
    QImage scratch(8, 8, QImage::Format_RGB32);
    QPainter painter(&scratch);
    QtSurface surface(painter, kDpi, kDpi);
    return LayOutUnbroken(surface, liner, standard, text).rows.front().width;
}

// ---- The empty liner, the frame and the lines ---------------------------------

TEST(PainterLines, EmptyLinerDrawsOnlyTheOutlineAndFoldLines) {
    Liner liner = BareLiner();
    const QImage image = Render(liner).image;
    const int H = kF + kT + kP;
    const std::vector<int> lineRows = {0, kF / 10, (kF + kT) / 10, (H + 1) / 10};
    const std::vector<int> lineColumns = {0, (kW + 1) / 10};
    auto nearAny = [](int v, const std::vector<int>& list) {
        for (int l : list) {
            if (std::abs(v - l) <= 1) return true;
        }
        return false;
    };
    int stray = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!IsWhite(image.pixel(x, y)) && !nearAny(y, lineRows) && !nearAny(x, lineColumns)) ++stray;
        }
    }
    EXPECT_EQ(stray, 0);
    // Each line is there along its whole length.
    for (int depth : {0, kF, kF + kT, H + 1}) {
        EXPECT_TRUE(IsInk(At(image, kW / 2, depth))) << depth;
        EXPECT_TRUE(IsInk(At(image, 200, depth))) << depth;
    }
    for (int x : {0, kW + 1}) EXPECT_TRUE(IsInk(At(image, x, H / 2))) << x;
}

TEST(PainterLines, CropMarksAndNoFoldLines) {
    Liner liner = BareLiner();
    liner.cutLineStyle = kLineCropMarks;
    liner.foldLineStyle = kLineNone;
    const QImage image = Render(liner).image;
    EXPECT_TRUE(IsInk(At(image, 30, 0)));                 // the arm of the top-left mark
    EXPECT_TRUE(IsWhite(At(image, 300, 0)));             // no outline beyond it
    EXPECT_TRUE(IsWhite(At(image, kW / 2, kF)));         // no fold line
    EXPECT_FALSE(InkInside(image, 0, kF + kT + kP).has_value());
}

TEST(PainterFrame, ScreenFillsTheFrameAndThePaperPrintingNeither) {
    Liner liner = BareLiner();
    const int frame = kScreenFrame;
    App();
    // On the screen the image starts out red: what is not painted stays red.
    auto paint = [&](bool printing) {
        QImage image((kW + 1 + 2 * frame) / 10 + 1, (kF + kT + kP + 1 + 2 * frame) / 10 + 1,
                     QImage::Format_RGB32);
        image.fill(QColor(255, 0, 0));
        QPainter painter(&image);
        QtSurface surface(painter, kDpi, kDpi);
        ScriptedPrompter prompter;
        PictureImages images;
        bool warning = true;
        PaintOptions options;
        options.x = frame;
        options.y = -frame;
        options.printing = printing;
        PaintLiner(surface, liner, options, images, prompter, warning);
        return image;
    };
    const QImage screen = paint(false);
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    EXPECT_EQ(QColor(screen.pixel(10, 10)), window);                       // above-left band
    EXPECT_EQ(QColor(screen.pixel(screen.width() - 10, screen.height() / 2)), window);
    EXPECT_EQ(QColor(screen.pixel(screen.width() / 2, screen.height() - 10)), window);
    EXPECT_TRUE(IsWhite(screen.pixel(screen.width() / 2, (frame + kF + kT + 1000) / 10)));

    const QImage print = paint(true);
    EXPECT_EQ(print.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(print.pixel(print.width() / 2, (frame + kF + kT + 1000) / 10), qRgb(255, 0, 0));
    EXPECT_TRUE(IsInk(print.pixel(frame / 10, (frame + kF + 500) / 10)));  // the outline is drawn
}

TEST(PainterFrame, SurfaceStateIsGivenBack) {
    Liner liner = BareLiner();
    liner.title = Block({"Title"});
    liner.sideLetters[kSideAPrimary] = {kLetterReverseVideo, Twips(60), Twips(144), "A"};
    FixedSurface surface;
    surface.pen = {kLineDotted, 0x123456};
    surface.textColor = 0x00FF00;
    surface.backgroundColor = 0x0000FF;
    surface.mode = BackgroundMode::Opaque;
    LogFont font;
    font.height = 999;
    surface.font = font;
    ScriptedPrompter prompter;
    PictureImages images;
    bool warning = true;
    PaintOptions options;
    options.x = 700;
    options.y = -300;
    PaintLiner(surface, liner, options, images, prompter, warning);
    EXPECT_EQ(surface.pen, (SurfacePen{kLineDotted, 0x123456}));
    EXPECT_EQ(surface.textColor, 0x00FF00u);
    EXPECT_EQ(surface.backgroundColor, 0x0000FFu);
    EXPECT_EQ(surface.mode, BackgroundMode::Opaque);
    EXPECT_EQ(surface.font.height, 999);
    EXPECT_EQ(surface.origin, SurfaceOrigin{});
}

// ---- Features ----------------------------------------------------------------

Feature MakeFeature(uint16_t style, int top, int side, const std::string& name) {
    Feature f;
    f.style = style;
    f.top = Twips(top);
    f.side = Twips(side);
    f.name = name;
    return f;
}

TEST(PainterFeatures, LeftRightAndCenteredPlaceTheNameInTheFeatureFont) {
    const int top = 400;
    const int side = 300;
    struct Case {
        uint16_t style;
        int expectedLeft;  // twips; -1: centred
    };
    Liner probe = BareLiner();
    const int width = TextWidth(probe, kFontFeature, "HHHH");
    for (const Case& c : {Case{kFeatureLeftJustified, side}, Case{kFeatureRightJustified, kW + 1 - side - width},
                          Case{kFeatureCentered, -1}, Case{9, side}}) {
        Liner liner = BareLiner();
        liner.fonts[kFontFeature - 1] = Font(240);
        liner.fonts[kFontFeatureName - 1] = Font(480);  // not used by these styles
        liner.features.push_back(MakeFeature(c.style, top, side, "HHHH"));
        const QImage image = Render(liner).image;
        const auto box = InkInside(image, 0, kF);
        ASSERT_TRUE(box) << c.style;
        const int expected = c.expectedLeft >= 0 ? c.expectedLeft : (kW + 1 - width) / 2;
        EXPECT_NEAR(box->left() * 10, expected, 40) << c.style;
        EXPECT_NEAR(box->width() * 10, width, 60) << c.style;
        // A 240-twip cell hangs from the feature's top.
        EXPECT_GE(box->top() * 10, top) << c.style;
        EXPECT_LE(box->bottom() * 10, top + 240) << c.style;
    }
}

Feature Sided(uint16_t style, const std::string& name, int selectedA, int selectedB) {
    Feature f = MakeFeature(style, 300, 200, name);
    f.sides[0] = {static_cast<int8_t>(selectedA), {"EEE", "FFF"}};
    f.sides[1] = {static_cast<int8_t>(selectedB), {"LLL", "TTT"}};
    return f;
}

TEST(PainterFeatures, SidedStylesShareOneBaseline) {
    // The name is twice as tall as the choices; all sit on the name's baseline.
    for (uint16_t style : {kFeatureCenteredWithSides, kFeatureAdjacentWithSides}) {
        Liner liner = BareLiner();
        liner.fonts[kFontFeatureName - 1] = Font(480);
        liner.fonts[kFontFeature - 1] = Font(240);
        liner.features.push_back(Sided(style, "HH", 1, 0));
        const QImage image = Render(liner).image;
        const auto all = InkInside(image, 0, kF);
        ASSERT_TRUE(all);
        // Letters without descenders: the bottoms of their ink are the baseline.
        // Centered with sides: A's choice at the left, B's at the right;
        // Adjacent: A's choice first, the rest of the line behind it.
        const bool adjacent = style == kFeatureAdjacentWithSides;
        const auto left = InkBox(image, 30, 30, adjacent ? 700 : 1500, kF - 20);
        const auto right = adjacent ? InkBox(image, 700, 30, 3000, kF - 20)
                                    : InkBox(image, kW - 1500, 30, kW - 20, kF - 20);
        ASSERT_TRUE(left && right) << style;
        if (style == kFeatureCenteredWithSides) {
            const auto middle = InkBox(image, 2000, 30, kW - 2000, kF - 20);
            ASSERT_TRUE(middle);
            EXPECT_NEAR(middle->bottom(), left->bottom(), 1);
            EXPECT_NEAR(middle->center().x() * 10, (kW + 1) / 2, 40);
            EXPECT_NEAR(left->left() * 10, 200, 40);               // A's choice at its margin
            EXPECT_NEAR((right->right() + 1) * 10, kW + 1 - 200, 40);  // B's at the other
            EXPECT_GT(middle->height(), left->height() * 3 / 2);   // the name is the taller
        }
        EXPECT_NEAR(left->bottom(), right->bottom(), 1) << style;
        // The baseline lies the tall font's ascent below the feature's top.
        EXPECT_GT(all->bottom() * 10, 300 + 300) << style;
        EXPECT_LT(all->bottom() * 10, 300 + 480) << style;
    }
}

TEST(PainterFeatures, BlankWithSidesAlignsTheChoicesAmongThemselves) {
    Liner liner = BareLiner();
    liner.fonts[kFontFeatureName - 1] = Font(960);  // would push the baseline down if used
    liner.fonts[kFontFeature - 1] = Font(240);
    liner.features.push_back(Sided(kFeatureBlankWithSides, "HH", 1, 0));
    const QImage image = Render(liner).image;
    const auto all = InkInside(image, 0, kF);
    ASSERT_TRUE(all);
    EXPECT_LE(all->bottom() * 10, 300 + 240);
    EXPECT_FALSE(InkBox(image, 2000, 30, kW - 2000, kF - 20).has_value());  // no name
}

// Exact positions on the fixed-metrics surface: characters 100 twips wide
// at 240 (a space 50), ascent four fifths of the height.
struct Drawn {
    FixedSurface surface;
    ScriptedPrompter prompter;
    PaintResult result;
};

std::unique_ptr<Drawn> PaintFixed(Liner& liner, bool* warning = nullptr) {
    auto out = std::make_unique<Drawn>();
    PictureImages images;
    bool localWarning = true;
    out->result = PaintLiner(out->surface, liner, PaintOptions{}, images, out->prompter,
                             warning ? *warning : localWarning);
    return out;
}

std::vector<std::string> TextsOf(const FixedSurface& s) {
    std::vector<std::string> texts;
    for (const auto& t : s.texts) texts.push_back(t.text);
    return texts;
}

TEST(PainterFeatures, AdjacentWithSidesBuildsOneLine) {
    Liner liner = BareLiner();
    liner.fonts[kFontFeatureName - 1] = Font(480);
    liner.features.push_back(Sided(kFeatureAdjacentWithSides, "NN", 1, 0));
    auto both = PaintFixed(liner);
    EXPECT_EQ(TextsOf(both->surface), (std::vector<std::string>{"FFF ", "NN ", "LLL"}));
    EXPECT_EQ(both->surface.texts[0].x, 200);
    EXPECT_EQ(both->surface.texts[1].x, 200 + 350);
    EXPECT_EQ(both->surface.texts[1].fontHeight, 480);
    // One baseline: the tallest font's ascent below the top.
    for (const auto& t : both->surface.texts) EXPECT_EQ(t.y, -(300 + 384));

    // No choice on Side A: the name comes first, without a leading space.
    liner.features[0].sides[0].selected = 7;
    auto noA = PaintFixed(liner);
    EXPECT_EQ(TextsOf(noA->surface), (std::vector<std::string>{"NN ", "LLL"}));
    EXPECT_EQ(noA->surface.texts[0].x, 200);
}

TEST(PainterFeatures, TurnedCenteredFeatureIsCentredAlongTheStrip) {
    Liner liner = BareLiner();
    liner.fonts.push_back(Font(240, 0, 900));
    liner.features.push_back(MakeFeature(kFeatureCentered, 100, 400, std::string("\x01\x06") + "HH"));
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(drawn->surface.texts.size(), 1u);
    const int H = kF + kT + kP;
    const int extent = H - 400 + 1;
    // Running down the paper, centred over [side, H + 1).
    EXPECT_EQ(drawn->surface.texts[0].y, -(400 + (extent - 200) / 2));
}

// ---- Side letters --------------------------------------------------------------

// Records the rounded boxes as well.
class BoxSurface : public FixedSurface {
public:
    void RoundRect(int x0, int y0, int x1, int y1, int ew, int eh) override {
        boxes.push_back({x0, y0, x1, y1, ew, eh, brush.color, pen.color});
    }
    struct Box {
        int x0, y0, x1, y1, ellipseWidth, ellipseHeight;
        SurfaceColor brush, pen;
    };
    std::vector<Box> boxes;
};

TEST(PainterLetters, ReverseVideoBoxIsFiftyTwipsLargerThanTheLetter) {
    Liner liner = BareLiner();
    liner.fonts[0] = Font(240, 0x00FF0000);  // blue
    liner.sideLetters[kSideAPrimary] = {kLetterReverseVideo, Twips(100), Twips(300), "AB"};
    BoxSurface surface;
    ScriptedPrompter prompter;
    PictureImages images;
    bool warning = true;
    PaintLiner(surface, liner, PaintOptions{}, images, prompter, warning);
    ASSERT_EQ(surface.boxes.size(), 1u);
    const auto& box = surface.boxes[0];
    const int d1 = kF + kT + 100;
    EXPECT_EQ(box.x0, 300 - 50);
    EXPECT_EQ(box.y0, -(d1 - 50));
    EXPECT_EQ(box.x1, 300 + 200 + 50);
    EXPECT_EQ(box.y1, -(d1 + 240 + 50));
    EXPECT_EQ(box.ellipseWidth, (200 + 50) / 4);
    EXPECT_EQ(box.ellipseHeight, (240 + 50) / 4);
    EXPECT_EQ(box.brush, 0x00FF0000u);
    EXPECT_EQ(box.pen, 0x00FF0000u);
    ASSERT_EQ(surface.texts.size(), 1u);
    EXPECT_EQ(surface.texts[0].color, kColorWhite);  // the background colour
    EXPECT_EQ(surface.texts[0].x, 300);
    EXPECT_EQ(surface.texts[0].y, -(d1 + 192));
}

TEST(PainterLetters, ReverseVideoOnImage) {
    Liner liner = BareLiner();
    liner.fonts[0] = Font(480, 0x00C00000);
    liner.sideLetters[kSideBPrimary] = {kLetterReverseVideo, Twips(150), Twips(400), "B"};
    const QImage image = Render(liner).image;
    const int tw = TextWidth(liner, kFontSideLetter, "B");
    const int d1 = kF + kT + 150;
    const int x = kW - 400 - tw + 1;
    auto blue = [](QRgb c) { return qBlue(c) > 150 && qRed(c) < 80; };
    const auto box = InkBox(image, 0, kF + kT + 20, kW, kF + kT + 1500, blue);
    ASSERT_TRUE(box);
    EXPECT_NEAR(box->left() * 10, x - 50, 15);
    EXPECT_NEAR((box->right() + 1) * 10, x + tw + 50, 15);
    EXPECT_NEAR(box->top() * 10, d1 - 50, 15);
    // The letter shows white inside its box.
    const auto white = InkBox(image, x, d1, x + tw, d1 + 480, [](QRgb c) { return IsWhite(c); });
    EXPECT_TRUE(white.has_value());
}

TEST(PainterLetters, LetterStraddlingThePrimaryBottomMovesToTheNextArea) {
    Liner liner = BareLiner();
    liner.overflowHeight = Twips(1440);
    liner.overflowCount = 1;
    liner.fonts[0] = Font(480);
    // Hangs from the primary top; 3500 down it would cross the bottom edge.
    liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(3500), Twips(200), "A"};
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(drawn->surface.texts.size(), 1u);
    EXPECT_EQ(drawn->surface.texts[0].y, -(kF + kT + kP + 3500 + 384));

    // Reverse video moves it 100 twips further.
    liner.sideLetters[kSideAPrimary].style = kLetterReverseVideo;
    auto boxed = PaintFixed(liner);
    EXPECT_EQ(boxed->surface.texts[0].y, -(kF + kT + kP + 100 + 3500 + 384));

    // A letter wholly inside the primary area stays.
    liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(1000), Twips(200), "A"};
    auto inside = PaintFixed(liner);
    EXPECT_EQ(inside->surface.texts[0].y, -(kF + kT + 1000 + 384));
}

TEST(PainterLetters, WithoutAnOverflowAreaTheLetterStaysOnThePaper) {
    Liner liner = BareLiner();
    liner.fonts[0] = Font(480);
    liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(kP - 200), Twips(200), "A"};
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(drawn->surface.texts.size(), 1u);
    EXPECT_EQ(drawn->surface.texts[0].y, -(kF + kT + kP - 200 + 384));
}

TEST(PainterLetters, FlapAndPrimaryLettersOnTheirSides) {
    Liner liner = BareLiner();
    liner.sideLetters[kSideAFlap] = {kLetterNormal, Twips(50), Twips(100), "a"};
    liner.sideLetters[kSideBFlap] = {kLetterNormal, Twips(60), Twips(110), "bb"};
    liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(70), Twips(120), "c"};
    liner.sideLetters[kSideBPrimary] = {kLetterNormal, Twips(80), Twips(130), "d"};
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(TextsOf(drawn->surface), (std::vector<std::string>{"a", "c", "bb", "d"}));
    const auto& t = drawn->surface.texts;
    EXPECT_EQ(t[0].x, 100);
    EXPECT_EQ(t[0].y, -(50 + 192));
    EXPECT_EQ(t[1].x, 120);
    EXPECT_EQ(t[1].y, -(kF + kT + 70 + 192));
    EXPECT_EQ(t[2].x, kW - 110 - 200 + 1);
    EXPECT_EQ(t[3].x, kW - 130 - 100 + 1);
    EXPECT_EQ(t[3].y, -(kF + kT + 80 + 192));
}

TEST(PainterLetters, InvertedOrderHangsLettersFromTheMovedAreas) {
    Liner liner = BareLiner();
    liner.invertImage = 1;
    liner.sideLetters[kSideAFlap] = {kLetterNormal, Twips(50), Twips(100), "a"};
    liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(70), Twips(120), "c"};
    auto drawn = PaintFixed(liner);
    const int H = kF + kT + kP;
    ASSERT_EQ(drawn->surface.texts.size(), 2u);
    EXPECT_EQ(drawn->surface.texts[0].y, -(H - kF + 1 + 50 + 192));
    EXPECT_EQ(drawn->surface.texts[1].y, -(H - kF - kT - kP + 1 + 70 + 192));
}

// ---- Songs ---------------------------------------------------------------------

Liner SongLiner() {
    Liner liner = BareLiner();
    for (auto& f : liner.songFormats) f = AreaFormat{};
    return liner;
}

TEST(PainterSongs, OneUpSidesPutsTheBPrimaryLetterBetweenTheSides) {
    Liner liner = SongLiner();
    liner.oneUpSides = 1;
    liner.fonts[0] = Font(480);
    liner.songsA = Block({"AA"});
    liner.songsB = Block({"BB"});
    liner.sideLetters[kSideBPrimary] = {kLetterNormal, Twips(30), Twips(150), "X"};
    const int top = kF + kT;

    auto with = PaintFixed(liner);
    ASSERT_EQ(TextsOf(with->surface), (std::vector<std::string>{"AA", "X", "BB"}));
    const auto& t = with->surface.texts;
    EXPECT_EQ(t[0].y, -(top + 192));
    EXPECT_EQ(t[1].x, 150);                             // on the left
    EXPECT_EQ(t[1].y, -(top + 240 + 30 + 384));         // directly below Side A, plus its top
    EXPECT_EQ(t[2].x, 0);
    EXPECT_EQ(t[2].y, -(top + 240 + 30 + 480 + 192));   // Side B below the letter
    EXPECT_EQ(with->result.sideBStart, (SideBStartPosition{0, 0, top + 240 + 30 + 480 - 48}));

    // Reverse video: Side B starts 100 twips lower.
    liner.sideLetters[kSideBPrimary].style = kLetterReverseVideo;
    auto boxed = PaintFixed(liner);
    EXPECT_EQ(boxed->surface.texts[2].y, t[2].y - 100);

    liner.sideLetters[kSideBPrimary].style = kLetterNone;
    auto without = PaintFixed(liner);
    ASSERT_EQ(TextsOf(without->surface), (std::vector<std::string>{"AA", "BB"}));
    EXPECT_EQ(without->surface.texts[1].y, -(top + 240 + 192));
}

TEST(PainterSongs, TwoColumnsAndTheSideBStart) {
    Liner liner = SongLiner();
    liner.songFormats[kSideAPrimaryArea].top = Twips(100);
    liner.songFormats[kSideBPrimaryArea].top = Twips(200);
    liner.songsA = Block({"A1", "A2"});
    liner.songsB = Block({"B1"});
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(TextsOf(drawn->surface), (std::vector<std::string>{"A1", "A2", "B1"}));
    const int top = kF + kT;
    EXPECT_EQ(drawn->surface.texts[2].x, (kW + 1) / 2);
    EXPECT_EQ(drawn->surface.texts[2].y, -(top + 200 + 192));
    EXPECT_EQ(drawn->result.sideBStart.x, (kW + 1) / 2);
    EXPECT_EQ(drawn->result.sideBStart.area, 0);

    // No songs on Side B: where its first song would start.
    liner.songsB = TextBlock{};
    auto empty = PaintFixed(liner);
    EXPECT_EQ(empty->result.sideBStart, (SideBStartPosition{0, (kW + 1) / 2, top + 200}));
}

TEST(PainterSongs, SongsFlowIntoOverflowAreasAndWarnOnce) {
    Liner liner = SongLiner();
    liner.overflowHeight = Twips(1440);
    liner.overflowCount = 2;
    liner.songFormats[kSideAOverflowArea].top = Twips(100);
    std::vector<std::string> songs;
    for (int i = 0; i < 40; ++i) songs.push_back("S" + std::to_string(i));
    liner.songsA = Block(songs);
    const int perPrimary = kP / 240;                // 15
    const int perOverflow = (1440 - 100) / 240;     // 5

    bool warning = true;
    auto drawn = PaintFixed(liner, &warning);
    const auto& t = drawn->surface.texts;
    ASSERT_EQ(static_cast<int>(t.size()), perPrimary + 2 * perOverflow);
    EXPECT_EQ(t[perPrimary].y, -(kF + kT + kP + 100 + 192));  // first song of overflow area 0
    EXPECT_EQ(t[perPrimary + perOverflow].y, -(kF + kT + kP + 1440 + 100 + 192));
    EXPECT_FALSE(drawn->result.allSongsFit);
    EXPECT_FALSE(warning);
    ASSERT_EQ(drawn->prompter.shown.size(), 1u);
    EXPECT_EQ(drawn->prompter.shown[0].text, "Not all songs will fit on Side A");

    // Disarmed: the next paint says nothing.
    auto again = PaintFixed(liner, &warning);
    EXPECT_TRUE(again->prompter.shown.empty());
}

TEST(PainterSongs, OverflowSongsOnImage) {
    Liner liner = SongLiner();
    liner.overflowHeight = Twips(1440);
    liner.overflowCount = 1;
    std::vector<std::string> songs(20, "HHH");
    liner.songsA = Block(songs);
    const QImage image = Render(liner).image;
    const int overflowTop = kF + kT + kP;
    const auto inOverflow = InkInside(image, overflowTop, overflowTop + 1440);
    ASSERT_TRUE(inOverflow);
    EXPECT_LT(inOverflow->right() * 10, (kW + 1) / 2);  // Side A's column only
    EXPECT_GE(inOverflow->top() * 10, overflowTop);
}

// ---- Turned text ---------------------------------------------------------------

// Songs (and letters) in a font turned by `rotation`, two columns, Bisect
// Sides off; many short songs.
Liner TurnedLiner(int rotation, int songCount) {
    Liner liner = SongLiner();
    liner.fonts[kFontSong - 1] = Font(240, 0, rotation * 10);
    liner.fonts[kFontSideLetter - 1] = Font(300, 0, rotation * 10);
    for (int i : {kSideAPrimaryArea, kSideBPrimaryArea, kSideAOverflowArea, kSideBOverflowArea}) {
        AreaFormat& f = liner.songFormats[static_cast<size_t>(i)];
        f.left = Twips(150);
        f.right = Twips(150);
        f.top = Twips(600);
        f.bottom = Twips(200);
    }
    liner.songsA = Block(std::vector<std::string>(static_cast<size_t>(songCount), "HHHH"));
    liner.songsB = Block(std::vector<std::string>(static_cast<size_t>(songCount), "HHHH"));
    return liner;
}

TEST(PainterTurned, SongsStayInsideTheirBands) {
    for (int rotation : {90, 270}) {
        Liner liner = TurnedLiner(rotation, 4);
        const QImage image = Render(liner).image;
        const int top = kF + kT;
        const int split = top + kP / 2;
        const auto a = InkInside(image, top, split);
        const auto b = InkInside(image, split, top + kP);
        ASSERT_TRUE(a && b) << rotation;
        // Along the band: inside its left and right margins.
        EXPECT_GE(a->top() * 10, top + 150 - 20) << rotation;
        EXPECT_LE((a->bottom() + 1) * 10, split - 150 + 20) << rotation;
        EXPECT_GE(b->top() * 10, split + 150 - 20) << rotation;
        EXPECT_LE((b->bottom() + 1) * 10, top + kP - 150 + 20) << rotation;
        // Across: the first song starts `top` in from the edge the glyph tops face.
        if (rotation == 90) {
            EXPECT_NEAR((a->right() + 1) * 10, kW - 600, 60);
        } else {
            EXPECT_NEAR(a->left() * 10, 600, 60);
        }
        // Four songs of 240: about 960 twips across.
        EXPECT_NEAR(a->width() * 10, 4 * 240, 150) << rotation;
        EXPECT_FALSE(InkInside(image, 0, kF).has_value()) << rotation;
        EXPECT_FALSE(InkInside(image, kF, top).has_value()) << rotation;
    }
}

TEST(PainterTurned, SongsMoveToTheNextAreaWhenTheStripIsCrossed) {
    // 5760 across: (5760 - 600 - 200) / 240 = 20 songs fit in an area.
    Liner liner = TurnedLiner(90, 26);
    liner.overflowCount = 1;
    liner.overflowHeight = Twips(2000);
    bool warning = true;
    auto drawn = PaintFixed(liner, &warning);
    int inPrimary = 0;
    int inOverflow = 0;
    const int overflowTop = kF + kT + kP;
    for (const auto& t : drawn->surface.texts) {
        EXPECT_GE(t.x, 0);
        EXPECT_LE(t.x, kW);
        (-t.y < overflowTop ? inPrimary : inOverflow)++;
    }
    EXPECT_EQ(inPrimary, 2 * 20);
    EXPECT_EQ(inOverflow, 2 * 6);
    // The paint answers the change that armed the warning, fit or not.
    EXPECT_FALSE(warning);
    EXPECT_TRUE(drawn->prompter.shown.empty());
    EXPECT_TRUE(drawn->result.allSongsFit);
    EXPECT_EQ(drawn->result.sideBStart.area, 0);

    // Too many for the overflow area too: the rest are left out, with the warning.
    warning = true;
    Liner more = TurnedLiner(90, 45);
    more.overflowCount = 1;
    more.overflowHeight = Twips(2000);
    auto full = PaintFixed(more, &warning);
    EXPECT_EQ(full->surface.texts.size(), 2u * 40);
    EXPECT_FALSE(warning);
    EXPECT_EQ(full->prompter.shown.size(), 1u);
}

TEST(PainterTurned, LettersRunAlongTheirAreaNearTheEdgeTheyFace) {
    for (int rotation : {90, 270}) {
        Liner liner = TurnedLiner(rotation, 0);
        liner.sideLetters[kSideAPrimary] = {kLetterReverseVideo, Twips(120), Twips(200), "AA"};
        liner.sideLetters[kSideBPrimary] = {kLetterNormal, Twips(120), Twips(200), "BB"};
        const QImage image = Render(liner).image;
        const int top = kF + kT;
        const int split = top + kP / 2;
        const auto a = InkInside(image, top, split);
        const auto b = InkInside(image, split, top + kP);
        ASSERT_TRUE(a && b) << rotation;
        const int tw = TextWidth(liner, kFontSideLetter, "AA");
        // A from the area's top end (its box 50 more), B up to its bottom end.
        EXPECT_NEAR(a->top() * 10, top + 200 - 50, 20) << rotation;
        EXPECT_NEAR(a->height() * 10, tw + 100, 30) << rotation;
        EXPECT_LE((b->bottom() + 1) * 10, top + kP - 200 + 10) << rotation;
        EXPECT_GT(b->bottom() * 10, top + kP - 200 - 80) << rotation;
        if (rotation == 90) {
            EXPECT_NEAR((a->right() + 1) * 10, kW - 120 + 50, 30);
            EXPECT_LE((b->right() + 1) * 10, kW - 120 + 10);
        } else {
            EXPECT_NEAR(a->left() * 10, 120 - 50, 30);
            EXPECT_GE(b->left() * 10, 120 - 10);
        }
    }
}

TEST(PainterTurned, OneUpSidesContinuesSideBAcrossTheWholeArea) {
    Liner liner = TurnedLiner(90, 3);
    liner.oneUpSides = 1;
    liner.sideLetters[kSideBPrimary] = {kLetterNormal, Twips(40), Twips(200), "X"};
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(TextsOf(drawn->surface),
              (std::vector<std::string>{"HHHH", "HHHH", "HHHH", "X", "HHHH", "HHHH", "HHHH"}));
    const auto& t = drawn->surface.texts;
    // Across the strip from the right edge: A's three songs, the letter, B.
    // At 90 degrees the baseline lies at x = W - travel - ascent.
    EXPECT_EQ(t[0].x, kW - 600 - 192);
    EXPECT_EQ(t[3].x, kW - (600 + 3 * 240 + 40) - 240);
    EXPECT_EQ(t[4].x, kW - (600 + 3 * 240 + 40 + 300) - 192);
    // Along the whole area from its top, inside the left margin.
    EXPECT_EQ(t[0].y, -(kF + kT + 150));
    EXPECT_EQ(t[3].y, -(kF + kT + 200));

    // An upright letter stands between the sides as it is, its width across
    // the strip: 125 twips at 300.
    liner.fonts[kFontSideLetter - 1] = Font(300);
    auto upright = PaintFixed(liner);
    const auto& u = upright->surface.texts;
    ASSERT_EQ(u.size(), 7u);
    EXPECT_EQ(u[3].x, kW - (600 + 3 * 240 + 40) - 125 + 1);
    EXPECT_EQ(u[3].y, -(kF + kT + 200 + 240));
    EXPECT_EQ(u[4].x, kW - (600 + 3 * 240 + 40 + 125) - 192);
}

TEST(PainterTurned, TurnedTitleStaysInTheTitleArea) {
    for (int rotation : {90, 270}) {
        Liner liner = BareLiner();
        liner.fonts[kFontTitle - 1] = Font(240, 0, rotation * 10);
        liner.title = Block({"HH HH", "HH"});
        liner.titleFormat.left = Twips(100);
        liner.titleFormat.right = Twips(100);
        liner.centerTitleVertically = 1;
        const QImage image = Render(liner).image;
        const auto title = InkInside(image, kF, kF + kT);
        ASSERT_TRUE(title) << rotation;
        EXPECT_GE(title->top() * 10, kF + 100 - 20) << rotation;
        EXPECT_LE((title->bottom() + 1) * 10, kF + kT - 100 + 20) << rotation;
        // Spread evenly across the strip: about as far from one edge as the other.
        EXPECT_NEAR(title->center().x() * 10, (kW + 1) / 2, 300) << rotation;
        EXPECT_FALSE(InkInside(image, kF + kT, kF + kT + kP).has_value()) << rotation;
        EXPECT_FALSE(InkInside(image, 0, kF).has_value()) << rotation;
    }
}

TEST(PainterTurned, UpsideDownLettersAreMirroredWithinTheirArea) {
    Liner liner = SongLiner();
    liner.fonts[0] = Font(480, 0, 1800);
    liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(100), Twips(200), "A"};
    const QImage image = Render(liner).image;
    const int top = kF + kT;
    const auto a = InkInside(image, top, top + kP);
    ASSERT_TRUE(a);
    // Its top margin counts from the area's bottom edge; it keeps Side A's side.
    EXPECT_LE((a->bottom() + 1) * 10, top + kP - 100 + 10);
    EXPECT_GT(a->bottom() * 10, top + kP - 100 - 120);
    EXPECT_LT(a->right() * 10, 1000);
}

// ---- Pictures ------------------------------------------------------------------

void WriteTga(const std::string& path, int width, int height, QRgb color) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    out[12] = static_cast<uint8_t>(width);
    out[13] = static_cast<uint8_t>(width >> 8);
    out[14] = static_cast<uint8_t>(height);
    out[15] = static_cast<uint8_t>(height >> 8);
    out[16] = 24;
    for (int i = 0; i < width * height; ++i) {
        out.push_back(static_cast<uint8_t>(qBlue(color)));
        out.push_back(static_cast<uint8_t>(qGreen(color)));
        out.push_back(static_cast<uint8_t>(qRed(color)));
    }
    WriteBytes(path, out);
}

void WriteBmp(const std::string& path, int width, int height, QRgb color) {
    picture_test::BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = 24;
    std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height),
                                            std::vector<uint32_t>(static_cast<size_t>(width),
                                                                  color & 0xFFFFFF));
    spec.pixels = picture_test::PackRows(width, rows, 24, true);
    WriteBytes(path, picture_test::MakeBmp(spec));
}

Picture PictureAt(const std::string& file, uint8_t reader, int left, int depth, int width, int height) {
    Picture p;
    p.left = Twips(left);
    p.top = Twips(-depth);
    p.width = Twips(width);
    p.height = Twips(-height);
    p.formatIndex = reader;
    p.fileName = file;
    return p;
}

TEST(PainterPictures, EachFormatIsDrawnInItsRectangle) {
    TempFolder dir;
    const QRgb color = qRgb(200, 30, 40);
    const std::string bmp = dir.Path("p.bmp");
    const std::string tga = dir.Path("p.tga");
    const std::string png = dir.Path("p.png");
    WriteBmp(bmp, 8, 4, color);
    WriteTga(tga, 8, 4, color);
    QImage source(8, 4, QImage::Format_RGB32);
    source.fill(color);
    ASSERT_TRUE(source.save(QString::fromStdString(png), "PNG"));

    PictureReaderTable readers(REELCARD_BIN_DIR);
    for (const auto& [file, reader] : {std::pair{bmp, kReaderBmp}, std::pair{tga, kReaderTga},
                                       std::pair{png, kReaderPng}}) {
        if (reader != kReaderBmp &&
            !QFileInfo::exists(QString::fromStdString(REELCARD_BIN_DIR "/" + PluginLibraryName(reader)))) {
            GTEST_SKIP() << "plugins not built: " << PluginLibraryName(reader);
        }
        Liner liner = BareLiner();
        liner.pictures.push_back(PictureAt(file, reader, 1000, 300, 2000, 800));
        ScriptedPrompter prompter;
        bool warning = true;
        PictureImages images;
        const QImage image = Render(liner, true, &prompter, &warning, &images, &readers).image;
        EXPECT_TRUE(prompter.shown.empty()) << file << ": " << prompter.LastText();
        auto red = [](QRgb c) { return qRed(c) > 150 && qGreen(c) < 80; };
        const auto box = InkBox(image, 0, 0, kW, kF, red);
        ASSERT_TRUE(box) << file;
        EXPECT_NEAR(box->left() * 10, 1000, 10) << file;
        EXPECT_NEAR(box->top() * 10, 300, 10) << file;
        EXPECT_NEAR((box->right() + 1) * 10, 3000, 10) << file;
        EXPECT_NEAR((box->bottom() + 1) * 10, 1100, 10) << file;
        EXPECT_TRUE(images.Has(0, file)) << file;
    }
}

TEST(PainterPictures, PicturesLieUnderTheLinesAndTheLastOnTop) {
    TempFolder dir;
    const std::string first = dir.Path("a.bmp");
    const std::string second = dir.Path("b.bmp");
    WriteBmp(first, 2, 2, qRgb(200, 0, 0));
    WriteBmp(second, 2, 2, qRgb(0, 200, 0));
    Liner liner = BareLiner();
    // Both cross the flap/title fold line; the second covers half the first.
    liner.pictures.push_back(PictureAt(first, kReaderBmp, 1000, kF - 500, 2000, 1000));
    liner.pictures.push_back(PictureAt(second, kReaderBmp, 2000, kF - 500, 2000, 1000));
    const QImage image = Render(liner).image;
    EXPECT_EQ(At(image, 1500, kF - 200), qRgb(200, 0, 0));
    EXPECT_EQ(At(image, 2500, kF - 200), qRgb(0, 200, 0));
    EXPECT_TRUE(IsInk(At(image, 2500, kF)));  // the fold line over the picture
    EXPECT_NE(At(image, 2500, kF), qRgb(0, 200, 0));
}

// Whether later paints try again is the picture host's policy.
TEST(PainterPictures, AMissingPictureIsReportedAndLeftOut) {
    TempFolder dir;
    Liner liner = BareLiner();
    const std::string missing = dir.Path("gone.bmp");
    liner.pictures.push_back(PictureAt(missing, kReaderBmp, 1000, 300, 2000, 800));
    ScriptedPrompter prompter;
    PictureImages images;
    bool warning = true;
    const QImage image = Render(liner, true, &prompter, &warning, &images).image;
    EXPECT_FALSE(InkInside(image, 0, kF).has_value());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Cannot open file '" + missing + "'");
    EXPECT_FALSE(InkInside(Render(liner, true, &prompter, &warning, &images).image, 0, kF));
}

// ---- Font changes at line breaks, turned text beyond the spine ----------------

std::string FontChange(int number) { return std::string{kFontChange, static_cast<char>(number)}; }

TEST(PainterFontChanges, ALineIsDrawnInTheFontOfItsFirstCharacter) {
    // Fonts 6 (big), 7 (small) and 8 (bigger) beside the standard ones.  A
    // change stored before a line break and one stored after it draw alike,
    // and a change that ends a text draws nothing.
    auto render = [](bool changeBeforeBreak) {
        Liner liner = SongLiner();
        liner.fonts.push_back(Font(480));
        liner.fonts.push_back(Font(160));
        liner.fonts.push_back(Font(720));
        liner.centerTitleVertically = 1;
        const std::string six = FontChange(6);
        const std::string seven = FontChange(7);
        const std::string eight = FontChange(8);
        if (changeBeforeBreak) {
            liner.title = {2, six + "Hh" + seven + "\r\nHh"};
            liner.songsA = {3, six + "Hh" + seven + "\r\nHh\r\nHh"};
            liner.songsB = {2, "Hh" + six + "\r\nHh"};
            liner.features = {MakeFeature(kFeatureLeftJustified, 200, 100, seven + "Nn" + eight)};
        } else {
            liner.title = {2, six + "Hh\r\n" + seven + "Hh"};
            liner.songsA = {3, six + "Hh\r\n" + seven + "Hh\r\nHh"};
            liner.songsB = {2, "Hh\r\n" + six + "Hh"};
            liner.features = {MakeFeature(kFeatureLeftJustified, 200, 100, seven + "Nn")};
        }
        return Render(liner).image;
    };
    const QImage before = render(true);
    const QImage after = render(false);
    ASSERT_FALSE(before.isNull());
    EXPECT_TRUE(before == after);
}

TEST(PainterTurned, EscapementsOutOfRangeTurnAsTheirAngle) {
    // Stored escapement, and the one within 0 ... 3599 it stands for.
    const std::pair<int, int> cases[] = {{-2700, 900}, {4500, 900}, {-900, 2700}, {6300, 2700}, {5400, 1800}};
    for (const auto& [stored, angle] : cases) {
        auto render = [](int escapement) {
            Liner liner = TurnedLiner(0, 3);
            for (int font : {kFontSong, kFontSideLetter, kFontTitle}) {
                liner.fonts[static_cast<size_t>(font) - 1].logFont.escapement = escapement;
            }
            liner.sideLetters[kSideAPrimary] = {kLetterNormal, Twips(120), Twips(200), "A"};
            liner.title = Block({"Hh"});
            return Render(liner).image;
        };
        EXPECT_TRUE(render(stored) == render(angle)) << stored;
    }
}

TEST(PainterTurned, ASongMovingToTheNextAreaTakesAllItsRows) {
    // 20 songs fit across an area; the 21st and 22nd move on whole, to the
    // tab stop that lies in their new band.
    Liner liner = TurnedLiner(90, 0);
    liner.overflowCount = 1;
    liner.overflowHeight = Twips(kP);
    liner.tabStops = {3000, kF + kT + kP + 840};
    liner.songsA = Block(std::vector<std::string>(22, "HH\xBB" "31"));
    auto drawn = PaintFixed(liner);
    const auto& t = drawn->surface.texts;
    ASSERT_EQ(t.size(), 44u);
    const int overflowTop = kF + kT + kP;
    int moved = 0;
    for (size_t i = 0; i < t.size(); i += 2) {
        ASSERT_EQ(t[i].text, "HH");
        const bool inOverflow = -t[i].y >= overflowTop;
        EXPECT_EQ(-t[i + 1].y >= overflowTop, inOverflow) << "song " << i / 2;
        // Both rows stay on the song's own line across the strip.
        EXPECT_EQ(t[i + 1].x, t[i].x) << "song " << i / 2;
        EXPECT_EQ(-t[i + 1].y, inOverflow ? kF + kT + kP + 840 : 3000) << "song " << i / 2;
        moved += inOverflow;
    }
    EXPECT_EQ(moved, 2);
}

// Ink outside a rectangle of the paper (twips: x and depth) on an image
// painted with a frame of `frame` twips around the paper.
int InkOutside(const QImage& image, int frame, int left, int top, int right, int bottom) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int tx = x * kTwipsPerPixel - frame;
            const int td = y * kTwipsPerPixel - frame;
            if (tx >= left && tx < right && td >= top && td < bottom) continue;
            ink += IsInk(image.pixel(x, y));
        }
    }
    return ink;
}

TEST(PainterTurned, ATurnedTitleLongerThanTheSpineStaysInsideAndWarnsOnce) {
    constexpr int kFrame = 1500;
    for (int rotation : {90, 270}) {
        for (int center : {0, 1}) {
            Liner liner = BareLiner();
            liner.cutLineStyle = kLineNone;
            liner.foldLineStyle = kLineNone;
            liner.fonts[kFontTitle - 1] = Font(300, 0, rotation * 10);
            liner.title = Block({"Summer Mixtape", "for Alex, August", "Side one and side two"});
            liner.titleFormat.left = Twips(144);
            liner.titleFormat.right = Twips(144);
            liner.centerTitleVertically = static_cast<uint8_t>(center);
            ScriptedPrompter prompter;
            bool warning = true;
            const QImage image = Render(liner, true, &prompter, &warning, nullptr, nullptr, kFrame).image;
            const std::string which = std::to_string(rotation) + (center ? " centred" : "");
            // Something of it is drawn, and all of that inside the title area.
            EXPECT_TRUE(InkBox(image, kFrame, kFrame + kF, kFrame + kW, kFrame + kF + kT).has_value()) << which;
            EXPECT_EQ(InkOutside(image, kFrame, 0, kF, kW + 1, kF + kT), 0) << which;
            ASSERT_EQ(prompter.shown.size(), 1u) << which;
            EXPECT_EQ(prompter.shown[0].text, "Not all of the title will fit in the title area");
            EXPECT_FALSE(warning);
            Render(liner, true, &prompter, &warning);
            EXPECT_EQ(prompter.shown.size(), 1u) << which;
        }
    }

    // Armed, both the title and the songs that do not fit are told.
    Liner liner = SongLiner();
    liner.fonts[kFontTitle - 1] = Font(400, 0, 900);
    liner.title = Block({"Summer Mixtape", "for Alex, August", "Side one and side two"});
    liner.titleFormat.left = Twips(144);
    liner.titleFormat.right = Twips(144);
    liner.songsA = Block(std::vector<std::string>(40, "HH"));
    auto drawn = PaintFixed(liner);
    ASSERT_EQ(drawn->prompter.shown.size(), 2u);
    EXPECT_EQ(drawn->prompter.shown[1].text, "Not all songs will fit on Side A");

    // A title that fits says nothing.
    liner.title = Block({"Mix"});
    liner.songsA = TextBlock{};
    EXPECT_TRUE(PaintFixed(liner)->prompter.shown.empty());
}

// ---- Everything at once, on the screen ----------------------------------------

TEST(PainterOrder, TitleSplitLineAndSongsOnTheScreen) {
    Liner liner = SongLiner();
    liner.title = Block({"HHH"});
    liner.titleFormat.alignment = kAlignCentered;
    liner.splitTitle = 1;
    liner.bisectArea = 1;
    liner.songsA = Block({"HH"});
    liner.songsB = Block({"HH"});
    const QImage image = Render(liner, false).image;
    // The split line across the title area, the bisect line down the songs.
    EXPECT_TRUE(IsInk(At(image, 300, kF + kT / 2)));
    EXPECT_TRUE(IsInk(At(image, (kW + 1) / 2, kF + kT + kP - 300)));
    const auto title = InkBox(image, 100, kF + 20, kW - 100, kF + kT / 2 - 20);
    ASSERT_TRUE(title);
    EXPECT_NEAR(title->center().x() * 10, (kW + 1) / 2, 40);
    EXPECT_TRUE(InkBox(image, 30, kF + kT + 20, 2000, kF + kT + 400).has_value());
    EXPECT_TRUE(InkBox(image, (kW + 1) / 2 + 30, kF + kT + 20, kW - 30, kF + kT + 400).has_value());
}

}  // namespace

// A surface on which one picture (the one 8 pixels wide) finds no memory to
// be drawn, as a PDF's copy of a very large picture may.
class NoMemoryForOnePicture : public FixedSurface {
public:
    void DrawImage(const QImage& image, int x, int y, int width, int height) override {
        if (image.width() == 8) throw std::bad_alloc();
        FixedSurface::DrawImage(image, x, y, width, height);
    }
};

TEST(PainterPictures, APictureThatFindsNoMemoryToBeDrawnIsLeftOutAndToldOnce) {
    TempFolder dir;
    WriteBmp(dir.Path("big.bmp"), 8, 4, qRgb(200, 30, 40));
    WriteBmp(dir.Path("small.bmp"), 4, 4, qRgb(20, 30, 240));
    Liner liner = BareLiner();
    liner.pictures.push_back(PictureAt(dir.Path("big.bmp"), kReaderBmp, 1000, 300, 2000, 800));
    liner.pictures.push_back(PictureAt(dir.Path("small.bmp"), kReaderBmp, 3000, 300, 800, 800));
    PictureImages images;
    ScriptedPrompter prompter;
    for (int paint = 0; paint < 2; ++paint) {
        NoMemoryForOnePicture surface;
        bool warning = true;
        PaintLiner(surface, liner, PaintOptions{}, images, prompter, warning);
        EXPECT_EQ(surface.images, 1) << paint;  // the other picture
        EXPECT_FALSE(surface.polylines.empty()) << paint;  // and the rest of the liner
    }
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.LastText(), "There is not enough memory to draw the picture '" + dir.Path("big.bmp") +
                                       "'; the liner is drawn without it");
    EXPECT_TRUE(images.anyFailed());
}
