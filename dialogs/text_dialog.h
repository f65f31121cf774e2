// The Title Lines dialog and the two song-list dialogs: a multi-line edit
// whose characters each carry a font of the liner's font table, the font
// buttons, and Apply / OK / Cancel that write the text back into the Liner.
#pragma once

#include <QDialog>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <optional>

#include "document/liner_text.h"
#include "render/fonts.h"

class DialogHost;
class LinerDocument;
class QLabel;
class QMenu;
class QPushButton;

enum class TextDialogKind { Title, SongsA, SongsB };

// The edit field.  Every character's format carries its font number, so the
// font array is read off the document instead of being kept beside it.  Tab
// types the tab mark, shown as a coloured arrow; a typed "»" is the letter,
// kept in a variant of its font with the OEM character set, whose code page
// has it at another byte than the tab mark's.  Text typed or pasted takes the
// font of the text before it.  A character that font's code page lacks is
// given a variant of the font that has it (see FindFontForCharacter); only
// characters no code page holds never get in.
class FontTextEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit FontTextEdit(QWidget* parent = nullptr);

    // How a font number looks in the field (face and style, at the field's
    // own size); the number itself is added by the field.
    std::function<QTextCharFormat(int number)> look;
    // The code page of font `number` (`standard` stands in for a number that
    // names no font); Western when not set.
    std::function<int(int number, int standard)> codePage;
    // A font that stores `ch` in place of font `number`, adding a variant to
    // the font table when needed; when not set, only Western characters fit.
    std::function<FontForCharacter(int number, int standard, char16_t ch, std::u16string_view following)> fontFor;
    // Told when characters were refused (typed) or replaced by '?' (pasted):
    // once a burst of typing has paused, however many there were, so that no
    // message box takes keys that were meant for the field.
    std::function<void(bool pasted)> refused;
    // Told the same way when a character needed a font variant and the font
    // table was full.
    std::function<void()> tableFull;
    // How long typing must pause before refused characters are reported.
    static constexpr int kRefusalPauseMs = 600;

    // Puts a decoded text into the field; `standard` is the font of an
    // empty text.  Not undoable, and leaves the field unmodified.
    void Load(const DisplayText& display, int standard);
    // The field's text as stored bytes, each character in its font's code
    // page (lines joined by CR LF), with one font number per character, then
    // the font after the last one, then 0.
    DisplayText Read(int standard) const;
    // The selection as a range of Read()'s characters.
    std::pair<size_t, size_t> SelectionRange() const;
    // Gives the selected characters font `number`, or a variant of it for
    // characters its code page lacks (undoable).
    void SetSelectionFont(int number);
    // Gives every character its font's code page lacks (after that font's
    // character set changed) a variant that has it (undoable).
    void FitFonts();
    // Inserts `text` at `cursor`, starting in the font of `format` (one of
    // the field's) and switching to font variants as characters need them;
    // characters no code page holds become '?' and are reported.  One
    // undoable step.
    void InsertText(QTextCursor& cursor, const QString& text, const QTextCharFormat& format);
    // The Liner's font table was renumbered: every character, also in the
    // field's undo history, takes the number `renumber` gives for its own.
    void RenumberFonts(const std::function<int(int number)>& renumber);
    // Refused characters not reported yet are reported now.
    void ReportRefusals();

    // The field's text with tab marks as tab characters.
    QString Text() const;

    // The Undo, Cut, Copy, Paste and Clear menu, greyed for the present state.
    QMenu* CreateEditMenu(QWidget* parent);

    // One line only: Tab and Shift+Tab move the focus, Return reaches the
    // dialog's default button, and pasted line breaks and tabs become spaces.
    void SetSingleLine();

signals:
    // Ctrl+Return or Ctrl+Enter in a multi-line field: Return itself is a new
    // line, so this is the key for the dialog's OK.
    void acceptRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A dialog closing right after a refused key still says so.
    void hideEvent(QHideEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct FontRun {
        int start, end, number;
    };
    // The characters of [start, end) that need another font than `number`
    // (0: their own), with the font each needs; `full` is set when a
    // variant could not be added, and such characters keep their font.
    std::vector<FontRun> RunsNeedingFonts(int start, int end, int number, bool* full) const;
    void ApplyRuns(const std::vector<FontRun>& runs);
    QTextCharFormat FormatOf(int number) const;
    // The font number a character format stands for, `fallback` for none.
    int NumberOf(const QTextCharFormat& format, int fallback) const;
    int CodePageOf(int number) const;
    FontForCharacter FontFor(int number, char16_t ch, std::u16string_view following = {}) const;
    // Whether the text, inserted where the cursor is, needs no other font
    // than the one it would take there.
    bool FitsAtCursor(const QString& text, int* number, FontFit* worst) const;
    void InsertTyped(const QString& text);
    void Refused(bool pasted);
    void TableFull();

    bool singleLine_ = false;
    int standard_ = kFontTitle;
    // A character format keeps an index into this list rather than the font
    // number itself, so renumbering reaches the undo history too.
    mutable std::vector<int> numbers_;
    QTimer refusalTimer_;
    bool refusalPending_ = false;
    bool refusedPasted_ = false;
    bool tableFullPending_ = false;
};

// The font buttons of every dialog with a font-coded edit: gives the selected
// characters of `edit` a font chosen with the font chooser (owned by `owner`)
// or, with `useLast`, the last font chosen.  Without a selection the word at
// the cursor is taken; with no word there either the user is told to select
// text first, in `status` when the dialog has a status line, else in a
// message box.  Returns the font number given, or 0 when none.
int ChangeSelectionFont(DialogHost& host, QWidget* owner, FontTextEdit& edit, int standardFont,
                        bool useLast, QLabel* status = nullptr);

// Shows each character of `edit` in the face and style of its font from the
// open Liner, stores characters through the font table's code pages (adding
// font variants to the Liner as needed), and tells the user (in a box owned
// by `owner`) when characters no code page holds are refused or replaced, or
// when the font table is full.
void ShowLinerFonts(FontTextEdit& edit, DialogHost& host, QWidget* owner);

// Whether the last chosen font can be given (it exists in the font table).
bool LastFontAvailable(DialogHost& host);

class TextDialog : public QDialog {
    Q_OBJECT

public:
    TextDialog(DialogHost& host, TextDialogKind kind);
    ~TextDialog() override;

    // Writes the text into the Liner; false (nothing written) when it cannot
    // be kept there.
    bool Apply();
    // Cancel, Esc and the close box: asks about unapplied changes first.
    // True when the dialog closed.
    bool RequestClose();
    // Unapplied edits or font changes.
    bool HasChanges() const;
    // Hidden and about to be deleted.
    bool closing() const { return closing_; }

    TextDialogKind kind() const { return kind_; }
    FontTextEdit* editor() const { return edit_; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TextBlock& Block() const;
    void LoadText();
    // Asks about unapplied changes; false when the user cancelled (or the
    // text could not be applied).
    bool AskAboutChanges();
    int StandardFont() const;
    uint16_t SaveQuestion() const;
    // What Undo calls an Apply of this dialog.
    QString StepName() const;
    void FontButton(bool useLast);
    void UpdateLastFontButton();
    void Finish();

    DialogHost& host_;
    LinerDocument& document_;
    TextDialogKind kind_;
    FontTextEdit* edit_ = nullptr;
    QPushButton* fontButton_ = nullptr;
    QPushButton* lastFontButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* status_ = nullptr;
    bool fontChanged_ = false;
    bool closing_ = false;
    bool edited_ = false;
};

// Makes commands 108 (Title Lines), 109 and 110 (Songs Side A and B) open
// their dialog, or bring it forward when it is already open.
void InstallTextDialogs(DialogHost& host);
