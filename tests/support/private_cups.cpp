#include "support/private_cups.h"

#include <cups/cups.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <csignal>

namespace {

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kBackend[] = "/usr/lib/cups/backend/cups-pdf";
constexpr char kPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
const QString kLpstat = QStringLiteral("/usr/bin/lpstat");
const QString kLpadmin = QStringLiteral("/usr/sbin/lpadmin");
const QString kCupsdisable = QStringLiteral("/usr/sbin/cupsdisable");
// Where cups-pdf looks for its configuration; only the scheduler's private
// mount namespace sees ours there.
constexpr char kCupsPdfConfigFolder[] = "/etc/cups";

bool WriteText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

// Runs a program to its end; its exit code, or -1.
int Run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
        QString* output, int ms = 30000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(ms)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    if (output) *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

PrivateCups::PrivateCups() = default;

PrivateCups::~PrivateCups() {
    Stop();
}

QString PrivateCups::Path(const QString& name) const {
    return dir_ ? dir_->filePath(name) : QString();
}

QString PrivateCups::socket() const {
    return Path(QStringLiteral("cups.sock"));
}

QProcessEnvironment PrivateCups::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), socket());
    // Nothing from the user's own printer choices.
    env.remove(QStringLiteral("LPDEST"));
    env.remove(QStringLiteral("PRINTER"));
    return env;
}

bool PrivateCups::Start() {
    if (::geteuid() != 0) {
        why_ = "the private print scheduler needs root (the cups-pdf backend runs only as root)";
        return false;
    }
    for (const char* needed :
         {kCupsd, kBackend, kPpd, "/usr/sbin/lpadmin", "/usr/bin/lpstat", "/usr/bin/unshare"}) {
        if (!QFileInfo::exists(QString::fromLatin1(needed))) {
            why_ = std::string(needed) +
                   " is missing: cups and printer-driver-cups-pdf are not installed "
                   "(scripts/install-deps.sh installs them)";
            return false;
        }
    }
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/rcups-XXXXXX"));
    if (!dir_->isValid()) {
        why_ = "no temporary folder for the print scheduler";
        return false;
    }
    // REELCARD_KEEP_CUPS=1 keeps the folder (logs, queue output) for a look.
    dir_->setAutoRemove(qEnvironmentVariableIsEmpty("REELCARD_KEEP_CUPS"));
    // The filters run as the scheduler's user and read the spool inside.
    QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther);
    const QDir root(dir_->path());
    for (const char* folder : {"conf", "log", "out", "cups-pdf"})
        root.mkpath(QString::fromLatin1(folder));

    const QString d = dir_->path();
    bool written = WriteText(
        Path("conf/cupsd.conf"),
        QStringLiteral("LogLevel info\n"
                       "Listen %1\n"
                       "Browsing No\n"
                       "WebInterface No\n"
                       "DefaultAuthType None\n"
                       "ErrorPolicy abort-job\n"
                       "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                       "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                       "</Policy>\n")
            .arg(socket()));
    written = written &&
              WriteText(Path("conf/cups-files.conf"), QStringLiteral("ServerRoot %1/conf\n"
                                                                     "RequestRoot %1/spool\n"
                                                                     "StateDir %1/state\n"
                                                                     "CacheDir %1/cache\n"
                                                                     "ServerBin /usr/lib/cups\n"
                                                                     "DataDir /usr/share/cups\n"
                                                                     "ErrorLog %1/log/error_log\n"
                                                                     "AccessLog %1/log/access_log\n"
                                                                     "PageLog %1/log/page_log\n"
                                                                     "Printcap %1/state/printcap\n"
                                                                     "FileDevice No\n"
                                                                     "User lp\n"
                                                                     "Group lp\n"
                                                                     "SystemGroup root\n")
                                                          .arg(d));
    // Every job's PDF is named after its job number ("Label 1"), and the
    // pages stay as the job sent them (no turning by the text's direction).
    written =
        written &&
        WriteText(Path("cups-pdf/cups-pdf.conf"),
                  QStringLiteral("Out %1/out\n"
                                 "AnonDirName %1/out\n"
                                 "Spool %1/cups-pdf-spool\n"
                                 "Log %1/log\n"
                                 "Label 1\n"
                                 "Grp lp\n"
                                 "GSCall %s -q -dCompatibilityLevel=%s -dNOPAUSE -dBATCH -dSAFER "
                                 "-sDEVICE=pdfwrite -sOutputFile=\"%s\" -dAutoRotatePages=/None "
                                 "-dAutoFilterColorImages=false -dColorImageFilter=/FlateEncode "
                                 "-dPDFSETTINGS=/prepress -c -f %s\n")
                      .arg(d));
    if (!written) {
        why_ = "cannot write the print scheduler's configuration";
        return false;
    }

    cupsd_ = std::make_unique<QProcess>();
    cupsd_->setStandardOutputFile(Path("log/cupsd.out"));
    cupsd_->setStandardErrorFile(Path("log/cupsd.out"), QIODevice::Append);
    // Should the test die, the kernel takes the scheduler with it.
    cupsd_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    cupsd_->start(
        QStringLiteral("/usr/bin/unshare"),
        {"--mount", "--propagation", "private", "--", "/bin/sh", "-c",
         "mount --bind \"$1\" \"$2\" && exec \"$3\" -f -c \"$4\" -s \"$5\"", "sh", Path("cups-pdf"),
         QString::fromLatin1(kCupsPdfConfigFolder), QString::fromLatin1(kCupsd),
         Path("conf/cupsd.conf"), Path("conf/cups-files.conf")});
    if (!cupsd_->waitForStarted(10000)) {
        why_ = "cannot run unshare for the print scheduler";
        cupsd_.reset();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        if (cupsd_->state() == QProcess::NotRunning) break;
        QString out;
        if (QFileInfo::exists(socket()) && Run(kLpstat, {"-r"}, Environment(), &out, 5000) == 0 &&
            out.contains("is running")) {
            hadServer_ = qEnvironmentVariableIsSet("CUPS_SERVER");
            savedServer_ = qgetenv("CUPS_SERVER");
            qputenv("CUPS_SERVER", socket().toLocal8Bit());
            qunsetenv("LPDEST");
            qunsetenv("PRINTER");
            // This process may have asked the print system something before.
            cupsSetServer(socket().toLocal8Bit().constData());
            return true;
        }
        QThread::msleep(50);
    }
    QFile out(Path("log/cupsd.out"));
    out.open(QIODevice::ReadOnly);
    why_ = "the private print scheduler did not start: " + out.readAll().trimmed().toStdString() +
           Log();
    Stop();
    return false;
}

void PrivateCups::Stop() {
    if (cupsd_) {
        if (cupsd_->state() != QProcess::NotRunning) {
            cupsd_->terminate();
            if (!cupsd_->waitForFinished(10000)) {
                cupsd_->kill();
                cupsd_->waitForFinished(5000);
            }
        }
        cupsd_.reset();
        if (hadServer_) {
            qputenv("CUPS_SERVER", savedServer_);
        } else {
            qunsetenv("CUPS_SERVER");
        }
        cupsSetServer(nullptr);
    }
}

bool PrivateCups::Admin(const QString& tool, const QStringList& args) {
    QString out;
    if (Run(tool, args, Environment(), &out) == 0) return true;
    why_ = (tool + " " + args.join(' ') + ": " + out).toStdString();
    return false;
}

bool PrivateCups::AddPdfQueue(const QString& name) {
    return Admin(kLpadmin, {"-p", name, "-E", "-v", "cups-pdf:/", "-P", QString::fromLatin1(kPpd)});
}

bool PrivateCups::SetDefault(const QString& name) {
    return Admin(kLpadmin, {"-d", name});
}

bool PrivateCups::StopQueue(const QString& name) {
    return Admin(kCupsdisable, {name});
}

bool PrivateCups::RemoveQueue(const QString& name) {
    return Admin(kLpadmin, {"-x", name});
}

std::vector<PrivateCups::Job> PrivateCups::Jobs() const {
    QString out;
    std::vector<Job> jobs;
    if (Run(kLpstat, {"-W", "all", "-o"}, Environment(), &out) != 0) return jobs;
    static const QRegularExpression line(QStringLiteral("^(\\S+)-(\\d+)\\s"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();) {
        const auto match = it.next();
        jobs.push_back({match.captured(1), match.captured(2).toInt()});
    }
    std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.id < b.id; });
    return jobs;
}

bool PrivateCups::WaitUntilIdle(int ms) const {
    QElapsedTimer clock;
    clock.start();
    do {
        QString out;
        if (Run(kLpstat, {"-o"}, Environment(), &out) == 0 && out.trimmed().isEmpty()) return true;
        QThread::msleep(100);
    } while (clock.elapsed() < ms);
    return false;
}

QString PrivateCups::OutputOf(int id) const {
    const QStringList found =
        QDir(Path("out")).entryList({QStringLiteral("*-job_%1.pdf").arg(id)}, QDir::Files);
    return found.size() == 1 ? Path("out/" + found.front()) : QString();
}

std::string PrivateCups::Log() const {
    QFile log(Path("log/error_log"));
    if (!log.open(QIODevice::ReadOnly)) return {};
    return log.readAll().right(4000).toStdString();
}

// ---- poppler --------------------------------------------------------------------------

namespace {

QByteArray Poppler(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(30000)) return {};
    return process.readAllStandardOutput();
}

// The box of every dark pixel of a binary PGM (P5) image, in pixels.
bool InkedBox(const QByteArray& pgm, int& left, int& top, int& right, int& bottom) {
    // Header: "P5", width, height, maxval, each after white space.
    QList<QByteArray> fields;
    qsizetype at = 0;
    while (fields.size() < 4 && at < pgm.size()) {
        while (at < pgm.size() && std::isspace(static_cast<unsigned char>(pgm[at]))) ++at;
        qsizetype end = at;
        while (end < pgm.size() && !std::isspace(static_cast<unsigned char>(pgm[end]))) ++end;
        fields.push_back(pgm.mid(at, end - at));
        at = end;
    }
    ++at;  // the single white space before the pixels
    if (fields.size() < 4 || fields[0] != "P5") return false;
    const int width = fields[1].toInt(), height = fields[2].toInt();
    if (width <= 0 || height <= 0 || fields[3].toInt() > 255 ||
        pgm.size() - at < qsizetype(width) * height) {
        return false;
    }
    left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const unsigned char*>(pgm.constData() + at + qsizetype(y) * width);
        for (int x = 0; x < width; ++x) {
            if (row[x] >= 160) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right >= 0;
}

}  // namespace

std::vector<PdfPageInfo> ReadPdfPages(const QString& pdf, int dpi) {
    std::vector<PdfPageInfo> pages;
    const QString info = QString::fromUtf8(Poppler("pdfinfo", {"-f", "1", "-l", "9999", pdf}));
    static const QRegularExpression size(
        QStringLiteral("^Page\\s+(\\d+) size:\\s+([\\d.]+) x ([\\d.]+) pts"),
        QRegularExpression::MultilineOption);
    for (auto it = size.globalMatch(info); it.hasNext();) {
        const auto match = it.next();
        PdfPageInfo page;
        page.width = match.captured(2).toDouble();
        page.height = match.captured(3).toDouble();
        pages.push_back(page);
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        const QString n = QString::number(i + 1);
        const QByteArray pgm =
            Poppler("pdftoppm", {"-r", QString::number(dpi), "-gray", "-f", n, "-l", n, pdf});
        int left = 0, top = 0, right = 0, bottom = 0;
        if (!InkedBox(pgm, left, top, right, bottom)) continue;
        const double scale = 72.0 / dpi;
        pages[i].inked = true;
        pages[i].left = left * scale;
        pages[i].top = top * scale;
        pages[i].right = (right + 1) * scale;
        pages[i].bottom = (bottom + 1) * scale;
    }
    return pages;
}

void SnapshotPdfPage(const QString& pdf, int page, const QString& pngBase, int dpi) {
    const QString n = QString::number(page);
    Poppler("pdftoppm",
            {"-r", QString::number(dpi), "-png", "-singlefile", "-f", n, "-l", n, pdf, pngBase});
}
