// A surface with metrics known in advance, recording what is drawn, so that
// row breaks and positions in layout tests are exact numbers.
//
// At a font height of 240 (and for height 0): every character is 100 twips
// wide except ' ' (50), '-' (60) and 'i' (40); ascent 192, descent 48.
// Widths and metrics scale with the font's height.
#pragma once

#include <string>
#include <vector>

#include "platform/surface.h"

class FixedSurface : public Surface {
public:
    struct Text {
        int x = 0;
        int y = 0;
        std::string text;
        int fontHeight = 0;
        int escapement = 0;
        SurfaceColor color = 0;
    };

    static int Height(const LogFont& f) { return f.height == 0 ? 240 : (f.height < 0 ? -f.height : f.height); }
    static int CharWidth(char c, int height) {
        int base = c == ' ' ? 50 : c == '-' ? 60 : c == 'i' ? 40 : 100;
        return base * height / 240;
    }

    SurfaceOrigin MoveOrigin(int x, int y) override {
        SurfaceOrigin previous = origin;
        origin.x += x;
        origin.y += y;
        return previous;
    }
    void RestoreOrigin(const SurfaceOrigin& o) override { origin = o; }

    SurfacePen Pen() const override { return pen; }
    void SetPen(const SurfacePen& p) override { pen = p; }
    SurfaceBrush Brush() const override { return brush; }
    void SetBrush(const SurfaceBrush& b) override { brush = b; }

    LogFont Font() const override { return font; }
    void SetFont(const LogFont& f) override {
        font = f;
        ++fontSelections;
    }
    SurfaceColor TextColor() const override { return textColor; }
    void SetTextColor(SurfaceColor c) override { textColor = c; }
    SurfaceColor BackgroundColor() const override { return backgroundColor; }
    void SetBackgroundColor(SurfaceColor c) override { backgroundColor = c; }
    BackgroundMode Background() const override { return mode; }
    void SetBackground(BackgroundMode m) override { mode = m; }

    int TextExtent(std::string_view text) override {
        int sum = 0;
        for (char c : text) sum += CharWidth(c, Height(font));
        return sum;
    }
    SurfaceFontMetrics Metrics() override {
        int h = Height(font);
        int ascent = h * 4 / 5;
        return {h, ascent, h - ascent};
    }
    void DrawText(int x, int y, std::string_view text) override {
        texts.push_back({x, y, std::string(text), Height(font), font.escapement, textColor});
    }
    void Polyline(const SurfacePoint* points, size_t count) override {
        polylines.emplace_back(points, points + count);
    }
    void FillRect(int, int, int, int, const SurfaceBrush&) override { ++fills; }
    void RoundRect(int, int, int, int, int, int) override { ++roundRects; }
    void DrawImage(const QImage&, int, int, int, int) override { ++images; }

    SurfaceOrigin origin;
    SurfacePen pen;
    SurfaceBrush brush;
    LogFont font;
    SurfaceColor textColor = kColorBlack;
    SurfaceColor backgroundColor = kColorWhite;
    BackgroundMode mode = BackgroundMode::Opaque;
    int fontSelections = 0;
    int fills = 0;
    int roundRects = 0;
    int images = 0;
    std::vector<Text> texts;
    std::vector<std::vector<SurfacePoint>> polylines;
};
