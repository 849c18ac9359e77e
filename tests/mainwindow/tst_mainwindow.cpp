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

    // The outer frame in the middle of the screen, for a client of 1001 x 610 in a frame of
    // known margins: none (no window manager), a title bar and borders, another screen.
    void centring_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("no frame") << QRect(0, 0, 1280, 1024) << QMargins() << QPoint(139, 207);
        QTest::newRow("right screen")
            << QRect(1280, 0, 1920, 1080) << QMargins(4, 30, 4, 4) << QPoint(1735, 218);
    }
    void centring() {
        QFETCH(QRect, screen);
        QFETCH(QMargins, frame);
        QFETCH(QPoint, topLeft);
        QCOMPARE(centredFramePosition(screen, QSize(1001, 610), frame), topLeft);
    }

    void menus() {
        ModBrevane mod;
        frmBrevaneMain w(mod);
        const auto entries = [](const QList<QAction*>& actions) {
            QStringList found;
            for (QAction* a : actions) {
                found << a->text() + (a->menu() == nullptr ? "" : " menu") +
                             (a->isChecked() ? " checked" : "");
            }
            return found;
        };
        QCOMPARE(entries(w.menuBar()->actions()),
                 (QStringList{"File menu", "ComPort menu", "Download", "Upload"}));
        QCOMPARE(entries(w.mnuFile()->actions()),
                 (QStringList{"New", "Open", "Save", "Save As", "", "Exit"}));
        const QStringList ports = entries(w.mnuComPortOpen()->actions());
        QCOMPARE(ports.size(), 16);
        QCOMPARE(ports.first() + ' ' + ports.at(9) + ' ' + ports.last(),
                 "COM1 checked COM10 COM16");
        QCOMPARE(w.mnuComPort(15), w.mnuComPortOpen()->actions().last());
    }

    void rowGeometry_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("top");
        QTest::addColumn<QList<int>>("lefts"); // chkOLink, node, type, ref, chkILink, lblILinkRef
        QTest::newRow("slot 0") << 0 << 40 << QList<int>{16, 80, 152, 232, 608, 672};
        QTest::newRow("slot 63") << 63 << 536 << QList<int>{320, 384, 456, 536, 808, 872};
    }

    void rowGeometry() {
        QFETCH(int, slot);
        QFETCH(int, top);
        QFETCH(QList<int>, lefts);
        ModBrevane mod;
        frmBrevaneMain w(mod);
        const QList<QWidget*> row = {w.chkOLink(slot),     w.lblOLinkNode(slot),
                                     w.lblOLinkType(slot), w.lblOLinkRef(slot),
                                     w.chkILink(slot),     w.lblILinkRef(slot)};
        const QList<QSize> sizes = {{64, 18}, {65, 17}, {73, 17}, {41, 17}, {64, 18}, {113, 17}};
        for (int k = 0; k < row.size(); ++k) {
            QCOMPARE(row[k]->parentWidget(), w.client());
            QCOMPARE(row[k]->geometry(), QRect(QPoint(lefts[k], top), sizes[k]));
        }
    }

    void display_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QList<int>>("fields"); // fields 0-5
        QTest::addColumn<QString>("row");
        QTest::newRow("node FE") << 10 << QList<int>{1, 254, 1, 253, 1, 0}
                                 << "on|Node: FE|QD PC|FE|on|Quendel NC.01";
        QTest::newRow("relays mod 8") << 63 << QList<int>{255, 26, 2, 9, 1, 255}
                                      << "on|Node: 1A|Relays|09-16|on|Quendel NC.00";
        // A type with no caption leaves the one shown; the reference reads it as relays.
        QTest::newRow("type 3") << 5 << QList<int>{0, 0, 3, 12, 0, 0}
                                << "off|Node: NC|QD PC|33-40|off|Quendel NC.01";
    }

    void display() {
        QFETCH(int, slot);
        QFETCH(QList<int>, fields);
        QFETCH(QString, row);
        ModBrevane mod;
        frmBrevaneMain w(mod);
        mod.field(slot, OType) = 1; // drawn over an earlier drawing
        w.ShowCnf();
        for (int f = 0; f < fields.size(); ++f) {
            mod.field(slot, f) = static_cast<std::uint8_t>(fields[f]);
        }
        const CnfTable before = mod.Cnf;
        w.ShowCnf();
        QCOMPARE(rowOf(w, slot), row);
        QVERIFY(mod.Cnf == before);
        QCOMPARE(mod.Modified, false);
    }

    void labelClicksLikeAButton_data() {
        QTest::addColumn<QPoint>("releaseAt");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("clicks");
        QTest::newRow("inside") << QPoint(5, 5) << int(Qt::LeftButton) << 1;
        QTest::newRow("dragged off") << QPoint(80, 5) << int(Qt::LeftButton) << 0;
    }

    void labelClicksLikeAButton() {
        QFETCH(QPoint, releaseAt);
        QFETCH(int, button);
        QFETCH(int, clicks);
        ClickLabel label(QStringLiteral("Quendel"));
        label.resize(73, 17);
        QSignalSpy spy(&label, &ClickLabel::clicked);
        QTest::mousePress(&label, Qt::MouseButton(button), {}, QPoint(5, 5));
        QCOMPARE(spy.count(), 0); // a press alone does nothing
        QTest::mouseRelease(&label, Qt::MouseButton(button), {}, releaseAt);
        QCOMPARE(spy.count(), clicks);
    }

    void keyBoxPrintableAscii() {
        // Of the printable ASCII characters exactly these seven are dropped.
        const QString dropped = QStringLiteral(" \"'^`|~");
        ModBrevane mod;
        frmBrevaneMain w(mod);
        for (KeyBox* box : {w.txtOKey(), w.txtIKey()}) {
            for (int code = 32; code <= 126; ++code) {
                const QChar c(code);
                box->clear();
                QTest::keyClick(box, c.toLatin1());
                QCOMPARE(box->text(), dropped.contains(c) ? QString() : QString(c));
            }
            QTest::keyClicks(box, "hijklmnop"); // a ninth character refused
            QCOMPARE(box->text(), QStringLiteral("hijklmno"));
        }
    }

    void keyBoxDrops_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text"); // the event's text, or the composed text
        QTest::addColumn<QString>("result");
        const auto row = [](const char* name, int key, int mods, const QString& text,
                            const char* result) {
            QTest::newRow(name) << key << mods << text << result;
        };
        row("ctrl+x", Qt::Key_X, Qt::ControlModifier, "", "ab12");
        row("escape", Qt::Key_Escape, 0, "", "ab12");
        row("backspace edits", Qt::Key_Backspace, 0, "", "a2"); // keys that type nothing edit
        row("delete as X11 sends it", Qt::Key_Delete, 0, "\x7F", "a2"); // DEL is no character
        // Characters as some platforms deliver them: with no key, or none of their own.
        row("e acute", Qt::Key_Eacute, 0, "\u00E9", "ab12");
        // Composed characters are typed characters too (no key: an input method's text).
        row("composed mixed", 0, 0, "a\u00E9b c", "aabc2");
    }

    // What the filter drops leaves the text and the selection ("b1") as they were.
    void keyBoxDrops() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(QString, result);
        KeyBox box;
        QTest::keyClicks(&box, "ab12");
        box.setSelection(1, 2);
        if (key == 0) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QCoreApplication::sendEvent(&box, &event);
        } else if (text.isEmpty()) {
            QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        } else {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
            QCoreApplication::sendEvent(&box, &press);
        }
        QCOMPARE(box.text(), result);
        QCOMPARE(box.selectedText(), result == "ab12" ? QStringLiteral("b1") : QString());
    }

    void keyBoxCutShortcutClaimed() {
        ModBrevane mod;
        frmBrevaneMain w(mod);
        int fired = 0;
        auto* cut = new QAction(&w);
        cut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
        w.addAction(cut);
        connect(cut, &QAction::triggered, &w, [&] { ++fired; });
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.txtOKey()->setFocus();
        w.txtOKey()->setText(QStringLiteral("wxyz"));
        w.txtOKey()->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(w.txtOKey(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(fired, 0);
        QCOMPARE(w.txtOKey()->text(), QStringLiteral("wxyz"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    // Ctrl+C and Ctrl+V pass the filter; pasted text is only cut to eight characters.
    void keyBoxCopyAndPaste() {
        KeyBox box;
        box.setText(QStringLiteral("XYZ"));
        box.selectAll();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("XYZ"));
        box.setText(QStringLiteral("abcdef"));
        box.end(false);
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box.text(), QStringLiteral("abcdefXY"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
