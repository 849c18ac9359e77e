#include "app/startup.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Written out here: Qt's help text needs the application object, and --help must work
// where no display is.
const char HelpText[] =
    "Usage: brevane [FILE.BRV] [--report]\n"
    "\n"
    "Orvik Brevane: sets up the 64 outgoing and 64 incoming links of a lighting-control\n"
    "network controller (NC), keeps them in *.BRV files and downloads them to / uploads\n"
    "them from the NC over a serial port. With FILE.BRV, the window opens that file at\n"
    "start, as File > Open does. With --report, no window opens: the site record of\n"
    "FILE.BRV (brevane-cli report) is written beside it as FILE.pdf and shown in the\n"
    "system's PDF viewer; a failure is told in a message box.\n"
    "\n"
    "Options:\n"
    "  --report       Write and show FILE.pdf, the file's site record.\n"
    "  -h, --help     This help.\n"
    "  -v, --version  The program's name and version.\n";

} // namespace

StartUp parseStartUp(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption report(QStringLiteral("report"), QString());
    parser.addOptions({help, version, report});
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        return {StartUp::Help, {}, QString::fromLatin1(HelpText)};
    }
    if (parser.isSet(version)) {
        return {StartUp::Version, {}, QStringLiteral("brevane " BREVANE_VERSION "\n")};
    }
    const QStringList files = parser.positionalArguments();
    QString problem;
    if (!parsed) {
        problem = parser.errorText();
    } else if (files.size() > 1) {
        problem = QStringLiteral("one file at most, not %1").arg(files.size());
    } else if (parser.isSet(report) && files.isEmpty()) {
        problem = QStringLiteral("--report needs a file");
    }
    if (!problem.isEmpty()) {
        return {StartUp::Refuse,
                {},
                QStringLiteral("brevane: %1 (see 'brevane --help')\n").arg(problem)};
    }
    return {parser.isSet(report) ? StartUp::Report : StartUp::Run,
            files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath(),
            {}};
}
