#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Answers the next modal window the code under test opens (a picker, message box or file
// dialog) from inside its event loop. One the answer leaves open is closed here and
// counted, so a failing test never hangs.
class ModalAnswer : public QObject {
public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer) : m_answer(std::move(answer)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            m_timer.stop();
            m_answer(modal);
            if (modal->isVisible()) {
                m_leftOpen = true;
                modal->close();
            }
        });
        m_timer.start(10);
    }
    bool leftOpen() const { return m_leftOpen; }

private:
    std::function<void(QWidget*)> m_answer;
    QTimer m_timer;
    bool m_leftOpen = false;
};
