// Download and Upload against the controller stand-in, brevane-cli's compare and
// download --backup on it, and the processor time of one unanswered wait.
//
//   bench_link    starts brevane-nc-sim itself (paced, unpaced, silent) and prints the figures
//
// The paced stand-in keeps every character on the line for its time at 38400 baud, so the
// floor of a run is the time of all its frames and replies on the wire.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/procinfo.h"
#include "cli/clicore.h"
#include "files/brvfile.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "link/transfer.h"
#include "platform/clock.h"
#include "platform/linesettings.h"
#include "platform/serialport.h"
#include "platform/serialportlist.h"
#include "tests/support/simprocess.h"

namespace {

constexpr int PortNumber = 1;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Time on the controller's line.
double wireMs(qsizetype characters) {
    return std::chrono::duration<double, std::milli>(ControllerLine.wireTime(characters)).count();
}

// User and system time of this process so far, in ms.
double processorMs() {
    return static_cast<double>(processCpuTimeUs()) / 1000.0;
}

// The stand-in on port PortNumber, for as long as the result lives; none when it did not
// start.
std::unique_ptr<SimProcess> startStandIn(const QStringList& arguments) {
    auto standIn = std::make_unique<SimProcess>(QStringList{QStringLiteral("--port"),
                                                            QString::number(PortNumber),
                                                            QStringLiteral("--quiet")} +
                                                arguments);
    return standIn->nextLine().isEmpty() ? nullptr : std::move(standIn);
}

class QuietReporter final : public TransferReporter {
public:
    void progressStarted(int) override {}
    void progress(int) override {}
    void message(const TransferMessage&) override {}
};

// The real port and clock, as the program uses them.
struct Link {
    ModBrevane mod;
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
    SteadyClock clock;
    Exchange exchange{*port, clock, mod};
    QuietReporter reporter;

    Link() { mod.ComPortNum = PortNumber; }
};

// Wall ms of each of `runs` transfers, each one opening and closing the port; empty when
// a run fails.
std::vector<double> timeRuns(Link& link, int runs, bool upload) {
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        const TransferOutcome outcome = upload ? UploadCnf(link.exchange, link.reporter)
                                               : DownloadCnf(link.exchange, link.reporter);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        link.port->close();
        if (outcome.kind != TransferOutcome::Complete) {
            std::fprintf(stderr, "%s failed (%d)\n", upload ? "Upload" : "Download",
                         outcome.errorCode);
            return {};
        }
    }
    return ms;
}

// Wall ms of each of `runs` runs of a brevane-cli command in this process; empty when one
// does not end as expected.
template <typename Command>
std::vector<double> timeCommand(int runs, const char* name, Command command) {
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        Console console{outStream, errStream};
        timer.start();
        const int status = command(console);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (status != 0) {
            std::fprintf(stderr, "%s ended with %d: %s\n", name, status, qPrintable(err));
            return {};
        }
    }
    return ms;
}

void printFigure(const char* figure, double value, const char* unit, const char* target) {
    std::printf("%-44s %8.3f %-2s  %s\n", figure, value, unit, target);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    // The stand-in links its line into the ports folder under HOME; keep it out of the
    // user's.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());

    Link link;
    for (int i = 0; i < CnfBytes; ++i) {
        link.mod.Cnf[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0xFF);
    }
    link.mod.PackKeys(QStringLiteral("Nord-7"), QStringLiteral("Ost 42"));
    const qsizetype downChars = downloadCharacters();
    const qsizetype upChars = uploadCharacters();

    constexpr int PacedRuns = 7;
    constexpr int UnpacedRuns = 21;
    constexpr int Waits = 3;
    std::vector<double> pacedDown;
    std::vector<double> pacedUp;
    std::vector<double> fastDown;
    std::vector<double> fastUp;
    std::vector<double> pacedCompare;
    std::vector<double> pacedBackup;
    {
        const auto standIn = startStandIn({});
        if (!standIn) {
            std::fprintf(stderr, "the stand-in did not start\n");
            return 1;
        }
        pacedDown = timeRuns(link, PacedRuns, false);
        pacedUp = timeRuns(link, PacedRuns, true);
        // The stand-in now holds the table, so compare finds it the same.
        LinkSettings settings;
        settings.portNumber = PortNumber;
        const QString file = home.filePath(QStringLiteral("site.BRV"));
        if (!writeBrvFile(file, link.mod.Cnf)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        pacedCompare = timeCommand(PacedRuns, "compare", [&](Console& console) {
            return runCompare(file, ShowFormat::Text, settings, console);
        });
        pacedBackup = timeCommand(PacedRuns, "download --backup", [&](Console& console) {
            return runDownload(file, settings, console, home.filePath(QStringLiteral("backups")));
        });
    }
    {
        const auto standIn = startStandIn({QStringLiteral("--no-pacing")});
        if (!standIn) {
            std::fprintf(stderr, "the stand-in did not start\n");
            return 1;
        }
        fastDown = timeRuns(link, UnpacedRuns, false);
        fastUp = timeRuns(link, UnpacedRuns, true);
    }
    // Through a USB serial adapter as the stand-in models it, at a prompt and at the
    // common default latency timer.
    constexpr std::array<int, 2> AdapterMs{1, 16};
    std::array<std::vector<double>, 2> adapterDown;
    std::array<std::vector<double>, 2> adapterUp;
    for (std::size_t k = 0; k < AdapterMs.size(); ++k) {
        const auto standIn =
            startStandIn({QStringLiteral("--adapter-latency"), QString::number(AdapterMs[k])});
        if (!standIn) {
            std::fprintf(stderr, "the stand-in did not start\n");
            return 1;
        }
        adapterDown[k] = timeRuns(link, PacedRuns, false);
        adapterUp[k] = timeRuns(link, PacedRuns, true);
        if (adapterDown[k].empty() || adapterUp[k].empty()) {
            return 1;
        }
    }
    if (pacedDown.empty() || pacedUp.empty() || fastDown.empty() || fastUp.empty() ||
        pacedCompare.empty() || pacedBackup.empty()) {
        return 1;
    }

    // One unanswered command at the real time-out: the wait blocks on the line; then the
    // same wait as the window waits, serving its events every IdleIntervalMs.
    std::vector<double> waitCpu;
    std::vector<double> waitWall;
    std::vector<double> servedCpu;
    {
        const auto standIn = startStandIn(
            {QStringLiteral("--no-pacing"), QStringLiteral("--fault"), QStringLiteral("silent")});
        if (!standIn || !link.port->open(PortNumber)) {
            std::fprintf(stderr, "cannot open the stand-in's line\n");
            return 1;
        }
        QElapsedTimer timer;
        for (int wait = 0; wait < Waits; ++wait) {
            const double before = processorMs();
            timer.start();
            const bool answered = link.exchange.SendCommand(ChecksumCommand, ChecksumReplyLength);
            waitWall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            waitCpu.push_back(processorMs() - before);
            if (answered) {
                std::fprintf(stderr, "the silent stand-in answered\n");
                return 1;
            }
        }
        link.exchange.setIdle(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        for (int wait = 0; wait < Waits; ++wait) {
            const double before = processorMs();
            link.exchange.SendCommand(ChecksumCommand, ChecksumReplyLength);
            servedCpu.push_back(processorMs() - before);
        }
        link.exchange.setIdle({});
        link.port->close();
    }

    const double downFloor = wireMs(downChars);
    const double upFloor = wireMs(upChars);
    char label[64];
    std::printf("%-44s %11s  %s\n", "figure", "value", "target");
    std::snprintf(label, sizeof label, "Download wire-time floor (%lld characters)",
                  static_cast<long long>(downChars));
    printFigure(label, downFloor, "ms", "(38400 baud, 10 bits a character)");
    printFigure("Download paced, wall (median of 7)", median(pacedDown), "ms", "-");
    printFigure("Download paced / floor", median(pacedDown) / downFloor, "x", "<= 1.02 x");
    std::snprintf(label, sizeof label, "Upload wire-time floor (%lld characters)",
                  static_cast<long long>(upChars));
    printFigure(label, upFloor, "ms", "(38400 baud, 10 bits a character)");
    printFigure("Upload paced, wall (median of 7)", median(pacedUp), "ms", "-");
    printFigure("Upload paced / floor", median(pacedUp) / upFloor, "x", "<= 1.02 x");
    for (std::size_t k = 0; k < AdapterMs.size(); ++k) {
        const bool prompt = AdapterMs[k] <= PromptLatencyMs;
        for (const bool upload : {false, true}) {
            const char* run = upload ? "Upload" : "Download";
            const double wall = median(upload ? adapterUp[k] : adapterDown[k]);
            std::snprintf(label, sizeof label, "%s, %d ms adapter, wall (median of 7)", run,
                          AdapterMs[k]);
            printFigure(label, wall, "ms", "-");
            std::snprintf(label, sizeof label, "%s, %d ms adapter / floor", run, AdapterMs[k]);
            printFigure(label, wall / (upload ? upFloor : downFloor), "x",
                        prompt ? "<= 1.05 x" : "(the adapter's timer sets it)");
        }
    }
    printFigure("compare paced, wall (median of 7)", median(pacedCompare), "ms", "-");
    printFigure("compare paced / Upload floor", median(pacedCompare) / upFloor, "x", "<= 1.10 x");
    std::snprintf(label, sizeof label, "download --backup floor (%lld characters)",
                  static_cast<long long>(downChars + upChars));
    printFigure(label, downFloor + upFloor, "ms", "(Upload's and Download's)");
    printFigure("download --backup paced, wall (median of 7)", median(pacedBackup), "ms", "-");
    printFigure("download --backup paced / floor", median(pacedBackup) / (downFloor + upFloor), "x",
                "<= 1.10 x");
    printFigure("Download unpaced, wall (median of 21)", median(fastDown), "ms", "< 30 ms");
    printFigure("Upload unpaced, wall (median of 21)", median(fastUp), "ms", "< 30 ms");
    printFigure("unanswered command, wall (median of 3)", median(waitWall), "ms", "(5000 ms)");
    if (waitCpu.front() >= 0.0) {
        printFigure("processor time in that wait (median of 3)", median(waitCpu), "ms", "< 50 ms");
        printFigure("that wait, served every 50 ms (median of 3)", median(servedCpu), "ms",
                    "< 50 ms");
    } else {
        std::printf("%-44s %11s  %s\n", "processor time in that wait", "n/a", "< 50 ms");
    }
    return 0;
}
