// brevane-cli: the command-line companion of the window, for scripts and site work:
// show and compare configuration files, download, upload and verify a controller.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <array>
#include <cstdio>

#include "platform/serialport.h"
#include "tools/cli/clicore.h"
#include "tools/cli/terminal.h"

namespace {

const char ProgramHelp[] =
    "Usage: brevane-cli COMMAND [options] ARGUMENTS\n"
    "\n"
    "The command-line companion of Orvik Brevane: shows and compares *.BRV configuration\n"
    "files and moves them to and from an NC, the way the window's Download and Upload do.\n"
    "\n"
    "Commands:\n"
    "  show FILE.BRV [--format text|csv|json]  The file's 64 outgoing and 64 incoming links\n"
    "                                          and its two keys.\n"
    "  diff A.BRV B.BRV                        Every difference between two files.\n"
    "  download FILE.BRV --port N [--trace]    Send the file's table to the NC on port N.\n"
    "  upload FILE.BRV --port N [--trace]      Read the NC's table into the file.\n"
    "  verify FILE.BRV --port N [--trace]      Compare the NC with the file; nothing is written.\n"
    "  help [COMMAND]                          This help, or a command's.\n"
    "\n"
    "Port N (1 to 16) is COMN on Windows; elsewhere ~/Orvik Tessaly Net/ports/COMN when that\n"
    "folder exists, else /dev/ttyS<N-1>.\n"
    "\n"
    "Exit status:\n"
    "  0   done; the files are the same; the NC matches the file\n"
    "  1   the files differ; the NC differs from the file\n"
    "  2   bad arguments, or a file that cannot be read or written\n"
    "  3   Unable To Open Port\n"
    "  4, 52, 61, 62, 71   the transfer's error code, as the window reports it\n";

struct CommandInfo {
    const char* name;
    const char* usage;
    const char* description;
    int files;
    bool link;
};

const std::array<CommandInfo, 5> Commands{{
    {"show", "FILE.BRV [--format text|csv|json]",
     "Prints the file's 64 outgoing and 64 incoming links in the window's words, and its\n"
     "two keys.\n"
     "text: one line per link (outgoing: on/off, node, type, ref; incoming: on/off, ref),\n"
     "then the keys in double quotes, then any carried byte the window does not show\n"
     "(fields 6 and 7, field 8 of links 17 to 64) that is not 0.\n"
     "csv: a header and one row per link; each caption is followed by its raw field\n"
     "value (OEnabled, ONode, OType, ORef, IEnabled, IRef), then Reserved6, Reserved7, the\n"
     "key character the link carries (links 01-08 the outgoing key, 09-16 the incoming)\n"
     "and KeyChar.\n"
     "json: {\"keys\": {\"outgoing\", \"incoming\"}, \"links\": [{\"link\", \"outgoing\": "
     "{\"state\",\n"
     "\"node\", \"type\", \"ref\"}, \"incoming\": {\"state\", \"ref\"}, \"fields\": {raw "
     "values}}]}.",
     1, false},
    {"diff", "A.BRV B.BRV",
     "Lists every difference from A to B, one line each, link by link:\n"
     "  Link 05 outgoing: off → on\n"
     "  Link 05 outgoing: node NC → 1A\n"
     "  Link 05 outgoing: type Quendel → Relays\n"
     "  Link 05 outgoing: ref 01 → 17-24\n"
     "  Link 05 incoming: ref Quendel NC.01 → Quendel NC.0B\n"
     "  Link 05 field 6: 0 → 18          (carried bytes: fields 6, 7, and 8 beyond the keys)\n"
     "  Outgoing key: \"Orvik\" → \"Net\"\n"
     "Where both sides read alike the raw values follow, e.g. \"ref 09-16 → 09-16\n"
     "(field 3: 1 → 9)\". Prints \"No differences\" when the files are the same.\n"
     "Exit status 0 when they are the same, 1 when they differ.",
     2, false},
    {"download", "FILE.BRV --port N [--trace]",
     "Sends the file's table, keys included, to the NC on port N in nine blocks and checks\n"
     "the NC's checksum, as the window's Download does. Prints \"Download Complete\", or\n"
     "the window's error text with its code as the exit status. While standard error is a\n"
     "terminal (and there is no trace) a progress line counts the blocks.",
     1, true},
    {"upload", "FILE.BRV --port N [--trace]",
     "Reads the NC's table on port N in nine blocks and checks the NC's checksum, as the\n"
     "window's Upload does. Only then is FILE.BRV written (replacing it in one step); after\n"
     "a failure it is left as it was. Prints \"Upload Complete\", or the window's error\n"
     "text with its code as the exit status. While standard error is a terminal (and there\n"
     "is no trace) a progress line counts the blocks.",
     1, true},
    {"verify", "FILE.BRV --port N [--trace]",
     "Asks the NC on port N for the checksum of what it holds (one frame, nothing is\n"
     "written) and compares it with the file's. Prints \"Controller matches FILE.BRV\"\n"
     "(exit status 0) or \"Controller differs from FILE.BRV\" (1); without a valid answer\n"
     "\"Verify Error: 52\" (52).",
     1, true},
}};

const CommandInfo* findCommand(const QString& name) {
    for (const CommandInfo& command : Commands) {
        if (name == QLatin1String(command.name)) {
            return &command;
        }
    }
    return nullptr;
}

const QCommandLineOption FormatOption(QStringLiteral("format"),
                                      QStringLiteral("text (the default), csv or json."),
                                      QStringLiteral("text|csv|json"));
const QCommandLineOption PortOption(QStringLiteral("port"),
                                    QStringLiteral("The serial port the NC is on, 1 to 16."),
                                    QStringLiteral("N"));
const QCommandLineOption TraceOption(
    QStringLiteral("trace"),
    QStringLiteral("Log every frame sent and received on standard error, with the time in "
                   "milliseconds and whether the reply's checksum held."));
// Qt's own help option would offer Qt's options too, which mean nothing here.
const QCommandLineOption HelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help"),
                                                QStringLiteral("?")},
                                    QStringLiteral("This help."));

void setUp(QCommandLineParser& parser, const CommandInfo& command) {
    parser.setApplicationDescription(QString::fromUtf8(command.description));
    parser.addOption(HelpOption);
    if (command.files == 2) {
        parser.addPositionalArgument(QStringLiteral("A.BRV"), QStringLiteral("The first file."));
        parser.addPositionalArgument(QStringLiteral("B.BRV"),
                                     QStringLiteral("The file compared with it."));
    } else {
        parser.addPositionalArgument(QStringLiteral("FILE.BRV"),
                                     QStringLiteral("A configuration file of 576 bytes."));
    }
    if (command.link) {
        parser.addOption(PortOption);
        parser.addOption(TraceOption);
    } else if (command.files == 1) {
        parser.addOption(FormatOption);
    }
}

// Qt's help names the program by its path; ours names the command.
QString commandHelp(const CommandInfo& command) {
    QCommandLineParser parser;
    setUp(parser, command);
    QString help = parser.helpText();
    help.remove(0, help.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral("Usage: brevane-cli %1 %2\n\n")
               .arg(QLatin1String(command.name), QLatin1String(command.usage)) +
           help;
}

int usageError(Console& console, const QString& text, const QString& helpCommand = {}) {
    printProblem(console, text + QStringLiteral(" (see 'brevane-cli help%1')")
                                     .arg(helpCommand.isEmpty() ? QString()
                                                                : QLatin1Char(' ') + helpCommand));
    return StatusBadUsage;
}

int runCommand(const CommandInfo& command, const QStringList& arguments, Console& console) {
    const QString name = QLatin1String(command.name);
    QCommandLineParser parser;
    setUp(parser, command);
    if (!parser.parse(arguments)) {
        return usageError(console, parser.errorText(), name);
    }
    if (parser.isSet(HelpOption)) {
        console.out << commandHelp(command);
        return StatusOk;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != command.files) {
        return usageError(console,
                          command.files == 2 ? QStringLiteral("%1 takes two files").arg(name)
                                             : QStringLiteral("%1 takes one file").arg(name),
                          name);
    }
    if (!command.link) {
        if (command.files == 2) {
            return runDiff(files[0], files[1], console);
        }
        const QString formatName =
            parser.isSet(FormatOption) ? parser.value(FormatOption) : QStringLiteral("text");
        const std::optional<ShowFormat> format = showFormatFromName(formatName);
        if (!format) {
            return usageError(
                console,
                QStringLiteral("--format takes text, csv or json, not '%1'").arg(formatName), name);
        }
        return runShow(files[0], *format, console);
    }
    if (!parser.isSet(PortOption)) {
        return usageError(console, QStringLiteral("%1 needs --port N (1 to 16)").arg(name), name);
    }
    bool isNumber = false;
    LinkSettings link;
    link.portNumber = parser.value(PortOption).toInt(&isNumber);
    if (!isNumber || link.portNumber < 1 || link.portNumber > ComPorts) {
        return usageError(console,
                          QStringLiteral("--port takes a number from 1 to 16, not '%1'")
                              .arg(parser.value(PortOption)),
                          name);
    }
    link.trace = parser.isSet(TraceOption);
    if (name == QLatin1String("download")) {
        return runDownload(files[0], link, console);
    }
    if (name == QLatin1String("upload")) {
        return runUpload(files[0], link, console);
    }
    return runVerify(files[0], link, console);
}

int run(const QStringList& arguments, Console& console) {
    if (arguments.size() < 2) {
        return usageError(console, QStringLiteral("no command given"));
    }
    const QString& first = arguments[1];
    const QStringList helpWords{QStringLiteral("help"), QStringLiteral("--help"),
                                QStringLiteral("-h"), QStringLiteral("-?")};
    if (helpWords.contains(first)) {
        if (first == QLatin1String("help") && arguments.size() > 2) {
            const CommandInfo* command = findCommand(arguments[2]);
            if (command == nullptr) {
                return usageError(console,
                                  QStringLiteral("unknown command '%1'").arg(arguments[2]));
            }
            console.out << commandHelp(*command);
            return StatusOk;
        }
        console.out << QString::fromLatin1(ProgramHelp);
        return StatusOk;
    }
    const CommandInfo* command = findCommand(first);
    if (command == nullptr) {
        return usageError(console, first.startsWith(QLatin1Char('-'))
                                       ? QStringLiteral("unknown option '%1'").arg(first)
                                       : QStringLiteral("unknown command '%1'").arg(first));
    }
    // The command's own parser sees the program name and what follows the command.
    return runCommand(*command, QStringList{arguments[0]} + arguments.mid(2), console);
}

} // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevane-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    Console console{out, err, isTerminal(stderr)};
    const int status = run(QCoreApplication::arguments(), console);
    out.flush();
    err.flush();
    return status;
}
