// What the dialogs and the printing commands need from the program around
// them: the open document, the window that owns them, the user's settings and
// a few services of the window.  The main window is one; nothing here knows it.
#pragma once

#include <QString>
#include <functional>

#include "platform/prompter.h"

class LinerDocument;
class LinerView;
class QWidget;
struct FontEntry;
struct Settings;

class DialogHost {
public:
    virtual ~DialogHost() = default;

    virtual LinerDocument& document() = 0;
    // The owner of the dialogs; a dialog with unapplied edits watches it close.
    virtual QWidget* hostWindow() = 0;
    virtual Prompter& prompter() = 0;
    virtual Settings& settings() = 0;
    // The view of the Liner (none in some tests).
    virtual LinerView* view() const = 0;

    // The font chooser, owned by `owner`; false when cancelled.
    virtual bool ChooseFontFor(QWidget* owner, FontEntry& entry) = 0;
    // Lets a dialog take over a command; the command is enabled.
    virtual void SetCommandHandler(int command, std::function<void()> handler) = 0;
    // After the card's size changed: the window follows when the user wants it.
    virtual void FitWindowToLiner() = 0;
    virtual void UpdateScrollRanges() = 0;
    // Shows the Liner again after a change that is not a step of its own yet
    // (a picture being added).
    virtual void RepaintLiner() = 0;

    // The save prompt, and the two ways a liner comes back after printing a
    // batch of files replaced it.
    virtual MessageResult QuerySaveChanges() = 0;
    virtual bool OpenLinerFile(const QString& path) = 0;
    virtual bool NewLinerFromFormat(const QString& path) = 0;
};
