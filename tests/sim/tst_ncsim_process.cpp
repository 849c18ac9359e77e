// The real brevane-nc-sim program, driven through a real serial port on its
// pseudo-terminal.

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QtTest>
#include <memory>

#include "files/brvfile.h"
#include "link/protocol.h"
#include "table/hextext.h"
#include "tests/support/testhome.h"
#include "tools/nc-sim/controller.h"

namespace {

constexpr int Patience = 10000; // ms; only reached when something is broken

const QByteArray ZeroChecksumReply = "[34DA90190E]";
const QByteArray ChecksumFrame = "[0A003F00000023F]";

// The stand-in as a child process.
class Sim {
public:
    explicit Sim(const QStringList& arguments) {
        m_process.start(QStringLiteral(BREVANE_NC_SIM), arguments);
        m_process.waitForStarted(Patience);
    }
    ~Sim() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(Patience);
        }
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // The next line of standard output, without its end; empty when none comes.
    QString nextLine() {
        QDeadlineTimer deadline(Patience);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(int(deadline.remainingTime()));
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    // Sends the signal, waits for the end, returns the exit status (-1: it did not end
    // normally).
    int stop(const QString& signal = QStringLiteral("-TERM")) {
        QProcess::execute(QStringLiteral("kill"), {signal, QString::number(m_process.processId())});
        return finish();
    }
    int finish() {
        if (!m_process.waitForFinished(Patience) ||
            m_process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return m_process.exitCode();
    }
    QByteArray standardError() { return m_process.readAllStandardError(); }
    QByteArray standardOutput() { return m_process.readAllStandardOutput(); }

private:
    QProcess m_process;
};

std::unique_ptr<QSerialPort> openPort(const QString& path) {
    auto port = std::make_unique<QSerialPort>(path);
    port->setBaudRate(QSerialPort::Baud38400);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        qWarning("cannot open %s: %s", qPrintable(path), qPrintable(port->errorString()));
        return nullptr;
    }
    return port;
}

// Waits until at least n characters have come, then takes everything waiting.
QByteArray readAtLeast(QSerialPort& port, qsizetype n, int timeoutMs = Patience) {
    QDeadlineTimer deadline(timeoutMs);
    while (port.bytesAvailable() < n && !deadline.hasExpired()) {
        if (!port.waitForReadyRead(int(deadline.remainingTime()))) {
            break;
        }
    }
    return port.readAll();
}

// One exchange: the frame out, the reply of the awaited length back, then a pause to
// see that nothing else follows.
QByteArray exchange(QSerialPort& port, const QByteArray& frame, qsizetype replyLength) {
    port.write(frame);
    port.waitForBytesWritten(Patience);
    QByteArray reply = readAtLeast(port, replyLength);
    reply += readAtLeast(port, 1, 100);
    return reply;
}

QString portsFolder() {
    return QDir::homePath() + QStringLiteral("/Orvik Tessaly Net/ports");
}

} // namespace

class TestNcSimProcess : public QObject {
    Q_OBJECT

private slots:
    void init();
    void exchanges_data();
    void exchanges();
    void lineSurvivesClientReopening();
    void stateFileLoadedAndWrittenBack();
    void missingStateFileStartsEmpty();
    void shortStateFileRefused();
    void portLink_data();
    void portLink();
    void linkToAnotherDeviceLeftAlone();
    void hangup_data();
    void hangup();
    void pacingTakesTheWireTime();
    void faultsKeepTheirWrites();
    void staleBytesWaitOnTheLine();
    void logAndQuiet();
    void badArguments_data();
    void badArguments();
    void help();
};

void TestNcSimProcess::init() {
    useFreshHome();
}

void TestNcSimProcess::exchanges_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("paced") << QStringList{QStringLiteral("--quiet")};
    QTest::newRow("no pacing") << QStringList{QStringLiteral("--quiet"),
                                              QStringLiteral("--no-pacing")};
}

void TestNcSimProcess::exchanges() {
    QFETCH(QStringList, arguments);
    Sim sim(arguments);
    const QString path = sim.nextLine();
    QVERIFY2(path.startsWith(QStringLiteral("/dev/")), qPrintable(path));
    auto port = openPort(path);
    QVERIFY(port);

    QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
    ControllerImage image{};
    for (int k = 0; k < BlockBytes; ++k) {
        image[3 * BlockBytes + k] = static_cast<std::uint8_t>(255 - k);
    }
    QCOMPARE(exchange(*port, commandFrame(blockWriteCommand(3, image)), 6), QByteArray("[F500]"));
    const QByteArray read = exchange(*port, commandFrame(blockReadCommand(3)), 132);
    QCOMPARE(read, replyFrame(blockHex(image, 3)));
    // Lower-case command digits and junk between frames are fine.
    const QByteArray sum = exchange(*port, "noise" + commandFrame("3f00000023f"), 12);
    QCOMPARE(sum, replyFrame(Hex4(ImageChecksum(image) >> 16U) + Hex4(ImageChecksum(image))));
    // A frame with a wrong checksum gets no reply: only the good frame after it does.
    QCOMPARE(exchange(*port, "[0B003F00000023F]" + ChecksumFrame, 12), sum);
    QCOMPARE(sim.stop(), 0);
}

void TestNcSimProcess::lineSurvivesClientReopening() {
    Sim sim({QStringLiteral("--quiet"), QStringLiteral("--no-pacing")});
    const QString path = sim.nextLine();
    for (int round = 0; round < 3; ++round) {
        auto port = openPort(path);
        QVERIFY(port);
        QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
    }
    QCOMPARE(sim.stop(), 0);
}

void TestNcSimProcess::stateFileLoadedAndWrittenBack() {
    const QString file = QDir::homePath() + QStringLiteral("/Site A.BRV");
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    QVERIFY(writeBrvFile(file, cnf));
    Sim sim({QStringLiteral("--quiet"), QStringLiteral("--no-pacing"), QStringLiteral("--state"),
             file});
    auto port = openPort(sim.nextLine());
    QVERIFY(port);
    // The file's table arrives in the controller's order.
    const ControllerImage image = controllerImage(cnf);
    for (int block : {0, 5, 8}) {
        QCOMPARE(exchange(*port, commandFrame(blockReadCommand(block)), 132).mid(3, 128),
                 blockHex(image, block));
    }
    QCOMPARE(exchange(*port, ChecksumFrame, 12).mid(3, 8),
             Hex4(ImageChecksum(image) >> 16U) + Hex4(ImageChecksum(image)));

    // A new key block goes back into the file in table order.
    ControllerImage keys = image;
    for (int slot = 0; slot < LinkSlots; ++slot) {
        keys[imageOffset(slot, KeyChar)] = slot < 3 ? 'A' + slot : 0;
    }
    QCOMPARE(exchange(*port, commandFrame(blockWriteCommand(8, keys)), 6), QByteArray("[F500]"));
    QCOMPARE(QFileInfo(file).size(), qint64(CnfBytes));
    const std::optional<CnfTable> saved = readBrvFile(file);
    QVERIFY(saved);
    QCOMPARE(int((*saved)[cnfOffset(1, KeyChar)]), int('B'));
    QCOMPARE(int((*saved)[cnfOffset(3, KeyChar)]), 0);
    QVERIFY(*saved == tableFromImage(keys));
    QCOMPARE(sim.stop(), 0);
    QVERIFY(*readBrvFile(file) == tableFromImage(keys));
}

void TestNcSimProcess::missingStateFileStartsEmpty() {
    const QString file = QDir::homePath() + QStringLiteral("/new.BRV");
    Sim sim({QStringLiteral("--quiet"), QStringLiteral("--no-pacing"), QStringLiteral("--state"),
             file});
    auto port = openPort(sim.nextLine());
    QVERIFY(port);
    QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
    QVERIFY(!QFileInfo::exists(file)); // reading changes nothing
    ControllerImage image{};
    image[0] = 1;
    image[63] = 0x40;
    QCOMPARE(exchange(*port, commandFrame(blockWriteCommand(0, image)), 6), QByteArray("[F500]"));
    const std::optional<CnfTable> saved = readBrvFile(file);
    QVERIFY(saved);
    QVERIFY(*saved == tableFromImage(image));
    QCOMPARE(int((*saved)[cnfOffset(7, Reserved7)]), 0x40);
    QCOMPARE(sim.stop(), 0);
}

void TestNcSimProcess::shortStateFileRefused() {
    const QString file = QDir::homePath() + QStringLiteral("/short.BRV");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(100, '\x01'));
    out.close();
    Sim sim({QStringLiteral("--state"), file});
    QCOMPARE(sim.finish(), 2);
    QCOMPARE(sim.standardOutput(), QByteArray());
    const QByteArray error = sim.standardError();
    QCOMPARE(error.count('\n'), 1);
    QVERIFY2(error.contains("The file holds 100 bytes; a configuration file holds 576."),
             error.constData());
    QCOMPARE(QFileInfo(file).size(), qint64(100)); // left as it was
}

void TestNcSimProcess::portLink_data() {
    QTest::addColumn<QString>("signal");
    QTest::addColumn<bool>("staleLink");
    QTest::newRow("SIGTERM, fresh folder") << QStringLiteral("-TERM") << false;
    QTest::newRow("SIGINT, stale link replaced") << QStringLiteral("-INT") << true;
}

void TestNcSimProcess::portLink() {
    QFETCH(QString, signal);
    QFETCH(bool, staleLink);
    const QString link = portsFolder() + QStringLiteral("/COM3");
    if (staleLink) {
        QVERIFY(QDir().mkpath(portsFolder()));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-line"), link));
    }
    Sim sim({QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--no-pacing"),
             QStringLiteral("--quiet")});
    QCOMPARE(sim.nextLine(), link);
    const QFileInfo info(link);
    QVERIFY(info.isSymLink());
    QVERIFY2(info.symLinkTarget().startsWith(QStringLiteral("/dev/pts/")),
             qPrintable(info.symLinkTarget()));
    {
        auto port = openPort(link);
        QVERIFY(port);
        QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
    }
    QCOMPARE(sim.stop(signal), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(link));
    QVERIFY(QFileInfo(portsFolder()).isDir());
}

void TestNcSimProcess::linkToAnotherDeviceLeftAlone() {
    const QString link = portsFolder() + QStringLiteral("/COM4");
    QVERIFY(QDir().mkpath(portsFolder()));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
    Sim sim({QStringLiteral("--port"), QStringLiteral("4")});
    QCOMPARE(sim.finish(), 2);
    QCOMPARE(sim.standardOutput(), QByteArray());
    QVERIFY(sim.standardError().contains("already links to /dev/null"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
}

void TestNcSimProcess::hangup_data() {
    QTest::addColumn<bool>("withPort");
    QTest::newRow("new path printed") << false;
    QTest::newRow("link renewed") << true;
}

void TestNcSimProcess::hangup() {
    QFETCH(bool, withPort);
    QStringList arguments{QStringLiteral("--fault"), QStringLiteral("hangup@2")};
    if (withPort) {
        arguments << QStringLiteral("--port") << QStringLiteral("7");
    }
    Sim sim(arguments);
    const QString first = sim.nextLine();
    const QString link = portsFolder() + QStringLiteral("/COM7");
    const QString firstTarget = QFileInfo(withPort ? link : first).canonicalFilePath();
    auto port = openPort(first);
    QVERIFY(port);
    QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);

    // Frame 2 drops the line: the client sees an error or the end of the line.
    port->clearError();
    port->write(ChecksumFrame);
    port->waitForBytesWritten(Patience);
    QDeadlineTimer deadline(Patience);
    QByteArray late;
    while (port->error() == QSerialPort::NoError && !deadline.hasExpired()) {
        if (port->waitForReadyRead(int(deadline.remainingTime()))) {
            late += port->readAll();
        }
    }
    QCOMPARE(late, QByteArray());
    QVERIFY2(port->error() == QSerialPort::ResourceError || port->error() == QSerialPort::ReadError,
             qPrintable(port->errorString()));
    port.reset();

    QString second;
    if (withPort) {
        QCOMPARE(sim.standardOutput(), QByteArray()); // the link is renewed, nothing printed
        second = link;
        QVERIFY(QFileInfo(link).symLinkTarget().startsWith(QStringLiteral("/dev/pts/")));
        QVERIFY(QFileInfo(link).symLinkTarget() != firstTarget);
    } else {
        second = sim.nextLine();
        QVERIFY2(second.startsWith(QStringLiteral("/dev/")), qPrintable(second));
        QVERIFY(second != firstTarget);
    }
    port = openPort(second);
    QVERIFY(port);
    QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
    QCOMPARE(sim.stop(), 0);
    // The log tells of the drop and of the fresh line; the link is gone at the end.
    const QString log = QString::fromLatin1(sim.standardError());
    QVERIFY2(log.contains(QStringLiteral("in  #2 [0A003F00000023F]  (hangup)")), qPrintable(log));
    QCOMPARE(log.count(QStringLiteral("paced at 38400 baud")), 2);
    QCOMPARE(log.contains(QStringLiteral(" as ") + link), withPort);
    QVERIFY(!QFileInfo::exists(link));
}

void TestNcSimProcess::pacingTakesTheWireTime() {
    Sim sim({QStringLiteral("--quiet")});
    auto port = openPort(sim.nextLine());
    QVERIFY(port);
    const QByteArray frame = commandFrame(blockReadCommand(0));
    // The frame's own time on the line, then the reply's.
    const qint64 wireNs = wireTime(frame.size() + BlockReadReplyLength).count();
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        port->write(frame);
        port->waitForBytesWritten(Patience);
        const QByteArray reply = readAtLeast(*port, BlockReadReplyLength);
        const qint64 took = timer.nsecsElapsed();
        QCOMPARE(reply.size(), BlockReadReplyLength);
        QVERIFY2(
            took >= wireNs * 8 / 10,
            qPrintable(QStringLiteral("%1 ns for a wire time of %2 ns").arg(took).arg(wireNs)));
    }
    QCOMPARE(sim.stop(), 0);
}

void TestNcSimProcess::faultsKeepTheirWrites() {
    // Paced, junk still comes with the reply's first character and extra characters
    // with its last, so a client reading as soon as 12 have come sees them.
    Sim sim({QStringLiteral("--quiet"), QStringLiteral("--fault"), QStringLiteral("junk@1"),
             QStringLiteral("--fault"), QStringLiteral("extra@2"), QStringLiteral("--fault"),
             QStringLiteral("short@3")});
    auto port = openPort(sim.nextLine());
    QVERIFY(port);
    port->write(ChecksumFrame);
    QByteArray junkFirst = readAtLeast(*port, 1);
    QVERIFY2(junkFirst.startsWith(QByteArray(JunkBytes) + "["), junkFirst.toHex().constData());
    junkFirst += readAtLeast(*port, 16 - junkFirst.size());
    QCOMPARE(junkFirst, QByteArray(JunkBytes) + ZeroChecksumReply);
    port->write(ChecksumFrame);
    QCOMPARE(readAtLeast(*port, 12), ZeroChecksumReply + ExtraBytes);
    QCOMPARE(exchange(*port, ChecksumFrame, 11), ZeroChecksumReply.chopped(1));
    QCOMPARE(sim.stop(), 0);
}

void TestNcSimProcess::staleBytesWaitOnTheLine() {
    Sim sim({QStringLiteral("--quiet"), QStringLiteral("--no-pacing"), QStringLiteral("--fault"),
             QStringLiteral("stale@1")});
    auto port = openPort(sim.nextLine());
    QVERIFY(port);
    port->write(ChecksumFrame);
    QCOMPARE(readAtLeast(*port, 12), ZeroChecksumReply);
    QCOMPARE(readAtLeast(*port, 3), QByteArray(StaleBytes));
    QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
    QCOMPARE(sim.stop(), 0);
}

void TestNcSimProcess::logAndQuiet() {
    for (const bool quiet : {false, true}) {
        QStringList arguments{QStringLiteral("--no-pacing")};
        if (quiet) {
            arguments << QStringLiteral("--quiet");
        }
        Sim sim(arguments);
        auto port = openPort(sim.nextLine());
        QVERIFY(port);
        QCOMPARE(exchange(*port, "xy" + ChecksumFrame, 12), ZeroChecksumReply);
        port.reset();
        QCOMPARE(sim.stop(), 0);
        const QString log = QString::fromLatin1(sim.standardError());
        if (quiet) {
            QCOMPARE(log, QString());
            continue;
        }
        static const QRegularExpression in(
            QStringLiteral("^ *\\d+\\.\\d{3} ms  in  #1 \\[0A003F00000023F\\]$"),
            QRegularExpression::MultilineOption);
        static const QRegularExpression out(
            QStringLiteral("^ *\\d+\\.\\d{3} ms  out #1 \\[34DA90190E\\]$"),
            QRegularExpression::MultilineOption);
        QVERIFY2(log.contains(in), qPrintable(log));
        QVERIFY2(log.contains(out), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("in  discarded xy")), qPrintable(log));
    }
}

void TestNcSimProcess::badArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("port 0") << QStringList{"--port", "0"} << "--port takes a number from 1 to 16";
    QTest::newRow("port 17") << QStringList{"--port", "17"} << "--port takes a number from 1 to 16";
    QTest::newRow("port not a number") << QStringList{"--port", "COM1"} << "not 'COM1'";
    QTest::newRow("port without value") << QStringList{"--port"} << "Missing value after '--port'";
    QTest::newRow("unknown fault") << QStringList{"--fault", "noise"} << "unknown fault 'noise'";
    QTest::newRow("fault frame 0") << QStringList{"--fault", "silent@0"} << "must be 1 or more";
    QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << "Unknown option 'baud'";
    QTest::newRow("state file in no folder")
        << QStringList{"--state", "/no/such/folder/site.BRV"} << "its folder does not exist";
    QTest::newRow("state file is a folder") << QStringList{"--state", "/"} << "cannot read /";
    QTest::newRow("stray argument") << QStringList{"COM1"} << "unexpected argument 'COM1'";
}

void TestNcSimProcess::badArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    Sim sim(arguments);
    QCOMPARE(sim.finish(), 2);
    QCOMPARE(sim.standardOutput(), QByteArray());
    const QString error = QString::fromLocal8Bit(sim.standardError());
    QCOMPARE(error.count(u'\n'), 1);
    QVERIFY2(error.startsWith(QStringLiteral("brevane-nc-sim: ")), qPrintable(error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!QFileInfo::exists(portsFolder()));
}

void TestNcSimProcess::help() {
    Sim sim({QStringLiteral("--help")});
    QCOMPARE(sim.finish(), 0);
    const QByteArray text = sim.standardOutput();
    for (const char* word :
         {"--port", "--state", "--no-pacing", "--fault", "--quiet", "hangup", "stale"}) {
        QVERIFY2(text.contains(word), word);
    }
}

QTEST_GUILESS_MAIN(TestNcSimProcess)
#include "tst_ncsim_process.moc"
