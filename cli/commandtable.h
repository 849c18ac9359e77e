#pragma once

#include <QString>
#include <QStringList>

#include "cli/clicore.h"
#include "cli/reportcommand.h"

// brevane-cli's table of commands and their options, the dispatch, and the help made
// from them.

// What a command is given once its arguments have been checked.
struct Invocation {
    QStringList files; // the arguments that are no option, in order
    ShowFormat format = ShowFormat::Text;
    LinkSettings link;
    QString backupFolder;
    ReportSettings report;
    int count = 0;
};

// Runs the command that arguments name (the program's own name first) and returns the
// exit status; a wrong argument is answered on err, with status 2.
int runCli(const QStringList& arguments, Console& console);

// "brevane-cli help": the head, each command's usage and summary, the tail.
QString programHelp();
// "brevane-cli help COMMAND"; empty for a name that is no command.
QString commandHelp(const QString& name);
