// The printing dialogs: the print dialog with its "&Files..." button, the
// file chooser behind that button, Page Setup with the four margins and
// "Print &2-Up", and the "Printing" progress dialog with Cancel.  The modal
// ones sit behind an interface so that tests can answer them.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

#include "document/print_settings.h"
#include "render/print_job.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;

struct PrintFilesRequest {
    QString caption;
    QString folder;
    QStringList nameFilters;  // as QFileDialog shows them
    int filterIndex = 0;      // 1-based; 0 = the first
};

struct PrintFilesChoice {
    QStringList paths;
    int filterIndex = 1;
};

class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    // The print dialog on `printer`; `chooseFiles` runs when "&Files..." is
    // pressed, with the print dialog as owner.  False when cancelled.
    virtual bool Print(QWidget* owner, QPrinter& printer, const std::function<void(QWidget*)>& chooseFiles) = 0;
    // Several liner files for a batch; nothing when cancelled.
    virtual std::optional<PrintFilesChoice> ChooseFiles(QWidget* owner, const PrintFilesRequest& request) = 0;
    // Runs a Page Setup dialog that has been filled; true on OK.
    virtual bool PageSetup(class PageSetupDialog& dialog) = 0;
    // Page Setup's "&Printer...": one of `printers`, starting on `current`;
    // nothing when cancelled.
    virtual std::optional<QString> ChoosePrinter(QWidget* owner, const QStringList& printers,
                                                 const QString& current) = 0;
};

// QPrintDialog, QFileDialog and our Page Setup, shown modally.
class QtPrintDialogs : public PrintDialogs {
public:
    bool Print(QWidget* owner, QPrinter& printer, const std::function<void(QWidget*)>& chooseFiles) override;
    std::optional<PrintFilesChoice> ChooseFiles(QWidget* owner, const PrintFilesRequest& request) override;
    bool PageSetup(PageSetupDialog& dialog) override;
    std::optional<QString> ChoosePrinter(QWidget* owner, const QStringList& printers,
                                         const QString& current) override;
};

// Adds "&Files..." at the bottom left of a print dialog.
QPushButton* AddFilesButton(QDialog& printDialog, const std::function<void(QWidget*)>& chooseFiles);

// Shows in a print dialog the batch "&Files..." chose (how many, the first
// names) with a button back to the open liner, which runs `back`; an empty
// batch shows nothing.  `documentName` is what the greyed output file is
// named after.
void ShowBatchInPrintDialog(QWidget* printDialog, const QStringList& files, const QString& documentName,
                            const std::function<void()>& back);

// Keeps the print dialog's "Collate" box disabled: the program makes every
// copy itself, one liner after the other, whatever the box says.  Returns the
// box, or nothing when the dialog has none.
QCheckBox* DisableCollateBox(QDialog& printDialog);

// Page Setup: paper size and orientation of the printer, the four margins in
// inches or millimetres (after the open liner's default unit), "Print &2-Up" or
// "As many as fit", and the bleed.
class PageSetupDialog : public QDialog {
    Q_OBJECT

public:
    PageSetupDialog(QWidget* owner, const QPrinter& printer, const PrintSettings& print, int defaultUnit);

    // What "&Printer..." runs: the printer chosen, or nothing.
    using PrinterChooser =
        std::function<std::optional<QString>(QWidget* owner, const QString& current)>;
    void SetPrinterChooser(PrinterChooser chooser) { chooser_ = std::move(chooser); }

    // What OK gives: the margins as measurements, 2-up, and the printer with
    // its paper.
    PrintSettings Result() const;
    void ApplyPaper(QPrinter& printer) const;
    // The printer the dialog applies to: the printer's own until "&Printer..."
    // chooses another.
    const QString& printerName() const { return printerName_; }
    // Whether the margins are shown in millimetres (the liner's unit is metric).
    bool metricMargins() const { return metric_; }

    QDoubleSpinBox* margin(int side) const { return margins_[side]; }  // 0 left, 1 right, 2 top, 3 bottom
    QCheckBox* twoUpBox() const { return twoUp_; }
    QCheckBox* nUpBox() const { return nUp_; }
    QDoubleSpinBox* bleedBox() const { return bleed_; }
    QComboBox* paperBox() const { return paper_; }
    QRadioButton* landscapeButton() const { return landscape_; }
    QPushButton* printerButton() const { return printerButton_; }

private:
    PrintSettings original_;
    int defaultUnit_;
    bool metric_ = false;
    QDoubleSpinBox* margins_[4] = {};
    QCheckBox* twoUp_ = nullptr;
    QCheckBox* nUp_ = nullptr;
    QDoubleSpinBox* bleed_ = nullptr;
    QComboBox* paper_ = nullptr;
    QRadioButton* portrait_ = nullptr;
    QRadioButton* landscape_ = nullptr;
    QPushButton* printerButton_ = nullptr;
    QLabel* printerLabel_ = nullptr;
    QString printerName_;
    PrinterChooser chooser_;
};

// "Printing": modeless, owned by the main window, which is disabled while it
// shows.  Cancel or Esc sets the cancelled flag, gives the window back and
// closes the dialog at once; the job notices after the liner it is drawing.
class PrintProgressDialog : public PrintProgress {
public:
    explicit PrintProgressDialog(QWidget* mainWindow) : mainWindow_(mainWindow) {}
    ~PrintProgressDialog() override;

    void Started(const std::string& line) override;
    void FileChanged(const std::string& line) override;
    void CopyChanged(int copy, int copies) override;
    bool Cancelled() override;
    void Finished() override;

    QDialog* dialog() const { return dialog_; }
    bool cancelled() const { return cancelled_; }

private:
    void Cancel();
    void Close();

    QWidget* mainWindow_;
    QPointer<QDialog> dialog_;
    QLabel* document_ = nullptr;
    QLabel* copy_ = nullptr;
    bool cancelled_ = false;
};
