// The drawing surface over a QPainter: a widget, a QImage, a QPrinter or a
// PDF writer alike.  On a printer or a PDF writer lines are at least half a
// point wide and keep the dots and dashes they have on a 96-dpi screen; on
// widgets and images every line is one device pixel wide.
#pragma once

#include <QFont>
#include <QTransform>
#include <array>
#include <map>
#include <memory>
#include <string>

#include "platform/surface.h"

class QPainter;

// Fonts realized from stored descriptions, each with its metrics and the
// character and advance of every byte in the code page of its character
// set, all in twips on a device-independent
// reference (one pixel = one twip, kerning and hinting off).  Realizing a
// font is the expensive part of drawing text, so surfaces share one cache
// that outlives each paint.
class QtFontCache {
public:
    struct Realized {
        QFont font;                  // pixel size in twips
        SurfaceFontMetrics metrics;  // rounded to whole twips
        std::array<int, 256> advance{};
        std::array<char16_t, 256> glyph{};  // the character drawn for each byte
        double rotation = 0;  // degrees, counter-clockwise on the page
    };

    // The realized font; shared, so it stays valid for its holder even when
    // the cache is cleared.
    std::shared_ptr<const Realized> Get(const LogFont& logFont);
    size_t size() const { return fonts_.size(); }
    void Clear() { fonts_.clear(); }

    // The cache every QtSurface uses unless given another.
    static QtFontCache& Shared();

private:
    std::map<std::string, std::shared_ptr<const Realized>> fonts_;
};

// The QFont a stored description stands for, sized in twips as pixels.
QFont MakeQFont(const LogFont& logFont);

class QtSurface : public Surface {
public:
    // Draws on `painter` (which must be active) at the resolution of its
    // device; the twip transform is put on top of the painter's transform,
    // which is given back when the surface goes.
    explicit QtSurface(QPainter& painter, QtFontCache* cache = nullptr);
    QtSurface(QPainter& painter, double dpiX, double dpiY, QtFontCache* cache = nullptr);
    ~QtSurface() override;

    QtSurface(const QtSurface&) = delete;
    QtSurface& operator=(const QtSurface&) = delete;

    SurfaceOrigin MoveOrigin(int x, int y) override;
    void RestoreOrigin(const SurfaceOrigin& origin) override;

    SurfacePen Pen() const override { return pen_; }
    void SetPen(const SurfacePen& pen) override { pen_ = pen; }
    SurfaceBrush Brush() const override { return brush_; }
    void SetBrush(const SurfaceBrush& brush) override { brush_ = brush; }

    LogFont Font() const override { return font_; }
    void SetFont(const LogFont& font) override;

    SurfaceColor TextColor() const override { return textColor_; }
    void SetTextColor(SurfaceColor color) override { textColor_ = color; }
    SurfaceColor BackgroundColor() const override { return backgroundColor_; }
    void SetBackgroundColor(SurfaceColor color) override { backgroundColor_ = color; }
    BackgroundMode Background() const override { return backgroundMode_; }
    void SetBackground(BackgroundMode mode) override { backgroundMode_ = mode; }

    int TextExtent(std::string_view text) override;
    SurfaceFontMetrics Metrics() override;
    void DrawText(int x, int y, std::string_view text) override;

    void Polyline(const SurfacePoint* points, size_t count) override;
    void FillRect(int x0, int y0, int x1, int y1, const SurfaceBrush& brush) override;
    void RoundRect(int x0, int y0, int x1, int y1, int ellipseWidth, int ellipseHeight) override;
    void DrawImage(const QImage& image, int x, int y, int width, int height) override;
    void SetClip(int x0, int y0, int x1, int y1) override;
    void ClearClip() override;
    void DrawScaledImage(const QImage& image, const std::function<QImage(const QSize&)>& scaledTo, int x, int y,
                         int width, int height) override;

    // The device point of a logical point, for tests and hit testing.
    QPointF ToDevice(double x, double y) const;

private:
    void ApplyTransform();
    const QtFontCache::Realized& Current();

    QPainter& painter_;
    QtFontCache& cache_;
    QTransform base_;
    double scaleX_;
    double scaleY_;
    SurfaceOrigin origin_;
    SurfacePen pen_;
    SurfaceBrush brush_;
    LogFont font_;
    std::shared_ptr<const QtFontCache::Realized> realized_;
    SurfaceColor textColor_ = kColorBlack;
    SurfaceColor backgroundColor_ = kColorWhite;
    BackgroundMode backgroundMode_ = BackgroundMode::Opaque;
    // Lines on paper are drawn wider than on the screen (see ToPaperPen).
    bool paper_ = false;
    bool clipped_ = false;
};
