#include "qvideowidget.h"
#include "ui_qvideowidget.h"

#include <QCloseEvent>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>

#include "camera/qmainwidget.h"
#include "camera/stillcapture.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/programwide.h"
#include "common/stillname.h"
#include "optrelle.h"
#include "pagefold.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/programlauncher.h"
#include "platform/tempfolder.h"
#include "scanner/pagetextlayers.h"
#include "scanner/qfaultdetectdlg.h"
#include "scanner/qmulticapdialog.h"
#include "scanner/textrecognition.h"
#include "shell/settingsfile.h"
#include "shell/settingsstrings.h"
#include "viewing/qimageitem.h"

namespace {
const QString recordStartText = QStringLiteral("开始录像");
const QString recordStopText = QStringLiteral("停止录像");
constexpr int recordingWatchMs = 500;
} // namespace

QVideoWidget::QVideoWidget(SettingsStrings &settings, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QVideoWidget>()), m_settings(settings)
{
    ui->setupUi(this);
    scannerWindow = this;
    setWindowFlags(Qt::FramelessWindowHint);
    m_pMultiCapDlg = new QMultiCapDialog(nullptr);
    m_pMultiCapDlg->hide();
    ui->lineEditCapPath->setText(QString::fromLocal8Bit(captureFolder()));

    connect(ui->pushButtonOpenFolder, &QPushButton::clicked, this, &QVideoWidget::onOpenFolder);
    connect(ui->pushButtonBrowser, &QPushButton::clicked, this, &QVideoWidget::OnBrowser);
    connect(ui->pushButtonCapture, &QPushButton::clicked, this, &QVideoWidget::OnCapture);
    connect(ui->pushButtonRotLeft, &QPushButton::clicked, this, &QVideoWidget::OnRotLeft);
    connect(ui->pushButtonRotRight, &QPushButton::clicked, this, &QVideoWidget::OnRotRight);
    connect(ui->checkBoxAutoCrop, &QCheckBox::clicked, this, &QVideoWidget::onAutoCrop);
    connect(ui->pushButtonTimerCap, &QPushButton::clicked, this, &QVideoWidget::OnTimerCap);
    connect(ui->pushButtonPDFCap, &QPushButton::clicked, this, &QVideoWidget::OnPDFCap);
    connect(ui->checkBoxManualCrop, &QCheckBox::clicked, this, &QVideoWidget::onManualCrop);
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &QVideoWidget::onCloseWindow);
    connect(ui->pushButtonOCR, &QPushButton::clicked, this, &QVideoWidget::onOCR);
    connect(ui->pushButtonRecord, &QPushButton::clicked, this, &QVideoWidget::onRecord);
    connect(ui->pushButtonZoomIn, &QPushButton::clicked, this, &QVideoWidget::OnZoomIn);
    connect(ui->pushButtonZoomOut, &QPushButton::clicked, this, &QVideoWidget::OnZoomOut);
    m_recordingWatch.setInterval(recordingWatchMs);
    connect(&m_recordingWatch, &QTimer::timeout, this, &QVideoWidget::checkRecordingRuns);
    connect(ui->checkBoxPageTurn, &QCheckBox::clicked, this, &QVideoWidget::onPageTurnCapture);
    connect(ui->pushButtonMergePDF, &QPushButton::clicked, this, &QVideoWidget::onMergePDF);
}

QVideoWidget::~QVideoWidget()
{
    delete m_pMultiCapDlg;
    if (scannerWindow == this)
        scannerWindow = nullptr;
}

int QVideoWidget::mainCamera() const
{
    return presenterView ? presenterView->m_nMainCam : -1;
}

QByteArray QVideoWidget::captureFolder() const
{
    return m_settings.m_strCapPath;
}

void QVideoWidget::onOpenFolder()
{
    ProgramLauncher::current().open(QString::fromLocal8Bit(captureFolder()));
}

void QVideoWidget::OnBrowser()
{
    const QString chosen = Dialogs::current().existingDirectory(
        this, QStringLiteral("选择目录"), QString::fromLocal8Bit(m_settings.m_strWorkPath));
    if (storeChosenPath(m_settings.m_strCapPath, chosen, "cappath", m_settings.m_strWorkPath))
        ui->lineEditCapPath->setText(chosen);
}

void QVideoWidget::OnCapture()
{
    const QByteArray failed = stillIntoFolder();
    if (!failed.isEmpty())
        tellStillNotWritten(failed);
}

QByteArray QVideoWidget::stillIntoFolder()
{
    QByteArray path = timeStampStillName(captureFolder(), m_settings.m_strImageFormat);
    if (!captureStill(mainCamera(), path))
        return path;
    m_listBatch.append(path);
    return {};
}

void QVideoWidget::OnRotLeft()
{
    fnRotateLeft(mainCamera());
}

void QVideoWidget::OnRotRight()
{
    fnRotateRight(mainCamera());
}

void QVideoWidget::onAutoCrop()
{
    const bool on = ui->checkBoxAutoCrop->isChecked();
    if (on) {
        fnSetMouseMode(mainCamera(), 0);
        ui->checkBoxManualCrop->setChecked(false);
    }
    fnEnableAutoCrop(mainCamera(), on);
}

void QVideoWidget::OnTimerCap()
{
    m_pMultiCapDlg->show();
}

void QVideoWidget::OnPDFCap()
{
    // One time for the still and its PDF, however long the capture takes.
    const QDateTime now = Clock::current().localTime();
    const QByteArray still = captureTemporaryStill(now);
    if (still.isEmpty())
        return;
    const QByteArray pdf = timeStampStillName(captureFolder(), "pdf", now);
    if (!writePdf({still}, pdf))
        // The name was free before, so anything there now is a remnant that would pass for a scan.
        QFile::remove(QString::fromLocal8Bit(pdf));
    QFile::remove(QString::fromLocal8Bit(still));
}

void QVideoWidget::onManualCrop()
{
    if (ui->checkBoxManualCrop->isChecked()) {
        ui->checkBoxAutoCrop->setChecked(false);
        fnEnableAutoCrop(mainCamera(), false);
        fnSetMouseMode(mainCamera(), 1);
    } else {
        fnSetMouseMode(mainCamera(), 0);
    }
}

void QVideoWidget::onCloseWindow()
{
    hide();
}

void QVideoWidget::onOCR()
{
    // Without a still there is nothing to recognise; the dialog opens empty.
    const QByteArray still = captureTemporaryStill(Clock::current().localTime());
    QByteArray text;
    if (!still.isEmpty()) {
        text = recognizeText(still, this);
        QFile::remove(QString::fromLocal8Bit(still));
    }
    QFaultDetectDlg dialog(this);
    dialog.setResultText(text);
    dialog.exec();
}

void QVideoWidget::onRecord()
{
    if (ui->pushButtonRecord->text() == recordStartText) {
        const QByteArray path = timeStampStillName(captureFolder(), "wmv");
        if (fnStartRecord(mainCamera(), path.constData(), true) != 1) {
            writeLog("录像无法开始: %s", path.constData());
            Dialogs::current().message(QStringLiteral("录像无法开始, 请检查保存路径: %1")
                                           .arg(QString::fromLocal8Bit(path)),
                                       QStringLiteral("提示"));
            return;
        }
        ui->pushButtonRecord->setText(recordStopText);
        ui->pushButtonClose->setEnabled(false);
        m_recordingPath = path;
        m_recordingWatch.start();
    } else {
        fnStopRecord(mainCamera());
        showRecordingStopped();
    }
}

void QVideoWidget::showRecordingStopped()
{
    m_recordingWatch.stop();
    ui->pushButtonRecord->setText(recordStartText);
    ui->pushButtonClose->setEnabled(true);
}

void QVideoWidget::checkRecordingRuns()
{
    if (fnIsRecording(mainCamera()))
        return;
    QString reason = QString::fromUtf8(fnGetRecordError(mainCamera()));
    fnStopRecord(mainCamera());
    showRecordingStopped();
    if (reason.isEmpty())
        reason = QStringLiteral("摄像头已停止");
    writeLog("录像意外停止: %s: %s", m_recordingPath.constData(), qUtf8Printable(reason));
    Dialogs::current().message(QStringLiteral("录像已停止, 文件: %1\n原因: %2")
                                   .arg(QString::fromLocal8Bit(m_recordingPath), reason),
                               QStringLiteral("提示"));
}

void QVideoWidget::OnZoomIn()
{
    fnZoomIn(mainCamera());
}

void QVideoWidget::OnZoomOut()
{
    fnZoomOut(mainCamera());
}

void QVideoWidget::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    fnOnLMouseDown(ui->widgetPreview->winId(), at.x(), at.y());
}

void QVideoWidget::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    fnOnLMouseUp(ui->widgetPreview->winId(), at.x(), at.y());
}

void QVideoWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    fnOnMouseMove(ui->widgetPreview->winId(), at.x(), at.y());
}

void QVideoWidget::closeEvent(QCloseEvent *event)
{
    // Accepting only hides a window that is not deleted on close.
    event->accept();
}

void QVideoWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ui->lineEditCapPath->setText(QString::fromLocal8Bit(captureFolder()));
    fnSetHWND(mainCamera(), ui->widgetPreview->winId());
}

QByteArray QVideoWidget::captureTemporaryStill(const QDateTime &time)
{
    const QString folder = privateTemporaryFolder();
    if (folder.isEmpty()) {
        writeLog("无法创建临时文件夹");
        return {};
    }
    QByteArray path = timeStampStillName(folder.chopped(1).toLocal8Bit(), "jpg", time);
    if (!captureStill(mainCamera(), path)) {
        tellStillNotWritten(path);
        return {};
    }
    return path;
}

void QVideoWidget::onPageTurnCapture()
{
    if (!presenterView)
        return;
    if (ui->checkBoxPageTurn->isChecked()) {
        m_pageTurnWatcher.reset();
        m_nPageTurnStills = 0;
        ui->labelPageTurnCount->setText(QStringLiteral("已拍 0 张"));
        // Queued after the presenter's own handler, which has put the frame up by then.
        connect(presenterView, &QMainWidget::frameChange, this, &QVideoWidget::watchForPageTurn,
                Qt::UniqueConnection);
    } else {
        disconnect(presenterView, &QMainWidget::frameChange, this, &QVideoWidget::watchForPageTurn);
    }
}

void QVideoWidget::watchForPageTurn()
{
    if (!livePictureItem ||
        !m_pageTurnWatcher.watch(livePictureItem->pixmap().toImage(), Clock::current().tickCount()))
        return;
    const qsizetype taken = m_listBatch.size();
    OnCapture();
    if (m_listBatch.size() > taken)
        ui->labelPageTurnCount->setText(QStringLiteral("已拍 %1 张").arg(++m_nPageTurnStills));
}

void QVideoWidget::onMergePDF()
{
    const bool fromBatch = !m_listBatch.isEmpty();
    QByteArrayList stills = m_listBatch;
    if (!fromBatch) {
        const QStringList chosen = Dialogs::current().openFileNames(
            this, QStringLiteral("选择要合并的照片"), QString::fromLocal8Bit(captureFolder()),
            QStringLiteral("JPEG照片 (*.jpg *.jpeg *.JPG *.JPEG)"));
        for (const QString &file : chosen)
            stills.append(file.toLocal8Bit());
        if (stills.isEmpty())
            return;
    }
    if (writePdf(stills, timeStampStillName(captureFolder(), "pdf")) && fromBatch)
        m_listBatch.clear();
}

bool QVideoWidget::writePdf(const QByteArrayList &stills, const QByteArray &pdf)
{
    for (const QByteArray &still : stills) {
        if (QImageReader(QString::fromLocal8Bit(still)).format() != "jpeg") {
            writeLog("照片无法读取或不是JPEG, 不生成PDF: %s", still.constData());
            Dialogs::current().message(QStringLiteral("照片无法读取或不是JPEG格式, PDF没有生成: %1")
                                           .arg(QString::fromLocal8Bit(still)),
                                       QStringLiteral("提示"));
            return false;
        }
    }
    const bool searchable = ui->checkBoxSearchablePDF->isChecked();
    QStringList layers(stills.size());
    if (searchable) {
        std::optional<QStringList> recognized = recognizeTextLayers(stills, this);
        if (!recognized)
            return false; // cancelled by the user
        layers = std::move(*recognized);
    }
    ClearAll();
    QStringList unrecognized;
    for (qsizetype page = 0; page < stills.size(); ++page) {
        if (!layers[page].isEmpty()) {
            AddImageWithText(stills[page].constData(), layers[page].toLocal8Bit().constData());
            continue;
        }
        AddImage(stills[page].constData());
        if (searchable)
            unrecognized.append(QString::number(page + 1));
    }
    const bool written = MakePDF(pdf.constData(), nullptr);
    for (const QString &layer : std::as_const(layers))
        if (!layer.isEmpty())
            QFile::remove(layer);
    if (!written) {
        writeLog("PDF生成失败: %s", pdf.constData());
        Dialogs::current().message(
            QStringLiteral("PDF文件无法保存: %1").arg(QString::fromLocal8Bit(pdf)),
            QStringLiteral("提示"));
        return false;
    }
    if (!unrecognized.isEmpty())
        Dialogs::current().message(
            QStringLiteral("第 %1 页的文字无法识别, 这些页只有图像, 不能搜索: %2")
                .arg(unrecognized.join(QStringLiteral("、")), QString::fromLocal8Bit(pdf)),
            QStringLiteral("提示"));
    return true;
}
