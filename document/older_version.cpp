#include "document/older_version.h"

ImportResult ImportOlderVersion(Liner&, const std::vector<uint8_t>&, bool, const std::string&,
                                Prompter&) {
    // Merging files of the earlier generation is not available yet: such files
    // are refused like any file that cannot be read.
    return {ImportOutcome::Failed, MergeChoice::Text};
}
