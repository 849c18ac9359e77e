// Opening a file without the dialog: the start-up argument and a file dropped on the window.

#include <QLabel>
#include <QMimeData>
#include <QtTest>

#include "app/brevaneapp.h"
#include "app/startup.h"
#include "mainwindow/keybox.h"
#include "platform/messageboxes.h"
#include "tests/support/testhome.h"

namespace {

// Records each message's title and answers questions as told.
class Answers final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const Message& box) override {
        titles << box.title;
        return box.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
    }
    QStringList titles;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

struct Rig {
    Answers answers;
    BrevaneApp app{Seams{.messages = &answers}};
    // What the window shows of the table: path label, OEnabled of link 02, outgoing key.
    QString shown() {
        return app.window().lblFileName()->text() + QLatin1Char('|') +
               QString::number(app.mod().Cnf[9]) + QLatin1Char('|') +
               app.window().txtOKey()->text();
    }
};

} // namespace

class TestFileOpening : public QObject {
    Q_OBJECT

    QString m_home;

private slots:
    void initTestCase() {
        m_home = useFreshHome();
        QDir::setCurrent(m_home);
        QByteArray bytes(576, '\0');
        bytes[9] = 1;   // link 02 outgoing on
        bytes[8] = 'A'; // outgoing key "AB"
        bytes[17] = 'B';
        QFile good(m_home + "/good.BRV");
        QFile shortFile(m_home + "/short.brv");
        QVERIFY(good.open(QIODevice::WriteOnly) && good.write(bytes) == 576);
        QVERIFY(shortFile.open(QIODevice::WriteOnly) && shortFile.write(bytes.left(575)) == 575);
    }

    void startUpArgument_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("titles");
        const QString opened = " " + m_home + "/good.BRV|1|AB";
        QTest::newRow("good file, relative")
            << QStringList{"brevane", "good.BRV"} << QString() << opened << QStringList{};
        QTest::newRow("two arguments")
            << QStringList{"brevane", "good.BRV", "short.brv"}
            << "brevane: one file at most, not 2 (see 'brevane --help')\n"
            << " None|0|" << QStringList{};
    }

    // What main() does with its arguments once Qt has taken its own.
    void startUpArgument() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, refusal);
        QFETCH(QString, shown);
        QFETCH(QStringList, titles);
        const StartUp startUp = parseStartUp(arguments);
        QCOMPARE(startUp.action, refusal.isEmpty() ? StartUp::Run : StartUp::Refuse);
        QCOMPARE(startUp.action == StartUp::Refuse ? startUp.text : QString(), refusal);
        Rig rig;
        if (!startUp.file.isEmpty()) {
            rig.app.fileCommands().openFile(startUp.file);
        }
        QCOMPARE(rig.shown(), shown);
        QCOMPARE(rig.answers.titles, titles);
    }

    void drop_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("titles");
        const QStringList asked{"Orvik Brevane"};
        const QString opened = " " + m_home + "/good.BRV|1|AB";
        QTest::newRow("BRV file") << "good.BRV" << false << 0 << true << opened << QStringList{};
        QTest::newRow("other file")
            << "good.txt" << false << 0 << false << " None|0|" << QStringList{};
        QTest::newRow("modified, Yes")
            << "good.BRV" << true << int(QMessageBox::Yes) << true << opened << asked;
        QTest::newRow("modified, No")
            << "good.BRV" << true << int(QMessageBox::No) << true << " None|0|" << asked;
    }

    // The drag enters over a key box, which would otherwise take the path as text.
    void drop() {
        QFETCH(QString, file);
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        QFETCH(QStringList, titles);
        Rig rig;
        rig.app.mod().Modified = modified;
        rig.answers.answer = QMessageBox::StandardButton(answer);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_home + QLatin1Char('/') + file)});
        data.setText(m_home + QLatin1Char('/') + file);
        QDragEnterEvent enter({4, 4}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.app.window().txtOKey(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop({4, 4}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.app.window().txtOKey(), &drop);
        QCoreApplication::processEvents();
        QCOMPARE(rig.shown(), shown);
        QCOMPARE(rig.answers.titles, titles);
    }
};

QTEST_MAIN(TestFileOpening)
#include "tst_fileopening.moc"
