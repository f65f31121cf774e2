// Register File Types: the table of the liner file extensions associated
// with the program and their descriptions (which name them in the liner file
// dialogs).  Typing into a blank row associates another extension.
#pragma once

#include <QDialog>
#include <QImage>
#include <array>
#include <string>

#include "document/file_types.h"

class DialogHost;
class LinerDocument;
class Prompter;
class QLineEdit;

class RegisterTypesDialog : public QDialog {
    Q_OBJECT

public:
    // `types` are the program's file types: on opening, those no longer
    // associated are dropped; on OK they become the rows typed.
    RegisterTypesDialog(QWidget* owner, FileTypeTable& types, Prompter& prompter, FileTypePlaces places,
                        std::string programPath, QImage icon);

    QLineEdit* extensionField(int row) const { return extensions_[static_cast<size_t>(row)]; }
    QLineEdit* descriptionField(int row) const { return descriptions_[static_cast<size_t>(row)]; }

    void accept() override;

private:
    FileTypeTable& slots_;
    Prompter& prompter_;
    FileTypePlaces places_;
    std::string programPath_;
    QImage icon_;
    std::array<QLineEdit*, kFileTypeSlots> extensions_{};
    std::array<QLineEdit*, kFileTypeSlots> descriptions_{};
};

// Makes command 121 (Register File Types) open the dialog over the window's
// settings.
void InstallRegisterTypesDialog(DialogHost& host);
