#pragma once

#include <QStringList>

#include "nc-sim/controller.h"
#include "tests/support/fakeline.h"

// Block 2 holding 03 07 0B ... FF, everything else zero.
inline ControllerImage blockPattern() {
    ControllerImage image{};
    for (int k = 0; k < BlockBytes; ++k) {
        image[2 * BlockBytes + k] = std::uint8_t(k * 4 + 3);
    }
    return image;
}

// The stand-in's controller model answering on the fake line, 2 ms after each frame, with
// faults as the stand-in's --fault takes them ("badsum@4": the fourth frame): junk and
// extra bytes come with the reply, stale ones a moment later, a hang-up breaks the line.
struct ControllerEnd {
    FakeClock clock;
    FakeLine line{clock};
    Controller controller;

    explicit ControllerEnd(const QStringList& faults = {}) {
        std::vector<Fault> parsed;
        for (const QString& name : faults) {
            parsed.push_back(parseFault(name).value());
        }
        controller = Controller(parsed);
        line.setResponder([this](const QByteArray& frame, int) {
            QList<Arrival> arrivals;
            for (const Received& r : controller.feed(frame)) {
                if (r.hangup) {
                    line.hangUp();
                }
                if (!r.reply.isEmpty()) {
                    arrivals << Arrival{2, r.before + r.reply + r.after};
                }
                if (!r.stale.isEmpty()) {
                    arrivals << Arrival{3, r.stale};
                }
            }
            return arrivals;
        });
    }
};
