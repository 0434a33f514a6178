#pragma once

#include <QByteArray>

// The settings strings: 8-bit paths in the local encoding, and the still format.
// The launcher holds the one set and hands it to the windows that read or change
// it; the settings dialog and the scanner window change the four paths, the
// format is never stored.
struct SettingsStrings
{
    QByteArray m_strWorkPath;
    QByteArray m_strImagePath;
    QByteArray m_strPptPath;
    QByteArray m_strCapPath;
    QByteArray m_strImageFormat;
};
