#include "dialogs/format_liner_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QVBoxLayout>
#include <cstdint>

#include "dialogs/dialog_host.h"
#include "document/settings.h"
#include "document/liner_document.h"
#include "document/print_settings.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/geometry.h"
#include "render/view.h"

namespace {

constexpr int kRowHeight = 25;
constexpr int kMaxOverflowCount = 32767;

Qt::PenStyle PenStyleFor(int style) {
    switch (style) {
        case kLineDashed: return Qt::DashLine;
        case kLineDotted: return Qt::DotLine;
        case kLineDashDot: return Qt::DashDotLine;
        case kLineDashDotDot: return Qt::DashDotDotLine;
        default: return Qt::SolidLine;
    }
}

// A row of a line-style list: the line across the middle of `rect`, or the
// name of the two styles that are no line.
void DrawLineSample(QPainter& painter, const QRect& rect, int style, const QColor& ink) {
    painter.save();
    painter.setPen(QPen(ink, 1, PenStyleFor(style)));
    if (style == kLineNone || style == kLineCropMarks) {
        const uint16_t id = style == kLineNone ? IDS_LINE_STYLE_NONE : IDS_LINE_STYLE_CROP_MARKS;
        painter.drawText(rect, Qt::AlignCenter, QString::fromStdString(LoadString(id)));
    } else {
        const int y = rect.top() + rect.height() / 2;
        painter.drawLine(rect.left(), y, rect.right(), y);
    }
    painter.restore();
}

class LineStyleDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        const QColor ink = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        DrawLineSample(*painter, option.rect.adjusted(4, 2, -4, -2), index.row(), ink);
        if (option.state & QStyle::State_HasFocus) {
            painter->save();
            painter->setPen(QPen(ink, 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {std::max(QStyledItemDelegate::sizeHint(option, index).width(), 120), kRowHeight};
    }
};

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

// ---- the line-style lists -----------------------------------------------------------

LineStyleList::LineStyleList(QWidget* parent) : QComboBox(parent) {
    static const char* const names[kLineStyleCount] = {"solid", "dashed", "dotted", "dash-dot", "dash-dot-dot",
                                                        "none", "crop marks"};
    for (int style = 0; style < kLineStyleCount; ++style) {
        addItem(QString(), style);
        setItemData(style, QString::fromLatin1(names[style]), Qt::AccessibleTextRole);
    }
    setItemDelegate(new LineStyleDelegate(this));
    setMinimumWidth(150);
}

void LineStyleList::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() >= 0) DrawLineSample(painter, field.adjusted(2, 2, -2, -2), currentIndex(), palette().color(QPalette::Text));
}

// ---- the dialog ------------------------------------------------------------------

struct FormatLinerDialog::Reading {
    int unit = kUnitInches;
    Measurement values[kFieldCount];
    int16_t repeat = 0;
    std::string tabStops;
};

namespace {

Measurement Liner::* const kBound[] = {&Liner::width, &Liner::flapHeight, &Liner::titleHeight,
                                        &Liner::primaryHeight, &Liner::overflowHeight};

}  // namespace

FormatLinerDialog::FormatLinerDialog(DialogHost& host) : FormatDialog(host, IDS_SAVE_LINER_FORMAT) {
    setObjectName("FormatLinerDialog");
    setWindowTitle(tr("Format Liner"));
    // Lines.
    cutLines_ = new LineStyleList(this);
    cutLines_->setObjectName("CutLinesList");
    foldLines_ = new LineStyleList(this);
    foldLines_->setObjectName("FoldLinesList");
    auto* lines = new QGroupBox(tr("Lines"), this);
    auto* linesGrid = new QGridLayout(lines);
    linesGrid->addWidget(BuddyLabel(tr("&Cut Lines:"), cutLines_, this), 0, 0);
    linesGrid->addWidget(cutLines_, 0, 1);
    linesGrid->addWidget(BuddyLabel(tr("&Fold Lines:"), foldLines_, this), 1, 0);
    linesGrid->addWidget(foldLines_, 1, 1);

    // Sizes.
    const char* const names[kFieldCount] = {"WidthField", "FeatureFlapField", "TitleField", "PrimarySongField",
                                            "OverflowSongField"};
    for (int i = 0; i < kFieldCount; ++i) fields_[i] = NewMeasurementField(this, names[i]);
    repeat_ = new QLineEdit(this);
    repeat_->setObjectName("RepeatField");
    repeat_->setMaxLength(6);
    repeat_->setMaximumWidth(repeat_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8);
    repeat_->setToolTip(tr("How many overflow song areas follow the primary one (0 for none)"));
    auto* heights = new QGroupBox(tr("Heights"), this);
    auto* heightsForm = new QFormLayout(heights);
    heightsForm->addRow(BuddyLabel(tr("F&eature Flap:"), fields_[kFlap], this), fields_[kFlap]);
    heightsForm->addRow(BuddyLabel(tr("&Title:"), fields_[kTitle], this), fields_[kTitle]);
    heightsForm->addRow(BuddyLabel(tr("&Primary Song:"), fields_[kPrimary], this), fields_[kPrimary]);
    heightsForm->addRow(BuddyLabel(tr("&Overflow Song:"), fields_[kOverflow], this), fields_[kOverflow]);
    heightsForm->addRow(BuddyLabel(tr("&Repeat:"), repeat_, this), repeat_);

    units_ = new QComboBox(this);
    units_->setObjectName("DefaultUnitsList");
    units_->setToolTip(tr("The unit of a number typed without one"));
    tabStops_ = new QLineEdit(this);
    tabStops_->setObjectName("TabStopsField");
    tabStops_->setMaxLength(255);
    tabStops_->setMinimumWidth(tabStops_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24);
    tabStops_->setToolTip(tr("Positions separated by commas, for example 1in, 2.5in"));
    auto* general = new QFormLayout;
    general->addRow(BuddyLabel(tr("&Width:"), fields_[kWidth], this), fields_[kWidth]);
    // What a new default unit will do, said before Apply.
    unitNote_ = new QLabel(this);
    unitNote_->setObjectName("UnitNote");
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(units_);
    unitRow->addWidget(unitNote_, 1);
    general->addRow(BuddyLabel(tr("&Default Units:"), units_, this), unitRow);
    general->addRow(BuddyLabel(tr("Tab &Stops:"), tabStops_, this), tabStops_);

    invert_ = new QCheckBox(tr("&Invert Image"), this);
    invert_->setObjectName("InvertImageBox");
    oneUp_ = new QCheckBox(tr("1-&Up Sides"), this);
    oneUp_->setObjectName("OneUpSidesBox");
    bisectSides_ = new QCheckBox(tr("&Bisect Sides"), this);
    bisectSides_->setObjectName("BisectSidesBox");
    bisectArea_ = new QCheckBox(tr("Bisect &Area"), this);
    bisectArea_->setObjectName("BisectAreaBox");
    auto* options = new QGroupBox(tr("Options"), this);
    auto* optionsGrid = new QGridLayout(options);
    optionsGrid->addWidget(invert_, 0, 0);
    optionsGrid->addWidget(oneUp_, 0, 1);
    optionsGrid->addWidget(bisectSides_, 1, 0);
    optionsGrid->addWidget(bisectArea_, 1, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(lines);
    left->addWidget(options);
    left->addLayout(general);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(heights);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    layout->addLayout(ButtonColumn());

    setTabOrder(cutLines_, foldLines_);
    setTabOrder(foldLines_, invert_);
    setTabOrder(invert_, oneUp_);
    setTabOrder(oneUp_, bisectSides_);
    setTabOrder(bisectSides_, bisectArea_);
    setTabOrder(bisectArea_, fields_[kWidth]);
    setTabOrder(fields_[kWidth], units_);
    setTabOrder(units_, tabStops_);
    setTabOrder(tabStops_, fields_[kFlap]);
    setTabOrder(fields_[kFlap], fields_[kTitle]);
    setTabOrder(fields_[kTitle], fields_[kPrimary]);
    setTabOrder(fields_[kPrimary], fields_[kOverflow]);
    setTabOrder(fields_[kOverflow], repeat_);
    setTabOrder(repeat_, okButton());
    setTabOrder(okButton(), cancelButton());
    setTabOrder(cancelButton(), applyButton());

    unitChoices_ = DefaultUnitChoices();
    FillChoices(units_, unitChoices_, document_.liner().defaultUnits);
    connect(units_, &QComboBox::currentIndexChanged, this, [this] { ShowUnitNote(); });
    Reload();
    cutLines_->setFocus();
}

void FormatLinerDialog::Reload() {
    const Liner& liner = document_.liner();
    SelectChoice(units_, unitChoices_, liner.defaultUnits);
    cutLines_->setLineStyle(liner.cutLineStyle < kLineStyleCount ? int(liner.cutLineStyle) : int(kLineSolid));
    foldLines_->setLineStyle(liner.foldLineStyle < kLineStyleCount ? int(liner.foldLineStyle) : int(kLineSolid));
    invert_->setChecked(liner.invertImage != 0);
    oneUp_->setChecked(liner.oneUpSides != 0);
    bisectSides_->setChecked(liner.bisectSides != 0);
    bisectArea_->setChecked(liner.bisectArea != 0);
    for (int i = 0; i < kFieldCount; ++i) ShowMeasurement(fields_[i], liner.*kBound[i]);
    tabStops_->setText(QString::fromStdString(liner.tabStopsText));
    ShowUnitNote();
    repeat_->setText(QString::number(liner.overflowCount));
}

std::optional<FormatLinerDialog::Reading> FormatLinerDialog::Read(bool quiet) {
    Prompter& prompter = host_.prompter();
    const MessageOwner owner = MessageOwner::Dialog(this);
    auto refuse = [&](QLineEdit* field, auto&& report) -> std::optional<Reading> {
        if (!quiet) {
            report();
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
        }
        return std::nullopt;
    };

    Reading r;
    // Numbers without a unit count in the unit chosen here, which is the one
    // they will have once applied.
    r.unit = ReadChoice(units_, unitChoices_);
    for (int i = 0; i < kFieldCount; ++i) {
        const std::optional<Measurement> m = ReadMeasurement(fields_[i], false, quiet, r.unit, prompter, this);
        if (!m) return std::nullopt;
        r.values[i] = *m;
    }

    const QString repeat = repeat_->text().trimmed();
    bool isNumber = !repeat.isEmpty();
    for (QChar ch : repeat) isNumber = isNumber && ch.isDigit() && ch.unicode() < 0x80;
    if (!isNumber) {
        return refuse(repeat_, [&] {
            if (repeat.startsWith(u'-')) {
                ShowMessage(prompter, owner, ErrorStyle(), IDS_NEGATIVE_OVERFLOW_COUNT);
            } else {
                prompter.Show(owner, ErrorStyle(),
                              tr("The number of song overflow areas must be a whole number from 0 to %1")
                                  .arg(kMaxOverflowCount)
                                  .toStdString());
            }
        });
    }
    const int count = repeat.toInt();
    if (repeat.size() > 5 || count > kMaxOverflowCount) {
        return refuse(repeat_, [&] {
            prompter.Show(owner, ErrorStyle(),
                          tr("The number of song overflow areas must be a whole number from 0 to %1")
                              .arg(kMaxOverflowCount)
                              .toStdString());
        });
    }
    r.repeat = static_cast<int16_t>(count);

    r.tabStops = tabStops_->text().toStdString();
    if (const int bad = FirstInvalidTabStop(r.tabStops, r.unit)) {
        if (!quiet) {
            ShowMessage(prompter, owner, ErrorStyle(), IDS_INVALID_TAB_STOP, {static_cast<long long>(bad)});
            tabStops_->setFocus(Qt::OtherFocusReason);
        }
        return std::nullopt;
    }

    // A liner without a width or a height has nowhere to put its texts.
    if (r.values[kWidth].twips <= 0) {
        return refuse(fields_[kWidth], [&] {
            prompter.Show(owner, ErrorStyle(),
                          tr("A liner must be wider than zero. Type the width of the card.").toStdString());
        });
    }
    const int areasHeight = r.values[kFlap].twips + r.values[kTitle].twips + r.values[kPrimary].twips +
                            r.repeat * r.values[kOverflow].twips;
    if (areasHeight <= 0) {
        return refuse(fields_[kFlap], [&] {
            prompter.Show(owner, ErrorStyle(),
                          tr("A liner must be higher than zero. Give at least one of its areas a height.")
                              .toStdString());
        });
    }

    // The liner's height is kept in 16 bits: a taller format cannot be drawn.
    Liner probe;
    probe.overflowCount = r.repeat;
    for (int i = 0; i < kFieldCount; ++i) probe.*kBound[i] = r.values[i];
    if (!TotalHeightFits(probe)) {
        QLineEdit* culprit = r.repeat > 0 ? repeat_ : fields_[kPrimary];
        return refuse(culprit, [&] {
            prompter.Show(owner, ErrorStyle(),
                          tr("The areas add up to more than the tallest liner there can be (about 22.75 inches or "
                             "57.8 cm). Make an area lower or repeat the overflow area fewer times.")
                              .toStdString());
        });
    }
    return r;
}

void FormatLinerDialog::ShowUnitNote() {
    const Liner& liner = document_.liner();
    const int unit = ReadChoice(units_, unitChoices_);
    if (unit == liner.defaultUnits) {
        unitNote_->clear();
        unitNote_->setToolTip({});
        return;
    }
    Liner trial = liner;
    const int changed = ChangeDefaultUnit(trial, unit, nullptr);
    const QString unitName = units_->currentText();
    QString note = changed == 1 ? tr("1 length without a unit will mean %1").arg(unitName)
                   : changed > 1 ? tr("%1 lengths without a unit will mean %2").arg(changed).arg(unitName)
                                 : tr("numbers without a unit will mean %1").arg(unitName);
    if (ChangesMargins(liner.defaultUnits, unit)) note += tr("; margins converted");
    unitNote_->setText(note);
    unitNote_->setToolTip(tr("On Apply, every length typed without a unit keeps its number and counts in the new "
                             "unit: 0.5 inch becomes 0.5 cm. A number too large for the new unit keeps its length, "
                             "written out with a unit. Print margins keep their lengths. Type a unit (0.5 in) to "
                             "keep a length whatever the default unit."));
}

bool FormatLinerDialog::Apply() {
    const std::optional<Reading> r = Read(false);
    if (!r) return false;

    Liner& liner = document_.liner();
    // A new default unit re-expresses the print margins too; Undo takes them back with it.
    LinerDocument::Alongside margins;
    if (r->unit != liner.defaultUnits) {
        PrintSettings& print = host_.settings().print;
        const PrintSettings before = print;
        ChangeDefaultUnit(liner, r->unit, &print);
        const PrintSettings after = print;
        margins = {[&print, before] { print = before; }, [&print, after] { print = after; }};
    }
    liner.overflowCount = r->repeat;
    for (int i = 0; i < kFieldCount; ++i) liner.*kBound[i] = r->values[i];
    // Parsed after the unit change, so that bare numbers count in the new unit.
    liner.tabStopsText = r->tabStops;
    ParseTabStops(liner);
    liner.cutLineStyle = static_cast<uint16_t>(cutLines_->lineStyle());
    liner.foldLineStyle = static_cast<uint16_t>(foldLines_->lineStyle());
    const bool turned = liner.invertImage != (invert_->isChecked() ? 1 : 0);
    liner.invertImage = invert_->isChecked() ? 1 : 0;
    if (turned && !liner.features.empty()) OfferToMoveFeatures(liner);
    liner.oneUpSides = oneUp_->isChecked() ? 1 : 0;
    liner.bisectSides = bisectSides_->isChecked() ? 1 : 0;
    liner.bisectArea = bisectArea_->isChecked() ? 1 : 0;

    // The window follows (scroll ranges, a turned image, its width).
    document_.Commit(tr("Format Liner"), LinerDocument::kFormats | LinerDocument::kGeometry, std::move(margins));
    return true;
}

void FormatLinerDialog::OfferToMoveFeatures(Liner& liner) {
    // Feature tops count from the paper's top edge, as stored files expect,
    // so the flap moving to the other end leaves them behind unless moved.
    const bool inverted = liner.invertImage != 0;
    const QString question =
        inverted ? tr("The feature flap moves to the bottom of the liner. Move the features with it?")
                 : tr("The feature flap moves back to the top of the liner. Move the features with it?");
    const MessageResult answer =
        host_.prompter().Show(MessageOwner::Dialog(this), {MessageIcon::Question, MessageButtons::YesNo, false},
                              question.toStdString());
    if (answer != MessageResult::Yes) return;
    Liner other = liner;
    other.invertImage = inverted ? 0 : 1;
    const int shift = ComputeLinerGeometry(liner).flapTop - ComputeLinerGeometry(other).flapTop;
    for (Feature& feature : liner.features) {
        const int top = feature.top.twips + shift;
        if (top < INT16_MIN || top > INT16_MAX) continue;
        feature.top = FromTwips(top, liner.defaultUnits);
    }
}

bool FormatLinerDialog::HasChanges() {
    const std::optional<Reading> r = Read(true);
    if (!r) return true;
    const Liner& liner = document_.liner();
    if (r->unit != liner.defaultUnits || r->repeat != liner.overflowCount || r->tabStops != liner.tabStopsText) {
        return true;
    }
    for (int i = 0; i < kFieldCount; ++i) {
        if (!(r->values[i] == liner.*kBound[i])) return true;
    }
    return cutLines_->lineStyle() != liner.cutLineStyle || foldLines_->lineStyle() != liner.foldLineStyle ||
           invert_->isChecked() != (liner.invertImage != 0) || oneUp_->isChecked() != (liner.oneUpSides != 0) ||
           bisectSides_->isChecked() != (liner.bisectSides != 0) ||
           bisectArea_->isChecked() != (liner.bisectArea != 0);
}
