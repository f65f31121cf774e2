// The Liner: the texts and the complete layout of one cassette liner.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/measurement.h"

class Prompter;

// Bytes with a meaning inside font-coded text.
constexpr char kFontChange = '\x01';
constexpr char kTabMark = '\xBB';

// One multi-line text.  Lines are separated by CR LF; the text is font-coded,
// each run in the code page of its font's character set (document/liner_text.h).
// lineCount 0 means there is no text.
struct TextBlock {
    int16_t lineCount = 0;
    std::string text;

    bool operator==(const TextBlock&) const = default;
};

enum Alignment : uint16_t { kAlignLeft = 0, kAlignCentered = 1, kAlignRight = 2 };

struct AreaFormat {
    uint16_t alignment = kAlignLeft;
    Measurement left, right, top, bottom;  // margins
    Measurement wrap;                      // indent of continuation rows
    Measurement between;                   // space between items
    Measurement within;                    // row spacing within an item

    bool operator==(const AreaFormat&) const = default;
};

enum SideLetterStyle : uint16_t { kLetterNormal = 0, kLetterReverseVideo = 1, kLetterNone = 2 };

// Side letter locations, the index into Liner::sideLetters.
enum SideLetterLocation { kSideAFlap = 0, kSideBFlap = 1, kSideAPrimary = 2, kSideBPrimary = 3 };

struct SideLetterFormat {
    uint16_t style = kLetterNormal;
    Measurement top, side;
    std::string text;

    bool operator==(const SideLetterFormat&) const = default;
};

// The platform's logical font description, stored as it is (60 bytes on disk).
struct LogFont {
    int32_t height = 0;  // cell height in twips
    int32_t width = 0;
    int32_t escapement = 0;  // rotation in tenths of a degree
    int32_t orientation = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::array<char, 32> faceName{};  // zero-terminated; kept whole so files round-trip

    std::string FaceName() const;
    void SetFaceName(const std::string& name);
    // The rotation in whole degrees, 0 to 359, whatever the file holds: a
    // negative escapement or one of a full turn or more turns as its angle.
    // Everything that places or draws turned text asks here.
    int RotationDegrees() const;
    // Equal as a font: the face name up to its terminator, whatever bytes a
    // file left behind it.
    bool SameFont(const LogFont& other) const;
    bool operator==(const LogFont&) const = default;
};

struct FontEntry {
    LogFont logFont;
    uint32_t color = 0;  // red in the low byte

    bool operator==(const FontEntry&) const = default;
};

constexpr int kMaxFonts = 255;
constexpr int kStandardFontCount = 5;
// Standard font numbers (1-based).
enum StandardFont { kFontSideLetter = 1, kFontFeatureName = 2, kFontFeature = 3, kFontTitle = 4, kFontSong = 5 };

enum FeatureStyle : uint16_t {
    kFeatureCenteredWithSides = 0,
    kFeatureLeftJustified = 1,
    kFeatureRightJustified = 2,
    kFeatureCentered = 3,
    kFeatureAdjacentWithSides = 4,
    kFeatureBlankWithSides = 5,
};
bool IsSidedStyle(uint16_t style);

struct ChoiceBlock {
    int8_t selected = 0;
    std::vector<std::string> choices;  // at most 127

    bool operator==(const ChoiceBlock&) const = default;
};

// A feature: a named label, with a choice of text per side for the sided styles.
struct Feature {
    uint16_t style = kFeatureLeftJustified;
    Measurement top, side;
    std::string name;
    ChoiceBlock sides[2];  // Side A, Side B; used by the sided styles only
    // Bytes of a stored record after its closing zero (normally none); kept so
    // that a record read from a file is written back as it was.
    std::string padding;

    // The record's length in bytes, as in memory and in current files.
    size_t RecordSize() const;
    bool operator==(const Feature&) const = default;
};
// Fixed part of a feature record: size, link slot, style, top, side.
constexpr size_t kFeatureFixedSize = 2 + 4 + 2 + 10 + 10;
constexpr size_t kMaxFeatureRecordSize = 65535;
constexpr int kMaxChoices = 127;

struct Picture {
    Measurement left, top, width, height;  // top and height held negated
    Measurement naturalWidth, naturalHeight;  // naturalHeight negated
    uint8_t formatIndex = 0;
    std::string fileName;

    bool operator==(const Picture&) const = default;
};

enum SongArea { kSideAPrimaryArea = 0, kSideBPrimaryArea = 1, kSideAOverflowArea = 2, kSideBOverflowArea = 3 };

struct Liner {
    TextBlock title, songsA, songsB;

    // The Format: everything below.
    AreaFormat titleFormat;
    uint8_t splitTitle = 0;
    uint8_t centerTitleVertically = 0;
    std::array<AreaFormat, 4> songFormats;
    uint16_t cutLineStyle = 0;
    uint16_t foldLineStyle = 0;
    uint8_t invertImage = 0;
    uint8_t oneUpSides = 0;
    uint8_t bisectSides = 0;
    Measurement width, flapHeight, titleHeight, primaryHeight, overflowHeight;
    std::array<SideLetterFormat, 4> sideLetters;
    std::vector<FontEntry> fonts;
    std::vector<Feature> features;
    uint16_t defaultUnits = kUnitInches;
    std::string tabStopsText;
    std::vector<Picture> pictures;
    int16_t overflowCount = 0;
    uint8_t bisectArea = 0;

    // Derived: tab stop positions in twips, ascending (see ParseTabStops).
    std::vector<int16_t> tabStops;

    // Derived values.
    int16_t totalHeight() const;
    uint16_t sidedFeatureCount() const;

    // Copies the Format (everything but the three texts) from another Liner.
    void CopyFormatFrom(const Liner& other);
    bool operator==(const Liner&) const = default;
};

// Adds a font to the table, reusing an equal entry.  Returns the 1-based font
// number, or 0 when the table is full (the user has then been told).
int AddFont(Liner& liner, const FontEntry& font, Prompter& prompter);

// Grows the font table to the five standard fonts.
void EnsureStandardFonts(Liner& liner);

// Drops the fonts no text refers to and renumbers the rest, in every text and
// in `lastFont` (0xFFFF = none).
// With `newNumbers`, entry n - 1 receives the new number of font n (0 when it
// was dropped).
void CompactFonts(Liner& liner, uint16_t* lastFont, std::vector<int>* newNumbers = nullptr);

// Parses tabStopsText into tabStops.
void ParseTabStops(Liner& liner);

// Calls `visit` with a reference to every font-coded text of the Liner: the
// three texts (those with lines), the side letters, feature names and the
// choices of sided features.
template <typename Visit>
void ForEachFontCodedText(Liner& liner, Visit&& visit) {
    for (TextBlock* block : {&liner.title, &liner.songsA, &liner.songsB}) {
        if (block->lineCount != 0) visit(block->text);
    }
    for (auto& letter : liner.sideLetters) visit(letter.text);
    for (auto& feature : liner.features) {
        visit(feature.name);
        if (IsSidedStyle(feature.style)) {
            for (auto& side : feature.sides) {
                for (auto& choice : side.choices) visit(choice);
            }
        }
    }
}

// The text without its font changes.
std::string StripFontChanges(const std::string& text);
