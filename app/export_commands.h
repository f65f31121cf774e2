// File > Export...: the open Liner as a PDF (the liner at its true size, or
// the sheets as Print makes them), a PNG image at a chosen resolution, or an
// SVG drawing.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class FileDialogs;
class DialogHost;
class Printing;
class Prompter;
class QRadioButton;
class QSpinBox;
class QGroupBox;

// In the order of the save dialog's filters (1-based filter index).
enum class ExportFormat { Pdf = 1, Png = 2, Svg = 3 };

struct ExportOptions {
    ExportFormat format = ExportFormat::Pdf;
    bool sheet = false;  // PDF: the sheets as printed instead of the liner alone
    int dpi = 300;       // PNG
    bool transparent = false;
    int bleed = 0;        // PDF of the liner: twips of bleed, with crop marks and boxes
    bool metric = false;  // the bleed is shown in millimetres, else in inches
};

// The format a chosen file name asks for: its extension, or else the filter.
ExportFormat ExportFormatOf(const QString& path, int filterIndex);

// The choices of one format (PDF: liner or sheet; PNG: resolution and
// background); SVG has none and never shows it.
class ExportOptionsDialog : public QDialog {
    Q_OBJECT

public:
    ExportOptionsDialog(QWidget* owner, const ExportOptions& start);
    ExportOptions Result() const;

private:
    ExportOptions start_;
    QRadioButton* liner_ = nullptr;
    QRadioButton* sheet_ = nullptr;
    QSpinBox* dpi_ = nullptr;
    QRadioButton* white_ = nullptr;
    QRadioButton* transparent_ = nullptr;
    class QDoubleSpinBox* bleed_ = nullptr;
};

class Exporting {
public:
    Exporting(DialogHost& host, Printing& printing, FileDialogs& dialogs, Prompter& prompter);

    // Makes File > Export... run here.
    void Install();
    // The whole command: file dialog, options, the file.  True when written.
    bool Export();

    // The options question: the dialog unless a test answers.  False: cancelled.
    std::function<bool(QWidget* owner, ExportOptions& options)> askOptions;

private:
    bool WriteSheets(const QString& path);

    DialogHost& host_;
    Printing& printing_;
    FileDialogs& dialogs_;
    Prompter& prompter_;
};
