#include "mainwindow/centring.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

void centreNow(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        const QRect outer = window.frameGeometry();
        const QRect inner = window.geometry();
        window.move(centredFramePosition(
            screen->geometry(), inner.size(),
            QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                     outer.right() - inner.right(), outer.bottom() - inner.bottom())));
    }
}

// Centres the window again the first time it is seen with a frame round it, then goes.
// Without a window manager the frame never differs and nothing moves.
class FrameWatch final : public QObject {
public:
    explicit FrameWatch(QWidget& window) : QObject(&window), m_window(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Move || type == QEvent::Show || type == QEvent::Paint) &&
            m_window.isVisible() && m_window.frameGeometry() != m_window.geometry()) {
            m_window.removeEventFilter(this);
            centreNow(m_window);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& m_window;
};

} // namespace

QPoint centredFramePosition(const QRect& area, const QSize& client, const QMargins& frame) {
    const QSize outer = client.grownBy(frame);
    return {area.left() + (area.width() - outer.width()) / 2,
            area.top() + (area.height() - outer.height()) / 2};
}

void centreOnScreen(QWidget& window) {
    // Made now, so the platform window knows any frame it has already.
    static_cast<void>(window.winId());
    centreNow(window);
    new FrameWatch(window);
}
