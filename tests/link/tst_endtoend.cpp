// Download and Upload end to end: the real Qt serial port on a real pseudo-terminal,
// with brevane-nc-sim as the controller at the far end.

#include <QtTest>

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QThread>

#include "app/brevaneapp.h"
#include "files/brvfile.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "link/transfer.h"
#include "link/transfercommands.h"
#include "mainwindow/keybox.h"
#include "platform/clock.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"
#include "tests/support/testhome.h"

namespace {

constexpr int PortNumber = 3;
// Unpaced replies come within a millisecond; this only has to outlast a busy machine.
constexpr int ShortTimeoutMs = 2000;
constexpr int Patience = 10000; // ms; only reached when something is broken

const QByteArray ChecksumFrame = "[0A003F00000023F]";

// The stand-in as a child process on port PortNumber, keeping its image in a state file.
class Sim {
public:
    explicit Sim(const QStringList& arguments) {
        m_process.start(QStringLiteral(BREVANE_NC_SIM),
                        QStringList{QStringLiteral("--port"), QString::number(PortNumber),
                                    QStringLiteral("--state"), statePath()} +
                            arguments);
        if (!m_process.waitForStarted(Patience)) {
            return;
        }
        QDeadlineTimer deadline(Patience);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(int(deadline.remainingTime()));
        }
        m_link = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Sim() { stop(); }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // Where the program looks for port PortNumber.
    static QString expectedLink() { return systemPortPath(PortNumber); }
    static QString statePath() { return QDir::homePath() + QStringLiteral("/controller.BRV"); }

    QString link() const { return m_link; }

    // Ends it and returns every frame it received, in order.
    QList<QByteArray> stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(Patience)) {
                m_process.kill();
                m_process.waitForFinished(Patience);
            }
        }
        m_log += m_process.readAllStandardError();
        static const QRegularExpression in(QStringLiteral("^ *\\d+\\.\\d+ ms  in  #\\d+ (\\S+)"),
                                           QRegularExpression::MultilineOption);
        QList<QByteArray> frames;
        for (const QRegularExpressionMatch& match : in.globalMatch(QString::fromLatin1(m_log))) {
            frames << match.captured(1).toLatin1();
        }
        return frames;
    }
    QByteArray log() const { return m_log; }

private:
    QProcess m_process;
    QString m_link;
    QByteArray m_log;
};

// Records what a run shows.
class RecordingReporter final : public TransferReporter {
public:
    void progressStarted(int max) override { started << max; }
    void progress(int value) override { steps << value; }
    void message(const TransferMessage& message) override { messages << message; }

    QList<int> started;
    QList<int> steps;
    QList<TransferMessage> messages;
};

// The UI-free core on the real port and clock.
struct CoreRig {
    ModBrevane mod;
    QtSerialPort port;
    SteadyClock clock;
    Exchange link{port, clock, mod};
    RecordingReporter reporter;

    CoreRig() { mod.ComPortNum = PortNumber; }
};

// Answers every message with OK (Yes to a question) and records it.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const MessageSpec& box) override {
        shown << box;
        return box.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    }
    QList<MessageSpec> shown;
};

// The whole program on the real port and clock.
struct WindowRig {
    RecordingMessageBoxes messages;
    QtSerialPort port;
    std::unique_ptr<BrevaneApp> app;

    WindowRig()
        : app(std::make_unique<BrevaneApp>(Seams{.messages = &messages, .serialPort = &port})) {
        window().mnuComPort(PortNumber - 1)->trigger();
    }
    frmBrevaneMain& window() { return app->window(); }
    ModBrevane& mod() { return app->mod(); }
};

// Every byte differs from its neighbours, with hex letters in many digits; keys packed.
CnfTable patternTable(int seed, const QString& oKey, const QString& iKey) {
    ModBrevane mod;
    for (int i = 0; i < CnfBytes; ++i) {
        mod.Cnf[i] = std::uint8_t((i * 37 + seed) & 0xFF);
    }
    mod.PackKeys(oKey, iKey);
    return mod.Cnf;
}
const QString OKey = QStringLiteral("Nord-7");
const QString IKey = QStringLiteral("Ost 42");
const CnfTable Table = patternTable(11, OKey, IKey);

QList<QByteArray> downloadFrames(const CnfTable& cnf) {
    const ControllerImage image = controllerImage(cnf);
    QList<QByteArray> frames;
    for (int block = 0; block < ImageBlocks; ++block) {
        frames << commandFrame(blockWriteCommand(block, image));
    }
    return frames << ChecksumFrame;
}

QList<QByteArray> uploadFrames() {
    QList<QByteArray> frames;
    for (int block = 0; block < ImageBlocks; ++block) {
        frames << commandFrame(blockReadCommand(block));
    }
    return frames << ChecksumFrame;
}

QString downloadError(int code) {
    return QStringLiteral("Download Error: %1\r\nBrevane will not function properly until a "
                          "download is complete.")
        .arg(code);
}
QString uploadError(int code) {
    return QStringLiteral("Upload Error: %1\r\nAll Host Data Cleared.").arg(code);
}

QList<int> countTo(int n) {
    QList<int> values;
    for (int value = 1; value <= n; ++value) {
        values << value;
    }
    return values;
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void framesOfAnEmptyTable();
    void faults_data();
    void faults();
    void realTimeout();
    void timeoutLeavesThePortUsable();
    void staleBytesFlushed_data();
    void staleBytesFlushed();
    void missingPort_data();
    void missingPort();
    void hangup_data();
    void hangup();
    void windowRoundTrip();
    void windowFailures();
};

void TestEndToEnd::init() {
    useFreshHome();
}

void TestEndToEnd::roundTrip_data() {
    QTest::addColumn<bool>("paced");
    QTest::newRow("paced") << true;
    QTest::newRow("no pacing") << false;
}

void TestEndToEnd::roundTrip() {
    QFETCH(bool, paced);
    Sim sim(paced ? QStringList{} : QStringList{QStringLiteral("--no-pacing")});
    QCOMPARE(sim.link(), Sim::expectedLink());
    CoreRig rig;
    rig.mod.Cnf = Table;
    rig.mod.OKey = OKey;
    rig.mod.IKey = IKey;

    QCOMPARE(DownloadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Complete, 0}));
    rig.port.close();
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages[0].text, QStringLiteral("Download Complete"));
    QCOMPARE(rig.reporter.messages[0].title, QStringLiteral("Download"));
    QCOMPARE(rig.reporter.started, QList<int>{9});
    QCOMPARE(rig.reporter.steps, countTo(9));
    QVERIFY(rig.mod.Cnf == Table);
    // The controller holds the table, keys included.
    const std::optional<CnfTable> held = readBrvFile(Sim::statePath());
    QVERIFY(held);
    QVERIFY(*held == Table);

    rig.mod.ResetCnf();
    rig.mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
    rig.mod.Modified = true;
    rig.reporter = RecordingReporter();
    QCOMPARE(UploadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Complete, 0}));
    rig.port.close();
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages[0].text, QStringLiteral("Upload Complete"));
    QCOMPARE(rig.reporter.messages[0].title, QStringLiteral("Upload"));
    QCOMPARE(rig.reporter.steps, countTo(9));
    QVERIFY(rig.mod.Cnf == Table);
    rig.mod.UnpackKeys();
    QCOMPARE(rig.mod.OKey, OKey);
    QCOMPARE(rig.mod.IKey, IKey);
    QVERIFY(rig.mod.Modified);
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));

    QCOMPARE(sim.stop(), downloadFrames(Table) + uploadFrames());
}

void TestEndToEnd::framesOfAnEmptyTable() {
    Sim sim({QStringLiteral("--no-pacing")});
    CoreRig rig;
    QCOMPARE(DownloadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);
    QCOMPARE(rig.mod.LastReply, QByteArray("[34DA90190E]"));
    QCOMPARE(UploadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);
    rig.port.close();
    QVERIFY(rig.mod.Cnf == CnfTable{});

    const QList<QByteArray> frames = sim.stop();
    QCOMPARE(frames, downloadFrames(CnfTable{}) + uploadFrames());
    const QByteArray zeros(128, '0');
    QCOMPARE(frames[0], "[930038000003F" + zeros + "]");
    QCOMPARE(frames[8], "[150038002003F" + zeros + "]");
    QCOMPARE(frames[9], ChecksumFrame);
    QCOMPARE(frames[10], QByteArray("[6E0039000003F]"));
    const QList<QByteArray> reads{"39000003F", "39000403F", "39000803F", "39000C03F", "39001003F",
                                  "39001403F", "39001803F", "39001C03F", "39002003F"};
    for (int block = 0; block < ImageBlocks; ++block) {
        QCOMPARE(frames[10 + block].sliced(3), "00" + reads[block] + "]");
    }
    QCOMPARE(frames[18], QByteArray("[1E0039002003F]"));
    QCOMPARE(frames[19], ChecksumFrame);
}

void TestEndToEnd::faults_data() {
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("code"); // 0: the run completes
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("waitsOut"); // no (whole) reply: the run waits the time-out

    QTest::newRow("download, first block unanswered")
        << false << QStringList{"silent@1"} << 4 << 1 << true;
    QTest::newRow("download, key block unanswered")
        << false << QStringList{"silent@9"} << 4 << 9 << true;
    QTest::newRow("download, block 4 bad checksum")
        << false << QStringList{"badsum@5"} << 4 << 5 << false;
    QTest::newRow("download, short reply") << false << QStringList{"short@2"} << 4 << 2 << true;
    QTest::newRow("download, extra characters")
        << false << QStringList{"extra@1"} << 4 << 1 << false;
    QTest::newRow("download, junk before the reply")
        << false << QStringList{"junk@3"} << 4 << 3 << false;
    QTest::newRow("download, checksum unanswered")
        << false << QStringList{"silent@10"} << 52 << 10 << true;
    QTest::newRow("download, checksum reply bad")
        << false << QStringList{"badsum@10"} << 52 << 10 << false;
    QTest::newRow("download, high half differs")
        << false << QStringList{"high"} << 61 << 10 << false;
    QTest::newRow("download, low half differs") << false << QStringList{"low"} << 62 << 10 << false;
    QTest::newRow("download, lower-case replies")
        << false << QStringList{"lower"} << 0 << 10 << false;
    QTest::newRow("upload, first block unanswered")
        << true << QStringList{"silent@1"} << 71 << 1 << true;
    QTest::newRow("upload, block 3 bad checksum")
        << true << QStringList{"badsum@4"} << 71 << 4 << false;
    QTest::newRow("upload, key block short") << true << QStringList{"short@9"} << 71 << 9 << true;
    QTest::newRow("upload, extra characters") << true << QStringList{"extra@2"} << 71 << 2 << false;
    QTest::newRow("upload, checksum unanswered")
        << true << QStringList{"silent@10"} << 52 << 10 << true;
    QTest::newRow("upload, checksum reply bad")
        << true << QStringList{"badsum@10"} << 52 << 10 << false;
    QTest::newRow("upload, high half differs") << true << QStringList{"high"} << 61 << 10 << false;
    QTest::newRow("upload, low half differs") << true << QStringList{"low"} << 62 << 10 << false;
    QTest::newRow("upload, lower-case replies") << true << QStringList{"lower"} << 0 << 10 << false;
}

void TestEndToEnd::faults() {
    QFETCH(bool, upload);
    QFETCH(QStringList, faults);
    QFETCH(int, code);
    QFETCH(int, frames);
    QFETCH(bool, waitsOut);

    // The controller holds Table; the tool holds another table, from a file.
    QVERIFY(writeBrvFile(Sim::statePath(), Table));
    QStringList arguments{QStringLiteral("--no-pacing")};
    for (const QString& fault : faults) {
        arguments << QStringLiteral("--fault") << fault;
    }
    Sim sim(arguments);
    CoreRig rig;
    const CnfTable own = patternTable(5, QStringLiteral("Alt"), QStringLiteral("Key"));
    rig.mod.Cnf = upload ? own : Table;
    rig.mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
    rig.mod.Modified = true;
    rig.link.setTimeoutMs(ShortTimeoutMs);

    QElapsedTimer timer;
    timer.start();
    const TransferOutcome outcome =
        upload ? UploadCnf(rig.link, rig.reporter) : DownloadCnf(rig.link, rig.reporter);
    const qint64 took = timer.elapsed();
    rig.port.close();

    QCOMPARE(outcome.kind, code == 0 ? TransferOutcome::Complete : TransferOutcome::Failed);
    QCOMPARE(outcome.errorCode, code);
    QCOMPARE(rig.reporter.messages.size(), 1);
    const TransferMessage& message = rig.reporter.messages[0];
    if (code == 0) {
        QCOMPARE(message.kind, TransferMessage::Complete);
        QCOMPARE(message.text,
                 upload ? QStringLiteral("Upload Complete") : QStringLiteral("Download Complete"));
    } else {
        QCOMPARE(message.kind, TransferMessage::Error);
        QCOMPARE(message.text, upload ? uploadError(code) : downloadError(code));
        QCOMPARE(message.title, QStringLiteral("Error"));
    }
    // Progress up to the failing block; checksum faults come after the ninth.
    QCOMPARE(rig.reporter.steps, countTo(frames - 1));
    if (waitsOut) {
        QVERIFY2(took >= ShortTimeoutMs, qPrintable(QString::number(took)));
    }

    if (upload && code != 0) {
        // Nothing read stays, not even the blocks that had arrived; the file is let go.
        QVERIFY(rig.mod.Cnf == CnfTable{});
        QCOMPARE(rig.mod.CnfPath, QStringLiteral("None"));
        QVERIFY(!rig.mod.Modified);
    } else {
        QVERIFY(rig.mod.Cnf == Table);
        QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
        QVERIFY(rig.mod.Modified);
    }
    // No command after the one that failed.
    const QList<QByteArray> expected = upload ? uploadFrames() : downloadFrames(Table);
    QCOMPARE(sim.stop(), expected.mid(0, frames));
}

void TestEndToEnd::realTimeout() {
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"), QStringLiteral("silent")});
    CoreRig rig;
    QCOMPARE(rig.link.timeoutMs(), 5000);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(DownloadCnf(rig.link, rig.reporter),
             (TransferOutcome{TransferOutcome::Failed, BlockWriteFailed}));
    const qint64 took = timer.elapsed();
    rig.port.close();
    QVERIFY2(took >= 5000 && took < 8000, qPrintable(QString::number(took)));
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages[0].text, downloadError(4));
    QCOMPARE(rig.reporter.steps, QList<int>{});
    QCOMPARE(sim.stop().size(), 1);
}

void TestEndToEnd::timeoutLeavesThePortUsable() {
    // A time-out must leave no error behind on the port: the next exchanges go on.
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"), QStringLiteral("silent@1"),
             QStringLiteral("--fault"), QStringLiteral("silent@3")});
    CoreRig rig;
    rig.link.setTimeoutMs(ShortTimeoutMs);
    QVERIFY(rig.port.open(PortNumber));
    rig.mod.LastReply = "before";
    QVERIFY(!rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QVERIFY(!rig.port.failed());
    QCOMPARE(rig.mod.LastReply, QByteArray("before"));
    QVERIFY(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, QByteArray("[34DA90190E]"));
    QVERIFY(!rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QVERIFY(!rig.port.failed());
    rig.mod.LastReply.clear();
    QVERIFY(rig.link.SendCommand(blockReadCommand(0), BlockReadReplyLength));
    QCOMPARE(rig.mod.LastReply.size(), BlockReadReplyLength);
    QVERIFY(!rig.port.failed());
    QVERIFY(rig.port.isOpen());
    rig.port.close();
    QCOMPARE(sim.stop().size(), 4);
}

void TestEndToEnd::staleBytesFlushed_data() {
    QTest::addColumn<bool>("peek");
    QTest::newRow("left in the driver") << false;
    QTest::newRow("taken into the port's buffer") << true;
}

void TestEndToEnd::staleBytesFlushed() {
    QFETCH(bool, peek);
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"), QStringLiteral("stale@1")});
    CoreRig rig;
    rig.link.setTimeoutMs(ShortTimeoutMs);
    QVERIFY(rig.port.open(PortNumber));
    QVERIFY(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, QByteArray("[34DA90190E]"));
    // The junk comes after the reply and waits in the line.
    QThread::msleep(300);
    if (peek) {
        QCOMPARE(rig.port.bytesWaiting(), qint64(3));
    }
    QVERIFY(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, QByteArray("[34DA90190E]"));
    rig.port.close();
    const QList<QByteArray> frames = sim.stop();
    QCOMPARE(frames, (QList<QByteArray>{ChecksumFrame, ChecksumFrame}));
    // The junk went out before the second frame came in.
    const qsizetype staleAt = sim.log().indexOf("(stale)");
    QVERIFY2(staleAt >= 0 && staleAt < sim.log().indexOf("in  #2"), sim.log().constData());
}

void TestEndToEnd::missingPort_data() {
    QTest::addColumn<bool>("upload");
    QTest::newRow("download") << false;
    QTest::newRow("upload") << true;
}

void TestEndToEnd::missingPort() {
    QFETCH(bool, upload);
    Sim sim({QStringLiteral("--no-pacing")}); // the ports folder exists, COM9 does not
    CoreRig rig;
    rig.mod.ComPortNum = 9;
    rig.mod.Cnf = Table;
    rig.mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
    const TransferOutcome outcome =
        upload ? UploadCnf(rig.link, rig.reporter) : DownloadCnf(rig.link, rig.reporter);
    QCOMPARE(outcome.kind, TransferOutcome::PortError);
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages[0].kind, TransferMessage::PortError);
    QCOMPARE(rig.reporter.messages[0].text, QStringLiteral("Unable To Open Port"));
    QCOMPARE(rig.reporter.messages[0].title, QStringLiteral("Port Error"));
    QCOMPARE(rig.reporter.started, QList<int>{});
    QVERIFY(rig.mod.Cnf == Table);
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
    QCOMPARE(sim.stop(), QList<QByteArray>{});
}

void TestEndToEnd::hangup_data() {
    QTest::addColumn<bool>("upload");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("code");
    QTest::newRow("download, during block 2") << false << 3 << 4;
    QTest::newRow("download, during the checksum request") << false << 10 << 52;
    QTest::newRow("upload, during the key block") << true << 9 << 71;
}

void TestEndToEnd::hangup() {
    QFETCH(bool, upload);
    QFETCH(int, frame);
    QFETCH(int, code);
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"),
             QStringLiteral("hangup@%1").arg(frame)});
    WindowRig rig;
    QCOMPARE(rig.mod().ComPortNum, PortNumber);
    rig.mod().Cnf = Table;
    rig.window().ShowCnf();
    rig.window().txtOKey()->setText(OKey);
    rig.window().txtIKey()->setText(IKey);

    // The real time-out: a dropped line must be noticed long before it.
    QElapsedTimer timer;
    timer.start();
    (upload ? rig.window().mnuUpload() : rig.window().mnuDownload())->trigger();
    const qint64 took = timer.elapsed();
    QVERIFY2(took < ReplyTimeoutMs, qPrintable(QString::number(took)));
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown[0].text, upload ? uploadError(code) : downloadError(code));
    QCOMPARE(rig.messages.shown[0].icon, QMessageBox::Critical);
    QVERIFY(!rig.port.isOpen());
    QVERIFY(rig.window().prgUpDown()->isHidden());

    // The stand-in has put up a fresh line under the same name: the next run uses it.
    rig.mod().Cnf = Table;
    rig.window().ShowCnf();
    rig.window().txtOKey()->setText(OKey);
    rig.window().txtIKey()->setText(IKey);
    rig.window().mnuDownload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.messages.shown[1].text, QStringLiteral("Download Complete"));
    QVERIFY(!rig.port.isOpen());

    const QList<QByteArray> frames = sim.stop();
    const QList<QByteArray> expected = upload ? uploadFrames() : downloadFrames(Table);
    QCOMPARE(frames, expected.mid(0, frame) + downloadFrames(Table));
}

void TestEndToEnd::windowRoundTrip() {
    Sim sim({}); // paced, as a real line
    WindowRig rig;
    frmBrevaneMain& window = rig.window();
    rig.mod().Cnf = patternTable(11, QString(), QString());
    window.ShowCnf();
    // The keys go as the boxes show them.
    window.txtOKey()->setText(OKey);
    window.txtIKey()->setText(IKey);
    window.mnuDownload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown[0].text, QStringLiteral("Download Complete"));
    QCOMPARE(rig.messages.shown[0].title, QStringLiteral("Download"));
    QCOMPARE(rig.messages.shown[0].icon, QMessageBox::NoIcon);
    QVERIFY(!rig.port.isOpen());
    QVERIFY(window.prgUpDown()->isHidden());
    QVERIFY(*readBrvFile(Sim::statePath()) == Table);

    // Back into an emptied window.
    rig.mod().ResetCnf();
    window.ShowCnf();
    window.txtOKey()->clear();
    window.txtIKey()->clear();
    window.mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.messages.shown[1].text, QStringLiteral("Upload Complete"));
    QCOMPARE(rig.messages.shown[1].title, QStringLiteral("Upload"));
    QVERIFY(rig.mod().Cnf == Table);
    QCOMPARE(window.txtOKey()->text(), OKey);
    QCOMPARE(window.txtIKey()->text(), IKey);
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(sim.stop(), downloadFrames(Table) + uploadFrames());
}

void TestEndToEnd::windowFailures() {
    QVERIFY(writeBrvFile(Sim::statePath(), Table));
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"), QStringLiteral("badsum@4")});
    WindowRig rig;
    frmBrevaneMain& window = rig.window();

    // Block 3 fails: the three blocks read before it are gone with the rest.
    window.mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown[0].text, uploadError(71));
    QCOMPARE(rig.messages.shown[0].title, QStringLiteral("Error"));
    QCOMPARE(rig.messages.shown[0].icon, QMessageBox::Critical);
    QVERIFY(rig.mod().Cnf == CnfTable{});
    QCOMPARE(window.txtOKey()->text(), QString());
    QCOMPARE(rig.mod().CnfPath, QStringLiteral("None"));
    QVERIFY(!rig.port.isOpen());

    // A port with nothing behind it.
    window.mnuComPort(8)->trigger();
    window.mnuDownload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.messages.shown[1].text, QStringLiteral("Unable To Open Port"));
    QCOMPARE(rig.messages.shown[1].title, QStringLiteral("Port Error"));
    QCOMPARE(rig.messages.shown[1].icon, QMessageBox::Critical);
    QVERIFY(window.prgUpDown()->isHidden());
    QCOMPARE(sim.stop(), uploadFrames().mid(0, 4));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
