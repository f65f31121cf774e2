// Format Sides: the side letters of the four places that show one (style,
// text, margins and fonts), and the choices of every sided feature for each
// side of the cassette, with the one that is shown.
#pragma once

#include <array>
#include <vector>

#include "dialogs/format_fields_dialog.h"
#include "document/liner.h"

#include "dialogs/entry_dialog.h"

class FontTextEdit;
class QGroupBox;
class QLabel;

class FormatSidesDialog : public FormatDialog {
    Q_OBJECT

public:
    // `location`: the side letter shown first; `side`: 0 Side A, 1 Side B.
    FormatSidesDialog(DialogHost& host, int location, int side);

    bool Apply() override;
    bool HasChanges() override;
    void Reload() override;

    // Format Features rebuilt the feature list: `origins[i]` is the index the
    // new feature i had before (-1 for a new one).  Unapplied choice edits of
    // the features that are still sided are kept.
    void FeaturesRebuilt(const std::vector<int>& origins);
    // Takes up the Liner afresh when its features or side letters are no
    // longer those the dialog was made from (another liner was opened).
    bool Resync();

    QComboBox* locationList() const { return location_; }
    QComboBox* letterStyleList() const { return letterStyle_; }
    FontTextEdit* letterText() const { return text_; }
    QLineEdit* topField() const { return top_; }
    QLineEdit* sideField() const { return side_; }
    QGroupBox* featuresGroup() const { return featuresGroup_; }
    QComboBox* sideList() const { return sideList_; }
    QComboBox* featureList() const { return featureList_; }
    QComboBox* choiceList() const { return choiceList_; }
    QLabel* choiceNote() const { return choiceNote_; }

protected:
    QWidget* FirstField() const override { return location_; }
    bool event(QEvent* event) override;
    // Letters and choices follow the Liner as Resync does.
    void NoteBeforeChange() override {}
    void FollowChange() override { Resync(); }

private:
    struct SidedFeature {
        int index = 0;  // in the Liner's feature list
        ChoiceBlock sides[2];
    };

    void LoadLetters();
    void LoadFeatures(const std::vector<SidedFeature>& keep);
    void ShowLocation(int location);
    bool StoreLocation(bool quiet);
    void LocationChosen();
    void LetterStyleChosen();
    void LetterFontButton(bool useLast);
    void UpdateLastFont();

    void FillChoices();
    void StoreChoices();
    void SideOrFeatureChosen();
    void AddChoice();
    void ChangeChoice();
    void DeleteChoice();
    int InsertChoice(const std::string& coded);
    // Whether `choice` may join (or, `replacing`, take the place of the
    // selected choice in) the list on show; says why not.
    bool ChoiceFits(const std::string& choice, bool replacing);
    void UpdateChoiceButtons();
    // The note under the choices: whether the one on show reaches past its
    // half of the card.
    void UpdateChoiceNote();
    EntryRequest Request(EntryMode mode) const;

    QComboBox* location_ = nullptr;
    QComboBox* letterStyle_ = nullptr;
    FontTextEdit* text_ = nullptr;
    QLineEdit* top_ = nullptr;
    QLineEdit* side_ = nullptr;
    QPushButton* fontButton_ = nullptr;
    QPushButton* lastFontButton_ = nullptr;
    std::vector<QWidget*> letterWidgets_;
    QGroupBox* featuresGroup_ = nullptr;
    QComboBox* sideList_ = nullptr;
    QComboBox* featureList_ = nullptr;
    QComboBox* choiceList_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* changeButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QLabel* choiceNote_ = nullptr;

    ChoiceTable locations_, letterStyles_;
    std::array<SideLetterFormat, 4> letters_;
    std::array<SideLetterFormat, 4> baseLetters_;
    std::vector<Feature> baseFeatures_;
    std::vector<SidedFeature> sided_;
    int locationShown_ = 0;
    int sideShown_ = 0;
    int featureShown_ = 0;
    bool switching_ = false;
};
