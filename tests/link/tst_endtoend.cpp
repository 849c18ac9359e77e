// Download and Upload end to end: the real serial port on a real pseudo-terminal,
// with brevane-nc-sim as the controller at the far end. (A reply that never comes is
// tst_transfer's on the fake clock; that such a wait is no failure of the port is
// tst_serialport's.)

#include <QtTest>

#include <QAction>
#include <QDir>

#include "files/brvfile.h"
#include "mainwindow/keybox.h"
#include "tests/support/simprocess.h"
#include "tests/support/testhome.h"
#include "tests/support/windowrig.h"

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() { useFreshHome(); }
    void windowRoundTrip() {
        // The stand-in on COM1, paced as a real line, keeping its image in a state file.
        const QString state = QDir::homePath() + QStringLiteral("/controller.BRV");
        SimProcess sim({"--port", "1", "--state", state});
        QCOMPARE(sim.nextLine(), QDir::homePath() + "/Orvik Tessaly Net/ports/COM1");
        RealPortRig rig;
        frmBrevaneMain& window = rig.window();
        rig.mod().field(0, ONode) = 0x1A;
        rig.mod().field(63, IRef) = 0xFE;
        window.ShowCnf();
        // The keys go as the boxes show them.
        window.txtOKey()->setText(QStringLiteral("Nord-7"));
        window.txtIKey()->setText(QStringLiteral("Ost 42"));
        window.mnuDownload()->trigger();
        const CnfTable sent = rig.mod().Cnf;
        QCOMPARE(readBrvFile(state), std::optional<CnfTable>(sent));

        // Back into a window emptied by New.
        window.mnuFileNew()->trigger();
        window.mnuUpload()->trigger();
        QCOMPARE(rig.boxes(), (QStringList{"Download|NoIcon|Ok|NoButton|Download Complete",
                                           "Upload|NoIcon|Ok|NoButton|Upload Complete"}));
        QVERIFY(rig.mod().Cnf == sent);
        QCOMPARE(int(rig.mod().field(63, IRef)), 0xFE);
        QCOMPARE(window.txtOKey()->text(), QStringLiteral("Nord-7"));
        QCOMPARE(window.txtIKey()->text(), QStringLiteral("Ost 42"));
        QVERIFY(!rig.port->isOpen());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
