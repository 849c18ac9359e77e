#pragma once

#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "nc-sim/controller.h"
#include "nc-sim/pty_posix.h"
#include "nc-sim/usbadapter.h"

struct SimOptions {
    QString linkPath;  // ~/Orvik Tessaly Net/ports/COMn with --port; empty: print the line
    QString statePath; // --state; empty: none
    bool paced = true;
    bool quiet = false;
    int adapterLatencyMs = 0; // 0: the line reaches the client directly
    std::vector<Fault> faults;
    ControllerImage image{};
};

// The I/O side of the stand-in: one pseudo-terminal, the replies on their schedule,
// the log, the state file and the link.
class Simulator {
public:
    explicit Simulator(SimOptions options);
    // Runs until SIGINT or SIGTERM; returns the exit status.
    int run();

private:
    using Clock = PseudoTerminal::Clock;

    bool openLine();
    void hangUp();
    void take(const QByteArray& input, Clock::time_point arrived);
    // Writes everything due; returns when next to look.
    std::optional<Clock::time_point> sendDue();
    void writePiece(const QByteArray& bytes, const QStringList& logLines);
    void saveState();
    void removeLink();
    void log(const QString& text) const;

    SimOptions m_options;
    Controller m_controller;
    std::unique_ptr<PseudoTerminal> m_line;
    std::deque<LinePiece> m_pending;
    Clock::time_point m_start;
    UsbAdapter m_adapter;
    Clock::time_point m_wireFree; // when the last reply's last character is off the wire
};
