#include "platform/code_page.h"

namespace {

// 0x80 to 0x9F; the undefined positions keep their own value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t CodePageToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
    return byte;
}

std::optional<unsigned char> UnicodeToCodePage(char16_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<unsigned char>(ch);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == ch) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

QString DecodeCodePage(const std::string& bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) out.append(QChar(CodePageToUnicode(static_cast<unsigned char>(c))));
    return out;
}

std::string EncodeCodePage(const QString& text, bool* ok) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    if (ok) *ok = true;
    for (QChar ch : text) {
        if (auto b = UnicodeToCodePage(ch.unicode())) {
            out += static_cast<char>(*b);
        } else {
            out += '?';
            if (ok) *ok = false;
        }
    }
    return out;
}

std::string Utf8Prefix(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = maxBytes;
    // Back off over continuation bytes to the start of the character cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}
