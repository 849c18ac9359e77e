#include <QtTest>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>

#include "mainwindow/frmbrevanemain.h"
#include "mainwindow/keybox.h"
#include "tests/support/testhome.h"

class TestKeyBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    void printableAscii();
    void dropped_data();
    void dropped();
    void cutShortcutClaimed();
    void copyAndPaste_data();
    void copyAndPaste();
    void editingKeys();
    void bothBoxesFilter();
};

void TestKeyBox::printableAscii() {
    // Of the printable ASCII characters exactly these seven are dropped.
    const QString dropped = QStringLiteral(" \"'^`|~");
    KeyBox box;
    for (int code = 32; code <= 126; ++code) {
        const QChar c(code);
        box.clear();
        QTest::keyClick(&box, c.toLatin1());
        QCOMPARE(box.text(), dropped.contains(c) ? QString() : QString(c));
    }
}

void TestKeyBox::dropped_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text"); // the event's text, or the composed text
    QTest::addColumn<QString>("result");
    const auto chord = [](const char* name, int key, int modifiers) {
        QTest::newRow(name) << key << modifiers << QString() << "ab12";
    };
    chord("ctrl+x", Qt::Key_X, Qt::ControlModifier);
    chord("ctrl+z", Qt::Key_Z, Qt::ControlModifier);
    chord("ctrl+a", Qt::Key_A, Qt::ControlModifier);
    chord("ctrl+backspace", Qt::Key_Backspace, Qt::ControlModifier);
    chord("enter", Qt::Key_Return, 0);
    chord("escape", Qt::Key_Escape, 0);
    // Characters as some platforms deliver them: with no key, or none of their own.
    QTest::newRow("e acute") << int(Qt::Key_Eacute) << 0 << "\u00E9"
                             << "ab12";
    QTest::newRow("euro") << int(Qt::Key_unknown) << 0 << "\u20AC"
                          << "ab12";
    // Composed characters are typed characters too (no key: an input method's text).
    QTest::newRow("composed accent") << 0 << 0 << "\u00E9"
                                     << "ab12";
    QTest::newRow("composed plain") << 0 << 0 << "a"
                                    << "aa2";
    QTest::newRow("composed mixed") << 0 << 0 << "a\u00E9b c"
                                    << "aabc2";
}

// What the filter drops leaves the text and the selection ("b1") as they were.
void TestKeyBox::dropped() {
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

void TestKeyBox::cutShortcutClaimed() {
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

void TestKeyBox::copyAndPaste_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("result");
    QTest::newRow("plain") << "x"
                           << "k3y!"
                           << "xk3y!";
    QTest::newRow("space and marks unfiltered") << ""
                                                << "a ~|^"
                                                << "a ~|^";
    QTest::newRow("long cut to eight") << ""
                                       << "0123456789"
                                       << "01234567";
    QTest::newRow("fills the rest") << "abcdef"
                                    << "XYZ"
                                    << "abcdefXY";
    QTest::newRow("full box takes nothing") << "abcdefgh"
                                            << "Z"
                                            << "abcdefgh";
}

// Ctrl+C and Ctrl+V pass the filter; pasted text is only cut to eight characters.
void TestKeyBox::copyAndPaste() {
    QFETCH(QString, start);
    QFETCH(QString, copied);
    QFETCH(QString, result);
    KeyBox box;
    box.setText(copied);
    box.selectAll();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), box.text());
    box.setText(start);
    box.end(false);
    QGuiApplication::clipboard()->setText(copied);
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box.text(), result);
}

// Keys that type no character edit as usual.
void TestKeyBox::editingKeys() {
    KeyBox box;
    QTest::keyClicks(&box, "abcd");
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), QStringLiteral("abc"));
    QTest::keyClick(&box, Qt::Key_Home);
    // As X11 delivers it: with the text DEL, which is no character to type.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7F"));
    QCoreApplication::sendEvent(&box, &del);
    QCOMPARE(box.text(), QStringLiteral("bc"));
    QTest::keyClick(&box, Qt::Key_End);
    QTest::keyClick(&box, Qt::Key_Left);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), QStringLiteral("c"));
}

void TestKeyBox::bothBoxesFilter() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    for (KeyBox* box : {w.txtOKey(), w.txtIKey()}) {
        QTest::keyClicks(box, "a b|c~d\"e'f^g`hij"); // and a ninth character refused
        QCOMPARE(box->text(), QStringLiteral("abcdefgh"));
    }
}

QTEST_MAIN(TestKeyBox)
#include "tst_keybox.moc"
