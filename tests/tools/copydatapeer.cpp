// A stand-in for the annotation program on the command channel, for the
// end-to-end tests (the layout of the records is checked in test_copydatachannel).
//
//   copydatapeer listen TITLE LOGFILE   logs each text on a line, until killed
//   copydatapeer send TITLE TEXT        exit 0 answered, 1 not
//   copydatapeer probe TITLE            exit 0 someone listens, 1 not

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include "platform/copydatalistener.h"
#include "platform/copydatasender.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "send" && argc == 4)
        return sendCopyData(QString::fromLocal8Bit(argv[2]), 0, argv[3]) ? 0 : 1;
    if (mode == "probe" && argc == 3)
        return findWindow(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (mode == "listen" && argc == 4) {
        QFile log(QString::fromLocal8Bit(argv[3]));
        CopyDataListener listener;
        if (!log.open(QIODevice::Append) || !listener.listen(QString::fromLocal8Bit(argv[2])))
            return 1;
        QObject::connect(&listener, &CopyDataListener::received, [&log](const QByteArray &text) {
            log.write(text + '\n');
            log.flush();
        });
        return app.exec();
    }
    std::fprintf(stderr,
                 "usage: copydatapeer listen TITLE LOGFILE | send TITLE TEXT | probe TITLE\n");
    return 64;
}
