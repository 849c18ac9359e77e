#include "editing/pickeritem.h"

#include <QPainter>

PickerItem::PickerItem(const QString& caption, QWidget* parent) : ClickLabel(caption, parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void PickerItem::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(foreColor());
    painter.drawText(rect(), Qt::AlignCenter, text());
}
