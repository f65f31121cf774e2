// File > Print Preview: the sheets exactly as Print would make them for the
// open Liner (the same print job, on the program's printer, its paper,
// orientation and Page Setup's margins, 2-up and copies), kept instead of
// printed and shown in a window of their own, with Print from there.
#pragma once

#include <QDialog>
#include <QPicture>
#include <QSizeF>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "render/print_job.h"

class DialogHost;
class Printing;
class Prompter;
class QLabel;
class QPrinter;
class QScrollArea;
class QVBoxLayout;

// One sheet: what the job drew on it, in the printer's device pixels with the
// origin at the paper's corner, and the paper as it stood when the sheet
// started (points; wider than high when the job turned the paper).
struct PreviewSheet {
    QPicture picture;
    QSizeF paper;
    double dpiX = 1200;
    double dpiY = 1200;
};

// A print device that keeps each sheet; the paper, printable area and
// orientation are the printer's.
class PreviewPrintDevice : public PagedPrintDevice {
public:
    explicit PreviewPrintDevice(QPrinter& printer);
    ~PreviewPrintDevice() override;

    bool StartDocument(const QString& name) override;
    bool StartPage() override;
    bool EndPage() override;
    bool EndDocument() override;
    QPainter* Painter() override;

    std::vector<PreviewSheet>& sheets() { return sheets_; }

private:
    QPrinter& printer_;
    std::unique_ptr<QPainter> painter_;
    std::vector<PreviewSheet> sheets_;
    bool open_ = false;
};

// Runs the job into kept sheets.  Nothing when the job printed nothing (the
// placement's messages have been shown, as Print shows them).
std::optional<std::vector<PreviewSheet>> PreviewSheets(QPrinter& printer, Liner& liner,
                                                       const PrintJobRequest& request, Prompter& prompter);

class PrintPreviewDialog : public QDialog {
    Q_OBJECT

public:
    PrintPreviewDialog(QWidget* owner, std::vector<PreviewSheet> sheets);

    const std::vector<PreviewSheet>& sheets() const { return sheets_; }
    // Pixels of the screen per point of paper: 1 at "100%" of 72 dpi paper
    // shown at the screen's resolution.
    double zoom() const { return zoom_; }
    void SetZoom(double zoom);
    // Whether the dialog was left with "&Print...".
    bool printChosen() const { return printChosen_; }

private:
    void Relayout();

    std::vector<PreviewSheet> sheets_;
    double zoom_ = 0.5;
    bool printChosen_ = false;
    QScrollArea* scroll_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    std::vector<QWidget*> pages_;
};

class PrintPreview {
public:
    PrintPreview(DialogHost& host, Printing& printing, Prompter& prompter);

    // Makes File > Print Preview run here.
    void Install();
    // The command; true when the preview was shown.
    bool Show();

    // Shows the dialog: modal unless a test looks at it instead.
    std::function<void(PrintPreviewDialog&)> run;

private:
    DialogHost& host_;
    Printing& printing_;
    Prompter& prompter_;
};
