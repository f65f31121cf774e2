#include "app/printer_device.h"

#include <cups/cups.h>
#include <QPrintEngine>
#include <QPrinterInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <vector>

#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/strings.h"

namespace {

// The options the print dialog collected for the print system (banners,
// page set, ...) as name, value pairs; Qt keeps them under this key.
constexpr auto kCupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// A printer name may carry an instance after a slash; the queue is the part
// before it.
QByteArray QueueOf(const QString& name) {
    return name.section(u'/', 0, 0).toLocal8Bit();
}

std::string Line(uint16_t id, const std::vector<MessageArg>& args) {
    return FormatMessageText(LoadString(id), args);
}

std::string Bytes(const QString& text) {
    return EncodeCodePage(text);
}

}  // namespace

PrinterQueueState QueryPrinterQueue(const QString& name) {
    if (name.isEmpty()) return PrinterQueueState::Missing;
    const QByteArray queue = QueueOf(name);
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), nullptr);
    if (!dest) return PrinterQueueState::Missing;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    const bool stopped = state && std::atoi(state) == IPP_PSTATE_STOPPED;
    cupsFreeDests(1, dest);
    return stopped ? PrinterQueueState::Stopped : PrinterQueueState::Ready;
}

QString DefaultPrinterName() {
    return QPrinterInfo::defaultPrinterName();
}

std::string PrinterStateLine(PrinterQueueState state, const QString& name) {
    switch (state) {
        case PrinterQueueState::Missing:
            return Line(IDS_PRINTER_DOES_NOT_EXIST, {Bytes(name)});
        case PrinterQueueState::Stopped:
            return Line(IDS_PRINTER_IS_STOPPED, {Bytes(name)});
        case PrinterQueueState::Ready:
            break;
    }
    return {};
}

PrinterDevice::PrinterDevice(QPrinter& printer) : PagedPrintDevice(printer), printer_(printer) {}

PrinterDevice::~PrinterDevice() {
    EndPainter();
    DropSpool();
}

int PrinterDevice::DeviceCopies() const {
    return printer_.copyCount();
}

void PrinterDevice::SetDeviceCopies(int copies) {
    printer_.setCopyCount(copies);
}

void PrinterDevice::SetDocumentName(const QString& name) {
    documentName_ = name;
    printer_.setDocName(name);
}

int PrinterDevice::FailureCode() const {
    switch (printer_.printerState()) {
        case QPrinter::Aborted:
            return -3;
        // Qt gives no finer reason than "error".
        default:
            return -1;
    }
}

bool PrinterDevice::QueueReady() {
    const PrinterQueueState state = QueryPrinterQueue(printer_.printerName());
    if (state == PrinterQueueState::Ready) return true;
    detail_ = PrinterStateLine(state, printer_.printerName());
    SetLastError(-1);
    return false;
}

bool PrinterDevice::StartDocument(const QString& name) {
    detail_.clear();
    jobId_ = 0;
    DropSpool();
    // A printer that writes a file (print to file) needs no queue.
    const bool toQueue =
        printer_.outputFormat() == QPrinter::NativeFormat && printer_.outputFileName().isEmpty();
    if (toQueue) {
        if (!QueueReady()) return false;
        spool_ = std::make_unique<QTemporaryDir>();
        if (!spool_->isValid()) {
            spool_.reset();
            SetLastError(-4);
            return false;
        }
        // A name without ".pdf" keeps the printer's own paper and printable
        // area; Qt then writes the file and sends nothing.
        printer_.setOutputFileName(spool_->filePath(QStringLiteral("job")));
    }
    if (PagedPrintDevice::StartDocument(name)) return true;
    DropSpool();
    return false;
}

bool PrinterDevice::EndDocument() {
    if (!spool_) return PagedPrintDevice::EndDocument();
    const bool written = PagedPrintDevice::EndDocument();
    const bool sent = written && QueueReady() && Submit();
    DropSpool();
    return sent;
}

bool PrinterDevice::AbortDocument() {
    if (!spool_) {
        const bool aborted = printer_.abort();
        EndPainter();
        return aborted;
    }
    // Nothing has reached the queue yet: dropping the file is the whole abort.
    EndPainter();
    DropSpool();
    return true;
}

// Sends the finished document as one job, with the paper and the options
// the print dialog collected.  Copies are never asked of the print system:
// the document already holds every copy.  Each page carries its own size and
// turn, so no orientation is asked either (the print system turns a
// landscape page onto the paper by itself).
bool PrinterDevice::Submit() {
    cups_option_t* options = nullptr;
    int count = 0;
    const QByteArray media = printer_.pageLayout().pageSize().key().toLocal8Bit();
    if (!media.isEmpty()) count = cupsAddOption("media", media.constData(), count, &options);
    const char* sides = "one-sided";
    switch (printer_.duplex()) {
        case QPrinter::DuplexLongSide:
            sides = "two-sided-long-edge";
            break;
        case QPrinter::DuplexShortSide:
            sides = "two-sided-short-edge";
            break;
        case QPrinter::DuplexAuto:
            sides = printer_.pageLayout().orientation() == QPageLayout::Landscape
                        ? "two-sided-short-edge"
                        : "two-sided-long-edge";
            break;
        default:
            break;
    }
    count = cupsAddOption("sides", sides, count, &options);
    if (QPrintEngine* engine = printer_.printEngine()) {
        const QStringList pairs = engine->property(kCupsOptionsKey).toStringList();
        for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
            const QByteArray key = pairs[i].toLocal8Bit(), value = pairs[i + 1].toLocal8Bit();
            if (key == "copies" || key == "Collate" || key == "landscape") continue;
            count = cupsAddOption(key.constData(), value.constData(), count, &options);
        }
    }
    const QByteArray queue = QueueOf(printer_.printerName());
    const QByteArray file = spool_->filePath(QStringLiteral("job")).toLocal8Bit();
    const QByteArray title = documentName_.toLocal8Bit();
    jobId_ = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(), file.constData(),
                            title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (jobId_ > 0) return true;
    jobId_ = 0;
    const ipp_status_t status = cupsLastError();
    detail_ = Line(IDS_PRINTER_REFUSED_JOB, {Bytes(printer_.printerName()),
                                             Bytes(QString::fromUtf8(cupsLastErrorString()))});
    SetLastError(status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED ? -3 : -1);
    return false;
}

void PrinterDevice::DropSpool() {
    if (!spool_) return;
    printer_.setOutputFileName(QString());
    spool_.reset();
}
