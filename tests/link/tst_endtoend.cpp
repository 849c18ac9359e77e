// Download and Upload end to end: the real serial port on a real pseudo-terminal,
// with brevane-nc-sim as the controller at the far end.

#include <QtTest>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "files/brvfile.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "mainwindow/keybox.h"
#include "platform/clock.h"
#include "platform/serialport.h"
#include "tests/link/farend.h"
#include "tests/link/windowrig.h"
#include "tests/support/testhome.h"
#include "tools/nc-sim/simprocess.h"

namespace {

constexpr int PortNumber = 3;

QString statePath() {
    return QDir::homePath() + QStringLiteral("/controller.BRV");
}

// The stand-in on port PortNumber, keeping its image in a state file.
struct Sim : SimProcess {
    explicit Sim(const QStringList& arguments)
        : SimProcess(QStringList{"--port", QString::number(PortNumber), "--state", statePath()} +
                     arguments),
          link(nextLine()) {}
    const QString link;
};

struct Rig : RealPortRig {
    Rig() { window().mnuComPort(PortNumber - 1)->trigger(); }
};

const QString OKey = QStringLiteral("Nord-7");
const QString IKey = QStringLiteral("Ost 42");
const CnfTable Table = patternTable(11, OKey, IKey);

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() { useFreshHome(); }
    void windowRuns_data() {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        // Faults that leave a whole reply: none waits out the time-out.
        QTest::newRow("download, junk before the reply") << false << "junk@3" << 4;
        QTest::newRow("upload, block 3 bad checksum") << true << "badsum@4" << 71;
        QTest::newRow("download, line dropped during block 2") << false << "hangup@3" << 4;
        QTest::newRow("upload, line dropped during the checksum request")
            << true << "hangup@10" << 52;
    }
    void windowRuns() {
        QFETCH(bool, upload);
        QFETCH(QString, fault);
        QFETCH(int, code);
        const QString text = transferErrorText(upload, code);
        Sim sim({"--no-pacing", "--fault", fault});
        Rig rig;
        const CnfTable own = patternTable(5); // the key boxes are empty
        rig.mod().Cnf = own;
        rig.window().ShowCnf();
        // Nothing here waits out the reply time-out: a dropped line is noticed at once.
        QElapsedTimer timer;
        timer.start();
        (upload ? rig.window().mnuUpload() : rig.window().mnuDownload())->trigger();
        QVERIFY2(timer.elapsed() < ReplyTimeoutMs, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(rig.boxes(), QStringList{"Error|" + text + "|3|400"});
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.window().prgUpDown()->isHidden());
        // A failed upload leaves nothing, not even the blocks that had arrived.
        QVERIFY(rig.mod().Cnf == (upload ? CnfTable{} : own));

        // The next run goes through, on a fresh line after a hang-up.
        rig.window().mnuDownload()->trigger();
        QCOMPARE(rig.texts(), (QStringList{text, "Download Complete"}));
        // No command after the one that failed, the fault's frame.
        QCOMPARE(sim.receivedFrames(),
                 transferFrames(upload, own).mid(0, fault.section(u'@', 1).toInt()) +
                     transferFrames(false, rig.mod().Cnf));
    }
    void timeoutAndStaleBytes() {
        Sim sim({"--no-pacing", "--fault", "silent@1", "--fault", "stale@2", "--fault", "stale@3"});
        ModBrevane mod;
        SystemSerialPort port;
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
        QCOMPARE(
            sim.receivedFrames(),
            (QList<QByteArray>{commandFrame(blockWriteCommand(0, ControllerImage{})), ChecksumFrame,
                               ChecksumFrame, commandFrame(blockReadCommand(0))}));
    }
    void windowRoundTrip() {
        Sim sim({}); // paced, as a real line
        QCOMPARE(sim.link, systemPortPath(PortNumber));
        Rig rig;
        frmBrevaneMain& window = rig.window();
        rig.mod().Cnf = patternTable(11);
        window.ShowCnf();
        // The keys go as the boxes show them.
        window.txtOKey()->setText(OKey);
        window.txtIKey()->setText(IKey);
        window.mnuDownload()->trigger();
        QVERIFY(!rig.port.isOpen());
        QVERIFY(*readBrvFile(statePath()) == Table);

        // Back into an emptied window.
        rig.mod().ResetCnf();
        window.ShowCnf();
        window.txtOKey()->clear();
        window.txtIKey()->clear();
        window.mnuUpload()->trigger();
        QCOMPARE(rig.texts(), (QStringList{"Download Complete", "Upload Complete"}));
        QVERIFY(rig.mod().Cnf == Table);
        QCOMPARE(window.txtOKey()->text(), OKey);
        QCOMPARE(window.txtIKey()->text(), IKey);
        QVERIFY(!rig.port.isOpen());
        QCOMPARE(sim.receivedFrames(), transferFrames(false, Table) + transferFrames(true));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
