#pragma once

#include <QProgressBar>
#include <memory>

#include "app/brevaneapp.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"

// Answers every message with OK (a question with the scripted answer) and records it,
// with the progress bar as it stood.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget*, const Message& box) override {
        shown << box;
        barVisible << (bar != nullptr && !bar->isHidden());
        barValue << (bar != nullptr ? bar->value() : -1);
        return box.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
    }

    QList<Message> shown;
    QList<bool> barVisible;
    QList<int> barValue;
    QProgressBar* bar = nullptr;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

// The whole program on the given line; without a clock, on the real one.
struct WindowRig {
    RecordingMessageBoxes messages;
    std::unique_ptr<BrevaneApp> app;

    explicit WindowRig(SerialPort& port, TimeoutClock* clock = nullptr)
        : app(std::make_unique<BrevaneApp>(
              Seams{.messages = &messages, .serialPort = &port, .clock = clock})) {
        messages.bar = window().prgUpDown();
    }
    frmBrevaneMain& window() { return app->window(); }
    ModBrevane& mod() { return app->mod(); }
    QStringList texts() const {
        QStringList all;
        for (const Message& box : messages.shown) {
            all << box.text;
        }
        return all;
    }
    // Each message as "title|text|icon|buttons in hex", for one comparison.
    QStringList boxes() const {
        QStringList all;
        for (const Message& box : messages.shown) {
            all << QStringLiteral("%1|%2|%3|%4")
                       .arg(box.title, box.text)
                       .arg(int(box.icon))
                       .arg(int(box.buttons), 0, 16);
        }
        return all;
    }
};

// The whole program on the real port and clock.
struct RealPort {
    SystemSerialPort port;
};
struct RealPortRig : RealPort, WindowRig {
    RealPortRig() : WindowRig(port) {}
};
