#include "mainwindow/centring.h"

#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget& window) {
    // Made now, so the platform window knows its frame and the outer size is right.
    static_cast<void>(window.winId());
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->geometry();
        const QSize outer = window.frameGeometry().size();
        window.move(area.left() + (area.width() - outer.width()) / 2,
                    area.top() + (area.height() - outer.height()) / 2);
    }
}
