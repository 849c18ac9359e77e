#include "cli/reportcommand.h"

#include <QGuiApplication>

namespace {

const QCommandLineOption OutputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                      QStringLiteral("The PDF to write (default: FILE.pdf "
                                                     "beside the file)."),
                                      QStringLiteral("FILE.pdf"));
const QCommandLineOption KeysOption(QStringLiteral("keys"),
                                    QStringLiteral("Print the keys, not only their length."));
const QCommandLineOption PaperOption(
    QStringLiteral("paper"),
    QStringLiteral("a4 or letter (default: letter where the system measures in US units, "
                   "else a4)."),
    QStringLiteral("a4|letter"));

} // namespace

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

void addReportOptions(QCommandLineParser& parser) {
    parser.addOptions({OutputOption, KeysOption, PaperOption});
}

std::optional<ReportSettings> reportSettings(const QCommandLineParser& parser, QString* problem) {
    ReportSettings settings{parser.value(OutputOption), defaultPaper(), parser.isSet(KeysOption)};
    if (parser.isSet(OutputOption) && settings.output.isEmpty()) {
        *problem = QStringLiteral("-o needs a file name");
        return std::nullopt;
    }
    if (parser.isSet(PaperOption)) {
        const QString paper = parser.value(PaperOption).toLower();
        if (paper != QLatin1String("a4") && paper != QLatin1String("letter")) {
            *problem = QStringLiteral("--paper takes a4 or letter, not '%1'")
                           .arg(parser.value(PaperOption));
            return std::nullopt;
        }
        settings.paper = paper == QLatin1String("a4") ? Paper::A4 : Paper::Letter;
    }
    return settings;
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
