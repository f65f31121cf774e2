#include "dialogs/date_time.h"

#include <QLocale>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cstdio>

#include "platform/strings.h"

namespace {

DateSettings g_settings;
DateNames g_names;

// Bytes of the UTF-8 sequence that starts with this byte (1 for stray bytes,
// so a malformed text still advances).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The whole character starting at pos, never running past the end.
std::string CharacterAt(const std::string& text, std::size_t pos) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(text[pos]));
    return text.substr(pos, std::min(length, text.size() - pos));
}

std::string CutChars(std::string text, std::size_t maxChars) {
    std::size_t pos = 0;
    for (std::size_t count = 0; pos < text.size() && count < maxChars; ++count)
        pos += SequenceLength(static_cast<unsigned char>(text[pos]));
    if (pos < text.size()) text.resize(pos);
    return text;
}

// A value cut to fit a store of `kept` characters including the terminator.
std::string Keep(const std::string& text, std::size_t kept) { return CutChars(text, kept - 1); }

std::string Number(int value, int width, char pad = '0') {
    char buffer[32];  // an int with sign and padding to at most 4 fits easily
    std::snprintf(buffer, sizeof buffer, pad == '0' ? "%0*d" : "%*d", width, value);
    return buffer;
}

int FullYear(const std::tm& time) { return 1900 + time.tm_year; }
int TwoDigitYear(const std::tm& time) { return ((FullYear(time) % 100) + 100) % 100; }

template <std::size_t N>
const std::string& Name(const std::array<std::string, N>& table, int index) {
    static const std::string none;
    return index >= 0 && static_cast<std::size_t>(index) < N ? table[index] : none;
}

bool IsField(char c) { return c == 'd' || c == 'M' || c == 'y'; }

// ---- Locale translation ------------------------------------------------

std::string Utf8(const QString& text) { return text.toStdString(); }

// The first character of a format, outside quotes, that is neither a letter
// nor a quote; empty when there is none.
QString FirstSeparator(const QString& format) {
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && !c.isLetter() && !c.isSpace()) {
            return c;
        }
    }
    return {};
}

// A weekday that is not at the start of a long format cannot be placed by the
// long-date formatter (it would leave its separator dangling at the end), so
// it goes together with the spaces and commas before it.
QString DropTrailingWeekday(const QString& format) {
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u'd') {
            qsizetype run = 0;
            while (i + run < format.size() && format[i + run] == u'd') ++run;
            if (run >= 3 && i > 0) {
                while (!result.isEmpty() && (result.back() == u' ' || result.back() == u',' ||
                                             result.back() == QChar(0x00A0)))
                    result.chop(1);
            } else {
                result += format.mid(i, run);
            }
            i += run;
            continue;
        }
        result += c;
        ++i;
    }
    return result;
}

void TranslateTimeFormat(const QLocale& locale, DateSettings& settings) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    bool quoted = false;
    bool hourSeen = false;
    bool marker = false;
    bool lowerMarker = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == u'a' || c == u'A') {
            marker = true;
            lowerMarker = c == u'a';
        }
        if (!hourSeen && (c == u'h' || c == u'H')) {
            hourSeen = true;
            qsizetype run = 0;
            while (i + run < format.size() && format[i + run] == c) ++run;
            settings.iTLzero = run >= 2 ? 1 : 0;
            const qsizetype next = i + run;
            if (next < format.size()) {
                QChar sep = format[next];
                if (sep == u'\'' && next + 1 < format.size() && format[next + 1] != u'\'')
                    sep = format[next + 1];
                if (!sep.isLetter() && sep != u'\'') settings.sTime = Keep(Utf8(sep), kKeptSeparator);
            }
            i = next - 1;
        }
    }
    if (hourSeen) settings.iTime = marker ? 0 : 1;

    QString am = locale.amText();
    QString pm = locale.pmText();
    if (marker) {
        am = lowerMarker ? am.toLower() : am.toUpper();
        pm = lowerMarker ? pm.toLower() : pm.toUpper();
    }
    if (!am.isEmpty()) settings.s1159 = Keep(Utf8(am), kKeptMarker);
    if (!pm.isEmpty()) settings.s2359 = Keep(Utf8(pm), kKeptMarker);
}

// ---- Long date -----------------------------------------------------------

class LongDatePicture {
public:
    explicit LongDatePicture(const std::string& picture) : p_(picture) {}

    std::size_t RunLength(std::size_t pos) const {
        std::size_t run = 0;
        while (pos + run < p_.size() && p_[pos + run] == p_[pos]) ++run;
        return run;
    }

    // The literal that follows a field run ending at pos.
    std::string LiteralAt(std::size_t pos) const {
        if (pos >= p_.size()) return {};
        if (p_[pos] == '\'') {
            const std::size_t close = p_.find('\'', pos + 1);
            return p_.substr(pos + 1, close == std::string::npos ? std::string::npos : close - pos - 1);
        }
        const std::size_t end = p_.find_first_of("dyM'", pos);
        return p_.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    }

    // The first letter `field` outside quotes at or after `from`.
    std::size_t Find(char field, std::size_t from) const {
        bool quoted = false;
        for (std::size_t i = from; i < p_.size(); ++i) {
            if (p_[i] == '\'') quoted = !quoted;
            else if (!quoted && p_[i] == field) return i;
        }
        return std::string::npos;
    }

private:
    const std::string& p_;
};

// Builds the long date from one picture; false when the picture has no
// usable field after the day of the week.
bool BuildLongDate(const std::string& picture, const std::tm& time, int flags, const DateNames& names,
                   std::string& out) {
    const LongDatePicture pic(picture);
    std::size_t weekdayRun = picture.empty() || picture[0] != 'd' ? 0 : pic.RunLength(0);
    if (weekdayRun < 3) weekdayRun = 0;

    std::string weekday;
    if (weekdayRun && !(flags & DTF_NO_WEEKDAY)) {
        weekday = weekdayRun >= 4 ? Name(names.days, time.tm_wday) : Name(names.shortDays, time.tm_wday);
        weekday += pic.LiteralAt(weekdayRun);
    }

    std::string month;
    const std::size_t m = pic.Find('M', weekdayRun);
    if (m != std::string::npos) {
        const std::size_t run = pic.RunLength(m);
        if (run >= 4) month = Name(names.months, time.tm_mon);
        else if (run == 3) month = Name(names.shortMonths, time.tm_mon);
        else month = Number(time.tm_mon + 1, run == 2 ? 2 : 0);
        month += pic.LiteralAt(m + run);
    }

    std::string day;
    const std::size_t d = pic.Find('d', weekdayRun);
    if (d != std::string::npos) {
        const std::size_t run = pic.RunLength(d);
        day = Number(time.tm_mday, run >= 2 ? 2 : 0) + pic.LiteralAt(d + run);
    }

    std::string year;
    const std::size_t y = pic.Find('y', weekdayRun);
    if (y != std::string::npos) {
        const std::size_t run = pic.RunLength(y);
        year = (run >= 4 ? std::to_string(FullYear(time)) : Number(TwoDigitYear(time), 2)) +
               pic.LiteralAt(y + run);
    }

    const std::size_t first = std::min({m, d, y});
    if (first == std::string::npos) return false;
    if (first == m) out = weekday + month + day + year;
    else if (first == d) out = weekday + day + month + year;
    else out = weekday + year + month + day;
    return true;
}

}  // namespace

// ---- Settings -------------------------------------------------------------

DateSettings DateSettingsFromLocale(const QLocale& locale) {
    DateSettings settings;

    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!shortFormat.isEmpty()) settings.sShortDate = Keep(Utf8(shortFormat), kKeptShortDate);
    const QString dateSeparator = FirstSeparator(shortFormat);
    if (!dateSeparator.isEmpty()) settings.sDate = Keep(Utf8(dateSeparator), kKeptSeparator);

    const QString longFormat = DropTrailingWeekday(locale.dateFormat(QLocale::LongFormat));
    if (!longFormat.isEmpty()) settings.sLongDate = Keep(Utf8(longFormat), kKeptLongDate);

    TranslateTimeFormat(locale, settings);
    return settings;
}

DateSettings ReadDateSettings(const QLocale& locale, QSettings& settings) {
    DateSettings result = DateSettingsFromLocale(locale);

    auto text = [&](const char* name, std::string& value, std::size_t kept) {
        const QVariant stored = settings.value(QStringLiteral("intl/") + QLatin1String(name));
        if (!stored.isValid()) return;
        // An unquoted value with commas in a hand-edited file reads as a list.
        const QString string = stored.typeId() == QMetaType::QStringList
                                   ? stored.toStringList().join(QStringLiteral(", "))
                                   : stored.toString();
        if (!string.isEmpty()) value = Keep(Utf8(string), kept);
    };
    auto number = [&](const char* name, int& value) {
        const QVariant stored = settings.value(QStringLiteral("intl/") + QLatin1String(name));
        if (!stored.isValid()) return;
        bool ok = false;
        const int parsed = stored.toString().trimmed().toInt(&ok);
        if (ok) value = parsed;
    };

    number("iTime", result.iTime);
    number("iTLzero", result.iTLzero);
    text("sDate", result.sDate, kKeptSeparator);
    text("sTime", result.sTime, kKeptSeparator);
    text("s1159", result.s1159, kKeptMarker);
    text("s2359", result.s2359, kKeptMarker);
    text("sShortDate", result.sShortDate, kKeptShortDate);
    text("sLongDate", result.sLongDate, kKeptLongDate);
    return result;
}

void LoadDateNames(DateNames& names) {
    if (!names.days[0].empty()) return;
    for (int i = 0; i < 7; ++i) {
        names.days[i] = CutChars(LoadString(static_cast<uint16_t>(kFirstDayNameId + i)), kMaxFullName);
        names.shortDays[i] =
            CutChars(LoadString(static_cast<uint16_t>(kFirstShortDayNameId + i)), kMaxShortName);
    }
    for (int i = 0; i < 12; ++i) {
        names.months[i] = CutChars(LoadString(static_cast<uint16_t>(kFirstMonthNameId + i)), kMaxFullName);
        names.shortMonths[i] =
            CutChars(LoadString(static_cast<uint16_t>(kFirstShortMonthNameId + i)), kMaxShortName);
    }
}

void LoadDateSettings(const QLocale& locale, QSettings& settings) {
    g_settings = ReadDateSettings(locale, settings);
    LoadDateNames(g_names);
}

void LoadDateSettings() {
    QSettings settings(QStringLiteral("Reelcard"), QStringLiteral("Reelcard"));
    LoadDateSettings(QLocale::system(), settings);
}

const DateSettings& CurrentDateSettings() { return g_settings; }
const DateNames& CurrentDateNames() { return g_names; }

// ---- Formatters -------------------------------------------------------------

std::string FormatShortDate(const std::tm& time, const DateSettings& settings) {
    const std::string& p = settings.sShortDate;
    auto repeated = [&](std::size_t pos, std::size_t more) {
        if (pos == std::string::npos) return false;
        for (std::size_t k = 1; k <= more; ++k)
            if (pos + k >= p.size() || p[pos + k] != p[pos]) return false;
        return true;
    };

    const int dayWidth = repeated(p.find('d'), 1) ? 2 : 1;
    const int monthWidth = repeated(p.find('M'), 1) ? 2 : 1;
    const bool fourDigitYear = repeated(p.find('y'), 2);

    std::string separator = "/";
    const std::size_t lastM = p.rfind('M');
    if (lastM != std::string::npos) {
        // Nothing usable after the last M (it ends the picture, or a field or
        // quote follows): take the picture's first other character instead.
        const std::size_t next = lastM + 1;
        if (next < p.size() && !IsField(p[next]) && p[next] != '\'') {
            separator = CharacterAt(p, next);
        } else {
            separator.clear();
            for (std::size_t i = 0; i < p.size(); ++i) {
                if (!IsField(p[i]) && p[i] != '\'') {
                    separator = CharacterAt(p, i);
                    break;
                }
            }
        }
    }

    const std::string day = Number(time.tm_mday, dayWidth);
    const std::string month = Number(time.tm_mon + 1, monthWidth);
    // Two-digit years keep their zero ("05"): a space or a lone digit reads
    // as a damaged date.
    const std::string year = fourDigitYear ? Number(FullYear(time), 4, ' ') : Number(TwoDigitYear(time), 2);

    const char first = p.empty() ? '\0' : p[0];
    if (first == 'd') return day + separator + month + separator + year;
    // A year-first picture reads year, month, day (as in ISO dates).
    if (first == 'y') return year + separator + month + separator + day;
    return month + separator + day + separator + year;
}

std::string FormatLongDate(const std::tm& time, int flags, const DateSettings& settings,
                           const DateNames& names) {
    std::string out;
    if (!BuildLongDate(settings.sLongDate, time, flags, names, out))
        BuildLongDate(kDefaultLongDate, time, flags, names, out);
    return out;
}

std::string FormatTime(const std::tm& time, int flags, const DateSettings& settings) {
    const bool twelveHour = !(flags & DTF_SHORT) && settings.iTime == 0;
    int hour = time.tm_hour;
    const std::string* marker = nullptr;
    if (twelveHour) {
        marker = hour < 12 ? &settings.s1159 : &settings.s2359;
        hour %= 12;
        if (hour == 0) hour = 12;
    }

    // Built piece by piece: the separator is user text and must never be
    // taken for a format directive.
    std::string out = Number(hour, settings.iTLzero ? 2 : 0);
    out += settings.sTime;
    out += Number(time.tm_min, 2);
    if (!(flags & DTF_NO_SECONDS)) {
        out += settings.sTime;
        out += Number(time.tm_sec, 2);
    }
    if (marker) {
        out += ' ';
        out += *marker;
    }
    return out;
}

std::string FormatDate(const std::tm& time, int flags, const DateSettings& settings,
                       const DateNames& names) {
    return (flags & DTF_SHORT) ? FormatShortDate(time, settings)
                               : FormatLongDate(time, flags, settings, names);
}

namespace {
std::tm LocalTime(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}
}  // namespace

std::string FormatCurrentDate(int flags, std::time_t now) {
    LoadDateNames(g_names);  // in case the settings were never loaded
    return FormatDate(LocalTime(now), flags, g_settings, g_names);
}

std::string FormatCurrentTime(int flags, std::time_t now) {
    return FormatTime(LocalTime(now), flags, g_settings);
}
