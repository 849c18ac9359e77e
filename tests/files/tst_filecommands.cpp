#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <functional>
#include <memory>

#include "app/brevaneapp.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/keybox.h"
#include "platform/filedialogs.h"
#include "platform/folders.h"
#include "platform/messageboxes.h"
#include "tests/support/testhome.h"

namespace {

const QString BrvEntry = QStringLiteral("Tessaly Brevane Files (*.BRV)");
const QString AllEntry = QStringLiteral("All Files (*.*)");

// Answers messages from a script and keeps what was asked. An unscripted question is
// answered with no button, which every caller takes as a refusal.
class ScriptedMessages final : public MessageBoxes {
public:
    QList<MessageSpec> asked;
    QList<QMessageBox::StandardButton> answers;

    QMessageBox::StandardButton show(QWidget* /*parent*/, const MessageSpec& spec) override {
        asked << spec;
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

// The whole program, shown offscreen, with scripted (or, on request, real) dialogs.
struct Harness {
    ScriptedMessages messages;
    ScriptedDialogs dialogs;
    SystemMessageBoxes systemMessages;
    SystemFileDialogs systemDialogs;
    std::unique_ptr<BrevaneApp> app;

    explicit Harness(bool realMessages = false, bool realDialogs = false)
        : app(std::make_unique<BrevaneApp>(seamsFor(realMessages, realDialogs))) {
        app->window().show();
    }
    Seams seamsFor(bool realMessages, bool realDialogs) {
        Seams seams;
        seams.messages = realMessages ? static_cast<MessageBoxes*>(&systemMessages) : &messages;
        seams.fileDialogs = realDialogs ? static_cast<FileDialogs*>(&systemDialogs) : &dialogs;
        return seams;
    }
    ModBrevane& mod() { return app->mod(); }
    frmBrevaneMain& window() { return app->window(); }
};

// Everything a refused or cancelled command must leave alone.
struct State {
    CnfTable cnf{};
    QString oKey, iKey, oBox, iBox, cnfPath, label;
    bool modified = false;

    bool operator==(const State&) const = default;
};

State stateOf(Harness& h) {
    return State{h.mod().Cnf,
                 h.mod().OKey,
                 h.mod().IKey,
                 h.window().txtOKey()->text(),
                 h.window().txtIKey()->text(),
                 h.mod().CnfPath,
                 h.window().lblFileName()->text(),
                 h.mod().Modified};
}

char* toString(const State& s) {
    const auto zeros = std::count(s.cnf.begin(), s.cnf.end(), 0);
    return qstrdup(QStringLiteral("{%1 zero bytes, keys %2/%3, boxes %4/%5, path %6, label '%7', "
                                  "modified %8}")
                       .arg(zeros)
                       .arg(s.oKey, s.iKey, s.oBox, s.iBox, s.cnfPath, s.label)
                       .arg(s.modified)
                       .toLocal8Bit()
                       .constData());
}

QByteArray bytesOf(const CnfTable& cnf) {
    return QByteArray(reinterpret_cast<const char*>(cnf.data()), CnfBytes);
}

CnfTable patterned() {
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
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

// Some edits as the row commands make them, and a typed key.
void editSomething(Harness& h) {
    h.mod().field(4, OEnabled) = 1;
    h.mod().field(4, ONode) = 0x1A;
    h.mod().field(63, IRef) = 200;
    h.mod().Modified = true;
    h.window().ShowCnf();
    h.window().txtOKey()->clear();
    QTest::keyClicks(h.window().txtOKey(), QStringLiteral("Zq"));
}

// The discard question, exactly as it must be put.
bool isDiscardQuestion(const MessageSpec& m) {
    return m.text == QStringLiteral("Discard Any Changes?") &&
           m.title == QStringLiteral("Orvik Brevane") && m.icon == QMessageBox::Question &&
           m.buttons == (QMessageBox::Yes | QMessageBox::No) && m.defaultButton == QMessageBox::Yes;
}

// Runs handler on the next modal widget (a message box or dialog opened by the code
// under test) from inside its event loop. The handler must close it.
class ModalHandler : public QObject {
public:
    explicit ModalHandler(std::function<void(QWidget*)> handler) : m_handler(std::move(handler)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_timer.stop();
                m_handled = true;
                m_handler(modal);
            }
        });
        m_timer.start(10);
    }
    bool handled() const { return m_handled; }

private:
    std::function<void(QWidget*)> m_handler;
    QTimer m_timer;
    bool m_handled = false;
};

// The names the real dialog lists in its current folder, once it has read the folder.
QStringList listedNames(QFileDialog* dialog, int atLeast) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (view == nullptr) {
        return {};
    }
    const auto names = [view] {
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
    switch (command) {
    case Command::New:
        w.mnuFileNew()->trigger();
        break;
    case Command::Open:
        w.mnuFileOpen()->trigger();
        break;
    case Command::Save:
        w.mnuFileSave()->trigger();
        break;
    case Command::SaveAs:
        w.mnuFileSaveAs()->trigger();
        break;
    case Command::Exit:
        w.mnuExit()->trigger();
        break;
    case Command::CloseBox: {
        // What the window system sends when the close box is clicked.
        QCloseEvent close;
        QCoreApplication::sendEvent(w.windowHandle(), &close);
        break;
    }
    }
}

} // namespace

Q_DECLARE_METATYPE(Command)

class TestFileCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void roundTrip();
    void keyBytesAtTheirOffsets();
    void keysFromFile_data();
    void keysFromFile();
    void zeroFileShowsTheResetTable();
    void longerFileGivesItsFirstBytes();
    void refusedOpen_data();
    void refusedOpen();
    void refusedSave_data();
    void refusedSave();
    void overwriteLongerFileLeaves576Bytes();
    void discardQuestion_data();
    void discardQuestion();
    void saveWithNamedFileAsksNothing();
    void dialogNames_data();
    void dialogNames();
    void presetIsNoChoice_data();
    void presetIsNoChoice();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void onlyTypingSetsModified();
    void matchingPatterns_data();
    void matchingPatterns();
    void realDiscardQuestion_data();
    void realDiscardQuestion();
    void realFileErrorBox();
    void realFileDialogs();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString saveAs(Harness& h, const QString& name);

    QString m_home;
    QTemporaryDir m_dir;
};

void TestFileCommands::initTestCase() {
    m_home = useFreshHome();
    QVERIFY(m_dir.isValid());
}

void TestFileCommands::cleanup() {
    // Each test starts with an empty default folder.
    QDir folder(defaultFolder());
    for (const QString& name : folder.entryList(QDir::Files)) {
        folder.remove(name);
    }
}

QString TestFileCommands::saveAs(Harness& h, const QString& name) {
    QString target = path(name);
    h.dialogs.answers << target;
    run(h, Command::SaveAs);
    return target;
}

void TestFileCommands::roundTrip() {
    Harness h;
    editSomething(h);
    h.mod().field(20, KeyChar) = 7; // carried, belongs to no key
    h.mod().field(30, Reserved6) = 5;
    QTest::keyClicks(h.window().txtIKey(), QStringLiteral("x!9"));
    const QString file = saveAs(h, QStringLiteral("round.BRV"));
    QCOMPARE(h.messages.asked.size(), 0);
    QCOMPARE(h.mod().Modified, false);
    QCOMPARE(h.mod().CnfPath, file);
    QCOMPARE(h.window().lblFileName()->text(), QLatin1Char(' ') + file);
    const CnfTable saved = h.mod().Cnf;
    QCOMPARE(readRaw(file), bytesOf(saved));

    run(h, Command::New);
    QCOMPARE(h.messages.asked.size(), 0); // nothing unsaved, nothing asked
    QCOMPARE(std::count(h.mod().Cnf.begin(), h.mod().Cnf.end(), 0), qsizetype(CnfBytes));
    QCOMPARE(h.window().txtOKey()->text(), QString());
    QCOMPARE(h.window().lblFileName()->text(), QStringLiteral(" None"));

    h.dialogs.answers << file;
    run(h, Command::Open);
    QVERIFY(h.mod().Cnf == saved);
    QCOMPARE(h.window().txtOKey()->text(), QStringLiteral("Zq"));
    QCOMPARE(h.window().txtIKey()->text(), QStringLiteral("x!9"));
    QCOMPARE(h.mod().OKey, QStringLiteral("Zq"));
    QCOMPARE(h.mod().IKey, QStringLiteral("x!9"));
    QCOMPARE(h.mod().CnfPath, file);
    QCOMPARE(h.window().lblFileName()->text(), QLatin1Char(' ') + file);
    QCOMPARE(h.mod().Modified, false);
    QCOMPARE(h.window().lblOLinkNode(4)->text(), QStringLiteral("Node: 1A"));
    QCOMPARE(h.window().chkOLink(4)->isChecked(), true);
}

void TestFileCommands::keyBytesAtTheirOffsets() {
    Harness h;
    QTest::keyClicks(h.window().txtOKey(), QStringLiteral("Q7"));
    const QString file = saveAs(h, QStringLiteral("keys.BRV"));
    const QByteArray bytes = readRaw(file);
    QCOMPARE(bytes.size(), 576);
    QCOMPARE(bytes.at(8), 'Q');
    QCOMPARE(bytes.at(17), '7');
    QCOMPARE(bytes.count('\0'), qsizetype(574));
}

void TestFileCommands::keysFromFile_data() {
    QTest::addColumn<QList<int>>("offsets");
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QString>("oKey");
    QTest::addColumn<QString>("iKey");
    QTest::newRow("zero in the middle skipped")
        << QList<int>{8, 17, 26} << QByteArray("A\0B", 3) << "AB"
        << "";
    QTest::newRow("incoming key") << QList<int>{80, 89, 143} << QByteArray("key") << ""
                                  << "key";
    QTest::newRow("eight characters")
        << QList<int>{8, 17, 26, 35, 44, 53, 62, 71} << QByteArray("abcdefgh") << "abcdefgh"
        << "";
    QTest::newRow("slot 16 is no key") << QList<int>{152} << QByteArray("z") << ""
                                       << "";
    QTest::newRow("Windows-1252 code") << QList<int>{8, 80} << QByteArray("\x80\xE9")
                                       << QStringLiteral("\u20AC") << QStringLiteral("\u00E9");
}

void TestFileCommands::keysFromFile() {
    QFETCH(QList<int>, offsets);
    QFETCH(QByteArray, codes);
    QFETCH(QString, oKey);
    QFETCH(QString, iKey);
    QByteArray bytes(CnfBytes, '\0');
    for (int i = 0; i < offsets.size(); ++i) {
        bytes[offsets.at(i)] = codes.at(i);
    }
    const QString file = path(QStringLiteral("keys-%1.BRV").arg(QTest::currentDataTag()));
    QVERIFY(writeRaw(file, bytes));
    Harness h;
    h.dialogs.answers << file;
    run(h, Command::Open);
    QCOMPARE(h.window().txtOKey()->text(), oKey);
    QCOMPARE(h.window().txtIKey()->text(), iKey);
    QCOMPARE(h.mod().Modified, false);
    QCOMPARE(bytesOf(h.mod().Cnf), bytes); // read as it stands, nothing repacked
}

void TestFileCommands::zeroFileShowsTheResetTable() {
    const QString file = path(QStringLiteral("zeros.BRV"));
    QVERIFY(writeRaw(file, QByteArray(CnfBytes, '\0')));
    Harness h;
    h.mod().Cnf = patterned();
    h.window().ShowCnf();
    editSomething(h);
    QTest::keyClicks(h.window().txtIKey(), QStringLiteral("in"));
    h.messages.answers << QMessageBox::Yes;
    h.dialogs.answers << file;
    run(h, Command::Open);

    ModBrevane freshMod;
    frmBrevaneMain fresh(freshMod);
    QCOMPARE(std::count(h.mod().Cnf.begin(), h.mod().Cnf.end(), 0), qsizetype(CnfBytes));
    QCOMPARE(h.window().txtOKey()->text(), QString());
    QCOMPARE(h.window().txtIKey()->text(), QString());
    frmBrevaneMain& w = h.window();
    for (int i = 0; i < LinkSlots; ++i) {
        QCOMPARE(w.chkOLink(i)->isChecked(), false);
        QCOMPARE(w.chkILink(i)->isChecked(), false);
        QCOMPARE(w.lblOLinkNode(i)->text(), fresh.lblOLinkNode(i)->text());
        QCOMPARE(w.lblOLinkType(i)->text(), fresh.lblOLinkType(i)->text());
        QCOMPARE(w.lblOLinkRef(i)->text(), fresh.lblOLinkRef(i)->text());
        QCOMPARE(w.lblILinkRef(i)->text(), fresh.lblILinkRef(i)->text());
        QCOMPARE(w.lblOLinkNode(i)->foreColor(), fresh.lblOLinkNode(i)->foreColor());
        QCOMPARE(w.lblILinkRef(i)->foreColor(), fresh.lblILinkRef(i)->foreColor());
    }
}

void TestFileCommands::longerFileGivesItsFirstBytes() {
    const QString file = path(QStringLiteral("longer.BRV"));
    QVERIFY(writeRaw(file, bytesOf(patterned()) + QByteArray(424, 'x')));
    Harness h;
    h.dialogs.answers << file;
    run(h, Command::Open);
    QVERIFY(h.mod().Cnf == patterned());
    QCOMPARE(h.mod().CnfPath, file);
    QCOMPARE(h.messages.asked.size(), 0);
}

void TestFileCommands::refusedOpen_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: nothing there; "dir": a folder
    QTest::addColumn<QString>("reason");     // empty: the system's text, whatever it is
    QTest::newRow("one byte short") << "short.BRV" << QByteArray(575, '\1')
                                    << "The file holds 575 bytes; a configuration file holds 576.";
    QTest::newRow("empty") << "empty.BRV" << QByteArray("")
                           << "The file holds 0 bytes; a configuration file holds 576.";
    QTest::newRow("missing") << "missing.BRV" << QByteArray() << "";
    QTest::newRow("a folder") << "folder.BRV" << QByteArray("dir") << "";
}

void TestFileCommands::refusedOpen() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString bad = path(name);
    if (content == "dir") {
        QVERIFY(QDir().mkpath(bad));
    } else if (!content.isNull()) {
        QVERIFY(writeRaw(bad, content));
    }
    const QString good = path(QStringLiteral("good.BRV"));
    QVERIFY(writeRaw(good, bytesOf(patterned())));

    Harness h;
    h.dialogs.answers << good;
    run(h, Command::Open);
    editSomething(h);
    const State before = stateOf(h);
    QCOMPARE(before.cnfPath, good);

    h.messages.answers << QMessageBox::Yes << QMessageBox::Ok;
    h.dialogs.answers << bad;
    run(h, Command::Open);
    QCOMPARE(h.messages.asked.size(), 2);
    QVERIFY(isDiscardQuestion(h.messages.asked.at(0)));
    const MessageSpec error = h.messages.asked.at(1);
    QCOMPARE(error.title, QStringLiteral("File Error"));
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QString head = QStringLiteral("Unable To Open File\n") + bad + QLatin1Char('\n');
    QVERIFY2(error.text.startsWith(head), qPrintable(error.text));
    if (reason.isEmpty()) {
        QVERIFY2(error.text.size() > head.size(), qPrintable(error.text));
    } else {
        QCOMPARE(error.text, head + reason);
    }
    QCOMPARE(stateOf(h), before);
}

enum class SaveFailure { SaveAsOntoFolder, SaveOntoFolder, SaveAsIntoReadOnlyFolder };
Q_DECLARE_METATYPE(SaveFailure)

void TestFileCommands::refusedSave_data() {
    QTest::addColumn<SaveFailure>("failure");
    QTest::newRow("Save As onto a folder") << SaveFailure::SaveAsOntoFolder;
    QTest::newRow("Save onto a file become a folder") << SaveFailure::SaveOntoFolder;
    QTest::newRow("Save As into a read-only folder") << SaveFailure::SaveAsIntoReadOnlyFolder;
}

void TestFileCommands::refusedSave() {
    QFETCH(SaveFailure, failure);
    const QString sub = path(QStringLiteral("refused-%1").arg(int(failure)));
    QVERIFY(QDir().mkpath(sub));
    Harness h;
    const QString old = saveAs(h, QStringLiteral("refused-%1/old.BRV").arg(int(failure)));
    const QByteArray oldBytes = readRaw(old);
    QCOMPARE(oldBytes.size(), 576);

    QString target;
    Command command = Command::SaveAs;
    auto restore = qScopeGuard([sub] {
        QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    switch (failure) {
    case SaveFailure::SaveAsOntoFolder:
        target = sub + QStringLiteral("/folder.BRV");
        QVERIFY(QDir().mkpath(target));
        break;
    case SaveFailure::SaveOntoFolder:
        // The named file was replaced by a folder since it was last saved.
        target = old;
        QVERIFY(QFile::remove(old));
        QVERIFY(QDir().mkpath(old));
        command = Command::Save;
        break;
    case SaveFailure::SaveAsIntoReadOnlyFolder: {
        target = sub + QStringLiteral("/long.BRV");
        QVERIFY(writeRaw(target, QByteArray(1000, 'k')));
        QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(sub + QStringLiteral("/probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("this user writes into read-only folders (root)");
        }
        break;
    }
    }
    editSomething(h);
    const State before = stateOf(h);
    QCOMPARE(before.modified, true);

    h.messages.asked.clear();
    h.messages.answers << QMessageBox::Ok;
    if (command == Command::SaveAs) {
        h.dialogs.answers << target;
    }
    const auto dialogsBefore = h.dialogs.calls.size();
    run(h, command);
    QCOMPARE(h.dialogs.calls.size(), dialogsBefore + (command == Command::SaveAs ? 1 : 0));
    QCOMPARE(h.messages.asked.size(), 1);
    const MessageSpec error = h.messages.asked.at(0);
    QCOMPARE(error.title, QStringLiteral("File Error"));
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QString head = QStringLiteral("Unable To Save File\n") + target + QLatin1Char('\n');
    QVERIFY2(error.text.startsWith(head) && error.text.size() > head.size(),
             qPrintable(error.text));
    // The keys were packed from the boxes for the write, as every write does; the rest of
    // the state must be as it was.
    State after = stateOf(h);
    QCOMPARE(after.oKey, after.oBox);
    after.cnf = before.cnf;
    after.oKey = before.oKey;
    after.iKey = before.iKey;
    QCOMPARE(after, before);
    QCOMPARE(h.mod().CnfPath, old);
    switch (failure) {
    case SaveFailure::SaveAsOntoFolder:
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(readRaw(old), oldBytes);
        break;
    case SaveFailure::SaveOntoFolder:
        QVERIFY(QFileInfo(target).isDir());
        break;
    case SaveFailure::SaveAsIntoReadOnlyFolder:
        QCOMPARE(readRaw(target), QByteArray(1000, 'k'));
        QCOMPARE(readRaw(old), oldBytes);
        break;
    }
}

void TestFileCommands::overwriteLongerFileLeaves576Bytes() {
    const QString file = path(QStringLiteral("thousand.BRV"));
    QVERIFY(writeRaw(file, QByteArray(1000, 'z')));
    Harness h;
    editSomething(h);
    saveAs(h, QStringLiteral("thousand.BRV"));
    QCOMPARE(readRaw(file), bytesOf(h.mod().Cnf));
    QCOMPARE(QFileInfo(file).size(), qint64(576));
}

void TestFileCommands::discardQuestion_data() {
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

void TestFileCommands::discardQuestion() {
    QFETCH(Command, command);
    QFETCH(bool, modified);
    QFETCH(bool, yes);
    Harness h;
    const QString file = saveAs(h, QStringLiteral("discard.BRV"));
    h.dialogs.calls.clear();
    editSomething(h);
    h.mod().Modified = modified;
    const State before = stateOf(h);

    h.messages.answers << (yes ? QMessageBox::Yes : QMessageBox::No);
    run(h, command);
    QCOMPARE(h.messages.asked.size(), modified ? 1 : 0);
    if (modified) {
        QVERIFY(isDiscardQuestion(h.messages.asked.at(0)));
    }
    if (!yes) {
        QCOMPARE(stateOf(h), before);
        QCOMPARE(h.window().isVisible(), true);
        QCOMPARE(h.dialogs.calls.size(), 0);
        // Answering does not clear Modified: the next try asks again.
        h.messages.answers = {QMessageBox::No};
        run(h, command);
        QCOMPARE(h.messages.asked.size(), 2);
        return;
    }
    switch (command) {
    case Command::New:
        QCOMPARE(h.mod().CnfPath, QStringLiteral("None"));
        QCOMPARE(h.window().lblFileName()->text(), QStringLiteral(" None"));
        QCOMPARE(std::count(h.mod().Cnf.begin(), h.mod().Cnf.end(), 0), qsizetype(CnfBytes));
        QCOMPARE(h.window().txtOKey()->text(), QString());
        QCOMPARE(h.window().chkOLink(4)->isChecked(), false);
        QCOMPARE(h.mod().Modified, false);
        QCOMPARE(h.window().isVisible(), true);
        break;
    case Command::Open:
        QCOMPARE(h.dialogs.calls.size(), 1); // went on to the dialog, which was cancelled
        QCOMPARE(stateOf(h), before);
        break;
    case Command::Exit:
    case Command::CloseBox:
        QCOMPARE(h.window().isVisible(), false);
        QCOMPARE(h.mod().CnfPath, file);
        break;
    default:
        QFAIL("no such row");
    }
}

void TestFileCommands::saveWithNamedFileAsksNothing() {
    Harness h;
    const QString file = saveAs(h, QStringLiteral("named.BRV"));
    QCOMPARE(h.dialogs.calls.size(), 1);
    editSomething(h);
    h.mod().field(40, IEnabled) = 1;
    run(h, Command::Save);
    QCOMPARE(h.dialogs.calls.size(), 1);
    QCOMPARE(h.messages.asked.size(), 0);
    QCOMPARE(h.mod().Modified, false);
    QCOMPARE(h.mod().CnfPath, file);
    const QByteArray bytes = readRaw(file);
    QCOMPARE(bytes, bytesOf(h.mod().Cnf));
    QCOMPARE(int(bytes.at(cnfOffset(40, IEnabled))), 1);
    QCOMPARE(bytes.at(cnfOffset(0, KeyChar)), 'Z');
    QCOMPARE(bytes.at(cnfOffset(1, KeyChar)), 'q');
}

void TestFileCommands::dialogNames_data() {
    // Steps "command:name box expected:answer"; "-" is empty, "preset" the first
    // dialog's pattern, other words are file names in the test folder.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("Save As first, then Open")
        << QStringList{"SaveAs:preset:a", "SaveAs:a:b", "Open:-:a",  "SaveAs:a:-",
                       "SaveAs:a:-",      "Open:-:-",   "SaveAs:-:-"};
    QTest::newRow("Open first, then Save As")
        << QStringList{"Open:preset:a", "SaveAs:a:b", "Open:-:-", "SaveAs:-:a", "Open:-:b"};
    QTest::newRow("first Open cancelled keeps the pattern")
        << QStringList{"Open:preset:-", "SaveAs:preset:-", "Open:-:-", "SaveAs:-:-"};
    QTest::newRow("Save without a file uses the Save dialog")
        << QStringList{"Save:preset:a", "Save:none:-", "SaveAs:a:-", "New:none:-", "Save:a:-"};
}

void TestFileCommands::dialogNames() {
    QFETCH(QStringList, steps);
    QString preset = QDir::homePath() + QStringLiteral("/Orvik Tessaly Net/Brevane/*.BRV");
    QCOMPARE(FileCommands::firstDialogName(), preset);
    const auto nameOf = [&](const QString& word) {
        if (word == QLatin1String("-")) {
            return QString();
        }
        if (word == QLatin1String("preset")) {
            return preset;
        }
        return path(word + QStringLiteral(".BRV"));
    };
    for (const char* name : {"a.BRV", "b.BRV"}) {
        QVERIFY(writeRaw(path(QLatin1String(name)), bytesOf(patterned())));
    }
    Harness h;
    QCOMPARE(h.mod().DialogUsed, false);
    for (const QString& step : steps) {
        const QStringList parts = step.split(QLatin1Char(':'));
        const QString& command = parts.at(0);
        const auto callsBefore = h.dialogs.calls.size();
        h.dialogs.answers = {nameOf(parts.at(2))};
        if (command == QLatin1String("Open")) {
            run(h, Command::Open);
        } else if (command == QLatin1String("SaveAs")) {
            run(h, Command::SaveAs);
        } else if (command == QLatin1String("Save")) {
            run(h, Command::Save);
        } else {
            run(h, Command::New);
        }
        if (parts.at(1) == QLatin1String("none")) {
            QVERIFY2(h.dialogs.calls.size() == callsBefore, qPrintable(step));
            continue;
        }
        QVERIFY2(h.dialogs.calls.size() == callsBefore + 1, qPrintable(step));
        QCOMPARE(h.mod().DialogUsed, true);
        const DialogCall call = h.dialogs.calls.last();
        QCOMPARE(call.save, command != QLatin1String("Open"));
        QCOMPARE(call.request.fileName, nameOf(parts.at(1)));
        QCOMPARE(call.request.nameFilters, (QStringList{BrvEntry, AllEntry}));
        QCOMPARE(call.request.selectedNameFilter, BrvEntry);
    }
    QCOMPARE(h.messages.asked.size(), 0);
}

void TestFileCommands::presetIsNoChoice_data() {
    QTest::addColumn<Command>("command");
    QTest::newRow("Open") << Command::Open;
    QTest::newRow("Save") << Command::Save;
    QTest::newRow("Save As") << Command::SaveAs;
}

void TestFileCommands::presetIsNoChoice() {
    QFETCH(Command, command);
    Harness h;
    editSomething(h);
    const State before = stateOf(h);
    h.messages.answers << QMessageBox::Yes;
    h.dialogs.answers << FileCommands::firstDialogName();
    run(h, command);
    QCOMPARE(h.dialogs.calls.size(), 1);
    QCOMPARE(stateOf(h), before);
    QCOMPARE(QDir(defaultFolder()).entryList(QDir::Files), QStringList());
    // It was the dialog's answer, so a later Save As shows it again.
    run(h, Command::SaveAs);
    QCOMPARE(h.dialogs.calls.last().request.fileName, FileCommands::firstDialogName());
}

void TestFileCommands::cancelChangesNothing_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<bool>("named"); // whether a file was opened before
    QTest::newRow("Open") << Command::Open << false;
    QTest::newRow("Open after a file") << Command::Open << true;
    QTest::newRow("Save") << Command::Save << false;
    QTest::newRow("Save As") << Command::SaveAs << false;
    QTest::newRow("Save As after a file") << Command::SaveAs << true;
}

void TestFileCommands::cancelChangesNothing() {
    QFETCH(Command, command);
    QFETCH(bool, named);
    const QString file = path(QStringLiteral("cancel.BRV"));
    QVERIFY(writeRaw(file, bytesOf(patterned())));
    Harness h;
    if (named) {
        h.dialogs.answers << file;
        run(h, Command::Open);
        QCOMPARE(h.mod().CnfPath, file);
    }
    editSomething(h); // the key box now differs from OKey
    QVERIFY(h.window().txtOKey()->text() != h.mod().OKey);
    const State before = stateOf(h);
    h.messages.answers << QMessageBox::Yes;
    run(h, command);
    QCOMPARE(h.dialogs.calls.size(), named ? 2 : 1);
    QCOMPARE(stateOf(h), before);
    QCOMPARE(readRaw(file), bytesOf(patterned()));
}

void TestFileCommands::onlyTypingSetsModified() {
    const QString file = path(QStringLiteral("typing.BRV"));
    QByteArray bytes(CnfBytes, '\0');
    bytes[8] = 'k';
    QVERIFY(writeRaw(file, bytes));
    Harness h;
    h.dialogs.answers << file;
    run(h, Command::Open);
    QCOMPARE(h.window().txtOKey()->text(), QStringLiteral("k"));
    QCOMPARE(h.mod().Modified, false);
    QTest::keyClick(h.window().txtOKey(), Qt::Key_Backspace);
    QCOMPARE(h.mod().Modified, true);
    run(h, Command::Save);
    QCOMPARE(h.mod().Modified, false);
    QTest::keyClicks(h.window().txtIKey(), QStringLiteral("i"));
    QCOMPARE(h.mod().Modified, true);
    h.messages.answers << QMessageBox::Yes;
    run(h, Command::New);
    QCOMPARE(h.mod().Modified, false);
    QCOMPARE(h.window().txtIKey()->text(), QString());
    // A dropped character changes nothing.
    QTest::keyClick(h.window().txtOKey(), Qt::Key_Space);
    QCOMPARE(h.mod().Modified, false);
}

void TestFileCommands::matchingPatterns_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("patterns");
    QTest::newRow("configuration files") << BrvEntry << QStringList{"*.BRV", "*.brv"};
    QTest::newRow("all files") << AllEntry << QStringList{"*"};
    QTest::newRow("several") << "Pictures (*.png *.JPG)"
                             << QStringList{"*.png", "*.PNG", "*.JPG", "*.jpg"};
    QTest::newRow("no details") << "*.Txt" << QStringList{"*.Txt", "*.txt", "*.TXT"};
}

void TestFileCommands::matchingPatterns() {
    QFETCH(QString, entry);
    QFETCH(QStringList, patterns);
    QCOMPARE(windowsMatchingPatterns(entry), patterns);
}

void TestFileCommands::realDiscardQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Yes") << int(QMessageBox::Yes);
    QTest::newRow("No") << int(QMessageBox::No);
}

void TestFileCommands::realDiscardQuestion() {
    QFETCH(int, answer);
    Harness h(/*realMessages=*/true);
    editSomething(h);
    const State before = stateOf(h);
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool yesIsDefault = false;
    ModalHandler handler([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            modal->close();
            return;
        }
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    run(h, Command::New);
    QVERIFY(handler.handled());
    QCOMPARE(text, QStringLiteral("Discard Any Changes?"));
    QCOMPARE(title, QStringLiteral("Orvik Brevane"));
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(yesIsDefault, true);
    if (answer == QMessageBox::No) {
        QCOMPARE(stateOf(h), before);
    } else {
        QCOMPARE(h.mod().Modified, false);
        QCOMPARE(h.window().txtOKey()->text(), QString());
        QCOMPARE(h.mod().field(4, OEnabled), std::uint8_t(0));
    }
}

void TestFileCommands::realFileErrorBox() {
    const QString shortFile = path(QStringLiteral("real-short.BRV"));
    QVERIFY(writeRaw(shortFile, QByteArray(100, '\1')));
    Harness h(/*realMessages=*/true);
    const State before = stateOf(h);
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    ModalHandler handler([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            modal->close();
            return;
        }
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    h.dialogs.answers << shortFile;
    run(h, Command::Open);
    QVERIFY(handler.handled());
    QCOMPARE(text, QStringLiteral("Unable To Open File\n") + shortFile +
                       QStringLiteral("\nThe file holds 100 bytes; a configuration file holds "
                                      "576."));
    QCOMPARE(title, QStringLiteral("File Error"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(stateOf(h), before);
}

void TestFileCommands::realFileDialogs() {
#ifdef Q_OS_WIN
    QSKIP("the platform's own dialog cannot be driven here");
#else
    Harness h(/*realMessages=*/false, /*realDialogs=*/true); // makes the default folder
    const QDir folder(defaultFolder());
    for (const char* name : {"a.BRV", "b.brv", "README", "c.txt"}) {
        QVERIFY(writeRaw(folder.filePath(QLatin1String(name)), bytesOf(patterned())));
    }

    // The first dialog: Save As, in the default folder with the pattern in its name box.
    struct Seen {
        bool save = false, nonNative = false, confirmsOverwrite = false, existingOnly = false;
        QString title, folder, name, suffix, selectedEntry, nameAfterSwitch;
        QStringList entries, briefList, fullList;
    };
    const auto inspect = [](QWidget* modal, Seen& seen, const QString& typed) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        seen.save = dialog->acceptMode() == QFileDialog::AcceptSave;
        seen.nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
        seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        seen.existingOnly = dialog->fileMode() == QFileDialog::ExistingFile;
        seen.title = dialog->windowTitle();
        seen.folder = dialog->directory().absolutePath();
        seen.name = name != nullptr ? name->text() : QStringLiteral("<no name box>");
        seen.suffix = dialog->defaultSuffix();
        seen.selectedEntry = dialog->selectedNameFilter();
        for (int i = 0; types != nullptr && i < types->count(); ++i) {
            seen.entries << types->itemText(i);
        }
        seen.briefList = listedNames(dialog, 2);
        if (types != nullptr) {
            QTest::keyClick(types, Qt::Key_Down); // the user picks "All Files"
            seen.nameAfterSwitch = name->text();
            seen.fullList = listedNames(dialog, 4);
        }
        if (typed.isEmpty() || name == nullptr) {
            dialog->reject();
            return;
        }
        name->setText(typed);
        QTest::keyClick(name, Qt::Key_Return); // as the user confirms the name
    };

    Seen saveSeen;
    {
        ModalHandler handler([&](QWidget* modal) { inspect(modal, saveSeen, "plain"); });
        run(h, Command::SaveAs);
        QVERIFY(handler.handled());
    }
    QCOMPARE(saveSeen.save, true);
    QCOMPARE(saveSeen.nonNative, true);
    QCOMPARE(saveSeen.confirmsOverwrite, true);
    QCOMPARE(saveSeen.existingOnly, false);
    QCOMPARE(saveSeen.title, QStringLiteral("Save As")); // the dialog's own; none is set
    QCOMPARE(saveSeen.folder, folder.absolutePath());
    QCOMPARE(saveSeen.name, QStringLiteral("*.BRV"));
    QCOMPARE(saveSeen.suffix, QString());
    QCOMPARE(saveSeen.entries, (QStringList{BrvEntry, AllEntry}));
    QCOMPARE(saveSeen.selectedEntry, BrvEntry);
    QCOMPARE(saveSeen.briefList, (QStringList{"a.BRV", "b.brv"}));
    QCOMPARE(saveSeen.nameAfterSwitch, QStringLiteral("*.BRV"));
    QCOMPARE(saveSeen.fullList, (QStringList{"README", "a.BRV", "b.brv", "c.txt"}));
    // Used as typed: no extension added.
    const QString plain = folder.filePath(QStringLiteral("plain"));
    QCOMPARE(h.mod().CnfPath, plain);
    QCOMPARE(QFileInfo(plain).size(), qint64(576));

    // A later Open starts with an empty name box and must be given an existing file.
    Seen openSeen;
    {
        ModalHandler handler([&](QWidget* modal) { inspect(modal, openSeen, "a.BRV"); });
        run(h, Command::Open);
        QVERIFY(handler.handled());
    }
    QCOMPARE(openSeen.save, false);
    QCOMPARE(openSeen.existingOnly, true);
    QCOMPARE(openSeen.title, QStringLiteral("Open"));
    QCOMPARE(openSeen.name, QString());
    QCOMPARE(openSeen.selectedEntry, BrvEntry);
    QCOMPARE(openSeen.briefList, (QStringList{"a.BRV", "b.brv"}));
    QCOMPARE(openSeen.fullList, (QStringList{"README", "a.BRV", "b.brv", "c.txt", "plain"}));
    QCOMPARE(h.mod().CnfPath, folder.filePath(QStringLiteral("a.BRV")));
    QVERIFY(h.mod().Cnf == patterned());

    // Cancelled, the dialog returns nothing and nothing changes.
    const State before = stateOf(h);
    Seen cancelSeen;
    {
        ModalHandler handler([&](QWidget* modal) { inspect(modal, cancelSeen, QString()); });
        run(h, Command::SaveAs);
        QVERIFY(handler.handled());
    }
    QCOMPARE(cancelSeen.name, QStringLiteral("a.BRV")); // the name last returned
    QCOMPARE(cancelSeen.folder, folder.absolutePath());
    QCOMPARE(stateOf(h), before);
#endif
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
