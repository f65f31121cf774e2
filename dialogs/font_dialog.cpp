#include "dialogs/font_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QSignalBlocker>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/strings.h"

namespace {

struct NamedColor {
    const char* name;
    uint32_t value;  // red in the low byte
};

constexpr uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

const NamedColor kColors[] = {
    {"Black", Rgb(0, 0, 0)},       {"Maroon", Rgb(128, 0, 0)},    {"Green", Rgb(0, 128, 0)},
    {"Olive", Rgb(128, 128, 0)},   {"Navy", Rgb(0, 0, 128)},      {"Purple", Rgb(128, 0, 128)},
    {"Teal", Rgb(0, 128, 128)},    {"Gray", Rgb(128, 128, 128)},  {"Silver", Rgb(192, 192, 192)},
    {"Red", Rgb(255, 0, 0)},       {"Lime", Rgb(0, 255, 0)},      {"Yellow", Rgb(255, 255, 0)},
    {"Blue", Rgb(0, 0, 255)},      {"Fuchsia", Rgb(255, 0, 255)}, {"Aqua", Rgb(0, 255, 255)},
    {"White", Rgb(255, 255, 255)},
};

QColor ToQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QIcon Swatch(uint32_t c) {
    QPixmap pixmap(16, 12);
    pixmap.fill(ToQColor(c));
    return QIcon(pixmap);
}

}  // namespace

std::optional<int> ParseRotation(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    for (QChar ch : trimmed) {
        if (!ch.isDigit()) return std::nullopt;
    }
    bool ok = false;
    const qulonglong value = trimmed.toULongLong(&ok);
    if (!ok || value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<int>(value % 360);
}

double PointSizeOfHeight(int32_t height) {
    // Twenty twips a point, to the nearest half point.
    const int64_t twips = height < 0 ? -static_cast<int64_t>(height) : height;
    if (twips < 10) return 12.0;
    return static_cast<double>((twips + 5) / 10) / 2.0;
}

// ---- the font part -------------------------------------------------------------

FontPicker::FontPicker(QWidget* parent) : QWidget(parent) {
    family_ = new QFontComboBox(this);
    family_->setObjectName("FontFamily");
    style_ = new QComboBox(this);
    style_->setObjectName("FontStyle");
    size_ = new QComboBox(this);
    size_->setObjectName("FontSize");
    size_->setEditable(true);
    size_->setInsertPolicy(QComboBox::NoInsert);
    auto* validator = new QDoubleValidator(1.0, 1600.0, 2, size_);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    size_->setValidator(validator);
    for (int points : QFontDatabase::standardSizes()) size_->addItem(QString::number(points));
    underline_ = new QCheckBox(tr("&Underline"), this);
    underline_->setObjectName("Underline");
    strikeOut_ = new QCheckBox(tr("Stri&keout"), this);
    strikeOut_->setObjectName("Strikeout");
    script_ = new QComboBox(this);
    script_->setObjectName("Script");
    for (uint8_t charSet : ScriptCharSets()) {
        // The OEM set is kept for files that have it, not offered.
        if (CodePageOfCharSet(charSet) != 437) script_->addItem(CharSetName(charSet), charSet);
    }
    sample_ = new QLabel(this);
    sample_->setObjectName("Sample");
    sample_->setAlignment(Qt::AlignCenter);
    sample_->setMinimumHeight(60);
    sample_->setFrameShape(QFrame::StyledPanel);

    auto* form = form_ = new QFormLayout;
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    form->addRow(label(tr("&Font:"), family_), family_);
    form->addRow(label(tr("St&yle:"), style_), style_);
    form->addRow(label(tr("&Size:"), size_), size_);
    auto* effects = new QHBoxLayout;
    effects->addWidget(underline_);
    effects->addWidget(strikeOut_);
    effects->addStretch();
    form->addRow(effects);
    form->addRow(label(tr("Scr&ipt:"), script_), script_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addWidget(sample_);

    connect(family_, &QFontComboBox::currentFontChanged, this, [this] {
        // Typing a name passes through other families on the way: the style
        // follows the weight and slant last chosen, not the name of the
        // style an intermediate family happened to offer.
        FillStyles(wantedStyle_);
        UpdateSample();
    });
    connect(style_, &QComboBox::currentIndexChanged, this, [this] {
        wantedStyle_ = style_->currentText();
        const QString family = family_->currentFont().family();
        const QFont face = QFontDatabase::font(family, wantedStyle_, 12);
        wantedWeight_ = QFontDatabase::weight(family, wantedStyle_);
        wantedItalic_ = face.style() != QFont::StyleNormal || QFontDatabase::italic(family, wantedStyle_);
        wantedStretch_ = face.stretch();
        UpdateSample();
    });
    connect(size_, &QComboBox::currentTextChanged, this, &FontPicker::UpdateSample);
    connect(underline_, &QCheckBox::toggled, this, &FontPicker::UpdateSample);
    connect(strikeOut_, &QCheckBox::toggled, this, &FontPicker::UpdateSample);
    connect(script_, &QComboBox::currentIndexChanged, this, &FontPicker::UpdateSample);
    FillStyles({});
    UpdateSample();
}

void FontPicker::AddRow(QWidget* label, QWidget* field) { form_->addRow(label, field); }

uint8_t FontPicker::charSet() const { return static_cast<uint8_t>(script_->currentData().toUInt()); }

void FontPicker::setCharSet(uint8_t charSet) {
    // The default set is the Western one.
    const uint8_t shown = charSet == 1 ? 0 : charSet;
    int index = script_->findData(shown);
    if (index < 0) {
        QString name = CharSetName(shown);
        if (name.isEmpty()) name = tr("Character set %1").arg(shown);
        script_->addItem(name, shown);
        index = script_->count() - 1;
    }
    script_->setCurrentIndex(index);
}

void FontPicker::FillStyles(const QString& keep) {
    const QSignalBlocker block(style_);
    style_->clear();
    const QString family = family_->currentFont().family();
    QStringList styles = QFontDatabase::styles(family);
    if (styles.isEmpty()) styles = {QStringLiteral("Regular")};
    style_->addItems(styles);
    // The style of that name, else the one nearest in slant, width and
    // weight (an oblique style slants as an italic one does).
    int best = style_->findText(keep);
    if (best < 0) {
        best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < style_->count(); ++i) {
            const QString style = style_->itemText(i);
            const QFont face = QFontDatabase::font(family, style, 12);
            const bool slanted = face.style() != QFont::StyleNormal || QFontDatabase::italic(family, style);
            const int distance = std::abs(QFontDatabase::weight(family, style) - wantedWeight_) +
                                 (slanted != wantedItalic_ ? 1000 : 0) +
                                 (face.stretch() != wantedStretch_ ? 500 : 0);
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
    }
    style_->setCurrentIndex(best);
}

QFont FontPicker::currentFont() const {
    const QString family = family_->currentFont().family();
    QFont font(family);
    const QString style = style_->currentText();
    if (QFontDatabase::styles(family).contains(style)) {
        font.setWeight(static_cast<QFont::Weight>(QFontDatabase::weight(family, style)));
        font.setItalic(QFontDatabase::italic(family, style));
    } else {
        font.setWeight(QFont::Normal);
        font.setItalic(false);
    }
    bool ok = false;
    const double points = QLocale::c().toDouble(size_->currentText().trimmed(), &ok);
    font.setPointSizeF(ok && points > 0 ? points : 12.0);
    font.setUnderline(underline_->isChecked());
    font.setStrikeOut(strikeOut_->isChecked());
    return font;
}

void FontPicker::setCurrentFont(const QFont& font) {
    {
        // A face that is not installed shows as the one the system draws
        // in its place.
        const QSignalBlocker block(family_);
        family_->setCurrentFont(QFont(QFontInfo(QFont(font.family())).family()));
    }
    // The style of that face closest to the font's weight and slant.
    wantedWeight_ = static_cast<int>(font.weight());
    wantedItalic_ = font.italic();
    wantedStretch_ = QFont().stretch();
    wantedStyle_.clear();
    FillStyles({});
    wantedStyle_ = style_->currentText();
    size_->setCurrentText(QLocale::c().toString(font.pointSizeF() > 0 ? font.pointSizeF() : 12.0, 'g', 6));
    underline_->setChecked(font.underline());
    strikeOut_->setChecked(font.strikeOut());
    UpdateSample();
}

void FontPicker::UpdateSample() {
    // A few letters of the script after the Latin ones, as they would print.
    static const std::pair<uint8_t, const char16_t*> kSamples[] = {
        {238, u"\u00C1\u00E1\u00D4\u00F4"}, {204, u"\u0411\u0431\u0424\u0444"},
        {161, u"\u0391\u03B1\u0392\u03B2"}, {162, u"\u011E\u011F\u015E\u015F"},
        {177, u"\u05D0\u05D1\u05E9\u05EA"}, {178, u"\u0623\u0628 \u062C\u062F"},
        {186, u"\u0100\u0101\u0112\u0113"}, {163, u"\u01AF\u01B0\u01A0\u01A1"},
        {222, u"\u0E01\u0E02\u0E03\u0E04"},
    };
    QString text = QStringLiteral("AaBbYyZz");
    for (const auto& [charSet, letters] : kSamples) {
        if (charSet == this->charSet()) text = QStringLiteral("AaBb") + QString::fromUtf16(letters);
    }
    sample_->setText(text);
    QFont shown = currentFont();
    // The sample keeps a readable size whatever the chosen one.
    shown.setPointSizeF(std::clamp(shown.pointSizeF(), 6.0, 36.0));
    sample_->setFont(shown);
}

// ---- the dialog -------------------------------------------------------------------

FontChooserDialog::FontChooserDialog(const FontEntry& start, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), result_(start) {
    setObjectName("FontChooserDialog");
    setWindowTitle(tr("Font"));

    QFont font;
    const QString face = DecodeCodePage(start.logFont.FaceName());
    if (!face.isEmpty()) font.setFamily(face);
    font.setPointSizeF(PointSizeOfHeight(start.logFont.height));
    const int weight = start.logFont.weight <= 0 ? 400 : std::clamp(start.logFont.weight, 1, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(start.logFont.italic != 0);
    font.setUnderline(start.logFont.underline != 0);
    font.setStrikeOut(start.logFont.strikeOut != 0);

    fontPart_ = new FontPicker(this);
    fontPart_->setObjectName("FontPart");
    fontPart_->setCurrentFont(font);
    // What the chooser shows may be a substitute (a face that is not
    // installed, a size from its list): only what the user changes from
    // this goes back into the entry.
    shown_ = fontPart_->currentFont();
    fontPart_->setCharSet(start.logFont.charSet);
    shownCharSet_ = fontPart_->charSet();

    color_ = new QComboBox(this);
    color_->setObjectName("Color");
    int colorIndex = -1;
    for (const NamedColor& c : kColors) {
        color_->addItem(Swatch(c.value), tr(c.name), QVariant::fromValue<uint>(c.value));
        if (c.value == (start.color & 0xFFFFFF)) colorIndex = color_->count() - 1;
    }
    if (colorIndex < 0) {
        color_->addItem(Swatch(start.color), tr("Custom"), QVariant::fromValue<uint>(start.color));
        colorIndex = color_->count() - 1;
    }
    color_->setCurrentIndex(colorIndex);

    // The angle as the view turns the text: a negative or a several-turn
    // escapement shows as 0 to 359.
    shownRotation_ = start.logFont.RotationDegrees();
    rotation_ = new QLineEdit(QString::number(shownRotation_), this);
    rotation_->setObjectName("Rotation");
    rotation_->setMaxLength(10);

    // In the font part's own form, so that all labels line up.
    auto* colorLabel = new QLabel(tr("&Color:"), this);
    colorLabel->setBuddy(color_);
    auto* rotationLabel = new QLabel(tr("&Rotation"), this);
    rotationLabel->setBuddy(rotation_);
    fontPart_->AddRow(colorLabel, color_);
    fontPart_->AddRow(rotationLabel, rotation_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("Buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &FontChooserDialog::accept);
    // Enter in the rotation field means OK, as anywhere else in the dialog.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &FontChooserDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fontPart_);
    layout->addWidget(buttons);
}

void FontChooserDialog::accept() {
    const std::optional<int> rotation = ParseRotation(rotation_->text());
    if (!rotation) {
        ShowMessage(prompter_, MessageOwner::Dialog(this), ErrorStyle(), IDS_NEGATIVE_ROTATION);
        rotation_->setFocus();
        rotation_->selectAll();
        return;
    }
    const QFont font = fontPart_->currentFont();
    LogFont& lf = result_.logFont;
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize();
    if (points != shown_.pointSizeF() && points > 0) {
        // Tenths of a point, times 2: twips.
        lf.height = static_cast<int32_t>(std::lround(points * 10)) * 2;
    }
    if (font.weight() != shown_.weight()) lf.weight = static_cast<int32_t>(font.weight());
    if (font.italic() != shown_.italic()) lf.italic = font.italic() ? 1 : 0;
    if (font.underline() != shown_.underline()) lf.underline = font.underline() ? 1 : 0;
    if (font.strikeOut() != shown_.strikeOut()) lf.strikeOut = font.strikeOut() ? 1 : 0;
    if (font.family() != shown_.family()) {
        std::string face = EncodeCodePage(font.family());
        if (face.size() > 31) face.resize(31);
        lf.SetFaceName(face);
    }
    if (fontPart_->charSet() != shownCharSet_) lf.charSet = fontPart_->charSet();
    // An untouched angle keeps the stored escapement (tenths included).
    if (*rotation != shownRotation_) lf.escapement = *rotation * 10;
    result_.color = color_->currentData().toUInt();
    QDialog::accept();
}

bool ChooseFont(QWidget* owner, FontEntry& entry, Prompter& prompter) {
    FontChooserDialog dialog(entry, prompter, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    entry = dialog.chosen();
    return true;
}
