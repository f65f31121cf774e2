// How the core talks to the user.  The program answers with message boxes,
// the command-line tool on standard error, tests with scripted answers.
#pragma once

#include <string>

class QObject;

enum class MessageIcon { None, Information, Question, Exclamation, Stop };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

struct MessageStyle {
    MessageIcon icon = MessageIcon::Exclamation;
    MessageButtons buttons = MessageButtons::Ok;
    bool systemModal = false;
};

// Who owns a message box: nobody, the main window, or a dialog.
struct MessageOwner {
    enum class Kind { None, MainWindow, Dialog };
    Kind kind = Kind::MainWindow;
    QObject* dialog = nullptr;

    static MessageOwner None() { return {Kind::None, nullptr}; }
    static MessageOwner MainWindow() { return {Kind::MainWindow, nullptr}; }
    static MessageOwner Dialog(QObject* d) { return {Kind::Dialog, d}; }
};

// The answer to the older-version merge question.
enum class MergeChoice { All, Text, Cancel };

// The answer to the offer of changes a crash left unsaved.
enum class RecoveryChoice { Recover, Discard, Later };

class Prompter {
public:
    virtual ~Prompter() = default;

    // Shows `text` with the caption "Reelcard"; returns the button pressed.
    virtual MessageResult Show(const MessageOwner& owner, const MessageStyle& style,
                               const std::string& text) = 0;

    // The merge dialog for a file of an earlier version; `caption` is the
    // file's title.
    virtual MergeChoice AskMerge(const std::string& caption) = 0;

    // Offers the unsaved changes a crash left behind (`text` names them):
    // Recover, Discard or Later.  Where nobody can answer, Later.
    virtual RecoveryChoice AskRecover(const std::string& text) {
        (void)text;
        return RecoveryChoice::Later;
    }

    // Asks the main window to close through its normal path (with the save
    // prompt).  Used after a fatal error.
    virtual void RequestClose() {}

    // Shows (true) or restores (false) the busy cursor around long work.
    virtual void SetBusy(bool) {}
};

// The answer a message box gives when its default button is taken.
MessageResult DefaultAnswer(MessageButtons buttons);
