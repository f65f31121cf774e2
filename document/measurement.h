// Lengths as the user typed them, with their value resolved to twips
// (1/1440 inch, held in 16 bits).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class Prompter;
struct MessageOwner;

struct Measurement {
    int16_t whole = 0;
    int16_t fraction = 0;
    int16_t fractionDigits = 0;
    int16_t unit = 0;
    int16_t twips = 0;

    bool operator==(const Measurement&) const = default;
};

// Unit codes.
enum UnitCode : int16_t {
    kUnitNone = 0,
    kUnitCentimeters = 1,
    kUnitInches = 2,
    kUnitInchMark = 3,
    kUnitLines = 4,
    kUnitPicas = 5,
    kUnitPoints = 6,
};
constexpr int kUnitCount = 7;

struct UnitInfo {
    const char* accepted;  // suffix accepted when parsing
    const char* shown;     // suffix shown when formatting
    int twipsPerUnit;
    bool metric;
};

// The unit table row for `unit`; row 0 follows `defaultUnit`.  Codes outside
// the table count as inches.
UnitInfo UnitRow(int unit, int defaultUnit);

// Whether `unit` may be the default unit (centimeters, inches, picas, points).
bool IsDefaultUnitChoice(int unit);

// Parses a typed length.  Fails for text that is not a measurement, and for a
// value that does not fit in 16 bits.  `negate` inverts the sign (vertical
// picture positions and heights are held negated).
std::optional<Measurement> ParseMeasurement(std::string_view text, bool negate, int defaultUnit);

// The text shown in a field for a measurement.
std::string FormatMeasurement(const Measurement& m, bool negate = false);

// A length computed by the program, expressed in the default unit.
Measurement FromTwips(int twips, int defaultUnit);

// The largest length a measurement of `unit` can hold, as the field shows it
// ("22.7548 in"); `negative` for lengths below zero, which reach one twip
// further.
std::string LargestMeasurementText(int unit, bool negative, int defaultUnit);

// What reading a dialog's measurement field gives.
enum class FieldError { None, Invalid, Negative, TooLarge };
struct FieldReading {
    std::optional<Measurement> value;
    FieldError error = FieldError::None;
};

// Measurement fields hold 16 characters: room for every value the program
// itself shows, such as "2.5625 in" or "-22.7501 cm".
constexpr size_t kMeasurementFieldChars = 16;

// The core of reading a measurement field: reads at most 16 characters of the
// field's text, parses it and checks the sign.  Unless `quiet`, a failure is
// reported through the prompter ("Invalid measurement", "Measurement may not
// be less than zero", or for a number too long for 16 bits "Measurement may
// not be larger than 22.7548 in" in the unit typed), owned by `owner`;
// selecting the field is the dialog's part.
FieldReading ReadMeasurementField(std::string_view fieldText, bool negativesAllowed, bool negate,
                                  bool quiet, int defaultUnit, Prompter* prompter,
                                  const MessageOwner* owner);

// Spacing of text areas: a value without unit or in lines counts lines of `lineHeight`.
int ResolveAgainstLineHeight(const Measurement& m, int lineHeight);

// Rounding multiply-divide: a * b / c rounded to nearest, halves away from zero.
long long MulDivRound(long long a, long long b, long long c);

// Page-setup units: thousandths of an inch or hundredths of a millimeter.
enum class PageSetupUnits { ThousandthsOfInch, HundredthsOfMillimeter };
struct PageSetupValue {
    int value = 0;
    PageSetupUnits units = PageSetupUnits::ThousandthsOfInch;
};
PageSetupValue ToPageSetupUnits(const Measurement& m, int defaultUnit);
Measurement FromPageSetupUnits(int value, PageSetupUnits units, int defaultUnit);
