#include "app/print_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "document/measurement.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/strings.h"

namespace {

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// The paper sizes Page Setup offers.
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::Letter, QPageSize::Legal, QPageSize::Executive,
                                             QPageSize::A4,     QPageSize::A5,    QPageSize::B5,
                                             QPageSize::Tabloid};

// A margin in the page-setup record's units: thousandths of an inch or
// hundredths of a millimetre.
int RecordValue(const Measurement& m, bool metric) {
    return static_cast<int>(metric ? MulDivRound(m.twips, 1000, 567) : MulDivRound(m.twips, 1000, 1440));
}

}  // namespace

// ---- print dialog --------------------------------------------------------------------

QPushButton* AddFilesButton(QDialog& printDialog, const std::function<void(QWidget*)>& chooseFiles) {
    auto* buttons = printDialog.findChild<QDialogButtonBox*>();
    auto* files = new QPushButton(QObject::tr("&Files..."), &printDialog);
    files->setObjectName("FilesButton");
    files->setAutoDefault(false);
    if (buttons) {
        // An action button sits at the left end of the button row.
        buttons->addButton(files, QDialogButtonBox::ActionRole);
    } else if (printDialog.layout()) {
        printDialog.layout()->addWidget(files);
    }
    QObject::connect(files, &QPushButton::clicked, &printDialog, [&printDialog, chooseFiles] {
        chooseFiles(&printDialog);
    });
    return files;
}

namespace {

// The greyed output file of the print dialog names the document to be
// printed, in the folder it shows.
void RenameOutputFile(QWidget& printDialog, const QString& documentName) {
    auto* field = printDialog.findChild<QLineEdit*>(QStringLiteral("filename"));
    if (!field || field->isEnabled() || field->text().isEmpty()) return;
    const QFileInfo shown(field->text());
    QString base = documentName;
    if (const qsizetype dot = base.lastIndexOf(u'.'); dot > 0) base.truncate(dot);
    field->setText(QDir(shown.path()).filePath(base + QStringLiteral(".pdf")));
}

}  // namespace

void ShowBatchInPrintDialog(QWidget* printDialog, const QStringList& files, const QString& documentName,
                            const std::function<void()>& back) {
    if (!printDialog) return;
    auto* label = printDialog->findChild<QLabel*>(QStringLiteral("BatchFiles"));
    auto* backButton = printDialog->findChild<QPushButton*>(QStringLiteral("OpenLinerButton"));
    if (!label) {
        label = new QLabel(printDialog);
        label->setObjectName("BatchFiles");
        label->setWordWrap(true);
        backButton = new QPushButton(QObject::tr("Print the Open &Liner"), printDialog);
        backButton->setObjectName("OpenLinerButton");
        backButton->setAutoDefault(false);
        auto* row = new QHBoxLayout;
        row->addWidget(label, 1);
        row->addWidget(backButton);
        if (auto* box = qobject_cast<QBoxLayout*>(printDialog->layout())) {
            // Above the dialog's buttons.
            box->insertLayout(std::max(0, box->count() - 1), row);
        } else if (auto* grid = qobject_cast<QGridLayout*>(printDialog->layout())) {
            grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
        } else if (printDialog->layout()) {
            printDialog->layout()->addItem(row);
        }
    }
    QObject::disconnect(backButton, &QPushButton::clicked, nullptr, nullptr);
    QObject::connect(backButton, &QPushButton::clicked, printDialog, [printDialog, documentName, back] {
        back();
        ShowBatchInPrintDialog(printDialog, {}, documentName, back);
    });
    label->setVisible(!files.isEmpty());
    backButton->setVisible(!files.isEmpty());
    if (files.isEmpty()) {
        RenameOutputFile(*printDialog, documentName);
        return;
    }
    // The first few names tell which batch it is.
    constexpr int kNamesShown = 3;
    QStringList names;
    for (const QString& path : files.mid(0, kNamesShown)) names << QFileInfo(path).fileName();
    QString text = files.size() == 1
                       ? QObject::tr("Print will print the file %1 instead of the open liner.").arg(names.front())
                       : QObject::tr("Print will print %1 files instead of the open liner: %2")
                             .arg(files.size())
                             .arg(names.join(QStringLiteral(", ")));
    if (files.size() > kNamesShown) text += QObject::tr(" and %1 more").arg(files.size() - kNamesShown);
    label->setText(text);
    RenameOutputFile(*printDialog, Str(IDS_APP_NAME));
}

namespace {

// Turns the box off again whenever the dialog turns it on (it does so when
// another printer is chosen).
class KeepDisabled : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            auto* box = static_cast<QWidget*>(watched);
            if (box->isEnabled()) box->setEnabled(false);
        }
        return false;
    }
};

}  // namespace

QCheckBox* DisableCollateBox(QDialog& printDialog) {
    auto* collate = printDialog.findChild<QCheckBox*>(QStringLiteral("collate"));
    if (!collate) return nullptr;
    collate->setEnabled(false);
    collate->installEventFilter(new KeepDisabled(collate));
    return collate;
}

bool QtPrintDialogs::Print(QWidget* owner, QPrinter& printer, const std::function<void(QWidget*)>& chooseFiles) {
    QPrintDialog dialog(&printer, owner);
    // No page numbers, no selection, and the program collates by itself.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    AddFilesButton(dialog, chooseFiles);
    DisableCollateBox(dialog);
    // The dialog gives the printer its default paper back when it closes,
    // though Page Setup chose the paper.  Page Setup's paper stays unless the
    // user chose paper in the dialog's own Properties.
    const QPageLayout before = printer.pageLayout();
    bool propertiesShown = false;
    if (auto* properties = dialog.findChild<QPushButton*>(QStringLiteral("properties"))) {
        QObject::connect(properties, &QPushButton::clicked, &dialog,
                         [&propertiesShown] { propertiesShown = true; });
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    if (!propertiesShown) {
        printer.setPageSize(before.pageSize());
        printer.setPageOrientation(before.orientation());
    }
    return true;
}

std::optional<PrintFilesChoice> QtPrintDialogs::ChooseFiles(QWidget* owner, const PrintFilesRequest& request) {
    QFileDialog dialog(owner, request.caption, request.folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    // The descriptions already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(request.nameFilters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.nameFilters.size()) {
        dialog.selectNameFilter(request.nameFilters[request.filterIndex - 1]);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    PrintFilesChoice choice;
    choice.paths = dialog.selectedFiles();
    choice.filterIndex = static_cast<int>(request.nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.filterIndex < 1) choice.filterIndex = 1;
    return choice;
}

bool QtPrintDialogs::PageSetup(PageSetupDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

std::optional<QString> QtPrintDialogs::ChoosePrinter(QWidget* owner, const QStringList& printers,
                                                     const QString& current) {
    QDialog dialog(owner);
    dialog.setObjectName("ChoosePrinterDialog");
    dialog.setWindowTitle(QObject::tr("Printer"));
    auto* names = new QComboBox(&dialog);
    names->setObjectName("PrinterNames");
    names->addItems(printers);
    if (printers.contains(current)) names->setCurrentText(current);
    auto* label = new QLabel(QObject::tr("&Name:"), &dialog);
    label->setBuddy(names);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(names, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || names->currentText().isEmpty()) return std::nullopt;
    return names->currentText();
}

// ---- page setup ----------------------------------------------------------------------

PageSetupDialog::PageSetupDialog(QWidget* owner, const QPrinter& printer, const PrintSettings& print,
                                 int defaultUnit)
    : QDialog(owner), original_(print), defaultUnit_(defaultUnit) {
    setObjectName("PageSetupDialog");
    setWindowTitle(tr("Page Setup"));
    // The margins show in the system of the open liner's default unit,
    // whatever unit an earlier liner left them in.
    metric_ = ToPageSetupUnits(Measurement{}, defaultUnit).units == PageSetupUnits::HundredthsOfMillimeter;

    auto* paperGroup = new QGroupBox(tr("Paper"), this);
    paper_ = new QComboBox(paperGroup);
    paper_->setObjectName("PaperSize");
    const QPageSize current = printer.pageLayout().pageSize();
    bool found = false;
    for (QPageSize::PageSizeId id : kPapers) {
        paper_->addItem(QPageSize::name(id), static_cast<int>(id));
        if (current.id() == id) {
            paper_->setCurrentIndex(paper_->count() - 1);
            found = true;
        }
    }
    if (!found && current.isValid()) {
        paper_->addItem(current.name(), static_cast<int>(current.id()));
        paper_->setCurrentIndex(paper_->count() - 1);
    }
    printerName_ = printer.printerName();
    printerLabel_ = new QLabel(printerName_, paperGroup);
    printerLabel_->setObjectName("PrinterName");
    auto* paperLayout = new QFormLayout(paperGroup);
    paperLayout->addRow(tr("Printer:"), printerLabel_);
    paperLayout->addRow(tr("Si&ze:"), paper_);

    auto* orientationGroup = new QGroupBox(tr("Orientation"), this);
    portrait_ = new QRadioButton(tr("P&ortrait"), orientationGroup);
    landscape_ = new QRadioButton(tr("L&andscape"), orientationGroup);
    portrait_->setObjectName("Portrait");
    landscape_->setObjectName("Landscape");
    (printer.pageLayout().orientation() == QPageLayout::Landscape ? landscape_ : portrait_)->setChecked(true);
    auto* orientationLayout = new QVBoxLayout(orientationGroup);
    orientationLayout->addWidget(portrait_);
    orientationLayout->addWidget(landscape_);

    auto* marginGroup =
        new QGroupBox(metric_ ? tr("Margins (millimeters)") : tr("Margins (inches)"), this);
    auto* marginLayout = new QGridLayout(marginGroup);
    const Measurement* values[] = {&print.marginLeft, &print.marginRight, &print.marginTop, &print.marginBottom};
    const QString labels[] = {tr("&Left:"), tr("&Right:"), tr("&Top:"), tr("&Bottom:")};
    const char* names[] = {"MarginLeft", "MarginRight", "MarginTop", "MarginBottom"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QDoubleSpinBox(marginGroup);
        box->setObjectName(names[i]);
        box->setDecimals(metric_ ? 2 : 3);
        box->setRange(0, metric_ ? 500.0 : 20.0);
        box->setSingleStep(metric_ ? 1.0 : 0.125);
        box->setValue(RecordValue(*values[i], metric_) / (metric_ ? 100.0 : 1000.0));
        auto* label = new QLabel(labels[i], marginGroup);
        label->setBuddy(box);
        marginLayout->addWidget(label, i / 2, (i % 2) * 2);
        marginLayout->addWidget(box, i / 2, (i % 2) * 2 + 1);
        margins_[i] = box;
    }

    twoUp_ = new QCheckBox(tr("Print &2-Up"), this);
    twoUp_->setObjectName("Print2Up");
    twoUp_->setChecked(print.print2Up);
    // Two a sheet, or as many as fit: one or the other.
    nUp_ = new QCheckBox(tr("As &many as fit"), this);
    nUp_->setObjectName("PrintNUp");
    nUp_->setChecked(print.printNUp && !print.print2Up);
    connect(twoUp_, &QCheckBox::toggled, this, [this](bool on) { if (on) nUp_->setChecked(false); });
    connect(nUp_, &QCheckBox::toggled, this, [this](bool on) { if (on) twoUp_->setChecked(false); });
    // Bleed for a print shop, in the margins' unit.
    bleed_ = new QDoubleSpinBox(this);
    bleed_->setObjectName("Bleed");
    bleed_->setDecimals(metric_ ? 2 : 3);
    bleed_->setRange(0, metric_ ? kMaxBleedTwips * 2540.0 / 1440 / 100 : kMaxBleedTwips / 1440.0);
    bleed_->setSingleStep(metric_ ? 0.5 : 0.0625);
    bleed_->setValue(RecordValue(print.bleed, metric_) / (metric_ ? 100.0 : 1000.0));
    bleed_->setToolTip(tr("Room around each card for pictures that run past its cut edges; crop marks replace the cut lines"));
    auto* bleedLabel = new QLabel(metric_ ? tr("B&leed (mm):") : tr("B&leed (in):"), this);
    bleedLabel->setBuddy(bleed_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    printerButton_ = new QPushButton(tr("&Printer..."), this);
    printerButton_->setObjectName("PrinterButton");
    printerButton_->setAutoDefault(false);
    buttons->addButton(printerButton_, QDialogButtonBox::ActionRole);
    connect(printerButton_, &QPushButton::clicked, this, [this] {
        if (!chooser_) return;
        if (std::optional<QString> chosen = chooser_(this, printerName_)) {
            printerName_ = *chosen;
            printerLabel_->setText(printerName_);
        }
    });

    auto* top = new QHBoxLayout;
    top->addWidget(paperGroup, 1);
    top->addWidget(orientationGroup);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(twoUp_);
    bottom->addWidget(nUp_);
    bottom->addWidget(bleedLabel);
    bottom->addWidget(bleed_);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(marginGroup);
    layout->addLayout(bottom);
}

PrintSettings PageSetupDialog::Result() const {
    PrintSettings result = original_;
    Measurement* fields[] = {&result.marginLeft, &result.marginRight, &result.marginTop, &result.marginBottom};
    const PageSetupUnits units = metric_ ? PageSetupUnits::HundredthsOfMillimeter : PageSetupUnits::ThousandthsOfInch;
    for (int i = 0; i < 4; ++i) {
        const int value = static_cast<int>(std::lround(margins_[i]->value() * (metric_ ? 100.0 : 1000.0)));
        // A margin left as it was keeps the form the user typed it in.
        if (value == RecordValue(*fields[i], metric_)) continue;
        *fields[i] = FromPageSetupUnits(value, units, defaultUnit_);
    }
    result.print2Up = twoUp_->isChecked();
    result.printNUp = nUp_->isChecked();
    const int bleed = static_cast<int>(std::lround(bleed_->value() * (metric_ ? 100.0 : 1000.0)));
    if (bleed == 0) {
        result.bleed = {};
    } else if (bleed != RecordValue(original_.bleed, metric_)) {
        result.bleed = FromPageSetupUnits(bleed, units, defaultUnit_);
    }
    return result;
}

void PageSetupDialog::ApplyPaper(QPrinter& printer) const {
    // The printer chosen with "&Printer..." becomes the selected printer.
    if (!printerName_.isEmpty() && printerName_ != printer.printerName())
        printer.setPrinterName(printerName_);
    const auto id = static_cast<QPageSize::PageSizeId>(paper_->currentData().toInt());
    if (id != printer.pageLayout().pageSize().id()) printer.setPageSize(QPageSize(id));
    printer.setPageOrientation(landscape_->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
}

// ---- progress ------------------------------------------------------------------------

namespace {

// Esc and the Cancel button both cancel; the dialog has no close button.
class ProgressWindow : public QDialog {
public:
    ProgressWindow(QWidget* owner, std::function<void()> cancel) : QDialog(owner), cancel_(std::move(cancel)) {}

protected:
    void reject() override { cancel_(); }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
    }

private:
    std::function<void()> cancel_;
};

}  // namespace

PrintProgressDialog::~PrintProgressDialog() { Close(); }

void PrintProgressDialog::Started(const std::string& line) {
    cancelled_ = false;
    auto* dialog = new ProgressWindow(mainWindow_, [this] { Cancel(); });
    dialog->setObjectName("PrintingDialog");
    dialog->setWindowTitle(Str(IDS_APP_NAME));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog->setModal(false);
    auto* printing = new QLabel(QObject::tr("Printing"), dialog);
    // The line is a file or document name, in UTF-8 like every name.
    document_ = new QLabel(QString::fromStdString(line), dialog);
    document_->setObjectName("DocumentLine");
    copy_ = new QLabel(dialog);
    copy_->setObjectName("CopyLine");
    auto* cancel = new QPushButton(QObject::tr("Cancel"), dialog);
    cancel->setObjectName("CancelButton");
    QObject::connect(cancel, &QPushButton::clicked, dialog, [this] { Cancel(); });
    auto* layout = new QVBoxLayout(dialog);
    for (QLabel* label : {printing, document_, copy_}) {
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    layout->addWidget(cancel, 0, Qt::AlignCenter);
    dialog_ = dialog;
    if (mainWindow_) mainWindow_->setEnabled(false);
    // The dialog is a window of its own: it stays usable while its owner is off.
    dialog->setEnabled(true);
    dialog->show();
    cancel->setFocus();
}

void PrintProgressDialog::FileChanged(const std::string& line) {
    if (dialog_) document_->setText(QString::fromStdString(line));
}

void PrintProgressDialog::CopyChanged(int copy, int copies) {
    if (!dialog_) return;
    copy_->setText(QString::fromStdString(
        FormatMessageText(LoadString(IDS_PRINT_COPY_OF), {static_cast<long long>(copy), static_cast<long long>(copies)})));
    QCoreApplication::processEvents();
}

bool PrintProgressDialog::Cancelled() {
    if (!cancelled_) QCoreApplication::processEvents();
    return cancelled_;
}

void PrintProgressDialog::Cancel() {
    cancelled_ = true;
    Close();
}

void PrintProgressDialog::Finished() { Close(); }

void PrintProgressDialog::Close() {
    if (mainWindow_) mainWindow_->setEnabled(true);
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
}
