#include "liner_seeds.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>

#include "document/byte_io.h"
#include "document/liner_json.h"
#include "fuzz_support.h"

namespace fuzz {
namespace {

void Measure(ByteWriter& w, const Measurement& m) {
    for (int16_t v : {m.whole, m.fraction, m.fractionDigits, m.unit, m.twips}) w.I16(v);
}

void Area(ByteWriter& w, const AreaFormat& a) {
    w.U16(a.alignment);
    for (const Measurement* m : {&a.left, &a.right, &a.top, &a.bottom, &a.wrap, &a.between, &a.within})
        Measure(w, *m);
}

// The Liner in the layout of `version` (major * 100 + minor), field by field
// from the table of earlier layouts, so that the readers' version branches
// all have seeds.
std::vector<uint8_t> WriteLayout(const Liner& l, FileKind kind, int version) {
    ByteWriter w;
    w.U16(static_cast<uint16_t>(version / 100));
    w.U16(static_cast<uint16_t>(version % 100));
    const bool known = version >= 400 && version < 1100;
    const bool old = version < 500;
    if (kind == FileKind::Liner) {
        for (const TextBlock* t : {&l.title, &l.songsA, &l.songsB}) {
            w.I16(t->lineCount);
            if (t->lineCount != 0) w.String(t->text);
        }
    }
    Area(w, l.titleFormat);
    w.U8(l.splitTitle);
    w.U8(l.centerTitleVertically);
    for (const auto& a : l.songFormats) Area(w, a);
    w.U16(l.cutLineStyle);
    w.U16(l.foldLineStyle);
    w.U8(l.invertImage);
    w.U8(l.oneUpSides);
    w.U8(l.bisectSides);
    for (const Measurement* m : {&l.width, &l.flapHeight, &l.titleHeight, &l.primaryHeight, &l.overflowHeight})
        Measure(w, *m);
    for (int location : {kSideAFlap, kSideAPrimary, kSideBFlap, kSideBPrimary}) {
        const auto& s = l.sideLetters[location];
        w.U16(s.style);
        Measure(w, s.top);
        Measure(w, s.side);
        w.Zeros(old ? 2 : 4);
        w.String(s.text);
    }
    w.U16(static_cast<uint16_t>(l.fonts.size()));
    for (const auto& e : l.fonts) {
        const LogFont& f = e.logFont;
        for (int32_t v : {f.height, f.width, f.escapement, f.orientation, f.weight}) {
            if (old) w.U16(static_cast<uint16_t>(v)); else w.I32(v);
        }
        for (uint8_t b : {f.italic, f.underline, f.strikeOut, f.charSet, f.outPrecision, f.clipPrecision,
                          f.quality, f.pitchAndFamily})
            w.U8(b);
        w.Bytes(f.faceName.data(), f.faceName.size());
        w.U32(e.color);
    }
    w.U16(static_cast<uint16_t>(l.features.size()));
    w.U16(l.sidedFeatureCount());
    for (const auto& f : l.features) {
        w.U16(static_cast<uint16_t>(f.RecordSize() - (old ? 2 : 0)));
        w.Zeros(old ? 2 : 4);
        w.U16(f.style);
        Measure(w, f.top);
        Measure(w, f.side);
        w.ZeroTerminated(f.name);
        if (IsSidedStyle(f.style)) {
            for (const auto& side : f.sides) {
                w.I8(static_cast<int8_t>(side.choices.size()));
                w.I8(side.selected);
                for (const auto& c : side.choices) w.ZeroTerminated(c);
            }
        }
        w.U8(0);
        w.Bytes(f.padding);
    }
    if (known && version >= 402) {
        w.U16(l.defaultUnits);
        w.String(l.tabStopsText);
    }
    w.U16(static_cast<uint16_t>(l.pictures.size()));
    for (const auto& p : l.pictures) {
        if (version >= 507) {
            w.Zeros(4);
            for (const Measurement* m : {&p.left, &p.top, &p.width, &p.height, &p.naturalWidth, &p.naturalHeight})
                Measure(w, *m);
            w.U8(p.formatIndex);
            w.Zeros(4);
            w.String(p.fileName);
        } else {
            const size_t fixed = old ? 45 : 47;
            w.U16(static_cast<uint16_t>(fixed + p.fileName.size() + 1));
            w.Zeros(old ? 2 : 4);
            for (const Measurement* m : {&p.left, &p.top, &p.width, &p.height}) Measure(w, *m);
            w.U8(p.formatIndex);
            w.ZeroTerminated(p.fileName);
        }
    }
    if (known && version >= 408) w.I16(l.overflowCount);
    if (known && version >= 501) w.U8(l.bisectArea);
    return w.bytes();
}

std::optional<Liner> FromJson(const QString& path, FileKind kind) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    QString error;
    auto liner = LinerFromJson(doc.object(), kind, &error);
    if (!liner) std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
    return liner;
}

// Gives a Liner a picture and a sided feature with choices, so that every
// record kind appears in the seeds even when the bundled files lack one.
void AddRecords(Liner& l) {
    Picture p;
    p.fileName = "cassette.bmp";
    p.width.twips = 1440;
    p.height.twips = -720;
    p.naturalWidth = p.width;
    p.naturalHeight = p.height;
    l.pictures.push_back(p);
    Feature f;
    f.style = kFeatureCenteredWithSides;
    f.name = "Noise \x01\x02Reduction";
    f.sides[0].choices = {"Dolby B", "None"};
    f.sides[1].choices = {"dbx"};
    f.sides[1].selected = 0;
    l.features.push_back(f);
}

// Every seed but the deliberately cut one must be read as a whole file, or
// the fuzzer would start from refusals.
void WriteChecked(const char* folder, const std::string& name, const std::vector<uint8_t>& bytes,
                  FileKind kind) {
    Liner check;
    if (ParseLinerBytes(bytes, kind, check) != ParseStatus::Ok) {
        std::fprintf(stderr, "seed %s is not read back\n", name.c_str());
        std::exit(1);
    }
    WriteSeed(folder, name, bytes);
}

}  // namespace

void WriteLinerSeeds(const char* folder, FileKind kind) {
    const QString root = QStringLiteral(REELCARD_SOURCE_DIR "/resources/");
    QStringList sources;
    for (const QString& sub : {QStringLiteral("samples"), QStringLiteral("formats")}) {
        for (const QString& name : QDir(root + sub).entryList({"*.json"}, QDir::Files, QDir::Name))
            sources << sub + "/" + name;
    }
    sources << "default-format.json";
    const char* prefix = kind == FileKind::Liner ? "liner" : "format";
    int made = 0;
    for (const QString& source : sources) {
        // Liners give formats too and formats give liners with empty texts.
        auto liner = FromJson(root + source, source.startsWith("samples") ? FileKind::Liner : FileKind::Format);
        if (!liner) std::exit(1);
        const std::string stem = QFileInfo(source).baseName().toStdString();
        auto current = SerializeLiner(*liner, kind);
        if (!current) std::exit(1);
        WriteChecked(folder, std::string(prefix) + "-" + stem, *current, kind);
        ++made;
        // The earlier layouts only of the short files, to keep the corpus small.
        if (source.startsWith("formats") || source == "default-format.json") {
            Liner withRecords = *liner;
            AddRecords(withRecords);
            for (int version : {400, 402, 407, 408, 499, 500, 501, 506, 507, 1099}) {
                WriteChecked(folder, std::string(prefix) + "-" + stem + "-" + std::to_string(version),
                             WriteLayout(withRecords, kind, version), kind);
                ++made;
            }
            // A format file of the earlier generation keeps the old records.
            if (kind == FileKind::Format && source == "default-format.json") {
                WriteChecked(folder, std::string(prefix) + "-" + stem + "-350", WriteLayout(withRecords, kind, 350), kind);
                ++made;
            }
        }
    }
    // The smallest files: an empty Liner, and one that ends where the features would begin.
    Liner empty;
    EnsureStandardFonts(empty);
    auto bytes = SerializeLiner(empty, kind);
    WriteChecked(folder, std::string(prefix) + "-empty", *bytes, kind);
    std::vector<uint8_t> cut = WriteLayout(empty, kind, 507);
    cut.resize(cut.size() - 13);  // no features, units, tabs, pictures, overflow count or bisect flag
    WriteSeed(folder, std::string(prefix) + "-ends-after-fonts", cut);
    std::fprintf(stderr, "%d seeds written to %s\n", made + 2, folder);
}

}  // namespace fuzz
