// The liner file reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "document/liner_file.h"
#include "fuzz_support.h"
#include "liner_seeds.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return fuzz::WriteSeedsWhenAsked([](const char* folder) { fuzz::WriteLinerSeeds(folder, FileKind::Liner); });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    Liner liner;
    EnsureStandardFonts(liner);
    const Liner before = liner;
    const ParseStatus status = ParseLinerBytes(bytes, FileKind::Liner, liner);
    // A refused file leaves the Liner as it was.
    if (status != ParseStatus::Ok && !(liner == before)) std::abort();
    if (status == ParseStatus::Ok) {
        // What was read must be something the painter can walk.
        if (liner.fonts.size() > kMaxFonts) std::abort();
        ParseTabStops(liner);
        (void)liner.totalHeight();
    }
    // The open dialog's title preview reads the same file quietly, and shows
    // the title the whole reader would.
    fuzz::MemoryFile file(data, size);
    const std::optional<TextBlock> preview = ReadTitlePreview(file.path());
    if (status == ParseStatus::Ok && (!preview || !(*preview == liner.title))) {
        std::fprintf(stderr, "the title preview differs from the title read\n");
        std::abort();
    }
    return 0;
}
