#include "app/print_preview.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "document/settings.h"
#include "app/print_commands.h"

// ---- the device ----------------------------------------------------------------------------

PreviewPrintDevice::PreviewPrintDevice(QPrinter& printer) : PagedPrintDevice(printer), printer_(printer) {}

PreviewPrintDevice::~PreviewPrintDevice() {
    if (painter_ && painter_->isActive()) painter_->end();
}

bool PreviewPrintDevice::StartDocument(const QString&) {
    sheets_.clear();
    open_ = false;
    return true;
}

bool PreviewPrintDevice::StartPage() {
    if (open_) return false;
    PreviewSheet sheet;
    QPageLayout layout = printer_.pageLayout();
    layout.setUnits(QPageLayout::Point);
    sheet.paper = layout.fullRect(QPageLayout::Point).size();
    sheet.dpiX = DpiX();
    sheet.dpiY = DpiY();
    sheets_.push_back(std::move(sheet));
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&sheets_.back().picture)) {
        sheets_.pop_back();
        painter_.reset();
        return false;
    }
    // As on the printer: liners are placed from the printable area's corner.
    const QMarginsF unprintable = layout.minimumMargins();
    painter_->translate(unprintable.left() * DpiX() / 72.0, unprintable.top() * DpiY() / 72.0);
    open_ = true;
    return true;
}

bool PreviewPrintDevice::EndPage() {
    if (!open_) return false;
    open_ = false;
    const bool ended = painter_->end();
    painter_.reset();
    return ended;
}

bool PreviewPrintDevice::EndDocument() {
    if (open_) EndPage();
    return true;
}

QPainter* PreviewPrintDevice::Painter() { return open_ ? painter_.get() : nullptr; }

std::optional<std::vector<PreviewSheet>> PreviewSheets(QPrinter& printer, Liner& liner,
                                                       const PrintJobRequest& request, Prompter& prompter) {
    PreviewPrintDevice device(printer);
    PrintProgress quiet;
    const PrintJobResult result = RunPrintJob(device, liner, request, prompter, quiet);
    if (!result.printed || device.sheets().empty()) return std::nullopt;
    return std::move(device.sheets());
}

// ---- the window ----------------------------------------------------------------------------

namespace {

constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 4.0;
constexpr int kSheetGap = 16;

// One sheet drawn at the dialog's zoom: white paper with an edge, and the job's
// drawing on it.
class SheetView : public QWidget {
public:
    SheetView(const PreviewSheet& sheet, QWidget* parent) : QWidget(parent), sheet_(sheet) {
        setObjectName("PreviewSheet");
    }
    void SetZoom(double zoom) {
        zoom_ = zoom;
        const double perPoint = zoom_ * logicalDpiX() / 72.0;
        setFixedSize(static_cast<int>(sheet_.paper.width() * perPoint) + 1,
                     static_cast<int>(sheet_.paper.height() * perPoint) + 1);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect().adjusted(0, 0, -1, -1), Qt::white);
        painter.setPen(Qt::darkGray);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setClipRect(rect());
        painter.scale(zoom_ * logicalDpiX() / sheet_.dpiX, zoom_ * logicalDpiY() / sheet_.dpiY);
        painter.drawPicture(0, 0, sheet_.picture);
    }

private:
    const PreviewSheet& sheet_;
    double zoom_ = 1;
};

}  // namespace

PrintPreviewDialog::PrintPreviewDialog(QWidget* owner, std::vector<PreviewSheet> sheets)
    : QDialog(owner), sheets_(std::move(sheets)) {
    setObjectName("PrintPreviewDialog");
    setWindowTitle(tr("Print Preview"));
    auto* layout = new QVBoxLayout(this);

    auto* bar = new QHBoxLayout;
    auto* print = new QPushButton(tr("&Print..."), this);
    print->setObjectName("PreviewPrint");
    auto* zoomOut = new QPushButton(tr("Zoom &Out"), this);
    zoomOut->setObjectName("PreviewZoomOut");
    auto* zoomIn = new QPushButton(tr("Zoom &In"), this);
    zoomIn->setObjectName("PreviewZoomIn");
    auto* actual = new QPushButton(tr("&Actual Size"), this);
    zoomLabel_ = new QLabel(this);
    auto* count = new QLabel(sheets_.size() == 1 ? tr("1 sheet") : tr("%1 sheets").arg(sheets_.size()), this);
    count->setObjectName("PreviewSheetCount");
    auto* close = new QPushButton(tr("&Close"), this);
    for (QWidget* w : std::initializer_list<QWidget*>{print, zoomOut, zoomIn, actual, zoomLabel_}) bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(count);
    bar->addWidget(close);
    layout->addLayout(bar);

    scroll_ = new QScrollArea(this);
    scroll_->setBackgroundRole(QPalette::Dark);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setSpacing(kSheetGap);
    column->setContentsMargins(kSheetGap, kSheetGap, kSheetGap, kSheetGap);
    for (const PreviewSheet& sheet : sheets_) {
        auto* page = new SheetView(sheet, content);
        column->addWidget(page, 0, Qt::AlignHCenter);
        pages_.push_back(page);
    }
    scroll_->setWidget(content);
    scroll_->setAlignment(Qt::AlignHCenter);
    layout->addWidget(scroll_, 1);

    connect(print, &QPushButton::clicked, this, [this] {
        printChosen_ = true;
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(zoomIn, &QPushButton::clicked, this, [this] { SetZoom(zoom_ * 1.25); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { SetZoom(zoom_ / 1.25); });
    connect(actual, &QPushButton::clicked, this, [this] { SetZoom(1.0); });
    print->setDefault(true);
    SetZoom(0.5);
    resize(720, 760);
}

void PrintPreviewDialog::SetZoom(double zoom) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    zoomLabel_->setText(QStringLiteral("%1%").arg(qRound(zoom_ * 100)));
    Relayout();
}

void PrintPreviewDialog::Relayout() {
    for (QWidget* page : pages_) static_cast<SheetView*>(page)->SetZoom(zoom_);
    if (QWidget* content = scroll_->widget()) content->adjustSize();
}

// ---- the command ---------------------------------------------------------------------------

PrintPreview::PrintPreview(DialogHost& host, Printing& printing, Prompter& prompter)
    : host_(host), printing_(printing), prompter_(prompter) {
    run = [](PrintPreviewDialog& dialog) { dialog.exec(); };
}

void PrintPreview::Install() {
    host_.SetCommandHandler(kCmdPrintPreview, [this] { Show(); });
}

bool PrintPreview::Show() {
    std::optional<std::vector<PreviewSheet>> sheets =
        PreviewSheets(printing_.printer(), host_.document().liner(), printing_.OpenLinerJob(), prompter_);
    if (!sheets) return false;
    PrintPreviewDialog dialog(host_.hostWindow(), std::move(*sheets));
    run(dialog);
    if (dialog.printChosen()) printing_.PrintLiner();
    return true;
}
