// The open liner as a document: the Liner, the file it belongs to, and the
// history of its changes.  Every change to the Liner becomes one named step
// here (Commit), which Undo and Redo take back and bring again; the window,
// the view and every open dialog follow the signals.
#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <vector>

#include "document/liner.h"

class LinerDocument : public QObject {
    Q_OBJECT

public:
    // What a change touched, so that each follower shows only what it must.
    enum Part : unsigned {
        kTexts = 1,       // title and songs
        kFormats = 2,     // area formats, line styles, tab stops, units
        kFonts = 4,       // the font table
        kFeatures = 8,    // features, choices, side letters
        kPictures = 16,   // the pictures
        kGeometry = 32,   // the card's measurements
        kWhole = 63,
    };

    explicit LinerDocument(QObject* parent = nullptr);
    ~LinerDocument() override;

    Liner& liner() { return liner_; }
    const Liner& liner() const { return liner_; }

    // ---- the file it belongs to ----
    const QString& currentPath() const { return currentPath_; }
    const QString& currentTitle() const { return currentTitle_; }
    const QString& formatPath() const { return formatPath_; }
    bool readOnly() const { return readOnly_; }
    void SetFile(const QString& path, const QString& title);
    void SetFormatPath(const QString& path) { formatPath_ = path; }
    void SetReadOnly(bool readOnly);

    // Modified: the Liner differs from the state last saved or opened.  It
    // follows the history: undoing back to the saved state clears it.
    bool modified() const { return !stack_.isClean(); }
    // Marks the Liner modified (true: no state in the history is the saved
    // one) or saved as it is now (false).
    void SetModified(bool modified);

    // The font chosen last in a text dialog; 0xFFFF until one is chosen.
    uint16_t& lastFont() { return lastFont_; }
    // Whether the next paint may warn that songs do not fit (armed by every
    // change that can make them overflow).
    bool& songFitWarning() { return songFitWarning_; }
    void ArmSongFitWarning() { songFitWarning_ = true; }

    // ---- changes ----
    // Something outside the Liner that changed with a step (the print margins
    // a new default unit re-expresses): how to take it back and bring it again.
    struct Alongside {
        std::function<void()> undo, redo;
    };
    // Makes what was done to liner() since the last step one undoable step
    // called `name`.  False (and no step) when the Liner did not change.
    bool Commit(const QString& name, unsigned parts, Alongside alongside = {});
    // As Commit, but a step of the same `burst` (not 0) as the step before it
    // joins that step: a run of arrow-key nudges undoes as one.
    bool CommitInBurst(const QString& name, unsigned parts, quint64 burst);
    // The Liner was replaced as a whole (New, Open, a batch print brought the
    // open one back): the history starts afresh, modified as told.
    void Replaced(bool modified);
    // Drops the fonts no text uses and renumbers the rest, as a save does,
    // without a step of its own: the history's current state takes the
    // compacted table.  Gives the old table and the new numbers (entry n - 1:
    // the new number of font n, 0 when dropped); empty numbers when nothing
    // was renumbered.
    std::vector<int> CompactFontsForSave(std::vector<FontEntry>* oldFonts);

    QUndoStack& history() { return stack_; }
    void Undo() { stack_.undo(); }
    void Redo() { stack_.redo(); }

    // Asks every open dialog with unapplied edits about them before the Liner
    // is replaced; false when one of them was cancelled.
    bool FinishDialogEdits();
    // Open dialogs show the Liner afresh after it was replaced as a whole.
    void AnnounceReplaced() { emit linerReplaced(); }
    // Tells open dialogs the new font numbers once a save renumbered them.
    void AnnounceRenumbered(const std::vector<FontEntry>& oldFonts, const std::vector<int>& newNumbers) {
        emit fontsRenumbered(oldFonts, newNumbers);
    }
    // Format Features rebuilt the feature list: `origins[j]` is the old index
    // of new feature j (-1: new).
    void AnnounceFeaturesRebuilt(const std::vector<int>& origins) { emit featuresRebuilt(origins); }

signals:
    // A step, an Undo or a Redo is about to change the Liner: liner() still
    // holds the Liner before it (dialogs note whether they hold edits).
    void aboutToChange();
    // A step, an Undo or a Redo changed these parts of the Liner.
    void changed(unsigned parts);
    void modifiedChanged(bool modified);
    // The path, title or read-only state changed.
    void fileChanged();
    // Before the Liner is replaced as a whole: each open dialog with unapplied
    // edits asks about them and clears `proceed` when the user cancels.
    void aboutToReplaceLiner(bool* proceed);
    void linerReplaced();
    void fontsRenumbered(const std::vector<FontEntry>& oldFonts, const std::vector<int>& newNumbers);
    void featuresRebuilt(const std::vector<int>& origins);

private:
    friend class LinerStep;
    // Undo and Redo: the Liner becomes `state` (and the last font its own
    // when the font table changes with it).
    void Restore(const Liner& state, uint16_t lastFont, unsigned parts);
    bool CommitStep(const QString& name, unsigned parts, Alongside alongside, quint64 burst);

    Liner liner_;
    // The Liner as the history's current state has it.
    Liner settled_;
    QUndoStack stack_;
    QString currentPath_, currentTitle_, formatPath_;
    bool readOnly_ = false;
    uint16_t lastFont_ = 0xFFFF;
    bool songFitWarning_ = true;
};
