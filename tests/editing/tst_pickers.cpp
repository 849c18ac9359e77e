#include <QtTest>

#include <QFontInfo>
#include <QScreen>
#include <memory>

#include "editing/cancelimage.h"
#include "editing/frmbrevanenode.h"
#include "editing/frmbrevaneqd.h"
#include "editing/frmbrevanerelay.h"
#include "editing/pickeritem.h"
#include "tests/editing/pickeranswer.h"

namespace {

const QColor DarkBlue(27, 54, 93);

std::unique_ptr<PickerWindow> makePicker(const QString& kind, ModBrevane& mod) {
    if (kind == "relay") {
        return std::make_unique<frmBrevaneRelay>(mod);
    }
    if (kind == "node") {
        return std::make_unique<frmBrevaneNode>(mod);
    }
    return std::make_unique<frmBrevaneQD>(mod);
}

QList<PickerItem*> itemsOf(const PickerWindow& picker) {
    return picker.findChildren<PickerItem*>();
}

PickerItem* item(const PickerWindow& picker, int index) {
    for (PickerItem* candidate : itemsOf(picker)) {
        if (candidate->property("Index").toInt() == index) {
            return candidate;
        }
    }
    return nullptr;
}

} // namespace

class TestPickers : public QObject {
    Q_OBJECT

private slots:
    void window_data();
    void window();
    void relayItems_data();
    void relayItems();
    void gridItems_data();
    void gridItems();
    void gridFillsInOrder_data();
    void gridFillsInOrder();
    void centred_data();
    void centred();
    void relayStaysWhereItIsPut();
    void itemClick_data();
    void itemClick();
    void clicksElsewhereDoNothing_data();
    void clicksElsewhereDoNothing();
    void cancel_data();
    void cancel();
    void cancelPicture();
    void shownModally();
};

void TestPickers::window_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("items");
    QTest::newRow("relay") << "relay"
                           << "frmBrevaneRelay" << QSize(121, 129) << 8;
    QTest::newRow("node") << "node"
                          << "frmBrevaneNode" << QSize(521, 345) << 255;
    QTest::newRow("station") << "station"
                             << "frmBrevaneQD" << QSize(521, 345) << 254;
}

void TestPickers::window() {
    QFETCH(QString, kind);
    QFETCH(QString, className);
    QFETCH(QSize, size);
    QFETCH(int, items);
    ModBrevane mod;
    const auto picker = makePicker(kind, mod);
    QCOMPARE(QString(picker->metaObject()->className()), className);
    QCOMPARE(picker->objectName(), className);
    QCOMPARE(picker->parentWidget(), nullptr);
    QCOMPARE(picker->windowModality(), Qt::ApplicationModal);
    QVERIFY(picker->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(picker->windowTitle(), QString());
    QCOMPARE(picker->minimumSize(), size);
    QCOMPARE(picker->maximumSize(), size);
    QCOMPARE(picker->autoFillBackground(), true);
    QCOMPARE(picker->palette().color(QPalette::Window), DarkBlue);
    QCOMPARE(itemsOf(*picker).size(), items);
    QCOMPARE(mod.PickResult, 0); // building writes nothing

    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    QCOMPARE(picker->size(), size);
    QCOMPARE(picker->frameGeometry().size(), size); // no frame at all
    const QImage shot = picker->grab().toImage();
    QCOMPARE(shot.pixelColor(size.width() - 2, size.height() - 2), DarkBlue);

    CancelImage* cancel = picker->imgCancel();
    QCOMPARE(cancel->objectName(), QStringLiteral("imgCancel"));
    QCOMPARE(cancel->geometry(), QRect(1, 1, 20, 20));
    QCOMPARE(picker->childAt(10, 10), cancel);
}

void TestPickers::relayItems_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("at");
    const QList<QPoint> places = {{8, 32},  {8, 56},  {8, 80},  {8, 104},
                                  {64, 32}, {64, 56}, {64, 80}, {64, 104}};
    const QStringList captions = {"01-08", "09-16", "17-24", "25-32",
                                  "33-40", "41-48", "49-56", "57-64"};
    for (int g = 0; g < 8; ++g) {
        QTest::addRow("%s", qPrintable(captions[g])) << g << captions[g] << places[g];
    }
}

void TestPickers::relayItems() {
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(QPoint, at);
    ModBrevane mod;
    frmBrevaneRelay picker(mod);
    PickerItem* label = picker.lblRelay(index);
    QCOMPARE(label, item(picker, index));
    QCOMPARE(label->objectName(), QStringLiteral("lblRelay"));
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->geometry(), QRect(at, QSize(49, 19)));
    QCOMPARE(label->font().pixelSize(), 16); // 12 pt
    QCOMPARE(label->font().weight(), QFont::Normal);
    const QString family = QFontInfo(label->font()).family();
    QVERIFY2(family == "Calibri" || family == "Carlito", qPrintable(family));
    QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(label->autoFillBackground(), true);
    QCOMPARE(label->foreColor(), QColor(Qt::black));

    // The caption is drawn centred: as much white left of the ink as right of it.
    const QImage shot = label->grab().toImage();
    int first = shot.width();
    int last = -1;
    for (int x = 0; x < shot.width(); ++x) {
        for (int y = 0; y < shot.height(); ++y) {
            if (qGray(shot.pixel(x, y)) < 128) {
                first = qMin(first, x);
                last = qMax(last, x);
            }
        }
    }
    QVERIFY(last > first);
    QVERIFY2(qAbs(first - (shot.width() - 1 - last)) <= 2,
             qPrintable(QStringLiteral("ink from %1 to %2").arg(first).arg(last)));
}

void TestPickers::gridItems_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("node NC") << "node" << 0 << "NC" << QPoint(8, 24);
    QTest::newRow("node 01") << "node" << 1 << "01" << QPoint(8, 44);
    QTest::newRow("node 0F") << "node" << 15 << "0F" << QPoint(8, 324);
    QTest::newRow("node 10") << "node" << 16 << "10" << QPoint(40, 24);
    QTest::newRow("node EF") << "node" << 239 << "EF" << QPoint(456, 324);
    QTest::newRow("node FE") << "node" << 254 << "FE" << QPoint(488, 304);
    QTest::newRow("station 01") << "station" << 0 << "01" << QPoint(8, 44);
    QTest::newRow("station 0F") << "station" << 14 << "0F" << QPoint(8, 324);
    QTest::newRow("station 10") << "station" << 15 << "10" << QPoint(40, 24);
    QTest::newRow("station 1A") << "station" << 25 << "1A" << QPoint(40, 224);
    QTest::newRow("station FE") << "station" << 253 << "FE" << QPoint(488, 304);
}

void TestPickers::gridItems() {
    QFETCH(QString, kind);
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(QPoint, at);
    ModBrevane mod;
    const auto picker = makePicker(kind, mod);
    PickerItem* label = item(*picker, index);
    QVERIFY(label != nullptr);
    if (auto* node = qobject_cast<frmBrevaneNode*>(picker.get())) {
        QCOMPARE(node->lblQD(index), label);
    } else {
        QCOMPARE(static_cast<frmBrevaneQD*>(picker.get())->lblQD(index), label);
    }
    QCOMPARE(label->objectName(), QStringLiteral("lblQD"));
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->geometry(), QRect(at, QSize(25, 18)));
    QCOMPARE(label->font().pixelSize(), 15); // 11.25 pt
    QCOMPARE(label->font().weight(), QFont::Normal);
    QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(label->isVisibleTo(picker.get()), true);
}

void TestPickers::gridFillsInOrder_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("firstCell");
    QTest::newRow("node") << "node" << 0;
    QTest::newRow("station") << "station" << 1;
}

// Every item in its cell, column by column, each caption the hex of its cell; the cells
// left over stay empty.
void TestPickers::gridFillsInOrder() {
    QFETCH(QString, kind);
    QFETCH(int, firstCell);
    ModBrevane mod;
    const auto picker = makePicker(kind, mod);
    const QList<PickerItem*> items = itemsOf(*picker);
    QSet<int> used;
    for (PickerItem* label : items) {
        const int index = label->property("Index").toInt();
        const int cell = index + firstCell;
        QCOMPARE(label->pos(), QPoint(cell / 16 * 32 + 8, cell % 16 * 20 + 24));
        QCOMPARE(label->text(), cell == 0
                                    ? QStringLiteral("NC")
                                    : QStringLiteral("%1").arg(cell, 2, 16, QChar('0')).toUpper());
        used.insert(cell);
    }
    QCOMPARE(used.size(), items.size()); // no two items share a cell
    const QList<int> emptyCells = firstCell == 0 ? QList<int>{255} : QList<int>{0, 255};
    for (int cell : emptyCells) {
        QVERIFY(!used.contains(cell));
        QCOMPARE(picker->childAt(cell / 16 * 32 + 8 + 12, cell % 16 * 20 + 24 + 9), nullptr);
    }
    int bottom = 0;
    int right = 0;
    for (PickerItem* label : items) {
        bottom = qMax(bottom, label->geometry().bottom() + 1);
        right = qMax(right, label->geometry().right() + 1);
    }
    QCOMPARE(bottom, 342);
    QCOMPARE(right, 513);
}

void TestPickers::centred_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("node") << "node";
    QTest::newRow("station") << "station";
}

void TestPickers::centred() {
    QFETCH(QString, kind);
    ModBrevane mod;
    for (int opening = 0; opening < 2; ++opening) { // every opening centres afresh
        const auto picker = makePicker(kind, mod);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
        const QRect screen = picker->screen()->geometry();
        const QRect outer = picker->frameGeometry();
        QCOMPARE(outer.topLeft(), QPoint(screen.left() + (screen.width() - outer.width()) / 2,
                                         screen.top() + (screen.height() - outer.height()) / 2));
        QCOMPARE(itemsOf(*picker).size(), kind == "node" ? 255 : 254);
    }
}

void TestPickers::relayStaysWhereItIsPut() {
    ModBrevane mod;
    frmBrevaneRelay picker(mod);
    const QRect screen = picker.screen()->geometry();
    const QPoint outside(screen.right() - 40, screen.bottom() - 30); // mostly off the screen
    picker.move(outside);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    QCOMPARE(picker.frameGeometry().topLeft(), outside);
    QCOMPARE(picker.geometry().topLeft(), outside);
}

void TestPickers::itemClick_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("index");
    QTest::newRow("relay 01-08") << "relay" << 0;
    QTest::newRow("relay 57-64") << "relay" << 7;
    QTest::newRow("node NC") << "node" << 0;
    QTest::newRow("node FE") << "node" << 254;
    QTest::newRow("station 01") << "station" << 0;
    QTest::newRow("station FE") << "station" << 253;
}

void TestPickers::itemClick() {
    QFETCH(QString, kind);
    QFETCH(int, index);
    ModBrevane mod;
    mod.PickResult = 99;
    const auto picker = makePicker(kind, mod);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    platformClick(item(*picker, index));
    QCOMPARE(mod.PickResult, index);
    QCOMPARE(picker->isVisible(), false);
    QCOMPARE(picker->result(), int(QDialog::Accepted));
}

void TestPickers::clicksElsewhereDoNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("relay background") << "relay" << QPoint(60, 10);
    QTest::newRow("relay between columns") << "relay" << QPoint(60, 40);
    QTest::newRow("relay between rows") << "relay" << QPoint(30, 53);
    QTest::newRow("relay bottom edge") << "relay" << QPoint(30, 126);
    QTest::newRow("node between columns") << "node" << QPoint(36, 30);
    QTest::newRow("node between rows") << "node" << QPoint(20, 43);
    QTest::newRow("node empty bottom cell") << "node" << QPoint(500, 330);
    QTest::newRow("node right edge") << "node" << QPoint(517, 100);
    QTest::newRow("station empty top-left cell") << "station" << QPoint(20, 30);
    QTest::newRow("station empty bottom cell") << "station" << QPoint(500, 330);
    QTest::newRow("station beside cancel") << "station" << QPoint(22, 10);
}

void TestPickers::clicksElsewhereDoNothing() {
    QFETCH(QString, kind);
    QFETCH(QPoint, at);
    ModBrevane mod;
    mod.PickResult = 42;
    const auto picker = makePicker(kind, mod);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    QCOMPARE(picker->childAt(at), nullptr);
    platformClick(picker.get(), at);
    QCOMPARE(mod.PickResult, 42);
    QCOMPARE(picker->isVisible(), true);
}

void TestPickers::cancel_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("how");
    for (const char* kind : {"relay", "node", "station"}) {
        for (const char* how : {"image", "escape", "close"}) {
            QTest::addRow("%s %s", kind, how) << kind << how;
        }
    }
}

void TestPickers::cancel() {
    QFETCH(QString, kind);
    QFETCH(QString, how);
    ModBrevane mod;
    mod.PickResult = 5;
    const auto picker = makePicker(kind, mod);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    if (how == "image") {
        platformClick(picker->imgCancel());
    } else if (how == "escape") {
        QTest::keyClick(picker.get(), Qt::Key_Escape);
    } else {
        QCOMPARE(picker->close(), true);
    }
    QCOMPARE(mod.PickResult, -1);
    QCOMPARE(picker->isVisible(), false);
}

void TestPickers::cancelPicture() {
    const QImage picture = ::cancelPicture().toImage();
    QCOMPARE(picture.size(), QSize(20, 20));
    const QColor red(255, 0, 0);
    const QColor darkRed(128, 0, 0);
    const QColor black(0, 0, 0);
    for (int k = 0; k < 20; ++k) {
        QCOMPARE(picture.pixelColor(k, k), black);      // one diagonal
        QCOMPARE(picture.pixelColor(19 - k, k), black); // and the other
    }
    for (int k = 1; k < 19; ++k) {
        for (const QPoint& p : {QPoint(k, 0), QPoint(k, 19), QPoint(0, k), QPoint(19, k)}) {
            QCOMPARE(picture.pixelColor(p), darkRed);
        }
    }
    int redPixels = 0;
    for (int y = 1; y < 19; ++y) {
        for (int x = 1; x < 19; ++x) {
            if (x != y && x != 19 - y) {
                QCOMPARE(picture.pixelColor(x, y), red);
                ++redPixels;
            }
        }
    }
    QCOMPARE(redPixels, 18 * 18 - 36);

    // The window shows exactly this picture.
    ModBrevane mod;
    frmBrevaneRelay picker(mod);
    QCOMPARE(picker.imgCancel()->grab().toImage().convertToFormat(picture.format()), picture);
}

// Shown as the commands show them: the main window takes no input meanwhile.
void TestPickers::shownModally() {
    ModBrevane mod;
    QWidget other;
    other.resize(200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    int clicks = 0;
    auto* behind = new PickerItem(QStringLiteral("behind"), &other);
    behind->setGeometry(0, 0, 100, 50);
    behind->show();
    connect(behind, &PickerItem::clicked, this, [&] { ++clicks; });
    platformClick(behind);
    QCOMPARE(clicks, 1); // reachable while no picker is open

    frmBrevaneNode picker(mod);
    bool blocked = false;
    QTimer::singleShot(0, &picker, [&] {
        QCOMPARE(QApplication::activeModalWidget(), &picker);
        platformClick(behind);
        blocked = clicks == 1;
        platformClick(picker.lblQD(3));
    });
    QCOMPARE(picker.exec(), int(QDialog::Accepted));
    QVERIFY(blocked);
    QCOMPARE(mod.PickResult, 3);
}

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
