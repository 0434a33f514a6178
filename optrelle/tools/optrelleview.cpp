// optrelle-view: shows one camera's live picture through the library's C
// interface, to check a camera (or the simulation) without the whole program.
//   optrelle-view [camera index]
// Keys: Left/Right turn, +/- zoom, R next resolution, T text/picture mode,
// C still into the current folder, Q or Escape quit.
#include "optrelle.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QWidget>

#include <cstdio>

namespace {

class CameraWindow : public QWidget
{
public:
    explicit CameraWindow(int camera) : m_camera(camera) { resize(1280, 720); }

    bool open()
    {
        if (fnOpenCamera(m_camera, winId()) != 1)
            return false;
        showTitle();
        return true;
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        switch (event->key()) {
        case Qt::Key_Left:
            fnRotateLeft(m_camera);
            break;
        case Qt::Key_Right:
            fnRotateRight(m_camera);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            fnZoomIn(m_camera);
            break;
        case Qt::Key_Minus:
            fnZoomOut(m_camera);
            break;
        case Qt::Key_R:
            m_resolution = (m_resolution + 1) % std::max(1, fnGetResCount(m_camera));
            fnSetResolution(m_camera, m_resolution);
            break;
        case Qt::Key_T:
            m_textMode = !m_textMode;
            fnSetVideoProcAmp(m_camera, 5, m_textMode ? 0 : 4, 0);
            break;
        case Qt::Key_C:
            saveStill();
            break;
        case Qt::Key_Q:
        case Qt::Key_Escape:
            close();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
        }
        showTitle();
    }

private:
    void saveStill()
    {
        QByteArray path = QDateTime::currentDateTime()
                              .toString(QStringLiteral("'optrelle-'yyyyMMddhhmmss'.jpg'"))
                              .toLocal8Bit();
        std::printf("%s %s\n", path.constData(),
                    fnCapture(m_camera, path.data()) ? "saved" : "failed");
    }

    void showTitle()
    {
        setWindowTitle(QStringLiteral("optrelle-view: camera %1 (%2:%3) %4x%5%6")
                           .arg(m_camera)
                           .arg(QString::fromLatin1(fnGetCameraPID(m_camera)),
                                QString::fromLatin1(fnGetCameraVID(m_camera)))
                           .arg(fnGetResWidth(m_camera, m_resolution))
                           .arg(fnGetResHeight(m_camera, m_resolution))
                           .arg(m_textMode ? QStringLiteral(", text mode") : QString()));
    }

    const int m_camera;
    int m_resolution = 0;
    bool m_textMode = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int camera = argc > 1 ? QByteArray(argv[1]).toInt() : 0;
    fnInit();
    std::printf("%d camera(s)\n", fnGetCameraCount());
    for (int i = 0; i < fnGetCameraCount(); ++i)
        std::printf("  %d: %s:%s, %d resolutions\n", i, fnGetCameraPID(i), fnGetCameraVID(i),
                    fnGetResCount(i));
    CameraWindow window(camera);
    if (!window.open()) {
        std::fprintf(stderr, "optrelle-view: camera %d cannot be opened\n", camera);
        return 1;
    }
    window.show();
    const int status = app.exec();
    fnCloseCamera(camera);
    return status;
}
