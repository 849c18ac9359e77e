#include "app/startup.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Written out here: Qt's help text needs the application object, and --help must work
// where no display is.
const char HelpText[] =
    "Usage: brevane [FILE.BRV]\n"
    "\n"
    "Orvik Brevane: sets up the 64 outgoing and 64 incoming links of a lighting-control\n"
    "network controller (NC), keeps them in *.BRV files and downloads them to / uploads\n"
    "them from the NC over a serial port. With FILE.BRV, the window opens that file at\n"
    "start, as File > Open does.\n"
    "\n"
    "Options:\n"
    "  -h, --help     This help.\n"
    "  -v, --version  The program's name and version.\n";

} // namespace

StartUp parseStartUp(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
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
    }
    if (!problem.isEmpty()) {
        return {StartUp::Refuse,
                {},
                QStringLiteral("brevane: %1 (see 'brevane --help')\n").arg(problem)};
    }
    return {StartUp::Run,
            files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath(),
            {}};
}
