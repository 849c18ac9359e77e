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

// What a console program printed, with Windows' CR LF line ends read as LF.
inline QString consoleText(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
#ifdef Q_OS_WIN
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return text;
}

inline CliRun runCli(const QStringList& arguments) {
    QProcess process; // killed on the way out if it hangs
    process.start(QStringLiteral(BREVANE_CLI), arguments);
    CliRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.out = consoleText(process.readAllStandardOutput());
    run.err = consoleText(process.readAllStandardError());
    return run;
}
