// The File menu on the whole program, with scripted messages and file dialogs.

#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "app/brevaneapp.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/keybox.h"
#include "platform/folders.h"
#include "platform/messageboxes.h"
#include "tests/support/modalanswer.h"
#include "tests/support/testhome.h"

namespace {

const QString BrvEntry = QStringLiteral("Tessaly Brevane Files (*.BRV)");
const QString AllEntry = QStringLiteral("All Files (*.*)");
// Title, icon, buttons and default button (hexadecimal), then the text.
const QString Discard = QStringLiteral("Orvik Brevane|4|14000|4000|Discard Any Changes?");
const QString FileError = QStringLiteral("File Error|3|400|400|");

QString boxOf(const Message& m) {
    return QStringLiteral("%1|%2|%3|%4|")
               .arg(m.title)
               .arg(int(m.icon))
               .arg(int(m.buttons), 0, 16)
               .arg(int(m.defaultButton), 0, 16) +
           m.text;
}

// Answers messages and file dialogs from scripts (no answer: a refusal, a cancel) and
// keeps what was asked.
struct Scripted final : MessageBoxes, FileDialogs {
    QStringList asked;
    QList<QMessageBox::StandardButton> answers;
    QList<std::pair<bool, FileDialogRequest>> dialogs; // Save?, request
    QStringList names;

    QMessageBox::StandardButton show(QWidget*, const Message& message) override {
        asked << boxOf(message);
        return answers.isEmpty() ? QMessageBox::NoButton : answers.takeFirst();
    }
    QString getOpenFileName(QWidget*, const FileDialogRequest& request) override {
        dialogs << std::pair{false, request};
        return names.isEmpty() ? QString() : names.takeFirst();
    }
    QString getSaveFileName(QWidget*, const FileDialogRequest& request) override {
        dialogs << std::pair{true, request};
        return names.isEmpty() ? QString() : names.takeFirst();
    }
};

enum Command { New, Open, Save, SaveAs, Exit, CloseBox };

struct Harness {
    Scripted script;
    SystemMessageBoxes systemMessages;
    BrevaneApp app;

    explicit Harness(bool realMessages = false)
        : app(Seams{.messages =
                        realMessages ? static_cast<MessageBoxes*>(&systemMessages) : &script,
                    .fileDialogs = &script}) {
        app.window().show();
    }
    ModBrevane& mod() { return app.mod(); }
    frmBrevaneMain& window() { return app.window(); }
    void run(int command) {
        frmBrevaneMain& w = window();
        if (command == CloseBox) { // what the window system sends for the close box
            QCloseEvent close;
            QCoreApplication::sendEvent(w.windowHandle(), &close);
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
    void initTestCase() { useFreshHome(); }
    void roundTrip() {
        Harness h;
        h.edit();
        h.mod().field(20, KeyChar) = 7; // carried, belongs to no key
        QTest::keyClicks(h.window().txtIKey(), QStringLiteral("x!9"));
        const QString file = path("<b>Hall &amp; 1.BRV"); // shown as it stands
        QVERIFY(writeRaw(file, QByteArray(1000, 'z')));   // replaced by 576 bytes
        h.script.names << file;
        h.run(SaveAs);
        QCOMPARE(h.script.asked, QStringList());
        QCOMPARE(h.state().mid(1),
                 (QStringList{"Zq", "x!9", "Zq", "x!9", file, " " + file, "saved"}));
        QCOMPARE(h.window().lblFileName()->textFormat(), Qt::PlainText);
        const QByteArray saved = Harness::bytes(h.mod().Cnf);
        QCOMPARE(readRaw(file), saved);
        QCOMPARE(saved.mid(8, 10), QByteArray("Z\0\0\0\0\0\0\0\0q", 10)); // field 8 of slots 0, 1
        QCOMPARE(saved.at(36), '\1');                                     // slot 4's OEnabled
        QCOMPARE(saved.at(188), '\7');                                    // slot 20's field 8

        h.run(New); // nothing unsaved, nothing asked
        QCOMPARE(h.state().mid(3), (QStringList{"", "", "None", " None", "saved"}));
        QByteArray holed = saved; // a key byte after a 0: skipped, yet kept in place
        holed[1 * 9 + 8] = 0;
        holed[2 * 9 + 8] = 'q';
        QVERIFY(writeRaw(file, holed + QByteArray(424, 'x'))); // only 576 bytes read
        h.script.names << file;
        h.run(Open);
        QCOMPARE(h.state().mid(1),
                 (QStringList{"Zq", "x!9", "Zq", "x!9", file, " " + file, "saved"}));
        QCOMPARE(Harness::bytes(h.mod().Cnf), holed); // read as it stands, nothing repacked
        QCOMPARE(h.window().lblOLinkNode(4)->text(), QStringLiteral("Node: 1A"));

        // Typing alone marks a change; Save to the named file asks nothing and packs the keys.
        QTest::keyClicks(h.window().txtIKey(), QStringLiteral("w"));
        QCOMPARE(h.mod().Modified, true);
        h.run(Save);
        QCOMPARE(h.script.dialogs.size(), 2);
        QCOMPARE(h.script.asked, QStringList());
        QCOMPARE(h.mod().Modified, false);
        const QByteArray gap(8, '\0'); // fields 0-7 of the next slot
        QCOMPARE(readRaw(file).mid(9 * 9 + 8, 19), "!" + gap + "9" + gap + "w"); // slots 9-11
    }
    // A file that cannot be read or written is reported; every file and the state stay.
    void refused_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("target"); // "short", "missing", "old" or "read-only"
        QTest::addColumn<QString>("reason"); // empty: the system's text, whatever it is
        QTest::newRow("Open, one byte short")
            << int(Open) << "short"
            << "The file holds 575 bytes; a configuration file holds 576.";
        QTest::newRow("Open, missing") << int(Open) << "missing"
                                       << "";
        QTest::newRow("Save onto a file become a folder") << int(Save) << "old"
                                                          << "";
        QTest::newRow("Save As into a read-only folder") << int(SaveAs) << "read-only"
                                                         << "";
    }
    void refused() {
        QFETCH(int, command);
        QFETCH(QString, target);
        QFETCH(QString, reason);
        const QString sub = path(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(sub));
        auto restore = qScopeGuard([sub] {
            QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        Harness h;
        const QString old = sub + "/old.BRV";
        h.script.names << old;
        h.run(SaveAs);
        const QString bad = target == "old" ? old : sub + "/bad.BRV";
        QVERIFY(target != "short" || writeRaw(bad, QByteArray(575, '\1')));
        QVERIFY(target != "read-only" || writeRaw(bad, QByteArray(1000, 'k')));
        QVERIFY(target != "old" || QFile::remove(old));
        QVERIFY(target != "old" || QDir().mkpath(bad));
        if (target == "read-only") {
            QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
            if (writeRaw(sub + "/probe", "p")) {
                QSKIP("this user writes into read-only folders (root)");
            }
        }
        const QByteArray oldBytes = readRaw(old);
        const QByteArray badBytes = readRaw(bad);
        h.edit();
        const QStringList before = h.state();
        h.script.asked.clear();
        h.script.answers = {QMessageBox::Yes}; // to the discard question before an Open
        h.script.names << bad;
        h.run(command);
        const QString action = command == Open ? "Open" : "Save";
        QCOMPARE(h.script.asked.mid(0, h.script.asked.size() - 1),
                 command == Open ? QStringList{Discard} : QStringList());
        const QString head = FileError + "Unable To " + action + " File\n" + bad + "\n";
        const QString error = h.script.asked.last();
        QCOMPARE(error.left(head.size()), head);
        QVERIFY(error.size() > head.size());
        QVERIFY(reason.isEmpty() || error.mid(head.size()) == reason);
        // A refused save has packed the key boxes into OKey and IKey, nothing else.
        const int packed = command == Open ? 0 : 3;
        QCOMPARE(h.state().mid(packed), before.mid(packed));
        QCOMPARE(h.mod().OKey, command == Open ? "" : "Zq");
        QCOMPARE(readRaw(old), oldBytes);
        QCOMPARE(readRaw(bad), badBytes);
    }
    void discardQuestion_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("visible"); // the window afterwards
        QTest::addColumn<int>("dialogs");  // Open's file dialog shown
        const std::pair<const char*, Command> commands[] = {
            {"New", New}, {"Open", Open}, {"Exit", Exit}, {"close box", CloseBox}};
        for (const auto& [name, command] : commands) {
            const bool closes = command == Exit || command == CloseBox;
            QTest::addRow("%s, Yes", name)
                << int(command) << true << int(QMessageBox::Yes) << !closes << int(command == Open);
            QTest::addRow("%s, No", name)
                << int(command) << true << int(QMessageBox::No) << true << 0;
            QTest::addRow("%s, nothing to ask", name)
                << int(command) << false << int(QMessageBox::No) << !closes << int(command == Open);
        }
    }
    void discardQuestion() {
        QFETCH(int, command);
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(bool, visible);
        QFETCH(int, dialogs);
        Harness h;
        h.edit();
        h.mod().Modified = modified;
        const QStringList before = h.state();
        h.script.answers = {QMessageBox::StandardButton(answer), QMessageBox::No};
        h.run(command);
        QCOMPARE(h.script.asked, modified ? QStringList{Discard} : QStringList());
        QCOMPARE(h.window().isVisible(), visible);
        QCOMPARE(h.script.dialogs.size(), dialogs);
        // New after a Yes clears everything; anything else (a No, a closed window, a
        // cancelled Open) leaves it all.
        const bool cleared = command == New && (answer == QMessageBox::Yes || !modified);
        QCOMPARE(h.state() == before, !cleared);
        QCOMPARE(h.window().chkOLink(4)->isChecked(), !cleared);
    }
    // Answering does not clear Modified: the next try asks again.
    void askedAgainAfterNo() {
        Harness h;
        h.edit();
        h.run(Exit);
        h.run(New);
        QCOMPARE(h.script.asked, (QStringList{Discard, Discard}));
    }
    void dialogNames_data() {
        // Steps "command:name box expected:answer"; "-" is empty, "preset" the first
        // dialog's pattern, "none" no dialog at all, other words are files in the test folder.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("Save As first, then Open")
            << QStringList{"3:preset:a", "3:a:b", "1:-:a", "3:a:-", "3:a:-", "1:-:-", "3:-:-"};
        QTest::newRow("Open first, then Save As")
            << QStringList{"1:preset:a", "3:a:b", "1:-:-", "3:-:a", "1:-:b"};
        QTest::newRow("Save without a file uses the Save dialog")
            << QStringList{"2:preset:-", "2:preset:preset", "2:preset:a", "2:none:-",
                           "3:a:-",      "0:none:-",        "2:a:-"};
    }
    void dialogNames() {
        QFETCH(QStringList, steps);
        const QString preset =
            QDir::homePath() + QStringLiteral("/Orvik Tessaly Net/Brevane/*.BRV");
        const auto nameOf = [&](const QString& word) {
            return word == "-" ? QString() : word == "preset" ? preset : path(word + ".BRV");
        };
        for (const char* name : {"a.BRV", "b.BRV"}) {
            QVERIFY(writeRaw(path(name), QByteArray(576, '\3')));
        }
        Harness h;
        h.edit();
        for (const QString& step : steps) {
            const QStringList parts = step.split(QLatin1Char(':'));
            const auto shownBefore = h.script.dialogs.size();
            const QStringList before = h.state();
            const QByteArray files = readRaw(path("a.BRV")) + readRaw(path("b.BRV"));
            h.script.names = {nameOf(parts.at(2))};
            h.script.answers = {QMessageBox::Yes};
            h.run(parts.at(0).toInt());
            QCOMPARE(h.script.dialogs.size() - shownBefore, parts.at(1) == "none" ? 0 : 1);
            if (parts.at(1) == "none") {
                continue;
            }
            if (parts.at(2) == "-" || parts.at(2) == "preset") { // no choice: nothing changes
                QCOMPARE(h.state(), before);
                QCOMPARE(readRaw(path("a.BRV")) + readRaw(path("b.BRV")), files);
            }
            const auto& [save, request] = h.script.dialogs.last();
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
        const QString shortFile = path("real-<b>short &amp;.BRV");
        QVERIFY(writeRaw(shortFile, QByteArray(100, '\1')));
        Harness h(/*realMessages=*/true);
        h.edit();
        const QStringList before = h.state();
        const auto answer = [&h](int command) {
            QString seen; // the text format (0: plain), then the box
            ModalAnswer handler([&](QWidget* modal) {
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    seen = QString::number(box->textFormat()) +
                           boxOf(Message{box->text(), box->windowTitle(), box->icon(),
                                         box->standardButtons(),
                                         box->standardButton(box->defaultButton())});
                    box->button(command == New ? QMessageBox::No : QMessageBox::Ok)->click();
                }
            });
            h.run(command);
            return seen;
        };
        QCOMPARE(answer(New), "0" + Discard);
        QCOMPARE(h.state(), before);
        h.mod().Modified = false; // so Open asks nothing first
        h.script.names << shortFile;
        QCOMPARE(answer(Open), "0" + FileError + "Unable To Open File\n" + shortFile +
                                   "\nThe file holds 100 bytes; a configuration file holds 576.");
    }

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
