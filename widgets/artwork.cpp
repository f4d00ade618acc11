#include "widgets/artwork.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QRadialGradient>

#include <cmath>

#include "widgets/skin.h"

namespace tovanix::widgets {

namespace {

constexpr int kTitleTabWidth = 172;
constexpr int kTitleTabHeight = 30;
constexpr int kBandTop = 112;  // light band under the value boxes, behind the labels
constexpr int kCornerRadius = 8;
constexpr double kPi = 3.14159265358979323846;

struct PanelColours {
    QColor top, bottom, tab;
};

PanelColours coloursOf(Panel p) {
    switch (p) {
        case Panel::Normal:
        case Panel::AlarmOver:
            return {QColor(64, 170, 96), QColor(30, 118, 62), QColor(20, 88, 45)};
        case Panel::Alarm:
            return {QColor(222, 74, 60), QColor(160, 34, 28), QColor(118, 20, 16)};
        case Panel::Stopped:
            break;
    }
    return {QColor(150, 155, 162), QColor(104, 109, 117), QColor(76, 80, 87)};
}

void drawCheck(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(255, 255, 255), 1.5));
    p.setBrush(QColor(38, 150, 70));
    p.drawEllipse(r.adjusted(1, 1, -1, -1));
    QPainterPath tick;
    tick.moveTo(r.left() + r.width() * 0.26, r.top() + r.height() * 0.52);
    tick.lineTo(r.left() + r.width() * 0.44, r.top() + r.height() * 0.70);
    tick.lineTo(r.left() + r.width() * 0.76, r.top() + r.height() * 0.32);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void drawWarning(QPainter& p, const QRectF& r) {
    QPolygonF tri;
    tri << QPointF(r.center().x(), r.top() + 1) << QPointF(r.right() - 1, r.bottom() - 2)
        << QPointF(r.left() + 1, r.bottom() - 2);
    p.setPen(QPen(QColor(60, 40, 0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 204, 0));
    p.drawPolygon(tri);
    p.setPen(QPen(QColor(40, 30, 0), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.center().x(), r.top() + r.height() * 0.34),
               QPointF(r.center().x(), r.top() + r.height() * 0.64));
    p.drawPoint(QPointF(r.center().x(), r.top() + r.height() * 0.80));
}

void drawStop(QPainter& p, const QRectF& r) {
    QPolygonF oct;
    const QPointF c = r.center();
    const double radius = r.width() / 2 - 1;
    for (int i = 0; i < 8; ++i) {
        const double a = kPi / 8 + i * kPi / 4;
        oct << QPointF(c.x() + radius * std::cos(a), c.y() + radius * std::sin(a));
    }
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(200, 30, 30));
    p.drawPolygon(oct);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * 0.22, c.y() - r.height() * 0.09, r.width() * 0.56, r.height() * 0.18));
}

void drawBattery(QPainter& p, int filledBars, QColor fill) {
    const QRectF body(3, 8, 22, 14);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(body, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(QRectF(25, 12, 3, 6));
    p.setBrush(fill);
    constexpr int kBars = 3;
    for (int i = 0; i < filledBars && i < kBars; ++i) p.drawRect(QRectF(5.5 + i * 6.5, 10.5, 5, 9));
    if (filledBars == 0) {
        p.setPen(QPen(QColor(210, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 11), QPointF(19, 19));
        p.drawLine(QPointF(19, 11), QPointF(9, 19));
    }
}

QImage blank(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

}  // namespace

QImage statusPanel(Panel panel) {
    QImage img(kTileWidth, kTileHeight, QImage::Format_RGB32);
    img.fill(QColor(233, 238, 245));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const PanelColours c = coloursOf(panel);

    QLinearGradient g(0, 0, 0, kTileHeight);
    g.setColorAt(0, c.top);
    g.setColorAt(1, c.bottom);
    p.setPen(QPen(c.tab, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, kTileWidth - 1, kTileHeight - 1), kCornerRadius, kCornerRadius);

    // Title tab at the top left, for the device's name.
    QPainterPath tab;
    tab.moveTo(0.5, kTitleTabHeight);
    tab.lineTo(0.5, kCornerRadius);
    tab.quadTo(0.5, 0.5, kCornerRadius, 0.5);
    tab.lineTo(kTitleTabWidth - 12, 0.5);
    tab.quadTo(kTitleTabWidth, 0.5, kTitleTabWidth, 12);
    tab.lineTo(kTitleTabWidth, kTitleTabHeight);
    tab.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c.tab);
    p.drawPath(tab);

    // Light band for the quantity labels.
    QPainterPath band;
    band.addRoundedRect(QRectF(3, kBandTop, kTileWidth - 6, kTileHeight - kBandTop - 3), 5, 5);
    p.setBrush(QColor(238, 243, 240, 235));
    p.drawPath(band);

    // The two value boxes.
    for (int x : {10, 130}) {
        QRectF box(x, 40, 110, 66);
        QLinearGradient bg(box.topLeft(), box.bottomLeft());
        bg.setColorAt(0, QColor(255, 255, 255));
        bg.setColorAt(1, QColor(228, 234, 244));
        p.setPen(QPen(QColor(70, 80, 95), 1.2));
        p.setBrush(bg);
        p.drawRoundedRect(box, 6, 6);
    }

    const QRectF symbol(kTileWidth - kStatusSymbolSize - 4, 1, kStatusSymbolSize, kStatusSymbolSize);
    switch (panel) {
        case Panel::Normal:
            drawCheck(p, symbol);
            break;
        case Panel::Alarm:
        case Panel::AlarmOver:
            drawWarning(p, symbol);
            break;
        case Panel::Stopped:
            drawStop(p, symbol);
            break;
    }
    return img;
}

QImage powerSymbol(PowerSymbol symbol) {
    QImage img = blank(kPowerSymbolSize, kPowerSymbolSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A light disc so every symbol reads on every panel colour.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawEllipse(QRectF(0.5, 0.5, kPowerSymbolSize - 1, kPowerSymbolSize - 1));
    switch (symbol) {
        case PowerSymbol::Mains: {
            p.setBrush(QColor(45, 45, 45));
            p.drawRoundedRect(QRectF(8, 10, 14, 11), 2, 2);
            p.drawRect(QRectF(10.5, 5, 2.5, 6));
            p.drawRect(QRectF(17, 5, 2.5, 6));
            p.setPen(QPen(QColor(45, 45, 45), 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(15, 21), QPointF(15, 26));
            break;
        }
        case PowerSymbol::BatteryEmpty:
            drawBattery(p, 0, QColor(210, 30, 30));
            break;
        case PowerSymbol::BatteryHalf:
            drawBattery(p, 2, QColor(230, 160, 20));
            break;
        case PowerSymbol::BatteryFull:
            drawBattery(p, 3, QColor(40, 160, 60));
            break;
        case PowerSymbol::Unknown: {
            QFont f;
            f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Sans")});
            f.setPixelSize(22);
            f.setBold(true);
            p.setFont(f);
            p.setPen(QColor(40, 70, 150));
            p.drawText(QRectF(0, 0, kPowerSymbolSize, kPowerSymbolSize), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
    }
    return img;
}

QImage banner(int width, int height, const QString& title) {
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width, 0);
    g.setColorAt(0, QColor(22, 66, 120));
    g.setColorAt(0.6, QColor(48, 112, 178));
    g.setColorAt(1, QColor(120, 176, 220));
    p.fillRect(img.rect(), g);
    // A thermometer and a drop at the left.
    const double h = height;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(QRectF(h * 0.35, h * 0.12, h * 0.16, h * 0.6), h * 0.08, h * 0.08);
    p.drawEllipse(QRectF(h * 0.27, h * 0.58, h * 0.32, h * 0.32));
    p.setBrush(QColor(220, 60, 50));
    p.drawEllipse(QRectF(h * 0.32, h * 0.63, h * 0.22, h * 0.22));
    QPainterPath drop;
    drop.moveTo(h * 0.85, h * 0.18);
    drop.cubicTo(h * 1.05, h * 0.5, h * 1.05, h * 0.86, h * 0.85, h * 0.86);
    drop.cubicTo(h * 0.65, h * 0.86, h * 0.65, h * 0.5, h * 0.85, h * 0.18);
    p.setBrush(QColor(140, 210, 255));
    p.drawPath(drop);
    QFont f;
    f.setFamily(interfaceFontFamily());
    f.setBold(true);
    const QRectF textRect(h * 1.25, 0, width - h * 1.4, h);
    // As large as fits, up to a little over half the height.
    constexpr int kMinTitlePixels = 8;
    int pixels = std::max(kMinTitlePixels, static_cast<int>(h * 0.56));
    for (; pixels > kMinTitlePixels; --pixels) {
        f.setPixelSize(pixels);
        if (QFontMetricsF(f).horizontalAdvance(title) <= textRect.width()) break;
    }
    f.setPixelSize(pixels);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, title);
    return img;
}

QImage reportLogo() {
    return banner(kLogoWidth, kLogoHeight, QStringLiteral("Tovanix"));
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QImage img = blank(size, size);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size;
        QLinearGradient g(0, 0, 0, s);
        g.setColorAt(0, QColor(58, 120, 190));
        g.setColorAt(1, QColor(22, 66, 120));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(s * 0.42, s * 0.12, s * 0.16, s * 0.56), s * 0.08, s * 0.08);
        p.drawEllipse(QRectF(s * 0.32, s * 0.56, s * 0.36, s * 0.36));
        p.setBrush(QColor(220, 60, 50));
        p.drawEllipse(QRectF(s * 0.38, s * 0.62, s * 0.24, s * 0.24));
        p.drawRect(QRectF(s * 0.47, s * 0.36, s * 0.06, s * 0.3));
        p.end();
        icon.addPixmap(QPixmap::fromImage(img));
    }
    return icon;
}

QIcon buttonIcon(ButtonIcon which) {
    constexpr int kSize = 32;
    QImage img = blank(kSize, kSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 70, 130);
    switch (which) {
        case ButtonIcon::CurrentStatus:
            p.setPen(Qt::NoPen);
            for (int r = 0; r < 2; ++r) {
                for (int c = 0; c < 2; ++c) {
                    p.setBrush(r == c ? QColor(50, 160, 80) : QColor(70, 120, 190));
                    p.drawRoundedRect(QRectF(3 + c * 14, 3 + r * 14, 12, 12), 2, 2);
                }
            }
            break;
        case ButtonIcon::SystemConfig: {
            p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 8; ++i) {
                const double a = i * kPi / 4;
                p.drawLine(QPointF(16 + 9 * std::cos(a), 16 + 9 * std::sin(a)),
                           QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a)));
            }
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(ink, 4));
            p.drawEllipse(QPointF(16, 16), 7, 7);
            break;
        }
        case ButtonIcon::Background:
            p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(16, 5), QPointF(16, 22));
            p.drawLine(QPointF(9, 15), QPointF(16, 22));
            p.drawLine(QPointF(23, 15), QPointF(16, 22));
            p.drawLine(QPointF(6, 27), QPointF(26, 27));
            break;
        case ButtonIcon::Exit:
            p.setPen(QPen(QColor(190, 40, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(QRectF(5, 6, 22, 22), 120 * 16, 300 * 16);
            p.drawLine(QPointF(16, 3), QPointF(16, 15));
            break;
    }
    p.end();
    return QIcon(QPixmap::fromImage(img));
}

}  // namespace tovanix::widgets
