#include "dialogs/format_features_dialog.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "dialogs/entry_dialog.h"
#include "platform/code_page.h"
#include "document/liner_text.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/fonts.h"

namespace {

int DefaultFontOf(uint16_t style) { return IsSidedStyle(style) ? kFontFeatureName : kFontFeature; }

// A stored text as the list shows it: without its font changes, each run
// in its font's code page.
QString Shown(const Liner& liner, const std::string& coded, int standard) {
    return FontCodedToUnicode(liner.fonts, coded, standard);
}

ChoiceTable FeatureStyleChoices() {
    ChoiceTable table;
    const std::pair<uint16_t, uint16_t> rows[] = {
        {kFeatureCenteredWithSides, IDS_STYLE_CENTERED_WITH_SIDES},
        {kFeatureAdjacentWithSides, IDS_STYLE_ADJACENT_WITH_SIDES},
        {kFeatureBlankWithSides, IDS_STYLE_BLANK_WITH_SIDES},
        {kFeatureLeftJustified, IDS_STYLE_LEFT_JUSTIFIED},
        {kFeatureRightJustified, IDS_STYLE_RIGHT_JUSTIFIED},
        {kFeatureCentered, IDS_STYLE_CENTERED}};
    for (const auto& [value, id] : rows) table.push_back({value, id, LoadString(id, 31)});
    return table;
}

// A name's characters in the default font of one style class take the
// default font of the other when the feature changes class, and those kept
// in a variant of it the same variant of the other.
std::string SwitchDefaultFont(std::vector<FontEntry>& fonts, const std::string& coded, uint16_t from, uint16_t to) {
    const int oldFont = DefaultFontOf(from), newFont = DefaultFontOf(to);
    if (oldFont == newFont) return coded;
    DisplayText display = DecodeFontCodedText(coded, oldFont);
    const int count = static_cast<int>(fonts.size());
    for (uint8_t& number : display.fonts) {
        if (number == oldFont) {
            number = static_cast<uint8_t>(newFont);
        } else if (number > kFontSong && number <= count && oldFont <= count &&
                   IsFontVariant(fonts[number - 1u], fonts[static_cast<size_t>(oldFont - 1)])) {
            if (const int variant = VariantInCharSetOf(fonts, newFont, number); variant != 0) {
                number = static_cast<uint8_t>(variant);
            }
        }
    }
    return EncodeFontCodedText(display);
}

}  // namespace

FormatFeaturesDialog::FormatFeaturesDialog(DialogHost& host) : FormatDialog(host, IDS_SAVE_FEATURES) {
    setObjectName("FormatFeaturesDialog");
    setWindowTitle(tr("Format Features"));

    list_ = new QListWidget(this);
    list_->setObjectName("FeatureList");
    list_->setMinimumWidth(260);
    auto* listLabel = new QLabel(tr("F&eatures:"), this);
    listLabel->setBuddy(list_);

    addButton_ = new QPushButton(tr("&Add..."), this);
    addButton_->setObjectName("AddButton");
    changeButton_ = new QPushButton(tr("&Change..."), this);
    changeButton_->setObjectName("ChangeButton");
    deleteButton_ = new QPushButton(tr("&Delete"), this);
    deleteButton_->setObjectName("DeleteButton");
    for (QPushButton* b : {addButton_, changeButton_, deleteButton_}) b->setAutoDefault(false);
    auto* editButtons = new QHBoxLayout;
    editButtons->addWidget(addButton_);
    editButtons->addWidget(changeButton_);
    editButtons->addWidget(deleteButton_);
    editButtons->addStretch();

    style_ = new QComboBox(this);
    style_->setObjectName("StyleList");
    auto* styleLabel = new QLabel(tr("S&tyle:"), this);
    styleLabel->setBuddy(style_);
    auto* styleRow = new QHBoxLayout;
    styleRow->addWidget(styleLabel);
    styleRow->addWidget(style_);
    styleRow->addStretch();

    top_ = NewMeasurementField(this, "TopField");
    side_ = NewMeasurementField(this, "SideField");
    auto* margins = new QGroupBox(tr("Margins"), this);
    auto* grid = new QGridLayout(margins);
    auto* topLabel = new QLabel(tr("T&op:"), margins);
    topLabel->setBuddy(top_);
    auto* sideLabel = new QLabel(tr("&Side:"), margins);
    sideLabel->setBuddy(side_);
    grid->addWidget(topLabel, 0, 0);
    grid->addWidget(top_, 0, 1);
    grid->addWidget(sideLabel, 0, 2);
    grid->addWidget(side_, 0, 3);
    grid->setColumnStretch(4, 1);
    fieldWidgets_ = {styleLabel, style_, margins};
    // Said before Apply, while the style can still be switched back.
    sidesNote_ = new QLabel(this);
    sidesNote_->setObjectName("SidesNote");
    sidesNote_->setWordWrap(true);
    sidesNote_->hide();

    auto* fields = new QVBoxLayout;
    fields->addWidget(listLabel);
    fields->addWidget(list_, 1);
    fields->addLayout(editButtons);
    fields->addLayout(styleRow);
    fields->addWidget(sidesNote_);
    fields->addWidget(margins);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(ButtonColumn());

    styles_ = FeatureStyleChoices();
    FillChoices(style_, styles_, -1);
    Load();

    connect(list_, &QListWidget::currentRowChanged, this, [this] { Chosen(); });
    connect(style_, &QComboBox::currentIndexChanged, this, [this] { UpdateSidesNote(); });
    connect(addButton_, &QPushButton::clicked, this, [this] { Add(); });
    connect(changeButton_, &QPushButton::clicked, this, [this] { Change(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { Delete(); });
    list_->setFocus();
}

QWidget* FormatFeaturesDialog::FirstField() const { return list_; }

void FormatFeaturesDialog::Load() {
    base_ = document_.liner().features;
    records_.clear();
    switching_ = true;
    list_->clear();
    for (size_t i = 0; i < base_.size(); ++i) {
        const Feature& f = base_[i];
        records_.push_back({f.style, f.top, f.side, f.name, static_cast<int>(i)});
        list_->addItem(Shown(document_.liner(), f.name, kFontFeatureName));
    }
    switching_ = false;
    changed_ = false;
    shown_ = -1;
    if (!records_.empty()) SetRow(0);
    UpdateEnabled();
}

bool FormatFeaturesDialog::Resync() {
    const std::vector<Feature>& now = document_.liner().features;
    if (!SameFeaturesApartFromChoices(base_, now)) {
        Load();
        return true;
    }
    // Saving renumbers the fonts: names not renamed here take the new numbers.
    for (Record& r : records_) {
        if (r.source >= 0 && r.name == base_[r.source].name) r.name = now[r.source].name;
    }
    base_ = now;
    return false;
}

bool FormatFeaturesDialog::event(QEvent* event) {
    // Another liner may have been opened while the dialog was in the back.
    if (event->type() == QEvent::WindowActivate && !closing()) Resync();
    return FormatDialog::event(event);
}

void FormatFeaturesDialog::SetRow(int row) {
    switching_ = true;
    list_->setCurrentRow(row);
    switching_ = false;
    Show(row);
}

void FormatFeaturesDialog::Show(int index) {
    shown_ = index;
    if (index < 0) {
        style_->setCurrentIndex(-1);
        top_->clear();
        side_->clear();
        return;
    }
    const Record& r = records_[index];
    SelectChoice(style_, styles_, r.style);
    ShowMeasurement(top_, r.top);
    ShowMeasurement(side_, r.side);
    UpdateSidesNote();
}

void FormatFeaturesDialog::UpdateSidesNote() {
    const Liner& liner = document_.liner();
    const Record* r = shown_ >= 0 && shown_ < static_cast<int>(records_.size()) ? &records_[shown_] : nullptr;
    const Feature* source = r && r->source >= 0 && r->source < static_cast<int>(liner.features.size())
                                ? &liner.features[r->source]
                                : nullptr;
    const bool drops = source && style_->currentIndex() >= 0 && IsSidedStyle(source->style) &&
                       !IsSidedStyle(ReadChoice(style_, styles_)) &&
                       (!source->sides[0].choices.empty() || !source->sides[1].choices.empty());
    if (drops) {
        sidesNote_->setText(tr("\"%1\" has no sides: this feature's choices for Side A and Side B "
                               "are dropped when it is applied.")
                                .arg(style_->currentText()));
    }
    sidesNote_->setVisible(drops);
}

void FormatFeaturesDialog::UpdateEnabled() {
    const bool any = !records_.empty();
    for (QWidget* w : fieldWidgets_) w->setEnabled(any);
    changeButton_->setEnabled(any);
    deleteButton_->setEnabled(any);
}

bool FormatFeaturesDialog::StoreShown(bool quiet) {
    if (shown_ < 0 || shown_ >= static_cast<int>(records_.size())) return true;
    const int unit = document_.liner().defaultUnits;
    const auto top = ReadMeasurement(top_, true, quiet, unit, host_.prompter(), this);
    if (!top) return false;
    const auto side = ReadMeasurement(side_, true, quiet, unit, host_.prompter(), this);
    if (!side) return false;
    Record& r = records_[shown_];
    r.top = *top;
    r.side = *side;
    r.style = ReadChoice(style_, styles_);
    return true;
}

void FormatFeaturesDialog::Chosen() {
    if (switching_) return;
    const int row = list_->currentRow();
    if (row == shown_) return;
    if (!StoreShown(false)) {
        switching_ = true;
        list_->setCurrentRow(shown_);
        switching_ = false;
        return;
    }
    Show(row);
}

Feature FormatFeaturesDialog::Build(const Record& r) const {
    Feature f;
    f.style = r.style;
    f.top = r.top;
    f.side = r.side;
    const Feature* source = nullptr;
    if (r.source >= 0 && r.source < static_cast<int>(document_.liner().features.size()))
        source = &document_.liner().features[r.source];
    const uint16_t sourceStyle = source ? source->style : uint16_t{kFeatureCenteredWithSides};
    f.name = IsSidedStyle(sourceStyle) == IsSidedStyle(r.style) ? r.name : SwitchDefaultFont(document_.liner().fonts, r.name, sourceStyle, r.style);
    if (IsSidedStyle(r.style) && source && IsSidedStyle(source->style)) {
        f.sides[0] = source->sides[0];
        f.sides[1] = source->sides[1];
    }
    return f;
}

void FormatFeaturesDialog::Add() {
    if (!StoreShown(false)) return;
    EntryRequest request;
    request.kind = EntryKind::Feature;
    request.mode = EntryMode::Add;
    const std::optional<std::string> name = RunEntryDialog(host_, this, request);
    if (!name) return;
    Record r;
    r.top.unit = static_cast<int16_t>(document_.liner().defaultUnits);
    r.side = r.top;
    r.name = *name;
    if (Build(r).RecordSize() > kMaxFeatureRecordSize) {
        host_.prompter().Show(MessageOwner::Dialog(this), ErrorStyle(),
                                tr("This feature name is too long to be kept in a liner.").toStdString());
        return;
    }
    records_.push_back(r);
    list_->addItem(Shown(document_.liner(), r.name, kFontFeatureName));
    SetRow(static_cast<int>(records_.size()) - 1);
    UpdateEnabled();
    changed_ = true;
    list_->setFocus();
}

void FormatFeaturesDialog::Change() {
    if (shown_ < 0 || !StoreShown(false)) return;
    EntryRequest request;
    request.kind = EntryKind::Feature;
    request.mode = EntryMode::Change;
    request.text = records_[shown_].name;
    const std::optional<std::string> name = RunEntryDialog(host_, this, request);
    if (!name) return;
    Record r = records_[shown_];
    r.name = *name;
    if (Build(r).RecordSize() > kMaxFeatureRecordSize) {
        host_.prompter().Show(
            MessageOwner::Dialog(this), ErrorStyle(),
            tr("This feature name is too long to be kept in a liner together with its choices.").toStdString());
        return;
    }
    // A renamed feature goes to the end of the list: the way to reorder them.
    records_.erase(records_.begin() + shown_);
    records_.push_back(r);
    switching_ = true;
    delete list_->takeItem(shown_);
    list_->addItem(Shown(document_.liner(), r.name, kFontFeatureName));
    switching_ = false;
    SetRow(static_cast<int>(records_.size()) - 1);
    changed_ = true;
    list_->setFocus();
}

void FormatFeaturesDialog::Delete() {
    const int row = shown_;
    if (row < 0) return;
    const MessageResult answer =
        ShowMessage(host_.prompter(), MessageOwner::MainWindow(),
                    {MessageIcon::Question, MessageButtons::YesNo, false}, IDS_DELETE_FEATURE,
                    {Shown(document_.liner(), records_[row].name, kFontFeatureName).toStdString()});
    if (answer == MessageResult::Yes) {
        records_.erase(records_.begin() + row);
        switching_ = true;
        delete list_->takeItem(row);
        switching_ = false;
        const int count = static_cast<int>(records_.size());
        if (count == 0) {
            shown_ = -1;
            switching_ = true;
            list_->setCurrentRow(-1);
            switching_ = false;
            Show(-1);
        } else {
            SetRow(row < count ? row : count - 1);
        }
        UpdateEnabled();
        changed_ = true;
    }
    list_->setFocus();
}

bool FormatFeaturesDialog::Apply() {
    Resync();
    if (!StoreShown(false)) {
        switching_ = true;
        list_->setCurrentRow(shown_);
        switching_ = false;
        return false;
    }
    std::vector<Feature> built;
    built.reserve(records_.size());
    for (size_t i = 0; i < records_.size(); ++i) {
        built.push_back(Build(records_[i]));
        if (built.back().RecordSize() > kMaxFeatureRecordSize) {
            SetRow(static_cast<int>(i));
            host_.prompter().Show(
                MessageOwner::Dialog(this), ErrorStyle(),
                tr("The feature \"%1\" and its choices are too long to be kept in a liner.")
                    .arg(Shown(document_.liner(), records_[i].name, kFontFeatureName))
                    .toStdString());
            return false;
        }
    }
    // Where each new feature came from, so Format Sides can keep its edits.
    std::vector<int> origins;
    for (Record& r : records_) origins.push_back(r.source);
    Liner& liner = document_.liner();
    liner.features = std::move(built);
    for (size_t i = 0; i < records_.size(); ++i) {
        records_[i].source = static_cast<int>(i);
        records_[i].name = liner.features[i].name;
    }
    base_ = liner.features;
    changed_ = false;
    // Format Sides maps its unapplied choices to the new list before it
    // follows the step.
    document_.AnnounceFeaturesRebuilt(origins);
    document_.Commit(tr("Format Features"), LinerDocument::kFeatures);
    return true;
}

bool FormatFeaturesDialog::HasChanges() {
    Resync();
    if (changed_ || !StoreShown(true)) return true;
    for (const Record& r : records_) {
        if (r.source < 0 || r.source >= static_cast<int>(base_.size())) return true;
        const Feature& f = base_[r.source];
        if (!(r.top == f.top) || !(r.side == f.side) || r.style != f.style) return true;
    }
    return false;
}

// ---- opening ------------------------------------------------------------------------

