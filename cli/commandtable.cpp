#include "cli/commandtable.h"

#include <QCommandLineParser>
#include <algorithm>
#include <array>
#include <functional>

#include "link/transfer.h"
#include "platform/serialport.h"
#include "platform/serialportlist.h"

namespace {

// Values the help and the messages name, each written once.

constexpr int DefaultPingCount = 20;
constexpr int MaxPingCount = 1000;

// "1 to 256": the ports --port takes.
QString portRange() {
    return QStringLiteral("1 to %1").arg(MaxPortNumber);
}

// "52, 61, 62, 71".
template <std::size_t N> QString codeList(const std::array<TransferErrorCode, N>& codes) {
    QStringList numbers;
    for (const TransferErrorCode code : codes) {
        numbers << QString::number(code);
    }
    return numbers.join(QStringLiteral(", "));
}

// "text, csv or json".
QString inWords(QStringList names) {
    const QString last = names.takeLast();
    return names.isEmpty() ? last
                           : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QStringList formatNames(std::initializer_list<ShowFormat> formats) {
    QStringList names;
    for (const ShowFormat format : formats) {
        names << showFormatName(format);
    }
    return names;
}

// The options: what each is called, what it says of itself, and how its value is taken.

enum class Option { Port, Trace, Backup, Format, Count, Output, Keys, Paper };

struct OptionInfo {
    Option id;
    QStringList names; // the first is the one usage lines show
    QString valueName; // empty: a flag, or the choices of the command that takes it
    QString text;      // its line in a command's help; a choice's values follow it
    QString range;     // the values it takes, when a usage error should name them
    // Keeps the value given in the invocation; a usage error's text when it is wrong.
    std::function<QString(const QString& value, Invocation& given)> take;
};

// The options, each as every command that takes it takes it.
const QList<OptionInfo> Options{
    {Option::Port,
     {QStringLiteral("port")},
     QStringLiteral("N"),
     QStringLiteral("The serial port the NC is on, %1.").arg(portRange()),
     portRange(),
     [](const QString& value, Invocation& given) {
         bool isNumber = false;
         const int number = value.toInt(&isNumber);
         if (!isNumber || number < 1 || number > MaxPortNumber) {
             return QStringLiteral("--port takes a number from %1, not '%2'")
                 .arg(portRange(), value);
         }
         given.link.portNumber = number;
         return QString();
     }},
    {Option::Trace,
     {QStringLiteral("trace")},
     {},
     QStringLiteral("Log every frame sent and received on standard error, with the time in "
                    "milliseconds and whether the reply's checksum held."),
     {},
     [](const QString&, Invocation& given) {
         given.link.trace = true;
         return QString();
     }},
    {Option::Backup,
     {QStringLiteral("backup")},
     QStringLiteral("DIR"),
     QStringLiteral("Save the NC's table in this folder before anything is written to it."),
     {},
     [](const QString& value, Invocation& given) {
         if (value.isEmpty()) {
             return QStringLiteral("--backup needs a folder");
         }
         given.backupFolder = value;
         return QString();
     }},
    {Option::Count,
     {QStringLiteral("count")},
     QStringLiteral("K"),
     QStringLiteral("How many requests, 1 to %1 (%2 when not given).")
         .arg(MaxPingCount)
         .arg(DefaultPingCount),
     {},
     [](const QString& value, Invocation& given) {
         bool isNumber = false;
         given.count = value.toInt(&isNumber);
         if (!isNumber || given.count < 1 || given.count > MaxPingCount) {
             return QStringLiteral("--count takes a number from 1 to %1, not '%2'")
                 .arg(MaxPingCount)
                 .arg(value);
         }
         return QString();
     }},
    {Option::Output,
     {QStringLiteral("o"), QStringLiteral("output")},
     QStringLiteral("FILE.pdf"),
     QStringLiteral("The PDF to write (default: FILE.pdf beside the file)."),
     {},
     [](const QString& value, Invocation& given) {
         if (value.isEmpty()) {
             return QStringLiteral("-o needs a file name");
         }
         given.report.output = value;
         return QString();
     }},
    {Option::Keys,
     {QStringLiteral("keys")},
     {},
     QStringLiteral("Print the keys, not only their length."),
     {},
     [](const QString&, Invocation& given) {
         given.report.showKeys = true;
         return QString();
     }},
    // Not a choice with the first as default: the default follows the system's measures.
    {Option::Paper,
     {QStringLiteral("paper")},
     QStringLiteral("a4|letter"),
     QStringLiteral("a4 or letter (default: letter where the system measures in US units, "
                    "else a4)."),
     {},
     [](const QString& value, Invocation& given) {
         const QString paper = value.toLower();
         if (paper != QLatin1String("a4") && paper != QLatin1String("letter")) {
             return QStringLiteral("--paper takes a4 or letter, not '%1'").arg(value);
         }
         given.report.paper = paper == QLatin1String("a4") ? Paper::A4 : Paper::Letter;
         return QString();
     }},
    {Option::Format,
     {QStringLiteral("format")},
     {},
     {},
     {},
     [](const QString& value, Invocation& given) {
         for (const ShowFormat format : {ShowFormat::Text, ShowFormat::Csv, ShowFormat::Json}) {
             if (value == showFormatName(format)) {
                 given.format = format;
             }
         }
         return QString();
     }},
};

const OptionInfo& optionInfo(Option id) {
    return *std::find_if(Options.begin(), Options.end(),
                         [id](const OptionInfo& option) { return option.id == id; });
}

// "--port", "-o".
QString optionName(const OptionInfo& option) {
    const QString& name = option.names.first();
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// An option as a command takes it.
struct OptionUse {
    Option option;
    bool required = false;
    QStringList choices = {}; // the values it takes, the first the default; empty: any
};

// An argument that is no option; a name in brackets may be left out.
struct Argument {
    QString name;
    QString text;
};

struct CommandInfo {
    QString name;
    QStringList aliases;
    QList<Argument> arguments;
    QList<OptionUse> options;
    QString summary;     // its lines in the program's help
    QString description; // its own help
    std::function<int(const Invocation& given, Console& console)> run;
};

const Argument BrvFile{QStringLiteral("FILE.BRV"),
                       QStringLiteral("A configuration file of 576 bytes.")};
const OptionUse Port{Option::Port, true};
const OptionUse Trace{Option::Trace};

int usageError(Console& console, const QString& text, const QString& helpCommand = {}) {
    printProblem(console, QStringLiteral("%1 (see 'brevane-cli help%2')")
                              .arg(text, helpCommand.isEmpty() ? QString()
                                                               : QLatin1Char(' ') + helpCommand));
    return StatusBadUsage;
}

// The commands, in the order the help lists them.
const QList<CommandInfo> Commands{
    {QStringLiteral("show"),
     {},
     {BrvFile},
     {{Option::Format, false, formatNames({ShowFormat::Text, ShowFormat::Csv, ShowFormat::Json})}},
     QStringLiteral("The file's 64 outgoing and 64 incoming links\nand its two keys."),
     QStringLiteral(
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
         "values}}],\n\"controllerChecksum\"}."),
     [](const Invocation& given, Console& console) {
         return runShow(given.files[0], given.format, console);
     }},
    {QStringLiteral("diff"),
     {},
     {{QStringLiteral("A.BRV"), QStringLiteral("The first file.")},
      {QStringLiteral("B.BRV"), QStringLiteral("The file compared with it.")}},
     {},
     QStringLiteral("Every difference between two files."),
     QStringLiteral(
         "Lists every difference from A to B, one line each, link by link:\n"
         "  Link 05 outgoing: off → on\n"
         "  Link 05 outgoing: node NC → 1A\n"
         "  Link 05 outgoing: type Quendel → Relays\n"
         "  Link 05 outgoing: ref 01 → 17-24\n"
         "  Link 05 incoming: ref Quendel NC.01 → Quendel NC.0B\n"
         "  Link 05 field 6: 0 → 18          (carried bytes: fields 6, 7, and 8 beyond the "
         "keys)\n"
         "  Outgoing key: \"Orvik\" → \"Net\"\n"
         "Where both sides read alike the raw values follow, e.g. \"ref 09-16 → 09-16\n"
         "(field 3: 1 → 9)\". The keys are compared as the window packs them after opening\n"
         "each file, so files that the window would send alike show no difference. Prints\n"
         "\"No differences\" when the files are the same.\n"
         "Exit status 0 when they are the same, 1 when they differ."),
     [](const Invocation& given, Console& console) {
         return runDiff(given.files[0], given.files[1], console);
     }},
    {QStringLiteral("report"),
     {},
     {BrvFile},
     {{Option::Output}, {Option::Keys}, {Option::Paper}},
     QStringLiteral("A site record of the file to print (PDF),\nwith the checksum the NC will "
                    "report."),
     QStringLiteral(
         "Writes a site record of the file as a PDF, in the window's font: the file's name,\n"
         "folder and last change, the time of printing, the checksum the NC reports once it\n"
         "holds the table (as download sends it; the number verify and compare check, e.g.\n"
         "\"DA90 190E\" for an empty table), the keys as dots of their length (--keys prints\n"
         "them), every link in use in the window's words, the links not in use as ranges, and\n"
         "a box to fill in by hand. A full table takes two pages.\n"
         "The PDF is FILE.pdf beside the file unless -o names another; one already there is\n"
         "replaced only once the new one is complete. A file that cannot be read, or a PDF\n"
         "that cannot be written, gives exit status %1 and writes nothing.")
         .arg(int(StatusBadUsage)),
     [](const Invocation& given, Console& console) {
         return runReport(given.files[0], given.report, console);
     }},
    {QStringLiteral("download"),
     {},
     {BrvFile},
     {Port, {Option::Backup}, Trace},
     QStringLiteral("Send the file's table to the NC on port N,\nwith --backup after keeping "
                    "the NC's own."),
     QStringLiteral(
         "Sends the file's table, keys included, to the NC on port N in nine blocks and "
         "checks\n"
         "the NC's checksum, as the window's Download does after opening the file: the keys\n"
         "are unpacked and packed again, so a 0 byte inside a key is skipped. Prints\n"
         "\"Download Complete\", or the window's error text with its code as the exit status.\n"
         "While standard error is a terminal (and there is no trace) a progress line counts\n"
         "the blocks.\n"
         "With --backup DIR, first reads the NC's table as Upload does (checksum checked) "
         "into\n"
         "DIR/COM<N>-<UTC yyyymmdd-hhmmss>.BRV, DIR created when missing, and names that file\n"
         "last. When the backup cannot be read or written no block is sent; the exit status\n"
         "is then Upload's code (%1, %2), or %3 for the file.")
         .arg(int(StatusPortFailed))
         .arg(codeList(UploadErrorCodes))
         .arg(int(StatusBadUsage)),
     [](const Invocation& given, Console& console) {
         return runDownload(given.files[0], given.link, console, given.backupFolder);
     }},
    {QStringLiteral("upload"),
     {},
     {BrvFile},
     {Port, Trace},
     QStringLiteral("Read the NC's table into the file."),
     QStringLiteral(
         "Reads the NC's table on port N in nine blocks and checks the NC's checksum, as the\n"
         "window's Upload does. Only then is FILE.BRV written (replacing it in one step); "
         "after\n"
         "a failure it is left as it was. Prints \"Upload Complete\", or the window's error\n"
         "text with its code as the exit status. While standard error is a terminal (and "
         "there\n"
         "is no trace) a progress line counts the blocks."),
     [](const Invocation& given, Console& console) {
         return runUpload(given.files[0], given.link, console);
     }},
    {QStringLiteral("verify"),
     {},
     {BrvFile},
     {Port, Trace},
     QStringLiteral("Compare the NC with the file; nothing is written."),
     QStringLiteral(
         "Asks the NC on port N for the checksum of what it holds (one frame, nothing is\n"
         "written) and compares it with the file's table as the window would send it (keys\n"
         "unpacked and packed again, as for download). Prints \"Controller matches FILE.BRV\"\n"
         "(exit status 0) or \"Controller differs from FILE.BRV\" (1); without a valid answer\n"
         "\"Verify Error: %1\" (%1).")
         .arg(int(ChecksumRequestFailed)),
     [](const Invocation& given, Console& console) {
         return runVerify(given.files[0], given.link, console);
     }},
    {QStringLiteral("compare"),
     {},
     {BrvFile},
     {Port, {Option::Format, false, formatNames({ShowFormat::Text, ShowFormat::Json})}, Trace},
     QStringLiteral("Every difference between the file and the NC;\nnothing is written."),
     QStringLiteral(
         "Reads the NC's table on port N as Upload does (checksum checked; nothing is written\n"
         "to a file or to the NC) and lists every difference from the file to the NC in the\n"
         "words and layout of diff, e.g. \"Link 05 outgoing: node NC → 1A\", or \"No\n"
         "differences\". The file's keys count as the window holds them once it is open.\n"
         "json: {\"same\", \"differences\": [{\"where\", \"what\", \"file\", \"controller\",\n"
         "\"field\", \"fileValue\", \"controllerValue\"}]}.\n"
         "Exit status 0 when they are the same, 1 when they differ, else Upload's code\n"
         "(%1, %2).")
         .arg(int(StatusPortFailed))
         .arg(codeList(UploadErrorCodes)),
     [](const Invocation& given, Console& console) {
         return runCompare(given.files[0], given.format, given.link, console);
     }},
    {QStringLiteral("ping"),
     {},
     {},
     {Port, {Option::Count}, Trace},
     QStringLiteral("How the line to the NC on port N answers."),
     QStringLiteral(
         "Sends the NC on port N its checksum request K times, one after the other (the\n"
         "request only reads: nothing on the NC changes), and prints each round trip in ms,\n"
         "or what went wrong (no reply within %1 ms, cut short or garbled, wrong checksum).\n"
         "Then min, median and max against the line's own time for a request and its reply,\n"
         "and what they tell: every reply prompt, a good line; replies held 5 ms or more\n"
         "beyond the line's time, an adapter that holds them (what a Download then takes,\n"
         "and how to set its latency timer lower); requests unanswered, which, and what to\n"
         "check. Exit status %2 when every request got a good reply, %3 when any did not.")
         .arg(PingTimeoutMs)
         .arg(int(StatusOk))
         .arg(int(ChecksumRequestFailed)),
     [](const Invocation& given, Console& console) {
         return runPing(given.count > 0 ? given.count : DefaultPingCount, given.link, console);
     }},
    {QStringLiteral("ports"),
     {},
     {},
     {},
     QStringLiteral(
         "COM1 to COM16, the device each one reaches, and\nserial devices that none reaches."),
     QStringLiteral(
         "One line for each of COM1 to COM16: the device it reaches on this system, whether\n"
         "that device is present (or the link dangles), and what the adapter tells of itself\n"
         "(description, maker, USB vendor and product id, serial number) where it is known.\n"
         "Then every serial device present that no COM number reaches (a USB adapter with no\n"
         "link), each with the one command that links it as a free COM number.\n"
         "On Windows COMn is the system's own: COM1 to COM16 each present or missing, then\n"
         "every port above COM16 that is present; a present port shows the driver's device,\n"
         "its friendly name, maker, USB vendor and product id and serial number where known.\n"
         "An adapter whose driver tells its latency timer shows it (\"latency timer 16 ms\");\n"
         "above %1 ms follows how to lower it: on Linux a udev rule for that adapter (the\n"
         "program asks for low latency by itself), on Windows the Device Manager's steps.")
         .arg(PromptLatencyMs),
     [](const Invocation&, Console& console) { return runPorts(console); }},
    {QStringLiteral("help"),
     {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("-?")},
     {{QStringLiteral("[COMMAND]"), QStringLiteral("The command to tell of.")}},
     {},
     QStringLiteral("This help, or a command's."),
     QStringLiteral("Tells what brevane-cli does, or what one of its commands does."),
     [](const Invocation& given, Console& console) {
         if (given.files.isEmpty()) {
             console.out << programHelp();
             return int(StatusOk);
         }
         const QString help = commandHelp(given.files[0]);
         if (help.isEmpty()) {
             return usageError(console, QStringLiteral("unknown command '%1'").arg(given.files[0]));
         }
         console.out << help;
         return int(StatusOk);
     }},
    {QStringLiteral("--version"),
     {},
     {},
     {},
     QStringLiteral("The program's name and version."),
     QStringLiteral("Prints the program's name and version."),
     [](const Invocation&, Console& console) {
         console.out << QStringLiteral("brevane-cli " BREVANE_VERSION "\n");
         return int(StatusOk);
     }},
};

const CommandInfo* findCommand(const QString& name) {
    for (const CommandInfo& command : Commands) {
        if (name == command.name || command.aliases.contains(name)) {
            return &command;
        }
    }
    return nullptr;
}

// "show FILE.BRV [--format text|csv|json]", "download FILE.BRV --port N [--trace]".
QString usage(const CommandInfo& command) {
    QStringList words{command.name};
    for (const Argument& argument : command.arguments) {
        words << argument.name;
    }
    for (const OptionUse& use : command.options) {
        const OptionInfo& option = optionInfo(use.option);
        QString word = optionName(option);
        const QString valueName =
            use.choices.isEmpty() ? option.valueName : use.choices.join(QLatin1Char('|'));
        if (!valueName.isEmpty()) {
            word += QLatin1Char(' ') + valueName;
        }
        words << (use.required ? word : QLatin1Char('[') + word + QLatin1Char(']'));
    }
    return words.join(QLatin1Char(' '));
}

// Qt's own help option would offer Qt's options too, which mean nothing here.
const QCommandLineOption HelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help"),
                                                QStringLiteral("?")},
                                    QStringLiteral("This help."));

void setUp(QCommandLineParser& parser, const CommandInfo& command) {
    parser.setApplicationDescription(command.description);
    parser.addOption(HelpOption);
    for (const Argument& argument : command.arguments) {
        parser.addPositionalArgument(argument.name, argument.text);
    }
    for (const OptionUse& use : command.options) {
        const OptionInfo& option = optionInfo(use.option);
        if (use.choices.isEmpty()) {
            parser.addOption(QCommandLineOption(option.names, option.text, option.valueName));
            continue;
        }
        QStringList choices = use.choices;
        choices.first() += QStringLiteral(" (the default)");
        parser.addOption(QCommandLineOption(option.names, option.text + inWords(choices) + '.',
                                            use.choices.join(QLatin1Char('|'))));
    }
}

QString commandHelp(const CommandInfo& command) {
    QCommandLineParser parser;
    setUp(parser, command);
    QString help = parser.helpText();
    // Qt's help names the program by its path; ours names the command.
    help.remove(0, help.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral("Usage: brevane-cli ") + usage(command) + QStringLiteral("\n\n") + help;
}

// "show takes one file", "help takes at most one argument".
QString countError(const CommandInfo& command, qsizetype optional) {
    const qsizetype most = command.arguments.size();
    const QStringList numbers{QStringLiteral("no"), QStringLiteral("one"), QStringLiteral("two")};
    if (optional > 0) {
        return QStringLiteral("%1 takes at most %2 argument")
            .arg(command.name, numbers.value(most));
    }
    return QStringLiteral("%1 takes %2 file%3")
        .arg(command.name, numbers.value(most), most == 2 ? QStringLiteral("s") : QString());
}

// Takes the options the command was given, and the defaults of those it was not, into
// given; the usage error's text when one is wrong or missing.
QString takeOptions(const QCommandLineParser& parser, const CommandInfo& command,
                    Invocation& given) {
    for (const OptionUse& use : command.options) {
        const OptionInfo& option = optionInfo(use.option);
        const QString& name = option.names.first();
        QString value;
        if (parser.isSet(name)) {
            value = parser.value(name);
        } else if (use.required) {
            return QStringLiteral("%1 needs %2 %3")
                       .arg(command.name, optionName(option), option.valueName) +
                   (option.range.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(option.range));
        } else if (!use.choices.isEmpty()) {
            value = use.choices.first();
        } else {
            continue;
        }
        if (!use.choices.isEmpty()) {
            if (!use.choices.contains(value.toLower())) {
                return QStringLiteral("%1 takes %2, not '%3'")
                    .arg(optionName(option), inWords(use.choices), value);
            }
            value = value.toLower();
        }
        if (QString error = option.take(value, given); !error.isEmpty()) {
            return error;
        }
    }
    return {};
}

int runCommand(const CommandInfo& command, const QStringList& arguments, Console& console) {
    QCommandLineParser parser;
    setUp(parser, command);
    if (!parser.parse(arguments)) {
        return usageError(console, parser.errorText(), command.name);
    }
    if (parser.isSet(HelpOption)) {
        console.out << commandHelp(command);
        return StatusOk;
    }
    Invocation given;
    given.files = parser.positionalArguments();
    const auto optional = std::count_if(
        command.arguments.begin(), command.arguments.end(),
        [](const Argument& argument) { return argument.name.startsWith(QLatin1Char('[')); });
    if (given.files.size() > command.arguments.size() ||
        given.files.size() < command.arguments.size() - optional) {
        return usageError(console, countError(command, optional), command.name);
    }
    const QString error = takeOptions(parser, command, given);
    if (!error.isEmpty()) {
        return usageError(console, error, command.name);
    }
    return command.run(given, console);
}

} // namespace

QString commandHelp(const QString& name) {
    const CommandInfo* command = findCommand(name);
    return command == nullptr ? QString() : commandHelp(*command);
}

QString programHelp() {
    constexpr int SummaryColumn = 42;
    QString help = QStringLiteral(
        "Usage: brevane-cli COMMAND [options] ARGUMENTS\n"
        "\n"
        "The command-line companion of Orvik Brevane: shows and compares *.BRV configuration\n"
        "files and moves them to and from an NC, the way the window's Download and Upload do.\n"
        "\n"
        "Commands:\n");
    for (const CommandInfo& command : Commands) {
        const QString head = QStringLiteral("  ") + usage(command);
        const QStringList lines = command.summary.split(QLatin1Char('\n'));
        const QString indent(SummaryColumn, QLatin1Char(' '));
        // A usage too long for its column stands on a line of its own.
        help += head.size() + 2 <= SummaryColumn
                    ? head.leftJustified(SummaryColumn) + lines.first()
                    : head + QLatin1Char('\n') + indent + lines.first();
        for (const QString& line : lines.mid(1)) {
            help += QLatin1Char('\n') + indent + line;
        }
        help += QLatin1Char('\n');
    }
    return help +
           QStringLiteral(
               "\n"
               "Port N (%1) is COMN on Windows; elsewhere ~/Orvik Tessaly Net/ports/COMN when "
               "that\n"
               "folder exists, else /dev/ttyS<N-1>.\n"
               "\n"
               "Exit status:\n"
               "  %2   done; the files are the same; the NC matches the file\n"
               "  %3   the files differ; the NC differs from the file\n"
               "  %4   bad arguments, or a file (or the output) that cannot be read or written\n"
               "  %5   Unable To Open Port (the next line says which port and why)\n"
               "  %6   the transfer's error code, as the window reports it\n")
               .arg(portRange())
               .arg(int(StatusOk))
               .arg(int(StatusDiffers))
               .arg(int(StatusBadUsage))
               .arg(int(StatusPortFailed))
               .arg(codeList(TransferErrorCodes));
}

int runCli(const QStringList& arguments, Console& console) {
    if (arguments.size() < 2) {
        return usageError(console, QStringLiteral("no command given"));
    }
    const QString& first = arguments[1];
    const CommandInfo* command = findCommand(first);
    if (command == nullptr) {
        return usageError(console, first.startsWith(QLatin1Char('-'))
                                       ? QStringLiteral("unknown option '%1'").arg(first)
                                       : QStringLiteral("unknown command '%1'").arg(first));
    }
    // The command's own parser sees the program name and what follows the command.
    return runCommand(*command, QStringList{arguments[0]} + arguments.mid(2), console);
}
