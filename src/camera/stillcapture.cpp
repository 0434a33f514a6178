#include "stillcapture.h"

#include <QFileInfo>

#include <climits>

#include "app/kelvora.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "common/stillname.h"
#include "optrelle.h"

QByteArray newPhotoPath()
{
    if (!launcherWindow)
        return {};
    return timeStampStillName(launcherWindow->m_strImagePath, launcherWindow->m_strImageFormat);
}

bool captureStill(int camera, QByteArray path)
{
    if (path.isEmpty() || path.size() >= PATH_MAX || fnCapture(camera, path.data()) != 1 ||
        !isExistingFile(path)) {
        writeLog("拍照失败: %s", path.constData());
        return false;
    }
    return true;
}

QByteArray workingStillName(const QByteArray &path)
{
    const QFileInfo file(QString::fromLocal8Bit(path));
    return QFile::encodeName(file.path() + QStringLiteral("/.unfinished-") + file.fileName());
}
