#include "widgets/bitmap_button.h"

#include <QPainter>

namespace tovanix::widgets {

BitmapButton::BitmapButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void BitmapButton::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

QSize BitmapButton::sizeHint() const {
    return picture_.isNull() ? QSize(1, 1) : picture_.size();
}

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!picture_.isNull()) p.drawImage(QPoint(0, 0), picture_);
    if (isDown()) p.fillRect(rect(), QColor(0, 0, 0, 40));
}

}  // namespace tovanix::widgets
