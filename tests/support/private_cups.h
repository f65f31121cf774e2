// A print scheduler of the tests' own: cupsd in the foreground with its
// configuration, spool, logs and socket in a temporary folder, reached through
// CUPS_SERVER, with PDF queues of the cups-pdf backend whose output lands in
// that folder too.  The machine's own print system, its configuration and its
// default printer are never touched: cups-pdf reads its configuration from a
// fixed place, so the scheduler runs in a private mount namespace where our
// own configuration is mounted over that place.  The scheduler is stopped when
// the object goes, and the kernel stops it should the test process die.
//
// Needs root (the cups-pdf backend runs only as root, and the private mount
// namespace needs it); where it cannot start, why() says so and tests skip.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts the scheduler and points this process (and the processes it
    // starts) at it; false with why() when it cannot run here.
    bool Start();
    void Stop();
    const std::string& why() const { return why_; }
    QString socket() const;
    // The environment for a program that is to print here.
    QProcessEnvironment Environment() const;

    // Queue administration; false with the tool's output in why().
    bool AddPdfQueue(const QString& name);
    bool SetDefault(const QString& name);
    bool StopQueue(const QString& name);
    bool RemoveQueue(const QString& name);

    struct Job {
        QString queue;
        int id = 0;
    };
    // Every job the scheduler has had, finished or not, oldest first.
    std::vector<Job> Jobs() const;
    // Waits until no job is waiting or printing; false after `ms`.
    bool WaitUntilIdle(int ms = 60000) const;
    // The PDF that cups-pdf wrote for job `id`; empty when there is none.
    QString OutputOf(int id) const;
    // The scheduler's error log, for failure messages.
    std::string Log() const;

private:
    bool Admin(const QString& tool, const QStringList& args);
    QString Path(const QString& name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> cupsd_;
    std::string why_;
    QByteArray savedServer_;
    bool hadServer_ = false;
};

// What poppler reads from a PDF page: its size in points and the box around
// everything drawn on it (points from the page's top-left corner).
struct PdfPageInfo {
    double width = 0, height = 0;
    bool inked = false;
    double left = 0, top = 0, right = 0, bottom = 0;
};
// Every page of `pdf`: sizes from pdfinfo, the inked box from pdftoppm at
// `dpi` dots per inch.  Empty when poppler cannot read it.
std::vector<PdfPageInfo> ReadPdfPages(const QString& pdf, int dpi = 72);
// Writes page `page` (1-based) of `pdf` as a PNG beside it, for looking at.
void SnapshotPdfPage(const QString& pdf, int page, const QString& pngBase, int dpi = 36);
