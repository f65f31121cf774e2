#include "songs/track_list.h"

#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <libcue.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "platform/code_page.h"
#include "songs/bounded_stream.h"

namespace {

// Larger text files are no track lists; refusing them keeps a mistaken
// choice from filling the memory.
constexpr qint64 kMaxListBytes = 16 * 1024 * 1024;
// More songs than any tape holds, by far.
constexpr size_t kMaxTracks = 5000;
// Cue sheet times count frames of 1/75 second.
constexpr int kFramesPerSecond = 75;

const char* const kAudioExtensions[] = {"mp3", "flac", "ogg", "oga", "opus", "m4a", "wav"};

// A list named inside a list is followed this deep at most.
constexpr int kMaxListDepth = 8;

// What all sources of one import share.
struct ReadContext {
    TrackReadControl* control = nullptr;
    std::set<QString> lists;  // the lists read so far, so that each is read once
    int filesRead = 0;
    int depth = 0;

    bool Cancelled() const { return control->cancel.load(std::memory_order_relaxed); }
    void Progress(const QString& file) {
        if (control->progress) control->progress(file, filesRead);
        ++filesRead;
    }
};

// Cuts `text` to kMaxTrackTextBytes of UTF-8, on a character boundary, and
// ends it in "…".  True when it was cut.
bool CutText(QString& text) {
    if (text.size() * 3 <= kMaxTrackTextBytes) return false;  // no UTF-16 unit takes more than 3
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= kMaxTrackTextBytes) return false;
    qsizetype end = kMaxTrackTextBytes - 3;  // the "…" takes 3
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    text = QString::fromUtf8(utf8.left(end)) + QChar(0x2026);
    return true;
}

// A source being read: where errors, missing files and notes are reported.
struct Reader {
    QString name;  // as the user gave it
    QDir folder;   // relative entries are resolved against it
    TrackImport* out = nullptr;
    TrackListError* error = nullptr;
    ReadContext* context = nullptr;

    bool Fail(int line, const QString& reason) const {
        if (error) *error = {name, line, reason};
        return false;
    }
    bool Cancel() const {
        if (error) *error = {name, 0, QObject::tr("cancelled"), true};
        return false;
    }
    QString Where(int line, const QString& file = QString()) const {
        const QString where = QDir::toNativeSeparators(line > 0 || file.isEmpty() ? name : file);
        return line > 0 ? QObject::tr("%1, line %2").arg(where).arg(line) : where;
    }
    void Note(int line, const QString& text, const QString& file = QString()) const {
        out->notes << QObject::tr("%1: %2").arg(Where(line, file), text);
    }
    // One overlong text is cut; the song and the rest of the import stay.
    void Cut(QString& text, const char* label, int line, const QString& file = QString()) const {
        if (!CutText(text)) return;
        Note(line,
             QObject::tr("the %1 \"%2\" was longer than a liner keeps (%3 bytes); it was cut")
                 .arg(QObject::tr(label), text.left(40) + QChar(0x2026))
                 .arg(kMaxTrackTextBytes),
             file);
    }
    bool Add(Track track, int line) const {
        if (out->tracks.size() >= kMaxTracks) {
            return Fail(line, QObject::tr("more than %1 songs").arg(kMaxTracks));
        }
        Cut(track.title, QT_TR_NOOP("title"), line, track.file);
        Cut(track.artist, QT_TR_NOOP("artist"), line, track.file);
        Cut(track.album, QT_TR_NOOP("album"), line, track.file);
        Cut(track.albumArtist, QT_TR_NOOP("album artist"), line, track.file);
        out->tracks.push_back(std::move(track));
        return true;
    }
};

QString FromTagString(const TagLib::String& s) {
    return QString::fromUtf8(s.toCString(true)).trimmed();
}

// A length in seconds when it is one any source may give, else -1.
int KnownLength(double seconds) {
    if (!(seconds > 0) || seconds > kMaxTrackSeconds) return -1;
    return static_cast<int>(std::lround(seconds));
}

// Regular files only: a device or a FIFO with an audio name would be read
// without end, or block.
bool IsRegularFile(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

int LeadingNumber(const QString& text) {
    int n = 0;
    for (QChar c : text.trimmed()) {
        if (!c.isDigit() || n > 100000) break;
        n = n * 10 + c.digitValue();
    }
    return n;
}

// Title, artist, album, numbers and length from an audio file's tags and
// properties; nothing when the tag library cannot read the file (or gave
// up on it: then `gaveUp` is set).
std::optional<Track> ReadAudioFile(const QString& path, const TrackReadControl& control,
                                   bool* gaveUp = nullptr) {
    if (gaveUp) *gaveUp = false;
    if (!control.openFiles || !IsRegularFile(path)) return std::nullopt;
    BoundedStream stream(QFile::encodeName(path), control);
    if (!stream.isOpen()) return std::nullopt;
    TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
    if (stream.GaveUp()) {
        if (gaveUp) *gaveUp = true;
        return std::nullopt;
    }
    if (ref.isNull()) return std::nullopt;
    Track track;
    track.file = path;
    if (const TagLib::Tag* tag = ref.tag()) {
        track.title = FromTagString(tag->title());
        track.artist = FromTagString(tag->artist());
        track.album = FromTagString(tag->album());
        track.number = static_cast<int>(std::min(tag->track(), 100000u));
    }
    // tag() is one kind of tag only (for WAV its ID3v2 tag); the property
    // map also holds the others, such as a WAV file's RIFF INFO.
    const TagLib::PropertyMap properties = ref.file()->properties();
    auto property = [&](const char* key) {
        auto it = properties.find(key);
        return it == properties.end() || it->second.isEmpty() ? QString()
                                                              : FromTagString(it->second.front());
    };
    if (track.title.isEmpty()) track.title = property("TITLE");
    if (track.artist.isEmpty()) track.artist = property("ARTIST");
    if (track.album.isEmpty()) track.album = property("ALBUM");
    if (track.number == 0) track.number = LeadingNumber(property("TRACKNUMBER"));
    track.disc = LeadingNumber(property("DISCNUMBER"));
    track.albumArtist = property("ALBUMARTIST");
    if (const TagLib::AudioProperties* audio = ref.audioProperties()) {
        track.seconds = KnownLength(audio->lengthInMilliseconds() / 1000.0);
    }
    if (stream.GaveUp()) {
        if (gaveUp) *gaveUp = true;
        return std::nullopt;
    }
    return track;
}

// An audio file's tags for an import: what could not be read is noted.
std::optional<Track> ReadAudioFileNoting(const QString& path, const Reader& reader) {
    reader.context->Progress(path);
    bool gaveUp = false;
    std::optional<Track> track = ReadAudioFile(path, *reader.context->control, &gaveUp);
    if (gaveUp && !reader.context->Cancelled()) {
        reader.Note(0, QObject::tr("the tags were not read: the file takes too long to read"),
                    path);
    }
    return track;
}

QString BaseNameOf(const QString& path) {
    QString name = path;
    const qsizetype slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    if (slash >= 0) name = name.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0) name.truncate(dot);
    return name;
}

// The local file an entry names, or nothing for a stream or web address.
std::optional<QString> ResolveEntry(const QString& entry, const QDir& folder) {
    QString path = entry.trimmed();
    const qsizetype scheme = path.indexOf(QLatin1String("://"));
    if (scheme > 1) {
        const QUrl url(path);
        if (!url.isLocalFile()) return std::nullopt;
        path = url.toLocalFile();
    }
    if (path.isEmpty()) return std::nullopt;
    QString resolved = QDir::isAbsolutePath(path) ? path : folder.filePath(path);
    // Playlists made on Windows separate folders with backslashes.
    if (!QFileInfo::exists(resolved) && path.contains('\\')) {
        QString forward = path;
        forward.replace('\\', '/');
        resolved = QDir::isAbsolutePath(forward) ? forward : folder.filePath(forward);
    }
    return QDir::cleanPath(resolved);
}

// Completes an entry that names an audio file: what the list left out is
// taken from the file; a file that is not there is reported.
void CompleteFromFile(Track& track, const QString& entry, const Reader& reader, int line) {
    const std::optional<QString> path = ResolveEntry(entry, reader.folder);
    const bool titleFromName = track.title.isEmpty();
    if (titleFromName) {
        QString name = BaseNameOf(entry.trimmed());
        if (name.isEmpty()) name = entry.trimmed();
        track.title = QUrl::fromPercentEncoding(name.toUtf8());
    }
    if (!path) return;
    track.file = *path;
    if (!reader.context->control->openFiles) return;
    if (!QFileInfo(*path).exists()) {
        reader.out->missing.push_back({reader.name, line, *path});
        return;
    }
    if (!IsRegularFile(*path)) {
        reader.Note(line, QObject::tr("%1 is not a regular file; the song is imported by name")
                              .arg(QDir::toNativeSeparators(*path)));
        return;
    }
    const std::optional<Track> tags = ReadAudioFileNoting(*path, reader);
    if (!tags) return;
    if (titleFromName && !tags->title.isEmpty()) track.title = tags->title;
    if (track.artist.isEmpty()) track.artist = tags->artist;
    if (track.album.isEmpty()) track.album = tags->album;
    if (track.albumArtist.isEmpty()) track.albumArtist = tags->albumArtist;
    if (track.number == 0) track.number = tags->number;
    if (track.disc == 0) track.disc = tags->disc;
    if (track.seconds < 0) track.seconds = tags->seconds;
}

bool ReadListFile(const QString& path, const Reader& reader);

// An entry that names another track list: its songs are read in the entry's
// place, each list once in an import (a list naming itself, or one already
// read, is left out with a note).  Nothing when the entry names no list;
// false when the list named cannot be read.
std::optional<bool> FollowList(const QString& entry, const Reader& reader, int line) {
    const std::optional<QString> path = ResolveEntry(entry, reader.folder);
    if (!path || !IsTrackListFileName(*path)) return std::nullopt;
    ReadContext& context = *reader.context;
    const QString shown = QDir::toNativeSeparators(*path);
    if (!context.control->openFiles) {
        reader.Note(line, QObject::tr("the list %1 was not read").arg(shown));
        return true;
    }
    if (!QFileInfo::exists(*path)) {
        reader.Note(line, QObject::tr("the list %1 cannot be found; it was left out").arg(shown));
        return true;
    }
    if (!IsRegularFile(*path)) {
        reader.Note(line, QObject::tr("%1 is not a regular file; it was left out").arg(shown));
        return true;
    }
    const QString canonical = QFileInfo(*path).canonicalFilePath();
    if (context.lists.count(canonical)) {
        reader.Note(line, QObject::tr("the list %1 was read already; it is not read again").arg(shown));
        return true;
    }
    if (context.depth >= kMaxListDepth) {
        reader.Note(line, QObject::tr("the list %1 is named %2 lists deep; it was left out")
                              .arg(shown)
                              .arg(context.depth + 1));
        return true;
    }
    context.lists.insert(canonical);
    ++context.depth;
    Reader nested{*path, QFileInfo(*path).absoluteDir(), reader.out, reader.error, &context};
    const bool read = ReadListFile(*path, nested);
    --context.depth;
    return read;
}

// "Artist - Title"; without the separator all of it is the title.
void SplitArtistTitle(const QString& display, Track& track) {
    const qsizetype dash = display.indexOf(QLatin1String(" - "));
    if (dash > 0) {
        track.artist = display.left(dash).trimmed();
        track.title = display.mid(dash + 3).trimmed();
    } else {
        track.title = display.trimmed();
    }
}

// Text in UTF-8 (with or without its mark), UTF-16 with its mark, or else
// the Western code page of older players.
QString DecodeListText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                            : QStringConverter::Utf16BE);
        return decoder.decode(bytes.mid(2));
    }
    QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError()) return text;
    return DecodeCodePage(body.toStdString());
}

QStringList SplitLines(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace('\r', '\n');
    return t.split('\n');
}

// The first line holding a NUL, or 0: such a file is no text.
int LineOfNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul < 0) return 0;
    return static_cast<int>(text.left(nul).count('\n') + 1);
}

// ---- M3U and M3U8 --------------------------------------------------------------

bool ReadM3u(const QString& text, const Reader& reader) {
    const QStringList lines = SplitLines(text);
    bool pending = false;
    Track next;
    QString album, albumArtist;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        const QString l = lines[i].trimmed();
        if (l.isEmpty()) continue;
        if (reader.context->Cancelled()) return reader.Cancel();
        if (l.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive)) {
            next = Track();
            qsizetype p = 8;
            qsizetype start = p;
            if (p < l.size() && (l[p] == '-' || l[p] == '+')) ++p;
            while (p < l.size() && (l[p].isDigit() || l[p] == '.')) ++p;
            bool ok = false;
            const double seconds = l.mid(start, p - start).toDouble(&ok);
            if (!ok || !std::isfinite(seconds)) {
                return reader.Fail(line, QObject::tr("the length after #EXTINF: is not a number"));
            }
            next.seconds = KnownLength(seconds);
            // Attributes (key="value") may stand before the comma.
            bool quoted = false;
            while (p < l.size() && (quoted || l[p] != ',')) {
                if (l[p] == '"') quoted = !quoted;
                ++p;
            }
            if (p < l.size()) SplitArtistTitle(l.mid(p + 1), next);
            next.album = album;
            next.albumArtist = albumArtist;
            pending = true;
            continue;
        }
        if (l.startsWith(QLatin1String("#EXTALB:"), Qt::CaseInsensitive)) {
            album = l.mid(8).trimmed();
            continue;
        }
        if (l.startsWith(QLatin1String("#EXTART:"), Qt::CaseInsensitive)) {
            albumArtist = l.mid(8).trimmed();
            continue;
        }
        if (l.startsWith('#')) continue;
        if (const std::optional<bool> followed = FollowList(l, reader, line)) {
            if (!*followed) return false;
            pending = false;
            continue;
        }
        Track track = pending ? next : Track();
        if (!pending) {
            track.album = album;
            track.albumArtist = albumArtist;
        }
        pending = false;
        CompleteFromFile(track, l, reader, line);
        if (!reader.Add(std::move(track), line)) return false;
    }
    return true;
}

// ---- PLS -----------------------------------------------------------------------------

bool ReadPls(const QString& text, const Reader& reader) {
    struct Entry {
        QString file, title;
        int seconds = -1;
        int fileLine = 0, firstLine = 0;
    };
    std::map<int, Entry> entries;
    const QStringList lines = SplitLines(text);
    bool header = false;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        const QString l = lines[i].trimmed();
        if (l.isEmpty() || l.startsWith(';') || l.startsWith('#')) continue;
        if (!header) {
            if (l.compare(QLatin1String("[playlist]"), Qt::CaseInsensitive) != 0) {
                return reader.Fail(line, QObject::tr("a PLS playlist begins with [playlist]"));
            }
            header = true;
            continue;
        }
        const qsizetype eq = l.indexOf('=');
        if (eq <= 0) return reader.Fail(line, QObject::tr("expected KEY=VALUE"));
        const QString key = l.left(eq).trimmed();
        const QString value = l.mid(eq + 1).trimmed();
        const char* const kinds[] = {"File", "Title", "Length"};
        for (int k = 0; k < 3; ++k) {
            const QLatin1String kind(kinds[k]);
            if (!key.startsWith(kind, Qt::CaseInsensitive)) continue;
            bool ok = false;
            const int n = key.mid(kind.size()).toInt(&ok);
            if (!ok || n < 1 || n > 100000)
                return reader.Fail(line, QObject::tr("bad entry number in %1").arg(key));
            Entry& e = entries[n];
            if (e.firstLine == 0) e.firstLine = line;
            if (k == 0) {
                e.file = value;
                e.fileLine = line;
            } else if (k == 1) {
                e.title = value;
            } else {
                const int seconds = value.toInt(&ok);
                if (!ok) return reader.Fail(line, QObject::tr("the length is not a number"));
                e.seconds = KnownLength(seconds);
            }
            break;
        }
        if (entries.size() > kMaxTracks)
            return reader.Fail(line, QObject::tr("more than %1 songs").arg(kMaxTracks));
    }
    if (!header) return reader.Fail(0, QObject::tr("a PLS playlist begins with [playlist]"));
    for (auto& [n, e] : entries) {
        if (reader.context->Cancelled()) return reader.Cancel();
        if (!e.file.isEmpty()) {
            if (const std::optional<bool> followed = FollowList(e.file, reader, e.fileLine)) {
                if (!*followed) return false;
                continue;
            }
        }
        Track track;
        track.seconds = e.seconds;
        if (!e.title.isEmpty()) SplitArtistTitle(e.title, track);
        if (!e.file.isEmpty()) CompleteFromFile(track, e.file, reader, e.fileLine);
        if (track.title.isEmpty()) continue;
        if (!reader.Add(std::move(track), e.firstLine)) return false;
    }
    return true;
}

// ---- XSPF ----------------------------------------------------------------------------

bool ReadXspf(const QByteArray& bytes, const Reader& reader) {
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("playlist")) {
        if (xml.hasError()) {
            return reader.Fail(static_cast<int>(xml.lineNumber()), xml.errorString());
        }
        return reader.Fail(static_cast<int>(xml.lineNumber()), QObject::tr("not an XSPF playlist"));
    }
    QString listTitle, listCreator;
    const size_t first = reader.out->tracks.size();
    int depth = 1;
    bool inTrack = false;
    int trackLine = 0;
    Track track;
    QString location;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const auto name = xml.name();
            if (name == QLatin1String("track") && depth == 3) {
                inTrack = true;
                trackLine = static_cast<int>(xml.lineNumber());
                track = Track();
                location.clear();
                continue;
            }
            const bool listLevel = depth == 2;
            const bool trackLevel = inTrack && depth == 4;
            if (!listLevel && !trackLevel) continue;
            const int line = static_cast<int>(xml.lineNumber());
            if (name != QLatin1String("title") && name != QLatin1String("creator") &&
                name != QLatin1String("album") && name != QLatin1String("duration") &&
                name != QLatin1String("trackNum") && name != QLatin1String("location")) {
                continue;
            }
            const QString value =
                xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            --depth;
            if (xml.hasError()) break;
            if (listLevel) {
                if (name == QLatin1String("title")) listTitle = value;
                if (name == QLatin1String("creator")) listCreator = value;
                continue;
            }
            if (name == QLatin1String("title")) {
                track.title = value;
            } else if (name == QLatin1String("creator")) {
                track.artist = value;
            } else if (name == QLatin1String("album")) {
                track.album = value;
            } else if (name == QLatin1String("trackNum")) {
                track.number = LeadingNumber(value);
            } else if (name == QLatin1String("location")) {
                if (location.isEmpty()) location = value;
            } else {
                bool ok = false;
                const qlonglong ms = value.toLongLong(&ok);
                if (!ok || ms < 0)
                    return reader.Fail(line,
                                       QObject::tr("the duration is not a number of milliseconds"));
                track.seconds = KnownLength(static_cast<double>(ms) / 1000.0);
            }
        } else if (xml.isEndElement()) {
            if (inTrack && depth == 3) {
                inTrack = false;
                if (!location.isEmpty()) {
                    // Locations are URIs: relative ones are percent-encoded paths.
                    const QUrl url(location);
                    QString entry = location;
                    if (url.isLocalFile()) {
                        entry = url.toLocalFile();
                    } else if (url.isRelative()) {
                        entry = QUrl::fromPercentEncoding(location.toUtf8());
                    }
                    const std::optional<bool> followed = FollowList(entry, reader, trackLine);
                    if (followed && !*followed) return false;
                    if (followed) track = Track();
                    else CompleteFromFile(track, entry, reader, trackLine);
                }
                if (!track.title.isEmpty() || track.seconds >= 0) {
                    if (!reader.Add(std::move(track), trackLine)) return false;
                }
            }
            --depth;
        }
    }
    if (xml.hasError()) return reader.Fail(static_cast<int>(xml.lineNumber()), xml.errorString());
    // The playlist's own title and creator name the tape better than the
    // albums its songs came from.
    if (!listTitle.isEmpty()) {
        reader.Cut(listTitle, QT_TR_NOOP("title"), 0);
        reader.Cut(listCreator, QT_TR_NOOP("creator"), 0);
        for (size_t i = first; i < reader.out->tracks.size(); ++i) {
            reader.out->tracks[i].album = listTitle;
            reader.out->tracks[i].albumArtist = listCreator;
        }
    }
    return true;
}

// ---- cue sheets ----------------------------------------------------------------------

// An mm:ss:ff time in frames, or -1.
long CueTime(const QString& text) {
    const QStringList parts = text.split(':');
    if (parts.size() != 3) return -1;
    long value[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        value[i] = parts[i].toLong(&ok);
        // Minutes take up to three digits, seconds and frames two.
        if (!ok || value[i] < 0 || parts[i].isEmpty() || parts[i].size() > (i == 0 ? 3 : 2) ||
            (i > 0 && parts[i].size() != 2) || !parts[i].front().isDigit()) {
            return -1;
        }
    }
    if (value[1] >= 60 || value[2] >= kFramesPerSecond) return -1;
    return (value[0] * 60 + value[1]) * kFramesPerSecond + value[2];
}

// Blank-separated words; a quoted word keeps its blanks.
QStringList CueWords(const QString& line, bool* closed) {
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    for (QChar c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && c.isSpace()) {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words << word;
    *closed = !quoted;
    return words;
}

// The cue sheet parser takes what it can of a faulty sheet; this check
// finds the line at fault first, so that a faulty sheet is refused whole.
bool CheckCueLines(const QString& text, const Reader& reader, std::map<QString, int>& fileLines) {
    static const QStringList kCommands = {
        "CATALOG",   "CDTEXTFILE", "FILE",     "FLAGS",     "INDEX",      "ISRC",
        "PERFORMER", "POSTGAP",    "PREGAP",   "REM",       "SONGWRITER", "TITLE",
        "TRACK",     "ARRANGER",   "COMPOSER", "MESSAGE",   "DISC_ID",    "GENRE",
        "TOC_INFO1", "TOC_INFO2",  "UPC_EAN",  "SIZE_INFO", "TRACK_ISRC"};
    const QStringList lines = SplitLines(text);
    bool file = false, track = false;
    int tracks = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        bool closed = true;
        const QStringList words = CueWords(lines[i].trimmed(), &closed);
        if (words.isEmpty()) continue;
        const QString command = words[0];
        // The parser reads remarks too: an open quotation mark stops it there.
        if (!closed) return reader.Fail(line, QObject::tr("a quotation mark is not closed"));
        if (command == QLatin1String("REM")) continue;
        if (!kCommands.contains(command))
            return reader.Fail(line, QObject::tr("unknown command %1").arg(command));
        // Each command takes a fixed number of words, quoted texts without
        // control characters, and stands where the sheet allows it.
        const int wanted = command == QLatin1String("FILE") || command == QLatin1String("TRACK") ||
                                   command == QLatin1String("INDEX")
                               ? 3
                               : 2;
        if (command != QLatin1String("FLAGS") && words.size() != wanted) {
            return reader.Fail(line, QObject::tr("%1 takes %2 words").arg(command).arg(wanted - 1));
        }
        for (const QString& w : words) {
            for (QChar c : w) {
                if (c.unicode() < 0x20)
                    return reader.Fail(line, QObject::tr("a control character"));
            }
        }
        const bool trackOnly =
            command == QLatin1String("INDEX") || command == QLatin1String("FLAGS") ||
            command == QLatin1String("ISRC") || command == QLatin1String("PREGAP") ||
            command == QLatin1String("POSTGAP") || command == QLatin1String("TRACK_ISRC");
        const bool discOnly =
            command == QLatin1String("CATALOG") || command == QLatin1String("CDTEXTFILE");
        if (trackOnly && !track)
            return reader.Fail(line, QObject::tr("%1 before any TRACK").arg(command));
        if (discOnly && track)
            return reader.Fail(line, QObject::tr("%1 after the first TRACK").arg(command));
        if (command == QLatin1String("FILE")) {
            if (words.size() < 3)
                return reader.Fail(line, QObject::tr("FILE needs a name and a type"));
            static const QStringList kTypes = {"BINARY", "MOTOROLA", "AIFF", "WAVE", "MP3", "FLAC"};
            if (!kTypes.contains(words[2]))
                return reader.Fail(line, QObject::tr("unknown file type %1").arg(words[2]));
            fileLines.emplace(words[1], line);
            file = true;
        } else if (command == QLatin1String("TRACK")) {
            bool ok = false;
            const int n = words.size() >= 3 ? words[1].toInt(&ok) : 0;
            if (!ok || n < 1 || n > 99)
                return reader.Fail(line,
                                   QObject::tr("TRACK needs a number from 1 to 99 and a type"));
            static const QStringList kModes = {"AUDIO",      "CDG",        "MODE1/2048",
                                               "MODE1/2352", "MODE2/2336", "MODE2/2352",
                                               "CDI/2336",   "CDI/2352"};
            if (!kModes.contains(words[2]))
                return reader.Fail(line, QObject::tr("unknown track type %1").arg(words[2]));
            if (!file) return reader.Fail(line, QObject::tr("TRACK before any FILE"));
            if (++tracks > 99) return reader.Fail(line, QObject::tr("more than 99 tracks"));
            track = true;
        } else if (command == QLatin1String("INDEX")) {
            bool ok = false;
            const int n = words.size() >= 3 ? words[1].toInt(&ok) : -1;
            if (!ok || n < 0 || n > 99 || CueTime(words[2]) < 0) {
                return reader.Fail(line, QObject::tr("INDEX needs a number and a time mm:ss:ff"));
            }
        } else if (command == QLatin1String("FLAGS")) {
            static const QStringList kFlags = {"DCP", "4CH", "PRE", "SCMS", "DATA"};
            for (qsizetype w = 1; w < words.size(); ++w) {
                if (!kFlags.contains(words[w]))
                    return reader.Fail(line, QObject::tr("unknown flag %1").arg(words[w]));
            }
        } else if (command == QLatin1String("PREGAP") || command == QLatin1String("POSTGAP")) {
            if (words.size() < 2 || CueTime(words[1]) < 0) {
                return reader.Fail(line, QObject::tr("%1 needs a time mm:ss:ff").arg(command));
            }
        }
    }
    if (tracks == 0) return reader.Fail(0, QObject::tr("the cue sheet has no tracks"));
    return true;
}

struct CdDeleter {
    void operator()(Cd* cd) const { cd_delete(cd); }
};

bool ReadCue(const QByteArray& bytes, const QString& text, const Reader& reader) {
    std::map<QString, int> fileLines;  // where each FILE is named, for the missing ones
    if (!CheckCueLines(text, reader, fileLines)) return false;
    // The parser reads the sheet's own bytes; its texts are decoded as the
    // whole sheet was.
    QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (utf16) body = text.toUtf8();
    // The parser wants every line ended, the last one too; without, it
    // stops with a syntax error (and leaks what it had built).
    if (!body.endsWith('\n')) body += '\n';
    const bool utf8 = utf16 || DecodeListText(body) == QString::fromUtf8(body);
    auto decode = [&](const char* s) -> QString {
        if (!s) return {};
        return (utf8 ? QString::fromUtf8(s) : DecodeCodePage(s)).trimmed();
    };
    std::unique_ptr<Cd, CdDeleter> cd(cue_parse_string(body.constData()));
    if (!cd) return reader.Fail(0, QObject::tr("not a cue sheet"));
    const int count = cd_get_ntrack(cd.get());
    if (count <= 0) return reader.Fail(0, QObject::tr("the cue sheet has no tracks"));
    Cdtext* discText = cd_get_cdtext(cd.get());
    const QString album = discText ? decode(cdtext_get(PTI_TITLE, discText)) : QString();
    const QString albumArtist = discText ? decode(cdtext_get(PTI_PERFORMER, discText)) : QString();

    struct Entry {
        Track track;
        QString fileName;
        long start = 0;
    };
    std::vector<Entry> entries;
    for (int i = 1; i <= count; ++i) {
        const ::Track* t = cd_get_track(cd.get(), i);
        if (!t) continue;
        Entry e;
        Cdtext* cdtext = track_get_cdtext(t);
        e.track.title = cdtext ? decode(cdtext_get(PTI_TITLE, cdtext)) : QString();
        e.track.artist = cdtext ? decode(cdtext_get(PTI_PERFORMER, cdtext)) : QString();
        if (e.track.artist.isEmpty()) e.track.artist = albumArtist;
        e.track.album = album;
        e.track.albumArtist = albumArtist;
        e.track.number = i;
        e.fileName = decode(track_get_filename(t));
        const long index1 = track_get_index(t, 1);
        e.start = index1 >= 0 ? index1 : std::max(track_get_start(t), 0L);
        entries.push_back(std::move(e));
    }
    // A track runs to the next track's INDEX 01 in the same file; the last
    // one of a file to the file's end, when the file can be read.
    std::map<QString, std::optional<Track>> files;
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        Track& track = e.track;
        if (track.title.isEmpty()) track.title = QObject::tr("Track %1").arg(i + 1);
        if (i + 1 < entries.size() && entries[i + 1].fileName == e.fileName) {
            const long frames = entries[i + 1].start - e.start;
            if (frames >= 0) {
                track.seconds =
                    static_cast<int>((frames + kFramesPerSecond / 2) / kFramesPerSecond);
            } else {
                reader.Note(0, QObject::tr("track %1 starts after track %2 (their INDEX 01 times "
                                           "are out of order); the length of track %1 is unknown")
                                   .arg(i + 1)
                                   .arg(i + 2));
            }
            continue;
        }
        const std::optional<QString> path = ResolveEntry(e.fileName, reader.folder);
        if (!path) continue;
        track.file = *path;
        if (!reader.context->control->openFiles) continue;
        if (!QFileInfo(*path).isFile()) {
            const auto named = fileLines.find(e.fileName);
            reader.out->missing.push_back(
                {reader.name, named == fileLines.end() ? 0 : named->second, *path});
            continue;
        }
        if (!files.count(*path)) files[*path] = ReadAudioFileNoting(*path, reader);
        if (reader.context->Cancelled()) return reader.Cancel();
        const std::optional<Track>& audio = files[*path];
        if (audio && audio->seconds >= 0) {
            const long frames = static_cast<long>(audio->seconds) * kFramesPerSecond - e.start;
            if (frames >= 0) {
                track.seconds =
                    static_cast<int>((frames + kFramesPerSecond / 2) / kFramesPerSecond);
            } else {
                reader.Note(0, QObject::tr("track %1 starts after the end of %2; its length is unknown")
                                   .arg(i + 1)
                                   .arg(QDir::toNativeSeparators(*path)));
            }
        }
    }
    for (Entry& e : entries) {
        if (!reader.Add(std::move(e.track), 0)) return false;
    }
    return true;
}

// ---- plain text ----------------------------------------------------------------------

bool ReadText(const QString& text, const Reader& reader) {
    const QStringList lines = SplitLines(text);
    for (int i = 0; i < lines.size(); ++i) {
        const QString l = lines[i].trimmed();
        if (l.isEmpty()) continue;
        Track track;
        QString rest;
        const int seconds = TrailingLength(l, &rest);
        track.title = seconds >= 0 ? rest : l;
        track.seconds = seconds >= 0 ? KnownLength(seconds) : -1;
        if (track.title.isEmpty()) continue;
        if (!reader.Add(std::move(track), i + 1)) return false;
    }
    return true;
}

// ---- audio files and folders ---------------------------------------------------------

Track AudioTrack(const QString& path, const Reader& reader) {
    std::optional<Track> track = ReadAudioFileNoting(path, reader);
    if (!track) {
        track = Track();
        track->file = path;
    }
    if (track->title.isEmpty()) track->title = BaseNameOf(path);
    return *track;
}

// The audio files of the folder and its subfolders (not those reached
// through links, nor hidden ones), each with its path from `root`; what
// cannot be read is noted.
bool ReadFolder(const QString& path, const Reader& reader) {
    struct Found {
        Track track;
        QString relative;
    };
    std::vector<Found> found;
    const QDir root(path);
    std::vector<QString> folders{path};
    while (!folders.empty()) {
        const QString folder = folders.back();
        folders.pop_back();
        const QDir dir(folder);
        if (!QFileInfo(folder).isReadable() || !QFileInfo(folder).isExecutable()) {
            reader.Note(0, QObject::tr("this folder cannot be read"), folder);
            continue;
        }
        const QFileInfoList entries =
            dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            if (reader.context->Cancelled()) return reader.Cancel();
            const QString file = entry.filePath();
            if (entry.isDir() && !entry.isSymLink()) {
                folders.push_back(file);
                continue;
            }
            if (!IsAudioFileName(file)) continue;
            if (!IsRegularFile(file)) {
                reader.Note(0, entry.exists() ? QObject::tr("not a regular file; left out")
                                              : QObject::tr("cannot be found; left out"),
                            file);
                continue;
            }
            if (!entry.isReadable()) {
                reader.Note(0, QObject::tr("cannot be read; left out"), file);
                continue;
            }
            if (found.size() >= kMaxTracks)
                return reader.Fail(0, QObject::tr("more than %1 songs").arg(kMaxTracks));
            found.push_back({AudioTrack(file, reader), root.relativeFilePath(file)});
        }
    }
    if (reader.context->Cancelled()) return reader.Cancel();
    if (found.empty()) return reader.Fail(0, QObject::tr("the folder holds no audio files"));
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.track.disc != b.track.disc) return a.track.disc < b.track.disc;
        if (a.track.number != b.track.number) return a.track.number < b.track.number;
        return QString::compare(a.relative, b.relative, Qt::CaseInsensitive) < 0;
    });
    for (Found& f : found) {
        if (!reader.Add(std::move(f.track), 0)) return false;
    }
    return true;
}

bool HasExtension(const QString& name, const char* extension) {
    return name.endsWith(QLatin1Char('.') + QLatin1String(extension), Qt::CaseInsensitive);
}

bool ReadListBytes(const QByteArray& bytes, const Reader& reader) {
    const QString text = DecodeListText(bytes);
    if (const int line = LineOfNul(text)) {
        return reader.Fail(line, QObject::tr("this is neither a track list nor text"));
    }
    const QString& name = reader.name;
    if (HasExtension(name, "m3u") || HasExtension(name, "m3u8")) return ReadM3u(text, reader);
    if (HasExtension(name, "pls")) return ReadPls(text, reader);
    if (HasExtension(name, "xspf")) return ReadXspf(bytes, reader);
    if (HasExtension(name, "cue")) return ReadCue(bytes, text, reader);
    return ReadText(text, reader);
}

// A list file on the disk (a regular file, checked before).
bool ReadListFile(const QString& path, const Reader& reader) {
    reader.context->Progress(path);
    if (QFileInfo(path).size() > kMaxListBytes) {
        return reader.Fail(0, QObject::tr("too large for a track list"));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return reader.Fail(0, QObject::tr("cannot be opened"));
    const QByteArray bytes = file.read(kMaxListBytes + 1);
    if (bytes.size() > kMaxListBytes) return reader.Fail(0, QObject::tr("too large for a track list"));
    return ReadListBytes(bytes, reader);
}

// The album and its artist when all songs share them.
void FindAlbum(TrackImport& import) {
    import.album.clear();
    import.albumArtist.clear();
    if (import.tracks.empty()) return;
    const Track& first = import.tracks.front();
    auto shared = [&](auto field) {
        const QString& value = first.*field;
        for (const Track& t : import.tracks) {
            if ((t.*field).compare(value, Qt::CaseInsensitive) != 0) return QString();
        }
        return value;
    };
    import.album = shared(&Track::album);
    if (import.album.isEmpty()) return;
    import.albumArtist = shared(&Track::albumArtist);
    if (import.albumArtist.isEmpty()) import.albumArtist = shared(&Track::artist);
}

}  // namespace

QString TrackListError::Message() const {
    const QString where = QDir::toNativeSeparators(file);
    if (line > 0) return QObject::tr("%1, line %2: %3").arg(where).arg(line).arg(reason);
    return QObject::tr("%1: %2").arg(where, reason);
}

int TrackImport::UnknownLengths() const {
    return static_cast<int>(
        std::count_if(tracks.begin(), tracks.end(), [](const Track& t) { return t.seconds < 0; }));
}

bool IsAudioFileName(const QString& path) {
    for (const char* extension : kAudioExtensions) {
        if (HasExtension(path, extension)) return true;
    }
    return false;
}

bool IsTrackListFileName(const QString& path) {
    for (const char* extension : {"m3u", "m3u8", "pls", "xspf", "cue"}) {
        if (HasExtension(path, extension)) return true;
    }
    return false;
}

std::optional<TrackImport> ReadTrackListBytes(const QString& name, const QByteArray& bytes,
                                              TrackListError* error, TrackReadControl* control) {
    TrackReadControl defaults;
    ReadContext context;
    context.control = control ? control : &defaults;
    TrackImport import;
    Reader reader{name, QFileInfo(name).absoluteDir(), &import, error, &context};
    if (bytes.size() > kMaxListBytes) {
        reader.Fail(0, QObject::tr("too large for a track list"));
        return std::nullopt;
    }
    context.lists.insert(QFileInfo(name).absoluteFilePath());
    if (!ReadListBytes(bytes, reader)) return std::nullopt;
    FindAlbum(import);
    return import;
}

std::optional<TrackImport> ReadTrackSources(const QStringList& sources, TrackListError* error,
                                            TrackReadControl* control) {
    TrackReadControl defaults;
    ReadContext context;
    context.control = control ? control : &defaults;
    TrackImport import;
    for (const QString& source : sources) {
        Reader reader{source, QFileInfo(source).absoluteDir(), &import, error, &context};
        if (context.Cancelled()) {
            reader.Cancel();
            return std::nullopt;
        }
        const QFileInfo info(source);
        if (info.isDir()) {
            if (!ReadFolder(source, reader)) return std::nullopt;
            continue;
        }
        if (!info.exists()) {
            reader.Fail(0, QObject::tr("cannot be found"));
            return std::nullopt;
        }
        if (!IsRegularFile(source)) {
            reader.Fail(0, QObject::tr("not a regular file"));
            return std::nullopt;
        }
        if (IsAudioFileName(source)) {
            if (!reader.Add(AudioTrack(info.absoluteFilePath(), reader), 0)) return std::nullopt;
            if (context.Cancelled()) {
                reader.Cancel();
                return std::nullopt;
            }
            continue;
        }
        context.lists.insert(info.canonicalFilePath());
        if (!ReadListFile(source, reader)) return std::nullopt;
        if (context.Cancelled()) {
            reader.Cancel();
            return std::nullopt;
        }
    }
    if (import.tracks.empty()) {
        if (error)
            *error = {sources.isEmpty() ? QString() : sources.back(), 0,
                      QObject::tr("no songs found")};
        return std::nullopt;
    }
    FindAlbum(import);
    return import;
}

int TrailingLength(const QString& text, QString* rest) {
    QString t = text.trimmed();
    bool paren = false;
    if (t.endsWith(')')) {
        paren = true;
        t.chop(1);
        t = t.trimmed();
    }
    qsizetype start = t.size();
    while (start > 0 && (t[start - 1].isDigit() || t[start - 1] == ':')) --start;
    const QString token = t.mid(start);
    QString before = t.left(start);
    if (paren) {
        before = before.trimmed();
        if (!before.endsWith('(')) return -1;
        before.chop(1);
    } else if (!before.isEmpty()) {
        const QChar c = before.back();
        if (!c.isSpace() && c != QChar(0x00BB) && c != '-' && c != QChar(0x2013) &&
            c != QChar(0x2014))
            return -1;
    }
    const QStringList parts = token.split(':');
    if (parts.size() < 2 || parts.size() > 3) return -1;
    long value[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        if (parts[i].isEmpty() || parts[i].size() > 3) return -1;
        value[i] = parts[i].toLong(&ok);
        if (!ok) return -1;
        if (i > 0 && (parts[i].size() != 2 || value[i] >= 60)) return -1;
    }
    const long seconds =
        parts.size() == 3 ? (value[0] * 60 + value[1]) * 60 + value[2] : value[0] * 60 + value[1];
    if (rest) {
        qsizetype end = before.size();
        while (end > 0 && (before[end - 1].isSpace() || before[end - 1] == QChar(0x00BB) ||
                           before[end - 1] == '-' || before[end - 1] == QChar(0x2013) ||
                           before[end - 1] == QChar(0x2014))) {
            --end;
        }
        *rest = before.left(end);
    }
    return static_cast<int>(seconds);
}
