#include "stillcapture.h"

#include <QFileInfo>

#include <climits>

#include "common/log.h"
#include "common/paths.h"
#include "common/stillname.h"
#include "optrelle.h"
#include "platform/dialogs.h"
#include "shell/settingsstrings.h"

QByteArray newPhotoPath(const SettingsStrings &settings)
{
    return timeStampStillName(settings.m_strImagePath, settings.m_strImageFormat);
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

void tellStillNotWritten(const QByteArray &path)
{
    Dialogs::current().message(
        QStringLiteral("照片无法保存: %1\n请检查保存路径是否可写、磁盘是否已满")
            .arg(QString::fromLocal8Bit(path)),
        QStringLiteral("提示"));
}

QByteArray workingStillName(const QByteArray &path)
{
    const QFileInfo file(QString::fromLocal8Bit(path));
    return QFile::encodeName(file.path() + QStringLiteral("/.unfinished-") + file.fileName());
}
