// brevane-nc-sim: a stand-in for the controller on a pseudo-terminal, for tests,
// benchmarks, and trying transfers without hardware.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

#include "files/brvfile.h"
#include "nc-sim/simulator.h"
#include "platform/linesettings.h"
#include "platform/serialport.h"

namespace {

[[noreturn]] void refuse(const QString& message) {
    std::fputs(qPrintable(QStringLiteral("brevane-nc-sim: %1\n").arg(message)), stderr);
    std::exit(2);
}

// ~/Orvik Tessaly Net/ports/COMn, made ready for our link. A link left by an earlier
// stand-in is replaced; one the user made to a real device, or a file, is left alone.
QString portLink(int port) {
    const QString folder = portsFolder();
    if (!QDir().mkpath(folder)) {
        refuse(QStringLiteral("cannot create %1").arg(folder));
    }
    QString link = folder + QStringLiteral("/COM%1").arg(port);
    const QFileInfo existing(link);
    if (existing.isSymLink()) {
        const QString target = existing.symLinkTarget();
        if (QFileInfo::exists(target) && !target.startsWith(QStringLiteral("/dev/pts/"))) {
            refuse(QStringLiteral("%1 already links to %2; remove it or choose another port")
                       .arg(link, target));
        }
    } else if (existing.exists()) {
        refuse(QStringLiteral("%1 exists and is not a link; remove it or choose another port")
                   .arg(link));
    }
    return link;
}

const QString Description = QStringLiteral(
    "A stand-in for the NC on a pseudo-terminal. Prints the line's path (or, with --port,\n"
    "the link's) as the first line of standard output and answers block writes, block\n"
    "reads and the checksum request until SIGINT or SIGTERM. Every frame in and out is\n"
    "logged on standard error.\n\n"
    "Faults (KIND for every frame, KIND@N for the N-th frame received, counted from 1):\n"
    "  silent  no reply (a block write is still stored)\n"
    "  badsum  reply with a wrong frame checksum\n"
    "  short   reply without its last character\n"
    "  extra   extra characters right after the reply, in the same write\n"
    "  lower   lower-case hex digits in the reply, checksum still right\n"
    "  high    checksum reply with a wrong high half of the image checksum\n"
    "  low     checksum reply with a wrong low half\n"
    "  junk    junk bytes right before the reply, in the same write\n"
    "  stale   junk bytes once the client has taken the reply\n"
    "  hangup  drop the line when the frame arrives (no reply, nothing stored),\n"
    "          then open a fresh one (relinked with --port, else its path printed)");

const QCommandLineOption PortOption(
    QStringLiteral("port"),
    QStringLiteral("Link ~/Orvik Tessaly Net/ports/COM<n> (n 1 to %1) to the line while running.")
        .arg(MaxPortNumber),
    QStringLiteral("n"));
const QCommandLineOption StateOption(
    QStringLiteral("state"),
    QStringLiteral(
        "Start from this *.BRV file when it exists; write it back after every block write."),
    QStringLiteral("file"));
const QCommandLineOption
    NoPacingOption(QStringLiteral("no-pacing"),
                   QStringLiteral("Reply at once, in one write, instead of at %1 baud.")
                       .arg(ControllerLine.baudRate));
const QCommandLineOption
    FaultOption(QStringLiteral("fault"),
                QStringLiteral("Misbehave as KIND (see above); may be repeated."),
                QStringLiteral("KIND[@N]"));
const QCommandLineOption AdapterOption(
    QStringLiteral("adapter-latency"),
    QStringLiteral("Reach the client as a USB serial adapter hands replies over: a full packet "
                   "of 62 bytes at the next 1 ms USB frame, the rest when its latency timer "
                   "runs out (every MS ms, restarted by each hand-over; 1 to 255). 0, the "
                   "default: straight from the line."),
    QStringLiteral("MS"));
const QCommandLineOption QuietOption(QStringLiteral("quiet"),
                                     QStringLiteral("No log on standard error."));

// The table kept in the state file, when there is one yet; refuses a file it cannot keep.
void takeState(const QString& path, SimOptions& options) {
    options.statePath = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(options.statePath)) {
        QString error;
        const std::optional<CnfTable> cnf = readBrvFile(options.statePath, &error);
        if (!cnf) {
            refuse(QStringLiteral("cannot read %1: %2").arg(options.statePath, error));
        }
        options.image = controllerImage(*cnf);
    } else if (!QFileInfo(options.statePath).absoluteDir().exists()) {
        refuse(QStringLiteral("cannot keep %1: its folder does not exist").arg(options.statePath));
    }
}

// What the command line asks for; refuses anything it cannot take.
SimOptions parseOptions(QCommandLineParser& parser) {
    SimOptions options;
    options.paced = !parser.isSet(NoPacingOption);
    options.quiet = parser.isSet(QuietOption);
    for (const QString& text : parser.values(FaultOption)) {
        QString error;
        const std::optional<Fault> fault = parseFault(text, &error);
        if (!fault) {
            refuse(error);
        }
        options.faults.push_back(*fault);
    }
    if (parser.isSet(AdapterOption)) {
        bool ok = false;
        options.adapterLatencyMs = parser.value(AdapterOption).toInt(&ok);
        if (!ok || options.adapterLatencyMs < 0 || options.adapterLatencyMs > 255) {
            refuse(QStringLiteral("--adapter-latency takes 0 to 255 ms, not '%1'")
                       .arg(parser.value(AdapterOption)));
        }
    }
    if (parser.isSet(StateOption)) {
        takeState(parser.value(StateOption), options);
    }
    if (parser.isSet(PortOption)) {
        bool ok = false;
        const int port = parser.value(PortOption).toInt(&ok);
        if (!ok || port < 1 || port > MaxPortNumber) {
            refuse(QStringLiteral("--port takes a number from 1 to %1, not '%2'")
                       .arg(MaxPortNumber)
                       .arg(parser.value(PortOption)));
        }
        options.linkPath = portLink(port);
    }
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevane-nc-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BREVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(
        {PortOption, StateOption, NoPacingOption, AdapterOption, FaultOption, QuietOption});
    if (!parser.parse(QCoreApplication::arguments())) {
        refuse(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (!parser.positionalArguments().isEmpty()) {
        refuse(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    }
    return Simulator(parseOptions(parser)).run();
}
