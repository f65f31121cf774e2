// The playlist readers (M3U, PLS) and the plain song list on arbitrary bytes:
// each input is read as all three.
#include <cstddef>
#include <cstdint>

#include "track_list_fuzz.h"

namespace {

const fuzz::Seeds kSeeds = {
    {"extended.m3u",
     "#EXTM3U\n#EXTALB:Album\n#EXTART:Band\n#EXTINF:192,Artist - Title\nsong.mp3\n"
     "#EXTINF:61 tvg-name=\"x,y\",Comma, in title\nhttp://radio.example/stream\n"
     "#EXTINF:-1,Lost\nsub\\lost.flac\nother.pls\n"},
    {"plain.m3u8", "\xEF\xBB\xBF" "file:///music/a%20b.ogg\n../up/c.wav\n"},
    {"entries.pls",
     "[playlist]\nFile1=a.mp3\nTitle1=Band - One\nLength1=200\nFile2=b.flac\nLength2=-1\n"
     "Title3=Only a title\nNumberOfEntries=3\nVersion=2\n"},
    {"songs.txt", "One 3:12\nTwo (4:01)\nThree\t1:02:03\nFour - 0:59\nNo length\n"},
    {"utf16.m3u", std::string("\xFF\xFE#\0E\0X\0T\0I\0N\0F\0:\0" "1\0,\0X\0\n\0a\0\n\0", 30)},
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return fuzz::WriteTrackListSeedsWhenAsked(kSeeds);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::ReadAsTrackLists(data, size, {"fuzz.m3u", "fuzz.pls", "fuzz.txt"});
}
