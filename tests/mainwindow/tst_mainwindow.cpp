#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include "mainwindow/centring.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"
#include "mainwindow/keybox.h"
#include "tests/support/rowtext.h"
#include "tests/support/testhome.h"

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }

    void startUp() {
        ModBrevane mod;
        mod.Modified = true;
        mod.ComPortNum = 7;
        mod.Cnf.fill(3);
        frmBrevaneMain w(mod);
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvik Brevane Rev 01"));
        QCOMPARE(mod.CnfPath, QStringLiteral("None"));
        QCOMPARE(w.lblFileName()->text(), QStringLiteral(" None"));
        QCOMPARE(mod.Modified, false);
        QCOMPARE(mod.ComPortNum, 1);
        QCOMPARE(std::count(mod.Cnf.begin(), mod.Cnf.end(), 0), qsizetype(CnfBytes));
        QCOMPARE(w.prgUpDown()->isVisibleTo(&w), false);
        for (int i = 0; i < LinkSlots; ++i) {
            QCOMPARE(rowOf(w, i), QStringLiteral("off|Node: NC|Quendel|01|off|Quendel NC.01"));
        }
        QCOMPARE(w.chkOLink(0)->text() + w.chkILink(9)->text() + w.chkILink(63)->text(),
                 QStringLiteral("Link 01Link 10Link 64"));
        // Row controls on the client area; the last row at the foot of each second column.
        QCOMPARE(w.lblILinkRef(63)->parentWidget(), w.client());
        QCOMPARE(w.lblILinkRef(0)->geometry(), QRect(672, 40, 113, 17));
        QCOMPARE(w.chkOLink(63)->geometry(), QRect(320, 536, 64, 18));
        QCOMPARE(w.lblOLinkRef(63)->geometry(), QRect(536, 536, 41, 17));
        QCOMPARE(w.chkILink(63)->geometry(), QRect(808, 536, 64, 18));
        QCOMPARE(w.lblILinkRef(63)->geometry(), QRect(872, 536, 113, 17));
        const auto captions = [](const QWidget* menu) {
            QStringList all;
            for (const QAction* entry : menu->actions()) {
                all << entry->text() + (entry->isChecked() ? "*" : "");
            }
            return all.join(QLatin1Char(' '));
        };
        QCOMPARE(captions(w.menuBar()), "File ComPort Download Upload");
        QCOMPARE(captions(w.mnuFile()), "New Open Save Save As  Exit");
        QCOMPARE(captions(w.mnuComPortOpen()), "COM1* COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 "
                                               "COM10 COM11 COM12 COM13 COM14 COM15 COM16");

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.client()->size(), QSize(1001, 585));
        QCOMPARE(w.client()->y(), w.menuBar()->height());
        QCOMPARE(w.size(), QSize(1001, 585 + w.menuBar()->height()));
        QCOMPARE(w.client()->palette().color(QPalette::Window), QColor(Qt::white));
        const QFont font = w.chkOLink(0)->font();
        QCOMPARE(font.pixelSize(), 15);
        QCOMPARE(font.weight(), QFont::Normal);
        const QString family = QFontInfo(font).family();
        QVERIFY2(family == "Calibri" || family == "Carlito", qPrintable(family));
    }

    // The outer frame in the middle of the screen for a client of 1001 x 610: with no frame
    // (no window manager), and in a frame of a title bar and borders on a second screen.
    void centring() {
        QCOMPARE(centredFramePosition({0, 0, 1280, 1024}, {1001, 610}, {}), QPoint(139, 207));
        QCOMPARE(centredFramePosition({1280, 0, 1920, 1080}, {1001, 610}, {4, 30, 4, 4}),
                 QPoint(1735, 218));
    }

    // How much of the 1001 x 585 client area is seen within the room a screen leaves, with
    // scroll bars 17 pixels broad.
    void scrolledView_data() {
        QTest::addColumn<QSize>("room");
        QTest::addColumn<QSize>("view");
        QTest::newRow("just fits") << QSize(1001, 585) << QSize(1001, 585);
        QTest::newRow("too low: a bar down the side") << QSize(1280, 500) << QSize(1018, 500);
        QTest::newRow("too narrow: a bar along the foot") << QSize(900, 700) << QSize(900, 602);
        QTest::newRow("the bar down the side makes it too narrow")
            << QSize(1010, 580) << QSize(1010, 580);
        QTest::newRow("too narrow and too low") << QSize(853, 500) << QSize(853, 500);
    }
    void scrolledView() {
        QFETCH(QSize, room);
        QTEST(scrolledViewSize(QSize(1001, 585), room, 17), "view");
    }

    // Taken to a screen where it is larger than the work area at the screen's scale, the
    // window fits the work area and every row can be scrolled into sight; back on a screen
    // large enough, it is the whole window again.
    void scaledScreen() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.size() < 2) {
            QSKIP("the tests' two screens are not there (tests/support/screens.json)");
        }
        ModBrevane mod;
        frmBrevaneMain w(mod);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.scroller(), nullptr);
        QWindowSystemInterface::handleWindowScreenChanged<
            QWindowSystemInterface::SynchronousDelivery>(w.windowHandle(), screens.at(1));
        QTRY_VERIFY(w.scroller() != nullptr);
        const QRect work = screens.at(1)->availableGeometry();
        QVERIFY2(work.contains(w.frameGeometry()),
                 qPrintable(QDebug::toString(w.frameGeometry()) + " in " + QDebug::toString(work)));
        for (QWidget* far : QList<QWidget*>{w.lblILinkRef(63), w.chkOLink(31)}) {
            w.scroller()->ensureWidgetVisible(far, 0, 0);
            QCOMPARE(far->visibleRegion().boundingRect(), far->rect());
        }
        // The file name's line is wider than the view: its foot and its start come into sight.
        w.scroller()->ensureWidgetVisible(w.lblFileName(), 0, 0);
        w.scroller()->horizontalScrollBar()->setValue(0);
        QCOMPARE(w.lblFileName()->visibleRegion().boundingRect(),
                 QRect(0, 0, w.scroller()->viewport()->width(), 25));
        QWindowSystemInterface::handleWindowScreenChanged<
            QWindowSystemInterface::SynchronousDelivery>(w.windowHandle(), screens.at(0));
        QTRY_COMPARE(w.size(), QSize(1001, 585 + w.menuBar()->height()));
        QTRY_COMPARE(w.client()->visibleRegion().boundingRect(), w.client()->rect());
    }

    // A label clicks like a button: on the release, and only when released over it.
    void labelClicksOnRelease() {
        ClickLabel label(QStringLiteral("Quendel"));
        label.resize(73, 17);
        QSignalSpy clicked(&label, &ClickLabel::clicked);
        QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(80, 5)); // dragged off
        QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicked.count(), 0);
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicked.count(), 1);
    }

    // Of the codes a key can type only these pass: Backspace, Ctrl+C, Ctrl+V and the
    // printable ASCII characters but the space, " ' ^ ` | and ~.
    void keyFilter() {
        QString admitted;
        for (int code = 0; code < 256; ++code) {
            if (keyAsciiAdmitted(code)) {
                admitted += QChar(code);
            }
        }
        QCOMPARE(admitted, "\x03\b\x16!#$%&()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]_"
                           "abcdefghijklmnopqrstuvwxyz{}");
    }

    // Keys as X11 delivers them (key, modifiers, text); key 0: an input method's text.
    void keyBoxKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // text, selection, clipboard
        const auto row = [](const char* name, int key, int mods, const QString& text,
                            const char* result) {
            QTest::newRow(name) << key << mods << text << result;
        };
        row("ctrl+x cuts nothing", Qt::Key_X, Qt::ControlModifier, "\x18", "ab12cdef|b1|XY");
        row("ctrl+c copies", Qt::Key_C, Qt::ControlModifier, "\x03", "ab12cdef|b1|b1");
        row("ctrl+v pastes", Qt::Key_V, Qt::ControlModifier, "\x16", "aXY2cdef||XY");
        row("escape", Qt::Key_Escape, 0, "\x1B", "ab12cdef|b1|XY");
        row("backspace", Qt::Key_Backspace, 0, "\b", "a2cdef||XY"); // keys that type nothing edit
        row("delete", Qt::Key_Delete, 0, "\x7F", "a2cdef||XY");     // DEL is no character
        row("e acute", Qt::Key_Eacute, 0, "\u00E9", "ab12cdef|b1|XY");
        row("composed mixed", 0, 0, "\u00E9b c", "abc2cdef||XY");
    }
    // What the filter drops leaves the text, the selection ("b1") and the clipboard alone.
    void keyBoxKeys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QGuiApplication::clipboard()->setText(QStringLiteral("XY"));
        KeyBox box;
        QTest::keyClicks(&box, "ab12cdefg"); // a ninth character refused
        box.setSelection(1, 2);
        if (key == 0) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QCoreApplication::sendEvent(&box, &event);
        } else {
            QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
            QCoreApplication::sendEvent(&box, &press);
        }
        QTEST(box.text() + '|' + box.selectedText() + '|' + QGuiApplication::clipboard()->text(),
              "result");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
