#include "songs/music_answers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {

// Bounds far beyond any real release, so that a hostile answer cannot make
// us hold more than a tape could ever use.
constexpr qsizetype kMaxReleases = 500;
constexpr qsizetype kMaxDiscs = 500;
constexpr size_t kMaxTracks = 5000;
// Longer texts are no titles or names; they are cut.
constexpr qsizetype kMaxText = 1000;

QString Text(const QJsonValue& v) {
    return v.isString() ? v.toString().left(kMaxText).trimmed() : QString();
}

int Number(const QJsonValue& v) {
    if (!v.isDouble()) return 0;
    const double d = v.toDouble();
    return std::isfinite(d) && d >= 0 && d < 1e9 ? static_cast<int>(d) : 0;
}

// "Artist A & Artist B feat. C": the names with their join phrases.
QString CreditText(const QJsonValue& credit) {
    QString text;
    const QJsonArray parts = credit.toArray();
    for (qsizetype i = 0; i < parts.size() && i < kMaxReleases; ++i) {
        const QJsonObject part = parts[i].toObject();
        QString name = part.value("name").toString();
        if (name.isEmpty()) name = part.value("artist").toObject().value("name").toString();
        text += name + part.value("joinphrase").toString();
        if (text.size() > kMaxText) break;
    }
    return text.left(kMaxText).trimmed();
}

QJsonObject ParseObject(const QByteArray& json, QString* error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (doc.isNull()) {
        if (error) *error = QObject::tr("the answer is not JSON (%1)").arg(parse.errorString());
        return {};
    }
    if (!doc.isObject()) {
        if (error) *error = QObject::tr("the answer is not a JSON object");
        return {};
    }
    return doc.object();
}

// "2×CD" when the discs share a format, "CD + DVD-Video" when they differ.
QString FormatOfMedia(const QJsonArray& media) {
    QStringList formats;
    for (qsizetype i = 0; i < media.size() && i < kMaxDiscs; ++i) {
        QString f = Text(media[i].toObject().value("format"));
        formats << (f.isEmpty() ? QObject::tr("(unknown)") : f);
    }
    if (formats.isEmpty()) return {};
    if (formats.count(formats.first()) == formats.size()) {
        return formats.size() == 1 ? formats.first()
                                   : QStringLiteral("%1×%2").arg(formats.size()).arg(formats.first());
    }
    return formats.join(" + ");
}

ReleaseSummary ReadSummary(const QJsonObject& release) {
    ReleaseSummary s;
    s.id = Text(release.value("id"));
    s.title = Text(release.value("title"));
    s.artist = CreditText(release.value("artist-credit"));
    s.year = Text(release.value("date")).left(4);
    s.country = Text(release.value("country"));
    const QJsonArray media = release.value("media").toArray();
    s.format = FormatOfMedia(media);
    s.tracks = Number(release.value("track-count"));
    if (s.tracks == 0) {
        for (qsizetype i = 0; i < media.size() && i < kMaxDiscs; ++i) {
            const QJsonObject m = media[i].toObject();
            const int count = m.contains("track-count") ? Number(m.value("track-count"))
                                                        : static_cast<int>(m.value("tracks").toArray().size());
            s.tracks = std::min(s.tracks + count, 1000000);
        }
    }
    return s;
}

// Milliseconds to whole seconds; -1 when not known.
int Seconds(const QJsonValue& ms) {
    if (!ms.isDouble()) return -1;
    const double d = ms.toDouble();
    if (!std::isfinite(d) || d <= 0 || d > 1e9) return -1;
    return static_cast<int>(std::lround(d / 1000));
}

bool ReadReleaseObject(const QJsonObject& object, Release* out, QString* error) {
    Release release;
    release.summary = ReadSummary(object);
    if (!ParseReleaseId(release.summary.id)) {
        if (error) *error = QObject::tr("the answer holds no release");
        return false;
    }
    const QJsonArray media = object.value("media").toArray();
    if (media.size() > kMaxDiscs) {
        if (error) *error = QObject::tr("more than %1 discs").arg(kMaxDiscs);
        return false;
    }
    size_t total = 0;
    for (qsizetype i = 0; i < media.size(); ++i) {
        const QJsonObject m = media[i].toObject();
        ReleaseDisc disc;
        disc.position = Number(m.value("position"));
        if (disc.position == 0) disc.position = static_cast<int>(i + 1);
        disc.format = Text(m.value("format"));
        disc.title = Text(m.value("title"));
        const QJsonArray ids = m.value("discs").toArray();
        for (qsizetype d = 0; d < ids.size() && d < kMaxReleases; ++d) disc.discIds << Text(ids[d].toObject().value("id"));
        const QJsonArray tracks = m.value("tracks").toArray();
        total += static_cast<size_t>(tracks.size());
        if (total > kMaxTracks) {
            if (error) *error = QObject::tr("more than %1 songs").arg(kMaxTracks);
            return false;
        }
        for (qsizetype t = 0; t < tracks.size(); ++t) {
            const QJsonObject o = tracks[t].toObject();
            const QJsonObject recording = o.value("recording").toObject();
            Track track;
            track.title = Text(o.value("title"));
            if (track.title.isEmpty()) track.title = Text(recording.value("title"));
            track.artist = CreditText(o.contains("artist-credit") ? o.value("artist-credit")
                                                                  : recording.value("artist-credit"));
            if (track.artist.isEmpty()) track.artist = release.summary.artist;
            track.seconds = Seconds(o.value("length"));
            if (track.seconds < 0) track.seconds = Seconds(recording.value("length"));
            track.disc = disc.position;
            track.number = Number(o.value("position"));
            if (track.number == 0) track.number = static_cast<int>(t + 1);
            track.album = release.summary.title;
            track.albumArtist = release.summary.artist;
            disc.tracks.push_back(std::move(track));
        }
        release.discs.push_back(std::move(disc));
    }
    if (release.summary.tracks == 0) release.summary.tracks = static_cast<int>(total);
    *out = std::move(release);
    return true;
}

// The "releases" list of an answer; nothing, and why, when it has none.
std::optional<QJsonArray> ReleaseList(const QByteArray& json, QString* error) {
    QString why;
    const QJsonObject object = ParseObject(json, &why);
    if (!object.value("releases").isArray()) {
        if (error) *error = why.isEmpty() ? QObject::tr("the answer holds no release list") : why;
        return std::nullopt;
    }
    return object.value("releases").toArray();
}

}  // namespace

std::vector<Track> Release::Tracks(const std::vector<int>& chosen) const {
    std::vector<Track> tracks;
    for (const ReleaseDisc& disc : discs) {
        if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), disc.position) == chosen.end()) continue;
        tracks.insert(tracks.end(), disc.tracks.begin(), disc.tracks.end());
    }
    return tracks;
}

TrackImport Release::Import(std::vector<Track> tracks) const {
    TrackImport album;
    album.tracks = std::move(tracks);
    album.album = summary.title;
    album.albumArtist = summary.artist;
    return album;
}

std::optional<std::vector<ReleaseSummary>> ReadReleaseSearch(const QByteArray& json, QString* error) {
    const std::optional<QJsonArray> releases = ReleaseList(json, error);
    if (!releases) return std::nullopt;
    std::vector<ReleaseSummary> list;
    for (qsizetype i = 0; i < releases->size() && i < kMaxReleases; ++i) {
        ReleaseSummary s = ReadSummary((*releases)[i].toObject());
        if (ParseReleaseId(s.id)) list.push_back(std::move(s));
    }
    return list;
}

std::optional<Release> ReadRelease(const QByteArray& json, QString* error) {
    QString why;
    const QJsonObject object = ParseObject(json, &why);
    if (object.isEmpty()) {
        if (error) *error = why.isEmpty() ? QObject::tr("the answer holds no release") : why;
        return std::nullopt;
    }
    Release release;
    if (!ReadReleaseObject(object, &release, error)) return std::nullopt;
    return release;
}

std::optional<std::vector<Release>> ReadDiscIdAnswer(const QByteArray& json, QString* error) {
    const std::optional<QJsonArray> releases = ReleaseList(json, error);
    if (!releases) return std::nullopt;
    std::vector<Release> list;
    for (qsizetype i = 0; i < releases->size() && i < kMaxReleases; ++i) {
        Release release;
        if (!ReadReleaseObject((*releases)[i].toObject(), &release, error)) return std::nullopt;
        list.push_back(std::move(release));
    }
    return list;
}

std::optional<QString> ParseReleaseId(const QString& text) {
    static const QRegularExpression mbid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"),
        QRegularExpression::CaseInsensitiveOption);
    QString id = text.trimmed();
    if (id.contains('/')) {
        // An address: the part after "release/".
        const QUrl url(id);
        const QStringList parts = url.path().split('/', Qt::SkipEmptyParts);
        const qsizetype at = parts.indexOf(QStringLiteral("release"));
        if (!url.isValid() || url.scheme().isEmpty() || at < 0 || at + 1 >= parts.size()) return std::nullopt;
        id = parts[at + 1];
    }
    if (!mbid.match(id).hasMatch()) return std::nullopt;
    return id.toLower();
}

QString ImageExtension(const QByteArray& b) {
    if (b.startsWith("\xFF\xD8\xFF")) return QStringLiteral("jpg");
    if (b.startsWith("\x89PNG\r\n\x1A\n")) return QStringLiteral("png");
    if (b.size() >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "WEBP") return QStringLiteral("webp");
    if (b.startsWith("BM")) return QStringLiteral("bmp");
    return {};
}
