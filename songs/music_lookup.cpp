#include "songs/music_lookup.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>
#include <memory>
#include <optional>

#include "platform/paths.h"
#include "platform/save_file.h"

namespace {

// MusicBrainz asks for no more than one request a second; the tenth more
// keeps the requests a second apart where they arrive, too.
constexpr qint64 kSpacingMs = 1100;
// A server that says it is busy (503), or closes the connection without an
// answer, is asked again twice, later.
constexpr int kRetries = 2;
constexpr qint64 kMaxRetryAfterMs = 30000;
// No data at all for this long (the connection included) ends a request,
// and so does a request that takes longer than the total.
constexpr int kQuietTimeoutMs = 10000;
constexpr int kTotalTimeoutMs = 30000;
constexpr qint64 kCacheAgeSecs = 7 * 24 * 3600;

QUrl ServerUrl(const char* variable, const char* fallback) {
    const QString given = qEnvironmentVariable(variable);
    QUrl url(given.isEmpty() ? QString::fromLatin1(fallback) : given);
    // The paths are added to it: no slash at the end.
    QString path = url.path();
    while (path.endsWith('/')) path.chop(1);
    url.setPath(path);
    return url;
}

QUrl WithPath(QUrl base, const QString& path) {
    base.setPath(base.path() + path);
    return base;
}

}  // namespace

MusicLookup::MusicLookup(QObject* parent)
    : QObject(parent),
      musicBrainz_(ServerUrl("REELCARD_MUSICBRAINZ_URL", "https://musicbrainz.org")),
      coverArt_(ServerUrl("REELCARD_COVERART_URL", "https://coverartarchive.org")) {
    // The proxy the system names (http_proxy, https_proxy, no_proxy).
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    queueTimer_.setSingleShot(true);
    queueTimer_.setTimerType(Qt::PreciseTimer);
    connect(&queueTimer_, &QTimer::timeout, this, &MusicLookup::SendNext);
    clock_.start();
}

MusicLookup::~MusicLookup() { CancelAll(); }

void MusicLookup::CancelAll() {
    ++generation_;
    queue_.clear();
    queueTimer_.stop();
    for (QNetworkReply* reply : network_.findChildren<QNetworkReply*>()) {
        // Disconnected first: an abort finishes the reply at once.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

// Who is asking and how to reach its makers, as MusicBrainz asks of clients.
QByteArray MusicLookup::UserAgent() {
    return QByteArray("Reelcard/") + ProgramVersion() + " ( reelcard@users.noreply.github.com )";
}

int MusicLookup::SearchReleases(const QString& query) {
    QUrl url = WithPath(musicBrainz_, "/ws/2/release");
    url.setQuery("query=" + QString::fromLatin1(QUrl::toPercentEncoding(query.simplified())) + "&fmt=json");
    return Enqueue(Kind::Search, url);
}

int MusicLookup::LookUpRelease(const QString& mbid) {
    QUrl url = WithPath(musicBrainz_, "/ws/2/release/" + mbid);
    url.setQuery("inc=recordings+artist-credits&fmt=json");
    return Enqueue(Kind::Release, url);
}

int MusicLookup::LookUpDiscId(const QString& discId, const QString& toc) {
    QUrl url = WithPath(musicBrainz_, "/ws/2/discid/" + QString::fromLatin1(QUrl::toPercentEncoding(discId)));
    QString query = "inc=recordings+artist-credits&fmt=json";
    if (!toc.isEmpty()) query += "&toc=" + toc.simplified().replace(' ', '+');
    url.setQuery(query);
    return Enqueue(Kind::DiscId, url);
}

int MusicLookup::FetchCover(const QString& mbid, int size) {
    return Enqueue(Kind::Cover, WithPath(coverArt_, QStringLiteral("/release/%1/front-%2").arg(mbid).arg(size)));
}

QString MusicLookup::CachePath(const QUrl& url) const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/reelcard";
    return folder + '/' +
           QString::fromLatin1(QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Sha1).toHex());
}

int MusicLookup::Enqueue(Kind kind, const QUrl& url) {
    Pending pending;
    pending.id = nextId_++;
    pending.kind = kind;
    pending.url = url;

    // An answer of the last week is used as it is, still through the signal.
    // Read only as a regular file: a pipe put there would wait for ever.
    const QFileInfo info(CachePath(url));
    std::optional<QByteArray> cached;
    if (info.exists() && info.lastModified().secsTo(QDateTime::currentDateTime()) < kCacheAgeSecs) {
        cached = ReadRegularFile(QFile::encodeName(info.filePath()).toStdString(), kMaxAnswerBytes);
    }
    if (cached) {
        const QByteArray body = *cached;
        QTimer::singleShot(0, this, [this, pending, body, generation = generation_] {
            if (generation != generation_) return;
            QString error;
            if (!Deliver(pending, body, &error)) {
                QFile::remove(CachePath(pending.url));
                emit failed(pending.id, tr("%1: the answer could not be read: %2").arg(pending.url.toString(), error));
            }
        });
        return pending.id;
    }
    if (kind == Kind::Cover) {
        // The cover archive has no such limit; covers go out at once.
        Send(pending);
    } else {
        queue_.push_back(pending);
        SendNext();
    }
    return pending.id;
}

void MusicLookup::SendNext() {
    if (queue_.empty() || queueTimer_.isActive()) return;
    const qint64 now = clock_.elapsed();
    qint64 due = queue_.front().notBefore;
    if (lastMusicBrainz_ >= 0) due = std::max(due, lastMusicBrainz_ + kSpacingMs);
    if (due > now) {
        queueTimer_.start(static_cast<int>(due - now));
        return;
    }
    Pending pending = queue_.front();
    queue_.pop_front();
    lastMusicBrainz_ = now;
    Send(pending);
    if (!queue_.empty()) queueTimer_.start(static_cast<int>(kSpacingMs));
}

void MusicLookup::Send(Pending pending) {
    QNetworkRequest request(pending.url);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    request.setRawHeader("Accept", pending.kind == Kind::Cover ? "image/*" : "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kQuietTimeoutMs);
    ++sent_;
    QNetworkReply* reply = network_.get(request);

    // Refused by size as soon as the length is announced or exceeded.
    auto tooLarge = std::make_shared<bool>(false);
    auto timedOut = std::make_shared<bool>(false);
    auto refuse = [reply, tooLarge](qint64 bytes) {
        if (bytes > kMaxAnswerBytes && !*tooLarge) {
            *tooLarge = true;
            // Not from within the reply's own signal.
            QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, refuse] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isNull()) {
            refuse(length.toLongLong());
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [refuse](qint64 received, qint64) { refuse(received); });
    auto* total = new QTimer(reply);
    total->setSingleShot(true);
    connect(total, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    total->start(kTotalTimeoutMs);
    connect(reply, &QNetworkReply::finished, this, [this, reply, pending, tooLarge, timedOut] {
        reply->deleteLater();
        if (*tooLarge) {
            emit failed(pending.id, tr("%1: the answer is larger than %2 MB and was refused")
                                        .arg(pending.url.toString())
                                        .arg(kMaxAnswerBytes / (1024 * 1024)));
        } else if (*timedOut) {
            emit failed(pending.id, tr("%1: no complete answer within %2 seconds")
                                        .arg(pending.url.toString())
                                        .arg(kTotalTimeoutMs / 1000));
        } else {
            Finished(reply, pending);
        }
    });
}

void MusicLookup::Finished(QNetworkReply* reply, Pending pending) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString where = pending.url.toString();
    // A connection closed before any answer came (one the server was just
    // closing when it was taken up again) is asked again like a busy one;
    // after a redirect the status still names the redirect.
    const bool closedUnanswered = reply->error() == QNetworkReply::RemoteHostClosedError &&
                                  (status == 0 || (status >= 300 && status < 400));
    if ((status == 503 || closedUnanswered) && pending.attempts < kRetries) {
        // Busy: ask again after the time the server names, or a growing pause.
        ++pending.attempts;
        bool ok = false;
        qint64 wait = reply->rawHeader("Retry-After").trimmed().toLongLong(&ok) * 1000;
        if (!ok || wait <= 0) wait = 2000LL << (pending.attempts - 1);
        pending.notBefore = clock_.elapsed() + std::min(wait, kMaxRetryAfterMs);
        if (pending.kind == Kind::Cover) {
            QTimer::singleShot(static_cast<int>(pending.notBefore - clock_.elapsed()), this,
                               [this, pending, generation = generation_] {
                                   if (generation == generation_) Send(pending);
                               });
        } else {
            queue_.push_front(pending);
            queueTimer_.stop();
            SendNext();
        }
        return;
    }
    if (status == 404 && (pending.kind == Kind::Cover || pending.kind == Kind::DiscId)) {
        // No cover, or a disc nobody has entered: an answer, not a fault.
        if (pending.kind == Kind::Cover) {
            emit coverFound(pending.id, {});
        } else {
            emit discReleasesFound(pending.id, {});
        }
        return;
    }
    if (status >= 400) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        emit failed(pending.id, tr("%1: the server answered %2 %3").arg(where).arg(status).arg(reason).trimmed());
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        emit failed(pending.id, tr("%1: %2").arg(where, reply->errorString()));
        return;
    }
    const QByteArray body = reply->readAll();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != body.size()) {
        emit failed(pending.id, tr("%1: the answer was cut short").arg(where));
        return;
    }
    // Kept before the signal (whose receiver may end the lookup), and taken
    // back when it cannot be read.
    const QString path = CachePath(pending.url);
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size()) file.commit();
    QString error;
    if (!Deliver(pending, body, &error)) {
        QFile::remove(path);
        emit failed(pending.id, tr("%1: the answer could not be read: %2").arg(where, error));
    }
}

bool MusicLookup::Deliver(const Pending& pending, const QByteArray& body, QString* error) {
    switch (pending.kind) {
        case Kind::Search:
            if (auto list = ReadReleaseSearch(body, error)) {
                emit searchFound(pending.id, *list);
                return true;
            }
            return false;
        case Kind::Release:
            if (auto release = ReadRelease(body, error)) {
                emit releaseFound(pending.id, *release);
                return true;
            }
            return false;
        case Kind::DiscId:
            if (auto list = ReadDiscIdAnswer(body, error)) {
                emit discReleasesFound(pending.id, *list);
                return true;
            }
            return false;
        case Kind::Cover:
            if (ImageExtension(body).isEmpty()) {
                *error = tr("not a JPEG, PNG, WebP or BMP picture");
                return false;
            }
            emit coverFound(pending.id, body);
            return true;
    }
    return false;
}
