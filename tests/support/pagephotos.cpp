#include "pagephotos.h"

#include <QDir>
#include <QFile>
#include <QLineF>
#include <QPolygonF>

#include <algorithm>

namespace {

// A page is found when it overlaps the truth this much and no corner is further
// from its own than this share of the diagonal.
constexpr double foundOverlap = 0.9;
constexpr double foundCornerShare = 0.05;

double area(const QPolygonF &polygon)
{
    double twice = 0;
    for (qsizetype i = 0; i < polygon.size(); ++i) {
        const QPointF a = polygon[i];
        const QPointF b = polygon[(i + 1) % polygon.size()];
        twice += a.x() * b.y() - b.x() * a.y();
    }
    return std::abs(twice) / 2;
}

QPolygonF polygonOf(const std::array<QPointF, 4> &corners)
{
    return QPolygonF{corners[0], corners[1], corners[2], corners[3]};
}

} // namespace

std::vector<PagePhoto> readPagePhotos(const QString &folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("corners.csv")));
    std::vector<PagePhoto> photos;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return photos;
    file.readLine(); // the column names
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).split(QLatin1Char(','));
        if (fields.size() < 9)
            continue;
        PagePhoto photo{QDir(folder).filePath(fields[0]), {}};
        for (std::size_t i = 0; i < 4; ++i)
            photo.corners[i] = {fields[int(1 + 2 * i)].toDouble(),
                                fields[int(2 + 2 * i)].toDouble()};
        photos.push_back(photo);
    }
    return photos;
}

PageMatch matchPage(const PagePhoto &photo, const std::optional<optrelle::PageOutline> &outline,
                    QSize size)
{
    const std::array<QPointF, 4> found =
        outline ? outline->corners
                : std::array<QPointF, 4>{QPointF(0, 0), QPointF(size.width(), 0),
                                         QPointF(size.width(), size.height()),
                                         QPointF(0, size.height())};
    const QPolygonF truth = polygonOf(photo.corners);
    const QPolygonF seen = polygonOf(found);
    PageMatch match;
    const double common = area(truth.intersected(seen));
    match.iou = common / (area(truth) + area(seen) - common);
    const double diagonal = (QLineF(photo.corners[0], photo.corners[2]).length() +
                             QLineF(photo.corners[1], photo.corners[3]).length()) /
                            2;
    for (std::size_t turn = 0; turn < 4; ++turn) {
        double worst = 0;
        for (std::size_t i = 0; i < 4; ++i)
            worst = std::max(worst, QLineF(found[(i + turn) % 4], photo.corners[i]).length());
        match.worstCornerShare = std::min(match.worstCornerShare, worst / diagonal);
    }
    match.found =
        outline && match.iou >= foundOverlap && match.worstCornerShare <= foundCornerShare;
    return match;
}
