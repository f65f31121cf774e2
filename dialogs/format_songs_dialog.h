// Format Songs: alignment, margins and spacing of the four song areas, one at
// a time, chosen in the Song Area list.  Edits of every area are kept until
// they are applied together.
#pragma once

#include <array>

#include "dialogs/format_fields_dialog.h"
#include "document/liner.h"

class FormatSongsDialog : public FormatDialog {
    Q_OBJECT

public:
    FormatSongsDialog(DialogHost& host, int area);

    bool Apply() override;
    bool HasChanges() override;
    void Reload() override;

    int areaShown() const { return shown_; }
    QComboBox* areaList() const { return areaList_; }
    const AreaFormatFields& area() const { return area_; }

protected:
    QWidget* FirstField() const override { return areaList_; }
    // The areas not on show follow the Liner as their fields do.
    void NoteBeforeChange() override;
    void FollowChange() override;

private:
    void AreaChosen();
    // Reads the fields into the working copy of the area on show.
    bool StoreShown(bool quiet);
    void ShowArea(int area);

    AreaFormatFields area_;
    ChoiceTable areas_;
    QComboBox* areaList_ = nullptr;
    std::array<AreaFormat, 4> working_;
    // Over a change: the areas as edited, and as the Liner had them.
    std::array<AreaFormat, 4> typed_, stored_;
    int shown_ = 0;
    bool switching_ = false;
};
