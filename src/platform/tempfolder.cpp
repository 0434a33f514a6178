#include "tempfolder.h"

#include <QDir>

QString temporaryFolder()
{
    return QDir::tempPath() + QLatin1Char('/');
}
