#pragma once

#include <QString>
#include <QStringList>

// What the program's command line asks for: brevane [FILE.BRV], brevane FILE.BRV --report,
// --help, --version.
struct StartUp {
    enum Action {
        Run,     // show the window, then open file when one is given
        Report,  // write file's site record beside it and show it; no window
        Help,    // print text on standard output and end
        Version, // likewise
        Refuse,  // print text on standard error and end with status 2
    };
    Action action = Run;
    QString file; // absolute
    QString text;
};

// The arguments as the program received them, its own name first.
StartUp parseStartUp(const QStringList& arguments);
