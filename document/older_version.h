// Liner files of the earlier generation, merged into the open Liner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/prompter.h"

struct Liner;
struct TextBlock;

enum class ImportOutcome { Merged, Cancelled, Failed };

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::Failed;
    MergeChoice choice = MergeChoice::Text;
};

// Merges the old file `bytes` into `liner`.  Unless `unattended` the user is
// asked how much to merge; `fileTitle` is the question's caption.  A merge
// that fails part-way may have changed `liner` already: callers merge into a
// copy and keep it only when the merge succeeds (as ReadLinerFile does).
ImportResult ImportOlderVersion(Liner& liner, const std::vector<uint8_t>& bytes, bool unattended,
                                const std::string& fileTitle, Prompter& prompter);

// Whether the header's major version belongs to the earlier generation.
inline bool IsOlderMajor(uint16_t major) {
    return major < 4 || major > 10;
}

// Bytes of an old feature name that take part in matching; the old program
// kept no more, so longer names are cut to this length.
constexpr size_t kOldFeatureNameLimit = 25;

// Selects `oldChoice` on `side` (0 = A, 1 = B) of the first "Centered with
// sides" feature named `oldName` (font changes and letter case ignored),
// inserting it in alphabetical order when the feature lacks it.  A choice
// that would take the block past 127 choices or the record past 65535 bytes
// is not inserted, and the selection stays as it was.
void MergeOldSelection(Liner& liner, const std::string& oldName, const std::string& oldChoice,
                       int side);

// The first two lines of a title, as the side headings of an old file use
// them: the second is the first again when the title has only one line.
struct OldTitleLines {
    std::string first, second;
};
OldTitleLines SplitOldTitle(const TextBlock& title);

// Puts `line` in font `fontNumber` and an empty line before the songs, which
// then start in the song font.  Returns false, changing nothing, when the
// songs would no longer fit a stored text (65535 bytes, 32767 lines).
bool InsertOldHeading(TextBlock& songs, const std::string& line, int fontNumber);
