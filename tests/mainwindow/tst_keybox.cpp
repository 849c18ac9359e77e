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
    void initTestCase();
    void printableAscii();
    void controlChords_data();
    void controlChords();
    void cutShortcutClaimed();
    void copyAndPaste_data();
    void copyAndPaste();
    void editingKeys();
    void dropped_data();
    void dropped();
    void composedText_data();
    void composedText();
    void bothBoxesFilter();

private:
    static QString typed(KeyBox& box, QChar c) {
        box.clear();
        QTest::keyClick(&box, c.toLatin1());
        return box.text();
    }
};

void TestKeyBox::initTestCase() {
    useFreshHome();
}

void TestKeyBox::printableAscii() {
    // Of the printable ASCII characters exactly these seven are dropped.
    const QString dropped = QStringLiteral(" \"'^`|~");
    KeyBox box;
    for (int code = 32; code <= 126; ++code) {
        const QChar c(code);
        const QString expected = dropped.contains(c) ? QString() : QString(c);
        QCOMPARE(typed(box, c), expected);
    }
}

void TestKeyBox::controlChords_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("ctrl+x") << int(Qt::Key_X) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+z") << int(Qt::Key_Z) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+a") << int(Qt::Key_A) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+backspace") << int(Qt::Key_Backspace) << int(Qt::ControlModifier);
    QTest::newRow("enter") << int(Qt::Key_Return) << 0;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 0;
}

void TestKeyBox::controlChords() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    KeyBox box;
    QTest::keyClicks(&box, "ab12");
    box.setSelection(1, 2); // "b1" selected, so a cut, undo or word delete would show
    QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(box.text(), QStringLiteral("ab12"));
    QCOMPARE(box.selectedText(), QStringLiteral("b1"));
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
    KeyBox from;
    from.setText(copied);
    from.selectAll();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&from, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), from.text());
    KeyBox box;
    box.setText(start);
    box.end(false);
    QGuiApplication::clipboard()->setText(copied);
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box.text(), result);
}

void TestKeyBox::editingKeys() {
    KeyBox box;
    QTest::keyClicks(&box, "abcd");
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), QStringLiteral("abc"));
    QTest::keyClick(&box, Qt::Key_Home);
    QTest::keyClick(&box, Qt::Key_Delete);
    QCOMPARE(box.text(), QStringLiteral("bc"));
    QTest::keyClick(&box, Qt::Key_Right);
    QTest::keyClicks(&box, "X");
    QCOMPARE(box.text(), QStringLiteral("bXc"));
    QTest::keyClick(&box, Qt::Key_End);
    QTest::keyClicks(&box, "!");
    QCOMPARE(box.text(), QStringLiteral("bXc!"));
    QTest::keyClick(&box, Qt::Key_Left);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), QStringLiteral("bX!"));
}

void TestKeyBox::dropped_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("e acute") << int(Qt::Key_Eacute) << "\u00E9";
    QTest::newRow("euro") << int(Qt::Key_unknown) << "\u20AC";
    QTest::newRow("DEL") << int(Qt::Key_unknown) << "\x7F";
    QTest::newRow("Ctrl+X as a character") << int(Qt::Key_unknown) << "\x18";
}

// Characters as some platforms deliver them: with no key, or none of their own.
void TestKeyBox::dropped() {
    QFETCH(int, key);
    QFETCH(QString, text);
    KeyBox box;
    box.setText(QStringLiteral("abcd"));
    box.selectAll();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&box, &press);
    QCOMPARE(box.text(), QStringLiteral("abcd"));
}

void TestKeyBox::composedText_data() {
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("result");
    QTest::newRow("accented dropped") << "\u00E9"
                                      << "";
    QTest::newRow("plain kept") << "a"
                                << "a";
    QTest::newRow("mixed keeps admitted") << "a\u00E9b c"
                                          << "abc";
}

void TestKeyBox::composedText() {
    QFETCH(QString, commit);
    QFETCH(QString, result);
    KeyBox box;
    QInputMethodEvent event;
    event.setCommitString(commit);
    QCoreApplication::sendEvent(&box, &event);
    QCOMPARE(box.text(), result);
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
