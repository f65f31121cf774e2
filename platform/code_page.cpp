#include "platform/code_page.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <utility>

namespace {

#include "platform/code_page_tables.inc"

constexpr size_t kPageCount = std::size(kTableCodePages);
static_assert(std::size(kTableHigh) == kPageCount);

constexpr unsigned char kTabByte = 0xBB;
// The tab mark in Unicode is the tab character: the letter "»" is a letter
// like any other, kept wherever a code page has it at another byte than the
// tab mark's (the OEM page's 0xAF).
constexpr char16_t kTabChar = u'\t';

size_t PageIndex(int codePage) {
    for (size_t i = 0; i < kPageCount; ++i) {
        if (kTableCodePages[i] == codePage) return i;
    }
    return 0;  // Western
}

// Upper half of each page sorted by character, for encoding.
using Reverse = std::array<std::pair<char16_t, unsigned char>, 128>;

const std::array<Reverse, kPageCount>& ReverseTables() {
    static const std::array<Reverse, kPageCount> tables = [] {
        std::array<Reverse, kPageCount> t{};
        for (size_t p = 0; p < kPageCount; ++p) {
            for (int i = 0; i < 128; ++i) {
                t[p][static_cast<size_t>(i)] = {kTableHigh[p][i], static_cast<unsigned char>(0x80 + i)};
            }
            std::sort(t[p].begin(), t[p].end());
        }
        return t;
    }();
    return tables;
}

}  // namespace

int CodePageOfCharSet(uint8_t charSet) {
    switch (charSet) {
        case 238: return 1250;
        case 204: return 1251;
        case 161: return 1253;
        case 162: return 1254;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 163: return 1258;
        case 222: return 874;
        case 255: return 437;
        default: return kCodePageWestern;
    }
}

const std::vector<uint8_t>& ScriptCharSets() {
    static const std::vector<uint8_t> sets{0, 238, 204, 161, 162, 186, 163, 177, 178, 222, 255};
    return sets;
}

QString CharSetName(uint8_t charSet) {
    switch (charSet) {
        case 0: return QCoreApplication::translate("CodePage", "Western");
        case 238: return QCoreApplication::translate("CodePage", "Central European");
        case 204: return QCoreApplication::translate("CodePage", "Cyrillic");
        case 161: return QCoreApplication::translate("CodePage", "Greek");
        case 162: return QCoreApplication::translate("CodePage", "Turkish");
        case 177: return QCoreApplication::translate("CodePage", "Hebrew");
        case 178: return QCoreApplication::translate("CodePage", "Arabic");
        case 186: return QCoreApplication::translate("CodePage", "Baltic");
        case 163: return QCoreApplication::translate("CodePage", "Vietnamese");
        case 222: return QCoreApplication::translate("CodePage", "Thai");
        case 255: return QCoreApplication::translate("CodePage", "OEM/DOS");
        case 2: return QCoreApplication::translate("CodePage", "Symbol");
        default: return {};
    }
}

char16_t CodePageGlyph(unsigned char byte, int codePage) {
    if (byte < 0x80) return byte;
    return kTableHigh[PageIndex(codePage)][byte - 0x80];
}

char16_t CodePageToUnicode(unsigned char byte, int codePage) {
    if (byte == kTabByte) return kTabChar;
    return CodePageGlyph(byte, codePage);
}

std::optional<unsigned char> UnicodeToCodePage(char16_t ch, int codePage) {
    if (ch == kTabChar) return kTabByte;
    if (ch < 0x80) return static_cast<unsigned char>(ch);
    const size_t page = PageIndex(codePage);
    const Reverse& reverse = ReverseTables()[page];
    auto it = std::lower_bound(reverse.begin(), reverse.end(), std::pair<char16_t, unsigned char>{ch, 0});
    if (it == reverse.end() || it->first != ch) return std::nullopt;
    // The page's own character at 0xBB gives way to the tab mark.
    if (it->second == kTabByte) return std::nullopt;
    return it->second;
}

QString DecodeCodePage(const std::string& bytes, int codePage) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) out.append(QChar(CodePageToUnicode(static_cast<unsigned char>(c), codePage)));
    return out;
}

std::string EncodeCodePage(const QString& text, bool* ok) { return EncodeCodePage(text, kCodePageWestern, ok); }

std::string EncodeCodePage(const QString& text, int codePage, bool* ok) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    if (ok) *ok = true;
    for (QChar ch : text) {
        if (auto b = UnicodeToCodePage(ch.unicode(), codePage)) {
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
