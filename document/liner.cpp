#include "document/liner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "document/print_settings.h"
#include "platform/messages.h"
#include "platform/prompter.h"
#include "platform/strings.h"

std::string LogFont::FaceName() const {
    size_t n = 0;
    while (n < faceName.size() && faceName[n] != '\0') ++n;
    return std::string(faceName.data(), n);
}

void LogFont::SetFaceName(const std::string& name) {
    faceName.fill('\0');
    std::memcpy(faceName.data(), name.data(), std::min(name.size(), faceName.size() - 1));
}

int LogFont::RotationDegrees() const {
    const int degrees = escapement / 10;
    return ((degrees % 360) + 360) % 360;
}

bool LogFont::SameFont(const LogFont& other) const {
    LogFont a = *this;
    LogFont b = other;
    a.faceName.fill('\0');
    b.faceName.fill('\0');
    return a == b && FaceName() == other.FaceName();
}

bool IsSidedStyle(uint16_t style) {
    return style == kFeatureCenteredWithSides || style == kFeatureAdjacentWithSides ||
           style == kFeatureBlankWithSides;
}

size_t Feature::RecordSize() const {
    size_t size = kFeatureFixedSize + name.size() + 1;
    if (IsSidedStyle(style)) {
        for (const auto& side : sides) {
            size += 2;
            for (const auto& choice : side.choices) size += choice.size() + 1;
        }
    }
    return size + 1 + padding.size();
}

int16_t Liner::totalHeight() const {
    int sum = overflowCount * overflowHeight.twips + flapHeight.twips + titleHeight.twips +
              primaryHeight.twips;
    return static_cast<int16_t>(sum);
}

uint16_t Liner::sidedFeatureCount() const {
    return static_cast<uint16_t>(std::count_if(features.begin(), features.end(),
                                               [](const Feature& f) { return IsSidedStyle(f.style); }));
}

void Liner::CopyFormatFrom(const Liner& other) {
    TextBlock keepTitle = std::move(title), keepA = std::move(songsA), keepB = std::move(songsB);
    *this = other;
    title = std::move(keepTitle);
    songsA = std::move(keepA);
    songsB = std::move(keepB);
}

int AddFont(Liner& liner, const FontEntry& font, Prompter& prompter) {
    for (size_t i = 0; i < liner.fonts.size(); ++i) {
        const FontEntry& entry = liner.fonts[i];
        if (entry.color == font.color && entry.logFont.SameFont(font.logFont)) return static_cast<int>(i) + 1;
    }
    if (liner.fonts.size() >= kMaxFonts) {
        ShowMessage(prompter, MessageOwner::MainWindow(),
                    {MessageIcon::Stop, MessageButtons::Ok, false}, IDS_TOO_MANY_FONTS);
        return 0;
    }
    liner.fonts.push_back(font);
    return static_cast<int>(liner.fonts.size());
}

void EnsureStandardFonts(Liner& liner) {
    if (liner.fonts.size() < kStandardFontCount) liner.fonts.resize(kStandardFontCount);
}

namespace {

// Calls `onNumber` with a reference to the font-number byte of every font
// change in `text`.
template <typename OnNumber>
void ForEachFontNumber(std::string& text, OnNumber&& onNumber) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == kFontChange) {
            onNumber(text[i + 1]);
            ++i;
        }
    }
}

}  // namespace

void CompactFonts(Liner& liner, uint16_t* lastFont, std::vector<int>* newNumbers) {
    const size_t count = liner.fonts.size();
    std::vector<bool> referenced(count, false);
    for (size_t i = 0; i < count && i < kStandardFontCount; ++i) referenced[i] = true;

    ForEachFontCodedText(liner, [&](std::string& text) {
        ForEachFontNumber(text, [&](char& number) {
            unsigned n = static_cast<unsigned char>(number);
            if (n >= 1 && n <= count) referenced[n - 1] = true;
        });
    });

    std::vector<int> newIndex(count, 0);
    size_t next = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!referenced[i]) continue;
        newIndex[i] = static_cast<int>(next);
        if (next != i) liner.fonts[next] = liner.fonts[i];
        ++next;
    }

    // Font numbers that name no entry are left as they are: drawing falls back
    // to the standard font for them.
    ForEachFontCodedText(liner, [&](std::string& text) {
        ForEachFontNumber(text, [&](char& number) {
            unsigned n = static_cast<unsigned char>(number);
            if (n >= 1 && n <= count) number = static_cast<char>(newIndex[n - 1] + 1);
        });
    });

    if (lastFont && *lastFont != 0xFFFF) {
        unsigned n = *lastFont;
        int index = (n >= 1 && n <= count && referenced[n - 1]) ? newIndex[n - 1] : 0;
        *lastFont = static_cast<uint16_t>(index + 1);
    }
    if (newNumbers) {
        newNumbers->assign(count, 0);
        for (size_t i = 0; i < count; ++i) {
            if (referenced[i]) (*newNumbers)[i] = newIndex[i] + 1;
        }
    }
    liner.fonts.resize(next);
}

void ParseTabStops(Liner& liner) {
    liner.tabStops.clear();
    const std::string& text = liner.tabStopsText;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string_view token(text.data() + start, comma - start);
        if (!token.empty()) {
            if (auto m = ParseMeasurement(token, false, liner.defaultUnits)) {
                liner.tabStops.push_back(m->twips);
            }
        }
        start = comma + 1;
    }
    std::sort(liner.tabStops.begin(), liner.tabStops.end());
}

std::string StripFontChanges(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kFontChange) {
            ++i;  // skip the font number
            continue;
        }
        out += text[i];
    }
    return out;
}

bool ChangesMargins(int oldUnit, int newUnit) {
    return UnitRow(kUnitNone, oldUnit).metric != UnitRow(kUnitNone, newUnit).metric;
}

int ChangeDefaultUnit(Liner& liner, int newUnit, PrintSettings* print) {
    const int oldUnit = liner.defaultUnits;
    if (newUnit == oldUnit) return 0;
    const UnitInfo newRow = UnitRow(newUnit, newUnit);

    if (print && ChangesMargins(oldUnit, newUnit)) {
        for (Measurement* margin : {&print->marginLeft, &print->marginRight, &print->marginTop,
                                    &print->marginBottom}) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%8.3f%s",
                          static_cast<double>(margin->twips) / newRow.twipsPerUnit, newRow.shown);
            if (auto m = ParseMeasurement(buffer, false, newUnit)) *margin = *m;
        }
    }

    // A unit-less value keeps its number and now means that many new units.
    // A number too large for the new unit keeps its length instead, written
    // out in the new unit as the margins are (or in the old one where three
    // decimals would not land on the same twips), so that the number shown
    // and the length drawn always agree.
    int changed = 0;
    auto reresolve = [&](Measurement& m, bool negate) {
        if (m.unit != kUnitNone) return;
        if (auto again = ParseMeasurement(FormatMeasurement(m, negate), negate, newUnit)) {
            if (again->twips != m.twips) ++changed;
            m = *again;
            return;
        }
        const int shownTwips = negate ? -m.twips : m.twips;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f%s", static_cast<double>(shownTwips) / newRow.twipsPerUnit,
                      newRow.shown);
        if (auto written = ParseMeasurement(buffer, negate, newUnit); written && written->twips == m.twips) {
            m = *written;
        } else {
            m.unit = static_cast<int16_t>(IsDefaultUnitChoice(oldUnit) ? oldUnit : kUnitInches);
        }
    };
    auto reresolveArea = [&](AreaFormat& a) {
        for (Measurement* m : {&a.left, &a.right, &a.top, &a.bottom, &a.wrap, &a.between, &a.within}) {
            reresolve(*m, false);
        }
    };
    reresolveArea(liner.titleFormat);
    for (auto& area : liner.songFormats) reresolveArea(area);
    for (auto& letter : liner.sideLetters) {
        reresolve(letter.top, false);
        reresolve(letter.side, false);
    }
    for (Measurement* m : {&liner.width, &liner.flapHeight, &liner.titleHeight, &liner.primaryHeight,
                           &liner.overflowHeight}) {
        reresolve(*m, false);
    }
    for (auto& feature : liner.features) {
        reresolve(feature.top, false);
        reresolve(feature.side, false);
    }
    for (auto& picture : liner.pictures) {
        reresolve(picture.left, false);
        reresolve(picture.top, true);
        reresolve(picture.width, false);
        reresolve(picture.height, true);
        reresolve(picture.naturalWidth, false);
        reresolve(picture.naturalHeight, true);
    }
    liner.defaultUnits = static_cast<uint16_t>(newUnit);
    return changed;
}
