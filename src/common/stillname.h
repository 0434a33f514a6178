#pragma once

#include <QByteArray>
#include <QDateTime>

// The name of a new still, PDF or recording: "<folder>/YYYYMMDDhhmmss.<extension>"
// from the local time of the clock seam. When that file exists already (two
// captures in one second) it returns "<...>_2.<extension>", "_3" and so on, so a
// capture never overwrites an earlier one.
QByteArray timeStampStillName(const QByteArray &folder, const QByteArray &extension);
// The same for a time read once for several files that belong together.
QByteArray timeStampStillName(const QByteArray &folder, const QByteArray &extension,
                              const QDateTime &time);
