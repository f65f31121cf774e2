// The one client of the MusicBrainz web service and the Cover Art Archive.
// Requests are queued (one a second to MusicBrainz, as its rules ask),
// answers are cached for a week in $XDG_CACHE_HOME/reelcard, and every
// result arrives through a signal, so that neither the window nor the
// command-line tool ever waits on the network.  Nothing is sent until one of
// the request calls is made.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <vector>

#include "songs/music_answers.h"

class QNetworkReply;

class MusicLookup : public QObject {
    Q_OBJECT
public:
    explicit MusicLookup(QObject* parent = nullptr);
    // Whatever is still on its way is dropped (no signal comes of it).
    ~MusicLookup() override;

    // Each call returns the number its answer signal carries.
    int SearchReleases(const QString& query);
    int LookUpRelease(const QString& mbid);
    // `toc` (MusicBrainz's "FIRST LAST LEADOUT OFFSET..." form, or empty)
    // asks for releases of a disc with nearly the same table of contents
    // when the id itself is not known.
    int LookUpDiscId(const QString& discId, const QString& toc = {});
    // The release's front cover, `size` 250 or 500 pixels wide.
    int FetchCover(const QString& mbid, int size = 500);

    // Drops every request not answered yet: those waiting in the queue or
    // for a retry, and those on the network (aborted).  No signal comes of
    // them, however late their answers would have come.
    void CancelAll();

    // Requests that went out on the network (not answered from the cache).
    int RequestsSent() const { return sent_; }

    QUrl MusicBrainzUrl() const { return musicBrainz_; }
    QUrl CoverArtUrl() const { return coverArt_; }
    static QByteArray UserAgent();

    // What a request may take: answers larger than this are refused.
    static constexpr qint64 kMaxAnswerBytes = 16 * 1024 * 1024;

signals:
    void searchFound(int request, const std::vector<ReleaseSummary>& releases);
    void releaseFound(int request, const Release& release);
    // Empty when MusicBrainz does not know the disc.
    void discReleasesFound(int request, const std::vector<Release>& releases);
    // Empty bytes when the release has no front cover.
    void coverFound(int request, const QByteArray& bytes);
    // What failed, in one sentence naming the address.
    void failed(int request, const QString& message);

private:
    enum class Kind { Search, Release, DiscId, Cover };
    struct Pending {
        int id = 0;
        Kind kind = Kind::Search;
        QUrl url;
        int attempts = 0;
        qint64 notBefore = 0;  // on clock_, for a back-off
    };

    int Enqueue(Kind kind, const QUrl& url);
    void SendNext();
    void Send(Pending pending);
    void Finished(QNetworkReply* reply, Pending pending);
    // Turns an answer into its signal; false when it cannot be read.
    bool Deliver(const Pending& pending, const QByteArray& body, QString* error);
    QString CachePath(const QUrl& url) const;

    QNetworkAccessManager network_;
    QUrl musicBrainz_, coverArt_;
    std::deque<Pending> queue_;  // MusicBrainz requests not yet sent
    QTimer queueTimer_;
    QElapsedTimer clock_;
    qint64 lastMusicBrainz_ = -1;  // when the last MusicBrainz request went out
    int nextId_ = 1;
    // Raised by CancelAll: a retry or cached answer of an older generation
    // is dropped.
    int generation_ = 0;
    int sent_ = 0;
};
