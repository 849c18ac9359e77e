#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLabel>

#include "link/transfercommands.h"
#include "mainwindow/keybox.h"
#include "tests/link/farend.h"
#include "tests/link/windowrig.h"
#include "tests/support/testhome.h"

namespace {

// Counts the bar's paint events.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += int(event->type() == QEvent::Paint);
        return false;
    }
};

struct Rig : FakeEnd, WindowRig {
    Rig() : WindowRig(line, &clock) {}
};

QList<int> checkedEntries(frmBrevaneMain& window) {
    QList<int> checked;
    for (int index = 0; index < 16; ++index) {
        if (window.mnuComPort(index)->isChecked()) {
            checked << index;
        }
    }
    return checked;
}

} // namespace

class TestTransferCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    void portMenu() {
        Rig rig;
        frmBrevaneMain& window = rig.window();
        QCOMPARE(checkedEntries(window), QList<int>{0});
        // Choosing the marked entry again keeps it marked.
        for (const int index : {4, 4, 15, 4}) {
            window.mnuComPort(index)->trigger();
            QCOMPARE(checkedEntries(window), QList<int>{index});
            QCOMPARE(rig.mod().ComPortNum, index + 1);
        }
        // The number is applied at the next transfer.
        QCOMPARE(rig.line.opens, QList<int>{});
        window.mnuDownload()->trigger();
        QCOMPARE(rig.line.opens, QList<int>{5});
        QVERIFY(!rig.line.isOpen());
        QCOMPARE(rig.line.closes, 1);
    }
    void download() {
        Rig rig;
        frmBrevaneMain& window = rig.window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QProgressBar* bar = window.prgUpDown();
        PaintCounter counter;
        bar->installEventFilter(&counter);
        window.txtOKey()->setText(QStringLiteral("AB"));
        window.txtIKey()->setText(QStringLiteral("xyz"));
        rig.mod().Modified = true;

        QList<int> values;
        QList<bool> visible;
        QList<int> paints;
        rig.line.onWrite = [&](int) {
            values << bar->value();
            visible << bar->isVisible();
            paints << counter.paints;
        };
        window.mnuDownload()->trigger(); // no event loop runs until the message
        QCOMPARE(values, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(visible, QList<bool>(10, true));
        QCOMPARE(bar->maximum(), 9);
        // Painted before the first block and after every block, without an event loop.
        QVERIFY2(paints.at(0) >= 1, qPrintable(QString::number(paints.at(0))));
        for (int frame = 1; frame < 10; ++frame) {
            QVERIFY2(paints.at(frame) > paints.at(frame - 1), qPrintable(QString::number(frame)));
        }
        // Still up, at 9, while the message is open; hidden afterwards.
        QCOMPARE(rig.boxes(), QStringList{"Download|Download Complete|0|400"});
        QCOMPARE(rig.messages.barVisible, QList<bool>{true});
        QCOMPARE(rig.messages.barValue, QList<int>{9});
        QVERIFY(!bar->isVisible());
        QVERIFY(!rig.line.isOpen());
        // The keys go as typed; a download is no save.
        const auto* keys = reinterpret_cast<const char*>(rig.controller.image.data()) + 512;
        QCOMPARE(QByteArray(keys, 12), QByteArray("AB\0\0\0\0\0\0xyz\0", 12));
        QVERIFY(rig.mod().Modified);
        window.hide();
    }
    void upload_data() {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<bool>("declined"); // No to discarding the unsaved changes
        QTest::newRow("complete") << false << false;
        QTest::newRow("block 3 bad checksum") << true << false;
        QTest::newRow("declined") << false << true;
    }
    void upload() {
        QFETCH(bool, fails);
        QFETCH(bool, declined);
        Rig rig;
        ModBrevane source;
        source.field(3, OEnabled) = 1;
        source.PackKeys(QStringLiteral("Orvik"), QStringLiteral("Net"));
        rig.controller.image = controllerImage(source.Cnf);
        rig.controller.faults[3] = fails ? FakeController::BadSum : FakeController::NoFault;
        rig.messages.answer = declined ? QMessageBox::No : QMessageBox::Yes;
        rig.mod().field(0, OEnabled) = 1;
        rig.mod().PackKeys(QStringLiteral("old"), QStringLiteral("keys"));
        rig.mod().UnpackKeys();
        rig.window().ShowCnf();
        rig.window().txtOKey()->setText(QStringLiteral("old"));
        rig.mod().Modified = true;
        rig.mod().CnfPath = QStringLiteral("/somewhere/site.BRV");
        rig.window().ShowFileName();
        rig.window().mnuUpload()->trigger();

        const QString outcome = fails ? "Error|" + transferErrorText(true, 71) + "|3|400"
                                      : QStringLiteral("Upload|Upload Complete|0|400");
        const QString question = QStringLiteral("Orvik Brevane|Discard Any Changes?|4|14000");
        QCOMPARE(rig.boxes(), declined ? QStringList{question} : (QStringList{question, outcome}));
        QCOMPARE(rig.messages.barVisible.at(0), false);
        QVERIFY(!rig.line.isOpen());
        if (declined) {
            QCOMPARE(rig.line.opens, QList<int>{});
            QVERIFY(rig.window().chkOLink(0)->isChecked());
            QVERIFY(rig.mod().Modified);
            return;
        }
        QCOMPARE(rig.messages.barValue.at(1), fails ? 3 : 9);
        QVERIFY(rig.mod().Cnf == (fails ? CnfTable{} : source.Cnf));
        QVERIFY(!rig.window().chkOLink(0)->isChecked());
        QCOMPARE(rig.window().chkOLink(3)->isChecked(), !fails);
        QCOMPARE(rig.window().txtOKey()->text(), fails ? QString() : QStringLiteral("Orvik"));
        QCOMPARE(rig.window().txtIKey()->text(), fails ? QString() : QStringLiteral("Net"));
        QCOMPARE(rig.mod().Modified, !fails);
        QCOMPARE(rig.window().lblFileName()->text(),
                 fails ? QStringLiteral(" None") : QStringLiteral(" /somewhere/site.BRV"));
        QVERIFY(rig.window().prgUpDown()->isHidden());
    }
    void portThatDoesNotExist_data() {
        QTest::addColumn<bool>("upload");
        QTest::newRow("download") << false;
        QTest::newRow("upload") << true;
    }
    void portThatDoesNotExist() {
        QFETCH(bool, upload);
        Rig rig;
        rig.line.portExists = false;
        rig.mod().field(2, IEnabled) = 1;
        rig.mod().PackKeys(QStringLiteral("kept"), QString());
        rig.window().txtOKey()->setText(QStringLiteral("typed"));
        (upload ? rig.window().mnuUpload() : rig.window().mnuDownload())->trigger();

        QCOMPARE(rig.boxes(), QStringList{"Port Error|Unable To Open Port|3|400"});
        QCOMPARE(rig.messages.barVisible, QList<bool>{true}); // nothing asked first
        QVERIFY(rig.window().prgUpDown()->isHidden());
        QCOMPARE(int(rig.mod().field(2, IEnabled)), 1);
        QCOMPARE(rig.line.frames.size(), 0);
        // Download packed the typed key first; Upload put the table's key back in the box.
        QCOMPARE(rig.window().txtOKey()->text(),
                 upload ? QStringLiteral("kept") : QStringLiteral("typed"));
    }
    void noSecondTransferWhileOneRuns() {
        Rig rig;
        rig.line.onWrite = [&rig](int index) {
            if (index == 2) {
                rig.window().mnuDownload()->trigger();
                rig.window().mnuUpload()->trigger();
            }
        };
        rig.window().mnuDownload()->trigger();
        QCOMPARE(rig.line.frames.size(), 10);
        QCOMPARE(rig.line.opens.size(), 1);
        QCOMPARE(rig.messages.shown.size(), 1);
    }
};

QTEST_MAIN(TestTransferCommands)
#include "tst_transfercommands.moc"
