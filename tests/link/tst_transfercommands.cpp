#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>

#include "app/brevaneapp.h"
#include "link/transfercommands.h"
#include "mainwindow/keybox.h"
#include "platform/messageboxes.h"
#include "tests/link/farend.h"
#include "tests/support/testhome.h"

namespace {

// Answers every message with its default (or the scripted answer) and records it, with
// the bar as it stood.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const MessageSpec& box) override {
        shown << box;
        barVisible << (bar != nullptr && !bar->isHidden());
        barValue << (bar != nullptr ? bar->value() : -1);
        if (box.buttons.testFlag(QMessageBox::Yes)) {
            return answer;
        }
        return QMessageBox::Ok;
    }

    QList<MessageSpec> shown;
    QList<bool> barVisible;
    QList<int> barValue;
    QProgressBar* bar = nullptr;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

// Counts the bar's paint events.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

struct Rig {
    FakeClock clock;
    FakeLine line{clock};
    FakeController controller;
    RecordingMessageBoxes messages;
    std::unique_ptr<BrevaneApp> app;

    explicit Rig(SerialPort* port = nullptr) {
        line.setResponder(controller.responder());
        Seams seams;
        seams.messages = &messages;
        seams.serialPort = port != nullptr ? port : &line;
        seams.clock = &clock;
        app = std::make_unique<BrevaneApp>(seams);
        messages.bar = window().prgUpDown();
    }
    frmBrevaneMain& window() { return app->window(); }
    ModBrevane& mod() { return app->mod(); }
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
    void initTestCase();
    void portMenu();
    void barDuringDownload();
    void downloadMessages_data();
    void downloadMessages();
    void downloadPacksTypedKeys();
    void uploadAsksFirst();
    void uploadShowsTheTable();
    void failedUploadClearsEverything();
    void portThatDoesNotExist_data();
    void portThatDoesNotExist();
    void noSecondTransferWhileOneRuns();

private:
    QString m_home;
};

void TestTransferCommands::initTestCase() {
    m_home = useFreshHome();
}

void TestTransferCommands::portMenu() {
    Rig rig;
    frmBrevaneMain& window = rig.window();
    QCOMPARE(checkedEntries(window), QList<int>{0});
    window.mnuComPort(4)->trigger();
    QCOMPARE(checkedEntries(window), QList<int>{4});
    QCOMPARE(rig.mod().ComPortNum, 5);
    // Choosing the marked entry again keeps it marked.
    window.mnuComPort(4)->trigger();
    QCOMPARE(checkedEntries(window), QList<int>{4});
    QCOMPARE(rig.mod().ComPortNum, 5);
    window.mnuComPort(15)->trigger();
    QCOMPARE(checkedEntries(window), QList<int>{15});
    window.mnuComPort(4)->trigger();
    // The number is applied at the next transfer.
    QCOMPARE(rig.line.opens, QList<int>{});
    window.mnuDownload()->trigger();
    QCOMPARE(rig.line.opens, QList<int>{5});
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.line.closes, 1);
}

void TestTransferCommands::barDuringDownload() {
    Rig rig;
    frmBrevaneMain& window = rig.window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QProgressBar* bar = window.prgUpDown();
    PaintCounter counter;
    bar->installEventFilter(&counter);
    QVERIFY(!bar->isVisible());

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
    QCOMPARE(rig.messages.barVisible, QList<bool>{true});
    QCOMPARE(rig.messages.barValue, QList<int>{9});
    QVERIFY(!bar->isVisible());
    window.hide();
}

void TestTransferCommands::downloadMessages_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("barValue");

    QTest::newRow("complete") << int(FakeController::NoFault) << "Download Complete"
                              << "Download" << int(QMessageBox::NoIcon) << 9;
    QTest::newRow("block unanswered")
        << int(FakeController::Silent)
        << "Download Error: 4\r\nBrevane will not function properly until a download is "
           "complete."
        << "Error" << int(QMessageBox::Critical) << 0;
}

void TestTransferCommands::downloadMessages() {
    QFETCH(int, fault);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(int, icon);
    QFETCH(int, barValue);
    Rig rig;
    rig.controller.faults[0] = FakeController::Fault(fault);
    rig.window().mnuDownload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    const MessageSpec& box = rig.messages.shown.at(0);
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, title);
    QCOMPARE(int(box.icon), icon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(rig.messages.barValue, QList<int>{barValue});
    QVERIFY(rig.window().prgUpDown()->isHidden());
    QVERIFY(!rig.line.isOpen());
}

void TestTransferCommands::downloadPacksTypedKeys() {
    Rig rig;
    rig.window().txtOKey()->setText(QStringLiteral("AB"));
    rig.window().txtIKey()->setText(QStringLiteral("xyz"));
    rig.mod().Modified = true;
    rig.window().mnuDownload()->trigger();
    QCOMPARE(rig.messages.shown.at(0).text, QStringLiteral("Download Complete"));
    const ControllerImage& image = rig.controller.image;
    QCOMPARE(int(image[512 + 0]), int('A'));
    QCOMPARE(int(image[512 + 1]), int('B'));
    QCOMPARE(int(image[512 + 2]), 0);
    QCOMPARE(int(image[512 + 8]), int('x'));
    QCOMPARE(int(image[512 + 10]), int('z'));
    QCOMPARE(rig.mod().OKey, QStringLiteral("AB"));
    QVERIFY(rig.mod().Modified); // a download is no save
}

void TestTransferCommands::uploadAsksFirst() {
    Rig rig;
    rig.mod().field(3, OEnabled) = 1;
    rig.mod().Modified = true;
    rig.messages.answer = QMessageBox::No;
    rig.window().mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown.at(0).text, QStringLiteral("Discard Any Changes?"));
    QCOMPARE(rig.messages.barVisible, QList<bool>{false});
    QCOMPARE(rig.line.opens, QList<int>{});
    QCOMPARE(int(rig.mod().field(3, OEnabled)), 1);
    QVERIFY(rig.mod().Modified);

    // Yes goes on; without unsaved changes nothing is asked.
    rig.messages.answer = QMessageBox::Yes;
    rig.window().mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 3);
    QCOMPARE(rig.messages.shown.at(2).text, QStringLiteral("Upload Complete"));
    rig.mod().Modified = false;
    rig.window().mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 4);
    QCOMPARE(rig.messages.shown.at(3).text, QStringLiteral("Upload Complete"));
}

void TestTransferCommands::uploadShowsTheTable() {
    Rig rig;
    ModBrevane source;
    source.field(3, OEnabled) = 1;
    source.field(3, ONode) = 0x1A;
    source.PackKeys(QStringLiteral("Orvik"), QStringLiteral("Net"));
    rig.controller.image = controllerImage(source.Cnf);
    rig.mod().Modified = true;
    rig.mod().CnfPath = QStringLiteral("/somewhere/site.BRV");
    rig.window().ShowFileName();
    rig.window().mnuUpload()->trigger();

    QCOMPARE(rig.messages.shown.last().text, QStringLiteral("Upload Complete"));
    QCOMPARE(rig.messages.shown.last().title, QStringLiteral("Upload"));
    QCOMPARE(int(rig.messages.shown.last().icon), int(QMessageBox::NoIcon));
    QVERIFY(rig.mod().Cnf == source.Cnf);
    QVERIFY(rig.window().chkOLink(3)->isChecked());
    QCOMPARE(rig.window().txtOKey()->text(), QStringLiteral("Orvik"));
    QCOMPARE(rig.window().txtIKey()->text(), QStringLiteral("Net"));
    QVERIFY(rig.mod().Modified);
    QCOMPARE(rig.window().lblFileName()->text(), QStringLiteral(" /somewhere/site.BRV"));
    QVERIFY(rig.window().prgUpDown()->isHidden());
    QVERIFY(!rig.line.isOpen());
}

void TestTransferCommands::failedUploadClearsEverything() {
    Rig rig;
    rig.controller.image = controllerImage(ModBrevane().Cnf);
    rig.controller.image[0] = 1;
    rig.controller.faults[3] = FakeController::BadSum;
    rig.mod().field(0, OEnabled) = 1;
    rig.mod().PackKeys(QStringLiteral("old"), QStringLiteral("keys"));
    rig.mod().UnpackKeys();
    rig.window().ShowCnf();
    rig.window().txtOKey()->setText(QStringLiteral("old"));
    rig.mod().CnfPath = QStringLiteral("/somewhere/site.BRV");
    rig.window().ShowFileName();
    QVERIFY(rig.window().chkOLink(0)->isChecked());

    rig.window().mnuUpload()->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    const MessageSpec& box = rig.messages.shown.at(0);
    QCOMPARE(box.text, QStringLiteral("Upload Error: 71\r\nAll Host Data Cleared."));
    QCOMPARE(box.title, QStringLiteral("Error"));
    QCOMPARE(int(box.icon), int(QMessageBox::Critical));
    QCOMPARE(rig.messages.barValue, QList<int>{3});

    QVERIFY(rig.mod().Cnf == CnfTable{});
    QVERIFY(!rig.window().chkOLink(0)->isChecked());
    QCOMPARE(rig.window().txtOKey()->text(), QString());
    QCOMPARE(rig.window().txtIKey()->text(), QString());
    QCOMPARE(rig.mod().CnfPath, QStringLiteral("None"));
    QCOMPARE(rig.window().lblFileName()->text(), QStringLiteral(" None"));
    QVERIFY(!rig.mod().Modified);
    QVERIFY(rig.window().prgUpDown()->isHidden());
    QVERIFY(!rig.line.isOpen());
}

void TestTransferCommands::portThatDoesNotExist_data() {
    QTest::addColumn<bool>("upload");
    QTest::addColumn<bool>("portsFolder");
    QTest::newRow("download, /dev/ttyS15") << false << false;
    QTest::newRow("upload, /dev/ttyS15") << true << false;
    QTest::newRow("download, ports folder without COM16") << false << true;
}

void TestTransferCommands::portThatDoesNotExist() {
    QFETCH(bool, upload);
    QFETCH(bool, portsFolder);
    const QString ports = m_home + QStringLiteral("/Orvik Tessaly Net/ports");
    QDir(ports).removeRecursively();
    if (portsFolder) {
        QVERIFY(QDir().mkpath(ports));
    } else if (QFile::exists(QStringLiteral("/dev/ttyS15"))) {
        QSKIP("this machine has a /dev/ttyS15");
    }
    QtSerialPort port;
    Rig rig(&port);
    rig.window().mnuComPort(15)->trigger();
    rig.mod().field(2, IEnabled) = 1;
    rig.mod().PackKeys(QStringLiteral("kept"), QString());
    rig.window().txtOKey()->setText(QStringLiteral("typed"));
    (upload ? rig.window().mnuUpload() : rig.window().mnuDownload())->trigger();

    QCOMPARE(rig.messages.shown.size(), 1);
    const MessageSpec& box = rig.messages.shown.at(0);
    QCOMPARE(box.text, QStringLiteral("Unable To Open Port"));
    QCOMPARE(box.title, QStringLiteral("Port Error"));
    QCOMPARE(int(box.icon), int(QMessageBox::Critical));
    QCOMPARE(rig.messages.barVisible, QList<bool>{true});
    QVERIFY(rig.window().prgUpDown()->isHidden());
    QVERIFY(!port.isOpen());
    QCOMPARE(int(rig.mod().field(2, IEnabled)), 1);
    // Download packed the typed key first; Upload put the table's key back in the box.
    QCOMPARE(rig.window().txtOKey()->text(),
             upload ? QStringLiteral("kept") : QStringLiteral("typed"));
    QDir(ports).removeRecursively();
}

void TestTransferCommands::noSecondTransferWhileOneRuns() {
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

QTEST_MAIN(TestTransferCommands)
#include "tst_transfercommands.moc"
