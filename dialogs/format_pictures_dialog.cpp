#include "dialogs/format_pictures_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "document/settings.h"
#include "document/liner_document.h"
#include "dialogs/format_fields_dialog.h"
#include "document/measurement.h"
#include "pictures/picture_host.h"
#include "platform/messages.h"
#include "platform/prompter.h"
#include "platform/strings.h"
#include "render/view.h"
#include "render/view_gestures.h"

namespace {

// The picture count is stored in 16 bits.
constexpr size_t kMaxPictures = 0xFFFF;
constexpr int kThumbnailSide = 120;

// Looking up a picture's proportions says nothing of a file it cannot read.
class QuietPrompter : public Prompter {
public:
    MessageResult Show(const MessageOwner&, const MessageStyle& style, const std::string&) override {
        return DefaultAnswer(style.buttons);
    }
    MergeChoice AskMerge(const std::string&) override { return MergeChoice::Cancel; }
};

enum Field { kLeft = 0, kTop = 1, kWidth = 2, kHeight = 3 };

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// Where an area lies, in depth below the liner's top edge.
struct AreaSpan {
    int top = 0;
    int height = 0;
};

// The areas as they are stacked: the feature flap on top, then the title,
// the primary song area and the overflow song areas; turned upside down with
// Invert Image.
std::optional<AreaSpan> SpanOf(const Liner& liner, int code) {
    const int f = std::max<int>(liner.flapHeight.twips, 0);
    const int t = std::max<int>(liner.titleHeight.twips, 0);
    const int p = std::max<int>(liner.primaryHeight.twips, 0);
    const int o = std::max<int>(liner.overflowHeight.twips, 0);
    const int n = std::max<int>(liner.overflowCount, 0);
    const bool inverted = liner.invertImage != 0;
    switch (code) {
        case kPlaceEntireLiner:
            return AreaSpan{0, liner.totalHeight()};
        case kPlaceAllButOverflow:
            return AreaSpan{inverted ? n * o : 0, f + t + p};
        case kPlaceFeatureFlap:
            return AreaSpan{inverted ? n * o + p + t : 0, f};
        case kPlaceTitle:
            return AreaSpan{inverted ? n * o + p : f, t};
        case kPlacePrimarySong:
            return AreaSpan{inverted ? n * o : f + t, p};
        default:
            break;
    }
    const int k = code - kPlaceOverflowBase;
    if (k < 1 || k > n) return std::nullopt;
    return AreaSpan{inverted ? (n - k) * o : f + t + p + (k - 1) * o, o};
}

}  // namespace

std::string PictureDisplayName(const std::string& fileName) {
    // Older liners name their pictures with backslashes, ours with slashes.
    size_t cut = fileName.find_last_of("/\\");
    if (cut == std::string::npos) cut = fileName.find_last_of(':');
    return cut == std::string::npos ? fileName : fileName.substr(cut + 1);
}

FormatPicturesDialog::FormatPicturesDialog(DialogHost& host, PictureFileChooser chooser)
    : QDialog(host.hostWindow()), host_(host), document_(host.document()), chooser_(std::move(chooser)) {
    setObjectName("FormatPicturesDialog");
    setWindowTitle(tr("Format Pictures"));
    setModal(false);

    list_ = new QComboBox(this);
    list_->setObjectName("PictureList");
    list_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list_->setMinimumContentsLength(24);
    listLabel_ = new QLabel(tr("&Picture:"), this);
    listLabel_->setBuddy(list_);

    const char* const names[4] = {"LeftField", "TopField", "WidthField", "HeightField"};
    const QString labels[4] = {tr("&Left:"), tr("&Top:"), tr("&Width:"), tr("&Height:")};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        fields_[i] = NewMeasurementField(this, names[i]);
        fieldLabels_[i] = new QLabel(labels[i], this);
        fieldLabels_[i]->setBuddy(fields_[i]);
        grid->addWidget(fieldLabels_[i], i / 2, (i % 2) * 2);
        grid->addWidget(fields_[i], i / 2, (i % 2) * 2 + 1);
    }
    fields_[kLeft]->setToolTip(tr("Distance from the liner's left edge"));
    fields_[kTop]->setToolTip(tr("Distance below the liner's top edge"));

    stretch_ = new QComboBox(this);
    stretch_->setObjectName("StretchList");
    stretchLabel_ = new QLabel(tr("&Stretch:"), this);
    stretchLabel_->setBuddy(stretch_);
    stretch_->setToolTip(tr("On Apply, size the picture to fill this area, or to its own size"));
    center_ = new QComboBox(this);
    center_->setObjectName("CenterList");
    centerLabel_ = new QLabel(tr("&Center:"), this);
    centerLabel_->setBuddy(center_);
    center_->setToolTip(tr("On Apply, centre the picture in this area"));
    fit_ = new QComboBox(this);
    fit_->setObjectName("FitList");
    fitLabel_ = new QLabel(tr("F&it:"), this);
    fitLabel_->setBuddy(fit_);
    fit_->setToolTip(tr("On Apply, make the picture as large as fits in this area, keeping its proportions, centred"));
    grid->addWidget(stretchLabel_, 2, 0);
    grid->addWidget(stretch_, 2, 1, 1, 3);
    grid->addWidget(centerLabel_, 3, 0);
    grid->addWidget(center_, 3, 1, 1, 3);
    grid->addWidget(fitLabel_, 4, 0);
    grid->addWidget(fit_, 4, 1, 1, 3);
    thumbnail_ = new QLabel(this);
    thumbnail_->setObjectName("Thumbnail");
    thumbnail_->setFixedSize(kThumbnailSide + 4, kThumbnailSide + 4);
    thumbnail_->setAlignment(Qt::AlignCenter);
    thumbnail_->setFrameShape(QFrame::StyledPanel);
    sizeNote_ = new QLabel(this);
    sizeNote_->setObjectName("SizeNote");
    sizeNote_->setWordWrap(true);
    sizeNote_->hide();

    auto* listRow = new QHBoxLayout;
    listRow->addWidget(listLabel_);
    listRow->addWidget(list_, 1);
    auto* fieldsAndThumbnail = new QHBoxLayout;
    fieldsAndThumbnail->addLayout(grid, 1);
    fieldsAndThumbnail->addWidget(thumbnail_, 0, Qt::AlignTop);
    auto* left = new QVBoxLayout;
    left->addLayout(listRow);
    left->addLayout(fieldsAndThumbnail);
    left->addWidget(sizeNote_);
    left->addStretch();

    ok_ = new QPushButton(tr("OK"), this);
    ok_->setObjectName("OkButton");
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName("CancelButton");
    apply_ = new QPushButton(tr("Appl&y"), this);
    apply_->setObjectName("ApplyButton");
    add_ = new QPushButton(tr("&Add"), this);
    add_->setObjectName("AddButton");
    delete_ = new QPushButton(tr("&Delete"), this);
    delete_->setObjectName("DeleteButton");
    // Long enough for "Cancel Add" without the column changing width.
    const int buttonWidth = add_->fontMetrics().horizontalAdvance(Str(IDS_CANCEL_ADD)) + 24;
    for (QPushButton* b : {ok_, cancel_, apply_, add_, delete_}) b->setMinimumWidth(buttonWidth);
    // Enter means OK and nothing else: while OK is greyed (no pictures) it
    // does nothing, rather than pressing whichever button has the focus.
    for (QPushButton* b : {cancel_, apply_, add_, delete_}) b->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(apply_);
    buttons->addSpacing(12);
    buttons->addWidget(add_);
    buttons->addWidget(delete_);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    // One screen pixel in twips at the true size: what is placed must not
    // depend on the zoom the liner happens to be shown at.
    const int dpi = host_.view() ? host_.view()->viewport()->logicalDpiX() : CurrentScreenResolution().x;
    px_ = static_cast<int>(MulDivRound(1, 1440, std::max(dpi, 1)));

    FillPlacements();
    Refill();

    connect(list_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!settingList_) PictureChosen(index);
    });
    // A Stretch or Center choice stays for the next Apply, so a value typed
    // afterwards would be overwritten by it: typing a length the choice sets
    // drops the choice.  A new size keeps Center, which then centres it.
    for (int i = 0; i < 4; ++i) {
        connect(fields_[i], &QLineEdit::textEdited, this, [this, i] {
            stretch_->setCurrentIndex(0);
            fit_->setCurrentIndex(0);
            if (i == kLeft || i == kTop) center_->setCurrentIndex(0);
            if (i == kWidth || i == kHeight) sizeNote_->hide();
        });
    }
    connect(add_, &QPushButton::clicked, this, &FormatPicturesDialog::AddClicked);
    connect(delete_, &QPushButton::clicked, this, &FormatPicturesDialog::DeleteClicked);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (!InStep()) return Refill();
        if (Apply()) Finish();
    });
    connect(apply_, &QPushButton::clicked, this, [this] {
        if (!InStep()) return Refill();
        if (!Apply()) return;
        delete_->setEnabled(true);
        add_->setEnabled(document_.liner().pictures.size() < kMaxPictures);
        add_->setText(tr("&Add"));
        cancel_->setText(Str(IDS_CLOSE));
        fields_[kLeft]->setFocus(Qt::OtherFocusReason);
    });
    connect(cancel_, &QPushButton::clicked, this, [this] { RequestClose(); });

    // Closing the program must not drop a rectangle that was never stored,
    // nor must replacing the Liner; the dialog then shows the new one's.
    host_.hostWindow()->installEventFilter(this);
    connect(&document_, &LinerDocument::aboutToReplaceLiner, this, [this](bool* proceed) {
        if (*proceed && !closing_ && InStep() && !ResolveChanges(true)) *proceed = false;
    });
    connect(&document_, &LinerDocument::linerReplaced, this, [this] {
        if (closing_) return;
        current_ = 0;
        Refill();
        FillPlacements();
    });
    // A step elsewhere, an Undo or a Redo: a rectangle being edited, and a
    // picture being added (which is not in the Liner), stay as typed;
    // otherwise the dialog shows the Liner as it now is.
    connect(&document_, &LinerDocument::aboutToChange, this, [this] {
        editing_ = !closing_ && InStep() && HasChanges();
    });
    connect(&document_, &LinerDocument::changed, this, [this] {
        if (closing_) return;
        if (!InStep()) {
            Refill();
        } else if (!editing_ && !adding() && current() >= 0) {
            ShowPicture(current_);
        }
        FillPlacements();
    });
}

// ---- the lists --------------------------------------------------------------------

void FormatPicturesDialog::FillPlacements() {
    const Liner& liner = document_.liner();
    const int stretchCode = stretch_->count() ? stretch_->currentData().toInt() : kPlaceNone;
    const int centerCode = center_->count() ? center_->currentData().toInt() : kPlaceNone;
    const int fitCode = fit_->count() ? fit_->currentData().toInt() : kPlaceNone;
    stretch_->clear();
    center_->clear();
    fit_->clear();
    auto offer = [&](int code, const QString& text, bool stretchOnly = false) {
        stretch_->addItem(text, code);
        if (!stretchOnly) center_->addItem(text, code);
        if (!stretchOnly) fit_->addItem(text, code);
    };
    const int overflow = liner.overflowHeight.twips;
    const int count = liner.overflowCount;
    offer(kPlaceNone, Str(IDS_PLACE_NONE));
    offer(kPlaceOriginalSize, Str(IDS_PLACE_ORIGINAL_SIZE), true);
    if (liner.totalHeight() != 0) offer(kPlaceEntireLiner, Str(IDS_PLACE_ENTIRE_LINER));
    if (liner.totalHeight() != overflow) offer(kPlaceAllButOverflow, Str(IDS_PLACE_ALL_BUT_OVERFLOW));
    if (liner.flapHeight.twips != 0) offer(kPlaceFeatureFlap, Str(IDS_PLACE_FEATURE_FLAP));
    if (liner.titleHeight.twips != 0) offer(kPlaceTitle, Str(IDS_PLACE_TITLE));
    if (liner.primaryHeight.twips != 0) offer(kPlacePrimarySong, Str(IDS_PLACE_PRIMARY_SONG));
    if (overflow != 0 && count == 1) offer(kPlaceOverflowBase + 1, Str(IDS_PLACE_OVERFLOW_SONG));
    if (overflow != 0 && count > 1) {
        QString base = Str(IDS_PLACE_OVERFLOW_SONG);
        if (base.endsWith(QLatin1Char(')'))) base.chop(1);
        const std::string number = LoadString(IDS_PLACE_OVERFLOW_NUMBER);
        for (int k = 1; k <= count; ++k) {
            offer(kPlaceOverflowBase + k, base + QString::fromStdString(FormatMessageText(number, {k})));
        }
    }
    auto select = [](QComboBox* box, int code) {
        const int index = box->findData(code);
        box->setCurrentIndex(index >= 0 ? index : 0);
    };
    select(stretch_, stretchCode);
    select(center_, centerCode);
    select(fit_, fitCode);
}

bool FormatPicturesDialog::InStep() const {
    const std::vector<Picture>& pictures = document_.liner().pictures;
    if (pictures.size() != names_.size()) return false;
    for (size_t i = 0; i < names_.size(); ++i) {
        if (pictures[i].fileName != names_[i]) return false;
    }
    return true;
}

// Builds the Picture list from the Liner and shows the picture at the same
// place (the first when there is none there).  Also how the dialog follows a
// liner opened or created while it is open, and an Undo that took pictures
// out or brought them back.  A picture being added stays, with its fields.
void FormatPicturesDialog::Refill() {
    const std::vector<Picture>& pictures = document_.liner().pictures;
    const int count = static_cast<int>(pictures.size());
    names_.clear();
    settingList_ = true;
    list_->clear();
    for (const Picture& picture : pictures) {
        names_.push_back(picture.fileName);
        list_->addItem(QString::fromStdString(PictureDisplayName(picture.fileName)));
    }
    if (added_) list_->addItem(QString::fromStdString(PictureDisplayName(added_->fileName)));
    settingList_ = false;
    if (before_ >= count) before_ = -1;
    if (added_) {
        current_ = count;
        SetListIndex(current_);
        EnablePictureControls(true);
        delete_->setEnabled(false);
        return;
    }
    add_->setText(tr("&Add"));
    add_->setEnabled(pictures.size() < kMaxPictures);
    EnablePictureControls(!pictures.empty());
    delete_->setEnabled(!pictures.empty());
    if (pictures.empty()) {
        current_ = 0;
        ClearFields();
    } else {
        current_ = std::clamp(current_, 0, count - 1);
        SetListIndex(current_);
        ShowPicture(current_);
    }
}

void FormatPicturesDialog::SetListIndex(int index) {
    settingList_ = true;
    list_->setCurrentIndex(index);
    settingList_ = false;
}

void FormatPicturesDialog::EnablePictureControls(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(listLabel_), static_cast<QWidget*>(list_),
                       static_cast<QWidget*>(stretchLabel_), static_cast<QWidget*>(stretch_),
                       static_cast<QWidget*>(centerLabel_), static_cast<QWidget*>(center_),
                       static_cast<QWidget*>(fitLabel_), static_cast<QWidget*>(fit_),
                       static_cast<QWidget*>(ok_), static_cast<QWidget*>(apply_)}) {
        w->setEnabled(on);
    }
    for (int i = 0; i < 4; ++i) {
        fieldLabels_[i]->setEnabled(on);
        fields_[i]->setEnabled(on);
    }
}

int FormatPicturesDialog::current() const {
    const int count = static_cast<int>(document_.liner().pictures.size());
    if (!InStep()) return -1;
    if (added_) return current_ == count ? current_ : -1;
    return current_ >= 0 && current_ < count ? current_ : -1;
}

const Picture* FormatPicturesDialog::Shown() const {
    if (added_) return &*added_;
    const std::vector<Picture>& pictures = document_.liner().pictures;
    return current_ >= 0 && current_ < static_cast<int>(pictures.size()) ? &pictures[static_cast<size_t>(current_)]
                                                                         : nullptr;
}

void FormatPicturesDialog::ResetPlacements() {
    for (QComboBox* box : {stretch_, center_, fit_}) box->setCurrentIndex(0);
}

void FormatPicturesDialog::ShowPicture(int index) {
    const Picture& picture = document_.liner().pictures[static_cast<size_t>(index)];
    fields_[kLeft]->setText(QString::fromStdString(FormatMeasurement(picture.left)));
    fields_[kTop]->setText(QString::fromStdString(FormatMeasurement(picture.top, true)));
    fields_[kWidth]->setText(QString::fromStdString(FormatMeasurement(picture.width)));
    fields_[kHeight]->setText(QString::fromStdString(FormatMeasurement(picture.height, true)));
    sizeNote_->hide();
    ShowThumbnail(&picture);
}

void FormatPicturesDialog::ShowThumbnail(const Picture* picture) {
    thumbnail_->clear();
    if (!picture) return;
    // What cannot be read the view reports; the thumbnail just stays empty.
    const PictureLookup found = thumbnails_.GetQuietly(0, *picture);
    if (!found.picture) return;
    const QImage image = found.picture->image();
    thumbnail_->setPixmap(QPixmap::fromImage(
        image.scaled(QSize(kThumbnailSide, kThumbnailSide), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void FormatPicturesDialog::ClearFields() {
    for (QLineEdit* f : fields_) f->clear();
    thumbnail_->clear();
    sizeNote_->hide();
}

void FormatPicturesDialog::ShowLength(int field, int twips) {
    const int clamped = std::clamp(twips, -32768, 32767);
    fields_[field]->setText(
        QString::fromStdString(FormatMeasurement(FromTwips(clamped, document_.liner().defaultUnits))));
}

// ---- Stretch, Center and storing -------------------------------------------------------

void FormatPicturesDialog::ApplyStretch() {
    const Liner& liner = document_.liner();
    const int code = stretch_->currentData().toInt();
    const int width = liner.width.twips;
    if (code == kPlaceNone) return;
    if (code == kPlaceOriginalSize) {
        const Picture& picture = *Shown();
        ShowLength(kLeft, 0);
        ShowLength(kTop, 0);
        fields_[kWidth]->setText(QString::fromStdString(FormatMeasurement(picture.naturalWidth)));
        fields_[kHeight]->setText(QString::fromStdString(FormatMeasurement(picture.naturalHeight, true)));
        return;
    }
    const std::optional<AreaSpan> span = SpanOf(liner, code);
    if (!span) return;
    ShowLength(kLeft, 0);
    ShowLength(kTop, span->top);
    ShowLength(kWidth, width + px_);
    // The whole liner takes in its bottom edge line as well.
    ShowLength(kHeight, span->height + px_ + (code == kPlaceEntireLiner ? 1 : 0));
}

void FormatPicturesDialog::ApplyFit() {
    const Liner& liner = document_.liner();
    const int code = fit_->currentData().toInt();
    const std::optional<AreaSpan> span = SpanOf(liner, code);
    if (code == kPlaceNone || !span) return;
    const Picture& picture = *Shown();
    int naturalWidth = picture.naturalWidth.twips, naturalHeight = picture.naturalHeight.twips;
    if (naturalWidth == 0 || naturalHeight == 0) {
        // Older liners can hold no natural size: the file still has its
        // proportions, and Fit never distorts the picture.
        QuietPrompter quiet;
        if (const auto examined = ExaminePictureFile(picture.fileName, quiet)) {
            naturalWidth = examined->naturalWidth;
            naturalHeight = examined->naturalHeight;
        }
    }
    const PicturePlace place =
        FitPictureInside(PicturePlace{0, span->top, liner.width.twips, span->height}, naturalWidth, naturalHeight);
    ShowLength(kLeft, place.left);
    ShowLength(kTop, place.depth);
    ShowLength(kWidth, place.width);
    ShowLength(kHeight, place.height);
}

bool FormatPicturesDialog::ApplyCenter() {
    const Liner& liner = document_.liner();
    const int code = center_->currentData().toInt();
    if (code == kPlaceNone) return true;
    const std::optional<Measurement> w = ReadField(kWidth, false, false);
    if (!w) return false;
    const std::optional<Measurement> h = ReadField(kHeight, false, false);
    if (!h) return false;
    const std::optional<AreaSpan> span = SpanOf(liner, code);
    if (!span) return true;
    const int width = liner.width.twips;
    const int room = span->height + px_ + (code == kPlaceEntireLiner ? 1 : 0);
    if (width + px_ + 1 < w->twips || room < h->twips) return true;
    ShowLength(kLeft, (width - w->twips + 1) / 2);
    ShowLength(kTop, code == kPlaceEntireLiner ? (span->height - h->twips + 1) / 2
                                                : span->top + (span->height - h->twips) / 2);
    return true;
}

std::optional<Measurement> FormatPicturesDialog::ReadField(int field, bool negate, bool quiet) {
    const std::string text = fields_[field]->text().toStdString();
    const MessageOwner owner = MessageOwner::Dialog(this);
    const FieldReading reading = ReadMeasurementField(text, true, negate, quiet, document_.liner().defaultUnits,
                                                      &host_.prompter(), &owner);
    if (!reading.value && !quiet) {
        fields_[field]->setFocus(Qt::OtherFocusReason);
        fields_[field]->selectAll();
    }
    return reading.value;
}

bool FormatPicturesDialog::Store() {
    Measurement read[4];
    for (int i = 0; i < 4; ++i) {
        const std::optional<Measurement> m = ReadField(i, i == kTop || i == kHeight, false);
        if (!m) return false;
        read[i] = *m;
    }
    Picture& picture = added_ ? *added_ : document_.liner().pictures[static_cast<size_t>(current_)];
    picture.left = read[kLeft];
    picture.top = read[kTop];
    picture.width = read[kWidth];
    picture.height = read[kHeight];
    sizeNote_->hide();
    if (added_) {
        StoreAdded(tr("Add Picture"));
    } else {
        document_.Commit(tr("Change Picture"), LinerDocument::kPictures);
    }
    return true;
}

void FormatPicturesDialog::StoreAdded(const QString& stepName) {
    Picture picture = std::move(*added_);
    added_.reset();
    names_.push_back(picture.fileName);
    document_.liner().pictures.push_back(std::move(picture));
    add_->setText(tr("&Add"));
    delete_->setEnabled(true);
    document_.Commit(stepName, LinerDocument::kPictures);
}

bool FormatPicturesDialog::Apply() {
    if (current() < 0) return false;
    ApplyStretch();
    ApplyFit();
    if (!ApplyCenter() || !Store()) {
        SetListIndex(current_);
        return false;
    }
    return true;
}

bool FormatPicturesDialog::HasChanges() {
    if (current() < 0) return false;
    if (added_) return true;
    const Picture& picture = document_.liner().pictures[static_cast<size_t>(current_)];
    const Measurement* stored[4] = {&picture.left, &picture.top, &picture.width, &picture.height};
    for (int i = 0; i < 4; ++i) {
        const std::optional<Measurement> m = ReadField(i, i == kTop || i == kHeight, true);
        if (!m || !(*m == *stored[i])) return true;
    }
    return false;
}

bool FormatPicturesDialog::ResolveChanges(bool dropAdded) {
    if (!HasChanges()) return true;
    const std::string name = PictureDisplayName(Shown()->fileName);
    const MessageResult answer =
        ShowMessage(host_.prompter(), MessageOwner::MainWindow(),
                    {MessageIcon::Question, MessageButtons::YesNoCancel, false}, IDS_SAVE_PICTURE, {name});
    if (answer == MessageResult::Cancel) return false;
    if (answer == MessageResult::Yes) return Store();
    // No: what was typed goes.  A picture being added stays in the list with
    // a zero rectangle, unless the dialog is closing.
    if (added_) {
        if (dropAdded) {
            RemoveAddedPicture();
        } else {
            StoreAdded(tr("Add Picture"));
        }
    }
    return true;
}

// The picture being added goes again (the Liner never held it), and the one
// on show before it comes back.
void FormatPicturesDialog::RemoveAddedPicture() {
    const std::vector<Picture>& pictures = document_.liner().pictures;
    added_.reset();
    settingList_ = true;
    list_->removeItem(static_cast<int>(pictures.size()));
    settingList_ = false;
    sizeNote_->hide();
    add_->setText(tr("&Add"));
    add_->setEnabled(true);
    if (!pictures.empty()) {
        current_ = std::clamp(before_, 0, static_cast<int>(pictures.size()) - 1);
        SetListIndex(current_);
        ShowPicture(current_);
        delete_->setEnabled(true);
    } else {
        current_ = 0;
        settingList_ = true;
        list_->clear();
        settingList_ = false;
        ClearFields();
        EnablePictureControls(false);
        delete_->setEnabled(false);
    }
}

// ---- the Picture list, Add and Delete ----------------------------------------------------

void FormatPicturesDialog::PictureChosen(int index) {
    if (!InStep()) return Refill();
    if (index < 0 || index == current_) return;
    if (!ResolveChanges(false) || index >= static_cast<int>(document_.liner().pictures.size())) {
        SetListIndex(current_);
        return;
    }
    current_ = index;
    SetListIndex(current_);
    ShowPicture(current_);
    ResetPlacements();
    delete_->setEnabled(true);
    add_->setText(tr("&Add"));
}

bool FormatPicturesDialog::SelectPicture(int index) {
    if (!InStep()) Refill();
    if (index < 0 || index >= static_cast<int>(document_.liner().pictures.size())) return false;
    PictureChosen(index);
    return current_ == index && !added_;
}

void FormatPicturesDialog::AddClicked() {
    if (!InStep()) return Refill();
    if (added_) {
        RemoveAddedPicture();
        list_->setFocus(Qt::OtherFocusReason);
        return;
    }
    AddPicture();
}

void FormatPicturesDialog::AddPicture() {
    Liner& liner = document_.liner();
    if (!liner.pictures.empty()) {
        if (!ResolveChanges(false)) {
            SetListIndex(current_);
            return;
        }
    }
    before_ = liner.pictures.empty() ? -1 : current_;

    Settings& settings = host_.settings();
    FileDialogRequest request;
    request.caption = Str(IDS_CAPTION_PICTURE_ADD);
    // One filter showing every picture type there is a reader for comes
    // first, and the dialog always opens on it.
    request.filter.pairs = PictureFilterPairs();
    request.filterIndex = 1;
    request.folder = QString::fromStdString(settings.pictureFolder);
    std::optional<FileDialogResult> chosen;
    if (chooser_) {
        chosen = chooser_(host_.hostWindow(), request);
    } else {
        QtFileDialogs dialogs;
        chosen = dialogs.Open(host_.hostWindow(), request);
    }
    if (!chosen) return;
    settings.pictureFolder = FolderOfChosenFile(chosen->path);
    settings.pictureFilterIndex = chosen->filterIndex;

    const std::string path = chosen->path.toStdString();
    const std::optional<PictureExamination> examined = ExaminePictureFile(path, host_.prompter());
    if (!examined) return;
    // The file dialog is modal to the main window: whatever happened
    // meanwhile, the list must still be the one shown.
    if (!InStep()) Refill();

    Picture picture;
    picture.formatIndex = examined->formatIndex;
    picture.fileName = path;
    picture.naturalWidth = FromTwips(examined->naturalWidth, liner.defaultUnits);
    picture.naturalHeight = FromTwips(examined->naturalHeight, liner.defaultUnits);
    before_ = liner.pictures.empty() ? -1 : current_;
    added_ = picture;

    // The picture's own size, unless it is larger than the liner: then the
    // largest size of its proportions that fits, and the dialog says so.
    ShowLength(kLeft, 0);
    ShowLength(kTop, 0);
    const int linerWidth = liner.width.twips, linerHeight = liner.totalHeight();
    if (linerWidth > 0 && linerHeight > 0 &&
        (examined->naturalWidth > linerWidth || -examined->naturalHeight > linerHeight)) {
        const PicturePlace fitted = FitPictureInside(PicturePlace{0, 0, linerWidth, linerHeight},
                                                     examined->naturalWidth, examined->naturalHeight);
        ShowLength(kWidth, fitted.width);
        ShowLength(kHeight, fitted.height);
        sizeNote_->setText(tr("The picture is larger than the liner: the size shown is the largest of its "
                              "proportions that fits. Stretch \"%1\" gives its own size.")
                               .arg(Str(IDS_PLACE_ORIGINAL_SIZE)));
        sizeNote_->show();
    } else {
        fields_[kWidth]->setText(QString::fromStdString(FormatMeasurement(picture.naturalWidth)));
        fields_[kHeight]->setText(QString::fromStdString(FormatMeasurement(picture.naturalHeight, true)));
        sizeNote_->hide();
    }

    current_ = static_cast<int>(liner.pictures.size());
    settingList_ = true;
    list_->addItem(QString::fromStdString(PictureDisplayName(path)));
    list_->setCurrentIndex(current_);
    settingList_ = false;
    add_->setText(Str(IDS_CANCEL_ADD));
    delete_->setEnabled(false);
    EnablePictureControls(true);
    ResetPlacements();
    ShowThumbnail(&*added_);
    fields_[kLeft]->setFocus(Qt::OtherFocusReason);
    fields_[kLeft]->selectAll();
}

void FormatPicturesDialog::DeleteClicked() {
    if (!InStep()) return Refill();
    if (added_ || current() < 0) return;
    std::vector<Picture>& pictures = document_.liner().pictures;
    const std::string name = PictureDisplayName(pictures[static_cast<size_t>(current_)].fileName);
    const MessageResult answer =
        ShowMessage(host_.prompter(), MessageOwner::MainWindow(),
                    {MessageIcon::Question, MessageButtons::YesNo, false}, IDS_DELETE_PICTURE, {name});
    if (answer == MessageResult::Yes) {
        pictures.erase(pictures.begin() + current_);
        names_.erase(names_.begin() + current_);
        if (LinerView* view = host_.view()) view->ForgetPicture(static_cast<size_t>(current_));
        settingList_ = true;
        list_->removeItem(current_);
        settingList_ = false;
        add_->setEnabled(true);
        if (!pictures.empty()) {
            current_ = std::min(current_, static_cast<int>(pictures.size()) - 1);
            SetListIndex(current_);
            ShowPicture(current_);
        } else {
            current_ = 0;
            ClearFields();
            EnablePictureControls(false);
            delete_->setEnabled(false);
        }
        cancel_->setText(Str(IDS_CLOSE));
        document_.Commit(tr("Delete Picture"), LinerDocument::kPictures);
    }
    list_->setFocus(Qt::OtherFocusReason);
}

// ---- closing --------------------------------------------------------------------------

bool FormatPicturesDialog::RequestClose() {
    if (closing_) return true;
    // A list that no longer matches the Liner has nothing of its own to keep.
    if (InStep() && !ResolveChanges(true)) return false;
    Finish();
    return true;
}

void FormatPicturesDialog::Finish() {
    closing_ = true;
    host_.hostWindow()->removeEventFilter(this);
    hide();
    deleteLater();
}

void FormatPicturesDialog::reject() { RequestClose(); }

void FormatPicturesDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    RequestClose();
}

void FormatPicturesDialog::changeEvent(QEvent* event) {
    // Coming back to the dialog: follow a replaced picture list and the
    // areas as Format Liner may have changed them.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !closing_) {
        if (!InStep()) Refill();
        FillPlacements();
    }
    QDialog::changeEvent(event);
}

bool FormatPicturesDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_.hostWindow() && event->type() == QEvent::Close && !closing_ && InStep() && !ResolveChanges(true)) {
        event->ignore();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- opening ----------------------------------------------------------------------------

void InstallPicturesDialog(DialogHost& host, PictureFileChooser chooser) {
    auto slot = std::make_shared<QPointer<FormatPicturesDialog>>();
    host.SetCommandHandler(kCmdFormatPictures, [&host, slot, chooser] {
        if (!*slot || (*slot)->closing()) *slot = new FormatPicturesDialog(host, chooser);
        // Opened on the picture selected on the liner.
        if (LinerView* view = host.view(); view && view->gestures().selected() >= 0) {
            (*slot)->SelectPicture(view->gestures().selected());
        }
        (*slot)->show();
        (*slot)->raise();
        (*slot)->activateWindow();
    });
    // While it is open it shows the picture selected on the liner; the
    // moves reach it as steps of the document.
    if (LinerView* view = host.view()) {
        QObject::connect(&view->gestures(), &PictureGestures::selectionChanged, view, [slot](int index) {
            FormatPicturesDialog* dialog = *slot;
            if (dialog && !dialog->closing() && dialog->isVisible() && index >= 0 && index != dialog->current()) {
                dialog->SelectPicture(index);
            }
        });
    }
}
