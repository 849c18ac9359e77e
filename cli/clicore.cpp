#include "cli/clicore.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <functional>
#include <memory>
#include <optional>

#include "cli/ping.h"
#include "cli/portlist.h"
#include "cli/tracingport.h"
#include "files/brvfile.h"
#include "link/protocol.h"
#include "link/transfer.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/serialport.h"

namespace {

std::optional<CnfTable> readTable(const QString& path, Console& console) {
    QString error;
    std::optional<CnfTable> cnf = readBrvFile(path, &error);
    if (!cnf) {
        printProblem(console, QStringLiteral("cannot read %1: %2").arg(path, error));
    }
    return cnf;
}

// A message box's text as terminal lines.
QString messageLines(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

// Keeps the run's closing message for the caller, and redraws one line of progress in
// place while err is a terminal.
class ConsoleReporter final : public TransferReporter {
public:
    ConsoleReporter(Console& console, const QString& label, bool progressLine)
        : m_console(console), m_label(label), m_progressLine(progressLine) {}

    void progressStarted(int max) override {
        m_max = max;
        showProgress(0);
    }
    void progress(int value) override { showProgress(value); }
    void message(const TransferMessage& message) override {
        if (m_lineShown) {
            m_console.err << '\n' << Qt::flush;
            m_lineShown = false;
        }
        m_message = message;
    }

    const TransferMessage& closingMessage() const { return m_message; }

private:
    void showProgress(int value) {
        if (!m_progressLine) {
            return;
        }
        m_console.err << '\r' << m_label
                      << QStringLiteral(": %1 of %2 blocks").arg(value).arg(m_max) << Qt::flush;
        m_lineShown = true;
    }

    Console& m_console;
    QString m_label;
    bool m_progressLine = false;
    bool m_lineShown = false;
    int m_max = 0;
    TransferMessage m_message;
};

// The line (traced when asked), the clock, the shared state and the exchange for one
// command. The line is closed when the command is done with it, whatever happened.
class LinkRig {
public:
    LinkRig(const LinkSettings& settings, Console& console) {
        SerialPort* line = settings.line;
        if (line == nullptr) {
            m_ownLine = makeSystemSerialPort();
            line = m_ownLine.get();
        }
        TimeoutClock* clock = settings.clock;
        if (clock == nullptr) {
            m_ownClock = std::make_unique<SteadyClock>();
            clock = m_ownClock.get();
        }
        if (settings.trace) {
            m_trace = std::make_unique<TracingPort>(*line, [&console](const QString& text) {
                console.err << text << '\n' << Qt::flush;
            });
            line = m_trace.get();
        }
        m_line = line;
        m_portNumber = settings.portNumber;
        m_mod.ComPortNum = settings.portNumber;
        m_exchange = std::make_unique<Exchange>(*line, *clock, m_mod);
        m_exchange->setTimeoutMs(settings.replyTimeoutMs);
    }
    ~LinkRig() { close(); }
    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;

    Exchange& exchange() { return *m_exchange; }
    // The table a run reads into or sends from.
    CnfTable& cnf() { return m_mod.Cnf; }
    // "COM3 (/dev/ttyS2)", or "COM3" where that is the system's own name.
    QString portName() const {
        const QString path = systemPortPath(m_portNumber);
        const QString name = QStringLiteral("COM%1").arg(m_portNumber);
        return path == name ? name : QStringLiteral("%1 (%2)").arg(name, path);
    }
    // "COM3 (/dev/ttyS2): no such port": the port that did not open, and why.
    QString openFailureLine() const {
        return portName() + QStringLiteral(": ") + openFailureText(m_line->openFailure());
    }
    void close() {
        if (m_line->isOpen()) {
            m_line->close();
        }
    }

private:
    std::unique_ptr<SerialPort> m_ownLine;
    std::unique_ptr<SteadyClock> m_ownClock;
    std::unique_ptr<TracingPort> m_trace;
    SerialPort* m_line = nullptr;
    int m_portNumber = 0;
    ModBrevane m_mod;
    std::unique_ptr<Exchange> m_exchange;
};

// The window's message, then which port did not open and why.
void printPortError(const QString& message, const LinkRig& rig, Console& console) {
    console.err << message << '\n' << rig.openFailureLine() << '\n';
}

// The trace shows every block already; a progress line would cut through it.
bool wantsProgressLine(const LinkSettings& link, const Console& console) {
    return console.progressLine && !link.trace;
}

// The closing message on out (success) or err, and the exit status for it.
int finishTransfer(const TransferOutcome& outcome, const TransferMessage& message,
                   const LinkRig& rig, Console& console) {
    switch (outcome.kind) {
    case TransferOutcome::Complete:
        console.out << messageLines(message.text) << '\n';
        return StatusOk;
    case TransferOutcome::PortError:
        printPortError(messageLines(message.text), rig, console);
        return StatusPortFailed;
    case TransferOutcome::Failed:
        break;
    }
    console.err << messageLines(message.text) << '\n';
    return outcome.errorCode;
}

// Reads the controller's table with the Upload sequence into the rig's table, verified;
// the port stays open. A failure is reported on err, without the Upload's own words:
// no table of ours is cleared.
TransferOutcome readController(LinkRig& rig, const LinkSettings& link, Console& console,
                               const QString& label) {
    ConsoleReporter reporter(console, label, wantsProgressLine(link, console));
    const TransferOutcome outcome = UploadCnf(rig.exchange(), reporter);
    if (outcome.kind == TransferOutcome::PortError) {
        printPortError(messageLines(reporter.closingMessage().text), rig, console);
    } else if (outcome.kind == TransferOutcome::Failed) {
        console.err << QStringLiteral("%1 Error: %2\nThe controller's table could not be read.\n")
                           .arg(label)
                           .arg(outcome.errorCode);
    }
    return outcome;
}

int outcomeStatus(const TransferOutcome& outcome) {
    return outcome.kind == TransferOutcome::PortError ? int(StatusPortFailed) : outcome.errorCode;
}

// <folder>/COM<n>-<UTC time>.BRV; a second backup within the same second gets -2, -3, ...
QString backupPath(const QString& folder, int portNumber) {
    const QString stem = QDir(folder).filePath(
        QStringLiteral("COM%1-%2")
            .arg(portNumber)
            .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QString path = stem + QStringLiteral(".BRV");
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = stem + QStringLiteral("-%1.BRV").arg(n);
    }
    return path;
}

// A command between a file and the controller: it is given the file's table as the window
// sends it once the file is open (keys unpacked and packed again), and the line. 2 when
// the file cannot be read.
int withFileAndLink(const QString& path, const LinkSettings& link, Console& console,
                    const std::function<int(const CnfTable& file, LinkRig& rig)>& command) {
    const std::optional<CnfTable> cnf = readTable(path, console);
    if (!cnf) {
        return StatusBadUsage;
    }
    LinkRig rig(link, console);
    return command(withKeysRepacked(*cnf), rig);
}

} // namespace

void printProblem(Console& console, const QString& text) {
    console.err << QStringLiteral("brevane-cli: ") << text << '\n';
}

int runShow(const QString& path, ShowFormat format, Console& console) {
    const std::optional<CnfTable> cnf = readTable(path, console);
    if (!cnf) {
        return StatusBadUsage;
    }
    console.out << showTable(*cnf, format);
    return StatusOk;
}

int runDiff(const QString& pathA, const QString& pathB, Console& console) {
    const std::optional<CnfTable> a = readTable(pathA, console);
    const std::optional<CnfTable> b = a ? readTable(pathB, console) : std::nullopt;
    if (!a || !b) {
        return StatusBadUsage;
    }
    const QStringList lines = diffTables(*a, *b);
    if (lines.isEmpty()) {
        console.out << QStringLiteral("No differences\n");
        return StatusOk;
    }
    console.out << lines.join(QLatin1Char('\n')) << '\n';
    return StatusDiffers;
}

int runDownload(const QString& path, const LinkSettings& link, Console& console,
                const QString& backupFolder) {
    return withFileAndLink(path, link, console, [&](const CnfTable& file, LinkRig& rig) {
        if (!backupFolder.isEmpty() && !QDir().mkpath(backupFolder)) {
            printProblem(console, QStringLiteral("cannot create the folder %1").arg(backupFolder));
            return int(StatusBadUsage);
        }
        QString backup;
        if (!backupFolder.isEmpty()) {
            const TransferOutcome read =
                readController(rig, link, console, QStringLiteral("Backup"));
            if (read.kind != TransferOutcome::Complete) {
                console.err << QStringLiteral("Nothing was downloaded.\n");
                return outcomeStatus(read);
            }
            backup = QDir::toNativeSeparators(backupPath(backupFolder, link.portNumber));
            QString error;
            if (!writeBrvFile(backup, rig.cnf(), &error)) {
                printProblem(console, QStringLiteral("cannot write %1: %2").arg(backup, error));
                console.err << QStringLiteral("Nothing was downloaded.\n");
                return int(StatusBadUsage);
            }
        }
        rig.cnf() = file;
        ConsoleReporter reporter(console, QStringLiteral("Download"),
                                 wantsProgressLine(link, console));
        const TransferOutcome outcome = DownloadCnf(rig.exchange(), reporter);
        rig.close();
        const int status = finishTransfer(outcome, reporter.closingMessage(), rig, console);
        if (!backup.isEmpty()) {
            (status == StatusOk ? console.out : console.err)
                << QStringLiteral("The controller's former table is in %1\n").arg(backup);
        }
        return status;
    });
}

int runCompare(const QString& path, ShowFormat format, const LinkSettings& link, Console& console) {
    return withFileAndLink(path, link, console, [&](const CnfTable& file, LinkRig& rig) {
        const TransferOutcome read = readController(rig, link, console, QStringLiteral("Compare"));
        rig.close();
        if (read.kind != TransferOutcome::Complete) {
            return outcomeStatus(read);
        }
        const QList<TableDifference> differences = tableDifferences(file, rig.cnf());
        if (format == ShowFormat::Json) {
            console.out << differencesJson(differences, QStringLiteral("file"),
                                           QStringLiteral("controller"));
        } else if (differences.isEmpty()) {
            console.out << QStringLiteral("No differences\n");
        } else {
            for (const TableDifference& difference : differences) {
                console.out << difference.line() << '\n';
            }
        }
        return differences.isEmpty() ? int(StatusOk) : int(StatusDiffers);
    });
}

int runUpload(const QString& path, const LinkSettings& link, Console& console) {
    // Ten frames are no reason to find out afterwards that the file cannot be placed.
    const QFileInfo target(path);
    if (!target.absoluteDir().exists()) {
        printProblem(console,
                     QStringLiteral("cannot write %1: its folder does not exist").arg(path));
        return StatusBadUsage;
    }
    if (target.isDir()) {
        printProblem(console, QStringLiteral("cannot write %1: it is a folder").arg(path));
        return StatusBadUsage;
    }
    // A fresh table: a failed run leaves nothing that could reach the file.
    LinkRig rig(link, console);
    ConsoleReporter reporter(console, QStringLiteral("Upload"), wantsProgressLine(link, console));
    const TransferOutcome outcome = UploadCnf(rig.exchange(), reporter);
    rig.close();
    if (outcome.kind == TransferOutcome::Failed) {
        finishTransfer(outcome, reporter.closingMessage(), rig, console);
        console.err << QStringLiteral("%1 not written.\n").arg(path);
        return outcome.errorCode;
    }
    if (outcome.kind == TransferOutcome::Complete) {
        QString error;
        if (!writeBrvFile(path, rig.cnf(), &error)) {
            printProblem(console, QStringLiteral("cannot write %1: %2").arg(path, error));
            return StatusBadUsage;
        }
    }
    return finishTransfer(outcome, reporter.closingMessage(), rig, console);
}

int runPorts(Console& console) {
#ifdef Q_OS_WIN
    console.out << comPortsReport(serialDevices());
#else
    const QString folder = portsFolder();
    console.out << portsReport(folder, folderExists(folder), serialDevices());
#endif
    return StatusOk;
}

namespace {

// One checksum request, timed from the frame out to the reply in.
PingResult pingOnce(Exchange& exchange) {
    exchange.mod().LastReply.clear();
    QElapsedTimer timer;
    timer.start();
    if (exchange.SendCommand(ChecksumCommand, ChecksumReplyLength)) {
        return {PingResult::Answered, double(timer.nsecsElapsed()) / 1e6};
    }
    // A whole reply was taken, and its checksum failed; else what came in time, if any.
    const QByteArray reply = exchange.mod().LastReply;
    if (!reply.isEmpty()) {
        const bool whole =
            reply.size() == ChecksumReplyLength && reply.startsWith('[') && reply.endsWith(']');
        return {whole ? PingResult::WrongChecksum : PingResult::CutShort, 0};
    }
    return {exchange.port().takeAll().isEmpty() ? PingResult::NoReply : PingResult::CutShort, 0};
}

// How to lower the latency timer of the adapter behind port n, on this system.
QString lowerLatencySteps(int portNumber) {
    const QString name = QStringLiteral("COM%1").arg(portNumber);
#ifdef Q_OS_WIN
    for (const SerialDevice& device : serialDevices()) {
        if (device.name.compare(name, Qt::CaseInsensitive) == 0 &&
            device.latencyTimerMs > PromptLatencyMs) {
            return windowsLatencyAdvice(device);
        }
    }
    return QStringLiteral("An FTDI adapter's timer is set in the Device Manager: Ports (COM & LPT) "
                          "> %1 > Properties >\nPort Settings > Advanced > Latency Timer "
                          "(msec): 1, then OK.\n")
        .arg(name);
#else
    const QString reached = QFileInfo(systemPortPath(portNumber)).canonicalFilePath();
    for (const SerialDevice& device : serialDevices()) {
        if (!reached.isEmpty() && QFileInfo(device.location).canonicalFilePath() == reached &&
            device.latencyTimerMs > PromptLatencyMs) {
            return linuxLatencyAdvice(device);
        }
    }
    return QStringLiteral("Orvik Brevane asks the port's driver for low latency (--trace says "
                          "whether it was granted);\nbrevane-cli ports shows an FTDI adapter's "
                          "latency timer and how to set it.\n");
#endif
}

} // namespace

int runPing(int count, const LinkSettings& link, Console& console) {
    LinkSettings settings = link;
    settings.replyTimeoutMs = std::min(link.replyTimeoutMs, PingTimeoutMs);
    LinkRig rig(settings, console);
    PingRun run;
    run.port = rig.portName();
    ConsoleReporter reporter(console, QStringLiteral("Ping"), false);
    if (!openComPort(rig.exchange(), reporter)) {
        run.openFailure = rig.openFailureLine();
    } else {
        console.out << pingHeader(run.port, count) << Qt::flush;
        for (int k = 1; k <= count; ++k) {
            run.results << pingOnce(rig.exchange());
            console.out << pingLine(k, run.results.last()) << Qt::flush;
        }
        rig.close();
        run.lowerLatency = lowerLatencySteps(link.portNumber);
    }
    const PingReport report = pingSummary(run);
    console.out << report.out;
    console.err << report.err;
    return report.status;
}

int runVerify(const QString& path, const LinkSettings& link, Console& console) {
    return withFileAndLink(path, link, console, [&](const CnfTable& file, LinkRig& rig) {
        ConsoleReporter reporter(console, QStringLiteral("Verify"), false);
        if (!openComPort(rig.exchange(), reporter)) {
            printPortError(messageLines(reporter.closingMessage().text), rig, console);
            return int(StatusPortFailed);
        }
        const int code = VerifyCnf(rig.exchange(), controllerImage(file));
        rig.close();
        if (code == ChecksumRequestFailed) {
            console.err << QStringLiteral("Verify Error: %1\nThe controller gave no valid answer "
                                          "to the checksum request.\n")
                               .arg(code);
            return code;
        }
        if (code == 0) {
            console.out << QStringLiteral("Controller matches %1\n").arg(path);
            return int(StatusOk);
        }
        console.out << QStringLiteral("Controller differs from %1\n").arg(path);
        return int(StatusDiffers);
    });
}
