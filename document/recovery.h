// Copies of unsaved changes, kept against a crash.  Each running program
// writes its own copy (a normal liner file named after its run) and holds
// a lock beside it for as long as it runs, so a copy whose lock nobody holds
// was left behind by a program that ended abnormally.  Two programs running
// at once never offer each other's copies.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/liner.h"

class QLockFile;
class QObject;

class RecoveryCopies {
public:
    explicit RecoveryCopies(std::string folder);
    ~RecoveryCopies();

    // Keeps the Liner ready for a fatal signal, which then writes it as this
    // run's copy, with the path of the file it belongs to (empty for an
    // untitled liner).  Called after every change.
    void Arm(const Liner& liner, const QString& originalPath);
    // Writes the armed Liner as this run's copy now (atomically, as saves
    // are).  Nothing is shown; false when it could not be written.
    bool Write();
    // Removes this run's copy (after a save, New, Open, a clean exit).
    void Remove();
    bool written() const { return written_; }
    const std::string& copyPath() const { return copyPath_; }

    // A copy a run that ended abnormally left behind.  While it exists, this
    // run holds its lock: no other program offers it meanwhile (unless the
    // lock could not be made, on a full disk).  Only whole copies are
    // offered: anything else under a copy's name (no plain file, too large,
    // no liner file of this version) is set aside as damaged.
    struct Left {
        std::string copyPath;
        QString originalPath;  // empty: the liner had no file
        std::shared_ptr<QLockFile> lock;
    };
    std::vector<Left> LeftBehind() const;
    // Removes a left copy (Discard, or once it was recovered).
    static void Discard(const Left& left);
    // Keeps a copy that cannot be read for the user under a name that is not
    // offered again; gives that name.
    static std::string SetAside(const Left& left);

    // Makes a fatal signal (a crash, an abort, a kill that can be caught)
    // write the armed Liner before the program ends, with raw system calls,
    // and say on standard error which signal ended the program and where
    // the changes went.  A closed pipe (SIGPIPE) no longer ends it.
    static void InstallCrashHandler();
    // Makes a request to end from outside (SIGTERM at a shutdown, SIGHUP from
    // a terminal that closed, SIGINT from Ctrl+C) call `end` with the signal
    // on `context`'s thread, so that the program can end in order; a second
    // request while that runs ends it as a crash would.  Null `context`: those
    // signals end the program as a crash would again.
    static void EndInOrderOn(QObject* context, std::function<void(int signal)> end);
    // Ends this run's hold on its copy (the program ends): the copy, if one
    // was written, is offered at the next start.
    void Release();

private:
    std::string folder_;
    std::string copyPath_, pathFile_, lockPath_;
    std::unique_ptr<QLockFile> lock_;
    std::vector<uint8_t> bytes_;
    QString armedPath_;
    bool armed_ = false;
    bool written_ = false;
};
