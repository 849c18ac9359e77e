#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the real brevane-cli, started with the test's environment (its HOME).
struct CliRun {
    int status = -1; // -1: it did not end normally
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList& arguments) {
    QProcess process; // killed on the way out if it hangs
    process.start(QStringLiteral(BREVANE_CLI), arguments);
    CliRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
