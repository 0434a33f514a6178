#pragma once

#include <QByteArray>
#include <QString>

// The work directory and its settings file conf.ini (section "kelvora", keys
// "imagepath", "pptpath", "cappath"). Values are 8-bit paths in the local encoding.

// The Documents folder followed by "/Kelvora".
QByteArray workDirectoryPath();

// <work directory>/conf.ini
QString settingsFilePath(const QByteArray &workPath);

// The value of a key, cut to 259 bytes; empty when the file or key is missing.
QByteArray readSetting(const QByteArray &workPath, const char *key);

// What every writer of the settings file does with a path the user chose: an
// empty choice (cancelled dialog) or one equal byte for byte to the current value
// changes nothing; otherwise the member is replaced and the key written. Returns
// whether the member changed, so the caller can show the new path.
bool storeChosenPath(QByteArray &member, const QString &chosen, const char *key,
                     const QByteArray &workPath);
