// reelcard-cli: the headless companion of Reelcard, for scripts and checks.
//
//   reelcard-cli export FILE [-o OUT.json]
//   reelcard-cli import FILE.json -o OUT
//   reelcard-cli convert IN -o OUT [--merge text|all] [--format FILE.fmt]
//   reelcard-cli render FILE -o OUT.png|OUT.pdf|OUT.svg [--dpi N] [--bleed LENGTH]
//   reelcard-cli print FILE... -o OUT.pdf|--printer [NAME|default] [--copies N] [--2up|--n-up]
//                [--paper A4|Letter] [--margins L,R,T,B] [--bleed LENGTH]
//   reelcard-cli songs LINER -o OUT [--tape C46|C60|C90|C100|C120|MINUTES] [--fill-a]
//                [--artist] [--numbers] [--fit] [--no-cover] SOURCE...
//                | --release MBID|URL | --disc-toc "TOC" | --cd [DEVICE]
//   reelcard-cli lookup QUERY
//   reelcard-cli --help | --version
//
// Exit status: 0 success, 1 a file could not be read or written (or a printer
// refused the job), 2 usage.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPageSize>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/printer_device.h"
#include "document/liner_file.h"
#include "document/liner_json.h"
#include "pictures/picture_host.h"
#include "platform/code_page.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/qt_surface.h"
#include "platform/save_file.h"
#include "platform/strings.h"
#include "platform/image_threads.h"
#include "render/geometry.h"
#include "render/painter.h"
#include "render/fit_songs.h"
#include "render/liner_export.h"
#include "render/pdf_boxes.h"
#include "render/print_job.h"
#include "songs/covers.h"
#include "songs/song_rows.h"
#include "songs/tape_split.h"
#include "songs/track_list.h"
#include "tools/cli_album.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: reelcard-cli export FILE [-o OUT.json]\n"
    "       reelcard-cli import FILE.json -o OUT\n"
    "       reelcard-cli convert IN -o OUT [--merge text|all] [--format FILE.fmt]\n"
    "       reelcard-cli render FILE -o OUT.png|OUT.pdf|OUT.svg [--dpi N] [--bleed LENGTH]\n"
    "       reelcard-cli print FILE... -o OUT.pdf|--printer [NAME|default] [--copies N] [--2up|--n-up]\n"
    "                    [--paper A4|Letter] [--margins L,R,T,B] [--bleed LENGTH]\n"
    "       reelcard-cli songs LINER -o OUT [--tape C46|C60|C90|C100|C120|MINUTES] [--fill-a]\n"
    "                    [--artist] [--numbers] [--fit] [--no-cover] SOURCE...\n"
    "                    | --release MBID|URL | --disc-toc \"TOC\" | --cd [DEVICE]\n"
    "       reelcard-cli lookup QUERY\n"
    "       reelcard-cli --help | --version\n"
    "A name ending in .fmt is a format file; any other name is a liner file.\n"
    "export writes texts in Unicode, each run read in the code page of its\n"
    "font's character set; import stores a character the run's font lacks\n"
    "with a variant of that font in a character set that has it.\n"
    "A liner file of the earlier generation is merged into the default format\n"
    "(or the one given with --format), as Text unless --merge all is given.\n"
    "render draws the liner as it prints: a PNG image of the paper at N dots\n"
    "per inch (300 unless given), a one-page PDF of the paper's size (text as\n"
    "text, fonts embedded), or an SVG drawing of the paper's size (lines as\n"
    "lines, text as text; --dpi plays no part).  Pictures go into PDFs as their\n"
    "own pixels, losslessly.  --bleed (0 to 0.5in, such as 0.125in or 0.3cm)\n"
    "makes a PDF for a print shop: the page larger by the bleed and crop marks,\n"
    "pictures that touch a cut edge running on into the bleed, crop marks in\n"
    "place of the cut lines, and a TrimBox and BleedBox.\n"
    "print prints the liners as the program does, into a PDF of A4 (unless\n"
    "Letter is given) sheets: each file in N copies (1 unless given), two to a\n"
    "sheet with --2up or as many as fit with --n-up (turned when more fit turned;\n"
    "crop marks in the margins between the cards; --bleed as for render),\n"
    "within the margins (left, right, top, bottom, such as\n"
    "0.25in or 0.6cm; a bare number counts in inches; 0 unless given).  A liner\n"
    "that fits the sheet only turned gets a landscape page.  With --printer the\n"
    "sheets go to that printer (the default printer when no name or \"default\"\n"
    "is given) as one job, on its own paper unless --paper is given; a printer\n"
    "that does not exist, is stopped or refuses the job gets nothing.\n"
    "songs reads the liner (or a format file, giving a new liner), imports the\n"
    "songs of the sources in the order given (M3U, M3U8, PLS and XSPF playlists,\n"
    "cue sheets, audio files, folders of audio files, text with one song a line),\n"
    "splits them across the sides of the tape (Balanced unless --fill-a fills\n"
    "Side A first; --fill-a needs --tape) and writes OUT.  --artist puts the\n"
    "artist before every title (it is there anyway when the songs have several\n"
    "artists), --numbers numbers the songs, --fit makes the song font smaller\n"
    "until every song fits.  Each side's count and total go to standard output.\n"
    "Instead of SOURCE..., songs takes an album from MusicBrainz: the release\n"
    "with --release (its MBID or its musicbrainz.org address), or the disc whose\n"
    "table of contents --disc-toc gives (\"FIRST LAST LEADOUT OFFSET...\", as\n"
    "MusicBrainz writes it) or --cd reads from the CD in DEVICE (a /dev/ path;\n"
    "the default drive unless given).  When several releases hold the disc, the\n"
    "first is taken and the others are named.  Nothing is written when a lookup\n"
    "fails.\n"
    "The album's front cover (from the Cover Art Archive, or embedded in the\n"
    "audio files, or cover.*, folder.*, front.* or album.* beside them) is\n"
    "written beside OUT as NAME-cover.EXT and fitted into a panel the songs\n"
    "leave free (the front, an overflow panel or the flap, when one is nearly\n"
    "the front's size), else into the title area, unless --no-cover is given.\n"
    "lookup searches MusicBrainz for releases (artist and album in one QUERY)\n"
    "and prints one a line: MBID, artist, title, year, country, format and\n"
    "number of tracks, separated by tabs.\n"
    "The lookups ask REELCARD_MUSICBRAINZ_URL (https://musicbrainz.org unless\n"
    "set) and REELCARD_COVERART_URL (https://coverartarchive.org), and keep the\n"
    "answers for a week in $XDG_CACHE_HOME/reelcard.\n"
    "Every OUT is written beside the old file and put in its place only when\n"
    "whole; an OUT that is a character device (/dev/stdout) or a pipe being read\n"
    "is written into, any other OUT that is no plain file is refused.  A picture\n"
    "that cannot be drawn is left out and the exit status is 1; pictures over\n"
    "REELCARD_PICTURE_MEGAPIXELS million pixels (100 unless set) are refused.\n"
    "The print system gets 5 seconds to answer each question.\n";

// What was wrong with the command line, said in one line before the usage.
std::string usageError;

std::nullopt_t Bad(std::string why) {
    usageError = std::move(why);
    return std::nullopt;
}

// One line that says what is wrong, and where the whole usage is; the usage
// itself would bury that line.
int UsageError(const std::string& why) {
    std::fprintf(stderr, "reelcard-cli: %s\nTry 'reelcard-cli --help' for more information.\n", why.c_str());
    return kExitUsage;
}

// A command is one the usage lists.
bool KnownCommand(const std::string& command) {
    return std::string(kUsage).find("reelcard-cli " + command + " ") != std::string::npos;
}

// Resolutions render accepts: enough for any printer, small enough that the
// image of the longest liner stays addressable.
constexpr int kDefaultDpi = 300;
constexpr int kMaxDpi = 2400;

// Messages go to standard error; questions take their default answer.
class ConsolePrompter : public Prompter {
public:
    MessageResult Show(const MessageOwner&, const MessageStyle& style,
                       const std::string& text) override {
        std::string shown = DecodeCodePage(text).toStdString();
        // The message texts break lines with "\n\r"; a terminal wants "\n".
        std::string clean;
        for (char c : shown) {
            if (c != '\r') clean += c;
        }
        MessageResult answer = DefaultAnswer(style.buttons);
        std::fprintf(stderr, "reelcard-cli: %s\n", clean.c_str());
        if (style.buttons == MessageButtons::YesNo || style.buttons == MessageButtons::YesNoCancel) {
            std::fprintf(stderr, "reelcard-cli: answered %s\n",
                         answer == MessageResult::Yes ? "Yes" : "No");
        }
        return answer;
    }
    MergeChoice AskMerge(const std::string& caption) override {
        std::fprintf(stderr, "reelcard-cli: %s: merged as %s\n", caption.c_str(),
                     mergeAll ? "All" : "Text");
        return mergeAll ? MergeChoice::All : MergeChoice::Text;
    }

    bool mergeAll = false;
};

bool EndsWith(const std::string& s, const char* suffix) {
    std::string tail(suffix);
    if (s.size() < tail.size()) return false;
    std::string end = s.substr(s.size() - tail.size());
    for (auto& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == tail;
}

FileKind KindOf(const std::string& path) {
    return EndsWith(path, ".fmt") ? FileKind::Format : FileKind::Liner;
}

const char kBadBleed[] = "--bleed must be a length from 0 to 0.5in, such as 0.125in or 0.3cm";

std::optional<int> ParseBleed(const QString& text) {
    const std::string typed = text.trimmed().toStdString();
    const auto m = ParseMeasurement(typed, false, kUnitInches);
    if (typed.empty() || !m || m->twips < 0 || m->twips > kMaxBleedTwips) return std::nullopt;
    return m->twips;
}

struct Args {
    std::string command;
    std::string input;
    std::string output;
    std::string format;  // the format an older file is merged into
    bool mergeAll = false;
    bool mergeGiven = false;
    int dpi = 0;  // render only; 0 when not given
    std::optional<int> bleed;  // render to PDF only; twips
};

std::optional<Args> ParseArgs(const QStringList& list) {
    Args args;
    if (list.size() < 2) return Bad("no command given");
    args.command = list[1].toStdString();
    if (!KnownCommand(args.command)) return Bad("unknown command '" + args.command + "'");
    for (qsizetype i = 2; i < list.size(); ++i) {
        QString a = list[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= list.size()) return Bad(a.toStdString() + " needs a file name");
            if (!args.output.empty()) return Bad("-o given twice");
            args.output = list[++i].toStdString();
        } else if (a == "--merge") {
            if (args.mergeGiven) return Bad("--merge given twice");
            QString how = i + 1 < list.size() ? list[++i].toLower() : QString();
            if (how != "all" && how != "text") return Bad("--merge must be text or all");
            args.mergeAll = how == "all";
            args.mergeGiven = true;
        } else if (a == "--dpi") {
            if (args.dpi != 0) return Bad("--dpi given twice");
            bool ok = false;
            const int dpi = i + 1 < list.size() ? list[++i].toInt(&ok) : 0;
            if (!ok || dpi < 1 || dpi > kMaxDpi) return Bad("--dpi must be 1 to " + std::to_string(kMaxDpi));
            args.dpi = dpi;
        } else if (a == "--bleed") {
            if (args.bleed) return Bad("--bleed given twice");
            args.bleed = i + 1 < list.size() ? ParseBleed(list[++i]) : std::nullopt;
            if (!args.bleed) return Bad(kBadBleed);
        } else if (a == "--format") {
            if (i + 1 >= list.size()) return Bad("--format needs a file name");
            if (!args.format.empty()) return Bad("--format given twice");
            args.format = list[++i].toStdString();
        } else if (a.startsWith('-') && a != "-") {
            return Bad("unknown option '" + a.toStdString() + "'");
        } else if (args.input.empty()) {
            args.input = a.toStdString();
        } else {
            return Bad("one FILE only: '" + a.toStdString() + "' is one too many");
        }
    }
    if (args.input.empty()) return Bad("no FILE given");
    return args;
}

// Reads a liner or format file.  A liner file of the earlier generation is
// merged into a format, as the program does with the Liner it has open: the
// default format beside the program unless another is named.
bool ReadAny(Liner& liner, const Args& args, ConsolePrompter& prompter) {
    const std::string& path = args.input;
    if (KindOf(path) == FileKind::Format) return ReadFormatFile(liner, path, prompter);
    auto bytes = LoadFileBytes(path);
    if (bytes && ParseLinerBytes(*bytes, FileKind::Liner, liner) == ParseStatus::OlderVersion) {
        std::string format = args.format.empty() ? BundledDefaultFormat() : args.format;
        if (!ReadFormatFile(liner, format, prompter)) return false;
        EnsureStandardFonts(liner);
        prompter.mergeAll = args.mergeAll;
        if (!args.mergeAll) {
            std::fprintf(stderr, "reelcard-cli: %s: made by an earlier version; merged as Text into %s\n",
                         path.c_str(), format.c_str());
        }
        return ReadLinerFile(liner, path, !args.mergeAll, prompter);
    }
    return ReadLinerFile(liner, path, true, prompter);
}

bool WriteAny(Liner& liner, const std::string& path, Prompter& prompter) {
    if (KindOf(path) == FileKind::Format) return WriteFormatFile(liner, path, prompter);
    return WriteLinerFile(liner, path, prompter);
}

int Export(const Args& args, ConsolePrompter& prompter) {
    Liner liner;
    if (!ReadAny(liner, args, prompter)) return kExitFile;
    QByteArray json = QJsonDocument(LinerToJson(liner, KindOf(args.input))).toJson(QJsonDocument::Indented);
    if (args.output.empty() || args.output == "-") {
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
    }
    switch (SaveFileAtomically(args.output, json)) {
        case SaveError::None:
            return kExitOk;
        case SaveError::Create:
            ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_CREATE_FILE, {args.output});
            return kExitFile;
        case SaveError::Write:
            break;
    }
    ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
    return kExitFile;
}

int Import(const Args& args, Prompter& prompter) {
    QFile in(QString::fromStdString(args.input));
    if (!in.open(QIODevice::ReadOnly)) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_OPEN_FILE, {args.input});
        return kExitFile;
    }
    QJsonParseError parseError;
    QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &parseError);
    if (!doc.isObject()) {
        if (doc.isNull()) {
            std::fprintf(stderr, "reelcard-cli: %s: the file is not JSON (%s at byte %d)\n", args.input.c_str(),
                         parseError.errorString().toStdString().c_str(), static_cast<int>(parseError.offset));
        } else {
            std::fprintf(stderr, "reelcard-cli: %s: the JSON must be an object\n", args.input.c_str());
        }
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_READ_FILE, {args.input});
        return kExitFile;
    }
    QString why;
    auto liner = LinerFromJson(doc.object(), KindOf(args.output), &why);
    if (!liner) {
        std::fprintf(stderr, "reelcard-cli: %s: %s\n", args.input.c_str(), why.toStdString().c_str());
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_READ_FILE, {args.input});
        return kExitFile;
    }
    return WriteAny(*liner, args.output, prompter) ? kExitOk : kExitFile;
}

int Convert(const Args& args, ConsolePrompter& prompter) {
    Liner liner;
    if (!ReadAny(liner, args, prompter)) return kExitFile;
    return WriteAny(liner, args.output, prompter) ? kExitOk : kExitFile;
}

// Picture files named without a folder, or with a relative one, are looked
// for beside the liner file when they are not found from where we run.
void ResolvePictureFiles(Liner& liner, const std::string& linerPath) {
    const QDir folder = QFileInfo(QString::fromStdString(linerPath)).absoluteDir();
    for (Picture& picture : liner.pictures) {
        const QString name = DecodeCodePage(picture.fileName);
        if (name.isEmpty() || QFileInfo(name).isAbsolute() || QFileInfo::exists(name)) continue;
        const QString beside = folder.filePath(name);
        bool encoded = false;
        std::string bytes = EncodeCodePage(beside, &encoded);
        if (encoded && QFileInfo::exists(beside)) picture.fileName = std::move(bytes);
    }
}

int Render(const Args& args, ConsolePrompter& prompter) {
    Liner liner;
    if (!ReadAny(liner, args, prompter)) return kExitFile;
    EnsureStandardFonts(liner);
    ResolvePictureFiles(liner, args.input);

    PictureImages pictures;
    bool songFitWarning = true;
    const ExportContext context{pictures, prompter, songFitWarning};
    const QString output = QString::fromStdString(args.output);
    bool written = false;
    if (EndsWith(args.output, ".pdf")) {
        written = WriteLinerPdf(liner, output, args.dpi ? std::max(args.dpi, 72) : 1200, context, args.bleed.value_or(0));
    } else if (EndsWith(args.output, ".svg")) {
        written = WriteLinerSvg(liner, output, context);
    } else {
        written = WriteLinerPng(liner, output, args.dpi ? args.dpi : kDefaultDpi, false, context);
    }
    if (!written) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
        return kExitFile;
    }
    // The liner was drawn without a picture that could not be: said above.
    return pictures.anyFailed() ? kExitFile : kExitOk;
}

struct PrintArgs {
    std::vector<std::string> files;
    std::string output;
    std::optional<QString> printer;  // empty: the default printer
    int copies = 0;  // 0 when not given
    bool twoUp = false;
    bool nUp = false;
    std::optional<int> bleed;  // twips
    QPageSize::PageSizeId paper = QPageSize::A4;
    bool paperGiven = false;
    std::optional<PrintSettings> margins;
};

// The copies a print dialog accepts.
constexpr int kMaxCopies = 9999;

std::optional<PrintSettings> ParseMargins(const QString& text) {
    const QStringList parts = text.split(',');
    if (parts.size() != 4) return std::nullopt;
    PrintSettings page;
    Measurement* fields[] = {&page.marginLeft, &page.marginRight, &page.marginTop, &page.marginBottom};
    for (int i = 0; i < 4; ++i) {
        const std::string typed = parts[i].trimmed().toStdString();
        auto m = ParseMeasurement(typed, false, kUnitInches);
        if (typed.empty() || !m || m->twips < 0) return std::nullopt;
        *fields[i] = *m;
    }
    return page;
}

std::optional<PrintArgs> ParsePrintArgs(const QStringList& list) {
    PrintArgs args;
    for (qsizetype i = 2; i < list.size(); ++i) {
        const QString a = list[i];
        const bool hasValue = i + 1 < list.size();
        if (a == "-o" || a == "--output") {
            if (!hasValue) return Bad(a.toStdString() + " needs a file name");
            if (!args.output.empty()) return Bad("-o given twice");
            args.output = list[++i].toStdString();
        } else if (a == "--printer") {
            if (args.printer) return Bad("--printer given twice");
            // The name is optional: a following option or nothing means the default.
            const bool named = hasValue && !list[i + 1].startsWith('-');
            const QString name = named ? list[++i] : QString();
            args.printer = name == QLatin1String("default") ? QString() : name;
        } else if (a == "--copies") {
            if (args.copies != 0) return Bad("--copies given twice");
            bool ok = false;
            const int copies = hasValue ? list[++i].toInt(&ok) : 0;
            if (!ok || copies < 1 || copies > kMaxCopies) return Bad("--copies must be 1 to 9999");
            args.copies = copies;
        } else if (a == "--2up") {
            if (args.twoUp) return Bad("--2up given twice");
            args.twoUp = true;
        } else if (a == "--n-up") {
            if (args.nUp) return Bad("--n-up given twice");
            args.nUp = true;
        } else if (a == "--bleed") {
            if (args.bleed) return Bad("--bleed given twice");
            args.bleed = hasValue ? ParseBleed(list[++i]) : std::nullopt;
            if (!args.bleed) return Bad(kBadBleed);
        } else if (a == "--paper") {
            if (args.paperGiven) return Bad("--paper given twice");
            const QString paper = hasValue ? list[++i].toLower() : QString();
            if (paper == "a4") {
                args.paper = QPageSize::A4;
            } else if (paper == "letter") {
                args.paper = QPageSize::Letter;
            } else {
                return Bad("--paper must be A4 or Letter");
            }
            args.paperGiven = true;
        } else if (a == "--margins") {
            if (args.margins) return Bad("--margins given twice");
            args.margins = hasValue ? ParseMargins(list[++i]) : std::nullopt;
            if (!args.margins) return Bad("--margins must be four lengths L,R,T,B such as 0.25in,0.25in,0.5in,0.5in");
        } else if (a.startsWith('-') && a != "-") {
            return Bad("unknown option '" + a.toStdString() + "'");
        } else {
            args.files.push_back(a.toStdString());
        }
    }
    if (args.files.empty()) return Bad("no FILE given");
    if (args.twoUp && args.nUp) return Bad("--2up and --n-up exclude each other");
    if (args.printer && !args.output.empty()) return Bad("-o and --printer exclude each other");
    if (!args.printer && args.output.empty()) return Bad("print needs -o OUT.pdf or --printer");
    if (!args.printer && !EndsWith(args.output, ".pdf")) return Bad("OUT must end in .pdf");
    return args;
}

// The Liner the files are read into, and the job they make.
PrintJobRequest PrintRequest(const PrintArgs& args, Liner& liner, Prompter& prompter) {
    // An older liner file is merged into the default format, as the program
    // would merge it into the Liner it has open.
    const std::string format = BundledDefaultFormat();
    if (QFileInfo::exists(QString::fromStdString(format))) ReadFormatFile(liner, format, prompter);
    EnsureStandardFonts(liner);

    PrintJobRequest request;
    request.files = args.files;
    request.copies = args.copies ? args.copies : 1;
    if (args.margins) request.page = *args.margins;
    request.page.print2Up = args.twoUp;
    request.page.printNUp = args.nUp;
    request.page.bleed.twips = static_cast<int16_t>(args.bleed.value_or(0));
    request.documentName = QStringLiteral("Reelcard");
    request.warnSongFit = true;
    return request;
}

// The liner files go through the program's own print job to a printer, as
// one job that is sent only when every file printed in all its copies.
int PrintToPrinter(const PrintArgs& args, ConsolePrompter& prompter) {
    std::optional<QString> named = *args.printer;
    if (args.printer->isEmpty()) named = DefaultPrinterName();
    if (!named) {
        ReportPrintError(prompter, IDS_PRINT_START_DOC_FAILED, -1, LoadString(IDS_PRINT_SYSTEM_NO_ANSWER));
        return kExitFile;
    }
    const QString name = *named;
    if (name.isEmpty()) {
        ReportCommonDialogError(prompter, 0x1008);  // "No default printer was found"
        return kExitFile;
    }
    const PrinterQueueState state = QueryPrinterQueue(name);
    if (state != PrinterQueueState::Ready) {
        ReportPrintError(prompter, IDS_PRINT_START_DOC_FAILED, -1, PrinterStateLine(state, name));
        return kExitFile;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(name);
    // The painter's origin at the paper's corner, as in the program.
    printer.setFullPage(true);
    if (args.paperGiven) printer.setPageSize(QPageSize(args.paper));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setCopyCount(1);

    Liner liner;
    PrintJobRequest request = PrintRequest(args, liner, prompter);
    request.wholeOrNothing = true;
    PrinterDevice device(printer);
    PrintProgress progress;
    const PrintJobResult result = RunPrintJob(device, liner, request, prompter, progress);
    return result.complete && !result.picturesMissing ? kExitOk : kExitFile;
}

// The liner files go through the program's own print job, into a PDF written
// beside the output and put in its place only when every file printed.
int Print(const PrintArgs& args, ConsolePrompter& prompter) {
    if (args.printer) return PrintToPrinter(args, prompter);
    Liner liner;
    const PrintJobRequest request = PrintRequest(args, liner, prompter);

    PdfPrintDevice device(QString::fromStdString(args.output), args.paper);
    PrintProgress progress;
    const PrintJobResult result = RunPrintJob(device, liner, request, prompter, progress);
    if (!result.complete) return kExitFile;  // the job said why; the old file stays
    // Sheets of one card with bleed say where it is cut and how far it bleeds.
    if (!device.Commit() ||
        (!result.sheetCards.empty() && !AddPdfCardBoxesToFile(QString::fromStdString(args.output), result.sheetCards))) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
        return kExitFile;
    }
    return result.picturesMissing ? kExitFile : kExitOk;
}

struct SongsArgs {
    std::string liner;
    std::string output;
    std::optional<TapeLength> tape;
    bool fillA = false;
    bool artist = false;
    bool numbers = false;
    bool fit = false;
    bool noCover = false;
    QStringList sources;
    std::optional<AlbumSource> album;  // --release, --disc-toc or --cd
};

std::optional<SongsArgs> ParseSongsArgs(const QStringList& list) {
    SongsArgs args;
    bool tapeGiven = false;
    for (qsizetype i = 2; i < list.size(); ++i) {
        const QString a = list[i];
        const bool hasValue = i + 1 < list.size();
        bool* flag = a == "--fill-a"    ? &args.fillA
                     : a == "--artist"  ? &args.artist
                     : a == "--numbers" ? &args.numbers
                     : a == "--fit"     ? &args.fit
                     : a == "--no-cover" ? &args.noCover
                                        : nullptr;
        if (flag) {
            if (*flag) return Bad(a.toStdString() + " given twice");
            *flag = true;
        } else if (a == "-o" || a == "--output") {
            if (!hasValue) return Bad(a.toStdString() + " needs a file name");
            if (!args.output.empty()) return Bad("-o given twice");
            args.output = list[++i].toStdString();
        } else if (a == "--tape") {
            if (tapeGiven) return Bad("--tape given twice");
            args.tape = hasValue ? ParseTapeLength(list[++i]) : std::nullopt;
            if (!args.tape) {
                return Bad("--tape must be C46, C60, C90, C100, C120 or a number of minutes");
            }
            tapeGiven = true;
        } else if (a == "--release" || a == "--disc-toc" || a == "--cd") {
            // One album, and a malformed one refused before anything is asked.
            if (args.album) return Bad("one of --release, --disc-toc and --cd, once");
            AlbumSource album;
            if (a == "--cd") {
                album.readDrive = true;
                if (hasValue && list[i + 1].startsWith("/dev/")) album.device = list[++i];
            } else if (!hasValue) {
                return Bad(a.toStdString() + " needs a value");
            } else if (a == "--release") {
                const std::optional<QString> id = ParseReleaseId(list[++i]);
                if (!id) return Bad("--release must be a release's MBID or its musicbrainz.org address");
                album.releaseId = *id;
            } else {
                album.toc = ParseDiscToc(list[++i]);
                if (!album.toc) {
                    return Bad("--disc-toc must be FIRST LAST LEADOUT and one rising OFFSET a track");
                }
            }
            args.album = album;
        } else if (a.startsWith('-') && a != "-") {
            return Bad("unknown option '" + a.toStdString() + "'");
        } else if (args.liner.empty()) {
            args.liner = a.toStdString();
        } else {
            args.sources << a;
        }
    }
    if (args.liner.empty()) return Bad("no LINER given");
    if (args.output.empty()) return Bad("songs needs -o OUT");
    if (args.sources.isEmpty() && !args.album) return Bad("no SOURCE given");
    if (!args.sources.isEmpty() && args.album) return Bad("SOURCE... and --release, --disc-toc or --cd exclude each other");
    // Filling Side A first needs a side's length.
    if (args.fillA && !args.tape) return Bad("--fill-a needs --tape");
    if (args.album) args.album->cover = !args.noCover;
    return args;
}

void PrintNote(const QString& note) {
    std::fprintf(stderr, "reelcard-cli: %s\n", note.toStdString().c_str());
}

// Puts the songs of the sources on the liner's two sides and writes it.
int Songs(const SongsArgs& args, ConsolePrompter& prompter) {
    Liner liner;
    Args read;
    read.input = args.liner;
    if (!ReadAny(liner, read, prompter)) return kExitFile;
    EnsureStandardFonts(liner);

    std::optional<TrackImport> import;
    std::optional<CoverImage> cover;
    if (args.album) {
        QString why;
        std::optional<AlbumTracks> album = FetchAlbum(*args.album, &why);
        if (!album) {
            PrintNote(why);
            return kExitFile;
        }
        import = std::move(album->import);
        cover = CoverFromBytes(album->cover, QStringLiteral("the Cover Art Archive"));
    } else {
        TrackListError error;
        import = ReadTrackSources(args.sources, &error);
        if (!import) {
            PrintNote(error.Message());
            return kExitFile;
        }
    }
    std::vector<int> lengths;
    for (const Track& t : import->tracks) lengths.push_back(t.seconds);
    const TapeSplit split =
        SplitSongs(lengths, args.tape, args.fillA ? SplitMode::FillSideAFirst : SplitMode::Balanced);
    RowOptions rows;
    rows.artist = args.artist || SeveralArtists(import->tracks);
    rows.numbers = args.numbers;
    const std::optional<SongTexts> texts =
        MakeSongTexts(import->tracks, split.sideACount, rows, import->album, import->albumArtist, &liner.fonts);
    if (!texts) {
        PrintNote(QStringLiteral("the songs are too many to be kept in a liner"));
        return kExitFile;
    }
    PutSongTexts(liner, *texts);
    for (const QString& note : ImportNotes(*import, &*texts, split, args.tape)) PrintNote(note);

    if (args.fit) {
        const SongFitResult fit = FitSongs(liner);
        if (!fit.fits) {
            PrintNote(QStringLiteral("even at 6 pt %1 of the songs do not fit; the fonts were not changed")
                          .arg(fit.songsLeftOut));
        }
    }
    if (!args.album && !args.noCover) cover = FindCover(import->tracks);
    // The cover goes beside the liner, and away again when the liner cannot
    // be written.
    const QString output = QString::fromStdString(args.output);
    std::optional<QString> coverFile;
    bool coverCreated = false;
    // A panel the songs leave free where the format has one, else the title area.
    const std::vector<CoverArea> areas = cover ? CoverAreas(liner) : std::vector<CoverArea>{CoverArea{}};
    const CoverArea& area = areas[DefaultCoverArea(areas, liner)];
    if (cover && area.kind == CoverArea::Kind::None) {
        PrintNote(QStringLiteral("the format has no place for the cover from %1; it was left out").arg(cover->source));
        cover.reset();
    }
    if (cover) {
        QString why;
        coverFile = WriteCoverBeside(output, *cover, &coverCreated, &why);
        if (!coverFile) {
            PrintNote(why);
            return kExitFile;
        }
        if (!PlaceCover(liner, output, *coverFile, area.place, prompter)) {
            if (coverCreated) QFile::remove(QFileInfo(output).absoluteDir().filePath(*coverFile));
            return kExitFile;
        }
        PrintNote(QStringLiteral("the cover from %1 is %2, placed in the %3").arg(cover->source, *coverFile, area.Name()));
    }
    if (!WriteAny(liner, args.output, prompter)) {
        if (coverCreated) QFile::remove(QFileInfo(output).absoluteDir().filePath(*coverFile));
        return kExitFile;
    }

    const size_t counts[2] = {split.sideACount, import->tracks.size() - split.sideACount};
    const int totals[2] = {split.sideASeconds, split.sideBSeconds};
    for (int side = 0; side < 2; ++side) {
        QString line = QStringLiteral("Side %1: %2 %3, %4")
                           .arg(side == 0 ? 'A' : 'B')
                           .arg(counts[side])
                           .arg(counts[side] == 1 ? "song" : "songs")
                           .arg(FormatLength(totals[side]));
        if (args.tape) line += QStringLiteral(" of %1").arg(FormatLength(args.tape->SideSeconds()));
        std::printf("%s\n", line.toStdString().c_str());
    }
    return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
}

// Qt's own diagnostics (an unset XDG_RUNTIME_DIR in a container or under
// cron, font and platform notes) are no concern of a script's: the tool
// prints only its own messages.  A fatal one still ends the program.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) return;
    std::fprintf(stderr, "reelcard-cli: %s\n", message.toLocal8Bit().constData());
}

bool IsRenderCall(int argc, char** argv) {
    return argc >= 2 && (std::string(argv[1]) == "render" || std::string(argv[1]) == "print" ||
                         std::string(argv[1]) == "songs");
}

}  // namespace

int main(int argc, char** argv) {
    // Help and version need nothing else, whatever else the line holds.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (a == "--version" && i == 1) {
            std::printf("reelcard-cli %s\n", ProgramVersion());
            return kExitOk;
        }
    }
    qInstallMessageHandler(QuietQtMessages);
    // Rendering needs fonts, and so a GUI application, but never a display.
    std::unique_ptr<QCoreApplication> app;
    if (IsRenderCall(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    KeepImageThreadsReady();
    ConsolePrompter prompter;
    if (app->arguments().size() >= 2 && app->arguments()[1] == "print") {
        auto printArgs = ParsePrintArgs(app->arguments());
        if (!printArgs) return UsageError(usageError);
        return Print(*printArgs, prompter);
    }
    if (app->arguments().size() >= 2 && app->arguments()[1] == "songs") {
        auto songsArgs = ParseSongsArgs(app->arguments());
        if (!songsArgs) return UsageError(usageError);
        return Songs(*songsArgs, prompter);
    }
    if (app->arguments().size() >= 2 && app->arguments()[1] == "lookup") {
        if (app->arguments().size() != 3 || app->arguments()[2].trimmed().isEmpty()) {
            return UsageError("lookup takes one QUERY");
        }
        return LookupCommand(app->arguments()[2]);
    }
    auto args = ParseArgs(app->arguments());
    if (!args) return UsageError(usageError);
    if ((args->mergeGiven || !args->format.empty()) && args->command == "import") {
        return UsageError("import takes no --merge or --format");
    }
    if (args->dpi != 0 && args->command != "render") return UsageError("--dpi is for render only");
    if (args->bleed && (args->command != "render" || !EndsWith(args->output, ".pdf"))) {
        return UsageError("--bleed is for render to a PDF and for print");
    }
    // A format named but missing would otherwise pass unnoticed whenever the
    // file needs no merge.
    if (!args->format.empty() && !QFileInfo(QString::fromStdString(args->format)).isFile()) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_OPEN_FILE, {args->format});
        return kExitFile;
    }
    if (args->command == "render") {
        if (args->mergeGiven) return UsageError("render takes no --merge");
        if (args->output.empty()) return UsageError("render needs -o OUT");
        if (!(EndsWith(args->output, ".png") || EndsWith(args->output, ".pdf") || EndsWith(args->output, ".svg"))) {
            return UsageError("OUT must end in .png, .pdf or .svg");
        }
        return Render(*args, prompter);
    }
    if (args->command == "export") return Export(*args, prompter);
    if (args->output.empty()) return UsageError(args->command + " needs -o OUT");
    if (args->command == "import") return Import(*args, prompter);
    if (args->command == "convert") return Convert(*args, prompter);
    return UsageError("unknown command '" + args->command + "'");
}
