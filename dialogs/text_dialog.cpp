#include "dialogs/text_dialog.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocumentFragment>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <memory>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "document/settings.h"
#include "document/liner_document.h"
#include "dialogs/import_songs_dialog.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/qt_surface.h"
#include "platform/strings.h"

namespace {

// Where a character's format keeps its font number.
constexpr int kFontNumberProperty = QTextFormat::UserProperty + 1;

// How the field shows a tab mark: an arrow, in a colour of its own, so that
// it is never taken for a letter (a "»" typed is the letter).  No code page
// holds the arrow, so it cannot be typed or pasted as a character.
constexpr char16_t kTabShown = u'\u2192';

// Colours the tab marks without touching the characters' own formats, so
// that text typed after a tab mark does not take its colour.
class TabMarkHighlighter : public QSyntaxHighlighter {
public:
    TabMarkHighlighter(QTextDocument* document, const QColor& color) : QSyntaxHighlighter(document) {
        mark_.setForeground(color);
        mark_.setFontWeight(QFont::Bold);
    }

protected:
    void highlightBlock(const QString& text) override {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == kTabShown) setFormat(static_cast<int>(i), 1, mark_);
        }
    }

private:
    QTextCharFormat mark_;
};

QString Str(uint16_t id) { return QString::fromStdString(LoadString(id)); }

// Control characters never stand in a liner's text (0x01 would read as a
// font change); line breaks are the field's blocks.
bool Control(QChar ch) { return ch.unicode() < 0x20 && ch != u'\n'; }

}  // namespace

// ---- the edit field ------------------------------------------------------------

FontTextEdit::FontTextEdit(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    // One row of the field is one line of the text; long lines scroll.
    setLineWrapMode(QTextEdit::NoWrap);
    setTabChangesFocus(false);
    new TabMarkHighlighter(document(), palette().color(QPalette::Link));
    refusalTimer_.setSingleShot(true);
    refusalTimer_.setInterval(kRefusalPauseMs);
    connect(&refusalTimer_, &QTimer::timeout, this, &FontTextEdit::ReportRefusals);
}

QTextCharFormat FontTextEdit::FormatOf(int number) const {
    QTextCharFormat format = look ? look(number) : QTextCharFormat();
    auto it = std::find(numbers_.begin(), numbers_.end(), number);
    if (it == numbers_.end()) it = numbers_.insert(numbers_.end(), number);
    format.setProperty(kFontNumberProperty, static_cast<int>(it - numbers_.begin()));
    return format;
}

int FontTextEdit::NumberOf(const QTextCharFormat& format, int fallback) const {
    bool ok = false;
    const int index = format.property(kFontNumberProperty).toInt(&ok);
    if (!ok || index < 0 || index >= static_cast<int>(numbers_.size())) return fallback;
    const int n = numbers_[static_cast<size_t>(index)];
    return n >= 1 && n <= kMaxFonts ? n : fallback;
}

void FontTextEdit::RenumberFonts(const std::function<int(int number)>& renumber) {
    for (int& n : numbers_) n = renumber(n);
}

int FontTextEdit::CodePageOf(int number) const {
    return codePage ? codePage(number, standard_) : kCodePageWestern;
}

FontForCharacter FontTextEdit::FontFor(int number, char16_t ch, std::u16string_view following) const {
    // Every font has the tab mark.
    if (ch == kTabShown || ch == u'\t') return {number, FontFit::Holds};
    if (fontFor) return fontFor(number, standard_, ch, following);
    if (UnicodeToCodePage(ch).has_value()) return {number, FontFit::Holds};
    return {0, FontFit::Unsupported};
}

void FontTextEdit::Refused(bool pasted) {
    refusalPending_ = true;
    refusedPasted_ = refusedPasted_ || pasted;
    refusalTimer_.start();
}

void FontTextEdit::TableFull() {
    tableFullPending_ = true;
    refusalTimer_.start();
}

void FontTextEdit::ReportRefusals() {
    refusalTimer_.stop();
    const bool full = tableFullPending_;
    tableFullPending_ = false;
    if (full && tableFull) tableFull();
    if (!refusalPending_) return;
    const bool pasted = refusedPasted_;
    refusalPending_ = false;
    refusedPasted_ = false;
    if (refused) refused(pasted);
}

void FontTextEdit::Load(const DisplayText& display, int standard) {
    QTextDocument* doc = document();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    numbers_.clear();
    standard_ = standard;
    auto fontAt = [&](size_t i) {
        const int n = i < display.fonts.size() ? display.fonts[i] : 0;
        return n >= 1 ? n : standard;
    };
    QTextCursor cursor(doc);
    // Typing at the very start of a line with nothing before it takes this.
    const QTextCharFormat first = FormatOf(display.text.empty() ? standard : fontAt(0));
    cursor.setBlockCharFormat(first);
    cursor.setCharFormat(first);

    const std::string& text = display.text;
    size_t i = 0;
    while (i < text.size()) {
        const int n = fontAt(i);
        if (text[i] == '\r' || text[i] == '\n') {
            // The line break keeps the font of its CR.
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++i;
            cursor.insertBlock(QTextBlockFormat(), FormatOf(n));
            continue;
        }
        QString run;
        const int codePage = CodePageOf(n);
        while (i < text.size() && fontAt(i) == n && text[i] != '\r' && text[i] != '\n') {
            const char16_t ch = CodePageToUnicode(static_cast<unsigned char>(text[i]), codePage);
            run += QChar(ch == u'\t' ? kTabShown : ch);
            ++i;
        }
        cursor.insertText(run, FormatOf(n));
    }
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    QTextCursor start(doc);
    setTextCursor(start);
    setCurrentCharFormat(first);
}

DisplayText FontTextEdit::Read(int standard) const {
    DisplayText d;
    int current = standard;
    const QTextDocument* doc = document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block != doc->begin()) {
            // A block's character format is that of the break before it.
            const int n = NumberOf(block.charFormat(), current);
            d.text += "\r\n";
            d.fonts.push_back(static_cast<uint8_t>(n));
            d.fonts.push_back(static_cast<uint8_t>(n));
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int n = NumberOf(fragment.charFormat(), current);
            const int codePage = CodePageOf(n);
            for (QChar ch : fragment.text()) {
                const std::optional<unsigned char> byte =
                    UnicodeToCodePage(ch == kTabShown ? u'\t' : ch.unicode(), codePage);
                d.text += static_cast<char>(byte && *byte >= 0x20 ? *byte : '?');
                d.fonts.push_back(static_cast<uint8_t>(n));
            }
            current = n;
        }
    }
    d.fonts.push_back(static_cast<uint8_t>(current));
    d.fonts.push_back(0);
    return d;
}

std::pair<size_t, size_t> FontTextEdit::SelectionRange() const {
    // Every line break before a position is one more character (CR LF).
    const QTextCursor cursor = textCursor();
    auto index = [this](int position) {
        return static_cast<size_t>(position + document()->findBlock(position).blockNumber());
    };
    return {index(cursor.selectionStart()), index(cursor.selectionEnd())};
}

std::vector<FontTextEdit::FontRun> FontTextEdit::RunsNeedingFonts(int start, int end, int number, bool* full) const {
    std::vector<FontRun> runs;
    const QTextDocument* doc = document();
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int old = NumberOf(fragment.charFormat(), standard_);
            const int wanted = number != 0 ? number : old;
            const QString text = fragment.text();
            for (int k = 0; k < text.size(); ++k) {
                const int pos = fragment.position() + k;
                if (pos < start || pos >= end) continue;
                const FontForCharacter fit = FontFor(wanted, text[k].unicode());
                int target = wanted;
                if (fit.fit == FontFit::Variant) target = fit.number;
                if (fit.fit == FontFit::TableFull) {
                    target = old;
                    *full = true;
                }
                if (target == wanted && (number != 0 || target == old)) continue;
                if (!runs.empty() && runs.back().end == pos && runs.back().number == target) {
                    ++runs.back().end;
                } else {
                    runs.push_back({pos, pos + 1, target});
                }
            }
        }
    }
    return runs;
}

void FontTextEdit::ApplyRuns(const std::vector<FontRun>& runs) {
    for (const FontRun& run : runs) {
        QTextCursor part(document());
        part.setPosition(run.start);
        part.setPosition(run.end, QTextCursor::KeepAnchor);
        part.mergeCharFormat(FormatOf(run.number));
    }
}

void FontTextEdit::SetSelectionFont(int number) {
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) return;
    // Each character the chosen font cannot store takes a variant of it;
    // with the table full it keeps the font it has.
    bool full = false;
    const std::vector<FontRun> runs = RunsNeedingFonts(cursor.selectionStart(), cursor.selectionEnd(), number, &full);
    cursor.beginEditBlock();
    cursor.mergeCharFormat(FormatOf(number));
    ApplyRuns(runs);
    cursor.endEditBlock();
    if (full) TableFull();
}

void FontTextEdit::FitFonts() {
    bool full = false;
    const std::vector<FontRun> runs = RunsNeedingFonts(0, document()->characterCount(), 0, &full);
    if (runs.empty()) return;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    ApplyRuns(runs);
    cursor.endEditBlock();
    if (full) TableFull();
}

void FontTextEdit::InsertText(QTextCursor& cursor, const QString& given, const QTextCharFormat& format) {
    const int number = NumberOf(format, standard_);
    const QString text = StorableForm(given);
    bool replaced = false;
    bool full = false;
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    QString run;
    int runNumber = number;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar ch = text[i];
        FontForCharacter fit{runNumber, FontFit::Holds};
        if (ch == u'\t') {
            ch = kTabShown;
        } else if (ch == kTabShown) {
            // Only the Tab key and a tab character make a tab mark.
            fit.fit = FontFit::Unsupported;
        } else if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            // Beyond the code pages altogether: one '?' for the pair.
            ++i;
            fit.fit = FontFit::Unsupported;
        } else if (Control(ch) || ch.isSurrogate()) {
            fit.fit = FontFit::Unsupported;
        } else {
            const auto* rest = reinterpret_cast<const char16_t*>(text.utf16()) + i + 1;
            fit = FontFor(runNumber, ch.unicode(), std::u16string_view(rest, static_cast<size_t>(text.size() - i - 1)));
        }
        if (fit.fit == FontFit::Unsupported || fit.fit == FontFit::TableFull) {
            (fit.fit == FontFit::TableFull ? full : replaced) = true;
            ch = u'?';
            fit.number = runNumber;
        }
        if (fit.number != runNumber && !run.isEmpty()) {
            cursor.insertText(run, FormatOf(runNumber));
            run.clear();
        }
        runNumber = fit.number;
        run += ch;
    }
    if (!run.isEmpty()) cursor.insertText(run, FormatOf(runNumber));
    cursor.endEditBlock();
    if (replaced) Refused(true);
    if (full) TableFull();
}

void FontTextEdit::InsertTyped(const QString& text) {
    QTextCursor cursor = textCursor();
    InsertText(cursor, text, cursor.charFormat());
    setTextCursor(cursor);
    ensureCursorVisible();
}

void FontTextEdit::SetSingleLine() {
    singleLine_ = true;
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void FontTextEdit::hideEvent(QHideEvent* event) {
    ReportRefusals();
    QTextEdit::hideEvent(event);
}

void FontTextEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Refusals are reported once typing pauses.
    if (refusalTimer_.isActive()) refusalTimer_.start();
    if (singleLine_ && (key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
        focusNextPrevChild(key == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    if (singleLine_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        event->ignore();
        return;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        if (event->modifiers() & Qt::ControlModifier) {
            // Ctrl+Tab leaves the field, as Tab does elsewhere.
            QWidget::focusNextPrevChild(key == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
        } else {
            InsertTyped(QStringLiteral("\t"));
        }
        event->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (event->modifiers() & Qt::ControlModifier)) {
        event->accept();
        emit acceptRequested();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Always a new line: a soft line break (Shift+Return) has no place
        // in a liner's text.
        QTextCursor cursor = textCursor();
        cursor.insertBlock();
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    const QString text = event->text();
    bool printable = !text.isEmpty();
    for (QChar ch : text) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) printable = false;
    }
    if (!printable) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    // A typed character takes the font of the text before it, or a variant
    // of that font when its code page lacks the character.
    QTextCursor cursor = textCursor();
    const int number = NumberOf(cursor.charFormat(), standard_);
    FontForCharacter fit{number, FontFit::Holds};
    for (QChar ch : text) {
        const FontForCharacter one = ch.isSurrogate() || ch == kTabShown ? FontForCharacter{0, FontFit::Unsupported}
                                                                         : FontFor(number, ch.unicode());
        if (one.fit == FontFit::Unsupported &&
            (ch.isSurrogate() || ch == kTabShown || StorableForm(QString(ch)) == QString(ch))) {
            Refused(false);
            event->accept();
            return;
        }
        if (one.fit == FontFit::TableFull) {
            TableFull();
            event->accept();
            return;
        }
        if (one.fit == FontFit::Variant) fit = one;
    }
    if (StorableForm(text) != text) {
        // A letter stored with its marks apart.
        InsertTyped(text);
        event->accept();
    } else if (fit.fit == FontFit::Holds) {
        QTextEdit::keyPressEvent(event);
    } else if (text.size() == 1 && !cursor.hasSelection()) {
        // The field inserts it, with the variant as the format to type in.
        setCurrentCharFormat(FormatOf(fit.number));
        QTextEdit::keyPressEvent(event);
    } else {
        InsertTyped(text);
        event->accept();
    }
}

void FontTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    const int number = NumberOf(textCursor().charFormat(), standard_);
    bool holds = true;
    for (QChar ch : commit) {
        if (Control(ch) || ch.isSurrogate() || ch == kTabShown || FontFor(number, ch.unicode()).fit != FontFit::Holds) {
            holds = false;
        }
    }
    if (holds) {
        QTextEdit::inputMethodEvent(event);
        return;
    }
    // The field takes the rest of the event; the committed text goes in
    // here, with font variants.
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(QString(), event->replacementStart(), event->replacementLength());
    QTextEdit::inputMethodEvent(&filtered);
    InsertTyped(commit);
}

void FontTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) return;
    QString text = source->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (QChar& ch : text) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator) {
            ch = singleLine_ ? u' ' : u'\n';
        } else if (ch == u'\t' && singleLine_) {
            ch = u' ';
        }
    }
    // Plain text takes the font of the text before it, as typing does.
    InsertTyped(text);
}

QMimeData* FontTextEdit::createMimeDataFromSelection() const {
    // Other programs, and this field again, get tab marks as tabs.
    auto* data = new QMimeData;
    data->setText(textCursor().selection().toPlainText().replace(QChar(kTabShown), QChar(u'\t')));
    return data;
}

QString FontTextEdit::Text() const { return toPlainText().replace(QChar(kTabShown), QChar(u'\t')); }

QMenu* FontTextEdit::CreateEditMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName("EditMenu");
    const bool selected = textCursor().hasSelection();
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    auto add = [&](uint16_t id, bool enabled, auto slot) {
        QAction* a = menu->addAction(Str(id));
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(IDS_EDIT_UNDO, document()->isUndoAvailable(), [this] { undo(); })->setObjectName("Undo");
    menu->addSeparator();
    add(IDS_EDIT_CUT, selected, [this] { cut(); })->setObjectName("Cut");
    add(IDS_EDIT_COPY, selected, [this] { copy(); })->setObjectName("Copy");
    add(IDS_EDIT_PASTE, clip && clip->hasText() && !clip->text().isEmpty(), [this] { paste(); })
        ->setObjectName("Paste");
    add(IDS_EDIT_CLEAR, selected, [this] {
        QTextCursor cursor = textCursor();
        cursor.removeSelectedText();
        setTextCursor(cursor);
    })->setObjectName("Clear");
    return menu;
}

void FontTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateEditMenu(this);
    menu->exec(event->globalPos());
    delete menu;
}

// ---- the dialog ------------------------------------------------------------------

TextDialog::TextDialog(DialogHost& host, TextDialogKind kind)
    : QDialog(host.hostWindow()), host_(host), document_(host.document()), kind_(kind) {
    switch (kind) {
        case TextDialogKind::Title:
            setObjectName("TitleLinesDialog");
            setWindowTitle(tr("Title Lines"));
            break;
        case TextDialogKind::SongsA:
            setObjectName("SongsSideADialog");
            setWindowTitle(Str(IDS_SONGS_CAPTION_PREFIX) + Str(IDS_SIDE_A));
            break;
        case TextDialogKind::SongsB:
            setObjectName("SongsSideBDialog");
            setWindowTitle(Str(IDS_SONGS_CAPTION_PREFIX) + Str(IDS_SIDE_B));
            break;
    }
    setModal(false);

    edit_ = new FontTextEdit(this);
    edit_->setObjectName("TextEdit");
    edit_->setMinimumSize(420, 260);
    ShowLinerFonts(*edit_, host_, this);

    okButton_ = new QPushButton(tr("OK"), this);
    okButton_->setObjectName("OkButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setObjectName("CancelButton");
    applyButton_ = new QPushButton(tr("Appl&y"), this);
    applyButton_->setObjectName("ApplyButton");
    fontButton_ = new QPushButton(tr("&Font..."), this);
    fontButton_->setObjectName("FontButton");
    lastFontButton_ = new QPushButton(tr("&Last Font"), this);
    lastFontButton_->setObjectName("LastFontButton");

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(applyButton_);
    buttons->addSpacing(16);
    buttons->addWidget(fontButton_);
    buttons->addWidget(lastFontButton_);
    buttons->addStretch();
    // A line under the field for what the font buttons need, so that no
    // message box takes the keys meant for the text.
    status_ = new QLabel(this);
    status_->setObjectName("StatusLine");
    status_->setWordWrap(true);
    auto* layout = new QHBoxLayout(this);
    auto* field = new QVBoxLayout;
    field->addWidget(edit_, 1);
    // The songs' total under the field, live as the user types.
    if (kind != TextDialogKind::Title) field->addWidget(AttachSideTotal(host_, this, *edit_));
    field->addWidget(status_);
    layout->addLayout(field, 1);
    layout->addLayout(buttons);
    // Ctrl+Tab from the field reaches the font buttons first.
    setTabOrder(edit_, fontButton_);
    setTabOrder(fontButton_, lastFontButton_);
    setTabOrder(lastFontButton_, okButton_);
    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, applyButton_);

    connect(okButton_, &QPushButton::clicked, this, [this] {
        if (Apply()) Finish();
    });
    connect(applyButton_, &QPushButton::clicked, this, [this] {
        if (!Apply()) return;
        cancelButton_->setText(Str(IDS_CLOSE));
        edit_->setFocus();
    });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { RequestClose(); });
    connect(edit_, &FontTextEdit::acceptRequested, okButton_, &QPushButton::click);
    connect(edit_, &QTextEdit::cursorPositionChanged, status_, &QLabel::clear);
    connect(fontButton_, &QPushButton::clicked, this, [this] { FontButton(false); });
    connect(lastFontButton_, &QPushButton::clicked, this, [this] { FontButton(true); });

    LoadText();
    UpdateLastFontButton();
    edit_->setFocus();

    // Closing the program must not drop edits that were never applied, nor
    // must replacing the Liner; the dialog then shows the new one's text.
    host_.hostWindow()->installEventFilter(this);
    connect(&document_, &LinerDocument::aboutToReplaceLiner, this, [this](bool* proceed) {
        if (*proceed && !closing_ && !AskAboutChanges()) *proceed = false;
    });
    connect(&document_, &LinerDocument::linerReplaced, this, [this] {
        if (closing_) return;
        LoadText();
        fontChanged_ = false;
        UpdateLastFontButton();
    });
    // A step elsewhere, an Undo or a Redo: edits not applied yet stay as
    // typed; otherwise the field shows the text as it now is.
    connect(&document_, &LinerDocument::aboutToChange, this, [this] { edited_ = HasChanges(); });
    connect(&document_, &LinerDocument::changed, this, [this] {
        if (closing_) return;
        if (!edited_) LoadText();
        UpdateLastFontButton();
    });
    // Saving renumbers the fonts: the field follows, and a font only the
    // field uses comes back into the table.
    connect(&document_, &LinerDocument::fontsRenumbered, this,
            [this](const std::vector<FontEntry>& oldFonts, const std::vector<int>& newNumbers) {
                edit_->RenumberFonts([&](int number) {
                    if (number < 1 || number > static_cast<int>(newNumbers.size())) return number;
                    const int renumbered = newNumbers[static_cast<size_t>(number - 1)];
                    if (renumbered != 0) return renumbered;
                    const int added = AddFont(document_.liner(), oldFonts[static_cast<size_t>(number - 1)],
                                              host_.prompter());
                    return added != 0 ? added : StandardFont();
                });
            });
}

void TextDialog::LoadText() {
    const TextBlock& block = Block();
    if (block.lineCount != 0) {
        edit_->Load(DecodeFontCodedText(block.text, StandardFont()), StandardFont());
    } else {
        edit_->Load(NewEmptyDisplayText(StandardFont()), StandardFont());
    }
}

TextDialog::~TextDialog() = default;

TextBlock& TextDialog::Block() const {
    Liner& liner = document_.liner();
    switch (kind_) {
        case TextDialogKind::SongsA: return liner.songsA;
        case TextDialogKind::SongsB: return liner.songsB;
        case TextDialogKind::Title: break;
    }
    return liner.title;
}

int TextDialog::StandardFont() const { return kind_ == TextDialogKind::Title ? kFontTitle : kFontSong; }

QString TextDialog::StepName() const {
    switch (kind_) {
        case TextDialogKind::SongsA: return tr("Songs Side A");
        case TextDialogKind::SongsB: return tr("Songs Side B");
        case TextDialogKind::Title: break;
    }
    return tr("Title Lines");
}

uint16_t TextDialog::SaveQuestion() const {
    switch (kind_) {
        case TextDialogKind::SongsA: return IDS_SAVE_SONGS_SIDE_A;
        case TextDialogKind::SongsB: return IDS_SAVE_SONGS_SIDE_B;
        case TextDialogKind::Title: break;
    }
    return IDS_SAVE_TITLE_LINES;
}

bool TextDialog::HasChanges() const { return edit_->document()->isModified() || fontChanged_; }

bool TextDialog::Apply() {
    // What was refused is told before the text goes in, however soon.
    edit_->ReportRefusals();
    // A font's character set may have changed meanwhile.
    edit_->FitFonts();
    const DisplayText display = edit_->Read(StandardFont());
    // An emptied field leaves no text at all, as a liner file read back
    // would have it, rather than one empty line.
    const int lines = display.text.empty() ? 0 : edit_->document()->blockCount();
    std::string coded = lines == 0 ? std::string() : EncodeFontCodedText(display);
    if (coded.size() > 0xFFFF || lines > INT16_MAX) {
        host_.prompter().Show(MessageOwner::Dialog(this), ErrorStyle(),
                                tr("The text is too long to be kept in a liner. Please shorten it.").toStdString());
        return false;
    }
    TextBlock& block = Block();
    block.lineCount = static_cast<int16_t>(lines);
    block.text = std::move(coded);

    document_.Commit(StepName(), LinerDocument::kTexts);
    fontChanged_ = false;
    edit_->document()->setModified(false);
    return true;
}

bool TextDialog::AskAboutChanges() {
    if (!HasChanges()) return true;
    const MessageResult answer =
        ShowMessage(host_.prompter(), MessageOwner::Dialog(this),
                    {MessageIcon::Question, MessageButtons::YesNoCancel, false}, SaveQuestion());
    if (answer == MessageResult::Cancel) return false;
    return answer != MessageResult::Yes || Apply();
}

bool TextDialog::RequestClose() {
    if (closing_) return true;
    if (!AskAboutChanges()) return false;
    Finish();
    return true;
}

void TextDialog::Finish() {
    closing_ = true;
    host_.hostWindow()->removeEventFilter(this);
    hide();
    deleteLater();
}

void TextDialog::reject() { RequestClose(); }

void TextDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    RequestClose();
}

void TextDialog::changeEvent(QEvent* event) {
    // Another dialog may have chosen a font meanwhile.
    if (event->type() == QEvent::ActivationChange) UpdateLastFontButton();
    QDialog::changeEvent(event);
}

bool TextDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_.hostWindow() && event->type() == QEvent::Close && !closing_ && !AskAboutChanges()) {
        event->ignore();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ShowLinerFonts(FontTextEdit& edit, DialogHost& host, QWidget* owner) {
    edit.look = [&host](int number) {
        QTextCharFormat format;
        if (!FontNumberExists(host.document().liner(), number)) return format;
        // Face and style show which font a character has; the size stays
        // the field's so that every text remains readable.
        const QFont font = MakeQFont(host.document().liner().fonts[number - 1].logFont);
        format.setFontFamilies(QStringList{font.family()});
        format.setFontWeight(font.weight());
        format.setFontItalic(font.italic());
        format.setFontUnderline(font.underline());
        format.setFontStrikeOut(font.strikeOut());
        return format;
    };
    edit.codePage = [&host](int number, int standard) {
        return CodePageOfFont(host.document().liner().fonts, number, standard);
    };
    edit.fontFor = [&host](int number, int standard, char16_t ch, std::u16string_view following) {
        return FindFontForCharacter(host.document().liner().fonts, number, standard, ch, following);
    };
    edit.refused = [&host, owner](bool pasted) {
        const QString text =
            pasted ? QObject::tr("Some characters cannot be kept in a liner: no character set of its "
                                 "fonts holds them. They were replaced by \"?\".")
                   : QObject::tr("This character cannot be kept in a liner: no character set of its "
                                 "fonts holds it.");
        host.prompter().Show(MessageOwner::Dialog(owner), ErrorStyle(), text.toStdString());
    };
    edit.tableFull = [&host, owner] {
        ShowMessage(host.prompter(), MessageOwner::Dialog(owner), {MessageIcon::Stop, MessageButtons::Ok, false},
                    IDS_TOO_MANY_FONTS);
    };
}

// The word the cursor stands in, or ends, as Unicode divides words. Qt's own
// word selection runs on over the tab mark's arrow and over quotation marks
// (they are no separators to it): a song's title would take its length's
// first digit along.
static QTextCursor WordAtCursor(const QTextCursor& cursor) {
    const QTextBlock block = cursor.block();
    const QString text = block.text();
    const int at = cursor.positionInBlock();
    const auto isWord = [&text](int start, int end) {
        for (int i = start; i < end; ++i) {
            if (text[i].isLetterOrNumber()) return true;
        }
        return false;
    };
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    int start = -1;
    int end = -1;
    for (int from = 0, to = static_cast<int>(words.toNextBoundary()); to > from;
         from = to, to = static_cast<int>(words.toNextBoundary())) {
        if (from > at) break;
        if (!isWord(from, to)) continue;
        start = from;  // a word that ends at the cursor, unless one starts there
        end = to;
        if (to > at) break;
    }
    QTextCursor word(cursor);
    if (start < 0 || end < at) {
        word.clearSelection();
        return word;
    }
    word.setPosition(block.position() + start);
    word.setPosition(block.position() + end, QTextCursor::KeepAnchor);
    return word;
}

bool LastFontAvailable(DialogHost& host) {
    const uint16_t last = host.document().lastFont();
    return last != 0xFFFF && FontNumberExists(host.document().liner(), last);
}

int ChangeSelectionFont(DialogHost& host, QWidget* owner, FontTextEdit& edit, int standardFont,
                        bool useLast, QLabel* status) {
    if (!edit.textCursor().hasSelection()) {
        // The word the cursor stands in, shown selected so that the user
        // sees what the font goes to.
        const QTextCursor word = WordAtCursor(edit.textCursor());
        if (word.hasSelection()) edit.setTextCursor(word);
    }
    if (!edit.textCursor().hasSelection()) {
        if (status) {
            status->setText(Str(IDS_SELECT_TEXT_FOR_FONT));
        } else {
            ShowMessage(host.prompter(), MessageOwner::Dialog(owner), ErrorStyle(), IDS_SELECT_TEXT_FOR_FONT);
        }
        edit.setFocus();
        return 0;
    }
    Liner& liner = host.document().liner();
    int number = 0;
    if (useLast) {
        if (LastFontAvailable(host)) number = host.document().lastFont();
    } else {
        const DisplayText display = edit.Read(standardFont);
        const auto [start, end] = edit.SelectionRange();
        std::optional<int> shared = SelectionFont(display, start, end);
        if (!shared) {
            // Letters kept in variants of one font share that font.
            for (size_t i = start; i < end && i < display.fonts.size(); ++i) {
                const int n = display.fonts[i];
                if (n == 0 || !FontNumberExists(liner, n)) continue;
                if (!shared) {
                    shared = n;
                } else if (n != *shared && !IsFontVariant(liner.fonts[n - 1], liner.fonts[*shared - 1])) {
                    shared.reset();
                    break;
                }
            }
        }
        FontEntry entry;
        if (shared && FontNumberExists(liner, *shared)) entry = liner.fonts[*shared - 1];
        if (host.ChooseFontFor(owner, entry)) {
            // The table grows now; the step that uses the font takes it in.
            number = FindOrAddFont(liner, entry, host.prompter());
            if (number != 0) host.document().lastFont() = static_cast<uint16_t>(number);
        }
    }
    if (number != 0) edit.SetSelectionFont(number);
    edit.setFocus();
    return number;
}

void TextDialog::UpdateLastFontButton() { lastFontButton_->setEnabled(LastFontAvailable(host_)); }

void TextDialog::FontButton(bool useLast) {
    const int number = ChangeSelectionFont(host_, this, *edit_, StandardFont(), useLast, status_);
    if (number != 0) fontChanged_ = true;
    UpdateLastFontButton();
    if (useLast && number != 0 && host_.settings().applyLastFont) Apply();
}

// ---- opening ------------------------------------------------------------------------

void InstallTextDialogs(DialogHost& host) {
    // One slot per kind: each dialog exists at most once.
    auto openDialogs = std::make_shared<std::array<QPointer<TextDialog>, 3>>();
    const std::pair<int, TextDialogKind> commands[] = {{kCmdTitleLines, TextDialogKind::Title},
                                                       {kCmdSongsSideA, TextDialogKind::SongsA},
                                                       {kCmdSongsSideB, TextDialogKind::SongsB}};
    int slot = 0;
    for (const auto& [command, kind] : commands) {
        host.SetCommandHandler(command, [&host, openDialogs, slot, kind = kind] {
            QPointer<TextDialog>& dialog = (*openDialogs)[slot];
            if (!dialog || dialog->closing()) dialog = new TextDialog(host, kind);
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
        });
        ++slot;
    }
}
