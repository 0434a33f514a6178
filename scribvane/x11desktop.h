#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// What the annotation program needs to know about the X11 desktop, and what it
// does there that Qt does not.

// Whether windows with an alpha channel are blended with what lies below: a
// compositing manager owns the _NET_WM_CM_S<screen> selection. Always true away
// from X11 (Wayland always composites).
bool compositorRunning();

// Keeps the given windows above every other one. A window manager does that for
// always-on-top windows; without one (a kiosk, a bare X server) a window mapped or
// raised later would cover the ink and the tool bar, so each such change is
// answered by raising ours again, in the order given (the last ends on top).
// Does nothing away from X11 and costs nothing while no window changes.
class KeepAbove : public QObject, public QAbstractNativeEventFilter
{
public:
    explicit KeepAbove(QList<QWidget *> windows, QObject *parent = nullptr);
    ~KeepAbove() override;

    // Called by Qt on the GUI thread for every X event.
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void raiseAll();

    QList<QPointer<QWidget>> m_windows;
    bool m_raisePending = false;
};
