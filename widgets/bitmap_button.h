// A child window that shows a picture, carries a text and reports a click:
// the device tiles of the status view.
#pragma once

#include <QAbstractButton>
#include <QImage>

namespace tovanix::widgets {

class BitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButton(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

}  // namespace tovanix::widgets
