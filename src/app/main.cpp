#include <QApplication>
#include <QIcon>

#include "app/kelvora.h"
#include "platform/windowplacement.h"

int main(int argc, char *argv[])
{
    WindowPlacement::preferX11();
    QApplication application(argc, argv);
    application.setWindowIcon(QIcon(QStringLiteral(":/kelvora.png")));
    // The bar is a tool window, which Qt does not count as a main window: closing
    // a message box would otherwise end the program. Only Exit ends it.
    application.setQuitOnLastWindowClosed(false);
    // The launcher is destroyed before the application object.
    Kelvora launcher;
    launcher.show();
    return application.exec();
}
