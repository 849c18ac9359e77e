// The row commands and the three pickers, clicked as the platform delivers clicks.

#include <QtTest>

#include <QCheckBox>
#include <memory>

#include "editing/cancelimage.h"
#include "editing/frmbrevanenode.h"
#include "editing/frmbrevaneqd.h"
#include "editing/frmbrevanerelay.h"
#include "editing/pickeritem.h"
#include "mainwindow/clicklabel.h"
#include "tests/support/modalanswer.h"
#include "tests/support/rowtext.h"
#include "tests/support/testhome.h"
#include "tests/support/windowrig.h"

namespace {

// A click delivered to the window, where modality applies.
void platformClick(QWidget* widget) {
    QWidget* top = widget->window();
    const QPoint pos = widget->mapTo(top, widget->rect().center());
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, pos);
}

// Fields of the edited link by name, {{OEnabled, 1}, {ONode, 5}}; the others 0.
using Link = QList<std::pair<CnfField, int>>;

void store(ModBrevane& mod, int slot, const Link& link) {
    for (const auto& [field, value] : link) {
        mod.field(slot, field) = static_cast<std::uint8_t>(value);
    }
}

// The whole program, shown; slot 40 (second column) is the one edited.
struct EditingWindowRig : WindowRig {
    static constexpr int Slot = 40;
    static constexpr int Witness = 62;

    // The slot's link, drawn as a file read would, and a stale caption in another row that
    // only a whole-table redraw puts back.
    explicit EditingWindowRig(const Link& link) {
        window().move(200, 700); // the relay picker by slot 40 then reaches past the screen
        window().show();
        QTest::qVerify(QTest::qWaitForWindowExposed(&window()), "exposed", "", __FILE__, __LINE__);
        store(mod(), Slot, link);
        window().ShowCnf();
        window().lblOLinkType(Witness)->setText(QStringLiteral("stale"));
    }
    bool redrawn() { return window().lblOLinkType(Witness)->text() != "stale"; }
    // The control that writes the field.
    QWidget* control(CnfField field) {
        frmBrevaneMain& w = window();
        return QMap<CnfField, QWidget*>{
            {OEnabled, w.chkOLink(Slot)},  {ONode, w.lblOLinkNode(Slot)},
            {OType, w.lblOLinkType(Slot)}, {ORef, w.lblOLinkRef(Slot)},
            {IEnabled, w.chkILink(Slot)},  {IRef, w.lblILinkRef(Slot)}}
            .value(field);
    }
};

PickerItem* itemOf(const QWidget* picker, int index) {
    const QList<PickerItem*> items = picker->findChildren<PickerItem*>();
    const auto found = std::find_if(items.begin(), items.end(), [&](const PickerItem* item) {
        return item->property("Index").toInt() == index;
    });
    return found == items.end() ? nullptr : *found;
}

} // namespace

class TestLinkEditing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    // Each command writes at most its own field, stores the pick of its picker (none for
    // the check boxes and the type label), marks the table modified and redraws it; on a
    // link that is off the labels do nothing at all.
    void command_data() {
        QTest::addColumn<int>("field");      // the one the clicked control writes
        QTest::addColumn<Link>("before");    // the slot's link
        QTest::addColumn<QString>("picker"); // the class of the picker opened, if any
        QTest::addColumn<int>("pick");       // the item clicked (-1: the cancel image)
        QTest::addColumn<int>("value");      // the field after; the others stay
        QTest::addColumn<QString>("row");    // the row after; empty: nothing redrawn
        const auto row = [](const char* name, CnfField field, const Link& before,
                            const char* picker, int pick, int value, const char* shown) {
            QTest::newRow(name) << int(field) << before << picker << pick << value << shown;
        };
        const char* Node = "frmBrevaneNode";
        const char* Station = "frmBrevaneQD";
        const int Stale = 6; // no picker: the earlier pick stays
        const Link off{{ONode, 5}, {OType, 1}, {ORef, 3}, {IEnabled, 1}, {IRef, 7}};
        const Link inOff{{OEnabled, 1}, {ONode, 5}, {ORef, 3}, {IRef, 7}};
        const Link relays{{OEnabled, 9}, {ONode, 26}, {OType, 2}, {ORef, 3}, {IRef, 11}};
        const Link nc{{OEnabled, 1}};
        const Link on{{OEnabled, 1}, {ONode, 5}, {OType, 1}, {ORef, 6}, {IEnabled, 1}, {IRef, 100}};
        row("outgoing on", OEnabled, off, "", Stale, 1, "on|Node: 05|QD PC|04|on|08");
        row("outgoing off from 9", OEnabled, relays, "", Stale, 0,
            "off|Node: 1A|Relays|25-32|off|0C");
        row("incoming on", IEnabled, relays, "", Stale, 1, "on|Node: 1A|Relays|25-32|on|0C");
        row("type, link off", OType, off, "", Stale, 1, "");
        row("node, link off", ONode, off, "", Stale, 5, "");
        row("ref, link off", ORef, off, "", Stale, 3, "");
        row("incoming ref, link off", IRef, inOff, "", Stale, 7, "");
        // Only a file or the controller can bring such a type; the label then only redraws.
        row("ref, type 3", ORef, {{OEnabled, 1}, {ONode, 5}, {OType, 3}, {ORef, 12}}, "", Stale, 12,
            "on|Node: 05|Quendel|33-40|off|01");
        // The type steps round on the stored byte; ORef stays and is read the new type's way.
        row("Quendel to QD PC", OType, nc, "", Stale, 1, "on|Node: NC|QD PC|01|off|01");
        row("to Relays keeps 0B", OType, {{OEnabled, 1}, {OType, 1}, {ORef, 10}}, "", Stale, 2,
            "on|Node: NC|Relays|17-24|off|01");
        row("Relays to Quendel", OType, {{OEnabled, 1}, {OType, 2}, {ORef, 7}}, "", Stale, 0,
            "on|Node: NC|Quendel|08|off|01");
        row("255 to 1", OType, {{OEnabled, 1}, {OType, 255}, {ORef, 255}}, "", Stale, 1,
            "on|Node: NC|QD PC|00|off|01");
        row("node NC", ONode, on, Node, 0, 0, "on|Node: NC|QD PC|07|on|65");
        row("node FE", ONode, on, Node, 254, 254, "on|Node: FE|QD PC|07|on|65");
        row("QD PC ref 01", ORef, on, Station, 0, 0, "on|Node: 05|QD PC|01|on|65");
        row("Quendel ref FE", ORef, nc, Station, 253, 253, "on|Node: NC|Quendel|FE|off|01");
        row("incoming FE", IRef, on, Station, 253, 253, "on|Node: 05|QD PC|07|on|FE");
        row("relays 57-64", ORef, relays, "frmBrevaneRelay", 7, 7,
            "on|Node: 1A|Relays|57-64|off|0C");
        // A cancel changes no field, yet the table counts as modified and is redrawn.
        row("node cancelled", ONode, on, Node, -1, 5, "on|Node: 05|QD PC|07|on|65");
    }
    void command() {
        QFETCH(int, field);
        QFETCH(Link, before);
        QFETCH(QString, picker);
        QFETCH(int, pick);
        QFETCH(int, value);
        QFETCH(QString, row);
        EditingWindowRig rig(before);
        rig.mod().Modified = false;
        rig.mod().PickResult = 6; // a stale earlier pick must not be stored
        // The relay picker opens at the window's outer corner plus the label's client place,
        // even partly off the 1280 x 1024 screen; the others in the middle of the screen.
        const QPoint labelPlace = rig.window().frameGeometry().topLeft() +
                                  rig.window().lblOLinkRef(EditingWindowRig::Slot)->pos();
        QString opened;
        QPoint pickerPlace;
        ModalAnswer answer([&](QWidget* modal) {
            opened = modal->metaObject()->className();
            QCOMPARE(rig.mod().Modified, true); // set before the picker opened
            pickerPlace = modal->frameGeometry().topLeft();
            platformClick(pick < 0 ? static_cast<PickerWindow*>(modal)->imgCancel()
                                   : static_cast<QWidget*>(itemOf(modal, pick)));
        });
        platformClick(rig.control(CnfField(field)));
        QCOMPARE(opened, picker);
        QCOMPARE(answer.leftOpen(), false);
        QCOMPARE(pickerPlace, picker == "frmBrevaneRelay" ? labelPlace
                              : picker.isEmpty()          ? QPoint()
                                                          : QPoint(379, 339));
        QCOMPARE(rig.mod().PickResult, pick);
        ModBrevane after;
        store(after, EditingWindowRig::Slot, before + Link{{CnfField(field), value}});
        const auto slot = [](const ModBrevane& mod) { // every field, OEnabled to KeyChar
            const auto first = mod.Cnf.begin() + cnfOffset(EditingWindowRig::Slot, OEnabled);
            return QList<int>(first, first + FieldsPerSlot);
        };
        QCOMPARE(slot(rig.mod()), slot(after));
        QCOMPARE(rig.mod().Modified, !row.isEmpty());
        QCOMPARE(rig.redrawn() ? rowOf(rig.window(), EditingWindowRig::Slot).remove("Quendel NC.")
                               : QString(),
                 row);
    }
    // A redraw sets the check boxes, which raises their events into the commands: while the
    // rows are redrawn these write nothing, not even a 1 over a stored 9.
    void inertWhileRefreshing() {
        EditingWindowRig rig(Link{});
        for (int i = 0; i < LinkSlots; ++i) { // 9, 0, 1, 9, ... and 0, 200, 0, ...
            rig.mod().field(i, OEnabled) = std::array<std::uint8_t, 3>{9, 0, 1}.at(i % 3);
            rig.mod().field(i, IEnabled) = static_cast<std::uint8_t>(i % 2 == 0 ? 0 : 200);
        }
        const CnfTable stored = rig.mod().Cnf;
        rig.window().ShowCnf();
        QVERIFY(rig.mod().Cnf == stored);
        QCOMPARE(rig.mod().Modified, false);
        QCOMPARE(rig.window().chkOLink(63)->isChecked(), true);
    }
    // Frameless, dark blue, the cancel image in the corner; items by index.
    void picker_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("indices");
        QTest::addColumn<QStringList>("items"); // caption, place, size, font (11.25 pt, 12 pt)
        QTest::newRow("relay") << "frmBrevaneRelay" << QSize(121, 129) << 8 << QList<int>{0, 4}
                               << QStringList{"01-08 8,32 49x19 16px", "33-40 64,32 49x19 16px"};
        QTest::newRow("node") << "frmBrevaneNode" << QSize(521, 345) << 255
                              << QList<int>{0, 16, 254}
                              << QStringList{"NC 8,24 25x18 15px", "10 40,24 25x18 15px",
                                             "FE 488,304 25x18 15px"};
        QTest::newRow("station") << "frmBrevaneQD" << QSize(521, 345) << 254 << QList<int>{0}
                                 << QStringList{"01 8,44 25x18 15px"};
    }
    void picker() {
        QFETCH(QString, className);
        QFETCH(QSize, size);
        QFETCH(QList<int>, indices);
        ModBrevane mod;
        const std::unique_ptr<PickerWindow> picker(
            className == "frmBrevaneRelay"  ? static_cast<PickerWindow*>(new frmBrevaneRelay(mod))
            : className == "frmBrevaneNode" ? static_cast<PickerWindow*>(new frmBrevaneNode(mod))
                                            : new frmBrevaneQD(mod));
        QTEST(int(picker->findChildren<PickerItem*>().size()), "count");
        QStringList shown;
        for (const int index : indices) {
            const PickerItem* item = itemOf(picker.get(), index);
            QVERIFY(item != nullptr);
            const QRect g = item->geometry();
            shown << QString::asprintf("%s %d,%d %dx%d %dpx", qPrintable(item->text()), g.x(),
                                       g.y(), g.width(), g.height(), item->font().pixelSize());
        }
        QTEST(shown, "items");
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
        QCOMPARE(picker->frameGeometry().size(), size); // no frame at all
        QCOMPARE(picker->grab().toImage().pixelColor(size.width() - 2, size.height() - 2),
                 QColor(27, 54, 93));
        QCOMPARE(picker->childAt(10, 10), picker->imgCancel());
    }
};

QTEST_MAIN(TestLinkEditing)
#include "tst_linkediting.moc"
