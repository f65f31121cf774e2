// Painting whole liners of the bundled samples, as the view paints them
// (96 dpi, the frame around the paper, pictures already decoded) and as a
// print render at 600 dpi.
//
//   QT_QPA_PLATFORM=offscreen build/bin/reelcard_painter_bench

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "document/liner.h"
#include "document/liner_file.h"
#include "document/measurement.h"
#include "pictures/picture_host.h"
#include "platform/prompter.h"
#include "platform/qt_surface.h"
#include "render/geometry.h"
#include "render/painter.h"

namespace {

class QuietPrompter : public BenchPrompter {
public:
    QuietPrompter() : BenchPrompter("painter bench") {}
};

// The sample, read from the build's folder; its pictures are named relative
// to the samples folder, which becomes the current one.
Liner LoadSample(const char* name) {
    const QString folder = QStringLiteral(REELCARD_BIN_DIR "/samples");
    QDir::setCurrent(folder);
    Liner liner;
    QuietPrompter prompter;
    const std::string path = folder.toStdString() + "/" + name;
    if (!ReadLinerFile(liner, path, true, prompter)) {
        std::fprintf(stderr, "painter bench: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    EnsureStandardFonts(liner);
    return liner;
}

// Five 2000 x 2000 PNG pictures (made once), placed over the liner's areas.
const std::vector<std::string>& BigPictures() {
    static std::vector<std::string> paths = [] {
        std::vector<std::string> made;
        for (int i = 0; i < 5; ++i) made.push_back(BigBenchPicture("reelcard-painter-bench", i));
        return made;
    }();
    return paths;
}

void AddBigPictures(Liner& liner) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const int step = g.totalHeight / 5;
    for (int i = 0; i < 5; ++i) {
        Picture p;
        p.formatIndex = kReaderPng;
        p.fileName = BigPictures()[static_cast<size_t>(i)];
        p.left = FromTwips(0, liner.defaultUnits);
        p.top = FromTwips(-i * step, liner.defaultUnits);
        p.width = FromTwips(g.width, liner.defaultUnits);
        p.height = FromTwips(-step, liner.defaultUnits);
        liner.pictures.push_back(p);
    }
}

// The view: the liner 180 twips in from the client area's corner, the
// window colour around it, at 96 dpi on a widget-like image.
void ScreenPaint(benchmark::State& state, const char* sample, bool pictures5 = false) {
    Liner liner = LoadSample(sample);
    if (pictures5) AddBigPictures(liner);
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const int dpi = 96;
    QImage image(TwipsToPixels(g.width + 1 + 2 * kScreenFrame, dpi),
                 TwipsToPixels(g.totalHeight + 1 + 2 * kScreenFrame, dpi),
                 QImage::Format_ARGB32_Premultiplied);
    QuietPrompter prompter;
    PictureImages pictures;
    bool warning = true;
    PaintOptions options;
    options.x = kScreenFrame;
    options.y = -kScreenFrame;
    {
        // Pictures are decoded (and their screen copies made) once, before.
        QPainter painter(&image);
        QtSurface surface(painter, dpi, dpi);
        PaintLiner(surface, liner, options, pictures, prompter, warning);
    }
    for (auto _ : state) {
        QPainter painter(&image);
        QtSurface surface(painter, dpi, dpi);
        PaintLiner(surface, liner, options, pictures, prompter, warning);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Printing: the paper at 600 dpi on a white page.
void PrintRender(benchmark::State& state, const char* sample, bool pictures5 = false) {
    Liner liner = LoadSample(sample);
    if (pictures5) AddBigPictures(liner);
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const int dpi = 600;
    QImage image(TwipsToPixels(g.width + 1, dpi) + 1, TwipsToPixels(g.totalHeight + 1, dpi) + 1,
                 QImage::Format_RGB32);
    QuietPrompter prompter;
    PictureImages pictures;
    bool warning = true;
    PaintOptions options;
    options.printing = true;
    {
        QPainter painter(&image);
        QtSurface surface(painter, dpi, dpi);
        PaintLiner(surface, liner, options, pictures, prompter, warning);
    }
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QtSurface surface(painter, dpi, dpi);
        PaintLiner(surface, liner, options, pictures, prompter, warning);
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK_CAPTURE(ScreenPaint, mixtape, "mixtape.cas")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScreenPaint, long_album, "long-album.cas")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PrintRender, mixtape, "mixtape.cas")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PrintRender, long_album, "long-album.cas")->Unit(benchmark::kMillisecond);
// With five 2000 x 2000 pictures, decoded once before the timed paints.
BENCHMARK_CAPTURE(ScreenPaint, mixtape_5_pictures, "mixtape.cas", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PrintRender, mixtape_5_pictures, "mixtape.cas", true)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
