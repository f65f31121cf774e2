// Seed files for the liner and format readers, made from the bundled JSON
// liners and formats, written in the current layout and in the earlier ones.
#pragma once

#include "document/liner_file.h"

namespace fuzz {

// Writes the seeds of `kind` into `folder`.
void WriteLinerSeeds(const char* folder, FileKind kind);

}  // namespace fuzz
