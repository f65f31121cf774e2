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
    if (const char* folder = fuzz::SeedFolder()) {
        fuzz::WriteLinerSeeds(folder, FileKind::Liner);
        std::exit(0);
    }
    return 0;
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    RoundTrip(bytes, FileKind::Liner);
    RoundTrip(bytes, FileKind::Format);
    return 0;
}
