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
    const bool ended =
        process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
