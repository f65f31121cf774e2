#include <gtest/gtest.h>

#include "document/liner.h"
#include "document/measurement.h"
#include "document/print_settings.h"
#include "platform/prompter.h"
#include "support/test_support.h"

namespace {

Measurement P(const char* text, bool negate = false, int unit = kUnitInches) {
    auto m = ParseMeasurement(text, negate, unit);
    EXPECT_TRUE(m.has_value()) << text;
    return m.value_or(Measurement{});
}

TEST(Measurement, ParsesTheTypedForms) {
    for (const char* text : {"1.5in", "1.5 IN", "  1.50 in  "}) {
        Measurement m = P(text);
        EXPECT_EQ(m.whole, 1) << text;
        EXPECT_EQ(m.fraction, 5) << text;
        EXPECT_EQ(m.fractionDigits, 1) << text;
        EXPECT_EQ(m.unit, kUnitInches) << text;
        EXPECT_EQ(m.twips, 2160) << text;
    }
    EXPECT_EQ(P("2 cm").twips, 1134);
    EXPECT_EQ(P("12").twips, 17280);
    EXPECT_EQ(P("3 PT").unit, kUnitPoints);
    EXPECT_EQ(P("3 PT").twips, 60);
    EXPECT_EQ(P("2\"").unit, kUnitInchMark);
    EXPECT_EQ(P("1 li").twips, 240);
    EXPECT_EQ(P("1 pi").twips, 240);
    EXPECT_EQ(P(".25").twips, 360);
    Measurement empty = P("");
    EXPECT_EQ(empty, Measurement{});
}

TEST(Measurement, RefusesWhatIsNotAMeasurement) {
    for (const char* text : {"1 inch", "+1", "1.5.5", "abc", "1 in x", "--1", "1,5"}) {
        EXPECT_FALSE(ParseMeasurement(text, false, kUnitInches)) << text;
    }
}

TEST(Measurement, FractionsAreCutNotRounded) {
    Measurement m = P("0.12345");
    EXPECT_EQ(m.fraction, 1234);
    EXPECT_EQ(m.fractionDigits, 4);
    Measurement t = P("1.10");
    EXPECT_EQ(t.fraction, 1);
    EXPECT_EQ(t.fractionDigits, 1);
    EXPECT_EQ(FormatMeasurement(t), "1.1");
    EXPECT_EQ(FormatMeasurement(P("0.05")), "0.05");
    // Halves of a twip round away from zero.
    EXPECT_EQ(P("0.0125 in").twips, 18);
    EXPECT_EQ(P("-0.0125 in").twips, -18);
}

TEST(Measurement, SignsAndNegation) {
    Measurement half = P("-0.5");
    EXPECT_EQ(half.whole, 0);
    EXPECT_EQ(half.fraction, -5);
    EXPECT_EQ(half.twips, -720);
    EXPECT_EQ(FormatMeasurement(half), "-0.5");

    Measurement height = P("2", true);
    EXPECT_EQ(height.whole, -2);
    EXPECT_EQ(height.twips, -2880);
    EXPECT_EQ(FormatMeasurement(height, true), "2");
    EXPECT_EQ(P("-1 in", true).twips, 1440);
}

TEST(Measurement, FormatShowsTheUnit) {
    EXPECT_EQ(FormatMeasurement(P("1.5in")), "1.5 in");
    EXPECT_EQ(FormatMeasurement(P("3 PT")), "3 pt");
    EXPECT_EQ(FormatMeasurement(P("2\"")), "2\"");
    EXPECT_EQ(FormatMeasurement(P("1.05cm")), "1.05 cm");
}

TEST(Measurement, ValuesBeyondSixteenBitsAreRefused) {
    EXPECT_TRUE(ParseMeasurement("22.75 in", false, kUnitInches));
    EXPECT_FALSE(ParseMeasurement("23 in", false, kUnitInches));
    EXPECT_FALSE(ParseMeasurement("99999", false, kUnitPoints));
    EXPECT_FALSE(ParseMeasurement("-23in", false, kUnitInches));
    EXPECT_TRUE(ParseMeasurement("1638 pt", false, kUnitInches));
}

TEST(Measurement, FromTwipsUsesTheDefaultUnit) {
    Measurement m = FromTwips(1440, kUnitCentimeters);
    EXPECT_EQ(m.unit, kUnitNone);
    EXPECT_EQ(FormatMeasurement(m), "2.54");
    EXPECT_EQ(m.twips, 1440);
    EXPECT_EQ(FromTwips(720, kUnitInches).fraction, 5);
    EXPECT_EQ(FromTwips(-1440, kUnitInches).twips, -1440);
    EXPECT_EQ(FromTwips(32767, kUnitCentimeters).twips, 32767);
}

TEST(Measurement, ReadFieldReportsAndStaysQuietWhenAsked) {
    ScriptedPrompter prompter;
    MessageOwner owner = MessageOwner::Dialog(nullptr);
    auto bad = ReadMeasurementField("1 inch", true, false, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(bad.error, FieldError::Invalid);
    EXPECT_EQ(prompter.LastText(),
              "Invalid measurement: 'inch' is not a unit. Use cm, in or \", li, pi or pt, or a number alone for "
              "inches.");
    ReadMeasurementField("2.5 MM", true, false, false, kUnitCentimeters, &prompter, &owner);
    EXPECT_EQ(prompter.LastText(),
              "Invalid measurement: 'mm' is not a unit. Use cm, in or \", li, pi or pt, or a number alone for "
              "centimeters.");
    ReadMeasurementField("abc", true, false, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(prompter.LastText(), "Invalid measurement");

    auto negative = ReadMeasurementField("-1", false, false, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(negative.error, FieldError::Negative);
    EXPECT_EQ(prompter.LastText(), "Measurement may not be less than zero");

    auto quiet = ReadMeasurementField("junk", true, false, true, kUnitInches, &prompter, &owner);
    EXPECT_EQ(quiet.error, FieldError::Invalid);
    EXPECT_EQ(prompter.shown.size(), 4u);

    // A field delivers sixteen characters at most: enough for what the
    // program shows itself, and the rest is not read.
    auto shown = ReadMeasurementField("2.5625 in", true, false, false, kUnitInches, &prompter, &owner);
    ASSERT_TRUE(shown.value);
    EXPECT_EQ(shown.value->twips, 3690);
    auto cut = ReadMeasurementField("0.25 in         junk", true, false, false, kUnitInches, &prompter, &owner);
    ASSERT_TRUE(cut.value);
    EXPECT_EQ(cut.value->twips, 360);
    // Negative picture heights are allowed: the value is held negated.
    auto height = ReadMeasurementField("2", false, true, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(height.error, FieldError::Negative);
}

TEST(Measurement, ATooLargeValueIsToldTheLargestLengthAllowed) {
    ScriptedPrompter prompter;
    MessageOwner owner = MessageOwner::Dialog(nullptr);
    auto huge = ReadMeasurementField("99999 in", true, false, false, kUnitInches, &prompter, &owner);
    EXPECT_FALSE(huge.value);
    EXPECT_EQ(prompter.LastText(), "Measurement may not be larger than 22.7548 in");
    // In the unit typed, or the default unit when none was; the length named
    // is itself accepted.
    ReadMeasurementField("60 cm", true, false, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(prompter.LastText(), "Measurement may not be larger than 57.7901 cm");
    ReadMeasurementField("2000", true, false, false, kUnitPoints, &prompter, &owner);
    EXPECT_EQ(prompter.LastText(), "Measurement may not be larger than 1638.35");
    // Below the smallest length: said as such, naming the smallest.
    ReadMeasurementField("-99999 in", true, false, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(prompter.LastText(), "Measurement may not be less than -22.7555 in");
    EXPECT_EQ(ParseMeasurement("22.7548 in", false, kUnitInches)->twips, 32767);
    EXPECT_EQ(ParseMeasurement("57.7901 cm", false, kUnitInches)->twips, 32767);
    EXPECT_EQ(ParseMeasurement("-22.7555 in", false, kUnitInches)->twips, -32768);
    // Text that is no measurement at all stays invalid, however long its number.
    auto junk = ReadMeasurementField("99999 x1", true, false, false, kUnitInches, &prompter, &owner);
    EXPECT_EQ(junk.error, FieldError::Invalid);
    EXPECT_EQ(prompter.LastText(), "Invalid measurement");
}

TEST(Measurement, SpacingCountsLines) {
    EXPECT_EQ(ResolveAgainstLineHeight(P("1.5"), 300), 450);
    EXPECT_EQ(ResolveAgainstLineHeight(P("2 li"), 300), 600);
    EXPECT_EQ(ResolveAgainstLineHeight(P("0.5 in"), 300), 720);
    EXPECT_EQ(ResolveAgainstLineHeight(P("0.333"), 300), 100);
}

TEST(Measurement, PageSetupUnits) {
    PageSetupValue inch = ToPageSetupUnits(P("0.25 in"), kUnitCentimeters);
    EXPECT_EQ(inch.units, PageSetupUnits::ThousandthsOfInch);
    EXPECT_EQ(inch.value, 250);
    PageSetupValue cm = ToPageSetupUnits(P("1", false, kUnitCentimeters), kUnitCentimeters);
    EXPECT_EQ(cm.units, PageSetupUnits::HundredthsOfMillimeter);
    EXPECT_EQ(cm.value, 1000);
    EXPECT_EQ(FromPageSetupUnits(250, PageSetupUnits::ThousandthsOfInch, kUnitInches).twips, 360);
    EXPECT_EQ(FromPageSetupUnits(1000, PageSetupUnits::HundredthsOfMillimeter, kUnitCentimeters).twips, 567);
}

TEST(ChangeDefaultUnit, UnitlessValuesKeepTheirNumbers) {
    Liner liner;
    liner.defaultUnits = kUnitInches;
    liner.titleHeight = P("0.5");
    liner.width = P("4 in");
    Picture picture;
    picture.height = P("1", true);
    liner.pictures.push_back(picture);
    PrintSettings print;
    print.marginLeft = P("0.5");
    print.marginTop = P("0.5 in");

    ChangeDefaultUnit(liner, kUnitCentimeters, &print);
    EXPECT_EQ(liner.defaultUnits, kUnitCentimeters);
    EXPECT_EQ(liner.titleHeight.twips, 284);
    EXPECT_EQ(FormatMeasurement(liner.titleHeight), "0.5");
    EXPECT_EQ(liner.width.twips, 5760);
    EXPECT_EQ(liner.pictures[0].height.twips, -567);
    EXPECT_EQ(FormatMeasurement(liner.pictures[0].height, true), "1");
    for (const Measurement* m : {&print.marginLeft, &print.marginTop}) {
        EXPECT_EQ(m->unit, kUnitCentimeters);
        EXPECT_EQ(FormatMeasurement(*m), "1.27 cm");
        EXPECT_EQ(m->twips, 720);
    }
}

TEST(ChangeDefaultUnit, MarginsStayWhenTheMetricMarkStays) {
    Liner liner;
    liner.defaultUnits = kUnitPicas;
    PrintSettings print;
    print.marginLeft = P("3", false, kUnitPicas);
    ChangeDefaultUnit(liner, kUnitPoints, &print);
    EXPECT_EQ(print.marginLeft.unit, kUnitNone);
    EXPECT_EQ(print.marginLeft.twips, 720);
    EXPECT_EQ(liner.defaultUnits, kUnitPoints);
}

}  // namespace
