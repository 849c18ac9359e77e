#include "cli/reportcommand.h"

#include <QGuiApplication>

std::unique_ptr<QCoreApplication> cliApplication(int& argc, char** argv) {
    if (argc < 2 || qstrcmp(argv[1], "report") != 0) {
        return std::make_unique<QCoreApplication>(argc, argv);
    }
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    // The pages are drawn in memory: no display is needed, and a platform named for the
    // desktop (without one, over ssh) must not stop a report.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    return std::make_unique<QGuiApplication>(argc, argv);
}

int runReport(const QString& path, const ReportSettings& settings, Console& console) {
    const RecordOutcome outcome =
        makeSiteRecord({path, settings.output, settings.paper, settings.showKeys,
                        QStringLiteral("brevane-cli " BREVANE_VERSION)});
    if (!outcome.error.isEmpty()) {
        printProblem(console, outcome.error);
        return StatusBadUsage;
    }
    console.out << QStringLiteral("Site record written to %1 (%2 %3)\n")
                       .arg(outcome.pdfPath)
                       .arg(outcome.pages)
                       .arg(outcome.pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"));
    return StatusOk;
}
