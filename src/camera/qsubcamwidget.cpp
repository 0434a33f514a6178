#include "qsubcamwidget.h"
#include "ui_qsubcamwidget.h"

#include <QMouseEvent>

#include "camera/stillcapture.h"
#include "platform/windowplacement.h"
#include "viewing/iconbutton.h"

QSubCamWidget::QSubCamWidget(const SettingsStrings &settings, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QSubCamWidget>()), m_settings(settings)
{
    ui->setupUi(this);
    WindowPlacement::keepAbove(this);
    const struct
    {
        QPushButton *button;
        const char *icon;
        void (QSubCamWidget::*slot)();
    } buttons[] = {
        {ui->pushButtonRotLeft, ":/Resources/images/rotleft.png", &QSubCamWidget::onRotLeft},
        {ui->pushButtonRotRight, ":/Resources/images/rotright.png", &QSubCamWidget::onRotRight},
        {ui->pushButtonCapture, ":/Resources/images/cap.png", &QSubCamWidget::onCapture},
        {ui->pushButtonClose, ":/Resources/images/close.png", &QSubCamWidget::onClose},
    };
    for (const auto &entry : buttons) {
        makeIconButton(entry.button, entry.icon, 25);
        connect(entry.button, &QPushButton::clicked, this, entry.slot);
    }
}

QSubCamWidget::~QSubCamWidget() = default;

void QSubCamWidget::openCamera(int camera)
{
    m_nCamera = camera;
    fnOpenCamera(m_nCamera, previewWinId());
}

OptrelleWindowId QSubCamWidget::previewWinId()
{
    return ui->widgetPreview->winId();
}

void QSubCamWidget::onRotLeft()
{
    fnRotateLeft(m_nCamera);
}

void QSubCamWidget::onRotRight()
{
    fnRotateRight(m_nCamera);
}

// Into the photo folder like the presenter's photos, but as the camera gives it:
// no model resampling and no turn.
void QSubCamWidget::onCapture()
{
    const QByteArray path = newPhotoPath(m_settings);
    if (!captureStill(m_nCamera, path))
        tellStillNotWritten(path);
}

void QSubCamWidget::onClose()
{
    hide();
}

void QSubCamWidget::mousePressEvent(QMouseEvent *event)
{
    if (isMaximized() || event->button() != Qt::LeftButton)
        return;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    m_bDragging = true;
    event->accept();
}

void QSubCamWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (isMaximized() || !(event->buttons() & Qt::LeftButton) || !m_bDragging)
        return;
    move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}

void QSubCamWidget::mouseReleaseEvent(QMouseEvent *)
{
    if (!isMaximized())
        m_bDragging = false;
}

void QSubCamWidget::mouseDoubleClickEvent(QMouseEvent *)
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}
