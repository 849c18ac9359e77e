#pragma once

#include <QStringList>

#include "tests/support/fakeline.h"
#include "tools/nc-sim/controller.h"

// Block 2 holding 03 07 0B ... FF, everything else zero.
inline ControllerImage blockPattern() {
    ControllerImage image{};
    for (int k = 0; k < BlockBytes; ++k) {
        image[2 * BlockBytes + k] = std::uint8_t(k * 4 + 3);
    }
    return image;
}

// The stand-in's controller model answering on the fake line, ReplyDelayMs after each frame:
// junk and extra bytes come with the reply, stale ones a moment later, a hang-up breaks the
// line.
struct ControllerEnd {
    static constexpr qint64 ReplyDelayMs = 2;

    FakeClock clock;
    FakeLine line{clock};
    Controller controller;

    explicit ControllerEnd(const QStringList& faults = {}) {
        setFaults(faults);
        line.setResponder([this](const QByteArray& frame, int) {
            QList<Arrival> arrivals;
            for (const Received& r : controller.feed(frame)) {
                if (r.hangup) {
                    line.hangUp();
                }
                if (!r.reply.isEmpty()) {
                    arrivals << Arrival{ReplyDelayMs, r.before + r.reply + r.after};
                }
                if (!r.stale.isEmpty()) {
                    arrivals << Arrival{ReplyDelayMs + 1, r.stale};
                }
            }
            return arrivals;
        });
    }
    // Faults as the stand-in's --fault takes them ("badsum@4": the fourth frame); the
    // image stays.
    void setFaults(const QStringList& names) {
        std::vector<Fault> faults;
        for (const QString& name : names) {
            faults.push_back(parseFault(name).value());
        }
        const ControllerImage image = controller.image();
        controller = Controller(faults);
        controller.setImage(image);
    }
};
