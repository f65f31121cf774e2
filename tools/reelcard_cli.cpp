// reelcard-cli: the headless companion of Reelcard, for scripts and checks.
//
//   reelcard-cli export FILE [-o OUT.json]
//   reelcard-cli import FILE.json -o OUT
//   reelcard-cli convert IN -o OUT [--merge text|all] [--format FILE.fmt]
//   reelcard-cli render FILE -o OUT.png|OUT.pdf [--dpi N]
//   reelcard-cli print FILE... -o OUT.pdf|--printer [NAME|default] [--copies N] [--2up]
//                [--paper A4|Letter] [--margins L,R,T,B]
//
// Exit status: 0 success, 1 a file could not be read or written (or a printer
// refused the job), 2 usage.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
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
#include "platform/qt_surface.h"
#include "platform/strings.h"
#include "render/geometry.h"
#include "render/painter.h"
#include "render/print_job.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: reelcard-cli export FILE [-o OUT.json]\n"
    "       reelcard-cli import FILE.json -o OUT\n"
    "       reelcard-cli convert IN -o OUT [--merge text|all] [--format FILE.fmt]\n"
    "       reelcard-cli render FILE -o OUT.png|OUT.pdf [--dpi N]\n"
    "       reelcard-cli print FILE... -o OUT.pdf|--printer [NAME|default] [--copies N] [--2up]\n"
    "                    [--paper A4|Letter] [--margins L,R,T,B]\n"
    "A name ending in .fmt is a format file; any other name is a liner file.\n"
    "A liner file of the earlier generation is merged into the default format\n"
    "(or the one given with --format), as Text unless --merge all is given.\n"
    "render draws the liner as it prints: a PNG image of the paper at N dots\n"
    "per inch (300 unless given), or a one-page PDF of the paper's size.\n"
    "print prints the liners as the program does, into a PDF of A4 (unless\n"
    "Letter is given) sheets: each file in N copies (1 unless given), two to a\n"
    "sheet with --2up, within the margins (left, right, top, bottom, such as\n"
    "0.25in or 0.6cm; a bare number counts in inches; 0 unless given).  A liner\n"
    "that fits the sheet only turned gets a landscape page.  With --printer the\n"
    "sheets go to that printer (the default printer when no name or \"default\"\n"
    "is given) as one job, on its own paper unless --paper is given; a printer\n"
    "that does not exist, is stopped or refuses the job gets nothing.\n";

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

struct Args {
    std::string command;
    std::string input;
    std::string output;
    std::string format;  // the format an older file is merged into
    bool mergeAll = false;
    bool mergeGiven = false;
    int dpi = 0;  // render only; 0 when not given
};

std::optional<Args> ParseArgs(const QStringList& list) {
    Args args;
    if (list.size() < 2) return std::nullopt;
    args.command = list[1].toStdString();
    for (qsizetype i = 2; i < list.size(); ++i) {
        QString a = list[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= list.size() || !args.output.empty()) return std::nullopt;
            args.output = list[++i].toStdString();
        } else if (a == "--merge") {
            if (i + 1 >= list.size() || args.mergeGiven) return std::nullopt;
            QString how = list[++i].toLower();
            if (how != "all" && how != "text") return std::nullopt;
            args.mergeAll = how == "all";
            args.mergeGiven = true;
        } else if (a == "--dpi") {
            if (i + 1 >= list.size() || args.dpi != 0) return std::nullopt;
            bool ok = false;
            const int dpi = list[++i].toInt(&ok);
            if (!ok || dpi < 1 || dpi > kMaxDpi) return std::nullopt;
            args.dpi = dpi;
        } else if (a == "--format") {
            if (i + 1 >= list.size() || !args.format.empty()) return std::nullopt;
            args.format = list[++i].toStdString();
        } else if (a.startsWith('-') && a != "-") {
            return std::nullopt;
        } else if (args.input.empty()) {
            args.input = a.toStdString();
        } else {
            return std::nullopt;
        }
    }
    if (args.input.empty()) return std::nullopt;
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
        std::string format = args.format.empty() ? GetProgramFolder() + "/default.fmt" : args.format;
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
    QFile out(QString::fromStdString(args.output));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(json) != json.size() ||
        !out.flush()) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
        return kExitFile;
    }
    return kExitOk;
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
        std::fprintf(stderr, "reelcard-cli: %s: %s\n", args.input.c_str(),
                     doc.isNull() ? parseError.errorString().toStdString().c_str()
                                  : "the JSON must be an object");
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

bool WriteImage(const QImage& image, const std::string& path, Prompter& prompter) {
    if (image.save(QString::fromStdString(path), "PNG")) return true;
    ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {path});
    return false;
}

// The paper at `dpi`: its size in twips, rounded to whole pixels.
int PaperPixels(int twips, int dpi) { return std::max(1, TwipsToPixels(twips, dpi)); }

int Render(const Args& args, ConsolePrompter& prompter) {
    Liner liner;
    if (!ReadAny(liner, args, prompter)) return kExitFile;
    EnsureStandardFonts(liner);
    ResolvePictureFiles(liner, args.input);
    const LinerGeometry g = ComputeLinerGeometry(liner);
    const int paperWidth = g.width + 1;
    const int paperHeight = g.totalHeight + 1;

    PictureImages pictures;
    bool songFitWarning = true;
    PaintOptions options;
    options.printing = true;

    if (EndsWith(args.output, ".pdf")) {
        QPdfWriter writer(QString::fromStdString(args.output));
        writer.setCreator(QStringLiteral("Reelcard"));
        writer.setResolution(args.dpi ? std::max(args.dpi, 72) : 1200);
        writer.setPageSize(QPageSize(QSizeF(paperWidth / 1440.0, paperHeight / 1440.0), QPageSize::Inch,
                                     QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (!painter.begin(&writer)) {
            ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
            return kExitFile;
        }
        {
            QtSurface surface(painter);
            PaintLiner(surface, liner, options, pictures, prompter, songFitWarning);
        }
        if (!painter.end() || !QFileInfo(QString::fromStdString(args.output)).size()) {
            ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
            return kExitFile;
        }
        return kExitOk;
    }

    const int dpi = args.dpi ? args.dpi : kDefaultDpi;
    QImage image(PaperPixels(paperWidth, dpi), PaperPixels(paperHeight, dpi), QImage::Format_RGB32);
    if (image.isNull()) {
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
        return kExitFile;
    }
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QtSurface surface(painter, dpi, dpi);
        PaintLiner(surface, liner, options, pictures, prompter, songFitWarning);
    }
    return WriteImage(image, args.output, prompter) ? kExitOk : kExitFile;
}

struct PrintArgs {
    std::vector<std::string> files;
    std::string output;
    std::optional<QString> printer;  // empty: the default printer
    int copies = 0;  // 0 when not given
    bool twoUp = false;
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
            if (!hasValue || !args.output.empty()) return std::nullopt;
            args.output = list[++i].toStdString();
        } else if (a == "--printer") {
            if (args.printer) return std::nullopt;
            // The name is optional: a following option or nothing means the default.
            const bool named = hasValue && !list[i + 1].startsWith('-');
            const QString name = named ? list[++i] : QString();
            args.printer = name == QLatin1String("default") ? QString() : name;
        } else if (a == "--copies") {
            bool ok = false;
            const int copies = hasValue ? list[++i].toInt(&ok) : 0;
            if (!ok || args.copies != 0 || copies < 1 || copies > kMaxCopies) return std::nullopt;
            args.copies = copies;
        } else if (a == "--2up") {
            if (args.twoUp) return std::nullopt;
            args.twoUp = true;
        } else if (a == "--paper") {
            if (!hasValue || args.paperGiven) return std::nullopt;
            const QString paper = list[++i].toLower();
            if (paper == "a4") {
                args.paper = QPageSize::A4;
            } else if (paper == "letter") {
                args.paper = QPageSize::Letter;
            } else {
                return std::nullopt;
            }
            args.paperGiven = true;
        } else if (a == "--margins") {
            if (!hasValue || args.margins) return std::nullopt;
            args.margins = ParseMargins(list[++i]);
            if (!args.margins) return std::nullopt;
        } else if (a.startsWith('-') && a != "-") {
            return std::nullopt;
        } else {
            args.files.push_back(a.toStdString());
        }
    }
    if (args.files.empty()) return std::nullopt;
    if (args.printer ? !args.output.empty() : !EndsWith(args.output, ".pdf")) return std::nullopt;
    return args;
}

// The Liner the files are read into, and the job they make.
PrintJobRequest PrintRequest(const PrintArgs& args, Liner& liner, Prompter& prompter) {
    // An older liner file is merged into the default format, as the program
    // would merge it into the Liner it has open.
    const std::string format = GetProgramFolder() + "/default.fmt";
    if (QFileInfo::exists(QString::fromStdString(format))) ReadFormatFile(liner, format, prompter);
    EnsureStandardFonts(liner);

    PrintJobRequest request;
    request.files = args.files;
    request.copies = args.copies ? args.copies : 1;
    if (args.margins) request.page = *args.margins;
    request.page.print2Up = args.twoUp;
    request.documentName = QStringLiteral("Reelcard");
    request.warnSongFit = true;
    return request;
}

// The liner files go through the program's own print job to a printer, as
// one job that is sent only when every file printed in all its copies.
int PrintToPrinter(const PrintArgs& args, ConsolePrompter& prompter) {
    const QString name = args.printer->isEmpty() ? DefaultPrinterName() : *args.printer;
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
    return result.complete ? kExitOk : kExitFile;
}

// The liner files go through the program's own print job, into a PDF written
// beside the output and put in its place only when every file printed.
int Print(const PrintArgs& args, ConsolePrompter& prompter) {
    if (args.printer) return PrintToPrinter(args, prompter);
    Liner liner;
    const PrintJobRequest request = PrintRequest(args, liner, prompter);

    const QString output = QString::fromStdString(args.output);
    const QString partial = output + ".part";
    PrintJobResult result;
    {
        PdfPrintDevice device(partial, args.paper);
        PrintProgress progress;
        result = RunPrintJob(device, liner, request, prompter, progress);
    }
    if (!result.complete) {
        QFile::remove(partial);
        return kExitFile;
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        QFile::remove(partial);
        ShowMessage(prompter, MessageOwner::None(), ErrorStyle(), IDS_CANNOT_WRITE_FILE, {args.output});
        return kExitFile;
    }
    return kExitOk;
}

bool IsRenderCall(int argc, char** argv) {
    return argc >= 2 && (std::string(argv[1]) == "render" || std::string(argv[1]) == "print");
}

}  // namespace

int main(int argc, char** argv) {
    // Rendering needs fonts, and so a GUI application, but never a display.
    std::unique_ptr<QCoreApplication> app;
    if (IsRenderCall(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    ConsolePrompter prompter;
    if (app->arguments().size() >= 2 && app->arguments()[1] == "print") {
        auto printArgs = ParsePrintArgs(app->arguments());
        if (!printArgs) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        return Print(*printArgs, prompter);
    }
    auto args = ParseArgs(app->arguments());
    if (!args) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if ((args->mergeGiven || !args->format.empty()) && args->command == "import") {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (args->dpi != 0 && args->command != "render") {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (args->command == "render") {
        if (args->output.empty() || args->mergeGiven ||
            !(EndsWith(args->output, ".png") || EndsWith(args->output, ".pdf"))) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        return Render(*args, prompter);
    }
    if (args->command == "export") return Export(*args, prompter);
    if (args->command == "import" && !args->output.empty()) return Import(*args, prompter);
    if (args->command == "convert" && !args->output.empty()) return Convert(*args, prompter);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}
