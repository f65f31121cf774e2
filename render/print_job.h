// Printing liners on paged devices: where a liner goes on the sheet, the
// page orientation, the copies, the 2-up sheets, batches of liner files and
// the print error messages.  The same job runs for a printer in the program
// and for a PDF file in the command-line tool; only the device differs.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/liner.h"
#include "document/print_settings.h"
#include "render/pdf_boxes.h"

class Prompter;
class QPainter;
class QPagedPaintDevice;
class QPdfWriter;
class SaveFileDevice;

enum class PageTurn { Portrait = 1, Landscape = 2 };

// The page as the device has it now, in twips, every value positive: the
// paper, and the part of it the device can mark.
struct PageMetrics {
    int paperWidth = 0;
    int paperHeight = 0;
    int printableX = 0;
    int printableY = 0;
    int printableWidth = 0;
    int printableHeight = 0;
};

// Where the liners of a sheet go: twips, y up, origin at the printable
// area's top-left corner (so y is zero or negative).
struct PrintPlacement {
    int firstX = 0;
    int secondX = 0;
    int y = 0;
    bool operator==(const PrintPlacement&) const = default;
};

// The margins the page keeps free: the larger of the user's margin and the
// device's unprintable edge, on each side.
struct EffectiveMargins {
    int left = 0, right = 0, top = 0, bottom = 0;
};
EffectiveMargins ComputeEffectiveMargins(const PageMetrics& page, const PrintSettings& margins);

// The upright placement of a liner `linerWidth` by `linerHeight` twips (one
// or two of them side by side), or nothing when it does not fit.  A liner
// exactly as large as the free space does not fit: the outermost line of a
// liner lies one twip beyond its nominal size.
std::optional<PrintPlacement> PlaceUpright(const PageMetrics& page, const PrintSettings& margins,
                                           int linerWidth, int linerHeight, bool twoUp);

// Whether the liner(s) would fit with the page turned a quarter: the margins
// go round with the paper (the top margin becomes the left one, the right
// margin the top one).
bool FitsTurned(const PageMetrics& page, const PrintSettings& margins, int linerWidth, int linerHeight,
                bool twoUp);

// The margins as they stand on the turned page, each kept on its own edge
// of the physical sheet.  A print system that turns a landscape page
// counter-clockwise onto the paper (the usual way) puts the page's top along
// the paper's left edge; one that turns it clockwise puts it along the right.
PrintSettings TurnedMargins(const PrintSettings& margins, bool clockwise = false);

// A grid of equal cells on the sheet, each holding a card (with its bleed and
// crop marks when it has them).  `x` and `y` are the top-left corner of the
// first cell, in the placement's coordinates.
struct SheetGrid {
    int columns = 0, rows = 0;
    int cellWidth = 0, cellHeight = 0;
    int x = 0, y = 0;
    int capacity = 0;  // cells used: no more than the limit asked for
};
// The cells of `cellWidth` by `cellHeight` twips that fit within the margins,
// no more than `limit`; none when not one fits.  As with one liner, a cell
// exactly as large as the free space does not fit.
SheetGrid FitSheetGrid(const PageMetrics& page, const PrintSettings& margins, int cellWidth, int cellHeight,
                       int limit);

// A device that takes pages: a printer or a PDF file.  Pages are started and
// ended explicitly; drawing goes through Painter() while a page is open, with
// the painter's origin at the paper's top-left corner in device pixels.
class PrintDevice {
public:
    virtual ~PrintDevice() = default;

    virtual PageMetrics Metrics() const = 0;
    virtual PageTurn Orientation() const = 0;
    // Turns the paper; false when the device cannot.
    virtual bool SetOrientation(PageTurn turn) = 0;

    // Whether the print system turns a landscape page clockwise onto the
    // paper; most turn it counter-clockwise.
    virtual bool TurnsLandscapeClockwise() const { return false; }

    // The copies the device itself would make of every page.
    virtual int DeviceCopies() const { return 1; }
    virtual void SetDeviceCopies(int) {}

    virtual bool StartDocument(const QString& name) = 0;
    virtual bool StartPage() = 0;
    virtual bool EndPage() = 0;
    virtual bool EndDocument() = 0;
    // Throws the job away: what was not yet sent is not printed.  False when
    // the device cannot; the job is then ended normally.
    virtual bool AbortDocument() { return false; }

    virtual QPainter* Painter() = 0;
    virtual double DpiX() const = 0;
    virtual double DpiY() const = 0;

    // The spooler's code for the last failure: -1 general error, -2 cancelled
    // by the program, -3 cancelled by the user, -4 out of disk, -5 out of
    // memory; 0 when the failure has no such code.
    virtual int LastError() const = 0;
    // A line naming the printer and what went wrong with it, shown under the
    // reason; empty when there is nothing to add.
    virtual std::string FailureDetail() const { return {}; }
};

// A device over a Qt paged paint device (QPdfWriter, QPrinter).  The
// printable area is the paper less the layout's minimum margins.
class PagedPrintDevice : public PrintDevice {
public:
    explicit PagedPrintDevice(QPagedPaintDevice& device);
    ~PagedPrintDevice() override;

    PageMetrics Metrics() const override;
    PageTurn Orientation() const override;
    bool SetOrientation(PageTurn turn) override;
    bool StartDocument(const QString& name) override;
    bool StartPage() override;
    bool EndPage() override;
    bool EndDocument() override;
    QPainter* Painter() override;
    double DpiX() const override;
    double DpiY() const override;
    int LastError() const override { return lastError_; }

protected:
    // Hooks for the concrete device: naming the document, and the failure
    // code when the device gives a reason.
    virtual void SetDocumentName(const QString&) {}
    virtual int FailureCode() const { return -1; }
    void SetLastError(int code) { lastError_ = code; }
    bool Begun() const;
    void EndPainter();

private:
    QPagedPaintDevice& device_;
    std::unique_ptr<QPainter> painter_;
    int pagesStarted_ = 0;
    bool pageOpen_ = false;
    int lastError_ = 0;
};

// The writer comes first so that it is made before the device over it.
struct PdfWriterHolder {
    explicit PdfWriterHolder(const QString& path);
    ~PdfWriterHolder();
    std::unique_ptr<SaveFileDevice> file;
    std::unique_ptr<QPdfWriter> writer;
};

// A PDF file as the device; the whole paper is printable.  The file is
// saved as liner files are: it replaces `path` only at Commit(), after the
// job ended; without a commit the old file stays.
class PdfPrintDevice : private PdfWriterHolder, public PagedPrintDevice {
public:
    // `paper` is a QPageSize id; the page starts upright.
    PdfPrintDevice(const QString& path, int paperId, int resolution = 1200);
    ~PdfPrintDevice() override;
    // False when any part of the file could not be written or put in place.
    bool Commit();

private:
    void SetDocumentName(const QString& name) override;
};

// Whether the PDF file at `path` is whole: it starts as a PDF, ends with the
// end-of-file mark, and its cross-reference table is where its trailer says.
// A file cut short by a full disk fails.
bool PdfFileIsWhole(const QString& path);

// Turns the device's paper to `turn` (no change when it already is).
bool SetPrinterOrientation(PrintDevice& device, PageTurn turn);

// Where the liner goes on `device`, turning the paper when the liner only fits
// the other way.  On failure the user has been told and nothing was turned.
std::optional<PrintPlacement> ComputePrintPlacement(PrintDevice& device, const PrintSettings& margins,
                                                    int linerWidth, int linerHeight, bool twoUp,
                                                    Prompter& prompter);

// Tells the user about a failed print step `stringId`, with the reason for the
// spooler's `code` and, when given, a line of `detail` (the printer's name and
// its state).  Failures without a spooler code are not shown.
void ReportPrintError(Prompter& prompter, uint16_t stringId, int code,
                      const std::string& detail = {});

// The copies the program makes: when the print dialog asked for one copy and
// the device is set to make several, the program makes those itself.  The
// device is always left making one.
int TakeCopies(int dialogCopies, PrintDevice& device);

// What the job tells the one watching it, and how it learns of a cancel.
class PrintProgress {
public:
    virtual ~PrintProgress() = default;
    // The document has started; `line` names what is printing.
    virtual void Started(const std::string& line) { (void)line; }
    // The next file of a batch is being read.
    virtual void FileChanged(const std::string& line) { (void)line; }
    virtual void CopyChanged(int copy, int copies) { (void)copy, (void)copies; }
    // Lets waiting events through; true once the user has cancelled.
    virtual bool Cancelled() { return false; }
    // The job is over and was not cancelled.
    virtual void Finished() {}
};

struct PrintJobRequest {
    // The liner files of a batch, printed one after the other into `liner`;
    // empty to print `liner` as it is.
    std::vector<std::string> files;
    int copies = 1;
    PrintSettings page;  // the margins and 2-up
    QString documentName;
    // Whether the job may warn that songs do not all fit: once for the whole
    // job, however many copies and files it prints.
    bool warnSongFit = false;
    // A job that cannot print every file in all its copies is thrown away
    // where the device can, instead of printing the part that went well.
    bool wholeOrNothing = false;
};

struct PrintJobResult {
    bool printed = false;    // the document was started and ended
    bool cancelled = false;  // the user stopped it
    int sheets = 0;          // pages ended
    bool complete = false;   // every file read and printed in all its copies
    bool picturesMissing = false;  // a picture could not be drawn (the user was told)
    // With bleed, for each sheet ended: the card on it when it holds just
    // one (a PDF's TrimBox and BleedBox can name only one).
    std::vector<std::optional<PdfCardBox>> sheetCards;
};

// The job: placement, document, pages, copies, the next files of a batch,
// and the paper turned back at the end.  Messages go to `prompter`.
PrintJobResult RunPrintJob(PrintDevice& device, Liner& liner, const PrintJobRequest& request,
                           Prompter& prompter, PrintProgress& progress);
