#include "dialogs/icons.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/commands.h"

namespace {

const char* ThemeName(int command) {
    switch (command) {
        case kCmdNew: return "document-new";
        case kCmdOpen: return "document-open";
        case kCmdSave: return "document-save";
        case kCmdPrint: return "document-print";
        case kCmdPrintPreview: return "document-print-preview";
        case kCmdFormatFeatures: return "format-justify-fill";
        case kCmdFormatLiner: return "document-properties";
        case kCmdFormatSides: return "format-justify-left";
        case kCmdFormatSongs: return "format-indent-more";
        case kCmdFormatTitle: return "format-text-bold";
        case kCmdFormatPictures: return "insert-image";
        case kCmdFormatSaveAs: return "document-save-as";
        case kCmdUndo: return "edit-undo";
        case kCmdRedo: return "edit-redo";
        default: return "";
    }
}

void Page(QPainter& p) {
    QPainterPath path;
    path.moveTo(3, 1);
    path.lineTo(10, 1);
    path.lineTo(13, 4);
    path.lineTo(13, 15);
    path.lineTo(3, 15);
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(10, 1), QPointF(10, 4));
    p.drawLine(QPointF(10, 4), QPointF(13, 4));
}

void Disk(QPainter& p, QColor body) {
    p.setPen(QPen(QColor(30, 30, 60), 1));
    p.setBrush(body);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(220, 220, 220));
    p.drawRect(QRectF(3.5, 9.5, 9, 5));
}

// A liner strip with the part a format command works on highlighted.
void Strip(QPainter& p, int highlightTop, int highlightHeight, QColor color) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 0.5, 11, 15));
    p.fillRect(QRectF(3, highlightTop, 10, highlightHeight), color);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.drawLine(QPointF(3, 4.5), QPointF(13, 4.5));
    p.drawLine(QPointF(3, 7.5), QPointF(13, 7.5));
}

}  // namespace

QIcon OwnCommandIcon(int command) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (command) {
        case kCmdNew:
            Page(p);
            p.setPen(QPen(QColor(230, 180, 0), 1.5));
            p.drawLine(QPointF(11, 8), QPointF(11, 14));
            p.drawLine(QPointF(8, 11), QPointF(14, 11));
            break;
        case kCmdOpen:
            p.setPen(QPen(QColor(120, 90, 20), 1));
            p.setBrush(QColor(240, 200, 90));
            p.drawRect(QRectF(1.5, 4.5, 13, 9));
            p.setBrush(QColor(250, 220, 130));
            p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
            break;
        case kCmdSave: Disk(p, QColor(60, 90, 170)); break;
        case kCmdFormatSaveAs:
            Disk(p, QColor(40, 140, 90));
            break;
        case kCmdPrint:
            p.setPen(QPen(QColor(50, 50, 50), 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(170, 170, 170));
            p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            break;
        case kCmdPrintPreview:
            Page(p);
            p.setPen(QPen(QColor(40, 40, 40), 1.5));
            p.setBrush(QColor(200, 230, 250));
            p.drawEllipse(QPointF(7.5, 8.5), 3, 3);
            p.drawLine(QPointF(9.8, 10.8), QPointF(13.5, 14.5));
            break;
        case kCmdFormatFeatures: Strip(p, 1, 3, QColor(250, 190, 60)); break;
        case kCmdFormatTitle: Strip(p, 5, 2, QColor(220, 70, 70)); break;
        case kCmdFormatSongs: Strip(p, 8, 7, QColor(90, 160, 230)); break;
        case kCmdFormatSides:
            Strip(p, 8, 7, QColor(200, 200, 200));
            p.setPen(QPen(QColor(40, 40, 40), 1));
            p.drawLine(QPointF(8, 8), QPointF(8, 15));
            break;
        case kCmdFormatLiner:
            Strip(p, 0, 0, Qt::white);
            p.setPen(QPen(QColor(40, 120, 40), 1.2));
            p.drawLine(QPointF(0.5, 15.5), QPointF(15.5, 15.5));
            p.drawLine(QPointF(15.5, 0.5), QPointF(15.5, 15.5));
            break;
        case kCmdFormatPictures:
            p.setPen(QPen(QColor(60, 60, 60), 1));
            p.setBrush(QColor(200, 230, 250));
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setBrush(QColor(80, 160, 80));
            p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(6, 7), QPointF(10, 13)}));
            p.setBrush(QColor(240, 200, 40));
            p.drawEllipse(QPointF(11, 6), 1.8, 1.8);
            break;
        case kCmdUndo:
        case kCmdRedo: {
            // A curved arrow, turning back (Undo) or forward (Redo).
            if (command == kCmdRedo) {
                p.translate(16, 0);
                p.scale(-1, 1);
            }
            QPainterPath arc;
            arc.moveTo(4, 7);
            arc.cubicTo(8, 2, 15, 4, 13, 11);
            p.setPen(QPen(QColor(40, 80, 160), 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawPath(arc);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 80, 160));
            p.drawPolygon(QPolygonF({QPointF(1, 4), QPointF(7, 9.5), QPointF(1.5, 10.5)}));
            break;
        }
        default: break;
    }
    return QIcon(pixmap);
}

QIcon CommandIcon(int command) {
    const QString name = QString::fromLatin1(ThemeName(command));
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return OwnCommandIcon(command);
}

QPixmap CassettePixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(45, 45, 50));
    p.drawRoundedRect(QRectF(1.5, 6.5, 29, 19), 2, 2);
    p.setBrush(QColor(245, 235, 200));
    p.drawRect(QRectF(4.5, 8.5, 23, 9));
    p.setPen(QPen(QColor(200, 60, 60), 1));
    p.drawLine(QPointF(6, 10.5), QPointF(26, 10.5));
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(10.5, 14.5), 2.5, 2.5);
    p.drawEllipse(QPointF(21.5, 14.5), 2.5, 2.5);
    p.setBrush(QColor(90, 90, 95));
    p.drawPolygon(QPolygonF({QPointF(8, 25.5), QPointF(10, 20.5), QPointF(22, 20.5), QPointF(24, 25.5)}));
    return pixmap;
}

QIcon ProgramIcon() {
    // The icon the desktop shows for the program, built into it; the
    // drawing above stands in should the pictures be missing.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = QString(":/icons/reelcard-%1.png").arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    if (!icon.isNull()) return icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(CassettePixmap(size));
    return icon;
}
