#include "platform/qt_surface.h"

#include <new>

#include <QColor>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/code_page.h"

namespace {

// The painter's state saved for as long as it lives: a drawing that throws
// (a large picture finding no memory) leaves the state as it was.
class PainterSaved {
public:
    explicit PainterSaved(QPainter& painter) : painter_(painter) { painter_.save(); }
    ~PainterSaved() { painter_.restore(); }
    PainterSaved(const PainterSaved&) = delete;
    PainterSaved& operator=(const PainterSaved&) = delete;

private:
    QPainter& painter_;
};

constexpr double kTwipsPerInch = 1440.0;
// A stored height of 0 asks for the default size: 12 points.
constexpr int kDefaultCellHeight = 240;
// Pixel sizes beyond this are of no use on paper and strain the rasterizer.
constexpr int kMaxPixelSize = 32767;
// Realized fonts kept at most; a liner uses a handful, the font dialog's
// previews a few more.
constexpr size_t kMaxCachedFonts = 256;
constexpr uint8_t kSymbolCharSet = 2;
// Symbol fonts keep their glyphs at U+F000 + byte, as their character map
// for the symbol encoding has them.
constexpr char32_t kSymbolBase = 0xF000;

// The family that stands in for an empty face name, after the pitch and
// family byte of the description.
QString FallbackFamily(uint8_t pitchAndFamily, QFont::StyleHint* hint) {
    switch (pitchAndFamily & 0xF0) {
        case 0x10:  // roman
            *hint = QFont::Serif;
            return QStringLiteral("Times New Roman");
        case 0x30:  // modern: fixed pitch
            *hint = QFont::Monospace;
            return QStringLiteral("Courier New");
        case 0x40:
            *hint = QFont::Cursive;
            return QStringLiteral("Arial");
        case 0x50:
            *hint = QFont::Decorative;
            return QStringLiteral("Arial");
        default:
            *hint = QFont::SansSerif;
            return QStringLiteral("Arial");
    }
}

std::string KeyOf(const LogFont& f) {
    std::string key;
    key.reserve(64);
    auto put = [&key](const void* p, size_t n) { key.append(static_cast<const char*>(p), n); };
    put(&f.height, sizeof f.height);
    put(&f.width, sizeof f.width);
    put(&f.escapement, sizeof f.escapement);
    put(&f.weight, sizeof f.weight);
    put(&f.italic, 1);
    put(&f.underline, 1);
    put(&f.strikeOut, 1);
    put(&f.pitchAndFamily, 1);
    // Fonts of one code page draw the same characters; a symbol font its own.
    const int codePage = f.charSet == kSymbolCharSet ? 0 : CodePageOfCharSet(f.charSet);
    put(&codePage, sizeof codePage);
    put(f.faceName.data(), f.faceName.size());
    return key;
}

QColor ToQColor(SurfaceColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

Qt::PenStyle PenStyleOf(uint16_t lineStyle) {
    switch (lineStyle) {
        case 1: return Qt::DashLine;
        case 2: return Qt::DotLine;
        case 3: return Qt::DashDotLine;
        case 4: return Qt::DashDotDotLine;
        case 5: return Qt::NoPen;
        default: return Qt::SolidLine;  // solid, crop marks and anything unknown
    }
}

QPen ToQPen(const SurfacePen& pen) {
    QPen p(ToQColor(pen.color));
    p.setStyle(PenStyleOf(pen.lineStyle));
    p.setWidth(1);
    p.setCosmetic(true);
    return p;
}

// One pixel of a 1200-dpi printer is all but invisible, and the dots of a
// line that thin run together.  On paper lines are half a point wide (more
// only where a device pixel is larger), with dots and dashes as long as
// they are on a 96-dpi screen, where the pen is one pixel wide.
constexpr double kPaperLineTwips = 10;
constexpr double kScreenPixelTwips = kTwipsPerInch / 96;

QPen ToPaperPen(const SurfacePen& pen, double devicePixelTwips) {
    QPen p = ToQPen(pen);
    const double width = std::max(kPaperLineTwips, devicePixelTwips);
    p.setCosmetic(false);
    p.setWidthF(width);
    p.setJoinStyle(Qt::MiterJoin);
    if (p.style() == Qt::SolidLine || p.style() == Qt::NoPen) {
        // Square ends close the corner where an outline meets itself.
        p.setCapStyle(Qt::SquareCap);
        return p;
    }
    // Patterns count in pen widths: the screen's, one pixel, becomes this one.
    QList<qreal> pattern = p.dashPattern();
    for (qreal& length : pattern) length *= kScreenPixelTwips / width;
    p.setCapStyle(Qt::FlatCap);
    p.setDashPattern(pattern);
    return p;
}

// Printers, PDF writers and SVG drawings are paper; widgets and images are
// screens.
bool DrawsOnPaper(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    if (device && device->devType() == QInternal::Printer) return true;
    const QPaintEngine* engine = painter.paintEngine();
    return engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::SVG);
}

QBrush ToQBrush(const SurfaceBrush& brush) {
    switch (brush.kind) {
        case SurfaceBrush::Kind::Solid:
            return QBrush(ToQColor(brush.color));
        case SurfaceBrush::Kind::Window:
            if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
                return QBrush(QGuiApplication::palette().color(QPalette::Window));
            }
            return QBrush(QColor(240, 240, 240));
        case SurfaceBrush::Kind::Null:
            break;
    }
    return QBrush(Qt::NoBrush);
}

bool IsMark(QChar ch) {
    const QChar::Category c = ch.category();
    return c == QChar::Mark_NonSpacing || c == QChar::Mark_SpacingCombining || c == QChar::Mark_Enclosing;
}

bool StrongRightToLeft(QChar ch) {
    const QChar::Direction d = ch.direction();
    return d == QChar::DirR || d == QChar::DirAL;
}

// From `start`, where a stretch of right-to-left words ends: it begins and
// ends with a Hebrew or Arabic letter and holds no left-to-right letter.
// `start` itself when no such stretch begins there.
size_t RightToLeftEnd(const QtFontCache::Realized& r, std::string_view text, size_t start) {
    auto charAt = [&](size_t i) { return QChar(r.glyph[static_cast<unsigned char>(text[i])]); };
    if (!StrongRightToLeft(charAt(start))) return start;
    size_t end = start + 1;
    for (size_t i = start + 1; i < text.size(); ++i) {
        const QChar ch = charAt(i);
        if (ch.direction() == QChar::DirL) break;
        if (StrongRightToLeft(ch)) end = i + 1;
    }
    return end;
}

}  // namespace

QFont MakeQFont(const LogFont& logFont) {
    QFont font;
    QFont::StyleHint hint = QFont::AnyStyle;
    QString family = QString::fromLatin1(logFont.FaceName());
    QString fallback = FallbackFamily(logFont.pitchAndFamily, &hint);
    if (family.isEmpty()) family = fallback;
    font.setFamily(family);
    font.setStyleHint(hint);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);

    int weight = logFont.weight <= 0 ? 400 : std::clamp<int>(logFont.weight, 100, 900);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(logFont.italic != 0);
    font.setUnderline(logFont.underline != 0);
    font.setStrikeOut(logFont.strikeOut != 0);

    // A positive height is the cell (ascent + descent); Qt sizes the em.
    // Measure the face once at a large size to find the ratio.
    long long height = logFont.height;
    long long pixels;
    if (height < 0) {
        pixels = -height;
    } else {
        long long cell = height == 0 ? kDefaultCellHeight : height;
        QFont probe = font;
        probe.setPixelSize(1000);
        QFontMetricsF m(probe);
        double probeCell = m.ascent() + m.descent();
        pixels = probeCell > 0 ? std::llround(static_cast<double>(cell) * 1000.0 / probeCell) : cell;
    }
    font.setPixelSize(static_cast<int>(std::clamp<long long>(pixels, 1, kMaxPixelSize)));

    // A given average width stretches the face horizontally.
    if (logFont.width > 0) {
        QFontMetricsF m(font);
        double natural = m.averageCharWidth();
        if (natural > 0) {
            int stretch = static_cast<int>(std::lround(100.0 * logFont.width / natural));
            font.setStretch(std::clamp(stretch, 1, 4000));
        }
    }
    return font;
}

std::shared_ptr<const QtFontCache::Realized> QtFontCache::Get(const LogFont& logFont) {
    std::string key = KeyOf(logFont);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    if (fonts_.size() >= kMaxCachedFonts) fonts_.clear();

    auto r = std::make_shared<Realized>();
    r->font = MakeQFont(logFont);
    QFontMetricsF m(r->font);
    r->metrics.ascent = static_cast<int>(std::lround(m.ascent()));
    r->metrics.descent = static_cast<int>(std::lround(m.descent()));
    r->metrics.height = r->metrics.ascent + r->metrics.descent;
    const int codePage = CodePageOfCharSet(logFont.charSet);
    for (int b = 0; b < 256; ++b) {
        char16_t ch = CodePageGlyph(static_cast<unsigned char>(b), codePage);
        // A symbol font shows its own glyph for a byte; a face standing in
        // for a symbol font that is not installed shows the Western letter.
        if (logFont.charSet == kSymbolCharSet && b >= 0x20 && m.inFontUcs4(kSymbolBase + b)) {
            ch = static_cast<char16_t>(kSymbolBase + b);
        }
        r->glyph[b] = ch;
        r->advance[b] = static_cast<int>(std::lround(m.horizontalAdvance(QChar(ch))));
    }
    // The angle the layout places the text for, so that both agree.
    r->rotation = logFont.RotationDegrees();
    fonts_.emplace(std::move(key), r);
    return r;
}

QtFontCache& QtFontCache::Shared() {
    static QtFontCache cache;
    return cache;
}

QtSurface::QtSurface(QPainter& painter, QtFontCache* cache)
    : QtSurface(painter, painter.device() ? painter.device()->logicalDpiX() : 96,
                painter.device() ? painter.device()->logicalDpiY() : 96, cache) {}

QtSurface::QtSurface(QPainter& painter, double dpiX, double dpiY, QtFontCache* cache)
    : painter_(painter),
      cache_(cache ? *cache : QtFontCache::Shared()),
      base_(painter.transform()),
      scaleX_((dpiX > 0 ? dpiX : 96) / kTwipsPerInch),
      scaleY_((dpiY > 0 ? dpiY : 96) / kTwipsPerInch),
      paper_(DrawsOnPaper(painter)) {
    ApplyTransform();
}

QtSurface::~QtSurface() {
    ClearClip();
    painter_.setTransform(base_);
}

void QtSurface::ApplyTransform() {
    // Logical twips, y upward, then the origin in device units, then
    // whatever the painter had.
    QTransform t = QTransform::fromScale(scaleX_, -scaleY_) *
                   QTransform::fromTranslate(origin_.x, origin_.y) * base_;
    painter_.setTransform(t);
}

QPointF QtSurface::ToDevice(double x, double y) const {
    return painter_.transform().map(QPointF(x, y));
}

SurfaceOrigin QtSurface::MoveOrigin(int x, int y) {
    SurfaceOrigin previous = origin_;
    origin_.x += x * scaleX_;
    origin_.y += -y * scaleY_;
    ApplyTransform();
    return previous;
}

void QtSurface::RestoreOrigin(const SurfaceOrigin& origin) {
    origin_ = origin;
    ApplyTransform();
}

void QtSurface::SetFont(const LogFont& font) {
    font_ = font;
    realized_.reset();
}

const QtFontCache::Realized& QtSurface::Current() {
    if (!realized_) realized_ = cache_.Get(font_);
    return *realized_;
}

int QtSurface::TextExtent(std::string_view text) {
    const auto& r = Current();
    long long sum = 0;
    for (unsigned char b : text) sum += r.advance[b];
    return static_cast<int>(std::min<long long>(sum, INT32_MAX));
}

SurfaceFontMetrics QtSurface::Metrics() { return Current().metrics; }

void QtSurface::DrawText(int x, int y, std::string_view text) {
    if (text.empty()) return;
    const auto& r = Current();
    painter_.save();
    painter_.translate(x, y);
    // The layout expects an escapement of 90 degrees to run down the paper
    // with the glyph tops toward the right edge: clockwise on the page.  In
    // these y-up coordinates Qt's positive angles turn counter-clockwise.
    painter_.rotate(-r.rotation);
    // Glyphs are drawn in a y-down frame.
    painter_.scale(1, -1);
    if (backgroundMode_ == BackgroundMode::Opaque) {
        painter_.fillRect(QRectF(0, -r.metrics.ascent, TextExtent(text), r.metrics.height),
                          ToQColor(backgroundColor_));
    }
    painter_.setFont(r.font);
    painter_.setPen(ToQColor(textColor_));
    // Each character at the advance the layout measured, so that drawn
    // rows are exactly as wide as they were broken.  Hebrew and Arabic
    // words are drawn whole, right to left and joined, in the room their
    // letters were measured to take.
    double pos = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t end = RightToLeftEnd(r, text, i);
        if (end == i) {
            // A letter and the marks after it (Vietnamese tones, Thai vowels
            // and tones) are drawn together, so that the marks sit on it.
            const auto b = static_cast<unsigned char>(text[i++]);
            QString cluster(QChar(r.glyph[b]));
            double advance = r.advance[b];
            while (i < text.size() && IsMark(QChar(r.glyph[static_cast<unsigned char>(text[i])]))) {
                cluster += QChar(r.glyph[static_cast<unsigned char>(text[i])]);
                advance += r.advance[static_cast<unsigned char>(text[i])];
                ++i;
            }
            painter_.drawText(QPointF(pos, 0), cluster);
            pos += advance;
            continue;
        }
        QString words;
        double room = 0;
        for (; i < end; ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            words += QChar(r.glyph[b]);
            room += r.advance[b];
        }
        const double natural = QFontMetricsF(r.font).horizontalAdvance(words);
        painter_.save();
        painter_.translate(pos, 0);
        if (natural > 0) painter_.scale(room / natural, 1);
        painter_.setLayoutDirection(Qt::RightToLeft);
        painter_.drawText(QPointF(0, 0), words);
        painter_.restore();
        pos += room;
    }
    painter_.restore();
}

void QtSurface::Polyline(const SurfacePoint* points, size_t count) {
    if (!points || count < 2) return;
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(count));
    for (size_t i = 0; i < count; ++i) poly << QPointF(points[i].x, points[i].y);
    painter_.save();
    painter_.setPen(paper_ ? ToPaperPen(pen_, 1 / std::min(scaleX_, scaleY_)) : ToQPen(pen_));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPolyline(poly);
    painter_.restore();
}

void QtSurface::FillRect(int x0, int y0, int x1, int y1, const SurfaceBrush& brush) {
    if (brush.kind == SurfaceBrush::Kind::Null) return;
    QRectF rect = QRectF(QPointF(x0, y0), QPointF(x1, y1)).normalized();
    painter_.fillRect(rect, ToQBrush(brush));
}

void QtSurface::RoundRect(int x0, int y0, int x1, int y1, int ellipseWidth, int ellipseHeight) {
    QRectF rect = QRectF(QPointF(x0, y0), QPointF(x1, y1)).normalized();
    painter_.save();
    painter_.setPen(ToQPen(pen_));
    painter_.setBrush(ToQBrush(brush_));
    painter_.drawRoundedRect(rect, std::abs(ellipseWidth) / 2.0, std::abs(ellipseHeight) / 2.0,
                             Qt::AbsoluteSize);
    painter_.restore();
}

void QtSurface::SetClip(int x0, int y0, int x1, int y1) {
    if (clipped_) ClearClip();
    painter_.save();
    painter_.setClipRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)).normalized(), Qt::IntersectClip);
    clipped_ = true;
}

void QtSurface::ClearClip() {
    if (!clipped_) return;
    // The saved state holds the transform of that moment; the origin may
    // have moved since.
    painter_.restore();
    ApplyTransform();
    clipped_ = false;
}

void QtSurface::DrawImage(const QImage& image, int x, int y, int width, int height) {
    if (image.isNull() || width == 0 || height == 0) return;
    // Qt's PDF writer makes a 32-bit copy of any other picture and, when
    // that copy finds no memory, stores an empty image that no reader opens.
    // Room for the copy is asked for first; without it the picture fails
    // alone, as any picture that finds no memory to be drawn.
    QPaintEngine* engine = painter_.paintEngine();
    if (engine && engine->type() == QPaintEngine::Pdf && image.depth() != 1 &&
        image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        const QImage room(image.size(), QImage::Format_ARGB32);
        if (room.isNull()) throw std::bad_alloc();
    }
    const PainterSaved saved(painter_);
    // A PDF keeps the picture's own pixels, losslessly: without this Qt's
    // PDF writer stores every picture as a JPEG of its own making, which
    // blurs small pictures and compresses JPEG photos a second time.  Other
    // devices ignore the hint.
    painter_.setRenderHint(QPainter::LosslessImageRendering);
    painter_.translate(x, y);
    // Image row 0 at y, its last row at y + height: a negative height runs
    // downward in these coordinates, which keeps the picture upright.
    painter_.scale(static_cast<double>(width) / image.width(),
                   static_cast<double>(height) / image.height());
    painter_.drawImage(QPointF(0, 0), image);
}

void QtSurface::DrawScaledImage(const QImage& image, const std::function<QImage(const QSize&)>& scaledTo, int x, int y,
                                int width, int height) {
    if (image.isNull() || width == 0 || height == 0) return;
    const int type = painter_.device() ? painter_.device()->devType() : 0;
    const bool raster = type == QInternal::Image || type == QInternal::Widget || type == QInternal::Pixmap;
    // The painter's own coordinates, not the device's: on a widget the device
    // transform also holds the widget's place in its window, which
    // resetTransform() below does not take away.
    const QTransform transform = painter_.transform();
    if (!raster || !scaledTo || transform.type() > QTransform::TxScale) {
        DrawImage(image, x, y, width, height);
        return;
    }
    // Where the picture lands in device pixels; a copy of exactly that size
    // is drawn there unscaled.
    const QRectF exact = transform.mapRect(QRectF(x, y, width, height));
    QRect target = exact.toAlignedRect();
    if (type == QInternal::Widget) {
        // On the screen the copy's size follows the picture's size alone, not
        // where it falls between pixels: a picture being moved keeps its one
        // copy instead of having a large picture scaled again at every step.
        target = QRect(qRound(exact.left()), qRound(exact.top()), std::max(qRound(exact.width()), 1),
                       std::max(qRound(exact.height()), 1));
    }
    if (target.isEmpty()) return;
    const QImage copy = scaledTo(target.size());
    if (copy.isNull()) {
        DrawImage(image, x, y, width, height);
        return;
    }
    const PainterSaved saved(painter_);
    painter_.resetTransform();
    painter_.drawImage(target.topLeft(), copy);
}
