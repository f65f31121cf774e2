// reelcard-cli run as a user's script runs it: its exit status and what it
// said on standard error.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>

struct CliRun {
    int status = -1;
    std::string err;
};

inline CliRun Cli(const QStringList& args,
                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(REELCARD_BIN_DIR "/reelcard-cli"), args);
    process.closeWriteChannel();
    CliRun run;
    if (!process.waitForFinished(60000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = process.readAllStandardError().toStdString();
    return run;
}
