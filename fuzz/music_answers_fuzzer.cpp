// The readers of MusicBrainz answers: a search, a release, a disc id.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "songs/music_answers.h"

namespace {

std::vector<uint8_t> Bytes(const char* text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

void WriteSeeds(const char* folder) {
    fuzz::WriteSeed(folder, "search",
                    Bytes(R"({"count":1,"offset":0,"releases":[{"id":"8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11",)"
                          R"("title":"T","date":"1987-03-02","country":"GB","track-count":2,)"
                          R"("artist-credit":[{"name":"A","joinphrase":" & "},{"name":"B"}],)"
                          R"("media":[{"format":"CD","track-count":2}]}]})"));
    const char* release =
        R"({"id":"8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11","title":"T","artist-credit":[{"name":"A"}],)"
        R"("media":[{"position":1,"format":"CD","discs":[{"id":"49HHV7Eb8UKF3aQiNmu1GR8vKTY-"}],"tracks":[)"
        R"({"position":1,"title":"One","length":201499,"artist-credit":[{"name":"A","joinphrase":" feat. "},{"name":"C"}]},)"
        R"({"position":2,"recording":{"title":"Two","length":95600}}]},)"
        R"({"position":2,"format":"CD","title":"Bonus","tracks":[{"title":"Three","length":null}]}]})";
    fuzz::WriteSeed(folder, "release", Bytes(release));
    fuzz::WriteSeed(folder, "discid",
                    Bytes((std::string(R"({"id":"49HHV7Eb8UKF3aQiNmu1GR8vKTY-","releases":[)") + release + "]}").c_str()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString why;
    if (auto list = ReadReleaseSearch(json, &why)) {
        for (const ReleaseSummary& s : *list) {
            if (!ParseReleaseId(s.id)) std::abort();  // only releases with an id are kept
        }
    }
    if (auto release = ReadRelease(json, &why)) {
        size_t count = 0;
        for (const ReleaseDisc& disc : release->discs) count += disc.tracks.size();
        if (release->Tracks().size() != count) std::abort();
    } else if (why.isEmpty()) {
        std::fprintf(stderr, "a refused release without a reason\n");
        std::abort();
    }
    ReadDiscIdAnswer(json, &why);
    return 0;
}
