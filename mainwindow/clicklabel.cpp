#include "mainwindow/clicklabel.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "mainwindow/statictextcache.h"

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {}

void ClickLabel::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    m_laidOut = QStaticText();
    update();
}

void ClickLabel::setForeColor(const QColor& colour) {
    if (colour == m_foreColor) {
        return;
    }
    m_foreColor = colour;
    update();
}

QSize ClickLabel::sizeHint() const {
    return fontMetrics().size(Qt::TextSingleLine, m_text);
}

void ClickLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_laidOut = QStaticText();
    }
    QWidget::changeEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent* /*event*/) {
    if (m_laidOut.text().isEmpty() && !m_text.isEmpty()) {
        m_laidOut = sharedStaticText(m_text, font());
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_foreColor);
    painter.drawStaticText(0, 0, m_laidOut);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint())) {
            emit clicked();
        }
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
