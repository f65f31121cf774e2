#include "document/liner_json.h"

#include <QJsonArray>

#include "document/liner_text.h"
#include "platform/code_page.h"

namespace {

const char* const kLocationNames[4] = {"Side A - Flap", "Side B - Flap", "Side A - Primary",
                                       "Side B - Primary"};

QString Hex(const std::string& bytes) {
    return QString::fromLatin1(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex());
}

std::optional<std::string> FromHex(const QString& text) {
    QByteArray raw = text.toLatin1();
    for (char c : raw) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    }
    if (raw.size() % 2 != 0) return std::nullopt;
    QByteArray bytes = QByteArray::fromHex(raw);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QJsonValue Flag(uint8_t v) {
    if (v == 0 || v == 1) return QJsonValue(v == 1);
    return QJsonValue(static_cast<int>(v));
}

QJsonObject MeasurementToJson(const Measurement& m, bool negate = false) {
    QJsonObject o;
    o["whole"] = m.whole;
    o["fraction"] = m.fraction;
    o["fractionDigits"] = m.fractionDigits;
    o["unit"] = m.unit;
    o["twips"] = m.twips;
    o["text"] = QString::fromStdString(FormatMeasurement(m, negate));
    return o;
}

QJsonObject AreaToJson(const AreaFormat& a) {
    QJsonObject o;
    o["alignment"] = a.alignment;
    o["left"] = MeasurementToJson(a.left);
    o["right"] = MeasurementToJson(a.right);
    o["top"] = MeasurementToJson(a.top);
    o["bottom"] = MeasurementToJson(a.bottom);
    o["wrap"] = MeasurementToJson(a.wrap);
    o["between"] = MeasurementToJson(a.between);
    o["within"] = MeasurementToJson(a.within);
    return o;
}

QJsonObject TextBlockToJson(const TextBlock& t, const std::vector<FontEntry>& fonts, int standard) {
    QJsonObject o;
    o["lineCount"] = t.lineCount;
    o["text"] = FontCodedToJson(t.text, &fonts, standard);
    return o;
}

QJsonValue ColorToJson(uint32_t color) {
    if (color >> 24) return QJsonValue(static_cast<double>(color));
    return QString::asprintf("#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QJsonObject FontToJson(const FontEntry& entry) {
    const LogFont& f = entry.logFont;
    QJsonObject lf;
    lf["height"] = f.height;
    lf["width"] = f.width;
    lf["escapement"] = f.escapement;
    lf["orientation"] = f.orientation;
    lf["weight"] = f.weight;
    lf["italic"] = Flag(f.italic);
    lf["underline"] = Flag(f.underline);
    lf["strikeOut"] = Flag(f.strikeOut);
    lf["charSet"] = f.charSet;
    lf["outPrecision"] = f.outPrecision;
    lf["clipPrecision"] = f.clipPrecision;
    lf["quality"] = f.quality;
    lf["pitchAndFamily"] = f.pitchAndFamily;
    lf["faceName"] = DecodeCodePage(f.FaceName());
    LogFont clean;
    clean.SetFaceName(f.FaceName());
    if (clean.faceName != f.faceName) {
        lf["faceNameBytes"] = Hex(std::string(f.faceName.data(), f.faceName.size()));
    }
    QJsonObject o;
    o["logFont"] = lf;
    o["color"] = ColorToJson(entry.color);
    return o;
}

QJsonObject ChoicesToJson(const ChoiceBlock& block, const std::vector<FontEntry>& fonts) {
    QJsonObject o;
    o["selected"] = block.selected;
    QJsonArray choices;
    for (const auto& c : block.choices) choices.append(FontCodedToJson(c, &fonts, kFontFeature));
    o["choices"] = choices;
    return o;
}

QJsonValue PathToJson(const std::string& path) {
    QString s = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    if (s.toStdString() == path) return s;
    return QJsonValue();
}

// Reading, with the first error kept.
class JsonReader {
public:
    explicit JsonReader(QString* error) : error_(error) {}
    bool ok() const { return ok_; }

    void Fail(const QString& what) {
        if (ok_ && error_) *error_ = what;
        ok_ = false;
    }

    template <typename T>
    void Int(const QJsonObject& o, const char* key, T& out, bool required = true) {
        QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            if (required) Fail(QString("missing \"%1\"").arg(key));
            return;
        }
        if (v.isBool()) {
            out = static_cast<T>(v.toBool() ? 1 : 0);
            return;
        }
        double d = v.toDouble(-1e300);
        if (!v.isDouble() || d != static_cast<double>(static_cast<long long>(d)) ||
            d < static_cast<double>(std::numeric_limits<T>::min()) ||
            d > static_cast<double>(std::numeric_limits<T>::max())) {
            Fail(QString("\"%1\" must be a whole number that fits its field").arg(key));
            return;
        }
        out = static_cast<T>(d);
    }

    // Texts of a standard font other than 0 are stored through the code
    // pages of `fonts`, which gains the font variants they need.
    std::vector<FontEntry>* fonts = nullptr;

    void Text(const QJsonObject& o, const char* key, std::string& out, int standard = 0, bool required = false) {
        QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            if (required) Fail(QString("missing \"%1\"").arg(key));
            return;
        }
        if (!v.isString()) {
            Fail(QString("\"%1\" must be a string").arg(key));
            return;
        }
        QString why;
        auto bytes = FontCodedFromJson(v.toString(), &why, standard != 0 ? fonts : nullptr, standard);
        if (!bytes) {
            Fail(QString("\"%1\": %2").arg(key, why));
            return;
        }
        out = *bytes;
    }

    void Measure(const QJsonObject& o, const char* key, Measurement& out, int defaultUnit,
                 bool negate = false) {
        QJsonValue v = o.value(key);
        if (v.isUndefined()) return;
        if (v.isString() || (v.isObject() && !v.toObject().contains("whole"))) {
            QString text = v.isString() ? v.toString() : v.toObject().value("text").toString();
            auto m = ParseMeasurement(text.toStdString(), negate, defaultUnit);
            if (!m) {
                Fail(QString("\"%1\": \"%2\" is not a valid measurement").arg(key, text));
                return;
            }
            out = *m;
            return;
        }
        if (!v.isObject()) {
            Fail(QString("\"%1\" must be a measurement").arg(key));
            return;
        }
        QJsonObject m = v.toObject();
        Int(m, "whole", out.whole);
        Int(m, "fraction", out.fraction);
        Int(m, "fractionDigits", out.fractionDigits);
        Int(m, "unit", out.unit);
        Int(m, "twips", out.twips);
    }

    void Area(const QJsonObject& o, const char* key, AreaFormat& a, int unit) {
        QJsonValue v = o.value(key);
        if (v.isUndefined()) return;
        AreaOf(v, a, unit);
    }

    void AreaOf(const QJsonValue& v, AreaFormat& a, int unit) {
        if (!v.isObject()) {
            Fail("an area format must be an object");
            return;
        }
        QJsonObject ao = v.toObject();
        Int(ao, "alignment", a.alignment, false);
        Measure(ao, "left", a.left, unit);
        Measure(ao, "right", a.right, unit);
        Measure(ao, "top", a.top, unit);
        Measure(ao, "bottom", a.bottom, unit);
        Measure(ao, "wrap", a.wrap, unit);
        Measure(ao, "between", a.between, unit);
        Measure(ao, "within", a.within, unit);
    }

    void Block(const QJsonObject& o, const char* key, TextBlock& t, int standard) {
        QJsonValue v = o.value(key);
        if (v.isUndefined()) return;
        t = TextBlock{};
        if (v.isString()) {
            QJsonObject wrapped;
            wrapped["text"] = v;
            v = wrapped;
        }
        if (!v.isObject()) {
            Fail(QString("\"%1\" must be a text block").arg(key));
            return;
        }
        QJsonObject bo = v.toObject();
        Text(bo, "text", t.text, standard);
        if (bo.contains("lineCount")) {
            Int(bo, "lineCount", t.lineCount);
        } else if (!t.text.empty()) {
            // Count the lines of a hand-written text.
            int lines = 1;
            for (size_t i = 0; i + 1 < t.text.size(); ++i) {
                if (t.text[i] == '\r' && t.text[i + 1] == '\n') ++lines;
            }
            t.lineCount = static_cast<int16_t>(std::min(lines, 32767));
        }
        if (t.lineCount == 0) t.text.clear();
    }

private:
    QString* error_;
    bool ok_ = true;
};

std::optional<uint32_t> ColorFromJson(const QJsonValue& v) {
    if (v.isString()) {
        QString s = v.toString();
        bool ok = false;
        uint32_t rgb = s.startsWith('#') && s.size() == 7 ? s.mid(1).toUInt(&ok, 16) : 0;
        if (!ok) return std::nullopt;
        return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    }
    double d = v.toDouble(-1);
    if (!v.isDouble() || d < 0 || d > 4294967295.0 || d != static_cast<double>(static_cast<uint32_t>(d))) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(d);
}

}  // namespace

QString FontCodedToJson(const std::string& bytes, const std::vector<FontEntry>* fonts, int standard) {
    static const std::vector<FontEntry> kNoFonts;
    const std::vector<FontEntry>& table = fonts ? *fonts : kNoFonts;
    int codePage = CodePageOfFont(table, standard, standard);
    QString out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x01 && i + 1 < bytes.size()) {
            const int number = static_cast<unsigned char>(bytes[i + 1]);
            out += QString("{font %1}").arg(number);
            codePage = CodePageOfFont(table, number, standard);
            ++i;
        } else if (c == 0xBB) {
            out += "{tab}";
        } else if (c == '{') {
            out += "{{";
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += '\n';
            ++i;
        } else if (c < 0x20) {
            // A lone CR or LF, or another control byte: a tab character
            // would read back as the tab mark.
            out += QString::asprintf("{x%02X}", c);
        } else {
            out += QChar(CodePageToUnicode(c, codePage));
        }
    }
    return out;
}

std::optional<std::string> FontCodedFromJson(const QString& given, QString* error, std::vector<FontEntry>* fonts,
                                             int standard) {
    const QString text = fonts ? StorableForm(given) : given;
    static const std::vector<FontEntry> kNoFonts;
    std::string out;
    int current = standard;
    auto fail = [&](const QString& why) -> std::optional<std::string> {
        if (error) *error = why;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar ch = text[i];
        if (ch == '\n') {
            out += "\r\n";
            continue;
        }
        if (ch != '{') {
            const auto cannot = [&] {
                return fail(QString("character U+%1 cannot be stored").arg(ch.unicode(), 4, 16, QChar('0')));
            };
            if (ch.unicode() == 0 || ch.isSurrogate()) return cannot();
            if (fonts) {
                // A character the run's font lacks switches to a variant of it.
                const auto* rest = reinterpret_cast<const char16_t*>(text.utf16()) + i + 1;
                const FontForCharacter fit = FindFontForCharacter(
                    *fonts, current, standard, ch.unicode(), std::u16string_view(rest, static_cast<size_t>(text.size() - i - 1)));
                if (fit.fit == FontFit::Unsupported) return cannot();
                if (fit.fit == FontFit::TableFull) {
                    return fail(QString("character U+%1 needs a font variant, but the font table is full")
                                    .arg(ch.unicode(), 4, 16, QChar('0')));
                }
                if (fit.fit == FontFit::Variant) {
                    out += kFontChange;
                    out += static_cast<char>(fit.number);
                    current = fit.number;
                }
            }
            const int codePage = CodePageOfFont(fonts ? *fonts : kNoFonts, current, standard);
            auto b = UnicodeToCodePage(ch.unicode(), codePage);
            if (!b || *b == 0) return cannot();
            out += static_cast<char>(*b);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            out += '{';
            ++i;
            continue;
        }
        qsizetype close = text.indexOf('}', i);
        if (close < 0) return fail("unclosed \"{\" (write \"{{\" for a brace)");
        QString code = text.mid(i + 1, close - i - 1);
        bool ok = false;
        if (code == "tab") {
            out += kTabMark;
        } else if (code.startsWith("font ")) {
            int n = code.mid(5).toInt(&ok);
            if (!ok || n < 1 || n > 255) return fail(QString("bad font change \"{%1}\"").arg(code));
            out += kFontChange;
            out += static_cast<char>(n);
            current = n;
        } else if (code.size() == 3 && code[0] == 'x') {
            int v = code.mid(1).toInt(&ok, 16);
            if (!ok || v == 0) return fail(QString("bad byte \"{%1}\"").arg(code));
            out += static_cast<char>(v);
        } else {
            return fail(QString("unknown code \"{%1}\"").arg(code));
        }
        i = close;
    }
    return out;
}

QJsonObject LinerToJson(const Liner& l, FileKind kind) {
    QJsonObject o;
    o["kind"] = kind == FileKind::Liner ? "liner" : "format";
    if (kind == FileKind::Liner) {
        o["title"] = TextBlockToJson(l.title, l.fonts, kFontTitle);
        o["songsA"] = TextBlockToJson(l.songsA, l.fonts, kFontSong);
        o["songsB"] = TextBlockToJson(l.songsB, l.fonts, kFontSong);
    }
    o["titleFormat"] = AreaToJson(l.titleFormat);
    o["splitTitle"] = Flag(l.splitTitle);
    o["centerTitleVertically"] = Flag(l.centerTitleVertically);
    QJsonArray songFormats;
    for (const auto& a : l.songFormats) songFormats.append(AreaToJson(a));
    o["songFormats"] = songFormats;
    o["cutLineStyle"] = l.cutLineStyle;
    o["foldLineStyle"] = l.foldLineStyle;
    o["invertImage"] = Flag(l.invertImage);
    o["oneUpSides"] = Flag(l.oneUpSides);
    o["bisectSides"] = Flag(l.bisectSides);
    o["width"] = MeasurementToJson(l.width);
    o["flapHeight"] = MeasurementToJson(l.flapHeight);
    o["titleHeight"] = MeasurementToJson(l.titleHeight);
    o["primaryHeight"] = MeasurementToJson(l.primaryHeight);
    o["overflowHeight"] = MeasurementToJson(l.overflowHeight);
    QJsonArray letters;
    for (int i = 0; i < 4; ++i) {
        const auto& s = l.sideLetters[i];
        QJsonObject lo;
        lo["location"] = kLocationNames[i];
        lo["style"] = s.style;
        lo["top"] = MeasurementToJson(s.top);
        lo["side"] = MeasurementToJson(s.side);
        lo["text"] = FontCodedToJson(s.text, &l.fonts, kFontSideLetter);
        letters.append(lo);
    }
    o["sideLetters"] = letters;
    QJsonArray fonts;
    for (const auto& f : l.fonts) fonts.append(FontToJson(f));
    o["fonts"] = fonts;
    o["featureCount"] = static_cast<int>(l.features.size());
    o["sidedFeatureCount"] = l.sidedFeatureCount();
    QJsonArray features;
    for (const auto& f : l.features) {
        QJsonObject fo;
        fo["style"] = f.style;
        fo["top"] = MeasurementToJson(f.top);
        fo["side"] = MeasurementToJson(f.side);
        fo["name"] = FontCodedToJson(f.name, &l.fonts, kFontFeatureName);
        if (IsSidedStyle(f.style)) {
            fo["sideA"] = ChoicesToJson(f.sides[0], l.fonts);
            fo["sideB"] = ChoicesToJson(f.sides[1], l.fonts);
        }
        if (!f.padding.empty()) fo["padding"] = Hex(f.padding);
        features.append(fo);
    }
    o["features"] = features;
    o["defaultUnits"] = l.defaultUnits;
    o["tabStopsText"] = FontCodedToJson(l.tabStopsText);
    QJsonArray pictures;
    for (const auto& p : l.pictures) {
        QJsonObject po;
        po["left"] = MeasurementToJson(p.left);
        po["top"] = MeasurementToJson(p.top, true);
        po["width"] = MeasurementToJson(p.width);
        po["height"] = MeasurementToJson(p.height, true);
        po["naturalWidth"] = MeasurementToJson(p.naturalWidth);
        po["naturalHeight"] = MeasurementToJson(p.naturalHeight, true);
        po["formatIndex"] = p.formatIndex;
        QJsonValue name = PathToJson(p.fileName);
        if (name.isString()) {
            po["fileName"] = name;
        } else {
            po["fileNameBytes"] = Hex(p.fileName);
        }
        pictures.append(po);
    }
    o["pictures"] = pictures;
    o["overflowCount"] = l.overflowCount;
    o["bisectArea"] = Flag(l.bisectArea);
    return o;
}

std::optional<Liner> LinerFromJson(const QJsonObject& o, FileKind kind, QString* error) {
    JsonReader r(error);
    Liner l;
    r.Int(o, "defaultUnits", l.defaultUnits, false);
    if (!IsDefaultUnitChoice(l.defaultUnits) && l.defaultUnits != kUnitInchMark &&
        l.defaultUnits != kUnitLines) {
        r.Fail("\"defaultUnits\" must be 1 (cm), 2 (in), 5 (pi) or 6 (pt)");
    }
    const int unit = l.defaultUnits;

    QJsonArray fonts = o.value("fonts").toArray();
    if (fonts.size() > kMaxFonts) r.Fail("at most 255 fonts");
    for (const QJsonValue& fv : fonts) {
        if (!r.ok()) break;
        QJsonObject fo = fv.toObject();
        QJsonObject lf = fo.value("logFont").toObject();
        FontEntry entry;
        LogFont& f = entry.logFont;
        r.Int(lf, "height", f.height);
        r.Int(lf, "width", f.width, false);
        r.Int(lf, "escapement", f.escapement, false);
        r.Int(lf, "orientation", f.orientation, false);
        r.Int(lf, "weight", f.weight, false);
        r.Int(lf, "italic", f.italic, false);
        r.Int(lf, "underline", f.underline, false);
        r.Int(lf, "strikeOut", f.strikeOut, false);
        r.Int(lf, "charSet", f.charSet, false);
        r.Int(lf, "outPrecision", f.outPrecision, false);
        r.Int(lf, "clipPrecision", f.clipPrecision, false);
        r.Int(lf, "quality", f.quality, false);
        r.Int(lf, "pitchAndFamily", f.pitchAndFamily, false);
        if (lf.contains("faceNameBytes")) {
            auto raw = FromHex(lf.value("faceNameBytes").toString());
            if (!raw || raw->size() != f.faceName.size()) {
                r.Fail("\"faceNameBytes\" must be 32 bytes in hex");
            } else {
                std::copy(raw->begin(), raw->end(), f.faceName.begin());
            }
        } else {
            bool ok = true;
            std::string face = EncodeCodePage(lf.value("faceName").toString(), &ok);
            if (!ok || face.size() > 31) r.Fail("a face name is at most 31 characters of the code page");
            f.SetFaceName(face);
        }
        if (fo.contains("color")) {
            auto color = ColorFromJson(fo.value("color"));
            if (!color) {
                r.Fail("\"color\" must be \"#rrggbb\" or a number");
            } else {
                entry.color = *color;
            }
        }
        l.fonts.push_back(entry);
    }
    // The fonts come first: texts are stored through their code pages, and
    // characters a run's font lacks add variants to the table.
    r.fonts = &l.fonts;
    if (kind == FileKind::Liner) {
        r.Block(o, "title", l.title, kFontTitle);
        r.Block(o, "songsA", l.songsA, kFontSong);
        r.Block(o, "songsB", l.songsB, kFontSong);
    }
    r.Area(o, "titleFormat", l.titleFormat, unit);
    r.Int(o, "splitTitle", l.splitTitle, false);
    r.Int(o, "centerTitleVertically", l.centerTitleVertically, false);
    QJsonArray songFormats = o.value("songFormats").toArray();
    if (songFormats.size() > 4) r.Fail("\"songFormats\" holds at most four areas");
    for (qsizetype i = 0; i < songFormats.size() && i < 4; ++i) {
        r.AreaOf(songFormats[i], l.songFormats[static_cast<size_t>(i)], unit);
    }
    r.Int(o, "cutLineStyle", l.cutLineStyle, false);
    r.Int(o, "foldLineStyle", l.foldLineStyle, false);
    r.Int(o, "invertImage", l.invertImage, false);
    r.Int(o, "oneUpSides", l.oneUpSides, false);
    r.Int(o, "bisectSides", l.bisectSides, false);
    r.Measure(o, "width", l.width, unit);
    r.Measure(o, "flapHeight", l.flapHeight, unit);
    r.Measure(o, "titleHeight", l.titleHeight, unit);
    r.Measure(o, "primaryHeight", l.primaryHeight, unit);
    r.Measure(o, "overflowHeight", l.overflowHeight, unit);

    QJsonArray letters = o.value("sideLetters").toArray();
    if (letters.size() > 4) r.Fail("\"sideLetters\" holds at most four letters");
    for (qsizetype i = 0; i < letters.size() && i < 4; ++i) {
        QJsonObject lo = letters[i].toObject();
        int location = static_cast<int>(i);
        if (lo.contains("location")) {
            QString name = lo.value("location").toString();
            location = -1;
            for (int k = 0; k < 4; ++k) {
                if (name == kLocationNames[k]) location = k;
            }
            if (location < 0) {
                r.Fail(QString("unknown side letter location \"%1\"").arg(name));
                break;
            }
        }
        SideLetterFormat& s = l.sideLetters[static_cast<size_t>(location)];
        r.Int(lo, "style", s.style, false);
        r.Measure(lo, "top", s.top, unit);
        r.Measure(lo, "side", s.side, unit);
        r.Text(lo, "text", s.text, kFontSideLetter);
    }

    for (const QJsonValue& fv : o.value("features").toArray()) {
        if (!r.ok()) break;
        QJsonObject fo = fv.toObject();
        Feature f;
        r.Int(fo, "style", f.style, false);
        r.Measure(fo, "top", f.top, unit);
        r.Measure(fo, "side", f.side, unit);
        r.Text(fo, "name", f.name, kFontFeatureName);
        const char* keys[2] = {"sideA", "sideB"};
        for (int s = 0; s < 2; ++s) {
            QJsonObject co = fo.value(keys[s]).toObject();
            r.Int(co, "selected", f.sides[s].selected, false);
            QJsonArray choices = co.value("choices").toArray();
            if (choices.size() > kMaxChoices) r.Fail("a side holds at most 127 choices");
            for (const QJsonValue& cv : choices) {
                QString why;
                auto bytes = FontCodedFromJson(cv.toString(), &why, &l.fonts, kFontFeature);
                if (!bytes) {
                    r.Fail("choice: " + why);
                    break;
                }
                f.sides[s].choices.push_back(*bytes);
            }
        }
        if (fo.contains("padding")) {
            auto raw = FromHex(fo.value("padding").toString());
            if (!raw) {
                r.Fail("\"padding\" must be hex");
            } else {
                f.padding = *raw;
            }
        }
        if (f.RecordSize() > kMaxFeatureRecordSize) r.Fail("a feature is too long to be stored");
        l.features.push_back(std::move(f));
    }

    if (o.contains("tabStopsText")) r.Text(o, "tabStopsText", l.tabStopsText);
    ParseTabStops(l);

    for (const QJsonValue& pv : o.value("pictures").toArray()) {
        if (!r.ok()) break;
        QJsonObject po = pv.toObject();
        Picture p;
        r.Measure(po, "left", p.left, unit);
        r.Measure(po, "top", p.top, unit, true);
        r.Measure(po, "width", p.width, unit);
        r.Measure(po, "height", p.height, unit, true);
        p.naturalWidth = p.width;
        p.naturalHeight = p.height;
        r.Measure(po, "naturalWidth", p.naturalWidth, unit);
        r.Measure(po, "naturalHeight", p.naturalHeight, unit, true);
        r.Int(po, "formatIndex", p.formatIndex, false);
        if (po.contains("fileNameBytes")) {
            auto raw = FromHex(po.value("fileNameBytes").toString());
            if (!raw) r.Fail("\"fileNameBytes\" must be hex");
            else p.fileName = *raw;
        } else {
            p.fileName = po.value("fileName").toString().toStdString();
        }
        l.pictures.push_back(std::move(p));
    }

    l.overflowCount = 1;
    r.Int(o, "overflowCount", l.overflowCount, false);
    r.Int(o, "bisectArea", l.bisectArea, false);
    if (!r.ok()) return std::nullopt;
    return l;
}
