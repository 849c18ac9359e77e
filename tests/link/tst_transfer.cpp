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

struct Rig {
    FakeClock clock;
    FakeLine line{clock};
    FakeController controller;
    ModBrevane mod;
    Exchange link{line, clock, mod};
    RecordingReporter reporter{mod};

    Rig() {
        line.setResponder(controller.responder());
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

// Every byte of the table different from its neighbours, keys "Orvik" and "Net".
CnfTable patternTable() {
    ModBrevane mod;
    for (int i = 0; i < CnfBytes; ++i) {
        mod.Cnf[i] = std::uint8_t((i * 7 + 3) & 0xFF);
    }
    mod.PackKeys(QStringLiteral("Orvik"), QStringLiteral("Net"));
    return mod.Cnf;
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private slots:
    void complete_data();
    void complete();
    void errors_data();
    void errors();
    void portError_data();
    void portError();
    void brokenLineStopsAtOnce();
};

void TestTransfer::complete_data() {
    QTest::addColumn<bool>("upload");
    QTest::newRow("download") << false;
    QTest::newRow("upload, every other reply in lower case") << true;
}

void TestTransfer::complete() {
    QFETCH(bool, upload);
    Rig rig;
    rig.mod.ComPortNum = 7;
    const ControllerImage image = controllerImage(patternTable());
    if (upload) {
        rig.controller.image = image;
        for (int frame = 0; frame < 10; frame += 2) {
            rig.controller.faults[frame] = FakeController::Lower;
        }
    } else {
        rig.mod.Cnf = patternTable();
    }
    QCOMPARE(rig.run(upload), (TransferOutcome{TransferOutcome::Complete, 0}));
    QCOMPARE(rig.line.opens, QList<int>{7});
    QCOMPARE(rig.line.closes, 0); // the caller closes the port
    QList<QByteArray> expected;
    for (int block = 0; block < ImageBlocks; ++block) {
        expected << commandFrame(upload ? blockReadCommand(block)
                                        : blockWriteCommand(block, image));
    }
    QCOMPARE(rig.line.frames, expected << "[0A003F00000023F]");
    QVERIFY(rig.controller.image == image);
    QVERIFY(rig.mod.Cnf == patternTable());
    QCOMPARE(rig.mod.OKey, QString()); // the keys are left packed for the caller
    QCOMPARE(rig.reporter.events, FullProgress);
    rig.compareMessage(TransferMessage::Complete,
                       upload ? QStringLiteral("Upload Complete")
                              : QStringLiteral("Download Complete"),
                       upload ? QStringLiteral("Upload") : QStringLiteral("Download"));
    QVERIFY(rig.mod.Modified);
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
}

void TestTransfer::errors_data() {
    QTest::addColumn<bool>("upload");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("lastFrame");
    using F = FakeController;
    QTest::newRow("download, first block unanswered") << false << 0 << int(F::Silent) << 4 << 0;
    QTest::newRow("download, block 5 bad checksum") << false << 5 << int(F::BadSum) << 4 << 5;
    QTest::newRow("download, key block short") << false << 8 << int(F::Short) << 4 << 8;
    QTest::newRow("download, checksum unanswered") << false << 9 << int(F::Silent) << 52 << 9;
    QTest::newRow("download, checksum bad") << false << 9 << int(F::BadSum) << 52 << 9;
    QTest::newRow("download, high half differs") << false << 9 << int(F::High) << 61 << 9;
    QTest::newRow("download, low half differs") << false << 9 << int(F::Low) << 62 << 9;
    QTest::newRow("upload, first block unanswered") << true << 0 << int(F::Silent) << 71 << 0;
    QTest::newRow("upload, block 3 bad checksum") << true << 3 << int(F::BadSum) << 71 << 3;
    QTest::newRow("upload, key block short") << true << 8 << int(F::Short) << 71 << 8;
    QTest::newRow("upload, checksum reply extra") << true << 9 << int(F::Extra) << 52 << 9;
    QTest::newRow("upload, high half differs") << true << 9 << int(F::High) << 61 << 9;
    QTest::newRow("upload, low half differs") << true << 9 << int(F::Low) << 62 << 9;
    // The checksum holds, but "G1" reads as 0 where the controller holds another byte.
    QTest::newRow("upload, block data not hex") << true << 0 << int(F::Garbage) << 61 << 9;
}

void TestTransfer::errors() {
    QFETCH(bool, upload);
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(int, code);
    QFETCH(int, lastFrame);
    Rig rig;
    rig.controller.image = controllerImage(patternTable());
    rig.mod.field(5, OEnabled) = 1;
    rig.mod.OKey = QStringLiteral("old");
    rig.controller.faults[frame] = FakeController::Fault(fault);
    const CnfTable before = rig.mod.Cnf;
    QCOMPARE(rig.run(upload), (TransferOutcome{TransferOutcome::Failed, code}));

    QCOMPARE(rig.line.frames.size(), lastFrame + 1); // nothing after the failure
    QCOMPARE(rig.reporter.events, FullProgress.mid(0, lastFrame + 1));
    if (!upload) {
        rig.compareMessage(TransferMessage::Error,
                           QStringLiteral("Download Error: %1\r\nBrevane will not function "
                                          "properly until a download is complete.")
                               .arg(code),
                           "Error");
        QVERIFY(rig.mod.Cnf == before);
        QVERIFY(rig.mod.Modified);
        return;
    }
    rig.compareMessage(TransferMessage::Error,
                       QStringLiteral("Upload Error: %1\r\nAll Host Data Cleared.").arg(code),
                       "Error");
    // While the message was up, the blocks before the failing one had arrived.
    const CnfTable pattern = patternTable();
    const int arrived = qMin(lastFrame, 8) * 8; // slots read
    if (arrived > 0) {
        QCOMPARE(int(rig.reporter.tableAtMessage[cnfOffset(arrived - 1, Reserved7)]),
                 int(pattern[cnfOffset(arrived - 1, Reserved7)]));
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

void TestTransfer::portError_data() {
    QTest::addColumn<bool>("upload");
    QTest::newRow("download") << false;
    QTest::newRow("upload") << true;
}

void TestTransfer::portError() {
    QFETCH(bool, upload);
    Rig rig;
    rig.line.portExists = false;
    rig.mod.Cnf = patternTable();
    QCOMPARE(rig.run(upload), (TransferOutcome{TransferOutcome::PortError, 0}));
    QCOMPARE(rig.line.frames.size(), 0);
    QCOMPARE(rig.reporter.events, QStringList{});
    rig.compareMessage(TransferMessage::PortError, "Unable To Open Port", "Port Error");
    QVERIFY(rig.mod.Cnf == patternTable());
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
    QVERIFY(rig.mod.Modified);
}

void TestTransfer::brokenLineStopsAtOnce() {
    struct Case {
        bool upload;
        int hangUpAt;
        int failWriteAt;
        int code;
    };
    for (const Case& c : {Case{false, 4, -1, 4}, Case{true, 6, -1, 71}, Case{false, -1, 9, 52},
                          Case{true, 9, -1, 52}, Case{true, -1, 0, 71}}) {
        Rig rig;
        rig.controller.replyDelayMs = 0;
        rig.line.hangUpAt = c.hangUpAt;
        rig.line.failWriteAt = c.failWriteAt;
        QCOMPARE(rig.run(c.upload).errorCode, c.code);
        QCOMPARE(rig.clock.now(), 0);
        QCOMPARE(rig.reporter.messages.size(), 1);
    }
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
