// The program's printer and its two commands, Print (4) and Page Setup (112).
// The printer and its settings live for the whole run; each Print runs one
// print job on it, for the open Liner or for a batch of liner files.
#pragma once

#include <QPrinter>
#include <QStringList>
#include <memory>

#include "app/printer_device.h"
#include "render/print_job.h"

class DialogHost;
class PrintDialogs;
class Prompter;

class Printing {
public:
    Printing(DialogHost& host, PrintDialogs& dialogs, Prompter& prompter);
    ~Printing();

    // Makes Print and Page Setup run here.
    void Install();

    void PrintLiner();
    void PageSetup();

    // The job Print runs for the open Liner, in the copies last asked for,
    // with Page Setup's margins and 2-up: for the preview and the exported
    // sheets.
    PrintJobRequest OpenLinerJob() const;

    QPrinter& printer();
    // The files chosen with "&Files..." in the last print dialog.
    const QStringList& batchFiles() const { return files_; }
    const PrintJobResult& lastResult() const { return lastResult_; }

private:
    // False, after saying so, when the print system is there but silent.
    bool PrintSystemAnswers();
    void ChooseFiles(QWidget* printDialog);

    DialogHost& host_;
    PrintDialogs& dialogs_;
    Prompter& prompter_;
    std::unique_ptr<QPrinter> printer_;
    QStringList files_;
    PrintJobResult lastResult_;
};
