#pragma once

#include <QImage>
#include <QPainter>

#include <algorithm>

// Drawn desk scenes for capture by page turn, 240 x 180 (drawn in coordinates of
// 480 x 360): the bare desk, pages with lines of print of differing lengths, and
// a hand-like shape over them.
namespace pagescenes {

inline const QSize size(240, 180);
inline const QRgb skin = qRgb(214, 168, 140);

// The desk with page 1.., 0 for none.
inline QImage desk(int page)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(74, 58, 44));
    if (page == 0)
        return image;
    QPainter painter(&image);
    painter.scale(0.5, 0.5);
    painter.fillRect(80, 30, 320, 300, qRgb(250, 250, 246));
    for (int line = 0; line < 8; ++line)
        painter.fillRect(100, 50 + line * 34, 40 + (page * 7 + line * 13) % 11 * 24, 12,
                         qRgb(20, 20, 24));
    return image;
}

// The scene with a hand whose top reaches up to reach, its arm down to the edge.
inline QImage withHand(QImage scene, int reach)
{
    QPainter painter(&scene);
    painter.scale(0.5, 0.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(skin));
    painter.drawEllipse(QRect(180, reach, 110, 150));
    painter.drawRect(200, reach + 100, 70, 360);
    return scene;
}

// The frames of laying page down over the one before (the same page again for
// page 6 on): the hand comes in, puts the page down and goes, step by step.
template <typename Show> void layPage(int page, Show show)
{
    const int before = std::min(page - 1, 5);
    page = std::min(page, 5);
    for (int step = 0; step < 15; ++step)
        show(withHand(desk(before), 360 - step * 16), before, true);
    for (int step = 0; step < 5; ++step)
        show(withHand(desk(page), 120 + step * 4), page, true);
    for (int step = 0; step < 15; ++step)
        show(withHand(desk(page), 140 + step * 16), page, true);
}

} // namespace pagescenes
