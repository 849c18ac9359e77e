#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>

// The stand-in as a child process, for the tests and benchmarks that talk to it through a
// real port. BREVANE_NC_SIM names its executable.
class SimProcess {
public:
    static constexpr int Patience = 10000; // ms; only reached when something is broken

    explicit SimProcess(const QStringList& arguments) {
        m_process.start(QStringLiteral(BREVANE_NC_SIM), arguments);
        m_process.waitForStarted(Patience);
    }
    ~SimProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(Patience);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line of standard output, without its end; empty when none comes.
    QString nextLine() {
        QDeadlineTimer deadline(Patience);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(int(deadline.remainingTime()));
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    // Sends the signal and waits for the end: the exit status, -1 when it ended otherwise.
    int stop(const QString& signal = QStringLiteral("-TERM")) {
        if (m_process.state() != QProcess::NotRunning) {
            QProcess::execute(QStringLiteral("kill"),
                              {signal, QString::number(m_process.processId())});
        }
        return finish();
    }
    int finish() {
        if (!m_process.waitForFinished(Patience) ||
            m_process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return m_process.exitCode();
    }
    // Ends it and returns every frame it logged as received, in order.
    QList<QByteArray> receivedFrames() {
        stop();
        static const QRegularExpression in(QStringLiteral("^ *\\d+\\.\\d+ ms  in  #\\d+ (\\S+)"),
                                           QRegularExpression::MultilineOption);
        QList<QByteArray> frames;
        for (const auto& match : in.globalMatch(QString::fromLatin1(standardError()))) {
            frames << match.captured(1).toLatin1();
        }
        return frames;
    }
    QByteArray standardError() { return m_process.readAllStandardError(); }
    QByteArray standardOutput() { return m_process.readAllStandardOutput(); }

private:
    QProcess m_process;
};
