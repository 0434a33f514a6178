#pragma once

#include <QByteArray>

// Paths are 8-bit strings in the local encoding (UTF-8), as the camera library
// and the settings files take them.

// The folder of the running executable, ending with "/".
QByteArray programFolder();

// True when the path names something that exists and is not a folder.
bool isExistingFile(const QByteArray &path);
