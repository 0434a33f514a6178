#include "kelvoralink.h"

#include "platform/copydatasender.h"

const QString KelvoraLink::kPresenterTitle = QStringLiteral("DuzeVovad");
const QString KelvoraLink::kLauncherTitle = QStringLiteral("VizaviRerer");

KelvoraLink::KelvoraLink(QObject *parent) : QObject(parent)
{
    // One worker keeps the commands in the order the user gave them.
    m_worker.setMaxThreadCount(1);
}

KelvoraLink::~KelvoraLink()
{
    m_worker.waitForDone();
}

void KelvoraLink::send(const QString &title, const QByteArray &text, quint64 senderWindow)
{
    m_worker.start([this, title, text, senderWindow] {
        // Runs on the worker thread.
        const bool answered = findWindow(title) && sendCopyData(title, senderWindow, text);
        QMetaObject::invokeMethod(
            this, [this, text, answered] { Q_EMIT sent(text, answered); }, Qt::QueuedConnection);
    });
}
