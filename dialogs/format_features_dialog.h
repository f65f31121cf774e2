// Format Features: adds, renames, deletes and styles the features of the
// liner's feature flap, and sets their margins.  The edits are kept in
// working records until Apply rebuilds the Liner's feature list from them.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "dialogs/format_fields_dialog.h"
#include "document/liner.h"

class FormatSidesDialog;
class QLabel;
class QListWidget;

// Whether two feature lists are the same features in the same order, their
// choices (which Format Sides changes on its own) and font numbers (which
// saving renumbers) aside.
bool SameFeaturesApartFromChoices(const std::vector<Feature>& a, const std::vector<Feature>& b);

class FormatFeaturesDialog : public FormatDialog {
    Q_OBJECT

public:
    explicit FormatFeaturesDialog(MainWindow& window);

    bool Apply() override;
    bool HasChanges() override;
    void Reload() override { Load(); }

    QListWidget* featureList() const { return list_; }
    QComboBox* styleList() const { return style_; }
    QLineEdit* topField() const { return top_; }
    QLineEdit* sideField() const { return side_; }

    // Format Sides, told when this dialog rebuilds the feature list.
    QPointer<FormatSidesDialog> sides;

    // Takes up the Liner afresh, dropping unapplied edits, when its feature
    // list is no longer the one the working records were made from (another
    // liner was opened or created).  True when it did.
    bool Resync();

protected:
    QWidget* FirstField() const override;
    bool event(QEvent* event) override;

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

// Makes Format Features (command 11 and the flap pop-ups' Features item) and
// Format Sides (command 9 and the side pop-ups' Side Features items, each
// showing its own location and side) open their dialog, or bring it forward.
void InstallFeatureDialogs(MainWindow& window);
