#include "settingsfile.h"

#include <QStandardPaths>

#include "platform/privateprofile.h"

namespace {
const QByteArray settingsSection = "kelvora";
// The profile reads of the settings keys use a 260-byte buffer.
constexpr int settingBufferSize = 260;
} // namespace

QByteArray workDirectoryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toLocal8Bit() +
           "/Kelvora";
}

QString settingsFilePath(const QByteArray &workPath)
{
    return QString::fromLocal8Bit(workPath) + QLatin1String("/conf.ini");
}

QByteArray readSetting(const QByteArray &workPath, const char *key)
{
    return readPrivateProfileString(settingsSection, key, QByteArray(), settingBufferSize,
                                    settingsFilePath(workPath));
}

bool storeChosenPath(QByteArray &member, const QString &chosen, const char *key,
                     const QByteArray &workPath)
{
    const QByteArray value = chosen.toLocal8Bit();
    if (value.isEmpty() || value == member)
        return false;
    member = value;
    writePrivateProfileString(settingsSection, key, value, settingsFilePath(workPath));
    return true;
}
