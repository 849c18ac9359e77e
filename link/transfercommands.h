#pragma once

#include <QObject>
#include <memory>

#include "platform/seams.h"

class Exchange;
class MessageBoxes;
class ModBrevane;
class SerialPort;
class TimeoutClock;
class frmBrevaneMain;

// The ComPort menu, Download and Upload on the main window. A transfer runs to its end
// inside the menu command, blocking on the port; the bar repaints after each block, and the
// window keeps being painted while replies are awaited, but takes no input until the end.
class TransferCommands : public QObject {
    Q_OBJECT
public:
    TransferCommands(ModBrevane& mod, frmBrevaneMain& window, const Seams& seams);
    ~TransferCommands() override;

    // One check mark, on the chosen entry; the number is used by the next transfer.
    void mnuComPort_Click(int Index);
    void mnuDownload_Click();
    void mnuUpload_Click();

    // The reply time-out of every exchange (tests against a live line shorten it).
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }

private:
    class WindowReporter;
    class TransferGuard;

    // An exchange on the window's port and clock that keeps the window served while it waits.
    Exchange exchange();
    void showBar();
    void closePort();

    ModBrevane& m_mod;
    frmBrevaneMain& m_window;
    std::unique_ptr<MessageBoxes> m_ownMessages;
    std::unique_ptr<SerialPort> m_ownPort;
    std::unique_ptr<TimeoutClock> m_ownClock;
    MessageBoxes* m_messages = nullptr;
    SerialPort* m_port = nullptr;
    TimeoutClock* m_clock = nullptr;
    int m_replyTimeoutMs;
    bool m_busy = false;
};
