#include "tempfolder.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

QString temporaryFolder()
{
    return QDir::tempPath() + QLatin1Char('/');
}

QString privateTemporaryFolder()
{
    // QTemporaryDir makes the folder with mode 0700 under an unguessable name.
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder || !folder->isValid() || !QDir(folder->path()).exists())
        folder =
            std::make_unique<QTemporaryDir>(temporaryFolder() + QStringLiteral("kelvora-XXXXXX"));
    return folder->isValid() ? folder->path() + QLatin1Char('/') : QString();
}
