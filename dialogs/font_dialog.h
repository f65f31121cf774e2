// The font chooser: the font, size, style and effects of a font table entry,
// its colour, and the rotation of the text in degrees.
#pragma once

#include <QDialog>
#include <QFont>
#include <optional>

#include "document/liner.h"

class Prompter;
class QCheckBox;
class QComboBox;
class QFontComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;

// The rotation field's text as degrees 0 to 359: an unsigned number taken
// modulo 360, or nothing when the text is no such number.
std::optional<int> ParseRotation(const QString& text);

// The size in points the chooser starts from for a stored height in twips,
// to the nearest half point.
double PointSizeOfHeight(int32_t height);

// Face, style, size (in half points and finer, as typed), effects and script
// (the character set), with a sample in that script.
class FontPicker : public QWidget {
    Q_OBJECT

public:
    explicit FontPicker(QWidget* parent = nullptr);

    QFont currentFont() const;
    void setCurrentFont(const QFont& font);

    QComboBox* sizeField() const { return size_; }
    QComboBox* scriptField() const { return script_; }
    // The character set of the script shown (a charSet byte); a set without
    // an entry of its own is listed while it is the current one.
    uint8_t charSet() const;
    void setCharSet(uint8_t charSet);
    // Adds a labelled field below the font's own (before the sample).
    void AddRow(QWidget* label, QWidget* field);

private:
    void FillStyles(const QString& keep);
    void UpdateSample();

    QFontComboBox* family_ = nullptr;
    QComboBox* style_ = nullptr;
    QComboBox* size_ = nullptr;
    QComboBox* script_ = nullptr;
    QCheckBox* underline_ = nullptr;
    QCheckBox* strikeOut_ = nullptr;
    QLabel* sample_ = nullptr;
    QFormLayout* form_ = nullptr;
    // The style last chosen, by name and by weight and slant.
    QString wantedStyle_;
    int wantedWeight_ = 400;
    bool wantedItalic_ = false;
    int wantedStretch_ = 0;
};

class FontChooserDialog : public QDialog {
    Q_OBJECT

public:
    FontChooserDialog(const FontEntry& start, Prompter& prompter, QWidget* parent = nullptr);

    // The chosen entry; meaningful after the dialog was accepted.
    const FontEntry& chosen() const { return result_; }

    FontPicker* fontPart() const { return fontPart_; }
    QLineEdit* rotationField() const { return rotation_; }
    QComboBox* colorField() const { return color_; }

    void accept() override;

private:
    Prompter& prompter_;
    FontEntry result_;
    QFont shown_;
    uint8_t shownCharSet_ = 0;
    int shownRotation_ = 0;
    FontPicker* fontPart_ = nullptr;
    QLineEdit* rotation_ = nullptr;
    QComboBox* color_ = nullptr;
};

// Runs the chooser on `entry` in place; true when the user pressed OK.
bool ChooseFont(QWidget* owner, FontEntry& entry, Prompter& prompter);
