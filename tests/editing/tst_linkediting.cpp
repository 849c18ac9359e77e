// The row commands and the three pickers, clicked as the platform delivers clicks.

#include <QtTest>

#include <QCheckBox>
#include <QScreen>
#include <memory>

#include "editing/cancelimage.h"
#include "editing/frmbrevanenode.h"
#include "editing/frmbrevaneqd.h"
#include "editing/frmbrevanerelay.h"
#include "editing/linkeditor.h"
#include "editing/pickeritem.h"
#include "mainwindow/clicklabel.h"
#include "tests/support/modalanswer.h"
#include "tests/support/rowtext.h"
#include "tests/support/testhome.h"

namespace {

// A click delivered to the window under the point, where modality applies.
void platformClick(QWidget* widget, QPoint pos = {}) {
    pos = pos.isNull() ? widget->rect().center() : pos;
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, pos));
}

// The row commands' controls: labels lblOLinkType, lblOLinkNode, lblOLinkRef, lblILinkRef,
// then the check boxes chkOLink and chkILink.
enum Control { TypeLabel, NodeLabel, RefLabel, InRefLabel, OutBox, InBox };

struct Editing {
    static constexpr int Witness = 62;
    ModBrevane mod;
    frmBrevaneMain window{mod};
    LinkEditor editor{mod, window};

    // Fields 0-5 of a slot, drawn as a file read would, and a stale caption in another row
    // that only a whole-table redraw puts back.
    Editing(int slot, const QList<int>& fields) {
        window.move(60, 40);
        window.show();
        QTest::qVerify(QTest::qWaitForWindowExposed(&window), "exposed", "", __FILE__, __LINE__);
        for (int f = 0; f < fields.size(); ++f) {
            mod.field(slot, f) = static_cast<std::uint8_t>(fields[f]);
        }
        window.ShowCnf();
        window.lblOLinkType(Witness)->setText(QStringLiteral("stale"));
    }
    bool redrawn() const { return window.lblOLinkType(Witness)->text() != "stale"; }
    QWidget* control(int which, int slot) const {
        const std::array<QWidget*, 6> all{window.lblOLinkType(slot), window.lblOLinkNode(slot),
                                          window.lblOLinkRef(slot),  window.lblILinkRef(slot),
                                          window.chkOLink(slot),     window.chkILink(slot)};
        return all.at(which);
    }
};

PickerItem* itemOf(const QWidget* picker, int index) {
    for (PickerItem* item : picker->findChildren<PickerItem*>()) {
        if (item->property("Index").toInt() == index) {
            return item;
        }
    }
    return nullptr;
}

std::unique_ptr<PickerWindow> makePicker(const QString& className, ModBrevane& mod) {
    if (className == "frmBrevaneRelay") {
        return std::make_unique<frmBrevaneRelay>(mod);
    }
    if (className == "frmBrevaneNode") {
        return std::make_unique<frmBrevaneNode>(mod);
    }
    return std::make_unique<frmBrevaneQD>(mod);
}

} // namespace

class TestLinkEditing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    // The commands that open no picker: they write at most their own field, store no pick
    // and redraw the table; on a link that is off the labels do nothing at all.
    void noPicker_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<QList<int>>("fields"); // fields 0-5 of slot 12, before and after
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<QString>("row"); // the row after; empty: nothing redrawn
        const auto row = [](const char* name, Control control, const QList<int>& fields,
                            const QList<int>& after, const char* shown) {
            QTest::newRow(name) << int(control) << fields << after << shown;
        };
        const QList<int> off{0, 5, 1, 3, 1, 7};
        const QList<int> inOff{1, 5, 0, 3, 0, 7};
        row("outgoing on", OutBox, {0, 26, 2, 3, 0, 11}, {1, 26, 2, 3, 0, 11},
            "on|Node: 1A|Relays|25-32|off|0C");
        row("outgoing off from 9", OutBox, {9, 26, 2, 3, 0, 0}, {0, 26, 2, 3, 0, 0},
            "off|Node: 1A|Relays|25-32|off|01");
        row("incoming on", InBox, {0, 26, 2, 3, 0, 11}, {0, 26, 2, 3, 1, 11},
            "off|Node: 1A|Relays|25-32|on|0C");
        row("type, link off", TypeLabel, off, off, "");
        row("ref, link off", RefLabel, off, off, "");
        row("incoming ref, link off", InRefLabel, inOff, inOff, "");
        // Only a file or the controller can bring such a type; the label then only redraws.
        row("ref, type 3", RefLabel, {1, 5, 3, 12, 0, 0}, {1, 5, 3, 12, 0, 0},
            "on|Node: 05|Quendel|33-40|off|01");
        // The type steps round on the stored byte; ORef stays and is read the new type's way.
        row("Quendel to QD PC", TypeLabel, {1, 0, 0, 0, 0, 0}, {1, 0, 1, 0, 0, 0},
            "on|Node: NC|QD PC|01|off|01");
        row("QD PC to Relays keeps 0B", TypeLabel, {1, 0, 1, 10, 0, 0}, {1, 0, 2, 10, 0, 0},
            "on|Node: NC|Relays|17-24|off|01");
        row("Relays to Quendel", TypeLabel, {1, 0, 2, 7, 0, 0}, {1, 0, 0, 7, 0, 0},
            "on|Node: NC|Quendel|08|off|01");
        row("255 to 1", TypeLabel, {1, 0, 255, 255, 0, 0}, {1, 0, 1, 255, 0, 0},
            "on|Node: NC|QD PC|00|off|01");
    }
    void noPicker() {
        QFETCH(int, control);
        QFETCH(QList<int>, fields);
        QFETCH(QList<int>, after);
        QFETCH(QString, row);
        Editing e(12, fields);
        e.mod.Modified = false;
        e.mod.PickResult = 6;
        ModalAnswer answer([](QWidget*) {});
        platformClick(e.control(control, 12));
        QCOMPARE(answer.seen(), false);
        QCOMPARE(e.mod.PickResult, 6);
        QList<int> now;
        for (int f = 0; f < 9; ++f) {
            now << e.mod.field(12, f);
        }
        QCOMPARE(now, after + QList<int>(3, 0));
        QCOMPARE(e.mod.Modified, !row.isEmpty());
        QCOMPARE(e.redrawn() ? rowOf(e.window, 12).remove("Quendel NC.") : QString(), row);
    }
    // While the rows are redrawn every command does nothing, even with check boxes that
    // disagree with the table; redrawing raises the boxes' events into the commands.
    void inertWhileRefreshing() {
        Editing e(12, {1, 5, 0, 3, 1, 7});
        e.mod.Modified = false;
        for (QCheckBox* box : {e.window.chkOLink(12), e.window.chkILink(12)}) {
            const QSignalBlocker quiet(box);
            box->setChecked(false);
        }
        const CnfTable before = e.mod.Cnf;
        e.mod.Refreshing = true;
        for (const auto command : {&LinkEditor::lblOLinkType_Click, &LinkEditor::lblOLinkNode_Click,
                                   &LinkEditor::lblOLinkRef_Click, &LinkEditor::lblILinkRef_Click,
                                   &LinkEditor::chkOLink_Click, &LinkEditor::chkILink_Click}) {
            (e.editor.*command)(12);
        }
        e.mod.Refreshing = false;
        QVERIFY(e.mod.Cnf == before);
        QVERIFY(!e.mod.Modified && !e.redrawn());

        for (int i = 0; i < LinkSlots; ++i) { // 9, 0, 1, 9, ... and 0, 200, 0, ...
            e.mod.field(i, OEnabled) = std::array<std::uint8_t, 3>{9, 0, 1}.at(i % 3);
            e.mod.field(i, IEnabled) = static_cast<std::uint8_t>(i % 2 == 0 ? 0 : 200);
        }
        const CnfTable stored = e.mod.Cnf;
        e.window.ShowCnf();
        QVERIFY(e.mod.Cnf == stored); // not even a 1 over a stored 9
        QCOMPARE(e.mod.Modified, false);
        QCOMPARE(e.window.chkOLink(63)->isChecked(), true);
    }
    void picked_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("className");
        QTest::addColumn<int>("index"); // the item clicked; -1: the cancel image
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, Control control, int type, int slot,
                            const char* className, int index, const char* caption) {
            QTest::newRow(name) << int(control) << type << slot << className << index << caption;
        };
        row("node NC", NodeLabel, 0, 4, "frmBrevaneNode", 0, "Node: NC");
        row("node FE", NodeLabel, 1, 63, "frmBrevaneNode", 254, "Node: FE");
        row("Quendel ref 01", RefLabel, 0, 45, "frmBrevaneQD", 0, "01");
        row("QD PC ref FE", RefLabel, 1, 45, "frmBrevaneQD", 253, "FE");
        row("incoming FE", InRefLabel, 2, 45, "frmBrevaneQD", 253, "Quendel NC.FE");
        row("relays 57-64", RefLabel, 2, 40, "frmBrevaneRelay", 7, "57-64");
        // A cancel changes no field, yet the table counts as modified and is redrawn.
        row("node cancelled", NodeLabel, 0, 17, "frmBrevaneNode", -1, "Node: 05");
    }
    void picked() {
        QFETCH(int, control);
        QFETCH(int, type);
        QFETCH(int, slot);
        QFETCH(QString, className);
        QFETCH(int, index);
        QFETCH(QString, caption);
        const int in = control == InRefLabel ? 1 : 0;
        Editing e(slot, {1 - in, 5, type, 6, in, 100});
        e.mod.Modified = false;
        e.mod.PickResult = 77; // a stale earlier pick must not be stored
        // The relay picker opens at the window's outer corner plus the label's client place.
        const QPoint labelPlace =
            e.window.frameGeometry().topLeft() + e.window.lblOLinkRef(slot)->pos();
        QPoint pickerPlace;
        ModalAnswer answer([&](QWidget* modal) {
            QCOMPARE(modal->metaObject()->className(), className);
            QCOMPARE(e.mod.Modified, true); // set before the picker opened
            pickerPlace = modal->frameGeometry().topLeft();
            platformClick(index < 0 ? static_cast<PickerWindow*>(modal)->imgCancel()
                                    : static_cast<QWidget*>(itemOf(modal, index)));
        });
        platformClick(e.control(control, slot));
        QVERIFY(answer.seen() && !answer.leftOpen());
        QCOMPARE(pickerPlace == labelPlace, className == "frmBrevaneRelay");
        QCOMPARE(e.mod.PickResult, index);
        QCOMPARE(static_cast<ClickLabel*>(e.control(control, slot))->text(), caption);
        QVERIFY(e.mod.Modified && e.redrawn());
    }
    // Items by index: place, size and caption.
    void pickerItems_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<int>("index");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pixels"); // 11.25 pt, 12 pt
        QTest::newRow("node 0") << "frmBrevaneNode" << 0 << QRect(8, 24, 25, 18) << "NC" << 15;
        QTest::newRow("node 16") << "frmBrevaneNode" << 16 << QRect(40, 24, 25, 18) << "10" << 15;
        QTest::newRow("node 254") << "frmBrevaneNode" << 254 << QRect(488, 304, 25, 18) << "FE"
                                  << 15;
        QTest::newRow("station 0") << "frmBrevaneQD" << 0 << QRect(8, 44, 25, 18) << "01" << 15;
        QTest::newRow("relay 0") << "frmBrevaneRelay" << 0 << QRect(8, 32, 49, 19) << "01-08" << 16;
        QTest::newRow("relay 4") << "frmBrevaneRelay" << 4 << QRect(64, 32, 49, 19) << "33-40"
                                 << 16;
    }
    void pickerItems() {
        QFETCH(QString, className);
        QFETCH(int, index);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QFETCH(int, pixels);
        ModBrevane mod;
        const auto picker = makePicker(className, mod);
        const PickerItem* item = itemOf(picker.get(), index);
        QVERIFY(item != nullptr);
        QCOMPARE(item->geometry(), geometry);
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->font().pixelSize(), pixels);
    }
    // Frameless, modal, dark blue, the cancel image in the corner; clicks beside the items
    // do nothing.
    void pickerWindow_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("items");
        QTest::addColumn<QList<QPoint>>("nothing");
        QTest::newRow("relay") << "frmBrevaneRelay" << QSize(121, 129) << 8
                               << QList<QPoint>{{60, 40}, {30, 53}, {30, 126}};
        // The last grid cell, and for stations the first, stay empty.
        QTest::newRow("node") << "frmBrevaneNode" << QSize(521, 345) << 255
                              << QList<QPoint>{{36, 30}, {20, 43}, {500, 330}};
        QTest::newRow("station") << "frmBrevaneQD" << QSize(521, 345) << 254
                                 << QList<QPoint>{{20, 30}, {22, 10}, {500, 330}};
    }
    void pickerWindow() {
        QFETCH(QString, className);
        QFETCH(QSize, size);
        QFETCH(int, items);
        QFETCH(QList<QPoint>, nothing);
        ModBrevane mod;
        const auto picker = makePicker(className, mod);
        QCOMPARE(picker->objectName(), className);
        QCOMPARE(picker->windowModality(), Qt::ApplicationModal);
        QCOMPARE(picker->findChildren<PickerItem*>().size(), items);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
        QCOMPARE(picker->frameGeometry().size(), size); // no frame at all
        QCOMPARE(picker->grab().toImage().pixelColor(size.width() - 2, size.height() - 2),
                 QColor(27, 54, 93));
        QCOMPARE(picker->childAt(10, 10), picker->imgCancel());
        for (const QPoint at : nothing) {
            platformClick(picker.get(), at);
            QCOMPARE(mod.PickResult, 0);
            QCOMPARE(picker->isVisible(), true);
        }
    }
    // The grid pickers centre themselves on the 800 x 800 screen; the relay picker stays
    // where it is put, even mostly off the screen.
    void pickerPlaces() {
        ModBrevane mod;
        frmBrevaneNode node(mod);
        frmBrevaneQD station(mod);
        frmBrevaneRelay relay(mod);
        relay.move(760, 570);
        for (QWidget* picker : std::initializer_list<QWidget*>{&node, &station, &relay}) {
            picker->show();
            QVERIFY(QTest::qWaitForWindowExposed(picker));
        }
        QCOMPARE(node.frameGeometry().topLeft(), QPoint(139, 227));
        QCOMPARE(station.frameGeometry().topLeft(), QPoint(139, 227));
        QCOMPARE(relay.frameGeometry().topLeft(), QPoint(760, 570));
    }
};

QTEST_MAIN(TestLinkEditing)
#include "tst_linkediting.moc"
