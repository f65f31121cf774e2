#include "app/printer_device.h"

#include <cups/cups.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QPrintEngine>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/save_file.h"
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

namespace {

// A connection to the print system whose every wait ends at the deadline.
class TimedConnection {
public:
    TimedConnection() {
        http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             kPrintSystemDeadlineSeconds * 1000, nullptr);
        if (http_) httpSetTimeout(http_, kPrintSystemDeadlineSeconds, OnTimeout, this);
    }
    ~TimedConnection() {
        if (http_) httpClose(http_);
    }
    TimedConnection(const TimedConnection&) = delete;
    TimedConnection& operator=(const TimedConnection&) = delete;

    http_t* http() const { return http_; }
    // The server could not be reached, or it let the deadline pass.
    bool silent() const { return !http_ || expired_; }

private:
    static int OnTimeout(http_t*, void* self) {
        static_cast<TimedConnection*>(self)->expired_ = true;
        return 0;  // give up
    }
    http_t* http_ = nullptr;
    bool expired_ = false;
};

// A failure that says the server is gone rather than that it said no.
bool LostServer(ipp_status_t status) {
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
}

// Runs `ask` (which ends by itself at the print system's deadline) on a
// thread of its own when called from the window's thread, drawing the
// windows meanwhile; elsewhere it just runs it.
template <typename Result>
Result AskPrintSystem(const std::function<Result()>& ask) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) return ask();
    Result result{};
    QEventLoop loop;
    std::thread worker([&] {
        result = ask();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return result;
}

}  // namespace

PrinterQueueState QueryPrinterQueue(const QString& name) {
    if (name.isEmpty()) return PrinterQueueState::Missing;
    const QByteArray queue = QueueOf(name);
    return AskPrintSystem<PrinterQueueState>([queue] {
        TimedConnection connection;
        if (!connection.http()) return PrinterQueueState::NoAnswer;
        // The scheduler is asked directly: the library's lookup by name goes
        // on searching elsewhere, without a deadline, once the scheduler is silent.
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                         queue.constData());
        ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state");
        ipp_t* response = cupsDoRequest(connection.http(), request, "/");
        if (!response || ippGetStatusCode(response) > IPP_STATUS_OK_CONFLICTING) {
            const bool silent = !response && (connection.silent() || LostServer(cupsLastError()));
            ippDelete(response);
            return silent ? PrinterQueueState::NoAnswer : PrinterQueueState::Missing;
        }
        ipp_attribute_t* state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
        const bool stopped = state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED;
        ippDelete(response);
        return stopped ? PrinterQueueState::Stopped : PrinterQueueState::Ready;
    });
}

std::optional<QString> DefaultPrinterName() {
    return AskPrintSystem<std::optional<QString>>([]() -> std::optional<QString> {
        TimedConnection connection;
        if (!connection.http()) return std::nullopt;
        cups_dest_t* dest = cupsGetNamedDest(connection.http(), nullptr, nullptr);
        if (!dest) {
            if (connection.silent() || LostServer(cupsLastError())) return std::nullopt;
            return QString();
        }
        QString name = QString::fromLocal8Bit(dest->name);
        if (dest->instance) name += u'/' + QString::fromLocal8Bit(dest->instance);
        cupsFreeDests(1, dest);
        return name;
    });
}

std::optional<QStringList> PrinterNames() {
    return AskPrintSystem<std::optional<QStringList>>([]() -> std::optional<QStringList> {
        TimedConnection connection;
        if (!connection.http()) return std::nullopt;
        cups_dest_t* dests = nullptr;
        const int count = cupsGetDests2(connection.http(), &dests);
        if (count == 0 && (connection.silent() || LostServer(cupsLastError()))) return std::nullopt;
        QStringList names;
        for (int i = 0; i < count; ++i) {
            QString name = QString::fromLocal8Bit(dests[i].name);
            if (dests[i].instance) name += u'/' + QString::fromLocal8Bit(dests[i].instance);
            names.append(name);
        }
        cupsFreeDests(count, dests);
        return names;
    });
}

bool PrintSystemSilent() {
    return AskPrintSystem<bool>([] {
        TimedConnection connection;
        if (!connection.http()) return false;
        ipp_t* response = cupsDoRequest(connection.http(), ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
        const bool silent = !response && connection.silent();
        ippDelete(response);
        return silent;
    });
}

std::string PrinterStateLine(PrinterQueueState state, const QString& name) {
    switch (state) {
        case PrinterQueueState::Missing:
            return Line(IDS_PRINTER_DOES_NOT_EXIST, {Bytes(name)});
        case PrinterQueueState::Stopped:
            return Line(IDS_PRINTER_IS_STOPPED, {Bytes(name)});
        case PrinterQueueState::NoAnswer:
            return LoadString(IDS_PRINT_SYSTEM_NO_ANSWER);
        case PrinterQueueState::Ready:
            break;
    }
    return {};
}

PrinterDevice::PrinterDevice(QPrinter& printer) : PagedPrintDevice(printer), printer_(printer) {}

PrinterDevice::~PrinterDevice() {
    EndPainter();
    DropSpool();
    DropTemporary();
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

bool PrinterDevice::QueueReady(bool started) {
    const PrinterQueueState state = QueryPrinterQueue(printer_.printerName());
    if (state == PrinterQueueState::Ready) return true;
    // A scheduler that answered when the job began and is silent at its end
    // was stopped or ended meanwhile; the printer itself is not to blame.
    detail_ = started && state == PrinterQueueState::NoAnswer ? LoadString(IDS_PRINT_SYSTEM_STOPPED_ANSWERING)
                                                              : PrinterStateLine(state, printer_.printerName());
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
    if (!toQueue && printer_.outputFileName().isEmpty()) return PagedPrintDevice::StartDocument(name);
    if (!toQueue) {
        // Print to file: written beside the file and put in its place only
        // when the document is whole, as a save is.
        target_ = printer_.outputFileName();
        const std::string temp = CreateTemporaryBeside(target_.toStdString());
        if (temp.empty()) {
            detail_ = Line(IDS_CANNOT_CREATE_FILE, {Bytes(target_)});
            target_.clear();
            SetLastError(-1);
            return false;
        }
        temporary_ = QString::fromStdString(temp);
        printer_.setOutputFileName(temporary_);
        if (PagedPrintDevice::StartDocument(name)) return true;
        DropTemporary();
        return false;
    }
    {
        if (!QueueReady(false)) return false;
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
    if (!temporary_.isEmpty()) {
        const bool written = PagedPrintDevice::EndDocument();
        const bool whole = written && PdfFileIsWhole(temporary_);
        const bool placed = whole && ReplaceWithWritten(temporary_.toStdString(), target_.toStdString()) ==
                                         SaveError::None;
        if (!placed) {
            // A disk that filled up is the usual reason a written file is not whole.
            if (written) SetLastError(-4);
            detail_ = Line(IDS_CANNOT_WRITE_FILE, {Bytes(target_)});
        }
        DropTemporary();
        return placed;
    }
    if (!spool_) return PagedPrintDevice::EndDocument();
    const bool written = PagedPrintDevice::EndDocument();
    // The queue gets only a file that was written whole.
    const bool whole = written && PdfFileIsWhole(spool_->filePath(QStringLiteral("job")));
    if (written && !whole) SetLastError(-4);
    const bool sent = whole && QueueReady(true) && Submit();
    DropSpool();
    return sent;
}

bool PrinterDevice::AbortDocument() {
    if (!temporary_.isEmpty()) {
        EndPainter();
        DropTemporary();
        return true;
    }
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
    struct Sent {
        int job = 0;
        ipp_status_t status = IPP_STATUS_OK;
        QString reason;
        bool silent = false;
    };
    const Sent sent = AskPrintSystem<Sent>([&] {
        Sent s;
        TimedConnection connection;
        if (connection.http()) {
            s.job = cupsPrintFile2(connection.http(), queue.constData(), file.constData(), title.constData(), count,
                                   options);
        }
        s.status = cupsLastError();
        s.reason = QString::fromUtf8(cupsLastErrorString());
        s.silent = connection.silent() || LostServer(s.status);
        return s;
    });
    cupsFreeOptions(count, options);
    jobId_ = sent.job;
    if (jobId_ > 0) return true;
    jobId_ = 0;
    const ipp_status_t status = sent.status;
    detail_ = sent.silent ? LoadString(IDS_PRINT_SYSTEM_STOPPED_ANSWERING)
                          : Line(IDS_PRINTER_REFUSED_JOB, {Bytes(printer_.printerName()), Bytes(sent.reason)});
    SetLastError(status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED ? -3 : -1);
    return false;
}

void PrinterDevice::DropTemporary() {
    if (temporary_.isEmpty()) return;
    QFile::remove(temporary_);
    printer_.setOutputFileName(target_);
    temporary_.clear();
    target_.clear();
}

void PrinterDevice::DropSpool() {
    if (!spool_) return;
    printer_.setOutputFileName(QString());
    spool_.reset();
}
