#include "rotationfile.h"

#include <cstdlib>

#include "common/paths.h"
#include "platform/privateprofile.h"

namespace {
constexpr int rotationBufferSize = 1000;
constexpr qsizetype keyLength = 9;
constexpr qsizetype numberOffset = 10;

// atoi without its undefined behaviour on overflow.
int leadingInteger(const QByteArray &text)
{
    const long value = std::strtol(text.constData(), nullptr, 10);
    return int(qBound(long(INT_MIN), value, long(INT_MAX)));
}
} // namespace

QByteArray readRotationValue()
{
    return readPrivateProfileString("Rotate", "value", QByteArray(), rotationBufferSize,
                                    QString::fromLocal8Bit(programFolder() + "conf.ini"));
}

int rotationForCamera(const QByteArray &value, const QByteArray &cameraKey)
{
    const qsizetype keyAt = value.indexOf(cameraKey);
    if (keyAt < 0)
        return 0;
    const qsizetype barAt = value.indexOf('|', keyAt + keyLength);
    if (barAt <= keyAt + keyLength)
        return 0;
    return leadingInteger(value.mid(keyAt + numberOffset, barAt - keyAt - numberOffset));
}
