#include "render/print_job.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>

#include "document/liner_file.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/qt_surface.h"
#include "platform/save_file.h"
#include "platform/strings.h"
#include "render/painter.h"

namespace {

constexpr int kTwipsPerPoint = 20;

int PointsToTwips(double points) { return static_cast<int>(std::lround(std::abs(points) * kTwipsPerPoint)); }

MessageStyle StopStyle() { return {MessageIcon::Stop, MessageButtons::Ok, false}; }

PageTurn OtherTurn(PageTurn turn) {
    return turn == PageTurn::Portrait ? PageTurn::Landscape : PageTurn::Portrait;
}

// The needed width: the liner's paper is one twip wider than its nominal
// width, and two liners sit side by side.
int NeededWidth(int linerWidth, bool twoUp) { return twoUp ? 2 * linerWidth + 2 : linerWidth + 1; }

}  // namespace

// ---- placement ---------------------------------------------------------------------

EffectiveMargins ComputeEffectiveMargins(const PageMetrics& page, const PrintSettings& margins) {
    EffectiveMargins m;
    m.left = std::max<int>(margins.marginLeft.twips, page.printableX);
    m.top = std::max<int>(margins.marginTop.twips, page.printableY);
    m.right = std::max<int>(margins.marginRight.twips, page.paperWidth - page.printableX - page.printableWidth);
    m.bottom =
        std::max<int>(margins.marginBottom.twips, page.paperHeight - page.printableY - page.printableHeight);
    return m;
}

std::optional<PrintPlacement> PlaceUpright(const PageMetrics& page, const PrintSettings& margins,
                                           int linerWidth, int linerHeight, bool twoUp) {
    const EffectiveMargins m = ComputeEffectiveMargins(page, margins);
    const int availableWidth = page.paperWidth - m.left - m.right;
    const int availableHeight = page.paperHeight - m.top - m.bottom;
    if (!(NeededWidth(linerWidth, twoUp) < availableWidth && linerHeight + 1 < availableHeight)) {
        return std::nullopt;
    }
    PrintPlacement p;
    p.firstX = m.left - page.printableX;
    p.secondX = p.firstX + linerWidth + 1;
    p.y = page.printableY - m.top;
    return p;
}

PrintSettings TurnedMargins(const PrintSettings& margins, bool clockwise) {
    PrintSettings turned = margins;
    if (clockwise) {
        turned.marginLeft = margins.marginTop;
        turned.marginTop = margins.marginRight;
        turned.marginRight = margins.marginBottom;
        turned.marginBottom = margins.marginLeft;
    } else {
        turned.marginLeft = margins.marginBottom;
        turned.marginTop = margins.marginLeft;
        turned.marginRight = margins.marginTop;
        turned.marginBottom = margins.marginRight;
    }
    return turned;
}

SheetGrid FitSheetGrid(const PageMetrics& page, const PrintSettings& margins, int cellWidth, int cellHeight,
                       int limit) {
    const EffectiveMargins m = ComputeEffectiveMargins(page, margins);
    const int availableWidth = page.paperWidth - m.left - m.right;
    const int availableHeight = page.paperHeight - m.top - m.bottom;
    SheetGrid grid;
    if (cellWidth <= 0 || cellHeight <= 0 || availableWidth <= 0 || availableHeight <= 0) return grid;
    grid.columns = std::min((availableWidth - 1) / cellWidth, limit);
    if (grid.columns <= 0) return {};
    grid.rows = std::min((availableHeight - 1) / cellHeight, (limit - 1) / grid.columns + 1);
    if (grid.rows <= 0) return {};
    grid.capacity = std::min(grid.columns * grid.rows, limit);
    grid.cellWidth = cellWidth;
    grid.cellHeight = cellHeight;
    grid.x = m.left - page.printableX;
    grid.y = page.printableY - m.top;
    return grid;
}

bool FitsTurned(const PageMetrics& page, const PrintSettings& margins, int linerWidth, int linerHeight,
                bool twoUp) {
    const EffectiveMargins m = ComputeEffectiveMargins(page, margins);
    const int availableWidth = page.paperWidth - m.left - m.right;
    const int availableHeight = page.paperHeight - m.top - m.bottom;
    return NeededWidth(linerWidth, twoUp) < availableHeight && linerHeight + 1 < availableWidth;
}

bool SetPrinterOrientation(PrintDevice& device, PageTurn turn) {
    if (device.Orientation() == turn) return true;
    return device.SetOrientation(turn) && device.Orientation() == turn;
}

std::optional<PrintPlacement> ComputePrintPlacement(PrintDevice& device, const PrintSettings& margins,
                                                    int linerWidth, int linerHeight, bool twoUp,
                                                    Prompter& prompter) {
    const PageMetrics page = device.Metrics();
    if (auto upright = PlaceUpright(page, margins, linerWidth, linerHeight, twoUp)) return upright;

    if (FitsTurned(page, margins, linerWidth, linerHeight, twoUp)) {
        const PageTurn before = device.Orientation();
        if (!SetPrinterOrientation(device, OtherTurn(before))) {
            ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(),
                        twoUp ? IDS_TWO_LINERS_WONT_FIT_TURNED : IDS_LINER_WONT_FIT_TURNED);
            return std::nullopt;
        }
        // The turned page is measured again rather than derived from the
        // upright one: drivers differ in which edge the unprintable strips
        // go to when the paper turns.
        if (auto turned = PlaceUpright(device.Metrics(), TurnedMargins(margins, device.TurnsLandscapeClockwise()),
                                       linerWidth, linerHeight, twoUp)) {
            return turned;
        }
        SetPrinterOrientation(device, before);
    }
    ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(),
                twoUp ? IDS_TWO_LINERS_WONT_FIT : IDS_LINER_WONT_FIT);
    return std::nullopt;
}

// ---- errors and copies ---------------------------------------------------------------

void ReportPrintError(Prompter& prompter, uint16_t stringId, int code, const std::string& detail) {
    static constexpr uint16_t kReasons[] = {IDS_SPOOL_GENERAL_ERROR, IDS_SPOOL_CANCELED_BY_PROGRAM,
                                            IDS_SPOOL_CANCELED_BY_USER, IDS_SPOOL_OUT_OF_DISK,
                                            IDS_SPOOL_OUT_OF_MEMORY};
    if (code > -1 || code < -5) return;
    std::string text = LoadString(stringId) + "\n\r" + LoadString(kReasons[-code - 1]);
    if (!detail.empty()) text += "\n\r" + detail;
    prompter.Show(MessageOwner::MainWindow(), StopStyle(), text);
}

int TakeCopies(int dialogCopies, PrintDevice& device) {
    int copies = std::max(dialogCopies, 1);
    const int deviceCopies = device.DeviceCopies();
    if (dialogCopies == 1 && deviceCopies > 1) copies = deviceCopies;
    if (deviceCopies != 1) device.SetDeviceCopies(1);
    return copies;
}

// ---- devices -------------------------------------------------------------------------

PagedPrintDevice::PagedPrintDevice(QPagedPaintDevice& device) : device_(device) {}

PagedPrintDevice::~PagedPrintDevice() { EndPainter(); }

PageMetrics PagedPrintDevice::Metrics() const {
    QPageLayout layout = device_.pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QRectF paper = layout.fullRect(QPageLayout::Point);
    const QMarginsF unprintable = layout.minimumMargins();
    PageMetrics m;
    m.paperWidth = PointsToTwips(paper.width());
    m.paperHeight = PointsToTwips(paper.height());
    m.printableX = PointsToTwips(unprintable.left());
    m.printableY = PointsToTwips(unprintable.top());
    m.printableWidth = PointsToTwips(paper.width() - unprintable.left() - unprintable.right());
    m.printableHeight = PointsToTwips(paper.height() - unprintable.top() - unprintable.bottom());
    return m;
}

PageTurn PagedPrintDevice::Orientation() const {
    return device_.pageLayout().orientation() == QPageLayout::Landscape ? PageTurn::Landscape
                                                                         : PageTurn::Portrait;
}

bool PagedPrintDevice::SetOrientation(PageTurn turn) {
    return device_.setPageOrientation(turn == PageTurn::Landscape ? QPageLayout::Landscape
                                                                  : QPageLayout::Portrait);
}

bool PagedPrintDevice::StartDocument(const QString& name) {
    lastError_ = 0;
    SetDocumentName(name);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&device_)) {
        painter_.reset();
        lastError_ = FailureCode();
        return false;
    }
    pagesStarted_ = 0;
    pageOpen_ = false;
    return true;
}

bool PagedPrintDevice::StartPage() {
    if (!Begun() || pageOpen_) {
        lastError_ = -1;
        return false;
    }
    // The painter opened the first page when it began.
    if (pagesStarted_ > 0 && !device_.newPage()) {
        lastError_ = FailureCode();
        return false;
    }
    ++pagesStarted_;
    pageOpen_ = true;
    painter_->save();
    // Liners are placed from the printable area's corner; the painter's
    // origin is wherever the layout's margins put it.
    QPageLayout layout = device_.pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QPointF origin = layout.paintRect(QPageLayout::Point).topLeft();
    const QMarginsF unprintable = layout.minimumMargins();
    painter_->translate((unprintable.left() - origin.x()) * DpiX() / 72.0,
                        (unprintable.top() - origin.y()) * DpiY() / 72.0);
    return true;
}

bool PagedPrintDevice::EndPage() {
    if (!Begun() || !pageOpen_) {
        lastError_ = -1;
        return false;
    }
    painter_->restore();
    pageOpen_ = false;
    return true;
}

bool PagedPrintDevice::EndDocument() {
    if (!Begun()) {
        lastError_ = -1;
        return false;
    }
    if (pageOpen_) painter_->restore();
    pageOpen_ = false;
    const bool ended = painter_->end();
    painter_.reset();
    if (!ended) lastError_ = FailureCode();
    return ended;
}

void PagedPrintDevice::EndPainter() {
    if (painter_ && painter_->isActive()) painter_->end();
    painter_.reset();
    pageOpen_ = false;
}

QPainter* PagedPrintDevice::Painter() { return pageOpen_ ? painter_.get() : nullptr; }

double PagedPrintDevice::DpiX() const { return device_.logicalDpiX(); }
double PagedPrintDevice::DpiY() const { return device_.logicalDpiY(); }

bool PagedPrintDevice::Begun() const { return painter_ && painter_->isActive(); }

PdfWriterHolder::PdfWriterHolder(const QString& path)
    : file(std::make_unique<SaveFileDevice>(path.toStdString())) {
    // A file that cannot be created makes the job fail to start.
    (void)file->open();
    writer = std::make_unique<QPdfWriter>(file.get());
}
PdfWriterHolder::~PdfWriterHolder() = default;

PdfPrintDevice::PdfPrintDevice(const QString& path, int paperId, int resolution)
    : PdfWriterHolder(path), PagedPrintDevice(*writer) {
    writer->setCreator(QStringLiteral("Reelcard"));
    writer->setResolution(resolution);
    writer->setPageLayout(QPageLayout(QPageSize(static_cast<QPageSize::PageSizeId>(paperId)),
                                       QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
}

PdfPrintDevice::~PdfPrintDevice() { EndPainter(); }

bool PdfFileIsWhole(const QString& path) {
    QFile file(path);
    if (!IsRegularFile(path.toStdString()) || !file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    if (size < 32 || file.read(5) != "%PDF-") return false;
    constexpr qint64 kTail = 1024;
    if (!file.seek(std::max<qint64>(0, size - kTail))) return false;
    const QByteArray tail = file.read(kTail);
    if (!tail.trimmed().endsWith("%%EOF")) return false;
    const qsizetype at = tail.lastIndexOf("startxref");
    if (at < 0) return false;
    bool ok = false;
    const qint64 xref = tail.mid(at + 9).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= size || !file.seek(xref)) return false;
    const QByteArray mark = file.read(4);
    // A cross-reference table, or a cross-reference stream's object.
    return mark == "xref" || (!mark.isEmpty() && mark[0] >= '0' && mark[0] <= '9');
}

bool PdfPrintDevice::Commit() {
    EndPainter();
    return file->Commit() == SaveError::None;
}

void PdfPrintDevice::SetDocumentName(const QString& name) { writer->setTitle(name); }

// ---- the job -------------------------------------------------------------------------

namespace {

// Passes messages on, first ending the progress display: a message that
// comes while a job runs ends the job, and the window that owns the message
// must be usable again to answer it.
class EndingPrompter : public Prompter {
public:
    EndingPrompter(Prompter& inner, std::function<void()> end)
        : inner_(inner), end_(std::move(end)) {}
    MessageResult Show(const MessageOwner& owner, const MessageStyle& style,
                       const std::string& text) override {
        end_();
        return inner_.Show(owner, style, text);
    }
    MergeChoice AskMerge(const std::string& caption) override {
        end_();
        return inner_.AskMerge(caption);
    }
    void RequestClose() override { inner_.RequestClose(); }
    void SetBusy(bool on) override { inner_.SetBusy(on); }

private:
    Prompter& inner_;
    std::function<void()> end_;
};

class Job {
public:
    Job(PrintDevice& device, Liner& liner, const PrintJobRequest& request, Prompter& prompter,
        PrintProgress& progress)
        : device_(device), liner_(liner), request_(request), prompter_(prompter), progress_(progress) {}

    PrintJobResult Run();

private:
    bool ReadFile(size_t index);
    bool PlaceCurrent();
    bool PlaceGrid(int cellWidth, int cellHeight);
    bool PrintCopies();
    bool PrintGridCopies();
    bool Draw(int x, int y, const std::vector<TwipSegment>& marks = {});
    std::vector<TwipSegment> GridMarks(int column, int row) const;
    bool EndSheet();
    void Report(uint16_t stringId);
    void EndProgress();
    void Discard();
    const PrintSettings& MarginsNow() const { return turned_ ? turnedMargins_ : request_.page; }
    // Cards go in a grid of cells when the sheet takes as many as fit, or
    // when each card has bleed and crop marks around it.
    bool GridMode() const { return request_.page.printNUp || bleed_ > 0; }

    PrintDevice& device_;
    Liner& liner_;
    const PrintJobRequest& request_;
    Prompter& prompter_;
    PrintProgress& progress_;
    PrintJobResult result_;

    PageTurn noted_ = PageTurn::Portrait;
    PrintSettings turnedMargins_;
    bool turned_ = false;
    PrintPlacement placement_;
    bool fresh_ = true;    // the next liner starts a sheet
    int sheetFirstWidth_ = 0;  // width of the liner in the first place of a 2-up sheet
    bool ok_ = true;
    bool progressOpen_ = false;
    bool songFitWarning_ = false;  // armed once for the whole job
    PictureImages pictures_;
    int bleed_ = 0;  // twips around each card
    int room_ = 0;   // bleed and crop marks on each side of a card
    SheetGrid grid_;
    int slot_ = 0;   // cards on the sheet being filled
};

std::string TitleOf(const std::string& path) { return FileTitle(path); }

bool Job::ReadFile(size_t index) {
    EndingPrompter prompter(prompter_, [this] { EndProgress(); });
    if (!ReadLinerFile(liner_, request_.files[index], true, prompter)) return false;
    EnsureStandardFonts(liner_);
    pictures_.Clear();
    return true;
}

// Places the liner just read.  A 2-up sheet half filled by the previous file
// takes it beside that one when it fits there; otherwise the half sheet is
// finished and the liner is placed for a sheet of its own.
bool Job::PlaceCurrent() {
    const int width = liner_.width.twips;
    const int height = liner_.totalHeight();
    if (GridMode()) {
        const int cellWidth = width + 1 + 2 * room_, cellHeight = height + 1 + 2 * room_;
        // A sheet begun by the previous file takes this one's cards when they
        // are of the same size.
        if (slot_ > 0) {
            if (cellWidth == grid_.cellWidth && cellHeight == grid_.cellHeight) return true;
            if (!EndSheet()) return false;
        }
        SetPrinterOrientation(device_, noted_);
        turned_ = false;
        return PlaceGrid(cellWidth, cellHeight);
    }
    if (request_.page.print2Up && !fresh_) {
        if (PlaceUpright(device_.Metrics(), MarginsNow(), sheetFirstWidth_ + 1 + width, height, false)) {
            placement_.secondX = placement_.firstX + sheetFirstWidth_ + 1;
            return true;
        }
        if (!EndSheet()) return false;
    }
    SetPrinterOrientation(device_, noted_);
    EndingPrompter prompter(prompter_, [this] { EndProgress(); });
    auto placement = ComputePrintPlacement(device_, request_.page, width, height,
                                           request_.page.print2Up, prompter);
    if (!placement) return false;
    placement_ = *placement;
    turned_ = device_.Orientation() != noted_;
    return true;
}

// The grid for cards of one size: upright, or turned when more fit turned.
bool Job::PlaceGrid(int cellWidth, int cellHeight) {
    const bool twoUp = request_.page.print2Up && !request_.page.printNUp;
    const int limit = request_.page.printNUp ? std::numeric_limits<int>::max() : twoUp ? 2 : 1;
    grid_ = FitSheetGrid(device_.Metrics(), request_.page, cellWidth, cellHeight, limit);
    const bool couldTurn = SetPrinterOrientation(device_, OtherTurn(noted_));
    if (couldTurn) {
        const SheetGrid turned = FitSheetGrid(device_.Metrics(), turnedMargins_, cellWidth, cellHeight, limit);
        if (turned.capacity > grid_.capacity) {
            grid_ = turned;
            turned_ = true;
        } else {
            SetPrinterOrientation(device_, noted_);
        }
    }
    if (grid_.capacity >= (twoUp ? 2 : 1)) return true;
    SetPrinterOrientation(device_, noted_);
    turned_ = false;
    EndingPrompter prompter(prompter_, [this] { EndProgress(); });
    const uint16_t message = couldTurn ? (twoUp ? IDS_TWO_LINERS_WONT_FIT : IDS_LINER_WONT_FIT)
                                       : (twoUp ? IDS_TWO_LINERS_WONT_FIT_TURNED : IDS_LINER_WONT_FIT_TURNED);
    ShowMessage(prompter, MessageOwner::MainWindow(), StopStyle(), message);
    return false;
}

// Crop marks in the sheet's margins on the lines where cards that touch are
// cut apart: above and below the grid for the columns of a card of the first
// row, left and right of it for the rows of a card of the first column.  Only
// for sheets of several cards without bleed (a card with bleed has its own).
std::vector<TwipSegment> Job::GridMarks(int column, int row) const {
    std::vector<TwipSegment> marks;
    if (!request_.page.printNUp || bleed_ > 0 || grid_.capacity < 2) return marks;
    const PageMetrics page = device_.Metrics();
    const EffectiveMargins m = ComputeEffectiveMargins(page, MarginsNow());
    const int gridWidth = grid_.columns * grid_.cellWidth, gridHeight = grid_.rows * grid_.cellHeight;
    // As long as the margin allows, leaving a gap at either end.
    const auto reach = [](int space) { return std::min(kCropMarkLength, space - 2 * kCropMarkGap); };
    const int above = reach(m.top), below = reach(page.paperHeight - m.top - gridHeight);
    const int before = reach(m.left), after = reach(page.paperWidth - m.left - gridWidth);
    const int left = grid_.x, top = -grid_.y, right = left + gridWidth, bottom = top + gridHeight;
    if (row == 0) {
        for (int x : {left + column * grid_.cellWidth, left + (column + 1) * grid_.cellWidth}) {
            if (above > 0) marks.push_back({{x, top - kCropMarkGap - above}, {x, top - kCropMarkGap}});
            if (below > 0) marks.push_back({{x, bottom + kCropMarkGap}, {x, bottom + kCropMarkGap + below}});
        }
    }
    if (column == 0) {
        for (int d : {top + row * grid_.cellHeight, top + (row + 1) * grid_.cellHeight}) {
            if (before > 0) marks.push_back({{left - kCropMarkGap - before, d}, {left - kCropMarkGap, d}});
            if (after > 0) marks.push_back({{right + kCropMarkGap, d}, {right + kCropMarkGap + after, d}});
        }
    }
    return marks;
}

// A failed step ends the progress display before the message, so that the
// main window is enabled again under it.
void Job::Report(uint16_t stringId) {
    EndProgress();
    ReportPrintError(prompter_, stringId, device_.LastError(), device_.FailureDetail());
}

void Job::EndProgress() {
    if (!progressOpen_) return;
    progressOpen_ = false;
    progress_.Finished();
}

// Throws the document away where the device can; otherwise what was drawn
// is kept and the document ended.
void Job::Discard() {
    if (device_.AbortDocument()) return;
    if (!fresh_) device_.EndPage();
    device_.EndDocument();
}

bool Job::EndSheet() {
    if (bleed_ > 0) {
        // The card's place on the page, for the boxes of a PDF.
        std::optional<PdfCardBox> card;
        if (slot_ == 1) {
            const PageMetrics page = device_.Metrics();
            card = PdfCardBox{page.printableX + grid_.x + room_, page.printableY - grid_.y + room_,
                              grid_.cellWidth - 2 * room_, grid_.cellHeight - 2 * room_, bleed_};
        }
        result_.sheetCards.push_back(card);
    }
    slot_ = 0;
    if (!device_.EndPage()) {
        Report(IDS_PRINT_END_PAGE_FAILED);
        ok_ = false;
        return false;
    }
    ++result_.sheets;
    fresh_ = true;
    return true;
}

bool Job::Draw(int x, int y, const std::vector<TwipSegment>& marks) {
    QPainter* painter = device_.Painter();
    if (!painter) return false;
    painter->save();
    {
        QtSurface surface(*painter, device_.DpiX(), device_.DpiY());
        PaintOptions options;
        options.x = x;
        options.y = y;
        options.printing = true;
        options.bleed = bleed_;
        PaintLiner(surface, liner_, options, pictures_, prompter_, songFitWarning_);
        if (!marks.empty()) {
            const SurfacePen previous = surface.Pen();
            surface.SetPen(SurfacePen{kLineSolid, kColorBlack});
            for (const TwipSegment& mark : marks) {
                const SurfacePoint points[] = {{mark.from.x, mark.from.y()}, {mark.to.x, mark.to.y()}};
                surface.Polyline(points, 2);
            }
            surface.SetPen(previous);
        }
    }
    painter->restore();
    return true;
}

// The copies of the current liner in the cells of the grid, row by row, a
// new sheet when the grid is full.
bool Job::PrintGridCopies() {
    for (int copy = 1; copy <= request_.copies; ++copy) {
        progress_.CopyChanged(copy, request_.copies);
        if (slot_ == 0) {
            if (!device_.StartPage()) {
                Report(IDS_PRINT_START_PAGE_FAILED);
                ok_ = false;
                return false;
            }
            fresh_ = false;
        }
        const int column = slot_ % grid_.columns, row = slot_ / grid_.columns;
        Draw(grid_.x + column * grid_.cellWidth + room_, grid_.y - row * grid_.cellHeight - room_,
             GridMarks(column, row));
        ++slot_;
        if (slot_ >= grid_.capacity && !EndSheet()) return false;
        if (progress_.Cancelled()) {
            result_.cancelled = true;
            return false;
        }
    }
    return true;
}

// The copies of the current liner, each drawn whole, one after the other.
bool Job::PrintCopies() {
    if (GridMode()) return PrintGridCopies();
    const bool twoUp = request_.page.print2Up;
    for (int copy = 1; copy <= request_.copies; ++copy) {
        progress_.CopyChanged(copy, request_.copies);
        if (!twoUp || fresh_) {
            if (!device_.StartPage()) {
                Report(IDS_PRINT_START_PAGE_FAILED);
                ok_ = false;
                return false;
            }
        }
        const bool first = fresh_;
        Draw(first ? placement_.firstX : placement_.secondX, placement_.y);
        if (twoUp && first) {
            fresh_ = false;
            sheetFirstWidth_ = liner_.width.twips;
            // The next copy of the same liner goes beside it.
            placement_.secondX = placement_.firstX + liner_.width.twips + 1;
        } else if (!EndSheet()) {
            return false;
        }
        if (progress_.Cancelled()) {
            result_.cancelled = true;
            return false;
        }
    }
    return true;
}

PrintJobResult Job::Run() {
    noted_ = device_.Orientation();
    turnedMargins_ = TurnedMargins(request_.page, device_.TurnsLandscapeClockwise());
    bleed_ = std::clamp<int>(request_.page.bleed.twips, 0, kMaxBleedTwips);
    room_ = bleed_ > 0 ? CropMarkRoom(bleed_) : 0;
    const bool batch = !request_.files.empty();
    size_t index = 0;
    bool complete = false;

    songFitWarning_ = request_.warnSongFit;
    if ((!batch || ReadFile(0)) && PlaceCurrent()) {
        if (!device_.StartDocument(request_.documentName)) {
            Report(IDS_PRINT_START_DOC_FAILED);
        } else {
            progress_.Started(batch ? TitleOf(request_.files[0]) : request_.documentName.toStdString());
            progressOpen_ = true;
            for (;;) {
                if (!PrintCopies()) break;
                if (!batch || ++index >= request_.files.size()) {
                    complete = true;
                    break;
                }
                progress_.FileChanged(TitleOf(request_.files[index]));
                if (!ReadFile(index) || !PlaceCurrent()) break;
            }
            if (result_.cancelled || (ok_ && !complete && request_.wholeOrNothing)) {
                Discard();
            } else if (ok_) {
                if (!fresh_) EndSheet();
                if (ok_ && !device_.EndDocument()) {
                    Report(IDS_PRINT_END_DOC_FAILED);
                } else if (ok_) {
                    result_.printed = true;
                }
            } else {
                // A page that would not start or end: the job cannot be
                // finished, so it is given up.
                if (!device_.AbortDocument()) device_.EndDocument();
            }
            EndProgress();
        }
    }
    SetPrinterOrientation(device_, noted_);
    result_.complete = complete && result_.printed;
    result_.picturesMissing = pictures_.anyFailed();
    return result_;
}

}  // namespace

PrintJobResult RunPrintJob(PrintDevice& device, Liner& liner, const PrintJobRequest& request,
                           Prompter& prompter, PrintProgress& progress) {
    return Job(device, liner, request, prompter, progress).Run();
}
