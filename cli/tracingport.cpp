#include "cli/tracingport.h"

#include "link/protocol.h"
#include "table/hextext.h"

TracingPort::TracingPort(SerialPort& line, Sink sink) : m_line(line), m_sink(std::move(sink)) {
    m_clock.start();
}

bool TracingPort::open(int portNumber) {
    const bool opened = m_line.open(portNumber);
    const QString port =
        QStringLiteral("COM%1 (%2)").arg(portNumber).arg(systemPortPath(portNumber));
    const QString lacking = opened ? openNote() : QString();
    note(opened ? QStringLiteral("opened ") + port +
                      (lacking.isEmpty() ? QString() : QStringLiteral("; ") + lacking)
                : QStringLiteral("cannot open %1: %2").arg(port, openFailureText(openFailure())));
    return opened;
}

QString TracingPort::openNote() const {
    return m_line.openNote();
}

OpenFailure TracingPort::openFailure() const {
    return m_line.openFailure();
}

void TracingPort::close() {
    if (m_line.isOpen()) {
        noteLeftovers();
        note(QStringLiteral("closed"));
    }
    m_line.close();
}

bool TracingPort::isOpen() const {
    return m_line.isOpen();
}

bool TracingPort::write(const QByteArray& bytes) {
    noteLeftovers();
    const bool written = m_line.write(bytes);
    note(QStringLiteral("sent     ") + printableBytes(bytes) +
         (written ? QString() : QStringLiteral("  (the line failed)")));
    m_awaitingReply = written;
    return written;
}

qint64 TracingPort::bytesWaiting() {
    return m_line.bytesWaiting();
}

QByteArray TracingPort::takeAll() {
    QByteArray bytes = m_line.takeAll();
    note(QStringLiteral("received ") + printableBytes(bytes) +
         (replyChecksumHolds(bytes) ? QStringLiteral("  checksum holds")
                                    : QStringLiteral("  checksum wrong")));
    m_awaitingReply = false;
    return bytes;
}

void TracingPort::discardInput() {
    noteLeftovers();
    m_line.discardInput();
}

bool TracingPort::waitForMore(int ms, qint64 missing) {
    return m_line.waitForMore(ms, missing);
}

bool TracingPort::failed() const {
    return m_line.failed();
}

void TracingPort::note(const QString& text) {
    const double ms = double(m_clock.nsecsElapsed()) / 1e6;
    m_sink(QStringLiteral("%1 ms  %2").arg(ms, 10, 'f', 3).arg(text));
}

void TracingPort::noteLeftovers() {
    // Taking them here drops nothing the exchange would have kept: it is about to
    // discard them, or to close the line.
    const QByteArray waiting = m_line.isOpen() ? m_line.takeAll() : QByteArray();
    if (m_awaitingReply) {
        QString text = m_line.failed() ? QStringLiteral("no reply: the line failed")
                                       : QStringLiteral("no reply within the time-out");
        if (!waiting.isEmpty()) {
            text += QStringLiteral(", waiting: ") + printableBytes(waiting);
        }
        note(text);
    } else if (!waiting.isEmpty()) {
        note(QStringLiteral("discarded ") + printableBytes(waiting));
    }
    m_awaitingReply = false;
}
