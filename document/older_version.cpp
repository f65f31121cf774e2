#include "document/older_version.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "document/byte_io.h"
#include "document/liner.h"
#include "document/measurement.h"
#include "platform/prompter.h"

namespace {

// The earlier generation starts with two 96-byte blocks, one per side.
constexpr size_t kSideBlockSize = 96;
constexpr size_t kSettingsBlockSize = 293;
constexpr size_t kOldChoiceSize = 20;

// Alignment codes of the old files.
constexpr uint16_t kOldTitleLeft = 249;
constexpr uint16_t kOldSongLeft = 270;
constexpr uint16_t kOldLetterNormal = 211;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// An old length: a whole part and its fraction digits, both stored as numbers.
struct OldLength {
    uint16_t whole = 0;
    uint16_t fraction = 0;
};

// One side block, decoded.
struct OldSide {
    // Choice texts of old features 1 to 4, in feature order.
    std::array<std::string, 4> choices;
    uint8_t primaryLetter = 0;
    uint8_t flapLetter = 0;
    uint16_t alignmentCode = kOldSongLeft;
    OldLength margin, wrap;
    bool titleLine = false;
};

// A zero-terminated text inside a fixed field; a field without a terminator
// is taken whole.
std::string FieldText(const uint8_t* field, size_t size) {
    const void* zero = std::memchr(field, 0, size);
    size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - field) : size;
    return std::string(reinterpret_cast<const char*>(field), n);
}

bool ReadSideBlock(ByteReader& r, OldSide& side) {
    std::array<uint8_t, kSideBlockSize> b{};
    if (!r.Bytes(b.data(), b.size())) return false;
    // Blocks of the other layouts put a 2-byte field before the first choice.
    const uint8_t layout = b[40];
    if (layout < 3 || layout > 8) std::memmove(&b[56], &b[58], 18);

    side.choices[0] = FieldText(&b[56], kOldChoiceSize);
    side.choices[1] = FieldText(&b[76], kOldChoiceSize);
    side.choices[2] = FieldText(&b[0], kOldChoiceSize);
    side.choices[3] = FieldText(&b[20], kOldChoiceSize);
    side.primaryLetter = b[42];
    side.flapLetter = b[43];
    side.alignmentCode = Le16(&b[44]);
    side.margin = {Le16(&b[46]), Le16(&b[48])};
    side.wrap = {Le16(&b[50]), Le16(&b[52])};
    side.titleLine = b[54] != 0 || b[55] != 0;
    return true;
}

bool ReadTextBlock(ByteReader& r, TextBlock& block) {
    block = TextBlock{};
    if (!r.I16(block.lineCount)) return false;
    if (block.lineCount == 0) return true;
    if (!r.String(block.text)) return false;
    if (block.text.empty()) block.lineCount = 0;
    return true;
}

bool ReadOldLength(ByteReader& r, OldLength& length) {
    OldLength read;
    if (!r.U16(read.whole) || !r.U16(read.fraction)) return false;
    length = read;
    return true;
}

// Turns an old length into a Measurement without unit, so that it means the
// default unit in force.  A value that does not fit leaves `target` as it is.
void ApplyOldLength(const OldLength& length, int defaultUnit, Measurement& target) {
    std::string text = std::to_string(length.whole) + "." + std::to_string(length.fraction);
    if (auto m = ParseMeasurement(text, false, defaultUnit)) target = *m;
}

// The margin goes to the side the text is aligned to; centred text has none.
void ApplyOldMargin(const OldLength& margin, int defaultUnit, AreaFormat& area) {
    if (area.alignment == kAlignLeft) ApplyOldLength(margin, defaultUnit, area.left);
    if (area.alignment == kAlignRight) ApplyOldLength(margin, defaultUnit, area.right);
}

// An old alignment code relative to the code of "Left".  Codes the old
// program never wrote leave the alignment as it is.
void ApplyOldAlignment(uint16_t code, uint16_t leftCode, uint16_t& alignment) {
    if (code >= leftCode && code <= leftCode + kAlignRight) {
        alignment = static_cast<uint16_t>(code - leftCode);
    }
}

uint16_t ConvertLineCode(uint16_t code) {
    // Cut codes 201 to 205 and fold codes 206 to 210 name the same five styles.
    static constexpr uint16_t kStyles[5] = {2, 0, 1, 3, 4};
    if (code >= 201 && code <= 210) return kStyles[(code - 201) % 5];
    return code;
}

bool ReadOldFont(ByteReader& r, LogFont& font) {
    uint16_t height, width, escapement, orientation, weight;
    LogFont f;
    char face[32];
    if (!r.U16(height) || !r.U16(width) || !r.U16(escapement) || !r.U16(orientation) ||
        !r.U16(weight) || !r.U8(f.italic) || !r.U8(f.underline) || !r.U8(f.strikeOut) ||
        !r.U8(f.charSet) || !r.U8(f.outPrecision) || !r.U8(f.clipPrecision) || !r.U8(f.quality) ||
        !r.U8(f.pitchAndFamily) || !r.Bytes(face, sizeof face)) {
        return false;
    }
    // The 16-bit fields widen as unsigned values.
    f.height = height;
    f.width = width;
    f.escapement = escapement;
    f.orientation = orientation;
    f.weight = weight;
    // Only the name up to its terminator counts; whatever followed it in the
    // old buffer is dropped so that equal fonts compare equal.
    f.SetFaceName(FieldText(reinterpret_cast<const uint8_t*>(face), sizeof face));
    font = f;
    return true;
}

// Fonts compared the way the side-title font is looked up: every field of the
// description, the face name up to its terminator, but not the colour.
bool SameFont(const LogFont& a, const LogFont& b) {
    return a.height == b.height && a.width == b.width && a.escapement == b.escapement &&
           a.orientation == b.orientation && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.charSet == b.charSet &&
           a.outPrecision == b.outPrecision && a.clipPrecision == b.clipPrecision &&
           a.quality == b.quality && a.pitchAndFamily == b.pitchAndFamily &&
           a.FaceName() == b.FaceName();
}

// Letter case folded the Windows-1252 way.
unsigned char FoldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
        case 0x8A:
            return 0x9A;  // S caron
        case 0x8C:
            return 0x9C;  // OE
        case 0x8E:
            return 0x9E;  // Z caron
        case 0x9F:
            return 0xFF;  // Y diaeresis
        default:
            return c;
    }
}

// Orders two texts without their font changes and without regard to case.
int CompareLoosely(const std::string& a, const std::string& b) {
    const std::string x = StripFontChanges(a), y = StripFontChanges(b);
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char cx = FoldCase(static_cast<unsigned char>(x[i]));
        unsigned char cy = FoldCase(static_cast<unsigned char>(y[i]));
        if (cx != cy) return cx < cy ? -1 : 1;
    }
    if (x.size() == y.size()) return 0;
    return x.size() < y.size() ? -1 : 1;
}

}  // namespace

void MergeOldSelection(Liner& liner, const std::string& oldName, const std::string& oldChoice,
                       int side) {
    Feature* feature = nullptr;
    for (auto& candidate : liner.features) {
        if (candidate.style == kFeatureCenteredWithSides &&
            CompareLoosely(candidate.name, oldName) == 0) {
            feature = &candidate;
            break;
        }
    }
    if (!feature) return;

    ChoiceBlock& block = feature->sides[side];
    size_t at = 0;
    for (; at < block.choices.size(); ++at) {
        int order = CompareLoosely(block.choices[at], oldChoice);
        if (order == 0) {
            if (at < static_cast<size_t>(kMaxChoices)) block.selected = static_cast<int8_t>(at);
            return;
        }
        if (order > 0) break;
    }
    // The block's count is a signed byte and the record's size 16 bits: a
    // choice that would not fit is left out and the selection stays.
    if (block.choices.size() >= static_cast<size_t>(kMaxChoices)) return;
    if (feature->RecordSize() + oldChoice.size() + 1 > kMaxFeatureRecordSize) return;
    block.choices.insert(block.choices.begin() + static_cast<std::ptrdiff_t>(at), oldChoice);
    block.selected = static_cast<int8_t>(at);
}

OldTitleLines SplitOldTitle(const TextBlock& title) {
    OldTitleLines lines;
    const std::string& text = title.lineCount != 0 ? title.text : std::string();
    // A line ends at a carriage return that is a character, not the number
    // of a font change.
    auto lineEnd = [&](size_t from) {
        size_t i = from;
        while (i < text.size() && text[i] != '\r') i += text[i] == kFontChange ? 2 : 1;
        return std::min(i, text.size());
    };
    size_t end1 = lineEnd(0);
    lines.first = text.substr(0, end1);
    if (end1 >= text.size()) {
        lines.second = lines.first;
        return lines;
    }
    size_t start2 = end1 + 1;
    if (start2 < text.size() && text[start2] == '\n') ++start2;
    lines.second = text.substr(start2, lineEnd(start2) - start2);
    return lines;
}

bool InsertOldHeading(TextBlock& songs, const std::string& line, int fontNumber) {
    std::string heading;
    heading += kFontChange;
    heading += static_cast<char>(fontNumber);
    heading += line;
    heading += "\r\n\r\n";
    heading += kFontChange;
    heading += static_cast<char>(kFontSong);
    const std::string& old = songs.lineCount != 0 ? songs.text : std::string();
    // The songs must still fit the file's 16-bit string length and line count.
    if (heading.size() + old.size() > 0xFFFF || songs.lineCount > INT16_MAX - 2) return false;
    songs.text = heading + old;
    songs.lineCount = static_cast<int16_t>((songs.lineCount < 0 ? 0 : songs.lineCount) + 2);
    return true;
}

ImportResult ImportOlderVersion(Liner& liner, const std::vector<uint8_t>& bytes, bool unattended,
                                const std::string& fileTitle, Prompter& prompter) {
    const MergeChoice choice = unattended ? MergeChoice::Text : prompter.AskMerge(fileTitle);
    if (choice == MergeChoice::Cancel) return {ImportOutcome::Cancelled, MergeChoice::Cancel};
    const bool all = choice == MergeChoice::All;
    const ImportResult failed{ImportOutcome::Failed, choice};
    const ImportResult merged{ImportOutcome::Merged, choice};

    ByteReader r(bytes);
    OldSide sides[2];
    if (!ReadSideBlock(r, sides[0]) || !ReadSideBlock(r, sides[1])) return failed;
    if (!ReadTextBlock(r, liner.title) || !ReadTextBlock(r, liner.songsA) ||
        !ReadTextBlock(r, liner.songsB)) {
        return failed;
    }

    if (!all) {
        // Whether or not the settings are all there, the names that follow
        // them are read as far as they go.
        r.Skip(kSettingsBlockSize);
    } else {
        uint16_t cutCode, foldCode, letterCode;
        if (!r.U16(cutCode) || !r.U16(foldCode) || !r.U16(letterCode) || !r.Skip(8)) return failed;
        LogFont fonts[kStandardFontCount];
        for (auto& font : fonts) {
            if (!ReadOldFont(r, font)) return failed;
        }
        liner.cutLineStyle = ConvertLineCode(cutCode);
        liner.foldLineStyle = ConvertLineCode(foldCode);
        const uint16_t letterStyle =
            letterCode == kOldLetterNormal ? kLetterNormal : kLetterReverseVideo;
        for (auto& letter : liner.sideLetters) letter.style = letterStyle;
        EnsureStandardFonts(liner);
        for (int i = 0; i < kStandardFontCount; ++i) liner.fonts[i].logFont = fonts[i];

        // From here on an item that cannot be read takes its default.
        uint8_t invert = 0, bisect = 0, split = 0;
        uint16_t alignmentCode = kOldTitleLeft;
        OldLength margin{0, 5};
        // Each read stops the chain at the end of the file; what follows keeps its default.
        (void)(r.Skip(20) && r.U8(invert) && r.U8(bisect) && r.U16(alignmentCode) &&
               ReadOldLength(r, margin) && r.U8(split));
        liner.invertImage = invert;
        liner.bisectSides = bisect;
        ApplyOldAlignment(alignmentCode, kOldTitleLeft, liner.titleFormat.alignment);
        ApplyOldMargin(margin, liner.defaultUnits, liner.titleFormat);
        liner.splitTitle = split;
    }

    // The four old feature names; those that cannot be read take no part.
    std::array<std::string, 4> names;
    size_t namesRead = 0;
    if (r.Skip(8)) {
        for (; namesRead < names.size(); ++namesRead) {
            std::string name;
            if (!r.String(name)) break;
            // The old program kept at most 25 bytes of a name.
            if (name.size() > kOldFeatureNameLimit) name.resize(kOldFeatureNameLimit);
            names[namesRead] = std::move(name);
        }
    }
    for (int side = 0; side < 2; ++side) {
        for (size_t i = 0; i < namesRead; ++i) {
            MergeOldSelection(liner, names[i], sides[side].choices[i], side);
        }
    }

    if (!all) return merged;

    uint8_t oneUp = 0;
    OldLength titleWrap{0, 2};
    EnsureStandardFonts(liner);
    LogFont sideTitleFont = liner.fonts[kFontFeature - 1].logFont;
    if (r.U8(oneUp) && r.Skip(2) && ReadOldLength(r, titleWrap) && r.Skip(24)) {
        ReadOldFont(r, sideTitleFont);
    }
    liner.oneUpSides = oneUp;
    ApplyOldLength(titleWrap, liner.defaultUnits, liner.titleFormat.wrap);

    // Side letters the old file did not show.
    if (sides[0].primaryLetter == 0) liner.sideLetters[kSideAPrimary].style = kLetterNone;
    if (sides[0].flapLetter == 0) liner.sideLetters[kSideAFlap].style = kLetterNone;
    if (sides[1].primaryLetter == 0) liner.sideLetters[kSideBPrimary].style = kLetterNone;
    if (sides[1].flapLetter == 0) liner.sideLetters[kSideBFlap].style = kLetterNone;

    // The old file has one format per side, for the primary and overflow areas alike.
    const int overflowArea[2] = {kSideAOverflowArea, kSideBOverflowArea};
    const int primaryArea[2] = {kSideAPrimaryArea, kSideBPrimaryArea};
    for (int side = 0; side < 2; ++side) {
        AreaFormat& overflow = liner.songFormats[overflowArea[side]];
        AreaFormat& primary = liner.songFormats[primaryArea[side]];
        ApplyOldAlignment(sides[side].alignmentCode, kOldSongLeft, overflow.alignment);
        primary.alignment = overflow.alignment;
        ApplyOldMargin(sides[side].margin, liner.defaultUnits, overflow);
        if (overflow.alignment == kAlignLeft) primary.left = overflow.left;
        if (overflow.alignment == kAlignRight) primary.right = overflow.right;
        ApplyOldLength(sides[side].wrap, liner.defaultUnits, overflow.wrap);
        primary.wrap = overflow.wrap;
    }

    if (!sides[0].titleLine && !sides[1].titleLine) return merged;

    int fontNumber = 0;
    for (size_t i = 0; i < liner.fonts.size(); ++i) {
        if (SameFont(liner.fonts[i].logFont, sideTitleFont)) {
            fontNumber = static_cast<int>(i) + 1;
            break;
        }
    }
    if (fontNumber == 0) {
        // A full table has been reported by AddFont; the headings then keep
        // the song font.
        fontNumber = AddFont(liner, FontEntry{sideTitleFont, 0}, prompter);
        if (fontNumber == 0) fontNumber = kFontSong;
    }

    const OldTitleLines lines = SplitOldTitle(liner.title);
    if (sides[0].titleLine) InsertOldHeading(liner.songsA, lines.first, fontNumber);
    if (sides[1].titleLine) InsertOldHeading(liner.songsB, lines.second, fontNumber);
    return merged;
}
