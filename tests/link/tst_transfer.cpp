#include <QtTest>

#include "link/exchange.h"
#include "link/transfer.h"
#include "tests/link/farend.h"

namespace {

// Records what a run shows, and the table as it stood when the message came up.
class RecordingReporter final : public TransferReporter {
public:
    explicit RecordingReporter(const ModBrevane& mod) : m_mod(mod) {}

    void progressStarted(int max) override { events << QStringLiteral("start %1").arg(max); }
    void progress(int value) override { events << QString::number(value); }
    void message(const TransferMessage& message) override {
        messages << message;
        tableAtMessage = m_mod.Cnf;
    }

    QStringList events;
    QList<TransferMessage> messages;
    CnfTable tableAtMessage{};

private:
    const ModBrevane& m_mod;
};

struct Rig : FakeEnd {
    ModBrevane mod;
    Exchange link{line, clock, mod};
    RecordingReporter reporter{mod};

    Rig() {
        mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
        mod.Modified = true;
    }
    TransferOutcome run(bool upload) {
        return upload ? UploadCnf(link, reporter) : DownloadCnf(link, reporter);
    }
    void compareMessage(TransferMessage::Kind kind, const QString& text, const QString& title) {
        QCOMPARE(reporter.messages.size(), 1);
        QCOMPARE(reporter.messages.at(0).kind, kind);
        QCOMPARE(reporter.messages.at(0).text, text);
        QCOMPARE(reporter.messages.at(0).title, title);
    }
};

const QStringList FullProgress{"start 9", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

const CnfTable Pattern = patternTable(3, QStringLiteral("Orvik"), QStringLiteral("Net"));

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private slots:
    void complete_data() {
        QTest::addColumn<bool>("upload");
        QTest::newRow("download") << false;
        QTest::newRow("upload, every other reply in lower case") << true;
    }
    void complete() {
        QFETCH(bool, upload);
        Rig rig;
        rig.mod.ComPortNum = 7;
        const ControllerImage image = controllerImage(Pattern);
        if (upload) {
            rig.controller.image = image;
            for (int frame = 0; frame < 10; frame += 2) {
                rig.controller.faults[frame] = FakeController::Lower;
            }
        } else {
            rig.mod.Cnf = Pattern;
        }
        QCOMPARE(rig.run(upload), (TransferOutcome{TransferOutcome::Complete, 0}));
        QCOMPARE(rig.line.opens, QList<int>{7});
        QCOMPARE(rig.line.closes, 0); // the caller closes the port
        QCOMPARE(rig.line.frames, transferFrames(upload, Pattern));
        QVERIFY(rig.controller.image == image);
        QVERIFY(rig.mod.Cnf == Pattern);
        QCOMPARE(rig.mod.OKey, QString()); // the keys are left packed for the caller
        QCOMPARE(rig.reporter.events, FullProgress);
        rig.compareMessage(TransferMessage::Complete,
                           upload ? QStringLiteral("Upload Complete")
                                  : QStringLiteral("Download Complete"),
                           upload ? QStringLiteral("Upload") : QStringLiteral("Download"));
        QVERIFY(rig.mod.Modified);
        QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
    }
    void errors_data() {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("code");
        using F = FakeController;
        QTest::newRow("download, first block unanswered") << false << 0 << int(F::Silent) << 4;
        QTest::newRow("download, key block short") << false << 8 << int(F::Short) << 4;
        QTest::newRow("download, checksum unanswered") << false << 9 << int(F::Silent) << 52;
        QTest::newRow("download, high half differs") << false << 9 << int(F::High) << 61;
        QTest::newRow("download, low half differs") << false << 9 << int(F::Low) << 62;
        QTest::newRow("upload, first block unanswered") << true << 0 << int(F::Silent) << 71;
        QTest::newRow("upload, block 3 bad checksum") << true << 3 << int(F::BadSum) << 71;
        QTest::newRow("upload, key block short") << true << 8 << int(F::Short) << 71;
        QTest::newRow("upload, checksum reply extra") << true << 9 << int(F::Extra) << 52;
        QTest::newRow("upload, high half differs") << true << 9 << int(F::High) << 61;
        QTest::newRow("upload, low half differs") << true << 9 << int(F::Low) << 62;
        QTest::newRow("upload, block data not hex") << true << 0 << int(F::Garbage) << 61;
    }
    void errors() {
        QFETCH(bool, upload);
        QFETCH(int, frame);
        QFETCH(int, fault);
        QFETCH(int, code);
        Rig rig;
        rig.controller.image = controllerImage(Pattern);
        rig.mod.field(5, OEnabled) = 1;
        rig.mod.OKey = QStringLiteral("old");
        rig.controller.faults[frame] = FakeController::Fault(fault);
        const CnfTable before = rig.mod.Cnf;
        QCOMPARE(rig.run(upload), (TransferOutcome{TransferOutcome::Failed, code}));

        // Nothing after the failing frame; not hex is noticed only in the checksum.
        const int lastFrame = fault == FakeController::Garbage ? 9 : frame;
        QCOMPARE(rig.line.frames.size(), lastFrame + 1);
        QCOMPARE(rig.reporter.events, FullProgress.mid(0, lastFrame + 1));
        rig.compareMessage(TransferMessage::Error, transferErrorText(upload, code), "Error");
        if (!upload) {
            QVERIFY(rig.mod.Cnf == before);
            QVERIFY(rig.mod.Modified);
            return;
        }
        // While the message was up, the blocks before the failing one had arrived.
        const int arrived = qMin(lastFrame, 8) * 8; // slots read
        if (arrived > 0) {
            QCOMPARE(int(rig.reporter.tableAtMessage[cnfOffset(arrived - 1, Reserved7)]),
                     int(Pattern[cnfOffset(arrived - 1, Reserved7)]));
        }
        if (arrived < 64) {
            QCOMPARE(int(rig.reporter.tableAtMessage[cnfOffset(arrived, ONode)]),
                     int(before[cnfOffset(arrived, ONode)]));
        }
        // Cleared after the message: nothing read stays, and no file owns it.
        QVERIFY(rig.mod.Cnf == CnfTable{});
        QCOMPARE(rig.mod.OKey, QString());
        QCOMPARE(rig.mod.CnfPath, QStringLiteral("None"));
        QVERIFY(!rig.mod.Modified);
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
