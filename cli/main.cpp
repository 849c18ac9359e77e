// brevane-cli: the command-line companion of the window, for scripts and site work:
// show and compare configuration files, download, upload and verify a controller.

#include <QCoreApplication>
#include <QIODevice>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "cli/commandtable.h"
#include "cli/reportcommand.h"
#include "cli/terminal.h"

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app = cliApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevane-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    Console console{out, err, isTerminal(stderr)};
    const int status = runCli(QCoreApplication::arguments(), console);
    out.flush();
    // Results that never reached their file (a full disk) are no success.
    if (out.status() != QTextStream::Ok) {
        printProblem(
            console,
            QStringLiteral("cannot write the output: %1").arg(out.device()->errorString()));
        err.flush();
        return status == StatusOk ? StatusBadUsage : status;
    }
    err.flush();
    return status;
}
