#include "dialogs/font_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
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

    fontPart_ = new QFontDialog(this);
    fontPart_->setObjectName("FontPart");
    fontPart_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fontPart_->setWindowFlags(Qt::Widget);
    fontPart_->setSizeGripEnabled(false);
    fontPart_->setCurrentFont(font);
    // What the chooser shows may be a substitute (a face that is not
    // installed, a size from its list): only what the user changes from
    // this goes back into the entry.
    shown_ = fontPart_->currentFont();

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

    rotation_ = new QLineEdit(QString::number(start.logFont.escapement / 10), this);
    rotation_->setObjectName("Rotation");
    rotation_->setMaxLength(10);

    auto* extras = new QFormLayout;
    auto* colorLabel = new QLabel(tr("&Color:"), this);
    colorLabel->setBuddy(color_);
    auto* rotationLabel = new QLabel(tr("&Rotation"), this);
    rotationLabel->setBuddy(rotation_);
    extras->addRow(colorLabel, color_);
    extras->addRow(rotationLabel, rotation_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("Buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &FontChooserDialog::accept);
    // Enter in the rotation field means OK, as anywhere else in the dialog.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &FontChooserDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fontPart_);
    layout->addLayout(extras);
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
    lf.escapement = *rotation * 10;
    result_.color = color_->currentData().toUInt();
    QDialog::accept();
}

bool ChooseFont(QWidget* owner, FontEntry& entry, Prompter& prompter) {
    FontChooserDialog dialog(entry, prompter, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    entry = dialog.chosen();
    return true;
}
