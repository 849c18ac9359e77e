#include <QtTest>

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>

#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"
#include "mainwindow/keybox.h"
#include "tests/support/testhome.h"

namespace {

const QColor Black(0, 0, 0);
const QColor Grey(0xC0, 0xC0, 0xC0);

QColor foreColour(const ClickLabel* label) {
    return label->foreColor();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpState();
    void workingFoldersCreated();
    void startsWithoutFolders();
    void windowGeometry();
    void menus();
    void fixedControls_data();
    void fixedControls();
    void rowGeometry_data();
    void rowGeometry();
    void rowCaptions();
    void resetTableDrawing();
    void display_data();
    void display();
    void unknownTypeKeepsCaption();
    void disabledLinkStillShowsValues();
    void redrawRaisesInertCheckEvents();
    void closeCanBeCancelled();
    void labelClicksLikeAButton_data();
    void labelClicksLikeAButton();

private:
    QString m_home;
};

void TestMainWindow::initTestCase() {
    m_home = useFreshHome();
}

void TestMainWindow::startUpState() {
    ModBrevane mod;
    mod.Modified = true;
    mod.ComPortNum = 7;
    mod.Cnf.fill(3);
    frmBrevaneMain w(mod);
    QCOMPARE(w.windowTitle(), QStringLiteral("Orvik Brevane Rev 01"));
    QCOMPARE(mod.CnfPath, QStringLiteral("None"));
    QCOMPARE(w.lblFileName()->text(), QStringLiteral(" None"));
    QCOMPARE(mod.Modified, false);
    QCOMPARE(mod.Refreshing, false);
    QCOMPARE(mod.ComPortNum, 1);
    QCOMPARE(std::count(mod.Cnf.begin(), mod.Cnf.end(), 0), qsizetype(CnfBytes));
    QCOMPARE(w.txtOKey()->text(), QString());
    QCOMPARE(w.txtIKey()->text(), QString());
    QCOMPARE(w.txtOKey()->maxLength(), 8);
    QCOMPARE(w.txtIKey()->maxLength(), 8);
    QCOMPARE(w.prgUpDown()->isVisibleTo(&w), false);
}

void TestMainWindow::workingFoldersCreated() {
    QDir(m_home).removeRecursively();
    QDir().mkpath(m_home);
    ModBrevane mod;
    frmBrevaneMain w(mod);
    QCOMPARE(QFileInfo(m_home + "/Orvik Tessaly Net").isDir(), true);
    QCOMPARE(QFileInfo(m_home + "/Orvik Tessaly Net/Brevane").isDir(), true);
}

void TestMainWindow::startsWithoutFolders() {
    QDir(m_home).removeRecursively();
    QDir().mkpath(m_home);
    QFile blocker(m_home + "/Orvik Tessaly Net");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ModBrevane mod;
    frmBrevaneMain w(mod);
    QCOMPARE(w.lblFileName()->text(), QStringLiteral(" None"));
    QCOMPARE(w.chkOLink(63)->text(), QStringLiteral("Link 64"));
    QFile::remove(blocker.fileName());
}

void TestMainWindow::windowGeometry() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.client()->size(), QSize(1001, 585));
    QCOMPARE(w.client()->y(), w.menuBar()->height()); // the client area starts below the menu bar
    QCOMPARE(w.size(), QSize(1001, 585 + w.menuBar()->height()));
    QCOMPARE(w.client()->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(w.client()->autoFillBackground(), true);

    const QFont font = w.chkOLink(0)->font();
    QCOMPARE(font.pixelSize(), 15);
    QCOMPARE(font.weight(), QFont::Normal);
    const QString family = QFontInfo(font).family();
    QVERIFY2(family == "Calibri" || family == "Carlito", qPrintable(family));

    // Centred on the screen by its outer size; the offscreen platform shifts a shown
    // window by its frame margin, so allow that much.
    const QRect screen = w.screen()->geometry();
    const QRect frame = w.frameGeometry();
    const int margin = (frame.width() - w.width()) / 2;
    QVERIFY2(qAbs(frame.left() - screen.left() - (screen.width() - frame.width()) / 2) <= margin,
             qPrintable(QStringLiteral("left %1").arg(frame.left())));
    QVERIFY2(qAbs(frame.top() - screen.top() - (screen.height() - frame.height()) / 2) <= margin,
             qPrintable(QStringLiteral("top %1").arg(frame.top())));
}

void TestMainWindow::menus() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    QStringList bar;
    for (QAction* a : w.menuBar()->actions()) {
        bar << a->text();
    }
    QCOMPARE(bar, (QStringList{"File", "ComPort", "Download", "Upload"}));
    QCOMPARE(w.mnuDownload()->objectName(), QStringLiteral("mnuDownload"));
    QCOMPARE(w.mnuUpload()->objectName(), QStringLiteral("mnuUpload"));
    QCOMPARE(w.mnuDownload()->menu(), nullptr);

    QStringList file;
    for (QAction* a : w.mnuFile()->actions()) {
        file << (a->isSeparator() ? a->objectName() : a->objectName() + "=" + a->text());
    }
    QCOMPARE(file, (QStringList{"mnuFileNew=New", "mnuFileOpen=Open", "mnuFileSave=Save",
                                "mnuFileSaveAs=Save As", "mnuSep", "mnuExit=Exit"}));
    for (QAction* a : w.mnuFile()->actions()) {
        QCOMPARE(a->shortcut(), QKeySequence());
    }

    const QList<QAction*> ports = w.mnuComPortOpen()->actions();
    QCOMPARE(ports.size(), 16);
    for (int index = 0; index < 16; ++index) {
        QCOMPARE(ports[index], w.mnuComPort(index));
        QCOMPARE(ports[index]->text(), QStringLiteral("COM%1").arg(index + 1));
        QCOMPARE(ports[index]->objectName(), QStringLiteral("mnuComPort"));
        QCOMPARE(ports[index]->isChecked(), index == 0);
    }
}

void TestMainWindow::fixedControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("lblOutgoing") << "lblOutgoing" << QRect(8, 8, 97, 25) << "Outgoing Links";
    QTest::newRow("lblOKey") << "lblOKey" << QRect(440, 6, 33, 25) << "Key";
    QTest::newRow("txtOKey") << "txtOKey" << QRect(480, 4, 97, 26) << "";
    QTest::newRow("Label1") << "Label1" << QRect(592, 8, 97, 25) << "Incoming Links";
    QTest::newRow("Label2") << "Label2" << QRect(856, 6, 33, 25) << "Key";
    QTest::newRow("txtIKey") << "txtIKey" << QRect(896, 4, 97, 26) << "";
    QTest::newRow("lblFileName") << "lblFileName" << QRect(0, 560, 1001, 25) << " None";
    QTest::newRow("prgUpDown") << "prgUpDown" << QRect(96, 0, 121, 12) << "";
}

void TestMainWindow::fixedControls() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    ModBrevane mod;
    frmBrevaneMain w(mod);
    const auto found = w.client()->findChildren<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first()->geometry(), geometry);
    if (auto* label = qobject_cast<QLabel*>(found.first())) {
        QCOMPARE(label->text(), text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(found.first())) {
        QCOMPARE(edit->text(), text);
    }
}

void TestMainWindow::rowGeometry_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("top");
    QTest::addColumn<QList<int>>("lefts"); // chkOLink, node, type, ref, chkILink, lblILinkRef
    QTest::newRow("slot 0") << 0 << 40 << QList<int>{16, 80, 152, 232, 608, 672};
    QTest::newRow("slot 1") << 1 << 56 << QList<int>{16, 80, 152, 232, 608, 672};
    QTest::newRow("slot 31") << 31 << 536 << QList<int>{16, 80, 152, 232, 608, 672};
    QTest::newRow("slot 32") << 32 << 40 << QList<int>{320, 384, 456, 536, 808, 872};
    QTest::newRow("slot 63") << 63 << 536 << QList<int>{320, 384, 456, 536, 808, 872};
}

void TestMainWindow::rowGeometry() {
    QFETCH(int, slot);
    QFETCH(int, top);
    QFETCH(QList<int>, lefts);
    ModBrevane mod;
    frmBrevaneMain w(mod);
    const QList<QWidget*> row = {w.chkOLink(slot),    w.lblOLinkNode(slot), w.lblOLinkType(slot),
                                 w.lblOLinkRef(slot), w.chkILink(slot),     w.lblILinkRef(slot)};
    const QList<QSize> sizes = {{64, 18}, {65, 17}, {73, 17}, {41, 17}, {64, 18}, {113, 17}};
    const QStringList names = {"chkOLink",    "lblOLinkNode", "lblOLinkType",
                               "lblOLinkRef", "chkILink",     "lblILinkRef"};
    for (int k = 0; k < row.size(); ++k) {
        QCOMPARE(row[k]->objectName(), names[k]);
        QCOMPARE(row[k]->parentWidget(), w.client());
        QCOMPARE(row[k]->property("Index").toInt(), slot);
        QCOMPARE(row[k]->geometry(), QRect(QPoint(lefts[k], top), sizes[k]));
        QCOMPARE(row[k]->palette().color(QPalette::Window), QColor(Qt::white));
    }
}

void TestMainWindow::rowCaptions() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    for (int i = 0; i < LinkSlots; ++i) {
        const QString caption = QStringLiteral("Link %1").arg(i + 1, 2, 10, QLatin1Char('0'));
        QCOMPARE(w.chkOLink(i)->text(), caption);
        QCOMPARE(w.chkILink(i)->text(), caption);
    }
    QCOMPARE(w.client()->findChildren<QCheckBox*>().size(), 128);
    QCOMPARE(w.client()->findChildren<ClickLabel*>().size(), 256);
}

void TestMainWindow::resetTableDrawing() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    for (int i = 0; i < LinkSlots; ++i) {
        QCOMPARE(w.chkOLink(i)->isChecked(), false);
        QCOMPARE(w.chkILink(i)->isChecked(), false);
        QCOMPARE(w.lblOLinkNode(i)->text(), QStringLiteral("Node: NC"));
        QCOMPARE(w.lblOLinkType(i)->text(), QStringLiteral("Quendel"));
        QCOMPARE(w.lblOLinkRef(i)->text(), QStringLiteral("01"));
        QCOMPARE(w.lblILinkRef(i)->text(), QStringLiteral("Quendel NC.01"));
        for (ClickLabel* label :
             {w.lblOLinkNode(i), w.lblOLinkType(i), w.lblOLinkRef(i), w.lblILinkRef(i)}) {
            QCOMPARE(foreColour(label), Grey);
        }
    }
}

void TestMainWindow::display_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QList<int>>("fields");    // fields 0-5
    QTest::addColumn<QStringList>("captions"); // node, type, ref, incoming ref
    QTest::addColumn<bool>("outOn");
    QTest::addColumn<bool>("inOn");

    QTest::newRow("node 1, on") << 4 << QList<int>{1, 1, 0, 0, 0, 0}
                                << QStringList{"Node: 01", "Quendel", "01", "Quendel NC.01"} << true
                                << false;
    QTest::newRow("node FE") << 10 << QList<int>{1, 254, 1, 253, 1, 0}
                             << QStringList{"Node: FE", "QD PC", "FE", "Quendel NC.01"} << true
                             << true;
    QTest::newRow("node FF, ref 255")
        << 31 << QList<int>{0, 255, 0, 255, 0, 255}
        << QStringList{"Node: FF", "Quendel", "00", "Quendel NC.00"} << false << false;
    QTest::newRow("relays 57-64") << 32 << QList<int>{2, 0, 2, 7, 9, 253}
                                  << QStringList{"Node: NC", "Relays", "57-64", "Quendel NC.FE"}
                                  << true << true;
    QTest::newRow("relays mod 8") << 63 << QList<int>{255, 26, 2, 9, 1, 10}
                                  << QStringList{"Node: 1A", "Relays", "09-16", "Quendel NC.0B"}
                                  << true << true;
}

void TestMainWindow::display() {
    QFETCH(int, slot);
    QFETCH(QList<int>, fields);
    QFETCH(QStringList, captions);
    QFETCH(bool, outOn);
    QFETCH(bool, inOn);
    ModBrevane mod;
    frmBrevaneMain w(mod);
    for (int f = 0; f < fields.size(); ++f) {
        mod.field(slot, f) = static_cast<std::uint8_t>(fields[f]);
    }
    const CnfTable before = mod.Cnf;
    w.ShowCnf();
    QCOMPARE(w.lblOLinkNode(slot)->text(), captions[0]);
    QCOMPARE(w.lblOLinkType(slot)->text(), captions[1]);
    QCOMPARE(w.lblOLinkRef(slot)->text(), captions[2]);
    QCOMPARE(w.lblILinkRef(slot)->text(), captions[3]);
    QCOMPARE(w.chkOLink(slot)->isChecked(), outOn);
    QCOMPARE(w.chkILink(slot)->isChecked(), inOn);
    const QColor out = outOn ? Black : Grey;
    QCOMPARE(foreColour(w.lblOLinkNode(slot)), out);
    QCOMPARE(foreColour(w.lblOLinkType(slot)), out);
    QCOMPARE(foreColour(w.lblOLinkRef(slot)), out);
    QCOMPARE(foreColour(w.lblILinkRef(slot)), inOn ? Black : Grey);
    QVERIFY(mod.Cnf == before);
    QCOMPARE(mod.Modified, false);

    // Back to a reset table: the row turns back as well.
    mod.ResetCnf();
    w.ShowCnf();
    QCOMPARE(w.lblOLinkNode(slot)->text(), QStringLiteral("Node: NC"));
    QCOMPARE(w.chkOLink(slot)->isChecked(), false);
    QCOMPARE(foreColour(w.lblOLinkRef(slot)), Grey);
    QCOMPARE(foreColour(w.lblILinkRef(slot)), Grey);
}

void TestMainWindow::unknownTypeKeepsCaption() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    mod.field(5, OType) = 1;
    mod.field(5, ORef) = 12;
    w.ShowCnf();
    QCOMPARE(w.lblOLinkType(5)->text(), QStringLiteral("QD PC"));
    QCOMPARE(w.lblOLinkRef(5)->text(), QStringLiteral("0D"));
    mod.field(5, OType) = 3;
    w.ShowCnf();
    QCOMPARE(w.lblOLinkType(5)->text(), QStringLiteral("QD PC")); // left as it was
    QCOMPARE(w.lblOLinkRef(5)->text(), QStringLiteral("33-40"));  // 12 mod 8 = 4
    mod.field(5, OType) = 2;
    w.ShowCnf();
    QCOMPARE(w.lblOLinkType(5)->text(), QStringLiteral("Relays"));
    mod.field(5, OType) = 200;
    w.ShowCnf();
    QCOMPARE(w.lblOLinkType(5)->text(), QStringLiteral("Relays"));
}

void TestMainWindow::disabledLinkStillShowsValues() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    mod.field(7, ONode) = 0x1A;
    mod.field(7, OType) = 2;
    mod.field(7, ORef) = 2;
    mod.field(7, IRef) = 0x0A;
    w.ShowCnf();
    QCOMPARE(w.lblOLinkNode(7)->text(), QStringLiteral("Node: 1A"));
    QCOMPARE(w.lblOLinkType(7)->text(), QStringLiteral("Relays"));
    QCOMPARE(w.lblOLinkRef(7)->text(), QStringLiteral("17-24"));
    QCOMPARE(w.lblILinkRef(7)->text(), QStringLiteral("Quendel NC.0B"));
    QCOMPARE(foreColour(w.lblOLinkNode(7)), Grey);
    QCOMPARE(foreColour(w.lblILinkRef(7)), Grey);
}

void TestMainWindow::redrawRaisesInertCheckEvents() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    int events = 0;
    int eventsOutsideRedraw = 0;
    for (int i = 0; i < LinkSlots; ++i) {
        for (QCheckBox* box : {w.chkOLink(i), w.chkILink(i)}) {
            connect(box, &QCheckBox::toggled, &w, [&] {
                ++events;
                if (!mod.Refreshing) {
                    ++eventsOutsideRedraw;
                }
            });
        }
    }
    for (int i = 0; i < LinkSlots; ++i) {
        mod.field(i, OEnabled) = 1;
        mod.field(i, IEnabled) = static_cast<std::uint8_t>(i % 2);
    }
    const CnfTable before = mod.Cnf;
    w.ShowCnf();
    QCOMPARE(events, 64 + 32);
    QCOMPARE(eventsOutsideRedraw, 0);
    QCOMPARE(mod.Refreshing, false);
    QCOMPARE(mod.Modified, false);
    QVERIFY(mod.Cnf == before);
    // Drawing the same table again changes no check box, so raises nothing.
    w.ShowCnf();
    QCOMPARE(events, 64 + 32);
}

void TestMainWindow::closeCanBeCancelled() {
    ModBrevane mod;
    frmBrevaneMain w(mod);
    w.show();
    int cancel = 1;
    connect(&w, &frmBrevaneMain::unloading, &w, [&](int& Cancel) { Cancel = cancel; });
    QCOMPARE(w.close(), false);
    QCOMPARE(w.isVisible(), true);
    cancel = 0;
    QCOMPARE(w.close(), true);
    QCOMPARE(w.isVisible(), false);
}

void TestMainWindow::labelClicksLikeAButton_data() {
    QTest::addColumn<QPoint>("pressAt");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("inside") << QPoint(5, 5) << QPoint(5, 5) << int(Qt::LeftButton) << 1;
    QTest::newRow("dragged off") << QPoint(5, 5) << QPoint(80, 5) << int(Qt::LeftButton) << 0;
    QTest::newRow("right button") << QPoint(5, 5) << QPoint(5, 5) << int(Qt::RightButton) << 0;
}

void TestMainWindow::labelClicksLikeAButton() {
    QFETCH(QPoint, pressAt);
    QFETCH(QPoint, releaseAt);
    QFETCH(int, button);
    QFETCH(int, clicks);
    ModBrevane mod;
    frmBrevaneMain w(mod);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ClickLabel* label = w.lblOLinkType(3);
    QSignalSpy spy(label, &ClickLabel::clicked);
    QTest::mousePress(label, Qt::MouseButton(button), {}, pressAt);
    QCOMPARE(spy.count(), 0); // a press alone does nothing
    QTest::mouseRelease(label, Qt::MouseButton(button), {}, releaseAt);
    QCOMPARE(spy.count(), clicks);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
