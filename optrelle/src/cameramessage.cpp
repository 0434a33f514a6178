#include "cameramessage.h"

#include <QMessageBox>
#include <QPointer>

#include <cerrno>
#include <cstring>

namespace optrelle {

QString cameraStartFailureText(int error)
{
    switch (error) {
    case EBUSY:
        return QStringLiteral("摄像头正在被另一个程序使用。请关闭那个程序（例如视频会议或其他"
                              "拍摄软件）后再打开。");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有使用摄像头的权限。请把当前用户加入 video 组：在终端中运行"
                              "\n\nsudo usermod -aG video $USER\n\n然后注销并重新登录。");
    case ENOENT:
    case ENODEV:
        return QStringLiteral("找不到摄像头。请检查摄像头是否已插好。");
    default:
        return QStringLiteral("摄像头无法传输画面（%1）。请拔下摄像头再重新插上，然后再试。")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

void showCameraMessage(const QString &text)
{
    static QPointer<QMessageBox> shown;
    if (!shown) {
        shown = new QMessageBox(QMessageBox::Information, QStringLiteral("提示"), QString(),
                                QMessageBox::Ok);
        shown->setAttribute(Qt::WA_DeleteOnClose);
    }
    shown->setText(text);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

} // namespace optrelle
