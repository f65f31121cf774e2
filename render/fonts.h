// The font table as text sees it: which entry a font number stands for,
// selecting an entry on a surface, the rotation of a text, adding a chosen
// font to the table, and the editing form of font-coded text (display text
// with one font number per character).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/liner.h"
#include "platform/surface.h"

class Prompter;

// Clip precision flag asking for angles that follow the handedness of the
// coordinate system; added to every entry that is selected for drawing.
constexpr uint8_t kClipLhAngles = 16;

// Font numbers are 1-based (font-table index + 1); a text's standard font is
// one of the StandardFont numbers.

// Whether `number` names an entry of the table.
bool FontNumberExists(const Liner& liner, int number);

// `number` when it names an entry, else the standard font of the text kind.
// A damaged text may name any number; it never reaches past the table.
int ResolveFontNumber(const Liner& liner, int number, int standardNumber);

// The entry of `number`, falling back to the standard font, and to a plain
// default entry (empty face, default size, black) when even that is missing.
const FontEntry& FontEntryFor(const Liner& liner, int number, int standardNumber);

// Selects the font of `number` (resolved as above) on the surface.  Unless
// `quietColor`, the entry's colour becomes the text colour.  Returns the
// text colour that was there.  The entry keeps kClipLhAngles in its clip
// precision from then on.
SurfaceColor SelectFont(Surface& surface, Liner& liner, int number, int standardNumber,
                        bool quietColor = false);

// The starting font of a text: its leading font change, else the standard
// font (resolved).
int StartingFont(const Liner& liner, std::string_view text, int standardNumber);

// The rotation of a text in whole degrees, 0 to 359: its starting font's
// (LogFont::RotationDegrees).
int TextRotation(const Liner& liner, int standardNumber, std::string_view text);

// ---- Font table ------------------------------------------------------------

// Adds a chosen font to the table (an equal entry is reused) and returns its
// font number, or 0 when the table is full; the user has then been told.
int FindOrAddFont(Liner& liner, const FontEntry& entry, Prompter& prompter);

// ---- Display text and font array -------------------------------------------

// The editing form of a font-coded text: the characters without font
// changes, and one font number per character, then the font in effect after
// the last character, then 0.
struct DisplayText {
    std::string text;
    std::vector<uint8_t> fonts;

    bool operator==(const DisplayText&) const = default;
};

DisplayText DecodeFontCodedText(std::string_view coded, int standardNumber);
DisplayText NewEmptyDisplayText(int standardNumber);
// A font change is written wherever a character's number differs from the
// last one written, starting from 0.
std::string EncodeFontCodedText(const DisplayText& display);

// The font number shared by every character of [start, end) whose number is
// not 0; nothing when they differ or there is none.
std::optional<int> SelectionFont(const DisplayText& display, size_t start, size_t end);
// Gives every character of [start, end) whose number is not 0 the number
// `number`.  The range is cut to the text.
void ApplyFontToSelection(DisplayText& display, size_t start, size_t end, int number);
