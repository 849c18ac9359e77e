#include "tests/cli/clirun.h"

#include <QFile>
#include <QProcess>

namespace {

constexpr int Patience = 120000; // ms; only reached when something is broken

} // namespace

CliRun runCli(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(BREVANE_CLI), arguments);
    CliRun run;
    if (!process.waitForFinished(Patience) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(Patience);
    } else {
        run.status = process.exitCode();
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
