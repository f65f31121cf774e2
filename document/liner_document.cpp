#include "document/liner_document.h"

#include <QUndoCommand>
#include <algorithm>

// One step: the whole Liner before and after it.  A Liner is a few kilobytes
// (pictures are kept as file names), so two copies per step are cheap and
// bring back exactly what was there, fonts and their numbers included.
class LinerStep : public QUndoCommand {
public:
    LinerStep(LinerDocument& document, const QString& name, unsigned parts, Liner before, uint16_t lastFontBefore,
              LinerDocument::Alongside alongside, quint64 burst)
        : QUndoCommand(name),
          burst_(burst),
          document_(document),
          parts_(parts),
          alongside_(std::move(alongside)),
          before_(std::move(before)),
          after_(document.liner()),
          lastFontBefore_(lastFontBefore),
          lastFontAfter_(document.lastFont()) {}

    void undo() override {
        if (alongside_.undo) alongside_.undo();
        document_.Restore(before_, lastFontBefore_, parts_);
    }
    void redo() override {
        // Pushing the step runs it once: the Liner is already in that state.
        if (pushed_) {
            pushed_ = false;
            return;
        }
        if (alongside_.redo) alongside_.redo();
        document_.Restore(after_, lastFontAfter_, parts_);
    }

    int id() const override { return burst_ != 0 ? kBurstStep : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const LinerStep*>(other);
        if (next->burst_ != burst_ || next->text() != text() || next->alongside_.undo || alongside_.undo) return false;
        parts_ |= next->parts_;
        after_ = next->after_;
        lastFontAfter_ = next->lastFontAfter_;
        // Nudged back to where the burst began: nothing left to undo.
        setObsolete(after_ == before_);
        return true;
    }

    // A save compacted the fonts of the state this step leads to.
    void Settle(const Liner& after, uint16_t lastFont) {
        after_ = after;
        lastFontAfter_ = lastFont;
    }

private:
    static constexpr int kBurstStep = 1;
    quint64 burst_;
    LinerDocument& document_;
    unsigned parts_;
    LinerDocument::Alongside alongside_;
    Liner before_, after_;
    uint16_t lastFontBefore_, lastFontAfter_;
    bool pushed_ = true;
};

namespace {

// A change that can move the songs: of the songs themselves, or of the
// fonts, formats, side letters or geometry they are laid out with (a title
// edit or a picture cannot).
constexpr unsigned kMovesSongs =
    LinerDocument::kFonts | LinerDocument::kFormats | LinerDocument::kFeatures | LinerDocument::kGeometry;

}  // namespace

LinerDocument::LinerDocument(QObject* parent) : QObject(parent) {
    connect(&stack_, &QUndoStack::cleanChanged, this, [this](bool clean) { emit modifiedChanged(!clean); });
}

LinerDocument::~LinerDocument() {
    // The steps refer to this document; they go first, and nobody is told.
    blockSignals(true);
    const QSignalBlocker quiet(&stack_);
    stack_.clear();
}

void LinerDocument::SetFile(const QString& path, const QString& title) {
    currentPath_ = path;
    currentTitle_ = title;
    emit fileChanged();
}

void LinerDocument::SetReadOnly(bool readOnly) {
    if (readOnly_ == readOnly) return;
    readOnly_ = readOnly;
    emit fileChanged();
}

void LinerDocument::SetModified(bool modified) {
    if (modified) {
        stack_.resetClean();
    } else {
        stack_.setClean();
    }
}

bool LinerDocument::Commit(const QString& name, unsigned parts, Alongside alongside) {
    return CommitStep(name, parts, std::move(alongside), 0);
}

bool LinerDocument::CommitInBurst(const QString& name, unsigned parts, quint64 burst) {
    return CommitStep(name, parts, {}, burst);
}

namespace {

// Drawing marks each font it selects for turned text with this clip flag,
// and the flag stays in the entry (and so in the file).  It is no edit of
// the user's: the settled state takes it as well, so that a click or an OK
// that changed nothing after a paint makes no step and leaves the liner
// unmodified.
constexpr uint8_t kDrawnFontClip = 16;

void TakeDrawingMarks(Liner& settled, const Liner& drawn) {
    const size_t n = std::min(settled.fonts.size(), drawn.fonts.size());
    for (size_t i = 0; i < n; ++i) {
        LogFont& to = settled.fonts[i].logFont;
        const uint8_t from = drawn.fonts[i].logFont.clipPrecision;
        if ((from & ~kDrawnFontClip) == (to.clipPrecision & ~kDrawnFontClip)) to.clipPrecision = from;
    }
}

}  // namespace

bool LinerDocument::CommitStep(const QString& name, unsigned parts, Alongside alongside, quint64 burst) {
    TakeDrawingMarks(settled_, liner_);
    if (liner_ == settled_) return false;
    // Followers see the change as they see an Undo: first with the Liner as it
    // was, then as it is.
    Liner after = std::move(liner_);
    liner_ = settled_;
    emit aboutToChange();
    liner_ = std::move(after);
    uint16_t lastFontBefore = lastFont_;
    if (lastFont_ != 0xFFFF && lastFont_ > settled_.fonts.size()) lastFontBefore = 0xFFFF;
    // Only a change that can move the songs warns again; a title edit, an
    // Undo or a Redo leaves the marks on the liner to tell.
    if ((parts & kMovesSongs) || liner_.songsA != settled_.songsA || liner_.songsB != settled_.songsB) {
        songFitWarning_ = true;
    }
    auto* step = new LinerStep(*this, name, parts, std::move(settled_), lastFontBefore, std::move(alongside), burst);
    settled_ = liner_;
    stack_.push(step);
    emit changed(parts);
    return true;
}

void LinerDocument::Restore(const Liner& state, uint16_t lastFont, unsigned parts) {
    emit aboutToChange();
    const bool fontsChange = liner_.fonts != state.fonts;
    // A font chosen in an open dialog and not applied yet sits at the end of
    // the table; the dialog's text still names it, so a table that lacks only
    // such fonts keeps them (unused, they are dropped when the file is saved).
    std::vector<FontEntry> chosen;
    if (liner_.fonts.size() > state.fonts.size() &&
        std::equal(state.fonts.begin(), state.fonts.end(), liner_.fonts.begin())) {
        chosen.assign(liner_.fonts.begin() + static_cast<std::ptrdiff_t>(state.fonts.size()), liner_.fonts.end());
    }
    liner_ = state;
    liner_.fonts.insert(liner_.fonts.end(), chosen.begin(), chosen.end());
    settled_ = liner_;
    if (fontsChange) lastFont_ = lastFont;
    emit changed(parts);
}

void LinerDocument::Replaced(bool modified) {
    stack_.clear();
    settled_ = liner_;
    songFitWarning_ = true;
    if (modified) stack_.resetClean();
}

std::vector<int> LinerDocument::CompactFontsForSave(std::vector<FontEntry>* oldFonts) {
    TakeDrawingMarks(settled_, liner_);
    std::vector<FontEntry> before = liner_.fonts;
    std::vector<int> numbers;
    CompactFonts(liner_, &lastFont_, &numbers);
    // The state the history stands on is the compacted one: Redo back to it
    // gives the saved table, Undo the table each earlier step had.
    const bool unsettled = liner_ != settled_;
    CompactFonts(settled_, nullptr);
    if (!unsettled && stack_.index() > 0) {
        auto* step = const_cast<QUndoCommand*>(stack_.command(stack_.index() - 1));
        static_cast<LinerStep*>(step)->Settle(settled_, lastFont_);
    }
    bool renumbered = before.size() != liner_.fonts.size();
    for (size_t i = 0; i < numbers.size() && !renumbered; ++i) renumbered = numbers[i] != static_cast<int>(i) + 1;
    if (!renumbered) return {};
    if (oldFonts) *oldFonts = std::move(before);
    return numbers;
}

bool LinerDocument::FinishDialogEdits() {
    bool proceed = true;
    emit aboutToReplaceLiner(&proceed);
    return proceed;
}
