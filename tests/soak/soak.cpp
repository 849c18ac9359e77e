// brevane-soak: Downloads and Uploads through the real serial port against the real
// controller stand-in, each with a fault drawn at random (or none). After every run it
// checks what the user was told against what the controller and the table hold, that the
// port is closed and that no descriptor leaked. Prints the seed, the outcomes and every finding;
// exits 1 on any finding.
//
//     brevane-soak [--runs N] [--seed S]

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
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

constexpr int FramesPerRun = 10; // nine blocks and the checksum request
constexpr int TimeoutMs = 400;   // each exchange's reply time-out
constexpr int Patience = 10000;  // ms; for the stand-in to start or stop

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
    bool write(const QByteArray& bytes) override { return m_port.write(bytes); }
    qint64 bytesWaiting() override { return m_port.bytesWaiting(); }
    QByteArray takeAll() override { return m_port.takeAll(); }
    void discardInput() override { m_port.discardInput(); }
    bool waitForMore(int ms) override { return m_port.waitForMore(ms); }
    bool failed() const override { return m_port.failed(); }

    int opens = 0;
    int closes = 0;

private:
    QtSerialPort m_port;
};

// Yes to the discard question, OK to everything else; keeps the other messages.
class Answers final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const MessageSpec& spec) override {
        if (spec.buttons.testFlag(QMessageBox::Yes)) {
            return QMessageBox::Yes;
        }
        shown << spec;
        return QMessageBox::Ok;
    }
    QList<MessageSpec> shown;
};

// What the user was told: "Complete", "Error 71", "Port Error", or what else came.
QString outcomeOf(const QList<MessageSpec>& shown) {
    if (shown.size() != 1) {
        return QStringLiteral("%1 messages").arg(shown.size());
    }
    const QString& text = shown.first().text;
    static const QRegularExpression error(QStringLiteral("^(Download|Upload) Error: (\\d+)\r\n"));
    const QRegularExpressionMatch match = error.match(text);
    if (text.endsWith(QStringLiteral(" Complete"))) {
        return QStringLiteral("Complete");
    }
    if (text == QStringLiteral("Unable To Open Port")) {
        return QStringLiteral("Port Error");
    }
    return match.hasMatch() ? QStringLiteral("Error ") + match.captured(2)
                            : QStringLiteral("message '%1'").arg(text);
}

// The outcome a fault must lead to, where the fault alone decides it.
std::optional<QString> expectedOutcome(const std::optional<Fault>& fault, bool download) {
    const QString complete = QStringLiteral("Complete");
    if (!fault) {
        return complete;
    }
    const int first = fault->frame == 0 ? 1 : fault->frame;
    const bool atChecksum = fault->frame == 0 || fault->frame == FramesPerRun;
    switch (fault->kind) {
    case FaultKind::Lower:
        return complete;
    case FaultKind::High:
        return atChecksum ? QStringLiteral("Error 61") : complete;
    case FaultKind::Low:
        return atChecksum ? QStringLiteral("Error 62") : complete;
    case FaultKind::Extra: // the extra characters enter the checksum and now and then keep it
        return first > FramesPerRun ? std::optional<QString>(complete) : std::nullopt;
    case FaultKind::Stale: // whether stale bytes beat the next flush is a matter of timing
        return fault->frame >= FramesPerRun ? std::optional<QString>(complete) : std::nullopt;
    default:
        break;
    }
    if (first > FramesPerRun) {
        return complete;
    }
    const int code = first == FramesPerRun ? 52 : (download ? 4 : 71);
    return QStringLiteral("Error %1").arg(code);
}

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

class Soak {
public:
    explicit Soak(quint64 seed)
        : m_random(seed), m_app(std::make_unique<BrevaneApp>(
                              Seams{.messages = &m_answers, .serialPort = &m_port})) {
        m_app->transferCommands().mnuComPort_Click(0);
        m_app->transferCommands().setReplyTimeoutMs(TimeoutMs);
    }

    void run(int number);
    int findings = 0;
    QMap<QString, int> outcomes; // "Download Complete", "Upload Error 71", ...

private:
    CnfTable randomTable() {
        CnfTable cnf{};
        for (std::uint8_t& b : cnf) {
            b = static_cast<std::uint8_t>(m_random.bounded(256));
        }
        return cnf;
    }
    QString randomKey() {
        static const QString Chars = QStringLiteral("ABCXYZabcxyz0123456789-_.!#");
        QString key;
        for (int i = int(m_random.bounded(KeyLength + 1)); i > 0; --i) {
            key += Chars[int(m_random.bounded(Chars.size()))];
        }
        return key;
    }
    // One run in six or so on a clean line; mostly one frame (1-10, or 11, which never
    // comes), now and then every frame.
    std::optional<Fault> drawFault() {
        const int kind = int(m_random.bounded(int(FaultKind::Hangup) + 3));
        if (kind > int(FaultKind::Hangup)) {
            return std::nullopt;
        }
        const int frame =
            m_random.bounded(5) == 0 ? 0 : 1 + int(m_random.bounded(FramesPerRun + 1));
        return Fault{FaultKind(kind), frame};
    }

    QRandomGenerator m_random;
    Answers m_answers;
    CountingPort m_port;
    std::unique_ptr<BrevaneApp> m_app;
    int m_lastDescriptors = -1;
};

void Soak::run(int number) {
    const bool download = m_random.bounded(2) == 0;
    const std::optional<Fault> fault = drawFault();
    const ControllerImage simStart = controllerImage(randomTable());
    const CnfTable table = randomTable();
    const QString oKey = randomKey();
    const QString iKey = randomKey();
    const bool modified = m_random.bounded(2) == 0;
    const QString spec =
        !fault              ? QStringLiteral("none")
        : fault->frame == 0 ? faultName(fault->kind)
                            : QStringLiteral("%1@%2").arg(faultName(fault->kind)).arg(fault->frame);
    const QString opName = download ? QStringLiteral("Download") : QStringLiteral("Upload");
    QString outcome;
    const auto fail = [&](const QString& what) {
        ++findings;
        print(QStringLiteral("FINDING in run %1: %2 with fault %3 (%4): %5")
                  .arg(number)
                  .arg(opName, spec, outcome, what));
    };

    const QString statePath = QDir::home().filePath(QStringLiteral("controller.BRV"));
    if (!writeBrvFile(statePath, tableFromImage(simStart))) {
        return fail(QStringLiteral("cannot write the stand-in's state file"));
    }
    ModBrevane& mod = m_app->mod();
    frmBrevaneMain& window = m_app->window();
    mod.Cnf = table;
    mod.Modified = modified;
    mod.CnfPath = QStringLiteral("/site/previous.BRV");
    window.txtOKey()->setText(oKey);
    window.txtIKey()->setText(iKey);
    m_answers.shown.clear();

    QProcess sim;
    QStringList arguments{"--port", "1", "--no-pacing", "--quiet", "--state", statePath};
    if (fault) {
        arguments << QStringLiteral("--fault") << spec;
    }
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(BREVANE_NC_SIM), arguments);
    const QDeadlineTimer deadline(Patience);
    while (!sim.canReadLine() && sim.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        sim.waitForReadyRead(int(deadline.remainingTime()));
    }
    if (!sim.canReadLine()) {
        return fail(QStringLiteral("the stand-in did not start"));
    }
    if (download) {
        m_app->transferCommands().mnuDownload_Click();
    } else {
        m_app->transferCommands().mnuUpload_Click();
    }
    sim.terminate();
    outcome = outcomeOf(m_answers.shown);
    ++outcomes[opName + QLatin1Char(' ') + outcome];
    if (!sim.waitForFinished(Patience) || sim.exitStatus() != QProcess::NormalExit ||
        sim.exitCode() != 0) {
        fail(QStringLiteral("the stand-in ended badly (code %1)").arg(sim.exitCode()));
    }

    const std::optional<CnfTable> simTable = readBrvFile(statePath);
    if (!simTable) {
        return fail(QStringLiteral("the stand-in's state file cannot be read"));
    }
    const ControllerImage simEnd = controllerImage(*simTable);
    const bool complete = outcome == QStringLiteral("Complete");
    if (const std::optional<QString> expected = expectedOutcome(fault, download);
        (expected && *expected != outcome) || outcome == QStringLiteral("Port Error")) {
        fail(QStringLiteral("expected %1").arg(expected.value_or(QStringLiteral("no port error"))));
    }
    if (download) {
        ModBrevane packed;
        packed.Cnf = table;
        packed.PackKeys(oKey, iKey);
        if (mod.Cnf != packed.Cnf || mod.Modified != modified) {
            fail(QStringLiteral("the table changed beyond the packed keys, or Modified did"));
        }
        if (complete && simEnd != controllerImage(mod.Cnf)) {
            fail(QStringLiteral("\"Download Complete\" but the controller holds another image"));
        }
    } else if (simEnd != simStart) {
        fail(QStringLiteral("reading changed the controller's image"));
    } else if (complete) {
        ModBrevane unpacked;
        unpacked.Cnf = tableFromImage(simEnd);
        unpacked.UnpackKeys();
        if (mod.Cnf != unpacked.Cnf || window.txtOKey()->text() != unpacked.OKey ||
            window.txtIKey()->text() != unpacked.IKey) {
            fail(QStringLiteral("the table or the key boxes differ from the controller's"));
        }
    } else if (outcome.startsWith(QStringLiteral("Error")) &&
               (mod.Cnf != CnfTable{} || !mod.OKey.isEmpty() || !mod.IKey.isEmpty() ||
                !window.txtOKey()->text().isEmpty() || !window.txtIKey()->text().isEmpty() ||
                mod.Modified || mod.CnfPath != QStringLiteral("None"))) {
        fail(QStringLiteral("a failed Upload left data, Modified or a file name"));
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

} // namespace

int main(int argc, char* argv[]) {
    // Headless, and in a home of its own: the stand-in links its port under it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    }
    const QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Number of runs."),
                                        QStringLiteral("N"), QStringLiteral("300"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed."),
                                        QStringLiteral("S"));
    parser.addOptions({runsOption, seedOption});
    parser.process(app);
    const int runs = parser.value(runsOption).toInt();
    const quint64 seed = parser.isSet(seedOption) ? parser.value(seedOption).toULongLong()
                                                  : QRandomGenerator::system()->generate();
    if (!home.isValid() || runs < 1) {
        std::fputs("brevane-soak: no temporary home, or --runs is not a number of 1 or more\n",
                   stderr);
        return 2;
    }
    print(QStringLiteral("seed %1 (again: brevane-soak --runs %2 --seed %1)").arg(seed).arg(runs));
    Soak soak(seed);
    for (int number = 1; number <= runs; ++number) {
        soak.run(number);
    }
    for (auto it = soak.outcomes.cbegin(); it != soak.outcomes.cend(); ++it) {
        print(QStringLiteral("  %1: %2").arg(it.key()).arg(it.value()));
    }
    print(QStringLiteral("%1 runs; %2 findings").arg(runs).arg(soak.findings));
    return soak.findings == 0 ? 0 : 1;
}
