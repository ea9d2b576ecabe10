#include "display/TreeImages.h"

#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

namespace {
constexpr int kSize = 16;

QPixmap blank()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap monitor()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(0, 1, 15, 10);
    p.fillRect(2, 3, 12, 7, QColor(40, 110, 200));
    p.fillRect(6, 12, 4, 2, QColor(90, 90, 90));
    p.fillRect(3, 14, 10, 2, QColor(60, 60, 60));
    return pixmap;
}

QPixmap device()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(230, 230, 215));
    p.drawRect(1, 1, 13, 14);
    // A surge arrester's lightning mark and its status lamp.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 140, 0));
    const QPoint bolt[] = {{9, 3}, {4, 9}, {7, 9}, {6, 13}, {11, 7}, {8, 7}};
    p.drawPolygon(bolt, 6);
    p.setBrush(QColor(0, 170, 0));
    p.drawEllipse(10, 11, 3, 3);
    return pixmap;
}

QPixmap chip()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    const QColor pin(150, 150, 150);
    for (int i = 0; i < 4; ++i) {
        const int at = 4 + 2 * i;
        p.fillRect(at, 1, 1, 2, pin);
        p.fillRect(at, 13, 1, 2, pin);
        p.fillRect(1, at, 2, 1, pin);
        p.fillRect(13, at, 2, 1, pin);
    }
    p.setPen(QColor(20, 20, 20));
    p.setBrush(QColor(50, 50, 60));
    p.drawRect(3, 3, 9, 9);
    p.fillRect(5, 5, 2, 2, QColor(200, 200, 200));
    return pixmap;
}
} // namespace

TreeImageList drawTreeImages()
{
    return {QIcon(monitor()), QIcon(device()), QIcon(chip())};
}

void prepareTreeForImages(QTreeWidget& tree)
{
    tree.setIconSize(QSize(kSize, kSize));
    tree.setIndentation(19);
}
