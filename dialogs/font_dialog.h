// The font chooser: the font, size, style and effects of a font table entry,
// its colour, and the rotation of the text in degrees.
#pragma once

#include <QDialog>
#include <QFont>
#include <optional>

#include "document/liner.h"

class Prompter;
class QComboBox;
class QFontDialog;
class QLineEdit;

// The rotation field's text as degrees 0 to 359: an unsigned number taken
// modulo 360, or nothing when the text is no such number.
std::optional<int> ParseRotation(const QString& text);

// The size in points the chooser starts from for a stored height in twips,
// to the nearest half point.
double PointSizeOfHeight(int32_t height);

class FontChooserDialog : public QDialog {
    Q_OBJECT

public:
    FontChooserDialog(const FontEntry& start, Prompter& prompter, QWidget* parent = nullptr);

    // The chosen entry; meaningful after the dialog was accepted.
    const FontEntry& chosen() const { return result_; }

    QFontDialog* fontPart() const { return fontPart_; }
    QLineEdit* rotationField() const { return rotation_; }
    QComboBox* colorField() const { return color_; }

    void accept() override;

private:
    Prompter& prompter_;
    FontEntry result_;
    QFont shown_;
    QFontDialog* fontPart_ = nullptr;
    QLineEdit* rotation_ = nullptr;
    QComboBox* color_ = nullptr;
};

// Runs the chooser on `entry` in place; true when the user pressed OK.
bool ChooseFont(QWidget* owner, FontEntry& entry, Prompter& prompter);
