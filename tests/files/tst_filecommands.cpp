#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <memory>
#include <numeric>

#include "app/brevaneapp.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/keybox.h"
#include "platform/filedialogs.h"
#include "platform/folders.h"
#include "platform/messageboxes.h"
#include "tests/editing/modalanswer.h"
#include "tests/support/testhome.h"

namespace {

const QString BrvEntry = QStringLiteral("Tessaly Brevane Files (*.BRV)");
const QString AllEntry = QStringLiteral("All Files (*.*)");
const Message Discard{QStringLiteral("Discard Any Changes?"), QStringLiteral("Orvik Brevane"),
                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
const Message FileError{QString(), QStringLiteral("File Error"), QMessageBox::Critical,
                        QMessageBox::Ok, QMessageBox::Ok};

// Everything of a message but its text.
QString frameOf(const Message& m) {
    return QStringLiteral("'%1' %2 %3 %4")
        .arg(m.title)
        .arg(m.icon)
        .arg(m.buttons)
        .arg(m.defaultButton);
}

// Answers messages from a script and keeps what was asked. An unscripted question is
// answered with no button, which every caller takes as a refusal.
class ScriptedMessages final : public MessageBoxes {
public:
    QList<Message> asked;
    QList<QMessageBox::StandardButton> answers;

    QMessageBox::StandardButton show(QWidget* /*parent*/, const Message& message) override {
        asked << message;
        return answers.isEmpty() ? QMessageBox::NoButton : answers.takeFirst();
    }
};

struct DialogCall {
    bool save = false;
    FileDialogRequest request;
};

// Answers file dialogs from a script (an empty answer is a cancel) and keeps each request.
class ScriptedDialogs final : public FileDialogs {
public:
    QList<DialogCall> calls;
    QStringList answers;

    QString getOpenFileName(QWidget* /*parent*/, const FileDialogRequest& request) override {
        calls << DialogCall{false, request};
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString getSaveFileName(QWidget* /*parent*/, const FileDialogRequest& request) override {
        calls << DialogCall{true, request};
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

struct Harness {
    ScriptedMessages messages;
    ScriptedDialogs dialogs;
    SystemMessageBoxes systemMessages;
    SystemFileDialogs systemDialogs;
    std::unique_ptr<BrevaneApp> app;

    explicit Harness(bool realMessages = false, bool realDialogs = false)
        : app(std::make_unique<BrevaneApp>(Seams{
              .messages = realMessages ? static_cast<MessageBoxes*>(&systemMessages) : &messages,
              .fileDialogs = realDialogs ? static_cast<FileDialogs*>(&systemDialogs) : &dialogs})) {
        app->window().show();
    }
    ModBrevane& mod() { return app->mod(); }
    frmBrevaneMain& window() { return app->window(); }
};

QByteArray bytesOf(const CnfTable& cnf) {
    return QByteArray(reinterpret_cast<const char*>(cnf.data()), CnfBytes);
}

// Everything a refused or cancelled command must leave alone: the table, the keys and their
// boxes, the file name and its label, and Modified.
QStringList stateOf(Harness& h) {
    const ModBrevane& m = h.mod();
    const frmBrevaneMain& w = h.window();
    return QStringList{QString::fromLatin1(bytesOf(m.Cnf).toHex()), m.OKey, m.IKey}
           << w.txtOKey()->text() << w.txtIKey()->text() << m.CnfPath << w.lblFileName()->text()
           << (m.Modified ? "modified" : "saved");
}

CnfTable patterned() {
    CnfTable cnf{};
    std::iota(cnf.begin(), cnf.end(), std::uint8_t(3));
    return cnf;
}

bool writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void editSomething(Harness& h) {
    h.mod().field(4, ONode) = 0x1A;
    h.mod().field(63, IRef) = 200;
    h.window().chkOLink(4)->click(); // through the app's row command
    h.window().ShowCnf();
    h.window().txtOKey()->clear();
    QTest::keyClicks(h.window().txtOKey(), QStringLiteral("Zq"));
}

// The names the real dialog lists in its current folder, once it has read the folder.
QStringList listedNames(QFileDialog* dialog, int atLeast) {
    const auto names = [view = dialog->findChild<QListView*>(QStringLiteral("listView"))] {
        QStringList found;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
            found << view->model()->index(row, 0, root).data().toString();
        }
        found.sort();
        return found;
    };
    if (QTest::qWaitFor([&] { return names().size() >= atLeast; }, 5000)) {
        QTest::qWait(50); // let a late entry arrive, so too many names would show
    }
    return names();
}

enum class Command { New, Open, Save, SaveAs, Exit, CloseBox };

void run(Harness& h, Command command) {
    frmBrevaneMain& w = h.window();
    if (command == Command::CloseBox) {
        // What the window system sends when the close box is clicked.
        QCloseEvent close;
        QCoreApplication::sendEvent(w.windowHandle(), &close);
        return;
    }
    QList<QAction*>{w.mnuFileNew(), w.mnuFileOpen(), w.mnuFileSave(), w.mnuFileSaveAs(),
                    w.mnuExit()}
        .at(int(command))
        ->trigger();
}

} // namespace

Q_DECLARE_METATYPE(Command)

enum class Refusal { Short, Missing, Folder, SaveAsOntoFolder, SaveOntoFolder, ReadOnly };
Q_DECLARE_METATYPE(Refusal)

class TestFileCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        useFreshHome();
        QVERIFY(m_dir.isValid());
    }

    void cleanup() {
        QDir folder(defaultFolder());
        for (const QString& name : folder.entryList(QDir::Files)) {
            folder.remove(name);
        }
    }

    void roundTrip() {
        Harness h;
        editSomething(h);
        h.mod().field(20, KeyChar) = 7; // carried, belongs to no key
        h.mod().field(30, Reserved6) = 5;
        QTest::keyClicks(h.window().txtIKey(), QStringLiteral("x!9"));
        const QString name = QStringLiteral("<b>Hall &amp; 1.BRV"); // shown as it stands
        QVERIFY(writeRaw(path(name), QByteArray(1000, 'z')));       // cut to 576
        const QString file = saveAs(h, name);
        QCOMPARE(h.messages.asked.size(), 0);
        const QStringList savedState = stateOf(h);
        QCOMPARE(savedState.mid(1),
                 (QStringList{"Zq", "x!9", "Zq", "x!9", file, QLatin1Char(' ') + file, "saved"}));
        QCOMPARE(h.window().lblFileName()->textFormat(), Qt::PlainText);
        const CnfTable saved = h.mod().Cnf;
        QCOMPARE(readRaw(file), bytesOf(saved));
        QCOMPARE(readRaw(file).mid(cnfOffset(0, KeyChar), 10),
                 QByteArray("Z\0\0\0\0\0\0\0\0q", 10));

        run(h, Command::New); // nothing unsaved, nothing asked
        QCOMPARE(h.window().txtOKey()->text(), QString());

        QByteArray holed = bytesOf(saved); // a key byte after a 0: skipped, yet kept in place
        holed[cnfOffset(1, KeyChar)] = 0;
        holed[cnfOffset(2, KeyChar)] = 'q';
        QVERIFY(writeRaw(file, holed + QByteArray(424, 'x'))); // only 576 bytes read
        h.dialogs.answers << file;
        run(h, Command::Open);
        QCOMPARE(stateOf(h).mid(1), savedState.mid(1));
        QCOMPARE(bytesOf(h.mod().Cnf), holed); // read as it stands, nothing repacked
        QCOMPARE(h.window().lblOLinkNode(4)->text(), QStringLiteral("Node: 1A"));
        QCOMPARE(h.window().chkOLink(4)->isChecked(), true);
        QTest::keyClick(h.window().txtOKey(), Qt::Key_Space); // dropped: changes nothing
        QCOMPARE(h.mod().Modified, false);

        // Typing alone marks a change; Save to the named file asks nothing and packs the keys.
        h.mod().field(40, IEnabled) = 1;
        QTest::keyClicks(h.window().txtIKey(), QStringLiteral("w"));
        QCOMPARE(h.mod().Modified, true);
        run(h, Command::Save);
        QCOMPARE(h.dialogs.calls.size(), 2);
        QCOMPARE(h.messages.asked.size(), 0);
        QCOMPARE(h.mod().Modified, false);
        QCOMPARE(h.mod().IKey, QStringLiteral("x!9w"));
        QCOMPARE(readRaw(file), bytesOf(h.mod().Cnf));
        QCOMPARE(int(readRaw(file).at(cnfOffset(40, IEnabled))), 1);
        QTest::keyClick(h.window().txtOKey(), Qt::Key_Backspace);
        QCOMPARE(h.mod().Modified, true);
    }

    void refused_data() {
        QTest::addColumn<Refusal>("refusal");
        QTest::addColumn<QString>("reason"); // empty: the system's text, whatever it is
        QTest::newRow("Open, one byte short")
            << Refusal::Short << "The file holds 575 bytes; a configuration file holds 576.";
        QTest::newRow("Open, missing") << Refusal::Missing << "";
        QTest::newRow("Open, a folder") << Refusal::Folder << "";
        QTest::newRow("Save As onto a folder") << Refusal::SaveAsOntoFolder << "";
        QTest::newRow("Save onto a file become a folder") << Refusal::SaveOntoFolder << "";
        QTest::newRow("Save As into a read-only folder") << Refusal::ReadOnly << "";
    }

    // A file that cannot be read or written is reported; every file and the state stay as they
    // were.
    void refused() {
        QFETCH(Refusal, refusal);
        QFETCH(QString, reason);
        const QString sub = path(QStringLiteral("refused-%1").arg(int(refusal)));
        QVERIFY(QDir().mkpath(sub));
        Harness h;
        const QString old = saveAs(h, QStringLiteral("refused-%1/old.BRV").arg(int(refusal)));
        const QByteArray oldBytes = readRaw(old);
        QCOMPARE(oldBytes.size(), 576);

        QString target = sub + QStringLiteral("/bad.BRV");
        Command command = refusal <= Refusal::Folder ? Command::Open : Command::SaveAs;
        auto restore = qScopeGuard([sub] {
            QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (refusal == Refusal::Short) {
            QVERIFY(writeRaw(target, QByteArray(575, '\1')));
        } else if (refusal == Refusal::Folder || refusal == Refusal::SaveAsOntoFolder) {
            QVERIFY(QDir().mkpath(target));
        } else if (refusal == Refusal::SaveOntoFolder) {
            // The named file was replaced by a folder since it was last saved.
            target = old;
            QVERIFY(QFile::remove(old));
            QVERIFY(QDir().mkpath(old));
            command = Command::Save;
        } else if (refusal == Refusal::ReadOnly) {
            QVERIFY(writeRaw(target, QByteArray(1000, 'k')));
            QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
            if (writeRaw(sub + QStringLiteral("/probe"), "p")) {
                QSKIP("this user writes into read-only folders (root)");
            }
        }
        const QByteArray targetBytes = readRaw(target);
        editSomething(h);
        const QStringList before = stateOf(h);

        h.messages.asked.clear();
        h.messages.answers = {QMessageBox::Yes}; // to the discard question before an Open
        h.dialogs.answers << target;
        run(h, command);
        QCOMPARE(h.dialogs.calls.size(), command == Command::Save ? 1 : 2);
        QCOMPARE(h.messages.asked.size(), command == Command::Open ? 2 : 1);
        QCOMPARE(frameOf(h.messages.asked.first()),
                 frameOf(command == Command::Open ? Discard : FileError));
        const Message error = h.messages.asked.last();
        QCOMPARE(frameOf(error), frameOf(FileError));
        const QString head = QStringLiteral("Unable To %1 File\n%2\n")
                                 .arg(command == Command::Open ? "Open" : "Save", target);
        const QString why = error.text.mid(head.size());
        QCOMPARE(error.text.left(head.size()) + (reason.isEmpty() ? QString() : why),
                 head + reason);
        QVERIFY(!why.isEmpty());
        const int packed = command == Command::Open ? 0 : 3;
        QCOMPARE(stateOf(h).mid(packed), before.mid(packed));
        QCOMPARE(h.mod().OKey, before.at(packed == 0 ? 1 : 3));
        if (refusal != Refusal::SaveOntoFolder) {
            QCOMPARE(readRaw(old), oldBytes);
        }
        QCOMPARE(readRaw(target), targetBytes);
        QCOMPARE(QFileInfo(target).isDir(), targetBytes.isEmpty() && refusal > Refusal::Missing);
    }

    void discardQuestion_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<bool>("yes");
        const std::pair<const char*, Command> commands[] = {{"New", Command::New},
                                                            {"Open", Command::Open},
                                                            {"Exit", Command::Exit},
                                                            {"close box", Command::CloseBox}};
        for (const auto& [name, command] : commands) {
            QTest::addRow("%s, Yes", name) << command << true << true;
            QTest::addRow("%s, No", name) << command << true << false;
            QTest::addRow("%s, nothing to ask", name) << command << false << true;
        }
    }

    void discardQuestion() {
        QFETCH(Command, command);
        QFETCH(bool, modified);
        QFETCH(bool, yes);
        Harness h;
        saveAs(h, QStringLiteral("discard.BRV"));
        h.dialogs.calls.clear();
        editSomething(h);
        h.mod().Modified = modified;
        const QStringList before = stateOf(h);

        h.messages.answers << (yes ? QMessageBox::Yes : QMessageBox::No);
        run(h, command);
        QCOMPARE(h.messages.asked.size(), modified ? 1 : 0);
        for (const Message& asked : h.messages.asked) {
            QCOMPARE(frameOf(asked) + asked.text, frameOf(Discard) + Discard.text);
        }
        const bool closes = command == Command::Exit || command == Command::CloseBox;
        QCOMPARE(h.window().isVisible(), !yes || !closes);
        QCOMPARE(h.dialogs.calls.size(), yes && command == Command::Open ? 1 : 0);
        if (!yes) {
            QCOMPARE(stateOf(h), before);
            // Answering does not clear Modified: the next try asks again.
            h.messages.answers = {QMessageBox::No};
            run(h, command);
            QCOMPARE(h.messages.asked.size(), 2);
        } else if (command == Command::New) {
            QCOMPARE(stateOf(h), (QStringList{QString::fromLatin1(bytesOf(CnfTable{}).toHex()), "",
                                              "", "", "", "None", " None", "saved"}));
            QCOMPARE(h.window().chkOLink(4)->isChecked(), false);
        } else {
            QCOMPARE(stateOf(h), before); // closed, or the Open dialog cancelled
        }
    }

    void dialogNames_data() {
        // Steps "command:name box expected:answer"; "-" is empty, "preset" the first
        // dialog's pattern, "none" no dialog at all, other words are files in the test folder.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("Save As first, then Open")
            << QStringList{"SaveAs:preset:a", "SaveAs:a:b", "Open:-:a",  "SaveAs:a:-",
                           "SaveAs:a:-",      "Open:-:-",   "SaveAs:-:-"};
        QTest::newRow("Open first, then Save As")
            << QStringList{"Open:preset:a", "SaveAs:a:b", "Open:-:-", "SaveAs:-:a", "Open:-:b"};
        QTest::newRow("first Open cancelled keeps the pattern") << QStringList{
            "Open:preset:-", "SaveAs:preset:preset", "Open:-:preset", "SaveAs:preset:-", "Open:-:-",
            "SaveAs:-:-"};
        QTest::newRow("Save without a file uses the Save dialog")
            << QStringList{"Save:preset:-", "Save:preset:preset", "Save:preset:a", "Save:none:-",
                           "SaveAs:a:-",    "New:none:-",         "Save:a:-"};
    }

    void dialogNames() {
        QFETCH(QStringList, steps);
        const QString preset =
            QDir::homePath() + QStringLiteral("/Orvik Tessaly Net/Brevane/*.BRV");
        QCOMPARE(FileCommands::firstDialogName(), preset);
        const auto nameOf = [&](const QString& word) {
            return word == "-" ? QString() : word == "preset" ? preset : path(word + ".BRV");
        };
        const QStringList commands{"New", "Open", "Save", "SaveAs"}; // as in Command
        for (const char* name : {"a.BRV", "b.BRV"}) {
            QVERIFY(writeRaw(path(QLatin1String(name)), bytesOf(patterned())));
        }
        Harness h;
        QCOMPARE(h.mod().DialogUsed, false);
        editSomething(h); // unsaved edits, and a key box that differs from OKey
        for (const QString& step : steps) {
            const QStringList parts = step.split(QLatin1Char(':'));
            const auto callsBefore = h.dialogs.calls.size();
            const QStringList before = stateOf(h);
            const QByteArray filesBefore = readRaw(path("a.BRV")) + readRaw(path("b.BRV"));
            h.dialogs.answers = {nameOf(parts.at(2))};
            h.messages.answers = {QMessageBox::Yes};
            run(h, Command(commands.indexOf(parts.at(0))));
            const bool shown = parts.at(1) != "none";
            QCOMPARE(h.dialogs.calls.size() - callsBefore, shown ? 1 : 0);
            if (!shown) {
                continue;
            }
            if (parts.at(2) == "-" || parts.at(2) == "preset") {
                // A cancel, or the preset name itself: no choice, so nothing changes.
                QCOMPARE(stateOf(h), before);
                QCOMPARE(readRaw(path("a.BRV")) + readRaw(path("b.BRV")), filesBefore);
            }
            QCOMPARE(h.mod().DialogUsed, true);
            const DialogCall call = h.dialogs.calls.last();
            QCOMPARE(call.save, parts.at(0) != "Open");
            QCOMPARE(call.request.fileName, nameOf(parts.at(1)));
            QCOMPARE(QStringList(call.request.nameFilters) << call.request.selectedNameFilter,
                     (QStringList{BrvEntry, AllEntry, BrvEntry}));
        }
        for (const Message& asked : h.messages.asked) {
            QCOMPARE(asked.text, Discard.text); // no file error
        }
        QCOMPARE(QDir(defaultFolder()).entryList(QDir::Files), QStringList());
    }

    void realMessageBoxes_data() {
        QTest::addColumn<int>("answer"); // Yes or No to the discard question, Ok to an error
        QTest::newRow("discard, Yes") << int(QMessageBox::Yes);
        QTest::newRow("discard, No") << int(QMessageBox::No);
        QTest::newRow("file error") << int(QMessageBox::Ok);
    }

    void realMessageBoxes() {
        QFETCH(int, answer);
        const bool error = answer == QMessageBox::Ok;
        const QString shortFile = path(QStringLiteral("real-<b>short &amp;.BRV"));
        QVERIFY(writeRaw(shortFile, QByteArray(100, '\1')));
        Harness h(/*realMessages=*/true);
        if (!error) {
            editSomething(h);
        }
        const QStringList before = stateOf(h);
        Message seen;
        Qt::TextFormat format = Qt::AutoText;
        ModalAnswer handler([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                return; // closed by the answer
            }
            format = box->textFormat();
            seen = Message{box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                           box->standardButton(box->defaultButton())};
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        h.dialogs.answers << shortFile;
        run(h, error ? Command::Open : Command::New);
        QVERIFY(handler.seen());
        const QString errorText = QStringLiteral("Unable To Open File\n%1\nThe file holds 100 "
                                                 "bytes; a configuration file holds 576.")
                                      .arg(shortFile);
        QCOMPARE(frameOf(seen) + seen.text,
                 error ? frameOf(FileError) + errorText : frameOf(Discard) + Discard.text);
        QCOMPARE(format, Qt::PlainText); // a path is never taken as markup
        // The clicked button is the answer: only Yes goes on to clear the table.
        QCOMPARE(stateOf(h) == before, answer != QMessageBox::Yes);
    }

    void realFileDialogs() {
#ifdef Q_OS_WIN
        QSKIP("the platform's own dialog cannot be driven here");
#else
        Harness h(/*realMessages=*/false, /*realDialogs=*/true); // makes the default folder
        const QDir folder(defaultFolder());
        for (const char* name : {"a.BRV", "b.brv", "README", "c.txt"}) {
            QVERIFY(writeRaw(folder.filePath(QLatin1String(name)), bytesOf(patterned())));
        }

        const auto answer = [&h](const QString& typed, Command command) {
            QStringList seen;
            ModalAnswer handler([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                auto* types = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                if (dialog == nullptr || name == nullptr || types == nullptr) {
                    return; // ModalAnswer closes it, and nothing seen fails below
                }
                const auto yes = [](bool flag) { return flag ? QStringLiteral("yes") : "no"; };
                QStringList entries;
                for (int i = 0; i < types->count(); ++i) {
                    entries << types->itemText(i);
                }
                seen << "save " + yes(dialog->acceptMode() == QFileDialog::AcceptSave)
                     << "non-native " + yes(dialog->testOption(QFileDialog::DontUseNativeDialog))
                     << "confirms " + yes(!dialog->testOption(QFileDialog::DontConfirmOverwrite))
                     << "existing only " + yes(dialog->fileMode() == QFileDialog::ExistingFile)
                     << dialog->windowTitle() << dialog->directory().absolutePath()
                     << "name " + name->text() << "suffix " + dialog->defaultSuffix()
                     << entries.join(';') << dialog->selectedNameFilter()
                     << listedNames(dialog, 2).join(';');
                QTest::keyClick(types, Qt::Key_Down); // the user picks "All Files"
                seen << "name " + name->text() << listedNames(dialog, 4).join(';');
                if (typed.isEmpty()) {
                    dialog->reject();
                    return;
                }
                name->setText(typed);
                QTest::keyClick(name, Qt::Key_Return); // as the user confirms the name
            });
            run(h, command);
            QTest::qVerify(handler.seen(), "handled", "no dialog opened", __FILE__, __LINE__);
            return seen;
        };
        const QString entries = BrvEntry + ';' + AllEntry;

        // The first dialog's name box holds the pattern; its title is the dialog's own.
        QCOMPARE(answer(QStringLiteral("plain"), Command::SaveAs),
                 (QStringList{"save yes", "non-native yes", "confirms yes", "existing only no",
                              "Save As", folder.absolutePath(), "name *.BRV", "suffix ", entries,
                              BrvEntry, "a.BRV;b.brv", "name *.BRV", "README;a.BRV;b.brv;c.txt"}));
        const QString plain = folder.filePath(QStringLiteral("plain"));
        QCOMPARE(h.mod().CnfPath, plain);
        QCOMPARE(QFileInfo(plain).size(), qint64(576));

        // A later Open starts with an empty name box and must be given an existing file.
        QCOMPARE(answer(QStringLiteral("a.BRV"), Command::Open),
                 (QStringList{"save no", "non-native yes", "confirms yes", "existing only yes",
                              "Open", folder.absolutePath(), "name ", "suffix ", entries, BrvEntry,
                              "a.BRV;b.brv", "name ", "README;a.BRV;b.brv;c.txt;plain"}));
        QCOMPARE(h.mod().CnfPath, folder.filePath(QStringLiteral("a.BRV")));
        QVERIFY(h.mod().Cnf == patterned());

        const QStringList before = stateOf(h); // a cancel starts at the name last returned
        QCOMPARE(answer(QString(), Command::SaveAs).mid(5, 2),
                 (QStringList{folder.absolutePath(), "name a.BRV"}));
        QCOMPARE(stateOf(h), before);
#endif
    }

private:
    QString path(const QString& name) const {
        return m_dir.filePath(name);
    }
    QString saveAs(Harness& h, const QString& name) {
        QString target = path(name);
        h.dialogs.answers << target;
        run(h, Command::SaveAs);
        return target;
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
