// The window's ComPort, Download and Upload commands on the fake line: what they show and
// ask, and what they do to the table and the key boxes. The transfer faults themselves are
// tst_transfer's.

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <optional>
#include <qpa/qplatformdrag.h>
#include <qpa/qwindowsysteminterface.h>

#include "link/exchange.h"
#include "link/transfercommands.h"
#include "mainwindow/keybox.h"
#include "tests/support/controllerend.h"
#include "tests/support/testhome.h"
#include "tests/support/windowrig.h"

namespace {

// Each paint of a widget: a progress bar's value then (-1 for another widget), and the
// time on the line's clock.
class Paints final : public QObject {
public:
    explicit Paints(const FakeClock& clock) : m_clock(clock) {}
    QList<int> values;
    QList<qint64> times;

protected:
    bool eventFilter(QObject* widget, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const auto* bar = qobject_cast<QProgressBar*>(widget);
            values << (bar != nullptr ? bar->value() : -1);
            times << m_clock.now();
        }
        return false;
    }

private:
    const FakeClock& m_clock;
};

// A click on a widget, queued as the window system queues one, not delivered at once.
void queueClick(QWidget* widget) {
    QWindow* window = widget->window()->windowHandle();
    const QPointF local = widget->mapTo(widget->window(), widget->rect().center());
    const QPointF global = widget->mapToGlobal(widget->rect().center());
    using System = QWindowSystemInterface;
    System::handleMouseEvent<System::AsynchronousDelivery>(
        window, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
    System::handleMouseEvent<System::AsynchronousDelivery>(
        window, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
}

// The whole program on the fake line, with the stand-in's controller model at the far end.
struct TransferWindowRig : ControllerEnd, WindowRig {
    explicit TransferWindowRig(const QStringList& faults = {})
        : ControllerEnd(faults), WindowRig(&line, &clock) {}

    // The controller holds link 4 outgoing and the keys "Orvik" and "Net"; the window an
    // edited table of its own, named after a file.
    void prepareUpload() {
        ControllerImage image{};
        image[24] = 1; // slot 3's OEnabled
        std::copy_n("Orvik", 5, image.begin() + 512);
        std::copy_n("Net", 3, image.begin() + 520);
        controller.setImage(image);
        window().chkOLink(0)->click(); // on, and modified
        window().txtOKey()->setText(QStringLiteral("old"));
        mod().CnfPath = QStringLiteral("/somewhere/site.BRV");
        window().ShowFileName();
    }
    // Outgoing links 01 and 04, the key boxes, the file label and Modified, by name.
    QString shown() {
        const auto onOff = [this](int slot) {
            return QString(window().chkOLink(slot)->isChecked() ? "on" : "off");
        };
        return QStringLiteral("link 01 %1, 04 %2, keys '%3' '%4', label '%5', %6")
            .arg(onOff(0), onOff(3), window().txtOKey()->text(), window().txtIKey()->text(),
                 window().lblFileName()->text(), mod().Modified ? "modified" : "not modified");
    }
};

} // namespace

class TestTransferCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    // The port chosen last is opened by the next transfer, once; the bar is painted as the
    // blocks go.
    void download() {
        TransferWindowRig rig;
        frmBrevaneMain& window = rig.window();
        const QList<QAction*> ports = window.mnuComPortOpen()->actions();
        for (const int index : {4, 4, 15, 4}) { // the marked entry chosen again stays marked
            window.mnuComPort(index)->trigger();
            QCOMPARE(std::count_if(ports.begin(), ports.end(), std::mem_fn(&QAction::isChecked)),
                     std::ptrdiff_t(1));
            QVERIFY(window.mnuComPort(index)->isChecked());
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QProgressBar* bar = window.prgUpDown();
        Paints painted(rig.clock);
        bar->installEventFilter(&painted);
        QTest::keyClicks(window.txtOKey(), QStringLiteral("AB")); // typed: modified
        QTest::keyClicks(window.txtIKey(), QStringLiteral("xyz"));
        window.mnuDownload()->trigger(); // no event loop runs until the message
        // Painted at the start and after every block all the same.
        painted.values.erase(std::unique(painted.values.begin(), painted.values.end()),
                             painted.values.end());
        QCOMPARE(painted.values, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(bar->maximum(), 9);
        // Still up, at 9, while the message is open; hidden afterwards.
        QCOMPARE(rig.boxes(), QStringList{"Download|NoIcon|Ok|NoButton|Download Complete"});
        QCOMPARE(rig.messages.barValue, QList<int>{9});
        QVERIFY(!bar->isVisible());
        QCOMPARE(rig.line.opens, QList<int>{5});
        QVERIFY(!rig.line.isOpen());
        // The keys go as typed; a download is no save.
        const auto* keys = reinterpret_cast<const char*>(rig.controller.image().data()) + 512;
        QCOMPARE(QByteArray(keys, 12), QByteArray("AB\0\0\0\0\0\0xyz\0", 12));
        QVERIFY(rig.mod().Modified);
    }
    // Upload asks first, then shows the controller's table, or a cleared one when it fails.
    void upload_data() {
        QTest::addColumn<QString>("fault");     // the stand-in's, or "declined", "no port"
        QTest::addColumn<QStringList>("after"); // the messages after the question
        QTest::addColumn<int>("bar");           // the bar's value at the last message
        QTest::addColumn<QString>("shown");
        QTest::newRow("complete")
            << "" << QStringList{"Upload|NoIcon|Ok|NoButton|Upload Complete"} << 9
            << "link 01 off, 04 on, keys 'Orvik' 'Net', label ' /somewhere/site.BRV', modified";
        QTest::newRow("block 3 unreadable")
            << "badsum@4"
            << QStringList{"Error|Critical|Ok|NoButton|Upload Error: 71\r\nAll Host Data Cleared."}
            << 3 << "link 01 off, 04 off, keys '' '', label ' None', not modified";
        QTest::newRow("declined")
            << "declined" << QStringList{} << 0
            << "link 01 on, 04 off, keys 'old' '', label ' /somewhere/site.BRV', modified";
        // The table stays; the key box shows the table's key.
        QTest::newRow("no port")
            << "no port" << QStringList{"Port Error|Critical|Ok|NoButton|Unable To Open Port"} << 0
            << "link 01 on, 04 off, keys '' '', label ' /somewhere/site.BRV', modified";
    }
    void upload() {
        QFETCH(QString, fault);
        QFETCH(QStringList, after);
        TransferWindowRig rig(fault.contains('@') ? QStringList{fault} : QStringList{});
        rig.prepareUpload();
        rig.messages.answer = fault == "declined" ? QMessageBox::No : QMessageBox::Yes;
        rig.line.portExists = fault != "no port";
        rig.window().mnuUpload()->trigger();
        QCOMPARE(rig.boxes(), QStringList{DiscardBox} + after);
        QCOMPARE(rig.messages.barVisible, QList<bool>({false, true}).first(1 + after.size()));
        QTEST(rig.messages.barValue.last(), "bar");
        QTEST(rig.shown(), "shown");
        QVERIFY(!rig.line.isOpen());
        QVERIFY(rig.window().prgUpDown()->isHidden());
    }
    // While a reply is awaited the window is painted (within 100 ms on the line's clock),
    // but a click and a close request wait until the transfer has ended, and a file
    // dropped meanwhile is refused.
    void servedButDeafWhileWaiting() {
        TransferWindowRig rig({"silent@1"});
        frmBrevaneMain& window = rig.window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Paints painted(rig.clock);
        window.client()->installEventFilter(&painted);
        QCheckBox* box = window.chkOLink(5);
        qint64 askedAt = -1;
        std::optional<bool> dropTaken;
        rig.line.onWrite = [&](int) {
            askedAt = rig.clock.now();
            painted.times.clear();
            window.client()->update();
            queueClick(box);
            QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(
                window.windowHandle());
            // A platform hands a drop over at once, from inside whatever serves its messages.
            QMetaObject::invokeMethod(
                &window,
                [&] {
                    QMimeData file;
                    file.setUrls({QUrl::fromLocalFile(QStringLiteral("/somewhere/b.BRV"))});
                    const QPoint at = window.client()->geometry().center();
                    QWindowSystemInterface::handleDrag(window.windowHandle(), &file, at,
                                                       Qt::CopyAction, Qt::LeftButton, {});
                    dropTaken =
                        QWindowSystemInterface::handleDrop(window.windowHandle(), &file, at,
                                                           Qt::CopyAction, Qt::LeftButton, {})
                            .isAccepted();
                },
                Qt::QueuedConnection);
        };
        QTest::keyClicks(window.txtOKey(), QStringLiteral("A")); // modified
        rig.messages.answer = QMessageBox::No; // keep the window when asked to discard
        window.mnuDownload()->trigger();
        const QString error =
            QStringLiteral("Error|Critical|Ok|NoButton|Download Error: 4\r\nBrevane will "
                           "not function properly until a download is complete.");
        QCOMPARE(rig.boxes(), QStringList{error});
        QCOMPARE_LE(painted.times.value(0, ReplyTimeoutMs) - askedAt, 100);
        QVERIFY(!box->isChecked());
        QCOMPARE(rig.mod().field(5, OEnabled), std::uint8_t(0));
        QCOMPARE(dropTaken, std::optional<bool>(false));
        // Once it has ended, the close is asked for (declined here), then the click lands.
        QTest::qWait(50);
        QCOMPARE(rig.boxes(), (QStringList{error, DiscardBox}));
        QCOMPARE(rig.messages.barVisible, (QList<bool>{true, false}));
        QVERIFY(window.isVisible());
        QVERIFY(box->isChecked());
    }
    void noSecondTransferWhileOneRuns() {
        TransferWindowRig rig;
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
