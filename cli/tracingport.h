#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>

#include "platform/serialport.h"

// Wraps the line to the controller and logs every frame written and every reply taken,
// with the milliseconds since the trace began and whether a reply's checksum held. A
// reply the exchange gave up on, and stale bytes it threw away, are logged too, so a
// failing line can be read off the trace.
class TracingPort final : public SerialPort {
public:
    using Sink = std::function<void(const QString& line)>;

    TracingPort(SerialPort& line, Sink sink);

    bool open(int portNumber) override;
    OpenFailure openFailure() const override;
    QString openNote() const override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesWaiting() override;
    QByteArray takeAll() override;
    void discardInput() override;
    bool waitForMore(int ms, qint64 missing) override;
    bool failed() const override;

private:
    void note(const QString& text);
    // Logs what waits on the line before it is dropped, and a reply that never came.
    void noteLeftovers();

    SerialPort& m_line;
    Sink m_sink;
    QElapsedTimer m_clock;
    bool m_awaitingReply = false;
};
