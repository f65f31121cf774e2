#include "render/view_rulers.h"

#include <QPainter>
#include <QPaintEvent>
#include <cmath>

#include "document/liner_document.h"
#include "document/measurement.h"
#include "render/view.h"

namespace {

// Numbered ticks stand at least this many pixels apart.
constexpr int kLabelSpacing = 48;
// Small ticks closer than this are left out.
constexpr int kTickSpacing = 4;

}  // namespace

ViewRuler::ViewRuler(LinerView& view, Qt::Orientation orientation)
    : QWidget(&view), view_(view), orientation_(orientation) {
    setObjectName(orientation == Qt::Horizontal ? "HorizontalRuler" : "VerticalRuler");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ViewRuler::MarkPointer(std::optional<int> twips) {
    if (twips == pointer_) return;
    const std::optional<int> before = pointer_;
    pointer_ = twips;
    for (const std::optional<int>& at : {before, pointer_}) {
        if (!at) continue;
        const int p = PixelAt(*at);
        update(orientation_ == Qt::Horizontal ? QRect(p - 1, 0, 3, height()) : QRect(0, p - 1, width(), 3));
    }
}

ViewRuler::Ticks ViewRuler::TicksFor(int pixelsPerInch) const {
    const int defaultUnit = view_.document().liner().defaultUnits;
    Ticks t;
    t.unitTwips = UnitRow(kUnitNone, IsDefaultUnitChoice(defaultUnit) ? defaultUnit : kUnitInches).twipsPerUnit;
    // Numbered every 1, 2, 5, 10, 20, 50 ... units, whichever leaves room for the numbers.
    const double pixelsPerUnit = static_cast<double>(t.unitTwips) * std::max(pixelsPerInch, 1) / 1440.0;
    int units = 1;
    for (int step : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}) {
        units = step;
        if (step * pixelsPerUnit >= kLabelSpacing) break;
    }
    t.step = units * t.unitTwips;
    // Inches in eighths, the others in tenths, halves or none.
    const double stepPixels = units * pixelsPerUnit;
    for (int sub : {units == 1 && t.unitTwips == 1440 ? 8 : 10, 5, 2, 1}) {
        if (stepPixels / sub >= kTickSpacing) {
            t.subdivisions = sub;
            break;
        }
    }
    return t;
}

int ViewRuler::PixelAt(int twips) const {
    return orientation_ == Qt::Horizontal ? view_.PixelOf(twips, 0).x() : view_.PixelOf(0, twips).y();
}

void ViewRuler::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const bool across = orientation_ == Qt::Horizontal;
    const int length = across ? width() : height();
    const Ticks t = TicksFor(across ? view_.dpiX() : view_.dpiY());
    painter.setPen(palette().color(QPalette::Mid));
    if (across) {
        painter.drawLine(0, height() - 1, width(), height() - 1);
    } else {
        painter.drawLine(width() - 1, 0, width() - 1, height());
    }
    painter.setPen(palette().color(QPalette::Text));
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    // The paper positions the ruler spans.
    const int from = across ? view_.PaperPoint(QPoint(0, 0)).x() : view_.PaperPoint(QPoint(0, 0)).y();
    const int to = across ? view_.PaperPoint(QPoint(length, 0)).x() : view_.PaperPoint(QPoint(0, length)).y();
    const int units = t.step / t.unitTwips;
    const double tick = static_cast<double>(t.step) / t.subdivisions;
    const long long first = static_cast<long long>(std::floor(from / tick)) - 1;
    const long long last = static_cast<long long>(std::ceil(to / tick)) + 1;
    for (long long i = first; i <= last; ++i) {
        const int twips = static_cast<int>(std::lround(i * tick));
        const int p = PixelAt(twips);
        const bool numbered = i % t.subdivisions == 0;
        const bool half = t.subdivisions % 2 == 0 && i % (t.subdivisions / 2) == 0;
        const int size = numbered ? kSize - 2 : half ? kSize / 2 : kSize / 4;
        if (across) {
            painter.drawLine(p, kSize - size, p, kSize - 1);
        } else {
            painter.drawLine(kSize - size, p, kSize - 1, p);
        }
        if (!numbered) continue;
        const QString label = QString::number(i / t.subdivisions * units);
        if (across) {
            painter.drawText(p + 2, 9, label);
        } else {
            painter.save();
            painter.translate(9, p + 2);
            painter.rotate(90);
            painter.drawText(0, 0, label);
            painter.restore();
        }
    }
    if (pointer_) {
        painter.setPen(QColor(220, 0, 140));
        const int p = PixelAt(*pointer_);
        if (across) {
            painter.drawLine(p, 0, p, height());
        } else {
            painter.drawLine(0, p, width(), p);
        }
    }
}
