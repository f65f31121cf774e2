#include "render/fit_songs.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "pictures/picture_host.h"
#include "platform/prompter.h"
#include "platform/qt_surface.h"
#include "render/painter.h"
#include "render/text_layout.h"

namespace {

// Measures like the surface it wraps and draws nothing: the painter's own
// pass over the liner tells what fits without the cost of drawing it.
class MeasuringSurface : public Surface {
public:
    explicit MeasuringSurface(Surface& inner) : inner_(inner) {}

    SurfaceOrigin MoveOrigin(int x, int y) override { return inner_.MoveOrigin(x, y); }
    void RestoreOrigin(const SurfaceOrigin& origin) override { inner_.RestoreOrigin(origin); }
    SurfacePen Pen() const override { return inner_.Pen(); }
    void SetPen(const SurfacePen& pen) override { inner_.SetPen(pen); }
    SurfaceBrush Brush() const override { return inner_.Brush(); }
    void SetBrush(const SurfaceBrush& brush) override { inner_.SetBrush(brush); }
    LogFont Font() const override { return inner_.Font(); }
    void SetFont(const LogFont& font) override { inner_.SetFont(font); }
    SurfaceColor TextColor() const override { return inner_.TextColor(); }
    void SetTextColor(SurfaceColor color) override { inner_.SetTextColor(color); }
    SurfaceColor BackgroundColor() const override { return inner_.BackgroundColor(); }
    void SetBackgroundColor(SurfaceColor color) override { inner_.SetBackgroundColor(color); }
    BackgroundMode Background() const override { return inner_.Background(); }
    void SetBackground(BackgroundMode mode) override { inner_.SetBackground(mode); }
    int TextExtent(std::string_view text) override { return inner_.TextExtent(text); }
    SurfaceFontMetrics Metrics() override { return inner_.Metrics(); }

    void DrawText(int, int, std::string_view) override {}
    void Polyline(const SurfacePoint*, size_t) override {}
    void FillRect(int, int, int, int, const SurfaceBrush&) override {}
    void RoundRect(int, int, int, int, int, int) override {}
    void DrawImage(const QImage&, int, int, int, int) override {}

private:
    Surface& inner_;
};

// Answers nothing: the measuring pass must not speak to the user.
class SilentPrompter : public Prompter {
public:
    MessageResult Show(const MessageOwner&, const MessageStyle& style,
                       const std::string&) override {
        return DefaultAnswer(style.buttons);
    }
    MergeChoice AskMerge(const std::string&) override { return MergeChoice::Cancel; }
};

void CollectFonts(const std::string& text, std::set<int>& into) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == kFontChange) into.insert(static_cast<unsigned char>(text[++i]));
    }
}

}  // namespace

std::set<int> SongOnlyFonts(const Liner& liner) {
    std::set<int> songs{kFontSong};
    for (const TextBlock* block : {&liner.songsA, &liner.songsB}) {
        if (block->lineCount != 0) CollectFonts(block->text, songs);
    }
    std::set<int> elsewhere{kFontSideLetter, kFontFeatureName, kFontFeature, kFontTitle};
    Liner& mutableLiner = const_cast<Liner&>(liner);
    ForEachFontCodedText(mutableLiner, [&](std::string& text) {
        if (&text != &liner.songsA.text && &text != &liner.songsB.text)
            CollectFonts(text, elsewhere);
    });
    std::set<int> only;
    for (int n : songs) {
        if (!elsewhere.count(n) && n >= 1 && n <= static_cast<int>(liner.fonts.size()))
            only.insert(n);
    }
    return only;
}

int SongsLeftOut(const Liner& liner) {
    // Pictures lie under the text and do not move it; leaving them out spares
    // decoding them.
    Liner copy = liner;
    copy.pictures.clear();
    QImage image(1, 1, QImage::Format_RGB32);
    QPainter painter(&image);
    QtSurface qt(painter, 96, 96);
    MeasuringSurface surface(qt);
    PictureImages pictures;
    SilentPrompter prompter;
    bool warning = false;
    PaintOptions options;
    options.printing = true;
    return PaintLiner(surface, copy, options, pictures, prompter, warning).songsLeftOut;
}

SongFitResult FitSongs(Liner& liner) {
    SongFitResult result;
    result.songsLeftOut = SongsLeftOut(liner);
    if (result.songsLeftOut == 0) {
        result.fits = true;
        return result;
    }
    const std::set<int> fonts = SongOnlyFonts(liner);
    Liner trial = liner;
    trial.pictures.clear();
    for (;;) {
        bool smaller = false;
        for (int n : fonts) {
            LogFont& f = trial.fonts[n - 1].logFont;
            const int height = std::abs(f.height);
            if (height <= kFitSmallest) continue;
            const int next = std::max(height - kFitStep, kFitSmallest);
            // A font narrowed on purpose stays as narrow for its size.
            if (f.width != 0)
                f.width = static_cast<int32_t>(static_cast<long long>(f.width) * next / height);
            f.height = f.height < 0 ? -next : next;
            smaller = true;
        }
        if (!smaller) return result;  // at the smallest size and still too long
        ++result.steps;
        result.songsLeftOut = SongsLeftOut(trial);
        if (result.songsLeftOut == 0) break;
    }
    for (int n : fonts) liner.fonts[n - 1] = trial.fonts[n - 1];
    result.fits = true;
    result.changed = true;
    return result;
}

int ChoiceOverrun(const Liner& liner, const Feature& feature, const std::string& choice) {
    QImage image(1, 1, QImage::Format_RGB32);
    QPainter painter(&image);
    QtSurface surface(painter, 96, 96);
    Liner copy = liner;
    const RowBuffer rows = LayOutUnbroken(surface, copy, kFontFeature, choice);
    if (rows.rows.empty()) return 0;
    const int half = (ComputeLinerGeometry(liner).width + 1) / 2 - feature.side.twips;
    return std::max(0, rows.rows.front().width - half);
}
