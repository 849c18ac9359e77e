#include "link/transfercommands.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QScopeGuard>

#include "files/discardquestion.h"
#include "link/exchange.h"
#include "link/transfer.h"
#include "mainwindow/frmbrevanemain.h"
#include "mainwindow/keybox.h"
#include "platform/clock.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"
#include "table/modbrevane.h"

// Drives the window's bar and message boxes. The bar is repainted by hand, so each block
// shows as it passes.
class TransferCommands::WindowReporter final : public TransferReporter {
public:
    WindowReporter(frmBrevaneMain& window, MessageBoxes& messages)
        : m_window(window), m_messages(messages) {}

    void progressStarted(int max) override {
        QProgressBar* bar = m_window.prgUpDown();
        bar->setMaximum(max);
        bar->setValue(0);
        bar->repaint();
    }

    void progress(int value) override {
        QProgressBar* bar = m_window.prgUpDown();
        bar->setValue(value);
        bar->repaint();
    }

    void message(const TransferMessage& message) override {
        Message box;
        box.text = message.text;
        box.title = message.title;
        box.icon =
            message.kind == TransferMessage::Complete ? QMessageBox::NoIcon : QMessageBox::Critical;
        box.buttons = QMessageBox::Ok;
        m_messages.show(&m_window, box);
    }

private:
    frmBrevaneMain& m_window;
    MessageBoxes& m_messages;
};

// While a transfer runs, the window is served only as far as it must be to stay alive:
// paint and the platform's own messages, so that no system calls it hung. Input, close
// requests included, waits in Qt's queue until the transfer ends; a drop, which the
// platform delivers at once, is refused. None of our handlers runs in the middle of it.
class TransferCommands::TransferGuard final : public QObject {
public:
    TransferGuard() { QCoreApplication::instance()->installEventFilter(this); }
    ~TransferGuard() override { QCoreApplication::instance()->removeEventFilter(this); }
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;

    // The exchange's idle step.
    static void serve() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
            event->ignore();
            return true;
        }
        return false;
    }
};

TransferCommands::TransferCommands(ModBrevane& mod, frmBrevaneMain& window, const Seams& seams)
    : m_mod(mod), m_window(window), m_messages(seams.messages), m_port(seams.serialPort),
      m_clock(seams.clock), m_replyTimeoutMs(ReplyTimeoutMs) {
    // Seams left out are the real ones.
    if (m_messages == nullptr) {
        m_ownMessages = std::make_unique<SystemMessageBoxes>();
        m_messages = m_ownMessages.get();
    }
    if (m_port == nullptr) {
        m_ownPort = makeSystemSerialPort();
        m_port = m_ownPort.get();
    }
    if (m_clock == nullptr) {
        m_ownClock = std::make_unique<SteadyClock>();
        m_clock = m_ownClock.get();
    }
    for (int index = 0; index < ComPorts; ++index) {
        connect(window.mnuComPort(index), &QAction::triggered, this,
                [this, index] { mnuComPort_Click(index); });
    }
    connect(window.mnuDownload(), &QAction::triggered, this, &TransferCommands::mnuDownload_Click);
    connect(window.mnuUpload(), &QAction::triggered, this, &TransferCommands::mnuUpload_Click);
}

TransferCommands::~TransferCommands() = default;

void TransferCommands::mnuComPort_Click(int Index) {
    if (Index < 0 || Index >= ComPorts) {
        return;
    }
    // Choosing an entry toggles it before we get here; set every mark outright.
    for (int index = 0; index < ComPorts; ++index) {
        m_window.mnuComPort(index)->setChecked(index == Index);
    }
    m_mod.ComPortNum = Index + 1;
}

void TransferCommands::mnuDownload_Click() {
    if (m_busy) {
        return;
    }
    m_busy = true;
    const auto done = qScopeGuard([this] { m_busy = false; });
    const TransferGuard guard;
    showBar();
    m_mod.PackKeys(m_window.txtOKey()->text(), m_window.txtIKey()->text());
    Exchange link = exchange();
    WindowReporter reporter(m_window, *m_messages);
    DownloadCnf(link, reporter);
    closePort();
    m_window.prgUpDown()->setVisible(false);
}

void TransferCommands::mnuUpload_Click() {
    if (m_busy) {
        return;
    }
    // Upload replaces or clears the table: unsaved edits are not dropped unasked.
    if (!discardQuestion(m_mod, *m_messages, &m_window)) {
        return;
    }
    m_busy = true;
    const auto done = qScopeGuard([this] { m_busy = false; });
    const TransferGuard guard;
    showBar();
    Exchange link = exchange();
    WindowReporter reporter(m_window, *m_messages);
    if (UploadCnf(link, reporter).kind == TransferOutcome::Failed) {
        m_window.ShowFileName();
    }
    m_mod.UnpackKeys();
    closePort();
    m_window.ShowCnf();
    m_window.txtOKey()->setText(m_mod.OKey);
    m_window.txtIKey()->setText(m_mod.IKey);
    m_window.prgUpDown()->setVisible(false);
}

Exchange TransferCommands::exchange() {
    Exchange link(*m_port, *m_clock, m_mod);
    link.setTimeoutMs(m_replyTimeoutMs);
    link.setIdle(&TransferGuard::serve);
    return link;
}

void TransferCommands::showBar() {
    QProgressBar* bar = m_window.prgUpDown();
    bar->setValue(0);
    bar->setVisible(true);
    bar->repaint();
}

void TransferCommands::closePort() {
    if (m_port->isOpen()) {
        m_port->close();
    }
}
