#pragma once

#include <QByteArray>
#include <QString>

// The sending side of the window-message channel (FindWindow and SendMessage
// with WM_COPYDATA). Both calls block the calling thread, but never for longer
// than their timeout, and need no event loop, so they work from any thread.
// A window cannot send to its own listener on the same thread: the record would
// only be handled after the wait, so the send times out.

// Whether a window with that title listens right now: a connection to its socket
// succeeds. Never cached; a closed or restarted peer is seen at the next call.
bool findWindow(const QString &title);

// Sends one record and waits for the reply byte at most replyTimeoutMs.
// Returns true when the peer answered; false when absent, failed or timed out.
// Texts longer than CopyData::kMaxText are not sent (the peer would drop them).
bool sendCopyData(const QString &title, quint64 senderWindow, const QByteArray &text,
                  int replyTimeoutMs = 5000);
