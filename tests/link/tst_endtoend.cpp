// Download and Upload end to end: the real Qt serial port on a real pseudo-terminal,
// with brevane-nc-sim as the controller at the far end.

#include <QtTest>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QRegularExpression>
#include <QThread>

#include "app/brevaneapp.h"
#include "files/brvfile.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "mainwindow/keybox.h"
#include "platform/clock.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"
#include "tests/sim/simprocess.h"
#include "tests/support/testhome.h"

namespace {

constexpr int PortNumber = 3;

const QByteArray ChecksumFrame = "[0A003F00000023F]";

// The stand-in on port PortNumber, keeping its image in a state file.
class Sim : public SimProcess {
public:
    explicit Sim(const QStringList& arguments)
        : SimProcess(QStringList{QStringLiteral("--port"), QString::number(PortNumber),
                                 QStringLiteral("--state"), statePath()} +
                     arguments),
          m_link(nextLine()) {}

    static QString statePath() { return QDir::homePath() + QStringLiteral("/controller.BRV"); }
    QString link() const { return m_link; }

    // Ends it and returns every frame it received, in order.
    QList<QByteArray> received() {
        stop();
        static const QRegularExpression in(QStringLiteral("^ *\\d+\\.\\d+ ms  in  #\\d+ (\\S+)"),
                                           QRegularExpression::MultilineOption);
        QList<QByteArray> frames;
        for (const QRegularExpressionMatch& match :
             in.globalMatch(QString::fromLatin1(standardError()))) {
            frames << match.captured(1).toLatin1();
        }
        return frames;
    }

private:
    QString m_link;
};

// Answers every message with OK (Yes to a question) and records it.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const Message& box) override {
        shown << box;
        return box.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    }
    QList<Message> shown;
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

// The frames of a download of the table, or (null) of an upload.
QList<QByteArray> runFrames(const CnfTable* download) {
    QList<QByteArray> frames;
    for (int block = 0; block < ImageBlocks; ++block) {
        frames << commandFrame(download != nullptr
                                   ? blockWriteCommand(block, controllerImage(*download))
                                   : blockReadCommand(block));
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

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void windowRuns_data();
    void windowRuns();
    void timeoutAndStaleBytes();
    void windowRoundTrip();
};

void TestEndToEnd::init() {
    useFreshHome();
}

void TestEndToEnd::windowRuns_data() {
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("frames"); // the stand-in received
    // Faults that leave a whole reply: none waits out the time-out.
    QTest::newRow("download, junk before the reply")
        << false << "junk@3" << PortNumber << downloadError(4) << 3;
    QTest::newRow("upload, block 3 bad checksum")
        << true << "badsum@4" << PortNumber << uploadError(71) << 4;
    QTest::newRow("upload, extra characters")
        << true << "extra@2" << PortNumber << uploadError(71) << 2;
    QTest::newRow("upload, lower-case replies")
        << true << "lower" << PortNumber << QStringLiteral("Upload Complete") << 10;
    QTest::newRow("download, line dropped during block 2")
        << false << "hangup@3" << PortNumber << downloadError(4) << 3;
    QTest::newRow("upload, line dropped during the checksum request")
        << true << "hangup@10" << PortNumber << uploadError(52) << 10;
    QTest::newRow("download, nothing behind the port")
        << false << "lower" << 9 << QStringLiteral("Unable To Open Port") << 0;
}

void TestEndToEnd::windowRuns() {
    QFETCH(bool, upload);
    QFETCH(QString, fault);
    QFETCH(int, port);
    QFETCH(QString, text);
    QFETCH(int, frames);
    // The controller holds Table; the window another table.
    QVERIFY(writeBrvFile(Sim::statePath(), Table));
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"), fault});
    WindowRig rig;
    rig.window().mnuComPort(port - 1)->trigger();
    const CnfTable own = patternTable(5, QString(), QString()); // the key boxes are empty
    rig.mod().Cnf = own;
    rig.window().ShowCnf();
    // Nothing here waits out the reply time-out: a dropped line is noticed at once.
    QElapsedTimer timer;
    timer.start();
    (upload ? rig.window().mnuUpload() : rig.window().mnuDownload())->trigger();
    QVERIFY2(timer.elapsed() < ReplyTimeoutMs, qPrintable(QString::number(timer.elapsed())));
    const bool uploaded = text == QStringLiteral("Upload Complete");
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown[0].text, text);
    QCOMPARE(rig.messages.shown[0].icon, uploaded ? QMessageBox::NoIcon : QMessageBox::Critical);
    QVERIFY(!rig.port.isOpen());
    QVERIFY(rig.window().prgUpDown()->isHidden());
    // A failed upload leaves nothing, not even the blocks that had arrived.
    QVERIFY(rig.mod().Cnf == (uploaded ? Table : upload ? CnfTable{} : own));

    // The next run goes through, on a fresh line after a hang-up.
    rig.window().mnuComPort(PortNumber - 1)->trigger();
    rig.window().mnuDownload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.messages.shown[1].text, QStringLiteral("Download Complete"));
    // No command after the one that failed.
    const QList<QByteArray> expected = upload ? runFrames(nullptr) : runFrames(&own);
    QCOMPARE(sim.received(), expected.mid(0, frames) + runFrames(&rig.mod().Cnf));
}

void TestEndToEnd::timeoutAndStaleBytes() {
    Sim sim({QStringLiteral("--no-pacing"), QStringLiteral("--fault"), QStringLiteral("silent@1"),
             QStringLiteral("--fault"), QStringLiteral("stale@2"), QStringLiteral("--fault"),
             QStringLiteral("stale@3")});
    ModBrevane mod;
    QtSerialPort port;
    SteadyClock clock;
    Exchange link{port, clock, mod};
    QVERIFY(port.open(PortNumber));
    QCOMPARE(link.timeoutMs(), ReplyTimeoutMs);
    QElapsedTimer timer;
    timer.start();
    mod.LastReply = "before";
    QVERIFY(!link.SendCommand(blockWriteCommand(0, ControllerImage{}), BlockWriteReplyLength));
    QVERIFY2(timer.elapsed() >= ReplyTimeoutMs, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(mod.LastReply, QByteArray("before"));
    // The time-out left no error behind on the port.
    QVERIFY(!port.failed());
    QVERIFY(link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    // Junk follows the reply: once taken into the port's buffer, once left in the driver.
    while (port.bytesWaiting() < 3 && port.waitForMore(SimProcess::Patience)) {
    }
    QCOMPARE(port.bytesWaiting(), qint64(3));
    QVERIFY(link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QThread::msleep(300);
    QVERIFY(link.SendCommand(blockReadCommand(0), BlockReadReplyLength));
    QCOMPARE(mod.LastReply.size(), BlockReadReplyLength);
    QVERIFY(!port.failed());
    port.close();
    QCOMPARE(sim.received(),
             (QList<QByteArray>{commandFrame(blockWriteCommand(0, ControllerImage{})),
                                ChecksumFrame, ChecksumFrame, commandFrame(blockReadCommand(0))}));
}

void TestEndToEnd::windowRoundTrip() {
    Sim sim({}); // paced, as a real line
    QCOMPARE(sim.link(), systemPortPath(PortNumber));
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
    QVERIFY(!rig.port.isOpen());
    QVERIFY(*readBrvFile(Sim::statePath()) == Table);

    // Back into an emptied window.
    rig.mod().ResetCnf();
    window.ShowCnf();
    window.txtOKey()->clear();
    window.txtIKey()->clear();
    window.mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.messages.shown[1].text, QStringLiteral("Upload Complete"));
    QVERIFY(rig.mod().Cnf == Table);
    QCOMPARE(window.txtOKey()->text(), OKey);
    QCOMPARE(window.txtIKey()->text(), IKey);
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(sim.received(), runFrames(&Table) + runFrames(nullptr));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
