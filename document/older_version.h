// Liner files of the earlier generation, merged into the open Liner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/prompter.h"

struct Liner;

enum class ImportOutcome { Merged, Cancelled, Failed };

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::Failed;
    MergeChoice choice = MergeChoice::Text;
};

// Merges the old file `bytes` into `liner`.  Unless `unattended` the user is
// asked how much to merge; `fileTitle` is the question's caption.  The Liner
// is changed only when the merge succeeds.
ImportResult ImportOlderVersion(Liner& liner, const std::vector<uint8_t>& bytes, bool unattended,
                                const std::string& fileTitle, Prompter& prompter);

// Whether the header's major version belongs to the earlier generation.
inline bool IsOlderMajor(uint16_t major) { return major < 4 || major > 10; }
