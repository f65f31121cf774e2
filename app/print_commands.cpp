#include "app/print_commands.h"

#include <QFileInfo>

#include "platform/commands.h"
#include "dialogs/file_dialogs.h"
#include "dialogs/dialog_host.h"
#include "document/settings.h"
#include "document/liner_document.h"
#include "app/print_dialogs.h"
#include "document/liner_file.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/pdf_boxes.h"

namespace {

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// The common-dialog error for "No printer device drivers were found".
constexpr uint32_t kNoPrinterDevices = 0x1007;

}  // namespace

// ---- the commands ------------------------------------------------------------------------

Printing::Printing(DialogHost& host, PrintDialogs& dialogs, Prompter& prompter)
    : host_(host), dialogs_(dialogs), prompter_(prompter) {}

// Made when first needed, not at start: making it asks the print system for
// its default printer without a deadline, and a silent print system must not
// keep the window from opening.
QPrinter& Printing::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The painter's origin at the paper's corner; the job keeps liners
        // inside what the printer can mark.
        printer_->setFullPage(true);
    }
    return *printer_;
}

bool Printing::PrintSystemAnswers() {
    if (!PrintSystemSilent()) return true;
    ShowMessage(prompter_, MessageOwner::MainWindow(), {MessageIcon::Stop, MessageButtons::Ok, false},
                IDS_PRINT_SYSTEM_NO_ANSWER);
    return false;
}

Printing::~Printing() = default;

void Printing::Install() {
    host_.SetCommandHandler(kCmdPrint, [this] { PrintLiner(); });
    host_.SetCommandHandler(kCmdPageSetup, [this] { PageSetup(); });
}

void Printing::ChooseFiles(QWidget* printDialog) {
    Settings& settings = host_.settings();
    const FileFilter filter = BuildFileFilter(IDS_FILTER_PRINT_FILES, settings.printFilterIndex, settings.fileTypes);
    PrintFilesRequest request;
    request.caption = Str(IDS_CAPTION_PRINT);
    request.folder = QString::fromStdString(settings.printFolder);
    for (const auto& [description, pattern] : filter.pairs) request.nameFilters << QtNameFilter(description, pattern);
    request.filterIndex = settings.printFilterIndex;
    const std::optional<PrintFilesChoice> chosen = dialogs_.ChooseFiles(printDialog, request);
    if (!chosen) {
        files_.clear();
    } else {
        files_ = chosen->paths;
        settings.printFolder = FolderOfChosenFile(files_.front());
        settings.printFilterIndex = chosen->filterIndex;
    }
    ShowBatchInPrintDialog(printDialog, files_, OpenLinerJob().documentName, [this] { files_.clear(); });
}

void Printing::PrintLiner() {
    files_.clear();
    // The print dialog asks the print system for its printers without a
    // deadline; a silent one is said so instead of freezing the window.
    if (!PrintSystemAnswers()) return;
    Settings& settings = host_.settings();
    printer().setCopyCount(std::max<int>(settings.copies, 1));
    // The dialog names its output file after the document it will print,
    // not the one printed last.
    printer_->setDocName(OpenLinerJob().documentName);
    if (!dialogs_.Print(host_.hostWindow(), *printer_, [this](QWidget* dialog) { ChooseFiles(dialog); })) {
        files_.clear();
        return;
    }
    printer_->setFullPage(true);

    PrinterDevice device(*printer_);
    const int dialogCopies = printer_->copyCount();
    settings.copies = static_cast<int16_t>(std::clamp(dialogCopies, 1, 32767));
    const bool batch = !files_.isEmpty();

    PrintJobRequest request = OpenLinerJob();
    request.copies = TakeCopies(dialogCopies, device);
    // Each file of a batch is read into a copy: the open liner, its unsaved
    // edits and its history stay as they are, and so does the folder its
    // pictures are found in.
    Liner scratch;
    Liner* liner = &host_.document().liner();
    const std::string pictureFolder = CurrentPictureBaseFolder();
    if (batch) {
        request.documentName = Str(IDS_APP_NAME);
        for (const QString& path : files_) request.files.push_back(path.toStdString());
        files_.clear();
        scratch = *liner;
        liner = &scratch;
    }

    PrintProgressDialog progress(host_.hostWindow());
    lastResult_ = RunPrintJob(device, *liner, request, prompter_, progress);
    if (batch) SetPictureBaseFolder(pictureFolder);
    // Printed to a PDF file with bleed: the boxes a print shop reads.
    if (lastResult_.printed && !lastResult_.sheetCards.empty() && printer_->outputFormat() == QPrinter::PdfFormat &&
        !AddPdfCardBoxesToFile(printer_->outputFileName(), lastResult_.sheetCards)) {
        ShowMessage(prompter_, MessageOwner::MainWindow(), ErrorStyle(), IDS_CANNOT_WRITE_FILE,
                    {printer_->outputFileName().toStdString()});
    }
}

PrintJobRequest Printing::OpenLinerJob() const {
    PrintJobRequest request;
    request.copies = std::max<int>(host_.settings().copies, 1);
    request.page = host_.settings().print;
    const QString& title = host_.document().currentTitle();
    request.documentName = title.isEmpty() ? Str(IDS_UNTITLED) : title;
    return request;
}

void Printing::PageSetup() {
    if (!printer_ && !PrintSystemAnswers()) return;
    Settings& settings = host_.settings();
    PageSetupDialog dialog(host_.hostWindow(), printer(), settings.print, host_.document().liner().defaultUnits);
    dialog.SetPrinterChooser(
        [this](QWidget* owner, const QString& current) -> std::optional<QString> {
            const std::optional<QStringList> names = PrinterNames();
            if (!names) {
                ShowMessage(prompter_, MessageOwner::MainWindow(), {MessageIcon::Stop, MessageButtons::Ok, false},
                            IDS_PRINT_SYSTEM_NO_ANSWER);
                return std::nullopt;
            }
            const QStringList& printers = *names;
            if (printers.isEmpty()) {
                ReportCommonDialogError(prompter_, kNoPrinterDevices);
                return std::nullopt;
            }
            return dialogs_.ChoosePrinter(owner, printers, current);
        });
    if (!dialogs_.PageSetup(dialog)) return;  // Cancel changes nothing
    settings.print = dialog.Result();
    dialog.ApplyPaper(*printer_);
}
