#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;
class QTimer;

// The receiving side of the window-message channel (a window's WM_COPYDATA
// handler): listens on the socket of a window title and emits every complete
// record. Lives on the thread whose event loop serves it, normally the GUI
// thread. Records above CopyData::kMaxText, cut short or not complete within the
// connection timeout are dropped without a reply; a text ends at its first zero
// byte. Up to maxOpenConnections are served at once; more are closed unread.
// When the socket is lost (accept() failed for want of a descriptor), listening
// starts again within relistenIntervalMs once a descriptor is free.
class CopyDataListener : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxOpenConnections = 64;
    static constexpr int relistenIntervalMs = 500;

    explicit CopyDataListener(QObject *parent = nullptr);
    // Stops listening and removes its socket.
    ~CopyDataListener() override;

    // Listens as title, after stopping a previous listen. Replaces a socket file
    // left by a dead process, but fails while another listener answers on it;
    // also false when the socket folder is refused.
    bool listen(const QString &title);
    // The title listened as; empty when not listening.
    QString title() const;
    // Stops listening (and watching for a lost socket) and removes the socket.
    void stop();

    // How long a connection may take to deliver its record (default 3 s): a probe
    // that sends nothing or a stalled peer holds nothing for longer.
    void setConnectionTimeout(int milliseconds);

Q_SIGNALS:
    // Emitted on the listener's thread for every complete record; the reply byte is
    // sent after all directly connected slots have returned. A slot may delete the
    // listener or end the process.
    void received(const QByteArray &text, quint64 senderWindow);

private:
    bool bindSocket(const QString &title);
    void keepListening();
    void acceptConnections();
    void readRecord(QLocalSocket *socket, QTimer *deadline);

    QLocalServer *m_server;
    QTimer *m_relistenTimer;
    QString m_title;
    int m_openConnections = 0;
    int m_connectionTimeoutMs = 3000;
};
