// Laying out both song sides of a liner with 40 songs a side, in mixed fonts
// and with tabs, measured on the same surface the program paints with.
//
//   QT_QPA_PLATFORM=offscreen build/bin/reelcard_layout_bench

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "document/liner.h"
#include "platform/qt_surface.h"
#include "render/text_layout.h"

namespace {

FontEntry Font(int height, int weight, const char* face, int italic = 0) {
    FontEntry f;
    f.logFont.height = height;
    f.logFont.weight = weight;
    f.logFont.italic = static_cast<uint8_t>(italic);
    f.logFont.SetFaceName(face);
    return f;
}

Liner FullLiner() {
    Liner liner;
    for (int i = 0; i < 5; ++i) liner.fonts.push_back(Font(190, 400, "Liberation Sans"));
    liner.fonts.push_back(Font(190, 700, "Liberation Serif", 1));
    liner.defaultUnits = kUnitInches;
    liner.tabStopsText = "1.75in,3.75in";
    ParseTabStops(liner);
    for (TextBlock* side : {&liner.songsA, &liner.songsB}) {
        std::string text;
        for (int i = 1; i <= 40; ++i) {
            if (i > 1) text += "\r\n";
            text += std::to_string(i) + ". ";
            if (i % 3 == 0) text += "\x01\x06";
            text += "A song title that is long enough to wrap now and then";
            if (i % 3 == 0) text += "\x01\x05";
            text += "\xBB" + std::to_string(2 + i % 5) + ":" + std::to_string(10 + i);
        }
        *side = {40, text};
    }
    return liner;
}

void BM_LayOutBothSides(benchmark::State& state) {
    Liner liner = FullLiner();
    QImage image(64, 64, QImage::Format_RGB32);
    QPainter painter(&image);
    QtSurface surface(painter, 96, 96);
    Measurement within;
    const int columnWidth = 2880 - 216;
    for (auto _ : state) {
        int rows = 0;
        for (const TextBlock* side : {&liner.songsA, &liner.songsB}) {
            const int leftX = side == &liner.songsA ? 144 : 2880 + 72;
            for (std::string_view item : SplitItems(side->text, side->lineCount)) {
                RowBuffer buffer;
                int font = kFontSong;
                LayOut(surface, liner, font, columnWidth, item, leftX, 216, within, buffer);
                rows += static_cast<int>(buffer.rows.size());
            }
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_LayOutBothSides)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
