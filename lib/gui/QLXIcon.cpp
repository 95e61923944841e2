#include "QLXIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage ProgramIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 256-unit grid.
    p.scale(size / 256.0, size / 256.0);

    // The folder: its tab, its back and, a little lower, its front.
    QPainterPath back;
    back.moveTo(16, 56);
    back.lineTo(96, 56);
    back.lineTo(116, 76);
    back.lineTo(240, 76);
    back.lineTo(240, 220);
    back.lineTo(16, 220);
    back.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x10), 6));
    p.setBrush(QColor(0xd9, 0x93, 0x1f));
    p.drawPath(back);
    p.setBrush(QColor(0xf5, 0xb8, 0x3d));
    p.drawRoundedRect(QRectF(16, 100, 224, 120), 10, 10);

    // A quaver: two heads joined by a beam.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x22, 0x22, 0x33));
    p.drawEllipse(QRectF(70, 170, 44, 32));
    p.drawEllipse(QRectF(150, 156, 44, 32));
    p.drawRect(QRectF(104, 116, 10, 72));
    p.drawRect(QRectF(184, 102, 10, 72));
    QPainterPath beam;
    beam.moveTo(104, 116);
    beam.lineTo(194, 102);
    beam.lineTo(194, 124);
    beam.lineTo(104, 138);
    beam.closeSubpath();
    p.drawPath(beam);
    p.end();
    return image;
}

const QList<int> &ProgramIconSizes()
{
    static const QList<int> sizes { 16, 22, 24, 32, 48, 64, 128, 256 };
    return sizes;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : ProgramIconSizes())
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}
