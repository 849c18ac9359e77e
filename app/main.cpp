#include <QApplication>

#include "app/brevaneapp.h"
#include "app/desktopreport.h"
#include "app/startup.h"
#include "platform/console.h"
#include "platform/documentviewer.h"
#include "platform/messageboxes.h"

int main(int argc, char* argv[]) {
    // --help and --version are answered before Qt looks for a display.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments << QString::fromLocal8Bit(argv[i]);
    }
    const StartUp early = parseStartUp(rawArguments);
    if (early.action == StartUp::Help || early.action == StartUp::Version) {
        printForUser(stdout, early.text);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvik Brevane"));
    // Qt has taken its own options (-platform, -style) out by now.
    const StartUp startUp = parseStartUp(QApplication::arguments());
    if (startUp.action == StartUp::Report) {
        SystemMessageBoxes messages;
        return reportFromDesktop(startUp.file, messages, openInViewer);
    }
    if (startUp.action != StartUp::Run) {
        printForUser(stderr, startUp.text);
        return 2;
    }
    BrevaneApp brevane(Seams::system());
    brevane.window().show();
    if (!startUp.file.isEmpty()) {
        // Once the window is up, so that a "File Error" box has it behind.
        QMetaObject::invokeMethod(
            &brevane.window(),
            [&brevane, &startUp] { brevane.fileCommands().openFile(startUp.file); },
            Qt::QueuedConnection);
    }
    return QApplication::exec();
}
