#include "render/fonts.h"

#include <algorithm>
#include <limits>

#include "platform/prompter.h"

namespace {

const FontEntry& DefaultEntry() {
    static const FontEntry entry{};
    return entry;
}

}  // namespace

bool FontNumberExists(const Liner& liner, int number) {
    return number >= 1 && static_cast<size_t>(number) <= liner.fonts.size();
}

int ResolveFontNumber(const Liner& liner, int number, int standardNumber) {
    return FontNumberExists(liner, number) ? number : standardNumber;
}

const FontEntry& FontEntryFor(const Liner& liner, int number, int standardNumber) {
    int resolved = ResolveFontNumber(liner, number, standardNumber);
    if (!FontNumberExists(liner, resolved)) return DefaultEntry();
    return liner.fonts[static_cast<size_t>(resolved) - 1];
}

SurfaceColor SelectFont(Surface& surface, Liner& liner, int number, int standardNumber,
                        bool quietColor) {
    int resolved = ResolveFontNumber(liner, number, standardNumber);
    if (FontNumberExists(liner, resolved)) {
        liner.fonts[static_cast<size_t>(resolved) - 1].logFont.clipPrecision |= kClipLhAngles;
    }
    const FontEntry& entry = FontEntryFor(liner, resolved, standardNumber);
    surface.SetFont(entry.logFont);
    SurfaceColor previous = surface.TextColor();
    if (!quietColor) surface.SetTextColor(entry.color);
    return previous;
}

int StartingFont(const Liner& liner, std::string_view text, int standardNumber) {
    if (text.size() >= 2 && text[0] == kFontChange) {
        return ResolveFontNumber(liner, static_cast<unsigned char>(text[1]), standardNumber);
    }
    return ResolveFontNumber(liner, standardNumber, standardNumber);
}

int TextRotation(const Liner& liner, int standardNumber, std::string_view text) {
    int number = StartingFont(liner, text, standardNumber);
    return FontEntryFor(liner, number, standardNumber).logFont.RotationDegrees();
}

// ---- Font table -------------------------------------------------------------

int FindOrAddFont(Liner& liner, const FontEntry& entry, Prompter& prompter) {
    return AddFont(liner, entry, prompter);
}

// ---- Display text and font array ---------------------------------------------

DisplayText DecodeFontCodedText(std::string_view coded, int standardNumber) {
    DisplayText d;
    d.text.reserve(coded.size());
    d.fonts.reserve(coded.size() + 2);
    uint8_t current = static_cast<uint8_t>(standardNumber);
    for (size_t i = 0; i < coded.size(); ++i) {
        char c = coded[i];
        if (c == '\0') break;
        if (c == kFontChange) {
            // A change cut off at the end of the text names nothing.
            if (i + 1 < coded.size()) current = static_cast<uint8_t>(coded[i + 1]);
            ++i;
            continue;
        }
        d.text += c;
        d.fonts.push_back(current);
    }
    d.fonts.push_back(current);
    d.fonts.push_back(0);
    return d;
}

DisplayText NewEmptyDisplayText(int standardNumber) {
    return DisplayText{std::string(), {static_cast<uint8_t>(standardNumber), 0}};
}

std::string EncodeFontCodedText(const DisplayText& display) {
    std::string out;
    out.reserve(display.text.size() + 8);
    uint8_t written = 0;
    for (size_t i = 0; i < display.text.size(); ++i) {
        // A font array shorter than the text leaves the rest in the last font.
        uint8_t number = i < display.fonts.size() ? display.fonts[i] : written;
        if (number != written) {
            out += kFontChange;
            out += static_cast<char>(number);
            written = number;
        }
        out += display.text[i];
    }
    return out;
}

std::optional<int> SelectionFont(const DisplayText& display, size_t start, size_t end) {
    end = std::min({end, display.text.size(), display.fonts.size()});
    std::optional<int> shared;
    for (size_t i = start; i < end; ++i) {
        int n = display.fonts[i];
        if (n == 0) continue;
        if (shared && *shared != n) return std::nullopt;
        shared = n;
    }
    return shared;
}

void ApplyFontToSelection(DisplayText& display, size_t start, size_t end, int number) {
    end = std::min({end, display.text.size(), display.fonts.size()});
    for (size_t i = start; i < end; ++i) {
        if (display.fonts[i] != 0) display.fonts[i] = static_cast<uint8_t>(number);
    }
}
