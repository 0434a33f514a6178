// What the windows ask of the window system: floating windows outside the window
// manager's hands and taking the keyboard when clicked, tool windows maximized or
// full screen over the right area, and XWayland chosen on Wayland sessions.

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include "platform/windowplacement.h"

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void floatingWindowIsUnmanagedAndTakesTheKeyboardWhenClicked()
    {
        QWidget tool;
        tool.setWindowFlags(Qt::FramelessWindowHint);
        WindowPlacement::coverAvailableArea(&tool);
        QWidget floating;
        auto *field = new QLineEdit(&floating);
        WindowPlacement::keepAbove(&floating);
        QVERIFY(floating.windowFlags().testFlags(
            Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint));
        floating.show();
        tool.show();
        tool.activateWindow();
        QTRY_VERIFY(tool.isActiveWindow());
        QTest::mouseClick(field, Qt::LeftButton);
        QTRY_VERIFY(floating.isActiveWindow());
        QTest::keyClicks(field, "60");
        QCOMPARE(field->text(), QString("60"));
    }

    void toolWindowCoversTheAvailableAreaOrTheWholeScreen()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QWidget tool;
        tool.setWindowFlags(Qt::FramelessWindowHint);
        WindowPlacement::coverAvailableArea(&tool);
        QCOMPARE(tool.windowState(), Qt::WindowMaximized);
        QCOMPARE(tool.geometry(), QRect(QPoint(0, 0), screen->availableGeometry().size()));
        tool.show();
        WindowPlacement::coverWholeScreen(&tool);
        QCOMPARE(tool.windowState(), Qt::WindowFullScreen);
        QTRY_COMPARE(tool.geometry(), screen->geometry());
        WindowPlacement::coverAvailableArea(&tool);
        QCOMPARE(tool.windowState(), Qt::WindowMaximized);
    }

    void x11IsPreferredOnWaylandSessionsOnly_data()
    {
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("chosen");
        QTest::newRow("Wayland session")
            << QByteArray("wayland-0") << QByteArray() << QByteArray("xcb;wayland");
        QTest::newRow("platform named")
            << QByteArray("wayland-0") << QByteArray("wayland") << QByteArray("wayland");
        QTest::newRow("X11 session") << QByteArray() << QByteArray() << QByteArray();
    }

    void x11IsPreferredOnWaylandSessionsOnly()
    {
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, chosen);
        const QByteArray running = qgetenv("QT_QPA_PLATFORM");
        qputenv("WAYLAND_DISPLAY", wayland);
        qputenv("QT_QPA_PLATFORM", platform);
        WindowPlacement::preferX11();
        const QByteArray result = qgetenv("QT_QPA_PLATFORM");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("QT_QPA_PLATFORM", running);
        QCOMPARE(result, chosen);
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "test_windowplacement.moc"
