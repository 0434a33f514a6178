#pragma once

#include <QByteArray>
#include <QObject>

class CopyDataListener;

// What a record sent to "Scribvane" asks for. Texts are searched for the command
// words (case-sensitive substrings, as every side of the channel matches them);
// one with several words does only the first of: Exit, ClearSrn, Switch, Update.
enum class ScribvaneCommand
{
    None,
    Exit,
    ClearInk,
    SwitchEdge,
    ReadPhotoFolder
};
ScribvaneCommand scribvaneCommandIn(const QByteArray &text);

// The annotation program's end of the channel: listens as "Scribvane" and turns
// each record into one signal. The signals are emitted on the GUI thread while the
// record is handled; the sender gets its reply as soon as the slots return, so
// they must only start work, never wait.
class ScribvaneReceiver : public QObject
{
    Q_OBJECT

public:
    static const QString kTitle;

    explicit ScribvaneReceiver(QObject *parent = nullptr);

    // False when another instance listens already or the socket folder is refused.
    bool listen();

Q_SIGNALS:
    void exitRequested();
    void clearRequested();
    void switchRequested();
    void photoFolderChanged();

private:
    void handle(const QByteArray &text);

    CopyDataListener *m_listener;
};
