#include "dialogs/format_songs_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "platform/strings.h"

FormatSongsDialog::FormatSongsDialog(DialogHost& host, int area)
    : FormatDialog(host, IDS_SAVE_SONG_FORMAT) {
    setObjectName("FormatSongsDialog");
    setWindowTitle(tr("Format Songs"));

    auto* fields = new QVBoxLayout;
    areaList_ = new QComboBox(this);
    areaList_->setObjectName("SongAreaList");
    auto* areaRow = new QHBoxLayout;
    auto* areaLabel = new QLabel(tr("S&ong Area:"), this);
    areaLabel->setBuddy(areaList_);
    areaRow->addWidget(areaLabel);
    areaRow->addWidget(areaList_);
    areaRow->addStretch();
    fields->addLayout(areaRow);
    area_.Build(this, fields);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(ButtonColumn());

    working_ = document_.liner().songFormats;
    shown_ = area >= 0 && area < 4 ? area : kSideAPrimaryArea;
    areas_ = SongAreaChoices();
    FillChoices(areaList_, areas_, shown_);
    area_.FillAlignment(-1);
    ShowArea(shown_);
    connect(areaList_, &QComboBox::currentIndexChanged, this, [this] { AreaChosen(); });
    areaList_->setFocus();
}

void FormatSongsDialog::ShowArea(int area) {
    shown_ = area;
    area_.Show(working_[area]);
}

bool FormatSongsDialog::StoreShown(bool quiet) {
    return area_.Read(working_[shown_], quiet, document_.liner().defaultUnits, host_.prompter(), this);
}

void FormatSongsDialog::AreaChosen() {
    if (switching_) return;
    const int chosen = ReadChoice(areaList_, areas_);
    if (chosen == shown_) return;
    if (!StoreShown(false)) {
        // The bad field stays on show, with its text selected.
        switching_ = true;
        SelectChoice(areaList_, areas_, shown_);
        switching_ = false;
        return;
    }
    ShowArea(chosen);
}

bool FormatSongsDialog::Apply() {
    if (!StoreShown(false)) {
        switching_ = true;
        SelectChoice(areaList_, areas_, shown_);
        switching_ = false;
        return false;
    }
    document_.liner().songFormats = working_;
    document_.Commit(tr("Format Songs"), LinerDocument::kFormats);
    return true;
}

void FormatSongsDialog::Reload() {
    working_ = document_.liner().songFormats;
    ShowArea(shown_);
}

void FormatSongsDialog::NoteBeforeChange() {
    StoreShown(true);
    typed_ = working_;
    stored_ = document_.liner().songFormats;
    FormatDialog::NoteBeforeChange();
    working_ = typed_;
}

void FormatSongsDialog::FollowChange() {
    FormatDialog::FollowChange();
    for (int area = 0; area < 4; ++area) {
        if (area != shown_ && typed_[area] != stored_[area]) working_[area] = typed_[area];
    }
}

bool FormatSongsDialog::HasChanges() {
    if (!StoreShown(true)) return true;
    return working_ != document_.liner().songFormats;
}
