// Draws texts and icons onto a picture in memory, as the device tiles need:
// load a picture, write texts into rectangles with a given face, point size
// and colour on a transparent background, place an icon, hand the result.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

namespace tovanix::widgets {

// Face names as the tiles ask for them, with the Debian fonts that stand in.
QStringList faceWithSubstitutes(const QString& face);

class TilePainter {
public:
    // The picture drawn on from now on; it stays until the next load.
    void load(const QImage& picture);
    bool loaded() const { return !picture_.isNull(); }
    void drawText(const QRect& rect, const QString& text, const QString& face, int pointSize, const QColor& colour,
                  int alignment);
    void drawIcon(const QPoint& topLeft, const QImage& icon);
    const QImage& picture() const { return picture_; }

private:
    QImage picture_;
};

}  // namespace tovanix::widgets
