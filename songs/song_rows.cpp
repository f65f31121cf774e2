#include "songs/song_rows.h"

#include <QDir>
#include <QObject>
#include <QSet>

#include "document/liner.h"
#include "document/liner_text.h"
#include "platform/code_page.h"

namespace {

// The byte of a character when the code page has it and it may stand in a
// liner's text: no control character, and not the tab mark.
std::optional<unsigned char> StorableByte(char32_t c) {
    if (c < 0x20 || c > 0xFFFF) return std::nullopt;
    const std::optional<unsigned char> byte = UnicodeToCodePage(static_cast<char16_t>(c));
    if (!byte || *byte < 0x20 || *byte == 0x7F || *byte == static_cast<unsigned char>(kTabMark))
        return std::nullopt;
    return byte;
}

// Letters without a decomposition, and a few signs, with their nearest.
const char* Nearest(char32_t c) {
    switch (c) {
        case U'ł':
            return "l";
        case U'Ł':
            return "L";
        case U'đ':
            return "d";
        case U'Đ':
            return "D";
        case U'ħ':
            return "h";
        case U'Ħ':
            return "H";
        case U'ı':
            return "i";
        case U'ŀ':
            return "l";
        case U'Ŀ':
            return "L";
        case U'ŧ':
            return "t";
        case U'Ŧ':
            return "T";
        case U'ĸ':
            return "k";
        case U'ŋ':
            return "n";
        case U'Ŋ':
            return "N";
        case U'ɐ':
            return "a";
        case U'ǝ':
            return "e";
        case U'»':
            return ">>";
        case U'‐':
        case U'‑':
        case U'‒':
        case U'−':
            return "-";
        case U'′':
            return "'";
        case U'″':
            return "\"";
        case U'⁄':
            return "/";
        default:
            return nullptr;
    }
}

// The nearest stored form of one character: itself, the same letter with
// fewer marks ("ǘ" → "ü"), the bare letter ("ő" → "o"), its compatibility
// form ("ﬁ" → "fi"), or "?".
std::string NearestOf(char32_t c) {
    if (const auto byte = StorableByte(c)) return std::string(1, static_cast<char>(*byte));
    if (c == U'\t' || c == U'\n' || c == U'\r') return " ";
    if (const char* near = Nearest(c)) return near;
    const QString one = QString::fromUcs4(&c, 1);
    QString d = one.normalized(QString::NormalizationForm_D);
    while (d.size() > 1) {
        d.chop(1);
        const QString composed = d.normalized(QString::NormalizationForm_C);
        if (composed.size() == 1) {
            if (const auto byte = StorableByte(composed[0].unicode()))
                return std::string(1, static_cast<char>(*byte));
        }
    }
    std::string out;
    for (QChar k : one.normalized(QString::NormalizationForm_KD)) {
        if (k.category() == QChar::Mark_NonSpacing) continue;
        const auto byte = StorableByte(k.unicode());
        if (!byte) return "?";
        out += static_cast<char>(*byte);
    }
    return out.empty() ? "?" : out;
}

TextBlock BlockOf(const std::vector<std::string>& rows) {
    TextBlock block;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) block.text += "\r\n";
        block.text += rows[i];
    }
    block.lineCount = static_cast<int16_t>(rows.size());
    return block;
}

bool TitleIsEmpty(const TextBlock& title) {
    if (title.lineCount == 0) return true;
    for (char c : StripFontChanges(title.text)) {
        if (c != ' ' && c != '\r' && c != '\n' && c != kTabMark) return false;
    }
    return true;
}

}  // namespace

std::string ToCodePageNearest(const QString& text, bool* changed) {
    std::string out;
    bool any = false;
    for (char32_t c : text.toUcs4()) {
        const std::string near = NearestOf(c);
        if (near.size() != 1 || !StorableByte(c)) any = true;
        out += near;
    }
    if (changed) *changed = any;
    return out;
}

std::string ToFontCoded(const QString& text, std::vector<FontEntry>& fonts, int standard, int* current,
                        bool* changed) {
    std::string out;
    bool any = false;
    auto put = [&](char16_t c, std::u16string_view following) {
        if (c < 0x20 || c == 0x7F) return false;
        const FontForCharacter fit = FindFontForCharacter(fonts, *current, standard, c, following);
        if (fit.fit != FontFit::Holds && fit.fit != FontFit::Variant) return false;
        const std::optional<unsigned char> byte = UnicodeToCodePage(c, CodePageOfFont(fonts, fit.number, standard));
        if (!byte || *byte < 0x20 || *byte == 0x7F || *byte == static_cast<unsigned char>(kTabMark)) return false;
        if (fit.number != *current) {
            out += kFontChange;
            out += static_cast<char>(fit.number);
            *current = fit.number;
        }
        out += static_cast<char>(*byte);
        return true;
    };
    const QString storable = StorableForm(text);
    const std::u16string_view all(reinterpret_cast<const char16_t*>(storable.utf16()),
                                  static_cast<size_t>(storable.size()));
    for (size_t i = 0; i < all.size(); ++i) {
        char32_t c = all[i];
        if (QChar::isHighSurrogate(c) && i + 1 < all.size() && QChar::isLowSurrogate(all[i + 1])) {
            c = QChar::surrogateToUcs4(all[i], all[i + 1]);
            ++i;
        } else if (put(all[i], all.substr(i + 1))) {
            continue;
        }
        any = true;
        // The nearest Western letters, which every font variant can store.
        for (QChar near : DecodeCodePage(NearestOf(c))) put(near.unicode(), {});
    }
    if (changed) *changed = any;
    return out;
}

bool SeveralArtists(const std::vector<Track>& tracks) {
    QSet<QString> artists;
    for (const Track& t : tracks) {
        if (!t.artist.isEmpty()) artists.insert(t.artist.toCaseFolded());
    }
    return artists.size() > 1;
}

QString SongRow(const Track& track, int number, const RowOptions& options) {
    QString row;
    if (options.numbers) row += QStringLiteral("%1. ").arg(number);
    if (options.artist && !track.artist.isEmpty()) row += track.artist + QStringLiteral(" - ");
    row += track.title;
    if (track.seconds >= 0) row += QChar(0x00BB) + FormatLength(track.seconds);
    return row;
}

std::optional<SongTexts> MakeSongTexts(const std::vector<Track>& tracks, size_t sideACount,
                                       const RowOptions& options, const QString& album,
                                       const QString& albumArtist, const std::vector<FontEntry>* fonts) {
    SongTexts texts;
    if (fonts) texts.fonts = *fonts;
    // Each side's text goes on in the font its last row ended in.
    int current[2] = {kFontSong, kFontSong};
    auto encode = [&](const QString& text, int standard, int* font, bool* changed) {
        return fonts ? ToFontCoded(text, texts.fonts, standard, font, changed) : ToCodePageNearest(text, changed);
    };
    auto shown = [&](const std::string& coded) {
        return fonts ? FontCodedToUnicode(texts.fonts, coded, kFontSong) : DecodeCodePage(coded);
    };
    std::vector<std::string> rows[2];
    for (size_t i = 0; i < tracks.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        // The row without its number and length: the user is told of the
        // song as it was and as it is stored.
        Track bare = tracks[i];
        bare.seconds = -1;
        const QString unicode = SongRow(bare, number, RowOptions{options.artist, false});
        bool changed = false;
        const int side = i < sideACount ? 0 : 1;
        const int before = current[side];
        std::string song = encode(unicode, kFontSong, &current[side], &changed);
        if (changed) {
            const std::string from = before == kFontSong ? std::string() : std::string{kFontChange, static_cast<char>(before)};
            texts.changed.push_back({number, unicode, shown(from + song)});
        }
        std::string row = options.numbers ? std::to_string(number) + ". " + song : song;
        if (tracks[i].seconds >= 0) row += kTabMark + FormatLength(tracks[i].seconds).toStdString();
        rows[side].push_back(std::move(row));
    }
    texts.sideA = BlockOf(rows[0]);
    texts.sideB = BlockOf(rows[1]);
    for (const TextBlock* block : {&texts.sideA, &texts.sideB}) {
        if (block->text.size() > 0xFFFF || rows[block == &texts.sideA ? 0 : 1].size() > INT16_MAX)
            return std::nullopt;
    }
    if (!album.isEmpty()) {
        int font = kFontTitle;
        std::vector<std::string> lines{encode(album, kFontTitle, &font, nullptr)};
        if (!albumArtist.isEmpty()) lines.push_back(encode(albumArtist, kFontTitle, &font, nullptr));
        texts.title = BlockOf(lines);
        // The same limit as the songs' texts; the readers cut the texts well
        // below it, so this is a last guard.
        if (texts.title.text.size() > 0xFFFF) texts.title = TextBlock();
    }
    return texts;
}

bool PutSongTexts(Liner& liner, const SongTexts& texts) {
    if (!texts.fonts.empty()) liner.fonts = texts.fonts;
    liner.songsA = texts.sideA;
    liner.songsB = texts.sideB;
    if (texts.title.lineCount == 0 || !TitleIsEmpty(liner.title)) return false;
    liner.title = texts.title;
    return true;
}

QStringList ImportNotes(const TrackImport& import, const SongTexts* texts, const TapeSplit& split,
                        std::optional<TapeLength> tape) {
    QStringList notes;
    if (!import.notes.isEmpty()) {
        QString note = QObject::tr("Not everything was imported as it is:");
        for (const QString& line : import.notes) note += "\n  " + line;
        notes << note;
    }
    if (!import.missing.empty()) {
        QString note =
            QObject::tr("These audio files were not found; their songs are imported by name:");
        for (const MissingFile& m : import.missing) {
            const QString where = QDir::toNativeSeparators(m.source);
            note += "\n  " + (m.line > 0 ? QObject::tr("%1, line %2: %3").arg(where).arg(m.line)
                                         : QObject::tr("%1: %2").arg(where))
                                 .arg(QDir::toNativeSeparators(m.file));
        }
        notes << note;
    }
    if (const int unknown = import.UnknownLengths()) {
        notes << (unknown == 1 ? QObject::tr("1 song has no known length; it counts as 0:00.")
                               : QObject::tr("%1 songs have no known length; they count as 0:00.")
                                     .arg(unknown));
    }
    if (texts && !texts->changed.empty()) {
        QString note = texts->fonts.empty()
                           ? QObject::tr("A liner's texts use the Western (Windows-1252) character set; "
                                         "these songs were changed to fit it:")
                           : QObject::tr("Some letters of these songs are in no character set a font can "
                                         "have; they were changed:");
        for (const ChangedSong& c : texts->changed) {
            note += QStringLiteral("\n  %1. %2 \u2192 %3").arg(c.number).arg(c.original, c.stored);
        }
        notes << note;
    }
    if (tape && split.missingSeconds > 0) {
        notes << QObject::tr(
                     "The songs do not fit on a %1 (%2 a side): %3 is missing. "
                     "What does not fit is on Side B.")
                     .arg(tape->Name(), FormatLength(tape->SideSeconds()),
                          FormatLength(split.missingSeconds));
    }
    return notes;
}
