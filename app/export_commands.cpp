#include "app/export_commands.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/commands.h"
#include "dialogs/file_dialogs.h"
#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "document/settings.h"
#include "app/message_box_prompter.h"
#include "app/print_commands.h"
#include "app/printer_device.h"
#include "document/liner_file.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/liner_export.h"
#include "render/pdf_boxes.h"
#include "render/print_job.h"

namespace {

constexpr int kMaxExportDpi = 2400;

FileFilter ExportFilter(int filterIndex) {
    FileFilter filter;
    filter.pairs = {{"PDF Documents (*.pdf)", "*.pdf"},
                    {"PNG Images (*.png)", "*.png"},
                    {"SVG Drawings (*.svg)", "*.svg"}};
    const size_t chosen = filterIndex >= 1 && filterIndex <= 3 ? static_cast<size_t>(filterIndex - 1) : 0;
    filter.defaultExtension = DefaultExtensionOf(filter.pairs[chosen].second);
    return filter;
}

const char* Extension(ExportFormat format) {
    switch (format) {
        case ExportFormat::Png: return "png";
        case ExportFormat::Svg: return "svg";
        case ExportFormat::Pdf: break;
    }
    return "pdf";
}

}  // namespace

ExportFormat ExportFormatOf(const QString& path, int filterIndex) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("pdf")) return ExportFormat::Pdf;
    if (ext == QLatin1String("png")) return ExportFormat::Png;
    if (ext == QLatin1String("svg")) return ExportFormat::Svg;
    if (filterIndex == 2) return ExportFormat::Png;
    if (filterIndex == 3) return ExportFormat::Svg;
    return ExportFormat::Pdf;
}

// ---- the options -----------------------------------------------------------------------

ExportOptionsDialog::ExportOptionsDialog(QWidget* owner, const ExportOptions& start)
    : QDialog(owner), start_(start) {
    setObjectName("ExportOptionsDialog");
    auto* layout = new QVBoxLayout(this);
    if (start.format == ExportFormat::Pdf) {
        setWindowTitle(tr("Export PDF"));
        auto* group = new QGroupBox(tr("The PDF holds"), this);
        auto* column = new QVBoxLayout(group);
        liner_ = new QRadioButton(tr("The &liner at its true size, on a page of its size"), group);
        liner_->setObjectName("LinerPdf");
        sheet_ = new QRadioButton(tr("The &sheets as Print makes them (paper, margins, 2-up, copies)"), group);
        sheet_->setObjectName("SheetPdf");
        column->addWidget(liner_);
        // For a print shop: the liner on a larger page, pictures running on
        // past its cut edges, crop marks, and the boxes preflight reads.  The
        // sheets take Page Setup's bleed.
        auto* bleedRow = new QHBoxLayout;
        bleedRow->setContentsMargins(20, 0, 0, 0);
        bleed_ = new QDoubleSpinBox(group);
        bleed_->setObjectName("Bleed");
        const double perTwip = start.metric ? 25.4 / 1440 : 1.0 / 1440;
        bleed_->setDecimals(start.metric ? 1 : 3);
        bleed_->setRange(0, kMaxBleedTwips * perTwip);
        bleed_->setSingleStep(start.metric ? 0.5 : 0.0625);
        bleed_->setSuffix(start.metric ? tr(" mm") : tr(" in"));
        bleed_->setSpecialValueText(tr("none"));
        bleed_->setValue(std::clamp(start.bleed, 0, kMaxBleedTwips) * perTwip);
        auto* bleedLabel = new QLabel(tr("&Bleed:"), group);
        bleedLabel->setBuddy(bleed_);
        bleedRow->addWidget(bleedLabel);
        bleedRow->addWidget(bleed_);
        bleedRow->addStretch(1);
        column->addLayout(bleedRow);
        column->addWidget(sheet_);
        connect(liner_, &QRadioButton::toggled, bleed_, &QWidget::setEnabled);
        (start.sheet ? sheet_ : liner_)->setChecked(true);
        bleed_->setEnabled(liner_->isChecked());
        layout->addWidget(group);
    } else {
        setWindowTitle(tr("Export PNG"));
        auto* form = new QFormLayout;
        dpi_ = new QSpinBox(this);
        dpi_->setObjectName("Resolution");
        dpi_->setRange(1, kMaxExportDpi);
        dpi_->setSuffix(tr(" dpi"));
        dpi_->setValue(std::clamp(start.dpi, 1, kMaxExportDpi));
        form->addRow(tr("&Resolution:"), dpi_);
        layout->addLayout(form);
        auto* group = new QGroupBox(tr("Background"), this);
        auto* column = new QVBoxLayout(group);
        white_ = new QRadioButton(tr("&White"), group);
        white_->setObjectName("White");
        transparent_ = new QRadioButton(tr("&Transparent"), group);
        transparent_->setObjectName("Transparent");
        column->addWidget(white_);
        column->addWidget(transparent_);
        (start.transparent ? transparent_ : white_)->setChecked(true);
        layout->addWidget(group);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ExportOptions ExportOptionsDialog::Result() const {
    ExportOptions result = start_;
    if (sheet_) result.sheet = sheet_->isChecked();
    if (dpi_) result.dpi = dpi_->value();
    if (transparent_) result.transparent = transparent_->isChecked();
    if (bleed_) {
        const double perTwip = start_.metric ? 25.4 / 1440 : 1.0 / 1440;
        result.bleed = std::clamp(static_cast<int>(std::lround(bleed_->value() / perTwip)), 0, kMaxBleedTwips);
    }
    return result;
}

// ---- the command -------------------------------------------------------------------------

Exporting::Exporting(DialogHost& host, Printing& printing, FileDialogs& dialogs, Prompter& prompter)
    : host_(host), printing_(printing), dialogs_(dialogs), prompter_(prompter) {
    askOptions = [](QWidget* owner, ExportOptions& options) {
        if (options.format == ExportFormat::Svg) return true;
        ExportOptionsDialog dialog(owner, options);
        if (dialog.exec() != QDialog::Accepted) return false;
        options = dialog.Result();
        return true;
    };
}

void Exporting::Install() {
    host_.SetCommandHandler(kCmdExport, [this] { Export(); });
}

bool Exporting::Export() {
    Settings& settings = host_.settings();
    FileDialogRequest request;
    request.caption = QObject::tr("Export");
    request.filterIndex = settings.exportFilterIndex;
    request.filter = ExportFilter(settings.exportFilterIndex);
    const QString title = host_.document().currentTitle().isEmpty() ? QStringLiteral("untitled") : host_.document().currentTitle();
    request.fileName = QFileInfo(title).completeBaseName() + '.' +
                       QString::fromStdString(request.filter.defaultExtension);
    request.folder = QString::fromStdString(settings.exportFolder);
    const std::optional<FileDialogResult> chosen = dialogs_.Save(host_.hostWindow(), request);
    if (!chosen) return false;
    settings.exportFolder = FolderOfChosenFile(chosen->path);
    settings.exportFilterIndex = chosen->filterIndex;

    ExportOptions options;
    options.format = ExportFormatOf(chosen->path, chosen->filterIndex);
    options.sheet = settings.exportSheet;
    options.dpi = settings.exportDpi;
    options.transparent = settings.exportTransparent;
    options.bleed = settings.exportBleed.twips;
    const int unit = host_.document().liner().defaultUnits;
    options.metric = UnitRow(unit, unit).metric;
    if (!askOptions(host_.hostWindow(), options)) return false;
    settings.exportSheet = options.sheet;
    settings.exportDpi = options.dpi;
    settings.exportTransparent = options.transparent;
    if (options.bleed != settings.exportBleed.twips) settings.exportBleed = FromTwips(options.bleed, unit);

    // A name without the format's extension gets it, so that the file is
    // known for what it holds.
    QString path = chosen->path;
    const QLatin1String extension(Extension(options.format));
    if (QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) != 0) path += '.' + extension;
    if (options.format == ExportFormat::Pdf && options.sheet) {
        // The job tells the user itself what went wrong.
        return WriteSheets(path);
    }
    bool written = false;
    {
        BusyCursor busy;
        PictureImages pictures;
        bool noSongFitWarning = false;  // the view has warned already
        const ExportContext context{pictures, prompter_, noSongFitWarning};
        switch (options.format) {
            case ExportFormat::Pdf:
                written = WriteLinerPdf(host_.document().liner(), path, 1200, context, options.bleed);
                break;
            case ExportFormat::Png:
                written = WriteLinerPng(host_.document().liner(), path, options.dpi, options.transparent, context);
                break;
            case ExportFormat::Svg: written = WriteLinerSvg(host_.document().liner(), path, context); break;
        }
    }
    if (!written) {
        ShowMessage(prompter_, MessageOwner::MainWindow(), ErrorStyle(), IDS_CANNOT_WRITE_FILE,
                    {path.toStdString()});
    }
    return written;
}

bool Exporting::WriteSheets(const QString& path) {
    // The program's printer, its paper and orientation, writing to a file
    // (which the device saves beside the old one and puts in its place).
    PrintJobResult result;
    {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(path);
        pdf.setFullPage(true);
        pdf.setPageLayout(printing_.printer().pageLayout());
        pdf.setCreator(QStringLiteral("Reelcard"));
        PrinterDevice device(pdf);
        PrintProgress quiet;
        result = RunPrintJob(device, host_.document().liner(), printing_.OpenLinerJob(), prompter_, quiet);
    }
    if (!result.complete) return false;
    if (!result.sheetCards.empty() && !AddPdfCardBoxesToFile(path, result.sheetCards)) {
        ShowMessage(prompter_, MessageOwner::MainWindow(), ErrorStyle(), IDS_CANNOT_WRITE_FILE,
                    {path.toStdString()});
        return false;
    }
    return true;
}
