#include "dialogs/register_types_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/commands.h"
#include "dialogs/file_dialogs.h"
#include "dialogs/icons.h"
#include "dialogs/dialog_host.h"
#include "document/settings.h"
#include "document/liner_document.h"
#include "platform/messages.h"
#include "platform/strings.h"

RegisterTypesDialog::RegisterTypesDialog(QWidget* owner, FileTypeTable& types, Prompter& prompter,
                                         FileTypePlaces places, std::string programPath, QImage icon)
    : QDialog(owner),
      slots_(types),
      prompter_(prompter),
      places_(std::move(places)),
      programPath_(std::move(programPath)),
      icon_(std::move(icon)) {
    setObjectName("RegisterTypesDialog");
    setWindowTitle(tr("Register Reelcard File Types"));
    setModal(true);

    // Types another program took over since the last time leave the table.
    slots_ = KeepAssociatedSlots(slots_, [this](const std::string& ext) {
        return IsAssociatedWithProgram(ext, places_);
    });

    auto* explanation = new QLabel(
        tr("The following table indicates which file types are currently registered to Reelcard.  "
           "To register an unregistered file type, enter the extension and description in a blank entry.  "
           "Clearing or overwriting an entry will NOT unregister the file type."),
        this);
    explanation->setWordWrap(true);
    explanation->setObjectName("Explanation");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Extension"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Description"), this), 0, 1);
    for (int row = 0; row < kFileTypeSlots; ++row) {
        const FileTypeSlot& slot = slots_[static_cast<size_t>(row)];
        auto* ext = new QLineEdit(QString::fromStdString(slot.extension), this);
        ext->setObjectName(QString("Extension%1").arg(row + 1));
        auto* description = new QLineEdit(QString::fromStdString(slot.description), this);
        description->setObjectName(QString("Description%1").arg(row + 1));
        extensions_[static_cast<size_t>(row)] = ext;
        descriptions_[static_cast<size_t>(row)] = description;
        grid->addWidget(ext, row + 1, 0);
        grid->addWidget(description, row + 1, 1);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RegisterTypesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RegisterTypesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(480);
    extensions_[0]->setFocus();
}

void RegisterTypesDialog::accept() {
    FileTypeTable rows;
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = {extensions_[i]->text().toStdString(), descriptions_[i]->text().toStdString()};
    }
    if (const std::optional<FileTypeProblem> problem = CheckFileTypeRows(rows, slots_)) {
        prompter_.Show(MessageOwner::Dialog(this), ErrorStyle(), problem->message);
        const size_t row = static_cast<size_t>(problem->row);
        QLineEdit* field = problem->onExtension ? extensions_[row] : descriptions_[row];
        field->setFocus();
        field->selectAll();
        return;
    }

    slots_ = rows;
    std::vector<std::string> associate, descriptions;
    bool anyRow = false;
    for (const FileTypeSlot& row : rows) {
        if (row.extension.empty()) continue;
        anyRow = true;
        if (IsAssociatedWithProgram(row.extension, places_)) continue;
        if (const std::optional<std::string> owner = CurrentRegistration(row.extension, places_)) {
            const MessageResult answer =
                ShowMessage(prompter_, MessageOwner::Dialog(this),
                            {MessageIcon::Question, MessageButtons::YesNo, false}, IDS_EXT_REGISTERED_ELSEWHERE,
                            {row.extension, *owner});
            if (answer != MessageResult::Yes) continue;
        }
        associate.push_back(row.extension);
        descriptions.push_back(row.description);
    }
    // Files that cannot be written leave the association as it was; the
    // program's own list of types changes all the same.
    AssociateExtensions(associate, places_, descriptions);
    if (anyRow) WriteProgramEntry(places_, programPath_, icon_);
    QDialog::accept();
}

void InstallRegisterTypesDialog(DialogHost& host) {
    host.SetCommandHandler(kCmdRegisterFileTypes, [&host] {
        RegisterTypesDialog dialog(host.hostWindow(), host.settings().fileTypes, host.prompter(),
                                   FileTypePlaces::Current(),
                                   QCoreApplication::applicationFilePath().toStdString(),
                                   ProgramIcon().pixmap(64, 64).toImage());
        Settings& settings = host.settings();
        const FileTypeTable before = settings.fileTypes;
        dialog.exec();
        // The filters last chosen stay chosen though the list of types grew
        // or shrank around them.
        for (const auto& [stringId, index] : {std::pair{IDS_FILTER_LINER_FILES, &settings.linerFilterIndex},
                                              std::pair{IDS_FILTER_PRINT_FILES, &settings.printFilterIndex}}) {
            if (*index < 1) continue;
            const FileFilter old = BuildFileFilter(stringId, *index, before);
            if (*index > static_cast<int>(old.pairs.size())) continue;
            const std::string& chosen = old.pairs[static_cast<size_t>(*index - 1)].second;
            const FileFilter now = BuildFileFilter(stringId, *index, settings.fileTypes);
            for (size_t i = 0; i < now.pairs.size(); ++i) {
                if (now.pairs[i].second == chosen) *index = static_cast<int>(i) + 1;
            }
        }
    });
}
