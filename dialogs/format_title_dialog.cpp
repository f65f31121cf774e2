#include "dialogs/format_title_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "platform/strings.h"

FormatTitleDialog::FormatTitleDialog(DialogHost& host) : FormatDialog(host, IDS_SAVE_TITLE_FORMAT) {
    setObjectName("FormatTitleDialog");
    setWindowTitle(tr("Format Title"));

    auto* fields = new QVBoxLayout;
    area_.Build(this, fields);
    center_ = new QCheckBox(tr("Center &Vertically"), this);
    center_->setObjectName("CenterVerticallyBox");
    center_->setToolTip(tr("Centre the title lines between the title area's top and bottom margins"));
    split_ = new QCheckBox(tr("&Split Title"), this);
    split_->setObjectName("SplitTitleBox");
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(center_);
    boxes->addWidget(split_);
    boxes->addStretch();
    fields->addLayout(boxes);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(ButtonColumn());

    area_.FillAlignment(document_.liner().titleFormat.alignment);
    Reload();
    area_.fields[0]->setFocus();
}

void FormatTitleDialog::Reload() {
    const Liner& liner = document_.liner();
    area_.Show(liner.titleFormat);
    center_->setChecked(liner.centerTitleVertically != 0);
    split_->setChecked(liner.splitTitle != 0);
}

// After Apply the focus goes to Top, the first field of the title's table.
QWidget* FormatTitleDialog::FirstField() const { return area_.fields[2]; }

bool FormatTitleDialog::Apply() {
    Liner& liner = document_.liner();
    AreaFormat format = liner.titleFormat;
    if (!area_.Read(format, false, liner.defaultUnits, host_.prompter(), this)) return false;
    liner.titleFormat = format;
    liner.centerTitleVertically = center_->isChecked() ? 1 : 0;
    liner.splitTitle = split_->isChecked() ? 1 : 0;
    document_.Commit(tr("Format Title"), LinerDocument::kFormats);
    return true;
}

bool FormatTitleDialog::HasChanges() {
    const Liner& liner = document_.liner();
    AreaFormat format = liner.titleFormat;
    if (!area_.Read(format, true, liner.defaultUnits, host_.prompter(), this)) return true;
    return !(format == liner.titleFormat) || (center_->isChecked() != (liner.centerTitleVertically != 0)) ||
           (split_->isChecked() != (liner.splitTitle != 0));
}
