#include "document/liner_text.h"

#include "platform/code_page.h"

namespace {

// The entry a number stands for, as drawing resolves it; null for none.
const FontEntry* EntryOf(const std::vector<FontEntry>& fonts, int number, int standardNumber) {
    auto exists = [&fonts](int n) { return n >= 1 && static_cast<size_t>(n) <= fonts.size(); };
    if (exists(number)) return &fonts[static_cast<size_t>(number) - 1];
    if (exists(standardNumber)) return &fonts[static_cast<size_t>(standardNumber) - 1];
    return nullptr;
}

bool Holds(int codePage, char16_t ch) { return UnicodeToCodePage(ch, codePage).has_value(); }

bool IsMark(char16_t ch) {
    const QChar::Category c = QChar(ch).category();
    return c == QChar::Mark_NonSpacing || c == QChar::Mark_SpacingCombining || c == QChar::Mark_Enclosing;
}

bool HeldAnywhere(const QString& text) {
    for (uint8_t charSet : ScriptCharSets()) {
        const int codePage = CodePageOfCharSet(charSet);
        bool all = true;
        for (QChar ch : text) all = all && Holds(codePage, ch.unicode());
        if (all) return true;
    }
    return false;
}

}  // namespace

int CodePageOfFont(const std::vector<FontEntry>& fonts, int number, int standardNumber) {
    const FontEntry* entry = EntryOf(fonts, number, standardNumber);
    return entry ? CodePageOfCharSet(entry->logFont.charSet) : kCodePageWestern;
}

QString FontCodedToUnicode(const std::vector<FontEntry>& fonts, std::string_view coded, int standardNumber) {
    QString out;
    out.reserve(static_cast<qsizetype>(coded.size()));
    int codePage = CodePageOfFont(fonts, standardNumber, standardNumber);
    for (size_t i = 0; i < coded.size(); ++i) {
        const char c = coded[i];
        if (c == '\0') break;
        if (c == kFontChange) {
            if (i + 1 < coded.size()) codePage = CodePageOfFont(fonts, static_cast<unsigned char>(coded[i + 1]), standardNumber);
            ++i;
            continue;
        }
        out += QChar(CodePageToUnicode(static_cast<unsigned char>(c), codePage));
    }
    return out;
}

QString StorableForm(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        if (ch.isSurrogate() || ch.unicode() < 0x80 || HeldAnywhere(QString(ch))) {
            out += ch;
            continue;
        }
        // The letter with as many of its marks as a code page has composed,
        // the rest as marks of their own.
        // Which marks go into the letter is tried every way ("ệ" is an e
        // with a dot below and a circumflex; the code page has "ê" and the
        // dot as a mark).
        const QString decomposed = QString(ch).normalized(QString::NormalizationForm_D);
        const qsizetype marks = decomposed.size() - 1;
        QString form;
        if (marks >= 1 && marks <= 4) {
            for (int kept = (1 << marks) - 2; kept >= 0; --kept) {
                QString letter(decomposed[0]), apart;
                for (qsizetype m = 0; m < marks; ++m) {
                    (kept & (1 << m) ? letter : apart) += decomposed[m + 1];
                }
                letter = letter.normalized(QString::NormalizationForm_C);
                if (letter.size() == 1 && HeldAnywhere(letter + apart) &&
                    (form.isEmpty() || letter.size() + apart.size() < form.size())) {
                    form = letter + apart;
                }
            }
        }
        out += form.isEmpty() ? QString(ch) : form;
    }
    return out;
}

bool IsFontVariant(const FontEntry& a, const FontEntry& b) {
    if (a.color != b.color || a.logFont.charSet == b.logFont.charSet) return false;
    LogFont same = a.logFont;
    same.charSet = b.logFont.charSet;
    return same.SameFont(b.logFont);
}

void ChangeFontAndVariants(std::vector<FontEntry>& fonts, int number, const FontEntry& entry) {
    if (number < 1 || number > static_cast<int>(fonts.size())) return;
    const FontEntry old = fonts[static_cast<size_t>(number - 1)];
    fonts[static_cast<size_t>(number - 1)] = entry;
    for (size_t i = kFontSong; i < fonts.size(); ++i) {
        if (static_cast<int>(i) + 1 == number || !IsFontVariant(fonts[i], old)) continue;
        const uint8_t charSet = fonts[i].logFont.charSet;
        fonts[i] = entry;
        fonts[i].logFont.charSet = charSet;
    }
}

int VariantInCharSetOf(std::vector<FontEntry>& fonts, int to, int from) {
    const int count = static_cast<int>(fonts.size());
    if (to < 1 || to > count || from < 1 || from > count) return to;
    FontEntry wanted = fonts[static_cast<size_t>(to - 1)];
    wanted.logFont.charSet = fonts[static_cast<size_t>(from - 1)].logFont.charSet;
    if (wanted == fonts[static_cast<size_t>(to - 1)]) return to;
    for (int i = 0; i < count; ++i) {
        const FontEntry& e = fonts[static_cast<size_t>(i)];
        if (e.color == wanted.color && e.logFont.SameFont(wanted.logFont)) return i + 1;
    }
    if (count >= kMaxFonts) return 0;
    fonts.push_back(wanted);
    return count + 1;
}

FontForCharacter FindFontForCharacter(std::vector<FontEntry>& fonts, int number, int standardNumber, char16_t ch,
                                      std::u16string_view following) {
    // The marks that follow a letter go with it (Vietnamese tones).
    auto holdsWithMarks = [&](int codePage) {
        if (!Holds(codePage, ch)) return false;
        for (char16_t next : following) {
            if (!IsMark(next)) break;
            if (!Holds(codePage, next)) return false;
        }
        return true;
    };
    if (holdsWithMarks(CodePageOfFont(fonts, number, standardNumber))) return {number, FontFit::Holds};
    const FontEntry* found = EntryOf(fonts, number, standardNumber);
    const FontEntry base = found ? *found : FontEntry{};
    auto variantOf = [&base](uint8_t charSet) {
        FontEntry variant = base;
        variant.logFont.charSet = charSet;
        return variant;
    };
    // How far a set carries the text on, a few words at most.
    constexpr size_t kLookAhead = 32;
    following = following.substr(0, kLookAhead);
    int bestReach = -1;
    int bestExisting = 0;  // its entry's number, 0 for none yet
    uint8_t bestSet = 0;
    int anyExisting = 0;  // for a full table
    for (uint8_t charSet : ScriptCharSets()) {
        const int codePage = CodePageOfCharSet(charSet);
        if (!Holds(codePage, ch)) continue;
        int reach = 0;
        while (static_cast<size_t>(reach) < following.size() && Holds(codePage, following[static_cast<size_t>(reach)])) {
            ++reach;
        }
        const FontEntry variant = variantOf(charSet);
        int existing = 0;
        for (size_t i = 0; i < fonts.size() && existing == 0; ++i) {
            if (fonts[i].color == variant.color && fonts[i].logFont.SameFont(variant.logFont)) {
                existing = static_cast<int>(i) + 1;
            }
        }
        if (anyExisting == 0) anyExisting = existing;
        if (reach > bestReach || (reach == bestReach && existing != 0 && bestExisting == 0)) {
            bestReach = reach;
            bestExisting = existing;
            bestSet = charSet;
        }
    }
    if (bestReach < 0) return {0, FontFit::Unsupported};
    if (bestExisting != 0) return {bestExisting, FontFit::Variant};
    if (fonts.size() >= static_cast<size_t>(kMaxFonts)) {
        if (anyExisting != 0) return {anyExisting, FontFit::Variant};
        return {0, FontFit::TableFull};
    }
    fonts.push_back(variantOf(bestSet));
    return {static_cast<int>(fonts.size()), FontFit::Variant};
}
