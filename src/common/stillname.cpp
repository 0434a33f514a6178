#include "stillname.h"

#include <QFileInfo>

#include "platform/clock.h"

QByteArray timeStampStillName(const QByteArray &folder, const QByteArray &extension)
{
    return timeStampStillName(folder, extension, Clock::current().localTime());
}

QByteArray timeStampStillName(const QByteArray &folder, const QByteArray &extension,
                              const QDateTime &time)
{
    const QByteArray stem =
        folder + '/' + time.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();

    QByteArray name = stem + '.' + extension;
    for (int copy = 2; QFileInfo::exists(QString::fromLocal8Bit(name)); ++copy)
        name = stem + '_' + QByteArray::number(copy) + '.' + extension;
    return name;
}
