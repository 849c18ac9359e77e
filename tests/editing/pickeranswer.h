#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class PickerWindow;
class QWidget;

// Answers the next modal picker from inside its event loop: once a picker is the active
// modal widget, runs the answer on it. A picker the answer leaves open is cancelled here
// (and counted), so a failing test never hangs. Destroying the object stops the watch.
class PickerAnswer : public QObject {
public:
    explicit PickerAnswer(std::function<void(PickerWindow*)> answer);

    bool seen() const { return m_seen; }         // a picker opened
    bool leftOpen() const { return m_leftOpen; } // the answer did not close it

private:
    void poll(int triesLeft);

    std::function<void(PickerWindow*)> m_answer;
    bool m_seen = false;
    bool m_leftOpen = false;
};

// A click delivered as the platform delivers it: to the window under the point, where
// modality applies and the widget under the point receives it.
void platformClick(QWidget* widget, QPoint pos = {});
