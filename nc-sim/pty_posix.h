#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <optional>

// A pseudo-terminal whose slave end stands in for a serial port (Unix only). This side
// keeps a slave descriptor of its own open, so the line outlives a client closing and
// reopening the port.
class PseudoTerminal {
public:
    using Clock = std::chrono::steady_clock;
    enum class Wake { Input, Deadline, Quit, Failed };

    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens a fresh line in raw mode; on failure sets error to the system's reason.
    bool open(QString* error);
    // Closes both ends: a client still holding the port sees the line drop.
    void close();
    bool isOpen() const { return m_master >= 0; }
    // The path a client opens, e.g. /dev/pts/7.
    QString slavePath() const { return m_slavePath; }

    // Everything the client has sent so far; empty when nothing waits.
    QByteArray readAvailable();
    // Writes without blocking. A line whose reader has stopped taking characters loses
    // what does not fit, as a real receiver would on overrun. Returns the bytes written.
    qsizetype write(QByteArrayView bytes);
    // Characters on their way to the client that it has not read yet.
    int unreadByClient() const;

    // Sleeps until the client sends something, the deadline passes (none: no deadline),
    // or SIGINT/SIGTERM arrives after catchQuitSignals().
    Wake wait(std::optional<Clock::time_point> deadline);

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// From now on SIGINT and SIGTERM only end PseudoTerminal::wait with Wake::Quit, so the
// program can tidy up before it exits. They are held back outside that wait.
void catchQuitSignals();
bool quitRequested();

// Makes link a symbolic link to target in one step, replacing whatever link was there.
bool replaceSymlink(const QString& target, const QString& link, QString* error);
