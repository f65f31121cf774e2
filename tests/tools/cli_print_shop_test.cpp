// What a print shop and a home printer get from reelcard-cli's PDFs, read
// back with poppler: the pictures as their sources, bleed with its boxes and
// crop marks, and as many cards a sheet as fit.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <map>
#include <set>

#include "document/liner_file.h"
#include "support/test_support.h"
#include "tools/cli_run.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString Tool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// One row of `pdfimages -list`.
struct PdfImage {
    int page = 0;
    QString type, encoding;
    int width = 0, height = 0, object = 0;
};

std::vector<PdfImage> ListImages(const std::string& pdf) {
    std::vector<PdfImage> images;
    const QStringList lines = Tool("pdfimages", {"-list", Q(pdf)}).split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(' ', Qt::SkipEmptyParts);
        if (f.size() < 12) continue;
        images.push_back({f[0].toInt(), f[2], f[8], f[3].toInt(), f[4].toInt(), f[10].toInt()});
    }
    return images;
}

// A picture whose neighbouring pixels differ, as a JPEG encoder smears them.
QImage Busy(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, ((x ^ y) * 53) % 256, (x * y * 7) % 256));
        }
    }
    return image;
}

int MaxDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return worst;
}

Measurement Twips(int twips) {
    Measurement m;
    m.twips = static_cast<int16_t>(twips);
    return m;
}

Picture PictureAt(const std::string& name, int left, int top, int width, int height) {
    Picture p;
    p.formatIndex = name.ends_with(".jpg") ? 1 : 3;  // the JPEG and PNG readers
    p.left = Twips(left);
    p.top = Twips(-top);
    p.width = Twips(width);
    p.height = Twips(-height);
    p.fileName = name;
    return p;
}

// A 4 by 4.0625 in J-card titled "Mix" with solid cut lines and dotted folds.
Liner JCard() {
    Liner liner;
    EnsureStandardFonts(liner);
    liner.title = {1, "Mix"};
    liner.width.twips = 5760;
    liner.flapHeight.twips = 900;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 4230;
    liner.overflowCount = 0;
    liner.cutLineStyle = 0;
    liner.foldLineStyle = 2;
    return liner;
}

std::string Save(Liner liner, const TempFolder& dir, const std::string& name) {
    ScriptedPrompter prompter;
    const std::string path = dir.Path(name);
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    return path;
}

TEST(CliPrintShop, PdfPicturesKeepTheirSourcePixelsAndGoInOnce) {
    TempFolder dir;
    const QImage busy = Busy(48, 32);
    ASSERT_TRUE(busy.save(Q(dir.Path("busy.png"))));
    ASSERT_TRUE(Busy(64, 48).save(Q(dir.Path("photo.jpg")), "JPEG", 80));
    const QImage photo(Q(dir.Path("photo.jpg")));
    Liner liner = JCard();
    liner.pictures = {PictureAt(dir.Path("busy.png"), 200, 1000, 1440, 960), PictureAt(dir.Path("photo.jpg"), 2000, 2000, 2880, 2160)};
    const std::string cas = Save(liner, dir, "pictures.cas");

    const std::string rendered = dir.Path("render.pdf"), printed = dir.Path("print.pdf");
    ASSERT_EQ(Cli({"render", Q(cas), "-o", Q(rendered)}).status, 0);
    ASSERT_EQ(Cli({"print", Q(cas), "-o", Q(printed), "--copies", "3"}).status, 0);
    for (const std::string& pdf : {rendered, printed}) {
        SCOPED_TRACE(pdf);
        std::set<int> objects;
        int shown = 0;
        for (const PdfImage& image : ListImages(pdf)) {
            if (image.type != "image") continue;
            ++shown;
            objects.insert(image.object);
            // Flate ("image"), never a JPEG of the writer's own, at the source's size.
            EXPECT_EQ(image.encoding, "image");
            EXPECT_TRUE(QSize(image.width, image.height) == busy.size() ||
                        QSize(image.width, image.height) == photo.size())
                << image.width << "x" << image.height;
        }
        EXPECT_EQ(shown, pdf == rendered ? 2 : 6);
        EXPECT_EQ(objects.size(), 2u);  // each picture stored once, however often it shows

        const QString prefix = Q(pdf) + "-img";
        Tool("pdfimages", {"-png", "-f", "1", "-l", "1", Q(pdf), prefix});
        std::map<int, QImage> bySize;
        for (const QFileInfo& file : QDir(Q(dir.Path(""))).entryInfoList({QFileInfo(prefix).fileName() + "*.png"})) {
            const QImage image(file.filePath());
            bySize[image.width()] = image.convertToFormat(QImage::Format_RGB32);
        }
        EXPECT_EQ(MaxDifference(bySize[48], busy), 0);
        // The JPEG as decoded, give or take the decoders' rounding.
        EXPECT_LE(MaxDifference(bySize[64], photo.convertToFormat(QImage::Format_RGB32)), 2);
    }
}

// A page's boxes as pdfinfo -box gives them: left, bottom, right, top in points.
struct Boxes {
    QRectF media, bleed, trim;
};

QRectF Box(const QString& info, const QString& name) {
    const QRegularExpression pattern(name + R"(:\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+))");
    const QRegularExpressionMatch m = pattern.match(info);
    if (!m.hasMatch()) return {};
    return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                  QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
}

Boxes ReadBoxes(const std::string& pdf) {
    const QString info = Tool("pdfinfo", {"-box", Q(pdf)});
    return {Box(info, "MediaBox"), Box(info, "BleedBox"), Box(info, "TrimBox")};
}

int Pages(const std::string& pdf) {
    const QRegularExpressionMatch m = QRegularExpression(R"(Pages:\s+(\d+))").match(Tool("pdfinfo", {Q(pdf)}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page `page` of `pdf` at `dpi`.
QImage Raster(const std::string& pdf, int page, int dpi) {
    const QString base = Q(pdf) + "-page";
    Tool("pdftoppm", {"-r", QString::number(dpi), "-f", QString::number(page), "-l", QString::number(page),
                      "-png", "-singlefile", Q(pdf), base});
    return QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
}

bool Inked(const QImage& image, double x, double y) {
    const QPoint at(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (qGray(image.pixel(at + QPoint(dx, dy))) < 160) return true;
        }
    }
    return false;
}

TEST(CliPrintShop, BleedGivesBoxesCropMarksAndPicturesPastTheCut) {
    TempFolder dir;
    ASSERT_TRUE(Busy(48, 32).save(Q(dir.Path("busy.png"))));
    Liner liner = JCard();
    // One over the top-left corner, a quarter inch past two cut edges; one
    // that ends exactly at the right edge.
    liner.pictures = {PictureAt(dir.Path("busy.png"), -360, -360, 1800, 1320),
                      PictureAt(dir.Path("busy.png"), 4321, 0, 1440, 960)};
    const std::string cas = Save(liner, dir, "bleed.cas"), pdf = dir.Path("bleed.pdf");
    CliRun run = Cli({"render", Q(cas), "-o", Q(pdf), "--bleed", "0.125in"});
    ASSERT_EQ(run.status, 0) << run.err;

    // The card is 5761 by 5851 twips with its far cut lines; the bleed 9 pt.
    const Boxes boxes = ReadBoxes(pdf);
    EXPECT_NEAR(boxes.trim.width(), 288.05, 0.01);
    EXPECT_NEAR(boxes.trim.height(), 292.55, 0.01);
    EXPECT_NEAR(boxes.bleed.left(), boxes.trim.left() - 9, 0.01);
    EXPECT_NEAR(boxes.bleed.right(), boxes.trim.right() + 9, 0.01);
    EXPECT_NEAR(boxes.bleed.top(), boxes.trim.top() - 9, 0.01);
    EXPECT_NEAR(boxes.bleed.bottom(), boxes.trim.bottom() + 9, 0.01);
    // The marks (from 12.6 to 30.6 pt outside the cut) lie within the page.
    EXPECT_GE(boxes.trim.left() - boxes.media.left(), 30.6);
    EXPECT_GE(boxes.media.right() - boxes.trim.right(), 30.6);
    std::set<int> stored;
    for (const PdfImage& image : ListImages(pdf)) stored.insert(image.object);
    EXPECT_EQ(stored.size(), 1u);  // one file, stored once

    // At 144 dpi, from the page's top-left corner: two pixels a point.
    const QImage page = Raster(pdf, 1, 144);
    ASSERT_FALSE(page.isNull());
    const double left = 2 * boxes.trim.left(), top = 2 * (boxes.media.height() - boxes.trim.bottom());
    const double right = 2 * boxes.trim.right();
    EXPECT_TRUE(Inked(page, left, top - 40));        // crop marks above the corner
    EXPECT_TRUE(Inked(page, left - 40, top));        // and beside it, on the top cut line
    EXPECT_TRUE(Inked(page, right + 40, top + 0));  // and right of it
    EXPECT_FALSE(Inked(page, left + 288, top));       // no cut line along the top edge
    EXPECT_FALSE(Inked(page, left + 288, top - 10));  // nothing in the bleed away from the picture
    // The first picture runs on past the left and top edges as far as the
    // bleed, and no further; the second ends where the card does.
    // The picture's colours vary, so each place is a stretch of 80 pixels
    // beside the corner, clear of the crop marks.
    auto down = [&page, top](double x) {
        for (int d = 10; d < 90; ++d) {
            if (Inked(page, x, top + d)) return true;
        }
        return false;
    };
    auto across = [&page](double from, double y) {
        for (int d = 0; d < 80; ++d) {
            if (Inked(page, from + d, y)) return true;
        }
        return false;
    };
    EXPECT_TRUE(down(left - 9));
    EXPECT_TRUE(across(left + 10, top - 9));
    EXPECT_FALSE(down(left - 22));
    EXPECT_FALSE(across(left + 10, top - 22));
    EXPECT_TRUE(down(right - 9));
    EXPECT_FALSE(down(right + 9));
    EXPECT_FALSE(across(right - 90, top - 9));
    // The folds stay: the dotted flap fold 45 pt down.
    int fold = 0;
    for (int x = 0; x < 400; ++x) fold += Inked(page, left + 200 + x, top + 90);
    EXPECT_GT(fold, 40);

    // Printed with bleed, a sheet of one card has the same boxes.
    const std::string sheet = dir.Path("sheet.pdf");
    run = Cli({"print", Q(cas), "-o", Q(sheet), "--bleed", "0.3cm", "--copies", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Pages(sheet), 2);
    const Boxes printed = ReadBoxes(sheet);
    EXPECT_NEAR(printed.trim.width(), 288.05, 0.01);
    EXPECT_NEAR(printed.trim.left() - printed.bleed.left(), 0.3 / 2.54 * 72, 0.05);

    // Only a PDF has bleed, and only so much of it.
    EXPECT_EQ(Cli({"render", Q(cas), "-o", Q(dir.Path("x.png")), "--bleed", "0.125in"}).status, 2);
    EXPECT_EQ(Cli({"render", Q(cas), "-o", Q(pdf), "--bleed", "2in"}).status, 2);
    EXPECT_EQ(Cli({"print", Q(cas), "-o", Q(pdf), "--bleed", "3mm"}).status, 2);
}

TEST(CliPrintShop, AsManyCardsASheetAsFitInOrderThroughFilesAndCopies) {
    TempFolder dir;
    Liner liner = JCard();
    std::vector<std::string> files;
    for (const char* title : {"Alpha", "Bravo", "Charlie"}) {
        liner.title = {1, title};
        files.push_back(Save(liner, dir, std::string(title) + ".cas"));
    }
    const std::string pdf = dir.Path("sheets.pdf");
    // Four 4 by 4.0625 in J-cards a sheet on A4 and on Letter.
    for (const char* paper : {"A4", "Letter"}) {
        CliRun run = Cli({"print", Q(files[0]), "-o", Q(pdf), "--n-up", "--copies", "5", "--paper", paper});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Pages(pdf), 2) << paper;
    }
    // Each file in two copies: Alpha, Alpha, Bravo, Bravo on the first sheet
    // (row by row), Charlie twice on the second.
    CliRun run = Cli({"print", Q(files[0]), Q(files[1]), Q(files[2]), "-o", Q(pdf), "--n-up", "--copies", "2",
                      "--margins", "0.1in,0.1in,1in,1in"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Pages(pdf), 2);
    const QString first = Tool("pdftotext", {"-f", "1", "-l", "1", "-layout", Q(pdf), "-"});
    EXPECT_EQ(first.count("Alpha"), 2);
    EXPECT_EQ(first.count("Bravo"), 2);
    EXPECT_LT(first.indexOf("Alpha"), first.indexOf("Bravo"));
    EXPECT_EQ(Tool("pdftotext", {"-f", "2", "-l", "2", Q(pdf), "-"}).count("Charlie"), 2);
    // Crop marks above the grid (1 in down) on the three cut lines between
    // and beside the cards: from 0.1 in across, a card's width apart.
    const QImage page = Raster(pdf, 1, 144);
    ASSERT_FALSE(page.isNull());
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(Inked(page, 2 * (7.2 + k * 288.05), 2 * 60)) << k;
    EXPECT_FALSE(Inked(page, 2 * (7.2 + 144), 2 * 60));

    // A card that goes more times on a turned sheet turns it: 2.6 by 4 in
    // cards go six upright on Letter and eight turned.
    liner = JCard();
    liner.width.twips = 3744;
    liner.primaryHeight.twips = 5760 - 900 - 720 - 1;
    const std::string small = Save(liner, dir, "small.cas");
    run = Cli({"print", Q(small), "-o", Q(pdf), "--n-up", "--copies", "8", "--paper", "Letter"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Pages(pdf), 1);
    EXPECT_TRUE(Tool("pdfinfo", {Q(pdf)}).contains("792 x 612"));

    // 2-up and n-up exclude each other.
    EXPECT_EQ(Cli({"print", Q(small), "-o", Q(pdf), "--n-up", "--2up"}).status, 2);
}

}  // namespace
