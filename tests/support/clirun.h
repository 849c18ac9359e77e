#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// What the run left in one of its output files.
inline QString outputText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? consoleText(file.readAll()) : QString();
}

inline CliRun runCli(const QStringList& arguments) {
    // Files rather than pipes: once, under Wine, a run's whole output never came through
    // the pipe, although the program ended as it should. A file holds what was written.
    const QTemporaryDir outputs;
    QProcess process; // killed on the way out if it hangs
    process.setStandardOutputFile(outputs.filePath(QStringLiteral("out")));
    process.setStandardErrorFile(outputs.filePath(QStringLiteral("err")));
    process.start(QStringLiteral(BREVANE_CLI), arguments);
    CliRun run;
    QString failure;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    } else {
        // Said where every test looks first, so that a crash or a failed start shows its cause.
        failure = QStringLiteral("[brevane-cli did not end normally: %1 (error %2)]\n")
                      .arg(process.errorString())
                      .arg(process.error());
    }
    process.close();
    run.out = outputText(outputs.filePath(QStringLiteral("out")));
    run.err = failure + outputText(outputs.filePath(QStringLiteral("err")));
    return run;
}
