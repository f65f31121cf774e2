// A drawing context in liner coordinates: one logical unit is one twip and
// y grows upward, whatever the device.  The painter, the text layout and the
// view draw through this interface only; QtSurface puts it on any QPainter,
// tests put it on surfaces of their own.
#pragma once

#include <functional>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/liner.h"

class QImage;
class QSize;

// A colour as the files store it: red in the low byte, then green, then blue.
using SurfaceColor = uint32_t;
constexpr SurfaceColor kColorBlack = 0x000000;
constexpr SurfaceColor kColorWhite = 0xFFFFFF;

constexpr SurfaceColor MakeSurfaceColor(int red, int green, int blue) {
    return static_cast<SurfaceColor>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

enum class BackgroundMode : uint8_t { Transparent, Opaque };

// A pen of one of the seven line styles (solid, dashed, dotted, dash-dot,
// dash-dot-dot, none, crop marks).  On a screen every pen is one device
// pixel wide; on paper the surface draws lines wide enough to see, with
// their pattern at its screen size.  Crop marks and unknown styles draw
// solid.
struct SurfacePen {
    uint16_t lineStyle = 0;
    SurfaceColor color = kColorBlack;

    bool operator==(const SurfacePen&) const = default;
};

struct SurfaceBrush {
    enum class Kind : uint8_t {
        Null,    // fills nothing
        Solid,   // `color`
        Window,  // the system's window colour (the band around the paper)
    };
    Kind kind = Kind::Null;
    SurfaceColor color = kColorBlack;

    static SurfaceBrush Solid(SurfaceColor c) { return {Kind::Solid, c}; }
    static SurfaceBrush Window() { return {Kind::Window, kColorBlack}; }
    bool operator==(const SurfaceBrush&) const = default;
};

// Metrics of the selected font in twips: height = ascent + descent (the cell).
struct SurfaceFontMetrics {
    int height = 0;
    int ascent = 0;
    int descent = 0;

    bool operator==(const SurfaceFontMetrics&) const = default;
};

struct SurfacePoint {
    int x = 0;
    int y = 0;  // logical: upward

    bool operator==(const SurfacePoint&) const = default;
};

// Where logical (0, 0) lies on the device, in device units.  Opaque to the
// callers: they keep what MoveOrigin returns and hand it back.
struct SurfaceOrigin {
    double x = 0;
    double y = 0;

    bool operator==(const SurfaceOrigin&) const = default;
};

class Surface {
public:
    virtual ~Surface() = default;

    // Moves the origin so that logical point (x, y), in the mapping as it is
    // now, becomes the new (0, 0).  Returns the origin that was there.
    virtual SurfaceOrigin MoveOrigin(int x, int y) = 0;
    virtual void RestoreOrigin(const SurfaceOrigin& origin) = 0;

    virtual SurfacePen Pen() const = 0;
    virtual void SetPen(const SurfacePen& pen) = 0;
    virtual SurfaceBrush Brush() const = 0;
    virtual void SetBrush(const SurfaceBrush& brush) = 0;

    // The font is made from a stored description: height in twips (positive:
    // cell height, negative: em height, 0: 12 points), weight, italic,
    // underline, strike-out, face name; escapement (tenths of a degree)
    // turns the text when it is drawn.
    virtual LogFont Font() const = 0;
    virtual void SetFont(const LogFont& font) = 0;

    virtual SurfaceColor TextColor() const = 0;
    virtual void SetTextColor(SurfaceColor color) = 0;
    virtual SurfaceColor BackgroundColor() const = 0;
    virtual void SetBackgroundColor(SurfaceColor color) = 0;
    virtual BackgroundMode Background() const = 0;
    virtual void SetBackground(BackgroundMode mode) = 0;

    // Width in twips of text in the selected font, unturned; the bytes are
    // characters of the code page of the font's character set.
    // The same on every device, so rows break alike on screen and paper.
    virtual int TextExtent(std::string_view text) = 0;
    virtual SurfaceFontMetrics Metrics() = 0;

    // Draws text (bytes as for TextExtent) with its baseline's start at (x, y), turned by
    // the font's escapement, each character advancing by exactly what
    // TextExtent measures for it.  In opaque mode the cell behind the text
    // is filled with the background colour first.
    virtual void DrawText(int x, int y, std::string_view text) = 0;

    // Lines through the points with the selected pen; the last point itself
    // is not drawn.
    virtual void Polyline(const SurfacePoint* points, size_t count) = 0;
    // Fills the rectangle between the two corners with `brush`, no outline;
    // the right and bottom edges are excluded.
    virtual void FillRect(int x0, int y0, int x1, int y1, const SurfaceBrush& brush) = 0;
    // A rectangle with corners rounded by ellipses `ellipseWidth` by
    // `ellipseHeight`, outlined with the pen and filled with the brush.
    virtual void RoundRect(int x0, int y0, int x1, int y1, int ellipseWidth,
                           int ellipseHeight) = 0;
    // Limits drawing to the rectangle between the two corners until
    // ClearClip; calls do not nest.  A surface that cannot clip draws
    // everything.
    virtual void SetClip(int /*x0*/, int /*y0*/, int /*x1*/, int /*y1*/) {}
    virtual void ClearClip() {}
    // Stretches `image` so that its top row lies at y and its bottom row at
    // y + height, its left column at x and its right column at x + width.
    // Pictures hold their top and height negated, so a picture drawn with its
    // stored values runs downward from y and appears upright.
    virtual void DrawImage(const QImage& image, int x, int y, int width, int height) = 0;

    // The same for a picture that has copies scaled to a size in device
    // pixels at hand: `scaledTo` gives the picture scaled to that size (made
    // once, kept by the caller).  A raster device draws such a copy pixel for
    // pixel instead of scaling the whole bitmap at every paint; paper and PDF
    // take the full picture, so that it prints at its own resolution.
    virtual void DrawScaledImage(const QImage& image, const std::function<QImage(const QSize&)>& scaledTo, int x,
                                 int y, int width, int height) {
        (void)scaledTo;
        DrawImage(image, x, y, width, height);
    }
};
