// Download and Upload end to end: the real serial port on a real pseudo-terminal,
// with brevane-nc-sim as the controller at the far end.

#include <QtTest>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>

#include "files/brvfile.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "mainwindow/keybox.h"
#include "platform/clock.h"
#include "tests/support/fakeline.h"
#include "tests/support/testhome.h"
#include "tests/support/windowrig.h"
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

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() { useFreshHome(); }
    void windowRoundTrip() {
        Sim sim({}); // paced, as a real line
        QCOMPARE(sim.link, QDir::homePath() + "/Orvik Tessaly Net/ports/COM3");
        RealPortRig rig;
        frmBrevaneMain& window = rig.window();
        window.mnuComPort(PortNumber - 1)->trigger();
        rig.mod().field(0, ONode) = 0x1A;
        rig.mod().field(63, IRef) = 0xFE;
        window.ShowCnf();
        // The keys go as the boxes show them.
        window.txtOKey()->setText(QStringLiteral("Nord-7"));
        window.txtIKey()->setText(QStringLiteral("Ost 42"));
        window.mnuDownload()->trigger();
        QVERIFY(!rig.port.isOpen());
        const CnfTable sent = rig.mod().Cnf;
        QCOMPARE(readBrvFile(statePath()), std::optional<CnfTable>(sent));

        // Back into an emptied window.
        rig.mod().ResetCnf();
        window.ShowCnf();
        window.txtOKey()->clear();
        window.txtIKey()->clear();
        window.mnuUpload()->trigger();
        QCOMPARE(rig.texts(), (QStringList{"Download Complete", "Upload Complete"}));
        QVERIFY(rig.mod().Cnf == sent);
        QCOMPARE(int(rig.mod().field(63, IRef)), 0xFE);
        QCOMPARE(window.txtOKey()->text(), QStringLiteral("Nord-7"));
        QCOMPARE(window.txtIKey()->text(), QStringLiteral("Ost 42"));
        QVERIFY(!rig.port.isOpen());
        const QList<QByteArray> frames = sim.receivedFrames();
        QCOMPARE(frames.size(), 20);
        QCOMPARE(frames.at(9), ChecksumFrame);
        QCOMPARE(frames.at(10), QByteArray("[6E0039000003F]"));
        QCOMPARE(frames.at(19), ChecksumFrame);
    }
    // A reply that never comes takes the whole time-out and leaves no error on the port:
    // the next exchanges go through.
    void timeout() {
        Sim sim({"--no-pacing", "--fault", "silent@1"});
        ModBrevane mod;
        QtSerialPort port;
        SteadyClock clock;
        Exchange link{port, clock, mod};
        QVERIFY(port.open(PortNumber));
        QElapsedTimer timer;
        timer.start();
        mod.LastReply = "before";
        QVERIFY(!link.SendCommand(ChecksumCommand, ChecksumReplyLength));
        QVERIFY2(timer.elapsed() >= 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(mod.LastReply, QByteArray("before"));
        QVERIFY(!port.failed());
        QVERIFY(link.SendCommand(ChecksumCommand, ChecksumReplyLength));
        QCOMPARE(mod.LastReply, ZeroChecksumReply);
        QVERIFY(link.SendCommand(blockReadCommand(0), BlockReadReplyLength));
        QCOMPARE(mod.LastReply, "[6A" + QByteArray(128, '0') + "]");
        port.close();
        QCOMPARE(sim.receivedFrames().size(), 3);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
