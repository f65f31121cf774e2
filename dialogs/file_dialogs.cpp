#include "dialogs/file_dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>

#include "document/liner_file.h"
#include "document/liner_text.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/strings.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::string Join(const std::vector<std::string>& items, const std::string& glue) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += glue;
        out += items[i];
    }
    return out;
}

}  // namespace

std::string DefaultExtensionOf(const std::string& pattern) {
    if (pattern.size() < 3 || pattern[2] == '*') return {};
    std::string ext = pattern.substr(2);
    // A group of several patterns gives its first.
    const size_t semicolon = ext.find(';');
    if (semicolon != std::string::npos) ext.resize(semicolon);
    return ext;
}

FileFilter BuildFileFilter(uint16_t stringId, int filterIndex,
                           const std::array<FileTypeSlot, kFileTypeSlots>& fileTypes) {
    std::string text = LoadString(stringId, 256);
    std::string combined;
    char separator = text.empty() ? '|' : text.back();
    if (separator == '?') {
        // The program's own liner types are offered whether or not the
        // desktop knows them as ours.
        // They come first, so that a type registered later neither becomes
        // the default filter nor moves the ones the user chose before.
        std::vector<FileTypeSlot> types;
        std::vector<FileTypeSlot> others(fileTypes.begin(), fileTypes.end());
        for (FileTypeSlot builtIn : {FileTypeSlot{".cas", "Cassette Files"}, FileTypeSlot{".dat", "DAT Files"}}) {
            const auto listed = std::find_if(others.begin(), others.end(), [&](const FileTypeSlot& slot) {
                return QString::fromStdString(slot.extension).compare(QString::fromStdString(builtIn.extension),
                                                                      Qt::CaseInsensitive) == 0;
            });
            if (listed != others.end()) {
                types.push_back(*listed);
                others.erase(listed);
            } else {
                types.push_back(builtIn);
            }
        }
        types.insert(types.end(), others.begin(), others.end());
        std::vector<std::string> descriptions;
        for (const FileTypeSlot& slot : types) {
            if (slot.extension.empty()) continue;
            if (std::find(descriptions.begin(), descriptions.end(), slot.description) ==
                descriptions.end()) {
                descriptions.push_back(slot.description);
            }
        }
        for (const std::string& description : descriptions) {
            std::vector<std::string> extensions;
            for (const FileTypeSlot& slot : types) {
                if (!slot.extension.empty() && slot.description == description) {
                    extensions.push_back(slot.extension);
                }
            }
            const std::string list = "*" + Join(extensions, ";*");
            combined += description + " (" + list + ")" + separator + list + separator;
        }
    }
    combined += text;

    FileFilter filter;
    const std::vector<std::string> parts = Split(combined, separator);
    for (size_t i = 0; i + 1 < parts.size(); i += 2) filter.pairs.emplace_back(parts[i], parts[i + 1]);
    // Before any choice (index 0) the first filter, a type of the program, is
    // the one shown, and names typed without an extension get its extension.
    if (filterIndex == 0) filterIndex = 1;
    if (filterIndex >= 1 && filterIndex <= static_cast<int>(filter.pairs.size())) {
        filter.defaultExtension = DefaultExtensionOf(filter.pairs[filterIndex - 1].second);
    }
    return filter;
}

QString QtNameFilter(const std::string& description, const std::string& pattern) {
    QStringList patterns;
    for (const std::string& p : Split(pattern, ';')) {
        // "*.*" would leave out files without an extension here.
        patterns << (p == "*.*" ? QString("*") : QString::fromStdString(p));
    }
    // QFileDialog takes the patterns from the last parenthesised group and,
    // with HideNameFilterDetails, shows only what precedes it.
    return QString::fromStdString(description) + " (" + patterns.join(' ') + ")";
}

QString TitlePreviewText(const QString& path) {
    QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable()) return {};
    const std::optional<TextBlock> title = ReadTitlePreview(path.toStdString());
    if (!title || title->lineCount == 0) return {};
    // The title's characters are in the code pages of its fonts, which a
    // current file holds after it; an older file's texts are Western.
    Liner file;
    std::vector<FontEntry> fonts;
    if (const auto bytes = LoadFileBytes(path.toStdString());
        bytes && ParseLinerBytes(*bytes, FileKind::Liner, file) == ParseStatus::Ok) {
        fonts = std::move(file.fonts);
    }
    QString text = FontCodedToUnicode(fonts, title->text, kFontTitle);
    text.replace("\r\n", "\n");
    return text;
}

std::string FolderOfChosenFile(const QString& path) {
    return NormalizeFolder(QFileInfo(path).absolutePath().toStdString());
}

namespace {

void Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setWindowTitle(request.caption);
    QStringList filters;
    for (const auto& [description, pattern] : request.filter.pairs) {
        filters << QtNameFilter(description, pattern);
    }
    dialog.setNameFilters(filters);
    const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                          ? request.filterIndex - 1
                          : 0;
    if (!filters.isEmpty()) dialog.selectNameFilter(filters[index]);
    if (!request.folder.isEmpty()) dialog.setDirectory(request.folder);
}

int ChosenFilterIndex(const QFileDialog& dialog) {
    const int index = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
    return index < 0 ? 1 : index + 1;
}

}  // namespace

std::optional<FileDialogResult> QtFileDialogs::Open(QWidget* owner, const FileDialogRequest& request) {
    QFileDialog dialog(owner);
    Prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);

    QCheckBox* readOnly = nullptr;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        int row = grid->rowCount();
        if (request.preview) {
            auto* label = new QLabel(QObject::tr("Title:"), &dialog);
            auto* preview = new QPlainTextEdit(&dialog);
            preview->setObjectName("TitlePreview");
            preview->setReadOnly(true);
            preview->setMaximumHeight(preview->fontMetrics().lineSpacing() * 5);
            preview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            label->setBuddy(preview);
            grid->addWidget(label, row++, 0, 1, grid->columnCount());
            grid->addWidget(preview, row++, 0, 1, grid->columnCount());
            QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                             [preview](const QString& path) { preview->setPlainText(TitlePreviewText(path)); });
        }
        if (request.showReadOnly) {
            readOnly = new QCheckBox(QObject::tr("Open as &read-only"), &dialog);
            readOnly->setObjectName("ReadOnly");
            grid->addWidget(readOnly, row++, 0, 1, grid->columnCount());
        }
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    FileDialogResult result;
    result.path = dialog.selectedFiles().first();
    result.filterIndex = ChosenFilterIndex(dialog);
    result.readOnly = readOnly && readOnly->isChecked();
    return result;
}

std::optional<FileDialogResult> QtFileDialogs::Save(QWidget* owner, const FileDialogRequest& request) {
    QFileDialog dialog(owner);
    Prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.filter.defaultExtension));
    // The extension follows the filter the user picks.
    const FileFilter filter = request.filter;
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filter](const QString& name) {
        const int index = dialog.nameFilters().indexOf(name);
        if (index >= 0 && index < static_cast<int>(filter.pairs.size())) {
            dialog.setDefaultSuffix(QString::fromStdString(DefaultExtensionOf(filter.pairs[index].second)));
        }
    });
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    FileDialogResult result;
    result.path = dialog.selectedFiles().first();
    result.filterIndex = ChosenFilterIndex(dialog);
    return result;
}

QString SaveDialogFolder(const std::string& folder, const QString& fileName, const std::string& dataFolder,
                         const std::string& ownFolder) {
    const QString remembered = QString::fromStdString(folder);
    const QString name = fileName.isEmpty() ? QStringLiteral("untitled") : fileName;
    if (!IsShippedFile(QDir(remembered).filePath(name).toStdString(), dataFolder)) return remembered;
    QDir().mkpath(QString::fromStdString(ownFolder));
    return QString::fromStdString(ownFolder);
}
