#include <QtTest>

#include <QCheckBox>

#include "app/brevaneapp.h"
#include "editing/cancelimage.h"
#include "editing/frmbrevanenode.h"
#include "editing/frmbrevaneqd.h"
#include "editing/frmbrevanerelay.h"
#include "editing/linkeditor.h"
#include "editing/pickeritem.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/frmbrevanemain.h"
#include "tests/editing/pickeranswer.h"
#include "tests/support/testhome.h"

namespace {

const QColor Black(0, 0, 0);
const QColor Grey(0xC0, 0xC0, 0xC0);

// A shown main window with the row commands wired to it.
struct Editing {
    ModBrevane mod;
    frmBrevaneMain window{mod};
    LinkEditor editor{mod, window};

    Editing() {
        window.move(60, 40);
        window.show();
        const bool exposed = QTest::qWaitForWindowExposed(&window);
        QTest::qVerify(exposed, "exposed", "main window not shown", __FILE__, __LINE__);
    }

    // Puts values in a slot and draws them, as a file read would.
    void load(int slot, const QList<int>& fields) {
        for (int f = 0; f < fields.size(); ++f) {
            mod.field(slot, f) = static_cast<std::uint8_t>(fields[f]);
        }
        window.ShowCnf();
        mod.Modified = false;
    }

    // Changes a caption behind the display's back: only a whole-table redraw puts it back.
    static constexpr int WitnessSlot = 62;
    void markWitness() { window.lblOLinkType(WitnessSlot)->setText(QStringLiteral("stale")); }
    bool redrawn() const { return window.lblOLinkType(WitnessSlot)->text() != "stale"; }
};

enum Label { TypeLabel, NodeLabel, RefLabel, InRefLabel };

ClickLabel* labelOf(const frmBrevaneMain& window, Label label, int slot) {
    switch (label) {
    case TypeLabel:
        return window.lblOLinkType(slot);
    case NodeLabel:
        return window.lblOLinkNode(slot);
    case RefLabel:
        return window.lblOLinkRef(slot);
    case InRefLabel:
        return window.lblILinkRef(slot);
    }
    return nullptr;
}

// A picker that opened is cancelled by the given means.
void cancelBy(PickerWindow* picker, const QString& how) {
    if (how == "image") {
        platformClick(picker->imgCancel());
    } else if (how == "escape") {
        QTest::keyClick(picker, Qt::Key_Escape);
    } else {
        picker->close();
    }
}

bool noPickerLeft() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<PickerWindow*>(top) != nullptr) {
            return false;
        }
    }
    return true;
}

} // namespace

class TestLinkEditing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void checkBoxes_data();
    void checkBoxes();
    void labelsOfLinksOffDoNothing_data();
    void labelsOfLinksOffDoNothing();
    void nothingWhileRefreshing_data();
    void nothingWhileRefreshing();
    void redrawEventsWriteNothing();
    void typeCycles_data();
    void typeCycles();
    void threeTypeClicksGoRound();
    void pickNode_data();
    void pickNode();
    void pickStation_data();
    void pickStation();
    void pickRelayGroup_data();
    void pickRelayGroup();
    void cancelled_data();
    void cancelled();
    void unknownTypeOpensNoPicker_data();
    void unknownTypeOpensNoPicker();
    void mainWindowBlockedWhilePicking_data();
    void mainWindowBlockedWhilePicking();
    void appWiresTheCommands();
};

void TestLinkEditing::initTestCase() {
    useFreshHome();
}

void TestLinkEditing::checkBoxes_data() {
    QTest::addColumn<bool>("incoming");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("written");
    QTest::newRow("outgoing on") << false << 4 << 0 << 1;
    QTest::newRow("outgoing off") << false << 40 << 1 << 0;
    QTest::newRow("outgoing off from 9") << false << 0 << 9 << 0;
    QTest::newRow("incoming on") << true << 63 << 0 << 1;
    QTest::newRow("incoming off") << true << 31 << 1 << 0;
}

void TestLinkEditing::checkBoxes() {
    QFETCH(bool, incoming);
    QFETCH(int, slot);
    QFETCH(int, stored);
    QFETCH(int, written);
    Editing e;
    const int enabled = incoming ? IEnabled : OEnabled;
    QList<int> fields{0, 0x1A, 2, 3, 0, 0x0B};
    fields[enabled] = stored;
    e.load(slot, fields);
    e.markWitness();
    CnfTable expected = e.mod.Cnf;
    expected[cnfOffset(slot, enabled)] = static_cast<std::uint8_t>(written);

    QCheckBox* box = incoming ? e.window.chkILink(slot) : e.window.chkOLink(slot);
    platformClick(box);

    QVERIFY(e.mod.Cnf == expected); // only the enable field changed
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QCOMPARE(box->isChecked(), written == 1);
    const QColor colour = written == 1 ? Black : Grey;
    if (incoming) {
        QCOMPARE(e.window.lblILinkRef(slot)->foreColor(), colour);
        QCOMPARE(e.window.lblILinkRef(slot)->text(), QStringLiteral("Quendel NC.0C"));
    } else {
        QCOMPARE(e.window.lblOLinkNode(slot)->foreColor(), colour);
        QCOMPARE(e.window.lblOLinkType(slot)->foreColor(), colour);
        QCOMPARE(e.window.lblOLinkRef(slot)->foreColor(), colour);
        QCOMPARE(e.window.lblOLinkRef(slot)->text(), QStringLiteral("25-32"));
    }
}

void TestLinkEditing::labelsOfLinksOffDoNothing_data() {
    QTest::addColumn<int>("label");
    QTest::addColumn<QList<int>>("fields"); // fields 0-5; the other half is on
    QTest::addColumn<bool>("modified");
    QTest::newRow("type") << int(TypeLabel) << QList<int>{0, 5, 1, 3, 1, 7} << false;
    QTest::newRow("type, modified") << int(TypeLabel) << QList<int>{0, 5, 1, 3, 1, 7} << true;
    QTest::newRow("node") << int(NodeLabel) << QList<int>{0, 5, 0, 3, 1, 7} << false;
    QTest::newRow("ref, station") << int(RefLabel) << QList<int>{0, 5, 0, 3, 1, 7} << false;
    QTest::newRow("ref, relays") << int(RefLabel) << QList<int>{0, 5, 2, 3, 1, 7} << false;
    QTest::newRow("incoming ref") << int(InRefLabel) << QList<int>{1, 5, 0, 3, 0, 7} << false;
    QTest::newRow("incoming ref, modified")
        << int(InRefLabel) << QList<int>{1, 5, 0, 3, 0, 7} << true;
}

void TestLinkEditing::labelsOfLinksOffDoNothing() {
    QFETCH(int, label);
    QFETCH(QList<int>, fields);
    QFETCH(bool, modified);
    Editing e;
    e.load(9, fields);
    e.mod.Modified = modified;
    e.mod.PickResult = 17;
    e.markWitness();
    const CnfTable before = e.mod.Cnf;

    PickerAnswer answer([](PickerWindow* picker) { picker->reject(); });
    platformClick(labelOf(e.window, Label(label), 9));

    QCOMPARE(answer.seen(), false);
    QVERIFY(e.mod.Cnf == before);
    QCOMPARE(e.mod.Modified, modified);
    QCOMPARE(e.mod.PickResult, 17);
    QCOMPARE(e.redrawn(), false);
}

void TestLinkEditing::nothingWhileRefreshing_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("chkOLink_Click") << 0;
    QTest::newRow("chkILink_Click") << 1;
    QTest::newRow("lblOLinkType_Click") << 2;
    QTest::newRow("lblOLinkNode_Click") << 3;
    QTest::newRow("lblOLinkRef_Click") << 4;
    QTest::newRow("lblILinkRef_Click") << 5;
}

// A command reached during a redraw (directly, as a label click delivered then would)
// leaves everything alone, even on a row that is on and whose box disagrees with the table.
void TestLinkEditing::nothingWhileRefreshing() {
    QFETCH(int, command);
    const std::array<void (LinkEditor::*)(int), 6> commands = {
        &LinkEditor::chkOLink_Click,     &LinkEditor::chkILink_Click,
        &LinkEditor::lblOLinkType_Click, &LinkEditor::lblOLinkNode_Click,
        &LinkEditor::lblOLinkRef_Click,  &LinkEditor::lblILinkRef_Click};
    Editing e;
    e.load(12, {1, 5, 0, 3, 1, 7});
    {
        const QSignalBlocker quiet(e.window.chkOLink(12));
        const QSignalBlocker quietToo(e.window.chkILink(12));
        e.window.chkOLink(12)->setChecked(false);
        e.window.chkILink(12)->setChecked(false);
    }
    e.markWitness();
    const CnfTable before = e.mod.Cnf;

    PickerAnswer answer([](PickerWindow* picker) { picker->reject(); });
    e.mod.Refreshing = true;
    (e.editor.*commands.at(command))(12);
    e.mod.Refreshing = false;

    QCOMPARE(answer.seen(), false);
    QVERIFY(e.mod.Cnf == before);
    QCOMPARE(e.mod.Modified, false);
    QCOMPARE(e.redrawn(), false);
}

// Redrawing sets the check boxes, which raises their events into the commands; those
// events must write nothing back, not even a 1 over a stored 9.
void TestLinkEditing::redrawEventsWriteNothing() {
    Editing e;
    int raised = 0;
    int boxesOn = 0;
    const std::array<std::uint8_t, 3> outValues = {9, 0, 1};
    for (int i = 0; i < LinkSlots; ++i) {
        e.mod.field(i, OEnabled) = outValues.at(i % 3);
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

    e.mod.ResetCnf();
    e.window.ShowCnf();
    QCOMPARE(raised, 2 * boxesOn);
    QCOMPARE(std::count(e.mod.Cnf.begin(), e.mod.Cnf.end(), 0), qsizetype(CnfBytes));
    QCOMPARE(e.mod.Modified, false);
}

void TestLinkEditing::typeCycles_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("oRef");
    QTest::addColumn<int>("next");
    QTest::addColumn<QString>("typeCaption");
    QTest::addColumn<QString>("refCaption");
    QTest::newRow("Quendel to QD PC") << 0 << 0 << 1 << "QD PC"
                                      << "01";
    QTest::newRow("QD PC to Relays keeps 0B") << 1 << 10 << 2 << "Relays"
                                              << "17-24";
    QTest::newRow("Relays to Quendel") << 2 << 7 << 0 << "Quendel"
                                       << "08";
    QTest::newRow("3 to 1") << 3 << 10 << 1 << "QD PC"
                            << "0B";
    QTest::newRow("4 to 2") << 4 << 200 << 2 << "Relays"
                            << "01-08";
    QTest::newRow("5 to 0") << 5 << 253 << 0 << "Quendel"
                            << "FE";
    QTest::newRow("255 to 1") << 255 << 255 << 1 << "QD PC"
                              << "00";
}

void TestLinkEditing::typeCycles() {
    QFETCH(int, stored);
    QFETCH(int, oRef);
    QFETCH(int, next);
    QFETCH(QString, typeCaption);
    QFETCH(QString, refCaption);
    Editing e;
    e.load(33, {1, 0x20, stored, oRef, 0, 0});
    e.markWitness();
    CnfTable expected = e.mod.Cnf;
    expected[cnfOffset(33, OType)] = static_cast<std::uint8_t>(next);

    PickerAnswer answer([](PickerWindow* picker) { picker->reject(); });
    platformClick(e.window.lblOLinkType(33));

    QCOMPARE(answer.seen(), false);
    QVERIFY(e.mod.Cnf == expected); // ORef and the rest kept
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QCOMPARE(e.window.lblOLinkType(33)->text(), typeCaption);
    QCOMPARE(e.window.lblOLinkRef(33)->text(), refCaption);
}

void TestLinkEditing::threeTypeClicksGoRound() {
    Editing e;
    e.load(2, {1, 0, 1, 10, 0, 0});
    QStringList seen;
    for (int click = 0; click < 3; ++click) {
        platformClick(e.window.lblOLinkType(2));
        seen << e.window.lblOLinkType(2)->text() + " " + e.window.lblOLinkRef(2)->text();
    }
    QCOMPARE(seen, (QStringList{"Relays 17-24", "Quendel 0B", "QD PC 0B"}));
    QCOMPARE(e.mod.field(2, OType), std::uint8_t(1));
}

void TestLinkEditing::pickNode_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::newRow("NC") << 4 << 0 << "Node: NC";
    QTest::newRow("1A") << 20 << 26 << "Node: 1A";
    QTest::newRow("FE") << 63 << 254 << "Node: FE";
}

void TestLinkEditing::pickNode() {
    QFETCH(int, slot);
    QFETCH(int, index);
    QFETCH(QString, caption);
    Editing e;
    e.load(slot, {1, 5, 0, 3, 0, 0});
    e.markWitness();
    e.mod.PickResult = 77;
    CnfTable expected = e.mod.Cnf;
    expected[cnfOffset(slot, ONode)] = static_cast<std::uint8_t>(index);

    QString shownCaption;
    bool modifiedMeanwhile = false;
    int pickResultMeanwhile = 0;
    PickerAnswer answer([&](PickerWindow* picker) {
        auto* node = qobject_cast<frmBrevaneNode*>(picker);
        QVERIFY(node != nullptr);
        modifiedMeanwhile = e.mod.Modified;
        pickResultMeanwhile = e.mod.PickResult;
        shownCaption = node->lblQD(index)->text();
        platformClick(node->lblQD(index));
    });
    platformClick(e.window.lblOLinkNode(slot));

    QVERIFY(answer.seen());
    QCOMPARE(answer.leftOpen(), false);
    QCOMPARE(modifiedMeanwhile, true); // set before the picker opened
    QCOMPARE(pickResultMeanwhile, 77); // not reset for the picker
    QCOMPARE(shownCaption, index == 0 ? QStringLiteral("NC") : caption.right(2));
    QCOMPARE(e.mod.PickResult, index);
    QVERIFY(e.mod.Cnf == expected);
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QCOMPARE(e.window.lblOLinkNode(slot)->text(), caption);
    QVERIFY(noPickerLeft());
}

void TestLinkEditing::pickStation_data() {
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Quendel ref 01") << int(RefLabel) << 0 << 0 << "01";
    QTest::newRow("QD PC ref FE") << int(RefLabel) << 1 << 253 << "FE";
    QTest::newRow("incoming 01") << int(InRefLabel) << 2 << 0 << "Quendel NC.01";
    QTest::newRow("incoming FE") << int(InRefLabel) << 2 << 253 << "Quendel NC.FE";
}

void TestLinkEditing::pickStation() {
    QFETCH(int, label);
    QFETCH(int, type);
    QFETCH(int, index);
    QFETCH(QString, caption);
    const bool incoming = label == InRefLabel;
    const int slot = 45;
    Editing e;
    e.load(slot, {incoming ? 0 : 1, 5, type, 100, incoming ? 1 : 0, 100});
    e.markWitness();
    e.mod.PickResult = 77;
    CnfTable expected = e.mod.Cnf;
    expected[cnfOffset(slot, incoming ? IRef : ORef)] = static_cast<std::uint8_t>(index);

    QString className;
    bool modifiedMeanwhile = false;
    int pickResultMeanwhile = 0;
    PickerAnswer answer([&](PickerWindow* picker) {
        className = picker->metaObject()->className();
        modifiedMeanwhile = e.mod.Modified;
        pickResultMeanwhile = e.mod.PickResult;
        auto* station = qobject_cast<frmBrevaneQD*>(picker);
        QVERIFY(station != nullptr);
        platformClick(station->lblQD(index));
    });
    platformClick(labelOf(e.window, Label(label), slot));

    QCOMPARE(className, QStringLiteral("frmBrevaneQD"));
    QCOMPARE(modifiedMeanwhile, true);
    QCOMPARE(pickResultMeanwhile, 77);
    QCOMPARE(e.mod.PickResult, index);
    QVERIFY(e.mod.Cnf == expected);
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QCOMPARE(labelOf(e.window, Label(label), slot)->text(), caption);
}

void TestLinkEditing::pickRelayGroup_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("oRef");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("caption");
    QTest::newRow("01-08 in the first column") << 0 << 5 << 0 << "01-08";
    QTest::newRow("57-64 in the second column") << 40 << 9 << 7 << "57-64";
    QTest::newRow("17-24 at the bottom") << 31 << 0 << 2 << "17-24";
}

void TestLinkEditing::pickRelayGroup() {
    QFETCH(int, slot);
    QFETCH(int, oRef);
    QFETCH(int, group);
    QFETCH(QString, caption);
    Editing e;
    e.load(slot, {1, 5, 2, oRef, 0, 0});
    e.markWitness();
    CnfTable expected = e.mod.Cnf;
    expected[cnfOffset(slot, ORef)] = static_cast<std::uint8_t>(group);
    // Outer corner of the main window plus the label's place in the client area.
    const QPoint place = e.window.frameGeometry().topLeft() + e.window.lblOLinkRef(slot)->pos();

    e.mod.PickResult = 77;
    QPoint opened;
    QPoint openedInside;
    QString className;
    int pickResultMeanwhile = 0;
    PickerAnswer answer([&](PickerWindow* picker) {
        className = picker->metaObject()->className();
        pickResultMeanwhile = e.mod.PickResult;
        opened = picker->frameGeometry().topLeft();
        openedInside = picker->geometry().topLeft();
        platformClick(static_cast<frmBrevaneRelay*>(picker)->lblRelay(group));
    });
    platformClick(e.window.lblOLinkRef(slot));

    QCOMPARE(className, QStringLiteral("frmBrevaneRelay"));
    QCOMPARE(opened, place);
    QCOMPARE(openedInside, place); // frameless
    QCOMPARE(pickResultMeanwhile, 77);
    QCOMPARE(e.mod.PickResult, group);
    QVERIFY(e.mod.Cnf == expected);
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QCOMPARE(e.window.lblOLinkRef(slot)->text(), caption);
}

void TestLinkEditing::cancelled_data() {
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("how");
    const struct {
        const char* name;
        Label label;
        int type;
        const char* className;
    } pickers[] = {{"node", NodeLabel, 0, "frmBrevaneNode"},
                   {"station", RefLabel, 1, "frmBrevaneQD"},
                   {"relays", RefLabel, 2, "frmBrevaneRelay"},
                   {"incoming station", InRefLabel, 0, "frmBrevaneQD"}};
    for (const auto& p : pickers) {
        for (const char* how : {"image", "escape", "close"}) {
            QTest::addRow("%s, %s", p.name, how) << int(p.label) << p.type << p.className << how;
        }
    }
}

// A cancel changes no field, yet the table counts as modified and is redrawn.
void TestLinkEditing::cancelled() {
    QFETCH(int, label);
    QFETCH(int, type);
    QFETCH(QString, className);
    QFETCH(QString, how);
    Editing e;
    e.load(17, {1, 5, type, 6, 1, 7});
    e.markWitness();
    e.mod.PickResult = 3; // a stale earlier pick must not be stored
    const CnfTable before = e.mod.Cnf;

    QString opened;
    PickerAnswer answer([&](PickerWindow* picker) {
        opened = picker->metaObject()->className();
        cancelBy(picker, how);
    });
    platformClick(labelOf(e.window, Label(label), 17));

    QCOMPARE(opened, className);
    QCOMPARE(answer.leftOpen(), false);
    QCOMPARE(e.mod.PickResult, -1);
    QVERIFY(e.mod.Cnf == before);
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QVERIFY(noPickerLeft());
}

void TestLinkEditing::unknownTypeOpensNoPicker_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("refCaption");
    QTest::newRow("3") << 3 << "33-40";
    QTest::newRow("200") << 200 << "33-40";
}

void TestLinkEditing::unknownTypeOpensNoPicker() {
    QFETCH(int, type);
    QFETCH(QString, refCaption);
    Editing e;
    e.load(50, {1, 5, type, 12, 0, 0});
    e.markWitness();
    e.mod.PickResult = 6; // would be stored if read
    const CnfTable before = e.mod.Cnf;

    PickerAnswer answer([](PickerWindow* picker) { picker->reject(); });
    platformClick(e.window.lblOLinkRef(50));

    QCOMPARE(answer.seen(), false);
    QVERIFY(e.mod.Cnf == before);
    QCOMPARE(e.mod.PickResult, 6);
    QCOMPARE(e.mod.Modified, true);
    QVERIFY(e.redrawn());
    QCOMPARE(e.window.lblOLinkRef(50)->text(), refCaption);
}

void TestLinkEditing::mainWindowBlockedWhilePicking_data() {
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("type");
    QTest::newRow("node") << int(NodeLabel) << 0;
    QTest::newRow("station") << int(RefLabel) << 0;
    QTest::newRow("relays") << int(RefLabel) << 2;
}

void TestLinkEditing::mainWindowBlockedWhilePicking() {
    QFETCH(int, label);
    QFETCH(int, type);
    Editing e;
    e.load(8, {1, 5, type, 1, 0, 0});

    bool modal = false;
    PickerAnswer answer([&](PickerWindow* picker) {
        modal = QApplication::activeModalWidget() == picker && picker->isModal();
        platformClick(e.window.chkOLink(3));        // would switch link 04 on
        platformClick(e.window.lblOLinkType(8));    // would step the type
        platformClick(e.window.lblOLinkRef(8), {}); // would open a second picker
        picker->reject();
    });
    platformClick(labelOf(e.window, Label(label), 8));

    QVERIFY(answer.seen());
    QVERIFY(modal);
    QCOMPARE(e.mod.field(3, OEnabled), std::uint8_t(0));
    QCOMPARE(e.mod.field(8, OType), std::uint8_t(type));
    // Once the picker has gone the same click reaches the window again.
    platformClick(e.window.chkOLink(3));
    QCOMPARE(e.mod.field(3, OEnabled), std::uint8_t(1));
}

void TestLinkEditing::appWiresTheCommands() {
    BrevaneApp app{Seams{}};
    app.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&app.window()));
    platformClick(app.window().chkILink(6));
    QCOMPARE(app.mod().field(6, IEnabled), std::uint8_t(1));
    QCOMPARE(app.mod().Modified, true);
    QCOMPARE(app.window().lblILinkRef(6)->foreColor(), Black);

    PickerAnswer answer(
        [](PickerWindow* picker) { platformClick(static_cast<frmBrevaneQD*>(picker)->lblQD(9)); });
    platformClick(app.window().lblILinkRef(6));
    QCOMPARE(app.mod().field(6, IRef), std::uint8_t(9));
    QCOMPARE(app.window().lblILinkRef(6)->text(), QStringLiteral("Quendel NC.0A"));
}

QTEST_MAIN(TestLinkEditing)
#include "tst_linkediting.moc"
