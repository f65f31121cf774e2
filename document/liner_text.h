// The texts of a liner in Unicode.  A text's bytes are characters of the
// code page of the font each run is drawn in (its charSet), so turning them
// into Unicode and back needs the font table; and a character the run's
// font cannot store is stored with a variant of that font whose code page
// can.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "document/liner.h"

// The code page the characters of font `number` (1-based) are stored in.  A
// number that names no entry stands for the standard font `standardNumber`,
// and with no such entry either for Western.
int CodePageOfFont(const std::vector<FontEntry>& fonts, int number, int standardNumber);

// A font-coded text in Unicode without its font changes, each run through
// its font's code page; lines stay separated by CR LF, the tab mark is the
// tab character.
QString FontCodedToUnicode(const std::vector<FontEntry>& fonts, std::string_view coded, int standardNumber);

// The text with each character that no code page holds, but whose letter and
// marks one does, written as that letter followed by its marks as separate
// characters: Vietnamese "ế" becomes "ê" and a combining acute, as the
// Vietnamese code page stores it.  Other characters stay as they are.
QString StorableForm(const QString& text);

enum class FontFit {
    Holds,        // the font itself stores the character
    Variant,      // another entry, the same font but for its character set
    TableFull,    // such a variant would be the 256th entry; none was added
    Unsupported,  // no code page holds the character
};

struct FontForCharacter {
    int number = 0;  // the font to store the character with; 0 when none
    FontFit fit = FontFit::Holds;
};

// A font that stores `ch`: font `number` itself when its code page holds the
// character, else a variant of it (face, size, style, colour and rotation
// kept, another charSet): of the sets that hold `ch`, the one that also holds
// the most of the `following` characters, an existing variant before a new
// one, Western first; a new one is added at the end of the table.  Nothing
// is added once the table holds 255 entries; the caller tells the user.
// Whether entry `a` is `b` in another character set (a variant of it).
bool IsFontVariant(const FontEntry& a, const FontEntry& b);

// Font `number` (1-based) becomes `entry`, and each variant of it becomes the
// same variant of `entry`, so that letters kept in other character sets
// follow the font.  The standard fonts are fonts of their own, never
// variants of another.
void ChangeFontAndVariants(std::vector<FontEntry>& fonts, int number, const FontEntry& entry);

// Font `to` in the character set of font `from`: `to` itself when the sets
// agree, else its variant (added at the end of the table when missing; 0
// when the table is full).
int VariantInCharSetOf(std::vector<FontEntry>& fonts, int to, int from);

FontForCharacter FindFontForCharacter(std::vector<FontEntry>& fonts, int number, int standardNumber, char16_t ch,
                                      std::u16string_view following = {});
