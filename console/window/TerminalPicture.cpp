#include "window/TerminalPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap TerminalPicture(qreal devicePixelRatio)
{
    constexpr int kWidth = 46;
    constexpr int kHeight = 52;
    QPixmap pixmap(QSize(kWidth, kHeight) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);

    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // The terminal body.
    QLinearGradient body(0, 14, 0, 52);
    body.setColorAt(0, QColor(0x4a, 0x55, 0x68));
    body.setColorAt(1, QColor(0x23, 0x2a, 0x36));
    p.setPen(QPen(QColor(0x1a, 0x1f, 0x28), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(7.5, 14.5, 31, 37), 5, 5);

    // The screen.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9c, 0xd6, 0xa4));
    p.drawRoundedRect(QRectF(11, 19, 24, 9), 1.5, 1.5);
    p.setBrush(QColor(0x3b, 0x6e, 0x42));
    p.drawRect(QRectF(13, 22, 12, 1.5));
    p.drawRect(QRectF(13, 25, 8, 1.5));

    // The keypad: three rows of three keys, the last row green, yellow, red.
    const QColor keys[3] = {QColor(0xd9, 0xdd, 0xe3), QColor(0xd9, 0xdd, 0xe3), QColor(0xd9, 0xdd, 0xe3)};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.setBrush(keys[row]);
            p.drawRoundedRect(QRectF(12 + col * 8, 31 + row * 5, 6, 3.5), 1, 1);
        }
    }
    const QColor action[3] = {QColor(0x2e, 0xa0, 0x4a), QColor(0xe8, 0xb9, 0x2a), QColor(0xd2, 0x3a, 0x32)};
    for (int col = 0; col < 3; ++col) {
        p.setBrush(action[col]);
        p.drawRoundedRect(QRectF(12 + col * 8, 46, 6, 3), 1, 1);
    }

    // The card, half in the slot at the top.
    p.save();
    p.translate(23, 8);
    p.rotate(-8);
    QLinearGradient card(-12, -8, 12, 8);
    card.setColorAt(0, QColor(0x1f, 0x6f, 0xc5));
    card.setColorAt(1, QColor(0x12, 0x3f, 0x86));
    p.setPen(QPen(QColor(0x0c, 0x2a, 0x5a), 0.8));
    p.setBrush(card);
    p.drawRoundedRect(QRectF(-12, -7, 24, 14), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0xc0, 0x5a));
    p.drawRoundedRect(QRectF(-9, -3, 5, 4), 0.8, 0.8);
    p.setBrush(QColor(0xff, 0xff, 0xff, 0xb0));
    p.drawRect(QRectF(-9, 3, 14, 1.2));
    p.restore();

    // The slot the card goes into.
    p.setBrush(QColor(0x10, 0x13, 0x18));
    p.drawRoundedRect(QRectF(9, 13, 28, 2.5), 1, 1);
    return pixmap;
}
