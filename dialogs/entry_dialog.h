// The small modal dialogs that take one line of text whose characters carry
// fonts: a feature's name (Format Features) and a choice of a sided feature
// (Format Sides), the latter with buttons that add today's date or the time.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

class FontTextEdit;
class DialogHost;
class LinerDocument;
class QLabel;
class QPushButton;

enum class EntryKind { Feature, SidedChoice };
enum class EntryMode { Add, Change };

struct EntryRequest {
    EntryKind kind = EntryKind::Feature;
    EntryMode mode = EntryMode::Add;
    // Change: the font-coded text being changed.
    std::string text;
    // The prompt of a sided choice, "Enter text for <side> <feature>", as the
    // owner shows them (stored texts; font changes are dropped).
    std::string side;
    std::string feature;
};

class EntryDialog : public QDialog {
    Q_OBJECT

public:
    EntryDialog(DialogHost& host, QWidget* owner, const EntryRequest& request);

    // The font-coded text once the user confirmed; nothing otherwise.
    const std::optional<std::string>& entered() const { return entered_; }
    bool HasChanges() const;
    FontTextEdit* editor() const { return edit_; }

    void accept() override;  // OK and Enter
    void reject() override;  // Cancel, Esc and the close box

private:
    int StandardFont() const;
    bool Confirm();
    void FontButton(bool useLast);
    void InsertDateText(const std::string& text);
    void UpdateLastFontButton();

    DialogHost& host_;
    LinerDocument& document_;
    EntryKind kind_;
    FontTextEdit* edit_ = nullptr;
    QPushButton* lastFontButton_ = nullptr;
    bool fontChanged_ = false;
    std::optional<std::string> entered_;
};

// Runs the dialog modally over `owner`; the font-coded text on OK (or on Yes
// to the question about unsaved changes), nothing when the user gave up.
std::optional<std::string> RunEntryDialog(DialogHost& host, QWidget* owner, const EntryRequest& request);
