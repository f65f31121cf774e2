// The format file reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/liner_file.h"
#include "fuzz_support.h"
#include "liner_seeds.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return fuzz::WriteSeedsWhenAsked([](const char* folder) { fuzz::WriteLinerSeeds(folder, FileKind::Format); });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    Liner liner;
    liner.title = {1, "kept"};
    liner.songsA = {2, "one\r\ntwo"};
    const ParseStatus status = ParseLinerBytes(bytes, FileKind::Format, liner);
    // A format file has no older-version import, and never touches the texts.
    if (status == ParseStatus::OlderVersion) std::abort();
    if (liner.title.text != "kept" || liner.songsA.lineCount != 2) std::abort();
    if (status == ParseStatus::Ok) (void)liner.totalHeight();
    return 0;
}
