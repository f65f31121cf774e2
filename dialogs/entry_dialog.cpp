#include "dialogs/entry_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "dialogs/dialog_host.h"
#include "document/liner_document.h"
#include "dialogs/date_time.h"
#include "dialogs/text_dialog.h"
#include "document/liner_text.h"
#include "platform/messages.h"
#include "platform/qt_surface.h"
#include "platform/strings.h"

namespace {

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// A stored text as the user reads it: without its font changes.
QString Shown(const Liner& liner, const std::string& stored) {
    return FontCodedToUnicode(liner.fonts, stored, kFontFeatureName);
}

}  // namespace

EntryDialog::EntryDialog(DialogHost& host, QWidget* owner, const EntryRequest& request)
    : QDialog(owner ? owner : host.hostWindow()), host_(host), document_(host.document()), kind_(request.kind) {
    const bool choice = kind_ == EntryKind::SidedChoice;
    const bool add = request.mode == EntryMode::Add;
    setObjectName(choice ? "SidedChoiceEntryDialog" : "FeatureEntryDialog");
    setWindowTitle(Str(choice ? (add ? IDS_CAPTION_ADD_CHOICE : IDS_CAPTION_CHANGE_CHOICE)
                              : (add ? IDS_CAPTION_ADD_FEATURE : IDS_CAPTION_CHANGE_FEATURE)));
    setModal(true);

    edit_ = new FontTextEdit(this);
    edit_->setObjectName("EntryEdit");
    edit_->SetSingleLine();
    edit_->setLineWrapMode(QTextEdit::NoWrap);
    edit_->setMinimumWidth(360);
    edit_->document()->setDocumentMargin(3);
    edit_->setFixedHeight(edit_->fontMetrics().lineSpacing() * 3 / 2 + 6 + 2 * edit_->frameWidth());
    ShowLinerFonts(*edit_, host_, this);

    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName("OkButton");
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName("CancelButton");
    auto* fontButton = new QPushButton(tr("&Font..."), this);
    fontButton->setObjectName("FontButton");
    lastFontButton_ = new QPushButton(tr("&Last Font"), this);
    lastFontButton_->setObjectName("LastFontButton");
    connect(okButton, &QPushButton::clicked, this, &EntryDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &EntryDialog::reject);
    connect(fontButton, &QPushButton::clicked, this, [this] { FontButton(false); });
    connect(lastFontButton_, &QPushButton::clicked, this, [this] { FontButton(true); });

    auto* left = new QVBoxLayout;
    if (choice) {
        auto* prompt = new QLabel(Str(IDS_ENTER_TEXT_FOR) + " " + QString::fromStdString(request.side) + " " +
                                      Shown(document_.liner(), request.feature),
                                  this);
        prompt->setObjectName("PromptLabel");
        prompt->setTextFormat(Qt::PlainText);
        // A long feature name wraps rather than stretching the dialog.
        prompt->setWordWrap(true);
        left->addWidget(prompt);
    }
    left->addWidget(edit_);
    QWidget* previous = edit_;
    if (choice) {
        auto* dates = new QHBoxLayout;
        const struct {
            const char* name;
            QString text;
            std::string (*format)();
        } buttons[] = {
            {"LongDateButton", tr("L&ong Date"), [] { return FormatCurrentDate(DTF_NO_WEEKDAY); }},
            {"ShortDateButton", tr("&Short Date"), [] { return FormatCurrentDate(DTF_SHORT | DTF_NO_WEEKDAY); }},
            {"TimeButton", tr("&Time"), [] { return FormatCurrentTime(DTF_NO_SECONDS); }},
        };
        for (const auto& b : buttons) {
            auto* button = new QPushButton(b.text, this);
            button->setObjectName(b.name);
            button->setAutoDefault(false);
            connect(button, &QPushButton::clicked, this, [this, format = b.format] { InsertDateText(format()); });
            dates->addWidget(button);
            setTabOrder(previous, button);
            previous = button;
        }
        dates->addStretch();
        left->addLayout(dates);
    }
    left->addStretch();
    for (QWidget* next : {static_cast<QWidget*>(fontButton), static_cast<QWidget*>(lastFontButton_),
                          static_cast<QWidget*>(okButton), static_cast<QWidget*>(cancelButton)}) {
        setTabOrder(previous, next);
        previous = next;
    }
    fontButton->setAutoDefault(false);
    lastFontButton_->setAutoDefault(false);

    auto* right = new QVBoxLayout;
    right->addWidget(okButton);
    right->addWidget(cancelButton);
    right->addSpacing(12);
    right->addWidget(fontButton);
    right->addWidget(lastFontButton_);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    if (request.mode == EntryMode::Change) {
        edit_->Load(DecodeFontCodedText(request.text, StandardFont()), StandardFont());
    } else {
        edit_->Load(NewEmptyDisplayText(StandardFont()), StandardFont());
    }
    edit_->selectAll();
    UpdateLastFontButton();
    edit_->setFocus();
}

int EntryDialog::StandardFont() const { return kind_ == EntryKind::Feature ? kFontFeatureName : kFontFeature; }

bool EntryDialog::HasChanges() const { return edit_->document()->isModified() || fontChanged_; }

bool EntryDialog::Confirm() {
    edit_->ReportRefusals();
    edit_->FitFonts();
    const DisplayText display = edit_->Read(StandardFont());
    if (display.text.empty()) {
        ShowMessage(host_.prompter(), MessageOwner::Dialog(this), ErrorStyle(),
                    kind_ == EntryKind::Feature ? IDS_FEATURE_BLANK : IDS_CHOICE_BLANK);
        edit_->setFocus();
        return false;
    }
    entered_ = EncodeFontCodedText(display);
    return true;
}

void EntryDialog::accept() {
    if (Confirm()) QDialog::accept();
}

void EntryDialog::reject() {
    if (HasChanges()) {
        const MessageResult answer =
            ShowMessage(host_.prompter(), MessageOwner::Dialog(this),
                        {MessageIcon::Question, MessageButtons::YesNoCancel, false},
                        kind_ == EntryKind::Feature ? IDS_SAVE_FEATURE : IDS_SAVE_CHOICE);
        if (answer == MessageResult::Cancel) return;
        if (answer == MessageResult::Yes) {
            accept();
            return;
        }
    }
    entered_.reset();
    QDialog::reject();
}

void EntryDialog::UpdateLastFontButton() { lastFontButton_->setEnabled(LastFontAvailable(host_)); }

void EntryDialog::FontButton(bool useLast) {
    if (ChangeSelectionFont(host_, this, *edit_, StandardFont(), useLast) != 0) fontChanged_ = true;
    UpdateLastFontButton();
}

void EntryDialog::InsertDateText(const std::string& text) {
    // The date goes in as typed text would: in font variants where the
    // month's name needs them, '?' for what no code page holds.
    QString added = QString::fromStdString(text);
    QTextDocument* doc = edit_->document();
    if (!doc->isEmpty()) added.prepend(u' ');
    // The added characters take the font of the first character (of an
    // empty field: its standard font).
    QTextCursor first(doc);
    if (!doc->isEmpty()) first.movePosition(QTextCursor::NextCharacter);
    const QTextCharFormat format = first.charFormat();
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    edit_->InsertText(end, added, format);
    edit_->setTextCursor(end);
    edit_->setFocus();
}

std::optional<std::string> RunEntryDialog(DialogHost& host, QWidget* owner, const EntryRequest& request) {
    EntryDialog dialog(host, owner, request);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.entered();
}
