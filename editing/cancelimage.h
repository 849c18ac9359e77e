#pragma once

#include <QPixmap>

#include "mainwindow/clicklabel.h"

// The pickers' close button picture, 20 x 20: a red square in a one-pixel dark-red frame,
// crossed in black from corner to corner.
QPixmap cancelPicture();

// Shows the cancel picture and is clicked as a button is.
class CancelImage : public ClickLabel {
    Q_OBJECT
public:
    explicit CancelImage(QWidget* parent = nullptr);

    QPixmap picture() const { return m_picture; }
    QSize sizeHint() const override { return m_picture.deviceIndependentSize().toSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
