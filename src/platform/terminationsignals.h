#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a signal on the thread that made this object, so
// that a process asked to end (logout, kill, Ctrl+C) takes its normal way out and
// cleans up after itself. The handler only writes the signal number into a pipe
// (the one thing safe to do there); the event loop reads it. One object at a
// time; the default handling returns when it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
