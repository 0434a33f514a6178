// Ends the process with exit() once 30 frames arrived while two simulated
// cameras stream into a callback and a window, the first recording into the file
// named by the argument: the library must stop its threads without a crash and
// finish the recording. Exits with 3 when the frames do not come.
#include "optrelle.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdlib>

static std::atomic<int> frames = 0;

static void countFrame(const void *, int, int, int)
{
    ++frames;
}

int main(int argc, char **argv)
{
    qputenv("OPTRELLE_BACKEND", "sim");
    qputenv("OPTRELLE_CAMERAS", "15aa:1555@640x480/60;0ac8:c498@320x240/60");
    QApplication app(argc, argv);
    QWidget window;
    window.resize(320, 240);
    window.show();
    if (argc != 2 || !fnInit() || fnOpenCamera(0, window.winId()) != 1 || fnOpenCamera(1, 0) != 1 ||
        fnStartRecord(0, argv[1], true) != 1)
        return 2;
    fnSetVideoCB(0, reinterpret_cast<void *>(&countFrame));
    fnSetVideoCB(1, reinterpret_cast<void *>(&countFrame));
    QTimer poll; // exit() on the main thread, as a program ends
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (frames >= 30)
            std::exit(0);
    });
    poll.start(5);
    QTimer::singleShot(10000, [] { std::exit(3); });
    return app.exec();
}
