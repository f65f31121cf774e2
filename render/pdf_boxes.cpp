#include "render/pdf_boxes.h"

// The library's own smart pointers are not used here.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QFile>

#include <algorithm>
#include <exception>

#include "platform/save_file.h"

namespace {

constexpr double kTwipsPerPoint = 20.0;

}  // namespace

bool AddPdfCardBoxes(QByteArray& pdf, const std::vector<std::optional<PdfCardBox>>& cards) {
    // qpdf reports a damaged file by throwing; nothing of it may leave here.
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("card.pdf", pdf.constData(), static_cast<size_t>(pdf.size()));
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
        for (size_t i = 0; i < pages.size() && i < cards.size(); ++i) {
            if (!cards[i]) continue;
            const PdfCardBox& card = *cards[i];
            const QPDFObjectHandle::Rectangle media = pages[i].getMediaBox().getArrayAsRectangle();
            // PDF measures up from the page's bottom edge.
            const double left = media.llx + card.x / kTwipsPerPoint;
            const double top = media.ury - card.depth / kTwipsPerPoint;
            const double right = left + card.width / kTwipsPerPoint;
            const double bottom = top - card.height / kTwipsPerPoint;
            const double bleed = card.bleed / kTwipsPerPoint;
            QPDFObjectHandle page = pages[i].getObjectHandle();
            page.replaceKey("/TrimBox",
                            QPDFObjectHandle::newFromRectangle(QPDFObjectHandle::Rectangle(left, bottom, right, top)));
            page.replaceKey("/BleedBox", QPDFObjectHandle::newFromRectangle(QPDFObjectHandle::Rectangle(
                                             std::max(media.llx, left - bleed), std::max(media.lly, bottom - bleed),
                                             std::min(media.urx, right + bleed), std::min(media.ury, top + bleed))));
        }
        QPDFWriter writer(document);
        writer.setOutputMemory();
        // The streams as Qt wrote them: the pictures are not touched again.
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.write();
        const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        pdf = QByteArray(reinterpret_cast<const char*>(out->getBuffer()), static_cast<qsizetype>(out->getSize()));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool AddPdfCardBoxesToFile(const QString& path, const std::vector<std::optional<PdfCardBox>>& cards) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty() || !AddPdfCardBoxes(bytes, cards)) return false;
    return SaveFileAtomically(path.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end())) ==
           SaveError::None;
}
