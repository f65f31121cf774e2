#include "document/recovery.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QRegularExpression>
#include <atomic>
#include <csignal>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "document/liner_file.h"
#include "platform/save_file.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// ---- what a fatal signal writes ----------------------------------------------------------
// Filled on the main thread; the handler only reads.
std::atomic<const std::vector<uint8_t>*> g_crashBytes{nullptr};
// The buffer replaced last: freed only at the next change, so that a handler
// that took it on another thread just before is not left reading freed memory.
const std::vector<uint8_t>* g_retiredBytes = nullptr;
char g_crashPath[4096];
char g_crashTemp[4096];

void SetCrashCopy(const std::vector<uint8_t>* bytes, const std::string& path) {
    // The handler sees no bytes while the path changes.
    const std::vector<uint8_t>* old = g_crashBytes.exchange(nullptr);
    delete g_retiredBytes;
    g_retiredBytes = old;
    if (!bytes) return;
    if (path.size() + 8 > sizeof g_crashPath) {
        delete bytes;
        return;
    }
    std::memcpy(g_crashPath, path.c_str(), path.size() + 1);
    std::memcpy(g_crashTemp, path.c_str(), path.size());
    std::memcpy(g_crashTemp + path.size(), ".crash", 7);
    g_crashBytes.store(bytes);
}

// ---- what the handler says ---------------------------------------------------------------
// Only write(2) and fixed texts: nothing that allocates or locks.

void Say(const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void SayNumber(long value) {
    char digits[24];
    char* at = digits + sizeof digits;
    *--at = '\0';
    const bool negative = value < 0;
    unsigned long rest = negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative) *--at = '-';
    Say(at);
}

const char* SignalName(int signal) {
    switch (signal) {
        case SIGSEGV: return "SIGSEGV, a segmentation fault";
        case SIGBUS: return "SIGBUS, a bus error";
        case SIGFPE: return "SIGFPE, an arithmetic fault";
        case SIGILL: return "SIGILL, an illegal instruction";
        case SIGABRT: return "SIGABRT, an abort";
        case SIGTERM: return "SIGTERM, a request to terminate";
        case SIGHUP: return "SIGHUP, its terminal or session closed";
        case SIGINT: return "SIGINT, an interrupt";
        default: return "an unexpected signal";
    }
}

// The thread that is writing the copy (0: none), so that a second fatal
// signal can tell a fault of the handler itself from another thread's.
std::atomic<pid_t> g_handlingThread{0};

extern "C" void OnFatalSignal(int signal) {
    const pid_t self = static_cast<pid_t>(::syscall(SYS_gettid));
    pid_t expected = 0;
    if (!g_handlingThread.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            // A fault while the copy was written: the copy is lost, the reason is not.
            Say("reelcard: ");
            Say(SignalName(signal));
            Say(" while the unsaved changes were being written\n");
            std::signal(signal, SIG_DFL);
            std::raise(signal);
            return;
        }
        // Another thread is writing the copy and then ends the program:
        // this one waits for that rather than ending it first.
        for (;;) ::pause();
    }
    // Said first, so that whatever follows, the end is never silent.
    Say("reelcard: ended by signal ");
    SayNumber(signal);
    Say(" (");
    Say(SignalName(signal));
    Say(")\n");
    const std::vector<uint8_t>* bytes = g_crashBytes.load();
    if (bytes) {
        const int fd = ::open(g_crashTemp, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        bool whole = false;
        if (fd >= 0) {
            size_t done = 0;
            while (done < bytes->size()) {
                const ssize_t n = ::write(fd, bytes->data() + done, bytes->size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            whole = done == bytes->size() && ::fsync(fd) == 0;
            ::close(fd);
            if (whole) whole = ::rename(g_crashTemp, g_crashPath) == 0;
            if (!whole) ::unlink(g_crashTemp);
        }
        if (whole) {
            Say("reelcard: the unsaved changes were kept in ");
            Say(g_crashPath);
            Say("\n");
        } else {
            Say("reelcard: the unsaved changes could not be kept\n");
        }
    }
    // Then the signal does what it would have done.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// ---- requests to end from outside -------------------------------------------------------
// The handler only writes the signal's number into a pipe; the window's
// thread reads it and ends the program in order.
std::atomic<int> g_requestPipe{-1};
const int kRequests[] = {SIGTERM, SIGHUP, SIGINT};

void InstallFatal(int signal);

extern "C" void OnRequestToEnd(int signal) {
    const int saved = errno;
    const int fd = g_requestPipe.load();
    if (fd < 0) {
        OnFatalSignal(signal);
        return;
    }
    // The next request, should the window's thread not get to this one, ends
    // the program at once.
    for (int request : kRequests) InstallFatal(request);
    const char byte = static_cast<char>(signal);
    if (::write(fd, &byte, 1) != 1) OnFatalSignal(signal);
    errno = saved;
}

void InstallHandler(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    // A request to end that comes while the copy is written waits for it.
    sigemptyset(&action.sa_mask);
    for (int request : kRequests) sigaddset(&action.sa_mask, request);
    action.sa_flags = flags;
    sigaction(signal, &action, nullptr);
}

bool g_ownStack = false;

// Kept for every thread (no SA_RESETHAND): a second thread's crash waits for
// the first one's copy instead of ending the program before it is written.
void InstallFatal(int signal) { InstallHandler(signal, OnFatalSignal, g_ownStack ? SA_ONSTACK : 0); }

// reelcard-<process>-<start>.cas: the run a copy belongs to (the start time
// keeps a later process with a reused number off an old copy).
const QRegularExpression& CopyName() {
    static const QRegularExpression name(QStringLiteral("^reelcard-\\d+-\\d+\\.cas$"));
    return name;
}

std::string Sibling(const std::string& copyPath, const char* suffix) {
    return copyPath.substr(0, copyPath.size() - 4) + suffix;
}

// A copy is always written as a liner file of this version; anything else
// found under a copy's name is damaged.
bool IsWholeCopy(const QString& path) {
    // The longest liner file: three texts, the fonts, features and pictures.
    constexpr qint64 kMostCopyBytes = 64LL * 1024 * 1024;
    const std::optional<QByteArray> bytes = ReadRegularFile(QFile::encodeName(path).toStdString(), kMostCopyBytes);
    if (!bytes) return false;
    const std::vector<uint8_t> data(bytes->begin(), bytes->end());
    Liner liner;
    return ParseLinerBytes(data, FileKind::Liner, liner) == ParseStatus::Ok;
}

}  // namespace

RecoveryCopies::RecoveryCopies(std::string folder) : folder_(std::move(folder)) {
    const QString name = QString("reelcard-%1-%2").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch());
    const QString base = QDir(Q(folder_)).filePath(name);
    copyPath_ = (base + ".cas").toStdString();
    pathFile_ = (base + ".path").toStdString();
    lockPath_ = (base + ".lock").toStdString();
}

RecoveryCopies::~RecoveryCopies() {
    if (armed_) SetCrashCopy(nullptr, {});
}

void RecoveryCopies::Arm(const Liner& liner, const QString& originalPath) {
    std::optional<std::vector<uint8_t>> bytes = SerializeLiner(liner, FileKind::Liner);
    if (!bytes) return;  // too long for a file: the last copy stays
    if (!lock_) {
        QDir().mkpath(Q(folder_));
        lock_ = std::make_unique<QLockFile>(Q(lockPath_));
        // Held for the whole run; only a dead owner makes it stale.
        lock_->setStaleLockTime(0);
        if (!lock_->tryLock(0)) lock_.reset();
    }
    if (!armed_ || originalPath != armedPath_) {
        const QByteArray path = originalPath.toUtf8();
        SaveFileAtomically(pathFile_, std::vector<uint8_t>(path.begin(), path.end()));
        armedPath_ = originalPath;
    }
    bytes_ = std::move(*bytes);
    armed_ = true;
    SetCrashCopy(new std::vector<uint8_t>(bytes_), copyPath_);
}

bool RecoveryCopies::Write() {
    if (!armed_) return false;
    written_ = SaveFileAtomically(copyPath_, bytes_) == SaveError::None;
    return written_;
}

void RecoveryCopies::Remove() {
    SetCrashCopy(nullptr, {});
    if (armed_ || written_) {
        QFile::remove(Q(copyPath_));
        QFile::remove(Q(pathFile_));
    }
    armed_ = false;
    written_ = false;
    bytes_.clear();
    armedPath_.clear();
}

std::vector<RecoveryCopies::Left> RecoveryCopies::LeftBehind() const {
    std::vector<Left> left;
    const QDir dir(Q(folder_));
    // Pipes, devices and links to them too: they are set aside, never read.
    const QStringList names = dir.entryList({"reelcard-*.cas"}, QDir::Files | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QString copy = dir.filePath(name);
        if (copy.toStdString() == copyPath_ || !CopyName().match(name).hasMatch()) continue;
        // A program that still runs holds the lock of its copy.  A lock that
        // cannot even be made (a full disk) says nothing of the sort: the
        // copy is offered all the same.
        auto lock = std::make_shared<QLockFile>(copy.left(copy.size() - 4) + ".lock");
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError) continue;
            lock.reset();
        }
        Left entry;
        entry.copyPath = copy.toStdString();
        entry.lock = lock;
        if (!IsWholeCopy(copy)) {
            SetAside(entry);
            continue;
        }
        if (const auto path = ReadRegularFile(Sibling(entry.copyPath, ".path"), 65535)) {
            entry.originalPath = QString::fromUtf8(*path);
        }
        left.push_back(std::move(entry));
    }
    return left;
}

void RecoveryCopies::Discard(const Left& left) {
    QFile::remove(Q(left.copyPath));
    QFile::remove(Q(Sibling(left.copyPath, ".path")));
}

std::string RecoveryCopies::SetAside(const Left& left) {
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss");
    const QFileInfo info(Q(left.copyPath));
    const QString aside = info.dir().filePath(QString("damaged-%1-%2.cas").arg(info.completeBaseName(), stamp));
    if (!QFile::rename(Q(left.copyPath), aside)) return left.copyPath;
    QFile::remove(Q(Sibling(left.copyPath, ".path")));
    return aside.toStdString();
}

void RecoveryCopies::InstallCrashHandler() {
    // A write to a pipe or socket whose reader is gone (a print command, a
    // helper program that ended) is an error that write reports, not a
    // reason to end the program without a word.
    std::signal(SIGPIPE, SIG_IGN);
    // A stack of its own on the window's thread, so that a stack that ran
    // out (runaway recursion) still gets the copy written and the end told.
    static char alternate[64 * 1024];
    stack_t stack {};
    stack.ss_sp = alternate;
    stack.ss_size = sizeof alternate;
    g_ownStack = sigaltstack(&stack, nullptr) == 0;
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM, SIGHUP, SIGINT}) InstallFatal(signal);
}

void RecoveryCopies::EndInOrderOn(QObject* context, std::function<void(int signal)> end) {
    static QPointer<QSocketNotifier> notifier;
    static int fds[2] = {-1, -1};
    g_requestPipe.store(-1);
    for (int request : kRequests) InstallFatal(request);
    delete notifier;
    for (int& fd : fds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    if (!context || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [end = std::move(end)] {
        char byte = 0;
        while (::read(fds[0], &byte, 1) == 1) {
            if (end) end(byte);
        }
    });
    g_requestPipe.store(fds[1]);
    for (int request : kRequests) InstallHandler(request, OnRequestToEnd, 0);
}

void RecoveryCopies::Release() {
    // The handler must not write a copy of a liner this run no longer holds.
    SetCrashCopy(nullptr, {});
    lock_.reset();
}
