#include "mainwindow/rowcheckbox.h"

#include <QPainter>
#include <QStyleOptionButton>

#include "mainwindow/statictextcache.h"

RowCheckBox::RowCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

void RowCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyleOptionButton indicator = option;
    indicator.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &indicator, &painter, this);

    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    const QStaticText caption = sharedStaticText(option.text, font());
    // Centred as the style centres a caption: by the font's line height.
    const QSizeF size(caption.size().width(), fontMetrics().height());
    const QPointF at(contents.left(), contents.top() + (contents.height() - size.height()) / 2);
    painter.setFont(font());
    painter.setPen(option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                        QPalette::WindowText));
    painter.drawStaticText(at, caption);
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = QRectF(at, size).toAlignedRect().adjusted(-1, 0, 1, 0) & rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
