// Format Title: the title area's alignment, margins and spacing, and the two
// title options.
#pragma once

#include "dialogs/format_fields_dialog.h"

class QCheckBox;

class FormatTitleDialog : public FormatDialog {
    Q_OBJECT

public:
    explicit FormatTitleDialog(DialogHost& host);

    bool Apply() override;
    bool HasChanges() override;
    void Reload() override;

    const AreaFormatFields& area() const { return area_; }
    QCheckBox* centerBox() const { return center_; }
    QCheckBox* splitBox() const { return split_; }

protected:
    QWidget* FirstField() const override;

private:
    AreaFormatFields area_;
    QCheckBox* center_ = nullptr;
    QCheckBox* split_ = nullptr;
};
