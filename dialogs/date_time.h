// The date and time a text entry dialog inserts into a field: the user's
// international settings (kept under the classic "intl" value names), the day
// and month name tables, and the short-date, long-date and time formatters.
//
// Texts are UTF-8.  Every length limit below counts characters (code points),
// so a cut never splits a character.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/strings.h"

class QLocale;
class QSettings;

// Bits of the flags the callers pass to the formatters.
enum DateTimeFlag : int {
    DTF_SHORT = 1,       // date: short form; time: force the 24-hour clock
    DTF_NO_WEEKDAY = 2,  // long date without the day of the week
    DTF_NO_SECONDS = 4,  // time without seconds
};

// Longest text kept for each value, terminator included (as the values were
// sized for fixed buffers; the characters kept are one fewer).
inline constexpr std::size_t kKeptSeparator = 2;   // sDate, sTime
inline constexpr std::size_t kKeptMarker = 5;      // s1159, s2359
inline constexpr std::size_t kKeptShortDate = 12;  // sShortDate
inline constexpr std::size_t kKeptLongDate = 35;   // sLongDate
inline constexpr std::size_t kMaxFullName = 12;    // characters of a full day or month name
inline constexpr std::size_t kMaxShortName = 3;    // characters of an abbreviated name

inline constexpr const char* kDefaultShortDate = "MM/dd/yy";
inline constexpr const char* kDefaultLongDate = "ddd', 'MMMM' 'dd', 'yyyy";

struct DateSettings {
    int iTime = 0;    // 0: 12-hour clock with markers; otherwise 24-hour
    int iTLzero = 1;  // non-zero: hours with a leading zero
    std::string sDate = "/";
    std::string sTime = ":";
    std::string s1159 = "AM";
    std::string s2359 = "PM";
    std::string sShortDate = kDefaultShortDate;
    std::string sLongDate = kDefaultLongDate;
};

// Days from Sunday = 0, months from January = 0.
struct DateNames {
    std::array<std::string, 7> days;
    std::array<std::string, 7> shortDays;
    std::array<std::string, 12> months;
    std::array<std::string, 12> shortMonths;
};

// String identifiers of the first name of each table.
inline constexpr uint16_t kFirstDayNameId = IDS_DAY_SUNDAY;        // 1024
inline constexpr uint16_t kFirstShortDayNameId = IDS_DAY_SUN;      // 1031
inline constexpr uint16_t kFirstMonthNameId = IDS_MONTH_JANUARY;   // 1040
inline constexpr uint16_t kFirstShortMonthNameId = IDS_MONTH_JAN;  // 1056

// The locale's formats translated into the "intl" values; a value the locale
// does not give keeps its default.  Each value is cut to its kept length.
DateSettings DateSettingsFromLocale(const QLocale& locale);

// DateSettingsFromLocale, then any value present in the group "intl" of the
// settings store replaces the locale's.  Empty strings and integers that do
// not parse count as absent.
DateSettings ReadDateSettings(const QLocale& locale, QSettings& settings);

// Fills the name tables from the string table when the first full day name
// is still empty (so a table that is not there yet is tried again next time).
void LoadDateNames(DateNames& names);

// Reads the settings into the program's current ones and loads the name
// tables if needed.  Called when the main window is created and whenever the
// platform announces changed settings.
void LoadDateSettings(const QLocale& locale, QSettings& settings);
// The same with QLocale::system() and the program's settings store.
void LoadDateSettings();

const DateSettings& CurrentDateSettings();
const DateNames& CurrentDateNames();

// The formatters proper.  Only tm_sec, tm_min, tm_hour, tm_mday, tm_mon,
// tm_year and tm_wday are read; out-of-range day or month indexes give an
// empty name rather than reading outside the tables.
std::string FormatShortDate(const std::tm& time, const DateSettings& settings);
std::string FormatLongDate(const std::tm& time, int flags, const DateSettings& settings,
                           const DateNames& names);
std::string FormatTime(const std::tm& time, int flags, const DateSettings& settings);
// Short date when DTF_SHORT is set, else long date.
std::string FormatDate(const std::tm& time, int flags, const DateSettings& settings,
                       const DateNames& names);

// The given moment (default: now) as local time, formatted with the current
// settings and names.
std::string FormatCurrentDate(int flags, std::time_t now = std::time(nullptr));
std::string FormatCurrentTime(int flags, std::time_t now = std::time(nullptr));
