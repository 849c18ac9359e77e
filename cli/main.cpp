// brevane-cli: the command-line companion of the window, for scripts and site work:
// show and compare configuration files, download, upload and verify a controller.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIODevice>
#include <QTextStream>
#include <array>
#include <cstdio>

#include "cli/clicore.h"
#include "cli/reportcommand.h"
#include "cli/terminal.h"
#include "platform/serialport.h"

namespace {

// The program's help: this head, a line (or two) per command, the tail.
const char HelpHead[] =
    "Usage: brevane-cli COMMAND [options] ARGUMENTS\n"
    "\n"
    "The command-line companion of Orvik Brevane: shows and compares *.BRV configuration\n"
    "files and moves them to and from an NC, the way the window's Download and Upload do.\n"
    "\n"
    "Commands:\n";
const char HelpTail[] =
    "\n"
    "Port N (1 to 256) is COMN on Windows; elsewhere ~/Orvik Tessaly Net/ports/COMN when that\n"
    "folder exists, else /dev/ttyS<N-1>.\n"
    "\n"
    "Exit status:\n"
    "  0   done; the files are the same; the NC matches the file\n"
    "  1   the files differ; the NC differs from the file\n"
    "  2   bad arguments, or a file (or the output) that cannot be read or written\n"
    "  3   Unable To Open Port (the next line says which port and why)\n"
    "  4, 52, 61, 62, 71   the transfer's error code, as the window reports it\n";

// What a command is given once its arguments have been checked.
struct Invocation {
    QStringList files;
    ShowFormat format = ShowFormat::Text;
    LinkSettings link;
    QString backupFolder;
    ReportSettings report;
};

// One command: its words in the help, what it takes, and what runs it.
struct CommandInfo {
    const char* name;
    const char* usage;
    const char* summary;     // its lines in the program's help
    const char* description; // its own help
    int files;
    bool link;
    const char* formats = nullptr; // "a|b" for --format; the first is the default
    bool backup = false;           // takes --backup DIR
    int (*run)(const Invocation& given, Console& console) = nullptr;
    bool report = false; // takes -o, --keys and --paper
};

const std::array<CommandInfo, 8> Commands{{
    {"show", "FILE.BRV [--format text|csv|json]",
     "The file's 64 outgoing and 64 incoming links\nand its two keys.",
     "Prints the file's 64 outgoing and 64 incoming links in the window's words, and its\n"
     "two keys, the keys as the window shows them (a 0 byte inside a key is skipped).\n"
     "text: one line per link (outgoing: on/off, node, type, ref; incoming: on/off, ref),\n"
     "then the keys in double quotes, then any carried byte the window does not show\n"
     "(fields 6 and 7, field 8 of links 17 to 64) that is not 0, then the checksum the NC\n"
     "reports once it holds the table (\"Controller checksum: DA90 190E\").\n"
     "csv: a header and one row per link; each caption is followed by its raw field\n"
     "value (OEnabled, ONode, OType, ORef, IEnabled, IRef), then Reserved6, Reserved7, the\n"
     "key character the link carries (links 01-08 the outgoing key, 09-16 the incoming),\n"
     "KeyChar and the controller checksum.\n"
     "json: {\"keys\": {\"outgoing\", \"incoming\"}, \"links\": [{\"link\", \"outgoing\": "
     "{\"state\",\n"
     "\"node\", \"type\", \"ref\"}, \"incoming\": {\"state\", \"ref\"}, \"fields\": {raw "
     "values}}],\n\"controllerChecksum\"}.",
     1, false, "text|csv|json", false,
     [](const Invocation& given, Console& console) {
         return runShow(given.files[0], given.format, console);
     }},
    {"diff", "A.BRV B.BRV", "Every difference between two files.",
     "Lists every difference from A to B, one line each, link by link:\n"
     "  Link 05 outgoing: off → on\n"
     "  Link 05 outgoing: node NC → 1A\n"
     "  Link 05 outgoing: type Quendel → Relays\n"
     "  Link 05 outgoing: ref 01 → 17-24\n"
     "  Link 05 incoming: ref Quendel NC.01 → Quendel NC.0B\n"
     "  Link 05 field 6: 0 → 18          (carried bytes: fields 6, 7, and 8 beyond the keys)\n"
     "  Outgoing key: \"Orvik\" → \"Net\"\n"
     "Where both sides read alike the raw values follow, e.g. \"ref 09-16 → 09-16\n"
     "(field 3: 1 → 9)\". The keys are compared as the window packs them after opening\n"
     "each file, so files that the window would send alike show no difference. Prints\n"
     "\"No differences\" when the files are the same.\n"
     "Exit status 0 when they are the same, 1 when they differ.",
     2, false, nullptr, false,
     [](const Invocation& given, Console& console) {
         return runDiff(given.files[0], given.files[1], console);
     }},
    {"report", "FILE.BRV [-o FILE.pdf] [--keys] [--paper a4|letter]",
     "A site record of the file to print (PDF),\nwith the checksum the NC will report.",
     "Writes a site record of the file as a PDF, in the window's font: the file's name,\n"
     "folder and last change, the time of printing, the checksum the NC reports once it\n"
     "holds the table (as download sends it; the number verify and compare check, e.g.\n"
     "\"DA90 190E\" for an empty table), the keys as dots of their length (--keys prints\n"
     "them), every link in use in the window's words, the links not in use as ranges, and\n"
     "a box to fill in by hand. A full table takes two pages.\n"
     "The PDF is FILE.pdf beside the file unless -o names another; one already there is\n"
     "replaced only once the new one is complete. A file that cannot be read, or a PDF\n"
     "that cannot be written, gives exit status 2 and writes nothing.",
     1, false, nullptr, false,
     [](const Invocation& given, Console& console) {
         return runReport(given.files[0], given.report, console);
     },
     true},
    {"download", "FILE.BRV --port N [--backup DIR] [--trace]",
     "Send the file's table to the NC on port N,\nwith --backup after keeping the NC's own.",
     "Sends the file's table, keys included, to the NC on port N in nine blocks and checks\n"
     "the NC's checksum, as the window's Download does after opening the file: the keys\n"
     "are unpacked and packed again, so a 0 byte inside a key is skipped. Prints \"Download "
     "Complete\", or\n"
     "the window's error text with its code as the exit status. While standard error is a\n"
     "terminal (and there is no trace) a progress line counts the blocks.\n"
     "With --backup DIR, first reads the NC's table as Upload does (checksum checked) into\n"
     "DIR/COM<N>-<UTC yyyymmdd-hhmmss>.BRV, DIR created when missing, and names that file\n"
     "last. When the backup cannot be read or written no block is sent; the exit status\n"
     "is then Upload's code (3, 52, 61, 62, 71), or 2 for the file.",
     1, true, nullptr, true,
     [](const Invocation& given, Console& console) {
         return runDownload(given.files[0], given.link, console, given.backupFolder);
     }},
    {"upload", "FILE.BRV --port N [--trace]", "Read the NC's table into the file.",
     "Reads the NC's table on port N in nine blocks and checks the NC's checksum, as the\n"
     "window's Upload does. Only then is FILE.BRV written (replacing it in one step); after\n"
     "a failure it is left as it was. Prints \"Upload Complete\", or the window's error\n"
     "text with its code as the exit status. While standard error is a terminal (and there\n"
     "is no trace) a progress line counts the blocks.",
     1, true, nullptr, false,
     [](const Invocation& given, Console& console) {
         return runUpload(given.files[0], given.link, console);
     }},
    {"verify", "FILE.BRV --port N [--trace]", "Compare the NC with the file; nothing is written.",
     "Asks the NC on port N for the checksum of what it holds (one frame, nothing is\n"
     "written) and compares it with the file's table as the window would send it (keys\n"
     "unpacked and packed again, as for download). Prints \"Controller matches FILE.BRV\"\n"
     "(exit status 0) or \"Controller differs from FILE.BRV\" (1); without a valid answer\n"
     "\"Verify Error: 52\" (52).",
     1, true, nullptr, false,
     [](const Invocation& given, Console& console) {
         return runVerify(given.files[0], given.link, console);
     }},
    {"compare", "FILE.BRV --port N [--format text|json] [--trace]",
     "Every difference between the file and the NC;\nnothing is written.",
     "Reads the NC's table on port N as Upload does (checksum checked; nothing is written\n"
     "to a file or to the NC) and lists every difference from the file to the NC in the\n"
     "words and layout of diff, e.g. \"Link 05 outgoing: node NC → 1A\", or \"No\n"
     "differences\". The file's keys count as the window holds them once it is open.\n"
     "json: {\"same\", \"differences\": [{\"where\", \"what\", \"file\", \"controller\",\n"
     "\"field\", \"fileValue\", \"controllerValue\"}]}.\n"
     "Exit status 0 when they are the same, 1 when they differ, else Upload's code (3, 52,\n"
     "61, 62, 71).",
     1, true, "text|json", false,
     [](const Invocation& given, Console& console) {
         return runCompare(given.files[0], given.format, given.link, console);
     }},
    {"ports", "",
     "COM1 to COM16, the device each one reaches, and\nserial devices that none reaches.",
     "One line for each of COM1 to COM16: the device it reaches on this system, whether\n"
     "that device is present (or the link dangles), and what the adapter tells of itself\n"
     "(description, maker, serial number) where it is known. Then every serial device\n"
     "present that no COM number reaches (a USB adapter with no link), each with the one\n"
     "command that links it as a free COM number.\n"
     "On Windows COMn is the system's own: COM1 to COM16 each present or missing, then\n"
     "every port above COM16 that is present; a present port shows the driver's device,\n"
     "its friendly name, maker, USB vendor and product id and serial number where known.",
     0, false, nullptr, false,
     [](const Invocation&, Console& console) { return runPorts(console); }},
}};

const CommandInfo* findCommand(const QString& name) {
    for (const CommandInfo& command : Commands) {
        if (name == QLatin1String(command.name)) {
            return &command;
        }
    }
    return nullptr;
}

const QCommandLineOption BackupOption(
    QStringLiteral("backup"),
    QStringLiteral("Save the NC's table in this folder before anything is written to it."),
    QStringLiteral("DIR"));
const QCommandLineOption PortOption(QStringLiteral("port"),
                                    QStringLiteral("The serial port the NC is on, 1 to 256."),
                                    QStringLiteral("N"));
const QCommandLineOption TraceOption(
    QStringLiteral("trace"),
    QStringLiteral("Log every frame sent and received on standard error, with the time in "
                   "milliseconds and whether the reply's checksum held."));
// Qt's own help option would offer Qt's options too, which mean nothing here.
const QCommandLineOption HelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help"),
                                                QStringLiteral("?")},
                                    QStringLiteral("This help."));

// "text, csv or json".
QString inWords(QStringList names) {
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

void setUp(QCommandLineParser& parser, const CommandInfo& command) {
    parser.setApplicationDescription(QString::fromUtf8(command.description));
    parser.addOption(HelpOption);
    if (command.files == 2) {
        parser.addPositionalArgument(QStringLiteral("A.BRV"), QStringLiteral("The first file."));
        parser.addPositionalArgument(QStringLiteral("B.BRV"),
                                     QStringLiteral("The file compared with it."));
    } else if (command.files == 1) {
        parser.addPositionalArgument(QStringLiteral("FILE.BRV"),
                                     QStringLiteral("A configuration file of 576 bytes."));
    }
    if (command.link) {
        parser.addOption(PortOption);
        parser.addOption(TraceOption);
    }
    if (command.backup) {
        parser.addOption(BackupOption);
    }
    if (command.report) {
        addReportOptions(parser);
    }
    if (command.formats != nullptr) {
        QStringList names = QString::fromLatin1(command.formats).split(QLatin1Char('|'));
        names.first() += QStringLiteral(" (the default)");
        parser.addOption(QCommandLineOption(QStringLiteral("format"),
                                            inWords(names) + QLatin1Char('.'),
                                            QString::fromLatin1(command.formats)));
    }
}

// The --format asked for, when the command offers it.
std::optional<ShowFormat> chosenFormat(const QCommandLineParser& parser,
                                       const CommandInfo& command) {
    const QString formats = QString::fromLatin1(command.formats);
    const QString name = parser.isSet(QStringLiteral("format"))
                             ? parser.value(QStringLiteral("format")).toLower()
                             : formats.section(QLatin1Char('|'), 0, 0);
    if (!formats.split(QLatin1Char('|')).contains(name)) {
        return std::nullopt;
    }
    return showFormatFromName(name);
}

// Qt's help names the program by its path; ours names the command.
QString commandHelp(const CommandInfo& command) {
    QCommandLineParser parser;
    setUp(parser, command);
    QString help = parser.helpText();
    help.remove(0, help.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral("Usage: brevane-cli %1 %2")
               .arg(QLatin1String(command.name), QLatin1String(command.usage))
               .trimmed() +
           QStringLiteral("\n\n") + help;
}

// The head, each command's usage and summary in two columns, the tail.
QString programHelp() {
    constexpr int SummaryColumn = 42;
    QString help = QString::fromLatin1(HelpHead);
    const auto addRow = [&help](const QString& usage, const QString& summary) {
        const QString head = QStringLiteral("  ") + usage;
        const QStringList lines = summary.split(QLatin1Char('\n'));
        const QString indent(SummaryColumn, QLatin1Char(' '));
        // A usage too long for its column stands on a line of its own.
        help += head.size() + 2 <= SummaryColumn
                    ? head.leftJustified(SummaryColumn) + lines.first()
                    : head + QLatin1Char('\n') + indent + lines.first();
        for (const QString& line : lines.mid(1)) {
            help += QLatin1Char('\n') + indent + line;
        }
        help += QLatin1Char('\n');
    };
    for (const CommandInfo& command : Commands) {
        addRow((QLatin1String(command.name) + QLatin1Char(' ') + QLatin1String(command.usage))
                   .trimmed(),
               QString::fromLatin1(command.summary));
    }
    addRow(QStringLiteral("help [COMMAND]"), QStringLiteral("This help, or a command's."));
    addRow(QStringLiteral("--version"), QStringLiteral("The program's name and version."));
    return help + QString::fromLatin1(HelpTail);
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
        return usageError(
            console,
            QStringLiteral("%1 takes %2")
                .arg(name, QStringList{QStringLiteral("no file"), QStringLiteral("one file"),
                                       QStringLiteral("two files")}[command.files]),
            name);
    }
    const std::optional<ShowFormat> format =
        command.formats != nullptr ? chosenFormat(parser, command) : ShowFormat::Text;
    if (!format) {
        return usageError(
            console,
            QStringLiteral("--format takes %1, not '%2'")
                .arg(inWords(QString::fromLatin1(command.formats).split(QLatin1Char('|'))),
                     parser.value(QStringLiteral("format"))),
            name);
    }
    Invocation given{files, *format, {}, {}, {}};
    if (command.report) {
        QString problem;
        const std::optional<ReportSettings> report = reportSettings(parser, &problem);
        if (!report) {
            return usageError(console, problem, name);
        }
        given.report = *report;
    }
    if (!command.link) {
        return command.run(given, console);
    }
    if (!parser.isSet(PortOption)) {
        return usageError(console, QStringLiteral("%1 needs --port N (1 to 256)").arg(name), name);
    }
    bool isNumber = false;
    LinkSettings& link = given.link;
    link.portNumber = parser.value(PortOption).toInt(&isNumber);
    if (!isNumber || link.portNumber < 1 || link.portNumber > MaxPortNumber) {
        return usageError(console,
                          QStringLiteral("--port takes a number from 1 to 256, not '%1'")
                              .arg(parser.value(PortOption)),
                          name);
    }
    link.trace = parser.isSet(TraceOption);
    if (command.backup && parser.isSet(BackupOption) && parser.value(BackupOption).isEmpty()) {
        return usageError(console, QStringLiteral("--backup needs a folder"), name);
    }
    if (command.backup) {
        given.backupFolder = parser.value(BackupOption);
    }
    return command.run(given, console);
}

int run(const QStringList& arguments, Console& console) {
    if (arguments.size() < 2) {
        return usageError(console, QStringLiteral("no command given"));
    }
    const QString& first = arguments[1];
    if (first == QLatin1String("--version")) {
        console.out << QStringLiteral("brevane-cli " BREVANE_VERSION "\n");
        return StatusOk;
    }
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
        console.out << programHelp();
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
    const std::unique_ptr<QCoreApplication> app = cliApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevane-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    Console console{out, err, isTerminal(stderr)};
    const int status = run(QCoreApplication::arguments(), console);
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
