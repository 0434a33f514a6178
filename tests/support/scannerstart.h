#pragma once

#include <QDir>
#include <QTest>

#include <memory>

#include "app/kelvora.h"
#include "common/programwide.h"
#include "scanner/qvideowidget.h"

// Starts the program on simulated cameras (an OPTRELLE_CAMERAS value) with the
// scanner window shown and a fresh, empty capture folder of that name in the
// temporary folder. Returns the folder; empty when the window did not appear.
inline QString startScanner(std::unique_ptr<Kelvora> &bar, const QByteArray &cameras,
                            const QString &folderName)
{
    qputenv("OPTRELLE_BACKEND", "sim");
    qputenv("OPTRELLE_CAMERAS", cameras);
    bar = std::make_unique<Kelvora>();
    const QString folder = QDir::tempPath() + QLatin1Char('/') + folderName;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    launcherWindow->m_strCapPath = folder.toLocal8Bit();
    QMetaObject::invokeMethod(bar.get(), "OnShowVideo");
    return QTest::qWaitForWindowExposed(scannerWindow) ? folder : QString();
}
