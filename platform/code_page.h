// Stored texts are bytes in the code page of the character set of the font
// each run is drawn in: Western (Windows-1252) for most, Central European,
// Cyrillic, Greek and the others for fonts that name them.  Conversion to and
// from Unicode happens only where text is shown, measured, edited or
// exported, and always through the tables here.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Code pages by their number.
constexpr int kCodePageWestern = 1252;

// The code page a font's character set (the charSet byte of its
// description) stores its texts in: 238 Central European (1250), 204
// Cyrillic (1251), 161 Greek (1253), 162 Turkish (1254), 177 Hebrew (1255),
// 178 Arabic (1256), 186 Baltic (1257), 163 Vietnamese (1258), 222 Thai
// (874), 255 OEM (437).  Everything else reads as Windows-1252: the
// Western and default sets, symbol fonts (whose bytes are the keys typed;
// the font gives them its own glyphs when drawn) and the double-byte sets,
// which are kept byte for byte as before.
int CodePageOfCharSet(uint8_t charSet);

// The character sets a text can switch to for a character its font's code
// page lacks, in the order they are tried (Western first).
const std::vector<uint8_t>& ScriptCharSets();
// The name of a character set as the font chooser shows it ("Western",
// "Cyrillic", ...); empty for a set that has none.
QString CharSetName(uint8_t charSet);

// The Unicode character of one byte in a code page, as editors and exports
// show it.  Every byte maps to a character of its own and back.  The tab
// mark 0xBB is the tab character whatever the code page, so a page's own
// character at 0xBB (the letter "»" in most) has no byte there: a "»" is
// kept in the OEM page, at 0xAF.  Undefined bytes read as the control
// character of the same value (0x80-0x9F) or the private-use character
// U+F700 + byte.
char16_t CodePageToUnicode(unsigned char byte, int codePage = kCodePageWestern);

// The byte of a character in a code page, or nothing when it has none; the
// tab character is the tab mark 0xBB.
std::optional<unsigned char> UnicodeToCodePage(char16_t ch, int codePage = kCodePageWestern);

// The character a font of the code page draws for a byte: the code page's
// own, without the tab mark's exception (the layout never draws 0xBB).
char16_t CodePageGlyph(unsigned char byte, int codePage);

QString DecodeCodePage(const std::string& bytes, int codePage = kCodePageWestern);
// Characters the code page lacks become '?' unless `ok` is given, which is
// then cleared.
std::string EncodeCodePage(const QString& text, bool* ok = nullptr);
std::string EncodeCodePage(const QString& text, int codePage, bool* ok = nullptr);

// The longest start of UTF-8 text `text` that has at most `maxBytes` bytes and
// ends on a character boundary (texts shown to the user are UTF-8).
std::string Utf8Prefix(const std::string& text, size_t maxBytes);
