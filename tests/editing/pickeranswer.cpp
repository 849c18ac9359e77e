#include "tests/editing/pickeranswer.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "editing/pickerwindow.h"

PickerAnswer::PickerAnswer(std::function<void(PickerWindow*)> answer)
    : m_answer(std::move(answer)) {
    QTimer::singleShot(0, this, [this] { poll(200); });
}

void PickerAnswer::poll(int triesLeft) {
    auto* picker = qobject_cast<PickerWindow*>(QApplication::activeModalWidget());
    if (picker == nullptr || !picker->isVisible()) {
        if (triesLeft > 0) {
            QTimer::singleShot(10, this, [this, triesLeft] { poll(triesLeft - 1); });
        }
        return;
    }
    m_seen = true;
    m_answer(picker);
    if (picker->isVisible()) {
        m_leftOpen = true;
        picker->reject();
    }
}

void platformClick(QWidget* widget, QPoint pos) {
    if (pos.isNull()) {
        pos = widget->rect().center();
    }
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, pos));
}
