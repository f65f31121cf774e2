// Read, write, read again: whatever the liner reader accepts must be written
// in the current layout and read back as the same Liner.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "document/liner_file.h"
#include "fuzz_support.h"
#include "liner_seeds.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return fuzz::WriteSeedsWhenAsked([](const char* folder) { fuzz::WriteLinerSeeds(folder, FileKind::Liner); });
}

namespace {

void RoundTrip(const std::vector<uint8_t>& bytes, FileKind kind) {
    Liner first;
    if (ParseLinerBytes(bytes, kind, first) != ParseStatus::Ok) return;
    auto written = SerializeLiner(first, kind);
    if (!written) {
        std::fprintf(stderr, "a Liner that was read cannot be written\n");
        std::abort();
    }
    Liner second;
    if (ParseLinerBytes(*written, kind, second) != ParseStatus::Ok) {
        std::fprintf(stderr, "the written file cannot be read back\n");
        std::abort();
    }
    if (!(first == second)) {
        std::fprintf(stderr, "the Liner read back differs from the one written\n");
        std::abort();
    }
    // Writing is a function of the Liner: the second write is the first.
    if (SerializeLiner(second, kind) != written) std::abort();

    // Saving compacts the fonts first.  What was compacted is read back as
    // it was written, and compacting it again changes nothing.
    CompactFonts(first, nullptr);
    auto compacted = SerializeLiner(first, kind);
    if (!compacted) std::abort();
    Liner third;
    if (ParseLinerBytes(*compacted, kind, third) != ParseStatus::Ok || !(third == first)) {
        std::fprintf(stderr, "a compacted Liner is not read back as it was written\n");
        std::abort();
    }
    CompactFonts(third, nullptr);
    if (!(third == first)) {
        std::fprintf(stderr, "compacting the fonts twice differs from compacting once\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    RoundTrip(bytes, FileKind::Liner);
    RoundTrip(bytes, FileKind::Format);
    return 0;
}
