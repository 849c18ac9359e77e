// The File menu, a file named at start-up and a file dropped on the window, on the whole
// program with scripted messages and file dialogs.

#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

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

enum Command { New, Open, Save, SaveAs, Exit, Drop };

// The whole program shown, its messages and file dialogs answered from scripts.
struct Harness final : WindowRig {
    QString dropped = path("good.BRV"); // the file Drop drops

    Harness() { window().show(); }
    void run(int command) {
        frmBrevaneMain& w = window();
        if (command == Drop) { // dragged in over a key box, which would take it as text
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
        QList<QAction*>{w.mnuFileNew(), w.mnuFileOpen(), w.mnuFileSave(), w.mnuFileSaveAs(),
                        w.mnuExit()}
            .at(command)
            ->trigger();
    }
    // Everything a refused or cancelled command must leave alone.
    QStringList state() {
        return {QString::fromLatin1(bytes(mod().Cnf).toHex()),
                mod().OKey,
                mod().IKey,
                window().txtOKey()->text(),
                window().txtIKey()->text(),
                mod().CnfPath,
                window().lblFileName()->text(),
                mod().Modified ? "modified" : "saved"};
    }
    // Unsaved edits through the window, and a key box that differs from OKey.
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
        QByteArray good(576, '\0');
        good[9] = 1;   // link 02 outgoing on
        good[8] = 'A'; // outgoing key "AB"
        good[17] = 'B';
        for (const char* name : {"good.BRV", "a.BRV", "b.BRV"}) {
            QVERIFY(writeRaw(path(name), good));
        }
    }
    void roundTrip() {
        Harness h;
        h.edit();
        QTest::keyClicks(h.window().txtIKey(), QStringLiteral("x!9"));
#ifdef Q_OS_WIN
        const QString file = path("Hall &amp; 1.BRV"); // no < or > in a Windows name
#else
        const QString file = path("<b>Hall &amp; 1.BRV"); // shown as it stands
#endif
        const QString shown = QDir::toNativeSeparators(file);
        const QStringList named{"Zq", "x!9", "Zq", "x!9", shown, " " + shown, "saved"};
        QVERIFY(writeRaw(file, QByteArray(1000, 'z'))); // replaced by 576 bytes
        h.messages.names << file;
        h.run(SaveAs);
        QCOMPARE(h.state().mid(1), named);
        QCOMPARE(h.window().lblFileName()->textFormat(), Qt::PlainText);
        const QByteArray saved = Harness::bytes(h.mod().Cnf);
        QCOMPARE(readRaw(file), saved);
        QCOMPARE(saved.mid(8, 10), QByteArray("Z\0\0\0\0\0\0\0\0q", 10)); // field 8 of slots 0, 1

        h.run(New); // nothing unsaved, nothing asked
        QCOMPARE(h.state().mid(3), (QStringList{"", "", "None", " None", "saved"}));
        QByteArray holed = saved; // a key byte after a 0: skipped, yet kept in place
        holed[1 * 9 + 8] = 0;
        holed[2 * 9 + 8] = 'q';
        QVERIFY(writeRaw(file, holed + QByteArray(424, 'x'))); // only 576 bytes read
        h.messages.names << file;
        h.run(Open);
        QCOMPARE(h.state().mid(1), named);
        QCOMPARE(Harness::bytes(h.mod().Cnf), holed); // read as it stands, nothing repacked
        QCOMPARE(h.window().lblOLinkNode(4)->text(), QStringLiteral("Node: 1A"));

        // Typing alone marks a change; Save to the named file asks nothing and packs the keys.
        QTest::keyClicks(h.window().txtIKey(), QStringLiteral("w"));
        QCOMPARE(h.mod().Modified, true);
        h.run(Save);
        QCOMPARE(h.messages.dialogs.size(), 2);
        QCOMPARE(h.boxes(), QStringList()); // nothing asked all along
        QCOMPARE(h.mod().Modified, false);
        QCOMPARE(readRaw(file).at(11 * 9 + 8), 'w'); // the third of the incoming key
    }
    // A file that cannot be read or written is reported with the system's reason, and the
    // state stays (which files are refused and why: tst_cli_files, on the same reader).
    void refused_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("Open, missing") << int(Open);
        QTest::newRow("Save onto a folder") << int(Save);
        QTest::newRow("Save As onto a folder") << int(SaveAs);
    }
    void refused() {
        QFETCH(int, command);
        const QString bad = path(QTest::currentDataTag());
        QVERIFY(command == Open || QDir().mkpath(bad));
        Harness h;
        h.edit();
        h.mod().CnfPath = bad; // where Save writes
        const QStringList before = h.state();
        h.messages.names << bad;
        h.run(command); // Open asks the discard question first
        QCOMPARE(h.boxes().size(), command == Open ? 2 : 1);
        const QString head = FileError + "Unable To " + (command == Open ? "Open" : "Save") +
                             " File\n" + QDir::toNativeSeparators(bad) + "\n";
        const QString error = h.boxes().last();
        QCOMPARE(error.left(head.size()), head);
        QCOMPARE(error.size() > head.size(), true);
        // A refused save has packed the key boxes into the table, OKey and IKey, nothing else.
        QCOMPARE(h.state().mid(3), before.mid(3));
    }
    // The question before anything unsaved is dropped; a Yes goes on, anything else leaves
    // it all (the key box shows what is left: typed, emptied by New or read from good.BRV,
    // which Open's dialog chooses).
    void discardQuestion_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("visible"); // the window afterwards
        QTest::addColumn<int>("dialogs");  // Open's file dialog shown
        QTest::addColumn<QString>("key");  // the outgoing key box afterwards
        const std::tuple<const char*, Command, const char*> commands[] = {
            {"New", New, ""}, {"Open", Open, "AB"}, {"Exit", Exit, "Zq"}, {"drop", Drop, "AB"}};
        for (const auto& [name, command, key] : commands) {
            QTest::addRow("%s, Yes", name) << int(command) << true << int(QMessageBox::Yes)
                                           << (command != Exit) << int(command == Open) << key;
            QTest::addRow("%s, No", name)
                << int(command) << true << int(QMessageBox::No) << true << 0 << "Zq";
            QTest::addRow("%s, nothing to ask", name)
                << int(command) << false << int(QMessageBox::No) << (command != Exit)
                << int(command == Open) << key;
        }
    }
    void discardQuestion() {
        QFETCH(int, command);
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(QString, key);
        Harness h;
        h.edit();
        h.mod().Modified = modified;
        const QStringList before = h.state();
        h.messages.answer = QMessageBox::StandardButton(answer);
        h.messages.names << path("good.BRV"); // what Open's dialog chooses
        h.run(command);
        QCOMPARE(h.boxes(), modified ? QStringList{DiscardBox} : QStringList());
        QTEST(h.window().isVisible(), "visible");
        QTEST(int(h.messages.dialogs.size()), "dialogs");
        QCOMPARE(h.window().txtOKey()->text(), key);
        QCOMPARE(h.state() == before, key == "Zq");
        // A table replaced by New, Open or a drop holds no unsaved edits.
        QCOMPARE(h.mod().Modified, modified && key == "Zq");
    }
    void dialogNames_data() {
        // Steps "command:name box expected:answer"; "-" is empty, "preset" the first
        // dialog's pattern, other words are files in the test folder.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("Save As first, then Open")
            << QStringList{"3:preset:a", "3:a:b", "1:-:a", "3:a:-", "3:a:-", "1:-:-", "3:-:-"};
        QTest::newRow("Open first, then Save As")
            << QStringList{"1:preset:a", "3:a:b", "1:-:-", "3:-:a", "1:-:b"};
        QTest::newRow("Save without a file uses the Save dialog")
            << QStringList{"2:preset:-", "2:preset:preset", "2:preset:a", "3:a:-"};
    }
    void dialogNames() {
        QFETCH(QStringList, steps);
#ifdef Q_OS_WIN
        const QString preset = QStringLiteral("C:/Orvik Tessaly Net/Brevane/*.BRV");
#else
        const QString preset = path("Orvik Tessaly Net/Brevane/*.BRV");
#endif
        const auto nameOf = [&](const QString& word) {
            return word == "-" ? QString() : word == "preset" ? preset : path(word + ".BRV");
        };
        Harness h;
        h.edit();
        for (const QString& step : steps) {
            const QStringList parts = step.split(QLatin1Char(':'));
            const QStringList before = h.state();
            h.messages.dialogs.clear();
            h.messages.names = {nameOf(parts.at(2))};
            h.run(parts.at(0).toInt());
            QCOMPARE(h.messages.dialogs.size(), 1);
            // No choice changes nothing; a file chosen changes at least the name.
            QCOMPARE(h.state() == before, parts.at(2) == "-" || parts.at(2) == "preset");
            const auto& [save, request] = h.messages.dialogs.last();
            QCOMPARE(save, parts.at(0) != "1");
            QCOMPARE(request.fileName, nameOf(parts.at(1)));
            QCOMPARE(QStringList(request.nameFilters) << request.selectedNameFilter,
                     (QStringList{BrvEntry, AllEntry, BrvEntry}));
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
        Harness h;
        h.dropped = path("good.txt");
        h.run(Drop);
        QCOMPARE(h.mod().CnfPath, "None");
        h.app->fileCommands().openFile(one.file);
        QCOMPARE(h.boxes(), QStringList());
        const QString shown = QDir::toNativeSeparators(path("good.BRV"));
        QCOMPARE(h.state().mid(1), (QStringList{"AB", "", "AB", "", shown, " " + shown, "saved"}));
    }
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
