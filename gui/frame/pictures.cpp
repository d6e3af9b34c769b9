#include "gui/frame/pictures.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace telmira {
namespace {

constexpr int kTabSize = 16;

struct ToolLook {
    int picture;
    QColor colour;
    QString glyph;
};

const ToolLook kLooks[] = {
    {4, QColor(0x3a, 0x6e, 0xa5), QStringLiteral("Р")},  // layouts
    {5, QColor(0x2e, 0x8b, 0x57), QStringLiteral("К")},  // phone book
    {6, QColor(0x7b, 0x4f, 0x9d), QStringLiteral("П")},  // preset variables
    {7, QColor(0xd9, 0x7b, 0x1e), QStringLiteral("♪")},  // melody sets
    {8, QColor(0x1f, 0x8a, 0x8a), QStringLiteral("☎")},  // phone settings
    {9, QColor(0x8b, 0x5a, 0x2b), QStringLiteral("А")},  // call archives
    {10, QColor(0x55, 0x6b, 0x7d), QStringLiteral("Г")}, // city codes
};

QPixmap blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void roundedBox(QPainter& p, const QRectF& r, const QColor& fill, const QColor& edge) {
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
}

void glyph(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, qreal size) {
    QFont font = p.font();
    font.setPixelSize(int(size));
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

QPixmap toolPicture(int picture, bool open, int size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    for (const ToolLook& look : kLooks) {
        if (look.picture != picture)
            continue;
        const QRectF box(0.5, 0.5, size - 1, size - 1);
        roundedBox(p, box, open ? look.colour.lighter(125) : look.colour,
                   open ? QColor(0xff, 0xc8, 0x00) : look.colour.darker(140));
        glyph(p, box, look.glyph, Qt::white, size * 0.7);
    }
    return pixmap;
}

// The close mark of the active tab: saved (grey) or changed (orange), pressed one pixel down.
QPixmap closeMark(bool changed, bool pressed) {
    QPixmap pixmap = blank(kTabSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal shift = pressed ? 1 : 0;
    const QRectF box(0.5 + shift, 0.5 + shift, kTabSize - 2, kTabSize - 2);
    const QColor fill = changed ? QColor(0xf0, 0xa0, 0x30) : QColor(0xdc, 0xdc, 0xdc);
    roundedBox(p, box, pressed ? fill.darker(120) : fill, QColor(0x70, 0x70, 0x70));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.6));
    const QRectF x = box.adjusted(4, 4, -4, -4);
    p.drawLine(x.topLeft(), x.bottomRight());
    p.drawLine(x.topRight(), x.bottomLeft());
    return pixmap;
}

// A handset with up to three waves; green when connected, grey otherwise.
QPixmap handset(bool connected, int waves, int size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    const QColor body = connected ? QColor(0x2e, 0x9d, 0x4a) : QColor(0x8a, 0x8a, 0x8a);
    QPainterPath path;
    path.moveTo(6 * s, 8 * s);
    path.cubicTo(6 * s, 20 * s, 12 * s, 26 * s, 24 * s, 26 * s);
    path.lineTo(26 * s, 21 * s);
    path.lineTo(21 * s, 18 * s);
    path.lineTo(18 * s, 21 * s);
    path.cubicTo(15 * s, 20 * s, 12 * s, 17 * s, 11 * s, 14 * s);
    path.lineTo(14 * s, 11 * s);
    path.lineTo(11 * s, 6 * s);
    path.closeSubpath();
    p.setPen(QPen(body.darker(150), 1.2 * s));
    p.setBrush(body);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(connected ? QColor(0xe0, 0x40, 0x20) : QColor(0x60, 0x60, 0x60), 2 * s));
    for (int i = 0; i < waves; ++i) {
        const qreal r = (6 + 5 * i) * s;
        p.drawArc(QRectF(18 * s - r, 14 * s - r, 2 * r, 2 * r), 0 * 16, 90 * 16);
    }
    return pixmap;
}

QPixmap arrow(bool down, int size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = down ? QColor(0x2e, 0x8b, 0x57) : QColor(0x3a, 0x6e, 0xa5);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal s = size / 16.0;
    QPolygonF shape;
    if (down)
        shape << QPointF(6 * s, 2 * s) << QPointF(10 * s, 2 * s) << QPointF(10 * s, 8 * s)
              << QPointF(13 * s, 8 * s) << QPointF(8 * s, 14 * s) << QPointF(3 * s, 8 * s)
              << QPointF(6 * s, 8 * s);
    else
        shape << QPointF(6 * s, 14 * s) << QPointF(10 * s, 14 * s) << QPointF(10 * s, 8 * s)
              << QPointF(13 * s, 8 * s) << QPointF(8 * s, 2 * s) << QPointF(3 * s, 8 * s)
              << QPointF(6 * s, 8 * s);
    p.drawPolygon(shape);
    return pixmap;
}

QPixmap floppy(int size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    roundedBox(p, QRectF(1.5 * s, 1.5 * s, 13 * s, 13 * s), QColor(0x3a, 0x6e, 0xa5),
               QColor(0x20, 0x40, 0x60));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4 * s, 2 * s, 8 * s, 5 * s));
    p.setBrush(QColor(0xdd, 0xdd, 0xdd));
    p.drawRect(QRectF(4 * s, 9 * s, 8 * s, 5 * s));
    return pixmap;
}

QPixmap note(int size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    roundedBox(p, QRectF(0.5, 0.5, size - 1, size - 1), QColor(0xd9, 0x7b, 0x1e),
               QColor(0x90, 0x50, 0x10));
    glyph(p, QRectF(0, 0, size, size), QStringLiteral("♫"), Qt::white, size * 0.65);
    return pixmap;
}

} // namespace

QPixmap tabPicture(int index) {
    static QHash<int, QPixmap> cache;
    if (auto it = cache.constFind(index); it != cache.constEnd())
        return *it;
    QPixmap pixmap = index >= 0 && index <= 3 ? closeMark(index % 2 == 1, index >= 2)
                                              : toolPicture(index, false, kTabSize);
    cache.insert(index, pixmap);
    return pixmap;
}

QIcon toolMenuIcon(int picture, bool open) {
    return QIcon(toolPicture(picture, open, 16));
}

QIcon trayFrameIcon(int frame) {
    QIcon icon;
    for (int size : {16, 22, 32, 48})
        icon.addPixmap(handset(frame < 4, frame % 4, size));
    return icon;
}

QIcon buttonIcon(ButtonPicture picture) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        switch (picture) {
        case ButtonPicture::Application:
        case ButtonPicture::Connection:
            icon.addPixmap(handset(true, picture == ButtonPicture::Application ? 2 : 1, size));
            icon.addPixmap(handset(false, 0, size), QIcon::Disabled);
            break;
        case ButtonPicture::Save:
            icon.addPixmap(floppy(size));
            break;
        case ButtonPicture::LastIncoming:
        case ButtonPicture::LastDialled:
            icon.addPixmap(arrow(picture == ButtonPicture::LastIncoming, size));
            break;
        case ButtonPicture::Melody:
            icon.addPixmap(note(size));
            break;
        }
    }
    return icon;
}

} // namespace telmira
