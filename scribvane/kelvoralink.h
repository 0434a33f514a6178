#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>

// Sends commands to Kelvora's windows ("DuzeVovad", "VizaviRerer") without ever
// holding up the GUI thread: each send waits for Kelvora's reply on a worker
// thread of its own, one send after the other in the order asked. A window that
// does not listen right now is skipped, so Kelvora may be absent or restart.
class KelvoraLink : public QObject
{
    Q_OBJECT

public:
    static const QString kPresenterTitle;
    static const QString kLauncherTitle;

    explicit KelvoraLink(QObject *parent = nullptr);
    // Waits for the send in progress, which the channel bounds to 5 s.
    ~KelvoraLink() override;

    void send(const QString &title, const QByteArray &text, quint64 senderWindow);

Q_SIGNALS:
    // On the GUI thread once a send is over; answered is false when the window
    // was absent or did not reply.
    void sent(const QByteArray &text, bool answered);

private:
    QThreadPool m_worker;
};
