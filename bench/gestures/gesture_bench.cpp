// Dragging a picture across the view in 100 pointer steps, with five large
// pictures (2000 x 2000 pixels) on the liner: the time of each frame (the
// move handled and the changed part of the view painted) and the median.
//
//   QT_QPA_PLATFORM=offscreen build/bin/reelcard_gesture_bench

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench_support.h"
#include "document/liner_document.h"
#include "document/liner_file.h"
#include "document/measurement.h"
#include "platform/prompter.h"
#include "render/geometry.h"
#include "render/picture_gestures.h"
#include "render/view.h"

namespace {

// Counts the pixels the view paints, to show that a step repaints only
// what changed.
class PaintWatch : public QObject {
public:
    long long pixels = 0;
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) pixels += 1LL * r.width() * r.height();
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString samples = QStringLiteral(REELCARD_BIN_DIR "/samples");
    QDir::setCurrent(samples);
    LinerDocument document;
    BenchPrompter prompter("gesture bench");
    Liner& liner = document.liner();
    if (!ReadLinerFile(liner, (samples + "/mixtape.cas").toStdString(), true, prompter)) {
        std::fprintf(stderr, "gesture bench: cannot read mixtape.cas\n");
        return 1;
    }
    EnsureStandardFonts(liner);
    // Five pictures in a column over the areas, each a fifth of the liner.
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const int step = g.totalHeight / 5;
    for (int i = 0; i < 5; ++i) {
        Picture p;
        p.formatIndex = kReaderPng;
        p.fileName = BigBenchPicture("reelcard-gesture-bench", i);
        p.naturalWidth = FromTwips(1440, liner.defaultUnits);
        p.naturalHeight = FromTwips(-1440, liner.defaultUnits);
        SetPictureRect(p, {0, i * step, g.width / 2, step}, liner.defaultUnits);
        liner.pictures.push_back(p);
    }
    document.Replaced(false);

    LinerView view(document);
    view.SetPaintContext(&prompter, &document.songFitWarning());
    view.resize(900, 1000);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) return 1;
    // Decoded in the background: paint until every picture is in.
    QElapsedTimer waited;
    waited.start();
    PictureImages probe;
    while (waited.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        view.viewport()->repaint();
        bool all = true;
        for (size_t i = 0; i < liner.pictures.size(); ++i) {
            // The shared cache answers at once for a decoded file.
            PictureLookup found = probe.Get(i, liner.pictures[i], prompter);
            all = all && found.picture && !found.pending;
        }
        if (all) break;
    }
    view.viewport()->repaint();
    QApplication::processEvents();

    // Press on the third picture and drag it right and down, 100 steps of 3 pixels.
    QWidget* port = view.viewport();
    const PicturePlace start = PictureRectOf(liner.pictures[2]);
    PaintWatch watch;
    port->installEventFilter(&watch);
    // A drag of 100 steps from `at`; the frames it took, in order of time.
    auto drag = [port, &watch](QPoint at, QPoint step) {
        QTest::mousePress(port, Qt::LeftButton, {}, at);
        QApplication::processEvents();
        watch.pixels = 0;
        watch.paints = 0;
        std::vector<double> frames;
        QElapsedTimer timer;
        for (int i = 0; i < 100; ++i) {
            at += step;
            timer.start();
            QMouseEvent move(QEvent::MouseMove, at, port->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(port, &move);
            QApplication::processEvents();
            frames.push_back(timer.nsecsElapsed() / 1e6);
        }
        QTest::mouseRelease(port, Qt::LeftButton, {}, at);
        std::sort(frames.begin(), frames.end());
        return frames;
    };
    const std::vector<double> sorted =
        drag(view.PixelOf(start.left + start.width / 2, start.depth + start.height / 2), QPoint(3, 2));
    const double median = (sorted[49] + sorted[50]) / 2;
    const long long viewPixels = 1LL * port->width() * port->height();
    std::printf("gesture bench: 100 drag steps, 5 pictures of 2000 x 2000 pixels, view %d x %d\n", port->width(),
                port->height());
    std::printf("frame median %.2f ms, fastest %.2f ms, slowest %.2f ms\n", median, sorted.front(), sorted.back());
    std::printf("paints %d, repainted %.1f%% of the view per step\n", watch.paints,
                watch.paints ? 100.0 * watch.pixels / watch.paints / viewPixels : 0.0);
    const PicturePlace end = PictureRectOf(liner.pictures[2]);
    std::printf("picture moved by %d, %d twips; steps in the history: %d\n", end.left - start.left,
                end.depth - start.depth, document.history().count());

    // Then its bottom-right corner dragged outward, 100 steps of 2 pixels:
    // each step is a new size of the picture on the screen.
    const std::vector<double> frames = drag(view.PixelOf(end.left + end.width, end.depth + end.height), QPoint(2, 2));
    const PicturePlace resized = PictureRectOf(liner.pictures[2]);
    std::printf("resize: 100 steps, frame median %.2f ms, fastest %.2f ms, slowest %.2f ms; %d x %d twips\n",
                (frames[49] + frames[50]) / 2, frames.front(), frames.back(), resized.width, resized.height);
    return 0;
}
