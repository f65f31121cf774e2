// The XSPF playlist reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "track_list_fuzz.h"

namespace {

const fuzz::Seeds kSeeds = {
    {"tape.xspf",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
     "  <title>Summer Tape</title><creator>Me</creator>\n  <trackList>\n"
     "    <track><location>a.wav</location><title>First</title><creator>Ann</creator>"
     "<album>Record</album><trackNum>1</trackNum><duration>61400</duration></track>\n"
     "    <track><location>file:///music/b%20c.flac</location></track>\n"
     "    <track><location>inner.m3u</location></track>\n"
     "  </trackList>\n</playlist>\n"},
    {"bare.xspf", "<playlist><trackList><track><title>Only</title></track></trackList></playlist>"},
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return fuzz::WriteTrackListSeedsWhenAsked(kSeeds);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::ReadAsTrackLists(data, size, {"fuzz.xspf"});
}
