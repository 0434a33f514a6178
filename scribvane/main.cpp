// Scribvane, the annotation program: ink over the whole screen, started by
// Kelvora with "--kelvora" and driven by it over the command channel. Runs on
// its own as well; a second start leaves at once.

#include <QApplication>

#include "platform/copydatasender.h"
#include "scribvane.h"
#include "scribvanereceiver.h"

int main(int argc, char *argv[])
{
    // One instance: the one that listens already keeps the screen.
    if (findWindow(ScribvaneReceiver::kTitle))
        return 0;
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    Scribvane scribvane;
    if (!scribvane.start())
        return 0;
    return application.exec();
}
