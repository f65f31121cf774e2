#include "songs/covers.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <cerrno>
#include <cstring>

#include "pictures/picture_host.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/save_file.h"
#include "platform/strings.h"
#include "render/fit_songs.h"
#include "render/geometry.h"
#include "songs/bounded_stream.h"
#include "songs/music_answers.h"

namespace {

// Larger pictures are no covers; they would only fill the memory.
constexpr qsizetype kMaxCoverBytes = 16 * 1024 * 1024;
// The files looked into for an embedded picture: an album's worth.
constexpr int kMaxFilesTried = 100;

QByteArray Bytes(const TagLib::ByteVector& v) {
    return QByteArray(v.data(), static_cast<qsizetype>(v.size()));
}

// The front cover of a picture list, else its first picture.
QByteArray FromFlacPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    QByteArray first;
    for (const TagLib::FLAC::Picture* p : pictures) {
        if (p->type() == TagLib::FLAC::Picture::FrontCover) return Bytes(p->data());
        if (first.isEmpty()) first = Bytes(p->data());
    }
    return first;
}

QByteArray FromId3v2(TagLib::ID3v2::Tag* tag) {
    if (!tag) return {};
    QByteArray first;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        const auto* p = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!p) continue;
        if (p->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) return Bytes(p->picture());
        if (first.isEmpty()) first = Bytes(p->picture());
    }
    return first;
}

QByteArray FromXiph(TagLib::Ogg::XiphComment* comment) {
    return comment ? FromFlacPictures(comment->pictureList()) : QByteArray();
}

QByteArray EmbeddedBytes(TagLib::IOStream* stream, const QString& ext) {
    if (ext == "flac") {
        TagLib::FLAC::File f(stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!f.isValid()) return {};
        QByteArray bytes = FromFlacPictures(f.pictureList());
        if (bytes.isEmpty() && f.hasXiphComment()) bytes = FromXiph(f.xiphComment());
        if (bytes.isEmpty() && f.hasID3v2Tag()) bytes = FromId3v2(f.ID3v2Tag());
        return bytes;
    }
    if (ext == "mp3") {
        TagLib::MPEG::File f(stream, TagLib::ID3v2::FrameFactory::instance(), false);
        return f.isValid() && f.hasID3v2Tag() ? FromId3v2(f.ID3v2Tag()) : QByteArray();
    }
    if (ext == "m4a" || ext == "mp4" || ext == "m4b") {
        TagLib::MP4::File f(stream, false);
        if (!f.isValid() || !f.tag() || !f.tag()->contains("covr")) return {};
        const TagLib::MP4::CoverArtList covers = f.tag()->item("covr").toCoverArtList();
        return covers.isEmpty() ? QByteArray() : Bytes(covers.front().data());
    }
    if (ext == "opus") {
        TagLib::Ogg::Opus::File f(stream, false);
        return f.isValid() ? FromXiph(f.tag()) : QByteArray();
    }
    if (ext == "ogg" || ext == "oga") {
        TagLib::Ogg::Vorbis::File vorbis(stream, false);
        if (vorbis.isValid()) return FromXiph(vorbis.tag());
        stream->clear();
        stream->seek(0, TagLib::IOStream::Beginning);
        TagLib::Ogg::FLAC::File flac(stream, false);
        return flac.isValid() ? FromXiph(flac.tag()) : QByteArray();
    }
    return {};
}

// The cover in an audio file's tags, read within the bounds of `control`.
QByteArray EmbeddedBytes(const QString& path, const TrackReadControl& control) {
    if (!IsRegularFile(QFile::encodeName(path).toStdString())) return {};
    BoundedStream stream(QFile::encodeName(path), control);
    if (!stream.isOpen()) return {};
    QByteArray bytes = EmbeddedBytes(&stream, QFileInfo(path).suffix().toLower());
    // What the library made of a file it gave up on is no cover.
    return stream.GaveUp() ? QByteArray() : bytes;
}

}  // namespace

std::optional<CoverImage> CoverFromBytes(const QByteArray& bytes, const QString& source) {
    const QString extension = ImageExtension(bytes);
    if (extension.isEmpty() || bytes.size() > kMaxCoverBytes) return std::nullopt;
    return CoverImage{bytes, extension, source};
}

std::optional<CoverImage> EmbeddedCover(const QString& audioFile, const TrackReadControl* control) {
    const TrackReadControl defaults;
    return CoverFromBytes(EmbeddedBytes(audioFile, control ? *control : defaults), audioFile);
}

std::optional<CoverImage> FindCover(const std::vector<Track>& tracks, const TrackReadControl* control) {
    const TrackReadControl defaults;
    const TrackReadControl& bounds = control ? *control : defaults;
    auto cancelled = [&] { return bounds.cancel.load(std::memory_order_relaxed); };
    QStringList files, folders;
    for (const Track& track : tracks) {
        if (track.file.isEmpty() || files.contains(track.file)) continue;
        files << track.file;
        const QString folder = QFileInfo(track.file).absolutePath();
        if (!folders.contains(folder)) folders << folder;
        if (files.size() >= kMaxFilesTried) break;
    }
    for (const QString& file : files) {
        if (cancelled()) return std::nullopt;
        if (auto cover = EmbeddedCover(file, &bounds)) return cover;
    }
    static const QStringList names = {"cover", "folder", "front", "album"};
    static const QStringList kinds = {"jpg", "jpeg", "png", "webp", "bmp"};
    for (const QString& folder : folders) {
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QString& name : names) {
            for (const QFileInfo& entry : entries) {
                if (entry.completeBaseName().compare(name, Qt::CaseInsensitive) != 0 ||
                    !kinds.contains(entry.suffix().toLower()) || entry.size() > kMaxCoverBytes) {
                    continue;
                }
                // Only regular files: a link to a pipe or a device is listed too.
                if (cancelled()) return std::nullopt;
                const auto bytes = ReadRegularFile(QFile::encodeName(entry.absoluteFilePath()).toStdString(),
                                                   kMaxCoverBytes);
                if (!bytes) continue;
                if (auto cover = CoverFromBytes(*bytes, entry.absoluteFilePath())) return cover;
            }
        }
    }
    return std::nullopt;
}

std::optional<QString> WriteCoverBeside(const QString& linerPath, const CoverImage& cover, bool* created,
                                        QString* error) {
    const QFileInfo liner(linerPath);
    const QDir folder = liner.absoluteDir();
    *created = false;
    for (int n = 1; n < 1000; ++n) {
        const QString name = liner.completeBaseName() + "-cover" + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) +
                             "." + cover.extension;
        const QString path = folder.filePath(name);
        const std::string target = QFile::encodeName(path).toStdString();
        struct stat st;
        if (::lstat(target.c_str(), &st) == 0) {
            // The same cover from an earlier run is used again; any other
            // file, link, pipe or device of that name is left as it is.
            const auto bytes = ReadRegularFile(target, cover.bytes.size());
            if (bytes && *bytes == cover.bytes) return name;
            continue;
        }
        // Written whole or not at all, and on the disk before the liner that names it.
        if (SaveFileAtomically(target, cover.bytes) != SaveError::None) {
            const int cause = errno;
            *error = QObject::tr("cannot write the cover %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(cause)));
            return std::nullopt;
        }
        *created = true;
        return name;
    }
    *error = QObject::tr("no free name for the cover beside %1").arg(linerPath);
    return std::nullopt;
}

QString CoverArea::Name() const {
    switch (kind) {
        case Kind::None: return QObject::tr("no cover");
        case Kind::Flap: return QObject::tr("feature flap");
        case Kind::Title: return QObject::tr("title area");
        case Kind::Primary: return QObject::tr("front");
        case Kind::Overflow: return QObject::tr("overflow panel %1").arg(overflow + 1);
    }
    return {};
}

namespace {

// How many overflow areas the songs reach, as the painter lays them out: the
// fewest that hold them all, or all of them when they do not fit.
int OverflowAreasUsed(const Liner& liner) {
    Liner trial = liner;
    for (int k = 0; k < liner.overflowCount; ++k) {
        trial.overflowCount = static_cast<int16_t>(k);
        if (SongsLeftOut(trial) == 0) return k;
    }
    return liner.overflowCount;
}

}  // namespace

std::vector<CoverArea> CoverAreas(const Liner& liner) {
    const LinerGeometry g = ComputeLinerGeometry(liner);
    std::vector<CoverArea> areas{CoverArea{}};
    auto add = [&](CoverArea::Kind kind, DepthSpan span, int overflow = 0) {
        if (span.height() > 0 && g.width > 0)
            areas.push_back(CoverArea{kind, overflow, PicturePlace{0, span.top, g.width, span.height()}});
    };
    const bool noSongs = liner.songsA.text.empty() && liner.songsB.text.empty();
    add(CoverArea::Kind::Flap, FlapSpan(g));
    add(CoverArea::Kind::Title, TitleSpan(g));
    if (noSongs) add(CoverArea::Kind::Primary, PrimarySpan(g));
    for (int k = noSongs ? 0 : OverflowAreasUsed(liner); k < g.overflowCount; ++k)
        add(CoverArea::Kind::Overflow, OverflowSpan(g, k), k);
    return areas;
}

size_t DefaultCoverArea(const std::vector<CoverArea>& areas, const Liner& liner) {
    const int front = ComputeLinerGeometry(liner).primaryHeight;
    // A panel at least three quarters the front's height holds a cover as
    // the front would; a narrow flap or spine does not.
    auto frontSized = [&](const CoverArea& a) { return front > 0 && a.place.height * 4 >= front * 3; };
    for (CoverArea::Kind kind : {CoverArea::Kind::Primary, CoverArea::Kind::Overflow, CoverArea::Kind::Flap}) {
        for (size_t i = 0; i < areas.size(); ++i) {
            if (areas[i].kind == kind && frontSized(areas[i])) return i;
        }
    }
    for (size_t i = 0; i < areas.size(); ++i) {
        if (areas[i].kind == CoverArea::Kind::Title) return i;
    }
    return 0;
}

bool PlaceCover(Liner& liner, const QString& linerPath, const QString& coverFile, const PicturePlace& area,
                Prompter& prompter) {
    const QString full = QFileInfo(linerPath).absoluteDir().filePath(coverFile);
    bool encoded = false, relativeEncoded = false;
    const std::string path = EncodeCodePage(full, &encoded);
    const std::string relative = EncodeCodePage(coverFile, &relativeEncoded);
    if (!encoded || !relativeEncoded) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_OPEN_FILE, {full.toStdString()});
        return false;
    }
    std::erase_if(liner.pictures, [&](const Picture& p) { return p.fileName == relative; });
    if (!AddFittedPicture(liner, path, area, prompter, PictureReaders(), CurrentScreenResolution())) {
        return false;
    }
    // Named as it sits beside the liner, so that both move together.
    liner.pictures.back().fileName = relative;
    return true;
}
