// What the format dialogs share apart from their widgets: the choice tables
// whose texts come from the string table, and the check of a tab-stop list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/liner.h"

// One row of a choice list: the value it stands for and its shown text.
struct ChoiceEntry {
    uint16_t value = 0;
    uint16_t stringId = 0;
    std::string text;  // loaded from the string table, at most 30 characters
};

using ChoiceTable = std::vector<ChoiceEntry>;

// The tables with their texts loaded.
ChoiceTable AlignmentChoices();    // 0 Left, 1 Centered, 2 Right
ChoiceTable SongAreaChoices();     // the four song areas, by SongArea
ChoiceTable DefaultUnitChoices();  // centimeters, inches, picas, points

// The value of the first row whose text is `text` exactly; the first row's
// value when none is.
uint16_t ChoiceValueOf(const ChoiceTable& table, std::string_view text);
// The text of the first row with `value`, or nullptr.
const std::string* ChoiceTextOf(const ChoiceTable& table, int value);

// Checks a typed tab-stop list (measurements separated by commas, read with
// `defaultUnit`).  0 when every entry is a measurement (an empty text, and
// empty entries, are fine); otherwise the 1-based position of the first
// entry that is not.
int FirstInvalidTabStop(std::string_view text, int defaultUnit);

// Whether two feature lists are the same features in the same order, their
// choices (which Format Sides changes on its own) and font numbers (which
// saving renumbers) aside.
bool SameFeaturesApartFromChoices(const std::vector<Feature>& a, const std::vector<Feature>& b);
