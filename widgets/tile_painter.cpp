#include "widgets/tile_painter.h"

#include <QFont>
#include <QPainter>

namespace tovanix::widgets {

QStringList faceWithSubstitutes(const QString& face) {
    if (face == QStringLiteral("Times New Roman")) {
        return {face, QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")};
    }
    return {face};
}

void TilePainter::load(const QImage& picture) {
    picture_ = picture.convertToFormat(QImage::Format_RGB32);
}

void TilePainter::drawText(const QRect& rect, const QString& text, const QString& face, int pointSize,
                           const QColor& colour, int alignment) {
    if (picture_.isNull() || text.isEmpty()) return;
    QPainter p(&picture_);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f;
    f.setFamilies(faceWithSubstitutes(face));
    f.setPointSize(pointSize);
    p.setFont(f);
    p.setPen(colour);
    p.setBackgroundMode(Qt::TransparentMode);
    p.setClipRect(rect);
    p.drawText(rect, alignment, text);
}

void TilePainter::drawIcon(const QPoint& topLeft, const QImage& icon) {
    if (picture_.isNull()) return;
    QPainter p(&picture_);
    p.drawImage(topLeft, icon);
}

}  // namespace tovanix::widgets
