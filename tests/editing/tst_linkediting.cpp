#include <QtTest>

#include <QCheckBox>
#include <QScreen>
#include <functional>
#include <memory>

#include "editing/cancelimage.h"
#include "editing/frmbrevanenode.h"
#include "editing/frmbrevaneqd.h"
#include "editing/frmbrevanerelay.h"
#include "editing/linkeditor.h"
#include "editing/pickeritem.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"
#include "tests/editing/modalanswer.h"
#include "tests/mainwindow/rowtext.h"
#include "tests/support/testhome.h"

namespace {

const QColor DarkBlue(27, 54, 93);

// A click delivered as the platform delivers it: to the window under the point, where
// modality applies and the widget under the point receives it.
void platformClick(QWidget* widget, QPoint pos = {}) {
    if (pos.isNull()) {
        pos = widget->rect().center();
    }
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, pos));
}

struct Editing {
    ModBrevane mod;
    frmBrevaneMain window{mod};
    LinkEditor editor{mod, window};

    Editing() {
        window.move(60, 40);
        window.show();
        QTest::qVerify(QTest::qWaitForWindowExposed(&window), "exposed", "not shown", __FILE__,
                       __LINE__);
    }

    // Puts values in fields 0-5 of a slot and draws them, as a file read would.
    void load(int slot, const QList<int>& fields) {
        for (int f = 0; f < fields.size(); ++f) {
            mod.field(slot, f) = static_cast<std::uint8_t>(fields[f]);
        }
        window.ShowCnf();
        mod.Modified = false;
        // Changes a caption behind the display's back: only a whole-table redraw puts it back.
        window.lblOLinkType(WitnessSlot)->setText(QStringLiteral("stale"));
    }
    static constexpr int WitnessSlot = 62;
    bool redrawn() const { return window.lblOLinkType(WitnessSlot)->text() != "stale"; }
};

enum Label { TypeLabel, NodeLabel, RefLabel, InRefLabel };

ClickLabel* labelOf(const frmBrevaneMain& window, int label, int slot) {
    const std::array<ClickLabel* (frmBrevaneMain::*)(int) const, 4> labels = {
        &frmBrevaneMain::lblOLinkType, &frmBrevaneMain::lblOLinkNode, &frmBrevaneMain::lblOLinkRef,
        &frmBrevaneMain::lblILinkRef};
    return (window.*labels.at(label))(slot);
}

PickerItem* itemOf(const PickerWindow* picker, int index) {
    for (PickerItem* item : picker->findChildren<PickerItem*>()) {
        if (item->property("Index").toInt() == index) {
            return item;
        }
    }
    return nullptr;
}

} // namespace

class TestLinkEditing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    void noPicker_data() {
        QTest::addColumn<int>("command");       // 0-3 a label as in Label, 4 and 5 the check boxes
        QTest::addColumn<QList<int>>("fields"); // fields 0-5 of the slot
        QTest::addColumn<bool>("refreshing");   // called directly, as during a redraw
        QTest::addColumn<QList<int>>("change"); // field and its new value; none: no change
        QTest::addColumn<QString>("row");       // the row after; none: nothing redrawn
        const auto row = [](const char* name, int command, const QList<int>& fields,
                            const QList<int>& change, const char* shown) {
            QTest::newRow(name) << command << fields << false << change << shown;
        };
        row("outgoing on", 4, {0, 0x1A, 2, 3, 0, 0x0B}, {OEnabled, 1},
            "on|Node: 1A|Relays|25-32|off|0C");
        row("outgoing off", 4, {1, 0x1A, 2, 3, 0, 0x0B}, {OEnabled, 0},
            "off|Node: 1A|Relays|25-32|off|0C");
        row("outgoing off from 9", 4, {9, 0x1A, 2, 3, 0, 0}, {OEnabled, 0},
            "off|Node: 1A|Relays|25-32|off|01");
        row("incoming on", 5, {0, 0x1A, 2, 3, 0, 0x0B}, {IEnabled, 1},
            "off|Node: 1A|Relays|25-32|on|0C");
        row("incoming off", 5, {0, 0x1A, 2, 3, 1, 0x0B}, {IEnabled, 0},
            "off|Node: 1A|Relays|25-32|off|0C");
        const char* names[] = {"lblOLinkType", "lblOLinkNode", "lblOLinkRef",
                               "lblILinkRef",  "chkOLink",     "chkILink"};
        for (const int label : {TypeLabel, NodeLabel, RefLabel, InRefLabel}) {
            const int in = label == InRefLabel ? 1 : 0;
            QTest::addRow("%s_Click, link off", names[label])
                << label << QList<int>{in, 5, 1 - in, 3, 1 - in, 7} << false << QList<int>{} << "";
        }
        // Only a file or the controller can bring such a type; the label then only redraws.
        row("ref, type 3", RefLabel, {1, 5, 3, 12, 0, 0}, {}, "on|Node: 05|Quendel|33-40|off|01");
        // The type steps round on the stored byte; ORef stays and is read the new type's way.
        row("Quendel to QD PC", TypeLabel, {1, 0, 0, 0, 0, 0}, {OType, 1},
            "on|Node: NC|QD PC|01|off|01");
        row("QD PC to Relays keeps 0B", TypeLabel, {1, 0, 1, 10, 0, 0}, {OType, 2},
            "on|Node: NC|Relays|17-24|off|01");
        row("Relays to Quendel", TypeLabel, {1, 0, 2, 7, 0, 0}, {OType, 0},
            "on|Node: NC|Quendel|08|off|01");
        row("3 to 1", TypeLabel, {1, 0, 3, 10, 0, 0}, {OType, 1}, "on|Node: NC|QD PC|0B|off|01");
        row("255 to 1", TypeLabel, {1, 0, 255, 255, 0, 0}, {OType, 1},
            "on|Node: NC|QD PC|00|off|01");
        for (int k = 0; k < 6; ++k) {
            QTest::addRow("%s_Click while refreshing", names[k])
                << k << QList<int>{1, 5, 0, 3, 1, 7} << true << QList<int>{} << "";
        }
    }

    // The commands that open no picker: they write at most their own field and store no
    // pick, even with a stale one at hand; while refreshing they do nothing at all, even
    // with check boxes that disagree with the table.
    void noPicker() {
        QFETCH(int, command);
        QFETCH(QList<int>, fields);
        QFETCH(bool, refreshing);
        QFETCH(QList<int>, change);
        QFETCH(QString, row);
        const std::array<void (LinkEditor::*)(int), 6> commands = {
            &LinkEditor::lblOLinkType_Click, &LinkEditor::lblOLinkNode_Click,
            &LinkEditor::lblOLinkRef_Click,  &LinkEditor::lblILinkRef_Click,
            &LinkEditor::chkOLink_Click,     &LinkEditor::chkILink_Click};
        Editing e;
        e.load(12, fields);
        QCheckBox* const boxes[] = {e.window.chkOLink(12), e.window.chkILink(12)};
        e.mod.PickResult = 6;
        CnfTable expected = e.mod.Cnf;
        if (!change.isEmpty()) {
            expected[cnfOffset(12, change[0])] = static_cast<std::uint8_t>(change[1]);
        }

        ModalAnswer answer([](QWidget* /*picker*/) {});
        if (refreshing) {
            for (QCheckBox* box : boxes) {
                const QSignalBlocker quiet(box);
                box->setChecked(!box->isChecked());
            }
            e.mod.Refreshing = true;
            (e.editor.*commands.at(command))(12);
            e.mod.Refreshing = false;
        } else if (command >= 4) {
            platformClick(boxes[command - 4]);
        } else {
            platformClick(labelOf(e.window, command, 12));
        }

        QCOMPARE(answer.seen(), false);
        QVERIFY(e.mod.Cnf == expected);
        QCOMPARE(e.mod.PickResult, 6);
        QCOMPARE(e.mod.Modified, !row.isEmpty());
        QCOMPARE(e.redrawn(), !row.isEmpty());
        QCOMPARE(row.isEmpty() ? row : rowOf(e.window, 12).remove(QStringLiteral("Quendel NC.")),
                 row);
    }

    // Redrawing sets the check boxes, which raises their events into the commands; those
    // events must write nothing back, not even a 1 over a stored 9.
    void redrawEventsWriteNothing() {
        Editing e;
        int raised = 0;
        int boxesOn = 0;
        for (int i = 0; i < LinkSlots; ++i) {
            e.mod.field(i, OEnabled) = std::array<std::uint8_t, 3>{9, 0, 1}.at(i % 3);
            e.mod.field(i, IEnabled) = static_cast<std::uint8_t>(i % 2 == 0 ? 0 : 200);
            boxesOn += (e.mod.field(i, OEnabled) != 0) + (e.mod.field(i, IEnabled) != 0);
            connect(e.window.chkOLink(i), &QCheckBox::toggled, &e.window, [&] { ++raised; });
            connect(e.window.chkILink(i), &QCheckBox::toggled, &e.window, [&] { ++raised; });
        }
        const CnfTable before = e.mod.Cnf;
        e.window.ShowCnf();
        QCOMPARE(raised, boxesOn); // every box that had to change raised its event
        QVERIFY(e.mod.Cnf == before);
        QCOMPARE(e.mod.Modified, false);
        QCOMPARE(e.mod.Refreshing, false);
    }

    void picked_data() {
        QTest::addColumn<int>("label");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QVariant>("pick"); // an item's index, or how the picker is cancelled
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, Label label, int type, int slot,
                            const char* className, const QVariant& pick, const char* caption) {
            QTest::newRow(name) << int(label) << type << slot << className << pick << caption;
        };
        row("node NC", NodeLabel, 0, 4, "frmBrevaneNode", 0, "Node: NC");
        row("node 1A", NodeLabel, 2, 20, "frmBrevaneNode", 26, "Node: 1A");
        row("node FE", NodeLabel, 1, 63, "frmBrevaneNode", 254, "Node: FE");
        row("Quendel ref 01", RefLabel, 0, 45, "frmBrevaneQD", 0, "01");
        row("QD PC ref FE", RefLabel, 1, 45, "frmBrevaneQD", 253, "FE");
        row("incoming 01", InRefLabel, 2, 45, "frmBrevaneQD", 0, "Quendel NC.01");
        row("incoming FE", InRefLabel, 2, 45, "frmBrevaneQD", 253, "Quendel NC.FE");
        row("relays 01-08, first column", RefLabel, 2, 0, "frmBrevaneRelay", 0, "01-08");
        row("relays 57-64, second column", RefLabel, 2, 40, "frmBrevaneRelay", 7, "57-64");
        row("relays 17-24, bottom row", RefLabel, 2, 31, "frmBrevaneRelay", 2, "17-24");
        // A cancel changes no field, yet the table counts as modified and is redrawn.
        row("node, cancel image", NodeLabel, 0, 17, "frmBrevaneNode", "image", "Node: 05");
        row("station, Escape", RefLabel, 1, 17, "frmBrevaneQD", "escape", "07");
        row("relays, closed", RefLabel, 2, 17, "frmBrevaneRelay", "close", "49-56");
        row("incoming, cancel image", InRefLabel, 0, 17, "frmBrevaneQD", "image", "Quendel NC.65");
    }

    void picked() {
        QFETCH(int, label);
        QFETCH(int, type);
        QFETCH(int, slot);
        QFETCH(QString, className);
        QFETCH(QVariant, pick);
        QFETCH(QString, caption);
        const bool incoming = label == InRefLabel;
        const bool cancel = pick.typeId() == QMetaType::QString;
        const int index = cancel ? -1 : pick.toInt();
        Editing e;
        e.load(slot, {incoming ? 0 : 1, 5, type, 6, incoming ? 1 : 0, 100});
        e.mod.PickResult = 77; // a stale earlier pick must not be stored
        CnfTable expected = e.mod.Cnf;
        const int field = label == NodeLabel ? ONode : incoming ? IRef : ORef;
        if (!cancel) {
            expected[cnfOffset(slot, field)] = static_cast<std::uint8_t>(index);
        }
        // The relay picker opens at the window's outer corner plus the label's client place.
        const QPoint labelPlace =
            e.window.frameGeometry().topLeft() + e.window.lblOLinkRef(slot)->pos();

        ModalAnswer answer([&](QWidget* modal) {
            auto* picker = qobject_cast<PickerWindow*>(modal);
            QCOMPARE(modal->metaObject()->className(), className);
            QCOMPARE(e.mod.Modified, true); // set before the picker opened
            QCOMPARE(e.mod.PickResult, 77); // not reset for the picker
            if (className == QLatin1String("frmBrevaneRelay")) {
                QCOMPARE(picker->frameGeometry().topLeft(), labelPlace);
            }
            if (!cancel) {
                platformClick(itemOf(picker, index));
            } else if (pick.toString() == QLatin1String("image")) {
                platformClick(picker->imgCancel());
            } else if (pick.toString() == QLatin1String("escape")) {
                QTest::keyClick(picker, Qt::Key_Escape);
            } else {
                picker->close();
            }
        });
        platformClick(labelOf(e.window, label, slot));

        QVERIFY(answer.seen());
        QCOMPARE(answer.leftOpen(), false);
        QCOMPARE(e.mod.PickResult, index);
        QVERIFY(e.mod.Cnf == expected);
        QCOMPARE(e.mod.Modified, true);
        QVERIFY(e.redrawn());
        QCOMPARE(labelOf(e.window, label, slot)->text(), caption);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            QCOMPARE(qobject_cast<PickerWindow*>(top), nullptr);
        }
    }

    void pickerWindow_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("firstCell");         // of the grid; the relay picker has none
        QTest::addColumn<QList<QPoint>>("nothing"); // clicks that must do nothing
        QTest::newRow("relay") << "frmBrevaneRelay" << QSize(121, 129) << 8 << -1
                               << QList<QPoint>{{60, 40}, {30, 53}, {30, 126}};
        // The last grid cell, and for stations the first, stay empty.
        QTest::newRow("node") << "frmBrevaneNode" << QSize(521, 345) << 255 << 0
                              << QList<QPoint>{{36, 30}, {20, 43}, {500, 330}};
        QTest::newRow("station") << "frmBrevaneQD" << QSize(521, 345) << 254 << 1
                                 << QList<QPoint>{{20, 30}, {22, 10}, {500, 330}};
    }

    void pickerWindow() {
        QFETCH(QString, className);
        QFETCH(QSize, size);
        QFETCH(int, items);
        QFETCH(int, firstCell);
        QFETCH(QList<QPoint>, nothing);
        const bool relay = firstCell < 0;
        ModBrevane mod;
        const std::unique_ptr<PickerWindow> picker(
            className == "frmBrevaneRelay"  ? static_cast<PickerWindow*>(new frmBrevaneRelay(mod))
            : className == "frmBrevaneNode" ? static_cast<PickerWindow*>(new frmBrevaneNode(mod))
                                            : new frmBrevaneQD(mod));
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
        // Relay groups in two columns of four; grid items column by column, captioned in hex.
        QSet<int> indexes;
        for (const PickerItem* item : picker->findChildren<PickerItem*>()) {
            const int i = item->property("Index").toInt();
            const int cell = i + firstCell;
            indexes.insert(i);
            QCOMPARE(item->geometry(),
                     relay ? QRect(i < 4 ? 8 : 64, 32 + 24 * (i % 4), 49, 19)
                           : QRect(cell / 16 * 32 + 8, cell % 16 * 20 + 24, 25, 18));
            const auto num = [](int n, int base) {
                return QStringLiteral("%1").arg(n, 2, base, QChar('0'));
            };
            QCOMPARE(item->text(), relay       ? num(8 * i + 1, 10) + '-' + num(8 * i + 8, 10)
                                   : cell == 0 ? QStringLiteral("NC")
                                               : num(cell, 16).toUpper());
            QCOMPARE(item->font().pixelSize(), relay ? 16 : 15); // 12 pt, 11.25 pt
            QCOMPARE(item->palette().color(QPalette::Window), QColor(Qt::white));
            QCOMPARE(item->foreColor(), QColor(Qt::black));
        }
        QCOMPARE(indexes.size(), items);

        // The relay picker stays where it is put, even mostly off the screen; the others
        // centre themselves on it.
        const QRect screen = picker->screen()->geometry();
        const QPoint outside(screen.right() - 40, screen.bottom() - 30);
        if (relay) {
            picker->move(outside);
        }
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
        const QRect outer = picker->frameGeometry();
        QCOMPARE(outer.size(), size); // no frame at all
        QCOMPARE(outer.topLeft(),
                 relay ? outside
                       : QPoint(screen.left() + (screen.width() - size.width()) / 2,
                                screen.top() + (screen.height() - size.height()) / 2));
        const QImage shot = picker->grab().toImage();
        QCOMPARE(shot.pixelColor(size.width() - 2, size.height() - 2), DarkBlue);
        QCOMPARE(picker->imgCancel()->geometry(), QRect(1, 1, 20, 20));
        const QImage cancel = cancelPicture().toImage();
        QCOMPARE(picker->imgCancel()->grab().toImage().convertToFormat(cancel.format()), cancel);
        QCOMPARE(picker->childAt(10, 10), picker->imgCancel());
        for (const QPoint at : nothing) { // between items, empty cells, beside the cancel image
            QCOMPARE(picker->childAt(at), nullptr);
            platformClick(picker.get(), at);
            QCOMPARE(mod.PickResult, 0);
            QCOMPARE(picker->isVisible(), true);
        }

        // A caption is drawn centred: as much white left of the ink as right of it.
        const QImage item = itemOf(picker.get(), 5)->grab().toImage();
        int first = item.width();
        int last = -1;
        for (int x = 0; x < item.width(); ++x) {
            for (int y = 0; y < item.height(); ++y) {
                if (qGray(item.pixel(x, y)) < 128) {
                    first = qMin(first, x);
                    last = qMax(last, x);
                }
            }
        }
        QVERIFY(last > first);
        QVERIFY2(qAbs(first - (item.width() - 1 - last)) <= 2,
                 qPrintable(QStringLiteral("ink from %1 to %2").arg(first).arg(last)));
    }

    void cancelImage() {
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
    }
};

QTEST_MAIN(TestLinkEditing)
#include "tst_linkediting.moc"
