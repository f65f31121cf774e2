#include "render/liner_export.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>

#include "platform/qt_surface.h"
#include "platform/save_file.h"
#include "render/geometry.h"
#include "render/painter.h"
#include "render/pdf_boxes.h"

namespace {

void PaintForExport(QPainter& painter, double dpiX, double dpiY, Liner& liner, const ExportContext& context,
                    int bleed = 0) {
    PaintOptions options;
    options.printing = true;
    options.bleed = bleed;
    // With bleed the card sits inside room for the bleed and the crop marks.
    const int room = bleed > 0 ? CropMarkRoom(bleed) : 0;
    options.x = room;
    options.y = -room;
    QtSurface surface(painter, dpiX, dpiY);
    PaintLiner(surface, liner, options, context.pictures, context.prompter, context.songFitWarning);
}

// The paper's size in twips: the liner and its far cut lines.
QSize PaperTwips(const Liner& liner) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    return {g.width + 1, g.totalHeight + 1};
}

bool Commit(SaveFileDevice& file, bool written) {
    if (!written) {
        file.Cancel();
        return false;
    }
    return file.Commit() == SaveError::None;
}

void AppendToBuffer(png_structp png, png_bytep data, png_size_t length) {
    auto* buffer = static_cast<QByteArray*>(png_get_io_ptr(png));
    buffer->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void NoFlush(png_structp) {}

// The rows of `rows` (RGB888 or RGBA8888) as a PNG into `out`; false when
// the library gave up.  Nothing with a destructor lives in this frame, so
// that the library's long jump on an error leaves nothing behind.
bool EncodePng(const QImage& rows, bool alpha, QByteArray& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &out, AppendToBuffer, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width()), static_cast<png_uint_32>(rows.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (rows.dotsPerMeterX() > 0 && rows.dotsPerMeterY() > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(rows.dotsPerMeterX()),
                     static_cast<png_uint_32>(rows.dotsPerMeterY()), PNG_RESOLUTION_METER);
    }
    // Measured on liners at 600 dpi: the adaptive filters and level 6 spend
    // most of the time for a file a few per cent smaller.
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    for (int y = 0; y < rows.height(); ++y) {
        png_write_row(png, const_cast<png_bytep>(rows.constScanLine(y)));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// One page of the card's size (with bleed: and room for the bleed and the
// crop marks on every side) into `device`.
bool WritePdfPage(Liner& liner, QIODevice& device, int resolution, const ExportContext& context, int bleed) {
    QPdfWriter writer(&device);
    writer.setCreator(QStringLiteral("Reelcard"));
    writer.setResolution(resolution);
    const QSize paper = PaperTwips(liner);
    const int room = bleed > 0 ? CropMarkRoom(bleed) : 0;
    writer.setPageSize(QPageSize(QSizeF((paper.width() + 2 * room) / 1440.0, (paper.height() + 2 * room) / 1440.0),
                                 QPageSize::Inch, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    PaintForExport(painter, writer.logicalDpiX(), writer.logicalDpiY(), liner, context, bleed);
    return painter.end();
}

}  // namespace

QSize LinerImageSize(const Liner& liner, int dpi) {
    // The right and bottom cut lines lie at W + 1 and H + 1 twips; a line
    // one pixel wide is drawn in the pixel its coordinate falls in (rounded
    // down, as Qt's rasterizer does), and that pixel is the image's last,
    // at every resolution.
    const QSize paper = PaperTwips(liner);
    auto last = [dpi](int twips) {
        return static_cast<int>(static_cast<long long>(std::max(twips, 0)) * std::max(dpi, 1) / 1440);
    };
    return {std::max(1, last(paper.width())) + 1, std::max(1, last(paper.height())) + 1};
}

QImage RenderLinerImage(Liner& liner, int dpi, bool transparent, const ExportContext& context) {
    const QSize size = LinerImageSize(liner, dpi);
    QImage image(size, transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) return image;
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(transparent ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    PaintForExport(painter, dpi, dpi, liner, context);
    return image;
}

bool WritePngFile(const QImage& image, const QString& path) {
    if (image.isNull()) return false;
    const bool alpha = image.hasAlphaChannel();
    const QImage rows = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (rows.isNull()) return false;
    QByteArray bytes;
    if (!EncodePng(rows, alpha, bytes)) return false;
    return SaveFileAtomically(path.toStdString(), bytes) == SaveError::None;
}

bool WriteLinerPng(Liner& liner, const QString& path, int dpi, bool transparent, const ExportContext& context) {
    return WritePngFile(RenderLinerImage(liner, dpi, transparent, context), path);
}

bool WriteLinerPdf(Liner& liner, const QString& path, int resolution, const ExportContext& context, int bleed) {
    if (bleed <= 0) {
        SaveFileDevice file(path.toStdString());
        if (!file.open()) return false;
        return Commit(file, WritePdfPage(liner, file, resolution, context, 0) && file.pos() > 0);
    }
    // The boxes go in after Qt has written the page, so the file is made in
    // memory first.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) || !WritePdfPage(liner, buffer, resolution, context, bleed)) {
            return false;
        }
    }
    const QSize paper = PaperTwips(liner);
    const int room = CropMarkRoom(bleed);
    if (!AddPdfCardBoxes(bytes, {PdfCardBox{room, room, paper.width(), paper.height(), bleed}})) return false;
    return SaveFileAtomically(path.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end())) ==
           SaveError::None;
}

bool WriteLinerSvg(Liner& liner, const QString& path, const ExportContext& context) {
    SaveFileDevice file(path.toStdString());
    if (!file.open()) return false;
    // Drawn in twips' worth of 1440-dpi units, so that no coordinate is rounded.
    constexpr int kSvgDpi = 1440;
    const QSize paper = PaperTwips(liner);
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setResolution(kSvgDpi);
    svg.setSize(paper);
    svg.setViewBox(QRect(QPoint(0, 0), paper));
    svg.setTitle(QStringLiteral("Reelcard liner"));
    bool written = false;
    QPainter painter;
    if (painter.begin(&svg)) {
        PaintForExport(painter, kSvgDpi, kSvgDpi, liner, context);
        written = painter.end();
    }
    return Commit(file, written);
}
