// Audio files and track lists made by the songs tests.
#pragma once

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <string>
#include <utility>
#include <vector>

namespace songs_test {

// A chunk of a RIFF file: its id, size and body, padded to an even size.
inline QByteArray RiffChunk(const char* id, const QByteArray& body) {
    QByteArray b(id, 4);
    char size[4];
    qToLittleEndian(static_cast<quint32>(body.size()), size);
    b.append(size, 4);
    b.append(body);
    if (body.size() % 2) b.append('\0');
    return b;
}

// A RIFF INFO list as players write it: {"INAM", "Title"}, {"IART", ...}.
inline QByteArray RiffInfo(const std::vector<std::pair<const char*, QByteArray>>& fields) {
    QByteArray body("INFO");
    for (const auto& [id, text] : fields) body += RiffChunk(id, text + '\0');
    return RiffChunk("LIST", body);
}

// A silent WAV file lasting `seconds`, at 100 samples a second so that even
// long songs stay small; `after` is put after the sound (more chunks).
inline void WriteWav(const QString& path, int seconds, int rate = 100,
                     const QByteArray& after = QByteArray()) {
    const quint32 data = static_cast<quint32>(seconds * rate);
    QByteArray fmt;
    auto u32 = [&](quint32 v) {
        char c[4];
        qToLittleEndian(v, c);
        fmt.append(c, 4);
    };
    auto u16 = [&](quint16 v) {
        char c[2];
        qToLittleEndian(v, c);
        fmt.append(c, 2);
    };
    u16(1);  // PCM
    u16(1);  // mono
    u32(static_cast<quint32>(rate));
    u32(static_cast<quint32>(rate));  // bytes per second
    u16(1);
    u16(8);
    const QByteArray body = "WAVE" + RiffChunk("fmt ", fmt) +
                            RiffChunk("data", QByteArray(static_cast<qsizetype>(data), '\x80')) +
                            after;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(RiffChunk("RIFF", body));
}

struct Tags {
    std::string title, artist, album;
    unsigned track = 0;
    std::string disc;
};

// Writes the tags through the tag library, as a player would have.
inline bool WriteTags(const QString& path, const Tags& tags) {
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileRef ref(name.constData());
    if (ref.isNull() || !ref.tag()) return false;
    ref.tag()->setTitle(TagLib::String(tags.title, TagLib::String::UTF8));
    ref.tag()->setArtist(TagLib::String(tags.artist, TagLib::String::UTF8));
    ref.tag()->setAlbum(TagLib::String(tags.album, TagLib::String::UTF8));
    ref.tag()->setTrack(tags.track);
    if (!tags.disc.empty()) {
        TagLib::PropertyMap map = ref.file()->properties();
        map.replace("DISCNUMBER", TagLib::StringList(TagLib::String(tags.disc)));
        ref.file()->setProperties(map);
    }
    return ref.save();
}

inline void WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(text);
}

}  // namespace songs_test
