#include "songs/disc_toc.h"

#include <discid/discid.h>

#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QStringList>
#include <memory>

namespace {

// A CD holds tracks 1 to 99; libdiscid takes 100 offsets, the lead-out first.
constexpr int kMaxTrack = 99;
constexpr int kSectorsPerSecond = 75;

using DiscHandle = std::unique_ptr<DiscId, decltype(&discid_free)>;

DiscHandle NewDisc() { return DiscHandle(discid_new(), &discid_free); }

}  // namespace

QString DiscToc::Text() const {
    QStringList parts{QString::number(first), QString::number(last), QString::number(leadout)};
    for (int offset : offsets) parts << QString::number(offset);
    return parts.join(' ');
}

QString DiscToc::DiscId() const {
    if (first < 1 || last < first || last > kMaxTrack || offsets.size() != size_t(last - first + 1)) return {};
    int table[kMaxTrack + 1] = {};
    table[0] = leadout;
    for (int track = first; track <= last; ++track) table[track] = offsets[size_t(track - first)];
    DiscHandle disc = NewDisc();
    if (!disc || !discid_put(disc.get(), first, last, table)) return {};
    return QString::fromLatin1(discid_get_id(disc.get()));
}

std::vector<int> DiscToc::TrackSeconds() const {
    std::vector<int> seconds;
    for (size_t i = 0; i < offsets.size(); ++i) {
        const int end = i + 1 < offsets.size() ? offsets[i + 1] : leadout;
        seconds.push_back((end - offsets[i] + kSectorsPerSecond / 2) / kSectorsPerSecond);
    }
    return seconds;
}

std::optional<DiscToc> ParseDiscToc(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[\\s+]+"));
    const QStringList parts = text.trimmed().split(separators, Qt::SkipEmptyParts);
    if (parts.size() < 4 || parts.size() > 3 + kMaxTrack) return std::nullopt;
    std::vector<int> numbers;
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        // 100 minutes of sectors is more than any CD holds.
        if (!ok || n < 0 || n > 100 * 60 * kSectorsPerSecond) return std::nullopt;
        numbers.push_back(n);
    }
    DiscToc toc;
    toc.first = numbers[0];
    toc.last = numbers[1];
    toc.leadout = numbers[2];
    toc.offsets.assign(numbers.begin() + 3, numbers.end());
    if (toc.first < 1 || toc.last < toc.first || toc.last > kMaxTrack ||
        toc.offsets.size() != size_t(toc.last - toc.first + 1)) {
        return std::nullopt;
    }
    int previous = -1;
    for (int offset : toc.offsets) {
        if (offset <= previous) return std::nullopt;
        previous = offset;
    }
    if (toc.leadout <= previous || toc.DiscId().isEmpty()) return std::nullopt;
    return toc;
}

std::optional<std::vector<Track>> TracksOfDisc(const Release& release, const DiscToc& toc) {
    const QString id = toc.DiscId();
    const ReleaseDisc* found = nullptr;
    for (const ReleaseDisc& disc : release.discs) {
        if (!found && disc.discIds.contains(id)) found = &disc;
    }
    for (const ReleaseDisc& disc : release.discs) {
        if (!found && disc.tracks.size() == toc.offsets.size()) found = &disc;
    }
    if (!found) return std::nullopt;
    std::vector<Track> tracks = found->tracks;
    const std::vector<int> seconds = toc.TrackSeconds();
    for (size_t i = 0; i < tracks.size() && i < seconds.size(); ++i) {
        if (tracks[i].seconds < 0) tracks[i].seconds = seconds[i];
    }
    return tracks;
}

QString DefaultDiscDrive() { return QString::fromLocal8Bit(discid_get_default_device()); }

std::optional<DiscToc> ReadDiscToc(const QString& device, QString* error) {
    const QString drive = device.isEmpty() ? DefaultDiscDrive() : device;
    if (!QFile::exists(drive)) {
        if (error) *error = QObject::tr("there is no CD drive %1").arg(drive);
        return std::nullopt;
    }
    DiscHandle disc = NewDisc();
    const QByteArray name = QFile::encodeName(drive);
    if (!disc || !discid_read_sparse(disc.get(), name.constData(), 0)) {
        if (error) {
            *error = QObject::tr("no audio CD could be read in %1 (%2)")
                         .arg(drive, disc ? QString::fromLocal8Bit(discid_get_error_msg(disc.get())) : QString());
        }
        return std::nullopt;
    }
    DiscToc toc;
    toc.first = discid_get_first_track_num(disc.get());
    toc.last = discid_get_last_track_num(disc.get());
    toc.leadout = discid_get_sectors(disc.get());
    for (int track = toc.first; track <= toc.last; ++track) {
        toc.offsets.push_back(discid_get_track_offset(disc.get(), track));
    }
    return toc;
}
