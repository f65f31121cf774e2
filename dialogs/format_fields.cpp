#include "dialogs/format_fields.h"

#include "document/liner.h"
#include "document/measurement.h"
#include "platform/strings.h"

namespace {

ChoiceTable Load(std::initializer_list<std::pair<uint16_t, uint16_t>> rows) {
    ChoiceTable table;
    for (const auto& [value, id] : rows) table.push_back({value, id, LoadString(id, 31)});
    return table;
}

}  // namespace

ChoiceTable AlignmentChoices() {
    return Load({{kAlignLeft, IDS_ALIGN_LEFT}, {kAlignCentered, IDS_ALIGN_CENTERED}, {kAlignRight, IDS_ALIGN_RIGHT}});
}

ChoiceTable SongAreaChoices() {
    return Load({{kSideAPrimaryArea, IDS_AREA_SIDE_A_PRIMARY},
                 {kSideBPrimaryArea, IDS_AREA_SIDE_B_PRIMARY},
                 {kSideAOverflowArea, IDS_AREA_SIDE_A_OVERFLOW},
                 {kSideBOverflowArea, IDS_AREA_SIDE_B_OVERFLOW}});
}

ChoiceTable DefaultUnitChoices() {
    return Load({{kUnitCentimeters, IDS_UNIT_CENTIMETERS},
                 {kUnitInches, IDS_UNIT_INCHES},
                 {kUnitPicas, IDS_UNIT_PICAS},
                 {kUnitPoints, IDS_UNIT_POINTS}});
}

uint16_t ChoiceValueOf(const ChoiceTable& table, std::string_view text) {
    for (const ChoiceEntry& row : table) {
        if (row.text == text) return row.value;
    }
    return table.empty() ? 0 : table.front().value;
}

const std::string* ChoiceTextOf(const ChoiceTable& table, int value) {
    for (const ChoiceEntry& row : table) {
        if (row.value == value) return &row.text;
    }
    return nullptr;
}

int FirstInvalidTabStop(std::string_view text, int defaultUnit) {
    int position = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        const std::string_view entry = text.substr(start, comma - start);
        // Empty entries are skipped when the list is parsed, so they count
        // neither as stops nor as errors.
        if (!entry.empty()) {
            ++position;
            if (!ParseMeasurement(entry, false, defaultUnit)) return position;
        }
        start = comma + 1;
    }
    return 0;
}

bool SameFeaturesApartFromChoices(const std::vector<Feature>& a, const std::vector<Feature>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].style != b[i].style || !(a[i].top == b[i].top) || !(a[i].side == b[i].side) ||
            StripFontChanges(a[i].name) != StripFontChanges(b[i].name))
            return false;
    }
    return true;
}
