#pragma once

#include <QProgressBar>
#include <memory>

#include "app/brevaneapp.h"
#include "platform/filedialogs.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"

// A message as "title|icon|buttons|default button|text" (buttons in hex), for one comparison.
inline QString boxText(const Message& m) {
    return QString::asprintf("%s|%d|%x|%x|", qPrintable(m.title), int(m.icon), int(m.buttons),
                             int(m.defaultButton)) +
           m.text;
}

// Answers every message with OK (a question with the scripted answer) and records it,
// with the progress bar as it stood; a file dialog takes the next scripted name (none
// left: cancelled) and is recorded as (Save?, request).
class ScriptedUser final : public MessageBoxes, public FileDialogs {
public:
    QMessageBox::StandardButton show(QWidget*, const Message& box) override {
        shown << box;
        barVisible << (bar != nullptr && !bar->isHidden());
        barValue << (bar != nullptr ? bar->value() : -1);
        return box.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
    }
    QString getOpenFileName(QWidget*, const FileDialogRequest& r) override { return ask(false, r); }
    QString getSaveFileName(QWidget*, const FileDialogRequest& r) override { return ask(true, r); }
    QString ask(bool save, const FileDialogRequest& request) {
        dialogs << std::pair{save, request};
        return names.isEmpty() ? QString() : names.takeFirst();
    }

    QList<Message> shown;
    QList<bool> barVisible;
    QList<int> barValue;
    QProgressBar* bar = nullptr;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    QList<std::pair<bool, FileDialogRequest>> dialogs;
    QStringList names;
};

// The whole program on the given line (none: no transfers); without a clock, on the real one.
struct WindowRig {
    ScriptedUser messages;
    std::unique_ptr<BrevaneApp> app;

    explicit WindowRig(SerialPort* port = nullptr, TimeoutClock* clock = nullptr)
        : app(std::make_unique<BrevaneApp>(Seams{&messages, &messages, port, clock})) {
        messages.bar = window().prgUpDown();
    }
    frmBrevaneMain& window() { return app->window(); }
    ModBrevane& mod() { return app->mod(); }
    QStringList boxes() const {
        QStringList all;
        for (const Message& box : messages.shown) {
            all << boxText(box);
        }
        return all;
    }
};

// The whole program on the real port and clock.
struct RealPort {
    SystemSerialPort port;
};
struct RealPortRig : RealPort, WindowRig {
    RealPortRig() : WindowRig(&port) {}
};
