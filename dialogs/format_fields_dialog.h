// The parts every format dialog shares: choice lists filled from a choice
// table, measurement fields, and the OK / Cancel / Apply buttons with the
// question about unapplied changes on closing.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QVariant>
#include <optional>
#include <utility>
#include <vector>

#include "dialogs/format_fields.h"
#include "document/measurement.h"

class DialogHost;
class LinerDocument;
class Prompter;
class QBoxLayout;
class QPushButton;

// ---- choice lists --------------------------------------------------------------

// Adds every row's text in table order and selects the row of `selectValue`
// (-1: no selection).
void FillChoices(QComboBox* box, const ChoiceTable& table, int selectValue);
// Selects the row of `value`; nothing happens when there is none.
void SelectChoice(QComboBox* box, const ChoiceTable& table, int value);
// The value of the shown text; the first row's when it matches none.
uint16_t ReadChoice(const QComboBox* box, const ChoiceTable& table);

// ---- measurement fields ----------------------------------------------------------

// An edit field for one measurement.
QLineEdit* NewMeasurementField(QWidget* parent, const QString& objectName);
void ShowMeasurement(QLineEdit* field, const Measurement& m);
// Reads a field.  Unless `quiet`, a failure has been reported (owned by
// `dialog`) and the field has the focus with its text selected.
std::optional<Measurement> ReadMeasurement(QLineEdit* field, bool allowNegative, bool quiet, int defaultUnit,
                                           Prompter& prompter, QWidget* dialog);

// ---- a text area's format ---------------------------------------------------------

struct AreaFormat;

// The Alignment list and the seven measurement fields of a text area, in the
// order they are read: left, right, top, bottom, wrap, between, within.
struct AreaFormatFields {
    QComboBox* alignment = nullptr;
    QLineEdit* fields[7] = {};
    ChoiceTable alignments;

    // Makes the widgets and lays them out in `layout` (groups "Margins" and
    // "Spacing").
    void Build(QWidget* parent, QBoxLayout* layout);
    // Fills the Alignment list (selecting `alignment`, -1 none).
    void FillAlignment(int alignment);
    void Show(const AreaFormat& format);
    // Reads the seven fields (negative values allowed) and the alignment into
    // `format`, stopping at the first field that does not read; `format` is
    // then unchanged.
    bool Read(AreaFormat& format, bool quiet, int defaultUnit, Prompter& prompter, QWidget* dialog) const;
};

// ---- the dialog ------------------------------------------------------------------

class FormatDialog : public QDialog {
    Q_OBJECT

public:
    // `saveQuestion`: the string asked on closing with unapplied changes.
    FormatDialog(DialogHost& host, uint16_t saveQuestion);

    // Validates every field and writes them into the Liner; false, with the
    // Liner unchanged and the offending field focused, when one is wrong.
    virtual bool Apply() = 0;
    // Whether the fields show anything the Liner does not hold.
    virtual bool HasChanges() = 0;
    // Shows the Liner's values afresh (another Liner took the open one's place).
    virtual void Reload() = 0;

    // Cancel, Esc and the close box: asks about unapplied changes first.
    // True when the dialog closed.
    bool RequestClose();
    // Hidden and about to be deleted.
    bool closing() const { return closing_; }
    void reject() override;

    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* applyButton() const { return applyButton_; }

protected:
    // The OK, Cancel and Apply column, for the subclass's layout.
    QBoxLayout* ButtonColumn();
    // Where the focus goes after a successful Apply.
    virtual QWidget* FirstField() const = 0;
    // The Liner is about to change under the dialog (a step elsewhere, Undo,
    // Redo), and has changed.  By default every field the user has not
    // touched shows the Liner afresh; a field typed or chosen and not applied
    // keeps what the user gave it.
    virtual void NoteBeforeChange();
    virtual void FollowChange();

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    DialogHost& host_;
    LinerDocument& document_;

private:
    void Finish();
    // Asks about unapplied changes; false when the user cancelled (or the
    // changes could not be applied).
    bool AskAboutChanges();

    // Apply, as the dialog's own step (its fields then all follow the Liner).
    bool ApplyOwnFields();
    // The fields' values (text, choice, tick), in the order of the widgets.
    std::vector<std::pair<QWidget*, QVariant>> FieldValues() const;
    static void SetFieldValue(QWidget* field, const QVariant& value);

    uint16_t saveQuestion_;
    // The fields the user changed and what they hold, over a change.
    std::vector<std::pair<QWidget*, QVariant>> touched_;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    bool closing_ = false;
    bool applying_ = false;
};
