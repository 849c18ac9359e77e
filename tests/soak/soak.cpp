// brevane-soak: hundreds of Downloads and Uploads through the real serial port against the
// real controller stand-in, each run with a fault drawn at random (or none). After every
// run it checks what the user was told against what the controller and the table hold,
// that the port is closed, that no descriptor leaked and that the run kept to its
// time-outs. Prints the seed, the counts and every finding; exits 1 on any finding.
//
//     brevane-soak [--runs N] [--seed S] [--timeout-ms T] [--verbose] [--sim PATH]

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>

#include "app/brevaneapp.h"
#include "files/brvfile.h"
#include "link/protocol.h"
#include "mainwindow/keybox.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"
#include "tools/nc-sim/controller.h"

namespace {

constexpr int SimPort = 1;
constexpr int FramesPerRun = 10; // nine blocks and the checksum request
constexpr int Patience = 10000;  // ms; for the stand-in to start or stop
// Beyond the reply time-outs a run may take this long: writing frames, redrawing the
// rows after an Upload, a loaded machine.
constexpr qint64 RunMarginMs = 1500;

void print(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// The real serial port, counted.
class CountingPort final : public SerialPort {
public:
    bool open(int portNumber) override {
        ++opens;
        return m_port.open(portNumber);
    }
    void close() override {
        ++closes;
        m_port.close();
    }
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray& bytes) override {
        ++writes;
        return m_port.write(bytes);
    }
    qint64 bytesWaiting() override { return m_port.bytesWaiting(); }
    QByteArray takeAll() override { return m_port.takeAll(); }
    void discardInput() override { m_port.discardInput(); }
    bool waitForMore(int ms) override { return m_port.waitForMore(ms); }
    bool failed() const override { return m_port.failed(); }

    int opens = 0;
    int closes = 0;
    int writes = 0;

private:
    QtSerialPort m_port;
};

// Answers Yes to the discard question and OK to everything else; keeps the transfer
// messages.
class Answers final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const MessageSpec& spec) override {
        if (spec.buttons.testFlag(QMessageBox::Yes)) {
            ++questions;
            return QMessageBox::Yes;
        }
        shown << spec;
        return QMessageBox::Ok;
    }

    QList<MessageSpec> shown;
    int questions = 0;
};

struct DrawnFault {
    std::optional<FaultKind> kind; // none: a clean line
    int frame = 0;                 // 0: every frame

    QString spec() const {
        if (!kind) {
            return QStringLiteral("none");
        }
        const QString name = faultName(*kind);
        return frame == 0 ? name : QStringLiteral("%1@%2").arg(name).arg(frame);
    }
};

enum class Op { Download, Upload };

// What the user was told: "Complete", "Error 71", "Port Error", or what else came.
QString outcomeOf(const QList<MessageSpec>& shown) {
    if (shown.size() != 1) {
        return QStringLiteral("%1 messages").arg(shown.size());
    }
    const QString& text = shown.first().text;
    if (text.endsWith(QStringLiteral(" Complete"))) {
        return QStringLiteral("Complete");
    }
    if (text == QStringLiteral("Unable To Open Port")) {
        return QStringLiteral("Port Error");
    }
    static const QRegularExpression error(QStringLiteral("^(Download|Upload) Error: (\\d+)\r\n"));
    const QRegularExpressionMatch match = error.match(text);
    if (match.hasMatch()) {
        return QStringLiteral("Error ") + match.captured(2);
    }
    return QStringLiteral("message '%1'").arg(text);
}

// The outcome a fault must lead to, where the fault alone decides it.
std::optional<QString> expectedOutcome(const DrawnFault& fault, Op op) {
    QString complete = QStringLiteral("Complete");
    if (!fault.kind) {
        return complete;
    }
    const int first = fault.frame == 0 ? 1 : fault.frame;
    const auto failingAt = [&](int frame) -> QString {
        if (frame > FramesPerRun) {
            return complete;
        }
        const int code = frame == FramesPerRun ? 52 : (op == Op::Download ? 4 : 71);
        return QStringLiteral("Error %1").arg(code);
    };
    const bool hitsChecksumReply = fault.frame == 0 || fault.frame == FramesPerRun;
    switch (*fault.kind) {
    case FaultKind::Silent:
    case FaultKind::BadSum:
    case FaultKind::Short:
    case FaultKind::Junk:
    case FaultKind::Hangup:
        return failingAt(first);
    case FaultKind::Lower:
        return complete;
    case FaultKind::High:
        return hitsChecksumReply ? QStringLiteral("Error 61") : complete;
    case FaultKind::Low:
        return hitsChecksumReply ? QStringLiteral("Error 62") : complete;
    case FaultKind::Extra:
        // The extra characters enter the checksum; now and then they keep it right.
        return first > FramesPerRun ? std::optional<QString>(complete) : std::nullopt;
    case FaultKind::Stale:
        // Whether the stale bytes beat the next command's flush is a matter of timing.
        return fault.frame >= FramesPerRun ? std::optional<QString>(complete) : std::nullopt;
    }
    return std::nullopt;
}

int openDescriptors() {
#ifdef Q_OS_LINUX
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
#else
    return 0;
#endif
}

class Soak {
public:
    Soak(QString simPath, quint64 seed, int timeoutMs, bool verbose)
        : m_simPath(std::move(simPath)), m_random(seed), m_timeoutMs(timeoutMs), m_verbose(verbose),
          m_app(
              std::make_unique<BrevaneApp>(Seams{.messages = &m_answers, .serialPort = &m_port})) {
        m_app->transferCommands().mnuComPort_Click(SimPort - 1);
        m_app->transferCommands().setReplyTimeoutMs(timeoutMs);
        // Shown even when none came.
        for (const char* outcome :
             {"Download Complete", "Download Port Error", "Upload Complete", "Upload Port Error"}) {
            m_outcomes[QLatin1String(outcome)] = 0;
        }
    }

    void run(int number);
    int findings() const { return m_findings; }
    void printSummary(int runs, qint64 ms) const;

private:
    DrawnFault drawFault();
    CnfTable randomTable();
    QString randomKey();
    void finding(int number, const QString& what);

    QString m_simPath;
    QRandomGenerator m_random;
    int m_timeoutMs;
    bool m_verbose;
    Answers m_answers;
    CountingPort m_port;
    std::unique_ptr<BrevaneApp> m_app;
    int m_lastDescriptors = -1;
    int m_findings = 0;
    QMap<QString, int> m_faults;   // by kind
    QMap<QString, int> m_outcomes; // "Download Complete", "Upload Error 71", ...
    qint64 m_longestMs = 0;
};

DrawnFault Soak::drawFault() {
    static constexpr FaultKind Kinds[] = {FaultKind::Silent, FaultKind::BadSum, FaultKind::Short,
                                          FaultKind::Extra,  FaultKind::Lower,  FaultKind::High,
                                          FaultKind::Low,    FaultKind::Junk,   FaultKind::Stale,
                                          FaultKind::Hangup};
    constexpr int KindCount = int(std::size(Kinds));
    const int pick = int(m_random.bounded(KindCount + 2));
    if (pick >= KindCount) {
        return {}; // one run in six or so has a clean line
    }
    DrawnFault fault{Kinds[pick], 0};
    // Mostly one frame (1-10, or 11, which never comes); now and then every frame.
    if (m_random.bounded(5) != 0) {
        fault.frame = 1 + int(m_random.bounded(FramesPerRun + 1));
    }
    return fault;
}

CnfTable Soak::randomTable() {
    CnfTable cnf{};
    for (std::uint8_t& b : cnf) {
        b = static_cast<std::uint8_t>(m_random.bounded(256));
    }
    return cnf;
}

QString Soak::randomKey() {
    static const QString Chars =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.!#");
    QString key;
    const int length = int(m_random.bounded(KeyLength + 1));
    for (int i = 0; i < length; ++i) {
        key += Chars[int(m_random.bounded(Chars.size()))];
    }
    return key;
}

void Soak::finding(int number, const QString& what) {
    ++m_findings;
    print(QStringLiteral("FINDING in run %1: %2").arg(number).arg(what));
}

void Soak::run(int number) {
    const Op op = m_random.bounded(2) == 0 ? Op::Download : Op::Upload;
    const DrawnFault fault = drawFault();
    const ControllerImage simStart = controllerImage(randomTable());
    const CnfTable table = randomTable();
    const QString oKey = randomKey();
    const QString iKey = randomKey();
    const bool modified = m_random.bounded(2) == 0;

    const QString statePath = QDir::home().filePath(QStringLiteral("controller.BRV"));
    if (!writeBrvFile(statePath, tableFromImage(simStart))) {
        finding(number, QStringLiteral("cannot write the stand-in's state file"));
        return;
    }
    ModBrevane& mod = m_app->mod();
    frmBrevaneMain& window = m_app->window();
    mod.Cnf = table;
    mod.Modified = modified;
    mod.CnfPath = QStringLiteral("/site/previous.BRV");
    window.txtOKey()->setText(oKey);
    window.txtIKey()->setText(iKey);
    m_answers.shown.clear();

    QElapsedTimer timer;
    int writes = 0;
    {
        QProcess sim;
        QStringList arguments{QStringLiteral("--port"),      QString::number(SimPort),
                              QStringLiteral("--no-pacing"), QStringLiteral("--quiet"),
                              QStringLiteral("--state"),     statePath};
        if (fault.kind) {
            arguments << QStringLiteral("--fault") << fault.spec();
        }
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(m_simPath, arguments);
        QElapsedTimer started;
        started.start();
        while (!sim.canReadLine() && sim.state() != QProcess::NotRunning &&
               started.elapsed() < Patience) {
            sim.waitForReadyRead(Patience);
        }
        if (!sim.canReadLine()) {
            finding(number, QStringLiteral("the stand-in did not start"));
            return;
        }
        sim.readLine();

        const int writesBefore = m_port.writes;
        timer.start();
        if (op == Op::Download) {
            m_app->transferCommands().mnuDownload_Click();
        } else {
            m_app->transferCommands().mnuUpload_Click();
        }
        const qint64 ms = timer.elapsed();
        writes = m_port.writes - writesBefore;
        m_longestMs = qMax(m_longestMs, ms);

        sim.terminate();
        if (!sim.waitForFinished(Patience) || sim.exitStatus() != QProcess::NormalExit ||
            sim.exitCode() != 0) {
            finding(number, QStringLiteral("the stand-in ended badly (status %1, code %2)")
                                .arg(int(sim.exitStatus()))
                                .arg(sim.exitCode()));
        }
        const qint64 limit = qint64(writes) * m_timeoutMs + RunMarginMs;
        if (ms >= limit) {
            finding(number, QStringLiteral("took %1 ms for %2 exchanges (limit %3 ms)")
                                .arg(ms)
                                .arg(writes)
                                .arg(limit));
        }
    }

    const QString opName =
        op == Op::Download ? QStringLiteral("Download") : QStringLiteral("Upload");
    const QString outcome = outcomeOf(m_answers.shown);
    ++m_outcomes[opName + QLatin1Char(' ') + outcome];
    ++m_faults[fault.kind ? faultName(*fault.kind) : QStringLiteral("none")];
    if (m_verbose) {
        print(QStringLiteral("run %1: %2, fault %3, %4, %5 frames")
                  .arg(number)
                  .arg(opName, fault.spec(), outcome)
                  .arg(writes));
    }
    const auto fail = [&](const QString& what) {
        finding(
            number,
            QStringLiteral("%1 with fault %2 (%3): %4").arg(opName, fault.spec(), outcome, what));
    };

    const std::optional<CnfTable> simTable = readBrvFile(statePath);
    if (!simTable) {
        fail(QStringLiteral("the stand-in's state file cannot be read"));
        return;
    }
    const ControllerImage simEnd = controllerImage(*simTable);
    const bool complete = outcome == QStringLiteral("Complete");

    if (const std::optional<QString> expected = expectedOutcome(fault, op);
        expected && *expected != outcome) {
        fail(QStringLiteral("expected %1").arg(*expected));
    }
    if (outcome == QStringLiteral("Port Error")) {
        fail(QStringLiteral("the stand-in's port could not be opened"));
    }
    if (op == Op::Download) {
        ModBrevane packed;
        packed.Cnf = table;
        packed.PackKeys(oKey, iKey);
        if (mod.Cnf != packed.Cnf) {
            fail(QStringLiteral("the table changed beyond the packed keys"));
        }
        if (complete && simEnd != controllerImage(mod.Cnf)) {
            fail(QStringLiteral("\"Download Complete\" but the controller holds another image"));
        }
        if (mod.Modified != modified) {
            fail(QStringLiteral("Modified changed"));
        }
    } else {
        if (simEnd != simStart) {
            fail(QStringLiteral("reading changed the controller's image"));
        }
        if (complete) {
            if (mod.Cnf != tableFromImage(simEnd)) {
                fail(QStringLiteral("\"Upload Complete\" but the table differs from the "
                                    "controller's image"));
            }
            ModBrevane unpacked;
            unpacked.Cnf = mod.Cnf;
            unpacked.UnpackKeys();
            if (window.txtOKey()->text() != unpacked.OKey ||
                window.txtIKey()->text() != unpacked.IKey) {
                fail(QStringLiteral("the key boxes do not show the uploaded keys"));
            }
        } else if (outcome.startsWith(QStringLiteral("Error"))) {
            if (mod.Cnf != CnfTable{} || !mod.OKey.isEmpty() || !mod.IKey.isEmpty() ||
                !window.txtOKey()->text().isEmpty() || !window.txtIKey()->text().isEmpty()) {
                fail(QStringLiteral("a failed Upload left data in the table or the key boxes"));
            }
            if (mod.Modified || mod.CnfPath != QStringLiteral("None")) {
                fail(QStringLiteral("a failed Upload left Modified or a file name"));
            }
        }
    }
    if (m_port.isOpen() || m_port.opens != m_port.closes) {
        fail(QStringLiteral("the port was left open (%1 opens, %2 closes)")
                 .arg(m_port.opens)
                 .arg(m_port.closes));
    }
    // The first run may open what lasts for the whole program; after that the count holds.
    const int descriptors = openDescriptors();
    if (m_lastDescriptors >= 0 && descriptors != m_lastDescriptors) {
        fail(QStringLiteral("%1 file descriptors open, %2 before")
                 .arg(descriptors)
                 .arg(m_lastDescriptors));
    }
    m_lastDescriptors = descriptors;
}

void Soak::printSummary(int runs, qint64 ms) const {
    print(QStringLiteral("%1 runs in %2 s, longest %3 ms; %4 findings")
              .arg(runs)
              .arg(double(ms) / 1000.0, 0, 'f', 1)
              .arg(m_longestMs)
              .arg(m_findings));
    int withFault = 0;
    QStringList faults;
    for (auto it = m_faults.cbegin(); it != m_faults.cend(); ++it) {
        if (it.key() != QStringLiteral("none")) {
            withFault += it.value();
            faults << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        }
    }
    print(QStringLiteral("faults: %1 runs with a fault (%2), %3 on a clean line")
              .arg(withFault)
              .arg(faults.join(QStringLiteral(", ")))
              .arg(m_faults.value(QStringLiteral("none"))));
    for (auto it = m_outcomes.cbegin(); it != m_outcomes.cend(); ++it) {
        print(QStringLiteral("  %1: %2").arg(it.key()).arg(it.value()));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // Headless, and in a home of its own: the stand-in links its port under it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fputs("brevane-soak: cannot make a temporary home\n", stderr);
        return 2;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    }
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Downloads and Uploads against the controller stand-in, each with a random fault."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Number of runs."),
                                        QStringLiteral("N"), QStringLiteral("300"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed (default: a fresh one)."),
                                        QStringLiteral("S"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout-ms"),
                                           QStringLiteral("Reply time-out of every exchange."),
                                           QStringLiteral("T"), QStringLiteral("400"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("One line per run."));
    const QCommandLineOption simOption(QStringLiteral("sim"),
                                       QStringLiteral("The stand-in program."),
                                       QStringLiteral("PATH"), QStringLiteral(BREVANE_NC_SIM));
    parser.addOptions({runsOption, seedOption, timeoutOption, verboseOption, simOption});
    parser.process(app);

    bool ok = false;
    const int runs = parser.value(runsOption).toInt(&ok);
    if (!ok || runs < 1) {
        std::fputs("brevane-soak: --runs takes a number of 1 or more\n", stderr);
        return 2;
    }
    const int timeoutMs = parser.value(timeoutOption).toInt(&ok);
    if (!ok || timeoutMs < 10) {
        std::fputs("brevane-soak: --timeout-ms takes a number of 10 or more\n", stderr);
        return 2;
    }
    quint64 seed = QRandomGenerator::system()->generate();
    if (parser.isSet(seedOption)) {
        seed = parser.value(seedOption).toULongLong(&ok);
        if (!ok) {
            std::fputs("brevane-soak: --seed takes a number\n", stderr);
            return 2;
        }
    }
    if (!QFileInfo(parser.value(simOption)).isExecutable()) {
        std::fputs(
            qPrintable(
                QStringLiteral("brevane-soak: no stand-in at %1\n").arg(parser.value(simOption))),
            stderr);
        return 2;
    }
    print(QStringLiteral("seed %1 (again: brevane-soak --runs %2 --seed %1)").arg(seed).arg(runs));

    Soak soak(parser.value(simOption), seed, timeoutMs, parser.isSet(verboseOption));
    QElapsedTimer total;
    total.start();
    for (int number = 1; number <= runs; ++number) {
        soak.run(number);
    }
    soak.printSummary(runs, total.elapsed());
    return soak.findings() == 0 ? 0 : 1;
}
