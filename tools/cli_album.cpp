#include "tools/cli_album.h"

#include <QEventLoop>
#include <cstdio>

#include "songs/music_lookup.h"

namespace {

void Note(const QString& text) { std::fprintf(stderr, "reelcard-cli: %s\n", text.toStdString().c_str()); }

}  // namespace

std::optional<AlbumTracks> FetchAlbum(const AlbumSource& source, QString* error) {
    std::optional<DiscToc> toc = source.toc;
    if (source.readDrive) {
        toc = ReadDiscToc(source.device, error);
        if (!toc) return std::nullopt;
    }
    const QString discId = toc ? toc->DiscId() : QString();

    MusicLookup lookup;
    QEventLoop loop;
    AlbumTracks result;
    bool done = false;
    auto fail = [&](const QString& why) {
        *error = why;
        loop.quit();
    };
    // The songs are known: the cover, when asked for, comes next.
    auto take = [&](const Release& release, std::vector<Track> tracks) {
        result.import = release.Import(std::move(tracks));
        if (!source.cover) {
            done = true;
            loop.quit();
        } else {
            lookup.FetchCover(release.summary.id);
        }
    };
    QObject::connect(&lookup, &MusicLookup::failed, &loop, [&](int, const QString& why) { fail(why); });
    QObject::connect(&lookup, &MusicLookup::releaseFound, &loop,
                     [&](int, const Release& release) { take(release, release.Tracks()); });
    QObject::connect(&lookup, &MusicLookup::discReleasesFound, &loop, [&](int, const std::vector<Release>& list) {
        const Release* chosen = nullptr;
        std::optional<std::vector<Track>> tracks;
        for (const Release& release : list) {
            if ((tracks = TracksOfDisc(release, *toc))) {
                chosen = &release;
                break;
            }
        }
        if (!chosen) {
            fail(QStringLiteral("MusicBrainz knows no release with the disc id %1").arg(discId));
            return;
        }
        for (const Release& other : list) {
            if (&other != chosen) {
                Note(QStringLiteral("the disc is also on release %1 (%2, %3 %4); --release %1 takes that one")
                         .arg(other.summary.id, other.summary.title, other.summary.country, other.summary.year));
            }
        }
        take(*chosen, std::move(*tracks));
    });
    QObject::connect(&lookup, &MusicLookup::coverFound, &loop, [&](int, const QByteArray& bytes) {
        if (bytes.isEmpty()) Note(QStringLiteral("the release has no front cover in the Cover Art Archive"));
        result.cover = bytes;
        done = true;
        loop.quit();
    });

    if (toc) {
        lookup.LookUpDiscId(discId, toc->Text());
    } else {
        lookup.LookUpRelease(source.releaseId);
    }
    loop.exec();
    if (!done) return std::nullopt;
    return result;
}

int LookupCommand(const QString& query) {
    MusicLookup lookup;
    QEventLoop loop;
    int status = 1;
    QObject::connect(&lookup, &MusicLookup::failed, &loop, [&](int, const QString& why) {
        Note(why);
        loop.quit();
    });
    QObject::connect(&lookup, &MusicLookup::searchFound, &loop, [&](int, const std::vector<ReleaseSummary>& list) {
        if (list.empty()) Note(QStringLiteral("no release matches \"%1\"").arg(query));
        for (const ReleaseSummary& r : list) {
            QStringList fields{r.id, r.artist, r.title, r.year, r.country, r.format, QString::number(r.tracks)};
            // A tab inside a field would shift the columns.
            for (QString& field : fields) field.replace('\t', ' ');
            std::printf("%s\n", fields.join('\t').toStdString().c_str());
        }
        status = std::fflush(stdout) == 0 ? 0 : 1;
        loop.quit();
    });
    lookup.SearchReleases(query);
    loop.exec();
    return status;
}
