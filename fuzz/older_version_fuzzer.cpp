// The import of liner files of the earlier generation, merged as All and as
// Text into an open Liner that has sided features to match.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document/byte_io.h"
#include "document/liner.h"
#include "document/liner_file.h"
#include "document/older_version.h"
#include "fuzz_support.h"

namespace {

class AnsweringPrompter : public Prompter {
public:
    explicit AnsweringPrompter(MergeChoice answer) : answer_(answer) {}
    MessageResult Show(const MessageOwner&, const MessageStyle& style, const std::string&) override {
        return DefaultAnswer(style.buttons);
    }
    MergeChoice AskMerge(const std::string&) override { return answer_; }

private:
    MergeChoice answer_;
};

Feature Sided(const std::string& name, std::vector<std::string> a, std::vector<std::string> b) {
    Feature f;
    f.style = kFeatureCenteredWithSides;
    f.name = name;
    f.sides[0].choices = std::move(a);
    f.sides[1].choices = std::move(b);
    return f;
}

// The Liner the old file is merged into.
Liner OpenLiner() {
    Liner l;
    EnsureStandardFonts(l);
    l.features.push_back(Sided("Noise \x01\x02Reduction", {"Dolby B", "None"}, {"dbx", "None"}));
    l.features.push_back(Sided("Tape", {"Chrome", "Normal"}, {"Metal"}));
    l.features.push_back(Sided("Source", {}, {}));
    Feature plain;
    plain.name = "Tape";
    l.features.push_back(plain);
    l.title = {2, "Old title\r\nSecond line"};
    l.songsA = {1, "A song"};
    return l;
}

// --- seeds: old files written field by field --------------------------------

void Field(std::vector<uint8_t>& b, const std::string& text, size_t size) {
    std::string f = text.substr(0, size);
    f.resize(size, '\0');
    b.insert(b.end(), f.begin(), f.end());
}

void OldFont(std::vector<uint8_t>& b, const std::string& face, uint16_t height) {
    for (uint16_t v : {height, uint16_t(0), uint16_t(0), uint16_t(0), uint16_t(400)}) fuzz::Put16(b, v);
    b.insert(b.end(), 8, 0);
    Field(b, face, 32);
}

struct OldSide {
    std::string choices[4];
    uint8_t layout = 3, primaryLetter = 1, flapLetter = 1, title1 = 0, title2 = 0;
    uint16_t alignment = 270, margin = 0, marginFraction = 25, wrap = 0, wrapFraction = 5;
};

void Side(std::vector<uint8_t>& b, const OldSide& s) {
    Field(b, s.choices[2], 20);
    Field(b, s.choices[3], 20);
    b.push_back(s.layout);
    b.push_back(0);
    b.push_back(s.primaryLetter);
    b.push_back(s.flapLetter);
    for (uint16_t v : {s.alignment, s.margin, s.marginFraction, s.wrap, s.wrapFraction}) fuzz::Put16(b, v);
    b.push_back(s.title1);
    b.push_back(s.title2);
    if (s.layout < 3 || s.layout > 8) {
        fuzz::Put16(b, 0xBEEF);
        Field(b, s.choices[0], 18);
    } else {
        Field(b, s.choices[0], 20);
    }
    Field(b, s.choices[1], 20);
}

void Text(std::vector<uint8_t>& b, int16_t lines, const std::string& text) {
    fuzz::Put16(b, static_cast<uint16_t>(lines));
    if (lines != 0) {
        fuzz::Put16(b, static_cast<uint16_t>(text.size()));
        b.insert(b.end(), text.begin(), text.end());
    }
}

std::vector<uint8_t> OldFile(const OldSide& a, const OldSide& bSide, uint16_t titleAlign) {
    std::vector<uint8_t> b;
    Side(b, a);
    Side(b, bSide);
    Text(b, 2, "Side one\r\nSide two");
    Text(b, 2, "\x01\x05Song\xBB" "3:10\r\nAnother");
    Text(b, 0, "");
    fuzz::Put16(b, 203);
    fuzz::Put16(b, 209);
    fuzz::Put16(b, 211);
    b.insert(b.end(), 8, 0);
    for (int i = 0; i < 5; ++i) OldFont(b, "Arial", static_cast<uint16_t>(200 + 20 * i));
    b.insert(b.end(), 20, 0);
    b.push_back(1);  // invert
    b.push_back(0);  // bisect
    fuzz::Put16(b, titleAlign);
    fuzz::Put16(b, 0);
    fuzz::Put16(b, 3);
    b.push_back(1);  // split title
    b.insert(b.end(), 8, 0);
    for (const char* name : {"Noise Reduction", "TAPE", "Source", "Equalization"}) {
        const std::string n = name;
        fuzz::Put16(b, static_cast<uint16_t>(n.size()));
        b.insert(b.end(), n.begin(), n.end());
    }
    b.push_back(1);  // one up
    b.insert(b.end(), 2, 0);
    fuzz::Put16(b, 0);
    fuzz::Put16(b, 2);
    b.insert(b.end(), 24, 0);
    OldFont(b, "Times New Roman", 280);
    return b;
}

void WriteSeeds(const char* folder) {
    OldSide a, b;
    a.choices[0] = "Dolby C";
    a.choices[1] = "Chrome";
    a.choices[2] = "CD";
    b.choices[0] = "None";
    b.choices[1] = "Metal";
    auto plain = OldFile(a, b, 249);
    fuzz::WriteSeed(folder, "older-plain", plain);
    OldSide ta = a, tb = b;
    ta.title1 = 1;
    tb.title2 = 1;
    ta.layout = 9;
    tb.layout = 0;
    ta.alignment = 272;
    tb.alignment = 271;
    ta.primaryLetter = 0;
    tb.flapLetter = 0;
    fuzz::WriteSeed(folder, "older-headings-and-layouts", OldFile(ta, tb, 251));
    // Files cut short: after the texts, inside the fonts, inside the names.
    auto cut = plain;
    cut.resize(192 + (2 + 2 + 18) + (2 + 2 + 20) + 2);
    fuzz::WriteSeed(folder, "older-ends-after-texts", cut);
    cut = plain;
    cut.resize(cut.size() - 50 - 24 - 4 - 3 - 30);
    fuzz::WriteSeed(folder, "older-ends-in-names", cut);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return fuzz::WriteSeedsWhenAsked(WriteSeeds); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    static const Liner open = OpenLiner();
    for (MergeChoice choice : {MergeChoice::All, MergeChoice::Text}) {
        Liner liner = open;
        AnsweringPrompter prompter(choice);
        ImportResult result = ImportOlderVersion(liner, bytes, false, "old.cas", prompter);
        if (result.outcome == ImportOutcome::Merged) {
            // A merged Liner must be one the program can save, and saving
            // then opening it must give the same Liner back.
            CompactFonts(liner, nullptr);
            auto saved = SerializeLiner(liner, FileKind::Liner);
            if (!saved) std::abort();
            Liner reopened;
            if (ParseLinerBytes(*saved, FileKind::Liner, reopened) != ParseStatus::Ok) std::abort();
            if (!(reopened == liner)) {
                std::fprintf(stderr, "a merged Liner changes when saved and opened again\n");
                std::abort();
            }
        }
    }
    return 0;
}
