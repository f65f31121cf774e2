// Format Liner: the liner-wide layout — cut and fold lines, the area heights
// and the number of overflow areas, the width, the layout options, the
// default unit and the tab stops.
#pragma once

#include <QComboBox>

#include "dialogs/format_fields_dialog.h"

struct Liner;

class QCheckBox;
class QLabel;

// A drop-down list of the seven cut/fold line styles, each row showing a
// sample of the line (or "(none)", "(crop marks)").
class LineStyleList : public QComboBox {
public:
    explicit LineStyleList(QWidget* parent = nullptr);
    int lineStyle() const { return currentIndex(); }
    void setLineStyle(int style) { setCurrentIndex(style); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class FormatLinerDialog : public FormatDialog {
    Q_OBJECT

public:
    explicit FormatLinerDialog(DialogHost& host);

    bool Apply() override;
    bool HasChanges() override;
    void Reload() override;

protected:
    QWidget* FirstField() const override { return cutLines_; }

private:
    enum Field { kWidth, kFlap, kTitle, kPrimary, kOverflow, kFieldCount };
    struct Reading;
    // Reads every field; nullopt (reported unless `quiet`) when one is wrong.
    std::optional<Reading> Read(bool quiet);
    // Invert Image changed: offers to move the features with the flap (their
    // tops re-expressed), in the same step.
    void OfferToMoveFeatures(Liner& liner);
    // The line beside the unit list: what Apply will do to the lengths.
    void ShowUnitNote();

    LineStyleList* cutLines_ = nullptr;
    LineStyleList* foldLines_ = nullptr;
    QLineEdit* fields_[kFieldCount] = {};
    QLineEdit* repeat_ = nullptr;
    QLineEdit* tabStops_ = nullptr;
    QComboBox* units_ = nullptr;
    QLabel* unitNote_ = nullptr;
    ChoiceTable unitChoices_;
    QCheckBox* invert_ = nullptr;
    QCheckBox* oneUp_ = nullptr;
    QCheckBox* bisectSides_ = nullptr;
    QCheckBox* bisectArea_ = nullptr;
};
