#include "dialogs/format_fields_dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QPointer>
#include <memory>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "document/liner.h"
#include "platform/messages.h"
#include "platform/strings.h"

namespace {

// Enough for any value as the program shows it, with room to spare.
constexpr int kMeasurementChars = 16;

}  // namespace

void FillChoices(QComboBox* box, const ChoiceTable& table, int selectValue) {
    for (const ChoiceEntry& row : table) box->addItem(QString::fromStdString(row.text), row.value);
    if (selectValue == -1) {
        box->setCurrentIndex(-1);
    } else {
        SelectChoice(box, table, selectValue);
    }
}

void SelectChoice(QComboBox* box, const ChoiceTable& table, int value) {
    const std::string* text = ChoiceTextOf(table, value);
    if (!text) return;
    const int index = box->findText(QString::fromStdString(*text), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) box->setCurrentIndex(index);
}

uint16_t ReadChoice(const QComboBox* box, const ChoiceTable& table) {
    return ChoiceValueOf(table, box->currentText().left(79).toStdString());
}

QLineEdit* NewMeasurementField(QWidget* parent, const QString& objectName) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setMaxLength(kMeasurementChars);
    // Room for eight characters and a little more.
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    return field;
}

void ShowMeasurement(QLineEdit* field, const Measurement& m) {
    field->setText(QString::fromStdString(FormatMeasurement(m)));
}

std::optional<Measurement> ReadMeasurement(QLineEdit* field, bool allowNegative, bool quiet, int defaultUnit,
                                           Prompter& prompter, QWidget* dialog) {
    // Read as every measurement field is: 16 characters, room for any value
    // the program shows ("2.5625 in"); a value too large for a liner is told
    // the largest length allowed.
    const std::string text = field->text().toStdString();
    const MessageOwner owner = MessageOwner::Dialog(dialog);
    const FieldReading reading =
        ReadMeasurementField(text, allowNegative, false, quiet, defaultUnit, &prompter, &owner);
    if (reading.value) return reading.value;
    if (!quiet) {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
    }
    return std::nullopt;
}

// ---- a text area's format ---------------------------------------------------------

namespace {

Measurement AreaFormat::* const kAreaMeasures[7] = {&AreaFormat::left, &AreaFormat::right, &AreaFormat::top,
                                                    &AreaFormat::bottom, &AreaFormat::wrap,
                                                    &AreaFormat::between, &AreaFormat::within};

}  // namespace

void AreaFormatFields::Build(QWidget* parent, QBoxLayout* layout) {
    alignments = AlignmentChoices();
    alignment = new QComboBox(parent);
    alignment->setObjectName("AlignmentList");
    auto* alignmentRow = new QHBoxLayout;
    auto* alignmentLabel = new QLabel(QObject::tr("&Alignment:"), parent);
    alignmentLabel->setBuddy(alignment);
    alignmentRow->addWidget(alignmentLabel);
    alignmentRow->addWidget(alignment);
    alignmentRow->addStretch();
    layout->addLayout(alignmentRow);

    const char* const names[7] = {"LeftField", "RightField", "TopField", "BottomField",
                                  "WrapField", "BetweenField", "WithinField"};
    const QString labels[7] = {QObject::tr("&Left:"),  QObject::tr("&Right:"),    QObject::tr("&Top:"),
                               QObject::tr("&Bottom:"), QObject::tr("&Wrap:"),    QObject::tr("Betwee&n:"),
                               QObject::tr("W&ithin:")};
    for (int i = 0; i < 7; ++i) fields[i] = NewMeasurementField(parent, names[i]);
    auto addRow = [&](QGridLayout* grid, int row, int column, int i) {
        auto* label = new QLabel(labels[i], parent);
        label->setBuddy(fields[i]);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(fields[i], row, column * 2 + 1);
    };

    auto* margins = new QGroupBox(QObject::tr("Margins"), parent);
    auto* marginGrid = new QGridLayout(margins);
    addRow(marginGrid, 0, 0, 0);  // left
    addRow(marginGrid, 0, 1, 1);  // right
    addRow(marginGrid, 1, 0, 2);  // top
    addRow(marginGrid, 1, 1, 3);  // bottom
    layout->addWidget(margins);

    auto* spacing = new QGroupBox(QObject::tr("Spacing"), parent);
    auto* spacingGrid = new QGridLayout(spacing);
    addRow(spacingGrid, 0, 0, 4);  // wrap
    addRow(spacingGrid, 1, 0, 5);  // between
    addRow(spacingGrid, 1, 1, 6);  // within
    layout->addWidget(spacing);

    fields[4]->setToolTip(QObject::tr("Indent of the continuation rows of a long item"));
    const QString lines = QObject::tr("A number without a unit counts lines of the text's height");
    fields[5]->setToolTip(QObject::tr("Space between items. ") + lines);
    fields[6]->setToolTip(QObject::tr("Space between the rows of one item. ") + lines);
}

void AreaFormatFields::FillAlignment(int value) { FillChoices(alignment, alignments, value); }

void AreaFormatFields::Show(const AreaFormat& format) {
    SelectChoice(alignment, alignments, format.alignment);
    for (int i = 0; i < 7; ++i) ShowMeasurement(fields[i], format.*kAreaMeasures[i]);
}

bool AreaFormatFields::Read(AreaFormat& format, bool quiet, int defaultUnit, Prompter& prompter,
                            QWidget* dialog) const {
    AreaFormat read = format;
    for (int i = 0; i < 7; ++i) {
        const std::optional<Measurement> m = ReadMeasurement(fields[i], true, quiet, defaultUnit, prompter, dialog);
        if (!m) return false;
        read.*kAreaMeasures[i] = *m;
    }
    read.alignment = ReadChoice(alignment, alignments);
    format = read;
    return true;
}

// ---- the dialog ------------------------------------------------------------------

FormatDialog::FormatDialog(DialogHost& host, uint16_t saveQuestion)
    : QDialog(host.hostWindow()), host_(host), document_(host.document()), saveQuestion_(saveQuestion) {
    setModal(false);
    okButton_ = new QPushButton(tr("OK"), this);
    okButton_->setObjectName("OkButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setObjectName("CancelButton");
    applyButton_ = new QPushButton(tr("Appl&y"), this);
    applyButton_->setObjectName("ApplyButton");

    connect(okButton_, &QPushButton::clicked, this, [this] {
        if (ApplyOwnFields()) Finish();
    });
    connect(applyButton_, &QPushButton::clicked, this, [this] {
        if (!ApplyOwnFields()) return;
        cancelButton_->setText(QString::fromStdString(LoadString(IDS_CLOSE)));
        if (QWidget* first = FirstField()) first->setFocus(Qt::OtherFocusReason);
    });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { RequestClose(); });

    // Closing the program must not drop changes that were never applied, nor
    // must replacing the Liner; the dialog then shows the new one.
    host_.hostWindow()->installEventFilter(this);
    connect(&document_, &LinerDocument::aboutToReplaceLiner, this, [this](bool* proceed) {
        if (*proceed && !closing_ && !AskAboutChanges()) *proceed = false;
    });
    connect(&document_, &LinerDocument::linerReplaced, this, [this] {
        if (!closing_) Reload();
    });
    // A step in another dialog, an Undo or a Redo.
    connect(&document_, &LinerDocument::aboutToChange, this, [this] {
        if (!closing_) NoteBeforeChange();
    });
    connect(&document_, &LinerDocument::changed, this, [this] {
        if (!closing_) FollowChange();
    });
}

std::vector<std::pair<QWidget*, QVariant>> FormatDialog::FieldValues() const {
    std::vector<std::pair<QWidget*, QVariant>> values;
    for (QWidget* field : findChildren<QWidget*>()) {
        if (auto* box = qobject_cast<QComboBox*>(field)) {
            values.emplace_back(box, box->isEditable() ? QVariant(box->currentText()) : QVariant(box->currentIndex()));
        } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            // An editable list's own line is the list's.
            if (!qobject_cast<QComboBox*>(edit->parentWidget())) values.emplace_back(edit, edit->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(field); button && button->isCheckable()) {
            values.emplace_back(button, button->isChecked());
        }
    }
    return values;
}

void FormatDialog::SetFieldValue(QWidget* field, const QVariant& value) {
    if (auto* box = qobject_cast<QComboBox*>(field)) {
        if (box->isEditable()) {
            box->setCurrentText(value.toString());
        } else {
            box->setCurrentIndex(value.toInt());
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        edit->setText(value.toString());
    } else if (auto* button = qobject_cast<QAbstractButton*>(field)) {
        button->setChecked(value.toBool());
    }
}

bool FormatDialog::ApplyOwnFields() {
    applying_ = true;
    const bool applied = Apply();
    applying_ = false;
    return applied;
}

void FormatDialog::NoteBeforeChange() {
    // The dialog's own step: every field shows the Liner afterwards.
    touched_.clear();
    if (applying_) return;
    // A field is the user's when it shows other than the Liner as it stands.
    const std::vector<std::pair<QWidget*, QVariant>> typed = FieldValues();
    Reload();
    const std::vector<std::pair<QWidget*, QVariant>> stored = FieldValues();
    for (size_t i = 0; i < typed.size() && i < stored.size(); ++i) {
        if (typed[i].second != stored[i].second) touched_.push_back(typed[i]);
    }
    for (const auto& [field, value] : touched_) SetFieldValue(field, value);
}

void FormatDialog::FollowChange() {
    Reload();
    for (const auto& [field, value] : touched_) SetFieldValue(field, value);
    touched_.clear();
}

QBoxLayout* FormatDialog::ButtonColumn() {
    auto* column = new QVBoxLayout;
    column->addWidget(okButton_);
    column->addWidget(cancelButton_);
    column->addWidget(applyButton_);
    column->addStretch();
    return column;
}

bool FormatDialog::AskAboutChanges() {
    if (!HasChanges()) return true;
    const MessageResult answer =
        ShowMessage(host_.prompter(), MessageOwner::MainWindow(),
                    {MessageIcon::Question, MessageButtons::YesNoCancel, false}, saveQuestion_);
    if (answer == MessageResult::Cancel) return false;
    return answer != MessageResult::Yes || ApplyOwnFields();
}

bool FormatDialog::RequestClose() {
    if (closing_) return true;
    if (!AskAboutChanges()) return false;
    Finish();
    return true;
}

void FormatDialog::Finish() {
    closing_ = true;
    host_.hostWindow()->removeEventFilter(this);
    hide();
    deleteLater();
}

void FormatDialog::reject() { RequestClose(); }

void FormatDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    RequestClose();
}

bool FormatDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_.hostWindow() && event->type() == QEvent::Close && !closing_ && !AskAboutChanges()) {
        event->ignore();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

