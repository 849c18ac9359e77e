// The File menu, a file named at start-up and a file dropped on the window, on the whole
// program with scripted messages and file dialogs.

#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

#include "app/desktopreport.h"
#include "app/startup.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/keybox.h"
#include "platform/folders.h"
#include "tests/support/modalanswer.h"
#include "tests/support/testhome.h"
#include "tests/support/windowrig.h"

namespace {

const QString BrvEntry = QStringLiteral("Tessaly Brevane Files (*.BRV)");
const QString AllEntry = QStringLiteral("All Files (*.*)");
const QString FileError = QStringLiteral("File Error|Critical|Ok|Ok|");

// A file in the test's home folder.
QString path(const QString& name) {
    return QDir::home().filePath(name);
}

// The table's non-zero bytes as "slot.field=HH" ("4.ONode=1A"), in table order.
QString nonZeroBytes(const CnfTable& cnf) {
    const QMap<int, QString> names{
        {OEnabled, "OEnabled"},   {ONode, "ONode"},         {OType, "OType"},
        {ORef, "ORef"},           {IEnabled, "IEnabled"},   {IRef, "IRef"},
        {Reserved6, "Reserved6"}, {Reserved7, "Reserved7"}, {KeyChar, "KeyChar"}};
    QStringList bytes;
    for (int slot = 0; slot < LinkSlots; ++slot) {
        for (int field = 0; field < FieldsPerSlot; ++field) {
            if (const int value = cnf[cnfOffset(slot, field)]; value != 0) {
                bytes << QString::asprintf("%d.%s=%02X", slot, qPrintable(names[field]), value);
            }
        }
    }
    return bytes.join(QLatin1Char(' '));
}

// Everything a file command may change; a fresh one is the program's start.
struct FileState {
    // Each field has an initializer, so a designated initializer may leave any out.
    QString table{}; // nonZeroBytes of Cnf
    QString OKey{};
    QString IKey{};
    QString oKeyBox{}; // what the key boxes show
    QString iKeyBox{};
    QString CnfPath = QStringLiteral("None");
    QString fileLabel = QStringLiteral(" None");
    bool Modified = false;

    bool operator==(const FileState&) const = default;
};

// So that QCOMPARE shows two states field by field.
char* toString(const FileState& s) {
    return qstrdup(QStringLiteral("table {%1}, OKey \"%2\", IKey \"%3\", key boxes \"%4\" \"%5\", "
                                  "CnfPath \"%6\", label \"%7\", Modified %8")
                       .arg(s.table, s.OKey, s.IKey, s.oKeyBox, s.iKeyBox, s.CnfPath, s.fileLabel,
                            s.Modified ? "true" : "false")
                       .toUtf8()
                       .constData());
}

// good.BRV (link 02 outgoing on, outgoing key "AB") just read.
FileState goodOpened() {
    const QString shown = QDir::toNativeSeparators(path("good.BRV"));
    return {.table = "0.KeyChar=41 1.OEnabled=01 1.KeyChar=42",
            .OKey = "AB",
            .oKeyBox = "AB",
            .CnfPath = shown,
            .fileLabel = " " + shown};
}

// The whole program shown, its messages and file dialogs answered from scripts.
struct FileWindowRig final : WindowRig {
    QString dropped = path("good.BRV"); // the file "drop" drops

    FileWindowRig() { window().show(); }
    // A File menu command by its caption, or "drop": the file dropped on the window.
    void run(const QString& command) {
        frmBrevaneMain& w = window();
        if (command == "drop") { // dragged in over a key box, which would take it as text
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(dropped)});
            data.setText(dropped);
            QDragEnterEvent enter({4, 4}, Qt::CopyAction, &data, Qt::LeftButton, {});
            QDropEvent drop({4, 4}, Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(w.txtOKey(), &enter);
            if (enter.isAccepted()) {
                QApplication::sendEvent(w.txtOKey(), &drop);
                QCoreApplication::processEvents();
            }
            return;
        }
        QMap<QString, QAction*>{{"New", w.mnuFileNew()},
                                {"Open", w.mnuFileOpen()},
                                {"Save", w.mnuFileSave()},
                                {"Save As", w.mnuFileSaveAs()},
                                {"Exit", w.mnuExit()}}
            .value(command)
            ->trigger();
    }
    FileState state() {
        return {.table = nonZeroBytes(mod().Cnf),
                .OKey = mod().OKey,
                .IKey = mod().IKey,
                .oKeyBox = window().txtOKey()->text(),
                .iKeyBox = window().txtIKey()->text(),
                .CnfPath = mod().CnfPath,
                .fileLabel = window().lblFileName()->text(),
                .Modified = mod().Modified};
    }
    // Unsaved edits through the window (table "4.OEnabled=01 4.ONode=1A"), and a key box, "Zq",
    // that differs from OKey.
    void edit() {
        mod().field(4, ONode) = 0x1A;
        window().chkOLink(4)->click();
        window().txtOKey()->clear();
        QTest::keyClicks(window().txtOKey(), QStringLiteral("Zq"));
    }
    static QByteArray bytes(const CnfTable& cnf) {
        return QByteArray(reinterpret_cast<const char*>(cnf.data()), CnfBytes);
    }
};

bool writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        useFreshHome();
        CnfTable good{};
        good[cnfOffset(1, OEnabled)] = 1;  // link 02 outgoing on
        good[cnfOffset(0, KeyChar)] = 'A'; // outgoing key "AB"
        good[cnfOffset(1, KeyChar)] = 'B';
        for (const char* name : {"good.BRV", "a.BRV", "b.BRV"}) {
            QVERIFY(writeRaw(path(name), FileWindowRig::bytes(good)));
        }
    }
    void roundTrip() {
        FileWindowRig rig;
        rig.edit();
        QTest::keyClicks(rig.window().txtIKey(), QStringLiteral("x!9"));
#ifdef Q_OS_WIN
        const QString file = path("Hall &amp; 1.BRV"); // no < or > in a Windows name
#else
        const QString file = path("<b>Hall &amp; 1.BRV"); // shown as it stands
#endif
        const QString shown = QDir::toNativeSeparators(file);
        // The edits and both keys packed into field 8, under the file's name.
        const FileState named{.table = "0.KeyChar=5A 1.KeyChar=71 4.OEnabled=01 4.ONode=1A "
                                       "8.KeyChar=78 9.KeyChar=21 10.KeyChar=39",
                              .OKey = "Zq",
                              .IKey = "x!9",
                              .oKeyBox = "Zq",
                              .iKeyBox = "x!9",
                              .CnfPath = shown,
                              .fileLabel = " " + shown};
        QVERIFY(writeRaw(file, QByteArray(1000, 'z'))); // replaced by 576 bytes
        rig.messages.names << file;
        rig.run("Save As");
        QCOMPARE(rig.state(), named);
        QCOMPARE(rig.window().lblFileName()->textFormat(), Qt::PlainText);
        const QByteArray saved = FileWindowRig::bytes(rig.mod().Cnf);
        QCOMPARE(readRaw(file), saved);

        rig.run("New"); // nothing unsaved, nothing asked
        QCOMPARE(rig.state(), FileState{});
        QByteArray holed = saved; // a key byte after a 0: skipped, yet kept in place
        holed[cnfOffset(1, KeyChar)] = 0;
        holed[cnfOffset(2, KeyChar)] = 'q';
        QVERIFY(writeRaw(file, holed + QByteArray(424, 'x'))); // only 576 bytes read
        rig.messages.names << file;
        rig.run("Open");
        FileState opened = named; // read as it stands, nothing repacked
        opened.table = "0.KeyChar=5A 2.KeyChar=71 4.OEnabled=01 4.ONode=1A 8.KeyChar=78 "
                       "9.KeyChar=21 10.KeyChar=39";
        QCOMPARE(rig.state(), opened);
        QCOMPARE(rig.window().lblOLinkNode(4)->text(), QStringLiteral("Node: 1A"));

        // Typing alone marks a change; Save to the named file asks nothing and packs the keys.
        QTest::keyClicks(rig.window().txtIKey(), QStringLiteral("w"));
        QCOMPARE(rig.mod().Modified, true);
        rig.run("Save");
        QCOMPARE(rig.messages.dialogs.size(), 2);
        QCOMPARE(rig.boxes(), QStringList()); // nothing asked all along
        QCOMPARE(rig.mod().Modified, false);
        QCOMPARE(readRaw(file).at(cnfOffset(11, KeyChar)), 'w'); // the third of the incoming key
    }
    // A file that cannot be read or written is reported with the system's reason, and the
    // state stays (which files are refused and why: tst_cli_files, on the same reader).
    void refused_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Open, missing") << "Open";
        QTest::newRow("Save onto a folder") << "Save";
        QTest::newRow("Save As onto a folder") << "Save As";
    }
    void refused() {
        QFETCH(QString, command);
        const QString bad = path(QTest::currentDataTag());
        QVERIFY(command == "Open" || QDir().mkpath(bad));
        FileWindowRig rig;
        rig.edit();
        rig.mod().CnfPath = bad; // where Save writes
        FileState expected = rig.state();
        if (command != "Open") { // a refused save has still packed the key boxes
            expected.table = "0.KeyChar=5A 1.KeyChar=71 4.OEnabled=01 4.ONode=1A";
            expected.OKey = "Zq";
        }
        rig.messages.names << bad;
        rig.run(command); // Open asks the discard question first
        QCOMPARE(rig.boxes().size(), command == "Open" ? 2 : 1);
        const QString head = FileError + "Unable To " + (command == "Open" ? "Open" : "Save") +
                             " File\n" + QDir::toNativeSeparators(bad) + "\n";
        const QString error = rig.boxes().last();
        QCOMPARE(error.left(head.size()), head);
        QCOMPARE(error.size() > head.size(), true);
        QCOMPARE(rig.state(), expected);
    }
    // The question before anything unsaved is dropped; a Yes goes on, anything else leaves
    // it all. Open's dialog chooses good.BRV.
    void discardQuestion_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("visible");  // the window afterwards
        QTest::addColumn<int>("dialogs");   // Open's file dialog shown
        QTest::addColumn<QString>("after"); // "kept", "emptied" or "good.BRV" read
        const std::pair<QString, const char*> commands[] = {
            {"New", "emptied"}, {"Open", "good.BRV"}, {"Exit", "kept"}, {"drop", "good.BRV"}};
        for (const auto& [command, after] : commands) {
            const QByteArray name = command.toUtf8();
            QTest::addRow("%s, Yes", name.data())
                << command << true << int(QMessageBox::Yes) << (command != "Exit")
                << int(command == "Open") << after;
            QTest::addRow("%s, No", name.data())
                << command << true << int(QMessageBox::No) << true << 0 << "kept";
            QTest::addRow("%s, nothing to ask", name.data())
                << command << false << int(QMessageBox::No) << (command != "Exit")
                << int(command == "Open") << after;
        }
    }
    void discardQuestion() {
        QFETCH(QString, command);
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(QString, after);
        FileWindowRig rig;
        rig.edit();
        rig.mod().Modified = modified;
        const FileState before = rig.state();
        rig.messages.answer = QMessageBox::StandardButton(answer);
        rig.messages.names << path("good.BRV");
        rig.run(command);
        QCOMPARE(rig.boxes(), modified ? QStringList{DiscardBox} : QStringList());
        QTEST(rig.window().isVisible(), "visible");
        QTEST(int(rig.messages.dialogs.size()), "dialogs");
        // A replaced table holds no unsaved edits; answering alone clears nothing.
        const FileState expected = after == "kept"      ? before
                                   : after == "emptied" ? FileState{}
                                                        : goodOpened();
        QCOMPARE(rig.state(), expected);
    }
    void dialogNames_data() {
        // Steps "command: name box shown -> name chosen"; "empty" is an empty name box,
        // "cancel" no choice, "preset" the first dialog's pattern, other words are files in
        // the test folder.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("Save As first, then Open") << QStringList{
            "Save As: preset -> a",    "Save As: a -> b",      "Open: empty -> a",
            "Save As: a -> cancel",    "Save As: a -> cancel", "Open: empty -> cancel",
            "Save As: empty -> cancel"};
        QTest::newRow("Open first, then Save As")
            << QStringList{"Open: preset -> a", "Save As: a -> b", "Open: empty -> cancel",
                           "Save As: empty -> a", "Open: empty -> b"};
        QTest::newRow("Save without a file uses the Save dialog")
            << QStringList{"Save: preset -> cancel", "Save: preset -> preset", "Save: preset -> a",
                           "Save As: a -> cancel"};
    }
    void dialogNames() {
        QFETCH(QStringList, steps);
#ifdef Q_OS_WIN
        const QString preset = QStringLiteral("C:/Orvik Tessaly Net/Brevane/*.BRV");
#else
        const QString preset = path("Orvik Tessaly Net/Brevane/*.BRV");
#endif
        const auto nameOf = [&](const QString& word) {
            return word == "empty" || word == "cancel" ? QString()
                   : word == "preset"                  ? preset
                                                       : path(word + ".BRV");
        };
        FileWindowRig rig;
        rig.edit();
        for (const QString& step : steps) {
            const QString command = step.section(": ", 0, 0);
            const QString shown = step.section(": ", 1).section(" -> ", 0, 0);
            const QString chosen = step.section(" -> ", 1);
            const FileState before = rig.state();
            rig.messages.dialogs.clear();
            rig.messages.names = {nameOf(chosen)};
            rig.run(command);
            QCOMPARE(rig.messages.dialogs.size(), 1);
            const auto& [save, request] = rig.messages.dialogs.last();
            QCOMPARE(save, command != "Open");
            QCOMPARE(request.fileName, nameOf(shown));
            QCOMPARE(QStringList(request.nameFilters) << request.selectedNameFilter,
                     (QStringList{BrvEntry, AllEntry, BrvEntry}));
            // No choice changes nothing; a file chosen becomes the current one.
            if (chosen == "cancel" || chosen == "preset") {
                QCOMPARE(rig.state(), before);
            } else {
                QCOMPARE(rig.state().CnfPath, QDir::toNativeSeparators(nameOf(chosen)));
            }
        }
        QCOMPARE(QDir(defaultFolder()).entryList(QDir::Files), QStringList());
    }
    // The real message box shows the message as given, as plain text (a path is never taken
    // as markup), and the clicked button is the answer.
    void realMessageBox() {
        const Message question{"Unable To Open File\n<b>Hall &amp; 1.BRV", "Orvik Brevane",
                               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes};
        Qt::TextFormat format = Qt::AutoText;
        QString seen;
        ModalAnswer answer([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            format = box->textFormat();
            seen =
                boxText(Message{box->text(), box->windowTitle(), box->icon(),
                                box->standardButtons(), box->standardButton(box->defaultButton())});
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(SystemMessageBoxes().show(nullptr, question), QMessageBox::No);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(seen,
                 "Orvik Brevane|Question|Yes,No|Yes|Unable To Open File\n<b>Hall &amp; 1.BRV");
    }

    // Without the dialog: a name given at start-up, relative to the working folder, or a
    // dropped *.BRV file (above); other dropped files are not taken.
    void openWithoutDialog() {
        const StartUp two = parseStartUp({"brevane", "good.BRV", "short.brv"});
        QCOMPARE(two.action, StartUp::Refuse);
        QCOMPARE(two.text, "brevane: one file at most, not 2 (see 'brevane --help')\n");
        QVERIFY(QDir::setCurrent(QDir::homePath()));
        const StartUp one = parseStartUp({"brevane", "good.BRV"});
        QCOMPARE(one.action, StartUp::Run);
        QCOMPARE(parseStartUp({"brevane", "--report"}).text,
                 "brevane: --report needs a file (see 'brevane --help')\n");
        FileWindowRig rig;
        rig.dropped = path("good.txt");
        rig.run("drop");
        QCOMPARE(rig.state(), FileState{});
        rig.app->fileCommands().openFile(one.file);
        QCOMPARE(rig.boxes(), QStringList());
        QCOMPARE(rig.state(), goodOpened());
    }

    // brevane FILE --report, no window: the site record beside the file, shown in the
    // viewer; a box when there is none to show it, or when nothing could be written.
    void reportFromDesktop_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<QString>("box");
        const QString pdf = QDir::toNativeSeparators(path("good.pdf"));
        QTest::newRow("shown") << "good.BRV" << true << QString();
        QTest::newRow("no viewer")
            << "good.BRV" << false
            << "Site record|Information|Ok|Ok|The site record was written to\n" + pdf +
                   "\nNo program to show PDF files is set up on this computer.";
        QTest::newRow("short file")
            << "short.brv" << true
            << "Site record|Critical|Ok|Ok|No site record was written.\nCannot read " +
                   QDir::toNativeSeparators(path("short.brv")) +
                   ": The file holds 575 bytes; a configuration file holds 576.";
    }
    void reportFromDesktop() {
        QFETCH(QString, file);
        QFETCH(bool, viewer);
        QFETCH(QString, box);
        QVERIFY(writeRaw(path("short.brv"), QByteArray(575, '\1')));
        QFile::remove(path("good.pdf"));
        const StartUp startUp = parseStartUp({"brevane", path(file), "--report"});
        QCOMPARE(startUp.action, StartUp::Report);
        ScriptedUser user;
        QStringList shown;
        const int status = ::reportFromDesktop(startUp.file, user, [&](const QString& pdf) {
            shown << pdf;
            return viewer;
        });
        const bool written = file == "good.BRV";
        QCOMPARE(status, written ? 0 : 2);
        QCOMPARE(QFileInfo(path("good.pdf")).size() > 10000, written);
        QCOMPARE(QFile::exists(path("short.pdf")), false);
        QCOMPARE(shown,
                 written ? QStringList{QDir::toNativeSeparators(path("good.pdf"))} : QStringList());
        QStringList boxes;
        for (const Message& message : user.shown) {
            boxes << boxText(message);
        }
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList{box});
    }
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
