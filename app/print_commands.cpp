#include "app/print_commands.h"

#include <QFileInfo>
#include <QPrinterInfo>

#include "app/commands.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/print_dialogs.h"
#include "document/liner_file.h"
#include "platform/messages.h"
#include "platform/strings.h"

namespace {

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// The common-dialog error for "No printer device drivers were found".
constexpr uint32_t kNoPrinterDevices = 0x1007;

}  // namespace

// ---- the commands ------------------------------------------------------------------------

Printing::Printing(MainWindow& window, PrintDialogs& dialogs, Prompter& prompter)
    : window_(window), dialogs_(dialogs), prompter_(prompter), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    // The painter's origin at the paper's corner; the job keeps liners
    // inside what the printer can mark.
    printer_->setFullPage(true);
}

Printing::~Printing() = default;

void Printing::Install() {
    window_.SetCommandHandler(kCmdPrint, [this] { PrintLiner(); });
    window_.SetCommandHandler(kCmdPageSetup, [this] { PageSetup(); });
}

void Printing::ChooseFiles(QWidget* printDialog) {
    Settings& settings = window_.settings();
    const FileFilter filter = BuildFileFilter(IDS_FILTER_PRINT_FILES, settings.printFilterIndex, settings.fileTypes);
    PrintFilesRequest request;
    request.caption = Str(IDS_CAPTION_PRINT);
    request.folder = QString::fromStdString(settings.printFolder);
    for (const auto& [description, pattern] : filter.pairs) request.nameFilters << QtNameFilter(description, pattern);
    request.filterIndex = settings.printFilterIndex;
    const std::optional<PrintFilesChoice> chosen = dialogs_.ChooseFiles(printDialog, request);
    if (!chosen) {
        files_.clear();
        return;
    }
    files_ = chosen->paths;
    settings.printFolder = FolderOfChosenFile(files_.front());
    settings.printFilterIndex = chosen->filterIndex;
}

void Printing::PrintLiner() {
    files_.clear();
    Settings& settings = window_.settings();
    printer_->setCopyCount(std::max<int>(settings.copies, 1));
    if (!dialogs_.Print(&window_, *printer_, [this](QWidget* dialog) { ChooseFiles(dialog); })) {
        files_.clear();
        return;
    }
    printer_->setFullPage(true);

    PrinterDevice device(*printer_);
    const int dialogCopies = printer_->copyCount();
    settings.copies = static_cast<int16_t>(std::clamp(dialogCopies, 1, 32767));
    const bool batch = !files_.isEmpty();

    PrintJobRequest request;
    request.copies = TakeCopies(dialogCopies, device);
    request.page = settings.print;
    if (batch) {
        request.documentName = Str(IDS_APP_NAME);
    } else {
        request.documentName = window_.currentTitle().isEmpty() ? Str(IDS_UNTITLED) : window_.currentTitle();
    }

    if (batch) {
        if (window_.modified() && window_.QuerySaveChanges() == MessageResult::Cancel) {
            files_.clear();
            return;
        }
        window_.SetModified(false);
        for (const QString& path : files_) request.files.push_back(path.toStdString());
    }

    PrintProgressDialog progress(&window_);
    lastResult_ = RunPrintJob(device, window_.liner(), request, prompter_, progress);

    if (batch) {
        files_.clear();
        // The batch replaced the open Liner; bring back the one that was open.
        if (!window_.currentTitle().isEmpty()) {
            window_.OpenLinerFile(window_.currentPath());
        } else {
            window_.NewLinerFromFormat(window_.formatPath());
        }
    }
}

PrintJobRequest Printing::OpenLinerJob() const {
    PrintJobRequest request;
    request.copies = std::max<int>(window_.settings().copies, 1);
    request.page = window_.settings().print;
    request.documentName = window_.currentTitle().isEmpty() ? Str(IDS_UNTITLED) : window_.currentTitle();
    return request;
}

void Printing::PageSetup() {
    Settings& settings = window_.settings();
    PageSetupDialog dialog(&window_, *printer_, settings.print, window_.liner().defaultUnits);
    dialog.SetPrinterChooser(
        [this](QWidget* owner, const QString& current) -> std::optional<QString> {
            const QStringList printers = QPrinterInfo::availablePrinterNames();
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
