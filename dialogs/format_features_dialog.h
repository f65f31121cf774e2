// Format Features: adds, renames, deletes and styles the features of the
// liner's feature flap, and sets their margins.  The edits are kept in
// working records until Apply rebuilds the Liner's feature list from them.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "dialogs/format_fields_dialog.h"
#include "document/liner.h"

class QLabel;
class QListWidget;

class FormatFeaturesDialog : public FormatDialog {
    Q_OBJECT

public:
    explicit FormatFeaturesDialog(DialogHost& host);

    bool Apply() override;
    bool HasChanges() override;
    void Reload() override { Load(); }

    QListWidget* featureList() const { return list_; }
    QComboBox* styleList() const { return style_; }
    QLineEdit* topField() const { return top_; }
    QLineEdit* sideField() const { return side_; }

    // Takes up the Liner afresh, dropping unapplied edits, when its feature
    // list is no longer the one the working records were made from (another
    // liner was opened or created).  True when it did.
    bool Resync();

protected:
    QWidget* FirstField() const override;
    bool event(QEvent* event) override;
    // The records follow the Liner's features as Resync does.
    void NoteBeforeChange() override {}
    void FollowChange() override { Resync(); }

private:
    struct Record {
        uint16_t style = kFeatureCenteredWithSides;
        Measurement top, side;
        std::string name;  // font-coded, with the default font of `style`
        int source = -1;   // index into base_, -1 for a feature added here
    };

    void Load();
    void Show(int index);
    void UpdateEnabled();
    // Tells, before Apply, that a sided feature switched to a style without
    // sides loses its choices.
    void UpdateSidesNote();
    bool StoreShown(bool quiet);
    void Chosen();
    void Add();
    void Change();
    void Delete();
    void SetRow(int row);
    // The record `r` would make, with the choices of its source as the Liner
    // holds them now.
    Feature Build(const Record& r) const;

    QListWidget* list_ = nullptr;
    QComboBox* style_ = nullptr;
    QLabel* sidesNote_ = nullptr;
    QLineEdit* top_ = nullptr;
    QLineEdit* side_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* changeButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    std::vector<QWidget*> fieldWidgets_;
    ChoiceTable styles_;
    std::vector<Record> records_;
    std::vector<Feature> base_;  // the Liner's features the records refer to
    int shown_ = -1;
    bool changed_ = false;
    bool switching_ = false;
};
