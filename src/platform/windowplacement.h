#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;
class QWindow;

// How Kelvora's windows ask the window system for their place and stacking.
// Without a window manager a window stands where it is moved and stacks where it
// was last raised. A window manager places windows itself and may lift a focused
// frameless window that covers the screen above every "always on top" one. The
// requests below hold under both, and under XWayland.
class WindowPlacement : public QObject
{
    Q_OBJECT

public:
    enum class Level
    {
        Floating,
        Topmost
    };

    // Before the application object: on a Wayland session the program runs through
    // XWayland, where windows may place themselves, unless QT_QPA_PLATFORM names a
    // platform; without an X server it falls back to native Wayland.
    static void preferX11();

    // A tool window covering the available area at the screen's origin: sized there
    // and maximized, which a window manager keeps on its work area and below the
    // floating windows, where a frameless window of the screen's size would be taken
    // for a full-screen one and lifted above them.
    static void coverAvailableArea(QWidget *window);
    // The same over the whole screen, panels included: the full-screen state.
    static void coverWholeScreen(QWidget *window);
    // Raises a tool window that was just shown over the others, and the floating
    // windows over it at once, before anyone can click where they stand.
    static void bringToFront(QWidget *toolWindow);

    // A frameless floating window that stays above every other Kelvora window. The
    // window manager does not manage it, so it stands exactly where it is moved; it
    // is raised again whenever a tool window is shown or activated, and takes the
    // keyboard when clicked. Floating windows stack in the order they were last
    // shown; topmost ones (the launcher bar) above them all. Call before the window
    // is first shown: it sets the window's flags.
    static void keepAbove(QWidget *window, Level level = Level::Floating);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct KeptWindow
    {
        QPointer<QWidget> window;
        Level level;
    };

    static WindowPlacement &keeper();
    KeptWindow *keptFor(const QObject *object);
    void moveToTop(QWidget *window);
    void raiseKeptWindows(const QWidget *shown = nullptr);

    std::vector<KeptWindow> m_kept; // in stacking order within each level, lowest first
};
