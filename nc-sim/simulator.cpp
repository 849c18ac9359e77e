#include "nc-sim/simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <chrono>
#include <cstdio>

#include "files/brvfile.h"
#include "platform/linesettings.h"

namespace {

void printLine(std::FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

} // namespace

namespace {

// A moment the adapter's timer ran out: somewhere within one period from now, on a whole
// millisecond, as a timer that has run since the adapter was plugged in.
PseudoTerminal::Clock::time_point timerPhase(int latencyMs) {
    const auto now = PseudoTerminal::Clock::now();
    return latencyMs <= 0
               ? now
               : now - std::chrono::milliseconds(QRandomGenerator::global()->bounded(latencyMs));
}

} // namespace

Simulator::Simulator(SimOptions options)
    : m_options(std::move(options)), m_controller(m_options.faults),
      m_adapter(m_options.adapterLatencyMs, timerPhase(m_options.adapterLatencyMs)) {
    m_controller.setImage(m_options.image);
}

int Simulator::run() {
    m_start = Clock::now();
    catchQuitSignals();
    if (!openLine()) {
        return 1;
    }
    int status = 0;
    std::optional<Clock::time_point> next;
    for (;;) {
        const PseudoTerminal::Wake wake = m_line->wait(next);
        if (wake == PseudoTerminal::Wake::Quit) {
            break;
        }
        if (wake == PseudoTerminal::Wake::Failed) {
            printLine(stderr, QStringLiteral("brevane-nc-sim: the line failed"));
            status = 1;
            break;
        }
        if (wake == PseudoTerminal::Wake::Input) {
            take(m_line->readAvailable(), Clock::now());
            if (!m_line->isOpen()) {
                status = 1; // a hangup could not open a fresh line
                break;
            }
        }
        next = sendDue();
    }
    log(QStringLiteral("closing %1").arg(m_line->slavePath()));
    m_line->close();
    removeLink();
    return status;
}

bool Simulator::openLine() {
    // The fresh line is ready, and linked, before an earlier one drops: a client that
    // notices the drop finds its replacement at once.
    auto fresh = std::make_unique<PseudoTerminal>();
    QString error;
    if (!fresh->open(&error)) {
        printLine(stderr,
                  QStringLiteral("brevane-nc-sim: cannot open a pseudo-terminal: %1").arg(error));
        return false;
    }
    QString shown = fresh->slavePath();
    if (!m_options.linkPath.isEmpty()) {
        if (!replaceSymlink(fresh->slavePath(), m_options.linkPath, &error)) {
            printLine(stderr, QStringLiteral("brevane-nc-sim: cannot link %1: %2")
                                  .arg(m_options.linkPath, error));
            return false;
        }
        shown = m_options.linkPath;
    }
    if (m_options.linkPath.isEmpty() || !m_line) {
        printLine(stdout, shown);
    }
    log(QStringLiteral("line %1%2, %3%4")
            .arg(fresh->slavePath(),
                 m_options.linkPath.isEmpty() ? QString() : QStringLiteral(" as ") + shown,
                 m_options.paced ? QStringLiteral("paced at %1 baud").arg(ControllerLine.baudRate)
                                 : QStringLiteral("no pacing"),
                 m_options.adapterLatencyMs > 0
                     ? QStringLiteral(", through a USB adapter with a %1 ms latency timer")
                           .arg(m_options.adapterLatencyMs)
                     : QString()));
    m_line = std::move(fresh);
    return true;
}

void Simulator::hangUp() {
    m_pending.clear();
    log(QStringLiteral("hanging up %1").arg(m_line->slavePath()));
    if (!openLine()) {
        m_line->close();
    }
}

void Simulator::take(const QByteArray& input, Clock::time_point arrived) {
    bool changed = false;
    for (const Received& r : m_controller.feed(input)) {
        if (r.frame == 0) {
            log(QStringLiteral("in  discarded %1").arg(printableBytes(r.bytes)));
            continue;
        }
        // Why a frame went unanswered shows here; the faults in a reply show with it.
        const bool unanswered = r.reply.isEmpty() && !r.note.isEmpty();
        log(QStringLiteral("in  #%1 %2%3")
                .arg(QString::number(r.frame), printableBytes(r.bytes),
                     unanswered ? QStringLiteral("  (%1)").arg(r.note) : QString()));
        if (r.hangup) {
            hangUp(); // the controller has dropped whatever followed
            break;
        }
        const std::vector<LinePiece> onWire =
            replyPieces(r, m_options.paced, arrived, std::max(arrived, m_wireFree));
        if (!onWire.empty()) {
            m_wireFree = onWire.back().due;
        }
        for (LinePiece& piece : m_adapter.handOver(onWire)) {
            m_pending.push_back(std::move(piece));
        }
        changed = changed || r.imageChanged;
    }
    // Replies first: an unpaced one should not wait for the disk.
    sendDue();
    if (changed) {
        saveState();
    }
}

std::optional<Simulator::Clock::time_point> Simulator::sendDue() {
    for (;;) {
        const Clock::time_point now = Clock::now();
        QByteArray chunk;
        QStringList logLines;
        while (!m_pending.empty() && m_pending.front().due <= now &&
               !m_pending.front().afterClientRead) {
            chunk += m_pending.front().bytes;
            if (!m_pending.front().logLine.isEmpty()) {
                logLines << m_pending.front().logLine;
            }
            m_pending.pop_front();
        }
        if (!chunk.isEmpty()) {
            writePiece(chunk, logLines);
        }
        if (m_pending.empty()) {
            return std::nullopt;
        }
        const LinePiece& front = m_pending.front();
        if (front.due > now) {
            return front.due;
        }
        // A held-back piece: wait (a millisecond at a time) for the client to read.
        if (m_line->unreadByClient() > 0 && now < front.due + StaleWaitLimit) {
            return now + std::chrono::milliseconds(1);
        }
        writePiece(front.bytes, {front.logLine});
        m_pending.pop_front();
    }
}

void Simulator::writePiece(const QByteArray& bytes, const QStringList& logLines) {
    const qsizetype written = m_line->write(bytes);
    for (const QString& line : logLines) {
        log(line);
    }
    if (written < bytes.size()) {
        log(QStringLiteral("line full: %1 characters lost").arg(bytes.size() - written));
    }
}

void Simulator::saveState() {
    if (m_options.statePath.isEmpty()) {
        return;
    }
    QString error;
    if (!writeBrvFile(m_options.statePath, tableFromImage(m_controller.image()), &error)) {
        printLine(
            stderr,
            QStringLiteral("brevane-nc-sim: cannot write %1: %2").arg(m_options.statePath, error));
    }
}

void Simulator::removeLink() {
    // Only our own link: another stand-in may have taken the port over since.
    if (!m_options.linkPath.isEmpty() &&
        QFileInfo(m_options.linkPath).symLinkTarget() == m_line->slavePath()) {
        QFile::remove(m_options.linkPath);
    }
}

void Simulator::log(const QString& text) const {
    if (m_options.quiet) {
        return;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
    printLine(stderr, QStringLiteral("%1 ms  %2").arg(ms, 10, 'f', 3).arg(text));
}
