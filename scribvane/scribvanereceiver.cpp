#include "scribvanereceiver.h"

#include <QLoggingCategory>

#include "platform/copydatalistener.h"

Q_LOGGING_CATEGORY(lcScribvane, "scribvane")

const QString ScribvaneReceiver::kTitle = QStringLiteral("Scribvane");

ScribvaneCommand scribvaneCommandIn(const QByteArray &text)
{
    // Ending wins over everything: a text that asks for it and more still ends.
    static const struct
    {
        const char *word;
        ScribvaneCommand command;
    } words[] = {{"Exit", ScribvaneCommand::Exit},
                 {"ClearSrn", ScribvaneCommand::ClearInk},
                 {"Switch", ScribvaneCommand::SwitchEdge},
                 {"Update", ScribvaneCommand::ReadPhotoFolder}};
    for (const auto &entry : words) {
        if (text.contains(entry.word))
            return entry.command;
    }
    return ScribvaneCommand::None;
}

ScribvaneReceiver::ScribvaneReceiver(QObject *parent)
    : QObject(parent), m_listener(new CopyDataListener(this))
{
    connect(m_listener, &CopyDataListener::received, this, &ScribvaneReceiver::handle);
}

bool ScribvaneReceiver::listen()
{
    return m_listener->listen(kTitle);
}

void ScribvaneReceiver::handle(const QByteArray &text)
{
    qCDebug(lcScribvane, "received %s", text.constData());
    switch (scribvaneCommandIn(text)) {
    case ScribvaneCommand::Exit:
        Q_EMIT exitRequested();
        break;
    case ScribvaneCommand::ClearInk:
        Q_EMIT clearRequested();
        break;
    case ScribvaneCommand::SwitchEdge:
        Q_EMIT switchRequested();
        break;
    case ScribvaneCommand::ReadPhotoFolder:
        Q_EMIT photoFolderChanged();
        break;
    case ScribvaneCommand::None:
        break;
    }
}
