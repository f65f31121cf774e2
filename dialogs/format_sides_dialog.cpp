#include "dialogs/format_sides_dialog.h"

#include <QAbstractItemView>
#include <QEvent>
#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dialog_host.h"
#include "document/settings.h"
#include "document/liner_document.h"
#include "dialogs/format_fields.h"
#include "dialogs/text_dialog.h"
#include "document/liner_text.h"
#include "platform/messages.h"
#include "platform/qt_surface.h"
#include "platform/strings.h"
#include "render/fit_songs.h"
#include "render/fonts.h"

namespace {

// A stored text as the list shows it: without its font changes, each run
// in its font's code page.
QString Shown(const Liner& liner, const std::string& coded, int standard) {
    return FontCodedToUnicode(liner.fonts, coded, standard);
}

ChoiceTable Table(std::initializer_list<std::pair<uint16_t, uint16_t>> rows) {
    ChoiceTable table;
    for (const auto& [value, id] : rows) table.push_back({value, id, LoadString(id, 31)});
    return table;
}

// Fills a list in alphabetical order.
void FillSorted(QComboBox* box, const ChoiceTable& table, int selectValue) {
    ChoiceTable sorted = table;
    std::stable_sort(sorted.begin(), sorted.end(), [](const ChoiceEntry& a, const ChoiceEntry& b) {
        return QString::fromStdString(a.text).compare(QString::fromStdString(b.text), Qt::CaseInsensitive) < 0;
    });
    FillChoices(box, sorted, selectValue);
}

QLabel* Buddy(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

FormatSidesDialog::FormatSidesDialog(DialogHost& host, int location, int side)
    : FormatDialog(host, IDS_SAVE_SIDE_FORMATS) {
    setObjectName("FormatSidesDialog");
    connect(&document_, &LinerDocument::featuresRebuilt, this, [this](const std::vector<int>& origins) {
        if (!closing()) FeaturesRebuilt(origins);
    });
    setWindowTitle(tr("Format Sides"));

    // ---- Side Letters
    auto* letters = new QGroupBox(tr("Side Letters"), this);
    location_ = new QComboBox(letters);
    location_->setObjectName("LocationList");
    letterStyle_ = new QComboBox(letters);
    letterStyle_->setObjectName("LetterStyleList");
    text_ = new FontTextEdit(letters);
    text_->setObjectName("LetterTextField");
    text_->SetSingleLine();
    text_->setLineWrapMode(QTextEdit::NoWrap);
    text_->document()->setDocumentMargin(3);
    text_->setFixedHeight(text_->fontMetrics().lineSpacing() * 3 / 2 + 6 + 2 * text_->frameWidth());
    ShowLinerFonts(*text_, host_, this);
    fontButton_ = new QPushButton(tr("&Font..."), letters);
    fontButton_->setObjectName("FontButton");
    lastFontButton_ = new QPushButton(tr("&Last Font"), letters);
    lastFontButton_->setObjectName("LastFontButton");
    top_ = NewMeasurementField(letters, "TopField");
    side_ = NewMeasurementField(letters, "SideField");
    auto* margins = new QGroupBox(tr("Margins"), letters);
    auto* marginGrid = new QGridLayout(margins);
    marginGrid->addWidget(Buddy(tr("To&p:"), top_, margins), 0, 0);
    marginGrid->addWidget(top_, 0, 1);
    marginGrid->addWidget(Buddy(tr("S&ide:"), side_, margins), 0, 2);
    marginGrid->addWidget(side_, 0, 3);
    marginGrid->setColumnStretch(4, 1);
    auto* textLabel = Buddy(tr("Te&xt:"), text_, letters);
    auto* letterGrid = new QGridLayout(letters);
    letterGrid->addWidget(Buddy(tr("L&ocation:"), location_, letters), 0, 0);
    letterGrid->addWidget(location_, 0, 1);
    letterGrid->addWidget(Buddy(tr("&Style:"), letterStyle_, letters), 0, 2);
    letterGrid->addWidget(letterStyle_, 0, 3);
    letterGrid->addWidget(textLabel, 1, 0);
    letterGrid->addWidget(text_, 1, 1, 1, 3);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(fontButton_);
    fontRow->addWidget(lastFontButton_);
    fontRow->addStretch();
    letterGrid->addLayout(fontRow, 2, 1, 1, 3);
    letterGrid->addWidget(margins, 3, 0, 1, 4);
    letterGrid->setColumnStretch(3, 1);
    letterWidgets_ = {textLabel, text_, margins, fontButton_};

    // ---- Side Features
    featuresGroup_ = new QGroupBox(tr("Side Features"), this);
    featuresGroup_->setObjectName("SideFeaturesGroup");
    sideList_ = new QComboBox(featuresGroup_);
    sideList_->setObjectName("SideList");
    featureList_ = new QComboBox(featuresGroup_);
    featureList_->setObjectName("FeatureList");
    choiceList_ = new QComboBox(featuresGroup_);
    choiceList_->setObjectName("ChoiceList");
    // Long names are elided rather than widening the dialog past the screen.
    for (QComboBox* list : {featureList_, choiceList_}) {
        list->setMinimumContentsLength(20);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->view()->setTextElideMode(Qt::ElideRight);
    }
    addButton_ = new QPushButton(tr("&Add..."), featuresGroup_);
    addButton_->setObjectName("AddButton");
    deleteButton_ = new QPushButton(tr("&Delete"), featuresGroup_);
    deleteButton_->setObjectName("DeleteButton");
    changeButton_ = new QPushButton(tr("&Change..."), featuresGroup_);
    changeButton_->setObjectName("ChangeButton");
    auto* featureGrid = new QGridLayout(featuresGroup_);
    featureGrid->addWidget(Buddy(tr("Sid&e:"), sideList_, featuresGroup_), 0, 0);
    featureGrid->addWidget(sideList_, 0, 1, Qt::AlignLeft);
    featureGrid->addWidget(Buddy(tr("Fea&ture:"), featureList_, featuresGroup_), 1, 0);
    featureGrid->addWidget(featureList_, 1, 1);
    featureGrid->addWidget(Buddy(tr("C&hoice:"), choiceList_, featuresGroup_), 2, 0);
    featureGrid->addWidget(choiceList_, 2, 1);
    auto* choiceButtons = new QHBoxLayout;
    choiceButtons->addWidget(addButton_);
    choiceButtons->addWidget(deleteButton_);
    choiceButtons->addWidget(changeButton_);
    choiceButtons->addStretch();
    featureGrid->addLayout(choiceButtons, 3, 1);
    // Said beside the list rather than in a box: a long choice may be meant.
    choiceNote_ = new QLabel(featuresGroup_);
    choiceNote_->setObjectName("ChoiceWidthNote");
    choiceNote_->setWordWrap(true);
    choiceNote_->hide();
    featureGrid->addWidget(choiceNote_, 4, 1);
    featureGrid->setColumnStretch(1, 1);

    for (QPushButton* b : {fontButton_, lastFontButton_, addButton_, deleteButton_, changeButton_})
        b->setAutoDefault(false);

    auto* fields = new QVBoxLayout;
    fields->addWidget(letters);
    fields->addWidget(featuresGroup_);
    fields->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(ButtonColumn());

    locations_ = Table({{kSideAFlap, IDS_LOCATION_SIDE_A_FLAP},
                        {kSideBFlap, IDS_LOCATION_SIDE_B_FLAP},
                        {kSideAPrimary, IDS_LOCATION_SIDE_A_PRIMARY},
                        {kSideBPrimary, IDS_LOCATION_SIDE_B_PRIMARY}});
    letterStyles_ = Table({{kLetterNormal, IDS_LETTER_NORMAL},
                           {kLetterReverseVideo, IDS_LETTER_REVERSE_VIDEO},
                           {kLetterNone, IDS_LETTER_NONE}});
    locationShown_ = location >= 0 && location < 4 ? location : kSideAFlap;
    sideShown_ = side == 1 ? 1 : 0;
    FillSorted(location_, locations_, locationShown_);
    ::FillChoices(letterStyle_, letterStyles_, -1);
    FillSorted(sideList_, Table({{0, IDS_SIDE_A}, {1, IDS_SIDE_B}}), sideShown_);
    LoadLetters();
    LoadFeatures({});

    connect(location_, &QComboBox::currentIndexChanged, this, [this] { LocationChosen(); });
    connect(letterStyle_, &QComboBox::currentIndexChanged, this, [this] { LetterStyleChosen(); });
    connect(fontButton_, &QPushButton::clicked, this, [this] { LetterFontButton(false); });
    connect(lastFontButton_, &QPushButton::clicked, this, [this] { LetterFontButton(true); });
    connect(sideList_, &QComboBox::currentIndexChanged, this, [this] { SideOrFeatureChosen(); });
    connect(featureList_, &QComboBox::currentIndexChanged, this, [this] { SideOrFeatureChosen(); });
    connect(choiceList_, &QComboBox::currentIndexChanged, this, [this] { UpdateChoiceNote(); });
    connect(addButton_, &QPushButton::clicked, this, [this] { AddChoice(); });
    connect(changeButton_, &QPushButton::clicked, this, [this] { ChangeChoice(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { DeleteChoice(); });
    location_->setFocus();
}

bool FormatSidesDialog::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !closing()) Resync();
    return FormatDialog::event(event);
}

// ---- side letters --------------------------------------------------------------------

void FormatSidesDialog::LoadLetters() {
    letters_ = document_.liner().sideLetters;
    baseLetters_ = letters_;
    ShowLocation(locationShown_);
}

void FormatSidesDialog::UpdateLastFont() {
    lastFontButton_->setEnabled(letterStyle_->isEnabled() &&
                                ReadChoice(letterStyle_, letterStyles_) != kLetterNone &&
                                LastFontAvailable(host_));
}

void FormatSidesDialog::ShowLocation(int location) {
    locationShown_ = location;
    const SideLetterFormat& letter = letters_[location];
    switching_ = true;
    SelectChoice(letterStyle_, letterStyles_, letter.style);
    switching_ = false;
    // The text and margins of a hidden letter stay on show (greyed), so that
    // showing it again brings them back.
    for (QWidget* w : letterWidgets_) w->setEnabled(letter.style != kLetterNone);
    text_->Load(letter.text.empty() ? NewEmptyDisplayText(kFontSideLetter)
                                    : DecodeFontCodedText(letter.text, kFontSideLetter),
                kFontSideLetter);
    ShowMeasurement(top_, letter.top);
    ShowMeasurement(side_, letter.side);
    UpdateLastFont();
}

bool FormatSidesDialog::StoreLocation(bool quiet) {
    SideLetterFormat letter = letters_[locationShown_];
    letter.style = ReadChoice(letterStyle_, letterStyles_);
    const bool hidden = letter.style == kLetterNone;
    const int unit = document_.liner().defaultUnits;
    // Greyed fields cannot be corrected, so a hidden letter keeps the margins
    // it had when one does not read.
    const auto top = ReadMeasurement(top_, true, quiet || hidden, unit, host_.prompter(), this);
    if (top) {
        letter.top = *top;
    } else if (!hidden) {
        return false;
    }
    const auto side = ReadMeasurement(side_, true, quiet || hidden, unit, host_.prompter(), this);
    if (side) {
        letter.side = *side;
    } else if (!hidden) {
        return false;
    }
    const DisplayText display = text_->Read(kFontSideLetter);
    letter.text = display.text.empty() ? std::string() : EncodeFontCodedText(display);
    letters_[locationShown_] = letter;
    return true;
}

void FormatSidesDialog::LocationChosen() {
    if (switching_) return;
    const int chosen = ReadChoice(location_, locations_);
    if (chosen == locationShown_) return;
    if (!StoreLocation(false)) {
        switching_ = true;
        SelectChoice(location_, locations_, locationShown_);
        switching_ = false;
        return;
    }
    ShowLocation(chosen);
}

void FormatSidesDialog::LetterStyleChosen() {
    if (switching_) return;
    const bool shown = ReadChoice(letterStyle_, letterStyles_) != kLetterNone;
    for (QWidget* w : letterWidgets_) w->setEnabled(shown);
    UpdateLastFont();
}

void FormatSidesDialog::LetterFontButton(bool useLast) {
    const int number = ChangeSelectionFont(host_, this, *text_, kFontSideLetter, useLast);
    UpdateLastFont();
    if (useLast && number != 0 && host_.settings().applyLastFont) applyButton()->click();
}

// ---- sided features ------------------------------------------------------------------

void FormatSidesDialog::LoadFeatures(const std::vector<SidedFeature>& keep) {
    const Liner& liner = document_.liner();
    baseFeatures_ = liner.features;
    const int oldShown = featureShown_ < static_cast<int>(sided_.size()) ? sided_[featureShown_].index : -1;
    sided_.clear();
    switching_ = true;
    featureList_->clear();
    int show = 0;
    for (size_t i = 0; i < liner.features.size(); ++i) {
        const Feature& f = liner.features[i];
        if (!IsSidedStyle(f.style)) continue;
        SidedFeature s{static_cast<int>(i), {f.sides[0], f.sides[1]}};
        for (const SidedFeature& k : keep) {
            if (k.index == s.index) s = k;
        }
        if (s.index == oldShown) show = static_cast<int>(sided_.size());
        sided_.push_back(s);
        featureList_->addItem(Shown(document_.liner(), f.name, kFontFeatureName));
    }
    const bool any = !sided_.empty();
    featuresGroup_->setEnabled(any);
    featureShown_ = any ? show : 0;
    featureList_->setCurrentIndex(any ? featureShown_ : -1);
    switching_ = false;
    FillChoices();
}

void FormatSidesDialog::FillChoices() {
    switching_ = true;
    choiceList_->clear();
    if (!sided_.empty()) {
        const ChoiceBlock& block = sided_[featureShown_].sides[sideShown_];
        int selectedRow = -1;
        for (size_t i = 0; i < block.choices.size(); ++i) {
            const int row = InsertChoice(block.choices[i]);
            if (static_cast<int>(i) == block.selected) selectedRow = row;
            else if (selectedRow >= row) ++selectedRow;
        }
        choiceList_->setCurrentIndex(selectedRow >= 0 ? selectedRow : (block.choices.empty() ? -1 : 0));
    }
    switching_ = false;
    UpdateChoiceButtons();
}

int FormatSidesDialog::InsertChoice(const std::string& coded) {
    const QString shown = Shown(document_.liner(), coded, kFontFeature);
    int row = 0;
    while (row < choiceList_->count() && choiceList_->itemText(row).compare(shown, Qt::CaseInsensitive) <= 0) ++row;
    choiceList_->insertItem(row, shown, QByteArray::fromStdString(coded));
    return row;
}

void FormatSidesDialog::UpdateChoiceButtons() {
    UpdateChoiceNote();
    const bool any = choiceList_->count() > 0;
    deleteButton_->setEnabled(any);
    changeButton_->setEnabled(any);
}

void FormatSidesDialog::UpdateChoiceNote() {
    const int row = choiceList_->currentIndex();
    int overrun = 0;
    if (!sided_.empty() && row >= 0) {
        const Liner& liner = document_.liner();
        overrun = ChoiceOverrun(liner, liner.features[sided_[featureShown_].index],
                                choiceList_->itemData(row).toByteArray().toStdString());
    }
    choiceNote_->setText(overrun > 0 ? tr("This choice is wider than its half of the card: it runs into the "
                                          "feature's name or the other side's choice.")
                                     : QString());
    choiceNote_->setVisible(overrun > 0);
}

void FormatSidesDialog::StoreChoices() {
    if (sided_.empty()) return;
    ChoiceBlock& block = sided_[featureShown_].sides[sideShown_];
    block.choices.clear();
    for (int row = 0; row < choiceList_->count(); ++row)
        block.choices.push_back(choiceList_->itemData(row).toByteArray().toStdString());
    block.selected = static_cast<int8_t>(std::max(0, choiceList_->currentIndex()));
}

void FormatSidesDialog::SideOrFeatureChosen() {
    if (switching_) return;
    const int side = sideList_->currentIndex() == 1 ? 1 : 0;
    const int feature = std::max(0, featureList_->currentIndex());
    if (side == sideShown_ && feature == featureShown_) return;
    StoreChoices();
    sideShown_ = side;
    featureShown_ = feature;
    FillChoices();
}

EntryRequest FormatSidesDialog::Request(EntryMode mode) const {
    EntryRequest request;
    request.kind = EntryKind::SidedChoice;
    request.mode = mode;
    request.side = sideList_->currentText().toStdString();
    request.feature = document_.liner().features[sided_[featureShown_].index].name;
    if (mode == EntryMode::Change) request.text = choiceList_->currentData().toByteArray().toStdString();
    return request;
}

bool FormatSidesDialog::ChoiceFits(const std::string& choice, bool replacing) {
    if (!replacing && choiceList_->count() >= kMaxChoices) {
        host_.prompter().Show(MessageOwner::Dialog(this), ErrorStyle(),
                                tr("A side of a feature holds at most %1 choices.").arg(kMaxChoices).toStdString());
        return false;
    }
    StoreChoices();
    Feature f = document_.liner().features[sided_[featureShown_].index];
    f.sides[0] = sided_[featureShown_].sides[0];
    f.sides[1] = sided_[featureShown_].sides[1];
    std::vector<std::string>& list = f.sides[sideShown_].choices;
    if (replacing && choiceList_->currentIndex() >= 0) list.erase(list.begin() + choiceList_->currentIndex());
    list.push_back(choice);
    if (f.RecordSize() <= kMaxFeatureRecordSize) return true;
    host_.prompter().Show(MessageOwner::Dialog(this), ErrorStyle(),
                            tr("The choices of this feature are too long to be kept in a liner.").toStdString());
    return false;
}

void FormatSidesDialog::AddChoice() {
    if (sided_.empty()) return;
    if (choiceList_->count() >= kMaxChoices && !ChoiceFits({}, false)) return;
    const std::optional<std::string> text = RunEntryDialog(host_, this, Request(EntryMode::Add));
    if (!text || !ChoiceFits(*text, false)) return;
    choiceList_->setCurrentIndex(InsertChoice(*text));
    StoreChoices();
    UpdateChoiceButtons();
    UpdateLastFont();
    choiceList_->setFocus();
}

void FormatSidesDialog::ChangeChoice() {
    if (sided_.empty() || choiceList_->currentIndex() < 0) return;
    const std::optional<std::string> text = RunEntryDialog(host_, this, Request(EntryMode::Change));
    if (!text || !ChoiceFits(*text, true)) return;
    choiceList_->removeItem(choiceList_->currentIndex());
    choiceList_->setCurrentIndex(InsertChoice(*text));
    StoreChoices();
    UpdateLastFont();
    choiceList_->setFocus();
}

void FormatSidesDialog::DeleteChoice() {
    const int row = choiceList_->currentIndex();
    if (row < 0) return;
    const MessageResult answer = ShowMessage(
        host_.prompter(), MessageOwner::MainWindow(), {MessageIcon::Question, MessageButtons::YesNo, false},
        IDS_DELETE_CHOICE,
        {Shown(document_.liner(), choiceList_->currentData().toByteArray().toStdString(), kFontFeature).toStdString()});
    if (answer == MessageResult::Yes) {
        choiceList_->removeItem(row);
        if (choiceList_->count() > 0) choiceList_->setCurrentIndex(std::min(row, choiceList_->count() - 1));
        StoreChoices();
        UpdateChoiceButtons();
    }
    choiceList_->setFocus();
}

// ---- keeping in step with the Liner -------------------------------------------------------

void FormatSidesDialog::FeaturesRebuilt(const std::vector<int>& origins) {
    StoreChoices();
    std::vector<SidedFeature> keep;
    for (size_t j = 0; j < origins.size() && j < document_.liner().features.size(); ++j) {
        if (origins[j] < 0 || !IsSidedStyle(document_.liner().features[j].style)) continue;
        for (const SidedFeature& s : sided_) {
            if (s.index == origins[j]) keep.push_back({static_cast<int>(j), {s.sides[0], s.sides[1]}});
        }
    }
    // The feature on show is found again by its new place.
    if (featureShown_ < static_cast<int>(sided_.size())) {
        const int old = sided_[featureShown_].index;
        for (size_t j = 0; j < origins.size(); ++j) {
            if (origins[j] == old) sided_[featureShown_].index = static_cast<int>(j);
        }
    }
    LoadFeatures(keep);
}

bool FormatSidesDialog::Resync() {
    const Liner& liner = document_.liner();
    bool same = SameFeaturesApartFromChoices(baseFeatures_, liner.features);
    for (int i = 0; i < 4 && same; ++i) {
        const SideLetterFormat &a = liner.sideLetters[i], &b = baseLetters_[i];
        same = a.style == b.style && a.top == b.top && a.side == b.side &&
               StripFontChanges(a.text) == StripFontChanges(b.text);
    }
    if (same) {
        // Saving renumbers the fonts: letters and choices not edited here take
        // the new numbers.
        for (int i = 0; i < 4; ++i) {
            if (i != locationShown_ && letters_[i] == baseLetters_[i]) letters_[i] = liner.sideLetters[i];
        }
        baseLetters_ = liner.sideLetters;
        for (SidedFeature& f : sided_) {
            for (int side = 0; side < 2; ++side) {
                if (f.sides[side] == baseFeatures_[f.index].sides[side] && (side != sideShown_ ||
                                                                           &f != &sided_[featureShown_]))
                    f.sides[side] = liner.features[f.index].sides[side];
            }
        }
        baseFeatures_ = liner.features;
        return false;
    }
    // Another liner: its own letters and features, unapplied edits dropped.
    Reload();
    return true;
}

void FormatSidesDialog::Reload() {
    LoadLetters();
    sided_.clear();
    featureShown_ = 0;
    LoadFeatures({});
}

// ---- apply ------------------------------------------------------------------------------

bool FormatSidesDialog::Apply() {
    text_->ReportRefusals();
    Resync();
    if (!StoreLocation(false)) {
        switching_ = true;
        SelectChoice(location_, locations_, locationShown_);
        switching_ = false;
        return false;
    }
    StoreChoices();
    Liner& liner = document_.liner();
    liner.sideLetters = letters_;
    for (const SidedFeature& s : sided_) {
        Feature& f = liner.features[s.index];
        f.sides[0] = s.sides[0];
        f.sides[1] = s.sides[1];
    }
    baseLetters_ = letters_;
    baseFeatures_ = liner.features;
    document_.Commit(tr("Format Sides"), LinerDocument::kFeatures);
    return true;
}

bool FormatSidesDialog::HasChanges() {
    Resync();
    StoreChoices();
    const Liner& liner = document_.liner();
    for (const SidedFeature& s : sided_) {
        const Feature& f = liner.features[s.index];
        if (!(f.sides[0] == s.sides[0]) || !(f.sides[1] == s.sides[1])) return true;
    }
    if (!StoreLocation(true)) return true;
    return letters_ != liner.sideLetters;
}
