#include "document/measurement.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/messages.h"
#include "platform/strings.h"

namespace {

constexpr UnitInfo kUnits[kUnitCount] = {
    {"", "", 1440, false},  // row 0: replaced by the default unit's row
    {"cm", " cm", 567, true},
    {"in", " in", 1440, false},
    {"\"", "\"", 1440, false},
    {"li", " li", 240, false},
    {"pi", " pi", 240, false},
    {"pt", " pt", 20, false},
};

constexpr int kPowersOfTen[5] = {1, 10, 100, 1000, 10000};

bool FitsIn16(long long v) { return v >= -32768 && v <= 32767; }

}  // namespace

UnitInfo UnitRow(int unit, int defaultUnit) {
    if (unit == kUnitNone) {
        int row = (defaultUnit >= 1 && defaultUnit < kUnitCount) ? defaultUnit : kUnitInches;
        UnitInfo info = kUnits[0];
        info.twipsPerUnit = kUnits[row].twipsPerUnit;
        info.metric = kUnits[row].metric;
        return info;
    }
    if (unit < 0 || unit >= kUnitCount) return kUnits[kUnitInches];
    return kUnits[unit];
}

bool IsDefaultUnitChoice(int unit) {
    return unit == kUnitCentimeters || unit == kUnitInches || unit == kUnitPicas ||
           unit == kUnitPoints;
}

long long MulDivRound(long long a, long long b, long long c) {
    if (c == 0) return 0;
    long long n = a * b;
    bool negative = (n < 0) != (c < 0);
    long long an = n < 0 ? -n : n;
    long long ac = c < 0 ? -c : c;
    long long q = (an + ac / 2) / ac;
    return negative ? -q : q;
}

namespace {

enum class ParseStatus { Ok, NotAMeasurement, UnknownUnit, TooLarge };

struct Parsed {
    ParseStatus status = ParseStatus::NotAMeasurement;
    Measurement m;
    int unit = kUnitNone;   // known unless the text is not a measurement
    bool negative = false;  // the sign of the value, after `negate`
    std::string suffix;     // what followed the number, lower-cased
};

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

Parsed Parse(std::string_view text, bool negate, int defaultUnit) {
    Parsed out;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (negate) negative = !negative;

    // Digits beyond what any unit can hold still belong to the number: the
    // text is read to its end to tell a long number from no number.
    long long whole = 0;
    bool huge = false;
    const size_t numberStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > 32768) {
            huge = true;
            whole = 32769;
        }
        ++i;
    }

    long long fraction = 0;
    int digits = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        std::string collected;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            collected += text[i];
            ++i;
        }
        while (!collected.empty() && collected.back() == '0') collected.pop_back();
        if (collected.size() > 4) collected.resize(4);
        for (char c : collected) fraction = fraction * 10 + (c - '0');
        digits = static_cast<int>(collected.size());
    }

    while (i < text.size() && text[i] == ' ') ++i;
    std::string suffix;
    for (; i < text.size(); ++i) {
        suffix += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
    while (!suffix.empty() && suffix.back() == ' ') suffix.pop_back();

    int unit = -1;
    for (int u = 0; u < kUnitCount; ++u) {
        if (suffix == kUnits[u].accepted) {
            unit = u;
            break;
        }
    }
    if (unit < 0) {
        // A number followed by a word: most likely a unit this program does
        // not take ("mm"), which the user is told by name.
        auto digitAt = [&](size_t at) { return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); };
        const bool hadNumber =
            digitAt(numberStart) || (numberStart < text.size() && text[numberStart] == '.' && digitAt(numberStart + 1));
        if (hadNumber && !suffix.empty() && std::all_of(suffix.begin(), suffix.end(), IsLetter)) {
            out.status = ParseStatus::UnknownUnit;
            out.suffix = suffix;
        }
        return out;
    }
    out.unit = unit;
    out.negative = negative;

    if (negative) {
        whole = -whole;
        fraction = -fraction;
    }
    const int perUnit = UnitRow(unit, defaultUnit).twipsPerUnit;
    long long twips = whole * perUnit;
    if (fraction != 0) twips += MulDivRound(fraction, perUnit, kPowersOfTen[digits]);
    // Values beyond 16 bits are refused rather than wrapped.
    if (huge || !FitsIn16(whole) || !FitsIn16(twips)) {
        out.status = ParseStatus::TooLarge;
        return out;
    }

    out.status = ParseStatus::Ok;
    out.m.whole = static_cast<int16_t>(whole);
    out.m.fraction = static_cast<int16_t>(fraction);
    out.m.fractionDigits = static_cast<int16_t>(digits);
    out.m.unit = static_cast<int16_t>(unit);
    out.m.twips = static_cast<int16_t>(twips);
    return out;
}

}  // namespace

std::optional<Measurement> ParseMeasurement(std::string_view text, bool negate, int defaultUnit) {
    Parsed parsed = Parse(text, negate, defaultUnit);
    if (parsed.status != ParseStatus::Ok) return std::nullopt;
    return parsed.m;
}

std::string LargestMeasurementText(int unit, bool negative, int defaultUnit) {
    // 16 bits hold one twip more below zero than above.
    const long long limit = negative ? 32768 : 32767;
    const long long perUnit = UnitRow(unit, defaultUnit).twipsPerUnit;
    // Cut to the four decimals a measurement keeps, so that the length
    // named is itself accepted.
    const long long scaled = limit * 10000 / perUnit;
    long long fraction = scaled % 10000;
    int digits = 4;
    while (digits > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    Measurement m;
    m.whole = static_cast<int16_t>(std::min<long long>(scaled / 10000, 32767));
    m.fraction = static_cast<int16_t>(fraction);
    m.fractionDigits = static_cast<int16_t>(digits);
    m.unit = static_cast<int16_t>(unit);
    return FormatMeasurement(m, negative);
}

namespace {

// The name of a default unit as Format Liner offers it ("centimeters").
std::string DefaultUnitName(int defaultUnit) {
    switch (defaultUnit) {
        case kUnitCentimeters: return LoadString(IDS_UNIT_CENTIMETERS);
        case kUnitPicas: return LoadString(IDS_UNIT_PICAS);
        case kUnitPoints: return LoadString(IDS_UNIT_POINTS);
        default: return LoadString(IDS_UNIT_INCHES);
    }
}

}  // namespace

std::string FormatMeasurement(const Measurement& m, bool negate) {
    long long whole = m.whole;
    long long fraction = m.fraction;
    if (negate) {
        whole = -whole;
        fraction = -fraction;
    }
    std::string out;
    if (whole < 0 || fraction < 0) {
        out += '-';
        if (whole < 0) whole = -whole;
        if (fraction < 0) fraction = -fraction;
    }
    out += std::to_string(whole);
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        int width = m.fractionDigits;
        if (width > 4) width = 4;
        if (static_cast<int>(digits.size()) < width) {
            digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
        }
        out += '.';
        out += digits;
    }
    if (m.unit >= 0 && m.unit < kUnitCount) out += kUnits[m.unit].shown;
    return out;
}

Measurement FromTwips(int twips, int defaultUnit) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%8.3f",
                  static_cast<double>(twips) / UnitRow(kUnitNone, defaultUnit).twipsPerUnit);
    if (auto m = ParseMeasurement(buffer, false, defaultUnit)) return *m;
    // Only a value at the very edge of 16 bits can land here after rounding.
    Measurement m;
    m.twips = static_cast<int16_t>(twips < -32768 ? -32768 : (twips > 32767 ? 32767 : twips));
    return m;
}

FieldReading ReadMeasurementField(std::string_view fieldText, bool negativesAllowed, bool negate,
                                  bool quiet, int defaultUnit, Prompter* prompter,
                                  const MessageOwner* owner) {
    FieldReading reading;
    std::string_view text = fieldText.substr(0, kMeasurementFieldChars);
    const Parsed parsed = Parse(text, negate, defaultUnit);
    auto report = [&](uint16_t id, const std::vector<MessageArg>& args = {}) {
        if (!quiet && prompter) {
            ShowMessage(*prompter, owner ? *owner : MessageOwner::MainWindow(), ErrorStyle(), id, args);
        }
    };
    if (parsed.status == ParseStatus::NotAMeasurement) {
        reading.error = FieldError::Invalid;
        report(IDS_INVALID_MEASUREMENT);
        return reading;
    }
    if (parsed.status == ParseStatus::UnknownUnit) {
        reading.error = FieldError::Invalid;
        report(IDS_UNKNOWN_UNIT, {parsed.suffix, DefaultUnitName(defaultUnit)});
        return reading;
    }
    if (parsed.status == ParseStatus::TooLarge) {
        if (parsed.negative && !negativesAllowed) {
            reading.error = FieldError::Negative;
            report(IDS_NEGATIVE_MEASUREMENT);
            return reading;
        }
        reading.error = FieldError::TooLarge;
        report(parsed.negative ? IDS_MEASUREMENT_TOO_SMALL : IDS_MEASUREMENT_TOO_LARGE,
               {LargestMeasurementText(parsed.unit, parsed.negative, defaultUnit)});
        return reading;
    }
    if (parsed.m.twips < 0 && !negativesAllowed) {
        reading.error = FieldError::Negative;
        report(IDS_NEGATIVE_MEASUREMENT);
        return reading;
    }
    reading.value = parsed.m;
    return reading;
}

int ResolveAgainstLineHeight(const Measurement& m, int lineHeight) {
    if (m.unit != kUnitNone && m.unit != kUnitLines) return m.twips;
    int digits = m.fractionDigits < 0 ? 0 : (m.fractionDigits > 4 ? 4 : m.fractionDigits);
    return static_cast<int>(static_cast<long long>(m.whole) * lineHeight +
                            MulDivRound(m.fraction, lineHeight, kPowersOfTen[digits]));
}

PageSetupValue ToPageSetupUnits(const Measurement& m, int defaultUnit) {
    PageSetupValue v;
    if (UnitRow(m.unit, defaultUnit).metric) {
        v.value = static_cast<int>(MulDivRound(m.twips, 1000, 567));
        v.units = PageSetupUnits::HundredthsOfMillimeter;
    } else {
        v.value = static_cast<int>(MulDivRound(m.twips, 1000, 1440));
        v.units = PageSetupUnits::ThousandthsOfInch;
    }
    return v;
}

Measurement FromPageSetupUnits(int value, PageSetupUnits units, int defaultUnit) {
    long long twips = units == PageSetupUnits::ThousandthsOfInch
                          ? MulDivRound(value, 1440, 1000)
                          : MulDivRound(value, 567, 1000);
    return FromTwips(static_cast<int>(twips), defaultUnit);
}
