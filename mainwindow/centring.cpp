#include "mainwindow/centring.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

void centreNow(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        const QRect outer = window.frameGeometry();
        const QRect inner = window.geometry();
        QPoint place = centredFramePosition(
            screen->geometry(), inner.size(),
            QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                     outer.right() - inner.right(), outer.bottom() - inner.bottom()));
        // Clear of the taskbar when it takes the whole work area.
        const QRect work = screen->availableGeometry();
        if (outer.width() >= work.width()) {
            place.setX(work.left());
        }
        if (outer.height() >= work.height()) {
            place.setY(work.top());
        }
        window.move(place);
    }
}

// Centres the window again the first time it is seen with a frame round it, then goes.
// Without a window manager the frame never differs and nothing moves.
class FrameWatch final : public QObject {
public:
    FrameWatch(QWidget& window, std::function<void()> fit)
        : QObject(&window), m_window(window), m_fit(std::move(fit)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Move || type == QEvent::Show || type == QEvent::Paint) &&
            m_window.isVisible() && m_window.frameGeometry() != m_window.geometry()) {
            m_window.removeEventFilter(this);
            if (m_fit) {
                m_fit();
            }
            centreNow(m_window);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& m_window;
    std::function<void()> m_fit;
};

} // namespace

QPoint centredFramePosition(const QRect& area, const QSize& client, const QMargins& frame) {
    const QSize outer = client.grownBy(frame);
    return {area.left() + (area.width() - outer.width()) / 2,
            area.top() + (area.height() - outer.height()) / 2};
}

QSize scrolledViewSize(const QSize& client, const QSize& room, int bar) {
    if (client.width() <= room.width() && client.height() <= room.height()) {
        return client;
    }
    bool across = client.width() > room.width();
    const bool down = client.height() + (across ? bar : 0) > room.height();
    across = across || client.width() + (down ? bar : 0) > room.width();
    return {qMin(room.width(), client.width() + (down ? bar : 0)),
            qMin(room.height(), client.height() + (across ? bar : 0))};
}

void centreOnScreen(QWidget& window, const std::function<void()>& fit) {
    // Made now, so the platform window knows any frame it has already.
    static_cast<void>(window.winId());
    if (fit) {
        fit();
    }
    centreNow(window);
    new FrameWatch(window, fit);
}
