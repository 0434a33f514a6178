#include "x11desktop.h"

#include <QGuiApplication>
#include <QTimer>

// After Qt: Xlib's macros (None, Bool, Status) would clash with Qt's names.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {
Display *x11Display()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}
} // namespace

bool compositorRunning()
{
    Display *display = x11Display();
    if (!display)
        return true;
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.constData(), False);
    return XGetSelectionOwner(display, atom) != None;
}

KeepAbove::KeepAbove(QList<QWidget *> windows, QObject *parent) : QObject(parent)
{
    for (QWidget *window : windows)
        m_windows.append(window);
    Display *display = x11Display();
    if (!display)
        return;
    // Adds to the events Qt already takes from the root window, never replaces them.
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, root, &attributes))
        return;
    XSelectInput(display, root, attributes.your_event_mask | SubstructureNotifyMask);
    XFlush(display);
    qApp->installNativeEventFilter(this);
}

KeepAbove::~KeepAbove()
{
    qApp->removeNativeEventFilter(this);
}

bool KeepAbove::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    xcb_window_t changed = XCB_NONE;
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY:
        changed = reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
        break;
    case XCB_CONFIGURE_NOTIFY:
        changed = reinterpret_cast<const xcb_configure_notify_event_t *>(event)->window;
        break;
    default:
        return false;
    }
    for (const QPointer<QWidget> &window : m_windows) {
        if (window && window->isVisible() && window->winId() == changed)
            return false; // our own raise: answering it would never end
    }
    // One raise for a burst of changes.
    if (!m_raisePending) {
        m_raisePending = true;
        QTimer::singleShot(0, this, &KeepAbove::raiseAll);
    }
    return false;
}

void KeepAbove::raiseAll()
{
    m_raisePending = false;
    for (const QPointer<QWidget> &window : m_windows) {
        if (window && window->isVisible())
            window->raise();
    }
}
