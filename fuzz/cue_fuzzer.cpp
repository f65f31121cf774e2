// The cue sheet reader (its own line check, then the cue sheet parser) on
// arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "track_list_fuzz.h"

namespace {

const fuzz::Seeds kSeeds = {
    {"album.cue",
     "REM GENRE Rock\nPERFORMER \"The Band\"\nTITLE \"The Album\"\nFILE \"whole.wav\" WAVE\n"
     "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
     "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Guest\"\n    FLAGS DCP PRE\n"
     "    INDEX 00 03:10:00\n    INDEX 01 03:12:37\n"
     "  TRACK 03 AUDIO\n    INDEX 01 05:00:00\n    POSTGAP 00:02:00\n"},
    {"files.cue",
     "CATALOG 1234567890123\nFILE \"a.flac\" FLAC\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
     "FILE \"b.mp3\" MP3\n  TRACK 02 AUDIO\n    PREGAP 00:01:00\n    INDEX 01 00:00:00\n"},
    {"order.cue",
     "FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 02:00:00\n"
     "  TRACK 02 AUDIO\n    INDEX 01 01:00:00\n"},
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return fuzz::WriteTrackListSeedsWhenAsked(kSeeds);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::ReadAsTrackLists(data, size, {"fuzz.cue"});
}
