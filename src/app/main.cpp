#include <QApplication>
#include <QIcon>

#include <cstdio>

#include "app/kelvora.h"
#include "platform/singleinstance.h"
#include "platform/terminationsignals.h"
#include "platform/windowplacement.h"

int main(int argc, char *argv[])
{
    WindowPlacement::preferX11();
    QApplication application(argc, argv);
    // One copy per user: a second start brings the running one to the front and
    // ends before it makes a window or listens anywhere.
    SingleInstance instance(QStringLiteral("kelvora"));
    switch (instance.start()) {
    case SingleInstance::Start::First:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::NoAnswer:
        std::fputs("Kelvora is running already, but does not answer.\n", stderr);
        return 1;
    }
    application.setWindowIcon(QIcon(QStringLiteral(":/kelvora.png")));
    // The bar is a tool window, which Qt does not count as a main window: closing
    // a message box would otherwise end the program. Only Exit ends it.
    application.setQuitOnLastWindowClosed(false);
    // Asked to end (logout, kill, Ctrl+C), the program leaves as through its Exit
    // button, so its sockets are gone when the process is.
    TerminationSignals termination;
    // The launcher is destroyed before the application object.
    Kelvora launcher;
    QObject::connect(&termination, &TerminationSignals::received, &launcher, &Kelvora::OnExit);
    QObject::connect(&instance, &SingleInstance::activationRequested, &launcher,
                     &Kelvora::bringToFront);
    launcher.show();
    return application.exec();
}
