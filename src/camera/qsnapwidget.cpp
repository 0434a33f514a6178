#include "qsnapwidget.h"
#include "ui_qsnapwidget.h"

#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QThread>
#include <QUrl>

#include "camera/qmainwidget.h"
#include "common/log.h"
#include "common/programwide.h"
#include "optrelle.h"
#include "platform/windowplacement.h"

namespace {
// The camera writes the still before the capture returns; the wait only covers a
// file system that shows it late. Counted in polls, so it ends whatever the clock.
bool waitForFile(const QString &path)
{
    constexpr int pollMs = 20;
    for (int waited = 0; !QFileInfo::exists(path); waited += pollMs) {
        if (waited >= QSnapWidget::stillWaitMs)
            return false;
        QThread::msleep(pollMs);
    }
    return true;
}
} // namespace

QSnapWidget::QSnapWidget(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::QSnapWidget>())
{
    ui->setupUi(this);
    WindowPlacement::keepAbove(this);
    setCursor(Qt::OpenHandCursor);
    connect(this, &QSnapWidget::snapSignal, this, &QSnapWidget::mouseClick);
    connect(ui->pushButtonHide, &QPushButton::clicked, this, &QSnapWidget::onHide);
}

QSnapWidget::~QSnapWidget() = default;

void QSnapWidget::mouseClick()
{
    setCursor(Qt::ClosedHandCursor);
    const QString path = presenterView ? presenterView->capturePhoto() : QString();
    if (path.isEmpty() || !waitForFile(path)) {
        writeLog("抓图未生成文件, 不拖动: %s", qPrintable(path));
        setCursor(Qt::OpenHandCursor);
        return;
    }
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void QSnapWidget::onHide()
{
    hide();
}

void QSnapWidget::mousePressEvent(QMouseEvent *)
{
    Q_EMIT snapSignal();
}

void QSnapWidget::mouseReleaseEvent(QMouseEvent *)
{
    setCursor(Qt::OpenHandCursor);
}

void QSnapWidget::mouseDoubleClickEvent(QMouseEvent *)
{
    // A quick second press takes no second still.
}

void QSnapWidget::mouseMoveEvent(QMouseEvent *event)
{
    mouseReleaseEvent(event);
}

void QSnapWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (presenterView)
        fnSetHWND(presenterView->m_nMainCam, winId());
}
