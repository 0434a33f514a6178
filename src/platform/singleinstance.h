#pragma once

#include <QObject>
#include <QString>

class QDeadlineTimer;
class QLocalServer;

// One running copy per user. The first start takes a lock in the user's runtime
// folder and listens on a socket beside it; a later start finds the lock taken,
// asks the holder through that socket to come to the front, and ends without
// listening anywhere. The kernel drops the lock with its process however that
// ends, so a crashed copy never keeps the next from starting: the socket file it
// left behind is replaced.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Start
    {
        First,      // this is the running copy now
        HandedOver, // the running copy answered: it comes to the front
        NoAnswer,   // a copy holds the lock but did not answer in time
    };

    // name: the base of the files in the runtime folder (name.lock, name.socket).
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    // Stops listening (removing the socket), then gives the lock up.
    ~SingleInstance() override;

    // Becomes the running copy, or hands over to the one that is. A copy that is
    // still starting answers once its event loop runs, hence the long default.
    // Without a usable runtime folder every start is First.
    Start start(int answerTimeoutMs = 20000);

Q_SIGNALS:
    // A later start asked this copy to come to the front.
    void activationRequested();

private:
    // False only while another process holds the lock.
    bool takeLock();
    bool askHolder(const QDeadlineTimer &deadline) const;
    void listen();
    void answerRequests();

    QString m_lockPath;
    QString m_socketPath;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
};
