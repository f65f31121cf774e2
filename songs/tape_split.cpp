#include "songs/tape_split.h"

#include <QObject>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

#include "platform/code_page.h"
#include "songs/track_list.h"

namespace {

constexpr int kMaxTapeMinutes = 600;

long long Sum(const std::vector<int>& seconds, size_t from, size_t to) {
    long long total = 0;
    for (size_t i = from; i < to; ++i) total += std::max(seconds[i], 0);
    return total;
}

int Clamp(long long seconds) {
    return static_cast<int>(std::min<long long>(seconds, 1'000'000'000LL));
}

}  // namespace

QString TapeLength::Name() const {
    for (const TapeLength& t : StandardTapes()) {
        if (t.minutes == minutes) return QStringLiteral("C%1").arg(minutes);
    }
    return QObject::tr("%1 min").arg(minutes);
}

const std::vector<TapeLength>& StandardTapes() {
    static const std::vector<TapeLength> tapes = {{46}, {60}, {90}, {100}, {120}};
    return tapes;
}

std::optional<TapeLength> ParseTapeLength(const QString& text) {
    const QString t = text.trimmed();
    if (t.startsWith('C', Qt::CaseInsensitive)) {
        bool ok = false;
        const int minutes = t.mid(1).toInt(&ok);
        for (const TapeLength& tape : StandardTapes()) {
            if (ok && tape.minutes == minutes) return tape;
        }
        return std::nullopt;
    }
    bool ok = false;
    const int minutes = t.toInt(&ok);
    if (!ok || minutes < 1 || minutes > kMaxTapeMinutes) return std::nullopt;
    return TapeLength{minutes};
}

TapeSplit SplitAt(const std::vector<int>& seconds, size_t sideACount,
                  std::optional<TapeLength> tape) {
    sideACount = std::min(sideACount, seconds.size());
    TapeSplit split;
    split.sideACount = sideACount;
    split.sideASeconds = Clamp(Sum(seconds, 0, sideACount));
    split.sideBSeconds = Clamp(Sum(seconds, sideACount, seconds.size()));
    if (tape) {
        const int side = tape->SideSeconds();
        split.missingSeconds =
            std::max(split.sideASeconds - side, 0) + std::max(split.sideBSeconds - side, 0);
    }
    return split;
}

TapeSplit SplitSongs(const std::vector<int>& seconds, std::optional<TapeLength> tape,
                     SplitMode mode) {
    const size_t n = seconds.size();
    const long long total = Sum(seconds, 0, n);
    const long long side = tape ? tape->SideSeconds() : total;

    // The longest run from the start that Side A holds.
    size_t fill = 0;
    long long a = 0;
    while (fill < n && a + std::max(seconds[fill], 0) <= side) a += std::max(seconds[fill++], 0);

    if (mode == SplitMode::FillSideAFirst) return SplitAt(seconds, fill, tape);

    // Balanced: of the points where both sides fit, the one with the closest
    // totals; on a tie the one with more on Side A.
    std::optional<size_t> best;
    long long bestGap = 0;
    a = 0;
    for (size_t k = 0; k <= n; ++k) {
        if (k > 0) a += std::max(seconds[k - 1], 0);
        const long long b = total - a;
        if (a > side) break;
        if (b > side) continue;
        const long long gap = std::llabs(a - b);
        if (!best || gap <= bestGap) {
            best = k;
            bestGap = gap;
        }
    }
    return SplitAt(seconds, best ? *best : fill, tape);
}

QString FormatLength(int seconds) {
    seconds = std::max(seconds, 0);
    const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QChar('0'))
            .arg(s, 2, 10, QChar('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QChar('0'));
}

RowsTotal TotalOfRows(const QString& text) {
    RowsTotal total;
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace('\r', '\n');
    for (const QString& row : t.split('\n')) {
        if (row.trimmed().isEmpty()) continue;
        ++total.rows;
        const int seconds = TrailingLength(row);
        if (seconds < 0) continue;
        ++total.rowsWithLength;
        total.seconds = Clamp(static_cast<long long>(total.seconds) + seconds);
    }
    return total;
}

RowsTotal TotalOfRows(std::string_view codePageText) {
    // Font changes are two bytes that show nothing.
    std::string plain;
    plain.reserve(codePageText.size());
    for (size_t i = 0; i < codePageText.size(); ++i) {
        if (codePageText[i] == '\x01') {
            ++i;
            continue;
        }
        if (codePageText[i] == '\0') break;
        plain += codePageText[i];
    }
    return TotalOfRows(DecodeCodePage(plain));
}

QString SideTotalText(const RowsTotal& total, std::optional<TapeLength> tape) {
    const QString length = FormatLength(total.seconds);
    if (!tape) return QObject::tr("%1 on this side").arg(length);
    const int side = tape->SideSeconds();
    if (total.seconds <= side) {
        return QObject::tr("%1 of %2 on this side").arg(length, FormatLength(side));
    }
    return QObject::tr("%1 of %2 on this side, %3 too long")
        .arg(length, FormatLength(side), FormatLength(total.seconds - side));
}
