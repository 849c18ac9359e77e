// Download and Upload against the stand-in's controller model on the fake line and clock:
// every transfer fault is checked here, once. Below them, one exchange: where the
// time-out's limit falls, and stale input. Block replies no controller sends are
// fuzz_blockreply's.

#include <QtTest>

#include "link/exchange.h"
#include "link/protocol.h"
#include "link/transfer.h"
#include "tests/support/controllerend.h"

namespace {

// A message kind by its name in the code.
QString kindName(TransferMessage::Kind kind) {
    switch (kind) {
    case TransferMessage::PortError:
        return QStringLiteral("PortError");
    case TransferMessage::Complete:
        return QStringLiteral("Complete");
    case TransferMessage::Error:
        return QStringLiteral("Error");
    }
    return QString::number(kind);
}

// Records what a run shows ("start 9", "1" ... "9", "kind|title|text", the kind by name), and
// the table as it stood when the message came up.
class RecordingReporter final : public TransferReporter {
public:
    explicit RecordingReporter(const ModBrevane& mod) : m_mod(mod) {}

    void progressStarted(int max) override { events << QStringLiteral("start %1").arg(max); }
    void progress(int value) override { events << QString::number(value); }
    void message(const TransferMessage& message) override {
        events << QStringList{kindName(message.kind), message.title, message.text}.join('|');
        tableAtMessage = m_mod.Cnf;
    }

    QStringList events;
    CnfTable tableAtMessage{};

private:
    const ModBrevane& m_mod;
};

// A table on the fake line to the stand-in's controller model, through one exchange, the run's
// messages recorded.
struct LinkRig : ControllerEnd {
    ModBrevane mod;
    Exchange link{line, clock, mod};
    RecordingReporter reporter{mod};

    explicit LinkRig(const QStringList& faults = {}) : ControllerEnd(faults) {
        mod.CnfPath = QStringLiteral("/somewhere/site.BRV");
        mod.Modified = true;
        mod.ComPortNum = 7;
    }
    // Each frame without its checksum (tst_protocol's): "[00" + command + "]", a block
    // write's data (which the controller's image shows) as "<data>".
    QStringList sent() const {
        constexpr int ChecksumDigits = 2;          // right after "["
        constexpr int DataDigits = 2 * BlockBytes; // right before "]"
        QStringList frames;
        for (const QByteArray& frame : line.frames) {
            QString shown = QString::fromLatin1(frame).remove(1, ChecksumDigits);
            if (shown.startsWith(QStringLiteral("[00380"))) {
                shown.replace(shown.size() - 1 - DataDigits, DataDigits, QStringLiteral("<data>"));
            }
            frames << shown;
        }
        return frames;
    }
};

const QStringList FullProgress{"start 9", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
const QStringList Writes{"[0038000003F<data>]", "[0038000403F<data>]", "[0038000803F<data>]",
                         "[0038000C03F<data>]", "[0038001003F<data>]", "[0038001403F<data>]",
                         "[0038001803F<data>]", "[0038001C03F<data>]", "[0038002003F<data>]",
                         "[003F00000023F]"};
const QStringList Reads{"[0039000003F]", "[0039000403F]",  "[0039000803F]", "[0039000C03F]",
                        "[0039001003F]", "[0039001403F]",  "[0039001803F]", "[0039001C03F]",
                        "[0039002003F]", "[003F00000023F]"};
const QString DownloadError = QStringLiteral("Error|Error|Download Error: %1\r\nBrevane will not "
                                             "function properly until a download is complete.");
const QString UploadError =
    QStringLiteral("Error|Error|Upload Error: %1\r\nAll Host Data Cleared.");

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private slots:
    void download() {
        LinkRig rig;
        rig.mod.field(0, ONode) = 0x1A;
        rig.mod.field(63, Reserved7) = 0x77;
        rig.mod.field(2, KeyChar) = 'k';
        QCOMPARE(DownloadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Complete}));
        QCOMPARE(rig.line.opens, QList<int>{7});
        QCOMPARE(rig.line.closes, 0); // the caller closes the port
        QCOMPARE(rig.sent(), Writes);
        // In the controller's order: fields 0-7 slot by slot, then the keys.
        const ControllerImage& image = rig.controller.image();
        QCOMPARE(QList<int>({image[1], image[511], image[514]}), QList<int>({0x1A, 0x77, 'k'}));
        QCOMPARE(int(std::count(image.begin(), image.end(), 0)), 573);
        QCOMPARE(rig.reporter.events,
                 FullProgress + QStringList{"Complete|Download|Download Complete"});
        QVERIFY(rig.mod.Modified); // a download is no save
    }
    void upload() {
        // Lower-case replies are as good as upper-case ones.
        LinkRig rig({"lower@1", "lower@4", "lower@9", "lower@10"});
        ControllerImage image{};
        image[1] = 0x1A;   // slot 0's node
        image[511] = 0x77; // slot 63's field 7
        image[514] = 'k';  // slot 2's key character
        image[575] = 0xC3; // slot 63's key byte
        rig.controller.setImage(image);
        QCOMPARE(UploadCnf(rig.link, rig.reporter), (TransferOutcome{TransferOutcome::Complete}));
        QCOMPARE(rig.sent(), Reads);
        CnfTable expected{};
        expected[cnfOffset(0, ONode)] = 0x1A;
        expected[cnfOffset(63, Reserved7)] = 0x77;
        expected[cnfOffset(2, KeyChar)] = 'k';
        expected[cnfOffset(63, KeyChar)] = 0xC3;
        QVERIFY(rig.mod.Cnf == expected);
        QCOMPARE(rig.mod.OKey, QString()); // the keys are left packed for the caller
        QCOMPARE(rig.reporter.events,
                 FullProgress + QStringList{"Complete|Upload|Upload Complete"});
        QCOMPARE(rig.mod.CnfPath, QStringLiteral("/somewhere/site.BRV"));
    }
    // The stand-in's faults on one frame (1-based), the code, the frames sent and the
    // time on the fake clock: a reply takes 2 ms, a missing one the whole 5000 ms.
    void downloadFails_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("ms");
        QTest::newRow("key block reply short") << "short@9" << 4 << 9 << 5016;
        QTest::newRow("junk before the reply") << "junk@3" << 4 << 3 << 6;
        QTest::newRow("wrong reply checksum") << "badsum@2" << 4 << 2 << 4;
        QTest::newRow("line dropped at block 3") << "hangup@3" << 4 << 3 << 4;
        QTest::newRow("checksum unanswered") << "silent@10" << 52 << 10 << 5018;
        QTest::newRow("high half differs") << "high@10" << 61 << 10 << 20;
        QTest::newRow("low half differs") << "low@10" << 62 << 10 << 20;
    }
    void downloadFails() {
        QFETCH(QString, fault);
        QFETCH(int, code);
        QFETCH(int, frames);
        QFETCH(int, ms);
        LinkRig rig({fault});
        rig.mod.field(5, OEnabled) = 1;
        const CnfTable before = rig.mod.Cnf;
        QCOMPARE(DownloadCnf(rig.link, rig.reporter),
                 (TransferOutcome{TransferOutcome::Failed, code}));
        QCOMPARE(rig.sent(), Writes.mid(0, frames)); // nothing after the failing frame
        QCOMPARE(rig.reporter.events, FullProgress.mid(0, frames) << DownloadError.arg(code));
        QCOMPARE(int(rig.clock.now()), ms);
        QVERIFY(rig.mod.Cnf == before);
        QVERIFY(rig.mod.Modified);
    }
    // bytesRead: how much of the table had arrived while the message was up.
    void uploadFails_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("bytesRead");
        QTest::newRow("first block unanswered") << "silent@1" << 71 << 1 << 0;
        QTest::newRow("block 3 bad checksum") << "badsum@4" << 71 << 4 << 192;
        QTest::newRow("key block short") << "short@9" << 71 << 9 << 512;
        QTest::newRow("checksum reply with extra") << "extra@10" << 52 << 10 << 576;
        QTest::newRow("line dropped at the checksum") << "hangup@10" << 52 << 10 << 576;
    }
    void uploadFails() {
        QFETCH(QString, fault);
        QFETCH(int, code);
        QFETCH(int, frames);
        QFETCH(int, bytesRead);
        LinkRig rig({fault});
        ControllerImage image;
        image.fill(0x11);
        rig.controller.setImage(image);
        rig.mod.Cnf.fill(0xEE);
        QCOMPARE(UploadCnf(rig.link, rig.reporter),
                 (TransferOutcome{TransferOutcome::Failed, code}));
        QCOMPARE(rig.sent(), Reads.mid(0, frames));
        QCOMPARE(rig.reporter.events, FullProgress.mid(0, frames) << UploadError.arg(code));
        const CnfTable& seen = rig.reporter.tableAtMessage;
        QCOMPARE(int(std::count(seen.begin(), seen.end(), 0x11)), bytesRead);
        QCOMPARE(int(std::count(seen.begin(), seen.end(), 0xEE)), 576 - bytesRead);
        // Cleared after the message: nothing read stays, and no file owns it.
        QVERIFY(rig.mod.Cnf == CnfTable{});
        QCOMPARE(rig.mod.CnfPath, QStringLiteral("None"));
        QVERIFY(!rig.mod.Modified);
    }
    // The checksum reply comes afterMs after the write: taken then, or not at all once the
    // clock shows the limit.
    void replies_data() {
        QTest::addColumn<QByteArray>("waiting"); // in before the command
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("countCostMs"); // clock time each look at the line takes
        QTest::addColumn<bool>("accepted");
        const QByteArray none;
        QTest::newRow("stale reply flushed") << ZeroChecksumReply << 20 << 5000 << 0 << true;
        QTest::newRow("complete one ms before the limit") << none << 4999 << 5000 << 0 << true;
        QTest::newRow("complete just at the limit") << none << 5000 << 5000 << 0 << false;
        // Complete while the clock still shows 4999; the reading after the wait shows 5000.
        QTest::newRow("the reading after the wait decides") << none << 4999 << 5000 << 1 << false;
        QTest::newRow("shortened time-out, at the limit") << none << 100 << 100 << 0 << false;
    }
    void replies() {
        QFETCH(QByteArray, waiting);
        QFETCH(int, afterMs);
        QFETCH(int, timeoutMs);
        QFETCH(int, countCostMs);
        QFETCH(bool, accepted);
        FakeClock clock;
        FakeLine line{clock};
        ModBrevane mod;
        Exchange link{line, clock, mod};
        line.open(1);
        line.arriveNow(waiting);
        line.bytesWaitingCostMs = countCostMs;
        line.setResponder([afterMs](const QByteArray&, int) {
            return QList<Arrival>{{afterMs, ZeroChecksumReply}};
        });
        // The clock counts from the write, not before it.
        line.onWrite = [&clock](int) { QCOMPARE(clock.restarts, 0); };
        clock.advance(1234);
        link.setTimeoutMs(timeoutMs);
        mod.LastReply = "previous";
        QCOMPARE(link.SendCommand(ChecksumCommand, ChecksumReplyLength), accepted);
        QCOMPARE(line.frames, QList<QByteArray>{ChecksumFrame});
        QCOMPARE(clock.restarts, 1);
        QCOMPARE(mod.LastReply, accepted ? ZeroChecksumReply : QByteArray("previous"));
        QCOMPARE(int(clock.elapsedMs()), accepted ? afterMs : timeoutMs);
        QVERIFY2(line.waits <= 2, qPrintable(QString::number(line.waits))); // blocks, no spin
    }
    // A reply in three pieces: each wait tells the line how much is still to come, so a
    // line that can end a read on a count ends it with the reply's last character.
    void waitsAskForWhatIsMissing() {
        FakeClock clock;
        FakeLine line{clock};
        ModBrevane mod;
        Exchange link{line, clock, mod};
        line.open(1);
        line.setResponder([](const QByteArray&, int) {
            return QList<Arrival>{{10, "[34D"}, {20, "A9019"}, {30, "0E]"}};
        });
        QVERIFY(link.SendCommand(ChecksumCommand, ChecksumReplyLength));
        QCOMPARE(line.missingAsked, (QList<qint64>{12, 8, 3}));
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
