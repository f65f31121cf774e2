#include "dialogs/date_time.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>

namespace {

std::tm At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int weekday = 0) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_wday = weekday;
    return time;
}

const std::tm kSixDecember = At(1998, 12, 6, 14, 5, 9, 0);  // a Sunday

DateNames EnglishNames() {
    DateNames n;
    n.days = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    n.shortDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    n.months = {"January", "February", "March",     "April",   "May",      "June",
                "July",    "August",   "September", "October", "November", "December"};
    n.shortMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return n;
}

std::string LongDate(const std::string& picture, const std::tm& time = kSixDecember, int flags = 0) {
    DateSettings settings;
    settings.sLongDate = picture;
    return FormatLongDate(time, flags, settings, EnglishNames());
}

std::string ShortDate(const std::string& picture, const std::tm& time = kSixDecember) {
    DateSettings settings;
    settings.sShortDate = picture;
    return FormatShortDate(time, settings);
}

const QLocale kUnitedStates(QStringLiteral("en_US"));
const QLocale kGermany(QStringLiteral("de_DE"));

// A settings store in a temporary ini file.
struct IniStore {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("reelcard.ini"));
    QSettings settings{path, QSettings::IniFormat};
};

}  // namespace

TEST(FormatTime, TwelveHourClock) {
    const DateSettings defaults;
    EXPECT_EQ(FormatTime(kSixDecember, DTF_NO_SECONDS, defaults), "02:05 PM");
    EXPECT_EQ(FormatTime(kSixDecember, 0, defaults), "02:05:09 PM");
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 0, 0, 0), DTF_NO_SECONDS, defaults), "12:00 AM");
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 11, 59, 59), 0, defaults), "11:59:59 AM");
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 12, 0, 0), DTF_NO_SECONDS, defaults), "12:00 PM");
}

TEST(FormatTime, TwentyFourHourClockNeverCarriesAMarker) {
    DateSettings settings;
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 0, 0, 0), DTF_SHORT | DTF_NO_SECONDS, settings), "00:00");
    settings.iTime = 7;  // any non-zero value
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 0, 7, 3), 0, settings), "00:07:03");
    EXPECT_EQ(FormatTime(kSixDecember, DTF_NO_SECONDS, settings), "14:05");
}

TEST(FormatTime, UserTextsAreTakenLiterally) {
    DateSettings settings;
    settings.iTLzero = 0;
    settings.sTime = ".";
    settings.s1159 = "vorm";
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 9, 3, 4), 0, settings), "9.03.04 vorm");
    // A separator that looks like a format directive must come out as typed.
    settings.sTime = "%s";
    EXPECT_EQ(FormatTime(kSixDecember, DTF_NO_SECONDS, settings), "2%s05 PM");
}

TEST(FormatShortDate, Pictures) {
    const struct {
        const char* picture;
        std::tm time;
        const char* expected;
    } cases[] = {
        {"MM/dd/yy", kSixDecember, "12/06/98"},
        {"M/d/yy", At(2001, 2, 3), "2/3/01"},
        {"dd.MM.yyyy", At(2001, 2, 3), "03.02.2001"},
        {"d.M.yyy", At(2001, 2, 3), "3.2.2001"},
        // Two-digit years keep their zero, also before 1900.
        {"MM/dd/yy", At(2005, 1, 2), "01/02/05"},
        {"dd-MM-yy", At(1899, 7, 4), "04-07-99"},
        // Order by the first character; year first reads year, month, day.
        {"/MM/dd/yy", kSixDecember, "12/06/98"},
        {"yy/MM/dd", kSixDecember, "98/12/06"},
        // The separator follows the last M; "/" without M; a month at the
        // end borrows the picture's other separator.
        {"dd.MM-yy", kSixDecember, "06-12-98"},
        {"dd.yy", kSixDecember, "06/12/98"},
        {"dd.yyMM", kSixDecember, "06.12.98"},
        {"ddyyMM", kSixDecember, "061298"},
        {"dd\xC2\xB7MM\xC2\xB7yy", kSixDecember, "06\xC2\xB7" "12\xC2\xB7" "98"},
        {"", kSixDecember, "12/6/98"},
    };
    for (const auto& c : cases) EXPECT_EQ(ShortDate(c.picture, c.time), c.expected) << c.picture;
}

TEST(FormatLongDate, Pictures) {
    const std::tm march2005 = At(2005, 3, 9, 0, 0, 0, 3);
    const struct {
        const char* picture;
        std::tm time;
        const char* expected;
    } cases[] = {
        {kDefaultLongDate, kSixDecember, "Sun, December 06, 1998"},
        {"dd MMMM yyyy", kSixDecember, "06 December 1998"},
        {"d M yy", kSixDecember, "6 12 98"},
        {"MMM d, yyyy", march2005, "Mar 9, 2005"},
        {"dd MMMM yy", march2005, "09 March 05"},
        {"dddd d MMMMM yyy", march2005, "Wednesday 9 March 05"},
        {"dddd, d. MMMM yyyy", kSixDecember, "Sunday, 6. December 1998"},
        {"yyyy-MM-dd", kSixDecember, "1998-12-06"},
        {"'day 'd' of 'MMMM", kSixDecember, "6 of December"},
        {"yyyy\xE5\xB9\xB4M\xE6\x9C\x88" "d\xE6\x97\xA5", kSixDecember,
         "1998\xE5\xB9\xB4" "12\xE6\x9C\x88" "6\xE6\x97\xA5"},
        // Nothing usable: the default picture.
        {"'d M y'", kSixDecember, "Sun, December 06, 1998"},
        {"dddd", kSixDecember, "Sun, December 06, 1998"},
        {"", kSixDecember, "Sun, December 06, 1998"},
        // An unterminated quote runs to the end.
        {"MMMM' d", kSixDecember, "December d"},
    };
    for (const auto& c : cases) EXPECT_EQ(LongDate(c.picture, c.time), c.expected) << c.picture;

    EXPECT_EQ(LongDate(kDefaultLongDate, kSixDecember, DTF_NO_WEEKDAY), "December 06, 1998");
    EXPECT_EQ(LongDate("---", kSixDecember, DTF_NO_WEEKDAY), "December 06, 1998");
}

TEST(FormatLongDate, OutOfRangeIndexesGiveEmptyNames) {
    std::tm broken = kSixDecember;
    broken.tm_wday = 7;
    broken.tm_mon = -1;
    EXPECT_EQ(LongDate("dddd, MMMM d", broken), ",  6");
}

TEST(DateSettingsFromLocale, UnitedStatesAndGermany) {
    const DateNames names = EnglishNames();
    const DateSettings us = DateSettingsFromLocale(kUnitedStates);
    EXPECT_EQ(us.sLongDate, "dddd, MMMM d, yyyy");
    EXPECT_EQ(us.sDate, "/");
    EXPECT_EQ(us.iTime, 0);
    EXPECT_EQ(us.iTLzero, 0);
    EXPECT_EQ(us.s2359, "PM");
    EXPECT_EQ(FormatShortDate(kSixDecember, us), "12/6/98");
    EXPECT_EQ(FormatLongDate(kSixDecember, 0, us, names), "Sunday, December 6, 1998");
    EXPECT_EQ(FormatTime(kSixDecember, DTF_NO_SECONDS, us), "2:05 PM");

    const DateSettings de = DateSettingsFromLocale(kGermany);
    EXPECT_EQ(de.sDate, ".");
    EXPECT_EQ(de.sTime, ":");
    EXPECT_NE(de.iTime, 0);
    EXPECT_NE(de.iTLzero, 0);
    EXPECT_EQ(FormatShortDate(kSixDecember, de), "06.12.98");
    EXPECT_EQ(FormatLongDate(kSixDecember, DTF_NO_WEEKDAY, de, names), "6. December 1998");
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 9, 3, 0), DTF_NO_SECONDS, de), "09:03");
}

TEST(DateSettingsFromLocale, OtherConventions) {
    const DateSettings fi = DateSettingsFromLocale(QLocale(QStringLiteral("fi_FI")));
    EXPECT_EQ(FormatTime(At(2000, 1, 1, 9, 3, 0), DTF_NO_SECONDS, fi), "9.03");

    // A weekday after the date cannot be placed; it is dropped, not left
    // dangling as a separator.
    const DateSettings ja = DateSettingsFromLocale(QLocale(QStringLiteral("ja_JP")));
    EXPECT_EQ(FormatLongDate(kSixDecember, 0, ja, EnglishNames()),
              "1998\xE5\xB9\xB4" "12\xE6\x9C\x88" "6\xE6\x97\xA5");
    EXPECT_EQ(FormatShortDate(kSixDecember, ja), "1998/12/06");

    // Six-letter Cyrillic markers: four whole letters are kept.
    const QLocale bg(QStringLiteral("bg_BG"));
    EXPECT_EQ(QString::fromStdString(DateSettingsFromLocale(bg).s1159), bg.amText().left(kKeptMarker - 1));
}

TEST(ReadDateSettings, StoreOverridesTheLocale) {
    IniStore store;
    EXPECT_EQ(ReadDateSettings(kUnitedStates, store.settings).sShortDate, "M/d/yy");

    store.settings.setValue("intl/iTime", 1);
    store.settings.setValue("intl/iTLzero", "no");  // not a number: ignored
    store.settings.setValue("intl/sTime", "h:");    // cut to one character
    store.settings.setValue("intl/s1159", "morning");
    store.settings.setValue("intl/s2359", "");      // empty: ignored
    store.settings.setValue("intl/sShortDate", "yyyy-MM-dd extra");
    store.settings.setValue("intl/sLongDate", "dddd', the 'd' day of 'MMMM' in the year 'yyyy");
    const DateSettings s = ReadDateSettings(kUnitedStates, store.settings);
    EXPECT_EQ(s.iTime, 1);
    EXPECT_EQ(s.iTLzero, 0);
    EXPECT_EQ(s.sTime, "h");
    EXPECT_EQ(s.s1159, "morn");
    EXPECT_EQ(s.s2359, "PM");
    EXPECT_EQ(s.sShortDate, "yyyy-MM-dd ");
    EXPECT_EQ(FormatTime(kSixDecember, 0, s), "14h05h09");
    EXPECT_EQ(FormatLongDate(kSixDecember, 0, s, EnglishNames()), "Sunday, the 6 day of December in th");
}

TEST(ReadDateSettings, HandEditedFileWithCommas) {
    IniStore store;
    {
        QFile file(store.path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[intl]\nsLongDate=dddd, MMMM d, yyyy\n");
    }
    QSettings settings(store.path, QSettings::IniFormat);
    EXPECT_EQ(ReadDateSettings(kGermany, settings).sLongDate, "dddd, MMMM d, yyyy");
}

TEST(DateNames, LoadedOnceFromTheStringTable) {
    DateNames kept;
    kept.days[0] = "Dimanche";
    LoadDateNames(kept);
    EXPECT_TRUE(kept.months[0].empty());

    DateNames loaded;
    LoadDateNames(loaded);
    const DateNames english = EnglishNames();
    EXPECT_EQ(loaded.days, english.days);
    EXPECT_EQ(loaded.shortDays, english.shortDays);
    EXPECT_EQ(loaded.months, english.months);
    EXPECT_EQ(loaded.shortMonths, english.shortMonths);
}

TEST(FormatCurrent, TheTextEntryButtons) {
    IniStore store;
    std::tm local = At(1998, 12, 6, 14, 5, 9);
    local.tm_isdst = -1;
    const std::time_t moment = std::mktime(&local);

    LoadDateSettings(kUnitedStates, store.settings);
    EXPECT_EQ(FormatCurrentDate(2, moment), "December 6, 1998");
    EXPECT_EQ(FormatCurrentDate(3, moment), "12/6/98");
    EXPECT_EQ(FormatCurrentTime(4, moment), "2:05 PM");

    LoadDateSettings(kGermany, store.settings);
    EXPECT_EQ(FormatCurrentDate(3, moment), "06.12.98");
    EXPECT_EQ(FormatCurrentTime(4, moment), "14:05");
}
