#include <gtest/gtest.h>

#include <QDomDocument>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QDir>
#include <QProcessEnvironment>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "document/liner_file.h"
#include "support/test_support.h"

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun Cli(const QStringList& args,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    // As in a container or under cron: the tool must not pass on Qt's notes.
    QProcessEnvironment env = environment;
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(REELCARD_BIN_DIR "/reelcard-cli"), args);
    process.closeWriteChannel();
    CliRun run;
    if (!process.waitForFinished(30000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

const char kSample[] = R"({
  "title": "Summer {{Mix}}\n{font 6}Side two",
  "songsA": "One{tab}3:12\nTwo{tab}4:01",
  "width": "4 in", "flapHeight": "1in", "titleHeight": "0.5in", "primaryHeight": "2.5625 in",
  "fonts": [
    {"logFont": {"height": 200, "weight": 400, "faceName": "Arial"}},
    {"logFont": {"height": 200, "weight": 700, "faceName": "Arial"}},
    {"logFont": {"height": 200, "weight": 400, "faceName": "Arial"}},
    {"logFont": {"height": 360, "weight": 700, "faceName": "Times New Roman"}, "color": "#102030"},
    {"logFont": {"height": 200, "weight": 400, "faceName": "Arial"}},
    {"logFont": {"height": 280, "weight": 400, "italic": true, "faceName": "Caf\u00e9"}}
  ],
  "features": [{"style": 0, "name": "Noise", "sideA": {"selected": 1, "choices": ["None", "Dolby B"]},
                "sideB": {"selected": 0, "choices": ["dbx"]}}],
  "pictures": [{"left": "0.25in", "top": "1in", "width": "1in", "height": "1in", "fileName": "logo.png"}],
  "tabStopsText": "3in"
})";

TEST(Cli, ImportExportRoundTripsByteForByte) {
    TempFolder dir;
    std::string json = dir.Path("in.json"), cas = dir.Path("a.cas"), json2 = dir.Path("b.json"),
                cas2 = dir.Path("b.cas");
    QFile f(Q(json));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kSample);
    f.close();

    CliRun import = Cli({"import", Q(json), "-o", Q(cas)});
    ASSERT_EQ(import.status, 0) << import.err;
    CliRun exported = Cli({"export", Q(cas), "-o", Q(json2)});
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_EQ(Cli({"import", Q(json2), "-o", Q(cas2)}).status, 0);
    EXPECT_EQ(ReadBytes(cas), ReadBytes(cas2));

    CliRun toStdout = Cli({"export", Q(cas)});
    ASSERT_EQ(toStdout.status, 0);
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(toStdout.out)).object();
    EXPECT_EQ(o["kind"].toString(), "liner");
    EXPECT_EQ(o["title"].toObject()["text"].toString(), "Summer {{Mix}}\n{font 6}Side two");
    EXPECT_EQ(o["title"].toObject()["lineCount"].toInt(), 2);
    EXPECT_EQ(o["width"].toObject()["twips"].toInt(), 5760);
    EXPECT_EQ(o["width"].toObject()["text"].toString(), "4 in");
    EXPECT_EQ(o["pictures"].toArray()[0].toObject()["top"].toObject()["twips"].toInt(), -1440);
    EXPECT_EQ(o["fonts"].toArray()[3].toObject()["color"].toString(), "#102030");
    EXPECT_EQ(o["fonts"].toArray()[5].toObject()["logFont"].toObject()["faceName"].toString(),
              QString::fromUtf8("Caf\u00e9"));
    EXPECT_EQ(o["sidedFeatureCount"].toInt(), 1);
}

TEST(Cli, ConvertWritesTheCurrentVersionAndFormats) {
    TempFolder dir;
    Liner liner;
    liner.fonts.resize(5);
    liner.title = {1, "T"};
    liner.width.twips = 5760;
    std::string cas = dir.Path("a.cas"), fmt = dir.Path("a.fmt"), back = dir.Path("b.cas");
    ScriptedPrompter prompter;
    ASSERT_TRUE(WriteLinerFile(liner, cas, prompter));
    ASSERT_EQ(Cli({"convert", Q(cas), "-o", Q(fmt)}).status, 0);
    auto format = ReadBytes(fmt);
    auto full = ReadBytes(cas);
    ASSERT_GT(full.size(), 10u);
    EXPECT_EQ(format.size(), full.size() - 2 - 2 - 1 - 2 - 2);
    CliRun exported = Cli({"export", Q(fmt)});
    EXPECT_NE(exported.out.find("\"kind\": \"format\""), std::string::npos);
    EXPECT_EQ(exported.out.find("\"title\""), std::string::npos);
    ASSERT_EQ(Cli({"convert", Q(cas), "-o", Q(back)}).status, 0);
    EXPECT_EQ(ReadBytes(back), full);
}

TEST(Cli, ExitStatusesAndMessages) {
    TempFolder dir;
    EXPECT_EQ(Cli({}).status, 2);
    EXPECT_EQ(Cli({"frobnicate", "x"}).status, 2);
    EXPECT_EQ(Cli({"import", "x.json"}).status, 2);
    EXPECT_EQ(Cli({"export", "a", "b"}).status, 2);
    EXPECT_EQ(Cli({"export", "a", "--bogus"}).status, 2);

    CliRun missing = Cli({"export", Q(dir.Path("none.cas"))});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Cannot open file '" + dir.Path("none.cas") + "'"), std::string::npos);

    std::string bad = dir.Path("bad.cas");
    WriteBytes(bad, {5, 0, 7, 0, 2, 0});
    CliRun corrupt = Cli({"convert", Q(bad), "-o", Q(dir.Path("out.cas"))});
    EXPECT_EQ(corrupt.status, 1);
    EXPECT_NE(corrupt.err.find("Cannot read file '" + bad + "' from disk"), std::string::npos);
    EXPECT_FALSE(QFile::exists(Q(dir.Path("out.cas"))));

    std::string json = dir.Path("bad.json");
    WriteBytes(json, {'{', '"', 't', 'i', 't', 'l', 'e', '"', ':', '"', '{', 'x', '"', '}'});
    CliRun badJson = Cli({"import", Q(json), "-o", Q(dir.Path("x.cas"))});
    EXPECT_EQ(badJson.status, 1);
    EXPECT_NE(badJson.err.find("unclosed"), std::string::npos);

    // Overwriting a file of the earlier generation takes the default answer and says so.
    std::string old = dir.Path("old.cas");
    WriteBytes(old, {3, 0, 0, 0});
    std::string good = dir.Path("good.json");
    WriteBytes(good, {'{', '}'});
    CliRun overwrite = Cli({"import", Q(good), "-o", Q(old)});
    EXPECT_EQ(overwrite.status, 0);
    EXPECT_NE(overwrite.err.find("answered Yes"), std::string::npos);
}

// A liner file of the earlier generation: two side blocks, then the texts.
std::vector<uint8_t> OlderFile() {
    std::vector<uint8_t> bytes(192, 0);
    std::memcpy(bytes.data(), "Dolby B", 7);  // a choice text where a header would be
    auto block = [&](const std::string& text) {
        bytes.push_back(1);
        bytes.push_back(0);
        bytes.push_back(static_cast<uint8_t>(text.size()));
        bytes.push_back(0);
        bytes.insert(bytes.end(), text.begin(), text.end());
    };
    block("Old Tape");
    block("First song");
    block("Second side");
    return bytes;
}

TEST(Cli, OlderFilesMergeIntoAFormat) {
    TempFolder dir;
    std::string old = dir.Path("old.cas"), out = dir.Path("new.cas");
    WriteBytes(old, OlderFile());

    CliRun text = Cli({"convert", Q(old), "-o", Q(out)});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.err.find("merged as Text"), std::string::npos);
    Liner merged;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadLinerFile(merged, out, true, prompter));
    EXPECT_EQ(merged.title.text, "Old Tape");
    EXPECT_EQ(merged.songsB.text, "Second side");
    EXPECT_EQ(merged.width.twips, 5760);  // from the default format
    EXPECT_EQ(merged.overflowCount, 0);

    ASSERT_EQ(Cli({"convert", Q(old), "-o", Q(out), "--format",
                   QStringLiteral(REELCARD_BIN_DIR "/formats/four-panel.fmt")}).status, 0);
    ASSERT_TRUE(ReadLinerFile(merged, out, true, prompter));
    EXPECT_EQ(merged.overflowCount, 1);
    EXPECT_EQ(merged.title.text, "Old Tape");

    // An All merge needs the settings this short file lacks.
    CliRun all = Cli({"convert", Q(old), "-o", Q(dir.Path("all.cas")), "--merge", "all"});
    EXPECT_EQ(all.status, 1);
    EXPECT_NE(all.err.find("Cannot read file"), std::string::npos);

    EXPECT_EQ(Cli({"convert", Q(old), "-o", Q(out), "--merge", "some"}).status, 2);
    EXPECT_EQ(Cli({"convert", Q(old), "-o", Q(out), "--format", Q(dir.Path("none.fmt"))}).status, 1);
}

// ---- render ------------------------------------------------------------------

// A four-inch strip, 3.5 inches long with its edges: 1440 flap, 720 title,
// 2879 primary area; solid lines, a centred title.
std::string WriteRenderLiner(const TempFolder& dir) {
    Liner liner;
    liner.fonts.resize(5);
    for (auto& f : liner.fonts) {
        f.logFont.height = 240;
        f.logFont.SetFaceName("Liberation Sans");
    }
    liner.title = {1, "HHH"};
    liner.titleFormat.alignment = kAlignCentered;
    liner.width.twips = 5759;
    liner.flapHeight.twips = 1440;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 2879;
    for (auto& letter : liner.sideLetters) letter.style = kLetterNone;
    std::string path = dir.Path("render.cas");
    ScriptedPrompter prompter;
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    return path;
}

bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

TEST(CliRender, PngIsThePaperAtTheGivenResolution) {
    TempFolder dir;
    const std::string cas = WriteRenderLiner(dir);
    const std::string png = dir.Path("out.png");
    CliRun run = Cli({"render", Q(cas), "-o", Q(png), "--dpi", "150"});
    ASSERT_EQ(run.status, 0) << run.err;
    QImage image(Q(png));
    ASSERT_FALSE(image.isNull());
    // The paper, 5760 by 5040 twips, and one pixel more, so that the right
    // and bottom cut lines (at W + 1 and H + 1 twips) show.
    EXPECT_EQ(image.size(), QSize(601, 526));
    EXPECT_NEAR(image.dotsPerMeterX(), 150 / 0.0254, 1);
    // The liner's top-left corner at the image's; its edges and folds at
    // scale.  All four cut lines lie on the image's own edges.
    EXPECT_TRUE(Dark(image, 0, 0));
    EXPECT_TRUE(Dark(image, 300, 0));
    EXPECT_TRUE(Dark(image, 0, 300));
    EXPECT_TRUE(Dark(image, 600, 300));
    EXPECT_TRUE(Dark(image, 300, 525));
    EXPECT_TRUE(Dark(image, 600, 525));
    EXPECT_TRUE(Dark(image, 300, 150));  // flap/title fold at 1440 twips
    EXPECT_TRUE(Dark(image, 300, 225));  // title/primary fold at 2160
    EXPECT_EQ(image.pixel(100, 100), qRgb(255, 255, 255));  // white paper
    EXPECT_EQ(image.pixel(300, 400), qRgb(255, 255, 255));
    int titleInk = 0;
    for (int y = 152; y < 224; ++y) {
        for (int x = 200; x < 400; ++x) titleInk += Dark(image, x, y);
    }
    EXPECT_GT(titleInk, 50);

    // 300 dots per inch unless told otherwise.
    ASSERT_EQ(Cli({"render", Q(cas), "-o", Q(png)}).status, 0);
    EXPECT_EQ(QImage(Q(png)).size(), QSize(1201, 1051));
}

TEST(CliRender, PdfIsOnePageThePaperSizeWithItsText) {
    TempFolder dir;
    const std::string cas = WriteRenderLiner(dir);
    const std::string pdf = dir.Path("out.pdf");
    CliRun run = Cli({"render", Q(cas), "-o", Q(pdf)});
    ASSERT_EQ(run.status, 0) << run.err;
    QFile file(Q(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    // 5760 by 5040 twips: 288 by 252 points.
    EXPECT_TRUE(bytes.contains("/MediaBox [0 0 288")) << bytes.left(2000).toStdString();
    EXPECT_TRUE(bytes.contains(" 252"));
    EXPECT_TRUE(bytes.contains("/Count 1"));
    EXPECT_TRUE(bytes.contains("/FontFile2"));  // the title went in as text
}

TEST(CliRender, SvgHoldsTheTextAndTheCutLinesAsLines) {
    TempFolder dir;
    const std::string cas = WriteRenderLiner(dir);
    const std::string svg = dir.Path("out.svg");
    CliRun run = Cli({"render", Q(cas), "-o", Q(svg)});
    ASSERT_EQ(run.status, 0) << run.err;
    QFile file(Q(svg));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(&file));
    const QDomElement root = doc.documentElement();
    EXPECT_EQ(root.tagName(), "svg");
    // The paper, 5760 by 5040 twips, in millimetres; drawn in twips.
    EXPECT_EQ(root.attribute("viewBox"), "0 0 5760 5040");
    EXPECT_NEAR(root.attribute("width").chopped(2).toDouble(), 101.6, 0.01);
    EXPECT_NEAR(root.attribute("height").chopped(2).toDouble(), 88.9, 0.01);
    QString text;
    const QDomNodeList texts = doc.elementsByTagName("text");
    for (int i = 0; i < texts.size(); ++i) text += texts.at(i).toElement().text();
    EXPECT_TRUE(text.contains("HHH")) << text.toStdString();
    // The outer cut line goes round the paper as one line, not as pixels.
    bool outline = false;
    const QDomNodeList lines = doc.elementsByTagName("polyline");
    for (int i = 0; i < lines.size(); ++i) {
        outline |= lines.at(i).toElement().attribute("points").simplified() == "0,0 5760,0 5760,-5040 0,-5040 0,0";
    }
    EXPECT_TRUE(outline);
}

// The page of a PDF as a grey image of `dpi` dots per inch.
QImage RasterizePdf(const TempFolder& dir, const std::string& pdf, int dpi) {
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {"-r", QString::number(dpi), "-gray", "-singlefile", Q(pdf), Q(dir.Path("page"))});
    if (!process.waitForFinished(30000)) return {};
    return QImage(Q(dir.Path("page.pgm")));
}

// The lengths of the dark and light runs along a row or down a column.
std::vector<std::pair<bool, int>> Runs(const QImage& image, bool alongRow, int at, int from, int to) {
    std::vector<std::pair<bool, int>> runs;
    for (int i = from; i < to; ++i) {
        const bool dark = alongRow ? Dark(image, i, at) : Dark(image, at, i);
        if (runs.empty() || runs.back().first != dark) runs.push_back({dark, 0});
        ++runs.back().second;
    }
    return runs;
}

TEST(CliRender, PrintedLinesAreHalfAPointWideAndKeepTheirPattern) {
    TempFolder dir;
    Liner liner;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadLinerFile(liner, WriteRenderLiner(dir), true, prompter));
    liner.title = {};
    liner.foldLineStyle = 2;  // dotted
    const std::string cas = dir.Path("dotted.cas");
    ASSERT_TRUE(WriteLinerFile(liner, cas, prompter));

    // In a PDF of the paper: the fold line at 1440 twips (600 pixels down).
    const std::string pdf = dir.Path("out.pdf");
    ASSERT_EQ(Cli({"render", Q(cas), "-o", Q(pdf)}).status, 0);
    QImage page = RasterizePdf(dir, pdf, 600);
    ASSERT_FALSE(page.isNull());
    // 0.5 pt is 4.2 pixels at 600 dpi.  Its dots: 1/96 inch (6.25 pixels)
    // and the gaps twice that, as a dotted line shows on a 96-dpi screen.
    int widest = 0;
    for (int x = 200; x < 1200; ++x) {
        for (const auto& [dark, length] : Runs(page, false, x, 590, 612)) {
            if (dark) widest = std::max(widest, length);
        }
    }
    EXPECT_GE(widest, 4);
    EXPECT_LE(widest, 6);
    int darkRow = 0, bestDark = 0;
    for (int y = 590; y < 612; ++y) {
        int count = 0;
        for (int x = 200; x < 1200; ++x) count += Dark(page, x, y);
        if (count > bestDark) bestDark = count, darkRow = y;
    }
    const auto along = Runs(page, true, darkRow, 200, 1200);
    int dots = 0, dotLength = 0, gaps = 0, gapLength = 0;
    for (size_t i = 1; i + 1 < along.size(); ++i) {
        (along[i].first ? dots : gaps)++;
        (along[i].first ? dotLength : gapLength) += along[i].second;
    }
    // 1000 pixels hold 53 periods of 18.75.
    EXPECT_NEAR(dots, 53, 3);
    ASSERT_GT(dots, 0);
    ASSERT_GT(gaps, 0);
    EXPECT_NEAR(static_cast<double>(dotLength) / dots, 6.25, 1.5);
    EXPECT_NEAR(static_cast<double>(gapLength) / gaps, 12.5, 1.5);

    // On a printed sheet (the liner at its top-left corner) the solid cut
    // line is as wide: 2.1 pixels at 300 dpi.  The bottom edge, down a
    // column through the flap.
    ASSERT_EQ(Cli({"print", Q(cas), "-o", Q(pdf)}).status, 0);
    page = RasterizePdf(dir, pdf, 300);
    ASSERT_FALSE(page.isNull());
    std::vector<int> lines;
    for (const auto& [dark, length] : Runs(page, false, 150, 0, page.height())) {
        if (dark) lines.push_back(length);
    }
    ASSERT_GE(lines.size(), 2u);
    EXPECT_GE(lines.back(), 2);
}

TEST(CliRender, BundledSampleFindsItsPictureBesideIt) {
    TempFolder dir;
    const std::string png = dir.Path("mixtape.png");
    CliRun run = Cli({"render", QStringLiteral(REELCARD_BIN_DIR "/samples/mixtape.cas"), "-o", Q(png),
                      "--dpi", "72"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("cassette.bmp"), std::string::npos) << run.err;
    EXPECT_FALSE(QImage(Q(png)).isNull());
}

TEST(CliRender, ExitStatuses) {
    TempFolder dir;
    const std::string cas = WriteRenderLiner(dir);
    const QString png = Q(dir.Path("x.png"));
    EXPECT_EQ(Cli({"render", Q(cas)}).status, 2);                                  // no output
    EXPECT_EQ(Cli({"render", Q(cas), "-o", Q(dir.Path("x.jpg"))}).status, 2);     // unknown kind
    EXPECT_EQ(Cli({"render", Q(cas), "-o", png, "--dpi", "0"}).status, 2);
    EXPECT_EQ(Cli({"render", Q(cas), "-o", png, "--dpi", "many"}).status, 2);
    EXPECT_EQ(Cli({"render", Q(cas), "-o", png, "--dpi", "72", "--dpi", "96"}).status, 2);
    EXPECT_EQ(Cli({"render", Q(cas), "-o", png, "--merge", "all"}).status, 2);
    EXPECT_EQ(Cli({"export", Q(cas), "--dpi", "72"}).status, 2);  // render only
    EXPECT_EQ(Cli({"render", Q(dir.Path("none.cas")), "-o", png}).status, 1);
    CliRun unwritable = Cli({"render", Q(cas), "-o", Q(dir.Path("no/such/folder/x.png"))});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Cannot write file"), std::string::npos);
    EXPECT_FALSE(QFile::exists(png));
}

TEST(CliRender, APictureThatCannotBeDrawnIsLeftOutAndTheExitIsOne) {
    TempFolder dir;
    Liner liner;
    ScriptedPrompter prompter;
    ASSERT_TRUE(ReadLinerFile(liner, WriteRenderLiner(dir), true, prompter));
    WriteBytes(dir.Path("broken.bmp"), {'B', 'M', 1, 2, 3});
    Picture picture;
    picture.fileName = dir.Path("broken.bmp");
    picture.left.twips = picture.width.twips = picture.naturalWidth.twips = 720;
    picture.top.twips = picture.height.twips = picture.naturalHeight.twips = -720;
    liner.pictures.push_back(picture);
    const std::string cas = dir.Path("with-picture.cas");
    ASSERT_TRUE(WriteLinerFile(liner, cas, prompter));

    const std::string message = "broken.bmp'";  // named once, as a file that cannot be read
    for (const char* name : {"x.png", "x.pdf", "x.svg"}) {
        const CliRun run = Cli({"render", Q(cas), "-o", Q(dir.Path(name)), "--dpi", "72"});
        EXPECT_EQ(run.status, 1) << name << run.err;
        EXPECT_TRUE(QFile::exists(Q(dir.Path(name)))) << name;  // drawn without it
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(message), run.err.rfind(message)) << "told more than once: " << run.err;
    }
    const CliRun print = Cli({"print", Q(cas), Q(cas), "-o", Q(dir.Path("both.pdf"))});
    EXPECT_EQ(print.status, 1) << print.err;
    EXPECT_TRUE(QFile::exists(Q(dir.Path("both.pdf"))));
}

// Every command that writes -o, with a target of its own kind.
std::vector<std::pair<std::string, QStringList>> Writers(const TempFolder& dir, const std::string& target) {
    const std::string cas = WriteRenderLiner(dir);
    const std::string json = dir.Path("liner.json");
    if (!QFile::exists(Q(json))) {
        EXPECT_EQ(Cli({"export", Q(cas), "-o", Q(json)}).status, 0);
    }
    const std::string songs = dir.Path("songs.txt");
    WriteBytes(songs, {'O', 'n', 'e', ' ', '3', ':', '1', '2', '\n'});
    const QString out = Q(target);
    return {{"export", {"export", Q(cas), "-o", out}},
            {"import", {"import", Q(json), "-o", out}},
            {"convert", {"convert", Q(cas), "-o", out}},
            {"songs", {"songs", Q(cas), "-o", out, Q(songs)}},
            {"render png", {"render", Q(cas), "-o", out + ".png", "--dpi", "72"}},
            {"render pdf", {"render", Q(cas), "-o", out + ".pdf"}},
            {"render svg", {"render", Q(cas), "-o", out + ".svg"}},
            {"print", {"print", Q(cas), "-o", out + ".pdf"}}};
}

mode_t KindOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

TEST(Cli, TargetsThatAreNoFilesAreNeverReplacedNorWaitedOn) {
    TempFolder dir;
    const std::string fifo = dir.Path("pipe");
    for (const std::string& name : {fifo, fifo + ".png", fifo + ".pdf", fifo + ".svg"}) {
        ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
    }
    for (const auto& [what, args] : Writers(dir, fifo)) {
        const CliRun run = Cli(args);  // nobody reads the pipe: refused at once
        EXPECT_EQ(run.status, 1) << what << ": " << run.err;
        EXPECT_EQ(KindOf(args[args.indexOf("-o") + 1].toStdString()), S_IFIFO) << what;
    }

    if (geteuid() != 0) GTEST_SKIP() << "making device nodes (mknod) needs root";
    // Nodes of the null and full devices, and of a block device that is never opened.
    struct Node {
        const char* name;
        mode_t kind;
        dev_t device;
        int status;
    };
    for (const Node& node : {Node{"null", S_IFCHR, makedev(1, 3), 0}, Node{"full", S_IFCHR, makedev(1, 7), 1},
                             Node{"block", S_IFBLK, makedev(7, 250), 1}}) {
        const std::string base = dir.Path(node.name);
        for (const std::string& name : {base, base + ".png", base + ".pdf", base + ".svg"}) {
            ASSERT_EQ(mknod(name.c_str(), node.kind | 0600, node.device), 0) << strerror(errno);
        }
        for (const auto& [what, args] : Writers(dir, base)) {
            const CliRun run = Cli(args);
            // Written straight into a character device, never replaced.
            EXPECT_EQ(run.status, node.status) << node.name << " " << what << ": " << run.err;
            EXPECT_EQ(KindOf(args[args.indexOf("-o") + 1].toStdString()), node.kind) << node.name << " " << what;
        }
    }
}

TEST(Cli, AFullDiskKeepsEveryOldOutputAndFails) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root (in a private mount namespace)";
    TempFolder dir;
    const std::string folder = dir.Path("full");
    ASSERT_TRUE(QDir().mkpath(Q(folder)));
    const auto writers = Writers(dir, folder + "/out");
    // Each command in a private mount namespace, on a tmpfs filled to the last
    // byte after its old output was put there.
    for (const auto& [what, args] : writers) {
        const QString target = args[args.indexOf("-o") + 1];
        QStringList command = {"--mount", "--propagation", "private", "sh", "-c",
                               "mount -t tmpfs -o size=256k reelcard-test \"$1\" || exit 77; printf old > \"$2\" && "
                               "(cat /dev/zero > \"$1/filler\") 2>/dev/null; shift 2; \"$@\"; status=$?; "
                               "printf '%s' \"$(cat \"$0\")\" >&2; exit $status",
                               target, Q(folder), target, QStringLiteral(REELCARD_BIN_DIR "/reelcard-cli")};
        command += args;
        QProcess process;
        process.start(QStringLiteral("unshare"), command);
        ASSERT_TRUE(process.waitForFinished(60000)) << what;
        const std::string err = process.readAllStandardError().toStdString();
        if (process.exitCode() == 77) GTEST_SKIP() << "no private tmpfs here: " << err;
        EXPECT_EQ(process.exitCode(), 1) << what << ": " << err;
        // The old output, whole, is what the shell read back after the command.
        EXPECT_TRUE(err.size() >= 3 && err.compare(err.size() - 3, 3, "old") == 0) << what << ": " << err;
    }
}

// ---- print ----------------------------------------------------------------------------

// Runs a poppler tool on a PDF and gives its standard output.
std::string Poppler(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(30000)) return {};
    return process.readAllStandardOutput().toStdString();
}

// Each page's size in points and the left edge (points) of every word "Mix".
struct PdfPage {
    double width = 0, height = 0;
    std::vector<std::pair<double, double>> titles;  // xMin, yMin of each title word
};

std::vector<PdfPage> ReadPages(const std::string& pdf) {
    const std::string html = Poppler("pdftotext", {"-bbox", Q(pdf), "-"});
    std::vector<PdfPage> pages;
    size_t at = 0;
    while ((at = html.find('<', at)) != std::string::npos) {
        const size_t end = html.find('>', at);
        const std::string tag = html.substr(at, end - at);
        auto attr = [&](const char* name) {
            const size_t p = tag.find(std::string(name) + "=\"");
            return p == std::string::npos ? 0.0 : std::stod(tag.substr(p + std::strlen(name) + 2));
        };
        if (tag.rfind("<page ", 0) == 0) {
            pages.push_back({attr("width"), attr("height"), {}});
        } else if (tag.rfind("<word ", 0) == 0 && html.compare(end + 1, 3, "Mix") == 0 && !pages.empty()) {
            pages.back().titles.push_back({attr("xMin"), attr("yMin")});
        }
        at = end;
    }
    return pages;
}

// A 4 by 3.5 inch liner whose only text is its title "Mix", centred.
std::string WritePrintLiner(const TempFolder& dir, const std::string& name, int width = 5760) {
    Liner liner;
    EnsureStandardFonts(liner);
    liner.title = {1, "Mix"};
    liner.titleFormat.alignment = kAlignCentered;
    liner.width.twips = static_cast<int16_t>(width);
    liner.flapHeight.twips = 1440;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 2880;
    for (auto& letter : liner.sideLetters) letter.style = kLetterNone;
    ScriptedPrompter prompter;
    const std::string path = dir.Path(name);
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    return path;
}

TEST(CliPrint, CopiesAndTwoUpSheetsInThePdf) {
    TempFolder dir;
    const std::string narrow = WritePrintLiner(dir, "narrow.cas", 4320);  // 3 in: two fit upright
    const std::string pdf = dir.Path("out.pdf");

    CliRun run = Cli({"print", Q(narrow), "-o", Q(pdf), "--copies", "3", "--paper", "Letter"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<PdfPage> pages = ReadPages(pdf);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].width, 612);
    EXPECT_EQ(pages[0].height, 792);
    for (const PdfPage& page : pages) EXPECT_EQ(page.titles.size(), 1u);

    // Three copies two-up: a full sheet, then one at the first place.
    ASSERT_EQ(Cli({"print", Q(narrow), "-o", Q(pdf), "--copies", "3", "--2up", "--paper", "Letter"}).status, 0);
    pages = ReadPages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[0].titles.size(), 2u);
    ASSERT_EQ(pages[1].titles.size(), 1u);
    // The second liner starts 3 in + 1 twip to the right of the first.
    EXPECT_NEAR(pages[0].titles[1].first - pages[0].titles[0].first, 216.05, 0.1);
    EXPECT_NEAR(pages[1].titles[0].first, pages[0].titles[0].first, 0.01);

    // Two copies two-up: one sheet.  Three files two-up: two sheets.
    ASSERT_EQ(Cli({"print", Q(narrow), "-o", Q(pdf), "--copies", "2", "--2up"}).status, 0);
    EXPECT_EQ(ReadPages(pdf).size(), 1u);
    const std::string second = WritePrintLiner(dir, "b.cas", 4320), third = WritePrintLiner(dir, "c.cas", 4320);
    ASSERT_EQ(Cli({"print", Q(narrow), Q(second), Q(third), "-o", Q(pdf), "--2up"}).status, 0);
    pages = ReadPages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].titles.size(), 2u);
    EXPECT_EQ(pages[1].titles.size(), 1u);
}

TEST(CliPrint, MarginsPlaceTheLinerAndATurnedPageWhenOnlyThatFits) {
    TempFolder dir;
    const std::string wide = WritePrintLiner(dir, "wide.cas");  // 4 in
    const std::string pdf = dir.Path("out.pdf");

    // Without margins the liner sits at the paper's corner; with them it moves
    // by exactly the left and top margins.
    ASSERT_EQ(Cli({"print", Q(wide), "-o", Q(pdf)}).status, 0);
    const PdfPage bare = ReadPages(pdf).at(0);
    CliRun run = Cli({"print", Q(wide), "-o", Q(pdf), "--margins", "0.5,0.25in,1.27cm,0"});
    ASSERT_EQ(run.status, 0) << run.err;
    const PdfPage moved = ReadPages(pdf).at(0);
    ASSERT_EQ(bare.titles.size(), 1u);
    ASSERT_EQ(moved.titles.size(), 1u);
    EXPECT_NEAR(moved.titles[0].first - bare.titles[0].first, 36, 0.05);
    EXPECT_NEAR(moved.titles[0].second - bare.titles[0].second, 36, 0.05);
    EXPECT_EQ(moved.width, bare.width);  // A4 upright
    EXPECT_LT(moved.width, moved.height);

    // Two 4-inch liners need 8 in + 2 twips: on Letter within 1/4 in margins
    // they fit only across a turned page.
    ASSERT_EQ(Cli({"print", Q(wide), "-o", Q(pdf), "--2up", "--copies", "2", "--paper", "Letter",
                   "--margins", "0.25,0.25,0.25,0.25"}).status, 0);
    const std::vector<PdfPage> turned = ReadPages(pdf);
    ASSERT_EQ(turned.size(), 1u);
    EXPECT_EQ(turned[0].width, 792);
    EXPECT_EQ(turned[0].height, 612);
    ASSERT_EQ(turned[0].titles.size(), 2u);
    EXPECT_NEAR(turned[0].titles[1].first - turned[0].titles[0].first, 288.05, 0.1);
}

TEST(CliPrint, ExitStatusesAndPlacementMessages) {
    TempFolder dir;
    const std::string wide = WritePrintLiner(dir, "wide.cas");
    const QString pdf = Q(dir.Path("out.pdf"));
    // Within 2 in margins a 4-inch pair fits neither way on Letter.
    CliRun refused = Cli({"print", Q(wide), "-o", pdf, "--2up", "--paper", "Letter", "--margins", "2,2,2,2"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("2 liners will not fit within 'printable' area"), std::string::npos) << refused.err;
    EXPECT_FALSE(QFile::exists(pdf));
    CliRun missing = Cli({"print", Q(wide), Q(dir.Path("none.cas")), "-o", pdf});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(QFile::exists(pdf));

    EXPECT_EQ(Cli({"print", Q(wide)}).status, 2);                                      // no output
    EXPECT_EQ(Cli({"print", "-o", pdf}).status, 2);                                    // no file
    EXPECT_EQ(Cli({"print", Q(wide), "-o", Q(dir.Path("out.png"))}).status, 2);     // not a PDF
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf, "--copies", "0"}).status, 2);
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf, "--paper", "A3"}).status, 2);
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf, "--margins", "1,1,1"}).status, 2);
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf, "--margins", "1,1,1,wide"}).status, 2);
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf, "--margins", "1,1,1,-1"}).status, 2);
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf, "--dpi", "72"}).status, 2);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(Cli({"print", Q(wide), "-o", pdf}).status, 0);
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST(Cli, HelpVersionAndOneLineUsageErrors) {
    // Help goes to standard output with status 0, also after a command.
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"render", "--help"}}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 0) << args.join(' ').toStdString();
        EXPECT_EQ(run.out.rfind("usage: reelcard-cli export", 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
    const CliRun version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("reelcard-cli ", 0), 0u);
    EXPECT_NE(version.out.find('.'), std::string::npos);

    // A usage error: one line that says what is wrong and where the usage
    // is, status 2, and nothing else on standard error (no notes of Qt's).
    TempFolder dir;
    const QString cas = Q(dir.Path("a.cas"));
    const std::pair<QStringList, std::string> errors[] = {
        {{}, "no command given"},
        {{"frob", "x"}, "unknown command 'frob'"},
        {{"frob"}, "unknown command 'frob'"},
        {{"render", cas}, "render needs -o OUT"},
        {{"render", cas, "-o", Q(dir.Path("a.jpg"))}, "OUT must end in .png, .pdf or .svg"},
        {{"render", cas, "-o", Q(dir.Path("a.png")), "--dpi", "0"}, "--dpi must be 1 to 2400"},
        {{"export", cas, "--bogus"}, "unknown option '--bogus'"},
        {{"import", Q(dir.Path("a.json"))}, "import needs -o OUT"},
        {{"print", cas}, "print needs -o OUT.pdf or --printer"},
        {{"print", cas, "-o", Q(dir.Path("a.pdf")), "--paper", "A3"}, "--paper must be A4 or Letter"},
        {{"print", cas, "-o", Q(dir.Path("a.png"))}, "OUT must end in .pdf"},
    };
    for (const auto& [args, line] : errors) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << line;
        EXPECT_EQ(run.err, "reelcard-cli: " + line + "\nTry 'reelcard-cli --help' for more information.\n");
        EXPECT_EQ(run.out, "");
    }

    // A file the user named that is missing, or not JSON, is named.
    const std::string liner = dir.Path("b.cas");
    ASSERT_EQ(Cli({"convert", Q(WriteRenderLiner(dir)), "-o", Q(liner)}).status, 0);
    const CliRun noFormat = Cli({"convert", Q(liner), "-o", Q(dir.Path("c.cas")), "--format", "/nonexistent.fmt"});
    EXPECT_EQ(noFormat.status, 1);
    EXPECT_EQ(noFormat.err, "reelcard-cli: Cannot open file '/nonexistent.fmt'\n");
    EXPECT_FALSE(QFile::exists(Q(dir.Path("c.cas"))));
    const std::string text = dir.Path("songs.txt");
    WriteBytes(text, {'O', 'n', 'e', '\n'});
    const CliRun notJson = Cli({"import", Q(text), "-o", Q(dir.Path("d.cas"))});
    EXPECT_EQ(notJson.status, 1);
    EXPECT_EQ(notJson.err.rfind("reelcard-cli: " + text + ": the file is not JSON (", 0), 0u) << notJson.err;
}

}  // namespace
