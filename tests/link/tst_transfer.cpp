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

    Rig() { line.setResponder(controller.responder()); }
};

const QStringList FullProgress{"start 9", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

// Every byte of the table different from its neighbours, keys "Orvik" and "Net".
CnfTable patternTable() {
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = std::uint8_t((i * 7 + 3) & 0xFF);
    }
    ModBrevane mod;
    mod.Cnf = cnf;
    mod.PackKeys(QStringLiteral("Orvik"), QStringLiteral("Net"));
    return mod.Cnf;
}

QString downloadError(int code) {
    return QStringLiteral("Download Error: %1\r\nBrevane will not function properly until a "
                          "download is complete.")
        .arg(code);
}

QString uploadError(int code) {
    return QStringLiteral("Upload Error: %1\r\nAll Host Data Cleared.").arg(code);
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private slots:
    void downloadFramesOfEmptyTable();
    void downloadCarriesTheTable();
    void uploadFramesAndTable();
    void roundTrip();
    void downloadErrors_data();
    void downloadErrors();
    void uploadErrors_data();
    void uploadErrors();
    void uploadBlock3BadChecksumLeavesNothing();
    void uploadSuccessKeepsModified();
    void lowerCaseRepliesAccepted();
    void portError_data();
    void portError();
    void noReplyWaitsOnceThenStops();
};

void TestTransfer::downloadFramesOfEmptyTable() {
    Rig rig;
    rig.mod.ComPortNum = 7;
    const TransferOutcome outcome = DownloadCnf(rig.link, rig.reporter);
    QCOMPARE(outcome, (TransferOutcome{TransferOutcome::Complete, 0}));
    QCOMPARE(rig.line.opens, QList<int>{7});
    QCOMPARE(rig.line.closes, 0); // the caller closes the port

    const QList<QByteArray>& frames = rig.line.frames;
    QCOMPARE(frames.size(), 10);
    QCOMPARE(frames.at(0), "[93" + QByteArray("00") + "38000003F" + QByteArray(128, '0') + "]");
    const QList<QByteArray> heads{"[930038000003F", "[830038000403F", "[240038000803F",
                                  "[E60038000C03F", "[1D0038001003F", "[730038001403F",
                                  "[9E0038001803F", "[590038001C03F", "[150038002003F"};
    for (int block = 0; block < 9; ++block) {
        QCOMPARE(frames.at(block), heads.at(block) + QByteArray(128, '0') + "]");
    }
    QCOMPARE(frames.at(9), QByteArray("[0A003F00000023F]"));

    QCOMPARE(rig.reporter.events, FullProgress);
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages.at(0).kind, TransferMessage::Complete);
    QCOMPARE(rig.reporter.messages.at(0).text, QStringLiteral("Download Complete"));
    QCOMPARE(rig.reporter.messages.at(0).title, QStringLiteral("Download"));
}

void TestTransfer::downloadCarriesTheTable() {
    Rig rig;
    rig.mod.field(0, ONode) = 10;
    rig.mod.field(0, OType) = 255;
    rig.mod.field(9, ORef) = 0x5C;    // block 1, byte 11
    rig.mod.field(23, Reserved7) = 1; // block 2, byte 63
    rig.mod.field(63, KeyChar) = 'Z'; // key block, byte 63
    rig.mod.Modified = true;
    const CnfTable before = rig.mod.Cnf;
    QCOMPARE(DownloadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);

    const QList<QByteArray>& frames = rig.line.frames;
    // Data digits start at character 15 of a frame.
    auto byteOf = [&frames](int block, int k) { return frames.at(block).mid(14 + 2 * k, 2); };
    QCOMPARE(byteOf(0, 1), QByteArray("0A"));
    QCOMPARE(byteOf(0, 2), QByteArray("FF"));
    QCOMPARE(byteOf(1, 11), QByteArray("5C"));
    QCOMPARE(byteOf(2, 63), QByteArray("01"));
    QCOMPARE(byteOf(8, 63), QByteArray("5A"));
    QCOMPARE(byteOf(0, 0), QByteArray("00"));
    // What the controller holds checks out against the table.
    QCOMPARE(int(rig.controller.image[1]), 10);
    QCOMPARE(int(rig.controller.image[575]), int('Z'));
    QVERIFY(rig.mod.Cnf == before);
    QVERIFY(rig.mod.Modified);
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("None"));
}

void TestTransfer::uploadFramesAndTable() {
    Rig rig;
    for (int i = 0; i < CnfBytes; ++i) {
        rig.controller.image[i] = std::uint8_t(i / 5);
    }
    rig.controller.image[8 * 9 + 3] = 0x5C; // slot 9, field 3
    rig.controller.image[512 + 63] = 'Z';   // slot 63, field 8
    rig.controller.image[512 + 0] = 'K';    // slot 0, field 8
    QCOMPARE(UploadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Complete, 0}));

    const QList<QByteArray> expected{"[6E0039000003F]",  "[2E0039000403F]", "[EE0039000803F]",
                                     "[3F0039000C03F]",  "[160039001003F]", "[560039001403F]",
                                     "[970039001803F]",  "[070039001C03F]", "[1E0039002003F]",
                                     "[0A003F00000023F]"};
    QCOMPARE(rig.line.frames, expected);
    QCOMPARE(int(rig.mod.field(9, ORef)), 0x5C);
    QCOMPARE(int(rig.mod.field(63, KeyChar)), int('Z'));
    QCOMPARE(int(rig.mod.field(0, KeyChar)), int('K'));
    QCOMPARE(int(rig.mod.field(1, OEnabled)), 8 / 5);
    QCOMPARE(int(rig.mod.field(40, IRef)), (40 * 8 + 5) / 5);
    QCOMPARE(rig.reporter.events, FullProgress);
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages.at(0).kind, TransferMessage::Complete);
    QCOMPARE(rig.reporter.messages.at(0).text, QStringLiteral("Upload Complete"));
    QCOMPARE(rig.reporter.messages.at(0).title, QStringLiteral("Upload"));
}

void TestTransfer::roundTrip() {
    Rig rig;
    rig.mod.Cnf = patternTable();
    QCOMPARE(DownloadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);

    ModBrevane fresh;
    Exchange link(rig.line, rig.clock, fresh);
    RecordingReporter reporter(fresh);
    QCOMPARE(UploadCnf(link, reporter).kind, TransferOutcome::Complete);
    QVERIFY(fresh.Cnf == patternTable());
    fresh.UnpackKeys();
    QCOMPARE(fresh.OKey, QStringLiteral("Orvik"));
    QCOMPARE(fresh.IKey, QStringLiteral("Net"));
}

void TestTransfer::downloadErrors_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("code");

    QTest::newRow("first block unanswered") << 0 << int(FakeController::Silent) << 4;
    QTest::newRow("block 5 bad checksum") << 5 << int(FakeController::BadSum) << 4;
    QTest::newRow("block 2 extra character") << 2 << int(FakeController::Extra) << 4;
    QTest::newRow("block 3 junk before") << 3 << int(FakeController::Junk) << 4;
    QTest::newRow("key block short") << 8 << int(FakeController::Short) << 4;
    QTest::newRow("checksum unanswered") << 9 << int(FakeController::Silent) << 52;
    QTest::newRow("checksum reply short") << 9 << int(FakeController::Short) << 52;
    QTest::newRow("checksum reply bad checksum") << 9 << int(FakeController::BadSum) << 52;
    QTest::newRow("high half differs") << 9 << int(FakeController::High) << 61;
    QTest::newRow("low half differs") << 9 << int(FakeController::Low) << 62;
}

void TestTransfer::downloadErrors() {
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(int, code);
    Rig rig;
    rig.mod.Cnf = patternTable();
    const CnfTable before = rig.mod.Cnf;
    rig.controller.faults[frame] = FakeController::Fault(fault);
    QCOMPARE(DownloadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Failed, code}));

    QCOMPARE(rig.line.frames.size(), qMin(frame, 9) + 1); // nothing after the failure
    QCOMPARE(rig.reporter.events, FullProgress.mid(0, qMin(frame, 9) + 1));
    QCOMPARE(rig.reporter.messages.size(), 1);
    const TransferMessage& message = rig.reporter.messages.at(0);
    QCOMPARE(message.kind, TransferMessage::Error);
    QCOMPARE(message.text, downloadError(code));
    QCOMPARE(message.title, QStringLiteral("Error"));
    QVERIFY(rig.mod.Cnf == before);
}

void TestTransfer::uploadErrors_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("lastFrame");

    QTest::newRow("first block unanswered") << 0 << int(FakeController::Silent) << 71 << 0;
    QTest::newRow("block 1 extra character") << 1 << int(FakeController::Extra) << 71 << 1;
    QTest::newRow("block 6 junk before") << 6 << int(FakeController::Junk) << 71 << 6;
    QTest::newRow("key block short") << 8 << int(FakeController::Short) << 71 << 8;
    QTest::newRow("checksum unanswered") << 9 << int(FakeController::Silent) << 52 << 9;
    QTest::newRow("checksum reply extra") << 9 << int(FakeController::Extra) << 52 << 9;
    QTest::newRow("high half differs") << 9 << int(FakeController::High) << 61 << 9;
    QTest::newRow("low half differs") << 9 << int(FakeController::Low) << 62 << 9;
    // The checksum holds, but "G1" reads as 0 where the controller holds another byte.
    QTest::newRow("block data not hex") << 0 << int(FakeController::Garbage) << 61 << 9;
}

void TestTransfer::uploadErrors() {
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(int, code);
    QFETCH(int, lastFrame);
    Rig rig;
    rig.controller.image = controllerImage(patternTable());
    rig.mod.field(5, OEnabled) = 1;
    rig.mod.OKey = QStringLiteral("old");
    rig.mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
    rig.controller.faults[frame] = FakeController::Fault(fault);
    QCOMPARE(UploadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Failed, code}));

    QCOMPARE(rig.line.frames.size(), lastFrame + 1);
    QCOMPARE(rig.reporter.events, FullProgress.mid(0, lastFrame + 1));
    QCOMPARE(rig.reporter.messages.size(), 1);
    const TransferMessage& message = rig.reporter.messages.at(0);
    QCOMPARE(message.kind, TransferMessage::Error);
    QCOMPARE(message.text, uploadError(code));
    QCOMPARE(message.title, QStringLiteral("Error"));
    // Cleared after the message: no part of what was read stays, and no file owns it.
    QVERIFY(rig.mod.Cnf == CnfTable{});
    QCOMPARE(rig.mod.OKey, QString());
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("None"));
}

void TestTransfer::uploadBlock3BadChecksumLeavesNothing() {
    Rig rig;
    rig.controller.image = controllerImage(patternTable());
    rig.controller.faults[3] = FakeController::BadSum;
    rig.mod.Modified = true;
    rig.mod.OKey = QStringLiteral("typed");
    rig.mod.IKey = QStringLiteral("keys");
    QCOMPARE(UploadCnf(rig.link, rig.reporter).errorCode, 71);

    // While the message was up, blocks 0-2 had arrived and block 3 had not.
    const CnfTable pattern = patternTable();
    const CnfTable& shown = rig.reporter.tableAtMessage;
    QCOMPARE(int(shown[cnfOffset(0, ONode)]), int(pattern[cnfOffset(0, ONode)]));
    QCOMPARE(int(shown[cnfOffset(23, Reserved7)]), int(pattern[cnfOffset(23, Reserved7)]));
    QCOMPARE(int(shown[cnfOffset(24, OEnabled)]), 0);
    // Then everything went: table, keys, Modified.
    QVERIFY(rig.mod.Cnf == CnfTable{});
    QCOMPARE(rig.mod.OKey, QString());
    QCOMPARE(rig.mod.IKey, QString());
    QVERIFY(!rig.mod.Modified);
}

void TestTransfer::uploadSuccessKeepsModified() {
    Rig rig;
    rig.controller.image = controllerImage(patternTable());
    rig.mod.Modified = true;
    rig.mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
    QCOMPARE(UploadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);
    QVERIFY(rig.mod.Modified);
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
    QVERIFY(rig.mod.Cnf == patternTable());
}

void TestTransfer::lowerCaseRepliesAccepted() {
    Rig rig;
    rig.controller.image = controllerImage(patternTable());
    for (int frame = 0; frame < 20; ++frame) {
        rig.controller.faults[frame] = FakeController::Lower;
    }
    QCOMPARE(UploadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);
    QVERIFY(rig.mod.Cnf == patternTable());
    // And a download whose acknowledgements and checksum come in lower case.
    QCOMPARE(DownloadCnf(rig.link, rig.reporter).kind, TransferOutcome::Complete);
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
    rig.mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
    rig.mod.Modified = true;
    const TransferOutcome outcome =
        upload ? UploadCnf(rig.link, rig.reporter) : DownloadCnf(rig.link, rig.reporter);
    QCOMPARE(outcome, (TransferOutcome{TransferOutcome::PortError, 0}));
    QCOMPARE(rig.line.frames.size(), 0);
    QCOMPARE(rig.reporter.events, QStringList{});
    QCOMPARE(rig.reporter.messages.size(), 1);
    QCOMPARE(rig.reporter.messages.at(0).kind, TransferMessage::PortError);
    QCOMPARE(rig.reporter.messages.at(0).text, QStringLiteral("Unable To Open Port"));
    QCOMPARE(rig.reporter.messages.at(0).title, QStringLiteral("Port Error"));
    QVERIFY(rig.mod.Cnf == patternTable());
    QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
    QVERIFY(rig.mod.Modified);
}

void TestTransfer::noReplyWaitsOnceThenStops() {
    // A controller that never answers: one full time-out on the first block, then the
    // message; a line that breaks mid-run gives the step's code at once.
    {
        Rig rig;
        rig.controller.faults[0] = FakeController::Silent;
        QCOMPARE(DownloadCnf(rig.link, rig.reporter).errorCode, 4);
        QCOMPARE(rig.clock.now(), 5000);
        QCOMPARE(rig.line.frames.size(), 1);
    }
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
        const TransferOutcome outcome =
            c.upload ? UploadCnf(rig.link, rig.reporter) : DownloadCnf(rig.link, rig.reporter);
        QCOMPARE(outcome.errorCode, c.code);
        QCOMPARE(rig.clock.now(), 0);
        QCOMPARE(rig.reporter.messages.size(), 1);
    }
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
