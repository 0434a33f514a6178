#include "windowplacement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
// Qt tries the platforms in order; a window manager under XWayland honours the
// positions that the floating windows need, native Wayland gives none.
constexpr char x11ThenWayland[] = "xcb;wayland";

QRect availableAreaAtOrigin()
{
    // Placed from the screen's origin, as without a window manager.
    return QRect(QPoint(0, 0), QGuiApplication::primaryScreen()->availableGeometry().size());
}

// A full-screen tool window: a plain top-level window, neither a dialog nor a
// popup, a tooltip or one of the floating windows, whose types differ.
bool isToolWindow(const QWindow *window)
{
    return window->type() == Qt::Window && !window->parent();
}
} // namespace

void WindowPlacement::preferX11()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", x11ThenWayland);
}

void WindowPlacement::coverAvailableArea(QWidget *window)
{
    // In this order: a new geometry ends the maximized state.
    window->setGeometry(availableAreaAtOrigin());
    window->setWindowState((window->windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
}

void WindowPlacement::coverWholeScreen(QWidget *window)
{
    window->setGeometry(QGuiApplication::primaryScreen()->geometry());
    window->setWindowState((window->windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
}

void WindowPlacement::bringToFront(QWidget *toolWindow)
{
    toolWindow->raise();
    keeper().raiseKeptWindows();
}

void WindowPlacement::keepAbove(QWidget *window, Level level)
{
    window->setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint);
    keeper().m_kept.push_back({window, level});
}

WindowPlacement &WindowPlacement::keeper()
{
    // Goes with the application object.
    static QPointer<WindowPlacement> instance;
    if (!instance) {
        instance = new WindowPlacement;
        instance->setParent(qApp);
        qApp->installEventFilter(instance);
    }
    return *instance;
}

WindowPlacement::KeptWindow *WindowPlacement::keptFor(const QObject *object)
{
    const auto found = std::find_if(m_kept.begin(), m_kept.end(), [object](const KeptWindow &kept) {
        return kept.window && (kept.window == object || (kept.window->windowHandle() &&
                                                         kept.window->windowHandle() == object));
    });
    return found == m_kept.end() ? nullptr : &*found;
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (watched->isWidgetType() && keptFor(watched)) {
            moveToTop(static_cast<QWidget *>(watched));
            raiseKeptWindows(static_cast<QWidget *>(watched));
        }
        break;
    case QEvent::Expose:
    case QEvent::FocusIn:
        // A window manager stacks a tool window when it maps or focuses it, after
        // Kelvora has shown it: lift the floating windows over it once more.
        if (watched->isWindowType() && isToolWindow(static_cast<QWindow *>(watched)))
            raiseKeptWindows();
        break;
    case QEvent::MouseButtonPress:
        // Qt does not activate a window that the window manager does not manage.
        if (watched->isWidgetType()) {
            const KeptWindow *kept = keptFor(static_cast<QWidget *>(watched)->window());
            if (kept && !kept->window->isActiveWindow())
                kept->window->activateWindow();
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void WindowPlacement::moveToTop(QWidget *window)
{
    const auto found = std::find_if(m_kept.begin(), m_kept.end(), [window](const KeptWindow &kept) {
        return kept.window == window;
    });
    std::rotate(found, found + 1, m_kept.end());
}

void WindowPlacement::raiseKeptWindows(const QWidget *shown)
{
    std::erase_if(m_kept, [](const KeptWindow &kept) { return !kept.window; });
    for (const Level level : {Level::Floating, Level::Topmost}) {
        for (const KeptWindow &kept : m_kept) {
            if (kept.level == level && (kept.window == shown || kept.window->isVisible()))
                kept.window->raise();
        }
    }
}
