// The window's ComPort, Download and Upload commands on the fake line: what they show and
// ask, and what they do to the table and the key boxes. The transfer faults themselves are
// tst_transfer's.

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLabel>

#include "link/transfercommands.h"
#include "mainwindow/keybox.h"
#include "tests/support/controllerend.h"
#include "tests/support/testhome.h"
#include "tests/support/windowrig.h"

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

struct Rig : ControllerEnd, WindowRig {
    explicit Rig(const QStringList& faults = {}) : ControllerEnd(faults), WindowRig(line, &clock) {}

    // The controller holds link 4 outgoing and the keys "Orvik" and "Net"; the window an
    // edited table of its own, named after a file.
    void prepareUpload() {
        ControllerImage image{};
        image[24] = 1; // slot 3's OEnabled
        for (const auto& [at, key] : {std::pair{512, "Orvik"}, std::pair{520, "Net"}}) {
            std::copy_n(key, qstrlen(key), image.begin() + at);
        }
        controller.setImage(image);
        mod().field(0, OEnabled) = 1;
        window().ShowCnf();
        window().txtOKey()->setText(QStringLiteral("old"));
        mod().Modified = true;
        mod().CnfPath = QStringLiteral("/somewhere/site.BRV");
        window().ShowFileName();
    }
    QString shownRow() {
        return QStringList{window().chkOLink(0)->isChecked() ? "0 on" : "0 off",
                           window().chkOLink(3)->isChecked() ? "3 on" : "3 off",
                           window().txtOKey()->text(), window().txtIKey()->text(),
                           window().lblFileName()->text()}
            .join('|');
    }
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

const QString Question = QStringLiteral("Orvik Brevane|Discard Any Changes?|4|14000");

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
        QList<int> paints;
        rig.line.onWrite = [&](int) {
            values << (bar->isVisible() ? bar->value() : -1);
            paints << counter.paints;
        };
        window.mnuDownload()->trigger(); // no event loop runs until the message
        QCOMPARE(values, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(bar->maximum(), 9);
        // Painted before the first block and after every block, without an event loop.
        QVERIFY2(paints.at(0) >= 1, qPrintable(QString::number(paints.at(0))));
        for (int frame = 1; frame < 10; ++frame) {
            QVERIFY2(paints.at(frame) > paints.at(frame - 1), qPrintable(QString::number(frame)));
        }
        // Still up, at 9, while the message is open; hidden afterwards.
        QCOMPARE(rig.boxes(), QStringList{"Download|Download Complete|0|400"});
        QCOMPARE(rig.messages.barValue, QList<int>{9});
        QVERIFY(!bar->isVisible());
        QVERIFY(!rig.line.isOpen());
        // The keys go as typed; a download is no save.
        const auto* keys = reinterpret_cast<const char*>(rig.controller.image().data()) + 512;
        QCOMPARE(QByteArray(keys, 12), QByteArray("AB\0\0\0\0\0\0xyz\0", 12));
        QVERIFY(rig.mod().Modified);
    }
    void upload() {
        Rig rig;
        rig.prepareUpload();
        rig.window().mnuUpload()->trigger();
        QCOMPARE(rig.boxes(), (QStringList{Question, "Upload|Upload Complete|0|400"}));
        QCOMPARE(rig.messages.barVisible, (QList<bool>{false, true}));
        QCOMPARE(rig.messages.barValue.at(1), 9);
        QCOMPARE(rig.shownRow(), QStringLiteral("0 off|3 on|Orvik|Net| /somewhere/site.BRV"));
        QVERIFY(rig.mod().Modified); // as it was
        QVERIFY(!rig.line.isOpen());
        QVERIFY(rig.window().prgUpDown()->isHidden());
    }
    void failedUploadClears() {
        Rig rig({"badsum@4"});
        rig.prepareUpload();
        rig.window().mnuUpload()->trigger();
        QCOMPARE(rig.boxes(), (QStringList{Question, "Error|Upload Error: 71\r\nAll Host Data "
                                                     "Cleared.|3|400"}));
        QCOMPARE(rig.messages.barValue.at(1), 3);
        QCOMPARE(rig.shownRow(), QStringLiteral("0 off|3 off||| None"));
        QVERIFY(rig.mod().Cnf == CnfTable{});
        QVERIFY(!rig.mod().Modified);
        QVERIFY(!rig.line.isOpen());
        QVERIFY(rig.window().prgUpDown()->isHidden());
    }
    void declinedUploadSendsNothing() {
        Rig rig;
        rig.prepareUpload();
        rig.messages.answer = QMessageBox::No;
        rig.window().mnuUpload()->trigger();
        QCOMPARE(rig.boxes(), QStringList{Question});
        QCOMPARE(rig.line.opens, QList<int>{});
        QCOMPARE(rig.shownRow(), QStringLiteral("0 on|3 off|old|| /somewhere/site.BRV"));
        QVERIFY(rig.mod().Modified);
    }
    // Download packs the typed key first; Upload puts the table's key back in the box.
    void portThatDoesNotExist_data() {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QString>("keyBox");
        QTest::newRow("download") << false << "typed";
        QTest::newRow("upload") << true << "kept";
    }
    void portThatDoesNotExist() {
        QFETCH(bool, upload);
        QFETCH(QString, keyBox);
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
        QCOMPARE(rig.window().txtOKey()->text(), keyBox);
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
