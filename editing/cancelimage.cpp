#include "editing/cancelimage.h"

#include <QImage>
#include <QPainter>

namespace {

constexpr int PictureSide = 20;

// Drawn once; a QImage, unlike a QPixmap, may outlive the application object.
const QImage& cancelBits() {
    static const QImage bits = [] {
        QImage image(PictureSide, PictureSide, QImage::Format_RGB32);
        image.fill(QColor(255, 0, 0));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QColor(128, 0, 0));
        painter.drawRect(0, 0, PictureSide - 1, PictureSide - 1);
        painter.setPen(Qt::black);
        painter.drawLine(0, 0, PictureSide - 1, PictureSide - 1);
        painter.drawLine(PictureSide - 1, 0, 0, PictureSide - 1);
        return image;
    }();
    return bits;
}

} // namespace

QPixmap cancelPicture() {
    return QPixmap::fromImage(cancelBits());
}

CancelImage::CancelImage(QWidget* parent)
    : ClickLabel(QString(), parent), m_picture(cancelPicture()) {}

void CancelImage::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}
