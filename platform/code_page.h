// Stored texts are Windows-1252 bytes.  Conversion to and from Unicode happens
// only where text is shown, measured, edited or exported.
#pragma once

#include <QString>
#include <optional>
#include <string>

// The Unicode character of one Windows-1252 byte.  The five bytes the code
// page leaves undefined map to the control characters of the same value, so
// that every byte survives a round trip.
char16_t CodePageToUnicode(unsigned char byte);

// The Windows-1252 byte of a character, or nothing when the code page has none.
std::optional<unsigned char> UnicodeToCodePage(char16_t ch);

QString DecodeCodePage(const std::string& bytes);
// Characters the code page lacks become '?' unless `ok` is given, which is
// then cleared.
std::string EncodeCodePage(const QString& text, bool* ok = nullptr);

// The longest start of UTF-8 text `text` that has at most `maxBytes` bytes and
// ends on a character boundary (texts shown to the user are UTF-8).
std::string Utf8Prefix(const std::string& text, size_t maxBytes);
