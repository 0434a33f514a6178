#include "paths.h"

#include <QCoreApplication>
#include <QFileInfo>

QByteArray programFolder()
{
    return QCoreApplication::applicationDirPath().toLocal8Bit() + '/';
}

bool isExistingFile(const QByteArray &path)
{
    const QFileInfo info(QString::fromLocal8Bit(path));
    return info.exists() && !info.isDir();
}
