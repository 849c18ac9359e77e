#pragma once

#include <QMetaEnum>
#include <QProgressBar>
#include <memory>

#include "app/brevaneapp.h"
#include "platform/filedialogs.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"

// A message as "title|icon|buttons|default button|text", icon and buttons by name, for one
// comparison: "Orvik Brevane|Question|Yes,No|Yes|Discard Any Changes?".
inline QString boxText(const Message& m) {
    const QMetaEnum button = QMetaEnum::fromType<QMessageBox::StandardButtons>();
    QStringList buttons;
    for (quint32 bit = 1; bit != 0; bit <<= 1) {
        if ((quint32(m.buttons.toInt()) & bit) != 0) {
            buttons << QString::fromLatin1(button.valueToKey(int(bit)));
        }
    }
    return QStringList{m.title, QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(m.icon),
                       buttons.join(QLatin1Char(',')), button.valueToKey(m.defaultButton), m.text}
        .join(QLatin1Char('|'));
}

// The question before unsaved edits are dropped, as boxText shows it.
inline const QString DiscardBox =
    QStringLiteral("Orvik Brevane|Question|Yes,No|Yes|Discard Any Changes?");

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
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
};
struct RealPortRig : RealPort, WindowRig {
    RealPortRig() : WindowRig(port.get()) {}
};
