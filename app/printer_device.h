// The print system's printers as print devices, for the program and for
// reelcard-cli alike.  A job for a printer queue is drawn by QPrinter with that
// printer's paper and printable area into a file of its own, and handed to the
// print system (CUPS) whole when the document ends: a job that is cancelled,
// fails half way, or finds its printer gone or stopped leaves nothing queued.
#pragma once

#include <QPrinter>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "render/print_job.h"

class QTemporaryDir;

// What the print system says about a printer, asked afresh each time.
// Every question to the print system has a deadline (a scheduler that is
// stopped, or a server that takes the connection and never answers, would
// otherwise hold the program forever); asked from the window's thread, it
// is asked from a thread of its own while the windows keep being drawn.
enum class PrinterQueueState { Missing, Ready, Stopped, NoAnswer };
PrinterQueueState QueryPrinterQueue(const QString& name);

// How long the print system gets to answer one question.
constexpr int kPrintSystemDeadlineSeconds = 5;

// The print system's default printer; empty when it has none, nothing when
// the print system does not answer.
std::optional<QString> DefaultPrinterName();

// The print system's printers, by name; nothing when it does not answer.
std::optional<QStringList> PrinterNames();

// Whether a print system is there but lets the deadline pass (a stopped
// scheduler): the print dialog would then hang on its list of printers.  No
// print system at all is not silent; the dialog can still print to a file.
bool PrintSystemSilent();

// The line under a print error that names the printer and what is wrong with
// it: "Printer "NAME" does not exist", "... is stopped" or "The print system
// does not answer"; empty when ready.
std::string PrinterStateLine(PrinterQueueState state, const QString& name);

// The printer as a print device.  Liners are placed from the corner of what
// the printer can mark (its minimum margins), whatever margins its layout
// has.  When the printer writes to a file (print to file), the file is the
// output and nothing is sent anywhere.
class PrinterDevice : public PagedPrintDevice {
public:
    explicit PrinterDevice(QPrinter& printer);
    ~PrinterDevice() override;

    int DeviceCopies() const override;
    void SetDeviceCopies(int copies) override;
    bool StartDocument(const QString& name) override;
    bool EndDocument() override;
    bool AbortDocument() override;
    std::string FailureDetail() const override { return detail_; }

    // The print system's number for the job sent by the last EndDocument; 0
    // when none was sent.
    int JobId() const { return jobId_; }

private:
    void SetDocumentName(const QString& name) override;
    int FailureCode() const override;
    // Whether the queue can take the job now; otherwise the failure is set.
    // `started`: asked again at the end of a job that began.
    bool QueueReady(bool started);
    bool Submit();
    void DropSpool();
    void DropTemporary();

    QPrinter& printer_;
    // Where a queue's job is drawn before it is sent; none when printing to a file.
    std::unique_ptr<QTemporaryDir> spool_;
    // Print to file: the file asked for and the one being written beside it.
    QString target_, temporary_;
    QString documentName_;
    std::string detail_;
    int jobId_ = 0;
};
