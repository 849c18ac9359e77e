#include <QtTest>

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

PickerItem* item(const PickerWindow& picker, int index) {
    for (PickerItem* candidate : picker.findChildren<PickerItem*>()) {
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
    void relayItems();
    void gridFillsInOrder_data();
    void gridFillsInOrder();
    void clicksElsewhereDoNothing_data();
    void clicksElsewhereDoNothing();
    void cancelPicture();
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
    QCOMPARE(picker->findChildren<PickerItem*>().size(), items);
    QCOMPARE(mod.PickResult, 0); // building writes nothing

    // The relay picker stays where it is put, even mostly off the screen; the others
    // centre themselves on it.
    const QRect screen = picker->screen()->geometry();
    const QPoint outside(screen.right() - 40, screen.bottom() - 30);
    if (kind == "relay") {
        picker->move(outside);
    }
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    const QRect outer = picker->frameGeometry();
    QCOMPARE(outer.size(), size); // no frame at all
    QCOMPARE(outer.topLeft(), kind == "relay"
                                  ? outside
                                  : QPoint(screen.left() + (screen.width() - size.width()) / 2,
                                           screen.top() + (screen.height() - size.height()) / 2));
    const QImage shot = picker->grab().toImage();
    QCOMPARE(shot.pixelColor(size.width() - 2, size.height() - 2), DarkBlue);
    QCOMPARE(picker->imgCancel()->geometry(), QRect(1, 1, 20, 20));
    QCOMPARE(picker->childAt(10, 10), picker->imgCancel());
}

void TestPickers::relayItems() {
    ModBrevane mod;
    frmBrevaneRelay picker(mod);
    const QStringList captions = {"01-08", "09-16", "17-24", "25-32",
                                  "33-40", "41-48", "49-56", "57-64"};
    for (int g = 0; g < 8; ++g) {
        PickerItem* label = picker.lblRelay(g);
        QCOMPARE(label, item(picker, g));
        QCOMPARE(label->text(), captions[g]);
        QCOMPARE(label->geometry(), QRect(g < 4 ? 8 : 64, 32 + 24 * (g % 4), 49, 19));
        QCOMPARE(label->font().pixelSize(), 16); // 12 pt
    }
    PickerItem* label = picker.lblRelay(5);
    QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
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
    const QList<PickerItem*> items = picker->findChildren<PickerItem*>();
    QSet<int> used;
    for (PickerItem* label : items) {
        const int index = label->property("Index").toInt();
        const int cell = index + firstCell;
        const auto* node = qobject_cast<frmBrevaneNode*>(picker.get());
        QCOMPARE(node != nullptr ? node->lblQD(index)
                                 : static_cast<frmBrevaneQD*>(picker.get())->lblQD(index),
                 label);
        QCOMPARE(label->geometry(), QRect(cell / 16 * 32 + 8, cell % 16 * 20 + 24, 25, 18));
        QCOMPARE(label->text(), cell == 0
                                    ? QStringLiteral("NC")
                                    : QStringLiteral("%1").arg(cell, 2, 16, QChar('0')).toUpper());
        QCOMPARE(label->font().pixelSize(), 15); // 11.25 pt
        used.insert(cell);
    }
    QCOMPARE(used.size(), items.size()); // no two items share a cell
    const QList<int> emptyCells = firstCell == 0 ? QList<int>{255} : QList<int>{0, 255};
    for (int cell : emptyCells) {
        QVERIFY(!used.contains(cell));
        QCOMPARE(picker->childAt(cell / 16 * 32 + 8 + 12, cell % 16 * 20 + 24 + 9), nullptr);
    }
    QCOMPARE(item(*picker, 3)->palette().color(QPalette::Window), QColor(Qt::white));
}

// Picks and cancels are made through the row commands (tst_linkediting); here only the
// clicks that must do nothing.
void TestPickers::clicksElsewhereDoNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("relay between columns") << "relay" << QPoint(60, 40);
    QTest::newRow("relay between rows") << "relay" << QPoint(30, 53);
    QTest::newRow("relay bottom edge") << "relay" << QPoint(30, 126);
    QTest::newRow("node between columns") << "node" << QPoint(36, 30);
    QTest::newRow("node between rows") << "node" << QPoint(20, 43);
    QTest::newRow("node empty bottom cell") << "node" << QPoint(500, 330);
    QTest::newRow("station empty top-left cell") << "station" << QPoint(20, 30);
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

void TestPickers::cancelPicture() {
    const QImage picture = ::cancelPicture().toImage();
    QCOMPARE(picture.size(), QSize(20, 20));
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool cross = x == y || x == 19 - y;
            const bool frame = x == 0 || y == 0 || x == 19 || y == 19;
            const QColor expected = cross ? Qt::black : frame ? QColor(128, 0, 0) : Qt::red;
            QCOMPARE(picture.pixelColor(x, y), expected);
        }
    }
    // The window shows exactly this picture.
    ModBrevane mod;
    frmBrevaneRelay picker(mod);
    QCOMPARE(picker.imgCancel()->grab().toImage().convertToFormat(picture.format()), picture);
}

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
