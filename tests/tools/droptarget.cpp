// A stand-in for a file manager or office program that takes dropped files: a
// window that accepts any drop and appends each dropped URL, one a line, to a file.
// It links nothing of the program, so tests see what any other program would get.
//
//   droptarget TITLE X Y LOGFILE   a 300x300 window at (X, Y), until killed

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QWidget>

class DropTarget : public QWidget
{
public:
    explicit DropTarget(const QString &logFile) : m_logFile(logFile) { setAcceptDrops(true); }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent *event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent *event) override
    {
        QFile log(m_logFile);
        if (!log.open(QIODevice::Append))
            return;
        for (const QUrl &url : event->mimeData()->urls())
            log.write(url.toEncoded() + '\n');
        event->acceptProposedAction();
    }

private:
    QString m_logFile;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 5)
        return 2;
    DropTarget window(QString::fromLocal8Bit(argv[4]));
    window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    window.setGeometry(QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toInt(), 300, 300);
    window.show();
    return app.exec();
}
